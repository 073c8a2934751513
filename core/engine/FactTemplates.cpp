#include "FactTemplates.h"

#include "InferenceEngine.h"
#include "core/values/IEException.h"

namespace rulecore {

namespace {

// A template without slots holds its fields in the implied multislot: it is ordered.
void GiveImpliedSlot(TFactTemplate& Template) {
  if (Template.GetSlotCount() == 0) Template.AddMultiSlot(std::string(SDefaultSlotName), FCNilList);
}

TDuplicateConstructs PolicyOf(const TInferenceEngine* Engine) {
  return Engine ? Engine->GetDuplicateConstructs() : dcOverwrite;
}

}  // namespace

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

IIEDefinedType TIEDefinedTypes::Remove(std::string_view Name) {
  IIEDefinedType Type = Get(Name);
  if (!Type) return nullptr;
  if (Engine_) Engine_->RemoveDependencies(*Type);
  return TStringHashTable::Remove(Name);
}

void TIEDefinedTypes::Clear() {
  TStringHashTable::Clear();
  if (Engine_) Engine_->GetFactTemplates().Clear();
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
  }
  TStringHashTable::Put(Name, Type);
}

}  // namespace rulecore
