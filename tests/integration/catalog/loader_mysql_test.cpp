#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/corvane.h"
#include "integration/ado/mysql_fixture.h"
#include "platform/ui/messages.h"
#include "sqlgen/type_mapping.h"

namespace {

struct ExpectedField {
  const char* name;
  int dataType;
  int flags;
  int length;
  int precision = 0;
  int scale = 0;
  const char* sourceType = "";  // the MySQL type name the type mapping reads it as
};

class LoadMySQL : public MySQLTest {
 protected:
  void SetUp() override {
    MySQLTest::SetUp();
    Run(
        {"CREATE TABLE orders (region CHAR(3), num INT, code VARCHAR(20), a INT, b INT, "
         "PRIMARY KEY (region, num), UNIQUE KEY uq_code (code), KEY ix_ab (b, a))",
         "CREATE TABLE `it's blank` (id INT PRIMARY KEY, x INT, KEY `o'key` (x))",
         "CREATE TABLE empty_one (n INT)", "INSERT INTO orders VALUES ('eu', 1, 'qm_t.x', 1, 2)",
         "CREATE VIEW v_orders AS SELECT o.region, o.num FROM orders o WHERE o.code <> '`" +
             database + "`.`orders`'"});
    // A view of the same name in another database must not lend its definition.
    Run({"CREATE DATABASE IF NOT EXISTS " + database + "_other",
         "CREATE OR REPLACE VIEW " + database + "_other.v_orders AS SELECT 42 AS other"});
    catalogue.SetDBKind(dkMySQL);
    catalogue.SetConnection(&db);
  }
  void TearDown() override {
    if (db.isOpen()) db.execute("DROP DATABASE IF EXISTS " + database + "_other");
    MySQLTest::TearDown();
  }
  const TCorvaneObject* Find(const std::string& name) {
    for (const auto& o : catalogue.Objects)
      if (o.ObjectName == name) return &o;
    return nullptr;
  }
  TCorvane catalogue;
  ui::RecordingMessages messages;
  ui::ScopedMessages scope{messages};
};

TEST_F(LoadMySQL, CatalogueMatchesWhatTheServerHolds) {
  ASSERT_TRUE(catalogue.LoadDBInfo());
  EXPECT_TRUE(messages.entries.empty());
  std::vector<std::string> names;
  for (const auto& o : catalogue.Objects) names.push_back(o.ObjectName);
  // Tables first, then views, each by name: the order of the OLE DB rowset.
  EXPECT_EQ(names, (std::vector<std::string>{"empty_one", "it's blank", "orders", "v_orders"}));
  EXPECT_EQ(catalogue.TableCount(), 3);
  EXPECT_EQ(catalogue.ViewCount(), 1);

  const TCorvaneObject* orders = Find("orders");
  ASSERT_NE(orders, nullptr);
  EXPECT_EQ(orders->ObjectKind, 0);
  EXPECT_EQ(orders->TableType, "TABLE");
  EXPECT_EQ(orders->SchemaName, "");
  EXPECT_EQ(orders->DBKind, dkMySQL);
  ASSERT_EQ(orders->Fields.size(), 5u);
  EXPECT_EQ(orders->Fields[0].FieldName, "region");
  EXPECT_EQ(orders->Fields[4].FieldName, "b");
  ASSERT_EQ(orders->Indexes.size(), 3u);
  const TCorvaneIndex& pk = orders->Indexes[0];
  EXPECT_EQ(pk.IndexName, "PRIMARY");
  EXPECT_TRUE(pk.IsPrimaryKey);
  EXPECT_TRUE(pk.IsUnique);
  EXPECT_EQ(pk.Columns, (std::vector<std::string>{"region", "num"}));
  EXPECT_EQ(orders->Indexes[1].IndexName, "uq_code");
  EXPECT_TRUE(orders->Indexes[1].IsUnique);
  EXPECT_FALSE(orders->Indexes[1].IsPrimaryKey);
  EXPECT_EQ(orders->Indexes[2].IndexName, "ix_ab");
  EXPECT_FALSE(orders->Indexes[2].IsUnique);
  EXPECT_EQ(orders->Indexes[2].Columns, (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(orders->Indexes[2].DBKind, dkMySQL);

  const TCorvaneObject* quoted = Find("it's blank");
  ASSERT_NE(quoted, nullptr);
  ASSERT_EQ(quoted->Indexes.size(), 2u);
  EXPECT_EQ(quoted->Indexes[1].IndexName, "o'key");
  EXPECT_EQ(quoted->Indexes[1].Columns, std::vector<std::string>{"x"});

  const TCorvaneObject* empty = Find("empty_one");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->Fields.size(), 1u);
  EXPECT_TRUE(empty->Indexes.empty());

  const TCorvaneObject* view = Find("v_orders");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->ObjectKind, 1);
  EXPECT_EQ(view->TableType, "VIEW");
  ASSERT_EQ(view->Fields.size(), 2u);
  // This database's qualifier is gone; the same text inside a literal stays.
  EXPECT_EQ(view->ViewDefinition.find("`" + database + "`.`orders` `o`"), std::string::npos)
      << view->ViewDefinition;
  EXPECT_NE(view->ViewDefinition.find("from `orders` `o`"), std::string::npos)
      << view->ViewDefinition;
  EXPECT_NE(view->ViewDefinition.find("'`" + database + "`.`orders`'"), std::string::npos)
      << view->ViewDefinition;
  EXPECT_EQ(view->ViewDefinition.find("42"), std::string::npos) << view->ViewDefinition;
  for (const auto& o : catalogue.Objects) {
    EXPECT_FALSE(o.Selected);
    EXPECT_EQ(o.Connection, &db);
  }
}

TEST_F(LoadMySQL, ColumnTypesCarryTheirSignature) {
  Run(
      {"CREATE TABLE types (c_bool TINYINT(1), c_tiny TINYINT, c_utiny TINYINT UNSIGNED, "
       "c_small SMALLINT, c_int INT, c_medium MEDIUMINT, c_uint INT UNSIGNED, c_big BIGINT, "
       "c_ubig BIGINT UNSIGNED, c_float FLOAT, c_double DOUBLE, c_dec DECIMAL(12,3), c_date DATE, "
       "c_time TIME, c_ts TIMESTAMP NULL, c_dt DATETIME, c_char CHAR(10), c_varchar VARCHAR(300), "
       "c_tinytext TINYTEXT, c_text TEXT, c_mtext MEDIUMTEXT, c_ltext LONGTEXT, c_tblob TINYBLOB, "
       "c_blob BLOB, c_mblob MEDIUMBLOB, c_lblob LONGBLOB, c_year YEAR, c_enum ENUM('a','bcd'), "
       "c_bin BINARY(16), c_bit BIT(1))"});
  const std::vector<ExpectedField> expected{
      {"c_bool", 16, 120, 0, 3, 0, "BOOLEAN"},
      {"c_tiny", 16, 24, 0, 3, 0, "TINYINT"},
      {"c_utiny", 2, 120, 0, 5, 0, "SMALLINT"},
      {"c_small", 2, 120, 0, 5, 0, "SMALLINT"},
      {"c_int", 3, 120, 0, 10, 0, "INTEGER"},
      {"c_medium", 3, 120, 0, 10, 0, "INTEGER"},
      {"c_uint", 20, 120, 0, 19, 0, "BIGINT"},
      {"c_big", 20, 120, 0, 19, 0, "BIGINT"},
      {"c_ubig", 131, 120, 0, 20, 0, "DECIMAL"},
      {"c_float", 4, 120, 0, 0, 0, "FLOAT"},
      {"c_double", 5, 120, 0, 0, 0, "DOUBLE"},
      {"c_dec", 131, 120, 0, 12, 3, "DECIMAL"},
      {"c_date", 133, 120, 0, 0, 0, "DATE"},
      {"c_time", 134, 120, 0, 0, 0, "TIME"},
      {"c_ts", 135, 24, 0, 0, 0, "TIMESTAMP"},
      {"c_dt", 135, 104, 0, 0, 0, "DATETIME"},
      {"c_char", 129, 120, 10, 0, 0, "CHAR"},
      {"c_varchar", 129, 104, 300, 0, 0, "VARCHAR"},
      {"c_tinytext", 129, 232, 255, 0, 0, "TINYTEXT"},
      {"c_text", 129, 232, 65535, 0, 0, "TEXT"},
      {"c_mtext", 129, 232, 16777215, 0, 0, "MEDIUMTEXT"},
      {"c_ltext", 129, 232, -1, 0, 0, "LONGTEXT"},
      {"c_tblob", 128, 104, 255, 0, 0, "TINYBLOB"},
      {"c_blob", 128, 232, 65535, 0, 0, "BLOB"},
      {"c_mblob", 128, 232, 16777215, 0, 0, "MEDIUMBLOB"},
      {"c_lblob", 128, 232, -1, 0, 0, "LONGBLOB"},
      {"c_year", 2, 120, 0, 5, 0, "SMALLINT"},
      {"c_enum", 129, 104, 3, 0, 0, "VARCHAR"},
      {"c_bin", 128, 104, 255, 0, 0, "BINARY"},
      {"c_bit", 16, 120, 0, 3, 0, "BOOLEAN"},
  };
  ASSERT_TRUE(catalogue.LoadDBInfo());
  const TCorvaneObject* types = Find("types");
  ASSERT_NE(types, nullptr);
  ASSERT_EQ(types->Fields.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const TCorvaneField& f = types->Fields[i];
    const ExpectedField& e = expected[i];
    EXPECT_EQ(f.FieldName, e.name);
    EXPECT_EQ(f.DataType, e.dataType) << e.name;
    EXPECT_EQ(f.ColumnFlags, e.flags) << e.name;
    EXPECT_EQ(f.CharMaxLength, e.length) << e.name;
    EXPECT_EQ(f.NumericPrecision, e.precision) << e.name;
    EXPECT_EQ(f.NumericScale, e.scale) << e.name;
    EXPECT_EQ(f.DBKind, dkMySQL);
    EXPECT_EQ(SourceTypeName(f), e.sourceType) << e.name;
  }
}

TEST_F(LoadMySQL, LostConnectionShowsTheDriversMessage) {
  auto id = db.openQuery("SELECT CONNECTION_ID()")->value(0).toInt();
  ado::Connection killer(DsnConnectionString("qm_test"));
  killer.open();
  killer.execute("KILL CONNECTION " + std::to_string(id));
  EXPECT_FALSE(catalogue.LoadDBInfo());
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  const std::string& text = messages.entries[0].text;
  EXPECT_EQ(text.rfind("Cannot get information from your database\r\n", 0), 0u) << text;
  EXPECT_GT(text.size(), std::string("Cannot get information from your database\r\n").size());
  db.close();  // the fixture's clean-up reconnects
  db.open();
}

// Connections that cannot be opened: a wrong password, and a data source whose
// server port is closed (written to a user data source file of the test's own).
TEST(LoadMySQLConnection, FailuresShowCannotConnectWithTheDriversText) {
  const TestServer& server = TestServer::Get();
  server.UseOdbc();
  const std::string ini =
      std::filesystem::temp_directory_path() / ("qm_closed_" + std::to_string(::getpid()) + ".ini");
  {
    std::ofstream out(ini);
    out << "[qm_closed]\nDriver=MariaDB Unicode\nSERVER=127.0.0.1\nPORT=1\nDATABASE=qm_test\n"
           "USER=qm\nPASSWORD=x\n";
  }
  struct Case {
    std::string connectionString;
    bool closedPortIni;
    std::string driverText;
  } cases[] = {
      {DsnConnectionString("qm_test") + ";User ID=" + server.user + ";Password=wrong", false,
       "Access denied for user"},
      {DsnConnectionString("qm_closed"), true, "Can't connect to server on '127.0.0.1'"},
  };
  for (const Case& c : cases) {
    if (c.closedPortIni) setenv("ODBCINI", ini.c_str(), 1);
    ui::RecordingMessages messages;
    ui::ScopedMessages scope(messages);
    ado::Connection cn(c.connectionString);
    TCorvane catalogue;
    catalogue.SetDBKind(dkMySQL);
    catalogue.SetConnection(&cn);
    EXPECT_FALSE(catalogue.LoadDBInfo());
    EXPECT_TRUE(catalogue.Objects.empty());
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
    const std::string& text = messages.entries[0].text;
    EXPECT_EQ(text.rfind("Cannot connect to database.\r\n", 0), 0u) << text;
    EXPECT_NE(text.find(c.driverText), std::string::npos) << text;
    server.UseOdbc();
  }
  std::filesystem::remove(ini);
}

}  // namespace
