// The socket transport against loopback listeners the test controls.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/vio.h"

using mysql::TMysqlVio;
using mysql::VioResult;

namespace {

// A listening socket on 127.0.0.1 with a free port; closed with the object.
struct Listener {
  int fd = -1;
  uint16_t port = 0;
  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    ::listen(fd, 4);
    socklen_t len = sizeof(a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~Listener() { ::close(fd); }
  // Accepts the pending connection (the kernel completed it already).
  int Accept() { return ::accept(fd, nullptr, nullptr); }
};

uint16_t ClosedPort() {
  Listener l;
  return l.port;  // closed again when l goes
}

// A transport whose host resolves to 127.0.0.1 at the given ports, in that order.
class ListedAddresses : public TMysqlVio {
 public:
  explicit ListedAddresses(std::vector<uint16_t> ports) : ports_(std::move(ports)) {}

 protected:
  int Resolve(const std::string&, uint32_t, std::vector<Address>& out) override {
    for (uint16_t port : ports_) {
      Address a{};
      auto* in = reinterpret_cast<sockaddr_in*>(&a.storage);
      in->sin_family = AF_INET;
      in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      in->sin_port = htons(port);
      a.length = sizeof(sockaddr_in);
      out.push_back(a);
    }
    return 0;
  }

 private:
  std::vector<uint16_t> ports_;
};

}  // namespace

TEST(MysqlTransport, ConnectFailures) {
  struct Case {
    const char* what;
    int kind;
    std::string host;
    std::string pipe;
    bool fallback;
    VioResult rc;
    int number;
  };
  const uint16_t closed = ClosedPort();
  const Case cases[] = {
      {"refused", 1, "127.0.0.1", "", false, VioResult::kRefused, 2003},
      {"shared memory", 4, "127.0.0.1", "", false, VioResult::kSharedMemory, 0},
      {"missing local socket", 3, "127.0.0.1", "/nonexistent/mysqld.sock", false,
       VioResult::kPipeFailed, 2017},
      {"missing local socket, TCP refused", 3, "127.0.0.1", "/nonexistent/mysqld.sock", true,
       VioResult::kRefused, 2003},
  };
  for (const auto& c : cases) {
    TMysqlVio vio;
    EXPECT_EQ(vio.Connect(c.kind, c.host, c.pipe, closed, 2, c.fallback), c.rc) << c.what;
    EXPECT_EQ(vio.ErrorNumber(), c.number) << c.what;
    EXPECT_EQ(vio.Kind(), TMysqlVio::kClosed) << c.what;
  }
  TMysqlVio vio;
  vio.Connect(1, "127.0.0.1", "", closed, 2, false);
  EXPECT_EQ(vio.ErrorText(), "Can't connect to MySQL server on '127.0.0.1' (111)");
  vio.Connect(3, "127.0.0.1", "/nonexistent/mysqld.sock", 0, 2, false);
  EXPECT_EQ(vio.ErrorText(),
            "Can't open named pipe to host: .  pipe: /nonexistent/mysqld.sock (2)");
}

TEST(MysqlTransport, LocalSocketFallsBackToTcp) {
  Listener l;
  TMysqlVio vio;
  uint32_t saved = TMysqlVio::DefaultTimeout();
  TMysqlVio::SetDefaultTimeout(0);  // the listener sends no greeting
  ASSERT_EQ(vio.Connect(3, "127.0.0.1", "/nonexistent/mysqld.sock", l.port, 0, true),
            VioResult::kOk);
  TMysqlVio::SetDefaultTimeout(saved);
  EXPECT_EQ(vio.Kind(), TMysqlVio::kTcp);
}

TEST(MysqlTransport, SilentServerTimesOut) {
  Listener l;
  TMysqlVio vio;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(vio.Connect(1, "127.0.0.1", "", l.port, 1, false), VioResult::kNotReached);
  EXPECT_EQ(vio.ErrorNumber(), 2003);
  EXPECT_EQ(vio.Kind(), TMysqlVio::kClosed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(MysqlTransport, OpenConnection) {
  Listener l;
  TMysqlVio vio;
  // Time-out 0 takes the default: set it to 0 so nothing waits for a greeting.
  uint32_t saved = TMysqlVio::DefaultTimeout();
  TMysqlVio::SetDefaultTimeout(0);
  ASSERT_EQ(vio.Connect(1, "127.0.0.1", "", l.port, 0, false), VioResult::kOk);
  TMysqlVio::SetDefaultTimeout(saved);
  EXPECT_EQ(vio.Kind(), TMysqlVio::kTcp);
  EXPECT_FALSE(vio.IsBlocking());
  EXPECT_EQ(vio.Connect(1, "127.0.0.1", "", l.port, 0, false), VioResult::kAlreadyOpen);
  EXPECT_EQ(vio.Kind(), TMysqlVio::kTcp) << "a second connect leaves the first alone";

  char buf[16];
  EXPECT_EQ(vio.Read(buf, sizeof(buf)), -1) << "nothing waiting and no time-out: at once";
  EXPECT_TRUE(vio.ShouldRetry());

  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  ASSERT_EQ(::send(peer, "greeting", 8, 0), 8);
  EXPECT_TRUE(vio.WaitReadable(2));
  EXPECT_EQ(vio.Read(buf, 3), 3);
  EXPECT_EQ(vio.Read(buf + 3, 10), 5) << "the rest comes from what was received";
  EXPECT_EQ(std::string(buf, 8), "greeting");
  EXPECT_EQ(vio.Write("hello", 5), 5);
  char in[5];
  EXPECT_EQ(::recv(peer, in, 5, MSG_WAITALL), 5);

  EXPECT_EQ(vio.SetBlocking(false), VioResult::kOk) << "already non-blocking";
  EXPECT_EQ(vio.SetBlocking(true), VioResult::kOk);
  EXPECT_TRUE(vio.IsBlocking());
  ::close(peer);
  EXPECT_EQ(vio.Read(buf, sizeof(buf)), 0) << "the peer closed";
  EXPECT_EQ(vio.Close(), VioResult::kOk);
  EXPECT_EQ(vio.Kind(), TMysqlVio::kClosed);
  EXPECT_EQ(vio.Read(buf, 1), -1);
  EXPECT_EQ(vio.Write("x", 1), -1);
  EXPECT_EQ(vio.SetBlocking(true), VioResult::kFailed);
}

TEST(MysqlTransport, ConnectsToIpv6Loopback) {
  int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
  sockaddr_in6 a{};
  a.sin6_family = AF_INET6;
  a.sin6_addr = in6addr_loopback;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 ||
      ::listen(fd, 1) != 0) {
    if (fd >= 0) ::close(fd);
    GTEST_SKIP() << "no IPv6 loopback on this machine";
  }
  socklen_t len = sizeof(a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  int peer = -1;
  TMysqlVio vio;
  uint32_t saved = TMysqlVio::DefaultTimeout();
  TMysqlVio::SetDefaultTimeout(0);
  EXPECT_EQ(vio.Connect(1, "::1", "", ntohs(a.sin6_port), 0, false), VioResult::kOk)
      << vio.ErrorText();
  TMysqlVio::SetDefaultTimeout(saved);
  peer = ::accept(fd, nullptr, nullptr);
  EXPECT_GE(peer, 0);
  EXPECT_EQ(vio.Write("ping", 4), 4);
  if (peer >= 0) ::close(peer);
  ::close(fd);
}

TEST(MysqlTransport, ErrorTextKeepsAtMost200Characters) {
  TMysqlVio vio;
  vio.SetErrorText(std::string(300, 'e'));
  EXPECT_EQ(vio.ErrorText(), std::string(200, 'e'));
}

TEST(MysqlTransport, TriesEveryAddressOfTheHost) {
  Listener l;
  std::thread greeter([&l] {
    int peer = l.Accept();
    if (peer >= 0) {
      ::send(peer, "hello", 5, 0);
      char c;
      ::recv(peer, &c, 1, 0);  // until the client closes
      ::close(peer);
    }
  });
  const uint16_t closed = ClosedPort();
  {
    ListedAddresses vio({closed, l.port});
    EXPECT_EQ(vio.Connect(1, "localhost", "", 3306, 5, false), VioResult::kOk) << vio.ErrorText();
    EXPECT_EQ(vio.Kind(), TMysqlVio::kTcp);
    EXPECT_EQ(vio.ErrorNumber(), 0);
  }
  greeter.join();
  ListedAddresses none({closed, ClosedPort()});
  EXPECT_EQ(none.Connect(1, "localhost", "", 3306, 5, false), VioResult::kRefused);
  EXPECT_EQ(none.ErrorText(), "Can't connect to MySQL server on 'localhost' (111)")
      << "the last failure is reported";
  EXPECT_EQ(none.Kind(), TMysqlVio::kClosed);
}
