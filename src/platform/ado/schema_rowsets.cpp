#include "platform/ado/schema_rowsets.h"

namespace ado {

const std::vector<std::string>& SchemaColumns(SchemaRowset rowset) {
  static const std::vector<std::string> tables{"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME",
                                               "TABLE_TYPE",    "TABLE_GUID",   "DESCRIPTION",
                                               "TABLE_PROPID",  "DATE_CREATED", "DATE_MODIFIED"};
  static const std::vector<std::string> columns{"TABLE_CATALOG",
                                                "TABLE_SCHEMA",
                                                "TABLE_NAME",
                                                "COLUMN_NAME",
                                                "COLUMN_GUID",
                                                "COLUMN_PROPID",
                                                "ORDINAL_POSITION",
                                                "COLUMN_HASDEFAULT",
                                                "COLUMN_DEFAULT",
                                                "COLUMN_FLAGS",
                                                "IS_NULLABLE",
                                                "DATA_TYPE",
                                                "TYPE_GUID",
                                                "CHARACTER_MAXIMUM_LENGTH",
                                                "CHARACTER_OCTET_LENGTH",
                                                "NUMERIC_PRECISION",
                                                "NUMERIC_SCALE",
                                                "DATETIME_PRECISION",
                                                "CHARACTER_SET_CATALOG",
                                                "CHARACTER_SET_SCHEMA",
                                                "CHARACTER_SET_NAME",
                                                "COLLATION_CATALOG",
                                                "COLLATION_SCHEMA",
                                                "COLLATION_NAME",
                                                "DOMAIN_CATALOG",
                                                "DOMAIN_SCHEMA",
                                                "DOMAIN_NAME",
                                                "DESCRIPTION",
                                                "COLUMN_TYPE",
                                                "GENERATION_EXPRESSION",
                                                "GENERATION_STORED",
                                                "IS_INVISIBLE"};
  static const std::vector<std::string> indexes{
      "TABLE_CATALOG",  "TABLE_SCHEMA",     "TABLE_NAME",  "INDEX_CATALOG",    "INDEX_SCHEMA",
      "INDEX_NAME",     "PRIMARY_KEY",      "UNIQUE",      "CLUSTERED",        "TYPE",
      "FILL_FACTOR",    "INITIAL_SIZE",     "NULLS",       "SORT_BOOKMARKS",   "AUTO_UPDATE",
      "NULL_COLLATION", "ORDINAL_POSITION", "COLUMN_NAME", "COLUMN_GUID",      "COLUMN_PROPID",
      "COLLATION",      "CARDINALITY",      "PAGES",       "FILTER_CONDITION", "INTEGRATED",
      "SUB_PART"};
  static const std::vector<std::string> views{"TABLE_CATALOG",   "TABLE_SCHEMA", "TABLE_NAME",
                                              "VIEW_DEFINITION", "CHECK_OPTION", "IS_UPDATABLE",
                                              "DESCRIPTION",     "DATE_CREATED", "DATE_MODIFIED"};
  switch (rowset) {
    case SchemaRowset::Tables: return tables;
    case SchemaRowset::Columns: return columns;
    case SchemaRowset::Indexes: return indexes;
    case SchemaRowset::Views: return views;
  }
  return tables;
}

std::unique_ptr<MemoryRecordset> NewSchemaRowset(SchemaRowset rowset) {
  return std::make_unique<MemoryRecordset>(SchemaColumns(rowset));
}

std::vector<Variant> NewSchemaRow(SchemaRowset rowset) {
  return std::vector<Variant>(SchemaColumns(rowset).size());
}

std::optional<std::string> SchemaRestriction(const std::vector<Variant>& restrictions,
                                             std::size_t i) {
  if (i >= restrictions.size() || restrictions[i].isNull()) return std::nullopt;
  std::string s = VariantToText(restrictions[i]);
  if (s.empty()) return std::nullopt;
  return s;
}

}  // namespace ado
