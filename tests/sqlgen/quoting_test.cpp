#include "sqlgen/quoting.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "sqlgen/fixtures.h"

namespace {

using ado::Variant;

TEST(Quoting, QuoteCharsPerKind) {
  struct Case {
    TDatabaseKind kind;
    const char* id;
    const char* text;
  } cases[] = {{dkAccess, "`", "'"}, {dkSQLServer, "\"", "'"}, {dkMySQL, "`", "'"}, {dkNone, "", ""}};
  for (const auto& c : cases) {
    std::string id, text;
    GetQuoteChars(c.kind, id, text);
    EXPECT_EQ(id, c.id) << int(c.kind);
    EXPECT_EQ(text, c.text) << int(c.kind);
  }
}

TEST(Quoting, Enclose) {
  struct Case {
    const char* text;
    const char* quote;
    const char* expected;
  } cases[] = {
      {"  Orders  ", "`", "`Orders`"},
      {"", "`", ""},
      {"   ", "\"", ""},
      {" name ", "", "name"},
      {"a`b", "`", "`a``b`"},
      {"say \"hi\"", "\"", "\"say \"\"hi\"\"\""},
      {"it's", "`", "`it's`"},
  };
  for (const auto& c : cases) EXPECT_EQ(Enclose(c.text, c.quote), c.expected) << c.text;
}

// A source name is quoted as the catalogue holds it: " x" is not the table x.
TEST(Quoting, EncloseExactKeepsBlanks) {
  EXPECT_EQ(EncloseExact(" x", "`"), "` x`");
  EXPECT_EQ(EncloseExact("a` b ", "`"), "`a`` b `");
  EXPECT_EQ(EncloseExact("", "`"), "");
}

TEST(Quoting, AdjustObjectNameReplacesBlanksOnlyForMySQL) {
  EXPECT_EQ(AdjustObjectName(" `Order Details` ", Settings(dkAccess, dkMySQL, "_")), "`Order_Details`");
  EXPECT_EQ(AdjustObjectName("a b  c", Settings(dkAccess, dkMySQL, "")), "abc");
  EXPECT_EQ(AdjustObjectName("a b", Settings(dkAccess, dkMySQL, "--")), "a--b");
  EXPECT_EQ(AdjustObjectName("\"Order Details\"", Settings(dkAccess, dkSQLServer, "_")),
            "\"Order Details\"");
}

TEST(Quoting, ValuePlaceholder) {
  TCorvaneField f;
  f.FieldName = " order_date ";
  EXPECT_EQ(ValuePlaceholder(f), "*_*ValueORDER_DATET_T");
}

struct LiteralCase {
  const char* what;
  Variant value;
  bool quoted;
  TDatabaseKind dest;
  const char* text;
  bool replacesQuotes;
};

// clang-format off
const LiteralCase kLiteralCases[] = {
  {"Null", Variant(), true, dkMySQL, "NULL", true},
  {"TextQuoteDoubled", Variant("O'Brien"), true, dkAccess, "O''Brien", false},
  {"SQLServerTextIsUnicode", Variant("O'Brien 中"), true, dkSQLServer, "N'O''Brien 中'", true},
  {"SQLServerBareTextIsUnicode", Variant("abc"), false, dkSQLServer, "N'abc'", true},
  {"SQLServerBareNumericText", Variant("007"), false, dkSQLServer, "007", false},
  {"MySQLBackslashDoubled", Variant("a\\b'"), true, dkMySQL, "a\\\\b''", false},
  {"SQLServerBackslashKept", Variant("a\\b"), true, dkSQLServer, "N'a\\b'", true},
  {"MySQLLineBreaksEscaped", Variant("a\r\nb\n"), true, dkMySQL, "a\\r\\nb\\n", false},
  {"SQLServerLineBreaksKept", Variant("a\r\nb"), true, dkSQLServer, "N'a\r\nb'", true},
  {"AccessLineBreaksKept", Variant("a\r\nb"), true, dkAccess, "a\r\nb", false},
  {"MySQLZeroByte", Variant(std::string("a\0b", 3)), true, dkMySQL, "a\\0b", false},
  {"BareNumericText", Variant("-12.5e3"), false, dkMySQL, "-12.5e3", false},
  {"BareTextGetsQuotes", Variant("1); DROP TABLE t; --"), false, dkMySQL, "'1); DROP TABLE t; --'", false},
  {"Double", Variant(1.5), false, dkAccess, "1.5", false},
  {"DoubleShortestRoundTrip", Variant(0.1), false, dkMySQL, "0.1", false},
  {"DoubleLarge", Variant(1e300), false, dkSQLServer, "1e+300", false},
  {"DoubleNaN", Variant(std::nan("")), false, dkSQLServer, "NULL", true},
  {"Int", Variant(-5), false, dkMySQL, "-5", false},
  {"UIntMax", Variant(18446744073709551615ULL), false, dkMySQL, "18446744073709551615", false},
  {"DecimalExact", Variant(ado::Decimal{"-99999999999999999.9999"}), false, dkMySQL, "-99999999999999999.9999", false},
  {"BoolMySQL", Variant(true), false, dkMySQL, "True", false},
  {"BoolAccess", Variant(false), false, dkAccess, "False", false},
  {"BoolSQLServer", Variant(true), false, dkSQLServer, "1", false},
  {"BoolSQLServerFalse", Variant(false), false, dkSQLServer, "0", false},
  {"DateQuoted", Variant(ado::Date{2024, 2, 29}), true, dkMySQL, "2024-02-29", false},
  {"DateBare", Variant(ado::Date{2024, 2, 29}), false, dkMySQL, "'2024-02-29'", false},
  // SQL Server reads these forms alike under every language and DATEFORMAT.
  {"SQLServerDate", Variant(ado::Date{2024, 2, 29}), true, dkSQLServer, "20240229", false},
  {"SQLServerDateBare", Variant(ado::Date{2024, 2, 29}), false, dkSQLServer, "'20240229'", false},
  {"SQLServerDateTime", Variant(ado::DateTime{{2024, 1, 2}, {false, 3, 4, 5, 0}}), true, dkSQLServer, "2024-01-02T03:04:05", false},
  {"SQLServerDateTimeMilliseconds", Variant(ado::DateTime{{2024, 1, 2}, {false, 3, 4, 5, 123456789}}), true, dkSQLServer, "2024-01-02T03:04:05.123", false},
  {"SQLServerDateTimeRoundsDown", Variant(ado::DateTime{{2024, 1, 2}, {false, 3, 4, 5, 400000}}), true, dkSQLServer, "2024-01-02T03:04:05", false},
  {"SQLServerDateTimeRoundsIntoNextYear", Variant(ado::DateTime{{2023, 12, 31}, {false, 23, 59, 59, 999600000}}), true, dkSQLServer, "2024-01-01T00:00:00", false},
  {"SQLServerDateTimeRoundsIntoLeapDay", Variant(ado::DateTime{{2024, 2, 28}, {false, 23, 59, 59, 999500000}}), true, dkSQLServer, "2024-02-29T00:00:00", false},
  // DATETIME ends at 9999-12-31T23:59:59.997 and rounds .998 and .999 up.
  {"SQLServerDateTimeLastOneHeld", Variant(ado::DateTime{{9999, 12, 31}, {false, 23, 59, 59, 999999999}}), true, dkSQLServer, "9999-12-31T23:59:59.997", false},
  {"SQLServerDateTimeLastDayMillisecond998", Variant(ado::DateTime{{9999, 12, 31}, {false, 23, 59, 59, 998000000}}), true, dkSQLServer, "9999-12-31T23:59:59.997", false},
  {"SQLServerDateTimeLastDayEarlierSecond", Variant(ado::DateTime{{9999, 12, 31}, {false, 23, 59, 58, 999600000}}), true, dkSQLServer, "9999-12-31T23:59:59", false},
  {"SQLServerTime", Variant(ado::Time{false, 13, 14, 15, 0}), true, dkSQLServer, "13:14:15", false},
  {"SQLServerTimeMilliseconds", Variant(ado::Time{false, 13, 14, 59, 999900000}), true, dkSQLServer, "13:15:00", false},
  {"SQLServerTimeStaysWithinItsDay", Variant(ado::Time{false, 23, 59, 59, 999600000}), true, dkSQLServer, "23:59:59.997", false},
  {"DateTimeMidnight", Variant(ado::DateTime{{1999, 12, 31}, {}}), true, dkAccess, "1999-12-31 00:00:00", false},
  {"DateTimeFraction", Variant(ado::DateTime{{2024, 1, 2}, {false, 3, 4, 5, 500000000}}), true, dkMySQL, "2024-01-02 03:04:05.5", false},
  {"TimeInterval", Variant(ado::Time{true, 838, 59, 59, 0}), true, dkMySQL, "-838:59:59", false},
  {"BytesMySQL", Variant(ado::Bytes{std::string("\0\xff", 2)}), true, dkMySQL, "X'00FF'", true},
  {"BytesSQLServer", Variant(ado::Bytes{"AB"}), false, dkSQLServer, "0x4142", true},
};
// clang-format on

void PrintTo(const LiteralCase& c, std::ostream* os) { *os << c.what; }

class ValueLiterals : public ::testing::TestWithParam<LiteralCase> {};

// Statement text never follows the user's number or date format.
TEST_P(ValueLiterals, SameInEveryLocale) {
  const LiteralCase& c = GetParam();
  for (const char* locale : {"C", "de_DE.UTF-8"}) {
    ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr)
        << "locale " << locale << " is missing; scripts/install-deps generates it";
    TValueLiteral lit = ValueLiteral(c.value, c.quoted, c.dest);
    EXPECT_EQ(lit.text, c.text) << locale;
    EXPECT_EQ(lit.replacesQuotes, c.replacesQuotes) << locale;
  }
  std::setlocale(LC_ALL, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, ValueLiterals, ::testing::ValuesIn(kLiteralCases),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(FillPlaceholder, ReplacesEveryOccurrenceAndNullTakesItsQuotes) {
  TCorvaneField f;
  f.FieldName = "name";
  const std::string ph = ValuePlaceholder(f);
  const std::string tmpl = "a='" + ph + "' b='" + ph + "'";
  EXPECT_EQ(FillPlaceholder(tmpl, f, Variant("x"), true, dkMySQL), "a='x' b='x'");
  EXPECT_EQ(FillPlaceholder(tmpl, f, Variant(), true, dkMySQL), "a=NULL b=NULL");
  EXPECT_EQ(FillPlaceholder("v= " + ph, f, Variant(), false, dkMySQL), "v= NULL");
  EXPECT_EQ(FillPlaceholder("v= " + ph, f, Variant(1.25), false, dkMySQL), "v= 1.25");
}

TEST(FillPlaceholder, SQLServerTextTakesThePrefixAndNullDoesNot) {
  TCorvaneField f;
  f.FieldName = "name";
  const std::string tmpl = "a='" + ValuePlaceholder(f) + "'";
  EXPECT_EQ(FillPlaceholder(tmpl, f, Variant("x'y"), true, dkSQLServer), "a=N'x''y'");
  EXPECT_EQ(FillPlaceholder(tmpl, f, Variant(), true, dkSQLServer), "a=NULL");
}

TEST(FillPlaceholder, AValueHoldingAPlaceholderIsNotFilledAgain) {
  auto o = MakeObject("T", dkMySQL);
  AddField(*o, {"a", 129, 104, 50});
  AddField(*o, {"b", 3});
  std::vector<const TCorvaneField*> fields{&o->Fields[0], &o->Fields[1]};
  MapRow row{{"a", Variant("*_*ValueBT_T")}, {"b", Variant(5)}};
  EXPECT_EQ(FillPlaceholders("('*_*ValueAT_T', *_*ValueBT_T)", fields, row, dkMySQL),
            "('*_*ValueBT_T', 5)");
}

}  // namespace
