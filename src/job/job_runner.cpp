#include "job/job_runner.h"

#include <locale.h>
#include <wctype.h>

#include <cctype>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/fill_order.h"
#include "job/log_time.h"
#include "job/process_state.h"
#include "platform/text/text.h"
#include "sqlgen/quoting.h"
#include "sqlgen/source_row.h"
#include "sqlgen/statements.h"

namespace job {

namespace {
constexpr const char* kCannotCreate = "Cannot create [";
}

bool IsCannotCreateLine(std::string_view line) {
  const auto at = line.find(kCannotCreate);  // as the create phase writes it
  // The timestamp and " : " come first.
  return at != std::string_view::npos && at >= 3 && line.substr(at - 3, 3) == " : " &&
         line.substr(0, at - 3).find(" : ") == std::string_view::npos;
}

namespace {

// The name with every letter in lower case, Unicode letters too: destinations that
// ignore case do so beyond ASCII (Ü and ü are one table name in SQL Server).
// Bytes that are no UTF-8 stand for themselves.
std::u32string FoldedName(std::string_view name) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  std::u32string out;
  for (std::size_t i = 0; i < name.size();) {
    const auto b = static_cast<unsigned char>(name[i]);
    const std::size_t n = b < 0x80         ? 1
                          : (b >> 5) == 6  ? 2
                          : (b >> 4) == 14 ? 3
                          : (b >> 3) == 30 ? 4
                                           : 0;
    char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    bool valid = n != 0 && i + n <= name.size();
    for (std::size_t k = 1; valid && k < n; ++k) {
      const auto cont = static_cast<unsigned char>(name[i + k]);
      valid = (cont & 0xC0) == 0x80;
      c = (c << 6) | (cont & 0x3F);
    }
    if (!valid) {
      out.push_back(0x110000 + b);  // outside Unicode: never equal to a letter
      ++i;
      continue;
    }
    out.push_back(utf8 ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8))
                       : static_cast<char32_t>(c < 0x80 ? std::tolower(static_cast<int>(c)) : c));
    i += n;
  }
  return out;
}

bool SameDestName(std::string_view a, std::string_view b) {
  return FoldedName(a) == FoldedName(b);
}

// "YYYY-MM-DD..." with a zero month or day: a MySQL zero date, which arrives as text.
bool IsZeroDateText(const ado::Variant& v) {
  if (v.kind() != ado::VariantKind::Text) return false;
  const std::string& t = v.asText();
  return t.size() >= 10 && t[4] == '-' && t[7] == '-' &&
         ((t[5] == '0' && t[6] == '0') || (t[8] == '0' && t[9] == '0'));
}

bool IsDateColumn(const TCorvaneField* f) {
  // adDate, adDBDate, adDBTimeStamp.
  return f && (f->DataType == 7 || f->DataType == 133 || f->DataType == 135);
}

// The source query's current row as the pass writes it: by column, or by name for the
// statement builders. Toward a destination that holds no zero dates, a zero date in a
// date column reads as null, and each such column is noted once per pass.
class TPassRow : public TSourceRow {
 public:
  TPassRow(const ado::Recordset& rs, const TCorvaneObject& object, bool zeroDatesAsNull)
      : rs_(rs) {
    const int count = rs.fieldCount();
    nullZeroDates_.assign(count, false);
    noted_.assign(count, false);
    if (zeroDatesAsNull)
      for (int i = 0; i < count; ++i) nullZeroDates_[i] = IsDateColumn(object.FindField(rs.fieldName(i)));
  }

  const ado::Variant& value(int i) const {
    const ado::Variant& v = rs_.value(i);
    if (!nullZeroDates_[i] || !IsZeroDateText(v)) return v;
    if (!noted_[i]) {
      noted_[i] = true;
      newlyNoted_.push_back(i);
    }
    return null_;
  }

  // Columns whose first zero date was read since the last call.
  std::vector<int> TakeNewlyNoted() {
    std::vector<int> out;
    out.swap(newlyNoted_);
    return out;
  }

  int IndexOf(std::string_view name) const { return rs_.fieldIndex(name); }
  // True when a zero date in column i reads as null.
  bool NullsZeroDates(int i) const { return nullZeroDates_[static_cast<std::size_t>(i)]; }

  const ado::Variant& FieldValue(std::string_view name) const override {
    // The builders ask for the columns in catalogue order, which is nearly always the
    // query's column order: try the column after the last one found first.
    const int count = rs_.fieldCount();
    if (hint_ >= count) hint_ = 0;  // the next row starts again at the first column
    if (hint_ < count && text::EqualsNoCase(rs_.fieldName(hint_), name)) return value(hint_++);
    const int i = rs_.fieldIndex(name);
    if (i < 0) return null_;
    hint_ = i + 1;
    return value(i);
  }

 private:
  const ado::Recordset& rs_;
  std::vector<bool> nullZeroDates_;
  mutable std::vector<bool> noted_;
  mutable std::vector<int> newlyNoted_;
  mutable int hint_ = 0;
  ado::Variant null_;
};

class TRunner {
 public:
  TRunner(const TProjectSettings& settings, ado::Connection& source, ado::Connection& dest,
          TCorvane& catalogue, TJobView& view)
      : s_(settings), source_(source), dest_(dest), catalogue_(catalogue), view_(view) {}

  TJobTotals Run();

  // The pass-specific parts of RowPass.
  class TRowWriter;
  class TTransferWriter;
  class TUpdateWriter;

 private:
  void Log(const std::string& text, TLogColor color = kDefaultColor) {
    view_.AddLogLine(text, color);
  }
  void Script(const std::string& text) {
    if (s_.SaveScripts) view_.AddScriptLine(text);
  }
  static std::string Ts() { return LogTimestamp() + " : "; }
  // An error line that ends up in ErrorLog too.
  void ErrorLine(const std::string& text) {
    Log(Ts() + text, kRed);
    ErrorLog.push_back(text);
  }

  // Objects whose destination name, or two of whose columns' names, collide with
  // another's; each is logged once. The rest go on in their order.
  std::vector<TCorvaneObject*> WithoutCollisions(const std::vector<TCorvaneObject*>& chosen);
  bool DestNamesMatchCase();
  std::vector<TFillGroup> TableOrder(const std::vector<TCorvaneObject*>& tables);
  void Tables(const std::vector<TCorvaneObject*>& tables);
  void Views(const std::vector<TCorvaneObject*>& views);
  void ObjectPhases(TCorvaneObject& object);
  // True when the job must end now: a stop or a lost connection.
  bool Ended() const { return stopped_ || lost_; }
  // Ended(), also taking a stop asked for since the last row: a job of empty tables,
  // or one without row passes, reaches no row at which to notice it.
  bool EndedBeforeObject() {
    if (StopRequested) stopped_ = true;
    return Ended();
  }
  // Notes a failure; a lost connection ends the job.
  void Failed(const std::exception& e) {
    if (ado::IsConnectionLost(e)) lost_ = true;
  }

  void DropPhase(const TCorvaneObject& object);
  void CreatePhase(const TCorvaneObject& object);
  void TransferPhase(const TCorvaneObject& object);
  void UpdatePhase(const TCorvaneObject& object);
  // The rows of a transfer or update pass, read from the source and handed to writer.
  void RowPass(const TCorvaneObject& object, TRowWriter& writer);
  // A drop or create: executed under its own guard, then shown in the script pane.
  // Returns false when the statement failed.
  bool StatementPhase(const TCorvaneObject& object, const std::string& statement,
                      const char* doneText, const char* failedText);
  void LogDone(const TCorvaneObject& object, const char* doneText) {
    Log("");
    Log(std::string(38, '='));
    Log(Ts() + "[" + object.ObjectName + "] " + doneText);
  }
  void PassFailed(const char* what, const std::exception& e);
  // The end of every row pass, also after a stop or an error.
  void EndPass(std::int64_t done, std::int64_t failed, const char* doneWord,
               const char* failedWords);
  // The checks at the top of every row; false when the pass must end.
  bool NextRowAllowed(std::int64_t& limitCount);
  // One line for each column whose first zero date was just read.
  void NoteZeroDates(const std::vector<int>& columns);
  // Rows in a group of the fast transfer; 0 row by row (always toward Access).
  std::int32_t BatchRows() const {
    return s_.BatchRows > 0 && !IsAccessDialect(s_.DestKind) ? s_.BatchRows : 0;
  }
  void UpdateProgressTotal();
  void CloseQuery();
  void CloseTableDest();

  const TProjectSettings& s_;
  ado::Connection& source_;
  ado::Connection& dest_;
  TCorvane& catalogue_;
  TJobView& view_;
  std::string destQuote_;
  std::unique_ptr<ado::Recordset> query_;
  std::unique_ptr<ado::TableDataset> tableDest_;
  TJobTotals totals_;
  bool stopped_ = false;
  bool lost_ = false;
  int remaining_ = 0;  // chosen objects not yet begun
};

TJobTotals TRunner::Run() {
  view_.ClearPanes();
  ErrorLog.clear();
  std::string textQuote;
  GetQuoteChars(s_.DestKind, destQuote_, textQuote);

  std::exception_ptr pending;
  try {
    Script("");
    for (const auto& object : catalogue_.Objects) {
      if (object.Selected && WritesBinaryAsNull(object, s_)) {
        Script(BinaryNullNote());
        break;
      }
    }
    std::vector<TCorvaneObject*> chosen;
    for (auto& object : catalogue_.Objects)
      if (object.Selected) chosen.push_back(&object);
    chosen = WithoutCollisions(chosen);
    // Views after every table: a view can only be created over what exists.
    std::vector<TCorvaneObject*> tables, views;
    for (TCorvaneObject* o : chosen) (CreatedAsView(*o, s_) ? views : tables).push_back(o);
    remaining_ = static_cast<int>(chosen.size());
    Tables(tables);
    if (!EndedBeforeObject()) Views(views);
    if (lost_) {
      totals_.connectionLost = true;
      totals_.skipped += remaining_;
      Log(Ts() + "The connection is lost: the remaining " + std::to_string(remaining_) +
          " objects of the job are skipped.");
    }
  } catch (...) {
    pending = std::current_exception();
  }

  totals_.stopped = StopRequested;
  if (StopRequested) Log("Process stoppe by USER", kBlue);
  CloseQuery();
  CloseTableDest();
  if (s_.SaveScripts)
    totals_.scriptFailed = !view_.SaveScript(s_.ScriptFileName);
  if (pending) std::rethrow_exception(pending);
  return totals_;
}

bool TRunner::DestNamesMatchCase() {
  // MySQL on Linux keeps table names apart by case unless lower_case_table_names is set;
  // everywhere else, and when the server cannot tell, they are one name.
  if (!IsMySQLDialect(s_.DestKind)) return false;
  try {
    auto rs = dest_.openQuery("SELECT @@lower_case_table_names");
    return !rs->eof() && ado::VariantToText(rs->value(0)) == "0";
  } catch (const std::exception&) {
    return false;
  }
}

std::vector<TCorvaneObject*> TRunner::WithoutCollisions(
    const std::vector<TCorvaneObject*>& chosen) {
  const bool matchCase = DestNamesMatchCase();
  std::vector<TCorvaneObject*> kept;
  std::vector<std::string> keptNames;
  for (TCorvaneObject* o : chosen) {
    const std::string name = DestTableName(*o, s_);
    const TCorvaneObject* earlier = nullptr;
    for (std::size_t i = 0; i < kept.size() && !earlier; ++i)
      if (matchCase ? keptNames[i] == name : SameDestName(keptNames[i], name)) earlier = kept[i];
    if (earlier) {
      ErrorLine("[" + o->ObjectName + "] is not copied: its destination name " + name +
                " is that of [" + earlier->ObjectName + "] too.");
      ++totals_.skipped;
      continue;
    }
    // Column names are one name whatever their case, in every dialect.
    std::string clash;
    for (std::size_t a = 0; a < o->Fields.size() && clash.empty(); ++a)
      for (std::size_t b = 0; b < a && clash.empty(); ++b)
        if (SameDestName(text::TrimBlanks(o->Fields[a].FieldName),
                         text::TrimBlanks(o->Fields[b].FieldName)))
          clash = "its columns [" + o->Fields[b].FieldName + "] and [" + o->Fields[a].FieldName +
                  "] have one destination name, " + Enclose(o->Fields[a].FieldName, destQuote_) +
                  ".";
    if (!clash.empty()) {
      ErrorLine("[" + o->ObjectName + "] is not copied: " + clash);
      ++totals_.skipped;
      continue;
    }
    kept.push_back(o);
    keptNames.push_back(name);
  }
  return kept;
}

std::vector<TFillGroup> TRunner::TableOrder(const std::vector<TCorvaneObject*>& tables) {
  std::vector<TForeignKeyLink> links;
  if (s_.TransferData && tables.size() > 0) {
    try {
      links = ReadForeignKeys(source_, s_.SourceKind);
    } catch (const std::exception& e) {
      Log(Ts() + "The foreign keys of the source cannot be read, tables are filled in their "
                 "order. " + e.what());
    }
  }
  return FillOrder(tables, links);
}

void TRunner::Tables(const std::vector<TCorvaneObject*>& tables) {
  for (TFillGroup& group : TableOrder(tables)) {
    // A cycle cannot be filled parents first: its rows go in with the checks off.
    const bool checksOff = group.cycle && s_.TransferData && IsMySQLDialect(s_.DestKind);
    if (checksOff) {
      std::string names;
      for (const TCorvaneObject* o : group.objects) names += (names.empty() ? "[" : ", [") + o->ObjectName + "]";
      try {
        dest_.execute("SET FOREIGN_KEY_CHECKS = 0");
        Log(Ts() + names + " refer to each other by foreign keys: filled with foreign-key checks "
                           "off.");
      } catch (const std::exception& e) {
        Log(Ts() + "Foreign-key checks cannot be turned off for " + names + ". " + e.what());
        Failed(e);
      }
    }
    {
      // On again however the group ends, an error escaping it too: the window's next
      // job runs on the same session.
      struct ChecksOn {
        TRunner& runner;
        bool armed;
        ~ChecksOn() {
          if (!armed || runner.lost_) return;
          try {
            runner.dest_.execute("SET FOREIGN_KEY_CHECKS = 1");
          } catch (const std::exception& e) {
            runner.Failed(e);
            try {
              runner.ErrorLine("Foreign-key checks cannot be turned on again. " +
                               std::string(e.what()));
            } catch (...) {
              // Nothing may leave a destructor.
            }
          }
        }
      } checksOn{*this, checksOff};
      for (TCorvaneObject* o : group.objects) {
        if (EndedBeforeObject()) break;
        ObjectPhases(*o);
      }
    }
    if (Ended()) return;
  }
}

void TRunner::ObjectPhases(TCorvaneObject& object) {
  --remaining_;
  ++totals_.objects;
  if (s_.DropIfExist && !lost_) DropPhase(object);
  if (s_.CreateObject && !lost_) CreatePhase(object);
  if (s_.TransferData && !lost_) TransferPhase(object);
  if (Ended()) return;
  if (s_.UpdateData) UpdatePhase(object);
}

void TRunner::Views(const std::vector<TCorvaneObject*>& views) {
  for (TCorvaneObject* o : views) {
    if (EndedBeforeObject()) return;
    --remaining_;
    ++totals_.objects;
    if (s_.DropIfExist) DropPhase(*o);
  }
  if (s_.CreateObject && !EndedBeforeObject()) {
    // A view over another view fails until that one exists: try again while any succeeds.
    struct Pending {
      TCorvaneObject* object;
      std::string statement;
      std::string error;
    };
    std::vector<Pending> pending;
    for (TCorvaneObject* o : views) pending.push_back({o, CreateStatement(*o, s_).second, {}});
    for (bool progress = true; progress && !pending.empty() && !lost_;) {
      progress = false;
      std::vector<Pending> failed;
      for (Pending& p : pending) {
        if (lost_) break;
        try {
          dest_.execute(p.statement);
          LogDone(*p.object, "created.");
          Script(p.statement);
          Script("");
          progress = true;
        } catch (const std::exception& e) {
          p.error = e.what();
          Failed(e);
          failed.push_back(std::move(p));
        }
      }
      pending = std::move(failed);
    }
    totals_.createFailed += static_cast<int>(pending.size());
    for (const Pending& p : pending) {
      Log(Ts() + kCannotCreate + p.object->ObjectName + "]. " + p.error);
      Script(p.statement);
      Script("");
    }
  }
  if (Ended()) return;
  for (TCorvaneObject* o : views) {
    if (s_.TransferData)
      Log(Ts() + o->ObjectName + " is created as a view, its rows come from its tables: no "
                                 "transfer data.");
    if (s_.UpdateData)
      Log(Ts() + o->ObjectName + " is created as a view, its rows come from its tables: no "
                                 "update data.");
  }
}

void TRunner::DropPhase(const TCorvaneObject& object) {
  StatementPhase(object, DropStatement(object, s_), "dropped.", "Cannot drop [");
}

void TRunner::CreatePhase(const TCorvaneObject& object) {
  // Built outside the guard: an error here ends the job.
  if (!StatementPhase(object, CreateStatement(object, s_).second, "created.",
                      kCannotCreate))
    ++totals_.createFailed;
}

bool TRunner::StatementPhase(const TCorvaneObject& object, const std::string& statement,
                             const char* doneText, const char* failedText) {
  bool done = true;
  try {
    dest_.execute(statement);
    LogDone(object, doneText);
  } catch (const std::exception& e) {
    Log(Ts() + failedText + object.ObjectName + "]. " + e.what());
    Failed(e);
    done = false;
  }
  Script(statement);
  Script("");
  return done;
}

void TRunner::PassFailed(const char* what, const std::exception& e) {
  Log(Ts() + what + e.what(), kRed);
  Log("");
  ErrorLog.push_back(std::string("==>") + e.what());
  Failed(e);
}

void TRunner::EndPass(std::int64_t done, std::int64_t failed, const char* doneWord,
                      const char* failedWords) {
  Log(Ts() + std::to_string(done) + doneWord + std::to_string(failed) + failedWords, kNavy);
  Log("");
  CloseQuery();
  CloseTableDest();
  view_.SetBusy(false);
}

bool TRunner::NextRowAllowed(std::int64_t& limitCount) {
  view_.ProcessEvents();
  if (StopRequested) {
    stopped_ = true;
    return false;
  }
  if (s_.RecordLimit > 0 && ++limitCount > s_.RecordLimit) return false;
  return true;
}

void TRunner::NoteZeroDates(const std::vector<int>& columns) {
  for (int i : columns)
    Log(Ts() + "Column " + query_->fieldName(i) +
        ": zero dates, which the destination cannot hold, are written as NULL.");
}

void TRunner::UpdateProgressTotal() {
  // A MySQL source streams, so its total grows with the rows read instead.
  if (!IsAccessDialect(s_.SourceKind) && !IsSQLServerDialect(s_.SourceKind)) return;
  const long long count = query_->recordCount();
  if (count >= 0) view_.SetProgressTotal(count);
}

void TRunner::CloseQuery() {
  if (!query_) return;
  try {
    query_->close();
  } catch (const std::exception&) {
    // Nothing more can be read from it either way.
  }
  query_.reset();
}

void TRunner::CloseTableDest() {
  if (!tableDest_) return;
  try {
    tableDest_->close();
  } catch (const std::exception&) {
  }
  tableDest_.reset();
}

// What the transfer and the update pass do with the rows; the loop around them is one
// (RowPass). Row by row, each row is written as it is read. In the fast transfer rows go
// in groups of batch rows, one transaction each; a group that fails is rolled back and
// written again row by row, so every row fails, is logged and is counted exactly as it
// is row by row.
class TRunner::TRowWriter {
 public:
  // The words of the pass's log lines.
  struct Texts {
    const char* begin;       // "Begin ... of " + name + "."
    const char* passError;   // the pass ends on an error outside a row's write
    const char* errorLog;    // ErrorLog's word for a failed row
    const char* rowError;    // the log's word for a failed row
    const char* doneWord;    // the summary line
    const char* failedWords;
  };
  using ValueAt = std::function<const ado::Variant&(int column)>;

  // The pass adds its counts to doneTotal and failedTotal.
  TRowWriter(TRunner& runner, const TCorvaneObject& object, const Texts& texts,
             std::int64_t& doneTotal, std::int64_t& failedTotal)
      : r_(runner),
        object_(object),
        batch_(runner.BatchRows()),
        texts_(texts),
        doneTotal_(doneTotal),
        failedTotal_(failedTotal) {}
  virtual ~TRowWriter() = default;
  const Texts& texts() const { return texts_; }
  // Before the source's first row is read: what the pass writes to.
  virtual void Open() {}
  // After the "Begin" line, once per pass.
  virtual void Prepare(TPassRow& row) = 0;
  // The current row: its script line, and its values set up for Write.
  virtual void Stage(TPassRow& row) = 0;
  // Writes the staged row, or holds it for its group. A lost connection propagates.
  virtual void Write() = 0;
  // Writes what is still held: at the end of the pass, also after a stop or an error.
  virtual void Finish() {}
  // A MySQL source streams: its progress total grows with the rows read.
  virtual bool TotalGrowsWithRows() const { return false; }

  std::int64_t done() const { return done_; }
  std::int64_t failed() const { return failed_; }
  void Count() {
    doneTotal_ += done_;
    failedTotal_ += failed_;
  }

 protected:
  // A row that could not be written: counted and logged. True when the connection is
  // lost, which ends the pass (the caller rethrows): every later row would fail too.
  bool RowFailed(const std::exception& e, const ValueAt& value) {
    ++failed_;
    if (ado::IsConnectionLost(e)) return true;
    ErrorLog.push_back(texts_.errorLog + std::string(e.what()));
    r_.Log(texts_.rowError + std::string(e.what()), kRed);
    DumpFailed(value);
    return false;
  }
  // The lines after a failed row's error line.
  virtual void DumpFailed(const ValueAt&) {}
  // A group that fails with its connection: row by row its first row would have
  // failed so and ended the pass, and that is what is counted.
  bool LostWithGroup(const std::exception& e) {
    if (!ado::IsConnectionLost(e)) return false;
    ++failed_;
    return true;
  }
  // Undoes a group's transaction before its rows are written again one by one.
  void RollBack() {
    try {
      r_.dest_.rollback();
    } catch (const std::exception&) {
      // A lost connection cannot roll back: the server drops what was not committed.
    }
  }

  TRunner& r_;
  const TCorvaneObject& object_;
  std::int32_t batch_;  // rows in a group; 0: row by row
  std::optional<TRowStatements> statement_;  // the row's text for the script
  std::int64_t done_ = 0;
  std::int64_t failed_ = 0;

 private:
  const Texts& texts_;
  std::int64_t& doneTotal_;
  std::int64_t& failedTotal_;
};

const TRunner::TRowWriter::Texts kTransferTexts{
    "Begin transfer data of ", "Transfer data error. ", "Post: ", "Post    : ", " inserted, ",
    " insert failed."};
const TRunner::TRowWriter::Texts kUpdateTexts{
    "Begin update data of ", "Update data error. ", "Update: ", "Update    : ", " updated, ",
    " update failed."};

// Each row appended to the destination table, its values unchanged; the INSERT is only
// shown and saved. In groups, a group's rows go as multi-row INSERTs.
class TRunner::TTransferWriter : public TRowWriter {
 public:
  TTransferWriter(TRunner& runner, const TCorvaneObject& object)
      : TRowWriter(runner, object, kTransferTexts, runner.totals_.inserted,
                   runner.totals_.insertFailed) {}

  void Open() override {
    r_.CloseTableDest();
    r_.tableDest_ = r_.dest_.openTable(DestDatasetName(object_, r_.s_));
    // A group's rollback must undo what it wrote, or the rows written again one by one
    // would go in twice (and strict mode would have cut a too long value instead).
    if (batch_ > 0 && !r_.tableDest_->rollsBack()) {
      batch_ = 0;
      r_.Log(Ts() + object_.ObjectName +
             ": the destination table has no transactions, its rows go in row by row.");
    }
  }
  void Prepare(TPassRow& row) override {
    statement_.emplace(object_, InsertTemplate(object_, r_.s_), r_.s_);
    // The destination's columns carry the names CREATE TABLE gave them, blanks trimmed.
    const ado::Recordset& q = *r_.query_;
    columns_ = q.fieldCount();
    for (int i = 0; i < columns_; ++i) {
      const TCorvaneField* f = object_.FindField(q.fieldName(i));
      // Columns the destination fills itself are not set.
      if (f && IsWrittenByDestination(*f, r_.s_.DestKind)) continue;
      written_.push_back(i);
      fields_.emplace_back(text::TrimBlanks(q.fieldName(i)));
    }
    nullsZeroDates_.resize(static_cast<std::size_t>(columns_));
    for (int i = 0; i < columns_; ++i) nullsZeroDates_[static_cast<std::size_t>(i)] = row.NullsZeroDates(i);
  }
  void Stage(TPassRow& row) override {
    // Built only when shown and saved.
    if (r_.s_.SaveScripts) r_.Script((*statement_)(row));
    // Also in groups the first row goes through the table, so a column the table lacks
    // ends the pass at the same row as row by row.
    if (batch_ == 0 || !checked_) {
      r_.tableDest_->append();
      for (std::size_t j = 0; j < written_.size(); ++j) r_.tableDest_->setField(fields_[j], row.value(written_[j]));
      checked_ = true;
    }
    if (batch_ == 0) return;
    for (int i : written_) (void)row.value(i);  // notes the zero dates
    if (held_.size() <= held_count_) held_.emplace_back();
    Held& h = held_[held_count_];
    h.values.resize(static_cast<std::size_t>(columns_));
    for (int i = 0; i < columns_; ++i) h.values[static_cast<std::size_t>(i)] = r_.query_->value(i);
    h.zeroDates = row.TakeNewlyNoted();
  }
  void Write() override {
    if (batch_ == 0) {
      try {
        r_.tableDest_->post();
        ++done_;
      } catch (const std::exception& e) {
        const ado::Recordset& q = *r_.query_;
        if (RowFailed(e, [&q](int i) -> const ado::Variant& { return q.value(i); })) throw;
      }
      return;
    }
    if (++held_count_ == static_cast<std::size_t>(batch_)) Finish();
  }
  void Finish() override {
    const std::size_t n = held_count_;
    held_count_ = 0;  // taken whatever happens, so a second Finish writes nothing twice
    if (n == 0) return;
    values_.clear();
    for (std::size_t r = 0; r < n; ++r)
      for (int i : written_) values_.push_back(&Written(held_[r], i));
    try {
      r_.dest_.beginTransaction();
      r_.tableDest_->postRows(fields_, values_, n);
      r_.dest_.commit();
    } catch (const std::exception& e) {
      RollBack();
      if (LostWithGroup(e)) throw;
      for (std::size_t r = 0; r < n; ++r) PostAlone(held_[r]);
      return;
    }
    for (std::size_t r = 0; r < n; ++r) r_.NoteZeroDates(held_[r].zeroDates);
    done_ += static_cast<std::int64_t>(n);
  }
  bool TotalGrowsWithRows() const override { return IsMySQLDialect(r_.s_.SourceKind); }

 protected:
  void DumpFailed(const ValueAt& value) override {
    const ado::Recordset& q = *r_.query_;
    for (int i = 0; i < columns_; ++i) {
      try {
        r_.Log(q.fieldName(i) + " :" + ado::VariantToText(value(i)), kYellow);
      } catch (const std::exception&) {
        // A value without a text form is left out of the dump.
      }
    }
  }

 private:
  // A row of a group: the source's values, and the columns whose first zero date it
  // brought.
  struct Held {
    std::vector<ado::Variant> values;
    std::vector<int> zeroDates;
  };

  const ado::Variant& Written(const Held& h, int i) const {
    const ado::Variant& v = h.values[static_cast<std::size_t>(i)];
    return nullsZeroDates_[static_cast<std::size_t>(i)] && IsZeroDateText(v) ? null_ : v;
  }
  // A held row written as row by row writes it, with its lines in their place.
  void PostAlone(const Held& h) {
    r_.NoteZeroDates(h.zeroDates);
    r_.tableDest_->append();
    for (std::size_t j = 0; j < written_.size(); ++j) r_.tableDest_->setField(fields_[j], Written(h, written_[j]));
    try {
      r_.tableDest_->post();
      ++done_;
    } catch (const std::exception& e) {
      if (RowFailed(e, [&h](int i) -> const ado::Variant& { return h.values[static_cast<std::size_t>(i)]; }))
        throw;
    }
  }

  int columns_ = 0;
  std::vector<int> written_;         // the source columns that are set
  std::vector<std::string> fields_;  // their destination names
  std::vector<bool> nullsZeroDates_;
  bool checked_ = false;
  std::vector<Held> held_;  // reused from group to group
  std::size_t held_count_ = 0;
  std::vector<const ado::Variant*> values_;
  const ado::Variant null_;
};

// Each row's UPDATE executed with its values bound; the text with the values in it is
// what the script shows. In groups, a transaction is committed once per group.
class TRunner::TUpdateWriter : public TRowWriter {
 public:
  TUpdateWriter(TRunner& runner, const TCorvaneObject& object)
      : TRowWriter(runner, object, kUpdateTexts, runner.totals_.updated,
                   runner.totals_.updateFailed) {}

  void Prepare(TPassRow& row) override {
    statement_.emplace(object_, UpdateTemplate(object_, r_.s_), r_.s_);
    const TUpdateCommand update = UpdateCommand(object_, r_.s_);
    command_ = r_.dest_.prepare(update.text);
    r_.Script("");
    for (const TCorvaneField* f : update.parameters) columnOf_.push_back(row.IndexOf(f->FieldName));
    values_.resize(columnOf_.size());
  }
  void Stage(TPassRow& row) override {
    if (r_.s_.SaveScripts) r_.Script((*statement_)(row));
    for (std::size_t i = 0; i < columnOf_.size(); ++i)
      values_[i] = columnOf_[i] < 0 ? &null_ : &row.value(columnOf_[i]);
  }
  void Write() override {
    if (batch_ == 0) {
      ExecuteAlone(values_);
      return;
    }
    // Kept, to be executed again if the group fails.
    if (held_.size() <= held_count_) held_.emplace_back();
    std::vector<ado::Variant>& h = held_[held_count_++];
    h.resize(values_.size());
    for (std::size_t i = 0; i < values_.size(); ++i) h[i] = *values_[i];
    try {
      if (held_count_ == 1) r_.dest_.beginTransaction();
      command_->execute(values_);
    } catch (const std::exception& e) {
      Again(e);
      return;
    }
    if (held_count_ == static_cast<std::size_t>(batch_)) Finish();
  }
  void Finish() override {
    const std::size_t n = held_count_;
    if (n == 0) return;
    try {
      r_.dest_.commit();
    } catch (const std::exception& e) {
      Again(e);
      return;
    }
    held_count_ = 0;
    done_ += static_cast<std::int64_t>(n);
  }

 private:
  void ExecuteAlone(std::span<const ado::Variant* const> values) {
    try {
      command_->execute(values);
      ++done_;
    } catch (const std::exception& e) {
      const ado::Variant* const* v = values.data();
      if (RowFailed(e, [v](int i) -> const ado::Variant& { return *v[i]; })) throw;
    }
  }
  // The group so far rolled back and executed again row by row, after error.
  void Again(const std::exception& error) {
    const std::size_t n = held_count_;
    held_count_ = 0;
    RollBack();
    if (LostWithGroup(error)) throw;
    std::vector<const ado::Variant*> values(values_.size());
    for (std::size_t r = 0; r < n; ++r) {
      for (std::size_t i = 0; i < values.size(); ++i) values[i] = &held_[r][i];
      ExecuteAlone(values);
    }
  }

  std::unique_ptr<ado::Command> command_;
  std::vector<int> columnOf_;
  std::vector<const ado::Variant*> values_;
  std::vector<std::vector<ado::Variant>> held_;  // reused from group to group
  std::size_t held_count_ = 0;
  const ado::Variant null_;
};

void TRunner::RowPass(const TCorvaneObject& object, TRowWriter& writer) {
  const TRowWriter::Texts& words = writer.texts();
  view_.SetBusy(true);
  std::int64_t rowsRead = 0, limitCount = 0;
  try {
    CloseQuery();
    query_ = source_.openStream(SourceSelect(object, s_));
    writer.Open();
    query_->first();
    UpdateProgressTotal();
    Log(Ts() + words.begin + object.ObjectName + ".");
    TPassRow row(*query_, object, !IsMySQLDialect(s_.DestKind));
    writer.Prepare(row);
    while (!query_->eof()) {
      if (!NextRowAllowed(limitCount)) break;
      writer.Stage(row);
      NoteZeroDates(row.TakeNewlyNoted());
      ++rowsRead;
      if (writer.TotalGrowsWithRows()) view_.SetProgressTotal(rowsRead);
      writer.Write();
      view_.SetProgressPosition(rowsRead);
      query_->next();
    }
    writer.Finish();
  } catch (const std::exception& e) {
    // The rows read before the error are written, as row by row they already were.
    try {
      writer.Finish();
    } catch (const std::exception& again) {
      Failed(again);
    }
    PassFailed(words.passError, e);
  }
  writer.Count();
  EndPass(writer.done(), writer.failed(), words.doneWord, words.failedWords);
}

void TRunner::TransferPhase(const TCorvaneObject& object) {
  TTransferWriter writer(*this, object);
  RowPass(object, writer);
}

void TRunner::UpdatePhase(const TCorvaneObject& object) {
  switch (CheckUpdateTemplate(object, s_)) {
    case TUpdateGap::None: break;
    case TUpdateGap::NoPrimaryKey:
      Log(Ts() + object.ObjectName + " do not have key index for update data.");
      return;
    case TUpdateGap::UnknownKeyColumn:
      Log(Ts() + object.ObjectName +
          " has a key column that is not among its columns, cannot update data.");
      return;
    case TUpdateGap::NothingToSet:
      Log(Ts() + object.ObjectName +
          " has no column outside its primary key to update, nothing to update data.");
      return;
  }
  TUpdateWriter writer(*this, object);
  RowPass(object, writer);
}

}  // namespace

TJobTotals RunJob(const TProjectSettings& settings, ado::Connection& source, ado::Connection& dest,
                  TCorvane& catalogue, TJobView& view) {
  return TRunner(settings, source, dest, catalogue, view).Run();
}

}  // namespace job
