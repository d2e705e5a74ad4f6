// The direct driver, recording what the component asks of it; it can claim another
// server version and fail chosen statements, for the rules that depend on them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mysql/driver/direct.h"

class TRecordingDriver : public mysql::TMySQLDirect {
 public:
  struct ConnectCall {
    std::string host, user;
    std::uint32_t port = 0, flags = 0;
    std::string database;
  };
  std::vector<ConnectCall> connects;
  std::vector<std::string> queries;
  std::vector<std::string> selected;
  int closes = 0;
  std::uint32_t claimedServerVersion = 0;  // 0: the real one
  std::string failQueriesContaining;

  mysql::TMySQLHandle Connect(const std::string& host, const std::string& user,
                              const std::string& password, std::uint32_t port, std::uint32_t flags,
                              const std::string& database) override {
    connects.push_back({host, user, port, flags, database});
    mysql::TMySQLHandle h = TMySQLDirect::Connect(host, user, password, port, flags, database);
    if (claimedServerVersion) serverVer_ = static_cast<std::int32_t>(claimedServerVersion);
    return h;
  }
  void Close(mysql::TMySQLHandle& handle) override {
    if (handle) ++closes;
    TMySQLDirect::Close(handle);
  }
  bool SelectDb(mysql::TMySQLHandle handle, const std::string& name) override {
    selected.push_back(name);
    return TMySQLDirect::SelectDb(handle, name);
  }
  mysql::TMySQLResult Query(mysql::TMySQLHandle handle, const std::string& statement) override {
    queries.push_back(statement);
    if (!failQueriesContaining.empty() && statement.find(failQueriesContaining) != std::string::npos)
      RaiseError(nullptr, 9999, "refused by the test: " + statement);
    return TMySQLDirect::Query(handle, statement);
  }
};

// The first column of every row of a query (NULL as "").
inline std::vector<std::string> QueryFirstColumn(mysql::TMySQLBase& driver, mysql::TMySQLHandle handle,
                                                 const std::string& sql) {
  std::vector<std::string> out;
  mysql::TMySQLResult r = driver.Query(handle, sql);
  while (mysql::TMySQLRow row = r ? driver.FetchRow(r) : nullptr) out.emplace_back(row[0] ? row[0] : "");
  if (r) driver.FreeResult(r);
  return out;
}

// The driver's options as one text.
inline std::string DriverOptionsText(const mysql::TMySQLBase& driver) {
  std::string text;
  for (const auto& line : driver.Options()) text += (text.empty() ? "" : "\r\n") + line;
  return text;
}
