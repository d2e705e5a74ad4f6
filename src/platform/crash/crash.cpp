#include "platform/crash/crash.h"

#include <cxxabi.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>

#include "platform/crash/report_text.h"
#include "platform/crash/stack.h"

extern char** environ;

namespace crash {

namespace {

using detail::CivilTime;
using detail::CopyText;
using detail::ReportWriter;

// What a report needs, noted at Install: a signal handler may read it but not ask for it.
struct State {
  char program[64] = "quillmark";
  char system[512] = "";
  char environment[512] = "";
  char stateDir[2048] = "";
  long utcOffset = 0;
  char crashFile[2048] = "";
  CrashWriter crashWriter = nullptr;
  void* signalStack = nullptr;  // the main thread's, for the process's life
};
State state;

constexpr int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};

// The thread writing a report after a fatal signal; 0 while none is.
std::atomic<pid_t> reporter{0};

// Another thread may end the program normally while a report is being written; the
// process must still end as the report says, with kExitSoftware, not with its status.
void WaitForReportAtExit() {
  if (reporter.load() == 0) return;
  for (;;) pause();
}


long CurrentUtcOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  return localtime_r(&now, &local) ? local.tm_gmtoff : 0;
}

CivilTime Now(long utcOffset) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return detail::ToCivil(ts.tv_sec, utcOffset);
}

std::string OsName() {
  std::ifstream in("/etc/os-release");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
    std::string v = line.substr(12);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'')) v = v.substr(1, v.size() - 2);
    return v;
  }
  return "unknown distribution";
}

void NoteSystem() {
  std::string s = OsName();
  utsname u{};
  if (uname(&u) == 0)
    s += std::string("; ") + u.sysname + " " + u.release + " " + u.version + " " + u.machine;
  CopyText(state.system, sizeof state.system, s.c_str());

  std::string dir;
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && xdg[0] == '/')
    dir = xdg;
  else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
    dir = std::string(home) + "/.local/state";
  if (!dir.empty()) dir += "/quillmark";
  CopyText(state.stateDir, sizeof state.stateDir, dir.c_str());
}

void AppendHead(ReportWriter& w, const CivilTime& t) {
  w.Text("Quillmark crash report\n\n");
  w.Text("Program: ").Text(state.program).Char(' ').Text(QUILLMARK_VERSION).Char('\n');
  w.Text("Process: ").Dec(getpid()).Char('\n');
  w.Text("Time: ");
  detail::AppendTime(w, t);
  w.Char('\n');
}

void AppendTail(ReportWriter& w) {
  w.Text("System: ").Text(state.system[0] ? state.system : "unknown").Char('\n');
  w.Text(state.environment);
  w.Text("\nCall stack (innermost call first):\n");
}

// The report file: the working directory, else the user's state folder. errno is the
// working directory's failure when both fail.
int OpenReportFile(const CivilTime& t, char* path, std::size_t cap) {
  char cwd[2048];
  int firstError = 0;
  if (getcwd(cwd, sizeof cwd)) {
    const int fd = detail::CreateReportFile(cwd, t, path, cap);
    if (fd >= 0) return fd;
    firstError = errno;
  } else {
    firstError = errno;
  }
  if (state.stateDir[0] && detail::MakeDirectories(state.stateDir)) {
    const int fd = detail::CreateReportFile(state.stateDir, t, path, cap);
    if (fd >= 0) return fd;
  }
  path[0] = '\0';
  errno = firstError;
  return -1;
}

// "quillmark-cli: internal error (SIGSEGV); crash report: /dir/quillmark-crash-....txt"
void TellStandardError(const char* cause, const char* path, int error) {
  ReportWriter w(STDERR_FILENO);
  w.Text(state.program).Text(": internal error (").Text(cause).Text("); ");
  if (path && path[0]) {
    w.Text("crash report: ").Text(path);
  } else {
    const char* name = strerrorname_np(error);
    w.Text("no crash report could be written (").Text(name ? name : "unknown error").Char(')');
  }
  w.Char('\n');
}

void RunCrashWriter() {
  if (!state.crashWriter || !state.crashFile[0]) return;
  const int fd = ::open(state.crashFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return;
  state.crashWriter(fd);
  ::close(fd);
}

// Names the frames in a fresh copy of the program (this process may have a broken
// heap and held locks), its output going straight into the report; false when it
// could not run or failed.
bool NameFramesInHelper(int fd, void* const* frames, int n) {
  static char addresses[detail::kMaxFrames][24];
  static char pid[24];
  static char* argv[detail::kMaxFrames + 4];
  auto hex = [](char* out, std::uintptr_t v) {
    char digits[20];
    int k = 0;
    do {
      digits[k++] = "0123456789abcdef"[v & 0xf];
      v >>= 4;
    } while (v > 0);
    int i = 0;
    while (k > 0) out[i++] = digits[--k];
    out[i] = '\0';
  };
  int a = 0;
  argv[a++] = state.program;
  argv[a++] = const_cast<char*>(detail::kStackHelperArg);
  {
    pid_t p = getpid();
    char digits[20];
    int k = 0;
    do {
      digits[k++] = static_cast<char>('0' + p % 10);
      p /= 10;
    } while (p > 0);
    int i = 0;
    while (k > 0) pid[i++] = digits[--k];
    pid[i] = '\0';
  }
  argv[a++] = pid;
  for (int i = 0; i < n && i < detail::kMaxFrames; ++i) {
    hex(addresses[i], reinterpret_cast<std::uintptr_t>(frames[i]));
    argv[a++] = addresses[i];
  }
  argv[a] = nullptr;

  const pid_t child = _Fork();
  if (child < 0) return false;
  if (child == 0) {
    dup2(fd, STDOUT_FILENO);
    execve("/proc/self/exe", argv, environ);
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void OnFatalSignal(int sig, siginfo_t* info, void* context) {
  // The first thread to fail reports; a fault while reporting ends the process at
  // once, and another thread failing meanwhile waits for the end.
  pid_t none = 0;
  const pid_t self = gettid();
  if (!reporter.compare_exchange_strong(none, self)) {
    if (none == self) _exit(kExitSoftware);
    for (;;) pause();
  }

  void* frames[detail::kMaxFrames];
  const int count = detail::CaptureStack(frames, detail::kMaxFrames);
  // Start at the interrupted instruction; the frames before it are this handler's.
  int first = count > 1 ? 1 : 0;
#if defined(__x86_64__)
  if (context) {
    void* pc =
        reinterpret_cast<void*>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
    for (int i = 0; i < count; ++i)
      if (frames[i] == pc) {
        first = i;
        break;
      }
  }
#endif
  const char* name = detail::SignalName(sig);
  static char path[4096];
  const CivilTime now = Now(state.utcOffset);
  const int file = OpenReportFile(now, path, sizeof path);
  const int openError = errno;
  // With nowhere to write it, the report goes to standard error rather than nowhere.
  const int fd = file >= 0 ? file : STDERR_FILENO;
  {
    {
      ReportWriter w(fd);
      AppendHead(w, now);
      w.Text("Signal: ").Text(name).Text(" (").Text(detail::SignalMeaning(sig));
      if (info && info->si_code > 0 && sig != SIGABRT)
        w.Text(", address ").Hex(reinterpret_cast<std::uintptr_t>(info->si_addr));
      else if (info && info->si_code <= 0)
        w.Text(", sent by process ").Dec(info->si_pid);
      w.Text(")\n");
      AppendTail(w);
    }
    if (!NameFramesInHelper(fd, frames + first, count - first)) {
      ReportWriter w(fd);
      w.Text("(the functions could not be named; addresses only)\n");
      for (int i = first; i < count; ++i) {
        detail::AppendFrameNumber(w, i - first, reinterpret_cast<std::uintptr_t>(frames[i]));
        w.Char('\n');
      }
    }
    if (file >= 0) ::close(file);
  }
  RunCrashWriter();
  TellStandardError(name, path, openError);
  _exit(kExitSoftware);
}

std::string CurrentExceptionType() {
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (!type) return {};
  int status = 0;
  char* name = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  std::string s = status == 0 && name ? name : type->name();
  std::free(name);
  return s;
}

// The address of the thrown object, which is all libstdc++'s exception_ptr holds.
const void* CurrentExceptionObject() {
  const std::exception_ptr e = std::current_exception();
  static_assert(sizeof e == sizeof(void*), "exception_ptr holds the thrown object's address");
  const void* object = nullptr;
  std::memcpy(&object, static_cast<const void*>(&e), sizeof object);
  return object;
}

// With the exceptions it carries (std::throw_with_nested), each on a line of its own:
// the first cause is often the one that tells what went wrong.
std::string CurrentExceptionMessage() {
  try {
    throw;
  } catch (const std::exception& e) {
    std::string message = e.what();
    try {
      std::rethrow_if_nested(e);
    } catch (...) {
      message += "\nNested: " + CurrentExceptionType() + ": " + CurrentExceptionMessage();
    }
    return message;
  } catch (const char* text) {
    return text ? text : "(a null pointer)";
  } catch (const std::string& text) {
    return text;
  } catch (...) {
    return "(not derived from std::exception: no message)";
  }
}

Report WriteReport(const std::string& causeLines, const std::string& shortCause, bool fromThrow) {
  Report r;
  const CivilTime t = Now(CurrentUtcOffset());
  {
    ReportWriter w(&r.text);
    AppendHead(w, t);
    w.Text(causeLines.c_str());
    AppendTail(w);
    const detail::ThrowRecord& thrown = detail::LastThrow();
    if (fromThrow && thrown.count > 0 && thrown.object == CurrentExceptionObject()) {
      detail::AppendStack(w, thrown.frames, thrown.count);
    } else {
      void* frames[detail::kMaxFrames];
      const int n = detail::CaptureStack(frames, detail::kMaxFrames);
      if (fromThrow) w.Text("(where it was thrown is not known; the stack where it was caught)\n");
      detail::AppendStack(w, frames, n);
    }
  }
  char path[4096];
  const int fd = OpenReportFile(t, path, sizeof path);
  int error = errno;
  if (fd >= 0) {
    const bool written = detail::WriteAll(fd, r.text.data(), r.text.size());
    error = errno;
    if (::close(fd) != 0 && written) error = errno;
    if (written)
      r.path = path;
    else
      ::unlink(path);
  }
  if (r.path.empty()) {
    r.failure = std::strerror(error);
    detail::WriteAll(STDERR_FILENO, r.text.data(), r.text.size());
  }
  TellStandardError(shortCause.c_str(), r.path.c_str(), error);
  return r;
}

[[noreturn]] void OnTerminate() {
  static std::atomic<bool> entered{false};
  if (entered.exchange(true)) _exit(kExitSoftware);
  try {
    if (std::current_exception()) {
      ReportCurrentException();
    } else {
      WriteReport("Cause: std::terminate was called without an exception\n", "std::terminate",
                  false);
    }
  } catch (...) {
  }
  RunCrashWriter();
  _exit(kExitSoftware);
}

}  // namespace

void Install(int argc, char** argv, const char* programName) {
  if (argc >= 2 && std::strcmp(argv[1], detail::kStackHelperArg) == 0)
    _exit(detail::RunStackHelper(argc, argv));

  CopyText(state.program, sizeof state.program, programName);
  NoteSystem();
  state.utcOffset = CurrentUtcOffset();
  detail::WarmUpStack();
  detail::RecordThrows();
  std::set_terminate(OnTerminate);

  // Its own stack, so that a stack overflow can still be reported; threads started
  // from now on get one each.
  state.signalStack = detail::UseSignalStack();
  detail::GiveThreadsSignalStacks();
  std::atexit(WaitForReportAtExit);
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  sigemptyset(&action.sa_mask);
  // SA_NODEFER: a fault inside the handler enters it again and ends the process.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  for (int sig : kFatalSignals) sigaction(sig, &action, nullptr);
}

void AddEnvironmentLine(const std::string& line) {
  const std::size_t len = std::strlen(state.environment);
  const std::string text = line + "\n";
  if (len + text.size() < sizeof state.environment)
    CopyText(state.environment + len, sizeof state.environment - len, text.c_str());
}

void WriteAtCrash(const std::string& path, CrashWriter writer) {
  CopyText(state.crashFile, sizeof state.crashFile, path.c_str());
  state.crashWriter = writer;
}

Report ReportCurrentException() noexcept {
  try {
    const std::string type = CurrentExceptionType();
    if (type.empty())
      return WriteReport("Cause: no exception is being handled\n", "no exception", false);
    return WriteReport("Exception: " + type + "\nMessage: " + CurrentExceptionMessage() + "\n",
                       type, true);
  } catch (...) {
    Report r;
    r.failure = "out of memory while writing the report";
    return r;
  }
}

}  // namespace crash
