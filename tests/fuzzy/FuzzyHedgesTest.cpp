#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FuzzyTestSupport.h"

using namespace vaguecore;
using namespace vaguecore::testing;

TEST(FuzzyHedges, NotTwiceRestoresAndNamesNest) {
  auto S = MakeSet({{0, 0}, {10, 0.3}, {20, 1}, {30, 0.6}}, "hot");
  S->CreateTriangleFunctionValues(40, 45, 50);
  S->Hedge(fhNot);
  EXPECT_EQ(S->GetName(), "not hot");
  EXPECT_EQ(S->GetSetType(), fstUserDefined);
  EXPECT_TRUE(PointsAre(*S, {{0, 1}, {10, 0.7}, {20, 0}, {30, 0.4}, {40, 1}, {45, 0}, {50, 1}}));
  S->Hedge(fhNot);
  EXPECT_EQ(S->GetName(), "not [not hot]");
  EXPECT_TRUE(PointsAre(*S, {{0, 0}, {10, 0.3}, {20, 1}, {30, 0.6}, {40, 0}, {45, 1}, {50, 0}}));

  auto Either = MakeSet({{0, 1}, {10, 0}}, "hot or cold");
  EXPECT_EQ(Either->Hedge(fhVery).GetName(), "very [hot or cold]");
}

TEST(FuzzyHedges, IntensifyAndContrastReshapeAnExpandedSet) {
  auto Tri = [] { return MakeSet({{0, 0}, {10, 1}, {20, 0}}, "t"); };
  const TFzyFloat Third = 1.0 / 3, TwoThirds = 2.0 / 3;
  auto Very = Tri();
  Very->Hedge(fhVery);
  EXPECT_TRUE(PointsAre(*Very, {{0, 0}, {3.3333, 0.1111}, {6.6667, 0.4444}, {10, 1}, {13.3333, 0.4444},
                                {16.6667, 0.1111}, {20, 0}}));
  auto Somewhat = Tri();
  Somewhat->Hedge(fhSomewhat);
  EXPECT_NEAR(Somewhat->DegreeOfMembership(TwoThirds * 10), std::pow(TwoThirds, Third), 1e-9);
  auto Extremely = Tri();
  Extremely->Intensify(3, 3);  // already three points: only the power
  EXPECT_TRUE(PointsAre(*Extremely, {{0, 0}, {10, 1}, {20, 0}}));

  auto Positively = Tri();
  Positively->Hedge(fhPositively);
  EXPECT_TRUE(PointsAre(*Positively, {{0, 0}, {3.3333, 0.2222}, {6.6667, 0.7778}, {10, 1}, {13.3333, 0.7778},
                                      {16.6667, 0.2222}, {20, 0}}));
  auto Generally = Tri();
  Generally->Hedge(fhGenerally);
  EXPECT_NEAR(Generally->DegreeOfMembership(10 * Third), 0.5 * std::sqrt(Third), 1e-9);
  EXPECT_NEAR(Generally->DegreeOfMembership(10 * TwoThirds), 1 - 0.5 * std::sqrt(Third), 1e-9);
  EXPECT_EQ(Generally->DegreeOfMembership(0), 0);
  // Memberships above 1 (from an unbounded sum) stay finite.
  auto Over = MakeSet({{0, 1.5}, {10, 0.2}});
  Over->FuzzyContrast(2, 0.5);
  EXPECT_TRUE(WellFormed(*Over));
}

TEST(FuzzyHedges, AboveAndBelowTurnAtThePeak) {
  auto Tri = MakeSet({{0, 0}, {10, 1}, {20, 0}}, "t");
  EXPECT_TRUE(PointsAre(Tri->Hedge(fhAbove), {{0, 0}, {10, 0}, {20, 1}}));
  auto Tri2 = MakeSet({{0, 0}, {10, 1}, {20, 0}}, "t");
  EXPECT_TRUE(PointsAre(Tri2->Hedge(fhBelow), {{0, 1}, {10, 0}, {20, 0}}));
  EXPECT_EQ(Tri2->GetName(), "below t");
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
  EXPECT_TRUE(WellFormed(S));
  EXPECT_NEAR(S.GetValues().GetMaxValue(), 1, 1e-9);
  EXPECT_LT(S.DegreeOfMembership(30), 0.5);  // not the centre itself, but near it
  EXPECT_GT(S.DegreeOfMembership(25), 0.5);

  TFuzzySet& A = U.NewSet();
  A.CreateTriangleFunctionValues(20, 30, 40);
  A.SetName("warm");
  A.Hedge(fhAbout);
  EXPECT_EQ(A.GetName(), "about warm");
  EXPECT_EQ(A.GetValues().GetCount(), 50);
  EXPECT_EQ(A.GetValues().GetXValue(0), 0);
  EXPECT_EQ(A.GetValues().GetXValue(49), 100);
  EXPECT_NEAR(A.GetValues().GetMaxValue(), 1, 1e-12);
  EXPECT_GT(A.DegreeOfMembership(30), 0.9);
  EXPECT_GT(A.DegreeOfMembership(45), A.DegreeOfMembership(80));
  EXPECT_GT(A.DegreeOfMembership(45), 0);  // wider than the triangle

  TFuzzySet Empty;
  for (TFuzzyHedge H : {fhNormalize, fhSlightly, fhAbout, fhNear}) {
    EXPECT_THROW(Empty.Hedge(H), EFzyException);
    EXPECT_EQ(Empty.GetName(), "");
  }
  Empty.Hedge(fhVery);  // nothing to reshape, but the name follows
  EXPECT_EQ(Empty.GetName(), "very ");
  EXPECT_THROW(Empty.Hedge(static_cast<TFuzzyHedge>(40)), EFzyException);
}

TEST(FuzzyHedges, BaseHedgesOnEitherCoordinate) {
  TTestUniverse U(0, 100);
  TFuzzySet& S = U.NewSet();
  auto Reset = [&] {
    S.GetValues().SetPoints(std::vector<TFzyPoint>{{80, 0}, {90, 1}, {95, 0.5}});
    S.SetName("hot");
  };
  Reset();
  S.Hedge(bfhMultiply, 0.5, true);
  EXPECT_EQ(S.GetName(), "hot * 0.5000");
  EXPECT_TRUE(PointsAre(S, {{80, 0}, {90, 0.5}, {95, 0.25}}));
  Reset();
  S.Hedge(bfhAdd, 10, false);  // clamped at the universe's end, kept in order
  EXPECT_EQ(S.GetName(), "hot +X 10.0000");
  EXPECT_TRUE(PointsAre(S, {{90, 0}, {100, 1}, {100, 0.5}}));
  Reset();
  S.Hedge(bfhMultiply, -1, false);  // all below the universe: squeezed onto its start
  EXPECT_TRUE(PointsAre(S, {{0, 0}, {0, 1}, {0, 0.5}}));
  Reset();
  S.Hedge(bfhSubtract, 0.7, true);
  EXPECT_TRUE(PointsAre(S, {{80, 0}, {90, 0.3}, {95, 0}}));
  Reset();
  S.Hedge(bfhPower, 2, true);
  EXPECT_TRUE(PointsAre(S, {{80, 0}, {90, 1}, {95, 0.25}}));
  Reset();
  S.Hedge(bfhCutLess, 0.3, true);
  EXPECT_TRUE(PointsAre(S, {{80, 0.3}, {90, 1}, {95, 0.5}}));
  Reset();
  S.Hedge(bfhCutGreaterEq, 90, false);
  EXPECT_EQ(S.GetName(), "hot >=X 90.0000");
  EXPECT_TRUE(PointsAre(S, {{80, 0}, {90, 1}, {90, 0.5}}));
  Reset();
  S.Hedge(bfgCutLessEq, 0.5, true);
  EXPECT_TRUE(PointsAre(S, {{80, 0.5}, {90, 1}, {95, 0.5}}));
  Reset();
  S.Hedge(bfhDivide, 4, true);
  EXPECT_TRUE(PointsAre(S, {{80, 0}, {90, 0.25}, {95, 0.125}}));

  Reset();
  try {
    S.Hedge(bfhDivide, 0, false);
    FAIL();
  } catch (const EFzyException& E) {
    EXPECT_STREQ(E.what(), "Division by zero in fuzzy hedge /X");
  }
  EXPECT_EQ(S.GetName(), "hot");
  EXPECT_TRUE(PointsAre(S, {{80, 0}, {90, 1}, {95, 0.5}}));
}

TEST(FuzzyDefuzzify, CenterOfGravity) {
  TTestUniverse U(0, 100);
  TFuzzySet& Tri = U.NewSet();
  EXPECT_TRUE(Tri.IsUndecidable());
  Tri.CreateTriangleFunctionValues(20, 30, 40);
  EXPECT_NEAR(Tri.CenterOfGravity(), 30, 1e-12);
  EXPECT_EQ(Tri.GetCompatibilityIndex(), 1);
  EXPECT_FALSE(Tri.IsUndecidable());

  // The flat stretch from the universe's start counts as a rectangle.
  TFuzzySet& Left = U.NewSet();
  Left.GetValues().SetPoints(std::vector<TFzyPoint>{{40, 1}, {60, 0}});
  EXPECT_NEAR(Left.CenterOfGravity(), (800 + 10 * (40 + 20.0 / 3)) / 50, 1e-9);
  TFuzzySet& Right = U.NewSet();
  Right.GetValues().SetPoints(std::vector<TFzyPoint>{{40, 0}, {60, 1}});
  EXPECT_NEAR(Right.CenterOfGravity(), (10 * (40 + 40.0 / 3) + 40 * 80) / 50, 1e-9);

  TTestUniverse Unit(0, 10);
  TFuzzySet& Trapezoid = Unit.NewSet();
  Trapezoid.GetValues().SetPoints(std::vector<TFzyPoint>{{0, 0.5}, {10, 1}});
  EXPECT_NEAR(Trapezoid.CenterOfGravity(), 50.0 / 9, 1e-9);
  EXPECT_NEAR(Trapezoid.GetCompatibilityIndex(), 0.5 + 0.5 * 5 / 9, 1e-9);

  TFuzzySet& One = U.NewSet();
  One.GetValues().Add(70, 0.4);
  EXPECT_EQ(One.CenterOfGravity(), 50);  // no width: the middle of the universe
  EXPECT_TRUE(One.IsUndecidable());
  TFuzzySet& Zero = U.NewSet();
  Zero.GetValues().SetPoints(std::vector<TFzyPoint>{{10, 0}, {30, 0}});
  EXPECT_EQ(Zero.CenterOfGravity(), 0);
  EXPECT_TRUE(Zero.IsUndecidable());
  TFuzzySet Empty;
  EXPECT_EQ(Empty.CenterOfGravity(), 0);
  EXPECT_TRUE(Empty.IsUndecidable());
}

TEST(FuzzyDefuzzify, MeanOfMaxima) {
  auto Trap = MakeSet({{0, 0}, {10, 1}, {20, 1}, {30, 0}});
  EXPECT_EQ(Trap->MeanOfMaxima(), 15);
  EXPECT_EQ(Trap->GetCompatibilityIndex(), 1);
  auto Low = MakeSet({{0, 0.1}, {10, 0.6}, {12, 0.60005}, {40, 0.3}, {50, 0.6}});
  EXPECT_NEAR(Low->MeanOfMaxima(), 24, 1e-12);
  EXPECT_EQ(Low->GetCompatibilityIndex(), 0.6);
  auto Later = MakeSet({{0, 0.5}, {10, 0.5}, {20, 0.9}});
  EXPECT_EQ(Later->MeanOfMaxima(), 20);
  TFuzzySet Empty;
  EXPECT_EQ(Empty.MeanOfMaxima(), 0);
  EXPECT_TRUE(Empty.IsUndecidable());
}
