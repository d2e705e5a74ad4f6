// Where the private MariaDB server of the "mariadb" test fixture is, read from the
// server.env file that scripts/test-server writes.
#pragma once

#include <string>

struct TestServer {
  std::string host;
  int port = 0;
  std::string socket;
  std::string user;
  std::string password;
  std::string oldUser;
  std::string oldPassword;
  int pid = 0;
  std::string odbcSysIni;  // folder with odbcinst.ini and odbc.ini
  std::string odbcIni;

  // Throws std::runtime_error naming the missing file when the fixture did not run.
  static const TestServer& Get();
  // Points unixODBC at the private ODBC set-up (data sources qm_src, qm_dst, qm_test).
  void UseOdbc() const;
};

// $QUILLMARK_TEST_DIR, the build folder's test-data folder.
std::string TestDataDir();
