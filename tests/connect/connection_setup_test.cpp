#include "connect/connection_setup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "app/window_test_support.h"
#include "platform/ado/connection.h"
#include "platform/ui/messages.h"
#include "support/odbc_test_dir.h"

namespace fs = std::filesystem;

namespace {

class ConnectionSetupWindow : public ::testing::Test {
 protected:
  ConnectionSetupWindow() { WriteOdbcIni("[first]\nDriver=MariaDB\n\n[tds]\nDriver=FreeTDS\n"); }
  void Open(TDatabaseKind kind) {
    dialog.SetDatabaseKind(kind);
    dialog.SetConnection(&connection);
    dialog.show();
    QApplication::processEvents();
  }
  ~ConnectionSetupWindow() override { connection.close(); }

  ui::RecordingMessages messages;
  ui::ScopedMessages scope{messages};
  ado::Connection connection;
  TfrmConnectionSetup dialog;
};

TEST_F(ConnectionSetupWindow, KindPicksThePageAndDefaultsHold) {
  struct Case {
    TDatabaseKind kind;
    const char* page;
  };
  for (Case c : {Case{dkAccess, "access"}, Case{dkSQLServer, "mssql"},
                 Case{static_cast<TDatabaseKind>(3), "mssql"}, Case{dkMySQL, "mysql"},
                 Case{dkNone, "access"}}) {
    TfrmConnectionSetup d;
    d.SetDatabaseKind(c.kind);
    d.show();
    QApplication::processEvents();
    QWidget* expected = std::string(c.page) == "access"  ? d.tbMSAccess
                        : std::string(c.page) == "mssql" ? d.tbMSSQL
                                                         : d.tbMySQLODBC;
    EXPECT_EQ(d.pgcConnection->currentWidget(), expected) << int(c.kind);
    d.hide();
  }
  EXPECT_EQ(dialog.windowTitle(), "Connection Settings");
  EXPECT_TRUE(dialog.rbAccess2003->isChecked());
  EXPECT_TRUE(dialog.rbMSSQL2000->isChecked());
  EXPECT_TRUE(dialog.rbUserAndPassword->isChecked());
  EXPECT_TRUE(dialog.grpMSSQLLoginInfo->isEnabled());
  EXPECT_EQ(dialog.txtMSSQLServerName->text(), "(local)");
  EXPECT_EQ(dialog.txtMSSQLUsername->text(), "sa");
  EXPECT_EQ(dialog.txtMSSQLDatabaseName->text(), "");
  EXPECT_EQ(dialog.txtMSAccessFile->text(), "");
  EXPECT_EQ(dialog.rbMSSQL2000->text(), "Microsoft SQL Serverr 97/2000");
  EXPECT_EQ(dialog.grpAccessVersion->title(), "Select you MS Access Version");
}

TEST_F(ConnectionSetupWindow, SqlServerChecksMoveTheFocusInOrder) {
  Open(dkSQLServer);
  dialog.txtMSSQLServerName->setText("  ");
  dialog.txtMSSQLUsername->clear();
  EXPECT_FALSE(dialog.TestConnection(true));
  EXPECT_TRUE(dialog.txtMSSQLServerName->hasFocus());

  dialog.txtMSSQLServerName->setText("127.0.0.1");
  EXPECT_FALSE(dialog.TestConnection(true));
  EXPECT_TRUE(dialog.txtMSSQLUsername->hasFocus());

  dialog.txtMSSQLUsername->setText("sa");
  EXPECT_FALSE(dialog.TestConnection(true));
  EXPECT_TRUE(dialog.txtMSSQLDatabaseName->hasFocus());

  ASSERT_EQ(messages.entries.size(), 3u);
  EXPECT_EQ(messages.entries[0].text,
            "Please provide Server name or IP Address of your MSSQL Server.");
  EXPECT_EQ(messages.entries[1].text, "Please provide username.");
  EXPECT_EQ(messages.entries[2].text, "Please provide target MSSQL database name");
  for (const auto& e : messages.entries) EXPECT_EQ(e.kind, ui::MessageKind::Warning);
}

TEST_F(ConnectionSetupWindow, WindowsSecurityGreysTheLoginAndDropsItFromTheString) {
  Open(dkSQLServer);
  dialog.rbMSSQL2005->setChecked(true);
  dialog.rbWindowsSecurity->click();
  EXPECT_FALSE(dialog.grpMSSQLLoginInfo->isEnabled());
  EXPECT_FALSE(dialog.txtMSSQLUsername->isEnabled());
  dialog.txtMSSQLDatabaseName->setText(" Sales ");
  EXPECT_EQ(CheckEntries(dialog.Entries()).connectionString,
            "Provider=SQLNCLI.1;Integrated Security=SSPI;Persist Security Info=False;Data "
            "Source=(local);Initial Catalog=Sales;");
  dialog.rbUserAndPassword->click();
  EXPECT_TRUE(dialog.grpMSSQLLoginInfo->isEnabled());
  dialog.txtMSSQLPassword->setText(" pa ss ");
  EXPECT_EQ(CheckEntries(dialog.Entries()).connectionString,
            "Provider=SQLNCLI.1;Data Source=(local);Initial Catalog=Sales;User "
            "ID=sa;Password=pa ss;Persist Security Info=True;");
}

TEST_F(ConnectionSetupWindow, FailedOkAsksToRetryAndNoClosesWithNo) {
  Open(dkMySQL);
  messages.answers = {true, false};
  dialog.btnOK->click();
  EXPECT_TRUE(dialog.isVisible()) << "Yes keeps the dialog open for another try";
  EXPECT_TRUE(dialog.cmbMyODBC->hasFocus());
  dialog.btnOK->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), mrNo);
  const std::string retry =
      "Because of your connection setting is invalid, do you want to try setup connection "
      "again?";
  ASSERT_EQ(messages.entries.size(), 4u);
  EXPECT_EQ(messages.entries[0].text, "Please select your mysql odbc connection setting.");
  EXPECT_TRUE(messages.entries[1].confirmation);
  EXPECT_EQ(messages.entries[1].text, retry);
  EXPECT_EQ(messages.entries[3].text, retry);
}

TEST_F(ConnectionSetupWindow, OpenFailureShowsTheErrorBeforeTheRetryQuestion) {
  Open(dkAccess);
  dialog.rbAccess2007->setChecked(true);
  dialog.txtMSAccessFile->setText(" /nonexistent/q.accdb ");
  messages.answers = {false};
  dialog.btnOK->click();
  EXPECT_EQ(dialog.result(), mrNo);
  ASSERT_EQ(messages.entries.size(), 2u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages.entries[0].text.rfind(
                "Test connection failed because of an error in initializing provider. \r\n", 0),
            0u);
  EXPECT_EQ(connection.connectionString(),
            "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/nonexistent/q.accdb;Persist Security "
            "Info=False");
}

TEST_F(ConnectionSetupWindow, CancelAndEscapeGiveTheirResults) {
  Open(dkAccess);
  dialog.btnCancel->click();
  EXPECT_EQ(dialog.result(), mrNo);
  Open(dkAccess);
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), mrCancel);
  EXPECT_TRUE(messages.entries.empty());
}

TEST_F(ConnectionSetupWindow, BrowseUsesTheVersionsFilterAndTakesThePath) {
  Open(dkAccess);
  QString seenFilter;
  dialog.chooseAccessFile = [&](const QString& filter) {
    seenFilter = filter;
    return QStringLiteral("/data/Orders.mdb");
  };
  dialog.btnMSAccessFile->click();
  EXPECT_EQ(seenFilter, "Microsoft Access 97/2000/2003 (*.mdb)");
  EXPECT_EQ(dialog.txtMSAccessFile->text(), "/data/Orders.mdb");

  dialog.rbAccess2007->setChecked(true);
  dialog.chooseAccessFile = [&](const QString& filter) {
    seenFilter = filter;
    return QString();  // cancelled: the text stays
  };
  dialog.btnMSAccessFile->click();
  EXPECT_EQ(seenFilter, "Microsoft Access 2007 (*.accdb)");
  EXPECT_EQ(dialog.txtMSAccessFile->text(), "/data/Orders.mdb");
}

TEST(QtFileFilter, FromTextAndPatternPairs) {
  EXPECT_EQ(QtFileFilter("Microsoft Access 2007 (*.accdb)|*.accdb"),
            "Microsoft Access 2007 (*.accdb)");
  EXPECT_EQ(QtFileFilter("Scripts|*.sql;*.txt|All files (*)|*"),
            "Scripts (*.sql *.txt);;All files (*)");
}

TEST_F(ConnectionSetupWindow, SetupStartsTheAdministratorWithoutWaitingAndRefills) {
  const fs::path dir = PrivateOdbcDir();
  const fs::path admin = dir / "admin.sh";
  const fs::path marker = dir / "started";
  // The administrator adds a data source and then keeps running, as a real one would.
  std::ofstream(admin) << "#!/bin/sh\nprintf '[second]\\nDriver=MySQL\\n' >> '" << dir.string()
                       << "/odbc.ini'\ntouch '" << marker.string() << "'\nsleep 5\n";
  fs::permissions(admin, fs::perms::owner_all);
  setenv("QUILLMARK_ODBC_ADMIN", admin.c_str(), 1);

  Open(dkMySQL);
  EXPECT_EQ(dialog.cmbMyODBC->count(), 1);
  QElapsedTimer clock;
  clock.start();
  dialog.btnSetup->click();
  EXPECT_LT(clock.elapsed(), 3000) << "Setup waited for the administrator";
  for (int i = 0; i < 300 && !fs::exists(marker); ++i) QTest::qWait(10);
  EXPECT_TRUE(fs::exists(marker)) << "the administrator did not start";
  dialog.btnRefresh->click();
  ASSERT_EQ(dialog.cmbMyODBC->count(), 2);
  EXPECT_EQ(dialog.cmbMyODBC->itemText(1), "second");
  EXPECT_EQ(dialog.cmbMyODBC->currentText(), "");

  // No administrator that starts: nothing is reported.
  setenv("QUILLMARK_ODBC_ADMIN", "/nonexistent/odbc-admin", 1);
  dialog.btnSetup->click();
  EXPECT_TRUE(messages.entries.empty());
  unsetenv("QUILLMARK_ODBC_ADMIN");
}

TEST_F(ConnectionSetupWindow, EachPageSavedAsPicture) {
  for (auto [kind, name] : {std::pair{dkAccess, "connection_setup_access"},
                            std::pair{dkSQLServer, "connection_setup_mssql"},
                            std::pair{dkMySQL, "connection_setup_mysql"}}) {
    TfrmConnectionSetup d;
    d.SetDatabaseKind(kind);
    d.show();
    QApplication::processEvents();
    if (kind == dkMySQL) d.cmbMyODBC->setEditText("qm_src");
    SaveScreenshot(&d, QString::fromLatin1(name));
  }
}

}  // namespace
