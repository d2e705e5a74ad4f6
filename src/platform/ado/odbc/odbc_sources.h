// The MySQL ODBC data sources of the machine, from the driver manager's machine-wide
// list (unixODBC's system data sources, which follow ODBCSYSINI).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ado::odbc {

// True when a driver description or a DBMS name names MySQL or MariaDB, in any case:
// on Linux the MySQL ODBC driver is MariaDB Connector/ODBC, whose description says
// MariaDB.
bool IsMySQLDriver(std::string_view nameOrDescription);

// The names of the system data sources whose driver is a MySQL one, in the driver
// manager's order; nullopt when the list cannot be read.
std::optional<std::vector<std::string>> ReadMySQLDataSources();

}  // namespace ado::odbc
