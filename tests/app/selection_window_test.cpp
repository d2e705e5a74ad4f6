#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <functional>

#include "app/window_test_support.h"
#include "job/line_model.h"
#include "job/process_state.h"
#include "job/source_data_selection.h"
#include "platform/ado/memory_recordset.h"
#include "platform/ado/null_session.h"
#include "platform/ui/messages.h"
#include "platform/ui/qt_messages.h"
#include "sqlgen/type_mapping.h"

namespace {

// Access columns: Long (3), Text(50) (130/106), and a Memo (130/234).
TCorvaneField& AddField(TCorvaneObject& o, const char* name, int dataType, int flags, int len) {
  auto f = std::make_unique<TCorvaneField>();
  f->FieldName = name;
  f->DataType = dataType;
  f->ColumnFlags = flags;
  f->CharMaxLength = len;
  f->DBKind = o.DBKind;
  return o.Fields.Add(std::move(f));
}

TCorvaneIndex& AddIndex(TCorvaneObject& o, const char* name, bool pk, bool unique, bool clustered) {
  auto i = std::make_unique<TCorvaneIndex>();
  i->IndexName = name;
  i->IsPrimaryKey = pk;
  i->IsUnique = unique;
  i->IsClustered = clustered;
  i->DBKind = o.DBKind;
  return o.Indexes.Add(std::move(i));
}

TCorvaneObject& AddObject(TCorvane& c, const char* name, const char* type, std::uint8_t kind) {
  auto o = std::make_unique<TCorvaneObject>();
  o->ObjectName = name;
  o->TableType = type;
  o->ObjectKind = kind;
  o->DBKind = c.DBKind;
  return c.Objects.Add(std::move(o));
}

// Orders (two fields, three indexes), Plain (no index), a view, and two objects that
// must be skipped: a system table and a type written in lower case.
void FillCatalogue(TCorvane& c) {
  c.DBKind = dkAccess;
  TCorvaneObject& orders = AddObject(c, "Orders", "TABLE", 0);
  AddField(orders, "OrderID", 3, 90, 0);
  AddField(orders, "Customer", 130, 106, 50);
  AddIndex(orders, "PrimaryKey", true, true, true);
  AddIndex(orders, "ByCustomer", false, true, false);
  AddIndex(orders, "Loose", false, false, false);
  TCorvaneObject& plain = AddObject(c, "Plain", "TABLE", 0);
  AddField(plain, "Note", 130, 234, 0);
  TCorvaneObject& view = AddObject(c, "Big Orders", "VIEW", 1);
  AddField(view, "OrderID", 3, 90, 0);
  AddObject(c, "MSysObjects", "SYSTEM TABLE", 1);
  AddObject(c, "lower", "table", 0);
}

QStringList Texts(QTreeWidgetItem* parent) {
  QStringList out;
  for (int i = 0; i < parent->childCount(); ++i) out << parent->child(i)->text(0);
  return out;
}

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
  for (int i = 0; i < parent->childCount(); ++i)
    if (parent->child(i)->text(0) == text) return parent->child(i);
  return nullptr;
}

bool AllChecked(QTreeWidgetItem* item) {
  if (item->checkState(0) != Qt::Checked) return false;
  for (int i = 0; i < item->childCount(); ++i)
    if (!AllChecked(item->child(i))) return false;
  return true;
}

// Clicks an item's check box with the mouse, as a user does.
void ClickCheckBox(QTreeWidget* tree, QTreeWidgetItem* item) {
  tree->scrollToItem(item);
  const QModelIndex index = tree->indexFromItem(item);
  QStyleOptionViewItem opt;
  opt.initFrom(tree->viewport());
  opt.rect = tree->visualRect(index);
  opt.features |= QStyleOptionViewItem::HasCheckIndicator;
  opt.state |= QStyle::State_Enabled;
  const QRect box =
      tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, tree);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box.center());
}

class SelectionWindow : public ::testing::Test {
 protected:
  void Build(TDatabaseKind source, TDatabaseKind dest) {
    settings.SourceKind = source;
    settings.DestKind = dest;
    window.SetSettings(&settings);
    FillCatalogue(catalogue);
    window.SetCatalogue(&catalogue);
    ASSERT_TRUE(window.BuildSourceTree());
    window.show();
    QApplication::processEvents();
    tables = window.tvSource->topLevelItem(0);
    views = window.tvSource->topLevelItem(1);
  }
  TCorvaneObject& Object(const char* name) {
    for (auto& o : catalogue.Objects)
      if (o.ObjectName == name) return o;
    throw std::runtime_error(name);
  }
  static bool WholeObject(const TCorvaneObject& o, bool selected) {
    for (const auto& f : o.Fields)
      if (f.Selected != selected) return false;
    for (const auto& i : o.Indexes)
      if (i.Selected != selected) return false;
    return o.Selected == selected;
  }

  ui::RecordingMessages messages;
  ui::ScopedMessages scope{messages};
  TProjectSettings settings;
  TCorvane catalogue;
  TfrmSourceDataSelection window;
  QTreeWidgetItem* tables = nullptr;
  QTreeWidgetItem* views = nullptr;
};

TEST_F(SelectionWindow, NoCatalogueBuildsNothingAndAnEmptyOneGivesTheTwoRoots) {
  EXPECT_FALSE(window.BuildSourceTree());
  EXPECT_EQ(window.tvSource->topLevelItemCount(), 0);
  TCorvane empty;
  window.SetCatalogue(&empty);
  EXPECT_TRUE(window.BuildSourceTree());
  ASSERT_EQ(window.tvSource->topLevelItemCount(), 2);
  EXPECT_EQ(window.tvSource->topLevelItem(0)->text(0), "TABLES");
  EXPECT_EQ(window.tvSource->topLevelItem(1)->text(0), "VIEWS");
  EXPECT_EQ(window.tvSource->topLevelItem(0)->checkState(0), Qt::Checked);
  EXPECT_EQ(window.tvSource->topLevelItem(1)->checkState(0), Qt::Checked);
}

TEST_F(SelectionWindow, SameKindTablesAndViewsApartSystemTablesSkipped) {
  Build(dkAccess, dkAccess);
  EXPECT_EQ(Texts(tables), QStringList({"Orders", "Plain"}));
  EXPECT_EQ(Texts(views), QStringList({"Big Orders"}));
  EXPECT_EQ(Child(views, "Big Orders")->childCount(), 0);
  EXPECT_EQ(Texts(Child(tables, "Orders")), QStringList({"Fields", "Indexes"}));
  EXPECT_EQ(Texts(Child(tables, "Plain")), QStringList({"Fields"}));
  EXPECT_TRUE(AllChecked(tables));
  EXPECT_TRUE(AllChecked(views));
  EXPECT_TRUE(WholeObject(Object("Orders"), true));
  EXPECT_TRUE(Object("Big Orders").Selected);
  EXPECT_FALSE(Object("MSysObjects").Selected);
  EXPECT_FALSE(Object("lower").Selected);
}

TEST_F(SelectionWindow, AcrossKindsViewsBecomeTablesWithBothListNodes) {
  Build(dkAccess, dkMySQL);
  EXPECT_EQ(Texts(tables), QStringList({"Orders", "Plain", "Big Orders"}));
  EXPECT_EQ(views->childCount(), 0);
  QTreeWidgetItem* view = Child(tables, "Big Orders");
  EXPECT_EQ(Texts(view), QStringList({"Fields", "Indexes"}));
  EXPECT_EQ(Child(view, "Indexes")->childCount(), 0);
  EXPECT_EQ(Texts(Child(tables, "Plain")), QStringList({"Fields", "Indexes"}));
  EXPECT_TRUE(AllChecked(tables));
}

TEST_F(SelectionWindow, FieldAndIndexTexts) {
  Build(dkAccess, dkMySQL);
  QTreeWidgetItem* orders = Child(tables, "Orders");
  const TCorvaneObject& o = Object("Orders");
  EXPECT_EQ(
      Texts(Child(orders, "Fields")),
      QStringList({QString::fromStdString("OrderID " + ColumnTypeText(o.Fields[0], dkAccess)),
                   QString::fromStdString("Customer " + ColumnTypeText(o.Fields[1], dkAccess))}));
  EXPECT_EQ(Texts(Child(orders, "Indexes")),
            QStringList(
                {"PrimaryKey (PRIMARY KEY, UNIQUE, CLUSTERED)", "ByCustomer (UNIQUE)", "Loose "}));
}

TEST_F(SelectionWindow, UnchecksBelowTheObjectAreRefused) {
  Build(dkAccess, dkAccess);
  QTreeWidgetItem* orders = Child(tables, "Orders");
  QTreeWidgetItem* fields = Child(orders, "Fields");
  QTreeWidgetItem* indexes = Child(orders, "Indexes");
  for (QTreeWidgetItem* item : {fields, fields->child(0), indexes, indexes->child(2)}) {
    ClickCheckBox(window.tvSource, item);
    EXPECT_EQ(item->checkState(0), Qt::Checked) << item->text(0).toStdString();
  }
  EXPECT_TRUE(AllChecked(tables));
  EXPECT_TRUE(WholeObject(Object("Orders"), true));
}

TEST_F(SelectionWindow, ObjectsAndRootsChooseWholeObjects) {
  Build(dkAccess, dkAccess);
  QTreeWidgetItem* orders = Child(tables, "Orders");
  ClickCheckBox(window.tvSource, orders);
  EXPECT_EQ(orders->checkState(0), Qt::Unchecked);
  EXPECT_EQ(Child(orders, "Fields")->child(1)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(tables->checkState(0), Qt::PartiallyChecked);
  EXPECT_TRUE(WholeObject(Object("Orders"), false));
  EXPECT_TRUE(WholeObject(Object("Plain"), true));

  ClickCheckBox(window.tvSource, orders);
  EXPECT_TRUE(AllChecked(tables));
  EXPECT_TRUE(WholeObject(Object("Orders"), true));

  ClickCheckBox(window.tvSource, tables);
  EXPECT_EQ(tables->checkState(0), Qt::Unchecked);
  EXPECT_TRUE(WholeObject(Object("Orders"), false));
  EXPECT_TRUE(WholeObject(Object("Plain"), false));
  EXPECT_TRUE(Object("Big Orders").Selected) << "VIEWS is a root of its own";

  // A partly checked root checks everything again.
  ClickCheckBox(window.tvSource, orders);
  EXPECT_EQ(tables->checkState(0), Qt::PartiallyChecked);
  ClickCheckBox(window.tvSource, tables);
  EXPECT_TRUE(AllChecked(tables));
  EXPECT_TRUE(WholeObject(Object("Plain"), true));

  ClickCheckBox(window.tvSource, views);
  EXPECT_FALSE(Object("Big Orders").Selected);
  EXPECT_EQ(Child(views, "Big Orders")->checkState(0), Qt::Unchecked);
}

// The job reads the Selected flags, not the boxes: a box checked below an unchosen
// object must not show the object (or its root) as chosen.
TEST_F(SelectionWindow, ChecksBelowAnUnchosenObjectLeaveItsBoxUnchecked) {
  Build(dkAccess, dkAccess);
  QTreeWidgetItem* orders = Child(tables, "Orders");
  QTreeWidgetItem* fields = Child(orders, "Fields");
  QTreeWidgetItem* indexes = Child(orders, "Indexes");
  ClickCheckBox(window.tvSource, orders);
  ASSERT_TRUE(WholeObject(Object("Orders"), false));
  for (QTreeWidgetItem* item : {fields->child(1), fields, indexes->child(0), indexes}) {
    const std::string what = item->text(0).toStdString();
    ClickCheckBox(window.tvSource, item);
    EXPECT_EQ(orders->checkState(0), Qt::Unchecked) << what;
    EXPECT_FALSE(AllChecked(item)) << what << " shows checked under an unchosen object";
    EXPECT_EQ(item->checkState(0), Qt::Unchecked) << what;
    EXPECT_EQ(tables->checkState(0), Qt::PartiallyChecked) << what;
    EXPECT_TRUE(WholeObject(Object("Orders"), false)) << what;
  }
  SaveScreenshot(&window, QStringLiteral("source_data_selection_unchosen_object"));

  // The object's own box still chooses it, with everything below.
  ClickCheckBox(window.tvSource, orders);
  EXPECT_TRUE(AllChecked(tables));
  EXPECT_TRUE(WholeObject(Object("Orders"), true));
}

TEST_F(SelectionWindow, LayoutStartsAsDesignedAndCollapsesTheScripts) {
  Build(dkAccess, dkMySQL);
  EXPECT_EQ(window.windowTitle(), "Source data selection");
  EXPECT_EQ(window.size(), QSize(753, 623));
  EXPECT_EQ(window.lblHeading->text(), "Setup your work");
  EXPECT_EQ(window.btnExecute->text(), "GO");
  EXPECT_EQ(window.btnCancel->text(), "Cancel Process");
  EXPECT_EQ(window.btnClose->text(), "Close");
  EXPECT_EQ(window.mmoScripts->palette().color(QPalette::Base), QColor(255, 255, 196));
  EXPECT_EQ(window.mmoLog->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  const QList<int> sizes = window.splitter->sizes();
  ASSERT_EQ(sizes.size(), 2);
  const double share = double(sizes[0]) / (sizes[0] + sizes[1]);
  EXPECT_NEAR(share, 0.37, 0.02);
  EXPECT_NEAR(window.panelSize->height(), 406, 40);

  TfrmSourceDataSelection collapsed;
  TCorvane empty;
  collapsed.SetCatalogue(&empty);
  collapsed.BuildSourceTree();
  collapsed.CollapseScripts();
  collapsed.show();
  QApplication::processEvents();
  EXPECT_EQ(collapsed.splitter->sizes().value(1), 0);
  EXPECT_GT(collapsed.splitter->sizes().value(0), 600);
}

TEST_F(SelectionWindow, PanesShowTheLinesWithTheirColours) {
  Build(dkAccess, dkMySQL);
  job::TJobView& view = window.View();
  view.ClearPanes();
  view.AddLogLine("", job::kDefaultColor);
  view.AddLogLine("======================================", job::kDefaultColor);
  view.AddLogLine("10.12.2026 11:00:00 : [Orders] dropped.", job::kDefaultColor);
  view.AddLogLine("Post    : Duplicate entry '1' for key 'PRIMARY'", job::kRed);
  view.AddLogLine("OrderID :1", job::kYellow);
  view.AddLogLine("10.12.2026 11:00:01 : 24 inserted, 1 insert failed.", job::kNavy);
  view.AddLogLine("", job::kDefaultColor);
  view.AddLogLine("Process stoppe by USER", job::kBlue);
  view.AddScriptLine("");
  view.AddScriptLine("DROP TABLE `Orders`;");
  view.SetProgressTotal(25);
  view.SetProgressPosition(25);
  QApplication::processEvents();
  QTest::qWait(60);
  view.ProcessEvents();

  QAbstractItemModel* log = window.mmoLog->model();
  ASSERT_EQ(log->rowCount(), 8);
  EXPECT_EQ(log->index(0, 0).data().toString(), "");
  EXPECT_EQ(log->index(3, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
  EXPECT_EQ(log->index(4, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 255, 0));
  EXPECT_EQ(log->index(5, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 128));
  EXPECT_EQ(log->index(7, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
  EXPECT_FALSE(log->index(2, 0).data(Qt::ForegroundRole).isValid());
  EXPECT_EQ(window.mmoScripts->model()->rowCount(), 2);
  EXPECT_EQ(window.LogLines().text().substr(0, 42),
            "\r\n======================================\r\n");
  EXPECT_EQ(window.progress->value(), 25);
  SaveScreenshot(&window, QStringLiteral("source_data_selection"));

  view.ClearPanes();
  view.ProcessEvents();
  EXPECT_EQ(log->rowCount(), 0);
}

TEST_F(SelectionWindow, AMillionLogLinesStayResponsive) {
  Build(dkAccess, dkMySQL);
  // Qt's own event pumping, as in the program: every line lets pending events run.
  ui::QtMessages qt;
  ui::ScopedMessages useQt(qt);
  int clicks = 0;
  QObject::connect(window.btnCancel, &QPushButton::clicked, [&] { ++clicks; });
  QTimer::singleShot(20, window.btnCancel, [&] { window.btnCancel->click(); });
  job::TJobView& view = window.View();
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < 1000000; ++i)
    view.AddLogLine("10.12.2026 11:00:00 : row", job::kDefaultColor);
  view.ProcessEvents();
  QTest::qWait(50);
  view.ProcessEvents();
  EXPECT_EQ(window.mmoLog->model()->rowCount(), 1000000);
  EXPECT_EQ(clicks, 1) << "a click during the lines was not handled";
  StopRequested = false;
  // A loose bound that only a per-line repaint or copy would break, also under sanitizers.
  EXPECT_LT(clock.elapsed(), 60000);
}

TEST_F(SelectionWindow, CancelSetsTheStopFlagAndCloseWaitsForTheJob) {
  Build(dkAccess, dkMySQL);
  StopRequested = false;
  window.btnCancel->click();
  EXPECT_TRUE(StopRequested);
  StopRequested = false;
  window.btnClose->click();
  EXPECT_FALSE(window.isVisible());
}

}  // namespace

namespace {

// A source whose every query returns the same rows of one column "id".
class RowsSession : public ado::NullSession {
 public:
  explicit RowsSession(int rows) : rows_(rows) {}
  std::unique_ptr<ado::Recordset> openQuery(const std::string&) override {
    auto rs = std::make_unique<ado::MemoryRecordset>(std::vector<std::string>{"id"});
    for (int i = 1; i <= rows_; ++i) rs->addRow({ado::Variant(i)});
    return rs;
  }

 private:
  int rows_;
};

// Runs a script of clicks from inside the job, where the runner lets events run.
class ClickingMessages : public ui::RecordingMessages {
 public:
  std::function<void(int call)> onEvents;
  void processEvents() override {
    ui::RecordingMessages::processEvents();
    if (onEvents) onEvents(eventRuns);
  }
};

// A keyed table T (id, note) copied from Access to MySQL with its rows transferred and
// updated; the window is built and shown, GO not yet pressed.
struct OneTableJob {
  explicit OneTableJob(int rows) {
    catalogue.DBKind = dkAccess;
    TCorvaneObject& t = AddObject(catalogue, "T", "TABLE", 0);
    AddField(t, "id", 3, 90, 0);
    AddField(t, "note", 130, 106, 50);
    AddIndex(t, "PrimaryKey", true, true, false);
    settings.TransferData = true;
    settings.UpdateData = true;
    settings.SourceKind = dkAccess;
    settings.DestKind = dkMySQL;
    source.attach(std::make_unique<RowsSession>(rows));
    dest.attach(std::make_unique<ado::NullSession>());
    window.SetSettings(&settings);
    window.SetSourceConnection(&source);
    window.SetDestConnection(&dest);
    window.SetCatalogue(&catalogue);
    built = window.BuildSourceTree();
    window.show();
    QApplication::processEvents();
  }
  TCorvane catalogue;
  TProjectSettings settings;
  ado::Connection source, dest;
  TfrmSourceDataSelection window;
  bool built = false;
};

TEST(SelectionWindowJob, GoIsIgnoredCloseWaitsAndCancelStopsTheJob) {
  ClickingMessages messages;
  ui::ScopedMessages scope(messages);
  OneTableJob job(1000);
  ASSERT_TRUE(job.built);
  TfrmSourceDataSelection& window = job.window;

  bool goEnabledDuringJob = true;
  bool visibleAfterClose = false;
  messages.onEvents = [&](int call) {
    if (call == 5) {
      goEnabledDuringJob = window.btnExecute->isEnabled();
      window.btnExecute->click();  // a second job must not start
      window.btnClose->click();
      window.close();
      visibleAfterClose = window.isVisible();
    }
    if (call == 200) window.btnCancel->click();
  };
  StopRequested = true;  // GO clears it
  window.btnExecute->click();
  messages.onEvents = nullptr;

  EXPECT_FALSE(goEnabledDuringJob);
  EXPECT_TRUE(visibleAfterClose) << "Close took effect during the job";
  EXPECT_FALSE(window.isVisible()) << "Close was not carried out after the job";
  EXPECT_TRUE(window.btnExecute->isEnabled());
  const job::TLineModel& log = window.LogLines();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.line(log.size() - 1), "Process stoppe by USER");
  EXPECT_EQ(log.color(log.size() - 1), job::kBlue);
  int begins = 0;
  for (std::size_t i = 0; i < log.size(); ++i)
    if (log.line(i).find("Begin transfer data of T.") != std::string_view::npos) ++begins;
  EXPECT_EQ(begins, 1) << "one job only";
  EXPECT_TRUE(StopRequested);
  StopRequested = false;
}

}  // namespace

namespace {

// The box at the end of a job opens over panes that already show every line of it.
TEST(SelectionWindowJob, EveryLineIsInItsPaneBeforeTheScriptBoxOpens) {
  ui::QtMessages qt;
  ui::ScopedMessages scope(qt);
  OneTableJob job(300);
  ASSERT_TRUE(job.built);
  const std::filesystem::path script =
      std::filesystem::temp_directory_path() / ("qm-box-" + std::to_string(getpid()) + ".sql");
  job.settings.DropIfExist = true;
  job.settings.CreateObject = true;
  job.settings.SaveScripts = true;
  job.settings.ScriptFileName = script.string();
  TfrmSourceDataSelection& window = job.window;

  struct Seen {
    QString box;
    int logRows = -1, scriptRows = -1;
    std::size_t logLines = 0, scriptLines = 0;
  } seen;
  OnNextModal(
      [&](QWidget* box) {
        if (auto* message = qobject_cast<QMessageBox*>(box)) seen.box = message->text();
        seen.logRows = window.mmoLog->model()->rowCount();
        seen.scriptRows = window.mmoScripts->model()->rowCount();
        seen.logLines = window.LogLines().size();
        seen.scriptLines = window.ScriptLines().size();
        SaveScreenshot(&window, QStringLiteral("source_data_selection_job_done"));
        SaveScreenshot(box, QStringLiteral("source_data_selection_scripts_saved_box"));
        box->close();
      },
      &window);
  window.btnExecute->click();

  EXPECT_EQ(seen.box.toStdString(), "Created scripts have saved to " + script.string() + ".");
  EXPECT_GT(seen.logLines, 10u);
  EXPECT_GT(seen.scriptLines, 600u);
  EXPECT_EQ(static_cast<std::size_t>(seen.logRows), seen.logLines) << "log lines held back";
  EXPECT_EQ(static_cast<std::size_t>(seen.scriptRows), seen.scriptLines)
      << "statements held back";
  EXPECT_EQ(static_cast<std::size_t>(window.mmoLog->model()->rowCount()), window.LogLines().size());
  EXPECT_EQ(static_cast<std::size_t>(window.mmoScripts->model()->rowCount()),
            window.ScriptLines().size());
  std::filesystem::remove(script);
}

TEST(SelectionWindowJob, GoWithoutItsInputsSaysSo) {
  ui::RecordingMessages messages;
  ui::ScopedMessages scope(messages);
  TfrmSourceDataSelection window;
  window.btnExecute->click();
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_FALSE(window.JobRunning());
}

}  // namespace
