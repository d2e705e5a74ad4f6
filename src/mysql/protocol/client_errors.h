// The client's own error numbers (2000 and up) and their printf-style texts.
#pragma once

#include <cstdarg>
#include <string>

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

// The template for a client error number; nullptr for a number without one.
const char* ClientErrorTemplate(int number);

// The template filled with printf-style arguments; "Unknown MySQL error" for a number
// without a template.
std::string FormatClientError(int number, ...);
std::string FormatClientErrorV(int number, va_list args);

}  // namespace mysql
