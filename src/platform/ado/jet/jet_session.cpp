#include "platform/ado/jet/jet_session.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/ado/jet/jet_file.h"
#include "platform/ado/jet/jet_schema.h"
#include "platform/ado/jet/jet_table.h"
#include "platform/text/text.h"

namespace ado::jet {

std::string TableOfSelectAll(std::string_view sql) {
  const std::string bad =
      "The Access provider here reads whole tables only, with SELECT * FROM name: " +
      std::string(sql);
  std::string_view s = text::TrimBlanks(sql);
  if (!s.empty() && s.back() == ';') s = text::TrimBlanks(s.substr(0, s.size() - 1));
  auto word = [&](std::string_view w) {
    if (s.size() < w.size() || !text::EqualsNoCase(s.substr(0, w.size()), w)) return false;
    s.remove_prefix(w.size());
    const bool separated = s.empty() || text::IsBlank(s.front()) || s.front() == '*' ||
                           s.front() == '[' || s.front() == '`';
    s = text::TrimBlanks(s);
    return separated;
  };
  if (!word("SELECT")) throw DatabaseError(bad);
  if (s.empty() || s.front() != '*') throw DatabaseError(bad);
  s = text::TrimBlanks(s.substr(1));
  if (!word("FROM") || s.empty()) throw DatabaseError(bad);
  std::string name;
  if (s.front() == '[' || s.front() == '`') {
    const char close = s.front() == '[' ? ']' : '`';
    std::size_t i = 1;
    for (; i < s.size(); ++i) {
      if (s[i] == close) {
        if (i + 1 < s.size() && s[i + 1] == close) {  // doubled: part of the name
          name += close;
          ++i;
          continue;
        }
        break;
      }
      name += s[i];
    }
    if (i >= s.size() || !text::TrimBlanks(s.substr(i + 1)).empty()) throw DatabaseError(bad);
  } else {
    for (char c : s)
      if (text::IsBlank(c) || c == ',' || c == ';') throw DatabaseError(bad);
    name = std::string(s);
  }
  if (name.empty()) throw DatabaseError(bad);
  return name;
}

namespace {

// The catalogue is the table MSysObjects, whose definition is on page 2: a page of it
// lost leaves tables out of the catalogue without an error from libmdb.
void RequireWholeCatalogue(MdbHandle* mdb, const std::string& path) {
  MdbCatalogEntry objects{};
  objects.mdb = mdb;
  objects.object_type = MDB_TABLE;
  objects.table_pg = 2;
  std::snprintf(objects.object_name, sizeof objects.object_name, "MSysObjects");
  const TableDef def(&objects, path);
  RequireRowPagesInFile(def.table, path);
  RequireAllRowsRead(def.table, mdb->catalog ? mdb->catalog->len : 0, path);
}

}  // namespace

JetSession::JetSession(const std::string& path) : path_(path) {
  CheckFile(path_);
  file_ = std::make_unique<JetFile>();
  file_->mdb = mdb_open(path_.c_str(), MDB_NOFLAGS);
  if (!file_->mdb) throw DatabaseError("Unrecognized database format '" + path_ + "'.");
  if (!mdb_read_catalog(file_->mdb, MDB_ANY))
    throw DatabaseError("The Access file '" + path_ +
                        "' is damaged: its catalogue cannot be read.");
  RequireWholeCatalogue(file_->mdb, path_);
}

JetSession::~JetSession() = default;

std::string JetSession::identity() {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) return {};
  return "file:" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::string JetSession::readOnlyMessage() const {
  return "Cannot update. The Access file '" + path_ +
         "' is read-only here: Access files can be read but not written.";
}

void JetSession::execute(const std::string&) {
  throw DatabaseError(readOnlyMessage());
}

std::unique_ptr<TableDataset> JetSession::openTable(const std::string&) {
  throw DatabaseError(readOnlyMessage());
}

std::unique_ptr<Command> JetSession::prepare(const std::string&) {
  throw DatabaseError(readOnlyMessage());
}

std::unique_ptr<Recordset> JetSession::openQuery(const std::string& sql) {
  const std::string name = TableOfSelectAll(sql);
  MdbCatalogEntry* entry = file_->find(name, MDB_TABLE);
  if (!entry)
    throw DatabaseError("The Microsoft Jet database engine cannot find the input table or query '" +
                        name + "'. Make sure it exists and that its name is spelled correctly.");
  return OpenJetTable(*file_, entry, path_);
}

std::unique_ptr<Recordset> JetSession::openSchema(SchemaRowset rowset,
                                                  const std::vector<Variant>& restrictions) {
  return OpenJetSchema(*file_, path_, rowset, restrictions);
}

}  // namespace ado::jet
