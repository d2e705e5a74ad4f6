// A new user's first job: an Access file to a MySQL data source, through the windows.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/window_test_support.h"
#include "connect/connection_setup.h"
#include "integration/app/gui_odbc.h"
#include "integration/job/job_databases.h"
#include "job/source_data_selection.h"
#include "platform/ado/connection.h"
#include "platform/ui/messages.h"
#include "support/file_text.h"
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

// What the windows leave behind a job: the objects offered and the process log.
struct WindowJob {
  QStringList objects;
  std::string log;
  std::string sourceString;
};

// What a new user does: an Access file as the source (picked with the browse
// button), a MySQL data source as the destination, GO, GO again in the selection window.
void RunThroughTheWindows(TdmMain& dm, const std::string& file, const fs::path& script,
                          WindowJob& job) {
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

  job.sourceString = dm.cnnSource.connectionString();
  OnNextModal(
      [&](QWidget* w) {
        auto* selection = qobject_cast<TfrmSourceDataSelection*>(w);
        ASSERT_NE(selection, nullptr);
        QTreeWidgetItem* tables = selection->tvSource->topLevelItem(0);
        for (int i = 0; i < tables->childCount(); ++i) job.objects << tables->child(i)->text(0);
        selection->btnExecute->click();
        job.log = selection->LogLines().text();
        SaveScreenshot(selection, QStringLiteral("source_data_selection_access_to_mysql"));
        selection->btnClose->click();
      },
      &window);
  window.btnExecuteClick();
}

// The lines of a process log without their timestamps, empty lines left out.
std::vector<std::string> LogWithoutTimes(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(jobtest::WithoutTimestamp(line));
  }
  return lines;
}

TEST_F(AppAgainstServer, AccessFileToMySQLDataSourceAsANewUserDoesIt) {
  const std::string file = TestDataDir() + "/testodbc.mdb";
  ASSERT_TRUE(fs::exists(file)) << file << " is missing: run with ctest";
  dest.setConnectionString(GuiDsn("access", "dst"));
  dest.open();
  dest.execute("DROP TABLE IF EXISTS `FPdev`");
  const fs::path script =
      fs::temp_directory_path() / ("qm-mdb-" + std::to_string(getpid()) + ".sql");

  TdmMain dm;
  WindowJob job;
  ASSERT_NO_FATAL_FAILURE(RunThroughTheWindows(dm, file, script, job));
  EXPECT_EQ(job.objects, QStringList({"FPdev"})) << "system tables are never offered";

  auto rows = dm.cnnSource.openQuery("SELECT * FROM `FPdev`;");
  long long sourceRows = 0;
  for (rows->first(); !rows->eof(); rows->next()) ++sourceRows;
  ASSERT_GT(sourceRows, 0);
  const std::string inserted = " : " + std::to_string(sourceRows) + " inserted, 0 insert failed.";
  EXPECT_NE(job.log.find(" : [FPdev] created."), std::string::npos) << job.log;
  EXPECT_NE(job.log.find(inserted), std::string::npos) << job.log;
  EXPECT_EQ(Count(dest, "`FPdev`"), sourceRows);
  EXPECT_TRUE(fs::exists(script));
  fs::remove(script);
}

// The windows and the command line start a job the same way: the same job through
// each writes the same script and logs the same steps with the same counts.
TEST_F(AppAgainstServer, TheCommandLineRunsTheWindowsJobAlike) {
  const std::string file = TestDataDir() + "/testodbc.mdb";
  ASSERT_TRUE(fs::exists(file)) << file << " is missing: run with ctest";
  dest.setConnectionString(GuiDsn("access", "dst"));
  dest.open();
  const std::string stem =
      (fs::temp_directory_path() / ("qm-alike-" + std::to_string(getpid()))).string();
  const fs::path windowScript = stem + "-window.sql", cliScript = stem + "-cli.sql";

  dest.execute("DROP TABLE IF EXISTS `FPdev`");
  TdmMain dm;
  WindowJob job;
  ASSERT_NO_FATAL_FAILURE(RunThroughTheWindows(dm, file, windowScript, job));
  ASSERT_FALSE(job.log.empty());
  const long long windowRows = Count(dest, "`FPdev`");

  dest.execute("DROP TABLE IF EXISTS `FPdev`");
  const fs::path cliOut = stem + "-cli.out";
  // The windows' own connection strings; neither holds a single quote.
  const std::string command = std::string("'") + QM_CLI_PATH + "' --source '" + job.sourceString +
                              "' --dest '" + GuiDsn("access", "dst") + "' --script '" +
                              cliScript.string() + "' >'" + cliOut.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << "\n"
                                                             << testsupport::FileText(cliOut);

  EXPECT_EQ(testsupport::FileText(cliScript), testsupport::FileText(windowScript));
  EXPECT_EQ(Count(dest, "`FPdev`"), windowRows);
  // The command line adds its own last lines: where the script went, and the summary.
  std::vector<std::string> cli = LogWithoutTimes(testsupport::FileText(cliOut));
  while (!cli.empty() && (cli.back().rfind("Summary: ", 0) == 0 ||
                          cli.back().rfind("Created scripts have saved", 0) == 0))
    cli.pop_back();
  EXPECT_EQ(cli, LogWithoutTimes(job.log)) << testsupport::FileText(cliOut) << "\n---\n" << job.log;
  for (const fs::path& p : {windowScript, cliScript, cliOut}) fs::remove(p);
}

}  // namespace
