#include "job/source_data_selection.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <functional>
#include <string>

#include "job/job_runner.h"
#include "job/pane_model.h"
#include "job/process_state.h"
#include "platform/ui/messages.h"
#include "platform/ui/qt_look.h"

namespace {

// New lines reach the panes at most this often while a job runs.
constexpr qint64 kFlushMilliseconds = 40;

}  // namespace

// A tree node whose check box goes through the window: the view's click arrives
// here as a data change, which the window may refuse.
class TSourceCheckItem : public QTreeWidgetItem {
 public:
  TSourceCheckItem(TfrmSourceDataSelection* window, const job::TSourceNode* node)
      : window_(window), node_(node) {
    setText(0, QString::fromStdString(node->text));
    setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    QTreeWidgetItem::setData(0, Qt::CheckStateRole, Qt::Unchecked);
  }
  const job::TSourceNode* node() const { return node_; }

  void setData(int column, int role, const QVariant& value) override {
    if (role == Qt::CheckStateRole && !window_->settingStates_) {
      window_->UserChangedState(this, static_cast<Qt::CheckState>(value.toInt()));
      return;
    }
    QTreeWidgetItem::setData(column, role, value);
  }

 private:
  TfrmSourceDataSelection* window_;
  const job::TSourceNode* node_;
};

namespace {

// The window's messages while a job runs: every line the job has written is shown in
// its pane before a box opens over the window.
class TPanesFirstMessages : public ui::Messages {
 public:
  TPanesFirstMessages(ui::Messages& inner, std::function<void()> showPending)
      : inner_(inner), showPending_(std::move(showPending)) {}
  void show(ui::MessageKind kind, const std::string& text) override {
    showPending_();
    inner_.show(kind, text);
  }
  bool confirm(const std::string& text) override {
    showPending_();
    return inner_.confirm(text);
  }
  void setBusy(bool busy) override { inner_.setBusy(busy); }
  void processEvents() override { inner_.processEvents(); }

 private:
  ui::Messages& inner_;
  std::function<void()> showPending_;
};

job::TCheckState ToJob(Qt::CheckState s) {
  switch (s) {
    case Qt::Checked: return job::TCheckState::Checked;
    case Qt::PartiallyChecked: return job::TCheckState::Partial;
    case Qt::Unchecked: break;
  }
  return job::TCheckState::Unchecked;
}

// A table of one column: its rows have one fixed height and need no layout pass, which
// keeps appending cheap however many lines the pane holds.
QTableView* Pane(QAbstractItemModel* model, const QColor& background) {
  auto* view = new QTableView;
  view->setModel(model);
  view->horizontalHeader()->hide();
  view->verticalHeader()->hide();
  view->setShowGrid(false);
  view->setCornerButtonEnabled(false);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setTextElideMode(Qt::ElideNone);
  view->setWordWrap(false);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  view->setFont(mono);
  const QFontMetrics metrics(mono);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setMinimumSectionSize(1);
  view->verticalHeader()->setDefaultSectionSize(metrics.height() + 2);
  QPalette p = view->palette();
  p.setColor(QPalette::Base, background);
  p.setColor(QPalette::Text, Qt::black);
  view->setPalette(p);
  view->setAutoFillBackground(true);
  return view;
}

QWidget* PaneWithHeading(const QString& heading, QTableView* pane) {
  auto* box = new QWidget;
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  auto* label = new QLabel(heading);
  ui::MakeBold(label);
  layout->addWidget(label);
  layout->addWidget(pane, 1);
  return box;
}

}  // namespace

TfrmSourceDataSelection::TfrmSourceDataSelection(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Source data selection"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setModal(true);
  resize(753, 623);

  // Heading band.
  QFrame* band = ui::NewBand();
  auto* bandLayout = new QHBoxLayout(band);
  bandLayout->setContentsMargins(16, 12, 16, 12);
  lblHeading = new QLabel(QStringLiteral("Setup your work"));
  ui::MakeBold(lblHeading, 1.6);
  lblHeading->setStyleSheet(QStringLiteral("color: #1b3f8f;"));
  bandLayout->addWidget(lblHeading);
  bandLayout->addStretch(1);
  auto* rule = new QFrame;
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);

  tvSource = new QTreeWidget;
  tvSource->setHeaderHidden(true);
  tvSource->setColumnCount(1);
  tvSource->setUniformRowHeights(true);
  tvSource->setSelectionMode(QAbstractItemView::SingleSelection);

  logModel_ = std::make_unique<job::TPaneModel>(job::TPanesView::LogLines());
  scriptsModel_ = std::make_unique<job::TPaneModel>(job::TPanesView::ScriptLines());
  // A light face colour: between the window's face and its lightest shade.
  const QColor face = palette().color(QPalette::Window);
  const QColor light = palette().color(QPalette::Light);
  mmoLog = Pane(logModel_.get(),
                QColor((face.red() + light.red()) / 2, (face.green() + light.green()) / 2,
                       (face.blue() + light.blue()) / 2));
  mmoScripts = Pane(scriptsModel_.get(), QColor(255, 255, 196));
  splitter = new QSplitter(Qt::Horizontal);
  splitter->addWidget(PaneWithHeading(QStringLiteral("Process Log:"), mmoLog));
  splitter->addWidget(PaneWithHeading(QStringLiteral("Generated Scripts:"), mmoScripts));
  splitter->setCollapsible(0, false);
  splitter->setCollapsible(1, true);
  splitter->setChildrenCollapsible(true);

  progress = new QProgressBar;
  progress->setRange(0, 1);
  progress->setValue(0);
  progress->setTextVisible(true);

  panelSize = new QWidget;
  auto* panelLayout = new QVBoxLayout(panelSize);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(6);
  panelLayout->addWidget(splitter, 1);
  panelLayout->addWidget(progress);

  // The lower panel's top edge is draggable: tree and panel share a splitter.
  auto* vertical = new QSplitter(Qt::Vertical);
  vertical->addWidget(tvSource);
  vertical->addWidget(panelSize);
  vertical->setCollapsible(0, false);
  vertical->setCollapsible(1, false);
  vertical->setStretchFactor(0, 1);
  vertical->setSizes({623 - 406, 406});

  btnExecute = new QPushButton(QStringLiteral("GO"));
  btnCancel = new QPushButton(QStringLiteral("Cancel Process"));
  btnClose = new QPushButton(QStringLiteral("Close"));
  btnExecute->setDefault(true);
  for (QPushButton* b : {btnExecute, btnCancel, btnClose}) b->setMinimumWidth(96);
  connect(btnExecute, &QPushButton::clicked, this, &TfrmSourceDataSelection::btnExecuteClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmSourceDataSelection::btnCancelClick);
  connect(btnClose, &QPushButton::clicked, this, &TfrmSourceDataSelection::btnCloseClick);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnExecute);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnClose);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(12, 10, 12, 12);
  body->setSpacing(10);
  body->addWidget(vertical, 1);
  body->addLayout(buttons);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(band);
  layout->addWidget(rule);
  layout->addLayout(body, 1);
  sinceFlush_.start();
}

TfrmSourceDataSelection::~TfrmSourceDataSelection() {
  // The views go before the models they show.
  mmoLog->setModel(nullptr);
  mmoScripts->setModel(nullptr);
}

void TfrmSourceDataSelection::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_ || event->spontaneous()) return;
  shown_ = true;
  if (const QScreen* screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());
  const int width = std::max(splitter->width(), 100);
  if (scriptsCollapsed_)
    splitter->setSizes({width, 0});
  else
    splitter->setSizes({width * 37 / 100, width - width * 37 / 100});
}

bool TfrmSourceDataSelection::BuildSourceTree() {
  tvSource->clear();
  tree_ = job::TSourceTree();
  std::exception_ptr error;
  bool built = false;
  try {
    // The kinds of the job this window runs; without settings, those of no job yet.
    const TDatabaseKind sourceKind = settings_ ? settings_->SourceKind : dkNone;
    const TDatabaseKind destKind = settings_ ? settings_->DestKind : dkNone;
    built = job::BuildSourceTree(catalogue_, sourceKind, destKind, tree_);
  } catch (...) {
    error = std::current_exception();
  }
  if (!built && !error) return false;
  // Whatever was built, also after an error, is shown and checked.
  settingStates_ = true;
  for (const job::TSourceNode* root : {&tree_.tables, &tree_.views}) {
    auto* item = new TSourceCheckItem(this, root);
    tvSource->addTopLevelItem(item);
    AddNodes(item, *root);
    SetSubtreeState(item, Qt::Checked);
  }
  settingStates_ = false;
  for (int i = 0; i < tvSource->topLevelItemCount(); ++i)
    tvSource->topLevelItem(i)->setExpanded(true);
  if (error) std::rethrow_exception(error);
  return true;
}

void TfrmSourceDataSelection::AddNodes(QTreeWidgetItem* parent, const job::TSourceNode& node) {
  for (const job::TSourceNode& child : node.children) {
    auto* item = new TSourceCheckItem(this, &child);
    parent->addChild(item);
    AddNodes(item, child);
  }
}

bool TfrmSourceDataSelection::tvSourceStateChanging(QTreeWidgetItem* node,
                                                    Qt::CheckState newState) {
  auto* item = static_cast<TSourceCheckItem*>(node);
  return job::SourceStateChanging(*item->node(), ToJob(newState));
}

void TfrmSourceDataSelection::UserChangedState(QTreeWidgetItem* item, Qt::CheckState newState) {
  if (item->checkState(0) == newState) return;
  if (!tvSourceStateChanging(item, newState)) return;
  settingStates_ = true;
  // A root has no flag of its own: an empty one keeps the state it was given.
  if (!item->parent()) item->setCheckState(0, newState);
  ShowSelection();
  settingStates_ = false;
}

void TfrmSourceDataSelection::SetSubtreeState(QTreeWidgetItem* item, Qt::CheckState state) {
  item->setCheckState(0, state);
  for (int i = 0; i < item->childCount(); ++i) SetSubtreeState(item->child(i), state);
}

void TfrmSourceDataSelection::ShowSelection() {
  // The job reads the Selected flags, so the boxes are drawn from them: an object and
  // everything below it show its own flag, a root shows what its objects add up to.
  // A change below an object that the hook let through changes no flag, and so
  // nothing that is shown.
  for (int r = 0; r < tvSource->topLevelItemCount(); ++r) {
    QTreeWidgetItem* root = tvSource->topLevelItem(r);
    bool anyChecked = false, anyUnchecked = false;
    for (int i = 0; i < root->childCount(); ++i) {
      QTreeWidgetItem* item = root->child(i);
      const TCorvaneObject* object = static_cast<TSourceCheckItem*>(item)->node()->object;
      const bool selected = object && object->Selected;
      SetSubtreeState(item, selected ? Qt::Checked : Qt::Unchecked);
      anyChecked |= selected;
      anyUnchecked |= !selected;
    }
    if (root->childCount() == 0) continue;
    root->setCheckState(0, anyChecked && anyUnchecked ? Qt::PartiallyChecked
                           : anyChecked               ? Qt::Checked
                                                      : Qt::Unchecked);
  }
}

void TfrmSourceDataSelection::CollapseScripts() {
  scriptsCollapsed_ = true;
  if (shown_) splitter->setSizes({splitter->width(), 0});
}

void TfrmSourceDataSelection::btnExecuteClick() {
  // A click queued before GO was disabled still arrives: one job at a time.
  if (running_) return;
  if (!settings_ || !source_ || !dest_ || !catalogue_) {
    ui::ShowMessage(ui::MessageKind::Error,
                    "The job cannot run: its settings, connections or catalogue are missing.");
    return;
  }
  running_ = true;
  btnExecute->setEnabled(false);
  StopRequested = false;
  std::string error;
  {
    TPanesFirstMessages panesFirst(ui::current(), [this] { FlushPanes(true); });
    ui::ScopedMessages scope(panesFirst);
    try {
      job::RunJob(*settings_, *source_, *dest_, *catalogue_, View());
    } catch (const std::exception& ex) {
      error = ex.what();
    }
  }
  FlushPanes(true);
  running_ = false;
  btnExecute->setEnabled(true);
  if (!error.empty()) ui::ShowMessage(ui::MessageKind::Error, error);
  if (closeWanted_) {
    closeWanted_ = false;
    done(QDialog::Rejected);
  }
}

void TfrmSourceDataSelection::btnCancelClick() {
  StopRequested = true;
}

void TfrmSourceDataSelection::btnCloseClick() {
  if (running_) {
    closeWanted_ = true;
    return;
  }
  done(QDialog::Rejected);
}

void TfrmSourceDataSelection::reject() {
  btnCloseClick();
}

void TfrmSourceDataSelection::closeEvent(QCloseEvent* event) {
  if (running_) {
    closeWanted_ = true;
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TfrmSourceDataSelection::FlushPanes(bool force) {
  if (!force && sinceFlush_.elapsed() < kFlushMilliseconds) return;
  for (auto [model, view] :
       {std::pair{logModel_.get(), mmoLog}, std::pair{scriptsModel_.get(), mmoScripts}}) {
    if (!model->Publish()) continue;
    // The one column is as wide as the longest line, so the pane scrolls sideways.
    const int chars = static_cast<int>(std::min<std::size_t>(model->Longest() + 2, 20000));
    const int wanted = std::max(chars * view->fontMetrics().horizontalAdvance(QLatin1Char('M')),
                                view->viewport()->width());
    if (view->columnWidth(0) != wanted) view->setColumnWidth(0, wanted);
    view->scrollToBottom();
  }
  // Counted from the end of the flush, so a slow flush never runs on every line.
  sinceFlush_.restart();
}

void TfrmSourceDataSelection::ProcessEvents() {
  FlushPanes(false);
  ui::current().processEvents();
}

void TfrmSourceDataSelection::PanesCleared() {
  logModel_->Reset();
  scriptsModel_->Reset();
}

void TfrmSourceDataSelection::SetProgressTotal(std::int64_t total) {
  job::TPanesView::SetProgressTotal(total);
  progress->setMaximum(static_cast<int>(std::clamp<std::int64_t>(total, 1, INT32_MAX)));
}

void TfrmSourceDataSelection::SetProgressPosition(std::int64_t position) {
  job::TPanesView::SetProgressPosition(position);
  const int value = static_cast<int>(std::clamp<std::int64_t>(position, 0, INT32_MAX));
  if (value > progress->maximum()) progress->setMaximum(value);
  progress->setValue(value);
}
