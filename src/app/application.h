// The desktop program's start and end, apart from main() so a test can run it.
#pragma once

#include <QApplication>
#include <string>

// An application whose event handlers never let an error escape into Qt: an error
// no handler caught ends in a crash report shown in a window, and the program goes on.
class TQuillmarkApplication : public QApplication {
 public:
  TQuillmarkApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Sets the title, creates the data module, the main window and the hidden About
// window, runs the message loop, and at the end closes the connections and writes
// the error log file named after programPath into the working directory.
// Returns the message loop's exit code.
int RunQuillmark(QApplication& app, const std::string& programPath);
