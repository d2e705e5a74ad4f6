// Opening, describing and reading of the MySQL datasets: the row cache, navigation,
// field values and blob streams. Statements, macros and posting are in
// mysql_dataset_write.cpp.
#include "mysql/components/mysql_dataset.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>

#include "mysql/sqltext/date_time.h"
#include "mysql/sqltext/splitter.h"
#include "mysql/sqltext/text_conv.h"
#include "platform/ui/messages.h"

namespace {

using mysql::SameText;

constexpr char kCustomTable[] = "MyDatasetCustomTable";

bool IsBlank(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

std::string_view Trim(std::string_view s) {
  const auto* ws = " \t\r\n";
  const auto b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

bool IsBlobCode(std::uint8_t type) { return type >= 249 && type <= 252; }
bool IsStringCode(std::uint8_t type) { return type == 15 || type == 253 || type == 254; }

// The members of an enumeration values text ("\"a\",\"b\""); a doubled quote inside an
// item stands for the single quote the server's type text had there.
std::vector<std::string> EnumMembers(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
      while (i < text.size() && text[i] != ',') ++i;
    } else {
      while (i < text.size() && text[i] != ',') item += text[i++];
    }
    out.push_back(std::move(item));
    if (i < text.size()) ++i;  // the ","
  }
  return out;
}

// The longest prefix of at most `limit` bytes that does not end inside a UTF-8 character.
std::size_t Utf8Cut(std::string_view s, std::size_t limit) {
  if (s.size() <= limit) return s.size();
  std::size_t cut = limit;
  // Step back over continuation bytes to the start of the character the limit falls in.
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

// The decimal text of the big-endian unsigned integer a BIT value is sent as.
std::string BitText(const char* bytes, unsigned long length) {
  std::uint64_t v = 0;
  for (unsigned long i = 0; i < length; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  return std::to_string(v);
}

// The screen cursor while statements run (UseCursor), back to normal however they end.
class BusyCursor {
 public:
  explicit BusyCursor(bool on) : on_(on) {
    if (on_) ui::current().setBusy(true);
  }
  ~BusyCursor() {
    if (on_) ui::current().setBusy(false);
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool on_;
};

// ---- the packed row: [u16 columns][u8 width][columns x width end offsets][bytes]; an
// end offset with its top bit set marks SQL NULL (the column's bytes are empty).
constexpr std::size_t kHeadFixed = 3;

std::uint32_t ReadOffset(const char* p, int width) {
  if (width == 2) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void WriteOffset(char* p, int width, std::uint32_t v) {
  if (width == 2) {
    const auto s = static_cast<std::uint16_t>(v);
    std::memcpy(p, &s, 2);
  } else {
    std::memcpy(p, &v, 4);
  }
}

std::uint32_t NullBit(int width) { return width == 2 ? 0x8000u : 0x80000000u; }

struct PackedView {
  const char* p;
  int Columns() const {
    std::uint16_t n;
    std::memcpy(&n, p, 2);
    return n;
  }
  int Width() const { return static_cast<unsigned char>(p[2]); }
  std::size_t HeadSize() const { return kHeadFixed + static_cast<std::size_t>(Columns() * Width()); }
  std::uint32_t End(int i) const {
    return ReadOffset(p + kHeadFixed + static_cast<std::size_t>(i * Width()), Width()) & ~NullBit(Width());
  }
  bool Null(int i) const {
    return (ReadOffset(p + kHeadFixed + static_cast<std::size_t>(i * Width()), Width()) & NullBit(Width())) != 0;
  }
  std::size_t Size() const { return HeadSize() + (Columns() ? End(Columns() - 1) : 0); }
  std::optional<std::string_view> Value(int i) const {
    if (i < 0 || i >= Columns() || Null(i)) return std::nullopt;
    const std::uint32_t begin = i ? End(i - 1) : 0;
    return std::string_view(p + HeadSize() + begin, End(i) - begin);
  }
};

// Packs `n` values (null pointer: NULL) into `out`, which is resized to fit.
template <typename Out>
void Pack(int n, const char* const* values, const unsigned long* lengths, Out&& allocate) {
  std::size_t total = 0;
  for (int i = 0; i < n; ++i)
    if (values[i]) total += lengths[i];
  if (n > 0xFFFF || total >= 0x80000000u) throw EDatabaseError("A row is too large to be held");
  const int width = total < 0x8000 ? 2 : 4;
  const std::size_t head = kHeadFixed + static_cast<std::size_t>(n * width);
  char* p = allocate(head + total);
  const auto columns = static_cast<std::uint16_t>(n);
  std::memcpy(p, &columns, 2);
  p[2] = static_cast<char>(width);
  std::uint32_t end = 0;
  for (int i = 0; i < n; ++i) {
    if (values[i]) {
      if (lengths[i]) std::memcpy(p + head + end, values[i], lengths[i]);
      end += static_cast<std::uint32_t>(lengths[i]);
      WriteOffset(p + kHeadFixed + static_cast<std::size_t>(i * width), width, end);
    } else {
      WriteOffset(p + kHeadFixed + static_cast<std::size_t>(i * width), width, end | NullBit(width));
    }
  }
}

}  // namespace

// ---- the row cache ----------------------------------------------------------------------

// Rows in fetch order, each one packed block. Row numbers start at 0; with
// rtUnidirectional the rows before `base_` have been let go.
class TMySQLDatasetBase::TRowCache {
 public:
  std::int64_t Count() const { return base_ + static_cast<std::int64_t>(rows_.size()); }
  const char* Row(std::int64_t row) const {
    if (row < base_ || row >= Count()) return nullptr;
    return rows_[static_cast<std::size_t>(row - base_)].get();
  }
  void Append(std::unique_ptr<char[]> row, bool keepOnlyNewest) {
    if (keepOnlyNewest && !rows_.empty()) {
      base_ += static_cast<std::int64_t>(rows_.size());
      rows_.clear();
    }
    rows_.push_back(std::move(row));
  }
  void Replace(std::int64_t row, std::unique_ptr<char[]> block) {
    rows_.at(static_cast<std::size_t>(row - base_)) = std::move(block);
  }
  void Insert(std::int64_t row, std::unique_ptr<char[]> block) {
    const std::int64_t at = std::clamp(row - base_, std::int64_t{0}, static_cast<std::int64_t>(rows_.size()));
    rows_.insert(rows_.begin() + at, std::move(block));
  }
  void Remove(std::int64_t row) {
    if (row < base_ || row >= Count()) return;
    rows_.erase(rows_.begin() + (row - base_));
  }
  static std::unique_ptr<char[]> Copy(const std::string& packed) {
    auto block = std::make_unique_for_overwrite<char[]>(packed.size());
    std::memcpy(block.get(), packed.data(), packed.size());
    return block;
  }

 private:
  std::int64_t base_ = 0;
  std::vector<std::unique_ptr<char[]>> rows_;
};

// ---- TRecInfo -----------------------------------------------------------------------------

TRecInfo& TRecInfo::operator=(const TRecInfo& other) {
  if (this == &other) return *this;
  packed_ = other.packed_;
  Calc = other.Calc;
  RowNumber = other.RowNumber;
  Flag = other.Flag;
  return *this;
}

void TRecInfo::Reset(int columns) {
  std::vector<const char*> none(static_cast<std::size_t>(columns), nullptr);
  Assign(columns, none.data(), nullptr);
}

int TRecInfo::ColumnCount() const { return packed_.empty() ? 0 : PackedView{packed_.data()}.Columns(); }

std::optional<std::string_view> TRecInfo::Value(int i) const {
  if (packed_.empty()) return std::nullopt;
  return PackedView{packed_.data()}.Value(i);
}

void TRecInfo::SetValue(int i, std::optional<std::string_view> value) {
  const int n = ColumnCount();
  if (i < 0 || i >= n) throw EDatabaseError("No column " + std::to_string(i) + " in the record");
  std::vector<std::string> keep(static_cast<std::size_t>(n));
  std::vector<const char*> values(static_cast<std::size_t>(n));
  std::vector<unsigned long> lengths(static_cast<std::size_t>(n));
  const PackedView view{packed_.data()};
  for (int c = 0; c < n; ++c) {
    const auto v = c == i ? value : view.Value(c);
    if (!v) continue;
    keep[static_cast<std::size_t>(c)].assign(v->data(), v->size());
    values[static_cast<std::size_t>(c)] = keep[static_cast<std::size_t>(c)].data();
    lengths[static_cast<std::size_t>(c)] = static_cast<unsigned long>(v->size());
  }
  Assign(n, values.data(), lengths.data());
}

void TRecInfo::Assign(int columns, const char* const* values, const unsigned long* lengths) {
  static const unsigned long kNoLength = 0;
  std::vector<unsigned long> zero;
  if (!lengths) {
    zero.assign(static_cast<std::size_t>(columns), kNoLength);
    lengths = zero.data();
  }
  Pack(columns, values, lengths, [this](std::size_t size) {
    packed_.resize(size);
    return packed_.data();
  });
}

// ---- TMySQLStringField ---------------------------------------------------------------------

namespace {
const TFieldInfo* InfoOf(const TField& field) {
  auto* ds = dynamic_cast<TMySQLDatasetBase*>(field.DataSet());
  const int col = field.FieldNo() - 1;
  if (!ds || col < 0 || col >= static_cast<int>(ds->FieldInfos().size())) return nullptr;
  return &ds->FieldInfos()[static_cast<std::size_t>(col)];
}
}  // namespace

TMySQLStringTypes TMySQLStringField::StringType() const {
  const TFieldInfo* info = InfoOf(*this);
  if (!info) return stNone;
  if (info->Type == 248 || (info->Flags & mysqlflag::kSet)) return stSet;
  if (info->Type == 247 || (info->Flags & mysqlflag::kEnum)) return stEnum;
  return stNormal;
}

mysql::TSBStringList TMySQLStringField::StringValues() const {
  mysql::TSBStringList list;
  if (const TFieldInfo* info = InfoOf(*this))
    for (auto& m : EnumMembers(info->EnumValues)) list.Add(std::move(m));
  return list;
}

// ---- construction and properties -------------------------------------------------------------

TMySQLDatasetBase::TMySQLDatasetBase(TMySQLDatasetOptions defaults)
    : options_(defaults), ownerThread_(std::this_thread::get_id()) {
  InitStatementLists();
}

bool TMySQLDatasetBase::ShowsCursor() const {
  // The screen cursor belongs to the thread that made the dataset, not to a background open.
  return UseCursor() && std::this_thread::get_id() == ownerThread_;
}

TMySQLDatasetBase::~TMySQLDatasetBase() {
  StopBackgroundThread();
  ReleaseHandle();
  if (server_) server_->UnRegisterClient(*this);
}

void TMySQLDatasetBase::SetServer(TMySQLServer* server) {
  if (server == server_) return;
  Close();
  ReleaseHandle();
  if (server_) server_->UnRegisterClient(*this);
  server_ = server;
  if (server_) server_->RegisterClient(*this);
}

void TMySQLDatasetBase::SetDatabaseName(const std::string& name) {
  if (name == databaseName_) return;
  Close();
  databaseName_ = name;
}

void TMySQLDatasetBase::SetTableName(const std::string& name) {
  if (name == tableName_) return;
  Close();
  tableName_ = name;
}

void TMySQLDatasetBase::SetOptions(TMySQLDatasetOptions options) {
  if (options.Contains(doSetToWord)) options.Include(doRetrieveFieldValues);
  if (options == options_) return;
  Close();
  // A change of sharing affects the handle the dataset holds.
  if (options.Contains(doShareConnection) != options_.Contains(doShareConnection)) ReleaseHandle();
  options_ = options;
}

void TMySQLDatasetBase::SetResultType(TMySQLResultOptions type) {
  if (type == resultType_) return;
  Close();
  resultType_ = type;
  if (type != rtLocal) SetOptions(options_ - doShareConnection);
}

void TMySQLDatasetBase::SetShareConnection(bool share) {
  if (share == ShareConnection()) return;
  Close();
  SetOptions(share ? options_ + doShareConnection : options_ - doShareConnection);
  if (share) resultType_ = rtLocal;
}

void TMySQLDatasetBase::SetCachedUpdates(bool cached) {
  if (cached == CachedUpdates()) return;
  if (!cached && Active()) Refresh();
  options_.Set(doCachedUpdates, cached);
}

void TMySQLDatasetBase::SetRawData(bool raw) {
  if (raw == RawData()) return;
  Close();
  options_.Set(doFieldsAsString, raw);
  FieldDefs().Clear();
}

bool TMySQLDatasetBase::ReadStoredBoolean(const std::string& name, bool value) {
  if (SameText(name, "AllFieldValues")) {
    options_.Set(doRetrieveFieldValues, value);
    return true;
  }
  if (SameText(name, "MacrosEnabled")) {
    options_.Set(doMacrosEnabled, value);
    return true;
  }
  return false;
}

const TFieldInfo* TMySQLDatasetBase::FindFieldInfo(std::string_view name) const {
  for (const auto& f : fieldInfos_)
    if (SameText(f.FieldName, name)) return &f;
  for (const auto& f : fieldInfos_)
    if (SameText(f.Name, name)) return &f;
  for (const auto& f : fieldInfos_)
    if (!f.Table.empty() && SameText(f.Table + "." + f.Name, name)) return &f;
  return nullptr;
}

void TMySQLDatasetBase::SetMasterSource(TDataSource* source) {
  for (TDataSource* s = source; s && s->DataSet(); s = s->DataSet()->MasterSource())
    if (s->DataSet() == this) Fail("Circular Reference");
  TDataSet::SetMasterSource(source);
}

void TMySQLDatasetBase::Loaded() { TDataSet::Loaded(); }

void TMySQLDatasetBase::ConnectionGone(TCustomConnection& connection) {
  if (&connection != server_) return;
  // The server's driver has closed every handle it opened.
  handle_ = nullptr;
  ownHandle_ = false;
  result_ = nullptr;
  server_ = nullptr;
}

// ---- connection and statements ------------------------------------------------------------

void TMySQLDatasetBase::Fail(const std::string& message) const {
  if (server_ && server_->DriverProperties()) server_->DriverProperties()->RaiseError(nullptr, -1, message);
  throw mysql::EMySQLError(message, -1);
}

mysql::TMySQLBase& TMySQLDatasetBase::Driver() const {
  if (!server_ || !server_->DriverProperties()) Fail("No dataset server selected for open");
  return *server_->DriverProperties();
}

std::uint32_t TMySQLDatasetBase::ServerVer() const { return server_ ? server_->ServerVer() : 0; }

void TMySQLDatasetBase::EnsureHandle() {
  if (!server_) Fail("No dataset server selected for open");
  if (!server_->Connected()) server_->Open();
  if (!server_->Connected()) Fail("Dataset server could not connect");
  if (ShareConnection()) {
    handle_ = server_->Handle();
    ownHandle_ = false;
  } else if (!handle_) {
    handle_ = server_->OpenHandle();
    ownHandle_ = true;
  }
  if (!handle_) Fail("No server connection");
  if (!cursorOpen_) server_->SelectDatabase(databaseName_, handle_);
}

void TMySQLDatasetBase::ReleaseHandle() {
  if (ownHandle_ && handle_ && server_) server_->CloseHandle(handle_);
  handle_ = nullptr;
  ownHandle_ = false;
}

void TMySQLDatasetBase::DrainResult() {
  if (result_) Driver().FreeResult(result_);
  result_ = nullptr;
}

mysql::TMySQLResult TMySQLDatasetBase::RunStatement(std::string statement) {
  lastStatement_ = statement;
  if (ServerVer() < 32200 && !statement.empty() && statement.back() == ';') statement.pop_back();
  mysql::TMySQLBase& driver = Driver();
  mysql::TMySQLResult result = driver.Query(handle_, statement);
  if (ServerVer() < 32112)
    lastInsertId_ = "0";
  else
    driver.InsertId(handle_, lastInsertId_);
  driver.AffectedRows(handle_, affectedRows_);
  lastInfo_ = driver.Info(handle_);
  return result;
}

void TMySQLDatasetBase::RunReadStatements() {
  if (sql_.Empty()) Fail("Must have SQL");
  BusyCursor busy(ShowsCursor());
  const std::vector<std::string> statements = mysql::SplitStatements(sql_.Lines(), options_.Contains(doSingleSQL));
  if (statements.empty()) Fail("Must have SQL");
  for (const std::string& text : statements) {
    std::string statement = options_.Contains(doMacrosEnabled) ? ExpandStatement(text) : text;
    bool go = true;
    if (OnExecSQL) OnExecSQL(*this, statement, go);
    if (!go) throw EAbort();
    DrainResult();
    result_ = RunStatement(statement);
  }
  ResetDescription();
  cache_ = std::make_unique<TRowCache>();
  if (result_) {
    exhausted_ = false;
    DescribeResult();
  } else {
    exhausted_ = true;
  }
}

void TMySQLDatasetBase::ResetDescription() {
  cache_.reset();
  fieldInfos_.clear();
  tableInfos_.clear();
  databases_.clear();
  primaryKeys_.clear();
  uniqueKeys_.clear();
  multipleKeys_.clear();
  bitColumns_.clear();
}

// ---- describing a result -------------------------------------------------------------------

std::string TMySQLDatasetBase::EffectiveDatabase() const {
  if (!databaseName_.empty()) return databaseName_;
  return server_ ? server_->DatabaseName() : std::string();
}

void TMySQLDatasetBase::DescribeResult() {
  mysql::TMySQLBase& driver = Driver();
  const std::uint32_t n = driver.NumFields(result_);
  boundColumns_ = static_cast<int>(n);
  std::vector<std::pair<std::string, std::string>> masterLinks = MasterLinks();
  for (std::uint32_t i = 0; i < n; ++i) {
    mysql::TMysqlField d;
    driver.FetchField(result_, d);
    TFieldInfo info;
    info.Name = d.name;
    info.OrgName = d.org_name.empty() ? d.name : d.org_name;
    // The server's internal temporary tables are no table one could write to.
    if (d.table.find('#') == std::string::npos) {
      info.Table = d.table;
      info.OrgTable = d.org_table.empty() ? d.table : d.org_table;
      info.Database = d.db;
    }
    info.Flags = d.flags;
    info.Bound = true;

    if (!info.Table.empty()) {
      TTableInfo* table = nullptr;
      for (auto& t : tableInfos_)
        if (t.Name == info.Table && t.Database == info.Database) table = &t;
      if (!table) {
        tableInfos_.push_back(TTableInfo{info.Table, info.OrgTable, info.Database, {}, {}, {}, {}});
        table = &tableInfos_.back();
      }
      if (info.Flags & mysqlflag::kPrimaryKey) table->PrimaryKeys.push_back(info.OrgName);
      if (info.Flags & mysqlflag::kUniqueKey) table->UniqueKeys.push_back(info.OrgName);
      if (info.Flags & mysqlflag::kMultipleKey) table->MultipleKeys.push_back(info.OrgName);
      if (!info.Database.empty() && info.Database.find('#') == std::string::npos) databases_.insert(info.Database);
    }

    info.Default = d.def;
    for (const auto& [detail, master] : masterLinks) {
      if (!SameText(detail, info.Name)) continue;
      TDataSet* m = MasterDataSet();
      if (m && m->Active() && !m->IsEmpty())
        if (TField* f = m->FindField(master); f && !f->IsNull()) info.Default = f->AsString();
    }
    if (OnDefaultValue && !info.Default.empty()) OnDefaultValue(*this, info.Name, info.Default, -1);

    info.ServerType = d.type;
    info.Type = d.type;
    info.Length = d.length;
    info.MaxLength = d.max_length;
    info.Decimals = d.decimals;
    if (info.Flags & mysqlflag::kEnum) info.Type = 247;
    if (info.Flags & mysqlflag::kSet) info.Type = 248;

    if (options_.Contains(do2KStrToMemo) && IsStringCode(info.Type) && info.Length > 2048) {
      info.Type = 252;
      info.Flags |= mysqlflag::kBlob;
    }
    if (IsBlobCode(info.Type)) info.Flags |= mysqlflag::kBlob;
    if (options_.Contains(doFieldsAsString) && !IsBlobCode(info.Type)) {
      info.Type = 253;
      info.Length = 255;
    }
    if (options_.Contains(doSmallMemoToStr) && (info.Flags & mysqlflag::kBlob) &&
        !(info.Flags & mysqlflag::kBinary) && info.Length <= 65536) {
      info.Type = 253;
      info.Flags &= ~mysqlflag::kBlob;
    }
    if (info.IsBit()) bitColumns_.push_back(static_cast<int>(i));
    fieldInfos_.push_back(std::move(info));
  }
  AddCustomColumns();
  NameColumns();
}

std::vector<std::pair<std::string, std::string>> TMySQLDatasetBase::MasterLinks() const {
  std::vector<std::pair<std::string, std::string>> links;
  std::string_view text = MasterFields();
  while (!text.empty()) {
    const auto semi = text.find(';');
    const std::string_view pair = Trim(text.substr(0, semi));
    text = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
    if (pair.empty()) continue;
    const auto eq = pair.find('=');
    if (eq == std::string_view::npos)
      links.emplace_back(std::string(pair), std::string(pair));
    else
      links.emplace_back(std::string(Trim(pair.substr(0, eq))), std::string(Trim(pair.substr(eq + 1))));
  }
  return links;
}

void TMySQLDatasetBase::AddCustomColumns() {
  for (int i = 0; i < customFieldDefs_.Count(); ++i) {
    const TFieldDef& def = customFieldDefs_[i];
    TFieldInfo info;
    info.Name = info.OrgName = def.Name;
    info.Table = info.OrgTable = kCustomTable;
    info.Bound = false;
    info.Type = info.ServerType = 253;
    info.Length = static_cast<std::uint32_t>(std::max(def.Size, 0));
    fieldInfos_.push_back(std::move(info));
  }
}

void TMySQLDatasetBase::NameColumns() {
  const std::string current = EffectiveDatabase();
  // The database part is left out only where it is the one statements run in, so a
  // name without it still means the same table.
  const bool oneDatabase =
      databases_.size() == 1 && !current.empty() && SameText(*databases_.begin(), current);
  const bool noDatabase = databases_.empty();
  const bool dropDatabase = oneDatabase || noDatabase;
  const auto join = [](std::initializer_list<std::string_view> parts, const char* sep) {
    std::string out;
    for (std::string_view p : parts) {
      if (p.empty()) continue;
      if (!out.empty()) out += sep;
      out += p;
    }
    return out;
  };
  for (auto& f : fieldInfos_) {
    const std::string db = dropDatabase ? std::string() : f.Database;
    const std::string qdb = db.empty() ? std::string() : server_->QuoteName(db);
    const std::string qtable = f.OrgTable.empty() ? std::string() : server_->QuoteName(f.OrgTable);
    f.QuotedName = join({qdb, qtable, server_->QuoteName(f.OrgName)}, ".");
    f.FullName = join({db, f.Table, f.OrgName}, ".");
  }
  for (auto& t : tableInfos_) {
    const bool keepDb = !t.Database.empty() && !dropDatabase;
    t.QuotedName = (keepDb ? server_->QuoteName(t.Database) + "." : std::string()) + server_->QuoteName(t.OrgName);
  }

  // Field names: the column name, or the qualified name where several share one.
  const std::size_t n = fieldInfos_.size();
  for (std::size_t i = 0; i < n; ++i) {
    auto& f = fieldInfos_[i];
    bool shared = false;
    for (std::size_t j = 0; j < n && !shared; ++j)
      shared = j != i && SameText(fieldInfos_[j].Name, f.Name);
    f.FieldName = shared ? join({dropDatabase ? std::string() : f.Database, f.Table, f.Name}, ".") : f.Name;
  }
  for (std::size_t i = 0; i < n; ++i) {
    bool clash = false;
    for (std::size_t j = 0; j < i && !clash; ++j) clash = SameText(fieldInfos_[j].FieldName, fieldInfos_[i].FieldName);
    if (clash) fieldInfos_[i].FieldName += "_" + std::to_string(i + 1);
  }

  for (const auto& f : fieldInfos_) {
    if (!f.Bound || f.Table.empty()) continue;
    if (f.Flags & mysqlflag::kPrimaryKey) primaryKeys_ += f.FullName + ",";
    if (f.Flags & mysqlflag::kUniqueKey) uniqueKeys_ += f.FullName + ",";
    if (f.Flags & mysqlflag::kMultipleKey) multipleKeys_ += f.FullName + ",";
  }
  for (std::string* list : {&primaryKeys_, &uniqueKeys_, &multipleKeys_})
    if (!list->empty()) list->pop_back();
}

// ---- fetching -------------------------------------------------------------------------------

bool TMySQLDatasetBase::FetchOne() {
  if (!result_ || exhausted_) return false;
  mysql::TMySQLBase& driver = Driver();
  mysql::TMySQLRow row = driver.FetchRow(result_);
  if (!row) {
    // A read that failed ends the rows too; it must not pass for the end of the data.
    const std::int32_t error = driver.ErrorNumber(handle_);
    driver.FreeResult(result_);
    result_ = nullptr;
    exhausted_ = true;
    if (error != 0) driver.RaiseError(handle_, error, "");
    EndOfData();
    return false;
  }
  const unsigned long* lengths = driver.FetchLengths(result_);
  const int columns = static_cast<int>(fieldInfos_.size());
  const int bound = boundColumns_;
  const std::int64_t number = cache_->Count();

  const char* const* values = row;
  std::vector<const char*> patched;
  std::vector<unsigned long> patchedLengths;
  std::vector<std::string> texts;
  const bool custom = columns != bound || OnCustomValue;
  if (custom || !bitColumns_.empty()) {
    patched.assign(static_cast<std::size_t>(columns), nullptr);
    patchedLengths.assign(static_cast<std::size_t>(columns), 0);
    texts.resize(static_cast<std::size_t>(columns));
    for (int i = 0; i < bound; ++i) {
      patched[static_cast<std::size_t>(i)] = row[i];
      patchedLengths[static_cast<std::size_t>(i)] = lengths[i];
    }
    for (int i : bitColumns_) {
      if (!row[i]) continue;
      auto& t = texts[static_cast<std::size_t>(i)];
      t = BitText(row[i], lengths[i]);
      patched[static_cast<std::size_t>(i)] = t.data();
      patchedLengths[static_cast<std::size_t>(i)] = t.size();
    }
    if (OnCustomValue) {
      for (int i = 0; i < columns; ++i) {
        if (patched[static_cast<std::size_t>(i)]) continue;
        auto& t = texts[static_cast<std::size_t>(i)];
        t.clear();
        OnCustomValue(*this, fieldInfos_[static_cast<std::size_t>(i)].Name, t, number);
        if (t.empty()) continue;
        patched[static_cast<std::size_t>(i)] = t.data();
        patchedLengths[static_cast<std::size_t>(i)] = t.size();
      }
    }
    values = patched.data();
    lengths = patchedLengths.data();
  }
  std::unique_ptr<char[]> block;
  Pack(columns, values, lengths, [&block](std::size_t size) {
    block = std::make_unique_for_overwrite<char[]>(size);
    return block.get();
  });
  cache_->Append(std::move(block), resultType_ == rtUnidirectional);
  return true;
}

void TMySQLDatasetBase::EndOfData() {
  if (options_.Contains(doRetrieveFieldValues)) RetrieveFieldValues();
  IndexDefs().Clear();
  if (options_.Contains(doRetrieveIndexDefs) && !fieldInfos_.empty() && tableInfos_.size() == 1) RetrieveIndexDefs();
}

// The rows of a statement run on the dataset's handle, each as its column texts.
std::vector<std::vector<std::optional<std::string>>> TMySQLDatasetBase::QueryRows(const std::string& statement) {
  mysql::TMySQLBase& driver = Driver();
  std::vector<std::vector<std::optional<std::string>>> rows;
  mysql::TMySQLResult r = driver.Query(handle_, statement);
  if (!r) return rows;
  try {
    const std::uint32_t n = driver.NumFields(r);
    while (mysql::TMySQLRow row = driver.FetchRow(r)) {
      const unsigned long* lengths = driver.FetchLengths(r);
      auto& out = rows.emplace_back(n);
      for (std::uint32_t i = 0; i < n; ++i)
        if (row[i]) out[i] = std::string(row[i], lengths[i]);
    }
    const std::int32_t error = driver.ErrorNumber(handle_);
    driver.FreeResult(r);
    if (error != 0) driver.RaiseError(handle_, error, "");
  } catch (...) {
    if (r) driver.FreeResult(r);
    throw;
  }
  return rows;
}

void TMySQLDatasetBase::RetrieveFieldValues() {
  for (const TTableInfo& table : tableInfos_) {
    for (const auto& row : QueryRows("show columns from " + table.QuotedName)) {
      if (row.size() < 5 || !row[0]) continue;
      // The column of this table with that name (the alias may differ).
      TFieldInfo* info = nullptr;
      for (auto& f : fieldInfos_)
        if (f.Bound && f.Table == table.Name && f.Database == table.Database && SameText(f.OrgName, *row[0])) info = &f;
      if (!info) continue;
      const bool enumOrSet = info->Type == 247 || info->Type == 248;
      if (!enumOrSet || !row[1]) {
        if (info->Default.empty() && row[4]) {
          info->Default = *row[4];
          if (OnDefaultValue) OnDefaultValue(*this, info->Name, info->Default, -1);
        }
        continue;
      }
      const std::string& type = *row[1];
      const auto open = type.find('(');
      const auto close = type.rfind(')');
      if (open == std::string::npos || close == std::string::npos || close < open) continue;
      std::string values = type.substr(open + 1, close - open - 1);
      std::replace(values.begin(), values.end(), '\'', '"');
      info->EnumValues = values;
      if (info->Type == 248 && options_.Contains(doSetToWord)) {
        const std::vector<std::string> members = EnumMembers(values);
        const auto mask = [&members](std::string_view text) {
          std::uint64_t m = 0;
          std::size_t start = 0;
          while (start <= text.size()) {
            const auto comma = text.find(',', start);
            const std::string_view item = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
            for (std::size_t k = 0; k < members.size() && k < 64; ++k)
              if (SameText(members[k], item)) m |= std::uint64_t{1} << k;
            if (comma == std::string_view::npos) break;
            start = comma + 1;
          }
          return std::to_string(m);
        };
        const int col = static_cast<int>(info - fieldInfos_.data());
        for (std::int64_t r = 0; r < cache_->Count(); ++r) {
          const char* block = cache_->Row(r);
          if (!block) continue;
          TRecInfo rec;
          rec.SetPacked(std::string_view(block, PackedView{block}.Size()));
          const auto v = rec.Value(col);
          if (!v) continue;
          rec.SetValue(col, mask(*v));
          cache_->Replace(r, TRowCache::Copy(rec.Packed()));
        }
        info->Default = row[4] ? mask(*row[4]) : "0";
      }
    }
  }
}

void TMySQLDatasetBase::RetrieveIndexDefs() {
  for (const auto& row : QueryRows("show index from " + tableInfos_.front().QuotedName)) {
    if (row.size() < 5 || !row[1] || !row[2] || !row[4]) continue;
    TIndexDef* def = IndexDefs().Find(*row[2]);
    if (!def) def = &IndexDefs().Add(*row[2], "", {});
    def->Fields += (def->Fields.empty() ? "" : ";") + *row[4];
    if (SameText(*row[2], "PRIMARY")) def->Options.Include(ixPrimary);
    if (*row[1] == "0") def->Options.Include(ixUnique);
  }
}

// ---- field definitions ---------------------------------------------------------------------

TFieldType TMySQLDatasetBase::FieldTypeOf(const TFieldInfo& f, int& size) const {
  size = 0;
  const bool isUnsigned = (f.Flags & mysqlflag::kUnsigned) != 0;
  switch (f.Type) {
    case 0: case 4: case 5: case 246: return ftFloat;
    case 1:
      if (options_.Contains(doTinyIntToBool)) return ftBoolean;
      return isUnsigned ? ftWord : ftSmallint;
    case 2: return isUnsigned ? ftWord : ftSmallint;
    case 3: return isUnsigned ? ftLargeint : ftInteger;
    case 6: return ftVariant;
    case 7: case 12: case 14: return ftDateTime;
    case 8:
      if (isUnsigned) {
        size = 20;
        return ftString;
      }
      return ftLargeint;
    case 9: return ftInteger;
    case 10: return ftDate;
    case 11: return ftTime;
    case 13: return ftWord;
    case 15: case 253: case 254:
      size = static_cast<int>(f.Length);
      return ftString;
    case 16:
      if (ServerVer() >= 50003) {
        if (f.Length < 3) return ftWord;
        if (f.Length <= 4) return ftInteger;
        size = 20;
        return ftString;
      }
      return ftBoolean;
    case 247:
      if (options_.Contains(doEnumToBool) && EnumMembers(f.EnumValues).size() == 2 && !f.EnumValues.empty())
        return ftBoolean;
      size = static_cast<int>(f.Length);
      return ftString;
    case 248:
      if (options_.Contains(doSetToWord)) return ftWord;
      size = static_cast<int>(f.Length);
      return ftString;
    case 249: case 250: case 251: case 252:
      size = static_cast<int>(std::min<std::uint32_t>(f.Length, std::numeric_limits<int>::max()));
      return (f.Flags & mysqlflag::kBinary) ? ftBlob : ftMemo;
    default: return ftUnknown;
  }
}

void TMySQLDatasetBase::InternalInitFieldDefs() {
  for (const TFieldInfo& f : fieldInfos_) {
    int size = 0;
    TFieldType type = FieldTypeOf(f, size);
    bool readOnly = false;
    bool calc = false;
    if (f.Table.empty() && !options_.Contains(doEditCalcFields)) {
      readOnly = true;
      calc = true;
    }
    if (!RawData() && (f.Flags & mysqlflag::kAutoIncrement)) {
      type = ftAutoInc;
      readOnly = true;
    }
    const bool required = (f.Flags & mysqlflag::kNotNull) && type != ftAutoInc && !readOnly;
    TFieldDef& def = FieldDefs().Add(f.FieldName, type, size, required);
    def.Attributes.Set(faReadonly, readOnly);
    def.InternalCalcField = calc;
    if (type == ftFloat) def.Precision = static_cast<int>(f.Decimals);
  }
}

std::unique_ptr<TField> TMySQLDatasetBase::CreateFieldObject(TFieldType type, int size) {
  if (type == ftString || type == ftFixedChar || type == ftWideString)
    return std::make_unique<TMySQLStringField>(size, type);
  return TDataSet::CreateFieldObject(type, size);
}

// ---- open, close, refresh -----------------------------------------------------------------

void TMySQLDatasetBase::InternalOpen() {
  try {
    EnsureHandle();
  } catch (...) {
    ReleaseHandle();
    throw;
  }
  cursorOpen_ = true;
  if (options_.Contains(doAutoCreate) && !tableName_.empty()) CreateTableScript(true);
  if (!cache_) RunReadStatements();
  position_ = -1;
  if (resultType_ == rtLocal) FetchAll();
  InitFieldDefs();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  for (int i = 0; i < FieldCount(); ++i) {
    TField& f = Fields(i);
    const int col = ColumnOf(f);
    f.Origin = col >= 0 ? fieldInfos_[static_cast<std::size_t>(col)].QuotedName : f.FieldName;
  }
}

void TMySQLDatasetBase::FetchAll() {
  BusyCursor busy(ShowsCursor());
  while (FetchOne()) {
  }
}

void TMySQLDatasetBase::InternalClose() {
  std::exception_ptr failure;
  try {
    SendCachedUpdates();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    DrainResult();
  } catch (...) {
    if (!failure) failure = std::current_exception();
    result_ = nullptr;
  }
  cache_.reset();
  editCopy_.reset();
  position_ = -1;
  exhausted_ = true;
  ResetDescription();
  ReleaseHandle();
  cursorOpen_ = false;
  PostingClosed();
  if (failure) std::rethrow_exception(failure);
}

void TMySQLDatasetBase::ReRunStatements() {
  SendCachedUpdates();
  if (!server_) return;
  const std::size_t columns = fieldInfos_.size();
  // The rows are read again from the start; the row the cursor was on is fetched again.
  DrainResult();
  cache_.reset();
  RunReadStatements();
  if (resultType_ == rtLocal) FetchAll();
  if (fieldInfos_.size() != columns) {
    Close();
    Fail("Columns have changed. Please close and reopen.");
  }
}

void TMySQLDatasetBase::InternalRefresh() {
  try {
    ReRunStatements();
  } catch (...) {
    // Half a description is no state to browse in: a failed refresh closes, as a failed
    // open leaves the dataset closed.
    if (Active()) CloseQuietly();
    throw;
  }
}

// ---- the row cache for the posting side -----------------------------------------------------

std::int64_t TMySQLDatasetBase::CachedRowCount() const { return cache_ ? cache_->Count() : 0; }

TRecInfo* TMySQLDatasetBase::CachedRow(std::int64_t row) {
  const char* block = cache_ ? cache_->Row(row) : nullptr;
  if (!block) return nullptr;
  scratchRow_.SetPacked(std::string_view(block, PackedView{block}.Size()));
  scratchRow_.RowNumber = row;
  scratchRow_.Flag = bfCurrent;
  return &scratchRow_;
}

void TMySQLDatasetBase::StoreCachedRow(std::int64_t row, const TRecInfo& record) {
  if (!cache_ || !cache_->Row(row)) return;
  cache_->Replace(row, TRowCache::Copy(record.Packed()));
}

void TMySQLDatasetBase::InsertCachedRow(std::int64_t row, const TRecInfo& record) {
  if (!cache_) return;
  cache_->Insert(row, TRowCache::Copy(record.Packed()));
}

void TMySQLDatasetBase::RemoveCachedRow(std::int64_t row) {
  if (cache_) cache_->Remove(row);
}

int TMySQLDatasetBase::ColumnOf(const TField& field) const {
  const int col = field.FieldNo() - 1;
  return col >= 0 && col < static_cast<int>(fieldInfos_.size()) ? col : -1;
}

// ---- record buffers and navigation -----------------------------------------------------------

std::unique_ptr<TRecordBuffer> TMySQLDatasetBase::AllocRecordBuffer() { return std::make_unique<TRecInfo>(); }

void TMySQLDatasetBase::InternalInitRecord(TRecordBuffer& buffer) {
  auto& rec = static_cast<TRecInfo&>(buffer);
  rec.Reset(static_cast<int>(fieldInfos_.size()));
  rec.Calc.assign(static_cast<std::size_t>(CalcFieldCount()), TFieldValue{});
  rec.RowNumber = -1;
  rec.Flag = bfCurrent;
}

void TMySQLDatasetBase::ClearCalcFields(TRecordBuffer& buffer) {
  auto& rec = static_cast<TRecInfo&>(buffer);
  rec.Calc.assign(static_cast<std::size_t>(CalcFieldCount()), TFieldValue{});
}

TGetResult TMySQLDatasetBase::GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) {
  if (!cache_) return grEOF;
  // Fetch only what the step needs: a read-ahead would let go of the current row
  // under rtUnidirectional.
  if (mode == gmNext) {
    while (position_ + 1 >= cache_->Count() && FetchOne()) {
    }
  } else if (mode == gmCurrent) {
    while (position_ >= cache_->Count() && FetchOne()) {
    }
  }
  const std::int64_t count = cache_->Count();
  if (count == 0) return grEOF;
  if (position_ > count) position_ = count;
  switch (mode) {
    case gmCurrent:
      if (position_ < 0 || position_ >= count) {
        if (doCheck) DatabaseError("No Records");
        return grError;
      }
      break;
    case gmNext:
      if (position_ >= count - 1) return grEOF;
      ++position_;
      break;
    case gmPrior:
      if (position_ >= count) {
        position_ = count - 1;
      } else if (position_ <= 0) {
        return grBOF;
      } else if (resultType_ != rtUnidirectional) {
        --position_;
      }
      break;
  }
  const char* block = cache_->Row(position_);
  if (!block) {
    // Only rtUnidirectional lets rows go; they cannot be visited again.
    Error("Row " + std::to_string(position_ + 1) + " is no longer held: a dataset with rtUnidirectional reads forward only");
  }
  auto& rec = static_cast<TRecInfo&>(buffer);
  rec.SetPacked(std::string_view(block, PackedView{block}.Size()));
  rec.RowNumber = position_;
  rec.Flag = bfCurrent;
  rec.Calc.assign(static_cast<std::size_t>(CalcFieldCount()), TFieldValue{});
  CalculateFields(buffer);
  return grOK;
}

std::int64_t TMySQLDatasetBase::GetRecordCount() {
  if (!cache_ || !Active()) return 0;
  return resultType_ == rtLocal || exhausted_ ? cache_->Count() : cache_->Count() + 1;
}

TBookmark TMySQLDatasetBase::GetBookmarkData(const TRecordBuffer& buffer) {
  return static_cast<const TRecInfo&>(buffer).RowNumber;
}
void TMySQLDatasetBase::SetBookmarkData(TRecordBuffer& buffer, TBookmark bookmark) {
  static_cast<TRecInfo&>(buffer).RowNumber = bookmark;
}
TBookmarkFlag TMySQLDatasetBase::GetBookmarkFlag(const TRecordBuffer& buffer) {
  return static_cast<const TRecInfo&>(buffer).Flag;
}
void TMySQLDatasetBase::SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) {
  static_cast<TRecInfo&>(buffer).Flag = flag;
}
void TMySQLDatasetBase::InternalGotoBookmark(TBookmark bookmark) { position_ = bookmark; }
bool TMySQLDatasetBase::BookmarkValid(TBookmark bookmark) {
  return Active() && cache_ && cache_->Row(bookmark) != nullptr;
}
void TMySQLDatasetBase::InternalFirst() { position_ = -1; }
void TMySQLDatasetBase::InternalLast() {
  if (cache_) {
    FetchAll();
    position_ = cache_->Count();
  }
}

// ---- field values -----------------------------------------------------------------------------

namespace {
bool IsTextType(TFieldType t) { return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo || t == ftFmtMemo; }
}  // namespace

std::optional<std::string_view> TMySQLDatasetBase::ColumnValue(const TField& field, int col) const {
  const auto v = ActiveRec().Value(col);
  if (!v) return std::nullopt;
  // Text keeps every byte; other types read blanks as no value, as does a blob without bytes.
  const TFieldType type = field.DataType();
  if (IsTextType(type)) return v;
  if (IsBlobType(type)) return v->empty() ? std::nullopt : v;
  if (IsBlank(*v)) return std::nullopt;
  return v;
}

bool TMySQLDatasetBase::GetFieldData(TField& field, TFieldValue& value) {
  if (field.FieldKind() == fkCalculated) {
    auto& calc = ActiveRec().Calc;
    const auto i = static_cast<std::size_t>(field.CalcIndex());
    value = i < calc.size() ? calc[i] : TFieldValue{};
    return !IsNull(value);
  }
  const int col = ColumnOf(field);
  if (col < 0) return false;
  const auto v = ColumnValue(field, col);
  if (!v) return false;
  const TFieldInfo& info = fieldInfos_[static_cast<std::size_t>(col)];
  const std::string_view t = Trim(*v);
  switch (field.DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
      value = mysql::TextToInt64(t).value_or(0);
      return true;
    case ftBoolean:
      if (info.Type == 247) {
        const auto members = EnumMembers(info.EnumValues);
        value = !members.empty() && SameText(*v, members.front());
      } else {
        value = mysql::TextToInt64(t).value_or(0) != 0;
      }
      return true;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
      value = mysql::TextToFloat(t).value_or(0.0);
      return true;
    case ftDate:
      value = mysql::ReadDate(t);
      return true;
    case ftTime:
      value = mysql::ReadTime(t);
      return true;
    case ftDateTime:
    case ftTimeStamp:
      value = info.ServerType == 7 && ServerVer() < 40100 ? mysql::ReadCompactDateTime(t) : mysql::ReadDateTime(t);
      return true;
    default:
      value = std::string(*v);
      return true;
  }
}

bool TMySQLDatasetBase::GetFieldText(const TField& field, std::string& text) {
  if (field.FieldKind() == fkCalculated) return false;
  const int col = ColumnOf(field);
  if (col < 0 || !ActiveRecordBuffer()) return false;
  // ENUM booleans and the like: the server's text is the value (nothing is lost).
  const auto v = ColumnValue(field, col);
  if (!v) {
    text.clear();
    return true;
  }
  text.assign(v->data(), v->size());
  return true;
}

std::optional<std::string> TMySQLDatasetBase::ValueToText(const TField& field, const TFieldInfo& info,
                                                           const TFieldValue& value) const {
  if (IsNull(value)) return std::nullopt;
  switch (field.DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString: {
      const std::string& s = std::get<std::string>(value);
      const std::size_t limit = info.Length;
      if (s.size() <= limit || limit == 0) return s;
      // Never cut a character of a text column in two; binary columns take bytes.
      return s.substr(0, (info.Flags & mysqlflag::kBinary) ? limit : Utf8Cut(s, limit));
    }
    case ftBoolean: {
      const bool b = std::get<bool>(value);
      if (info.Type == 247) {
        const auto members = EnumMembers(info.EnumValues);
        if (members.size() >= 2) return b ? members[0] : members[1];
      }
      return std::string(b ? "1" : "0");
    }
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint: return std::to_string(std::get<std::int64_t>(value));
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd: return mysql::FloatToText(std::get<double>(value));
    case ftDate: return mysql::FormatDate(std::get<TDateTime>(value));
    case ftTime: return mysql::FormatTime(std::get<TDateTime>(value));
    case ftDateTime:
    case ftTimeStamp: {
      const TDateTime& t = std::get<TDateTime>(value);
      return info.ServerType == 7 && ServerVer() < 40100 ? mysql::FormatCompactDateTime(t) : mysql::FormatDateTime(t);
    }
    default:
      if (auto* s = std::get_if<std::string>(&value)) return *s;
      return std::nullopt;
  }
}

void TMySQLDatasetBase::SetFieldData(TField& field, const TFieldValue& value) {
  TRecInfo& rec = ActiveRec();
  if (field.FieldKind() == fkCalculated) {
    const auto i = static_cast<std::size_t>(field.CalcIndex());
    if (rec.Calc.size() <= i) rec.Calc.resize(i + 1);
    rec.Calc[i] = value;
    return;
  }
  const int col = ColumnOf(field);
  if (col < 0) return;
  TFieldInfo& info = fieldInfos_[static_cast<std::size_t>(col)];
  const std::optional<std::string> text = ValueToText(field, info, value);
  rec.SetValue(col, text ? std::optional<std::string_view>(*text) : std::nullopt);
  info.Modified = info.Bound;
  // The cache shows an edit at once.
  if (State() == dsEdit && cache_ && cache_->Row(position_)) {
    TRecInfo* cached = CachedRow(position_);
    cached->SetValue(col, text ? std::optional<std::string_view>(*text) : std::nullopt);
    StoreCachedRow(position_, *cached);
  }
}

// ---- blob streams --------------------------------------------------------------------------

std::unique_ptr<TStream> TMySQLDatasetBase::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  CheckActive();
  return std::make_unique<TMySQLBlobStream>(*this, field, mode);
}

std::string TMySQLBlobStream::Initial(TMySQLDatasetBase& dataset, TField& field, TBlobStreamMode mode) {
  const int col = dataset.ColumnOf(field);
  if (mode != bmRead) {
    const bool modified = col >= 0 && dataset.fieldInfos_[static_cast<std::size_t>(col)].Modified;
    if (!modified) {
      if (field.ReadOnly) dataset.Fail("Field is readonly");
      if (dataset.State() != dsEdit && dataset.State() != dsInsert) dataset.Fail("Dataset not in edit or insert mode");
    }
  }
  if (col < 0 || mode == bmWrite) return {};
  // While editing, the buffer is the record; otherwise the cached row is.
  std::optional<std::string_view> v;
  if (dataset.State() == dsEdit || dataset.State() == dsInsert) {
    v = dataset.ActiveRec().Value(col);
  } else if (TRecInfo* cached = dataset.CachedRow(dataset.Position())) {
    v = cached->Value(col);
  } else {
    v = dataset.ActiveRec().Value(col);
  }
  return v ? std::string(*v) : std::string();
}

TMySQLBlobStream::TMySQLBlobStream(TMySQLDatasetBase& dataset, TField& field, TBlobStreamMode mode)
    : TBytesStream(mode, Initial(dataset, field, mode)), dataset_(dataset), field_(field) {
  const int col = dataset_.ColumnOf(field_);
  if (mode == bmWrite && col >= 0) {
    // Writing starts from an empty field.
    dataset_.ActiveRec().SetValue(col, std::string_view());
    MarkWritten();
  }
}

TMySQLBlobStream::~TMySQLBlobStream() {
  if (!Wrote()) return;
  try {
    const int col = dataset_.ColumnOf(field_);
    if (col < 0) return;
    dataset_.ActiveRec().SetValue(col, std::string_view(Bytes()));
    auto& info = dataset_.fieldInfos_[static_cast<std::size_t>(col)];
    info.Modified = info.Bound;
    if (dataset_.State() == dsEdit && dataset_.CachedRow(dataset_.Position()))
      dataset_.StoreCachedRow(dataset_.Position(), dataset_.ActiveRec());
    dataset_.FieldChanged(field_);
  } catch (...) {
    // A destructor must not throw; the bytes stay in the record buffer.
  }
}

// ---- the two classes ----------------------------------------------------------------------------

TMySQLDataset::TMySQLDataset() : TMySQLDatasetBase(kDefaultOptions) {}
TMySQLDataset::~TMySQLDataset() {
  StopBackgroundThread();
  CloseQuietly();
}
TMySQLTable::TMySQLTable() : TMySQLDatasetBase(kDefaultOptions) {}
TMySQLTable::~TMySQLTable() {
  StopBackgroundThread();
  CloseQuietly();
}

void TMySQLDatasetBase::CloseQuietly() noexcept {
  try {
    Close();
  } catch (...) {
    // Destruction cannot report; postponed statements that could not be sent are lost.
  }
}
