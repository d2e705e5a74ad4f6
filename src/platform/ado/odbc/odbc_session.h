// The ODBC provider: a session on one ODBC connection (unixODBC), for MySQL data
// sources and for SQL Server through FreeTDS. Text travels as UTF-8 (the MariaDB
// data sources carry CHARSET=utf8mb4, FreeTDS is given ClientCharset=UTF-8).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/odbc/odbc_handles.h"

namespace ado::odbc {

enum class Dialect { MySQL, SQLServer, Other };

// How long a session waits for a silent server, in seconds; 0 waits for ever.
struct Timeouts {
  unsigned loginSeconds = 30;      // connecting and logging in
  // Each schema rowset's statement; for a MySQL data source also every wait for an
  // answer (the driver's read and write time-outs).
  unsigned catalogueSeconds = 30;
};

class OdbcSession : public Session {
 public:
  // Connects with an ODBC connection string; throws DatabaseError with the driver
  // manager's or the driver's message.
  OdbcSession(const std::string& odbcConnectionString, Timeouts timeouts = {});
  ~OdbcSession() override;
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;

  void execute(const std::string& sql) override;
  std::unique_ptr<Recordset> openQuery(const std::string& sql) override;
  std::unique_ptr<Recordset> openSchema(SchemaRowset rowset,
                                        const std::vector<Variant>& restrictions) override;
  std::unique_ptr<TableDataset> openTable(const std::string& name) override;
  std::unique_ptr<Command> prepare(const std::string& sql) override;
  void beginTransaction() override;
  void commit() override;
  void rollback() override;

  Dialect dialect() const { return dialect_; }
  const Timeouts& timeouts() const { return timeouts_; }
  // MySQL: "mysql:" + host name, port, data folder and current database; SQL Server:
  // "sqlserver:" + server name and current database; empty for other databases.
  std::string identity() override;
  SQLHDBC handle() const { return dbc_.get(); }
  const std::string& identifierQuote() const { return quote_; }
  // The escape of "_" and "%" in catalogue function arguments; empty when there is none.
  const std::string& patternEscape() const { return patternEscape_; }
  // A bare name in the database's identifier quote; a name already in quotes as it is.
  std::string quoteName(const std::string& name) const;
  // MySQL: the largest statement the server takes (max_allowed_packet), asked once;
  // 1 MiB, the smallest default of any version, when it cannot be asked.
  std::size_t maxStatementBytes();

 private:
  // Declared first, so every statement below is freed before the connection.
  ConnectionHandle dbc_;
  Dialect dialect_ = Dialect::Other;
  Timeouts timeouts_;
  std::string quote_ = "\"";
  std::string patternEscape_;
  std::size_t maxStatementBytes_ = 0;  // 0: not asked yet
  std::unique_ptr<Statement> exec_;  // reused by execute()
  // Record sets and commands made here hold the handle, tables the session itself:
  // each must be destroyed before the session is.
};

}  // namespace ado::odbc
