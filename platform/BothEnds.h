// FindFromBothEnds: a linear search that looks at both ends of a range at once.  Lists whose
// entries mostly leave newest first or oldest first (an owner freeing what it owns, definitions
// removed in the order they were made) find the one leaving in a few steps either way.
#pragma once

#include <cstddef>

namespace platform {

// The index in [Low, High) for which Matches(index) answers true, looked for from High - 1 and
// Low inwards by turns; High when none does.
template <class TMatches>
size_t FindFromBothEnds(size_t Low, size_t High, TMatches&& Matches) {
  const size_t None = High;
  while (Low < High) {
    if (Matches(--High)) return High;
    if (Low < High && Matches(Low)) return Low;
    ++Low;
  }
  return None;
}

}  // namespace platform
