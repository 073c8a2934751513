#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FuzzyTestSupport.h"

using namespace vaguecore;
using namespace vaguecore::testing;

TEST(DegreeOfMembership, FlatBeyondTheEndsAndHighestOnEdges) {
  EXPECT_EQ(TFuzzySet().DegreeOfMembership(3), 0);
  auto One = MakeSet({{5, 0.7}});
  for (TFzyFloat X : {-1e9, 5.0, 1e9}) EXPECT_EQ(One->DegreeOfMembership(X), 0.7);

  auto Step = MakeSet({{0, 0}, {10, 0}, {10, 1}, {20, 1}});
  EXPECT_EQ(Step->DegreeOfMembership(10), 1);
  EXPECT_EQ(Step->DegreeOfMembership(5), 0);
  EXPECT_EQ(Step->DegreeOfMembership(15), 1);

  auto Edges = MakeSet({{0, 0.2}, {0, 1}, {10, 0}, {20, 1}, {20, 0.3}});
  EXPECT_EQ(Edges->DegreeOfMembership(0), 1);  // the highest of the points at the first X
  EXPECT_EQ(Edges->DegreeOfMembership(-1), 0.2);
  EXPECT_EQ(Edges->DegreeOfMembership(20), 1);
  EXPECT_EQ(Edges->DegreeOfMembership(21), 0.3);
  EXPECT_NEAR(Edges->DegreeOfMembership(2.5), 0.75, 1e-12);
  EXPECT_EQ(Edges->GetMaxYValueOfX(4, -1), 3);
  EXPECT_EQ(Edges->GetMinYValueOfX(0, 1), 0);
  EXPECT_EQ(TFuzzySet::GetSlope(TFuzzySetValue(3, 0.5), TFuzzySetValue(3.00005, 0.1)), -1);
}

TEST(FuzzyShapes, CurvesToFourPlaces) {
  TFuzzySet S;
  S.CreateCurveValues(7, 0, 60, 30, true);
  EXPECT_TRUE(PointsAre(S, {{0, 0}, {10, 0.0556}, {20, 0.2222}, {30, 0.5}, {40, 0.7778}, {50, 0.9444}, {60, 1}}));
  EXPECT_EQ(S.GetSetType(), fstGrowthCurve);
  EXPECT_EQ(S.GetInflectionPoint(), 30);
  TFuzzySet Z;
  Z.CreateCurveValues(7, 0, 60, 30, false);
  EXPECT_TRUE(PointsAre(Z, {{0, 1}, {10, 0.9444}, {20, 0.7778}, {30, 0.5}, {40, 0.2222}, {50, 0.0556}, {60, 0}}));

  try {
    S.CreateCurveValues(7, 5, 1, 3, true);
    FAIL();
  } catch (const EFzyException& E) {
    EXPECT_STREQ(E.what(), "Invalid range arguments.  Left (5.0000) is greater than right (1.0000)");
  }
  EXPECT_EQ(S.GetValues().GetCount(), 7);
}

TEST(FuzzyShapes, PiBetaAndTriangle) {
  TFuzzySet Pi;
  Pi.CreatePIFunctionValues(7, 20, 50);
  EXPECT_TRUE(PointsAre(Pi, {{30, 0}, {36.6667, 0.2222}, {43.3333, 0.7778}, {50, 1}, {56.6667, 0.7778},
                             {63.3333, 0.2222}, {70, 0}}));
  EXPECT_EQ(Pi.GetInflectionPoint(), 60);
  TFuzzySet Even;
  Even.CreatePIFunctionValues(6, 20, 50);  // both copies of the centre go
  EXPECT_EQ(Even.GetValues().GetCount(), 6);
  EXPECT_EQ(Even.GetValues().GetXCount(50), 0);
  TFuzzySet Small;
  Small.CreatePIFunctionValues(3, 0, 10, 4);
  EXPECT_TRUE(PointsAre(Small, {{0, 0}, {4, 1}, {10, 0}}));
  // Appending to existing points leaves them alone.
  auto Before = MakeSet({{-10, 0.3}});
  Before->CreatePIFunctionValues(5, 10, 10);
  EXPECT_TRUE(PointsAre(*Before, {{-10, 0.3}, {0, 0}, {5, 0.5}, {10, 1}, {15, 0.5}, {20, 0}}));

  TFuzzySet Beta;
  Beta.CreateBetaCurveFunctionValues(5, 10, 50, 5);
  EXPECT_TRUE(PointsAre(Beta, {{40, 0.2}, {45, 0.5}, {50, 1}, {55, 0.5}, {60, 0.2}}));
  EXPECT_EQ(Beta.GetSetType(), fstBetaCurve);
  TFuzzySet Narrow;
  Narrow.CreateBetaCurveFunctionValues(3, 10, 50, 0);  // the limit of ever narrower curves
  EXPECT_TRUE(PointsAre(Narrow, {{40, 0}, {50, 1}, {60, 0}}));

  TFuzzySet Tri;
  Tri.CreateTriangleFunctionValues(10, 40, 5);  // Right raised to Left, Center clamped
  EXPECT_TRUE(PointsAre(Tri, {{10, 0}, {10, 1}, {10, 0}}));
  EXPECT_EQ(Tri.GetSetType(), fstTriangle);
}

// The default shapes of SetSetType are the same on every universe of one width, shifted by its
// minimum: on [100, 200] they lie inside the universe, not clamped against its start.
TEST(FuzzyShapes, DefaultShapesSitInTheUniverse) {
  TTestUniverse Low(0, 100), High(100, 200);
  struct {
    TFuzzySetType Type;
    TFzyFloat First, Last, InflectionShift;
  } const Cases[] = {{fstTriangle, 16.6667, 83.3333, 0},
                     {fstPICurve, 16.6667, 83.3333, 100},
                     {fstBetaCurve, 16.6667, 83.3333, 0},
                     {fstGrowthCurve, 33.3333, 66.6667, 100},
                     {fstDeclineCurve, 33.3333, 66.6667, 100}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(platform::EnumName(C.Type));
    TFuzzySet &L = Low.NewSet(), &H = High.NewSet();
    L.SetSetType(C.Type);
    H.SetSetType(C.Type);
    EXPECT_EQ(H.GetSetType(), C.Type);
    const TFuzzySetValues &LV = L.GetValues(), &HV = H.GetValues();
    ASSERT_EQ(LV.GetCount(), HV.GetCount());
    EXPECT_NEAR(LV.GetXValue(0), C.First, 1e-4);
    EXPECT_NEAR(LV.GetXValue(LV.GetCount() - 1), C.Last, 1e-4);
    for (int I = 0; I < LV.GetCount(); ++I) {
      EXPECT_NEAR(HV.GetXValue(I), LV.GetXValue(I) + 100, 1e-9);
      EXPECT_NEAR(HV.GetYValue(I), LV.GetYValue(I), 1e-9);
    }
    EXPECT_NEAR(H.GetInflectionPoint() - L.GetInflectionPoint(), C.InflectionShift, 1e-9);
  }
  TFuzzySet& Beta = High.NewSet();
  Beta.SetSetType(fstBetaCurve);
  EXPECT_NEAR(Beta.GetInflectionPoint(), 100.0 / 12, 1e-9);  // membership 0.5 at 150 +- 8.33
  EXPECT_NEAR(Beta.DegreeOfMembership(150), 1, 1e-9);

  // The number of points comes from the universe; a triangle always has three.
  TTestUniverse Fine(0, 1, 11);
  TFuzzySet& T = Fine.NewSet();
  T.SetSetType(fstTriangle);
  EXPECT_EQ(T.GetValues().GetCount(), 3);
  T.SetSetType(fstGrowthCurve);
  EXPECT_EQ(T.GetValues().GetCount(), 11);
  T.SetSetType(fstUserDefined);  // keeps the points
  EXPECT_EQ(T.GetValues().GetCount(), 11);
}

TEST(FuzzySet, NamesAssignmentAndClones) {
  TTestUniverse U(0, 50);
  TFuzzySet& S = U.NewSet();
  EXPECT_EQ(S.GetDisplayName(), "TFuzzySet");
  S.SetName("hot");
  for (const char* Reserved : {"very", "and", "+X"}) {
    try {
      S.SetName(Reserved);
      FAIL() << Reserved;
    } catch (const EFzyException& E) {
      EXPECT_EQ(std::string(E.what()), std::string("Invalid fuzzy set name, \"") + Reserved + "\" is a reserved word");
    }
  }
  EXPECT_EQ(S.GetName(), "hot");

  S.CreateCurveValues(5, 10, 30, 20, true);
  S.SetExpression("hot");
  TFuzzySet Copy;
  Copy.Assign(S);
  EXPECT_EQ(Copy.GetSetType(), fstGrowthCurve);
  EXPECT_EQ(Copy.GetInflectionPoint(), 20);
  EXPECT_EQ(Copy.GetExpression(), "hot");
  EXPECT_THROW(Copy.Assign(TFuzzySetValue(1, 1)), platform::EConvertError);

  auto Clone = platform::RefCast<TFuzzySet>(S.Clone());
  ASSERT_TRUE(Clone);
  EXPECT_EQ(Clone->GetCollection(), nullptr);
  EXPECT_EQ(Clone->GetXRange(0), 50);  // keeps the universe it came from
  EXPECT_TRUE(PointsAre(*Clone, {{10, 0}, {15, 0.125}, {20, 0.5}, {25, 0.875}, {30, 1}}));
}
