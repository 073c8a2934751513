#include "IEBindingInfo.h"

namespace rulecore {

void TBindingInfo::Assign(const platform::TPersistent& Source) {
  const auto* Other = dynamic_cast<const TBindingInfo*>(&Source);
  if (!Other) return platform::TPersistent::Assign(Source);
  FactIndex = Other->FactIndex;
  SlotIndex = Other->SlotIndex;
  SubIndex = Other->SubIndex;
}

std::string TBindingInfo::GetToString() const {
  return "FactIdx=" + std::to_string(FactIndex) + " SlotIdx=" + SlotIndex +
         " SubIdx=" + std::to_string(SubIndex);
}

}  // namespace rulecore
