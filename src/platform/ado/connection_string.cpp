#include "platform/ado/connection_string.h"

#include <cctype>

#include "platform/ado/connection.h"
#include "platform/text/text.h"

namespace ado {

ConnectionString::ConnectionString(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // Key: up to the first "=" that is not doubled ("==" stands for "=" in a key).
    std::string key;
    bool haveEquals = false;
    while (i < text.size()) {
      char c = text[i];
      if (c == '=') {
        if (i + 1 < text.size() && text[i + 1] == '=') {
          key += '=';
          i += 2;
          continue;
        }
        haveEquals = true;
        ++i;
        break;
      }
      if (c == ';') break;
      key += c;
      ++i;
    }
    if (!haveEquals) {
      ++i;  // a segment without "=": skip it with its ";"
      continue;
    }
    while (i < text.size() && text::IsBlank(text[i])) ++i;
    std::string value;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
      const char quote = text[i++];
      bool closed = false;
      while (i < text.size()) {
        if (text[i] == quote) {
          if (i + 1 < text.size() && text[i + 1] == quote) {
            value += quote;
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value += text[i++];
      }
      // An empty key is no pair, but its open quote still swallows the rest.
      if (!closed && !unclosedQuoteKey_) unclosedQuoteKey_ = std::string(text::TrimBlanks(key));
      while (i < text.size() && text[i] != ';') ++i;  // blanks after the closing quote
    } else {
      std::size_t end = text.find(';', i);
      if (end == std::string_view::npos) end = text.size();
      value = std::string(text::TrimBlanks(text.substr(i, end - i)));
      i = end;
    }
    if (i < text.size()) ++i;  // the ";"
    std::string k(text::TrimBlanks(key));
    if (k.empty()) continue;
    pairs_.emplace_back(std::move(k), std::move(value));
  }
}

std::string ConnectionString::unclosedQuoteKeyName() const {
  if (!unclosedQuoteKey_) return std::string();
  return unclosedQuoteKey_->empty() ? "an empty key" : *unclosedQuoteKey_;
}

void ConnectionString::requireClosedQuotes() const {
  if (unclosedQuoteKey_)
    throw DatabaseError("The value of " + unclosedQuoteKeyName() +
                        " in the connection string opens a quote that is never closed.");
}

std::optional<std::string> ConnectionString::get(std::string_view key) const {
  for (auto it = pairs_.rbegin(); it != pairs_.rend(); ++it)
    if (text::EqualsNoCase(it->first, key)) return it->second;
  return std::nullopt;
}

std::string ProviderBaseName(std::string_view provider) {
  std::string_view p = text::TrimBlanks(provider);
  // Strip trailing ".<digits>" parts: the version suffix.
  for (;;) {
    std::size_t dot = p.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == p.size()) break;
    std::string_view tail = p.substr(dot + 1);
    bool digits = true;
    for (char c : tail) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (!digits) break;
    p = p.substr(0, dot);
  }
  return text::UpperCase(p);
}

std::string OdbcAttributeValue(std::string_view value) {
  bool plain = !value.empty() && value.front() != ' ' && value.back() != ' ';
  for (char c : value) plain = plain && c != ';' && c != '{' && c != '}' && c != '=';
  if (plain) return std::string(value);
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  out += '}';
  return out;
}

}  // namespace ado
