#include "StackGuard.h"

#include <pthread.h>

#include <cstdint>

namespace platform {

namespace {

std::uintptr_t FindStackLimit() noexcept {
  pthread_attr_t Attributes;
  void* Base = nullptr;
  std::size_t Size = 0;
  if (pthread_getattr_np(pthread_self(), &Attributes) != 0) return 0;
  pthread_attr_getstack(&Attributes, &Base, &Size);
  pthread_attr_destroy(&Attributes);
  return reinterpret_cast<std::uintptr_t>(Base);
}

// The lowest usable address of this thread's stack (stacks grow down), found once per thread.
// Every call evaluation asks, so the per-thread cache is plain data in the static TLS block
// (initial-exec: no __tls_get_addr call, no initialisation guard).
std::uintptr_t StackLimit() noexcept {
  static thread_local std::uintptr_t Limit __attribute__((tls_model("initial-exec"))) = 0;
  static thread_local bool Known __attribute__((tls_model("initial-exec"))) = false;
  if (!Known) {
    Limit = FindStackLimit();
    Known = true;
  }
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
