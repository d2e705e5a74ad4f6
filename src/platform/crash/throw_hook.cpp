// Where each exception was thrown: by the time a handler catches it the stack has
// been unwound, so the throw itself notes the stack. The program's own __cxa_throw
// comes before the C++ runtime's, notes the frames and hands on to the runtime's.
// Kept apart from files that include <cxxabi.h>, which declares it too.
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/crash/stack.h"

namespace crash::detail {

namespace {
std::atomic<bool> recording{false};
thread_local ThrowRecord lastThrow;
}  // namespace

void RecordThrows() {
  recording = true;
}

const ThrowRecord& LastThrow() {
  return lastThrow;
}

}  // namespace crash::detail

using ThrowFunction = void (*)(void*, std::type_info*, void (*)(void*));

extern "C" [[noreturn]] void __cxa_throw(void* object, std::type_info* type,
                                         void (*destroy)(void*)) {
  static const ThrowFunction next = [] {
    void* symbol = dlsym(RTLD_NEXT, "__cxa_throw");
    ThrowFunction f = nullptr;
    std::memcpy(&f, &symbol, sizeof f);
    return f;
  }();
  if (crash::detail::recording.load(std::memory_order_relaxed)) {
    crash::detail::ThrowRecord& r = crash::detail::lastThrow;
    r.object = object;
    r.type = type;
    // The first frame is this function.
    void* frames[crash::detail::kMaxFrames + 1];
    const int n = crash::detail::CaptureStack(frames, crash::detail::kMaxFrames + 1);
    r.count = n > 0 ? n - 1 : 0;
    std::memcpy(r.frames, frames + 1, sizeof(void*) * static_cast<std::size_t>(r.count));
  }
  if (!next) std::abort();
  next(object, type, destroy);
  __builtin_unreachable();
}
