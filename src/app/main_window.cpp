#include "app/main_window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

#include "app/data_module.h"
#include "app/job_start.h"
#include "app/logo.h"
#include "connect/connection_setup.h"
#include "job/start_checks.h"
#include "platform/ui/messages.h"
#include "platform/ui/qt_look.h"

namespace {

const QColor kConnectedColor(0, 128, 0);
const QColor kDisconnectedColor(255, 0, 0);

QLabel* SectionHeading(const QString& text) {
  auto* label = new QLabel(text);
  ui::MakeBold(label);
  QFont f = label->font();
  f.setLetterSpacing(QFont::PercentageSpacing, 105);
  label->setFont(f);
  label->setStyleSheet(QStringLiteral("color: #1b3f8f;"));
  return label;
}

QLabel* Link(const QString& text) {
  auto* label = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()));
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  label->setFocusPolicy(Qt::StrongFocus);
  return label;
}

QLabel* StatusLabel() {
  auto* label = new QLabel;
  ui::MakeBold(label, 1.3);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

QComboBox* KindList() {
  auto* list = new QComboBox;
  list->addItems({QStringLiteral("Microsoft Access"), QStringLiteral("Microsoft SQL Server"),
                  QStringLiteral("MySQL")});
  list->setCurrentIndex(0);
  return list;
}

TDatabaseKind KindOfList(const QComboBox* list) {
  return KindFromListIndex(list->currentIndex());
}

}  // namespace

TfrmMain::TfrmMain(TdmMain& dataModule, TProjectSettings& settings, QWidget* parent)
    : QWidget(parent),
      dm_(dataModule),
      settings_(settings),
      start_(settings, dataModule.cnnSource, dataModule.cnnDest) {
  setWindowTitle(QStringLiteral("Corvane - Quillmark"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(624, 488);

  chooseScriptFile = [this](const QString& proposed) {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Save script of your jobs"), proposed,
                                        QStringLiteral("SQL scripts (*.sql);;All files (*)"));
  };
  runConnectionSetup = [this](TDatabaseKind kind, ado::Connection& connection) {
    auto dialog = std::make_unique<TfrmConnectionSetup>(this);
    dialog->SetDatabaseKind(kind);
    dialog->SetConnection(&connection);
    return dialog->exec();
  };

  // Banner: logo and the About link on white.
  QFrame* banner = ui::NewBand();
  banner->setFixedHeight(72);
  auto* bannerLayout = new QHBoxLayout(banner);
  bannerLayout->setContentsMargins(18, 8, 18, 8);
  auto* logo = new QLabel;
  logo->setPixmap(QuillmarkLogo(QSize(240, 52), devicePixelRatioF()));
  bannerLayout->addWidget(logo);
  bannerLayout->addStretch(1);
  lblAbout = Link(QStringLiteral("About"));
  bannerLayout->addWidget(lblAbout, 0, Qt::AlignTop);
  connect(lblAbout, &QLabel::linkActivated, this, &TfrmMain::AboutClick);
  auto* rule = new QFrame;
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);

  // Left column: the two sides.
  cmbSource = KindList();
  lblSource = Link(QStringLiteral("Setup Connection"));
  lblSourceStatus = StatusLabel();
  cmbDest = KindList();
  lblDest = Link(QStringLiteral("Setup Connection"));
  lblDestStatus = StatusLabel();
  connect(lblSource, &QLabel::linkActivated, this, &TfrmMain::lblSourceClick);
  connect(lblDest, &QLabel::linkActivated, this, &TfrmMain::lblDestClick);
  connect(cmbDest, &QComboBox::currentIndexChanged, this, &TfrmMain::cmbDestChange);

  auto side = [](const QString& heading, QComboBox* list, QLabel* link, QLabel* status) {
    auto* box = new QVBoxLayout;
    box->setSpacing(6);
    box->addWidget(SectionHeading(heading));
    box->addWidget(list);
    auto* row = new QHBoxLayout;
    row->addWidget(link);
    row->addStretch(1);
    row->addWidget(status);
    box->addLayout(row);
    return box;
  };

  chkSaveScripts = new QCheckBox(QStringLiteral("Save script of your jobs"));
  chkSaveScripts->setChecked(true);
  txtDestinationFileName = new QLineEdit;
  txtDestinationFileName->setPlaceholderText(QStringLiteral("Script file"));
  btnDestinationFileName = new QToolButton;
  btnDestinationFileName->setText(QStringLiteral("Browse…"));
  connect(btnDestinationFileName, &QToolButton::clicked, this,
          &TfrmMain::txtDestinationFileNameButtonClick);
  auto* scriptRow = new QHBoxLayout;
  scriptRow->addWidget(txtDestinationFileName, 1);
  scriptRow->addWidget(btnDestinationFileName);

  auto* left = new QVBoxLayout;
  left->setSpacing(14);
  left->addLayout(side(QStringLiteral("SOURCE DATABASE"), cmbSource, lblSource, lblSourceStatus));
  left->addLayout(side(QStringLiteral("DESTINATION DATABASE"), cmbDest, lblDest, lblDestStatus));
  auto* scriptBox = new QVBoxLayout;
  scriptBox->setSpacing(6);
  scriptBox->addWidget(SectionHeading(QStringLiteral("SCRIPT FILE")));
  scriptBox->addWidget(chkSaveScripts);
  scriptBox->addLayout(scriptRow);
  left->addLayout(scriptBox);
  left->addStretch(1);

  // Right column: GO and the job options.
  btnExecute = new QPushButton(QStringLiteral("GO !!"));
  btnExecute->setDefault(true);
  btnExecute->setMinimumHeight(44);
  ui::MakeBold(btnExecute, 1.3);
  connect(btnExecute, &QPushButton::clicked, this, &TfrmMain::btnExecuteClick);

  grpExecute = new QGroupBox(QStringLiteral("Execute Options"));
  chkDropIfExist = new QCheckBox(QStringLiteral("Drop Table/View if exist"));
  chkCreateObject = new QCheckBox(QStringLiteral("Create Table/View"));
  chkTransferData = new QCheckBox(QStringLiteral("Transfer Physical Data"));
  chkUpdateData = new QCheckBox(QStringLiteral("Update Physical Data"));
  auto* options = new QVBoxLayout(grpExecute);
  for (QCheckBox* c : {chkDropIfExist, chkCreateObject, chkTransferData, chkUpdateData}) {
    c->setChecked(true);
    options->addWidget(c);
  }

  auto* grpLimit = new QGroupBox(QStringLiteral("Limit Quantity of Record to"));
  cmbLimitations = new QComboBox;
  cmbLimitations->setEditable(true);
  cmbLimitations->setInsertPolicy(QComboBox::NoInsert);
  cmbLimitations->addItems({"All Records", "10", "20", "30", "40", "50", "100", "200", "300", "400",
                            "500", "1000", "5000", "10000"});
  cmbLimitations->setCurrentIndex(0);
  chkFastTransfer = new QCheckBox(QStringLiteral("Fast transfer"));
  chkFastTransfer->setToolTip(
      QStringLiteral("Rows go in groups of 1000, one transaction each; a failing group is "
                     "written again row by row. Not for an Access destination."));
  auto* limitRow = new QHBoxLayout(grpLimit);
  limitRow->addWidget(cmbLimitations, 1);
  limitRow->addWidget(chkFastTransfer);

  grpReplacement = new QGroupBox(QStringLiteral("Replace \"Non-Support\" char with.  "));
  cmbReplaceChar = new QComboBox;
  (new QVBoxLayout(grpReplacement))->addWidget(cmbReplaceChar);
  grpReplacement->setVisible(false);

  auto* right = new QVBoxLayout;
  right->setSpacing(10);
  right->addWidget(btnExecute);
  right->addWidget(grpExecute);
  right->addWidget(grpLimit);
  right->addWidget(grpReplacement);
  right->addStretch(1);

  auto* body = new QHBoxLayout;
  body->setContentsMargins(18, 14, 18, 16);
  body->setSpacing(24);
  body->addLayout(left, 3);
  body->addLayout(right, 2);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(banner);
  layout->addWidget(rule);
  layout->addLayout(body, 1);

  ShowConnectionStatus(TSide::Source, false);
  ShowConnectionStatus(TSide::Destination, false);
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  if (!shown_) {
    shown_ = true;
    if (const QScreen* screen = this->screen())
      move(screen->availableGeometry().center() - rect().center());
  }
  FormShow();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  dm_.CloseConnections();
  QWidget::closeEvent(event);
}

void TfrmMain::FormShow() {
  cmbReplaceChar->clear();
  const std::string file = SpecialCharFile(QCoreApplication::applicationFilePath().toStdString());
  for (const std::string& line : LoadSpecialChars(file))
    cmbReplaceChar->addItem(QString::fromStdString(line));
  cmbReplaceChar->setCurrentIndex(cmbReplaceChar->count() > 0 ? 0 : -1);
}

void TfrmMain::lblSourceClick() {
  if (cmbSource->currentIndex() < 0) return;
  OpenConnectionSetup(TSide::Source, KindOfList(cmbSource));
}

void TfrmMain::lblDestClick() {
  if (cmbDest->currentIndex() < 0) return;
  OpenConnectionSetup(TSide::Destination, KindOfList(cmbDest));
}

void TfrmMain::cmbDestChange() {
  grpReplacement->setVisible(cmbDest->currentIndex() == 2);
}

void TfrmMain::txtDestinationFileNameButtonClick() {
  const QString path = chooseScriptFile(QStringLiteral("YourScript.sql"));
  if (!path.isEmpty()) txtDestinationFileName->setText(path);
}

void TfrmMain::AboutClick() {
  if (auto* dialog = qobject_cast<QDialog*>(about_)) dialog->exec();
}

void TfrmMain::OpenConnectionSetup(TSide side, TDatabaseKind kind) {
  const TDatabaseKind dialogKind = IsAccessDialect(kind)      ? dkAccess
                                   : IsSQLServerDialect(kind) ? dkSQLServer
                                   : IsMySQLDialect(kind)     ? dkMySQL
                                                              : kind;
  ado::Connection& connection = side == TSide::Source ? dm_.cnnSource : dm_.cnnDest;
  const std::optional<bool> connected =
      ConnectedByModalResult(runConnectionSetup(dialogKind, connection));
  if (connected) ShowConnectionStatus(side, *connected);
}

void TfrmMain::ShowConnectionStatus(TSide side, bool connected) {
  QLabel* label = side == TSide::Source ? lblSourceStatus : lblDestStatus;
  label->setText(connected ? QStringLiteral("Connected") : QStringLiteral("Disconnected"));
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, connected ? kConnectedColor : kDisconnectedColor);
  label->setPalette(p);
}

bool TfrmMain::CheckConnections() {
  return ::CheckConnections(IsConnectedText(lblSourceStatus->text().toStdString()),
                            IsConnectedText(lblDestStatus->text().toStdString()));
}

int TfrmMain::LimitationsIndex() const {
  const int index = cmbLimitations->currentIndex();
  if (index < 0 || cmbLimitations->currentText() != cmbLimitations->itemText(index)) return -1;
  return index;
}

void TfrmMain::btnExecuteClick() {
  // An error no step handles ends GO with its own text, as any unhandled error does.
  try {
    RunJobStart();
  } catch (const std::exception& ex) {
    ui::ShowMessage(ui::MessageKind::Error, ex.what());
  }
}

void TfrmMain::RunJobStart() {
  // 1. Record limit.
  const std::optional<std::int32_t> limit =
      CheckRecordLimit(cmbLimitations->currentText().toStdString(), LimitationsIndex());
  if (!limit) {
    ui::ShowMessage(ui::MessageKind::Warning, kLimitationWarning);
    cmbLimitations->setCurrentIndex(0);
    cmbLimitations->setEditText(cmbLimitations->itemText(0));
    cmbLimitations->setFocus();
    return;
  }

  // 2. Settings.
  TMainWindowChoices choices;
  choices.limitText = cmbLimitations->currentText().toStdString();
  choices.limitIndex = LimitationsIndex();
  choices.dropIfExist = chkDropIfExist->isChecked();
  choices.createObject = chkCreateObject->isChecked();
  choices.transferData = chkTransferData->isChecked();
  choices.updateData = chkUpdateData->isChecked();
  choices.saveScripts = chkSaveScripts->isChecked();
  choices.fastTransfer = chkFastTransfer->isChecked();
  choices.replaceChar = cmbReplaceChar->currentText().toStdString();
  choices.sourceIndex = cmbSource->currentIndex();
  choices.destIndex = cmbDest->currentIndex();
  FillSettings(choices, *limit, settings_);

  // 3. Connections, and never one database on both sides: the job would drop and
  // re-create the source's own tables.
  if (!CheckConnections()) return;
  if (const std::string same = job::SameDatabaseMessage(dm_.cnnSource, dm_.cnnDest);
      !same.empty()) {
    ui::ShowMessage(ui::MessageKind::Error, same);
    return;
  }

  // 4. A new catalogue replaces the current one.
  start_.NewCatalogue();

  // 5. Script file.
  if (chkSaveScripts->isChecked()) {
    if (txtDestinationFileName->text().isEmpty()) {
      ui::ShowMessage(ui::MessageKind::Information,
                      "Please provide your target script filename of your work.");
      txtDestinationFileName->setFocus();
      return;
    }
    settings_.SetScriptFileName(txtDestinationFileName->text().toStdString());
    // Saved at the end of the job, the script would overwrite the Access file.
    if (const std::string clash =
            job::ScriptFileClashMessage(settings_.ScriptFileName, dm_.cnnSource.connectionString(),
                                        dm_.cnnDest.connectionString());
        !clash.empty()) {
      ui::ShowMessage(ui::MessageKind::Error, clash);
      txtDestinationFileName->setFocus();
      return;
    }
  }

  // 6. Catalogue; the loader shows its own message.
  if (!start_.LoadCatalogue()) return;

  // 7. to 9. The selection window, destroyed however it ends.
  std::unique_ptr<TSelectionWindow> window = createSelectionWindow();
  window->SetSettings(&settings_);
  window->SetSourceConnection(start_.Catalogue()->Connection);
  window->SetDestConnection(&dm_.cnnDest);
  window->SetCatalogue(start_.Catalogue());
  if (window->BuildSourceTree()) {
    if (!settings_.SaveScripts) window->CollapseScripts();
    window->ShowModal();
  } else {
    ui::ShowMessage(ui::MessageKind::Error, "Cannot prepare soure object for selection.");
  }
}
