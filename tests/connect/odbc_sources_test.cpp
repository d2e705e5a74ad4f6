#include "connect/odbc_sources.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/ui/messages.h"
#include "support/odbc_test_dir.h"

namespace fs = std::filesystem;

namespace {

TEST_F(OdbcIniFixture, ListsMySQLAndMariaDBSystemSourcesInFileOrder) {
  ui::RecordingMessages messages;
  ui::ScopedMessages scope(messages);
  std::vector<std::string> names{"stale"};
  EXPECT_TRUE(FillODBCSourceList(names));
  EXPECT_EQ(names, (std::vector<std::string>{"Sales MySQL", "maria", "lower"}));
  EXPECT_TRUE(messages.entries.empty());
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
