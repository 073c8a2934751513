// Fuzzy reasoning through the engine: fuzzy slot values written every way the rule language
// allows, fuzzy matching with its strengths, the combination of equal fuzzy facts under each
// inference method, correlation with the strength of the rule that asserts, and the text of
// fuzzy constructs reading back as the same constructs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tests/core/ErrorText.h"
#include "tests/core/TestConsole.h"

#include "core/engine/InferenceEngine.h"
#include "core/language/IEParser.h"
#include "core/network/IERule.h"
#include "core/values/ValueVector.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using rulecore::testing::TConsole;

namespace {

const char* Temperature =
    "(deftype temperature extends (type FUZZY) (range 0 100) (values (term cold ((0 1) (50 0)))"
    " (term hot ((50 0) (100 1)))))"
    "(deftemplate room (slot name) (slot temp (type temperature)))";

// The fuzzy set of the fact's slot.
IFuzzySet SetOf(const IFact& Fact, const std::string& Slot) {
  const IIEValue& Value = Fact->GetValue(Slot);
  EXPECT_EQ(Value->GetDType(), dtFuzzy) << Value->GetToString();
  return Value->GetDType() == dtFuzzy ? Value->GetAsFuzzy() : nullptr;
}

std::vector<IFact> FactsOf(TInferenceEngine& Engine, const std::string& Template) {
  std::vector<IFact> Found;
  for (const IFact& F : Engine.GetFactList())
    if (F->GetTemplate()->GetTemplateName() == Template) Found.push_back(F);
  return Found;
}

// Strengths of the rule's activations on the agenda, in agenda order.
std::vector<float> Strengths(TInferenceEngine& Engine, const std::string& Rule) {
  std::vector<float> S;
  for (int I = 0; I < Engine.GetAgendaCount(); ++I)
    if (Engine.GetActivation(I)->GetRule()->GetRuleName() == Rule) S.push_back(Engine.GetActivation(I)->GetStrength());
  std::sort(S.begin(), S.end());
  return S;
}

}  // namespace

TEST(FuzzySlots, TakeEveryWrittenFormAsAFuzzyValue) {
  TConsole C;
  C.Run(Temperature);
  C.Run("(deftemplate zone (slot name) (multislot temps (type temperature)))"
        "(deffacts d (room (name deffacts) (temp very hot)))");
  C.Engine.Reset();
  // inline, quoted, a term, a number, bracketed, a singletons list; and through modify
  C.Run("(assert (room (name inline) (temp very hot)))"
        "(assert (room (name quoted) (temp \"somewhat cold\")))"
        "(assert (room (name term) (temp hot)))"
        "(assert (room (name number) (temp 75)))"
        "(assert (room (name grouped) (temp [hot or cold] and very hot)))"
        "(assert (room (name points) (temp ((20 0) (30 1) (40 0)))))"
        "(bind ?t 60) (assert (room (name bound) (temp ?t)))"
        "(assert (zone (name z) (temps hot cold)))");
  std::map<std::string, IFuzzySet> Sets;
  for (const IFact& F : FactsOf(C.Engine, "room")) Sets[F->GetValue("name")->GetToString()] = SetOf(F, "temp");
  ASSERT_EQ(Sets.size(), 8u);
  EXPECT_NEAR(Sets["deffacts"]->DegreeOfMembership(75), 0.25, 1e-9);  // very: squared
  EXPECT_NEAR(Sets["inline"]->DegreeOfMembership(75), 0.25, 1e-9);
  EXPECT_NEAR(Sets["quoted"]->DegreeOfMembership(25), std::cbrt(0.5), 1e-3);
  EXPECT_NEAR(Sets["term"]->DegreeOfMembership(75), 0.5, 1e-9);
  EXPECT_NEAR(Sets["number"]->DegreeOfMembership(75), 1.0, 1e-9);
  EXPECT_NEAR(Sets["number"]->DegreeOfMembership(70), 0.0, 1e-9);
  EXPECT_NEAR(Sets["grouped"]->DegreeOfMembership(75), std::min(0.5, 0.25), 1e-9);
  EXPECT_NEAR(Sets["points"]->DegreeOfMembership(25), 0.5, 1e-9);
  EXPECT_NEAR(Sets["bound"]->DegreeOfMembership(60), 1.0, 1e-9);
  for (const auto& [Name, Set] : Sets) EXPECT_EQ(Set->GetVariable()->GetName(), "temperature") << Name;
  // A shape call, and modify and duplicate taking the same forms.
  C.Run("(assert (room (name shaped) (temp (tri 40 60 80))))"
        "(defrule change ?f <- (room (name term) (temp hot)) => (duplicate ?f (name copy) (temp \"very cold\")) "
        "(bind ?t 20) (modify ?f (temp ?t)))");
  C.Fire();
  for (const IFact& F : FactsOf(C.Engine, "room")) Sets[F->GetValue("name")->GetToString()] = SetOf(F, "temp");
  EXPECT_NEAR(Sets["shaped"]->DegreeOfMembership(70), 0.5, 1e-9);
  EXPECT_NEAR(Sets["copy"]->DegreeOfMembership(25), 0.25, 1e-9);
  EXPECT_NEAR(Sets["term"]->DegreeOfMembership(20), 1.0, 1e-9);  // no longer hot: the rule stops
  EXPECT_NEAR(Sets["term"]->DegreeOfMembership(75), 0.0, 1e-9);
  const IIEValue Temps = FactsOf(C.Engine, "zone")[0]->GetValue("temps");
  ASSERT_EQ(Temps->GetDType(), dtList);
  EXPECT_EQ(Temps->GetAsList()->GetValueCount(), 2);

  // Errors read as the fuzzy messages: no such term, an operand missing, an open bracket.
  EXPECT_NE(ErrorOf([&] { C.Run("(assert (room (temp tepid)))"); }).find("Invalid item in fuzzy expression: tepid"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { C.Run("(assert (room (temp very)))"); })
                .find("Missing fuzzy operand to be modified by hedge: very"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { C.Run("(assert (room (temp [hot or cold)))"); })
                .find("Missing Fuzzy Close Bracket in expression"),
            std::string::npos);
}

TEST(FuzzyFacts, EqualCrispSlotsCombineInsteadOfBeingRefused) {
  TConsole C;
  C.Run(Temperature);
  C.Run("(assert (room (name a) (temp hot)))");
  const int32_t Second = C.Engine.Assert("(room (name a) (temp cold))");
  const auto Rooms = FactsOf(C.Engine, "room");
  ASSERT_EQ(Rooms.size(), 1u);
  EXPECT_EQ(Rooms[0]->GetID(), Second);  // the combination takes a new id, the old fact goes
  const IFuzzySet T = SetOf(Rooms[0], "temp");
  EXPECT_NEAR(T->DegreeOfMembership(25), 0.5, 1e-9);
  EXPECT_NEAR(T->DegreeOfMembership(75), 0.5, 1e-9);
  EXPECT_NEAR(T->DegreeOfMembership(50), 0.0, 1e-9);
  // Fact duplication does not keep fuzzy facts apart either.
  C.Engine.SetFactDuplication(true);
  C.Run("(assert (room (name a) (temp 50)))");
  EXPECT_EQ(FactsOf(C.Engine, "room").size(), 1u);
  // The unconditional form intersects.
  IFact Hot = C.Engine.ParseFact("(room (name b) (temp hot))");
  C.Engine.GetContext()->Resolve(*Hot);
  C.Engine.Assert(Hot);
  IFact Very = C.Engine.ParseFact("(room (name b) (temp very hot))");
  C.Engine.GetContext()->Resolve(*Very);
  C.Engine.Assert(Very, vaguecore::fimMinMax, true);
  for (const IFact& F : FactsOf(C.Engine, "room"))
    if (F->GetValue("name")->GetToString() == "b") {
      EXPECT_NEAR(SetOf(F, "temp")->DegreeOfMembership(75), 0.25, 1e-9);
    }
}

TEST(FuzzyMatching, PatternsMatchToADegreeThatBecomesTheActivationsStrength) {
  TConsole C;
  C.Run(Temperature);
  C.Run("(defrule warm (room (name ?n) (temp hot)) =>)"
        "(defrule very-warm (room (name ?n) (temp very hot)) =>)"
        "(defrule crisp (room (name ?n) (temp 75)) =>)");
  C.Run("(assert (room (name term) (temp hot)))"
        "(assert (room (name number) (temp 75)))"
        "(assert (room (name cold) (temp 20)))");
  // hot against hot: 1; against 75: 0.5; 20 lies outside hot.
  EXPECT_EQ(Strengths(C.Engine, "warm"), (std::vector<float>{0.5f, 1.0f}));
  // very hot shares no node with hot (both reach 1, but at 75 very hot is 0.25).
  EXPECT_EQ(Strengths(C.Engine, "very-warm"), (std::vector<float>{0.25f, 1.0f}));
  EXPECT_EQ(Strengths(C.Engine, "crisp"), (std::vector<float>{0.5f, 1.0f}));
  // A room that is not hot at all is fully not hot.
  C.Run("(defrule not-warm (room (name ?n) (temp ~hot)) =>)");
  EXPECT_EQ(Strengths(C.Engine, "not-warm"), (std::vector<float>{1.0f}));
  // Weaker than the threshold: not made.
  C.Engine.SetMinActivationStrength(0.5f);
  C.Run("(assert (room (name warmish) (temp 70)))");  // hot 0.4
  EXPECT_EQ(Strengths(C.Engine, "warm"), (std::vector<float>{0.5f, 1.0f}));
  C.Engine.SetMinActivationStrength(2.0f);
  EXPECT_EQ(C.Engine.GetMinActivationStrength(), 1.0f);
}

TEST(FuzzyMatching, VariablesJoinFuzzySlotsAcrossManyFacts) {
  // A join on a fuzzy slot must not hash on it: sets match by overlap, not by equal text.
  TConsole C;
  C.Run(Temperature);
  C.Run("(deftemplate limit (slot name) (slot temp (type temperature)))"
        "(defrule over (room (name ?n) (temp ?t)) (limit (name ?l) (temp ?t)) =>)");
  for (int I = 0; I < 40; ++I) C.Run("(assert (room (name r" + std::to_string(I) + ") (temp " + std::to_string(I * 2) + ")))");
  C.Run("(assert (limit (name warm) (temp hot)))");
  // Rooms at 52 ... 78 are inside hot (above the 0.01 threshold); 50 is not.
  EXPECT_EQ(Strengths(C.Engine, "over").size(), 14u);
}

TEST(FuzzyCorrelation, TheFiringRulesStrengthCapsOrScalesWhatItAsserts) {
  for (const bool Product : {false, true}) {
    TConsole C;
    C.Run(Temperature);
    C.Run("(deftype speed extends (type FUZZY) (range 0 10))"
          "(deftemplate fan (slot speed (type speed)))"
          "(defrule cool (room (temp hot)) => (assert (fan (speed ((0 0) (4 0.5) (6 1) (10 0.2))))))");
    C.Engine.SetFuzzyCorrelationMethod(Product ? vaguecore::fcmProduct : vaguecore::fcmMinimum);
    C.Run("(assert (room (name a) (temp 80)))");  // strength 0.6
    C.Fire();
    const IFuzzySet Speed = SetOf(FactsOf(C.Engine, "fan").at(0), "speed");
    const double S = 0.6f;
    // The written conclusion, and what it becomes at every X (not only at its points).
    const auto Written = [](double X) {
      if (X <= 4) return X / 8;
      if (X <= 6) return 0.5 + (X - 4) / 4;
      return 1 - (X - 6) * 0.2;
    };
    for (double X = 0; X <= 10; X += 0.25)
      EXPECT_NEAR(Speed->DegreeOfMembership(X), Product ? Written(X) * S : std::min(Written(X), S), 1e-6) << X;
  }
  // A handler that does the correlation itself leaves the values alone; strength 1 changes
  // nothing at all.
  TConsole C;
  C.Run(Temperature);
  C.Run("(deftemplate out (slot temp (type temperature)))"
        "(defrule copy (room (temp hot)) => (assert (out (temp hot))))");
  int Calls = 0;
  C.Engine.OnFuzzyCorrelation = [&](TInferenceEngine*, const IFact&, float Strength, bool& Done) {
    ++Calls;
    EXPECT_NEAR(Strength, 0.6, 1e-6);
    Done = true;
  };
  C.Run("(assert (room (name a) (temp 80)) (room (name b) (temp hot)))");
  C.Fire();
  EXPECT_EQ(Calls, 1);
  EXPECT_NEAR(SetOf(FactsOf(C.Engine, "out").at(0), "temp")->DegreeOfMembership(100), 1.0, 1e-9);
}

TEST(FuzzyInference, CombinedFactsFollowTheMethodsPointwiseOperation) {
  // Random sets asserted twice under each method: at every vertex of either input the result is
  // the method's operation of the two memberships (between vertices a product or a bounded sum
  // is not linear, and the combination keeps the vertices).
  using Op = double (*)(double, double);
  const std::vector<std::pair<vaguecore::TFuzzyInferenceMethod, Op>> Methods = {
      {vaguecore::fimMinMax, [](double A, double B) { return std::max(A, B); }},
      {vaguecore::fimAdditive, [](double A, double B) { return A + B; }},
      {vaguecore::fimMean, [](double A, double B) { return (2 * std::min(A, B) + 4 * std::max(A, B)) / 6; }},
      {vaguecore::fimProduct, [](double A, double B) { return A + B - A * B; }},
      {vaguecore::fimBoundedSum, [](double A, double B) { return std::min(1.0, A + B); }}};
  std::mt19937 Random(7);
  auto Points = [&]() {
    std::vector<std::pair<int, double>> P;
    std::vector<int> Xs;
    for (int I = 0; I < 4; ++I) Xs.push_back(static_cast<int>(Random() % 101));
    std::sort(Xs.begin(), Xs.end());
    Xs.erase(std::unique(Xs.begin(), Xs.end()), Xs.end());
    for (int X : Xs) P.emplace_back(X, static_cast<double>(Random() % 101) / 100);
    return P;
  };
  auto Text = [](const std::vector<std::pair<int, double>>& P) {
    std::string T = "(";
    for (const auto& [X, Y] : P) T += "(" + std::to_string(X) + " " + std::to_string(Y) + ") ";
    return T + ")";
  };
  for (const auto& [Method, Combine] : Methods) {
    for (int Round = 0; Round < 20; ++Round) {
      TConsole C;
      C.Run(Temperature);
      const auto A = Points();
      const auto B = Points();
      IFact First = C.Engine.ParseFact("(room (name x) (temp " + Text(A) + "))");
      C.Engine.GetContext()->Resolve(*First);
      const IFuzzySet SetA = SetOf(First, "temp");
      C.Engine.Assert(First, Method, false);
      IFact Second = C.Engine.ParseFact("(room (name x) (temp " + Text(B) + "))");
      C.Engine.GetContext()->Resolve(*Second);
      const IFuzzySet SetB = SetOf(Second, "temp");
      C.Engine.Assert(Second, Method, false);
      const auto Rooms = FactsOf(C.Engine, "room");
      ASSERT_EQ(Rooms.size(), 1u);
      const IFuzzySet Result = SetOf(Rooms[0], "temp");
      std::vector<int> Xs;
      for (const auto& P : A) Xs.push_back(P.first);
      for (const auto& P : B) Xs.push_back(P.first);
      for (int X : Xs)
        EXPECT_NEAR(Result->DegreeOfMembership(X), Combine(SetA->DegreeOfMembership(X), SetB->DegreeOfMembership(X)),
                    1e-6)
            << platform::EnumName(Method) << " " << Text(A) << " " << Text(B) << " at " << X;
    }
  }
  // The method is the engine's own again afterwards.
  TConsole C;
  EXPECT_EQ(C.Engine.GetFuzzyInferenceMethod(), vaguecore::fimMinMax);
}

TEST(FuzzySettings, ThresholdIsClampedAndReachesEveryVariable) {
  TConsole C;
  C.Run(Temperature);
  const IFuzzyVariable V = C.Engine.FindDefinedType("temperature")->GetFuzzyType();
  EXPECT_NEAR(V->GetThreshold(), 0.01, 1e-6);
  C.Engine.SetFuzzyEqualsThreshold(2);
  EXPECT_EQ(C.Engine.GetFuzzyEqualsThreshold(), 1.0f);
  EXPECT_EQ(V->GetThreshold(), 1.0);
  // Automatic terms: low, medium (a triangle through the middle of the universe) and high.
  C.Run("(deftype offset extends (type FUZZY) (range 20 40))");
  const IFuzzyVariable O = C.Engine.FindDefinedType("offset")->GetFuzzyType();
  EXPECT_NEAR(O->GetFuzzySet("medium")->DegreeOfMembership(30), 1.0, 1e-9);
  EXPECT_NEAR(O->GetFuzzySet("low")->DegreeOfMembership(25), 0.75, 1e-9);
  EXPECT_NEAR(O->GetFuzzySet("high")->DegreeOfMembership(25), 0.25, 1e-9);
}

TEST(FuzzyText, ConstructsAndFactsReadBackAsThemselves) {
  // Printed types, templates and facts parsed by a second engine print the same again.
  TConsole A;
  A.Run("(deftype temperature extends (type FUZZY) (range 0 100) (units \"deg C\")"
        " (values (term cold ((0 1) (50 0))) (term warm (tri 30 50 70)) (term mild warm or cold)"
        " (term hot (s 50 100)) (term bell (pi 50 20)) (term peak (beta 40 10)) (term fall (z 0 60))))"
        "(deftemplate room (slot name) (slot temp (type temperature)))");
  A.Run("(assert (room (name a) (temp very hot)) (room (name b) (temp 42))"
        " (room (name c) (temp ((10 0) (20 1) (30 0)))) (room (name d) (temp [hot or cold] and not warm)))");
  const std::string Type = A.Engine.FindDefinedType("temperature")->GetToString();
  const std::string Template = A.Engine.FindFactTemplate("room")->GetToString();
  std::vector<std::string> Facts;
  for (const IFact& F : FactsOf(A.Engine, "room")) Facts.push_back(F->ToString());
  TConsole B;
  B.Run(Type + Template);
  EXPECT_EQ(B.Engine.FindDefinedType("temperature")->GetToString(), Type);
  EXPECT_EQ(B.Engine.FindFactTemplate("room")->GetToString(), Template);
  for (const std::string& F : Facts) B.Engine.Assert(F);
  const auto Again = FactsOf(B.Engine, "room");
  ASSERT_EQ(Again.size(), Facts.size());
  const auto Before = FactsOf(A.Engine, "room");
  for (size_t I = 0; I < Facts.size(); ++I) {
    EXPECT_EQ(Again[I]->ToString(), Facts[I]);
    for (int X = 0; X <= 100; X += 5)
      EXPECT_NEAR(SetOf(Again[I], "temp")->DegreeOfMembership(X), SetOf(Before[I], "temp")->DegreeOfMembership(X), 1e-4)
          << Facts[I] << " at " << X;
  }
  // The engine reads a variable's clauses and a term as the printer writes them.
  const IFuzzyVariable V = A.Engine.FindDefinedType("temperature")->GetFuzzyType();
  const IFuzzyVariable Read = B.Engine.ParseFuzzyVariable(B.Engine.PrettyPrint(*V));
  EXPECT_EQ(Read->TermsInOrder().size(), V->TermsInOrder().size());
  EXPECT_EQ(B.Engine.PrettyPrint(*Read), B.Engine.PrettyPrint(*V));
  const IFuzzySet Warm = B.Engine.ParseFuzzySet(V, "(term warm (tri 30 50 70))");
  EXPECT_EQ(B.Engine.PrettyPrint(*Warm, true), "(term warm (tri 30.0000 50.0000 70.0000))");
  // very squares warm at the seven points it spreads the triangle over: between (36.67, 1/9) and
  // (43.33, 4/9), 40 lies half-way.
  EXPECT_NEAR(B.Engine.ParseFuzzySet(V, "very warm")->DegreeOfMembership(40), 5.0 / 18, 1e-9);
  // A failed read leaves the parser reading what it read before.
  EXPECT_NE(ErrorOf([&] { B.Engine.ParseFuzzySet(V, "(term broken (tri 1 2))"); }), "(no error)");
  EXPECT_EQ(B.Run("(+ 1 2)"), "3\r\n");
}

TEST(FuzzyEngine, EventsAndSettingsAroundAnAssertion) {
  TConsole C;
  int Sets = 0, Variables = 0, Singletons = 0;
  C.Engine.GetParser().OnParseFuzzySet = [&](TIEParser*, const IFuzzySet&) { ++Sets; };
  C.Engine.GetParser().OnParseFuzzyVariable = [&](TIEParser*, const IFuzzyVariable&) { ++Variables; };
  C.Engine.GetParser().OnParseSingletons = [&](TIEParser*, const ISingletonsVector&) { ++Singletons; };
  C.Run(Temperature);
  EXPECT_EQ(Sets, 2);  // cold and hot
  EXPECT_EQ(Singletons, 2);
  C.Engine.ParseFuzzyVariable("(range 0 10) (values (term a (tri 0 5 10)))");
  EXPECT_EQ(Variables, 1);

  // A handler that combines the facts itself: the new fact replaces the old one as it is.
  std::vector<std::string> Combined;
  C.Engine.OnFuzzyInference = [&](TInferenceEngine*, const IFact& New, const IFact& Old, bool& Done) {
    Combined.push_back(New->ToString() + " with " + Old->ToString());
    Done = true;
  };
  C.Run("(assert (room (name a) (temp hot)))");
  C.Run("(assert (room (name a) (temp cold)))");
  EXPECT_EQ(Combined, std::vector<std::string>{"(room (name a) (temp cold)) with (room (name a) (temp hot))"});
  ASSERT_EQ(FactsOf(C.Engine, "room").size(), 1u);
  EXPECT_EQ(FactsOf(C.Engine, "room")[0]->ToString(), "(room (name a) (temp cold))");
  C.Engine.OnFuzzyInference = nullptr;

  // An assertion under another method that fails (sum has no intersection) leaves the method,
  // the old fact and working memory as they were.
  IFact Warm = C.Engine.ParseFact("(room (name a) (temp 40))");
  C.Engine.GetContext()->Resolve(*Warm);
  std::string Error;
  try {
    C.Engine.Assert(Warm, vaguecore::fimAdditive, true);
  } catch (const std::exception& E) {
    Error = E.what();
  }
  EXPECT_EQ(Error, "Invalid fuzzy operation: foSum");
  EXPECT_EQ(C.Engine.GetFuzzyInferenceMethod(), vaguecore::fimMinMax);
  ASSERT_EQ(FactsOf(C.Engine, "room").size(), 1u);
  EXPECT_EQ(FactsOf(C.Engine, "room")[0]->ToString(), "(room (name a) (temp cold))");
}
