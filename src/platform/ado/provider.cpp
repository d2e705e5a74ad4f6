#include "platform/ado/provider.h"

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

std::unique_ptr<Session> OpenProviderSession(const std::string& connectionString) {
  const ConnectionString cs(connectionString);
  const auto provider = cs.get("Provider");
  // ADO's default provider is the ODBC one.
  const std::string base = provider ? ProviderBaseName(*provider) : "MSDASQL";
  if (base == "MSDASQL")
    return std::make_unique<odbc::OdbcSession>(MsdasqlOdbcConnectionString(cs));
  if (base == "SQLOLEDB" || base == "SQLNCLI")
    return std::make_unique<odbc::OdbcSession>(
        odbc::SqlServerOdbcConnectionString(cs, base == "SQLNCLI", odbc::SqlServerDriver()));
  if (base == "MICROSOFT.JET.OLEDB" || base == "MICROSOFT.ACE.OLEDB")
    return std::make_unique<jet::JetSession>(cs.value("Data Source"));
  throw DatabaseError("Provider cannot be found. It may not be properly installed. (Provider=" +
                      (provider ? *provider : std::string()) + ")");
}

}  // namespace ado
