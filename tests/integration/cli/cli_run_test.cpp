// quillmark-cli run as a separate process, as a user runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "integration/job/job_databases.h"
#include "job/script_file.h"
#include "support/test_server.h"

namespace jobtest {
namespace {

using Lines = std::vector<std::string>;
using Table = std::vector<std::vector<std::string>>;

struct Result {
  int status = -1;  // exit status, or -1 when ended by a signal
  int signal = 0;   // the signal that ended it
  std::string out;
  std::string err;
};

// Runs quillmark-cli in dir. onOutput sees the standard output read so far and may
// act on the child (send it signals) while it runs.
Result RunCli(const std::vector<std::string>& args, const std::string& dir,
              const std::function<void(const std::string&, pid_t)>& onOutput = {}) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(QM_CLI_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(QM_CLI_PATH, argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  Result r;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, 60000) <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[8192];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
      if (i == 0 && onOutput) onOutput(r.out, pid);
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  return r;
}

Lines SplitLines(const std::string& text) {
  Lines out;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    out.push_back(text.substr(start, nl - start));
  if (start < text.size()) out.push_back(text.substr(start));
  return out;
}

bool StartsWith(const std::string& s, const std::string& head) {
  return s.rfind(head, 0) == 0;
}

std::string AccessFile() {
  return TestDataDir() + "/testodbc.mdb";
}
std::string AccessString() {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + AccessFile();
}

class Cli : public JobDatabases {
 protected:
  Result Run(std::vector<std::string> args) { return RunCli(args, WorkDir()); }
  std::vector<std::string> MySQLToMySQL(std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--source", kSourceString, "--dest", kDestString};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  std::string ErrorLogFile() const { return WorkDir() + "/quillmark-cli.log"; }
};

TEST_F(Cli, AJobWithoutErrorsExitsZeroWithThePlainLogAndASummary) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))",
            "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, NULL)"});
  const std::string script = WorkDir() + "/out.sql";
  const Result r = Run(MySQLToMySQL({"--script", script}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find('\033'), std::string::npos) << "colours on a pipe";
  const Lines out = SplitLines(r.out);
  ASSERT_FALSE(out.empty());
  EXPECT_TRUE(StartsWith(out.back(), "Summary: 1 objects, 3 rows inserted, 3 updated, 0 failed, "))
      << out.back();
  EXPECT_NE(out.back().find(" rows per second"), std::string::npos);
  EXPECT_NE(r.out.find(" : Begin transfer data of t.\n"), std::string::npos);
  // Messages the windows show in boxes, and no progress line on a pipe.
  EXPECT_EQ(r.err, "Created scripts have saved to " + script + ".\n");
  EXPECT_EQ(Rows("SELECT id, v FROM `" + dstDb + "`.t ORDER BY id"),
            (Table{{"1", "a"}, {"2", "b"}, {"3", "NULL"}}));
  ASSERT_TRUE(std::filesystem::exists(ErrorLogFile()));
  EXPECT_EQ(ReadFile(ErrorLogFile()), "");
}

TEST_F(Cli, AJobWithErrorLinesExitsThreeAndWritesThemToTheErrorLog) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)", "INSERT INTO t VALUES (1)"});
  const Result r = Run(MySQLToMySQL({"--no-drop", "--no-create"}));
  EXPECT_EQ(r.status, 3) << r.out << r.err;
  const std::string log = ReadFile(ErrorLogFile());
  EXPECT_TRUE(StartsWith(log, "==>")) << log;
  EXPECT_NE(log.find("doesn't exist"), std::string::npos) << log;
  EXPECT_EQ(SplitLines(log).size(), 1u);
}

TEST_F(Cli, AScriptThatCannotBeSavedIsAFailure) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)"});
  const std::string script = WorkDir() + "/no/such/folder/out.sql";
  const Result r = Run(MySQLToMySQL({"--script", script}));
  EXPECT_EQ(r.status, 3) << r.out << r.err;
  EXPECT_EQ(r.err,
            "error: Cannot save generated scripts.\n" + script + ": No such file or directory\n");
}

TEST_F(Cli, QuietPrintsOnlyErrorLinesAndTheSummary) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, v INT)", "INSERT INTO t VALUES (1, 1), (2, 2)"});
  OnDest({"CREATE TABLE t (id INT PRIMARY KEY, v INT)", "INSERT INTO t VALUES (2, 0)"});
  const Result r = Run(MySQLToMySQL({"--no-drop", "--no-create", "--quiet"}));
  EXPECT_EQ(r.status, 3);
  const Lines out = SplitLines(r.out);
  ASSERT_EQ(out.size(), 4u) << r.out;
  EXPECT_TRUE(StartsWith(out[0], "Post    : ")) << out[0];
  EXPECT_EQ(Lines(out.begin() + 1, out.begin() + 3), (Lines{"id :2", "v :2"}));
  EXPECT_TRUE(StartsWith(out[3], "Summary: 1 objects, 1 rows inserted, 2 updated, 1 failed, "))
      << out[3];
}

TEST_F(Cli, ObjectsKeepsOnlyTheNamedOnesAndRefusesUnknownNames) {
  OnSource({"CREATE TABLE a (id INT PRIMARY KEY)", "CREATE TABLE b (id INT PRIMARY KEY)",
            "CREATE TABLE `c d` (id INT PRIMARY KEY)"});
  const Result r = Run(MySQLToMySQL({"--objects", "c d,a"}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(Rows("SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + dstDb +
                 "' ORDER BY TABLE_NAME"),
            (Table{{"a"}, {"c_d"}}));
  const Result bad = Run(MySQLToMySQL({"--objects", "a,nope"}));
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err, "error: --objects: \"nope\" is not among the source's tables and views\n");
}

TEST_F(Cli, AJobThatCannotConnectExitsOne) {
  const Result source =
      Run({"--source", "Provider=MSDASQL.1;Data Source=no_such_dsn", "--dest", kDestString});
  EXPECT_EQ(source.status, 1);
  EXPECT_TRUE(StartsWith(source.err, "error: Cannot connect to database.\n")) << source.err;
  EXPECT_NE(source.err.find("Data source name not found"), std::string::npos) << source.err;

  const Result dest = Run({"--source", kSourceString, "--dest",
                           "Provider=MSDASQL.1;Data Source=qm_dst;User ID=qm;Password=wrong"});
  EXPECT_EQ(dest.status, 1);
  EXPECT_TRUE(StartsWith(dest.err, "error: Cannot connect to the destination.\n")) << dest.err;
  EXPECT_NE(dest.err.find("Access denied"), std::string::npos) << dest.err;
  EXPECT_EQ(dest.out, "");
}

TEST_F(Cli, BadArgumentsExitTwoWithTheUsage) {
  const Result r = Run({"--source", kSourceString, "--limit", "many"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(StartsWith(r.err, "quillmark-cli: --limit needs a whole number")) << r.err;
  EXPECT_NE(r.err.find("Usage: quillmark-cli"), std::string::npos);
  EXPECT_EQ(r.out, "");
  const Result help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(StartsWith(help.out, "Usage: quillmark-cli")) << help.out;
}

TEST_F(Cli, CtrlCStopsTheJobAsCancelProcessDoes) {
  OnSource({"CREATE TABLE big (id INT PRIMARY KEY, v VARCHAR(20))",
            "INSERT INTO big SELECT seq, CONCAT('row ', seq) FROM seq_1_to_50000",
            "CREATE TABLE later (id INT PRIMARY KEY)"});
  const std::string script = WorkDir() + "/stopped.sql";
  bool sent = false;
  const Result r =
      RunCli(MySQLToMySQL({"--script", script}), WorkDir(), [&](const std::string& out, pid_t pid) {
        if (!sent && out.find("Begin transfer data of big.") != std::string::npos) {
          kill(pid, SIGINT);
          sent = true;
        }
      });
  ASSERT_TRUE(sent) << r.out << r.err;
  EXPECT_EQ(r.status, 130) << r.out << r.err;
  const Lines out = SplitLines(r.out);
  ASSERT_GE(out.size(), 4u);
  EXPECT_EQ(out[out.size() - 2], "Process stoppe by USER");
  EXPECT_TRUE(StartsWith(out.back(), "Summary: 1 objects, ")) << out.back();
  EXPECT_EQ(r.out.find("later"), std::string::npos);
  EXPECT_NE(ReadFile(script).find("CREATE TABLE `big`"), std::string::npos);
  const int copied = std::stoi(Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.big"));
  EXPECT_LT(copied, 50000);
}

TEST_F(Cli, ASecondCtrlCEndsAProcessThatIsWaitingForTheDatabase) {
  // Reading this view keeps the source query waiting for 20 seconds, so the first
  // Ctrl-C cannot be noticed at a row. Toward another dialect the view becomes a table
  // whose rows are read (MySQL to MySQL it would stay a view, with no rows to read).
  OnSource({"CREATE VIEW slow AS SELECT SLEEP(20) AS s"});
  bool twice = false;
  const auto start = std::chrono::steady_clock::now();
  const auto args = MySQLToMySQL(
      {"--dest-kind", "sqlserver", "--script-only", "--script", WorkDir() + "/slow.sql"});
  const Result killed = RunCli(args, WorkDir(), [&](const std::string& o, pid_t pid) {
    if (!twice && o.find("[slow]") != std::string::npos && o.find("create") != std::string::npos) {
      usleep(300000);
      kill(pid, SIGINT);
      usleep(100000);
      kill(pid, SIGINT);
      twice = true;
    }
  });
  ASSERT_TRUE(twice) << killed.out;
  EXPECT_EQ(killed.signal, SIGINT) << killed.out;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

// The Access sample, FPdev: three columns, a primary key on id, eight rows.
const Table kFPdev = {{"1", "Michael Van Canneyt", "Michael@tfdec1.fys.kuleuven.ac.be"},
                      {"2", "Florian Klaempfl", "ba2395@fen.baynet.de"},
                      {"3", "Carl-Eric Codere", "codc01@gel.usherb.ca"},
                      {"4", "Daniel Mantione", "d.s.p.mantione@twi.tudelft.nl"},
                      {"5", "Pierre Muller", "muller@europe.u-strasbg.fr"},
                      {"7", "Peter Vreman", "pfv@worldonline.nl"},
                      {"8", "Gerry Dubois", "gerry@webworks.ml.org"},
                      {"6", "Jonas Maebe", "jmaebe@mail.dma.be"}};

// The script of a whole FPdev job for a destination whose names go between q.
std::string FPdevScript(const std::string& q, const std::string& create,
                        const std::string& textPrefix = "") {
  std::string s;
  for (const auto& l : job::ScriptBannerLines()) s += l + "\r\n";
  const std::string table = q + "FPdev" + q;
  s += "\r\nDROP TABLE " + table + ";\r\n\r\n" + create + "\r\n\r\n";
  for (const auto& r : kFPdev)
    s += "INSERT INTO " + table + "(" + q + "id" + q + ", " + q + "UserName" + q + ", " + q +
         "InstEmail" + q + ") VALUES(" + r[0] + ", " + textPrefix + "'" + r[1] + "', " +
         textPrefix + "'" + r[2] + "');\r\n";
  s += "\r\n";
  for (const auto& r : kFPdev)
    s += "UPDATE " + table + " SET " + q + "UserName" + q + " = " + textPrefix + "'" + r[1] +
         "', " + q + "InstEmail" + q + " = " + textPrefix + "'" + r[2] + "' WHERE (" + q + "id" +
         q + "= " + r[0] + ")\r\n";
  return s;
}

const std::string kMySQLCreate =
    "CREATE TABLE `FPdev` (`id` INT, `UserName` VARCHAR(255), `InstEmail` VARCHAR(255),  PRIMARY "
    "KEY "
    "`PK_FPDEV`(`id`));";

TEST_F(Cli, TheAccessSampleArrivesInMySQLWithItsRowsAndKey) {
  const std::string script = WorkDir() + "/fpdev.sql";
  const Result r = Run({"--source", AccessString(), "--dest", kDestString, "--script", script});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  Table sorted = kFPdev;
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return std::stoi(a[0]) < std::stoi(b[0]); });
  EXPECT_EQ(Rows("SELECT id, UserName, InstEmail FROM `" + dstDb + "`.FPdev ORDER BY id"), sorted);
  EXPECT_EQ(
      Rows("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE WHERE TABLE_SCHEMA = '" +
           dstDb + "' AND CONSTRAINT_NAME = 'PRIMARY'"),
      (Table{{"id"}}));
  EXPECT_EQ(ReadFile(script), FPdevScript("`", kMySQLCreate));
}

TEST_F(Cli, ScriptOnlyWritesWhatAJobWouldRunForEachDestinationKind) {
  const struct {
    const char* kind;
    const char* quote;
    const char* create;
    const char* textPrefix;
  } cases[] = {
      {"mysql", "`", kMySQLCreate.c_str(), ""},
      // Access text is Unicode: N types and N'...' literals.
      {"sqlserver", "\"",
       "CREATE TABLE \"FPdev\" (\"id\" INT, \"UserName\" NVARCHAR(255), \"InstEmail\" "
       "NVARCHAR(255),  CONSTRAINT \"FPdev_PK0\" PRIMARY KEY(\"id\"));",
       "N"},
      {"access", "`",
       "CREATE TABLE `FPdev` (`id` INT, `UserName` TEXT(255), `InstEmail` TEXT(255),  CONSTRAINT "
       "`PK_FPDEV` "
       "PRIMARY KEY(`id`));",
       ""},
  };
  for (const auto& c : cases) {
    const std::string script = WorkDir() + "/only-" + c.kind + ".sql";
    const Result r = Run(
        {"--source", AccessString(), "--dest-kind", c.kind, "--script-only", "--script", script});
    EXPECT_EQ(r.status, 0) << c.kind << r.out << r.err;
    EXPECT_EQ(ReadFile(script), FPdevScript(c.quote, c.create, c.textPrefix)) << c.kind;
    const Lines out = SplitLines(r.out);
    ASSERT_GE(out.size(), 2u);
    EXPECT_NE(out.front().find("Script only: no statement and no row is executed"),
              std::string::npos)
        << out.front();
    EXPECT_NE(out.back().find("(script only: nothing was executed)"), std::string::npos)
        << out.back();
  }
  // Nothing reached the server's destination database.
  EXPECT_EQ(
      Scalar("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + dstDb + "'"),
      "0");
}

// A MySQL source with the columns whose types and values SQL Server and Access hold
// differently, written by --script-only for each: no digit, character, byte or line
// break of a value is lost in the statements.
TEST_F(Cli, ScriptOnlyTranslatesTypesAndValuesOfAMySQLSource) {
  OnSource(
      {"CREATE TABLE wide (id BIGINT NOT NULL PRIMARY KEY, big BIGINT UNSIGNED, "
       "amount DECIMAL(12,4), huge DECIMAL(40,2), code VARCHAR(10), note VARCHAR(300), "
       "body LONGTEXT, bin BINARY(4), vb VARBINARY(600), at DATETIME(3), d DATE) "
       "CHARACTER SET utf8mb4",
       "INSERT INTO wide VALUES (9223372036854775807, 18446744073709551615, -12.3456, "
       "12345678901234567890123456789012345678.99, '007', 'Zoë 中', 'one\\r\\ntwo', "
       "X'00FF0102', X'DEAD', '2024-02-29 23:59:59.999', '2024-02-29')"});
  const struct {
    const char* kind;
    const char* create;
    const char* insert;
    bool nullNote;
  } cases[] = {
      {"sqlserver",
       "CREATE TABLE \"wide\" (\"id\" BIGINT, \"big\" DECIMAL(20,0), \"amount\" DECIMAL(12,4), "
       "\"huge\" VARCHAR(42), \"code\" NVARCHAR(10), \"note\" NVARCHAR(300), \"body\" NTEXT, "
       "\"bin\" BINARY(4), \"vb\" VARBINARY(600), \"at\" DATETIME, \"d\" DATETIME,  CONSTRAINT "
       "\"wide_PK0\" PRIMARY KEY(\"id\"));",
       "INSERT INTO \"wide\"(\"id\", \"big\", \"amount\", \"huge\", \"code\", \"note\", \"body\", "
       "\"bin\", \"vb\", \"at\", \"d\") VALUES(9223372036854775807, 18446744073709551615, "
       "-12.3456, "
       "'12345678901234567890123456789012345678.99', N'007', N'Zoë 中', N'one\r\ntwo', 0x00FF0102, "
       "0xDEAD, '2024-02-29T23:59:59.999', '20240229');",
       false},
      {"access",
       "CREATE TABLE `wide` (`id` DECIMAL(19,0), `big` DECIMAL(20,0), `amount` DECIMAL(12,4), "
       "`huge` TEXT(42), `code` VARCHAR, `note` MEMO, `body` MEMO, `bin` BINARY(4), `vb` "
       "OLEOBJECT, "
       "`at` DATETIME, `d` DATETIME,  CONSTRAINT `PRIMARY` PRIMARY KEY(`id`));",
       "INSERT INTO `wide`(`id`, `big`, `amount`, `huge`, `code`, `note`, `body`, `bin`, `vb`, "
       "`at`, `d`) VALUES(9223372036854775807, 18446744073709551615, -12.3456, "
       "'12345678901234567890123456789012345678.99', '007', 'Zoë 中', 'one\r\ntwo', NULL, NULL, "
       "'2024-02-29 23:59:59.999', '2024-02-29');",
       true},
  };
  for (const auto& c : cases) {
    const std::string script = WorkDir() + "/wide-" + c.kind + ".sql";
    const Result r = Run(
        {"--source", kSourceString, "--dest-kind", c.kind, "--script-only", "--script", script});
    EXPECT_EQ(r.status, 0) << c.kind << r.out << r.err;
    const std::string text = ReadFile(script);
    std::string banner;
    for (const auto& l : job::ScriptBannerLines()) banner += l + "\r\n";
    ASSERT_TRUE(StartsWith(text, banner)) << text;
    const std::string note =
        "\r\n-- Jet SQL has no binary literal: the values of binary columns are written as NULL "
        "in this script.\r\n";
    EXPECT_EQ(text.compare(banner.size(), note.size(), note) == 0, c.nullNote) << c.kind << text;
    EXPECT_NE(text.find("\r\n" + std::string(c.create) + "\r\n"), std::string::npos)
        << c.kind << text;
    EXPECT_NE(text.find("\r\n" + std::string(c.insert) + "\r\n"), std::string::npos)
        << c.kind << text;
  }
}

}  // namespace
}  // namespace jobtest
