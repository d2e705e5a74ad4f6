#include "cli/terminal_view.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/stream_text.h"
#include "platform/ui/messages.h"

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
  // Printed, not kept: the command line holds no pane.
  EXPECT_EQ(v.LogLines().size(), 0u);
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
      // C1 controls as UTF-8 (CSI, NEL) and as stray bytes an 8-bit terminal obeys.
      {"a\u009B2Jb\u0085c", "a\\xC2\\x9B2Jb\\xC2\\x85c"},
      {"x\x9B" "2J\x80", "x\\x9B2J\\x80"},
      // Neighbours that are text: U+00A0, U+00FF, and continuation bytes inside é, 😀.
      {"\u00A0\u00FF é 😀", "\u00A0\u00FF é 😀"},
      // A Latin-1 byte outside the C1 range stays; a cut-off character's lead too.
      {"caf\xE9 \xC2", "caf\xE9 \xC2"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(cli::PrintableLine(in), out);
}

TEST(TerminalView, QuietShowsAnObjectThatCannotBeCreated) {
  Streams s;
  cli::TTerminalView v(s.out, s.err, false, false, true);
  v.AddLogLine("10.12.26 10:00:00 : Cannot drop [t]. Unknown table", job::kDefaultColor);
  v.AddLogLine("10.12.26 10:00:00 : Cannot create [t]. Table 't' already exists",
               job::kDefaultColor);
  v.AddLogLine("10.12.26 10:00:00 : Begin transfer data of Cannot create [t].", job::kDefaultColor);
  EXPECT_EQ(StreamText(s.out), "10.12.26 10:00:00 : Cannot create [t]. Table 't' already exists\n");
}

TEST(TerminalView, ProgressWithoutAKnownCountShowsRowsOnly) {
  Streams s;
  cli::TTerminalView v(s.out, s.err, false, true, false);
  v.SetTotalsKnown(false);
  v.SetProgressTotal(1);  // a streaming source: the total runs one ahead
  v.EndProgress();
  EXPECT_EQ(StreamText(s.err), "\r\033[K0 rows\r\033[K");
}

TEST(TerminalView, AFailedWriteIsReportedOnceAndKept) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (!full) GTEST_SKIP() << "no /dev/full";
  Streams s;
  cli::TTerminalView v(full, s.err, false, false, false);
  v.AddLogLine("one", job::kDefaultColor);
  v.AddLogLine("two", job::kDefaultColor);
  std::fclose(full);
  EXPECT_EQ(v.WriteError(), ENOSPC);
  EXPECT_EQ(StreamText(s.err),
            "quillmark-cli: cannot write the log to standard output: No space left on device\n");
}

// Script lines go to the file as they come and none stays in memory; a script file that
// cannot be written is reported when the job saves it, with the reason.
TEST(TerminalView, ScriptLinesGoToTheFileAndFailuresAreReportedAtTheEnd) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qm-view-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  ui::RecordingMessages messages;
  ui::ScopedMessages scoped(messages);
  Streams s;
  std::string banner;
  for (const auto& l : job::ScriptBannerLines()) banner += l + "\r\n";

  const std::string path = (dir / "out.sql").string();
  cli::TTerminalView v(s.out, s.err, false, false, false);
  v.SetScriptFile(path);
  v.ClearPanes();
  v.AddScriptLine("DROP TABLE `t`;");
  v.AddScriptLine("");
  EXPECT_EQ(v.ScriptLines().size(), 0u);
  ASSERT_TRUE(v.SaveScript(path));
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_EQ(text.str(), banner + "DROP TABLE `t`;\r\n\r\n");
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, "Created scripts have saved to " + path + ".");

  const std::string gone = (dir / "gone" / "out.sql").string();
  cli::TTerminalView failing(s.out, s.err, false, false, false);
  failing.SetScriptFile(gone);
  failing.ClearPanes();
  failing.AddScriptLine("x");
  EXPECT_FALSE(failing.SaveScript(gone));
  ASSERT_EQ(messages.entries.size(), 2u);
  EXPECT_EQ(messages.entries[1].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages.entries[1].text,
            "Cannot save generated scripts.\n" + gone + ": No such file or directory");
  fs::remove_all(dir);
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
