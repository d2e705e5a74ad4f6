// MySQL data sources with their job rows read through Quillmark's own MySQL client.
// MariaDB Connector/ODBC holds a whole result in memory before the first row; this
// route streams the rows as the server sends them, on a connection of its own, in the
// binary format the driver reads too, and hands them over as exactly the values the
// ODBC provider makes of them. Everything else (statements, catalogue, tables, other
// queries) stays on the ODBC connection.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "mysql/protocol/prepared.h"
#include "platform/ado/connection.h"
#include "platform/ado/forward_query.h"
#include "platform/ado/mysql/data_source.h"
#include "platform/ado/odbc/odbc_query.h"
#include "platform/ado/odbc/odbc_session.h"

namespace ado::mysqlstream {

// The value of one column of a binary row (nullptr for NULL) as the ODBC provider reads
// it through MariaDB Connector/ODBC: the column's ODBC type decides its kind, and MySQL
// dates are read as text, so a zero date stays text.
void ReadValue(const mysql::TMysqlField& field, const char* data, uint32_t length, Variant& v);
// The kind MariaDB Connector/ODBC's type for the column is read as.
odbc::ReadAs ReadAsFor(const mysql::TMysqlField& field);

// Connected clients for one server; one idle one is kept for the next query.
class ClientPool {
 public:
  // How long logging in and each read wait, in seconds; 0 waits for ever.
  ClientPool(ServerAddress address, odbc::Timeouts timeouts)
      : address_(std::move(address)), timeouts_(timeouts) {}
  // The idle client while the server still answers it, else a new connection; throws
  // DatabaseError with the client's message.
  std::unique_ptr<mysql::PreparedQueryClient> take();
  // A client that is connected and has no rows pending is kept; any other is closed.
  void give(std::unique_ptr<mysql::PreparedQueryClient> client);
  const ServerAddress& address() const { return address_; }
  // How long each read waits, in seconds; 0 for ever.
  unsigned readTimeout() const { return timeouts_.catalogueSeconds; }

 private:
  ServerAddress address_;
  odbc::Timeouts timeouts_;
  std::unique_ptr<mysql::PreparedQueryClient> idle_;
};

// One query's rows, read forward as they arrive; the client holds one row.
class StreamQuery : public ForwardQuery {
 public:
  // Runs the query; throws DatabaseError with the server's or the client's message.
  StreamQuery(std::shared_ptr<ClientPool> pool, std::string sql);
  ~StreamQuery() override;

  void close() override;

 protected:
  void rerun() override;
  bool readRow(std::vector<Variant>& values) override;

 private:
  // Takes a client and runs the statement; false when it gives no rows.
  bool run();
  // Gives the client back (kept when it read to the end) and forgets the result.
  void release();
  // The wait that failed started at `waitStarted`.
  [[noreturn]] void fail(std::chrono::steady_clock::time_point waitStarted);

  std::shared_ptr<ClientPool> pool_;
  std::string sql_;
  std::unique_ptr<mysql::PreparedQueryClient> client_;
  std::unique_ptr<mysql::TMysqlResult> result_;
};

// A MySQL data source's session: the ODBC session for everything, except that
// openStream reads through the built-in client. When that client cannot log in (an
// authentication it does not speak), the session's streams go through ODBC too.
class StreamSession : public Session {
 public:
  StreamSession(std::unique_ptr<Session> odbc, ServerAddress address, odbc::Timeouts timeouts);

  void execute(const std::string& sql) override { odbc_->execute(sql); }
  std::unique_ptr<Recordset> openQuery(const std::string& sql) override {
    return odbc_->openQuery(sql);
  }
  std::unique_ptr<Recordset> openStream(const std::string& sql) override;
  std::unique_ptr<Recordset> openSchema(SchemaRowset rowset,
                                        const std::vector<Variant>& restrictions) override {
    return odbc_->openSchema(rowset, restrictions);
  }
  std::unique_ptr<TableDataset> openTable(const std::string& name) override {
    return odbc_->openTable(name);
  }
  std::unique_ptr<Command> prepare(const std::string& sql) override { return odbc_->prepare(sql); }
  void beginTransaction() override { odbc_->beginTransaction(); }
  void commit() override { odbc_->commit(); }
  void rollback() override { odbc_->rollback(); }
  std::string identity() override { return odbc_->identity(); }
  std::string readOnlyMessage() const override { return odbc_->readOnlyMessage(); }

  // Why streams go through ODBC; empty while they go through the built-in client.
  const std::string& streamRefusal() const { return refusal_; }

 private:
  std::unique_ptr<Session> odbc_;
  std::shared_ptr<ClientPool> pool_;
  std::string refusal_;
};

// The session for an MSDASQL connection string: a StreamSession when the ODBC session
// reaches MySQL through a data source the built-in client can honour, else the ODBC
// session itself. Its waits are the ODBC session's: logging in, and each read as each
// statement's (the connection string's Command Timeout). QUILLMARK_MYSQL_STREAM=0 keeps
// every MySQL data source on ODBC.
std::unique_ptr<Session> WithMySQLStreams(std::unique_ptr<Session> odbc, bool isMySQL,
                                          const ConnectionString& oledb, odbc::Timeouts timeouts);

}  // namespace ado::mysqlstream
