// The window tests' own data sources: the fixture's ODBC set-up plus qm_gui_src and
// qm_gui_dst, databases no other test touches, so these tests can run beside theirs.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/ado/connection.h"
#include "support/test_server.h"

inline const char* const kGuiSourceDsn =
    "Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_gui_src";
inline const char* const kGuiDestDsn =
    "Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_gui_dst";

// Call before any ODBC call of the process: unixODBC reads ODBCSYSINI once.
inline void UseGuiOdbc() {
  namespace fs = std::filesystem;
  const TestServer& server = TestServer::Get();
  const fs::path dir = fs::path(TestDataDir()) / ("gui-odbc-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::copy_file(fs::path(server.odbcSysIni) / "odbcinst.ini", dir / "odbcinst.ini",
                fs::copy_options::overwrite_existing);
  std::ifstream in(fs::path(server.odbcSysIni) / "odbc.ini");
  std::stringstream original;
  original << in.rdbuf();
  std::string text = original.str();
  // The qm_src section, renamed, twice.
  const std::size_t start = text.find("[qm_src]");
  const std::size_t end = text.find("\n[", start + 1);
  const std::string section = text.substr(start, end == std::string::npos ? end : end - start + 1);
  for (const char* name : {"qm_gui_src", "qm_gui_dst"}) {
    std::string copy = section;
    for (std::size_t at; (at = copy.find("qm_src")) != std::string::npos;)
      copy.replace(at, 6, name);
    text += "\n" + copy;
  }
  std::ofstream(dir / "odbc.ini", std::ios::trunc) << text;
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);

  ado::Connection admin("Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_src");
  admin.open();
  admin.execute("CREATE DATABASE IF NOT EXISTS qm_gui_src CHARACTER SET utf8mb4");
  admin.execute("CREATE DATABASE IF NOT EXISTS qm_gui_dst CHARACTER SET utf8mb4");
  admin.close();
}
