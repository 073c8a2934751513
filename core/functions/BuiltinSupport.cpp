#include "BuiltinSupport.h"

#include <cmath>

#include "IEPackages.h"
#include "core/engine/InferenceEngine.h"
#include "core/network/IEContext.h"
#include "core/values/IEException.h"
#include "platform/Format.h"

namespace rulecore {

TInferenceEngine& EngineFor(TFunctionCall& Call, TIEContext* Context, const TIEUserFunction& Function) {
  if (Context && Context->GetEngine()) return *Context->GetEngine();
  if (auto* Engine = dynamic_cast<TInferenceEngine*>(Call.GetReasoner())) return *Engine;
  throw EIEException(platform::Format(SFunctionError, {Function.GetFunctionName(), MessageText(SUnknownEngine)}));
}

TIEContext& ContextFor(TIEContext* Context, TInferenceEngine& Engine) {
  return Context ? *Context : *Engine.GetContext();
}

namespace {

// Arithmetic failures are not in the published catalogue: their wording is this library's own.
constexpr std::string_view SDivisionByZero = "Division by zero in %s";
constexpr std::string_view SIntegerOverflow = "Integer overflow in %s: %s is outside the 32-bit integer range";
constexpr std::string_view SFloatOverflow = "Floating-point overflow in %s";
constexpr std::string_view SUndefinedResult = "%s is undefined for %s";
constexpr std::string_view SNoRandomGenerator = "%s needs an inference engine for its random number generator";

[[noreturn]] void Raise(std::string_view Format, std::initializer_list<platform::TFormatArg> Args) {
  throw EIEException(platform::Format(Format, Args));
}

}  // namespace

void AddFunctions(TUserPackage& Package, std::span<const TFunctionRow> Rows) {
  for (const TFunctionRow& Row : Rows) Package.GetFunctions().Add(Row.Make(Row.Spec));
}

// =============================================================================================
// Arguments
// =============================================================================================

IIEValue ArgValue(TFunctionCall& Call, int Index, TIEContext* Context) {
  IIEValue Value = Call.Evaluate(Index, Context);
  return Value ? Value : platform::MakeRef<TIEValue>();
}

const TIEValue& PeekArg(TFunctionCall& Call, int Index, TIEContext* Context, IIEValue& Held) {
  if (const TIEValue* Argument = Call.GetArgument(Index).get())
    if (const TIEValue* Value = Argument->Peek(Context)) return *Value;
  Held = ArgValue(Call, Index, Context);
  return *Held;
}

double NumberArg(TFunctionCall& Call, int Index, TIEContext* Context) {
  IIEValue Held;
  return PeekArg(Call, Index, Context, Held).GetAsNumeric();
}

int32_t IntegerArg(TFunctionCall& Call, int Index, TIEContext* Context) {
  IIEValue Held;
  const TIEValue& Value = PeekArg(Call, Index, Context, Held);
  if (Value.GetDType() == dtFloat) return CheckedInteger(Value.GetAsFloat(), Call.GetName());
  return Value.GetAsInteger();
}

std::string TextOf(const TIEValue& Value) {
  if (Value.IsText()) return std::string(Value.GetText());
  const TIEType Kind = Value.GetDType();
  if (Kind == dtInteger || Kind == dtFloat || Kind == dtFuzzy) return Value.GetAsString();
  return Value.ToString();
}

std::string TextArg(TFunctionCall& Call, int Index, TIEContext* Context) {
  return TextOf(*ArgValue(Call, Index, Context));
}

// =============================================================================================
// Arithmetic checks
// =============================================================================================

std::string NumberText(double Value) { return platform::Format("%.15g", {Value}); }

void RaiseDivisionByZero(std::string_view Function) { Raise(SDivisionByZero, {Function}); }

void RaiseIntegerOverflow(std::string_view Function, double Value) {
  Raise(SIntegerOverflow, {Function, NumberText(Value)});
}

void RaiseUndefined(std::string_view Function, std::string_view Arguments) {
  Raise(SUndefinedResult, {Function, Arguments});
}

int32_t CheckedInteger(double Value, std::string_view Function) {
  int32_t Result = 0;
  if (!TruncToInteger(Value, Result)) RaiseIntegerOverflow(Function, Value);
  return Result;
}

double CheckedFloat(double Value, std::string_view Function) {
  if (std::isnan(Value)) Raise(SUndefinedResult, {Function, "these arguments"});
  if (std::isinf(Value)) Raise(SFloatOverflow, {Function});
  return Value;
}

std::mt19937& RandomGeneratorFor(TFunctionCall& Call, TIEContext* Context) {
  TInferenceEngine* Engine = Context ? Context->GetEngine() : nullptr;
  if (!Engine) Engine = dynamic_cast<TInferenceEngine*>(Call.GetReasoner());
  if (!Engine) Raise(SNoRandomGenerator, {Call.GetName()});
  return Engine->GetRandomGenerator();
}

}  // namespace rulecore
