// The command-line client's output escaping and statement splitting.
#include "mysql/protocol/batch_output.h"

#include <gtest/gtest.h>

TEST(MysqlBatchOutput, Escaping) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"},
      {"a\tb", "a\\tb"},
      {"line\nbreak", "line\\nbreak"},
      {"back\\slash", "back\\\\slash"},
      {std::string("zero\0byte", 9), "zero\\0byte"},
      {"cr\rstays", "cr\rstays"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) {
    std::string s;
    mysql::AppendBatchEscaped(s, in.data(), static_cast<uint32_t>(in.size()));
    EXPECT_EQ(s, out);
  }
}

TEST(MysqlBatchOutput, StatementsEndWithLineEndingInSemicolon) {
  mysql::StatementSplitter split;
  std::vector<std::string> got;
  for (const char* line : {"select 1;", "select", "  'a;b'", "from dual;  ", "", "select 3"}) {
    if (split.AddLine(line)) got.push_back(split.Take());
  }
  ASSERT_TRUE(split.HasPending());
  got.push_back(split.Take());
  EXPECT_EQ(got, (std::vector<std::string>{"select 1", "select\n  'a;b'\nfrom dual", "select 3"}));
  EXPECT_FALSE(split.HasPending());
}
