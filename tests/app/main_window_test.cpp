#include "app/main_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "app/data_module.h"
#include "app/job_start.h"
#include "app/splash.h"
#include "app/window_test_support.h"
#include "connect/connection_string.h"
#include "job/start_checks.h"
#include "platform/ado/null_session.h"
#include "platform/ui/messages.h"
#include "support/test_server.h"

namespace fs = std::filesystem;

namespace {

const char* const kSourceWarning =
    "You cannot process this job because of your source connection is still disconnected from "
    "database, please try to setup your source connection and connect to your database file or "
    "database server to continue your job.";
const char* const kDestWarning =
    "You cannot process this job because of your destination connection is still disconnected "
    "from database, please try to setup your destination connection and connect to your "
    "database file or database server to continue your job.";

// Stands in for a provider where a test only needs a connection that is open.
class IdleSession : public ado::Session {
 public:
  void execute(const std::string&) override {}
  std::unique_ptr<ado::Recordset> openQuery(const std::string&) override {
    throw ado::DatabaseError("no rows here");
  }
  std::unique_ptr<ado::Recordset> openSchema(ado::SchemaRowset,
                                             const std::vector<ado::Variant>&) override {
    throw ado::DatabaseError("no schema here");
  }
  std::unique_ptr<ado::TableDataset> openTable(const std::string&) override {
    throw ado::DatabaseError("no table here");
  }
};

// Records what GO hands the selection window, in order.
class RecordingSelectionWindow : public TSelectionWindow {
 public:
  explicit RecordingSelectionWindow(std::vector<std::string>& calls, bool builds)
      : calls_(calls), builds_(builds) {}
  ~RecordingSelectionWindow() override { calls_.push_back("destroyed"); }
  void SetSettings(TProjectSettings*) override { calls_.push_back("settings"); }
  void SetSourceConnection(ado::Connection*) override { calls_.push_back("source"); }
  void SetDestConnection(ado::Connection*) override { calls_.push_back("dest"); }
  void SetCatalogue(TCorvane*) override { calls_.push_back("catalogue"); }
  bool BuildSourceTree() override {
    calls_.push_back("build");
    return builds_;
  }
  void CollapseScripts() override { calls_.push_back("collapse"); }
  void ShowModal() override { calls_.push_back("show"); }

 private:
  std::vector<std::string>& calls_;
  bool builds_;
};

class MainWindow : public ::testing::Test {
 protected:
  MainWindow() {
    window.runConnectionSetup = [this](TDatabaseKind kind, ado::Connection& c) {
      setups.push_back({kind, &c});
      return nextResult;
    };
    window.show();
    QApplication::processEvents();
  }
  ~MainWindow() override {
    window.hide();
    dm.CloseConnections();
  }
  void Connect(TfrmMain::TSide side) {
    nextResult = mrOk;
    if (side == TfrmMain::TSide::Source)
      window.lblSourceClick();
    else
      window.lblDestClick();
  }
  void SetLimitText(const QString& text) {
    window.cmbLimitations->setFocus();
    window.cmbLimitations->lineEdit()->selectAll();
    QTest::keyClick(window.cmbLimitations->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(window.cmbLimitations->lineEdit(), text);
  }

  ui::RecordingMessages messages;
  ui::ScopedMessages scope{messages};
  TdmMain dm;
  TProjectSettings settings;
  TfrmMain window{dm, settings};
  int nextResult = mrOk;
  struct Setup {
    TDatabaseKind kind;
    ado::Connection* connection;
  };
  std::vector<Setup> setups;
};

TEST_F(MainWindow, StartsAsDesigned) {
  EXPECT_EQ(window.windowTitle(), "Corvane - Quillmark");
  EXPECT_EQ(window.size(), QSize(624, 488));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  for (QComboBox* list : {window.cmbSource, window.cmbDest}) {
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0), "Microsoft Access");
    EXPECT_EQ(list->itemText(1), "Microsoft SQL Server");
    EXPECT_EQ(list->itemText(2), "MySQL");
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_FALSE(list->isEditable());
  }
  for (QLabel* status : {window.lblSourceStatus, window.lblDestStatus}) {
    EXPECT_EQ(status->text(), "Disconnected");
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(status->font().bold());
  }
  for (QCheckBox* c : {window.chkDropIfExist, window.chkCreateObject, window.chkTransferData,
                       window.chkUpdateData, window.chkSaveScripts})
    EXPECT_TRUE(c->isChecked()) << c->text().toStdString();
  EXPECT_EQ(window.btnExecute->text(), "GO !!");
  EXPECT_EQ(window.grpExecute->title(), "Execute Options");
  EXPECT_EQ(window.grpReplacement->title(), "Replace \"Non-Support\" char with.  ");
  EXPECT_FALSE(window.grpReplacement->isVisible());
  QStringList limits;
  for (int i = 0; i < window.cmbLimitations->count(); ++i)
    limits << window.cmbLimitations->itemText(i);
  EXPECT_EQ(limits.join(","), "All Records,10,20,30,40,50,100,200,300,400,500,1000,5000,10000");
  EXPECT_TRUE(window.cmbLimitations->isEditable());
  EXPECT_EQ(window.cmbLimitations->currentText(), "All Records");
  EXPECT_EQ(window.txtDestinationFileName->text(), "");
}

TEST_F(MainWindow, ReplacementGroupFollowsTheDestinationAndKeepsItsChoice) {
  window.cmbReplaceChar->addItems({"_", "-"});
  window.cmbDest->setCurrentIndex(2);
  EXPECT_TRUE(window.grpReplacement->isVisible());
  window.cmbReplaceChar->setCurrentIndex(1);
  window.cmbDest->setCurrentIndex(1);
  EXPECT_FALSE(window.grpReplacement->isVisible());
  EXPECT_EQ(window.cmbReplaceChar->currentText(), "-");
  window.btnExecuteClick();  // stops at the connection check, after filling the settings
  EXPECT_EQ(settings.ReplaceChar, "-");
}

TEST_F(MainWindow, ConnectionDialogResultsSetTheStatus) {
  struct Case {
    int result;
    const char* expected;
  };
  // Other results leave the status as it was: "Connected" from the row before.
  const Case cases[] = {{mrOk, "Connected"},   {mrNo, "Disconnected"},     {mrYes, "Connected"},
                        {mrNone, "Connected"}, {mrCancel, "Disconnected"}, {99, "Disconnected"}};
  for (const Case& c : cases) {
    nextResult = c.result;
    window.lblDestClick();
    EXPECT_EQ(window.lblDestStatus->text(), c.expected) << c.result;
  }
  nextResult = mrOk;
  window.lblDestClick();
  EXPECT_EQ(window.lblDestStatus->palette().color(QPalette::WindowText), QColor(0, 128, 0));
  EXPECT_EQ(window.lblSourceStatus->text(), "Disconnected");
  for (const Setup& s : setups) EXPECT_EQ(s.connection, &dm.cnnDest);
}

TEST_F(MainWindow, DialogGetsTheKindOfTheListAndTheSidesConnection) {
  for (int index : {0, 1, 2}) {
    window.cmbSource->setCurrentIndex(index);
    window.lblSourceClick();
  }
  ASSERT_EQ(setups.size(), 3u);
  EXPECT_EQ(setups[0].kind, dkAccess);
  EXPECT_EQ(setups[1].kind, dkSQLServer);
  EXPECT_EQ(setups[2].kind, dkMySQL);
  for (const Setup& s : setups) EXPECT_EQ(s.connection, &dm.cnnSource);
  // Switching the kind afterwards keeps "Connected".
  window.cmbSource->setCurrentIndex(0);
  EXPECT_EQ(window.lblSourceStatus->text(), "Connected");
}

TEST_F(MainWindow, RealDialogCancelledWithEscapeLeavesTheSideDisconnected) {
  TdmMain realDm;
  TProjectSettings realSettings;
  TfrmMain real(realDm, realSettings);
  real.show();
  OnNextModal([](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Connection Settings");
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  real.lblSourceClick();
  EXPECT_EQ(real.lblSourceStatus->text(), "Disconnected");
  EXPECT_TRUE(messages.entries.empty());
}

TEST_F(MainWindow, LimitTextCases) {
  Connect(TfrmMain::TSide::Source);  // dest stays disconnected: GO ends at step 3
  struct Case {
    const char* typed;  // nullptr: pick the item instead
    int pickIndex;
    bool refused;
    std::int32_t limit;
  };
  const Case cases[] = {
      {nullptr, 0, false, -1},    {"0", 0, false, 0},         {"25", 0, false, 25},
      {nullptr, 11, false, 1000}, {"-5", 0, true, 0},         {"many", 0, true, 0},
      {" 40 ", 0, false, 40},     {"2147483648", 0, true, 0}, {"", 0, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed ? c.typed : "picked");
    messages.entries.clear();
    settings.RecordLimit = 777;
    window.cmbLimitations->setCurrentIndex(c.pickIndex);
    if (c.typed) SetLimitText(QString::fromLatin1(c.typed));
    window.btnExecuteClick();
    ASSERT_EQ(messages.entries.size(), 1u);
    if (c.refused) {
      EXPECT_EQ(messages.entries[0].text, kLimitationWarning);
      EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Warning);
      EXPECT_EQ(settings.RecordLimit, 777) << "settings must stay untouched";
      EXPECT_EQ(window.cmbLimitations->currentText(), "All Records");
      EXPECT_EQ(window.cmbLimitations->currentIndex(), 0);
      EXPECT_TRUE(window.cmbLimitations->hasFocus());
    } else {
      EXPECT_EQ(messages.entries[0].text, kDestWarning);
      EXPECT_EQ(settings.RecordLimit, c.limit);
    }
  }
}

TEST_F(MainWindow, SourceWarningComesFirstAndSettingsAreFilledBeforeIt) {
  window.chkDropIfExist->setChecked(false);
  window.chkUpdateData->setChecked(false);
  window.cmbSource->setCurrentIndex(1);
  window.cmbDest->setCurrentIndex(2);
  CurrentSourceKind = dkNone;
  CurrentDestKind = dkNone;
  window.btnExecuteClick();
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, kSourceWarning);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Warning);
  EXPECT_EQ(settings.RecordLimit, -1);
  EXPECT_FALSE(settings.DropIfExist);
  EXPECT_TRUE(settings.CreateObject);
  EXPECT_TRUE(settings.TransferData);
  EXPECT_FALSE(settings.UpdateData);
  EXPECT_TRUE(settings.SaveScripts);
  EXPECT_EQ(settings.SourceKind, dkSQLServer);
  EXPECT_EQ(settings.DestKind, dkMySQL);
  EXPECT_EQ(CurrentSourceKind, dkSQLServer);
  EXPECT_EQ(CurrentDestKind, dkMySQL);
  EXPECT_EQ(window.CurrentCatalogue(), nullptr);

  Connect(TfrmMain::TSide::Source);
  messages.entries.clear();
  window.btnExecuteClick();
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, kDestWarning);
  EXPECT_EQ(window.CurrentCatalogue(), nullptr);
}

// "Fast transfer" beside the record limit: off at start, groups of 1000 when checked.
TEST_F(MainWindow, FastTransferIsOptInAndReachesTheSettings) {
  EXPECT_EQ(window.chkFastTransfer->text(), "Fast transfer");
  EXPECT_FALSE(window.chkFastTransfer->isChecked());
  EXPECT_EQ(window.chkFastTransfer->parentWidget(), window.cmbLimitations->parentWidget());
  window.btnExecuteClick();  // stops at the connection check, after filling the settings
  EXPECT_EQ(settings.BatchRows, 0);
  window.chkFastTransfer->setChecked(true);
  window.btnExecuteClick();
  EXPECT_EQ(settings.BatchRows, 1000);
}

TEST_F(MainWindow, EmptyScriptNameStopsWithANewEmptyCatalogue) {
  Connect(TfrmMain::TSide::Source);
  Connect(TfrmMain::TSide::Destination);
  window.cmbSource->setCurrentIndex(2);
  window.btnExecuteClick();
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, "Please provide your target script filename of your work.");
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Information);
  EXPECT_TRUE(window.txtDestinationFileName->hasFocus());
  TCorvane* first = window.CurrentCatalogue();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->DBKind, dkMySQL);
  EXPECT_EQ(first->Connection, &dm.cnnSource);
  EXPECT_TRUE(first->Objects.empty());

  // The next GO replaces it.
  first->Objects.Add(std::make_unique<TCorvaneObject>());
  window.btnExecuteClick();
  ASSERT_NE(window.CurrentCatalogue(), nullptr);
  EXPECT_TRUE(window.CurrentCatalogue()->Objects.empty());
}

TEST_F(MainWindow, ScriptNameIsTakenOnlyWhenSavingAndAWhitespaceNameIsAccepted) {
  Connect(TfrmMain::TSide::Source);
  Connect(TfrmMain::TSide::Destination);
  std::vector<std::string> calls;
  window.createSelectionWindow = [&] {
    return std::make_unique<RecordingSelectionWindow>(calls, true);
  };
  settings.ScriptFileName = "earlier.sql";
  window.chkSaveScripts->setChecked(false);
  window.btnExecuteClick();
  EXPECT_EQ(settings.ScriptFileName, "earlier.sql");
  window.chkSaveScripts->setChecked(true);
  window.txtDestinationFileName->setText("   ");
  messages.entries.clear();
  window.btnExecuteClick();
  EXPECT_EQ(settings.ScriptFileName, "   ");
  for (const auto& e : messages.entries)
    EXPECT_NE(e.text, "Please provide your target script filename of your work.");
}

TEST_F(MainWindow, CatalogueFailureEndsGoWithTheLoadersMessageOnly) {
  Connect(TfrmMain::TSide::Source);
  Connect(TfrmMain::TSide::Destination);
  dm.cnnSource.setConnectionString(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/nonexistent/quillmark.mdb;");
  bool created = false;
  window.createSelectionWindow = [&]() -> std::unique_ptr<TSelectionWindow> {
    created = true;
    return nullptr;
  };
  window.txtDestinationFileName->setText("out.sql");
  window.btnExecuteClick();
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_NE(messages.entries[0].text.find("/nonexistent/quillmark.mdb"), std::string::npos)
      << messages.entries[0].text;
  EXPECT_FALSE(created);
  ASSERT_NE(window.CurrentCatalogue(), nullptr) << "the new catalogue stays current";
  EXPECT_EQ(settings.ScriptFileName, "out.sql");
}

TEST_F(MainWindow, TheSameDatabaseOnBothSidesIsRefusedBeforeTheCatalogueIsLoaded) {
  Connect(TfrmMain::TSide::Source);
  Connect(TfrmMain::TSide::Destination);
  // One Access file, reached through a second path.
  const std::string file = TestDataDir() + "/testodbc.mdb";
  const fs::path link = fs::temp_directory_path() / ("qm-same-" + std::to_string(getpid()) + ".mdb");
  fs::remove(link);
  fs::create_symlink(file, link);
  dm.cnnSource.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file);
  dm.cnnDest.setConnectionString("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + link.string());
  dm.cnnSource.open();
  dm.cnnDest.open();
  bool created = false;
  window.createSelectionWindow = [&]() -> std::unique_ptr<TSelectionWindow> {
    created = true;
    return nullptr;
  };
  window.txtDestinationFileName->setText("out.sql");
  window.btnExecuteClick();
  fs::remove(link);
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages.entries[0].text, job::kSameDatabaseMessage);
  EXPECT_FALSE(created);
  EXPECT_EQ(window.CurrentCatalogue(), nullptr);
}

TEST_F(MainWindow, TheScriptFileMayNotBeTheAccessSourceFile) {
  Connect(TfrmMain::TSide::Source);
  Connect(TfrmMain::TSide::Destination);
  const fs::path dir = fs::temp_directory_path() / ("qm-clash-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path file = dir / "source.mdb";
  fs::copy_file(TestDataDir() + "/testodbc.mdb", file);
  fs::create_hard_link(file, dir / "hard.sql");
  fs::create_symlink(file, dir / "soft.sql");
  dm.cnnSource.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                   file.string());
  dm.cnnSource.open();
  dm.cnnDest.attach(std::make_unique<ado::NullSession>());
  std::vector<std::string> calls;
  window.createSelectionWindow = [&] {
    return std::make_unique<RecordingSelectionWindow>(calls, false);
  };
  window.chkSaveScripts->setChecked(true);
  for (const fs::path& script : {dir / "hard.sql", dir / "soft.sql", dir / "." / "source.mdb"}) {
    messages.entries.clear();
    window.txtDestinationFileName->setText(QString::fromStdString(script.string()));
    window.btnExecuteClick();
    ASSERT_EQ(messages.entries.size(), 1u) << script;
    EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
    EXPECT_EQ(messages.entries[0].text,
              "The script file " + script.string() +
                  " is the source database file; writing the script would overwrite it. Choose "
                  "another script file.");
  }
  EXPECT_TRUE(calls.empty()) << "the job was set up";
  fs::remove_all(dir);
}

TEST_F(MainWindow, GoHandsTheSelectionWindowItsInputsThenShowsItOrReportsTheTree) {
  Connect(TfrmMain::TSide::Source);
  Connect(TfrmMain::TSide::Destination);
  // An open source that lists nothing: the catalogue loads, empty.
  dm.cnnSource.attach(std::make_unique<ado::NullSession>());
  std::vector<std::string> calls;
  bool builds = true;
  window.createSelectionWindow = [&] {
    calls.push_back("created");
    return std::make_unique<RecordingSelectionWindow>(calls, builds);
  };
  window.chkSaveScripts->setChecked(false);
  window.btnExecuteClick();
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_EQ(calls, (std::vector<std::string>{"created", "settings", "source", "dest", "catalogue",
                                             "build", "collapse", "show", "destroyed"}));

  calls.clear();
  window.chkSaveScripts->setChecked(true);
  window.txtDestinationFileName->setText("out.sql");
  window.btnExecuteClick();
  EXPECT_EQ(calls, (std::vector<std::string>{"created", "settings", "source", "dest", "catalogue",
                                             "build", "show", "destroyed"}));

  calls.clear();
  builds = false;
  window.btnExecuteClick();
  EXPECT_EQ(calls, (std::vector<std::string>{"created", "settings", "source", "dest", "catalogue",
                                             "build", "destroyed"}));
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(messages.entries[0].text, "Cannot prepare soure object for selection.");
  ASSERT_NE(window.CurrentCatalogue(), nullptr);
  EXPECT_EQ(window.CurrentCatalogue()->Connection, &dm.cnnSource);
}

TEST_F(MainWindow, BrowseProposesYourScriptAndTakesTheChosenPath) {
  QString proposed;
  window.chooseScriptFile = [&](const QString& p) {
    proposed = p;
    return QStringLiteral("/tmp/out.sql");
  };
  window.btnDestinationFileName->click();
  EXPECT_EQ(proposed, "YourScript.sql");
  EXPECT_EQ(window.txtDestinationFileName->text(), "/tmp/out.sql");
  window.chooseScriptFile = [](const QString&) { return QString(); };
  window.btnDestinationFileName->click();
  EXPECT_EQ(window.txtDestinationFileName->text(), "/tmp/out.sql");
}

TEST_F(MainWindow, FormShowReadsSpecialCharFromTheWorkingDirectory) {
  const fs::path saved = fs::current_path();
  const fs::path dir = fs::temp_directory_path() / ("qm-special-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::current_path(dir);
  std::ofstream("SpecialChar.dat", std::ios::binary) << "_\r\n-\n\n.\n";
  window.FormShow();
  QStringList items;
  for (int i = 0; i < window.cmbReplaceChar->count(); ++i)
    items << QLatin1Char('[') + window.cmbReplaceChar->itemText(i) + QLatin1Char(']');
  EXPECT_EQ(items.join(","), "[_],[-],[],[.]");
  EXPECT_EQ(window.cmbReplaceChar->currentIndex(), 0);

  fs::remove("SpecialChar.dat");
  window.FormShow();
  EXPECT_EQ(window.cmbReplaceChar->count(), 0);
  EXPECT_TRUE(messages.entries.empty());
  fs::current_path(saved);
  fs::remove_all(dir);
}

TEST_F(MainWindow, ClosingTheWindowClosesTheConnections) {
  dm.cnnSource.attach(std::make_unique<IdleSession>());
  dm.cnnDest.attach(std::make_unique<IdleSession>());
  ASSERT_TRUE(dm.cnnSource.isOpen() && dm.cnnDest.isOpen());
  window.close();
  EXPECT_FALSE(dm.cnnSource.isOpen());
  EXPECT_FALSE(dm.cnnDest.isOpen());
}

TEST_F(MainWindow, AboutShowsTheSplashModally) {
  TfrmSplash splash;
  window.SetAboutWindow(&splash);
  QString title;
  OnNextModal([&](QWidget* w) {
    title = w->windowTitle();
    SaveScreenshot(w, QStringLiteral("about"));
    QTest::keyClick(w, Qt::Key_Escape);
  });
  window.AboutClick();
  EXPECT_EQ(title, "About Us");
  EXPECT_EQ(splash.size(), QSize(507, 318));
  EXPECT_EQ(splash.lblProductName->text(), "Quillmark Version 1.0.0.0");
}

TEST_F(MainWindow, SavedAsPicture) {
  window.cmbReplaceChar->addItems({"_", "-", "", "."});
  Connect(TfrmMain::TSide::Source);
  window.txtDestinationFileName->setText("/home/me/YourScript.sql");
  SaveScreenshot(&window, QStringLiteral("main_window"));
  window.cmbDest->setCurrentIndex(2);
  SaveScreenshot(&window, QStringLiteral("main_window_mysql_destination"));
}

}  // namespace
