// TfrmSourceDataSelection: the window where the objects of a job are chosen in a
// check tree and the job is run, with the process log and generated-scripts panes.
// The tree's rules, the runner and the line models are the job core's; this class
// shows them. GO is disabled while a job runs (and a click that was already queued
// is ignored); "Close" and closing the window wait until the job has ended.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <memory>

#include "job/job_view.h"
#include "job/selection_window.h"
#include "job/source_tree.h"

class QLabel;
class QTableView;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace job {
class TPaneModel;
}

class TfrmSourceDataSelection : public QDialog, public TSelectionWindow, private job::TPanesView {
  Q_OBJECT

 public:
  explicit TfrmSourceDataSelection(QWidget* parent = nullptr);
  ~TfrmSourceDataSelection() override;

  void SetSettings(TProjectSettings* settings) override { settings_ = settings; }
  void SetSourceConnection(ado::Connection* connection) override { source_ = connection; }
  void SetDestConnection(ado::Connection* connection) override { dest_ = connection; }
  void SetCatalogue(TCorvane* catalogue) override { catalogue_ = catalogue; }
  bool BuildSourceTree() override;
  void CollapseScripts() override;
  void ShowModal() override { exec(); }

  // The runner's view of this window.
  job::TJobView& View() { return *this; }
  const job::TLineModel& LogLines() const { return job::TPanesView::LogLines(); }
  const job::TLineModel& ScriptLines() const override { return job::TPanesView::ScriptLines(); }
  bool JobRunning() const { return running_; }
  // The tree's state-change hook; false when the change is refused.
  bool tvSourceStateChanging(QTreeWidgetItem* node, Qt::CheckState newState);

  // Controls, named as the system names them.
  QLabel* lblHeading;
  QTreeWidget* tvSource;
  QWidget* panelSize;
  QSplitter* splitter;
  QTableView* mmoLog;
  QTableView* mmoScripts;
  QProgressBar* progress;
  QPushButton* btnExecute;
  QPushButton* btnCancel;
  QPushButton* btnClose;

 public slots:
  void btnExecuteClick();
  void btnCancelClick();
  void btnCloseClick();
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  friend class TSourceCheckItem;
  // The user checked or unchecked a node: ask the hook, then show the flags it left.
  void UserChangedState(QTreeWidgetItem* item, Qt::CheckState newState);
  void AddNodes(QTreeWidgetItem* parent, const job::TSourceNode& node);
  void SetSubtreeState(QTreeWidgetItem* item, Qt::CheckState state);
  // Sets every box from the catalogue's Selected flags.
  void ShowSelection();
  void FlushPanes(bool force);

  // job::TPanesView
  void SetProgressTotal(std::int64_t total) override;
  void SetProgressPosition(std::int64_t position) override;
  void ProcessEvents() override;
  void PanesCleared() override;

  TProjectSettings* settings_ = nullptr;
  ado::Connection* source_ = nullptr;
  ado::Connection* dest_ = nullptr;
  TCorvane* catalogue_ = nullptr;
  job::TSourceTree tree_;
  std::unique_ptr<job::TPaneModel> logModel_;
  std::unique_ptr<job::TPaneModel> scriptsModel_;
  QElapsedTimer sinceFlush_;
  bool settingStates_ = false;
  bool running_ = false;
  bool closeWanted_ = false;
  bool scriptsCollapsed_ = false;
  bool shown_ = false;
};
