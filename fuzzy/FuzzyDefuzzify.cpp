// Defuzzification: centre of gravity and mean of maxima, each leaving the membership at its
// answer in the compatibility index (0 marks a set whose answer is undecidable).
#include <cmath>

#include "FuzzySet.h"

namespace vaguecore {

namespace {

// Accumulates area and moment (area times centroid) of the pieces under a membership function.
struct TMoments {
  TFzyFloat Area = 0;
  TFzyFloat Moment = 0;

  void Add(TFzyFloat PieceArea, TFzyFloat Centroid) noexcept {
    Area += PieceArea;
    Moment += PieceArea * Centroid;
  }
  // The piece under the segment (X1, Y1)-(X2, Y2).
  void AddSegment(TFzyFloat X1, TFzyFloat Y1, TFzyFloat X2, TFzyFloat Y2) noexcept {
    const TFzyFloat D = X2 - X1;
    if (FloatEquals(X1, X2) || (Y1 == 0 && Y2 == 0)) return;
    if (FloatEquals(Y1, Y2))
      Add(D * Y1, (X1 + X2) / 2);
    else if (Y1 == 0)
      Add(D * std::fabs(Y2 - Y1) / 2, X1 + 2 * D / 3);
    else if (Y2 == 0)
      Add(D * std::fabs(Y2 - Y1) / 2, X1 + D / 3);
    else
      Add(D * (Y1 + Y2) / 2, X1 + (2.0 / 3.0) * D * (Y1 / 2 + Y2) / (Y1 + Y2));
  }
};

}  // namespace

TFzyFloat TFuzzySet::CenterOfGravity() {
  CompatibilityIndex_ = 0;
  const TFuzzySetValues& V = *Values_;
  const int N = V.GetCount();
  if (N == 0) return 0;
  const TFzyFloat Min = GetXRange(1), Max = GetXRange(0);
  const TFzyPoint First = V.GetItem(0)->GetPoint(), Last = V.GetItem(N - 1)->GetPoint();
  if (N == 1 || FloatEquals(First.X, Last.X)) return (Max + Min) / 2;
  TMoments M;
  // The flat stretches from the universe's ends to the first and last point count too.
  if (First.Y > 0 && First.X - Min > FuzzyTolerance) M.Add((First.X - Min) * First.Y, (Min + First.X) / 2);
  for (int I = 1; I < N; ++I)
    M.AddSegment(V.GetXValue(I - 1), V.GetYValue(I - 1), V.GetXValue(I), V.GetYValue(I));
  if (Last.Y > 0 && Max - Last.X > FuzzyTolerance) M.Add((Max - Last.X) * Last.Y, (Last.X + Max) / 2);
  if (M.Area == 0) return 0;
  const TFzyFloat Result = M.Moment / M.Area;
  CompatibilityIndex_ = DegreeOfMembership(Result);
  return Result;
}

// Only vertices count: a plateau contributes its two end points, not its middle.
TFzyFloat TFuzzySet::MeanOfMaxima() {
  CompatibilityIndex_ = 0;
  const TFuzzySetValues& V = *Values_;
  if (V.Empty()) return 0;
  TFzyFloat Top = V.GetYValue(0), Sum = V.GetXValue(0);
  int Count = 1;
  for (int I = 1; I < V.GetCount(); ++I) {
    const TFzyFloat Y = V.GetYValue(I);
    if (FloatEquals(Y, Top)) {
      Sum += V.GetXValue(I);
      ++Count;
    } else if (Y > Top) {
      Top = Y;
      Sum = V.GetXValue(I);
      Count = 1;
    }
  }
  CompatibilityIndex_ = Top;
  return Sum / Count;
}

}  // namespace vaguecore
