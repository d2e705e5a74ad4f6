// The MySQL data source list of the connection settings (read beside the ODBC
// provider, ado::odbc::ReadMySQLDataSources), and the ODBC administrator programs
// that can create a data source.
#pragma once

#include <string>
#include <vector>

// Refills names; on failure shows "Cannot get list of connection from your machine."
// and leaves names empty. Returns whether the list could be read.
bool FillODBCSourceList(std::vector<std::string>& names);

// Programs to try, in order, for "Setup": QUILLMARK_ODBC_ADMIN when set, else those
// of ODBCManageDataSourcesQ5 and ODBCConfig that are found on PATH.
std::vector<std::string> OdbcAdministratorCandidates();
