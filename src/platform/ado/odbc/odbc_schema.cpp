// The schema rowsets of SQL Server and other ODBC databases, through the ODBC
// catalogue functions.
#include "platform/ado/odbc/odbc_schema.h"

#include <map>
#include <optional>

#include "platform/ado/odbc/odbc_query.h"
#include "platform/ado/odbc/odbc_session.h"
#include "platform/ado/odbc/sqlserver.h"
#include "platform/ado/odbc/type_signature.h"
#include "platform/ado/schema_rowsets.h"

namespace ado::odbc {

std::optional<std::int64_t> IntOf(const Variant& v) {
  if (v.isNull()) return std::nullopt;
  try {
    return v.toInt();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

Variant TextOrNull(const Variant& v) {
  return v.isNull() ? Variant() : Variant(VariantToText(v));
}

void AddCondition(std::string& sql, const char* column, std::optional<std::string> value,
                  std::vector<std::string>& params) {
  if (!value) return;
  sql += std::string(" AND ") + column + " = ?";
  params.push_back(std::move(*value));
}

std::unique_ptr<Recordset> InformationSchemaViews(OdbcSession& s, const std::string& sql,
                                                  const std::vector<std::string>& params) {
  enum { kCatalog, kSchema, kName, kDefinition, kCheck, kUpdatable };
  auto out = NewSchemaRowset(SchemaRowset::Views);
  OdbcQuery q(s.handle(), sql, params, false, s.timeouts().catalogueSeconds);
  for (; !q.eof(); q.next()) {
    std::vector<Variant> row = NewSchemaRow(SchemaRowset::Views);
    row[V_CATALOG] = TextOrNull(q.value(kCatalog));
    row[V_SCHEMA] = TextOrNull(q.value(kSchema));
    row[V_NAME] = TextOrNull(q.value(kName));
    row[V_DEFINITION] = TextOrNull(q.value(kDefinition));
    row[V_CHECK] = Variant(VariantToText(q.value(kCheck)) != "NONE");
    row[V_UPDATABLE] = Variant(VariantToText(q.value(kUpdatable)) == "YES");
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

namespace {

// Result columns of the ODBC catalogue functions, numbered from 1 as CatalogResult's
// rows hold them.
enum SQLTablesCol { ST_CAT = 1, ST_SCHEM, ST_NAME, ST_TYPE, ST_REMARKS };
enum SQLColumnsCol {
  SC_CAT = 1,
  SC_SCHEM,
  SC_TABLE,
  SC_NAME,
  SC_DATA_TYPE,
  SC_TYPE_NAME,
  SC_SIZE,
  SC_BUFFER_LENGTH,
  SC_DIGITS,
  SC_RADIX,
  SC_NULLABLE,
  SC_REMARKS,
  SC_DEFAULT,
  SC_SQL_DATA_TYPE,
  SC_DATETIME_SUB,
  SC_OCTET_LENGTH,
  SC_ORDINAL
};
enum SQLPrimaryKeysCol { PK_CAT = 1, PK_SCHEM, PK_TABLE, PK_COLUMN, PK_SEQ, PK_NAME };
enum SQLStatisticsCol {
  SS_CAT = 1,
  SS_SCHEM,
  SS_TABLE,
  SS_NON_UNIQUE,
  SS_QUALIFIER,
  SS_INDEX,
  SS_TYPE,
  SS_ORDINAL,
  SS_COLUMN,
  SS_ASC_OR_DESC,
  SS_CARDINALITY,
  SS_PAGES
};

// A catalogue function's result, read like a query.
class CatalogResult {
 public:
  explicit CatalogResult(const OdbcSession& s) : stmt_(s.handle()) {
    stmt_.setQueryTimeout(s.timeouts().catalogueSeconds);
  }
  SQLHSTMT get() { return stmt_.get(); }
  void check(SQLRETURN rc, const char* what) { stmt_.check(rc, what); }
  // Reads every row as text (or null) by column number, from 1.
  std::vector<std::vector<Variant>> rows() {
    SQLSMALLINT count = 0;
    stmt_.check(SQLNumResultCols(stmt_.get(), &count), "SQLNumResultCols");
    std::vector<std::vector<Variant>> all;
    std::vector<char> buf(8192);
    for (;;) {
      SQLRETURN rc = SQLFetch(stmt_.get());
      if (rc == SQL_NO_DATA) break;
      stmt_.check(rc, "SQLFetch");
      std::vector<Variant> row(static_cast<std::size_t>(count) + 1);
      for (SQLUSMALLINT c = 1; c <= count; ++c) {
        SQLLEN ind = 0;
        std::string text;
        for (;;) {
          rc = SQLGetData(stmt_.get(), c, SQL_C_CHAR, buf.data(), static_cast<SQLLEN>(buf.size()),
                          &ind);
          if (rc == SQL_NO_DATA) break;
          stmt_.check(rc, "SQLGetData");
          if (ind == SQL_NULL_DATA) break;
          std::size_t got = (ind == SQL_NO_TOTAL || static_cast<std::size_t>(ind) >= buf.size())
                                ? buf.size() - 1
                                : static_cast<std::size_t>(ind);
          text.append(buf.data(), got);
          if (rc == SQL_SUCCESS) break;
        }
        if (ind != SQL_NULL_DATA) row[c] = Variant(std::move(text));
      }
      all.push_back(std::move(row));
    }
    return all;
  }

 private:
  Statement stmt_;
};

// Arguments for a catalogue function: null pointer when absent.
struct Arg {
  std::optional<std::string> v;
  SQLCHAR* ptr() { return v ? reinterpret_cast<SQLCHAR*>(v->data()) : nullptr; }
  SQLSMALLINT len() { return v ? static_cast<SQLSMALLINT>(v->size()) : 0; }
};

// A restriction given to an argument that takes a search pattern: a name, in which
// "_" and "%" stand for themselves, so "a_b" does not bring in "axb" as well.
std::optional<std::string> AsPattern(const OdbcSession& s, std::optional<std::string> name) {
  if (name) *name = EscapeSearchPattern(*name, s.patternEscape());
  return name;
}

std::unique_ptr<Recordset> OdbcTables(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = NewSchemaRowset(SchemaRowset::Tables);
  Arg cat{SchemaRestriction(r, TR_CATALOG)}, sch{AsPattern(s, SchemaRestriction(r, TR_SCHEMA))},
      name{AsPattern(s, SchemaRestriction(r, TR_NAME))}, type{SchemaRestriction(r, TR_TYPE)};
  CatalogResult q(s);
  q.check(SQLTables(q.get(), cat.ptr(), cat.len(), sch.ptr(), sch.len(), name.ptr(), name.len(),
                    type.ptr(), type.len()),
          "SQLTables");
  for (auto& src : q.rows()) {
    std::vector<Variant> row = NewSchemaRow(SchemaRowset::Tables);
    row[T_CATALOG] = src[ST_CAT];
    row[T_SCHEMA] = src[ST_SCHEM];
    row[T_NAME] = src[ST_NAME];
    row[T_TYPE] = src[ST_TYPE];
    if (s.dialect() == Dialect::SQLServer && !src[ST_TYPE].isNull())
      row[T_TYPE] =
          Variant(SqlServerTableType(VariantToText(src[ST_SCHEM]), VariantToText(src[ST_TYPE])));
    row[T_DESCRIPTION] = src[ST_REMARKS];
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> OdbcColumns(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = NewSchemaRowset(SchemaRowset::Columns);
  Arg cat{SchemaRestriction(r, CR_CATALOG)}, sch{AsPattern(s, SchemaRestriction(r, CR_SCHEMA))},
      name{AsPattern(s, SchemaRestriction(r, CR_TABLE))},
      col{AsPattern(s, SchemaRestriction(r, CR_COLUMN))};
  CatalogResult q(s);
  q.check(SQLColumns(q.get(), cat.ptr(), cat.len(), sch.ptr(), sch.len(), name.ptr(), name.len(),
                     col.ptr(), col.len()),
          "SQLColumns");
  const bool sqlServer = s.dialect() == Dialect::SQLServer;
  for (auto& src : q.rows()) {
    std::vector<Variant> row = NewSchemaRow(SchemaRowset::Columns);
    const std::int64_t size = IntOf(src[SC_SIZE]).value_or(0);
    auto digits = IntOf(src[SC_DIGITS]);
    std::optional<int> d = digits ? std::optional<int>(static_cast<int>(*digits)) : std::nullopt;
    TypeSignature sig =
        sqlServer
            ? SQLServerSignature(VariantToText(src[SC_TYPE_NAME]), size, d)
            : OdbcTypeSignature(static_cast<int>(IntOf(src[SC_DATA_TYPE]).value_or(0)), size, d);
    row[C_CATALOG] = src[SC_CAT];
    row[C_SCHEMA] = src[SC_SCHEM];
    row[C_TABLE] = src[SC_TABLE];
    row[C_NAME] = src[SC_NAME];
    if (auto o = IntOf(src[SC_ORDINAL])) row[C_ORDINAL] = Variant(static_cast<long long>(*o));
    row[C_HASDEFAULT] = Variant(!src[SC_DEFAULT].isNull());
    row[C_DEFAULT] = src[SC_DEFAULT];
    row[C_FLAGS] = Variant(sig.flags);
    row[C_NULLABLE] = Variant(IntOf(src[SC_NULLABLE]).value_or(1) != 0);
    row[C_TYPE] = Variant(sig.dataType);
    if (sig.length != 0) row[C_CHARLEN] = Variant(static_cast<long long>(sig.length));
    if (auto o = IntOf(src[SC_OCTET_LENGTH]))
      row[C_OCTETLEN] = Variant(static_cast<long long>(*o > 2147483647 ? -1 : *o));
    if (sig.precision) row[C_PRECISION] = Variant(*sig.precision);
    if (sig.scale) row[C_SCALE] = Variant(*sig.scale);
    row[C_DESCRIPTION] = src[SC_REMARKS];
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> OdbcIndexes(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = NewSchemaRowset(SchemaRowset::Indexes);
  auto table = SchemaRestriction(r, IR_TABLE);
  if (!table) return out;  // SQLStatistics needs a table name
  Arg cat{SchemaRestriction(r, IR_CATALOG)}, sch{SchemaRestriction(r, IR_SCHEMA)}, name{table};
  // The primary key's name, to mark its index.
  std::string pkName;
  std::vector<std::string> pkColumns;
  {
    CatalogResult pk(s);
    if (Succeeded(SQLPrimaryKeys(pk.get(), cat.ptr(), cat.len(), sch.ptr(), sch.len(), name.ptr(),
                                 name.len()))) {
      std::map<std::int64_t, std::string> ordered;
      for (auto& src : pk.rows()) {
        ordered[IntOf(src[PK_SEQ]).value_or(0)] = VariantToText(src[PK_COLUMN]);
        pkName = VariantToText(src[PK_NAME]);
      }
      for (auto& [_, c] : ordered) pkColumns.push_back(c);
    }
  }
  CatalogResult q(s);
  q.check(SQLStatistics(q.get(), cat.ptr(), cat.len(), sch.ptr(), sch.len(), name.ptr(), name.len(),
                        SQL_INDEX_ALL, SQL_QUICK),
          "SQLStatistics");
  auto rows = q.rows();
  std::map<std::string, std::vector<std::string>> columnsOf;
  for (auto& src : rows)
    if (IntOf(src[SS_TYPE]).value_or(0) != SQL_TABLE_STAT)
      columnsOf[VariantToText(src[SS_INDEX])].push_back(VariantToText(src[SS_COLUMN]));
  for (auto& src : rows) {
    if (IntOf(src[SS_TYPE]).value_or(0) == SQL_TABLE_STAT) continue;
    std::vector<Variant> row = NewSchemaRow(SchemaRowset::Indexes);
    const std::string index = VariantToText(src[SS_INDEX]);
    const bool primary =
        pkName.empty() ? (!pkColumns.empty() && columnsOf[index] == pkColumns) : index == pkName;
    row[I_TABLE_CATALOG] = src[SS_CAT];
    row[I_TABLE_SCHEMA] = src[SS_SCHEM];
    row[I_TABLE_NAME] = src[SS_TABLE];
    row[I_INDEX_CATALOG] = src[SS_CAT];
    row[I_INDEX_SCHEMA] = src[SS_QUALIFIER].isNull() ? src[SS_SCHEM] : src[SS_QUALIFIER];
    row[I_INDEX_NAME] = src[SS_INDEX];
    row[I_PRIMARY_KEY] = Variant(primary);
    row[I_UNIQUE] = Variant(IntOf(src[SS_NON_UNIQUE]).value_or(1) == 0);
    row[I_CLUSTERED] = Variant(IntOf(src[SS_TYPE]).value_or(0) == SQL_INDEX_CLUSTERED);
    row[I_TYPE] = Variant(IntOf(src[SS_TYPE]).value_or(0) == SQL_INDEX_HASHED ? kIndexTypeHash
                                                                              : kIndexTypeBtree);
    if (auto o = IntOf(src[SS_ORDINAL])) row[I_ORDINAL] = Variant(static_cast<long long>(*o));
    row[I_COLUMN_NAME] = src[SS_COLUMN];
    row[I_COLLATION] = Variant(VariantToText(src[SS_ASC_OR_DESC]) == "D" ? kCollationDescending
                                                                         : kCollationAscending);
    row[I_CARDINALITY] = src[SS_CARDINALITY];
    row[I_PAGES] = src[SS_PAGES];
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> OdbcViews(OdbcSession& s, const std::vector<Variant>& r) {
  if (s.dialect() == Dialect::SQLServer) {
    std::vector<std::string> params;
    std::string sql =
        "SELECT TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION, "
        "IS_UPDATABLE FROM INFORMATION_SCHEMA.VIEWS WHERE 1=1";
    AddCondition(sql, "TABLE_CATALOG", SchemaRestriction(r, VR_CATALOG), params);
    AddCondition(sql, "TABLE_SCHEMA", SchemaRestriction(r, VR_SCHEMA), params);
    AddCondition(sql, "TABLE_NAME", SchemaRestriction(r, VR_NAME), params);
    return InformationSchemaViews(s, sql, params);
  }
  // Elsewhere only the names are known.
  auto at = [&](std::size_t i) { return i < r.size() ? r[i] : Variant(); };
  std::vector<Variant> tr(kTablesRestrictions);
  tr[TR_CATALOG] = at(VR_CATALOG);
  tr[TR_SCHEMA] = at(VR_SCHEMA);
  tr[TR_NAME] = at(VR_NAME);
  tr[TR_TYPE] = Variant("VIEW");
  auto tables = OdbcTables(s, tr);
  auto out = NewSchemaRowset(SchemaRowset::Views);
  for (tables->first(); !tables->eof(); tables->next()) {
    std::vector<Variant> row = NewSchemaRow(SchemaRowset::Views);
    row[V_CATALOG] = tables->value(T_CATALOG);
    row[V_SCHEMA] = tables->value(T_SCHEMA);
    row[V_NAME] = tables->value(T_NAME);
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

}  // namespace

std::string EscapeSearchPattern(std::string_view name, std::string_view escape) {
  if (escape.empty()) return std::string(name);
  std::string out;
  for (char c : name) {
    if (c == '_' || c == '%' || (escape.size() == 1 && c == escape[0])) out += escape;
    out += c;
  }
  return out;
}

std::unique_ptr<Recordset> OpenOdbcSchema(OdbcSession& session, SchemaRowset rowset,
                                          const std::vector<Variant>& restrictions) {
  if (session.dialect() == Dialect::MySQL) return OpenMySQLSchema(session, rowset, restrictions);
  switch (rowset) {
    case SchemaRowset::Tables: return OdbcTables(session, restrictions);
    case SchemaRowset::Columns: return OdbcColumns(session, restrictions);
    case SchemaRowset::Indexes: return OdbcIndexes(session, restrictions);
    case SchemaRowset::Views: return OdbcViews(session, restrictions);
  }
  throw DatabaseError("Unknown schema rowset.");
}

}  // namespace ado::odbc
