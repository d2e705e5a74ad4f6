// A connection to the private server through its qm_test ODBC data source, moved
// into a fresh database of the test's own (tests run in parallel processes).
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <initializer_list>
#include <string>

#include "platform/ado/connection.h"
#include "support/test_server.h"

inline std::string DsnConnectionString(const std::string& dsn) {
  return "Provider=MSDASQL.1;Persist Security Info=False;Data Source=" + dsn;
}

class MySQLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestServer::Get().UseOdbc();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    database = "qm_t_" + std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : database)
      c = std::isalnum(static_cast<unsigned char>(c))
              ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
              : '_';
    database = database.substr(0, 64);
    db.setConnectionString(DsnConnectionString("qm_test"));
    db.open();
    Run({"DROP DATABASE IF EXISTS " + database,
         "CREATE DATABASE " + database + " CHARACTER SET utf8mb4", "USE " + database});
  }
  void TearDown() override {
    if (db.isOpen() && !HasFailure()) db.execute("DROP DATABASE IF EXISTS " + database);
  }
  void Run(std::initializer_list<std::string> statements) {
    for (const std::string& s : statements) db.execute(s);
  }
  ado::Connection db;
  std::string database;
};
