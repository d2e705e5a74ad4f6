#include "platform/dataset/db_time.h"

#include <optional>

#include "mysql/sqltext/text_conv.h"
#include "platform/dataset/db.h"

std::string DateTimeText(const TDateTime& value, TFieldType type) {
  if (type == ftDate) return mysql::FormatDate(value);
  if (type == ftTime) return mysql::FormatTime(value);
  return mysql::FormatDateTime(value);
}

namespace {

constexpr std::string_view kDelimiters = "-/\\.: ";

// The readers turn an impossible day or time into a stand-in (day 1 of year 1, 00:00:00),
// which suits texts from the server; typed text must be refused instead, or the stand-in
// would be stored in place of what was meant.
std::optional<int32_t> PartAt(int n, std::string_view text) {
  std::string word = mysql::ExtractWord(n, text, kDelimiters);
  if (word.empty()) return 0;
  return mysql::TextToInt32(word);
}

bool DatePartsValid(std::string_view text) {
  auto year = PartAt(1, text), month = PartAt(2, text), day = PartAt(3, text);
  if (!year || !month || !day) return false;
  // A 0 part reads as 1, as MySQL's zero date does.
  return mysql::IsValidDate(*year ? *year : 1, *month ? *month : 1, *day ? *day : 1);
}

bool TimePartsValid(std::string_view text) {
  if (text.find('-') != std::string_view::npos) return false;  // no negative times of day
  auto hour = PartAt(1, text), minute = PartAt(2, text), second = PartAt(3, text);
  return hour && minute && second && mysql::IsValidTime(*hour, *minute, *second);
}

bool PartsValid(const std::string& text, TFieldType type) {
  if (type == ftTime) return TimePartsValid(text);
  if (type == ftDate || text.find(' ') == std::string::npos) return DatePartsValid(text);
  return DatePartsValid(mysql::ExtractWord(1, text, " ")) &&
         TimePartsValid(mysql::ExtractWord(2, text, " "));
}

}  // namespace

bool ParseDateTimeText(const std::string& text, TFieldType type, TDateTime& value) {
  bool digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9')
      digit = true;
    else if (std::string_view("-/\\.: ").find(c) == std::string_view::npos)
      return false;
  }
  if (!digit || !PartsValid(text, type)) return false;
  if (type == ftTime)
    value = mysql::ReadTime(text);
  else if (type == ftDate)
    value = mysql::ReadDate(text);
  else
    value = text.find(' ') == std::string::npos ? mysql::ReadDate(text) : mysql::ReadDateTime(text);
  return true;
}
