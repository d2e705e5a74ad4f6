#include "mysql/protocol/client.h"

#include <cstdio>
#include <cstring>

#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/scramble.h"
#include "mysql/protocol/wire.h"

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

void TMysqlClient::ClientError(int number) {
  net_.SetClientError(number);
}

int TMysqlClient::Malformed() {
  net_.Vio().Close();
  ClientError(CR_MALFORMED_PACKET);
  return -1;
}

bool TMysqlClient::Connect(const std::string& host, const std::string& user,
                           const std::string& password, const std::string& database, uint32_t port,
                           const std::string& pipe, bool tcpFallback, uint32_t flags) {
  std::lock_guard guard(lock_);
  return ConnectLocked(host, user, password, database, port, pipe, tcpFallback, flags);
}

bool TMysqlClient::Reconnect() {
  std::lock_guard guard(lock_);
  // Copies: ConnectLocked stores its arguments over these fields.
  std::string host = host_, user = user_, password = password_, database = database_, pipe = pipe_;
  return ConnectLocked(host, user, password, database, port_, pipe, tcpFallback_, clientFlags_);
}

bool TMysqlClient::ConnectLocked(const std::string& host, const std::string& user,
                                 const std::string& password, const std::string& database,
                                 uint32_t port, const std::string& pipe, bool tcpFallback,
                                 uint32_t flags) {
  if (net_.IsConnected()) return true;
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
    ClientError(CR_OUT_OF_MEMORY);
    return false;
  }
}

bool TMysqlClient::ConnectSteps(const std::string& host, const std::string& user,
                                const std::string& password, const std::string& database,
                                uint32_t port, const std::string& pipe, bool tcpFallback,
                                uint32_t flags) {
  if (host.empty() && host_.empty()) {
    ClientError(CR_WRONG_HOST_INFO);
    return false;
  }
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
  if (!net_.IsConnected()) return false;
  if (readTimeout_ != 0) net_.Vio().SetReadTimeout(readTimeout_);
  if (!Handshake(password)) {
    net_.Close();
    return false;
  }
  return true;
}

bool TMysqlClient::ParseGreeting(int length) {
  PacketReader in(net_.ReadPos(), static_cast<size_t>(length));
  uint64_t protocol = 0, value = 0;
  in.Fixed(1, protocol);
  net_.SetProtocolVersion(static_cast<uint32_t>(protocol));
  if (protocol != 10 && protocol != 9) {
    net_.SetErrorNumber(CR_VERSION_ERROR);
    net_.SetErrorText(FormatClientError(CR_VERSION_ERROR, static_cast<int>(protocol), 10));
    return false;
  }
  if (!in.ZeroTerminated(serverVersion_) || !in.Fixed(4, value)) return Malformed(), false;
  threadId_ = static_cast<uint32_t>(value);
  // The first 8 characters of the challenge and a filler.
  const uint8_t* scrambleAt = in.Position();
  if (!in.Skip(9)) return Malformed(), false;
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
  return true;
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

bool TMysqlClient::Handshake(const std::string& password) {
  int len = net_.SafeRead();
  if (len < 0) return false;
  if (!ParseGreeting(len)) return false;
  if (secureAuthRequested_ && !password.empty() && !(serverCaps_ & kClientSecureConnection)) {
    ClientError(CR_SECURE_AUTH);
    return false;
  }
  if ((serverCaps_ & kClientSecureConnection) && !Sha1SelfTestPassed()) {
    net_.SetErrorNumber(CR_UNKNOWN_ERROR);
    net_.SetErrorText("SHA-1 self-test failed: no secure login possible");
    return false;
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
  if (net_.WritePacket(login.data(), login.size()) != 0 || net_.Flush() != 0) {
    ClientError(CR_SERVER_LOST);
    return false;
  }
  len = net_.SafeRead();
  if (len < 0) return false;
  if (len == 1 && net_.ReadPos()[0] == 0xFE && (serverCaps_ & kClientSecureConnection)) {
    // The account still has an old-style password: answer with the old token.
    std::string token = ScrambleOld(password, scramble_.substr(0, 8)).value_or("");
    token.push_back('\0');
    if (net_.WritePacket(token.data(), token.size()) != 0 || net_.Flush() != 0) {
      ClientError(CR_SERVER_LOST);
      return false;
    }
    len = net_.SafeRead();
    if (len < 0) return false;
  }
  if (net_.ReadPos()[0] != 0x00) return Malformed(), false;
  net_.SetCompress((clientFlags_ & kClientCompress) != 0);
  status_ = kReady;
  if (!database_.empty() && !(serverCaps_ & kClientConnectWithDb)) {
    if (!SelectDb(database_)) return false;
  }
  return true;
}

bool TMysqlClient::ReconnectRule() {
  if (connecting_) return false;
  if (!reconnect_ || (serverStatus_ & kServerInTransaction)) {
    serverStatus_ &= ~uint16_t{kServerInTransaction};
    return false;
  }
  return Reconnect();
}

int TMysqlClient::SimpleCommand(uint8_t code, const void* arg, size_t length, bool skipReply,
                                bool retry) {
  if (!net_.IsConnected() && !ReconnectRule()) {
    // Keep the reason of an earlier loss; a session never connected gets one.
    if (net_.ErrorNumber() == 0) ClientError(CR_SERVER_GONE_ERROR);
    return -1;
  }
  if (status_ != kReady) {
    ClientError(CR_COMMANDS_OUT_OF_SYNC);
    return -1;
  }
  if (length + 1 >= 0xFFFFFF) {
    // Nothing is sent, so the connection stays as it is.
    ClientError(CR_NET_PACKET_TOO_LARGE);
    return -1;
  }
  net_.SetErrorNumber(0);
  net_.SetErrorText("");
  info_.clear();
  affectedRows_ = 0;
  insertId_ = 0;
  net_.Clear();
  if (net_.WriteCommand(code, arg, length) != 0) {
    if (net_.ErrorNumber() == CR_OUT_OF_MEMORY) {
      // Part of the command may be out: the connection cannot go on, and a new one
      // would not have more memory.
      net_.Close();
      fields_.clear();
      haveFields_ = false;
      ClientError(CR_OUT_OF_MEMORY);
      return -1;
    }
    net_.Close();
    fields_.clear();
    haveFields_ = false;
    if (!ReconnectRule() || (net_.Clear(), net_.WriteCommand(code, arg, length) != 0)) {
      ClientError(CR_SERVER_GONE_ERROR);
      return -1;
    }
  }
  if (skipReply) return 0;
  if (net_.SafeRead() >= 0) return 0;
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
  return -1;
}

bool TMysqlClient::DbCommand(uint8_t code, const std::string& name) {
  if (name.empty()) return false;
  std::lock_guard guard(lock_);
  return SimpleCommand(code, name.data(), name.size(), false, reconnect_) == 0;
}

bool TMysqlClient::SelectDb(const std::string& name) {
  if (!DbCommand(kComInitDb, name)) return false;
  database_ = name;
  return true;
}

bool TMysqlClient::CreateDb(const std::string& name) {
  return DbCommand(kComCreateDb, name);
}
bool TMysqlClient::DropDb(const std::string& name) {
  return DbCommand(kComDropDb, name);
}

bool TMysqlClient::Kill(uint32_t threadId) {
  std::lock_guard guard(lock_);
  uint8_t arg[4] = {static_cast<uint8_t>(threadId), static_cast<uint8_t>(threadId >> 8),
                    static_cast<uint8_t>(threadId >> 16), static_cast<uint8_t>(threadId >> 24)};
  return SimpleCommand(kComProcessKill, arg, 4, false, reconnect_) == 0;
}

bool TMysqlClient::Ping() {
  std::lock_guard guard(lock_);
  return SimpleCommand(kComPing, nullptr, 0, false, reconnect_) == 0;
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

}  // namespace mysql
