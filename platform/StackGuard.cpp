#include "StackGuard.h"

#include <pthread.h>

#include <cstdint>

namespace platform {

namespace {

struct TThreadStack {
  std::uintptr_t Low = 0;           // the lowest usable address (stacks grow down); 0: unknown
  std::size_t Size = 0;             // from Low up to where the thread was first measured
  std::uintptr_t DefaultLimit = 0;  // Low + the default reserve
  bool Known = false;
};

// The stack block the system reports also holds, at its top, the thread's static thread-local
// storage - large in some programs: ThreadSanitizer's takes more than a 256 KiB thread asks for,
// and the block grows by it.  What is there to work with is what lies below the caller's frame.
TThreadStack FindThreadStack(std::uintptr_t Here) noexcept {
  TThreadStack Stack;
  Stack.Known = true;
  pthread_attr_t Attributes;
  if (pthread_getattr_np(pthread_self(), &Attributes) != 0) return Stack;
  void* Base = nullptr;
  std::size_t Size = 0;
  if (pthread_attr_getstack(&Attributes, &Base, &Size) == 0 && Base && Size > 0) {
    const auto Low = reinterpret_cast<std::uintptr_t>(Base);
    if (Here > Low && Here - Low <= Size) {
      Stack.Low = Low;
      Stack.Size = Here - Low;
      Stack.DefaultLimit = Low + DefaultStackReserve(Stack.Size);
    }
  }
  pthread_attr_destroy(&Attributes);
  return Stack;
}

// This thread's stack, found once per thread.  Every call evaluation asks, so the cache is plain
// data in the static TLS block (initial-exec: no __tls_get_addr call, no initialisation guard).
const TThreadStack& ThisThreadStack() noexcept {
  static thread_local TThreadStack Stack __attribute__((tls_model("initial-exec")));
  if (!Stack.Known) Stack = FindThreadStack(reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)));
  return Stack;
}

}  // namespace

std::size_t ThreadStackSize() noexcept { return ThisThreadStack().Size; }

bool StackNearlyExhausted(std::size_t Reserve) noexcept {
  const TThreadStack& Stack = ThisThreadStack();
  if (Stack.Low == 0) return false;  // unknown: nothing to compare with
  const std::uintptr_t Limit =
      Reserve == 0 ? Stack.DefaultLimit : Stack.Low + (Reserve < Stack.Size / 2 ? Reserve : Stack.Size / 2);
  const auto Here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  return Here < Limit;
}

}  // namespace platform
