// The fuzzy logic package: the function classes and the package table that fixes names,
// patterns, arities, comments and creation order.
//
// Contents
//   1. Helpers      - engine and context of a call, fuzzy arguments, variables, keyword lists
//   2. Values       - create-fuzzy-value, the shapes, fuzzy-union/-intersection (and -x)
//   3. Facts        - fuzzy-assert, fuzzy-assert-unconditional
//   4. Inspection   - the get-fs family, the get-u family, defuzzification, plot-fuzzy-value
//   5. Settings     - the get-/set- pairs of the engine's fuzzy settings
//   6. The package table
//
// Fuzzy values handed in may be terms of a variable or values other facts hold: the functions
// never change their membership functions, they build new sets.  Defuzzifying records the
// compatibility index in the set, which is not part of its value.
#include "FuzzyLogicPackage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/engine/IEFuzzyLogic.h"
#include "core/engine/InferenceEngine.h"
#include "core/network/IEContext.h"
#include "core/values/IEException.h"
#include "core/values/IEFuzzySet.h"
#include "core/values/ValueVector.h"
#include "fuzzy/FuzzyConsts.h"
#include "fuzzy/FuzzySet.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

using platform::MakeRef;
using vaguecore::TFzyFloat;

// =============================================================================================
// 1. Helpers
// =============================================================================================

bool IsName(const TIEValue& Value) noexcept { return Value.GetDType() == dtAtom || Value.GetDType() == dtString; }
bool IsNumber(const TIEValue& Value) noexcept { return Value.GetDType() == dtInteger || Value.GetDType() == dtFloat; }

// Functions whose declared arity is open check the count they can use themselves.
void CheckCount(const TFunctionCall& Call, int Min, int Max, const TIEUserFunction& Function) {
  if (Call.GetArgumentCount() < Min) RaiseIE(STooFewArgs, {Function.GetFunctionName()});
  if (Call.GetArgumentCount() > Max) RaiseIE(STooManyArgs, {Function.GetFunctionName()});
}

// The set argument Index stands for: a fact id, integer or fact gives the set of the fact's
// first fuzzy slot; any other value its own conversion.
IFuzzySet FuzzyArg(TFunctionCall& Call, int Index, TIEContext& Context) {
  return GetFuzzySetFromValue(ArgValue(Call, Index, &Context), &Context);
}

// The fuzzy variable a value names: an atom or string names a defined type, a fuzzy value gives
// its set's variable.
IFuzzyVariable VariableOf(const TIEValue& Value, TInferenceEngine& Engine) {
  IFuzzyVariable Variable;
  if (IsName(Value)) {
    const IIEDefinedType Type = Engine.FindDefinedType(Value.GetText());
    if (!Type) RaiseIE(SUnknownTypeName, {Value.GetText()});
    Variable = Type->GetFuzzyType();
  } else if (Value.GetDType() == dtFuzzy) {
    Variable = Value.GetAsFuzzy()->GetVariable();
  } else {
    RaiseIE(SInvalidArgType, {GetIETypeName(Value.GetDType()), GetIETypeName(dtAtom).substr(2) + ", " +
                                                                   GetIETypeName(dtString).substr(2) + ", " +
                                                                   GetIETypeName(dtFuzzy).substr(2)});
  }
  if (!Variable) RaiseIE(SUndefinedFuzzyVariable);
  return Variable;
}

// "minmax, additive, mean, product, boundedsum": the enumeration's names without their
// three-letter prefix, in lower case.
template <class E>
std::string ExpectedMethods() {
  std::string Text;
  for (std::string_view Name : platform::EnumInfo<E>().Names) {
    if (!Text.empty()) Text += ", ";
    Text += platform::LowerCase(Name.substr(3));
  }
  return Text;
}

// "zadeh, mean, ..., bounded-sum, or sum"
std::string ExpectedOperations() {
  std::string Text;
  const auto& Names = vaguecore::FuzzyOperationNames;
  for (size_t I = 0; I < Names.size(); ++I) {
    if (I > 0) Text += ", ";
    if (I + 1 == Names.size()) Text += "or ";
    Text += Names[I];
  }
  return Text;
}

// A setting in [0, 1] from a number; NaN would compare false with every bound and is refused.
float UnitSetting(double Value, const TIEUserFunction& Function) {
  if (std::isnan(Value)) RaiseUndefined(Function.GetFunctionName(), NumberText(Value));
  return static_cast<float>(std::clamp(Value, 0.0, 1.0));
}

}  // namespace

// =============================================================================================
// 2. Values
// =============================================================================================

void TCreateFuzzySetFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  TIEContext& Ctx = ContextFor(Context, Engine);
  const IFuzzyVariable Variable = VariableOf(*ArgValue(Call, 0, &Ctx), Engine);
  // The rest is the expression as written: the evaluator resolves variables and calls itself.
  IValueVector Items = NewList();
  for (int I = 1; I < Call.GetArgumentCount(); ++I) Items->Add(Call.GetArgument(I));
  Result = Engine.EvalFuzzyExpression(Variable, *Items, &Ctx);
}

void TCreateFuzzyShapeFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  static constexpr int MinArgs[] = {2, 2, 2, 3, 2};
  static constexpr int MaxArgs[] = {2, 2, 3, 3, 4};
  CheckCount(Call, MinArgs[Type_], MaxArgs[Type_], *this);
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  TIEContext& Ctx = ContextFor(Context, Engine);
  std::vector<TFzyFloat> Args;
  // The set is named after the call with its arguments' values, so that its printed form (in a
  // fact, say) reads back as the same curve outside the rule that made it.
  std::string Name = "(" + std::string(FunctionNames[Type_]);
  for (int I = 0; I < Call.GetArgumentCount(); ++I) {
    IIEValue Held;
    const TIEValue& Arg = PeekArg(Call, I, &Ctx, Held);
    const double X = CheckedFloat(Arg.GetAsNumeric(), GetFunctionName());
    Name += " " + (Arg.GetDType() == dtInteger ? std::to_string(Arg.GetAsInteger()) : FloatToText(X));
    Args.push_back(X);
  }
  auto Set = MakeRef<TIEFuzzySet>();
  if (!vaguecore::CreateShapeValues(*Set, FunctionNames[Type_], Args)) RaiseIE(STooFewArgs, {GetFunctionName()});
  Set->SetName(Name + ")");
  Set->SetParser(&Engine);
  Result = MakeRef<TIEValue>(IFuzzySet(Set));
}

void TFuzzyOperationFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  TIEContext& Ctx = ContextFor(Context, Engine);
  const bool IsUnion = Type_ == fofFuzzyUnion || Type_ == fofFuzzyUnionX;
  vaguecore::TFuzzyOperation Operation = vaguecore::foZadeh;
  int First = 0;
  if (Type_ == fofFuzzyUnionX || Type_ == fofFuzzyIntersectionX) {
    const IIEValue Name = ArgValue(Call, 0, &Ctx);
    if (!IsName(*Name) || !vaguecore::IsFuzzyOperation(Name->GetText(), Operation))
      RaiseIE(SInvalidIEFuzzyOperation, {TextOf(*Name), GetFunctionName(), ExpectedOperations()});
    First = 1;
  }
  // Union and Intersection build new sets; the arguments stay as they are.
  IFuzzySet Combined = FuzzyArg(Call, First, Ctx);
  for (int I = First + 1; I < Call.GetArgumentCount(); ++I) {
    const IFuzzySet Next = FuzzyArg(Call, I, Ctx);
    Combined = IsUnion ? Combined->Union(*Next, Operation) : Combined->Intersection(*Next, Operation);
  }
  Result = MakeRef<TIEValue>(Combined);
}

// =============================================================================================
// 3. Facts
// =============================================================================================

void TFuzzyAssertFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  TIEContext& Ctx = ContextFor(Context, Engine);
  const bool Unconditional = Type_ == fafAssertUnconditional;
  vaguecore::TFuzzyInferenceMethod Method = vaguecore::fimMinMax;
  int First = 0;
  const IIEValue Head = ArgValue(Call, 0, &Ctx);
  if (IsName(*Head)) {
    if (!vaguecore::IsFuzzyInference(Head->GetText(), Method))
      RaiseIE(SInvalidFuzzyInference, {Head->GetText(), ExpectedMethods<vaguecore::TFuzzyInferenceMethod>()});
    First = 1;
  } else if (!Unconditional) {
    RaiseIE(SInvalidFuzzyInference, {TextOf(*Head), ExpectedMethods<vaguecore::TFuzzyInferenceMethod>()});
  }
  int32_t ID = -1;
  for (int I = First; I < Call.GetArgumentCount(); ++I) {
    // The written fact stays as it is, so that the action can run again with other bindings.
    const IFact Fact = Ctx.ResolvedCopy(*ArgValue(Call, I, &Ctx)->GetAsFact());
    ID = Engine.Assert(Fact, Method, Unconditional);
  }
  if (ID < 0) {
    Result = FCFalse;
    return;
  }
  Result = MakeRef<TIEValue>();
  Result->SetAsFactAddress(ID, Engine.GetFactEpoch());
}

// =============================================================================================
// 4. Inspection
// =============================================================================================

void TGetFuzzyFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  static constexpr int Needed[] = {1, 1, 2, 2, 1, 2};
  CheckCount(Call, Needed[Type_], Needed[Type_], *this);
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  TIEContext& Ctx = ContextFor(Context, Engine);
  const IFuzzySet Set = FuzzyArg(Call, 0, Ctx);
  const vaguecore::TFuzzySetValues& Points = Set->GetValues();
  switch (Type_) {
    case gffGetFs: {
      auto Pairs = MakeRef<TSingletonsVector>(&Engine);
      for (int I = 0; I < Points.GetCount(); ++I) Pairs->Add(NewFloat(Points.GetXValue(I)), NewFloat(Points.GetYValue(I)));
      Result = MakeRef<TIEValue>(Pairs);
      break;
    }
    case gffGetFsLength: Result = NewInteger(Points.GetCount()); break;
    case gffGetFsX:
    case gffGetFsY: {
      const int32_t Index = IntegerArg(Call, 1, &Ctx);
      if (Index < 0 || Index >= Points.GetCount()) {
        // The list's own wording, as an engine error like every other failure of the language.
        try {
          platform::ListIndexError(Index);
        } catch (const platform::EListError& E) {
          throw EIEException(E.Message());
        }
      }
      Result = NewFloat(Type_ == gffGetFsX ? Points.GetXValue(Index) : Points.GetYValue(Index));
      break;
    }
    case gffGetFsVariable:
      if (!Set->GetVariable()) RaiseIE(SUndefinedFuzzyVariable);
      Result = NewAtom(Set->GetVariable()->GetName());
      break;
    case gffGetFsValue: Result = NewFloat(Set->DegreeOfMembership(NumberArg(Call, 1, &Ctx))); break;
  }
}

void TUniverseOfDiscourseFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  const IFuzzyVariable Variable = VariableOf(*ArgValue(Call, 0, &ContextFor(Context, Engine)), Engine);
  switch (Type_) {
    case uodGet:
      Result = NewString(platform::Format("%.4f - %.4f %s",
                                          {Variable->GetMinimum(), Variable->GetMaximum(), Variable->GetUnits()}));
      break;
    case uodGetFrom: Result = NewFloat(Variable->GetMinimum()); break;
    case uodGetTo: Result = NewFloat(Variable->GetMaximum()); break;
    case uodGetUnits: Result = NewString(Variable->GetUnits()); break;
  }
}

void TDefuzzifyFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  const IFuzzySet Set = FuzzyArg(Call, 0, ContextFor(Context, Engine));
  switch (Type_) {
    case dftMoment: Result = NewFloat(Set->CenterOfGravity()); break;
    case dftMaximum: Result = NewFloat(Set->MeanOfMaxima()); break;
    case dftUndecidable: Result = BoolValue(Set->IsUndecidable()); break;
    case dftCompatibilityIndex: Result = NewFloat(Set->GetCompatibilityIndex()); break;
  }
}

void TPlotFuzzySetFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  TIEContext& Ctx = ContextFor(Context, Engine);
  const std::string LogicalName = TextArg(Call, 0, &Ctx);
  const std::string PlotChars = TextArg(Call, 1, &Ctx);
  const IIEValue Low = ArgValue(Call, 2, &Ctx);
  const IIEValue High = ArgValue(Call, 3, &Ctx);

  // The first value decides the variable: a fact's or a fuzzy value's set plots the value
  // arguments, all of that variable; a type name plots every term of its variable.
  std::vector<IFuzzySet> Sets;
  IFuzzyVariable Variable;
  const IIEValue First = ArgValue(Call, 4, &Ctx);
  switch (First->GetDType()) {
    case dtInteger:
    case dtFactId:
    case dtFact:
    case dtFuzzy: {
      Sets.push_back(GetFuzzySetFromValue(First, &Ctx));
      Variable = Sets.front()->GetVariable();
      for (int I = 5; I < Call.GetArgumentCount(); ++I) {
        IFuzzySet Set = FuzzyArg(Call, I, Ctx);
        if (Set->GetVariable() != Variable) {
          const IFuzzySet& Head = Sets.front();
          RaiseIE(SDifferentFuzzyVariables, {Head->GetName(), Variable ? Variable->GetName() : std::string(),
                                             Set->GetName(),
                                             Set->GetVariable() ? Set->GetVariable()->GetName() : std::string()});
        }
        Sets.push_back(std::move(Set));
      }
      break;
    }
    default: {
      const std::string TypeName = TextOf(*First);
      const IIEDefinedType Type = Engine.FindDefinedType(TypeName);
      if (!Type) {
        // Limits given the wrong way round are wrong whatever is plotted: that is the error
        // to report, also when the value names no type.
        if (IsNumber(*Low) && IsNumber(*High) && !(Low->GetAsNumeric() < High->GetAsNumeric()))
          RaiseIE(SInvalidLowHiLimits, {Low->GetAsNumeric(), High->GetAsNumeric()});
        RaiseIE(SUnknownTypeName, {TypeName});
      }
      Variable = Type->GetFuzzyType();
      if (!Variable) RaiseIE(SUndefinedFuzzyVariable);
      Sets = Variable->TermsInOrder();
      break;
    }
  }

  // Limits: numbers kept inside the variable's universe; otherwise its bounds (without a
  // variable, the extent of the plotted sets).
  double Minimum = 0, Maximum = 0;
  if (Variable) {
    Minimum = Variable->GetMinimum();
    Maximum = Variable->GetMaximum();
  } else {
    Minimum = Sets.front()->GetXMinimum();
    Maximum = Sets.front()->GetXMaximum();
    for (const IFuzzySet& Set : Sets) {
      Minimum = std::min(Minimum, Set->GetXMinimum());
      Maximum = std::max(Maximum, Set->GetXMaximum());
    }
  }
  double From = Minimum, To = Maximum;
  if (IsNumber(*Low)) From = Variable ? std::max(Low->GetAsNumeric(), Minimum) : Low->GetAsNumeric();
  if (IsNumber(*High)) To = Variable ? std::min(High->GetAsNumeric(), Maximum) : High->GetAsNumeric();
  if (!(From < To)) RaiseIE(SInvalidLowHiLimits, {From, To});

  Engine.PlotFuzzySet(LogicalName, Sets, From, To, PlotChars);
  Result = FCNil;
}

// =============================================================================================
// 5. Settings
// =============================================================================================
// Each set- function answers the setting as it was before the change.

void TRWActivationThresholdFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  if (Type_ == atfGetActivationThreshold) {
    Result = NewFloat(Engine.GetMinActivationStrength());
    return;
  }
  const float Value = UnitSetting(NumberArg(Call, 0, &ContextFor(Context, Engine)), *this);
  Result = NewFloat(Engine.GetMinActivationStrength());
  Engine.SetMinActivationStrength(Value);
}

void TRWFuzzyAutoTerms::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  if (Type_ == fatGetFuzzyAutoTerms) {
    Result = BoolValue(Engine.GetFuzzyAutoTerms());
    return;
  }
  const IIEValue Value = ArgValue(Call, 0, &ContextFor(Context, Engine));
  Result = BoolValue(Engine.GetFuzzyAutoTerms());
  Engine.SetFuzzyAutoTerms(IsName(*Value) && Value->GetText() == FCTrue->GetText());
}

void TRWFuzzyCorrelationFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  if (Type_ == fcfGetCorrelation) {
    Result = NewAtom(vaguecore::FuzzyCorrelationNames[Engine.GetFuzzyCorrelationMethod()]);
    return;
  }
  const IIEValue Name = ArgValue(Call, 0, &ContextFor(Context, Engine));
  vaguecore::TFuzzyCorrelationMethod Method = vaguecore::fcmMinimum;
  if (!IsName(*Name) || !vaguecore::IsFuzzyCorrelation(Name->GetText(), Method))
    RaiseIE(SInvalidFuzzyCorrelation, {TextOf(*Name), ExpectedMethods<vaguecore::TFuzzyCorrelationMethod>()});
  Result = NewAtom(vaguecore::FuzzyCorrelationNames[Engine.GetFuzzyCorrelationMethod()]);
  Engine.SetFuzzyCorrelationMethod(Method);
}

void TRWFuzzyInferenceFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  if (Type_ == fifGetInference) {
    Result = NewAtom(vaguecore::FuzzyInferenceNames[Engine.GetFuzzyInferenceMethod()]);
    return;
  }
  const IIEValue Name = ArgValue(Call, 0, &ContextFor(Context, Engine));
  vaguecore::TFuzzyInferenceMethod Method = vaguecore::fimMinMax;
  if (!IsName(*Name) || !vaguecore::IsFuzzyInference(Name->GetText(), Method))
    RaiseIE(SInvalidFuzzyInference, {TextOf(*Name), ExpectedMethods<vaguecore::TFuzzyInferenceMethod>()});
  Result = NewAtom(vaguecore::FuzzyInferenceNames[Engine.GetFuzzyInferenceMethod()]);
  Engine.SetFuzzyInferenceMethod(Method);
}

void TRWFuzzyThresholdFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  if (Type_ == ftfGetFuzzyThreshold) {
    Result = NewFloat(Engine.GetFuzzyEqualsThreshold());
    return;
  }
  const float Value = UnitSetting(NumberArg(Call, 0, &ContextFor(Context, Engine)), *this);
  Result = NewFloat(Engine.GetFuzzyEqualsThreshold());
  Engine.SetFuzzyEqualsThreshold(Value);
}

// =============================================================================================
// 6. The package table, in creation order
// =============================================================================================

namespace {

constexpr int32_t NoLimit = TIEUserFunction::NoLimit;

constexpr TFunctionRow FuzzyLogicFunctions[] = {
    {{"create-fuzzy-value", " <fuzzy-type-or-value> <fuzzy-expression>+", 2, NoLimit,
      "Returns the fuzzy value of a linguistic expression (terms, hedges, and/or keywords, numbers, shapes) over "
      "the fuzzy variable of the named type, or of the given fuzzy value's variable"},
     MakeFunction<TCreateFuzzySetFunction>},
    {{"fuzzy-assert", " <inference-method> <fact>+", 2, NoLimit,
      "Asserts each fact, combining it with an equal fuzzy fact already present by the given inference method "
      "(min-max, sum, mean, product or bounded-sum); returns the id of the last fact asserted, or FALSE"},
     MakeFunction<TFuzzyAssertFunction, fafAssert>},
    {{"fuzzy-assert-unconditional", " [<inference-method>] <fact>+", 1, NoLimit,
      "Asserts each fact, combining it with an equal fuzzy fact already present by intersection under the given "
      "inference method (min-max when none is given); returns the id of the last fact asserted, or FALSE"},
     MakeFunction<TFuzzyAssertFunction, fafAssertUnconditional>},
    {{"fuzzy-union", " <fuzzy-value> <fuzzy-value>+", 2, NoLimit,
      "Returns the union (maximum) of all the fuzzy values, combined from the left"},
     MakeFunction<TFuzzyOperationFunction, fofFuzzyUnion>},
    {{"fuzzy-union-x", " <operation> <fuzzy-value> <fuzzy-value>+", 3, NoLimit,
      "Returns the union of all the fuzzy values, combined from the left by the given operation (zadeh, mean, "
      "mean-sqr, mean-sqrt, product, bounded-sum or sum)"},
     MakeFunction<TFuzzyOperationFunction, fofFuzzyUnionX>},
    {{"fuzzy-intersection", " <fuzzy-value> <fuzzy-value>+", 2, NoLimit,
      "Returns the intersection (minimum) of all the fuzzy values, combined from the left"},
     MakeFunction<TFuzzyOperationFunction, fofFuzzyIntersection>},
    {{"fuzzy-intersection-x", " <operation> <fuzzy-value> <fuzzy-value>+", 3, NoLimit,
      "Returns the intersection of all the fuzzy values, combined from the left by the given operation (zadeh, "
      "mean, mean-sqr, mean-sqrt, product, bounded-sum or sum)"},
     MakeFunction<TFuzzyOperationFunction, fofFuzzyIntersectionX>},
    {{"get-fs", " <fuzzy-value>", 0, NoLimit, "Returns the points of the fuzzy value as a list of (x y) pairs"},
     MakeFunction<TGetFuzzyFunction, gffGetFs>},
    {{"get-fs-length", " <fuzzy-value>", 0, NoLimit, "Returns the number of points of the fuzzy value"},
     MakeFunction<TGetFuzzyFunction, gffGetFsLength>},
    {{"get-fs-x", " <fuzzy-value> <integer-expression>", 0, NoLimit,
      "Returns the x coordinate of the fuzzy value's point at the given index (counted from 0)"},
     MakeFunction<TGetFuzzyFunction, gffGetFsX>},
    {{"get-fs-y", " <fuzzy-value> <integer-expression>", 0, NoLimit,
      "Returns the membership of the fuzzy value's point at the given index (counted from 0)"},
     MakeFunction<TGetFuzzyFunction, gffGetFsY>},
    {{"get-fs-variable", " <fuzzy-value>", 0, NoLimit, "Returns the name of the fuzzy value's fuzzy variable"},
     MakeFunction<TGetFuzzyFunction, gffGetFsVariable>},
    {{"get-fs-value", " <fuzzy-value> <numeric-expression>", 0, NoLimit,
      "Returns the degree of membership of the number in the fuzzy value"},
     MakeFunction<TGetFuzzyFunction, gffGetFsValue>},
    {{"get-activation-threshold", "", 0, 0,
      "Returns the minimum strength an activation must have to be placed on the agenda"},
     MakeFunction<TRWActivationThresholdFunction, atfGetActivationThreshold>},
    {{"set-activation-threshold", " <numeric-expression>", 1, 1,
      "Sets the minimum activation strength (kept between 0 and 1) and returns the previous one"},
     MakeFunction<TRWActivationThresholdFunction, atfSetActivationThreshold>},
    {{"get-fuzzy-auto-terms", "", 0, 0,
      "Returns TRUE when new fuzzy types receive the terms low, medium and high, else FALSE"},
     MakeFunction<TRWFuzzyAutoTerms, fatGetFuzzyAutoTerms>},
    {{"set-fuzzy-auto-terms", " <boolean-expression>", 1, 1,
      "Sets whether new fuzzy types receive the terms low, medium and high (only TRUE turns it on) and returns "
      "the previous setting"},
     MakeFunction<TRWFuzzyAutoTerms, fatSetFuzzyAutoTerms>},
    {{"get-fuzzy-correlation", "", 0, 0,
      "Returns how a firing rule's strength limits the fuzzy facts it asserts: minimum or product"},
     MakeFunction<TRWFuzzyCorrelationFunction, fcfGetCorrelation>},
    {{"set-fuzzy-correlation", " <correlation-method>", 1, 1,
      "Sets the fuzzy correlation method (minimum or product) and returns the previous one"},
     MakeFunction<TRWFuzzyCorrelationFunction, fcfSetCorrelation>},
    {{"get-fuzzy-inference", "", 0, 0,
      "Returns how an asserted fuzzy fact is combined with an equal one already present: min-max, sum, mean, "
      "product or bounded-sum"},
     MakeFunction<TRWFuzzyInferenceFunction, fifGetInference>},
    {{"set-fuzzy-inference", " <inference-method>", 1, 1,
      "Sets the fuzzy inference method (min-max, sum, mean, product or bounded-sum) and returns the previous one"},
     MakeFunction<TRWFuzzyInferenceFunction, fifSetInference>},
    {{"get-fuzzy-threshold", "", 0, 0,
      "Returns the membership above which fuzzy values count as equal in pattern matching"},
     MakeFunction<TRWFuzzyThresholdFunction, ftfGetFuzzyThreshold>},
    {{"set-fuzzy-threshold", " <numeric-expression>", 1, 1,
      "Sets the fuzzy equality threshold of every fuzzy type (kept between 0 and 1) and returns the previous one"},
     MakeFunction<TRWFuzzyThresholdFunction, ftfSetFuzzyThreshold>},
    {{"get-u", " <fuzzy-type-or-value>", 1, 1,
      "Returns the universe of discourse of the fuzzy variable as a string: from - to units"},
     MakeFunction<TUniverseOfDiscourseFunction, uodGet>},
    {{"get-u-from", " <fuzzy-type-or-value>", 1, 1, "Returns the lower limit of the fuzzy variable's universe"},
     MakeFunction<TUniverseOfDiscourseFunction, uodGetFrom>},
    {{"get-u-to", " <fuzzy-type-or-value>", 1, 1, "Returns the upper limit of the fuzzy variable's universe"},
     MakeFunction<TUniverseOfDiscourseFunction, uodGetTo>},
    {{"get-u-units", " <fuzzy-type-or-value>", 1, 1, "Returns the units of the fuzzy variable's universe"},
     MakeFunction<TUniverseOfDiscourseFunction, uodGetUnits>},
    {{"moment-defuzzify", " <fuzzy-value>", 1, 1,
      "Returns the centre of gravity of the fuzzy value and records its compatibility index"},
     MakeFunction<TDefuzzifyFunction, dftMoment>},
    {{"maximum-defuzzify", " <fuzzy-value>", 1, 1,
      "Returns the mean of the points of greatest membership of the fuzzy value and records its compatibility "
      "index"},
     MakeFunction<TDefuzzifyFunction, dftMaximum>},
    {{"is-undecidable", " <fuzzy-value>", 1, 1,
      "Returns TRUE when the fuzzy value's compatibility index is 0 (never defuzzified, or nothing to "
      "defuzzify), else FALSE"},
     MakeFunction<TDefuzzifyFunction, dftUndecidable>},
    {{"get-compatibility-index", " <fuzzy-value>", 1, 1,
      "Returns the membership at the point the fuzzy value was last defuzzified to (0 before that)"},
     MakeFunction<TDefuzzifyFunction, dftCompatibilityIndex>},
    {{"plot-fuzzy-value", " <logical-name> <plot-chars> <low> <high> <fuzzy-value>+", 5, NoLimit,
      "Plots the fuzzy values (or every term of a fuzzy type) as text to the logical name, one character of "
      "plot-chars per value, from low to high (a limit that is not a number stands for the universe's bound)"},
     MakeFunction<TPlotFuzzySetFunction>},
    {{"s", " <left> <right>", 0, NoLimit, "Returns an S-shaped fuzzy value growing from 0 at left to 1 at right"},
     MakeFunction<TCreateFuzzyShapeFunction, fsGrowthShape>},
    {{"z", " <left> <right>", 0, NoLimit,
      "Returns a Z-shaped fuzzy value declining from 1 at left to 0 at right"},
     MakeFunction<TCreateFuzzyShapeFunction, fsDeclineShape>},
    {{"pi", " <center> <width> | <left> <center> <right>", 0, NoLimit,
      "Returns a bell-shaped fuzzy value that is 1 at center and 0 at center - width and center + width (or "
      "at left and right)"},
     MakeFunction<TCreateFuzzyShapeFunction, fsPIShape>},
    {{"tri", " <left> <center> <right>", 0, NoLimit,
      "Returns a triangular fuzzy value: 0 at left, 1 at center, 0 at right"},
     MakeFunction<TCreateFuzzyShapeFunction, fsTriangleShape>},
    {{"beta", " <center> <width> [<beta> [<weight>]]", 0, NoLimit,
      "Returns a bell-shaped fuzzy value from center - width to center + width with membership 1 at center and "
      "1 / (1 + weight) at center plus or minus beta (beta defaults to (center + width) / 2, weight to 1)"},
     MakeFunction<TCreateFuzzyShapeFunction, fsBetaShape>},
};

}  // namespace

TFuzzyLogicPackage::TFuzzyLogicPackage(platform::TComponent* Owner) : TUserPackage(Owner) { CreateFunctions(); }

namespace {
const TPackageRegistration<TFuzzyLogicPackage> Registered;
}  // namespace

void TFuzzyLogicPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  AddFunctions(*this, FuzzyLogicFunctions);
}

}  // namespace rulecore
