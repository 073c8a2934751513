#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "FuzzyTestSupport.h"

using namespace vaguecore;
using namespace vaguecore::testing;

namespace {
Ref<TFuzzySet> Triangle() { return MakeSet({{0, 0}, {10, 1}, {20, 0}}, "t"); }
}  // namespace

TEST(FuzzyHedges, NotTwiceRestoresAndNamesNest) {
  auto S = MakeSet({{0, 0}, {10, 0.3}, {20, 1}, {30, 0.6}}, "hot");
  S->Hedge(fhNot);
  EXPECT_EQ(S->GetName(), "not hot");
  EXPECT_TRUE(PointsAre(*S, {{0, 1}, {10, 0.7}, {20, 0}, {30, 0.4}}));
  S->Hedge(fhNot);
  EXPECT_EQ(S->GetName(), "not [not hot]");
  EXPECT_TRUE(PointsAre(*S, {{0, 0}, {10, 0.3}, {20, 1}, {30, 0.6}}));
  EXPECT_EQ(MakeSet({{0, 1}}, "hot or cold")->Hedge(fhVery).GetName(), "very [hot or cold]");
}

TEST(FuzzyHedges, IntensifyContrastAboveBelow) {
  EXPECT_TRUE(PointsAre(Triangle()->Hedge(fhVery), {{0, 0}, {3.3333, 0.1111}, {6.6667, 0.4444}, {10, 1},
                                                    {13.3333, 0.4444}, {16.6667, 0.1111}, {20, 0}}));
  EXPECT_TRUE(PointsAre(Triangle()->Hedge(fhPositively), {{0, 0}, {3.3333, 0.2222}, {6.6667, 0.7778}, {10, 1},
                                                          {13.3333, 0.7778}, {16.6667, 0.2222}, {20, 0}}));
  auto Generally = Triangle();
  Generally->Hedge(fhGenerally);
  EXPECT_NEAR(Generally->DegreeOfMembership(10.0 / 3), 0.5 * std::sqrt(1.0 / 3), 1e-9);
  EXPECT_NEAR(Generally->DegreeOfMembership(20.0 / 3), 1 - 0.5 * std::sqrt(1.0 / 3), 1e-9);

  EXPECT_TRUE(PointsAre(Triangle()->Hedge(fhAbove), {{0, 0}, {10, 0}, {20, 1}}));
  EXPECT_TRUE(PointsAre(Triangle()->Hedge(fhBelow), {{0, 1}, {10, 0}, {20, 0}}));
  // Without a point at 1: the last (above) or first (below) point at the highest membership.
  auto Flat = [] { return MakeSet({{0, 0.2}, {5, 0.8}, {10, 0.8}, {20, 0.1}}); };
  EXPECT_TRUE(PointsAre(Flat()->Hedge(fhAbove), {{0, 0}, {5, 0}, {10, 0}, {20, 0.9}}));
  EXPECT_TRUE(PointsAre(Flat()->Hedge(fhBelow), {{0, 0.8}, {5, 0}, {10, 0}, {20, 0}}));
}

TEST(FuzzyHedges, SlightlyAndApproximations) {
  TTestUniverse U(0, 100);
  TFuzzySet& S = U.NewSet();
  S.CreateTriangleFunctionValues(20, 30, 40);
  S.SetName("warm");
  S.Hedge(fhSlightly);
  EXPECT_EQ(S.GetName(), "slightly warm");
  EXPECT_NEAR(S.GetValues().GetMaxValue(), 1, 1e-9);
  EXPECT_LT(S.DegreeOfMembership(30), 0.5);  // near the centre, not at it
  EXPECT_GT(S.DegreeOfMembership(25), 0.5);

  TFuzzySet& A = U.NewSet();
  A.CreateTriangleFunctionValues(20, 30, 40);
  A.Hedge(fhAbout);
  EXPECT_EQ(A.GetValues().GetCount(), 50);  // spread over the universe
  EXPECT_EQ(A.GetValues().GetXValue(49), 100);
  EXPECT_GT(A.DegreeOfMembership(30), 0.9);
  EXPECT_GT(A.DegreeOfMembership(45), A.DegreeOfMembership(80));
  EXPECT_GT(A.DegreeOfMembership(45), 0);

  TFuzzySet Empty;
  for (TFuzzyHedge H : {fhNormalize, fhSlightly, fhAbout}) EXPECT_THROW(Empty.Hedge(H), EFzyException);
  EXPECT_EQ(Empty.GetName(), "");
}

TEST(FuzzyHedges, BaseHedgesOnEitherCoordinate) {
  TTestUniverse U(0, 100);
  TFuzzySet& S = U.NewSet();
  struct {
    TBaseFuzzyHedge Hedge;
    TFzyFloat Value;
    bool OnY;
    std::vector<TFzyPoint> Expected;
  } const Cases[] = {
      {bfhMultiply, 0.5, true, {{80, 0}, {90, 0.5}, {95, 0.25}}},
      {bfhSubtract, 0.7, true, {{80, 0}, {90, 0.3}, {95, 0}}},
      {bfhPower, 2, true, {{80, 0}, {90, 1}, {95, 0.25}}},
      // A cut on the memberships cuts the function: 0.3 is crossed at 83, 0.5 at 85.
      {bfhCutLess, 0.3, true, {{80, 0.3}, {83, 0.3}, {90, 1}, {95, 0.5}}},
      {bfgCutLessEq, 0.5, true, {{80, 0.5}, {85, 0.5}, {90, 1}, {95, 0.5}}},
      {bfhCutGreater, 0.6, true, {{80, 0}, {86, 0.6}, {90, 0.6}, {94, 0.6}, {95, 0.5}}},
      {bfhAdd, 10, false, {{90, 0}, {100, 1}, {100, 0.5}}},  // clamped at the universe's end
      {bfhCutGreaterEq, 90, false, {{80, 0}, {90, 1}, {90, 0.5}}},
      {bfhMultiply, -1, false, {{0, 0}, {0, 1}, {0, 0.5}}},
  };
  for (const auto& C : Cases) {
    S.GetValues().SetPoints(std::vector<TFzyPoint>{{80, 0}, {90, 1}, {95, 0.5}});
    S.SetName("hot");
    S.Hedge(C.Hedge, C.Value, C.OnY);
    const std::vector<TFzyPoint> P = S.GetValues().GetPoints();
    ASSERT_EQ(P.size(), C.Expected.size()) << PointsText(S);
    for (size_t I = 0; I < P.size(); ++I) {
      EXPECT_NEAR(P[I].X, C.Expected[I].X, 1e-9) << PointsText(S);
      EXPECT_NEAR(P[I].Y, C.Expected[I].Y, 1e-9) << PointsText(S);
    }
  }
  EXPECT_EQ(S.GetName(), "hot *X -1.0000");
  S.SetName("hot");
  try {
    S.Hedge(bfhDivide, 0, true);
    FAIL();
  } catch (const EFzyException& E) {
    EXPECT_STREQ(E.what(), "Division by zero in fuzzy hedge /");
  }
  EXPECT_EQ(S.GetName(), "hot");
}

TEST(FuzzyDefuzzify, CenterOfGravity) {
  TTestUniverse U(0, 100);
  TFuzzySet& Tri = U.NewSet();
  EXPECT_TRUE(Tri.IsUndecidable());
  Tri.CreateTriangleFunctionValues(20, 30, 40);
  EXPECT_NEAR(Tri.CenterOfGravity(), 30, 1e-12);
  EXPECT_EQ(Tri.GetCompatibilityIndex(), 1);
  EXPECT_FALSE(Tri.IsUndecidable());
  // The flat stretches to the universe's ends count: a rectangle [0, 40] and a triangle.
  TFuzzySet& Left = U.NewSet();
  Left.GetValues().SetPoints(std::vector<TFzyPoint>{{40, 1}, {60, 0}});
  EXPECT_NEAR(Left.CenterOfGravity(), (40 * 20 + 10 * (40 + 20.0 / 3)) / 50, 1e-9);
  // A trapezoid piece.
  TTestUniverse Unit(0, 10);
  TFuzzySet& Trapezoid = Unit.NewSet();
  Trapezoid.GetValues().SetPoints(std::vector<TFzyPoint>{{0, 0.5}, {10, 1}});
  EXPECT_NEAR(Trapezoid.CenterOfGravity(), 50.0 / 9, 1e-9);

  TFuzzySet& One = U.NewSet();
  One.GetValues().Add(70, 0.4);
  EXPECT_EQ(One.CenterOfGravity(), 50);  // no width: the middle of the universe
  EXPECT_TRUE(One.IsUndecidable());
  TFuzzySet& Zero = U.NewSet();
  Zero.GetValues().SetPoints(std::vector<TFzyPoint>{{10, 0}, {30, 0}});
  EXPECT_EQ(Zero.CenterOfGravity(), 0);
  EXPECT_TRUE(Zero.IsUndecidable());
}

TEST(FuzzyDefuzzify, MeanOfMaxima) {
  auto Trap = MakeSet({{0, 0}, {10, 1}, {20, 1}, {30, 0}});
  EXPECT_EQ(Trap->MeanOfMaxima(), 15);
  EXPECT_EQ(Trap->GetCompatibilityIndex(), 1);
  auto Low = MakeSet({{0, 0.1}, {10, 0.6}, {12, 0.60005}, {40, 0.3}, {50, 0.6}});
  EXPECT_NEAR(Low->MeanOfMaxima(), 24, 1e-12);
  EXPECT_EQ(Low->GetCompatibilityIndex(), 0.6);
  TFuzzySet Empty;
  EXPECT_EQ(Empty.MeanOfMaxima(), 0);
  EXPECT_TRUE(Empty.IsUndecidable());
}
