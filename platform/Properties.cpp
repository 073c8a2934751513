#include "Properties.h"

#include <algorithm>
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

std::vector<std::string> GetPropNames(const TClass& Class) {
  std::vector<std::string> Names;
  for (const TPropInfo* P : GetPropList(Class))
    if (P->Kind != pkEvent) Names.push_back(P->Name);
  std::sort(Names.begin(), Names.end(), [](const std::string& A, const std::string& B) {
    const int Order = CompareText(A, B);
    return Order != 0 ? Order < 0 : A < B;
  });
  return Names;
}

void RaiseInvalidPropertyType(TPropKind Kind) {
  throw EPropertyError(Format("Invalid property type: %s", {EnumName(Kind)}));
}

namespace {

const TEnumInfo& NamesOf(const TPropInfo& Info, TPropKind Kind) {
  if (Info.Kind != Kind || !Info.EnumType) RaiseInvalidPropertyType(Info.Kind);
  return *Info.EnumType;
}

}  // namespace

void RaiseInvalidPropertyElement(std::string_view Text) {
  throw EPropertyConvertError(Format("Invalid property element: %s", {Text}));
}

std::string GetEnumProp(const TObject& Instance, const TPropInfo& Info) {
  const TEnumInfo& Names = NamesOf(Info, pkEnumeration);
  return std::string(Names.NameOf(static_cast<unsigned>(std::get<int64_t>(Info.Get(Instance)))));
}

void SetEnumProp(TObject& Instance, const TPropInfo& Info, std::string_view Name) {
  const TEnumInfo& Names = NamesOf(Info, pkEnumeration);
  const std::optional<unsigned> Ordinal = Names.OrdinalOf(Name);
  if (!Ordinal) RaiseInvalidPropertyElement(Name);
  if (!Info.Set) throw EPropertyError(Format("Property %s is read-only", {Info.Name}));
  Info.Set(Instance, static_cast<int64_t>(*Ordinal));
}

std::string SetToString(const TEnumInfo& Info, uint64_t Mask) {
  std::string Text = "[";
  for (unsigned I = 0; I < Info.Count() && I < 64; ++I)
    if (Mask & (uint64_t(1) << I)) {
      if (Text.size() > 1) Text += ',';
      Text += Info.NameOf(I);
    }
  return Text + "]";
}

uint64_t StringToSet(const TEnumInfo& Info, std::string_view Text) {
  auto IsBlank = [](char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; };
  auto Trim = [&](std::string_view T) {
    while (!T.empty() && IsBlank(T.front())) T.remove_prefix(1);
    while (!T.empty() && IsBlank(T.back())) T.remove_suffix(1);
    return T;
  };
  std::string_view Rest = Trim(Text);
  if (!Rest.empty() && Rest.front() == '[') {
    if (Rest.back() != ']') RaiseInvalidPropertyElement(Text);
    Rest = Trim(Rest.substr(1, Rest.size() - 2));
  }
  uint64_t Mask = 0;
  while (!Rest.empty()) {
    const size_t Comma = Rest.find(',');
    const std::string_view Name = Trim(Rest.substr(0, Comma));
    const std::optional<unsigned> Ordinal = Name.empty() ? std::nullopt : Info.OrdinalOf(Name);
    if (!Ordinal || *Ordinal >= 64) RaiseInvalidPropertyElement(Name);
    Mask |= uint64_t(1) << *Ordinal;
    if (Comma == std::string_view::npos) break;
    Rest = Rest.substr(Comma + 1);
    if (Trim(Rest).empty()) RaiseInvalidPropertyElement(Text);  // a trailing comma
  }
  return Mask;
}

std::string GetSetProp(const TObject& Instance, const TPropInfo& Info) {
  const TEnumInfo& Names = NamesOf(Info, pkSet);
  return SetToString(Names, static_cast<uint64_t>(std::get<int64_t>(Info.Get(Instance))));
}

void SetSetProp(TObject& Instance, const TPropInfo& Info, std::string_view Text) {
  const TEnumInfo& Names = NamesOf(Info, pkSet);
  const uint64_t Mask = StringToSet(Names, Text);
  if (!Info.Set) throw EPropertyError(Format("Property %s is read-only", {Info.Name}));
  Info.Set(Instance, static_cast<int64_t>(Mask));
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
