#include "platform/ado/odbc/odbc_table.h"

#include <algorithm>

#include "platform/ado/odbc/odbc_params.h"
#include "platform/ado/odbc/odbc_session.h"
#include "platform/text/text.h"

namespace ado::odbc {

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
  SQLRETURN rc = SQLExecute(insert_->get());
  if (rc != SQL_NO_DATA && !Succeeded(rc)) {
    DatabaseError error =
        Diagnostics(SQL_HANDLE_STMT, insert_->get(), "The row could not be posted.");
    SQLFreeStmt(insert_->get(), SQL_CLOSE);
    throw error;
  }
  SQLFreeStmt(insert_->get(), SQL_CLOSE);
}

void OdbcTable::close() {
  insert_.reset();
  prepared_.clear();
  appending_ = false;
}

}  // namespace ado::odbc
