#include "job/process_state.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "job/log_time.h"

namespace {

namespace fs = std::filesystem;

TEST(ErrorLogFileName, IsTheProgramNameWithItsExtensionReplaced) {
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/quillmark-cli", "quillmark-cli.log"},
      {"quillmark", "quillmark.log"},
      {"./build/Quillmark.exe", "Quillmark.log"},
      {"/opt/q.v2/tool", "tool.log"},
      {"/opt/.hidden", ".hidden.log"},
      {"a.b.c", "a.b.log"},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(job::ErrorLogFileName(path), name) << path;
}

class ErrorLogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("qm-errlog-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  void TearDown() override {
    ErrorLog.clear();
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path old_, dir_;
};

TEST_F(ErrorLogFile, IsWrittenAlsoWhenEmpty) {
  ErrorLog.clear();
  ASSERT_TRUE(job::WriteErrorLogFile("/some/where/prog"));
  ASSERT_TRUE(fs::exists(dir_ / "prog.log"));
  EXPECT_EQ(Read(dir_ / "prog.log"), "");
}

TEST_F(ErrorLogFile, HoldsTheLinesOfTheLastJobAndReplacesAnEarlierFile) {
  std::ofstream(dir_ / "prog.log") << "old line of an earlier run\nand another\n";
  ErrorLog = {"Post: Duplicate entry '1' for key 'PRIMARY'", "==>Table 'x' doesn't exist"};
  ASSERT_TRUE(job::WriteErrorLogFile("prog"));
  EXPECT_EQ(Read(dir_ / "prog.log"),
            "Post: Duplicate entry '1' for key 'PRIMARY'\n==>Table 'x' doesn't exist\n");
}

TEST_F(ErrorLogFile, AFailureIsReportedAndNeverThrows) {
  fs::create_directory(dir_ / "prog.log");  // a folder where the file should go
  ErrorLog = {"x"};
  EXPECT_FALSE(job::WriteErrorLogFile("prog"));
}

TEST(LogTimestamp, FollowsTheShortDateAndLongTimeOfTheLocale) {
  const char* oldTz = std::getenv("TZ");
  const std::string saved = oldTz ? oldTz : "";
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const std::time_t moment = 1796892896;  // 2026-12-10 08:54:56 UTC
  EXPECT_EQ(job::FormatLogTimestamp(moment, "C"), "12/10/26 08:54:56");
  EXPECT_EQ(job::FormatLogTimestamp(moment, "no_SUCH.locale"), "12/10/26 08:54:56");
  if (locale_t de = newlocale(LC_TIME_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr))) {
    freelocale(de);
    EXPECT_EQ(job::FormatLogTimestamp(moment, "de_DE.UTF-8"), "10.12.2026 08:54:56");
  } else {
    ADD_FAILURE() << "de_DE.UTF-8 is not installed (scripts/install-deps generates it)";
  }
  if (oldTz)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
