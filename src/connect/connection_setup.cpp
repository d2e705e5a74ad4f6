#include "connect/connection_setup.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "connect/odbc_sources.h"
#include "platform/ado/connection.h"
#include "platform/ui/messages.h"
#include "platform/ui/qt_look.h"

namespace {

QLabel* PageHeading(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  ui::MakeBold(label, 1.25);
  return label;
}

std::string Std(const QString& s) {
  return s.toStdString();
}

}  // namespace

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString text = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt reads the patterns from the parentheses; add them when the text has none.
    if (!text.contains(QLatin1Char('(')))
      text += QStringLiteral(" (") + patterns + QLatin1Char(')');
    out << text;
  }
  return out.join(QStringLiteral(";;"));
}

TfrmConnectionSetup::TfrmConnectionSetup(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Connection Settings"));
  setModal(true);

  chooseAccessFile = [this](const QString& filter) {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Select MS Access Filename"),
                                        QString(), filter);
  };
  startProgram = [](const QString& program) { return QProcess::startDetached(program, {}); };

  pgcConnection = new QStackedWidget(this);
  tbMSAccess = BuildAccessPage();
  tbMSSQL = BuildMSSQLPage();
  tbMySQLODBC = BuildMySQLPage();
  pgcConnection->addWidget(tbMSAccess);
  pgcConnection->addWidget(tbMSSQL);
  pgcConnection->addWidget(tbMySQLODBC);

  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnOK->setDefault(true);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(btnOK, QDialogButtonBox::AcceptRole);
  buttons->addButton(btnCancel, QDialogButtonBox::RejectRole);
  // The buttons run the handlers, not the box's own accept/reject.
  connect(btnOK, &QPushButton::clicked, this, &TfrmConnectionSetup::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmConnectionSetup::btnCancelClick);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->setSpacing(12);
  layout->addWidget(pgcConnection, 1);
  layout->addWidget(buttons);
  setMinimumWidth(480);
}

QWidget* TfrmConnectionSetup::BuildAccessPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  layout->addWidget(PageHeading(QStringLiteral("Setup Microsoft Access Connection"), page));

  grpAccessVersion = new QGroupBox(QStringLiteral("Select you MS Access Version"), page);
  rbAccess2003 = new QRadioButton(QStringLiteral("Microsoft Access 97/2000/2003"));
  rbAccess2007 = new QRadioButton(QStringLiteral("Microsoft Access 2007"));
  rbAccess2003->setChecked(true);
  auto* versions = new QVBoxLayout(grpAccessVersion);
  versions->addWidget(rbAccess2003);
  versions->addWidget(rbAccess2007);
  auto* versionGroup = new QButtonGroup(page);
  versionGroup->addButton(rbAccess2003);
  versionGroup->addButton(rbAccess2007);
  layout->addWidget(grpAccessVersion);

  auto* info = new QGroupBox(QStringLiteral("Connection Information"), page);
  auto* infoLayout = new QVBoxLayout(info);
  infoLayout->addWidget(new QLabel(QStringLiteral("Select MS Access Filename")));
  auto* fileRow = new QHBoxLayout;
  txtMSAccessFile = new QLineEdit;
  btnMSAccessFile = new QToolButton;
  btnMSAccessFile->setText(QStringLiteral("Browse…"));
  btnMSAccessFile->setToolButtonStyle(Qt::ToolButtonTextOnly);
  fileRow->addWidget(txtMSAccessFile, 1);
  fileRow->addWidget(btnMSAccessFile);
  infoLayout->addLayout(fileRow);
  connect(btnMSAccessFile, &QToolButton::clicked, this, &TfrmConnectionSetup::btnMSAccessFileClick);
  layout->addWidget(info);
  layout->addStretch(1);
  return page;
}

QWidget* TfrmConnectionSetup::BuildMSSQLPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  layout->addWidget(PageHeading(QStringLiteral("Setup Microsoft SQL Server Connection"), page));

  grpMSSQLVersion = new QGroupBox(QStringLiteral("Select you MS SQL Server Version"), page);
  rbMSSQL2000 = new QRadioButton(QStringLiteral("Microsoft SQL Serverr 97/2000"));
  rbMSSQL2005 = new QRadioButton(QStringLiteral("Microsoft SQL Serverr 2005/Express"));
  rbMSSQL2000->setChecked(true);
  auto* versions = new QVBoxLayout(grpMSSQLVersion);
  versions->addWidget(rbMSSQL2000);
  versions->addWidget(rbMSSQL2005);
  auto* versionGroup = new QButtonGroup(page);
  versionGroup->addButton(rbMSSQL2000);
  versionGroup->addButton(rbMSSQL2005);
  layout->addWidget(grpMSSQLVersion);

  auto* info = new QGroupBox(QStringLiteral("Connection Information"), page);
  auto* form = new QFormLayout(info);
  txtMSSQLServerName = new QLineEdit(QStringLiteral("(local)"));
  txtMSSQLDatabaseName = new QLineEdit;
  form->addRow(QStringLiteral("Server Name/IP"), txtMSSQLServerName);
  form->addRow(QStringLiteral("Database Name"), txtMSSQLDatabaseName);
  layout->addWidget(info);

  grpMSSQLConnectionType = new QGroupBox(QStringLiteral("Select Connection Type"), page);
  auto* typeLayout = new QVBoxLayout(grpMSSQLConnectionType);
  rbWindowsSecurity = new QRadioButton(QStringLiteral("Use Windows NT Security"));
  rbUserAndPassword = new QRadioButton(QStringLiteral("Use Specific Username and Password"));
  rbUserAndPassword->setChecked(true);
  auto* typeGroup = new QButtonGroup(page);
  typeGroup->addButton(rbWindowsSecurity);
  typeGroup->addButton(rbUserAndPassword);
  typeLayout->addWidget(rbWindowsSecurity);
  typeLayout->addWidget(rbUserAndPassword);
  grpMSSQLLoginInfo = new QGroupBox(QStringLiteral("Connection Info."));
  auto* login = new QFormLayout(grpMSSQLLoginInfo);
  txtMSSQLUsername = new QLineEdit(QStringLiteral("sa"));
  txtMSSQLPassword = new QLineEdit;
  txtMSSQLPassword->setEchoMode(QLineEdit::Password);
  login->addRow(QStringLiteral("Username"), txtMSSQLUsername);
  login->addRow(QStringLiteral("Password"), txtMSSQLPassword);
  typeLayout->addWidget(grpMSSQLLoginInfo);
  connect(typeGroup, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool checked) {
    if (checked) grpMSSQLConnectionTypeClick();
  });
  layout->addWidget(grpMSSQLConnectionType);
  layout->addStretch(1);
  return page;
}

QWidget* TfrmConnectionSetup::BuildMySQLPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  layout->addWidget(PageHeading(QStringLiteral("Setup MySQL Connection"), page));

  auto* info = new QGroupBox(QStringLiteral("Connection Information"), page);
  auto* infoLayout = new QVBoxLayout(info);
  infoLayout->addWidget(new QLabel(QStringLiteral("MySQL Connection")));
  auto* row = new QHBoxLayout;
  cmbMyODBC = new QComboBox;
  cmbMyODBC->setEditable(true);
  cmbMyODBC->setInsertPolicy(QComboBox::NoInsert);
  btnSetup = new QPushButton(QStringLiteral("Setup"));
  btnRefresh = new QPushButton(QStringLiteral("Refresh"));
  row->addWidget(cmbMyODBC, 1);
  row->addWidget(btnSetup);
  row->addWidget(btnRefresh);
  infoLayout->addLayout(row);
  connect(btnSetup, &QPushButton::clicked, this, &TfrmConnectionSetup::btnSetupClick);
  connect(btnRefresh, &QPushButton::clicked, this, &TfrmConnectionSetup::btnRefreshClick);
  layout->addWidget(info);
  layout->addStretch(1);
  return page;
}

void TfrmConnectionSetup::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmConnectionSetup::FormShow() {
  switch (PageForKind(kind_)) {
    case TConnectionPage::MSAccess: pgcConnection->setCurrentWidget(tbMSAccess); break;
    case TConnectionPage::MSSQL: pgcConnection->setCurrentWidget(tbMSSQL); break;
    case TConnectionPage::MySQLODBC:
      pgcConnection->setCurrentWidget(tbMySQLODBC);
      FillODBCSourceList();
      break;
  }
  // Only the page in front counts for the dialog's size, so short pages get no gap.
  for (int i = 0; i < pgcConnection->count(); ++i) {
    QWidget* page = pgcConnection->widget(i);
    const bool front = page == pgcConnection->currentWidget();
    page->setSizePolicy(front ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                        front ? QSizePolicy::Preferred : QSizePolicy::Ignored);
  }
  adjustSize();
}

TConnectionEntries TfrmConnectionSetup::Entries() const {
  TConnectionEntries e;
  QWidget* front = pgcConnection->currentWidget();
  e.page = front == tbMSSQL       ? TConnectionPage::MSSQL
           : front == tbMySQLODBC ? TConnectionPage::MySQLODBC
                                  : TConnectionPage::MSAccess;
  e.accessVersion =
      rbAccess2007->isChecked() ? TAccessVersion::Access2007 : TAccessVersion::Access2003;
  e.accessFile = Std(txtMSAccessFile->text());
  e.sqlVersion = rbMSSQL2005->isChecked() ? TMSSQLVersion::MSSQL2005 : TMSSQLVersion::MSSQL2000;
  e.sqlConnectionType = rbWindowsSecurity->isChecked() ? TMSSQLConnectionType::WindowsSecurity
                                                       : TMSSQLConnectionType::UserAndPassword;
  e.serverName = Std(txtMSSQLServerName->text());
  e.databaseName = Std(txtMSSQLDatabaseName->text());
  e.userName = Std(txtMSSQLUsername->text());
  e.password = Std(txtMSSQLPassword->text());
  e.odbcSource = Std(cmbMyODBC->currentText());
  return e;
}

void TfrmConnectionSetup::FocusEntry(TEntryFocus focus) {
  switch (focus) {
    case TEntryFocus::ServerName: txtMSSQLServerName->setFocus(); break;
    case TEntryFocus::UserName: txtMSSQLUsername->setFocus(); break;
    case TEntryFocus::DatabaseName: txtMSSQLDatabaseName->setFocus(); break;
    case TEntryFocus::ODBCSource: cmbMyODBC->setFocus(); break;
    case TEntryFocus::None: break;
  }
}

bool TfrmConnectionSetup::TestConnection(bool showMessages) {
  if (!connection_) return false;
  TEntryFocus focus = TEntryFocus::None;
  const bool ok = ::TestConnection(*connection_, Entries(), showMessages, &focus);
  FocusEntry(focus);
  return ok;
}

void TfrmConnectionSetup::btnOKClick() {
  if (TestConnection(true)) {
    done(mrOk);
    return;
  }
  if (!ui::Confirm(
          "Because of your connection setting is invalid, do you want to try setup connection "
          "again?"))
    done(mrNo);
}

void TfrmConnectionSetup::btnCancelClick() {
  done(mrNo);
}

void TfrmConnectionSetup::reject() {
  done(mrCancel);
}

void TfrmConnectionSetup::btnMSAccessFileClick() {
  const TAccessVersion version =
      rbAccess2007->isChecked() ? TAccessVersion::Access2007 : TAccessVersion::Access2003;
  const QString path = chooseAccessFile(QtFileFilter(AccessFileFilter(version)));
  if (!path.isEmpty()) txtMSAccessFile->setText(path);
}

bool TfrmConnectionSetup::FillODBCSourceList() {
  cmbMyODBC->clear();
  cmbMyODBC->setEditText(QString());
  std::vector<std::string> names;
  const bool ok = ::FillODBCSourceList(names);
  for (const std::string& name : names) cmbMyODBC->addItem(QString::fromStdString(name));
  // The list shows the names; the text stays empty until the user picks one.
  cmbMyODBC->setCurrentIndex(-1);
  cmbMyODBC->setEditText(QString());
  return ok;
}

void TfrmConnectionSetup::btnSetupClick() {
  // Nothing is reported when no administrator starts; the user can still type a name.
  for (const std::string& program : OdbcAdministratorCandidates())
    if (startProgram(QString::fromStdString(program))) break;
  FillODBCSourceList();
}

void TfrmConnectionSetup::btnRefreshClick() {
  FillODBCSourceList();
}

void TfrmConnectionSetup::grpMSSQLConnectionTypeClick() {
  grpMSSQLLoginInfo->setEnabled(!rbWindowsSecurity->isChecked());
}
