// Runs one piece of a benchmark in a child process, so that its peak memory is its own.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>

struct ChildMeasures {
  double seconds = 0;     // the work's wall time, measured in the child
  double cpuSeconds = 0;  // the child's user and system time
  long maxRssKiB = 0;     // the child's peak resident memory
};

struct ChildRun : ChildMeasures {
  bool ok = false;     // the work returned (it did not throw) and the child exited 0
  std::string answer;  // what the work returned (one line)
};

// `work` runs in the child; what it throws is printed to stderr and makes the run fail.
inline ChildRun RunInChild(const std::function<std::string()>& work) {
  ChildRun run;
  int fds[2];
  if (::pipe(fds) != 0) return run;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string line;
    const auto t0 = std::chrono::steady_clock::now();
    try {
      line = work();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      ::_exit(1);
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    line = std::to_string(secs) + " " + line + "\n";
    if (::write(fds[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) ::_exit(1);
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  rusage usage{};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return run;
  const auto blank = out.find(' ');
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || blank == std::string::npos) return run;
  run.seconds = std::stod(out.substr(0, blank));
  run.answer = out.substr(blank + 1);
  if (!run.answer.empty() && run.answer.back() == '\n') run.answer.pop_back();
  run.maxRssKiB = usage.ru_maxrss;
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.ok = true;
  return run;
}
