#include "job/process_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

std::atomic<bool> StopRequested{false};
std::vector<std::string> ErrorLog;

namespace job {

std::string ErrorLogFileName(std::string_view programPath) {
  std::string_view name = programPath;
  if (auto slash = name.find_last_of('/'); slash != std::string_view::npos)
    name.remove_prefix(slash + 1);
  // A leading dot names a hidden file, not an extension.
  if (auto dot = name.find_last_of('.'); dot != std::string_view::npos && dot > 0)
    name = name.substr(0, dot);
  return std::string(name) + ".log";
}

bool WriteErrorLines(int fd) noexcept {
  auto writeAll = [fd](const char* data, std::size_t n) {
    while (n > 0) {
      const ssize_t w = ::write(fd, data, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      data += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  };
  for (const std::string& line : ErrorLog)
    if (!writeAll(line.data(), line.size()) || !writeAll("\n", 1)) return false;
  return true;
}

bool WriteErrorLogFile(std::string_view programPath) noexcept {
  std::string name;
  try {
    name = ErrorLogFileName(programPath);
  } catch (...) {
    return false;
  }
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    std::fprintf(stderr, "Cannot write the error log %s: %s\n", name.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = WriteErrorLines(fd);
  const int err = errno;
  if (::close(fd) != 0) ok = false;
  if (!ok)
    std::fprintf(stderr, "Cannot write the error log %s: %s\n", name.c_str(),
                 std::strerror(err ? err : errno));
  return ok;
}

}  // namespace job
