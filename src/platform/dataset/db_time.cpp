#include "platform/dataset/db_time.h"

#include "platform/dataset/db.h"

std::string DateTimeText(const TDateTime& value, TFieldType type) {
  if (type == ftDate) return mysql::FormatDate(value);
  if (type == ftTime) return mysql::FormatTime(value);
  return mysql::FormatDateTime(value);
}

bool ParseDateTimeText(const std::string& text, TFieldType type, TDateTime& value) {
  bool digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9')
      digit = true;
    else if (std::string_view("-/\\.: ").find(c) == std::string_view::npos)
      return false;
  }
  if (!digit) return false;
  if (type == ftTime)
    value = mysql::ReadTime(text);
  else if (type == ftDate)
    value = mysql::ReadDate(text);
  else
    value = text.find(' ') == std::string::npos ? mysql::ReadDate(text) : mysql::ReadDateTime(text);
  return true;
}
