// Exception reporting: a report with the call stack when a program meets an error no
// code handled (an exception that escapes, std::terminate, or a fatal signal).
//
// A report is a text file quillmark-crash-YYYYMMDD-HHMMSS.txt in the working
// directory, or under the user's state folder ($XDG_STATE_HOME or ~/.local/state,
// then quillmark/) when the working directory cannot be written. It holds the program
// name and version, the local date and time, the exception's type and message or the
// signal's name, the operating system (and Qt, when a window program adds it), and
// the call stack with function names. Nothing is sent anywhere.
//
// After a fatal signal or std::terminate the report is written, the files registered
// with WriteAtCrash are written, the report's path goes to standard error, and the
// process ends with kExitSoftware. The signal path uses async-signal-safe steps only.
#pragma once

#include <string>

namespace crash {

// The exit status after a report that ends the process (EX_SOFTWARE in sysexits.h).
inline constexpr int kExitSoftware = 70;

// The variable the tests set to make a program fail on purpose; see RunTestSwitch.
inline constexpr const char* kTestSwitchVariable = "QUILLMARK_CRASH_TEST";

// Call first in main. Installs the fatal-signal handlers (on their own stack), the
// terminate handler and the record of where each exception was thrown, and notes
// what a report needs (program name, system) while that is still safe to ask.
// programName is the name reports and messages use ("quillmark-cli").
// When argv names the stack helper (the process a fatal signal starts to name the
// functions on the stack), this runs it and ends the process instead of returning.
void Install(int argc, char** argv, const char* programName);

// A line every later report carries under the system line ("Qt: 6.4.2").
void AddEnvironmentLine(const std::string& line);

// A file to be written when a report ends the process, as the program would have
// written it at exit: path (relative paths to the working directory at that moment) is
// created or replaced and writer fills it. writer is called from a signal handler, so
// it may only use async-signal-safe calls (write to fd) and must not allocate.
using CrashWriter = bool (*)(int fd) noexcept;
void WriteAtCrash(const std::string& path, CrashWriter writer);

struct Report {
  std::string path;     // the report file; empty when it could not be written
  std::string text;     // what the file holds (also when it could not be written)
  std::string failure;  // why the file could not be written; empty on success
};

// Writes the report for the exception being handled: call inside a catch block. The
// stack is the one at the throw. Never throws; the process goes on.
Report ReportCurrentException() noexcept;

// Reads kTestSwitchVariable and fails as it says: "throw" throws std::runtime_error,
// "throw-int" throws an int, "throw-nested" a
// std::runtime_error with another nested in it, "throw-text" a string literal, "out-of-range" has std::vector::at throw, "SIGSEGV", "SIGABRT",
// "SIGBUS", "SIGFPE", "SIGILL" raise that signal, "null-write" writes through a null pointer,
// "stack-overflow" and "thread-stack-overflow" recurse without end on this thread or a new one,
// "thread-fault-exit" has a new thread raise SIGSEGV while this one calls exit(0). Unset or
// empty: does nothing.
void RunTestSwitch();

}  // namespace crash
