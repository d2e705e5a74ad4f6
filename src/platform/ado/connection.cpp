#include "platform/ado/connection.h"

#include "platform/ado/provider.h"
#include "platform/text/text.h"

namespace ado {

bool IsConnectionLost(const std::exception& error) {
  const auto* db = dynamic_cast<const DatabaseError*>(&error);
  if (!db) return false;
  if (db->sqlState().rfind("08", 0) == 0) return true;
  // CR_SERVER_GONE_ERROR, CR_SERVER_LOST, CR_SERVER_LOST_EXTENDED; some drivers give
  // them with SQLSTATE HY000.
  const int code = db->nativeCode();
  if (code == 2006 || code == 2013 || code == 2055) return true;
  const std::string_view message = db->what();
  return text::ContainsNoCase(message, "has gone away") ||
         text::ContainsNoCase(message, "lost connection to ");
}

DatabaseError NamingCommandTimeout(const DatabaseError& error, unsigned seconds,
                                   std::chrono::steady_clock::time_point waitStarted) {
  if (seconds == 0 || !IsConnectionLost(error) ||
      std::chrono::steady_clock::now() - waitStarted < std::chrono::seconds(seconds))
    return error;
  return DatabaseError(std::string(error.what()) + " (no answer within the Command Timeout of " +
                           std::to_string(seconds) +
                           " s; a larger Command Timeout in the connection string waits longer, 0 "
                           "waits without limit)",
                       error.nativeCode(), error.sqlState());
}

std::unique_ptr<Command> Session::prepare(const std::string&) {
  throw DatabaseError("This provider cannot prepare statements.");
}

void Session::beginTransaction() {
  throw DatabaseError("This provider has no transactions.");
}

void Session::commit() {
  beginTransaction();
}

void Session::rollback() {
  beginTransaction();
}

void TableDataset::postRows(std::span<const std::string> fields,
                            std::span<const Variant* const> values, std::size_t rows) {
  if (values.size() != rows * fields.size())
    throw DatabaseError("Rows to post do not have one value per field.");
  for (std::size_t r = 0; r < rows; ++r) {
    append();
    for (std::size_t i = 0; i < fields.size(); ++i)
      setField(fields[i], *values[r * fields.size() + i]);
    post();
  }
}

int Recordset::fieldIndex(std::string_view name) const {
  const int n = fieldCount();
  for (int i = 0; i < n; ++i) {
    if (text::EqualsNoCase(fieldName(i), name)) return i;
  }
  return -1;
}

const Variant& Recordset::value(std::string_view name) const {
  int i = fieldIndex(name);
  if (i < 0) throw DatabaseError("Item cannot be found: no column named " + std::string(name));
  return value(i);
}

Connection::~Connection() = default;

void Connection::setConnectionString(std::string connectionString) {
  if (connectionString == connectionString_) return;
  close();
  connectionString_ = std::move(connectionString);
}

void Connection::open() {
  if (session_) return;
  session_ = OpenProviderSession(connectionString_);
}

void Connection::close() {
  session_.reset();
}

void Connection::attach(std::unique_ptr<Session> session) {
  session_ = std::move(session);
}

Session& Connection::session() {
  if (!session_) throw DatabaseError("Operation is not allowed when the connection is closed.");
  return *session_;
}

void Connection::execute(const std::string& sql) {
  session().execute(sql);
}

std::unique_ptr<Recordset> Connection::openQuery(const std::string& sql) {
  return session().openQuery(sql);
}

std::unique_ptr<Recordset> Connection::openStream(const std::string& sql) {
  return session().openStream(sql);
}

std::unique_ptr<Recordset> Connection::openSchema(SchemaRowset rowset,
                                                  const std::vector<Variant>& restrictions) {
  return session().openSchema(rowset, restrictions);
}

std::unique_ptr<TableDataset> Connection::openTable(const std::string& name) {
  return session().openTable(name);
}

std::unique_ptr<Command> Connection::prepare(const std::string& sql) {
  return session().prepare(sql);
}

void Connection::beginTransaction() {
  session().beginTransaction();
}

void Connection::commit() {
  session().commit();
}

void Connection::rollback() {
  session().rollback();
}

std::string Connection::identity() {
  return session().identity();
}

std::string Connection::readOnlyMessage() {
  return session().readOnlyMessage();
}

}  // namespace ado
