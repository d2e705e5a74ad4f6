// The schema rowsets of an Access file, and the OLE DB type signature of an Access
// column from its libmdb column record: what the Windows Jet provider reports for a
// nullable column of that type.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/jet/mdb.h"

namespace ado::jet {

struct JetFile;

// TABLES (system tables as "SYSTEM TABLE"), COLUMNS and INDEXES of the file, sorted
// by type and name; VIEWS is empty, as stored queries are not listed. A catalog or
// schema restriction matches nothing. Throws DatabaseError naming a table that
// cannot be read.
std::unique_ptr<Recordset> OpenJetSchema(const JetFile& file, const std::string& path,
                                         SchemaRowset rowset,
                                         const std::vector<Variant>& restrictions);

struct JetColumnType {
  int dataType = 0;
  int flags = 0;
  long long length = 0;  // CHARACTER_MAXIMUM_LENGTH; 0 when none
  int precision = -1;    // NUMERIC_PRECISION, NUMERIC_SCALE; -1 when not reported
  int scale = -1;
};

// jet3: the file is an Access 97 (Jet 3) file.
JetColumnType JetColumnSignature(const MdbColumn& column, bool jet3);

}  // namespace ado::jet
