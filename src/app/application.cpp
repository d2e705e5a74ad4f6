#include "app/application.h"

#include <exception>
#include <memory>

#include "app/data_module.h"
#include "app/main_window.h"
#include "app/project_settings.h"
#include "app/splash.h"
#include "job/process_state.h"
#include "job/source_data_selection.h"
#include "platform/ui/qt_messages.h"

TQuillmarkApplication::TQuillmarkApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TQuillmarkApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& ex) {
    ui::ShowMessage(ui::MessageKind::Error, ex.what());
  } catch (...) {
    ui::ShowMessage(ui::MessageKind::Error, "Unknown error.");
  }
  return false;
}

int RunQuillmark(QApplication& app, const std::string& programPath) {
  QApplication::setApplicationName(QStringLiteral("Quillmark"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quillmark"));
  ui::QtMessages messages;
  ui::ScopedMessages useMessages(messages);

  int rc = 0;
  {
    TdmMain dmMain;
    {
      TfrmMain frmMain(dmMain, ProjectSettings());
      TfrmSplash frmSplash;
      frmMain.SetAboutWindow(&frmSplash);
      frmMain.createSelectionWindow = [] { return std::make_unique<TfrmSourceDataSelection>(); };
      frmMain.show();
      rc = app.exec();
      // FormClose has closed them; a loop ended some other way has not.
      dmMain.CloseConnections();
    }
  }
  job::WriteErrorLogFile(programPath);
  return rc;
}
