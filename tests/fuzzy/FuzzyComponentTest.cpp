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

namespace {

// What the component reports, in order: "change", "variable <name>", "set <name>".
struct TEventLog {
  explicit TEventLog(TCustomFuzzyLogic& F) {
    F.OnChange = [this, &F](TObject* Sender) {
      EXPECT_EQ(Sender, &F);
      Events.push_back("change");
    };
    F.OnVariableChange = [this, &F](TObject* Sender, TFuzzyVariable* V) {
      EXPECT_EQ(Sender, &F);
      Events.push_back("variable " + V->GetName());
    };
    F.OnFuzzySetChange = [this, &F](TObject* Sender, TFuzzySet* S) {
      EXPECT_EQ(Sender, &F);
      Events.push_back("set " + S->GetName());
    };
  }
  std::vector<std::string> Take() { return std::exchange(Events, {}); }
  std::vector<std::string> Events;
};

using TEvents = std::vector<std::string>;

TFuzzyVariable& AddVariable(TFuzzyLogic& F, const std::string& Name, TFzyFloat Min, TFzyFloat Max) {
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

void ExpectSameSet(const TFuzzySet& A, const TFuzzySet& B) {
  SCOPED_TRACE("set " + A.GetName());
  EXPECT_EQ(A.ClassType().Name, B.ClassType().Name);
  EXPECT_EQ(A.GetName(), B.GetName());
  EXPECT_EQ(A.GetSetType(), B.GetSetType());
  EXPECT_EQ(A.GetInflectionPoint(), B.GetInflectionPoint());
  EXPECT_EQ(A.GetExpression(), B.GetExpression());
  const std::vector<TFzyPoint> PA = A.GetValues().GetPoints(), PB = B.GetValues().GetPoints();
  ASSERT_EQ(PA.size(), PB.size()) << PointsText(A) << "\n vs " << PointsText(B);
  for (size_t I = 0; I < PA.size(); ++I) {
    EXPECT_EQ(PA[I].X, PB[I].X) << I;  // exactly: the stream keeps every bit
    EXPECT_EQ(PA[I].Y, PB[I].Y) << I;
  }
}

void ExpectSameVariable(const TFuzzyVariable& A, const TFuzzyVariable& B) {
  SCOPED_TRACE("variable " + A.GetName());
  EXPECT_EQ(A.GetName(), B.GetName());
  EXPECT_EQ(A.GetUnits(), B.GetUnits());
  EXPECT_EQ(A.GetMinimum(), B.GetMinimum());
  EXPECT_EQ(A.GetMaximum(), B.GetMaximum());
  EXPECT_EQ(A.GetItemIndex(), B.GetItemIndex());
  ASSERT_EQ(A.GetItems().GetCount(), B.GetItems().GetCount());
  for (int I = 0; I < A.GetItems().GetCount(); ++I) ExpectSameSet(*A.GetItems().GetItem(I), *B.GetItems().GetItem(I));
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

}  // namespace

// --- variables and selection ---------------------------------------------------------------------

TEST(FuzzyLogicVariable, NewVariableAndTheSelectionFollowingItsSets) {
  TFuzzyVariable V;
  EXPECT_EQ(V.GetMinimum(), 0);
  EXPECT_EQ(V.GetMaximum(), 1);
  EXPECT_EQ(V.GetItemIndex(), -1);
  EXPECT_EQ(V.GetFuzzy(), nullptr);
  EXPECT_EQ(V.GetNumFunctionValues(), DefaultNumFunctionValues);
  EXPECT_EQ(V.GetItems().GetVariable(), &V);
  EXPECT_EQ(V.GetDisplayName(), "TFuzzyVariable");
  V.SetName("speed");
  EXPECT_EQ(V.GetDisplayName(), "speed");

  TFuzzySet* Slow = V.GetItems().Add();
  EXPECT_EQ(V.GetItemIndex(), 0);  // adding selects
  V.GetItems().Add();
  V.GetItems().Add();
  EXPECT_EQ(V.GetItemIndex(), 2);
  EXPECT_EQ(Slow->GetXRange(0), 1);  // the sets live in the variable's universe

  V.GetItems().Delete(2);  // the selected last set
  EXPECT_EQ(V.GetItemIndex(), 1);
  V.SetItemIndex(0);
  V.GetItems().Delete(1);  // another set: the selection stays
  EXPECT_EQ(V.GetItemIndex(), 0);
  V.GetItems().Delete(0);
  EXPECT_EQ(V.GetItemIndex(), -1);
  V.GetItems().Add();
  V.GetItems().Clear();
  EXPECT_EQ(V.GetItemIndex(), -1);

  // An index that names no set is refused and changes nothing.
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
  V.SetMaximum(-5);  // below the minimum: the minimum follows
  EXPECT_EQ(V.GetMinimum(), -5);
  EXPECT_EQ(V.GetMaximum(), -5);
  V.SetMinimum(10);  // above the maximum: the maximum follows
  EXPECT_EQ(V.GetMaximum(), 10);
  V.SetMinimum(0);
  EXPECT_EQ(V.GetMaximum(), 10);

  for (const TFzyFloat Bad : {std::numeric_limits<TFzyFloat>::quiet_NaN(), std::numeric_limits<TFzyFloat>::infinity(),
                              -std::numeric_limits<TFzyFloat>::infinity()}) {
    EXPECT_EQ(ErrorOf([&] { V.SetMinimum(Bad); }), "Invalid range value.  Minimum must be a finite number");
    EXPECT_EQ(ErrorOf([&] { V.SetMaximum(Bad); }), "Invalid range value.  Maximum must be a finite number");
  }
  EXPECT_EQ(V.GetMinimum(), 0);
  EXPECT_EQ(V.GetMaximum(), 10);
}

TEST(FuzzyLogic, NumFunctionValuesShapesTheGeneratedCurves) {
  TFuzzyLogic F;
  EXPECT_EQ(F.GetNumFunctionValues(), 7);
  EXPECT_EQ(F.GetDefuzzificationMethod(), dmCenterOfGravity);
  F.SetNumFunctionValues(0);
  EXPECT_EQ(F.GetNumFunctionValues(), 2);
  F.SetNumFunctionValues(1);
  EXPECT_EQ(F.GetNumFunctionValues(), 2);
  F.SetNumFunctionValues(11);

  TFuzzyVariable& V = AddVariable(F, "t", 0, 90);
  EXPECT_EQ(V.GetFuzzy(), &F);
  EXPECT_EQ(V.GetItems().GetVariable(), &V);
  EXPECT_EQ(F.GetItems().GetFuzzy(), &F);
  EXPECT_EQ(AddSet(V, "tri", fstTriangle).GetValues().GetCount(), 3);
  TFuzzySet& Growth = AddSet(V, "up", fstGrowthCurve);
  EXPECT_EQ(Growth.GetValues().GetCount(), 11);
  EXPECT_TRUE(PointsAre(Growth, {{30, 0},
                                 {33, 0.02},
                                 {36, 0.08},
                                 {39, 0.18},
                                 {42, 0.32},
                                 {45, 0.5},
                                 {48, 0.68},
                                 {51, 0.82},
                                 {54, 0.92},
                                 {57, 0.98},
                                 {60, 1}}));
  // Outside a component a variable's curves get the default number of points.
  TFuzzyVariable Free;
  Free.GetItems().Add()->SetSetType(fstGrowthCurve);
  EXPECT_EQ(Free.GetItems().GetItem(0)->GetValues().GetCount(), DefaultNumFunctionValues);
}

// --- change propagation --------------------------------------------------------------------------

TEST(FuzzyLogic, ChangesReportOncePerCompletedBracketAtEachLevel) {
  TFuzzyLogic F;
  TFuzzyVariable& Temp = AddVariable(F, "temp", 0, 90);
  TFuzzySet& Cold = AddSet(Temp, "cold", fstTriangle);
  TEventLog Log(F);

  // A point: its set.
  Cold.GetValues().GetItem(1)->SetY(0.5);
  EXPECT_EQ(Log.Take(), (TEvents{"set cold"}));
  EXPECT_EQ(Cold.GetSetType(), fstUserDefined);
  TFuzzySetValues& Points = Cold.GetValues();
  Points.BeginUpdate();
  Points.BeginUpdate();
  Points.GetItem(0)->SetX(5);
  Points.GetItem(1)->SetY(0.75);
  Points.Add(80, 0.25);
  Points.EndUpdate();
  EXPECT_EQ(Log.Take(), TEvents{});
  Points.EndUpdate();
  EXPECT_EQ(Log.Take(), (TEvents{"set cold"}));

  // A set's own properties.
  Cold.SetName("chilly");
  Cold.SetSetType(fstBetaCurve);
  EXPECT_EQ(Log.Take(), (TEvents{"set chilly", "set chilly"}));

  // The list of sets: the variable, once per bracket; adding a set selects it in the same change.
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

  // A variable's own properties.
  Temp.SetUnits("F");
  Temp.SetMaximum(120);
  Temp.SetItemIndex(0);
  Temp.SetItemIndex(0);  // unchanged: no report
  Temp.SetName("heat");
  EXPECT_EQ(Log.Take(), (TEvents{"variable temp", "variable temp", "variable temp", "variable heat"}));

  // The list of variables: the component, once per bracket, whatever changed beneath.
  F.GetItems().BeginUpdate();
  Temp.SetName("temp");
  Warm->GetValues().GetItem(0)->SetY(0.1);
  Temp.GetItems().Add();
  AddVariable(F, "rain", 0, 50);
  EXPECT_EQ(Log.Take(), TEvents{});
  F.GetItems().EndUpdate();
  EXPECT_EQ(Log.Take(), (TEvents{"change"}));
  F.GetItems().Delete(1);
  EXPECT_EQ(Log.Take(), (TEvents{"change"}));
}

TEST(FuzzyLogicVariable, AssignCopiesTheVariableAsOneChange) {
  TFuzzyVariable Source;
  Source.SetName("wind");
  Source.SetUnits("km/h");
  Source.SetMaximum(150);
  Source.SetMinimum(-1);
  Source.GetItems().Add()->CreateCurveValues(5, 0, 40, 20, false);
  Source.GetItems().GetItem(0)->SetName("calm");
  Source.GetItems().Add()->CreateTriangleFunctionValues(20, 60, 100);
  Source.GetItems().GetItem(1)->SetName("storm");
  Source.SetItemIndex(0);

  TFuzzyLogic F;
  TFuzzyVariable& Target = AddVariable(F, "old", 0, 5);
  AddSet(Target, "a", fstTriangle);
  AddSet(Target, "b", fstTriangle);
  AddSet(Target, "c", fstTriangle);
  TEventLog Log(F);
  Target.Assign(Source);
  EXPECT_EQ(Log.Take(), (TEvents{"variable wind"}));
  ExpectSameVariable(Target, Source);
  EXPECT_NE(Target.GetItems().GetItem(0), Source.GetItems().GetItem(0));
  EXPECT_EQ(Target.GetFuzzy(), &F);

  // The sets as a string list: names with the sets attached.
  platform::TStringList Names;
  Names.Add("stale");
  Names.Assign(Source);
  ASSERT_EQ(Names.Count(), 2);
  EXPECT_EQ(Names.Strings(0), "calm");
  EXPECT_EQ(Names.Objects(1), Source.GetItems().GetItem(1));

  // Other sources and targets are refused, leaving the variable as it was.
  platform::TStringList Other;
  EXPECT_THROW(Target.Assign(Other), platform::EConvertError);
  TFuzzySet NotAList;
  EXPECT_THROW(Source.AssignTo(NotAList), platform::EConvertError);
  EXPECT_EQ(Target.GetName(), "wind");

  // The component copies all its variables, reporting the whole list once.
  TFuzzyLogic Copy;
  TEventLog CopyLog(Copy);
  Copy.SetItems(F.GetItems());
  EXPECT_EQ(CopyLog.Take(), (TEvents{"change"}));
  ExpectSameModel(Copy, F);
  EXPECT_EQ(Copy.GetItems().GetItem(0)->GetFuzzy(), &Copy);
}

// --- descendants -----------------------------------------------------------------------------------

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
  // Collections typed by their items take no other item class.
  EXPECT_THROW(TFuzzySets(nullptr, TFuzzySetValue::StaticClass()), platform::EConvertError);
  EXPECT_THROW(TFuzzyVariables(nullptr, TFuzzySet::StaticClass()), platform::EConvertError);
}

// --- streaming ---------------------------------------------------------------------------------------

namespace {

// A form holding a component with three variables: curves, hand-made points with a vertical
// edge and a spike, a range narrowed after its points were placed, expressions, selections.
struct TForm {
  platform::TComponent Root;
  TFuzzyLogic* Fuzzy = new TFuzzyLogic(&Root);
  TForm() {
    Root.SetName("Form");
    Fuzzy->SetName("Fuzzy");
    Fuzzy->SetNumFunctionValues(9);
    Fuzzy->SetDefuzzificationMethod(dmMeanOfMaxima);

    TFuzzyVariable& T = AddVariable(*Fuzzy, "temperature", -10, 40);
    T.SetUnits(
        "\xc2\xb0"
        "C");
    AddSet(T, "cold", fstDeclineCurve);
    AddSet(T, "mild", fstPICurve).SetExpression("not cold");
    AddSet(T, "hot", fstGrowthCurve);
    AddSet(T, "spiky", fstBetaCurve);
    T.SetItemIndex(1);

    TFuzzyVariable& P = AddVariable(*Fuzzy, "pressure", 0, 10);
    TFuzzySet& Low = *P.GetItems().Add();
    Low.SetName("low");
    Low.GetValues().SetPoints(std::vector<TFzyPoint>{{0, 1}, {2, 1}, {2, 0.25}, {5, 0}, {5, 0.8}, {5, 0.1}, {10, 0}});
    TFuzzySet& Edited = AddSet(P, "edited", fstGrowthCurve);
    Edited.GetValues().GetItem(3)->SetY(0.9);  // user-defined now, with the curve's inflection point
    P.SetMaximum(6);                           // the point at 10 stays where it was
    P.SetItemIndex(0);

    AddVariable(*Fuzzy, "", 0, 1);  // no name, no sets
  }
};

}  // namespace

TEST(FuzzyLogicStreaming, AComponentComesBackExactly) {
  TForm Form;
  const std::string Text = platform::WriteComponentStream(Form.Root);

  // The layout: variables and their sets as collection items, a set's points as pairs.
  const TJson Doc = TJson::parse(Text);
  const TJson& Props = Doc["components"][0]["properties"];
  EXPECT_EQ(Props["NumFunctionValues"], 9);
  EXPECT_EQ(Props["DefuzzificationMethod"], "dmMeanOfMaxima");
  ASSERT_EQ(Props["Items"]["items"].size(), 3u);
  const TJson& Pressure = Props["Items"]["items"][1];
  EXPECT_EQ(Pressure["Maximum"], 6);
  EXPECT_EQ(Pressure["ItemIndex"], 0);  // not the default of -1
  EXPECT_EQ(Pressure["Items"]["items"][0],
            TJson::parse(R"({"Name": "low", "Points": [[0.0, 1.0], [2.0, 1.0], [2.0, 0.25], [5.0, 0.0], [5.0, 0.8],
                                                        [5.0, 0.1], [10.0, 0.0]]})"));
  EXPECT_EQ(Props["Items"]["items"][0]["ItemIndex"], 1);
  EXPECT_EQ(Props["Items"]["items"][2], TJson::object());

  platform::TComponent Root;
  platform::ReadComponentStream(Text, Root);
  auto* Copy = dynamic_cast<TFuzzyLogic*>(Root.FindComponent("Fuzzy"));
  ASSERT_NE(Copy, nullptr);  // made by its class name
  EXPECT_FALSE(Copy->IsLoading());
  ExpectSameModel(*Copy, *Form.Fuzzy);
  EXPECT_EQ(Copy->GetItems().GetItem(1)->GetItems().GetItem(0)->GetValues().GetXValue(6), 10);
  EXPECT_EQ(platform::WriteComponentStream(Root), Text);

  // Read into a component that already holds variables: the stored ones replace them, and the
  // component hears of it once.
  TFuzzyLogic& Used = *Copy;
  AddVariable(Used, "extra", 0, 3);
  TEventLog Log(Used);
  platform::ReadComponentStream(Text, Root);
  EXPECT_EQ(Log.Take(), (TEvents{"change"}));
  ExpectSameModel(Used, *Form.Fuzzy);
}

TEST(FuzzyLogicStreaming, AFuzzySetTravelsOnItsOwn) {
  // Outside a component, reading the type makes the shape again; what was stored still wins.
  TFuzzySet Beta;
  Beta.SetName("narrow");
  Beta.CreateBetaCurveFunctionValues(5, 10, 50, 0);  // a beta of 0: InflectionPoint 0
  Beta.SetExpression("narrow");
  std::stringstream Stream;
  platform::WritePersistent(Stream, Beta);
  platform::Ref<platform::TPersistent> Read = platform::ReadPersistent(Stream);
  auto* Copy = dynamic_cast<TFuzzySet*>(Read.get());
  ASSERT_NE(Copy, nullptr);
  ExpectSameSet(*Copy, Beta);

  // A point that is not a finite number cannot be ordered: it is not written.
  TFuzzySet Infinite;
  Infinite.GetValues().Add(1, std::numeric_limits<TFzyFloat>::infinity());
  std::stringstream Out;
  EXPECT_THROW(platform::WritePersistent(Out, Infinite), platform::EStreamError);
}

TEST(FuzzyLogicStreaming, HostileStreamsFailCleanly) {
  auto WithVariable = [](const std::string& Variable) {
    return R"({"class": "TFuzzyLogic", "properties": {"Items": {"items": [)" + Variable + "]}}}";
  };
  struct TCase {
    std::string Text;
    std::string Message;
  };
  const std::vector<TCase> Cases = {
      {WithVariable(R"({"Items": {"items": [{}]}, "ItemIndex": 1})"), "List index out of bounds (1)"},
      {WithVariable(R"({"ItemIndex": 0})"), "List index out of bounds (0)"},
      {WithVariable(R"({"Minimum": "NaN"})"), "Minimum must be a finite number"},
      {WithVariable(R"({"Items": {"items": [{"Points": [[0, 1], [1, "Infinity"]]}]}})"), "not a finite number"},
      {WithVariable(R"({"Items": {"items": [{"Points": [[0, 1, 2]]}]}})"), "unexpected items at the end of a list"},
      {WithVariable(R"({"Items": {"items": [{"Points": [0, 1]}]}})"), "expected a list"},
      {WithVariable(R"({"Items": {"items": [{"Name": "very"}]}})"), "is a reserved word"},
      {WithVariable(R"({"Items": {"items": [{"Values": {"items": [{"X": 1}]}}]}})"),
       "a TFuzzySetValues keeps its items out"},
      {WithVariable(R"({"Items": {"items": [{"SetType": "fstSquare"}]}})"), "no value is named fstSquare"},
  };
  for (const TCase& Case : Cases) {
    TFuzzyLogic F;
    AddVariable(F, "kept", 0, 1);
    EXPECT_NE(ErrorOf([&] { platform::ReadComponentStream(Case.Text, F); }).find(Case.Message), std::string::npos)
        << ErrorOf([&] { platform::ReadComponentStream(Case.Text, F); }) << "\n  for: " << Case.Text;
    EXPECT_FALSE(F.IsLoading());
    EXPECT_EQ(F.GetItems().GetUpdateCount(), 0);
  }

  // A loading component does not make the shape of a stored type, whose points are stored too:
  // a stream may ask for curves of any number of points.  Nothing of a shape is left behind.
  TFuzzyLogic F;
  platform::ReadComponentStream(R"({"class": "TFuzzyLogic", "properties": {"NumFunctionValues": 100000,
      "Items": {"items": [{"Items": {"items": [{"SetType": "fstGrowthCurve", "Points": [[0, 0], [1, 1]]}]}}]}}})",
                                F);
  const TFuzzySet& Set = *F.GetItems().GetItem(0)->GetItems().GetItem(0);
  EXPECT_EQ(Set.GetSetType(), fstGrowthCurve);
  EXPECT_EQ(Set.GetInflectionPoint(), 0);
  EXPECT_TRUE(PointsAre(Set, {{0, 0}, {1, 1}}));
}
