// TObjectPackage: rules reach into the host's objects through the object model - create and
// free objects and components, find components by name, read and write published properties by
// name, list property names, test classes and run actions ("create-object", "get-property",
// "set-property", "is-class"...).
//
// Objects travel as object values and classes as class values.  A value refers to its object
// without owning it; an object freed meanwhile (by "free-object", its owner or the host) reads
// as no object from every value that still names it.  What "create-object" makes has no owner:
// the package keeps it until it is freed, and frees what is left when the package goes (with
// its engine), so that rules cannot leak memory.  "free-object" refuses engines, the
// components above the engine, its parts, collections and counted objects: what their holders
// free.
#pragma once

#include <mutex>
#include <unordered_set>

#include "IEPackages.h"

namespace rulecore {

class TObjectPackage : public TUserPackage {
  PLATFORM_CLASS(TObjectPackage, TUserPackage)
 public:
  explicit TObjectPackage(platform::TComponent* Owner = nullptr);
  // Frees the objects made by "create-object" that nobody has freed.
  ~TObjectPackage() override;

  // Keeps Object, made for a rule without an owner, until it is freed.
  void Keep(platform::TObject& Object);
  // The number of such objects still alive.
  int KeptCount() const;

 protected:
  void CreateFunctions() override;

 private:
  static void Forget(void* Package, const platform::TObject& Gone) noexcept;
  // Objects may be freed on any thread (by the host): the set is locked.
  mutable std::mutex KeptLock_;
  std::unordered_set<const platform::TObject*> Kept_;
};

}  // namespace rulecore
