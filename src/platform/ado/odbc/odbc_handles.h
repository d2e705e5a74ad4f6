// unixODBC handles and diagnostics shared by the ODBC provider.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "platform/ado/connection.h"

namespace ado::odbc {

// An ODBC 3 environment handle, freed with its owner.
class EnvironmentHandle {
 public:
  // Throws DatabaseError when the driver manager cannot make one.
  EnvironmentHandle();
  ~EnvironmentHandle();
  EnvironmentHandle(const EnvironmentHandle&) = delete;
  EnvironmentHandle& operator=(const EnvironmentHandle&) = delete;
  SQLHENV get() const { return h_; }

 private:
  SQLHENV h_ = SQL_NULL_HENV;
};

// The process's one environment for connections, made on first use; throws
// DatabaseError when it cannot be made (and tries again on the next call).
SQLHENV Environment();

// The diagnostic records of a handle as one message: the driver's texts, one per line.
// Fills native code and SQLSTATE from the first record.
DatabaseError Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& fallback);

inline bool Succeeded(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// Throws the handle's diagnostics unless rc is a success.
inline void Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what) {
  if (!Succeeded(rc)) throw Diagnostics(handleType, handle, what);
}

// A connection handle of the process's environment, disconnected (once connected)
// and freed with its owner, so a constructor that throws halfway leaks nothing.
class ConnectionHandle {
 public:
  // Throws the environment's diagnostics when no handle can be made.
  ConnectionHandle();
  ~ConnectionHandle();
  ConnectionHandle(const ConnectionHandle&) = delete;
  ConnectionHandle& operator=(const ConnectionHandle&) = delete;
  SQLHDBC get() const { return h_; }
  // After a successful connect: the destructor disconnects first.
  void setConnected() { connected_ = true; }

 private:
  SQLHDBC h_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

// A statement handle freed with its owner.
class Statement {
 public:
  explicit Statement(SQLHDBC dbc);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHSTMT get() const { return h_; }
  // Throws the statement's diagnostics unless rc is a success.
  void check(SQLRETURN rc, const char* what) const { Check(rc, SQL_HANDLE_STMT, h_, what); }
  // Bounds every later execution; 0 leaves the driver's default (none). A driver that
  // cannot keep to it says so in a warning, which is no failure.
  void setQueryTimeout(unsigned seconds);

 private:
  SQLHSTMT h_ = SQL_NULL_HSTMT;
};

}  // namespace ado::odbc
