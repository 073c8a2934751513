#include <gtest/gtest.h>

#include "core/engine/InferenceEngine.h"
#include "core/language/IEClipsParser.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "core/network/IEContext.h"
#include "core/network/IERule.h"

using namespace rulecore;

TEST(ExpertSystemText, DumpReadsBackIntoAnotherEngine) {
  TInferenceEngine Source;
  Source.Parse("(defglobal ?*limit* = 10)"
               "(deftype size extends (type SYMBOL) (allowed-symbols s m l))"
               "(deftemplate base (slot id (type INTEGER)) (slot size (type size) (default m)))"
               "(deftemplate child extends base (slot extra))"
               "(deffunction twice (?x) (* 2 ?x))"
               "(defrule zeta (base (id ?i)) => (printout t (twice ?i) crlf))"
               "(defrule Alpha (declare (salience 5)) (child (extra ?e)) => )"
               "(deffacts start (base (id 1)) (child (id 2) (extra x)))",
               false);
  Source.SetFactDuplication(true);
  Source.Reset();
  const std::string Text = Source.GetExpertSystem();
  EXPECT_EQ(Text.rfind("; *************************\r\n; Inference Engine v2.0000 Output\r\n; Created: ", 0), 0u);
  EXPECT_NE(Text.find("; Number of Rules:            2\r\n"), std::string::npos);
  EXPECT_NE(Text.find("; Number of Facts:            3\r\n"), std::string::npos);
  EXPECT_NE(Text.find("(set-fact-duplication FALSE)\r\n"), std::string::npos);
  EXPECT_LT(Text.find("(deftemplate base"), Text.find("(deftemplate child"));
  EXPECT_LT(Text.find("(defrule Alpha"), Text.find("(defrule zeta"));  // sorted without regard to case
  EXPECT_NE(Text.find("; Deffunctions \r\n\r\n(deffunction twice (?x)"), std::string::npos);
  EXPECT_NE(Text.find("(assert\r\n    (Initial-Fact)\r\n"), std::string::npos);

  TInferenceEngine Copy;
  Copy.SetExpertSystem(Text);
  EXPECT_TRUE(Copy.GetFactDuplication());
  EXPECT_EQ(Copy.GetRules().ToString(), Source.GetRules().ToString());
  EXPECT_EQ(Copy.GetFactTemplates().ToString(), Source.GetFactTemplates().ToString());
  EXPECT_EQ(Copy.GetDefinedTypes().ToString(), Source.GetDefinedTypes().ToString());
  EXPECT_EQ(Copy.GetFacts().Count(), 3);  // reset: the initial fact and the deffacts
  EXPECT_EQ(Copy.GetGlobalVariables().Get("*limit*")->GetAsInteger(), 10);
  std::string Output;
  Copy.OnPrintOut = [&](TInferenceEngine*, const std::string&, const std::string& T) { Output += T; };
  Copy.Run();
  EXPECT_NE(Output.find("2\r\n"), std::string::npos);  // the deffunction came along
}

TEST(ExpertSystemText, AssignCopiesAWholeEngine) {
  TInferenceEngine Source;
  Source.SetStrategy(ssBreadthFirst);
  Source.SetWatch({cwRule});
  Source.Parse("(deftemplate job (slot n (type INTEGER)))"
               "(defrule count (job (n ?n)) => (bind ?*done* (+ ?*done* ?n)))"
               "(defglobal ?*done* = 0)",
               false);
  Source.Assert("(job (n 4))");
  TInferenceEngine Copy;
  Copy.Assign(Source);
  EXPECT_EQ(Copy.GetStrategy(), ssBreadthFirst);
  EXPECT_EQ(Copy.GetWatch(), TConstructWatches{cwRule});
  EXPECT_EQ(Copy.GetFacts().Count(), 2);
  EXPECT_EQ(Copy.GetRules().ToString(), Source.GetRules().ToString());
  EXPECT_EQ(Copy.GetAgendaCount(), 1);  // the copied facts match the copied rule
  Copy.SetWatch({});
  Copy.Run();
  EXPECT_EQ(Copy.GetContext()->GetVariable("*done*")->GetAsInteger(), 4);
  EXPECT_EQ(Source.GetContext()->GetVariable("*done*")->GetAsInteger(), 0);
}

TEST(EngineText, ValuesOfAGivenKind) {
  TInferenceEngine Engine;
  EXPECT_EQ(Engine.Parse("\"\"abc\"\"", dtString)->GetAsString(), "abc");
  EXPECT_EQ(Engine.Parse("42", dtFactId)->GetDType(), dtFactId);
  EXPECT_EQ(Engine.Parse("2.5", dtFloat)->GetAsFloat(), 2.5);
  EXPECT_EQ(Engine.Parse("(+ 1 2)", dtFunCall)->GetDType(), dtFunCall);
  EXPECT_EQ(Engine.Parse("a b", dtList)->GetAsList()->GetValueCount(), 2);
  EXPECT_EQ(Engine.Parse("", dtList), FCNilList);
  try {
    Engine.Parse("x", dtObject);
    FAIL();
  } catch (const EIEException& E) {
    EXPECT_STREQ(E.what(), "Unable to parse strings of dtObject at this time");
  }
  try {
    Engine.Parse("x", static_cast<TIEType>(20));
    FAIL();
  } catch (const EIEException& E) {
    EXPECT_STREQ(E.what(), "Unable to parse strings of Unknown Type (20) at this time");
  }
}

namespace {

class TCountingParser final : public rulecore::TIEClipsParser {
  PLATFORM_CLASS(TCountingParser, rulecore::TIEClipsParser)
 public:
  explicit TCountingParser(platform::TComponent* Owner) : TIEClipsParser(Owner) {}
  rulecore::IFunCall ParseFunCall() override {
    ++Calls;
    return TIEClipsParser::ParseFunCall();
  }
  static inline int Calls = 0;
};

}  // namespace

TEST(EngineParser, AnotherParserClassServesTheEntryPoints) {
  TInferenceEngine Engine;
  Engine.SetParserMaxErrors(3);
  Engine.SetParserErrorHandling(ehRaiseAllAtEnd);
  Engine.SetParserType(&TCountingParser::StaticClass());
  EXPECT_EQ(Engine.GetParser().GetMaxErrors(), 3);
  EXPECT_EQ(Engine.GetParser().GetErrorHandling(), ehRaiseAllAtEnd);
  std::string Output;
  Engine.OnPrintOut = [&](TInferenceEngine*, const std::string&, const std::string& T) { Output += T; };
  Engine.Parse("(+ 1 2)", true);
  EXPECT_EQ(Output, "3\r\n");
  EXPECT_EQ(TCountingParser::Calls, 1);
  EXPECT_THROW(Engine.SetParserType(&TIEValue::StaticClass()), EIEException);
  EXPECT_EQ(Engine.GetParserType(), &TCountingParser::StaticClass());
}

TEST(EngineFactSets, ASetOfTheSameNameReplacesTheEarlierOne) {
  TInferenceEngine Engine;
  Engine.Parse("(deffacts start (a 1)) (deffacts other (b 1)) (deffacts start (a 2))", false);
  ASSERT_EQ(Engine.GetFactSetCount(), 2);
  Engine.Reset();
  EXPECT_EQ(Engine.GetFacts().Count(), 3);  // the initial fact, (b 1) and (a 2)
  EXPECT_EQ(Engine.GetFacts().Get(2)->ToString(), "(a 2 )");
}

TEST(ExpertSystemText, ManyGlobalsAndDeffunctionsStayFoundAndClearOut) {
  // Thousands of globals and deffunctions are a matter of a program's size, not of the time
  // each read or the clearing takes; found by name, they must still be the right ones.
  TInferenceEngine Engine;
  const int BuiltIns = Engine.GetUserFunctions().Count();
  std::string Text;
  for (int I = 0; I < 300; ++I) {
    Text += "(defglobal ?*g" + std::to_string(I) + "* = " + std::to_string(I) + ")";
    Text += "(deffunction f" + std::to_string(I) + " (?x) (+ ?x ?*g" + std::to_string(I) + "*))";
  }
  // A deffunction with many locals of its own, rebinding one of them.
  Text += "(deffunction locals () ";
  for (int I = 0; I < 40; ++I) Text += "(bind ?v" + std::to_string(I) + " " + std::to_string(I * 2) + ")";
  Text += "(bind ?v7 (+ ?v7 ?v39)) (+ ?v7 ?v38))";
  Engine.Parse(Text, false);
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(f217 1000)")->GetAsInteger(), 1217);
  Engine.ParseNExecuteFunCall("(bind ?*g217* 5)");
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(f217 1000)")->GetAsInteger(), 1005);
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(+ ?*g0* ?*g299*)")->GetAsInteger(), 299);
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(locals)")->GetAsInteger(), 14 + 78 + 76);
  EXPECT_EQ(Engine.GetUserFunctions().GetInterpretedCount(), 301);
  Engine.Clear();
  EXPECT_EQ(Engine.GetUserFunctions().GetInterpretedCount(), 0);
  EXPECT_EQ(Engine.GetUserFunctions().Count(), BuiltIns);
  EXPECT_FALSE(Engine.GetUserFunctions().ContainsKey("f3"));
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(+ 1 2)")->GetAsInteger(), 3);
  // Defined again after the clear, a name leads to the new definition.
  Engine.Parse("(defglobal ?*g5* = 50) (deffunction f5 (?x) (* ?x ?*g5*))", false);
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(f5 2)")->GetAsInteger(), 100);
}
