#include "mysql/protocol/vio.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "mysql/protocol/client_errors.h"

namespace mysql {

namespace {

std::atomic<uint32_t> gDefaultTimeout{30};

constexpr size_t kRecvBufferSize = 64 * 1024;
constexpr size_t kMaxErrorText = 200;
// How often a wait may report the socket ready while the call still finds nothing to
// do: a bound, so that no loop here can spin for ever.
constexpr int kMaxSpuriousWakeups = 100;

}  // namespace

uint32_t TMysqlVio::DefaultTimeout() {
  return gDefaultTimeout.load();
}
void TMysqlVio::SetDefaultTimeout(uint32_t seconds) {
  gDefaultTimeout.store(seconds);
}

TMysqlVio::TMysqlVio() = default;

TMysqlVio::~TMysqlVio() {
  if (fd_ >= 0) ::close(fd_);
}

void TMysqlVio::SetErrorText(const std::string& text) {
  errorText_ = text.size() > kMaxErrorText ? text.substr(0, kMaxErrorText) : text;
}

void TMysqlVio::RecordError(int number, std::initializer_list<ErrorArg> values) {
  errorNumber_ = number;
  SetErrorText(FormatClientErrorArgs(number, values));
}

bool TMysqlVio::ShouldRetry() const {
  return kind_ != kClosed && (lastErrno_ == EINTR || lastErrno_ == EWOULDBLOCK ||
                              lastErrno_ == EAGAIN || lastErrno_ == EINPROGRESS);
}

bool TMysqlVio::WasInterrupted() const {
  return lastErrno_ == EINTR;
}

VioResult TMysqlVio::Connect(int kind, const std::string& host, const std::string& pipe,
                             uint32_t port, uint32_t timeout, bool tcpFallback) {
  if (kind_ != kClosed) return VioResult::kAlreadyOpen;
  timeout_ = timeout == 0 ? DefaultTimeout() : timeout;
  if (kind == kRequestSharedMemory) return VioResult::kSharedMemory;
  recvPos_ = recvEnd_ = 0;
  if (kind == kRequestPipe) {
    if (ConnectPipe(pipe) == VioResult::kOk) return VioResult::kOk;
    if (!tcpFallback) return VioResult::kPipeFailed;
  }
  return ConnectTcp(host, port);
}

VioResult TMysqlVio::ConnectPipe(const std::string& pipe) {
  std::string path = pipe;
  if (path.find('/') == std::string::npos) {
    const char* env = std::getenv("MYSQL_UNIX_PORT");
    path = env && *env ? env : "/run/mysqld/mysqld.sock";
  }
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  int fd = -1;
  int err = ENAMETOOLONG;
  if (path.size() < sizeof(addr.sun_path)) {
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    err = errno;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
      err = errno;
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    RecordError(CR_NAMEDPIPEOPEN_ERROR, {".", path, static_cast<unsigned>(err)});
    return VioResult::kFailed;
  }
  fd_ = fd;
  kind_ = kPipe;
  pipePath_ = path;
  // Non-blocking underneath so that reads keep their time-out; the pipe kind reports
  // itself as blocking, as a pipe would.
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
  modeFlags_ = 0;
  errorNumber_ = 0;
  errorText_.clear();
  return VioResult::kOk;
}

int TMysqlVio::Resolve(const std::string& host, uint32_t port, std::vector<Address>& out) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0) return rc == EAI_SYSTEM ? errno : rc;
  for (addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
    Address addr{};
    std::memcpy(&addr.storage, a->ai_addr, a->ai_addrlen);
    addr.length = static_cast<socklen_t>(a->ai_addrlen);
    if (a->ai_family == AF_INET) {
      reinterpret_cast<sockaddr_in*>(&addr.storage)->sin_port = htons(static_cast<uint16_t>(port));
    } else {
      reinterpret_cast<sockaddr_in6*>(&addr.storage)->sin6_port =
          htons(static_cast<uint16_t>(port));
    }
    out.push_back(addr);
  }
  ::freeaddrinfo(found);
  return out.empty() ? EAI_NONAME : 0;
}

VioResult TMysqlVio::ConnectTcp(const std::string& hostArg, uint32_t port) {
  std::string host = hostArg.empty() ? "localhost" : hostArg;
  if (port == 0) port = 3306;
  std::vector<Address> addresses;
  if (int rc = Resolve(host, port, addresses); rc != 0) {
    RecordError(CR_UNKNOWN_HOST, {host, rc});
    return VioResult::kNotReached;
  }
  // Every address in turn, as other clients do: "localhost" may give ::1 first while
  // the server listens on 127.0.0.1 only. The last failure is the one reported.
  VioResult result = VioResult::kRefused;
  for (const Address& a : addresses) {
    result = ConnectAddress(a, host);
    if (result == VioResult::kOk) return result;
  }
  return result;
}

VioResult TMysqlVio::ConnectAddress(const Address& address, const std::string& host) {
  int fd = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    RecordError(CR_IPSOCK_ERROR, {errno});
    return VioResult::kNoSocket;
  }
  fd_ = fd;
  kind_ = kTcp;
  modeFlags_ = 0;
  SetBlocking(false);

  auto fail = [this](VioResult code, int err, const std::string& h) {
    RecordError(CR_CONN_HOST_ERROR, {h, err});
    ::close(fd_);
    fd_ = -1;
    kind_ = kClosed;
    modeFlags_ = 0;
    return code;
  };
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0 &&
      errno != EINPROGRESS && errno != EWOULDBLOCK) {
    return fail(VioResult::kRefused, errno, host);
  }
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  ::setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof(one));
  if (timeout_ != 0) {
    // The server speaks first: wait for its greeting, and tell a refused connect
    // apart from a silent server.
    pollfd p{fd_, POLLIN, 0};
    int n = ::poll(&p, 1, static_cast<int>(std::min<uint32_t>(timeout_, 2000000u) * 1000));
    int soError = 0;
    socklen_t len = sizeof(soError);
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &soError, &len);
    if (soError != 0) return fail(VioResult::kRefused, soError, host);
    if (n <= 0) return fail(VioResult::kNotReached, n == 0 ? ETIMEDOUT : errno, host);
  }
  errorText_.clear();
  errorNumber_ = 0;
  return VioResult::kOk;
}

VioResult TMysqlVio::Close() {
  VioResult rc = VioResult::kOk;
  if (kind_ != kClosed && fd_ >= 0) {
    if (kind_ == kTcp && ::shutdown(fd_, SHUT_RDWR) != 0 && errno != ENOTCONN) {
      rc = VioResult::kFailed;
    }
    if (::close(fd_) != 0) rc = VioResult::kFailed;
  }
  fd_ = -1;
  kind_ = kClosed;
  modeFlags_ = 0;
  recvPos_ = recvEnd_ = 0;
  return rc;
}

bool TMysqlVio::PollFor(short events, uint32_t seconds) {
  pollfd p{fd_, events, 0};
  int ms = static_cast<int>(std::min<uint32_t>(seconds, 2000000u) * 1000);
  int n = ::poll(&p, 1, ms);
  if (n > 0) return true;
  lastErrno_ = n == 0 ? ETIMEDOUT : errno;
  return false;
}

int TMysqlVio::ReceiveInto(char* dst, size_t size) {
  for (int wakeups = 0; wakeups <= kMaxSpuriousWakeups; ++wakeups) {
    ssize_t n = ::recv(fd_, dst, size, 0);
    if (n >= 0) return static_cast<int>(n);
    lastErrno_ = errno;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    // Nothing waiting: a time-out of 0 means do not wait at all.
    if (timeout_ == 0 || !PollFor(POLLIN, timeout_)) return -1;
  }
  return -1;
}

int TMysqlVio::Read(void* buffer, size_t size) {
  int n = Receive(buffer, size);
  if (n >= 0) lastErrno_ = 0;
  return n;
}

int TMysqlVio::Receive(void* buffer, size_t size) {
  if (kind_ == kClosed) return -1;
  if (size == 0) return 0;
  size = std::min<size_t>(size, 0x7FFFFFFF);
  if (recvPos_ < recvEnd_) {
    size_t n = std::min(size, recvEnd_ - recvPos_);
    std::memcpy(buffer, recvBuf_.data() + recvPos_, n);
    recvPos_ += n;
    return static_cast<int>(n);
  }
  if (size >= kRecvBufferSize) return ReceiveInto(static_cast<char*>(buffer), size);
  if (recvBuf_.empty()) recvBuf_.resize(kRecvBufferSize);
  int n = ReceiveInto(recvBuf_.data(), recvBuf_.size());
  if (n <= 0) return n;
  recvEnd_ = static_cast<size_t>(n);
  size_t take = std::min(size, recvEnd_);
  std::memcpy(buffer, recvBuf_.data(), take);
  recvPos_ = take;
  return static_cast<int>(take);
}

int TMysqlVio::Write(const void* buffer, size_t size) {
  if (kind_ == kClosed) return -1;
  size = std::min<size_t>(size, 0x7FFFFFFF);
  for (int wakeups = 0; wakeups <= kMaxSpuriousWakeups; ++wakeups) {
    ssize_t n = ::send(fd_, buffer, size, MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int>(n);
    lastErrno_ = errno;
    // A socket in blocking mode waits for room, bounded by the time-out so that a
    // server that stops reading cannot hang the client.
    if ((errno != EAGAIN && errno != EWOULDBLOCK) || !IsBlocking()) return -1;
    if (!PollFor(POLLOUT, timeout_ == 0 ? DefaultTimeout() : timeout_)) return -1;
  }
  return -1;
}

VioResult TMysqlVio::SetBlocking(bool blocking) {
  if (kind_ == kClosed) return VioResult::kFailed;
  if (kind_ == kPipe) return VioResult::kOk;
  uint32_t wanted = blocking ? 0u : 1u;
  if ((modeFlags_ & 1u) == wanted) return VioResult::kOk;
  modeFlags_ = (modeFlags_ & ~1u) | wanted;
  // The descriptor itself stays non-blocking; waits go through poll so that every
  // read and write keeps its time-out.
  if (fd_ < 0) return VioResult::kOk;
  int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) < 0) return VioResult::kFailed;
  return VioResult::kOk;
}

bool TMysqlVio::WaitReadable(uint32_t seconds) {
  if (kind_ == kClosed) return false;
  if (recvPos_ < recvEnd_) return true;
  return PollFor(POLLIN, seconds);
}

}  // namespace mysql
