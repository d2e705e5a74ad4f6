// TMySQLLoginDialog: the "Database Login" window of TMySQLServer's login prompt.
#pragma once

#include <QDialog>

#include "mysql/components/login_prompt.h"

class QLineEdit;
class QPushButton;

class TMySQLLoginDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TMySQLLoginDialog(QWidget* parent = nullptr);

  // Fills the boxes from data; the password box is left empty.
  void Prepare(const TMySQLLoginData& data);
  // What the user entered.
  TMySQLLoginData Entered() const;

  QLineEdit* txtServer;
  QLineEdit* txtPort;
  QLineEdit* txtUserName;
  QLineEdit* txtPassword;
  QPushButton* btnOK;
  QPushButton* btnCancel;
};

// The Qt implementation of the prompt: the dialog, modal.
class TQtMySQLLoginPrompt : public TMySQLLoginPrompt {
 public:
  bool Execute(TMySQLLoginData& data) override;
};
