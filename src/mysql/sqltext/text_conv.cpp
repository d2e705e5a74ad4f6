#include "mysql/sqltext/text_conv.h"

#include <charconv>
#include <cmath>

#include "platform/text/text.h"

namespace mysql {
namespace {

template <typename T>
std::optional<T> TextToInt(std::string_view text) {
  text = text::TrimSpacesAndTabs(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
  return text::EqualsNoCase(a, b);
}

std::string UpperCase(std::string_view s) {
  return text::UpperCase(s);
}

std::string ExtractWord(int n, std::string_view text, std::string_view delimiters) {
  if (n < 1) return {};
  std::size_t i = 0;
  for (int word = 1;; ++word) {
    i = text.find_first_not_of(delimiters, i);
    if (i == std::string_view::npos) return {};
    std::size_t end = text.find_first_of(delimiters, i);
    if (end == std::string_view::npos) end = text.size();
    if (word == n) return std::string(text.substr(i, end - i));
    i = end;
  }
}

std::optional<int32_t> TextToInt32(std::string_view text) { return TextToInt<int32_t>(text); }
std::optional<int64_t> TextToInt64(std::string_view text) { return TextToInt<int64_t>(text); }

std::optional<double> TextToFloat(std::string_view text) {
  text = text::TrimSpacesAndTabs(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  // from_chars also takes "inf", "nan" and hexadecimal forms with a flag; a number here
  // starts with a digit, a sign or the decimal point.
  if (text.empty()) return std::nullopt;
  std::size_t first = text.front() == '-' ? 1 : 0;
  if (first >= text.size() || !((text[first] >= '0' && text[first] <= '9') || text[first] == '.'))
    return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value,
                                   std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string FloatToText(double value) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  if (ec != std::errc()) return {};
  return std::string(buf, end);
}

}  // namespace mysql
