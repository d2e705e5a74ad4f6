#include "connect/odbc_sources.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "connect/odbc_test_dir.h"
#include "platform/ui/messages.h"

namespace fs = std::filesystem;

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
      {"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsMySQLDriverDescription(c.description), c.listed) << c.description;
}

class OdbcIniFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteOdbcIni(
        "[Sales MySQL]\nDriver=MySQL ODBC 8.0 Unicode Driver\n\n"
        "[tds]\nDriver=FreeTDS\nServer=127.0.0.1\n\n"
        "[maria]\nDriver=MariaDB Unicode\n\n"
        "[lower]\nDriver=mysql\n\n"
        "[access]\nDriver=MDBTools\n");
  }
};

TEST_F(OdbcIniFixture, ListsMySQLAndMariaDBSystemSourcesInFileOrder) {
  ui::RecordingMessages messages;
  ui::ScopedMessages scope(messages);
  std::vector<std::string> names{"stale"};
  EXPECT_TRUE(FillODBCSourceList(names));
  EXPECT_EQ(names, (std::vector<std::string>{"Sales MySQL", "maria", "lower"}));
  EXPECT_TRUE(messages.entries.empty());
}

TEST_F(OdbcIniFixture, NoMySQLSourcesGiveAnEmptyList) {
  WriteOdbcIni("[tds]\nDriver=FreeTDS\n");
  auto names = ReadMySQLDataSources();
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
  auto names = ReadMySQLDataSources();
  ASSERT_TRUE(names.has_value());
  EXPECT_EQ(*names, (std::vector<std::string>{"short", name33, name40, name200, "long driver",
                                              "after"}));
}

TEST(OdbcAdministrator, EnvironmentNamesTheProgramElsePathIsSearched) {
  const fs::path dir = fs::temp_directory_path() / ("qm-admin-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path config = dir / "ODBCConfig";
  std::ofstream(config) << "#!/bin/sh\n";
  fs::permissions(config, fs::perms::owner_all);
  std::ofstream(dir / "ODBCManageDataSourcesQ5") << "not executable";
  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  const char* savedAdmin = std::getenv("QUILLMARK_ODBC_ADMIN");
  const std::string admin = savedAdmin ? savedAdmin : "";

  setenv("PATH", ("/nonexistent:" + dir.string()).c_str(), 1);
  unsetenv("QUILLMARK_ODBC_ADMIN");
  EXPECT_EQ(OdbcAdministratorCandidates(), (std::vector<std::string>{config.string()}));

  setenv("QUILLMARK_ODBC_ADMIN", "/opt/odbc/admin", 1);
  EXPECT_EQ(OdbcAdministratorCandidates(), (std::vector<std::string>{"/opt/odbc/admin"}));

  setenv("PATH", "/nonexistent", 1);
  unsetenv("QUILLMARK_ODBC_ADMIN");
  EXPECT_TRUE(OdbcAdministratorCandidates().empty());

  setenv("PATH", savedPath.c_str(), 1);
  if (savedAdmin) setenv("QUILLMARK_ODBC_ADMIN", admin.c_str(), 1);
  fs::remove_all(dir);
}

}  // namespace
