#include <gtest/gtest.h>

#include <random>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/values/ValueVector.h"

using namespace rulecore;
using platform::MakeRef;
using rulecore::testing::ErrorOf;

namespace {

IIEValue List(std::initializer_list<IIEValue> Items) {
  IValueVector L = NewList();
  for (const IIEValue& V : Items) L->Add(V);
  return MakeRef<TIEValue>(L);
}

IFactTemplate Reading(platform::TComponent* Owner = nullptr) {
  IFactTemplate T = MakeRef<TFactTemplate>(Owner, "reading");
  T->AddSlot("sensor", NewAtom("s0"));
  T->AddSlot("value", NewFloat(0.0))->SetSlotType({dtFloat});
  T->AddSlot("count", NewInteger(0))->SetSlotType({dtInteger});
  return T;
}

IFactTemplate Ordered(const std::string& Name, platform::TComponent* Owner = nullptr) {
  IFactTemplate T = MakeRef<TFactTemplate>(Owner, Name);
  T->AddMultiSlot("__Data", FCNilList);
  return T;
}

// A template with a fuzzy slot whose type has the terms cold and hot.
IFactTemplate Weather(IFuzzyVariable& Variable) {
  IIEDefinedType Type = MakeRef<TIEDefinedType>();
  Type->SetName("temperature");
  Type->SetBaseTypes({dtFuzzy});
  Variable = Type->GetFuzzyType();
  vaguecore::SetUniverse(*Variable, 0, 100);
  Variable->Add("cold")->GetValues().SetPoints(std::vector<vaguecore::TFzyPoint>{{0, 1}, {50, 0}});
  Variable->Add("hot")->GetValues().SetPoints(std::vector<vaguecore::TFzyPoint>{{50, 0}, {100, 1}});
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "weather");
  T->AddSlot("city", NewAtom("x"));
  T->AddSlot("temp", FCNil)->SetExtendedTypeInfo(Type);
  return T;
}

}  // namespace

TEST(FactSlots, UnsetSlotsTakeTheirDefaultOnce) {
  IFactTemplate T = Reading();
  IFact F = MakeRef<TFact>(T);
  EXPECT_EQ(F->GetID(), -1);
  EXPECT_EQ(F->GetSlotValues().Count(), 0);
  const IIEValue First = F->GetValue("sensor");
  EXPECT_EQ(First->GetAsString(), "s0");
  EXPECT_NE(First, T->GetSlot("sensor")->GetSlotDefault());  // a copy of the default
  EXPECT_EQ(F->GetValue("sensor"), First);                   // stored: the same object again
  EXPECT_EQ(ErrorOf([&] { F->GetValue("colour"); }), "No such slot name: \"colour\"");
  EXPECT_EQ(ErrorOf([&] { F->SetValue("colour", NewAtom("x")); }), "No such slot name: \"colour\"");
  IIEValue Found;
  EXPECT_FALSE(F->ContainsKey("colour", Found));
  EXPECT_TRUE(F->ContainsKey("count", Found));
  EXPECT_EQ(Found->GetAsInteger(), 0);
  TFact Bare;
  EXPECT_EQ(ErrorOf([&] { Bare.GetValue("x"); }), "Fact Template is missing");
  EXPECT_EQ(ErrorOf([&] { Bare.SetValue("x", FCNil); }), "Fact Template is missing");
}

TEST(FactSlots, DynamicChecksConvertOrRefuse) {
  TInferenceEngine Engine;
  IFactTemplate T = Reading(&Engine);
  IFact F = T->NewFact();
  // Without dynamic checks anything is stored as given.
  F->SetValue("count", NewAtom("abc"));
  EXPECT_EQ(F->GetValue("count")->GetAsString(), "abc");

  Engine.SetTypeChecks({tcStatic, tcDynamic});
  const IIEValue Three = NewInteger(3);
  F->SetValue("value", Three);
  EXPECT_EQ(F->GetValue("value"), Three);  // the offered object itself, changed in place
  EXPECT_EQ(Three->GetDType(), dtFloat);
  EXPECT_EQ(Three->GetAsFloat(), 3.0);
  F->SetValue("count", NewInteger(4));
  EXPECT_EQ(ErrorOf([&] { F->SetValue("count", NewAtom("abc")); }),
            "Not a INTEGER type.  Value (abc) is a dtAtom type for count slot");
  EXPECT_EQ(F->GetValue("count")->GetAsInteger(), 4);  // the old value stays
  // A shared constant offered for conversion is copied, never changed.
  F->SetValue("value", FCZero);
  EXPECT_EQ(FCZero->GetDType(), FCZero->GetDType());
  EXPECT_EQ(F->GetValue("value")->GetDType(), dtFloat);
}

TEST(FactSlots, ACopyChecksItsValuesAsSettingThemWould) {
  TInferenceEngine Engine;
  IFactTemplate T = Reading(&Engine);
  IFact F = T->NewFact();
  F->SetValue("count", NewInteger(2));
  F->SetValue("value", NewInteger(7));  // stored as given: no checks yet
  Engine.SetTypeChecks({tcDynamic});
  IFact C = F->Clone();
  EXPECT_EQ(C->GetValue("value")->GetDType(), dtFloat);
  EXPECT_EQ(C->GetValue("value")->GetAsFloat(), 7.0);
  EXPECT_EQ(F->GetValue("value")->GetDType(), dtInteger);  // the source keeps its value
  EXPECT_EQ(C->GetValue("count")->GetAsInteger(), 2);
  EXPECT_EQ(C->GetSlotNames(), F->GetSlotNames());
  // An entry no check accepts fails the copy as setting it fails.
  Engine.SetTypeChecks({});
  F->SetValue("count", NewAtom("abc"));
  Engine.SetTypeChecks({tcDynamic});
  EXPECT_EQ(ErrorOf([&] { F->Clone(); }), "Not a INTEGER type.  Value (abc) is a dtAtom type for count slot");
}

TEST(FactSlots, LexemesBecomeFuzzyValuesOfTheSlotType) {
  TInferenceEngine Engine;
  Engine.SetTypeChecks({tcDynamic});
  IFuzzyVariable Variable;
  IFactTemplate Source = Weather(Variable);
  IFactTemplate T = MakeRef<TFactTemplate>(&Engine);
  T->Assign(*Source);
  IFact F = T->NewFact();
  F->SetValue("temp", NewAtom("hot"));
  const IIEValue V = F->GetValue("temp");
  ASSERT_EQ(V->GetDType(), dtFuzzy);
  EXPECT_EQ(V->GetAsFuzzy()->GetName(), "hot");
  F->SetValue("temp", NewString("very hot"));
  EXPECT_EQ(F->GetValue("temp")->GetDType(), dtFuzzy);
  EXPECT_EQ(Variable->GetFuzzySet("hot")->GetValues().GetCount(), 2);  // the term itself is untouched
  EXPECT_NE(ErrorOf([&] { F->SetValue("temp", NewAtom("lukewarm")); }), "(no error)");
}

TEST(FactEquality, ValuesDecideNotIdentifiersAndFuzzySlotsAreSkipped) {
  IFactTemplate T = Ordered("point");
  IFact A = T->NewFact();
  IFact B = T->NewFact();
  A->SetValue("__Data", List({NewInteger(1), NewInteger(2)}));
  B->SetValue("__Data", List({NewInteger(1), NewInteger(2)}));
  A->SetID(3);
  B->SetID(9);
  B->SetTag(5);
  EXPECT_TRUE(A->Equals(B.get()));
  EXPECT_EQ(A->GetHashCode(), B->GetHashCode());
  B->SetValue("__Data", List({NewInteger(1), NewFloat(2.0)}));
  EXPECT_FALSE(A->Equals(B.get()));

  // Equal values under two template objects of the same name are different facts.
  IFact C = Ordered("point")->NewFact();
  C->SetValue("__Data", List({NewInteger(1), NewInteger(2)}));
  EXPECT_FALSE(A->Equals(C.get()));

  IFuzzyVariable Variable;
  IFactTemplate W = Weather(Variable);
  IFact Hot = W->NewFact();
  IFact Cold = W->NewFact();
  Hot->SetValue("temp", MakeRef<TIEValue>(Variable->GetFuzzySet("hot")));
  Cold->SetValue("temp", MakeRef<TIEValue>(Variable->GetFuzzySet("cold")));
  EXPECT_TRUE(Hot->Equals(Cold.get()));
  EXPECT_NE(Hot->GetHashCode(), Cold->GetHashCode());  // the hash still covers fuzzy slots
  Cold->SetValue("city", NewAtom("y"));
  EXPECT_FALSE(Hot->Equals(Cold.get()));
}

TEST(FactEquality, EqualFactsHashEquallyWhateverTheirHistory) {
  IFactTemplate T = Reading();
  std::mt19937 Random(7);
  auto Pick = [&](int N) { return static_cast<int>(Random() % static_cast<unsigned>(N)); };
  for (int Round = 0; Round < 200; ++Round) {
    IFact A = MakeRef<TFact>(T);
    IFact B = T->NewFact();
    // Slots are written in a random order, some left to their defaults.
    for (const char* Slot : {"count", "sensor", "value"}) {
      if (Pick(3) == 0) continue;
      IIEValue V = std::string(Slot) == "count"   ? NewInteger(Pick(3))
                   : std::string(Slot) == "value" ? NewFloat(Pick(3) / 2.0)
                                                  : NewAtom(Pick(2) ? "s0" : "s1");
      A->SetValue(Slot, V);
      if (Pick(4) != 0) B->SetValue(Slot, V->Clone());
    }
    if (A->Equals(B.get())) {
      EXPECT_TRUE(B->Equals(A.get()));
      EXPECT_EQ(A->GetHashCode(), B->GetHashCode()) << A->ToString() << " / " << B->ToString();
    }
  }
}

TEST(FactText, IdentifierPaddingFollowsTheNextIdentifier) {
  TInferenceEngine Engine;
  IFactTemplate T = Ordered("item", &Engine);
  IFact F = T->NewFact();
  F->SetValue("__Data", List({NewAtom("a")}));
  F->SetID(7);
  Engine.SetNextFactId(9);
  EXPECT_EQ(F->GetToIDString(), "f-7 (item a )");
  Engine.SetNextFactId(125);
  EXPECT_EQ(F->GetToIDString(), "f-007 (item a )");
  IFact Loose = Ordered("item")->NewFact();
  Loose->SetID(7);
  EXPECT_EQ(Loose->GetToIDString(), "f-7 (item)");
}

TEST(FactText, FactsPrintTheirSlotsInNameOrder) {
  IFactTemplate T = Reading();
  IFact F = T->NewFact();
  F->SetValue("value", NewFloat(2.5));
  F->SetValue("sensor", NewAtom(""));  // empty text: the slot is left out
  EXPECT_EQ(F->ToString(), "(reading (count 0) (value 2.5000))");
  EXPECT_EQ(PrettyPrintSlotValue(*F, "count"), "(count 0)");
  TFact Loose;
  Loose.GetSlotValues().Put(MakeRef<TFactSlot>(), NewAtom("a"));
  IFactSlot Other = MakeRef<TFactSlot>();
  Other->SetName("b");
  Loose.GetSlotValues().Put(Other, NewAtom("b"));
  EXPECT_EQ(Loose.ToString(), "(a b )");
}

TEST(FactCopying, TemplatesValuesAndIdentity) {
  IFactTemplate T = Reading();
  IFact F = T->NewFact();
  F->SetValue("sensor", NewAtom("s9"));
  F->SetID(12);
  F->SetTag(3);
  IFact C = F->Clone();
  EXPECT_TRUE(C->Equals(F.get()));
  EXPECT_EQ(C->GetID(), 12);
  EXPECT_EQ(C->GetTag(), 3);
  EXPECT_NE(C->GetValue("sensor"), F->GetValue("sensor"));  // values are copies
  C->GetValue("sensor")->SetAsAtom("changed");
  EXPECT_EQ(F->GetValue("sensor")->GetAsString(), "s9");

  IFact Other = Ordered("x")->NewFact();
  EXPECT_EQ(ErrorOf([&] { Other->AssignValues(*F); }),
            "Unable to assign slot values, fact templates are different: x and reading");

  // Moving to another template keeps the shared slots and fills the rest.
  IFactTemplate Wider = Reading();
  Wider->AddSlot("unit", NewAtom("kelvin"));
  Wider->RemoveSlot("count");
  F->SetTemplate(Wider);
  EXPECT_EQ(F->GetValue("sensor")->GetAsString(), "s9");
  EXPECT_EQ(F->GetValue("unit")->GetAsString(), "kelvin");
  EXPECT_EQ(F->GetSlotNames(), (std::vector<std::string>{"sensor", "unit", "value"}));
  F->SetTemplate(nullptr);
  EXPECT_EQ(F->GetSlotValues().Count(), 0);
}

TEST(FactCopying, IntoAnotherEngineTakesItsTemplate) {
  TInferenceEngine Here, There;
  IFactTemplate Mine = Reading(&Here);
  Here.GetFactTemplates().Add(Mine);
  IFact F = Mine->NewFact();
  F->SetValue("count", NewInteger(5));
  IFact Copy = MakeRef<TFact>(Ordered("scratch", &There));
  Copy->Assign(*F);
  ASSERT_TRUE(Copy->GetTemplate());
  EXPECT_EQ(Copy->GetTemplate(), There.FindFactTemplate("reading"));
  EXPECT_NE(Copy->GetTemplate(), Mine);
  EXPECT_EQ(Copy->GetValue("count")->GetAsInteger(), 5);
  EXPECT_TRUE(Copy->GetTemplate()->Equals(Mine.get()));
}

// A fact made for its template has room for its slots in its own block; a wider template, a
// fact made by its constructor or a template changed later spill to the heap, and all of them
// read, compare and copy alike.
TEST(FactValues, RoomForTheTemplatesSlotsWhateverTheWidth) {
  for (int Width : {0, 1, 3, 8, 9, 20}) {
    IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "wide" + std::to_string(Width));
    for (int S = 0; S < Width; ++S) T->AddSlot("s" + std::to_string(S), NewInteger(S));
    IFact Made = TFact::Create(T);
    IFact Plain = MakeRef<TFact>(T);
    for (int S = 0; S < Width; ++S) {
      Made->SetValue("s" + std::to_string(S), NewInteger(100 + S));
      Plain->SetValue("s" + std::to_string(S), NewInteger(100 + S));
    }
    EXPECT_EQ(Made->GetSlotValues().Count(), Width);
    EXPECT_TRUE(Made->Equals(Plain.get())) << Width;
    EXPECT_EQ(Made->GetHashCode(), Plain->GetHashCode()) << Width;
    const auto* Data = Made->GetSlotValues().Entries().data();
    const auto* Block = reinterpret_cast<const unsigned char*>(Made.get());
    if (Width > 0 && Width <= 8) {  // the entries right after the fact
      EXPECT_EQ(reinterpret_cast<const unsigned char*>(Data), Block + sizeof(TFact)) << Width;
    }
    IFact Copy = Made->Clone();
    EXPECT_TRUE(Copy->Equals(Made.get())) << Width;
    IFact Again = TFact::Create(T, *Made);
    EXPECT_TRUE(Again->Equals(Made.get())) << Width;
    if (Width > 0) {
      EXPECT_EQ(Again->GetValue("s0")->GetAsInteger(), 100);
    }
  }
  // A fact given a wider template later keeps working past its room.
  IFactTemplate Narrow = MakeRef<TFactTemplate>(nullptr, "narrow");
  Narrow->AddSlot("a", NewInteger(1));
  IFactTemplate Wide = MakeRef<TFactTemplate>(nullptr, "narrow");
  for (const char* Name : {"a", "b", "c", "d"}) Wide->AddSlot(Name, NewInteger(2));
  IFact Fact = TFact::Create(Narrow);
  Fact->SetValue("a", NewInteger(5));
  Fact->SetTemplate(Wide);
  for (const char* Name : {"b", "c", "d"}) Fact->SetValue(Name, NewInteger(9));
  EXPECT_EQ(Fact->GetSlotValues().Count(), 4);
  EXPECT_EQ(Fact->GetValue("a")->GetAsInteger(), 5);
  EXPECT_EQ(Fact->GetValue("d")->GetAsInteger(), 9);
}

TEST(FactValues, EnumerationVisitsEveryEntryOnce) {
  IFact F = Reading()->NewFact();
  int Changes = 0;
  F->GetSlotValues().SetOnChange([&] { ++Changes; });
  F->SetValue("count", NewInteger(1));
  EXPECT_EQ(Changes, 1);
  TFactValueHashtableEnumerator E(F->GetSlotValues());
  EXPECT_EQ(E.GetCount(), 3);
  std::vector<std::string> Keys;
  while (E.HasMoreElements()) Keys.push_back(E.NextKey());
  std::sort(Keys.begin(), Keys.end());
  EXPECT_EQ(Keys, (std::vector<std::string>{"count", "sensor", "value"}));
  EXPECT_EQ(E.GetCount(), 0);
  EXPECT_THROW(E.NextElement(), platform::EListError);
  E.Reset();
  EXPECT_EQ(E.NextElement(), F->GetSlotValues().Entry(0).Value);
  EXPECT_EQ(E.CurrentKey(), F->GetSlotValues().Entry(0).Slot->GetName());
}

TEST(FactSets, LinesFactsAndTheirEngine) {
  auto Engine = std::make_unique<TInferenceEngine>();
  TFactSet* Set = new TFactSet(Engine.get());  // owned by the engine
  EXPECT_EQ(Set->GetFactSetName(), "FactSet");
  EXPECT_EQ(Set->GetEngine(), Engine.get());
  EXPECT_EQ(Engine->GetFactSetCount(), 1);
  IFactTemplate T = Ordered("item", Engine.get());
  IFact A = T->NewFact();
  A->SetValue("__Data", List({NewAtom("a")}));
  EXPECT_EQ(Set->AddFact(A), 0);
  Set->SetFactSetName("stock");
  Set->SetComment("what we hold");
  EXPECT_EQ(Set->ToString(), "(deffacts stock \"what we hold\"\r\n    (item a )\r\n)");
  EXPECT_EQ(Set->IndexOf(A.get()), 0);
  Set->Remove(A.get());
  EXPECT_EQ(Set->GetCount(), 0);
  Set->AddFact(A);

  TFactSet Standalone;
  Standalone.Assign(*Set);
  EXPECT_EQ(Standalone.GetCount(), 1);
  EXPECT_NE(Standalone.GetFact(0), A);  // a copy
  Standalone.SetEngine(Engine.get());
  EXPECT_EQ(Engine->GetFactSetCount(), 1);  // a set of the same name replaces the earlier one
  EXPECT_EQ(Set->GetEngine(), nullptr);
  EXPECT_FALSE(Set->GetFact(0));  // without an engine the line has no fact
  Set->Clear();
  EXPECT_THROW(Set->GetFact(0), platform::EListError);
  Engine.reset();  // frees the owned set and lets the other one go
  EXPECT_EQ(Standalone.GetEngine(), nullptr);
  EXPECT_FALSE(Standalone.GetFact(0));
  EXPECT_EQ(Standalone.GetLine(0), "(item a )");  // the text outlives the fact it was made from
}

TEST(FactSets, ManySetsJoinByNameAndARenamedOneIsStillReplaced) {
  TInferenceEngine Engine;
  std::string Text;
  for (int I = 0; I < 1000; ++I) Text += "(deffacts d" + std::to_string(I) + " (item " + std::to_string(I) + "))\n";
  Text += "(deffacts d500 (item again))\n";  // a set of a taken name replaces the earlier one
  Engine.Parse(Text, false);
  ASSERT_EQ(Engine.GetFactSetCount(), 1000);
  EXPECT_EQ(Engine.GetFactSet(999)->GetFactSetName(), "d500");
  EXPECT_NE(Engine.GetFactSet(999)->ToString().find("again"), std::string::npos);
  // A set renamed by the host is found under its new name by the next set of that name.
  TFactSet* Renamed = Engine.GetFactSet(10);
  ASSERT_EQ(Renamed->GetFactSetName(), "d10");
  Renamed->SetFactSetName("kept");
  Engine.Parse("(deffacts d10 (item new))\n", false);  // the old name is free: nothing leaves
  EXPECT_EQ(Engine.GetFactSetCount(), 1001);
  Engine.Parse("(deffacts kept (item newer))\n", false);
  EXPECT_EQ(Engine.GetFactSetCount(), 1001);
  int Kept = 0;
  for (int I = 0; I < Engine.GetFactSetCount(); ++I) Kept += Engine.GetFactSet(I)->GetFactSetName() == "kept";
  EXPECT_EQ(Kept, 1);
}

TEST(FactSlots, RememberedSlotPlaceFollowsRenamesAndLayouts) {
  IFactTemplate T = Reading();
  IFact A = T->NewFact();
  A->SetValue("count", NewInteger(7));
  TSlotPlace Place;
  const int First = FindSlotEntry(A->GetSlotValues(), "count", Place);
  ASSERT_GE(First, 0);
  EXPECT_EQ(A->GetSlotValues().Entry(First).Value->GetAsInteger(), 7);
  // Another fact of the template: the remembered place answers.
  IFact B = T->NewFact();
  B->SetValue("count", NewInteger(8));
  EXPECT_EQ(B->GetSlotValues().Entry(FindSlotEntry(B->GetSlotValues(), "count", Place)).Value->GetAsInteger(), 8);
  // A fact whose entries lie elsewhere (filled in another order) is looked up by name.
  IFact C = MakeRef<TFact>(T);
  C->SetValue("value", NewFloat(1.5));
  C->SetValue("count", NewInteger(9));
  const int InC = FindSlotEntry(C->GetSlotValues(), "count", Place);
  ASSERT_GE(InC, 0);
  EXPECT_NE(InC, First);
  EXPECT_EQ(C->GetSlotValues().Entry(InC).Value->GetAsInteger(), 9);
  EXPECT_EQ(FindSlotEntry(A->GetSlotValues(), "count", Place), First);
  // Renamed, the slot is no longer found under its old name, even at the remembered place.
  T->GetSlot("count")->SetName("total");
  EXPECT_EQ(FindSlotEntry(A->GetSlotValues(), "count", Place), -1);
  EXPECT_EQ(FindSlotEntry(A->GetSlotValues(), "total", Place), First);
}
