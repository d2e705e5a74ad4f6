// The pieces of a report that a signal handler may use: no allocation, no locks, only
// write(2), open(2) and arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace crash::detail {

// Text gathered in a fixed buffer and passed on when full: written to a file
// descriptor, or appended to a string (outside signal handlers only).
class ReportWriter {
 public:
  explicit ReportWriter(int fd) : fd_(fd) {}
  explicit ReportWriter(std::string* out) : out_(out) {}
  ~ReportWriter() { Flush(); }
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  ReportWriter& Text(const char* s);
  ReportWriter& Text(const char* s, std::size_t n);
  ReportWriter& Char(char c) { return Text(&c, 1); }
  ReportWriter& Dec(long long v, int minDigits = 1);
  ReportWriter& Hex(std::uintptr_t v, int minDigits = 1);  // with "0x"
  // Passes the buffer on; false once any write failed.
  bool Flush();
  bool ok() const { return ok_; }

 private:
  int fd_ = -1;
  std::string* out_ = nullptr;
  char buf_[2048];
  std::size_t size_ = 0;
  bool ok_ = true;
};

// Writes all of n bytes, going on after EINTR and short writes.
bool WriteAll(int fd, const char* data, std::size_t n);

// Copies src into dst (capacity cap, always terminated); returns the length copied.
std::size_t CopyText(char* dst, std::size_t cap, const char* src);

struct CivilTime {
  int year, month, day, hour, minute, second;
  long offsetSeconds;  // east of UTC
};

// The local time of t for a fixed offset from UTC: calendar arithmetic that a signal
// handler may do (localtime_r takes locks and reads files).
CivilTime ToCivil(std::time_t t, long offsetSeconds);

// "2026-12-10 15:50:12 +0100"
void AppendTime(ReportWriter& w, const CivilTime& t);

// "quillmark-crash-20261210-155012.txt", with "-N" before ".txt" for N > 1.
void ReportFileName(char* out, std::size_t cap, const CivilTime& t, int n);

// Creates the report file in dir, adding "-2", "-3", ... when the name is taken; the
// full path goes to path. Returns the descriptor, or -1 with errno set.
int CreateReportFile(const char* dir, const CivilTime& t, char* path, std::size_t cap);

// Creates dir and its parents as needed (mode 0700); false with errno set.
bool MakeDirectories(const char* dir);

// "SIGSEGV" and "segmentation fault" for SIGSEGV; nullptr for a signal not reported.
const char* SignalName(int sig);
const char* SignalMeaning(int sig);

}  // namespace crash::detail
