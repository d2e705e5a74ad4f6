#include "platform/crash/report_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace crash::detail {

bool WriteAll(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

std::size_t CopyText(char* dst, std::size_t cap, const char* src) {
  if (cap == 0) return 0;
  std::size_t i = 0;
  for (; src && src[i] && i + 1 < cap; ++i) dst[i] = src[i];
  dst[i] = '\0';
  return i;
}

ReportWriter& ReportWriter::Text(const char* s) {
  return Text(s, s ? std::strlen(s) : 0);
}

ReportWriter& ReportWriter::Text(const char* s, std::size_t n) {
  while (n > 0) {
    if (size_ == sizeof buf_) Flush();
    const std::size_t room = sizeof buf_ - size_;
    const std::size_t take = n < room ? n : room;
    std::memcpy(buf_ + size_, s, take);
    size_ += take;
    s += take;
    n -= take;
  }
  return *this;
}

ReportWriter& ReportWriter::Dec(long long v, int minDigits) {
  char digits[24];
  int n = 0;
  const bool negative = v < 0;
  unsigned long long u =
      negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  do {
    digits[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u > 0);
  while (n < minDigits && n < 20) digits[n++] = '0';
  if (negative) Char('-');
  while (n > 0) Char(digits[--n]);
  return *this;
}

ReportWriter& ReportWriter::Hex(std::uintptr_t v, int minDigits) {
  char digits[2 * sizeof v];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[v & 0xf];
    v >>= 4;
  } while (v > 0);
  while (n < minDigits && n < static_cast<int>(sizeof digits)) digits[n++] = '0';
  Text("0x");
  while (n > 0) Char(digits[--n]);
  return *this;
}

bool ReportWriter::Flush() {
  if (size_ == 0) return ok_;
  if (out_) {
    out_->append(buf_, size_);
  } else if (!WriteAll(fd_, buf_, size_)) {
    ok_ = false;
  }
  size_ = 0;
  return ok_;
}

CivilTime ToCivil(std::time_t t, long offsetSeconds) {
  // Days since 1970-01-01 to a proleptic Gregorian date, in 400-year eras.
  long long s = static_cast<long long>(t) + offsetSeconds;
  long long days = s / 86400;
  long long rest = s % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long doe = days - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  return CivilTime{static_cast<int>(y),
                   static_cast<int>(m),
                   static_cast<int>(d),
                   static_cast<int>(rest / 3600),
                   static_cast<int>(rest / 60 % 60),
                   static_cast<int>(rest % 60),
                   offsetSeconds};
}

void AppendTime(ReportWriter& w, const CivilTime& t) {
  w.Dec(t.year, 4).Char('-').Dec(t.month, 2).Char('-').Dec(t.day, 2).Char(' ');
  w.Dec(t.hour, 2).Char(':').Dec(t.minute, 2).Char(':').Dec(t.second, 2).Char(' ');
  const long off = t.offsetSeconds < 0 ? -t.offsetSeconds : t.offsetSeconds;
  w.Char(t.offsetSeconds < 0 ? '-' : '+').Dec(off / 3600, 2).Dec(off / 60 % 60, 2);
}

void ReportFileName(char* out, std::size_t cap, const CivilTime& t, int n) {
  // Built digit by digit: snprintf is not async-signal-safe.
  char buf[64];
  std::size_t len = CopyText(buf, sizeof buf, "quillmark-crash-");
  auto put = [&](long long v, int digits) {
    char tmp[24];
    int k = 0;
    do {
      tmp[k++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v > 0 && k < 20);
    while (k < digits) tmp[k++] = '0';
    while (k > 0 && len + 1 < sizeof buf) buf[len++] = tmp[--k];
  };
  put(t.year, 4);
  put(t.month, 2);
  put(t.day, 2);
  buf[len++] = '-';
  put(t.hour, 2);
  put(t.minute, 2);
  put(t.second, 2);
  if (n > 1) {
    buf[len++] = '-';
    put(n, 1);
  }
  buf[len] = '\0';
  len += CopyText(buf + len, sizeof buf - len, ".txt");
  CopyText(out, cap, buf);
}

int CreateReportFile(const char* dir, const CivilTime& t, char* path, std::size_t cap) {
  for (int n = 1; n < 100; ++n) {
    std::size_t len = CopyText(path, cap, dir);
    if (len > 0 && path[len - 1] != '/') len += CopyText(path + len, cap - len, "/");
    char name[64];
    ReportFileName(name, sizeof name, t, n);
    if (CopyText(path + len, cap - len, name) != std::strlen(name)) {
      errno = ENAMETOOLONG;
      return -1;
    }
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool MakeDirectories(const char* dir) {
  char path[4096];
  const std::size_t len = CopyText(path, sizeof path, dir);
  for (std::size_t i = 1; i <= len; ++i) {
    if (path[i] != '/' && path[i] != '\0') continue;
    const char saved = path[i];
    path[i] = '\0';
    if (::mkdir(path, 0700) != 0 && errno != EEXIST) return false;
    path[i] = saved;
  }
  struct stat st {};
  return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

const char* SignalName(int sig) {
  switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGABRT: return "SIGABRT";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    default: return nullptr;
  }
}

const char* SignalMeaning(int sig) {
  switch (sig) {
    case SIGSEGV: return "segmentation fault";
    case SIGABRT: return "aborted";
    case SIGBUS: return "bus error";
    case SIGFPE: return "floating-point error";
    case SIGILL: return "illegal instruction";
    default: return nullptr;
  }
}

}  // namespace crash::detail
