#include "platform/ado/provider.h"

#include <charconv>

#include "platform/ado/connection_string.h"
#include "platform/ado/jet/jet_session.h"
#include "platform/ado/odbc/odbc_session.h"
#include "platform/ado/odbc/sqlserver.h"

namespace ado {

std::string MsdasqlOdbcConnectionString(const ConnectionString& oledb) {
  std::string dsn = oledb.value("Data Source");
  if (dsn.empty()) dsn = oledb.value("DSN");
  std::string out = "DSN=" + OdbcAttributeValue(dsn) + ";";
  if (auto uid = oledb.get("User ID")) out += "UID=" + OdbcAttributeValue(*uid) + ";";
  if (auto pwd = oledb.get("Password")) out += "PWD=" + OdbcAttributeValue(*pwd) + ";";
  return out;
}

namespace {

unsigned Seconds(const ConnectionString& oledb, const char* key) {
  const auto text = oledb.get(key);
  if (!text) return 30;
  unsigned n = 0;
  const char* end = text->data() + text->size();
  auto [p, ec] = std::from_chars(text->data(), end, n);
  if (text->empty() || ec != std::errc() || p != end)
    throw DatabaseError(std::string(key) + " must be a whole number of seconds, not \"" + *text +
                        "\".");
  return n;
}

}  // namespace

odbc::Timeouts TimeoutsOf(const ConnectionString& oledb) {
  return {Seconds(oledb, "Connect Timeout"), Seconds(oledb, "Command Timeout")};
}

std::unique_ptr<Session> OpenProviderSession(const std::string& connectionString) {
  const ConnectionString cs(connectionString);
  cs.requireClosedQuotes();
  const auto provider = cs.get("Provider");
  // ADO's default provider is the ODBC one.
  const std::string base = provider ? ProviderBaseName(*provider) : "MSDASQL";
  if (base == "MSDASQL") {
    const odbc::Timeouts timeouts = TimeoutsOf(cs);
    // The MariaDB driver waits for the server's greeting only as long as its own key
    // says; it does not read the login time-out attribute for that.
    std::string odbc = MsdasqlOdbcConnectionString(cs);
    if (timeouts.loginSeconds > 0)
      odbc += "CONN_TIMEOUT=" + std::to_string(timeouts.loginSeconds) + ";";
    // Its query time-out is the server's max_statement_time, which a server that has
    // stopped answering never applies: only a wait bounded on this side ends the wait
    // for a catalogue statement. It bounds every statement's wait, as ADO's command
    // time-out does.
    if (timeouts.catalogueSeconds > 0) {
      const std::string seconds = std::to_string(timeouts.catalogueSeconds);
      odbc += "READ_TIMEOUT=" + seconds + ";WRITE_TIMEOUT=" + seconds + ";";
    }
    return std::make_unique<odbc::OdbcSession>(odbc, timeouts);
  }
  if (base == "SQLOLEDB" || base == "SQLNCLI")
    return std::make_unique<odbc::OdbcSession>(
        odbc::SqlServerOdbcConnectionString(cs, base == "SQLNCLI", odbc::SqlServerDriver()),
        TimeoutsOf(cs));
  if (base == "MICROSOFT.JET.OLEDB" || base == "MICROSOFT.ACE.OLEDB")
    return std::make_unique<jet::JetSession>(cs.value("Data Source"));
  throw DatabaseError("Provider cannot be found. It may not be properly installed. (Provider=" +
                      (provider ? *provider : std::string()) + ")");
}

}  // namespace ado
