// How much stack the calling thread has left.  Recursive evaluation and parsing check it before
// going deeper, so that runaway recursion in user programs ends in an error, not a crash.
//
// The check keeps a reserve free at the far end of the stack: room for raising the error and for
// whatever runs between two checks (a host's event handler, printing).  Threads differ widely in
// their stacks - 8 MiB for a program's main thread, 256 KiB or less in many thread pools - so the
// default reserve is a share of the calling thread's own stack rather than a fixed amount, which
// on a small stack would leave nothing to work with.
#pragma once

#include <cstddef>

namespace platform {

// The reserve kept by default on a thread whose stack has StackSize bytes: a quarter of it, at
// most 512 KiB.
constexpr std::size_t DefaultStackReserve(std::size_t StackSize) noexcept {
  constexpr std::size_t Most = std::size_t{512} << 10;
  return StackSize / 4 < Most ? StackSize / 4 : Most;
}

// The bytes of the calling thread's stack there are to work with: from its far end up to where
// the thread stood when the stack was first measured (0 when the system cannot tell).  The
// system's own figure would count the thread-local storage kept at the stack's top as well.
std::size_t ThreadStackSize() noexcept;

// True when fewer than Reserve bytes of the calling thread's stack remain.  Reserve 0 stands for
// DefaultStackReserve of the thread's stack; a reserve of more than half the stack counts as
// half, so that a setting made for large stacks still leaves a small one room to work.
bool StackNearlyExhausted(std::size_t Reserve = 0) noexcept;

}  // namespace platform
