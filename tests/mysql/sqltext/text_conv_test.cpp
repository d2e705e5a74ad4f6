#include "mysql/sqltext/text_conv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>

namespace {

using namespace mysql;

TEST(TextConv, ExtractWord) {
  struct Case {
    int n;
    const char* text;
    const char* delimiters;
    const char* expected;
  } cases[] = {
      {1, "10.11.19-MariaDB", ".- ", "10"},
      {3, "10.11.19-MariaDB", ".- ", "19"},
      {4, "10.11.19-MariaDB", ".- ", "MariaDB"},
      {5, "10.11.19-MariaDB", ".- ", ""},
      {1, "  --a--b", "- ", "a"},  // leading delimiters do not make an empty word
      {2, "a,,b", ",", "b"},
      {0, "a b", " ", ""},
      {1, "", " ", ""},
      {1, "abc", "", "abc"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExtractWord(c.n, c.text, c.delimiters), c.expected) << c.n << " " << c.text;
}

TEST(TextConv, CaseAndIntegers) {
  EXPECT_TRUE(SameText("Client", "cLIENT"));
  EXPECT_FALSE(SameText("client", "clients"));
  EXPECT_EQ(UpperCase("abc_é1"), "ABC_é1");
  struct Case {
    const char* text;
    std::optional<int32_t> expected;
  } cases[] = {{"42", 42},       {" -7 ", -7},       {"+3", 3},        {"", std::nullopt},
               {"+", std::nullopt}, {"+-3", std::nullopt}, {"1.5", std::nullopt},
               {"12a", std::nullopt}, {"2147483647", 2147483647},
               {"2147483648", std::nullopt}, {"0x10", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(TextToInt32(c.text), c.expected) << c.text;
  EXPECT_EQ(TextToInt64("9223372036854775807"), std::numeric_limits<int64_t>::max());
}

// Numbers must not follow the process locale: run the same table under the C locale and
// under one with a comma as decimal separator, set both ways a program may set it.
class TextConvLocale : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const char* name = GetParam();
    saved_ = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, name)) GTEST_SKIP() << "locale " << name << " not installed";
    std::locale::global(std::locale(name));
  }
  void TearDown() override {
    std::setlocale(LC_ALL, saved_.c_str());
    std::locale::global(std::locale::classic());
  }
  std::string saved_;
};

TEST_P(TextConvLocale, FloatsUseThePoint) {
  struct ReadCase {
    const char* text;
    std::optional<double> expected;
  } reads[] = {{"1.5", 1.5},        {"-0.25", -0.25},     {" 2 ", 2.0},        {".5", 0.5},
               {"1e3", 1000.0},     {"1E-3", 0.001},      {"+7.0", 7.0},       {"1,5", std::nullopt},
               {"", std::nullopt},  {"abc", std::nullopt}, {"inf", std::nullopt},
               {"nan", std::nullopt}, {"1.5x", std::nullopt}, {"1e999", std::nullopt},
               {"-", std::nullopt}};
  for (const auto& c : reads) EXPECT_EQ(TextToFloat(c.text), c.expected) << c.text;

  struct WriteCase {
    double value;
    const char* text;
  } writes[] = {{1.5, "1.5"}, {-0.25, "-0.25"}, {0.1, "0.1"}, {100.0, "100"},
                {1e20, "1e+20"}, {1.0 / 3, "0.3333333333333333"}};
  for (const auto& c : writes) EXPECT_EQ(FloatToText(c.value), c.text) << c.value;

  for (double v : {0.1, 1.0 / 3, 123456.789, -1e-300, 5e-324, 1.7976931348623157e308})
    EXPECT_EQ(TextToFloat(FloatToText(v)), v) << FloatToText(v);
}

INSTANTIATE_TEST_SUITE_P(Locales, TextConvLocale, ::testing::Values("C", "de_DE.UTF-8"),
                         [](const auto& info) { return info.index == 0 ? "C" : "de_DE"; });

}  // namespace
