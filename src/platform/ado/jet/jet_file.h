// An Access file as libmdb opens it: the checks made before libmdb sees it, the open
// handle with its catalogue, and table definitions read from it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/jet/mdb.h"

namespace ado::jet {

// Throws DatabaseError with a clear message when the file is missing, unreadable, no
// regular file, no Access file, or too short to hold its catalogue: libmdb reports a
// bad file on standard error only, and a cut-off file must not be read past its end.
void CheckFile(const std::string& path);

// An open file, closed with its owner.
struct JetFile {
  MdbHandle* mdb = nullptr;
  JetFile() = default;
  ~JetFile();
  JetFile(const JetFile&) = delete;
  JetFile& operator=(const JetFile&) = delete;
  // The catalogue's entries, in file order.
  std::vector<MdbCatalogEntry*> entries() const;
  // The entry of that type and name, the name compared without regard to case;
  // nullptr when there is none.
  MdbCatalogEntry* find(std::string_view name, int type) const;
};

// Throws DatabaseError naming the table and the file when a page that holds the
// table's rows lies past the end of the file: libmdb reads such a table as shorter,
// with a note on standard error only.
void RequireRowPagesInFile(MdbTableDef* table, const std::string& path);

// Throws DatabaseError naming the table and the file when fewer rows were read than
// its definition counts: libmdb skips a damaged page with a note on standard error only.
void RequireAllRowsRead(const MdbTableDef* table, unsigned read, const std::string& path);

// A table definition with its columns read, freed with its owner.
struct TableDef {
  MdbTableDef* table = nullptr;
  // Throws DatabaseError naming the table and the file when it cannot be read.
  TableDef(MdbCatalogEntry* entry, const std::string& path);
  ~TableDef();
  TableDef(const TableDef&) = delete;
  TableDef& operator=(const TableDef&) = delete;
  MdbColumn* column(guint i) const {
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
  }
};

}  // namespace ado::jet
