#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FuzzyTestSupport.h"

using namespace vaguecore;
using namespace vaguecore::testing;

TEST(FuzzySetValues, NewPointsContinueTheList) {
  TFuzzySet S;
  TFuzzySetValues& V = S.GetValues();
  TFuzzySetValue* P = V.Add();
  EXPECT_EQ(P->GetX(), 0);
  EXPECT_EQ(P->GetY(), 0);
  V.GetItem(0)->SetValue(4, 0.5);
  EXPECT_EQ(V.Add()->GetX(), 5);
  // Inserted before other points, a new point does not stay out of order.
  V.Insert(0);
  EXPECT_TRUE(WellFormed(S));
  EXPECT_EQ(V.GetCount(), 3);
}

TEST(FuzzySetValues, PlacementSortsAndBuildsEdges) {
  TFuzzySet S;
  TFuzzySetValues& V = S.GetValues();
  EXPECT_EQ(V.Add(10, 0.5), 0);
  EXPECT_EQ(V.Add(0, 0), 0);
  EXPECT_EQ(V.Add(5, 1), 1);
  EXPECT_TRUE(PointsAre(S, {{0, 0}, {5, 1}, {10, 0.5}}));
  // A duplicate within the tolerance replaces its neighbour.
  EXPECT_EQ(V.Add(5.00005, 1), 1);
  EXPECT_EQ(V.GetCount(), 3);

  // Points sharing an X keep their order of arrival: a vertical edge, then a spike; a fourth
  // point at that X replaces the third.
  V.Add(20, 0);
  V.Add(20, 1);
  EXPECT_TRUE(PointsAre(S, {{0, 0}, {5, 1}, {10, 0.5}, {20, 0}, {20, 1}}));
  V.Add(20, 0.5);
  V.Add(20, 0.2);
  EXPECT_TRUE(PointsAre(S, {{0, 0}, {5, 1}, {10, 0.5}, {20, 0}, {20, 1}, {20, 0.2}}));
  EXPECT_EQ(V.GetXCount(20), 3);

  // Moving a point re-places it.
  V.GetItem(0)->SetX(7);
  EXPECT_TRUE(PointsAre(S, {{5, 1}, {7, 0}, {10, 0.5}, {20, 0}, {20, 1}, {20, 0.2}}));
  V.GetItem(1)->SetX(20);
  EXPECT_TRUE(PointsAre(S, {{5, 1}, {10, 0.5}, {20, 0}, {20, 1}, {20, 0}}));
  EXPECT_TRUE(V.GetSorted());
}

TEST(FuzzySetValues, BracketDefersOrderingToItsEnd) {
  TFuzzySet S;
  TFuzzySetValues& V = S.GetValues();
  V.BeginUpdate();
  V.Add(10, 0);
  V.Add(0, 1);
  V.Add(0, 1);
  EXPECT_FALSE(V.GetSorted());
  EXPECT_EQ(V.GetXValue(0), 10);
  V.EndUpdate();
  EXPECT_TRUE(V.GetSorted());
  EXPECT_TRUE(V.GetUnique());
  EXPECT_TRUE(PointsAre(S, {{0, 1}, {10, 0}}));

  // A long run at one X keeps the three points that define the membership there.
  V.BeginUpdate();
  for (TFzyFloat Y : {0.1, 0.9, 0.3, 0.4, 0.2}) V.Add()->SetValue(30, Y);
  V.EndUpdate();
  EXPECT_TRUE(PointsAre(S, {{0, 1}, {10, 0}, {30, 0.1}, {30, 0.9}, {30, 0.2}}));
}

TEST(FuzzySetValues, ClampingInsideAUniverse) {
  TTestUniverse U(0, 100);
  TFuzzySet& S = U.NewSet();
  TFuzzySetValues& V = S.GetValues();
  V.Add(50, 0.5);
  V.GetItem(0)->SetX(150);
  EXPECT_EQ(V.GetXValue(0), 100);
  V.GetItem(0)->SetValue(-5, -1);
  EXPECT_TRUE(PointsAre(S, {{0, 0}}));
  V.GetItem(0)->SetY(-3);
  EXPECT_EQ(V.GetYValue(0), 0);
  EXPECT_EQ(S.GetXRange(0), 100);
  EXPECT_EQ(S.GetXRange(1), 0);
  EXPECT_THROW(S.GetXRange(2), EFzyException);

  // Outside a set points are stored as given (only Y is kept non-negative by SetY).
  TFuzzySetValue Free;
  Free.SetValue(-5, -1);
  EXPECT_EQ(Free.GetX(), -5);
  EXPECT_EQ(Free.GetY(), -1);
  Free.SetY(-2);
  EXPECT_EQ(Free.GetY(), 0);
  TFuzzySetValues Loose;
  Loose.Add()->SetValue(-3e9, -1);
  EXPECT_EQ(Loose.GetXValue(0), -3e9);
  EXPECT_EQ(Loose.GetYValue(0), -1);
  // Without a universe a set's range is the unbounded default.
  TFuzzySet Plain;
  EXPECT_EQ(Plain.GetXRange(0), 2147483647.0);
  Plain.GetValues().Add(-3e9, 0.5);
  EXPECT_EQ(Plain.GetValues().GetXValue(0), -2147483647.0);
}

TEST(FuzzySetValues, EditsReportOncePerCompletedChange) {
  TTestUniverse U(0, 100);
  TFuzzySet& S = U.NewSet();
  S.CreateTriangleFunctionValues(10, 20, 30);
  S.SetExpression("medium");
  int Reports = 0;
  U.Sets.OnChange = [&](platform::TCollection*, platform::TCollectionItem* Item) {
    EXPECT_EQ(Item, &S);
    ++Reports;
  };
  S.GetValues().GetItem(1)->SetY(0.8);
  EXPECT_EQ(Reports, 1);
  EXPECT_EQ(S.GetSetType(), fstUserDefined);  // any edit makes the shape user-defined
  EXPECT_EQ(S.GetExpression(), "");

  S.GetValues().BeginUpdate();
  S.GetValues().GetItem(0)->SetX(5);
  S.GetValues().GetItem(1)->SetY(1);
  S.GetValues().Add(40, 0.2);
  EXPECT_EQ(Reports, 1);
  S.GetValues().EndUpdate();
  EXPECT_EQ(Reports, 2);

  S.CreateCurveValues(5, 0, 10, 5, true);
  EXPECT_EQ(Reports, 3);
  EXPECT_EQ(S.GetSetType(), fstGrowthCurve);
}

TEST(FuzzySetValues, AppendClampsItsRange) {
  auto Source = MakeSet({{0, 0}, {1, 0.5}, {2, 1}, {3, 0.5}});
  TFuzzySet T;
  T.GetValues().Append(Source->GetValues(), 1, 2);
  EXPECT_TRUE(PointsAre(T, {{1, 0.5}, {2, 1}}));
  T.GetValues().Append(Source->GetValues(), 9, 5);  // Start clamped to the last point
  EXPECT_TRUE(PointsAre(T, {{1, 0.5}, {2, 1}, {3, 0.5}}));
  T.GetValues().Append(Source->GetValues(), -4, 100);
  EXPECT_TRUE(PointsAre(T, {{0, 0}, {1, 0.5}, {2, 1}, {3, 0.5}}));
  // Appending a list to itself only meets its own duplicates.
  T.GetValues().Append(T.GetValues());
  EXPECT_EQ(T.GetValues().GetCount(), 4);
  TFuzzySet Empty;
  T.GetValues().Append(Empty.GetValues(), 0, 3);
  EXPECT_EQ(T.GetValues().GetCount(), 4);
}

TEST(FuzzySetValues, ScansAndExtremes) {
  auto S = MakeSet({{0, 0.5}, {10, 0.5}, {10, 1}, {20, 1.5}, {30, 0.2}});
  const TFuzzySetValues& V = S->GetValues();
  EXPECT_EQ(V.SkipX(1, 1, 10), 3);
  EXPECT_EQ(V.SkipX(2, -1, 10), 0);
  EXPECT_EQ(V.SkipX(4, 1, 30), -1);
  EXPECT_EQ(V.SkipX(1, 0, 10), 3);  // step 0 counts as 1
  EXPECT_EQ(V.SkipY(0, 1, 0.5), 2);
  EXPECT_EQ(V.SkipX(9, 1, 10), -1);
  EXPECT_FALSE(V.IsConstant());
  // The largest Y is found even after a point at exactly 1.
  EXPECT_EQ(V.GetMaxValue(), 1.5);
  EXPECT_EQ(V.GetMinValue(), 0.2);
  EXPECT_TRUE(MakeSet({{0, 0.3}, {5, 0.30005}})->GetValues().IsConstant());

  TFuzzySet Empty;
  EXPECT_FALSE(Empty.GetValues().IsConstant());
  try {
    Empty.GetValues().GetMaxValue();
    FAIL();
  } catch (const EFzyException& E) {
    EXPECT_STREQ(E.what(), "Invalid operation: Get Maximum Y Value.  Fuzzy set is empty");
  }
  EXPECT_THROW(Empty.GetValues().GetMinValue(), EFzyException);
}

TEST(FuzzySetValues, ExpandSpreadsPointsOverSegmentsWithWidth) {
  auto T = MakeSet({{0, 0}, {10, 1}, {20, 0}});
  T->GetValues().Expand(7);
  EXPECT_TRUE(PointsAre(*T, {{0, 0}, {3.3333, 0.3333}, {6.6667, 0.6667}, {10, 1}, {13.3333, 0.6667},
                             {16.6667, 0.3333}, {20, 0}}));
  // Vertical segments get nothing; the rounded-up share goes to the first segments.
  auto Step = MakeSet({{0, 0}, {10, 0}, {10, 1}, {20, 1}});
  Step->GetValues().Expand(7);
  EXPECT_TRUE(PointsAre(*Step, {{0, 0}, {3.3333, 0}, {6.6667, 0}, {10, 0}, {10, 1}, {15, 1}, {20, 1}}));
  // Already long enough, one point, or all points at one X: nothing to do.
  T->GetValues().Expand(3);
  EXPECT_EQ(T->GetValues().GetCount(), 7);
  auto One = MakeSet({{4, 0.5}});
  One->GetValues().Expand(7);
  EXPECT_EQ(One->GetValues().GetCount(), 1);
  auto Spike = MakeSet({{4, 0}, {4, 1}, {4, 0.5}});
  Spike->GetValues().Expand(9);
  Spike->GetValues().ExpandSimple(9);
  EXPECT_EQ(Spike->GetValues().GetCount(), 3);

  auto Line = MakeSet({{0, 0}, {10, 1}});
  Line->GetValues().ExpandSimple(5);
  EXPECT_TRUE(PointsAre(*Line, {{0, 0}, {2.5, 0.25}, {5, 0.5}, {7.5, 0.75}, {10, 1}}));
  auto Edge = MakeSet({{0, 0}, {5, 0}, {5, 1}, {10, 1}});
  Edge->GetValues().ExpandSimple(6);
  EXPECT_TRUE(PointsAre(*Edge, {{0, 0}, {3.3333, 0}, {5, 0}, {5, 1}, {6.6667, 1}, {10, 1}}));
}
