#include "sqlgen/statements.h"

#include <gtest/gtest.h>

#include "sqlgen/fixtures.h"

namespace {

using ado::Variant;

// Table T from Access: id (Long), name (Text 50), photo (OLE Object), with a primary
// key on id and a unique index on name.
std::unique_ptr<TCorvaneObject> AccessTable() {
  auto o = MakeObject("T", dkAccess);
  AddField(*o, {"id", 3});
  AddField(*o, {"name", 130, 106, 50});
  AddField(*o, {"photo", 128});
  AddIndex(*o, "PrimaryKey", {"id"}, true, true);
  AddIndex(*o, "ByName", {"name"}, false, true);
  return o;
}

TEST(DropStatement, NamesTheAdjustedTableInEveryDialect) {
  auto o = MakeObject("Order Details", dkAccess);
  EXPECT_EQ(DropStatement(*o, Settings(dkAccess, dkMySQL, "_")), "DROP TABLE `Order_Details`;");
  EXPECT_EQ(DropStatement(*o, Settings(dkAccess, dkSQLServer, "_")), "DROP TABLE \"Order Details\";");
  EXPECT_EQ(DropStatement(*o, Settings(dkMySQL, dkAccess, "_")), "DROP TABLE `Order Details`;");
}

// A view created as a view is dropped as one, under the same name rule; a view that
// became a table is dropped as a table.
TEST(DropStatement, AViewCreatedAsAViewIsDroppedAsAView) {
  auto v = MakeObject("my view", dkMySQL, 1);
  EXPECT_EQ(DropStatement(*v, Settings(dkMySQL, dkMySQL, "_")), "DROP VIEW `my_view`;");
  EXPECT_EQ(DropStatement(*v, Settings(dkMySQL, dkSQLServer, "_")), "DROP TABLE \"my view\";");
  EXPECT_TRUE(CreatedAsView(*v, Settings(dkMySQL, dkMySQL)));
  EXPECT_FALSE(CreatedAsView(*v, Settings(dkMySQL, dkAccess)));
}

TEST(CreateStatement, TableWithKeysPerDestination) {
  auto o = AccessTable();
  o->Fields[2].Selected = false;  // keep the expected texts short
  struct Case {
    TDatabaseKind dest;
    const char* text;
  } cases[] = {
      {dkAccess,
       "CREATE TABLE `T` (`id` INT, `name` TEXT(50),  CONSTRAINT `PrimaryKey` PRIMARY KEY(`id`), "
       "CONSTRAINT `ByName` UNIQUE(`name`));"},
      {dkSQLServer,
       "CREATE TABLE \"T\" (\"id\" INT, \"name\" NVARCHAR(50),  CONSTRAINT \"T_PK0\" PRIMARY "
       "KEY(\"id\"), CONSTRAINT \"T_UQ0\" UNIQUE(\"name\"));"},
      {dkMySQL,
       "CREATE TABLE `T` (`id` INT, `name` VARCHAR(50),  PRIMARY KEY `PrimaryKey`(`id`), UNIQUE "
       "KEY "
       "`ByName`(`name`));"},
  };
  for (const auto& c : cases) {
    auto [ok, text] = CreateStatement(*o, Settings(dkAccess, c.dest));
    EXPECT_TRUE(ok);
    EXPECT_EQ(text, c.text) << int(c.dest);
  }
}

TEST(CreateStatement, ConstraintRules) {
  auto settings = Settings(dkMySQL, dkSQLServer);
  {
    auto o = MakeObject("T", dkMySQL);
    AddField(*o, {"id", 3});
    EXPECT_EQ(CreateStatement(*o, settings).second, "CREATE TABLE \"T\" (\"id\" INT);");
    AddIndex(*o, "plain", {"id"}, false, false);
    EXPECT_EQ(CreateStatement(*o, settings).second, "CREATE TABLE \"T\" (\"id\" INT);");
  }
  {
    auto o = MakeObject("T", dkMySQL);
    AddField(*o, {"a", 3});
    AddField(*o, {"b", 3});
    AddIndex(*o, "u1", {"a"}, false, true);
    AddIndex(*o, "PRIMARY", {"a", "b"}, true, true);
    AddIndex(*o, "u2", {"b"}, false, true);
    EXPECT_EQ(CreateStatement(*o, settings).second,
              "CREATE TABLE \"T\" (\"a\" INT, \"b\" INT,  CONSTRAINT \"T_UQ0\" UNIQUE(\"a\"), "
              "CONSTRAINT \"T_PK0\" PRIMARY KEY(\"a\", \"b\"), CONSTRAINT \"T_UQ1\" UNIQUE(\"b\"));");
  }
}

TEST(CreateStatement, BlanksBecomeReplaceCharInTableNameOnly) {
  auto o = MakeObject("Order Details", dkAccess);
  AddField(*o, {"Unit Price", 6});
  EXPECT_EQ(CreateStatement(*o, Settings(dkAccess, dkMySQL, "_")).second,
            "CREATE TABLE `Order_Details` (`Unit Price` DECIMAL(19,4));");
}

TEST(CreateStatement, Views) {
  auto mysqlView = MakeObject("v", dkMySQL, 1);
  mysqlView->ViewDefinition = "select `a` from `t`";
  AddField(*mysqlView, {"a", 3});
  EXPECT_EQ(CreateStatement(*mysqlView, Settings(dkMySQL, dkMySQL)).second,
            "CREATE VIEW `v` AS select `a` from `t`");
  EXPECT_EQ(CreateStatement(*mysqlView, Settings(dkMySQL, dkSQLServer)).second,
            "CREATE TABLE \"v\" (\"a\" INT);");
  // The view's name follows the table name rule, as its drop and the row passes do.
  mysqlView->ObjectName = "my view";
  EXPECT_EQ(CreateStatement(*mysqlView, Settings(dkMySQL, dkMySQL, "_")).second,
            "CREATE VIEW `my_view` AS select `a` from `t`");

  auto sqlView = MakeObject("v", dkSQLServer, 1);
  sqlView->ViewDefinition = "CREATE VIEW v AS SELECT 1 AS x";
  EXPECT_EQ(CreateStatement(*sqlView, Settings(dkSQLServer, dkSQLServer)).second,
            "CREATE VIEW v AS SELECT 1 AS x");

  // Same kinds in the settings but a catalogue of another kind: nothing to create.
  EXPECT_EQ(CreateStatement(*sqlView, Settings(dkMySQL, dkMySQL)), std::make_pair(true, std::string()));
}

TEST(CreateStatement, UnselectedObjectGivesNothing) {
  auto o = AccessTable();
  o->Selected = false;
  EXPECT_EQ(CreateStatement(*o, Settings(dkAccess, dkMySQL)), std::make_pair(false, std::string()));
}

TEST(RowStatements, InsertAndUpdateOfOneRow) {
  auto o = AccessTable();
  o->Indexes[1].IsUnique = false;  // name may be updated
  auto settings = Settings(dkAccess, dkSQLServer);
  const std::string insert = InsertTemplate(*o, settings);
  EXPECT_EQ(insert,
            "INSERT INTO \"T\"(\"id\", \"name\", \"photo\") VALUES(*_*ValueIDT_T, "
            "'*_*ValueNAMET_T', *_*ValuePHOTOT_T);");
  o->Indexes.clear();
  AddIndex(*o, "PrimaryKey", {"id"}, true, true);
  const std::string update = UpdateTemplate(*o, settings);
  EXPECT_EQ(update,
            "UPDATE \"T\" SET \"name\" = '*_*ValueNAMET_T', \"photo\" = *_*ValuePHOTOT_T WHERE "
            "(\"id\"= *_*ValueIDT_T)");

  MapRow smith{{"id", Variant(7)}, {"name", Variant("Smith")}, {"photo", Variant(ado::Bytes{"x"})}};
  EXPECT_EQ(InsertStatement(*o, insert, smith, settings),
            "INSERT INTO \"T\"(\"id\", \"name\", \"photo\") VALUES(7, N'Smith', 0x78);");
  EXPECT_EQ(UpdateStatement(*o, update, smith, settings),
            "UPDATE \"T\" SET \"name\" = N'Smith', \"photo\" = 0x78 WHERE (\"id\"= 7)");

  MapRow nameless{{"id", Variant(8)}, {"name", Variant()}};
  EXPECT_EQ(InsertStatement(*o, insert, nameless, settings),
            "INSERT INTO \"T\"(\"id\", \"name\", \"photo\") VALUES(8, NULL, NULL);");
  EXPECT_EQ(UpdateStatement(*o, update, nameless, settings),
            "UPDATE \"T\" SET \"name\" = NULL, \"photo\" = NULL WHERE (\"id\"= 8)");
}

// Only the key stays out of SET: other indexed columns and binary ones are updated,
// so a refreshed destination keeps no stale value.
TEST(RowStatements, CompositeKeyIsTheWhereAndEveryOtherColumnIsSet) {
  auto o = MakeObject("Order Lines", dkMySQL);
  AddField(*o, {"order", 3});
  AddField(*o, {"code", 129, 104, 10});
  AddField(*o, {"sku", 129, 104, 10});
  AddField(*o, {"qty", 3});
  AddField(*o, {"img", 128, 232, 65535});
  AddIndex(*o, "PRIMARY", {"order", "code"}, true, true);
  AddIndex(*o, "bysku", {"SKU"}, false, true);
  auto settings = Settings(dkMySQL, dkMySQL, "_");
  const std::string update = UpdateTemplate(*o, settings);
  EXPECT_EQ(update,
            "UPDATE `Order_Lines` SET `sku` = '*_*ValueSKUT_T', `qty` = *_*ValueQTYT_T, `img` = "
            "*_*ValueIMGT_T WHERE (`order`= *_*ValueORDERT_T) AND (`code`='*_*ValueCODET_T')");
  MapRow row{{"order", Variant(1)}, {"code", Variant("it's")}, {"sku", Variant("s")},
             {"qty", Variant(3)}, {"img", Variant(ado::Bytes{std::string("\0'", 2)})}};
  EXPECT_EQ(UpdateStatement(*o, update, row, settings),
            "UPDATE `Order_Lines` SET `sku` = 's', `qty` = 3, `img` = X'0027' WHERE (`order`= 1) "
            "AND (`code`='it''s')");

  // The executed statement: the same text with a "?" for every value, the fields in
  // the order of the "?".
  const TUpdateCommand command = UpdateCommand(*o, settings);
  EXPECT_EQ(command.text,
            "UPDATE `Order_Lines` SET `sku` = ?, `qty` = ?, `img` = ? WHERE (`order`= ?) AND "
            "(`code`= ?)");
  std::vector<std::string> order;
  for (const TCorvaneField* f : command.parameters) order.push_back(f->FieldName);
  EXPECT_EQ(order, (std::vector<std::string>{"sku", "qty", "img", "order", "code"}));
}

// A single-precision key compared with a double never matches its row: the value is
// made a float of the destination first, in the script and in the executed statement.
TEST(RowStatements, AFloatKeyIsComparedAsAFloat) {
  struct Case {
    TDatabaseKind source, dest;
    const char* literal;
    const char* bound;
  } cases[] = {
      {dkMySQL, dkMySQL, "UPDATE `t` SET `v` = 1 WHERE (`k`= CAST(1.1 AS FLOAT))",
       "UPDATE `t` SET `v` = ? WHERE (`k`= CAST(? AS FLOAT))"},
      {dkSQLServer, dkSQLServer, "UPDATE \"t\" SET \"v\" = 1 WHERE (\"k\"= CAST(1.1 AS REAL))",
       "UPDATE \"t\" SET \"v\" = ? WHERE (\"k\"= CAST(? AS REAL))"},
  };
  for (const auto& c : cases) {
    auto o = MakeObject("t", c.source);
    AddField(*o, {"k", 4});
    AddField(*o, {"v", 3});
    AddIndex(*o, "PRIMARY", {"k"}, true, true);
    const auto settings = Settings(c.source, c.dest);
    MapRow row{{"k", Variant(1.1)}, {"v", Variant(1)}};
    EXPECT_EQ(UpdateStatement(*o, UpdateTemplate(*o, settings), row, settings), c.literal);
    EXPECT_EQ(UpdateCommand(*o, settings).text, c.bound);
  }
  // A double key is compared as it is.
  auto o = MakeObject("t", dkMySQL);
  AddField(*o, {"k", 5});
  AddField(*o, {"v", 3});
  AddIndex(*o, "PRIMARY", {"k"}, true, true);
  EXPECT_EQ(UpdateCommand(*o, Settings(dkMySQL, dkMySQL)).text,
            "UPDATE `t` SET `v` = ? WHERE (`k`= ?)");
}

TEST(RowStatements, ObjectsThatGetNoUpdate) {
  auto settings = Settings(dkMySQL, dkMySQL);
  struct Case {
    const char* what;
    std::unique_ptr<TCorvaneObject> object;
    TUpdateGap gap;
  };
  std::vector<Case> cases;
  {
    auto o = MakeObject("nokey", dkMySQL);
    AddField(*o, {"a", 3});
    AddIndex(*o, "u", {"a"}, false, true);
    cases.push_back({"no primary key", std::move(o), TUpdateGap::NoPrimaryKey});
  }
  {
    auto o = MakeObject("lostkey", dkMySQL);
    AddField(*o, {"v", 3});
    AddIndex(*o, "PRIMARY", {"k"}, true, true);
    cases.push_back({"key column not among the fields", std::move(o), TUpdateGap::UnknownKeyColumn});
  }
  {
    auto o = MakeObject("allkey", dkMySQL);
    AddField(*o, {"k", 3});
    AddField(*o, {"data", 128, 232, 255});
    AddIndex(*o, "PRIMARY", {"k", "data"}, true, true);
    cases.push_back({"nothing to set", std::move(o), TUpdateGap::NothingToSet});
  }
  for (const auto& c : cases) {
    EXPECT_EQ(CheckUpdateTemplate(*c.object, settings), c.gap) << c.what;
    EXPECT_EQ(UpdateTemplate(*c.object, settings), "") << c.what;
    EXPECT_EQ(UpdateCommand(*c.object, settings).text, "") << c.what;
  }
}

TEST(RowStatements, NamesWithQuotesCannotEndTheirQuotes) {
  auto o = MakeObject("we`ird", dkMySQL);
  AddField(*o, {"a`b", 3});
  EXPECT_EQ(InsertTemplate(*o, Settings(dkMySQL, dkMySQL)),
            "INSERT INTO `we``ird`(`a``b`) VALUES(*_*ValueA`BT_T);");
}

TEST(RowStatements, ValuesKeepTheirFormInTheDestinationDialect) {
  auto o = MakeObject("t", dkMySQL);
  AddField(*o, {"flag", 16, 120});
  AddField(*o, {"price", 131, 0, 0, 10, 2});
  AddField(*o, {"at", 135, 104});
  AddField(*o, {"ratio", 5});
  MapRow row{{"flag", Variant(true)},
             {"price", Variant(ado::Decimal{"1.50"})},
             {"at", Variant(ado::DateTime{{2020, 5, 6}, {false, 7, 8, 9, 0}})},
             {"ratio", Variant(0.30000000000000004)}};
  auto sqlServer = Settings(dkMySQL, dkSQLServer);
  EXPECT_EQ(InsertStatement(*o, InsertTemplate(*o, sqlServer), row, sqlServer),
            "INSERT INTO \"t\"(\"flag\", \"price\", \"at\", \"ratio\") VALUES(1, 1.50, "
            "'2020-05-06T07:08:09', 0.30000000000000004);");
  auto access = Settings(dkMySQL, dkAccess);
  EXPECT_EQ(InsertStatement(*o, InsertTemplate(*o, access), row, access),
            "INSERT INTO `t`(`flag`, `price`, `at`, `ratio`) VALUES(True, 1.50, "
            "'2020-05-06 07:08:09', 0.30000000000000004);");
}

// The bytes the job stores are in the script where the dialect has a literal for them;
// Jet SQL has none.
TEST(RowStatements, BinaryValuesAsHexLiteralsExceptForAccess) {
  auto o = MakeObject("t", dkMySQL);
  AddField(*o, {"id", 3});
  AddField(*o, {"b", 128, 232, 65535});
  AddField(*o, {"k", 128, 104, 255, 0, 0, "binary(4)"});
  const MapRow row{{"id", Variant(1)},
                   {"b", Variant(ado::Bytes{std::string("\0'", 2)})},
                   {"k", Variant(ado::Bytes{"AB"})}};
  const struct {
    TDatabaseKind dest;
    const char* text;
    bool nullNote;
  } cases[] = {
      {dkMySQL, "INSERT INTO `t`(`id`, `b`, `k`) VALUES(1, X'0027', X'4142');", false},
      {dkSQLServer, "INSERT INTO \"t\"(\"id\", \"b\", \"k\") VALUES(1, 0x0027, 0x4142);", false},
      {dkAccess, "INSERT INTO `t`(`id`, `b`, `k`) VALUES(1, NULL, NULL);", true},
  };
  for (const auto& c : cases) {
    const auto settings = Settings(dkMySQL, c.dest);
    EXPECT_EQ(InsertStatement(*o, InsertTemplate(*o, settings), row, settings), c.text)
        << int(c.dest);
    EXPECT_EQ(WritesBinaryAsNull(*o, settings), c.nullNote) << int(c.dest);
  }
  auto numbers = MakeObject("n", dkMySQL);
  AddField(*numbers, {"id", 3});
  EXPECT_FALSE(WritesBinaryAsNull(*numbers, Settings(dkMySQL, dkAccess)));
}

// Columns the destination fills (a kept generated column, SQL Server's rowversion) are
// named by no INSERT and no UPDATE SET; elsewhere they are plain columns with values.
TEST(RowStatements, ColumnsTheDestinationFillsAreLeftOut) {
  auto mysql = MakeObject("g", dkMySQL);
  AddField(*mysql, {"id", 3});
  AddField(*mysql, {"a", 3});
  AddField(*mysql, {"twice", 3}).GenerationExpression = "`a` * 2";
  AddIndex(*mysql, "PRIMARY", {"id"}, true, true);
  EXPECT_EQ(InsertTemplate(*mysql, Settings(dkMySQL, dkMySQL)),
            "INSERT INTO `g`(`id`, `a`) VALUES(*_*ValueIDT_T, *_*ValueAT_T);");
  EXPECT_EQ(UpdateTemplate(*mysql, Settings(dkMySQL, dkMySQL)),
            "UPDATE `g` SET `a` = *_*ValueAT_T WHERE (`id`= *_*ValueIDT_T)");
  EXPECT_EQ(InsertTemplate(*mysql, Settings(dkMySQL, dkSQLServer)),
            "INSERT INTO \"g\"(\"id\", \"a\", \"twice\") VALUES(*_*ValueIDT_T, *_*ValueAT_T, "
            "*_*ValueTWICET_T);");
  EXPECT_EQ(CreateStatement(*mysql, Settings(dkMySQL, dkMySQL)).second,
            "CREATE TABLE `g` (`id` INTEGER, `a` INTEGER, `twice` INTEGER AS (`a` * 2) VIRTUAL,  "
            "PRIMARY KEY `PRIMARY`(`id`));");

  auto sql = MakeObject("r", dkSQLServer);
  AddField(*sql, {"id", 3});
  AddField(*sql, {"rv", 128, 624, 8});
  AddField(*sql, {"v", 3});
  AddIndex(*sql, "pk", {"id"}, true, true);
  const auto toSQLServer = Settings(dkSQLServer, dkSQLServer);
  EXPECT_EQ(CreateStatement(*sql, toSQLServer).second,
            "CREATE TABLE \"r\" (\"id\" INT, \"rv\" TIMESTAMP, \"v\" INT,  CONSTRAINT \"r_PK0\" "
            "PRIMARY KEY(\"id\"));");
  EXPECT_EQ(InsertTemplate(*sql, toSQLServer),
            "INSERT INTO \"r\"(\"id\", \"v\") VALUES(*_*ValueIDT_T, *_*ValueVT_T);");
  EXPECT_EQ(UpdateTemplate(*sql, toSQLServer),
            "UPDATE \"r\" SET \"v\" = *_*ValueVT_T WHERE (\"id\"= *_*ValueIDT_T)");
  const MapRow row{{"id", Variant(1)}, {"rv", Variant(ado::Bytes{"12345678"})}, {"v", Variant(2)}};
  const auto toMySQL = Settings(dkSQLServer, dkMySQL);
  EXPECT_EQ(InsertStatement(*sql, InsertTemplate(*sql, toMySQL), row, toMySQL),
            "INSERT INTO `r`(`id`, `rv`, `v`) VALUES(1, X'3132333435363738', 2);");

  // Only a generated column outside the key: nothing is left to set.
  auto onlyGenerated = MakeObject("o", dkMySQL);
  AddField(*onlyGenerated, {"id", 3});
  AddField(*onlyGenerated, {"x", 3}).GenerationExpression = "`id` + 1";
  AddIndex(*onlyGenerated, "PRIMARY", {"id"}, true, true);
  EXPECT_EQ(CheckUpdateTemplate(*onlyGenerated, Settings(dkMySQL, dkMySQL)),
            TUpdateGap::NothingToSet);
  EXPECT_EQ(CheckUpdateTemplate(*onlyGenerated, Settings(dkMySQL, dkAccess)), TUpdateGap::None);
}

TEST(CreateStatement, MySQLKeyPrefixesKeptBetweenMySQLDatabases) {
  auto o = MakeObject("p", dkMySQL);
  AddField(*o, {"t", 129, 232, 65535});
  AddField(*o, {"n", 3});
  AddIndex(*o, "PRIMARY", {"t", "n"}, true, true).ColumnPrefixes = {10, 0};
  EXPECT_EQ(CreateStatement(*o, Settings(dkMySQL, dkMySQL)).second,
            "CREATE TABLE `p` (`t` TEXT, `n` INTEGER,  PRIMARY KEY `PRIMARY`(`t`(10), `n`));");
  EXPECT_EQ(CreateStatement(*o, Settings(dkMySQL, dkSQLServer)).second,
            "CREATE TABLE \"p\" (\"t\" NTEXT, \"n\" INT,  CONSTRAINT \"p_PK0\" PRIMARY KEY(\"t\", "
            "\"n\"));");
}

// MySQL refuses a primary key column declared NULL; a bare TIMESTAMP key would gain
// ON UPDATE and change whenever another column of its row is updated.
TEST(CreateStatement, MySQLTimestampKeyIsNotNullWithADefault) {
  auto o = MakeObject("k", dkMySQL);
  AddField(*o, {"at", 135, 24});
  AddField(*o, {"seen", 135, 24}).DateTimePrecision = 3;
  AddField(*o, {"n", 3});
  AddIndex(*o, "PRIMARY", {"AT", "n"}, true, true);
  AddIndex(*o, "u", {"seen"}, false, true);
  EXPECT_EQ(CreateStatement(*o, Settings(dkMySQL, dkMySQL)).second,
            "CREATE TABLE `k` (`at` TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP, `seen` "
            "TIMESTAMP(3) NULL, `n` INTEGER,  PRIMARY KEY `PRIMARY`(`AT`, `n`), UNIQUE KEY `u`(`seen`));");
  o->Fields[0].DateTimePrecision = 6;
  EXPECT_NE(CreateStatement(*o, Settings(dkMySQL, dkMySQL))
                .second.find("`at` TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),"),
            std::string::npos);
}

// A name is adjusted before it is enclosed, so neither the name nor ReplaceChar can
// end the quotes early.
TEST(DestTableName, AdjustedThenEnclosed) {
  const struct {
    const char* name;
    TDatabaseKind dest;
    const char* replace;
    const char* text;
  } cases[] = {
      {"Order Details", dkMySQL, "`", "`Order``Details`"},
      {" a`b c ", dkMySQL, "_", "`a``b_c`"},
      {"say \"hi\"", dkSQLServer, "_", "\"say \"\"hi\"\"\""},
      {"Order Details", dkAccess, "_", "`Order Details`"},
  };
  for (const auto& c : cases) {
    auto o = MakeObject(c.name, dkMySQL);
    EXPECT_EQ(DestTableName(*o, Settings(dkMySQL, c.dest, c.replace)), c.text) << c.name;
  }
}

// The table rows are appended to: adjusted like every destination name, enclosed only
// toward MySQL, where the provider would not quote a name it is given bare.
TEST(DestDatasetName, AdjustedAndEnclosedTowardMySQLOnly) {
  const struct {
    TDatabaseKind dest;
    const char* text;
  } cases[] = {
      {dkMySQL, "`Order``Details`"},
      {dkSQLServer, "Order Details"},
      {dkAccess, "Order Details"},
  };
  for (const auto& c : cases) {
    auto o = MakeObject("Order Details", dkAccess);
    EXPECT_EQ(DestDatasetName(*o, Settings(dkAccess, c.dest, "`")), c.text) << int(c.dest);
  }
}

// The source is read by the name the catalogue holds, blanks and quotes included, with
// the schema for SQL Server.
TEST(SourceSelect, NameAsTheCatalogueHoldsItInTheSourceQuotes) {
  const struct {
    TDatabaseKind source;
    const char* name;
    const char* text;
  } cases[] = {
      {dkAccess, "Order Details", "SELECT * FROM `Order Details`;"},
      {dkMySQL, " a`b", "SELECT * FROM ` a``b`;"},
      {dkSQLServer, "Orders", "SELECT * FROM \"dbo\".\"Orders\";"},
  };
  for (const auto& c : cases) {
    auto o = MakeObject(c.name, c.source);
    o->SchemaName = "dbo";
    EXPECT_EQ(SourceSelect(*o, Settings(c.source, dkMySQL)), c.text) << c.name;
  }
}

TEST(SourceColumnList, NamesEveryColumnWhenSomeAreInvisible) {
  auto o = MakeObject("t", dkMySQL);
  AddField(*o, {"a", 3});
  AddField(*o, {"b c", 3});
  AddField(*o, {" v`", 3});
  EXPECT_EQ(SourceColumnList(*o, Settings(dkMySQL, dkMySQL)), "*");
  o->Fields[1].Invisible = true;
  // Named as the source holds them: leading blank kept, quote doubled.
  EXPECT_EQ(SourceColumnList(*o, Settings(dkMySQL, dkMySQL)), "`a`, `b c`, ` v```");
}

}  // namespace
