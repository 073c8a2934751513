// The network's activations against a brute-force matcher written here: after every step of
// long random sequences of assertions and retractions, the agenda must hold exactly the
// complete matches of every rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "core/engine/InferenceEngine.h"
#include "core/network/IERule.h"
#include "core/network/ReteNetwork.h"

using namespace rulecore;

namespace {

struct TA {
  int32_t Id, X, Y;
};
struct TB {
  int32_t Id, X;
  std::vector<int32_t> L;
};
struct TC {
  int32_t Id, Ref;  // Ref: the id of an a fact, held as a fact-id value (perhaps retracted since)
};
using TMatch = std::pair<std::string, std::vector<int32_t>>;  // rule, fact ids

const char* Program = R"(
(deftemplate a (slot x (type INTEGER)) (slot y (type INTEGER)))
(deftemplate b (slot x (type INTEGER)) (multislot l))
(deftemplate c (slot ref))
(deffunction gt (?big ?small) (> ?big ?small))
(defrule join (a (x ?v) (y 1)) (b (x ?v)) =>)
(defrule absent (a (x ?v)) (not (b (x ?v))) =>)
(defrule present (a (x ?v)) (exists (b (x ?v))) =>)
(defrule above (a (x ?v) (y ?w&:(> ?w ?v))) =>)
(defrule chain (a (x ?p)) (a (x ?q&~?p) (y ?p)) =>)
(defrule three (b (l $?before 3 $?after)) =>)
(defrule tested (a (x ?v)) (test (> ?v 1)) (b (x ?v) (l $?l)) =>)
(defrule same (a (x ?v) (y ?v)) =>)
(defrule pair (b (l ?u ?u)) =>)
(defrule not-two (a (x ~2&~3) (y ?y)) (not (a (x 3) (y ?y))) =>)
(defrule twice (a (x ?v) (y ?w)) (a (x ?w) (y ?v)) =>)
(defrule field (a (x ?v) (y ?w)) (b (x ?v) (l ?w)) =>)
(defrule unlike (a (x ?v) (y ?w)) (not (a (x ?w) (y ?v))) =>)
(defrule fn-alpha (a (x ?v&:(gt ?v 1))) =>)
(defrule fn-join (a (x ?v)) (b (x ?w&:(gt ?w ?v))) =>)
(defrule fn-test (a (x ?v) (y ?w)) (test (gt ?w (+ ?v 1))) =>)
(defrule next (a (x ?v)) (a (x ?w&:(= ?w (+ ?v 1)))) =>)
(defrule deep (a (x ?v) (y 1)) (b (x ?v)) (a (y ?w&:(< ?w (* ?v 2)))) (b (x ?z&:(= ?z (- ?w 1)))) =>)
(defrule same-list (b (x ?v) (l $?m)) (b (x ~?v) (l $?n&$?m)) =>)
(defrule other-list (b (x 0) (l $?m)) (b (x 1) (l $?n&~$?m)) =>)
(defrule either-list (b (x 2) (l $?m)) (b (x 3) (l $?o)) (b (l $?n&$?m|$?o)) =>)
(defrule points ?f <- (a (x ?v)) (c (ref ?f)) =>)
(defrule pointed (c (ref ?f)) ?f <- (a (y 1)) =>)
(defrule unpointed ?f <- (a (y 2)) (not (c (ref ?f))) =>)
)";

// A rule added half-way through a sequence: priming it sends every fact again through the nodes
// it shares with the rules before it.
const char* LateRule = "(defrule late (a (x ?v) (y ?w)) (not (b (x ?w))) =>)";

std::vector<TMatch> Expected(const std::vector<TA>& As, const std::vector<TB>& Bs, const std::vector<TC>& Cs,
                             bool Late = false) {
  std::vector<TMatch> M;
  auto AnyB = [&](auto Pred) { return std::any_of(Bs.begin(), Bs.end(), Pred); };
  for (const TA& A : As)
    for (const TB& B : Bs)
      if (A.Y == 1 && A.X == B.X) M.push_back({"join", {A.Id, B.Id}});
  for (const TA& A : As)
    if (!AnyB([&](const TB& B) { return B.X == A.X; })) M.push_back({"absent", {A.Id}});
  for (const TA& A : As)
    if (AnyB([&](const TB& B) { return B.X == A.X; })) M.push_back({"present", {A.Id}});
  for (const TA& A : As)
    if (A.Y > A.X) M.push_back({"above", {A.Id}});
  for (const TA& P : As)
    for (const TA& Q : As)
      if (Q.X != P.X && Q.Y == P.X) M.push_back({"chain", {P.Id, Q.Id}});
  for (const TB& B : Bs)
    for (int32_t V : B.L)
      if (V == 3) M.push_back({"three", {B.Id}});
  for (const TA& A : As)
    if (A.X > 1)
      for (const TB& B : Bs)
        if (B.X == A.X) M.push_back({"tested", {A.Id, B.Id}});
  for (const TA& A : As)
    if (A.X == A.Y) M.push_back({"same", {A.Id}});
  for (const TB& B : Bs)
    if (B.L.size() == 2 && B.L[0] == B.L[1]) M.push_back({"pair", {B.Id}});
  for (const TA& A : As)
    if (A.X != 2 && A.X != 3 &&
        !std::any_of(As.begin(), As.end(), [&](const TA& O) { return O.X == 3 && O.Y == A.Y; }))
      M.push_back({"not-two", {A.Id}});
  // Two shared variables: many tokens agree on the first and differ on the second.
  for (const TA& P : As)
    for (const TA& Q : As)
      if (Q.X == P.Y && Q.Y == P.X) M.push_back({"twice", {P.Id, Q.Id}});
  for (const TA& A : As)
    for (const TB& B : Bs)
      if (B.X == A.X && B.L.size() == 1 && B.L[0] == A.Y) M.push_back({"field", {A.Id, B.Id}});
  for (const TA& A : As)
    if (!std::any_of(As.begin(), As.end(), [&](const TA& O) { return O.X == A.Y && O.Y == A.X; }))
      M.push_back({"unlike", {A.Id}});
  // Deffunctions called from a constraint, a join's constraint and a test element.
  for (const TA& A : As)
    if (A.X > 1) M.push_back({"fn-alpha", {A.Id}});
  for (const TA& A : As)
    for (const TB& B : Bs)
      if (B.X > A.X) M.push_back({"fn-join", {A.Id, B.Id}});
  for (const TA& A : As)
    if (A.Y > A.X + 1) M.push_back({"fn-test", {A.Id}});
  // Arithmetic inside a join's comparison is decided on the facts' values; a deep left token's
  // facts are read from the scan's table.
  for (const TA& P : As)
    for (const TA& Q : As)
      if (Q.X == P.X + 1) M.push_back({"next", {P.Id, Q.Id}});
  for (const TA& A : As)
    for (const TB& B : Bs)
      for (const TA& Q : As)
        for (const TB& D : Bs)
          if (A.Y == 1 && B.X == A.X && Q.Y < A.X * 2 && D.X == Q.Y - 1) M.push_back({"deep", {A.Id, B.Id, Q.Id, D.Id}});
  // Multifield variables constrained by multifield variables compare whole lists.
  for (const TB& B : Bs)
    for (const TB& D : Bs)
      if (D.X != B.X && D.L == B.L) M.push_back({"same-list", {B.Id, D.Id}});
  for (const TB& B : Bs)
    for (const TB& D : Bs)
      if (B.X == 0 && D.X == 1 && D.L != B.L) M.push_back({"other-list", {B.Id, D.Id}});
  for (const TB& B : Bs)
    for (const TB& O : Bs)
      for (const TB& D : Bs)
        if (B.X == 2 && O.X == 3 && (D.L == B.L || D.L == O.L)) M.push_back({"either-list", {B.Id, O.Id, D.Id}});
  // A fact's id held in a slot is the fact a pattern binds.
  for (const TA& A : As)
    for (const TC& C : Cs)
      if (C.Ref == A.Id) M.push_back({"points", {A.Id, C.Id}});
  for (const TC& C : Cs)
    for (const TA& A : As)
      if (A.Y == 1 && C.Ref == A.Id) M.push_back({"pointed", {C.Id, A.Id}});
  for (const TA& A : As)
    if (A.Y == 2 && !std::any_of(Cs.begin(), Cs.end(), [&](const TC& C) { return C.Ref == A.Id; }))
      M.push_back({"unpointed", {A.Id}});
  if (Late)
    for (const TA& A : As)
      if (!AnyB([&](const TB& B) { return B.X == A.Y; })) M.push_back({"late", {A.Id}});
  std::sort(M.begin(), M.end());
  return M;
}

std::vector<TMatch> Actual(TInferenceEngine& Engine) {
  std::vector<TMatch> M;
  for (int I = 0; I < Engine.GetAgendaCount(); ++I) {
    const TActivation* A = Engine.GetActivation(I);
    std::vector<int32_t> Ids;
    for (int F = 0; F < A->GetToken()->GetCount(); ++F) {
      const TFact* Fact = A->GetToken()->GetFacts(F);
      // The initial fact and the places of negated and test elements are not matches of facts.
      if (Fact && Fact->GetID() > 0) Ids.push_back(Fact->GetID());
    }
    M.push_back({A->GetRule()->GetRuleName(), Ids});
  }
  std::sort(M.begin(), M.end());
  return M;
}

std::string Describe(const std::vector<TMatch>& M) {
  std::string Text;
  for (const auto& [Rule, Ids] : M) {
    Text += Rule + "(";
    for (int32_t Id : Ids) Text += std::to_string(Id) + " ";
    Text += ") ";
  }
  return Text;
}

void RunSequence(uint32_t Seed, int Steps, TSearchStrategy Strategy) {
  TInferenceEngine Engine;
  Engine.Parse(Program, false);
  Engine.Reset();
  Engine.SetStrategy(Strategy);
  std::mt19937 Random(Seed);
  auto Pick = [&](int N) { return static_cast<int32_t>(Random() % static_cast<uint32_t>(N)); };
  for (int Step = 0; Step < Steps; ++Step) {
    if (Step == Steps / 2) Engine.Parse(LateRule, false);
    const int Facts = Engine.GetFacts().Count();
    const int Choice = Pick(12);
    if (Facts > 1 && Choice < 4) {
      // Retract a random fact other than the initial fact.
      Engine.RetractFact(1 + Pick(Facts - 1));
    } else if (Choice < 6) {
      // A fact holding the id of a fact - an a fact's now and then, but not always one still there.
      const IFact C = platform::MakeRef<TFact>(Engine.FindFactTemplate("c"));
      C->SetValue("ref", platform::MakeRef<TIEValue>(Engine.GetFactList().back()->GetID() - Pick(3), dtFactId));
      Engine.Assert(C);
    } else if (Choice < 9) {
      Engine.Assert("(a (x " + std::to_string(Pick(4)) + ") (y " + std::to_string(Pick(4)) + "))");
    } else {
      std::string List;
      for (int I = Pick(4); I > 0; --I) List += " " + std::to_string(Pick(4));
      Engine.Assert("(b (x " + std::to_string(Pick(4)) + ") (l" + List + "))");
    }
    if (Step % 17 == 16) Engine.SetStrategy(Engine.GetStrategy() == ssDepthFirst ? ssBreadthFirst : ssDepthFirst);
    std::vector<TA> As;
    std::vector<TB> Bs;
    std::vector<TC> Cs;
    for (const IFact& F : Engine.GetFactList()) {
      const std::string& T = F->GetTemplate()->GetTemplateName();
      if (T == "a") {
        As.push_back({F->GetID(), F->GetValue("x")->GetAsInteger(), F->GetValue("y")->GetAsInteger()});
      } else if (T == "b") {
        TB B{F->GetID(), F->GetValue("x")->GetAsInteger(), {}};
        const IValueVector L = F->GetValue("l")->GetAsList();
        for (int I = 0; I < L->GetValueCount(); ++I) B.L.push_back(L->Get(I)->GetAsInteger());
        Bs.push_back(B);
      } else if (T == "c") {
        Cs.push_back({F->GetID(), F->GetValue("ref")->GetAsInteger()});
      }
    }
    const auto Want = Expected(As, Bs, Cs, Step >= Steps / 2);
    const auto Got = Actual(Engine);
    ASSERT_EQ(Describe(Got), Describe(Want)) << "seed " << Seed << " step " << Step;
  }
}

}  // namespace

TEST(MatchingDifferential, AgendaHoldsExactlyTheCompleteMatches) {
  for (uint32_t Seed = 1; Seed <= 6; ++Seed) RunSequence(Seed, 250, Seed % 2 ? ssDepthFirst : ssBreadthFirst);
}

TEST(MatchingDifferential, RulesAddedLaterSeeExistingFacts) {
  TInferenceEngine Engine;
  Engine.Parse("(deftemplate a (slot x (type INTEGER)) (slot y (type INTEGER)))"
               "(deftemplate b (slot x (type INTEGER)) (multislot l))"
               "(defrule first (a (x ?v) (y 1)) (b (x ?v)) =>)",
               false);
  Engine.Reset();
  Engine.Assert("(a (x 1) (y 1))");
  Engine.Assert("(b (x 1) (l 3 3))");
  Engine.Assert("(a (x 2) (y 2))");
  // A rule sharing nodes with the first and one that does not: both see the facts at once,
  // and the first rule's activation is left as it was.
  const TActivation* Before = Engine.GetActivation(0);
  // The rules (and what only they use): defining a and b again would replace them and re-create
  // the facts.
  const std::string Text = Program;
  Engine.Parse(Text.substr(Text.find("(deftemplate c")), false);
  std::vector<TA> As{{1, 1, 1}, {3, 2, 2}};
  std::vector<TB> Bs{{2, 1, {3, 3}}};
  auto Want = Expected(As, Bs, {});
  Want.push_back({"first", {1, 2}});
  std::sort(Want.begin(), Want.end());
  EXPECT_EQ(Describe(Actual(Engine)), Describe(Want));
  bool Kept = false;
  for (int I = 0; I < Engine.GetAgendaCount(); ++I) Kept = Kept || Engine.GetActivation(I) == Before;
  EXPECT_TRUE(Kept);
}
