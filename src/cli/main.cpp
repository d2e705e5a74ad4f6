// quillmark-cli: one Quillmark job without a window.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_job.h"
#include "job/process_state.h"  // StopRequested
#include "platform/crash/crash.h"

namespace {

// The first Ctrl-C asks the job to stop, as "Cancel Process" does; SA_RESETHAND puts
// the default action back, so a second Ctrl-C ends the process at once.
void OnInterrupt(int) {
  StopRequested = true;
}

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  crash::Install(argc, argv, "quillmark-cli");
  crash::WriteAtCrash(job::ErrorLogFileName(argc > 0 ? argv[0] : "quillmark-cli"),
                      job::WriteErrorLines);
  crash::RunTestSwitch();
  static_assert(std::atomic<bool>::is_always_lock_free,
                "the stop flag is set from a signal handler");
  InstallInterruptHandler();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return cli::RunCli(args, argc > 0 ? argv[0] : "quillmark-cli", stdout, stderr);
}
