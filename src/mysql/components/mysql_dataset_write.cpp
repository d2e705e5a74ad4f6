// The statement side of the MySQL datasets: statement lists, macros, posting, the
// table-creation script, transactions and the provider operations. The statement texts
// themselves are built by mysql_statements; this file answers their questions about the
// dataset (TWriteState is the dataset's macro context) and runs what they build.
#include <atomic>
#include <charconv>

#include "mysql/components/mysql_dataset.h"
#include "mysql/components/mysql_sql_thread.h"
#include "mysql/components/mysql_statements.h"
#include "mysql/sqltext/splitter.h"
#include "mysql/sqltext/text_conv.h"

namespace {

enum class TListKind { Update, Insert, Delete, Other };

bool InCommaList(const std::string& list, const std::string& name) {
  std::size_t i = 0;
  while (i <= list.size()) {
    std::size_t end = list.find(',', i);
    if (end == std::string::npos) end = list.size();
    if (list.compare(i, end - i, name) == 0) return true;
    i = end + 1;
  }
  return false;
}

}  // namespace

// The posting side's state, and the dataset as its statements' macros see it.
struct TMySQLDatasetBase::TWriteState final : TMySQLMacroContext {
  explicit TWriteState(TMySQLDatasetBase& dataset) : ds(dataset) {}

  static TWriteState& Of(TMySQLDatasetBase& ds) {
    if (!ds.write_) ds.write_.reset(new TWriteState(ds));
    return *ds.write_;
  }

  TMySQLDatasetBase& ds;
  bool inTransaction = false;
  // The background open is running on the thread: a close it makes must leave the
  // connection it runs on alone.
  std::atomic<bool> openingInBackground{false};
  // The last write statement went to the background thread (its insert id is unknown).
  bool lastHandedOff = false;
  // Runs write statements (doThreadedUpdate) over its own connection.
  std::unique_ptr<TMySQLSQLThread> thread;
  // A background open's connection, and the server the dataset returns to at close.
  std::unique_ptr<TMySQLServer> openConnection;
  TMySQLServer* ownServer = nullptr;

  TMacroDelimiters Delimiters() const { return ParseMacroDel(ds.macroDel_); }
  bool Has(TMySQLDatasetOption o) const { return ds.options_.Contains(o); }

  // ---- TMySQLMacroContext
  std::string QuoteName(const std::string& name) const override {
    return ds.server_ ? ds.server_->QuoteName(name) : name;
  }
  std::string EscapeString(const std::string& text) const override {
    return ds.server_ ? ds.server_->EscapeString(text) : text;
  }
  std::string DatabaseName() const override { return ds.databaseName_; }
  std::string TableName() const override { return ds.tableName_; }
  std::string FirstResultTable() const override {
    return ds.tableInfos_.empty() ? std::string() : ds.tableInfos_.front().QuotedName;
  }
  std::string FieldName() const override { return ds.fieldName_; }
  bool AllFields() const override { return ds.IsTableDataset() || ds.DefaultFields(); }
  std::vector<std::string> DataFieldNames() const override {
    std::vector<std::string> out;
    for (int i = 0; i < ds.FieldCount(); ++i)
      if (ds.Fields(i).FieldKind() == fkData) out.push_back(ds.Fields(i).FieldName);
    return out;
  }
  TField* FieldOfColumn(int column) const {
    for (int i = 0; i < ds.FieldCount(); ++i)
      if (ds.ColumnOf(ds.Fields(i)) == column) return &ds.Fields(i);
    return nullptr;
  }
  TFieldType ColumnType(int column) const {
    if (column < ds.FieldDefs().Count()) return ds.FieldDefs()[column].DataType;
    const TField* f = FieldOfColumn(column);
    return f ? f->DataType() : ftString;
  }
  std::vector<TMacroColumn> Columns() const override {
    std::vector<TMacroColumn> out;
    for (std::size_t i = 0; i < ds.fieldInfos_.size(); ++i) {
      const TFieldInfo& info = ds.fieldInfos_[i];
      const TField* field = FieldOfColumn(int(i));
      TMacroColumn c;
      c.FieldName = field ? field->FieldName : info.FieldName;
      c.Origin = info.QuotedName;
      c.Qualified = info.FullName;
      c.Table = info.Table;
      c.DataType = ColumnType(int(i));
      c.Modified = info.Modified;
      c.Bound = info.Bound;
      c.ReadOnly = !field || field->ReadOnly;
      c.Primary = InCommaList(ds.primaryKeys_, info.FullName);
      c.Unique = InCommaList(ds.uniqueKeys_, info.FullName);
      c.Multiple = InCommaList(ds.multipleKeys_, info.FullName);
      c.Exact = info.Type == 0 || info.Type == 246;  // DECIMAL, NEWDECIMAL
      out.push_back(std::move(c));
    }
    return out;
  }
  const TRecInfo& Record(bool old) const { return old && ds.editCopy_ ? *ds.editCopy_ : ds.ActiveRec(); }
  std::string ColumnLiteral(int column, bool old) const override {
    const TFieldInfo& info = ds.fieldInfos_.at(std::size_t(column));
    const TRecInfo& rec = Record(old);
    std::optional<std::string> value;
    if (column < rec.ColumnCount())
      if (auto v = rec.Value(column)) value.emplace(*v);
    return ValueLiteral(ColumnType(column), info.IsBit() ? 16 : info.Type, value,
                        [this](const std::string& s) { return EscapeString(s); });
  }
  std::optional<std::string> FieldLiteral(const std::string& name, bool old) const override {
    TField* field = ds.FindField(name);
    if (!field) return std::nullopt;
    const int column = ds.ColumnOf(*field);
    if (column >= 0 && std::size_t(column) < ds.fieldInfos_.size()) return ColumnLiteral(column, old);
    return OfField(*field);
  }
  // A field with no column of this dataset (calculated, or of a master).
  std::string OfField(const TField& f) const {
    return ValueLiteral(f.DataType(), 0, f.IsNull() ? std::nullopt : std::optional<std::string>(f.AsString()),
                        [this](const std::string& s) { return EscapeString(s); });
  }
  std::optional<std::string> MasterFieldLiteral(const std::string& name) const override {
    TDataSet* master = ds.MasterDataSet();
    if (!master) return std::nullopt;
    TField* f = master->FindField(name);
    if (!f) return std::nullopt;
    if (!master->Active() || master->IsEmpty() || f->IsNull()) return std::string("NULL");
    if (auto* mine = dynamic_cast<TMySQLDatasetBase*>(master))
      if (auto literal = Of(*mine).FieldLiteral(name, false)) return literal;
    return OfField(*f);
  }
  std::string FilterText() const override {
    std::vector<TMasterValue> links;
    if (ds.MasterDataSet())
      for (const auto& [detail, master] : ParseMasterFields(ds.MasterFields())) {
        auto literal = MasterFieldLiteral(master);
        if (literal && *literal == "NULL") literal.reset();
        links.push_back({detail, literal});
      }
    return ::FilterText(ds.Filtered(), ds.Filter(), links, [this](const std::string& n) { return QuoteName(n); });
  }
  TParams& Macros() override { return ds.macros_; }
  bool CustomMacro(const std::string& name, std::string& result) override {
    if (!ds.OnMacro) return false;
    bool useDefault = true;
    std::string text;
    ds.OnMacro(ds, name, useDefault, text);
    if (useDefault) return false;
    result = std::move(text);
    return true;
  }

  // ---- running write statements

  // The statement sent now, on the dataset's handle: OnExecSQL, then the query. False
  // when OnExecSQL skipped it.
  bool Send(std::string statement) {
    ds.EnsureHandle();
    if (ds.OnExecSQL) {
      bool go = true;
      ds.OnExecSQL(ds, statement, go);
      if (!go) return false;
    }
    ds.DrainResult();
    mysql::TMySQLResult result = ds.RunStatement(statement);
    if (result) ds.Driver().FreeResult(result);
    return true;
  }

  // One write statement through every step: expansion, postponing, the background
  // thread, or the dataset's handle. True when it ran on the dataset's handle.
  bool RunWrite(std::string statement, bool expand, const TStatementTarget& target) {
    if (expand) {
      const TMacroDelimiters d = Delimiters();
      RescanMacros(ds.macros_, {statement}, d, false);
      statement = ::ExpandStatement(*this, statement, d, target, false);
    }
    if (statement.size() <= 2) return false;
    if (ds.CachedUpdates()) {
      ds.sqlCached_.Add(statement.ends_with(";") ? statement : statement + ";");
      return false;
    }
    lastHandedOff = false;
    if (Has(doThreadedUpdate)) {
      ds.EnsureHandle();
      if (ds.OnExecSQL) {
        bool go = true;
        ds.OnExecSQL(ds, statement, go);
        if (!go) return false;
      }
      ds.lastStatement_ = statement;
      HandOff(statement);
      return false;
    }
    return Send(std::move(statement));
  }

  // The rows the last statement on the handle found: an update's "Rows matched" (its
  // affected count leaves out rows already holding the new values), else the affected count.
  std::int64_t RowsFound(TListKind kind) const {
    std::string_view text = ds.affectedRows_;
    static constexpr std::string_view kMatched = "Rows matched: ";
    if (const std::size_t at = ds.lastInfo_.find(kMatched); kind == TListKind::Update && at != std::string::npos)
      text = std::string_view(ds.lastInfo_).substr(at + kMatched.size());
    std::int64_t n = 0;
    std::from_chars(text.data(), text.data() + text.size(), n);
    return n;
  }

  // The default row statements stand for exactly one row. Without a unique key their
  // condition may match none (the row changed on the server) or several (duplicates, or
  // rows apart only in a skipped float or blob column); either must fail the post rather
  // than leave the cache and the server apart unnoticed.
  void CheckOneRow(TListKind kind) const {
    const std::int64_t n = RowsFound(kind);
    if (n == 1) return;
    const char* what = kind == TListKind::Delete ? "delete" : "update";
    if (n == 0)
      throw EDatabaseError(std::string("The row to ") + what + " was not found on the server: " + ds.lastStatement_);
    throw EDatabaseError(std::string("The row to ") + what + " matched " + std::to_string(n) +
                         " rows on the server: " + ds.lastStatement_);
  }
  bool IsDefaultList(const mysql::TSBStringList& list, TListKind kind) const {
    const TMacroDelimiters d = Delimiters();
    if (kind == TListKind::Update) return list.Text() == DefaultUpdateSQL(d).Text();
    if (kind == TListKind::Delete) return list.Text() == DefaultDeleteSQL(d).Text();
    return false;
  }

  void HandOff(const std::string& statement) {
    if (!thread) thread = std::make_unique<TMySQLSQLThread>(*ds.server_, ds.databaseName_);
    lastHandedOff = true;
    TMySQLDatasetBase* dataset = &ds;
    thread->Post(
        [statement](TMySQLServer& connection) {
          if (!connection.ExecSQL(statement))
            connection.DriverProperties()->RaiseError(nullptr, -1, "No server connection");
        },
                 [dataset, statement](std::exception_ptr failure) {
                   if (dataset->OnThreadPosted) dataset->OnThreadPosted(*dataset, statement, failure);
                 });
  }

  bool TableModified(const TTableInfo& table) const {
    for (const TFieldInfo& info : ds.fieldInfos_)
      if (info.Bound && info.Modified && info.Table == table.Name) return true;
    return false;
  }

  // A statement list in order; per table with doRecursiveUpdates over a join. False when
  // it holds no statement.
  bool RunList(const mysql::TSBStringList& list, TListKind kind) {
    const std::vector<std::string> statements = mysql::SplitStatements(list.Lines(), Has(doSingleSQL));
    if (statements.empty()) return false;
    const bool expand = Has(doMacrosEnabled);
    const bool oneRow = expand && IsDefaultList(list, kind);
    auto run = [&](const std::string& s, const TStatementTarget& target) {
      if (RunWrite(s, expand, target) && oneRow) CheckOneRow(kind);
    };
    if (Has(doRecursiveUpdates) && ds.tableInfos_.size() > 1 && kind != TListKind::Other) {
      for (const TTableInfo& table : ds.tableInfos_) {
        if (kind != TListKind::Delete && !TableModified(table)) continue;
        const TStatementTarget target{table.Database, table.QuotedName, table.Name};
        for (const std::string& s : statements) run(s, target);
      }
      return true;
    }
    for (const std::string& s : statements) run(s, {});
    return true;
  }

  // ---- transactions

  void Transaction(TTransactionStep step) {
    if (!TransactionsApply(Has(doTransactions), std::int32_t(ds.ServerVer()))) return;
    if (step == TTransactionStep::Begin) {
      if (inTransaction) Transaction(TTransactionStep::Commit);
      RunWrite(TransactionStatement(step), Has(doMacrosEnabled), {});
      inTransaction = true;
      return;
    }
    inTransaction = false;
    RunWrite(TransactionStatement(step), Has(doMacrosEnabled), {});
  }
  // Rolls back while an exception is on its way; a failing rollback must not hide it.
  void RollbackQuietly() noexcept {
    try {
      if (inTransaction) Transaction(TTransactionStep::Rollback);
    } catch (...) {
      inTransaction = false;
    }
  }

  void ClearModified() {
    for (TFieldInfo& info : ds.fieldInfos_) info.Modified = false;
  }
  bool IsKeyColumn(const TFieldInfo& info) const {
    if (InCommaList(ds.primaryKeys_, info.FullName)) return true;
    for (const std::string& name : SplitNames(ds.fieldName_))
      if (mysql::SameText(name, info.FieldName) || mysql::SameText(name, info.Name)) return true;
    return false;
  }
};

void TMySQLDatasetBase::DeleteWriteState(TWriteState* state) { delete state; }

// The thread's destructor lets its queued jobs finish; their completions are dropped, as
// nobody is left to hear them.
void TMySQLDatasetBase::StopBackgroundThread() noexcept {
  if (write_) write_->thread.reset();
}

// ---- statement lists

void TMySQLDatasetBase::InitStatementLists() {
  const TMacroDelimiters d = ParseMacroDel(macroDel_);
  sql_ = DefaultSelectSQL(d);
  sqlUpdate_ = DefaultUpdateSQL(d);
  sqlInsert_ = DefaultInsertSQL(d);
  sqlDelete_ = DefaultDeleteSQL(d);
  ScanMacros();
}

namespace {
// A list setter's step: false when the texts are equal without regard to case.
bool Replace(mysql::TSBStringList& list, const mysql::TSBStringList& value) {
  if (mysql::SameText(list.Text(), value.Text())) return false;
  list = value;
  return true;
}
}  // namespace

void TMySQLDatasetBase::SetSQL(const mysql::TSBStringList& sql) {
  if (mysql::SameText(sql.Text(), sql_.Text())) return;
  Close();
  sql_ = sql;
  ScanMacros();
}
void TMySQLDatasetBase::SetSQLUpdate(const mysql::TSBStringList& sql) {
  if (Replace(sqlUpdate_, sql)) ScanMacros();
}
void TMySQLDatasetBase::SetSQLInsert(const mysql::TSBStringList& sql) {
  if (Replace(sqlInsert_, sql)) ScanMacros();
}
void TMySQLDatasetBase::SetSQLDelete(const mysql::TSBStringList& sql) {
  if (Replace(sqlDelete_, sql)) ScanMacros();
}
void TMySQLDatasetBase::SetSQLBatch(const mysql::TSBStringList& sql) {
  if (Replace(sqlBatch_, sql)) ScanMacros();
}
void TMySQLDatasetBase::SetSQLCached(const mysql::TSBStringList& sql) { sqlCached_ = sql; }
void TMySQLDatasetBase::SetMacroDel(const std::string& delimiters) {
  if (delimiters == macroDel_) return;
  macroDel_ = delimiters;
  ScanMacros();
}
void TMySQLDatasetBase::SetFilterText(const std::string& filter) {
  TDataSet::SetFilterText(filter);
  ScanMacros();
}

void TMySQLDatasetBase::ScanMacros() {
  if (!options_.Contains(doMacrosEnabled)) return;
  RescanMacros(macros_,
               {Filter(), sql_.Text(), sqlUpdate_.Text(), sqlInsert_.Text(), sqlDelete_.Text(), sqlBatch_.Text()},
               ParseMacroDel(macroDel_), options_.Contains(doMacroCheck));
}

std::string TMySQLDatasetBase::ExpandStatement(const std::string& statement) {
  TWriteState& w = TWriteState::Of(*this);
  return ::ExpandStatement(w, statement, w.Delimiters());
}

void TMySQLDatasetBase::SendCachedUpdates() {
  if (sqlCached_.Empty()) return;
  TWriteState& w = TWriteState::Of(*this);
  const std::vector<std::string> statements = mysql::SplitStatements(sqlCached_.Lines(), false);
  sqlCached_.Clear();
  for (std::size_t i = 0; i < statements.size(); ++i) {
    try {
      w.Send(statements[i]);
    } catch (...) {
      // What was not sent stays postponed, the failed statement first, so nothing is lost.
      for (std::size_t j = i; j < statements.size(); ++j) sqlCached_.Add(statements[j]);
      throw;
    }
  }
}

bool TMySQLDatasetBase::ExecSQLBatch() { return TWriteState::Of(*this).RunList(sqlBatch_, TListKind::Other); }

// ---- the table-creation script

mysql::TSBStringList TMySQLDatasetBase::TableCreationScript() {
  TCreateTableRequest request;
  request.DatabaseName = !databaseName_.empty() ? databaseName_ : server_ ? server_->DatabaseName() : std::string();
  request.TableName = tableName_;
  request.DropIfExists = options_.Contains(doDropIfExists);
  request.Temporary = options_.Contains(doCreateTemp);
  request.FieldDefs = &FieldDefs();
  request.IndexDefs = &IndexDefs();
  TWriteState& w = TWriteState::Of(*this);
  return ::TableCreationScript(request, [&w](const std::string& n) { return w.QuoteName(n); });
}

std::string TMySQLDatasetBase::CreateTableScript(bool run) {
  const mysql::TSBStringList script = TableCreationScript();
  if (run && !script.Empty()) {
    TWriteState& w = TWriteState::Of(*this);
    for (const std::string& s : mysql::SplitStatements(script.Lines(), false)) w.Send(s);
  }
  std::string text;
  for (std::size_t i = 0; i < script.Count(); ++i) text += (i ? "\r\n" : "") + script[i];
  return text;
}

// ---- editing and posting

void TMySQLDatasetBase::InternalEdit() { editCopy_ = std::make_unique<TRecInfo>(ActiveRec()); }

void TMySQLDatasetBase::InternalInsert() {
  TWriteState& w = TWriteState::Of(*this);
  for (TFieldInfo& info : fieldInfos_)
    if (w.IsKeyColumn(info)) info.Modified = info.Bound;
}

void TMySQLDatasetBase::InternalCancel() {
  // The field writes of an edit went into the cached row too: it gets its old values back.
  if (State() == dsEdit && editCopy_ && CachedRow(position_)) StoreCachedRow(position_, *editCopy_);
  editCopy_.reset();
  TWriteState::Of(*this).ClearModified();
}

void TMySQLDatasetBase::InternalPost() {
  if (State() == dsInsert) {
    InternalAddRecord(*ActiveBuffer(), GetBookmarkFlag(*ActiveBuffer()) == bfEOF);
    return;
  }
  TWriteState& w = TWriteState::Of(*this);
  ProcessThreadEvents();
  // A post with nothing marked writes every column, rather than an update without a
  // single assignment (which the server refuses). Editing one column writes only that one.
  bool anyModified = false;
  for (const TFieldInfo& info : fieldInfos_) anyModified = anyModified || info.Modified;
  if (!anyModified)
    for (TFieldInfo& info : fieldInfos_) info.Modified = info.Bound;
  try {
    w.Transaction(TTransactionStep::Begin);
    w.RunList(sqlUpdate_, TListKind::Update);
    w.Transaction(TTransactionStep::Commit);
  } catch (...) {
    w.RollbackQuietly();
    throw;
  }
  if (resultType_ != rtLocal) ReRunStatements();
  editCopy_.reset();
  w.ClearModified();
}

void TMySQLDatasetBase::InternalAddRecord(TRecordBuffer& buffer, bool append) {
  TWriteState& w = TWriteState::Of(*this);
  ProcessThreadEvents();
  const TRecInfo& source = static_cast<const TRecInfo&>(buffer);
  try {
    w.Transaction(TTransactionStep::Begin);
    if (!w.RunList(sqlInsert_, TListKind::Insert)) {
      w.RollbackQuietly();
    } else {
      if (resultType_ != rtLocal) {
        ReRunStatements();
      } else {
        const int columns = static_cast<int>(fieldInfos_.size());
        TRecInfo rec(columns);
        // The id the server gave; unknown when the insert went to the background thread
        // or was postponed, and then the column stays empty rather than show another row's id.
        const bool idKnown = !w.lastHandedOff && !CachedUpdates() && lastInsertId_ != "0";
        for (int i = 0; i < columns; ++i) {
          TFieldInfo& info = fieldInfos_[std::size_t(i)];
          if (!info.Modified && !(info.Flags & mysqlflag::kAutoIncrement)) continue;
          const auto value = i < source.ColumnCount() ? source.Value(i) : std::nullopt;
          if (info.Flags & mysqlflag::kAutoIncrement) {
            // The server's value also when the row left the column empty for it to fill.
            if (idKnown && (info.Modified || !value)) {
              rec.SetValue(i, lastInsertId_);
            } else if (value) {
              rec.SetValue(i, *value);
            }
          } else if (value) {
            rec.SetValue(i, *value);
          }
          info.Modified = false;
        }
        rec.Calc = source.Calc;
        rec.RowNumber = source.RowNumber;
        rec.Flag = source.Flag;
        const std::int64_t count = CachedRowCount();
        const std::int64_t row = append || position_ < 0 || position_ > count ? count : position_;
        InsertCachedRow(row, rec);
        position_ = row;
      }
      w.Transaction(TTransactionStep::Commit);
      if (OnAfterAdd) OnAfterAdd(*this);
    }
  } catch (...) {
    w.RollbackQuietly();
    throw;
  }
  editCopy_.reset();
  w.ClearModified();
}

void TMySQLDatasetBase::InternalDelete() {
  TWriteState& w = TWriteState::Of(*this);
  ProcessThreadEvents();
  try {
    w.Transaction(TTransactionStep::Begin);
    w.RunList(sqlDelete_, TListKind::Delete);
    if (resultType_ != rtLocal) {
      ReRunStatements();
    } else if (position_ >= 0 && position_ < CachedRowCount()) {
      RemoveCachedRow(position_);
      const std::int64_t count = CachedRowCount();
      if (position_ >= count) position_ = count > 0 ? count - 1 : 0;
    }
    w.Transaction(TTransactionStep::Commit);
  } catch (...) {
    w.RollbackQuietly();
    throw;
  }
}

// ---- the background thread

void TMySQLDatasetBase::OpenInBackground() {
  TWriteState& w = TWriteState::Of(*this);
  auto report = [this](std::exception_ptr failure) {
    if (OnThreadOpened) OnThreadOpened(*this, failure);
  };
  if (!options_.Contains(doThreadedUpdate) || !server_) {
    std::exception_ptr failure;
    try {
      Open();
    } catch (...) {
      failure = std::current_exception();
    }
    report(failure);
    return;
  }
  // The open runs over a connection of its own: the server's driver and main handle stay
  // with this thread.
  Close();
  PostingClosed();
  if (handle_) {
    if (ownHandle_) server_->CloseHandle(handle_);
    handle_ = nullptr;
  }
  ownHandle_ = false;
  w.ownServer = server_;
  w.openConnection = std::make_unique<TMySQLServer>();
  w.openConnection->Assign(*server_);
  w.openConnection->SetOptions(w.openConnection->Options() - soAutoCreate - soDropIfExists - soCloseOnChildren);
  if (!w.thread) w.thread = std::make_unique<TMySQLSQLThread>(*server_, databaseName_);
  server_ = w.openConnection.get();
  w.thread->Post(
      [this, &w](TMySQLServer&) {
        w.openingInBackground = true;
        try {
          Open();
        } catch (...) {
          w.openingInBackground = false;
          throw;
        }
        w.openingInBackground = false;
      },
      [this, report](std::exception_ptr failure) {
        // A failed open closed the dataset on the thread; it returns to its server here.
        if (failure) PostingClosed();
        report(failure);
      });
}

bool TMySQLDatasetBase::ProcessThreadEvents(bool wait) {
  TWriteState& w = TWriteState::Of(*this);
  return w.thread ? w.thread->Deliver(wait) : true;
}

void TMySQLDatasetBase::PostingClosed() {
  TWriteState& w = TWriteState::Of(*this);
  if (w.openingInBackground) return;
  ProcessThreadEvents();
  if (!w.ownServer) return;
  server_ = w.ownServer;
  w.ownServer = nullptr;
  w.openConnection.reset();
}

// ---- provider operations

std::int64_t TMySQLDatasetBase::PSExecuteStatement(const std::string& sql, TParams* params) {
  TWriteState& w = TWriteState::Of(*this);
  const TMacroDelimiters d = w.Delimiters();
  const std::string text = NumberParamMarks(sql, d);
  if (params)
    for (int i = 0; i < params->Count(); ++i) {
      const std::string name = std::to_string(i + 1);
      TParam* macro = macros_.FindParam(name);
      if (!macro) macro = &macros_.Add(name);
      *macro = (*params)[i];
      macro->Name = name;
      if (macro->ParamType == ptUnknown) macro->ParamType = ptInput;
    }
  w.RunWrite(text, true, {});
  std::int64_t affected = 0;
  std::from_chars(affectedRows_.data(), affectedRows_.data() + affectedRows_.size(), affected);
  return affected;
}

std::string TMySQLDatasetBase::PSGetKeyFields() {
  std::string keys = TDataSet::PSGetKeyFields();
  if (!keys.empty()) return keys;
  for (int i = 0; i < IndexDefs().Count(); ++i) {
    const TIndexDef& index = IndexDefs()[i];
    if (!index.Options.Contains(ixUnique)) continue;
    bool all = true;
    for (const std::string& f : SplitNames(index.Fields)) all = all && FindField(f);
    if (all) return index.Fields;
  }
  return {};
}

const TIndexDef* TMySQLDatasetBase::PSGetDefaultOrder() {
  for (int i = 0; i < IndexDefs().Count(); ++i)
    if (IndexDefs()[i].Options.Contains(ixPrimary)) return &IndexDefs()[i];
  return TDataSet::PSGetDefaultOrder();
}

TIndexDefs TMySQLDatasetBase::PSGetIndexDefs(TIndexOptions) { return IndexDefs(); }
TParams* TMySQLDatasetBase::PSGetParams() { return &macros_; }

void TMySQLDatasetBase::PSSetParams(const TParams& params) {
  if (params.Count() > 0)
    for (int i = 0; i < params.Count(); ++i) {
      TParam* macro = macros_.FindParam(params[i].Name);
      if (!macro) macro = &macros_.Add(params[i].Name);
      *macro = params[i];
    }
  Close();
}

std::string TMySQLDatasetBase::PSGetQuoteChar() { return "`"; }

std::string TMySQLDatasetBase::PSGetTableName() {
  if (!tableName_.empty()) return tableName_;
  if (!tableInfos_.empty()) return tableInfos_.front().Name;
  return "PleaseSpecifyATableNameProperty";
}

std::exception_ptr TMySQLDatasetBase::PSGetUpdateException(std::exception_ptr e, std::exception_ptr) {
  if (e) return e;
  return std::make_exception_ptr(EDatabaseError("SQL Error: Error mapping failed"));
}

bool TMySQLDatasetBase::PSInTransaction() { return TWriteState::Of(*this).inTransaction; }
void TMySQLDatasetBase::PSStartTransaction() { TWriteState::Of(*this).Transaction(TTransactionStep::Begin); }
void TMySQLDatasetBase::PSEndTransaction(bool commit) {
  TWriteState::Of(*this).Transaction(commit ? TTransactionStep::Commit : TTransactionStep::Rollback);
}
bool TMySQLDatasetBase::PSIsSQLBased() { return true; }
bool TMySQLDatasetBase::PSIsSQLSupported() { return true; }
void TMySQLDatasetBase::PSExecute() { Open(); }
bool TMySQLDatasetBase::PSUpdateRecord(TUpdateKind, TDataSet&) { return false; }
