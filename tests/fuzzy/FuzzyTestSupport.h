// Helpers shared by the fuzzy library's tests: sets built from point lists, a universe that owns
// a collection of sets, and point-list checks.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "fuzzy/FuzzyLogic.h"
#include "platform/Collection.h"

namespace vaguecore::testing {

using platform::Ref;

inline Ref<TFuzzySet> MakeSet(std::initializer_list<TFzyPoint> Points, const std::string& Name = "") {
  auto S = platform::MakeRef<TFuzzySet>();
  S->GetValues().SetPoints(std::vector<TFzyPoint>(Points));
  if (!Name.empty()) S->SetName(Name);
  return S;
}

// A variable stand-in: a universe [Min, Max] owning a collection of sets.
class TTestUniverse : public platform::TPersistent, public IFuzzyUniverse {
 public:
  TTestUniverse(TFzyFloat Min, TFzyFloat Max, int32_t N = DefaultNumFunctionValues) : Min_(Min), Max_(Max), N_(N) {}
  TFzyFloat GetMinimum() const override { return Min_; }
  TFzyFloat GetMaximum() const override { return Max_; }
  int32_t GetNumFunctionValues() const override { return N_; }
  TFuzzySet& NewSet() { return *static_cast<TFuzzySet*>(Sets.Add()); }

  platform::TCollection Sets{TFuzzySet::StaticClass(), this};

 private:
  TFzyFloat Min_, Max_;
  int32_t N_;
};

// Points as "(x, y)" text to four places, for readable failure output.
inline std::string PointsText(const TFuzzySet& S) {
  std::string R;
  for (const TFzyPoint& P : S.GetValues().GetPoints())
    R += platform::Format("(%.4f, %.4f) ", {P.X, P.Y});
  return R;
}

// The points equal Expected within the tolerance, in order.
inline ::testing::AssertionResult PointsAre(const TFuzzySet& S, std::initializer_list<TFzyPoint> Expected,
                                            TFzyFloat Tolerance = 0.0001) {
  const std::vector<TFzyPoint> P = S.GetValues().GetPoints();
  bool Same = P.size() == Expected.size();
  size_t I = 0;
  for (const TFzyPoint& E : Expected) {
    if (!Same) break;
    Same = std::fabs(P[I].X - E.X) <= Tolerance && std::fabs(P[I].Y - E.Y) <= Tolerance;
    ++I;
  }
  if (Same) return ::testing::AssertionSuccess();
  std::string Want;
  for (const TFzyPoint& E : Expected) Want += platform::Format("(%.4f, %.4f) ", {E.X, E.Y});
  return ::testing::AssertionFailure() << "points are " << PointsText(S) << "\n   expected " << Want;
}

// Every structural promise of a point list: sorted by X (within the tolerance), finite, Y >= 0.
inline ::testing::AssertionResult WellFormed(const TFuzzySet& S) {
  const std::vector<TFzyPoint> P = S.GetValues().GetPoints();
  for (size_t I = 0; I < P.size(); ++I) {
    if (!std::isfinite(P[I].X) || !std::isfinite(P[I].Y) || P[I].Y < 0)
      return ::testing::AssertionFailure() << "bad point " << I << ": " << PointsText(S);
    if (I > 0 && P[I].X < P[I - 1].X - FuzzyTolerance)
      return ::testing::AssertionFailure() << "out of order at " << I << ": " << PointsText(S);
  }
  return ::testing::AssertionSuccess();
}

}  // namespace vaguecore::testing
