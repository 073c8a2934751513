#include <gtest/gtest.h>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/functions/IEPackages.h"
#include "core/network/IERule.h"

using namespace rulecore;
using platform::MakeRef;
using rulecore::testing::ErrorOf;

namespace {

// The facts of a match, oldest pattern first.
class TFakeToken final : public ITokenFacts {
 public:
  explicit TFakeToken(std::vector<TFact*> Facts) : Facts_(std::move(Facts)) {}
  int GetFactCount() const override { return static_cast<int>(Facts_.size()); }
  TFact* GetFactAt(int Index) const override {
    return Index >= 0 && Index < GetFactCount() ? Facts_[static_cast<size_t>(Index)] : nullptr;
  }

 private:
  std::vector<TFact*> Facts_;
};

struct TWorld {
  TInferenceEngine Engine;
  IFactTemplate Person;
  IFactTemplate Pet;
  std::vector<std::string> Log;

  TWorld() {
    Person = MakeRef<TFactTemplate>(&Engine, "person");
    Person->AddSlot("name", NewAtom(""));
    Person->AddMultiSlot("likes", FCNilList);
    Engine.GetFactTemplates().Add(Person);
    Pet = MakeRef<TFactTemplate>(&Engine, "pet");
    Pet->AddSlot("owner", NewAtom(""));
    Engine.GetFactTemplates().Add(Pet);
    // (note x ...): logs the resolved arguments; (stop x): returns x.
    AddFunction("note", [this](TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
      std::string Line;
      for (int I = 0; I < Call.GetArgumentCount(); ++I) {
        const IIEValue V = Call.Evaluate(I, Context);
        Line += (I ? " " : "") + (V ? V->GetToString() : std::string("<none>"));
      }
      Log.push_back(Line);
      Result = FCTrue;
    });
    AddFunction("stop", [](TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
      Result = Call.Evaluate(0, Context);
      Context->SetReturnValue(Result);
    });
    AddFunction("eq", [](TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
      Result = BoolValue(Call.Evaluate(0, Context)->Equals(Call.Evaluate(1, Context)));
    });
    AddFunction("or", [](TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
      Result = FCFalse;
      for (int I = 0; I < Call.GetArgumentCount(); ++I)
        if (Call.Evaluate(I, Context) == FCTrue) Result = FCTrue;
    });
  }

  void AddFunction(const std::string& Name, std::function<void(TFunctionCall&, TIEContext*, IIEValue&)> Body) {
    auto F = MakeRef<TIEInnerFunction>(
        [Body](platform::TObject*, TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
          Body(Call, Context, Result);
        });
    F->SetFunctionName(Name);
    F->AddReasoner(&Engine);
  }

  std::unique_ptr<TIEPattern> Pattern(const IFactTemplate& T, int Negated = 0) {
    return std::make_unique<TIEPattern>(nullptr, Negated, T, T->GetTemplateName());
  }

  IFact Fact(const IFactTemplate& T, std::initializer_list<std::pair<const char*, IIEValue>> Values, int Id) {
    IFact F = T->NewFact();
    for (const auto& [Slot, Value] : Values) F->SetValue(Slot, Value);
    F->SetID(Id);
    return F;
  }

  IFunCall Call(const std::string& Name, std::initializer_list<IIEValue> Arguments) {
    IFunCall C = MakeRef<TFunctionCall>(&Engine, Name);
    for (const IIEValue& A : Arguments) C->AddArgument(A);
    return C;
  }
};

IIEValue Var(const std::string& Name) { return NewValue(Name, dtVariable); }

}  // namespace

TEST(RuleCompilation, BindingsComeFromFirstUse) {
  TWorld W;
  auto* Rule = new TRule(&W.Engine);
  EXPECT_EQ(Rule->GetRuleName(), "Rule_0");
  auto First = W.Pattern(W.Person);
  First->AddTest("name", Var("n"), true, false);
  First->AddTest("likes", Var("l"), true, false, 1);
  First->SetBoundName("p");
  Rule->AddPattern(std::move(First));
  auto Second = W.Pattern(W.Pet);
  Second->AddTest("owner", Var("n"), true, false);  // a join, not a new binding
  Rule->AddPattern(std::move(Second));
  ASSERT_EQ(Rule->GetBindingCount(), 3);
  EXPECT_EQ(Rule->GetBinding(0).GetToString(), "name=p FactIdx=0 SlotIdx=__PATTERN SubIdx=-1");
  EXPECT_EQ(Rule->GetBinding(1).GetToString(), "name=l FactIdx=0 SlotIdx=likes SubIdx=1");
  EXPECT_EQ(Rule->GetBinding(2).GetToString(), "name=n FactIdx=0 SlotIdx=name SubIdx=-1");
  EXPECT_EQ(Rule->IndexOfBinding("n"), 2);

  auto Negative = W.Pattern(W.Pet);
  Negative->AddTest("owner", Var("x"), true, true);
  EXPECT_EQ(ErrorOf([&] { Rule->AddPattern(std::move(Negative)); }),
            "First Use of Variable is negated, variable name is x");
  EXPECT_EQ(Rule->GetPatternCount(), 2);  // the failed pattern did not stay
  TRule Loose;
  EXPECT_EQ(ErrorOf([&] { Loose.AddPattern(W.Pattern(W.Pet)); }), "Unknown/Undefined Inference Engine");
}

TEST(RuleCompilation, NegatedFirstPatternGetsTheInitialFact) {
  TWorld W;
  auto* Rule = new TRule(&W.Engine);
  auto Negated = W.Pattern(W.Pet, 1);
  Negated->AddTest("owner", Var("_blank_7"), true, false);
  Rule->AddPattern(std::move(Negated));
  ASSERT_EQ(Rule->GetPatternCount(), 2);
  EXPECT_EQ(Rule->GetPattern(0)->GetName(), "Initial-Fact");
  // The negated element's wildcard is renamed apart and bound at the shifted position.
  ASSERT_EQ(Rule->GetBindingCount(), 1);
  EXPECT_EQ(Rule->GetBinding(0).Name, "_2__blank_7");
  EXPECT_EQ(Rule->GetBinding(0).FactIndex, 1);
  EXPECT_EQ(Rule->GetPattern(1)->GetSlotTest(0, 0)->GetSlotValue()->GetText(), "_2__blank_7");
}

TEST(RuleCompilation, DisjunctionsBecomeCallsAndGoalsGetTheirGuard) {
  TWorld W;
  auto* Rule = new TRule(&W.Engine);
  auto P = W.Pattern(W.Person);
  P->AddTest("name", NewAtom("ann"), true, false);
  P->AddTest("name", NewAtom("bob"), false, false);
  Rule->AddPattern(std::move(P));
  ASSERT_EQ(Rule->GetPattern(0)->GetSlotTestCount(0 + W.Person->IndexOfSlot("name")), 2);
  EXPECT_EQ(Rule->GetBindingCount(), 1);  // the generated anchor variable
  EXPECT_EQ(Rule->GetBinding(0).SlotIndex, "name");

  IFactTemplate Goal = MakeRef<TFactTemplate>(&W.Engine, "", "need-pet", W.Pet);
  W.Engine.GetFactTemplates().Add(Goal);
  auto* Seeker = new TRule(&W.Engine);
  auto G = std::make_unique<TIEPattern>(nullptr, 0, Goal, "need-pet");
  G->AddTest("owner", Var("o"), true, false);
  Seeker->AddPattern(std::move(G));
  ASSERT_EQ(Seeker->GetPatternCount(), 2);
  EXPECT_FALSE(Seeker->GetPattern(0)->GetBoundName().empty());  // a generated fact variable
  EXPECT_EQ(Seeker->GetPattern(1)->GetName(), "pet");
  EXPECT_TRUE(Seeker->GetPattern(1)->IsNegated());
  Seeker->AddAction(W.Call("note", {Var("o")}));
  const std::string Text = Seeker->GetToString();
  EXPECT_NE(Text.find("(need-pet (owner ?o) )"), std::string::npos) << Text;
  EXPECT_EQ(Text.find("(not "), std::string::npos) << Text;  // the guard is not written
}

TEST(RuleFiring, ActionsSeeBindingsAndStopAtReturn) {
  TWorld W;
  auto* Rule = new TRule(&W.Engine);
  Rule->SetRuleName("greet");
  auto P = W.Pattern(W.Person);
  P->AddTest("name", Var("n"), true, false);
  P->AddTest("likes", Var("first"), true, false, 0);
  P->SetBoundName("f");
  Rule->AddPattern(std::move(P));
  auto N = W.Pattern(W.Pet, 1);
  N->AddTest("owner", Var("ghost"), true, false);
  Rule->AddPattern(std::move(N));
  Rule->AddAction(W.Call("note", {Var("n"), Var("first"), Var("f"), Var("__RULE")}));
  Rule->AddAction(W.Call("stop", {NewInteger(7)}));
  Rule->AddAction(W.Call("note", {NewAtom("never")}));
  IValueVector Likes = NewList();
  Likes->Add(NewAtom("tea"));
  IFact Ann = W.Fact(W.Person, {{"name", NewAtom("ann")}, {"likes", MakeRef<TIEValue>(Likes)}}, 4);
  TFakeToken Token({Ann.get(), W.Engine.GetPlaceholderFact().get()});
  Rule->Fire(Token);
  EXPECT_EQ(W.Log, (std::vector<std::string>{"ann tea <Fact-4> \"greet\""}));
  EXPECT_TRUE(Rule->GetFired());
  EXPECT_FALSE(W.Engine.GetContext()->GetReturned());
  EXPECT_FALSE(Rule->GetBindingByName("ghost")->Value);  // only in the negated element
  // The rule's name binding follows a rename.
  Rule->SetRuleName("welcome");
  W.Log.clear();
  Rule->Fire(Token);
  EXPECT_EQ(W.Log, (std::vector<std::string>{"ann tea <Fact-4> \"welcome\""}));
  Rule->Reset();
  EXPECT_FALSE(Rule->GetFired());
}

TEST(RuleFiring, BindingsKeptFromAFiringKeepTheirValues) {
  // Firings reuse their binding objects, but never one that somebody still holds.
  TWorld W;
  auto* Rule = new TRule(&W.Engine);
  auto P = W.Pattern(W.Person);
  P->AddTest("name", Var("n"), true, false);
  Rule->AddPattern(std::move(P));
  Rule->AddAction(W.Call("note", {Var("n")}));
  std::vector<IBinding> Kept;
  Rule->OnFire = [&](TRule*, TIEContext* Context) {
    for (int I = 0; I < Context->GetBindings().Count(); ++I) Kept.push_back(Context->GetBindings().Item(I));
  };
  IFact Ann = W.Fact(W.Person, {{"name", NewAtom("ann")}}, 1);
  IFact Bob = W.Fact(W.Person, {{"name", NewAtom("bob")}}, 2);
  Rule->Fire(TFakeToken({Ann.get()}));
  const std::vector<IBinding> First = Kept;
  Rule->Fire(TFakeToken({Bob.get()}));
  Rule->OnFire = nullptr;
  Rule->Fire(TFakeToken({Ann.get()}));
  EXPECT_EQ(W.Log, (std::vector<std::string>{"ann", "bob", "ann"}));
  ASSERT_EQ(First.size(), 2u);
  EXPECT_EQ(First[0]->Name, "n");
  EXPECT_EQ(First[0]->Value->GetAsString(), "ann");
  EXPECT_EQ(Kept[2]->Value->GetAsString(), "bob");
  EXPECT_EQ(First[1]->Name, "__RULE");
}

TEST(RuleEvents, SetAndReadThroughThePropertyTable) {
  // The events are published properties: a host may read and swap them by name.
  TWorld W;
  auto* Rule = new TRule(&W.Engine);
  const platform::TPropValue Unset = platform::GetPropValue(*Rule, "OnFire");
  ASSERT_TRUE(std::holds_alternative<std::any>(Unset));
  EXPECT_FALSE(std::any_cast<TRuleFireEvent>(std::get<std::any>(Unset)));
  int Fired = 0;
  int Changed = 0;
  platform::SetPropValue(*Rule, "OnFire", std::any(TRuleFireEvent([&](TRule*, TIEContext*) { ++Fired; })));
  platform::SetPropValue(*Rule, "OnChange", std::any(TNotifyEvent([&](platform::TObject*) { ++Changed; })));
  EXPECT_TRUE(Rule->OnFire);
  const auto Read = std::any_cast<TRuleFireEvent>(std::get<std::any>(platform::GetPropValue(*Rule, "OnFire")));
  ASSERT_TRUE(Read);
  Read(Rule, nullptr);
  EXPECT_EQ(Fired, 1);
  Rule->SetEnabled(false);
  EXPECT_EQ(Changed, 1);
  Rule->OnChange = nullptr;
  Rule->SetEnabled(true);
  EXPECT_EQ(Changed, 1);
  EXPECT_FALSE(std::any_cast<TNotifyEvent>(std::get<std::any>(platform::GetPropValue(*Rule, "OnChange"))));
}

TEST(RuleNames, CheckedRegisteredAndRenamed) {
  TWorld W;
  auto* A = new TRule(&W.Engine);
  auto* B = new TRule(&W.Engine);
  EXPECT_EQ(B->GetRuleName(), "Rule_1");
  A->SetEngine(nullptr);
  A->SetEngine(&W.Engine);  // joins the table under a fresh number
  EXPECT_EQ(W.Engine.GetRules().GetItem(A->GetRuleName()), A);
  EXPECT_EQ(ErrorOf([&] { A->SetRuleName("bad name"); }), "bad name contains unexpected character: \" \"");
  const std::string Old = A->GetRuleName();
  A->SetRuleName("good");
  EXPECT_EQ(W.Engine.GetRules().GetItem("good"), A);
  EXPECT_FALSE(W.Engine.GetRules().GetItem(Old));
  B->SetEngine(nullptr);
  B->SetEngine(&W.Engine);
  EXPECT_EQ(ErrorOf([&] { B->SetRuleName("good"); }), "Duplicate Rules defined with same name: \"good\"");
  int Removed = 0;
  W.Engine.OnRemoveRule = [&](TInferenceEngine*, TRule*) { ++Removed; };
  W.Engine.GetRules().Remove("good");  // frees the rule the engine owns
  EXPECT_EQ(Removed, 1);
  delete B;  // a destroyed rule leaves the table
  EXPECT_EQ(W.Engine.GetRules().Count(), 0);
}

TEST(RuleSalience, ExpressionsAndTheDeclareLine) {
  TWorld W;
  auto* Rule = new TRule(&W.Engine);
  Rule->SetRuleName("r");
  Rule->AddPattern(W.Pattern(W.Pet));
  Rule->AddAction(W.Call("note", {NewAtom("x")}));
  EXPECT_EQ(Rule->GetToString(), "(defrule r\r\n    (pet )\r\n    =>\r\n    (note x)\r\n)");
  Rule->SetSalienceInteger(10);
  Rule->SetOneShot(true);
  Rule->SetComment("busy");
  EXPECT_EQ(Rule->GetToString(),
            "(defrule r\r\n    \"busy\"\r\n    (declare (salience 10) (oneshot TRUE))\r\n    (pet )\r\n    =>\r\n"
            "    (note x)\r\n)");
  Rule->SetSalience(MakeRef<TIEValue>(W.Call("stop", {NewInteger(3)})));
  EXPECT_EQ(Rule->GetSalience(), 3);
  EXPECT_FALSE(W.Engine.GetContext()->GetReturned());
  Rule->SetEnabled(false);
  EXPECT_NE(Rule->GetToString().find("(declare (salience (stop 3)) (enabled FALSE) (oneshot TRUE))"),
            std::string::npos);
}

TEST(RuleCopying, AnotherEnginesRuleIsRebuiltHere) {
  TWorld Source, Target;
  auto* Rule = new TRule(&Source.Engine);
  auto P = Source.Pattern(Source.Person);
  P->AddTest("name", Var("n"), true, false);
  Rule->AddPattern(std::move(P));
  Rule->AddAction(Source.Call("note", {Var("n")}));
  auto* Copy = new TRule(&Target.Engine);
  Copy->Assign(*Rule);
  EXPECT_EQ(Copy->GetRuleName(), Rule->GetRuleName());
  EXPECT_EQ(Copy->GetPattern(0)->GetFactTemplate(), Target.Person);
  IFact Bob = Target.Fact(Target.Person, {{"name", NewAtom("bob")}}, 1);
  Copy->Fire(TFakeToken({Bob.get()}));
  EXPECT_EQ(Target.Log, (std::vector<std::string>{"bob"}));  // the target engine's function ran
  EXPECT_TRUE(Source.Log.empty());
}

TEST(Evaluation, RunawayRecursionEndsInAnError) {
  TWorld W;
  auto Loop = MakeRef<TInterpretedFunction>("loop");
  Loop->AddStatement(W.Call("loop", {}));
  Loop->AddReasoner(&W.Engine);
  IIEValue Result;
  EXPECT_EQ(ErrorOf([&] { W.Call("loop", {})->Execute(W.Engine.GetContext(), Result); }),
            "Nesting too deep, stopped at loop (in deffunction loop)");
  // The engine is still usable afterwards.
  W.Call("note", {NewAtom("after")})->Execute(W.Engine.GetContext(), Result);
  EXPECT_EQ(W.Log.back(), "after");
}

TEST(RuleTests, NumericTestsReadBoundSlotsAndListElements) {
  // Numeric comparisons read their arguments straight from the matched facts, whether a bound
  // slot, a mixed integer/float pair or an element picked out of a multislot.
  TInferenceEngine Engine;
  std::string Output;
  Engine.OnPrintOut = [&](TInferenceEngine*, const std::string&, const std::string& Text) { Output += Text; };
  Engine.Parse("(deftemplate p (slot n) (multislot m))"
               "(defrule bigger (p (n ?a)) (p (n ?b&:(> ?b ?a))) => (printout t ?a \"<\" ?b crlf))"
               "(defrule second (p (m $?l)) (test (> (nth$ 1 ?l) 5)) => (printout t \"m \" (nth$ 0 ?l) crlf))",
               false);
  Engine.Assert("(p (n 1) (m 3 9))");
  Engine.Assert("(p (n 2.5) (m 4 2))");
  Engine.Run();
  EXPECT_NE(Output.find("1<2.5"), std::string::npos);
  EXPECT_NE(Output.find("m 3"), std::string::npos);
  EXPECT_EQ(Output.find("m 4"), std::string::npos);
}
