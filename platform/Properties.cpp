#include "Properties.h"

#include <map>
#include <mutex>

#include "Format.h"

namespace platform {

bool TPropInfo::IsStored(const TObject& Instance) const {
  if (!HasDefault || Kind == pkEvent) return true;
  const TPropValue Current = Get(Instance);
  if (Current.index() != Default.index()) return true;
  switch (Current.index()) {
    case 1: return std::get<int64_t>(Current) != std::get<int64_t>(Default);
    case 2: return std::get<double>(Current) != std::get<double>(Default);
    case 3: return std::get<std::string>(Current) != std::get<std::string>(Default);
    case 4: return std::get<bool>(Current) != std::get<bool>(Default);
    case 5: return std::get<TObject*>(Current) != std::get<TObject*>(Default);
    default: return false;
  }
}

namespace {

struct TPropCache {
  std::mutex Lock;
  std::map<const TClass*, std::vector<TPropInfo>> Own;
  std::map<const TClass*, std::vector<const TPropInfo*>> All;
};

TPropCache& Cache() {
  static TPropCache C;
  return C;
}

const std::vector<const TPropInfo*>& BuildList(TPropCache& C, const TClass& Class) {
  auto Found = C.All.find(&Class);
  if (Found != C.All.end()) return Found->second;
  std::vector<const TPropInfo*> List;
  if (Class.Parent) List = BuildList(C, *Class.Parent);
  if (Class.DeclareProperties) {
    std::vector<TPropInfo>& Own = C.Own[&Class];
    Class.DeclareProperties(Own);
    for (const TPropInfo& P : Own) {
      // A property redeclared by a descendant replaces the inherited one in place.
      bool Replaced = false;
      for (const TPropInfo*& Existing : List)
        if (SameText(Existing->Name, P.Name)) {
          Existing = &P;
          Replaced = true;
        }
      if (!Replaced) List.push_back(&P);
    }
  }
  return C.All.emplace(&Class, std::move(List)).first->second;
}

}  // namespace

const std::vector<const TPropInfo*>& GetPropList(const TClass& Class) {
  TPropCache& C = Cache();
  std::lock_guard<std::mutex> G(C.Lock);
  return BuildList(C, Class);
}

const TPropInfo* GetPropInfo(const TClass& Class, std::string_view Name) {
  for (const TPropInfo* P : GetPropList(Class))
    if (SameText(P->Name, Name)) return P;
  return nullptr;
}

TPropValue GetPropValue(const TObject& Instance, std::string_view Name) {
  const TPropInfo* P = GetPropInfo(Instance.ClassType(), Name);
  if (!P) throw EPropertyError(Format("Property %s does not exist", {Name}));
  return P->Get(Instance);
}

void SetPropValue(TObject& Instance, std::string_view Name, const TPropValue& Value) {
  const TPropInfo* P = GetPropInfo(Instance.ClassType(), Name);
  if (!P) throw EPropertyError(Format("Property %s does not exist", {Name}));
  if (!P->Set) throw EPropertyError(Format("Property %s is read-only", {Name}));
  try {
    P->Set(Instance, Value);
  } catch (const std::bad_variant_access&) {
    throw EPropertyError(Format("Invalid property value for %s", {Name}));
  } catch (const std::bad_any_cast&) {
    throw EPropertyError(Format("Invalid property value for %s", {Name}));
  }
}

void SetDefaults(TObject& Instance) {
  for (const TPropInfo* P : GetPropList(Instance))
    if (P->HasDefault && P->Set) P->Set(Instance, P->Default);
}

void SwapEvents(TObject& A, TObject& B) {
  for (const TPropInfo* PA : GetPropList(A)) {
    if (PA->Kind != pkEvent || !PA->Set) continue;
    const TPropInfo* PB = GetPropInfo(B.ClassType(), PA->Name);
    if (!PB || PB->Kind != pkEvent || !PB->Set || PB->EventType != PA->EventType) continue;
    TPropValue VA = PA->Get(A);
    TPropValue VB = PB->Get(B);
    PA->Set(A, VB);
    PB->Set(B, VA);
  }
}

}  // namespace platform
