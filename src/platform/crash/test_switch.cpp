// Failing on purpose, for the tests that run the real programs.
#include <chrono>
#include <csignal>
#include <exception>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/crash/crash.h"

namespace crash::test {

[[gnu::noinline]] void ThrowFromHandler() {
  throw std::runtime_error("crash test: an exception no handler caught");
}

[[gnu::noinline]] void ThrowNestedFromHandler() {
  try {
    throw std::runtime_error("crash test: the first cause");
  } catch (...) {
    std::throw_with_nested(std::runtime_error("crash test: what failed because of it"));
  }
}

[[gnu::noinline]] void ThrowTextFromHandler() {
  throw "crash test: a bare text";
}

[[gnu::noinline]] void ThrowIntFromHandler() {
  throw 42;
}

// Thrown inside the C++ library, as most real faults are.
[[gnu::noinline]] int IndexOutOfRange() {
  const std::vector<int> none;
  return none.at(1);
}

[[gnu::noinline]] void RaiseSignal(int sig) {
  std::raise(sig);
  // Not a tail call, so this function shows on the stack.
  __asm__ volatile("" ::: "memory");
}

// The pointer is read from a volatile, so the compiler cannot see it is null and turn
// the store into a trap; the sanitizers would stop it before the fault.
int* volatile nullTarget = nullptr;
[[gnu::noinline, gnu::no_sanitize("address", "undefined")]] void WriteThroughNull() {
  *nullTarget = 1;
}

// Deeper than any stack (the compiler cannot know the end is never met); the frame is
// used, so the recursion is not turned into a loop.
volatile int recursionEnd = -1;
[[gnu::noinline, gnu::no_sanitize("address")]] int RecurseForever(int depth) {
  if (depth == recursionEnd) return 0;
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return RecurseForever(depth + 1) + frame[0];
}

// A fault on another thread while this one ends the program as if all went well: once
// the report file is there, while the stack is still being written into it.
[[gnu::noinline]] void FaultOnThreadWhileExiting() {
  std::thread([] { RaiseSignal(SIGSEGV); }).detach();
  for (int i = 0; i < 5000; ++i) {
    for (const auto& e : std::filesystem::directory_iterator("."))
      if (e.path().filename().string().rfind("quillmark-crash-", 0) == 0) std::exit(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::exit(0);
}

}  // namespace crash::test

namespace crash {

void RunTestSwitch() {
  const char* value = std::getenv(kTestSwitchVariable);
  if (!value || !*value) return;
  const std::string mode = value;
  if (mode == "throw") test::ThrowFromHandler();
  if (mode == "throw-int") test::ThrowIntFromHandler();
  if (mode == "throw-nested") test::ThrowNestedFromHandler();
  if (mode == "throw-text") test::ThrowTextFromHandler();
  if (mode == "out-of-range") test::IndexOutOfRange();
  if (mode == "null-write") test::WriteThroughNull();
  if (mode == "stack-overflow") test::RecurseForever(0);
  if (mode == "thread-stack-overflow") {
    std::thread t([] { test::RecurseForever(0); });
    t.join();
  }
  if (mode == "thread-fault-exit") test::FaultOnThreadWhileExiting();
  const struct {
    const char* name;
    int sig;
  } signals[] = {{"SIGSEGV", SIGSEGV},
                 {"SIGABRT", SIGABRT},
                 {"SIGBUS", SIGBUS},
                 {"SIGFPE", SIGFPE},
                 {"SIGILL", SIGILL}};
  for (const auto& s : signals)
    if (mode == s.name) test::RaiseSignal(s.sig);
}

}  // namespace crash
