// Greeting, login and the simple commands against a scripted server.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "mysql/protocol/client.h"
#include "mysql/protocol/client_errors.h"
#include "mysql/protocol/memory_vio.h"
#include "mysql/protocol/scramble.h"
#include "mysql/scripted_peer.h"

using mysql::MemoryVio;
using mysql::TMySQLDirectClient;
using qmtest::GreetingSpec;
using qmtest::Packet;

namespace {

struct Session {
  MemoryVio* vio;
  std::unique_ptr<TMySQLDirectClient> client;
};

Session Make(const std::string& script) {
  auto vio = std::make_unique<MemoryVio>(script, 5);
  MemoryVio* raw = vio.get();
  return {raw, std::make_unique<TMySQLDirectClient>(std::move(vio))};
}

bool Connect(Session& s, const std::string& user = "qm", const std::string& password = "pw",
             const std::string& db = "", uint32_t flags = mysql::kDefaultClientFlags) {
  return s.client->Connect("127.0.0.1", user, password, db, 3306, "", false, flags) ==
         mysql::ClientResult::kOk;
}

// The fields of a 4.1 login packet.
struct Login {
  uint32_t flags = 0;
  uint8_t charset = 0;
  std::string user, auth, db;
};

Login ParseLogin(const std::string& p) {
  Login l;
  for (int i = 0; i < 4; ++i) l.flags |= uint32_t{static_cast<uint8_t>(p[i])} << (8 * i);
  l.charset = static_cast<uint8_t>(p[8]);
  size_t at = 32;
  size_t z = p.find('\0', at);
  l.user = p.substr(at, z - at);
  at = z + 1;
  if (l.flags & mysql::kClientSecureConnection) {
    size_t n = static_cast<uint8_t>(p[at]);
    l.auth = p.substr(at + 1, n);
    at += 1 + n;
  } else {
    z = p.find('\0', at);
    l.auth = p.substr(at, z - at);
    at = z + 1;
  }
  l.db = p.substr(at, p.size() - at - 1);
  return l;
}

}  // namespace

TEST(MysqlSession, SecureLoginPacket) {
  GreetingSpec g;
  auto s = Make(qmtest::LoginScript(g));
  ASSERT_TRUE(Connect(s, std::string(40, 'u'), "pw", std::string(70, 'd')))
      << s.client->ErrorText();
  auto sent = qmtest::SplitPackets(s.vio->Written());
  ASSERT_GE(sent.size(), 1u);
  Login l = ParseLogin(sent[0]);
  EXPECT_EQ(l.user, std::string(40, 'u')) << "the user name goes whole";
  EXPECT_EQ(l.db, std::string(64, 'd')) << "the database name is cut at 64";
  EXPECT_EQ(l.charset, 45) << "utf8mb4 for a server of 5.5.3 or later";
  EXPECT_EQ(l.auth, mysql::ScrambleSecure("pw", g.scramble1 + g.scramble2));
  EXPECT_EQ(l.flags & mysql::kClientConnectWithDb, mysql::kClientConnectWithDb);
  EXPECT_EQ(l.flags & mysql::kClientCompress, 0u);
  EXPECT_EQ(s.client->ThreadId(), 42u);
  EXPECT_EQ(s.client->ServerVersion(), "10.11.19-MariaDB");
  EXPECT_EQ(s.client->Net().Sequence(), 3) << "login went out as packet 1, its reply was 2";
}

TEST(MysqlSession, LoginCharsetFollowsServerVersion) {
  const std::pair<const char*, int> cases[] = {
      {"5.5.2-log", 33},
      {"5.5.3", 45},
      {"5.1.73", 33},
      {"4.1.22", 33},
      {"5.6.51", 45},
      {"8.0.36", 45},
      {"5.5.5-10.11.19-MariaDB", 45},
      {"weird", 33},
  };
  for (const auto& [version, charset] : cases) {
    GreetingSpec g;
    g.version = version;
    auto s = Make(qmtest::LoginScript(g));
    ASSERT_TRUE(Connect(s)) << version;
    EXPECT_EQ(ParseLogin(qmtest::SplitPackets(s.vio->Written())[0]).charset, charset) << version;
  }
}

TEST(MysqlSession, GreetingWithoutSecondScramblePartUsesOldToken) {
  GreetingSpec g;
  g.withSecondPart = false;
  auto s = Make(qmtest::LoginScript(g));
  ASSERT_TRUE(Connect(s, "qm", "pw", "", mysql::kDefaultClientFlags & ~0x8000u))
      << s.client->ErrorText();
  EXPECT_EQ(s.client->ServerCapabilities() & mysql::kClientSecureConnection, 0u);
  Login l = ParseLogin(qmtest::SplitPackets(s.vio->Written())[0]);
  EXPECT_EQ(l.flags & mysql::kClientSecureConnection, 0u);
  EXPECT_EQ(l.auth, *mysql::ScrambleOld("pw", "abcdefgh"));
}

TEST(MysqlSession, SecureLoginRequestedButNotOffered) {
  GreetingSpec g;
  g.withSecondPart = false;
  auto s = Make(qmtest::LoginScript(g));
  EXPECT_FALSE(Connect(s));
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_SECURE_AUTH);
  EXPECT_EQ(s.client->ErrorText(), "No secure authentication available to this MySQL server.");
  EXPECT_FALSE(s.client->IsConnected());
}

TEST(MysqlSession, OldMethodAnswerToSingleFeByte) {
  for (bool accepted : {true, false}) {
    auto s = Make(Packet(0, qmtest::Greeting()) + Packet(2, "\xFE") +
                  Packet(4, accepted ? qmtest::Ok() : qmtest::Err(1045, "Access denied")));
    EXPECT_EQ(Connect(s, "qm_old", "secret"), accepted);
    auto sent = qmtest::SplitPackets(s.vio->Written());
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], *mysql::ScrambleOld("secret", "abcdefgh") + '\0');
    EXPECT_EQ(s.vio->Written()[4 + sent[0].size() + 3], 3) << "the answer is packet 3";
    if (!accepted) {
      EXPECT_EQ(s.client->ErrorNumber(), 1045);
    }
  }
}

TEST(MysqlSession, ProtocolVersions) {
  struct Case {
    uint8_t protocol;
    bool ok;
    std::string text;
  };
  const Case cases[] = {
      {10, true, ""},
      {9, true, ""},
      {11, false, "Protocol mismatch. Server Version = 11 Client Version = 10"},
      {0, false, "Protocol mismatch. Server Version = 0 Client Version = 10"},
  };
  for (const auto& c : cases) {
    GreetingSpec g;
    g.protocol = c.protocol;
    g.withSecondPart = c.protocol != 9;
    auto s = Make(qmtest::LoginScript(g));
    EXPECT_EQ(Connect(s, "qm", "pw", "", 0), c.ok) << int{c.protocol};
    if (!c.ok) {
      EXPECT_FALSE(s.client->IsConnected());
      if (c.protocol != 255) {
        EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_VERSION_ERROR);
      }
      EXPECT_EQ(s.client->ErrorText().substr(0, c.text.size()), c.text);
    }
  }
}

TEST(MysqlSession, ProtocolNineGreetingGetsTheOldLoginForm) {
  GreetingSpec g;
  g.protocol = 9;
  g.withSecondPart = false;
  auto s = Make(Packet(0, qmtest::Greeting(g)) + Packet(2, std::string("\0\0\0", 3)));
  ASSERT_TRUE(Connect(s, "bob", "pw", "", 0)) << s.client->ErrorText();
  std::string login = qmtest::SplitPackets(s.vio->Written())[0];
  EXPECT_EQ(login.substr(2, 3), std::string(3, '\0')) << "no maximum packet size";
  EXPECT_EQ(login.substr(5, 4), std::string("bob\0", 4));
  EXPECT_EQ(login.substr(9, 8), *mysql::ScrambleOld("pw", "abcdefgh"));
}

TEST(MysqlSession, BrokenGreetingsAndLoginReplies) {
  struct Case {
    const char* what;
    std::string script;
    int number;
  };
  std::string g = qmtest::Greeting();
  const Case cases[] = {
      {"greeting with a wrong sequence number", Packet(1, g), mysql::CR_SERVER_LOST},
      {"version text without its end",
       Packet(0,
              "\x0a"
              "10.11"),
       mysql::CR_MALFORMED_PACKET},
      {"no thread id",
       Packet(0, std::string("\x0a"
                             "5.5\0\x01",
                             6)),
       mysql::CR_MALFORMED_PACKET},
      {"short first scramble",
       Packet(0, std::string("\x0a"
                             "5.5\0\1\0\0\0abc",
                             12)),
       mysql::CR_MALFORMED_PACKET},
      {"login reply with a wrong sequence number", Packet(0, g) + Packet(3, qmtest::Ok()),
       mysql::CR_SERVER_LOST},
      {"login reply that is no OK packet", Packet(0, g) + Packet(2, "\x07junk"),
       mysql::CR_MALFORMED_PACKET},
      {"error packet of 3 bytes", Packet(0, g) + Packet(2, "\xFF\x01\x02"),
       mysql::CR_UNKNOWN_ERROR},
      {"server goes silent", Packet(0, g), mysql::CR_SERVER_LOST},
  };
  for (const auto& c : cases) {
    auto s = Make(c.script);
    EXPECT_FALSE(Connect(s)) << c.what;
    EXPECT_EQ(s.client->ErrorNumber(), c.number) << c.what;
    EXPECT_FALSE(s.client->IsConnected()) << c.what;
  }
}

TEST(MysqlSession, DatabaseSelectedAfterLoginWhenServerCannotTakeItInLogin) {
  GreetingSpec g;
  g.caps &= ~mysql::kClientConnectWithDb;
  auto s = Make(qmtest::LoginScript(g) + Packet(1, qmtest::Ok()));
  ASSERT_TRUE(Connect(s, "qm", "pw", "shop")) << s.client->ErrorText();
  auto sent = qmtest::SplitPackets(s.vio->Written());
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(ParseLogin(sent[0]).db, "");
  EXPECT_EQ(sent[1], "\x02shop");
  EXPECT_EQ(s.client->Database(), "shop");
}

TEST(MysqlSession, ConnectOnConnectedSessionChangesNothing) {
  auto s = Make(qmtest::LoginScript());
  ASSERT_TRUE(Connect(s, "qm", "pw", "one"));
  EXPECT_EQ(s.client->Connect("other", "x", "y", "two", 1, "", false, 0), mysql::ClientResult::kOk);
  EXPECT_EQ(s.client->Host(), "127.0.0.1");
  EXPECT_EQ(s.client->Database(), "one");
  EXPECT_EQ(s.vio->Connects(), 1);
}

TEST(MysqlSession, SimpleCommandsSendTheirCodeAndArgument) {
  struct Case {
    const char* what;
    std::function<mysql::ClientResult(TMySQLDirectClient&)> run;
    std::string sent;
  };
  const Case cases[] = {
      {"select", [](auto& c) { return c.SelectDb("db1"); },
       "\x02"
       "db1"},
      {"create", [](auto& c) { return c.CreateDb("db2"); },
       "\x05"
       "db2"},
      {"drop", [](auto& c) { return c.DropDb("db3"); },
       "\x06"
       "db3"},
      {"kill", [](auto& c) { return c.Kill(0x01020304); }, "\x0c\x04\x03\x02\x01"},
      {"ping", [](auto& c) { return c.Ping(); }, "\x0e"},
  };
  for (const auto& c : cases) {
    auto s = Make(qmtest::LoginScript() + Packet(1, qmtest::Ok()));
    ASSERT_TRUE(Connect(s));
    s.vio->ClearWritten();
    EXPECT_EQ(c.run(*s.client), mysql::ClientResult::kOk) << c.what;
    EXPECT_EQ(s.vio->Written(), qmtest::Packet(0, c.sent)) << c.what;
  }
  auto s = Make(qmtest::LoginScript());
  ASSERT_TRUE(Connect(s));
  s.vio->ClearWritten();
  EXPECT_EQ(s.client->SelectDb(""), mysql::ClientResult::kFailed);
  EXPECT_EQ(s.client->CreateDb(""), mysql::ClientResult::kFailed);
  EXPECT_EQ(s.vio->Written(), "") << "an empty name sends nothing";
}

TEST(MysqlSession, ServerErrorLeavesSessionUsable) {
  auto s = Make(qmtest::LoginScript() + Packet(1, qmtest::Err(1049, "Unknown database 'x'")) +
                Packet(1, qmtest::Ok()));
  ASSERT_TRUE(Connect(s));
  EXPECT_EQ(s.client->SelectDb("x"), mysql::ClientResult::kFailed);
  EXPECT_EQ(s.client->ErrorNumber(), 1049);
  EXPECT_EQ(s.client->ErrorText(), "#HY000Unknown database 'x'");
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk);
  EXPECT_EQ(s.client->ErrorNumber(), 0);
}

TEST(MysqlSession, LostServerAndTheReconnectRule) {
  // The ping's reply never comes: the connection is lost.
  {
    auto s = Make(qmtest::LoginScript());
    ASSERT_TRUE(Connect(s));
    EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kFailed);
    EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_SERVER_LOST);
    EXPECT_FALSE(s.client->IsConnected());
    s.vio->RefuseConnects(true);
    EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kFailed)
        << "without reconnecting the next command fails";
    EXPECT_EQ(s.vio->Connects(), 1);
  }
  // With reconnecting allowed, a lost reply reconnects and the command runs again.
  {
    auto s = Make(qmtest::LoginScript() + qmtest::LoginScript() + Packet(1, qmtest::Ok()));
    ASSERT_TRUE(Connect(s));
    s.client->SetReconnectAllowed(true);
    s.vio->FailWrites(true);
    EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kFailed)
        << "the server is gone and cannot be reached again";
    EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_SERVER_GONE_ERROR);
  }
}

TEST(MysqlSession, LostReplyReconnectsAndRunsTheCommandAgain) {
  auto s = Make(qmtest::LoginScript());
  s.vio->AppendHangup();
  s.vio->AppendServerBytes(qmtest::LoginScript() + Packet(1, qmtest::Ok()));
  ASSERT_TRUE(Connect(s));
  s.client->SetReconnectAllowed(true);
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk) << s.client->ErrorText();
  EXPECT_EQ(s.vio->Connects(), 2);
  EXPECT_TRUE(s.client->IsConnected());
}

TEST(MysqlSession, NoReconnectInsideATransaction) {
  // The statement's OK says a transaction is open; then the server goes away.
  auto s = Make(qmtest::LoginScript() + Packet(1, qmtest::Ok(0, 0, 0x3)));
  s.vio->AppendHangup();
  s.vio->AppendServerBytes(qmtest::LoginScript() + Packet(1, qmtest::Ok()));
  ASSERT_TRUE(Connect(s));
  ASSERT_EQ(s.client->Query("begin"), mysql::ClientResult::kOk);
  EXPECT_EQ(s.client->ServerStatusFlags() & mysql::kServerInTransaction, 1);
  s.client->SetReconnectAllowed(true);
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kFailed)
      << "the transaction's work is gone: say so";
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_SERVER_LOST);
  EXPECT_EQ(s.vio->Connects(), 1);
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk)
      << "the loss was reported; the next command reconnects";
  EXPECT_EQ(s.vio->Connects(), 2);
}

TEST(MysqlSession, StatementTooLargeKeepsConnection) {
  auto s = Make(qmtest::LoginScript() + Packet(1, qmtest::Ok()));
  ASSERT_TRUE(Connect(s));
  EXPECT_EQ(s.client->Query(std::string(0xFFFFFE, 'x')), mysql::ClientResult::kFailed);
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_NET_PACKET_TOO_LARGE);
  EXPECT_TRUE(s.client->IsConnected());
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk);
}

TEST(MysqlSession, FailuresWithoutAConnectionSaySo) {
  TMySQLDirectClient c(std::make_unique<MemoryVio>(""));
  EXPECT_EQ(c.Connect("", "qm", "pw", "", 3306, "", false, 0), mysql::ClientResult::kFailed);
  EXPECT_EQ(c.ErrorNumber(), mysql::CR_WRONG_HOST_INFO);
  EXPECT_EQ(c.ErrorText(), "Wrong host info");
  TMySQLDirectClient never(std::make_unique<MemoryVio>(""));
  EXPECT_EQ(never.Ping(), mysql::ClientResult::kFailed);
  EXPECT_EQ(never.ErrorNumber(), mysql::CR_SERVER_GONE_ERROR);
  EXPECT_EQ(never.Query("select 1"), mysql::ClientResult::kFailed);
  EXPECT_EQ(never.ErrorText(), "MySQL server has gone away");
}

TEST(MysqlSession, ChangedCompressionOrPipeSettingClosesTheConnection) {
  for (int which = 0; which < 2; ++which) {
    auto s = Make(qmtest::LoginScript());
    ASSERT_TRUE(Connect(s));
    if (which == 0) {
      s.client->SetCompress(false);  // unchanged: stays
      EXPECT_TRUE(s.client->IsConnected());
      s.client->SetCompress(true);
    } else {
      s.client->SetNamedPipe(false);
      EXPECT_TRUE(s.client->IsConnected());
      s.client->SetNamedPipe(true);
    }
    EXPECT_FALSE(s.client->IsConnected()) << which;
  }
}

TEST(MysqlSession, CloseSendsQuit) {
  auto s = Make(qmtest::LoginScript());
  ASSERT_TRUE(Connect(s));
  s.vio->ClearWritten();
  s.client->Close();
  EXPECT_EQ(s.vio->Written(), Packet(0, "\x01"));
  EXPECT_FALSE(s.client->IsConnected());
  EXPECT_EQ(s.client->ThreadId(), 0u);
  EXPECT_EQ(s.client->ServerVersion(), "");
}

TEST(MysqlSession, PeerClosingAfterAnInterruptedWaitIsALostConnection) {
  auto s = Make(qmtest::LoginScript());
  s.vio->AppendInterruption();
  s.vio->AppendServerBytes(Packet(1, qmtest::Ok()));
  s.vio->AppendHangup();
  ASSERT_TRUE(Connect(s));
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk) << "an interrupted wait is tried again";
  const size_t before = s.vio->ReadCalls();
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kFailed);
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_SERVER_LOST);
  EXPECT_LE(s.vio->ReadCalls() - before, 2u)
      << "the end of the stream is not taken for another interruption";
}

TEST(MysqlSession, FailedLocalSocketConnectKeepsTheSocketForTheNextConnect) {
  auto s = Make(qmtest::LoginScript());
  s.client->SetNamedPipe(true);
  s.vio->RefuseConnects(true);
  EXPECT_FALSE(Connect(s));
  EXPECT_TRUE(s.client->NamedPipe()) << "nothing opened over TCP, so nothing switches to it";
  s.vio->RefuseConnects(false);
  ASSERT_TRUE(Connect(s)) << s.client->ErrorText();
  EXPECT_EQ(s.client->Net().Kind(), mysql::TMysqlVio::kPipe);
}

TEST(MysqlSession, ReconnectAfterCompressionSwitchedOffIsPlain) {
  GreetingSpec g;
  g.caps |= mysql::kClientCompress;
  for (bool byFlag : {false, true}) {
    auto s = Make(qmtest::LoginScript(g));
    s.vio->AppendHangup();
    s.vio->AppendServerBytes(qmtest::LoginScript(g) + Packet(1, qmtest::Ok()));
    if (!byFlag) s.client->SetCompress(true);
    ASSERT_TRUE(Connect(s, "qm", "pw", "",
                        mysql::kDefaultClientFlags | (byFlag ? mysql::kClientCompress : 0u)));
    ASSERT_TRUE(s.client->Net().Compress()) << byFlag;
    s.client->SetReconnectAllowed(true);
    s.client->SetCompress(false);
    EXPECT_FALSE(s.client->IsConnected()) << byFlag << ": the connection is compressed";
    s.vio->ClearWritten();
    EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kOk)
        << byFlag << ": " << s.client->ErrorText();
    auto sent = qmtest::SplitPackets(s.vio->Written());
    ASSERT_GE(sent.size(), 1u);
    EXPECT_EQ(ParseLogin(sent[0]).flags & mysql::kClientCompress, 0u) << byFlag;
    EXPECT_FALSE(s.client->Net().Compress()) << byFlag;
  }
}

TEST(MysqlSession, DatabaseSelectionThatKeepsFailingEndsTheConnect) {
  GreetingSpec g;
  g.caps &= ~uint16_t{mysql::kClientConnectWithDb};  // the database is selected after login
  auto s = Make("");
  for (int i = 0; i < 20; ++i) {
    s.vio->AppendServerBytes(qmtest::LoginScript(g));
    s.vio->AppendHangup();  // instead of answering the selection
  }
  s.client->SetReconnectAllowed(true);
  EXPECT_FALSE(Connect(s, "qm", "pw", "db1"));
  EXPECT_EQ(s.client->ErrorNumber(), mysql::CR_SERVER_LOST);
  EXPECT_EQ(s.vio->Connects(), 1) << "a connect does not reconnect from inside itself";
  EXPECT_EQ(s.client->Ping(), mysql::ClientResult::kFailed);
  EXPECT_EQ(s.vio->Connects(), 2) << "a command reconnects once";
}
