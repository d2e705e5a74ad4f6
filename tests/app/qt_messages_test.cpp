#include "platform/ui/qt_messages.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include "app/window_test_support.h"

namespace {

TEST(QtMessages, BoxesHaveTheirIconOneOkAndPlainLineEnds) {
  ui::QtMessages messages;
  struct Case {
    ui::MessageKind kind;
    QMessageBox::Icon icon;
    const char* title;
  };
  for (const Case& c : {Case{ui::MessageKind::Warning, QMessageBox::Warning, "Warning"},
                        Case{ui::MessageKind::Information, QMessageBox::Information, "Information"},
                        Case{ui::MessageKind::Error, QMessageBox::Critical, "Error"}}) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text, title;
    int buttons = 0;
    OnNextModal([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      icon = box->icon();
      text = box->text();
      title = box->windowTitle();
      buttons = static_cast<int>(box->buttons().size());
      if (c.kind == ui::MessageKind::Error) SaveScreenshot(box, QStringLiteral("message_error"));
      box->button(QMessageBox::Ok)->click();
    });
    messages.show(c.kind,
                  "Test connection failed because of an error in initializing provider. "
                  "\r\n<b>not markup</b>");
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(title, c.title);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(text,
              "Test connection failed because of an error in initializing provider. \n"
              "<b>not markup</b>");
  }
}

TEST(QtMessages, ConfirmAnswersYesOrNo) {
  ui::QtMessages messages;
  for (bool yes : {true, false}) {
    OnNextModal([yes](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->buttons().size(), 2);
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    EXPECT_EQ(messages.confirm("Because of your connection setting is invalid, do you want to "
                               "try setup connection again?"),
              yes);
  }
}

TEST(QtMessages, BusyCursorIsNotNestedAndEventsRun) {
  ui::QtMessages messages;
  messages.setBusy(true);
  messages.setBusy(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  messages.setBusy(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  messages.setBusy(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  bool ran = false;
  QMetaObject::invokeMethod(
      qApp, [&] { ran = true; }, Qt::QueuedConnection);
  messages.processEvents();
  EXPECT_TRUE(ran);
}

}  // namespace
