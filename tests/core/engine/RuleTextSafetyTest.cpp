// Rule text that turns the engine against itself: user code run in the middle of matching or
// of placing an activation that tries to change what is being matched, errors raised half way
// through an assertion, fact ids running out.  The engine refuses or takes back, and stays whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/core/ErrorText.h"
#include "tests/core/TestConsole.h"
#include "tests/core/ThreadStack.h"

#include "core/engine/InferenceEngine.h"
#include "core/network/IERule.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using rulecore::testing::RunOnThreadWithStack;
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

// A fact address stands for one fact: after a reset gives its id to another fact, retracting or
// modifying through the old address reaches nothing.
TEST(RuleTextSafety, AFactAddressNeverReachesANewerFactWithItsId) {
  TConsole C;
  C.Run("(set-reset-globals FALSE) (defglobal ?*kept* = nil)"
        "(defrule keep ?f <- (old) => (bind ?*kept* ?f))"
        "(reset) (assert (old)) (run)");
  EXPECT_EQ(C.Run("?*kept*"), "<Fact-1>\r\n");
  C.Run("(reset) (assert (new))");  // f-1 again
  EXPECT_EQ(C.Run("(retract ?*kept*)"), "TRUE\r\n");
  EXPECT_EQ(FactCount(C.Engine), 2);  // (new) is still there
  EXPECT_NE(ErrorOf([&] { C.Run("(modify ?*kept* (x 1))"); }), "(no error)");
  EXPECT_NE(ErrorOf([&] { C.Run("(get-slot-value ?*kept*)"); }), "(no error)");
  // An address of this epoch, and a plain id, still reach their fact.
  C.Run("(defrule gone ?f <- (new) => (retract ?f))");
  C.Fire();
  EXPECT_EQ(FactCount(C.Engine), 1);
  C.Run("(assert (third))");
  EXPECT_EQ(C.Run("(retract 2)"), "TRUE\r\n");
  EXPECT_EQ(FactCount(C.Engine), 1);
}

// A list nested far deeper than any stack allows to walk by recursion: freeing it never
// overflows the stack, and printing, comparing, copying and asserting it stop with the nesting
// error instead.
TEST(RuleTextSafety, ListsNestedDeeperThanTheStackAreRefusedNotCrashedOn) {
  TConsole C;
  C.Run("(defglobal ?*kept* = nil)"
        "(deffunction nest (?n) (bind ?l (create$)) (while (> ?n 0) (bind ?l (create$ ?l)) (bind ?n (- ?n 1))) ?l)"
        "(reset)");
  const int Before = FactCount(C.Engine);
  // Each walk either finishes (a frame per level may be small enough) or stops with the error.
  for (const auto& [Use, Answer] : std::vector<std::pair<std::string, std::string>>{
           {"(nest 100000)", std::string(100000, ' ') + "\r\n"},
           {"(eq (nest 100000) (nest 100000))", "TRUE\r\n"},
           {"(implode$ (nest 100000))", "\"" + std::string(100000, ' ') + "\"\r\n"},
           {"(printout t (nest 100000) crlf)", std::string(100000, ' ') + "\r\n"}}) {
    SCOPED_TRACE(Use);
    std::string Output;
    const std::string Error = ErrorOf([&] { Output = C.Run(Use); });
    if (Error == "(no error)")
      EXPECT_EQ(Output.size(), Answer.size());
    else
      EXPECT_NE(Error.find("Nesting too deep"), std::string::npos) << Error;
  }
  EXPECT_EQ(FactCount(C.Engine), Before);
  // A fact's fields are flat: what the lists hold (here nothing) is spread out, walked without
  // recursion.
  C.Run("(assert (holds (nest 100000)))");
  EXPECT_EQ(C.Run("(facts 1)"), "f-1 (holds)\r\nFor a total of 1 facts.\r\nTRUE\r\n");
  // Made and freed without a walk: no error.
  EXPECT_EQ(C.Run("(length$ (nest 100000))"), "1\r\n");
  // The same list shallow enough works as any other.
  EXPECT_EQ(C.Run("(length$ (nest 3))"), "1\r\n");
  EXPECT_EQ(C.Run("(eq (nest 50) (nest 50))"), "TRUE\r\n");
  // Kept in a global like any value, freed by a reset.
  (void)ErrorOf([&] { C.Run("(bind ?*kept* (nest 100000))"); });  // the echo may be refused
  EXPECT_EQ(C.Run("(length$ ?*kept*)"), "1\r\n");
  C.Run("(reset)");
  EXPECT_EQ(C.Run("(eq ?*kept* nil)"), "TRUE\r\n");
}

// A rule of very many patterns: a fact that completes it walks one join per pattern.  It either
// matches or stops with the nesting error; working memory and the network stay in agreement.
// On a 1 MiB stack a few thousand patterns are as many as tens of thousands on a main thread.
TEST(RuleTextSafety, ARuleWithThousandsOfPatternsDoesNotOverflowTheStack) {
  RunOnThreadWithStack(size_t{1} << 20, [] {
    constexpr int Patterns = 6000;
    std::string Rule = "(defrule long";
    for (int I = 0; I < Patterns; ++I) Rule += " (p" + std::to_string(I) + ")";
    Rule += " => )";
    TInferenceEngine Engine;
    Engine.Parse(Rule, false);
    Engine.Reset();
    for (int I = 1; I < Patterns; ++I) Engine.Assert("(p" + std::to_string(I) + ")");
    const int Before = FactCount(Engine);
    const std::string Error = ErrorOf([&] { Engine.Assert("(p0)"); });
    EXPECT_NE(Error.find("Nesting too deep, stopped at pattern matching"), std::string::npos) << Error.substr(0, 200);
    EXPECT_EQ(FactCount(Engine), Before);
    EXPECT_EQ(Engine.GetAgenda().Count(), 0);
    Engine.Retract(Patterns - 1);
    Engine.Reset();
    EXPECT_EQ(FactCount(Engine), 1);
  });
}

// An error names where it arose: the innermost deffunction, the rule being fired, the file and
// line being loaded - and never the engine's own classes.
TEST(RuleTextSafety, ErrorsNameWhereTheyArose) {
  TConsole C;
  C.Run("(deffunction inner (?x) (/ 1 ?x)) (deffunction outer (?x) (inner ?x))"
        "(deffunction again (?n) (if (> ?n 0) then (again (- ?n 1)) else (inner 0)))"
        "(defrule divide (d ?x) => (outer ?x))");
  EXPECT_EQ(ErrorOf([&] { C.Run("(outer 0)"); }), "Division by zero in / (in deffunction inner)");
  EXPECT_EQ(ErrorOf([&] { C.Run("(again 500)"); }), "Division by zero in / (in deffunction inner)");
  C.Run("(reset) (assert (d 0))");
  EXPECT_EQ(ErrorOf([&] { C.Engine.Run(); }), "Division by zero in / (in deffunction inner) (while firing rule divide)");
  // A rule that removed itself before its error is still named.
  C.Run("(defrule self => (undefrule self) (/ 1 0)) (reset)");
  EXPECT_EQ(ErrorOf([&] { C.Engine.Run(); }), "Division by zero in / (while firing rule self)");

  const std::filesystem::path File = std::filesystem::temp_directory_path() / "rule_text_safety_load.clp";
  for (const auto& [Text, Expected] : std::vector<std::pair<std::string, std::string>>{
           {"(deftemplate a (slot x))\n\n(assert (a (x (/ 1 0))))\n(assert (a))\n", ":3: Division by zero"},
           {"(deftemplate a (slot x))\n(defrule r\n  (a (y 1)) => )\n", ":3: "}}) {
    std::ofstream(File) << Text;
    TConsole L;
    const std::string Error = ErrorOf([&] { L.Engine.LoadFromFile(File.string()); });
    EXPECT_EQ(Error.rfind(File.string() + Expected, 0), 0u) << Error;
    EXPECT_EQ(Error.find("TIE"), std::string::npos) << Error;
  }
  std::filesystem::remove(File);
}

// Every firing is reported to the host, also one whose actions take back a fact of its own
// match (which takes the activation out of the network before the firing ends).
TEST(RuleTextSafety, EveryFiringIsReported) {
  TConsole C;
  C.Run("(defrule consume ?f <- (job ?n) => (retract ?f))"
        "(deftemplate counter (slot n)) (defrule bump ?f <- (counter (n ?n&:(< ?n 3))) => (modify ?f (n (+ ?n 1))))"
        "(defrule keep (job ?n) => )"
        "(defrule self => (undefrule self))"
        "(reset) (assert (job 1) (job 2) (counter (n 0)))");
  std::vector<std::string> Reported;
  C.Engine.OnRuleFired = [&](TInferenceEngine*, TRule* Rule) { Reported.push_back(Rule->GetRuleName()); };
  EXPECT_EQ(C.Engine.Run(), 8);
  // "self" removed its own rule: its firing counts, but there is no rule left to report.
  EXPECT_EQ(Reported.size(), 7u);
  EXPECT_EQ(std::count(Reported.begin(), Reported.end(), "consume"), 2);
  EXPECT_EQ(std::count(Reported.begin(), Reported.end(), "bump"), 3);
  EXPECT_EQ(std::count(Reported.begin(), Reported.end(), "keep"), 2);
}
