// Gathering the call stack and naming its functions.
//
// Frames are taken with backtrace(3) (glibc, over libgcc's unwinder), which a signal
// handler may call once WarmUpStack has loaded the unwinder. Names come from GCC's
// libbacktrace, which reads the symbol tables and DWARF line tables of the program and
// its libraries itself, so functions are named without -rdynamic, static functions
// included, with file and line where debug information exists. Naming allocates, so
// after a fatal signal it runs in a fresh process: the stack helper.
#pragma once

#include <cstdint>
#include <typeinfo>

#include "platform/crash/report_text.h"

namespace crash::detail {

inline constexpr int kMaxFrames = 64;

// The first argument that makes a program run the stack helper instead of itself.
inline constexpr const char* kStackHelperArg = "--quillmark-crash-stack";

// Loads the unwinder, so that later calls need no allocation.
void WarmUpStack();

// The return addresses of the calling thread, innermost first, at most max.
int CaptureStack(void** frames, int max);

// Where the last exception thrown on this thread came from; kept from the moment
// RecordThrows is called.
struct ThrowRecord {
  const void* object = nullptr;  // the thrown object, to tell this exception from others
  const std::type_info* type = nullptr;
  int count = 0;
  void* frames[kMaxFrames];
};
void RecordThrows();
const ThrowRecord& LastThrow();

// Gives the calling thread a stack of its own for signal handlers; returns it (to be
// freed with ReleaseSignalStack), or nullptr when it could not.
void* UseSignalStack();
void ReleaseSignalStack(void* stack);
// From now on each new thread gets such a stack for its life.
void GiveThreadsSignalStacks();

// "#3  0x000055d0c1a2b3c4": the start of a frame's line; async-signal-safe.
void AppendFrameNumber(ReportWriter& w, int index, std::uintptr_t pc);

// One line per frame, numbered from #0: address, function, source file and line when
// known, and the module; a call inlined into another gets a line of its own.
void AppendStack(ReportWriter& w, void* const* frames, int n);

// The stack helper: argv[2] is the process id of the crashed program, which waits for
// it, argv[3...] its frame addresses in hex. Maps each address through the crashed
// process's /proc/PID/maps onto the same file in this process (the same program, so
// the same libraries mostly), names it and prints the lines of AppendStack to standard
// output. Returns the exit status.
int RunStackHelper(int argc, char** argv);

}  // namespace crash::detail
