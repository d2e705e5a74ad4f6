// Locale-free text helpers: ASCII case, the word extractor, and numbers read and
// written with "." as the decimal separator whatever the process locale says (the
// conversions never consult or change the locale).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mysql {

// Equal without regard to ASCII case: text::EqualsNoCase under this layer's name.
bool SameText(std::string_view a, std::string_view b);
// ASCII letters in upper case; other bytes (UTF-8 included) unchanged: text::UpperCase.
std::string UpperCase(std::string_view text);

// Word n (counted from 1) of `text`, where words are the maximal runs of characters not
// in `delimiters`; empty when there is no such word.
std::string ExtractWord(int n, std::string_view text, std::string_view delimiters);

// A decimal integer with an optional sign and blanks around it; none when the text is
// anything else or the value does not fit.
std::optional<int32_t> TextToInt32(std::string_view text);
std::optional<int64_t> TextToInt64(std::string_view text);

// A real number such as "-1.5", "2", ".5", "1e-3" or "1E+20", blanks around it allowed;
// none when the text is anything else (a "," is never a decimal separator) or out of
// range. "inf" and "nan" are not numbers here.
std::optional<double> TextToFloat(std::string_view text);
// The shortest text that reads back as the same double ("0.1", "-2", "1e+20").
std::string FloatToText(double value);

}  // namespace mysql
