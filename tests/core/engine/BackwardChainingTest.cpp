// Backward chaining: templates marked for it and their goal templates, goals asked for by the
// joins that wait for a missing fact, goal rules that stop once the goal is met, chains of goals,
// goals asked again when the fact that met them goes, and the errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/ErrorText.h"
#include "tests/core/TestConsole.h"

#include "core/engine/InferenceEngine.h"
#include "core/facts/IEPattern.h"
#include "core/network/IERule.h"
#include "core/network/ReteNetwork.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using rulecore::testing::TConsole;

namespace {

// The facts of one template, as text, in fact-list order.
std::vector<std::string> FactsOf(TInferenceEngine& Engine, const std::string& Template) {
  std::vector<std::string> Found;
  for (const IFact& Fact : Engine.GetFacts().Items())
    if (Fact->GetTemplate()->GetTemplateName() == Template) Found.push_back(Fact->ToString());
  return Found;
}

const char* Price =
    "(deftemplate order (slot item) (slot qty (type INTEGER)))"
    "(deftemplate price (slot item) (slot amount) (multislot notes))"
    "(do-backward-chaining price)";

}  // namespace

TEST(BackwardChaining, MarksTheTemplateAndMakesItsGoalTemplate) {
  TConsole C;
  C.Run(Price);
  const IFactTemplate Template = C.Engine.FindFactTemplate("price");
  ASSERT_TRUE(Template);
  EXPECT_TRUE(Template->IsBackwardChaining());
  const IFactTemplate Goal = C.Engine.FindFactTemplate("need-price");
  ASSERT_TRUE(Goal);
  EXPECT_FALSE(Goal->IsBackwardChaining());
  EXPECT_EQ(Goal->GetComment(), "Goal seeker for price");
  for (const std::string Slot : {"item", "amount", "notes"}) EXPECT_TRUE(Goal->ContainsSlot(Slot)) << Slot;

  // A missing template is made (implied) on the way; asking twice changes nothing.
  EXPECT_EQ(C.Run("(do-backward-chaining stock price)"), "TRUE\r\n");
  EXPECT_EQ(C.Engine.FindFactTemplate("stock")->GetComment(), "(Implied)");
  EXPECT_TRUE(C.Engine.FindFactTemplate("stock")->IsBackwardChaining());
  EXPECT_EQ(C.Engine.FindFactTemplate("need-price"), Goal);

  // Special elements are refused, and the names before them were done.
  EXPECT_EQ(ErrorOf([&] { C.Run("(do-backward-chaining weight not)"); }),
            "Cannot backchain on special CEs: not");
  EXPECT_TRUE(C.Engine.FindFactTemplate("need-weight"));
  EXPECT_FALSE(C.Engine.FindFactTemplate("need-not"));
  EXPECT_FALSE(C.Engine.FindFactTemplate("not"));
  EXPECT_EQ(ErrorOf([&] { C.Engine.DoBackwardChaining("test"); }), "Cannot backchain on special CEs: test");
}

TEST(BackwardChaining, AnUnmatchedLeftTokenAsksForItsFact) {
  TConsole C;
  C.Run(std::string(Price) +
        "(defrule quote (order (item ?i) (qty ?q)) (price (item ?i) (amount ?a) (notes ?by special ?q))"
        "  => (printout t ?q \" x \" ?i \" at \" ?a crlf))"
        "(reset)(assert (order (item bolt) (qty 5)))");
  // The goal holds what the earlier pattern bound and the constant, at their element positions
  // in the multislot; what nothing binds yet keeps its default (amount), a gap in a list is nil.
  const std::vector<std::string> Goals = FactsOf(C.Engine, "need-price");
  ASSERT_EQ(Goals.size(), 1u);
  EXPECT_EQ(Goals[0], "(need-price (item bolt) (notes nil special 5 ))");
  EXPECT_EQ(C.Engine.GetAgenda().Count(), 0);
  C.Run("(assert (price (item bolt) (amount 2.5) (notes shop special 5)))");
  EXPECT_EQ(C.Fire(), "5 x bolt at 2.5000\r\n");
  // A fact that meets the wish at once asks for nothing.
  C.Run("(assert (price (item nut) (amount 1) (notes shop special 3)))(assert (order (item nut) (qty 3)))");
  EXPECT_EQ(FactsOf(C.Engine, "need-price").size(), 1u);
}

TEST(BackwardChaining, ExplicitAndNegatedPatternsAskForNothing) {
  TConsole C;
  C.Run(std::string(Price) +
        "(defrule listed (order (item ?i)) (explicit (price (item ?i))) => )"
        "(defrule unpriced (order (item ?i)) (not (price (item ?i))) => )"
        "(reset)(assert (order (item bolt) (qty 1)))");
  EXPECT_TRUE(FactsOf(C.Engine, "need-price").empty());
  EXPECT_EQ(C.Engine.GetAgenda().Count(), 1);  // unpriced
}

TEST(BackwardChaining, AGoalRuleStopsOnceTheGoalIsMet) {
  TConsole C;
  C.Run(std::string(Price) +
        "(defrule quote (order (item ?i)) (price (item ?i) (amount ?a)) => (printout t ?i \" costs \" ?a crlf))"
        "(defrule look-up (need-price (item ?i)) => (printout t \"looking up \" ?i crlf))"
        "(reset)(assert (order (item bolt) (qty 1)))");
  EXPECT_EQ(C.Engine.GetAgenda().Count(), 1);  // look-up
  // The price arrives from elsewhere: the goal rule's appended negated pattern withdraws it.
  C.Run("(assert (price (item bolt) (amount 3)))");
  EXPECT_EQ(C.Fire(), "bolt costs 3\r\n");
  EXPECT_EQ(C.Engine.GetRules().GetItem("look-up")->GetPatternCount(), 2);
}

TEST(BackwardChaining, GoalsChainThroughThreeLevels) {
  TConsole C;
  C.Run("(deftemplate x (slot v)) (deftemplate y (slot v)) (deftemplate z (slot v))"
        "(do-backward-chaining x y z)"
        "(defrule want (start ?v) (x (v ?v)) => (printout t \"x is \" ?v crlf))"
        "(defrule x-from-y (need-x (v ?v)) (y (v ?v)) => (assert (x (v ?v))))"
        "(defrule y-from-z (need-y (v ?v)) (z (v ?v)) => (assert (y (v ?v))))"
        "(defrule z-given (need-z (v ?v)) => (assert (z (v ?v))))"
        "(reset)(assert (start 7))");
  EXPECT_EQ(C.Fire(), "x is 7\r\n");
  EXPECT_EQ(FactsOf(C.Engine, "need-x"), std::vector<std::string>{"(need-x (v 7))"});
  EXPECT_EQ(FactsOf(C.Engine, "need-y"), std::vector<std::string>{"(need-y (v 7))"});
  EXPECT_EQ(FactsOf(C.Engine, "need-z"), std::vector<std::string>{"(need-z (v 7))"});
  EXPECT_EQ(FactsOf(C.Engine, "z"), std::vector<std::string>{"(z (v 7))"});
}

TEST(BackwardChaining, AGoalNeverMetIsAskedOnce) {
  TConsole C;
  C.Run("(deftemplate x (slot v)) (do-backward-chaining x)"
        "(defrule want (start ?) (x (v 1)) => )"
        "(reset)(assert (start a) (start b) (start c))");
  // Three left tokens ask for the same goal; without fact duplication it is one fact.
  EXPECT_EQ(FactsOf(C.Engine, "need-x"), std::vector<std::string>{"(need-x (v 1))"});
  EXPECT_EQ(C.Fire(), "");
  EXPECT_EQ(FactsOf(C.Engine, "need-x").size(), 1u);
  // In the rule language FALSE lets duplicates in.
  C.Run("(set-fact-duplication FALSE)(assert (start d))");
  EXPECT_EQ(FactsOf(C.Engine, "need-x").size(), 2u);
}

TEST(BackwardChaining, RetractingTheFactThatMetAGoalAsksAgain) {
  TConsole C;
  C.Run("(deftemplate x (slot v)) (do-backward-chaining x)"
        "(defrule want (start ?v) (x (v ?v)) => (printout t \"have \" ?v crlf))"
        // The goal rule takes its goal away: the goal must be asked for again.
        "(defrule derive ?g <- (need-x (v ?v)) => (retract ?g) (assert (x (v ?v))))"
        "(reset)(assert (start 4))");
  EXPECT_EQ(C.Fire(), "have 4\r\n");
  EXPECT_TRUE(FactsOf(C.Engine, "need-x").empty());
  C.Run("(retract 3)");  // (x (v 4))
  EXPECT_EQ(FactsOf(C.Engine, "need-x"), std::vector<std::string>{"(need-x (v 4))"});
  EXPECT_EQ(C.Fire(), "have 4\r\n");
  // Another fact still meeting the wish: nothing is asked.
  C.Run("(set-fact-duplication FALSE)(assert (x (v 4)))");
  const auto X = C.Engine.GetFacts().Items().back()->GetID();
  C.Fire();
  C.Run("(retract " + std::to_string(X) + ")");
  EXPECT_TRUE(FactsOf(C.Engine, "need-x").empty());
}

TEST(BackwardChaining, ARuleAddedLaterAsksAtTheNextChange) {
  TConsole C;
  C.Run("(deftemplate x (slot v)) (do-backward-chaining x) (reset) (assert (start 2))"
        "(defrule want (start ?v) (x (v ?v)) => )");
  EXPECT_EQ(C.Engine.GetPendingAssertionCount(), 1);
  EXPECT_TRUE(FactsOf(C.Engine, "need-x").empty());
  C.Run("(assert (other))");
  EXPECT_EQ(FactsOf(C.Engine, "need-x"), std::vector<std::string>{"(need-x (v 2))"});
}

TEST(BackwardChaining, CompileErrors) {
  TConsole C;
  C.Run("(deftemplate x (slot v)) (deftemplate y (slot v)) (do-backward-chaining x)");
  EXPECT_EQ(ErrorOf([&] { C.Run("(defrule bad (start ?v) (x (v ?w&:(> ?w ?v))) => )"); }),
            "Cannot use Function calls in backchained patterns: x");
  EXPECT_FALSE(C.Engine.GetRules().GetItem("bad"));
  // A join only takes a pattern on a template marked for backward chaining.
  C.Run("(defrule ok (start ?v) (y (v ?v)) => )");
  const TRule* Rule = C.Engine.GetRules().GetItem("ok");
  TReteNetwork Network(nullptr);
  TJoinNode Join(Network, false, false, 1);
  EXPECT_EQ(ErrorOf([&] { Join.SetPattern(*Rule->GetPattern(1), *Rule, 1); }),
            "Invalid backward chaining pattern added to the node");
  EXPECT_FALSE(Join.GetBackChaining());
}

TEST(BackwardChaining, ANameNoTemplateCanHaveLeavesNothingBehind) {
  // The goal template used to be entered in the engine before its name was refused, and the
  // engine then wrote into it after it was freed.
  for (const char* Name : {":", "f:ctorial", "factori?n"}) {
    TConsole C;
    EXPECT_NE(ErrorOf([&] { C.Run(std::string("(do-backward-chaining ") + Name + ")"); }), "") << Name;
    EXPECT_FALSE(C.Engine.FindFactTemplate(Name)) << Name;
    EXPECT_FALSE(C.Engine.FindFactTemplate(std::string("need-") + Name)) << Name;
  }
}
