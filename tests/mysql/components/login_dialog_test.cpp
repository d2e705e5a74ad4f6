// The login dialog on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "mysql/components/login_dialog.h"

namespace {

void SaveScreenshot(QWidget* widget, const QString& name) {
  const QString dir = QStringLiteral(QUILLMARK_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  widget->show();
  QApplication::processEvents();
  EXPECT_TRUE(widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
}

TEST(LoginDialog, CaptionBoxesAndMasks) {
  TMySQLLoginDialog d;
  d.Prepare({"db.local", "3307", "root", "left over"});
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Database Login"));
  EXPECT_EQ(d.txtServer->text(), QStringLiteral("db.local"));
  EXPECT_EQ(d.txtPort->text(), QStringLiteral("3307"));
  EXPECT_EQ(d.txtUserName->text(), QStringLiteral("root"));
  EXPECT_TRUE(d.txtPassword->text().isEmpty()) << "the password box starts empty";
  EXPECT_EQ(d.txtPassword->echoMode(), QLineEdit::Password);
  d.txtPassword->setText(QStringLiteral("secret"));
  SaveScreenshot(&d, QStringLiteral("TMySQLLoginDialog"));
  EXPECT_EQ(d.txtPassword->displayText(), QStringLiteral("******"));

  d.txtPort->setText(QStringLiteral("1234567x"));
  EXPECT_EQ(d.txtPort->text(), QStringLiteral("12345")) << "five digits at the most";
  d.txtPort->setText(QStringLiteral("80"));
  EXPECT_EQ(d.Entered().Port, "80");
}

// A user name up to MariaDB's 80 characters and a password of any length reach the
// component whole (a 31-character limit would lock such accounts out).
TEST(LoginDialog, LongUserNamesAndPasswordsArriveWhole) {
  TMySQLLoginDialog d;
  const std::string user(80, 'u');
  const std::string password(5000, 'p');
  d.txtUserName->setText(QString::fromStdString(user + "extra"));
  d.txtPassword->setText(QString::fromStdString(password));
  const TMySQLLoginData entered = d.Entered();
  EXPECT_EQ(entered.UserName, user);
  EXPECT_EQ(entered.Password, password);
}

TEST(LoginDialog, PromptReturnsTheEnteredValuesOrCancel) {
  TQtMySQLLoginPrompt prompt;
  for (bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    QTimer::singleShot(0, [ok] {
      auto* d = qobject_cast<TMySQLLoginDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      d->txtServer->setText(QStringLiteral("127.0.0.1"));
      d->txtPassword->setText(QStringLiteral("pw"));
      (ok ? d->btnOK : d->btnCancel)->click();
    });
    TMySQLLoginData data{"localhost", "3306", "root", ""};
    EXPECT_EQ(prompt.Execute(data), ok);
    if (ok) {
      EXPECT_EQ(data.Host, "127.0.0.1");
      EXPECT_EQ(data.Password, "pw");
      EXPECT_EQ(data.UserName, "root");
    } else {
      EXPECT_EQ(data.Host, "localhost") << "a cancelled dialog changes nothing";
    }
  }
}

}  // namespace
