// quillmark-cli: one Quillmark job without a window.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_job.h"
#include "job/process_state.h"
#include "platform/crash/crash.h"
#include "platform/process/standard_streams.h"

int main(int argc, char** argv) {
  process::OpenStandardStreams();
  crash::Install(argc, argv, "quillmark-cli");
  crash::WriteAtCrash(job::ErrorLogFileName(argc > 0 ? argv[0] : "quillmark-cli"),
                      job::WriteErrorLines);
  crash::RunTestSwitch();
  cli::InstallInterruptHandler();
  // A closed pipe (| head) shows as EPIPE on the write, reported and counted as a
  // failure, instead of ending the job half done without a word. The MySQL driver
  // ignores the signal too, but only once it is loaded.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return cli::RunCli(args, argc > 0 ? argv[0] : "quillmark-cli", stdout, stderr);
}
