// Shared pieces of the built-in function packages: the row a package table describes each
// function with, the argument helpers that resolve an argument, convert it and word the error
// in one call, and the arithmetic checks that keep every numeric result defined.
// Part of the function libraries: the header needs only the function calls and the values; the
// helpers that find the engine a call serves are defined against the engine.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>

#include "IEFunctionCall.h"
#include "IEUserFunction.h"
#include "core/values/IEValue.h"
#include "platform/Ref.h"

namespace rulecore {

class TIEContext;
class TInferenceEngine;
class TUserPackage;

// What a package table says about one function: its name, argument pattern, arity and help text.
struct TFunctionSpec {
  const char* Name;
  const char* Pattern;
  int32_t Min;
  int32_t Max;
  const char* Comment;
};

// One row of a package table: the description and how to make the function object.
struct TFunctionRow {
  TFunctionSpec Spec;
  IUserFunction (*Make)(const TFunctionSpec& Spec);
};

// The maker for a row: F built from the description and any selector values.
template <class F, auto... Selector>
IUserFunction MakeFunction(const TFunctionSpec& Spec) {
  return platform::MakeRef<F>(Spec, Selector...);
}

// Adds one new function per row to the package, in the table's order.
void AddFunctions(TUserPackage& Package, std::span<const TFunctionRow> Rows);

// A built-in described by a table row.
class TBuiltinFunction : public TIEUserFunction {
  PLATFORM_CLASS(TBuiltinFunction, TIEUserFunction)
 public:
  explicit TBuiltinFunction(const TFunctionSpec& Spec)
      : TIEUserFunction(Spec.Name, Spec.Pattern, Spec.Min, Spec.Max, Spec.Comment) {}
};

// A built-in function class that serves several functions of one behaviour, told apart by the
// selector its table row gives (TKind is usually the class's own enumeration).
template <class TKind>
class TSelectingFunction : public TBuiltinFunction {
 public:
  TSelectingFunction(const TFunctionSpec& Spec, TKind Kind) : TBuiltinFunction(Spec), Kind_(Kind) {}

 protected:
  const TKind Kind_;
};

// --- arguments ---------------------------------------------------------------------------------
// Argument Index resolved in Context.  A nested call that answered no value gives an empty
// (dtNone) value, so conversions report their usual error instead of touching a missing value.
IIEValue ArgValue(TFunctionCall& Call, int Index, TIEContext* Context);

// The engine a call works on: the context's, or else the engine that built the call (the
// function's error "Unknown/Undefined Inference Engine" when there is none).
TInferenceEngine& EngineFor(TFunctionCall& Call, TIEContext* Context, const TIEUserFunction& Function);
// Where values are evaluated: the rule's context, or for a command run outside any rule the
// engine's root context, which sees the globals.
TIEContext& ContextFor(TIEContext* Context, TInferenceEngine& Engine);
// The argument's numeric value (integers as floats); other kinds raise their conversion error.
double NumberArg(TFunctionCall& Call, int Index, TIEContext* Context);
// The argument's integer conversion; a float is truncated toward zero and one outside 32 bits
// raises the integer overflow error naming the call's function.
int32_t IntegerArg(TFunctionCall& Call, int Index, TIEContext* Context);
// The value of argument Index for immediate use: read in place when it already exists (a
// constant, a bound variable, a pattern binding; see TIEValue::Peek), else evaluated into Held.
// Use it before evaluating another argument, which may rebind the variable it was read from.
const TIEValue& PeekArg(TFunctionCall& Call, int Index, TIEContext* Context, IIEValue& Held);
// The argument as text: text kinds without quotes, numbers and fuzzy values in their text form,
// every other kind in its printed form.
std::string TextArg(TFunctionCall& Call, int Index, TIEContext* Context);
std::string TextOf(const TIEValue& Value);

// --- arithmetic checks -------------------------------------------------------------------------
[[noreturn]] void RaiseDivisionByZero(std::string_view Function);
[[noreturn]] void RaiseIntegerOverflow(std::string_view Function, double Value);
// Arguments is the text of the offending arguments ("-1", or "-8 and 0.5").
[[noreturn]] void RaiseUndefined(std::string_view Function, std::string_view Arguments);
// A number in the short form used by the arithmetic messages (2147483648, 0.5, 1e+300).
std::string NumberText(double Value);
// Value truncated toward zero; outside the 32-bit range raises the integer overflow error.
int32_t CheckedInteger(double Value, std::string_view Function);
// Value itself when finite; an infinite value raises an overflow error, NaN the undefined error.
double CheckedFloat(double Value, std::string_view Function);

// The generator of the engine the call runs for: the context's engine, else the call's own
// reasoner when that is an engine.  Without either, raises an error naming the function.
std::mt19937& RandomGeneratorFor(TFunctionCall& Call, TIEContext* Context);

}  // namespace rulecore
