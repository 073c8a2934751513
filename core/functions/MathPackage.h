// TMathPackage: the arithmetic functions of the rule language ("+", "div", "sqrt", "random"...).
// Integers are 32-bit and floats 64-bit; every result is defined: division by zero, results
// outside the integer range and undefined logarithms and roots raise EIEException.
#pragma once

#include "IEPackages.h"

namespace rulecore {

class TMathPackage : public TUserPackage {
  PLATFORM_CLASS(TMathPackage, TUserPackage)
 public:
  explicit TMathPackage(platform::TComponent* Owner = nullptr);

 protected:
  void CreateFunctions() override;
};

}  // namespace rulecore
