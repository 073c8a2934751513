// The business package through the rule language: the function table, results against reference
// values computed independently, the identities that tie the functions together (a loan's
// interest and principal parts, the rate searches undoing the closed forms), and the errors.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/functions/BusinessPackage.h"
#include "platform/Format.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;

namespace {

class Business : public ::testing::Test {
 protected:
  double Eval(const std::string& Text) {
    const IIEValue V = Engine.ParseNExecuteFunCall(Text);
    EXPECT_TRUE(V && V->GetDType() == dtFloat) << Text;
    return V && V->GetDType() == dtFloat ? V->GetAsFloat() : std::nan("");
  }
  std::string Error(const std::string& Text) {
    return ErrorOf([&] { Engine.ParseNExecuteFunCall(Text); });
  }
  TBusinessPackage* Package() {
    for (int I = 0; I < Engine.GetComponentCount(); ++I)
      if (auto* P = dynamic_cast<TBusinessPackage*>(Engine.GetComponent(I))) return P;
    return nullptr;
  }

  TInferenceEngine Engine;  // the default packages include this one
};

std::string N(double X) { return platform::Format("%.17g", {X}); }

// Within 1e-9 relative (1e-12 absolute near 0).
::testing::AssertionResult Close(const std::string& Text, double Actual, double Expected) {
  if (std::fabs(Actual - Expected) <= 1e-9 * std::fabs(Expected) + 1e-12) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Text << " = " << N(Actual) << ", expected " << N(Expected);
}

struct TReference {
  const char* Text;
  double Expected;
};

// Reference values computed with Python's decimal module at 60 significant digits, independently
// of this library: payment, present value, future value and number of periods from the closed-form
// spreadsheet formulas of the time-value equation; interest rate and internal rate of return by
// 400 bisection steps on that equation and on the sum of discounted flows; net present value by
// summing the discounted flows; double-declining balance by depreciating the book value period by
// period.  Several are also familiar textbook figures: a 200000 mortgage at 5% a year over 30
// years pays 1073.64 a month, the flows -10000, 3000, 4200, 6800 are worth 1188.44 at 10%, and
// an asset of 2400 with salvage 300 over 10 years depreciates 480, 384, ..., 22.12.
const TReference References[] = {
    {"(payment (/ 0.05 12) 360 200000 0 ptEndOfPeriod)", -1073.643246024278},
    {"(payment 0.08 10 10000 0 ptStartOfPeriod)", -1379.9026731210688},
    {"(payment 0 10 1000 0 ptEndOfPeriod)", -100.0},
    {"(payment 0 10 1000 500 ptStartOfPeriod)", -150.0},
    {"(payment 0.06 5 -1000 5000 ptEndOfPeriod)", -649.5856017247585},
    {"(payment 0.0075 48 8000 0 ptStartOfPeriod)", -197.5983513563014},
    {"(present-value (/ 0.08 12) 240 500 0 ptEndOfPeriod)", -59777.14585118802},
    {"(present-value 0.05 10 -100 -1000 ptStartOfPeriod)", 1424.6954211051648},
    {"(present-value 0 12 -50 100 ptEndOfPeriod)", 500.0},
    {"(future-value 0.005 10 -200 -500 ptStartOfPeriod)", 2581.403374060179},
    {"(future-value (/ 0.11 12) 35 -2000 0 ptEndOfPeriod)", 82093.72059973529},
    {"(future-value 0 10 -100 -1000 ptEndOfPeriod)", 2000.0},
    {"(future-value 0.12 12 -1000 0 ptStartOfPeriod)", 27029.109263771777},
    {"(number-of-periods 0.01 -100 -1000 10000 ptStartOfPeriod)", 59.673865674294625},
    {"(number-of-periods 0.01 -100 -1000 10000 ptEndOfPeriod)", 60.082122853761724},
    {"(number-of-periods 0 -100 1000 0 ptEndOfPeriod)", 10.0},
    {"(number-of-periods 0.05 -600 10000 0 ptEndOfPeriod)", 36.72378438830152},
    {"(interest-rate 48 -200 8000 0 ptEndOfPeriod)", 0.007701472488202044},
    {"(interest-rate 10 -1000 6000 0 ptStartOfPeriod)", 0.13704474216582635},
    {"(interest-rate 60 -1000 50000 -5000 ptEndOfPeriod)", 0.008403502487931855},
    {"(interest-rate 10 -100 1000 0 ptEndOfPeriod)", 0.0},
    {"(interest-rate 48 -197.5983513563014 8000 0 ptStartOfPeriod)", 0.0075},
    // Two billion periods are a perpetuity (1000 = 1/r), solved without a step per period.
    {"(interest-rate 2000000000 -1 1000 0 ptEndOfPeriod)", 0.001},
    {"(internal-rate-of-return 0.1 (create$ -70000 12000 15000 18000 21000 26000))", 0.08663094803653161},
    {"(internal-rate-of-return 0.1 (create$ -70000 12000 15000 18000 21000))", -0.021244848273410992},
    {"(internal-rate-of-return 0 (create$ -1000 300 400 500 600))", 0.24888335662407096},
    {"(internal-rate-of-return 0.1 (create$ -100 50 50))", 0.0},
    {"(internal-rate-of-return 0.3 (create$ -100 0 121))", 0.1},
    {"(net-present-value 0.1 (create$ -10000 3000 4200 6800) ptEndOfPeriod)", 1188.443412335223},
    {"(net-present-value 0.1 (create$ -10000 3000 4200 6800) ptStartOfPeriod)", 1307.2877535687453},
    {"(net-present-value 0.08 (create$ -40000 8000 9200 10000 12000 14500) ptEndOfPeriod)", 1779.6866249373816},
    {"(net-present-value 0.08 (create$ -40000 8000 9200 10000 12000 14500) ptStartOfPeriod)", 1922.0615549323722},
    {"(net-present-value 0 (create$ -10000 3000 4200 6800) ptEndOfPeriod)", 4000.0},
    {"(sln-depreciation 1000 100 9)", 100.0},
    {"(sln-depreciation 30000 7500 10)", 2250.0},
    {"(sln-depreciation 10000 1000 -3)", -3000.0},
    {"(syd-depreciation 1000 100 3 1)", 450.0},
    {"(syd-depreciation 30000 7500 10 1)", 4090.909090909091},
    {"(syd-depreciation 30000 7500 10 10)", 409.09090909090907},
    {"(syd-depreciation 5000 0 7 4)", 714.2857142857143},
    {"(double-declining-balance 2400 300 10 1)", 480.0},
    {"(double-declining-balance 2400 300 10 2)", 384.0},
    {"(double-declining-balance 2400 300 10 10)", 22.1225472},
    {"(double-declining-balance 30000 7500 10 4)", 3072.0},
    // The first period would take the book value below salvage: it takes it down to salvage,
    // and nothing is left for the later ones.
    {"(double-declining-balance 1000 500 3 1)", 500.0},
    {"(double-declining-balance 1000 500 3 2)", 0.0},
};

// A loan's interest parts per period, from the same decimal computation run as an amortisation
// schedule: each period's interest on the balance owed, the payment applied, the balance carried.
struct TSchedule {
  double Rate;
  int Periods;
  double Present, Future;
  const char* Timing;
  double Payment;
  std::vector<double> Interest;
};

const TSchedule Schedules[] = {
    {0.08,
     10,
     200000,
     0,
     "ptEndOfPeriod",
     -29805.897739415086,
     {-16000.0, -14895.528180846793, -13702.69861616133, -12414.442686301029, -11023.126282051904, -9520.50456546285,
      -7897.673111546672, -6145.015141317199, -4252.144533469367, -2207.84427699371}},
    {0.06,
     6,
     10000,
     2000,
     "ptStartOfPeriod",
     -2189.010888395043,
     {0.0, -468.6593466962974, -365.4382541943727, -256.02389614233243, -140.0446766071698, -17.10670389989742}},
    {0.1, 3, 8000, 0, "ptEndOfPeriod", -3216.918429003021, {-800.0, -558.3081570996978, -292.4471299093656}},
    {0, 4, 1000, 0, "ptStartOfPeriod", -250.0, {0.0, 0.0, 0.0, 0.0}},
};

}  // namespace

TEST_F(Business, RegistersEveryFunctionWithItsUsageAndArityInOrder) {
  TBusinessPackage* P = Package();
  ASSERT_NE(P, nullptr);
  const std::string Timing = " ptEndOfPeriod|ptStartOfPeriod";
  struct TExpected {
    std::string Name, Usage;
  };
  const TExpected Expected[] = {
      {"double-declining-balance",
       " <cost-numeric-expression> <salvage-numeric-expression> <life-integer-expression> <period-integer-expression>"},
      {"future-value",
       " <rate-numeric-expression> <num-periods-integer-expression> <payment-numeric-expression> "
       "<present-value-numeric-expression>" +
           Timing},
      {"interest-payment",
       " <rate-numeric-expression> <period-integer-expression> <num-periods-integer-expression> "
       "<present-value-numeric-expression> <future-value-numeric-expression>" +
           Timing},
      {"interest-rate",
       " <num-periods-integer-expression> <payment-numeric-expression> <present-value-numeric-expression> "
       "<future-value-numeric-expression>" +
           Timing},
      {"internal-rate-of-return", " <guess-numeric-expression> <cash-flows-multifield-expression>"},
      {"net-present-value", " <rate-numeric-expression> <cash-flows-multifield-expression>" + Timing},
      {"number-of-periods",
       " <rate-numeric-expression> <payment-numeric-expression> <present-value-numeric-expression> "
       "<future-value-numeric-expression>" +
           Timing},
      {"payment",
       " <rate-numeric-expression> <num-periods-integer-expression> <present-value-numeric-expression> "
       "<future-value-numeric-expression>" +
           Timing},
      {"period-payment",
       " <rate-numeric-expression> <period-integer-expression> <num-periods-integer-expression> "
       "<present-value-numeric-expression> <future-value-numeric-expression>" +
           Timing},
      {"present-value",
       " <rate-numeric-expression> <num-periods-integer-expression> <payment-numeric-expression> "
       "<future-value-numeric-expression>" +
           Timing},
      {"sln-depreciation", " <cost-numeric-expression> <salvage-numeric-expression> <life-integer-expression>"},
      {"syd-depreciation",
       " <cost-numeric-expression> <salvage-numeric-expression> <life-integer-expression> <period-integer-expression>"},
  };
  ASSERT_EQ(P->GetFunctions().Count(), static_cast<int>(std::size(Expected)));
  for (int I = 0; I < P->GetFunctions().Count(); ++I) {
    const IUserFunction& F = P->GetFunctions().Item(I);
    const TExpected& E = Expected[I];
    EXPECT_EQ(F->GetFunctionName(), E.Name) << I;
    EXPECT_EQ(F->GetArgumentString(), E.Usage) << E.Name;
    // The arity is the number of items in the usage text.
    int32_t Items = 0;
    for (size_t Pos = E.Usage.find(' '); Pos != std::string::npos; Pos = E.Usage.find(' ', Pos + 1)) ++Items;
    EXPECT_EQ(F->GetMinArgumentCount(), Items) << E.Name;
    EXPECT_EQ(F->GetMaxArgumentCount(), Items) << E.Name;
    EXPECT_FALSE(F->GetComment().empty()) << E.Name;
    EXPECT_EQ(Engine.GetUserFunction(E.Name), F) << E.Name;
  }
  EXPECT_EQ(Error("(payment 0.1 10 1000 0)"), "Too few arguments for payment");
  EXPECT_EQ(Error("(sln-depreciation 1 2 3 4)"), "Too many arguments for sln-depreciation");
}

TEST_F(Business, ResultsMatchIndependentReferenceValues) {
  for (const TReference& R : References) EXPECT_TRUE(Close(R.Text, Eval(R.Text), R.Expected));
  // Every result is a float; integer arguments are truncated where the usage says integer.
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(payment 0 10 1000 0 ptEndOfPeriod)")->ToString(), "-100.0000");
  EXPECT_TRUE(Close("truncated periods", Eval("(payment 0 10.9 1000 0 ptEndOfPeriod)"), -100));
  // The payment time may be written as a string as well as a symbol, or computed.
  EXPECT_TRUE(Close("string timing", Eval("(payment 0.08 10 10000 0 \"ptStartOfPeriod\")"), -1379.9026731210688));
  EXPECT_TRUE(
      Close("computed timing", Eval("(payment 0.08 10 10000 0 (sym-cat pt Start Of Period))"), -1379.9026731210688));
}

TEST_F(Business, InterestAndPrincipalPartsMakeUpEachPayment) {
  for (const TSchedule& S : Schedules) {
    const std::string Tail =
        " " + std::to_string(S.Periods) + " " + N(S.Present) + " " + N(S.Future) + " " + S.Timing + ")";
    const double Payment = Eval("(payment " + N(S.Rate) + Tail);
    EXPECT_TRUE(Close("payment", Payment, S.Payment));
    double Principal = 0;
    for (int K = 1; K <= S.Periods; ++K) {
      const std::string Head = N(S.Rate) + " " + std::to_string(K);
      const double Interest = Eval("(interest-payment " + Head + Tail);
      const double Part = Eval("(period-payment " + Head + Tail);
      EXPECT_TRUE(Close("interest-payment period " + std::to_string(K), Interest, S.Interest[K - 1]));
      EXPECT_TRUE(Close("interest + principal, period " + std::to_string(K), Interest + Part, Payment));
      Principal += Part;
    }
    // Paid at the end of each period, the principal parts repay the loan down to the future value.
    if (std::string(S.Timing) == "ptEndOfPeriod") {
      EXPECT_TRUE(Close("principal total", Principal, -(S.Present + S.Future)));
    }
  }
}

TEST_F(Business, TheFunctionsSolveOneEquationForEachOfItsUnknowns) {
  // From a rate, period count, present and future value: the payment, then each function gives
  // back the unknown it solves for.  The equation sums terms as large as the money involved, so
  // values are compared to that scale; growth beyond a millionfold would leave nothing to compare.
  for (const char* Timing : {"ptEndOfPeriod", "ptStartOfPeriod"})
    for (double Rate : {-0.05, 0.0, 1e-9, 0.004, 0.07, 0.5})
      for (int Periods : {1, 7, 120})
        for (const auto& [Present, Future] : {std::pair{10000.0, 0.0}, {-2500.0, 8000.0}, {0.0, -5000.0}}) {
          if (std::pow(1 + Rate, Periods) > 1e6) continue;
          const std::string T = std::string(" ") + Timing + ")";
          const std::string R = N(Rate), Np = std::to_string(Periods), Pv = N(Present), Fv = N(Future);
          const std::string Case = R + " " + Np + " " + Pv + " " + Fv + T;
          const double Payment = Eval("(payment " + R + " " + Np + " " + Pv + " " + Fv + T);
          const std::string P = N(Payment);
          const double Scale = 1e-9 * (std::fabs(Present) + std::fabs(Future) + std::fabs(Payment) * Periods);
          EXPECT_NEAR(Eval("(future-value " + R + " " + Np + " " + P + " " + Pv + T), Future, Scale) << Case;
          EXPECT_NEAR(Eval("(present-value " + R + " " + Np + " " + P + " " + Fv + T), Present, Scale) << Case;
          EXPECT_NEAR(Eval("(number-of-periods " + R + " " + P + " " + Pv + " " + Fv + T), Periods, 1e-9 * Periods)
              << Case;
          // A loan repaid by its payments has one rate; paid at once (one payment, at the start)
          // any rate would do.
          if (Present > 0 && Future == 0 && (Periods > 1 || std::string(Timing) == "ptEndOfPeriod")) {
            EXPECT_NEAR(Eval("(interest-rate " + Np + " " + P + " " + Pv + " " + Fv + T), Rate,
                        1e-9 * (1 + std::fabs(Rate)))
                << Case;
          }
        }
}

TEST_F(Business, RateOfReturnIsWhereTheNetPresentValueVanishes) {
  const char* Flows[] = {"(create$ -70000 12000 15000 18000 21000 26000)", "(create$ -1 0 0 0 0 0 0 0 0 0 3)",
                         "(create$ 500 -100 -100 -100 -100 -100 -100)", "(create$ -1000 3000 -1000)"};
  for (const char* F : Flows) {
    const double Rate = Eval(std::string("(internal-rate-of-return 0.1 ") + F + ")");
    const double Npv = Eval("(net-present-value " + N(Rate) + " " + F + " ptStartOfPeriod)");
    const double EndNpv = Eval("(net-present-value " + N(Rate) + " " + F + " ptEndOfPeriod)");
    EXPECT_NEAR(Npv, 0, 1e-7) << F;
    EXPECT_NEAR(EndNpv, 0, 1e-7) << F;
  }
  // Flows with two rates of return: the guess chooses.  -100, 230, -132 returns 10% and 20%.
  EXPECT_TRUE(Close("low root", Eval("(internal-rate-of-return 0.05 (create$ -100 230 -132))"), 0.1));
  EXPECT_TRUE(Close("high root", Eval("(internal-rate-of-return 0.25 (create$ -100 230 -132))"), 0.2));
  // A guess outside the domain, or one from which Newton's method runs away, still finds the rate.
  EXPECT_TRUE(Close("guess -5", Eval("(internal-rate-of-return -5 (create$ -100 0 121))"), 0.1));
  EXPECT_TRUE(Close("guess 1e6", Eval("(internal-rate-of-return 1e6 (create$ -100 0 121))"), 0.1));
  EXPECT_TRUE(Close("guess -0.999", Eval("(internal-rate-of-return -0.999 (create$ -100 0 121))"), 0.1));
}

TEST_F(Business, ErrorsNameTheFunction) {
  const std::pair<const char*, const char*> Cases[] = {
      {"(payment 0.1 10 1000 0 ptMiddleOfPeriod)",
       "Invalid payment time for payment: \"ptMiddleOfPeriod\" (expected ptEndOfPeriod or ptStartOfPeriod)"},
      {"(net-present-value 0.1 (create$ 1 2) ptendofperiod)",
       "Invalid payment time for net-present-value: \"ptendofperiod\" (expected ptEndOfPeriod or ptStartOfPeriod)"},
      {"(future-value 0.1 10 -100 0 1)",
       "Invalid payment time for future-value: \"1\" (expected ptEndOfPeriod or ptStartOfPeriod)"},
      {"(interest-rate 10 100 1000 0 ptEndOfPeriod)",
       "No rate found for interest-rate: the cash flows never change sign"},
      {"(interest-rate 0 -100 1000 0 ptEndOfPeriod)",
       "No rate found for interest-rate: the cash flows never change sign"},
      {"(internal-rate-of-return 0.1 (create$ 100 200 300))",
       "No rate found for internal-rate-of-return: the cash flows never change sign"},
      {"(internal-rate-of-return 0.1 (create$ 0 0))",
       "No rate found for internal-rate-of-return: the cash flows never change sign"},
      {"(internal-rate-of-return 0.1 (create$))",
       "No rate found for internal-rate-of-return: the cash flows never change sign"},
      // The one rate is 1e300 per period, beyond any search.
      {"(internal-rate-of-return 0.1 (create$ 1 -1e300))",
       "No rate found for internal-rate-of-return: the iteration does not converge"},
      {"(internal-rate-of-return 0.1 (create$ -1 x))", "Not a numeric type.  Value (x) is a dtAtom type"},
      {"(internal-rate-of-return 0.1 5)", "Not a list type.  Value (5) is a dtInteger type"},
      {"(payment 0.1 0 1000 0 ptEndOfPeriod)", "Division by zero in payment"},
      {"(payment 0 0 1000 0 ptEndOfPeriod)", "Division by zero in payment"},
      {"(present-value -1 10 -100 0 ptEndOfPeriod)", "Division by zero in present-value"},
      {"(net-present-value -1 (create$ 1 2) ptEndOfPeriod)", "Division by zero in net-present-value"},
      {"(number-of-periods 0 0 1000 0 ptEndOfPeriod)", "Division by zero in number-of-periods"},
      // A payment that only covers the interest never repays the loan; one below it, even less.
      {"(number-of-periods 0.05 -500 10000 0 ptEndOfPeriod)", "Division by zero in number-of-periods"},
      {"(number-of-periods 0.05 -400 10000 0 ptEndOfPeriod)",
       "number-of-periods is undefined for 0.05, -400, 10000 and 0"},
      {"(number-of-periods -1.5 -100 1000 0 ptEndOfPeriod)",
       "number-of-periods is undefined for -1.5, -100, 1000 and 0"},
      {"(future-value 10 1000 -100 -1000 ptEndOfPeriod)", "Floating-point overflow in future-value"},
      {"(sln-depreciation 1000 100 0)", "Division by zero in sln-depreciation"},
      {"(syd-depreciation 1000 100 10 11)", "Invalid period for syd-depreciation: 11 (it must be between 1 and 10)"},
      {"(syd-depreciation 1000 100 10 0)", "Invalid period for syd-depreciation: 0 (it must be between 1 and 10)"},
      {"(syd-depreciation 1000 100 0 1)", "Invalid life for syd-depreciation: 0 (it must be at least 1)"},
      {"(double-declining-balance 1000 100 -2 1)",
       "Invalid life for double-declining-balance: -2 (it must be at least 1)"},
      {"(double-declining-balance 1000 100 5 6)",
       "Invalid period for double-declining-balance: 6 (it must be between 1 and 5)"},
      {"(interest-payment 0.1 0 12 1000 0 ptEndOfPeriod)",
       "Invalid period for interest-payment: 0 (it must be between 1 and 12)"},
      {"(period-payment 0.1 13 12 1000 0 ptStartOfPeriod)",
       "Invalid period for period-payment: 13 (it must be between 1 and 12)"},
  };
  for (const auto& [Text, Message] : Cases) EXPECT_EQ(Error(Text), Message) << Text;
}
