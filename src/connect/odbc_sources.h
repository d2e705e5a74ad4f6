// The MySQL ODBC data sources of the machine, from the driver manager's machine-wide
// list (unixODBC's system data sources, which follow ODBCSYSINI), and the ODBC
// administrator programs that can create one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// True when the upper-cased driver description names MySQL or MariaDB: on Linux the
// MySQL ODBC driver is MariaDB Connector/ODBC, whose description says MariaDB.
bool IsMySQLDriverDescription(std::string_view description);

// The names of the system data sources whose driver is a MySQL one, in the driver
// manager's order; nullopt when the list cannot be read.
std::optional<std::vector<std::string>> ReadMySQLDataSources();

// Refills names; on failure shows "Cannot get list of connection from your machine."
// and leaves names empty. Returns whether the list could be read.
bool FillODBCSourceList(std::vector<std::string>& names);

// Programs to try, in order, for "Setup": QUILLMARK_ODBC_ADMIN when set, else those
// of ODBCManageDataSourcesQ5 and ODBCConfig that are found on PATH.
std::vector<std::string> OdbcAdministratorCandidates();
