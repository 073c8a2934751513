// Set operations: the merge walk behind union, intersection and fuzzy comparison, the operator
// families, constant cut-offs, alpha cuts, normalisation and the segment intersection test.
//
// Contents
//   1. The merge walk
//   2. Operator families
//   3. Point work of the cut-offs and the segment test
//   4. Union and intersection
//   5. Cut-offs and normalisation
//   6. Intersection tests
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "FuzzyInternal.h"
#include "FuzzyMessages.h"
#include "FuzzySet.h"
#include "platform/Format.h"

namespace vaguecore {

using platform::Ref;

namespace {

// --- 1. The merge walk ------------------------------------------------------------------------------
//
// Both sets are functions of X: piecewise linear between their points, flat beyond their ends,
// with vertical edges where points share an X.  The walk visits every point of both sets in X
// order (points whose X agree within the tolerance are visited together, in pairs) and hands the
// callback the memberships of both sets there.  Between two visited positions both functions are
// linear, so they cross at most once; where they cross strictly, the crossing is visited first,
// with the common membership given for both sets.  That covers crossings in the flat stretches
// beyond a set's ends as well as between its points.
//
// At a position where a set has a vertical edge the walk uses the value the set has just after
// the points it has passed (its right limit), so each side of an edge is combined with the other
// set's value on the same side.  The pointwise minimum or maximum built this way is exact: equal
// to min/max of the two memberships at every X, vertical edges included.

// One operand during the walk: its points and how many of them the walk has passed.
class TWalkSide {
 public:
  explicit TWalkSide(const std::vector<TFzyPoint>& P) noexcept : P_(P) {}
  bool Done() const noexcept { return Next_ >= P_.size(); }
  const TFzyPoint& Current() const noexcept { return P_[Next_]; }
  void Pass() noexcept { ++Next_; }
  // Membership at X, for X at or after the last passed point and before the next one: just
  // right of the last passed point when X is its position.
  TFzyFloat At(TFzyFloat X) const noexcept {
    if (Next_ == 0) return P_[0].Y;
    const TFzyPoint& Prev = P_[Next_ - 1];
    if (Done() || FloatEquals(Prev.X, X)) return Prev.Y;
    return TFuzzySet::InterpolateY(Prev.X, Prev.Y, P_[Next_].X, P_[Next_].Y, X);
  }

 private:
  const std::vector<TFzyPoint>& P_;
  size_t Next_ = 0;
};

// Calls Visit(X1, Y1, X2, Y2) in X order; answers true when Visit stopped the walk.
template <class F>
bool MergeWalk(const std::vector<TFzyPoint>& A, const std::vector<TFzyPoint>& B, F&& Visit) {
  // Against an empty set every point of the other one is visited on its own.
  if (A.empty() || B.empty()) {
    for (const TFzyPoint& P : A.empty() ? B : A)
      if (Visit(P.X, P.Y, P.X, P.Y)) return true;
    return false;
  }
  TWalkSide SA(A), SB(B);
  // Position of the last visit and both memberships just right of it.
  bool Started = false;
  TFzyFloat LastX = 0, RightA = 0, RightB = 0;
  while (!SA.Done() || !SB.Done()) {
    enum { Both, OnlyA, OnlyB } Step;
    if (SA.Done()) {
      Step = OnlyB;
    } else if (SB.Done()) {
      Step = OnlyA;
    } else {
      const TFzyFloat XA = SA.Current().X, XB = SB.Current().X;
      Step = FloatEquals(XA, XB) ? Both : (XA < XB ? OnlyA : OnlyB);
    }
    const TFzyPoint PA = Step == OnlyB ? TFzyPoint{} : SA.Current();
    const TFzyPoint PB = Step == OnlyA ? TFzyPoint{} : SB.Current();
    const TFzyFloat X = Step == OnlyB ? PB.X : PA.X;
    // Both memberships just left of X: a set with its next point here has that point's Y.
    const TFzyFloat LeftA = Step == OnlyB ? SA.At(X) : PA.Y;
    const TFzyFloat LeftB = Step == OnlyA ? SB.At(X) : PB.Y;
    if (Started && X - LastX > FuzzyTolerance) {
      const TFzyFloat D0 = RightA - RightB, D1 = LeftA - LeftB;
      if ((D0 < -FuzzyTolerance && D1 > FuzzyTolerance) || (D0 > FuzzyTolerance && D1 < -FuzzyTolerance)) {
        const TFzyFloat T = D0 / (D0 - D1);
        const TFzyFloat XC = LastX + T * (X - LastX), YC = RightA + T * (LeftA - RightA);
        if (Visit(XC, YC, XC, YC)) return true;
      }
    }
    if (Step != OnlyB) SA.Pass();
    if (Step != OnlyA) SB.Pass();
    // A set without a point here keeps its value on both sides of X.
    RightA = PA.Y;
    RightB = PB.Y;
    bool Stop = false;
    switch (Step) {
      case Both: Stop = Visit(PA.X, PA.Y, PB.X, PB.Y); break;
      case OnlyA: Stop = Visit(X, PA.Y, X, RightB = LeftB); break;
      case OnlyB: Stop = Visit(X, RightA = LeftA, X, PB.Y); break;
    }
    if (Stop) return true;
    LastX = X;
    Started = true;
  }
  return false;
}

// Flat stretches of a result keep only their end points: a run of points whose Y equals the
// run's first Y within the tolerance keeps its first and last point, a run at the start only its
// last one (the membership is flat to the left anyway), and a flat end only its first.
void CompactFlatRuns(std::vector<TFzyPoint>& P) {
  if (P.size() < 2) return;
  std::vector<TFzyPoint> R;
  R.reserve(P.size());
  for (size_t S = 0; S < P.size();) {
    size_t E = S + 1;
    while (E < P.size() && FloatEquals(P[E].Y, P[S].Y)) ++E;
    if (S > 0) R.push_back(P[S]);
    if (S == 0 || E - 1 > S) R.push_back(P[E - 1]);
    S = E;
  }
  if (R.size() >= 2 && FloatEquals(R[R.size() - 1].Y, R[R.size() - 2].Y)) R.pop_back();
  P.swap(R);
}

// --- 2. Operator families ---------------------------------------------------------------------------

using TCombineFn = TFzyFloat (*)(TFzyFloat, TFzyFloat);

TFzyFloat MeanOf(TFzyFloat A, TFzyFloat B) noexcept { return (A + B) / 2; }

TCombineFn IntersectionFn(TFuzzyOperation Operation) noexcept {
  switch (Operation) {
    case foZadeh: return [](TFzyFloat A, TFzyFloat B) { return std::min(A, B); };
    case foMean: return [](TFzyFloat A, TFzyFloat B) { return MeanOf(A, B); };
    case foMeanSqr: return [](TFzyFloat A, TFzyFloat B) { return Squared(MeanOf(A, B)); };
    case foMeanSqrt: return [](TFzyFloat A, TFzyFloat B) { return std::sqrt(MeanOf(A, B)); };
    case foProduct: return [](TFzyFloat A, TFzyFloat B) { return A * B; };
    case foBoundedSum: return [](TFzyFloat A, TFzyFloat B) { return std::max<TFzyFloat>(0, A + B - 1); };
    case foSum: return nullptr;
  }
  return nullptr;
}

TCombineFn UnionFn(TFuzzyOperation Operation) noexcept {
  switch (Operation) {
    case foZadeh: return [](TFzyFloat A, TFzyFloat B) { return std::max(A, B); };
    case foMean: return [](TFzyFloat A, TFzyFloat B) { return (2 * std::min(A, B) + 4 * std::max(A, B)) / 6; };
    case foMeanSqr: return [](TFzyFloat A, TFzyFloat B) { return Squared(MeanOf(A, B)); };
    case foMeanSqrt: return [](TFzyFloat A, TFzyFloat B) { return std::sqrt(MeanOf(A, B)); };
    case foProduct: return [](TFzyFloat A, TFzyFloat B) { return A + B - A * B; };
    case foBoundedSum: return [](TFzyFloat A, TFzyFloat B) { return std::min<TFzyFloat>(1, A + B); };
    case foSum: return [](TFzyFloat A, TFzyFloat B) { return A + B; };
  }
  return nullptr;
}

TCombineFn CheckedFn(bool IsUnion, TFuzzyOperation Operation) {
  const TCombineFn Fn = IsUnion ? UnionFn(Operation) : IntersectionFn(Operation);
  if (!Fn) {
    std::string Name = platform::EnumName(Operation);
    if (Name.empty()) Name = std::to_string(static_cast<unsigned>(Operation));
    RaiseFzy(SInvalidFuzzyOperation, {Name});
  }
  return Fn;
}

// --- 3. Point work of the cut-offs and the segment test ---------------------------------------

// max(mu, V) (IsUnion) or min(mu, V): points on the right side of the level stay, and a point at
// the level is put wherever a segment crosses it.  Nothing left means the level wins everywhere.
std::vector<TFzyPoint> CutPoints(const std::vector<TFzyPoint>& P, bool IsUnion, TFzyFloat V, TFzyFloat ConstantX) {
  std::vector<TFzyPoint> R;
  R.reserve(P.size() + 2);
  for (size_t I = 0; I < P.size(); ++I) {
    if (I > 0) {
      const TFzyPoint &A = P[I - 1], &B = P[I];
      if ((A.Y < V && B.Y > V) || (A.Y > V && B.Y < V)) R.push_back({TFuzzySet::InterpolateX(A.X, A.Y, B.X, B.Y, V), V});
    }
    if (IsUnion ? P[I].Y >= V : P[I].Y <= V) R.push_back(P[I]);
  }
  if (R.empty()) R.push_back({ConstantX, V});
  return R;
}

TFzyFloat Cross(TFzyFloat AX, TFzyFloat AY, TFzyFloat BX, TFzyFloat BY) noexcept { return AX * BY - AY * BX; }

// Whether Pt lies on segment A-B within the tolerance.
bool OnSegment(const TFzyPoint& Pt, const TFzyPoint& A, const TFzyPoint& B) noexcept {
  const TFzyFloat DX = B.X - A.X, DY = B.Y - A.Y;
  const TFzyFloat Length = std::hypot(DX, DY);
  if (Length < FuzzyTolerance) return FloatEquals(Pt.X, A.X) && FloatEquals(Pt.Y, A.Y);
  if (std::fabs(Cross(DX, DY, Pt.X - A.X, Pt.Y - A.Y)) / Length > FuzzyTolerance) return false;
  return std::min(A.X, B.X) - FuzzyTolerance <= Pt.X && Pt.X <= std::max(A.X, B.X) + FuzzyTolerance &&
         std::min(A.Y, B.Y) - FuzzyTolerance <= Pt.Y && Pt.Y <= std::max(A.Y, B.Y) + FuzzyTolerance;
}

std::optional<TFzyPoint> SegmentIntersection(const TFzyPoint& P1, const TFzyPoint& P2, const TFzyPoint& Q1,
                                             const TFzyPoint& Q2) noexcept {
  const TFzyFloat RX = P2.X - P1.X, RY = P2.Y - P1.Y, SX = Q2.X - Q1.X, SY = Q2.Y - Q1.Y;
  const bool PointP = std::fabs(RX) < FuzzyTolerance && std::fabs(RY) < FuzzyTolerance;
  const bool PointQ = std::fabs(SX) < FuzzyTolerance && std::fabs(SY) < FuzzyTolerance;
  if (PointP) return OnSegment(P1, Q1, Q2) ? std::optional<TFzyPoint>(P1) : std::nullopt;
  if (PointQ) return OnSegment(Q1, P1, P2) ? std::optional<TFzyPoint>(Q1) : std::nullopt;
  const TFzyFloat QPX = Q1.X - P1.X, QPY = Q1.Y - P1.Y;
  const TFzyFloat Denominator = Cross(RX, RY, SX, SY);
  if (std::fabs(Denominator) < FuzzyTolerance) {
    // Parallel: only collinear segments meet, at the end point of their overlap with the
    // smaller X.
    std::optional<TFzyPoint> Best;
    for (const auto& [Pt, A, B] : {std::tuple{P1, Q1, Q2}, std::tuple{P2, Q1, Q2}, std::tuple{Q1, P1, P2},
                                   std::tuple{Q2, P1, P2}})
      if (OnSegment(Pt, A, B) && (!Best || Pt.X < Best->X)) Best = Pt;
    return Best;
  }
  // A little slack keeps segments that meet exactly at an end point from slipping past.
  constexpr TFzyFloat Slack = 1e-9;
  const TFzyFloat T = Cross(QPX, QPY, SX, SY) / Denominator;
  const TFzyFloat U = Cross(QPX, QPY, RX, RY) / Denominator;
  if (T < -Slack || T > 1 + Slack || U < -Slack || U > 1 + Slack) return std::nullopt;
  return TFzyPoint{P1.X + T * RX, P1.Y + T * RY};
}

}  // namespace

// --- 4. Union and intersection ----------------------------------------------------------------------

Ref<TFuzzySet> TFuzzySet::Combine(const TFuzzySet& Set, TCombineFn Fn) const {
  const std::vector<TFzyPoint> A = Values_->GetPoints(), B = Set.Values_->GetPoints();
  std::vector<TFzyPoint> R;
  R.reserve(A.size() + B.size() + 4);
  MergeWalk(A, B, [&](TFzyFloat X1, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) {
    R.push_back({X1, Fn(Y1, Y2)});
    return false;
  });
  CompactFlatRuns(R);
  return ResultWith(R);
}

Ref<TFuzzySet> TFuzzySet::Intersection(const TFuzzySet& Set, TFuzzyOperation Operation) const {
  Ref<TFuzzySet> R = Combine(Set, CheckedFn(false, Operation));
  R->Name_ = CreateFuzzyName(Name_, Set.Name_, FuzzyIntersectionKeywords[Operation]);
  return R;
}

Ref<TFuzzySet> TFuzzySet::Union(const TFuzzySet& Set, TFuzzyOperation Operation) const {
  Ref<TFuzzySet> R = Combine(Set, CheckedFn(true, Operation));
  R->Name_ = CreateFuzzyName(Name_, Set.Name_, FuzzyUnionKeywords[Operation]);
  return R;
}

Ref<TFuzzySet> TFuzzySet::ZadehCombine(const TFuzzySet& Set, bool IsUnion) const {
  // The result is a copy of the argument whose points are then replaced (the copy of the
  // points themselves is needed only when they stay).
  Ref<TFuzzySet> R = NewResultSet();
  const TFuzzySetValues &A = *Values_, &B = *Set.Values_;
  if (A.Empty()) {
    R->Assign(Set);
  } else if (!B.Empty()) {
    R->CopyPropertiesFrom(Set);
    std::vector<TFzyPoint> P;
    const bool ConstA = A.IsConstant(), ConstB = B.IsConstant();
    if (ConstA && ConstB) {
      const TFzyFloat LA = A.GetYValue(0), LB = B.GetYValue(0);
      const bool TakeA = IsUnion ? LA >= LB : LA <= LB;
      P.push_back((TakeA ? A : B).GetItem(0)->GetPoint());
    } else if (ConstA) {
      P = CutPoints(B.GetPoints(), IsUnion, A.GetYValue(0), Set.ConstantPointX());
    } else if (ConstB) {
      P = CutPoints(A.GetPoints(), IsUnion, B.GetYValue(0), ConstantPointX());
    } else {
      const std::vector<TFzyPoint> PA = A.GetPoints(), PB = B.GetPoints();
      MergeWalk(PA, PB, [&](TFzyFloat X1, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) {
        P.push_back({X1, IsUnion ? std::max(Y1, Y2) : std::min(Y1, Y2)});
        return false;
      });
      CompactFlatRuns(P);
    }
    R->ReplacePoints(P);
  } else {
    R->CopyPropertiesFrom(Set);
    R->ReplacePoints(A.GetPoints());
  }
  R->Name_ = CreateFuzzyName(Name_, Set.Name_, IsUnion ? FuzzyUnionKeywords[foZadeh] : FuzzyIntersectionKeywords[foZadeh]);
  R->Expression_ = R->Name_;
  return R;
}

Ref<TFuzzySet> TFuzzySet::Intersection(const TFuzzySet& Set) const { return ZadehCombine(Set, false); }

Ref<TFuzzySet> TFuzzySet::Union(const TFuzzySet& Set) const { return ZadehCombine(Set, true); }

Ref<TFuzzySet> TFuzzySet::Operator(const TFuzzySet& Set, const TFuzzyOperator& Callback) const {
  // The walk reads copies of the points, so a callback that edits either operand cannot pull
  // the ground from under it.
  const std::vector<TFzyPoint> A = Values_->GetPoints(), B = Set.Values_->GetPoints();
  Ref<TFuzzySet> R = NewResultSet();
  R->CopyPropertiesFrom(*this);
  {
    TQuietEdit Quiet(*R);
    TFuzzySetValues& Out = *R->Values_;
    TBracket Bracket(Out);
    if (Callback)
      MergeWalk(A, B, [&](TFzyFloat X1, TFzyFloat Y1, TFzyFloat X2, TFzyFloat Y2) {
        return Callback(Out, X1, Y1, X2, Y2);
      });
  }
  std::vector<TFzyPoint> P = R->Values_->GetPoints();
  const size_t Before = P.size();
  CompactFlatRuns(P);
  if (P.size() != Before)
    R->ReplacePoints(P);
  else
    R->PointsEdited();
  return R;
}

bool TFuzzySet::Iterate(const TFuzzySet& Set, const TFuzzyComparison& Comparison) const {
  if (!Comparison) return false;
  const std::vector<TFzyPoint> A = Values_->GetPoints(), B = Set.Values_->GetPoints();
  return MergeWalk(A, B, [&](TFzyFloat X1, TFzyFloat Y1, TFzyFloat X2, TFzyFloat Y2) {
    return Comparison(X1, Y1, X2, Y2);
  });
}

// --- 5. Cut-offs and normalisation ------------------------------------------------------------------

Ref<TFuzzySet> TFuzzySet::Cutoff(bool IsUnion, TFzyFloat Value) const {
  const TFzyFloat V = std::clamp<TFzyFloat>(Value, 0, 1);
  std::vector<TFzyPoint> P;
  if ((IsUnion && V == 0) || (!IsUnion && V == 1))
    P = Values_->GetPoints();
  else if ((IsUnion && V == 1) || (!IsUnion && V == 0))
    P.push_back({ConstantPointX(), V});
  else
    P = CutPoints(Values_->GetPoints(), IsUnion, V, ConstantPointX());
  Ref<TFuzzySet> R = ResultWith(P);
  const std::string_view Keyword = IsUnion ? FuzzyUnionKeywords[foZadeh] : FuzzyIntersectionKeywords[foZadeh];
  R->Name_ = CreateFuzzyName(Name_, Keyword, V);
  if (!Expression_.empty())
    R->Expression_ = Expression_ + " " + std::string(Keyword) + " " + platform::Format(SFuzzyNumberFormat, {V});
  return R;
}

Ref<TFuzzySet> TFuzzySet::AlphaCutoff(TFzyFloat Alpha, bool Strong) const {
  const TFzyFloat A = std::clamp<TFzyFloat>(Alpha, 0, 1);
  const std::vector<TFzyPoint> P = Values_->GetPoints();
  std::vector<TFzyPoint> R;
  if (Strong && A == 0) {
    R = P;
  } else if (Strong && A == 1) {
    R.push_back({ConstantPointX(), 0});
  } else {
    auto Passes = [&](TFzyFloat Y) { return Strong ? Y > A : Y >= A; };
    R.reserve(P.size() + 4);
    for (size_t I = 0; I < P.size(); ++I) {
      if (I > 0) {
        const TFzyPoint &From = P[I - 1], &To = P[I];
        const bool In = Passes(From.Y), Out = Passes(To.Y);
        if (In != Out) {
          // Entering or leaving the cut: a vertical edge at the crossing.
          const TFzyFloat XC = InterpolateX(From.X, From.Y, To.X, To.Y, A);
          R.push_back({XC, In ? A : 0});
          R.push_back({XC, In ? 0 : A});
        }
      }
      if (Passes(P[I].Y))
        R.push_back(P[I]);
      else if (I == 0)
        R.push_back({P[0].X, 0});
    }
  }
  Ref<TFuzzySet> Result = ResultWith(R);
  Result->Name_ = Name_;
  return Result;
}

TFuzzySet& TFuzzySet::Normalize() {
  const TFzyFloat M = Values_->GetMaxValue();
  if (M == 0) return *this;
  const TFzyFloat Scale = 1 / M;
  std::vector<TFzyPoint> P = Values_->GetPoints();
  for (TFzyPoint& Pt : P) Pt.Y *= Scale;
  ReplacePoints(P);
  return *this;
}

// --- 6. Intersection tests ----------------------------------------------------------------------------

bool TFuzzySet::Intersects(const TFuzzySet& Set) const {
  const TFuzzySetValues &A = *Values_, &B = *Set.Values_;
  if (A.Empty() || B.Empty()) return false;
  if (A.IsConstant() && A.GetYValue(0) < FuzzyTolerance && !B.IsConstant()) return false;
  const TFzyFloat A1 = A.GetXValue(0), A2 = A.GetXValue(A.GetCount() - 1);
  const TFzyFloat B1 = B.GetXValue(0), B2 = B.GetXValue(B.GetCount() - 1);
  if (B1 < A2 - FuzzyTolerance && B2 > A1 + FuzzyTolerance) return true;
  auto HighAt = [&](TFzyFloat X) {
    return std::max(DegreeOfMembership(X), Set.DegreeOfMembership(X)) > FuzzyTolerance;
  };
  if (FloatEquals(B1, A2)) return HighAt(A2);
  if (FloatEquals(A1, B2)) return HighAt(A1);
  return false;
}

Ref<TFuzzySetValue> TFuzzySet::LineSegmentIntersects(const TFuzzySetValue& P1, const TFuzzySetValue& P2,
                                                     const TFuzzySetValue& Q1, const TFuzzySetValue& Q2) {
  const std::optional<TFzyPoint> Hit =
      SegmentIntersection(P1.GetPoint(), P2.GetPoint(), Q1.GetPoint(), Q2.GetPoint());
  if (!Hit) return nullptr;
  return platform::MakeRef<TFuzzySetValue>(Hit->X, Hit->Y);
}

}  // namespace vaguecore
