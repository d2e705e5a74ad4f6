// Failing on purpose, for the tests that run the real programs.
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/crash/crash.h"

namespace crash::test {

[[gnu::noinline]] void ThrowFromHandler() {
  throw std::runtime_error("crash test: an exception no handler caught");
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

}  // namespace crash::test

namespace crash {

void RunTestSwitch() {
  const char* value = std::getenv(kTestSwitchVariable);
  if (!value || !*value) return;
  const std::string mode = value;
  if (mode == "throw") test::ThrowFromHandler();
  if (mode == "throw-int") test::ThrowIntFromHandler();
  if (mode == "out-of-range") test::IndexOutOfRange();
  if (mode == "null-write") test::WriteThroughNull();
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
