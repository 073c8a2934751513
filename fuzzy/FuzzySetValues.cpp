#include "FuzzySetValues.h"

#include <algorithm>

#include "FuzzyMessages.h"
#include "FuzzyInternal.h"
#include "FuzzySet.h"

namespace vaguecore {

using platform::Ref;
using platform::TCollectionItem;
using platform::TCollectionNotification;

// Hides the changes made while the list rearranges itself: the caller reports once afterwards.
class TFuzzySetValues::TQuiet {
 public:
  explicit TQuiet(TFuzzySetValues& L) noexcept : L_(L) { L_.SuspendUpdates(); }
  ~TQuiet() { L_.ResumeUpdates(); }
  TQuiet(const TQuiet&) = delete;
  TQuiet& operator=(const TQuiet&) = delete;

 private:
  TFuzzySetValues& L_;
};

// --- TFuzzySetValue ------------------------------------------------------------------------------

TFzyFloat TFuzzySetValue::ClampX(TFzyFloat X) const {
  const TFuzzySetValues* L = GetValues();
  const TFuzzySet* S = L ? L->GetFuzzySet() : nullptr;
  if (!S) return X;
  const TFzyFloat Min = S->GetXRange(1), Max = S->GetXRange(0);
  if (X < Min) X = Min;
  if (X > Max) X = Max;
  return X;
}

void TFuzzySetValue::SetX(TFzyFloat X) {
  if (X == X_) return;
  X_ = ClampX(X);
  Placed(TXYUpdateTypes{utX});
}

void TFuzzySetValue::SetY(TFzyFloat Y) {
  if (Y == Y_) return;
  Y_ = Y < 0 ? 0 : Y;
  Placed(TXYUpdateTypes{utY});
}

void TFuzzySetValue::SetValue(TFzyFloat X, TFzyFloat Y) {
  const TFuzzySetValues* L = GetValues();
  if (L && L->GetFuzzySet()) {
    X = ClampX(X);
    if (Y < 0) Y = 0;
  }
  X_ = X;
  Y_ = Y;
  Placed(TXYUpdateTypes{utX, utY});
}

void TFuzzySetValue::Placed(TXYUpdateTypes Which) {
  TFuzzySetValues* L = GetValues();
  if (!L) return;
  // Placement may merge this point into a neighbour, which drops the list's reference to it.
  Ref<TFuzzySetValue> Keep(this);
  L->UpdateValue(*this, Which);
  if (GetCollection() == L)
    Changed(false);
  else
    L->Changed();
}

bool TFuzzySetValue::Equals(const platform::TCloneable* Other) const {
  const auto* P = dynamic_cast<const TFuzzySetValue*>(Other);
  return P && Equals(*P);
}

void TFuzzySetValue::Assign(const platform::TPersistent& Source) {
  if (const auto* P = dynamic_cast<const TFuzzySetValue*>(&Source)) {
    SetValue(P->X_, P->Y_);
    return;
  }
  TCollectionItem::Assign(Source);
}

void TFuzzySetValue::DeclareProperties(platform::TPropertyList<TFuzzySetValue>& P) {
  P.Add("X", &TFuzzySetValue::GetX, &TFuzzySetValue::SetX);
  P.Add("Y", &TFuzzySetValue::GetY, &TFuzzySetValue::SetY);
}

// --- TFuzzySetValues: list operations ------------------------------------------------------------

TFuzzySetValues::TFuzzySetValues(TFuzzySet* FuzzySet)
    : platform::TCollection(TFuzzySetValue::StaticClass(), FuzzySet), FuzzySet_(FuzzySet) {}

TFuzzySetValues::~TFuzzySetValues() {
  for (int I = 0; I < GetCount(); ++I) GetItem(I)->List_ = nullptr;
}

TFuzzySetValue* TFuzzySetValues::Add() { return static_cast<TFuzzySetValue*>(platform::TCollection::Add()); }

TFuzzySetValue* TFuzzySetValues::Insert(int Index) {
  return static_cast<TFuzzySetValue*>(platform::TCollection::Insert(Index));
}

int TFuzzySetValues::Add(TFzyFloat X, TFzyFloat Y) {
  Ref<TFuzzySetValue> P(Add());
  P->SetValue(X, Y);
  return P->GetCollection() == this ? P->GetIndex() : -1;
}

std::vector<TFzyPoint> TFuzzySetValues::GetPoints() const {
  std::vector<TFzyPoint> R;
  R.reserve(static_cast<size_t>(GetCount()));
  for (int I = 0; I < GetCount(); ++I) R.push_back(GetItem(I)->GetPoint());
  return R;
}

void TFuzzySetValues::SetPoints(std::span<const TFzyPoint> Points) { LoadPoints(Points, true); }

// The same as adding each point through SetValue inside one bracket, without the per-point
// bookkeeping: the order flags are worked out once at the end.
void TFuzzySetValues::LoadPoints(std::span<const TFzyPoint> Points, bool ClampX) {
  TBracket Bracket(*this);
  Clear();
  const bool InSet = FuzzySet_ != nullptr;
  const TFzyFloat Min = InSet ? FuzzySet_->GetXRange(1) : 0, Max = InSet ? FuzzySet_->GetXRange(0) : 0;
  BulkLoading_ = true;
  try {
    for (const TFzyPoint& P : Points) {
      TFuzzySetValue* V = Add();
      V->X_ = InSet && ClampX ? std::min(std::max(P.X, Min), Max) : P.X;
      V->Y_ = InSet && P.Y < 0 ? 0 : P.Y;
    }
  } catch (...) {
    BulkLoading_ = false;
    throw;
  }
  BulkLoading_ = false;
  Sorted_ = Unique_ = true;
  int Run = 1;
  for (int I = 1; I < GetCount(); ++I) {
    const TFuzzySetValue &Prev = *GetItem(I - 1), &Cur = *GetItem(I);
    if (Cur.X_ < Prev.X_ - FuzzyTolerance) Sorted_ = false;
    Run = FloatEquals(Cur.X_, Prev.X_) ? Run + 1 : 1;
    if (Run > 3 || Cur.Equals(Prev)) Unique_ = false;
  }
  Unique_ = Unique_ && Sorted_;
}

void TFuzzySetValues::Append(const TFuzzySetValues& Values) { Append(Values, 0, Values.GetCount()); }

void TFuzzySetValues::Append(const TFuzzySetValues& Values, int Start, int Count) {
  const int Total = Values.GetCount();
  if (Start > Total - 1) Start = Total - 1;
  if (Start < 0) Start = 0;
  if (Count > Total - Start) Count = Total - Start;
  if (Count <= 0) return;
  // Copy first: the source may be this very list, which placement rearranges as points arrive.
  std::vector<TFzyPoint> Copy;
  Copy.reserve(static_cast<size_t>(Count));
  for (int I = Start; I < Start + Count; ++I) Copy.push_back(Values.GetItem(I)->GetPoint());
  for (const TFzyPoint& P : Copy) Add()->SetValue(P.X, P.Y);
}

TFzyFloat TFuzzySetValues::GetMaxValue() const {
  if (Empty()) RaiseFzy(SEmptyFuzzySet, {SGetMaxYValue});
  // Every point is looked at: memberships above 1 (an unbounded sum) may follow a point at 1.
  TFzyFloat M = GetYValue(0);
  for (int I = 1; I < GetCount(); ++I) M = std::max(M, GetYValue(I));
  return M;
}

TFzyFloat TFuzzySetValues::GetMinValue() const {
  if (Empty()) RaiseFzy(SEmptyFuzzySet, {SGetMinYValue});
  TFzyFloat M = GetYValue(0);
  for (int I = 0; I < GetCount(); ++I) {
    const TFzyFloat Y = GetYValue(I);
    if (Y < M) M = Y;
    if (Y == 0) break;
  }
  return M;
}

int TFuzzySetValues::GetXCount(TFzyFloat X) const noexcept {
  int N = 0;
  for (int I = 0; I < GetCount(); ++I)
    if (GetItem(I)->X_ == X) ++N;
  return N;
}

int TFuzzySetValues::SkipX(int Index, int Step, TFzyFloat X) const noexcept {
  if (Step == 0) Step = 1;
  for (int I = Index; I >= 0 && I < GetCount(); I += Step)
    if (!FloatEquals(GetItem(I)->X_, X)) return I;
  return -1;
}

int TFuzzySetValues::SkipY(int Index, int Step, TFzyFloat Y) const noexcept {
  if (Step == 0) Step = 1;
  for (int I = Index; I >= 0 && I < GetCount(); I += Step)
    if (!FloatEquals(GetItem(I)->Y_, Y)) return I;
  return -1;
}

bool TFuzzySetValues::IsConstant() const noexcept { return !Empty() && SkipY(0, 1, GetItem(0)->Y_) < 0; }

void TFuzzySetValues::Expand(int N) {
  if (N <= 1 || GetCount() >= N) return;
  int Segments = 0;  // segments with width, the only ones that receive points
  for (int I = 0; I + 1 < GetCount(); ++I)
    if (GetXValue(I + 1) > GetXValue(I) + FuzzyTolerance) ++Segments;
  if (Segments == 0) return;
  int Need = N - GetCount();
  TBracket Bracket(*this);
  int I = 0;
  while (Need > 0 && I + 1 < GetCount()) {
    const TFzyPoint A = GetItem(I)->GetPoint(), B = GetItem(I + 1)->GetPoint();
    if (B.X <= A.X + FuzzyTolerance) {
      ++I;
      continue;
    }
    // The first segments take the rounded-up share, so the last one takes what is left.
    const int Share = (Need + Segments - 1) / Segments;
    const TFzyFloat Step = (B.X - A.X) / (Share + 1);
    for (int K = 1; K <= Share; ++K) {
      const TFzyFloat X = A.X + K * Step;
      Insert(I + K)->SetValue(X, TFuzzySet::InterpolateY(A.X, A.Y, B.X, B.Y, X));
    }
    Need -= Share;
    --Segments;
    I += Share + 1;
  }
}

void TFuzzySetValues::ExpandSimple(int N) {
  if (N <= 1 || GetCount() >= N || GetCount() < 2) return;
  const TFzyFloat First = GetXValue(0), Width = GetXValue(GetCount() - 1) - First;
  if (Width <= FuzzyTolerance) return;  // all points at one X: nothing to spread over
  const int Missing = N - GetCount();
  const TFzyFloat Step = Width / (Missing + 1);
  TBracket Bracket(*this);
  for (int K = 1; K <= Missing; ++K) {
    const TFzyFloat X = First + K * Step;
    int Pos = 1;
    while (Pos < GetCount() && GetXValue(Pos) <= X) ++Pos;
    const TFzyPoint A = GetItem(Pos - 1)->GetPoint();
    const TFzyFloat Y = Pos < GetCount() ? TFuzzySet::InterpolateY(A.X, A.Y, GetXValue(Pos), GetYValue(Pos), X) : A.Y;
    Insert(Pos)->SetValue(X, Y);
  }
}

// --- TFuzzySetValues: ordering ---------------------------------------------------------------------

bool TFuzzySetValues::SortQuietly() {
  if (Sorted_) return false;
  bool Moved = false;
  // Insertion sort that treats X within the tolerance as equal: stable, and linear on a list
  // that is already (nearly) in order, which is the usual case.
  for (int I = 1; I < GetCount(); ++I) {
    const TFzyFloat X = GetXValue(I);
    int J = I;
    while (J > 0 && GetXValue(J - 1) > X + FuzzyTolerance) --J;
    if (J != I) {
      MoveItem(I, J);
      Moved = true;
    }
  }
  Sorted_ = true;
  return Moved;
}

bool TFuzzySetValues::RemoveDuplicatesQuietly() {
  if (Unique_) return false;
  const int Before = GetCount();
  // Runs of more than three points at one X keep the three that define the membership there:
  // the first (left limit), the highest in between (the value at X) and the last (right limit).
  for (int S = 0; S < GetCount();) {
    // The run is scanned from the point after S: a point at a position that is not a number
    // equals nothing, not even itself, and the walk must still move on.
    int E = SkipX(S + 1, 1, GetXValue(S));
    if (E < 0) E = GetCount();
    if (E - S > 3) {
      int Peak = S + 1;
      for (int K = S + 2; K < E - 1; ++K)
        if (GetYValue(K) > GetYValue(Peak)) Peak = K;
      for (int K = E - 2; K > S; --K)
        if (K != Peak) Delete(K);
      E = S + 3;
    }
    S = E;
  }
  for (int K = 1; K < GetCount();) {
    if (GetItem(K)->Equals(*GetItem(K - 1)))
      Delete(K);
    else
      ++K;
  }
  Unique_ = true;
  return GetCount() != Before;
}

void TFuzzySetValues::Sort() {
  bool Moved;
  {
    TQuiet Q(*this);
    Moved = SortQuietly();
  }
  if (Moved) Changed();
}

void TFuzzySetValues::RemoveDuplicates() {
  bool Removed;
  {
    TQuiet Q(*this);
    Removed = RemoveDuplicatesQuietly();
  }
  if (Removed) Changed();
}

void TFuzzySetValues::CleanupValues() {
  if (Sorted_ && Unique_) return;
  bool Changes;
  {
    TQuiet Q(*this);
    Changes = SortQuietly();
    Changes = RemoveDuplicatesQuietly() || Changes;
  }
  if (Changes) Changed();
}

void TFuzzySetValues::UpdateValue(TFuzzySetValue& Value, TXYUpdateTypes Which) {
  const int I = Value.GetIndex();
  if (Value.GetCollection() != this || I < 0) return;
  const int Count = GetCount();
  const TFzyFloat X = Value.X_;
  if (Sorted_ && Which.Contains(utX) && Count > 1) {
    const TFzyFloat Prev = I > 0 ? GetXValue(I - 1) : X;
    const TFzyFloat Next = I + 1 < Count ? GetXValue(I + 1) : X;
    Sorted_ = Prev - FuzzyTolerance <= X && X <= Next + FuzzyTolerance;
  }
  Unique_ = Unique_ && Sorted_;
  if (Unique_ && Which.Contains(utY) && Count > 1)
    Unique_ = !(I > 0 && Value.Equals(*GetItem(I - 1))) && !(I + 1 < Count && Value.Equals(*GetItem(I + 1)));
  if (Unique_ && Which.Contains(utX) && Count > 3) {
    // A run of more than three points at one X also needs tidying.
    int Run = 1;
    for (int K = I - 1; K >= 0 && Run <= 3 && FloatEquals(GetXValue(K), X); --K) ++Run;
    for (int K = I + 1; K < Count && Run <= 3 && FloatEquals(GetXValue(K), X); ++K) ++Run;
    Unique_ = Run <= 3;
  }
  // Inside a bracket the list tidies itself when the bracket closes.
  if (GetUpdateCount() > 0) return;
  Place(Value, Which.Contains(utX));
}

void TFuzzySetValues::Place(TFuzzySetValue& Value, bool MovedX) {
  TQuiet Q(*this);
  SortQuietly();
  if (GetCount() < 2) return;
  const TFzyFloat X = Value.X_;
  if (MovedX) {
    // Move the point behind the others that share its X; a fourth point at one X replaces the
    // third.  Target counts the other points that end up before it.
    const int Self = Value.GetIndex();
    int Target = -1, Before = 0, Seen = 0, Replaced = -1;
    for (int K = 0; K < GetCount(); ++K) {
      if (K == Self) continue;
      const TFzyFloat Q = GetXValue(K);
      if (Q > X + FuzzyTolerance) {
        Target = Before;
        break;
      }
      if (FloatEquals(Q, X) && ++Seen == 3) {
        Target = Before;
        Replaced = K;
        break;
      }
      ++Before;
    }
    if (Target < 0) Target = Before;
    if (Replaced >= 0) Delete(Replaced);
    if (Value.GetIndex() != Target) MoveItem(Value.GetIndex(), Target);
  }
  // Within the run of points at this X, an exact duplicate merges into its successor.
  int K = SkipX(Value.GetIndex(), -1, X) + 1;
  if (K == 0) K = 1;
  while (K < GetCount() && FloatEquals(GetXValue(K), X)) {
    if (GetItem(K)->Equals(*GetItem(K - 1)))
      Delete(K - 1);
    else
      ++K;
  }
  if (Value.GetCollection() != this) return;
  const int I = Value.GetIndex();
  const int First = SkipX(I, -1, X) + 1;
  int End = SkipX(I, 1, X);
  if (End < 0) End = GetCount();
  if (End - First > 3) Delete(I > First ? I - 1 : I + 1);
}

void TFuzzySetValues::Update(TCollectionItem* Item) {
  if (GetCount() < 2) Sorted_ = Unique_ = true;
  if (!Item) {
    TQuiet Q(*this);
    SortQuietly();
    RemoveDuplicatesQuietly();
  }
  if (FuzzySet_) {
    if (Item)
      FuzzySet_->UpdateFuzzySetValue(static_cast<TFuzzySetValue*>(Item));
    else
      FuzzySet_->UpdateFuzzySetValues();
  }
  platform::TCollection::Update(Item);
}

void TFuzzySetValues::Notify(TCollectionItem& Item, TCollectionNotification Action) {
  const int I = Item.GetIndex();
  const int Count = GetCount();
  auto& P = static_cast<TFuzzySetValue&>(Item);
  if (Action == platform::cnAdded) {
    P.List_ = this;
    if (BulkLoading_) return;
    int Last = Count - 1;
    if (Last == I) --Last;
    P.X_ = Last >= 0 ? GetXValue(Last) + 1 : 0;
    P.Y_ = 0;
    P.X_ = P.ClampX(P.X_);
    // Inserted before other points, the new point is out of order until it gets its value.
    if (Sorted_ && I + 1 < Count && P.X_ > GetXValue(I + 1) + FuzzyTolerance) Sorted_ = false;
    return;
  }
  P.List_ = nullptr;
  if (Unique_ && I > 0 && I + 1 < Count && GetItem(I - 1)->Equals(*GetItem(I + 1)))
    Unique_ = false;  // the neighbours of a leaving point meet
}

}  // namespace vaguecore
