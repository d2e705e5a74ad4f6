// The process-wide state of jobs: the stop flag and the error lines of the last job,
// shared by the windows, the command line and the runner.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

// Set false by GO, true by "Cancel Process" (or Ctrl-C on the command line); the
// runner reads it at the top of every row. Atomic so a signal handler may set it.
extern std::atomic<bool> StopRequested;

// The error lines of the last job, in order; the runner empties it at every job start.
extern std::vector<std::string> ErrorLog;

namespace job {

// "quillmark-cli.log" for "/usr/bin/quillmark-cli", "app.log" for "dir/app.exe": the
// program file's name without its folder, its extension replaced by ".log".
std::string ErrorLogFileName(std::string_view programPath);

// Writes every ErrorLog line (each ended by "\n") to ErrorLogFileName(programPath) in
// the working directory, replacing an earlier file; an empty list gives an empty
// file. Called once at exit. Never throws: a failure is reported on standard error
// and false returned, so the process still ends.
bool WriteErrorLogFile(std::string_view programPath) noexcept;

// Writes every ErrorLog line (each ended by "\n") to fd; false when a write failed.
// Only write(2): also called after a fatal signal, when the process cannot allocate.
bool WriteErrorLines(int fd) noexcept;

}  // namespace job
