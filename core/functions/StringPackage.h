// TStringPackage: the text functions of the rule language ("str-cat", "sub-string", "upcase"...).
// Arguments are taken as text: strings and symbols without quotes, numbers in their text form.
#pragma once

#include "IEPackages.h"

namespace rulecore {

class TStringPackage : public TUserPackage {
  PLATFORM_CLASS(TStringPackage, TUserPackage)
 public:
  explicit TStringPackage(platform::TComponent* Owner = nullptr);

 protected:
  void CreateFunctions() override;
};

}  // namespace rulecore
