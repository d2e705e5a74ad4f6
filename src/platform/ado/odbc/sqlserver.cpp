#include "platform/ado/odbc/sqlserver.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/text/text.h"

namespace ado::odbc {

namespace {

constexpr const char* kFreeTds = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";

bool IsLocal(const std::string& host) {
  return host.empty() || host == "." || text::EqualsNoCase(host, "(local)");
}

}  // namespace

std::string SqlServerDriver() {
  const char* env = std::getenv("QUILLMARK_SQLSERVER_ODBC_DRIVER");
  if (env && *env) return env;
  if (access(kFreeTds, R_OK) == 0) return kFreeTds;
  return "FreeTDS";
}

std::string SqlServerOdbcConnectionString(const ConnectionString& oledb, bool nativeClient,
                                          const std::string& driver) {
  std::string server = oledb.value("Data Source");
  if (server.empty()) server = oledb.value("Server");
  std::string host = server, port, instance;
  if (auto comma = host.find(','); comma != std::string::npos) {
    port = host.substr(comma + 1);
    host.erase(comma);
  }
  if (auto slash = host.find('\\'); slash != std::string::npos) {
    instance = host.substr(slash + 1);
    host.erase(slash);
  }
  host = std::string(text::TrimBlanks(host));
  port = std::string(text::TrimBlanks(port));
  instance = std::string(text::TrimBlanks(instance));
  if (IsLocal(host)) host = "localhost";

  std::string out = "Driver=" + OdbcAttributeValue(driver) + ";";
  out += "Server=" + OdbcAttributeValue(instance.empty() ? host : host + "\\" + instance) + ";";
  if (!port.empty()) out += "Port=" + OdbcAttributeValue(port) + ";";
  if (auto db = oledb.get("Initial Catalog"); db && !db->empty())
    out += "Database=" + OdbcAttributeValue(*db) + ";";
  const std::string integrated = oledb.value("Integrated Security");
  if (text::EqualsNoCase(integrated, "SSPI") || text::EqualsNoCase(integrated, "true") ||
      text::EqualsNoCase(integrated, "yes")) {
    out += "Trusted_Connection=Yes;";
  } else {
    if (auto uid = oledb.get("User ID")) out += "UID=" + OdbcAttributeValue(*uid) + ";";
    if (auto pwd = oledb.get("Password")) out += "PWD=" + OdbcAttributeValue(*pwd) + ";";
  }
  out += nativeClient ? "TDS_Version=7.2;" : "TDS_Version=7.1;";
  out += "ClientCharset=UTF-8;";
  return out;
}

std::string SqlServerTableType(const std::string& schema, const std::string& odbcType) {
  const bool systemSchema =
      text::EqualsNoCase(schema, "INFORMATION_SCHEMA") || text::EqualsNoCase(schema, "sys");
  if (systemSchema && odbcType == "VIEW") return "SYSTEM VIEW";
  return odbcType;
}

}  // namespace ado::odbc
