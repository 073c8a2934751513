#include "FactTemplates.h"

#include <algorithm>
#include <vector>

#include "InferenceEngine.h"
#include "core/values/IEException.h"
#include "fuzzy/IFuzzyLogic.h"

namespace rulecore {

namespace {

constexpr std::string_view NL = "\r\n";

// A template without slots holds its fields in the implied multislot: it is ordered.
void GiveImpliedSlot(TFactTemplate& Template) {
  if (Template.GetSlotCount() == 0) Template.AddMultiSlot(std::string(SDefaultSlotName), FCNilList);
}

TDuplicateConstructs PolicyOf(const TInferenceEngine* Engine) {
  return Engine ? Engine->GetDuplicateConstructs() : dcOverwrite;
}

// The entries of Table without a parent in table order, then the others each after its parent
// (a parent outside the table counts as listed).  A cycle raises Corrupt.
template <class V, class TParentName>
std::string ParentsFirstText(const platform::TStringHashTable<V>& Table, TParentName ParentName, TIEMessage Corrupt) {
  const int N = Table.Count();
  std::vector<bool> Done(static_cast<size_t>(N), false);
  std::string Text;
  for (int Placed = 0; Placed < N;) {
    bool Progress = false;
    for (int I = 0; I < N; ++I) {
      if (Done[static_cast<size_t>(I)]) continue;
      const std::string Parent = ParentName(Table.ValueAt(I));
      const int P = Parent.empty() ? -1 : Table.IndexOf(Parent);
      if (P >= 0 && !Done[static_cast<size_t>(P)]) continue;
      Text += Table.ValueAt(I)->GetToString();
      Text += NL;
      Done[static_cast<size_t>(I)] = true;
      ++Placed;
      Progress = true;
    }
    if (!Progress) RaiseIE(Corrupt);
  }
  return Text;
}

}  // namespace

// --- templates ------------------------------------------------------------------------------

void TFactTemplates::Put(const std::string& Name, const IFactTemplate& Template) {
  if (!Template) return;
  IFactTemplate Existing;
  if (ContainsKey(Name, Existing)) {
    if (Existing == Template) return;
    switch (PolicyOf(Engine_)) {
      case dcIgnore:
        return;
      case dcError:
        RaiseIE(SDuplicateTemplateNames, {Name});
      case dcOverwrite:
        break;
    }
    Replace(Existing, Template);
    return;
  }
  GiveImpliedSlot(*Template);
  TStringHashTable::Put(Name, Template);
  if (Engine_) Engine_->AddFactTemplate(Template);
}

void TFactTemplates::Replace(const IFactTemplate& Old, const IFactTemplate& New) {
  GiveImpliedSlot(*New);
  if (Engine_) Engine_->RemoveFactTemplate(Old);
  TStringHashTable::Remove(Old->GetTemplateName());
  TStringHashTable::Put(New->GetTemplateName(), New);
  if (Engine_) Engine_->ReplaceTemplate(Old, New);
}

IFactTemplate TFactTemplates::Remove(std::string_view Name) {
  IFactTemplate Template = Get(Name);
  if (!Template) return nullptr;
  if (Engine_) {
    Engine_->RemoveFactTemplate(Template);
    Engine_->RemoveDependencies(*Template);
  }
  return TStringHashTable::Remove(Name);
}

void TFactTemplates::Clear() {
  if (Engine_) Engine_->RemoveDependencies();
  TStringHashTable::Clear();
  if (Engine_) Engine_->ClearFactTemplates();
}

void TFactTemplates::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TFactTemplates*>(&Source);
  if (!From) return TPersistent::Assign(Source);
  if (From == this) return;
  for (int I = Count() - 1; I >= 0; --I)
    if (I < Count() && !From->ContainsKey(KeyAt(I))) Remove(KeyAt(I));
  for (int I = 0; I < Count(); ++I) {
    const IFactTemplate Mine = ValueAt(I);
    const IFactTemplate Theirs = From->Get(KeyAt(I));
    if (Mine->Equals(Theirs.get())) continue;
    IFactTemplate Copy = Mine->Clone(Engine_);
    Copy->Assign(platform::RefCast<platform::TCloneable>(Theirs));
    Replace(Mine, Copy);
  }
  CopySettings(*From);
  for (const auto& [Name, Theirs] : *From) {
    if (IFactTemplate Mine = Get(Name)) {
      if (!Mine->Equals(Theirs.get())) Mine->Assign(platform::RefCast<platform::TCloneable>(Theirs));
      continue;
    }
    IFactTemplate Copy = Theirs->Clone(Engine_);
    Copy->Assign(platform::RefCast<platform::TCloneable>(Theirs));
    Put(Name, Copy);
  }
}

std::string TFactTemplates::ToString() const {
  return ParentsFirstText(
      *this, [](const IFactTemplate& T) { return T->GetParent() ? T->GetParent()->GetTemplateName() : std::string(); },
      SFactTemplateInheritanceCorrupt);
}

// --- defined types --------------------------------------------------------------------------

void TIEDefinedTypes::Join(const IIEDefinedType& Type) {
  if (!Engine_) return;
  if (Type->GetReasoner() != Engine_) Type->SetReasoner(Engine_);
  const IFuzzyVariable& Variable = Type->GetFuzzyType();
  if (!Variable) return;
  Variable->SetThreshold(Engine_->GetFuzzyEqualsThreshold());
  if (!Engine_->GetFuzzyAutoTerms()) return;
  // "medium" peaks in the middle of the universe (half the width above the minimum, so that a
  // universe that does not start at 0 still gets a well-formed triangle).
  const vaguecore::TFzyFloat Min = Variable->GetMinimum();
  const vaguecore::TFzyFloat Max = Variable->GetMaximum();
  if (!Variable->ContainsFuzzySet("low")) {
    vaguecore::IFuzzySet Low = Variable->Add("low");
    Low->GetValues().Add(Min, 1);
    Low->GetValues().Add(Max, 0);
  }
  if (!Variable->ContainsFuzzySet("medium"))
    Variable->Add("medium")->CreateTriangleFunctionValues(Min, Min + (Max - Min) / 2, Max);
  if (!Variable->ContainsFuzzySet("high")) {
    vaguecore::IFuzzySet High = Variable->Add("high");
    High->GetValues().Add(Min, 0);
    High->GetValues().Add(Max, 1);
  }
}

void TIEDefinedTypes::Put(const std::string& Name, const IIEDefinedType& Type) {
  if (!Type) return;
  IIEDefinedType Existing;
  if (ContainsKey(Name, Existing)) {
    if (Existing == Type) return;
    switch (PolicyOf(Engine_)) {
      case dcIgnore:
        return;
      case dcError:
        RaiseIE(SDuplicateDefTypeNames, {Name});
      case dcOverwrite:
        break;
    }
    Join(Type);
    Replace(Existing, Type);
    return;
  }
  Join(Type);
  TStringHashTable::Put(Name, Type);
  if (Engine_) Engine_->AddDefinedType(Type);
}

void TIEDefinedTypes::Replace(const IIEDefinedType& Old, const IIEDefinedType& New) {
  if (Engine_) Engine_->RemoveDefinedType(Old);
  TStringHashTable::Remove(Old->GetName());
  TStringHashTable::Put(New->GetName(), New);
  if (Engine_) Engine_->ReplaceDefinedType(Old, New);
  if (Old->GetReasoner() == Engine_) Old->SetReasoner(nullptr);
}

IIEDefinedType TIEDefinedTypes::Remove(std::string_view Name) {
  IIEDefinedType Type = Get(Name);
  if (!Type) return nullptr;
  if (Engine_) {
    if (Type->GetReasoner() == Engine_) Type->SetReasoner(nullptr);
    Engine_->RemoveDefinedType(Type);
    Engine_->RemoveDependencies(*Type);
  }
  return TStringHashTable::Remove(Name);
}

void TIEDefinedTypes::Clear() {
  TStringHashTable::Clear();
  if (!Engine_) return;
  Engine_->GetFactTemplates().Clear();
  Engine_->ClearDefinedTypes();
}

void TIEDefinedTypes::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TIEDefinedTypes*>(&Source);
  if (!From) return TPersistent::Assign(Source);
  if (From == this) return;
  const auto CopyOf = [this](const IIEDefinedType& Type) {
    IIEDefinedType Copy = Type->Clone();
    Copy->SetReasoner(Engine_);
    return Copy;
  };
  for (int I = Count() - 1; I >= 0; --I)
    if (I < Count() && !From->ContainsKey(KeyAt(I))) Remove(KeyAt(I));
  for (int I = 0; I < Count(); ++I) {
    const IIEDefinedType Mine = ValueAt(I);
    const IIEDefinedType Theirs = From->Get(KeyAt(I));
    if (!Mine->Equals(Theirs.get())) Replace(Mine, CopyOf(Theirs));
  }
  CopySettings(*From);
  for (const auto& [Name, Theirs] : *From)
    if (!ContainsKey(Name)) Put(Name, CopyOf(Theirs));
  // Ancestors point at this registry's types, not at the source's.
  for (const auto& [Name, Theirs] : *From) {
    if (!Theirs->GetAncestor()) continue;
    const IIEDefinedType Mine = Get(Name);
    const IIEDefinedType Ancestor = Get(Theirs->GetAncestor()->GetName());
    if (Mine && Ancestor) Mine->SetAncestor(Ancestor);
  }
}

std::string TIEDefinedTypes::ToString() const {
  return ParentsFirstText(
      *this, [](const IIEDefinedType& T) { return T->GetAncestor() ? T->GetAncestor()->GetName() : std::string(); },
      STypeInheritanceCorrupt);
}

std::string TIEDefinedTypes::GetNamesToString() const {
  std::string Text;
  for (const auto& [Name, Type] : *this) {
    Text += Name;
    Text += NL;
  }
  return Text;
}

}  // namespace rulecore
