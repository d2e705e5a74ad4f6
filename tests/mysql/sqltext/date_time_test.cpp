#include "mysql/sqltext/date_time.h"

#include <gtest/gtest.h>

namespace mysql {
// Failures show the value as text.
void PrintTo(const DateTime& v, std::ostream* os) { *os << FormatDateTime(v); }
}  // namespace mysql

namespace {

using namespace mysql;

DateTime D(int y, int m, int d, int h = 0, int n = 0, int s = 0, int us = 0) {
  return DateTime{y, m, d, h, n, s, us};
}

TEST(DateTimeReaders, Date) {
  struct Case {
    const char* text;
    DateTime expected;
  } cases[] = {
      {"2024-02-29", D(2024, 2, 29)},
      {"2007/1/2", D(2007, 1, 2)},
      {"2007.01.02", D(2007, 1, 2)},
      {"2007\\01\\02", D(2007, 1, 2)},
      {"0000-00-00", kFirstDay},   // MySQL's zero date
      {"2007-00-00", D(2007, 1, 1)},
      {"2023-02-29", kFirstDay},   // not a leap year
      {"2024-02-30", kFirstDay},
      {"1900-02-29", kFirstDay},
      {"2000-02-29", D(2000, 2, 29)},
      {"2024-13-01", kFirstDay},
      {"abc", kFirstDay},
      {"", kFirstDay},
      {"9999-12-31", D(9999, 12, 31)},
      {"10000-01-01", kFirstDay},
      {"2024-05-06 07:08:09", D(2024, 5, 6)},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadDate(c.text), c.expected) << c.text;
}

TEST(DateTimeReaders, Time) {
  struct Case {
    const char* text;
    DateTime expected;
  } cases[] = {
      {"13:14:15", D(0, 0, 0, 13, 14, 15)},
      {"23:59:59", D(0, 0, 0, 23, 59, 59)},
      {"7:5", D(0, 0, 0, 7, 5, 0)},
      {"24:00:00", DateTime{}},
      {"12:60:00", DateTime{}},
      {"838:59:59", DateTime{}},  // TIME beyond a day: not a time of day
      {"", DateTime{}},
      // the fraction of a second is kept
      {"13:14:15.5", D(0, 0, 0, 13, 14, 15, 500000)},
      {"13:14:15.000123", D(0, 0, 0, 13, 14, 15, 123)},
      {"13:14:15.1234567", D(0, 0, 0, 13, 14, 15, 123456)},
      {"13:14:15.x", D(0, 0, 0, 13, 14, 15, 0)},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadTime(c.text), c.expected) << c.text;
}

TEST(DateTimeReaders, DateAndTimeAndCompact) {
  EXPECT_EQ(ReadDateTime("2024-05-06 07:08:09"), D(2024, 5, 6, 7, 8, 9));
  EXPECT_EQ(ReadDateTime("2024-05-06 07:08:09.250"), D(2024, 5, 6, 7, 8, 9, 250000));
  EXPECT_EQ(ReadDateTime("0000-00-00 00:00:00"), kFirstDay);
  EXPECT_EQ(ReadDateTime("2024-05-06"), D(2024, 5, 6));
  EXPECT_EQ(ReadDateTime("2024-02-30 10:00:00"), D(1, 1, 1, 10, 0, 0));

  struct Case {
    const char* text;
    DateTime expected;
  } cases[] = {
      {"20070102030405", D(2007, 1, 2, 3, 4, 5)},
      {"00000000000000", kFirstDay},
      {"20071399246060", D(2007, 1, 1, 0, 0, 0)},  // each part out of range becomes 1 or 0
      {"20070231120000", kFirstDay},               // 31 February
      {"20070102", D(2007, 1, 2)},                 // an 8-digit TIMESTAMP(8)
      {"", kFirstDay},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadCompactDateTime(c.text), c.expected) << c.text;
}

TEST(DateTimeWriters, FormatsReadBack) {
  DateTime v = D(7, 3, 4, 5, 6, 7);
  EXPECT_EQ(FormatDate(v), "0007-03-04");
  EXPECT_EQ(FormatTime(v), "05:06:07");
  EXPECT_EQ(FormatDateTime(v), "0007-03-04 05:06:07");
  EXPECT_EQ(FormatCompactDateTime(v), "00070304050607");
  EXPECT_EQ(ReadDateTime(FormatDateTime(v)), v);
  EXPECT_EQ(ReadCompactDateTime(FormatCompactDateTime(v)), v);
  DateTime f = D(2024, 12, 31, 23, 59, 59, 999999);
  EXPECT_EQ(FormatDateTime(f), "2024-12-31 23:59:59.999999");
  EXPECT_EQ(ReadDateTime(FormatDateTime(f)), f);
  EXPECT_EQ(FormatTime(D(0, 0, 0, 1, 2, 3, 40)), "01:02:03.000040");
}

TEST(DateTimeStamp, OrderValidityAndDayNumbers) {
  EXPECT_LT(D(2024, 1, 1), D(2024, 1, 2));
  EXPECT_LT(D(2024, 1, 1, 23, 59, 59, 999999), D(2024, 1, 2));
  EXPECT_LT(DateTime{}, kFirstDay);
  EXPECT_TRUE(IsValid(D(0, 0, 0, 12)));
  EXPECT_FALSE(IsValid(D(2024, 2, 30)));
  EXPECT_FALSE(IsValid(D(0, 1, 0)));

  EXPECT_EQ(DayNumber(kFirstDay), 0);
  EXPECT_EQ(DayNumber(D(1, 12, 31)), 364);
  EXPECT_EQ(DayNumber(D(1970, 1, 1)), 719162);
  EXPECT_EQ(DayNumber(D(9999, 12, 31)), 3652058);
  // Every day of a span with century and leap-year edges goes there and back.
  int32_t start = DayNumber(D(1899, 12, 1)), end = DayNumber(D(2101, 3, 1));
  DateTime prev = FromDayNumber(start - 1);
  for (int32_t n = start; n <= end; ++n) {
    DateTime d = FromDayNumber(n);
    ASSERT_TRUE(IsValidDate(d.year, d.month, d.day)) << n;
    ASSERT_EQ(DayNumber(d), n);
    ASSERT_LT(prev, d);
    prev = d;
  }
  EXPECT_EQ(FromDayNumber(DayNumber(D(2000, 2, 29)) + 1), D(2000, 3, 1));
  EXPECT_EQ(FromDayNumber(3652058), D(9999, 12, 31));
}

}  // namespace
