#include <gtest/gtest.h>

#include "tests/core/ErrorText.h"
#include "tests/core/TestConsole.h"

#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/language/IEClipsParser.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IERule.h"

using namespace rulecore;
using platform::MakeRef;
using rulecore::testing::ErrorOf;
using rulecore::testing::TConsole;

namespace {

std::string ParseErrorOf(TInferenceEngine& Engine, const std::string& Text, int* Line = nullptr) {
  try {
    Engine.Parse(Text, true);
  } catch (const EIEParseException& E) {
    if (Line) *Line = E.GetLineNumber();
    return E.what();
  } catch (const EIEException& E) {
    return std::string("model error: ") + E.what();
  }
  return "(no error)";
}

}  // namespace

TEST(ParserTopLevel, ValuesAndCallsEchoConstructsDoNot) {
  TConsole C;
  EXPECT_EQ(C.Run("a 1 2.5 (+ 1 2) (str-cat \"x\" y) nil (create$ a b)"), "a\r\n1\r\n2.5000\r\n3\r\n\"xy\"\r\na b \r\n");
  EXPECT_EQ(C.Run("(deftemplate t (slot s)) (defglobal ?*g* = 5) ?*g*"), "5\r\n");
  EXPECT_EQ(C.Run(""), "");
  std::vector<TParsedType> Kinds;
  C.Engine.GetParser().OnParse = [&](TIEParser*, TParsedType Kind, platform::TObject*, const IIEValue&) {
    Kinds.push_back(Kind);
  };
  C.Run("x (deffunction f () 1) (f)");
  EXPECT_EQ(Kinds, (std::vector<TParsedType>{ptValue, ptNone, ptFunCall}));
}

TEST(ParserTopLevel, ErrorsCarryTheOperationLineAndText) {
  TConsole C;
  int Line = 0;
  EXPECT_EQ(ParseErrorOf(C.Engine, "\n\n  \"text\"", &Line),
            "Parsing Error, Unexpected symbol, expected a \"(\", constant, or global variable: \\\"text\"\\ in "
            "ParseExpression at line 3: \\\"text\"\\ ");
  EXPECT_EQ(Line, 3);
  // Construct keywords are case-sensitive: this is a call of a function named DEFRULE.
  EXPECT_EQ(ErrorOf([&] { C.Engine.Parse("(DEFRULE r => )", true); }),
            "Function is unimplemented or unassigned: DEFRULE");
  EXPECT_EQ(ParseErrorOf(C.Engine, "(defrule r (a) = > (printout t x))"), "(no error)");  // "= >" is the arrow
  EXPECT_NE(ParseErrorOf(C.Engine, "(defrule r (a) => (printout t x)"), "(no error)");
  EXPECT_EQ(ParseErrorOf(C.Engine, "(defglobal ?x = 1)"),
            "Parsing Error, Bad Variable Name, must start and end with an asterisk: ?x in ParseGlobalVariables at "
            "line 1: ( defglobal ?x ");
  EXPECT_EQ(ParseErrorOf(C.Engine, "(deftemplate t (slot s (type FUZZY INTEGER)))"),
            "Parsing Error, Cannot mix fuzzy type with other primitive types in ParseSlotTypes at line 1: "
            "( deftemplate t ( slot s ( type FUZZY INTEGER ) ");
}

TEST(ParserTopLevel, CollectingModeStopsAfterTooManyErrors) {
  TConsole C;
  C.Engine.GetParser().SetErrorHandling(ehRaiseAllAtEnd);
  std::string Text;
  for (int I = 0; I < 15; ++I) Text += "\"bad\"\n";
  const std::string Message = ParseErrorOf(C.Engine, Text + "(+ 1 1)");
  ASSERT_EQ(Message.rfind("Errors parsing stream:\r\n", 0), 0u);
  size_t Count = 0;
  for (size_t P = Message.find("Parsing Error"); P != std::string::npos; P = Message.find("Parsing Error", P + 1))
    ++Count;
  EXPECT_EQ(Count, 11u);
  EXPECT_EQ(C.Output, "");  // the parse stopped before the call
  EXPECT_EQ(ParseErrorOf(C.Engine, "\"one\" (+ 1 1)").rfind("Parsing Error, Unexpected symbol", 0), 0u);
  EXPECT_EQ(C.Output, "2\r\n");  // a single error: the rest was parsed and run
}

TEST(ParserCalls, SlotFunctionsReadFactsAndPairs) {
  TConsole C;
  const IFunCall Assert = C.Engine.ParseFunCall("(assert (a 1) (b 2))");
  ASSERT_EQ(Assert->GetArgumentCount(), 2);
  EXPECT_EQ(Assert->GetArgument(0)->GetDType(), dtFact);
  EXPECT_EQ(Assert->GetArgument(1)->GetAsFact()->GetTemplate()->GetTemplateName(), "b");
  const IFunCall Print = C.Engine.ParseFunCall("(printout t (a 1))");
  EXPECT_EQ(Print->GetArgument(1)->GetAsFunCall()->GetName(), "a");
  const IFunCall Modify = C.Engine.ParseFunCall("(modify ?f (x 1) (y a b))");
  EXPECT_EQ(Modify->GetToString(), "(modify ?f (x 1 ) (y a b  ))");
  EXPECT_EQ(Modify->GetArgument(2)->GetAsList()->Get(1)->GetDType(), dtList);
  const IFunCall Points = C.Engine.ParseFunCall("(f ((1 0) (2 ?y)) & ~)");
  EXPECT_EQ(Points->GetArgument(0)->GetDType(), dtSingletons);
  EXPECT_EQ(Points->GetArgument(1)->GetAsString(), "&");
  const IFunCall Get = C.Engine.ParseFunCall("(?x 1)");
  EXPECT_EQ(Get->GetName(), "__get-var");
  const IFunCall Comment = C.Engine.ParseFunCall("; why\n(g)");
  EXPECT_EQ(Comment->GetComment(), "; why");
}

TEST(ParserRules, PatternsActionsAndDeclarations) {
  TConsole C;
  C.Run("(deftemplate person (slot name) (multislot likes))"
        "(defrule match \"find pairs\" (declare (salience 10) (oneshot TRUE))"
        "  ?p <- (person (name ?n&~bob) (likes $?l))"
        "  (not (person (name ?n) (likes tea|coffee)))"
        "  (test (> 2 1))"
        "  = >"
        "  (printout t ?n crlf))");
  TRule* Rule = C.Engine.GetRules().GetItem("match");
  ASSERT_TRUE(Rule);
  EXPECT_EQ(Rule->GetComment(), "find pairs");
  EXPECT_EQ(Rule->GetSalience(), 10);
  EXPECT_TRUE(Rule->GetOneShot());
  ASSERT_EQ(Rule->GetPatternCount(), 3);
  EXPECT_EQ(Rule->GetPattern(0)->GetBoundName(), "p");
  EXPECT_TRUE(Rule->GetPattern(1)->IsNegated());
  EXPECT_EQ(Rule->GetPattern(2)->GetName(), "test");
  EXPECT_EQ(Rule->GetActionCount(), 1);
  EXPECT_EQ(Rule->GetBindingByName("l")->SlotIndex, "likes");
  // The multifield variable keeps its kind in the action.
  C.Run("(defrule kinds (person (likes $?all)) => (printout t ?all))");
  EXPECT_EQ(C.Engine.GetRules().GetItem("kinds")->GetAction(0)->GetArgument(1)->GetDType(), dtMultiVariable);

  C.Run("(defrule ex (exists (person)) => ) (defrule nex (not (exists (person))) => )");
  EXPECT_EQ(C.Engine.GetRules().GetItem("ex")->GetPattern(1)->GetNegatedCount(), 2);
  EXPECT_EQ(C.Engine.GetRules().GetItem("nex")->GetPattern(1)->GetNegatedCount(), 3);
  EXPECT_EQ(ParseErrorOf(C.Engine, "(defrule bad ?x <- (not (person)) => )").find("\"not\" and \"test\" CEs cannot"),
            15u);
  EXPECT_NE(ParseErrorOf(C.Engine, "(defrule bad (person (name a b)) => )").find("Slot \"name\" is not a multislot"),
            std::string::npos);
}

TEST(ParserTemplates, SlotsQualifiersAndChecks) {
  TConsole C;
  C.Run("(deftemplate order \"an order\""
        "  (slot id (type INTEGER) (default 7))"
        "  (slot price (type FLOAT) (default 3))"
        "  (slot size (allowed-symbols small large) (default large))"
        "  (slot qty (type INTEGER) (range 1 ?VARIABLE))"
        "  (multislot items (type SYMBOL) (cardinality 0 3))"
        "  (slot stamp (default-dynamic (gensym*))))");
  const IFactTemplate T = C.Engine.FindFactTemplate("order");
  ASSERT_TRUE(T);
  EXPECT_EQ(T->GetComment(), "an order");
  EXPECT_EQ(T->GetSlot("id")->GetSlotDefault()->GetAsInteger(), 7);
  EXPECT_EQ(T->GetSlot("price")->GetSlotDefault()->GetDType(), dtFloat);  // converted by the static check
  EXPECT_EQ(T->GetSlot("size")->GetExtendedTypeInfo()->GetConstraintAtomsCount(), 2);
  EXPECT_TRUE(T->GetSlot("qty")->GetExtendedTypeInfo()->GetRangeLimited());
  EXPECT_EQ(T->GetSlot("qty")->GetSlotDefault()->GetAsInteger(), 1);
  EXPECT_TRUE(T->GetSlot("items")->IsMultiSlot());
  EXPECT_TRUE(T->GetSlot("stamp")->GetDefaultDynamic());
  EXPECT_EQ(T->GetSlot("stamp")->GetSlotDefault()->GetDType(), dtFunCall);
  EXPECT_NE(ParseErrorOf(C.Engine, "(deftemplate bad (slot s (type INTEGER) (default abc)))")
                .find("Not a INTEGER type.  Value (abc) is a dtAtom type for s slot"),
            std::string::npos);
  EXPECT_NE(ParseErrorOf(C.Engine, "(deftemplate bad (slot s (colour red)))").find("Invalid slot qualifier: colour"),
            std::string::npos);
  // Printing and reading again gives an equal template.
  TConsole Other;
  Other.Engine.GetFactTemplates().Add(Other.Engine.ParseFactTemplate(T->GetToString()));
  EXPECT_TRUE(Other.Engine.FindFactTemplate("order")->Equals(T.get())) << T->GetToString();
}

TEST(ParserFacts, FactsAndFactSets) {
  TConsole C;
  C.Run("(deftemplate point (slot x (type FLOAT)) (slot y (type FLOAT)))"
        "(deffacts origin \"start\" (point (x 0) (y 0)) (goal find a path))");
  TFactSet* Set = C.Engine.GetFactSet(0);
  ASSERT_EQ(Set->GetCount(), 2);
  EXPECT_EQ(Set->GetFactSetName(), "origin");
  EXPECT_EQ(Set->GetFact(0)->ToString(), "(point (x 0.0000) (y 0.0000))");
  EXPECT_EQ(Set->GetFact(1)->ToString(), "(goal find a path )");
  EXPECT_TRUE(C.Engine.FindFactTemplate("goal")->IsOrdered());
  const IFact F = C.Engine.ParseFact("(point (y 2.5))");
  EXPECT_EQ(F->GetValue("x")->GetAsFloat(), 0.0);
  C.Engine.GetParser().SetStrictTemplates(true);
  EXPECT_NE(ErrorOf([&] { C.Engine.ParseFact("(unknown 1)"); }).find("Unknown fact template: unknown"),
            std::string::npos);
}

TEST(ParserFunctions, DeffunctionsGlobalsAndTypes) {
  TConsole C;
  EXPECT_EQ(C.Run("(deffunction f (?a $?b) \"collects\" (create$ ?a ?b))"
                  "(f 1 2 3)"),
            "1 2 3  \r\n");
  EXPECT_EQ(C.Engine.GetUserFunction("f")->GetComment(), "collects");
  EXPECT_EQ(C.Run("(deffunction fact (?n) (if (<= ?n 1) then 1 else (* ?n (fact (- ?n 1))))) (fact 10)"),
            "3628800\r\n");
  EXPECT_EQ(ErrorOf([&] { C.Engine.Parse("(f)", true); }), "Too few arguments for f");
  C.Run("(deffunction one (?a) ?a)");
  EXPECT_EQ(ErrorOf([&] { C.Engine.Parse("(one 1 2)", true); }), "Too many arguments for one");
  C.Run("(defglobal ?*limit* = 10 ?*call* = (+ 1 2))");
  EXPECT_EQ(C.Engine.GetGlobalVariables().Get("*limit*")->GetAsInteger(), 10);
  EXPECT_EQ(C.Engine.GetGlobalVariables().Get("*call*")->GetDType(), dtFunCall);
  EXPECT_EQ(C.Run("?*call*"), "3\r\n");  // the variable holds the call's result
  EXPECT_EQ(PrettyPrintGlobalVariables(C.Engine.GetGlobalVariables()), "(defglobal ?*limit* = 10 ?*call* = (+ 1 2))");
  EXPECT_EQ(PrettyPrintGlobalVariable("?*limit*", NewInteger(1)), "?*limit* = 1");
  C.Run("(deftype percent \"a share\" extends (type INTEGER FLOAT) (range 0 100) (units \"per cent\"))");
  const IIEDefinedType Type = C.Engine.FindDefinedType("percent");
  ASSERT_TRUE(Type);
  EXPECT_EQ(Type->GetMaxRange(), 100);
  EXPECT_EQ(Type->GetUnits(), "per cent");
  TConsole Other;
  const IIEDefinedType Again = Other.Engine.ParseDefinedType(Type->GetToString());
  EXPECT_TRUE(Again->Equals(Type.get())) << Type->GetToString();
}

TEST(ParserLimits, DeepNestingEndsInAnError) {
  TConsole C;
  std::string Deep;
  for (int I = 0; I < 200000; ++I) Deep += "(+ 1 ";
  const std::string Message = ParseErrorOf(C.Engine, Deep);
  EXPECT_NE(Message.find("Nesting too deep, stopped at ParseFunCall"), std::string::npos) << Message.substr(0, 200);
  std::string Negations;
  for (int I = 0; I < 200000; ++I) Negations += "(not ";
  EXPECT_NE(ParseErrorOf(C.Engine, "(defrule r " + Negations).find("Nesting too deep"), std::string::npos);
  // Moderate nesting still parses and runs.
  std::string Nested = "1";
  for (int I = 0; I < 500; ++I) Nested = "(+ 1 " + Nested + ")";
  EXPECT_EQ(C.Run(Nested), "501\r\n");
}

TEST(ParserCopies, ConstructsMoveBetweenEnginesThroughTheirText) {
  TConsole Here, There;
  Here.Run("(deftype size extends (type SYMBOL) (allowed-symbols small large))"
           "(deftemplate box (slot size (type size) (default small)) (slot label (default-dynamic (gensym*))))");
  There.Run("(deftype size extends (type SYMBOL) (allowed-symbols small large huge))");
  const IFactTemplate Source = Here.Engine.FindFactTemplate("box");
  IFactTemplate Copy = MakeRef<TFactTemplate>(&There.Engine);
  Copy->Assign(platform::ICloneable(Source));
  // The slot's type is the target engine's own type of that name.
  EXPECT_EQ(Copy->GetSlot("size")->GetExtendedTypeInfo(), There.Engine.FindDefinedType("size"));
  EXPECT_EQ(Copy->GetSlot("label")->GetSlotDefault()->GetAsFunCall()->GetReasoner(),
            static_cast<IReasoner*>(&There.Engine));

  // A fact copied into another engine takes (or makes) that engine's template.
  const IFact Fact = Here.Engine.ParseFact("(box (size large) (label x))");
  IFact Moved = MakeRef<TFact>(There.Engine.CreateFactTemplate("scratch"));
  Moved->Assign(*Fact);
  EXPECT_EQ(Moved->GetTemplate(), There.Engine.FindFactTemplate("box"));
  EXPECT_EQ(Moved->GetValue("size")->GetAsString(), "large");

  // Fact sets parse their lines for the engine they serve.
  TFactSet Set;
  Set.SetFacts({"(box (size large))", "(point 1 2)"});
  EXPECT_FALSE(Set.GetFact(0));  // no engine, no parsing
  Set.SetEngine(&There.Engine);
  EXPECT_EQ(Set.GetFact(1)->GetTemplate(), There.Engine.FindFactTemplate("point"));
  Set.SetFacts({"(box (size huge))"});
  EXPECT_EQ(Set.GetFact(0)->GetValue("size")->GetAsString(), "huge");
  EXPECT_NE(ErrorOf([&] { Set.SetFacts({"(box (size enormous))"}); }), "(no error)");
}

TEST(ParserFacts, LoadFactsAssertsEachFact) {
  TConsole C;
  C.Run("(deftemplate p (slot v (type INTEGER)))");
  EXPECT_TRUE(C.Engine.LoadFactsFromText("(p (v (+ 1 2))) (q a b)\n(p (v 3))"));
  ASSERT_EQ(C.Engine.GetFacts().Count(), 3);  // the initial fact, p and q: the second p is a duplicate
  EXPECT_EQ(C.Engine.GetFacts().Get(1)->GetValue("v")->GetAsInteger(), 3);
  EXPECT_NE(ParseErrorOf(C.Engine, "(p (v x))"), "(no error)");
}

TEST(TextEntryPoints, RulePartsSlotsAndGlobalsReadAsThePrinterWritesThem) {
  TConsole C;
  C.Run("(deftemplate p (slot a) (multislot b))"
        "(defrule r \"parts\" ?f <- (p (a ?x&~1) (b $?y)) (not (q ?x)) => (printout t ?x crlf) (retract ?f))");
  const TRule* Rule = C.Engine.GetRules().GetItem("r");
  ASSERT_TRUE(Rule);
  const std::string Patterns = C.Engine.PrettyPrint(*Rule, rcPattern);
  const std::string Actions = C.Engine.PrettyPrint(*Rule, rcAction);
  EXPECT_EQ(Patterns, "    ?f <- (p (a ?x&~1) (b $?y) )\r\n    (not (q ?x))");
  EXPECT_EQ(Actions, "    (printout t ?x crlf)\r\n    (retract ?f)\r\n");
  // The parts of the defrule, in order, are the two parts.
  EXPECT_NE(Rule->GetToString().find(Patterns + "\r\n    =>\r\n" + Actions + ")"), std::string::npos);

  // A rule built from its parts prints as the rule it came from.
  TRule* Copy = new TRule(&C.Engine);
  Copy->BeginUpdate();
  Copy->SetRuleName("copy");
  Copy->SetComment("parts");
  C.Engine.ParseRulePatterns(*Copy, Patterns);
  C.Engine.ParseRuleActions(*Copy, Actions);
  Copy->EndUpdate();
  C.Engine.GetRules().Add(Copy);
  std::string Expected = Rule->GetToString();
  Expected.replace(Expected.find("r\r\n"), 1, "copy");
  EXPECT_EQ(Copy->GetToString(), Expected);

  // One slot of a fact, and one global.
  const IFactTemplate P = C.Engine.FindFactTemplate("p");
  const auto [Slot, Value] = C.Engine.ParseFactSlot(*P, "(b 1 2.5 x)");
  EXPECT_EQ(Slot, "b");
  EXPECT_EQ(Value->GetAsList()->GetValueCount(), 3);
  EXPECT_EQ(C.Engine.PrettyPrint(*P, "b", "1 2.5000 x "), "(b 1 2.5000 x )");
  const auto [Name, Global] = C.Engine.ParseVariable(C.Engine.PrettyPrint("*limit*", NewFloat(2.5)));
  EXPECT_EQ(Name, "*limit*");
  EXPECT_EQ(Global->GetAsFloat(), 2.5);
  EXPECT_EQ(C.Engine.ParseVariable("*n* = (+ 1 2)").second->GetDType(), dtFunCall);
  EXPECT_NE(ErrorOf([&] { C.Engine.ParseVariable("?*n* 3"); }).find("Expected \"=\""), std::string::npos);
  EXPECT_EQ(C.Run("(+ 1 2)"), "3\r\n");  // the parser reads its own input again
}
