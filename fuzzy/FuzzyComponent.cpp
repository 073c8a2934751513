// The fuzzy component and its collections, and the registration of the library's streamed
// classes.
//
// Sections: sets - variable - variables - component - registration.
#include "FuzzyComponent.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "FuzzyMessages.h"
#include "platform/ComponentStream.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/StringList.h"

namespace vaguecore {

namespace {

// A collection typed by its item class must be given that class or a descendant: its typed
// accessors rely on it.
void CheckItemClass(const platform::TClass& Given, const platform::TClass& Required) {
  if (!Given.InheritsFrom(Required))
    throw platform::EConvertError(
        platform::Format("Cannot make a collection of %s from %s", {Required.Name, Given.Name}));
}

const platform::TClass& CheckedSetClass(const platform::TClass& SetClass) {
  CheckItemClass(SetClass, TFuzzySet::StaticClass());
  return SetClass;
}

const platform::TClass& CheckedVariableClass(const platform::TClass& VariableClass) {
  CheckItemClass(VariableClass, TFuzzyVariable::StaticClass());
  return VariableClass;
}

}  // namespace

// =============================================================================================
// Sets
// =============================================================================================

TFuzzySets::TFuzzySets(TFuzzyVariable* Variable, const platform::TClass& SetClass)
    : platform::TCollection(CheckedSetClass(SetClass), Variable), Variable_(Variable) {}

// The new set and the new selection make one change: the selection is stored before the
// addition is reported.
TFuzzySet* TFuzzySets::Add() {
  SuspendUpdates();
  TFuzzySet* Set;
  try {
    Set = static_cast<TFuzzySet*>(platform::TCollection::Add());
  } catch (...) {
    ResumeUpdates();
    throw;
  }
  ResumeUpdates();
  if (Variable_) Variable_->ItemIndex_ = Set->GetIndex();
  Changed();
  return Set;
}

void TFuzzySets::Update(platform::TCollectionItem* Item) {
  if (Variable_) Variable_->Update(static_cast<TFuzzySet*>(Item));
  platform::TCollection::Update(Item);
}

// =============================================================================================
// Variable
// =============================================================================================

TFuzzyVariable::TFuzzyVariable() : TFuzzyVariable(TDeferred{}, TFuzzySet::StaticClass()) { Construct(); }

TFuzzyVariable::TFuzzyVariable(const platform::TClass& SetClass) : TFuzzyVariable(TDeferred{}, SetClass) {
  Construct();
}

TFuzzyVariable::TFuzzyVariable(TDeferred, const platform::TClass& SetClass) : SetClass_(&CheckedSetClass(SetClass)) {}

TFuzzyVariable::~TFuzzyVariable() = default;

void TFuzzyVariable::Construct() {
  if (Items_) return;
  std::unique_ptr<TFuzzySets> Made = CreateItems();
  if (!Made || Made->GetVariable() != this)
    throw platform::EConvertError(platform::Format("%s.CreateItems made no sets of this variable", {ClassName()}));
  Items_ = std::move(Made);
}

std::unique_ptr<TFuzzySets> TFuzzyVariable::CreateItems() { return std::make_unique<TFuzzySets>(this, *SetClass_); }

void TFuzzyVariable::SetName(const std::string& Value) {
  if (Value == Name_) return;
  Name_ = Value;
  Report();
}

void TFuzzyVariable::SetUnits(const std::string& Value) {
  if (Value == Units_) return;
  Units_ = Value;
  Report();
}

// A range bound that is not a finite number would give every shape and every clamped point
// of the sets a position that cannot be ordered.
void TFuzzyVariable::SetMinimum(TFzyFloat Value) {
  if (!std::isfinite(Value)) RaiseFzy(SNonFiniteRange, {"Minimum"});
  if (Value == Minimum_) return;
  Minimum_ = Value;
  if (Maximum_ < Minimum_) Maximum_ = Minimum_;
  Report();
}

void TFuzzyVariable::SetMaximum(TFzyFloat Value) {
  if (!std::isfinite(Value)) RaiseFzy(SNonFiniteRange, {"Maximum"});
  if (Value == Maximum_) return;
  Maximum_ = Value;
  if (Minimum_ > Maximum_) Minimum_ = Maximum_;
  Report();
}

// Below -1 no set and not "none" either: refused like an index past the end.
void TFuzzyVariable::SetItemIndex(int32_t Value) {
  if (Value == ItemIndex_) return;
  if (Value < -1 || Value >= Items_->GetCount()) throw EFzyException(platform::ListIndexMessage(Value));
  ItemIndex_ = Value;
  Report();
}

void TFuzzyVariable::SetItems(const TFuzzySets& Value) { Items_->Assign(Value); }

void TFuzzyVariable::SetItemsProp(TFuzzySets* Value) {
  if (Value) SetItems(*Value);
}

TCustomFuzzyLogic* TFuzzyVariable::GetFuzzy() const noexcept {
  const auto* Variables = dynamic_cast<const TFuzzyVariables*>(GetCollection());
  return Variables ? Variables->GetFuzzy() : nullptr;
}

int32_t TFuzzyVariable::GetNumFunctionValues() const {
  const TCustomFuzzyLogic* Fuzzy = GetFuzzy();
  return Fuzzy ? Fuzzy->GetNumFunctionValues() : DefaultNumFunctionValues;
}

bool TFuzzyVariable::IsLoading() const noexcept {
  const TCustomFuzzyLogic* Fuzzy = GetFuzzy();
  return Fuzzy && Fuzzy->IsLoading();
}

std::string TFuzzyVariable::GetDisplayName() const {
  return Name_.empty() ? platform::TCollectionItem::GetDisplayName() : Name_;
}

// The range comes first, so that the copied points are placed in it; the copy of the sets
// reports the variable changed, and so does the end of the assignment: only the last report
// is let through.
void TFuzzyVariable::Assign(const platform::TPersistent& Source) {
  const auto* S = dynamic_cast<const TFuzzyVariable*>(&Source);
  if (!S) {
    platform::TCollectionItem::Assign(Source);
    return;
  }
  if (S == this) return;
  const TFzyFloat OldMinimum = Minimum_, OldMaximum = Maximum_;
  ++Quiet_;
  try {
    Minimum_ = S->Minimum_;
    Maximum_ = S->Maximum_;
    Items_->Assign(*S->Items_);
  } catch (...) {
    Minimum_ = OldMinimum;
    Maximum_ = OldMaximum;
    --Quiet_;
    throw;
  }
  --Quiet_;
  Name_ = S->Name_;
  Units_ = S->Units_;
  ItemIndex_ = std::min(S->ItemIndex_, Items_->GetCount() - 1);
  Report();
}

void TFuzzyVariable::AssignTo(platform::TPersistent& Dest) const {
  if (auto* Strings = dynamic_cast<platform::TStringList*>(&Dest)) {
    Strings->Clear();
    for (int I = 0; I < Items_->GetCount(); ++I) {
      TFuzzySet* Set = Items_->GetItem(I);
      Strings->Add(Set->GetName(), Set);
    }
    return;
  }
  platform::TCollectionItem::AssignTo(Dest);
}

void TFuzzyVariable::Update(TFuzzySet* Set) {
  ClampItemIndex();
  if (!Set) {
    Report();
    return;
  }
  if (auto* Variables = dynamic_cast<TFuzzyVariables*>(GetCollection())) Variables->UpdateFuzzySet(Set);
}

void TFuzzyVariable::Report() {
  if (Quiet_ == 0) Changed(false);
}

void TFuzzyVariable::ClampItemIndex() noexcept {
  if (ItemIndex_ >= Items_->GetCount()) ItemIndex_ = Items_->GetCount() - 1;
}

// Items before ItemIndex: a stream is read in this order, and the selection must find its set.
void TFuzzyVariable::DeclareProperties(platform::TPropertyList<TFuzzyVariable>& P) {
  P.Add("Name", &TFuzzyVariable::GetName, &TFuzzyVariable::SetName);
  P.Add("Units", &TFuzzyVariable::GetUnits, &TFuzzyVariable::SetUnits);
  P.Add("Minimum", &TFuzzyVariable::GetMinimum, &TFuzzyVariable::SetMinimum, 0.0);
  P.Add("Maximum", &TFuzzyVariable::GetMaximum, &TFuzzyVariable::SetMaximum, 1.0);
  P.Add("Items", &TFuzzyVariable::ItemsProp, &TFuzzyVariable::SetItemsProp);
  P.Add("ItemIndex", &TFuzzyVariable::GetItemIndex, &TFuzzyVariable::SetItemIndex, -1);
}

// =============================================================================================
// Variables
// =============================================================================================

TFuzzyVariables::TFuzzyVariables(TCustomFuzzyLogic* Fuzzy, const platform::TClass& VariableClass)
    : platform::TCollection(CheckedVariableClass(VariableClass), Fuzzy), Fuzzy_(Fuzzy) {}

void TFuzzyVariables::Update(platform::TCollectionItem* Item) {
  auto* Variable = static_cast<TFuzzyVariable*>(Item);
  if (Variable) Variable->ClampItemIndex();
  if (Fuzzy_) {
    if (Variable)
      Fuzzy_->UpdateVariable(Variable);
    else
      Fuzzy_->Changed();
  }
  platform::TCollection::Update(Item);
}

// A bracket open on the variables hides the changes of their sets too: closing it reports
// the whole list.
void TFuzzyVariables::UpdateFuzzySet(TFuzzySet* Set) {
  if (GetUpdateCount() == 0 && Fuzzy_) Fuzzy_->UpdateFuzzySet(Set);
}

// =============================================================================================
// Component
// =============================================================================================

TCustomFuzzyLogic::TCustomFuzzyLogic(platform::TComponent* Owner) : TCustomFuzzyLogic(Owner, TDeferred{}) {
  Construct();
}

TCustomFuzzyLogic::TCustomFuzzyLogic(platform::TComponent* Owner, TDeferred) : platform::TComponent(Owner) {}

TCustomFuzzyLogic::~TCustomFuzzyLogic() {
  // Nobody hears of the tearing down.
  OnChange = nullptr;
  OnVariableChange = nullptr;
  OnFuzzySetChange = nullptr;
}

void TCustomFuzzyLogic::Construct() {
  if (Items_) return;
  std::unique_ptr<TFuzzyVariables> Made = CreateVariables();
  if (!Made || Made->GetFuzzy() != this)
    throw platform::EConvertError(
        platform::Format("%s.CreateVariables made no variables of this component", {ClassName()}));
  Items_ = std::move(Made);
}

std::unique_ptr<TFuzzyVariables> TCustomFuzzyLogic::CreateVariables() {
  return std::make_unique<TFuzzyVariables>(this);
}

void TCustomFuzzyLogic::SetItems(const TFuzzyVariables& Value) { Items_->Assign(Value); }

void TCustomFuzzyLogic::SetItemsProp(TFuzzyVariables* Value) {
  if (Value) SetItems(*Value);
}

void TCustomFuzzyLogic::SetNumFunctionValues(int32_t Value) noexcept { NumFunctionValues_ = std::max(Value, 2); }

void TCustomFuzzyLogic::Changed() {
  if (OnChange) OnChange(this);
}

void TCustomFuzzyLogic::UpdateVariable(TFuzzyVariable* Variable) {
  if (OnVariableChange) OnVariableChange(this, Variable);
}

void TCustomFuzzyLogic::UpdateFuzzySet(TFuzzySet* Set) {
  if (OnFuzzySetChange) OnFuzzySetChange(this, Set);
}

// The settings before the variables: a stream is read in this order.
void TFuzzyLogic::DeclareProperties(platform::TPropertyList<TFuzzyLogic>& P) {
  P.Add("NumFunctionValues", &TFuzzyLogic::GetNumFunctionValues, &TFuzzyLogic::SetNumFunctionValues,
        DefaultNumFunctionValues);
  P.Add("DefuzzificationMethod", &TFuzzyLogic::GetDefuzzificationMethod, &TFuzzyLogic::SetDefuzzificationMethod,
        dmCenterOfGravity);
  P.Add("Items", &TFuzzyLogic::ItemsProp, &TFuzzyLogic::SetItemsProp);
  P.AddField("OnChange", &TFuzzyLogic::OnChange);
  P.AddField("OnVariableChange", &TFuzzyLogic::OnVariableChange);
  P.AddField("OnFuzzySetChange", &TFuzzyLogic::OnFuzzySetChange);
}

// =============================================================================================
// Registration
// =============================================================================================

namespace {

// Every class of this library a stream may name, and what each stores besides its published
// properties.  A set stores its points itself (exactly, as [x, y] pairs), so the point list
// keeps its items out.
struct TFuzzyStreaming {
  TFuzzyStreaming() {
    platform::RegisterClass<TFuzzyLogic>();
    platform::RegisterClass<TCustomFuzzyLogic>();
    platform::RegisterClass<TFuzzyVariable>();
    platform::RegisterClass<TFuzzySet>();
    platform::RegisterClass<TFuzzySetValue>();
    platform::RegisterDefineProperties(TFuzzySet::StaticClass(), TFuzzySet::DefineProperties);
    platform::RegisterStoresItems(TFuzzySetValues::StaticClass(), false);
  }
};

const TFuzzyStreaming Registration;

}  // namespace

}  // namespace vaguecore
