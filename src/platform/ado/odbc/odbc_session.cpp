#include "platform/ado/odbc/odbc_session.h"

#include "platform/ado/odbc/odbc_params.h"
#include "platform/ado/odbc/odbc_query.h"
#include "platform/ado/odbc/odbc_schema.h"
#include "platform/ado/odbc/odbc_sources.h"
#include "platform/ado/odbc/odbc_table.h"
#include "platform/text/text.h"

namespace ado::odbc {

namespace {

std::string InfoText(SQLHDBC dbc, SQLUSMALLINT item) {
  SQLCHAR buf[256] = {};
  SQLSMALLINT len = 0;
  if (!Succeeded(SQLGetInfo(dbc, item, buf, sizeof buf, &len))) return {};
  return reinterpret_cast<char*>(buf);
}

// Runs what the statement left to read: a batch reports the failure of a later
// statement on its own result.
void DrainResults(SQLHSTMT h) {
  for (;;) {
    SQLRETURN rc = SQLMoreResults(h);
    if (rc == SQL_NO_DATA) break;
    if (!Succeeded(rc)) {
      DatabaseError error = Diagnostics(SQL_HANDLE_STMT, h, "The statement could not be executed.");
      SQLFreeStmt(h, SQL_CLOSE);
      throw error;
    }
  }
  SQLFreeStmt(h, SQL_CLOSE);
}

class OdbcCommand : public Command {
 public:
  OdbcCommand(SQLHDBC dbc, std::string sql, bool sqlServer)
      : stmt_(dbc), sql_(std::move(sql)), sqlServer_(sqlServer) {
    stmt_.check(SQLPrepare(stmt_.get(), reinterpret_cast<SQLCHAR*>(sql_.data()),
                           static_cast<SQLINTEGER>(sql_.size())),
                "SQLPrepare");
  }

  void execute(std::span<const Variant* const> params) override {
    if (slots_.size() < params.size()) slots_.resize(params.size());
    for (std::size_t i = 0; i < params.size(); ++i)
      BindParameter(stmt_, static_cast<SQLUSMALLINT>(i + 1), *params[i], slots_[i], sqlServer_);
    SQLHSTMT h = stmt_.get();
    SQLRETURN rc = SQLExecute(h);
    if (rc != SQL_NO_DATA && !Succeeded(rc)) {
      DatabaseError error = Diagnostics(SQL_HANDLE_STMT, h, "The statement could not be executed.");
      SQLFreeStmt(h, SQL_CLOSE);
      throw error;
    }
    DrainResults(h);
  }

 private:
  Statement stmt_;
  std::string sql_;
  bool sqlServer_;
  std::vector<ParamSlot> slots_;
};

}  // namespace

OdbcSession::OdbcSession(const std::string& odbcConnectionString, Timeouts timeouts)
    : timeouts_(timeouts) {
  SQLSetConnectAttr(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeouts_.loginSeconds)), 0);
  std::string in = odbcConnectionString;
  SQLCHAR out[2048];
  SQLSMALLINT outLen = 0;
  SQLRETURN rc = SQLDriverConnect(dbc_.get(), nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                                  static_cast<SQLSMALLINT>(in.size()), out, sizeof out, &outLen,
                                  SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) {
    throw Diagnostics(SQL_HANDLE_DBC, dbc_.get(), "The ODBC connection could not be opened.");
  }
  dbc_.setConnected();
  const std::string dbms = InfoText(dbc_.get(), SQL_DBMS_NAME);
  if (IsMySQLDriver(dbms))
    dialect_ = Dialect::MySQL;
  else if (text::ContainsNoCase(dbms, "SQL Server"))
    dialect_ = Dialect::SQLServer;
  std::string quote = InfoText(dbc_.get(), SQL_IDENTIFIER_QUOTE_CHAR);
  if (quote == " ") quote.clear();  // the driver's way of saying it has none
  quote_ = quote;
  patternEscape_ = InfoText(dbc_.get(), SQL_SEARCH_PATTERN_ESCAPE);
  exec_ = std::make_unique<Statement>(dbc_.get());
}

OdbcSession::~OdbcSession() = default;

std::string OdbcSession::identity() {
  std::string sql;
  if (dialect_ == Dialect::MySQL)
    sql = "SELECT 'mysql', @@hostname, @@port, @@datadir, DATABASE()";
  else if (dialect_ == Dialect::SQLServer)
    sql = "SELECT 'sqlserver', @@SERVERNAME, DB_NAME()";
  else
    return {};
  OdbcQuery q(dbc_.get(), sql, {}, false, timeouts_.catalogueSeconds);
  std::string out;
  for (int i = 0; i < q.fieldCount(); ++i) {
    if (i > 0) out += '\n';
    if (!q.eof() && !q.value(i).isNull()) out += VariantToText(q.value(i));
  }
  return out;
}

std::string OdbcSession::quoteName(const std::string& name) const {
  if (name.empty() || quote_.empty()) return name;
  const char f = name.front();
  if (name.size() >= 2 && (f == '`' || f == '"' || f == '[') && name.back() == (f == '[' ? ']' : f))
    return name;
  return text::QuoteName(name, quote_);
}

void OdbcSession::execute(const std::string& sql) {
  SQLHSTMT h = exec_->get();
  std::string text = sql;
  SQLRETURN rc = SQLExecDirect(h, reinterpret_cast<SQLCHAR*>(text.data()),
                               static_cast<SQLINTEGER>(text.size()));
  if (rc != SQL_NO_DATA && !Succeeded(rc)) {
    DatabaseError error = Diagnostics(SQL_HANDLE_STMT, h, "The statement could not be executed.");
    SQLFreeStmt(h, SQL_CLOSE);
    throw error;
  }
  DrainResults(h);
}

std::unique_ptr<Recordset> OdbcSession::openQuery(const std::string& sql) {
  // MariaDB Connector/ODBC reads the whole result here, under its READ_TIMEOUT.
  const auto started = std::chrono::steady_clock::now();
  try {
    return std::make_unique<OdbcQuery>(dbc_.get(), sql, std::vector<std::string>{},
                                       dialect_ == Dialect::MySQL);
  } catch (const DatabaseError& e) {
    throw NamingCommandTimeout(e, dialect_ == Dialect::MySQL ? timeouts_.catalogueSeconds : 0,
                               started);
  }
}

std::unique_ptr<Recordset> OdbcSession::openSchema(SchemaRowset rowset,
                                                   const std::vector<Variant>& restrictions) {
  return OpenOdbcSchema(*this, rowset, restrictions);
}

std::unique_ptr<TableDataset> OdbcSession::openTable(const std::string& name) {
  return std::make_unique<OdbcTable>(*this, name);
}

namespace {

void SetAutocommit(SQLHDBC dbc, bool on) {
  Check(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(
                              on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                          SQL_IS_UINTEGER),
        SQL_HANDLE_DBC, dbc, "The transaction mode could not be set.");
}

// Commits or rolls back, and commits each statement on its own again, also when
// ending the transaction fails (the connection is then most likely gone).
void EndTransaction(SQLHDBC dbc, SQLSMALLINT how) {
  const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc, how);
  if (!Succeeded(rc)) {
    DatabaseError error = Diagnostics(SQL_HANDLE_DBC, dbc, how == SQL_COMMIT
                                                               ? "The transaction could not be committed."
                                                               : "The transaction could not be rolled back.");
    SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON)),
                      SQL_IS_UINTEGER);
    throw error;
  }
  SetAutocommit(dbc, true);
}

}  // namespace

void OdbcSession::beginTransaction() {
  SetAutocommit(dbc_.get(), false);
}

void OdbcSession::commit() {
  EndTransaction(dbc_.get(), SQL_COMMIT);
}

void OdbcSession::rollback() {
  EndTransaction(dbc_.get(), SQL_ROLLBACK);
}

std::size_t OdbcSession::maxStatementBytes() {
  if (maxStatementBytes_ != 0) return maxStatementBytes_;
  maxStatementBytes_ = 1 << 20;
  if (dialect_ != Dialect::MySQL) return maxStatementBytes_;
  try {
    OdbcQuery q(dbc_.get(), "SELECT @@max_allowed_packet", {}, false, timeouts_.catalogueSeconds);
    if (!q.eof() && !q.value(0).isNull()) {
      const long long bytes = q.value(0).toInt();
      if (bytes > 0) maxStatementBytes_ = static_cast<std::size_t>(bytes);
    }
  } catch (const std::exception&) {
    // The smallest default serves.
  }
  return maxStatementBytes_;
}

std::unique_ptr<Command> OdbcSession::prepare(const std::string& sql) {
  return std::make_unique<OdbcCommand>(dbc_.get(), sql, dialect_ == Dialect::SQLServer);
}

}  // namespace ado::odbc
