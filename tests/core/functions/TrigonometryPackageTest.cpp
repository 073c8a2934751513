// The trigonometry package through the rule language: the function table, identities over grids
// of arguments (each inverse undoes its function on the principal domain, reciprocals multiply to
// 1, unit conversions undo each other), quadrants, distances, and the errors that replace every
// undefined or infinite answer.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/functions/TrigonometryPackage.h"
#include "platform/Format.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using std::numbers::pi;

namespace {

class Trigonometry : public ::testing::Test {
 protected:
  // The float a rule-language call answers; anything but a float fails the test.
  double Eval(const std::string& Text) {
    const IIEValue V = Engine.ParseNExecuteFunCall(Text);
    EXPECT_TRUE(V && V->GetDType() == dtFloat) << Text;
    return V && V->GetDType() == dtFloat ? V->GetAsFloat() : std::nan("");
  }
  std::string Error(const std::string& Text) {
    return ErrorOf([&] { Engine.ParseNExecuteFunCall(Text); });
  }
  TTrigonometryPackage* Package() {
    for (int I = 0; I < Engine.GetComponentCount(); ++I)
      if (auto* P = dynamic_cast<TTrigonometryPackage*>(Engine.GetComponent(I))) return P;
    return nullptr;
  }

  TInferenceEngine Engine;  // the default packages include this one
};

// A number as rule text that reads back as the same double.
std::string N(double X) { return platform::Format("%.17g", {X}); }

// "(f x)" for one argument.
std::string Call(const std::string& F, double X) { return "(" + F + " " + N(X) + ")"; }

// Evenly spaced points from Low to High, ends included.
std::vector<double> Grid(double Low, double High, int Steps) {
  std::vector<double> Points;
  for (int I = 0; I <= Steps; ++I) Points.push_back(Low + (High - Low) * I / Steps);
  return Points;
}

constexpr double Tight = 1e-12;

}  // namespace

TEST_F(Trigonometry, RegistersEveryFunctionWithItsUsageAndArityInOrder) {
  TTrigonometryPackage* P = Package();
  ASSERT_NE(P, nullptr);
  const std::vector<std::string> Unary = {"sin",  "cos",  "tan",   "sec",   "csc",   "cot",   "sinh",  "cosh",
                                          "tanh", "sech", "csch",  "coth",  "asin",  "acos",  "atan",  "asec",
                                          "acsc", "acot", "asinh", "acosh", "atanh", "asech", "acsch", "acoth"};
  const std::vector<std::string> Conversions = {"deg-rad",   "rad-deg",   "grad-rad", "rad-grad",
                                                "cycle-rad", "rad-cycle", "deg-grad", "grad-deg"};
  struct TExpected {
    std::string Name, Usage;
    int32_t Arity;
  };
  std::vector<TExpected> Expected;
  for (const std::string& Name : Unary) Expected.push_back({Name, " <numeric-expression>", 1});
  Expected.push_back({"atan2", " <numeric-expression> <numeric-expression>", 2});
  Expected.push_back({"hypotenuse", " <numeric-expression> <numeric-expression>", 2});
  for (const std::string& Name : Conversions) Expected.push_back({Name, " <numeric-expression>", 1});
  for (const char* Name : {"distance", "distance-sqr", "distance-manhattan"})
    Expected.push_back({Name, " <multifield-expression-1> <multifield-expression-2>", 2});

  ASSERT_EQ(P->GetFunctions().Count(), static_cast<int>(Expected.size()));
  for (size_t I = 0; I < Expected.size(); ++I) {
    const IUserFunction& F = P->GetFunctions().Item(static_cast<int>(I));
    EXPECT_EQ(F->GetFunctionName(), Expected[I].Name) << I;
    EXPECT_EQ(F->GetArgumentString(), Expected[I].Usage) << Expected[I].Name;
    EXPECT_EQ(F->GetMinArgumentCount(), Expected[I].Arity) << Expected[I].Name;
    EXPECT_EQ(F->GetMaxArgumentCount(), Expected[I].Arity) << Expected[I].Name;
    EXPECT_FALSE(F->GetComment().empty()) << Expected[I].Name;
    EXPECT_EQ(Engine.GetUserFunction(Expected[I].Name), F) << Expected[I].Name;
  }
  // Every result is a float, also for integer arguments.
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(hypotenuse 3 4)")->ToString(), "5.0000");
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(deg-grad 90)")->ToString(), "100.0000");
  EXPECT_EQ(Error("(sin)"), "Too few arguments for sin");
  EXPECT_EQ(Error("(atan2 1 2 3)"), "Too many arguments for atan2");
  // Rebuilding keeps one instance of each.
  P->SetReset(true);
  EXPECT_EQ(P->GetFunctions().Count(), static_cast<int>(Expected.size()));
}

TEST_F(Trigonometry, EachInverseUndoesItsFunctionOnThePrincipalDomain) {
  struct TCase {
    const char* Function;
    const char* Inverse;
    double Low, High;
  };
  // Ends of a domain where the function has a pole are left out by a small margin.
  const TCase Cases[] = {
      {"sin", "asin", -pi / 2, pi / 2}, {"cos", "acos", 0, pi},           {"tan", "atan", -1.5, 1.5},
      {"sec", "asec", 0, 1.5},          {"sec", "asec", 1.65, pi},        {"csc", "acsc", 0.05, pi / 2},
      {"csc", "acsc", -pi / 2, -0.05},  {"cot", "acot", 0.05, pi - 0.05}, {"sinh", "asinh", -5, 5},
      {"cosh", "acosh", 0, 5},          {"tanh", "atanh", -3, 3},         {"sech", "asech", 0, 5},
      {"csch", "acsch", 0.05, 5},       {"csch", "acsch", -5, -0.05},     {"coth", "acoth", 0.05, 3},
      {"coth", "acoth", -3, -0.05},
  };
  for (const TCase& C : Cases)
    for (double X : Grid(C.Low, C.High, 40)) {
      const std::string Text = std::string("(") + C.Inverse + " " + Call(C.Function, X) + ")";
      // Relative to the slope of the inverse where the function flattens (sech near 0, tanh far out).
      EXPECT_NEAR(Eval(Text), X, 1e-9 * (1 + std::fabs(X))) << Text;
    }
  // And the other way round, on the inverse's own domain.
  for (double Y : Grid(-1, 1, 40)) {
    EXPECT_NEAR(Eval("(sin " + Call("asin", Y) + ")"), Y, Tight);
    EXPECT_NEAR(Eval("(cos " + Call("acos", Y) + ")"), Y, Tight);
  }
  for (double Y : Grid(1.05, 30, 40)) {
    EXPECT_NEAR(Eval("(sec " + Call("asec", Y) + ")"), Y, 1e-12 * Y);
    EXPECT_NEAR(Eval("(sec " + Call("asec", -Y) + ")"), -Y, 1e-12 * Y);
    EXPECT_NEAR(Eval("(csc " + Call("acsc", -Y) + ")"), -Y, 1e-12 * Y);
    EXPECT_NEAR(Eval("(coth " + Call("acoth", Y) + ")"), Y, 1e-10 * Y);
    EXPECT_NEAR(Eval("(cosh " + Call("acosh", Y) + ")"), Y, 1e-12 * Y);
  }
  for (double Y : Grid(0.01, 1, 40)) {
    EXPECT_NEAR(Eval("(sech " + Call("asech", Y) + ")"), Y, Tight);
    EXPECT_NEAR(Eval("(csch " + Call("acsch", -Y) + ")"), -Y, Tight);
  }
  // The written formulas of the hyperbolic inverses, evaluated directly.
  for (double X : {0.1, 0.5, 0.9, 1.0})
    EXPECT_NEAR(Eval(Call("asech", X)), std::log(1 / X + std::sqrt(1 / (X * X) - 1)), Tight);
  for (double X : {-3.0, -0.2, 0.7, 4.0})
    EXPECT_NEAR(Eval(Call("acsch", X)), std::log(1 / X + std::sqrt(1 / (X * X) + 1)), Tight);
  for (double X : {-7.0, -1.5, 1.01, 2.0}) EXPECT_NEAR(Eval(Call("acoth", X)), std::log((X + 1) / (X - 1)) / 2, 1e-11);
  EXPECT_NEAR(Eval("(acot 0)"), pi / 2, Tight);
  EXPECT_NEAR(Eval("(acot -1)"), 3 * pi / 4, Tight);  // arc cotangent runs from 0 to π
}

TEST_F(Trigonometry, ReciprocalAndPythagoreanIdentitiesHoldOverAGrid) {
  for (double X : Grid(-3, 3, 60)) {
    if (std::fabs(X) < 1e-9) continue;  // the poles of csc, cot, csch, coth
    const std::string A = N(X);
    EXPECT_NEAR(Eval("(* (sec " + A + ") (cos " + A + "))"), 1, Tight) << X;
    EXPECT_NEAR(Eval("(* (csc " + A + ") (sin " + A + "))"), 1, Tight) << X;
    EXPECT_NEAR(Eval("(* (cot " + A + ") (tan " + A + "))"), 1, Tight) << X;
    EXPECT_NEAR(Eval("(* (sech " + A + ") (cosh " + A + "))"), 1, Tight) << X;
    EXPECT_NEAR(Eval("(* (csch " + A + ") (sinh " + A + "))"), 1, Tight) << X;
    EXPECT_NEAR(Eval("(* (coth " + A + ") (tanh " + A + "))"), 1, Tight) << X;
    EXPECT_NEAR(Eval("(+ (* (sin " + A + ") (sin " + A + ")) (* (cos " + A + ") (cos " + A + ")))"), 1, Tight);
    EXPECT_NEAR(Eval("(- (* (cosh " + A + ") (cosh " + A + ")) (* (sinh " + A + ") (sinh " + A + ")))"), 1, 1e-10);
    EXPECT_NEAR(Eval("(tanh " + A + ")"), std::sinh(X) / std::cosh(X), Tight);
    EXPECT_NEAR(Eval("(tan " + A + ")"), std::sin(X) / std::cos(X), 1e-12 * (1 + std::fabs(std::tan(X))));
    // acot x = π/2 − atan x, and sec near its poles is large but finite.
    EXPECT_NEAR(Eval("(+ (acot " + A + ") (atan " + A + "))"), pi / 2, Tight);
  }
  // The double nearest π/2 is not π/2: its cosine is about 6e-17, and the secant its exact
  // reciprocal, not an error.
  const double Sec = Eval("(sec (/ (PI) 2))");
  EXPECT_NEAR(Sec * std::cos(pi / 2), 1, Tight);
  EXPECT_GT(Sec, 1e16);
}

TEST_F(Trigonometry, AngleConversionsInvertEachOther) {
  EXPECT_NEAR(Eval("(deg-rad 180)"), pi, Tight);
  EXPECT_NEAR(Eval("(rad-deg (PI))"), 180, Tight);
  EXPECT_NEAR(Eval("(grad-rad 200)"), pi, Tight);
  EXPECT_NEAR(Eval("(rad-grad (PI))"), 200, Tight);
  EXPECT_NEAR(Eval("(cycle-rad 1)"), 2 * pi, Tight);
  EXPECT_NEAR(Eval("(rad-cycle (PI))"), 0.5, Tight);
  EXPECT_NEAR(Eval("(grad-deg 100)"), 90, Tight);
  EXPECT_NEAR(Eval("(deg-grad 90)"), 100, Tight);
  for (double X : Grid(-720, 720, 48)) {
    const std::string A = N(X);
    const double Tol = 1e-12 * (1 + std::fabs(X));
    EXPECT_NEAR(Eval("(rad-deg (deg-rad " + A + "))"), X, Tol);
    EXPECT_NEAR(Eval("(deg-rad (rad-deg " + A + "))"), X, Tol);
    EXPECT_NEAR(Eval("(rad-grad (grad-rad " + A + "))"), X, Tol);
    EXPECT_NEAR(Eval("(grad-rad (rad-grad " + A + "))"), X, Tol);
    EXPECT_NEAR(Eval("(rad-cycle (cycle-rad " + A + "))"), X, Tol);
    EXPECT_NEAR(Eval("(cycle-rad (rad-cycle " + A + "))"), X, Tol);
    EXPECT_NEAR(Eval("(grad-deg (deg-grad " + A + "))"), X, Tol);
    EXPECT_NEAR(Eval("(deg-grad (grad-deg " + A + "))"), X, Tol);
    // Every road from degrees to radians arrives at the same place.
    const double Rad = Eval("(deg-rad " + A + ")");
    EXPECT_NEAR(Eval("(grad-rad (deg-grad " + A + "))"), Rad, Tol);
    EXPECT_NEAR(Eval("(cycle-rad (/ " + A + " 360))"), Rad, Tol);
  }
}

TEST_F(Trigonometry, Atan2FindsTheQuadrantAndHypotenuseTheLength) {
  EXPECT_NEAR(Eval("(atan2 1 0)"), pi / 2, Tight);
  EXPECT_NEAR(Eval("(atan2 -1 0)"), -pi / 2, Tight);
  EXPECT_NEAR(Eval("(atan2 1 1)"), pi / 4, Tight);
  EXPECT_NEAR(Eval("(atan2 1 -1)"), 3 * pi / 4, Tight);
  EXPECT_NEAR(Eval("(atan2 -1 -1)"), -3 * pi / 4, Tight);
  EXPECT_NEAR(Eval("(atan2 -1 1)"), -pi / 4, Tight);
  EXPECT_NEAR(Eval("(atan2 0 -1)"), pi, Tight);
  EXPECT_EQ(Eval("(atan2 0 0)"), 0);
  // Around the circle, at several radii: the angle comes back, and so does the radius.
  for (double Theta : Grid(-3.1, 3.1, 62))
    for (double R : {0.001, 1.0, 250.0}) {
      const std::string Y = N(R * std::sin(Theta)), X = N(R * std::cos(Theta));
      EXPECT_NEAR(Eval("(atan2 " + Y + " " + X + ")"), Theta, 1e-12) << Theta;
      EXPECT_NEAR(Eval("(hypotenuse " + Y + " " + X + ")"), R, 1e-12 * R);
    }
  EXPECT_NEAR(Eval("(hypotenuse 5 -12)"), 13, Tight);
  // Legs whose squares overflow still have a finite hypotenuse.
  EXPECT_NEAR(Eval("(hypotenuse 3e200 4e200)") / 5e200, 1, Tight);
}

TEST_F(Trigonometry, DistancesBetweenMultifields) {
  EXPECT_NEAR(Eval("(distance (create$ 0 0) (create$ 3 4))"), 5, Tight);
  EXPECT_NEAR(Eval("(distance-sqr (create$ 0 0) (create$ 3 4))"), 25, Tight);
  EXPECT_NEAR(Eval("(distance-manhattan (create$ 0 0) (create$ 3 4))"), 7, Tight);
  EXPECT_NEAR(Eval("(distance (create$ 1 -2 3.5 0) (create$ -1 2 0.5 1))"), std::sqrt(4 + 16 + 9 + 1), Tight);
  EXPECT_NEAR(Eval("(distance-manhattan (create$ 1 -2 3.5 0) (create$ -1 2 0.5 1))"), 10, Tight);
  EXPECT_EQ(Eval("(distance (create$) (create$))"), 0);
  // Elements are read as numbers wherever they come from.
  Engine.Parse("(defglobal ?*origin* = (create$ 0 0))", true);
  EXPECT_NEAR(Eval("(distance ?*origin* (create$ (+ 1 5) \"8\"))"), 10, Tight);
  // Coordinates whose squares overflow still have a finite distance.
  EXPECT_NEAR(Eval("(distance (create$ 3e200 0) (create$ 0 4e200))") / 5e200, 1, Tight);

  const std::string Mismatch = "Invalid multifield arguments, the two multifields must be of the same length";
  EXPECT_EQ(Error("(distance (create$ 0 0) (create$ 1 2 3))"), Mismatch);
  EXPECT_EQ(Error("(distance-sqr (create$ 1) (create$))"), Mismatch);
  EXPECT_EQ(Error("(distance-manhattan (create$ 0 0 0) (create$ 1 2))"), Mismatch);
  EXPECT_EQ(Error("(distance (create$ 0 a) (create$ 1 2))"), "Not a numeric type.  Value (a) is a dtAtom type");
  EXPECT_EQ(Error("(distance-sqr (create$ 1e200) (create$ -1e200))"), "Floating-point overflow in distance-sqr");
}

TEST_F(Trigonometry, DomainErrorsAndPolesRaiseArithmeticErrors) {
  const std::pair<const char*, const char*> Cases[] = {
      {"(asin 2)", "asin is undefined for 2"},
      {"(asin -1.5)", "asin is undefined for -1.5"},
      {"(acos 1.5)", "acos is undefined for 1.5"},
      {"(acosh 0.5)", "acosh is undefined for 0.5"},
      {"(atanh 1)", "atanh is undefined for 1"},
      {"(atanh -1)", "atanh is undefined for -1"},
      {"(atanh 2)", "atanh is undefined for 2"},
      {"(acoth 1)", "acoth is undefined for 1"},
      {"(acoth -1)", "acoth is undefined for -1"},
      {"(acoth 0.5)", "acoth is undefined for 0.5"},
      {"(acoth 0)", "acoth is undefined for 0"},
      {"(asec 0.5)", "asec is undefined for 0.5"},
      {"(acsc -0.5)", "acsc is undefined for -0.5"},
      {"(asech 2)", "asech is undefined for 2"},
      {"(asech -0.5)", "asech is undefined for -0.5"},
      {"(csc 0)", "Division by zero in csc"},
      {"(cot 0)", "Division by zero in cot"},
      {"(csch 0)", "Division by zero in csch"},
      {"(coth 0)", "Division by zero in coth"},
      {"(asec 0)", "Division by zero in asec"},
      {"(acsc 0)", "Division by zero in acsc"},
      {"(asech 0)", "Division by zero in asech"},
      {"(acsch 0)", "Division by zero in acsch"},
      {"(sinh 1000)", "Floating-point overflow in sinh"},
      {"(cosh -1000)", "Floating-point overflow in cosh"},
      {"(rad-deg 1e307)", "Floating-point overflow in rad-deg"},
      {"(sin abc)", "Not a numeric type.  Value (abc) is a dtAtom type"},
  };
  for (const auto& [Text, Message] : Cases) EXPECT_EQ(Error(Text), Message) << Text;

  // Whatever the argument, a one-argument function answers a finite float or raises; never NaN
  // or infinity.
  const double Arguments[] = {0, 1, -1, 0.5, -0.5, 2, -2, 1e-300, -1e-300, 1e300, -1e300, 710, -710, 1e-320};
  const TUserFunctionList& Functions = Package()->GetFunctions();
  for (int I = 0; I < Functions.Count(); ++I)
    for (double X : Arguments) {
      const std::string& F = Functions.Item(I)->GetFunctionName();
      if (Functions.Item(I)->GetMaxArgumentCount() != 1) continue;
      const std::string Text = Call(F, X);
      try {
        const IIEValue V = Engine.ParseNExecuteFunCall(Text);
        ASSERT_TRUE(V && V->GetDType() == dtFloat) << Text;
        EXPECT_TRUE(std::isfinite(V->GetAsFloat())) << Text;
      } catch (const EIEException&) {
      }
    }
}
