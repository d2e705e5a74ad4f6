#include "mysql/protocol/client_errors.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace mysql {

namespace {

// Texts stand exactly as older clients print them (two blanks after "sync;" included):
// users and scripts match on them.
const char* const kTable[] = {
    "Unknown MySQL error",
    "Can't create UNIX socket (%d)",
    "Can't connect to local MySQL server through socket '%-.64s' (%d)",
    "Can't connect to MySQL server on '%-.64s' (%d)",
    "Can't create TCP/IP socket (%d)",
    "Unknown MySQL Server Host '%-.64s' (%d)",
    "MySQL server has gone away",
    "Protocol mismatch. Server Version = %d Client Version = %d",
    "MySQL client run out of memory",
    "Wrong host info",
    "Localhost via UNIX socket",
    "%-.64s via TCP/IP",
    "Error in server handshake",
    "Lost connection to MySQL server during query",
    "Commands out of sync;  You can't run this command now",
    "%-.64s via named pipe",
    "Can't wait for named pipe to host: %-.64s  pipe: %-.32s (%lu)",
    "Can't open named pipe to host: %-.64s  pipe: %-.32s (%u)",
    "Can't set state of named pipe to host: %-.64s  pipe: %-.32s (%lu)",
    "Can't initialize character set %-.64s (path: %-.64s)",
    "Got packet bigger than 'max_allowed_packet'",
};

}  // namespace

const char* ClientErrorTemplate(int number) {
  if (number >= 2000 && number <= 2020) return kTable[number - 2000];
  switch (number) {
    case CR_MALFORMED_PACKET: return "Malformed packet";
    case CR_SECURE_AUTH: return "No secure authentication available to this MySQL server.";
    case CR_LOCAL_INFILE_REFUSED: return "LOAD DATA LOCAL INFILE request refused: %s";
    default: return nullptr;
  }
}

std::string FormatClientErrorV(int number, va_list args) {
  const char* tmpl = ClientErrorTemplate(number);
  if (!tmpl) tmpl = kTable[0];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, tmpl, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), tmpl, args);
    out.assign(buf.data(), static_cast<size_t>(n));
  }
  return out;
}

std::string FormatClientError(int number, ...) {
  va_list args;
  va_start(args, number);
  std::string out = FormatClientErrorV(number, args);
  va_end(args);
  return out;
}

}  // namespace mysql
