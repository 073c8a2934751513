// The set itself: construction, properties, universe, membership, geometry and the shape
// generators.
#include "FuzzySet.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "FuzzyInternal.h"
#include "FuzzyMessages.h"
#include "platform/ComponentStream.h"

namespace vaguecore {

using platform::Ref;

namespace {

std::unique_ptr<TFuzzySetValues> MakePlainValues(TFuzzySet* Owner) { return std::make_unique<TFuzzySetValues>(Owner); }

}  // namespace

// --- construction and properties ---------------------------------------------------------------

TFuzzySet::TFuzzySet() : TFuzzySet(&MakePlainValues) {}

TFuzzySet::TFuzzySet(TValuesFactory MakeValues) { Values_ = MakeValues(this); }

TFuzzySet::~TFuzzySet() = default;

void TFuzzySet::SetSetType(TFuzzySetType Type) {
  if (Type == SetType_) return;
  // A set being read from a stream gets its points from the stream as well.  Making the shape
  // would be wasted, and would make a shape of as many points as the stream asks for.
  const IFuzzyUniverse* Universe = GetUniverse();
  if (Type == fstUserDefined || (Universe && Universe->IsLoading())) {
    SetType_ = Type;
    Changed(false);
    return;
  }
  GenerateShape(Type);
}

// The default shapes sit in the universe [Min, Max] of width R: the curves over its middle
// third, the triangle, PI and beta shapes centred at Min + R/2 with a half-width of R/3.  All
// are placed relative to Min, so a universe such as [100, 200] gets the same shapes as [0, 100]
// shifted by 100.
void TFuzzySet::GenerateShape(TFuzzySetType Type) {
  const TFzyFloat Min = GetXRange(1), Max = GetXRange(0), R = Max - Min;
  const int N = GetNumFunctionValues();
  const TFzyFloat Third = R / 3, Center = Min + R / 2;
  // Built aside first, so that a failure leaves this set as it was.
  TFuzzySet Shape;
  switch (Type) {
    case fstDeclineCurve:
    case fstGrowthCurve: {
      const TFzyFloat A = Min + Third, B = Min + 2 * Third;
      Shape.CreateCurveValues(N, A, B, A + (B - A) / 2, Type == fstGrowthCurve);
      break;
    }
    case fstTriangle: Shape.CreateTriangleFunctionValues(Center - Third, Center, Center + Third); break;
    case fstPICurve: Shape.CreatePIFunctionValues(N, Third, Center); break;
    case fstBetaCurve: Shape.CreateBetaCurveFunctionValues(N, Third, Center, (R / 2 - Third) / 2); break;
    case fstUserDefined: return;
  }
  {
    TQuietEdit Quiet(*this);
    Values_->Assign(Shape.GetValues());
  }
  SetType_ = Type;
  InflectionPoint_ = Shape.InflectionPoint_;
  Expression_.clear();
  Changed(false);
}

void TFuzzySet::SetName(const std::string& Name) {
  if (Name == Name_) return;
  if (IsFuzzyReservedWord(Name)) RaiseFzy(SReservedFuzzySetName, {Name});
  Name_ = Name;
  Changed(false);
}

std::string TFuzzySet::GetDisplayName() const {
  return Name_.empty() ? platform::TCollectionItem::GetDisplayName() : Name_;
}

void TFuzzySet::SetValues(const TFuzzySetValues& Values) { Values_->Assign(Values); }

void TFuzzySet::Assign(const platform::TPersistent& Source) {
  const auto* S = dynamic_cast<const TFuzzySet*>(&Source);
  if (!S) {
    platform::TCollectionItem::Assign(Source);
    return;
  }
  if (S == this) return;
  {
    TQuietEdit Quiet(*this);
    Values_->Assign(*S->Values_);
  }
  CopyPropertiesFrom(*S);
  Changed(false);
}

void TFuzzySet::CopyPropertiesFrom(const TFuzzySet& Other) {
  Name_ = Other.Name_;
  SetType_ = Other.SetType_;
  InflectionPoint_ = Other.InflectionPoint_;
  Expression_ = Other.Expression_;
}

// --- streaming ------------------------------------------------------------------------------------

void TFuzzySet::DeclareProperties(platform::TPropertyList<TFuzzySet>& P) {
  P.Add("SetType", &TFuzzySet::GetSetType, &TFuzzySet::SetSetType, fstUserDefined);
  P.Add("Name", &TFuzzySet::GetName, &TFuzzySet::SetName);
  P.Add("Values", &TFuzzySet::ValuesProp, nullptr);
}

// A stored set is read after its variable's range and its own type; its points come last and
// are taken as stored.  Points that are not finite numbers are refused both ways: ordering such
// points has no answer, and a stream that could be written but not read would fail late.
void TFuzzySet::DefineProperties(platform::TObject& Instance, platform::TFiler& Filer) {
  auto& S = static_cast<TFuzzySet&>(Instance);
  Filer.DefineProperty(
      "Points",
      [&S](platform::TReader& R) {
        std::vector<TFzyPoint> Points;
        R.ReadListBegin();
        while (!R.EndOfList()) {
          R.ReadListBegin();
          TFzyPoint P;
          P.X = R.ReadFloat();
          P.Y = R.ReadFloat();
          R.ReadListEnd();
          if (!std::isfinite(P.X) || !std::isfinite(P.Y))
            throw platform::EStreamError("Invalid component stream: a point of a fuzzy set is not a finite number");
          Points.push_back(P);
        }
        R.ReadListEnd();
        S.ReadPoints(Points);
      },
      [&S](platform::TWriter& W) {
        W.WriteListBegin();
        for (const TFzyPoint& P : S.Values_->GetPoints()) {
          if (!std::isfinite(P.X) || !std::isfinite(P.Y))
            throw platform::EStreamError(platform::Format(
                "Fuzzy set %s cannot be stored: one of its points is not a finite number", {S.GetDisplayName()}));
          W.WriteListBegin();
          W.WriteFloat(P.X);
          W.WriteFloat(P.Y);
          W.WriteListEnd();
        }
        W.WriteListEnd();
      },
      !S.Values_->Empty());
  // A shape's parameter is stored even when it is 0: outside a component that is loading,
  // reading the type makes the shape again, parameter included.
  Filer.DefineProperty(
      "InflectionPoint", [&S](platform::TReader& R) { S.InflectionPoint_ = R.ReadFloat(); },
      [&S](platform::TWriter& W) { W.WriteFloat(S.InflectionPoint_); },
      S.InflectionPoint_ != 0 || S.SetType_ != fstUserDefined);
  Filer.DefineProperty(
      "Expression", [&S](platform::TReader& R) { S.Expression_ = R.ReadString(); },
      [&S](platform::TWriter& W) { W.WriteString(S.Expression_); }, !S.Expression_.empty());
}

void TFuzzySet::ReadPoints(std::span<const TFzyPoint> Points) {
  const TFuzzySetType Type = SetType_;
  std::string Expression = Expression_;
  {
    TQuietEdit Quiet(*this);
    Values_->LoadPoints(Points, false);
  }
  SetType_ = Type;
  Expression_ = std::move(Expression);
  Changed(false);
}

void TFuzzySet::UpdateFuzzySetValue(TFuzzySetValue*) { PointsEdited(); }

void TFuzzySet::UpdateFuzzySetValues() { PointsEdited(); }

void TFuzzySet::PointsEdited() {
  SetType_ = fstUserDefined;
  Expression_.clear();
  if (QuietEdits_ == 0) Changed(false);
}

void TFuzzySet::ReplacePoints(std::span<const TFzyPoint> Points) {
  {
    TQuietEdit Quiet(*this);
    Values_->SetPoints(Points);
  }
  PointsEdited();
}

// --- universe and results -------------------------------------------------------------------------

const IFuzzyUniverse* TFuzzySet::GetUniverse() const noexcept {
  const platform::TCollection* C = GetCollection();
  return C ? dynamic_cast<const IFuzzyUniverse*>(C->GetOwner()) : nullptr;
}

TFzyFloat TFuzzySet::GetXRange(int Index) const {
  if (Index != 0 && Index != 1) RaiseFzy(SInvalidXRangeIndex, {Index});
  if (const IFuzzyUniverse* U = GetUniverse()) return Index == 0 ? U->GetMaximum() : U->GetMinimum();
  return Index == 0 ? OwnMaximum_ : OwnMinimum_;
}

int32_t TFuzzySet::GetNumFunctionValues() const {
  if (const IFuzzyUniverse* U = GetUniverse()) return U->GetNumFunctionValues();
  return OwnNumFunctionValues_;
}

void TFuzzySet::TakeUniverseOf(const TFuzzySet& Other) {
  OwnMinimum_ = Other.GetXRange(1);
  OwnMaximum_ = Other.GetXRange(0);
  OwnNumFunctionValues_ = Other.GetNumFunctionValues();
}

Ref<TFuzzySet> TFuzzySet::NewResultSet() const {
  platform::TObject* Obj = ClassType().CreateInstance();
  auto* Set = dynamic_cast<TFuzzySet*>(Obj);
  if (!Set) {
    delete Obj;
    AssignError(this);
  }
  Ref<TFuzzySet> Result(Set);
  Result->TakeUniverseOf(*this);
  return Result;
}

Ref<TFuzzySet> TFuzzySet::ResultWith(std::span<const TFzyPoint> Points) const {
  Ref<TFuzzySet> Result = NewResultSet();
  Result->ReplacePoints(Points);
  return Result;
}

platform::ICloneable TFuzzySet::DoClone() const {
  platform::ICloneable Copy = platform::TCollectionItem::DoClone();
  static_cast<TFuzzySet*>(Copy.get())->TakeUniverseOf(*this);
  return Copy;
}

TFzyFloat TFuzzySet::ConstantPointX() const {
  if (!Values_->Empty()) return (Values_->GetXValue(0) + Values_->GetXValue(Values_->GetCount() - 1)) / 2;
  return (GetXRange(1) + GetXRange(0)) / 2;
}

// --- membership and geometry ------------------------------------------------------------------------

TFzyFloat TFuzzySet::DegreeOfMembership(TFzyFloat X) const {
  const TFuzzySetValues& V = *Values_;
  const int N = V.GetCount();
  if (N == 0) return 0;
  const TFzyFloat First = V.GetXValue(0);
  if (X < First) return V.GetYValue(0);
  if (X == First) return V.GetYValue(GetMaxYValueOfX(0, 1));
  const TFzyFloat Last = V.GetXValue(N - 1);
  if (X > Last) return V.GetYValue(N - 1);
  if (X == Last) return V.GetYValue(GetMaxYValueOfX(N - 1, -1));
  for (int I = 1; I < N; ++I) {
    const TFzyFloat XI = V.GetXValue(I);
    if (XI == X) return V.GetYValue(GetMaxYValueOfX(I, 1));
    if (XI > X) return InterpolateY(V.GetXValue(I - 1), V.GetYValue(I - 1), XI, V.GetYValue(I), X);
  }
  return V.GetYValue(N - 1);  // only reached in a list caught out of order inside an update bracket
}

TFzyFloat TFuzzySet::GetSlope(const TFuzzySetValue& P1, const TFuzzySetValue& P2) noexcept {
  if (FloatEquals(P1.GetX(), P2.GetX())) return Sign(P2.GetY() - P1.GetY());
  return (P2.GetY() - P1.GetY()) / (P2.GetX() - P1.GetX());
}

int TFuzzySet::GetMaxYValueOfX(int Index, int Step) const {
  const TFuzzySetValues& V = *Values_;
  if (Step == 0) Step = 1;
  const TFzyFloat X = V.GetXValue(Index);
  int Best = Index;
  for (int I = Index + Step; I >= 0 && I < V.GetCount() && FloatEquals(V.GetXValue(I), X); I += Step)
    if (V.GetYValue(I) > V.GetYValue(Best)) Best = I;
  return Best;
}

int TFuzzySet::GetMinYValueOfX(int Index, int Step) const {
  const TFuzzySetValues& V = *Values_;
  if (Step == 0) Step = 1;
  const TFzyFloat X = V.GetXValue(Index);
  int Best = Index;
  for (int I = Index + Step; I >= 0 && I < V.GetCount() && FloatEquals(V.GetXValue(I), X); I += Step)
    if (V.GetYValue(I) < V.GetYValue(Best)) Best = I;
  return Best;
}

// --- shapes -----------------------------------------------------------------------------------------
// Each generator appends inside one bracket, quietly, and reports once with its type set.

void TFuzzySet::CreateTriangleFunctionValues(TFzyFloat Left, TFzyFloat Center, TFzyFloat Right) {
  if (Right < Left) Right = Left;
  Center = std::clamp(Center, Left, Right);
  {
    TQuietEdit Quiet(*this);
    TBracket Bracket(*Values_);
    Values_->Add()->SetValue(Left, 0);
    Values_->Add()->SetValue(Center, 1);
    Values_->Add()->SetValue(Right, 0);
  }
  SetType_ = fstTriangle;
  InflectionPoint_ = 0;
  Changed(false);
}

void TFuzzySet::AppendCurve(int N, TFzyFloat Left, TFzyFloat Right, bool Growth) {
  const TFzyFloat W = Right - Left, Middle = (Left + Right) / 2;
  const TFzyFloat Step = N > 1 ? W / (N - 1) : 0;
  for (int K = 0; K < N; ++K) {
    // Each X from the ends, not by adding steps: the last point is Right itself, so the curve
    // prints (and saves) as the bounds it was made from.
    const TFzyFloat X = K == N - 1 ? Right : Left + K * Step;
    TFzyFloat S;
    if (X <= Left)
      S = 0;
    else if (X <= Middle)
      S = 2 * Squared((X - Left) / W);
    else if (X > Right)
      S = 1;
    else
      S = 1 - 2 * Squared((X - Right) / W);
    Values_->Add()->SetValue(X, Growth ? S : 1 - S);
  }
}

void TFuzzySet::CreateCurveValues(int N, TFzyFloat Left, TFzyFloat Right, TFzyFloat Inflection, bool Growth) {
  if (Left > Right) RaiseFzy(SInvalidRangeArguments, {Left, Right});
  if (N < 3) N = 3;
  {
    TQuietEdit Quiet(*this);
    TBracket Bracket(*Values_);
    AppendCurve(N, Left, Right, Growth);
  }
  SetType_ = Growth ? fstGrowthCurve : fstDeclineCurve;
  InflectionPoint_ = Inflection;
  Changed(false);
}

// A growth half up to Center and a decline half from it, the shared centre point kept once (odd
// N) or dropped from both halves (even N).  The halves are built without the three-point minimum
// of CreateCurveValues, so that N = 3 gives exactly (Left, 0), (Center, 1), (Right, 0).
void TFuzzySet::CreatePIFunctionValues(int N, TFzyFloat Left, TFzyFloat Right, TFzyFloat Center) {
  if (Left > Right) RaiseFzy(SInvalidRangeArguments, {Left, Right});
  Center = std::clamp(Center, Left, Right);
  if (N < 3) N = 3;
  const int Half = N / 2;
  {
    TQuietEdit Quiet(*this);
    TBracket Bracket(*Values_);
    const int Start = Values_->GetCount();
    AppendCurve(Half + 1, Left, Center, true);
    if (N % 2 == 0) Values_->Delete(Values_->GetCount() - 1);
    AppendCurve(Half + 1, Center, Right, false);
    if (Values_->GetCount() - Start > N) Values_->Delete(Start + Half);
  }
  SetType_ = fstPICurve;
  InflectionPoint_ = (Center + Right) / 2;
  Changed(false);
}

void TFuzzySet::CreatePIFunctionValues(int N, TFzyFloat Width, TFzyFloat Center) {
  CreatePIFunctionValues(N, Center - Width, Center + Width, Center);
}

void TFuzzySet::CreateBetaCurveFunctionValues(int N, TFzyFloat Width, TFzyFloat Center, TFzyFloat Beta,
                                              TFzyFloat Weight) {
  if (N < 3) N = 3;
  // A negative weight would make memberships negative or infinite.
  if (Weight < 0) Weight = 0;
  {
    TQuietEdit Quiet(*this);
    TBracket Bracket(*Values_);
    for (int K = 0; K < N; ++K) {
      const TFzyFloat X = Center - Width + K * 2 * Width / (N - 1);
      // Beta 0 is the limit of ever narrower curves: 1 at the centre, 0 elsewhere.
      const TFzyFloat Y = Beta == 0 ? (FloatEquals(X, Center) ? 1 : 0) : 1 / (1 + Weight * Squared((X - Center) / Beta));
      Values_->Add()->SetValue(X, Y);
    }
  }
  SetType_ = fstBetaCurve;
  InflectionPoint_ = Beta;
  Changed(false);
}

void TFuzzySet::CreateBetaCurveFunctionValues(int N, TFzyFloat Width, TFzyFloat Center, TFzyFloat Beta) {
  CreateBetaCurveFunctionValues(N, Width, Center, Beta, 1);
}

bool CreateShapeValues(TFuzzySet& Set, std::string_view Shape, std::span<const TFzyFloat> Args) {
  constexpr int N = 7;
  const size_t Count = Args.size();
  if ((Shape == "s" || Shape == "z") && Count == 2) {
    Set.CreateCurveValues(N, Args[0], Args[1], Args[0] + (Args[1] - Args[0]) / 2, Shape == "s");
  } else if (Shape == "pi" && Count == 2) {
    Set.CreatePIFunctionValues(N, Args[1], Args[0]);
  } else if (Shape == "pi" && Count == 3) {
    Set.CreatePIFunctionValues(N, Args[0], Args[2], Args[1]);
  } else if (Shape == "tri" && Count == 3) {
    Set.CreateTriangleFunctionValues(Args[0], Args[1], Args[2]);
  } else if (Shape == "beta" && Count >= 2 && Count <= 4) {
    const TFzyFloat Beta = Count >= 3 ? Args[2] : (Args[0] + Args[1]) / 2;
    if (Count == 4)
      Set.CreateBetaCurveFunctionValues(N, Args[1], Args[0], Beta, Args[3]);
    else
      Set.CreateBetaCurveFunctionValues(N, Args[1], Args[0], Beta);
  } else {
    return false;
  }
  return true;
}

}  // namespace vaguecore
