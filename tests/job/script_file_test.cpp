#include "job/script_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ui/messages.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class ScriptFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("qm-script-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Banner() const {
    std::string out;
    for (const auto& l : job::ScriptBannerLines()) out += l + "\r\n";
    return out;
  }

  fs::path dir_;
  ui::RecordingMessages messages_;
  ui::ScopedMessages scoped_{messages_};
};

TEST_F(ScriptFile, BannerHasFiveLinesEndingWithTheRule) {
  const auto& banner = job::ScriptBannerLines();
  ASSERT_EQ(banner.size(), 5u);
  EXPECT_EQ(banner[0], "");
  for (int i = 1; i <= 3; ++i) EXPECT_FALSE(banner[i].empty()) << i;
  EXPECT_EQ(banner[4], std::string(49, '='));
}

TEST_F(ScriptFile, WritesBannerThenEveryLineWithCarriageReturnLineFeed) {
  job::TLineModel lines;
  lines.append("");
  lines.append("DROP TABLE `t`;");
  lines.append("");
  lines.append("INSERT INTO `t`(`n`) VALUES('Zoë 𝄞');");
  const fs::path path = dir_ / "out.sql";
  ASSERT_TRUE(job::SaveScriptFile(path.string(), lines));
  EXPECT_EQ(ReadFile(path), Banner() +
                                "\r\nDROP TABLE `t`;\r\n\r\n"
                                "INSERT INTO `t`(`n`) VALUES('Zoë 𝄞');\r\n");
  ASSERT_EQ(messages_.entries.size(), 1u);
  EXPECT_EQ(messages_.entries[0].kind, ui::MessageKind::Information);
  EXPECT_EQ(messages_.entries[0].text, "Created scripts have saved to " + path.string() + ".");
}

// The command line writes its lines as they are made: the file it names keeps its old
// text until Commit, and a writer ended without Commit leaves nothing behind.
TEST_F(ScriptFile, TheWriterPutsTheFileInPlaceOnlyAtCommit) {
  const fs::path path = dir_ / "out.sql";
  auto files = [&] {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
    return n;
  };
  for (const bool commit : {false, true}) {
    std::ofstream(path) << "OLD";
    {
      job::TScriptFileWriter writer(path.string());
      writer.Put("DROP TABLE `t`;");
      writer.Put("");
      EXPECT_EQ(ReadFile(path), "OLD");
      EXPECT_EQ(files(), 2);  // the file and the temporary one beside it
      if (commit) writer.Commit();
    }
    EXPECT_EQ(ReadFile(path), commit ? Banner() + "DROP TABLE `t`;\r\n\r\n" : "OLD");
    EXPECT_EQ(files(), 1);
  }
}

TEST_F(ScriptFile, NoChosenObjectGivesBannerAndEmptyLinesOnly) {
  job::TLineModel lines;
  lines.append("");
  const fs::path path = dir_ / "empty.sql";
  job::WriteScriptFile(path.string(), lines);
  EXPECT_EQ(ReadFile(path), Banner() + "\r\n");
}

TEST_F(ScriptFile, ReplacesAnExistingLongerFile) {
  const fs::path path = dir_ / "old.sql";
  std::ofstream(path) << std::string(100000, 'o');
  job::TLineModel lines;
  lines.append("new");
  job::WriteScriptFile(path.string(), lines);
  EXPECT_EQ(ReadFile(path), Banner() + "new\r\n");
}

TEST_F(ScriptFile, ReplacingKeepsTheFilesModeAndLinkAndLeavesNoTemporaryFile) {
  const fs::path target = dir_ / "target.sql";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const fs::path link = dir_ / "link.sql";
  fs::create_symlink(target, link);
  job::TLineModel lines;
  lines.append("new");
  job::WriteScriptFile(link.string(), lines);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), Banner() + "new\r\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(ScriptFile, CreatableCheckLeavesNothingBehindAndGivesTheWritersReasons) {
  const fs::path fresh = dir_ / "fresh.sql";
  job::CheckScriptFileCreatable(fresh.string());
  EXPECT_FALSE(fs::exists(fresh));
  const fs::path existing = dir_ / "existing.sql";
  std::ofstream(existing) << "keep";
  job::CheckScriptFileCreatable(existing.string());
  EXPECT_EQ(ReadFile(existing), "keep");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

  const struct {
    fs::path path;
    const char* reason;
  } cases[] = {{dir_ / "no-such-folder" / "out.sql", "No such file or directory"},
               {dir_, "Is a directory"}};
  for (const auto& c : cases) {
    try {
      job::CheckScriptFileCreatable(c.path.string());
      ADD_FAILURE() << c.path;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), c.path.string() + ": " + c.reason);
    }
  }
}

TEST_F(ScriptFile, MissingFolderGivesTheErrorMessageWithTheReason) {
  job::TLineModel lines;
  lines.append("x");
  const fs::path path = dir_ / "no-such-folder" / "out.sql";
  EXPECT_FALSE(job::SaveScriptFile(path.string(), lines));
  ASSERT_EQ(messages_.entries.size(), 1u);
  EXPECT_EQ(messages_.entries[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages_.entries[0].text,
            "Cannot save generated scripts.\n" + path.string() + ": No such file or directory");
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(ScriptFile, AFolderInPlaceOfTheFileIsReported) {
  job::TLineModel lines;
  EXPECT_THROW(job::WriteScriptFile(dir_.string(), lines), std::runtime_error);
}

TEST_F(ScriptFile, AFullDeviceIsReportedNotIgnored) {
  // Writes are buffered, so the failure shows only when the buffer is flushed.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  job::TLineModel lines;
  lines.append("x");
  try {
    job::WriteScriptFile("/dev/full", lines);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "/dev/full: No space left on device");
  }
}

}  // namespace
