// DateTime: one day and time of day, the stamp the dataset framework keeps for date,
// time and date-and-time values; the readers of MySQL's date and time texts and the
// writers of the texts MySQL reads. Nothing here depends on the locale or time zone.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace mysql {

// A date value has the time 00:00:00; a time value has the empty date (year, month and
// day 0). Values compare in calendar order, the empty date before every day.
struct DateTime {
  int32_t year = 0;    // 1 to 9999, or 0 for the empty date
  int32_t month = 0;   // 1 to 12
  int32_t day = 0;     // 1 to the month's last day
  int32_t hour = 0;    // 0 to 23
  int32_t minute = 0;  // 0 to 59
  int32_t second = 0;  // 0 to 59
  int32_t microsecond = 0;  // 0 to 999999

  bool HasDate() const { return year != 0; }
  friend constexpr auto operator<=>(const DateTime&, const DateTime&) = default;
};

// Day 1 of year 1 at 00:00:00: what the readers give for a date they cannot use.
inline constexpr DateTime kFirstDay{1, 1, 1, 0, 0, 0, 0};

bool IsLeapYear(int32_t year);
bool IsValidDate(int32_t year, int32_t month, int32_t day);
bool IsValidTime(int32_t hour, int32_t minute, int32_t second, int32_t microsecond = 0);
// A valid date (or the empty date) and a valid time.
bool IsValid(const DateTime& value);

// Readers. The parts are the words of the text at the delimiters "-/\.: ", a part that is
// not a number counting as 0.
// "yyyy-mm-dd" and similar: year, month, day; a 0 part becomes 1 (so MySQL's zero date is
// day 1 of year 1); an impossible date gives kFirstDay.
DateTime ReadDate(std::string_view text);
// "hh:nn:ss[.ffffff]" and similar: hour, minute, second and the fraction of a second (up
// to six digits, further digits dropped); an impossible time gives 00:00:00. The date is
// empty.
DateTime ReadTime(std::string_view text);
// Date, blank, time: the first word at " " is read as a date, the second as a time.
DateTime ReadDateTime(std::string_view text);
// The 14 digits "yyyymmddhhnnss" of old TIMESTAMP columns: a year outside 1 to 9999, a
// month outside 1 to 12 and a day outside 1 to 31 become 1; an hour above 23 and a
// minute or second above 59 become 0; an impossible date gives kFirstDay.
DateTime ReadCompactDateTime(std::string_view text);

// Writers. The fraction is written (".ffffff") only when it is not 0.
std::string FormatDate(const DateTime& value);          // "yyyy-mm-dd"
std::string FormatTime(const DateTime& value);          // "hh:nn:ss[.ffffff]"
std::string FormatDateTime(const DateTime& value);      // "yyyy-mm-dd hh:nn:ss[.ffffff]"
std::string FormatCompactDateTime(const DateTime& value);  // "yyyymmddhhnnss"

// Days from 0001-01-01 (day 0) to the value's date, and back; for date arithmetic.
// The value must have a valid date; FromDayNumber takes 0 to 3652058 (9999-12-31).
int32_t DayNumber(const DateTime& value);
DateTime FromDayNumber(int32_t days);

}  // namespace mysql
