// The schema rowsets of a MySQL data source, read from its information_schema: ODBC's
// catalogue functions say too little about MySQL's types.
#include <optional>

#include "platform/ado/odbc/odbc_query.h"
#include "platform/ado/odbc/odbc_schema.h"
#include "platform/ado/odbc/odbc_session.h"
#include "platform/ado/odbc/type_signature.h"
#include "platform/ado/schema_rowsets.h"

namespace ado::odbc {

namespace {

std::string TableTypeOf(const std::string& mysqlType) {
  if (mysqlType == "BASE TABLE") return "TABLE";
  if (mysqlType == "SYSTEM VERSIONED") return "TABLE";
  return mysqlType;  // VIEW, SYSTEM VIEW, SEQUENCE, TEMPORARY
}

// "TABLE_SCHEMA = DATABASE()" or the catalog restriction as a parameter.
std::string SchemaCondition(const std::vector<Variant>& r, std::vector<std::string>& params) {
  if (auto cat = SchemaRestriction(r, TR_CATALOG)) {
    params.push_back(*cat);
    return "TABLE_SCHEMA = ?";
  }
  return "TABLE_SCHEMA = DATABASE()";
}

std::unique_ptr<Recordset> MySQLTables(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = NewSchemaRowset(SchemaRowset::Tables);
  if (SchemaRestriction(r, TR_SCHEMA)) return out;  // MySQL has no schemas within a database
  // The select list, in order.
  enum { kSchema, kName, kType, kComment, kCreated, kUpdated };
  std::vector<std::string> params;
  std::string sql =
      "SELECT TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE, TABLE_COMMENT, CREATE_TIME, "
      "UPDATE_TIME FROM information_schema.TABLES WHERE " +
      SchemaCondition(r, params);
  AddCondition(sql, "TABLE_NAME", SchemaRestriction(r, TR_NAME), params);
  sql += " ORDER BY TABLE_TYPE, TABLE_NAME";
  const auto type = SchemaRestriction(r, TR_TYPE);
  OdbcQuery q(s.handle(), sql, params, false, s.timeouts().catalogueSeconds);
  for (; !q.eof(); q.next()) {
    std::string t = TableTypeOf(VariantToText(q.value(kType)));
    if (type && *type != t) continue;
    std::vector<Variant> row = NewSchemaRow(SchemaRowset::Tables);
    row[T_CATALOG] = TextOrNull(q.value(kSchema));
    row[T_NAME] = TextOrNull(q.value(kName));
    row[T_TYPE] = Variant(t);
    if (!q.value(kComment).isNull() && !VariantToText(q.value(kComment)).empty())
      row[T_DESCRIPTION] = TextOrNull(q.value(kComment));
    row[T_CREATED] = q.value(kCreated);
    row[T_MODIFIED] = q.value(kUpdated);
    out->addRow(std::move(row));
  }
  // Tables before views, as the OLE DB rowset is sorted by type.
  out->first();
  return out;
}

std::unique_ptr<Recordset> MySQLColumns(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = NewSchemaRowset(SchemaRowset::Columns);
  if (SchemaRestriction(r, CR_SCHEMA)) return out;
  // The select list, in order.
  enum {
    kSchema,
    kTable,
    kName,
    kOrdinal,
    kDefault,
    kNullable,
    kDataType,
    kColumnType,
    kCharLength,
    kOctetLength,
    kPrecision,
    kScale,
    kDateTimePrecision,
    kCharset,
    kCollation,
    kComment,
    kGeneration,
    kExtra
  };
  std::vector<std::string> params;
  std::string sql =
      "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION, COLUMN_DEFAULT, "
      "IS_NULLABLE, "
      "DATA_TYPE, COLUMN_TYPE, CHARACTER_MAXIMUM_LENGTH, CHARACTER_OCTET_LENGTH, "
      "NUMERIC_PRECISION, "
      "NUMERIC_SCALE, DATETIME_PRECISION, CHARACTER_SET_NAME, COLLATION_NAME, COLUMN_COMMENT, "
      "GENERATION_EXPRESSION, EXTRA "
      "FROM information_schema.COLUMNS WHERE " +
      SchemaCondition(r, params);
  AddCondition(sql, "TABLE_NAME", SchemaRestriction(r, CR_TABLE), params);
  AddCondition(sql, "COLUMN_NAME", SchemaRestriction(r, CR_COLUMN), params);
  sql += " ORDER BY TABLE_NAME, ORDINAL_POSITION";
  OdbcQuery q(s.handle(), sql, params, false, s.timeouts().catalogueSeconds);
  for (; !q.eof(); q.next()) {
    std::vector<Variant> row = NewSchemaRow(SchemaRowset::Columns);
    auto precision = IntOf(q.value(kPrecision));
    auto scale = IntOf(q.value(kScale));
    TypeSignature sig =
        MySQLSignature(VariantToText(q.value(kDataType)), VariantToText(q.value(kColumnType)),
                       IntOf(q.value(kCharLength)),
                       precision ? std::optional<int>(static_cast<int>(*precision)) : std::nullopt,
                       scale ? std::optional<int>(static_cast<int>(*scale)) : std::nullopt);
    row[C_CATALOG] = TextOrNull(q.value(kSchema));
    row[C_TABLE] = TextOrNull(q.value(kTable));
    row[C_NAME] = TextOrNull(q.value(kName));
    row[C_ORDINAL] = q.value(kOrdinal);
    // MariaDB writes "NULL" for a column whose default is null.
    const bool hasDefault =
        !q.value(kDefault).isNull() && VariantToText(q.value(kDefault)) != "NULL";
    row[C_HASDEFAULT] = Variant(hasDefault);
    if (hasDefault) row[C_DEFAULT] = TextOrNull(q.value(kDefault));
    row[C_FLAGS] = Variant(sig.flags);
    row[C_NULLABLE] = Variant(VariantToText(q.value(kNullable)) == "YES");
    row[C_TYPE] = Variant(sig.dataType);
    if (sig.length != 0) row[C_CHARLEN] = Variant(static_cast<long long>(sig.length));
    if (auto octets = IntOf(q.value(kOctetLength)))
      row[C_OCTETLEN] = Variant(static_cast<long long>(*octets > 2147483647 ? -1 : *octets));
    if (sig.precision) row[C_PRECISION] = Variant(*sig.precision);
    if (sig.scale) row[C_SCALE] = Variant(*sig.scale);
    row[C_DATETIME_PRECISION] = q.value(kDateTimePrecision);
    row[C_CS_NAME] = TextOrNull(q.value(kCharset));
    row[C_COLL_NAME] = TextOrNull(q.value(kCollation));
    if (!VariantToText(q.value(kComment)).empty())
      row[C_DESCRIPTION] = TextOrNull(q.value(kComment));
    row[C_COLUMN_TYPE] = TextOrNull(q.value(kColumnType));
    // EXTRA holds "VIRTUAL GENERATED", "STORED GENERATED" (MySQL), "PERSISTENT GENERATED"
    // (older MariaDB), "INVISIBLE", "auto_increment", ...
    const std::string extra = VariantToText(q.value(kExtra));
    const bool generated = extra.find("GENERATED") != std::string::npos;
    if (generated && !VariantToText(q.value(kGeneration)).empty()) {
      row[C_GENERATION_EXPRESSION] = TextOrNull(q.value(kGeneration));
      row[C_GENERATION_STORED] = Variant(extra.find("VIRTUAL") == std::string::npos);
    }
    row[C_INVISIBLE] = Variant(extra.find("INVISIBLE") != std::string::npos);
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> MySQLIndexes(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = NewSchemaRowset(SchemaRowset::Indexes);
  if (SchemaRestriction(r, IR_SCHEMA)) return out;
  // The select list, in order.
  enum {
    kSchema,
    kTable,
    kIndex,
    kNonUnique,
    kSeq,
    kColumn,
    kCollation,
    kCardinality,
    kIndexType,
    kNullable,
    kSubPart
  };
  std::vector<std::string> params;
  std::string sql =
      "SELECT TABLE_SCHEMA, TABLE_NAME, INDEX_NAME, NON_UNIQUE, SEQ_IN_INDEX, COLUMN_NAME, "
      "COLLATION, CARDINALITY, INDEX_TYPE, NULLABLE, SUB_PART FROM information_schema.STATISTICS "
      "WHERE " +
      SchemaCondition(r, params);
  AddCondition(sql, "INDEX_NAME", SchemaRestriction(r, IR_INDEX), params);
  AddCondition(sql, "TABLE_NAME", SchemaRestriction(r, IR_TABLE), params);
  // The primary key first, then the unique indexes, each index's columns in order.
  sql += " ORDER BY TABLE_NAME, INDEX_NAME <> 'PRIMARY', NON_UNIQUE, INDEX_NAME, SEQ_IN_INDEX";
  OdbcQuery q(s.handle(), sql, params, false, s.timeouts().catalogueSeconds);
  for (; !q.eof(); q.next()) {
    std::vector<Variant> row = NewSchemaRow(SchemaRowset::Indexes);
    const std::string name = VariantToText(q.value(kIndex));
    const std::string kind = VariantToText(q.value(kIndexType));
    row[I_TABLE_CATALOG] = TextOrNull(q.value(kSchema));
    row[I_TABLE_NAME] = TextOrNull(q.value(kTable));
    row[I_INDEX_CATALOG] = TextOrNull(q.value(kSchema));
    row[I_INDEX_NAME] = Variant(name);
    row[I_PRIMARY_KEY] = Variant(name == "PRIMARY");
    row[I_UNIQUE] = Variant(IntOf(q.value(kNonUnique)).value_or(1) == 0);
    row[I_CLUSTERED] = Variant(false);
    row[I_TYPE] = Variant(kind == "BTREE"  ? kIndexTypeBtree
                          : kind == "HASH" ? kIndexTypeHash
                                           : kIndexTypeOther);
    row[I_ORDINAL] = q.value(kSeq);
    row[I_COLUMN_NAME] = TextOrNull(q.value(kColumn));
    row[I_COLLATION] = Variant(VariantToText(q.value(kCollation)) == "D" ? kCollationDescending
                                                                         : kCollationAscending);
    row[I_CARDINALITY] = q.value(kCardinality);
    row[I_SUB_PART] = q.value(kSubPart);
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> MySQLViews(OdbcSession& s, const std::vector<Variant>& r) {
  if (SchemaRestriction(r, VR_SCHEMA)) return NewSchemaRowset(SchemaRowset::Views);
  std::vector<std::string> params;
  // A MySQL database is the catalog; it has no schemas.
  std::string sql =
      "SELECT TABLE_SCHEMA, CAST(NULL AS CHAR), TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION, "
      "IS_UPDATABLE FROM information_schema.VIEWS WHERE " +
      SchemaCondition(r, params);
  AddCondition(sql, "TABLE_NAME", SchemaRestriction(r, VR_NAME), params);
  sql += " ORDER BY TABLE_NAME";
  return InformationSchemaViews(s, sql, params);
}

}  // namespace

std::unique_ptr<Recordset> OpenMySQLSchema(OdbcSession& session, SchemaRowset rowset,
                                           const std::vector<Variant>& restrictions) {
  switch (rowset) {
    case SchemaRowset::Tables: return MySQLTables(session, restrictions);
    case SchemaRowset::Columns: return MySQLColumns(session, restrictions);
    case SchemaRowset::Indexes: return MySQLIndexes(session, restrictions);
    case SchemaRowset::Views: return MySQLViews(session, restrictions);
  }
  throw DatabaseError("Unknown schema rowset.");
}

}  // namespace ado::odbc
