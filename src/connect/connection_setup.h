// TfrmConnectionSetup: the modal "Connection Settings" dialog for one side's
// connection. Its checks, strings and messages live in connection_string.h; this
// class holds the controls and the handlers.
#pragma once

#include <QDialog>
#include <functional>

#include "connect/connection_string.h"
#include "core/project_settings.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QToolButton;

namespace ado {
class Connection;
}

class TfrmConnectionSetup : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmConnectionSetup(QWidget* parent = nullptr);

  void SetDatabaseKind(TDatabaseKind kind) { kind_ = kind; }
  // Not owned: the data module's connection of one side.
  void SetConnection(ado::Connection* connection) { connection_ = connection; }

  bool TestConnection(bool showMessages);
  bool FillODBCSourceList();
  TConnectionEntries Entries() const;

  // Asks for an Access file with a Qt filter; replaceable so tests need no file dialog.
  std::function<QString(const QString& filter)> chooseAccessFile;
  // Starts a program without waiting; false when it cannot be started.
  std::function<bool(const QString& program)> startProgram;

  // Controls, named as the system names them.
  QStackedWidget* pgcConnection;
  QWidget* tbMSAccess;
  QWidget* tbMSSQL;
  QWidget* tbMySQLODBC;
  QGroupBox* grpAccessVersion;
  QRadioButton* rbAccess2003;
  QRadioButton* rbAccess2007;
  QLineEdit* txtMSAccessFile;
  QToolButton* btnMSAccessFile;
  QGroupBox* grpMSSQLVersion;
  QRadioButton* rbMSSQL2000;
  QRadioButton* rbMSSQL2005;
  QLineEdit* txtMSSQLServerName;
  QLineEdit* txtMSSQLDatabaseName;
  QGroupBox* grpMSSQLConnectionType;
  QRadioButton* rbWindowsSecurity;
  QRadioButton* rbUserAndPassword;
  QGroupBox* grpMSSQLLoginInfo;
  QLineEdit* txtMSSQLUsername;
  QLineEdit* txtMSSQLPassword;
  QComboBox* cmbMyODBC;
  QPushButton* btnSetup;
  QPushButton* btnRefresh;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 public slots:
  void FormShow();
  void btnOKClick();
  void btnCancelClick();
  void btnMSAccessFileClick();
  void btnSetupClick();
  void btnRefreshClick();
  void grpMSSQLConnectionTypeClick();
  // Closing with the title bar or Escape is a cancel.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* BuildAccessPage();
  QWidget* BuildMSSQLPage();
  QWidget* BuildMySQLPage();
  void FocusEntry(TEntryFocus focus);

  TDatabaseKind kind_ = dkNone;
  ado::Connection* connection_ = nullptr;
};

// Turns a "text|pattern|text|pattern" filter into Qt's "text (pattern);;..." form.
QString QtFileFilter(const std::string& filter);
