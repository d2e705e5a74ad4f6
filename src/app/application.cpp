#include "app/application.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <exception>
#include <memory>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/splash.h"
#include "core/project_settings.h"
#include "job/process_state.h"
#include "job/source_data_selection.h"
#include "mysql/components/login_dialog.h"
#include "platform/crash/crash.h"
#include "platform/crash/qt/crash_report_window.h"
#include "platform/ui/qt_messages.h"

namespace {

// Ctrl-C or a terminate request ends the loop like closing the window, so the
// connections are closed and the error log is written. The handler only writes a
// byte; the loop reads it.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

class TSignalQuit {
 public:
  TSignalQuit() {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] {
      char byte;
      [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
      StopRequested = true;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
          dialog->reject();
      QApplication::closeAllWindows();
      QApplication::quit();
    });
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
  }
  ~TSignalQuit() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    notifier_.reset();
    for (int& fd : signalPipe) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  }
  TSignalQuit(const TSignalQuit&) = delete;
  TSignalQuit& operator=(const TSignalQuit&) = delete;

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace

TQuillmarkApplication::TQuillmarkApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TQuillmarkApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    // A handler let it through: that is a fault, so a report, and the program goes on.
    ShowCrashReportForCurrentException();
  }
  return false;
}

int RunQuillmark(QApplication& app, const std::string& programPath) {
  QApplication::setApplicationName(QStringLiteral("Quillmark"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quillmark"));
  ui::QtMessages messages;
  ui::ScopedMessages useMessages(messages);
  TQtMySQLLoginPrompt loginDialog;  // what a MySQL component with LoginPrompt shows
  SetLoginPrompt(&loginDialog);
  TSignalQuit quitOnSignal;

  int rc = 0;
  {
    TdmMain dmMain;
    {
      TfrmMain frmMain(dmMain, ProjectSettings());
      TfrmSplash frmSplash;
      frmMain.SetAboutWindow(&frmSplash);
      frmMain.createSelectionWindow = [] { return std::make_unique<TfrmSourceDataSelection>(); };
      frmMain.show();
      // Fails on purpose from an event handler when the tests ask for it.
      QTimer::singleShot(0, &frmMain, [] { crash::RunTestSwitch(); });
      rc = app.exec();
      // FormClose has closed them; a loop ended some other way has not.
      dmMain.CloseConnections();
    }
  }
  SetLoginPrompt(nullptr);
  job::WriteErrorLogFile(programPath);
  return rc;
}
