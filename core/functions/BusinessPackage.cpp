// The business package: one formula per function and the package table that fixes names,
// usage texts, arities, comments and creation order.
//
// With rate r, n periods, payment P, present value PV, future value FV and t = 1 for payments at
// the start of each period (0 at the end), every time-value function solves
//     PV·(1 + r)ⁿ + P·(1 + r·t)·((1 + r)ⁿ − 1)/r + FV = 0        (PV + P·n + FV = 0 when r = 0)
// for one of its unknowns.  Powers go through log1p/expm1, so that small rates keep their digits
// and a zero rate is the continuous limit rather than a special case with its own rounding.
//
// Contents
//   1. Errors and arguments
//   2. The governing equation
//   3. Solving for a rate
//   4. Time-value functions
//   5. Depreciation
//   6. The package table
#include "BusinessPackage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FormulaFunction.h"
#include "core/values/IEException.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

// =============================================================================================
// 1. Errors and arguments
// =============================================================================================

constexpr std::string_view SInvalidPaymentTime =
    "Invalid payment time for %s: \"%s\" (expected ptEndOfPeriod or ptStartOfPeriod)";
constexpr std::string_view SInvalidPeriod = "Invalid period for %s: %d (it must be between 1 and %d)";
constexpr std::string_view SInvalidLife = "Invalid life for %s: %d (it must be at least 1)";
constexpr std::string_view SNoRate = "No rate found for %s: %s";
constexpr std::string_view NoSignChange = "the cash flows never change sign";
constexpr std::string_view NoConvergence = "the iteration does not converge";

[[noreturn]] void Raise(std::string_view Format, std::initializer_list<platform::TFormatArg> Args) {
  throw EIEException(platform::Format(Format, Args));
}

// t of the governing equation.
double PaymentTimeArg(TFormulaArgs& A, int Index) {
  const std::string Text = A.Text(Index);
  if (Text == "ptEndOfPeriod") return 0;
  if (Text == "ptStartOfPeriod") return 1;
  Raise(SInvalidPaymentTime, {A.FunctionName(), Text});
}

// A period of a loan or of an asset's life: 1 to Last.
void CheckPeriod(const TFormulaArgs& A, int32_t Period, int32_t Last) {
  if (Period < 1 || Period > Last) Raise(SInvalidPeriod, {A.FunctionName(), Period, Last});
}

void CheckLife(const TFormulaArgs& A, int32_t Life) {
  if (Life < 1) Raise(SInvalidLife, {A.FunctionName(), Life});
}

// =============================================================================================
// 2. The governing equation
// =============================================================================================

// (1 + r)ⁿ.  At rates of −100% and below log1p has no value; the power itself serves there, the
// period counts being integers.
double Growth(const TFormulaArgs& A, double Rate, double Periods) {
  return A.Finite(Rate > -1 ? std::exp(Periods * std::log1p(Rate)) : std::pow(1 + Rate, Periods));
}

// ((1 + r)ⁿ − 1)/r, what n payments of 1 are worth after the last; n at r = 0.
double Annuity(const TFormulaArgs& A, double Rate, double Periods) {
  if (Rate == 0) return Periods;
  if (Rate > -1) return A.Finite(std::expm1(Periods * std::log1p(Rate)) / Rate);
  return A.Finite((std::pow(1 + Rate, Periods) - 1) / Rate);
}

double FutureValueOf(const TFormulaArgs& A, double Rate, double Periods, double Payment, double Present,
                     double Timing) {
  return -(Present * Growth(A, Rate, Periods) + Payment * (1 + Rate * Timing) * Annuity(A, Rate, Periods));
}

double PaymentOf(const TFormulaArgs& A, double Rate, double Periods, double Present, double Future, double Timing) {
  return -A.Divide(Present * Growth(A, Rate, Periods) + Future, (1 + Rate * Timing) * Annuity(A, Rate, Periods));
}

// The interest part of the payment of Period (1-based).  At the end of period k the interest is r
// times the balance owed after k − 1 payments, which is −FV(k − 1).  Paying at the start, the
// first payment falls before any interest, and the payment of period k pays the interest of the
// period before it: r times the balance left after the payment of period k − 1, −(FV(k − 2) + P).
double InterestPart(const TFormulaArgs& A, double Rate, int32_t Period, double Present, double Timing, double Payment) {
  if (Timing == 0) return Rate * FutureValueOf(A, Rate, Period - 1, Payment, Present, 0);
  if (Period == 1) return 0;
  return Rate * (FutureValueOf(A, Rate, Period - 2, Payment, Present, 1) - Payment);
}

// =============================================================================================
// 3. Solving for a rate
// =============================================================================================
//
// Both rate functions look for a root, above −100%, of a present value expressed as a sum of
// flows cᵢ·(1 + r)⁻ⁱ.  Newton's method from the guess finds the root nearest the guess in a few
// steps; when it leaves the domain, meets a flat spot or does not settle, the search looks for a
// sign change on growth factors 1 + r spaced by 1.5 outward from the guess and closes in on it
// with Newton steps kept inside the bracket (bisection when a step would leave it or shrink it
// too slowly).  Descartes' rule of signs tells beforehand when there is no root at all: the flows
// must change sign.

constexpr double RateTolerance = 1e-10;
// A relative test can never pass at a root of exactly 0; below this the rate is 0 for any use.
constexpr double RateFloor = 1e-14;
constexpr int NewtonLimit = 50;
constexpr int BracketSteps = 200;  // up to 1.5^200 ≈ 1e35 either way from the guess
constexpr int RefineLimit = 400;
constexpr double BracketFactor = 1.5;

bool Converged(double Next, double Rate) {
  return std::fabs(Next - Rate) <= RateTolerance * std::fabs(Next) + RateFloor;
}

bool ChangesSign(const std::vector<double>& Flows) {
  bool Positive = false, Negative = false;
  for (double Flow : Flows) {
    Positive = Positive || Flow > 0;
    Negative = Negative || Flow < 0;
  }
  return Positive && Negative;
}

// TEquation(Rate, F, Slope) answers whether the equation has finite values F and F' at Rate.
template <class TEquation>
double SolveRate(const TFormulaArgs& A, const TEquation& Equation, double Guess) {
  double F = 0, Slope = 0;
  double Rate = Guess;
  for (int I = 0; I < NewtonLimit && Equation(Rate, F, Slope); ++I) {
    if (F == 0) return Rate;
    if (Slope == 0) break;
    const double Next = Rate - F / Slope;
    if (!(Next > -1) || !std::isfinite(Next)) break;
    if (Converged(Next, Rate)) {
      double Check = 0;
      if (Equation(Next, F, Check)) return Next;
      break;
    }
    Rate = Next;
  }

  // Bracketing: walk outward from the guess on both sides at once, so that the sign change
  // nearest the guess is taken.  Where the equation cannot be evaluated (a long loan overflows
  // just below a rate of 0) a walk shortens its step toward its last good point instead.
  const double Start = Guess > -1 && Equation(Guess, F, Slope) ? Guess : 0;
  if (!Equation(Start, F, Slope)) Raise(SNoRate, {A.FunctionName(), NoConvergence});
  if (F == 0) return Start;
  struct TWalk {
    double Rate, F, Step;  // Step: the logarithm of the factor between growth factors 1 + r
    bool Open;
  };
  const double Step = std::log(BracketFactor);
  TWalk Walks[2] = {{Start, F, Step, true}, {Start, F, -Step, true}};
  double Lo = 0, Hi = 0, FLo = 0;
  bool Found = false;
  for (int I = 0; I < BracketSteps && !Found; ++I) {
    for (TWalk& W : Walks) {
      if (!W.Open || Found) continue;
      const double Probe = (1 + W.Rate) * std::exp(W.Step) - 1;
      double FProbe = 0;
      if (Probe == W.Rate) {
        W.Open = false;  // the step no longer moves: this side is exhausted
        continue;
      }
      if (!(Probe > -1) || !Equation(Probe, FProbe, Slope)) {
        W.Step /= 2;
        continue;
      }
      if (FProbe == 0) return Probe;
      if ((FProbe < 0) != (W.F < 0)) {
        Lo = std::min(Probe, W.Rate);
        Hi = std::max(Probe, W.Rate);
        FLo = Lo == Probe ? FProbe : W.F;
        Found = true;
      }
      W.Rate = Probe;
      W.F = FProbe;
    }
  }
  if (!Found) Raise(SNoRate, {A.FunctionName(), NoConvergence});

  Rate = Lo + (Hi - Lo) / 2;
  double LastStep = Hi - Lo;
  for (int I = 0; I < RefineLimit; ++I) {
    if (!Equation(Rate, F, Slope)) break;
    if (F == 0) return Rate;
    if ((F < 0) == (FLo < 0)) {
      Lo = Rate;
      FLo = F;
    } else {
      Hi = Rate;
    }
    double Next = Slope != 0 ? Rate - F / Slope : Hi;
    if (!(Next > Lo && Next < Hi) || std::fabs(Next - Rate) > LastStep / 2) Next = Lo + (Hi - Lo) / 2;
    if (Converged(Next, Rate) || Converged(Lo, Hi)) return Next;
    LastStep = std::fabs(Next - Rate);
    Rate = Next;
  }
  Raise(SNoRate, {A.FunctionName(), NoConvergence});
}

// Σ cᵢ·(1 + r)⁻ⁱ over the flows as given, and its slope.
struct TCashFlowEquation {
  const std::vector<double>& Flows;
  bool operator()(double Rate, double& F, double& Slope) const {
    if (!(Rate > -1)) return false;
    const double V = 1 / (1 + Rate);
    double Discount = 1;
    F = 0;
    Slope = 0;
    for (size_t I = 0; I < Flows.size(); ++I) {
      F += Flows[I] * Discount;
      Slope -= static_cast<double>(I) * Flows[I] * Discount * V;
      Discount *= V;
    }
    return std::isfinite(F) && std::isfinite(Slope);
  }
};

// The governing equation divided by (1 + r)ⁿ: PV + P·(1 + r·t)·aₙ + FV·(1 + r)⁻ⁿ, with
// aₙ = Σⱼ₌₁..ₙ (1 + r)⁻ʲ = (1 − (1 + r)⁻ⁿ)/r.  These are the flows PV + t·P, then P, ..., then
// FV + (1 − t)·P, and it never needs n steps to evaluate.
struct TLoanEquation {
  double N, Payment, Present, Future, Timing;
  bool operator()(double Rate, double& F, double& Slope) const {
    if (!(Rate > -1)) return false;
    const double Log = std::log1p(Rate);
    const double W = std::exp(-N * Log);
    const double An = Rate == 0 ? N : -std::expm1(-N * Log) / Rate;
    // aₙ' = (n·(1 + r)⁻ⁿ⁻¹ − aₙ)/r loses its digits as n·r goes to 0; the series takes over there.
    const double AnSlope = std::fabs(N * Rate) < 1e-6 ? -N * (N + 1) / 2 + Rate * N * (N + 1) * (N + 2) / 3
                                                      : (N * W / (1 + Rate) - An) / Rate;
    F = Present + Payment * (1 + Rate * Timing) * An + Future * W;
    Slope = Payment * Timing * An + Payment * (1 + Rate * Timing) * AnSlope - Future * N * W / (1 + Rate);
    return std::isfinite(F) && std::isfinite(Slope);
  }
};

// =============================================================================================
// 4. Time-value functions
// =============================================================================================

double FutureValue(TFormulaArgs& A) {
  const double Rate = A.Number(0);
  const int32_t Periods = A.Integer(1);
  const double Payment = A.Number(2);
  const double Present = A.Number(3);
  return FutureValueOf(A, Rate, Periods, Payment, Present, PaymentTimeArg(A, 4));
}

double PresentValue(TFormulaArgs& A) {
  const double Rate = A.Number(0);
  const int32_t Periods = A.Integer(1);
  const double Payment = A.Number(2);
  const double Future = A.Number(3);
  const double Timing = PaymentTimeArg(A, 4);
  const double Owed = Future + Payment * (1 + Rate * Timing) * Annuity(A, Rate, Periods);
  return -A.Divide(Owed, Growth(A, Rate, Periods));
}

double Payment(TFormulaArgs& A) {
  const double Rate = A.Number(0);
  const int32_t Periods = A.Integer(1);
  const double Present = A.Number(2);
  const double Future = A.Number(3);
  return PaymentOf(A, Rate, Periods, Present, Future, PaymentTimeArg(A, 4));
}

// (1 + r)ⁿ·(PV + P(1 + rt)/r) = P(1 + rt)/r − FV, solved for n as
// ln(1 − (PV + FV)/(PV + P(1 + rt)/r)) / ln(1 + r).
double NumberOfPeriods(TFormulaArgs& A) {
  const double Rate = A.Number(0);
  const double Payment = A.Number(1);
  const double Present = A.Number(2);
  const double Future = A.Number(3);
  const double Timing = PaymentTimeArg(A, 4);
  if (Rate == 0) return A.Divide(-(Present + Future), Payment);
  if (!(Rate > -1)) return UndefinedValue;
  const double Change = A.Divide(-(Present + Future), Present + Payment * (1 + Rate * Timing) / Rate);
  if (!(Change > -1)) return UndefinedValue;  // the logarithm of a quantity that is not positive
  return std::log1p(Change) / std::log1p(Rate);
}

// Reads rate, period, periods, present value, future value and payment time; answers the
// interest part of that period's payment, and the full payment in Payment.
double InterestPartArgs(TFormulaArgs& A, double& Payment) {
  const double Rate = A.Number(0);
  const int32_t Period = A.Integer(1);
  const int32_t Periods = A.Integer(2);
  const double Present = A.Number(3);
  const double Future = A.Number(4);
  const double Timing = PaymentTimeArg(A, 5);
  CheckPeriod(A, Period, Periods);
  Payment = PaymentOf(A, Rate, Periods, Present, Future, Timing);
  return InterestPart(A, Rate, Period, Present, Timing, Payment);
}

double InterestPayment(TFormulaArgs& A) {
  double Payment = 0;
  return InterestPartArgs(A, Payment);
}

double PeriodPayment(TFormulaArgs& A) {
  double Payment = 0;
  const double Interest = InterestPartArgs(A, Payment);
  return Payment - Interest;
}

double InterestRate(TFormulaArgs& A) {
  const int32_t Periods = A.Integer(0);
  const double Payment = A.Number(1);
  const double Present = A.Number(2);
  const double Future = A.Number(3);
  const double Timing = PaymentTimeArg(A, 4);
  // The flows of the loan: PV + t·P now, P at each period between, FV + (1 − t)·P at the last.
  std::vector<double> Flows = {Present + Timing * Payment, Future + (1 - Timing) * Payment};
  if (Periods > 1) Flows.push_back(Payment);
  if (Periods < 1 || !ChangesSign(Flows)) Raise(SNoRate, {A.FunctionName(), NoSignChange});
  return SolveRate(A, TLoanEquation{static_cast<double>(Periods), Payment, Present, Future, Timing}, 0.1);
}

double InternalRateOfReturn(TFormulaArgs& A) {
  const double Guess = A.Number(0);
  const std::vector<double> Flows = A.Numbers(1);
  if (!ChangesSign(Flows)) Raise(SNoRate, {A.FunctionName(), NoSignChange});
  return SolveRate(A, TCashFlowEquation{Flows}, Guess);
}

double NetPresentValue(TFormulaArgs& A) {
  const double Rate = A.Number(0);
  const std::vector<double> Flows = A.Numbers(1);
  const double Timing = PaymentTimeArg(A, 2);
  const double V = A.Divide(1, 1 + Rate);
  double Discount = Timing == 1 ? 1 : V;  // the first flow is now, or one period away
  double Sum = 0;
  for (double Flow : Flows) {
    if (Flow != 0) Sum += A.Finite(Flow * Discount);
    Discount *= V;
  }
  return Sum;
}

// =============================================================================================
// 5. Depreciation
// =============================================================================================

double SlnDepreciation(TFormulaArgs& A) {
  const double Cost = A.Number(0);
  const double Salvage = A.Number(1);
  return A.Divide(Cost - Salvage, A.Integer(2));
}

double SydDepreciation(TFormulaArgs& A) {
  const double Cost = A.Number(0);
  const double Salvage = A.Number(1);
  const int32_t Life = A.Integer(2);
  const int32_t Period = A.Integer(3);
  CheckLife(A, Life);
  CheckPeriod(A, Period, Life);
  const double L = Life;
  return (Cost - Salvage) * (L - Period + 1) * 2 / (L * (L + 1));
}

// Each period takes 2/life of the book value left, so before period p the book value is
// cost·(1 − 2/life)^(p − 1) for as long as no period has been held back by the salvage value.
// The period that would pass below salvage takes only down to it; every later one would then
// start below salvage by this formula and is clamped to 0, as it must be.
double DoubleDecliningBalance(TFormulaArgs& A) {
  const double Cost = A.Number(0);
  const double Salvage = A.Number(1);
  const int32_t Life = A.Integer(2);
  const int32_t Period = A.Integer(3);
  CheckLife(A, Life);
  CheckPeriod(A, Period, Life);
  const double Rate = 2.0 / Life;
  const double Book = Cost * std::pow(1 - Rate, Period - 1);
  return std::max(0.0, std::min(Book * Rate, Book - Salvage));
}

// =============================================================================================
// 6. The package table, in creation order
// =============================================================================================

constexpr TFunctionRow BusinessFunctions[] = {
    {{"double-declining-balance",
      " <cost-numeric-expression> <salvage-numeric-expression> <life-integer-expression> <period-integer-expression>",
      4, 4,
      "Returns the depreciation of an asset for the given period by the double-declining balance method: 2/life of "
      "the book value left after the earlier periods, never taking the book value below the salvage value"},
     MakeFunction<TFormulaFunction, &DoubleDecliningBalance>},
    {{"future-value",
      " <rate-numeric-expression> <num-periods-integer-expression> <payment-numeric-expression> "
      "<present-value-numeric-expression> ptEndOfPeriod|ptStartOfPeriod",
      5, 5,
      "Returns the future value of an investment of periodic, constant payments at a constant interest rate per "
      "period, payments made at the end or the start of each period"},
     MakeFunction<TFormulaFunction, &FutureValue>},
    {{"interest-payment",
      " <rate-numeric-expression> <period-integer-expression> <num-periods-integer-expression> "
      "<present-value-numeric-expression> <future-value-numeric-expression> ptEndOfPeriod|ptStartOfPeriod",
      6, 6,
      "Returns the interest part of the payment for the given period (1 to the number of periods) of a loan or "
      "investment of periodic, constant payments at a constant interest rate"},
     MakeFunction<TFormulaFunction, &InterestPayment>},
    {{"interest-rate",
      " <num-periods-integer-expression> <payment-numeric-expression> <present-value-numeric-expression> "
      "<future-value-numeric-expression> ptEndOfPeriod|ptStartOfPeriod",
      5, 5,
      "Returns the interest rate per period of a loan or investment of periodic, constant payments, found by "
      "iteration; raises an error when no rate solves it"},
     MakeFunction<TFormulaFunction, &InterestRate>},
    {{"internal-rate-of-return", " <guess-numeric-expression> <cash-flows-multifield-expression>", 2, 2,
      "Returns the internal rate of return of a series of periodic cash flows (the first normally negative): the "
      "rate at which their net present value is 0, found by iteration from the guess; raises an error when no "
      "rate is found"},
     MakeFunction<TFormulaFunction, &InternalRateOfReturn>},
    {{"net-present-value",
      " <rate-numeric-expression> <cash-flows-multifield-expression> ptEndOfPeriod|ptStartOfPeriod", 3, 3,
      "Returns the net present value of a series of periodic cash flows discounted at the rate per period, the "
      "flows falling at the end or the start of each period"},
     MakeFunction<TFormulaFunction, &NetPresentValue>},
    {{"number-of-periods",
      " <rate-numeric-expression> <payment-numeric-expression> <present-value-numeric-expression> "
      "<future-value-numeric-expression> ptEndOfPeriod|ptStartOfPeriod",
      5, 5,
      "Returns the number of periods of a loan or investment of periodic, constant payments at a constant interest "
      "rate"},
     MakeFunction<TFormulaFunction, &NumberOfPeriods>},
    {{"payment",
      " <rate-numeric-expression> <num-periods-integer-expression> <present-value-numeric-expression> "
      "<future-value-numeric-expression> ptEndOfPeriod|ptStartOfPeriod",
      5, 5, "Returns the periodic, constant payment of a loan or investment at a constant interest rate per period"},
     MakeFunction<TFormulaFunction, &Payment>},
    {{"period-payment",
      " <rate-numeric-expression> <period-integer-expression> <num-periods-integer-expression> "
      "<present-value-numeric-expression> <future-value-numeric-expression> ptEndOfPeriod|ptStartOfPeriod",
      6, 6,
      "Returns the principal part of the payment for the given period (1 to the number of periods) of a loan or "
      "investment of periodic, constant payments at a constant interest rate"},
     MakeFunction<TFormulaFunction, &PeriodPayment>},
    {{"present-value",
      " <rate-numeric-expression> <num-periods-integer-expression> <payment-numeric-expression> "
      "<future-value-numeric-expression> ptEndOfPeriod|ptStartOfPeriod",
      5, 5,
      "Returns the present value of an investment of periodic, constant payments at a constant interest rate per "
      "period, payments made at the end or the start of each period"},
     MakeFunction<TFormulaFunction, &PresentValue>},
    {{"sln-depreciation", " <cost-numeric-expression> <salvage-numeric-expression> <life-integer-expression>", 3, 3,
      "Returns the straight-line depreciation of an asset for one period: (cost - salvage) / life"},
     MakeFunction<TFormulaFunction, &SlnDepreciation>},
    {{"syd-depreciation",
      " <cost-numeric-expression> <salvage-numeric-expression> <life-integer-expression> <period-integer-expression>",
      4, 4,
      "Returns the sum-of-years' digits depreciation of an asset for the given period (1 to life): "
      "(cost - salvage) * (life - period + 1) * 2 / (life * (life + 1))"},
     MakeFunction<TFormulaFunction, &SydDepreciation>},
};

}  // namespace

TBusinessPackage::TBusinessPackage(platform::TComponent* Owner) : TUserPackage(Owner) { CreateFunctions(); }

namespace {
const TPackageRegistration<TBusinessPackage> Registered;
}  // namespace

void TBusinessPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  AddFunctions(*this, BusinessFunctions);
}

}  // namespace rulecore
