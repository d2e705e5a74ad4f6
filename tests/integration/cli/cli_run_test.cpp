// quillmark-cli run as a separate process, as a user runs it.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
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
  bool timedOut = false;  // killed after the deadline
  std::string out;
  std::string err;
};

// How a run is set up beyond its arguments.
struct RunSetup {
  std::string program = QM_CLI_PATH;
  std::vector<int> closed;    // descriptors closed in the child (">&-")
  std::string stdoutFile;     // standard output goes there instead of a pipe
  bool stdoutReaderGone = false;  // standard output is a pipe nobody reads (| head -1)
  bool stderrTerminal = false;  // standard error on a pseudo-terminal
  std::chrono::seconds deadline{100};
  // Sees the standard output read so far and may act on the child (send it signals).
  std::function<void(const std::string&, pid_t)> onOutput;
  // Called about every 50 ms while the child runs.
  std::function<void(pid_t)> onTick;
};

// Runs the program in dir as its own process.
Result RunProgram(const std::vector<std::string>& args, const std::string& dir,
                  const RunSetup& setup = {}) {
  int out[2], err[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe");
  if (setup.stderrTerminal) {
    if (openpty(&err[0], &err[1], nullptr, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty");
  } else if (pipe(err) != 0) {
    throw std::runtime_error("pipe");
  }
  const pid_t pid = fork();
  if (pid == 0) {
    if (!setup.stdoutFile.empty()) {
      const int fd = open(setup.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
    } else if (setup.stdoutReaderGone) {
      int gone[2];
      if (pipe(gone) != 0) _exit(125);
      close(gone[0]);
      dup2(gone[1], 1);
      close(gone[1]);
    } else {
      dup2(out[1], 1);
    }
    dup2(err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]})
      if (fd > 2) close(fd);
    for (int fd : setup.closed) close(fd);
    // As a shell starts it: this process's MySQL driver ignores SIGPIPE, and that
    // would be inherited.
    signal(SIGPIPE, SIG_DFL);
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(setup.program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(setup.program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  Result r;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  const auto deadline = std::chrono::steady_clock::now() + setup.deadline;
  while (open > 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      r.timedOut = true;
      break;
    }
    if (setup.onTick) setup.onTick(pid);
    if (poll(fds, 2, 50) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[8192];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {  // a pseudo-terminal reports its hang-up as EIO
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
      if (i == 0 && setup.onOutput) setup.onOutput(r.out, pid);
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) close(f.fd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  return r;
}

Result RunCli(const std::vector<std::string>& args, const std::string& dir,
              const std::function<void(const std::string&, pid_t)>& onOutput = {}) {
  RunSetup setup;
  setup.onOutput = onOutput;
  return RunProgram(args, dir, setup);
}

// A listening socket on 127.0.0.1 at a free port, which it stores in port.
int ListenOnLoopback(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 8) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw std::runtime_error("cannot listen on loopback");
  port = ntohs(a.sin_port);
  return fd;
}

// A server on loopback that accepts every connection and never says a word.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int c = accept(fd_, nullptr, nullptr);
        if (c >= 0) {
          connections_.push_back(c);
          ++accepted_;
        }
      }
    });
  }
  ~SilentServer() {
    stop_ = true;
    thread_.join();
    for (int c : connections_) close(c);
    close(fd_);
  }
  int port() const { return port_; }
  int accepted() const { return accepted_; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::vector<int> connections_;
  std::thread thread_;
};

// A MySQL server on loopback with a script: it greets, takes any login, and then
// either refuses it with an error text of its choosing or answers every statement with
// OK until one names TABLES (the catalogue), which it never answers.
class ScriptedServer {
 public:
  enum class Mode { kRefuseLogin, kStallAtCatalogue };
  explicit ScriptedServer(Mode mode, std::string errorText = {})
      : mode_(mode), errorText_(std::move(errorText)) {
    fd_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] {
      while (!stop_) {
        if (!Readable(fd_)) continue;
        const int c = accept(fd_, nullptr, nullptr);
        if (c < 0) continue;
        connections_.push_back(c);
        Serve(c);
      }
    });
  }
  ~ScriptedServer() {
    stop_ = true;
    thread_.join();
    for (int c : connections_) close(c);
    close(fd_);
  }
  int port() const { return port_; }
  bool stalled() const { return stalled_; }

 private:
  static std::string Packet(unsigned char seq, const std::string& body) {
    std::string p(4, '\0');
    p[0] = static_cast<char>(body.size() & 0xFF);
    p[1] = static_cast<char>((body.size() >> 8) & 0xFF);
    p[2] = static_cast<char>((body.size() >> 16) & 0xFF);
    p[3] = static_cast<char>(seq);
    return p + body;
  }
  static std::string Greeting() {
    using namespace std::string_literals;
    // Protocol 10, thread 7, the scramble in two parts, capabilities 0x000BA20D
    // (4.1 protocol, secure connection, plugin auth, no TLS), utf8.
    return Packet(0, "\x0a"s + "5.5.5-10.11.19-MariaDB"s + '\0' + "\x07\0\0\0"s + "abcdefgh"s +
                         '\0' + "\x0d\xa2\x21\x02\x00\x0b\x00\x15"s + std::string(10, '\0') +
                         "ijklmnopqrst"s + '\0' + "mysql_native_password"s + '\0');
  }
  static std::string Ok() { return std::string("\0\0\0\x02\0\0\0", 7); }
  bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 50) > 0;
  }
  // One packet's body; false when the client has gone or the server is stopping.
  bool Read(int c, std::string& body) {
    while (!stop_ && !Readable(c)) {
    }
    unsigned char h[4];
    if (stop_ || recv(c, h, 4, MSG_WAITALL) != 4) return false;
    body.assign(h[0] | h[1] << 8 | h[2] << 16, '\0');
    return body.empty() || recv(c, body.data(), body.size(), MSG_WAITALL) ==
                               static_cast<ssize_t>(body.size());
  }
  void Send(int c, const std::string& bytes) { send(c, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  void Serve(int c) {
    std::string body;
    Send(c, Greeting());
    if (!Read(c, body)) return;
    if (mode_ == Mode::kRefuseLogin) {
      Send(c, Packet(2, "\xff\x15\x04#28000" + errorText_));  // error 1045
      return;
    }
    Send(c, Packet(2, Ok()));
    while (Read(c, body)) {
      if (body.find("TABLES") != std::string::npos) {
        stalled_ = true;
        return;  // kept open, never answered
      }
      Send(c, Packet(1, Ok()));
    }
  }

  Mode mode_;
  std::string errorText_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> stalled_{false};
  std::vector<int> connections_;
  std::thread thread_;
};

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
  // Adds a data source to the test's ODBC set-up; a program started later reads it.
  void AddDsn(const std::string& name, const std::string& database, int port = 0) {
    const TestServer& s = TestServer::Get();
    std::ofstream ini(WorkDir() + "/odbc/odbc.ini", std::ios::app);
    ini << "[" << name << "]\nDriver=MariaDB Unicode\nSERVER=127.0.0.1\nPORT="
        << (port ? port : s.port) << "\nDATABASE=" << database << "\nUSER=" << s.user
        << "\nPASSWORD=" << s.password << "\nCHARSET=utf8mb4\n\n";
  }
  std::string DestTables() {
    return Scalar("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + dstDb +
                  "'");
  }
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

TEST_F(Cli, AScriptThatCannotBeCreatedStopsTheJobBeforeItTouchesTheDestination) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)"});
  const struct {
    std::string script;
    std::string reason;
  } cases[] = {
      {WorkDir() + "/no/such/folder/out.sql", "No such file or directory"},
      {WorkDir(), "Is a directory"},
  };
  for (const auto& c : cases) {
    const Result r = Run(MySQLToMySQL({"--script", c.script}));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.err, "error: Cannot create the script file.\n" + c.script + ": " + c.reason + "\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(DestTables(), "0");
}

TEST_F(Cli, TheSameDatabaseOnBothSidesIsRefusedAndTheSourceKeepsItsRows) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)", "INSERT INTO t VALUES (1), (2)"});
  AddDsn("qm_src_again", srcDb);
  const std::vector<std::string> dests = {
      kSourceString,                                                  // the same data source
      "Provider=MSDASQL.1;Data Source=qm_src_again",                  // another one, same database
      "Provider=MSDASQL.1;Data Source=qm_src_again;User ID=" + TestServer::Get().user,
  };
  for (const auto& dest : dests) {
    const Result r = Run({"--source", kSourceString, "--dest", dest});
    EXPECT_EQ(r.status, 1) << dest << r.out << r.err;
    EXPECT_EQ(r.err,
              "error: The source and the destination are the same database: the job would drop "
              "and re-create the source's own tables and views. Choose another destination.\n")
        << dest;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM `" + srcDb + "`.t"), "2");
  // Two databases of one server are two databases.
  EXPECT_EQ(Run(MySQLToMySQL()).status, 0);
}

TEST_F(Cli, TheScriptFileMayNotBeTheSourceFile) {
  const std::string copy = WorkDir() + "/source.mdb";
  std::filesystem::copy_file(AccessFile(), copy);
  const std::string link = WorkDir() + "/link.sql";
  std::filesystem::create_symlink(copy, link);
  const std::string before = ReadFile(copy);
  for (const std::string& script : {copy, link}) {
    const Result r =
        Run({"--source", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy, "--dest-kind",
             "mysql", "--script-only", "--script", script});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.err, "error: The script file " + script +
                         " is the source database file; writing the script would overwrite it. "
                         "Choose another script file.\n");
  }
  EXPECT_TRUE(ReadFile(copy) == before) << "the source file was changed";
}

TEST_F(Cli, TheScriptFileMayNotBeTheErrorLogFile) {
  // The error log is written after the script: the script would be lost, though the
  // program said it was saved.
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)"});
  std::filesystem::create_directory(WorkDir() + "/sub");
  const std::string hardLink = WorkDir() + "/hard.sql";
  // The first before any error log exists, the others after the first run wrote one.
  for (const std::string& script :
       {std::string("quillmark-cli.log"), WorkDir() + "/sub/../quillmark-cli.log", hardLink}) {
    if (script == hardLink) std::filesystem::create_hard_link(ErrorLogFile(), hardLink);
    const Result r = Run(MySQLToMySQL({"--script", script}));
    EXPECT_EQ(r.status, 1) << script << r.out << r.err;
    EXPECT_EQ(r.err, "error: The script file " + script +
                         " is the error log file; the error log written at the end would "
                         "overwrite it. Choose another script file.\n");
  }
  EXPECT_EQ(DestTables(), "0");
}

TEST_F(Cli, AnAccessDestinationIsRefusedAsReadOnlyUnlessOnlyTheScriptIsWritten) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)"});
  const Result r = Run({"--source", kSourceString, "--dest", AccessString()});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_EQ(r.err, "error: Cannot update. The Access file '" + AccessFile() +
                       "' is read-only here: Access files can be read but not written.\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(Cli, ClosedStandardDescriptorsDoNotCarryTextIntoTheDatabase) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))",
            "INSERT INTO t VALUES (1, 'a'), (2, 'b')"});
  RunSetup setup;
  setup.closed = {0, 1, 2};
  const Result r = RunProgram(MySQLToMySQL(), WorkDir(), setup);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Rows("SELECT id, v FROM `" + dstDb + "`.t ORDER BY id"), (Table{{"1", "a"}, {"2", "b"}}));

  // The protocol client's own tool: its result lines must not reach its server.
  const TestServer& server = TestServer::Get();
  setup.program = QM_MYSQL_TOOL;
  setup.closed = {1};
  const Result tool = RunProgram({"--host=127.0.0.1", "--port=" + std::to_string(server.port),
                                  "--user=" + server.user, "--password=" + server.password,
                                  "-e", "SELECT 'no reader';",
                                  "-e", "CREATE TABLE `" + dstDb + "`.marker (id INT)"},
                                 WorkDir(), setup);
  EXPECT_EQ(tool.status, 0) << tool.err;
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + dstDb +
                   "' AND TABLE_NAME = 'marker'"),
            "1");
}

TEST_F(Cli, C1ControlCharactersInNamesAreEscaped) {
  // U+009B is CSI: "\u009B2J" would clear a terminal that obeys 8-bit controls.
  OnSource({"CREATE TABLE `t\u009B2J` (id INT PRIMARY KEY)"});
  const Result r = Run(MySQLToMySQL());
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("[t\\xC2\\x9B2J] created."), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\u009B"), std::string::npos);
}

TEST_F(Cli, AWriteErrorOnStandardOutputIsAFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)", "INSERT INTO t VALUES (1)"});
  RunSetup setup;
  setup.stdoutFile = "/dev/full";
  const Result r = RunProgram(MySQLToMySQL(), WorkDir(), setup);
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_EQ(r.err, "quillmark-cli: cannot write the log to standard output: No space left on device\n");
  // --help too.
  EXPECT_NE(RunProgram({"--help"}, WorkDir(), setup).status, 0);
}

TEST_F(Cli, AClosedPipeOnStandardOutputIsAWriteErrorAndTheScriptIsStillWritten) {
  // An Access source to a script only: no MySQL driver is loaded, which would ignore
  // the pipe's signal on its own.
  const std::string script = WorkDir() + "/piped.sql";
  RunSetup setup;
  setup.stdoutReaderGone = true;
  const Result r = RunProgram(
      {"--source", AccessString(), "--dest-kind", "mysql", "--script-only", "--script", script},
      WorkDir(), setup);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("quillmark-cli: cannot write the log to standard output: Broken pipe\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(ReadFile(script).find("INSERT INTO `FPdev`"), std::string::npos);
}

TEST_F(Cli, AServerThatStallsAfterTheLoginEndsTheCatalogueWithAClearError) {
  // It honours no time-out of its own: only a wait bounded by the client ends.
  ScriptedServer stalling(ScriptedServer::Mode::kStallAtCatalogue);
  AddDsn("qm_stalling", srcDb, stalling.port());
  RunSetup setup;
  setup.deadline = std::chrono::seconds(40);
  const auto start = std::chrono::steady_clock::now();
  const Result r = RunProgram(
      {"--source", "Provider=MSDASQL.1;Data Source=qm_stalling;Command Timeout=2", "--dest",
       kDestString},
      WorkDir(), setup);
  EXPECT_TRUE(stalling.stalled());
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(StartsWith(r.err, "error: Cannot get information from your database\n")) << r.err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_EQ(DestTables(), "0");
}

TEST_F(Cli, AHostileServersMessageCannotDriveTheTerminal) {
  // An OSC title, a clear screen, a C1 CSI and a lone invalid byte in a login error.
  ScriptedServer refusing(ScriptedServer::Mode::kRefuseLogin,
                          "denied \x1B]0;owned\x07 \x1B[2J \xC2\x9B" "31m end");
  AddDsn("qm_refusing", srcDb, refusing.port());
  const Result r =
      Run({"--source", "Provider=MSDASQL.1;Data Source=qm_refusing", "--dest", kDestString});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(StartsWith(r.err, "error: Cannot connect to database.\n")) << r.err;
  EXPECT_NE(r.err.find("denied \\x1B]0;owned\\x07 \\x1B[2J \\xC2\\x9B31m end\n"),
            std::string::npos)
      << r.err;
  for (const char* raw : {"\x1B", "\x07", "\xC2\x9B"})
    EXPECT_EQ(r.err.find(raw), std::string::npos) << r.err;
}

TEST_F(Cli, ASilentServerEndsTheLoginWithAClearError) {
  SilentServer silent;
  AddDsn("qm_silent", srcDb, silent.port());
  const auto start = std::chrono::steady_clock::now();
  RunSetup setup;
  setup.deadline = std::chrono::seconds(40);
  const Result r = RunProgram(
      {"--source", "Provider=MSDASQL.1;Data Source=qm_silent;Connect Timeout=2", "--dest",
       kDestString},
      WorkDir(), setup);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(StartsWith(r.err, "error: Cannot connect to database.\n")) << r.err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_GE(silent.accepted(), 1);

  const Result bad = Run({"--source", "Provider=MSDASQL.1;Data Source=qm_src;Connect Timeout=soon",
                          "--dest", kDestString});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("Connect Timeout must be a whole number of seconds, not \"soon\"."),
            std::string::npos)
      << bad.err;
}

// Each signal a user stops a program with, by its exit status.
const struct StopSignal {
  int number;
  int status;
} kStopSignals[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};

TEST_F(Cli, AStopSignalWhileConnectingAbandonsTheAttemptAndLeavesTheDestinationAlone) {
  SilentServer silent;
  AddDsn("qm_silent", srcDb, silent.port());
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)"});
  for (const StopSignal& sig : kStopSignals) {
    RunSetup setup;
    setup.deadline = std::chrono::seconds(60);
    const int before = silent.accepted();
    bool sent = false;
    setup.onTick = [&](pid_t pid) {
      if (!sent && silent.accepted() > before) {
        kill(pid, sig.number);
        sent = true;
      }
    };
    // The source is silent: the job waits in its login when the signal comes.
    const Result r = RunProgram({"--source", "Provider=MSDASQL.1;Data Source=qm_silent",
                                 "--dest", kDestString},
                                WorkDir(), setup);
    ASSERT_TRUE(sent) << sig.number;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, sig.status) << sig.number;
    EXPECT_EQ(r.err,
              "quillmark-cli: stopped before the job started; nothing was changed in the "
              "destination.\n");
  }
  EXPECT_EQ(DestTables(), "0");
}

TEST_F(Cli, AStopSignalEndsAJobWithoutRowsAtTheNextObject) {
  // No row is read when no phase reads one: the stop must be seen between objects.
  constexpr int kTables = 150;
  for (int i = 0; i < kTables; ++i)
    OnSource({"CREATE TABLE e" + std::to_string(i) + " (id INT PRIMARY KEY)"});
  for (const StopSignal& sig : kStopSignals) {
    bool sent = false;
    const Result r = RunCli(MySQLToMySQL({"--no-transfer", "--no-update"}), WorkDir(),
                            [&](const std::string& out, pid_t pid) {
                              if (!sent && out.find("] created.") != std::string::npos) {
                                kill(pid, sig.number);
                                sent = true;
                              }
                            });
    ASSERT_TRUE(sent) << r.out << r.err;
    EXPECT_EQ(r.status, sig.status) << sig.number << r.err;
    const Lines out = SplitLines(r.out);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[out.size() - 2], "Process stoppe by USER") << sig.number;
    const int created = static_cast<int>(
        std::count_if(out.begin(), out.end(), [](const std::string& l) {
          return l.find("] created.") != std::string::npos;
        }));
    EXPECT_LT(created, kTables / 2) << sig.number;
  }
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
  EXPECT_TRUE(StartsWith(
      bad.err,
      "quillmark-cli: --objects: \"nope\" is not among the source's tables and views\n\nUsage: "
      "quillmark-cli"))
      << bad.err;
}

TEST_F(Cli, ObjectNamesOneObjectCommasAndAll) {
  OnSource({"CREATE TABLE a (id INT PRIMARY KEY)", "CREATE TABLE b (id INT PRIMARY KEY)",
            "CREATE TABLE `a,b` (id INT PRIMARY KEY)", "CREATE TABLE c (id INT PRIMARY KEY)"});
  const Result r = Run(MySQLToMySQL({"--object", "a,b", "--object=c"}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(Rows("SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = '" + dstDb +
                 "' ORDER BY TABLE_NAME"),
            (Table{{"a,b"}, {"c"}}));
}

TEST_F(Cli, AnObjectThatCannotBeCreatedIsAFailure) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY, v INT)", "INSERT INTO t VALUES (1, 1)"});
  // Already there and not dropped: the CREATE fails.
  OnDest({"CREATE TABLE t (id INT PRIMARY KEY, v INT)"});
  const Result r = Run(MySQLToMySQL({"--no-drop", "--quiet"}));
  EXPECT_EQ(r.status, 3) << r.out << r.err;
  const Lines out = SplitLines(r.out);
  ASSERT_EQ(out.size(), 2u) << r.out;
  EXPECT_NE(out[0].find(" : Cannot create [t]. "), std::string::npos) << out[0];
  EXPECT_NE(out[1].find(" 0 failed, 1 not created, "), std::string::npos) << out[1];
  // A drop of what the destination does not hold is normal on a first run.
  OnDest({"DROP TABLE t"});
  const Result first = Run(MySQLToMySQL({"--quiet"}));
  EXPECT_EQ(first.status, 0) << first.out;
  EXPECT_NE(first.out.find(" 0 failed, 0 not created, "), std::string::npos) << first.out;
}

TEST_F(Cli, AViewThatCannotBeCreatedIsAFailureToo) {
  // Its table is not chosen, so the destination has nothing for it to select from.
  OnSource({"CREATE TABLE base (id INT PRIMARY KEY)", "CREATE VIEW v AS SELECT id FROM base"});
  const Result r = Run(MySQLToMySQL({"--object", "v", "--quiet"}));
  EXPECT_EQ(r.status, 3) << r.out << r.err;
  const Lines out = SplitLines(r.out);
  ASSERT_EQ(out.size(), 2u) << r.out;
  EXPECT_NE(out[0].find(" : Cannot create [v]. "), std::string::npos) << out[0];
  EXPECT_NE(out[1].find(" 0 failed, 1 not created, "), std::string::npos) << out[1];
}

TEST_F(Cli, AnUnclosedQuoteInAConnectionStringIsRefusedNamingItsKey) {
  const Result r = Run({"--source", "Provider=MSDASQL.1;Password='hunter2x;Data Source=qm_src",
                        "--dest", kDestString});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(StartsWith(r.err,
                         "quillmark-cli: --source: the value of Password opens a quote that is "
                         "never closed\n\nUsage: quillmark-cli"))
      << r.err;
  EXPECT_EQ(r.err.find("hunter2x"), std::string::npos) << "the password is not shown";
}

TEST_F(Cli, ProgressOfAStreamingSourceShowsRowsDoneWithoutATotal) {
  OnSource({"CREATE TABLE t (id INT PRIMARY KEY)", "INSERT INTO t SELECT seq FROM seq_1_to_300"});
  RunSetup setup;
  setup.stderrTerminal = true;
  const Result r = RunProgram(MySQLToMySQL({"--no-update"}), WorkDir(), setup);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.err.find(" rows"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(" / "), std::string::npos) << r.err;
  // A file source knows its count.
  const Result access = RunProgram({"--source", AccessString(), "--dest", kDestString}, WorkDir(),
                                   setup);
  EXPECT_EQ(access.status, 0) << access.out;
  EXPECT_NE(access.err.find(" / 8 rows"), std::string::npos) << access.err;
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

// In groups, a Ctrl-C ends the job after the group it came in, committed: every row
// the script shows is in the destination, once, and the summary counts them. A trigger
// paces the rows (a group takes about a second), and the signal comes once a group is
// seen committed, so it falls in the middle of a later one however fast the machine.
TEST_F(Cli, CtrlCInTheFastTransferCommitsTheCurrentGroupAndNothingMore) {
  OnSource({"CREATE TABLE big (id INT PRIMARY KEY, v VARCHAR(20))",
            "INSERT INTO big SELECT seq, CONCAT('row ', seq) FROM seq_1_to_50000"});
  OnDest({"CREATE TABLE big (id INT PRIMARY KEY, v VARCHAR(20))",
          "CREATE TRIGGER big_paced BEFORE INSERT ON big FOR EACH ROW DO SLEEP(0.001)"});
  const std::string script = WorkDir() + "/stopped.sql";
  bool sent = false;
  RunSetup setup;
  setup.onTick = [&](pid_t pid) {
    if (!sent && Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.big") != "0") {
      kill(pid, SIGINT);
      sent = true;
    }
  };
  const Result r = RunProgram(MySQLToMySQL({"--script", script, "--batch-rows", "1000", "--no-drop",
                                            "--no-create", "--no-update"}),
                              WorkDir(), setup);
  ASSERT_TRUE(sent) << r.out << r.err;
  EXPECT_EQ(r.status, 130) << r.out << r.err;
  const std::string text = ReadFile(script);
  std::size_t inserts = 0;
  for (std::size_t at = text.find("INSERT INTO "); at != std::string::npos;
       at = text.find("INSERT INTO ", at + 1))
    ++inserts;
  const std::string copied = Scalar("SELECT COUNT(*) FROM `" + dstDb + "`.big");
  EXPECT_EQ(copied, std::to_string(inserts));
  EXPECT_LT(inserts, 50000u);
  // The rows in order up to the stop, none missing.
  EXPECT_EQ(Scalar("SELECT COALESCE(MAX(id), 0) = COUNT(*) FROM `" + dstDb + "`.big"), "1");
  EXPECT_NE(r.out.find(" : " + copied + " inserted, 0 insert failed."), std::string::npos) << r.out;
}

TEST_F(Cli, CtrlCWhileTheScriptIsWrittenLeavesItWholeAndExits130) {
  OnSource({"CREATE TABLE big (id INT PRIMARY KEY, v VARCHAR(2000))",
            "INSERT INTO big SELECT seq, REPEAT('x', 2000) FROM seq_1_to_6000"});
  const std::string script = WorkDir() + "/big.sql";
  for (int times : {1, 2}) {
    {
      std::ofstream(script) << "OLD";
    }
    bool sent = false;
    const Result r = RunCli(MySQLToMySQL({"--script", script, "--no-update"}), WorkDir(),
                            [&](const std::string& out, pid_t pid) {
                              if (!sent && out.find("insert failed.") != std::string::npos) {
                                for (int i = 0; i < times; ++i) kill(pid, SIGINT);
                                sent = true;
                              }
                            });
    ASSERT_TRUE(sent) << r.out;
    const std::string text = ReadFile(script);
    if (times == 1) {
      EXPECT_EQ(r.status, 130) << r.out << r.err;
    } else if (text == "OLD") {
      EXPECT_EQ(r.signal, SIGINT);
      continue;
    }
    // Whole: every row's INSERT and the final line end.
    EXPECT_NE(text.find("VALUES(6000, "), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  }
  // No temporary file is left beside it.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(WorkDir()))
    files += e.is_regular_file() ? 1 : 0;
  EXPECT_LE(files, 3);  // the script, the error log, and a temporary of a killed run
}

// The script is written beside its file while the job runs, and put in place at the end.
// A second stop signal ends the process at once: the old file stays, and no temporary
// is left beside it. The second signal is of another kind, so the two cannot merge into
// one pending signal on a busy machine; the lower-numbered SIGINT is delivered first.
TEST_F(Cli, ASecondStopSignalWhileTheScriptIsWrittenKeepsTheOldFileAndNoTemporary) {
  // Few rows, but a script of 24 MB: long to write.
  OnSource({"CREATE TABLE big (id INT PRIMARY KEY, v MEDIUMTEXT)",
            "INSERT INTO big SELECT seq, REPEAT('x', 40000) FROM seq_1_to_600"});
  const std::string script = WorkDir() + "/big.sql";
  struct Case {
    const char* when;  // the log line after which both signals go
    bool cutShort;     // the job cannot have ended before they arrive
  };
  for (const Case c : {Case{"Begin transfer data of big.", true},
                       // The last pass has ended: the file may be in place already.
                       Case{"insert failed.", false}}) {
    SCOPED_TRACE(c.when);
    {
      std::ofstream(script) << "OLD";
    }
    bool sent = false;
    const Result r = RunCli(MySQLToMySQL({"--script", script, "--no-update"}), WorkDir(),
                            [&](const std::string& out, pid_t pid) {
                              if (!sent && out.find(c.when) != std::string::npos) {
                                kill(pid, SIGINT);
                                kill(pid, SIGTERM);
                                sent = true;
                              }
                            });
    ASSERT_TRUE(sent) << r.out << r.err;
    const std::string text = ReadFile(script);
    if (c.cutShort || r.signal != 0) {
      EXPECT_EQ(r.signal, SIGTERM) << r.status << r.err;
      EXPECT_TRUE(text == "OLD" || (!c.cutShort && text.substr(text.size() - 2) == "\r\n"));
    } else {
      // Too late to cut: the job had put the whole script in place.
      EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
      EXPECT_NE(text.find("VALUES(600, "), std::string::npos);
    }
    for (const auto& e : std::filesystem::directory_iterator(WorkDir()))
      EXPECT_FALSE(StartsWith(e.path().filename().string(), ".big.sql."))
          << "left behind: " << e.path();
  }
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
       "body LONGTEXT, bin BINARY(4), vb VARBINARY(600), at DATETIME(3), d DATE, "
       "frac DECIMAL(30,30), last DATETIME(6)) "
       "CHARACTER SET utf8mb4",
       "INSERT INTO wide VALUES (9223372036854775807, 18446744073709551615, -12.3456, "
       "12345678901234567890123456789012345678.99, '007', 'Zoë 中', 'one\\r\\ntwo', "
       "X'00FF0102', X'DEAD', '2024-02-29 23:59:59.999', '2024-02-29', "
       "-0.999999999999999999999999999999, '9999-12-31 23:59:59.999999')"});
  const struct {
    const char* kind;
    const char* create;
    const char* insert;
    bool nullNote;
  } cases[] = {
      {"sqlserver",
       "CREATE TABLE \"wide\" (\"id\" BIGINT, \"big\" DECIMAL(20,0), \"amount\" DECIMAL(12,4), "
       "\"huge\" VARCHAR(42), \"code\" NVARCHAR(10), \"note\" NVARCHAR(300), \"body\" NTEXT, "
       "\"bin\" BINARY(4), \"vb\" VARBINARY(600), \"at\" DATETIME, \"d\" DATETIME, \"frac\" "
       "DECIMAL(30,30), \"last\" DATETIME,  CONSTRAINT "
       "\"wide_PK0\" PRIMARY KEY(\"id\"));",
       "INSERT INTO \"wide\"(\"id\", \"big\", \"amount\", \"huge\", \"code\", \"note\", \"body\", "
       "\"bin\", \"vb\", \"at\", \"d\", \"frac\", \"last\") VALUES(9223372036854775807, "
       "18446744073709551615, "
       "-12.3456, "
       "'12345678901234567890123456789012345678.99', N'007', N'Zoë 中', N'one\r\ntwo', 0x00FF0102, "
       "0xDEAD, '2024-02-29T23:59:59.999', '20240229', -0.999999999999999999999999999999, "
       "'9999-12-31T23:59:59.997');",
       false},
      {"access",
       "CREATE TABLE `wide` (`id` DECIMAL(19,0), `big` DECIMAL(20,0), `amount` DECIMAL(12,4), "
       "`huge` TEXT(42), `code` VARCHAR, `note` MEMO, `body` MEMO, `bin` BINARY(4), `vb` "
       "OLEOBJECT, "
       "`at` DATETIME, `d` DATETIME, `frac` TEXT(33), `last` DATETIME,  CONSTRAINT `PRIMARY` "
       "PRIMARY KEY(`id`));",
       "INSERT INTO `wide`(`id`, `big`, `amount`, `huge`, `code`, `note`, `body`, `bin`, `vb`, "
       "`at`, `d`, `frac`, `last`) VALUES(9223372036854775807, 18446744073709551615, -12.3456, "
       "'12345678901234567890123456789012345678.99', '007', 'Zoë 中', 'one\r\ntwo', NULL, NULL, "
       "'2024-02-29 23:59:59.999', '2024-02-29', '-0.999999999999999999999999999999', "
       "'9999-12-31 23:59:59.999999');",
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
