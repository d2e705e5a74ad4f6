// Where Quillmark's own MySQL client finds the server of a MySQL ODBC data source:
// the data source's keys, read with unixODBC's profile functions, and the connection
// string's User ID and Password, which win over the data source's as they do for the
// driver. Only data sources whose every key the client honours qualify.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ado/connection_string.h"

namespace ado::mysqlstream {

// How the client reaches the server: the Unix socket when the host is empty or
// "localhost" (as the MariaDB client library does), else TCP to host and port.
struct ServerAddress {
  std::string host;
  unsigned port = 3306;
  bool viaSocket = false;
  std::string socket;  // empty: $MYSQL_UNIX_PORT, else the system's socket
  std::string user;
  std::string password;
  std::string database;

  friend bool operator==(const ServerAddress&, const ServerAddress&) = default;
};

using ProfileKeys = std::vector<std::pair<std::string, std::string>>;

// The address for a data source with these keys, its driver's library file (empty when
// it cannot be told) and the connection string; nullopt with the reason in whyNot when
// the client cannot honour them: another driver than MariaDB Connector/ODBC, TLS, or a
// key it does not know. Keys with an empty value are taken as absent, as the driver does.
std::optional<ServerAddress> AddressFor(const ProfileKeys& dataSource,
                                        const std::string& driverLibrary,
                                        const ConnectionString& oledb, std::string* whyNot);

// The keys of a data source (user data sources first, then the system's, as the driver
// manager looks them up); empty when there is no such data source.
ProfileKeys ReadDataSourceKeys(const std::string& name);
// The library file of a driver named by a data source's Driver key: the key itself when
// it is a path, else the Driver key of that driver in odbcinst.ini.
std::string DriverLibrary(const std::string& driver);

// The address for the OLE DB connection string's data source, read from the profile.
std::optional<ServerAddress> AddressFor(const ConnectionString& oledb, std::string* whyNot);

}  // namespace ado::mysqlstream
