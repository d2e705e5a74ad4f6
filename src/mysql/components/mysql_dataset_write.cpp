// The statement side of the MySQL datasets: statement lists, macros, posting, the
// table-creation script, transactions and the provider operations.
#include "mysql/components/mysql_dataset.h"

namespace {

[[noreturn]] void NotBuiltYet(const char* what) {
  throw EDatabaseError(std::string(what) + " is not built yet");
}

}  // namespace

struct TMySQLDatasetBase::TWriteState {};

void TMySQLDatasetBase::DeleteWriteState(TWriteState* state) { delete state; }

void TMySQLDatasetBase::InitStatementLists() {
  std::string open = "[", close = "]";
  if (const auto comma = macroDel_.find(','); comma != std::string::npos) {
    open = macroDel_.substr(0, comma);
    close = macroDel_.substr(comma + 1);
  }
  const auto m = [&](const char* name) { return open + name + close; };
  sql_ = mysql::TSBStringList("select " + m("$FIELDS") + " from " + m("$TABLENAME") + " " + m("JOIN") +
                              " " + m("WHERE") + " " + m("GROUPBY") + " " + m("ORDER") + " " + m("LIMIT"));
  sqlUpdate_ = mysql::TSBStringList("update " + m("$TABLENAME") + " set " + m("$MODIFIED$FIELDS&VALUES") +
                                    " where " + m("$PRIMARYFIELDS&VALUES"));
  sqlInsert_ = mysql::TSBStringList("insert into " + m("$TABLENAME") + " set " + m("$MODIFIED$FIELDS&VALUES"));
  sqlDelete_ = mysql::TSBStringList("delete from " + m("$TABLENAME") + " where " + m("$PRIMARYFIELDS&VALUES"));
}

// Placeholders that keep the reading side usable: they store and close, nothing more.
void TMySQLDatasetBase::SetSQL(const mysql::TSBStringList& sql) {
  if (sql == sql_) return;
  Close();
  sql_ = sql;
}
void TMySQLDatasetBase::SetSQLUpdate(const mysql::TSBStringList& sql) { sqlUpdate_ = sql; }
void TMySQLDatasetBase::SetSQLInsert(const mysql::TSBStringList& sql) { sqlInsert_ = sql; }
void TMySQLDatasetBase::SetSQLDelete(const mysql::TSBStringList& sql) { sqlDelete_ = sql; }
void TMySQLDatasetBase::SetSQLBatch(const mysql::TSBStringList& sql) { sqlBatch_ = sql; }
void TMySQLDatasetBase::SetSQLCached(const mysql::TSBStringList& sql) { sqlCached_ = sql; }
void TMySQLDatasetBase::SetMacroDel(const std::string& delimiters) { macroDel_ = delimiters; }
void TMySQLDatasetBase::SetFilterText(const std::string& filter) { TDataSet::SetFilterText(filter); }
void TMySQLDatasetBase::ScanMacros() {}
void TMySQLDatasetBase::SendCachedUpdates() {
  if (!sqlCached_.Empty()) NotBuiltYet("Sending postponed statements");
}
void TMySQLDatasetBase::InternalCancel() { editCopy_.reset(); }

std::string TMySQLDatasetBase::ExpandStatement(const std::string&) { NotBuiltYet("Macro expansion"); }
void TMySQLDatasetBase::OpenInBackground() { NotBuiltYet("OpenInBackground"); }
bool TMySQLDatasetBase::ExecSQLBatch() { NotBuiltYet("ExecSQLBatch"); }
mysql::TSBStringList TMySQLDatasetBase::TableCreationScript() { NotBuiltYet("TableCreationScript"); }
std::string TMySQLDatasetBase::CreateTableScript(bool) { NotBuiltYet("CreateTableScript"); }

void TMySQLDatasetBase::InternalInsert() { NotBuiltYet("Insert"); }
void TMySQLDatasetBase::InternalEdit() { NotBuiltYet("Edit"); }
void TMySQLDatasetBase::InternalPost() { NotBuiltYet("Post"); }
void TMySQLDatasetBase::InternalAddRecord(TRecordBuffer&, bool) { NotBuiltYet("Posting an insert"); }
void TMySQLDatasetBase::InternalDelete() { NotBuiltYet("Delete"); }

std::int64_t TMySQLDatasetBase::PSExecuteStatement(const std::string&, TParams*) { NotBuiltYet("PSExecuteStatement"); }
std::string TMySQLDatasetBase::PSGetKeyFields() { NotBuiltYet("PSGetKeyFields"); }
const TIndexDef* TMySQLDatasetBase::PSGetDefaultOrder() { NotBuiltYet("PSGetDefaultOrder"); }
TIndexDefs TMySQLDatasetBase::PSGetIndexDefs(TIndexOptions) { NotBuiltYet("PSGetIndexDefs"); }
TParams* TMySQLDatasetBase::PSGetParams() { NotBuiltYet("PSGetParams"); }
void TMySQLDatasetBase::PSSetParams(const TParams&) { NotBuiltYet("PSSetParams"); }
std::string TMySQLDatasetBase::PSGetQuoteChar() { NotBuiltYet("PSGetQuoteChar"); }
std::string TMySQLDatasetBase::PSGetTableName() { NotBuiltYet("PSGetTableName"); }
std::exception_ptr TMySQLDatasetBase::PSGetUpdateException(std::exception_ptr, std::exception_ptr) {
  NotBuiltYet("PSGetUpdateException");
}
bool TMySQLDatasetBase::PSInTransaction() { NotBuiltYet("PSInTransaction"); }
void TMySQLDatasetBase::PSStartTransaction() { NotBuiltYet("PSStartTransaction"); }
void TMySQLDatasetBase::PSEndTransaction(bool) { NotBuiltYet("PSEndTransaction"); }
bool TMySQLDatasetBase::PSIsSQLBased() { NotBuiltYet("PSIsSQLBased"); }
bool TMySQLDatasetBase::PSIsSQLSupported() { NotBuiltYet("PSIsSQLSupported"); }
void TMySQLDatasetBase::PSExecute() { NotBuiltYet("PSExecute"); }
bool TMySQLDatasetBase::PSUpdateRecord(TUpdateKind, TDataSet&) { NotBuiltYet("PSUpdateRecord"); }
