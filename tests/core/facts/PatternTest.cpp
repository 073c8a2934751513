#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/facts/IEPattern.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/values/ValueVector.h"
#include "platform/Component.h"

using namespace rulecore;
using platform::MakeRef;
using platform::Ref;
using rulecore::testing::ErrorOf;

namespace {

// A call that prints as "(name arg ...)" and answers a fixed result.
class TFakeCall final : public TFunCallBase {
  PLATFORM_CLASS(TFakeCall, TFunCallBase)
 public:
  TFakeCall(std::string Name, std::vector<IIEValue> Args, IIEValue Result = nullptr)
      : Name_(std::move(Name)), Args_(std::move(Args)), Result_(std::move(Result)) {}

  void Execute(platform::TObject* Context, IIEValue& Result) override {
    LastContext = Context;
    Result = Result_;
  }
  std::string GetToString() const override {
    std::string Text = "(" + Name_;
    for (const IIEValue& A : Args_) Text += " " + A->GetToString();
    return Text + ")";
  }
  bool Equals(const platform::TCloneable* Other) const override {
    const auto* Call = dynamic_cast<const TFakeCall*>(Other);
    return Call && Call->GetToString() == GetToString();
  }
  const std::vector<IIEValue>& Args() const { return Args_; }
  platform::TObject* LastContext = nullptr;

 protected:
  platform::ICloneable DoClone() const override { return MakeRef<TFakeCall>(Name_, Args_, Result_); }

 private:
  std::string Name_;
  std::vector<IIEValue> Args_;
  IIEValue Result_;
};

IIEValue Call(const std::string& Name, std::vector<IIEValue> Args = {}, IIEValue Result = nullptr) {
  return MakeRef<TIEValue>(Ref<TFunCallBase>(MakeRef<TFakeCall>(Name, std::move(Args), std::move(Result))));
}

IIEValue Var(const std::string& Name) { return NewValue(Name, dtVariable); }

// A rule as the pattern sees it: it holds patterns, records bindings, counts change notices,
// names symbols from a counter and builds fake calls.
class TFakeRule final : public platform::TComponent,
                        public IPatternOwner,
                        public ISymbolGenerator,
                        public IFunCallFactory {
 public:
  struct TRecorded {
    std::string Name;
    int32_t FactIndex;
    std::string Slot;
    int32_t SubIndex;
  };

  std::vector<TIEPattern*> Patterns;
  std::vector<TRecorded> Bindings;
  int Changes = 0;
  int Symbols = 0;
  bool HasEngine = true;

  int32_t IndexOfPattern(const TIEPattern& Pattern) const override {
    for (size_t I = 0; I < Patterns.size(); ++I)
      if (Patterns[I] == &Pattern) return static_cast<int32_t>(I);
    return -1;
  }
  const TBindingInfo& AddBinding(std::string_view Name, int32_t FactIndex, std::string_view SlotIndex,
                                 int32_t SubIndex) override {
    Bindings.push_back({std::string(Name), FactIndex, std::string(SlotIndex), SubIndex});
    Infos_.push_back(std::make_unique<TBindingInfo>(FactIndex, std::string(SlotIndex), SubIndex));
    return *Infos_.back();
  }
  void Change(TIEPattern&) override { ++Changes; }
  ISymbolGenerator* GetSymbolGenerator() override { return HasEngine ? this : nullptr; }
  IFunCallFactory* GetFunCallFactory() override { return HasEngine ? this : nullptr; }
  std::string GenerateSymbol(std::string_view Prefix) override {
    return std::string(Prefix) + std::to_string(Symbols++);
  }
  Ref<TFunCallBase> NewFunCall(std::string_view Name, std::vector<IIEValue> Args) override {
    return MakeRef<TFakeCall>(std::string(Name), std::move(Args));
  }

 private:
  std::vector<std::unique_ptr<TBindingInfo>> Infos_;
};

// A join node's view: the current fact and the facts of the token by position.
class TFakeJoinContext final : public platform::TObject, public IJoinTestContext {
 public:
  IFact Current;
  std::vector<IFact> Token;
  TFact* GetCurrentFact() override { return Current.get(); }
  TFact* GetTokenFact(int32_t Index) override {
    return Index >= 0 && Index < static_cast<int32_t>(Token.size()) ? Token[static_cast<size_t>(Index)].get() : nullptr;
  }
};

// (deftemplate p (slot a) (slot b) (multislot m))
IFactTemplate PTemplate() {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, "p");
  T->AddSlot("b", NewAtom("x"));
  T->AddSlot("a", NewAtom("x"));
  T->AddMultiSlot("m", FCNilList);
  return T;
}

IFactTemplate OrderedTemplate(const std::string& Name) {
  IFactTemplate T = MakeRef<TFactTemplate>(nullptr, Name);
  T->AddMultiSlot(std::string(SDefaultSlotName), FCNilList);
  return T;
}

IIEValue List(std::initializer_list<IIEValue> Items) {
  IValueVector L = NewList();
  for (const IIEValue& V : Items) L->Add(V);
  return MakeRef<TIEValue>(L);
}

// The texts of a slot's tests, for comparing whole lists at once.
std::vector<std::string> TestTexts(const TIEPattern& P, const std::string& Slot) {
  std::vector<std::string> Texts;
  if (const TSlotTests* Tests = P.GetSlotTests(P.IndexOfSlotName(Slot)))
    for (const auto& T : *Tests) Texts.push_back(T->ToString() + (T->GetConjunction() ? "" : " |"));
  return Texts;
}

}  // namespace

// =============================================================================================
// Slots, counts and change propagation
// =============================================================================================

TEST(PatternSlots, FollowTheTemplateAndRejectUnknownSlots) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  ASSERT_EQ(P.GetSlotCount(), 3);
  EXPECT_EQ(P.GetSlotName(0), "a");
  EXPECT_EQ(P.GetSlotName(2), "m");
  EXPECT_EQ(P.IndexOfSlotName("b"), 1);
  EXPECT_EQ(P.IndexOfSlotName("B"), -1);
  EXPECT_EQ(P.GetSlotLength(2), -1);
  EXPECT_EQ(P.GetSlotTests(0), nullptr);
  EXPECT_EQ(P.GetSlotTestCount(0), 0);

  EXPECT_EQ(ErrorOf([&] { P.AddTest("zz", NewAtom("red"), true, false); }), "No such slot name: \"zz\"");
  TIEPattern NoTemplate;
  EXPECT_EQ(ErrorOf([&] { NoTemplate.AddTest("a", NewAtom("red"), true, false); }), "Fact Template is missing");
  EXPECT_EQ(ErrorOf([&] { PrettyPrint(NoTemplate); }), "Fact Template is missing");
  EXPECT_EQ(P.GetTestCount(), 0);
}

TEST(PatternSlots, TestsKeepPrivateValuesAndTheirSettings) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  IIEValue Red = NewAtom("red");
  TIEPatternMatchTest* T = P.AddTest("m", Red, false, true, 2);
  Red->SetAsAtom("blue");  // the caller's value is not the test's
  EXPECT_EQ(T->GetSlotValue()->GetToString(), "red");
  EXPECT_EQ(T->GetSlotTestType(), sttNotEquals);
  EXPECT_FALSE(T->GetConjunction());
  EXPECT_EQ(T->GetMultiSlotSubIndex(), 2);
  EXPECT_EQ(T->GetPattern(), &P);
  EXPECT_EQ(P.GetSlotTest(2, 0), T);
  EXPECT_THROW(P.GetSlotTest(2, 1), platform::EListError);
  EXPECT_THROW(P.GetSlotTest(0, 0), platform::EListError);
}

TEST(PatternCounts, FollowInsertionsRemovalsAndConjunctionChanges) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  P.AddTest("a", NewAtom("red"), true, false);
  TIEPatternMatchTest* Blue = P.AddTest("a", NewAtom("blue"), false, false);
  P.AddTest("b", NewAtom("x"), false, true);
  EXPECT_EQ(P.GetTestCount(), 3);
  EXPECT_EQ(P.GetDisjunctionCount(), 2);

  Blue->SetConjunction(true);
  EXPECT_EQ(P.GetDisjunctionCount(), 1);
  Blue->SetConjunction(true);  // unchanged: not counted twice
  EXPECT_EQ(P.GetDisjunctionCount(), 1);

  // An extracted test is the caller's: changing it no longer moves the pattern's counts.
  std::unique_ptr<TIEPatternMatchTest> Out = P.GetSlotTests(1)->Extract(0);
  EXPECT_EQ(P.GetTestCount(), 2);
  EXPECT_EQ(P.GetDisjunctionCount(), 0);
  Out->SetConjunction(true);
  EXPECT_EQ(P.GetDisjunctionCount(), 0);
  EXPECT_EQ(Out->GetSlotTests(), nullptr);

  P.SetSlotTest(0, 0, P.CreatePatternMatchTest(&P, sttEquals, NewAtom("green"), NoSubIndex));
  EXPECT_EQ(P.GetSlotTest(0, 0)->GetSlotValue()->GetToString(), "green");
  EXPECT_EQ(P.GetTestCount(), 2);
  P.GetSlotTests(0)->Delete(0);
  P.GetSlotTests(0)->Clear();
  EXPECT_EQ(P.GetTestCount(), 0);
}

TEST(PatternChanges, ReachTheRuleAndOnChangeOutsideUpdatesOnly) {
  TFakeRule Rule;
  TIEPattern P(&Rule, 0, PTemplate(), "p");
  int Notices = 0;
  P.SetOnChange([&](platform::TObject* Sender) {
    EXPECT_EQ(Sender, &P);
    ++Notices;
  });

  P.SetUnique(true);
  P.SetUnique(true);  // unchanged
  P.SetExplicit(true);
  P.SetNegatedCount(1);
  P.SetBoundName("f");
  P.SetName("other");  // stored silently
  TIEPatternMatchTest* T = P.AddTest("a", NewAtom("red"), true, false);
  T->SetSlotValue(NewAtom("blue"));
  T->SetSlotTestType(sttNotEquals);
  EXPECT_EQ(Notices, 7);
  EXPECT_EQ(Rule.Changes, 7);

  P.BeginUpdate();
  P.BeginUpdate();
  P.SetNegatedCount(3);
  P.AddTest("b", NewAtom("x"), true, false);
  T->SetMultiSlotSubIndex(4);
  P.EndUpdate();
  EXPECT_EQ(Notices, 7);
  P.EndUpdate();  // the outermost end reports once
  EXPECT_EQ(Notices, 8);
  P.EndUpdate();  // unbalanced: ignored
  EXPECT_EQ(P.GetUpdateCount(), 0);
  EXPECT_EQ(Notices, 8);

  // A pattern without a rule still raises OnChange; a new owner counts as a change.
  TFakeRule Other;
  P.SetOwner(&Other);
  EXPECT_EQ(Other.Changes, 1);
  P.SetOwner(nullptr);
  EXPECT_EQ(Notices, 10);
  EXPECT_EQ(Other.Changes, 1);
}

TEST(PatternNegation, OddPositiveCountsNegate) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  EXPECT_FALSE(P.IsNegated());
  P.SetNegatedCount(1);
  EXPECT_TRUE(P.IsNegated());
  P.SetNegatedCount(2);
  EXPECT_FALSE(P.IsNegated());
  P.SetNegatedCount(3);
  EXPECT_TRUE(P.IsNegated());
  P.SetNegatedCount(-1);
  EXPECT_FALSE(P.IsNegated());
}

TEST(PatternBinding, OnlyANegatedTestElementRefusesABinding) {
  TIEPattern Test(nullptr, 1, PTemplate(), "test");
  EXPECT_EQ(ErrorOf([&] { Test.SetBoundName("f"); }), "Cannot bind a negated pattern to a variable");
  EXPECT_EQ(Test.GetBoundName(), "");
  Test.SetNegatedCount(2);
  Test.SetBoundName("f");
  EXPECT_EQ(Test.GetBoundName(), "f");

  TIEPattern Negated(nullptr, 1, PTemplate(), "p");
  Negated.SetBoundName("g");
  EXPECT_EQ(Negated.GetBoundName(), "g");
}

// =============================================================================================
// Test evaluation
// =============================================================================================

TEST(PatternMatchTestEvaluation, OnlyTheAtomFalseFails) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  platform::TObject Context;
  struct TCase {
    IIEValue Result;
    bool Equals;  // outcome with sttEquals
  } Cases[] = {{FCFalse, false},           {NewAtom("FALSE"), false}, {FCTrue, true},
               {NewString("FALSE"), true}, {NewAtom("false"), true},  {nullptr, true}};
  for (const TCase& C : Cases) {
    IIEValue Value = Call("f", {}, C.Result);
    TIEPatternMatchTest Positive(&P, Value, sttEquals);
    TIEPatternMatchTest Negative(&P, Value, sttNotEquals);
    const std::string Label = C.Result ? C.Result->GetToString() : "(nothing)";
    EXPECT_EQ(Positive.PerformTest(&Context), C.Equals) << Label;
    EXPECT_EQ(Negative.PerformTest(&Context), !C.Equals) << Label;
  }
  // The call runs in the context it is given.
  IIEValue Value = Call("f", {}, FCTrue);
  TIEPatternMatchTest T(&P, Value, sttEquals);
  T.PerformTest(&Context);
  EXPECT_EQ(T.GetSlotValue()->GetAsFunCall<TFakeCall>()->LastContext, &Context);
}

TEST(JoinTestEvaluation, ComparesSlotsAndFieldsOfTokenAndCurrentFact) {
  IFactTemplate T = PTemplate();
  TFakeJoinContext Context;
  IFact Earlier = MakeRef<TFact>(T);
  Earlier->SetValue("a", NewAtom("red"));
  Earlier->SetValue("m", List({NewAtom("x"), NewAtom("y"), NewAtom("z")}));
  Context.Current = MakeRef<TFact>(T);
  Context.Current->SetValue("b", NewAtom("red"));
  Context.Current->SetValue("m", List({NewAtom("z")}));
  Context.Token = {nullptr, Earlier};

  TIEJoinTest Slot(sttEquals, "a", "b", 1);
  EXPECT_EQ(Slot.GetJoinTestType(), tstSlot);
  EXPECT_TRUE(Slot.PerformTest(&Context));
  Context.Current->SetValue("b", NewAtom("RED"));  // strict: case counts
  EXPECT_FALSE(Slot.PerformTest(&Context));
  Slot.SetSlotTestType(sttNotEquals);
  EXPECT_TRUE(Slot.PerformTest(&Context));

  // Fields are 0-based; a field past the end of the list matches nothing.
  TIEJoinTest Field(sttEquals, "m", 2, "m", 0, 1);
  EXPECT_EQ(Field.GetJoinTestType(), tstMultiSlot);
  EXPECT_TRUE(Field.PerformTest(&Context));
  Field.SetLeftSubIndex(1);
  EXPECT_FALSE(Field.PerformTest(&Context));
  Field.SetLeftSubIndex(3);
  EXPECT_FALSE(Field.PerformTest(&Context));
  Field.SetLeftSubIndex(NoSubIndex);  // the whole list against one field
  EXPECT_FALSE(Field.PerformTest(&Context));

  // No fact at the token position (a negated pattern): nothing to compare, the test passes
  // before its sense is applied.
  TIEJoinTest Missing(sttEquals, "m", 0, "m", 0, 0);
  EXPECT_TRUE(Missing.PerformTest(&Context));
  Missing.SetSlotTestType(sttNotEquals);
  EXPECT_FALSE(Missing.PerformTest(&Context));
  TIEJoinTest MissingSlot(sttEquals, "a", "b", 5);
  EXPECT_TRUE(MissingSlot.PerformTest(&Context));

  platform::TObject NotAJoin;
  EXPECT_EQ(ErrorOf([&] { Slot.PerformTest(&NotAJoin); }), "No context found when trying to resolve a join test value");
  TIEJoinTest Unknown(sttEquals, "nope", "b", 1);
  EXPECT_EQ(ErrorOf([&] { Unknown.PerformTest(&Context); }), "No such slot name: \"nope\"");
}

// =============================================================================================
// Equality, text forms, copying of tests
// =============================================================================================

TEST(SlotTestEquality, NeedsSameClassSenseAndParts) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  TIEPatternMatchTest A(&P, NewAtom("red"), 1, sttEquals);
  TIEPatternMatchTest B(nullptr, NewAtom("red"), 1, sttEquals);
  EXPECT_TRUE(A.Equals(B)) << "the pattern is not part of a test's identity";
  B.SetConjunction(false);
  EXPECT_FALSE(A.Equals(B));
  B.SetConjunction(true);
  B.SetSlotValue(NewString("red"));
  EXPECT_FALSE(A.Equals(B)) << "values compare strictly";
  B.SetSlotValue(NewAtom("red"));
  B.SetMultiSlotSubIndex(0);
  EXPECT_FALSE(A.Equals(B));

  EXPECT_TRUE(A.Equals(true, 1, NewAtom("red")));
  EXPECT_FALSE(A.Equals(false, 1, NewAtom("red")));
  EXPECT_TRUE(A.Equals(true, true, NewAtom("red"), 1));
  EXPECT_FALSE(A.Equals(true, false, NewAtom("red"), 1));

  TIEJoinTest J1(sttEquals, "a", 0, "b", 1, 2);
  TIEJoinTest J2(sttEquals, "a", 0, "b", 1, 2);
  EXPECT_TRUE(J1.Equals(J2));
  J2.SetRightIndex("B");
  EXPECT_FALSE(J1.Equals(J2));
  TIEJoinTest J3(sttEquals, "a", "b", 2);
  EXPECT_FALSE(J3.Equals(TIEJoinTest(sttEquals, "a", -1, "b", -1, 2))) << "the join type counts";

  TIESlotTest Plain(sttEquals);
  EXPECT_FALSE(Plain.Equals(A));
  EXPECT_FALSE(A.Equals(Plain));
  EXPECT_FALSE(Plain.Equals(J1));
  EXPECT_TRUE(Plain.Equals(TIESlotTest(sttEquals)));
}

TEST(SlotTestText, NamesSenseIndicesAndValue) {
  EXPECT_EQ(TIESlotTest(sttNotEquals).ToString(), "<>");
  EXPECT_EQ(TIEPatternMatchTest(nullptr, NewAtom("red"), 2, sttEquals).ToString(), "= SubIdx: 2 Slot: red");
  EXPECT_EQ(TIEPatternMatchTest(nullptr).ToString(), "= SubIdx: -1");
  EXPECT_EQ(TIEJoinTest(sttNotEquals, "a", "b", 3).ToString(), "<> tstSlot TokenIdx: 3 Left: a Right: b");
  EXPECT_EQ(TIEJoinTest(sttEquals, "a", 0, "b", -1, 1).ToString(), "= tstMultiSlot TokenIdx: 1 Left: a 0 Right: b -1");
}

TEST(SlotTestCopy, ClonesKeepClassAndFields) {
  TIEJoinTest J(sttNotEquals, "a", 0, "b", 1, 2);
  std::unique_ptr<TIESlotTest> Copy = static_cast<const TIESlotTest&>(J).Clone();
  EXPECT_EQ(Copy->ClassName(), "TIEJoinTest");
  EXPECT_TRUE(Copy->Equals(J));

  TIEPatternMatchTest T(nullptr, List({NewAtom("x")}), 0, sttNotEquals);
  T.SetConjunction(false);
  std::unique_ptr<TIEPatternMatchTest> C = T.Clone();
  EXPECT_TRUE(C->Equals(T));
  EXPECT_NE(C->GetSlotValue().get(), T.GetSlotValue().get());
  TIEPattern P;
  EXPECT_THROW(P.Assign(J), platform::EConvertError);
}

TEST(ConvertToFunCall, ComparesValuesAndNegatesCalls) {
  TFakeRule Registry;
  IIEValue V = Var("v");
  EXPECT_EQ(TIEPatternMatchTest(nullptr, NewAtom("red"), sttEquals).ConvertToFunCall(Registry, V)->GetToString(),
            "(eq red ?v)");
  EXPECT_EQ(TIEPatternMatchTest(nullptr, NewInteger(3), sttNotEquals).ConvertToFunCall(Registry, V)->GetToString(),
            "(neq 3 ?v)");
  IIEValue Test = Call("> ?v 3");
  TIEPatternMatchTest Positive(nullptr, Test, sttEquals);
  EXPECT_EQ(Positive.ConvertToFunCall(Registry, V).get(), Positive.GetSlotValue()->GetInterface());
  EXPECT_EQ(TIEPatternMatchTest(nullptr, Test, sttNotEquals).ConvertToFunCall(Registry, V)->GetToString(),
            "(not (> ?v 3))");
}

// =============================================================================================
// Rewriting disjunctions
// =============================================================================================

TEST(PatternFixTests, AlternativesWithoutAVariableGetAnAnonymousAnchor) {
  TFakeRule Rule;
  TIEPattern Other(&Rule, 0, PTemplate(), "p");
  TIEPattern P(&Rule, 0, PTemplate(), "p");
  Rule.Patterns = {&Other, &P};
  P.AddTest("a", NewAtom("red"), true, false);
  P.AddTest("a", NewAtom("blue"), false, false);
  P.AddTest("b", NewAtom("x"), true, false);
  const int Before = Rule.Changes;

  P.FixTests();
  EXPECT_EQ(TestTexts(P, "a"),
            (std::vector<std::string>{"= SubIdx: -1 Slot: ?_blank_0",
                                      "= SubIdx: -1 Slot: (or (eq red ?_blank_0) (eq blue ?_blank_0))"}));
  EXPECT_EQ(TestTexts(P, "b"), (std::vector<std::string>{"= SubIdx: -1 Slot: x"}));
  ASSERT_EQ(Rule.Bindings.size(), 1u);
  EXPECT_EQ(Rule.Bindings[0].Name, "_blank_0");
  EXPECT_EQ(Rule.Bindings[0].FactIndex, 1);
  EXPECT_EQ(Rule.Bindings[0].Slot, "a");
  EXPECT_EQ(Rule.Bindings[0].SubIndex, -1);
  EXPECT_EQ(P.GetTestCount(), 3);
  EXPECT_EQ(P.GetDisjunctionCount(), 0);
  EXPECT_EQ(Rule.Changes, Before + 1) << "one change for the whole rewrite";

  P.FixTests();  // nothing left to rewrite
  EXPECT_EQ(Rule.Bindings.size(), 1u);
  EXPECT_EQ(Rule.Changes, Before + 1);
}

TEST(PatternFixTests, LeadingVariableAnchorsAndRunsBecomeAnd) {
  TFakeRule Rule;
  TIEPattern P(&Rule, 0, PTemplate(), "p");
  Rule.Patterns = {&P};
  // ?x&~red&~green|blue|:(f ?x)
  P.AddTest("a", Var("x"), true, false);
  P.AddTest("a", NewAtom("red"), true, true);
  P.AddTest("a", NewAtom("green"), true, true);
  P.AddTest("a", NewAtom("blue"), false, false);
  P.AddTest("a", Call("f ?x"), false, true);
  P.FixTests();
  EXPECT_EQ(TestTexts(P, "a"),
            (std::vector<std::string>{
                "= SubIdx: -1 Slot: ?x",
                "= SubIdx: -1 Slot: (or (and (neq red ?x) (neq green ?x)) (eq blue ?x) (not (f ?x)))"}));
  EXPECT_TRUE(Rule.Bindings.empty()) << "the rule binds ?x itself";
  EXPECT_EQ(Rule.Symbols, 0);
}

TEST(PatternFixTests, GroupsAreRunsOnTheSameField) {
  TFakeRule Rule;
  TIEPattern P(&Rule, 0, PTemplate(), "p");
  Rule.Patterns = {&P};
  // (m ?x&~red&~blue a|b): field 0 only conjunctions, field 1 alternatives
  P.AddTest("m", Var("x"), true, false, 0);
  P.AddTest("m", NewAtom("red"), true, true, 0);
  P.AddTest("m", NewAtom("blue"), true, true, 0);
  P.AddTest("m", NewAtom("a"), true, false, 1);
  P.AddTest("m", NewAtom("b"), false, false, 1);
  TIEPatternMatchTest* Kept = P.GetSlotTest(2, 1);
  P.FixTests();
  EXPECT_EQ(TestTexts(P, "m"), (std::vector<std::string>{"= SubIdx: 0 Slot: ?x", "<> SubIdx: 0 Slot: red",
                                                         "<> SubIdx: 0 Slot: blue", "= SubIdx: 1 Slot: ?_blank_0",
                                                         "= SubIdx: 1 Slot: (or (eq a ?_blank_0) (eq b ?_blank_0))"}));
  EXPECT_NE(P.GetSlotTest(2, 1), Kept) << "kept groups are rebuilt from clones";
  ASSERT_EQ(Rule.Bindings.size(), 1u);
  EXPECT_EQ(Rule.Bindings[0].SubIndex, 1);
  EXPECT_EQ(Rule.Bindings[0].Slot, "m");
}

TEST(PatternFixTests, ANegatedVariableIsNoAnchor) {
  TFakeRule Rule;
  TIEPattern P(&Rule, 0, PTemplate(), "p");
  Rule.Patterns = {&P};
  P.AddTest("a", Var("y"), true, true);  // ~?y|red
  P.AddTest("a", NewAtom("red"), false, false);
  P.FixTests();
  EXPECT_EQ(TestTexts(P, "a"),
            (std::vector<std::string>{"= SubIdx: -1 Slot: ?_blank_0",
                                      "= SubIdx: -1 Slot: (or (neq ?y ?_blank_0) (eq red ?_blank_0))"}));
}

TEST(PatternFixTests, FailuresLeaveThePatternAsItWas) {
  TIEPattern Alone(nullptr, 0, PTemplate(), "p");
  Alone.AddTest("a", NewAtom("red"), true, false);
  Alone.FixTests();  // no disjunction: nothing needs a rule
  Alone.AddTest("a", NewAtom("blue"), false, false);
  EXPECT_EQ(ErrorOf([&] { Alone.FixTests(); }), "Rule missing for pattern");

  TFakeRule Rule;
  TIEPattern P(&Rule, 0, PTemplate(), "p");
  P.AddTest("a", NewAtom("red"), true, false);
  P.AddTest("a", NewAtom("blue"), false, false);
  EXPECT_EQ(ErrorOf([&] { P.FixTests(); }), "Rule missing for pattern") << "the rule does not hold the pattern";
  Rule.Patterns = {&P};
  Rule.HasEngine = false;
  EXPECT_EQ(ErrorOf([&] { P.FixTests(); }), "Unknown/Undefined Inference Engine");
  EXPECT_EQ(TestTexts(P, "a"), (std::vector<std::string>{"= SubIdx: -1 Slot: red", "= SubIdx: -1 Slot: blue |"}));
  EXPECT_TRUE(Rule.Bindings.empty());
  EXPECT_EQ(P.GetDisjunctionCount(), 1);
  EXPECT_EQ(P.GetUpdateCount(), 0);
}

// =============================================================================================
// Copying patterns
// =============================================================================================

TEST(PatternCopy, RenamesAnonymousVariablesOnly) {
  TFakeRule Rule;
  Rule.Symbols = 7;
  TIEPattern Source(nullptr, 0, PTemplate(), "p");
  Source.AddTest("a", Var("_blank_3"), true, false);
  Source.AddTest("a", Var("x"), false, true);
  Source.AddTest("m", NewValue("_blank_$4", dtMultiVariable), true, false, 1);
  Source.AddTest("b", Var("other_blank_"), true, false);
  Source.SetSlotLength(Source.IndexOfSlotName("m"), 2);
  Source.SetBoundName("f");

  TIEPattern Copy(&Rule, 2, "q", Source);
  EXPECT_EQ(Copy.GetFactTemplate(), Source.GetFactTemplate());
  EXPECT_EQ(Copy.GetName(), "q");
  EXPECT_EQ(Copy.GetNegatedCount(), 2);
  EXPECT_EQ(Copy.GetBoundName(), "");
  EXPECT_EQ(TestTexts(Copy, "a"),
            (std::vector<std::string>{"= SubIdx: -1 Slot: ?_blank_7", "<> SubIdx: -1 Slot: ?x |"}));
  EXPECT_EQ(TestTexts(Copy, "m"), (std::vector<std::string>{"= SubIdx: 1 Slot: $?_blank_$8"}));
  EXPECT_EQ(TestTexts(Copy, "b"), (std::vector<std::string>{"= SubIdx: -1 Slot: ?other_blank_"}));
  EXPECT_EQ(Copy.GetSlotLength(Copy.IndexOfSlotName("m")), 2);
  EXPECT_EQ(Copy.GetTestCount(), 4);
  EXPECT_EQ(Copy.GetDisjunctionCount(), 1);
  EXPECT_EQ(Rule.Changes, 0) << "a pattern being built announces nothing";
  EXPECT_EQ(Copy.GetSlotTest(0, 0)->GetPattern(), &Copy);
}

TEST(PatternCopy, AssignAndCloneCopyEverythingWithoutRenaming) {
  TFakeRule Rule;
  TIEPattern Source(nullptr, 3, PTemplate(), "p");
  Source.SetComment("why");
  Source.SetBoundName("f");
  Source.SetUnique(true);
  Source.SetExplicit(true);
  Source.AddTest("a", Var("_blank_1"), true, false);
  Source.AddTest("a", NewAtom("red"), false, false);
  Source.SetSlotLength(Source.IndexOfSlotName("m"), 4);

  TIEPattern Target(&Rule, 0, OrderedTemplate("z"), "z");
  Target.AddTest("__Data", NewAtom("old"), true, false);
  const int Before = Rule.Changes;
  Target.Assign(Source);
  EXPECT_EQ(Rule.Changes, Before + 1) << "one change for the whole assignment";
  EXPECT_EQ(Target.GetComment(), "why");
  EXPECT_EQ(Target.GetBoundName(), "f");
  EXPECT_TRUE(Target.GetUnique());
  EXPECT_TRUE(Target.GetExplicit());
  EXPECT_EQ(Target.GetName(), "p");
  EXPECT_EQ(Target.GetNegatedCount(), 3);
  EXPECT_EQ(Target.GetFactTemplate(), Source.GetFactTemplate());
  EXPECT_EQ(Target.IndexOfSlotName("__Data"), -1);
  EXPECT_EQ(TestTexts(Target, "a"), TestTexts(Source, "a"));
  EXPECT_EQ(Target.GetSlotLength(Target.IndexOfSlotName("m")), 4);
  EXPECT_EQ(Target.GetTestCount(), 2);
  EXPECT_EQ(Target.GetDisjunctionCount(), 1);

  std::unique_ptr<TIEPattern> Clone = Source.Clone(&Rule);
  EXPECT_EQ(Clone->GetOwner(), &Rule);
  EXPECT_EQ(Clone->ClassName(), "TIEPattern");
  EXPECT_EQ(Clone->ToString(), Source.ToString());
  EXPECT_EQ(Rule.Changes, Before + 1) << "a clone announces nothing";
  Target.Assign(Target);
  EXPECT_EQ(Target.GetTestCount(), 2);
}

TEST(PatternCopy, CloneIntoAnotherEngineUsesThatEnginesTemplate) {
  TInferenceEngine Home;
  IFactTemplate T = PTemplate();
  T->SetComment("readings");
  TIEPattern Source(&Home, 0, T, "p");
  Source.AddTest("a", NewAtom("red"), true, false);

  std::unique_ptr<TIEPattern> Same = Source.Clone(nullptr);
  EXPECT_EQ(Same->GetFactTemplate(), T);

  TInferenceEngine Away;
  std::unique_ptr<TIEPattern> Moved = Source.Clone(&Away);
  const IFactTemplate& Made = Moved->GetFactTemplate();
  ASSERT_TRUE(Made);
  EXPECT_NE(Made, T);
  EXPECT_EQ(Away.FindFactTemplate("p"), Made);
  EXPECT_EQ(Made->GetEngine(), &Away);
  EXPECT_TRUE(Made->ContainsSlot("m"));
  EXPECT_EQ(Moved->ToString(), "(p (a red) )");

  // An engine that has the template already keeps its own.
  IFactTemplate Own = Away.CreateFactTemplate("q");
  TIEPattern OnQ(nullptr, 0, OrderedTemplate("q"), "q");
  EXPECT_EQ(OnQ.Clone(&Away)->GetFactTemplate(), Own);
}

// =============================================================================================
// Printing
// =============================================================================================

TEST(PatternPrinting, SlotsFieldTestsAndCalls) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  EXPECT_EQ(PrettyPrint(P), "(p )");
  P.AddTest("b", NewAtom("x"), true, false);
  P.AddTest("a", Var("x"), true, false);
  P.AddTest("a", NewAtom("red"), true, true);
  P.AddTest("a", NewAtom("blue"), false, false);
  P.AddTest("a", Call("> ?x 3"), true, false);
  P.AddTest("m", NewAtom("k"), true, false, 0);
  P.AddTest("m", NewValue("rest", dtMultiVariable), true, false, 1);
  EXPECT_EQ(PrettyPrint(P), "(p (a ?x&~red|blue&:(> ?x 3)) (b x) (m k $?rest) )");

  TIEPattern Test(nullptr, 0, OrderedTemplate("q"), "test");
  Test.AddTest("__Data", Call("> ?x 3"), true, false);
  EXPECT_EQ(PrettyPrint(Test), "(q (> ?x 3))");
}

TEST(PatternPrinting, SlotsWithoutTestTextGetAFreshVariable) {
  TFakeRule Rule;
  TIEPattern Ordered(nullptr, 0, OrderedTemplate("q"), "q");
  EXPECT_EQ(PrettyPrint(Ordered, &Rule), "(q $?__var0)");
  EXPECT_EQ(PrettyPrint(Ordered), "(q $?)");
  Ordered.AddTest("__Data", NewAtom("a"), true, false, 0);
  Ordered.AddTest("__Data", NewInteger(1), true, false, 1);
  EXPECT_EQ(PrettyPrint(Ordered, &Rule), "(q a 1)");

  TIEPattern P(nullptr, 0, PTemplate(), "p");
  P.AddTest("a", MakeRef<TIEValue>(), true, false);
  P.AddTest("m", MakeRef<TIEValue>(), true, false);
  EXPECT_EQ(PrettyPrint(P, &Rule), "(p (a ?__var1) (m $?__var2) )");
  EXPECT_EQ(PrettyPrint(P), "(p (a ?) (m $?) )");
}

TEST(PatternPrinting, WrappersCommentAndBinding) {
  TFakeRule Rule;
  TIEPattern P(&Rule, 0, OrderedTemplate("q"), "q");
  P.AddTest("__Data", NewAtom("a"), true, false);
  const std::string Inner = "(q a)";
  const std::pair<int, std::string> Negations[] = {{1, "(not " + Inner + ")"},
                                                   {2, "(exists " + Inner + ")"},
                                                   {3, "(not (exists " + Inner + "))"},
                                                   {4, "(not (not (exists " + Inner + ")))"}};
  for (const auto& [Count, Text] : Negations) {
    P.SetNegatedCount(Count);
    EXPECT_EQ(P.ToString(), Text) << Count;
  }
  P.SetNegatedCount(3);
  P.SetUnique(true);
  P.SetExplicit(true);
  EXPECT_EQ(P.ToString(), "(not (exists (explicit (unique " + Inner + "))))");

  P.SetNegatedCount(0);
  P.SetUnique(false);
  P.SetExplicit(false);
  P.SetBoundName("f");
  P.SetComment("  first line \r\n; already\r\n\r\nlast");
  EXPECT_EQ(P.ToString(), "?f <- ; first line\r\n; already\r\n\r\n; last\r\n" + Inner);
}
