#include "support/test_server.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

std::string TestDataDir() {
  const char* dir = std::getenv("QUILLMARK_TEST_DIR");
  if (!dir || !*dir) throw std::runtime_error("QUILLMARK_TEST_DIR is not set; run the tests with ctest");
  return dir;
}

const TestServer& TestServer::Get() {
  static const TestServer server = [] {
    const std::string path = TestDataDir() + "/mariadb/server.env";
    std::ifstream in(path);
    if (!in) throw std::runtime_error("no private MariaDB server: " + path + " is missing");
    std::map<std::string, std::string> env;
    for (std::string line; std::getline(in, line);) {
      auto eq = line.find('=');
      if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
    }
    TestServer s;
    s.host = env["QM_MYSQL_HOST"];
    s.port = std::atoi(env["QM_MYSQL_PORT"].c_str());
    s.socket = env["QM_MYSQL_SOCKET"];
    s.user = env["QM_MYSQL_USER"];
    s.password = env["QM_MYSQL_PASSWORD"];
    s.oldUser = env["QM_MYSQL_OLD_USER"];
    s.oldPassword = env["QM_MYSQL_OLD_PASSWORD"];
    s.pid = std::atoi(env["QM_MYSQL_PID"].c_str());
    s.odbcSysIni = env["ODBCSYSINI"];
    s.odbcIni = env["ODBCINI"];
    return s;
  }();
  return server;
}

void TestServer::UseOdbc() const {
  setenv("ODBCSYSINI", odbcSysIni.c_str(), 1);
  setenv("ODBCINI", odbcIni.c_str(), 1);
}
