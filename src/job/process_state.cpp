#include "job/process_state.h"

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

bool WriteErrorLogFile(std::string_view programPath) noexcept {
  std::string name;
  try {
    name = ErrorLogFileName(programPath);
  } catch (...) {
    return false;
  }
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "Cannot write the error log %s: %s\n", name.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = true;
  for (const std::string& line : ErrorLog) {
    if (std::fwrite(line.data(), 1, line.size(), f) != line.size() || std::fputc('\n', f) == EOF) {
      ok = false;
      break;
    }
  }
  const int err = errno;
  if (std::fclose(f) != 0) ok = false;
  if (!ok)
    std::fprintf(stderr, "Cannot write the error log %s: %s\n", name.c_str(),
                 std::strerror(err ? err : errno));
  return ok;
}

}  // namespace job
