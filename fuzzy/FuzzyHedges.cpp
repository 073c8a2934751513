// Hedges: the twenty linguistic hedges (not, very, about, ...) with their three primitives
// (intensification, contrast, approximation), and the nine arithmetic base hedges on either
// coordinate.  A hedge changes the set it is applied to and renames it after the change.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "FuzzyInternal.h"
#include "FuzzyMessages.h"
#include "FuzzySet.h"

namespace vaguecore {

namespace {

// Sets every Y to F(Y) inside one bracket (Y changes never reorder the points).
template <class F>
void MapY(TFuzzySetValues& Values, F&& NewY) {
  TBracket Bracket(Values);
  for (int I = 0; I < Values.GetCount(); ++I) {
    TFuzzySetValue* P = Values.GetItem(I);
    P->SetY(NewY(P->GetY()));
  }
}

// Points of the grid an approximation hedge spreads a set over.
constexpr int ApproximationGridPoints = 50;

}  // namespace

TFuzzySet& TFuzzySet::Hedge(TFuzzyHedge Hedge) {
  const unsigned Index = static_cast<unsigned>(Hedge);
  if (Index >= FuzzyHedgeCount) RaiseFzy(SInvalidFuzzyOperation, {std::to_string(Index)});
  const std::string NewName = CreateFuzzyName(Hedge, Name_);
  const TFzyFloat Modifier = HedgeModifiers[Index];
  {
    TQuietEdit Quiet(*this);
    switch (Hedge) {
      case fhNot: MapY(*Values_, [](TFzyFloat Y) { return 1 - Y; }); break;
      case fhSomewhat:
      case fhMoreOrLess:
      case fhGreatly:
      case fhPlus:
      case fhVery:
      case fhExtremely: Intensify(HedgeExpandPoints, Modifier); break;
      case fhAbove:
      case fhBelow: {
        // The peak: the first point at exactly 1, else the last point holding the largest Y
        // (above); below searches the mirror image.  Points on the peak's side become 0, the
        // others are complemented.
        const std::vector<TFzyPoint> P = Values_->GetPoints();
        if (P.empty()) break;
        const int N = static_cast<int>(P.size());
        const bool Above = Hedge == fhAbove;
        int Peak = -1;
        for (int K = 0; K < N && Peak < 0; ++K) {
          const int I = Above ? K : N - 1 - K;
          if (P[static_cast<size_t>(I)].Y == 1) Peak = I;
        }
        if (Peak < 0) {
          Peak = Above ? 0 : N - 1;
          for (int K = 0; K < N; ++K) {
            const int I = Above ? K : N - 1 - K;
            if (P[static_cast<size_t>(I)].Y >= P[static_cast<size_t>(Peak)].Y) Peak = I;
          }
        }
        int I = 0;
        MapY(*Values_, [&](TFzyFloat Y) {
          const bool PeakSide = Above ? I <= Peak : I >= Peak;
          ++I;
          return PeakSide ? 0 : 1 - Y;
        });
        break;
      }
      case fhSlightly: {
        Values_->GetMaxValue();  // an empty set raises before anything changes
        TFuzzySet NotVery, Plus;
        NotVery.TakeUniverseOf(*this);
        NotVery.Values_->SetPoints(Values_->GetPoints());
        Plus.TakeUniverseOf(*this);
        Plus.Values_->SetPoints(Values_->GetPoints());
        NotVery.Hedge(fhVery).Hedge(fhNot);
        Plus.Hedge(fhPlus);
        platform::Ref<TFuzzySet> R = Plus.Intersection(NotVery);
        R->Normalize().Hedge(fhPositively);
        Values_->SetPoints(R->Values_->GetPoints());
        break;
      }
      case fhNormalize: Normalize(); break;
      case fhAbout:
      case fhVicinity:
      case fhClose:
      case fhNear:
      case fhNeighboring: FuzzyApproximation(HedgeExpandPoints, Modifier); break;
      case fhPositively:
      case fhAbsolutely:
      case fhDefinitely:
      case fhGenerally: FuzzyContrast(HedgeExpandPoints, Modifier); break;
    }
  }
  SetType_ = fstUserDefined;
  Expression_.clear();
  Name_ = NewName;
  Changed(false);
  return *this;
}

TFuzzySet& TFuzzySet::Hedge(TBaseFuzzyHedge BaseHedge, TFzyFloat Value, bool OnY) {
  const unsigned Index = static_cast<unsigned>(BaseHedge);
  if (Index >= BaseFuzzyHedgeCount) RaiseFzy(SInvalidFuzzyOperation, {std::to_string(Index)});
  std::string Op(BaseHedgeNames[Index]);
  if (!OnY) Op += BaseHedgeXSuffix;
  if (BaseHedge == bfhDivide && Value == 0) RaiseFzy(SFuzzyDivisionByZero, {Op});
  std::vector<TFzyPoint> P = Values_->GetPoints();
  const bool Cut = BaseHedge == bfhCutLess || BaseHedge == bfgCutLessEq || BaseHedge == bfhCutGreater ||
                   BaseHedge == bfhCutGreaterEq;
  if (Cut && OnY) {
    // Cutting the memberships at a level cuts the function, not only its points: where a segment
    // passes through the level it gets a point there, so that "hot > 0.6" is min(hot, 0.6) at
    // every X (cutting only the points would turn a triangle into a lower triangle).
    std::vector<TFzyPoint> Crossed;
    Crossed.reserve(P.size() * 2);
    for (size_t I = 0; I < P.size(); ++I) {
      if (I > 0) {
        const TFzyPoint& A = P[I - 1];
        const TFzyPoint& B = P[I];
        if ((A.Y - Value) * (B.Y - Value) < 0 && B.X - A.X > FuzzyTolerance)
          Crossed.push_back({InterpolateX(A.X, A.Y, B.X, B.Y, Value), Value});
      }
      Crossed.push_back(P[I]);
    }
    P = std::move(Crossed);
  }
  for (TFzyPoint& Pt : P) {
    TFzyFloat& C = OnY ? Pt.Y : Pt.X;
    switch (BaseHedge) {
      case bfhAdd: C += Value; break;
      case bfhSubtract: C -= Value; break;
      case bfhMultiply: C *= Value; break;
      case bfhDivide: C /= Value; break;
      case bfhPower:
        if (OnY ? (C > 0 && C < 1) : C > 0) C = std::pow(C, Value);
        break;
      case bfhCutLess:
        if (C < Value) C = Value;
        break;
      case bfgCutLessEq:
        if (C <= Value) C = Value;
        break;
      case bfhCutGreater:
        if (C > Value) C = Value;
        break;
      case bfhCutGreaterEq:
        if (C >= Value) C = Value;
        break;
    }
  }
  {
    // New X are clamped into the universe and the list puts them back in order.
    TQuietEdit Quiet(*this);
    Values_->SetPoints(P);
  }
  SetType_ = fstUserDefined;
  Expression_.clear();
  Name_ = CreateFuzzyName(Name_, Op, Value);
  Changed(false);
  return *this;
}

void TFuzzySet::Intensify(int N, TFzyFloat Value) {
  {
    TQuietEdit Quiet(*this);
    Values_->Expand(N);
    MapY(*Values_, [Value](TFzyFloat Y) { return Y > 0 && Y < 1 ? std::pow(Y, Value) : Y; });
  }
  PointsEdited();
}

void TFuzzySet::FuzzyContrast(int N, TFzyFloat Value) {
  {
    TQuietEdit Quiet(*this);
    Values_->Expand(N);
    MapY(*Values_, [Value](TFzyFloat Y) -> TFzyFloat {
      if (Value < 1 && Y <= 0) return Y;
      // Memberships above 1 (an unbounded sum) count as 1, which keeps the power's base >= 0.
      if (Y >= 0.5) return std::max<TFzyFloat>(0, 1 - Value * std::pow(std::max<TFzyFloat>(0, 1 - Y), Value));
      return std::min<TFzyFloat>(1, Value * std::pow(Y, Value));
    });
  }
  PointsEdited();
}

void TFuzzySet::FuzzyApproximation(int N, TFzyFloat Value) {
  Values_->GetMaxValue();  // an empty set raises before anything changes
  {
    TQuietEdit Quiet(*this);
    Values_->Expand(N);
    const std::vector<TFzyPoint> P = Values_->GetPoints();
    const TFzyFloat Min = GetXRange(1), Max = GetXRange(0);
    const TFzyFloat Width = P.back().X - P.front().X, Universe = Max - Min;
    // How fast membership falls with distance, relative to the universe; a set without width
    // (or a universe without width) uses a fixed rate.
    const TFzyFloat Rate = (Width <= FuzzyTolerance || Universe <= FuzzyTolerance) ? 0.2 : Width / Universe;
    std::vector<TFzyPoint> Grid(ApproximationGridPoints);
    for (int K = 0; K < ApproximationGridPoints; ++K)
      Grid[static_cast<size_t>(K)] = {Min + K * Universe / (ApproximationGridPoints - 1), 0};
    for (const TFzyPoint& Pt : P) {
      if (Pt.Y <= 0) continue;
      for (TFzyPoint& G : Grid)
        G.Y = std::max(G.Y, Pt.Y / (1 + std::pow(std::fabs(G.X - Pt.X) * Rate, Value)));
    }
    Values_->SetPoints(Grid);
    Normalize();
  }
  PointsEdited();
}

}  // namespace vaguecore
