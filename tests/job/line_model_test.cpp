#include "job/line_model.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using job::TLineModel;

TEST(LineModel, KeepsTextAndColourOfEveryLine) {
  TLineModel m;
  m.append("first", job::kNavy);
  m.append("");
  m.append(std::string("a\0b", 3), job::kRed);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m.line(0), "first");
  EXPECT_EQ(m.color(0), job::kNavy);
  EXPECT_EQ(m.line(1), "");
  EXPECT_TRUE(m.color(1).isDefault);
  EXPECT_EQ(m.line(2), std::string_view("a\0b", 3));
  EXPECT_EQ(m.color(2), job::kRed);
}

TEST(LineModel, TextJoinsLinesWithCarriageReturnLineFeed) {
  TLineModel m;
  EXPECT_EQ(m.text(), "");
  m.append("");
  m.append("");
  EXPECT_EQ(m.text(), "\r\n");
  m.append("x");
  EXPECT_EQ(m.text(), "\r\n\r\nx");
}

TEST(LineModel, LinesStayValidWhileLaterLinesAreAdded) {
  // Long lines, short lines and lines exactly filling blocks, mixed, so every way a
  // line can be placed is crossed many times.
  TLineModel m;
  std::vector<std::string> expected;
  for (int i = 0; i < 3000; ++i) {
    std::string line;
    if (i % 97 == 0) {
      line.assign(400000 + i, static_cast<char>('a' + i % 26));
    } else {
      line = std::to_string(i) + std::string(static_cast<std::size_t>(i % 500), 'x');
    }
    expected.push_back(line);
    m.append(line, i % 2 ? job::kYellow : job::kDefaultColor);
  }
  std::string_view firstView = m.line(0);
  m.append("one more");
  ASSERT_EQ(m.size(), expected.size() + 1);
  EXPECT_EQ(firstView.data(), m.line(0).data());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(m.line(i), expected[i]) << "line " << i;
    ASSERT_EQ(m.color(i), i % 2 ? job::kYellow : job::kDefaultColor);
  }
}

TEST(LineModel, HoldsAMillionLinesAndClearsThem) {
  TLineModel m;
  for (int i = 0; i < 1000000; ++i)
    m.append("INSERT INTO `t`(`id`) VALUES(" + std::to_string(i) + ");");
  ASSERT_EQ(m.size(), 1000000u);
  EXPECT_EQ(m.line(999999), "INSERT INTO `t`(`id`) VALUES(999999);");
  m.clear();
  EXPECT_TRUE(m.empty());
  m.append("after");
  EXPECT_EQ(m.line(0), "after");
}

}  // namespace
