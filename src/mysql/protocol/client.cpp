#include "mysql/protocol/client.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/scramble.h"
#include "mysql/protocol/wire.h"
#include "platform/text/text.h"

namespace mysql {

namespace {

constexpr uint8_t kCharsetUtf8mb4 = 45;  // utf8mb4_general_ci
constexpr uint8_t kCharsetUtf8 = 33;     // utf8_general_ci, before 5.5.3
constexpr size_t kMaxDatabaseName = 64;

// utf8mb4 arrived with 5.5.3; older servers only know utf8.
uint8_t LoginCharset(const std::string& version) {
  unsigned major = 0, minor = 0, patch = 0;
  if (std::sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch) != 3) return kCharsetUtf8;
  if (major != 5) return major > 5 ? kCharsetUtf8mb4 : kCharsetUtf8;
  if (minor != 5) return minor > 5 ? kCharsetUtf8mb4 : kCharsetUtf8;
  return patch >= 3 ? kCharsetUtf8mb4 : kCharsetUtf8;
}

void Put4(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

constexpr size_t kLocalFileChunk = 61440;

bool IsEndPacket(const uint8_t* p, int length) {
  return length < 8 && p[0] == 0xFE;
}

size_t SkipBlankAndComments(const std::string& s, size_t i) {
  for (;;) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    if (s.compare(i, 2, "/*") == 0) {
      size_t end = s.find("*/", i + 2);
      if (end == std::string::npos) return s.size();
      i = end + 2;
    } else if (s.compare(i, 1, "#") == 0 || s.compare(i, 3, "-- ") == 0) {
      size_t end = s.find('\n', i);
      if (end == std::string::npos) return s.size();
      i = end + 1;
    } else {
      return i;
    }
  }
}

// The next word (ASCII letters, digits and "_"), upper-cased, or empty.
std::string NextWord(const std::string& s, size_t& i) {
  i = SkipBlankAndComments(s, i);
  const size_t start = i;
  while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || (s[i] >= 'A' && s[i] <= 'Z') ||
                          (s[i] >= 'a' && s[i] <= 'z') || s[i] == '_'))
    ++i;
  return text::UpperCase(std::string_view(s).substr(start, i - start));
}

}  // namespace

TMysqlClient::TMysqlClient(std::unique_ptr<TMysqlVio> vio)
    : net_(std::move(vio)), connectTimeout_(TMysqlVio::DefaultTimeout()) {}

TMysqlClient::~TMysqlClient() {
  Close();
}

TMySQLDirectClient::TMySQLDirectClient(std::unique_ptr<TMysqlVio> vio)
    : TMysqlClient(std::move(vio)) {
  reconnect_ = false;
  compressWanted_ = false;
}

std::unique_ptr<TMysqlResult> TMysqlClient::NewResult(std::vector<TMysqlField> fields) {
  return std::make_unique<TMysqlResult>(this, std::move(fields));
}

std::unique_ptr<TMysqlResult> TMySQLDirectClient::NewResult(std::vector<TMysqlField> fields) {
  return std::make_unique<TMySQLDirectResult>(this, std::move(fields));
}

ClientResult TMysqlClient::ClientError(int number) {
  net_.SetClientError(number);
  return ClientResult::kFailed;
}

ClientResult TMysqlClient::Malformed() {
  net_.Vio().Close();
  return ClientError(CR_MALFORMED_PACKET);
}

ClientResult TMysqlClient::Connect(const std::string& host, const std::string& user,
                                   const std::string& password, const std::string& database,
                                   uint32_t port, const std::string& pipe, bool tcpFallback,
                                   uint32_t flags) {
  std::lock_guard guard(lock_);
  return ConnectLocked(host, user, password, database, port, pipe, tcpFallback, flags);
}

ClientResult TMysqlClient::Reconnect() {
  std::lock_guard guard(lock_);
  // Copies: ConnectLocked stores its arguments over these fields.
  std::string host = host_, user = user_, password = password_, database = database_, pipe = pipe_;
  return ConnectLocked(host, user, password, database, port_, pipe, tcpFallback_, clientFlags_);
}

ClientResult TMysqlClient::ConnectLocked(const std::string& host, const std::string& user,
                                         const std::string& password, const std::string& database,
                                         uint32_t port, const std::string& pipe, bool tcpFallback,
                                         uint32_t flags) {
  if (net_.IsConnected()) return ClientResult::kOk;
  // A command that fails while connecting (the database selection) must not reconnect
  // from inside this connect: that would recurse for as long as the server fails it.
  struct Connecting {
    bool& flag;
    bool saved;
    explicit Connecting(bool& f) : flag(f), saved(f) { flag = true; }
    ~Connecting() { flag = saved; }
  } connecting(connecting_);
  try {
    return ConnectSteps(host, user, password, database, port, pipe, tcpFallback, flags);
  } catch (const std::bad_alloc&) {
    net_.Close();
    return ClientError(CR_OUT_OF_MEMORY);
  }
}

ClientResult TMysqlClient::ConnectSteps(const std::string& host, const std::string& user,
                                        const std::string& password, const std::string& database,
                                        uint32_t port, const std::string& pipe, bool tcpFallback,
                                        uint32_t flags) {
  if (host.empty() && host_.empty()) return ClientError(CR_WRONG_HOST_INFO);
  if (!host.empty()) host_ = host;
  user_ = user;
  password_ = password;
  database_ = database;
  port_ = port;
  pipe_ = pipe;
  clientFlags_ = flags;
  tcpFallback_ = tcpFallback;
  secureAuthRequested_ = (flags & kClientSecureConnection) != 0;

  if (namedPipe_) {
    net_.Connect(TMysqlVio::kRequestPipe, host_, tcpFallback_, connectTimeout_, port_, pipe_);
    if (net_.Kind() == TMysqlVio::kPipe) {
      host_ = ".";
      pipe_ = net_.Vio().PipePath();
    } else if (net_.IsConnected() && net_.Kind() != TMysqlVio::kLocal) {
      // Opened over TCP by the fall-back. A failed attempt leaves the setting alone, so
      // the next connect tries the local socket again.
      namedPipe_ = false;
      pipe_.clear();
    }
  } else {
    net_.Connect(TMysqlVio::kRequestTcp, host_, true, connectTimeout_, port_, pipe_);
    pipe_.clear();
  }
  if (!net_.IsConnected()) return ClientResult::kFailed;
  if (readTimeout_ != 0) net_.Vio().SetReadTimeout(readTimeout_);
  if (Handshake(password) != ClientResult::kOk) {
    net_.Close();
    return ClientResult::kFailed;
  }
  return ClientResult::kOk;
}

ClientResult TMysqlClient::ParseGreeting(int length) {
  PacketReader in(net_.ReadPos(), static_cast<size_t>(length));
  uint64_t protocol = 0, value = 0;
  in.Fixed(1, protocol);
  net_.SetProtocolVersion(static_cast<uint32_t>(protocol));
  if (protocol != 10 && protocol != 9) {
    net_.SetErrorNumber(CR_VERSION_ERROR);
    net_.SetErrorText(FormatClientError(CR_VERSION_ERROR, static_cast<int>(protocol), 10));
    return ClientResult::kFailed;
  }
  if (!in.ZeroTerminated(serverVersion_) || !in.Fixed(4, value)) return Malformed();
  threadId_ = static_cast<uint32_t>(value);
  // The first 8 characters of the challenge and a filler.
  const uint8_t* scrambleAt = in.Position();
  if (!in.Skip(9)) return Malformed();
  size_t n = 0;
  while (n < 8 && scrambleAt[n] != 0) ++n;
  scramble_.assign(reinterpret_cast<const char*>(scrambleAt), n);
  serverCaps_ = 0;
  const uint8_t* capsAt = in.Position();
  const size_t left = in.Remaining();
  if (left >= 2) {
    in.Fixed(2, value);
    serverCaps_ = static_cast<uint32_t>(value);
  }
  if (left >= 18) {
    uint64_t lang = 0, status = 0;
    in.Fixed(1, lang);
    in.Fixed(2, status);
    serverLanguage_ = static_cast<uint8_t>(lang);
    serverStatus_ = static_cast<uint16_t>(status);
  }
  if (left > 18) {
    PacketReader rest(capsAt + 18, left - 18);
    scramble_ += rest.RestAsText().substr(0, 12);
  } else {
    serverCaps_ &= ~uint32_t{kClientSecureConnection};
  }
  return ClientResult::kOk;
}

std::string TMysqlClient::LoginPacket(const std::string& password) const {
  std::string out;
  const bool withDb = !database_.empty() && (serverCaps_ & kClientConnectWithDb);
  if (clientFlags_ & kClientProtocol41) {
    Put4(out, clientFlags_);
    Put4(out, 0x01000000);
    out.push_back(static_cast<char>(LoginCharset(serverVersion_)));
    out.append(23, '\0');
  } else {
    out.push_back(static_cast<char>(clientFlags_));
    out.push_back(static_cast<char>(clientFlags_ >> 8));
    out.append(3, '\0');
  }
  // The whole name: servers accept long names, and a cut name logs in as someone else.
  out += user_;
  out.push_back('\0');
  if (password.empty()) {
    out.push_back('\0');
  } else if (clientFlags_ & kClientSecureConnection) {
    out.push_back(20);
    out += ScrambleSecure(password, scramble_);
  } else {
    out += ScrambleOld(password, scramble_.substr(0, 8)).value_or("");
    out.push_back('\0');
  }
  if (withDb) out += database_.substr(0, kMaxDatabaseName);
  out.push_back('\0');
  return out;
}

ClientResult TMysqlClient::Handshake(const std::string& password) {
  int len = net_.SafeRead();
  if (len < 0) return ClientResult::kFailed;
  if (ParseGreeting(len) != ClientResult::kOk) return ClientResult::kFailed;
  if (secureAuthRequested_ && !password.empty() && !(serverCaps_ & kClientSecureConnection)) {
    return ClientError(CR_SECURE_AUTH);
  }
  if ((serverCaps_ & kClientSecureConnection) && !Sha1SelfTestPassed()) {
    net_.SetErrorNumber(CR_UNKNOWN_ERROR);
    net_.SetErrorText("SHA-1 self-test failed: no secure login possible");
    return ClientResult::kFailed;
  }

  const uint32_t asked = clientFlags_;
  uint32_t flags = asked | kDefaultClientFlags;
  if (flags & kClientMultiStatements) flags |= kClientMultiResults;
  if (!database_.empty()) flags |= kClientConnectWithDb;
  const uint32_t negotiated = kClientSecureConnection | kClientProtocol41 | kClientCompress;
  flags = (flags & ~negotiated) | (flags & negotiated & serverCaps_);
  // This client speaks no TLS: announcing it would make the server wait for a handshake.
  flags &= ~uint32_t{kClientSsl};
  // Local files only when the caller asked for them: the default flags would otherwise
  // switch them on for everyone.
  localFilesAllowed_ = (asked & kClientLocalFiles) != 0;
  if (!localFilesAllowed_) flags &= ~uint32_t{kClientLocalFiles};
  if ((serverCaps_ & kClientCompress) && (compressWanted_ || (asked & kClientCompress))) {
    flags |= kClientCompress;
  } else {
    flags &= ~uint32_t{kClientCompress};
  }
  clientFlags_ = flags;

  std::string login = LoginPacket(password);
  if (!Send(login)) return ClientError(CR_SERVER_LOST);
  len = net_.SafeRead();
  if (len < 0) return ClientResult::kFailed;
  if (len == 1 && net_.ReadPos()[0] == 0xFE && (serverCaps_ & kClientSecureConnection)) {
    // The account still has an old-style password: answer with the old token.
    std::string token = ScrambleOld(password, scramble_.substr(0, 8)).value_or("");
    token.push_back('\0');
    if (!Send(token)) return ClientError(CR_SERVER_LOST);
    len = net_.SafeRead();
    if (len < 0) return ClientResult::kFailed;
  }
  if (net_.ReadPos()[0] != 0x00) return Malformed();
  net_.SetCompress((clientFlags_ & kClientCompress) != 0);
  status_ = kReady;
  if (!database_.empty() && !(serverCaps_ & kClientConnectWithDb)) return SelectDb(database_);
  return ClientResult::kOk;
}

bool TMysqlClient::Send(const std::string& payload) {
  return net_.WritePacket(payload.data(), payload.size()) == NetResult::kOk &&
         net_.Flush() == NetResult::kOk;
}

ClientResult TMysqlClient::ReconnectRule() {
  if (connecting_) return ClientResult::kFailed;
  if (!reconnect_ || (serverStatus_ & kServerInTransaction)) {
    serverStatus_ &= ~uint16_t{kServerInTransaction};
    return ClientResult::kFailed;
  }
  return Reconnect();
}

ClientResult TMysqlClient::SimpleCommand(uint8_t code, const void* arg, size_t length,
                                         bool skipReply, bool retry) {
  if (!net_.IsConnected() && ReconnectRule() != ClientResult::kOk) {
    // Keep the reason of an earlier loss; a session never connected gets one.
    if (net_.ErrorNumber() == 0) ClientError(CR_SERVER_GONE_ERROR);
    return ClientResult::kFailed;
  }
  if (status_ != kReady) return ClientError(CR_COMMANDS_OUT_OF_SYNC);
  // Nothing is sent, so the connection stays as it is.
  if (length + 1 >= 0xFFFFFF) return ClientError(CR_NET_PACKET_TOO_LARGE);
  net_.SetErrorNumber(0);
  net_.SetErrorText("");
  info_.clear();
  affectedRows_ = 0;
  insertId_ = 0;
  net_.Clear();
  if (net_.WriteCommand(code, arg, length) != NetResult::kOk) {
    const bool outOfMemory = net_.ErrorNumber() == CR_OUT_OF_MEMORY;
    net_.Close();
    fields_.clear();
    haveFields_ = false;
    // Part of the command may be out: the connection cannot go on, and a new one
    // would not have more memory.
    if (outOfMemory) return ClientError(CR_OUT_OF_MEMORY);
    if (ReconnectRule() != ClientResult::kOk ||
        (net_.Clear(), net_.WriteCommand(code, arg, length) != NetResult::kOk)) {
      return ClientError(CR_SERVER_GONE_ERROR);
    }
  }
  if (skipReply) return ClientResult::kOk;
  if (net_.SafeRead() >= 0) return ClientResult::kOk;
  if (net_.ErrorNumber() == CR_SERVER_LOST) {
    // Keep the reason across the close, which clears the session's fields.
    int number = net_.ErrorNumber();
    std::string text = net_.ErrorText();
    // The server rolled back the open transaction with the connection: keep the bit so
    // the reconnect rule refuses to carry on as if nothing was lost.
    const uint16_t inTransaction = serverStatus_ & kServerInTransaction;
    CloseLocked();
    serverStatus_ |= inTransaction;
    net_.SetErrorNumber(number);
    net_.SetErrorText(text);
  }
  if (retry) return SimpleCommand(code, arg, length, skipReply, false);
  return ClientResult::kFailed;
}

ClientResult TMysqlClient::DbCommand(uint8_t code, const std::string& name) {
  if (name.empty()) return ClientResult::kFailed;
  std::lock_guard guard(lock_);
  return SimpleCommand(code, name.data(), name.size(), false, reconnect_);
}

ClientResult TMysqlClient::SelectDb(const std::string& name) {
  if (DbCommand(kComInitDb, name) != ClientResult::kOk) return ClientResult::kFailed;
  database_ = name;
  return ClientResult::kOk;
}

ClientResult TMysqlClient::CreateDb(const std::string& name) {
  return DbCommand(kComCreateDb, name);
}
ClientResult TMysqlClient::DropDb(const std::string& name) {
  return DbCommand(kComDropDb, name);
}

ClientResult TMysqlClient::Kill(uint32_t threadId) {
  std::lock_guard guard(lock_);
  uint8_t arg[4] = {static_cast<uint8_t>(threadId), static_cast<uint8_t>(threadId >> 8),
                    static_cast<uint8_t>(threadId >> 16), static_cast<uint8_t>(threadId >> 24)};
  return SimpleCommand(kComProcessKill, arg, 4, false, reconnect_);
}

ClientResult TMysqlClient::Ping() {
  std::lock_guard guard(lock_);
  return SimpleCommand(kComPing, nullptr, 0, false, reconnect_);
}

void TMysqlClient::SetCompress(bool on) {
  const bool compressed = net_.IsConnected() && net_.Compress();
  const bool changed = on != compressWanted_;
  compressWanted_ = on;
  // The new setting wins over the flags of the last connect, which a reconnect sends
  // again: without this, a connection once compressed would stay so.
  if (!on) clientFlags_ &= ~uint32_t{kClientCompress};
  if (net_.IsConnected() && (changed || (!on && compressed))) Close();
}

void TMysqlClient::SetNamedPipe(bool on) {
  if (on == namedPipe_) return;
  namedPipe_ = on;
  if (net_.IsConnected()) Close();
}

void TMysqlClient::Close() {
  std::lock_guard guard(lock_);
  CloseLocked();
}

void TMysqlClient::CloseLocked() {
  scramble_.clear();
  threadId_ = 0;
  affectedRows_ = 0;
  insertId_ = 0;
  status_ = kReady;
  serverVersion_.clear();
  serverCaps_ = 0;
  serverLanguage_ = 0;
  extraInfo_ = 0;
  serverStatus_ = kServerAutocommit;
  info_.clear();
  if (net_.IsConnected()) {
    fields_.clear();
    haveFields_ = false;
    status_ = kReady;
    bool saved = reconnect_;
    reconnect_ = false;
    SimpleCommand(kComQuit, nullptr, 0, true, false);
    reconnect_ = saved;
    net_.Close();
  }
  if (current_) {
    current_->Detach();
    current_ = nullptr;
  }
}

std::optional<std::string> LocalInfileName(const std::string& statement) {
  size_t i = 0;
  if (NextWord(statement, i) != "LOAD" || NextWord(statement, i) != "DATA") return std::nullopt;
  std::string word = NextWord(statement, i);
  if (word == "LOW_PRIORITY" || word == "CONCURRENT") word = NextWord(statement, i);
  if (word != "LOCAL" || NextWord(statement, i) != "INFILE") return std::nullopt;
  i = SkipBlankAndComments(statement, i);
  if (i >= statement.size() || (statement[i] != '\'' && statement[i] != '"')) return std::nullopt;
  const char quote = statement[i++];
  std::string name;
  while (i < statement.size()) {
    char c = statement[i++];
    if (c == quote) {
      if (i < statement.size() && statement[i] == quote) {
        name.push_back(quote);
        ++i;
        continue;
      }
      return name;
    }
    if (c == '\\' && i < statement.size()) {
      char e = statement[i++];
      switch (e) {
        case '0': name.push_back('\0'); break;
        case 'b': name.push_back('\b'); break;
        case 'n': name.push_back('\n'); break;
        case 'r': name.push_back('\r'); break;
        case 't': name.push_back('\t'); break;
        case 'Z': name.push_back('\x1A'); break;
        case '%':
        case '_':
          name.push_back('\\');
          name.push_back(e);
          break;
        default: name.push_back(e); break;
      }
      continue;
    }
    name.push_back(c);
  }
  return std::nullopt;
}

ClientResult TMysqlClient::Query(const std::string& statement) {
  if (statement.empty()) return ClientResult::kOk;
  // The server still sends results of the last statement.
  if (MoreResults()) return ClientError(CR_COMMANDS_OUT_OF_SYNC);
  if (reconnect_ && Ping() != ClientResult::kOk) return ClientResult::kFailed;
  if (SimpleCommand(kComQuery, statement.data(), statement.size(), true, reconnect_) !=
      ClientResult::kOk) {
    return ClientResult::kFailed;
  }
  ClientResult rc;
  try {
    localInfile_ = LocalInfileName(statement);
    rc = ReadQueryResultSteps();
  } catch (const std::bad_alloc&) {
    rc = OutOfMemory();
  }
  localInfile_.reset();
  return rc;
}

bool TMysqlClient::AtRowsEnd(const uint8_t* p, int length) {
  if (!IsEndPacket(p, length)) return false;
  // A 4.1 end packet: 0xFE, warning count, status.
  if (length >= 5 && (serverCaps_ & kClientProtocol41)) {
    serverStatus_ = static_cast<uint16_t>(p[3] | (p[4] << 8));
  }
  return true;
}

ClientResult TMysqlClient::NextResult() {
  if (!MoreResults()) return ClientError(CR_COMMANDS_OUT_OF_SYNC);
  return ReadQueryResult();
}

ClientResult TMysqlClient::OutOfMemory() {
  net_.Vio().Close();
  fields_.clear();
  haveFields_ = false;
  status_ = kReady;
  return ClientError(CR_OUT_OF_MEMORY);
}

void TMysqlClient::DrainRows() {
  for (;;) {
    int len = net_.SafeRead();
    if (len < 0 || AtRowsEnd(net_.ReadPos(), len)) break;
  }
  status_ = kReady;
}

ClientResult TMysqlClient::ReadOk(const uint8_t* p, int length) {
  PacketReader in(p, static_cast<size_t>(length));
  uint64_t value = 0, affected = 0, insertId = 0;
  bool isNull = false;
  in.Skip(1);
  if (!in.LengthCoded(affected, isNull) || !in.LengthCoded(insertId, isNull)) return Malformed();
  affectedRows_ = affected;
  insertId_ = insertId;
  const bool v41 = (clientFlags_ & kClientProtocol41) != 0;
  if ((v41 || (serverCaps_ & kClientTransactions)) && in.Remaining() >= 2) {
    in.Fixed(2, value);
    if (serverCaps_ & kClientTransactions) serverStatus_ = static_cast<uint16_t>(value);
  }
  // A 4.1 server puts the warning count before the message.
  if (v41 && in.Remaining() >= 2) in.Skip(2);
  if (in.Remaining() > 0) {
    std::string info;
    if (!in.LengthCodedString(info)) return Malformed();
    size_t zero = info.find('\0');
    info_ = zero == std::string::npos ? info : info.substr(0, zero);
  }
  return ClientResult::kOk;
}

ClientResult TMysqlClient::SendLocalFile(const std::string& name) {
  auto sendEmpty = [this] { return Send(std::string()); };
  std::string refusal;
  if (!localFilesAllowed_ || !(clientFlags_ & kClientLocalFiles)) {
    refusal = "local files are not allowed ('" + name + "')";
  } else if (!localInfile_) {
    refusal = "the statement sent asks for no local file ('" + name + "')";
  } else if (*localInfile_ != name) {
    refusal = "'" + name + "' is not the file the statement names ('" + *localInfile_ + "')";
  }
  // One upload per statement.
  localInfile_.reset();
  int error = 0;
  std::string text;
  if (!refusal.empty()) {
    error = CR_LOCAL_INFILE_REFUSED;
    text = FormatClientError(CR_LOCAL_INFILE_REFUSED, refusal);
    if (!sendEmpty()) return ClientError(CR_SERVER_LOST);
  } else {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) {
      const int openErrno = errno;
      error = 0;
      text = "File '" + name + "' not found (Errcode: " + std::to_string(openErrno) + ")";
      if (!sendEmpty()) return ClientError(CR_SERVER_LOST);
    } else {
      std::vector<char> chunk(kLocalFileChunk);
      bool ok = true;
      for (;;) {
        size_t n = std::fread(chunk.data(), 1, chunk.size(), f);
        if (n > 0 && net_.WritePacket(chunk.data(), n) != NetResult::kOk) {
          ok = false;
          break;
        }
        if (n < chunk.size()) break;
      }
      bool readFailed = std::ferror(f) != 0;
      int readErrno = errno;
      std::fclose(f);
      if (!ok || !sendEmpty()) return ClientError(CR_SERVER_LOST);
      if (!readFailed) return ClientResult::kOk;
      text = "Error reading file '" + name + "' (Errcode: " + std::to_string(readErrno) + ")";
    }
  }
  // The server answers the empty upload: an OK, or an error, ends the statement and the
  // session is in step; the reason reported is why nothing was sent. Anything else (a
  // result, another request) would leave the session out of step with the server.
  int len = net_.SafeRead();
  if (len < 0) {
    if (!net_.IsConnected()) return ClientResult::kFailed;
  } else if (net_.ReadPos()[0] == 0x00) {
    if (ReadOk(net_.ReadPos(), len) != ClientResult::kOk) return ClientResult::kFailed;
  } else {
    return Malformed();
  }
  net_.SetErrorNumber(error);
  net_.SetErrorText(text);
  return ClientResult::kFailed;
}

ClientResult TMysqlClient::ReadQueryResult() {
  try {
    return ReadQueryResultSteps();
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
}

ClientResult TMysqlClient::ReadQueryResultSteps() {
  // Cleared first so that an error packet ends a chain of results.
  serverStatus_ &= static_cast<uint16_t>(~kServerMoreResultsExist);
  int len = net_.SafeRead();
  if (len < 0) return ClientResult::kFailed;
  fields_.clear();
  haveFields_ = false;
  for (;;) {
    const uint8_t* p = net_.ReadPos();
    PacketReader in(p, static_cast<size_t>(len));
    uint64_t count = 0;
    bool isNull = false;
    if (!in.LengthCoded(count, isNull)) return Malformed();
    if (isNull) {
      std::string name = in.RestAsText();
      if (SendLocalFile(name) != ClientResult::kOk) return ClientResult::kFailed;
      len = net_.SafeRead();
      if (len < 0) return ClientResult::kFailed;
      continue;
    }
    if (count == 0) return ReadOk(p, len);
    // Every column needs at least a byte of every row: more cannot fit in a packet.
    if (count > kMaxPayload) return Malformed();
    if (!(serverStatus_ & kServerAutocommit)) serverStatus_ |= kServerInTransaction;
    uint64_t extra = 0;
    if (in.Remaining() > 0 && !in.LengthCoded(extra, isNull)) return Malformed();
    extraInfo_ = extra;
    return ReadColumns(count);
  }
}

ClientResult TMysqlClient::ReadColumns(uint64_t count) {
  const bool v41 = (serverCaps_ & kClientProtocol41) != 0;
  std::vector<TMysqlField> fields;
  fields.reserve(static_cast<size_t>(std::min<uint64_t>(count, 4096)));
  for (;;) {
    int len = net_.SafeRead();
    if (len < 0) return ClientResult::kFailed;
    const uint8_t* p = net_.ReadPos();
    if (IsEndPacket(p, len)) break;
    if (fields.size() >= count) return Malformed();
    PacketReader in(p, static_cast<size_t>(len));
    TMysqlField f;
    const uint8_t* block = nullptr;
    size_t blockLen = 0;
    bool isNull = false;
    if (v41) {
      if (!in.LengthCodedString(f.catalog) || !in.LengthCodedString(f.db) ||
          !in.LengthCodedString(f.table) || !in.LengthCodedString(f.org_table) ||
          !in.LengthCodedString(f.name) || !in.LengthCodedString(f.org_name) ||
          !in.LengthCodedText(block, blockLen, isNull) || blockLen < 10) {
        return Malformed();
      }
      f.charsetnr = block[0] | (block[1] << 8);
      f.length = uint32_t{block[2]} | (uint32_t{block[3]} << 8) | (uint32_t{block[4]} << 16) |
                 (uint32_t{block[5]} << 24);
      f.type = block[6];
      f.flags = block[7] | (block[8] << 8);
      f.decimals = block[9];
      if (f.type >= 249 && f.type <= 252) f.flags |= kBlobFlag;
    } else {
      const uint8_t* lenBytes = nullptr;
      const uint8_t* typeBytes = nullptr;
      size_t lenLen = 0, typeLen = 0;
      const size_t flagBytes = (serverCaps_ & kClientLongFlag) ? 3 : 2;
      if (!in.LengthCodedString(f.table) || !in.LengthCodedString(f.name) ||
          !in.LengthCodedText(lenBytes, lenLen, isNull) || lenLen < 3 ||
          !in.LengthCodedText(typeBytes, typeLen, isNull) || typeLen < 1 ||
          !in.LengthCodedText(block, blockLen, isNull) || blockLen < flagBytes) {
        return Malformed();
      }
      f.length =
          uint32_t{lenBytes[0]} | (uint32_t{lenBytes[1]} << 8) | (uint32_t{lenBytes[2]} << 16);
      f.type = typeBytes[0];
      if (flagBytes == 3) {
        f.flags = block[0] | (block[1] << 8);
        f.decimals = block[2];
      } else {
        f.flags = block[0];
        f.decimals = block[1];
      }
    }
    f.max_length = 0;
    // 246 is the exact decimal type of servers since 5.0.3, numeric like the old one (0).
    if ((f.type <= 9 && f.type != 7) || (f.type == 7 && (f.length == 14 || f.length == 8)) ||
        f.type == 13 || f.type == 246) {
      f.flags |= kNumFlag;
    }
    fields.push_back(std::move(f));
  }
  if (fields.size() != count) return Malformed();
  fields_ = std::move(fields);
  haveFields_ = true;
  status_ = kResultHeader;
  return ClientResult::kOk;
}

std::unique_ptr<TMysqlResult> TMysqlClient::UseResult() {
  if (!haveFields_) return nullptr;
  if (status_ != kResultHeader) {
    ClientError(CR_COMMANDS_OUT_OF_SYNC);
    return nullptr;
  }
  std::unique_ptr<TMysqlResult> result;
  try {
    result = NewResult(std::move(fields_));
  } catch (const std::bad_alloc&) {
    // Nobody can read these rows: drop them so the session goes on.
    fields_.clear();
    haveFields_ = false;
    DrainRows();
    ClientError(CR_OUT_OF_MEMORY);
    return nullptr;
  }
  fields_.clear();
  haveFields_ = false;
  status_ = kStreaming;
  current_ = result.get();
  result->ReadRow();
  result->pending_ = !result->atEnd_;
  return result;
}

void TMysqlClient::FinishStreaming(TMysqlResult* result, uint64_t rows) {
  if (current_ == result) current_ = nullptr;
  status_ = kReady;
  affectedRows_ = rows;
}

}  // namespace mysql
