#include "platform/text/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

using namespace std::string_literals;

// The windows run under the user's locale; names and type words must read the same.
class TextUnderLocales : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr)
        << "locale " << GetParam() << " is missing; scripts/install-deps generates it";
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_P(TextUnderLocales, TrimsBlanksControlsOrSpacesAtBothEndsOnly) {
  struct Case {
    std::string in;
    std::string blanks;    // TrimBlanks
    std::string controls;  // TrimControls
    std::string spaces;    // TrimSpacesAndTabs
  } cases[] = {
      {"", "", "", ""},
      {" \t\r\n\v\f", "", "", "\r\n\v\f"},
      {"  a b  ", "a b", "a b", "a b"},
      {"\ta\n", "a", "a", "a\n"},
      {"\x01x\x1f", "\x01x\x1f", "x", "\x01x\x1f"},
      {"\0x\0"s, "\0x\0"s, "x", "\0x\0"s},
      // "voilà": its last byte is 0xA0
      {"voil\xc3\xa0", "voil\xc3\xa0", "voil\xc3\xa0", "voil\xc3\xa0"},
      {"\xc2\xa0x", "\xc2\xa0x", "\xc2\xa0x", "\xc2\xa0x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text::TrimBlanks(c.in), c.blanks) << c.in;
    EXPECT_EQ(text::TrimControls(c.in), c.controls) << c.in;
    EXPECT_EQ(text::TrimSpacesAndTabs(c.in), c.spaces) << c.in;
  }
}

TEST_P(TextUnderLocales, CaseChangesAndComparisonsTouchAsciiLettersOnly) {
  EXPECT_EQ(text::UpperCase("varchar(10) \xc3\xa9"), "VARCHAR(10) \xc3\xa9");
  EXPECT_EQ(text::LowerCase("MSys\xc3\x89"), "msys\xc3\x89");
  EXPECT_EQ(text::UpperCase("bigint identity"), "BIGINT IDENTITY");
  EXPECT_EQ(text::LowerCase("MEDIUMINT"), "mediumint");
  struct Case {
    std::string a;
    std::string b;
    int order;  // CompareNoCase's sign
  } cases[] = {
      {"", "", 0},
      {"Orders", "ORDERS", 0},
      {"a", "B", -1},
      {"b", "A", 1},
      {"ab", "AB c", -1},
      {"_x", "Ax", -1},  // folded to lower case, as strcasecmp folds: '_' before 'a'
      {"_x", "[x", 1},
      {"\xc3\xa9", "\xc3\x89", 1},  // é and É differ: bytes beyond ASCII are not folded
      {"Limit", "LIMIT", 0},        // in Turkish, "i" is upper-cased to a dotted I
      {"\xc4\xb0NT", "int", 1},     // and that dotted I is no ASCII letter
      {"ab\0X"s, "AB\0x"s, 0},      // a zero byte is compared as any other, not an end
      {"ab\0x"s, "ab\0y"s, -1},
      {"ab\0"s, "ab"s, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text::EqualsNoCase(c.a, c.b), c.order == 0) << c.a << " " << c.b;
    const int got = text::CompareNoCase(c.a, c.b);
    EXPECT_EQ((got > 0) - (got < 0), c.order) << c.a << " " << c.b;
  }
  EXPECT_TRUE(text::StartsWithNoCase("VarBinary(300)", "varbinary"));
  EXPECT_FALSE(text::StartsWithNoCase("var", "varbinary"));
  EXPECT_TRUE(text::ContainsNoCase("10.11.6-MariaDB-0+deb12u1", "mariadb"));
  EXPECT_TRUE(text::ContainsNoCase("MARIADB ODBC 3.1 DRIVER", "MariaDB"));
  EXPECT_TRUE(text::ContainsNoCase("x", ""));
  EXPECT_FALSE(text::ContainsNoCase("Microsoft SQL Server", "mysql"));
}

INSTANTIATE_TEST_SUITE_P(Locales, TextUnderLocales,
                         ::testing::Values("C", "de_DE.UTF-8", "tr_TR.UTF-8"));

TEST(QuoteName, DoublesEveryQuoteInsideAndLeavesTextBareWithoutOne) {
  struct Case {
    const char* text;
    const char* quote;
    const char* out;
  } cases[] = {
      {"a b", "`", "`a b`"},        {"it`s``", "`", "`it``s`````"}, {"", "\"", "\"\""},
      {"x]]y", "]]", "]]x]]]]y]]"},  // a quote of two characters is doubled whole
      {"as is", "", "as is"},
  };
  for (const Case& c : cases) EXPECT_EQ(text::QuoteName(c.text, c.quote), c.out) << c.text;
}

TEST(SqlTextLiteral, DoublesQuotesAndForMySQLEscapesBackslashesZerosAndLineBreaks) {
  struct Case {
    std::string in;
    bool mysql;
    std::string out;
  } cases[] = {
      {"it's", false, "'it''s'"},
      {"a\\'b", false, "'a\\''b'"},
      {"a\\'b", true, "'a\\\\''b'"},
      {"", true, "''"},
      {"l1\r\nl2\0z"s, false, "'l1\r\nl2\0z'"s},
      {"l1\r\nl2\0z"s, true, "'l1\\r\\nl2\\0z'"},
  };
  for (const Case& c : cases) EXPECT_EQ(text::SqlTextLiteral(c.in, c.mysql), c.out) << c.in;
}

}  // namespace
