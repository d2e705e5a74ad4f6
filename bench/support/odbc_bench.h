// What the benchmarks' bare ODBC loops share: timing, and stopping at the first
// failure with the driver's message.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

inline double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

[[noreturn]] inline void Die(const char* what, SQLSMALLINT type, SQLHANDLE h) {
  SQLCHAR state[6], text[512];
  SQLINTEGER native;
  SQLSMALLINT len;
  SQLGetDiagRec(type, h, 1, state, &native, text, sizeof text, &len);
  std::fprintf(stderr, "%s: %s\n", what, text);
  std::exit(1);
}

inline void Ok(SQLRETURN rc, const char* what, SQLSMALLINT type, SQLHANDLE h) {
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) Die(what, type, h);
}

inline SQLHDBC OdbcConnect(SQLHENV env, const char* connectionString) {
  SQLHDBC dbc;
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  Ok(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connectionString, SQL_NTS, nullptr, 0, nullptr,
                      SQL_DRIVER_NOPROMPT),
     "connect", SQL_HANDLE_DBC, dbc);
  return dbc;
}
