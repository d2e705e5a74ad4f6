#include "platform/crash/stack.h"

#include <backtrace.h>
#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace crash::detail {

namespace {

struct Location {
  std::string function;
  std::string file;
  int line = 0;
};

void IgnoreError(void*, const char*, int) {}

backtrace_state* State() {
  // One state for the process's life; libbacktrace has no way to free it.
  static backtrace_state* const state = backtrace_create_state(nullptr, 1, IgnoreError, nullptr);
  return state;
}

std::string Demangle(const char* name) {
  if (!name) return {};
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> out(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                             std::free);
  return status == 0 && out ? std::string(out.get()) : std::string(name);
}

// Paths below the source tree are shown from it, as a developer reads them; a compiler
// cache may have recorded them relative to the build folder.
std::string ShortFile(const char* file) {
  std::string f = file ? file : "";
  const std::string root = QUILLMARK_SOURCE_ROOT "/";
  if (f.rfind(root, 0) == 0) f.erase(0, root.size());
  if (f.rfind("../", 0) == 0 && f.find("/src/") != std::string::npos) {
    while (f.rfind("../", 0) == 0) f.erase(0, 3);
  }
  return f;
}

// The innermost call first, then the calls it was inlined into.
std::vector<Location> Resolve(std::uintptr_t pc) {
  std::vector<Location> out;
  backtrace_state* state = State();
  if (!state || pc == 0) return out;
  backtrace_pcinfo(
      state, pc,
      [](void* data, std::uintptr_t, const char* file, int line, const char* function) {
        auto* v = static_cast<std::vector<Location>*>(data);
        if (function || file) v->push_back({Demangle(function), ShortFile(file), line});
        return 0;
      },
      IgnoreError, &out);
  if (out.empty() || out.front().function.empty()) {
    std::string symbol;
    backtrace_syminfo(
        state, pc,
        [](void* data, std::uintptr_t, const char* name, std::uintptr_t, std::uintptr_t) {
          if (name) *static_cast<std::string*>(data) = Demangle(name);
        },
        IgnoreError, &symbol);
    // A stripped library keeps only its dynamic symbols, which libbacktrace may not read.
    Dl_info info{};
    if (symbol.empty() && dladdr(reinterpret_cast<void*>(pc), &info) && info.dli_sname)
      symbol = Demangle(info.dli_sname);
    if (!symbol.empty()) {
      if (out.empty()) out.push_back({});
      out.front().function = symbol;
    }
  }
  return out;
}

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// shown is the address printed; lookup the one named in this process (0: none), taken
// one byte back so that a call's return address names the call, not what follows it.
void AppendFrame(ReportWriter& w, int index, std::uintptr_t shown, std::uintptr_t lookup,
                 const std::string& module) {
  const std::vector<Location> where = Resolve(lookup ? lookup - 1 : 0);
  AppendFrameNumber(w, index, shown);
  w.Text(" in ");
  if (where.empty()) w.Text("??");
  for (std::size_t i = 0; i < where.size(); ++i) {
    const Location& l = where[i];
    if (i > 0) w.Text("\n    inlined in ");
    w.Text(l.function.empty() ? "??" : l.function.c_str());
    if (!l.file.empty()) w.Text(" at ").Text(l.file.c_str()).Char(':').Dec(l.line);
  }
  if (!module.empty()) w.Text(" (").Text(BaseName(module).c_str()).Char(')');
  w.Char('\n');
}

struct Mapping {
  std::uintptr_t start = 0, end = 0, offset = 0;
  std::string path;
};

std::vector<Mapping> ReadMaps(const std::string& file) {
  std::vector<Mapping> maps;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    std::istringstream s(line);
    std::string range, perms, offset, device, inode, path;
    s >> range >> perms >> offset >> device >> inode;
    std::getline(s >> std::ws, path);
    const auto dash = range.find('-');
    if (dash == std::string::npos || path.empty() || path[0] != '/') continue;
    Mapping m;
    m.start = std::strtoull(range.substr(0, dash).c_str(), nullptr, 16);
    m.end = std::strtoull(range.substr(dash + 1).c_str(), nullptr, 16);
    m.offset = std::strtoull(offset.c_str(), nullptr, 16);
    m.path = path;
    maps.push_back(m);
  }
  return maps;
}

}  // namespace

void AppendFrameNumber(ReportWriter& w, int index, std::uintptr_t pc) {
  w.Char('#').Dec(index).Text(index < 10 ? "  " : " ").Hex(pc, 16);
}

void WarmUpStack() {
  void* frames[2];
  backtrace(frames, 2);
}

int CaptureStack(void** frames, int max) {
  return backtrace(frames, max);
}

void AppendStack(ReportWriter& w, void* const* frames, int n) {
  for (int i = 0; i < n; ++i) {
    const auto pc = reinterpret_cast<std::uintptr_t>(frames[i]);
    Dl_info info{};
    std::string module;
    if (dladdr(reinterpret_cast<void*>(pc - 1), &info) && info.dli_fname) module = info.dli_fname;
    AppendFrame(w, i, pc, pc, module);
  }
}

int RunStackHelper(int argc, char** argv) {
  // The crashed program waits for this process; never keep it waiting long. The
  // signal mask is inherited across exec, so the alarm must be deliverable first.
  sigset_t alarmOnly;
  sigemptyset(&alarmOnly);
  sigaddset(&alarmOnly, SIGALRM);
  sigprocmask(SIG_UNBLOCK, &alarmOnly, nullptr);
  signal(SIGALRM, SIG_DFL);
  alarm(20);
  if (argc < 3) return 2;
  const std::vector<Mapping> theirs = ReadMaps(std::string("/proc/") + argv[2] + "/maps");
  const std::vector<Mapping> ours = ReadMaps("/proc/self/maps");
  ReportWriter w(STDOUT_FILENO);
  for (int i = 3; i < argc; ++i) {
    const std::uintptr_t pc = std::strtoull(argv[i], nullptr, 16);
    std::string module;
    std::uintptr_t lookup = 0;
    for (const Mapping& m : theirs) {
      if (pc < m.start || pc >= m.end) continue;
      module = m.path;
      const std::uintptr_t fileOffset = pc - m.start + m.offset;
      for (const Mapping& o : ours) {
        if (o.path == m.path && fileOffset >= o.offset &&
            fileOffset < o.offset + (o.end - o.start)) {
          lookup = o.start + (fileOffset - o.offset);
          break;
        }
      }
      if (!lookup) {
        // A library this process has not loaded: name the place in the file.
        AppendFrameNumber(w, i - 3, pc);
        w.Text(" in ?? (");
        w.Text(BaseName(module).c_str()).Text("+").Hex(fileOffset).Text(")\n");
      }
      break;
    }
    if (lookup || module.empty()) AppendFrame(w, i - 3, pc, lookup, module);
  }
  return w.Flush() ? 0 : 1;
}

}  // namespace crash::detail
