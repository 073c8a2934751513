// TFuzzyLogicPackage: the fuzzy functions of the rule language - building fuzzy values from
// linguistic expressions and standard shapes, combining them, asserting fuzzy facts under a
// chosen inference method, reading their points, defuzzifying, plotting, and reading or changing
// the engine's fuzzy settings.
//
// Most classes serve several names.  Their published property FunctionType selects the behaviour;
// setting it also gives the function the name that goes with it, and setting a function name of
// the class selects its behaviour.
// Depends on the function framework, the engine and the fuzzy library.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "BuiltinSupport.h"
#include "IEPackages.h"
#include "platform/Enum.h"
#include "platform/Properties.h"

namespace rulecore {

PLATFORM_ENUM(TFuzzyAssertFunctionType, fafAssert, fafAssertUnconditional)
PLATFORM_ENUM(TFuzzyOperationFunctionType, fofFuzzyUnion, fofFuzzyUnionX, fofFuzzyIntersection,
              fofFuzzyIntersectionX)
PLATFORM_ENUM(TGetFuzzyFunctionType, gffGetFs, gffGetFsLength, gffGetFsX, gffGetFsY, gffGetFsVariable,
              gffGetFsValue)
PLATFORM_ENUM(TRWActivationThresholdFunctionType, atfGetActivationThreshold, atfSetActivationThreshold)
PLATFORM_ENUM(TRWFuzzyAutoTermsType, fatGetFuzzyAutoTerms, fatSetFuzzyAutoTerms)
PLATFORM_ENUM(TRWFuzzyCorrelationFunctionType, fcfGetCorrelation, fcfSetCorrelation)
PLATFORM_ENUM(TRWFuzzyInferenceFunctionType, fifGetInference, fifSetInference)
PLATFORM_ENUM(TRWFuzzyThresholdFunctionType, ftfGetFuzzyThreshold, ftfSetFuzzyThreshold)
PLATFORM_ENUM(TUniverseOfDiscourseFunctionType, uodGet, uodGetFrom, uodGetTo, uodGetUnits)
PLATFORM_ENUM(TDefuzzifyFunctionType, dftMoment, dftMaximum, dftUndecidable, dftCompatibilityIndex)
PLATFORM_ENUM(TCreateFuzzyShapeFunctionType, fsGrowthShape, fsDeclineShape, fsPIShape, fsTriangleShape,
              fsBetaShape)

// The base of the classes above: TSelf lists its function names, indexed by TType, in
// TSelf::FunctionNames.
template <class TSelf, class TType>
class TFuzzySelectingFunction : public TBuiltinFunction {
 public:
  TFuzzySelectingFunction(const TFunctionSpec& Spec, TType Type) : TBuiltinFunction(Spec), Type_(Type) {}
  // For creation by class name: the first behaviour under its name; the stored data of the
  // function (name, comment, arity) follows.
  TFuzzySelectingFunction()
      : TBuiltinFunction(TFunctionSpec{TSelf::FunctionNames[0].data(), "", 0, NoLimit, ""}), Type_(TType{}) {}

  TType GetFunctionType() const noexcept { return Type_; }
  void SetFunctionType(TType Value) {
    if (static_cast<size_t>(Value) >= TSelf::FunctionNames.size()) return;
    Type_ = Value;
    TIEUserFunction::SetFunctionName(std::string(TSelf::FunctionNames[Value]));
  }
  // Hides the base's setter: one of the class's names also selects that behaviour.
  void SetFunctionName(const std::string& Value) {
    for (size_t I = 0; I < TSelf::FunctionNames.size(); ++I)
      if (TSelf::FunctionNames[I] == Value) Type_ = static_cast<TType>(I);
    TIEUserFunction::SetFunctionName(Value);
  }

  using TBuiltinFunction::Assign;
  void Assign(const platform::TPersistent& Source) override {
    TBuiltinFunction::Assign(Source);
    if (const auto* From = dynamic_cast<const TSelf*>(&Source)) Type_ = From->Type_;
  }

  static void DeclareProperties(platform::TPropertyList<TSelf>& P) {
    P.Add("FunctionType", &TSelf::GetFunctionType, &TSelf::SetFunctionType);
  }

 protected:
  TType Type_;
};

// (create-fuzzy-value <type-or-fuzzy-value> <expression-item>+)
class TCreateFuzzySetFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TCreateFuzzySetFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// fuzzy-assert and fuzzy-assert-unconditional.
class TFuzzyAssertFunction final : public TFuzzySelectingFunction<TFuzzyAssertFunction, TFuzzyAssertFunctionType> {
  PLATFORM_CLASS(TFuzzyAssertFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 2> FunctionNames = {"fuzzy-assert", "fuzzy-assert-unconditional"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// fuzzy-union, fuzzy-union-x, fuzzy-intersection, fuzzy-intersection-x.
class TFuzzyOperationFunction final
    : public TFuzzySelectingFunction<TFuzzyOperationFunction, TFuzzyOperationFunctionType> {
  PLATFORM_CLASS(TFuzzyOperationFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 4> FunctionNames = {"fuzzy-union", "fuzzy-union-x",
                                                                    "fuzzy-intersection", "fuzzy-intersection-x"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// get-fs, get-fs-length, get-fs-x, get-fs-y, get-fs-variable, get-fs-value.
class TGetFuzzyFunction final : public TFuzzySelectingFunction<TGetFuzzyFunction, TGetFuzzyFunctionType> {
  PLATFORM_CLASS(TGetFuzzyFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 6> FunctionNames = {
      "get-fs", "get-fs-length", "get-fs-x", "get-fs-y", "get-fs-variable", "get-fs-value"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// get-activation-threshold and set-activation-threshold.
class TRWActivationThresholdFunction final
    : public TFuzzySelectingFunction<TRWActivationThresholdFunction, TRWActivationThresholdFunctionType> {
  PLATFORM_CLASS(TRWActivationThresholdFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 2> FunctionNames = {"get-activation-threshold",
                                                                    "set-activation-threshold"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// get-fuzzy-auto-terms and set-fuzzy-auto-terms.
class TRWFuzzyAutoTerms final : public TFuzzySelectingFunction<TRWFuzzyAutoTerms, TRWFuzzyAutoTermsType> {
  PLATFORM_CLASS(TRWFuzzyAutoTerms, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 2> FunctionNames = {"get-fuzzy-auto-terms", "set-fuzzy-auto-terms"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// get-fuzzy-correlation and set-fuzzy-correlation.
class TRWFuzzyCorrelationFunction final
    : public TFuzzySelectingFunction<TRWFuzzyCorrelationFunction, TRWFuzzyCorrelationFunctionType> {
  PLATFORM_CLASS(TRWFuzzyCorrelationFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 2> FunctionNames = {"get-fuzzy-correlation",
                                                                    "set-fuzzy-correlation"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// get-fuzzy-inference and set-fuzzy-inference.
class TRWFuzzyInferenceFunction final
    : public TFuzzySelectingFunction<TRWFuzzyInferenceFunction, TRWFuzzyInferenceFunctionType> {
  PLATFORM_CLASS(TRWFuzzyInferenceFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 2> FunctionNames = {"get-fuzzy-inference", "set-fuzzy-inference"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// get-fuzzy-threshold and set-fuzzy-threshold.
class TRWFuzzyThresholdFunction final
    : public TFuzzySelectingFunction<TRWFuzzyThresholdFunction, TRWFuzzyThresholdFunctionType> {
  PLATFORM_CLASS(TRWFuzzyThresholdFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 2> FunctionNames = {"get-fuzzy-threshold", "set-fuzzy-threshold"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// get-u, get-u-from, get-u-to, get-u-units.
class TUniverseOfDiscourseFunction final
    : public TFuzzySelectingFunction<TUniverseOfDiscourseFunction, TUniverseOfDiscourseFunctionType> {
  PLATFORM_CLASS(TUniverseOfDiscourseFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 4> FunctionNames = {"get-u", "get-u-from", "get-u-to",
                                                                    "get-u-units"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// moment-defuzzify, maximum-defuzzify, is-undecidable, get-compatibility-index.
class TDefuzzifyFunction final : public TFuzzySelectingFunction<TDefuzzifyFunction, TDefuzzifyFunctionType> {
  PLATFORM_CLASS(TDefuzzifyFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 4> FunctionNames = {"moment-defuzzify", "maximum-defuzzify",
                                                                    "is-undecidable", "get-compatibility-index"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (plot-fuzzy-value <logical-name> <plot-chars> <low> <high> <value>+)
class TPlotFuzzySetFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TPlotFuzzySetFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// The shape functions s, z, pi, tri and beta.
class TCreateFuzzyShapeFunction final
    : public TFuzzySelectingFunction<TCreateFuzzyShapeFunction, TCreateFuzzyShapeFunctionType> {
  PLATFORM_CLASS(TCreateFuzzyShapeFunction, TBuiltinFunction)
 public:
  static constexpr std::array<std::string_view, 5> FunctionNames = {"s", "z", "pi", "tri", "beta"};
  using TFuzzySelectingFunction::TFuzzySelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

class TFuzzyLogicPackage : public TUserPackage {
  PLATFORM_CLASS(TFuzzyLogicPackage, TUserPackage)
 public:
  explicit TFuzzyLogicPackage(platform::TComponent* Owner = nullptr);

 protected:
  void CreateFunctions() override;
};

}  // namespace rulecore
