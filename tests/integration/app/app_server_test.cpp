// The windows against the private MariaDB server, through ODBC data sources.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/window_test_support.h"
#include "connect/connection_setup.h"
#include "integration/app/gui_odbc.h"
#include "job/line_model.h"
#include "job/process_state.h"
#include "job/source_data_selection.h"
#include "platform/ado/connection.h"
#include "platform/ui/messages.h"
#include "support/test_server.h"

namespace fs = std::filesystem;

namespace {

class AppAgainstServer : public ::testing::Test {
 protected:
  // unixODBC reads its configuration folder once, at the first call.
  static void SetUpTestSuite() { UseGuiOdbc(); }

  void TearDown() override {
    source.close();
    dest.close();
  }

  static std::vector<std::string> Lines(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
      EXPECT_TRUE(!line.empty() && line.back() == '\r') << "line without CR LF: " << line;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out.push_back(line);
    }
    return out;
  }

  static long long Count(ado::Connection& c, const std::string& table) {
    auto rs = c.openQuery("SELECT COUNT(*) FROM " + table);
    return std::stoll(ado::VariantToText(rs->value(0)));
  }

  // Two source tables, "<t> lines" with a key and awkward values and "<t>nokey"
  // without one; each test uses its own t, as tests run side by side.
  void PrepareSource(const std::string& t) {
    source.setConnectionString(GuiDsn(t, "src"));
    source.open();
    dest.setConnectionString(GuiDsn(t, "dst"));
    dest.open();
    const std::string lines = "`" + t + " lines`";
    const std::string nokey = "`" + t + "nokey`";
    for (const std::string& sql :
         {"DROP TABLE IF EXISTS " + lines, "DROP TABLE IF EXISTS " + nokey,
          "CREATE TABLE " + lines +
              " (id INT PRIMARY KEY, name VARCHAR(40), note TEXT NULL, price DECIMAL(10,2))",
          "INSERT INTO " + lines +
              " VALUES (1, 'O''Brien', NULL, 12.50), (2, 'Zürich ✓', 'back\\\\slash', 0.05), "
              "(3, '', 'tab\there', -7.00), (4, 'plain', 'x', 1.00)",
          "CREATE TABLE " + nokey + " (a INT, b VARCHAR(10))",
          "INSERT INTO " + nokey + " VALUES (1, 'one'), (2, NULL)"})
      source.execute(sql);
    dest.execute("DROP TABLE IF EXISTS `" + t + "_lines`");
    dest.execute("DROP TABLE IF EXISTS " + nokey);
  }

  ui::RecordingMessages messages;
  ui::ScopedMessages scope{messages};
  ado::Connection source;
  ado::Connection dest;
};

TEST_F(AppAgainstServer, DataSourceDialogListsAndOpensTheServer) {
  TfrmConnectionSetup dialog;
  dialog.SetDatabaseKind(dkMySQL);
  dialog.SetConnection(&source);
  dialog.show();
  QApplication::processEvents();
  QStringList names;
  for (int i = 0; i < dialog.cmbMyODBC->count(); ++i) names << dialog.cmbMyODBC->itemText(i);
  EXPECT_EQ(names.mid(0, 3), QStringList({"qm_src", "qm_dst", "qm_test"}));
  EXPECT_EQ(names.size(), 3 + 2 * static_cast<int>(std::size(kGuiTests)));
  dialog.cmbMyODBC->setCurrentIndex(names.indexOf("qm_gui_list_src"));
  dialog.btnOK->click();
  EXPECT_EQ(dialog.result(), mrOk);
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Information);
  EXPECT_EQ(messages.entries[0].text, "Test connection succeeded.");
  EXPECT_TRUE(source.isOpen());
  EXPECT_EQ(source.connectionString(), GuiDsn("list", "src"));
  source.execute("SELECT 1");
}

TEST_F(AppAgainstServer, UnknownDataSourceGivesTheDriverManagersMessage) {
  TfrmConnectionSetup dialog;
  dialog.SetDatabaseKind(dkMySQL);
  dialog.SetConnection(&source);
  dialog.show();
  QApplication::processEvents();
  dialog.cmbMyODBC->setEditText(" qm_nowhere ");
  messages.answers = {false};
  dialog.btnOK->click();
  EXPECT_EQ(dialog.result(), mrNo);
  ASSERT_EQ(messages.entries.size(), 2u);
  const std::string prefix =
      "Test connection failed because of an error in initializing provider. \r\n";
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages.entries[0].text.rfind(prefix, 0), 0u);
  EXPECT_NE(messages.entries[0].text.find("Data source name not found"), std::string::npos)
      << messages.entries[0].text;
  EXPECT_TRUE(messages.entries[1].confirmation);
  EXPECT_FALSE(source.isOpen());
  EXPECT_EQ(source.connectionString(),
            "Provider=MSDASQL.1;Persist Security Info=False;Data Source=qm_nowhere");
}

TEST_F(AppAgainstServer, WholeJobFromTheSelectionWindow) {
  PrepareSource("job");
  const fs::path script =
      fs::temp_directory_path() / ("qm-job-" + std::to_string(getpid()) + ".sql");
  TProjectSettings settings;
  settings.DropIfExist = settings.CreateObject = settings.TransferData = settings.UpdateData = true;
  settings.SaveScripts = true;
  settings.ScriptFileName = script.string();
  settings.ReplaceChar = "_";
  settings.RecordLimit = -1;
  settings.SourceKind = settings.DestKind = dkMySQL;
  TCorvane catalogue;
  catalogue.SetDBKind(dkMySQL);
  catalogue.SetConnection(&source);
  ASSERT_TRUE(catalogue.LoadDBInfo());

  TfrmSourceDataSelection window;
  window.SetSettings(&settings);
  window.SetSourceConnection(&source);
  window.SetDestConnection(&dest);
  window.SetCatalogue(&catalogue);
  ASSERT_TRUE(window.BuildSourceTree());
  window.show();
  QApplication::processEvents();
  QTreeWidgetItem* tables = window.tvSource->topLevelItem(0);
  QStringList objects;
  for (int i = 0; i < tables->childCount(); ++i) objects << tables->child(i)->text(0);
  EXPECT_TRUE(objects == QStringList({"job lines", "jobnokey"})) << objects.join(",").toStdString();

  window.btnExecute->click();
  EXPECT_FALSE(window.JobRunning());
  EXPECT_TRUE(window.btnExecute->isEnabled());

  const job::TLineModel& log = window.LogLines();
  auto find = [&](const std::string& part) -> long {
    for (std::size_t i = 0; i < log.size(); ++i)
      if (log.line(i).find(part) != std::string_view::npos) return static_cast<long>(i);
    return -1;
  };
  const long created = find(" : [job lines] created.");
  ASSERT_GE(created, 0) << log.text();
  EXPECT_EQ(log.line(created - 1), std::string(38, '='));
  const long cannotDrop = find(" : Cannot drop [job lines]. ");
  EXPECT_GE(cannotDrop, 0) << "the destination had no such table";
  const long inserted = find(" : 4 inserted, 0 insert failed.");
  ASSERT_GE(inserted, 0) << log.text();
  EXPECT_EQ(log.color(inserted), job::kNavy);
  EXPECT_EQ(log.line(inserted + 1), "");
  const long updated = find(" : 4 updated, 0 update failed.");
  ASSERT_GE(updated, 0) << log.text();
  EXPECT_EQ(log.color(updated), job::kNavy);
  EXPECT_GE(find(" : jobnokey do not have key index for update data."), 0);
  EXPECT_GE(find(" : 2 inserted, 0 insert failed."), 0);
  for (std::size_t i = 0; i < log.size(); ++i) EXPECT_NE(log.color(i), job::kRed) << log.line(i);
  EXPECT_TRUE(ErrorLog.empty());

  EXPECT_EQ(Count(dest, "`job_lines`"), 4);
  EXPECT_EQ(Count(dest, "jobnokey"), 2);
  auto rs = dest.openQuery("SELECT name, note FROM `job_lines` WHERE id = 2");
  EXPECT_EQ(ado::VariantToText(rs->value(0)), "Zürich ✓");
  EXPECT_EQ(ado::VariantToText(rs->value(1)), "back\\slash");
  rs = dest.openQuery("SELECT note FROM `job_lines` WHERE id = 1");
  EXPECT_TRUE(rs->value(0).isNull());

  // The panes show what the models hold.
  EXPECT_EQ(window.mmoLog->model()->rowCount(), static_cast<int>(log.size()));
  EXPECT_EQ(window.mmoScripts->model()->rowCount(), static_cast<int>(window.ScriptLines().size()));
  SaveScreenshot(&window, QStringLiteral("source_data_selection_after_job"));

  const std::vector<std::string> lines = Lines(script);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[4], std::string(49, '='));
  EXPECT_EQ(lines[5], "");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "DROP TABLE `job_lines`;"), lines.end());
  ASSERT_FALSE(messages.entries.empty());
  EXPECT_EQ(messages.entries.back().text, "Created scripts have saved to " + script.string() + ".");
  fs::remove(script);
}

TEST_F(AppAgainstServer, GoFromTheMainWindowRunsALimitedJob) {
  PrepareSource("go");
  source.close();
  dest.close();
  const fs::path script =
      fs::temp_directory_path() / ("qm-go-" + std::to_string(getpid()) + ".sql");
  TdmMain dm;
  TProjectSettings settings;
  TfrmMain window(dm, settings);
  window.createSelectionWindow = [] { return std::make_unique<TfrmSourceDataSelection>(); };
  window.cmbSource->setCurrentIndex(2);
  window.cmbDest->setCurrentIndex(2);
  window.show();
  QApplication::processEvents();
  for (auto [side, dsn] : {std::pair{0, "qm_gui_go_src"}, std::pair{1, "qm_gui_go_dst"}}) {
    OnNextModal([dsn = QString::fromLatin1(dsn)](QWidget* w) {
      auto* dialog = qobject_cast<TfrmConnectionSetup*>(w);
      ASSERT_NE(dialog, nullptr);
      dialog->cmbMyODBC->setEditText(dsn);
      dialog->btnOK->click();
    });
    if (side == 0)
      window.lblSourceClick();
    else
      window.lblDestClick();
  }
  EXPECT_EQ(window.lblSourceStatus->text(), "Connected");
  EXPECT_EQ(window.lblDestStatus->text(), "Connected");
  window.cmbLimitations->setEditText("2");
  window.cmbReplaceChar->addItems({"_", "-"});
  window.txtDestinationFileName->setText(QString::fromStdString(script.string()));

  QStringList seen;
  OnNextModal(
      [&](QWidget* w) {
        auto* selection = qobject_cast<TfrmSourceDataSelection*>(w);
        ASSERT_NE(selection, nullptr);
        seen << selection->windowTitle();
        selection->btnExecute->click();
        const job::TLineModel& log = selection->LogLines();
        for (std::size_t i = 0; i < log.size(); ++i)
          seen << QString::fromUtf8(log.line(i).data(), static_cast<qsizetype>(log.line(i).size()));
        selection->btnClose->click();
      },
      &window);
  window.btnExecuteClick();
  ASSERT_FALSE(seen.isEmpty()) << "the selection window did not open";
  EXPECT_EQ(seen[0], "Source data selection");
  const QString all = seen.join("\n");
  EXPECT_TRUE(all.contains(" : 2 inserted, 0 insert failed.")) << all.toStdString();
  EXPECT_TRUE(all.contains(" : 2 updated, 0 update failed.")) << all.toStdString();
  EXPECT_EQ(settings.RecordLimit, 2);
  ASSERT_NE(window.CurrentCatalogue(), nullptr);
  EXPECT_EQ(window.CurrentCatalogue()->Connection, &dm.cnnSource);
  EXPECT_TRUE(fs::exists(script));
  EXPECT_EQ(Count(dm.cnnDest, "`go_lines`"), 2);
  window.close();
  EXPECT_FALSE(dm.cnnSource.isOpen());
  fs::remove(script);
}

}  // namespace
