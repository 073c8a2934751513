#include <gtest/gtest.h>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/facts/Fact.h"
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

// A call that answers 1, 2, 3, ... on successive executions.
class TCounterCall final : public TFunCallBase {
  PLATFORM_CLASS(TCounterCall, TFunCallBase)
 public:
  void Execute(platform::TObject*, IIEValue& Result) override { Result = NewInteger(++Count); }
  std::string GetToString() const override { return "(counter)"; }
  int Count = 0;

 protected:
  platform::ICloneable DoClone() const override { return MakeRef<TCounterCall>(); }
};

IFactTemplate Person(platform::TComponent* Owner = nullptr) {
  IFactTemplate T = MakeRef<TFactTemplate>(Owner, "person");
  T->AddSlot("name", NewAtom("nobody"));
  T->AddSlot("age", NewInteger(0));
  T->AddMultiSlot("tags", FCNilList);
  return T;
}

}  // namespace

TEST(FactTemplateShape, OrderedOnlyWithTheSingleDataSlot) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "point");
  EXPECT_FALSE(T->IsOrdered());
  T->AddMultiSlot("__Data", FCNilList);
  EXPECT_TRUE(T->IsOrdered());
  T->AddSlot("x", NewInteger(0));
  EXPECT_FALSE(T->IsOrdered());
  T->RemoveSlot("__Data");
  EXPECT_FALSE(T->IsOrdered());  // one slot, but not the implied one

  // Registering a template without slots gives it the implied multislot.
  TInferenceEngine Engine;
  IFactTemplate Bare = MakeRef<TFactTemplate>(&Engine, "bare");
  Engine.GetFactTemplates().Add(Bare);
  EXPECT_TRUE(Bare->IsOrdered());
  EXPECT_TRUE(Bare->GetSlot("__Data")->IsMultiSlot());
}

TEST(FactTemplateShape, SlotsKeepNameOrderAndRenamesResort) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "t");
  T->AddSlot("b", NewAtom("x"));
  T->AddSlot("C", NewAtom("x"));
  T->AddSlot("a", NewAtom("x"));
  EXPECT_EQ(T->GetSlotNames(), (std::vector<std::string>{"a", "b", "C"}));
  const uint32_t Hash = T->GetHashCode();
  T->GetSlot("a")->SetName("d");
  EXPECT_EQ(T->GetSlotNames(), (std::vector<std::string>{"b", "C", "d"}));
  EXPECT_NE(T->GetHashCode(), Hash);
  EXPECT_EQ(T->GetSlot("d")->GetTemplate(), T.get());
  EXPECT_FALSE(T->ContainsSlot("a"));
  EXPECT_FALSE(T->ContainsSlot("c"));  // keys are exact
  EXPECT_EQ(ErrorOf([&] { T->GetSlot("zz"); }), "No such slot name: \"zz\"");
  EXPECT_EQ(ErrorOf([&] { T->RemoveSlot("zz"); }), "No such slot name: \"zz\"");
  EXPECT_EQ(ErrorOf([&] { T->SetSlot("b", T->GetSlot("C")); }), "Index does not match fact slot name: b and C");
}

TEST(FactTemplateShape, NamesDifferingInCaseAreDifferentSlotsAtAnySize) {
  for (const int Extra : {0, 30}) {  // a few slots, and many
    IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "t");
    for (int I = 0; I < Extra; ++I) T->AddSlot("s" + std::to_string(I), NewAtom("x"));
    T->AddSlot("val", NewInteger(1));
    T->AddSlot("Val", NewInteger(2));
    T->AddSlot("VAL", NewInteger(3));
    EXPECT_EQ(T->GetSlot("val")->GetSlotDefault()->GetAsInteger(), 1);
    EXPECT_EQ(T->GetSlot("Val")->GetSlotDefault()->GetAsInteger(), 2);
    EXPECT_EQ(T->GetSlot("VAL")->GetSlotDefault()->GetAsInteger(), 3);
    EXPECT_EQ(T->GetSlot(T->IndexOfSlot("Val"))->GetName(), "Val");
    EXPECT_EQ(T->IndexOfSlot("vAL"), -1);
  }
}

TEST(FactTemplateShape, NamesRejectCharactersTheLanguageReserves) {
  IFactTemplate T = Person();
  EXPECT_EQ(ErrorOf([&] { T->GetSlot("age")->SetName("my age"); }),
            "my age contains unexpected character: \" \"");
  EXPECT_EQ(ErrorOf([&] { T->SetTemplateName("who?"); }), "who? contains unexpected character: \"?\"");
  for (const char* Bad : {"a'b", "a\"b", "#a", "a(b", "a)", "[a", "a]", "a:b", "$a", "a&b", "a;b", "<a", "a>"})
    EXPECT_NE(ErrorOf([&] { T->SetTemplateName(Bad); }), "(no error)") << Bad;
  EXPECT_EQ(T->GetTemplateName(), "person");
  EXPECT_TRUE(T->ContainsSlot("age"));
}

TEST(FactTemplateSlots, AddingChecksDefaultsAndExistingShapes) {
  IFactTemplate T = Person();
  EXPECT_EQ(ErrorOf([&] { T->AddSlot("x", nullptr); }), "Bad Slot Type");
  EXPECT_EQ(ErrorOf([&] { T->AddMultiSlot("x", nullptr); }), "Bad Slot Type");
  EXPECT_EQ(ErrorOf([&] { T->AddSlot("x", List({NewAtom("a")})); }), "Invalid default slot value: a ");
  EXPECT_EQ(ErrorOf([&] { T->AddMultiSlot("x", NewAtom("a")); }),
            "Invalid default value for a multislot, must be a multifield: a");
  EXPECT_EQ(ErrorOf([&] { T->AddMultiSlot("  ", FCNilList); }), "Bad Slot Name:   ");
  EXPECT_EQ(ErrorOf([&] { T->AddMultiSlot("age", FCNilList); }),
            "Invalid value for existing slot, slot is not multislot");
  EXPECT_EQ(ErrorOf([&] { T->AddSlot("tags", NewAtom("a")); }),
            "Invalid value for existing slot, multislot is not slot");
  EXPECT_FALSE(T->ContainsSlot("x"));

  // An existing slot only takes the new default.
  const IFactSlot Age = T->GetSlot("age");
  EXPECT_EQ(T->AddSlot("age", NewInteger(7)), Age);
  EXPECT_EQ(Age->GetSlotDefault()->GetAsInteger(), 7);
  EXPECT_EQ(T->GetSlotCount(), 3);
  EXPECT_EQ(Age->GetSlotType(), IESlotTypes);
  EXPECT_EQ(T->GetSlot("tags")->GetSlotType(), IESlotTypes | IEMultiSlotTypes);
}

TEST(FactTemplateSlots, DefaultsAreValidForTheAllowedKinds) {
  IFactTemplate T = Person();
  const IFactSlot Age = T->GetSlot("age");
  Age->SetSlotType({dtInteger, dtFloat});
  EXPECT_EQ(Age->CreateValidDefault(false)->GetDType(), dtInteger);
  Age->SetSlotType({dtString});
  // The old default (an integer) is no longer valid: the slot takes a valid one.
  EXPECT_EQ(Age->GetSlotDefault()->GetDType(), dtString);
  EXPECT_EQ(Age->GetSlotDefault()->GetAsString(), "");
  EXPECT_EQ(T->GetSlot("tags")->CreateValidDefault(true)->GetAsList()->GetValueCount(), 0);
  Age->SetSlotType({dtFactId});
  EXPECT_EQ(Age->CreateValidDefault(false)->GetDType(), dtFactId);
  Age->SetSlotType({dtFuzzy});
  EXPECT_EQ(Age->CreateValidDefault(false), FCNil);
  EXPECT_TRUE(Age->IsFuzzy());
  EXPECT_TRUE(T->IsFuzzy());

  EXPECT_EQ(ErrorOf([&] { Age->SetSlotType({dtFuzzy, dtAtom}); }), "Cannot mix fuzzy type with other primitive types");
  EXPECT_EQ(Age->GetSlotType(), TIETypes{dtFuzzy});
  T->GetSlot("tags")->SetSlotType({dtFuzzy, dtList, dtMultiSlot});  // a fuzzy multislot is fine
}

TEST(FactTemplateSlots, ValidityAndMessages) {
  IFactTemplate T = Person();
  const IFactSlot Age = T->GetSlot("age");
  Age->SetSlotType({dtInteger});
  EXPECT_TRUE(Age->IsValid(nullptr));
  EXPECT_TRUE(Age->IsValid(FCNil));  // nil stands for "no value" in a single slot
  EXPECT_TRUE(Age->IsValid(NewValue("x", dtVariable)));
  EXPECT_FALSE(Age->IsValid(NewAtom("abc")));
  EXPECT_EQ(Age->GetInvalidValueString(*NewAtom("abc")),
            "Not a INTEGER type.  Value (abc) is a dtAtom type for age slot");
  EXPECT_EQ(Age->GetInvalidValueString(*NewInteger(3)), "");

  const IFactSlot Tags = T->GetSlot("tags");
  Tags->SetSlotType(TIETypes{dtAtom} | IEMultiSlotTypes);
  EXPECT_TRUE(Tags->IsValid(FCNilList));
  EXPECT_FALSE(Tags->IsValid(NewInteger(1)));
  const IIEValue Mixed = List({NewAtom("a"), NewInteger(2)});
  EXPECT_FALSE(Tags->IsValid(Mixed));
  EXPECT_EQ(Tags->GetInvalidValueString(*Mixed),
            "Not a ATOM, LIST, MULTISLOT type.  Value (a 2 ) is a dtInteger (2) type for tags slot");

  // With a defined type the type decides and words the reason.
  IIEDefinedType Colors = MakeRef<TIEDefinedType>();
  Colors->SetName("color");
  Colors->SetBaseTypes({dtAtom});
  Colors->SetConstraints({vcAtom});
  Colors->AddConstraint(*NewAtom("red"));
  const IFactSlot Name = T->GetSlot("name");
  Name->SetExtendedTypeInfo(Colors);
  EXPECT_EQ(Name->GetSlotType(), TIETypes{dtAtom});
  EXPECT_EQ(Name->GetSlotDefault()->GetAsString(), "red");  // "nobody" was not allowed
  EXPECT_EQ(Name->GetInvalidValueString(*NewAtom("blue")),
            "Value \"blue\" is not valid, Not in allowed values for name slot");
  // A multislot given a type stays a multislot.
  Tags->SetExtendedTypeInfo(Colors);
  EXPECT_TRUE(Tags->IsMultiSlot());
}

TEST(FactTemplateSlots, DynamicChecksGuardDefaults) {
  TInferenceEngine Engine;
  Engine.SetTypeChecks({tcStatic, tcDynamic});
  IFactTemplate T = Person(&Engine);
  const IFactSlot Age = T->GetSlot("age");
  Age->SetSlotType({dtInteger});
  EXPECT_EQ(ErrorOf([&] { Age->SetSlotDefault(NewAtom("abc")); }), "Invalid default slot value: abc");
  EXPECT_EQ(Age->GetSlotDefault()->GetAsInteger(), 0);
  // The stored default is a private copy, watched for changes.
  const IIEValue Mine = NewInteger(5);
  Age->SetSlotDefault(Mine);
  EXPECT_NE(Age->GetSlotDefault(), Mine);
  EXPECT_EQ(ErrorOf([&] { Age->GetSlotDefault()->SetAsAtom("abc"); }), "Value \"abc\" is not valid, age");
  // Shared constants are kept as they are.
  T->GetSlot("name")->SetSlotDefault(FCTrue);
  EXPECT_EQ(T->GetSlot("name")->GetSlotDefault(), FCTrue);
}

TEST(FactTemplateSlots, DynamicDefaultsAreEvaluatedForEveryFact) {
  TInferenceEngine Engine;
  IFactTemplate T = MakeRef<TFactTemplate>(&Engine, "ticket");
  const IFactSlot Serial = T->AddSlot("serial", MakeRef<TIEValue>(MakeRef<TCounterCall>()));
  Serial->SetDefaultDynamic(true);
  T->AddSlot("fixed", MakeRef<TIEValue>(MakeRef<TCounterCall>()));
  IFact First = T->NewFact();
  IFact Second = T->NewFact();
  EXPECT_EQ(First->GetValue("serial")->GetAsInteger(), 1);
  EXPECT_EQ(Second->GetValue("serial")->GetAsInteger(), 2);
  // A static default is copied as written, call and all.
  EXPECT_EQ(First->GetValue("fixed")->GetDType(), dtFunCall);
  EXPECT_EQ(ErrorOf([&] {
              IFact Alien = MakeRef<TFact>(Person());
              T->FillFactWithDefaults(*Alien);
            }),
            "Unable to assign slot values, fact templates are different: person and ticket");
  EXPECT_EQ(ErrorOf([&] {
              TFact Bare;
              T->FillFactWithDefaults(Bare);
            }),
            "Fact Template is missing");
}

TEST(FactTemplateEquality, SameNameAndSlotsInAnyOrder) {
  IFactTemplate A = MakeRef<TFactTemplate>(nullptr, "p");
  A->AddSlot("x", NewInteger(1));
  A->AddSlot("y", NewAtom("a"));
  IFactTemplate B = MakeRef<TFactTemplate>(nullptr, "p");
  B->AddSlot("y", NewAtom("a"));
  B->AddSlot("x", NewFloat(1.0));  // defaults compare leniently
  EXPECT_TRUE(A->Equals(B.get()));
  EXPECT_EQ(A->GetHashCode(), B->GetHashCode());
  B->GetSlot("x")->SetSlotType({dtInteger, dtFloat});
  EXPECT_FALSE(A->Equals(B.get()));
  IFactTemplate C = MakeRef<TFactTemplate>(nullptr, "P");
  C->AddSlot("x", NewInteger(1));
  C->AddSlot("y", NewAtom("a"));
  EXPECT_FALSE(A->Equals(C.get()));
  EXPECT_FALSE(A->Equals(static_cast<const TFactTemplate*>(nullptr)));
  // Defaults of kinds that cannot be compared make slots differ rather than fail.
  IFactTemplate D = MakeRef<TFactTemplate>(nullptr, "p");
  D->AddSlot("x", NewAtom("one"));
  D->AddSlot("y", NewAtom("a"));
  EXPECT_FALSE(A->Equals(D.get()));
}

TEST(FactTemplateCopying, CloneAssignAndExtend) {
  TInferenceEngine Engine;
  IFactTemplate T = Person(&Engine);
  T->SetComment("people");
  T->SetBackwardChaining(true);
  Engine.GetFactTemplates().Add(T);
  IFactTemplate Copy = T->Clone();
  EXPECT_EQ(Copy->GetTemplateName(), "person");
  EXPECT_TRUE(Copy->Equals(T.get()));
  EXPECT_TRUE(Copy->IsBackwardChaining());
  EXPECT_NE(Copy->GetSlot("age"), T->GetSlot("age"));
  EXPECT_NE(Copy->GetSlot("age")->GetSlotDefault(), T->GetSlot("age")->GetSlotDefault());
  EXPECT_EQ(Engine.FindFactTemplate("person"), T);  // the clone is not registered

  IFactTemplate Student = MakeRef<TFactTemplate>(&Engine, "a student", "student", T);
  EXPECT_EQ(Student->GetParent(), T);
  EXPECT_EQ(Student->GetComment(), "a student");
  EXPECT_EQ(Student->GetSlotCount(), 3);
  IFactTemplate Foreign = MakeRef<TFactTemplate>(nullptr, "", "student", T);
  EXPECT_FALSE(Foreign->GetParent());
}

TEST(EngineTemplates, RegistryLookupsRenamesAndDuplicates) {
  TInferenceEngine Engine;
  std::vector<std::string> Events;
  Engine.OnNewFactTemplate = [&](TInferenceEngine*, const IFactTemplate& T) { Events.push_back("+" + T->GetTemplateName()); };
  Engine.OnRemoveFactTemplate = [&](TInferenceEngine*, const IFactTemplate& T) { Events.push_back("-" + T->GetTemplateName()); };
  IFactTemplate Implied = Engine.CreateFactTemplate("goal");
  EXPECT_EQ(Implied->GetComment(), "(Implied)");
  EXPECT_TRUE(Implied->IsOrdered());
  EXPECT_EQ(Engine.CreateFactTemplate("goal"), Implied);
  EXPECT_FALSE(Engine.FindFactTemplate("Goal"));

  Implied->SetTemplateName("target");
  EXPECT_EQ(Engine.FindFactTemplate("target"), Implied);
  EXPECT_FALSE(Engine.FindFactTemplate("goal"));
  EXPECT_FALSE(Engine.GetUpdatingHT());

  IFactTemplate Other = MakeRef<TFactTemplate>(&Engine, "target");
  Engine.SetDuplicateConstructs(dcIgnore);
  Engine.GetFactTemplates().Add(Other);
  EXPECT_EQ(Engine.FindFactTemplate("target"), Implied);
  Engine.SetDuplicateConstructs(dcError);
  EXPECT_EQ(ErrorOf([&] { Engine.GetFactTemplates().Add(Other); }), "Fact Template Name already exists: \"target\"");
  Engine.GetFactTemplates().Add(Implied);  // the registered object itself is no duplicate
  Engine.SetDuplicateConstructs(dcOverwrite);
  Engine.GetFactTemplates().Add(Other);
  EXPECT_EQ(Engine.FindFactTemplate("target"), Other);
  // A rename is reported before the template takes its new name.
  EXPECT_EQ(Events, (std::vector<std::string>{"+goal", "-goal", "+goal", "-target"}));
}

TEST(EngineSymbols, GeneratedSymbolsNeverRepeat) {
  TInferenceEngine Engine;
  const std::string First = Engine.GenerateSymbol("gen");
  const std::string Second = Engine.GenerateSymbol("gen");
  EXPECT_EQ(First, "gen1");
  EXPECT_EQ(Second, "gen2");
  Engine.SetSymbolIndex(0);  // going back only moves on
  EXPECT_EQ(Engine.GetSymbolIndex(), 4);
  Engine.SetSymbolIndex(100);
  EXPECT_EQ(Engine.GenerateSymbol("_blank_"), "_blank_100");
}

TEST(EngineTemplates, TemplatesMayOutliveTheirEngine) {
  IFactTemplate Kept;
  IFact Fact;
  {
    TInferenceEngine Engine;
    Engine.SetTypeChecks({tcDynamic});
    Kept = Engine.CreateFactTemplate("survivor");
    Fact = Kept->NewFact();
  }
  EXPECT_FALSE(Kept->GetEngine());
  Kept->SetTemplateName("still-here");
  Fact->SetValue("__Data", NewAtom("x"));  // no engine: no checks, no crash
  EXPECT_EQ(Fact->ToString(), "(still-here x)");
}

TEST(FactTemplateText, SlotDefinitionsAndTemplates) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "order");
  T->SetComment("an order");
  const IFactSlot Id = T->AddSlot("id", FCNil);
  EXPECT_EQ(Id->GetToString(), "(slot id )");  // all kinds, no default: no clauses
  const IFactSlot Qty = T->AddSlot("qty", NewInteger(1));
  Qty->SetSlotType({dtInteger, dtVariable});
  EXPECT_EQ(Qty->GetToString(), "(slot qty (type INTEGER)\r\n        (default 1) )");
  Qty->SetDefaultDynamic(true);
  EXPECT_EQ(Qty->GetToString(), "(slot qty (type INTEGER)\r\n        (default-dynamic 1) )");
  const IFactSlot Items = T->AddMultiSlot("items", List({NewAtom("a"), NewString("b")}));
  EXPECT_EQ(Items->GetToString(), "(multislot items (default a \"b\" ) )");
  Items->SetSlotType(TIETypes{dtAtom} | IEMultiSlotTypes);
  Items->SetSlotDefault(FCNilList);
  EXPECT_EQ(Items->GetToString(), "(multislot items (type ATOM) )");

  IIEDefinedType Size = MakeRef<TIEDefinedType>();
  Size->SetName("size");
  Size->SetBaseTypes({dtAtom});
  const IFactSlot Box = T->AddSlot("box", NewAtom("big"));
  Box->SetExtendedTypeInfo(Size);
  EXPECT_EQ(Box->GetToString(), "(slot box (type size)        (default big) )");

  EXPECT_EQ(T->GetToString(),
            "(deftemplate order \"an order\"\r\n"
            "    (slot box (type size)        (default big) )\r\n"
            "    (slot id )\r\n"
            "    (multislot items (type ATOM) )\r\n"
            "    (slot qty (type INTEGER)\r\n            (default-dynamic 1) )\r\n"
            ")");

  IFactTemplate Child = MakeRef<TFactTemplate>(nullptr, "", "rush", T);
  EXPECT_EQ(Child->GetToString().rfind("(deftemplate rush\r\n    extends order\r\n    (slot box", 0), 0u);
  TInferenceEngine Engine;
  IFactTemplate Base = Person(&Engine);
  IFactTemplate Extended = MakeRef<TFactTemplate>(&Engine, "", "student", Base);
  EXPECT_EQ(Extended->GetToString().rfind("(deftemplate student\r\n    extends person\r\n    (slot age ", 0), 0u);

  // An ordered template whose data slot has a named type reads "is-a".
  IFactTemplate Sizes = MakeRef<TFactTemplate>(nullptr, "sizes");
  Sizes->AddMultiSlot("__Data", FCNilList)->SetExtendedTypeInfo(Size);
  EXPECT_EQ(Sizes->GetToString(), "(deftemplate sizes is-a size)");
}
