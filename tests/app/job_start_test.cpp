#include "app/job_start.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "connect/connection_string.h"

namespace fs = std::filesystem;

namespace {

TEST(CheckRecordLimit, TextAndSelectedItem) {
  struct Case {
    const char* text;
    int index;
    std::optional<std::int32_t> expected;
  };
  const Case cases[] = {
      {"All Records", 0, -1},
      {"0", -1, 0},
      {"25", -1, 25},
      {"1000", 11, 1000},
      {"+7", -1, 7},
      {"2147483647", -1, 2147483647},
      {"-5", -1, std::nullopt},
      {"-5", 0, std::nullopt},  // a negative number is refused whatever the item
      {"ten", -1, std::nullopt},
      {"", -1, std::nullopt},
      {"12abc", -1, std::nullopt},
      {"2147483648", -1, std::nullopt},
      {"1e3", -1, std::nullopt},
      {"0x10", -1, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckRecordLimit(c.text, c.index), c.expected) << c.text << " @" << c.index;
}

TEST(IsConnectedText, IgnoresCaseOnly) {
  EXPECT_TRUE(IsConnectedText("Connected"));
  EXPECT_TRUE(IsConnectedText("CONNECTED"));
  EXPECT_FALSE(IsConnectedText("Disconnected"));
  EXPECT_FALSE(IsConnectedText("Connected "));
  EXPECT_FALSE(IsConnectedText(""));
}

TEST(ConnectedByModalResult, OkYesCancelNoAndOthers) {
  EXPECT_EQ(ConnectedByModalResult(mrOk), true);
  EXPECT_EQ(ConnectedByModalResult(mrYes), true);
  EXPECT_EQ(ConnectedByModalResult(mrCancel), false);
  EXPECT_EQ(ConnectedByModalResult(mrNo), false);
  EXPECT_EQ(ConnectedByModalResult(mrNone), std::nullopt);
  EXPECT_EQ(ConnectedByModalResult(3), std::nullopt);
}

TEST(LoadSpecialChars, LinesInOrderWithTheEmptyText) {
  const fs::path file = fs::temp_directory_path() / ("qm-sc-" + std::to_string(getpid()));
  struct Case {
    const char* content;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"_\n-\n\n.\n", {"_", "-", "", "."}},
      {"_\r\n-\r\n\r\n.", {"_", "-", "", "."}},
      {"", {}},
      {"\n", {""}},
      {" x \n", {" x "}},
  };
  for (const Case& c : cases) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.content;
    EXPECT_EQ(LoadSpecialChars(file.string()), c.expected) << c.content;
  }
  fs::remove(file);
  EXPECT_TRUE(LoadSpecialChars(file.string()).empty());
}

TEST(LoadSpecialChars, TheShippedFile) {
  EXPECT_EQ(LoadSpecialChars(QUILLMARK_SOURCE_DIR "/src/app/resources/SpecialChar.dat"),
            (std::vector<std::string>{"_", "-", "", "."}));
}

// The installed program finds the installed list when the working directory has none;
// a list in the working directory always wins.
TEST(SpecialCharFile, WorkingDirectoryFirstThenTheInstalledCopy) {
  const fs::path saved = fs::current_path();
  const fs::path root = fs::temp_directory_path() / ("qm-scf-" + std::to_string(getpid()));
  const fs::path work = root / "work";
  const fs::path program = root / "usr" / "bin" / "quillmark";
  const fs::path installed = root / "usr" / "share" / "quillmark" / "SpecialChar.dat";
  fs::create_directories(work);
  fs::create_directories(program.parent_path());
  std::ofstream(program) << "";
  fs::current_path(work);

  EXPECT_EQ(SpecialCharFile(program.string()), "SpecialChar.dat") << "nothing anywhere";
  fs::create_directories(installed.parent_path());
  std::ofstream(installed, std::ios::binary) << "_\n-\n";
  EXPECT_EQ(fs::path(SpecialCharFile(program.string())), installed);
  EXPECT_EQ(LoadSpecialChars(SpecialCharFile(program.string())),
            (std::vector<std::string>{"_", "-"}));
  EXPECT_EQ(SpecialCharFile(""), "SpecialChar.dat") << "no program path: the working directory";
  std::ofstream("SpecialChar.dat", std::ios::binary) << ".\n";
  EXPECT_EQ(SpecialCharFile(program.string()), "SpecialChar.dat");
  EXPECT_EQ(LoadSpecialChars(SpecialCharFile(program.string())), (std::vector<std::string>{"."}));

  fs::current_path(saved);
  fs::remove_all(root);
}

TEST(FillSettings, FastTransferSendsGroupsOfAThousand) {
  TProjectSettings s;
  TMainWindowChoices c;
  FillSettings(c, -1, s);
  EXPECT_EQ(s.BatchRows, 0);
  c.fastTransfer = true;
  FillSettings(c, -1, s);
  EXPECT_EQ(s.BatchRows, 1000);
}

TEST(FillSettings, EveryFieldAndTheCurrentKindsButNotTheScriptName) {
  TProjectSettings s;
  s.ScriptFileName = "kept.sql";
  TMainWindowChoices c;
  c.dropIfExist = false;
  c.createObject = true;
  c.transferData = false;
  c.updateData = true;
  c.saveScripts = false;
  c.replaceChar = "-";
  c.sourceIndex = 2;
  c.destIndex = 1;
  FillSettings(c, 30, s);
  EXPECT_EQ(s.RecordLimit, 30);
  EXPECT_FALSE(s.DropIfExist);
  EXPECT_TRUE(s.CreateObject);
  EXPECT_FALSE(s.TransferData);
  EXPECT_TRUE(s.UpdateData);
  EXPECT_FALSE(s.SaveScripts);
  EXPECT_EQ(s.ReplaceChar, "-");
  EXPECT_EQ(s.SourceKind, dkMySQL);
  EXPECT_EQ(s.DestKind, dkSQLServer);
  EXPECT_EQ(CurrentSourceKind, dkMySQL);
  EXPECT_EQ(CurrentDestKind, dkSQLServer);
  EXPECT_EQ(s.ScriptFileName, "kept.sql");
}

}  // namespace
