// Opening, describing and reading of the MySQL datasets.
#include "mysql/components/mysql_dataset.h"

namespace {
[[noreturn]] void NotBuiltYet(const char* what) {
  throw EDatabaseError(std::string(what) + " is not built yet");
}
}  // namespace

class TMySQLDatasetBase::TRowCache {};

TMySQLStringTypes TMySQLStringField::StringType() const { return stNone; }
mysql::TSBStringList TMySQLStringField::StringValues() const { return {}; }

TRecInfo& TRecInfo::operator=(const TRecInfo& other) {
  packed_ = other.packed_;
  Calc = other.Calc;
  RowNumber = other.RowNumber;
  Flag = other.Flag;
  return *this;
}
void TRecInfo::Reset(int) { NotBuiltYet("TRecInfo"); }
int TRecInfo::ColumnCount() const { NotBuiltYet("TRecInfo"); }
std::optional<std::string_view> TRecInfo::Value(int) const { NotBuiltYet("TRecInfo"); }
void TRecInfo::SetValue(int, std::optional<std::string_view>) { NotBuiltYet("TRecInfo"); }
void TRecInfo::Assign(int, const char* const*, const unsigned long*) { NotBuiltYet("TRecInfo"); }

TMySQLDatasetBase::TMySQLDatasetBase(TMySQLDatasetOptions defaults) : options_(defaults) {
  InitStatementLists();
}
TMySQLDatasetBase::~TMySQLDatasetBase() = default;
void TMySQLDatasetBase::SetServer(TMySQLServer* server) { server_ = server; }
void TMySQLDatasetBase::SetDatabaseName(const std::string& name) { databaseName_ = name; }
void TMySQLDatasetBase::SetTableName(const std::string& name) { tableName_ = name; }
void TMySQLDatasetBase::SetOptions(TMySQLDatasetOptions options) { options_ = options; }
void TMySQLDatasetBase::SetResultType(TMySQLResultOptions type) { resultType_ = type; }
void TMySQLDatasetBase::SetShareConnection(bool share) { options_.Set(doShareConnection, share); }
void TMySQLDatasetBase::SetCachedUpdates(bool cached) { options_.Set(doCachedUpdates, cached); }
void TMySQLDatasetBase::SetRawData(bool raw) { options_.Set(doFieldsAsString, raw); }
bool TMySQLDatasetBase::ReadStoredBoolean(const std::string&, bool) { return false; }
const TFieldInfo* TMySQLDatasetBase::FindFieldInfo(std::string_view) const { return nullptr; }
std::unique_ptr<TStream> TMySQLDatasetBase::CreateBlobStream(TField&, TBlobStreamMode) { NotBuiltYet("Blob streams"); }
void TMySQLDatasetBase::SetMasterSource(TDataSource* source) { TDataSet::SetMasterSource(source); }
void TMySQLDatasetBase::Loaded() { TDataSet::Loaded(); }
void TMySQLDatasetBase::EnsureHandle() { NotBuiltYet("EnsureHandle"); }
mysql::TMySQLBase& TMySQLDatasetBase::Driver() const { NotBuiltYet("Driver"); }
std::uint32_t TMySQLDatasetBase::ServerVer() const { return 0; }
void TMySQLDatasetBase::DrainResult() {}
mysql::TMySQLResult TMySQLDatasetBase::RunStatement(std::string) { NotBuiltYet("RunStatement"); }
void TMySQLDatasetBase::ReRunStatements() { NotBuiltYet("ReRunStatements"); }
std::int64_t TMySQLDatasetBase::CachedRowCount() const { return 0; }
TRecInfo* TMySQLDatasetBase::CachedRow(std::int64_t) { return nullptr; }
void TMySQLDatasetBase::InsertCachedRow(std::int64_t, const TRecInfo&) { NotBuiltYet("InsertCachedRow"); }
void TMySQLDatasetBase::RemoveCachedRow(std::int64_t) { NotBuiltYet("RemoveCachedRow"); }
int TMySQLDatasetBase::ColumnOf(const TField& field) const { return field.FieldNo() - 1; }
std::unique_ptr<TRecordBuffer> TMySQLDatasetBase::AllocRecordBuffer() { return std::make_unique<TRecInfo>(); }
void TMySQLDatasetBase::InternalInitRecord(TRecordBuffer&) {}
TGetResult TMySQLDatasetBase::GetRecord(TRecordBuffer&, TGetMode, bool) { return grEOF; }
std::int64_t TMySQLDatasetBase::GetRecordCount() { return 0; }
TBookmark TMySQLDatasetBase::GetBookmarkData(const TRecordBuffer& b) { return static_cast<const TRecInfo&>(b).RowNumber; }
void TMySQLDatasetBase::SetBookmarkData(TRecordBuffer& b, TBookmark m) { static_cast<TRecInfo&>(b).RowNumber = m; }
TBookmarkFlag TMySQLDatasetBase::GetBookmarkFlag(const TRecordBuffer& b) { return static_cast<const TRecInfo&>(b).Flag; }
void TMySQLDatasetBase::SetBookmarkFlag(TRecordBuffer& b, TBookmarkFlag f) { static_cast<TRecInfo&>(b).Flag = f; }
void TMySQLDatasetBase::InternalGotoBookmark(TBookmark m) { position_ = m; }
bool TMySQLDatasetBase::BookmarkValid(TBookmark) { return false; }
void TMySQLDatasetBase::InternalFirst() { position_ = -1; }
void TMySQLDatasetBase::InternalLast() {}
bool TMySQLDatasetBase::GetFieldData(TField&, TFieldValue&) { return false; }
bool TMySQLDatasetBase::GetFieldText(const TField&, std::string&) { return false; }
void TMySQLDatasetBase::SetFieldData(TField&, const TFieldValue&) { NotBuiltYet("SetFieldData"); }
void TMySQLDatasetBase::InternalOpen() { NotBuiltYet("Open"); }
void TMySQLDatasetBase::InternalClose() { cursorOpen_ = false; }
void TMySQLDatasetBase::InternalRefresh() { NotBuiltYet("Refresh"); }
void TMySQLDatasetBase::InternalInitFieldDefs() {}
std::unique_ptr<TField> TMySQLDatasetBase::CreateFieldObject(TFieldType type, int size) {
  return TDataSet::CreateFieldObject(type, size);
}
void TMySQLDatasetBase::ClearCalcFields(TRecordBuffer&) {}
void TMySQLDatasetBase::ConnectionGone(TCustomConnection&) { server_ = nullptr; }

TMySQLDataset::TMySQLDataset() : TMySQLDatasetBase(kDefaultOptions) {}
TMySQLDataset::~TMySQLDataset() { Close(); }
TMySQLTable::TMySQLTable() : TMySQLDatasetBase(kDefaultOptions) {}
TMySQLTable::~TMySQLTable() { Close(); }

TMySQLBlobStream::TMySQLBlobStream(TMySQLDatasetBase& dataset, TField& field, TBlobStreamMode mode)
    : dataset_(dataset), field_(field), mode_(mode) {}
TMySQLBlobStream::~TMySQLBlobStream() = default;
std::size_t TMySQLBlobStream::Read(void*, std::size_t) { return 0; }
std::size_t TMySQLBlobStream::Write(const void*, std::size_t) { NotBuiltYet("Blob streams"); }
std::int64_t TMySQLBlobStream::Seek(std::int64_t, TSeekOrigin) { return 0; }
