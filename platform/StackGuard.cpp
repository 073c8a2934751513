#include "StackGuard.h"

#include <pthread.h>

#include <cstdint>

namespace platform {

namespace {

// The lowest usable address of this thread's stack (stacks grow down), found once per thread.
std::uintptr_t StackLimit() noexcept {
  thread_local std::uintptr_t Limit = [] {
    pthread_attr_t Attributes;
    void* Base = nullptr;
    std::size_t Size = 0;
    if (pthread_getattr_np(pthread_self(), &Attributes) != 0) return std::uintptr_t{0};
    pthread_attr_getstack(&Attributes, &Base, &Size);
    pthread_attr_destroy(&Attributes);
    return reinterpret_cast<std::uintptr_t>(Base);
  }();
  return Limit;
}

}  // namespace

bool StackNearlyExhausted(std::size_t Reserve) noexcept {
  const std::uintptr_t Limit = StackLimit();
  if (Limit == 0) return false;  // unknown: nothing to compare with
  const auto Here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  return Here < Limit + Reserve;
}

}  // namespace platform
