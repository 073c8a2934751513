#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "FuzzyTestSupport.h"

using namespace vaguecore;
using namespace vaguecore::testing;

TEST(FuzzySetValues, PlacementSortsAndBuildsEdges) {
  TFuzzySet S;
  TFuzzySetValues& V = S.GetValues();
  EXPECT_EQ(V.Add()->GetX(), 0);  // a new point continues the list
  V.GetItem(0)->SetValue(10, 0.5);
  EXPECT_EQ(V.Add(0, 0), 0);
  EXPECT_EQ(V.Add(5, 1), 1);
  EXPECT_EQ(V.Add(5.00005, 1), 1);  // a duplicate within the tolerance replaces its neighbour
  EXPECT_TRUE(PointsAre(S, {{0, 0}, {5, 1}, {10, 0.5}}));

  // Points sharing an X keep their order of arrival; a fourth one replaces the third.
  for (TFzyFloat Y : {0.0, 1.0, 0.5, 0.2}) V.Add(20, Y);
  EXPECT_TRUE(PointsAre(S, {{0, 0}, {5, 1}, {10, 0.5}, {20, 0}, {20, 1}, {20, 0.2}}));

  // Moving a point re-places it, behind the points already at its new X.
  V.GetItem(0)->SetX(7);
  V.GetItem(1)->SetX(20);
  EXPECT_TRUE(PointsAre(S, {{5, 1}, {10, 0.5}, {20, 0}, {20, 1}, {20, 0}}));
  V.Insert(0);  // inserted out of order: back in order when the change completes
  EXPECT_TRUE(WellFormed(S));
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
  // A long run at one X keeps the three points that define the membership there.
  for (TFzyFloat Y : {0.1, 0.9, 0.3, 0.4, 0.2}) V.Add()->SetValue(30, Y);
  V.EndUpdate();
  EXPECT_TRUE(V.GetSorted() && V.GetUnique());
  EXPECT_TRUE(PointsAre(S, {{0, 1}, {10, 0}, {30, 0.1}, {30, 0.9}, {30, 0.2}}));

  // A position that is not a number orders nowhere, but closing the bracket still ends.
  V.BeginUpdate();
  V.GetItem(1)->SetX(std::numeric_limits<TFzyFloat>::quiet_NaN());
  V.EndUpdate();
  EXPECT_EQ(V.GetCount(), 5);
}

TEST(FuzzySetValues, ClampingInsideAUniverse) {
  TTestUniverse U(0, 100);
  TFuzzySet& S = U.NewSet();
  S.GetValues().Add(50, 0.5);
  S.GetValues().GetItem(0)->SetX(150);
  EXPECT_EQ(S.GetValues().GetXValue(0), 100);
  S.GetValues().GetItem(0)->SetValue(-5, -1);
  EXPECT_TRUE(PointsAre(S, {{0, 0}}));
  EXPECT_THROW(S.GetXRange(2), EFzyException);

  // Outside a set points are stored as given; only SetY keeps Y non-negative.
  TFuzzySetValue Free;
  Free.SetValue(-5, -1);
  EXPECT_EQ(Free.GetY(), -1);
  Free.SetY(-2);
  EXPECT_EQ(Free.GetY(), 0);
  // Without a universe a set's range is the unbounded default.
  TFuzzySet Plain;
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
  S.GetValues().Add(40, 0.2);
  S.GetValues().EndUpdate();
  EXPECT_EQ(Reports, 2);
  S.CreateCurveValues(5, 0, 10, 5, true);
  EXPECT_EQ(Reports, 3);
  EXPECT_EQ(S.GetSetType(), fstGrowthCurve);
}

TEST(FuzzySetValues, AppendScanAndExtremes) {
  auto Source = MakeSet({{0, 0}, {1, 0.5}, {2, 1}, {3, 0.5}});
  TFuzzySet T;
  T.GetValues().Append(Source->GetValues(), 9, 5);  // Start clamped to the last point
  T.GetValues().Append(Source->GetValues(), 1, 2);
  T.GetValues().Append(T.GetValues());  // only meets its own duplicates
  EXPECT_TRUE(PointsAre(T, {{1, 0.5}, {2, 1}, {3, 0.5}}));

  auto S = MakeSet({{0, 0.5}, {10, 0.5}, {10, 1}, {20, 1.5}, {30, 0.2}});
  EXPECT_EQ(S->GetValues().SkipX(1, 0, 10), 3);  // step 0 counts as 1
  EXPECT_EQ(S->GetValues().SkipX(2, -1, 10), 0);
  EXPECT_EQ(S->GetValues().SkipY(4, 1, 0.2), -1);
  EXPECT_EQ(S->GetValues().GetMaxValue(), 1.5);  // found even after a point at exactly 1
  try {
    TFuzzySet().GetValues().GetMaxValue();
    FAIL();
  } catch (const EFzyException& E) {
    EXPECT_STREQ(E.what(), "Invalid operation: Get Maximum Y Value.  Fuzzy set is empty");
  }
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
  auto Edge = MakeSet({{0, 0}, {5, 0}, {5, 1}, {10, 1}});
  Edge->GetValues().ExpandSimple(6);
  EXPECT_TRUE(PointsAre(*Edge, {{0, 0}, {3.3333, 0}, {5, 0}, {5, 1}, {6.6667, 1}, {10, 1}}));
}
