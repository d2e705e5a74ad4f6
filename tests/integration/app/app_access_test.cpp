// A new user's first job: an Access file to a MySQL data source, through the windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/window_test_support.h"
#include "connect/connection_setup.h"
#include "integration/app/gui_odbc.h"
#include "job/source_data_selection.h"
#include "platform/ado/connection.h"
#include "platform/ui/messages.h"
#include "support/test_server.h"

namespace fs = std::filesystem;

namespace {

class AppAgainstServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseGuiOdbc(); }
  void TearDown() override { dest.close(); }
  static long long Count(ado::Connection& c, const std::string& table) {
    auto rs = c.openQuery("SELECT COUNT(*) FROM " + table);
    return std::stoll(ado::VariantToText(rs->value(0)));
  }
  ui::RecordingMessages messages;
  ui::ScopedMessages scope{messages};
  ado::Connection dest;
};

}  // namespace

namespace {

// What a new user does: an Access file as the source (picked with the browse
// button), a MySQL data source as the destination, GO, GO again in the selection window.
TEST_F(AppAgainstServer, AccessFileToMySQLDataSourceAsANewUserDoesIt) {
  const std::string file = TestDataDir() + "/testodbc.mdb";
  ASSERT_TRUE(fs::exists(file)) << file << " is missing: run with ctest";
  dest.setConnectionString(GuiDsn("access", "dst"));
  dest.open();
  dest.execute("DROP TABLE IF EXISTS `FPdev`");
  const fs::path script =
      fs::temp_directory_path() / ("qm-mdb-" + std::to_string(getpid()) + ".sql");

  TdmMain dm;
  TProjectSettings settings;
  TfrmMain window(dm, settings);
  window.createSelectionWindow = [] { return std::make_unique<TfrmSourceDataSelection>(); };
  window.show();
  QApplication::processEvents();

  OnNextModal([&](QWidget* w) {
    auto* dialog = qobject_cast<TfrmConnectionSetup*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->pgcConnection->currentWidget(), dialog->tbMSAccess);
    dialog->chooseAccessFile = [&](const QString&) { return QString::fromStdString(file); };
    dialog->btnMSAccessFile->click();
    dialog->btnOK->click();
  });
  window.lblSourceClick();
  window.cmbDest->setCurrentIndex(2);
  OnNextModal([](QWidget* w) {
    auto* dialog = qobject_cast<TfrmConnectionSetup*>(w);
    ASSERT_NE(dialog, nullptr);
    dialog->cmbMyODBC->setCurrentIndex(dialog->cmbMyODBC->findText("qm_gui_access_dst"));
    dialog->btnOK->click();
  });
  window.lblDestClick();
  ASSERT_EQ(window.lblSourceStatus->text(), "Connected");
  ASSERT_EQ(window.lblDestStatus->text(), "Connected");
  window.txtDestinationFileName->setText(QString::fromStdString(script.string()));

  QStringList objects;
  std::string logText;
  OnNextModal(
      [&](QWidget* w) {
        auto* selection = qobject_cast<TfrmSourceDataSelection*>(w);
        ASSERT_NE(selection, nullptr);
        QTreeWidgetItem* tables = selection->tvSource->topLevelItem(0);
        for (int i = 0; i < tables->childCount(); ++i) objects << tables->child(i)->text(0);
        selection->btnExecute->click();
        logText = selection->LogLines().text();
        SaveScreenshot(selection, QStringLiteral("source_data_selection_access_to_mysql"));
        selection->btnClose->click();
      },
      &window);
  window.btnExecuteClick();
  EXPECT_EQ(objects, QStringList({"FPdev"})) << "system tables are never offered";

  auto rows = dm.cnnSource.openQuery("SELECT * FROM `FPdev`;");
  long long sourceRows = 0;
  for (rows->first(); !rows->eof(); rows->next()) ++sourceRows;
  ASSERT_GT(sourceRows, 0);
  const std::string inserted = " : " + std::to_string(sourceRows) + " inserted, 0 insert failed.";
  EXPECT_NE(logText.find(" : [FPdev] created."), std::string::npos) << logText;
  EXPECT_NE(logText.find(inserted), std::string::npos) << logText;
  EXPECT_EQ(Count(dest, "`FPdev`"), sourceRows);
  EXPECT_TRUE(fs::exists(script));
  fs::remove(script);
}

}  // namespace
