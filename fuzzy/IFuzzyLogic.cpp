#include "IFuzzyLogic.h"

#include <algorithm>
#include <cmath>

#include "FuzzyMessages.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

namespace vaguecore {

using platform::ICloneable;
using platform::TCloneable;
using platform::TPersistent;

// =============================================================================================
// TIFuzzySet
// =============================================================================================

TIFuzzySet::TIFuzzySet(const IFuzzyVariable& Variable, const std::string& Name) {
  TFuzzySet::SetName(Name);
  SetVariable(Variable);
}

TIFuzzySet::~TIFuzzySet() = default;

void TIFuzzySet::SetVariable(const IFuzzyVariable& Variable) {
  if (Variable == Variable_) return;
  IFuzzySet Keep;
  if (Variable_) {
    // Leaving the old variable's table may drop the last other reference to this set.
    Keep = IFuzzySet(this);
    TIFuzzySets& Old = Variable_->GetItems();
    if (Old.Get(GetName()).get() == this) Old.Table_.Remove(GetName());
  }
  Variable_ = Variable;
  if (!Variable_) return;
  Parser_ = Variable_->GetParser();
  if (Defined_) Variable_->NewFuzzySet(IFuzzySet(this));
}

void TIFuzzySet::SetName(const std::string& Name) {
  if (Name == GetName()) return;
  IFuzzySet Keep;
  const std::string OldName = GetName();
  const bool InTable = Variable_ && Variable_->GetItems().Get(OldName).get() == this;
  if (InTable) {
    Keep = IFuzzySet(this);
    Variable_->GetItems().Table_.Remove(OldName);
  }
  try {
    TFuzzySet::SetName(Name);
  } catch (...) {
    if (InTable) Variable_->GetItems().Store(Keep);  // a reserved name leaves the set as it was
    throw;
  }
  if (Variable_) Variable_->GetItems().Add(Keep ? Keep : IFuzzySet(this));
}

TFzyFloat TIFuzzySet::GetXMaximum() const {
  if (Variable_) return Variable_->GetMaximum();
  const TFuzzySetValues& V = GetValues();
  return V.GetCount() ? V.GetXValue(V.GetCount() - 1) : FuzzyUnboundedMaximum;
}

TFzyFloat TIFuzzySet::GetXMinimum() const {
  if (Variable_) return Variable_->GetMinimum();
  const TFuzzySetValues& V = GetValues();
  return V.GetCount() ? V.GetXValue(0) : FuzzyUnboundedMinimum;
}

TFzyFloat TIFuzzySet::GetXRange(int Index) const {
  if (Variable_ && (Index == 0 || Index == 1)) return Index == 0 ? Variable_->GetMaximum() : Variable_->GetMinimum();
  return TFuzzySet::GetXRange(Index);
}

int32_t TIFuzzySet::GetNumFunctionValues() const {
  return Variable_ ? Variable_->GetNumFunctionValues() : TFuzzySet::GetNumFunctionValues();
}

platform::Ref<TFuzzySet> TIFuzzySet::NewResultSet() const {
  platform::Ref<TFuzzySet> Result = TFuzzySet::NewResultSet();
  if (auto* Set = dynamic_cast<TIFuzzySet*>(Result.get())) {
    // Results are anonymous values of this set's variable: they do not enter its table.
    Set->Variable_ = Variable_;
    Set->Parser_ = Parser_;
  }
  return Result;
}

IFuzzySet TIFuzzySet::Combine(const TIFuzzySet& Set, TFuzzyOperation Operation, bool IsUnion) const {
  platform::Ref<TFuzzySet> Made =
      IsUnion ? TFuzzySet::Union(Set, Operation) : TFuzzySet::Intersection(Set, Operation);
  IFuzzySet Result = platform::RefCast<TIFuzzySet>(Made);
  if (!Result) return Result;
  const std::string_view Keyword =
      IsUnion ? FuzzyUnionKeywords[Operation] : FuzzyIntersectionKeywords[Operation];
  const std::string Left = GetExpression().empty() ? GetName() : GetExpression();
  const std::string Right = Set.GetExpression().empty() ? Set.GetName() : Set.GetExpression();
  Result->SetExpression(FormatFuzzyExpression(Left) + " " + std::string(Keyword) + " " +
                        FormatFuzzyExpression(Right));
  return Result;
}

IFuzzySet TIFuzzySet::Intersection(const TIFuzzySet& Set, TFuzzyOperation Operation) const {
  return Combine(Set, Operation, false);
}

IFuzzySet TIFuzzySet::Union(const TIFuzzySet& Set, TFuzzyOperation Operation) const {
  return Combine(Set, Operation, true);
}

IFuzzySet TIFuzzySet::AlphaCutoff(TFzyFloat Alpha, bool Strong) const {
  IFuzzySet Result = platform::RefCast<TIFuzzySet>(TFuzzySet::AlphaCutoff(Alpha, Strong));
  if (Result) {
    const TFzyFloat Clamped = std::clamp(Alpha, 0.0, 1.0);
    Result->TFuzzySet::SetName(GetName() + " (alpha=" + platform::Format("%.4f", {Clamped}) + ")");
  }
  return Result;
}

IFuzzySet TIFuzzySet::Cutoff(bool IsUnion, TFzyFloat Value) const {
  return platform::RefCast<TIFuzzySet>(TFuzzySet::Cutoff(IsUnion, Value));
}

TFzyFloat TIFuzzySet::Defuzzify() {
  if (Variable_ && Variable_->GetDefuzzificationMethod() == dmMeanOfMaxima) return MeanOfMaxima();
  return CenterOfGravity();
}

IFuzzySet TIFuzzySet::Clone() const {
  IFuzzySet Copy = platform::RefCast<TIFuzzySet>(TFuzzySet::NewResultSet());
  if (!Copy) Copy = platform::MakeRef<TIFuzzySet>();
  Copy->Assign(*this);
  return Copy;
}

IFuzzySet TIFuzzySet::CloneFor(const IFuzzyVariable& Variable) const {
  IFuzzySet Copy = platform::RefCast<TIFuzzySet>(TFuzzySet::NewResultSet());
  if (!Copy) Copy = platform::MakeRef<TIFuzzySet>();
  Copy->TFuzzySet::Assign(*this);
  Copy->TermIndex_ = TermIndex_;
  Copy->Defined_ = Defined_;
  Copy->SetVariable(Variable);
  if (Variable) Copy->Parser_ = Variable->GetParser();
  return Copy;
}

ICloneable TIFuzzySet::DoClone() const { return Clone(); }

void TIFuzzySet::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TIFuzzySet*>(&Source);
  if (!Other) return TFuzzySet::Assign(Source);
  if (Other == this) return;
  // The copy is an anonymous value: it shares the variable without entering its table.
  TFuzzySet::Assign(Source);
  Variable_ = Other->Variable_;
  Parser_ = Other->Parser_;
  SetTag(Other->GetTag());
}

TFzyFloat TIFuzzySet::GetThreshold() const noexcept { return Variable_ ? Variable_->GetThreshold() : 0; }

bool TIFuzzySet::SetEquals(const TIFuzzySet& Other) const {
  const TFzyFloat Threshold = GetThreshold();
  return Iterate(Other, [Threshold](TFzyFloat, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) {
    return std::min(Y1, Y2) >= Threshold;
  });
}

TFzyFloat TIFuzzySet::SetFuzzyEquals(const TIFuzzySet& Other) const {
  TFzyFloat Height = 0;
  Iterate(Other, [&Height](TFzyFloat, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) {
    Height = std::max(Height, std::min(Y1, Y2));
    return false;
  });
  return Height;
}

bool TIFuzzySet::Equals(const TCloneable* Other) const {
  if (Other == this) return true;
  const auto* Set = dynamic_cast<const TIFuzzySet*>(Other);
  return Set && SetEquals(*Set);
}

TFzyFloat TIFuzzySet::FuzzyEquals(const TCloneable* Other) const {
  const auto* Set = dynamic_cast<const TIFuzzySet*>(Other);
  return Set ? SetFuzzyEquals(*Set) : 0;
}

bool TIFuzzySet::EqualsValues(const TFuzzySet& Other) const {
  const TFuzzySetValues& A = GetValues();
  const TFuzzySetValues& B = Other.GetValues();
  if (A.GetCount() != B.GetCount()) return false;
  for (int I = 0; I < A.GetCount(); ++I)
    if (!FloatEquals(A.GetXValue(I), B.GetXValue(I)) || !FloatEquals(A.GetYValue(I), B.GetYValue(I))) return false;
  return true;
}

uint32_t TIFuzzySet::GetHashCode() const {
  uint32_t Hash = 0;
  for (char C : GetToString()) Hash = Hash * 31u + static_cast<unsigned char>(C);
  return Hash;
}

std::string TIFuzzySet::ValuesToString() const {
  std::string Text = "(";
  const TFuzzySetValues& V = GetValues();
  for (int I = 0; I < V.GetCount(); ++I) Text += platform::Format("(%.4f %.4f) ", {V.GetXValue(I), V.GetYValue(I)});
  return Text + ")";
}

std::string TIFuzzySet::GetToString() const {
  if (Parser_) return Parser_->PrettyPrint(*this, false);
  std::string Text = "(" + GetName() + " ";
  const TFuzzySetValues& V = GetValues();
  for (int I = 0; I < V.GetCount(); ++I) Text += platform::Format("(%.4f %.4f) ", {V.GetXValue(I), V.GetYValue(I)});
  return Text + ")";
}

// =============================================================================================
// TIFuzzySets
// =============================================================================================

void TIFuzzySets::Store(const IFuzzySet& Set) { Table_.Put(Set->GetName(), Set); }

void TIFuzzySets::Add(const IFuzzySet& Set) {
  if (!Set) return;
  if (Set->GetVariable().get() != Variable_) {
    // A Defined set registers itself when it joins the variable; an anonymous one is kept here.
    Set->SetVariable(IFuzzyVariable(Variable_));
    if (!Set->GetDefined()) Store(Set);
    return;
  }
  if (Set->GetDefined()) Store(Set);
}

IFuzzySet TIFuzzySets::Add(const std::string& Name) {
  const IFuzzyVariable Owner(Variable_);
  IFuzzySet Set;
  if (const auto Factory = Variable_->GetFuzzySetClass()) Set = Factory(Owner, Name);
  if (!Set) Set = platform::MakeRef<TIFuzzySet>(Owner, Name);
  Set->SetIndex(NewIndex());
  Set->SetDefined(Name != SEmptyFuzzySetName);
  Add(Set);
  return Set;
}

IFuzzySet TIFuzzySets::Remove(std::string_view Name) {
  IFuzzySet Removed = Table_.Remove(Name);
  if (Removed) Variable_->Changed();
  return Removed;
}

void TIFuzzySets::Clear() {
  // Moved out first: releasing the terms may call back into the variable.
  platform::TStringHashTable<IFuzzySet> Old;
  for (const auto& [Key, Set] : Table_) Old.Put(Key, Set);
  Table_.Clear();
  Old.Clear();
}

void TIFuzzySets::AssignFuzzySets(const TIFuzzyVariable& Other) {
  if (&Other.GetItems() == this) return;
  Clear();
  const IFuzzyVariable Owner(Variable_);
  for (const auto& [Key, Set] : Other.GetItems().Table_) {
    IFuzzySet Copy = Set->CloneFor(Owner);
    if (!Copy->GetDefined()) Store(Copy);
  }
  NextIndex_ = std::max(NextIndex_, Other.GetItems().NextIndex_);
}

bool TIFuzzySets::EqualsSets(const TIFuzzyVariable& Other) const {
  for (const auto& [Key, Set] : Table_) {
    if (!Set->GetDefined()) continue;
    const IFuzzySet Match = Other.GetFuzzySet(Key);
    // Terms are compared by their points: the fuzzy match of two sets is far weaker than
    // equality and would call different vocabularies the same.
    if (!Match || !Set->EqualsValues(*Match)) return false;
  }
  return true;
}

// =============================================================================================
// TIFuzzyVariable
// =============================================================================================

TIFuzzyVariable::TIFuzzyVariable(std::string Name) : Name_(std::move(Name)) { EnableReleaseHook(); }

TIFuzzyVariable::~TIFuzzyVariable() {
  Parser_ = nullptr;
  OnChange = nullptr;
  OnVariableChange = nullptr;
  OnFuzzySetChange = nullptr;
}

void TIFuzzyVariable::ReleaseHook(int32_t Left) const noexcept {
  if (BreakingCycle_) return;
  // Every term in the table holds one reference: when those are all that is left, nobody can
  // reach this variable any more but through its own terms.
  if (Left != Items_.Count()) return;
  auto* Self = const_cast<TIFuzzyVariable*>(this);
  Self->AddRef();
  BreakingCycle_ = true;
  Self->Items_.Clear();
  BreakingCycle_ = false;
  Self->Release();
}

void TIFuzzyVariable::Changed() {
  if (OnChange) OnChange(this);
  if (OnVariableChange) OnVariableChange(IFuzzyVariable(this));
}

void TIFuzzyVariable::FuzzySetChanged(const IFuzzySet& Set) {
  if (OnFuzzySetChange) OnFuzzySetChange(IFuzzyVariable(this), Set);
}

void TIFuzzyVariable::SetName(const std::string& Value) {
  if (Value == Name_) return;
  Name_ = Value;
  Changed();
}

void TIFuzzyVariable::SetUnits(const std::string& Value) {
  if (Value == Units_) return;
  Units_ = Value;
  Changed();
}

void TIFuzzyVariable::SetMinimum(TFzyFloat Value) {
  if (Value == Minimum_) return;
  Minimum_ = Value;
  if (Maximum_ < Minimum_) Maximum_ = Minimum_;
  Changed();
}

void TIFuzzyVariable::SetMaximum(TFzyFloat Value) {
  if (Value == Maximum_) return;
  Maximum_ = Value;
  if (Minimum_ > Maximum_) Minimum_ = Maximum_;
  Changed();
}

void SetUniverse(TIFuzzyVariable& Variable, TFzyFloat Min, TFzyFloat Max) {
  if (Max < Min) std::swap(Min, Max);
  if (Min > Variable.GetMaximum()) {
    Variable.SetMaximum(Max);
    Variable.SetMinimum(Min);
  } else {
    Variable.SetMinimum(Min);
    Variable.SetMaximum(Max);
  }
}

void TIFuzzyVariable::SetNumFunctionValues(int32_t Value) {
  if (Value == NumFunctionValues_) return;
  NumFunctionValues_ = Value;
  Changed();
}

void TIFuzzyVariable::SetDefuzzificationMethod(TDefuzzificationMethod Value) {
  if (Value == DefuzzificationMethod_) return;
  DefuzzificationMethod_ = Value;
  Changed();
}

void TIFuzzyVariable::SetThreshold(TFzyFloat Value) {
  Value = std::isnan(Value) ? 0 : std::clamp(Value, 0.0, 1.0);
  if (Value == Threshold_) return;
  Threshold_ = Value;
  Changed();
}

void TIFuzzyVariable::SetParser(IFuzzyParser* Value) {
  Parser_ = Value;
  for (const auto& [Key, Set] : Items_.Table_) Set->SetParser(Value);
}

IFuzzySet TIFuzzyVariable::Remove(const TIFuzzySet& Set) {
  if (Items_.Get(Set.GetName()).get() != &Set) return nullptr;
  return Items_.Remove(Set.GetName());
}

IFuzzySet TIFuzzyVariable::GetEmptyFuzzySet() {
  if (IFuzzySet Existing = Items_.Get(SEmptyFuzzySetName)) return Existing;
  IFuzzySet Empty = Items_.Add(std::string(SEmptyFuzzySetName));
  Items_.Store(Empty);  // kept, although not a Defined term, so that every use shares it
  return Empty;
}

std::vector<IFuzzySet> TIFuzzyVariable::TermsInOrder() const {
  std::vector<IFuzzySet> Terms;
  for (const auto& [Key, Set] : Items_.Table_)
    if (Set->GetDefined()) Terms.push_back(Set);
  std::stable_sort(Terms.begin(), Terms.end(),
                   [](const IFuzzySet& A, const IFuzzySet& B) { return A->GetIndex() < B->GetIndex(); });
  return Terms;
}

bool TIFuzzyVariable::Equals(const TCloneable* Other) const {
  if (Other == this) return true;
  const auto* V = dynamic_cast<const TIFuzzyVariable*>(Other);
  return V && Name_ == V->Name_ && Maximum_ == V->Maximum_ && Minimum_ == V->Minimum_ && Units_ == V->Units_ &&
         Items_.EqualsSets(*V);
}

std::string TIFuzzyVariable::GetToString() const {
  if (Parser_) return Parser_->PrettyPrint(*this);
  return Name_;
}

void TIFuzzyVariable::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TIFuzzyVariable*>(&Source);
  if (!Other) return TCloneable::Assign(Source);
  if (Other == this) return;
  DefuzzificationMethod_ = Other->DefuzzificationMethod_;
  Maximum_ = Other->Maximum_;
  Minimum_ = Other->Minimum_;
  Name_ = Other->Name_;
  Units_ = Other->Units_;
  NumFunctionValues_ = Other->NumFunctionValues_;
  SetTag(Other->GetTag());
  Parser_ = Other->Parser_;
  FuzzySetClass_ = Other->FuzzySetClass_;
  Items_.AssignFuzzySets(*Other);
  Changed();
}

IFuzzyVariable TIFuzzyVariable::Clone() const {
  auto* Made = dynamic_cast<TIFuzzyVariable*>(ClassType().CreateInstance());
  IFuzzyVariable Copy(Made ? Made : new TIFuzzyVariable());
  Copy->Assign(*this);
  return Copy;
}

ICloneable TIFuzzyVariable::DoClone() const { return Clone(); }

// =============================================================================================
// Variable tables
// =============================================================================================

bool TFuzzyVariableTable::ContainsVariable(const TIFuzzyVariable* Variable) const {
  for (const auto& [Key, V] : *this)
    if (V.get() == Variable) return true;
  return false;
}

IFuzzyVariable TFuzzyVariableTable::Remove(const TIFuzzyVariable* Variable) {
  for (const auto& [Key, V] : *this)
    if (V.get() == Variable) return TStringHashTable::Remove(std::string(Key));
  return nullptr;
}

size_t TFuzzyVariableStrings::Checked(int Index) const {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  return static_cast<size_t>(Index);
}

int TFuzzyVariableStrings::Add(const std::string& Text, const IFuzzyVariable& Variable) {
  Items_.emplace_back(Text, Variable);
  return Count() - 1;
}

const std::string& TFuzzyVariableStrings::GetString(int Index) const { return Items_[Checked(Index)].first; }
const IFuzzyVariable& TFuzzyVariableStrings::GetVariable(int Index) const { return Items_[Checked(Index)].second; }
void TFuzzyVariableStrings::PutVariable(int Index, const IFuzzyVariable& Variable) {
  Items_[Checked(Index)].second = Variable;
}

int TFuzzyVariableStrings::IndexOf(std::string_view Text) const noexcept {
  for (size_t I = 0; I < Items_.size(); ++I)
    if (platform::SameText(Items_[I].first, Text)) return static_cast<int>(I);
  return -1;
}

void TFuzzyVariableStrings::Delete(int Index) { Items_.erase(Items_.begin() + static_cast<std::ptrdiff_t>(Checked(Index))); }

}  // namespace vaguecore
