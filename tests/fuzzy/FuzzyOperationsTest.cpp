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
  EXPECT_TRUE(PointsAre(*A->Intersection(*B, foZadeh), {{10, 0}, {15, 0.5}, {20, 0}}));
  EXPECT_EQ(A->Union(*B, foProduct)->GetName(), "A or-product B");
  EXPECT_TRUE(PointsAre(*A, {{0, 0}, {10, 1}, {20, 0}}));  // operands are left alone
  EXPECT_EQ(U->RefCount(), 1);                             // and the result belongs to the caller
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
  // Each side of a vertical edge meets the other set's value on the same side.
  auto Up = MakeSet({{0, 0}, {10, 0}, {10, 1}, {20, 1}});
  auto Half = MakeSet({{0, 0.5}, {20, 0.5}, {20, 0.6}});
  EXPECT_TRUE(PointsAre(*Up->Intersection(*Half), {{10, 0}, {10, 0.5}, {20, 0.5}, {20, 0.6}}));
}

TEST(FuzzyOperations, FamiliesNamesAndErrors) {
  auto Low = MakeSet({{0, 0.2}}, "low");
  auto High = MakeSet({{0, 0.8}}, "high");
  EXPECT_NEAR(Low->Union(*High, foMean)->DegreeOfMembership(3), 0.6, 1e-12);
  EXPECT_NEAR(Low->Intersection(*High, foMean)->DegreeOfMembership(3), 0.5, 1e-12);
  EXPECT_EQ(Low->Union(*High, foMean)->GetName(), "low or-mean high");
  try {
    Low->Intersection(*High, foSum);
    FAIL();
  } catch (const EFzyException& E) {
    EXPECT_STREQ(E.what(), "Invalid fuzzy operation: foSum");
  }
  EXPECT_THROW(Low->Union(*High, static_cast<TFuzzyOperation>(9)), EFzyException);

  auto T = MakeSet({{0, 0}, {5, 0.4}, {10, 1}, {20, 0}});
  auto Same = T->Union(*T);
  auto Doubled = T->Union(*T, foSum);
  for (TFzyFloat X = -5; X <= 25; X += 0.25) {
    EXPECT_NEAR(Same->DegreeOfMembership(X), T->DegreeOfMembership(X), 1e-12);
    EXPECT_NEAR(Doubled->DegreeOfMembership(X), 2 * T->DegreeOfMembership(X), 1e-12);
  }
}

TEST(FuzzyOperations, ZadehFormsWithEmptyAndConstantOperands) {
  auto Empty = MakeSet({}, "none");
  auto Tri = MakeSet({});
  Tri->CreateTriangleFunctionValues(0, 10, 20);
  auto R1 = Empty->Intersection(*Tri);  // an empty operand leaves the other's points
  EXPECT_TRUE(PointsAre(*R1, {{0, 0}, {10, 1}, {20, 0}}));
  EXPECT_EQ(R1->GetSetType(), fstTriangle);
  EXPECT_EQ(R1->GetName(), "none and ");
  EXPECT_TRUE(PointsAre(*Tri->Union(*Empty), {{0, 0}, {10, 1}, {20, 0}}));
  auto C3 = MakeSet({{0, 0.3}, {10, 0.3}});
  auto C7 = MakeSet({{5, 0.7}});
  EXPECT_TRUE(PointsAre(*C3->Intersection(*C7), {{0, 0.3}}));
  EXPECT_TRUE(PointsAre(*C3->Union(*C7), {{5, 0.7}}));
  EXPECT_TRUE(PointsAre(*C7->Intersection(*Tri), {{0, 0}, {7, 0.7}, {13, 0.7}, {20, 0}}));
  EXPECT_TRUE(PointsAre(*Tri->Union(*C3), {{3, 0.3}, {10, 1}, {17, 0.3}}));

  // Results are of the receiver's class and live in its universe, outside any collection.
  TTestUniverse U(0, 100);
  TFuzzySet& A = U.NewSet();
  A.CreateTriangleFunctionValues(10, 20, 30);
  TTaggedSet Tagged;
  EXPECT_NE(dynamic_cast<TTaggedSet*>(Tagged.Union(A).get()), nullptr);
  EXPECT_EQ(A.Cutoff(true, 0.2)->GetXRange(0), 100);
  EXPECT_EQ(U.Sets.GetCount(), 1);
}

TEST(FuzzyOperations, OperatorAndIterateWalkInOrder) {
  auto A = MakeSet({{0, 0}, {10, 1}, {20, 0}}, "a");
  auto B = MakeSet({{10, 0}, {20, 1}, {30, 0}}, "b");
  std::vector<TFzyFloat> Seen;
  auto Diff = A->Operator(*B, [&](TFuzzySetValues& Out, TFzyFloat X1, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) {
    Seen.push_back(X1);
    Out.Add()->SetValue(X1, std::fabs(Y1 - Y2));
    return X1 >= 20;  // stops the walk
  });
  EXPECT_EQ(Seen, (std::vector<TFzyFloat>{0, 10, 15, 20}));
  EXPECT_TRUE(PointsAre(*Diff, {{0, 0}, {10, 1}, {15, 0}, {20, 1}}));
  EXPECT_EQ(Diff->GetName(), "a");
  // The height of the intersection, as fuzzy matching measures it.
  auto MinAtLeast = [&](TFzyFloat Level) {
    return A->Iterate(*B, [=](TFzyFloat, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) { return std::min(Y1, Y2) >= Level; });
  };
  EXPECT_TRUE(MinAtLeast(0.5));
  EXPECT_FALSE(MinAtLeast(0.51));
}

TEST(FuzzyCutoff, ConstantLevels) {
  auto T = MakeSet({{0, 0}, {10, 1}, {20, 0}}, "tri");
  auto U = T->Cutoff(true, 0.5);
  EXPECT_TRUE(PointsAre(*U, {{5, 0.5}, {10, 1}, {15, 0.5}}));
  EXPECT_EQ(U->GetName(), "tri or 0.5000");
  T->SetExpression("tri");
  auto I = T->Cutoff(false, 0.5);
  EXPECT_TRUE(PointsAre(*I, {{0, 0}, {5, 0.5}, {15, 0.5}, {20, 0}}));
  EXPECT_EQ(I->GetExpression(), "tri and 0.5000");
  for (const auto& S : {T, MakeSet({}), MakeSet({{3, 1.5}})}) {
    auto One = S->Cutoff(true, 7);  // clamped to 1: constant 1
    EXPECT_EQ(One->GetValues().GetCount(), 1);
    EXPECT_EQ(One->DegreeOfMembership(-100), 1);
    EXPECT_EQ(S->Cutoff(false, 0)->DegreeOfMembership(7), 0);
  }
  // A level above every membership wins everywhere (and one below every membership in an
  // intersection): the result is that constant, not an empty set.
  EXPECT_EQ(MakeSet({{0, 0}, {10, 0.4}})->Cutoff(true, 0.5)->DegreeOfMembership(10), 0.5);
  EXPECT_EQ(MakeSet({{0, 0.6}, {10, 1}})->Cutoff(false, 0.5)->DegreeOfMembership(3), 0.5);
  EXPECT_EQ(MakeSet({})->Cutoff(true, 0.3)->DegreeOfMembership(3), 0.3);
}

TEST(FuzzyCutoff, AlphaCutsLeaveZeroOutside) {
  auto T = MakeSet({{0, 0}, {10, 1}, {20, 0}}, "tri");
  auto Weak = T->AlphaCutoff(0.5, false);
  EXPECT_TRUE(PointsAre(*Weak, {{0, 0}, {5, 0}, {5, 0.5}, {10, 1}, {15, 0.5}, {15, 0}}));
  EXPECT_EQ(Weak->GetName(), "tri");
  // A plateau exactly at alpha passes the weak cut and fails the strong one.
  auto P = MakeSet({{0, 0.5}, {10, 0.5}, {20, 1}});
  EXPECT_TRUE(PointsAre(*P->AlphaCutoff(0.5, false), {{0, 0.5}, {10, 0.5}, {20, 1}}));
  EXPECT_TRUE(PointsAre(*P->AlphaCutoff(0.5, true), {{0, 0}, {10, 0}, {10, 0.5}, {20, 1}}));
  EXPECT_TRUE(PointsAre(*T->AlphaCutoff(0, true), {{0, 0}, {10, 1}, {20, 0}}));
  EXPECT_TRUE(PointsAre(*T->AlphaCutoff(1, true), {{10, 0}}));
}

TEST(FuzzyNormalize, ScalesToAPeakOfOne) {
  auto S = MakeSet({{0, 0}, {10, 0.5}, {20, 0.25}});
  EXPECT_EQ(&S->Normalize(), S.get());
  EXPECT_TRUE(PointsAre(*S, {{0, 0}, {10, 1}, {20, 0.5}}));
  auto Over = MakeSet({{0, 1}, {10, 2}});  // above 1 after a point at exactly 1
  EXPECT_TRUE(PointsAre(Over->Normalize(), {{0, 0.5}, {10, 1}}));
  EXPECT_THROW(MakeSet({})->Normalize(), EFzyException);
}

TEST(FuzzyIntersects, OverlapTouchAndSegments) {
  auto A = MakeSet({{0, 0}, {10, 1}, {20, 0}});
  EXPECT_TRUE(A->Intersects(*MakeSet({{15, 0}, {30, 1}})));
  EXPECT_FALSE(A->Intersects(*MakeSet({{25, 0}, {30, 1}})));
  EXPECT_FALSE(A->Intersects(*MakeSet({{20, 0}, {30, 0}})));                          // touching at 0
  EXPECT_TRUE(MakeSet({{0, 0}, {20, 1}})->Intersects(*MakeSet({{20, 0}, {30, 0}})));  // touching at 1
  EXPECT_FALSE(MakeSet({{0, 0}})->Intersects(*A));
  EXPECT_FALSE(A->Intersects(*MakeSet({})));

  using V = TFuzzySetValue;
  auto Hit = TFuzzySet::LineSegmentIntersects(V(0, 0), V(10, 1), V(0, 1), V(10, 0));
  ASSERT_TRUE(Hit);
  EXPECT_NEAR(Hit->GetX(), 5, 1e-12);
  EXPECT_NEAR(Hit->GetY(), 0.5, 1e-12);
  EXPECT_FALSE(TFuzzySet::LineSegmentIntersects(V(0, 0), V(10, 1), V(0, 0.5), V(10, 1.5)));  // parallel
  EXPECT_NEAR(TFuzzySet::LineSegmentIntersects(V(0, 0), V(10, 1), V(10, 1), V(20, 0))->GetX(), 10, 1e-9);
  // Collinear overlap: the overlap's end with the smaller X.
  EXPECT_NEAR(TFuzzySet::LineSegmentIntersects(V(0, 0), V(10, 1), V(5, 0.5), V(20, 2))->GetX(), 5, 1e-9);
  EXPECT_TRUE(TFuzzySet::LineSegmentIntersects(V(4, 0.4), V(4, 0.4), V(0, 0), V(10, 1)));
  EXPECT_FALSE(TFuzzySet::LineSegmentIntersects(V(4, 0.9), V(4, 0.9), V(0, 0), V(10, 1)));
}
