// Schema rowsets TABLES, COLUMNS, INDEXES and VIEWS of an ODBC session, with the
// OLE DB column names and restrictions in OLE DB order (schema_rowsets.h). MySQL is
// read from its information schema (mysql_schema.cpp: ODBC's catalogue functions say
// too little about its types); SQL Server and other databases through the ODBC
// catalogue functions (odbc_schema.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"

namespace ado::odbc {

class OdbcSession;

std::unique_ptr<Recordset> OpenOdbcSchema(OdbcSession& session, SchemaRowset rowset,
                                          const std::vector<Variant>& restrictions);
// The rowsets of a MySQL session.
std::unique_ptr<Recordset> OpenMySQLSchema(OdbcSession& session, SchemaRowset rowset,
                                           const std::vector<Variant>& restrictions);

// A name as an ODBC search-pattern argument: "_", "%" and the escape itself preceded
// by the driver's escape (none: the name as it is).
std::string EscapeSearchPattern(std::string_view name, std::string_view escape);

// What both readers share.
// A value as an integer; nullopt when it is null or no number.
std::optional<std::int64_t> IntOf(const Variant& v);
// A value as text; null stays null.
Variant TextOrNull(const Variant& v);
// Appends " AND column = ?" and its parameter when there is a value.
void AddCondition(std::string& sql, const char* column, std::optional<std::string> value,
                  std::vector<std::string>& params);
// The VIEWS rowset of an information-schema query whose select list is catalog, schema,
// name, definition, check option and updatable, in that order.
std::unique_ptr<Recordset> InformationSchemaViews(OdbcSession& s, const std::string& sql,
                                                  const std::vector<std::string>& params);

}  // namespace ado::odbc
