#include "mysql/sqltext/parser.h"

#include <algorithm>

namespace mysql {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) {
  // Bytes of multi-byte UTF-8 characters count as letters, so a name in any script stays
  // one token.
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0x80;
}
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool StartsIdentifier(char c) { return c == '$' || c == '&' || c == '_' || c == '|' || IsLetter(c); }
bool ContinuesIdentifier(char c) { return StartsIdentifier(c) || IsDigit(c); }

}  // namespace

TBasicParser::TBasicParser(std::string_view text) { SetText(text); }

void TBasicParser::SetText(std::string_view text) {
  text_.assign(text);
  pos_ = start_ = 0;
  line_ = tokenLine_ = 0;
  token_ = TTokenProps{};
}

void TBasicParser::SetOperators(std::string_view commaText) {
  Operators.clear();
  std::size_t i = 0;
  while (i <= commaText.size()) {
    std::size_t end = commaText.find(',', i);
    if (end == std::string_view::npos) end = commaText.size();
    if (end > i) Operators.emplace_back(commaText.substr(i, end - i));
    i = end + 1;
  }
}

bool TBasicParser::At(std::string_view s) const {
  return !s.empty() && text_.compare(pos_, s.size(), s) == 0 && pos_ + s.size() <= text_.size();
}

int TBasicParser::Match(const std::vector<std::string>& list) const {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (At(list[i])) return int(i);
  return -1;
}

bool TBasicParser::AtLineComment() const {
  for (const auto& opener : LineComments) {
    if (opener.size() > 1 && opener.back() == ' ') {
      std::string_view head(opener.data(), opener.size() - 1);
      if (At(head)) {
        std::size_t after = pos_ + head.size();
        if (after >= text_.size() || static_cast<unsigned char>(text_[after]) <= 32) return true;
      }
    } else if (At(opener)) {
      return true;
    }
  }
  return false;
}

void TBasicParser::Advance(std::size_t n) {
  std::size_t end = std::min(text_.size(), pos_ + n);
  line_ += std::count(text_.begin() + std::ptrdiff_t(pos_), text_.begin() + std::ptrdiff_t(end), '\n');
  pos_ = end;
}

void TBasicParser::Finish(uint8_t kind) {
  token_.Kind = kind;
  token_.Position = int64_t(start_) + Offset;
  token_.Text.assign(text_, start_, pos_ - start_);
}

uint8_t TBasicParser::NextToken(bool skipLineBreaks) {
  const std::size_t n = text_.size();
  // White space: control characters and the blank. A zero byte outside a string is
  // white space too: the text ends at its real end, so nothing after a stray zero byte
  // is lost.
  while (pos_ < n) {
    unsigned char c = static_cast<unsigned char>(text_[pos_]);
    if (c == '\n' && !skipLineBreaks) break;
    if (c > 32) break;
    Advance(1);
  }
  start_ = pos_;
  tokenLine_ = line_;
  if (pos_ >= n) {
    Finish(tkEnd);
    return tkEnd;
  }
  const char c = text_[pos_];

  if (c == '\n') {
    Advance(1);
    token_ = TTokenProps{int64_t(start_) + Offset, " ", tkLineBreak};
    return tkLineBreak;
  }
  if (At(Terminator)) {
    Advance(Terminator.size());
    Finish(tkTerminator);
    return tkTerminator;
  }
  if (!HexPrefix.empty() && HexPrefix.size() <= 2 && At(HexPrefix)) {
    Advance(HexPrefix.size());
    while (pos_ < n && IsHexDigit(text_[pos_])) Advance(1);
    Finish(tkHex);
    return tkHex;
  }
  if (AtLineComment()) {
    while (pos_ < n && text_[pos_] != '\n' && text_[pos_] != '\r') Advance(1);
    Finish(tkLineComment);
    return tkLineComment;
  }
  if (int i = Match(BlockCommentOpeners); i >= 0) {
    Advance(BlockCommentOpeners[std::size_t(i)].size());
    const std::string closer =
        std::size_t(i) < BlockCommentClosers.size() ? BlockCommentClosers[std::size_t(i)] : "";
    std::size_t end = closer.empty() ? std::string::npos : text_.find(closer, pos_);
    Advance(end == std::string::npos ? n - pos_ : end - pos_ + closer.size());
    Finish(tkBlockComment);
    return tkBlockComment;
  }
  if (int i = Match(BlockCommentClosers); i >= 0) {
    Advance(BlockCommentClosers[std::size_t(i)].size());
    Finish(tkCommentCloser);
    return tkCommentCloser;
  }
  if (int i = Match(MacroOpeners); i >= 0) {
    Advance(MacroOpeners[std::size_t(i)].size());
    const std::string closer =
        std::size_t(i) < MacroClosers.size() ? MacroClosers[std::size_t(i)] : "";
    while (pos_ < n) {
      if (At(closer)) {
        Advance(closer.size());
        break;
      }
      char m = text_[pos_];
      if (m == '\0' || m == '\n' || m == '\r' || m == ' ') break;
      Advance(1);
    }
    Finish(tkMacro);
    return tkMacro;
  }
  if (int i = Match(MacroClosers); i >= 0) {
    Advance(MacroClosers[std::size_t(i)].size());
    Finish(tkMacro);
    return tkMacro;
  }
  for (const auto& prefix : ParameterPrefixes) {
    if (!At(prefix)) continue;
    std::size_t after = pos_ + prefix.size();
    if (after < n && (IsLetter(text_[after]) || IsDigit(text_[after]) || text_[after] == '_')) {
      Advance(prefix.size());
      while (pos_ < n && (IsLetter(text_[pos_]) || IsDigit(text_[pos_]) || text_[pos_] == '_'))
        Advance(1);
      Finish(tkParameter);
      return tkParameter;
    }
  }
  if (int i = Match(Operators); i >= 0) {
    Advance(Operators[std::size_t(i)].size());
    Finish(tkOperator);
    return tkOperator;
  }

  if (c == '"' || c == '\'') {
    // The string runs to the same quote preceded by an even number of backslashes, over
    // line breaks, or to the end of the text.
    Advance(1);
    std::size_t backslashes = 0;
    while (pos_ < n) {
      char s = text_[pos_];
      Advance(1);
      if (s == c && backslashes % 2 == 0) break;
      backslashes = s == '\\' ? backslashes + 1 : 0;
    }
    Finish(tkString);
    return tkString;
  }
  if (c == '`') {
    std::size_t end = text_.find('`', pos_ + 1);
    Advance(end == std::string::npos ? n - pos_ : end - pos_ + 1);
    Finish(tkIdentifier);
    return tkIdentifier;
  }
  if (StartsIdentifier(c)) {
    while (pos_ < n && ContinuesIdentifier(text_[pos_])) Advance(1);
    Finish(tkIdentifier);
    return tkIdentifier;
  }
  if (IsDigit(c)) {
    while (pos_ < n && IsDigit(text_[pos_])) Advance(1);
    uint8_t kind = tkInteger;
    if (pos_ < n && (text_[pos_] == '.' || text_[pos_] == 'E' || text_[pos_] == 'e')) {
      kind = tkReal;
      bool signSeen = false;
      while (pos_ < n) {
        char d = text_[pos_];
        if (IsDigit(d) || d == '.' || d == 'E' || d == 'e') {
          Advance(1);
        } else if ((d == '+' || d == '-') && !signSeen) {
          signSeen = true;
          Advance(1);
        } else {
          break;
        }
      }
      if (pos_ < n && std::string_view("CDScds").find(text_[pos_]) != std::string_view::npos)
        Advance(1);
    }
    Finish(kind);
    return kind;
  }
  Advance(1);
  Finish(static_cast<uint8_t>(c));
  return token_.Kind;
}

}  // namespace mysql
