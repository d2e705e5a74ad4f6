// The rows of one table of an Access file, read one at a time.
#pragma once

#include <memory>
#include <string>

#include "platform/ado/connection.h"
#include "platform/ado/jet/mdb.h"

namespace ado::jet {

struct JetFile;

// A record set over the table of the catalogue entry; the file must outlive it.
// Throws DatabaseError when the table cannot be read; a damaged row throws when it is
// reached.
std::unique_ptr<Recordset> OpenJetTable(JetFile& file, MdbCatalogEntry* entry,
                                        const std::string& path);

}  // namespace ado::jet
