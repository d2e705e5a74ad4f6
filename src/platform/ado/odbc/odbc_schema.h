// Schema rowsets TABLES, COLUMNS, INDEXES and VIEWS of an ODBC session, with the
// OLE DB column names and restrictions in OLE DB order. MySQL is read from its
// information schema (ODBC's catalogue functions say too little about its types);
// SQL Server and other databases through the ODBC catalogue functions.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"

namespace ado::odbc {

class OdbcSession;

std::unique_ptr<Recordset> OpenOdbcSchema(OdbcSession& session, SchemaRowset rowset,
                                          const std::vector<Variant>& restrictions);

// A name as an ODBC search-pattern argument: "_", "%" and the escape itself preceded
// by the driver's escape (none: the name as it is).
std::string EscapeSearchPattern(std::string_view name, std::string_view escape);

// The OLE DB column names of each rowset, in order (shared with the Jet provider).
const std::vector<std::string>& SchemaColumns(SchemaRowset rowset);

}  // namespace ado::odbc
