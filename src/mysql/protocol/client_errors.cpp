#include "mysql/protocol/client_errors.h"

#include <cstddef>
#include <string_view>

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

// A number the way printf prints it for the conversion's length and signedness.
std::string NumberText(int64_t value, char conversion, bool isLong) {
  if (conversion == 'd' || conversion == 'i') {
    return std::to_string(isLong ? static_cast<long>(value) : static_cast<int>(value));
  }
  return isLong ? std::to_string(static_cast<unsigned long>(value))
                : std::to_string(static_cast<unsigned>(value));
}

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

std::string FormatClientErrorArgs(int number, std::initializer_list<ErrorArg> args) {
  const char* found = ClientErrorTemplate(number);
  const std::string_view tmpl = found ? found : kTable[0];
  const ErrorArg* next = args.begin();
  std::string out;
  for (size_t i = 0; i < tmpl.size(); ++i) {
    if (tmpl[i] != '%') {
      out.push_back(tmpl[i]);
      continue;
    }
    // The conversions the templates use: %%, and %[-][.N][l](d|i|u|s). No template
    // pads, so the '-' flag changes nothing.
    size_t j = i + 1;
    if (j < tmpl.size() && tmpl[j] == '%') {
      out.push_back('%');
      i = j;
      continue;
    }
    while (j < tmpl.size() && tmpl[j] == '-') ++j;
    size_t precision = std::string_view::npos;
    if (j < tmpl.size() && tmpl[j] == '.') {
      precision = 0;
      for (++j; j < tmpl.size() && tmpl[j] >= '0' && tmpl[j] <= '9'; ++j) {
        precision = precision * 10 + static_cast<size_t>(tmpl[j] - '0');
      }
    }
    bool isLong = false;
    while (j < tmpl.size() && tmpl[j] == 'l') {
      isLong = true;
      ++j;
    }
    if (j >= tmpl.size()) break;
    const char conversion = tmpl[j];
    i = j;
    if (next == args.end()) continue;
    const ErrorArg& arg = *next++;
    if (conversion == 's') {
      std::string text = arg.IsText() ? std::string(arg.Text()) : std::to_string(arg.Number());
      // Like printf, the text ends at a zero byte.
      text = text.substr(0, text.find('\0'));
      out += text.substr(0, precision);
    } else if (arg.IsText()) {
      out += arg.Text();
    } else {
      out += NumberText(arg.Number(), conversion, isLong);
    }
  }
  return out;
}

}  // namespace mysql
