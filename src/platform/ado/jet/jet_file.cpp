#include "platform/ado/jet/jet_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/ado/connection.h"
#include "platform/text/text.h"

namespace ado::jet {

namespace {
constexpr std::size_t kHeaderSize = 2048;
}  // namespace

void CheckFile(const std::string& path) {
  if (path.empty()) throw DatabaseError("No Access file has been named.");
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      throw DatabaseError("Could not find file '" + path + "'.");
    throw DatabaseError("Cannot open the Access file '" + path + "': " + std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode))
    throw DatabaseError("'" + path + "' is not an Access file: it is no regular file.");
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw DatabaseError("Cannot open the Access file '" + path + "': " + std::strerror(errno));
  char header[kHeaderSize] = {};
  in.read(header, sizeof header);
  const auto got = static_cast<std::size_t>(in.gcount());
  const bool jet = got >= 0x20 && (std::memcmp(header + 4, "Standard Jet DB", 15) == 0 ||
                                   std::memcmp(header + 4, "Standard ACE DB", 15) == 0);
  if (!jet) throw DatabaseError("Unrecognized database format '" + path + "'.");
  const std::size_t page = header[0x14] == 0 ? 2048 : 4096;  // Jet 3 pages are half the size
  const auto size = static_cast<std::size_t>(st.st_size);
  // The catalogue starts on page 2: a shorter file has lost it.
  if (size < 3 * page)
    throw DatabaseError("The Access file '" + path + "' is truncated or damaged (" +
                        std::to_string(size) + " bytes).");
}

void RequireRowPagesInFile(MdbTableDef* table, const std::string& path) {
  MdbHandle* mdb = table->entry->mdb;
  struct stat st {};
  if (::fstat(::fileno(mdb->f->stream), &st) != 0)
    throw DatabaseError("Cannot read the Access file '" + path + "': " + std::strerror(errno));
  // A page cut short is lost as well.
  const auto pages =
      static_cast<std::uint64_t>(st.st_size) / static_cast<std::uint64_t>(mdb->fmt->pg_size);
  if (!table->usage_map) return;
  const auto mapSize = static_cast<unsigned>(table->map_sz);
  for (gint32 pg = mdb_map_find_next(mdb, table->usage_map, mapSize, 0); pg != 0;
       pg = mdb_map_find_next(mdb, table->usage_map, mapSize, static_cast<guint32>(pg))) {
    if (pg < 0 || static_cast<std::uint64_t>(pg) >= pages)
      throw DatabaseError("The Access file '" + path + "' is truncated or damaged: the rows of " +
                          "table '" + table->name + "' lie past its end.");
  }
}

void RequireAllRowsRead(const MdbTableDef* table, unsigned read, const std::string& path) {
  if (read < table->num_rows)
    throw DatabaseError("The Access file '" + path + "' is damaged: table '" + table->name +
                        "' holds " + std::to_string(table->num_rows) + " rows, of which only " +
                        std::to_string(read) + " could be read.");
}

JetFile::~JetFile() {
  if (mdb) mdb_close(mdb);
}

std::vector<MdbCatalogEntry*> JetFile::entries() const {
  std::vector<MdbCatalogEntry*> out;
  if (!mdb->catalog) return out;
  for (guint i = 0; i < mdb->catalog->len; ++i)
    out.push_back(static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i)));
  return out;
}

MdbCatalogEntry* JetFile::find(std::string_view name, int type) const {
  for (MdbCatalogEntry* e : entries())
    if (e->object_type == type && text::EqualsNoCase(e->object_name, name)) return e;
  return nullptr;
}

TableDef::TableDef(MdbCatalogEntry* entry, const std::string& path) {
  table = mdb_read_table(entry);
  if (!table || !mdb_read_columns(table)) {
    if (table) mdb_free_tabledef(table);  // no destructor runs for a throwing constructor
    throw DatabaseError("Cannot read table '" + std::string(entry->object_name) + "' of '" + path +
                        "'.");
  }
}

TableDef::~TableDef() {
  if (table) mdb_free_tabledef(table);
}

}  // namespace ado::jet
