// Prefetch: asks the processor to bring the cache line at an address closer, without waiting
// for it and without faulting on any address.  GCC 12 drops __builtin_prefetch at -O2 in some
// inlined member functions (a conditional prefetch through a member array disappears with the
// code that computes its address), so on x86 the instruction is written out as a volatile
// statement that the optimiser keeps.
#pragma once

namespace platform {

inline void Prefetch(const void* Address) noexcept {
#if defined(__x86_64__) || defined(__i386__)
  asm volatile("prefetcht0 (%0)" : : "r"(Address));
#else
  __builtin_prefetch(Address);
#endif
}

}  // namespace platform
