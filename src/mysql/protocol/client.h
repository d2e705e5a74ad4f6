// TMysqlClient: one session with a MySQL server over the built-in protocol stack:
// greeting and login, the simple commands, reconnecting, queries and streamed results.
// No operation throws: each returns a ClientResult and leaves the error number and text
// on the session.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mysql/protocol/net.h"

namespace mysql {

enum ClientFlag : uint32_t {
  kClientLongPassword = 0x1,
  kClientLongFlag = 0x4,
  kClientConnectWithDb = 0x8,
  kClientCompress = 0x20,
  kClientLocalFiles = 0x80,
  kClientProtocol41 = 0x200,
  kClientSsl = 0x800,
  kClientTransactions = 0x2000,
  kClientSecureConnection = 0x8000,
  kClientMultiStatements = 0x10000,
  kClientMultiResults = 0x20000,
};
constexpr uint32_t kDefaultClientFlags = 0xA285;

enum ServerStatus : uint16_t {
  kServerInTransaction = 0x1,
  kServerAutocommit = 0x2,
  kServerMoreResultsExist = 0x8,
  kServerNoBackslashEscapes = 0x200,  // sql_mode NO_BACKSLASH_ESCAPES is in force
};

enum Command : uint8_t {
  kComQuit = 1,
  kComInitDb = 2,
  kComQuery = 3,
  kComCreateDb = 5,
  kComDropDb = 6,
  kComProcessKill = 12,
  kComPing = 14,
};

// Column flags and types the descriptor rules use.
constexpr uint32_t kBlobFlag = 0x10;
constexpr uint32_t kNumFlag = 0x8000;

// One column of a result. An empty text means none.
struct TMysqlField {
  std::string name, org_name, table, org_table, db, catalog, def;
  uint32_t length = 0;
  uint32_t max_length = 0;
  uint32_t flags = 0;
  uint32_t decimals = 0;
  uint32_t charsetnr = 0;
  uint8_t type = 0;
};

// What every operation of the session reports; the reason of a failure is the session's
// error number and text.
enum class ClientResult : uint8_t { kOk, kFailed };

// The outcome of a result's last row read.
enum class RowRead : int { kRow = 0, kEnd = 1, kError = -1 };

class TMysqlResult;

class TMysqlClient {
 public:
  // Status of the session while a query result is read.
  enum : uint8_t { kReady = 0, kResultHeader = 1, kStreaming = 2 };

  // A socket transport unless another is given (tests, fuzzing).
  explicit TMysqlClient(std::unique_ptr<TMysqlVio> vio = nullptr);
  virtual ~TMysqlClient();
  TMysqlClient(const TMysqlClient&) = delete;
  TMysqlClient& operator=(const TMysqlClient&) = delete;

  ClientResult Connect(const std::string& host, const std::string& user,
                       const std::string& password, const std::string& database, uint32_t port,
                       const std::string& pipe, bool tcpFallback, uint32_t flags);
  ClientResult Reconnect();
  void Close();
  ClientResult SelectDb(const std::string& name);
  ClientResult CreateDb(const std::string& name);
  ClientResult DropDb(const std::string& name);
  ClientResult Kill(uint32_t threadId);
  ClientResult Ping();

  // A result set leaves the session at kResultHeader for UseResult.
  ClientResult Query(const std::string& statement);
  ClientResult ReadQueryResult();
  // The pending result set, streamed; none without one (or with 2014 out of order).
  std::unique_ptr<TMysqlResult> UseResult();
  // With kClientMultiResults asked for, a statement (a CALL, several statements in one
  // text) may answer with more results: true once the current one is read to its end and
  // another follows. NextResult reads its header as Query does.
  bool MoreResults() const {
    return status_ == kReady && (serverStatus_ & kServerMoreResultsExist) != 0;
  }
  ClientResult NextResult();

  void SetCompress(bool on);
  void SetNamedPipe(bool on);
  void SetTcpFallback(bool on) { tcpFallback_ = on; }
  bool TcpFallback() const { return tcpFallback_; }

  int ErrorNumber() const { return net_.ErrorNumber(); }
  const std::string& ErrorText() const { return net_.ErrorText(); }
  const std::string& ServerVersion() const { return serverVersion_; }
  uint32_t ThreadId() const { return threadId_; }
  uint64_t AffectedRows() const { return affectedRows_; }
  uint64_t InsertId() const { return insertId_; }
  const std::string& Info() const { return info_; }
  uint32_t ProtocolVersion() const { return net_.ProtocolVersion(); }
  uint32_t ConnectTimeout() const { return connectTimeout_; }
  void SetConnectTimeout(uint32_t seconds) { connectTimeout_ = seconds; }
  // How long a read waits for the server once connected; 0: the connect time-out.
  uint32_t ReadTimeout() const { return readTimeout_; }
  void SetReadTimeout(uint32_t seconds) { readTimeout_ = seconds; }
  bool ReconnectAllowed() const { return reconnect_; }
  void SetReconnectAllowed(bool on) { reconnect_ = on; }
  bool CompressWanted() const { return compressWanted_; }
  bool NamedPipe() const { return namedPipe_; }
  uint8_t Status() const { return status_; }
  uint32_t ServerCapabilities() const { return serverCaps_; }
  uint32_t ClientFlags() const { return clientFlags_; }
  uint16_t ServerStatusFlags() const { return serverStatus_; }
  uint8_t ServerLanguage() const { return serverLanguage_; }
  uint64_t ExtraInfo() const { return extraInfo_; }
  const std::string& Host() const { return host_; }
  const std::string& PipeName() const { return pipe_; }
  const std::string& Database() const { return database_; }
  uint32_t FieldCount() const { return static_cast<uint32_t>(fields_.size()); }
  bool IsConnected() const { return net_.IsConnected(); }
  TMysqlNet& Net() { return net_; }

 protected:
  // The result object for UseResult; the direct client makes its own kind.
  virtual std::unique_ptr<TMysqlResult> NewResult(std::vector<TMysqlField> fields);

 private:
  friend class TMysqlResult;

  ClientResult ConnectLocked(const std::string& host, const std::string& user,
                             const std::string& password, const std::string& database,
                             uint32_t port, const std::string& pipe, bool tcpFallback,
                             uint32_t flags);
  ClientResult ConnectSteps(const std::string& host, const std::string& user,
                            const std::string& password, const std::string& database, uint32_t port,
                            const std::string& pipe, bool tcpFallback, uint32_t flags);
  ClientResult Handshake(const std::string& password);
  ClientResult ParseGreeting(int length);
  std::string LoginPacket(const std::string& password) const;
  // One packet written and flushed: false when it did not go out whole.
  bool Send(const std::string& payload);
  ClientResult ReconnectRule();
  ClientResult SimpleCommand(uint8_t code, const void* arg, size_t length, bool skipReply,
                             bool retry);
  ClientResult DbCommand(uint8_t code, const std::string& name);
  void CloseLocked();
  // 2027: the reply cannot be trusted, so the connection goes.
  ClientResult Malformed();
  // Sets a client error number with its table text; kFailed, for the caller to return.
  ClientResult ClientError(int number);
  ClientResult ReadOk(const uint8_t* p, int length);
  ClientResult ReadColumns(uint64_t count);
  ClientResult SendLocalFile(const std::string& name);
  ClientResult ReadQueryResultSteps();
  // Out of memory in the middle of an exchange: the connection is out of step, so it
  // is closed, and the session reports 2008.
  ClientResult OutOfMemory();
  // Reads and drops the rows of a result nobody will read; the session is ready again.
  void DrainRows();
  // The end of a row stream; keeps the server status it carries.
  bool AtRowsEnd(const uint8_t* p, int length);
  void FinishStreaming(TMysqlResult* result, uint64_t rows);

  TMysqlNet net_;
  std::recursive_mutex lock_;
  std::string host_, user_, password_, pipe_, database_;
  uint32_t port_ = 3306;
  std::string scramble_;
  uint32_t threadId_ = 0;
  uint64_t affectedRows_ = 0;
  uint64_t insertId_ = 0;
  uint8_t status_ = kReady;
  bool namedPipe_ = false;
  bool tcpFallback_ = false;
  uint32_t connectTimeout_;
  uint32_t readTimeout_ = 0;
  bool secureAuthRequested_ = false;
  bool localFilesAllowed_ = false;
  bool connecting_ = false;
  uint32_t clientFlags_ = kDefaultClientFlags;
  std::string serverVersion_;
  uint32_t serverCaps_ = 0;
  uint16_t serverStatus_ = kServerAutocommit;
  uint8_t serverLanguage_ = 0;
  uint64_t extraInfo_ = 0;
  std::string info_;
  std::vector<TMysqlField> fields_;
  bool haveFields_ = false;
  // The result being streamed, not owned: its owner may keep it past the session's
  // streaming, or past the session. Each side clears the other's pointer when it goes
  // first (the result in its destructor and at its end, the session in CloseLocked).
  TMysqlResult* current_ = nullptr;
  // The file that the statement just sent asks to upload, if it is such a statement.
  std::optional<std::string> localInfile_;

 protected:
  bool reconnect_ = true;
  bool compressWanted_ = true;
};

// One streamed result set. Rows are read one ahead; the values of the current row live
// in one block owned by the result and reused for the next row.
class TMysqlResult {
 public:
  TMysqlResult(TMysqlClient* session, std::vector<TMysqlField> fields);
  // Drains what the server still sends for this result, so the session can go on.
  virtual ~TMysqlResult();
  TMysqlResult(const TMysqlResult&) = delete;
  TMysqlResult& operator=(const TMysqlResult&) = delete;

  // The next row's values (nullptr for NULL), valid until the next call; nullptr at the
  // end or on an error (the session's error number tells which).
  const char* const* FetchRow();
  // Byte lengths of the current row's values (0 for NULL).
  const uint32_t* FetchLengths() const { return lengths_.data(); }
  uint32_t NumFields() const { return static_cast<uint32_t>(fields_.size()); }
  uint64_t NumRows() const { return rowCount_; }
  const TMysqlField& Field(uint32_t i) const { return fields_[i]; }
  const std::vector<TMysqlField>& Fields() const { return fields_; }
  int64_t CurrentRowIndex() const { return currentRow_; }
  bool AtEnd() const { return atEnd_; }
  RowRead LastReadResult() const { return lastRead_; }
  bool Attached() const { return session_ != nullptr; }
  // Rows in the binary format of an executed prepared statement (see prepared.h).
  void SetBinaryRows(bool on) { binary_ = on; }

 private:
  friend class TMysqlClient;
  void ReadRow();
  // Split a row packet into the row's values; false when the packet does not hold one
  // value a column. The text format here, the binary one in prepared.cpp.
  bool ReadTextValues(const uint8_t* packet, size_t length);
  bool ReadBinaryValues(const uint8_t* packet, size_t length);
  // Value i of the row: size bytes copied into the block at `used`, with a terminator,
  // used moved past them; or NULL.
  void StoreValue(size_t i, const uint8_t* data, size_t size, size_t& used) {
    char* dst = block_.data() + used;
    if (size) std::memcpy(dst, data, size);
    dst[size] = '\0';
    row_[i] = dst;
    lengths_[i] = static_cast<uint32_t>(size);
    used += size + 1;
  }
  void StoreNull(size_t i) {
    row_[i] = nullptr;
    lengths_[i] = 0;
  }
  void End(RowRead result);
  void Detach() {
    if (!atEnd_) {
      atEnd_ = true;
      lastRead_ = RowRead::kError;
    }
    session_ = nullptr;
  }

  // Cleared when the rows end or the session closes, so never left dangling.
  TMysqlClient* session_;
  std::vector<TMysqlField> fields_;
  uint64_t rowCount_ = 0;
  std::vector<uint32_t> lengths_;
  std::vector<const char*> row_;
  std::vector<char> block_;
  int64_t currentRow_ = -1;
  bool atEnd_ = false;
  bool pending_ = false;
  RowRead lastRead_ = RowRead::kRow;
  bool binary_ = false;
};

// Drains what is left and frees the result.
void FreeResult(std::unique_ptr<TMysqlResult>& result);

class TMySQLDirectResult : public TMysqlResult {
 public:
  using TMysqlResult::TMysqlResult;
  // The next column's descriptor, or nullptr past the last.
  const TMysqlField* FetchField();
  int32_t FieldCursor() const { return cursor_; }

 private:
  int32_t cursor_ = -1;
};

// The session of the direct driver: no reconnecting and no compression unless asked.
class TMySQLDirectClient : public TMysqlClient {
 public:
  explicit TMySQLDirectClient(std::unique_ptr<TMysqlVio> vio = nullptr);

 protected:
  std::unique_ptr<TMysqlResult> NewResult(std::vector<TMysqlField> fields) override;
};

// The file a LOAD DATA LOCAL INFILE statement names, or none for any other statement.
std::optional<std::string> LocalInfileName(const std::string& statement);

}  // namespace mysql
