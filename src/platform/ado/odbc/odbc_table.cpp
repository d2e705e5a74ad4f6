#include "platform/ado/odbc/odbc_table.h"

#include <algorithm>

#include "platform/ado/odbc/odbc_params.h"
#include "platform/ado/odbc/odbc_query.h"
#include "platform/ado/odbc/odbc_session.h"
#include "platform/text/text.h"

namespace ado::odbc {

namespace {

// Executes a prepared, bound INSERT and closes it again, also when it fails; throws
// the driver's message (fallback when it gives none).
void ExecuteInsert(const Statement& insert, const char* fallback) {
  const SQLRETURN rc = SQLExecute(insert.get());
  if (rc != SQL_NO_DATA && !Succeeded(rc)) {
    DatabaseError error = Diagnostics(SQL_HANDLE_STMT, insert.get(), fallback);
    SQLFreeStmt(insert.get(), SQL_CLOSE);
    throw error;
  }
  SQLFreeStmt(insert.get(), SQL_CLOSE);
}

}  // namespace

OdbcTable::OdbcTable(OdbcSession& session, const std::string& name)
    : session_(session), name_(session.quoteName(name)) {
  wideText_ = session.dialect() == Dialect::SQLServer;
  Statement probe(session.handle());
  std::string sql = "SELECT * FROM " + name_ + " WHERE 1=0";
  probe.check(SQLExecDirect(probe.get(), reinterpret_cast<SQLCHAR*>(sql.data()),
                            static_cast<SQLINTEGER>(sql.size())),
              "SQLExecDirect");
  SQLSMALLINT count = 0;
  probe.check(SQLNumResultCols(probe.get(), &count), "SQLNumResultCols");
  const std::string& q = session.identifierQuote();
  for (SQLUSMALLINT i = 1; i <= count; ++i) {
    SQLCHAR buf[512];
    SQLSMALLINT len = 0;
    probe.check(SQLColAttribute(probe.get(), i, SQL_DESC_NAME, buf, sizeof buf, &len, nullptr),
                "SQLColAttribute");
    std::string column(reinterpret_cast<char*>(buf),
                       static_cast<std::size_t>(std::clamp<SQLSMALLINT>(len, 0, sizeof buf - 1)));
    text::LowerCase(column, key_);
    byName_.emplace(key_, static_cast<int>(columns_.size()));
    quotedColumns_.push_back(text::QuoteName(column, q));
    columns_.push_back(std::move(column));
  }
  if (session.dialect() == Dialect::MySQL && count > 0) {
    // The table behind the name, however it was quoted or qualified.
    auto attribute = [&](SQLUSMALLINT field) {
      SQLCHAR buf[512];
      SQLSMALLINT len = 0;
      if (!Succeeded(SQLColAttribute(probe.get(), 1, field, buf, sizeof buf, &len, nullptr)))
        return std::string();
      return std::string(reinterpret_cast<char*>(buf),
                         static_cast<std::size_t>(std::clamp<SQLSMALLINT>(len, 0, sizeof buf - 1)));
    };
    baseDatabase_ = attribute(SQL_DESC_CATALOG_NAME);
    baseTable_ = attribute(SQL_DESC_BASE_TABLE_NAME);
  }
  row_.resize(columns_.size());
  set_.assign(columns_.size(), 0);
  params_.resize(columns_.size());
}

OdbcTable::~OdbcTable() = default;

void OdbcTable::append() {
  std::fill(set_.begin(), set_.end(), 0);
  appending_ = true;
  hint_ = 0;
}

int OdbcTable::find(std::string_view name) {
  // Rows are usually set in column order: try the column after the last one first.
  if (hint_ < static_cast<int>(columns_.size())) {
    const std::string& c = columns_[static_cast<std::size_t>(hint_)];
    if (text::EqualsNoCase(c, name)) return hint_;
  }
  text::LowerCase(name, key_);
  auto it = byName_.find(key_);
  return it == byName_.end() ? -1 : it->second;
}

void OdbcTable::setField(std::string_view name, const Variant& value) {
  if (!appending_) throw DatabaseError("Operation is not allowed: no row has been appended.");
  int i = find(name);
  if (i < 0) throw DatabaseError("Item cannot be found in the collection: " + std::string(name));
  row_[static_cast<std::size_t>(i)] = value;
  set_[static_cast<std::size_t>(i)] = 1;
  hint_ = i + 1;
}

void OdbcTable::prepare() {
  std::string sql = "INSERT INTO " + name_ + " (";
  std::string values;
  bool any = false;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (!set_[i]) continue;
    if (any) {
      sql += ", ";
      values += ", ";
    }
    sql += quotedColumns_[i];
    values += '?';
    any = true;
  }
  // A row that sets nothing takes every column's default.
  if (!any)
    sql = "INSERT INTO " + name_ + " DEFAULT VALUES";
  else
    sql += ") VALUES (" + values + ")";
  if (!any && session_.dialect() == Dialect::MySQL) sql = "INSERT INTO " + name_ + " () VALUES ()";
  insert_.reset();
  prepared_.clear();
  auto stmt = std::make_unique<Statement>(session_.handle());
  stmt->check(SQLPrepare(stmt->get(), reinterpret_cast<SQLCHAR*>(sql.data()),
                         static_cast<SQLINTEGER>(sql.size())),
              "SQLPrepare");
  insert_ = std::move(stmt);
  prepared_ = set_;
}

void OdbcTable::bind(std::size_t column, SQLUSMALLINT number) {
  BindParameter(*insert_, number, row_[column], params_[column], wideText_);
}

void OdbcTable::post() {
  if (!appending_) throw DatabaseError("Operation is not allowed: no row has been appended.");
  appending_ = false;  // the row is gone whether it posts or not
  if (!insert_ || prepared_ != set_) prepare();
  SQLUSMALLINT number = 0;
  for (std::size_t i = 0; i < columns_.size(); ++i)
    if (set_[i]) bind(i, ++number);
  ExecuteInsert(*insert_, "The row could not be posted.");
}

namespace {

// What a value adds to a MySQL statement at the most: as escaped text (the driver may
// put it into the text) or in the binary protocol, whichever is longer.
std::size_t MySQLValueBytes(const Variant& v) {
  switch (v.kind()) {
    case VariantKind::Null: return 4;
    case VariantKind::Text: return 2 * v.asText().size() + 12;
    case VariantKind::Bytes: return 2 * v.asBytes().data.size() + 12;
    case VariantKind::Decimal: return v.asDecimal().text.size() + 12;
    default: return 40;
  }
}

constexpr std::size_t kSQLServerRows = 1000;
// Below the server's 2100, since the call that prepares or runs it adds some of its own.
constexpr std::size_t kSQLServerParameters = 2000;
constexpr std::size_t kMySQLParameters = 65535;
// Room in a MySQL packet for the packet and command headers.
constexpr std::size_t kPacketHeadroom = 1024;

}  // namespace

void OdbcTable::postRows(std::span<const std::string> fields,
                         std::span<const Variant* const> values, std::size_t rows) {
  const std::size_t width = fields.size();
  if (values.size() != rows * width)
    throw DatabaseError("Rows to post do not have one value per field.");
  // A row that sets no column has no multi-row form in every dialect.
  if (width == 0) return TableDataset::postRows(fields, values, rows);
  std::vector<int> columns;
  for (const std::string& f : fields) {
    const int i = find(f);
    if (i < 0) throw DatabaseError("Item cannot be found in the collection: " + f);
    columns.push_back(i);
    hint_ = i + 1;
  }
  const bool mysql = session_.dialect() == Dialect::MySQL;
  std::size_t rowLimit = std::max<std::size_t>(1, (mysql ? kMySQLParameters : kSQLServerParameters) / width);
  if (!mysql) rowLimit = std::min(rowLimit, kSQLServerRows);
  std::string head = "INSERT INTO " + name_ + " (";
  for (std::size_t i = 0; i < width; ++i)
    head += (i ? ", " : "") + quotedColumns_[static_cast<std::size_t>(columns[i])];
  head += ") VALUES ";
  std::string tuple = "(?";
  for (std::size_t i = 1; i < width; ++i) tuple += ", ?";
  tuple += ")";
  const std::size_t budget =
      mysql ? std::max<std::size_t>(session_.maxStatementBytes(), 2 * kPacketHeadroom) -
                  kPacketHeadroom
            : 0;

  for (std::size_t first = 0; first < rows;) {
    // As many rows as the limits allow, and always at least one.
    std::size_t count = 0, bytes = head.size();
    while (first + count < rows && count < rowLimit) {
      std::size_t rowBytes = tuple.size() + 2;
      if (mysql)
        for (std::size_t i = 0; i < width; ++i)
          rowBytes += MySQLValueBytes(*values[(first + count) * width + i]);
      if (mysql && count > 0 && bytes + rowBytes > budget) break;
      bytes += rowBytes;
      ++count;
    }
    if (!group_ || groupRows_ != count || groupColumns_ != columns) {
      group_.reset();
      std::string sql = head;
      for (std::size_t r = 0; r < count; ++r) sql += (r ? ", " : "") + tuple;
      auto stmt = std::make_unique<Statement>(session_.handle());
      stmt->check(SQLPrepare(stmt->get(), reinterpret_cast<SQLCHAR*>(sql.data()),
                             static_cast<SQLINTEGER>(sql.size())),
                  "SQLPrepare");
      group_ = std::move(stmt);
      groupRows_ = count;
      groupColumns_ = columns;
    }
    if (groupSlots_.size() < count * width) groupSlots_.resize(count * width);
    for (std::size_t p = 0; p < count * width; ++p)
      BindParameter(*group_, static_cast<SQLUSMALLINT>(p + 1), *values[first * width + p],
                    groupSlots_[p], wideText_);
    ExecuteInsert(*group_, "The rows could not be posted.");
    first += count;
  }
}

bool OdbcTable::rollsBack() {
  if (rollsBack_) return *rollsBack_;
  rollsBack_ = session_.dialect() != Dialect::MySQL;
  if (*rollsBack_) return true;
  try {
    OdbcQuery q(session_.handle(),
                "SELECT e.TRANSACTIONS FROM information_schema.TABLES t JOIN "
                "information_schema.ENGINES e ON e.ENGINE = t.ENGINE WHERE t.TABLE_SCHEMA = "
                "COALESCE(NULLIF(?, ''), DATABASE()) AND t.TABLE_NAME = ?",
                {baseDatabase_, baseTable_}, false, session_.timeouts().catalogueSeconds);
    rollsBack_ = !q.eof() && ado::VariantToText(q.value(0)) == "YES";
  } catch (const std::exception&) {
    // Not knowing is taken as no: row by row loses nothing either way.
  }
  return *rollsBack_;
}

void OdbcTable::close() {
  group_.reset();
  groupColumns_.clear();
  groupRows_ = 0;
  insert_.reset();
  prepared_.clear();
  appending_ = false;
}

}  // namespace ado::odbc
