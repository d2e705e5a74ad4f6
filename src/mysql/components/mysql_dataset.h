// TMySQLDatasetBase, TMySQLDataset and TMySQLTable: datasets over the result of SQL
// statements run on a TMySQLServer. A dataset runs its statements, describes the
// result's columns as field definitions, keeps the rows as the texts the server sent
// (converted only when a field is read) and serves them to the dataset framework;
// edited, inserted and deleted rows are written back through statement templates with
// macros ("update [$TABLENAME] set ...").
//
// Errors: EMySQLError for the component's own refusals ("No dataset server selected for
// open", "Must have SQL", ...) and for everything the server reports; "No Records" is the
// framework's EDatabaseError. A failed open leaves the dataset closed.
// Threads: a dataset is used from one thread; doThreadedUpdate hands write statements and
// background opens to a worker that never shares the dataset or the main handle.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "mysql/components/mysql_server.h"
#include "mysql/sqltext/string_list.h"
#include "platform/dataset/db.h"

// Raised when OnExecSQL stops an open: the dataset stays closed, and a caller that
// shows errors need not show this one.
class EAbort : public EDatabaseError {
 public:
  EAbort() : EDatabaseError("Operation aborted") {}
};

enum TMySQLDatasetOption : std::uint8_t {
  doShareConnection, doTransactions, doRecursiveUpdates, doCachedUpdates, doThreadedUpdate,
  doAutoCreate, doCreateTemp, doDropIfExists, doFieldsAsString, doRetrieveFieldValues,
  doRetrieveIndexDefs, doMacrosEnabled, doMacroCheck, do2KStrToMemo, doSmallMemoToStr,
  doEnumToBool, doTinyIntToBool, doSetToWord, doEditCalcFields, doUseCursor, doSingleSQL
};
using TMySQLDatasetOptions = TSet<TMySQLDatasetOption>;

// How rows are fetched: all at open, as navigation reaches them, or keeping only the
// newest one.
enum TMySQLResultOptions : std::uint8_t { rtLocal, rtIncremental, rtUnidirectional };

enum TMySQLStringTypes : std::uint8_t { stNone, stNormal, stEnum, stSet };

// MySQL column flags and type codes the datasets read.
namespace mysqlflag {
inline constexpr std::uint32_t kNotNull = 0x1, kPrimaryKey = 0x2, kUniqueKey = 0x4,
                               kMultipleKey = 0x8, kBlob = 0x10, kUnsigned = 0x20,
                               kBinary = 0x80, kEnum = 0x100, kAutoIncrement = 0x200,
                               kSet = 0x800;
}

// The field class of string fields: tells ENUM and SET columns apart and lists their
// members (filled once the server has reported them, see doRetrieveFieldValues).
class TMySQLStringField : public TStringField {
 public:
  explicit TMySQLStringField(int size = 20, TFieldType type = ftString) : TStringField(size, type) {}
  // stSet for a SET column, stEnum for an ENUM column, stNormal otherwise (stNone
  // while not bound to a column).
  TMySQLStringTypes StringType() const;
  // The column's members, in their order (empty until reported).
  mysql::TSBStringList StringValues() const;
};

// One result column (or custom column), in column order.
struct TFieldInfo {
  std::string Name;         // column name (alias)
  std::string OrgName;      // name before any alias, else Name
  std::string Table;        // table name (alias); empty for computed columns
  std::string OrgTable;     // else Table
  std::string Database;
  std::uint32_t Flags = 0;
  std::string QuotedName;   // QuoteName(db).QuoteName(org table).QuoteName(org name): the origin
  std::string FullName;     // db.table.column, empty parts left out
  std::string Default;      // default value text
  std::string EnumValues;   // "\"a\",\"b\"" for ENUM and SET columns
  std::uint8_t Type = 0;    // MySQL type code after the adjustments
  std::uint8_t ServerType = 0;  // the type code the server reported
  std::uint32_t Length = 0;
  std::uint32_t MaxLength = 0;
  std::uint32_t Decimals = 0;
  bool Modified = false;
  bool Bound = true;        // false for CustomFieldDefs entries
  // The registered field name (see the naming rules), set when the result is described.
  std::string FieldName;
  bool IsBit() const { return ServerType == 16; }
};

struct TTableInfo {
  std::string Name;
  std::string OrgName;
  std::string Database;
  std::string QuotedName;  // QuoteName(db) + "." + QuoteName(org table), db part left out when empty
  std::vector<std::string> PrimaryKeys, UniqueKeys, MultipleKeys;  // column names
};

// One row: per column a byte string or nothing (SQL NULL), kept in one packed block so
// that a cached row costs little more than its texts; blob columns hold their bytes the
// same way. As a framework buffer it also carries the calculated area, the row number
// (the bookmark) and the bookmark flag.
class TRecInfo : public TRecordBuffer {
 public:
  TRecInfo() = default;
  explicit TRecInfo(int columns) { Reset(columns); }
  TRecInfo(const TRecInfo& other) { *this = other; }
  TRecInfo& operator=(const TRecInfo& other);

  // All columns absent.
  void Reset(int columns);
  int ColumnCount() const;
  // The value of column i (from 0), or none for SQL NULL.
  std::optional<std::string_view> Value(int i) const;
  bool IsPresent(int i) const { return Value(i).has_value(); }
  void SetValue(int i, std::optional<std::string_view> value);
  // Replaces all columns at once (for fetched rows: no rebuild per column).
  void Assign(int columns, const char* const* values, const unsigned long* lengths);
  // The packed block itself (for copying rows in and out of the row cache).
  const std::string& Packed() const { return packed_; }
  void SetPacked(std::string_view packed) { packed_.assign(packed.data(), packed.size()); }

  std::vector<TFieldValue> Calc;  // calculated area
  std::int64_t RowNumber = -1;    // the bookmark
  TBookmarkFlag Flag = bfCurrent;

 private:
  std::string packed_;
};

class TMySQLDatasetBase;
// dataset, statement text (in/out), continue flag (in/out; cleared aborts the open)
using TMySQLExecSQLEvent = std::function<void(TMySQLDatasetBase&, std::string&, bool&)>;
// dataset, column name, value text (in/out), row number
using TMySQLValueEvent = std::function<void(TMySQLDatasetBase&, const std::string&, std::string&, std::int64_t)>;
// dataset, macro name, flag (in/out; cleared: the result is used), result text (in/out)
using TMySQLMacroEvent = std::function<void(TMySQLDatasetBase&, const std::string&, bool&, std::string&)>;
// dataset, the failure of the background open (null on success)
using TMySQLThreadOpenedEvent = std::function<void(TMySQLDatasetBase&, std::exception_ptr)>;
// dataset, statement, its failure (null on success)
using TMySQLThreadPostedEvent = std::function<void(TMySQLDatasetBase&, const std::string&, std::exception_ptr)>;

class TMySQLDatasetBase : public TDataSet, public TConnectionClient, public TMySQLAutoCreateClient {
 public:
  ~TMySQLDatasetBase() override;

  // ---- connection
  TMySQLServer* Server() const { return server_; }
  // Closes an open dataset, unregisters from the old server, registers with the new.
  void SetServer(TMySQLServer* server);
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);  // closes the dataset
  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& name);  // closes the dataset
  // Key field names separated by "," or ";" (published as IndexFieldNames on TMySQLTable).
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& names) { fieldName_ = names; }

  // ---- options; setting Options closes an open dataset
  TMySQLDatasetOptions Options() const { return options_; }
  void SetOptions(TMySQLDatasetOptions options);
  TMySQLResultOptions ResultType() const { return resultType_; }
  // Anything but rtLocal clears ShareConnection; closes the dataset.
  void SetResultType(TMySQLResultOptions type);
  bool ShareConnection() const { return options_.Contains(doShareConnection); }
  // True also sets rtLocal; closes the dataset.
  void SetShareConnection(bool share);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool CachedUpdates() const { return options_.Contains(doCachedUpdates); }
  // Turning it off refreshes an open dataset first, which sends the postponed statements.
  void SetCachedUpdates(bool cached);
  bool UseCursor() const { return options_.Contains(doUseCursor); }
  void SetUseCursor(bool use) { options_.Set(doUseCursor, use); }
  int Cursor = -17;  // the framework's SQL-wait cursor, shown while statements run
  bool ParamCheck() const { return options_.Contains(doMacroCheck); }
  void SetParamCheck(bool check) { options_.Set(doMacroCheck, check); }
  bool RawData() const { return options_.Contains(doFieldsAsString); }
  // Closes the dataset and clears its field definitions and fields.
  void SetRawData(bool raw);
  // Extra unbound string fields appended after the result's columns.
  TFieldDefs& CustomFieldDefs() { return customFieldDefs_; }
  // A stored form's boolean entries "AllFieldValues" and "MacrosEnabled"; false for any
  // other name.
  bool ReadStoredBoolean(const std::string& name, bool value);
  // True for a TMySQLTable ("$FIELDS" then stands for "*").
  virtual bool IsTableDataset() const { return false; }

  // ---- what the last statements left
  const std::string& LastStatement() const { return lastStatement_; }
  const std::string& LastInsertId() const { return lastInsertId_; }
  const std::string& LastAffectedRows() const { return affectedRows_; }
  const std::string& LastInfo() const { return lastInfo_; }

  // ---- the result's description (valid while open)
  const std::vector<TFieldInfo>& FieldInfos() const { return fieldInfos_; }
  // By registered field name, column name, or table "." column name (no case); null when absent.
  const TFieldInfo* FindFieldInfo(std::string_view name) const;
  const std::vector<TTableInfo>& TableInfos() const { return tableInfos_; }
  const std::set<std::string>& Databases() const { return databases_; }
  // Unquoted qualified column names separated by ",".
  const std::string& PrimaryKeyList() const { return primaryKeys_; }
  const std::string& UniqueKeyList() const { return uniqueKeys_; }
  const std::string& MultipleKeyList() const { return multipleKeys_; }
  // No more rows will come (the end-of-data work has run).
  bool Exhausted() const { return exhausted_; }

  std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;
  void SetMasterSource(TDataSource* source) override;  // "Circular Reference"
  void Loaded() override;

  // ---- events
  TMySQLExecSQLEvent OnExecSQL;
  TMySQLValueEvent OnCustomValue;
  TMySQLValueEvent OnDefaultValue;  // a default text is about to be stored for a column
  TDataSetNotifyEvent OnAfterAdd;

  // TMySQLAutoCreateClient
  bool AutoCreateTable() const override { return options_.Contains(doAutoCreate); }

  // ======== statements, macros and posting: owned by the posting side
  // (mysql_dataset_write.cpp). Members below this line up to "end of posting side".
  const mysql::TSBStringList& SQL() const { return sql_; }
  void SetSQL(const mysql::TSBStringList& sql);  // closes the dataset when changed
  void SetSQLText(const std::string& text) { SetSQL(mysql::TSBStringList(text)); }
  const mysql::TSBStringList& SQLUpdate() const { return sqlUpdate_; }
  void SetSQLUpdate(const mysql::TSBStringList& sql);
  const mysql::TSBStringList& SQLInsert() const { return sqlInsert_; }
  void SetSQLInsert(const mysql::TSBStringList& sql);
  const mysql::TSBStringList& SQLDelete() const { return sqlDelete_; }
  void SetSQLDelete(const mysql::TSBStringList& sql);
  const mysql::TSBStringList& SQLBatch() const { return sqlBatch_; }
  void SetSQLBatch(const mysql::TSBStringList& sql);
  const mysql::TSBStringList& SQLCached() const { return sqlCached_; }
  void SetSQLCached(const mysql::TSBStringList& sql);
  TParams& Macros() { return macros_; }
  const std::string& MacroDel() const { return macroDel_; }
  void SetMacroDel(const std::string& delimiters);
  TMySQLMacroEvent OnMacro;
  TMySQLThreadOpenedEvent OnThreadOpened;
  TMySQLThreadPostedEvent OnThreadPosted;
  // Opens on the background SQL thread (doThreadedUpdate; without it, here), over a
  // connection of its own that the dataset keeps until it closes. Until OnThreadOpened
  // has been delivered (ProcessThreadEvents) the dataset belongs to that thread: do not
  // use or destroy it meanwhile.
  void OpenInBackground();
  // Delivers the background thread's reports (OnThreadOpened, OnThreadPosted) on this
  // thread; with `wait`, first waits for its queued work (at most its TimeOut). False
  // when work is still queued. Also runs before each post, delete and close.
  bool ProcessThreadEvents(bool wait = false);
  // Runs every statement of SQLBatch as write statements.
  bool ExecSQLBatch();
  // TMySQLAutoCreateClient: the table-creation script.
  mysql::TSBStringList TableCreationScript() override;
  // The script's text; its lines are run as one statement list when `run`.
  std::string CreateTableScript(bool run);

  // provider operations
  std::int64_t PSExecuteStatement(const std::string& sql, TParams* params) override;
  std::string PSGetKeyFields() override;
  const TIndexDef* PSGetDefaultOrder() override;
  TIndexDefs PSGetIndexDefs(TIndexOptions options) override;
  TParams* PSGetParams() override;
  void PSSetParams(const TParams& params) override;
  std::string PSGetQuoteChar() override;
  std::string PSGetTableName() override;
  std::exception_ptr PSGetUpdateException(std::exception_ptr e, std::exception_ptr prev) override;
  bool PSInTransaction() override;
  void PSStartTransaction() override;
  void PSEndTransaction(bool commit) override;
  bool PSIsSQLBased() override;
  bool PSIsSQLSupported() override;
  void PSExecute() override;
  bool PSUpdateRecord(TUpdateKind kind, TDataSet& delta) override;

 protected:
  void InternalInsert() override;
  void InternalEdit() override;
  void InternalCancel() override;
  void InternalPost() override;
  void InternalAddRecord(TRecordBuffer& buffer, bool append) override;
  void InternalDelete() override;
  void SetFilterText(const std::string& filter) override;  // rescans the macros
  // Builds the default statement lists from MacroDel (run by the constructor).
  void InitStatementLists();
  // A read statement with its macros expanded and the filter merged (doMacrosEnabled).
  std::string ExpandStatement(const std::string& statement);
  // Sends SQLCached (without macro expansion) and clears it; before refresh and close.
  void SendCachedUpdates();
  // Rebuilds Macros from Filter and the statement lists.
  void ScanMacros();
  // Run by the reading side at the end of every close: a dataset opened in the
  // background returns to its own server here.
  void PostingClosed();
  // The posting side's own state (transaction mark, worker, ...), defined in
  // mysql_dataset_write.cpp.
  struct TWriteState;
  static void DeleteWriteState(TWriteState* state);
  // Destruction waits here for the background thread's jobs (an open uses the dataset).
  void StopBackgroundThread() noexcept;
  std::unique_ptr<TWriteState, void (*)(TWriteState*)> write_{nullptr, &DeleteWriteState};
  // The row as it was when editing began; null outside an edit.
  std::unique_ptr<TRecInfo> editCopy_;
  mysql::TSBStringList sql_, sqlUpdate_, sqlInsert_, sqlDelete_, sqlBatch_, sqlCached_;
  TParams macros_;
  std::string macroDel_ = "[,]";
  // ======== end of posting side

 protected:
  explicit TMySQLDatasetBase(TMySQLDatasetOptions defaults);

  // ---- for the posting side: connection, statements, the row cache
  // Opening step 1: server set and connected, the dataset's handle, its database.
  void EnsureHandle();
  TMySQLConnHandle DatasetHandle() const { return handle_; }
  mysql::TMySQLBase& Driver() const;
  std::uint32_t ServerVer() const;
  // Fetches and discards the rest of the current result and frees it.
  void DrainResult();
  // Remembers the statement (dropping a trailing ";" below 3.22), runs it on the
  // dataset's handle and stores the insert id, affected rows and info. The result, or
  // null; the caller frees it (FreeResult) unless it becomes the dataset's rows.
  mysql::TMySQLResult RunStatement(std::string statement);
  // The statements run again and described again (the refresh step without the
  // framework's resync); raises "Columns have changed. Please close and reopen.".
  void ReRunStatements();
  // The row cache: rows numbered from 0; with rtUnidirectional only the newest is kept.
  std::int64_t CachedRowCount() const;
  // A copy of the cached row (valid until the next call), null when not held; write a
  // changed copy back with StoreCachedRow.
  TRecInfo* CachedRow(std::int64_t row);
  void StoreCachedRow(std::int64_t row, const TRecInfo& record);
  // Inserts at `row` (appends when row is past the end) and renumbers the rows after it.
  void InsertCachedRow(std::int64_t row, const TRecInfo& record);
  void RemoveCachedRow(std::int64_t row);
  std::int64_t Position() const { return position_; }
  void SetPosition(std::int64_t row) { position_ = row; }
  // The buffer field values go to (see the framework's ActiveRecordBuffer).
  TRecInfo& ActiveRec() const { return *static_cast<TRecInfo*>(ActiveRecordBuffer()); }
  // The column of a field (FieldNo - 1), or -1 for a field not bound to a column.
  int ColumnOf(const TField& field) const;
  TFieldInfo& Info(int column) { return fieldInfos_.at(static_cast<std::size_t>(column)); }
  void SetLastInsertId(const std::string& id) { lastInsertId_ = id; }
  // Raises EMySQLError through the driver (a plain one when there is no driver).
  [[noreturn]] void Fail(const std::string& message) const;
  // Close() for destructors: what cannot be reported there is dropped.
  void CloseQuietly() noexcept;

  // ---- framework steps
  std::unique_ptr<TRecordBuffer> AllocRecordBuffer() override;
  void InternalInitRecord(TRecordBuffer& buffer) override;
  TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) override;
  std::int64_t GetRecordCount() override;
  std::size_t GetRecordSize() override { return sizeof(TRecInfo); }
  TBookmark GetBookmarkData(const TRecordBuffer& buffer) override;
  void SetBookmarkData(TRecordBuffer& buffer, TBookmark bookmark) override;
  TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) override;
  void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) override;
  void InternalGotoBookmark(TBookmark bookmark) override;
  bool BookmarkValid(TBookmark bookmark) override;
  void InternalFirst() override;
  void InternalLast() override;
  bool GetFieldData(TField& field, TFieldValue& value) override;
  bool GetFieldText(const TField& field, std::string& text) override;
  void SetFieldData(TField& field, const TFieldValue& value) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return cursorOpen_; }
  void InternalRefresh() override;
  void InternalInitFieldDefs() override;
  bool GetCanModify() override { return !readOnly_; }
  std::unique_ptr<TField> CreateFieldObject(TFieldType type, int size) override;
  void ClearCalcFields(TRecordBuffer& buffer) override;

  // TConnectionClient
  void ConnectionGone(TCustomConnection& connection) override;

 private:
  class TRowCache;
  friend class TMySQLStringField;
  friend class TMySQLBlobStream;

  void ReleaseHandle();
  bool ShowsCursor() const;
  void RunReadStatements();
  void ResetDescription();
  void DescribeResult();
  void AddCustomColumns();
  void NameColumns();
  // The database statements run in: the dataset's, else the server's.
  std::string EffectiveDatabase() const;
  // MasterFields as (detail, master) pairs.
  std::vector<std::pair<std::string, std::string>> MasterLinks() const;
  // One row into the cache; false at the end of the result (which runs EndOfData).
  bool FetchOne();
  void FetchAll();
  void EndOfData();
  void RetrieveFieldValues();
  void RetrieveIndexDefs();
  std::vector<std::vector<std::optional<std::string>>> QueryRows(const std::string& statement);
  TFieldType FieldTypeOf(const TFieldInfo& info, int& size) const;
  // The column's text in the active buffer, none when it reads as no value.
  std::optional<std::string_view> ColumnValue(const TField& field, int column) const;
  // The text that a field's native value is written as; none for null.
  std::optional<std::string> ValueToText(const TField& field, const TFieldInfo& info,
                                         const TFieldValue& value) const;

  TMySQLServer* server_ = nullptr;
  TMySQLConnHandle handle_ = nullptr;
  bool ownHandle_ = false;
  std::string databaseName_;
  std::string tableName_;
  std::string fieldName_;
  TMySQLDatasetOptions options_;
  TMySQLResultOptions resultType_ = rtLocal;
  bool readOnly_ = false;
  TFieldDefs customFieldDefs_;

  bool cursorOpen_ = false;
  mysql::TMySQLResult result_ = nullptr;
  bool exhausted_ = true;
  std::unique_ptr<TRowCache> cache_;
  std::int64_t position_ = -1;
  std::vector<TFieldInfo> fieldInfos_;
  int boundColumns_ = 0;
  std::vector<int> bitColumns_;  // converted to decimal text as rows arrive
  TRecInfo scratchRow_;
  std::vector<TTableInfo> tableInfos_;
  std::set<std::string> databases_;
  std::string primaryKeys_, uniqueKeys_, multipleKeys_;
  std::string lastStatement_;
  std::string lastInsertId_ = "0";
  std::string affectedRows_ = "0";
  std::string lastInfo_;
  std::thread::id ownerThread_;
};

// A dataset driven by its SQL text.
class TMySQLDataset : public TMySQLDatasetBase {
 public:
  // [doShareConnection, doMacrosEnabled, doMacroCheck, do2KStrToMemo, doUseCursor]
  static constexpr TMySQLDatasetOptions kDefaultOptions{doShareConnection, doMacrosEnabled,
                                                        doMacroCheck, do2KStrToMemo, doUseCursor};
  TMySQLDataset();
  ~TMySQLDataset() override;
};

// A dataset driven by TableName, through the default statement templates.
class TMySQLTable : public TMySQLDatasetBase {
 public:
  // TMySQLDataset's defaults plus doRetrieveFieldValues and doRetrieveIndexDefs.
  static constexpr TMySQLDatasetOptions kDefaultOptions{
      doShareConnection, doMacrosEnabled, doMacroCheck, do2KStrToMemo, doUseCursor,
      doRetrieveFieldValues, doRetrieveIndexDefs};
  TMySQLTable();
  ~TMySQLTable() override;
  bool IsTableDataset() const override { return true; }
  const std::string& IndexFieldNames() const { return FieldName(); }
  void SetIndexFieldNames(const std::string& names) { SetFieldName(names); }
};

// Reads and writes one blob field of the active record. Writes land in the record
// buffer; closing (destruction) of a stream that wrote marks the field modified.
class TMySQLBlobStream : public TBytesStream {
 public:
  // Raises "Field is readonly" / "Dataset not in edit or insert mode" for writing.
  TMySQLBlobStream(TMySQLDatasetBase& dataset, TField& field, TBlobStreamMode mode);
  ~TMySQLBlobStream() override;

 private:
  static std::string Initial(TMySQLDatasetBase& dataset, TField& field, TBlobStreamMode mode);
  TMySQLDatasetBase& dataset_;
  TField& field_;
};
