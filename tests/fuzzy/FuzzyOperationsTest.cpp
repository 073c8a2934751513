#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FuzzyTestSupport.h"

using namespace vaguecore;
using namespace vaguecore::testing;

namespace {

class TTaggedSet : public TFuzzySet {
  PLATFORM_CLASS(TTaggedSet, TFuzzySet)
};

}  // namespace

TEST(FuzzyUnion, TwoTrianglesMeetAtTheirCrossing) {
  auto A = MakeSet({{0, 0}, {10, 1}, {20, 0}}, "A");
  auto B = MakeSet({{10, 0}, {20, 1}, {30, 0}}, "B");
  auto I = A->Intersection(*B);
  EXPECT_TRUE(PointsAre(*I, {{10, 0}, {15, 0.5}, {20, 0}}));
  EXPECT_EQ(I->GetName(), "A and B");
  EXPECT_EQ(I->GetExpression(), "A and B");
  auto U = A->Union(*B);
  EXPECT_TRUE(PointsAre(*U, {{0, 0}, {10, 1}, {15, 0.5}, {20, 1}, {30, 0}}));
  EXPECT_EQ(U->GetName(), "A or B");
  // The operation forms run the same walk.
  EXPECT_TRUE(PointsAre(*A->Intersection(*B, foZadeh), {{10, 0}, {15, 0.5}, {20, 0}}));
  EXPECT_EQ(A->Union(*B, foProduct)->GetName(), "A or-product B");
  // Operands are left alone; results live in no collection.
  EXPECT_TRUE(PointsAre(*A, {{0, 0}, {10, 1}, {20, 0}}));
  EXPECT_EQ(U->GetCollection(), nullptr);
  EXPECT_EQ(U->RefCount(), 1);
}

TEST(FuzzyUnion, CrossingsInTheFlatStretchesBeyondTheEnds) {
  // A stays at 0.2 right of its last point; B climbs through that level at X = 22.
  auto A = MakeSet({{0, 1}, {10, 0.2}});
  auto B = MakeSet({{20, 0}, {30, 1}});
  EXPECT_TRUE(PointsAre(*A->Union(*B), {{0, 1}, {10, 0.2}, {22, 0.2}, {30, 1}}));
  // C stays at 0.4 left of its first point; D climbs through it at X = 4.
  auto C = MakeSet({{20, 0.4}, {30, 0}});
  auto D = MakeSet({{0, 0}, {10, 1}});
  EXPECT_TRUE(PointsAre(*C->Intersection(*D), {{0, 0}, {4, 0.4}, {20, 0.4}, {30, 0}}));
  EXPECT_TRUE(PointsAre(*D->Intersection(*C), {{0, 0}, {4, 0.4}, {20, 0.4}, {30, 0}}));
}

TEST(FuzzyUnion, VerticalEdgesCombineSideBySide) {
  // Up-step and down-step at the same X with a spike: each side of the edge meets the other
  // set's value on the same side.
  auto Up = MakeSet({{0, 0}, {10, 0}, {10, 1}, {20, 1}});
  auto Down = MakeSet({{0, 1}, {10, 1}, {10, 0.3}, {10, 0}, {20, 0}});
  EXPECT_TRUE(PointsAre(*Up->Union(*Down), {{20, 1}}));  // constant 1: a flat start keeps one point
  auto Low = Up->Intersection(*Down);
  EXPECT_EQ(Low->DegreeOfMembership(5), 0);
  EXPECT_EQ(Low->DegreeOfMembership(15), 0);
  auto Half = MakeSet({{0, 0.5}, {20, 0.5}, {20, 0.6}});
  EXPECT_TRUE(PointsAre(*Up->Intersection(*Half, foZadeh), {{10, 0}, {10, 0.5}, {20, 0.5}, {20, 0.6}}));
}

TEST(FuzzyOperations, OperatorFamiliesOnConstants) {
  auto Low = MakeSet({{0, 0.2}}, "low");
  auto High = MakeSet({{0, 0.8}}, "high");
  struct {
    TFuzzyOperation Op;
    TFzyFloat Intersection, Union;
  } const Cases[] = {{foZadeh, 0.2, 0.8},        {foMean, 0.5, 0.6},          {foMeanSqr, 0.25, 0.25},
                     {foMeanSqrt, 0.7071, 0.7071}, {foProduct, 0.16, 0.84},    {foBoundedSum, 0, 1}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(platform::EnumName(C.Op));
    EXPECT_NEAR(Low->Intersection(*High, C.Op)->DegreeOfMembership(3), C.Intersection, 1e-4);
    EXPECT_NEAR(Low->Union(*High, C.Op)->DegreeOfMembership(3), C.Union, 1e-4);
  }
  EXPECT_NEAR(Low->Union(*High, foSum)->DegreeOfMembership(0), 1.0, 1e-12);
  EXPECT_EQ(Low->Union(*High, foMean)->GetName(), "low or-mean high");

  try {
    Low->Intersection(*High, foSum);
    FAIL();
  } catch (const EFzyException& E) {
    EXPECT_STREQ(E.what(), "Invalid fuzzy operation: foSum");
  }
  EXPECT_THROW(Low->Union(*High, static_cast<TFuzzyOperation>(9)), EFzyException);
}

TEST(FuzzyOperations, UnionWithItself) {
  auto T = MakeSet({{0, 0}, {5, 0.4}, {10, 1}, {20, 0}}, "t");
  auto Same = T->Union(*T);
  for (TFzyFloat X = -5; X <= 25; X += 0.25) EXPECT_NEAR(Same->DegreeOfMembership(X), T->DegreeOfMembership(X), 1e-12);
  auto Doubled = T->Union(*T, foSum);
  EXPECT_NEAR(Doubled->DegreeOfMembership(10), 2, 1e-12);
  EXPECT_NEAR(Doubled->DegreeOfMembership(5), 0.8, 1e-12);
  EXPECT_TRUE(WellFormed(*Doubled));
}

TEST(FuzzyOperations, ZadehFormsWithEmptyAndConstantOperands) {
  auto Empty = MakeSet({}, "none");
  auto Tri = MakeSet({});
  Tri->CreateTriangleFunctionValues(0, 10, 20);
  // An empty operand leaves the other's points.
  auto R1 = Empty->Intersection(*Tri);
  EXPECT_TRUE(PointsAre(*R1, {{0, 0}, {10, 1}, {20, 0}}));
  EXPECT_EQ(R1->GetSetType(), fstTriangle);  // a copy of the argument
  EXPECT_EQ(R1->GetName(), "none and ");
  EXPECT_TRUE(PointsAre(*Tri->Union(*Empty), {{0, 0}, {10, 1}, {20, 0}}));
  EXPECT_TRUE(Empty->Union(*Empty)->GetValues().Empty());
  // Two constants: the single point with the lower / higher level.
  auto C3 = MakeSet({{0, 0.3}, {10, 0.3}});
  auto C7 = MakeSet({{5, 0.7}});
  EXPECT_TRUE(PointsAre(*C3->Intersection(*C7), {{0, 0.3}}));
  EXPECT_TRUE(PointsAre(*C3->Union(*C7), {{5, 0.7}}));
  // One constant: a cut of the other at its level.
  EXPECT_TRUE(PointsAre(*C7->Intersection(*Tri), {{0, 0}, {7, 0.7}, {13, 0.7}, {20, 0}}));
  EXPECT_TRUE(PointsAre(*Tri->Union(*C3), {{3, 0.3}, {10, 1}, {17, 0.3}}));
}

TEST(FuzzyOperations, ResultsKeepTheClassAndUniverse) {
  TTestUniverse U(0, 100);
  auto* A = static_cast<TFuzzySet*>(U.Sets.Add());
  A->CreateTriangleFunctionValues(10, 20, 30);
  TTaggedSet Tagged;
  Tagged.GetValues().SetPoints(std::vector<TFzyPoint>{{40, 1}});
  auto R = Tagged.Union(*A);
  EXPECT_NE(dynamic_cast<TTaggedSet*>(R.get()), nullptr);
  auto FromA = A->Cutoff(true, 0.2);
  EXPECT_EQ(FromA->GetXRange(0), 100);
  EXPECT_EQ(FromA->GetCollection(), nullptr);
  EXPECT_EQ(U.Sets.GetCount(), 1);
}

TEST(FuzzyOperations, OperatorAndIterateWalkInOrder) {
  auto A = MakeSet({{0, 0}, {10, 1}, {20, 0}}, "a");
  auto B = MakeSet({{10, 0}, {20, 1}, {30, 0}}, "b");
  std::vector<TFzyFloat> Seen;
  auto Diff = A->Operator(*B, [&](TFuzzySetValues& Out, TFzyFloat X1, TFzyFloat Y1, TFzyFloat X2, TFzyFloat Y2) {
    EXPECT_NEAR(X1, X2, 1e-4);
    Seen.push_back(X1);
    Out.Add()->SetValue(X1, std::fabs(Y1 - Y2));
    return false;
  });
  EXPECT_EQ(Seen, (std::vector<TFzyFloat>{0, 10, 15, 20, 30}));
  EXPECT_TRUE(PointsAre(*Diff, {{0, 0}, {10, 1}, {15, 0}, {20, 1}, {30, 0}}));
  EXPECT_EQ(Diff->GetName(), "a");

  // A true answer stops the walk.
  int Calls = 0;
  auto Stopped = A->Operator(*B, [&](TFuzzySetValues& Out, TFzyFloat X1, TFzyFloat Y1, TFzyFloat, TFzyFloat) {
    Out.Add()->SetValue(X1, Y1);
    return ++Calls == 2;
  });
  EXPECT_EQ(Calls, 2);
  EXPECT_EQ(Stopped->GetValues().GetCount(), 2);

  // The height of the intersection, as fuzzy matching measures it.
  auto MinAtLeast = [&](TFzyFloat Threshold) {
    return A->Iterate(*B, [=](TFzyFloat, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) { return std::min(Y1, Y2) >= Threshold; });
  };
  EXPECT_TRUE(MinAtLeast(0.5));
  EXPECT_FALSE(MinAtLeast(0.51));
  EXPECT_FALSE(A->Iterate(*B, nullptr));
}

TEST(FuzzyCutoff, ConstantLevels) {
  auto T = MakeSet({{0, 0}, {10, 1}, {20, 0}}, "tri");
  auto U = T->Cutoff(true, 0.5);
  EXPECT_TRUE(PointsAre(*U, {{5, 0.5}, {10, 1}, {15, 0.5}}));
  EXPECT_EQ(U->GetName(), "tri or 0.5000");
  EXPECT_EQ(U->GetExpression(), "");
  T->SetExpression("tri");
  auto I = T->Cutoff(false, 0.5);
  EXPECT_TRUE(PointsAre(*I, {{0, 0}, {5, 0.5}, {15, 0.5}, {20, 0}}));
  EXPECT_EQ(I->GetName(), "tri and 0.5000");
  EXPECT_EQ(I->GetExpression(), "tri and 0.5000");

  for (const auto& S : {T, MakeSet({}), MakeSet({{3, 1.5}})}) {
    auto One = S->Cutoff(true, 1);
    ASSERT_EQ(One->GetValues().GetCount(), 1);
    EXPECT_EQ(One->DegreeOfMembership(-100), 1);
    EXPECT_EQ(S->Cutoff(false, 0)->DegreeOfMembership(7), 0);
    EXPECT_EQ(S->Cutoff(true, 0)->GetValues().GetCount(), S->GetValues().GetCount());
  }
  EXPECT_EQ(T->Cutoff(true, 7)->GetName(), "tri or 1.0000");  // clamped into [0, 1]
  EXPECT_EQ(T->Cutoff(false, -2)->DegreeOfMembership(10), 0);
  // A level above every membership wins everywhere, and one below every membership for an
  // intersection: the result is that constant, not an empty set.
  auto Low = MakeSet({{0, 0}, {10, 0.4}, {20, 0}});
  EXPECT_EQ(Low->Cutoff(true, 0.5)->DegreeOfMembership(10), 0.5);
  EXPECT_EQ(Low->Cutoff(true, 0.5)->GetValues().GetCount(), 1);
  auto High = MakeSet({{0, 0.6}, {10, 1}});
  EXPECT_EQ(High->Cutoff(false, 0.5)->DegreeOfMembership(3), 0.5);
  EXPECT_EQ(MakeSet({})->Cutoff(true, 0.3)->DegreeOfMembership(3), 0.3);
}

TEST(FuzzyCutoff, AlphaCutsLeaveZeroOutside) {
  auto T = MakeSet({{0, 0}, {10, 1}, {20, 0}}, "tri");
  auto Weak = T->AlphaCutoff(0.5, false);
  EXPECT_TRUE(PointsAre(*Weak, {{0, 0}, {5, 0}, {5, 0.5}, {10, 1}, {15, 0.5}, {15, 0}}));
  EXPECT_EQ(Weak->GetName(), "tri");
  EXPECT_EQ(Weak->DegreeOfMembership(4.9), 0);
  EXPECT_EQ(Weak->DegreeOfMembership(12.5), 0.75);
  EXPECT_EQ(Weak->DegreeOfMembership(30), 0);
  // A plateau exactly at alpha passes the weak cut and fails the strong one.
  auto P = MakeSet({{0, 0.5}, {10, 0.5}, {20, 1}});
  EXPECT_TRUE(PointsAre(*P->AlphaCutoff(0.5, false), {{0, 0.5}, {10, 0.5}, {20, 1}}));
  EXPECT_TRUE(PointsAre(*P->AlphaCutoff(0.5, true), {{0, 0}, {10, 0}, {10, 0.5}, {20, 1}}));
  EXPECT_TRUE(PointsAre(*T->AlphaCutoff(0, true), {{0, 0}, {10, 1}, {20, 0}}));
  EXPECT_TRUE(PointsAre(*T->AlphaCutoff(1, true), {{10, 0}}));
  EXPECT_TRUE(PointsAre(*T->AlphaCutoff(3, false), {{0, 0}, {10, 0}, {10, 1}, {10, 0}}));
  EXPECT_TRUE(T->AlphaCutoff(0.5, false)->GetValues().GetCount() > 0);
  EXPECT_TRUE(MakeSet({})->AlphaCutoff(0.5, false)->GetValues().Empty());
}

TEST(FuzzyNormalize, ScalesToAPeakOfOne) {
  auto S = MakeSet({{0, 0}, {10, 0.5}, {20, 0.25}}, "s");
  EXPECT_EQ(&S->Normalize(), S.get());
  EXPECT_TRUE(PointsAre(*S, {{0, 0}, {10, 1}, {20, 0.5}}));
  auto Over = MakeSet({{0, 1}, {10, 2}});
  Over->Normalize();
  EXPECT_TRUE(PointsAre(*Over, {{0, 0.5}, {10, 1}}));
  auto Zero = MakeSet({{0, 0}, {10, 0}, {10, 0}});
  Zero->Normalize();
  EXPECT_EQ(Zero->GetValues().GetMaxValue(), 0);
  EXPECT_THROW(MakeSet({})->Normalize(), EFzyException);
}

TEST(FuzzyIntersects, OverlapAndTouch) {
  auto A = MakeSet({{0, 0}, {10, 1}, {20, 0}});
  EXPECT_TRUE(A->Intersects(*MakeSet({{15, 0}, {30, 1}})));
  EXPECT_FALSE(A->Intersects(*MakeSet({{25, 0}, {30, 1}})));
  EXPECT_FALSE(A->Intersects(*MakeSet({{20, 0}, {30, 0}})));     // touching where both are 0
  EXPECT_TRUE(MakeSet({{0, 0}, {20, 1}})->Intersects(*MakeSet({{20, 0}, {30, 0}})));  // touching at 1
  EXPECT_FALSE(MakeSet({{0, 0}})->Intersects(*A));  // a constant 0 meets nothing
  EXPECT_FALSE(A->Intersects(*MakeSet({})));
  EXPECT_FALSE(MakeSet({})->Intersects(*A));
}

TEST(FuzzyIntersects, LineSegments) {
  using V = TFuzzySetValue;
  auto Hit = TFuzzySet::LineSegmentIntersects(V(0, 0), V(10, 1), V(0, 1), V(10, 0));
  ASSERT_TRUE(Hit);
  EXPECT_NEAR(Hit->GetX(), 5, 1e-12);
  EXPECT_NEAR(Hit->GetY(), 0.5, 1e-12);
  EXPECT_EQ(Hit->RefCount(), 1);
  EXPECT_FALSE(TFuzzySet::LineSegmentIntersects(V(0, 0), V(10, 1), V(0, 0.5), V(10, 1.5)));  // parallel
  EXPECT_FALSE(TFuzzySet::LineSegmentIntersects(V(0, 0), V(1, 1), V(2, 0), V(3, -5)));       // apart
  auto Shared = TFuzzySet::LineSegmentIntersects(V(0, 0), V(10, 1), V(10, 1), V(20, 0));
  ASSERT_TRUE(Shared);
  EXPECT_NEAR(Shared->GetX(), 10, 1e-9);
  auto Overlap = TFuzzySet::LineSegmentIntersects(V(0, 0), V(10, 1), V(5, 0.5), V(20, 2));
  ASSERT_TRUE(Overlap);
  EXPECT_NEAR(Overlap->GetX(), 5, 1e-9);
  auto OnIt = TFuzzySet::LineSegmentIntersects(V(4, 0.4), V(4, 0.4), V(0, 0), V(10, 1));
  ASSERT_TRUE(OnIt);
  EXPECT_EQ(OnIt->GetX(), 4);
  EXPECT_FALSE(TFuzzySet::LineSegmentIntersects(V(4, 0.9), V(4, 0.9), V(0, 0), V(10, 1)));
  EXPECT_TRUE(TFuzzySet::LineSegmentIntersects(V(4, 0.9), V(4, 0.9), V(4, 0.9), V(4, 0.9)));
}
