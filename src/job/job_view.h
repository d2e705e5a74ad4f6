// What the job runner needs of the window it runs in: the two panes, the progress
// bar, running pending events and the busy cursor. The source data selection window,
// the command line and the tests each implement it; messages go through ui.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "job/line_model.h"

namespace job {

class TJobView {
 public:
  virtual ~TJobView() = default;

  // Empties the process log and the generated-scripts pane.
  virtual void ClearPanes() = 0;
  // One line at the end of the process log; lets pending events run afterwards.
  virtual void AddLogLine(std::string_view text, TLogColor color) = 0;
  // One line at the end of the generated-scripts pane; lets pending events run afterwards.
  virtual void AddScriptLine(std::string_view text) = 0;
  // The whole generated-scripts pane, read when the script file is written.
  virtual const TLineModel& ScriptLines() const = 0;
  // Writes the script file at the end of a job, as SaveScriptFile does with the
  // generated-scripts pane (its message included); false when it was not written.
  virtual bool SaveScript(const std::string& path);

  virtual void SetProgressTotal(std::int64_t total) = 0;
  virtual void SetProgressPosition(std::int64_t position) = 0;
  // Lets pending window events run ("Cancel Process" is handled here).
  virtual void ProcessEvents() = 0;
  virtual void SetBusy(bool busy) = 0;
};

// A view that keeps both panes in line models. Front ends derive from it and react
// to the hooks (a widget shows the new row, the terminal prints the line); pending
// events and the busy cursor go to ui::current() unless overridden.
class TPanesView : public TJobView {
 public:
  void ClearPanes() override;
  void AddLogLine(std::string_view text, TLogColor color) override;
  void AddScriptLine(std::string_view text) override;
  const TLineModel& ScriptLines() const override { return scripts_; }
  const TLineModel& LogLines() const { return log_; }

  void SetProgressTotal(std::int64_t total) override { progressTotal_ = total; }
  void SetProgressPosition(std::int64_t position) override { progressPosition_ = position; }
  std::int64_t ProgressTotal() const { return progressTotal_; }
  std::int64_t ProgressPosition() const { return progressPosition_; }

  void ProcessEvents() override;
  void SetBusy(bool busy) override;

 protected:
  // Called after the models changed, before pending events run.
  virtual void PanesCleared() {}
  virtual void LogLineAdded(std::size_t /*index*/) {}
  virtual void ScriptLineAdded(std::size_t /*index*/) {}

 private:
  TLineModel log_;
  TLineModel scripts_;
  std::int64_t progressTotal_ = 0;
  std::int64_t progressPosition_ = 0;
};

}  // namespace job
