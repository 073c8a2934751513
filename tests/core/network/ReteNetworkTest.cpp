#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/network/IERule.h"
#include "core/network/ReteNetwork.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;

namespace {

struct TWatched {
  TInferenceEngine Engine;
  std::string Output;
  TWatched() {
    Engine.OnPrintOut = [this](TInferenceEngine*, const std::string&, const std::string& Text) { Output += Text; };
  }
  std::vector<std::string> Agenda() {
    std::vector<std::string> Names;
    for (int I = 0; I < Engine.GetAgendaCount(); ++I)
      Names.push_back(Engine.GetActivation(I)->GetRule()->GetRuleName() + ":" +
                      Engine.GetActivation(I)->GetToken()->GetToFactsString());
    return Names;
  }
  // How many activations of Rule the agenda holds.
  int Activations(const std::string& Rule) {
    int N = 0;
    for (const std::string& A : Agenda()) N += A.rfind(Rule + ":", 0) == 0;
    return N;
  }
};

}  // namespace

TEST(ReteCompilation, TracesShowSharedAndNewNodes) {
  TWatched W;
  W.Engine.SetWatch({cwCompilation});
  W.Engine.Parse("(deftemplate p (slot a) (slot b))"
                 "(defrule one (p (a 1) (b ?x)) (p (a 2) (b ?x)) =>)"
                 "(defrule two (p (a 1) (b ?x)) (p (a 2) (b ?x)) =>)"
                 "(defrule three (p (a 1) (b ?x)) (not (p (a 3) (b ?x))) =>)",
                 false);
  EXPECT_EQ(W.Output,
            "one: +1+1+1+2+t\r\n"
            "two: =1=1=2+t\r\n"
            "three: =1+1+2+t\r\n");
  const TRule* Two = W.Engine.GetRules().GetItem("two");
  EXPECT_EQ(W.Engine.GetReteNetwork().GetCompileTrace(*Two), "two: =1=1=2+t");
  const int Nodes = W.Engine.GetReteNetwork().GetNodeCount();
  W.Engine.GetRules().Remove("two");
  EXPECT_EQ(W.Engine.GetReteNetwork().GetNodeCount(), Nodes - 1);  // only its terminal node goes
}

TEST(ReteCompilation, ManySiblingTestsAreSharedAsRulesComeAndGo) {
  // Rules differing in one constant give one node thousands of children; a new rule must still
  // find the child to share, also after rules (and with them nodes) went away.
  TWatched W;
  auto Rules = [](const std::string& Prefix, int From, int To) {
    std::string Text;
    for (int I = From; I < To; ++I)
      Text += "(defrule " + Prefix + std::to_string(I) + " (p (a " + std::to_string(I) + ") (b ?x)) (q (b ?x)) =>)";
    return Text;
  };
  W.Engine.Parse("(deftemplate p (slot a) (slot b)) (deftemplate q (slot b))" + Rules("one", 0, 100), false);
  TReteNetwork& Rete = W.Engine.GetReteNetwork();
  const int Nodes = Rete.GetNodeCount();
  W.Engine.SetWatch({cwCompilation});
  W.Engine.Parse(Rules("two", 0, 100), false);
  EXPECT_EQ(Rete.GetNodeCount(), Nodes + 100);  // a terminal node each, every other node shared
  EXPECT_NE(W.Output.find("two58: =1=2+t"), std::string::npos) << W.Output;
  // Both rules of a constant gone: its nodes go; made again, they are found again.
  for (int I = 0; I < 100; I += 3) {
    W.Engine.GetRules().Remove("one" + std::to_string(I));
    W.Engine.GetRules().Remove("two" + std::to_string(I));
  }
  const int Fewer = Rete.GetNodeCount();
  EXPECT_LT(Fewer, Nodes);
  W.Output.clear();
  W.Engine.Parse(Rules("one", 0, 100), false);
  EXPECT_EQ(Rete.GetNodeCount(), Nodes + 100 - 34);  // the "two" rules of every third constant stay gone
  EXPECT_NE(W.Output.find("one58: =1=2+t"), std::string::npos) << W.Output;  // shares two58's nodes
  EXPECT_NE(W.Output.find("one99: +1+2+t"), std::string::npos) << W.Output;  // its nodes went: made again
  W.Engine.Assert("(q (b 5))");
  W.Engine.Assert("(p (a 99) (b 5))");
  W.Engine.Assert("(p (a 58) (b 5))");
  EXPECT_EQ(W.Activations("one99"), 1);
  EXPECT_EQ(W.Activations("one58"), 1);
  EXPECT_EQ(W.Activations("two58"), 1);
  EXPECT_EQ(W.Engine.GetAgendaCount(), 3);
}

namespace {

// The rules Mine, alone and spread among many siblings (Siblings(N) gives the N-th pair of
// them, named "f..."): each fact must activate the same of Mine in the same order either way
// (the siblings it cannot pass are skipped by their constants' hash codes), and as many
// siblings as Expected says.
void ExpectTheSameRulesAmongSiblings(const std::string& Definitions, const std::vector<std::string>& Mine,
                                     const std::function<std::string(int)>& Siblings,
                                     const std::vector<std::pair<std::string, int>>& Facts) {
  std::string Small = Definitions, Big = Definitions;
  for (size_t R = 0; R < Mine.size(); ++R) {
    Small += Mine[R];
    Big += Mine[R];
    for (int F = 0; F < 8; ++F) Big += Siblings(static_cast<int>(R) * 8 + F);
  }
  auto Mines = [](TWatched& W) {
    std::vector<std::string> Names;
    for (const std::string& A : W.Agenda())
      if (A[0] == 'm') Names.push_back(A.substr(0, A.find(':')));
    return Names;
  };
  for (const auto& [Fact, Expected] : Facts) {
    TWatched One, Many;
    One.Engine.Parse(Small, false);
    Many.Engine.Parse(Big, false);
    One.Engine.Assert(Fact);
    Many.Engine.Assert(Fact);
    EXPECT_EQ(Mines(Many), Mines(One)) << Fact;
    EXPECT_FALSE(Mines(One).empty() && Fact != "(p (a x) (b 5))" && Fact != "(o x 5)") << Fact;
    int Others = 0;
    for (const std::string& A : Many.Agenda()) Others += A[0] == 'f';
    EXPECT_EQ(Others, Expected) << Fact;
  }
}

}  // namespace

TEST(ReteCompilation, FactsReachOnlyTheSiblingsTheyMayPassInTheirOrder) {
  ExpectTheSameRulesAmongSiblings(
      "(deftemplate p (slot a) (slot b))",
      {"(defrule m0 (p (a 5)) =>)", "(defrule m1 (p (a ~4)) =>)", "(defrule m2 (p (b x)) =>)",
       "(defrule m3 (p (a 5.0)) =>)", "(defrule m4 (p (a ?v&:(and (numberp ?v) (> ?v 4)))) =>)",
       "(defrule m5 (p (a 5) (b x)) =>)", "(defrule m6 (p (b \"x\")) =>)", "(defrule m7 (p (a ~5)) =>)",
       "(defrule m8 (p (a x)) =>)"},
      [](int N) {
        return "(defrule fa" + std::to_string(N) + " (p (a " + std::to_string(N + 100) + ")) =>)" + "(defrule fb" +
               std::to_string(N) + " (p (b y" + std::to_string(N) + ")) =>)";
      },
      {{"(p (a 5) (b x))", 0}, {"(p (a 5.0) (b \"x\"))", 0}, {"(p (a 104) (b y3))", 2}, {"(p (b x))", 0},
       {"(p (a x) (b 5))", 0}, {"(p (a 130) (b y30))", 2}, {"(p (a \"x\"))", 0}});
}

TEST(ReteCompilation, OrderedFactsReachOnlyTheSiblingsTheyMayPassInTheirOrder) {
  // The same for the fields of ordered facts, with patterns of other lengths and multifield
  // wildcards among them.
  ExpectTheSameRulesAmongSiblings(
      "",
      {"(defrule m0 (o 5 ?) =>)", "(defrule m1 (o ~4 ?) =>)", "(defrule m2 (o ? x) =>)", "(defrule m3 (o 5.0 ?) =>)",
       "(defrule m4 (o ?v&:(and (numberp ?v) (> ?v 4)) ?) =>)", "(defrule m5 (o 5 x) =>)",
       "(defrule m6 (o ? \"x\") =>)", "(defrule m7 (o $? 5) =>)", "(defrule m8 (o 5) =>)", "(defrule m9 (o 5 $?) =>)"},
      [](int N) {
        return "(defrule fa" + std::to_string(N) + " (o " + std::to_string(N + 100) + " ?) =>)" + "(defrule fb" +
               std::to_string(N) + " (o ? y" + std::to_string(N) + ") =>)";
      },
      {{"(o 5 x)", 0}, {"(o 5.0 \"x\")", 0}, {"(o 104 y3)", 2}, {"(o 5)", 0}, {"(o x 5)", 0}, {"(o 130 y30)", 2},
       {"(o 104 y99)", 1}, {"(o 5 x 5)", 0}});
}

TEST(ReteCompilation, SharedNodesKeepTheOtherRulesMatches) {
  TWatched W;
  W.Engine.Parse("(deftemplate p (slot a))"
                 "(defrule one (p (a 1)) =>)"
                 "(defrule two (p (a 1)) =>)",
                 false);
  W.Engine.Assert("(p (a 1))");
  ASSERT_EQ(W.Engine.GetAgendaCount(), 2);
  W.Engine.GetRules().Remove("one");
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"two:f-1"}));
  W.Engine.Assert("(p (a 1) )");  // a duplicate: refused, no new activation
  EXPECT_EQ(W.Engine.GetAgendaCount(), 1);
  W.Engine.Retract(1);
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
}

TEST(ReteCompilation, FactsReachOnlyTheirTemplatesRootsAsRulesComeAndGo) {
  // Roots are found by template; removing a rule takes roots away and the index is rebuilt,
  // and a test pattern's root (which tests no template) still sees every fact, in rule order.
  TWatched W;
  W.Engine.Parse("(deftemplate p (slot a)) (deftemplate q (slot a)) (deftemplate r (slot a))"
                 "(defrule on-p (p (a ?x)) =>)"
                 "(defrule on-q (q (a ?x)) =>)"
                 "(defrule on-r (r (a ?x)) =>)",
                 false);
  const int Roots = W.Engine.GetReteNetwork().GetRootCount();
  W.Engine.GetRules().Remove("on-q");
  EXPECT_EQ(W.Engine.GetReteNetwork().GetRootCount(), Roots - 1);
  W.Engine.Assert("(q (a 1))");
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
  W.Engine.Parse("(defrule q-again (q (a ?x)) =>)"
                 "(defrule p-or-q (test (> 2 1)) (p (a ?x)) =>)",
                 false);
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"q-again:f-1"}));
  W.Engine.Assert("(p (a 2))");
  W.Engine.Assert("(r (a 3))");
  EXPECT_EQ(W.Activations("on-p"), 1);
  EXPECT_EQ(W.Activations("p-or-q"), 1);
  EXPECT_EQ(W.Activations("on-r"), 1);
  EXPECT_EQ(W.Activations("q-again"), 1);
  // Taking the p fact back withdraws what it reached through both kinds of root.
  W.Engine.Retract(2);
  EXPECT_EQ(W.Activations("on-p") + W.Activations("p-or-q"), 0);
}

TEST(ReteJoins, NegationCountsEveryBlockingFact) {
  TWatched W;
  W.Engine.Parse("(deftemplate a (slot v)) (deftemplate b (slot v))"
                 "(defrule lonely (a (v ?x)) (not (b (v ?x))) =>)",
                 false);
  W.Engine.Assert("(a (v 1))");
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"lonely:f-1"}));
  W.Engine.Assert("(b (v 1))");
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
  W.Engine.SetFactDuplication(true);
  W.Engine.Assert("(b (v 1))");  // a second blocking fact
  W.Engine.Retract(2);
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);  // still blocked by the other one
  W.Engine.Retract(3);
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"lonely:f-1"}));
}

TEST(ReteJoins, ATestOnANegatedPatternsPlaceDoesNotConstrain) {
  // ?x is bound in a negated pattern: its place holds no fact, so a later test on ?x neither
  // fails nor reads that place - "eq" matches, its negation "ne" does not.  The join of "call"
  // also runs a call, so its tests take the general path through the node's context.
  TWatched W;
  W.Engine.Parse("(deftemplate a (slot v)) (deftemplate b (slot v) (slot w))"
                 "(defrule eq (b (v ?y)) (not (a (v ?x))) (b (v ?y) (w ?x)) =>)"
                 "(defrule ne (b (v ?y)) (not (a (v ?x))) (b (v ?y) (w ~?x)) =>)"
                 "(defrule call (b (v ?y)) (not (a (v ?x))) (b (v ?y) (w ?x&:(> ?y 0))) =>)"
                 // The only equality is on the negated place: it cannot key the memories.
                 "(defrule keyed (b (v ?y)) (not (a (v ?x))) (b (v ?x)) =>)",
                 false);
  W.Engine.Assert("(b (v 1) (w 2))");
  EXPECT_EQ(W.Engine.GetAgendaCount(), 3);
  EXPECT_EQ(W.Activations("eq"), 1);
  EXPECT_EQ(W.Activations("call"), 1);
  EXPECT_EQ(W.Activations("keyed"), 1);
  W.Engine.Assert("(a (v 5))");  // any a blocks
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
  W.Engine.Retract(2);
  EXPECT_EQ(W.Activations("eq"), 1);
  EXPECT_EQ(W.Activations("call"), 1);
  EXPECT_EQ(W.Activations("ne"), 0);
  W.Engine.Assert("(b (v 3) (w 4))");  // f-3 pairs with itself and with f-1, both ways round
  EXPECT_EQ(W.Activations("keyed"), 4);
}

TEST(ReteJoins, NegationBlockedBeforeItsTokenArrives) {
  // Blocking facts asserted before the left token are found but not counted; each retraction
  // must look again for another, with and without an equality test to hash on.
  TWatched W;
  W.Engine.Parse("(deftemplate a (slot v)) (deftemplate b (slot v))"
                 "(defrule same (a (v ?x)) (not (b (v ?x))) =>)"
                 "(defrule larger (a (v ?x)) (not (b (v ?y&:(> ?y ?x)))) =>)",
                 false);
  W.Engine.SetFactDuplication(true);
  W.Engine.Assert("(b (v 5))");  // f-1
  W.Engine.Assert("(b (v 5))");  // f-2
  W.Engine.Assert("(a (v 5))");  // f-3: "same" blocked twice, "larger" not blocked
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"larger:f-3"}));
  W.Engine.Assert("(b (v 9))");  // f-4 blocks "larger"
  W.Engine.Assert("(b (v 7))");  // f-5 blocks it too
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
  W.Engine.Retract(1);
  W.Engine.Retract(4);
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);  // f-2 and f-5 still block
  W.Engine.Assert("(b (v 5))");  // f-6 arrives while "same" is blocked by uncounted facts
  W.Engine.Retract(2);
  W.Engine.Retract(5);
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"larger:f-3"}));
  W.Engine.Retract(6);
  EXPECT_EQ(W.Engine.GetAgendaCount(), 2);
  W.Engine.Retract(3);  // the left token goes: both activations with it
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
}

TEST(ReteJoins, FactsArrivingBeforeAnyLeftTokenMatchInArrivalOrder) {
  // Right tokens that come while the left memory is empty wait unkeyed; they must meet a later
  // left token as if they had been stored one by one: the same matches, in arrival order (the
  // depth strategy lists the newest first), with retractions from either store honoured.
  TWatched W;
  W.Engine.Parse("(deftemplate item (slot v) (slot k)) (deftemplate go (slot k))"
                 "(defrule any (go) (item (v ?v)) =>)"  // no equality: walks every bucket
                 "(defrule keyed (go (k ?k)) (item (k ?k)) =>)"
                 "(defrule none (go (k ?k)) (not (item (k ?k))) =>)",
                 false);
  for (int V = 1; V <= 6; ++V) W.Engine.Assert("(item (v " + std::to_string(V) + ") (k " + std::to_string(V % 2) + "))");
  W.Engine.Retract(2);  // f-1 .. f-6 are the items
  W.Engine.Retract(5);
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
  W.Engine.Assert("(go (k 0))");  // f-7
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"keyed:f-7, f-6", "keyed:f-7, f-4", "any:f-7, f-6", "any:f-7, f-4",
                                                  "any:f-7, f-3", "any:f-7, f-1"}));
  W.Engine.Retract(4);  // now stored and keyed
  EXPECT_EQ(W.Activations("keyed"), 1);
  EXPECT_EQ(W.Activations("any"), 3);
  W.Engine.Retract(7);  // the left memories empty again
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
  W.Engine.Assert("(item (v 8) (k 0))");  // f-8 waits behind the stored f-1, f-3, f-6
  W.Engine.Assert("(item (v 9) (k 1))");  // f-9
  W.Engine.Retract(3);                    // stored before: found among the keyed tokens
  W.Engine.Retract(9);                    // found among the waiting ones
  W.Engine.Assert("(go (k 1))");          // f-10
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"keyed:f-10, f-1", "any:f-10, f-8", "any:f-10, f-6",
                                                  "any:f-10, f-1"}));
  W.Engine.Retract(1);  // the only item with k 1 goes: nothing blocks "none" any more
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"none:f-10", "any:f-10, f-8", "any:f-10, f-6"}));
}

TEST(ReteJoins, UniqueMultifieldAndExists) {
  TWatched W;
  W.Engine.Parse("(deftemplate a (slot v)) (deftemplate b (slot v))"
                 "(defrule first-b (a (v ?x)) (unique (b (v ?x))) =>)"
                 "(defrule any-b (a (v ?x)) (exists (b (v ?x))) =>)"
                 "(defrule splits (list $?l $?r) =>)",
                 false);
  W.Engine.Assert("(b (v 1))");
  W.Engine.Assert("(b (v 1) )");
  W.Engine.SetFactDuplication(true);
  W.Engine.Assert("(b (v 1))");
  W.Engine.Assert("(a (v 1))");
  EXPECT_EQ(W.Activations("first-b"), 1);  // one match per arriving left token
  EXPECT_EQ(W.Activations("any-b"), 1);
  W.Engine.Assert("(list x y z)");
  EXPECT_EQ(W.Activations("splits"), 4);  // $?l takes 3, 2, 1 or 0 of the three fields
}

TEST(ReteJoins, EachWayOfSplittingAFactJoinsOnItsOwn) {
  // The splits of one fact share its id; a join must keep every one of them, whatever bucket
  // its memory puts them in, and let each go when the fact goes.
  TWatched W;
  W.Engine.Parse("(deftemplate badge (slot id) (multislot zones))"
                 "(deftemplate door (slot zone))"
                 "(defrule cross (badge (id ?id) (zones $?before ?z $?after)) (door (zone ?d)) =>)"
                 "(defrule enter (badge (id ?id) (zones $?before ?z $?after)) (door (zone ?z)) =>)",
                 false);
  W.Engine.Assert("(door (zone q))");
  W.Engine.Assert("(door (zone b))");
  const int32_t Badge = W.Engine.Assert("(badge (id 1) (zones a b c))");
  EXPECT_EQ(W.Activations("cross"), 6);  // three splits, two doors
  EXPECT_EQ(W.Activations("enter"), 1);  // only ?z = b has a door
  W.Engine.Retract(Badge);
  EXPECT_EQ(W.Agenda(), std::vector<std::string>{});
  // Sent again to a rule added now, the same splits are not taken twice.
  W.Engine.Assert("(badge (id 2) (zones x y))");
  W.Engine.Parse("(defrule late (badge (zones $?before ?z $?after)) (door) =>)", false);
  EXPECT_EQ(W.Activations("late"), 4);  // two splits, two doors
}

TEST(ReteJoins, ComparisonTestsAnswerAsTheirCallsDo) {
  // Comparisons of bound slots are decided without running the call when the values are plain
  // numbers; anything else (numeric text, a chain stopping early) must still behave as the call.
  TWatched W;
  W.Engine.Parse("(deftemplate n (slot v))"
                 "(defrule above (n (v ?a)) (n (v ?b&:(> ?b ?a))) =>)"
                 "(defrule same (n (v ?a)) (n (v ?b&~?a&:(= ?b ?a))) =>)"
                 "(defrule between (n (v ?a)) (n (v ?b)) (test (< ?a ?b 3)) =>)"
                 "(defrule apart (n (v ?a)) (n (v ?b&:(neq ?a ?b 2))) =>)",
                 false);
  W.Engine.Assert("(n (v 1))");
  W.Engine.Assert("(n (v 2.5))");
  W.Engine.Assert("(n (v \"3\"))");
  W.Engine.Assert("(n (v 1.0))");
  std::map<std::string, std::vector<std::string>> ByRule;
  for (const std::string& A : W.Agenda()) {
    const size_t Colon = A.find(':');
    ByRule[A.substr(0, Colon)].push_back(A.substr(Colon + 1));
  }
  for (auto& [Rule, Matches] : ByRule) std::sort(Matches.begin(), Matches.end());
  // "3" is numeric text: > converts it as the call does.
  EXPECT_EQ(ByRule["above"], (std::vector<std::string>{"f-1, f-2", "f-1, f-3", "f-2, f-3", "f-4, f-2", "f-4, f-3"}));
  // 1 and 1.0 are different values but equal numbers.
  EXPECT_EQ(ByRule["same"], (std::vector<std::string>{"f-1, f-4", "f-4, f-1"}));
  // the chain stops at the first pair that fails, so "3" only meets 3 after a smaller number
  EXPECT_EQ(ByRule["between"], (std::vector<std::string>{"f-1, f-2", "f-4, f-2"}));
  // neq: the first differs from each of the others (2 is no bound value here)
  EXPECT_EQ(ByRule["apart"].size(), 12u);
}

TEST(RetePatterns, AlternativesOfOneSlotFollowTheFactThroughChanges) {
  // "B|-" and friends are connectives of comparisons on the fact's own slot: one-input nodes
  // decide them on the slot's value; anything with effects still runs as written, every time.
  TWatched W;
  W.Engine.Parse("(deftemplate e (slot label) (slot v))"
                 "(defrule either (e (label B|-)) =>)"
                 "(defrule neither (e (label ~B&~-)) =>)"
                 "(defrule bound (e (label ?l&B|-|+) (v ?v&:(or (eq ?v 1) (> ?v 2)))) =>)"
                 "(defrule loud (e (v ?v&:(or (eq ?v 1) (printout t \"saw \" ?v crlf)))) =>)",
                 false);
  W.Engine.Assert("(e (label B) (v 1))");
  W.Engine.Assert("(e (label -) (v \"3\"))");  // numeric text: > converts it as the call does
  const int32_t Third = W.Engine.Assert("(e (label x) (v 2))");
  EXPECT_EQ(W.Activations("either"), 2);
  EXPECT_EQ(W.Activations("neither"), 1);
  EXPECT_EQ(W.Activations("bound"), 2);
  EXPECT_EQ(W.Activations("loud"), 1);
  EXPECT_EQ(W.Output, "saw 3\r\nsaw 2\r\n");
  // A change moves the fact from one rule to the other, and the test runs again on the new fact.
  W.Engine.Parse("(modify " + std::to_string(Third) + " (label -) (v 5))", true);
  EXPECT_EQ(W.Activations("either"), 3);
  EXPECT_EQ(W.Activations("neither"), 0);
  EXPECT_EQ(W.Activations("bound"), 3);
  EXPECT_NE(W.Output.find("saw 5"), std::string::npos);
  // Alternatives compare strictly, as eq does: kinds must agree.
  W.Engine.Parse("(defrule kinds (e (label 1|abc)) =>)", true);
  W.Engine.Assert("(e (label 1.0))");
  W.Engine.Assert("(e (label \"abc\"))");
  W.Engine.Assert("(e (label 1))");
  W.Engine.Assert("(e (label abc))");
  EXPECT_EQ(W.Activations("kinds"), 2);
}

TEST(ReteJoins, EveryWayOfSplittingAFactIsWithdrawnWithIt) {
  // A multifield pattern makes one match of a fact for each way of splitting it, all under the
  // fact's id: firing one, withdrawing the others with their fact, and the matches of another
  // fact of the same rule staying, whichever of them came first.
  TWatched W;
  W.Engine.Parse("(defrule split (lst ?i $?a ?x $?b) => (printout t ?x crlf))", false);
  W.Engine.Assert("(lst 1 a b c d e)");
  ASSERT_EQ(W.Engine.GetAgendaCount(), 5);
  EXPECT_EQ(W.Engine.Run(1), 1);
  EXPECT_EQ(W.Output, "a\r\n");
  W.Engine.Assert("(lst 2 p q r)");
  W.Engine.Assert("(lst 3 z z z)");
  EXPECT_EQ(W.Activations("split"), 4 + 3 + 3);
  W.Engine.Retract(2);  // the fact in the middle
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"split:f-3", "split:f-3", "split:f-3", "split:f-1", "split:f-1",
                                                  "split:f-1", "split:f-1"}));
  W.Engine.Retract(1);
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"split:f-3", "split:f-3", "split:f-3"}));
  W.Output.clear();
  EXPECT_EQ(W.Engine.Run(), 3);
  EXPECT_EQ(W.Output, "z\r\nz\r\nz\r\n");
  W.Engine.Retract(3);
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
}

TEST(ReteJoins, MatchesOfOneSortCodeLeaveInAnyOrder) {
  // Matches whose tokens share a sort code (the ways of splitting one fact) are kept together,
  // the newest first; each must be found and withdrawn wherever it stands among them.
  TWatched W;
  W.Engine.Parse("(deftemplate p (slot a)) (defrule r (p (a ?x)) =>)", false);
  TReteNode* Terminal = W.Engine.GetReteNetwork().GetRuleNodesList(*W.Engine.GetRules().GetItem("r"))->back();
  auto TokenOf = [&](int Value, TTokenAction Tag) {
    IFact Fact = W.Engine.ParseFact("(p (a " + std::to_string(Value) + "))");
    Fact->SetID(7);
    return platform::MakeRef<TIEToken>(Tag, Fact);
  };
  for (int V = 0; V < 5; ++V) ASSERT_TRUE(Terminal->CallNode(TokenOf(V, taAdd), ctSingle));
  ASSERT_EQ(W.Engine.GetAgendaCount(), 5);
  for (const int V : {2, 4, 0, 3, 1}) {  // the middle, the oldest, the newest, ...
    EXPECT_TRUE(Terminal->CallNode(TokenOf(V, taRemove), ctSingle)) << V;
    EXPECT_FALSE(Terminal->CallNode(TokenOf(V, taRemove), ctSingle)) << V;
  }
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
}

TEST(ReteAgenda, StrategiesAndWatchLines) {
  TWatched W;
  W.Engine.Parse("(deftemplate go (slot n))"
                 "(defrule low (declare (salience -5)) (go (n ?n)) =>)"
                 "(defrule mid (go (n ?n)) =>)"
                 "(defrule high (declare (salience 10)) (go (n ?n)) =>)",
                 false);
  W.Engine.SetWatch({cwActivation});
  W.Engine.Assert("(go (n 1))");
  W.Engine.Assert("(go (n 2))");
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"high:f-2", "high:f-1", "mid:f-2", "mid:f-1", "low:f-2", "low:f-1"}));
  EXPECT_NE(W.Output.find("==> Activation: high : f-1\r\n"), std::string::npos);
  int Added = 0, Removed = 0;
  W.Engine.OnAddActivation = [&](TInferenceEngine*, int, TActivation*) { ++Added; };
  W.Engine.OnRemoveActivation = [&](TInferenceEngine*, int, TActivation*) { ++Removed; };
  W.Engine.SetStrategy(ssBreadthFirst);
  EXPECT_EQ(Added, 6);
  EXPECT_EQ(Removed, 0);
  W.Engine.Assert("(go (n 3))");
  EXPECT_EQ(W.Agenda()[0], "high:f-2");  // equal saliences keep their order; the newest is not first
  // The rebuilt activations can still be withdrawn by retraction.
  W.Engine.Retract(1);
  for (const std::string& A : W.Agenda()) EXPECT_EQ(A.find("f-1"), std::string::npos) << A;
  W.Output.clear();
  W.Engine.Retract(2);
  EXPECT_NE(W.Output.find("<== Activation: mid : f-2\r\n"), std::string::npos);
}

TEST(ReteRun, FiringOrderLimitsAndHalt) {
  TWatched W;
  std::vector<std::string> Fired;
  W.Engine.OnRuleFired = [&](TInferenceEngine*, TRule* Rule) { Fired.push_back(Rule->GetRuleName()); };
  W.Engine.Parse("(deftemplate go (slot n))"
                 "(defrule a (go (n 1)) =>)"
                 "(defrule b (go (n 2)) => (halt))"
                 "(defrule c (go (n 3)) =>)",
                 false);
  for (int N = 1; N <= 3; ++N) W.Engine.Assert("(go (n " + std::to_string(N) + "))");
  int Ended = -1;
  W.Engine.OnEndInference = [&](TInferenceEngine*, int32_t Count) { Ended = Count; };
  EXPECT_EQ(W.Engine.Run(0), 0);
  EXPECT_EQ(Ended, 0);
  EXPECT_EQ(W.Engine.Run(1), 1);  // the newest activation first
  EXPECT_EQ(Fired, (std::vector<std::string>{"c"}));
  EXPECT_EQ(W.Engine.Run(), 1);  // b halts the run
  EXPECT_EQ(W.Engine.Run(), 1);
  EXPECT_EQ(Fired, (std::vector<std::string>{"c", "b", "a"}));
  W.Engine.SetWatch({cwRule, cwStatistics});
  W.Output.clear();
  EXPECT_EQ(W.Engine.Run(), 0);
  EXPECT_EQ(W.Output, "");  // nothing fired: no statistics
}

TEST(ReteCompilation, ARuleWithoutPatternsCompilesOnce) {
  // Adding the initial-fact pattern while compiling must not start a second compilation.
  TWatched W;
  W.Engine.Parse("(defrule r => ) (defrule r => )", false);
  EXPECT_EQ(W.Engine.GetAgendaCount(), 1);
  W.Engine.GetRules().Remove("r");
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
  EXPECT_EQ(W.Engine.GetReteNetwork().GetNodeCount(), 0);
}

TEST(ReteCompilation, RulesLeaveTheNetworkInAnyOrder) {
  // Each rule keeps its own node list and trace; a rule leaving the network's list of rules
  // hands its place to another, which must keep its nodes, its trace and its matches.
  TWatched W;
  W.Engine.Parse("(deftemplate p (slot a))"
                 "(defrule one (p (a 1)) =>) (defrule two (p (a 2)) =>) (defrule three (p (a 3)) =>)",
                 false);
  TReteNetwork& Network = W.Engine.GetReteNetwork();
  TRules& Rules = W.Engine.GetRules();
  TRule* Two = Rules.GetItem("two");
  TRule* Three = Rules.GetItem("three");
  for (const char* Name : {"one", "two", "three"}) {
    const TRule* Rule = Rules.GetItem(Name);
    EXPECT_TRUE(Network.ContainsRule(*Rule)) << Name;
    ASSERT_TRUE(Network.GetRuleNodesList(*Rule)) << Name;
    EXPECT_EQ(Network.GetRuleNodesList(*Rule)->size(), 3u) << Name;  // root, constant test, terminal
  }
  Rules.Remove("one");
  EXPECT_EQ(Network.GetCompileTrace(*Two), "two: +1+t");
  EXPECT_EQ(Network.GetCompileTrace(*Three), "three: +1+t");
  W.Engine.Assert("(p (a 3))");
  W.Engine.Assert("(p (a 2))");
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"two:f-2", "three:f-1"}));
  Rules.Remove("three");
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"two:f-2"}));
  EXPECT_TRUE(Network.ContainsRule(*Two));
  EXPECT_EQ(Network.GetRuleNodesList(*Two)->size(), 3u);
  Rules.Remove("two");
  EXPECT_EQ(W.Engine.GetAgendaCount(), 0);
  EXPECT_EQ(Network.GetNodeCount(), 0);
}

TEST(ReteCompilation, SiblingsOfRemovedRulesKeepTheirOrder) {
  // Rules removed oldest first, newest first and from the middle leave their siblings' edges in
  // order (with gaps closed up along the way): facts then reach the remaining rules, and rules
  // added after them, exactly as in an engine that only ever had those rules (no two rules
  // share a node, whose place would otherwise follow the first rule that made it).
  auto Rule = [](int I) {
    const std::string N = std::to_string(I);
    const std::string Test = I % 3 == 0 ? "(a " + N + ")" : I % 3 == 1 ? "(b ~x" + N + ")" : "(a ?v&~" + N + ")";
    return "(defrule r" + N + " (p " + Test + ") =>)";
  };
  std::vector<int> Order;
  for (int I = 0; I < 80; ++I) Order.push_back(I);
  std::vector<int> Going;
  for (int I = 0; I < 20; ++I) Going.push_back(I);          // oldest first
  for (int I = 79; I > 69; --I) Going.push_back(I);         // newest first
  for (int I = 30; I < 60; I += 2) Going.push_back(I);      // from the middle, past half of the list
  TWatched Changed, Fresh;
  std::string All = "(deftemplate p (slot a) (slot b))", Kept = All;
  for (const int I : Order) All += Rule(I);
  for (const int I : Order)
    if (std::find(Going.begin(), Going.end(), I) == Going.end()) Kept += Rule(I);
  for (int I = 100; I < 120; ++I) Kept += Rule(I);
  Changed.Engine.Parse(All, false);
  for (const int I : Going) Changed.Engine.GetRules().Remove("r" + std::to_string(I));
  std::string Added;
  for (int I = 100; I < 120; ++I) Added += Rule(I);
  Changed.Engine.Parse(Added, false);
  Fresh.Engine.Parse(Kept, false);
  EXPECT_EQ(Changed.Engine.GetReteNetwork().GetNodeCount(), Fresh.Engine.GetReteNetwork().GetNodeCount());
  for (const std::string Fact : {"(p (a 21) (b y))", "(p (a 66) (b x31))", "(p (a 102))", "(p (a 64) (b x64))"}) {
    Changed.Engine.Assert(Fact);
    Fresh.Engine.Assert(Fact);
    EXPECT_EQ(Changed.Agenda(), Fresh.Agenda()) << Fact;
  }
  EXPECT_GT(Fresh.Engine.GetAgendaCount(), 100);
  // Every rule of the list removed, newest and oldest alternately: the network is empty.
  std::vector<std::string> Names;
  for (int I = 0; I < 120; ++I)
    if ((I < 80 || I >= 100) && std::find(Going.begin(), Going.end(), I) == Going.end())
      Names.push_back("r" + std::to_string(I));
  for (size_t Low = 0, High = Names.size(); Low < High;) {
    Changed.Engine.GetRules().Remove(Names[--High]);
    if (Low < High) Changed.Engine.GetRules().Remove(Names[Low++]);
  }
  EXPECT_EQ(Changed.Engine.GetReteNetwork().GetNodeCount(), 0);
  EXPECT_EQ(Changed.Engine.GetAgendaCount(), 0);
}

TEST(ReteCompilation, AFreedRuleLeavesTheNetworkItWasCompiledInto) {
  // A host may compile a rule of its own into the engine's network.  Freeing the rule must take
  // its terminal node and activations with it: the agenda would otherwise hold a freed rule.
  TWatched W;
  W.Engine.Parse("(deftemplate p (slot a)) (defrule kept (p (a 1)) =>)", false);
  TReteNetwork& Network = W.Engine.GetReteNetwork();
  const int Nodes = Network.GetNodeCount();
  std::unique_ptr<TRule> Own(W.Engine.ParseRule("(defrule own (p (a 1)) =>)"));
  Network.AddRule(*Own);
  EXPECT_TRUE(Network.ContainsRule(*Own));
  EXPECT_EQ(Network.GetNodeCount(), Nodes + 1);
  W.Engine.Assert("(p (a 1))");
  EXPECT_EQ(W.Engine.GetAgendaCount(), 2);
  Own.reset();
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"kept:f-1"}));
  EXPECT_EQ(Network.GetNodeCount(), Nodes);
  W.Engine.Assert("(p (a 1) )");
  W.Engine.Reset();
  W.Engine.Assert("(p (a 1))");
  EXPECT_EQ(W.Agenda(), (std::vector<std::string>{"kept:f-1"}));
}
