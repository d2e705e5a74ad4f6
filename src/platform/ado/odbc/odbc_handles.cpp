#include "platform/ado/odbc/odbc_handles.h"

namespace ado::odbc {

EnvironmentHandle::EnvironmentHandle() {
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h_)))
    throw DatabaseError("Cannot initialise the ODBC driver manager.");
  const SQLRETURN rc =
      SQLSetEnvAttr(h_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!Succeeded(rc)) {
    DatabaseError error =
        Diagnostics(SQL_HANDLE_ENV, h_, "Cannot initialise the ODBC driver manager.");
    SQLFreeHandle(SQL_HANDLE_ENV, h_);
    throw error;
  }
}

EnvironmentHandle::~EnvironmentHandle() {
  SQLFreeHandle(SQL_HANDLE_ENV, h_);
}

SQLHENV Environment() {
  // Never freed: a connection held by a static object may close after it would be.
  static const EnvironmentHandle* env = new EnvironmentHandle();
  return env->get();
}

DatabaseError Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& fallback) {
  std::string message;
  std::string firstState;
  int firstNative = 0;
  for (SQLSMALLINT rec = 1;; ++rec) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[2048];
    SQLSMALLINT len = 0;
    SQLRETURN rc = SQLGetDiagRec(handleType, handle, rec, state, &native, text, sizeof text, &len);
    if (!Succeeded(rc)) break;
    std::string line(
        reinterpret_cast<char*>(text),
        static_cast<std::size_t>(
            len < 0 ? 0 : (len >= static_cast<SQLSMALLINT>(sizeof text) ? sizeof text - 1 : len)));
    if (rec == 1) {
      firstState = reinterpret_cast<char*>(state);
      firstNative = native;
    }
    if (line.empty()) continue;
    if (!message.empty()) message += '\n';
    message += line;
  }
  if (message.empty()) message = fallback;
  return DatabaseError(message, firstNative, firstState);
}

ConnectionHandle::ConnectionHandle() {
  Check(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &h_), SQL_HANDLE_ENV, Environment(),
        "Cannot create an ODBC connection");
}

ConnectionHandle::~ConnectionHandle() {
  if (connected_) SQLDisconnect(h_);
  if (h_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, h_);
}

Statement::Statement(SQLHDBC dbc) {
  Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h_), SQL_HANDLE_DBC, dbc,
        "Cannot create a statement");
}

void Statement::setQueryTimeout(unsigned seconds) {
  if (seconds == 0) return;
  SQLSetStmtAttr(h_, SQL_ATTR_QUERY_TIMEOUT,
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
}

Statement::~Statement() {
  if (h_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h_);
}

}  // namespace ado::odbc
