// The loader's own rules, against a scripted provider for what no real provider can
// be made to do (no table type, a rowset that fails halfway).
#include "catalog/loader.h"

#include <gtest/gtest.h>

#include <functional>

#include "ado/variant_print.h"
#include "catalog/corvane.h"
#include "platform/ado/connection.h"
#include "platform/ado/memory_recordset.h"
#include "platform/ado/schema_rowsets.h"
#include "platform/ui/messages.h"

using ado::SchemaRowset;
using ado::Variant;

namespace {

TEST(StripDatabaseQualifier, RemovesOnlyThisDatabasesQualifierOutsideLiterals) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"select `src`.`orders`.`id` AS `id` from `src`.`orders`",
       "select `orders`.`id` AS `id` from `orders`"},
      {"select `src`.`t`.`a` AS `a` from `src`.`t` where `src`.`t`.`a` = '`src`.`t`'",
       "select `t`.`a` AS `a` from `t` where `t`.`a` = '`src`.`t`'"},
      {"select `other`.`t`.`a` AS `a` from `other`.`t`",
       "select `other`.`t`.`a` AS `a` from `other`.`t`"},
      {"select `src`.`src`.`id` AS `id` from `src`.`src`", "select `src`.`id` AS `id` from `src`"},
      {"select 'it''s `src`.`t`', \"`src`.`t`\", 'a\\'`src`.`t`' from `src`.`t`",
       "select 'it''s `src`.`t`', \"`src`.`t`\", 'a\\'`src`.`t`' from `t`"},
      {"select `src` AS `src` from `src`.`t`", "select `src` AS `src` from `t`"},
      {"select `src`.`f`(`src`.`t`.`a`) AS `x` from `src`.`t`",
       "select `f`(`t`.`a`) AS `x` from `t`"},
      {"select `srcx`.`t`.`a` from `srcx`.`t`", "select `srcx`.`t`.`a` from `srcx`.`t`"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(StripDatabaseQualifier(c.in, "src"), c.out) << c.in;
  EXPECT_EQ(StripDatabaseQualifier("select `a``b`.`t`.`x` from `a``b`.`t`", "a`b"),
            "select `t`.`x` from `t`");
}

// A record set that fails when it is moved past a given row.
class FailingRecordset : public ado::MemoryRecordset {
 public:
  FailingRecordset(std::vector<std::string> columns, int failAfter)
      : MemoryRecordset(std::move(columns)), left_(failAfter) {}
  void next() override {
    if (--left_ <= 0) throw ado::DatabaseError("the provider lost its way");
    MemoryRecordset::next();
  }

 private:
  int left_;
};

class ScriptedSession : public ado::Session {
 public:
  using Rows = std::vector<std::vector<Variant>>;
  std::function<std::unique_ptr<ado::Recordset>(SchemaRowset, const std::vector<Variant>&)> schema;
  std::function<std::unique_ptr<ado::Recordset>(const std::string&)> query;
  std::vector<std::pair<SchemaRowset, std::vector<Variant>>> schemaCalls;
  std::vector<std::string> queries;

  void execute(const std::string&) override {}
  std::unique_ptr<ado::Recordset> openQuery(const std::string& sql) override {
    queries.push_back(sql);
    return query(sql);
  }
  std::unique_ptr<ado::Recordset> openSchema(SchemaRowset r,
                                             const std::vector<Variant>& restrictions) override {
    schemaCalls.emplace_back(r, restrictions);
    return schema(r, restrictions);
  }
  std::unique_ptr<ado::TableDataset> openTable(const std::string&) override { return nullptr; }

  // A rowset with the OLE DB columns, each row given as column name -> value.
  static std::unique_ptr<ado::MemoryRecordset> Rowset(
      SchemaRowset r, const std::vector<std::map<std::string, Variant>>& rows, int failAfter = 0) {
    const auto& columns = ado::SchemaColumns(r);
    auto rs = failAfter > 0 ? std::make_unique<FailingRecordset>(columns, failAfter)
                            : std::make_unique<ado::MemoryRecordset>(columns);
    for (const auto& row : rows) {
      std::vector<Variant> values(columns.size());
      for (const auto& [name, value] : row)
        for (std::size_t i = 0; i < columns.size(); ++i)
          if (columns[i] == name) values[i] = value;
      rs->addRow(std::move(values));
    }
    rs->first();
    return rs;
  }
};

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    auto s = std::make_unique<ScriptedSession>();
    session = s.get();
    connection.attach(std::move(s));
    session->schema = [](SchemaRowset r, const std::vector<Variant>&) {
      return ScriptedSession::Rowset(r, {});
    };
    session->query = [](const std::string&) {
      return ScriptedSession::Rowset(SchemaRowset::Views, {});
    };
    catalogue.SetConnection(&connection);
  }
  ScriptedSession* session = nullptr;
  ado::Connection connection;
  TCorvane catalogue;
  ui::RecordingMessages messages;
  ui::ScopedMessages scope{messages};
};

TEST_F(Loader, TableTypeDecidesTheObjectKind) {
  session->schema = [](SchemaRowset r, const std::vector<Variant>&) {
    if (r != SchemaRowset::Tables) return ScriptedSession::Rowset(r, {});
    return ScriptedSession::Rowset(r, {{{"TABLE_NAME", "t"}, {"TABLE_TYPE", "TABLE"}},
                                       {{"TABLE_NAME", "s"}, {"TABLE_TYPE", "SYSTEM TABLE"}},
                                       {{"TABLE_NAME", "u"}, {"TABLE_TYPE", "table"}},
                                       {{"TABLE_NAME", "n"}},
                                       {{"TABLE_SCHEMA", "dbo"}}});
  };
  catalogue.SetDBKind(dkAccess);
  ASSERT_TRUE(catalogue.LoadDBInfo());
  ASSERT_EQ(catalogue.Objects.size(), 5u);
  const int kinds[] = {0, 1, 1, 3, 3};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(catalogue.Objects[i].ObjectKind, kinds[i]) << i;
  EXPECT_EQ(catalogue.Objects[3].TableType, "");
  EXPECT_EQ(catalogue.Objects[4].ObjectName, "");
  EXPECT_EQ(catalogue.Objects[4].SchemaName, "dbo");
  EXPECT_TRUE(messages.entries.empty());
}

TEST_F(Loader, ColumnsAndIndexesAreRestrictedBySchemaAndName) {
  session->schema = [](SchemaRowset r, const std::vector<Variant>&) {
    if (r == SchemaRowset::Tables)
      return ScriptedSession::Rowset(
          r, {{{"TABLE_SCHEMA", "sales"}, {"TABLE_NAME", "it's"}, {"TABLE_TYPE", "TABLE"}},
              {{"TABLE_NAME", "plain"}, {"TABLE_TYPE", "TABLE"}}});
    if (r == SchemaRowset::Columns)
      return ScriptedSession::Rowset(
          r, {{{"COLUMN_NAME", "a"},
               {"DATA_TYPE", 131},
               {"COLUMN_FLAGS", 116},
               {"NUMERIC_PRECISION", 18},
               {"NUMERIC_SCALE", 4}},
              {{"COLUMN_NAME", "b"}, {"CHARACTER_MAXIMUM_LENGTH", Variant(-1)}}});
    // The primary key, reported unique too, over two columns; an index over three.
    return ScriptedSession::Rowset(
        r, {{{"INDEX_NAME", "pk"},
             {"PRIMARY_KEY", true},
             {"UNIQUE", true},
             {"COLUMN_NAME", "b"},
             {"INDEX_SCHEMA", "sales"}},
            {{"INDEX_NAME", "o'k"}, {"UNIQUE", false}, {"CLUSTERED", true}, {"COLUMN_NAME", "c"}},
            {{"INDEX_NAME", "pk"}, {"PRIMARY_KEY", true}, {"UNIQUE", true}, {"COLUMN_NAME", "a"}},
            {{"INDEX_NAME", "o'k"}, {"COLUMN_NAME", "a"}},
            {{"INDEX_NAME", "o'k"}, {"COLUMN_NAME", Variant()}},
            {{"INDEX_NAME", "o'k"}, {"COLUMN_NAME", "b"}}});
  };
  catalogue.SetDBKind(dkSQLServer);
  ASSERT_TRUE(catalogue.LoadDBInfo());
  const TCorvaneObject& o = catalogue.Objects[0];
  ASSERT_EQ(o.Fields.size(), 2u);
  EXPECT_EQ(o.Fields[0].DataType, 131);
  EXPECT_EQ(o.Fields[0].ColumnFlags, 116);
  EXPECT_EQ(o.Fields[0].NumericPrecision, 18);
  EXPECT_EQ(o.Fields[0].NumericScale, 4);
  EXPECT_EQ(o.Fields[1].CharMaxLength, -1);
  EXPECT_EQ(o.Fields[1].DataType, 0);
  EXPECT_EQ(o.Fields[1].DBKind, dkSQLServer);
  ASSERT_EQ(o.Indexes.size(), 2u);
  EXPECT_EQ(o.Indexes[0].IndexName, "pk");
  EXPECT_TRUE(o.Indexes[0].IsPrimaryKey);
  EXPECT_TRUE(o.Indexes[0].IsUnique);
  EXPECT_EQ(o.Indexes[0].SchemaName, "sales");
  EXPECT_EQ(o.Indexes[0].Columns, (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(o.Indexes[1].IndexName, "o'k");
  EXPECT_TRUE(o.Indexes[1].IsClustered);
  EXPECT_EQ(o.Indexes[1].Columns, (std::vector<std::string>{"c", "a", "b"}));

  // The schema goes with the name when the object has one.
  std::vector<std::vector<Variant>> restrictions;
  for (const auto& [rowset, r] : session->schemaCalls)
    if (rowset != SchemaRowset::Tables) restrictions.push_back(r);
  ASSERT_EQ(restrictions.size(), 4u);
  EXPECT_EQ(restrictions[0], (std::vector<Variant>{Variant(), "sales", "it's", Variant()}));
  EXPECT_EQ(restrictions[1],
            (std::vector<Variant>{Variant(), "sales", Variant(), Variant(), "it's"}));
  EXPECT_EQ(restrictions[2], (std::vector<Variant>{Variant(), Variant(), "plain", Variant()}));
  EXPECT_EQ(restrictions[3],
            (std::vector<Variant>{Variant(), Variant(), Variant(), Variant(), "plain"}));
}

TEST_F(Loader, FailuresInsideAnObjectKeepWhatWasRead) {
  session->schema =
      [](SchemaRowset r,
         const std::vector<Variant>& restrictions) -> std::unique_ptr<ado::Recordset> {
    if (r == SchemaRowset::Tables)
      return ScriptedSession::Rowset(r, {{{"TABLE_NAME", "broken"}, {"TABLE_TYPE", "TABLE"}},
                                         {{"TABLE_NAME", "fine"}, {"TABLE_TYPE", "TABLE"}}});
    if (r == SchemaRowset::Columns && restrictions[2] == Variant("broken"))
      return ScriptedSession::Rowset(
          r, {{{"COLUMN_NAME", "a"}}, {{"COLUMN_NAME", "b"}}, {{"COLUMN_NAME", "c"}}}, 2);
    if (r == SchemaRowset::Columns) return ScriptedSession::Rowset(r, {{{"COLUMN_NAME", "x"}}});
    return ScriptedSession::Rowset(r, {});
  };
  catalogue.SetDBKind(dkAccess);
  ASSERT_TRUE(catalogue.LoadDBInfo());
  ASSERT_EQ(catalogue.Objects.size(), 2u);
  EXPECT_EQ(catalogue.Objects[0].Fields.size(), 2u);  // a and b, then the failure
  EXPECT_EQ(catalogue.Objects[1].Fields.size(), 1u);
  EXPECT_TRUE(messages.entries.empty());
}

TEST_F(Loader, TableListFailureShowsItsMessageAndKeepsTheObjectsRead) {
  session->schema = [](SchemaRowset r,
                       const std::vector<Variant>&) -> std::unique_ptr<ado::Recordset> {
    if (r == SchemaRowset::Tables)
      return ScriptedSession::Rowset(r,
                                     {{{"TABLE_NAME", "a"}, {"TABLE_TYPE", "TABLE"}},
                                      {{"TABLE_NAME", "b"}, {"TABLE_TYPE", "TABLE"}},
                                      {{"TABLE_NAME", "c"}, {"TABLE_TYPE", "TABLE"}}},
                                     2);
    return ScriptedSession::Rowset(r, {});
  };
  catalogue.SetDBKind(dkMySQL);
  EXPECT_FALSE(catalogue.LoadDBInfo());
  EXPECT_EQ(catalogue.Objects.size(), 2u);
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages.entries[0].text,
            "Cannot get information from your database\r\nthe provider lost its way");
}

TEST_F(Loader, ViewDefinitionQueryStaysOneQueryAndInItsDatabase) {
  struct Case {
    TDatabaseKind kind;
    const char* schema;
    std::string sql;
  } cases[] = {
      {dkMySQL, "",
       "SELECT * FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = 'v''1\\\\' AND TABLE_SCHEMA = "
       "DATABASE()"},
      {dkSQLServer, "dbo",
       "SELECT * FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = 'v''1\\' AND TABLE_SCHEMA = "
       "'dbo'"},
      {dkSQLServer, "", "SELECT * FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = 'v''1\\'"},
  };
  for (const Case& c : cases) {
    session->queries.clear();
    session->query = [](const std::string&) {
      return ScriptedSession::Rowset(
          SchemaRowset::Views,
          {{{"TABLE_SCHEMA", "src"},
            {"VIEW_DEFINITION", "select `src`.`t`.`a` AS `a` from `src`.`t`"}}});
    };
    TCorvaneObject view;
    view.ObjectName = "v'1\\";
    view.SchemaName = c.schema;
    view.ObjectKind = 1;
    view.Connection = &connection;
    ASSERT_TRUE(view.InitialObject(c.kind));
    ASSERT_EQ(session->queries.size(), 1u);
    EXPECT_EQ(session->queries[0], c.sql);
    // MySQL keeps the query without the source database's name; SQL Server's text as it is.
    EXPECT_EQ(view.ViewDefinition, c.kind == dkMySQL
                                       ? "select `t`.`a` AS `a` from `t`"
                                       : "select `src`.`t`.`a` AS `a` from `src`.`t`");
  }
}

TEST_F(Loader, FailedViewQueryShowsItsTextAndColumnsStillLoad) {
  session->query = [](const std::string&) -> std::unique_ptr<ado::Recordset> {
    throw ado::DatabaseError("SELECT command denied");
  };
  session->schema = [](SchemaRowset r, const std::vector<Variant>&) {
    if (r == SchemaRowset::Columns) return ScriptedSession::Rowset(r, {{{"COLUMN_NAME", "a"}}});
    return ScriptedSession::Rowset(r, {});
  };
  TCorvaneObject view;
  view.ObjectName = "v";
  view.ObjectKind = 1;
  view.Connection = &connection;
  EXPECT_TRUE(view.InitialObject(dkMySQL));
  EXPECT_EQ(view.ViewDefinition, "");
  EXPECT_EQ(view.Fields.size(), 1u);
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Plain);
  EXPECT_EQ(messages.entries[0].text, "SELECT command denied");
}

TEST_F(Loader, AccessViewComesFromTheViewsRowset) {
  bool failViews = false;
  session->schema =
      [&](SchemaRowset r,
          const std::vector<Variant>& restrictions) -> std::unique_ptr<ado::Recordset> {
    if (r == SchemaRowset::Views) {
      if (failViews) throw ado::DatabaseError("no views here");
      EXPECT_EQ(restrictions, (std::vector<Variant>{Variant(), Variant(), "q"}));
      return ScriptedSession::Rowset(r, {{{"VIEW_DEFINITION", "SELECT a FROM t;"}}});
    }
    if (r == SchemaRowset::Columns) return ScriptedSession::Rowset(r, {{{"COLUMN_NAME", "a"}}});
    return ScriptedSession::Rowset(r, {});
  };
  TCorvaneObject view;
  view.ObjectName = "q";
  view.ObjectKind = 1;
  view.Connection = &connection;
  EXPECT_TRUE(view.InitialObject(dkAccess));
  EXPECT_EQ(view.ViewDefinition, "SELECT a FROM t;");
  EXPECT_TRUE(session->queries.empty());

  failViews = true;
  TCorvaneObject broken;
  broken.ObjectName = "q";
  broken.ObjectKind = 1;
  broken.Connection = &connection;
  EXPECT_FALSE(broken.InitialObject(dkAccess));
  EXPECT_TRUE(broken.Fields.empty());
  EXPECT_TRUE(messages.entries.empty());
}

TEST(LoaderConnection, UnopenableConnectionShowsCannotConnect) {
  ui::RecordingMessages messages;
  ui::ScopedMessages scope(messages);
  ado::Connection cn("Provider=Nothing.1;Data Source=x");
  TCorvane catalogue;
  catalogue.SetDBKind(dkMySQL);
  catalogue.SetConnection(&cn);
  EXPECT_FALSE(catalogue.LoadDBInfo());
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(
      messages.entries[0].text.rfind("Cannot connect to database.\r\nProvider cannot be found", 0),
      0u);
  TCorvaneObject o;
  EXPECT_FALSE(o.InitialADODBObject(&cn));  // no message from here
  EXPECT_EQ(messages.entries.size(), 1u);
}

}  // namespace
