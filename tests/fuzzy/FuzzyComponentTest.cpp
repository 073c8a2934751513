#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "FuzzyTestSupport.h"
#include "platform/ComponentStream.h"
#include "platform/StringList.h"

using namespace vaguecore;
using namespace vaguecore::testing;
using platform::TObject;
using TJson = nlohmann::ordered_json;
using TEvents = std::vector<std::string>;

namespace {

// What the component reports, in order: "change", "variable <name>", "set <name>".
struct TEventLog {
  explicit TEventLog(TCustomFuzzyLogic& F) {
    F.OnChange = [this, &F](TObject* Sender) { Add(Sender == &F, "change"); };
    F.OnVariableChange = [this, &F](TObject* S, TFuzzyVariable* V) { Add(S == &F, "variable " + V->GetName()); };
    F.OnFuzzySetChange = [this, &F](TObject* S, TFuzzySet* Set) { Add(S == &F, "set " + Set->GetName()); };
  }
  void Add(bool FromComponent, std::string Event) {
    EXPECT_TRUE(FromComponent) << Event;
    Events.push_back(std::move(Event));
  }
  TEvents Take() { return std::exchange(Events, {}); }
  TEvents Events;
};

TFuzzyVariable& AddVariable(TCustomFuzzyLogic& F, const std::string& Name, TFzyFloat Min, TFzyFloat Max) {
  TFuzzyVariable& V = *F.GetItems().Add();
  V.SetName(Name);
  V.SetMaximum(Max);
  V.SetMinimum(Min);
  return V;
}

TFuzzySet& AddSet(TFuzzyVariable& V, const std::string& Name, TFuzzySetType Type) {
  TFuzzySet& S = *V.GetItems().Add();
  S.SetName(Name);
  S.SetSetType(Type);
  return S;
}

// Everything a variable holds, down to the bits of every point.
void ExpectSameVariable(const TFuzzyVariable& A, const TFuzzyVariable& B) {
  SCOPED_TRACE("variable " + A.GetName());
  EXPECT_EQ(A.GetName(), B.GetName());
  EXPECT_EQ(A.GetUnits(), B.GetUnits());
  EXPECT_EQ(A.GetMinimum(), B.GetMinimum());
  EXPECT_EQ(A.GetMaximum(), B.GetMaximum());
  EXPECT_EQ(A.GetItemIndex(), B.GetItemIndex());
  ASSERT_EQ(A.GetItems().GetCount(), B.GetItems().GetCount());
  for (int I = 0; I < A.GetItems().GetCount(); ++I) {
    const TFuzzySet &SA = *A.GetItems().GetItem(I), &SB = *B.GetItems().GetItem(I);
    SCOPED_TRACE("set " + SA.GetName());
    EXPECT_EQ(SA.GetName(), SB.GetName());
    EXPECT_EQ(SA.GetSetType(), SB.GetSetType());
    EXPECT_EQ(SA.GetInflectionPoint(), SB.GetInflectionPoint());
    EXPECT_EQ(SA.GetExpression(), SB.GetExpression());
    const std::vector<TFzyPoint> PA = SA.GetValues().GetPoints(), PB = SB.GetValues().GetPoints();
    ASSERT_EQ(PA.size(), PB.size()) << PointsText(SA) << "\n vs " << PointsText(SB);
    for (size_t K = 0; K < PA.size(); ++K) EXPECT_TRUE(PA[K].X == PB[K].X && PA[K].Y == PB[K].Y) << K;
  }
}

void ExpectSameModel(const TCustomFuzzyLogic& A, const TCustomFuzzyLogic& B) {
  EXPECT_EQ(A.GetNumFunctionValues(), B.GetNumFunctionValues());
  EXPECT_EQ(A.GetDefuzzificationMethod(), B.GetDefuzzificationMethod());
  ASSERT_EQ(A.GetItems().GetCount(), B.GetItems().GetCount());
  for (int I = 0; I < A.GetItems().GetCount(); ++I)
    ExpectSameVariable(*A.GetItems().GetItem(I), *B.GetItems().GetItem(I));
}

std::string ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const platform::Exception& E) {
    return E.what();
  }
  return "(no error)";
}

constexpr TFzyFloat NaN = std::numeric_limits<TFzyFloat>::quiet_NaN();
constexpr TFzyFloat Inf = std::numeric_limits<TFzyFloat>::infinity();

}  // namespace

// --- variables --------------------------------------------------------------------------------------

TEST(FuzzyLogicVariable, SelectionFollowsItsSetsAndRefusesIndexesOfNone) {
  TFuzzyVariable V;
  EXPECT_TRUE(V.GetMinimum() == 0 && V.GetMaximum() == 1 && V.GetItemIndex() == -1);
  EXPECT_EQ(V.GetNumFunctionValues(), DefaultNumFunctionValues);  // outside a component
  EXPECT_EQ(V.GetDisplayName(), "TFuzzyVariable");

  V.GetItems().Add();
  EXPECT_EQ(V.GetItemIndex(), 0);  // adding selects
  V.GetItems().Add();
  V.GetItems().Add();
  V.GetItems().Delete(2);  // the selected last set: the new last one
  EXPECT_EQ(V.GetItemIndex(), 1);
  V.GetItems().Delete(1);
  V.GetItems().Delete(0);
  EXPECT_EQ(V.GetItemIndex(), -1);

  V.GetItems().Add();
  EXPECT_EQ(ErrorOf([&] { V.SetItemIndex(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { V.SetItemIndex(-2); }), "List index out of bounds (-2)");
  EXPECT_THROW(V.SetItemIndex(7), EFzyException);
  EXPECT_EQ(V.GetItemIndex(), 0);
  V.SetItemIndex(-1);
  EXPECT_EQ(V.GetItemIndex(), -1);
}

TEST(FuzzyLogicVariable, RangeBoundsMoveEachOtherAndMustBeFinite) {
  TFuzzyVariable V;
  V.SetMaximum(-5);
  EXPECT_EQ(V.GetMinimum(), -5);
  V.SetMinimum(10);
  EXPECT_EQ(V.GetMaximum(), 10);
  for (const TFzyFloat Bad : {NaN, Inf, -Inf}) {
    EXPECT_EQ(ErrorOf([&] { V.SetMinimum(Bad); }), "Invalid range value.  Minimum must be a finite number");
    EXPECT_EQ(ErrorOf([&] { V.SetMaximum(Bad); }), "Invalid range value.  Maximum must be a finite number");
  }
  EXPECT_TRUE(V.GetMinimum() == 10 && V.GetMaximum() == 10);
}

TEST(FuzzyLogic, NumFunctionValuesShapesTheGeneratedCurves) {
  TFuzzyLogic F;
  EXPECT_EQ(F.GetNumFunctionValues(), 7);
  EXPECT_EQ(F.GetDefuzzificationMethod(), dmCenterOfGravity);
  for (const int32_t Few : {0, 1, -3}) {
    F.SetNumFunctionValues(Few);
    EXPECT_EQ(F.GetNumFunctionValues(), 2);
  }
  F.SetNumFunctionValues(11);
  TFuzzyVariable& V = AddVariable(F, "t", 0, 90);
  EXPECT_EQ(V.GetFuzzy(), &F);
  EXPECT_EQ(AddSet(V, "tri", fstTriangle).GetValues().GetCount(), 3);
  TFuzzySet& Up = AddSet(V, "up", fstGrowthCurve);
  EXPECT_EQ(Up.GetValues().GetCount(), 11);
  EXPECT_NEAR(Up.GetValues().GetYValue(1), 0.02, 1e-12);  // from 30 to 60 in steps of 3
}

// --- change propagation ------------------------------------------------------------------------------

TEST(FuzzyLogic, ChangesReportOncePerCompletedBracketAtEachLevel) {
  TFuzzyLogic F;
  TFuzzyVariable& Temp = AddVariable(F, "temp", 0, 90);
  TFuzzySet& Cold = AddSet(Temp, "cold", fstTriangle);
  TEventLog Log(F);

  // Points: their set, once per edit or per outermost bracket.
  TFuzzySetValues& Points = Cold.GetValues();
  Points.GetItem(1)->SetY(0.5);
  EXPECT_EQ(Log.Take(), (TEvents{"set cold"}));
  Points.BeginUpdate();
  Points.BeginUpdate();
  Points.GetItem(0)->SetX(5);
  Points.GetItem(1)->SetY(0.75);
  Points.Add(80, 0.25);
  Points.EndUpdate();
  EXPECT_EQ(Log.Take(), TEvents{});
  Points.EndUpdate();
  EXPECT_EQ(Log.Take(), (TEvents{"set cold"}));
  Cold.SetName("chilly");
  EXPECT_EQ(Log.Take(), (TEvents{"set chilly"}));

  // The list of sets: the variable, once; adding a set selects it in the same change.
  TFuzzySet* Warm = Temp.GetItems().Add();
  EXPECT_EQ(Log.Take(), (TEvents{"variable temp"}));
  EXPECT_EQ(Temp.GetItemIndex(), 1);
  Temp.GetItems().BeginUpdate();
  Warm->SetName("warm");
  Warm->SetSetType(fstPICurve);
  Temp.GetItems().Add();
  Temp.GetItems().Delete(0);
  EXPECT_EQ(Log.Take(), TEvents{});
  Temp.GetItems().EndUpdate();
  EXPECT_EQ(Log.Take(), (TEvents{"variable temp"}));
  EXPECT_EQ(Temp.GetItemIndex(), 1);

  // A variable's own properties, each change once.
  Temp.SetUnits("F");
  Temp.SetItemIndex(0);
  Temp.SetItemIndex(0);
  Temp.SetName("heat");
  EXPECT_EQ(Log.Take(), (TEvents{"variable temp", "variable temp", "variable heat"}));

  // The list of variables: the component, once, whatever changed beneath.
  F.GetItems().BeginUpdate();
  Temp.SetName("temp");
  Warm->GetValues().GetItem(0)->SetY(0.1);
  Temp.GetItems().Add();
  AddVariable(F, "rain", 0, 50);
  EXPECT_EQ(Log.Take(), TEvents{});
  F.GetItems().EndUpdate();
  EXPECT_EQ(Log.Take(), (TEvents{"change"}));
}

TEST(FuzzyLogicVariable, AssignCopiesTheVariableAsOneChange) {
  TFuzzyVariable Source;
  Source.SetName("wind");
  Source.SetUnits("km/h");
  Source.SetMaximum(150);
  Source.GetItems().Add()->CreateCurveValues(5, 0, 40, 20, false);
  Source.GetItems().GetItem(0)->SetName("calm");
  Source.GetItems().Add()->SetName("storm");
  Source.SetItemIndex(0);

  TFuzzyLogic F;
  TFuzzyVariable& Target = AddVariable(F, "old", 0, 5);
  AddSet(Target, "a", fstTriangle);
  AddSet(Target, "b", fstTriangle);
  TEventLog Log(F);
  Target.Assign(Source);
  EXPECT_EQ(Log.Take(), (TEvents{"variable wind"}));
  ExpectSameVariable(Target, Source);
  EXPECT_NE(Target.GetItems().GetItem(0), Source.GetItems().GetItem(0));

  platform::TStringList Names;
  Names.Add("stale");
  Names.Assign(Source);  // through the variable's AssignTo
  ASSERT_EQ(Names.Count(), 2);
  EXPECT_EQ(Names.Strings(1), "storm");
  EXPECT_EQ(Names.Objects(1), Source.GetItems().GetItem(1));
  TFuzzySet NotAList;
  EXPECT_THROW(Source.AssignTo(NotAList), platform::EConvertError);
  EXPECT_THROW(Target.Assign(Names), platform::EConvertError);

  TFuzzyLogic Copy;
  TEventLog CopyLog(Copy);
  Copy.SetItems(F.GetItems());
  EXPECT_EQ(CopyLog.Take(), (TEvents{"change"}));
  ExpectSameModel(Copy, F);
}

// --- descendants ---------------------------------------------------------------------------------------

namespace {

class TTaggedSet : public TFuzzySet {
  PLATFORM_CLASS(TTaggedSet, TFuzzySet)
};

class TTaggedVariable : public TFuzzyVariable {
  PLATFORM_CLASS(TTaggedVariable, TFuzzyVariable)
 public:
  TTaggedVariable() : TFuzzyVariable(TDeferred{}, TFuzzySet::StaticClass()) { Construct(); }

 protected:
  std::unique_ptr<TFuzzySets> CreateItems() override {
    return std::make_unique<TFuzzySets>(this, TTaggedSet::StaticClass());
  }
};

class TTaggedLogic : public TFuzzyLogic {
  PLATFORM_CLASS(TTaggedLogic, TFuzzyLogic)
 public:
  explicit TTaggedLogic(platform::TComponent* Owner = nullptr) : TFuzzyLogic(Owner, TDeferred{}) { Construct(); }

 protected:
  std::unique_ptr<TFuzzyVariables> CreateVariables() override {
    return std::make_unique<TFuzzyVariables>(this, TTaggedVariable::StaticClass());
  }
};

}  // namespace

TEST(FuzzyLogic, DescendantsMakeTheirOwnCollections) {
  TTaggedLogic F;
  TFuzzyVariable* V = F.GetItems().Add();
  EXPECT_TRUE(V->Is<TTaggedVariable>());
  EXPECT_TRUE(V->GetItems().Add()->Is<TTaggedSet>());
  EXPECT_TRUE(TFuzzyVariable(TTaggedSet::StaticClass()).GetItems().Add()->Is<TTaggedSet>());
  EXPECT_THROW(TFuzzySets(nullptr, TFuzzySetValue::StaticClass()), platform::EConvertError);
  EXPECT_THROW(TFuzzyVariables(nullptr, TFuzzySet::StaticClass()), platform::EConvertError);
}

// --- streaming -----------------------------------------------------------------------------------------

TEST(FuzzyLogicStreaming, AComponentComesBackExactly) {
  // A form holding a component: curves, hand-made points with a vertical edge and a spike, a
  // range narrowed after its points were placed, an expression, selections, an empty variable.
  platform::TComponent Form;
  auto* Fuzzy = new TFuzzyLogic(&Form);
  Fuzzy->SetName("Fuzzy");
  Fuzzy->SetNumFunctionValues(9);
  Fuzzy->SetDefuzzificationMethod(dmMeanOfMaxima);
  TFuzzyVariable& T = AddVariable(*Fuzzy, "temperature", -10, 40);
  T.SetUnits(
      "\xc2\xb0"
      "C");
  AddSet(T, "cold", fstDeclineCurve);
  AddSet(T, "mild", fstPICurve).SetExpression("not cold");
  AddSet(T, "spiky", fstBetaCurve);
  T.SetItemIndex(1);
  TFuzzyVariable& P = AddVariable(*Fuzzy, "pressure", 0, 10);
  P.GetItems().Add()->GetValues().SetPoints(
      std::vector<TFzyPoint>{{0, 1}, {2, 1}, {2, 0.25}, {5, 0}, {5, 0.8}, {5, 0.1}, {10, 0}});
  AddSet(P, "edited", fstGrowthCurve).GetValues().GetItem(3)->SetY(0.9);  // keeps its inflection point
  P.SetMaximum(6);
  AddVariable(*Fuzzy, "", 0, 1);

  const std::string Text = platform::WriteComponentStream(Form);
  const TJson Doc = TJson::parse(Text);
  const TJson& Stored = Doc["components"][0]["properties"]["Items"]["items"];
  ASSERT_EQ(Stored.size(), 3u);
  EXPECT_EQ(Stored[1]["Items"]["items"][0], TJson::parse(R"({"Points": [[0.0, 1.0], [2.0, 1.0], [2.0, 0.25],
      [5.0, 0.0], [5.0, 0.8], [5.0, 0.1], [10.0, 0.0]]})"));
  EXPECT_EQ(Stored[1]["ItemIndex"], 1);
  EXPECT_EQ(Stored[2], TJson::object());

  platform::TComponent Read;
  platform::ReadComponentStream(Text, Read);
  auto* Copy = dynamic_cast<TFuzzyLogic*>(Read.FindComponent("Fuzzy"));
  ASSERT_NE(Copy, nullptr);  // made by its class name
  EXPECT_FALSE(Copy->IsLoading());
  ExpectSameModel(*Copy, *Fuzzy);
  EXPECT_EQ(platform::WriteComponentStream(Read), Text);

  // Into a component that holds other variables: the stored ones replace them, in one change.
  AddVariable(*Copy, "extra", 0, 3);
  TEventLog Log(*Copy);
  platform::ReadComponentStream(Text, Read);
  EXPECT_EQ(Log.Take(), (TEvents{"change"}));
  ExpectSameModel(*Copy, *Fuzzy);
}

TEST(FuzzyLogicStreaming, ASetOnItsOwnKeepsItsShapeAndRefusesNonFinitePoints) {
  // Outside a component reading the type makes the shape again; what was stored still wins.
  TFuzzyVariable Holder;
  Holder.SetMaximum(100);
  TFuzzySet& Beta = *Holder.GetItems().Add();
  Beta.CreateBetaCurveFunctionValues(5, 10, 50, 0);  // a beta of 0: InflectionPoint 0
  std::stringstream Stream;
  platform::WritePersistent(Stream, Beta);
  platform::Ref<platform::TPersistent> Read = platform::ReadPersistent(Stream);
  TFuzzyVariable Other;
  Other.SetMaximum(100);
  ASSERT_TRUE(Read->Is<TFuzzySet>());
  Other.GetItems().Add()->Assign(*Read);
  ExpectSameVariable(Other, Holder);

  Beta.GetValues().Add(1, Inf);
  EXPECT_THROW(platform::WritePersistent(Stream, Beta), platform::EStreamError);
}

TEST(FuzzyLogicStreaming, HostileStreamsFailCleanly) {
  auto Stream = [](const std::string& Variable) {
    return R"({"class": "TFuzzyLogic", "properties": {"Items": {"items": [)" + Variable + "]}}}";
  };
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {Stream(R"({"Items": {"items": [{}]}, "ItemIndex": 1})"), "List index out of bounds (1)"},
      {Stream(R"({"Minimum": "NaN"})"), "Minimum must be a finite number"},
      {Stream(R"({"Items": {"items": [{"Points": [[0, 1], [1, "Infinity"]]}]}})"), "not a finite number"},
      {Stream(R"({"Items": {"items": [{"Points": [[0, 1, 2]]}]}})"), "unexpected items at the end of a list"},
      {Stream(R"({"Items": {"items": [{"Name": "very"}]}})"), "is a reserved word"},
      {Stream(R"({"Items": {"items": [{"Values": {"items": [{"X": 1}]}}]}})"), "keeps its items out"},
  };
  for (const auto& [Text, Message] : Cases) {
    TFuzzyLogic F;
    const std::string Error = ErrorOf([&] { platform::ReadComponentStream(Text, F); });
    EXPECT_NE(Error.find(Message), std::string::npos) << Error << "\n  for: " << Text;
    EXPECT_FALSE(F.IsLoading());
    EXPECT_EQ(F.GetItems().GetUpdateCount(), 0);
  }

  // A loading component makes no shape for a stored type (a stream may ask for curves of any
  // number of points): the set has the stored points and nothing of a generated shape.
  TFuzzyLogic F;
  platform::ReadComponentStream(R"({"class": "TFuzzyLogic", "properties": {"NumFunctionValues": 100000,
      "Items": {"items": [{"Items": {"items": [{"SetType": "fstGrowthCurve", "Points": [[0, 0], [1, 1]]}]}}]}}})",
                                F);
  const TFuzzySet& Set = *F.GetItems().GetItem(0)->GetItems().GetItem(0);
  EXPECT_EQ(Set.GetSetType(), fstGrowthCurve);
  EXPECT_EQ(Set.GetInflectionPoint(), 0);
  EXPECT_TRUE(PointsAre(Set, {{0, 0}, {1, 1}}));
}
