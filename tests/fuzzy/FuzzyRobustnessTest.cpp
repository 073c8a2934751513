// Properties that must hold for any input: the merge walk against a brute-force pointwise
// evaluation over many generated pairs of sets, and every operation on degenerate sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "FuzzyTestSupport.h"

using namespace vaguecore;
using namespace vaguecore::testing;

namespace {

// Builds sets of many shapes.  Positions often fall on a grid of halves so that points of two
// sets coincide exactly as well as interleave.
class TSetGenerator {
 public:
  explicit TSetGenerator(unsigned Seed) : R_(Seed) {}

  static constexpr int KindCount = 11;

  Ref<TFuzzySet> Make(int Kind) {
    auto S = platform::MakeRef<TFuzzySet>();
    std::vector<TFzyPoint> P;
    switch (Kind) {
      case 0: {  // triangle, sometimes with a vertical side
        const double L = Grid(-20, 50), C = Chance(0.2) ? L : L + Grid(1, 20), Rt = C + Grid(1, 20);
        P = {{L, 0}, {C, 1}, {Rt, 0}};
        if (C == L) P = {{L, 0}, {L, 1}, {Rt, 0}};
        break;
      }
      case 1: {  // trapezoid, possibly with vertical sides
        const double A = Grid(-20, 50), B = A + (Chance(0.3) ? 0 : Grid(1, 10)), C = B + Grid(1, 15);
        const double D = C + (Chance(0.3) ? 0 : Grid(1, 10));
        P = {{A, 0}, {B, 1}, {C, 1}, {D, 0}};
        break;
      }
      case 2:
      case 3: {
        const double L = U(-20, 50);
        S->CreateCurveValues(I(3, 12), L, L + U(2, 30), L, Kind == 2);
        return S;
      }
      case 4: S->CreatePIFunctionValues(I(3, 12), U(2, 20), U(-10, 60)); return S;
      case 5: S->CreateBetaCurveFunctionValues(I(3, 12), U(2, 20), U(-10, 60), U(1, 10)); return S;
      case 6: P = {{U(-20, 60), Level()}}; break;
      case 7: {  // constant over several points
        const double Y = Level();
        double X = Grid(-20, 40);
        for (int K = I(2, 5); K > 0; --K, X += Grid(1, 10)) P.push_back({X, Y});
        break;
      }
      case 8: {  // step with a vertical edge
        const double X0 = Grid(-20, 40), X1 = X0 + Grid(1, 15), X2 = X1 + Grid(1, 15);
        const double Y1 = Level(), Y2 = Level();
        P = {{X0, Y1}, {X1, Y1}, {X1, Y2}, {X2, Y2}};
        break;
      }
      case 9: {  // random polyline with edges and spikes
        double X = Grid(-20, 40);
        for (int K = I(2, 15); K > 0; --K) {
          P.push_back({X, Level()});
          if (!Chance(0.2)) X += Grid(0.5, 8);
        }
        break;
      }
      case 10: {  // spike in a flat line
        const double A = Grid(-20, 40), B = A + Grid(1, 10), C = B + Grid(1, 10), Y = Level();
        P = {{A, Y}, {B, Y}, {B, Level()}, {B, Y}, {C, Y}};
        break;
      }
    }
    S->GetValues().SetPoints(P);
    return S;
  }

 private:
  double U(double A, double B) { return std::uniform_real_distribution<double>(A, B)(R_); }
  int I(int A, int B) { return std::uniform_int_distribution<int>(A, B)(R_); }
  bool Chance(double P) { return U(0, 1) < P; }
  double Grid(double A, double B) { return std::round(U(A, B) * 2) / 2; }
  double Level() {
    const double C = U(0, 1);
    return C < 0.15 ? 0 : (C < 0.3 ? 1 : std::round(U(0, 1) * 1000) / 1000);
  }

  std::mt19937 R_;
};

std::vector<TFzyFloat> Vertices(const TFuzzySet& S) {
  std::vector<TFzyFloat> X;
  for (const TFzyPoint& P : S.GetValues().GetPoints()) X.push_back(P.X);
  return X;
}

bool Near(TFzyFloat X, const std::vector<TFzyFloat>& Xs, TFzyFloat D) {
  return std::any_of(Xs.begin(), Xs.end(), [&](TFzyFloat V) { return std::fabs(V - X) < D; });
}

std::string Describe(const TFuzzySet& A, const TFuzzySet& B, const TFuzzySet& R) {
  return "\n  A: " + PointsText(A) + "\n  B: " + PointsText(B) + "\n  R: " + PointsText(R);
}

// R's membership equals Expected(muA, muB) at densely sampled X away from the vertices.
void ExpectPointwise(const TFuzzySet& A, const TFuzzySet& B, const TFuzzySet& R,
                     const std::function<TFzyFloat(TFzyFloat, TFzyFloat)>& Expected, const std::string& What) {
  std::vector<TFzyFloat> Xs = Vertices(A);
  const std::vector<TFzyFloat> XB = Vertices(B);
  Xs.insert(Xs.end(), XB.begin(), XB.end());
  if (Xs.empty()) return;
  const TFzyFloat Lo = *std::min_element(Xs.begin(), Xs.end()) - 5, Hi = *std::max_element(Xs.begin(), Xs.end()) + 5;
  constexpr int Samples = 600;
  TFzyFloat Worst = 0, WorstX = 0;
  for (int K = 0; K <= Samples; ++K) {
    const TFzyFloat X = Lo + (Hi - Lo) * (K + 0.37) / Samples;
    if (Near(X, Xs, 1e-3)) continue;
    const TFzyFloat Err = std::fabs(R.DegreeOfMembership(X) - Expected(A.DegreeOfMembership(X), B.DegreeOfMembership(X)));
    if (Err > Worst) {
      Worst = Err;
      WorstX = X;
    }
  }
  EXPECT_LE(Worst, 1e-3) << What << " off by " << Worst << " at X = " << WorstX << Describe(A, B, R);
  EXPECT_TRUE(WellFormed(R)) << What;
}

using TOpFn = TFzyFloat (*)(TFzyFloat, TFzyFloat);
struct TOperationCase {
  TFuzzyOperation Op;
  bool IsUnion;
  TOpFn Fn;
};

const TOperationCase OperationCases[] = {
    {foZadeh, false, [](TFzyFloat A, TFzyFloat B) { return std::min(A, B); }},
    {foZadeh, true, [](TFzyFloat A, TFzyFloat B) { return std::max(A, B); }},
    {foMean, false, [](TFzyFloat A, TFzyFloat B) { return (A + B) / 2; }},
    {foMean, true, [](TFzyFloat A, TFzyFloat B) { return (2 * std::min(A, B) + 4 * std::max(A, B)) / 6; }},
    {foMeanSqr, false, [](TFzyFloat A, TFzyFloat B) { return (A + B) * (A + B) / 4; }},
    {foMeanSqr, true, [](TFzyFloat A, TFzyFloat B) { return (A + B) * (A + B) / 4; }},
    {foMeanSqrt, false, [](TFzyFloat A, TFzyFloat B) { return std::sqrt((A + B) / 2); }},
    {foMeanSqrt, true, [](TFzyFloat A, TFzyFloat B) { return std::sqrt((A + B) / 2); }},
    {foProduct, false, [](TFzyFloat A, TFzyFloat B) { return A * B; }},
    {foProduct, true, [](TFzyFloat A, TFzyFloat B) { return A + B - A * B; }},
    {foBoundedSum, false, [](TFzyFloat A, TFzyFloat B) { return std::max(0.0, A + B - 1); }},
    {foBoundedSum, true, [](TFzyFloat A, TFzyFloat B) { return std::min(1.0, A + B); }},
    {foSum, true, [](TFzyFloat A, TFzyFloat B) { return A + B; }},
};

}  // namespace

// For many generated pairs the Zadeh union and intersection are the exact pointwise maximum and
// minimum, the operator families are right at every point of either operand, and the walk meets
// the height of the intersection.
TEST(FuzzyMergeWalk, MatchesPointwiseEvaluation) {
  TSetGenerator Gen(20240611);
  int Pairs = 0;
  for (int KA = 0; KA < TSetGenerator::KindCount; ++KA) {
    for (int KB = 0; KB < TSetGenerator::KindCount; ++KB) {
      for (int Round = 0; Round < 3; ++Round, ++Pairs) {
        const Ref<TFuzzySet> A = Gen.Make(KA), B = Gen.Make(KB);
        const std::string Kinds = "kinds " + std::to_string(KA) + "/" + std::to_string(KB) + ": ";
        auto Min = [](TFzyFloat X, TFzyFloat Y) { return std::min(X, Y); };
        auto Max = [](TFzyFloat X, TFzyFloat Y) { return std::max(X, Y); };
        ExpectPointwise(*A, *B, *A->Intersection(*B), Min, Kinds + "intersection");
        ExpectPointwise(*A, *B, *A->Union(*B), Max, Kinds + "union");
        ExpectPointwise(*A, *B, *B->Intersection(*A, foZadeh), Min, Kinds + "walk intersection");
        ExpectPointwise(*A, *B, *B->Union(*A, foZadeh), Max, Kinds + "walk union");

        // Every family at the points of either operand (where the other has no point nearby).
        const std::vector<TFzyFloat> XA = Vertices(*A), XB = Vertices(*B);
        for (const TOperationCase& C : OperationCases) {
          const Ref<TFuzzySet> R = C.IsUnion ? A->Union(*B, C.Op) : A->Intersection(*B, C.Op);
          ASSERT_TRUE(WellFormed(*R));
          for (const auto& [Own, Other] : {std::pair{&XA, &XB}, std::pair{&XB, &XA}})
            for (TFzyFloat X : *Own) {
              if (Near(X, *Other, 1e-3)) continue;
              EXPECT_NEAR(R->DegreeOfMembership(X), C.Fn(A->DegreeOfMembership(X), B->DegreeOfMembership(X)), 1e-3)
                  << Kinds << platform::EnumName(C.Op) << (C.IsUnion ? " union" : " intersection") << " at X = " << X
                  << Describe(*A, *B, *R);
            }
        }

        // The walk's highest min(Y1, Y2) is at least what any sample finds.
        TFzyFloat Height = 0;
        A->Iterate(*B, [&](TFzyFloat, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) {
          Height = std::max(Height, std::min(Y1, Y2));
          return false;
        });
        std::vector<TFzyFloat> All = XA;
        All.insert(All.end(), XB.begin(), XB.end());
        const TFzyFloat Lo = *std::min_element(All.begin(), All.end()) - 5;
        const TFzyFloat Hi = *std::max_element(All.begin(), All.end()) + 5;
        TFzyFloat Sampled = 0;
        for (TFzyFloat X = Lo; X <= Hi; X += (Hi - Lo) / 601)
          if (!Near(X, All, 1e-3)) Sampled = std::max(Sampled, std::min(A->DegreeOfMembership(X), B->DegreeOfMembership(X)));
        EXPECT_GE(Height, Sampled - 2e-4) << Kinds << "height" << Describe(*A, *B, *A->Intersection(*B));
      }
    }
  }
  EXPECT_EQ(Pairs, 363);
}

// Empty sets, single points, all points at one X and a universe without width: no operation may
// loop, read out of bounds (the sanitizers watch), produce non-finite values or disorder a list.
TEST(FuzzyDegenerateInputs, EveryOperationTerminatesCleanly) {
  TTestUniverse Flat(5, 5);
  std::vector<Ref<TFuzzySet>> Sets = {
      MakeSet({}), MakeSet({{5, 0.5}}), MakeSet({{5, 0}}), MakeSet({{5, 0}, {5, 1}, {5, 0.5}}),
      MakeSet({{5, 1}, {5, 1}}), MakeSet({{0, 0}, {10, 1}, {20, 0}}), MakeSet({{-1e9, 1}, {1e9, 0}})};
  for (int K = 0; K < 3; ++K) {
    TFuzzySet& S = Flat.NewSet();
    S.GetValues().SetPoints(std::vector<TFzyPoint>{{0, 0}, {10, 1}, {20, 0.5}});
    if (K == 1) S.GetValues().Delete(0);
    if (K == 2) S.GetValues().Clear();
    Sets.push_back(Ref<TFuzzySet>(&S));
  }

  for (const Ref<TFuzzySet>& A : Sets) {
    for (const Ref<TFuzzySet>& B : Sets) {
      for (unsigned Op = 0; Op < FuzzyOperationCount; ++Op) {
        const auto O = static_cast<TFuzzyOperation>(Op);
        EXPECT_TRUE(WellFormed(*A->Union(*B, O)));
        if (O != foSum) {
          EXPECT_TRUE(WellFormed(*A->Intersection(*B, O)));
        }
      }
      EXPECT_TRUE(WellFormed(*A->Union(*B)));
      EXPECT_TRUE(WellFormed(*A->Intersection(*B)));
      A->Intersects(*B);
      A->Iterate(*B, [](TFzyFloat, TFzyFloat, TFzyFloat, TFzyFloat) { return false; });
      EXPECT_TRUE(WellFormed(*A->Operator(*B, [](TFuzzySetValues& Out, TFzyFloat X, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) {
        Out.Add()->SetValue(X, Y1 * Y2);
        return false;
      })));
    }
  }

  auto Copy = [](const Ref<TFuzzySet>& S) { return platform::RefCast<TFuzzySet>(S->Clone()); };
  // Only an empty set may refuse, and only where a maximum is needed.
  auto Guarded = [](const Ref<TFuzzySet>& S, const std::function<void()>& Run) {
    try {
      Run();
    } catch (const EFzyException&) {
      EXPECT_TRUE(S->GetValues().Empty()) << PointsText(*S);
    }
  };
  for (const Ref<TFuzzySet>& S : Sets) {
    SCOPED_TRACE(PointsText(*S));
    for (TFzyFloat X : {-1e12, 0.0, 5.0, 7.5, 1e12}) EXPECT_TRUE(std::isfinite(S->DegreeOfMembership(X)));
    for (TFzyFloat V : {-1.0, 0.0, 0.3, 1.0, 2.0}) {
      EXPECT_TRUE(WellFormed(*S->Cutoff(true, V)));
      EXPECT_TRUE(WellFormed(*S->Cutoff(false, V)));
      EXPECT_TRUE(WellFormed(*S->AlphaCutoff(V, true)));
      EXPECT_TRUE(WellFormed(*S->AlphaCutoff(V, false)));
    }
    for (unsigned H = 0; H < FuzzyHedgeCount; ++H) {
      auto C = Copy(S);
      Guarded(S, [&] { C->Hedge(static_cast<TFuzzyHedge>(H)); });
      EXPECT_TRUE(WellFormed(*C)) << HedgeNames[H];
    }
    for (unsigned H = 0; H < BaseFuzzyHedgeCount; ++H)
      for (bool OnY : {true, false})
        for (TFzyFloat V : {0.0, 2.0, -1.0}) {
          auto C = Copy(S);
          try {
            C->Hedge(static_cast<TBaseFuzzyHedge>(H), V, OnY);
          } catch (const EFzyException&) {
            EXPECT_EQ(H, static_cast<unsigned>(bfhDivide));
            EXPECT_EQ(V, 0);
          }
          EXPECT_TRUE(WellFormed(*C));
        }
    auto C = Copy(S);
    Guarded(S, [&] { C->Normalize(); });
    EXPECT_TRUE(std::isfinite(C->CenterOfGravity()));
    EXPECT_TRUE(std::isfinite(C->MeanOfMaxima()));
    C->GetValues().Expand(9);
    C->GetValues().ExpandSimple(12);
    EXPECT_TRUE(WellFormed(*C));
    for (unsigned T = 0; T < 6; ++T) {
      C->SetSetType(static_cast<TFuzzySetType>(T));
      EXPECT_TRUE(WellFormed(*C)) << T;
      EXPECT_TRUE(std::isfinite(C->CenterOfGravity()));
    }
  }
  // A universe without width squeezes every shape onto its one position.
  TFuzzySet& S = Flat.NewSet();
  for (unsigned T = 1; T < 6; ++T) {
    S.SetSetType(static_cast<TFuzzySetType>(T));
    EXPECT_EQ(S.GetValues().GetXValue(0), 5);
    EXPECT_EQ(S.CenterOfGravity(), 5);
  }
}
