// The points of a fuzzy set: TFuzzySetValue, one (X, Y) point, and TFuzzySetValues, the ordered
// point list a set owns, with the rules that keep the list ordered by X and free of duplicates.
//
// Ordering rules.  After every completed change the points are sorted by X (stably: points whose
// X agree within the tolerance keep their order) and no point equals its neighbour.  A point
// changed outside an update bracket is placed at once: it moves behind the points that share its
// X, a run of equal X keeps at most three points (two make a vertical edge, three a spike) and an
// exact duplicate of a neighbour merges into it.  Inside a bracket the list only notes whether it
// may have become unsorted or non-unique and tidies itself when the bracket closes.
//
// Depends on FuzzyConsts, FuzzyMessages and the platform collections.
#pragma once

#include <span>
#include <vector>

#include "FuzzyConsts.h"
#include "platform/Collection.h"
#include "platform/Properties.h"

namespace vaguecore {

class TFuzzySet;
class TFuzzySetValues;

// A bare point, for computations that do not need the collection machinery.
struct TFzyPoint {
  TFzyFloat X = 0;
  TFzyFloat Y = 0;
};

class TFuzzySetValue : public platform::TCollectionItem {
  PLATFORM_CLASS(TFuzzySetValue, platform::TCollectionItem)
 public:
  using platform::TCloneable::Assign;
  using platform::TCloneable::Equals;

  TFuzzySetValue() noexcept = default;
  // A free point (in no list), such as the answer of TFuzzySet::LineSegmentIntersects.
  TFuzzySetValue(TFzyFloat X, TFzyFloat Y) noexcept : X_(X), Y_(Y) {}

  TFzyFloat GetX() const noexcept { return X_; }
  TFzyFloat GetY() const noexcept { return Y_; }
  TFzyPoint GetPoint() const noexcept { return {X_, Y_}; }
  // The setters place the point in its list (see above), which may move it to another index or
  // merge it into an equal neighbour; a caller that keeps using the point afterwards holds a Ref.
  // In a set's list X is clamped into the set's range.  Y is never negative.
  void SetX(TFzyFloat X);
  void SetY(TFzyFloat Y);
  // Inside a set's list: X clamped, negative Y stored as 0; elsewhere both are stored as given.
  void SetValue(TFzyFloat X, TFzyFloat Y);

  // Both coordinates equal within the tolerance.
  bool Equals(const TFuzzySetValue& Value) const noexcept {
    return FloatEquals(X_, Value.X_) && FloatEquals(Y_, Value.Y_);
  }
  bool Equals(const platform::TCloneable* Other) const override;
  // From another point: SetValue(Source.X, Source.Y).
  void Assign(const platform::TPersistent& Source) override;

  // X and Y, without stored defaults (a new point's X depends on its list).
  static void DeclareProperties(platform::TPropertyList<TFuzzySetValue>& P);

  // The list holding the point, nullptr for a free point (or one in another kind of collection).
  TFuzzySetValues* GetValues() const noexcept;

 private:
  friend class TFuzzySetValues;
  TFzyFloat ClampX(TFzyFloat X) const;
  // Runs the placement rules after a change and reports it.
  void Placed(TXYUpdateTypes Which);

  TFzyFloat X_ = 0;
  TFzyFloat Y_ = 0;
  // Set by the list the point joins; only trusted while the point's collection is that list.
  TFuzzySetValues* List_ = nullptr;
};

class TFuzzySetValues : public platform::TCollection {
  PLATFORM_CLASS(TFuzzySetValues, platform::TCollection)
 public:
  explicit TFuzzySetValues(TFuzzySet* FuzzySet = nullptr);
  ~TFuzzySetValues() override;

  // The owner set, nullptr for a list of its own.
  TFuzzySet* GetFuzzySet() const noexcept { return FuzzySet_; }

  TFuzzySetValue* GetItem(int Index) const {
    return static_cast<TFuzzySetValue*>(platform::TCollection::GetItem(Index));
  }
  void SetItem(int Index, const TFuzzySetValue& Value) { platform::TCollection::SetItem(Index, Value); }
  TFzyFloat GetXValue(int Index) const { return GetItem(Index)->X_; }
  TFzyFloat GetYValue(int Index) const { return GetItem(Index)->Y_; }

  // A new point: X one beyond the last point (0 in an empty list), Y 0.  Insert places it at
  // Index; the list puts it back in order when the change completes unless it is given a value.
  TFuzzySetValue* Add();
  TFuzzySetValue* Insert(int Index);
  // Adds the point (X, Y) and answers its index after placement, or -1 when it merged into an
  // equal neighbour.
  int Add(TFzyFloat X, TFzyFloat Y);

  // All points, in order.
  std::vector<TFzyPoint> GetPoints() const;
  // Replaces all points inside one update bracket (each through SetValue).
  void SetPoints(std::span<const TFzyPoint> Points);

  // Copies the points Start ... Start + Count - 1 of Values onto new points at the end; Start is
  // clamped into the list and Count to what is left after it.
  void Append(const TFuzzySetValues& Values);
  void Append(const TFuzzySetValues& Values, int Start, int Count);

  // Largest Y and smallest Y (the scan stops at the first 0); an empty list raises the empty-set
  // error.
  TFzyFloat GetMaxValue() const;
  TFzyFloat GetMinValue() const;
  // Number of points whose X is exactly X.
  int GetXCount(TFzyFloat X) const noexcept;
  // From Index, steps by Step (0 counts as 1) while the point reached has X (Y) equal to the
  // given value within the tolerance; answers the first index whose value differs, or -1 when
  // the walk leaves the list.
  int SkipX(int Index, int Step, TFzyFloat X) const noexcept;
  int SkipY(int Index, int Step, TFzyFloat Y) const noexcept;
  // At least one point and all Y equal within the tolerance: the membership is a constant.
  bool IsConstant() const noexcept;

  // Adds points until the list holds N: Expand spreads them over the non-vertical segments in
  // proportion, ExpandSimple at equal spacing over the whole width.  Nothing happens for N <= 1,
  // a list already that long, or a list without width to spread over.
  void Expand(int N);
  void ExpandSimple(int N);

  bool GetSorted() const noexcept { return Sorted_; }
  bool GetUnique() const noexcept { return Unique_; }
  // The ordering machinery; each reports one whole-list change when it changed something.
  void Sort();
  void RemoveDuplicates();
  void CleanupValues();
  // Placement of one changed point (Which: the coordinates that changed).
  void UpdateValue(TFuzzySetValue& Value, TXYUpdateTypes Which);

 protected:
  void Update(platform::TCollectionItem* Item) override;
  void Notify(platform::TCollectionItem& Item, platform::TCollectionNotification Action) override;

 private:
  friend class TFuzzySetValue;
  friend class TFuzzySet;
  class TQuiet;

  // SetPoints; with ClampX false the X are kept even outside the set's range (Y is still never
  // negative), which a stored set needs: its range may have narrowed after its points were placed.
  void LoadPoints(std::span<const TFzyPoint> Points, bool ClampX);

  bool SortQuietly();
  bool RemoveDuplicatesQuietly();
  void Place(TFuzzySetValue& Value, bool MovedX);

  TFuzzySet* FuzzySet_;
  bool Sorted_ = true;
  bool Unique_ = true;
  bool BulkLoading_ = false;  // SetPoints gives new points their values itself
};

inline TFuzzySetValues* TFuzzySetValue::GetValues() const noexcept {
  return List_ && GetCollection() == List_ ? List_ : nullptr;
}

}  // namespace vaguecore
