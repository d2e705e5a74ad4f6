// One job from the command line: connect, load the catalogue, choose the objects, run,
// print the summary.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotStart = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitJobErrors = 3;
inline constexpr int kExitStopped = 130;

// Ctrl-C, SIGTERM and SIGHUP: before MarkJobStarted one ends the process with 128 plus
// its number (kExitStopped for Ctrl-C; the destination untouched, a connection attempt
// abandoned); after it, the first sets StopRequested and the job ends with that status,
// and a second ends the process by its signal.
void InstallInterruptHandler();
void MarkJobStarted();

// "quillmark-cli: " + what, an empty line and the usage, on err.
void PrintUsageError(std::FILE* err, const std::string& what);

// Runs the job the options describe and returns the exit status. Log and summary go
// to out, messages and the progress line to err. Colours and the progress line are
// used only when out or err is a terminal. errorLogPath is the error log file the
// caller writes afterwards, which the script may not be.
int RunJobFromOptions(const TCliOptions& options, const std::string& errorLogPath,
                      std::FILE* out, std::FILE* err);

// The whole program: parses the arguments after the program name, prints the usage for
// --help or a bad command line, runs the job, and then writes the error log file named
// after programPath (a job that did not start leaves an empty one).
int RunCli(const std::vector<std::string>& args, const std::string& programPath, std::FILE* out,
           std::FILE* err);

}  // namespace cli
