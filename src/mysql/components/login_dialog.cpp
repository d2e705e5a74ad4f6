#include "mysql/components/login_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TMySQLLoginDialog::TMySQLLoginDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Database Login"));
  setObjectName(QStringLiteral("TMySQLLoginDialog"));
  txtServer = new QLineEdit(this);
  txtPort = new QLineEdit(this);
  txtPort->setInputMask(QStringLiteral("99999"));  // at most five digits
  txtUserName = new QLineEdit(this);
  txtUserName->setMaxLength(kLoginUserNameMaxLength);
  txtPassword = new QLineEdit(this);
  txtPassword->setEchoMode(QLineEdit::Password);
  txtPassword->setMaxLength(std::numeric_limits<int>::max());
  // The password is shown as "*" rather than the style's bullet.
  txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Server:"), txtServer);
  form->addRow(QStringLiteral("P&ort:"), txtPort);
  form->addRow(QStringLiteral("&User Name:"), txtUserName);
  form->addRow(QStringLiteral("&Password:"), txtPassword);

  auto* buttons = new QDialogButtonBox(this);
  btnOK = buttons->addButton(QDialogButtonBox::Ok);
  btnCancel = buttons->addButton(QDialogButtonBox::Cancel);
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(320);
}

void TMySQLLoginDialog::Prepare(const TMySQLLoginData& data) {
  txtServer->setText(Q(data.Host));
  txtPort->setText(Q(data.Port));
  txtUserName->setText(Q(data.UserName));
  txtPassword->clear();
  (data.UserName.empty() ? txtUserName : txtPassword)->setFocus();
}

TMySQLLoginData TMySQLLoginDialog::Entered() const {
  return {txtServer->text().toStdString(), txtPort->text().trimmed().toStdString(),
          txtUserName->text().toStdString(), txtPassword->text().toStdString()};
}

bool TQtMySQLLoginPrompt::Execute(TMySQLLoginData& data) {
  TMySQLLoginDialog dialog;
  dialog.Prepare(data);
  if (dialog.exec() != QDialog::Accepted) return false;
  data = dialog.Entered();
  return true;
}
