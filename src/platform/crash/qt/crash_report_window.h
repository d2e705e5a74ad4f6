// TfrmCrashReport: the window that shows a report after an exception no handler
// caught, with its file's path; Copy puts the text on the clipboard, Save writes it
// where the user chooses. The program goes on when it is closed.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "platform/crash/crash.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TfrmCrashReport : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmCrashReport(const crash::Report& report, QWidget* parent = nullptr);

  QLabel* lblIntro;
  QLabel* lblPath;
  QPlainTextEdit* mmoReport;
  QPushButton* btnCopy;
  QPushButton* btnSave;
  QPushButton* btnClose;

  // Asks for the file Save writes; an empty answer saves nothing. A file dialog by
  // default; tests answer it themselves.
  std::function<QString(const QString& suggested)> askSaveFileName;

  void btnCopyClick();
  void btnSaveClick();

 private:
  crash::Report report_;
};

// Writes the report of the exception being handled (call inside a catch block) and
// shows it modally. Falls back to an error message box when the window cannot be
// shown, and shows only a message box for an exception met while a report window is
// already up.
void ShowCrashReportForCurrentException();
