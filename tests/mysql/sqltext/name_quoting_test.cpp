#include "mysql/sqltext/name_quoting.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace mysql;

TEST(NameQuoting, ReservedWordsInOrder) {
  ASSERT_EQ(kReservedWords.size(), 239u);
  EXPECT_EQ(kReservedWords.front(), "ACTION");
  EXPECT_EQ(kReservedWords[100], "INTERVAL");
  EXPECT_EQ(kReservedWords.back(), "ZEROFILL");
  // The list is alphabetical except where the original order puts NOT before NO.
  auto no = std::find(kReservedWords.begin(), kReservedWords.end(), "NO");
  ASSERT_NE(no, kReservedWords.end());
  EXPECT_EQ(*(no - 1), "NOT");
  const std::string& text = ReservedWordText();
  EXPECT_EQ(text.substr(0, 12), ",ACTION,ADD,");
  EXPECT_EQ(text.substr(text.size() - 10), ",ZEROFILL,");

  for (auto w : kReservedWords) EXPECT_TRUE(IsReservedWord(w)) << w;
  struct Case {
    const char* name;
    bool reserved;
  } cases[] = {{"order", true}, {"Select", true}, {"ORDERS", false}, {"", false},
               {"RDER", false}, {"ZEROFIL", false}, {"sql_tsi_day", true}};
  for (const auto& c : cases) EXPECT_EQ(IsReservedWord(c.name), c.reserved) << c.name;
  EXPECT_TRUE(IsReservedWord("foo", ",FOO,BAR,"));
  EXPECT_FALSE(IsReservedWord("order", ",FOO,BAR,"));
}

TEST(NameQuoting, QuoteName) {
  struct Case {
    const char* name;
    bool connected;
    uint32_t version;
    const char* expected;
  } cases[] = {
      {"my table", true, 100000, "`my table`"},
      {"order", true, 100000, "`order`"},
      {"order", false, 0, "`order`"},
      {"1abc", true, 100000, "`1abc`"},
      {"abc1", true, 100000, "abc1"},
      {"$Plain_Name9", true, 100000, "$Plain_Name9"},
      {"", true, 100000, ""},
      {"", false, 0, ""},
      {"db.order", true, 100000, "db.`order`"},
      {"select.tbl", true, 100000, "`select`.tbl"},
      {"db..tbl.", true, 100000, "db.tbl"},          // empty words vanish
      {"db.my tbl", true, 100000, "db.`my tbl`"},
      {"naïve", true, 100000, "`naïve`"},           // non-ASCII bytes are quoted
      // A backquote inside a name is doubled, so the name cannot end its quotes early.
      {"a`b", true, 100000, "`a``b`"},
      {"x`; DROP TABLE t; --", true, 100000, "`x``; DROP TABLE t; --`"},
      // A name that begins with a backquote is left alone without a connection or on an
      // old server, and quoted again (as a name of its own) on a newer one.
      {"`t`", false, 0, "`t`"},
      {"`t`", true, 32305, "`t`"},
      {"`t`", true, 40100, "```t```"},
      {"`db`.`t`", false, 0, "`db`.`t`"},
      {"`db`.`t`", true, 40100, "```db```.```t```"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuoteName(c.name, c.connected, c.version), c.expected)
        << c.name << " connected=" << c.connected << " version=" << c.version;
    EXPECT_EQ(NeedsQuoting(c.name, c.connected, c.version),
              std::string(c.expected) != c.name) << c.name;
  }
}

}  // namespace
