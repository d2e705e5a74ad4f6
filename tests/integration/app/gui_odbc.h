// The window tests' own data sources: the fixture's ODBC set-up plus a source and a
// destination database for each test (qm_gui_<test>_src, qm_gui_<test>_dst) that no
// other test touches, so every test can run beside every other.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/ado/connection.h"
#include "support/test_server.h"

inline const char* const kGuiTests[] = {"job", "go", "access", "list"};

inline std::string GuiDsnName(const std::string& test, const char* side) {
  return "qm_gui_" + test + "_" + side;
}
inline std::string GuiDsn(const std::string& test, const char* side) {
  return "Provider=MSDASQL.1;Persist Security Info=False;Data Source=" + GuiDsnName(test, side);
}

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
  for (const char* test : kGuiTests)
    for (const char* side : {"src", "dst"}) {
      std::string copy = section;
      for (std::size_t at; (at = copy.find("qm_src")) != std::string::npos;)
        copy.replace(at, 6, GuiDsnName(test, side));
      text += "\n" + copy;
    }
  std::ofstream(dir / "odbc.ini", std::ios::trunc) << text;
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);

  ado::Connection admin("Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_src");
  admin.open();
  for (const char* test : kGuiTests)
    for (const char* side : {"src", "dst"})
      admin.execute("CREATE DATABASE IF NOT EXISTS " + GuiDsnName(test, side) +
                    " CHARACTER SET utf8mb4");
  admin.close();
}
