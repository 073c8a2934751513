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
#include "platform/Exceptions.h"

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
  void Execute(platform::TObject*, IIEValue& Result) override { Result = Result_; }
  std::string GetToString() const override {
    std::string Text = "(" + Name_;
    for (const IIEValue& A : Args_) Text += " " + A->GetToString();
    return Text + ")";
  }

 protected:
  platform::ICloneable DoClone() const override { return MakeRef<TFakeCall>(Name_, Args_, Result_); }

 private:
  std::string Name_;
  std::vector<IIEValue> Args_;
  IIEValue Result_;
};

IIEValue Call(const std::string& Name, IIEValue Result = nullptr) {
  return MakeRef<TIEValue>(Ref<TFunCallBase>(MakeRef<TFakeCall>(Name, std::vector<IIEValue>{}, std::move(Result))));
}
IIEValue Var(const std::string& Name) { return NewValue(Name, dtVariable); }

// A rule as a pattern sees it: holds patterns, records bindings, counts change notices, numbers
// symbols from a counter and builds fake calls.
class TFakeRule final : public platform::TComponent,
                        public IPatternOwner,
                        public ISymbolGenerator,
                        public IFunCallFactory {
 public:
  std::vector<TIEPattern*> Patterns;
  std::vector<std::string> Bindings;  // "name FactIndex slot SubIndex"
  int Changes = 0;
  int Symbols = 0;
  bool HasEngine = true;

  int32_t IndexOfPattern(const TIEPattern& Pattern) const override {
    for (size_t I = 0; I < Patterns.size(); ++I)
      if (Patterns[I] == &Pattern) return static_cast<int32_t>(I);
    return -1;
  }
  const TBindingInfo& AddBinding(std::string_view Name, int32_t FactIndex, std::string_view Slot,
                                 int32_t SubIndex) override {
    Infos_.push_back(std::make_unique<TBindingInfo>(FactIndex, std::string(Slot), SubIndex));
    Bindings.push_back(std::string(Name) + " " + Infos_.back()->GetToString());
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

// A join node's view: the current fact and the token's facts by position.
class TFakeJoinContext final : public platform::TObject, public IJoinTestContext {
 public:
  IFact Current;
  std::vector<IFact> Token;
  TFact* GetCurrentFact() override { return Current.get(); }
  TFact* GetTokenFact(int32_t I) override {
    return I >= 0 && I < static_cast<int32_t>(Token.size()) ? Token[static_cast<size_t>(I)].get() : nullptr;
  }
};

// (deftemplate p (slot a) (slot b) (multislot m)), slots declared out of order.
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

// The tests of a slot as texts, "|" marking those that start an alternative.
std::vector<std::string> TestTexts(const TIEPattern& P, const std::string& Slot) {
  std::vector<std::string> Texts;
  if (const TSlotTests* Tests = P.GetSlotTests(P.IndexOfSlotName(Slot)))
    for (const auto& T : *Tests) Texts.push_back(T->ToString() + (T->GetConjunction() ? "" : " |"));
  return Texts;
}
using TTexts = std::vector<std::string>;

}  // namespace

// =============================================================================================
// Slots, counts and change propagation
// =============================================================================================

TEST(PatternSlots, FollowTheTemplateAndKeepPrivateTests) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  ASSERT_EQ(P.GetSlotCount(), 3);
  EXPECT_EQ(P.GetSlotName(0), "a");
  EXPECT_EQ(P.IndexOfSlotName("m"), 2);
  EXPECT_EQ(P.GetSlotLength(2), -1);
  EXPECT_EQ(P.GetSlotTests(0), nullptr);

  IIEValue Red = NewAtom("red");
  TIEPatternMatchTest* T = P.AddTest("m", Red, false, true, 2);
  Red->SetAsAtom("blue");  // the caller's value is not the test's
  EXPECT_EQ(T->ToString(), "<> SubIdx: 2 Slot: red");
  EXPECT_FALSE(T->GetConjunction());
  EXPECT_EQ(T->GetPattern(), &P);
  EXPECT_EQ(P.GetSlotTest(2, 0), T);
  EXPECT_THROW(P.GetSlotTest(2, 1), platform::EListError);
  EXPECT_THROW(P.GetSlotTest(0, 0), platform::EListError);

  EXPECT_EQ(ErrorOf([&] { P.AddTest("zz", NewAtom("red"), true, false); }), "No such slot name: \"zz\"");
  TIEPattern NoTemplate;
  EXPECT_EQ(ErrorOf([&] { NoTemplate.AddTest("a", NewAtom("red"), true, false); }), "Fact Template is missing");
  EXPECT_EQ(ErrorOf([&] { PrettyPrint(NoTemplate); }), "Fact Template is missing");
}

TEST(PatternCounts, FollowInsertionsRemovalsAndConjunctionChanges) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  P.AddTest("a", NewAtom("red"), true, false);
  TIEPatternMatchTest* Blue = P.AddTest("a", NewAtom("blue"), false, false);
  P.AddTest("b", NewAtom("x"), false, true);
  EXPECT_EQ(P.GetTestCount(), 3);
  EXPECT_EQ(P.GetDisjunctionCount(), 2);
  Blue->SetConjunction(true);
  Blue->SetConjunction(true);  // unchanged: not counted twice
  EXPECT_EQ(P.GetDisjunctionCount(), 1);

  // An extracted test is the caller's: changing it no longer moves the pattern's counts.
  std::unique_ptr<TIEPatternMatchTest> Out = P.GetSlotTests(1)->Extract(0);
  EXPECT_EQ(P.GetTestCount(), 2);
  EXPECT_EQ(P.GetDisjunctionCount(), 0);
  Out->SetConjunction(true);
  EXPECT_EQ(P.GetDisjunctionCount(), 0);

  P.SetSlotTest(0, 0, P.CreatePatternMatchTest(&P, sttEquals, NewAtom("green"), NoSubIndex));
  EXPECT_EQ(TestTexts(P, "a"), (TTexts{"= SubIdx: -1 Slot: green", "= SubIdx: -1 Slot: blue"}));
  P.GetSlotTests(0)->Clear();
  EXPECT_EQ(P.GetTestCount(), 0);
}

TEST(PatternSlotTests, InsertAndRemoveKeepTheOrderInsideAndBeyondTheFirstTest) {
  // A slot's list holds its first test in its own block and moves to the heap from the second:
  // insertions at every position, and removals back to one and none, keep order and counts.
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  TSlotTests* Tests = nullptr;
  P.AddTest("a", NewAtom("two"), true, false);
  Tests = P.GetSlotTests(P.IndexOfSlotName("a"));
  ASSERT_TRUE(Tests);
  auto Make = [&P](const char* Text) { return P.CreatePatternMatchTest(&P, sttEquals, NewAtom(Text), NoSubIndex); };
  Tests->Insert(0, Make("one"));
  Tests->Insert(2, Make("four"));
  Tests->Insert(2, Make("three"));
  EXPECT_EQ(TestTexts(P, "a"), (TTexts{"= SubIdx: -1 Slot: one", "= SubIdx: -1 Slot: two",
                                        "= SubIdx: -1 Slot: three", "= SubIdx: -1 Slot: four"}));
  EXPECT_EQ(P.GetTestCount(), 4);
  EXPECT_EQ(Tests->IndexOf(Tests->Get(2)), 2);
  EXPECT_THROW(Tests->Insert(5, Make("six")), platform::EListError);
  EXPECT_EQ(P.GetTestCount(), 4);
  Tests->Delete(0);
  Tests->Delete(2);
  std::unique_ptr<TIEPatternMatchTest> Two = Tests->Extract(0);
  EXPECT_EQ(Two->GetSlotTests(), nullptr);
  EXPECT_EQ(TestTexts(P, "a"), (TTexts{"= SubIdx: -1 Slot: three"}));
  EXPECT_EQ(P.GetTestCount(), 1);
  Tests->Put(0, std::move(Two));
  EXPECT_EQ(TestTexts(P, "a"), (TTexts{"= SubIdx: -1 Slot: two"}));
  EXPECT_EQ(Tests->Get(0)->GetSlotTests(), Tests);
  Tests->Delete(0);
  EXPECT_EQ(Tests->Count(), 0);
  EXPECT_EQ(P.GetTestCount(), 0);
  Tests->Add(Make("again"));
  EXPECT_EQ(TestTexts(P, "a"), (TTexts{"= SubIdx: -1 Slot: again"}));
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
  P.EndUpdate();  // unbalanced: ignored
  EXPECT_EQ(Notices, 8);
  EXPECT_EQ(P.GetUpdateCount(), 0);

  TFakeRule Other;
  P.SetOwner(&Other);
  P.SetOwner(nullptr);  // without a rule OnChange is still raised
  EXPECT_EQ(Other.Changes, 1);
  EXPECT_EQ(Notices, 10);
}

TEST(PatternNegation, OddCountsNegateAndOnlyNegatedTestElementsRefuseBinding) {
  TIEPattern P(nullptr, 0, PTemplate(), "test");
  const std::pair<int, bool> Counts[] = {{0, false}, {1, true}, {2, false}, {3, true}, {-1, false}};
  for (const auto& [Count, Negated] : Counts) {
    P.SetNegatedCount(Count);
    EXPECT_EQ(P.IsNegated(), Negated) << Count;
  }
  P.SetNegatedCount(1);
  EXPECT_EQ(ErrorOf([&] { P.SetBoundName("f"); }), "Cannot bind a negated pattern to a variable");
  EXPECT_EQ(P.GetBoundName(), "");
  P.SetName("p");
  P.SetBoundName("f");
  EXPECT_EQ(P.GetBoundName(), "f");
}

// =============================================================================================
// Slot tests: evaluation, equality, text, copies
// =============================================================================================

TEST(PatternMatchTestEvaluation, OnlyTheAtomFalseFails) {
  platform::TObject Context;
  const std::pair<IIEValue, bool> Cases[] = {{FCFalse, false},           {NewAtom("FALSE"), false}, {FCTrue, true},
                                             {NewString("FALSE"), true}, {NewAtom("false"), true},  {nullptr, true}};
  for (const auto& [Result, Passes] : Cases) {
    const std::string Label = Result ? Result->GetToString() : "(nothing)";
    EXPECT_EQ(TIEPatternMatchTest(nullptr, Call("f", Result), sttEquals).PerformTest(&Context), Passes) << Label;
    EXPECT_EQ(TIEPatternMatchTest(nullptr, Call("f", Result), sttNotEquals).PerformTest(&Context), !Passes) << Label;
  }
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
  EXPECT_TRUE(Slot.PerformTest(&Context));
  Context.Current->SetValue("b", NewAtom("RED"));  // strict: case counts
  EXPECT_FALSE(Slot.PerformTest(&Context));
  Slot.SetSlotTestType(sttNotEquals);
  EXPECT_TRUE(Slot.PerformTest(&Context));

  // Fields are 0-based; a field past the end of the list matches nothing.
  TIEJoinTest Field(sttEquals, "m", 2, "m", 0, 1);
  EXPECT_TRUE(Field.PerformTest(&Context));
  for (int32_t Left : {1, 3, NoSubIndex}) {
    Field.SetLeftSubIndex(Left);
    EXPECT_FALSE(Field.PerformTest(&Context)) << Left;
  }

  // No fact at the token position (a negated pattern): the test passes before its sense.
  TIEJoinTest Missing(sttEquals, "m", 0, "m", 0, 0);
  EXPECT_TRUE(Missing.PerformTest(&Context));
  Missing.SetSlotTestType(sttNotEquals);
  EXPECT_FALSE(Missing.PerformTest(&Context));
  EXPECT_TRUE(TIEJoinTest(sttEquals, "a", "b", 5).PerformTest(&Context));

  platform::TObject NotAJoin;
  EXPECT_EQ(ErrorOf([&] { Slot.PerformTest(&NotAJoin); }), "No context found when trying to resolve a join test value");
  EXPECT_EQ(ErrorOf([&] { TIEJoinTest(sttEquals, "no", "b", 1).PerformTest(&Context); }), "No such slot name: \"no\"");
}

TEST(SlotTests, EqualityTextAndCopies) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  TIEPatternMatchTest A(&P, NewAtom("red"), 1, sttEquals);
  TIEPatternMatchTest B(nullptr, NewAtom("red"), 1, sttEquals);
  EXPECT_TRUE(A.Equals(B)) << "the pattern is not part of a test's identity";
  B.SetSlotValue(NewString("red"));
  EXPECT_FALSE(A.Equals(B)) << "values compare strictly";
  EXPECT_TRUE(A.Equals(true, true, NewAtom("red"), 1));
  EXPECT_FALSE(A.Equals(true, false, NewAtom("red"), 1));
  EXPECT_FALSE(A.Equals(false, 1, NewAtom("red")));
  EXPECT_FALSE(TIESlotTest(sttEquals).Equals(A)) << "the class counts";

  TIEJoinTest J(sttEquals, "a", 0, "b", 1, 2);
  EXPECT_FALSE(TIEJoinTest(sttEquals, "a", "b", 2).Equals(TIEJoinTest(sttEquals, "a", -1, "b", -1, 2)));
  std::unique_ptr<TIESlotTest> Copy = static_cast<const TIESlotTest&>(J).Clone();
  EXPECT_EQ(Copy->ClassName(), "TIEJoinTest");
  EXPECT_TRUE(Copy->Equals(J));
  static_cast<TIEJoinTest&>(*Copy).SetRightIndex("B");
  EXPECT_FALSE(Copy->Equals(J));
  EXPECT_THROW(P.Assign(J), platform::EConvertError);

  EXPECT_EQ(TIEPatternMatchTest(nullptr).ToString(), "= SubIdx: -1");
  EXPECT_EQ(TIEJoinTest(sttNotEquals, "a", "b", 3).ToString(), "<> tstSlot TokenIdx: 3 Left: a Right: b");
  EXPECT_EQ(J.ToString(), "= tstMultiSlot TokenIdx: 2 Left: a 0 Right: b 1");
}

// =============================================================================================
// Rewriting disjunctions
// =============================================================================================

TEST(PatternFixTests, AlternativesWithoutAVariableGetARecordedAnonymousAnchor) {
  TFakeRule Rule;
  TIEPattern Other(&Rule, 0, PTemplate(), "p");
  TIEPattern P(&Rule, 0, PTemplate(), "p");
  Rule.Patterns = {&Other, &P};
  P.AddTest("a", NewAtom("red"), true, false);  // (a red|blue) (b x)
  P.AddTest("a", NewAtom("blue"), false, false);
  P.AddTest("b", NewAtom("x"), true, false);
  const int Before = Rule.Changes;

  P.FixTests();
  EXPECT_EQ(TestTexts(P, "a"),
            (TTexts{"= SubIdx: -1 Slot: ?_blank_0", "= SubIdx: -1 Slot: (or (eq ?_blank_0 red) (eq ?_blank_0 blue))"}));
  EXPECT_EQ(TestTexts(P, "b"), (TTexts{"= SubIdx: -1 Slot: x"}));
  EXPECT_EQ(Rule.Bindings, (TTexts{"_blank_0 FactIdx=1 SlotIdx=a SubIdx=-1"}));
  EXPECT_EQ(P.GetTestCount(), 3);
  EXPECT_EQ(P.GetDisjunctionCount(), 0);
  EXPECT_EQ(Rule.Changes, Before + 1) << "one change for the whole rewrite";
  P.FixTests();  // nothing left to rewrite
  EXPECT_EQ(Rule.Bindings.size(), 1u);
}

TEST(PatternFixTests, ALeadingVariableAnchorsAndRunsBecomeAnd) {
  TFakeRule Rule;
  TIEPattern P(&Rule, 0, PTemplate(), "p");
  Rule.Patterns = {&P};
  P.AddTest("a", Var("x"), true, false);  // ?x&~red&~green|blue|~:(f)
  P.AddTest("a", NewAtom("red"), true, true);
  P.AddTest("a", NewAtom("green"), true, true);
  P.AddTest("a", NewAtom("blue"), false, false);
  P.AddTest("a", Call("f"), false, true);
  P.FixTests();
  EXPECT_EQ(TestTexts(P, "a"),
            (TTexts{"= SubIdx: -1 Slot: ?x",
                    "= SubIdx: -1 Slot: (or (and (neq ?x red) (neq ?x green)) (eq ?x blue) (not (f)))"}));
  EXPECT_TRUE(Rule.Bindings.empty()) << "the rule binds ?x itself";

  // A call kept in an sttEquals alternative is the very call of the test.
  TIEPatternMatchTest Positive(nullptr, Call("g"), sttEquals);
  EXPECT_EQ(Positive.ConvertToFunCall(Rule, Var("v")).get(), Positive.GetSlotValue()->GetInterface());
}

TEST(PatternFixTests, GroupsAreRunsOnOneFieldAndNegatedVariablesDoNotAnchor) {
  TFakeRule Rule;
  TIEPattern P(&Rule, 0, PTemplate(), "p");
  Rule.Patterns = {&P};
  P.AddTest("m", Var("x"), true, false, 0);  // (m ?x&~red a|b ~?y|c)
  P.AddTest("m", NewAtom("red"), true, true, 0);
  P.AddTest("m", NewAtom("a"), true, false, 1);
  P.AddTest("m", NewAtom("b"), false, false, 1);
  P.AddTest("m", Var("y"), true, true, 2);
  P.AddTest("m", NewAtom("c"), false, false, 2);
  const TIEPatternMatchTest* Kept = P.GetSlotTest(2, 1);
  P.FixTests();
  EXPECT_EQ(TestTexts(P, "m"),
            (TTexts{"= SubIdx: 0 Slot: ?x", "<> SubIdx: 0 Slot: red", "= SubIdx: 1 Slot: ?_blank_0",
                    "= SubIdx: 1 Slot: (or (eq ?_blank_0 a) (eq ?_blank_0 b))", "= SubIdx: 2 Slot: ?_blank_1",
                    "= SubIdx: 2 Slot: (or (neq ?_blank_1 ?y) (eq ?_blank_1 c))"}));
  EXPECT_NE(P.GetSlotTest(2, 1), Kept) << "kept groups are rebuilt from clones";
  EXPECT_EQ(Rule.Bindings, (TTexts{"_blank_0 FactIdx=0 SlotIdx=m SubIdx=1", "_blank_1 FactIdx=0 SlotIdx=m SubIdx=2"}));
}

TEST(PatternFixTests, FailuresLeaveThePatternAsItWas) {
  TIEPattern Alone(nullptr, 0, PTemplate(), "p");
  Alone.AddTest("a", NewAtom("red"), true, false);
  Alone.FixTests();  // no alternatives: nothing needs a rule
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
  EXPECT_EQ(TestTexts(P, "a"), (TTexts{"= SubIdx: -1 Slot: red", "= SubIdx: -1 Slot: blue |"}));
  EXPECT_TRUE(Rule.Bindings.empty());
  EXPECT_EQ(P.GetDisjunctionCount(), 1);
  EXPECT_EQ(P.GetUpdateCount(), 0);
}

// =============================================================================================
// Copying patterns
// =============================================================================================

TEST(PatternCopy, ConstructorRenamesAnonymousVariablesOnly) {
  TFakeRule Rule;
  Rule.Symbols = 7;
  TIEPattern Source(nullptr, 0, PTemplate(), "p");
  Source.AddTest("a", Var("_blank_3"), true, false);
  Source.AddTest("a", Var("x"), false, true);
  Source.AddTest("b", Var("x_blank_"), true, false);
  Source.AddTest("m", NewValue("_blank_$4", dtMultiVariable), true, false, 1);
  Source.SetSlotLength(2, 2);
  Source.SetBoundName("f");

  TIEPattern Copy(&Rule, 2, "q", Source);
  EXPECT_EQ(Copy.GetFactTemplate(), Source.GetFactTemplate());
  EXPECT_EQ(Copy.GetName(), "q");
  EXPECT_EQ(Copy.GetBoundName(), "");
  EXPECT_EQ(TestTexts(Copy, "a"), (TTexts{"= SubIdx: -1 Slot: ?_blank_7", "<> SubIdx: -1 Slot: ?x |"}));
  EXPECT_EQ(TestTexts(Copy, "b"), (TTexts{"= SubIdx: -1 Slot: ?x_blank_"}));
  EXPECT_EQ(TestTexts(Copy, "m"), (TTexts{"= SubIdx: 1 Slot: $?_blank_$8"}));
  EXPECT_EQ(Copy.GetSlotLength(2), 2);
  EXPECT_EQ(Copy.GetDisjunctionCount(), 1);
  EXPECT_EQ(Rule.Changes, 0) << "a pattern being built announces nothing";
}

TEST(PatternCopy, AssignAndCloneCopyEverythingAsIs) {
  TFakeRule Rule;
  TIEPattern Source(nullptr, 3, PTemplate(), "p");
  Source.SetComment("why");
  Source.SetBoundName("f");
  Source.SetUnique(true);
  Source.AddTest("a", Var("_blank_1"), true, false);
  Source.AddTest("a", NewAtom("red"), false, false);
  Source.SetSlotLength(2, 4);

  TIEPattern Target(&Rule, 0, OrderedTemplate("z"), "z");
  Target.AddTest("__Data", NewAtom("old"), true, false);
  const int Before = Rule.Changes;
  Target.Assign(Source);
  EXPECT_EQ(Rule.Changes, Before + 1) << "one change for the whole assignment";
  EXPECT_EQ(Target.ToString(), Source.ToString());
  EXPECT_EQ(Target.GetComment(), "why");
  EXPECT_EQ(Target.GetName(), "p");
  EXPECT_EQ(Target.GetFactTemplate(), Source.GetFactTemplate());
  EXPECT_EQ(Target.IndexOfSlotName("__Data"), -1);
  EXPECT_EQ(Target.GetSlotLength(2), 4);
  EXPECT_EQ(Target.GetTestCount(), 2);
  EXPECT_EQ(Target.GetDisjunctionCount(), 1);

  std::unique_ptr<TIEPattern> Clone = Source.Clone(&Rule);
  EXPECT_EQ(Clone->GetOwner(), &Rule);
  EXPECT_EQ(Clone->ToString(), Source.ToString());
  EXPECT_EQ(Rule.Changes, Before + 1) << "a clone announces nothing";
}

TEST(PatternCopy, CloneIntoAnotherEngineUsesThatEnginesTemplate) {
  TInferenceEngine Home;
  IFactTemplate T = PTemplate();
  TIEPattern Source(&Home, 0, T, "p");
  Source.AddTest("a", NewAtom("red"), true, false);
  EXPECT_EQ(Source.Clone(nullptr)->GetFactTemplate(), T);

  TInferenceEngine Away;
  std::unique_ptr<TIEPattern> Moved = Source.Clone(&Away);
  ASSERT_NE(Moved->GetFactTemplate(), T);
  EXPECT_EQ(Away.FindFactTemplate("p"), Moved->GetFactTemplate());
  EXPECT_TRUE(Moved->GetFactTemplate()->ContainsSlot("m"));
  EXPECT_EQ(Moved->ToString(), "(p (a red) )");

  IFactTemplate Own = Away.CreateFactTemplate("q");  // an engine's own template is kept
  EXPECT_EQ(TIEPattern(nullptr, 0, OrderedTemplate("q"), "q").Clone(&Away)->GetFactTemplate(), Own);
}

// =============================================================================================
// Printing
// =============================================================================================

TEST(PatternPrinting, FieldTestsCallsAndFreshVariables) {
  TIEPattern P(nullptr, 0, PTemplate(), "p");
  EXPECT_EQ(PrettyPrint(P), "(p )");
  P.AddTest("b", MakeRef<TIEValue>(), true, false);  // no test text
  P.AddTest("a", Var("x"), true, false);
  P.AddTest("a", NewAtom("red"), true, true);
  P.AddTest("a", NewAtom("blue"), false, false);
  P.AddTest("a", Call("> ?x 3"), true, false);
  P.AddTest("m", NewAtom("k"), true, false, 0);
  P.AddTest("m", NewValue("rest", dtMultiVariable), true, false, 1);
  // The same text each time: a wildcard, not a generated name.
  EXPECT_EQ(PrettyPrint(P), "(p (a ?x&~red|blue&:(> ?x 3)) (b ?) (m k $?rest) )");
  EXPECT_EQ(PrettyPrint(P), "(p (a ?x&~red|blue&:(> ?x 3)) (b ?) (m k $?rest) )");

  TIEPattern Ordered(nullptr, 0, OrderedTemplate("q"), "q");
  EXPECT_EQ(PrettyPrint(Ordered), "(q $?)");
  Ordered.AddTest("__Data", Call("> ?x 3"), true, false);
  Ordered.SetName("test");  // the test element writes its call as it is
  EXPECT_EQ(PrettyPrint(Ordered), "(q (> ?x 3))");
}

TEST(PatternPrinting, WrappersCommentAndBinding) {
  TIEPattern P(nullptr, 0, OrderedTemplate("q"), "q");
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
