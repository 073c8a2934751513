// TTrigonometryPackage: circular and hyperbolic functions and their inverses, angle-unit
// conversions and vector distances ("sin", "acoth", "deg-rad", "distance"...).  Angles are in
// radians; every answer is a finite float, and arguments outside a function's domain raise
// EIEException instead of answering NaN or infinity.
#pragma once

#include "IEPackages.h"

namespace rulecore {

class TTrigonometryPackage : public TUserPackage {
  PLATFORM_CLASS(TTrigonometryPackage, TUserPackage)
 public:
  explicit TTrigonometryPackage(platform::TComponent* Owner = nullptr);

 protected:
  void CreateFunctions() override;
};

}  // namespace rulecore
