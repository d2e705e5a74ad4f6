// How fast the selection window's panes take a job's lines, against the same lines
// kept by the core panes view without any window. Run offscreen:
//   QT_QPA_PLATFORM=offscreen <build>/bench/app/pane_bench [lines] [runs]
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "job/job_view.h"
#include "job/source_data_selection.h"
#include "platform/ui/qt_messages.h"

namespace {

class CoreOnly : public job::TPanesView {
 public:
  void ProcessEvents() override {}
};

template <typename Feed>
double Best(int runs, Feed feed) {
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    QElapsedTimer t;
    t.start();
    feed();
    times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  return *std::min_element(times.begin(), times.end());
}

void Feed(job::TJobView& view, int lines) {
  view.ClearPanes();
  const std::string text = "10.12.2026 11:00:00 : 1234 inserted, 0 insert failed.";
  const std::string script = "INSERT INTO `orders`(`id`, `name`) VALUES(1234, 'O''Brien');";
  for (int i = 0; i < lines; ++i) {
    if (i % 2 == 0)
      view.AddLogLine(text, i % 10 == 0 ? job::kNavy : job::kDefaultColor);
    else
      view.AddScriptLine(script);
  }
  view.ProcessEvents();
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;

  ui::QtMessages qt;
  ui::ScopedMessages useQt(qt);
  CoreOnly core;
  const double coreMs = Best(runs, [&] { Feed(core, lines); });

  TfrmSourceDataSelection window;
  window.resize(753, 623);
  window.show();
  QApplication::processEvents();
  const double windowMs = Best(runs, [&] { Feed(window.View(), lines); });

  std::printf("%d lines, best of %d\n", lines, runs);
  std::printf("core panes view, no window:     %9.1f ms  (%6.0f ns/line)\n", coreMs,
              coreMs * 1e6 / lines);
  std::printf("selection window, events/line:  %9.1f ms  (%6.0f ns/line)\n", windowMs,
              windowMs * 1e6 / lines);
  std::printf("ratio window / core:            %9.2f\n", windowMs / coreMs);
  return 0;
}
