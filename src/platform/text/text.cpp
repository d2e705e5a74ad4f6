#include "platform/text/text.h"

#include <algorithm>

namespace text {

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

template <class Drop>
std::string_view Trim(std::string_view s, Drop drop) {
  while (!s.empty() && drop(s.front())) s.remove_prefix(1);
  while (!s.empty() && drop(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view TrimBlanks(std::string_view s) {
  return Trim(s, IsBlank);
}

std::string_view TrimControls(std::string_view s) {
  return Trim(s, IsControl);
}

std::string_view TrimSpacesAndTabs(std::string_view s) {
  return Trim(s, [](char c) { return c == ' ' || c == '\t'; });
}

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Upper(c);
  return out;
}

std::string LowerCase(std::string_view s) {
  std::string out;
  LowerCase(s, out);
  return out;
}

void LowerCase(std::string_view s, std::string& out) {
  out.assign(s);
  for (char& c : out) c = Lower(c);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(std::string_view s, std::string_view head) {
  return s.size() >= head.size() && EqualsNoCase(s.substr(0, head.size()), head);
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                     [](char x, char y) { return Lower(x) == Lower(y); }) != haystack.end() ||
         needle.empty();
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(Lower(a[i]));
    const auto y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

std::string QuoteName(std::string_view s, std::string_view quote) {
  if (quote.empty()) return std::string(s);
  std::string out(quote);
  for (std::size_t pos = 0;;) {
    const std::size_t hit = s.find(quote, pos);
    out += s.substr(pos, hit == std::string_view::npos ? std::string_view::npos : hit - pos);
    if (hit == std::string_view::npos) break;
    out += quote;
    out += quote;
    pos = hit + quote.size();
  }
  out += quote;
  return out;
}

std::string EscapeSqlText(std::string_view s, bool mysqlEscapes) {
  std::string out;
  out.reserve(s.size() + 8);
  for (char c : s) {
    if (c == '\'') {
      out += "''";
    } else if (mysqlEscapes && c == '\\') {
      out += "\\\\";
    } else if (mysqlEscapes && c == '\0') {
      out += "\\0";
    } else if (mysqlEscapes && c == '\r') {
      out += "\\r";
    } else if (mysqlEscapes && c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string SqlTextLiteral(std::string_view s, bool mysqlEscapes) {
  return "'" + EscapeSqlText(s, mysqlEscapes) + "'";
}

}  // namespace text
