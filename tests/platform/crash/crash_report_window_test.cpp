#include "platform/crash/qt/crash_report_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/window_test_support.h"
#include "platform/ui/messages.h"
#include "support/file_text.h"

namespace fs = std::filesystem;

namespace {

crash::Report SampleReport() {
  crash::Report r;
  r.path = "/home/ann/jobs/quillmark-crash-20261210-155012.txt";
  r.text =
      "Quillmark crash report\n\n"
      "Program: quillmark 1.0.0\nProcess: 4242\nTime: 2026-12-10 15:50:12 +0100\n"
      "Exception: std::out_of_range\nMessage: vector::_M_range_check: __n (which is 7) >= "
      "this->size() (which is 7)\n"
      "System: Debian GNU/Linux 12 (bookworm); Linux 6.1.0-18-amd64 x86_64\nQt: 6.4.2\n\n"
      "Call stack (innermost call first):\n"
      "#0  0x000055d0c1a2b3c4 in std::__throw_out_of_range_fmt(char const*, ...) (libstdc++.so.6)\n"
      "#1  0x000055d0c1a2b3c4 in TfrmSourceDataSelection::btnExecuteClick() at "
      "src/job/source_data_selection.cpp:212 (quillmark)\n"
      "#2  0x000055d0c1a2b000 in TQuillmarkApplication::notify(QObject*, QEvent*) at "
      "src/app/application.cpp:75 (quillmark)\n";
  return r;
}

TEST(CrashReportWindow, ShowsTheReportAndItsFile) {
  TfrmCrashReport w(SampleReport());
  EXPECT_EQ(w.lblPath->text(), "Report file: /home/ann/jobs/quillmark-crash-20261210-155012.txt");
  EXPECT_EQ(w.mmoReport->toPlainText().toStdString(), SampleReport().text);
  EXPECT_TRUE(w.mmoReport->isReadOnly());
  SaveScreenshot(&w, QStringLiteral("crash_report"));

  crash::Report unwritten = SampleReport();
  unwritten.path.clear();
  unwritten.failure = "Permission denied";
  TfrmCrashReport without(unwritten);
  EXPECT_EQ(without.lblPath->text(),
            "The report could not be written to a file: Permission denied");
}

TEST(CrashReportWindow, CopyPutsTheWholeReportOnTheClipboard) {
  TfrmCrashReport w(SampleReport());
  QApplication::clipboard()->clear();
  w.btnCopy->click();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), SampleReport().text);
}

TEST(CrashReportWindow, SaveWritesTheReportWhereTheUserChooses) {
  const fs::path dir = fs::temp_directory_path() / ("qm-crash-save-" + std::to_string(getpid()));
  fs::create_directories(dir);
  ui::RecordingMessages messages;
  ui::ScopedMessages use(messages);
  TfrmCrashReport w(SampleReport());
  QString suggested;
  QString answer = QString::fromStdString((dir / "sent.txt").string());
  w.askSaveFileName = [&](const QString& s) {
    suggested = s;
    return answer;
  };
  w.btnSave->click();
  EXPECT_EQ(suggested.toStdString(), SampleReport().path);
  EXPECT_EQ(testsupport::FileText(dir / "sent.txt"), SampleReport().text);
  EXPECT_TRUE(messages.entries.empty());

  answer.clear();  // the user cancels the dialog
  w.btnSave->click();
  EXPECT_TRUE(messages.entries.empty());

  answer = QString::fromStdString((dir / "no-such-folder" / "x.txt").string());
  w.btnSave->click();
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].kind, ui::MessageKind::Error);
  EXPECT_EQ(
      messages.entries[0].text.rfind("Cannot save the report to " + answer.toStdString() + ": ", 0),
      0u)
      << messages.entries[0].text;
  fs::remove_all(dir);
}

}  // namespace
