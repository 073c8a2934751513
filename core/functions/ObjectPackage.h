// TObjectPackage: rules reach into the host's objects through the object model - create and
// free objects and components, find components by name, read and write published properties by
// name, list property names, test classes and run actions ("create-object", "get-property",
// "set-property", "is-class"...).
//
// Objects travel as object values and classes as class values.  A value refers to its object
// without owning it; an object freed meanwhile (by "free-object", its owner or the host) reads
// as no object from every value that still names it.  "free-object" refuses engines, the
// components above the engine, its parts, collections and counted objects: what their holders
// free.
#pragma once

#include "IEPackages.h"

namespace rulecore {

class TObjectPackage : public TUserPackage {
  PLATFORM_CLASS(TObjectPackage, TUserPackage)
 public:
  explicit TObjectPackage(platform::TComponent* Owner = nullptr);

 protected:
  void CreateFunctions() override;
};

}  // namespace rulecore
