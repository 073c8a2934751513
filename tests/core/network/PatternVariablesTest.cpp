// The places a variable can stand in a rule's patterns, and what matching makes of each: a fact
// address held in a slot of another fact, a multifield variable constrained by another one, a
// deffunction called from a constraint or a test element; and how an error raised while
// matching reads.
#include <gtest/gtest.h>

#include <string>

#include "tests/core/ErrorText.h"
#include "tests/core/TestConsole.h"

#include "core/engine/InferenceEngine.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using rulecore::testing::TConsole;

TEST(FactAddressVariables, AFactIdInASlotIsTheFactAPatternBinds) {
  TConsole C;
  C.Run("(deftemplate a (slot v)) (deftemplate ref (slot to) (slot v))"
        "(defrule link ?f <- (a (v ?v)) => (assert (ref (to ?f) (v ?v))))"
        // the pattern bound after the slot that holds it, under a negation, and in a multislot
        "(defrule forward ?f <- (a (v ?v)) (ref (to ?f) (v ?w)) => (printout t \"forward \" ?v ?w crlf))"
        "(defrule backward (ref (to ?f) (v ?w)) ?f <- (a (v ?v)) => (printout t \"backward \" ?v ?w crlf))"
        "(defrule unlinked ?f <- (a (v ?v)) (not (ref (to ?f))) => (printout t \"unlinked \" ?v crlf))"
        "(defrule listed ?f <- (a (v ?v)) (refs $? ?f $?) => (printout t \"listed \" ?v crlf))"
        "(defrule other ?f <- (a (v 1)) (ref (to ~?f) (v ?w)) => (printout t \"other \" ?w crlf))");
  C.Engine.SetStrategy(ssBreadthFirst);
  C.Engine.Reset();
  const int32_t One = C.Engine.Assert("(a (v 1))");
  const int32_t Two = C.Engine.Assert("(a (v 2))");
  EXPECT_EQ(C.Engine.GetAgendaCount(), 4);  // link and unlinked for each; the links withdraw the others
  EXPECT_EQ(C.Fire(), "forward 11\r\nbackward 11\r\nforward 22\r\nbackward 22\r\nother 2\r\n");
  C.Engine.Parse("(assert (refs x <Fact-1> y))", true);  // an atom that reads like a fact id is not one
  EXPECT_EQ(C.Fire(), "");
  C.Run("(assert (refs x " + std::to_string(Two) + " y))");  // nor is the integer
  EXPECT_EQ(C.Fire(), "");
  C.Run("(defrule list-it ?f <- (a (v 2)) => (assert (refs x ?f y)))");
  EXPECT_EQ(C.Fire(), "listed 2\r\n");
  // Retracting a reference lets the negation through again; retracting the fact referred to
  // withdraws what joined on it.
  for (const IFact& F : C.Engine.GetFactList())
    if (F->GetTemplate()->GetTemplateName() == "ref" && F->GetValue("to")->GetAsInteger() == Two) {
      C.Engine.Retract(F->GetID());
      break;
    }
  EXPECT_EQ(C.Fire(), "unlinked 2\r\n");
  C.Run("(deffacts none) (defrule relink ?f <- (a (v 1)) => (assert (ref (to ?f) (v 9))))");
  C.Engine.Retract(One);
  EXPECT_EQ(C.Engine.GetAgendaCount(), 0);
}

TEST(FactAddressVariables, AGraphOfFactsIsFollowedThroughHashedMemories) {
  // A chain of 300 nodes, each edge holding the two nodes' fact ids, followed from the first
  // node to the last: every join is keyed on a fact place.
  TConsole C;
  C.Run("(deftemplate node (slot n)) (deftemplate edge (slot from) (slot to))"
        "(deftemplate reach (slot node))"
        "(defrule step (reach (node ?a)) (edge (from ?a) (to ?b)) ?b <- (node (n ?n)) (not (reach (node ?b)))"
        "  => (assert (reach (node ?b))))"
        "(defrule done (reach (node ?b)) ?b <- (node (n 299)) => (printout t \"reached 299\" crlf))");
  std::vector<int32_t> Ids;
  for (int I = 0; I < 300; ++I) Ids.push_back(C.Engine.Assert("(node (n " + std::to_string(I) + "))"));
  // Edges asserted in an order of their own, some twice as fast as others.
  for (int I = 298; I >= 0; I -= 2) {
    for (int J : {I, I - 1}) {
      if (J < 0) continue;
      const IFact Edge = platform::MakeRef<TFact>(C.Engine.FindFactTemplate("edge"));
      Edge->SetValue("from", platform::MakeRef<TIEValue>(Ids[static_cast<size_t>(J)], dtFactId));
      Edge->SetValue("to", platform::MakeRef<TIEValue>(Ids[static_cast<size_t>(J + 1)], dtFactId));
      C.Engine.Assert(Edge);
    }
  }
  const IFact Start = platform::MakeRef<TFact>(C.Engine.FindFactTemplate("reach"));
  Start->SetValue("node", platform::MakeRef<TIEValue>(Ids[0], dtFactId));
  C.Engine.Assert(Start);
  EXPECT_EQ(C.Fire(), "reached 299\r\n");
  EXPECT_EQ(C.Engine.GetRulesFired(), 300);
}

TEST(FactAddressVariables, APatternThatHoldsItsOwnId) {
  TConsole C;
  C.Run("(deftemplate self (slot me) (slot tag))"
        "(defrule own ?f <- (self (me ?f) (tag ?t)) => (printout t \"own \" ?t crlf))"
        "(defrule foreign ?f <- (self (me ~?f) (tag ?t)) => (printout t \"foreign \" ?t crlf))"
        "(defrule point ?f <- (self (me nil) (tag ?t)) => (modify ?f (me (+ ?f 1)) (tag (sym-cat ?t -fixed))))");
  C.Engine.Reset();
  C.Run("(assert (self (me nil) (tag x)))");
  // "modify" asserts the new fact under the next id, which the slot was given: (+ ?f 1) is an
  // integer though, not that fact's id, so the fact is foreign to itself.
  EXPECT_EQ(C.Fire(), "foreign x-fixed\r\n");
  const IFact Own = platform::MakeRef<TFact>(C.Engine.FindFactTemplate("self"));
  Own->SetValue("tag", NewAtom("y"));
  Own->SetValue("me", platform::MakeRef<TIEValue>(C.Engine.GetFactList().back()->GetID() + 1, dtFactId));
  C.Engine.Assert(Own);
  EXPECT_EQ(C.Fire(), "own y\r\n");
}

TEST(MultifieldConnectives, CompareWholeListsAndSplitOnlyAsFieldsDemand) {
  TConsole C;
  C.Run("(defglobal ?*splits* = 0)"
        "(deffunction seen ($?x) (bind ?*splits* (+ ?*splits* 1)) TRUE)"
        "(defrule whole (l $?x&:(seen ?x)) =>)"
        "(defrule tail (l $?x&:(seen ?x) 5) =>)"
        "(defrule two (l $?a $?b&:(seen ?b)) =>)");
  C.Run("(assert (l 1 2 3 4 5))");
  // whole: the one list; tail: the one list before 5; two: one ?b for each of the six ?a.
  EXPECT_EQ(C.Run("(printout t ?*splits*)"), "8");
  EXPECT_EQ(C.Engine.GetAgendaCount(), 8);

  TConsole D;
  D.Run("(deffacts d (p a b) (q a b) (q b) (q a b c) (q z a b) (r b))"
        "(defrule and-last (p $?x) (q $?y&$?x c) => (printout t \"and-last \" ?y crlf))"
        "(defrule and-first (p $?x) (q z $?y&$?x) => (printout t \"and-first \" ?y crlf))"
        "(defrule not-and (p $?x) (q $?a&~$?x $?b&$?x) => (printout t \"not-and \" ?a \"/\" ?b crlf))"
        "(defrule or (p $?x) (r $?z) (q $?y&$?x|$?z) => (printout t \"or \" ?y crlf))"
        "(defrule not-only (p $?x) (q ~$?x) => (printout t \"not-only\" crlf))");
  D.Run("(reset)");
  D.Fire();
  std::vector<std::string> Lines;
  for (size_t At = 0, End; (End = D.Output.find("\r\n", At)) != std::string::npos; At = End + 2)
    Lines.push_back(D.Output.substr(At, End - At));
  std::sort(Lines.begin(), Lines.end());
  EXPECT_EQ(Lines, (std::vector<std::string>{"and-first (a b )", "and-last (a b )", "not-and ()/(a b )",
                                             "not-and (z )/(a b )", "not-only", "not-only", "not-only", "or (a b )",
                                             "or (b )"}));
}

TEST(DeffunctionsInMatching, SeeTheirOwnParametersEverywhere) {
  TConsole C;
  C.Run("(deffunction above (?big ?small) (> ?big ?small))"
        "(deffunction total ($?n) (+ (nth$ 0 ?n) (nth$ 1 ?n)))"
        "(deffunction weight (?n) (* ?n 10))"
        "(deffunction deep (?n) (if (<= ?n 0) then TRUE else (deep (- ?n 1))))"
        // the caller's ?a and ?b go to parameters named the other way round
        "(defrule swapped (a ?b) (b ?a) (test (above ?b ?a)) => (printout t \"swapped \" ?b \" \" ?a crlf))"
        "(defrule listed (a ?x) (b ?y&:(> (total ?x ?y) 5)) => (printout t \"listed \" ?x \" \" ?y crlf))"
        "(defrule heavy (declare (salience (weight 3))) (a ?x&:(deep ?x)) => (printout t \"heavy \" ?x crlf))");
  C.Run("(assert (a 4) (b 1) (b 3))");
  EXPECT_EQ(C.Fire(), "heavy 4\r\nlisted 4 3\r\nswapped 4 3\r\nswapped 4 1\r\n");
  EXPECT_EQ(C.Run("(deffunction pick (?a ?b) ?b) (pick 1 2)"), "2\r\n");
}

TEST(MatchingErrors, NameTheRuleAndThePatternOnce) {
  const std::string Why = "Not a numeric type.  Value (\"x\") is a dtString type (in deffunction boom) for pattern match = ";
  for (const auto& [Rule, Named] : std::vector<std::pair<std::string, std::string>>{
           {"(defrule alpha (a ?x&:(boom ?x)) =>)", "(a ?x&:(boom ?x)) in rule alpha"},
           {"(defrule join (b ?x) (a ?y&:(boom ?y)) =>)", "(a ?y&:(boom ?y)) in rule join"},
           {"(defrule tested (b ?x) (a ?y) (test (boom ?y)) =>)", "(test (boom ?y)) in rule tested"}}) {
    TConsole C;
    C.Run("(deffunction boom (?v) (+ ?v \"x\")) (assert (b 0))" + Rule);
    EXPECT_EQ(ErrorOf([&] { C.Engine.Assert("(a 1)"); }), Why + Named);
  }

  // A test whose call would assert a fact (refused while matching): the error names where it
  // arose, once.
  TConsole D;
  D.Run("(deffunction note (?v) (assert (noted ?v)) TRUE)"
        "(defrule outer (a ?x&:(note ?x)) =>)");
  EXPECT_EQ(ErrorOf([&] { D.Engine.Assert("(a 1)"); }),
            "Asserting a fact is not allowed while facts are being matched or activations placed (in deffunction note) "
            "for pattern match = "
            "(a ?x&:(note ?x)) in rule outer");
}
