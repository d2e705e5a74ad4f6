#include "mysql/sqltext/string_list.h"

#include <gtest/gtest.h>

namespace {

using mysql::TSBStringList;

TEST(StringList, SeparatorCRLFAtCreation) {
  TSBStringList list;
  EXPECT_EQ(list.Separator(), "\r\n");
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(list.Text(), "a\r\nb\r\n");
  list.SetSeparator("");
  EXPECT_EQ(list.Text(), "ab");
  list.SetSeparator(";");
  EXPECT_EQ(list.Text(), "a;b;");
}

TEST(StringList, SetTextSplitsAtSeparatorCharactersAndDropsEmptyLines) {
  struct Case {
    const char* separator;
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"\r\n", "a\r\nb\r\n", {"a", "b"}},
      {"\r\n", "a\n\n\rb", {"a", "b"}},  // any run of separator characters is one break
      {"\r\n", std::string("a\0b", 3), {"a", "b"}},  // NUL breaks too
      {"\r\n", "", {}},
      {"\r\n", "\r\n\r\n", {}},
      {",", "red,,green,blue,", {"red", "green", "blue"}},
      {"", "one line\r\nstill", {"one line\r\nstill"}},
  };
  for (const auto& c : cases) {
    TSBStringList list;
    list.SetSeparator(c.separator);
    list.SetText(c.text);
    EXPECT_EQ(list.Lines(), c.lines) << c.text;
  }
}

}  // namespace
