// The schema rowsets TABLES, COLUMNS, INDEXES and VIEWS as OLE DB defines them: their
// column names, the positions of their columns and restrictions, and the values of
// their coded columns. Every provider builds its rowsets from these.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/memory_recordset.h"

namespace ado {

// Column positions. Each rowset's standard OLE DB columns come first, in OLE DB order;
// provider columns (MySQL's) follow.
enum TablesCol : std::size_t {
  T_CATALOG,
  T_SCHEMA,
  T_NAME,
  T_TYPE,
  T_GUID,
  T_DESCRIPTION,
  T_PROPID,
  T_CREATED,
  T_MODIFIED
};
enum ColumnsCol : std::size_t {
  C_CATALOG,
  C_SCHEMA,
  C_TABLE,
  C_NAME,
  C_GUID,
  C_PROPID,
  C_ORDINAL,
  C_HASDEFAULT,
  C_DEFAULT,
  C_FLAGS,
  C_NULLABLE,
  C_TYPE,
  C_TYPE_GUID,
  C_CHARLEN,
  C_OCTETLEN,
  C_PRECISION,
  C_SCALE,
  C_DATETIME_PRECISION,
  C_CS_CATALOG,
  C_CS_SCHEMA,
  C_CS_NAME,
  C_COLL_CATALOG,
  C_COLL_SCHEMA,
  C_COLL_NAME,
  C_DOMAIN_CATALOG,
  C_DOMAIN_SCHEMA,
  C_DOMAIN_NAME,
  C_DESCRIPTION,
  C_COLUMN_TYPE,            // the column's own declaration, "varbinary(300)"
  C_GENERATION_EXPRESSION,  // a generated column's expression
  C_GENERATION_STORED,      // true for a stored generated column, false for a virtual one
  C_INVISIBLE
};
enum IndexesCol : std::size_t {
  I_TABLE_CATALOG,
  I_TABLE_SCHEMA,
  I_TABLE_NAME,
  I_INDEX_CATALOG,
  I_INDEX_SCHEMA,
  I_INDEX_NAME,
  I_PRIMARY_KEY,
  I_UNIQUE,
  I_CLUSTERED,
  I_TYPE,
  I_FILL_FACTOR,
  I_INITIAL_SIZE,
  I_NULLS,
  I_SORT_BOOKMARKS,
  I_AUTO_UPDATE,
  I_NULL_COLLATION,
  I_ORDINAL,
  I_COLUMN_NAME,
  I_COLUMN_GUID,
  I_COLUMN_PROPID,
  I_COLLATION,
  I_CARDINALITY,
  I_PAGES,
  I_FILTER,
  I_INTEGRATED,
  I_SUB_PART  // key prefix length, null for the whole column
};
enum ViewsCol : std::size_t {
  V_CATALOG,
  V_SCHEMA,
  V_NAME,
  V_DEFINITION,
  V_CHECK,
  V_UPDATABLE,
  V_DESCRIPTION,
  V_CREATED,
  V_MODIFIED
};

// Restriction positions, in OLE DB order. Catalog and schema come first in all four.
enum TablesRestriction : std::size_t { TR_CATALOG, TR_SCHEMA, TR_NAME, TR_TYPE };
enum ColumnsRestriction : std::size_t { CR_CATALOG, CR_SCHEMA, CR_TABLE, CR_COLUMN };
enum IndexesRestriction : std::size_t { IR_CATALOG, IR_SCHEMA, IR_INDEX, IR_TYPE, IR_TABLE };
enum ViewsRestriction : std::size_t { VR_CATALOG, VR_SCHEMA, VR_NAME };
// The schema's restriction, the same in all four.
constexpr std::size_t kSchemaRestriction = TR_SCHEMA;
static_assert(std::size_t{CR_SCHEMA} == kSchemaRestriction &&
              std::size_t{IR_SCHEMA} == kSchemaRestriction &&
              std::size_t{VR_SCHEMA} == kSchemaRestriction);
// How many restrictions each rowset takes.
constexpr std::size_t kTablesRestrictions = TR_TYPE + 1;
constexpr std::size_t kColumnsRestrictions = CR_COLUMN + 1;
constexpr std::size_t kIndexesRestrictions = IR_TABLE + 1;
constexpr std::size_t kViewsRestrictions = VR_NAME + 1;

// INDEXES.TYPE (DBPROPVAL_IT_*), INDEXES.COLLATION (DB_COLLATION_*) and INDEXES.NULLS
// (DBPROPVAL_IN_*).
constexpr int kIndexTypeBtree = 1;
constexpr int kIndexTypeHash = 2;
constexpr int kIndexTypeOther = 4;
constexpr int kCollationAscending = 1;
constexpr int kCollationDescending = 2;
constexpr int kNullsAllowed = 0;
constexpr int kNullsIgnoreAny = 4;

// The column names of a rowset, in order.
const std::vector<std::string>& SchemaColumns(SchemaRowset rowset);
// An empty rowset with those columns.
std::unique_ptr<MemoryRecordset> NewSchemaRowset(SchemaRowset rowset);
// A row of a rowset, every value null.
std::vector<Variant> NewSchemaRow(SchemaRowset rowset);

// Restriction i as text; nullopt when absent, null or empty.
std::optional<std::string> SchemaRestriction(const std::vector<Variant>& restrictions,
                                             std::size_t i);

}  // namespace ado
