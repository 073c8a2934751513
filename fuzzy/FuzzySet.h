// TFuzzySet: a piecewise-linear membership function over the universe of discourse of a fuzzy
// variable, kept as its ordered point list.  Left of its first point and right of its last point
// the membership stays flat; two points at one X make a vertical edge.
//
// This header declares the whole class; the implementation is split by what it owns:
//   FuzzySet.cpp         the set itself: properties, universe, membership, geometry, shapes
//   FuzzyOperations.cpp  the merge walk, union and intersection, cut-offs, normalisation
//   FuzzyHedges.cpp      the linguistic hedges and the arithmetic base hedges
//   FuzzyDefuzzify.cpp   centre of gravity, mean of maxima, the compatibility index
//
// A set is a collection item (the sets of a fuzzy variable form a collection) and, like every
// collection item, a counted cloneable object: operations that produce a set return a new one as
// Ref<TFuzzySet>, of the receiver's class, living in the receiver's universe but in no
// collection, and freed with its last reference.  Hedges and Normalize change the receiver.
//
// Depends on FuzzyConsts, FuzzyMessages, FuzzySetValues and the platform layer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "FuzzyConsts.h"
#include "FuzzySetValues.h"
#include "platform/Collection.h"
#include "platform/Properties.h"
#include "platform/Ref.h"

namespace platform {
class TFiler;
}

namespace vaguecore {

class TFuzzySet;

// What a set needs from the variable it belongs to: the universe of discourse and the number of
// points its generated curves get.  The owner of a collection of sets implements it.
class IFuzzyUniverse {
 public:
  virtual TFzyFloat GetMinimum() const = 0;
  virtual TFzyFloat GetMaximum() const = 0;
  virtual int32_t GetNumFunctionValues() const = 0;
  // True while the universe is being read from a component stream: a set then takes its type
  // as stored instead of generating the type's shape, since its points are stored too.
  virtual bool IsLoading() const noexcept { return false; }

 protected:
  ~IFuzzyUniverse() = default;
};

// Callbacks of the merge walk.  (X1, Y1) belongs to the receiver, (X2, Y2) to the argument, both
// taken at the same position; an operator appends one point to the result list.  Returning true
// stops the walk.
using TFuzzyOperator =
    std::function<bool(TFuzzySetValues& FuzzySet, TFzyFloat X1, TFzyFloat Y1, TFzyFloat X2, TFzyFloat Y2)>;
using TFuzzyComparison = std::function<bool(TFzyFloat X1, TFzyFloat Y1, TFzyFloat X2, TFzyFloat Y2)>;

class TFuzzySet : public platform::TCollectionItem {
  PLATFORM_CLASS(TFuzzySet, platform::TCollectionItem)
 public:
  using platform::TCloneable::Assign;

  TFuzzySet();
  ~TFuzzySet() override;

  // --- properties ------------------------------------------------------------------------------
  TFuzzySetType GetSetType() const noexcept { return SetType_; }
  // Replaces the points by the default shape of Type over the set's universe (the points stay
  // for fstUserDefined).
  void SetSetType(TFuzzySetType Type);
  const std::string& GetName() const noexcept { return Name_; }
  // A fuzzy keyword, base hedge operator or hedge name raises the reserved-word error.
  void SetName(const std::string& Name);
  std::string GetDisplayName() const override;
  TFuzzySetValues& GetValues() noexcept { return *Values_; }
  const TFuzzySetValues& GetValues() const noexcept { return *Values_; }
  // Copies the points.
  void SetValues(const TFuzzySetValues& Values);
  TFzyFloat GetInflectionPoint() const noexcept { return InflectionPoint_; }
  const std::string& GetExpression() const noexcept { return Expression_; }
  void SetExpression(const std::string& Expression) { Expression_ = Expression; }
  // Membership at the last defuzzified point; 0 before defuzzification.
  TFzyFloat GetCompatibilityIndex() const noexcept { return CompatibilityIndex_; }

  // --- universe ----------------------------------------------------------------------------------
  // Index 0: the universe's maximum, 1: its minimum; any other index raises.
  virtual TFzyFloat GetXRange(int Index) const;
  // The universe of the collection the set is in, nullptr outside one.
  const IFuzzyUniverse* GetUniverse() const noexcept;
  // Points of the curves SetSetType generates.
  virtual int32_t GetNumFunctionValues() const;

  // From another set: name, points, type, inflection point and expression.
  void Assign(const platform::TPersistent& Source) override;

  // --- streaming ----------------------------------------------------------------------------------
  // Published: SetType, Name and Values.  Besides them a stored set keeps its points ("Points",
  // a list of [x, y] pairs, taken back exactly as they were), its InflectionPoint and its
  // Expression; the point list itself keeps its items out of the stream.
  static void DeclareProperties(platform::TPropertyList<TFuzzySet>& P);
  static void DefineProperties(platform::TObject& Instance, platform::TFiler& Filer);

  // --- membership and geometry --------------------------------------------------------------------
  TFzyFloat DegreeOfMembership(TFzyFloat X) const;
  // Y on the line through (X1, Y1) and (X2, Y2) at X; Y2 when X1 = X2 exactly.
  static TFzyFloat InterpolateY(TFzyFloat X1, TFzyFloat Y1, TFzyFloat X2, TFzyFloat Y2, TFzyFloat X) noexcept {
    return X1 == X2 ? Y2 : Y1 + (X - X1) / (X2 - X1) * (Y2 - Y1);
  }
  // X on that line at Y; X2 when Y1 = Y2 exactly.
  static TFzyFloat InterpolateX(TFzyFloat X1, TFzyFloat Y1, TFzyFloat X2, TFzyFloat Y2, TFzyFloat Y) noexcept {
    return Y1 == Y2 ? X2 : X1 + (Y - Y1) / (Y2 - Y1) * (X2 - X1);
  }
  // Slope from P1 to P2; the sign of the rise for a vertical segment.
  static TFzyFloat GetSlope(const TFuzzySetValue& P1, const TFuzzySetValue& P2) noexcept;
  // From Index, over the neighbours (by Step) sharing its X within the tolerance: the index of
  // the largest (smallest) Y, the first one on ties.
  int GetMaxYValueOfX(int Index, int Step) const;
  int GetMinYValueOfX(int Index, int Step) const;

  // --- shapes (each appends to the current points and sets SetType) --------------------------------
  void CreateTriangleFunctionValues(TFzyFloat Left, TFzyFloat Center, TFzyFloat Right);
  // S curve (Growth) or Z curve of N points from Left to Right.
  void CreateCurveValues(int N, TFzyFloat Left, TFzyFloat Right, TFzyFloat Inflection, bool Growth);
  void CreatePIFunctionValues(int N, TFzyFloat Left, TFzyFloat Right, TFzyFloat Center);
  void CreatePIFunctionValues(int N, TFzyFloat Width, TFzyFloat Center);
  void CreateBetaCurveFunctionValues(int N, TFzyFloat Width, TFzyFloat Center, TFzyFloat Beta, TFzyFloat Weight);
  void CreateBetaCurveFunctionValues(int N, TFzyFloat Width, TFzyFloat Center, TFzyFloat Beta);

  // --- operations (FuzzyOperations.cpp) ---------------------------------------------------------------
  platform::Ref<TFuzzySet> Intersection(const TFuzzySet& Set, TFuzzyOperation Operation) const;
  platform::Ref<TFuzzySet> Union(const TFuzzySet& Set, TFuzzyOperation Operation) const;
  // The exact pointwise minimum / maximum.
  platform::Ref<TFuzzySet> Intersection(const TFuzzySet& Set) const;
  platform::Ref<TFuzzySet> Union(const TFuzzySet& Set) const;
  // The merge walk: Callback builds the result's points (see TFuzzyOperator).
  platform::Ref<TFuzzySet> Operator(const TFuzzySet& Set, const TFuzzyOperator& Callback) const;
  // The same walk with a comparison: true as soon as the comparison answers true.
  bool Iterate(const TFuzzySet& Set, const TFuzzyComparison& Comparison) const;
  bool Intersects(const TFuzzySet& Set) const;
  // The intersection point of segments P1-P2 and Q1-Q2, or nullptr.
  static platform::Ref<TFuzzySetValue> LineSegmentIntersects(const TFuzzySetValue& P1, const TFuzzySetValue& P2,
                                                             const TFuzzySetValue& Q1, const TFuzzySetValue& Q2);
  // Union (max) or intersection (min) with the constant membership Value (clamped into [0, 1]).
  platform::Ref<TFuzzySet> Cutoff(bool IsUnion, TFzyFloat Value) const;
  // The alpha cut (Strong: membership > Alpha, else >= Alpha); outside the cut the membership is 0.
  platform::Ref<TFuzzySet> AlphaCutoff(TFzyFloat Alpha, bool Strong) const;
  // Scales the memberships so that the largest is 1.
  TFuzzySet& Normalize();

  // --- hedges (FuzzyHedges.cpp): change this set and rename it ---------------------------------------
  TFuzzySet& Hedge(TFuzzyHedge Hedge);
  TFuzzySet& Hedge(TBaseFuzzyHedge BaseHedge, TFzyFloat Value, bool OnY);
  void Intensify(int N, TFzyFloat Value);
  void FuzzyContrast(int N, TFzyFloat Value);
  void FuzzyApproximation(int N, TFzyFloat Value);

  // --- defuzzification (FuzzyDefuzzify.cpp) ------------------------------------------------------------
  TFzyFloat CenterOfGravity();
  TFzyFloat MeanOfMaxima();
  bool IsUndecidable() const noexcept { return CompatibilityIndex_ == 0; }

 protected:
  // For subclasses with their own kind of point list: MakeValues creates it for the new set.
  using TValuesFactory = std::unique_ptr<TFuzzySetValues> (*)(TFuzzySet* Owner);
  explicit TFuzzySet(TValuesFactory MakeValues);

  // Called by the point list after a change of one point / of the list: a set whose points were
  // edited becomes user-defined and loses its expression, and reports the change.
  virtual void UpdateFuzzySetValue(TFuzzySetValue* Value);
  virtual void UpdateFuzzySetValues();

  // A new, empty set of this set's class that lives in this set's universe; the set operations
  // build their results in it.
  virtual platform::Ref<TFuzzySet> NewResultSet() const;
  platform::ICloneable DoClone() const override;

 private:
  friend class TFuzzySetValues;
  class TQuietEdit;

  // Ends an edit of the points: user-defined, no expression, a change report unless quiet.
  void PointsEdited();
  // Replaces the points as one edit.
  void ReplacePoints(std::span<const TFzyPoint> Points);
  // A new result set holding Points.
  platform::Ref<TFuzzySet> ResultWith(std::span<const TFzyPoint> Points) const;
  using TCombineFn = TFzyFloat (*)(TFzyFloat Y1, TFzyFloat Y2);
  platform::Ref<TFuzzySet> Combine(const TFuzzySet& Set, TCombineFn Fn) const;
  platform::Ref<TFuzzySet> ZadehCombine(const TFuzzySet& Set, bool IsUnion) const;
  void TakeUniverseOf(const TFuzzySet& Other);
  // What Assign copies besides the points.
  void CopyPropertiesFrom(const TFuzzySet& Other);
  // Appends N points of an S (Growth) or Z curve without raising N.
  void AppendCurve(int N, TFzyFloat Left, TFzyFloat Right, bool Growth);
  void GenerateShape(TFuzzySetType Type);
  // The X of the single point that represents a constant result.
  TFzyFloat ConstantPointX() const;
  // The published Values: the point list as an object.
  TFuzzySetValues* ValuesProp() const noexcept { return Values_.get(); }
  // Replaces the points by stored ones, keeping the type read with them.
  void ReadPoints(std::span<const TFzyPoint> Points);

  TFuzzySetType SetType_ = fstUserDefined;
  std::string Name_;
  std::unique_ptr<TFuzzySetValues> Values_;
  TFzyFloat InflectionPoint_ = 0;
  std::string Expression_;
  TFzyFloat CompatibilityIndex_ = 0;
  // The universe of a set outside any collection: unbounded, or kept from the set it was
  // derived from.
  TFzyFloat OwnMinimum_ = FuzzyUnboundedMinimum;
  TFzyFloat OwnMaximum_ = FuzzyUnboundedMaximum;
  int32_t OwnNumFunctionValues_ = DefaultNumFunctionValues;
  // While positive, point changes are not reported to the set (it edits its own points).
  int QuietEdits_ = 0;
};

// Gives Set the points of a named shape, as the shape functions of the rule language and the
// printed form of a term write it: "s" and "z" (left, right), "pi" (center, width or left,
// center, right), "tri" (left, center, right), "beta" (center, width [, beta [, weight]]).
// Curves have 7 points.  False, and Set unchanged, for another name or argument count.
bool CreateShapeValues(TFuzzySet& Set, std::string_view Shape, std::span<const TFzyFloat> Args);

}  // namespace vaguecore
