#include "Cloneable.h"

#include <cstdint>

namespace platform {

void TCloneable::Assign(const ICloneable& Source) {
  if (!Source) AssignError(nullptr);
  Assign(static_cast<const TPersistent&>(*Source));
}

bool TCloneable::Equals(const TCloneable* Other) const { return Other == this; }

std::string TCloneable::GetToString() const { return ClassName(); }

uint32_t TCloneable::GetHashCode() const {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this));
}

}  // namespace platform
