// The MySQL datasets against a scripted server on the loopback interface, for replies no
// running server gives any more: an old server's compact TIMESTAMP.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "mysql/components/mysql_dataset.h"
#include "mysql/scripted_peer.h"

namespace {

using qmtest::LenInt;
using qmtest::LenText;
using qmtest::Le;
using qmtest::Packet;

// Accepts one connection on 127.0.0.1, sends the whole script and then reads until the
// client hangs up; the client reads the replies in its own order.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::string script) : script_(std::move(script)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 1) != 0)
      throw std::runtime_error("no loopback listener");
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] {
      const int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      for (std::size_t sent = 0; sent < script_.size();) {
        const ssize_t n = ::send(c, script_.data() + sent, script_.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
      char buf[4096];
      for (ssize_t n; (n = ::recv(c, buf, sizeof buf, 0)) > 0;) received_.append(buf, static_cast<std::size_t>(n));
      ::close(c);
    });
  }
  ~ScriptedServer() {
    ::shutdown(fd_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    ::close(fd_);
  }
  std::uint16_t Port() const { return port_; }

 private:
  std::string script_;
  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::string received_;
};

// A 4.0 server: old greeting and OK, and columns in the old format (table, name, 3-byte
// length, type, 2 bytes of flags and 1 of decimals).
std::string OldServerSelect(const std::string& column, std::uint8_t type, std::uint32_t length,
                            const std::string& value) {
  qmtest::GreetingSpec g;
  g.version = "4.0.0-log";
  g.caps = 0x0005;  // long password, long flag
  g.withSecondPart = false;
  const std::string oldColumn = LenText("t") + LenText(column) + LenText(Le(length, 3)) +
                                LenText(std::string(1, static_cast<char>(type))) +
                                LenText(std::string("\0\0\0", 3));
  return Packet(0, qmtest::Greeting(g)) + Packet(2, std::string("\0\0\0", 3)) +
         Packet(1, LenInt(1)) + Packet(2, oldColumn) + Packet(3, std::string("\xFE", 1)) +
         Packet(4, qmtest::Row({value})) + Packet(5, std::string("\xFE", 1));
}

TEST(MySQLDatasetOldServer, CompactTimestampReadsAndWrites) {
  ScriptedServer peer(OldServerSelect("ts", 7, 14, "20070102030405"));
  TMySQLServer server;
  server.SetHost("127.0.0.1");
  server.SetPort(peer.Port());
  server.SetUserName("qm");
  TMySQLDataset ds;
  ds.SetServer(&server);
  ds.SetOptions(TMySQLDataset::kDefaultOptions - doMacrosEnabled);
  ds.SetSQLText("select ts from t");
  ds.Open();
  ASSERT_EQ(server.ServerVer(), 40000u);
  TField& ts = ds.FieldByName("ts");
  EXPECT_EQ(ts.DataType(), ftDateTime);
  EXPECT_EQ(ts.AsDateTime(), (TDateTime{2007, 1, 2, 3, 4, 5, 0}));
  EXPECT_EQ(ts.AsString(), "20070102030405") << "the server's text";
  // A written TIMESTAMP takes the same compact form.
  ds.Edit();
  ts.SetAsDateTime(TDateTime{2008, 12, 31, 23, 59, 58, 0});
  EXPECT_EQ(ts.AsString(), "20081231235958");
  ds.Cancel();
  ds.Close();
  server.Close();
}

}  // namespace
