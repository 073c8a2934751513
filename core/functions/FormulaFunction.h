// Built-ins whose whole work is one numeric formula answering a float: the trigonometry and
// business packages.  One class serves them all; each table row gives the formula, a plain
// function that reads its own arguments through TFormulaArgs.  The class guarantees that every
// answer is a finite float: a formula answers NaN where it is undefined, and a non-finite result
// becomes the engine's arithmetic error naming the function.
// Depends on the function framework, the evaluation context and the value layer.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "BuiltinSupport.h"

namespace rulecore {

// The arguments of one call, read in the order the formula asks for them.  Each number read is
// remembered in its text form, so that an undefined result can say for which arguments.
class TFormulaArgs {
 public:
  TFormulaArgs(TFunctionCall& Call, TIEContext* Context, const TIEUserFunction& Function) noexcept
      : Call_(Call), Context_(Context), Function_(Function) {}

  double Number(int Index);
  int32_t Integer(int Index);
  // A multifield argument; each element is resolved in the context and read as a number.
  std::vector<double> Numbers(int Index);
  std::string Text(int Index);

  const std::string& FunctionName() const noexcept { return Function_.GetFunctionName(); }
  // Numerator / Denominator; a zero denominator raises the division-by-zero error.
  double Divide(double Numerator, double Denominator) const;
  // Value itself when finite; otherwise the overflow (infinite) or undefined (NaN) error.
  double Finite(double Value) const;
  // "<function> is undefined for <the arguments read so far>".
  [[noreturn]] void Undefined() const;

 private:
  TFunctionCall& Call_;
  TIEContext* Context_;
  const TIEUserFunction& Function_;
  std::vector<std::string> Read_;
};

// What a formula answers where it has no value; the function turns it into an error.
inline constexpr double UndefinedValue = std::numeric_limits<double>::quiet_NaN();

using TFormula = double (*)(TFormulaArgs& Args);

class TFormulaFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TFormulaFunction, TBuiltinFunction)
 public:
  TFormulaFunction(const TFunctionSpec& Spec, TFormula Formula) : TBuiltinFunction(Spec), Formula_(Formula) {}

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;

 private:
  TFormula Formula_;
};

}  // namespace rulecore
