// The dataset framework: connection and dataset components in the manner of a classic
// desktop database framework, in plain C++ (no Qt). The MySQL components derive from
// TCustomConnection and TDataSet and override the protected steps marked "override".
//
// Ownership: a dataset owns its field definitions, fields, index definitions and
// record buffers; connections never own their datasets and datasets never own their
// connection; a data source points at a dataset it does not own.
// Errors: every failure is an EDatabaseError (or a class derived from it) whose text
// names the cause; messages are listed beside the calls that raise them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/dataset/db_set.h"
#include "platform/dataset/db_time.h"

class TDataSet;
class TDataSource;
class TField;
class TCustomConnection;

// The database error of the framework; EMySQLError and "No Records" are of this family.
class EDatabaseError : public ado::DatabaseError {
 public:
  explicit EDatabaseError(const std::string& message, int code = 0)
      : ado::DatabaseError(message, code) {}
};

// Raises EDatabaseError; a component name, when given, is put before the text as
// "Name: text", as such frameworks do.
[[noreturn]] void DatabaseError(const std::string& message, const std::string& component = {});

// In the order of the classic framework, so ranges such as ftGraphic..ftTypedBinary hold.
enum TFieldType : std::uint8_t {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
  ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
  ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
  ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
  ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd
};
// The type's name as written above ("ftString").
std::string_view FieldTypeName(TFieldType type);
// ftBlob, ftMemo, ftGraphic..ftTypedBinary, ftOraBlob, ftOraClob: values are byte strings.
bool IsBlobType(TFieldType type);

enum TDataSetState : std::uint8_t { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };
enum TFieldKind : std::uint8_t { fkData, fkCalculated, fkInternalCalc };
enum TFieldAttribute : std::uint8_t { faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed };
using TFieldAttributes = TSet<TFieldAttribute>;
enum TProviderFlag : std::uint8_t { pfInUpdate, pfInWhere, pfInKey, pfHidden };
using TProviderFlags = TSet<TProviderFlag>;
enum TIndexOption : std::uint8_t { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression };
using TIndexOptions = TSet<TIndexOption>;
enum TParamType : std::uint8_t { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };
enum TBlobStreamMode : std::uint8_t { bmRead, bmWrite, bmReadWrite };
enum TGetMode : std::uint8_t { gmCurrent, gmNext, gmPrior };
enum TGetResult : std::uint8_t { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag : std::uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TUpdateKind : std::uint8_t { ukModify, ukInsert, ukDelete };
enum TDataEvent : std::uint8_t {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deUpdateState
};

// A bookmark is the 8-byte record identity the dataset hands out (a row number for the
// MySQL datasets).
using TBookmark = std::int64_t;

// A field's value in its native form: null, or the alternative its type uses:
// bool for ftBoolean; int64 for the integer types and ftAutoInc; double for ftFloat,
// ftCurrency, ftBCD, ftFMTBcd; TDateTime for ftDate, ftTime, ftDateTime, ftTimeStamp;
// std::string (text, or bytes for the blob types) for everything else.
using TFieldValue = std::variant<std::monostate, bool, std::int64_t, double, std::string, TDateTime>;
enum class TValueKind { Null, Boolean, Integer, Float, Text, DateTime };
TValueKind NativeKind(TFieldType type);
inline bool IsNull(const TFieldValue& v) { return std::holds_alternative<std::monostate>(v); }

// A stream of bytes with a position: the base of every blob stream.
class TStream {
 public:
  enum TSeekOrigin { soBeginning, soCurrent, soEnd };
  virtual ~TStream() = default;
  // Copies at most count bytes from the position on; returns how many were copied.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes count bytes at the position, extending the stream; returns count.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Returns the new position; a position before the start raises EDatabaseError.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  std::int64_t Size();
  std::int64_t Position() { return Seek(0, soCurrent); }
  // The whole content, and replacing it from the start.
  std::string ReadAll();
  void WriteAll(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
};

// A stream over bytes it holds; blob streams derive from it and decide what the bytes
// are read from and written back to. Writing to a stream opened with bmRead raises.
class TBytesStream : public TStream {
 public:
  explicit TBytesStream(TBlobStreamMode mode, std::string bytes = {}) : mode_(mode), bytes_(std::move(bytes)) {}
  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

 protected:
  const std::string& Bytes() const { return bytes_; }
  bool Wrote() const { return wrote_; }
  void MarkWritten() { wrote_ = true; }

 private:
  TBlobStreamMode mode_;
  std::string bytes_;
  std::size_t pos_ = 0;
  bool wrote_ = false;
};

// ---- field definitions, index definitions, parameters -----------------------------------

class TFieldDef {
 public:
  TFieldDef(std::string name, TFieldType type, int size, bool required, int fieldNo)
      : Name(std::move(name)), DataType(type), Size(size), Required(required), FieldNo(fieldNo) {
    Attributes.Set(faRequired, required);
  }
  std::string Name;
  TFieldType DataType;
  int Size;
  int Precision = 0;
  bool Required;
  int FieldNo;  // from 1
  TFieldAttributes Attributes;
  bool InternalCalcField = false;
};

class TFieldDefs {
 public:
  TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  int Count() const { return static_cast<int>(items_.size()); }
  TFieldDef& operator[](int i) { return *items_.at(static_cast<std::size_t>(i)); }
  const TFieldDef& operator[](int i) const { return *items_.at(static_cast<std::size_t>(i)); }
  // Names are compared without regard to case; -1 or nullptr when absent.
  int IndexOf(std::string_view name) const;
  TFieldDef* Find(std::string_view name);
  void Clear() { items_.clear(); }
  bool Updated = false;

 private:
  std::vector<std::unique_ptr<TFieldDef>> items_;
};

class TIndexDef {
 public:
  std::string Name;
  std::string Fields;  // field names separated by ";"
  TIndexOptions Options;
};

class TIndexDefs {
 public:
  TIndexDef& Add(const std::string& name, const std::string& fields, TIndexOptions options);
  int Count() const { return static_cast<int>(items_.size()); }
  TIndexDef& operator[](int i) { return items_.at(static_cast<std::size_t>(i)); }
  const TIndexDef& operator[](int i) const { return items_.at(static_cast<std::size_t>(i)); }
  TIndexDef* Find(std::string_view name);  // without regard to case
  // The first index whose field list is exactly these fields (";" separated, no case).
  TIndexDef* GetIndexForFields(std::string_view fields);
  void Clear() { items_.clear(); }

 private:
  std::vector<TIndexDef> items_;
};

class TParam {
 public:
  std::string Name;
  TFieldType DataType = ftUnknown;
  TParamType ParamType = ptUnknown;
  TFieldValue Value;
  bool IsNull() const { return ::IsNull(Value); }
  void Clear() { Value = std::monostate{}; }
  // Typed access converts as a field of DataType would; setters also set DataType when
  // it is still ftUnknown.
  std::string AsString() const;
  void SetAsString(const std::string& v);
  void SetAsInteger(std::int64_t v);
  void SetAsFloat(double v);
  void SetAsBoolean(bool v);
  void SetAsDateTime(const TDateTime& v);
};

class TParams {
 public:
  TParam& Add(const std::string& name, TFieldType type = ftUnknown, TParamType paramType = ptUnknown);
  int Count() const { return static_cast<int>(items_.size()); }
  TParam& operator[](int i) { return items_.at(static_cast<std::size_t>(i)); }
  const TParam& operator[](int i) const { return items_.at(static_cast<std::size_t>(i)); }
  TParam* FindParam(std::string_view name);  // without regard to case
  // Raises "Parameter 'X' not found".
  TParam& ParamByName(std::string_view name);
  void Clear() { items_.clear(); }

 private:
  std::vector<TParam> items_;
};

// ---- fields ------------------------------------------------------------------------------

// A field of a dataset. Values are read and written through the typed accessors, which
// convert between the field's native value and the requested type:
//   AsString   - text; booleans "True"/"False", numbers with "." as decimal separator,
//                dates "yyyy-mm-dd", times "hh:nn:ss", date-times "yyyy-mm-dd hh:nn:ss"
//   AsInteger  - 32-bit, AsLargeInt 64-bit; reals are rounded; text must be a number
//   AsFloat, AsBoolean ("True"/"False", "T"/"F", "Y"/"N", "1"/"0"), AsDateTime
// A null value reads as "", 0, 0.0, false or the zero stamp. A conversion that cannot be
// made raises EDatabaseError naming the value and the field. Writing requires the dataset
// in edit or insert state (calculated fields: while it calculates) and a field that is
// not read-only.
class TField {
 public:
  TField(TFieldType type, int size);
  virtual ~TField() = default;
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  std::string FieldName;
  std::string Origin;  // where the value comes from, e.g. a qualified column name
  std::string DisplayLabel;
  bool Required = false;
  bool ReadOnly = false;
  TProviderFlags ProviderFlags{pfInUpdate, pfInWhere};

  TFieldType DataType() const { return type_; }
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  TFieldKind FieldKind() const { return kind_; }
  void SetFieldKind(TFieldKind kind) { kind_ = kind; }
  bool Calculated() const { return kind_ != fkData; }
  int FieldNo() const { return fieldNo_; }  // from 1; 0 for a field bound to no definition
  int Index() const;                         // position in the dataset's fields
  int CalcIndex() const { return calcIndex_; }  // slot in a record's calculated area, or -1
  TDataSet* DataSet() const { return dataSet_; }
  bool IsBlob() const { return IsBlobType(type_); }

  // The native value (null when the record has none).
  TFieldValue Value() const;
  void SetValue(const TFieldValue& value);
  bool IsNull() const;
  void Clear() { SetValue(std::monostate{}); }

  std::string AsString() const;
  std::int32_t AsInteger() const;
  std::int64_t AsLargeInt() const;
  double AsFloat() const;
  bool AsBoolean() const;
  TDateTime AsDateTime() const;
  void SetAsString(const std::string& v);
  void SetAsInteger(std::int32_t v) { SetAsLargeInt(v); }
  void SetAsLargeInt(std::int64_t v);
  void SetAsFloat(double v);
  void SetAsBoolean(bool v);
  void SetAsDateTime(const TDateTime& v);

 protected:
  // Turns any value into this field's native form; raises when it cannot.
  virtual TFieldValue ToNative(const TFieldValue& v) const;
  [[noreturn]] void ConversionError(const std::string& value, const char* target) const;

 private:
  friend class TDataSet;
  TFieldType type_;
  int size_;
  TFieldKind kind_ = fkData;
  int fieldNo_ = 0;
  int calcIndex_ = -1;
  TDataSet* dataSet_ = nullptr;
};

class TStringField : public TField {
 public:
  explicit TStringField(int size = 20, TFieldType type = ftString) : TField(type, size) {}
};

class TBlobField : public TField {
 public:
  explicit TBlobField(TFieldType type = ftBlob, int size = 0) : TField(type, size) {}
};

class TMemoField : public TBlobField {
 public:
  TMemoField() : TBlobField(ftMemo) {}
};

// ---- data sources ------------------------------------------------------------------------

// Something that wants to hear of a data source's dataset: master links, grids, editors.
class TDataLink {
 public:
  virtual ~TDataLink();
  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  virtual void DataEvent(TDataEvent event, TField* field) = 0;
  // The source is going away; the link is already detached.
  virtual void SourceDestroyed() {}

 private:
  friend class TDataSource;
  TDataSource* source_ = nullptr;
};

class TDataSource {
 public:
  TDataSource() = default;
  explicit TDataSource(TDataSet* dataSet) { SetDataSet(dataSet); }
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return dataSet_; }
  void SetDataSet(TDataSet* dataSet);
  bool Enabled = true;
  TDataSetState State() const;
  std::function<void(TDataSource&, TField*)> OnDataChange;
  std::function<void(TDataSource&)> OnStateChange;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void Notify(TDataEvent event, TField* field);
  TDataSet* dataSet_ = nullptr;
  std::vector<TDataLink*> links_;
};

// ---- provider operations -----------------------------------------------------------------

// What a data provider asks of a dataset to resolve changes itself. TDataSet answers
// with neutral values; SQL datasets answer for their server.
class TProviderSupport {
 public:
  virtual ~TProviderSupport() = default;
  // Runs a statement with parameters; returns the affected-row count.
  virtual std::int64_t PSExecuteStatement(const std::string& sql, TParams* params) = 0;
  virtual std::string PSGetKeyFields() = 0;  // names separated by ";"
  virtual const TIndexDef* PSGetDefaultOrder() = 0;
  virtual TIndexDefs PSGetIndexDefs(TIndexOptions options) = 0;
  virtual TParams* PSGetParams() = 0;
  virtual void PSSetParams(const TParams& params) = 0;
  virtual std::string PSGetQuoteChar() = 0;
  virtual std::string PSGetTableName() = 0;
  // Maps a failed update's exception; never returns null when given one.
  virtual std::exception_ptr PSGetUpdateException(std::exception_ptr e, std::exception_ptr prev) = 0;
  virtual bool PSInTransaction() = 0;
  virtual void PSStartTransaction() = 0;
  virtual void PSEndTransaction(bool commit) = 0;
  virtual bool PSIsSQLBased() = 0;
  virtual bool PSIsSQLSupported() = 0;
  virtual void PSExecute() = 0;
  // True when the dataset wrote the change itself.
  virtual bool PSUpdateRecord(TUpdateKind kind, TDataSet& delta) = 0;
};

// ---- the dataset -------------------------------------------------------------------------

// A record buffer: what the derived dataset keeps per record (its values, calculated
// area, bookmark and flag). The framework only hands it around.
class TRecordBuffer {
 public:
  virtual ~TRecordBuffer() = default;
};

using TDataSetNotifyEvent = std::function<void(TDataSet&)>;

class TDataSet : public TProviderSupport {
 public:
  TDataSet();
  ~TDataSet() override;
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  std::string Name;  // the component name, put before framework messages

  // ---- open state
  bool Active() const { return state_ != dsInactive; }
  // Opening runs BeforeOpen, the open step, binds the fields, goes to the first record
  // and runs AfterOpen; a failure leaves the dataset closed and propagates. Closing
  // cancels a pending edit or insert (nothing is posted behind the caller's back).
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }

  // ---- navigation; each raises "Dataset not open" when inactive and posts a pending
  // edit first (the classic browse-mode check)
  void First();
  void Next();
  void Prior();
  void Last();
  std::int64_t MoveBy(std::int64_t distance);  // returns how far it moved
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty() const { return Active() && eof_ && bof_; }
  std::int64_t RecordCount();  // 0 when inactive
  // 1-based number of the current record, 0 when empty, -1 while inserting.
  virtual std::int64_t RecNo();
  virtual void SetRecNo(std::int64_t recNo);

  // ---- changing records
  void Edit();    // raises "Cannot modify a read-only dataset"; on an empty dataset appends
  void Insert();  // a new record before the current one
  void Append();  // a new record after the last one
  void Post();    // raises "Field 'X' must have a value" for an empty required field
  void Cancel();
  void Delete();  // raises "Cannot perform this operation on an empty dataset"
  void Refresh();
  bool Modified() const { return modified_; }
  bool CanModify() { return GetCanModify(); }

  // ---- bookmarks
  TBookmark Bookmark();
  void GotoBookmark(TBookmark bookmark);
  virtual bool BookmarkValid(TBookmark bookmark);
  virtual int CompareBookmarks(TBookmark a, TBookmark b);

  // ---- fields; FieldByName raises "Field 'X' not found"
  TFieldDefs& FieldDefs() { return fieldDefs_; }
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField& Fields(int i) { return *fields_.at(static_cast<std::size_t>(i)); }
  TField* FindField(std::string_view name);
  TField& FieldByName(std::string_view name);
  // A persistent field added before opening (a calculated field, or a data field that
  // then binds to the definition of its name). Calculated fields kept with default fields.
  TField& AddField(std::unique_ptr<TField> field);
  TField& AddCalculatedField(const std::string& name, TFieldType type, int size = 0);
  // A blob stream on the field of the active record; the caller owns it. Writing
  // needs edit or insert state.
  virtual std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode);
  TIndexDefs& IndexDefs() { return indexDefs_; }

  // ---- filter and master-detail
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& filter) { SetFilterText(filter); }
  bool Filtered() const { return filtered_; }
  void SetFilteredValue(bool filtered) { SetFiltered(filtered); }
  TDataSource* MasterSource() const { return masterLink_.DataSource(); }
  TDataSet* MasterDataSet() const { return masterLink_.DataSet(); }
  // Raises "Circular datalinks are not allowed" when the chain would reach this dataset.
  virtual void SetMasterSource(TDataSource* source);
  const std::string& MasterFields() const { return masterFields_; }
  virtual void SetMasterFields(const std::string& fields) { masterFields_ = fields; }

  // ---- loading from a stored form: Active set while loading opens in Loaded()
  void BeginLoading() { loading_ = true; }
  virtual void Loaded();
  bool Loading() const { return loading_; }

  // ---- events
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert,
      BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete,
      AfterDelete, BeforeScroll, AfterScroll, BeforeRefresh, AfterRefresh, OnNewRecord,
      OnCalcFields;

  // ---- provider operations: neutral answers (see TProviderSupport)
  std::int64_t PSExecuteStatement(const std::string& sql, TParams* params) override;
  std::string PSGetKeyFields() override;
  const TIndexDef* PSGetDefaultOrder() override;
  TIndexDefs PSGetIndexDefs(TIndexOptions options) override;
  TParams* PSGetParams() override { return nullptr; }
  void PSSetParams(const TParams&) override {}
  std::string PSGetQuoteChar() override { return "\""; }
  std::string PSGetTableName() override { return {}; }
  std::exception_ptr PSGetUpdateException(std::exception_ptr e, std::exception_ptr prev) override;
  bool PSInTransaction() override { return false; }
  void PSStartTransaction() override {}
  void PSEndTransaction(bool) override {}
  bool PSIsSQLBased() override { return false; }
  bool PSIsSQLSupported() override { return false; }
  void PSExecute() override;
  bool PSUpdateRecord(TUpdateKind, TDataSet&) override { return false; }

 protected:
  // ---- record buffers (override)
  virtual std::unique_ptr<TRecordBuffer> AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(std::unique_ptr<TRecordBuffer>& buffer) { buffer.reset(); }
  virtual void InternalInitRecord(TRecordBuffer& buffer) = 0;
  // Fills the buffer with the current, next or prior record and makes it the cursor's.
  // grBOF/grEOF when there is none (the cursor stays); with doCheck, a missing current
  // record may raise.
  virtual TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) = 0;
  virtual std::int64_t GetRecordCount() { return -1; }
  virtual std::size_t GetRecordSize() { return 0; }
  virtual TBookmark GetBookmarkData(const TRecordBuffer& buffer) = 0;
  virtual void SetBookmarkData(TRecordBuffer& buffer, TBookmark bookmark) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) = 0;
  virtual void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) = 0;
  virtual void InternalGotoBookmark(TBookmark bookmark) = 0;
  virtual void InternalSetToRecord(TRecordBuffer& buffer) { InternalGotoBookmark(GetBookmarkData(buffer)); }
  virtual void InternalFirst() = 0;  // cursor before the first record
  virtual void InternalLast() = 0;   // cursor after the last record

  // ---- field data (override): the value of a field in ActiveRecordBuffer(); false
  // when it has none. SetFieldData receives the field's native value (or null).
  virtual bool GetFieldData(TField& field, TFieldValue& value) = 0;
  virtual void SetFieldData(TField& field, const TFieldValue& value) = 0;
  // The text of a field as the dataset holds it, for AsString; false (the default) lets
  // the field write its native value as text. A dataset that keeps the source's texts
  // answers with them, so nothing a typed value cannot hold is lost when read as text.
  virtual bool GetFieldText(const TField&, std::string&) { return false; }

  // ---- open, close, refresh, field definitions (override)
  // Open the cursor; build FieldDefs (InitFieldDefs), CreateFields when DefaultFields(),
  // BindFields(true). Throwing leaves the dataset closed.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual void InternalRefresh() {}
  virtual void InternalInitFieldDefs() = 0;

  // ---- changes (override)
  virtual void InternalInsert() {}
  virtual void InternalEdit() {}
  virtual void InternalCancel() {}
  // Posts the active buffer. The default hands an insert to InternalAddRecord.
  virtual void InternalPost();
  virtual void InternalAddRecord(TRecordBuffer& buffer, bool append) = 0;
  virtual void InternalDelete() = 0;
  virtual bool GetCanModify() { return true; }

  // ---- other hooks
  virtual std::unique_ptr<TField> CreateFieldObject(TFieldType type, int size);
  virtual void ClearCalcFields(TRecordBuffer&) {}
  virtual void SetFilterText(const std::string& filter) { filter_ = filter; }
  virtual void SetFiltered(bool filtered) { filtered_ = filtered; }
  // The master dataset moved, changed, opened or closed; the default refreshes an open
  // dataset (or reads it again from the start).
  virtual void MasterChanged();

  // ---- for derived datasets
  TRecordBuffer* ActiveBuffer() const { return active_.get(); }
  // The buffer field data goes to: the calculation buffer while calculating, else the
  // active one.
  TRecordBuffer* ActiveRecordBuffer() const { return state_ == dsCalcFields ? calcBuffer_ : active_.get(); }
  void InitFieldDefs();  // clears FieldDefs and runs InternalInitFieldDefs
  bool DefaultFields() const { return defaultFields_; }
  void CreateFields();
  void BindFields(bool binding);
  int CalcFieldCount() const { return calcFieldCount_; }
  // Runs OnCalcFields with the buffer as the calculation buffer; derived GetRecord calls it.
  void CalculateFields(TRecordBuffer& buffer);
  void DataEvent(TDataEvent event, TField* field);
  void SetState(TDataSetState state);
  void CheckActive() const;
  // A field was written: runs the modified marking and the data-change notice.
  void FieldChanged(TField& field);
  [[noreturn]] void Error(const std::string& message) const { DatabaseError(message, Name); }

 private:
  friend class TField;
  friend class TDataSource;
  friend class TCustomConnection;
  class MasterLink : public TDataLink {
   public:
    explicit MasterLink(TDataSet& owner) : owner_(owner) {}
    void DataEvent(TDataEvent event, TField* field) override;

   private:
    TDataSet& owner_;
  };

  void CheckBrowseMode();
  void MoveToFirst();
  void BeginInsertAppend(bool append);
  void Resync();
  void AfterMove(TGetResult result, TGetMode mode);
  void DoEvent(const TDataSetNotifyEvent& event) {
    if (event) event(*this);
  }
  void CloseCursor();
  void CheckRequiredFields();

  TDataSetState state_ = dsInactive;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool loading_ = false;
  bool streamedActive_ = false;
  bool defaultFields_ = false;
  int calcFieldCount_ = 0;
  std::int64_t recNo_ = -1;  // -1: not known, worked out on demand
  std::unique_ptr<TRecordBuffer> active_;
  TRecordBuffer* calcBuffer_ = nullptr;
  TFieldDefs fieldDefs_;
  std::vector<std::unique_ptr<TField>> fields_;
  TIndexDefs indexDefs_;
  std::string filter_;
  bool filtered_ = false;
  std::string masterFields_;
  MasterLink masterLink_{*this};
  std::vector<TDataSource*> sources_;
  std::vector<TCustomConnection*> connections_;  // that list this dataset
};

// ---- the connection ---------------------------------------------------------------------

using TConnectionNotifyEvent = std::function<void(class TCustomConnection&)>;

// A connection component: the list of datasets registered with it, Connected with its
// events, and a loading phase. A derived connection overrides the connected test, the
// connected setter, the connect and disconnect steps, Loaded and Assign.
class TCustomConnection {
 public:
  TCustomConnection() = default;
  // Tells every registered dataset that the connection is gone (ConnectionGone). A
  // derived connection closes itself in its own destructor.
  virtual ~TCustomConnection();
  TCustomConnection(const TCustomConnection&) = delete;
  TCustomConnection& operator=(const TCustomConnection&) = delete;

  std::string Name;
  bool Connected() const { return GetConnected(); }
  // Setting true when not connected: BeforeConnect, DoConnect, the datasets are told,
  // AfterConnect. Setting false when connected: BeforeDisconnect, the datasets are told
  // (they close), DoDisconnect, AfterDisconnect. While loading, only remembered.
  virtual void SetConnected(bool connected);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }
  bool LoginPrompt = false;
  TConnectionNotifyEvent BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;

  // Datasets that use this connection, in registration order; registering twice is
  // harmless. The connection does not own them.
  void RegisterClient(TDataSet& dataSet);
  void UnRegisterClient(TDataSet& dataSet);
  int DataSetCount() const { return static_cast<int>(clients_.size()); }
  TDataSet& DataSets(int i) const { return *clients_.at(static_cast<std::size_t>(i)); }

  void BeginLoading() { loading_ = true; }
  // Ends loading; a connection stored as connected connects now.
  virtual void Loaded();
  bool Loading() const { return loading_; }

  // Copies another connection's settings; the base raises "Cannot assign a X to a Y".
  virtual void Assign(const TCustomConnection& source);
  virtual std::string ClassName() const { return "TCustomConnection"; }

 protected:
  virtual bool GetConnected() const = 0;
  virtual void DoConnect() {}
  virtual void DoDisconnect() {}
  // Tells the datasets of a connect (true) or disconnect (false): on disconnect each
  // open dataset closes.
  void SendConnectEvent(bool connecting);

 private:
  bool loading_ = false;
  bool streamedConnected_ = false;
  std::vector<TDataSet*> clients_;
};

// What a dataset is told when its connection goes away. Datasets that hold a connection
// pointer derive from this too and forget it.
class TConnectionClient {
 public:
  virtual ~TConnectionClient() = default;
  virtual void ConnectionGone(TCustomConnection& connection) = 0;
};
