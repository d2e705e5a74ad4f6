#include "platform/ado/jet/jet_schema.h"

#include <algorithm>
#include <string_view>

#include "platform/ado/jet/jet_file.h"
#include "platform/ado/schema_rowsets.h"
#include "platform/text/text.h"

namespace ado::jet {

namespace {

constexpr int kFixed = 122;     // may be null, may defer, fixed length
constexpr int kVariable = 106;  // may be null, may defer
constexpr int kLong = 234;      // ... and long
constexpr int kWideText = 130;  // DBTYPE_WSTR

bool IsSystemName(std::string_view name) {
  return text::StartsWithNoCase(name, "MSys");
}

}  // namespace

std::unique_ptr<Recordset> OpenJetSchema(const JetFile& file, const std::string& path,
                                         SchemaRowset rowset, const std::vector<Variant>& r) {
  auto out = NewSchemaRowset(rowset);
  // An Access file has neither catalogs nor schemas.
  if (SchemaRestriction(r, TR_CATALOG) || SchemaRestriction(r, TR_SCHEMA)) return out;
  const bool jet3 = file.mdb->f->jet_version == MDB_VER_JET3;

  struct Object {
    MdbCatalogEntry* entry;
    std::string type;
  };
  std::vector<Object> objects;
  for (MdbCatalogEntry* e : file.entries()) {
    if (e->object_type != MDB_TABLE) continue;
    const bool system = IsSystemName(e->object_name) || mdb_is_system_table(e);
    objects.push_back({e, system ? "SYSTEM TABLE" : "TABLE"});
  }
  // Sorted by type, then name, as the provider's rowset is.
  std::stable_sort(objects.begin(), objects.end(), [](const Object& a, const Object& b) {
    if (a.type != b.type) return a.type < b.type;
    return text::CompareNoCase(a.entry->object_name, b.entry->object_name) < 0;
  });
  // The table name's restriction; TR_NAME, CR_TABLE and VR_NAME are one position.
  const std::size_t nameAt = rowset == SchemaRowset::Indexes ? std::size_t{IR_TABLE} : TR_NAME;
  const auto name = SchemaRestriction(r, nameAt);
  for (const Object& o : objects) {
    if (name && !text::EqualsNoCase(*name, o.entry->object_name)) continue;
    const std::string table = o.entry->object_name;
    switch (rowset) {
      case SchemaRowset::Tables: {
        if (auto type = SchemaRestriction(r, TR_TYPE); type && *type != o.type) break;
        std::vector<Variant> row = NewSchemaRow(rowset);
        row[T_NAME] = table;
        row[T_TYPE] = o.type;
        out->addRow(std::move(row));
        break;
      }
      case SchemaRowset::Columns: {
        TableDef def(o.entry, path);
        const auto column = SchemaRestriction(r, CR_COLUMN);
        for (guint i = 0; i < def.table->num_cols; ++i) {
          const MdbColumn* c = def.column(i);
          if (column && !text::EqualsNoCase(*column, c->name)) continue;
          const JetColumnType t = JetColumnSignature(*c, jet3);
          std::vector<Variant> row = NewSchemaRow(rowset);
          row[C_TABLE] = table;
          row[C_NAME] = std::string(c->name);
          row[C_ORDINAL] = static_cast<long long>(i) + 1;
          row[C_HASDEFAULT] = false;
          row[C_FLAGS] = t.flags;
          row[C_NULLABLE] = true;
          row[C_TYPE] = t.dataType;
          if (t.length != 0) row[C_CHARLEN] = t.length;
          if (t.dataType == kWideText && t.length != 0) row[C_OCTETLEN] = t.length * 2;
          if (t.precision >= 0) row[C_PRECISION] = t.precision;
          if (t.scale >= 0) row[C_SCALE] = t.scale;
          out->addRow(std::move(row));
        }
        break;
      }
      case SchemaRowset::Indexes: {
        TableDef def(o.entry, path);
        mdb_read_indices(def.table);  // fills the table's own list; its result is not that list
        GPtrArray* indices = def.table->indices;
        const auto indexName = SchemaRestriction(r, IR_INDEX);
        for (guint k = 0; indices && k < indices->len; ++k) {
          const auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(indices, k));
          if (idx->index_type == 2)
            continue;  // the far side of a relationship, no index of its own
          if (indexName && !text::EqualsNoCase(*indexName, idx->name)) continue;
          const bool primary = idx->index_type == 1;
          for (unsigned j = 0; j < idx->num_keys && j < MDB_MAX_IDX_COLS; ++j) {
            const int colNum = idx->key_col_num[j] - 1;
            if (colNum < 0 || static_cast<guint>(colNum) >= def.table->num_cols) continue;
            std::vector<Variant> row = NewSchemaRow(rowset);
            row[I_TABLE_NAME] = table;
            row[I_INDEX_NAME] = std::string(idx->name);
            row[I_PRIMARY_KEY] = primary;
            row[I_UNIQUE] = primary || (idx->flags & MDB_IDX_UNIQUE) != 0;
            row[I_CLUSTERED] = false;
            row[I_TYPE] = kIndexTypeBtree;
            row[I_NULLS] = (idx->flags & MDB_IDX_IGNORENULLS) ? kNullsIgnoreAny : kNullsAllowed;
            row[I_ORDINAL] = static_cast<long long>(j) + 1;
            row[I_COLUMN_NAME] = std::string(def.column(static_cast<guint>(colNum))->name);
            row[I_COLLATION] = idx->key_col_order[j] ? kCollationDescending : kCollationAscending;
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
