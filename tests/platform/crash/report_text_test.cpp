#include "platform/crash/report_text.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace crash::detail;

namespace {

// The hand-written calendar must agree with the C library's on every kind of day.
TEST(ReportText, CivilTimeAgreesWithTheCLibrary) {
  const struct {
    std::time_t t;
    long offset;
  } cases[] = {
      {0, 0},                // the epoch
      {-1, 0},               // the second before it
      {951782400, 0},        // 2000-02-29, a leap day of a century year
      {4107542400, 0},       // 2100-03-01, after a century year without one
      {1798761599, 0},       // 2026-12-31 23:59:59
      {1798761599, 3600},    // ... which is next year east of UTC
      {1767225600, -19800},  // 2026-01-01 00:00 UTC is the year before at -05:30
      {1781085845, 5 * 3600 + 45 * 60},
  };
  for (const auto& c : cases) {
    const std::time_t shifted = c.t + c.offset;
    std::tm expected{};
    ASSERT_TRUE(gmtime_r(&shifted, &expected));
    const CivilTime got = ToCivil(c.t, c.offset);
    SCOPED_TRACE(std::to_string(c.t) + " " + std::to_string(c.offset));
    EXPECT_EQ(got.year, expected.tm_year + 1900);
    EXPECT_EQ(got.month, expected.tm_mon + 1);
    EXPECT_EQ(got.day, expected.tm_mday);
    EXPECT_EQ(got.hour, expected.tm_hour);
    EXPECT_EQ(got.minute, expected.tm_min);
    EXPECT_EQ(got.second, expected.tm_sec);
  }
}

TEST(ReportText, TimeAndFileNamesArePaddedAndNumbered) {
  const CivilTime t = ToCivil(951782400 + 3 * 3600 + 4 * 60 + 5, -(5 * 3600 + 30 * 60));
  std::string text;
  {
    ReportWriter w(&text);
    AppendTime(w, t);
  }
  EXPECT_EQ(text, "2000-02-28 21:34:05 -0530");
  char name[64];
  ReportFileName(name, sizeof name, t, 1);
  EXPECT_STREQ(name, "quillmark-crash-20000228-213405.txt");
  ReportFileName(name, sizeof name, t, 12);
  EXPECT_STREQ(name, "quillmark-crash-20000228-213405-12.txt");
}

TEST(ReportText, WriterNumbersAndTextLongerThanItsBuffer) {
  std::string text;
  const std::string longText(5000, 'x');
  {
    ReportWriter w(&text);
    w.Dec(-42).Char(' ').Dec(7, 3).Char(' ').Hex(0xbeef).Char(' ').Hex(0x1f, 4).Char(' ');
    w.Dec(-9223372036854775807LL - 1).Char(' ');
    w.Text(longText.c_str()).Text("end");
  }
  EXPECT_EQ(text, "-42 007 0xbeef 0x001f -9223372036854775808 " + longText + "end");
}

TEST(ReportText, ASecondReportInTheSameSecondGetsItsOwnFile) {
  const fs::path dir = fs::temp_directory_path() / ("qm-crash-names-" + std::to_string(getpid()));
  fs::remove_all(dir);
  const fs::path nested = dir / "a" / "b";
  ASSERT_TRUE(MakeDirectories(nested.c_str()));
  ASSERT_TRUE(MakeDirectories(nested.c_str())) << "an existing folder is fine";
  const CivilTime t = ToCivil(1781085845, 0);
  char first[4096], second[4096];
  const int a = CreateReportFile(nested.c_str(), t, first, sizeof first);
  const int b = CreateReportFile(nested.c_str(), t, second, sizeof second);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  close(a);
  close(b);
  EXPECT_EQ(fs::path(first).filename(), "quillmark-crash-20260610-100405.txt");
  EXPECT_EQ(fs::path(second).filename(), "quillmark-crash-20260610-100405-2.txt");

  char path[4096];
  errno = 0;
  EXPECT_EQ(CreateReportFile((dir / "missing").c_str(), t, path, sizeof path), -1);
  EXPECT_EQ(errno, ENOENT);
  fs::remove_all(dir);
}

}  // namespace
