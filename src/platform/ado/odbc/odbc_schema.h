// Schema rowsets TABLES, COLUMNS, INDEXES and VIEWS of an ODBC session, with the
// OLE DB column names and restrictions in OLE DB order. MySQL is read from its
// information schema (ODBC's catalogue functions say too little about its types);
// SQL Server and other databases through the ODBC catalogue functions.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ado/connection.h"

namespace ado::odbc {

class OdbcSession;

std::unique_ptr<Recordset> OpenOdbcSchema(OdbcSession& session, SchemaRowset rowset,
                                          const std::vector<Variant>& restrictions);

// The OLE DB column names of each rowset, in order (shared with the Jet provider).
const std::vector<std::string>& SchemaColumns(SchemaRowset rowset);

}  // namespace ado::odbc
