#include "platform/ado/mysql/data_source.h"

#include <odbcinst.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "platform/text/text.h"

namespace ado::mysqlstream {

namespace {


bool IsOneOf(const std::string& key, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (key == n) return true;
  return false;
}

// A profile value; the functions cut it at the buffer, so the buffer grows until it fits.
std::string Profile(const char* section, const char* key, const char* file) {
  std::vector<char> buf(1024);
  for (;;) {
    const int n = SQLGetPrivateProfileString(section, key, "", buf.data(),
                                             static_cast<int>(buf.size()), file);
    if (n < 0) return {};
    // A key list ends in two zero bytes, a value in one.
    if (static_cast<std::size_t>(n) + 2 < buf.size() || buf.size() >= (1u << 20))
      return std::string(buf.data(), static_cast<std::size_t>(n));
    buf.resize(buf.size() * 4);
  }
}

}  // namespace

std::optional<ServerAddress> AddressFor(const ProfileKeys& dataSource,
                                        const std::string& driverLibrary,
                                        const ConnectionString& oledb, std::string* whyNot) {
  auto refuse = [&](std::string why) -> std::optional<ServerAddress> {
    if (whyNot) *whyNot = std::move(why);
    return std::nullopt;
  };
  const std::string file = driverLibrary.substr(driverLibrary.find_last_of('/') + 1);
  if (file.rfind("libmaodbc", 0) != 0)
    return refuse("its driver is not MariaDB Connector/ODBC (" +
                  (driverLibrary.empty() ? std::string("none found") : driverLibrary) + ")");
  ServerAddress a;
  std::string user, password;
  for (const auto& [name, value] : dataSource) {
    if (value.empty()) continue;
    const std::string key = text::UpperCase(text::TrimBlanks(name));
    if (IsOneOf(key, {"DRIVER", "DESCRIPTION", "NO_PROMPT"})) {
      // Nothing the connection depends on.
    } else if (key == "SERVER") {
      a.host = value;
    } else if (key == "PORT") {
      unsigned port = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
      if (ec != std::errc() || end != value.data() + value.size() || port == 0 || port > 65535)
        return refuse("its PORT is no port number (" + value + ")");
      a.port = port;
    } else if (key == "SOCKET") {
      a.socket = value;
    } else if (key == "USER" || key == "UID") {
      user = value;
    } else if (key == "PASSWORD" || key == "PWD") {
      password = value;
    } else if (key == "DATABASE" || key == "DB") {
      a.database = value;
    } else if (key == "CHARSET") {
      // The client logs in with utf8mb4, which is also the driver's default here.
      if (!text::EqualsNoCase(value, "UTF8MB4")) return refuse("its CHARSET is " + value + ", not utf8mb4");
    } else if ((key == "OPTION" || key == "OPTIONS") && value == "0") {
      // No option bits set.
    } else if (key.rfind("SSL", 0) == 0 || key.rfind("TLS", 0) == 0 || key == "FORCETLS" ||
               key == "SERVERKEY") {
      return refuse("it asks for TLS (" + name + ")");
    } else {
      return refuse("its key " + name + " is not one the built-in client honours");
    }
  }
  a.user = oledb.get("User ID").value_or(user);
  a.password = oledb.get("Password").value_or(password);
  a.viaSocket = a.host.empty() || text::EqualsNoCase(a.host, "LOCALHOST");
  return a;
}

ProfileKeys ReadDataSourceKeys(const std::string& name) {
  ProfileKeys out;
  SQLSetConfigMode(ODBC_BOTH_DSN);
  const std::string list = Profile(name.c_str(), nullptr, "odbc.ini");
  for (std::size_t at = 0; at < list.size();) {
    const std::size_t end = std::min(list.find('\0', at), list.size());
    const std::string key = list.substr(at, end - at);
    if (!key.empty()) out.emplace_back(key, Profile(name.c_str(), key.c_str(), "odbc.ini"));
    at = end + 1;
  }
  return out;
}

std::string DriverLibrary(const std::string& driver) {
  if (driver.find('/') != std::string::npos) return driver;
  if (driver.empty()) return {};
  return Profile(driver.c_str(), "Driver", "odbcinst.ini");
}

std::optional<ServerAddress> AddressFor(const ConnectionString& oledb, std::string* whyNot) {
  std::string dsn = oledb.value("Data Source");
  if (dsn.empty()) dsn = oledb.value("DSN");
  const ProfileKeys keys = ReadDataSourceKeys(dsn);
  if (keys.empty()) {
    if (whyNot) *whyNot = "the data source " + dsn + " has no keys to read";
    return std::nullopt;
  }
  std::string driver;
  for (const auto& [key, value] : keys)
    if (text::EqualsNoCase(key, "DRIVER")) driver = value;
  return AddressFor(keys, DriverLibrary(driver), oledb, whyNot);
}

}  // namespace ado::mysqlstream
