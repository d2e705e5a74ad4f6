#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/application.h"
#include "app/main_window.h"
#include "app/splash.h"
#include "job/process_state.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the program's start and end in this process, closing the main window as soon
// as it is shown, in a fresh working directory; returns what the windows looked like.
struct StartResult {
  QString title;
  QString appName;
  bool splashHidden = false;
  int replaceItems = -1;
};

StartResult RunOnce(const fs::path& dir, bool bySignal = false) {
  const fs::path saved = fs::current_path();
  fs::current_path(dir);
  StartResult r;
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, &r, bySignal] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* main = qobject_cast<TfrmMain*>(w); main && main->isVisible()) {
        r.title = main->windowTitle();
        r.appName = QApplication::applicationDisplayName();
        r.replaceItems = main->cmbReplaceChar->count();
        for (QWidget* other : QApplication::topLevelWidgets())
          if (qobject_cast<TfrmSplash*>(other)) r.splashHidden = !other->isVisible();
        timer->stop();
        timer->deleteLater();
        if (bySignal)
          std::raise(SIGTERM);
        else
          main->close();
        return;
      }
    }
  });
  timer->start(10);
  RunQuillmark(*qApp, "/opt/quillmark/bin/quillmark");
  fs::current_path(saved);
  return r;
}

TEST(Program, StartsTheMainWindowAndWritesAnEmptyErrorLogAtExit) {
  const fs::path dir = fs::temp_directory_path() / ("qm-start-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "quillmark.log") << "old lines\n";
  std::ofstream(dir / "SpecialChar.dat") << "_\n-\n\n.\n";
  ErrorLog.clear();
  const StartResult r = RunOnce(dir);
  EXPECT_EQ(r.title, "Corvane - Quillmark");
  EXPECT_EQ(r.appName, "Quillmark");
  EXPECT_TRUE(r.splashHidden);
  EXPECT_EQ(r.replaceItems, 4);
  ASSERT_TRUE(fs::exists(dir / "quillmark.log"));
  EXPECT_EQ(ReadFile(dir / "quillmark.log"), "") << "an earlier file is replaced";

  // The last job's error lines go to the file.
  ErrorLog = {"Post: Duplicate entry '1' for key 'PRIMARY'", "==>Table 'qm_dst.x' doesn't exist"};
  fs::remove(dir / "SpecialChar.dat");
  const StartResult second = RunOnce(dir);
  EXPECT_EQ(second.replaceItems, 0) << "no SpecialChar.dat: an empty list and nothing else";
  EXPECT_EQ(ReadFile(dir / "quillmark.log"),
            "Post: Duplicate entry '1' for key 'PRIMARY'\n==>Table 'qm_dst.x' doesn't exist\n");
  ErrorLog.clear();
  fs::remove_all(dir);
}

TEST(Program, ATerminateRequestEndsItLikeClosingTheWindow) {
  const fs::path dir = fs::temp_directory_path() / ("qm-term-" + std::to_string(getpid()));
  fs::create_directories(dir);
  ErrorLog = {"==>one error"};
  const StartResult r = RunOnce(dir, true);
  EXPECT_EQ(r.title, "Corvane - Quillmark");
  EXPECT_EQ(ReadFile(dir / "quillmark.log"), "==>one error\n");
  ErrorLog.clear();
  StopRequested = false;
  fs::remove_all(dir);
}

}  // namespace
