#include "cli/terminal_view.h"

#include <cinttypes>
#include <string>

namespace cli {

namespace {

bool IsErrorColour(job::TLogColor c) {
  return c == job::kRed || c == job::kYellow;
}

const char* AnsiColour(job::TLogColor c) {
  if (c == job::kRed) return "\033[31m";
  if (c == job::kYellow) return "\033[33m";
  if (c == job::kNavy) return "\033[36m";  // navy is unreadable on a dark terminal
  if (c == job::kBlue) return "\033[1;34m";
  return nullptr;
}

std::string NormaliseLineEnds(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

std::string PrintableLine(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c < 0x20 && c != '\t') || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

TTerminalView::TTerminalView(std::FILE* out, std::FILE* err, bool colour, bool progress, bool quiet)
    : out_(out), err_(err), colour_(colour), progress_(progress), quiet_(quiet) {}

void TTerminalView::LogLineAdded(std::size_t index) {
  Print(LogLines().line(index), LogLines().color(index));
}

void TTerminalView::Print(std::string_view text, job::TLogColor color, bool always) {
  if (quiet_ && !always && !IsErrorColour(color)) return;
  EndProgress();
  const std::string line = PrintableLine(text);
  const char* ansi = colour_ ? AnsiColour(color) : nullptr;
  if (ansi)
    std::fprintf(out_, "%s%s\033[0m\n", ansi, line.c_str());
  else
    std::fprintf(out_, "%s\n", line.c_str());
  // The log is read while the job runs (a pipe into tee, a tail -f).
  std::fflush(out_);
}

void TTerminalView::SetProgressTotal(std::int64_t total) {
  TPanesView::SetProgressTotal(total);
  DrawProgress(false);
}

void TTerminalView::SetProgressPosition(std::int64_t position) {
  TPanesView::SetProgressPosition(position);
  DrawProgress(false);
}

void TTerminalView::DrawProgress(bool force) {
  if (!progress_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && progressShown_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  // A streaming source counts its total as it reads, so there is no total to show.
  if (ProgressTotal() > ProgressPosition())
    std::fprintf(err_, "\r\033[K%" PRId64 " / %" PRId64 " rows", ProgressPosition(),
                 ProgressTotal());
  else
    std::fprintf(err_, "\r\033[K%" PRId64 " rows", ProgressPosition());
  std::fflush(err_);
  progressShown_ = true;
}

void TTerminalView::EndProgress() {
  if (!progressShown_) return;
  std::fprintf(err_, "\r\033[K");
  std::fflush(err_);
  progressShown_ = false;
}

void TTerminalMessages::show(ui::MessageKind kind, const std::string& text) {
  const char* prefix = kind == ui::MessageKind::Error     ? "error: "
                       : kind == ui::MessageKind::Warning ? "warning: "
                                                          : "";
  std::fprintf(err_, "%s%s\n", prefix, NormaliseLineEnds(text).c_str());
  std::fflush(err_);
}

bool TTerminalMessages::confirm(const std::string& text) {
  std::fprintf(err_, "%s (answered No)\n", NormaliseLineEnds(text).c_str());
  return false;
}

}  // namespace cli
