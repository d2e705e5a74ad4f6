// The command-line client's output escaping.
#include "mysql/tools/batch_output.h"

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
