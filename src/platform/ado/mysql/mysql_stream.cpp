#include "platform/ado/mysql/mysql_stream.h"

#include <sql.h>
#include <sqlext.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ado::mysqlstream {

namespace {

// The longest wait the transport knows, for "no time-out".
constexpr uint32_t kWaitForEver = 2000000;
// Client errors of a login the server answered in a way the client cannot follow.
constexpr int kMalformedReply = 2027;
constexpr int kSecureAuthRefused = 2049;

// MariaDB Connector/ODBC's SQL type for a column (what SQLDescribeCol reports).
SQLSMALLINT DriverSqlType(const mysql::TMysqlField& f) {
  const bool binary = f.charsetnr == mysql::kBinaryCharset;
  switch (f.type) {
    case mysql::kTypeBit: return f.length > 1 ? SQL_BINARY : SQL_BIT;
    case mysql::kTypeNull: return SQL_VARCHAR;
    case mysql::kTypeTiny: return (f.flags & mysql::kNumFlag) ? SQL_TINYINT : SQL_CHAR;
    case mysql::kTypeYear:
    case mysql::kTypeShort: return SQL_SMALLINT;
    case mysql::kTypeInt24:
    case mysql::kTypeLong: return SQL_INTEGER;
    case mysql::kTypeFloat: return SQL_REAL;
    case mysql::kTypeDouble: return SQL_DOUBLE;
    case mysql::kTypeTimestamp:
    case mysql::kTypeDateTime: return SQL_TYPE_TIMESTAMP;
    case mysql::kTypeNewDate:
    case mysql::kTypeDate: return SQL_TYPE_DATE;
    case mysql::kTypeTime: return SQL_TYPE_TIME;
    case mysql::kTypeTinyBlob:
    case mysql::kTypeMediumBlob:
    case mysql::kTypeLongBlob:
    case mysql::kTypeBlob: return binary ? SQL_LONGVARBINARY : SQL_LONGVARCHAR;
    case mysql::kTypeLongLong: return SQL_BIGINT;
    case mysql::kTypeString: return binary ? SQL_BINARY : SQL_CHAR;
    case mysql::kTypeVarString: return binary ? SQL_VARBINARY : SQL_VARCHAR;
    case mysql::kTypeGeometry: return SQL_LONGVARBINARY;
    case mysql::kTypeDecimal:
    case mysql::kTypeNewDecimal: return SQL_DECIMAL;
    default: return SQL_UNKNOWN_TYPE;
  }
}

// The session's error; a server's text starts with "#" and its SQLSTATE.
DatabaseError ClientError(const mysql::TMysqlClient& client) {
  const std::string& text = client.ErrorText();
  if (text.size() >= 6 && text[0] == '#')
    return DatabaseError(text.substr(6), client.ErrorNumber(), text.substr(1, 5));
  return DatabaseError(text, client.ErrorNumber());
}

std::uint64_t LittleEndian(const char* p, uint32_t bytes) {
  std::uint64_t v = 0;
  for (uint32_t i = 0; i < bytes; ++i) v |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
  return v;
}

// A fixed-size integer as a signed value; the unsigned ones below 64 bits fit too.
std::int64_t SignedInteger(const mysql::TMysqlField& f, const char* p, uint32_t length) {
  const std::uint64_t raw = LittleEndian(p, length);
  if ((f.flags & mysql::kUnsignedFlag) || length >= 8) return static_cast<std::int64_t>(raw);
  const unsigned shift = 64 - 8 * length;
  return static_cast<std::int64_t>(raw << shift) >> shift;
}

// The text the driver gives for a date read as characters.
std::string DriverDateText(const mysql::BinaryTemporal& t, bool withTime, uint32_t decimals) {
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  if (withTime) {
    n += std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), " %02d:%02d:%02d",
                       t.hour, t.minute, t.second);
    if (decimals > 0 && decimals <= 6) {
      char fraction[8];
      std::snprintf(fraction, sizeof fraction, "%06u", t.microsecond % 1000000);
      n += std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ".%.*s",
                         static_cast<int>(decimals), fraction);
    }
  }
  return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace

odbc::ReadAs ReadAsFor(const mysql::TMysqlField& field) {
  return odbc::ReadAsFor(DriverSqlType(field), (field.flags & mysql::kUnsignedFlag) != 0);
}

void ReadValue(const mysql::TMysqlField& f, const char* data, uint32_t length, Variant& v) {
  if (!data) {
    v.setNull();
    return;
  }
  const int width = mysql::BinaryValueWidth(f.type);
  const bool fixed = width > 0 && static_cast<uint32_t>(width) == length;
  switch (ReadAsFor(f)) {
    case odbc::ReadAs::Bool: {
      bool on = false;
      for (uint32_t i = 0; i < length; ++i) on = on || data[i] != 0;
      v = Variant(on);
      return;
    }
    case odbc::ReadAs::Int:
      if (fixed) {
        v = Variant(static_cast<long long>(SignedInteger(f, data, length)));
        return;
      }
      break;
    case odbc::ReadAs::UInt:
      if (fixed) {
        v = Variant(static_cast<unsigned long long>(LittleEndian(data, length)));
        return;
      }
      break;
    case odbc::ReadAs::Float:
      if (fixed && length == 4) {
        float x;
        std::memcpy(&x, data, sizeof x);
        v = Variant(FloatValue(x));
        return;
      }
      break;
    case odbc::ReadAs::Double:
      if (fixed && length == 8) {
        double x;
        std::memcpy(&x, data, sizeof x);
        v = Variant(x);
        return;
      }
      break;
    case odbc::ReadAs::Decimal: v.mutableDecimal().assign(data, length); return;
    case odbc::ReadAs::Bytes: v.mutableBytes().assign(data, length); return;
    case odbc::ReadAs::Date:
    case odbc::ReadAs::DateTime: {
      mysql::BinaryTemporal t;
      if (width >= 0 || !mysql::DecodeTemporal(f.type, data, length, t)) break;
      v = odbc::MySQLDateValue(DriverDateText(t, ReadAsFor(f) == odbc::ReadAs::DateTime, f.decimals),
                               ReadAsFor(f) == odbc::ReadAs::DateTime);
      return;
    }
    case odbc::ReadAs::Time: {
      mysql::BinaryTemporal t;
      if (width >= 0 || !mysql::DecodeTemporal(f.type, data, length, t)) break;
      v = Variant(Time{t.negative, static_cast<int>(t.days * 24 + static_cast<uint32_t>(t.hour)),
                       t.minute, t.second, t.microsecond * 1000});
      return;
    }
    case odbc::ReadAs::Text: break;
  }
  v.mutableText().assign(data, length);
}

std::unique_ptr<mysql::PreparedQueryClient> ClientPool::take() {
  // An idle connection the server has since closed (its wait_timeout) is no loss.
  if (idle_ && idle_->Ping() == mysql::ClientResult::kOk) return std::move(idle_);
  idle_.reset();
  auto client = std::make_unique<mysql::PreparedQueryClient>();
  client->SetConnectTimeout(timeouts_.loginSeconds == 0 ? kWaitForEver : timeouts_.loginSeconds);
  // As the ODBC route's statements wait: a server that stops answering ends the wait.
  client->SetReadTimeout(timeouts_.catalogueSeconds == 0 ? kWaitForEver
                                                         : timeouts_.catalogueSeconds);
  if (address_.viaSocket) client->SetNamedPipe(true);
  const uint32_t flags = mysql::kDefaultClientFlags & ~uint32_t{mysql::kClientLocalFiles};
  if (client->Connect(address_.viaSocket ? "localhost" : address_.host, address_.user,
                      address_.password, address_.database, address_.port, address_.socket,
                      false, flags) != mysql::ClientResult::kOk)
    throw ClientError(*client);
  // The server gives up on a client that takes no rows for net_write_timeout (60 s): a
  // destination that holds a row up that long (a lock wait) must not end the stream.
  if (client->Query("SET SESSION net_write_timeout = 86400") != mysql::ClientResult::kOk) throw ClientError(*client);
  return client;
}

void ClientPool::give(std::unique_ptr<mysql::PreparedQueryClient> client) {
  if (client && client->IsConnected() && client->Status() == mysql::TMysqlClient::kReady)
    idle_ = std::move(client);
}

StreamQuery::StreamQuery(std::shared_ptr<ClientPool> pool, std::string sql)
    : pool_(std::move(pool)), sql_(std::move(sql)) {
  if (run()) start();
}

StreamQuery::~StreamQuery() {
  release();
}

void StreamQuery::fail(std::chrono::steady_clock::time_point waitStarted) {
  const DatabaseError error =
      NamingCommandTimeout(ClientError(*client_), pool_->readTimeout(), waitStarted);
  result_.reset();
  // Whatever the failure left unread, the connection cannot go on with it.
  client_.reset();
  markEnd();
  throw error;
}

void StreamQuery::release() {
  if (!client_) return;
  const bool readToEnd = !result_ || result_->AtEnd();
  // Rows still to come would have to be read to their end before the connection could
  // go on (a stop or a record limit in a table of millions): it is closed instead.
  if (!readToEnd) client_->Close();
  result_.reset();
  if (readToEnd) pool_->give(std::move(client_));
  client_.reset();
}

bool StreamQuery::run() {
  release();
  client_ = pool_->take();
  const auto started = std::chrono::steady_clock::now();
  if (client_->RunPrepared(sql_) != mysql::ClientResult::kOk) fail(started);
  result_ = client_->UseResult();
  if (!result_) {
    // A statement without a result reads as no rows.
    if (client_->ErrorNumber() != 0) fail(started);
    return false;
  }
  if (fieldCount() == 0) {
    std::vector<std::string> names;
    for (const mysql::TMysqlField& f : result_->Fields()) names.push_back(f.name);
    setColumns(std::move(names));
  }
  return true;
}

void StreamQuery::rerun() {
  if (!pool_) throw DatabaseError("Operation is not allowed when the object is closed.");
  if (!run()) throw DatabaseError("The query gave no rows when it ran again.");
}

bool StreamQuery::readRow(std::vector<Variant>& values) {
  const auto started = std::chrono::steady_clock::now();
  const char* const* row = result_->FetchRow();
  if (!row) {
    // The end of the rows, or a read that failed: a lost server never reads as the end.
    if (result_->LastReadResult() != mysql::RowRead::kEnd) fail(started);
    release();
    return false;
  }
  const uint32_t* lengths = result_->FetchLengths();
  for (std::size_t i = 0; i < values.size(); ++i)
    ReadValue(result_->Field(static_cast<uint32_t>(i)), row[i], lengths[i], values[i]);
  return true;
}

void StreamQuery::close() {
  release();
  pool_.reset();
  markEnd();
}

StreamSession::StreamSession(std::unique_ptr<Session> odbc, ServerAddress address,
                             odbc::Timeouts timeouts)
    : odbc_(std::move(odbc)), pool_(std::make_shared<ClientPool>(std::move(address), timeouts)) {}

std::unique_ptr<Recordset> StreamSession::openStream(const std::string& sql) {
  if (refusal_.empty()) {
    std::unique_ptr<mysql::PreparedQueryClient> client;
    try {
      client = pool_->take();
    } catch (const DatabaseError& e) {
      // The data source itself still reaches the server, or says why it cannot. A login
      // the server or the client refuses (an authentication the client does not speak)
      // stays refused; a server out of reach may be back for the next query.
      const int n = e.nativeCode();
      if (n < 2000 || n == kMalformedReply || n == kSecureAuthRefused)
        refusal_ = std::string("the built-in client cannot log in: ") + e.what();
    }
    if (client) {
      pool_->give(std::move(client));
      return std::make_unique<StreamQuery>(pool_, sql);
    }
  }
  return odbc_->openQuery(sql);
}

std::unique_ptr<Session> WithMySQLStreams(std::unique_ptr<Session> odbc, bool isMySQL,
                                          const ConnectionString& oledb, odbc::Timeouts timeouts) {
  const char* off = std::getenv("QUILLMARK_MYSQL_STREAM");
  if (!isMySQL || (off && std::strcmp(off, "0") == 0)) return odbc;
  std::optional<ServerAddress> address = AddressFor(oledb, nullptr);
  if (!address) return odbc;
  return std::make_unique<StreamSession>(std::move(odbc), std::move(*address), timeouts);
}

}  // namespace ado::mysqlstream
