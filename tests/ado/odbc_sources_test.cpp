#include "platform/ado/odbc/odbc_sources.h"

#include <gtest/gtest.h>

#include "support/odbc_test_dir.h"

namespace {

TEST(OdbcSources, DriverDescriptionFilter) {
  struct Case {
    const char* description;
    bool listed;
  };
  const Case cases[] = {
      {"MySQL ODBC 8.0 Unicode Driver", true},
      {"MariaDB Unicode", true},
      {"mysql", true},
      {"mariadb connector/odbc", true},
      {"/usr/lib/x86_64-linux-gnu/odbc/libmyodbc8w.so (MySQL)", true},
      {"FreeTDS", false},
      {"ODBC Driver 17 for SQL Server", false},
      {"MDBTools", false},
      {"Microsoft SQL Server", false},  // a DBMS name, as a session asks it
      {"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ado::odbc::IsMySQLDriver(c.description), c.listed) << c.description;
}

TEST_F(OdbcIniFixture, NoMySQLSourcesGiveAnEmptyList) {
  WriteOdbcIni("[tds]\nDriver=FreeTDS\n");
  auto names = ado::odbc::ReadMySQLDataSources();
  ASSERT_TRUE(names.has_value());
  EXPECT_TRUE(names->empty());
}

// Names and driver descriptions longer than ODBC's 32-character DSN limit come out
// whole: a cut name would open another data source, a cut description could drop
// the word that marks a MySQL driver.
TEST_F(OdbcIniFixture, LongNamesAndDescriptionsAreListedWhole) {
  const std::string name33(33, 'n');
  const std::string name40 = "Sales reporting database, MySQL 8 copy";
  const std::string name200 = std::string(190, 'x') + "_last_part";
  const std::string longDriver = std::string(600, 'd') + " MariaDB";
  WriteOdbcIni("[short]\nDriver=MariaDB Unicode\n\n"
               "[" + name33 + "]\nDriver=MariaDB Unicode\n\n"
               "[tds]\nDriver=FreeTDS\n\n"
               "[" + name40 + "]\nDriver=MariaDB Unicode\n\n"
               "[" + name200 + "]\nDriver=MariaDB Unicode\n\n"
               "[long driver]\nDriver=" + longDriver + "\n\n"
               "[after]\nDriver=MariaDB Unicode\n");
  auto names = ado::odbc::ReadMySQLDataSources();
  ASSERT_TRUE(names.has_value());
  EXPECT_EQ(*names, (std::vector<std::string>{"short", name33, name40, name200, "long driver",
                                              "after"}));
}

}  // namespace
