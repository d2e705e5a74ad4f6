// quillmark-cli: one Quillmark job without a window.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_job.h"
#include "platform/process/standard_streams.h"

int main(int argc, char** argv) {
  process::OpenStandardStreams();
  cli::InstallInterruptHandler();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return cli::RunCli(args, argc > 0 ? argv[0] : "quillmark-cli", stdout, stderr);
}
