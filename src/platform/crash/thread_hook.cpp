// A thread's signal handlers run on its own alternate stack, if any; without one a
// stack overflow on that thread cannot be reported. The program's own pthread_create
// comes before the C library's and starts each thread with such a stack.
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/crash/stack.h"

namespace crash::detail {

namespace {

constexpr std::size_t kSignalStackSize = 1 << 16;
std::atomic<bool> giveStacks{false};

struct ThreadStart {
  void* (*routine)(void*);
  void* arg;
};

// Released also when the thread ends by pthread_exit or cancellation, which unwind.
class ScopedSignalStack {
 public:
  ScopedSignalStack() : stack_(UseSignalStack()) {}
  ~ScopedSignalStack() { ReleaseSignalStack(stack_); }
  ScopedSignalStack(const ScopedSignalStack&) = delete;
  ScopedSignalStack& operator=(const ScopedSignalStack&) = delete;

 private:
  void* stack_;
};

void* StartWithSignalStack(void* p) {
  const ThreadStart start = *static_cast<ThreadStart*>(p);
  std::free(p);
  const ScopedSignalStack stack;
  return start.routine(start.arg);
}

}  // namespace

void* UseSignalStack() {
  void* const stack = std::malloc(kSignalStackSize);
  if (!stack) return nullptr;
  stack_t ss{};
  ss.ss_sp = stack;
  ss.ss_size = kSignalStackSize;
  if (sigaltstack(&ss, nullptr) == 0) return stack;
  std::free(stack);
  return nullptr;
}

void ReleaseSignalStack(void* stack) {
  if (!stack) return;
  stack_t ss{};
  ss.ss_flags = SS_DISABLE;
  sigaltstack(&ss, nullptr);
  std::free(stack);
}

void GiveThreadsSignalStacks() {
  giveStacks = true;
}

}  // namespace crash::detail

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                              void* (*routine)(void*), void* arg) noexcept {
  static const CreateFunction next = [] {
    void* symbol = dlsym(RTLD_NEXT, "pthread_create");
    CreateFunction f = nullptr;
    std::memcpy(&f, &symbol, sizeof f);
    return f;
  }();
  if (!next) return EAGAIN;
  if (!crash::detail::giveStacks.load(std::memory_order_relaxed))
    return next(thread, attr, routine, arg);
  auto* start = static_cast<crash::detail::ThreadStart*>(
      std::malloc(sizeof(crash::detail::ThreadStart)));
  if (!start) return EAGAIN;
  *start = {routine, arg};
  const int rc = next(thread, attr, crash::detail::StartWithSignalStack, start);
  if (rc != 0) std::free(start);
  return rc;
}
