#include "Object.h"

#include <mutex>
#include <unordered_map>

#include "Component.h"
#include "Exceptions.h"
#include "Format.h"
#include "ObjectWatch.h"

namespace platform {

bool TClass::InheritsFrom(const TClass& Other) const noexcept {
  for (const TClass* C = this; C; C = C->Parent)
    if (C == &Other) return true;
  return false;
}

TObject* TClass::CreateInstance(TComponent* Owner) const {
  if (!Factory) throw EClassNotFound(Format("Cannot create an instance of abstract class %s", {Name}));
  return Factory(Owner);
}

TObject::~TObject() {
  if (Watched_) detail::ObjectDestroyed(*this);
}

const TClass& TObject::StaticClass() noexcept {
  static const TClass Info{"TObject", nullptr, detail::FactoryFor<TObject>()};
  return Info;
}

void TObject::DestroyCounted() const noexcept { delete this; }

void TPersistent::Assign(const TPersistent& Source) { Source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& Dest) const { Dest.AssignError(this); }

void TPersistent::AssignError(const TPersistent* Source) const {
  const std::string SourceName = Source ? Source->ClassName() : std::string("nil");
  throw EConvertError(Format("Cannot assign a %s to a %s", {SourceName, ClassName()}));
}

namespace {

struct TRegistry {
  std::mutex Lock;
  std::unordered_map<std::string, const TClass*> ByName;  // key: upper-case name
};

TRegistry& Registry() {
  static TRegistry R;
  return R;
}

}  // namespace

void RegisterClass(const TClass& Class) {
  TRegistry& R = Registry();
  std::lock_guard<std::mutex> G(R.Lock);
  R.ByName[UpperCase(Class.Name)] = &Class;
}

void UnRegisterClass(const TClass& Class) {
  TRegistry& R = Registry();
  std::lock_guard<std::mutex> G(R.Lock);
  auto It = R.ByName.find(UpperCase(Class.Name));
  if (It != R.ByName.end() && It->second == &Class) R.ByName.erase(It);
}

const TClass* FindClass(std::string_view Name) noexcept {
  TRegistry& R = Registry();
  std::lock_guard<std::mutex> G(R.Lock);
  try {
    auto It = R.ByName.find(UpperCase(Name));
    return It == R.ByName.end() ? nullptr : It->second;
  } catch (...) {
    return nullptr;
  }
}

const TClass& GetClass(std::string_view Name) {
  if (const TClass* C = FindClass(Name)) return *C;
  throw EClassNotFound(Format("Class %s not found", {Name}));
}

TObject* CreateObjectByName(std::string_view Name, TComponent* Owner) {
  return GetClass(Name).CreateInstance(Owner);
}

}  // namespace platform
