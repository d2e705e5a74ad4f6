#include "job/job_view.h"

#include "job/script_file.h"
#include "platform/ui/messages.h"

namespace job {

bool TJobView::SaveScript(const std::string& path) {
  return SaveScriptFile(path, ScriptLines());
}

void TPanesView::ClearPanes() {
  log_.clear();
  scripts_.clear();
  PanesCleared();
}

void TPanesView::AddLogLine(std::string_view text, TLogColor color) {
  log_.append(text, color);
  LogLineAdded(log_.size() - 1);
  ProcessEvents();
}

void TPanesView::AddScriptLine(std::string_view text) {
  scripts_.append(text);
  ScriptLineAdded(scripts_.size() - 1);
  ProcessEvents();
}

void TPanesView::ProcessEvents() {
  ui::current().processEvents();
}

void TPanesView::SetBusy(bool busy) {
  ui::current().setBusy(busy);
}

}  // namespace job
