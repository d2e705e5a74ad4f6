#include "mysql/sqltext/parser.h"

#include <gtest/gtest.h>

#include "mysql/sqltext/splitter.h"

namespace {

using namespace mysql;

// "kind:text" of every token up to the end of the text.
std::vector<std::string> Tokens(TBasicParser& p, bool skipLineBreaks) {
  std::vector<std::string> out;
  for (int guard = 0; guard < 1000; ++guard) {
    uint8_t kind = p.NextToken(skipLineBreaks);
    if (kind == tkEnd) return out;
    out.push_back(std::to_string(kind) + ":" + p.TokenText());
  }
  ADD_FAILURE() << "no end of text";
  return out;
}

TEST(BasicParser, StartsWithNoToken) {
  TBasicParser p("select 1");
  EXPECT_EQ(p.Token().Kind, tkNone);
  EXPECT_EQ(p.TokenText(), "");
  EXPECT_EQ(p.Terminator, ";");
  p.NextToken(true);
  p.SetText("x");
  EXPECT_EQ(p.Token().Kind, tkNone);
  EXPECT_EQ(p.Line(), 0);
  EXPECT_EQ(p.NextToken(true), tkIdentifier);
  EXPECT_EQ(p.Token().Position, 0);
  EXPECT_EQ(p.NextToken(true), tkEnd);
  EXPECT_EQ(p.NextToken(true), tkEnd);  // stays at the end
}

TEST(BasicParser, TokenKinds) {
  struct Case {
    const char* text;
    std::vector<std::string> tokens;
  } cases[] = {
      {"select a_1, $x FROM `my table`",
       {"1:select", "1:a_1", "44:,", "1:$x", "1:FROM", "1:`my table`"}},
      {"12 3.5 1e5 2.5E-3 7.0d 1.5x 0x1Fg",
       {"3:12", "4:3.5", "4:1e5", "4:2.5E-3", "4:7.0d", "4:1.5", "1:x", "6:0x1F", "1:g"}},
      {"a<>b<<c || d &&e |f%g", {"1:a", "7:<>", "1:b", "7:<<", "1:c", "7:||", "1:d", "7:&&",
                                 "1:e", "7:|", "1:f", "7:%", "1:g"}},
      {"a||b", {"1:a||b"}},  // "|" and "&" continue an identifier
      {"x -- note ; 'q'\ny", {"1:x", "8:-- note ; 'q'", "1:y"}},
      {"x --\ty", {"1:x", "8:--\ty"}},  // any white space after "--"
      {"x --", {"1:x", "8:--"}},
      {"x--y", {"1:x", "7:-", "7:-", "1:y"}},  // "--" without white space is not a comment
      {"x # note\r\ny", {"1:x", "8:# note", "1:y"}},
      {"a /* b\n c */ d */ e", {"1:a", "9:/* b\n c */", "1:d", "11:*/", "1:e"}},
      {"a /* open", {"1:a", "9:/* open"}},
      {"[macro] x] [open ;", {"13:[macro]", "1:x", "13:]", "13:[open", "12:;"}},
      {":name :1 : := :_", {"14::name", "14::1", "58::", "58::", "7:=", "14::_"}},
      {"'it''s'", {"2:'it'", "2:'s'"}},
      {"\"say \\\"hi\\\"\" x", {"2:\"say \\\"hi\\\"\"", "1:x"}},
      {"'a\\\\' b", {"2:'a\\\\'", "1:b"}},            // two backslashes: the quote closes
      {"'a\\\\\\' b'", {"2:'a\\\\\\' b'"}},           // three: it does not
      {"'line one\nline two' x", {"2:'line one\nline two'", "1:x"}},  // strings span lines
      {"'open", {"2:'open"}},
      {"`a``b`", {"1:`a`", "1:`b`"}},
      {"`open", {"1:`open"}},
      {"naïve 名前", {"1:naïve", "1:名前"}},
      {"@v ? (", {"64:@", "1:v", "63:?", "40:("}},
      {"a\0b", {"1:a"}},  // as a C string the text ends at the zero byte
  };
  for (const auto& c : cases) {
    TBasicParser p(c.text);
    ConfigureForStatements(p);
    EXPECT_EQ(Tokens(p, true), c.tokens) << c.text;
  }
}

TEST(BasicParser, ZeroByteOutsideAStringDoesNotEndTheText) {
  TBasicParser p(std::string("a\0b '\0'", 8));
  ConfigureForStatements(p);
  EXPECT_EQ(Tokens(p, true), (std::vector<std::string>{"1:a", "1:b", std::string("2:'\0'", 5)}));
}

TEST(BasicParser, LineBreaksAndPositions) {
  TBasicParser p("a\r\n  b\n'x\ny'\nc");
  ConfigureForStatements(p);
  EXPECT_EQ(Tokens(p, false),
            (std::vector<std::string>{"1:a", "10: ", "1:b", "10: ", "2:'x\ny'", "10: ", "1:c"}));
  p.SetText("a\r\n  b\n'x\ny'\nc");
  p.Offset = 100;
  struct Expect {
    int64_t position;
    int64_t line;
  } expected[] = {{100, 0}, {105, 1}, {107, 2}, {113, 4}};
  for (const auto& e : expected) {
    p.NextToken(true);
    EXPECT_EQ(p.Token().Position, e.position) << p.TokenText();
    EXPECT_EQ(p.TokenLine(), e.line) << p.TokenText();
  }
  EXPECT_EQ(p.Line(), 4);
}

TEST(BasicParser, ConfigurableTerminatorAndPrefixes) {
  TBasicParser p("a $$ b; 0x1 $FF #x");
  p.Terminator = "$$";
  p.HexPrefix = "$";
  EXPECT_EQ(Tokens(p, true),
            (std::vector<std::string>{"1:a", "12:$$", "1:b", "59:;", "3:0", "1:x1", "6:$FF",
                                      "35:#", "1:x"}));
  p.SetOperators(",,<=,<,");
  EXPECT_EQ(p.Operators, (std::vector<std::string>{"<=", "<"}));
}

}  // namespace
