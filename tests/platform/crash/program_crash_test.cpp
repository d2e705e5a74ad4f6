// The real programs, each as its own process, failing on purpose through the test
// switch: the report file, the message on standard error, the exit status and the
// error log written at the end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/file_text.h"

namespace fs = std::filesystem;

namespace {

struct Ended {
  int status = -1;  // exit status; -1 when a signal ended it or it did not end
  int signal = 0;
  std::string err;
};

// Runs program in dir with extra environment; whileRunning is asked every 20 ms and
// may act on the process. Killed after 60 s so a test never hangs.
Ended RunProgram(const std::string& program, const fs::path& dir,
                 const std::vector<std::string>& env,
                 const std::function<void(pid_t)>& whileRunning = {}) {
  const fs::path errFile =
      fs::temp_directory_path() / ("qm-crash-stderr-" + std::to_string(getpid()));
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    if (chdir(dir.c_str()) != 0) _exit(126);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Ended r;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << program << " did not end";
      break;
    }
    if (whileRunning) whileRunning(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  r.err = testsupport::FileText(errFile);
  fs::remove(errFile);
  return r;
}

// text has the shape of pattern, where '9' stands for any digit.
bool HasShape(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
  }
  return true;
}

std::vector<fs::path> Reports(const fs::path& dir) {
  std::vector<fs::path> out;
  if (!fs::exists(dir)) return out;
  for (const auto& e : fs::directory_iterator(dir))
    if (HasShape(e.path().filename().string(), "quillmark-crash-99999999-999999.txt"))
      out.push_back(e.path());
  return out;
}

fs::path FreshDir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("qm-crash-" + std::to_string(getpid())) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

struct Case {
  const char* mode;
  const char* cause;     // a line of the report that names what happened
  const char* function;  // the function the stack must name, innermost before main
};

const Case kCases[] = {
    {"throw",
     "Exception: std::runtime_error\nMessage: crash test: an exception no handler caught\n",
     "crash::test::ThrowFromHandler()"},
    {"throw-int", "Exception: int\n", "crash::test::ThrowIntFromHandler()"},
    {"throw-nested",
     "Exception: std::_Nested_exception<std::runtime_error>\n"
     "Message: crash test: what failed because of it\n"
     "Nested: std::runtime_error: crash test: the first cause\n",
     "crash::test::ThrowNestedFromHandler()"},
    {"throw-text", "Exception: char const*\nMessage: crash test: a bare text\n",
     "crash::test::ThrowTextFromHandler()"},
    {"out-of-range", "Exception: std::out_of_range\nMessage: vector::_M_range_check",
     "crash::test::IndexOutOfRange()"},
    {"SIGSEGV", "Signal: SIGSEGV (segmentation fault", "crash::test::RaiseSignal(int)"},
    {"SIGABRT", "Signal: SIGABRT (aborted", "crash::test::RaiseSignal(int)"},
    {"SIGBUS", "Signal: SIGBUS (bus error", "crash::test::RaiseSignal(int)"},
    {"SIGFPE", "Signal: SIGFPE (floating-point error", "crash::test::RaiseSignal(int)"},
    {"SIGILL", "Signal: SIGILL (illegal instruction", "crash::test::RaiseSignal(int)"},
    {"null-write", "Signal: SIGSEGV (segmentation fault, address 0x0)",
     "crash::test::WriteThroughNull()"},
};

const Case& CaseFor(const std::string& mode) {
  for (const Case& c : kCases)
    if (mode == c.mode) return c;
  throw std::invalid_argument(mode);
}

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.mode;
}

// The one report in dir, checked for what every report holds; returns its text.
std::string CheckReport(const fs::path& dir, const std::string& program, const Case& c,
                        const Ended& r) {
  const std::vector<fs::path> reports = Reports(dir);
  EXPECT_EQ(reports.size(), 1u) << r.err;
  if (reports.size() != 1) return {};
  const std::string text = testsupport::FileText(reports[0]);
  EXPECT_NE(r.err.find(program + ": internal error ("), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("crash report: " + reports[0].string() + "\n"), std::string::npos) << r.err;
  EXPECT_EQ(text.rfind("Quillmark crash report\n", 0), 0u) << text;
  EXPECT_NE(text.find("\nProgram: " + program + " 1.0.0\n"), std::string::npos) << text;
  const auto time = text.find("\nTime: ");
  EXPECT_NE(time, std::string::npos) << text;
  std::string stamp = time == std::string::npos ? "" : text.substr(time + 7, 25);
  if (stamp.size() == 25 && stamp[20] == '-') stamp[20] = '+';
  EXPECT_TRUE(HasShape(stamp, "9999-99-99 99:99:99 +9999")) << stamp;
  EXPECT_NE(text.find("\nSystem: "), std::string::npos) << text;
  EXPECT_NE(text.find(c.cause), std::string::npos) << text;
  const auto stack = text.find("\nCall stack (innermost call first):\n#0  0x");
  EXPECT_NE(stack, std::string::npos) << text;
  const auto function = text.find(" in " + std::string(c.function) + " at ");
  const auto main = text.find(" in main at ");
  EXPECT_NE(function, std::string::npos) << text;
  EXPECT_NE(main, std::string::npos) << text;
  EXPECT_LT(stack, function) << text;
  EXPECT_LT(function, main) << text;
  return text;
}

class CommandLineCrash : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineCrash, EndsWithAReportStatus70AndTheErrorLog) {
  const Case& c = GetParam();
  const fs::path dir = FreshDir(std::string("cli-") + c.mode);
  std::ofstream(dir / "quillmark-cli.log") << "a line of an earlier run\n";
  const Ended r = RunProgram(QM_CLI_PATH, dir, {std::string("QUILLMARK_CRASH_TEST=") + c.mode});
  EXPECT_EQ(r.status, 70) << r.err;
  CheckReport(dir, "quillmark-cli", c, r);
  ASSERT_TRUE(fs::exists(dir / "quillmark-cli.log"));
  EXPECT_EQ(testsupport::FileText(dir / "quillmark-cli.log"), "")
      << "the error log is written as at exit";
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Modes, CommandLineCrash, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string n = info.param.mode;
                           for (char& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

// Faults whose stack does not reach main: a stack overflow, on the main thread or
// another one, and a fault on another thread while the main one ends the program.
TEST(ProgramCrash, AStackOverflowOrAFaultOnAnotherThreadEndsInAReportAnd70) {
  const Case cases[] = {
      {"stack-overflow", "Signal: SIGSEGV (segmentation fault, address 0x",
       "crash::test::RecurseForever(int)"},
      {"thread-stack-overflow", "Signal: SIGSEGV (segmentation fault, address 0x",
       "crash::test::RecurseForever(int)"},
      {"thread-fault-exit", "Signal: SIGSEGV (segmentation fault, sent by process",
       "crash::test::RaiseSignal(int)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const fs::path dir = FreshDir(std::string("cli-") + c.mode);
    const Ended r = RunProgram(QM_CLI_PATH, dir, {std::string("QUILLMARK_CRASH_TEST=") + c.mode});
    EXPECT_EQ(r.status, 70) << r.err;
    EXPECT_EQ(r.signal, 0) << r.err;
    const std::vector<fs::path> reports = Reports(dir);
    ASSERT_EQ(reports.size(), 1u) << r.err;
    const std::string text = testsupport::FileText(reports[0]);
    EXPECT_NE(text.find(c.cause), std::string::npos) << text;
    EXPECT_NE(text.find(c.function), std::string::npos) << text;
    EXPECT_NE(r.err.find("crash report: " + reports[0].string() + "\n"), std::string::npos) << r.err;
    fs::remove_all(dir);
  }
}

TEST(ProgramCrash, TheMySQLClientReportsAnExceptionAndASignal) {
  for (const Case& c : {CaseFor("throw"), CaseFor("SIGSEGV")}) {
    SCOPED_TRACE(c.mode);
    const fs::path dir = FreshDir(std::string("mysql-") + c.mode);
    const Ended r = RunProgram(QM_MYSQL_PATH, dir, {std::string("QUILLMARK_CRASH_TEST=") + c.mode});
    EXPECT_EQ(r.status, 70) << r.err;
    CheckReport(dir, "quillmark-mysql", c, r);
    fs::remove_all(dir);
  }
}

TEST(ProgramCrash, AWorkingDirectoryThatCannotBeWrittenSendsTheReportToTheStateFolder) {
  const fs::path state = FreshDir("state");
  // Not even root may create files in /proc.
  const Ended r = RunProgram(QM_CLI_PATH, "/proc",
                             {"QUILLMARK_CRASH_TEST=SIGABRT", "XDG_STATE_HOME=" + state.string()});
  EXPECT_EQ(r.status, 70) << r.err;
  CheckReport(state / "quillmark", "quillmark-cli", CaseFor("SIGABRT"), r);
  fs::remove_all(state);
}

TEST(ProgramCrash, WithNowhereToWriteTheReportGoesToStandardErrorAndTheStatusIsStill70) {
  for (const Case& c : {CaseFor("throw"), CaseFor("SIGSEGV")}) {
    SCOPED_TRACE(c.mode);
    const Ended r = RunProgram(QM_CLI_PATH, "/proc",
                               {std::string("QUILLMARK_CRASH_TEST=") + c.mode,
                                "XDG_STATE_HOME=/proc/no-such-folder", "HOME=/proc/no-such-folder"});
    EXPECT_EQ(r.status, 70) << r.err;
    const std::string cause = c.mode == std::string("throw") ? "std::runtime_error" : "SIGSEGV";
    EXPECT_NE(r.err.find("quillmark-cli: internal error (" + cause +
                         "); no crash report could be written ("),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(c.cause), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" in " + std::string(c.function) + " at "), std::string::npos) << r.err;
  }
}

TEST(ProgramCrash, NoSwitchNoReport) {
  const fs::path dir = FreshDir("none");
  const Ended r = RunProgram(QM_CLI_PATH, dir, {"QUILLMARK_CRASH_TEST="});
  EXPECT_EQ(r.status, 2) << "no arguments: the usage, as always";
  EXPECT_TRUE(Reports(dir).empty());
  fs::remove_all(dir);
}

#ifdef QM_DESKTOP_PATH
const std::vector<std::string> kOffscreen = {"QT_QPA_PLATFORM=offscreen"};

TEST(DesktopCrash, AnExceptionFromAHandlerIsReportedAndTheProgramGoesOn) {
  const fs::path dir = FreshDir("desktop-throw");
  std::vector<std::string> env = kOffscreen;
  env.push_back("QUILLMARK_CRASH_TEST=throw");
  bool asked = false;
  const Ended r = RunProgram(QM_DESKTOP_PATH, dir, env, [&](pid_t pid) {
    // The report is written before its window opens; then a terminate request ends
    // the program as closing its window does, so it must still be running its loop.
    if (!asked && !Reports(dir).empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      kill(pid, SIGTERM);
      asked = true;
    }
  });
  EXPECT_TRUE(asked);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string text = CheckReport(dir, "quillmark", CaseFor("throw"), r);
  EXPECT_NE(text.find("\nQt: 6."), std::string::npos) << text;
  EXPECT_TRUE(fs::exists(dir / "quillmark.log"));
  fs::remove_all(dir);
}

TEST(DesktopCrash, AFatalSignalIsReportedAndEndsTheProgramWith70) {
  for (const Case& c : {CaseFor("SIGSEGV"), CaseFor("null-write")}) {
    SCOPED_TRACE(c.mode);
    const fs::path dir = FreshDir(std::string("desktop-") + c.mode);
    std::ofstream(dir / "quillmark.log") << "a line of an earlier run\n";
    std::vector<std::string> env = kOffscreen;
    env.push_back(std::string("QUILLMARK_CRASH_TEST=") + c.mode);
    const Ended r = RunProgram(QM_DESKTOP_PATH, dir, env);
    EXPECT_EQ(r.status, 70) << r.err;
    const std::string text = CheckReport(dir, "quillmark", c, r);
    EXPECT_NE(text.find("\nQt: 6."), std::string::npos) << text;
    EXPECT_NE(text.find("TQuillmarkApplication::notify"), std::string::npos)
        << "raised from an event handler: " << text;
    EXPECT_EQ(testsupport::FileText(dir / "quillmark.log"), "");
    fs::remove_all(dir);
  }
}
#endif

}  // namespace
