#include "job/job_runner.h"

#include <cctype>
#include <exception>
#include <memory>
#include <string_view>

#include "job/log_time.h"
#include "job/process_state.h"
#include "job/script_file.h"
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

std::string SourceSelect(const TCorvaneObject& object, const TProjectSettings& settings) {
  std::string idQuote, textQuote;
  GetQuoteChars(settings.SourceKind, idQuote, textQuote);
  std::string name = Enclose(object.ObjectName, idQuote);
  if (IsSQLServerDialect(settings.SourceKind))
    name = Enclose(object.SchemaName, idQuote) + "." + name;
  return "SELECT * FROM " + name + ";";
}

namespace {

// The source query's current row as the statement builders read it.
class TRecordsetRow : public TSourceRow {
 public:
  explicit TRecordsetRow(const ado::Recordset& rs) : rs_(rs) {}

  const ado::Variant& FieldValue(std::string_view name) const override {
    // The builders ask for the columns in catalogue order, which is nearly always the
    // query's column order: try the column after the last one found first.
    const int count = rs_.fieldCount();
    if (hint_ >= count) hint_ = 0;  // the next row starts again at the first column
    if (hint_ < count && SameName(rs_.fieldName(hint_), name)) return rs_.value(hint_++);
    const int i = rs_.fieldIndex(name);
    if (i < 0) return null_;
    hint_ = i + 1;
    return rs_.value(i);
  }

 private:
  static bool SameName(const std::string& a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const unsigned char x = static_cast<unsigned char>(a[i]);
      const unsigned char y = static_cast<unsigned char>(b[i]);
      if (x != y && std::tolower(x) != std::tolower(y)) return false;
    }
    return true;
  }

  const ado::Recordset& rs_;
  mutable int hint_ = 0;
  ado::Variant null_;
};

class TRunner {
 public:
  TRunner(const TProjectSettings& settings, ado::Connection& source, ado::Connection& dest,
          TCorvane& catalogue, TJobView& view)
      : s_(settings), source_(source), dest_(dest), catalogue_(catalogue), view_(view) {}

  TJobTotals Run();

 private:
  void Log(const std::string& text, TLogColor color = kDefaultColor) {
    view_.AddLogLine(text, color);
  }
  void Script(const std::string& text) {
    if (s_.SaveScripts) view_.AddScriptLine(text);
  }
  static std::string Ts() { return LogTimestamp() + " : "; }

  void DropPhase(const TCorvaneObject& object);
  void CreatePhase(const TCorvaneObject& object);
  void TransferPhase(const TCorvaneObject& object);
  void UpdatePhase(const TCorvaneObject& object);
  // A drop or create: executed under its own guard, then shown in the script pane.
  // Returns false when the statement failed.
  bool StatementPhase(const TCorvaneObject& object, const std::string& statement,
                      const char* doneText, const char* failedText);
  void PassFailed(const char* what, const std::exception& e);
  // The end of every row pass, also after a stop or an error.
  void EndPass(std::int64_t done, std::int64_t failed, const char* doneWord,
               const char* failedWords);
  // The checks at the top of every row; false when the pass must end.
  bool NextRowAllowed(std::int64_t& limitCount);
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
};

TJobTotals TRunner::Run() {
  view_.ClearPanes();
  ErrorLog.clear();
  std::string textQuote;
  GetQuoteChars(s_.DestKind, destQuote_, textQuote);

  std::exception_ptr pending;
  try {
    Script("");
    for (auto& object : catalogue_.Objects) {
      if (!object.Selected) continue;
      ++totals_.objects;
      if (s_.DropIfExist) DropPhase(object);
      if (s_.CreateObject) CreatePhase(object);
      if (s_.TransferData) TransferPhase(object);
      if (stopped_) break;
      if (s_.UpdateData) UpdatePhase(object);
      if (stopped_) break;
    }
  } catch (...) {
    pending = std::current_exception();
  }

  totals_.stopped = StopRequested;
  if (StopRequested) Log("Process stoppe by USER", kBlue);
  CloseQuery();
  CloseTableDest();
  if (s_.SaveScripts)
    totals_.scriptFailed = !SaveScriptFile(s_.ScriptFileName, view_.ScriptLines());
  if (pending) std::rethrow_exception(pending);
  return totals_;
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
    Log("");
    Log(std::string(38, '='));
    Log(Ts() + "[" + object.ObjectName + "] " + doneText);
  } catch (const std::exception& e) {
    Log(Ts() + failedText + object.ObjectName + "]. " + e.what());
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

void TRunner::TransferPhase(const TCorvaneObject& object) {
  view_.SetBusy(true);
  std::int64_t done = 0, failed = 0, rowsRead = 0, limitCount = 0;
  try {
    CloseQuery();
    query_ = source_.openQuery(SourceSelect(object, s_));
    CloseTableDest();
    std::string tableName = AdjustObjectName(object.ObjectName, s_);
    if (s_.DestKind == dkMySQL) tableName = Enclose(tableName, destQuote_);
    tableDest_ = dest_.openTable(tableName);
    query_->first();
    UpdateProgressTotal();
    Log(Ts() + "Begin transfer data of " + object.ObjectName + ".");
    const TRowStatements insertStatement(object, InsertTemplate(object, s_), s_);
    const TRecordsetRow row(*query_);
    while (!query_->eof()) {
      if (!NextRowAllowed(limitCount)) break;
      // Only shown and saved: the row itself goes through tableDest, values unchanged.
      const std::string statement = insertStatement(row);
      Script(statement);
      tableDest_->append();
      const int columns = query_->fieldCount();
      for (int i = 0; i < columns; ++i)
        tableDest_->setField(query_->fieldName(i), query_->value(i));
      ++rowsRead;
      if (s_.SourceKind == dkMySQL) view_.SetProgressTotal(rowsRead);
      try {
        tableDest_->post();
        ++done;
      } catch (const std::exception& e) {
        ++failed;
        ErrorLog.push_back(std::string("Post: ") + e.what());
        Log(std::string("Post    : ") + e.what(), kRed);
        for (int i = 0; i < columns; ++i) {
          try {
            Log(query_->fieldName(i) + " :" + ado::VariantToText(query_->value(i)), kYellow);
          } catch (const std::exception&) {
            // A value without a text form is left out of the dump.
          }
        }
      }
      view_.SetProgressPosition(rowsRead);
      query_->next();
    }
  } catch (const std::exception& e) {
    PassFailed("Transfer data error. ", e);
  }
  totals_.inserted += done;
  totals_.insertFailed += failed;
  EndPass(done, failed, " inserted, ", " insert failed.");
}

void TRunner::UpdatePhase(const TCorvaneObject& object) {
  switch (CheckUpdateTemplate(object, s_)) {
    case TUpdateGap::None: break;
    case TUpdateGap::NoPrimaryKey:
      Log(Ts() + object.ObjectName + " do not have key index for update data.");
      return;
    case TUpdateGap::BinaryKeyColumn:
      // No literal can name a binary key value, so no WHERE could find the row.
      Log(Ts() + object.ObjectName + " has a binary column in its key index, cannot update data.");
      return;
    case TUpdateGap::NothingToSet:
      Log(Ts() + object.ObjectName +
          " has no column outside its indexes to update, nothing to update data.");
      return;
  }

  view_.SetBusy(true);
  std::int64_t done = 0, failed = 0, rowsRead = 0, limitCount = 0;
  try {
    CloseQuery();
    query_ = source_.openQuery(SourceSelect(object, s_));
    query_->first();
    UpdateProgressTotal();
    Log(Ts() + "Begin update data of " + object.ObjectName + ".");
    const TRowStatements updateStatement(object, UpdateTemplate(object, s_), s_);
    Script("");
    const TRecordsetRow row(*query_);
    while (!query_->eof()) {
      if (!NextRowAllowed(limitCount)) break;
      const std::string statement = updateStatement(row);
      Script(statement);
      ++rowsRead;
      try {
        dest_.execute(statement);
        ++done;
      } catch (const std::exception& e) {
        ++failed;
        ErrorLog.push_back(std::string("Update: ") + e.what());
        Log(std::string("Update    : ") + e.what(), kRed);
      }
      view_.SetProgressPosition(rowsRead);
      query_->next();
    }
  } catch (const std::exception& e) {
    PassFailed("Update data error. ", e);
  }
  totals_.updated += done;
  totals_.updateFailed += failed;
  EndPass(done, failed, " updated, ", " update failed.");
}

}  // namespace

TJobTotals RunJob(const TProjectSettings& settings, ado::Connection& source, ado::Connection& dest,
                  TCorvane& catalogue, TJobView& view) {
  return TRunner(settings, source, dest, catalogue, view).Run();
}

}  // namespace job
