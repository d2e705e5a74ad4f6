// SQLOLEDB and SQLNCLI connection strings as ODBC connection strings for a SQL
// Server driver: FreeTDS unless QUILLMARK_SQLSERVER_ODBC_DRIVER names another.
#pragma once

#include <string>

#include "platform/ado/connection_string.h"

namespace ado::odbc {

// The driver named by QUILLMARK_SQLSERVER_ODBC_DRIVER, else FreeTDS's library.
std::string SqlServerDriver();

// Data Source: "(local)" and "." mean this machine; "host\instance" and "host,port"
// as SQL Server clients read them. Initial Catalog is the database; User ID and
// Password, or Integrated Security=SSPI for a trusted (Kerberos) login. SQLOLEDB
// speaks TDS 7.1, SQLNCLI 7.2. Text travels as UTF-8.
std::string SqlServerOdbcConnectionString(const ConnectionString& oledb, bool nativeClient,
                                          const std::string& driver);

// The OLE DB table type of a row of SQLTables on SQL Server: the views of the
// INFORMATION_SCHEMA and sys schemas are the server's own ("SYSTEM VIEW", as the
// Windows provider reports them), not views of the database to copy.
std::string SqlServerTableType(const std::string& schema, const std::string& odbcType);

}  // namespace ado::odbc
