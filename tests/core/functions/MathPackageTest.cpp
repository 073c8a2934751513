// The math, predicate and string packages, exercised through calls evaluated in an engine's
// context, as rules run them.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <vector>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/functions/MathPackage.h"
#include "core/functions/PredicatePackage.h"
#include "core/functions/StandardPackage.h"
#include "core/functions/StringPackage.h"
#include "core/network/IEContext.h"
#include "core/values/ValueVector.h"
#include "platform/Properties.h"

using namespace rulecore;
using platform::MakeRef;
using rulecore::testing::ErrorOf;

namespace {

class BuiltinsTest : public ::testing::Test {
 protected:
  BuiltinsTest() {
    Math = new TMathPackage(&Engine);  // the engine owns its packages
    Predicates = new TPredicatePackage(&Engine);
    Strings = new TStringPackage(&Engine);
  }

  IFunCall Call(const std::string& Name, std::initializer_list<IIEValue> Arguments) {
    IFunCall C = MakeRef<TFunctionCall>(&Engine, Name);
    for (const IIEValue& A : Arguments) C->AddArgument(A);
    return C;
  }
  // A nested call as an argument.
  IIEValue Nest(const std::string& Name, std::initializer_list<IIEValue> Arguments) {
    return MakeRef<TIEValue>(Call(Name, Arguments));
  }
  IIEValue Run(const std::string& Name, std::initializer_list<IIEValue> Arguments) {
    IIEValue Result;
    Call(Name, Arguments)->Execute(Engine.GetContext(), Result);
    return Result;
  }
  // Kind and text of a result in one string, so one comparison checks both.
  std::string Eval(const std::string& Name, std::initializer_list<IIEValue> Arguments) {
    const IIEValue R = Run(Name, Arguments);
    return R ? GetIETypeName(R->GetDType()) + " " + R->ToString() : "(no value)";
  }
  std::string Error(const std::string& Name, std::initializer_list<IIEValue> Arguments) {
    return ErrorOf([&] { Run(Name, Arguments); });
  }
  static std::vector<std::string> Names(const TUserPackage& Package) {
    std::vector<std::string> Result;
    for (int I = 0; I < Package.GetFunctions().Count(); ++I)
      Result.push_back(Package.GetFunctions().Item(I)->GetFunctionName());
    return Result;
  }
  const IUserFunction& Find(const TUserPackage& Package, const std::string& Name) {
    return Package.GetFunctions().Item(Package.IndexOf(Name));
  }

  TInferenceEngine Engine;
  TMathPackage* Math = nullptr;
  TPredicatePackage* Predicates = nullptr;
  TStringPackage* Strings = nullptr;
};

// One suite per package, sharing the engine set-up.
using MathPackage = BuiltinsTest;
using PredicatePackage = BuiltinsTest;
using StringPackage = BuiltinsTest;

IIEValue I(int32_t V) { return NewInteger(V); }
IIEValue F(double V) { return NewFloat(V); }
IIEValue A(const char* V) { return NewAtom(V); }
IIEValue S(const char* V) { return NewString(V); }

}  // namespace

// =============================================================================================
// Math package
// =============================================================================================

TEST_F(MathPackage, RegistersItsFunctionsInOrder) {
  EXPECT_EQ(Names(*Math), (std::vector<std::string>{"abs", "div", "/", "exp", "**", "float", "integer", "log",
                                                   "log10", "max", "min", "-", "mod", "PI", "+", "random",
                                                   "randomize", "round", "seed", "sqrt", "*"}));
  for (const std::string& Name : Names(*Math)) EXPECT_EQ(Engine.GetUserFunction(Name), Find(*Math, Name)) << Name;
  // Arity as "min..max" (-1 for no limit) per function, in creation order.
  std::string Arities;
  for (int K = 0; K < Math->GetFunctions().Count(); ++K) {
    const IUserFunction& Fn = Math->GetFunctions().Item(K);
    const int32_t Max = Fn->GetMaxArgumentCount();
    Arities += std::to_string(Fn->GetMinArgumentCount()) + ".." +
               (Max == TIEUserFunction::NoLimit ? std::string("*") : std::to_string(Max)) + " ";
  }
  EXPECT_EQ(Arities, "1..1 1..* 1..* 1..1 2..2 1..1 1..1 1..1 1..1 1..* 1..* 1..* 2..2 0..0 0..* 0..2 0..1 1..1 1..1 "
                     "1..1 0..* ");
  const IUserFunction& Random = Find(*Math, "random");
  EXPECT_EQ(Random->GetArgumentString(), " [[<low-integer-expression>] <high-integer-expression>]");
  EXPECT_EQ(Random->GetComment(),
            "Returns a random number between <from-integer-expression> and <to-integer-expression>.  If only one "
            "argument is specified, a number between 0 and the <to-integer-expression> is returned.  If NO "
            "arguments are specified, a number between 0 and 65535 is returned");
  EXPECT_EQ(Find(*Math, "randomize")->GetArgumentString(), " [<seed-integer-expression> ]");
  EXPECT_EQ(Find(*Math, "PI")->GetArgumentString(), "");
  EXPECT_EQ(Find(*Math, "div")->GetComment(),
            "Returns the value of the first argument integer divided (i.e., fractions are dropped) by each of the "
            "subsequent arguments (arg0 div arg1 div arg2...)");
  // Rebuilding keeps one instance of each function.
  Math->SetReset(true);
  EXPECT_EQ(Math->GetFunctions().Count(), 21);
  EXPECT_EQ(Engine.GetUserFunction("sqrt"), Find(*Math, "sqrt"));
}

TEST_F(MathPackage, ArithmeticKeepsIntegersUnlessAFloatTakesPart) {
  EXPECT_EQ(Eval("+", {I(1), I(2)}), "dtInteger 3");
  EXPECT_EQ(Eval("+", {I(1), F(2)}), "dtFloat 3.0000");
  EXPECT_EQ(Eval("+", {}), "dtInteger 0");
  EXPECT_EQ(Eval("*", {}), "dtInteger 1");
  EXPECT_EQ(Eval("*", {I(3), I(-4)}), "dtInteger -12");
  EXPECT_EQ(Eval("-", {F(5.5), I(2)}), "dtFloat 3.5000");
  EXPECT_EQ(Eval("-", {I(5)}), "dtInteger 5");  // a single argument is not negated
  EXPECT_EQ(Eval("-", {I(10), I(3), I(2)}), "dtInteger 5");
  EXPECT_EQ(Eval("/", {I(6), I(3)}), "dtFloat 2.0000");
  EXPECT_EQ(Eval("/", {I(7)}), "dtFloat 7.0000");
  EXPECT_EQ(Eval("/", {I(100), I(5), I(4)}), "dtFloat 5.0000");
  EXPECT_EQ(Eval("div", {I(7), I(2)}), "dtInteger 3");
  EXPECT_EQ(Eval("div", {I(-7), I(2)}), "dtInteger -3");
  EXPECT_EQ(Eval("div", {F(7.9), I(2)}), "dtInteger 3");
  EXPECT_EQ(Eval("div", {I(100), I(3), I(2)}), "dtInteger 16");
  EXPECT_EQ(Eval("mod", {I(-7), I(2)}), "dtInteger -1");
  EXPECT_EQ(Eval("mod", {I(7), I(-2)}), "dtInteger 1");
  // Text that reads as a number is a number; only a float argument makes a float result.
  EXPECT_EQ(Eval("+", {A("2"), S("3.5")}), "dtInteger 5");
  // Sums run in floats: a passing excursion beyond 32 bits does no harm.
  EXPECT_EQ(Eval("+", {I(INT_MAX), I(1), I(-1)}), "dtInteger 2147483647");
  // Nested calls and variables are resolved in the context.
  Engine.GetContext()->AddLocalBinding("x", I(4));
  EXPECT_EQ(Eval("*", {Nest("+", {I(1), I(2)}), Nest("-", {I(5), NewValue("x", dtVariable)})}), "dtInteger 3");
  EXPECT_EQ(Error("+", {I(1), A("abc")}), "Not a numeric type.  Value (abc) is a dtAtom type");
  EXPECT_EQ(Error("-", {}), "Too few arguments for -");
}

TEST_F(MathPackage, AnArgumentIsReadBeforeALaterOneRebindsItsVariable) {
  new TStandardPackage(&Engine);  // for bind; the engine owns it
  Engine.GetContext()->AddLocalBinding("x", I(1));  // the binding holds the only reference
  const IIEValue X = NewValue("x", dtVariable);
  // (+ ?x (bind ?x 10) ?x): the first ?x counts as 1, though bind drops that value.
  EXPECT_EQ(Eval("+", {X, Nest("bind", {X, I(10)}), X}), "dtInteger 21");
  EXPECT_EQ(Eval("div", {X, Nest("bind", {X, I(5)}), X}), "dtInteger 0");
  EXPECT_EQ(Eval("div", {Nest("bind", {X, I(50)}), X}), "dtInteger 1");
  EXPECT_EQ(Error("+", {NewValue("nothing", dtVariable)}), "Corrupted Binding, variable not found: nothing");
}

TEST_F(MathPackage, ArithmeticErrorsInsteadOfUndefinedResults) {
  EXPECT_EQ(Error("div", {I(1), I(0)}), "Division by zero in div");
  EXPECT_EQ(Error("mod", {I(1), I(0)}), "Division by zero in mod");
  EXPECT_EQ(Error("/", {I(1), F(0)}), "Division by zero in /");
  EXPECT_EQ(Error("/", {F(1e308), F(1e-308)}), "Floating-point overflow in /");
  EXPECT_EQ(Error("div", {I(INT_MIN), I(-1)}),
            "Integer overflow in div: 2147483648 is outside the 32-bit integer range");
  EXPECT_EQ(Eval("mod", {I(INT_MIN), I(-1)}), "dtInteger 0");
  EXPECT_EQ(Eval("div", {I(INT_MIN), I(1)}), "dtInteger -2147483648");
  EXPECT_EQ(Error("+", {I(INT_MAX), I(1)}),
            "Integer overflow in +: 2147483648 is outside the 32-bit integer range");
  EXPECT_EQ(Error("-", {I(INT_MIN), I(1)}),
            "Integer overflow in -: -2147483649 is outside the 32-bit integer range");
  EXPECT_EQ(Error("*", {I(65536), I(65536)}),
            "Integer overflow in *: 4294967296 is outside the 32-bit integer range");
  EXPECT_EQ(Eval("*", {I(65536), I(65536), F(1)}), "dtFloat 4294967296.0000");  // a float result is fine
  EXPECT_EQ(Error("abs", {I(INT_MIN)}), "Integer overflow in abs: 2147483648 is outside the 32-bit integer range");
  EXPECT_EQ(Error("integer", {F(1e10)}),
            "Integer overflow in integer: 10000000000 is outside the 32-bit integer range");
  EXPECT_EQ(Error("div", {F(-3e9), I(2)}), "Integer overflow in div: -3000000000 is outside the 32-bit integer range");
  EXPECT_EQ(Error("max", {A("1e20")}), "Integer overflow in max: 1e+20 is outside the 32-bit integer range");
  EXPECT_EQ(Error("log", {I(0)}), "log is undefined for 0");
  EXPECT_EQ(Error("log", {F(-1)}), "log is undefined for -1");
  EXPECT_EQ(Error("log10", {I(0)}), "log10 is undefined for 0");
  EXPECT_EQ(Error("sqrt", {F(-0.5)}), "sqrt is undefined for -0.5");
  EXPECT_EQ(Error("exp", {I(1000)}), "Floating-point overflow in exp");
  EXPECT_EQ(Error("**", {I(0), I(-1)}), "Division by zero in **");
  EXPECT_EQ(Error("**", {I(-8), F(0.5)}), "** is undefined for -8 and 0.5");
  EXPECT_EQ(Error("**", {I(10), I(400)}), "Floating-point overflow in **");
}

TEST_F(MathPackage, ExtremesRoundingAndConversions) {
  EXPECT_EQ(Eval("max", {F(1.5), I(3)}), "dtFloat 3.0000");
  EXPECT_EQ(Eval("max", {I(3), F(1.5)}), "dtInteger 3");
  EXPECT_EQ(Eval("max", {I(3), F(3.0)}), "dtInteger 3");  // only a strictly greater value replaces
  EXPECT_EQ(Eval("min", {I(4), F(2.5), I(1)}), "dtFloat 1.0000");
  EXPECT_EQ(Eval("min", {I(4), I(2), I(9)}), "dtInteger 2");
  EXPECT_EQ(Eval("round", {F(2.5)}), "dtFloat 2.0000");
  EXPECT_EQ(Eval("round", {F(3.5)}), "dtFloat 4.0000");
  EXPECT_EQ(Eval("round", {F(-2.5)}), "dtFloat -2.0000");
  EXPECT_EQ(Eval("round", {F(-0.4)}), "dtFloat 0.0000");
  EXPECT_EQ(Eval("round", {F(2.6)}), "dtFloat 3.0000");
  EXPECT_EQ(Eval("round", {I(7)}), "dtFloat 7.0000");
  EXPECT_EQ(Eval("abs", {I(-3)}), "dtInteger 3");
  EXPECT_EQ(Eval("abs", {F(-2.5)}), "dtFloat 2.5000");
  EXPECT_EQ(Error("abs", {S("-3")}), "Expected numeric argument to abs function call");
  EXPECT_EQ(Eval("float", {I(3)}), "dtFloat 3.0000");
  EXPECT_EQ(Eval("integer", {F(-3.9)}), "dtInteger -3");
  EXPECT_EQ(Eval("integer", {S("$1F")}), "dtInteger 31");
  EXPECT_EQ(Eval("sqrt", {I(16)}), "dtFloat 4.0000");
  EXPECT_EQ(Eval("exp", {I(0)}), "dtFloat 1.0000");
  EXPECT_EQ(Eval("log", {Nest("exp", {I(2)})}), "dtFloat 2.0000");
  EXPECT_EQ(Eval("log10", {I(1000)}), "dtFloat 3.0000");
  EXPECT_EQ(Eval("**", {I(2), I(10)}), "dtFloat 1024.0000");
  EXPECT_EQ(Run("PI", {}), FCPI);  // the shared constant itself
}

TEST_F(MathPackage, RandomNumbersComeFromTheEnginesSeededGenerator) {
  auto Draws = [&](std::initializer_list<IIEValue> Arguments) {
    std::vector<int32_t> Result;
    for (int K = 0; K < 200; ++K) Result.push_back(Run("random", Arguments)->GetAsInteger());
    return Result;
  };
  EXPECT_EQ(Eval("seed", {I(42)}), "dtAtom TRUE");
  const std::vector<int32_t> First = Draws({I(5), I(10)});
  EXPECT_EQ(Eval("randomize", {I(42)}), "dtAtom TRUE");
  EXPECT_EQ(Draws({I(5), I(10)}), First);  // the same seed gives the same sequence
  EXPECT_EQ(*std::min_element(First.begin(), First.end()), 5);
  EXPECT_EQ(*std::max_element(First.begin(), First.end()), 14);  // low plus 0 to high - 1
  for (int32_t V : Draws({I(3)})) EXPECT_TRUE(V >= 0 && V <= 2) << V;
  for (int32_t V : Draws({})) EXPECT_TRUE(V >= 0 && V <= 65535) << V;
  EXPECT_EQ(Eval("random", {I(-7), I(1)}), "dtInteger -7");
  EXPECT_EQ(Error("random", {I(0)}), "Invalid high limit for random: 0 (it must be greater than 0)");
  EXPECT_EQ(Error("random", {I(5), I(-1)}), "Invalid high limit for random: -1 (it must be greater than 0)");
  // A sum past the integer range raises; the draws that fit are right.
  int Overflows = 0;
  for (int K = 0; K < 20; ++K) {
    const std::string E = ErrorOf([&] {
      const int32_t V = Run("random", {I(INT_MAX - 10), I(100)})->GetAsInteger();
      EXPECT_GE(V, INT_MAX - 10);
    });
    if (E != "(no error)") {
      EXPECT_EQ(E.rfind("Integer overflow in random: ", 0), 0u) << E;
      ++Overflows;
    }
  }
  EXPECT_GT(Overflows, 0);
  EXPECT_EQ(Eval("randomize", {}), "dtAtom TRUE");

  // Each engine has its own generator.
  TInferenceEngine Other;
  new TMathPackage(&Other);
  Run("seed", {I(7)});
  IIEValue Ignored;
  MakeRef<TFunctionCall>(&Other, "random")->Execute(Other.GetContext(), Ignored);
  const int32_t Seeded = Run("random", {})->GetAsInteger();
  Run("seed", {I(7)});
  EXPECT_EQ(Run("random", {})->GetAsInteger(), Seeded);

  // Outside any rule (no context) the call's engine serves; with neither there is a clear error.
  IIEValue Result;
  Call("random", {I(1)})->Execute(nullptr, Result);
  EXPECT_EQ(Result->GetAsInteger(), 0);
  IFunCall Orphan = MakeRef<TFunctionCall>(nullptr, "seed");
  Orphan->AddArgument(I(1));
  Orphan->SetUserFunction(Find(*Math, "seed"));
  EXPECT_EQ(ErrorOf([&] { Orphan->Execute(nullptr, Result); }),
            "seed needs an inference engine for its random number generator");
}

TEST_F(MathPackage, ACallWithoutValueIsAnErrorNotACrash) {
  auto Silent =
      MakeRef<TIEInnerFunction>(TCallEvent([](platform::TObject*, TFunctionCall&, TIEContext*, IIEValue&) {}));
  Silent->SetFunctionName("silent");
  Silent->AddReasoner(&Engine);
  EXPECT_EQ(Error("+", {Nest("silent", {})}), "Not a numeric type.  Value () is a dtNone type");
  EXPECT_EQ(Eval("get-type", {Nest("silent", {})}), "dtAtom dtNone");
  EXPECT_EQ(Eval("str-cat", {S("a"), Nest("silent", {})}), "dtString \"a\"");
}

// =============================================================================================
// Predicate package
// =============================================================================================

TEST_F(PredicatePackage, RegistersInOrderWithTypeComments) {
  EXPECT_EQ(Names(*Predicates),
            (std::vector<std::string>{"evenp", "oddp", "get-type", "lexemep", "numberp", "floatp", "fuzzyp",
                                      "integerp", "stringp", "symbolp", "multifieldp", "external-addressp",
                                      "objectp"}));
  EXPECT_EQ(Find(*Predicates, "get-type")->GetArgumentString(), " <expression> ");
  EXPECT_EQ(Find(*Predicates, "evenp")->GetComment(),
            "Returns TRUE if the argument is an even integer, FALSE otherwise");
  const auto* Lexemep = dynamic_cast<const TVerifyTypePFunction*>(Find(*Predicates, "lexemep").get());
  ASSERT_NE(Lexemep, nullptr);
  EXPECT_EQ(Lexemep->GetValueTypes(), (TIETypes{dtAtom, dtString}));
  EXPECT_EQ(Lexemep->GetArgumentString(), " <expression>");
  EXPECT_EQ(Lexemep->GetMinArgumentCount(), 1);
  EXPECT_EQ(Lexemep->GetMaxArgumentCount(), 1);
  EXPECT_EQ(Lexemep->GetComment(),
            "Returns TRUE if the argument is of the following type(s): Atom, String.  If the argument is any other "
            "type, FALSE is returned");
  EXPECT_EQ(TVerifyTypePFunction().GetComment(),
            "Returns TRUE if the argument is of the following type(s): NONE.  If the argument is any other type, "
            "FALSE is returned");
  // ValueTypes is published and copied by Assign.
  auto Copy = MakeRef<TVerifyTypePFunction>();
  Copy->Assign(*Lexemep);
  EXPECT_EQ(Copy->GetFunctionName(), "lexemep");
  EXPECT_EQ(Copy->GetValueTypes(), Lexemep->GetValueTypes());
  platform::SetPropValue(*Copy, "ValueTypes", int64_t{TIETypes{dtFloat}.Mask()});
  EXPECT_EQ(Copy->GetValueTypes(), TIETypes{dtFloat});
}

TEST_F(PredicatePackage, TestsParityAndKinds) {
  EXPECT_EQ(Eval("evenp", {I(4)}), "dtAtom TRUE");
  EXPECT_EQ(Eval("evenp", {I(-3)}), "dtAtom FALSE");
  EXPECT_EQ(Eval("oddp", {I(-3)}), "dtAtom TRUE");
  EXPECT_EQ(Eval("oddp", {F(2.5)}), "dtAtom FALSE");  // the integer conversion, 2
  EXPECT_EQ(Eval("evenp", {I(INT_MIN)}), "dtAtom TRUE");
  EXPECT_EQ(Eval("evenp", {Nest("+", {I(1), I(1)})}), "dtAtom TRUE");
  EXPECT_EQ(Error("evenp", {A("x")}), "Not a integer type.  Value (x) is a dtAtom type");
  EXPECT_EQ(Eval("get-type", {I(1)}), "dtAtom dtInteger");
  EXPECT_EQ(Eval("get-type", {MakeRef<TIEValue>(NewList())}), "dtAtom dtList");
  EXPECT_EQ(Eval("numberp", {F(1.5)}), "dtAtom TRUE");
  EXPECT_EQ(Eval("numberp", {S("1")}), "dtAtom FALSE");
  EXPECT_EQ(Eval("lexemep", {S("s")}), "dtAtom TRUE");
  EXPECT_EQ(Eval("symbolp", {S("s")}), "dtAtom FALSE");
  EXPECT_EQ(Eval("stringp", {S("s")}), "dtAtom TRUE");
  EXPECT_EQ(Eval("integerp", {F(1)}), "dtAtom FALSE");
  EXPECT_EQ(Eval("floatp", {Nest("/", {I(1), I(2)})}), "dtAtom TRUE");
  EXPECT_EQ(Eval("multifieldp", {MakeRef<TIEValue>(NewList())}), "dtAtom TRUE");
  EXPECT_EQ(Eval("external-addressp", {MakeRef<TIEValue>(static_cast<void*>(&Engine))}), "dtAtom TRUE");
  EXPECT_EQ(Eval("objectp", {MakeRef<TIEValue>(&Engine, false)}), "dtAtom TRUE");
  EXPECT_EQ(Eval("fuzzyp", {I(1)}), "dtAtom FALSE");
}

// =============================================================================================
// String package
// =============================================================================================

TEST_F(StringPackage, RegistersInOrder) {
  EXPECT_EQ(Names(*Strings), (std::vector<std::string>{"lowcase", "str-cat", "str-compare", "str-index",
                                                      "str-length", "sub-string", "sym-cat", "upcase"}));
  const IUserFunction& Sub = Find(*Strings, "sub-string");
  EXPECT_EQ(Sub->GetArgumentString(), " <start-integer-expression> <end-integer-expression> <lexeme-expression>");
  EXPECT_EQ(Sub->GetMinArgumentCount(), 3);
  EXPECT_EQ(Sub->GetMaxArgumentCount(), 3);
  EXPECT_EQ(Find(*Strings, "str-cat")->GetMinArgumentCount(), 0);
  EXPECT_EQ(Find(*Strings, "str-compare")->GetComment(),
            "Returns an integer value for the comparison of the two symbols, with case-sensitivity.   The return "
            "value is less than 0 if argument1 is less than argument2, 0 if argument1 equals argument2, or greater "
            "than 0 if argument1 is greater than argument2");
}

TEST_F(StringPackage, ConcatenatesChangesCaseAndCompares) {
  EXPECT_EQ(Eval("str-cat", {S("a"), A("b"), I(1), F(2.5)}), "dtString \"ab12.5000\"");
  EXPECT_EQ(Eval("sym-cat", {S("a"), A("b"), I(1)}), "dtAtom ab1");
  EXPECT_EQ(Eval("str-cat", {}), "dtString \"\"");
  EXPECT_EQ(Eval("str-cat", {S("say \"hi\"")}), "dtString \"say \\\"hi\\\"\"");
  EXPECT_EQ(Eval("upcase", {A("abc")}), "dtAtom ABC");
  EXPECT_EQ(Eval("upcase", {S("a-b\xE9")}), "dtString \"A-B\xE9\"");  // letters A to Z only
  EXPECT_EQ(Eval("lowcase", {S("MiXeD")}), "dtString \"mixed\"");
  EXPECT_EQ(Eval("lowcase", {I(12)}), "dtString \"12\"");
  EXPECT_EQ(Eval("str-length", {S("hello")}), "dtInteger 5");
  EXPECT_EQ(Eval("str-length", {F(1.5)}), "dtInteger 6");  // "1.5000"
  EXPECT_EQ(Eval("str-compare", {S("a"), S("b")}), "dtInteger -1");
  EXPECT_EQ(Eval("str-compare", {S("b"), A("b")}), "dtInteger 0");
  EXPECT_EQ(Eval("str-compare", {S("b"), S("a")}), "dtInteger 1");
  EXPECT_EQ(Eval("str-compare", {S("A"), S("a")}), "dtInteger -1");      // case-sensitive
  EXPECT_EQ(Eval("str-compare", {S("\xE9"), S("z")}), "dtInteger 1");    // codes compare unsigned
  EXPECT_EQ(Eval("str-compare", {S("ab"), S("abc")}), "dtInteger -1");
}

TEST_F(StringPackage, IndexesAndCutsSubstrings) {
  EXPECT_EQ(Eval("str-index", {A("c"), A("abc")}), "dtInteger 3");
  EXPECT_EQ(Eval("str-index", {A("x"), A("abc")}), "dtAtom FALSE");
  EXPECT_EQ(Eval("str-index", {S("bc"), S("abcbc")}), "dtInteger 2");
  EXPECT_EQ(Eval("sub-string", {I(2), I(3), S("hello")}), "dtString \"el\"");
  EXPECT_EQ(Eval("sub-string", {I(1), I(5), A("hello")}), "dtString \"hello\"");
  EXPECT_EQ(Eval("sub-string", {I(4), I(99), S("hello")}), "dtString \"lo\"");
  EXPECT_EQ(Eval("sub-string", {I(5), I(INT_MAX), S("hello")}), "dtString \"o\"");
  EXPECT_EQ(Eval("sub-string", {I(3), I(2), S("hello")}), "dtString \"\"");
  EXPECT_EQ(Eval("sub-string", {F(2.7), F(3.2), S("hello")}), "dtString \"el\"");
  EXPECT_EQ(Error("sub-string", {I(0), I(1), S("hello")}), "Invalid substring parameters: 0, 1");
  EXPECT_EQ(Error("sub-string", {I(6), I(6), S("hello")}), "Invalid substring parameters: 6, 6");
  EXPECT_EQ(Error("sub-string", {I(3), I(1), S("hello")}), "Invalid substring parameters: 3, 1");
  EXPECT_EQ(Error("sub-string", {I(INT_MIN), I(INT_MIN), S("hello")}),
            "Invalid substring parameters: -2147483648, -2147483648");
  EXPECT_EQ(Error("sub-string", {I(1), I(0), S("")}), "Invalid substring parameters: 1, 0");
}
