// Feeds arbitrary text to the OLE DB connection-string parser, as a user pastes it into
// --source or --dest, and to the ODBC string built from it: nothing may crash; keys come
// out trimmed and whole; the pairs written back in the parser's own quoting read back
// the same; an unclosed quote is refused exactly when it is reported, and a text not
// refused leaves no quote open to take a key written after it; and the ODBC
// string holds exactly DSN, UID and PWD with the values given, whatever they contain,
// so no pasted value can add an attribute of its own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/connection_string.h"
#include "platform/ado/provider.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// isspace in the C locale, which the fuzzer runs in.
bool Space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// "=" doubled in a key, every value in double quotes with its own doubled.
std::string Written(const Pairs& pairs) {
  std::string out;
  for (const auto& [key, value] : pairs) {
    for (char c : key) out += c == '=' ? std::string("==") : std::string(1, c);
    out += "=\"";
    for (char c : value) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += "\";";
  }
  return out;
}

// ODBC attributes as the program writes them: KEY=value; or KEY={value}; with "}}" for
// "}" inside braces. False when the text is not made of such attributes alone, or a
// bare value holds what would end it or change how it is read.
bool ReadOdbc(std::string_view s, Pairs& out) {
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t eq = s.find('=', i);
    if (eq == std::string_view::npos) return false;
    std::string key(s.substr(i, eq - i));
    i = eq + 1;
    std::string value;
    if (i < s.size() && s[i] == '{') {
      ++i;
      for (;;) {
        if (i >= s.size()) return false;
        if (s[i] == '}') {
          if (i + 1 < s.size() && s[i + 1] == '}') {
            value += '}';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value += s[i++];
      }
    } else {
      const std::size_t end = s.find(';', i);
      if (end == std::string_view::npos) return false;
      value = std::string(s.substr(i, end - i));
      if (value.empty() || value.front() == ' ' || value.back() == ' ') return false;
      for (char c : value)
        if (c == '{' || c == '}' || c == '=') return false;
      i = end;
    }
    if (i >= s.size() || s[i] != ';') return false;
    ++i;
    out.emplace_back(std::move(key), std::move(value));
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // What a user pastes reaches the parser as a C string (an argument, a text field):
  // it ends at the first zero byte.
  std::string_view text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));
  const ado::ConnectionString parsed(text);
  const Pairs& pairs = parsed.pairs();

  bool refused = false;
  try {
    parsed.requireClosedQuotes();
  } catch (const ado::DatabaseError&) {
    refused = true;
  }
  if (refused != parsed.unclosedQuoteKey().has_value()) __builtin_trap();
  // Unless refused, no quote is left open to swallow a key written after the text.
  if (!refused) {
    const ado::ConnectionString probed(std::string(text) + ";QmProbe=1");
    if (probed.unclosedQuoteKey() || probed.value("QmProbe") != "1") __builtin_trap();
  }

  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const std::string& key = pairs[i].first;
    if (key.empty() || Space(key.front()) || Space(key.back()) ||
        key.find(';') != std::string::npos)
      __builtin_trap();
    // A key given twice keeps its last value.
    std::size_t last = i;
    for (std::size_t j = i + 1; j < pairs.size(); ++j)
      if (SameKey(pairs[j].first, key)) last = j;
    if (parsed.get(key) != std::optional<std::string>(pairs[last].second)) __builtin_trap();
  }

  const ado::ConnectionString again(Written(pairs));
  if (again.unclosedQuoteKey() || again.pairs() != pairs) __builtin_trap();

  Pairs expected;
  std::string dsn = parsed.value("Data Source");
  if (dsn.empty()) dsn = parsed.value("DSN");
  expected.emplace_back("DSN", dsn);
  if (auto uid = parsed.get("User ID")) expected.emplace_back("UID", *uid);
  if (auto pwd = parsed.get("Password")) expected.emplace_back("PWD", *pwd);
  Pairs odbc;
  if (!ReadOdbc(ado::MsdasqlOdbcConnectionString(parsed), odbc) || odbc != expected)
    __builtin_trap();
  return 0;
}
