// The job's view on a terminal: the process log on standard output (ANSI colours only
// when it is a terminal), a progress line on standard error while rows move (only when
// that is a terminal), and message boxes as lines on standard error.
#pragma once

#include <chrono>
#include <cstdio>

#include "job/job_view.h"
#include "platform/ui/messages.h"

namespace cli {

class TTerminalView : public job::TPanesView {
 public:
  // colour: write ANSI colours; progress: draw the progress line on err; quiet: only
  // error lines (red and yellow) reach out.
  TTerminalView(std::FILE* out, std::FILE* err, bool colour, bool progress, bool quiet);

  void SetProgressTotal(std::int64_t total) override;
  void SetProgressPosition(std::int64_t position) override;
  // Ctrl-C sets StopRequested from its signal handler; there is nothing to pump.
  void ProcessEvents() override {}
  void SetBusy(bool) override {}

  // Prints a line as the log does; always: also when quiet (the summary).
  void Print(std::string_view text, job::TLogColor color, bool always = false);
  // Removes the progress line, if one is drawn.
  void EndProgress();

  // Whether the source knows its row count up front. A streaming source (MySQL) sets
  // its total to the rows read, one ahead of the position while a row is written, and
  // an earlier pass's total stays behind: the progress line then shows rows done only.
  void SetTotalsKnown(bool known) { totalsKnown_ = known; }

  // The errno of the first failed write to out; 0 while every line got through. The
  // first failure is reported on err at once.
  int WriteError() const { return writeError_; }

 protected:
  void LogLineAdded(std::size_t index) override;

 private:
  void DrawProgress(bool force);

  std::FILE* out_;
  std::FILE* err_;
  bool colour_;
  bool progress_;
  bool quiet_;
  bool progressShown_ = false;
  bool totalsKnown_ = true;
  int writeError_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
};

// A log line as it is printed: control characters (a zero byte of a binary value in a
// failed row's dump, an escape sequence) are written as \xNN so they cannot disturb the
// terminal or cut a line in two. That covers C1 controls too (U+0080 to U+009F, CSI
// among them), each of their UTF-8 bytes written as \xNN, and a stray byte of that
// range that is no part of a UTF-8 character, which an 8-bit terminal would obey.
std::string PrintableLine(std::string_view text);

// A message as it is printed: each line (ended by LF or CR LF) as PrintableLine makes it.
std::string PrintableMessage(const std::string& text);

// Message boxes as lines on standard error: "error: ", "warning: " or nothing, then the
// text as PrintableMessage makes it. Confirmations are answered No.
class TTerminalMessages : public ui::Messages {
 public:
  explicit TTerminalMessages(std::FILE* err) : err_(err) {}
  void show(ui::MessageKind kind, const std::string& text) override;
  bool confirm(const std::string& text) override;
  void setBusy(bool) override {}
  void processEvents() override {}

 private:
  std::FILE* err_;
};

}  // namespace cli
