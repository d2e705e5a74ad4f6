// unixODBC reads ODBCSYSINI once per process, at its first call, so every test of a
// binary shares one private folder, set up before any ODBC call; tests rewrite the
// odbc.ini inside it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline const std::filesystem::path& PrivateOdbcDir() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("qm-odbc-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    std::ofstream(d / "odbcinst.ini") << "";
    std::ofstream(d / "odbc.ini") << "";
    // User data sources must never be listed: the user list names MySQL on purpose.
    std::ofstream(d / "user.ini") << "[mine]\nDriver=MySQL\n";
    setenv("ODBCSYSINI", d.c_str(), 1);
    setenv("ODBCINI", (d / "user.ini").c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(PrivateOdbcDir()); });
    return d;
  }();
  return dir;
}

inline void WriteOdbcIni(const std::string& text) {
  std::ofstream(PrivateOdbcDir() / "odbc.ini", std::ios::trunc) << text;
}

// MySQL and MariaDB data sources in several spellings among others.
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
