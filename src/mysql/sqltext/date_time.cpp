#include "mysql/sqltext/date_time.h"

#include <cstdio>

#include "mysql/sqltext/text_conv.h"

namespace mysql {
namespace {

constexpr std::string_view kDelimiters = "-/\\.: ";

int32_t Part(int n, std::string_view text) {
  return TextToInt32(ExtractWord(n, text, kDelimiters)).value_or(0);
}

int32_t DigitsAt(std::string_view text, std::size_t pos, std::size_t count) {
  if (pos >= text.size()) return 0;
  return TextToInt32(text.substr(pos, count)).value_or(0);
}

int32_t DaysInMonth(int32_t year, int32_t month) {
  static constexpr int32_t days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Fraction digits as microseconds: "5" is 500000, "000123" is 123.
int32_t Fraction(std::string_view digits) {
  int32_t us = 0;
  for (std::size_t i = 0; i < 6; ++i) {
    char c = i < digits.size() ? digits[i] : '0';
    if (c < '0' || c > '9') return 0;
    us = us * 10 + (c - '0');
  }
  for (std::size_t i = 6; i < digits.size(); ++i)
    if (digits[i] < '0' || digits[i] > '9') return 0;
  return us;
}

void Append(std::string& out, const char* format, int32_t a, int32_t b, int32_t c) {
  char buf[48];
  int n = std::snprintf(buf, sizeof buf, format, a, b, c);
  out.append(buf, n > 0 ? std::size_t(n) : 0);
}

void AppendFraction(std::string& out, int32_t microsecond) {
  if (microsecond == 0) return;
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, ".%06d", int(microsecond));
  out.append(buf, n > 0 ? std::size_t(n) : 0);
}

}  // namespace

bool IsLeapYear(int32_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

bool IsValidDate(int32_t year, int32_t month, int32_t day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

bool IsValidTime(int32_t hour, int32_t minute, int32_t second, int32_t microsecond) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59 &&
         microsecond >= 0 && microsecond <= 999999;
}

bool IsValid(const DateTime& v) {
  bool date = (v.year == 0 && v.month == 0 && v.day == 0) || IsValidDate(v.year, v.month, v.day);
  return date && IsValidTime(v.hour, v.minute, v.second, v.microsecond);
}

DateTime ReadDate(std::string_view text) {
  int32_t year = Part(1, text), month = Part(2, text), day = Part(3, text);
  if (year == 0) year = 1;
  if (month == 0) month = 1;
  if (day == 0) day = 1;
  if (!IsValidDate(year, month, day)) return kFirstDay;
  return DateTime{year, month, day, 0, 0, 0, 0};
}

DateTime ReadTime(std::string_view text) {
  int32_t hour = Part(1, text), minute = Part(2, text), second = Part(3, text);
  int32_t us = Fraction(ExtractWord(4, text, kDelimiters));
  if (!IsValidTime(hour, minute, second, us)) return DateTime{};
  return DateTime{0, 0, 0, hour, minute, second, us};
}

DateTime ReadDateTime(std::string_view text) {
  DateTime date = ReadDate(ExtractWord(1, text, " "));
  DateTime time = ReadTime(ExtractWord(2, text, " "));
  date.hour = time.hour;
  date.minute = time.minute;
  date.second = time.second;
  date.microsecond = time.microsecond;
  return date;
}

DateTime ReadCompactDateTime(std::string_view text) {
  int32_t year = DigitsAt(text, 0, 4), month = DigitsAt(text, 4, 2), day = DigitsAt(text, 6, 2);
  int32_t hour = DigitsAt(text, 8, 2), minute = DigitsAt(text, 10, 2),
          second = DigitsAt(text, 12, 2);
  if (year < 1 || year > 9999) year = 1;
  if (month < 1 || month > 12) month = 1;
  if (day < 1 || day > 31) day = 1;
  if (hour < 0 || hour > 23) hour = 0;
  if (minute < 0 || minute > 59) minute = 0;
  if (second < 0 || second > 59) second = 0;
  if (!IsValidDate(year, month, day)) return kFirstDay;
  return DateTime{year, month, day, hour, minute, second, 0};
}

std::string FormatDate(const DateTime& v) {
  std::string out;
  Append(out, "%04d-%02d-%02d", v.year, v.month, v.day);
  return out;
}

std::string FormatTime(const DateTime& v) {
  std::string out;
  Append(out, "%02d:%02d:%02d", v.hour, v.minute, v.second);
  AppendFraction(out, v.microsecond);
  return out;
}

std::string FormatDateTime(const DateTime& v) { return FormatDate(v) + " " + FormatTime(v); }

std::string FormatCompactDateTime(const DateTime& v) {
  std::string out;
  Append(out, "%04d%02d%02d", v.year, v.month, v.day);
  Append(out, "%02d%02d%02d", v.hour, v.minute, v.second);
  return out;
}

// Civil-from-days after Howard Hinnant's algorithms, shifted so 0001-01-01 is day 0.
namespace {
constexpr int32_t kDaysTo0001 = 306;  // days from 0000-03-01 to 0001-01-01
}

int32_t DayNumber(const DateTime& v) {
  int32_t y = v.year - (v.month <= 2 ? 1 : 0);
  int32_t era = y / 400;
  int32_t yoe = y - era * 400;
  int32_t mp = (v.month + 9) % 12;
  int32_t doy = (153 * mp + 2) / 5 + v.day - 1;
  int32_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - kDaysTo0001;
}

DateTime FromDayNumber(int32_t days) {
  int32_t z = days + kDaysTo0001;
  int32_t era = z / 146097;
  int32_t doe = z - era * 146097;
  int32_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int32_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int32_t mp = (5 * doy + 2) / 153;
  int32_t day = doy - (153 * mp + 2) / 5 + 1;
  int32_t month = mp < 10 ? mp + 3 : mp - 9;
  int32_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return DateTime{year, month, day, 0, 0, 0, 0};
}

}  // namespace mysql
