#include "IEFuzzySet.h"

namespace rulecore {

namespace {

// The set a value stands for in a comparison, or nothing; Number is set for a crisp number.
const vaguecore::TIFuzzySet* SetOf(const platform::TCloneable* Other, bool& IsNumber, TFzyFloat& Number) {
  IsNumber = false;
  if (const auto* Value = dynamic_cast<const TIEValue*>(Other)) {
    switch (Value->GetDType()) {
      case dtInteger:
      case dtFloat:
        IsNumber = true;
        Number = Value->GetAsNumeric();
        return nullptr;
      case dtFuzzy: return static_cast<const vaguecore::TIFuzzySet*>(Value->GetInterface());
      default: return nullptr;
    }
  }
  return dynamic_cast<const vaguecore::TIFuzzySet*>(Other);
}

IFuzzySet MakeTerm(const IFuzzyVariable& Variable, const std::string& Name) {
  return platform::MakeRef<TIEFuzzySet>(Variable, Name);
}

}  // namespace

bool TIEFuzzySet::Equals(const platform::TCloneable* Other) const {
  if (Other == this) return true;
  bool IsNumber;
  TFzyFloat Number = 0;
  const vaguecore::TIFuzzySet* Set = SetOf(Other, IsNumber, Number);
  if (IsNumber) return DegreeOfMembership(Number) > GetThreshold();
  return Set && (Set == this || SetEquals(*Set));
}

TFzyFloat TIEFuzzySet::FuzzyEquals(const platform::TCloneable* Other) const {
  bool IsNumber;
  TFzyFloat Number = 0;
  const vaguecore::TIFuzzySet* Set = SetOf(Other, IsNumber, Number);
  if (IsNumber) return DegreeOfMembership(Number);
  return Set ? SetFuzzyEquals(*Set) : 0;
}

TIEFuzzyVariable::TIEFuzzyVariable(std::string Name) : TIFuzzyVariable(std::move(Name)) { SetFuzzySetClass(&MakeTerm); }

IFuzzySet NewFuzzySet(const IFuzzyVariable& Variable, const std::string& Name) {
  return platform::MakeRef<TIEFuzzySet>(Variable, Name);
}

}  // namespace rulecore
