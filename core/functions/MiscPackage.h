// TMiscPackage: the knowledge-base commands of the rule language (listing, pretty-printing and
// undefining constructs), engine switches, "guard" and "parse", the host dialogs and the date
// and time functions.  Dates are the days-since-1899-12-30 floats of core/values/DateTime.h.
#pragma once

#include "IEPackages.h"

namespace rulecore {

class TMiscPackage : public TUserPackage {
  PLATFORM_CLASS(TMiscPackage, TUserPackage)
 public:
  explicit TMiscPackage(platform::TComponent* Owner = nullptr);

 protected:
  void CreateFunctions() override;
};

}  // namespace rulecore
