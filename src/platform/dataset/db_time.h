// The framework's day-and-time stamp is the MySQL text toolkit's DateTime, so the MySQL
// datasets hand their readers' results to the fields as they are.
#pragma once

#include <string>

#include "mysql/sqltext/date_time.h"

using TDateTime = mysql::DateTime;

enum TFieldType : unsigned char;

// "yyyy-mm-dd" for ftDate, "hh:nn:ss" for ftTime, "yyyy-mm-dd hh:nn:ss" otherwise (with
// ".ffffff" when the stamp has a fraction).
std::string DateTimeText(const TDateTime& value, TFieldType type);
// Reads such a text (any of the toolkit's delimiters); false for a text that is not made
// of numbers and delimiters, so a word never becomes day 1 of year 1.
bool ParseDateTimeText(const std::string& text, TFieldType type, TDateTime& value);
