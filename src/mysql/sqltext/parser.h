// TBasicParser: a configurable tokenizer for SQL text. It knows line and block comments,
// quoted strings, backquoted names, numbers, operators, macros and parameters, as its
// configuration lists them. The text is read as bytes; nothing here throws except on
// exhaustion of memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mysql {

// Token kinds. Any other kind is a single character whose code is the kind.
enum TTokenKind : uint8_t {
  tkEnd = 0,            // end of text
  tkIdentifier = 1,     // identifier or backquoted name
  tkString = 2,         // quoted string, quotes included
  tkInteger = 3,
  tkReal = 4,
  tkHex = 6,            // hexadecimal prefix and digits
  tkOperator = 7,
  tkLineComment = 8,
  tkBlockComment = 9,
  tkLineBreak = 10,     // text " "
  tkCommentCloser = 11, // a block-comment closer on its own
  tkTerminator = 12,    // the statement terminator
  tkMacro = 13,         // between a macro opener and closer, or a closer on its own
  tkParameter = 14,     // prefix and name
  tkNone = 99,          // no token read yet
};

struct TTokenProps {
  int64_t Position = 0;  // offset of the token's start in the text, plus the parser's offset
  std::string Text;
  uint8_t Kind = tkNone;
};

class TBasicParser {
 public:
  // Statement terminator ";", everything else unconfigured.
  explicit TBasicParser(std::string_view text = {});

  // Back to the start of `text`: line counter 0, no token yet (kind 99, empty text).
  void SetText(std::string_view text);
  const std::string& Text() const { return text_; }

  // Reads the next token and returns its kind. With `skipLineBreaks` a line feed is white
  // space; without it, it is a kind-10 token.
  uint8_t NextToken(bool skipLineBreaks);
  const TTokenProps& Token() const { return token_; }
  const std::string& TokenText() const { return token_.Text; }

  // Byte offset of the read position (just after the current token).
  std::size_t Position() const { return pos_; }
  // Line feeds read so far, inside tokens included.
  int64_t Line() const { return line_; }
  // Line feeds before the current token's start.
  int64_t TokenLine() const { return tokenLine_; }
  // Added to every token position.
  int64_t Offset = 0;

  // Configuration. Openers and operators are tried in list order with case, so a longer
  // operator must be listed before its prefixes. Closers run parallel to their openers.
  // A line-comment opener that ends in a blank ("-- ") matches with any white space or
  // the end of the text in the blank's place, as MySQL reads "--".
  std::vector<std::string> Operators;
  std::string HexPrefix;
  std::vector<std::string> LineComments;
  std::vector<std::string> BlockCommentOpeners;
  std::vector<std::string> BlockCommentClosers;
  std::vector<std::string> MacroOpeners;
  std::vector<std::string> MacroClosers;
  std::vector<std::string> ParameterPrefixes;
  std::string Terminator = ";";

  // Sets Operators from comma text ("+,-,*").
  void SetOperators(std::string_view commaText);

 private:
  bool At(std::string_view s) const;
  bool AtLineComment() const;
  // Index of the first item of `list` the text continues with, or -1.
  int Match(const std::vector<std::string>& list) const;
  void Advance(std::size_t n);
  void Finish(uint8_t kind);

  std::string text_;
  std::size_t pos_ = 0;
  std::size_t start_ = 0;
  int64_t line_ = 0;
  int64_t tokenLine_ = 0;
  TTokenProps token_;
};

}  // namespace mysql
