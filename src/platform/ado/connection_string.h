// OLE DB connection strings: "key=value;" pairs, keys without regard to case,
// values possibly in single or double quotes (a quote inside doubled).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ado {

class ConnectionString {
 public:
  // Never throws: text that is no pair (no "=") is skipped, as OLE DB does with
  // empty segments. A key given twice keeps its last value. A quote that is never
  // closed takes the rest of the text as its value; unclosedQuoteKey() names its key.
  explicit ConnectionString(std::string_view text);

  // The trimmed key whose value opens a quote that is never closed, which may be
  // empty ("=' ..."); nullopt when every quote is closed.
  const std::optional<std::string>& unclosedQuoteKey() const { return unclosedQuoteKey_; }
  // That key as a message names it: the key, or "an empty key". Empty when every
  // quote is closed.
  std::string unclosedQuoteKeyName() const;
  // Throws DatabaseError naming that key, so the rest of the string is not taken as
  // one value.
  void requireClosedQuotes() const;

  // The trimmed value of a key, without its quotes; nullopt when the key is absent.
  std::optional<std::string> get(std::string_view key) const;
  std::string value(std::string_view key) const { return get(key).value_or(std::string()); }

  const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
  std::optional<std::string> unclosedQuoteKey_;
};

// The provider name without its version suffix, upper-cased: "MSDASQL.1" gives
// "MSDASQL", "Microsoft.Jet.OLEDB.4.0" gives "MICROSOFT.JET.OLEDB".
std::string ProviderBaseName(std::string_view provider);

// A value as an ODBC connection-string attribute: in braces when it holds a
// character that would end it or could be read as one, with "}" doubled.
std::string OdbcAttributeValue(std::string_view value);

}  // namespace ado
