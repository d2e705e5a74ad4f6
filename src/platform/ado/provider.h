// Picks and opens the provider named by a connection string's Provider value
// (without regard to case or version suffix).
#pragma once

#include <memory>
#include <string>

#include "platform/ado/connection.h"
#include "platform/ado/connection_string.h"
#include "platform/ado/odbc/odbc_session.h"

namespace ado {

// Throws DatabaseError naming the cause: an unknown provider, or the provider's own
// message when it cannot open.
std::unique_ptr<Session> OpenProviderSession(const std::string& connectionString);

// The time-outs a connection string sets: "Connect Timeout" for logging in and
// "Command Timeout" for the catalogue's statements, in whole seconds (0: none), 30 s
// each when absent. Throws DatabaseError naming the key for any other value.
odbc::Timeouts TimeoutsOf(const ConnectionString& oledb);

// The ODBC connection string of an MSDASQL connection string (Data Source is the
// data source name; User ID and Password when present).
std::string MsdasqlOdbcConnectionString(const ConnectionString& oledb);

}  // namespace ado
