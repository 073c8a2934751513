// A knowledge base saved as text and loaded into a fresh engine is the same knowledge base:
// equal types and templates, the same globals, rules and fact sets printing alike, and the same
// facts in the same order - over the corpus, the examples and a generated knowledge base with
// awkward values.  Facts saved alone load back alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/core/ErrorText.h"
#include "tests/core/ProgramFiles.h"

#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/network/IERule.h"
#include "platform/TextStream.h"

using namespace rulecore;
using rulecore::testing::ProgramFiles;
using rulecore::testing::ReadFile;
using rulecore::testing::ErrorOf;

namespace {

// A fact as text with its numbers exact, and the points of its fuzzy values (which print by
// name): equal texts mean equal values.
std::string ExactText(const IFact& Fact) {
  const TExactNumbers Exact;
  std::string Text = Fact->ToString();
  const TFactValues& Values = Fact->GetSlotValues();
  for (int I = 0; I < Values.Count(); ++I) {
    const IIEValue& Value = Values.Entry(I).Value;
    if (!Value || Value->GetDType() != dtFuzzy) continue;
    const auto& Points = Value->GetAsFuzzy()->GetValues();
    for (int P = 0; P < Points.GetCount(); ++P)
      Text += " " + ExactFloatText(Points.GetXValue(P)) + "/" + ExactFloatText(Points.GetYValue(P));
  }
  return Text;
}

// What must survive: each construct kind by name, and the facts in order.
void ExpectSame(TInferenceEngine& Before, TInferenceEngine& After) {
  for (const auto& [Name, Type] : Before.GetDefinedTypes()) {
    const IIEDefinedType Read = After.FindDefinedType(Name);
    ASSERT_TRUE(Read) << "deftype " << Name;
    EXPECT_TRUE(Read->Equals(Type.get())) << Type->GetToString() << "\nloaded as\n" << Read->GetToString();
  }
  EXPECT_EQ(After.GetDefinedTypes().Count(), Before.GetDefinedTypes().Count());
  for (const auto& [Name, Template] : Before.GetFactTemplates()) {
    const IFactTemplate Read = After.FindFactTemplate(Name);
    ASSERT_TRUE(Read) << "deftemplate " << Name;
    EXPECT_TRUE(Read->Equals(Template.get())) << Template->GetToString() << "\nloaded as\n" << Read->GetToString();
  }
  for (const auto& [Name, Value] : Before.GetGlobalVariables()) {
    const IIEValue Read = After.GetGlobalVariables().Get(Name);
    ASSERT_TRUE(Read) << "defglobal " << Name;
    EXPECT_TRUE(Read->Equals(Value)) << Name << ": " << Value->GetToString() << " loaded as " << Read->GetToString();
  }
  EXPECT_EQ(After.GetGlobalVariables().Count(), Before.GetGlobalVariables().Count());
  const auto Rule = [](const TRule& R) { return R.GetToString(); };
  for (const auto& [Name, Original] : Before.GetRules()) {
    const TRule* Read = After.GetRules().GetItem(Name);
    ASSERT_TRUE(Read) << "defrule " << Name;
    EXPECT_EQ(Rule(*Read), Rule(*Original));
  }
  EXPECT_EQ(After.GetRules().Count(), Before.GetRules().Count());
  ASSERT_EQ(After.GetFactSetCount(), Before.GetFactSetCount());
  for (int I = 0; I < Before.GetFactSetCount(); ++I)
    EXPECT_EQ(After.GetFactSet(I)->ToString(), Before.GetFactSet(I)->ToString());
  const auto& A = Before.GetFactList();
  const auto& B = After.GetFactList();
  ASSERT_EQ(B.size(), A.size());
  for (size_t I = 0; I < A.size(); ++I) EXPECT_EQ(ExactText(B[I]), ExactText(A[I])) << "fact " << I;
}

void SaveAndLoad(TInferenceEngine& Before) {
  std::stringstream Saved;
  Before.SaveToStream(Saved);
  TInferenceEngine After;
  After.LoadFromStream(Saved);
  ExpectSame(Before, After);
}

class SavedKnowledgeBase : public ::testing::TestWithParam<std::string> {};

TEST_P(SavedKnowledgeBase, LoadsBackAsTheSame) {
  TInferenceEngine Before;
  rulecore::testing::RunProgram(Before, GetParam());
  Before.Reset();
  SaveAndLoad(Before);
}

INSTANTIATE_TEST_SUITE_P(CorpusAndExamples, SavedKnowledgeBase, ::testing::ValuesIn(ProgramFiles()),
                         [](const ::testing::TestParamInfo<std::string>& Info) {
                           return rulecore::testing::ProgramName(Info.param);
                         });

// Values that a rounded text form would change, and every kind of construct.
const char* Awkward = R"(
(deftype band extends (type FLOAT) (range 0.5 9.5))
(deftype level extends (type FUZZY) (range -1.25 2.75)
  (values (term low ((-1.25 1) (0.333333 0))) (term high (tri 0.1 1.7 2.75))))
(deftemplate reading (slot v (type band)) (slot w (type FLOAT)) (slot text) (multislot list)
  (slot fuzzy (type level)))
(defglobal ?*tiny* = 1e-300 ?*third* = 0.3333333333333333 ?*name* = "quote \" and \\ backslash")
(deffacts samples
  (reading (v 9.2) (w 16.35641) (text "a \"quoted\" text") (list 1.5 -0.1 x "y") (fuzzy very high))
  (reading (v 0.5) (w -1e+20) (text nil) (list) (fuzzy 0.1))
  (reading (v 1) (w 0) (fuzzy ((0.123456 0) (1.654321 1) (2.5 0))))
  (reading (v 2) (w 0) (fuzzy 0.123456))
  (reading (v 3) (w 0) (fuzzy (pi 0.777777 0.333333))))
(defrule scale (declare (salience 3)) (reading (v ?v&:(> ?v 1.05)) (w ?w)) =>
  (assert (scaled (* ?v 0.000123456789))))
(deffunction half (?x) (/ ?x 2.5))
)";

TEST(SavedKnowledgeBase, KeepsEveryValueExactly) {
  TInferenceEngine Before;
  Before.Parse(Awkward, false);
  Before.Reset();
  Before.Assert("(reading (v 3.14159265358979) (w 2.0) (list 1e-5))");
  Before.Run();
  SaveAndLoad(Before);
  // What display shows is still rounded.
  EXPECT_NE(Before.FindDefinedType("band")->GetToString().find("(range 0 9)"), std::string::npos);
}

// A knowledge base written by a program: random templates, rules with random constants and
// joins, and facts with floats of every magnitude and strings with every awkward character.
TEST(SavedKnowledgeBase, AGeneratedOneComesBackExactly) {
  std::mt19937 Random(7);
  const auto Float = [&Random] {
    const double Mantissa = std::uniform_real_distribution<double>(-1, 1)(Random);
    return ExactFloatText(std::ldexp(Mantissa, std::uniform_int_distribution<int>(-300, 300)(Random)));
  };
  const auto Pick = [&Random](int N) { return std::uniform_int_distribution<int>(0, N - 1)(Random); };
  std::string Text;
  constexpr int Templates = 12, Rules = 60, Facts = 200;
  for (int T = 0; T < Templates; ++T)
    Text += "(deftemplate t" + std::to_string(T) + " (slot a (type INTEGER)) (slot b (type FLOAT)) (slot c) (multislot d))\n";
  Text += "(defglobal ?*g* = " + Float() + ")\n";
  for (int R = 0; R < Rules; ++R) {
    const std::string X = std::to_string(Pick(Templates)), Y = std::to_string(Pick(Templates));
    Text += "(defrule r" + std::to_string(R) + " (declare (salience " + std::to_string(Pick(21) - 10) + "))" +
            " (t" + X + " (a ?a) (b ?b&:(> ?b " + Float() + ")))";
    const std::string Joined = "(t" + Y + " (a ?a) (c ~" + std::to_string(Pick(5)) + "))";
    Text += (Pick(2) ? " (not " + Joined + ")" : " " + Joined) + " => (assert (hit " + std::to_string(R) +
            " ?a (* ?b " + Float() + "))))\n";
  }
  const std::string Awkward = "\\\"( );~&|<-=>?$*\t";
  Text += "(deffacts generated\n";
  for (int F = 0; F < Facts; ++F) {
    std::string Str;
    for (int I = Pick(8); I > 0; --I) Str += Awkward[static_cast<size_t>(Pick(static_cast<int>(Awkward.size())))];
    std::string Escaped;
    for (char C : Str) Escaped += (C == '"' || C == '\\') ? std::string("\\") + C : std::string(1, C);
    Text += "  (t" + std::to_string(Pick(Templates)) + " (a " + std::to_string(Pick(20)) + ") (b " + Float() +
            ") (c \"" + Escaped + "\") (d " + Float() + " x" + std::to_string(F) + "))\n";
  }
  Text += ")\n";
  TInferenceEngine Before;
  Before.Parse(Text, false);
  Before.Reset();
  Before.Run(500);
  ASSERT_GT(Before.GetFactList().size(), static_cast<size_t>(Facts + 20)) << "the rules fired";
  SaveAndLoad(Before);
}

TEST(SavedFacts, LoadIntoAnEngineWithTheSameConstructs) {
  TInferenceEngine Before;
  Before.Parse(Awkward, false);
  Before.Reset();
  Before.Parse("(assert (note 1) (note 2.25) (other a))", true);
  std::stringstream All, Notes;
  Before.SaveFacts(All);
  Before.SaveFacts(Notes, "note");
  std::stringstream Nothing;
  Before.SaveFacts(Nothing, "nosuch");
  EXPECT_EQ(Nothing.str(), "");
  EXPECT_EQ(Notes.str(), "(note 1 )\r\n(note 2.25 )\r\n");

  TInferenceEngine After;
  After.Parse(Awkward, false);
  After.LoadFacts(All);
  const auto& A = Before.GetFactList();
  const auto& B = After.GetFactList();
  ASSERT_EQ(B.size(), A.size());
  for (size_t I = 0; I < A.size(); ++I) EXPECT_EQ(ExactText(B[I]), ExactText(A[I])) << "fact " << I;
}

TEST(SavedKnowledgeBase, KindsLoadAndSaveApartAndFilesFailClearly) {
  TInferenceEngine Before;
  Before.Parse(Awkward, false);
  std::stringstream Types, Templates, Rules;
  Before.SaveDefinedTypes(Types);
  Before.SaveFactTemplates(Templates);
  Before.SaveRules(Rules);
  {
    // Saved exactly: 0.000123456789 would be 0.0001 on display.
    const TExactNumbers Exact;
    EXPECT_EQ(Rules.str(), Before.GetRules().GetItem("scale")->GetToString() + "\r\n");
  }
  EXPECT_NE(Rules.str().find("0.000123456789"), std::string::npos);

  TInferenceEngine After;
  After.LoadDefinedTypes(Types);
  After.LoadFactTemplates(Templates);
  After.LoadRules(Rules);
  EXPECT_TRUE(After.FindDefinedType("band")->Equals(Before.FindDefinedType("band").get()));
  EXPECT_TRUE(After.FindFactTemplate("reading")->Equals(Before.FindFactTemplate("reading").get()));
  EXPECT_EQ(After.GetRules().GetItem("scale")->GetToString(), Before.GetRules().GetItem("scale")->GetToString());
  // Loading rules replaces the rules: an empty text leaves none.
  std::stringstream Empty;
  After.LoadRules(Empty);
  EXPECT_EQ(After.GetRules().Count(), 0);

  // A file that cannot be opened or made is the file error; a load that fails half-way keeps
  // what it read before the error and gives the parser its input back.
  EXPECT_THROW(After.LoadFromFile("/nonexistent/kb.clp"), platform::EFOpenError);
  EXPECT_THROW(After.SaveToFile("/nonexistent/dir/kb.clp"), platform::EFCreateError);
  std::stringstream Broken("(deftemplate kept (slot a)) (defrule bad (kept (a ?x)) => (printout t ?x)");
  EXPECT_NE(ErrorOf([&] { After.LoadFromStream(Broken); }), "(no error)");
  EXPECT_TRUE(After.FindFactTemplate("kept"));
  EXPECT_FALSE(After.GetRules().GetItem("bad"));
  EXPECT_EQ(After.ParseNExecuteFunCall("(+ 1 2)")->GetAsInteger(), 3);
}

TEST(ParsingAConstruct, FailsWholeOrNotAtAll) {
  TInferenceEngine Engine;
  const int Templates = Engine.GetFactTemplates().Count();
  for (const char* Text : {"(defrule r (implied-a ?x) (implied-b) => (printout t ?x",
                           "(deftemplate t (slot a) (slot b (type NOSUCHTYPE)))",
                           "(defglobal ?*a* = 1 ?*b* 2)", "(deffacts d (implied-c 1) (implied-d (x)"}) {
    EXPECT_NE(ErrorOf([&] { Engine.Parse(Text, false); }), "(no error)") << Text;
    EXPECT_EQ(Engine.GetFactTemplates().Count(), Templates) << Text;
    EXPECT_EQ(Engine.GetRules().Count(), 0) << Text;
    EXPECT_EQ(Engine.GetGlobalVariables().Count(), 0) << Text;
    EXPECT_EQ(Engine.GetFactSetCount(), 0) << Text;
  }
  // A template that existed before stays, even when the failed construct used it.
  Engine.Parse("(deftemplate kept (slot a))", false);
  EXPECT_NE(ErrorOf([&] { Engine.Parse("(defrule r (kept (a ?x)) =>", false); }), "(no error)");
  EXPECT_TRUE(Engine.FindFactTemplate("kept"));
}

}  // namespace
