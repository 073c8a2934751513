// TBusinessPackage: time-value-of-money and depreciation functions ("payment", "present-value",
// "internal-rate-of-return", "syd-depreciation"...).  Money paid out is negative, money received
// positive; the payment-time argument is the text ptEndOfPeriod or ptStartOfPeriod.  Every answer
// is a finite float: a division by zero, a logarithm out of its domain or a rate search that
// finds nothing raises EIEException naming the function.
#pragma once

#include "IEPackages.h"

namespace rulecore {

class TBusinessPackage : public TUserPackage {
  PLATFORM_CLASS(TBusinessPackage, TUserPackage)
 public:
  explicit TBusinessPackage(platform::TComponent* Owner = nullptr);

 protected:
  void CreateFunctions() override;
};

}  // namespace rulecore
