#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
  // Tests see the user's locale, as the program does.
  std::setlocale(LC_ALL, "");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
