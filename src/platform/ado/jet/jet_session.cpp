#include "platform/ado/jet/jet_session.h"

#include <mdbtools.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>

#include "platform/ado/jet/jet_columns.h"
#include "platform/ado/memory_recordset.h"
#include "platform/ado/odbc/odbc_schema.h"
#include "platform/text/text.h"

namespace ado::jet {

namespace {

constexpr std::size_t kHeaderSize = 2048;
constexpr std::size_t kOleBuffer = 65536;  // above libmdb's default bind size

// Checks the file before libmdb sees it: libmdb reports a bad file on standard error
// only, and a cut-off file must not be read past its end.
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

std::int64_t LittleEndian(const unsigned char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  if (bytes < 8 && (v >> (bytes * 8 - 1)) & 1) v |= ~std::uint64_t{0} << (bytes * 8);  // sign
  return static_cast<std::int64_t>(v);
}

double DoubleAt(const unsigned char* p) {
  std::uint64_t bits = static_cast<std::uint64_t>(LittleEndian(p, 8));
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

float FloatAt(const unsigned char* p) {
  std::uint32_t bits = static_cast<std::uint32_t>(LittleEndian(p, 4));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// Days since 1899-12-30 with the time as the fraction's absolute value, as Jet keeps it.
DateTime JetDateTime(double value) {
  double whole = std::trunc(value);
  long long ms = std::llround(std::fabs(value - whole) * 86400000.0);
  if (ms >= 86400000) {  // rounding carried into the next day
    ms -= 86400000;
    whole += value < 0 ? -1 : 1;
  }
  // Civil date from a day count (days from 1970-01-01), after Howard Hinnant.
  long long z = static_cast<long long>(whole) - 25569 + 719468;  // 1899-12-30 is day -25569
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400 + (month <= 2));
  Time t;
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.nanosecond = static_cast<std::uint32_t>(ms % 1000) * 1000000u;
  return DateTime{Date{year, month, day}, t};
}

// A libmdb string, freed after copying.
std::string Take(char* s) {
  if (!s) return {};
  std::string out(s);
  g_free(s);
  return out;
}

}  // namespace

struct JetFile {
  MdbHandle* mdb = nullptr;
  ~JetFile() {
    if (mdb) mdb_close(mdb);
  }
  std::vector<MdbCatalogEntry*> entries() const {
    std::vector<MdbCatalogEntry*> out;
    if (!mdb->catalog) return out;
    for (guint i = 0; i < mdb->catalog->len; ++i)
      out.push_back(static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i)));
    return out;
  }
  MdbCatalogEntry* find(std::string_view name, int type) const {
    for (MdbCatalogEntry* e : entries())
      if (e->object_type == type && text::EqualsNoCase(e->object_name, name)) return e;
    return nullptr;
  }
};

namespace {

// A table definition with its columns read, freed with its owner.
struct TableDef {
  MdbTableDef* table = nullptr;
  explicit TableDef(MdbCatalogEntry* entry, const std::string& path) {
    table = mdb_read_table(entry);
    if (!table || !mdb_read_columns(table))
      throw DatabaseError("Cannot read table '" + std::string(entry->object_name) + "' of '" +
                          path + "'.");
  }
  ~TableDef() {
    if (table) mdb_free_tabledef(table);
  }
  TableDef(const TableDef&) = delete;
  TableDef& operator=(const TableDef&) = delete;
  MdbColumn* column(guint i) const {
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
  }
};

// The rows of one table, read one at a time.
class JetTable : public Recordset {
 public:
  JetTable(JetFile& file, MdbCatalogEntry* entry, const std::string& path)
      : file_(file), def_(entry, path) {
    MdbTableDef* t = def_.table;
    names_.reserve(t->num_cols);
    for (guint i = 0; i < t->num_cols; ++i) {
      MdbColumn* c = def_.column(i);
      names_.emplace_back(c->name);
      if (c->col_type == MDB_OLE) {
        auto& buf = ole_[i];
        buf.assign(kOleBuffer, 0);
        mdb_bind_column(t, static_cast<int>(i) + 1, buf.data(), &oleLength_);
      }
    }
    values_.resize(t->num_cols);
    fields_.resize(MDB_MAX_COLS);
    first();
  }

  void first() override {
    mdb_rewind_table(def_.table);
    fetch();
  }
  bool eof() const override { return eof_; }
  void next() override {
    if (!eof_) fetch();
  }
  int fieldCount() const override { return static_cast<int>(names_.size()); }
  const std::string& fieldName(int index) const override {
    return names_.at(static_cast<std::size_t>(index));
  }
  const Variant& value(int index) const override {
    if (index < 0 || index >= fieldCount())
      throw DatabaseError("Item cannot be found: column " + std::to_string(index));
    static const Variant null;
    return eof_ ? null : values_[static_cast<std::size_t>(index)];
  }
  using Recordset::value;
  long long recordCount() const override {
    if (filter_.column < 0) return def_.table->num_rows;
    return -1;
  }
  void setFilter(const std::string& filter) override {
    filter_ = BindFilter(*this, filter);
    first();
  }
  void close() override { eof_ = true; }

 private:
  void fetch() {
    for (;;) {
      if (!mdb_fetch_row(def_.table)) {
        eof_ = true;
        for (auto& v : values_) v.setNull();
        return;
      }
      eof_ = false;
      readRow();
      if (filter_.passes(values_)) return;
    }
  }

  void readRow() {
    MdbHandle* mdb = file_.mdb;
    MdbTableDef* t = def_.table;
    int start = 0;
    size_t length = 0;
    if (mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &length) != 0)
      throw DatabaseError("Cannot read a row of table '" + std::string(t->name) + "'.");
    const int count = mdb_crack_row(t, start, length, fields_.data());
    for (auto& v : values_) v.setNull();
    std::vector<int> ole;
    for (int f = 0; f < count; ++f) {
      const MdbField& field = fields_[static_cast<std::size_t>(f)];
      const auto ci = static_cast<std::size_t>(field.colnum);
      if (ci >= values_.size()) continue;
      MdbColumn* col = def_.column(static_cast<guint>(ci));
      Variant& v = values_[ci];
      if (col->col_type == MDB_BOOL) {
        v = Variant(!field.is_null);  // Yes/No lives in the null mask
        continue;
      }
      if (field.is_null) continue;
      const auto* p = mdb->pg_buf + field.start;
      const int siz = field.siz;
      auto need = [&](int n) {
        if (siz < n || field.start + n > static_cast<int>(sizeof mdb->pg_buf))
          throw DatabaseError("Damaged row in table '" + std::string(t->name) + "'.");
      };
      switch (col->col_type) {
        case MDB_BYTE:
          need(1);
          v = Variant(static_cast<int>(p[0]));
          break;
        case MDB_INT:
          need(2);
          v = Variant(static_cast<long long>(LittleEndian(p, 2)));
          break;
        case MDB_LONGINT:
        case MDB_COMPLEX:
          need(4);
          v = Variant(static_cast<long long>(LittleEndian(p, 4)));
          break;
        case MDB_MONEY: {
          need(8);
          // Currency is a count of ten-thousandths: exact as decimal text.
          const std::int64_t n = LittleEndian(p, 8);
          std::uint64_t mag =
              n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
          std::string frac = std::to_string(mag % 10000);
          frac.insert(0, 4 - frac.size(), '0');
          v = Variant(Decimal{(n < 0 ? "-" : "") + std::to_string(mag / 10000) + "." + frac});
          break;
        }
        case MDB_FLOAT: {
          need(4);
          v = Variant(FloatValue(FloatAt(p)));
          break;
        }
        case MDB_DOUBLE:
          need(8);
          v = Variant(DoubleAt(p));
          break;
        case MDB_DATETIME:
          need(8);
          v = Variant(JetDateTime(DoubleAt(p)));
          break;
        case MDB_BINARY:
          v.mutableBytes().assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(siz));
          break;
        case MDB_REPID:
          need(16);
          v = Variant(Take(mdb_uuid_to_string(mdb->pg_buf, field.start)));
          break;
        case MDB_NUMERIC:
          need(17);
          // The last argument is the digits after the point: a Jet 4 decimal's scale,
          // which libmdb keeps in col_prec (see JetColumnSignature).
          v = Variant(Decimal{
              Take(mdb_numeric_to_string(mdb, field.start, col->col_scale, col->col_prec))});
          break;
        case MDB_TEXT:
          mdb_set_bind_size(
              mdb, std::max<std::size_t>(MDB_BIND_SIZE, static_cast<std::size_t>(siz) * 3 + 16));
          v.mutableText() = Take(mdb_col_to_string(mdb, mdb->pg_buf, field.start, MDB_TEXT, siz));
          break;
        case MDB_MEMO: {
          need(MDB_MEMO_OVERHEAD);
          const auto memoLength = static_cast<std::size_t>(LittleEndian(p, 4) & 0x3fffffff);
          // Room for the whole memo once converted to UTF-8, so none of it is cut.
          mdb_set_bind_size(mdb, std::max<std::size_t>(MDB_BIND_SIZE, memoLength * 3 + 16));
          v.mutableText() = Take(mdb_col_to_string(mdb, mdb->pg_buf, field.start, MDB_MEMO, siz));
          break;
        }
        case MDB_OLE:
          need(MDB_MEMO_OVERHEAD);
          ole.push_back(f);
          break;
        default:
          v.mutableBytes().assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(siz));
          break;
      }
    }
    mdb_set_bind_size(mdb, MDB_BIND_SIZE);
    // OLE values last: reading them pages through the file.
    for (int f : ole) {
      const MdbField& field = fields_[static_cast<std::size_t>(f)];
      const auto ci = static_cast<std::size_t>(field.colnum);
      MdbColumn* col = def_.column(static_cast<guint>(ci));
      std::memcpy(ole_[ci].data(), mdb->pg_buf + field.start, MDB_MEMO_OVERHEAD);
      col->cur_value_start = field.start;
      col->cur_value_len = field.siz;
      size_t size = 0;
      void* data = mdb_ole_read_full(mdb, col, &size);
      std::string& out = values_[ci].mutableBytes();
      if (data)
        out.assign(static_cast<const char*>(data), size);
      else
        out.clear();
      free(data);
    }
  }

  JetFile& file_;
  TableDef def_;
  std::vector<std::string> names_;
  std::vector<Variant> values_;
  std::vector<MdbField> fields_;
  std::map<guint, std::vector<char>> ole_;
  int oleLength_ = 0;
  bool eof_ = true;
  BoundFilter filter_;
};

std::optional<std::string> Restriction(const std::vector<Variant>& r, std::size_t i) {
  return SchemaRestriction(r, i);
}

bool IsSystemName(std::string_view name) {
  return name.size() >= 4 && text::EqualsNoCase(name.substr(0, 4), "MSys");
}

}  // namespace

std::string TableOfSelectAll(std::string_view sql) {
  const std::string bad =
      "The Access provider here reads whole tables only, with SELECT * FROM name: " +
      std::string(sql);
  std::string_view s = text::TrimBlanks(sql);
  if (!s.empty() && s.back() == ';') s = text::TrimBlanks(s.substr(0, s.size() - 1));
  auto word = [&](std::string_view w) {
    if (s.size() < w.size() || !text::EqualsNoCase(s.substr(0, w.size()), w)) return false;
    s.remove_prefix(w.size());
    const bool separated = s.empty() || text::IsBlank(s.front()) ||
                           s.front() == '*' || s.front() == '[' || s.front() == '`';
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
      if (text::IsBlank(c) || c == ',' || c == ';')
        throw DatabaseError(bad);
    name = std::string(s);
  }
  if (name.empty()) throw DatabaseError(bad);
  return name;
}

JetSession::JetSession(const std::string& path) : path_(path) {
  CheckFile(path_);
  file_ = std::make_unique<JetFile>();
  file_->mdb = mdb_open(path_.c_str(), MDB_NOFLAGS);
  if (!file_->mdb) throw DatabaseError("Unrecognized database format '" + path_ + "'.");
  if (!mdb_read_catalog(file_->mdb, MDB_ANY))
    throw DatabaseError("The Access file '" + path_ +
                        "' is damaged: its catalogue cannot be read.");
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
  return std::make_unique<JetTable>(*file_, entry, path_);
}

std::unique_ptr<Recordset> JetSession::openSchema(SchemaRowset rowset,
                                                  const std::vector<Variant>& r) {
  auto out = std::make_unique<MemoryRecordset>(odbc::SchemaColumns(rowset));
  const std::size_t width = odbc::SchemaColumns(rowset).size();
  // An Access file has neither catalogs nor schemas.
  if (Restriction(r, 0) || Restriction(r, 1)) return out;
  const bool jet3 = file_->mdb->f->jet_version == MDB_VER_JET3;

  struct Object {
    MdbCatalogEntry* entry;
    std::string type;
  };
  std::vector<Object> objects;
  for (MdbCatalogEntry* e : file_->entries()) {
    if (e->object_type != MDB_TABLE) continue;
    const bool system = IsSystemName(e->object_name) || mdb_is_system_table(e);
    objects.push_back({e, system ? "SYSTEM TABLE" : "TABLE"});
  }
  // Sorted by type, then name, as the provider's rowset is.
  std::stable_sort(objects.begin(), objects.end(), [](const Object& a, const Object& b) {
    if (a.type != b.type) return a.type < b.type;
    return text::CompareNoCase(a.entry->object_name, b.entry->object_name) < 0;
  });
  const std::size_t nameAt = rowset == SchemaRowset::Indexes ? 4 : 2;
  const auto name = Restriction(r, nameAt);
  for (const Object& o : objects) {
    if (name && !text::EqualsNoCase(*name, o.entry->object_name)) continue;
    const std::string table = o.entry->object_name;
    switch (rowset) {
      case SchemaRowset::Tables: {
        if (auto type = Restriction(r, 3); type && *type != o.type) break;
        std::vector<Variant> row(width);
        row[2] = table;
        row[3] = o.type;
        out->addRow(std::move(row));
        break;
      }
      case SchemaRowset::Columns: {
        TableDef def(o.entry, path_);
        const auto column = Restriction(r, 3);
        for (guint i = 0; i < def.table->num_cols; ++i) {
          const MdbColumn* c = def.column(i);
          if (column && !text::EqualsNoCase(*column, c->name)) continue;
          const JetColumnType t = JetColumnSignature(*c, jet3);
          std::vector<Variant> row(width);
          row[2] = table;
          row[3] = std::string(c->name);
          row[6] = static_cast<long long>(i) + 1;  // ORDINAL_POSITION
          row[7] = false;                          // COLUMN_HASDEFAULT
          row[9] = t.flags;                        // COLUMN_FLAGS
          row[10] = true;                          // IS_NULLABLE
          row[11] = t.dataType;                    // DATA_TYPE
          if (t.length != 0) row[13] = t.length;   // CHARACTER_MAXIMUM_LENGTH
          if (t.dataType == 130 && t.length != 0) row[14] = t.length * 2;  // CHARACTER_OCTET_LENGTH
          if (t.precision >= 0) row[15] = t.precision;
          if (t.scale >= 0) row[16] = t.scale;
          out->addRow(std::move(row));
        }
        break;
      }
      case SchemaRowset::Indexes: {
        TableDef def(o.entry, path_);
        mdb_read_indices(def.table);  // fills the table's own list; its result is not that list
        GPtrArray* indices = def.table->indices;
        const auto indexName = Restriction(r, 2);
        for (guint k = 0; indices && k < indices->len; ++k) {
          const auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(indices, k));
          if (idx->index_type == 2)
            continue;  // the far side of a relationship, no index of its own
          if (indexName && !text::EqualsNoCase(*indexName, idx->name)) continue;
          const bool primary = idx->index_type == 1;
          for (unsigned j = 0; j < idx->num_keys && j < MDB_MAX_IDX_COLS; ++j) {
            const int colNum = idx->key_col_num[j] - 1;
            if (colNum < 0 || static_cast<guint>(colNum) >= def.table->num_cols) continue;
            std::vector<Variant> row(width);
            row[2] = table;
            row[5] = std::string(idx->name);                         // INDEX_NAME
            row[6] = primary;                                        // PRIMARY_KEY
            row[7] = primary || (idx->flags & MDB_IDX_UNIQUE) != 0;  // UNIQUE
            row[8] = false;                                          // CLUSTERED
            row[9] = 1;                                              // TYPE: B-tree
            row[12] = (idx->flags & MDB_IDX_IGNORENULLS) ? 4 : 0;    // NULLS
            row[16] = static_cast<long long>(j) + 1;                 // ORDINAL_POSITION
            row[17] = std::string(def.column(static_cast<guint>(colNum))->name);
            row[20] = idx->key_col_order[j] ? 2 : 1;  // COLLATION
            out->addRow(std::move(row));
          }
        }
        break;
      }
      case SchemaRowset::Views: break;  // stored queries are not listed
    }
  }
  out->first();
  return out;
}

namespace {
constexpr int kFixed = 122;     // may be null, may defer, fixed length
constexpr int kVariable = 106;  // may be null, may defer
constexpr int kLong = 234;      // ... and long
}  // namespace

JetColumnType JetColumnSignature(const MdbColumn& column, bool jet3) {
  const MdbColumn* c = &column;
  switch (c->col_type) {
    case MDB_BOOL: return {11, kFixed};
    case MDB_BYTE: return {17, kFixed, 0, 3, 0};
    case MDB_INT: return {2, kFixed, 0, 5, 0};
    case MDB_LONGINT: return {3, kFixed, 0, 10, 0};
    case MDB_MONEY: return {6, kFixed, 0, 19, 4};
    case MDB_FLOAT: return {4, kFixed};
    case MDB_DOUBLE: return {5, kFixed};
    case MDB_DATETIME: return {7, kFixed};
    case MDB_BINARY: return {128, kVariable, c->col_size};
    // Access 2000 and later keep a text column's size in bytes, two per character.
    case MDB_TEXT: return {130, kVariable, jet3 ? c->col_size : c->col_size / 2};
    case MDB_OLE: return {128, kLong, 1073741823};
    case MDB_MEMO: return {130, kLong};
    case MDB_REPID: return {72, kFixed};
    // libmdb fills a Jet 4 decimal's precision into col_scale and its scale into
    // col_prec (mdb-schema reads them so, and so does mdb_numeric_to_string, whose
    // last argument gives the digits after the point).
    case MDB_NUMERIC:
      return jet3 ? JetColumnType{131, kFixed, 0, c->col_prec, c->col_scale}
                  : JetColumnType{131, kFixed, 0, c->col_scale, c->col_prec};
    // Attachment and multi-value fields hold a key into a hidden table.
    case MDB_COMPLEX: return {3, kFixed, 0, 10, 0};
    default: return {128, kLong, 1073741823};
  }
}

}  // namespace ado::jet
