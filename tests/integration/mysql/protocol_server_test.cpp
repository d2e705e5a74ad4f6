// The built-in client against the private MariaDB server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mysql/protocol/client.h"
#include "mysql/protocol/client_errors.h"
#include "support/test_server.h"

using mysql::TMysqlClient;
using mysql::TMySQLDirectClient;

namespace {

enum class Via { kTcp, kSocket };

std::unique_ptr<TMySQLDirectClient> Open(Via via = Via::kTcp, bool compress = false,
                                         const std::string& db = "qm_test",
                                         uint32_t flags = mysql::kDefaultClientFlags) {
  const TestServer& s = TestServer::Get();
  auto c = std::make_unique<TMySQLDirectClient>();
  c->SetConnectTimeout(10);
  c->SetCompress(compress);
  mysql::ClientResult rc;
  if (via == Via::kSocket) {
    c->SetNamedPipe(true);
    rc = c->Connect("localhost", s.user, s.password, db, 0, s.socket, false, flags);
  } else {
    rc =
        c->Connect(s.host, s.user, s.password, db, static_cast<uint32_t>(s.port), "", false, flags);
  }
  EXPECT_EQ(rc, mysql::ClientResult::kOk) << c->ErrorNumber() << " " << c->ErrorText();
  return c;
}

bool Exec(TMysqlClient& c, const std::string& sql) {
  bool ok = c.Query(sql) == mysql::ClientResult::kOk;
  EXPECT_TRUE(ok) << sql << ": " << c.ErrorNumber() << " " << c.ErrorText();
  return ok;
}

// Every row of a statement's result, NULL as nullopt.
using Rows = std::vector<std::vector<std::optional<std::string>>>;
Rows Select(TMysqlClient& c, const std::string& sql) {
  Rows rows;
  if (!Exec(c, sql)) return rows;
  auto r = c.UseResult();
  EXPECT_NE(r, nullptr) << sql;
  if (!r) return rows;
  while (const char* const* row = r->FetchRow()) {
    auto& out = rows.emplace_back();
    for (uint32_t i = 0; i < r->NumFields(); ++i) {
      if (row[i])
        out.emplace_back(std::string(row[i], r->FetchLengths()[i]));
      else
        out.emplace_back(std::nullopt);
    }
  }
  EXPECT_EQ(r->LastReadResult(), mysql::RowRead::kEnd) << sql << ": " << c.ErrorText();
  return rows;
}

std::string Scalar(TMysqlClient& c, const std::string& sql) {
  Rows rows = Select(c, sql);
  return rows.size() == 1 && rows[0].size() == 1 && rows[0][0] ? *rows[0][0] : "<none>";
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

}  // namespace

TEST(MysqlProtocolServer, ConnectsOverTcpAndLocalSocket) {
  for (Via via : {Via::kTcp, Via::kSocket}) {
    auto c = Open(via);
    ASSERT_TRUE(c->IsConnected());
    EXPECT_EQ(c->Net().Kind(), via == Via::kTcp ? 1 : 3);
    EXPECT_NE(c->ServerVersion().find("MariaDB"), std::string::npos);
    EXPECT_EQ(c->ProtocolVersion(), 10u);
    EXPECT_EQ(Scalar(*c, "SELECT CONNECTION_ID()"), std::to_string(c->ThreadId()));
    EXPECT_EQ(Scalar(*c, "SELECT DATABASE()"), "qm_test");
    EXPECT_EQ(Scalar(*c, "SELECT @@character_set_client"), "utf8mb4");
  }
}

TEST(MysqlProtocolServer, LoginFailuresCarryTheServersMessage) {
  const TestServer& s = TestServer::Get();
  struct Case {
    std::string user, password;
  };
  for (const Case& k : {Case{s.user, "wrong"}, Case{s.oldUser, "wrong"}, Case{"nobody", ""}}) {
    TMySQLDirectClient c;
    EXPECT_EQ(
        c.Connect(s.host, k.user, k.password, "", s.port, "", false, mysql::kDefaultClientFlags),
        mysql::ClientResult::kFailed);
    EXPECT_EQ(c.ErrorNumber(), 1045) << k.user;
    EXPECT_NE(c.ErrorText().find("Access denied for user '" + k.user + "'"), std::string::npos)
        << c.ErrorText();
    EXPECT_FALSE(c.IsConnected());
  }
}

TEST(MysqlProtocolServer, OldPasswordAccountThroughTheOldExchange) {
  const TestServer& s = TestServer::Get();
  TMySQLDirectClient c;
  ASSERT_EQ(c.Connect(s.host, s.oldUser, s.oldPassword, "", s.port, "", false,
                      mysql::kDefaultClientFlags),
            mysql::ClientResult::kOk)
      << c.ErrorText();
  EXPECT_EQ(Scalar(c, "SELECT CURRENT_USER()"), s.oldUser + "@127.0.0.1");
}

TEST(MysqlProtocolServer, SameResultsWithAndWithoutCompression) {
  const std::string sql =
      "SELECT 1, NULL, '', UNHEX('00FF00'), 'tab\\there', REPEAT('abc', 5000), "
      "CAST(12.50 AS DECIMAL(6,2)), DATE('2024-02-29'), seq FROM seq_1_to_300";
  Rows plain, packed;
  {
    auto c = Open(Via::kTcp, false);
    plain = Select(*c, sql);
    EXPECT_EQ(c->ClientFlags() & mysql::kClientCompress, 0u);
  }
  {
    auto c = Open(Via::kTcp, true);
    EXPECT_TRUE(c->Net().Compress());
    packed = Select(*c, sql);
  }
  ASSERT_EQ(plain.size(), 300u);
  EXPECT_EQ(plain, packed);
  EXPECT_EQ(plain[0][3], std::string("\0\xFF\0", 3));
}

TEST(MysqlProtocolServer, DatabaseCommands) {
  auto c = Open(Via::kTcp, false, "");
  const std::string db = "qm_proto_cmd_" + std::to_string(::getpid());
  ASSERT_TRUE(Exec(*c, "DROP DATABASE IF EXISTS " + db));
  // MariaDB 10.11 no longer has the create and drop commands: the server's own answer
  // reaches the caller and the session goes on.
  EXPECT_EQ(c->CreateDb(db), mysql::ClientResult::kFailed);
  EXPECT_EQ(c->ErrorNumber(), 1047) << c->ErrorText();
  EXPECT_EQ(c->ErrorText(), "#08S01Unknown command");
  EXPECT_EQ(c->DropDb(db), mysql::ClientResult::kFailed);
  EXPECT_EQ(c->ErrorNumber(), 1047);
  ASSERT_TRUE(Exec(*c, "CREATE DATABASE " + db));
  ASSERT_EQ(c->SelectDb(db), mysql::ClientResult::kOk) << c->ErrorText();
  EXPECT_EQ(Scalar(*c, "SELECT DATABASE()"), db);
  EXPECT_EQ(c->Database(), db);
  EXPECT_EQ(c->Ping(), mysql::ClientResult::kOk);
  ASSERT_TRUE(Exec(*c, "DROP DATABASE " + db));
  EXPECT_EQ(c->SelectDb(db), mysql::ClientResult::kFailed);
  EXPECT_EQ(c->ErrorNumber(), 1049);
  EXPECT_NE(c->ErrorText().find("Unknown database"), std::string::npos);
  EXPECT_EQ(c->Ping(), mysql::ClientResult::kOk) << "a server error leaves the session usable";
}

TEST(MysqlProtocolServer, KilledSessionIsLostThenReconnects) {
  auto killer = Open();
  for (bool reconnect : {false, true}) {
    auto victim = Open();
    victim->SetReconnectAllowed(reconnect);
    const uint32_t id = victim->ThreadId();
    ASSERT_EQ(killer->Kill(id), mysql::ClientResult::kOk) << killer->ErrorText();
    // The server closes the victim's connection as it kills the thread.
    for (int i = 0; i < 50 && Scalar(*killer,
                                     "SELECT COUNT(*) FROM information_schema.processlist"
                                     " WHERE id = " +
                                         std::to_string(id)) != "0";
         ++i) {
      ::usleep(20000);
    }
    if (!reconnect) {
      EXPECT_EQ(victim->Ping(), mysql::ClientResult::kFailed);
      EXPECT_TRUE(victim->ErrorNumber() == mysql::CR_SERVER_LOST ||
                  victim->ErrorNumber() == mysql::CR_SERVER_GONE_ERROR)
          << victim->ErrorNumber() << " " << victim->ErrorText();
      EXPECT_FALSE(victim->IsConnected());
      EXPECT_EQ(victim->Ping(), mysql::ClientResult::kFailed)
          << "no reconnecting when it is not allowed";
    } else {
      EXPECT_EQ(victim->Ping(), mysql::ClientResult::kOk) << victim->ErrorText();
      EXPECT_NE(victim->ThreadId(), id);
      EXPECT_EQ(Scalar(*victim, "SELECT DATABASE()"), "qm_test");
    }
  }
}

TEST(MysqlProtocolServer, CommandsFromTwoThreadsDoNotInterleave) {
  auto c = Open();
  std::atomic<int> failures{0};
  auto pinger = [&] {
    for (int i = 0; i < 300; ++i) {
      if (c->Ping() != mysql::ClientResult::kOk) ++failures;
    }
  };
  std::thread a(pinger), b(pinger);
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0) << c->ErrorText();
  EXPECT_EQ(Scalar(*c, "SELECT 'still in step'"), "still in step");
}

TEST(MysqlProtocolServer, StreamedValuesNullEmptyAndZeroBytes) {
  auto c = Open();
  ASSERT_TRUE(Exec(*c, "DROP TABLE IF EXISTS proto_values"));
  ASSERT_TRUE(Exec(*c,
                   "CREATE TABLE proto_values (id INT PRIMARY KEY, t VARCHAR(20), b BLOB, "
                   "u VARCHAR(20) CHARACTER SET utf8mb4)"));
  ASSERT_TRUE(Exec(*c,
                   "INSERT INTO proto_values VALUES (1, NULL, NULL, NULL), (2, '', '', ''), "
                   "(3, 'a\\tb\\nc', UNHEX('610062'), 'ünï€😀')"));
  EXPECT_EQ(c->AffectedRows(), 3u);
  EXPECT_EQ(c->Info(), "Records: 3  Duplicates: 0  Warnings: 0");
  Rows rows = Select(*c, "SELECT id, t, b, u FROM proto_values ORDER BY id");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::optional<std::string>>{"1", std::nullopt, std::nullopt,
                                                              std::nullopt}));
  EXPECT_EQ(rows[1], (std::vector<std::optional<std::string>>{"2", "", "", ""}));
  EXPECT_EQ(rows[2][1], "a\tb\nc");
  EXPECT_EQ(rows[2][2], std::string("a\0b", 3));
  EXPECT_EQ(rows[2][3], "ünï€😀") << "UTF-8 both ways";
  EXPECT_EQ(c->AffectedRows(), 3u) << "rows read count as affected";

  ASSERT_TRUE(Exec(*c, "SELECT id, t, b FROM proto_values"));
  auto r = c->UseResult();
  ASSERT_NE(r, nullptr);
  auto* direct = static_cast<mysql::TMySQLDirectResult*>(r.get());
  const mysql::TMysqlField* f = direct->FetchField();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->name, "id");
  EXPECT_EQ(f->org_table, "proto_values");
  EXPECT_EQ(f->db, "qm_test");
  EXPECT_EQ(f->type, 3);
  EXPECT_TRUE(f->flags & mysql::kNumFlag);
  EXPECT_EQ(direct->FetchField()->type, 253);
  EXPECT_TRUE(direct->FetchField()->flags & mysql::kBlobFlag);
  EXPECT_EQ(direct->FetchField(), nullptr);
}

TEST(MysqlProtocolServer, EmptyResultFreeResultAndOutOfSync) {
  auto c = Open();
  ASSERT_TRUE(Exec(*c, "SELECT seq FROM seq_1_to_10 WHERE seq > 100"));
  auto empty = c->UseResult();
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->FetchRow(), nullptr);
  EXPECT_EQ(empty->NumRows(), 0u);
  EXPECT_EQ(c->Status(), 0);

  ASSERT_TRUE(Exec(*c, "SELECT seq, REPEAT('x', 1000) FROM seq_1_to_5000"));
  auto r = c->UseResult();
  ASSERT_NE(r, nullptr);
  ASSERT_NE(r->FetchRow(), nullptr);
  EXPECT_EQ(c->Query("SELECT 1"), mysql::ClientResult::kFailed);
  EXPECT_EQ(c->ErrorNumber(), mysql::CR_COMMANDS_OUT_OF_SYNC);
  mysql::FreeResult(r);
  EXPECT_EQ(Scalar(*c, "SELECT 'next'"), "next") << "drained: the next command works";
}

TEST(MysqlProtocolServer, ValuesOfSeveralMegabytesInBothFormats) {
  for (bool compress : {false, true}) {
    auto c = Open(Via::kTcp, compress);
    const std::string table = compress ? "proto_big_z" : "proto_big";
    ASSERT_TRUE(Exec(*c, "DROP TABLE IF EXISTS " + table));
    ASSERT_TRUE(Exec(*c, "CREATE TABLE " + table + " (id INT, v LONGBLOB)"));
    std::string value(6 * 1024 * 1024, '\0');
    for (size_t i = 0; i < value.size(); ++i) value[i] = "abcdefghijklmnopqrstuvwxyz"[i * 7 % 26];
    ASSERT_TRUE(Exec(*c, "INSERT INTO " + table + " VALUES (1, '" + value + "')"));
    Rows rows = Select(*c, "SELECT v, LENGTH(v) FROM " + table);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], std::to_string(value.size()));
    EXPECT_TRUE(rows[0][0] == value) << "compress=" << compress;
    EXPECT_EQ(Scalar(*c, "SELECT LENGTH(REPEAT('z', 9000000))"), "9000000");
  }
}

TEST(MysqlProtocolServer, LoadDataLocalInfile) {
  char path[] = "/tmp/qm-load-XXXXXX";
  int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  {
    // Several upload packets' worth.
    std::ofstream out(path, std::ios::binary);
    for (int i = 1; i <= 20000; ++i) out << i << "\tname " << i << "\n";
  }
  for (bool compress : {false, true}) {
    auto c = Open(Via::kTcp, compress);
    const std::string table = compress ? "proto_load_z" : "proto_load";
    ASSERT_TRUE(Exec(*c, "DROP TABLE IF EXISTS " + table));
    ASSERT_TRUE(Exec(*c, "CREATE TABLE " + table + " (id INT, name VARCHAR(40))"));
    ASSERT_TRUE(Exec(*c, std::string("LOAD DATA LOCAL INFILE '") + path + "' INTO TABLE " + table));
    EXPECT_EQ(c->AffectedRows(), 20000u);
    EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM " + table), "20000");
    EXPECT_EQ(Scalar(*c, "SELECT name FROM " + table + " WHERE id = 17777"), "name 17777");

    // A file that is not there: the statement fails with its message, the session goes on.
    EXPECT_EQ(c->Query("LOAD DATA LOCAL INFILE '/nonexistent/x.tsv' INTO TABLE " + table),
              mysql::ClientResult::kFailed);
    EXPECT_EQ(c->ErrorText(), "File '/nonexistent/x.tsv' not found (Errcode: 2)");
    EXPECT_EQ(Scalar(*c, "SELECT COUNT(*) FROM " + table), "20000");

    // Without local files asked for, the server is told so and refuses itself.
    auto off = Open(Via::kTcp, compress, "qm_test", mysql::kDefaultClientFlags & ~0x80u);
    EXPECT_EQ(off->Query(std::string("LOAD DATA LOCAL INFILE '") + path + "' INTO TABLE " + table),
              mysql::ClientResult::kFailed);
    EXPECT_GT(off->ErrorNumber(), 0);
    EXPECT_EQ(Scalar(*off, "SELECT COUNT(*) FROM " + table), "20000");
  }
  std::remove(path);
}

TEST(MysqlProtocolServer, CommandLineClientPrintsLikeMariadbBatch) {
  const TestServer& s = TestServer::Get();
  const std::string args =
      " --user=" + s.user + " --password=" + s.password + " --database=qm_test";
  const std::string tcp = " --host=" + s.host + " --port=" + std::to_string(s.port);
  const std::string sql =
      "SELECT 1 AS n, NULL AS nothing, '' AS empty, 'a\\tb\\nc\\\\d' AS esc, UNHEX('41004') AS z,"
      " 'ünï' AS u";
  const std::string ours =
      Capture(std::string(QM_MYSQL_TOOL) + tcp + args + " -e \"" + sql +
              ";\" -e \"SELECT seq FROM seq_1_to_3;\" -e \"SELECT 1 AS none FROM DUAL WHERE 0\"");
  const std::string theirs =
      Capture("mariadb --no-defaults --batch --protocol=tcp" + tcp + args + " -e \"" + sql +
              "; SELECT seq FROM seq_1_to_3; SELECT 1 AS none FROM DUAL WHERE 0\"");
  EXPECT_FALSE(ours.empty());
  EXPECT_EQ(ours, theirs);

  // Statements from standard input, over the local socket, compressed.
  const std::string piped =
      Capture("printf 'SELECT 2 AS two;\\nSELECT\\n  3 AS three;\\n' | " +
              std::string(QM_MYSQL_TOOL) + " --socket=" + s.socket + " --compress" + args);
  EXPECT_EQ(piped, "two\n2\nthree\n3\n");

  const std::string failed = Capture(std::string(QM_MYSQL_TOOL) + tcp + args +
                                     " -e 'SELECT * FROM missing_table' 2>&1;"
                                     " echo \"exit=$?\"");
  EXPECT_EQ(failed,
            "--------------\nSELECT * FROM missing_table\n--------------\n\n"
            "ERROR 1146 (42S02) at line 1: Table 'qm_test.missing_table' doesn't exist\nexit=1\n");
}

namespace {

std::string ShellQuoted(const std::string& s) {
  std::string out = "'";
  for (char ch : s) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return out + "'";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Ran {
  std::string out, err;
  int status = -1;
};

// Runs `command` with `input` on its standard input.
Ran RunWithInput(const std::string& command, const std::string& input) {
  char dir[] = "/tmp/qm-batch-XXXXXX";
  if (!::mkdtemp(dir)) return {};
  const std::string d = dir;
  std::ofstream(d + "/in", std::ios::binary) << input;
  Ran r;
  r.status = std::system((command + " <" + d + "/in >" + d + "/out 2>" + d + "/err").c_str());
  r.out = ReadFile(d + "/out");
  r.err = ReadFile(d + "/err");
  std::system(("rm -rf " + d).c_str());
  return r;
}

}  // namespace

// The same scripts through quillmark-mysql and `mariadb --batch`: standard output,
// standard error and exit status must agree.
TEST(MysqlProtocolServer, CommandLineClientAgreesWithMariadbOnScripts) {
  const TestServer& s = TestServer::Get();
  const std::string args = " --host=" + s.host + " --port=" + std::to_string(s.port) +
                           " --user=" + s.user + " --password=" + s.password + " qm_test";
  {
    TMysqlClient c;
    ASSERT_EQ(c.Connect(s.host, s.user, s.password, "qm_test", static_cast<uint32_t>(s.port), "",
                        false, mysql::kDefaultClientFlags),
              mysql::ClientResult::kOk);
    ASSERT_TRUE(Exec(c, "DROP PROCEDURE IF EXISTS batch_two_sets"));
    ASSERT_TRUE(Exec(c,
                     "CREATE PROCEDURE batch_two_sets() BEGIN SELECT 1 AS a; "
                     "SELECT 'x' AS b, NULL AS c UNION ALL SELECT 'y', 2; END"));
  }
  struct Case {
    const char* what;
    std::vector<std::string> execute;  // -e options; none: the script is standard input
    std::string input;
  };
  const Case cases[] = {
      {"several statements in one -e", {"select 1 as a; select 2 as b;"}, ""},
      {"several -e joined with a blank", {"select 1", "select 2"}, ""},
      {"a comment in one -e swallows the next", {"select 1 # x", "select 2"}, ""},
      {"error after output, statement framed", {"select 1;", "select nope"}, ""},
      {"a lone ;", {";"}, ""},
      {"an empty -e", {""}, ""},
      {"comments kept apart from executable ones",
       {"/* x */ select 1 /*!  , 2 */ -- tail"}, ""},
      {"error line is the first token's line", {"select 1;\n-- c\n  select nope; select 3"}, ""},
      {"byte-order mark, multi-line string, empty statements", {},
       "\xEF\xBB\xBFselect 1 as a;\nselect \"x\ny\" as b;\n;\n;;\nselect 3 #c\n;\n"},
      {"string with ; -- and an escaped quote after three backslashes", {},
       "select 'a\\\\\\'b;--c\n#d' as s;\n"},
      {"error after comments on later lines", {},
       "select 1;\n/* a\nb */ -- c\n  select nope ;\nselect 2;\n"},
      {"unclosed string runs to the end", {}, "select 1;\nselect \"unclosed;\nselect 2;\n"},
      {"last statement without terminator", {}, "select 5 as five"},
      {"CALL with two result sets, then more", {"call batch_two_sets(); select 9 as n"}, ""},
      {"CALL then a failing statement", {"call batch_two_sets(); select nope"}, ""},
      {"use of a missing database", {"use no_such_db"}, ""},
  };
  for (const auto& c : cases) {
    std::string execute;
    for (const auto& e : c.execute) execute += " -e " + ShellQuoted(e);
    const Ran ours = RunWithInput(std::string(QM_MYSQL_TOOL) + args + execute, c.input);
    const Ran theirs = RunWithInput(
        "mariadb --no-defaults --batch --protocol=tcp" + args + execute, c.input);
    EXPECT_EQ(ours.out, theirs.out) << c.what;
    EXPECT_EQ(ours.err, theirs.err) << c.what;
    EXPECT_EQ(ours.status, theirs.status) << c.what;
  }
}

TEST(MysqlProtocolServer, CommandLineClientPasswordAndOutput) {
  const TestServer& s = TestServer::Get();
  const std::string tool = QM_MYSQL_TOOL;
  const std::string conn = " --host=" + s.host + " --port=" + std::to_string(s.port) +
                           " --user=" + s.user + " --database=qm_test";

  // The password does not stay readable in the process list.
  const std::string seen = Capture(tool + conn + " -p" + s.password +
                                   " -e 'select sleep(1)' >/dev/null & sleep 0.5;"
                                   " tr '\\0' ' ' </proc/$!/cmdline; wait");
  EXPECT_EQ(seen.find(s.password), std::string::npos) << seen;
  EXPECT_NE(seen.find(" -p" + std::string(s.password.size(), 'x') + " "), std::string::npos)
      << seen;

  // MYSQL_PWD when no password is given.
  EXPECT_EQ(Capture("MYSQL_PWD=" + ShellQuoted(s.password) + " " + tool + conn +
                    " -e 'select 1 as one'"),
            "one\n1\n");

  // -p alone asks on the terminal, without echo.
  const std::string asked =
      Capture("(sleep 0.5; echo " + ShellQuoted(s.password) + ") | script -qec " +
              ShellQuoted(tool + conn + " -p -e 'select 7 as t'") + " /dev/null");
  EXPECT_EQ(asked, "Enter password: \r\nt\r\n7\r\n");

  // Help goes to standard output; a reader that goes away ends the program quietly.
  EXPECT_NE(Capture(tool + " --help 2>/dev/null; echo \"exit=$?\"").find("usage:"),
            std::string::npos);
  EXPECT_NE(Capture(tool + " --help 2>/dev/null; echo \"exit=$?\"").find("\nexit=0\n"),
            std::string::npos);
  EXPECT_EQ(Capture("bash -c " + ShellQuoted("set -o pipefail; " + tool + conn + " -p" +
                                             s.password +
                                             " -e 'select seq from seq_1_to_2000000' 2>&1 |"
                                             " head -1; echo \"exit=$?\"")),
            "seq\nexit=0\n");
}
