// Picks and opens the provider named by a connection string's Provider value
// (without regard to case or version suffix).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ado/connection.h"
#include "platform/ado/connection_string.h"
#include "platform/ado/odbc/odbc_session.h"

namespace ado {

// The providers a connection string can name.
enum class ProviderKind {
  Msdasql,   // MSDASQL: an ODBC data source
  SqlOledb,  // SQLOLEDB: SQL Server, TDS 7.1
  SqlNcli,   // SQLNCLI: SQL Server, TDS 7.2
  Jet,       // Microsoft.Jet.OLEDB, Microsoft.ACE.OLEDB: an Access file
};

// The provider a Provider value names, without regard to case or version suffix;
// nullopt for any other name, an empty one included.
std::optional<ProviderKind> ProviderNamed(std::string_view provider);

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
