#include "IEFuzzySet.h"

#include <charconv>
#include <cmath>
#include <string_view>

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

namespace {

// Whether a set's name holds a number written as text: such names round to four decimals.
bool NameHoldsNumber(std::string_view Name) {
  size_t I = 0;
  while (I < Name.size()) {
    while (I < Name.size() && std::string_view(" \t()[]=,\"").find(Name[I]) != std::string_view::npos) ++I;
    size_t End = I;
    while (End < Name.size() && std::string_view(" \t()[]=,\"").find(Name[End]) == std::string_view::npos) ++End;
    double Number;
    const char* First = Name.data() + I;
    const char* Last = Name.data() + End;
    if (*First == '+') ++First;
    if (End > I && std::from_chars(First, Last, Number).ptr == Last) return true;
    I = End;
  }
  return false;
}

// Whether Name is the display text of X (the number a crisp set was made from).
bool IsRoundedText(std::string_view Name, double X) {
  double Named;
  return TextToFloat(Name, Named) && std::fabs(Named - X) <= 0.00005 * (1 + std::fabs(X));
}

}  // namespace

std::string TIEFuzzySet::GetToString() const {
  // A linguistic expression reads back as the same set once its terms do; so does a number
  // written exactly.  Anything else named by rounded numbers is written as its exact points.
  if (!TExactNumbers::Active() || !NameHoldsNumber(GetName())) return GetName();
  const vaguecore::TFuzzySetValues& Points = GetValues();
  if (Points.GetCount() == 3 && Points.GetXValue(0) == Points.GetXValue(1) &&
      Points.GetXValue(1) == Points.GetXValue(2) && Points.GetYValue(0) == 0 && Points.GetYValue(1) == 1 &&
      Points.GetYValue(2) == 0 && IsRoundedText(GetName(), Points.GetXValue(1)))
    return ExactFloatText(Points.GetXValue(1));
  std::string Text = "(";
  for (int I = 0; I < Points.GetCount(); ++I)
    Text += "(" + ExactFloatText(Points.GetXValue(I)) + " " + ExactFloatText(Points.GetYValue(I)) + ") ";
  return Text + ")";
}

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
