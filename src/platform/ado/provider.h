// Picks and opens the provider named by a connection string's Provider value
// (without regard to case or version suffix).
#pragma once

#include <memory>
#include <string>

#include "platform/ado/connection.h"
#include "platform/ado/connection_string.h"

namespace ado {

// Throws DatabaseError naming the cause: an unknown provider, or the provider's own
// message when it cannot open.
std::unique_ptr<Session> OpenProviderSession(const std::string& connectionString);

// The ODBC connection string of an MSDASQL connection string (Data Source is the
// data source name; User ID and Password when present).
std::string MsdasqlOdbcConnectionString(const ConnectionString& oledb);

}  // namespace ado
