// Every construct of the rule-language corpus prints to text that reads back into the same
// construct.  Types and templates must come back equal; rules, fact sets and deffunctions, whose
// equality is their text, must print the same again (print, parse, print is a fixed point);
// globals must come back with equal values.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IERule.h"

using namespace rulecore;

namespace {

struct TEngine {
  TInferenceEngine Engine;  // with the default packages
};

std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::ostringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(CORPUS_DIR))
    if (Entry.path().extension() == ".clp") Names.push_back(Entry.path().filename().string());
  std::sort(Names.begin(), Names.end());
  return Names;
}

// Templates every engine makes for itself; they are not part of any program.
std::set<std::string> BuiltinTemplateNames() {
  TEngine Fresh;
  std::set<std::string> Names;
  for (const auto& [Name, Template] : Fresh.Engine.GetFactTemplates()) Names.insert(Name);
  return Names;
}

// An implied template comes into being where a rule or fact names it; reading those again makes
// it again, so it is compared but not written.
bool IsImplied(const TFactTemplate& Template) { return Template.GetComment() == "(Implied)"; }

// The printed constructs of one engine, by kind and name, in the order a program must list
// them: a type or template is defined before anything that names it.
struct TPrinted {
  std::vector<std::pair<std::string, std::string>> Types, Templates, Globals, Functions, FactSets, Rules;

  std::string Program() const {
    std::string Text;
    for (const auto* Part : {&Types, &Templates, &Globals, &Functions, &FactSets, &Rules})
      for (const auto& [Name, Construct] : *Part) Text += Construct + "\r\n\r\n";
    return Text;
  }
};

TPrinted Print(TInferenceEngine& Engine, const std::set<std::string>& Builtin) {
  TPrinted P;
  for (const auto& [Name, Type] : Engine.GetDefinedTypes()) P.Types.emplace_back(Name, Type->GetToString());
  for (const auto& [Name, Template] : Engine.GetFactTemplates())
    if (!Builtin.count(Name) && !IsImplied(*Template)) P.Templates.emplace_back(Name, Template->GetToString());
  for (const auto& [Name, Value] : Engine.GetGlobalVariables())
    P.Globals.emplace_back(Name, "(defglobal ?" + Name + " = " + Value->GetToString() + ")");
  for (const auto& [Name, Function] : Engine.GetUserFunctions())
    if (const auto* Deffunction = dynamic_cast<const TInterpretedFunction*>(Function.get()))
      P.Functions.emplace_back(Name, PrettyPrint(*Deffunction));
  for (int I = 0; I < Engine.GetFactSetCount(); ++I)
    P.FactSets.emplace_back(Engine.GetFactSet(I)->GetFactSetName(), Engine.GetFactSet(I)->ToString());
  for (const auto& [Name, Rule] : Engine.GetRules()) P.Rules.emplace_back(Name, Rule->GetToString());
  return P;
}

// What a rule's text might print away without changing: per pattern its element kind, wrappers,
// binding and, per slot, the number of tests and the field count a multislot must have.  The
// initial-fact pattern the engine puts in front of some rules is written out and read back as
// an ordinary pattern, so it is left out.
std::string Shape(const TRule& Rule) {
  std::string Text;
  for (int I = 0; I < Rule.GetPatternCount(); ++I) {
    const TIEPattern& P = *Rule.GetPattern(I);
    if (P.GetName() == SInitialFactPattern) continue;
    Text += P.GetName() + " not" + std::to_string(P.GetNegatedCount()) + (P.GetUnique() ? " unique" : "") +
            (P.GetExplicit() ? " explicit" : "") + " ?" + P.GetBoundName() + ":";
    for (int S = 0; S < P.GetSlotCount(); ++S)
      if (P.GetSlotTestCount(S) > 0 || P.GetSlotLength(S) >= 0)
        Text += " " + P.GetSlotName(S) + "/" + std::to_string(P.GetSlotTestCount(S)) + "/" +
                std::to_string(P.GetSlotLength(S));
    Text += "\n";
  }
  return Text;
}

void ExpectSameTexts(const char* Kind, const std::vector<std::pair<std::string, std::string>>& First,
                     const std::vector<std::pair<std::string, std::string>>& Second) {
  ASSERT_EQ(First.size(), Second.size()) << Kind;
  for (size_t I = 0; I < First.size(); ++I) {
    EXPECT_EQ(First[I].first, Second[I].first) << Kind;
    EXPECT_EQ(First[I].second, Second[I].second) << Kind << " " << First[I].first;
  }
}

class RoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(RoundTrip, PrintParsePrintIsAFixedPoint) {
  const std::set<std::string> Builtin = BuiltinTemplateNames();
  TEngine Original;
  ASSERT_NO_THROW(Original.Engine.Parse(ReadFile(std::filesystem::path(CORPUS_DIR) / GetParam()), false));
  const TPrinted First = Print(Original.Engine, Builtin);
  ASSERT_FALSE(First.Rules.empty() && First.Templates.empty() && First.Types.empty()) << "nothing was read";

  const std::string Program = First.Program();
  TEngine Copy;
  try {
    Copy.Engine.Parse(Program, false);
  } catch (const std::exception& Error) {
    FAIL() << "printed text does not parse: " << Error.what() << "\n" << Program;
  }
  TInferenceEngine& Again = Copy.Engine;

  for (const auto& [Name, Type] : Original.Engine.GetDefinedTypes()) {
    const IIEDefinedType Read = Again.FindDefinedType(Name);
    ASSERT_TRUE(Read) << "deftype " << Name;
    EXPECT_TRUE(Read->Equals(Type.get())) << Type->GetToString() << "\nread back as\n" << Read->GetToString();
  }
  EXPECT_EQ(Again.GetDefinedTypes().Count(), Original.Engine.GetDefinedTypes().Count());

  for (const auto& [Name, Template] : Original.Engine.GetFactTemplates()) {
    const IFactTemplate Read = Again.FindFactTemplate(Name);
    ASSERT_TRUE(Read) << "deftemplate " << Name;
    EXPECT_TRUE(Read->Equals(Template.get())) << Template->GetToString() << "\nread back as\n" << Read->GetToString();
    EXPECT_EQ(IsImplied(*Read), IsImplied(*Template)) << Name;
  }
  EXPECT_EQ(Again.GetFactTemplates().Count(), Original.Engine.GetFactTemplates().Count());

  for (const auto& [Name, Value] : Original.Engine.GetGlobalVariables()) {
    const IIEValue Read = Again.GetGlobalVariables().Get(Name);
    ASSERT_TRUE(Read) << "defglobal " << Name;
    EXPECT_TRUE(Read->Equals(Value)) << Name << ": " << Value->GetToString() << " read back as " << Read->GetToString();
  }
  EXPECT_EQ(Again.GetGlobalVariables().Count(), Original.Engine.GetGlobalVariables().Count());

  const TPrinted Second = Print(Again, Builtin);
  ExpectSameTexts("deffunction", First.Functions, Second.Functions);
  ExpectSameTexts("deffacts", First.FactSets, Second.FactSets);
  ExpectSameTexts("defrule", First.Rules, Second.Rules);
  for (const auto& [Name, Rule] : Original.Engine.GetRules()) {
    const TRule* Read = Again.GetRules().GetItem(Name);
    ASSERT_TRUE(Read) << "defrule " << Name;
    EXPECT_EQ(Shape(*Read), Shape(*Rule)) << Rule->GetToString();
    EXPECT_EQ(Read->GetActionCount(), Rule->GetActionCount()) << Name;
    EXPECT_EQ(Read->GetOneShot(), Rule->GetOneShot()) << Name;
    EXPECT_EQ(Read->GetEnabled(), Rule->GetEnabled()) << Name;
  }
}

// Constructs whose first printed form used to lose part of their meaning, each printed and read
// into a second engine.
TEST(RoundTripMeaning, EmptyFieldsNilAndNegatedTestsSurvivePrinting) {
  TEngine A;
  A.Engine.Parse(
      "(deftemplate room (slot name) (multislot kit (default-dynamic (create$ chairs))))"
      "(deffacts rooms (room (name r1) (kit)) (log a nil b))"
      "(defrule r (room (kit)) (goal) (p nil) (not (test (eq 1 2))) (exists (test (eq 1 1)))"
      "  => (bind ?x nil) (f ((1 0) (2 1))) (modify ?r (kit nil)))",
      false);
  TRule* Rule = A.Engine.GetRules().GetItem("r");
  ASSERT_TRUE(Rule);
  const std::string Printed = Rule->GetToString();
  const std::string Facts = A.Engine.GetFactSet(0)->ToString();
  // An empty multislot or ordered pattern asks for no fields; a wildcard would match any.
  EXPECT_NE(Printed.find("(room (kit ) )"), std::string::npos) << Printed;
  EXPECT_NE(Printed.find("(goal )"), std::string::npos) << Printed;
  // nil is a value of its own, not nothing.
  EXPECT_NE(Printed.find("(p nil)"), std::string::npos) << Printed;
  EXPECT_NE(Printed.find("(bind ?x nil)"), std::string::npos) << Printed;
  EXPECT_NE(Printed.find("(modify ?r (kit nil ))"), std::string::npos) << Printed;
  EXPECT_NE(Facts.find("(log a nil b )"), std::string::npos) << Facts;
  // A slot left empty must not come back with its default.
  EXPECT_NE(Facts.find("(room (kit) (name r1))"), std::string::npos) << Facts;
  // A negated test element is "not" around "test"; "~" is no syntax there.
  EXPECT_NE(Printed.find("(not (test (eq 1 2)))"), std::string::npos) << Printed;
  EXPECT_NE(Printed.find("(test (eq 1 1))"), std::string::npos) << Printed;
  EXPECT_NE(Printed.find("(f ((1 0) (2 1) ))"), std::string::npos) << Printed;

  TEngine B;
  B.Engine.Parse(A.Engine.GetFactTemplates().Get("room")->GetToString() + Facts + Printed, false);
  EXPECT_EQ(B.Engine.GetFactSet(0)->ToString(), Facts);
  ASSERT_TRUE(B.Engine.GetRules().GetItem("r"));
  EXPECT_EQ(B.Engine.GetRules().GetItem("r")->GetToString(), Printed);
  EXPECT_EQ(B.Engine.GetFactSet(0)->GetFact(0)->GetValue("kit")->GetAsList()->GetValueCount(), 0);
}

TEST(RoundTripMeaning, SlotQualifiersIgnoreLetterCase) {
  TEngine A;
  A.Engine.Parse("(deftemplate t (slot a (TYPE INTEGER) (RANGE 1 ?VARIABLE) (Default 2))"
                 "  (multislot b (Cardinality 0 2) (ALLOWED-SYMBOLS x y)))"
                 "(deftype d extends (type INTEGER) (RANGE 0 9) (Allowed-Integers 1 2))",
                 false);
  const IFactTemplate T = A.Engine.FindFactTemplate("t");
  ASSERT_TRUE(T);
  EXPECT_EQ(T->GetSlot("a")->GetExtendedTypeInfo()->GetMinRange(), 1);
  EXPECT_EQ(T->GetSlot("b")->GetExtendedTypeInfo()->GetMaxCardinality(), 2);
  EXPECT_EQ(T->GetSlot("b")->GetExtendedTypeInfo()->GetConstraintAtomsCount(), 2);
  ASSERT_TRUE(A.Engine.FindDefinedType("d"));
  EXPECT_EQ(A.Engine.FindDefinedType("d")->GetMaxRange(), 9);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::ValuesIn(CorpusFiles()),
                         [](const ::testing::TestParamInfo<std::string>& Info) {
                           std::string Name = Info.param.substr(0, Info.param.rfind('.'));
                           std::replace_if(Name.begin(), Name.end(), [](char C) { return !std::isalnum(C); }, '_');
                           return Name;
                         });

}  // namespace
