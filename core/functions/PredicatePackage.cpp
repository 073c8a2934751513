// The predicate package: parity tests, "get-type" and the type tests, each a TVerifyTypePFunction
// over its own set of kinds.
#include "PredicatePackage.h"

#include "BuiltinSupport.h"
#include "platform/Format.h"

namespace rulecore {

// =============================================================================================
// TVerifyTypePFunction
// =============================================================================================

namespace {
constexpr std::string_view SVerifyTypeComment =
    "Returns TRUE if the argument is of the following type(s): %s.  If the argument is any other type, FALSE is "
    "returned";
}  // namespace

TVerifyTypePFunction::TVerifyTypePFunction(const std::string& Name, TIETypes Types)
    : TIEUserFunction(Name, " <expression>", 1, 1, CommentFor(Types)), ValueTypes_(Types) {}

std::string TVerifyTypePFunction::CommentFor(TIETypes Types) {
  return platform::Format(SVerifyTypeComment, {Types.Empty() ? std::string("NONE") : SetToString(Types, ", ", false)});
}

void TVerifyTypePFunction::Assign(const platform::TPersistent& Source) {
  TIEUserFunction::Assign(Source);
  if (const auto* Other = dynamic_cast<const TVerifyTypePFunction*>(&Source)) ValueTypes_ = Other->ValueTypes_;
}

void TVerifyTypePFunction::Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = BoolValue(ValueTypes_.Contains(ArgValue(FunCall, 0, Context)->GetDType()));
}

namespace {

// =============================================================================================
// Parity and type name
// =============================================================================================

enum TParity { ptEven, ptOdd };

// Tests the argument's integer conversion, so a float is judged by its whole part.
class TParityFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TParityFunction, TBuiltinFunction)
 public:
  TParityFunction(const TFunctionSpec& Spec, TParity Op) : TBuiltinFunction(Spec), Op_(Op) {}

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const bool Even = IntegerArg(FunCall, 0, Context) % 2 == 0;
    Result = BoolValue(Op_ == ptEven ? Even : !Even);
  }

 private:
  TParity Op_;
};

class TGetTypeFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGetTypeFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    Result = NewAtom(GetIETypeName(ArgValue(FunCall, 0, Context)->GetDType()));
  }
};

// =============================================================================================
// The package tables, in creation order
// =============================================================================================

constexpr TFunctionRow PredicateFunctions[] = {
    {{"evenp", " <numeric-expression>", 1, 1, "Returns TRUE if the argument is an even integer, FALSE otherwise"},
     MakeFunction<TParityFunction, ptEven>},
    {{"oddp", " <numeric-expression>", 1, 1, "Returns TRUE if the argument is an odd integer, FALSE otherwise"},
     MakeFunction<TParityFunction, ptOdd>},
    {{"get-type", " <expression> ", 1, 1, "Returns the type of the argument"}, MakeFunction<TGetTypeFunction>},
};

struct TTypeTestRow {
  const char* Name;
  TIETypes Types;
};

constexpr TTypeTestRow TypeTests[] = {
    {"lexemep", {dtAtom, dtString}},
    {"numberp", {dtInteger, dtFloat}},
    {"floatp", {dtFloat}},
    {"fuzzyp", {dtFuzzy}},
    {"integerp", {dtInteger}},
    {"stringp", {dtString}},
    {"symbolp", {dtAtom}},
    {"multifieldp", {dtList}},
    {"external-addressp", {dtExternalAddress}},
    {"objectp", {dtObject}},
};

}  // namespace

TPredicatePackage::TPredicatePackage(platform::TComponent* Owner) : TUserPackage(Owner) { CreateFunctions(); }

namespace {
const TPackageRegistration<TPredicatePackage> Registered;
}  // namespace

void TPredicatePackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  AddFunctions(*this, PredicateFunctions);
  for (const TTypeTestRow& Row : TypeTests)
    GetFunctions().Add(platform::MakeRef<TVerifyTypePFunction>(Row.Name, Row.Types));
}

}  // namespace rulecore
