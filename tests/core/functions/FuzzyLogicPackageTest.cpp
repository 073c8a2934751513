// The fuzzy logic package, end to end through the rule language: what the functions answer,
// what they do to facts and settings, the errors they raise and the text plot.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/TestConsole.h"

#include "core/functions/FuzzyLogicPackage.h"
#include "core/values/IEFuzzySet.h"
#include "platform/Format.h"
#include "platform/Properties.h"

using namespace rulecore;

namespace {

class FuzzyLogicTest : public ::testing::Test {
 protected:
  FuzzyLogicTest() {
    C.Run("(deftype temperature extends (type FUZZY) (range 0 100) (units \"degrees\")"
          " (values (term cold ((0 1) (50 0))) (term hot ((50 0) (100 1)))))"
          "(deftemplate room (slot name) (slot temp (type temperature)))");
  }
  // What the commands echo, line ends removed between and after results.
  std::string Eval(const std::string& Text) {
    std::string Out = C.Run(Text);
    for (size_t At; (At = Out.find("\r\n")) != std::string::npos;) Out.replace(At, 2, Out.size() > At + 2 ? " | " : "");
    return Out;
  }
  std::string Error(const std::string& Text) {
    try {
      C.Run(Text);
    } catch (const platform::Exception& E) {
      return E.Message();
    }
    return "(no error)";
  }
  rulecore::testing::TConsole C;
};

using FuzzyLogicPackage = FuzzyLogicTest;
using FuzzyLogicShapes = FuzzyLogicTest;
using FuzzyLogicValues = FuzzyLogicTest;
using FuzzyLogicFacts = FuzzyLogicTest;
using FuzzyLogicInspection = FuzzyLogicTest;
using FuzzyLogicSettings = FuzzyLogicTest;
using FuzzyLogicPlot = FuzzyLogicTest;

const std::string Expected = ", expected zadeh, mean, mean-sqr, mean-sqrt, product, bounded-sum, or sum";
const std::string Methods = ", expected minmax, additive, mean, product, boundedsum";

}  // namespace

TEST_F(FuzzyLogicPackage, CreatesItsFunctionsInOrderAndTheNameSelectsTheBehaviour) {
  TFuzzyLogicPackage Package;
  const std::vector<std::string> Order = {
      "create-fuzzy-value", "fuzzy-assert", "fuzzy-assert-unconditional", "fuzzy-union", "fuzzy-union-x",
      "fuzzy-intersection", "fuzzy-intersection-x", "get-fs", "get-fs-length", "get-fs-x", "get-fs-y",
      "get-fs-variable", "get-fs-value", "get-activation-threshold", "set-activation-threshold",
      "get-fuzzy-auto-terms", "set-fuzzy-auto-terms", "get-fuzzy-correlation", "set-fuzzy-correlation",
      "get-fuzzy-inference", "set-fuzzy-inference", "get-fuzzy-threshold", "set-fuzzy-threshold", "get-u",
      "get-u-from", "get-u-to", "get-u-units", "moment-defuzzify", "maximum-defuzzify", "is-undecidable",
      "get-compatibility-index", "plot-fuzzy-value", "s", "z", "pi", "tri", "beta"};
  ASSERT_EQ(Package.GetFunctions().Count(), static_cast<int>(Order.size()));
  for (int I = 0; I < Package.GetFunctions().Count(); ++I) {
    const IUserFunction& F = Package.GetFunctions().Item(I);
    EXPECT_EQ(F->GetFunctionName(), Order[static_cast<size_t>(I)]);
    EXPECT_FALSE(F->GetComment().empty()) << Order[static_cast<size_t>(I)];
  }
  const auto Arity = [&](const char* Name) {
    const IUserFunction& F = Package.GetFunctions().Item(Package.IndexOf(Name));
    return std::to_string(F->GetMinArgumentCount()) + ".." + std::to_string(F->GetMaxArgumentCount());
  };
  EXPECT_EQ(Arity("fuzzy-assert-unconditional"), "1..2147483647");
  EXPECT_EQ(Arity("fuzzy-union-x"), "3..2147483647");
  EXPECT_EQ(Arity("get-fs-x"), "0..2147483647");
  EXPECT_EQ(Arity("set-fuzzy-threshold"), "1..1");
  EXPECT_EQ(Arity("plot-fuzzy-value"), "5..2147483647");

  // The published FunctionType and the name follow each other.
  TGetFuzzyFunction Get;
  EXPECT_EQ(Get.GetFunctionName(), "get-fs");
  Get.SetFunctionName("get-fs-y");
  EXPECT_EQ(Get.GetFunctionType(), gffGetFsY);
  platform::SetPropValue(Get, "FunctionType", int64_t{gffGetFsValue});
  EXPECT_EQ(Get.GetFunctionName(), "get-fs-value");
  ASSERT_NE(platform::GetPropInfo(TGetFuzzyFunction::StaticClass(), "FunctionType"), nullptr);
  EXPECT_EQ(platform::GetPropInfo(TGetFuzzyFunction::StaticClass(), "FunctionType")->Kind, platform::pkEnumeration);
}

TEST_F(FuzzyLogicShapes, PointsMembershipsAndNames) {
  EXPECT_EQ(Eval("(get-fs-length (tri 0 50 100))"), "3");
  EXPECT_EQ(Eval("(get-fs-length (s 0 100))"), "7");
  EXPECT_EQ(Eval("(get-fs (tri 0 50 100))"), "((0.0000 0.0000) (50.0000 1.0000) (100.0000 0.0000) )");
  EXPECT_EQ(Eval("(get-fs-value (tri 0 50 100) 25)"), "0.5000");
  // S: 2((x - l)/w)^2 below the middle; Z is 1 minus it.
  EXPECT_EQ(Eval("(get-fs-x (s 0 60) 2) (get-fs-y (s 0 60) 2) (get-fs-y (z 0 60) 1)"), "20.0000 | 0.2222 | 0.9444");
  // PI by centre and width, and by left, centre and right: 7 points with the peak once.
  EXPECT_EQ(Eval("(get-fs-x (pi 50 20) 0) (get-fs-x (pi 50 20) 6) (get-fs-y (pi 50 20) 3)"),
            "30.0000 | 70.0000 | 1.0000");
  EXPECT_EQ(Eval("(get-fs-x (pi 0 50 100) 3) (get-fs-length (pi 0 50 100))"), "50.0000 | 7");
  // Beta: 1 / (1 + weight ((x - c) / beta)^2); beta defaults to (center + width) / 2.
  EXPECT_EQ(Eval("(get-fs-value (beta 50 10 5) 40) (get-fs-value (beta 50 10) 40) (get-fs-value (beta 50 10 5 4) 40)"),
            "0.2000 | 0.9000 | 0.0588");
  // Named after the call, with the values its arguments had.
  EXPECT_EQ(Eval("(tri 0 50 100)"), "(tri 0 50 100)");
  EXPECT_EQ(Eval("(bind ?c 50) (tri 0 ?c 100.5)"), "50 | (tri 0 50 100.5000)");
  EXPECT_EQ(Error("(get-fs-variable (tri 0 50 100))"), "fuzzy variable is not defined");
  EXPECT_EQ(Error("(tri 0 50)"), "Too few arguments for tri");
  EXPECT_EQ(Error("(beta 50 10 5 4 1)"), "Too many arguments for beta");
  EXPECT_EQ(Error("(get-fs)"), "Too few arguments for get-fs");
  EXPECT_EQ(Error("(get-fs-x (tri 0 50 100) 3)"), "List index out of bounds (3)");
  EXPECT_EQ(Error("(get-fs-y (tri 0 50 100) -1)"), "List index out of bounds (-1)");
}

TEST_F(FuzzyLogicValues, CreateFuzzyValueEvaluatesAnExpressionForTheVariable) {
  EXPECT_EQ(Eval("(create-fuzzy-value temperature hot)"), "hot");
  // very squares: hot is 0.5 at 75.
  EXPECT_EQ(Eval("(get-fs-value (create-fuzzy-value temperature very hot) 75)"), "0.2500");
  EXPECT_EQ(Eval("(get-fs-variable (create-fuzzy-value temperature [hot or cold]))"), "temperature");
  // A fuzzy value names its variable.
  C.Run("(bind ?h (create-fuzzy-value temperature hot))");
  EXPECT_EQ(Eval("(get-fs-value (create-fuzzy-value ?h not hot) 75)"), "0.5000");
  EXPECT_EQ(Error("(create-fuzzy-value nosuch hot)"), "type name unknown or invalid: nosuch");
  EXPECT_EQ(Error("(create-fuzzy-value 3 hot)"), "Invalid argument type for deffunction: \"dtInteger\".  Expected Atom, String, Fuzzy");
  EXPECT_EQ(Error("(create-fuzzy-value (tri 0 50 100) hot)"), "fuzzy variable is not defined");
  EXPECT_EQ(Error("(deftype age extends (type INTEGER)) (create-fuzzy-value age hot)"), "fuzzy variable is not defined");
  EXPECT_EQ(Error("(create-fuzzy-value temperature)"), "Too few arguments for create-fuzzy-value");
}

TEST_F(FuzzyLogicValues, UnionAndIntersectionFoldFromTheLeftIntoNewValues) {
  C.Run("(bind ?u (fuzzy-union (tri 0 20 40) (tri 30 50 70) (tri 60 80 100)))");
  EXPECT_EQ(Eval("?u"), "[[(tri 0 20 40)] or [(tri 30 50 70)]] or [(tri 60 80 100)]");
  EXPECT_EQ(Eval("(get-fs-value ?u 20) (get-fs-value ?u 50) (get-fs-value ?u 80) (get-fs-value ?u 35)"),
            "1.0000 | 1.0000 | 1.0000 | 0.2500");
  EXPECT_EQ(Eval("(get-fs-value (fuzzy-intersection (tri 0 50 100) (tri 25 75 125)) 50)"), "0.5000");
  // At x = 50 the memberships are 1 and 0.5.
  EXPECT_EQ(Eval("(get-fs-value (fuzzy-union-x sum (tri 0 50 100) (tri 0 100 200)) 50)"), "1.5000");
  EXPECT_EQ(Eval("(get-fs-value (fuzzy-intersection-x product (tri 0 50 100) (tri 0 100 200)) 50)"), "0.5000");
  // Terms are operands, never results.
  C.Run("(fuzzy-union (create-fuzzy-value temperature hot) (create-fuzzy-value temperature cold))");
  EXPECT_EQ(Eval("(get-fs (create-fuzzy-value temperature hot))"), "((50.0000 0.0000) (100.0000 1.0000) )");

  EXPECT_EQ(Error("(fuzzy-union-x max (tri 0 50 100) (s 0 100))"),
            "Invalid Fuzzy operation specified (max) for fuzzy-union-x" + Expected);
  EXPECT_EQ(Error("(fuzzy-intersection-x 5 (tri 0 50 100) (s 0 100))"),
            "Invalid Fuzzy operation specified (5) for fuzzy-intersection-x" + Expected);
  EXPECT_EQ(Error("(fuzzy-union (tri 0 50 100))"), "Too few arguments for fuzzy-union");
  EXPECT_EQ(Error("(fuzzy-union-x zadeh (tri 0 50 100))"), "Too few arguments for fuzzy-union-x");
  EXPECT_EQ(Error("(fuzzy-union hot cold)"), "Not a fuzzy value type.  Value (hot) is a dtAtom type");
}

TEST_F(FuzzyLogicFacts, AssertCombinesEqualFactsByTheNamedMethod) {
  EXPECT_EQ(Eval("(fuzzy-assert min-max (room (name a) (temp cold)))"), "<Fact-1>");
  // Zadeh union with the existing fact, which is retracted.
  EXPECT_EQ(Eval("(fuzzy-assert min-max (room (name a) (temp hot)))"), "<Fact-2>");
  EXPECT_EQ(Eval("(get-fs-value 2 0) (get-fs-value 2 25) (get-fs-value 2 50) (get-fs-value 2 100)"),
            "1.0000 | 0.5000 | 0.0000 | 1.0000");
  EXPECT_EQ(Error("(get-fs 1)"), "No Such Fact with ID=1 exists");
  // Without a method: min-max, and intersection (medium is the triangle 0 50 100).
  EXPECT_EQ(Eval("(fuzzy-assert-unconditional (room (name a) (temp medium)))"), "<Fact-3>");
  EXPECT_EQ(Eval("(get-fs-value 3 0) (get-fs-value 3 25) (get-fs-value 3 50)"), "0.0000 | 0.5000 | 0.0000");
  // The method applies to this assertion only.
  C.Run("(fuzzy-assert sum (room (name b) (temp hot)) (room (name b) (temp hot)))");
  EXPECT_EQ(Eval("(get-fs-value 5 100) (get-fuzzy-inference)"), "2.0000 | min-max");
  EXPECT_EQ(Eval("(fuzzy-assert-unconditional min-max)"), "FALSE");
  // Variables are resolved in the rule that asserts.
  C.Run("(defrule r (go ?n) => (fuzzy-assert mean (room (name ?n) (temp cold))))(assert (go z))");
  C.Engine.Run();
  EXPECT_EQ(Eval("(get-slot-value 7 name) (get-fs-variable 7)"), "z | temperature");

  EXPECT_EQ(Error("(fuzzy-assert max (room (name a) (temp hot)))"), "Invalid Fuzzy Inference specified (max)" + Methods);
  EXPECT_EQ(Error("(fuzzy-assert (room (name a) (temp hot)) (room (name c) (temp hot)))"),
            "Invalid Fuzzy Inference specified ((room (name a) (temp hot)))" + Methods);
  EXPECT_EQ(Error("(fuzzy-assert min-max)"), "Too few arguments for fuzzy-assert");
  EXPECT_EQ(Error("(assert (plain 1)) (fuzzy-union 8 (tri 0 50 100))"), "Fact is not a fuzzy fact");
  EXPECT_EQ(Error("(fuzzy-union 99 (tri 0 50 100))"), "No Such Fact with ID=99 exists");
}

TEST_F(FuzzyLogicInspection, DefuzzificationRecordsTheCompatibilityIndex) {
  EXPECT_EQ(Eval("(maximum-defuzzify (tri 0 50 100))"), "50.0000");
  EXPECT_EQ(Eval("(is-undecidable (tri 0 50 100)) (get-compatibility-index (tri 0 50 100))"), "TRUE | 0.0000");
  // Centroid of the triangle (0 + 20 + 80) / 3; its membership there is (80 - 33.33) / 60.
  C.Run("(bind ?t (tri 0 20 80))");
  EXPECT_EQ(Eval("(moment-defuzzify ?t) (get-compatibility-index ?t) (is-undecidable ?t)"),
            "33.3333 | 0.7778 | FALSE");
  EXPECT_EQ(Eval("(maximum-defuzzify (create-fuzzy-value temperature hot))"), "100.0000");
}

TEST_F(FuzzyLogicInspection, UniverseOfDiscourseOfATypeOrValue) {
  EXPECT_EQ(Eval("(get-u temperature)"), "\"0.0000 - 100.0000 degrees\"");
  EXPECT_EQ(Eval("(get-u-from temperature) (get-u-to (create-fuzzy-value temperature hot)) (get-u-units \"temperature\")"),
            "0.0000 | 100.0000 | \"degrees\"");
  EXPECT_EQ(Error("(get-u-units 3)"), "Invalid argument type for deffunction: \"dtInteger\".  Expected Atom, String, Fuzzy");
  EXPECT_EQ(Error("(get-u nosuch)"), "type name unknown or invalid: nosuch");
}

TEST_F(FuzzyLogicSettings, SettersAnswerThePreviousValue) {
  EXPECT_EQ(Eval("(set-fuzzy-correlation product) (get-fuzzy-correlation)"), "minimum | product");
  EXPECT_EQ(Error("(set-fuzzy-correlation max)"), "Invalid Fuzzy Correlation specified (max), expected minimum, product");
  EXPECT_EQ(Eval("(set-fuzzy-inference sum) (get-fuzzy-inference)"), "min-max | sum");
  EXPECT_EQ(Error("(set-fuzzy-inference minmax)"), "Invalid Fuzzy Inference specified (minmax)" + Methods);
  EXPECT_EQ(Eval("(get-fuzzy-correlation) (get-fuzzy-inference)"), "product | sum");  // kept after the errors
  // Later assertions combine by unbounded sum.
  C.Run("(assert (room (name a) (temp hot)) (room (name a) (temp hot)))");
  EXPECT_EQ(Eval("(get-fs-value 2 100)"), "2.0000");

  const std::string Old = platform::Format("%.4f", {C.Engine.GetFuzzyEqualsThreshold()});
  EXPECT_EQ(Eval("(set-fuzzy-threshold 3) (get-fuzzy-threshold)"), Old + " | 1.0000");
  EXPECT_EQ(C.Engine.FindDefinedType("temperature")->GetFuzzyType()->GetThreshold(), 1.0);
  EXPECT_EQ(Eval("(set-fuzzy-threshold -1) (get-fuzzy-threshold)"), "1.0000 | 0.0000");

  EXPECT_EQ(Eval("(set-activation-threshold 0.6) (get-activation-threshold)"), "0.0000 | 0.6000");
  EXPECT_EQ(Eval("(set-activation-threshold 1e300) (get-activation-threshold)"), "0.6000 | 1.0000");

  // Only TRUE turns automatic terms on; without them a new type has no "low".
  EXPECT_EQ(Eval("(set-fuzzy-auto-terms yes) (get-fuzzy-auto-terms)"), "TRUE | FALSE");
  C.Run("(deftype level extends (type FUZZY) (range 0 10) (values (term up ((0 0) (10 1)))))");
  EXPECT_EQ(Error("(create-fuzzy-value level low)"), "Invalid item in fuzzy expression: low");
  EXPECT_EQ(Eval("(set-fuzzy-auto-terms TRUE) (get-fuzzy-auto-terms)"), "FALSE | TRUE");
  EXPECT_EQ(Error("(get-fuzzy-threshold 1)"), "Too many arguments for get-fuzzy-threshold");
}

TEST_F(FuzzyLogicPlot, TermsOfATypeDrawnByHand) {
  // mid is 1 on [40, 60] and 0 elsewhere at the sampled x = 0, 2, ... 98; part is 0.625 up to 50
  // and 0 after it: 0.625 * 20 = 12.5 is drawn on row 12 (halves to even), and part's zeros
  // overwrite mid's on row 0 from x = 52.
  C.Run("(set-fuzzy-auto-terms FALSE)"
        "(deftype level extends (type FUZZY) (range 0 100)"
        " (values (term mid ((0 0) (39 0) (40 1) (60 1) (61 0))) (term part ((0 0.625) (50 0.625) (51 0) (100 0)))))");
  std::string Want = "Fuzzy Variable: level\r\nFuzzy Values: mid(*) part(+)\r\n\r\n";
  const char* Labels[] = {"1.0000", "0.9500", "0.9000", "0.8500", "0.8000", "0.7500", "0.7000",
                          "0.6500", "0.6000", "0.5500", "0.5000", "0.4500", "0.4000", "0.3500",
                          "0.3000", "0.2500", "0.2000", "0.1500", "0.1000", "0.0500", "0.0000"};
  for (const char* Label : Labels) {
    const std::string L = Label;
    std::string Row(50, ' ');
    if (L == "1.0000") Row = std::string(20, ' ') + std::string(11, '*') + std::string(19, ' ');
    if (L == "0.6000") Row = std::string(26, '+') + std::string(24, ' ');
    if (L == "0.0000") Row = std::string(20, '*') + std::string(6, ' ') + std::string(24, '+');
    Want += L + Row + "\r\n";
  }
  Want += "    |----|----|----|----|----|----|----|----|----|----|\r\n"
          "   0.00     20.00     40.00     60.00     80.00    100.00\r\n\r\n"
          "Universe of Discourse: From 0.00 to 100.00\r\n";
  EXPECT_EQ(C.Run("(plot-fuzzy-value t \"*+\" nil nil level)"), Want);
}

TEST_F(FuzzyLogicPlot, CharactersLimitsAndVariables) {
  // One character for two values; limits inside the universe are kept.
  const std::string Two =
      C.Run("(plot-fuzzy-value t \"*\" 20 70 (create-fuzzy-value temperature cold) (create-fuzzy-value temperature hot))");
  EXPECT_NE(Two.find("Fuzzy Values: cold(*) hot(*)\r\n"), std::string::npos);
  EXPECT_NE(Two.find("  20.00     30.00     40.00     50.00     60.00     70.00\r\n"), std::string::npos);
  // Limits outside it are cut to it.
  EXPECT_NE(C.Run("(plot-fuzzy-value t \"*\" -50 150 (create-fuzzy-value temperature hot))")
                .find("   0.00     20.00     40.00     60.00     80.00    100.00\r\n"),
            std::string::npos);
  // A fact's fuzzy slot.
  C.Run("(assert (room (name a) (temp hot)))");
  EXPECT_NE(C.Run("(plot-fuzzy-value t \"+\" nil nil 1)").find("Fuzzy Values: hot(+)\r\n"), std::string::npos);
  // Memberships above 1 stay on the top row: twice the triangle is at least 0.975 for x = 26 ... 74.
  const std::string Sum = C.Run("(plot-fuzzy-value t \"*\" 0 100 (fuzzy-union-x sum (tri 0 50 100) (tri 0 50 100)))");
  EXPECT_EQ(Sum.find("Fuzzy Variable"), std::string::npos);
  EXPECT_NE(Sum.find("\r\n1.0000" + std::string(13, ' ') + std::string(25, '*') + std::string(12, ' ') + "\r\n"),
            std::string::npos);
  // Without plot characters every value is drawn with "*".
  C.Output.clear();
  C.Engine.PlotFuzzySet("t", C.Engine.FindDefinedType("temperature")->GetFuzzyType()->GetFuzzySet("hot"), 0, 100, "");
  EXPECT_NE(C.Output.find("Fuzzy Values: hot(*)\r\n"), std::string::npos);

  EXPECT_EQ(Error("(plot-fuzzy-value t \"*+\" 100 0 hot)"), "Invalid low and high limits specified: 100.0000 to 0.0000");
  EXPECT_EQ(Error("(plot-fuzzy-value t \"*+\" -10 -20 temperature)"),
            "Invalid low and high limits specified: 0.0000 to -20.0000");
  EXPECT_EQ(Error("(plot-fuzzy-value t \"*\" 0 100 nosuch)"), "type name unknown or invalid: nosuch");
  C.Run("(deftype humidity extends (type FUZZY) (range 0 100) (values (term wet ((0 0) (100 1)))))");
  EXPECT_EQ(Error("(plot-fuzzy-value t \"*\" 0 100 (create-fuzzy-value temperature hot) (create-fuzzy-value humidity wet))"),
            "Fuzzy variables are different, hot is a term from temperature and wet is a term from humidity");
  EXPECT_EQ(Error("(plot-fuzzy-value t \"*\" 0 100)"), "Too few arguments for plot-fuzzy-value");
}
