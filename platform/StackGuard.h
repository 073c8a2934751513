// How much stack the calling thread has left.  Recursive evaluation and parsing check it before
// going deeper, so that runaway recursion in user programs ends in an error, not a crash.
#pragma once

#include <cstddef>

namespace platform {

// True when fewer than Reserve bytes of the calling thread's stack remain.
bool StackNearlyExhausted(std::size_t Reserve = 512 * 1024) noexcept;

}  // namespace platform
