#include "mysql/sqltext/splitter.h"

#include <gtest/gtest.h>

namespace {

using namespace mysql;

std::vector<std::string> Texts(const std::vector<TScriptStatement>& statements) {
  std::vector<std::string> out;
  for (const auto& s : statements) out.push_back(s.Text);
  return out;
}

TEST(Splitter, ComponentsSplitter) {
  struct Case {
    std::vector<std::string> lines;
    std::vector<std::string> statements;
  } cases[] = {
      // comments go, the line break before ";" stays as a blank, each keeps its ";"
      {{"select * from a -- first", ";/* second */select  b", "from c;"},
       {"select * from a  ;", "select b from c;"}},
      {{"select 'it''s'   ,  \"x\";"}, {"select 'it''s' , \"x\";"}},
      {{"insert into t values (1);;", " ; ", "update t set a = 2"},
       {"insert into t values (1);", "update t set a = 2"}},  // empty statements skipped
      {{"/* only a comment */;", "-- and another"}, {}},
      {{""}, {}},
      {{"select [macro], :param from `t`.`x`;"}, {"select [macro], :param from `t`.`x`;"}},
      {{"select 0x1F+1 from t # note"}, {"select 0x1F+1 from t"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitStatements(c.lines, false), c.statements) << c.lines[0];

  std::vector<std::string> lines{"select 1;", "select 2;"};
  EXPECT_EQ(SplitStatements(lines, true), std::vector<std::string>{"select 1;\r\nselect 2;"});
}

// Everything between quotes or backquotes comes out byte for byte.
TEST(Splitter, QuotedTextIsKeptWhole) {
  struct Case {
    const char* script;
    std::vector<std::string> statements;
  } cases[] = {
      {"insert into t values ('line 1\nline 2  -- not a comment\n# nor this\n/* nor */;');\n"
       "select 2;",
       {"insert into t values ('line 1\nline 2  -- not a comment\n# nor this\n/* nor */;');",
        "select 2;"}},
      {"insert into t values ('a\\\\\\';b', \"c\\\\\");select 2;",
       {"insert into t values ('a\\\\\\';b', \"c\\\\\");", "select 2;"}},
      {"select `odd;name  --`, `a\r\nb` from t;", {"select `odd;name  --`, `a\r\nb` from t;"}},
      {"select 'unterminated;\n  ", {"select 'unterminated;\n  "}},
      {"select 'x'  \r\n;", {"select 'x'  ;"}},
      // an unclosed comment swallows the rest: it goes on as it is, for the server to refuse
      {"select 1; /* note ; insert into t values (1);",
       {"select 1;", "/* note ; insert into t values (1);"}},
      {"select 1 /*/ 2;", {"select 1 /*/ 2;"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Texts(SplitScript(c.script)), c.statements) << c.script;
}

TEST(Splitter, ClientOptionsKeepLayoutAndExecutableComments) {
  TSplitOptions client;
  client.KeepLayout = true;
  client.KeepExecutableComments = true;
  client.KeepTerminator = false;
  struct Case {
    const char* script;
    std::vector<std::string> statements;
    std::vector<int64_t> lines;
  } cases[] = {
      {"select 1;\nselect\n  foo;\n\n\nselect 3", {"select 1", "select\n  foo", "select 3"},
       {1, 2, 6}},
      {"-- head\n\n/* c */\n  select /* x */ 1 ;", {"select  1"}, {4}},
      {"/*!40101 SET NAMES utf8 */;\n/*M!100100 select 1*/;", {"/*!40101 SET NAMES utf8 */",
                                                              "/*M!100100 select 1*/"},
       {1, 2}},
      {"select 'a\n;b'\n;select 2 ;;", {"select 'a\n;b'", "select 2"}, {1, 3}},
      {"\xef\xbb\xbfselect 1", {"\xef\xbb\xbfselect 1"}, {1}},  // the splitter keeps bytes
  };
  for (const auto& c : cases) {
    auto statements = SplitScript(c.script, client);
    EXPECT_EQ(Texts(statements), c.statements) << c.script;
    std::vector<int64_t> lines;
    for (const auto& s : statements) lines.push_back(s.Line);
    EXPECT_EQ(lines, c.lines) << c.script;
  }

  TSplitOptions delimiter = client;
  delimiter.Terminator = "//";
  EXPECT_EQ(Texts(SplitScript("create procedure p() begin select 1; select 2; end//\ncall p()//",
                              delimiter)),
            (std::vector<std::string>{"create procedure p() begin select 1; select 2; end",
                                      "call p()"}));
}

}  // namespace
