#include "platform/ui/qt_messages.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QString>

namespace ui {

namespace {

// The texts carry Windows line ends; a label wants plain line feeds.
QString DisplayText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Information: return QMessageBox::Information;
    case MessageKind::Error: return QMessageBox::Critical;
    case MessageKind::Plain: return QMessageBox::NoIcon;
  }
  return QMessageBox::NoIcon;
}

QString TitleOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return QStringLiteral("Warning");
    case MessageKind::Information: return QStringLiteral("Information");
    case MessageKind::Error: return QStringLiteral("Error");
    case MessageKind::Plain: break;
  }
  return QApplication::applicationDisplayName();
}

}  // namespace

void QtMessages::show(MessageKind kind, const std::string& text) {
  QMessageBox box(IconOf(kind), TitleOf(kind), DisplayText(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  // The user must see the normal pointer over a box, even inside busy work.
  const bool wasBusy = busy_;
  if (wasBusy) setBusy(false);
  box.exec();
  if (wasBusy) setBusy(true);
}

bool QtMessages::confirm(const std::string& text) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), DisplayText(text),
                  QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  const bool wasBusy = busy_;
  if (wasBusy) setBusy(false);
  const bool yes = box.exec() == QMessageBox::Yes;
  if (wasBusy) setBusy(true);
  return yes;
}

void QtMessages::setBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy)
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else
    QApplication::restoreOverrideCursor();
}

void QtMessages::processEvents() {
  QCoreApplication::processEvents();
}

}  // namespace ui
