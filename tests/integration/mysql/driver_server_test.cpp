// The direct and library drivers against the private MariaDB server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mysql/driver/direct.h"
#include "mysql/driver/library.h"
#include "support/test_server.h"

using mysql::EMySQLError;
using mysql::TMySQLBase;
using mysql::TMySQLHandle;
using mysql::TMySQLResult;

namespace {

enum class Kind { kDirect, kLibrary };
const Kind kKinds[] = {Kind::kDirect, Kind::kLibrary};

const char* Name(Kind k) {
  return k == Kind::kDirect ? "direct" : "library";
}

std::unique_ptr<TMySQLBase> MakeDriver(Kind k, const std::string& options = {}) {
  if (k == Kind::kDirect) return std::make_unique<mysql::TMySQLDirect>(options);
  return std::make_unique<mysql::TMySQLLibrary>(options);
}

// The client flags the connection component sends by default.
constexpr uint32_t kFlags = 0x2600;

TMySQLHandle Open(TMySQLBase& d, const std::string& db = "qm_test", uint32_t flags = kFlags) {
  const TestServer& s = TestServer::Get();
  return d.Connect(s.host, s.user, s.password, static_cast<uint32_t>(s.port), flags, db);
}

using Rows = std::vector<std::vector<std::optional<std::string>>>;

Rows Select(TMySQLBase& d, TMySQLHandle h, const std::string& sql) {
  Rows rows;
  TMySQLResult r = d.Query(h, sql);
  EXPECT_NE(r, nullptr) << sql;
  const uint32_t n = d.NumFields(r);
  while (mysql::TMySQLRow row = d.FetchRow(r)) {
    const unsigned long* lengths = d.FetchLengths(r);
    auto& out = rows.emplace_back();
    for (uint32_t i = 0; i < n; ++i) {
      if (row[i]) {
        out.emplace_back(std::string(row[i], lengths[i]));
      } else {
        out.emplace_back(std::nullopt);
      }
    }
  }
  d.FreeResult(r);
  return rows;
}

std::string Scalar(TMySQLBase& d, TMySQLHandle h, const std::string& sql) {
  Rows rows = Select(d, h, sql);
  return rows.size() == 1 && rows[0].size() == 1 && rows[0][0] ? *rows[0][0] : "<none>";
}

void Exec(TMySQLBase& d, TMySQLHandle h, const std::string& sql) {
  TMySQLResult r = d.Query(h, sql);
  d.FreeResult(r);
}

}  // namespace

TEST(MysqlDriverServer, ConnectsOverTcpAndTheLocalSocket) {
  const TestServer& s = TestServer::Get();
  for (Kind k : kKinds) {
    for (bool socket : {false, true}) {
      SCOPED_TRACE(std::string(Name(k)) + (socket ? " socket" : " tcp"));
      auto d = MakeDriver(k, socket ? "protocol=pipe\r\nsocket=" + s.socket : "protocol=tcp");
      TMySQLHandle h = d->Connect(socket ? "localhost" : s.host, s.user, s.password,
                                  static_cast<uint32_t>(s.port), kFlags, "qm_test");
      ASSERT_NE(h, nullptr);
      EXPECT_EQ(d->Handle(), h);
      std::string host = Scalar(*d, h,
                                "SELECT host FROM information_schema.processlist "
                                "WHERE id = CONNECTION_ID()");
      if (socket) {
        EXPECT_EQ(host, "localhost");
      } else {
        EXPECT_EQ(host.rfind("127.0.0.1:", 0), 0u) << host;
      }
      EXPECT_NE(d->ServerInfo(h).find("MariaDB"), std::string::npos) << d->ServerInfo(h);
      EXPECT_EQ(d->ServerVer(), TMySQLBase::VersionNumber(d->ServerInfo(h)));
      EXPECT_GE(d->ServerVer(), 100000);
      EXPECT_EQ(d->ClientVer(), TMySQLBase::VersionNumber(d->ClientInfo()));
      EXPECT_EQ(d->ProtoInfo(h), 10u);
      EXPECT_EQ(std::to_string(d->ThreadId(h)), Scalar(*d, h, "SELECT CONNECTION_ID()"));
      if (k == Kind::kLibrary) {
        EXPECT_EQ(d->HostInfo(h), socket ? "Localhost via UNIX socket" : s.host + " via TCP/IP");
      } else {
        EXPECT_EQ(d->HostInfo(h), "") << "the built-in client describes no host";
        EXPECT_EQ(d->ClientVer(), 40114);
      }
      d->Close(h);
      EXPECT_EQ(h, nullptr);
    }
  }
}

// The protocol option in capitals, under a locale whose C library lower-cases 'I' to no
// ASCII letter: the direct driver still takes the socket, even with a TCP host beside it
// (the library follows libmariadb, which takes its socket only for "localhost").
TEST(MysqlDriverServer, ProtocolOptionInCapitalsUnderTurkishLocale) {
  const TestServer& s = TestServer::Get();
  ASSERT_NE(std::setlocale(LC_ALL, "tr_TR.UTF-8"), nullptr)
      << "locale tr_TR.UTF-8 is missing; scripts/install-deps generates it";
  auto d = MakeDriver(Kind::kDirect, "PROTOCOL=PIPE\r\nsocket=" + s.socket);
  TMySQLHandle h =
      d->Connect(s.host, s.user, s.password, static_cast<uint32_t>(s.port), kFlags, "qm_test");
  std::setlocale(LC_ALL, "C");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(Scalar(*d, h,
                   "SELECT host FROM information_schema.processlist WHERE id = CONNECTION_ID()"),
            "localhost");
  d->Close(h);
}

TEST(MysqlDriverServer, CompressionByClientFlag) {
  for (Kind k : kKinds) {
    SCOPED_TRACE(Name(k));
    auto d = MakeDriver(k);
    TMySQLHandle h = Open(*d, "qm_test", kFlags | 0x20);
    Rows rows = Select(*d, h, "SHOW SESSION STATUS LIKE 'Compression'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], "ON");
    EXPECT_EQ(Scalar(*d, h, "SELECT COUNT(*) FROM seq_1_to_5000"), "5000");
    d->Close(h);
  }
}

TEST(MysqlDriverServer, StatementsAndInfoAndCounters) {
  for (Kind k : kKinds) {
    SCOPED_TRACE(Name(k));
    auto d = MakeDriver(k);
    TMySQLHandle h = Open(*d);
    Exec(*d, h, "DROP TABLE IF EXISTS drv_counters");
    Exec(*d, h, "CREATE TABLE drv_counters (id INT AUTO_INCREMENT PRIMARY KEY, v VARCHAR(10))");
    EXPECT_EQ(d->Query(h, "INSERT INTO drv_counters (v) VALUES ('a'), ('b'), ('c')"), nullptr);
    std::string id = "untouched", affected = "untouched";
    d->InsertId(h, id);
    d->AffectedRows(h, affected);
    EXPECT_EQ(id, "1");
    EXPECT_EQ(affected, "3");
    EXPECT_EQ(d->Info(h), "Records: 3  Duplicates: 0  Warnings: 0");
    // A zero byte inside a statement is part of it, not its end.
    EXPECT_EQ(Scalar(*d, h, std::string("SELECT LENGTH('a\0b')", 21)), "3");
    const std::string awkward("it's a \"test\" \\ with\0zero\tand\r\nbreaks", 37);
    EXPECT_EQ(Scalar(*d, h, "SELECT '" + d->EscapeString(awkward) + "'"), awkward);
    EXPECT_TRUE(d->SelectDb(h, "qm_src"));
    EXPECT_EQ(Scalar(*d, h, "SELECT DATABASE()"), "qm_src");
    EXPECT_TRUE(d->Ping(h));
    EXPECT_TRUE(d->Refresh(h, 0));
    if (k == Kind::kLibrary) {
      // libmariadb has no mysql_create_db: the call says so instead of failing oddly.
      try {
        d->CreateDb(h, "qm_never");
        ADD_FAILURE() << "created a database through a missing entry point";
      } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), mysql::kNotImplementedMessage);
      }
      EXPECT_TRUE(d->Ping(h));
    }
    d->Close(h);
  }
}

// Under NO_BACKSLASH_ESCAPES a backslash is an ordinary character: escaping with it would
// end the literal at the quote it was meant to protect.
TEST(MysqlDriverServer, EscapingFollowsTheSessionsBackslashMode) {
  const std::string awkward("x\\' OR '1'='1\" -- \0\r\n", 21);
  for (Kind k : kKinds) {
    SCOPED_TRACE(Name(k));
    auto d = MakeDriver(k);
    TMySQLHandle h = Open(*d);
    Exec(*d, h, "SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES'");
    EXPECT_EQ(Scalar(*d, h, "SELECT '" + d->EscapeString(awkward) + "'"), awkward);
    Exec(*d, h, "SET SESSION sql_mode = ''");
    EXPECT_EQ(Scalar(*d, h, "SELECT '" + d->EscapeString(awkward) + "'"), awkward);
    d->Close(h);
  }
}

TEST(MysqlDriverServer, FailuresCarryNumberTextAndVersions) {
  const TestServer& s = TestServer::Get();
  std::string version;
  {
    auto d = MakeDriver(Kind::kDirect);
    TMySQLHandle h = Open(*d);
    version = d->ServerInfo(h);
    d->Close(h);
  }
  for (Kind k : kKinds) {
    SCOPED_TRACE(Name(k));
    auto d = MakeDriver(k);
    // A wrong password: the connect message with the server's reason in front.
    try {
      d->Connect(s.host, s.user, "wrong", static_cast<uint32_t>(s.port), kFlags, "qm_test");
      ADD_FAILURE() << "connected with a wrong password";
    } catch (const EMySQLError& e) {
      EXPECT_EQ(e.ErrorNumber(), 1045);
      const std::string reason = std::string(k == Kind::kDirect ? "#28000" : "") +
                                 "Access denied for user '" + s.user + "'@'" + s.host +
                                 "' (using password: YES)";
      // The built-in client read the server's version from its greeting; the library
      // forgets it with the failed connection.
      const std::string server = k == Kind::kDirect ? version : "";
      EXPECT_EQ(std::string(e.what()),
                "[1045] " + reason + ": Could not connect to mysql server using:\r\nUser: " +
                    s.user + "\r\nHost:" + s.host + "\r\nPort:" + std::to_string(s.port) +
                    "\r\nDB:qm_test\r\nPlease check the following:\r\n"
                    "> MySQL Server is running on the host and port specified and that you can "
                    "access it through possible firewalls\r\n"
                    "> If the server is available and on a remote machine, check that this "
                    "username (with password) may access it from a remote IP, see MySQL Manual "
                    "(Security)\r\nClient:" +
                    d->ClientInfo() + "\r\nServer:" + server);
    }
    EXPECT_EQ(d->Handle(), nullptr) << "a failed first connect leaves no main handle";
    TMySQLHandle h = Open(*d);
    ASSERT_NE(h, nullptr) << "and the driver connects again";
    // A statement error: number, the server's text and ": ", then the versions.
    try {
      d->Query(h, "SELECT * FROM no_such_table");
      ADD_FAILURE() << "no error";
    } catch (const EMySQLError& e) {
      EXPECT_EQ(e.ErrorNumber(), 1146);
      EXPECT_EQ(std::string(e.what()),
                std::string("[1146] ") + (k == Kind::kDirect ? "#42S02" : "") +
                    "Table 'qm_test.no_such_table' doesn't exist: \r\nClient:" + d->ClientInfo() +
                    "\r\nServer:" + d->ServerInfo(h));
    }
    EXPECT_TRUE(d->Ping(h)) << "the connection goes on";
    d->Close(h);
  }
}

TEST(MysqlDriverServer, ConnectAndReadTimeOuts) {
  // A listener that accepts and never greets.
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
  ASSERT_EQ(::listen(fd, 8), 0);
  socklen_t len = sizeof(a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  const uint32_t silent = ntohs(a.sin_port);
  const TestServer& s = TestServer::Get();
  for (Kind k : kKinds) {
    SCOPED_TRACE(Name(k));
    auto d = MakeDriver(k, "connect_timeout=1\r\nread_timeout=1\r\nprotocol=tcp");
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(d->Connect("127.0.0.1", s.user, s.password, silent, kFlags, ""), EMySQLError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    TMySQLHandle h = Open(*d);
    start = std::chrono::steady_clock::now();
    try {
      d->Query(h, "SELECT SLEEP(4)");
      ADD_FAILURE() << "the read did not time out";
    } catch (const EMySQLError& e) {
      EXPECT_EQ(e.ErrorNumber(), 2013) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3900));
    d->Close(h);
  }
  ::close(fd);
}

TEST(MysqlDriverServer, AutoreconnectOption) {
  for (Kind k : kKinds) {
    for (int reconnect : {0, 1}) {
      SCOPED_TRACE(std::string(Name(k)) + " autoreconnect=" + std::to_string(reconnect));
      auto d = MakeDriver(k, "autoreconnect=" + std::to_string(reconnect));
      TMySQLHandle h = Open(*d);
      TMySQLHandle killer = Open(*d);
      const uint32_t id = d->ThreadId(h);
      d->Kill(killer, id);
      // The server needs a moment to end the session.
      ::usleep(200000);
      if (reconnect) {
        EXPECT_TRUE(d->Ping(h));
        EXPECT_NE(d->ThreadId(h), id) << "a new session";
      } else {
        EXPECT_THROW(d->Ping(h), EMySQLError);
      }
      d->Close(killer);
      d->Close(h);
    }
  }
}

TEST(MysqlDriverServer, ClosingTheMainHandleUnloadsAndTheNextConnectLoads) {
  for (Kind k : kKinds) {
    SCOPED_TRACE(Name(k));
    auto d = MakeDriver(k);
    TMySQLHandle h = Open(*d);
    EXPECT_TRUE(d->Loaded());
    d->Close(h);
    EXPECT_FALSE(d->Loaded());
    EXPECT_EQ(d->ServerVer(), 0);
    EXPECT_EQ(d->ClientVer(), 0);
    EXPECT_EQ(d->ServerInfo(d->Handle()), "-1");
    h = Open(*d);
    EXPECT_TRUE(d->Loaded());
    EXPECT_EQ(Scalar(*d, h, "SELECT 1"), "1");
    d->Close(h);
  }
}

TEST(MysqlDriverServer, SecondHandleKeepsStreamingAfterTheMainHandleCloses) {
  for (Kind k : kKinds) {
    SCOPED_TRACE(Name(k));
    auto d = MakeDriver(k);
    TMySQLHandle main = Open(*d);
    TMySQLHandle own = Open(*d);
    TMySQLResult r = d->Query(own, "SELECT seq, REPEAT('x', 100) FROM seq_1_to_100000");
    ASSERT_NE(r, nullptr);
    ASSERT_NE(d->FetchRow(r), nullptr);
    d->Close(main);
    EXPECT_EQ(d->Handle(), nullptr);
    EXPECT_TRUE(d->Loaded()) << "another handle is still open";
    uint64_t rows = 1;
    while (mysql::TMySQLRow row = d->FetchRow(r)) {
      ++rows;
      ASSERT_EQ(std::string(row[0]), std::to_string(rows));
    }
    EXPECT_EQ(rows, 100000u);
    EXPECT_EQ(d->ErrorNumber(own), 0);
    d->FreeResult(r);
    EXPECT_TRUE(d->Loaded());
    d->Close(own);
    EXPECT_FALSE(d->Loaded()) << "the last handle took the library with it";
  }
}

TEST(MysqlDriverServer, EveryColumnTypeReadsTheSameThroughBothDrivers) {
  auto direct = MakeDriver(Kind::kDirect);
  auto library = MakeDriver(Kind::kLibrary);
  TMySQLHandle dh = Open(*direct);
  TMySQLHandle lh = Open(*library);
  Exec(*direct, dh, "DROP TABLE IF EXISTS drv_types");
  Exec(*direct, dh,
       "CREATE TABLE drv_types (id INT NOT NULL PRIMARY KEY, ti TINYINT, tu TINYINT UNSIGNED, "
       "si SMALLINT, mi MEDIUMINT, i INT UNSIGNED, bi BIGINT, f FLOAT, d DOUBLE, "
       "dc DECIMAL(12,4), bo BOOLEAN, b BIT(5), dt DATE, tm TIME(3), dtm DATETIME(6), "
       "ts TIMESTAMP NULL, y YEAR, c CHAR(5), vc VARCHAR(20), bn BINARY(4), vb VARBINARY(8), "
       "tb TINYBLOB, bl BLOB, mb MEDIUMBLOB, lb LONGBLOB, tt TINYTEXT, tx TEXT, mt MEDIUMTEXT, "
       "lt LONGTEXT, e ENUM('a','b'), st SET('x','y'), j JSON, g POINT, "
       "u VARCHAR(10) CHARACTER SET utf8mb4)");
  Exec(*direct, dh,
       "INSERT INTO drv_types VALUES (1, -128, 255, -32768, 8388607, 4294967295, "
       "-9223372036854775808, 1.5, -2.25e-300, 12345678.1234, TRUE, b'10101', '2024-02-29', "
       "'-838:59:59.999', '9999-12-31 23:59:59.999999', '2038-01-19 03:14:07', 2155, 'ab', "
       "'tab\there', x'00FF0001', x'000102', x'00', 'blob\\0zero', REPEAT('m', 70000), '', "
       "'tiny', 'line\\nbreak', 'medium', 'long', 'b', 'x,y', '{\"k\": [1, 2]}', "
       "POINT(1, 2), 'Grüße ✓')");
  Exec(*direct, dh, "INSERT INTO drv_types (id) VALUES (2)");
  const std::string sql = "SELECT *, id + 1 AS calc, NULL AS nothing FROM drv_types ORDER BY id";
  TMySQLResult dr = direct->Query(dh, sql);
  TMySQLResult lr = library->Query(lh, sql);
  ASSERT_NE(dr, nullptr);
  ASSERT_NE(lr, nullptr);
  ASSERT_EQ(direct->NumFields(dr), library->NumFields(lr));
  const uint32_t n = direct->NumFields(dr);
  EXPECT_EQ(n, 36u);
  for (uint32_t i = 0; i < n; ++i) {
    mysql::TMysqlField a, b;
    direct->FetchField(dr, a);
    library->FetchField(lr, b);
    SCOPED_TRACE(a.name);
    EXPECT_FALSE(a.name.empty());
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.org_name, b.org_name);
    EXPECT_EQ(a.table, b.table);
    EXPECT_EQ(a.org_table, b.org_table);
    EXPECT_EQ(a.db, b.db);
    EXPECT_EQ(a.def, b.def);
    EXPECT_EQ(a.length, b.length);
    EXPECT_EQ(a.max_length, b.max_length);
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_EQ(a.decimals, b.decimals);
    EXPECT_EQ(int{a.type}, int{b.type});
  }
  mysql::TMysqlField past;
  past.name = "kept";
  direct->FetchField(dr, past);
  EXPECT_EQ(past.name, "") << "past the last column the name is empty";
  int rows = 0;
  for (;;) {
    mysql::TMySQLRow a = direct->FetchRow(dr);
    mysql::TMySQLRow b = library->FetchRow(lr);
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (!a) break;
    ++rows;
    const unsigned long* al = direct->FetchLengths(dr);
    const unsigned long* bl = library->FetchLengths(lr);
    for (uint32_t i = 0; i < n; ++i) {
      SCOPED_TRACE("row " + std::to_string(rows) + " column " + std::to_string(i));
      ASSERT_EQ(a[i] == nullptr, b[i] == nullptr);
      EXPECT_EQ(al[i], bl[i]);
      if (a[i]) {
        EXPECT_EQ(std::string(a[i], al[i]), std::string(b[i], bl[i]));
      }
    }
  }
  EXPECT_EQ(rows, 2);
  direct->FreeResult(dr);
  library->FreeResult(lr);
  direct->Close(dh);
  library->Close(lh);
}
