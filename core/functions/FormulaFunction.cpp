#include "FormulaFunction.h"

#include <cmath>

#include "core/network/IEContext.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"

namespace rulecore {

double TFormulaArgs::Number(int Index) {
  const double Value = NumberArg(Call_, Index, Context_);
  Read_.push_back(NumberText(Value));
  return Value;
}

int32_t TFormulaArgs::Integer(int Index) {
  const int32_t Value = IntegerArg(Call_, Index, Context_);
  Read_.push_back(std::to_string(Value));
  return Value;
}

std::vector<double> TFormulaArgs::Numbers(int Index) {
  // A call answering no value gives an empty value, whose list conversion raises the usual error.
  const IValueVector List = ArgValue(Call_, Index, Context_)->GetAsList();
  std::vector<double> Values;
  Values.reserve(static_cast<size_t>(List->GetValueCount()));
  std::string Shown = "(";
  for (int I = 0; I < List->GetValueCount(); ++I) {
    const IIEValue& Item = List->Get(I);
    IIEValue Element = Item ? Item->Resolve(Context_) : nullptr;
    if (!Element) Element = platform::MakeRef<TIEValue>();
    Values.push_back(Element->GetAsNumeric());
    Shown += (I > 0 ? " " : "") + NumberText(Values.back());
  }
  Read_.push_back(Shown + ")");
  return Values;
}

std::string TFormulaArgs::Text(int Index) { return TextArg(Call_, Index, Context_); }

double TFormulaArgs::Divide(double Numerator, double Denominator) const {
  if (Denominator == 0) RaiseDivisionByZero(FunctionName());
  return Numerator / Denominator;
}

double TFormulaArgs::Finite(double Value) const {
  if (std::isnan(Value)) Undefined();
  return CheckedFloat(Value, FunctionName());
}

void TFormulaArgs::Undefined() const {
  // "-8", "-8 and 0.5", "1, 2 and 3", as the other arithmetic messages word it.
  std::string Arguments;
  for (size_t I = 0; I < Read_.size(); ++I) {
    if (I > 0) Arguments += I + 1 == Read_.size() ? " and " : ", ";
    Arguments += Read_[I];
  }
  RaiseUndefined(FunctionName(), Arguments.empty() ? "these arguments" : Arguments);
}

void TFormulaFunction::Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TFormulaArgs Args(FunCall, Context, *this);
  Result = NewFloat(Args.Finite(Formula_(Args)));
}

}  // namespace rulecore
