// A connection to the private server's qm_test database through its ODBC data
// source, with helpers to run set-up statements.
#pragma once

#include <gtest/gtest.h>

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
    db.setConnectionString(DsnConnectionString("qm_test"));
    db.open();
  }
  void Run(std::initializer_list<const char*> statements) {
    for (const char* s : statements) db.execute(s);
  }
  ado::Connection db;
};
