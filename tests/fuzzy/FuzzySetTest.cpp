#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FuzzyTestSupport.h"

using namespace vaguecore;
using namespace vaguecore::testing;

TEST(DegreeOfMembership, FlatBeyondTheEndsAndHighestOnEdges) {
  TFuzzySet Empty;
  EXPECT_EQ(Empty.DegreeOfMembership(3), 0);
  auto One = MakeSet({{5, 0.7}});
  for (TFzyFloat X : {-1e9, 5.0, 6.0, 1e9}) EXPECT_EQ(One->DegreeOfMembership(X), 0.7);

  auto Step = MakeSet({{0, 0}, {10, 0}, {10, 1}, {20, 1}});
  EXPECT_EQ(Step->DegreeOfMembership(10), 1);
  EXPECT_EQ(Step->DegreeOfMembership(5), 0);
  EXPECT_EQ(Step->DegreeOfMembership(15), 1);
  EXPECT_EQ(Step->DegreeOfMembership(-3), 0);
  EXPECT_EQ(Step->DegreeOfMembership(30), 1);

  auto Edges = MakeSet({{0, 0.2}, {0, 1}, {10, 0}, {20, 1}, {20, 0.3}});
  EXPECT_EQ(Edges->DegreeOfMembership(0), 1);    // first X: highest of the leading run
  EXPECT_EQ(Edges->DegreeOfMembership(-1), 0.2);  // left of it: the first point
  EXPECT_EQ(Edges->DegreeOfMembership(20), 1);   // last X: highest of the trailing run
  EXPECT_EQ(Edges->DegreeOfMembership(21), 0.3);
  EXPECT_NEAR(Edges->DegreeOfMembership(15), 0.5, 1e-12);
  EXPECT_NEAR(Edges->DegreeOfMembership(2.5), 0.75, 1e-12);
}

TEST(FuzzyGeometry, InterpolationAndSlopes) {
  EXPECT_EQ(TFuzzySet::InterpolateY(0, 0, 10, 1, 2.5), 0.25);
  EXPECT_EQ(TFuzzySet::InterpolateY(5, 0.2, 5, 0.9, 7), 0.9);  // vertical: the second Y
  EXPECT_EQ(TFuzzySet::InterpolateX(0, 0, 10, 1, 0.25), 2.5);
  EXPECT_EQ(TFuzzySet::InterpolateX(0, 0.5, 10, 0.5, 0.5), 10);  // flat: the second X
  EXPECT_EQ(TFuzzySet::GetSlope(TFuzzySetValue(0, 0), TFuzzySetValue(4, 1)), 0.25);
  EXPECT_EQ(TFuzzySet::GetSlope(TFuzzySetValue(3, 0.5), TFuzzySetValue(3.00005, 0.1)), -1);
  EXPECT_EQ(TFuzzySet::GetSlope(TFuzzySetValue(3, 0.5), TFuzzySetValue(3, 0.5)), 0);

  auto S = MakeSet({{0, 0}, {5, 0.3}, {5, 0.9}, {5, 0.1}, {9, 1}});
  EXPECT_EQ(S->GetMaxYValueOfX(1, 1), 2);
  EXPECT_EQ(S->GetMinYValueOfX(1, 1), 3);
  EXPECT_EQ(S->GetMaxYValueOfX(3, -1), 2);
  EXPECT_EQ(S->GetMaxYValueOfX(0, 1), 0);
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
  EXPECT_EQ(Z.GetSetType(), fstDeclineCurve);

  TFuzzySet Few;
  Few.CreateCurveValues(1, 0, 10, 5, true);  // raised to three points
  EXPECT_TRUE(PointsAre(Few, {{0, 0}, {5, 0.5}, {10, 1}}));

  try {
    S.CreateCurveValues(7, 5, 1, 3, true);
    FAIL();
  } catch (const EFzyException& E) {
    EXPECT_STREQ(E.what(), "Invalid range arguments.  Left (5.0000) is greater than right (1.0000)");
  }
  EXPECT_EQ(S.GetValues().GetCount(), 7);
  EXPECT_THROW(S.CreatePIFunctionValues(7, 5, 1, 3), EFzyException);
  EXPECT_EQ(S.GetSetType(), fstGrowthCurve);
}

TEST(FuzzyShapes, PiBetaAndTriangle) {
  TFuzzySet Pi;
  Pi.CreatePIFunctionValues(7, 20, 50);
  EXPECT_TRUE(PointsAre(Pi, {{30, 0}, {36.6667, 0.2222}, {43.3333, 0.7778}, {50, 1}, {56.6667, 0.7778},
                             {63.3333, 0.2222}, {70, 0}}));
  EXPECT_EQ(Pi.GetValues().GetXCount(50), 1);
  EXPECT_EQ(Pi.GetSetType(), fstPICurve);
  EXPECT_EQ(Pi.GetInflectionPoint(), 60);

  TFuzzySet Even;
  Even.CreatePIFunctionValues(6, 20, 50);  // both copies of the centre go
  EXPECT_TRUE(PointsAre(Even, {{30, 0}, {36.6667, 0.2222}, {43.3333, 0.7778}, {56.6667, 0.7778},
                               {63.3333, 0.2222}, {70, 0}}));
  TFuzzySet Small;
  Small.CreatePIFunctionValues(3, 0, 10, 4);
  EXPECT_TRUE(PointsAre(Small, {{0, 0}, {4, 1}, {10, 0}}));
  TFuzzySet Tiny;
  Tiny.CreatePIFunctionValues(0, 0, 10, 4);
  EXPECT_TRUE(PointsAre(Tiny, {{0, 0}, {4, 1}, {10, 0}}));
  // Appending to existing points leaves them alone.
  auto Before = MakeSet({{-10, 0.3}});
  Before->CreatePIFunctionValues(5, 10, 10);
  EXPECT_TRUE(PointsAre(*Before, {{-10, 0.3}, {0, 0}, {5, 0.5}, {10, 1}, {15, 0.5}, {20, 0}}));

  TFuzzySet Beta;
  Beta.CreateBetaCurveFunctionValues(5, 10, 50, 5);
  EXPECT_TRUE(PointsAre(Beta, {{40, 0.2}, {45, 0.5}, {50, 1}, {55, 0.5}, {60, 0.2}}));
  EXPECT_EQ(Beta.GetInflectionPoint(), 5);
  EXPECT_EQ(Beta.GetSetType(), fstBetaCurve);
  TFuzzySet Narrow;
  Narrow.CreateBetaCurveFunctionValues(5, 10, 50, 0);
  EXPECT_TRUE(PointsAre(Narrow, {{40, 0}, {45, 0}, {50, 1}, {55, 0}, {60, 0}}));
  TFuzzySet Heavy;
  Heavy.CreateBetaCurveFunctionValues(3, 10, 50, 5, -1);  // a negative weight counts as 0
  EXPECT_TRUE(WellFormed(Heavy));

  TFuzzySet Tri;
  Tri.CreateTriangleFunctionValues(10, 40, 5);  // Right raised to Left, Center clamped
  EXPECT_TRUE(PointsAre(Tri, {{10, 0}, {10, 1}, {10, 0}}));
  EXPECT_EQ(Tri.GetSetType(), fstTriangle);
}

TEST(FuzzyShapes, DefaultShapesSitInTheUniverse) {
  TTestUniverse Low(0, 100), High(100, 200);
  struct {
    TFuzzySetType Type;
    TFzyFloat First, Peak, Last;
  } const Cases[] = {{fstTriangle, 16.6667, 50, 83.3333},
                     {fstPICurve, 16.6667, 50, 83.3333},
                     {fstBetaCurve, 16.6667, 50, 83.3333},
                     {fstGrowthCurve, 33.3333, 66.6667, 66.6667},
                     {fstDeclineCurve, 33.3333, 33.3333, 66.6667}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(platform::EnumName(C.Type));
    TFuzzySet& L = Low.NewSet();
    TFuzzySet& H = High.NewSet();
    L.SetSetType(C.Type);
    H.SetSetType(C.Type);
    EXPECT_EQ(H.GetSetType(), C.Type);
    const TFuzzySetValues &LV = L.GetValues(), &HV = H.GetValues();
    ASSERT_EQ(LV.GetCount(), HV.GetCount());
    EXPECT_NEAR(LV.GetXValue(0), C.First, 1e-4);
    EXPECT_NEAR(LV.GetXValue(LV.GetCount() - 1), C.Last, 1e-4);
    EXPECT_NEAR(L.DegreeOfMembership(C.Peak), 1, 1e-9);
    // The same shape, shifted by the universe's minimum.
    for (int I = 0; I < LV.GetCount(); ++I) {
      EXPECT_NEAR(HV.GetXValue(I), LV.GetXValue(I) + 100, 1e-9);
      EXPECT_NEAR(HV.GetYValue(I), LV.GetYValue(I), 1e-9);
    }
    EXPECT_NEAR(H.GetInflectionPoint() - L.GetInflectionPoint(),
                C.Type == fstBetaCurve ? 0 : (C.Type == fstTriangle ? 0 : 100), 1e-9);
  }
  TFuzzySet& Beta = High.NewSet();
  Beta.SetSetType(fstBetaCurve);
  EXPECT_NEAR(Beta.GetInflectionPoint(), 100.0 / 12, 1e-9);
  EXPECT_EQ(Beta.GetValues().GetCount(), 7);

  // The number of points comes from the universe; a triangle always has three.
  TTestUniverse Fine(0, 1, 11);
  TFuzzySet& T = Fine.NewSet();
  T.SetSetType(fstTriangle);
  EXPECT_EQ(T.GetValues().GetCount(), 3);
  T.SetSetType(fstGrowthCurve);
  EXPECT_EQ(T.GetValues().GetCount(), 11);
  // User-defined keeps the points; the same type again changes nothing.
  T.SetSetType(fstUserDefined);
  EXPECT_EQ(T.GetValues().GetCount(), 11);
  EXPECT_EQ(T.GetSetType(), fstUserDefined);
  T.SetSetType(fstPICurve);
  T.GetValues().GetItem(0)->SetY(0.5);
  EXPECT_EQ(T.GetSetType(), fstUserDefined);
}

TEST(FuzzySet, NamesAssignmentAndClones) {
  TTestUniverse U(0, 50);
  TFuzzySet& S = U.NewSet();
  EXPECT_EQ(S.GetDisplayName(), "TFuzzySet");
  S.SetName("hot");
  EXPECT_EQ(S.GetDisplayName(), "hot");
  for (const char* Reserved : {"very", "and", "+X", "or-product"}) {
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
  EXPECT_EQ(Copy.GetName(), "hot");
  EXPECT_EQ(Copy.GetSetType(), fstGrowthCurve);
  EXPECT_EQ(Copy.GetInflectionPoint(), 20);
  EXPECT_EQ(Copy.GetExpression(), "hot");
  EXPECT_EQ(Copy.GetValues().GetPoints().size(), 5u);
  EXPECT_THROW(Copy.Assign(TFuzzySetValue(1, 1)), platform::EConvertError);

  platform::ICloneable C = S.Clone();
  auto* Clone = dynamic_cast<TFuzzySet*>(C.get());
  ASSERT_NE(Clone, nullptr);
  EXPECT_EQ(Clone->GetCollection(), nullptr);
  EXPECT_EQ(Clone->GetName(), "hot");
  EXPECT_EQ(Clone->GetXRange(0), 50);  // keeps the universe it came from
  EXPECT_TRUE(PointsAre(*Clone, {{10, 0}, {15, 0.125}, {20, 0.5}, {25, 0.875}, {30, 1}}));

  TFuzzySet Other;
  Other.SetValues(S.GetValues());
  EXPECT_EQ(Other.GetSetType(), fstUserDefined);
  EXPECT_EQ(Other.GetValues().GetCount(), 5);
}
