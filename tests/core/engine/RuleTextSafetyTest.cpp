// Rule text that turns the engine against itself: user code run in the middle of matching or
// of placing an activation that tries to change what is being matched, errors raised half way
// through an assertion, fact ids running out.  The engine refuses or takes back, and stays whole.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/core/ErrorText.h"
#include "tests/core/TestConsole.h"

#include "core/engine/InferenceEngine.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using rulecore::testing::TConsole;

namespace {

int FactCount(TInferenceEngine& Engine) { return static_cast<int>(Engine.GetFacts().Items().size()); }

}  // namespace

// Changes of working memory, the rules or the agenda from a test, a pattern's call or a salience
// expression are refused with an error; the engine goes on working afterwards.
TEST(RuleTextSafety, ChangesFromInsideMatchingAreRefused) {
  struct TCase {
    std::string Name;
    std::string Program;
    std::string Refused;
  };
  // A salience expression is evaluated when its rule is defined as well; the global arms it
  // only for the activations that come after.
  const std::string Armed = "(defglobal ?*armed* = FALSE)";
  const auto Salience = [&](const std::string& Change) {
    return "(deffunction s () (if ?*armed* then " + Change + ") 0)" +
           "(defrule r (declare (salience (s))) (a ?) => )";
  };
  const std::vector<TCase> Cases = {
      {"clear in a test's deffunction", "(deffunction boom () (clear) TRUE) (defrule r (a ?) (test (boom)) => )",
       "Clear"},
      {"clear in a field predicate", "(defrule r (a ?x&:(clear)) => )", "Clear"},
      {"reset in a field predicate", "(defrule r (a ?x&:(reset)) => )", "Reset"},
      {"retract in a test", "(defrule r ?f <- (a ?) (test (retract ?f)) => )", "Retracting a fact"},
      {"assert in a test", "(defrule r (a ?) (test (assert (b 1))) => )", "Asserting a fact"},
      {"undefrule in a test", "(defrule q (never) => ) (defrule r (a ?) (test (undefrule q)) => )", ""},
      {"run in a test", "(defrule r (a ?) (test (run)) => )", "Running rules"},
      {"clear in a salience", Salience("(clear)"), "Clear"},
      {"reset in a salience", Salience("(reset)"), "Reset"},
      {"retract in a salience", Salience("(retract 0)"), "Retracting a fact"},
  };

  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TConsole Console;
    Console.Run(Armed + C.Program);
    Console.Run("(reset) (bind ?*armed* TRUE)");
    const int Before = FactCount(Console.Engine);
    const std::string Error = ErrorOf([&] { Console.Run("(assert (a 1))"); });
    EXPECT_NE(Error, "(no error)");
    if (!C.Refused.empty()) {
      EXPECT_NE(Error.find(C.Refused + " is not allowed while facts are being matched"),
                std::string::npos)
          << Error;
    }
    // The failed assertion was taken back, and the engine still works.
    EXPECT_EQ(FactCount(Console.Engine), Before);
    EXPECT_EQ(Console.Engine.GetAgenda().Count(), 0);
    Console.Run("(clear) (defrule ok (b ?x) => (printout t ok crlf)) (reset) (assert (b 2))");
    EXPECT_EQ(Console.Fire(), "ok\r\n");
  }
}

// An error in one rule's test takes the fact back from every rule: none keeps an activation,
// and retracting or asserting again does not raise on the way out.
TEST(RuleTextSafety, AFactWhoseTestRaisesIsWithdrawnWhole) {
  TConsole C;
  C.Run("(defrule first (a ?x) => )"
        "(defrule divides (a ?x&:(> (/ 10 ?x) 1)) => )"
        "(defrule last (a ?x) (b ?x) => )"
        "(reset) (assert (b 0))");
  const int Before = FactCount(C.Engine);
  const std::string Error = ErrorOf([&] { C.Run("(assert (a 0))"); });
  EXPECT_NE(Error.find("Division by zero"), std::string::npos) << Error;
  EXPECT_NE(Error.find("in rule divides"), std::string::npos) << Error;
  EXPECT_EQ(FactCount(C.Engine), Before);
  EXPECT_EQ(C.Engine.GetAgenda().Count(), 0);
  // Other facts still flow through every rule.
  C.Run("(assert (a 5))");
  EXPECT_EQ(C.Engine.GetAgenda().Count(), 2);  // first, divides
  C.Run("(assert (b 5))");
  EXPECT_EQ(C.Engine.GetAgenda().Count(), 3);  // and last

  // A fact already in working memory that a later test fails on: retracting it never raises.
  C.Run("(defrule later (c ?x) (test (> (/ 1 ?x) 0)) => )");
  const std::string Again = ErrorOf([&] { C.Run("(assert (c 0))"); });
  EXPECT_NE(Again, "(no error)");
  EXPECT_EQ(ErrorOf([&] { C.Run("(retract 1)"); }), "(no error)");
}

TEST(RuleTextSafety, FactIdsNeverWrap) {
  TInferenceEngine Engine;
  Engine.Reset();
  Engine.SetNextFactId(INT32_MAX - 1);
  EXPECT_EQ(Engine.Assert("(a 1)"), INT32_MAX - 1);
  const int Before = static_cast<int>(Engine.GetFacts().Items().size());
  EXPECT_NE(ErrorOf([&] { Engine.Assert("(a 2)"); }).find("No fact identifiers are left"), std::string::npos);
  EXPECT_EQ(static_cast<int>(Engine.GetFacts().Items().size()), Before);
  Engine.Reset();
  EXPECT_EQ(Engine.Assert("(a 3)"), 1);
}

// A template redefined under the same name keeps what still fits it and names what it drops.
TEST(RuleTextSafety, ARedefinedTemplateReportsWhatItDrops) {
  TConsole C;
  C.Run("(deftemplate a (slot x) (slot y))"
        "(defrule r (a (y ?v)) => ) (defrule keep (a (x ?v)) => )"
        "(reset) (assert (a (x 1) (y 2)) (a (x 3)))");
  const std::string Output = C.Run("(deftemplate a (slot x))");
  EXPECT_EQ(Output,
            "Warning: fact (a (x 1) (y 2)) was dropped by the redefined template: No such slot name: \"y\"\r\n"
            "Warning: rule r was dropped by the redefined template: No such slot name: \"y\"\r\n");
  EXPECT_FALSE(C.Engine.GetRules().GetItem("r"));
  EXPECT_TRUE(C.Engine.GetRules().GetItem("keep"));
  EXPECT_EQ(FactCount(C.Engine), 2);  // the initial fact and (a (x 3))
}
