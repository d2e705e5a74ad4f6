#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ado/variant_print.h"
#include "integration/ado/mysql_fixture.h"
#include "platform/ado/connection.h"

using ado::Variant;
using ado::VariantKind;

namespace {

// Awkward values on purpose: zero bytes, 4-byte characters, values longer than any
// read chunk, times beyond a day and below zero, the extremes of the integer types.
const std::string kEmoji = "a\xF0\x9F\x98\x80 \xC3\xA9\xE2\x82\xAC";  // a😀 é€
std::string LongText() {
  std::string s;
  for (int i = 0; s.size() < 300000; ++i) s += kEmoji + std::to_string(i);
  return s;
}
std::string LongBytes() {
  std::string s;
  for (int i = 0; i < 200000; ++i) s += static_cast<char>(i % 251);
  return s;
}

class OdbcValues : public MySQLTest {
 protected:
  void SetUp() override {
    MySQLTest::SetUp();
    Run({"DROP TABLE IF EXISTS vals", "DROP TABLE IF EXISTS vals_copy",
         "CREATE TABLE vals (id INT PRIMARY KEY, i INT, bu BIGINT UNSIGNED, bs BIGINT, "
         "d DECIMAL(30,8), f FLOAT, g DOUBLE, b TINYINT(1), t VARCHAR(100), lt LONGTEXT, "
         "bl LONGBLOB, dt DATE, tm TIME(6), ts DATETIME(6)) CHARACTER SET utf8mb4"});
    db.execute("CREATE TABLE vals_copy LIKE vals");
  }
};

TEST_F(OdbcValues, RowsArriveAsTheirKindAndPostBackUnchanged) {
  struct Row {
    std::vector<Variant> values;
  };
  const std::vector<Row> rows{
      {{1, -2147483647 - 1, Variant(18446744073709551615ull), Variant(-9223372036854775807ll - 1),
        ado::Decimal{"-1234567890123456789012.12345678"}, 1.2, 0.1, 1, kEmoji, LongText(),
        ado::Bytes{LongBytes()}, ado::Date{1999, 12, 31}, ado::Time{true, 838, 59, 59, 0},
        ado::DateTime{{2024, 2, 29}, {false, 23, 59, 58, 123456000}}}},
      {{2, 0, Variant(0ull), Variant(0ll), ado::Decimal{"0.00000000"}, 0.0, -1e300, 0,
        std::string(), std::string(), ado::Bytes{std::string("\0\0x\0", 4)}, ado::Date{1, 1, 1},
        ado::Time{false, 100, 0, 0, 500000000}, ado::DateTime{{1970, 1, 1}, {}}}},
      {{3, Variant(), Variant(), Variant(), Variant(), Variant(), Variant(), Variant(), Variant(),
        Variant(), Variant(), Variant(), Variant(), Variant()}},
  };
  const std::vector<std::string> names{"id", "i", "bu", "bs", "d",  "f",  "g",
                                       "b",  "t", "lt", "bl", "dt", "tm", "ts"};
  {
    auto table = db.openTable("vals");
    for (const Row& r : rows) {
      table->append();
      for (std::size_t c = 0; c < names.size(); ++c) table->setField(names[c], r.values[c]);
      table->post();
    }
  }
  // Read back and copy to a second table through the same path the job takes.
  auto q = db.openQuery("SELECT * FROM vals ORDER BY id");
  ASSERT_EQ(q->fieldCount(), static_cast<int>(names.size()));
  auto copy = db.openTable("`vals_copy`");
  std::size_t n = 0;
  for (q->first(); !q->eof(); q->next(), ++n) {
    ASSERT_LT(n, rows.size());
    copy->append();
    for (int c = 0; c < q->fieldCount(); ++c) {
      EXPECT_EQ(q->fieldName(c), names[static_cast<std::size_t>(c)]);
      EXPECT_EQ(q->value(c), rows[n].values[static_cast<std::size_t>(c)])
          << "row " << n << " column " << names[static_cast<std::size_t>(c)] << ": "
          << ado::VariantToText(q->value(c)).substr(0, 80);
      copy->setField(q->fieldName(c), q->value(c));
    }
    copy->post();
  }
  EXPECT_EQ(n, rows.size());
  auto check = db.openQuery(
      "SELECT COUNT(*) FROM vals a JOIN vals_copy b ON a.id = b.id AND a.i <=> b.i AND a.bu <=> "
      "b.bu "
      "AND a.bs <=> b.bs AND a.d <=> b.d AND a.f <=> b.f AND a.g <=> b.g AND a.b <=> b.b "
      "AND BINARY a.t <=> BINARY b.t AND BINARY a.lt <=> BINARY b.lt AND a.bl <=> b.bl "
      "AND a.dt <=> b.dt AND a.tm <=> b.tm AND a.ts <=> b.ts");
  EXPECT_EQ(check->value(0), Variant(3));
}

TEST_F(OdbcValues, FirstRunsTheQueryAgainAfterMovingOn) {
  Run({"INSERT INTO vals (id) VALUES (1), (2), (3)"});
  auto q = db.openQuery("SELECT id FROM vals ORDER BY id");
  q->next();
  q->next();
  EXPECT_EQ(q->value("ID"), Variant(3));  // by name, without regard to case
  q->first();
  EXPECT_EQ(q->value(0), Variant(1));
  q->setFilter("id='2'");
  EXPECT_EQ(q->value(0), Variant(2));
  q->next();
  EXPECT_TRUE(q->eof());
  EXPECT_TRUE(q->value(0).isNull());
  EXPECT_THROW(q->value("nosuch"), ado::DatabaseError);
}

TEST_F(OdbcValues, FailedPostThrowsTheServersMessageAndTheNextRowPosts) {
  auto table = db.openTable("vals");
  auto post = [&](int id) {
    table->append();
    table->setField("id", id);
    table->post();
  };
  post(1);
  try {
    post(1);
    FAIL() << "duplicate key posted";
  } catch (const ado::DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("Duplicate entry '1'"), std::string::npos) << e.what();
  }
  post(2);
  table->append();
  EXPECT_THROW(table->setField("nosuch", 1), ado::DatabaseError);
  auto q = db.openQuery("SELECT COUNT(*) FROM vals");
  EXPECT_EQ(q->value(0), Variant(2));
}

TEST_F(OdbcValues, RowsSettingDifferentColumnsKeepTheirDefaults) {
  Run({"DROP TABLE IF EXISTS defs",
       "CREATE TABLE defs (id INT AUTO_INCREMENT PRIMARY KEY, a INT DEFAULT 7, b VARCHAR(5))"});
  auto table = db.openTable("defs");
  table->append();
  table->setField("b", "x");
  table->post();
  table->append();
  table->setField("a", 1);
  table->setField("b", Variant());
  table->post();
  auto q = db.openQuery("SELECT id, a, b FROM defs ORDER BY id");
  EXPECT_EQ(q->value(1), Variant(7));
  EXPECT_EQ(q->value(2), Variant("x"));
  q->next();
  EXPECT_EQ(q->value(0), Variant(2));
  EXPECT_EQ(q->value(1), Variant(1));
  EXPECT_TRUE(q->value(2).isNull());
}

TEST_F(OdbcValues, NamesWithBlanksAndQuotesAreQuotedByTheProvider) {
  Run({"DROP TABLE IF EXISTS `it's a ``table```",
       "CREATE TABLE `it's a ``table``` (`col ``x```INT)"});
  auto table = db.openTable("it's a `table`");
  table->append();
  table->setField("col `x`", 5);
  table->post();
  auto q = db.openQuery("SELECT * FROM `it's a ``table```");
  EXPECT_EQ(q->value(0), Variant(5));
  Run({"DROP TABLE `it's a ``table```"});
}

TEST(OdbcConnection, FailuresNameTheirCause) {
  TestServer::Get().UseOdbc();
  const TestServer& server = TestServer::Get();
  struct Case {
    std::string connectionString;
    std::string expected;  // part of the message
  } cases[] = {
      {"Provider=NoSuch.1;Data Source=x", "Provider cannot be found"},
      {DsnConnectionString("qm_nosuch"), "Data source name not found"},
      {DsnConnectionString("qm_test") + ";User ID=" + server.user + ";Password=wrong",
       "Access denied for user"},
      {"Provider=SQLOLEDB.1;Data Source=127.0.0.1,1;Initial Catalog=x;User ID=sa;Password=x;",
       "Unable to connect"},
  };
  for (const Case& c : cases) {
    ado::Connection cn(c.connectionString);
    try {
      cn.open();
      ADD_FAILURE() << "opened: " << c.connectionString;
    } catch (const ado::DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
          << c.connectionString << " -> " << e.what();
    }
    EXPECT_FALSE(cn.isOpen());
    EXPECT_THROW(cn.execute("SELECT 1"), ado::DatabaseError);
  }
}

TEST_F(MySQLTest, StatementErrorsCarryTheServersMessage) {
  try {
    db.execute("DROP TABLE no_such_table");
    FAIL();
  } catch (const ado::DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("Unknown table"), std::string::npos) << e.what();
  }
  EXPECT_THROW(db.openTable("no_such_table"), ado::DatabaseError);
  EXPECT_THROW(db.openQuery("SELEC 1"), ado::DatabaseError);
  // A statement without a result, opened as a query, reads as no rows.
  Run({"CREATE TABLE nores (a INT)"});
  auto none = db.openQuery("UPDATE nores SET a = 1");
  EXPECT_TRUE(none->eof());
  EXPECT_EQ(none->fieldCount(), 0);
  none->first();
  EXPECT_TRUE(none->eof());
  // The connection still works after failures.
  EXPECT_EQ(db.openQuery("SELECT 1")->value(0), Variant(1));
  Run({"DROP TABLE IF EXISTS upd", "CREATE TABLE upd (a INT)",
       "UPDATE upd SET a = 1 WHERE a = 2"});  // matches nothing: no error
}

}  // namespace

namespace {

TEST_F(MySQLTest, SchemaRowsetsTakeRestrictionsInOleDbOrder) {
  Run({"CREATE TABLE t1 (a INT, b INT, PRIMARY KEY (b, a), KEY k (a))", "CREATE TABLE t2 (c INT)",
       "CREATE VIEW v1 AS SELECT a FROM t1", "CREATE DATABASE IF NOT EXISTS " + database + "_x",
       "CREATE TABLE IF NOT EXISTS " + database + "_x.elsewhere (z INT)"});
  auto names = [](ado::Recordset& rs, const char* column) {
    std::vector<std::string> out;
    for (rs.first(); !rs.eof(); rs.next()) out.push_back(ado::VariantToText(rs.value(column)));
    return out;
  };
  using V = std::vector<Variant>;
  using S = std::vector<std::string>;
  auto all = db.openSchema(ado::SchemaRowset::Tables);
  EXPECT_EQ(names(*all, "TABLE_NAME"), (S{"t1", "t2", "v1"}));  // this database only
  EXPECT_EQ(names(*all, "TABLE_TYPE"), (S{"TABLE", "TABLE", "VIEW"}));
  EXPECT_EQ(all->recordCount(), 3);
  EXPECT_EQ(
      names(*db.openSchema(ado::SchemaRowset::Tables, V{Variant(), Variant(), "t2"}), "TABLE_NAME"),
      S{"t2"});
  EXPECT_EQ(
      names(*db.openSchema(ado::SchemaRowset::Tables, V{Variant(), Variant(), Variant(), "VIEW"}),
            "TABLE_NAME"),
      S{"v1"});
  EXPECT_EQ(names(*db.openSchema(ado::SchemaRowset::Tables, V{database + "_x"}), "TABLE_NAME"),
            S{"elsewhere"});
  EXPECT_EQ(names(*db.openSchema(ado::SchemaRowset::Columns, V{Variant(), Variant(), "t1", "b"}),
                  "COLUMN_NAME"),
            S{"b"});
  auto indexes = db.openSchema(ado::SchemaRowset::Indexes,
                               V{Variant(), Variant(), Variant(), Variant(), "t1"});
  EXPECT_EQ(names(*indexes, "COLUMN_NAME"), (S{"b", "a", "a"}));
  indexes->setFilter("INDEX_NAME='k'");
  EXPECT_EQ(indexes->recordCount(), 1);
  EXPECT_EQ(indexes->value("PRIMARY_KEY"), Variant(false));
  indexes->setFilter("INDEX_NAME = 'PRIMARY'");
  EXPECT_EQ(names(*indexes, "ORDINAL_POSITION"), (S{"1", "2"}));
  EXPECT_THROW(indexes->setFilter("INDEX_NAME='a'b'"), ado::DatabaseError);
  EXPECT_EQ(names(*db.openSchema(ado::SchemaRowset::Indexes,
                                 V{Variant(), Variant(), "k", Variant(), "t1"}),
                  "INDEX_NAME"),
            S{"k"});
  auto views = db.openSchema(ado::SchemaRowset::Views, V{Variant(), Variant(), "v1"});
  ASSERT_FALSE(views->eof());
  EXPECT_NE(ado::VariantToText(views->value("VIEW_DEFINITION")).find("`t1`"), std::string::npos);
  // MySQL has no schemas inside a database: a schema restriction matches nothing.
  EXPECT_TRUE(db.openSchema(ado::SchemaRowset::Columns, V{Variant(), "dbo", "t1"})->eof());
  db.execute("DROP DATABASE " + database + "_x");
}

}  // namespace
