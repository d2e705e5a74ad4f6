#include "cli/terminal_view.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <string>

#include "job/job_runner.h"

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


// The length of the well-formed UTF-8 character at the start of s, 0 when it is none.
std::size_t Utf8Length(std::string_view s) {
  const unsigned char c = static_cast<unsigned char>(s[0]);
  std::size_t n = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                               : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  if (n == 0 || n > s.size()) return 0;
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0;
  const unsigned char d = static_cast<unsigned char>(n > 1 ? s[1] : 0);
  // Overlong forms, surrogates and code points above U+10FFFF.
  if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F) || (c == 0xF0 && d < 0x90) ||
      (c == 0xF4 && d > 0x8F))
    return 0;
  return n;
}

}  // namespace

std::string PrintableLine(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  auto escape = [&](unsigned char c) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  };
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t n = Utf8Length(text.substr(i));
    if (n == 1) {
      if ((c < 0x20 && c != '\t') || c == 0x7F)
        escape(c);
      else
        out += text[i];
    } else if (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      escape(c);  // U+0080 to U+009F
      escape(static_cast<unsigned char>(text[i + 1]));
    } else if (n > 1) {
      out.append(text.substr(i, n));
    } else if (c >= 0x80 && c <= 0x9F) {
      escape(c);
    } else {
      out += text[i];  // a byte of some other text encoding: shown as it is
    }
    i += n == 0 ? 1 : n;
  }
  return out;
}

// The provider's and the server's texts are in messages, and a hostile server chooses
// those.
std::string PrintableMessage(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  for (;;) {
    std::size_t nl = text.find('\n', start);
    std::size_t end = nl == std::string::npos ? text.size() : nl;
    if (nl != std::string::npos && end > start && text[end - 1] == '\r') --end;
    out += PrintableLine(std::string_view(text).substr(start, end - start));
    if (nl == std::string::npos) return out;
    out += '\n';
    start = nl + 1;
  }
}

TTerminalView::TTerminalView(std::FILE* out, std::FILE* err, bool colour, bool progress, bool quiet)
    : out_(out), err_(err), colour_(colour), progress_(progress), quiet_(quiet) {}

void TTerminalView::LogLineAdded(std::size_t index) {
  Print(LogLines().line(index), LogLines().color(index));
}

void TTerminalView::Print(std::string_view text, job::TLogColor color, bool always) {
  // An object that could not be created loses all its rows: a failure, whatever its colour.
  if (quiet_ && !always && !IsErrorColour(color) && !job::IsCannotCreateLine(text)) return;
  EndProgress();
  const std::string line = PrintableLine(text);
  const char* ansi = colour_ ? AnsiColour(color) : nullptr;
  errno = 0;
  int written = 0;
  if (ansi)
    written = std::fprintf(out_, "%s%s\033[0m\n", ansi, line.c_str());
  else
    written = std::fprintf(out_, "%s\n", line.c_str());
  // The log is read while the job runs (a pipe into tee, a tail -f).
  if ((std::fflush(out_) != 0 || written < 0) && writeError_ == 0) {
    writeError_ = errno != 0 ? errno : EIO;
    std::fprintf(err_, "quillmark-cli: cannot write the log to standard output: %s\n",
                 std::strerror(writeError_));
    std::fflush(err_);
  }
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
  if (totalsKnown_ && ProgressTotal() > 0 && ProgressTotal() >= ProgressPosition())
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
  std::fprintf(err_, "%s%s\n", prefix, PrintableMessage(text).c_str());
  std::fflush(err_);
}

bool TTerminalMessages::confirm(const std::string& text) {
  std::fprintf(err_, "%s (answered No)\n", PrintableMessage(text).c_str());
  return false;
}

}  // namespace cli
