// TBindingInfo: where a rule variable's value lives in a match - which pattern's fact, which
// slot, which element of a multislot.  It sits with the values because a value may hold one and
// then resolves itself to the bound slot value in an evaluation context.
#pragma once

#include <cstdint>
#include <string>

#include "IEConsts.h"
#include "platform/Object.h"

namespace rulecore {

class TFactSlot;

// A remembered place of a slot's entry: facts of one template keep their entries in the same
// places, so the matching network remembers where a slot was and confirms it by the slot object
// instead of comparing names.  The place holds while no slot was renamed or destroyed.
struct TSlotPlace {
  const TFactSlot* Slot = nullptr;
  int32_t Index = -1;
  uint32_t Generation = 0;
};

class TBindingInfo : public platform::TPersistent {
  PLATFORM_CLASS(TBindingInfo, platform::TPersistent)
 public:
  TBindingInfo() = default;
  TBindingInfo(int32_t FactIndex, std::string SlotIndex, int32_t SubIndex)
      : FactIndex(FactIndex), SlotIndex(std::move(SlotIndex)), SubIndex(SubIndex) {}

  void Assign(const platform::TPersistent& Source) override;
  bool SameBinding(const TBindingInfo& Other) const noexcept {
    return FactIndex == Other.FactIndex && SubIndex == Other.SubIndex && SlotIndex == Other.SlotIndex;
  }
  // "FactIdx=n SlotIdx=slot SubIdx=n"
  virtual std::string GetToString() const;

  int32_t FactIndex = 0;
  std::string SlotIndex;
  int32_t SubIndex = NoSubIndex;
  // Where the slot was found in the last fact read through this binding.
  mutable TSlotPlace Place;
};

}  // namespace rulecore
