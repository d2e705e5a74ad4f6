// Feeds arbitrary text to the tokenizer and the statement splitter: nothing may crash or
// hang, and every quoted string and backquoted name of the input must come out of the
// splitter byte for byte, in order. The strings are found by a small scanner of its own,
// so a tokenizer fault cannot hide itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mysql/sqltext/parser.h"
#include "mysql/sqltext/splitter.h"

namespace {

bool Blank(char c) { return static_cast<unsigned char>(c) <= 32; }
bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0x80;
}
bool Word(char c) { return Letter(c) || Digit(c) || c == '$' || c == '&' || c == '_' || c == '|'; }
bool Hex(char c) { return Digit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The quoted pieces of `s` as the splitter's rules see them: outside comments, macros,
// names and numbers, a string runs to its quote with an even run of backslashes before it, a
// backquoted name to the next backquote (either may run to the end).
std::vector<std::string_view> QuotedPieces(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0, n = s.size();
  while (i < n) {
    char c = s[i];
    if (c == '#' || (c == '-' && i + 1 < n && s[i + 1] == '-' && (i + 2 >= n || Blank(s[i + 2])))) {
      while (i < n && s[i] != '\n' && s[i] != '\r') ++i;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      std::size_t end = s.find("*/", i + 2);
      i = end == std::string_view::npos ? n : end + 2;
    } else if (c == '*' && i + 1 < n && s[i + 1] == '/') {
      i += 2;  // a closer on its own
    } else if (c == '[') {
      ++i;
      while (i < n && s[i] != ']' && s[i] != '\0' && s[i] != '\n' && s[i] != '\r' && s[i] != ' ')
        ++i;
      if (i < n && s[i] == ']') ++i;
    } else if (c == '\'' || c == '"') {
      std::size_t start = i++, backslashes = 0;
      while (i < n) {
        char q = s[i++];
        if (q == c && backslashes % 2 == 0) break;
        backslashes = q == '\\' ? backslashes + 1 : 0;
      }
      out.push_back(s.substr(start, i - start));
    } else if (c == '0' && i + 1 < n && s[i + 1] == 'x') {
      i += 2;
      while (i < n && Hex(s[i])) ++i;
    } else if (Letter(c) || c == '$' || c == '_') {
      while (i < n && Word(s[i])) ++i;
    } else if (Digit(c)) {
      while (i < n && Digit(s[i])) ++i;
      if (i < n && (s[i] == '.' || s[i] == 'e' || s[i] == 'E')) {
        bool sign = false;
        while (i < n && (Digit(s[i]) || s[i] == '.' || s[i] == 'e' || s[i] == 'E' ||
                         (!sign && (s[i] == '+' || s[i] == '-')))) {
          if (s[i] == '+' || s[i] == '-') sign = true;
          ++i;
        }
        if (i < n && std::string_view("CDScds").find(s[i]) != std::string_view::npos) ++i;
      }
    } else if (c == ':' && i + 1 < n && (Letter(s[i + 1]) || Digit(s[i + 1]) || s[i + 1] == '_')) {
      ++i;
      while (i < n && (Letter(s[i]) || Digit(s[i]) || s[i] == '_')) ++i;
    } else if (c == '`') {
      std::size_t end = s.find('`', i + 1);
      std::size_t stop = end == std::string_view::npos ? n : end + 1;
      out.push_back(s.substr(i, stop - i));
      i = stop;
    } else {
      ++i;
    }
  }
  return out;
}

void CheckSplit(std::string_view text, const std::vector<std::string_view>& pieces,
                const mysql::TSplitOptions& options) {
  auto statements = mysql::SplitScript(text, options);
  std::string joined;
  for (const auto& s : statements) {
    if (s.Text.empty() || s.Line < 1) __builtin_trap();
    joined += s.Text;
    joined += '\n';
  }
  std::size_t from = 0;
  for (std::string_view piece : pieces) {
    std::size_t at = joined.find(piece, from);
    if (at == std::string::npos) __builtin_trap();
    from = at + piece.size();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);

  mysql::TBasicParser parser(text);
  mysql::ConfigureForStatements(parser);
  std::size_t last = 0;
  std::vector<std::string_view> strings;
  for (std::size_t guard = 0; guard <= size + 1; ++guard) {
    uint8_t kind = parser.NextToken(guard % 2 == 0);
    if (kind == mysql::tkEnd) break;
    // Every token moves forward and is the text it covers.
    std::size_t start = std::size_t(parser.Token().Position);
    if (parser.Position() <= last || start < last ||
        text.substr(start, parser.Position() - start) !=
            (kind == mysql::tkLineBreak ? std::string_view("\n") : parser.TokenText()))
      __builtin_trap();
    last = parser.Position();
    if (kind == mysql::tkString || (kind == mysql::tkIdentifier && text[start] == '`'))
      strings.push_back(text.substr(start, last - start));
    if (guard == size + 1) __builtin_trap();  // no end of text
  }

  // The tokenizer finds exactly the strings and names the scanner finds.
  auto pieces = QuotedPieces(text);
  if (pieces != strings) __builtin_trap();

  mysql::TSplitOptions plain;
  CheckSplit(text, pieces, plain);
  mysql::TSplitOptions client;
  client.KeepLayout = true;
  client.KeepExecutableComments = true;
  client.KeepTerminator = false;
  CheckSplit(text, pieces, client);
  return 0;
}
