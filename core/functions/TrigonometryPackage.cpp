// The trigonometry package: one formula per function and the package table that fixes names,
// usage texts, arities, comments and creation order.  A formula answers UndefinedValue outside
// its domain (the standard library's own NaN does the same), which the formula function turns
// into the "undefined" error; a reciprocal of zero raises the division-by-zero error.
//
// Contents
//   1. Circular and hyperbolic functions and their reciprocals
//   2. Inverse functions
//   3. Two-argument functions and angle units
//   4. Distances
//   5. The package table
#include "TrigonometryPackage.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "FormulaFunction.h"
#include "core/values/IEException.h"

namespace rulecore {

namespace {

using std::numbers::pi;

// =============================================================================================
// 1. Circular and hyperbolic functions and their reciprocals
// =============================================================================================

// The cosine of a double is never exactly 0, so sec and tan are finite everywhere; the sine is 0
// only at 0, where csc and cot have their pole.
double Sin(TFormulaArgs& A) { return std::sin(A.Number(0)); }
double Cos(TFormulaArgs& A) { return std::cos(A.Number(0)); }
double Tan(TFormulaArgs& A) { return std::tan(A.Number(0)); }
double Sec(TFormulaArgs& A) { return A.Divide(1, std::cos(A.Number(0))); }
double Csc(TFormulaArgs& A) { return A.Divide(1, std::sin(A.Number(0))); }
// cos/sin rather than 1/tan: near π/2 the tangent is huge and its reciprocal loses digits.
double Cot(TFormulaArgs& A) {
  const double X = A.Number(0);
  return A.Divide(std::cos(X), std::sin(X));
}
double Sinh(TFormulaArgs& A) { return std::sinh(A.Number(0)); }
double Cosh(TFormulaArgs& A) { return std::cosh(A.Number(0)); }
double Tanh(TFormulaArgs& A) { return std::tanh(A.Number(0)); }
// Where cosh and sinh overflow their reciprocals are 0 to double precision, which is right.
double Sech(TFormulaArgs& A) { return 1 / std::cosh(A.Number(0)); }
double Csch(TFormulaArgs& A) { return A.Divide(1, std::sinh(A.Number(0))); }
double Coth(TFormulaArgs& A) { return A.Divide(1, std::tanh(A.Number(0))); }

// =============================================================================================
// 2. Inverse functions
// =============================================================================================

double Asin(TFormulaArgs& A) { return std::asin(A.Number(0)); }
double Acos(TFormulaArgs& A) { return std::acos(A.Number(0)); }
double Atan(TFormulaArgs& A) { return std::atan(A.Number(0)); }
double Asec(TFormulaArgs& A) { return std::acos(A.Divide(1, A.Number(0))); }
double Acsc(TFormulaArgs& A) { return std::asin(A.Divide(1, A.Number(0))); }
double Acot(TFormulaArgs& A) { return pi / 2 - std::atan(A.Number(0)); }
double Asinh(TFormulaArgs& A) { return std::asinh(A.Number(0)); }
double Acosh(TFormulaArgs& A) { return std::acosh(A.Number(0)); }
// At ±1 the standard function answers an infinity: a pole, not an overflow.
double Atanh(TFormulaArgs& A) {
  const double X = A.Number(0);
  return std::fabs(X) < 1 ? std::atanh(X) : UndefinedValue;
}
// ln(1/x + √(1/x² − 1)) rewritten as ln(1 + √(1 − x²)) − ln x: the same on 0 < x ≤ 1, without
// the cancellation in 1/x² − 1 near 1 or the overflow of 1/x² near 0.
double Asech(TFormulaArgs& A) {
  const double X = A.Number(0);
  const double Inverse = A.Divide(1, X);
  if (!(Inverse >= 1)) return UndefinedValue;  // 0 < x <= 1
  return std::log1p(std::sqrt((1 - X) * (1 + X))) - std::log(X);
}
// ln(1/x + √(1/x² + 1)) is asinh(1/x), which the library computes without cancellation for
// negative x.
double Acsch(TFormulaArgs& A) { return std::asinh(A.Divide(1, A.Number(0))); }
// ln((x + 1)/(x − 1))/2 is atanh(1/x); it is real only for |x| > 1 (a pole at ±1).
double Acoth(TFormulaArgs& A) {
  const double X = A.Number(0);
  return std::fabs(X) > 1 ? std::atanh(1 / X) : UndefinedValue;
}

// =============================================================================================
// 3. Two-argument functions and angle units
// =============================================================================================

// atan2(y, x); at the origin it answers 0, as the library and most languages do.
double Atan2(TFormulaArgs& A) {
  const double Y = A.Number(0);
  return std::atan2(Y, A.Number(1));
}
// The library scales the legs, so that squares that would overflow still give a finite hypotenuse.
double Hypotenuse(TFormulaArgs& A) {
  const double Leg = A.Number(0);
  return std::hypot(Leg, A.Number(1));
}

double DegRad(TFormulaArgs& A) { return A.Number(0) * pi / 180; }
double RadDeg(TFormulaArgs& A) { return A.Number(0) * 180 / pi; }
double GradRad(TFormulaArgs& A) { return A.Number(0) * pi / 200; }
double RadGrad(TFormulaArgs& A) { return A.Number(0) * 200 / pi; }
double CycleRad(TFormulaArgs& A) { return A.Number(0) * (2 * pi); }
double RadCycle(TFormulaArgs& A) { return A.Number(0) / (2 * pi); }
double DegGrad(TFormulaArgs& A) { return A.Number(0) * 10 / 9; }
double GradDeg(TFormulaArgs& A) { return A.Number(0) * 0.9; }

// =============================================================================================
// 4. Distances
// =============================================================================================

// The element-wise differences of the two multifield arguments.
std::vector<double> Differences(TFormulaArgs& A) {
  std::vector<double> First = A.Numbers(0);
  const std::vector<double> Second = A.Numbers(1);
  if (First.size() != Second.size()) RaiseIE(SMultifieldLengthMismatch);
  for (size_t I = 0; I < First.size(); ++I) First[I] = A.Finite(First[I] - Second[I]);
  return First;
}

double DistanceSqr(TFormulaArgs& A) {
  double Sum = 0;
  for (double D : Differences(A)) Sum += D * D;
  return Sum;
}

// Summed in units of the largest difference, so that only a distance that is itself too large
// overflows.
double Distance(TFormulaArgs& A) {
  const std::vector<double> D = Differences(A);
  double Scale = 0;
  for (double X : D) Scale = std::max(Scale, std::fabs(X));
  if (Scale == 0) return 0;
  double Sum = 0;
  for (double X : D) Sum += (X / Scale) * (X / Scale);
  return Scale * std::sqrt(Sum);
}

double DistanceManhattan(TFormulaArgs& A) {
  double Sum = 0;
  for (double D : Differences(A)) Sum += std::fabs(D);
  return Sum;
}

// =============================================================================================
// 5. The package table, in creation order
// =============================================================================================

constexpr const char* OneNumber = " <numeric-expression>";
constexpr const char* TwoNumbers = " <numeric-expression> <numeric-expression>";
constexpr const char* TwoMultifields = " <multifield-expression-1> <multifield-expression-2>";

constexpr TFunctionRow TrigonometryFunctions[] = {
    {{"sin", OneNumber, 1, 1, "Returns the sine of the argument, an angle in radians"},
     MakeFunction<TFormulaFunction, &Sin>},
    {{"cos", OneNumber, 1, 1, "Returns the cosine of the argument, an angle in radians"},
     MakeFunction<TFormulaFunction, &Cos>},
    {{"tan", OneNumber, 1, 1, "Returns the tangent of the argument, an angle in radians"},
     MakeFunction<TFormulaFunction, &Tan>},
    {{"sec", OneNumber, 1, 1, "Returns the secant (1 / cosine) of the argument, an angle in radians"},
     MakeFunction<TFormulaFunction, &Sec>},
    {{"csc", OneNumber, 1, 1, "Returns the cosecant (1 / sine) of the argument, an angle in radians"},
     MakeFunction<TFormulaFunction, &Csc>},
    {{"cot", OneNumber, 1, 1, "Returns the cotangent (1 / tangent) of the argument, an angle in radians"},
     MakeFunction<TFormulaFunction, &Cot>},
    {{"sinh", OneNumber, 1, 1, "Returns the hyperbolic sine of the argument"}, MakeFunction<TFormulaFunction, &Sinh>},
    {{"cosh", OneNumber, 1, 1, "Returns the hyperbolic cosine of the argument"}, MakeFunction<TFormulaFunction, &Cosh>},
    {{"tanh", OneNumber, 1, 1, "Returns the hyperbolic tangent of the argument"},
     MakeFunction<TFormulaFunction, &Tanh>},
    {{"sech", OneNumber, 1, 1, "Returns the hyperbolic secant (1 / cosh) of the argument"},
     MakeFunction<TFormulaFunction, &Sech>},
    {{"csch", OneNumber, 1, 1, "Returns the hyperbolic cosecant (1 / sinh) of the argument"},
     MakeFunction<TFormulaFunction, &Csch>},
    {{"coth", OneNumber, 1, 1, "Returns the hyperbolic cotangent (1 / tanh) of the argument"},
     MakeFunction<TFormulaFunction, &Coth>},
    {{"asin", OneNumber, 1, 1, "Returns the arc sine of the argument (-1 to 1), in radians from -PI/2 to PI/2"},
     MakeFunction<TFormulaFunction, &Asin>},
    {{"acos", OneNumber, 1, 1, "Returns the arc cosine of the argument (-1 to 1), in radians from 0 to PI"},
     MakeFunction<TFormulaFunction, &Acos>},
    {{"atan", OneNumber, 1, 1, "Returns the arc tangent of the argument, in radians from -PI/2 to PI/2"},
     MakeFunction<TFormulaFunction, &Atan>},
    {{"asec", OneNumber, 1, 1, "Returns the arc secant of the argument (at most -1 or at least 1), in radians"},
     MakeFunction<TFormulaFunction, &Asec>},
    {{"acsc", OneNumber, 1, 1, "Returns the arc cosecant of the argument (at most -1 or at least 1), in radians"},
     MakeFunction<TFormulaFunction, &Acsc>},
    {{"acot", OneNumber, 1, 1, "Returns the arc cotangent of the argument, in radians from 0 to PI"},
     MakeFunction<TFormulaFunction, &Acot>},
    {{"asinh", OneNumber, 1, 1, "Returns the inverse hyperbolic sine of the argument"},
     MakeFunction<TFormulaFunction, &Asinh>},
    {{"acosh", OneNumber, 1, 1, "Returns the inverse hyperbolic cosine of the argument (at least 1)"},
     MakeFunction<TFormulaFunction, &Acosh>},
    {{"atanh", OneNumber, 1, 1, "Returns the inverse hyperbolic tangent of the argument (between -1 and 1)"},
     MakeFunction<TFormulaFunction, &Atanh>},
    {{"asech", OneNumber, 1, 1,
      "Returns the inverse hyperbolic secant of the argument (greater than 0, at most 1): "
      "ln(1/x + sqrt(1/x^2 - 1))"},
     MakeFunction<TFormulaFunction, &Asech>},
    {{"acsch", OneNumber, 1, 1,
      "Returns the inverse hyperbolic cosecant of the argument (not 0): ln(1/x + sqrt(1/x^2 + 1))"},
     MakeFunction<TFormulaFunction, &Acsch>},
    {{"acoth", OneNumber, 1, 1,
      "Returns the inverse hyperbolic cotangent of the argument (less than -1 or greater than 1): "
      "ln((x + 1)/(x - 1)) / 2"},
     MakeFunction<TFormulaFunction, &Acoth>},
    {{"atan2", TwoNumbers, 2, 2,
      "Returns the arc tangent of the first argument divided by the second, in radians from -PI to PI, in the "
      "quadrant of the point (second, first)"},
     MakeFunction<TFormulaFunction, &Atan2>},
    {{"hypotenuse", TwoNumbers, 2, 2,
      "Returns the length of the hypotenuse of a right triangle whose legs are the two arguments: "
      "sqrt(a^2 + b^2)"},
     MakeFunction<TFormulaFunction, &Hypotenuse>},
    {{"deg-rad", OneNumber, 1, 1, "Returns the argument, an angle in degrees, converted to radians"},
     MakeFunction<TFormulaFunction, &DegRad>},
    {{"rad-deg", OneNumber, 1, 1, "Returns the argument, an angle in radians, converted to degrees"},
     MakeFunction<TFormulaFunction, &RadDeg>},
    {{"grad-rad", OneNumber, 1, 1, "Returns the argument, an angle in grads (400 per turn), converted to radians"},
     MakeFunction<TFormulaFunction, &GradRad>},
    {{"rad-grad", OneNumber, 1, 1, "Returns the argument, an angle in radians, converted to grads (400 per turn)"},
     MakeFunction<TFormulaFunction, &RadGrad>},
    {{"cycle-rad", OneNumber, 1, 1, "Returns the argument, an angle in cycles (turns), converted to radians"},
     MakeFunction<TFormulaFunction, &CycleRad>},
    {{"rad-cycle", OneNumber, 1, 1, "Returns the argument, an angle in radians, converted to cycles (turns)"},
     MakeFunction<TFormulaFunction, &RadCycle>},
    {{"deg-grad", OneNumber, 1, 1, "Returns the argument, an angle in degrees, converted to grads (400 per turn)"},
     MakeFunction<TFormulaFunction, &DegGrad>},
    {{"grad-deg", OneNumber, 1, 1, "Returns the argument, an angle in grads (400 per turn), converted to degrees"},
     MakeFunction<TFormulaFunction, &GradDeg>},
    {{"distance", TwoMultifields, 2, 2,
      "Returns the Euclidean distance between two points given as multifields of equal length: "
      "sqrt(sum((a[i] - b[i])^2))"},
     MakeFunction<TFormulaFunction, &Distance>},
    {{"distance-sqr", TwoMultifields, 2, 2,
      "Returns the square of the Euclidean distance between two points given as multifields of equal length: "
      "sum((a[i] - b[i])^2)"},
     MakeFunction<TFormulaFunction, &DistanceSqr>},
    {{"distance-manhattan", TwoMultifields, 2, 2,
      "Returns the Manhattan (city block) distance between two points given as multifields of equal length: "
      "sum(|a[i] - b[i]|)"},
     MakeFunction<TFormulaFunction, &DistanceManhattan>},
};

}  // namespace

TTrigonometryPackage::TTrigonometryPackage(platform::TComponent* Owner) : TUserPackage(Owner) { CreateFunctions(); }

namespace {
const TPackageRegistration<TTrigonometryPackage> Registered;
}  // namespace

void TTrigonometryPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  AddFunctions(*this, TrigonometryFunctions);
}

}  // namespace rulecore
