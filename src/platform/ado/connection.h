// The data-access layer: what Quillmark needs of ActiveX Data Objects over OLE DB,
// on Linux. A Connection is opened from an OLE DB connection string; its Provider
// value picks the provider (ODBC for MSDASQL/SQLOLEDB/SQLNCLI, libmdb for Jet/ACE).
#pragma once

#include <chrono>
#include <exception>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/variant.h"

namespace ado {

// The one database-error base class: the provider's or the server's own message,
// with its native code and SQLSTATE when the provider gives them.
class DatabaseError : public std::runtime_error {
 public:
  explicit DatabaseError(const std::string& message, int nativeCode = 0, std::string sqlState = {})
      : std::runtime_error(message), nativeCode_(nativeCode), sqlState_(std::move(sqlState)) {}
  int nativeCode() const { return nativeCode_; }
  const std::string& sqlState() const { return sqlState_; }

 private:
  int nativeCode_;
  std::string sqlState_;
};

// True when an error says the connection itself is gone (SQLSTATE class 08, MySQL's
// "server has gone away" and "lost connection"): every later statement on it fails too.
bool IsConnectionLost(const std::exception& error);

// A connection lost after a wait of at least the Command Timeout (seconds, 0: none) was
// most likely ended by that time-out, not by the server: the error then says so, and
// how to wait longer, with its code kept. Any other error comes back as it is.
DatabaseError NamingCommandTimeout(const DatabaseError& error, unsigned seconds,
                                   std::chrono::steady_clock::time_point waitStarted);

enum class SchemaRowset { Tables, Columns, Indexes, Views };

// A forward-reading set of rows: a query result or a schema rowset.
// Queries stream; nothing obliges a provider to hold all rows in memory.
class Recordset {
 public:
  virtual ~Recordset() = default;

  // Goes back to the first row. A streaming query re-executes when it has moved on.
  virtual void first() = 0;
  virtual bool eof() const = 0;
  virtual void next() = 0;

  virtual int fieldCount() const = 0;
  virtual const std::string& fieldName(int index) const = 0;
  // The current row's value; null past the end.
  virtual const Variant& value(int index) const = 0;

  // -1 when the provider cannot tell before reading to the end.
  virtual long long recordCount() const = 0;

  // A filter of the form NAME='value' (quotes inside doubled); empty text removes it.
  // Leaves the record set on its first matching row.
  virtual void setFilter(const std::string& filter) = 0;

  virtual void close() = 0;

  // Index of a column by name, ignoring case; -1 when there is none.
  int fieldIndex(std::string_view name) const;
  // Value by column name; throws DatabaseError naming the column when there is none.
  const Variant& value(std::string_view name) const;
};

// A table opened for appending rows. One prepared INSERT per open table, parameters
// bound per row, each post committed on its own.
class TableDataset {
 public:
  virtual ~TableDataset() = default;
  virtual void append() = 0;
  // Throws DatabaseError when the table has no such field.
  virtual void setField(std::string_view name, const Variant& value) = 0;
  // Throws DatabaseError with the provider's message; the row is discarded either way.
  virtual void post() = 0;
  virtual void close() = 0;

  // Writes rows rows at once (the fast transfer): row r gives fields[i] the value
  // *values[r * fields.size() + i]. A provider that can sends them as multi-row
  // INSERTs, as many rows per statement as the database takes; this one posts them
  // one by one. Throws the first failing statement's error, and what the statements
  // before it wrote stays: the caller holds a transaction around it to undo that.
  virtual void postRows(std::span<const std::string> fields,
                        std::span<const Variant* const> values, std::size_t rows);
  // True when the session's rollback undoes what this table's posts wrote, so a group
  // that fails can be written again row by row. Not so for MySQL tables of an engine
  // without transactions (MyISAM, Aria): what a failed multi-row INSERT wrote before
  // its bad row stays, and strict mode lets such a statement cut a later row's too
  // long value instead of failing. This one says false.
  virtual bool rollsBack() { return false; }
};

// A statement prepared once and executed many times, each "?" bound to a value, so no
// value is ever read as SQL text.
class Command {
 public:
  virtual ~Command() = default;
  // One value per "?", in order; throws DatabaseError with the provider's message.
  virtual void execute(std::span<const Variant* const> params) = 0;
};

// What a provider implements behind a Connection.
class Session {
 public:
  virtual ~Session() = default;
  virtual void execute(const std::string& sql) = 0;
  virtual std::unique_ptr<Recordset> openQuery(const std::string& sql) = 0;
  // A query read once, forward, to its end (a job's rows): a provider that can streams
  // it on a connection of its own, so memory does not grow with the result; such a
  // query sees what is committed, not this session's temporary tables or variables.
  // The other providers run it as openQuery.
  virtual std::unique_ptr<Recordset> openStream(const std::string& sql) { return openQuery(sql); }
  virtual std::unique_ptr<Recordset> openSchema(SchemaRowset rowset,
                                                const std::vector<Variant>& restrictions) = 0;
  // A name that already stands in quotes is used as it is; a bare name is quoted
  // with the database's own identifier quote.
  virtual std::unique_ptr<TableDataset> openTable(const std::string& name) = 0;
  // Throws DatabaseError when the statement cannot be prepared; a provider that
  // cannot prepare says so.
  virtual std::unique_ptr<Command> prepare(const std::string& sql);

  // A transaction around many writes (the fast transfer): begin leaves every later
  // statement uncommitted until commit or rollback, which return to committing each
  // statement on its own. Each throws DatabaseError; this one says the provider has
  // no transactions.
  virtual void beginTransaction();
  virtual void commit();
  virtual void rollback();

  // What tells this database apart from every other one reachable from here: for a
  // server its identity, port and current database as it reports them, for a file
  // its device and inode. Two sessions with the same non-empty text reach the same
  // database. Empty when the session cannot tell. Throws DatabaseError when asking
  // the server fails.
  virtual std::string identity() { return {}; }
  // Non-empty when every write fails: the message each write fails with.
  virtual std::string readOnlyMessage() const { return {}; }
};

class Connection {
 public:
  Connection() = default;
  explicit Connection(std::string connectionString)
      : connectionString_(std::move(connectionString)) {}
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  const std::string& connectionString() const { return connectionString_; }
  // Changing the string of an open connection closes it.
  void setConnectionString(std::string connectionString);

  // Throws DatabaseError with the provider's message.
  void open();
  void close();
  bool isOpen() const { return session_ != nullptr; }

  // Uses a session made elsewhere (the null destination of a script-only job, tests).
  void attach(std::unique_ptr<Session> session);

  // Each throws DatabaseError; on a closed connection with a message that says so.
  void execute(const std::string& sql);
  std::unique_ptr<Recordset> openQuery(const std::string& sql);
  std::unique_ptr<Recordset> openStream(const std::string& sql);
  std::unique_ptr<Recordset> openSchema(SchemaRowset rowset,
                                        const std::vector<Variant>& restrictions = {});
  std::unique_ptr<TableDataset> openTable(const std::string& name);
  std::unique_ptr<Command> prepare(const std::string& sql);
  void beginTransaction();
  void commit();
  void rollback();
  // The open session's identity() and readOnlyMessage(); throws when closed.
  std::string identity();
  std::string readOnlyMessage();

 private:
  Session& session();

  std::string connectionString_;
  std::unique_ptr<Session> session_;
};

}  // namespace ado
