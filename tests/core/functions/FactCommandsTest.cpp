#include <gtest/gtest.h>

#include <string>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/functions/IEFunctionCall.h"
#include "core/network/IEContext.h"
#include "core/values/ValueVector.h"

using namespace rulecore;
using platform::MakeRef;
using rulecore::testing::ErrorOf;

namespace {

// An engine with the packages, its printed output captured.
class FactCommands : public ::testing::Test {
 protected:
  FactCommands() {
    Engine.OnPrintOut = [this](TInferenceEngine*, const std::string&, const std::string& Text) { Output += Text; };
  }

  // Constructs and top-level calls; answers what was printed (results echo).
  std::string Run(const std::string& Text) {
    Output.clear();
    Engine.Parse(Text, true);
    return Output;
  }
  // The text of one top-level call's result.
  std::string Eval(const std::string& Text) {
    const IIEValue V = Engine.ParseNExecuteFunCall(Text);
    return V ? V->ToString() : "(none)";
  }
  std::string Error(const std::string& Text) {
    return ErrorOf([&] { Engine.Parse(Text, true); });
  }
  // Working memory, one "f-<id> <fact>" per line.
  std::string Facts() { return Engine.GetFacts().ToIDString(); }

  TInferenceEngine Engine;
  std::string Output;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// assert, assert-string
// ---------------------------------------------------------------------------------------------

TEST_F(FactCommands, AssertAnswersTheLastIdOrFalse) {
  Engine.Reset();
  EXPECT_EQ(Eval("(assert (a 1) (b 2))"), "<Fact-2>");
  // A refused duplicate and an empty call answer FALSE.
  EXPECT_EQ(Eval("(assert (a 1))"), "FALSE");
  EXPECT_EQ(Eval("(assert)"), "FALSE");
  EXPECT_EQ(Eval("(assert (c) (a 1))"), "FALSE");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-1 (a 1 )\r\nf-2 (b 2 )\r\nf-3 (c)");
  EXPECT_EQ(Eval("(assert-string \"(d x)\" \"(e y)\")"), "<Fact-5>");
  EXPECT_EQ(Eval("(assert-string \"(d x)\")"), "FALSE");
  EXPECT_NE(Error("(assert 5)"), "(no error)");
}

TEST_F(FactCommands, AssertEvaluatesEachFiringsValues) {
  // Variables, calls, constants, lists, a pattern's fact address and slots left to their
  // defaults, each firing with its own bindings.
  Run("(deftemplate pair (slot left) (multislot right) (slot kind (default none)) (slot from))"
      "(defrule double ?f <- (n ?x) => (assert (m ?x (* ?x 2) k \"s\") (pair (left ?x) (right ?x (+ ?x 1) z) (from ?f))"
      " (pair (right))))");
  Engine.Reset();
  Run("(assert (n 1) (n 2))");
  EXPECT_EQ(Engine.Run(), 2);
  EXPECT_EQ(Facts(),
            "f-0 (Initial-Fact)\r\nf-1 (n 1 )\r\nf-2 (n 2 )\r\nf-3 (m 2 4 k \"s\" )\r\n"
            "f-4 (pair (from <Fact-2>) (kind none) (left 2) (right 2 3 z ))\r\nf-5 (pair (kind none))\r\n"
            "f-6 (m 1 2 k \"s\" )\r\nf-7 (pair (from <Fact-1>) (kind none) (left 1) (right 1 2 z ))");
}

// ---------------------------------------------------------------------------------------------
// retract, retract-string
// ---------------------------------------------------------------------------------------------

TEST_F(FactCommands, RetractTakesSeveralIdsAndSkipsUnknownOnes) {
  Engine.Reset();
  Run("(assert (a) (b) (c) (d))");
  EXPECT_EQ(Eval("(retract 1 3 99)"), "TRUE");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-2 (b)\r\nf-4 (d)");
  EXPECT_EQ(Eval("(retract 1)"), "TRUE");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-2 (b)\r\nf-4 (d)");
  EXPECT_NE(Error("(retract b)"), "(no error)");

  // A pattern-bound fact id.
  Run("(defrule drop ?f <- (d) => (retract ?f))");
  EXPECT_EQ(Engine.Run(), 1);
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-2 (b)");

  EXPECT_EQ(Eval("(retract *)"), "TRUE");
  EXPECT_EQ(Engine.GetFacts().Count(), 0);
}

TEST_F(FactCommands, RetractStringRemovesTheFirstEqualFact) {
  Engine.SetFactDuplication(true);
  Engine.Reset();
  Run("(assert (a 1) (b 2) (a 1))");
  EXPECT_EQ(Eval("(retract-string \"(a 1)\" \"(z)\")"), "TRUE");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-2 (b 2 )\r\nf-3 (a 1 )");
  EXPECT_EQ(Eval("(retract-string)"), "TRUE");
}

// ---------------------------------------------------------------------------------------------
// modify, duplicate
// ---------------------------------------------------------------------------------------------

TEST_F(FactCommands, ModifySetsSlotsAndReassertsUnderANewId) {
  Run("(deftemplate item (slot name) (slot count (default 0)) (multislot tags))");
  Engine.Reset();
  Run("(assert (item (name x) (tags old)))");
  // Separate values make the multislot a list of them; one list value is taken as the list.
  EXPECT_EQ(Eval("(modify 1 (tags a b (+ 1 2)) (count 5))"), "<Fact-2>");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-2 (item (count 5) (name x) (tags a b 3 ))");
  EXPECT_EQ(Eval("(modify 2 (tags (create$ p q)))"), "<Fact-3>");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-3 (item (count 5) (name x) (tags p q ))");

  // From a rule, through the pattern-bound id and the rule's variables.
  Run("(defrule bump ?f <- (item (count ?c&:(< ?c 7)) (tags $?t)) => (modify ?f (count (+ ?c 1)) (tags ?t z)))");
  EXPECT_EQ(Engine.Run(), 2);
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-5 (item (count 7) (name x) (tags p q z z ))");

  EXPECT_EQ(Error("(modify 3 (count 1))"), "No Such Fact with ID=3 exists");
}

TEST_F(FactCommands, FailedModifyPutsTheFactBackUnchanged) {
  Run("(deftemplate item (slot name) (slot count (default 0)))");
  Engine.Reset();
  Run("(assert (item (name x)))");
  // The first pair is valid, the second names no slot.
  EXPECT_NE(Error("(modify 1 (count 4) (colour red))"), "(no error)");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-2 (item (count 0) (name x))");
  EXPECT_NE(Error("(modify 2 (count (undefined-function)))"), "(no error)");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-3 (item (count 0) (name x))");
}

TEST_F(FactCommands, ModifyChangesTheNamedFactAmongEqualOnes) {
  Engine.SetFactDuplication(true);
  Run("(deftemplate item (slot name))");
  Engine.Reset();
  Run("(assert (item (name x)) (item (name x)))");
  EXPECT_EQ(Eval("(modify 2 (name y))"), "<Fact-3>");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-1 (item (name x))\r\nf-3 (item (name y))");
}

TEST_F(FactCommands, ModifyIntoAnExistingFactAnswersFalse) {
  Run("(deftemplate item (slot name))");
  Engine.Reset();
  Run("(assert (item (name x)) (item (name y)))");
  EXPECT_EQ(Eval("(modify 2 (name x))"), "FALSE");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-1 (item (name x))");
}

TEST_F(FactCommands, ModifyReadsLinguisticValuesForFuzzySlots) {
  Run("(deftype wind extends (type FUZZY) (range 0 40)"
      "  (values (term calm ((0 1) (2 1) (4 0))) (term gale ((14 0) (20 1) (40 1)))))"
      "(deftemplate report (slot place) (slot speed (type wind)))");
  Engine.Reset();
  Run("(assert (report (place x) (speed calm)))");
  EXPECT_EQ(Eval("(modify 1 (speed very gale))"), "<Fact-2>");
  const IIEValue Speed = Engine.GetFacts().GetFactByID(2)->GetValue("speed");
  ASSERT_EQ(Speed->GetDType(), dtFuzzy);
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(modify 2 (speed gale))")->ToString(), "<Fact-3>");
  const IIEValue Gale = Engine.GetFacts().GetFactByID(3)->GetValue("speed");
  ASSERT_EQ(Gale->GetDType(), dtFuzzy);
  EXPECT_NE(Speed->ToString(), Gale->ToString());
  EXPECT_NE(Error("(modify 3 (speed breeze))"), "(no error)");
  EXPECT_EQ(Engine.GetFacts().GetFactByID(4)->GetValue("speed")->ToString(), Gale->ToString());
}

TEST_F(FactCommands, DuplicateAssertsAChangedCopy) {
  Run("(deftemplate item (slot name) (multislot tags))");
  Engine.Reset();
  Run("(assert (item (name x) (tags a)))");
  EXPECT_EQ(Eval("(duplicate 1 (name y) (tags b c))"), "<Fact-2>");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-1 (item (name x) (tags a ))\r\nf-2 (item (name y) (tags b c ))");
  // An unchanged copy is a duplicate the engine refuses.
  EXPECT_EQ(Eval("(duplicate 1 (name x))"), "FALSE");
  EXPECT_EQ(Error("(duplicate 7 (name z))"), "No Such Fact with ID=7 exists");
  EXPECT_EQ(Engine.GetFacts().Count(), 3);
}

// ---------------------------------------------------------------------------------------------
// get-slot-value, fact duplication
// ---------------------------------------------------------------------------------------------

TEST_F(FactCommands, GetSlotValueByIdOrFact) {
  Run("(deftemplate item (slot name) (multislot tags))");
  Engine.Reset();
  Run("(assert (item (name x) (tags a b)) (colours red green))");
  EXPECT_EQ(Eval("(get-slot-value 1 name)"), "x");
  EXPECT_EQ(Eval("(get-slot-value 2)"), "red green ");
  Run("(defrule read ?f <- (item) => (bind ?*seen* (get-slot-value ?f tags)))");
  Run("(defglobal ?*seen* = nil)");
  Engine.Run();
  EXPECT_EQ(Run("?*seen*"), "a b \r\n");

  EXPECT_EQ(Error("(get-slot-value 9 name)"), "No Such Fact with ID=9 exists");
  EXPECT_EQ(Error("(get-slot-value x name)"),
            "Invalid argument type for deffunction: \"dtAtom\".  Expected FactId, Fact");

  // A fact value is read directly, and the answer is a copy.
  IFunCall Call = MakeRef<TFunctionCall>(&Engine, "get-slot-value");
  Call->AddArgument(Engine.GetFacts().GetFactByID(1));
  Call->AddArgument(NewAtom("tags"));
  IIEValue Result;
  Call->Execute(Engine.GetContext(), Result);
  ASSERT_TRUE(Result);
  EXPECT_EQ(Result->ToString(), "a b ");
  Result->GetAsList()->Add(NewAtom("c"));
  EXPECT_EQ(Eval("(get-slot-value 1 tags)"), "a b ");
}

TEST_F(FactCommands, FactDuplicationReadsInvertedInTheRuleLanguage) {
  // TRUE: duplicates are ignored, which is the engine's FactDuplication False.
  EXPECT_EQ(Eval("(get-fact-duplication)"), "TRUE");
  EXPECT_EQ(Eval("(set-fact-duplication FALSE)"), "TRUE");
  EXPECT_TRUE(Engine.GetFactDuplication());
  EXPECT_EQ(Eval("(get-fact-duplication)"), "FALSE");
  Engine.Reset();
  EXPECT_EQ(Eval("(assert (a) (a))"), "<Fact-2>");
  // Anything but FALSE turns duplicates off again.
  EXPECT_EQ(Eval("(set-fact-duplication yes)"), "FALSE");
  EXPECT_FALSE(Engine.GetFactDuplication());
  EXPECT_EQ(Eval("(assert (a))"), "FALSE");
}

// ---------------------------------------------------------------------------------------------
// reset, clear, run
// ---------------------------------------------------------------------------------------------

TEST_F(FactCommands, ResetAndClear) {
  Run("(deftemplate item (slot name)) (deffacts start (item (name x))) (defrule r (item) =>)");
  EXPECT_EQ(Eval("(reset)"), "TRUE");
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-1 (item (name x))");
  EXPECT_EQ(Engine.GetAgendaCount(), 1);
  EXPECT_EQ(Eval("(clear)"), "TRUE");
  EXPECT_EQ(Engine.GetFacts().Count(), 0);
  EXPECT_EQ(Engine.GetRules().Count(), 0);
  EXPECT_FALSE(Engine.FindFactTemplate("item"));
}

TEST_F(FactCommands, ResetAndClearFromARule) {
  Run("(defrule again (n ?x) => (reset) (assert (m ?x)))");
  Engine.Reset();
  Run("(assert (n 1) (n 2))");
  EXPECT_EQ(Engine.Run(), 1);
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-1 (m 2 )");
  Run("(defrule wipe (m ?x) => (clear) (assert (k ?x)))");
  EXPECT_EQ(Engine.Run(), 1);
  EXPECT_EQ(Facts(), "f-0 (k 2 )");
  EXPECT_EQ(Engine.GetRules().Count(), 0);
}

TEST_F(FactCommands, ClearFromInsideNestedCalls) {
  // A clear run from inside nested calls takes away the function being run and the rule whose
  // action made the calls; the calls still finish and answer.
  Run("(deffunction wipe-and-two () (clear) 2)");
  Run("(defrule go (n ?x) => (assert (k (+ ?x (wipe-and-two)))))");
  Engine.Reset();
  Run("(assert (n 1))");
  EXPECT_EQ(Engine.Run(), 1);
  EXPECT_EQ(Facts(), "f-0 (k 3 )");
  EXPECT_EQ(Engine.GetRules().Count(), 0);
  Run("(deffunction wipe-and-two () (clear) 2)");
  EXPECT_EQ(Eval("(* 10 (+ 1 (wipe-and-two)))"), "30");
  EXPECT_EQ(ErrorOf([&] { Eval("(wipe-and-two)"); }), "Function is unimplemented or unassigned: wipe-and-two");
}

TEST_F(FactCommands, RunFiresAtMostTheLimit) {
  Run("(defrule r (n ?) =>)");
  Engine.Reset();
  Run("(assert (n 1) (n 2) (n 3))");
  EXPECT_EQ(Eval("(run 1)"), "1");
  EXPECT_EQ(Engine.GetAgendaCount(), 2);
  EXPECT_EQ(Eval("(run 0)"), "0");
  EXPECT_EQ(Eval("(run)"), "2");
  EXPECT_EQ(Eval("(run)"), "0");
}

TEST_F(FactCommands, RunInsideARuleIsRefused) {
  // The firing rule's own activation would fire again, or be lost when it was withdrawn.
  Run("(defrule nested ?f <- (n ?) => (retract ?f) (run))");
  Engine.Reset();
  Run("(assert (n 1) (n 2))");
  EXPECT_EQ(ErrorOf([&] { Engine.Run(); }), "The inference engine is already running (while firing rule nested)");
  EXPECT_EQ(Engine.GetAgendaCount(), 1);
  EXPECT_EQ(Facts(), "f-0 (Initial-Fact)\r\nf-1 (n 1 )");
}

// ---------------------------------------------------------------------------------------------
// watch, unwatch
// ---------------------------------------------------------------------------------------------

TEST_F(FactCommands, WatchAndUnwatchKeywords) {
  EXPECT_EQ(Eval("(watch all)"), "TRUE");
  EXPECT_EQ(Engine.GetWatch(), TConstructWatches::All());
  EXPECT_EQ(Eval("(unwatch facts)"), "TRUE");
  EXPECT_EQ(Engine.GetWatch(), TConstructWatches({cwActivation, cwRule, cwCompilation, cwStatistics}));
  EXPECT_EQ(Eval("(unwatch all)"), "TRUE");
  EXPECT_TRUE(Engine.GetWatch().Empty());

  // "watch" evaluates its argument; keywords are case-sensitive.
  Run("(defglobal ?*what* = facts)");
  EXPECT_EQ(Eval("(watch ?*what*)"), "TRUE");
  EXPECT_EQ(Engine.GetWatch(), TConstructWatches({cwFact}));
  EXPECT_EQ(Error("(watch Facts)"), "Cannot watch Facts");
  EXPECT_EQ(Error("(unwatch everything)"), "Cannot unwatch everything");
  EXPECT_EQ(Engine.GetWatch(), TConstructWatches({cwFact}));
}

TEST_F(FactCommands, WatchedOperationsPrintTraceLines) {
  Run("(defrule r ?f <- (n ?x) => (retract ?f))");
  Engine.Reset();
  Run("(watch facts) (watch rules) (watch activations)");
  EXPECT_EQ(Run("(assert (n 1))"), " ==> f-1 (n 1 )\r\n==> Activation: r : f-1\r\n<Fact-1>\r\n");
  EXPECT_EQ(Run("(run)"), "FIRE 0 r f-1\r\n<== Activation: r : f-1\r\n <== f-1 (n 1 )\r\n1\r\n");
  Run("(unwatch facts)");
  EXPECT_EQ(Run("(assert (n 2))"), "==> Activation: r : f-2\r\n<Fact-2>\r\n");
}
