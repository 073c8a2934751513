#include "IEDefinedType.h"

#include <algorithm>
#include <cmath>

#include "IEException.h"
#include "IEFuzzySet.h"
#include "fuzzy/FuzzySet.h"
#include "platform/Format.h"
#include "platform/StringList.h"

namespace rulecore {

using platform::ICloneable;
using platform::TCloneable;
using platform::TPersistent;
using vaguecore::TIFuzzyVariable;

namespace {

std::string KindName(TValueConstraint Kind) {
  // "vcAtom" -> "Atom"
  return platform::EnumName(Kind).substr(2);
}

bool ContainsText(const std::vector<std::string>& List, std::string_view Text, bool IgnoreCase) {
  for (const std::string& S : List)
    if (IgnoreCase ? platform::SameText(S, Text) : S == Text) return true;
  return false;
}

}  // namespace

namespace {

// Set once as the library loads (the rule language's printer), read ever after.
TDefinedTypePrinter DefaultPrinter = nullptr;

}  // namespace

void SetDefinedTypePrinter(TDefinedTypePrinter Printer) noexcept { DefaultPrinter = Printer; }

TIEDefinedType::TIEDefinedType(IDefinedTypeHost* Reasoner) : Floats_(platform::MakeRef<TValueVector>()), Reasoner_(Reasoner) {}

TIEDefinedType::~TIEDefinedType() {
  OnChange_ = nullptr;
  if (FuzzyType_) FuzzyType_->SetParser(nullptr);
}

// =============================================================================================
// Change notification
// =============================================================================================

void TIEDefinedType::Change() {
  if (UpdateCount_ > 0) {
    ChangePending_ = true;
    return;
  }
  ChangePending_ = false;
  if (OnChange_) OnChange_(this);
}

void TIEDefinedType::EndUpdate() {
  if (UpdateCount_ == 0) return;
  if (--UpdateCount_ == 0) Change();
}

// =============================================================================================
// Properties
// =============================================================================================

void TIEDefinedType::SetAncestor(const IIEDefinedType& Value) {
  if (Value == Ancestor_) return;
  for (const TIEDefinedType* T = Value.get(); T; T = T->Ancestor_.get())
    if (T == this) RaiseIE(STypeInheritanceLoop, {Name_});
  Ancestor_ = Value;
  if (Ancestor_) Implicit_ = false;
  Change();
}

void TIEDefinedType::SetBaseTypes(TIETypes Value) {
  if (Value == BaseTypes_) return;
  if (Value.Contains(dtFuzzy) && Value.Count() > 1) RaiseIE(SCannotMixFuzzy);
  const TIETypes Stored = Value & IESlotTypesWithFuzzy;
  const bool Fuzzy = Stored == TIETypes{dtFuzzy};
  IFuzzyVariable NewVariable;
  if (Fuzzy && !FuzzyType_) {
    auto* Factory = dynamic_cast<IFuzzyVariableFactory*>(Reasoner_);
    NewVariable = Factory ? Factory->NewFuzzyVariable(Name_) : platform::MakeRef<TIEFuzzyVariable>(Name_);
    if (RangeLimited_) vaguecore::SetUniverse(*NewVariable, MinRange_, MaxRange_);
    NewVariable->SetUnits(Units_);
  }
  BeginUpdate();
  BaseTypes_ = Stored;
  if (NewVariable) AttachFuzzyVariable(NewVariable);
  if (!Fuzzy && FuzzyType_) AttachFuzzyVariable(nullptr);
  Change();
  EndUpdate();
}

void TIEDefinedType::SetFuzzyType(const IFuzzyVariable& Value) {
  if (Value == FuzzyType_) return;
  AttachFuzzyVariable(Value);
  Change();
}

void TIEDefinedType::AttachFuzzyVariable(const IFuzzyVariable& Value) {
  if (FuzzyType_ && FuzzyType_ != Value) FuzzyType_->SetParser(nullptr);
  FuzzyType_ = Value;
  if (!FuzzyType_) return;
  if (auto* Parser = dynamic_cast<vaguecore::IFuzzyParser*>(Reasoner_)) FuzzyType_->SetParser(Parser);
  BaseTypes_ = TIETypes{dtFuzzy};
  MinRange_ = FuzzyType_->GetMinimum();
  MaxRange_ = FuzzyType_->GetMaximum();
  Units_ = FuzzyType_->GetUnits();
}

void TIEDefinedType::SetComment(const std::string& Value) {
  if (Value == Comment_) return;
  Comment_ = Value;
  Change();
}

void TIEDefinedType::SetUnits(const std::string& Value) {
  if (Value == Units_) return;
  Units_ = Value;
  if (FuzzyType_) FuzzyType_->SetUnits(Value);
  Change();
}

void TIEDefinedType::SetName(const TIEName& Value) {
  if (Value == Name_) return;
  Name_ = Value;
  Change();
}

void TIEDefinedType::SetImplicit(bool Value) {
  if (Value == Implicit_) return;
  Implicit_ = Value;
  Change();
}

void TIEDefinedType::SetMinRange(double Value) {
  if (Value == MinRange_) return;
  MinRange_ = Value;
  if (MinRange_ > MaxRange_) MaxRange_ = MinRange_;
  if (FuzzyType_) vaguecore::SetUniverse(*FuzzyType_, MinRange_, MaxRange_);
  Change();
}

void TIEDefinedType::SetMaxRange(double Value) {
  if (Value == MaxRange_) return;
  MaxRange_ = Value;
  if (MaxRange_ < MinRange_) MinRange_ = MaxRange_;
  if (FuzzyType_) vaguecore::SetUniverse(*FuzzyType_, MinRange_, MaxRange_);
  Change();
}

void TIEDefinedType::SetRangeLimited(bool Value) {
  if (Value == RangeLimited_) return;
  RangeLimited_ = Value;
  Change();
}

void TIEDefinedType::SetMinCardinality(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == MinCardinality_) return;
  MinCardinality_ = Value;
  if (MaxCardinality_ < MinCardinality_) MaxCardinality_ = MinCardinality_;
  Change();
}

void TIEDefinedType::SetMaxCardinality(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == MaxCardinality_) return;
  MaxCardinality_ = Value;
  if (MinCardinality_ > MaxCardinality_) MinCardinality_ = MaxCardinality_;
  Change();
}

void TIEDefinedType::SetCardinalityLimited(bool Value) {
  if (Value == CardinalityLimited_) return;
  CardinalityLimited_ = Value;
  Change();
}

void TIEDefinedType::SetReasoner(IDefinedTypeHost* Value) {
  if (Value == Reasoner_) return;
  Reasoner_ = Value;
  if (FuzzyType_) FuzzyType_->SetParser(dynamic_cast<vaguecore::IFuzzyParser*>(Reasoner_));
}

// =============================================================================================
// Allowed values
// =============================================================================================

void TIEDefinedType::SetConstraints(TValueConstraints Value) {
  const TValueConstraints Leaving = Constraints_ - Value;
  if (Leaving.Contains(vcAtom)) Atoms_.clear();
  if (Leaving.Contains(vcString)) Strings_.clear();
  if (Leaving.Contains(vcInteger)) Integers_.clear();
  if (Leaving.Contains(vcFloat)) Floats_->Clear();
  Constraints_ = Value;
  Change();
}

const std::string& TIEDefinedType::GetConstraintAtom(int Index) const {
  if (Index < 0 || Index >= GetConstraintAtomsCount()) platform::ListIndexError(Index);
  return Atoms_[static_cast<size_t>(Index)];
}

const std::string& TIEDefinedType::GetConstraintString(int Index) const {
  if (Index < 0 || Index >= GetConstraintStringsCount()) platform::ListIndexError(Index);
  return Strings_[static_cast<size_t>(Index)];
}

int32_t TIEDefinedType::GetConstraintInteger(int Index) const {
  if (Index < 0 || Index >= GetConstraintIntegersCount()) platform::ListIndexError(Index);
  return Integers_[static_cast<size_t>(Index)];
}

double TIEDefinedType::GetConstraintFloat(int Index) const { return Floats_->Get(Index)->GetAsFloat(); }

TValueConstraint TIEDefinedType::GetValueConstraint(const TIEValue& Value) const {
  switch (Value.GetDType()) {
    case dtAtom: return vcAtom;
    case dtString: return vcString;
    case dtInteger:
      // An integer checks against the floats when only floats are constrained.
      if (!Constraints_.Contains(vcInteger) && Constraints_.Contains(vcFloat)) return vcFloat;
      return vcInteger;
    case dtFloat: {
      // A whole float checks against the integers when only integers are constrained.
      const double F = Value.GetAsFloat();
      int32_t I = 0;
      if (!Constraints_.Contains(vcFloat) && Constraints_.Contains(vcInteger) && std::trunc(F) == F &&
          TruncToInteger(F, I))
        return vcInteger;
      return vcFloat;
    }
    default:
      RaiseIE(SInvalidConstraint, {Name_, GetIETypeName(Value.GetDType()).substr(2)});
  }
}

void TIEDefinedType::AddConstraint(const TIEValue& Value) {
  const TValueConstraint Kind = GetValueConstraint(Value);
  if (!Constraints_.Contains(Kind))
    RaiseIE(SInvalidConstraint, {Name_, GetIETypeName(Value.GetDType()).substr(2)});
  switch (Kind) {
    case vcAtom:
    case vcString: {
      std::vector<std::string>& List = Kind == vcAtom ? Atoms_ : Strings_;
      const std::string Text(Value.GetText());
      if (ContainsText(List, Text, false)) return;
      List.push_back(Text);
      break;
    }
    case vcInteger: {
      const int32_t I = Value.GetAsInteger();
      if (std::find(Integers_.begin(), Integers_.end(), I) != Integers_.end()) return;
      Integers_.push_back(I);
      break;
    }
    case vcFloat: {
      IIEValue F = NewFloat(Value.GetAsFloat());
      for (const IIEValue& Existing : *Floats_)
        if (Existing->Equals(F)) return;
      Floats_->Add(F);
      break;
    }
  }
  Change();
}

void TIEDefinedType::RemoveConstraint(const TIEValue& Value) {
  const TValueConstraint Kind = GetValueConstraint(Value);
  if (!Constraints_.Contains(Kind)) return;
  bool Removed = false;
  switch (Kind) {
    case vcAtom:
    case vcString: {
      std::vector<std::string>& List = Kind == vcAtom ? Atoms_ : Strings_;
      auto It = std::find(List.begin(), List.end(), Value.GetText());
      if ((Removed = It != List.end())) List.erase(It);
      break;
    }
    case vcInteger: {
      auto It = std::find(Integers_.begin(), Integers_.end(), Value.GetAsInteger());
      if ((Removed = It != Integers_.end())) Integers_.erase(It);
      break;
    }
    case vcFloat: {
      const IIEValue F = NewFloat(Value.GetAsFloat());
      for (int I = 0; I < Floats_->GetValueCount(); ++I)
        if (Floats_->Get(I)->Equals(F)) {
          Floats_->Delete(I);
          Removed = true;
          break;
        }
      break;
    }
  }
  if (Removed) Change();
}

void TIEDefinedType::DeleteConstraint(int Index, TValueConstraint Kind) {
  if (!Constraints_.Contains(Kind)) RaiseIE(SNoSuchConstraint, {Name_, KindName(Kind)});
  switch (Kind) {
    case vcAtom:
    case vcString: {
      std::vector<std::string>& List = Kind == vcAtom ? Atoms_ : Strings_;
      if (Index < 0 || Index >= static_cast<int>(List.size())) platform::ListIndexError(Index);
      List.erase(List.begin() + Index);
      break;
    }
    case vcInteger:
      if (Index < 0 || Index >= GetConstraintIntegersCount()) platform::ListIndexError(Index);
      Integers_.erase(Integers_.begin() + Index);
      break;
    case vcFloat: Floats_->Delete(Index); break;
  }
  Change();
}

void TIEDefinedType::ClearConstraint(TValueConstraint Kind) { SetConstraints(Constraints_ - TValueConstraints{Kind}); }

void TIEDefinedType::ClearConstraints() { SetConstraints({}); }

void TIEDefinedType::ClearConstraints(TValueConstraints Kinds) { SetConstraints(Constraints_ - Kinds); }

bool TIEDefinedType::IsConstraint(const TIEValue& Value, TValueConstraint& Kind) const {
  const TIEType T = Value.GetDType();
  if (T != dtAtom && T != dtString && T != dtInteger && T != dtFloat) return false;
  Kind = GetValueConstraint(Value);
  if (!Constraints_.Contains(Kind)) return false;
  switch (Kind) {
    case vcAtom: return ContainsText(Atoms_, Value.GetText(), true);
    case vcString: return ContainsText(Strings_, Value.GetText(), true);
    case vcInteger: {
      int32_t I = 0;
      if (T == dtFloat && !TruncToInteger(Value.GetAsFloat(), I)) return false;
      if (T == dtInteger) I = Value.GetAsInteger();
      return std::find(Integers_.begin(), Integers_.end(), I) != Integers_.end();
    }
    case vcFloat: {
      const IIEValue F = NewFloat(Value.GetAsFloat());
      for (const IIEValue& Existing : *Floats_)
        if (Existing->Equals(F)) return true;
      return false;
    }
  }
  return false;
}

bool TIEDefinedType::IsConstraint(const TIEValue& Value) const {
  TValueConstraint Kind = vcAtom;
  return IsConstraint(Value, Kind);
}

bool TIEDefinedType::ConstraintsEqual(const TIEDefinedType& Other) const {
  if (Constraints_ != Other.Constraints_) return false;
  if (Constraints_.Contains(vcAtom) && Atoms_ != Other.Atoms_) return false;
  if (Constraints_.Contains(vcString) && Strings_ != Other.Strings_) return false;
  if (Constraints_.Contains(vcInteger) && Integers_ != Other.Integers_) return false;
  if (Constraints_.Contains(vcFloat)) {
    if (GetConstraintFloatsCount() != Other.GetConstraintFloatsCount()) return false;
    for (int I = 0; I < GetConstraintFloatsCount(); ++I)
      if (!FloatEquals(GetConstraintFloat(I), Other.GetConstraintFloat(I))) return false;
  }
  return true;
}

// =============================================================================================
// Validation and defaults
// =============================================================================================

std::optional<std::string> TIEDefinedType::InvalidReason(const TIEValue& Value) const {
  const TIEType T = Value.GetDType();
  if (T == dtList) {
    const IValueVector List = Value.GetAsList();
    if (CardinalityLimited_ &&
        (List->GetValueCount() < MinCardinality_ || List->GetValueCount() > MaxCardinality_))
      return FormatMessage(SListCardinalityError, {MinCardinality_, MaxCardinality_});
    for (const IIEValue& Element : *List) {
      if (!Element) continue;
      if (auto Reason = InvalidReason(*Element)) return FormatMessage(SInvalidValue, {Element->GetToString(), *Reason});
    }
    return std::nullopt;
  }
  if (BaseTypes_.Contains(dtFuzzy)) {
    if (T == dtFuzzy) {
      const IFuzzySet Set = Value.GetAsFuzzy();
      if (Set && FuzzyType_ && Set->GetVariable() == FuzzyType_) return std::nullopt;
      return std::string(MessageText(SInvalidFuzzyValue));
    }
    static constexpr TIETypes Convertible{dtAtom,    dtString,     dtInteger,      dtVariable,
                                          dtFloat,   dtFunCall,    dtSingletons,   dtMultiVariable};
    if (Convertible.Contains(T)) return std::nullopt;
    return std::string(MessageText(SInvalidFuzzyValue));
  }
  if (!(BaseTypes_ | IEAlwaysValidTypes).Contains(T))
    return FormatMessage(SNotCorrectType, {platform::UpperCase(SetToString(BaseTypes_, ", ", false)),
                                           Value.GetToString(), GetIETypeName(T)});
  if (T == dtAtom || T == dtString || T == dtInteger || T == dtFloat) {
    if (Constraints_.Contains(GetValueConstraint(Value)) && !IsConstraint(Value))
      return std::string(MessageText(SNotAllowedValue));
    if (RangeLimited_ && (T == dtInteger || T == dtFloat)) {
      const double N = Value.GetAsNumeric();
      if (N < MinRange_ || N > MaxRange_) return FormatMessage(SOutOfRangeError, {MinRange_, MaxRange_});
    }
  }
  return std::nullopt;
}

bool TIEDefinedType::IsValid(const TIEValue& Value) const { return !InvalidReason(Value); }

std::string TIEDefinedType::GetInvalidValueString(const TIEValue& Value) const {
  if (Value.GetDType() == dtList) {
    // A list outside the cardinality names the list; otherwise the message of its first
    // invalid element is the answer.
    auto Reason = InvalidReason(Value);
    if (!Reason) return {};
    const IValueVector List = Value.GetAsList();
    if (CardinalityLimited_ &&
        (List->GetValueCount() < MinCardinality_ || List->GetValueCount() > MaxCardinality_))
      return FormatMessage(SInvalidValue, {Value.GetToString(), *Reason});
    return *Reason;
  }
  auto Reason = InvalidReason(Value);
  return Reason ? FormatMessage(SInvalidValue, {Value.GetToString(), *Reason}) : std::string();
}

IIEValue TIEDefinedType::CreateSingleDefault() const {
  const bool BothDefault = MinRange_ == DefaultMinRange && MaxRange_ == DefaultMaxRange;
  if (BaseTypes_.Contains(dtAtom)) return NewAtom(Atoms_.empty() ? std::string() : Atoms_.front());
  if (BaseTypes_.Contains(dtString)) return NewString(Strings_.empty() ? std::string() : Strings_.front());
  if (BaseTypes_.Contains(dtInteger)) {
    if (!Integers_.empty()) return NewInteger(Integers_.front());
    if (!RangeLimited_ || BothDefault) return NewInteger(0);
    int32_t I = 0;
    const double Bound = MinRange_ != DefaultMinRange ? MinRange_ : MaxRange_;
    if (!TruncToInteger(Bound, I)) I = Bound < 0 ? INT32_MIN : INT32_MAX;  // a bound beyond 32 bits
    return NewInteger(I);
  }
  if (BaseTypes_.Contains(dtFloat)) {
    if (GetConstraintFloatsCount() > 0) return NewFloat(GetConstraintFloat(0));
    if (!RangeLimited_ || BothDefault) return NewFloat(0.0);
    return NewFloat(MinRange_ != DefaultMinRange ? MinRange_ : MaxRange_);
  }
  if (BaseTypes_.Contains(dtObject)) return platform::MakeRef<TIEValue>(static_cast<platform::TObject*>(nullptr), false);
  if (BaseTypes_.Contains(dtExternalAddress)) return platform::MakeRef<TIEValue>(static_cast<void*>(nullptr));
  if (BaseTypes_.Contains(dtFuzzy)) {
    if (!FuzzyType_) return FCNil;
    return platform::MakeRef<TIEValue>(FuzzyType_->GetEmptyFuzzySet());
  }
  if (BaseTypes_.Contains(dtFactId)) return platform::MakeRef<TIEValue>(0, dtFactId);
  if (BaseTypes_.Contains(dtFact)) return platform::MakeRef<TIEValue>();
  if (BaseTypes_.Contains(dtDescriptor)) return platform::MakeRef<TIEValue>(0, dtDescriptor);
  if (BaseTypes_.Contains(dtClass)) return platform::MakeRef<TIEValue>(static_cast<const platform::TClass*>(nullptr));
  return platform::MakeRef<TIEValue>();
}

IIEValue TIEDefinedType::CreateValidDefault(bool MultiSlot) const {
  if (!MultiSlot) return CreateSingleDefault();
  if (CardinalityLimited_ && MinCardinality_ > 0) {
    IValueVector List = NewList();
    List->Reserve(MinCardinality_);
    for (int32_t I = 0; I < MinCardinality_; ++I) List->Add(CreateSingleDefault());
    return platform::MakeRef<TIEValue>(List);
  }
  return FCNilList->Clone();
}

// =============================================================================================
// Comparison, text, copying
// =============================================================================================

bool TIEDefinedType::Equals(const TCloneable* Other) const {
  return Equals(dynamic_cast<const TIEDefinedType*>(Other));
}

bool TIEDefinedType::Equals(const TIEDefinedType* Other) const {
  if (!Other) return false;
  if (Other == this) return true;
  if (Name_ != Other->Name_ || BaseTypes_ != Other->BaseTypes_) return false;
  if (FuzzyType_) return Other->FuzzyType_ && FuzzyType_->Equals(Other->FuzzyType_.get());
  if (Other->FuzzyType_) return false;
  return FloatEquals(MaxRange_, Other->MaxRange_) && FloatEquals(MinRange_, Other->MinRange_) &&
         MaxCardinality_ == Other->MaxCardinality_ && MinCardinality_ == Other->MinCardinality_ &&
         RangeLimited_ == Other->RangeLimited_ && CardinalityLimited_ == Other->CardinalityLimited_ &&
         ConstraintsEqual(*Other);
}

std::string TIEDefinedType::GetToString() const {
  if (Reasoner_) return Reasoner_->PrettyPrint(*this);
  return DefaultPrinter ? DefaultPrinter(*this) : Name_;
}

void TIEDefinedType::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TIEDefinedType*>(&Source);
  if (!Other) return TCloneable::Assign(Source);
  if (Other == this) return;
  // Everything that can fail is prepared before this type is touched.
  IFuzzyVariable Variable = Other->FuzzyType_ ? Other->FuzzyType_->Clone() : IFuzzyVariable();
  IValueVector Floats = Other->Floats_->Clone();
  BeginUpdate();
  Ancestor_ = Other->Reasoner_ == Reasoner_ ? Other->Ancestor_ : IIEDefinedType();
  if (FuzzyType_ && FuzzyType_ != Variable) FuzzyType_->SetParser(nullptr);
  FuzzyType_ = nullptr;
  BaseTypes_ = Other->BaseTypes_;
  Name_ = Other->Name_;
  Comment_ = Other->Comment_;
  RangeLimited_ = Other->RangeLimited_;
  MaxRange_ = Other->MaxRange_;
  MinRange_ = Other->MinRange_;
  CardinalityLimited_ = Other->CardinalityLimited_;
  MaxCardinality_ = Other->MaxCardinality_;
  MinCardinality_ = Other->MinCardinality_;
  Implicit_ = Other->Implicit_;
  SetTag(Other->GetTag());
  Units_ = Other->Units_;
  if (Variable) AttachFuzzyVariable(Variable);
  Constraints_ = Other->Constraints_;
  Atoms_ = Other->Atoms_;
  Strings_ = Other->Strings_;
  Integers_ = Other->Integers_;
  Floats_ = std::move(Floats);
  Change();
  EndUpdate();
}

IIEDefinedType TIEDefinedType::Clone() const {
  auto* Copy = dynamic_cast<TIEDefinedType*>(ClassType().CreateInstance());
  IIEDefinedType Result(Copy ? Copy : new TIEDefinedType());
  Result->Reasoner_ = Reasoner_;
  Result->Assign(*this);
  return Result;
}

ICloneable TIEDefinedType::DoClone() const { return Clone(); }

void TIEDefinedType::AddOutline(platform::TOutlineNode& Parent) const {
  platform::TOutlineNode& Node = Parent.AddChild(Parent.Text + Name_);
  if (Ancestor_) Node.AddChild("Ancestor Type: " + Ancestor_->GetName());
  Node.AddChild("Primitive Types: " + SetToString(BaseTypes_, ", ", false));
  if (!Comment_.empty()) Node.AddChild("Comment: " + Comment_);
  if (!Units_.empty()) Node.AddChild("Units: " + Units_);
  if (CardinalityLimited_)
    Node.AddChild("Cardinality: " + std::to_string(MinCardinality_) + "-" + std::to_string(MaxCardinality_));
  if (RangeLimited_ || FuzzyType_) Node.AddChild("Range: " + platform::Format("%.4f-%.4f", {MinRange_, MaxRange_}));
  if (!Constraints_.Empty()) Node.AddChild("Allowed: " + GetAllowedString(*this));
  if (FuzzyType_) {
    platform::TOutlineNode& Terms = Node.AddChild("Fuzzy Terms: ");
    for (const IFuzzySet& Term : FuzzyType_->TermsInOrder()) Terms.AddChild(Term->GetToString());
  }
}

void TIEDefinedType::AssignTo(TPersistent& Dest) const {
  if (auto* Lines = dynamic_cast<platform::TStringList*>(&Dest)) {
    Lines->AddText(GetToString());
    return;
  }
  if (auto* Node = dynamic_cast<platform::TOutlineNode*>(&Dest)) {
    AddOutline(*Node);
    return;
  }
  TCloneable::AssignTo(Dest);
}

// =============================================================================================
// Allowed-value texts
// =============================================================================================

std::string ConstraintToString(const TIEDefinedType& Type, TValueConstraint Kind) {
  std::string Text;
  switch (Kind) {
    case vcAtom:
      for (int I = 0; I < Type.GetConstraintAtomsCount(); ++I) Text += Type.GetConstraintAtom(I) + " ";
      break;
    case vcString:
      for (int I = 0; I < Type.GetConstraintStringsCount(); ++I) Text += "\"" + Type.GetConstraintString(I) + "\" ";
      break;
    case vcInteger:
      for (int I = 0; I < Type.GetConstraintIntegersCount(); ++I)
        Text += std::to_string(Type.GetConstraintInteger(I)) + " ";
      break;
    case vcFloat:
      for (int I = 0; I < Type.GetConstraintFloatsCount(); ++I) Text += FloatToText(Type.GetConstraintFloat(I)) + " ";
      break;
  }
  return Text;
}

std::string GetAllowedString(const TIEDefinedType& Type) {
  const TValueConstraints C = Type.GetConstraints();
  const std::string Ind(IndentString), NL(NewLineString);
  auto Of = [&](TValueConstraint K) { return ConstraintToString(Type, K); };
  if (C == TValueConstraints::All())
    return Ind + "(allowed-values " + Of(vcAtom) + Of(vcString) + Of(vcInteger) + Of(vcFloat) + ")" + NL;
  std::string Text;
  const bool Ints = C.Contains(vcInteger), Floats = C.Contains(vcFloat);
  if (Ints && Floats)
    Text += Ind + "(allowed-numbers " + Of(vcInteger) + Of(vcFloat) + ") " + NL;
  else if (Ints)
    Text += Ind + "(allowed-integers " + Of(vcInteger) + ") " + NL;
  else if (Floats)
    Text += Ind + "(allowed-floats " + Of(vcFloat) + ") " + NL;
  const bool Atoms = C.Contains(vcAtom), Strings = C.Contains(vcString);
  if (Atoms && Strings)
    Text += Ind + "(allowed-lexemes " + Of(vcAtom) + Of(vcString) + ")" + NL;
  else if (Atoms)
    Text += Ind + "(allowed-symbols " + Of(vcAtom) + ")" + NL;
  else if (Strings)
    Text += Ind + "(allowed-strings " + Of(vcString) + ")" + NL;
  return Text;
}

}  // namespace rulecore
