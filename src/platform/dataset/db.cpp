#include "platform/dataset/db.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <typeinfo>

#include "platform/text/text.h"

namespace {

std::string FloatText(double v) {
  std::array<char, 64> buf{};
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return std::string(buf.data(), r.ptr);
}

bool ParseInt(const std::string& s, std::int64_t& out) {
  const std::string_view t = text::TrimBlanks(s);
  const char* b = t.data();
  if (!t.empty() && t[0] == '+') ++b;
  auto r = std::from_chars(b, t.data() + t.size(), out);
  return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size();
}

bool ParseFloat(const std::string& s, double& out) {
  const std::string_view t = text::TrimBlanks(s);
  const char* b = t.data();
  if (!t.empty() && t[0] == '+') ++b;
  auto r = std::from_chars(b, t.data() + t.size(), out);
  return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size();
}

// The text form of any value; a stamp is written in the form of the given type.
std::string ValueText(const TFieldValue& v, TFieldType type) {
  struct V {
    TFieldType type;
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(std::int64_t i) const { return std::to_string(i); }
    std::string operator()(double d) const { return FloatText(d); }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const TDateTime& t) const { return DateTimeText(t, type); }
  };
  return std::visit(V{type}, v);
}

struct IntRange {
  std::int64_t lo, hi;
};

bool RangeOf(TFieldType type, IntRange& range) {
  switch (type) {
    case ftSmallint: range = {-32768, 32767}; return true;
    case ftWord: range = {0, 65535}; return true;
    case ftInteger:
    case ftAutoInc:
      range = {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
      return true;
    default: return false;
  }
}

}  // namespace

void DatabaseError(const std::string& message, const std::string& component) {
  throw EDatabaseError(component.empty() ? message : component + ": " + message);
}

std::string_view FieldTypeName(TFieldType type) {
  static constexpr std::array<std::string_view, ftFMTBcd + 1> names = {
      "ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftBoolean", "ftFloat",
      "ftCurrency", "ftBCD", "ftDate", "ftTime", "ftDateTime", "ftBytes", "ftVarBytes",
      "ftAutoInc", "ftBlob", "ftMemo", "ftGraphic", "ftFmtMemo", "ftParadoxOle", "ftDBaseOle",
      "ftTypedBinary", "ftCursor", "ftFixedChar", "ftWideString", "ftLargeint", "ftADT",
      "ftArray", "ftReference", "ftDataSet", "ftOraBlob", "ftOraClob", "ftVariant",
      "ftInterface", "ftIDispatch", "ftGuid", "ftTimeStamp", "ftFMTBcd"};
  return type <= ftFMTBcd ? names[type] : "ftUnknown";
}

bool IsBlobType(TFieldType type) {
  return (type >= ftBlob && type <= ftTypedBinary) || type == ftOraBlob || type == ftOraClob;
}

TValueKind NativeKind(TFieldType type) {
  switch (type) {
    case ftBoolean: return TValueKind::Boolean;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint: return TValueKind::Integer;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd: return TValueKind::Float;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: return TValueKind::DateTime;
    default: return TValueKind::Text;
  }
}

// ---- streams ---------------------------------------------------------------------------

std::int64_t TStream::Size() {
  const auto here = Seek(0, soCurrent);
  const auto size = Seek(0, soEnd);
  Seek(here, soBeginning);
  return size;
}

std::string TStream::ReadAll() {
  Seek(0, soBeginning);
  std::string out;
  std::array<char, 8192> buf{};
  for (std::size_t n; (n = Read(buf.data(), buf.size())) > 0;) out.append(buf.data(), n);
  return out;
}

// ---- definitions and parameters ------------------------------------------------------------

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  items_.push_back(std::make_unique<TFieldDef>(name, type, size, required, Count() + 1));
  return *items_.back();
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (int i = 0; i < Count(); ++i)
    if (text::EqualsNoCase(items_[static_cast<std::size_t>(i)]->Name, name)) return i;
  return -1;
}

TFieldDef* TFieldDefs::Find(std::string_view name) {
  const int i = IndexOf(name);
  return i < 0 ? nullptr : items_[static_cast<std::size_t>(i)].get();
}

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields, TIndexOptions options) {
  items_.push_back(TIndexDef{name, fields, options});
  return items_.back();
}

TIndexDef* TIndexDefs::Find(std::string_view name) {
  for (auto& d : items_)
    if (text::EqualsNoCase(d.Name, name)) return &d;
  return nullptr;
}

TIndexDef* TIndexDefs::GetIndexForFields(std::string_view fields) {
  for (auto& d : items_)
    if (text::EqualsNoCase(d.Fields, fields)) return &d;
  return nullptr;
}

TParam& TParams::Add(const std::string& name, TFieldType type, TParamType paramType) {
  items_.push_back(TParam{name, type, paramType, {}});
  return items_.back();
}

TParam* TParams::FindParam(std::string_view name) {
  for (auto& p : items_)
    if (text::EqualsNoCase(p.Name, name)) return &p;
  return nullptr;
}

TParam& TParams::ParamByName(std::string_view name) {
  if (TParam* p = FindParam(name)) return *p;
  DatabaseError("Parameter '" + std::string(name) + "' not found");
}

// A parameter converts like a detached field of its type.
namespace {
class DetachedField : public TField {
 public:
  explicit DetachedField(TFieldType type, const std::string& name = {}) : TField(type, 0) {
    FieldName = name;
  }
  TFieldValue Convert(const TFieldValue& v) const { return ToNative(v); }
};
}  // namespace

std::string TParam::AsString() const { return ValueText(Value, DataType); }

void TParam::SetAsString(const std::string& v) {
  if (DataType == ftUnknown) DataType = ftString;
  Value = DetachedField(DataType).Convert(v);
}
void TParam::SetAsInteger(std::int64_t v) {
  if (DataType == ftUnknown) DataType = ftLargeint;
  Value = DetachedField(DataType).Convert(v);
}
void TParam::SetAsFloat(double v) {
  if (DataType == ftUnknown) DataType = ftFloat;
  Value = DetachedField(DataType).Convert(v);
}
void TParam::SetAsBoolean(bool v) {
  if (DataType == ftUnknown) DataType = ftBoolean;
  Value = DetachedField(DataType).Convert(v);
}
void TParam::SetAsDateTime(const TDateTime& v) {
  if (DataType == ftUnknown) DataType = ftDateTime;
  Value = DetachedField(DataType).Convert(v);
}

// ---- fields ----------------------------------------------------------------------------

TField::TField(TFieldType type, int size) : type_(type), size_(size) {}

int TField::Index() const {
  if (!dataSet_) return -1;
  for (int i = 0; i < dataSet_->FieldCount(); ++i)
    if (&dataSet_->Fields(i) == this) return i;
  return -1;
}

void TField::ConversionError(const std::string& value, const char* target) const {
  DatabaseError("'" + value + "' is not a valid " + target + " value for field '" + FieldName + "'");
}

TFieldValue TField::ToNative(const TFieldValue& v) const {
  if (::IsNull(v)) return v;
  switch (NativeKind(type_)) {
    case TValueKind::Boolean:
      if (auto* b = std::get_if<bool>(&v)) return *b;
      if (auto* i = std::get_if<std::int64_t>(&v)) return *i != 0;
      if (auto* d = std::get_if<double>(&v)) return *d != 0.0;
      if (auto* s = std::get_if<std::string>(&v)) {
        const std::string_view t = text::TrimBlanks(*s);
        if (t.empty()) return std::monostate{};
        const std::string word = text::UpperCase(t);
        if (word == "TRUE" || word == "T" || word == "Y" || word == "1") return true;
        if (word == "FALSE" || word == "F" || word == "N" || word == "0") return false;
        ConversionError(*s, "boolean");
      }
      break;
    case TValueKind::Integer: {
      std::int64_t n = 0;
      if (auto* i = std::get_if<std::int64_t>(&v)) {
        n = *i;
      } else if (auto* b = std::get_if<bool>(&v)) {
        n = *b ? 1 : 0;
      } else if (auto* d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d) || std::fabs(*d) >= 9.2e18) ConversionError(FloatText(*d), "integer");
        n = std::llround(*d);
      } else if (auto* s = std::get_if<std::string>(&v)) {
        if (text::TrimBlanks(*s).empty()) return std::monostate{};
        if (!ParseInt(*s, n)) ConversionError(*s, "integer");
      } else {
        break;
      }
      IntRange r{};
      if (RangeOf(type_, r) && (n < r.lo || n > r.hi))
        DatabaseError(std::to_string(n) + " is not a valid value for field '" + FieldName +
                      "'. The allowed range is " + std::to_string(r.lo) + " to " + std::to_string(r.hi));
      return n;
    }
    case TValueKind::Float:
      if (auto* d = std::get_if<double>(&v)) return *d;
      if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
      if (auto* b = std::get_if<bool>(&v)) return *b ? 1.0 : 0.0;
      if (auto* s = std::get_if<std::string>(&v)) {
        if (text::TrimBlanks(*s).empty()) return std::monostate{};
        double d = 0;
        if (!ParseFloat(*s, d)) ConversionError(*s, "floating point");
        return d;
      }
      break;
    case TValueKind::DateTime:
      if (auto* t = std::get_if<TDateTime>(&v)) return *t;
      if (auto* s = std::get_if<std::string>(&v)) {
        if (text::TrimBlanks(*s).empty()) return std::monostate{};
        TDateTime t;
        if (!ParseDateTimeText(std::string(text::TrimBlanks(*s)), type_, t)) ConversionError(*s, "date and time");
        return t;
      }
      break;
    case TValueKind::Text:
    case TValueKind::Null: return ValueText(v, ftDateTime);
  }
  DatabaseError("Field '" + FieldName + "' cannot hold a value of that type (" +
                std::string(FieldTypeName(type_)) + ")");
}

TFieldValue TField::Value() const {
  TFieldValue v;
  if (!dataSet_ || !dataSet_->Active()) return v;
  if (!dataSet_->GetFieldData(const_cast<TField&>(*this), v)) return std::monostate{};
  return v;
}

bool TField::IsNull() const { return ::IsNull(Value()); }

void TField::SetValue(const TFieldValue& value) {
  if (!dataSet_) DatabaseError("Field '" + FieldName + "' has no dataset");
  TDataSet& ds = *dataSet_;
  const bool calculating = ds.State() == dsCalcFields;
  if (calculating ? !Calculated() : (ds.State() != dsEdit && ds.State() != dsInsert)) {
    ds.Error("Dataset not in edit or insert mode");
  }
  if ((ReadOnly || kind_ == fkCalculated) && !calculating)
    DatabaseError("Field '" + FieldName + "' cannot be modified");
  const TFieldValue native = ToNative(value);
  ds.SetFieldData(*this, native);
  if (!calculating) ds.FieldChanged(*this);
}

std::string TField::AsString() const {
  if (dataSet_ && dataSet_->Active()) {
    std::string text;
    if (dataSet_->GetFieldText(*this, text)) return text;
  }
  const TFieldValue v = Value();
  if (::IsNull(v)) return {};
  if (auto* t = std::get_if<TDateTime>(&v)) return DateTimeText(*t, type_);
  return std::get<std::string>(DetachedField(ftString, FieldName).Convert(v));
}

std::int64_t TField::AsLargeInt() const {
  const TFieldValue v = DetachedField(ftLargeint, FieldName).Convert(Value());
  return ::IsNull(v) ? 0 : std::get<std::int64_t>(v);
}

std::int32_t TField::AsInteger() const {
  const TFieldValue v = DetachedField(ftInteger, FieldName).Convert(Value());
  return ::IsNull(v) ? 0 : static_cast<std::int32_t>(std::get<std::int64_t>(v));
}

double TField::AsFloat() const {
  const TFieldValue v = DetachedField(ftFloat, FieldName).Convert(Value());
  return ::IsNull(v) ? 0.0 : std::get<double>(v);
}

bool TField::AsBoolean() const {
  const TFieldValue v = DetachedField(ftBoolean, FieldName).Convert(Value());
  return ::IsNull(v) ? false : std::get<bool>(v);
}

TDateTime TField::AsDateTime() const {
  const TFieldValue v = DetachedField(type_ == ftDate || type_ == ftTime ? type_ : ftDateTime, FieldName).Convert(Value());
  return ::IsNull(v) ? TDateTime{} : std::get<TDateTime>(v);
}

void TField::SetAsString(const std::string& v) { SetValue(v); }
void TField::SetAsLargeInt(std::int64_t v) { SetValue(v); }
void TField::SetAsFloat(double v) { SetValue(v); }
void TField::SetAsBoolean(bool v) { SetValue(v); }
void TField::SetAsDateTime(const TDateTime& v) { SetValue(v); }

// ---- data sources ------------------------------------------------------------------------

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source_ == source) return;
  if (source_) std::erase(source_->links_, this);
  source_ = source;
  if (source_) source_->links_.push_back(this);
}

TDataSet* TDataLink::DataSet() const { return source_ ? source_->DataSet() : nullptr; }

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  auto links = links_;
  for (TDataLink* l : links) {
    l->source_ = nullptr;
    l->SourceDestroyed();
  }
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet_ == dataSet) return;
  if (dataSet_) std::erase(dataSet_->sources_, this);
  dataSet_ = dataSet;
  if (dataSet_) dataSet_->sources_.push_back(this);
  Notify(deDataSetChange, nullptr);
}

TDataSetState TDataSource::State() const { return dataSet_ ? dataSet_->State() : dsInactive; }

void TDataSource::Notify(TDataEvent event, TField* field) {
  if (!Enabled) return;
  auto links = links_;  // a handler may detach itself
  for (TDataLink* l : links) l->DataEvent(event, field);
  if (event == deUpdateState) {
    if (OnStateChange) OnStateChange(*this);
  } else if (event != deFieldChange || field) {
    if (OnDataChange) OnDataChange(*this, field);
  }
}

// ---- the dataset -------------------------------------------------------------------------

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
  // A derived dataset closes itself in its own destructor (its steps are gone by now).
  masterLink_.SetDataSource(nullptr);
  auto connections = connections_;  // a connection must not keep a dangling client
  for (TCustomConnection* c : connections) c->UnRegisterClient(*this);
  auto sources = sources_;
  for (TDataSource* s : sources) s->SetDataSet(nullptr);
}

void TDataSet::CheckActive() const {
  if (!Active()) Error("Dataset not open");
}

void TDataSet::SetState(TDataSetState state) {
  if (state_ == state) return;
  state_ = state;
  modified_ = false;
  DataEvent(deUpdateState, nullptr);
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
  auto sources = sources_;
  for (TDataSource* s : sources) s->Notify(event, field);
}

void TDataSet::FieldChanged(TField& field) {
  if (state_ == dsEdit || state_ == dsInsert) modified_ = true;
  DataEvent(deFieldChange, &field);
}

void TDataSet::SetActive(bool active) {
  if (loading_) {
    streamedActive_ = active;
    return;
  }
  if (active == Active()) return;
  if (active) {
    DoEvent(BeforeOpen);
    try {
      state_ = dsBrowse;  // field binding below runs with the dataset open
      defaultFields_ = std::none_of(fields_.begin(), fields_.end(),
                                    [](const auto& f) { return f->FieldKind() != fkCalculated; });
      InternalOpen();
      active_ = AllocRecordBuffer();
      InternalInitRecord(*active_);
      recNo_ = -1;
    } catch (...) {
      state_ = dsInactive;
      CloseCursor();
      throw;
    }
    state_ = dsInactive;
    SetState(dsBrowse);
    try {
      MoveToFirst();
    } catch (...) {
      SetState(dsInactive);
      CloseCursor();
      throw;
    }
    DoEvent(AfterOpen);
    DoEvent(AfterScroll);
  } else {
    DoEvent(BeforeClose);
    if (state_ == dsEdit || state_ == dsInsert) Cancel();
    SetState(dsInactive);
    CloseCursor();
    DataEvent(deDataSetChange, nullptr);
    DoEvent(AfterClose);
  }
}

void TDataSet::CloseCursor() {
  if (active_) FreeRecordBuffer(active_);
  active_.reset();
  if (IsCursorOpen()) InternalClose();
  BindFields(false);
  if (defaultFields_) {
    // Fields made from the definitions go; persistent calculated ones stay.
    std::erase_if(fields_, [](const std::unique_ptr<TField>& f) { return f->FieldKind() != fkCalculated; });
    defaultFields_ = false;
  }
  bof_ = eof_ = true;
  recNo_ = -1;
}

void TDataSet::Loaded() {
  loading_ = false;
  if (streamedActive_) {
    streamedActive_ = false;
    SetActive(true);
  }
}

void TDataSet::InitFieldDefs() {
  fieldDefs_.Clear();
  InternalInitFieldDefs();
  fieldDefs_.Updated = true;
}

std::unique_ptr<TField> TDataSet::CreateFieldObject(TFieldType type, int size) {
  switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString: return std::make_unique<TStringField>(size, type);
    case ftMemo:
    case ftFmtMemo: return std::make_unique<TMemoField>();
    default:
      if (IsBlobType(type)) return std::make_unique<TBlobField>(type, size);
      return std::make_unique<TField>(type, size);
  }
}

TField& TDataSet::AddField(std::unique_ptr<TField> field) {
  if (Active()) Error("Cannot add fields to an open dataset");
  if (FindField(field->FieldName)) Error("Duplicate field name '" + field->FieldName + "'");
  field->dataSet_ = this;
  fields_.push_back(std::move(field));
  return *fields_.back();
}

TField& TDataSet::AddCalculatedField(const std::string& name, TFieldType type, int size) {
  auto f = CreateFieldObject(type, size);
  f->FieldName = name;
  f->SetFieldKind(fkCalculated);
  return AddField(std::move(f));
}

void TDataSet::CreateFields() {
  // Persistent calculated fields stay after the default data fields.
  std::vector<std::unique_ptr<TField>> kept;
  for (auto& f : fields_) kept.push_back(std::move(f));
  fields_.clear();
  for (int i = 0; i < fieldDefs_.Count(); ++i) {
    const TFieldDef& d = fieldDefs_[i];
    if (d.Attributes.Contains(faHiddenCol)) continue;
    auto f = CreateFieldObject(d.DataType, d.Size);
    f->FieldName = d.Name;
    f->Required = d.Required;
    f->ReadOnly = d.Attributes.Contains(faReadonly);
    if (d.InternalCalcField) f->SetFieldKind(fkInternalCalc);
    f->dataSet_ = this;
    fields_.push_back(std::move(f));
  }
  for (auto& f : kept) fields_.push_back(std::move(f));
}

void TDataSet::BindFields(bool binding) {
  calcFieldCount_ = 0;
  for (auto& f : fields_) {
    f->fieldNo_ = 0;
    f->calcIndex_ = -1;
    if (!binding) continue;
    if (f->FieldKind() == fkCalculated) {
      f->calcIndex_ = calcFieldCount_++;
      continue;
    }
    const TFieldDef* d = fieldDefs_.Find(f->FieldName);
    if (!d) Error("Field '" + f->FieldName + "' not found");
    if (IsBlobType(d->DataType) != f->IsBlob() || NativeKind(d->DataType) != NativeKind(f->DataType()))
      Error("Type mismatch for field '" + f->FieldName + "', expecting: " +
            std::string(FieldTypeName(f->DataType())) + " actual: " +
            std::string(FieldTypeName(d->DataType)));
    f->fieldNo_ = d->FieldNo;
    if (f->FieldKind() == fkInternalCalc) f->calcIndex_ = calcFieldCount_++;
  }
}

void TDataSet::CalculateFields(TRecordBuffer& buffer) {
  if (calcFieldCount_ == 0 && !OnCalcFields) return;
  const TDataSetState saved = state_;
  TRecordBuffer* savedBuffer = calcBuffer_;
  calcBuffer_ = &buffer;
  state_ = dsCalcFields;
  try {
    ClearCalcFields(buffer);
    DoEvent(OnCalcFields);
  } catch (...) {
    state_ = saved;
    calcBuffer_ = savedBuffer;
    throw;
  }
  state_ = saved;
  calcBuffer_ = savedBuffer;
}

TField* TDataSet::FindField(std::string_view name) {
  for (auto& f : fields_)
    if (text::EqualsNoCase(f->FieldName, name)) return f.get();
  return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) {
  if (TField* f = FindField(name)) return *f;
  Error("Field '" + std::string(name) + "' not found");
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ == dsEdit || state_ == dsInsert) {
    if (modified_)
      Post();
    else
      Cancel();
  }
}

void TDataSet::AfterMove(TGetResult result, TGetMode mode) {
  if (result == grOK) {
    bof_ = false;
    eof_ = false;
    if (recNo_ > 0) recNo_ += mode == gmNext ? 1 : -1;
  } else if (mode == gmNext) {
    eof_ = true;
  } else {
    bof_ = true;
  }
}

void TDataSet::First() {
  CheckBrowseMode();
  DoEvent(BeforeScroll);
  MoveToFirst();
  DoEvent(AfterScroll);
}

void TDataSet::MoveToFirst() {
  InternalFirst();
  const TGetResult r = GetRecord(*active_, gmNext, true);
  bof_ = true;
  eof_ = r != grOK;
  if (r != grOK) InternalInitRecord(*active_);
  recNo_ = r == grOK ? 1 : 0;
  DataEvent(deDataSetChange, nullptr);
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoEvent(BeforeScroll);
  InternalLast();
  const TGetResult r = GetRecord(*active_, gmPrior, true);
  eof_ = true;
  bof_ = r != grOK;
  if (r != grOK) InternalInitRecord(*active_);
  recNo_ = -1;
  DataEvent(deDataSetChange, nullptr);
  DoEvent(AfterScroll);
}

std::int64_t TDataSet::MoveBy(std::int64_t distance) {
  CheckBrowseMode();
  if (distance == 0) return 0;
  DoEvent(BeforeScroll);
  std::int64_t moved = 0;
  const TGetMode mode = distance > 0 ? gmNext : gmPrior;
  for (std::int64_t i = 0; i < (distance > 0 ? distance : -distance); ++i) {
    if (mode == gmNext ? eof_ : bof_) break;
    const TBookmark before = GetBookmarkData(*active_);
    const TGetResult r = GetRecord(*active_, mode, false);
    AfterMove(r, mode);
    if (r != grOK) break;
    // A forward-only cursor answers "prior" with the same record: that is no move.
    if (GetBookmarkData(*active_) == before) {
      bof_ = mode == gmPrior ? true : bof_;
      break;
    }
    moved += distance > 0 ? 1 : -1;
  }
  DataEvent(deDataSetScroll, nullptr);
  DoEvent(AfterScroll);
  return moved;
}

void TDataSet::Next() { MoveBy(1); }
void TDataSet::Prior() { MoveBy(-1); }

std::int64_t TDataSet::RecordCount() {
  if (!Active()) return 0;
  return GetRecordCount();
}

std::int64_t TDataSet::RecNo() {
  if (!Active() || state_ == dsInsert) return -1;
  if (IsEmpty()) return 0;
  if (recNo_ > 0) return recNo_;
  // Count the records before this one on a scratch buffer, then come back.
  auto scratch = AllocRecordBuffer();
  const TBookmark here = GetBookmarkData(*active_);
  std::int64_t n = 1;
  TBookmark last = here;
  InternalSetToRecord(*active_);
  while (GetRecord(*scratch, gmPrior, false) == grOK) {
    const TBookmark b = GetBookmarkData(*scratch);
    if (b == last) break;
    last = b;
    ++n;
  }
  InternalGotoBookmark(here);
  GetRecord(*scratch, gmCurrent, false);
  FreeRecordBuffer(scratch);
  recNo_ = n;
  return n;
}

void TDataSet::SetRecNo(std::int64_t recNo) {
  CheckBrowseMode();
  if (recNo < 1) return;
  const std::int64_t current = RecNo();
  if (current > 0 && recNo != current) MoveBy(recNo - current);
}

void TDataSet::Resync() {
  TGetResult r = GetRecord(*active_, gmCurrent, false);
  if (r != grOK) r = GetRecord(*active_, gmPrior, false);
  if (r != grOK) r = GetRecord(*active_, gmNext, false);
  if (r != grOK) {
    InternalInitRecord(*active_);
    bof_ = eof_ = true;
  } else {
    bof_ = eof_ = false;
  }
  recNo_ = -1;
  DataEvent(deDataSetChange, nullptr);
}

void TDataSet::Edit() {
  if (state_ == dsEdit || state_ == dsInsert) return;
  CheckActive();
  if (!CanModify()) Error("Cannot modify a read-only dataset");
  if (IsEmpty()) {
    Append();
    return;
  }
  DoEvent(BeforeEdit);
  InternalEdit();
  SetState(dsEdit);
  DataEvent(deRecordChange, nullptr);
  DoEvent(AfterEdit);
}

void TDataSet::BeginInsertAppend(bool append) {
  CheckBrowseMode();
  if (!CanModify()) Error("Cannot modify a read-only dataset");
  DoEvent(BeforeInsert);
  DoEvent(BeforeScroll);
  if (append) InternalLast();
  InternalInsert();
  InternalInitRecord(*active_);
  SetBookmarkFlag(*active_, append ? bfEOF : bfInserted);
  ClearCalcFields(*active_);
  eof_ = bof_ = false;
  SetState(dsInsert);
  try {
    DoEvent(OnNewRecord);
  } catch (...) {
    Cancel();
    throw;
  }
  modified_ = false;
  DataEvent(deDataSetChange, nullptr);
  DoEvent(AfterInsert);
  DoEvent(AfterScroll);
}

void TDataSet::Insert() { BeginInsertAppend(false); }
void TDataSet::Append() { BeginInsertAppend(true); }

void TDataSet::CheckRequiredFields() {
  for (auto& f : fields_)
    if (f->Required && !f->ReadOnly && f->FieldKind() == fkData && f->IsNull())
      Error("Field '" + f->FieldName + "' must have a value");
}

void TDataSet::InternalPost() {
  if (state_ == dsInsert) InternalAddRecord(*active_, GetBookmarkFlag(*active_) == bfEOF);
}

void TDataSet::Post() {
  CheckActive();
  if (state_ != dsEdit && state_ != dsInsert) return;
  DoEvent(BeforePost);
  CheckRequiredFields();
  InternalPost();  // a failure keeps the edit or insert state, so nothing typed is lost
  SetState(dsBrowse);
  Resync();
  DoEvent(AfterPost);
}

void TDataSet::Cancel() {
  if (state_ != dsEdit && state_ != dsInsert) return;
  DoEvent(BeforeCancel);
  InternalCancel();
  SetState(dsBrowse);
  Resync();
  DoEvent(AfterCancel);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert) {
    Cancel();
    return;
  }
  if (IsEmpty()) Error("Cannot perform this operation on an empty dataset");
  if (state_ == dsEdit) Cancel();
  DoEvent(BeforeDelete);
  DoEvent(BeforeScroll);
  InternalDelete();
  Resync();
  DoEvent(AfterDelete);
  DoEvent(AfterScroll);
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  DoEvent(BeforeRefresh);
  InternalRefresh();
  Resync();
  DoEvent(AfterRefresh);
}

TBookmark TDataSet::Bookmark() {
  CheckActive();
  if (IsEmpty()) return -1;
  return GetBookmarkData(*active_);
}

void TDataSet::GotoBookmark(TBookmark bookmark) {
  CheckBrowseMode();
  if (!BookmarkValid(bookmark)) Error("Record not found");
  DoEvent(BeforeScroll);
  InternalGotoBookmark(bookmark);
  Resync();
  DataEvent(deDataSetScroll, nullptr);
  DoEvent(AfterScroll);
}

bool TDataSet::BookmarkValid(TBookmark bookmark) { return Active() && bookmark >= 0; }

int TDataSet::CompareBookmarks(TBookmark a, TBookmark b) { return a < b ? -1 : (a > b ? 1 : 0); }

std::size_t TBytesStream::Read(void* buffer, std::size_t count) {
  const std::size_t n = pos_ < bytes_.size() ? std::min(count, bytes_.size() - pos_) : 0;
  if (n) std::memcpy(buffer, bytes_.data() + pos_, n);
  pos_ += n;
  return n;
}

std::size_t TBytesStream::Write(const void* buffer, std::size_t count) {
  if (mode_ == bmRead) DatabaseError("Cannot write to a blob stream opened for reading");
  if (bytes_.size() < pos_ + count) bytes_.resize(pos_ + count);
  if (count) std::memcpy(bytes_.data() + pos_, buffer, count);
  pos_ += count;
  wrote_ = true;
  return count;
}

std::int64_t TBytesStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const std::int64_t base = origin == soBeginning ? 0
                            : origin == soCurrent ? static_cast<std::int64_t>(pos_)
                                                  : static_cast<std::int64_t>(bytes_.size());
  if (base + offset < 0) DatabaseError("Seek before the start of a blob stream");
  pos_ = static_cast<std::size_t>(base + offset);
  return base + offset;
}

// The default stream holds the field's bytes and writes them back when it goes away.
namespace {
class FieldValueStream : public TBytesStream {
 public:
  FieldValueStream(TField& field, TBlobStreamMode mode)
      : TBytesStream(mode, mode == bmWrite || field.IsNull() ? std::string()
                                                             : std::get<std::string>(field.Value())),
        field_(field) {
    if (mode == bmWrite) MarkWritten();
  }
  ~FieldValueStream() override {
    try {
      if (Wrote()) field_.SetValue(Bytes().empty() ? TFieldValue() : TFieldValue(Bytes()));
    } catch (...) {
      // A destructor must not throw; the caller wrote outside edit mode.
    }
  }

 private:
  TField& field_;
};
}  // namespace

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  CheckActive();
  if (mode != bmRead) {
    if (field.ReadOnly) Error("Field '" + field.FieldName + "' cannot be modified");
    if (state_ != dsEdit && state_ != dsInsert) Error("Dataset not in edit or insert mode");
  }
  return std::make_unique<FieldValueStream>(field, mode);
}

void TDataSet::SetMasterSource(TDataSource* source) {
  for (TDataSource* s = source; s && s->DataSet(); s = s->DataSet()->MasterSource())
    if (s->DataSet() == this) Error("Circular datalinks are not allowed");
  masterLink_.SetDataSource(source);
  if (Active()) MasterChanged();
}

void TDataSet::MasterChanged() {
  if (!Active()) return;
  if (state_ == dsEdit || state_ == dsInsert) Cancel();
  Refresh();
}

void TDataSet::MasterLink::DataEvent(TDataEvent event, TField*) {
  // Field edits of the master wait for its post, which reports a data-set change.
  if (event == deDataSetChange || event == deDataSetScroll) owner_.MasterChanged();
}

// ---- provider operations -------------------------------------------------------------------

std::int64_t TDataSet::PSExecuteStatement(const std::string&, TParams*) {
  Error("SQL not supported");
}

std::string TDataSet::PSGetKeyFields() {
  std::string keys;
  for (auto& f : fields_)
    if (f->ProviderFlags.Contains(pfInKey)) keys += (keys.empty() ? "" : ";") + f->FieldName;
  return keys;
}

const TIndexDef* TDataSet::PSGetDefaultOrder() { return nullptr; }

TIndexDefs TDataSet::PSGetIndexDefs(TIndexOptions options) {
  TIndexDefs out;
  for (int i = 0; i < indexDefs_.Count(); ++i) {
    const TIndexDef& d = indexDefs_[i];
    if (options.Empty() || (d.Options.Bits() & options.Bits()) != 0) out.Add(d.Name, d.Fields, d.Options);
  }
  return out;
}

std::exception_ptr TDataSet::PSGetUpdateException(std::exception_ptr e, std::exception_ptr prev) {
  return e ? e : prev;
}

void TDataSet::PSExecute() { Error("Execute not supported"); }

// ---- the connection ---------------------------------------------------------------------

TCustomConnection::~TCustomConnection() {
  auto clients = clients_;
  clients_.clear();
  for (TDataSet* d : clients) {
    std::erase(d->connections_, this);
    if (auto* c = dynamic_cast<TConnectionClient*>(d)) c->ConnectionGone(*this);
  }
}

void TCustomConnection::SetConnected(bool connected) {
  if (loading_) {
    streamedConnected_ = connected;
    return;
  }
  if (connected == GetConnected()) return;
  if (connected) {
    if (BeforeConnect) BeforeConnect(*this);
    DoConnect();
    SendConnectEvent(true);
    if (AfterConnect) AfterConnect(*this);
  } else {
    if (BeforeDisconnect) BeforeDisconnect(*this);
    SendConnectEvent(false);
    DoDisconnect();
    if (AfterDisconnect) AfterDisconnect(*this);
  }
}

void TCustomConnection::SendConnectEvent(bool connecting) {
  if (connecting) return;
  auto clients = clients_;
  for (TDataSet* d : clients) d->Close();
}

void TCustomConnection::RegisterClient(TDataSet& dataSet) {
  if (std::find(clients_.begin(), clients_.end(), &dataSet) != clients_.end()) return;
  clients_.push_back(&dataSet);
  dataSet.connections_.push_back(this);
}

void TCustomConnection::UnRegisterClient(TDataSet& dataSet) {
  std::erase(clients_, &dataSet);
  std::erase(dataSet.connections_, this);
}

void TCustomConnection::Loaded() {
  loading_ = false;
  if (streamedConnected_) {
    streamedConnected_ = false;
    SetConnected(true);
  }
}

void TCustomConnection::Assign(const TCustomConnection& source) {
  DatabaseError("Cannot assign a " + source.ClassName() + " to a " + ClassName());
}
