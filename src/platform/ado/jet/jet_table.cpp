#include "platform/ado/jet/jet_table.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "platform/ado/jet/jet_file.h"
#include "platform/ado/jet/jet_values.h"
#include "platform/ado/memory_recordset.h"

namespace ado::jet {

namespace {

constexpr std::size_t kOleBuffer = 65536;  // above libmdb's default bind size

class JetTable : public Recordset {
 public:
  JetTable(JetFile& file, MdbCatalogEntry* entry, const std::string& path)
      : file_(file), path_(path), def_(entry, path) {
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
    RequireRowPagesInFile(t, path);
    first();
  }

  void first() override {
    mdb_rewind_table(def_.table);
    rowsRead_ = 0;
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
        RequireAllRowsRead(def_.table, rowsRead_, path_);
        return;
      }
      eof_ = false;
      ++rowsRead_;
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
    // Every row stores how many columns it has, one at least; libmdb reads a row it
    // cannot split, or a zeroed one, as a row of nulls.
    const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
    const auto* row = mdb->pg_buf + start;
    const auto stored = length < 2 ? 0 : jet3 ? row[0] : LittleEndian(row, 2);
    if (count <= 0 || stored == 0)
      throw DatabaseError("The Access file '" + path_ + "' is damaged: a row of table '" +
                          std::string(t->name) + "' cannot be read.");
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
        case MDB_MONEY:
          need(8);
          v = Variant(CurrencyValue(LittleEndian(p, 8)));
          break;
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
  std::string path_;
  TableDef def_;
  std::vector<std::string> names_;
  std::vector<Variant> values_;
  std::vector<MdbField> fields_;
  std::map<guint, std::vector<char>> ole_;
  int oleLength_ = 0;
  bool eof_ = true;
  unsigned rowsRead_ = 0;  // by the pass since first(), filtered out or not
  BoundFilter filter_;
};

}  // namespace

std::unique_ptr<Recordset> OpenJetTable(JetFile& file, MdbCatalogEntry* entry,
                                        const std::string& path) {
  return std::make_unique<JetTable>(file, entry, path);
}

}  // namespace ado::jet
