// TStandardPackage: the core vocabulary of the rule language - logic, comparisons, control
// structures, variables, the store/fetch table, engine control, the fact commands and the
// multifield functions.  The function classes live in StandardPackage.cpp and FactCommands.h;
// hosts reach them through the engine's function table by name.
#pragma once

#include "IEPackages.h"

namespace rulecore {

class TStandardPackage : public TUserPackage {
  PLATFORM_CLASS(TStandardPackage, TUserPackage)
 public:
  explicit TStandardPackage(platform::TComponent* Owner = nullptr);

 protected:
  // Adds one instance of every function, in the package's fixed creation order.
  void CreateFunctions() override;
};

}  // namespace rulecore
