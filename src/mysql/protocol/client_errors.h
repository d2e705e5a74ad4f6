// The client's own error numbers (2000 and up) and their printf-style texts.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace mysql {

enum ClientError : int {
  CR_UNKNOWN_ERROR = 2000,
  CR_SOCKET_CREATE_ERROR = 2001,
  CR_CONNECTION_ERROR = 2002,
  CR_CONN_HOST_ERROR = 2003,
  CR_IPSOCK_ERROR = 2004,
  CR_UNKNOWN_HOST = 2005,
  CR_SERVER_GONE_ERROR = 2006,
  CR_VERSION_ERROR = 2007,
  CR_OUT_OF_MEMORY = 2008,
  CR_WRONG_HOST_INFO = 2009,
  CR_LOCALHOST_CONNECTION = 2010,
  CR_TCP_CONNECTION = 2011,
  CR_SERVER_HANDSHAKE_ERR = 2012,
  CR_SERVER_LOST = 2013,
  CR_COMMANDS_OUT_OF_SYNC = 2014,
  CR_NAMEDPIPE_CONNECTION = 2015,
  CR_NAMEDPIPEWAIT_ERROR = 2016,
  CR_NAMEDPIPEOPEN_ERROR = 2017,
  CR_NAMEDPIPESETSTATE_ERROR = 2018,
  CR_CANT_READ_CHARSET = 2019,
  CR_NET_PACKET_TOO_LARGE = 2020,
  CR_MALFORMED_PACKET = 2027,
  CR_SECURE_AUTH = 2049,
  CR_LOCAL_INFILE_REFUSED = 2068,
};

// One value for a template's conversion: a number or a text. Texts are copied into the
// result only, so a view of a temporary is fine for the length of the call.
class ErrorArg {
 public:
  template <typename T, std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>, int> = 0>
  ErrorArg(T value) : isText_(false), number_(static_cast<int64_t>(value)) {}
  ErrorArg(const char* text) : text_(text ? text : "") {}
  ErrorArg(std::string_view text) : text_(text) {}
  ErrorArg(const std::string& text) : text_(text) {}

  bool IsText() const { return isText_; }
  int64_t Number() const { return number_; }
  std::string_view Text() const { return text_; }

 private:
  bool isText_ = true;
  int64_t number_ = 0;
  std::string_view text_;
};

// The template for a client error number; nullptr for a number without one.
const char* ClientErrorTemplate(int number);

// The template filled with the values in order, as printf fills it (%d, %u, %lu, %s with
// a precision cutting the text to that many bytes); "Unknown MySQL error" for a number
// without a template. A conversion without a value gives nothing.
std::string FormatClientErrorArgs(int number, std::initializer_list<ErrorArg> args);

template <typename... Args>
std::string FormatClientError(int number, const Args&... args) {
  return FormatClientErrorArgs(number, {ErrorArg(args)...});
}

}  // namespace mysql
