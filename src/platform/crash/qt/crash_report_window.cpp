#include "platform/crash/qt/crash_report_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "platform/ui/messages.h"

TfrmCrashReport::TfrmCrashReport(const crash::Report& report, QWidget* parent)
    : QDialog(parent), report_(report) {
  setWindowTitle(QStringLiteral("Internal error"));
  lblIntro = new QLabel(QStringLiteral(
      "Quillmark met an error that it does not handle. The work in progress was not "
      "finished; the program goes on. The report below helps to find the fault: copy it "
      "or save it and send it to whoever looks after Quillmark. Nothing has been sent."));
  lblIntro->setWordWrap(true);
  lblPath =
      new QLabel(report.path.empty()
                     ? QStringLiteral("The report could not be written to a file: %1")
                           .arg(QString::fromStdString(report.failure))
                     : QStringLiteral("Report file: %1").arg(QString::fromStdString(report.path)));
  lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblPath->setWordWrap(true);
  mmoReport = new QPlainTextEdit(QString::fromStdString(report.text));
  mmoReport->setReadOnly(true);
  mmoReport->setLineWrapMode(QPlainTextEdit::NoWrap);
  mmoReport->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  btnCopy = new QPushButton(QStringLiteral("Copy"));
  btnSave = new QPushButton(QStringLiteral("Save..."));
  btnClose = new QPushButton(QStringLiteral("Close"));
  btnClose->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnCopy);
  buttons->addWidget(btnSave);
  buttons->addStretch();
  buttons->addWidget(btnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblIntro);
  layout->addWidget(lblPath);
  layout->addWidget(mmoReport, 1);
  layout->addLayout(buttons);
  resize(760, 480);

  askSaveFileName = [this](const QString& suggested) {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Save the report"), suggested,
                                        QStringLiteral("Text files (*.txt);;All files (*)"));
  };
  connect(btnCopy, &QPushButton::clicked, this, &TfrmCrashReport::btnCopyClick);
  connect(btnSave, &QPushButton::clicked, this, &TfrmCrashReport::btnSaveClick);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmCrashReport::btnCopyClick() {
  QApplication::clipboard()->setText(QString::fromStdString(report_.text));
}

void TfrmCrashReport::btnSaveClick() {
  const QString suggested = report_.path.empty()
                                ? QDir::home().filePath(QStringLiteral("quillmark-crash.txt"))
                                : QString::fromStdString(report_.path);
  const QString name = askSaveFileName(suggested);
  if (name.isEmpty()) return;
  QSaveFile file(name);
  const QByteArray bytes = QByteArray::fromStdString(report_.text);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    ui::ShowMessage(ui::MessageKind::Error, "Cannot save the report to " + name.toStdString() +
                                                ": " + file.errorString().toStdString());
  }
}

void ShowCrashReportForCurrentException() {
  static bool showing = false;
  const crash::Report report = crash::ReportCurrentException();
  const std::string where = report.path.empty()
                                ? "No report file could be written: " + report.failure
                                : "The report is in " + report.path;
  if (showing) {
    ui::ShowMessage(ui::MessageKind::Error, "Another internal error. " + where);
    return;
  }
  showing = true;
  try {
    TfrmCrashReport window(report, QApplication::activeWindow());
    window.exec();
  } catch (...) {
    ui::ShowMessage(ui::MessageKind::Error, "Quillmark met an error it does not handle. " + where);
  }
  showing = false;
}
