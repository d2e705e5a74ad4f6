#include "cli/terminal_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/stream_text.h"

namespace {

struct Streams {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ~Streams() {
    std::fclose(out);
    std::fclose(err);
  }
};

void AddSample(cli::TTerminalView& v) {
  v.AddLogLine("ts : Begin transfer data of t.", job::kDefaultColor);
  v.AddLogLine("Post    : Duplicate entry", job::kRed);
  v.AddLogLine("id :1", job::kYellow);
  v.AddLogLine("ts : 0 inserted, 1 insert failed.", job::kNavy);
  v.AddLogLine("Process stoppe by USER", job::kBlue);
  v.SetProgressTotal(10);
  v.SetProgressPosition(3);
}

TEST(TerminalView, PlainLinesWhenNotATerminal) {
  Streams s;
  cli::TTerminalView v(s.out, s.err, false, false, false);
  AddSample(v);
  EXPECT_EQ(StreamText(s.out),
            "ts : Begin transfer data of t.\nPost    : Duplicate entry\nid :1\n"
            "ts : 0 inserted, 1 insert failed.\nProcess stoppe by USER\n");
  EXPECT_EQ(StreamText(s.err), "");
  EXPECT_EQ(v.LogLines().size(), 5u);
}

TEST(TerminalView, ColoursAndAProgressLineOnATerminal) {
  Streams s;
  cli::TTerminalView v(s.out, s.err, true, true, false);
  AddSample(v);
  v.EndProgress();
  EXPECT_EQ(StreamText(s.out),
            "ts : Begin transfer data of t.\n\033[31mPost    : Duplicate entry\033[0m\n"
            "\033[33mid :1\033[0m\n\033[36mts : 0 inserted, 1 insert failed.\033[0m\n"
            "\033[1;34mProcess stoppe by USER\033[0m\n");
  EXPECT_EQ(StreamText(s.err), "\r\033[K0 / 10 rows\r\033[K");
}

TEST(TerminalView, QuietKeepsErrorLinesAndWhatMustAlwaysShow) {
  Streams s;
  cli::TTerminalView v(s.out, s.err, false, false, true);
  AddSample(v);
  v.Print("Summary: 1 objects", job::kDefaultColor, true);
  EXPECT_EQ(StreamText(s.out), "Post    : Duplicate entry\nid :1\nSummary: 1 objects\n");
}

TEST(TerminalView, ControlCharactersAreWrittenAsEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text, é 😀", "plain text, é 😀"},
      {std::string("bytes :a\0b", 10), "bytes :a\\x00b"},
      {"name :\033[2Jcleared", "name :\\x1B[2Jcleared"},
      {"line\r\nbreak\ttab\x7f", "line\\x0D\\x0Abreak\ttab\\x7F"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(cli::PrintableLine(in), out);
}

TEST(TerminalMessages, BoxesBecomeLinesOnStandardError) {
  Streams s;
  cli::TTerminalMessages m(s.err);
  m.show(ui::MessageKind::Error, "Cannot connect to database.\r\nAccess denied");
  m.show(ui::MessageKind::Information, "Created scripts have saved to x.sql.");
  m.show(ui::MessageKind::Warning, "Careful");
  EXPECT_FALSE(m.confirm("Overwrite?"));
  EXPECT_EQ(StreamText(s.err),
            "error: Cannot connect to database.\nAccess denied\n"
            "Created scripts have saved to x.sql.\nwarning: Careful\nOverwrite? (answered No)\n");
}

}  // namespace
