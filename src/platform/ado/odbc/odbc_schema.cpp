#include "platform/ado/odbc/odbc_schema.h"

#include <map>
#include <optional>

#include "platform/ado/memory_recordset.h"
#include "platform/ado/odbc/odbc_query.h"
#include "platform/ado/odbc/odbc_session.h"
#include "platform/ado/odbc/sqlserver.h"
#include "platform/ado/odbc/type_signature.h"

namespace ado::odbc {

namespace {

// Column positions of the rowsets below.
enum TablesCol {
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
enum ColumnsCol {
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
  // Provider columns after the standard ones (MySQL).
  C_COLUMN_TYPE,
  C_GENERATION_EXPRESSION,
  C_GENERATION_STORED,
  C_INVISIBLE
};
enum IndexesCol {
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
  I_SUB_PART  // provider column (MySQL): key prefix length, null for the whole column
};
enum ViewsCol {
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

constexpr int kIndexTypeBtree = 1;  // DBPROPVAL_IT_BTREE
constexpr int kIndexTypeHash = 2;
constexpr int kIndexTypeOther = 4;

std::optional<std::string> Restriction(const std::vector<Variant>& r, std::size_t i) {
  return SchemaRestriction(r, i);
}

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

std::string TableTypeOf(const std::string& mysqlType) {
  if (mysqlType == "BASE TABLE") return "TABLE";
  if (mysqlType == "SYSTEM VERSIONED") return "TABLE";
  return mysqlType;  // VIEW, SYSTEM VIEW, SEQUENCE, TEMPORARY
}

// ---- MySQL, from information_schema ----

// "TABLE_SCHEMA = DATABASE()" or the catalog restriction as a parameter.
std::string SchemaCondition(const std::vector<Variant>& r, std::vector<std::string>& params) {
  if (auto cat = Restriction(r, 0)) {
    params.push_back(*cat);
    return "TABLE_SCHEMA = ?";
  }
  return "TABLE_SCHEMA = DATABASE()";
}

void AddCondition(std::string& sql, const char* column, std::optional<std::string> value,
                  std::vector<std::string>& params) {
  if (!value) return;
  sql += std::string(" AND ") + column + " = ?";
  params.push_back(std::move(*value));
}

std::unique_ptr<Recordset> MySQLTables(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = std::make_unique<MemoryRecordset>(SchemaColumns(SchemaRowset::Tables));
  if (Restriction(r, 1)) return out;  // MySQL has no schemas within a database
  std::vector<std::string> params;
  std::string sql =
      "SELECT TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE, TABLE_COMMENT, CREATE_TIME, "
      "UPDATE_TIME FROM information_schema.TABLES WHERE " +
      SchemaCondition(r, params);
  AddCondition(sql, "TABLE_NAME", Restriction(r, 2), params);
  sql += " ORDER BY TABLE_TYPE, TABLE_NAME";
  const auto type = Restriction(r, 3);
  OdbcQuery q(s.handle(), sql, params, false, s.timeouts().catalogueSeconds);
  for (; !q.eof(); q.next()) {
    std::string t = TableTypeOf(VariantToText(q.value(2)));
    if (type && *type != t) continue;
    std::vector<Variant> row(SchemaColumns(SchemaRowset::Tables).size());
    row[T_CATALOG] = TextOrNull(q.value(0));
    row[T_NAME] = TextOrNull(q.value(1));
    row[T_TYPE] = Variant(t);
    if (!q.value(3).isNull() && !VariantToText(q.value(3)).empty())
      row[T_DESCRIPTION] = TextOrNull(q.value(3));
    row[T_CREATED] = q.value(4);
    row[T_MODIFIED] = q.value(5);
    out->addRow(std::move(row));
  }
  // Tables before views, as the OLE DB rowset is sorted by type.
  out->first();
  return out;
}

std::unique_ptr<Recordset> MySQLColumns(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = std::make_unique<MemoryRecordset>(SchemaColumns(SchemaRowset::Columns));
  if (Restriction(r, 1)) return out;
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
  AddCondition(sql, "TABLE_NAME", Restriction(r, 2), params);
  AddCondition(sql, "COLUMN_NAME", Restriction(r, 3), params);
  sql += " ORDER BY TABLE_NAME, ORDINAL_POSITION";
  OdbcQuery q(s.handle(), sql, params, false, s.timeouts().catalogueSeconds);
  for (; !q.eof(); q.next()) {
    std::vector<Variant> row(SchemaColumns(SchemaRowset::Columns).size());
    auto precision = IntOf(q.value(10));
    auto scale = IntOf(q.value(11));
    TypeSignature sig =
        MySQLSignature(VariantToText(q.value(6)), VariantToText(q.value(7)), IntOf(q.value(8)),
                       precision ? std::optional<int>(static_cast<int>(*precision)) : std::nullopt,
                       scale ? std::optional<int>(static_cast<int>(*scale)) : std::nullopt);
    row[C_CATALOG] = TextOrNull(q.value(0));
    row[C_TABLE] = TextOrNull(q.value(1));
    row[C_NAME] = TextOrNull(q.value(2));
    row[C_ORDINAL] = q.value(3);
    // MariaDB writes "NULL" for a column whose default is null.
    const bool hasDefault = !q.value(4).isNull() && VariantToText(q.value(4)) != "NULL";
    row[C_HASDEFAULT] = Variant(hasDefault);
    if (hasDefault) row[C_DEFAULT] = TextOrNull(q.value(4));
    row[C_FLAGS] = Variant(sig.flags);
    row[C_NULLABLE] = Variant(VariantToText(q.value(5)) == "YES");
    row[C_TYPE] = Variant(sig.dataType);
    if (sig.length != 0) row[C_CHARLEN] = Variant(static_cast<long long>(sig.length));
    if (auto octets = IntOf(q.value(9)))
      row[C_OCTETLEN] = Variant(static_cast<long long>(*octets > 2147483647 ? -1 : *octets));
    if (sig.precision) row[C_PRECISION] = Variant(*sig.precision);
    if (sig.scale) row[C_SCALE] = Variant(*sig.scale);
    row[C_DATETIME_PRECISION] = q.value(12);
    row[C_CS_NAME] = TextOrNull(q.value(13));
    row[C_COLL_NAME] = TextOrNull(q.value(14));
    if (!VariantToText(q.value(15)).empty()) row[C_DESCRIPTION] = TextOrNull(q.value(15));
    row[C_COLUMN_TYPE] = TextOrNull(q.value(7));
    // EXTRA holds "VIRTUAL GENERATED", "STORED GENERATED" (MySQL), "PERSISTENT GENERATED"
    // (older MariaDB), "INVISIBLE", "auto_increment", ...
    const std::string extra = VariantToText(q.value(17));
    const bool generated = extra.find("GENERATED") != std::string::npos;
    if (generated && !VariantToText(q.value(16)).empty()) {
      row[C_GENERATION_EXPRESSION] = TextOrNull(q.value(16));
      row[C_GENERATION_STORED] = Variant(extra.find("VIRTUAL") == std::string::npos);
    }
    row[C_INVISIBLE] = Variant(extra.find("INVISIBLE") != std::string::npos);
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> MySQLIndexes(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = std::make_unique<MemoryRecordset>(SchemaColumns(SchemaRowset::Indexes));
  if (Restriction(r, 1)) return out;
  std::vector<std::string> params;
  std::string sql =
      "SELECT TABLE_SCHEMA, TABLE_NAME, INDEX_NAME, NON_UNIQUE, SEQ_IN_INDEX, COLUMN_NAME, "
      "COLLATION, CARDINALITY, INDEX_TYPE, NULLABLE, SUB_PART FROM information_schema.STATISTICS "
      "WHERE " +
      SchemaCondition(r, params);
  AddCondition(sql, "INDEX_NAME", Restriction(r, 2), params);
  AddCondition(sql, "TABLE_NAME", Restriction(r, 4), params);
  // The primary key first, then the unique indexes, each index's columns in order.
  sql += " ORDER BY TABLE_NAME, INDEX_NAME <> 'PRIMARY', NON_UNIQUE, INDEX_NAME, SEQ_IN_INDEX";
  OdbcQuery q(s.handle(), sql, params, false, s.timeouts().catalogueSeconds);
  for (; !q.eof(); q.next()) {
    std::vector<Variant> row(SchemaColumns(SchemaRowset::Indexes).size());
    const std::string name = VariantToText(q.value(2));
    const std::string kind = VariantToText(q.value(8));
    row[I_TABLE_CATALOG] = TextOrNull(q.value(0));
    row[I_TABLE_NAME] = TextOrNull(q.value(1));
    row[I_INDEX_CATALOG] = TextOrNull(q.value(0));
    row[I_INDEX_NAME] = Variant(name);
    row[I_PRIMARY_KEY] = Variant(name == "PRIMARY");
    row[I_UNIQUE] = Variant(IntOf(q.value(3)).value_or(1) == 0);
    row[I_CLUSTERED] = Variant(false);
    row[I_TYPE] = Variant(kind == "BTREE"  ? kIndexTypeBtree
                          : kind == "HASH" ? kIndexTypeHash
                                           : kIndexTypeOther);
    row[I_ORDINAL] = q.value(4);
    row[I_COLUMN_NAME] = TextOrNull(q.value(5));
    row[I_COLLATION] = Variant(VariantToText(q.value(6)) == "D" ? 2 : 1);  // DB_COLLATION_DESC/ASC
    row[I_CARDINALITY] = q.value(7);
    row[I_SUB_PART] = q.value(10);
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> MySQLViews(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = std::make_unique<MemoryRecordset>(SchemaColumns(SchemaRowset::Views));
  if (Restriction(r, 1)) return out;
  std::vector<std::string> params;
  std::string sql =
      "SELECT TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION, IS_UPDATABLE "
      "FROM information_schema.VIEWS WHERE " +
      SchemaCondition(r, params);
  AddCondition(sql, "TABLE_NAME", Restriction(r, 2), params);
  sql += " ORDER BY TABLE_NAME";
  OdbcQuery q(s.handle(), sql, params, false, s.timeouts().catalogueSeconds);
  for (; !q.eof(); q.next()) {
    std::vector<Variant> row(SchemaColumns(SchemaRowset::Views).size());
    row[V_CATALOG] = TextOrNull(q.value(0));
    row[V_NAME] = TextOrNull(q.value(1));
    row[V_DEFINITION] = TextOrNull(q.value(2));
    row[V_CHECK] = Variant(VariantToText(q.value(3)) != "NONE");
    row[V_UPDATABLE] = Variant(VariantToText(q.value(4)) == "YES");
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

// ---- other databases, through the ODBC catalogue functions ----

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
  auto out = std::make_unique<MemoryRecordset>(SchemaColumns(SchemaRowset::Tables));
  Arg cat{Restriction(r, 0)}, sch{AsPattern(s, Restriction(r, 1))},
      name{AsPattern(s, Restriction(r, 2))}, type{Restriction(r, 3)};
  CatalogResult q(s);
  q.check(SQLTables(q.get(), cat.ptr(), cat.len(), sch.ptr(), sch.len(), name.ptr(), name.len(),
                    type.ptr(), type.len()),
          "SQLTables");
  for (auto& src : q.rows()) {
    std::vector<Variant> row(SchemaColumns(SchemaRowset::Tables).size());
    row[T_CATALOG] = src[1];
    row[T_SCHEMA] = src[2];
    row[T_NAME] = src[3];
    row[T_TYPE] = src[4];
    if (s.dialect() == Dialect::SQLServer && !src[4].isNull())
      row[T_TYPE] = Variant(SqlServerTableType(VariantToText(src[2]), VariantToText(src[4])));
    row[T_DESCRIPTION] = src[5];
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> OdbcColumns(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = std::make_unique<MemoryRecordset>(SchemaColumns(SchemaRowset::Columns));
  Arg cat{Restriction(r, 0)}, sch{AsPattern(s, Restriction(r, 1))},
      name{AsPattern(s, Restriction(r, 2))}, col{AsPattern(s, Restriction(r, 3))};
  CatalogResult q(s);
  q.check(SQLColumns(q.get(), cat.ptr(), cat.len(), sch.ptr(), sch.len(), name.ptr(), name.len(),
                     col.ptr(), col.len()),
          "SQLColumns");
  const bool sqlServer = s.dialect() == Dialect::SQLServer;
  for (auto& src : q.rows()) {
    // SQLColumns: 1 TABLE_CAT, 2 TABLE_SCHEM, 3 TABLE_NAME, 4 COLUMN_NAME, 5 DATA_TYPE,
    // 6 TYPE_NAME, 7 COLUMN_SIZE, 8 BUFFER_LENGTH, 9 DECIMAL_DIGITS, 11 NULLABLE,
    // 12 REMARKS, 13 COLUMN_DEF, 16 CHAR_OCTET_LENGTH, 17 ORDINAL_POSITION.
    std::vector<Variant> row(SchemaColumns(SchemaRowset::Columns).size());
    const std::int64_t size = IntOf(src[7]).value_or(0);
    auto digits = IntOf(src[9]);
    std::optional<int> d = digits ? std::optional<int>(static_cast<int>(*digits)) : std::nullopt;
    TypeSignature sig =
        sqlServer ? SQLServerSignature(VariantToText(src[6]), size, d)
                  : OdbcTypeSignature(static_cast<int>(IntOf(src[5]).value_or(0)), size, d);
    row[C_CATALOG] = src[1];
    row[C_SCHEMA] = src[2];
    row[C_TABLE] = src[3];
    row[C_NAME] = src[4];
    if (auto o = IntOf(src[17])) row[C_ORDINAL] = Variant(static_cast<long long>(*o));
    row[C_HASDEFAULT] = Variant(!src[13].isNull());
    row[C_DEFAULT] = src[13];
    row[C_FLAGS] = Variant(sig.flags);
    row[C_NULLABLE] = Variant(IntOf(src[11]).value_or(1) != 0);
    row[C_TYPE] = Variant(sig.dataType);
    if (sig.length != 0) row[C_CHARLEN] = Variant(static_cast<long long>(sig.length));
    if (auto o = IntOf(src[16]))
      row[C_OCTETLEN] = Variant(static_cast<long long>(*o > 2147483647 ? -1 : *o));
    if (sig.precision) row[C_PRECISION] = Variant(*sig.precision);
    if (sig.scale) row[C_SCALE] = Variant(*sig.scale);
    row[C_DESCRIPTION] = src[12];
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> OdbcIndexes(OdbcSession& s, const std::vector<Variant>& r) {
  auto out = std::make_unique<MemoryRecordset>(SchemaColumns(SchemaRowset::Indexes));
  auto table = Restriction(r, 4);
  if (!table) return out;  // SQLStatistics needs a table name
  Arg cat{Restriction(r, 0)}, sch{Restriction(r, 1)}, name{table};
  // The primary key's name, to mark its index.
  std::string pkName;
  std::vector<std::string> pkColumns;
  {
    CatalogResult pk(s);
    if (Succeeded(SQLPrimaryKeys(pk.get(), cat.ptr(), cat.len(), sch.ptr(), sch.len(), name.ptr(),
                                 name.len()))) {
      std::map<std::int64_t, std::string> ordered;
      for (auto& src : pk.rows()) {
        ordered[IntOf(src[5]).value_or(0)] = VariantToText(src[4]);
        pkName = VariantToText(src[6]);
      }
      for (auto& [_, c] : ordered) pkColumns.push_back(c);
    }
  }
  CatalogResult q(s);
  q.check(SQLStatistics(q.get(), cat.ptr(), cat.len(), sch.ptr(), sch.len(), name.ptr(), name.len(),
                        SQL_INDEX_ALL, SQL_QUICK),
          "SQLStatistics");
  // SQLStatistics: 1 TABLE_CAT, 2 TABLE_SCHEM, 3 TABLE_NAME, 4 NON_UNIQUE, 5 INDEX_QUALIFIER,
  // 6 INDEX_NAME, 7 TYPE, 8 ORDINAL_POSITION, 9 COLUMN_NAME, 10 ASC_OR_DESC, 11 CARDINALITY, 12
  // PAGES.
  auto rows = q.rows();
  std::map<std::string, std::vector<std::string>> columnsOf;
  for (auto& src : rows)
    if (IntOf(src[7]).value_or(0) != SQL_TABLE_STAT)
      columnsOf[VariantToText(src[6])].push_back(VariantToText(src[9]));
  for (auto& src : rows) {
    if (IntOf(src[7]).value_or(0) == SQL_TABLE_STAT) continue;
    std::vector<Variant> row(SchemaColumns(SchemaRowset::Indexes).size());
    const std::string index = VariantToText(src[6]);
    const bool primary =
        pkName.empty() ? (!pkColumns.empty() && columnsOf[index] == pkColumns) : index == pkName;
    row[I_TABLE_CATALOG] = src[1];
    row[I_TABLE_SCHEMA] = src[2];
    row[I_TABLE_NAME] = src[3];
    row[I_INDEX_CATALOG] = src[1];
    row[I_INDEX_SCHEMA] = src[5].isNull() ? src[2] : src[5];
    row[I_INDEX_NAME] = src[6];
    row[I_PRIMARY_KEY] = Variant(primary);
    row[I_UNIQUE] = Variant(IntOf(src[4]).value_or(1) == 0);
    row[I_CLUSTERED] = Variant(IntOf(src[7]).value_or(0) == SQL_INDEX_CLUSTERED);
    row[I_TYPE] =
        Variant(IntOf(src[7]).value_or(0) == SQL_INDEX_HASHED ? kIndexTypeHash : kIndexTypeBtree);
    if (auto o = IntOf(src[8])) row[I_ORDINAL] = Variant(static_cast<long long>(*o));
    row[I_COLUMN_NAME] = src[9];
    row[I_COLLATION] = Variant(VariantToText(src[10]) == "D" ? 2 : 1);
    row[I_CARDINALITY] = src[11];
    row[I_PAGES] = src[12];
    out->addRow(std::move(row));
  }
  out->first();
  return out;
}

std::unique_ptr<Recordset> OdbcViews(OdbcSession& s, const std::vector<Variant>& r) {
  if (s.dialect() == Dialect::SQLServer) {
    auto out = std::make_unique<MemoryRecordset>(SchemaColumns(SchemaRowset::Views));
    std::vector<std::string> params;
    std::string sql =
        "SELECT TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION, "
        "IS_UPDATABLE FROM INFORMATION_SCHEMA.VIEWS WHERE 1=1";
    AddCondition(sql, "TABLE_CATALOG", Restriction(r, 0), params);
    AddCondition(sql, "TABLE_SCHEMA", Restriction(r, 1), params);
    AddCondition(sql, "TABLE_NAME", Restriction(r, 2), params);
    OdbcQuery q(s.handle(), sql, params, false, s.timeouts().catalogueSeconds);
    for (; !q.eof(); q.next()) {
      std::vector<Variant> row(SchemaColumns(SchemaRowset::Views).size());
      row[V_CATALOG] = TextOrNull(q.value(0));
      row[V_SCHEMA] = TextOrNull(q.value(1));
      row[V_NAME] = TextOrNull(q.value(2));
      row[V_DEFINITION] = TextOrNull(q.value(3));
      row[V_CHECK] = Variant(VariantToText(q.value(4)) != "NONE");
      row[V_UPDATABLE] = Variant(VariantToText(q.value(5)) == "YES");
      out->addRow(std::move(row));
    }
    out->first();
    return out;
  }
  // Elsewhere only the names are known.
  std::vector<Variant> tr{r.size() > 0 ? r[0] : Variant(), r.size() > 1 ? r[1] : Variant(),
                          r.size() > 2 ? r[2] : Variant(), Variant("VIEW")};
  auto tables = OdbcTables(s, tr);
  auto out = std::make_unique<MemoryRecordset>(SchemaColumns(SchemaRowset::Views));
  for (tables->first(); !tables->eof(); tables->next()) {
    std::vector<Variant> row(SchemaColumns(SchemaRowset::Views).size());
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

std::unique_ptr<Recordset> OpenOdbcSchema(OdbcSession& session, SchemaRowset rowset,
                                          const std::vector<Variant>& restrictions) {
  if (session.dialect() == Dialect::MySQL) {
    switch (rowset) {
      case SchemaRowset::Tables: return MySQLTables(session, restrictions);
      case SchemaRowset::Columns: return MySQLColumns(session, restrictions);
      case SchemaRowset::Indexes: return MySQLIndexes(session, restrictions);
      case SchemaRowset::Views: return MySQLViews(session, restrictions);
    }
  }
  switch (rowset) {
    case SchemaRowset::Tables: return OdbcTables(session, restrictions);
    case SchemaRowset::Columns: return OdbcColumns(session, restrictions);
    case SchemaRowset::Indexes: return OdbcIndexes(session, restrictions);
    case SchemaRowset::Views: return OdbcViews(session, restrictions);
  }
  throw DatabaseError("Unknown schema rowset.");
}

}  // namespace ado::odbc
