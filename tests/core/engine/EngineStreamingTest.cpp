// An engine written as a JSON component stream and read into a fresh engine comes back whole:
// equal types, templates and globals, rules, deffunctions and fact sets that print the same
// (print, parse, print is a fixed point), the same facts in the same order, the same settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/core/ProgramFiles.h"

#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/functions/IEPackages.h"
#include "core/functions/MathPackage.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IERule.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/ComponentStream.h"
#include "platform/TextStream.h"

using namespace rulecore;
using rulecore::testing::ProgramFiles;
using rulecore::testing::ReadFile;
using TJson = nlohmann::ordered_json;

namespace {

std::string Saved(const TInferenceEngine& Engine) {
  std::ostringstream Out;
  Engine.SaveComponentToStream(Out);
  return Out.str();
}


// The stream without the symbol counter, which counts what each engine did.
std::string WithoutSymbolIndex(const std::string& Text) {
  TJson Doc = TJson::parse(Text);
  if (Doc.contains("properties")) Doc["properties"].erase("SymbolIndex");
  return Doc.dump(1);
}

void Load(TInferenceEngine& Engine, const std::string& Text) {
  std::istringstream In(Text);
  Engine.LoadComponentFromStream(In);
}

bool IsImplied(const TFactTemplate& Template) { return Template.GetComment() == "(Implied)"; }

// What a rule's text might print away without changing (as the parse-print round trip checks).
std::string Shape(const TRule& Rule) {
  std::string Text;
  for (int I = 0; I < Rule.GetPatternCount(); ++I) {
    const TIEPattern& P = *Rule.GetPattern(I);
    if (P.GetName() == SInitialFactPattern) continue;  // written out and read back as a pattern
    Text += P.GetName() + " not" + std::to_string(P.GetNegatedCount()) + (P.GetExplicit() ? " explicit" : "") + " ?" +
            P.GetBoundName() + ":";
    for (int S = 0; S < P.GetSlotCount(); ++S)
      Text += " " + P.GetSlotName(S) + "/" + std::to_string(P.GetSlotTestCount(S)) + "/" +
              std::to_string(P.GetSlotLength(S));
    Text += "\n";
  }
  return Text;
}

// Two values of two engines: equal, fuzzy values point for point (fuzzy equality is a degree of
// overlap, which an empty set never has).
bool SameValue(const TIEValue& A, const TIEValue& B) {
  if (A.GetDType() != dtFuzzy || B.GetDType() != dtFuzzy) return A.Equals(&B);
  const vaguecore::TFuzzySetValues& X = A.GetAsFuzzy()->GetValues();
  const vaguecore::TFuzzySetValues& Y = B.GetAsFuzzy()->GetValues();
  if (X.GetCount() != Y.GetCount()) return false;
  for (int I = 0; I < X.GetCount(); ++I)
    if (X.GetXValue(I) != Y.GetXValue(I) || X.GetYValue(I) != Y.GetYValue(I)) return false;
  return true;
}

// Facts of two engines: the same template name and, slot by slot, the same values (fuzzy ones
// too, which fact equality leaves out).
bool SameFact(TFact& A, TFact& B) {
  if (A.GetTemplate()->GetTemplateName() != B.GetTemplate()->GetTemplateName()) return false;
  const std::vector<std::string> Slots = A.GetTemplate()->GetSlotNames();
  if (Slots != B.GetTemplate()->GetSlotNames()) return false;
  for (const std::string& Slot : Slots)
    if (!SameValue(*A.GetValue(Slot), *B.GetValue(Slot))) return false;
  return true;
}

// Everything the stream must carry, checked construct by construct.
void ExpectSameEngine(TInferenceEngine& Original, TInferenceEngine& Read) {
  const TExactNumbers Exact;  // texts compared with every digit
  for (const auto& [Name, Type] : Original.GetDefinedTypes()) {
    const IIEDefinedType Again = Read.FindDefinedType(Name);
    ASSERT_TRUE(Again) << "deftype " << Name;
    EXPECT_TRUE(Again->Equals(Type.get())) << Type->GetToString() << "\nread back as\n" << Again->GetToString();
    EXPECT_EQ(Again->GetToString(), Type->GetToString());
  }
  EXPECT_EQ(Read.GetDefinedTypes().Count(), Original.GetDefinedTypes().Count());

  for (const auto& [Name, Template] : Original.GetFactTemplates()) {
    const IFactTemplate Again = Read.FindFactTemplate(Name);
    ASSERT_TRUE(Again) << "deftemplate " << Name;
    EXPECT_TRUE(Again->Equals(Template.get())) << Template->GetToString() << "\nread back as\n" << Again->GetToString();
    EXPECT_EQ(IsImplied(*Again), IsImplied(*Template)) << Name;
  }
  EXPECT_EQ(Read.GetFactTemplates().Count(), Original.GetFactTemplates().Count());

  for (const auto& [Name, Value] : Original.GetGlobalVariables()) {
    const IIEValue Again = Read.GetGlobalVariables().Get(Name);
    ASSERT_TRUE(Again) << "defglobal " << Name;
    EXPECT_TRUE(Again->Equals(Value)) << Name << ": " << Value->GetToString() << " read back as " << Again->GetToString();
  }
  EXPECT_EQ(Read.GetGlobalVariables().Count(), Original.GetGlobalVariables().Count());

  auto Deffunctions = [](TInferenceEngine& E) {
    std::vector<std::string> Texts;
    for (int I = 0; I < E.GetUserFunctions().Count(); ++I)
      if (const auto* F = dynamic_cast<const TInterpretedFunction*>(E.GetUserFunctions().ValueAt(I).get()))
        Texts.push_back(PrettyPrint(*F));
    return Texts;
  };
  EXPECT_EQ(Deffunctions(Read), Deffunctions(Original));

  ASSERT_EQ(Read.GetFactSetCount(), Original.GetFactSetCount());
  for (int I = 0; I < Original.GetFactSetCount(); ++I)
    EXPECT_EQ(Read.GetFactSet(I)->ToString(), Original.GetFactSet(I)->ToString());

  for (const auto& [Name, Rule] : Original.GetRules()) {
    const TRule* Again = Read.GetRules().GetItem(Name);
    ASSERT_TRUE(Again) << "defrule " << Name;
    EXPECT_EQ(Again->GetToString(), Rule->GetToString());
    EXPECT_EQ(Shape(*Again), Shape(*Rule)) << Rule->GetToString();
    EXPECT_EQ(Again->GetActionCount(), Rule->GetActionCount()) << Name;
    EXPECT_EQ(Again->GetSalience(), Rule->GetSalience()) << Name;
  }
  EXPECT_EQ(Read.GetRules().Count(), Original.GetRules().Count());

  // Facts: equal values (fuzzy values too, which fact equality leaves out), in the same order.
  const std::vector<IFact>& Facts = Original.GetFactList();
  const std::vector<IFact>& Again = Read.GetFactList();
  ASSERT_EQ(Again.size(), Facts.size());
  for (size_t I = 0; I < Facts.size(); ++I) {
    EXPECT_TRUE(SameFact(*Again[I], *Facts[I])) << Facts[I]->ToString() << " read back as " << Again[I]->ToString();
    EXPECT_EQ(Again[I]->ToString(), Facts[I]->ToString());
  }

  // The symbol counter is left out: printing and reading rules draws generated names from it.
  for (const platform::TPropInfo* P : platform::GetPropList(Original)) {
    if (P->Kind == platform::pkObject || P->Kind == platform::pkEvent || P->Name == "SymbolIndex") continue;
    const platform::TPropValue A = P->Get(Original), B = P->Get(Read);
    EXPECT_EQ(A.index(), B.index()) << P->Name;
    if (const auto* I = std::get_if<int64_t>(&A)) {
      EXPECT_EQ(*I, std::get<int64_t>(B)) << P->Name;
    }
    if (const auto* F = std::get_if<double>(&A)) {
      EXPECT_EQ(*F, std::get<double>(B)) << P->Name;
    }
    if (const auto* T = std::get_if<std::string>(&A)) {
      EXPECT_EQ(*T, std::get<std::string>(B)) << P->Name;
    }
    if (const auto* L = std::get_if<bool>(&A)) {
      EXPECT_EQ(*L, std::get<bool>(B)) << P->Name;
    }
  }
  EXPECT_EQ(Read.GetFacts().GetCacheHashCodes(), Original.GetFacts().GetCacheHashCodes());
  EXPECT_EQ(Read.GetFacts().GetPreserveIDs(), Original.GetFacts().GetPreserveIDs());
}

class StreamedProgram : public ::testing::TestWithParam<std::string> {};

TEST_P(StreamedProgram, ComesBackWholeInAFreshEngine) {
  TInferenceEngine Original;
  ASSERT_NO_THROW(rulecore::testing::RunProgram(Original, GetParam()));
  Original.Reset();
  const std::string Text = Saved(Original);

  TInferenceEngine Read;
  try {
    Load(Read, Text);
  } catch (const std::exception& Error) {
    FAIL() << "the stream does not read: " << Error.what() << "\n" << Text;
  }
  ExpectSameEngine(Original, Read);
  // Writing what was read gives the same stream.
  EXPECT_EQ(WithoutSymbolIndex(Saved(Read)), WithoutSymbolIndex(Text));
}

INSTANTIATE_TEST_SUITE_P(CorpusAndExamples, StreamedProgram, ::testing::ValuesIn(ProgramFiles()),
                         [](const ::testing::TestParamInfo<std::string>& Info) {
                           return rulecore::testing::ProgramName(Info.param);
                         });

// Text a program would hardly hold by hand: every printable character, quotes and backslashes.
std::string AwkwardText(std::mt19937& Random) {
  static const std::string Alphabet = "ab \"\\;()?$&|~<>=*\t0.5e-3xyz'\r\n";
  std::string Text;
  const int Length = std::uniform_int_distribution<int>(0, 12)(Random);
  for (int I = 0; I < Length; ++I)
    Text += Alphabet[std::uniform_int_distribution<size_t>(0, Alphabet.size() - 1)(Random)];
  return Text;
}

TEST(EngineStreaming, AGeneratedKnowledgeBaseWithAwkwardValuesComesBackExactly) {
  TInferenceEngine Original;
  Original.SetStrategy(ssBreadthFirst);
  Original.SetFactDuplication(true);
  Original.SetFuzzyAutoTerms(false);
  Original.SetFuzzyEqualsThreshold(0.125f);
  Original.SetTypeChecks(TTypeChecks{});
  Original.SetParserMaxErrors(3);
  Original.GetFacts().SetPreserveIDs(true);
  Original.Parse(
      "(deftype band extends (type FLOAT) (range 0.5 9.5))"
      "(deftype heat extends (type FUZZY) (range 0 100) (units \"deg\")"
      "  (values (term cool (z 10 40)) (term hot ((50 0) (90.0000001 1)))))"
      "(deftemplate reading (slot v (type band)) (slot x (type FLOAT)) (slot s (type STRING)) (multislot m)"
      "  (slot h (type heat)))"
      "(deftemplate child extends reading (slot extra (default 16.35641)))"
      "(deffunction twice (?a) (* ?a 2.5))"
      "(defglobal ?*tiny* = 1e-300 ?*odd* = 16.35641 ?*text* = \"a \\\"quoted\\\" \\\\ word\" ?*call* = (twice 3))"
      "(deffacts start (reading (v 9.2) (x 0.1) (s \"x\\\\\") (m 1 2.5 \"three\" four) (h very hot)))"
      "(defrule r (declare (salience -7)) (reading (v ?v&:(> ?v 9.1)) (h hot)) => (assert (seen ?v 1e-300)))",
      false);
  Original.Reset();
  std::mt19937 Random(20240611);
  const IFactTemplate Reading = Original.FindFactTemplate("reading");
  ASSERT_TRUE(Reading);
  for (int I = 0; I < 40; ++I) {
    const IFact Fact = Reading->NewFact();
    Fact->SetValue("v", NewFloat(std::uniform_real_distribution<double>(0.5, 9.5)(Random)));
    Fact->SetValue("x", NewFloat(std::ldexp(std::uniform_real_distribution<double>(-1, 1)(Random),
                                            std::uniform_int_distribution<int>(-1020, 1020)(Random))));
    Fact->SetValue("s", NewString(AwkwardText(Random)));
    Original.Assert(Fact);
  }
  Original.Assert("(reading (v 9.5) (x 16.35641) (s \"\") (m) (h ((0 0) (33.3333 1) (66.6 0.25) (100 0))))");
  Original.Assert("(child (v 0.5) (m (create$ a b)))");
  Original.Assert("(child (v 0.5) (m (create$ a b)))");  // a duplicate, allowed here

  const std::string Text = Saved(Original);
  TInferenceEngine Read;
  Load(Read, Text);
  ExpectSameEngine(Original, Read);
  EXPECT_EQ(WithoutSymbolIndex(Saved(Read)), WithoutSymbolIndex(Text));
  EXPECT_EQ(Read.GetGlobalVariables().Get("*tiny*")->GetAsFloat(), 1e-300);
  EXPECT_EQ(Read.GetFactTemplates().Get("reading")->GetSlot("v")->GetExtendedTypeInfo()->GetMaxRange(), 9.5);
}

TEST(EngineStreaming, OnlyWhatThereIsIsStored) {
  TInferenceEngine Engine;
  Engine.Clear();
  // Nothing but the settings that differ: no facts, no rules, no constructs.
  EXPECT_EQ(TJson::parse(Saved(Engine)), (TJson{{"class", "TInferenceEngine"}}));

  Engine.Parse("(deftemplate t (slot a)) (deffacts f (t (a 1)))", false);
  Engine.SetWatch(TConstructWatches{cwFact});
  const TJson Doc = TJson::parse(Saved(Engine));
  const TJson& Properties = Doc["properties"];
  EXPECT_FALSE(Properties.contains("FactsList"));
  EXPECT_FALSE(Properties.contains("Rules"));
  EXPECT_FALSE(Properties.contains("Functions"));
  EXPECT_FALSE(Properties.contains("DefinedTypes"));
  EXPECT_EQ(Properties["FactTemplates"]["Templates"].size(), 1u);
  EXPECT_EQ(Properties["Watch"], TJson::array({"cwFact"}));
  EXPECT_EQ(Properties["FactSets"].size(), 1u);

  Engine.Reset();
  EXPECT_EQ(TJson::parse(Saved(Engine))["properties"]["FactsList"], TJson::array({"(Initial-Fact)", "(t (a 1))"}));
}

TEST(EngineStreaming, ABadStreamRaisesAndLeavesAWorkingEngine) {
  TInferenceEngine Source;
  Source.Parse("(deftemplate t (slot a)) (defrule ok (t (a ?x)) => (assert (done ?x)))", false);
  TJson Doc = TJson::parse(Saved(Source));
  Doc["properties"]["Rules"]["Rules"].push_back("(defrule broken (t (a ?x) => ");

  TInferenceEngine Engine;
  Engine.Parse("(deftemplate old (slot b))", false);
  const TInferenceEngine Fresh;
  EXPECT_THROW(Load(Engine, Doc.dump()), EIEParseException);
  // What was read before the bad rule is there, and the engine works.
  EXPECT_TRUE(Engine.FindFactTemplate("t"));
  EXPECT_FALSE(Engine.FindFactTemplate("old"));
  EXPECT_TRUE(Engine.GetRules().GetItem("ok"));
  EXPECT_FALSE(Engine.IsLoading());
  Engine.Reset();
  Engine.Assert("(t (a 5))");
  EXPECT_EQ(Engine.Run(), 1);

  for (const std::string& Bad :
       {std::string("{\"class\": \"TInferenceEngine\", \"properties\": {\"Strategy\": \"ssSideways\"}}"),
        std::string("{\"class\": \"TInferenceEngine\", \"properties\": {\"Rules\": {\"Rules\": [7]}}}"),
        std::string("{\"class\": \"TInferenceEngine\", \"components\": [{\"class\": \"TRule\"}]}"),
        std::string("{\"class\": \"TFactSet\"}"), std::string("not json")}) {
    EXPECT_THROW(Load(Engine, Bad), platform::EStreamError) << Bad;
    EXPECT_FALSE(Engine.IsLoading());
    EXPECT_EQ(Engine.GetComponentCount(), Fresh.GetComponentCount());  // its packages and network only
  }
  // Read after failures, a good stream still comes back whole.
  Load(Engine, Saved(Source));
  ExpectSameEngine(Source, Engine);

  // Constructs read before a failure are not added by a later read that does not have them.
  TJson Stale = TJson::parse(Saved(Source));
  Stale["properties"]["DefinedTypes"]["DefTypes"] = TJson::array({"(deftype stale extends (type INTEGER))"});
  Stale["properties"]["Watch"] = "not a set";
  EXPECT_THROW(platform::ReadComponentStream(Stale.dump(), Engine), platform::EStreamError);
  platform::ReadComponentStream(Saved(Source), Engine);
  EXPECT_FALSE(Engine.FindDefinedType("stale"));
}

TEST(EngineStreaming, FilesAreWrittenAndReadWhole) {
  const std::filesystem::path Path = std::filesystem::temp_directory_path() / "engine_streaming_test.json";
  TInferenceEngine Source;
  Source.Parse("(deftemplate t (slot a)) (defglobal ?*g* = 0.1) (defrule calm (not (alarm)) => (assert (calm)))",
               false);
  Source.Reset();
  Source.SaveComponentToFile(Path.string());
  TInferenceEngine Read;
  Read.LoadComponentFromFile(Path.string());
  ExpectSameEngine(Source, Read);
  // A rule that starts with "not" stands on the engine's initial fact, which is still its own.
  Read.Reset();
  EXPECT_EQ(Read.Run(), 1);
  std::filesystem::remove(Path);
  EXPECT_THROW(Read.LoadComponentFromFile(Path.string()), platform::EFOpenError);
  EXPECT_THROW(Source.SaveComponentToFile((Path / "no" / "such" / "dir").string()), platform::EFOpenError);
}

// A host's root holding an engine, a rule and a fact set of its own and two packages: the rule
// and the set store themselves (and are not listed by the engine as well), the packages their
// functions.
TEST(EngineStreaming, HostComponentsAroundAnEngineComeBack) {
  platform::TComponent Form;
  auto* Engine = new TInferenceEngine(&Form);
  Engine->SetName("Engine");
  Engine->Parse("(deftemplate t (slot a)) (defrule listed (t (a 1)) => (assert (one)))", false);
  auto* Rule = new TRule(&Form);
  Rule->SetName("HostRule");
  Rule->SetEngine(Engine);
  {
    const std::unique_ptr<TRule> Parsed(Engine->ParseRule("(defrule own (declare (salience 5)) (t (a 2.25)) => (assert (two)))"));
    Rule->Assign(*Parsed);
  }
  auto* Set = new TFactSet(&Form);
  Set->SetName("HostFacts");
  Set->SetFactSetName("host-facts");
  Set->SetEngine(Engine);
  Set->SetFacts({"(t (a 16.35641))"});
  auto* Math = new TMathPackage(&Form);
  Math->SetName("Math");
  const int Plus = Math->IndexOf("+");
  ASSERT_GE(Plus, 0);
  Math->GetFunctions().Item(Plus)->SetFunctionName("plus");
  auto* Mine = new TUserPackage(&Form);
  Mine->SetName("Mine");
  const IUserFunction Own = platform::MakeRef<TIEUserFunction>("my-function", " <x>", 1, 2, "mine");
  Mine->GetFunctions().Add(Own);
  Mine->SetEngine(Engine);
  auto* HostFunction = new TUserFunction(&Form);
  HostFunction->SetName("HostFunction");
  HostFunction->SetFunctionName("host-fn");
  HostFunction->SetMinArgumentCount(1);
  HostFunction->SetMaxArgumentCount(2);
  HostFunction->SetArgumentString("<first> [<second>]");
  HostFunction->SetEngine(Engine);

  const std::string Text = platform::WriteComponentStream(Form);
  const TJson Doc = TJson::parse(Text);
  const TJson& EngineDoc = Doc["components"][0];
  EXPECT_EQ(EngineDoc["properties"]["Rules"]["Rules"].size(), 1u);  // "own" stores itself
  EXPECT_FALSE(EngineDoc["properties"].contains("FactSets"));
  EXPECT_EQ(Doc["components"][1]["properties"]["Engine"], TJson::array({"Engine"}));
  EXPECT_EQ(Doc["components"][4]["properties"]["PackageFunctions"],
            TJson::parse(R"([["TIEUserFunction", "my-function", "mine", 2, 1]])"));

  platform::TComponent Copy;
  platform::ReadComponentStream(Text, Copy);
  auto* E = dynamic_cast<TInferenceEngine*>(Copy.FindComponent("Engine"));
  auto* R = dynamic_cast<TRule*>(Copy.FindComponent("HostRule"));
  auto* S = dynamic_cast<TFactSet*>(Copy.FindComponent("HostFacts"));
  auto* M = dynamic_cast<TMathPackage*>(Copy.FindComponent("Math"));
  auto* P = dynamic_cast<TUserPackage*>(Copy.FindComponent("Mine"));
  ASSERT_TRUE(E && R && S && M && P);
  EXPECT_EQ(R->GetEngine(), E);
  EXPECT_EQ(E->GetRules().GetItem("own"), R);
  EXPECT_EQ(R->GetToString(), Rule->GetToString());
  EXPECT_EQ(R->GetSalience(), 5);
  EXPECT_TRUE(E->GetRules().GetItem("listed"));
  EXPECT_EQ(E->GetRules().Count(), 2);
  EXPECT_EQ(S->GetEngine(), E);
  EXPECT_EQ(S->GetFactSetName(), "host-facts");
  EXPECT_EQ(E->GetFactSetCount(), 1);
  // The set asserted its facts when it was loaded (after the engine's own facts).
  ASSERT_EQ(E->GetFactList().size(), 2u);
  EXPECT_EQ(E->GetFactList()[1]->GetValue("a")->GetAsFloat(), 16.35641);
  EXPECT_EQ(M->GetFunctions().Count(), Math->GetFunctions().Count());
  EXPECT_GE(M->IndexOf("plus"), 0);
  EXPECT_LT(M->IndexOf("+"), 0);
  ASSERT_EQ(P->GetFunctions().Count(), 1);
  EXPECT_EQ(P->GetFunctions().Item(0)->GetFunctionName(), "my-function");
  EXPECT_EQ(P->GetFunctions().Item(0)->GetMaxArgumentCount(), 2);
  EXPECT_EQ(P->GetEngine(), E);
  EXPECT_TRUE(E->ContainsUserFunction("my-function"));
  auto* F = dynamic_cast<TUserFunction*>(Copy.FindComponent("HostFunction"));
  ASSERT_TRUE(F);
  EXPECT_EQ(F->GetArgumentString(), "<first> [<second>]");  // not rebuilt from the counts read after it
  EXPECT_EQ(F->GetMaxArgumentCount(), 2);
  EXPECT_TRUE(E->ContainsUserFunction("host-fn"));
  // Written again, the host's components are the same (the engine now also holds the fact
  // the set asserted when it was loaded).
  const TJson Again = TJson::parse(platform::WriteComponentStream(Copy));
  for (size_t I = 1; I < Doc["components"].size(); ++I) EXPECT_EQ(Again["components"][I], Doc["components"][I]);

  // A package naming a class nobody registered keeps the functions read before it.
  TJson Bad = Doc;
  Bad["components"][4]["properties"]["PackageFunctions"].push_back({"TNoSuchFunction", "f", "", 1, 0});
  platform::TComponent Other;
  EXPECT_THROW(platform::ReadComponentStream(Bad.dump(), Other), platform::EClassNotFound);
}

}  // namespace
