// GoogleTest main for the window tests: a real QApplication on the offscreen
// platform, so widgets are created, shown and painted without a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::setlocale(LC_ALL, "");
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Quillmark"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
