#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/language/IEParser.h"
#include "core/network/IEContext.h"
#include "core/network/IERule.h"
#include "core/network/ReteNetwork.h"
#include "fuzzy/IFuzzyLogic.h"
#include "platform/Properties.h"

using namespace rulecore;
using platform::MakeRef;
using rulecore::testing::ErrorOf;

namespace {

IFactTemplate TemplateWithParent(TInferenceEngine& Engine, const std::string& Name, const IFactTemplate& Parent) {
  IFactTemplate T = MakeRef<TFactTemplate>(&Engine, Name);
  T->AddSlot("x", FCNil);
  T->SetParent(Parent);
  return T;
}

std::string Points(const IIEDefinedType& Type, std::string_view Term) {
  const vaguecore::IFuzzySet Set = Type->GetFuzzyType()->GetFuzzySet(Term);
  return Set ? Set->ValuesToString() : "(none)";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// templates and types: text forms, replacement, events
// ---------------------------------------------------------------------------------------------

TEST(ConstructRegistry, TemplateTextListsParentsBeforeChildren) {
  TInferenceEngine Engine;
  const IFactTemplate A = TemplateWithParent(Engine, "a", nullptr);
  const IFactTemplate B = TemplateWithParent(Engine, "b", A);
  const IFactTemplate C = TemplateWithParent(Engine, "c", B);
  // Registered child first: the text still reads back in order.
  Engine.GetFactTemplates().Add(C);
  Engine.GetFactTemplates().Add(B);
  Engine.GetFactTemplates().Add(A);
  const std::string Text = Engine.GetFactTemplates().ToString();
  EXPECT_LT(Text.find("(deftemplate a"), Text.find("(deftemplate b"));
  EXPECT_LT(Text.find("(deftemplate b"), Text.find("(deftemplate c"));
  EXPECT_EQ(Text.substr(Text.size() - 2), "\r\n");

  A->SetParent(C);  // a cycle cannot be listed
  EXPECT_EQ(ErrorOf([&] { (void)Engine.GetFactTemplates().ToString(); }),
            "Fact templates inheritance structure corrupted");
  A->SetParent(nullptr);
}

TEST(ConstructRegistry, DefinedTypesJoinTheEngine) {
  TInferenceEngine Engine;
  std::vector<std::string> Events;
  Engine.OnAddDefinedType = [&](TInferenceEngine*, const IIEDefinedType& T) { Events.push_back("+" + T->GetName()); };
  Engine.OnRemoveDefinedType = [&](TInferenceEngine*, const IIEDefinedType& T) { Events.push_back("-" + T->GetName()); };
  Engine.OnClearDefinedTypes = [&](TInferenceEngine*) { Events.push_back("clear"); };
  Engine.Parse("(deftype temp extends (type FUZZY) (range 0 100) (values (term low ((0 1) (10 0)))))", false);
  const IIEDefinedType Temp = Engine.FindDefinedType("temp");
  ASSERT_TRUE(Temp);
  EXPECT_EQ(Temp->GetReasoner(), &Engine);
  // The missing automatic terms are added; the existing "low" is kept as written.
  EXPECT_EQ(Points(Temp, "low"), "((0.0000 1.0000) (10.0000 0.0000) )");
  EXPECT_EQ(Points(Temp, "medium"), "((0.0000 0.0000) (50.0000 1.0000) (100.0000 0.0000) )");
  EXPECT_EQ(Points(Temp, "high"), "((0.0000 0.0000) (100.0000 1.0000) )");
  EXPECT_FLOAT_EQ(Temp->GetFuzzyType()->GetThreshold(), 0.01f);

  // A universe that does not start at 0 still gets a triangle inside it.
  Engine.Parse("(deftype pressure extends (type FUZZY) (range 100 150))", false);
  EXPECT_EQ(Points(Engine.FindDefinedType("pressure"), "medium"),
            "((100.0000 0.0000) (125.0000 1.0000) (150.0000 0.0000) )");

  Engine.SetFuzzyAutoTerms(false);
  Engine.Parse("(deftype plain extends (type FUZZY) (range 0 1))", false);
  EXPECT_EQ(Engine.FindDefinedType("plain")->GetFuzzyType()->GetFuzzySetCount(), 0);

  Engine.SetFuzzyEqualsThreshold(2);  // clamped, and pushed into every fuzzy type
  EXPECT_FLOAT_EQ(Engine.GetFuzzyEqualsThreshold(), 1.0f);
  EXPECT_FLOAT_EQ(Temp->GetFuzzyType()->GetThreshold(), 1.0f);
  Engine.SetMinActivationStrength(-3);
  EXPECT_FLOAT_EQ(Engine.GetReteNetwork().GetMinActivationStrength(), 0.0f);

  Engine.GetDefinedTypes().Remove("plain");
  Engine.GetDefinedTypes().Clear();
  EXPECT_EQ(Events, (std::vector<std::string>{"+temp", "+pressure", "+plain", "-plain", "clear"}));
  EXPECT_EQ(Temp->GetReasoner(), &Engine);  // clearing does not detach, removing does
}

TEST(ConstructRegistry, ReplacingATypeRebuildsTemplatesOnIt) {
  TInferenceEngine Engine;
  Engine.Parse("(deftype size extends (type SYMBOL) (allowed-symbols s m l))"
               "(deftemplate shirt (slot size (type size) (default m)))"
               "(deftemplate note (slot text))",
               false);
  Engine.Assert("(shirt (size l))");
  const IIEDefinedType Old = Engine.FindDefinedType("size");
  Engine.Parse("(deftype size extends (type SYMBOL) (allowed-symbols s m l xl))", false);
  const IIEDefinedType New = Engine.FindDefinedType("size");
  ASSERT_NE(Old, New);
  EXPECT_EQ(Old->GetReasoner(), nullptr);
  const IFactTemplate Shirt = Engine.FindFactTemplate("shirt");
  EXPECT_EQ(Shirt->GetSlot("size")->GetExtendedTypeInfo(), New);
  // The fact of the rebuilt template came back, and the new value is allowed.
  EXPECT_NE(Engine.GetFacts().ToString().find("(shirt (size l))"), std::string::npos);
  EXPECT_GT(Engine.Assert("(shirt (size xl))"), 0);

  Engine.SetDuplicateConstructs(dcError);
  EXPECT_EQ(ErrorOf([&] { Engine.Parse("(deftype size extends (type SYMBOL))", false); }),
            "Defined Type Name already exists: \"size\"");
  EXPECT_EQ(Engine.FindDefinedType("size"), New);

  // Removing the type takes its templates with it; other templates stay.
  Engine.GetDefinedTypes().Remove("size");
  EXPECT_FALSE(Engine.FindFactTemplate("shirt"));
  EXPECT_TRUE(Engine.FindFactTemplate("note"));
  EXPECT_EQ(Engine.GetFacts().ToString().find("shirt"), std::string::npos);
}

TEST(ConstructRegistry, ShapesReadAsTermsAndUnknownShapesFail) {
  TInferenceEngine Engine;
  Engine.SetFuzzyAutoTerms(false);
  Engine.Parse("(deftype t extends (type FUZZY) (range 0 100)"
               " (values (term warm (tri 20 50 80)) (term hot (s 60 100)) (term mid (pi 50 10))))",
               false);
  const IIEDefinedType T = Engine.FindDefinedType("t");
  EXPECT_EQ(Points(T, "warm"), "((20.0000 0.0000) (50.0000 1.0000) (80.0000 0.0000) )");
  EXPECT_EQ(T->GetFuzzyType()->GetFuzzySet("hot")->GetValues().GetPoints().size(), 7u);
  EXPECT_EQ(T->GetFuzzyType()->GetFuzzySet("mid")->GetValues().GetPoints().size(), 7u);
  // The printed type reads back into an equal one.
  TInferenceEngine Other;
  Other.SetFuzzyAutoTerms(false);
  Other.Parse(T->GetToString(), false);
  EXPECT_TRUE(Other.FindDefinedType("t")->Equals(T.get()));

  EXPECT_NE(ErrorOf([&] { Engine.Parse("(deftype u extends (type FUZZY) (values (term a (blob 1 2))))", false); })
                .find("Invalid Fuzzy Expression: (blob 1 2)"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { Engine.Parse("(deftype u extends (type FUZZY) (values (term a (tri 1 2))))", false); })
                .find("Invalid Fuzzy Expression"),
            std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// rules, functions, globals, fact sets, facts: clear, assign, text
// ---------------------------------------------------------------------------------------------

TEST(ConstructRegistry, RulesClearAndAssign) {
  TInferenceEngine Source;
  Source.Parse("(deftemplate job (slot n))"
               "(defrule beta (job (n ?n)) => (printout t ?n crlf))"
               "(defrule Alpha (job (n 1)) => )",
               false);
  EXPECT_LT(Source.GetRules().ToString().find("(defrule Alpha"), Source.GetRules().ToString().find("(defrule beta"));

  TInferenceEngine Copy;
  Copy.Parse("(deftemplate job (slot n))(defrule gamma (job) => )", false);
  int Cleared = 0;
  Copy.OnClearRules = [&](TInferenceEngine*) { ++Cleared; };
  Copy.SetRules(Source.GetRules());
  EXPECT_EQ(Cleared, 1);
  EXPECT_EQ(Copy.GetRules().Count(), 2);
  EXPECT_FALSE(Copy.GetRules().Get("gamma"));
  TRule* Beta = Copy.GetRules().Get("beta");
  ASSERT_NE(Beta, nullptr);
  EXPECT_NE(Beta, Source.GetRules().Get("beta"));  // this engine's own copy
  EXPECT_EQ(Beta->GetEngine(), &Copy);
  Copy.Assert("(job (n 1))");
  EXPECT_EQ(Copy.GetAgendaCount(), 2);  // the copies are compiled into this engine's network

  Copy.GetRules().Clear();
  EXPECT_EQ(Cleared, 2);
  EXPECT_EQ(Copy.GetAgendaCount(), 0);
  EXPECT_EQ(Copy.NewRuleId(), 0);  // numbering starts again
}

TEST(ConstructRegistry, FunctionsAssignSharesBuiltinsAndReadsDeffunctions) {
  TInferenceEngine Source;
  Source.Parse("(deffunction inc (?x) (+ ?x 1))(deffunction twice-inc (?x) (inc (inc ?x)))", false);
  TInferenceEngine Copy(nullptr, TInferenceEngine::TBare{});
  EXPECT_TRUE(Copy.GetUserFunctions().Assign(Source.GetUserFunctions(), false));
  EXPECT_EQ(Copy.GetUserFunctions().Get("+"), Source.GetUserFunctions().Get("+"));  // shared
  EXPECT_NE(Copy.GetUserFunctions().Get("inc"), Source.GetUserFunctions().Get("inc"));
  EXPECT_EQ(Copy.GetUserFunctions().GetInterpretedCount(), 2);
  EXPECT_EQ(Copy.ParseNExecuteFunCall("(twice-inc 5)")->GetAsInteger(), 7);
  EXPECT_EQ(Copy.GetUserFunctions().ToString(), Source.GetUserFunctions().ToString());
  const std::string Names = Copy.GetUserFunctions().GetNamesToString();
  EXPECT_NE(Names.find("twice-inc"), std::string::npos);
  EXPECT_NE(Names.substr(Names.size() - 2), "\r\n");
}

TEST(ConstructRegistry, GlobalsEvaluateOnceAndAssignByText) {
  TInferenceEngine Source;
  Source.Parse("(defglobal ?*count* = 0)(deffunction next () (bind ?*count* (+ ?*count* 1)))"
               "(defglobal ?*first* = (next))",
               false);
  // The defining call ran once when the variable was defined.
  EXPECT_EQ(Source.GetContext()->GetVariable("*count*")->GetAsInteger(), 1);
  EXPECT_EQ(Source.GetContext()->GetVariable("*first*")->GetAsInteger(), 1);
  EXPECT_EQ(Source.GetGlobalVariables().ToString(), "?*count* = 0\r\n?*first* = (next)\r\n");

  TInferenceEngine Copy;
  Copy.Parse("(defglobal ?*old* = 5)(deffunction next () 42)", false);
  Copy.SetGlobalVariables(Source.GetGlobalVariables());
  EXPECT_FALSE(Copy.GetGlobalVariables().ContainsKey("*old*"));
  EXPECT_EQ(ErrorOf([&] { (void)Copy.GetContext()->GetVariable("*old*"); }), "Unknown variable name: *old*");
  EXPECT_EQ(Copy.GetContext()->GetVariable("*first*")->GetAsInteger(), 42);  // read again here
}

TEST(ConstructRegistry, FactSetsReplaceByNameAndAssignCopies) {
  TInferenceEngine Source;
  Source.Parse("(deftemplate item (slot id))(deffacts stock (item (id 1)) (item (id 2)))(deffacts other (item (id 3)))",
               false);
  TInferenceEngine Copy;
  Copy.Parse("(deftemplate item (slot id))(deffacts stock (item (id 9)))", false);
  TFactSet* Earlier = Copy.GetFactSet(0);
  Copy.SetFactSets(Source.GetFactSets());
  ASSERT_EQ(Copy.GetFactSetCount(), 2);
  EXPECT_EQ(Copy.GetFactSets().IndexOf(Earlier), -1);  // replaced by the copy of the same name
  EXPECT_EQ(Earlier->GetEngine(), nullptr);
  EXPECT_EQ(Copy.GetFactSets().Find("stock")->GetOwner(), &Copy);
  EXPECT_EQ(Copy.GetFactSets().ToString(), Source.GetFactSets().ToString());
  Copy.Reset();
  EXPECT_EQ(Copy.GetFacts().Count(), 4);  // the initial fact and three items
}

TEST(ConstructRegistry, FactsAssignNeedsEqualTemplates) {
  TInferenceEngine Source;
  Source.Parse("(deftemplate item (slot id))", false);
  Source.Assert("(item (id 1))");
  Source.Assert("(item (id 2))");

  TInferenceEngine Same;
  Same.Parse("(deftemplate item (slot id))", false);
  Same.SetFacts(Source.GetFacts());
  EXPECT_EQ(Same.GetFacts().ToString(), Source.GetFacts().ToString());
  EXPECT_EQ(Same.GetFacts().Get(1)->GetTemplate(), Same.FindFactTemplate("item"));

  TInferenceEngine Different;
  Different.Parse("(deftemplate item (slot id) (slot extra))", false);
  EXPECT_EQ(ErrorOf([&] { Different.SetFacts(Source.GetFacts()); }).rfind(
                "Unable to assign slot values, fact templates are different: (deftemplate item", 0),
            0u);
}

// ---------------------------------------------------------------------------------------------
// the engine's published properties and class references
// ---------------------------------------------------------------------------------------------

TEST(EngineProperties, TableHoldsSettingsCollectionsAndEvents) {
  TInferenceEngine Engine;
  const platform::TClass& Class = TInferenceEngine::StaticClass();
  for (const char* Name : {"DefinedTypes", "DuplicateConstructs", "FactDuplication", "FactTemplates", "Facts",
                           "FuzzyAutoTerms", "FuzzyCorrelationMethod", "FuzzyEqualsThreshold", "FuzzyInferenceMethod",
                           "GlobalVariables", "MinActivationStrength", "Packages", "ParserErrorHandling",
                           "ParserMaxErrors", "ResetGlobals", "Rules", "Strategy", "SymbolIndex", "TypeChecks", "Watch",
                           "OnPrintOut", "OnAssertion", "OnParseRule"})
    EXPECT_NE(platform::GetPropInfo(Class, Name), nullptr) << Name;
  // A new engine stores nothing but what differs from the defaults.
  for (const platform::TPropInfo* Info : platform::GetPropList(Engine))
    if (Info->HasDefault) {
      EXPECT_FALSE(Info->IsStored(Engine)) << Info->Name;
    }

  platform::SetPropValue(Engine, "FuzzyEqualsThreshold", 2.0);
  EXPECT_FLOAT_EQ(Engine.GetFuzzyEqualsThreshold(), 1.0f);
  platform::SetPropValue(Engine, "Strategy", int64_t{ssBreadthFirst});
  EXPECT_EQ(Engine.GetStrategy(), ssBreadthFirst);

  // Events through the table; the parse events are the parser's own.
  std::string Printed;
  platform::SetPropValue(Engine, "OnPrintOut",
                         std::any(TInferenceEngine::TPrintOutEvent(
                             [&](TInferenceEngine*, const std::string&, const std::string& T) { Printed += T; })));
  Engine.PrintOut("t", "hello");
  EXPECT_EQ(Printed, "hello");
  int RulesParsed = 0;
  platform::SetPropValue(Engine, "OnParseRule", std::any(TParseRuleEvent([&](TIEParser*, TRule*) { ++RulesParsed; })));
  EXPECT_TRUE(static_cast<bool>(Engine.GetParser().OnParseRule));
  Engine.Parse("(defrule r => )", false);
  EXPECT_EQ(RulesParsed, 1);

  // Writing a collection property copies its contents; the engine keeps its own object.
  TInferenceEngine Source;
  Source.Parse("(deftemplate thing (slot a))", false);
  TFactTemplates* Before = &Engine.GetFactTemplates();
  platform::SetPropValue(Engine, "FactTemplates", static_cast<platform::TObject*>(&Source.GetFactTemplates()));
  EXPECT_EQ(&Engine.GetFactTemplates(), Before);
  ASSERT_TRUE(Engine.FindFactTemplate("thing"));
  EXPECT_NE(Engine.FindFactTemplate("thing"), Source.FindFactTemplate("thing"));
  EXPECT_EQ(Engine.FindFactTemplate("thing")->GetEngine(), &Engine);
}

namespace {

// A tokenizer that counts how many of its kind were made.
class TCountingStream : public TIEClipsStream {
  PLATFORM_CLASS(TCountingStream, TIEClipsStream)
 public:
  explicit TCountingStream(std::istream& Source) : TIEClipsStream(Source) { ++Made; }
  TCountingStream(const std::filesystem::path& File, std::ios::openmode Mode) : TIEClipsStream(File, Mode) { ++Made; }
  TCountingStream(platform::TInMemory, std::string Text) : TIEClipsStream(platform::InMemory, std::move(Text)) {
    ++Made;
  }
  static inline int Made = 0;
};

}  // namespace

TEST(EngineProperties, TokenizerTypeMakesEveryTokenizer) {
  TInferenceEngine Engine;
  EXPECT_EQ(Engine.GetTokenizerType()->Class, &TIEClipsStream::StaticClass());
  Engine.SetTokenizerType(nullptr);  // ignored
  EXPECT_EQ(Engine.GetTokenizerType()->Class, &TIEClipsStream::StaticClass());
  Engine.SetTokenizerType(&TokenizerClassOf<TCountingStream>());
  TCountingStream::Made = 0;
  Engine.Parse("(deftemplate a (slot b))", false);
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(+ 1 2)")->GetAsInteger(), 3);
  EXPECT_EQ(TCountingStream::Made, 2);
  // A copied engine takes the class along.
  TInferenceEngine Copy;
  Copy.Assign(Engine);
  EXPECT_EQ(Copy.GetTokenizerType(), Engine.GetTokenizerType());
}

TEST(EngineProperties, AssigningStreamTablesKeepsTheEnginesStreams) {
  TInferenceEngine A;
  TInferenceEngine B;
  A.GetIOStreams().Put("log", std::make_unique<platform::TTextStream>(platform::InMemory, "x"));
  B.SetIOStreams(A.GetIOStreams());
  EXPECT_EQ(B.GetIOStreams().Count(), 0);
  EXPECT_EQ(A.GetIOStreams().Count(), 1);
}

namespace {

class TTracedFacts : public TFacts {
  PLATFORM_CLASS(TTracedFacts, TFacts)
 public:
  using TFacts::TFacts;
};

// An engine that builds its fact list of its own class (or, asked to, of a wrong one).
class TCustomEngine : public TInferenceEngine {
 public:
  explicit TCustomEngine(bool Wrong = false) : TInferenceEngine(nullptr, TDeferred{}), Wrong_(Wrong) {
    Construct();
    ConstructDefaults();
  }
  std::unique_ptr<platform::TObject> CreateIEObject(int Type) override {
    if ((Type & 0x7F) == otFacts) {
      if (Wrong_) return std::make_unique<TRules>();
      return std::make_unique<TTracedFacts>(this);
    }
    return TInferenceEngine::CreateIEObject(Type);
  }

 private:
  bool Wrong_;
};

}  // namespace

TEST(EngineParts, ADescendantSubstitutesAPart) {
  TCustomEngine Engine;
  EXPECT_EQ(Engine.GetFacts().ClassName(), "TTracedFacts");
  EXPECT_EQ(Engine.GetFacts().ToString(), "(Initial-Fact)");
  Engine.Parse("(defrule r (go) => (assert (done)))", false);
  Engine.Assert("(go)");
  EXPECT_EQ(Engine.Run(), 1);
  EXPECT_EQ(Engine.GetFacts().Count(), 3);

  // The type number is masked; numbers that name no part give nothing.
  EXPECT_EQ(Engine.CreateIEObject(0x80 | otRules)->ClassName(), "TRules");
  EXPECT_EQ(Engine.CreateIEObject(otReteNetwork)->ClassName(), "TReteNetwork");
  EXPECT_EQ(Engine.CreateIEObject(11), nullptr);
  EXPECT_EQ(Engine.CreateIEObject(0x7F), nullptr);

  EXPECT_EQ(ErrorOf([] { TCustomEngine Broken(true); }), "Invalid object being added: \"TRules\" instead of \"TFacts\"");
}
