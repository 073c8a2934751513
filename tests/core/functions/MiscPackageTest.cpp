// The miscellaneous package through the rule language: listings and pretty-printing on a small
// knowledge base, undefining each kind of construct, the engine switches, "guard" and "parse",
// the dialogs through a host service and through the console fallback, and the date-time
// layer against an independent calendar.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ctime>
#include <deque>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/core/ErrorText.h"
#include "tests/core/TestConsole.h"

#include "core/engine/HostDialogs.h"
#include "core/engine/InferenceEngine.h"
#include "core/functions/MiscPackage.h"
#include "core/functions/StandardPackage.h"
#include "core/network/IERule.h"
#include "core/values/DateTime.h"
#include "platform/Exceptions.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using rulecore::testing::TConsole;

namespace {

class MiscTest : public ::testing::Test {
 protected:
  std::string Run(const std::string& Text) { return C.Run(Text); }
  // The printed form of one call's result.
  std::string Eval(const std::string& Text) {
    const IIEValue V = C.Engine.ParseNExecuteFunCall(Text);
    return V ? V->ToString() : "(none)";
  }
  double Number(const std::string& Text) { return C.Engine.ParseNExecuteFunCall(Text)->GetAsNumeric(); }
  std::string Error(const std::string& Text) {
    return ErrorOf([&] { C.Engine.Parse(Text, true); });
  }
  std::vector<std::string> TemplateNames() {
    std::vector<std::string> Names;
    for (const auto& Entry : C.Engine.GetFactTemplates()) Names.push_back(Entry.first);
    return Names;
  }

  TConsole C;
};

using MiscPackage = MiscTest;
using MiscDialogs = MiscTest;
using MiscDates = MiscTest;

constexpr const char* KnowledgeBase =
    "(deftype size extends (type SYMBOL) (allowed-symbols s m l))"
    "(deftemplate shirt (slot size (type size) (default m)) (slot colour))"
    "(deftemplate note (slot text))"
    "(deffacts stock (shirt (size s) (colour red)) (shirt (size l) (colour blue)))"
    "(deffacts notes (note (text \"hello\")))"
    "(deffunction twice (?x) (* 2 ?x))"
    "(defrule large-shirt \"big ones\" (shirt (size l) (colour ?c)) => (printout t \"large \" ?c crlf))"
    "(defrule Any-note (note (text ?t)) => (printout t ?t crlf))";

// Days from 0000-03-01 of the proleptic Gregorian calendar, after Howard Hinnant's
// days_from_civil: an independent reference for the engine's chrono-based calendar.
int64_t DaysFromCivil(int64_t Y, int64_t M, int64_t D) {
  Y -= M <= 2;
  const int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
  const int64_t YearOfEra = Y - Era * 400;
  const int64_t DayOfYear = (153 * (M > 2 ? M - 3 : M + 9) + 2) / 5 + D - 1;
  const int64_t DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
  return Era * 146097 + DayOfEra - 719468;
}

int64_t Serial(int64_t Y, int64_t M, int64_t D) { return DaysFromCivil(Y, M, D) - DaysFromCivil(1899, 12, 30); }

int32_t DaysInMonth(int32_t Y, int32_t M) {
  static const int32_t Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool Leap = (Y % 4 == 0 && Y % 100 != 0) || Y % 400 == 0;
  return M == 2 && Leap ? 29 : Days[M - 1];
}

// Installs date formats for one test and puts the previous ones back.
struct TFormatsOverride {
  explicit TFormatsOverride(const TDateTimeFormats& Formats) : Saved(GetDateTimeFormats()) {
    SetDateTimeFormats(Formats);
  }
  ~TFormatsOverride() { SetDateTimeFormats(Saved); }
  TDateTimeFormats Saved;
};

}  // namespace

// =============================================================================================
// Registration
// =============================================================================================

TEST_F(MiscPackage, RegistersItsFunctionsInOrderAfterTheStandardPackage) {
  TInferenceEngine& E = C.Engine;
  TMiscPackage* Misc = nullptr;
  for (int I = 0; I < E.GetComponentCount() && !Misc; ++I) {
    Misc = dynamic_cast<TMiscPackage*>(E.GetComponent(I));
    if (Misc) {
      ASSERT_GT(I, 0);
      EXPECT_TRUE(dynamic_cast<TStandardPackage*>(E.GetComponent(I - 1)));
    }
  }
  ASSERT_TRUE(Misc);
  std::string Names, Arities;
  for (int I = 0; I < Misc->GetFunctions().Count(); ++I) {
    const IUserFunction& F = Misc->GetFunctions().Item(I);
    Names += F->GetFunctionName() + " ";
    const int32_t Max = F->GetMaxArgumentCount();
    Arities += std::to_string(F->GetMinArgumentCount()) + ".." +
               (Max == TIEUserFunction::NoLimit ? std::string("*") : std::to_string(Max)) + " ";
    EXPECT_FALSE(F->GetComment().empty()) << F->GetFunctionName();
    EXPECT_EQ(E.GetUserFunction(F->GetFunctionName()), F);
  }
  EXPECT_EQ(Names,
            "undeftype undefrule undeffacts undeffunction undeftemplate ppdefrule ppdeftemplate ppdeftype "
            "ppdeffunction ppdeffacts rules facts agenda list-defrules list-deftemplates list-deffacts list-deftypes "
            "list-deffunctions setgen set-reset-globals get-static-constraint-checking "
            "get-dynamic-constraint-checking set-static-constraint-checking set-dynamic-constraint-checking "
            "show-message message-dlg input-query input-box parse guard time system-datetime system-date "
            "system-time str-datetime str-date str-time datetime-str date-str time-str datetime-str-format "
            "encode-date encode-time decode-year decode-month decode-day decode-hour decode-minute decode-second "
            "decode-millisecond ");
  EXPECT_EQ(Arities,
            "1..1 1..1 1..1 1..1 1..1 1..1 1..1 1..1 1..1 1..1 0..1 0..3 0..0 0..0 0..0 0..0 0..0 0..1 1..1 0..1 "
            "0..0 0..0 1..1 1..1 1..1 2..4 0..3 0..3 1..1 1..* 0..0 0..0 0..0 0..0 1..1 1..1 1..1 1..1 1..1 1..1 "
            "1..2 1..3 1..4 1..1 1..1 1..1 1..1 1..1 1..1 1..1 ");
  EXPECT_EQ(E.GetUserFunction("undeftype")->GetArgumentString(), "<defined-type-name-expression>");
  EXPECT_EQ(E.GetUserFunction("str-date")->GetArgumentString(), " <string-expression> ");
  EXPECT_EQ(E.GetUserFunction("agenda")->GetArgumentString(), "");
  EXPECT_EQ(E.GetUserFunction("message-dlg")->GetArgumentString(),
            " <string-expression> mtWarning|mtError|mtInformation|mtConfirmation|mtCustom <string-set-expression> "
            "[<integer-expression>]");
  EXPECT_EQ(Error("(undefrule)"), "Too few arguments for undefrule");
  EXPECT_EQ(Error("(agenda 1)"), "Too many arguments for agenda");
}

// =============================================================================================
// Listings and pretty-printing
// =============================================================================================

TEST_F(MiscPackage, ListingsOfASmallKnowledgeBase) {
  Run(KnowledgeBase);
  Run("(reset)");
  EXPECT_EQ(Run("(facts)"),
            "f-0 (Initial-Fact)\r\nf-1 (shirt (colour red) (size s))\r\nf-2 (shirt (colour blue) (size l))\r\n"
            "f-3 (note (text \"hello\"))\r\nFor a total of 4 facts.\r\nTRUE\r\n");
  EXPECT_EQ(Run("(agenda)"), "0 Any-note : f-3 (1.0000)\r\n0 large-shirt : f-2 (1.0000)\r\nfor a total of 2 activations.\r\n");
  const std::string AnyNote = "(defrule Any-note\r\n    (note (text ?t) )\r\n    =>\r\n    (printout t ?t crlf)\r\n)\r\n";
  const std::string Large =
      "(defrule large-shirt\r\n    \"big ones\"\r\n    (shirt (colour ?c) (size l) )\r\n    =>\r\n"
      "    (printout t \"large \" ?c crlf)\r\n)\r\n";
  EXPECT_EQ(Run("(rules)"), AnyNote + Large + "For a total of 2 rules.\r\nTRUE\r\n");
  EXPECT_EQ(Run("(list-defrules)"), "Any-note\r\nlarge-shirt\r\nfor a total of 2 rules.\r\n");
  EXPECT_EQ(Run("(list-deftemplates)"),
            "Initial-Fact\r\nnote\r\nshirt\r\n__NOT-OR-TEST-CE*\r\nfor a total of 4 deftemplates.\r\n");
  EXPECT_EQ(Run("(list-deffacts)"), "notes\r\nstock\r\nfor a total of 2 deffacts.\r\n");
  EXPECT_EQ(Run("(list-deftypes)"), "size\r\nfor a total of 1 deftypes.\r\n");
  EXPECT_EQ(Run("(list-deffunctions)"), "twice\r\nfor a total of 1 deffunctions.\r\n");
  const std::string All = Run("(list-deffunctions TRUE)");
  EXPECT_NE(All.find("\r\ntwice\r\n"), std::string::npos);
  EXPECT_NE(All.find("for a total of " + std::to_string(C.Engine.GetUserFunctions().Count()) + " deffunctions."),
            std::string::npos);

  EXPECT_EQ(Run("(ppdefrule large-shirt)"), Large);
  EXPECT_EQ(Run("(ppdeftemplate shirt)"),
            "(deftemplate shirt\r\n    (slot colour )\r\n    (slot size (type size)        (default m) )\r\n)\r\n");
  EXPECT_EQ(Run("(ppdeftype size)"), "(deftype size extends (type ATOM)\r\n    (allowed-symbols s m l )\r\n)\r\n");
  EXPECT_EQ(Run("(ppdeffacts stock)"),
            "(deffacts stock\r\n    (shirt (colour red) (size s))\r\n    (shirt (colour blue) (size l))\r\n)\r\n");
  EXPECT_EQ(Run("(ppdeffunction twice)"), "(deffunction twice (?x)\r\n    (* 2 ?x)\r\n)\r\n");
  EXPECT_EQ(Run("(ppdeffunction +)"),
            ";; + function\r\n;;     Returns a value that is the sum of all the arguments\r\n"
            ";;          syntax: (+ <numeric-expression>+)\r\n");
  EXPECT_EQ(Error("(ppdefrule nosuch)"), "Unknown rule name: nosuch");
  EXPECT_EQ(Error("(ppdeffacts nosuch)"), "Unknown fact set name: nosuch");
  EXPECT_EQ(Error("(ppdeftype nosuch)"), "Unknown defined type name: nosuch");
}

TEST_F(MiscPackage, FactsSelectsByIdRangeAndLimit) {
  Run("(reset)");
  for (int I = 1; I <= 11; ++I) Run("(assert (n " + std::to_string(I) + "))");
  // Start and end are inclusive; max counts the facts taken in fact-list order.  Ids are
  // written as wide as the largest, so the lines sort as text in the order of the ids.
  EXPECT_EQ(Run("(facts 3 5 1)"), "f-03 (n 3 )\r\nFor a total of 1 facts.\r\nTRUE\r\n");
  EXPECT_EQ(Run("(facts 3 5)"), "f-03 (n 3 )\r\nf-04 (n 4 )\r\nf-05 (n 5 )\r\nFor a total of 3 facts.\r\nTRUE\r\n");
  EXPECT_EQ(Run("(facts 9)"), "f-09 (n 9 )\r\nf-10 (n 10 )\r\nf-11 (n 11 )\r\nFor a total of 3 facts.\r\nTRUE\r\n");
  EXPECT_EQ(Run("(facts 5 3)"), "For a total of 0 facts.\r\nTRUE\r\n");
  EXPECT_EQ(Run("(facts 0 100 -1)"), "For a total of 0 facts.\r\nTRUE\r\n");
  EXPECT_EQ(Run("(facts 0 100 0)"), "For a total of 0 facts.\r\nTRUE\r\n");
  // Without any fact at all the listing is only the total.
  Run("(clear)");
  EXPECT_EQ(Run("(facts)"), "For a total of 0 facts.\r\nTRUE\r\n");
  EXPECT_EQ(Error("(facts a)"), Error("(integer a)"));
}

TEST_F(MiscPackage, RulesPrintsToTheLogicalName) {
  std::vector<std::string> Names;
  C.Engine.OnPrintOut = [&](TInferenceEngine*, const std::string& OutID, const std::string& Text) {
    Names.push_back(OutID + ": " + Text.substr(0, Text.find('\r')));
  };
  Run("(defrule r =>) (rules out) (list-defrules)");
  EXPECT_EQ(Names, (std::vector<std::string>{"out: (defrule r", ": TRUE", ": r"}));
  // A name that goes nowhere is the output routing's error.
  C.Engine.OnPrintOut = nullptr;
  EXPECT_EQ(Error("(rules nowhere)"), "Function is unimplemented or unassigned: printout");
}

// =============================================================================================
// Undefining
// =============================================================================================

TEST_F(MiscPackage, UndefineRemovesTheConstructAndWhatDependsOnIt) {
  TInferenceEngine& E = C.Engine;
  Run(KnowledgeBase);
  Run("(defrule uses-both (shirt (colour ?c)) (note (text ?c)) =>)");
  Run("(reset)");
  const std::string Agenda = Run("(agenda)");
  const std::string Facts = Run("(facts)");
  for (const char* Call : {"(undefrule nosuchrule)", "(undeftemplate nosuch)", "(undeftype nosuch)",
                           "(undeffacts nosuch)", "(undeffunction nosuch)"})
    EXPECT_EQ(Eval(Call), "FALSE") << Call;
  EXPECT_EQ(Run("(agenda)"), Agenda);
  EXPECT_EQ(Run("(facts)"), Facts);
  EXPECT_EQ(E.GetRules().Count(), 3);

  // A rule takes its activations with it.
  EXPECT_EQ(Eval("(undefrule large-shirt)"), "TRUE");
  EXPECT_EQ(Eval("(undefrule large-shirt)"), "FALSE");
  EXPECT_EQ(Run("(agenda)"), "0 Any-note : f-3 (1.0000)\r\nfor a total of 1 activations.\r\n");

  // A template takes its facts and every rule with a pattern on it.
  EXPECT_EQ(Eval("(undeftemplate note)"), "TRUE");
  EXPECT_EQ(Run("(list-defrules)"), "for a total of 0 rules.\r\n");
  EXPECT_EQ(Run("(facts)"),
            "f-0 (Initial-Fact)\r\nf-1 (shirt (colour red) (size s))\r\nf-2 (shirt (colour blue) (size l))\r\n"
            "For a total of 3 facts.\r\nTRUE\r\n");

  // A type takes every template with a slot of it, and their facts.
  Run("(defrule shirts (shirt) =>)");
  EXPECT_EQ(Eval("(undeftype size)"), "TRUE");
  EXPECT_FALSE(E.FindFactTemplate("shirt"));
  EXPECT_EQ(E.GetRules().Count(), 0);
  EXPECT_EQ(Run("(facts)"), "f-0 (Initial-Fact)\r\nFor a total of 1 facts.\r\nTRUE\r\n");

  // A fact set no longer asserts on reset; what it asserted stays until then.
  Run("(deffacts extra (x 1))");
  Run("(reset)");
  EXPECT_EQ(Eval("(undeffacts extra)"), "TRUE");
  EXPECT_EQ(Eval("(undeffacts extra)"), "FALSE");
  EXPECT_NE(Run("(facts)").find("(x 1 )"), std::string::npos);
  Run("(reset)");
  EXPECT_EQ(Run("(facts)").find("(x 1 )"), std::string::npos);

  EXPECT_EQ(Eval("(undeffunction twice)"), "TRUE");
  EXPECT_EQ(Error("(twice 2)"), "Function is unimplemented or unassigned: twice");

  // The engine's own templates stay: without them there is no initial fact.
  EXPECT_EQ(Eval("(undeftemplate Initial-Fact)"), "FALSE");
  EXPECT_EQ(Eval("(undeftemplate __NOT-OR-TEST-CE*)"), "FALSE");
  EXPECT_EQ(Run("(facts)"), "f-0 (Initial-Fact)\r\nFor a total of 1 facts.\r\nTRUE\r\n");
}

TEST_F(MiscPackage, UndefineFromInsideTheWorkItRemoves) {
  // The firing rule removing itself, or its template; a function removing itself; a pattern's
  // function removing the fact set that reset is asserting.  Each finishes what it was doing.
  Run("(defrule self (p ?x) => (undefrule self) (printout t \"after \" ?x crlf))");
  Run("(reset) (assert (p 1) (p 2))");
  EXPECT_EQ(C.Fire(), "after 2\r\n");
  EXPECT_EQ(C.Engine.GetAgendaCount(), 0);
  Run("(defrule tmpl (p ?x) => (undeftemplate p) (printout t \"gone \" ?x crlf))");
  Run("(reset) (assert (p 1) (p 2))");
  EXPECT_EQ(C.Fire(), "gone 2\r\n");
  EXPECT_EQ(Run("(facts)"), "f-0 (Initial-Fact)\r\nFor a total of 1 facts.\r\nTRUE\r\n");
  Run("(deffunction once () (undeffunction once) 5)");
  EXPECT_EQ(Eval("(once)"), "5");
  Run("(deffacts late (q 1) (q 2))");
  Run("(deffunction drop (?x) (undeffacts late) TRUE)");
  Run("(defrule watcher (q ?y&:(drop ?y)) =>)");
  Run("(reset)");
  EXPECT_EQ(Run("(list-deffacts)"), "for a total of 0 deffacts.\r\n");
  // A rule, template or type would take with it network nodes the match stands on: refused.
  Run("(deffunction drop-rule (?x) (undefrule judge) TRUE)");
  Run("(defrule judge (r ?y&:(drop-rule ?y)) =>)");
  EXPECT_NE(Error("(assert (r 1))")
                .find("undefrule error: constructs cannot be removed by a pattern or test while facts are being matched"),
            std::string::npos);
  EXPECT_TRUE(C.Engine.GetRules().GetItem("judge"));
}

// =============================================================================================
// Switches
// =============================================================================================

TEST_F(MiscPackage, SwitchesReadAndSetTheEngine) {
  TInferenceEngine& E = C.Engine;
  EXPECT_EQ(Eval("(setgen 100)"), "100");
  EXPECT_EQ(Eval("(gensym*)"), "gen100");
  // The index never goes back.
  EXPECT_EQ(Eval("(setgen 5)"), "102");

  EXPECT_EQ(Eval("(set-reset-globals)"), "TRUE");
  EXPECT_EQ(Eval("(set-reset-globals FALSE)"), "FALSE");
  EXPECT_FALSE(E.GetResetGlobals());
  Run("(defglobal ?*g* = 1) (bind ?*g* 2) (reset)");
  EXPECT_EQ(Eval("(+ 0 ?*g*)"), "2");
  EXPECT_EQ(Eval("(set-reset-globals TRUE)"), "TRUE");
  Run("(reset)");
  EXPECT_EQ(Eval("(+ 0 ?*g*)"), "1");
  EXPECT_EQ(Eval("(set-reset-globals yes)"), "yes");  // anything but TRUE turns it off
  EXPECT_FALSE(E.GetResetGlobals());

  EXPECT_EQ(Eval("(get-static-constraint-checking)"), "TRUE");
  EXPECT_EQ(Eval("(get-dynamic-constraint-checking)"), "FALSE");
  EXPECT_EQ(Eval("(set-dynamic-constraint-checking TRUE)"), "FALSE");
  EXPECT_EQ(Eval("(set-static-constraint-checking FALSE)"), "TRUE");
  EXPECT_EQ(E.GetTypeChecks(), TTypeChecks{tcDynamic});
  EXPECT_EQ(Eval("(get-dynamic-constraint-checking)"), "TRUE");
  EXPECT_EQ(Eval("(set-dynamic-constraint-checking 1)"), "TRUE");
  EXPECT_EQ(E.GetTypeChecks(), TTypeChecks{});
}

// =============================================================================================
// guard and parse
// =============================================================================================

TEST_F(MiscPackage, GuardKeepsTheFiringRuleFromActivatingItself) {
  Run("(defrule step (n ?x) (test (< ?x 3)) => (printout t \"step \" ?x crlf) (guard (assert (n (+ ?x 1)))))");
  Run("(defrule seen (n ?x) => (printout t \"seen \" ?x crlf))");
  Run("(reset) (assert (n 0) (n 1))");
  // (n 2) made by the guarded step of 1 does not schedule step, but does schedule seen; the
  // activation of step for (n 0), waiting before the guard ran, still fires.
  EXPECT_EQ(C.Fire(), "seen 1\r\nstep 1\r\nseen 2\r\nseen 0\r\nstep 0\r\n");
  EXPECT_EQ(C.Engine.GetAgendaCount(), 0);
  // Unguarded, the same rule runs on to 3.
  Run("(defrule free (m ?x) (test (< ?x 3)) => (assert (m (+ ?x 1))))");
  Run("(reset) (assert (m 0))");
  EXPECT_EQ(C.Engine.Run(), 3);
  // Outside a rule it only evaluates, answering the last value.
  EXPECT_EQ(Eval("(guard (+ 1 2) (* 2 3))"), "6");
}

TEST_F(MiscPackage, GuardWithdrawsAlsoWhenAnArgumentFails) {
  TInferenceEngine& E = C.Engine;
  Run("(defrule fail (go ?x) => (guard (assert (go (+ ?x 1))) (no-such-function)))");
  Run("(reset) (assert (go 1))");
  EXPECT_EQ(ErrorOf([&] { E.Run(); }), "Function is unimplemented or unassigned: no-such-function (while firing rule fail)");
  EXPECT_EQ(Run("(agenda)"), "for a total of 0 activations.\r\n");
  TRule* Rule = E.GetRules().GetItem("fail");
  ASSERT_TRUE(Rule);
  EXPECT_TRUE(Rule->GetEnabled());
  // The rule still takes new matches once the guard is over.
  Run("(assert (go 10))");
  EXPECT_EQ(E.GetAgendaCount(), 1);
  // A guard whose arguments remove the rule itself, and one after an action that did.
  Run("(defrule gone (k) => (guard (undefrule gone) (assert (k2))))");
  Run("(defrule earlier (k3) => (undefrule earlier) (guard (assert (k4))))");
  Run("(assert (k) (k3))");
  EXPECT_NO_THROW(E.Run(2));
  EXPECT_FALSE(E.GetRules().GetItem("gone"));
  EXPECT_FALSE(E.GetRules().GetItem("earlier"));
  EXPECT_NE(Run("(facts)").find("(k4)"), std::string::npos);
}

TEST_F(MiscPackage, ParseAnswersFalseAndLeavesNothingHalfMade) {
  TInferenceEngine& E = C.Engine;
  Run("(deftemplate ok (slot a))");
  const std::vector<std::string> Templates = TemplateNames();
  for (const char* Text :
       {"(deftemplate", "(deftemplate t2 (slot a) (bogus b))", "(defrule half (a ?x) => (printout t ?x) (oops",
        "(defrule implied (newrel ?x) => (foo", "(defrule r10 (ok (a ?x)) (ok (zz 1)) =>)",
        "(deftemplate t3 (slot a (type INTEGER) (default abc)))", "(deffunction ff (?a) (+ ?a 1)",
        "(deffacts fs (a 1) (b", "(defglobal ?*g* = )", "(no-such-function)"}) {
    std::string Quoted;
    for (char Ch : std::string(Text)) Quoted += Ch == '"' ? std::string("\\\"") : std::string(1, Ch);
    EXPECT_EQ(Eval("(parse \"" + Quoted + "\")"), "FALSE") << Text;
  }
  EXPECT_EQ(TemplateNames(), Templates);
  EXPECT_EQ(E.GetRules().Count(), 0);
  EXPECT_EQ(E.GetFactSetCount(), 0);
  EXPECT_EQ(E.GetUserFunctions().GetInterpretedCount(), 0);
  EXPECT_EQ(E.GetGlobalVariables().Count(), 0);

  // Text that reads runs, results echoing as at the console.
  EXPECT_EQ(Run("(parse \"(deftemplate t4 (slot b)) (assert (t4 (b 1))) (+ 1 2)\")"), "<Fact-1>\r\n3\r\nTRUE\r\n");
  EXPECT_TRUE(E.FindFactTemplate("t4"));
  // The silent abort is no error of the text: it passes.
  EXPECT_THROW(Eval("(parse \"(exit)\")"), platform::EAbort);
  // From a pattern during a match nothing is parsed: the rule would be compiled into the
  // network under the match.
  Run("(deffunction make (?x) (parse \"(defrule made (t4 (b ?)) =>)\"))");
  Run("(defrule maker (t4 (b ?y&:(make ?y))) =>)");
  Run("(assert (t4 (b 2)))");
  EXPECT_FALSE(E.GetRules().GetItem("made"));
  EXPECT_EQ(E.GetAgendaCount(), 0);
}

// =============================================================================================
// Dialogs
// =============================================================================================

namespace {

struct TScriptedDialogs final : IHostDialogs {
  std::vector<std::string> Log;
  TModalResult Answer = mrOk;
  bool Accept = true;
  std::string Entered;

  void ShowMessage(const std::string& Text) override { Log.push_back("message " + Text); }
  TModalResult MessageDialog(const std::string& Text, TMsgDlgType Kind, TMsgDlgButtons Buttons,
                             int32_t HelpContext) override {
    Log.push_back(Text + " " + platform::EnumName(Kind) + " " + std::to_string(Buttons.Mask()) + " " +
                  std::to_string(HelpContext));
    return Answer;
  }
  bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) override {
    Log.push_back(Caption + "|" + Prompt + "|" + Value);
    if (Accept) Value = Entered;
    return Accept;
  }
};

}  // namespace

TEST_F(MiscDialogs, GoThroughTheHostService) {
  TScriptedDialogs Host;
  C.Engine.SetDialogs(&Host);
  EXPECT_EQ(&C.Engine.GetDialogs(), &Host);
  EXPECT_EQ(Eval("(show-message \"Saved\")"), "(none)");
  Host.Answer = mrYes;
  EXPECT_EQ(Eval("(message-dlg \"Save?\" mtConfirmation \"[mbYes, mbNo, mbCancel]\" 12)"), "mrYes");
  Host.Answer = mrNoToAll;
  EXPECT_EQ(Eval("(message-dlg \"Go on?\" Warning \"yes,NoToAll\")"), "mrNoToAll");
  const int32_t Results[] = {mrOk, mrCancel, mrAbort, mrRetry, mrIgnore, mrNo, mrAll, mrYesToAll, mrNone, 42};
  std::string Names;
  for (int32_t R : Results) {
    Host.Answer = static_cast<TModalResult>(R);
    Names += Eval("(message-dlg x mtCustom \"[]\")") + " ";
  }
  EXPECT_EQ(Names, "mrOk mrCancel mrAbort mrRetry mrIgnore mrNo mrAll mrYesToAll mrHelp mrHelp ");
  EXPECT_EQ(Host.Log[0], "message Saved");
  EXPECT_EQ(Host.Log[1], "Save? mtConfirmation " + std::to_string(TMsgDlgButtons{mbYes, mbNo, mbCancel}.Mask()) + " 12");
  EXPECT_EQ(Host.Log[2], "Go on? mtWarning " + std::to_string(TMsgDlgButtons{mbYes, mbNoToAll}.Mask()) + " 0");
  EXPECT_EQ(Error("(message-dlg x mtLoud \"[mbOK]\")"), "Unknown dialog type name: mtLoud");
  EXPECT_EQ(Error("(message-dlg x mtError \"[mbOK, mbMaybe]\")"), "Invalid item for set: mbMaybe");

  Host.Log.clear();
  Host.Entered = "Bob";
  EXPECT_EQ(Eval("(input-query \"Title\" \"Name\" \"x\")"), "\"Bob\"");
  EXPECT_EQ(Eval("(input-box)"), "\"Bob\"");
  Host.Accept = false;
  EXPECT_EQ(Eval("(input-query \"Title\" \"Prompt\" \"x\")"), "FALSE");
  EXPECT_EQ(Eval("(input-box \"Title\" \"Prompt\" \"x\")"), "\"x\"");
  EXPECT_EQ(Host.Log, (std::vector<std::string>{"Title|Name|x", "||", "Title|Prompt|x", "Title|Prompt|x"}));
  C.Engine.SetDialogs(nullptr);
  EXPECT_NE(&C.Engine.GetDialogs(), &Host);
}

TEST_F(MiscDialogs, FallBackToTheConsole) {
  std::deque<std::string> Answers;
  C.Engine.OnReadLine = [&](TInferenceEngine*, const std::string& InID, std::string& Text) {
    EXPECT_EQ(InID, "t");
    Text = Answers.empty() ? std::string() : Answers.front();
    if (!Answers.empty()) Answers.pop_front();
  };
  EXPECT_EQ(Run("(show-message \"Saved\")"), "Saved\r\n");
  Answers = {"no"};
  EXPECT_EQ(Run("(message-dlg \"Save?\" mtConfirmation \"[mbYes, mbNo]\")"), "Confirm: Save?\r\n[Yes, No]? mrNo\r\n");
  Answers = {"maybe", " mbYES "};
  EXPECT_EQ(Run("(message-dlg \"Save?\" mtWarning \"[mbYes, mbNo]\")"),
            "Warning: Save?\r\n[Yes, No]? Please answer one of: Yes, No\r\n[Yes, No]? mrYes\r\n");
  // Three answers that name no button, or an empty line: cancelled.
  Answers = {"a", "b", "c", "yes"};
  EXPECT_EQ(Eval("(message-dlg x mtError \"[mbYes]\")"), "mrCancel");
  Answers = {"", "yes"};
  EXPECT_EQ(Eval("(message-dlg x mtError \"[mbYes]\")"), "mrCancel");
  Answers = {"Bob"};
  EXPECT_EQ(Run("(input-query \"Title\" \"Name\" \"x\")"), "Title\r\nName [x] \"Bob\"\r\n");
  EXPECT_EQ(Eval("(input-query \"Title\" \"Name\" \"x\")"), "FALSE");
  EXPECT_EQ(Eval("(input-box \"Title\" \"Name\" \"x\")"), "\"x\"");

  // A batch file answers from its following lines (echoed as read).
  std::istringstream Script("(printout t (input-box \"T\" \"Name\" \"x\") crlf)\nAnn\n");
  C.Output.clear();
  C.Engine.Batch(Script);
  EXPECT_EQ(C.Output, "T\r\nName [x] Ann\r\nAnn\r\n");

  // Without any line input: cancelled, not an error.
  C.Engine.OnReadLine = nullptr;
  EXPECT_EQ(Eval("(message-dlg x mtInformation \"[mbOK]\")"), "mrCancel");
  EXPECT_EQ(Eval("(input-query)"), "FALSE");
  EXPECT_EQ(Eval("(input-box \"T\" \"P\" \"d\")"), "\"d\"");
}

// =============================================================================================
// Dates and times
// =============================================================================================

TEST_F(MiscDates, EncodeAndDecodeTheCalendar) {
  EXPECT_EQ(Number("(encode-date 1899 12 30)"), 0);
  EXPECT_EQ(Number("(encode-date 1899 12 29)"), -1);
  EXPECT_EQ(Number("(encode-date 2003)"), Number("(encode-date 2003 1 1)"));
  EXPECT_EQ(Number("(encode-date 2003 7 4)"), 37806);
  EXPECT_EQ(Eval("(decode-month (encode-date 2003 7 4))"), "7");
  EXPECT_EQ(Number("(encode-date 1 1 1)"), -693593);
  EXPECT_EQ(Number("(encode-date 9999 12 31)"), 2958465);
  // Leap years: every fourth, not centuries, but every fourth century.
  EXPECT_EQ(Number("(- (encode-date 2000 3 1) (encode-date 2000 2 28))"), 2);
  EXPECT_EQ(Number("(- (encode-date 1900 3 1) (encode-date 1900 2 28))"), 1);
  EXPECT_EQ(Eval("(decode-day (encode-date 2004 2 29))"), "29");
  EXPECT_EQ(Error("(encode-date 1900 2 29)"), "encode-date error: year 1900, month 2, day 29 is not a valid date (years 1 to 9999)");
  for (const char* Bad : {"(encode-date 2003 13)", "(encode-date 2003 0 1)", "(encode-date 2003 4 31)",
                          "(encode-date 0)", "(encode-date 10000)", "(encode-date -5 1 1)",
                          "(encode-date 2147483647 2147483647 -2147483647)"})
    EXPECT_NE(Error(Bad).find("is not a valid date"), std::string::npos) << Bad;
  EXPECT_NE(Error("(encode-date 1e20)").find("Integer overflow"), std::string::npos);

  // Times with milliseconds; missing parts are 0.
  EXPECT_DOUBLE_EQ(Number("(* (encode-time 6) 86400)"), 21600.0);
  EXPECT_EQ(Eval("(decode-millisecond (encode-time 1 2 3 456))"), "456");
  EXPECT_EQ(Eval("(decode-second (encode-time 1 2 3 456))"), "3");
  EXPECT_EQ(Eval("(decode-minute (encode-time 1 2))"), "2");
  EXPECT_EQ(Eval("(decode-hour (encode-time 23 59 59 999))"), "23");
  for (const char* Bad : {"(encode-time 24)", "(encode-time 0 60)", "(encode-time 0 0 60)", "(encode-time 0 0 0 1000)",
                          "(encode-time -1)"})
    EXPECT_NE(Error(Bad).find("is not a valid time of day"), std::string::npos) << Bad;

  // Before day 0 the fraction still runs forward from midnight: -1.25 is 29 December, 06:00.
  EXPECT_EQ(Eval("(decode-day -1.25)"), "29");
  EXPECT_EQ(Eval("(decode-hour -1.25)"), "6");
  EXPECT_EQ(Eval("(datetime-str -1.25)"), "\"1899-12-29 06:00:00\"");
  EXPECT_EQ(ComposeDateTime(-1, 0.25), -1.25);
  EXPECT_EQ(ComposeDateTime(2, 0.25), 2.25);
  // A time that rounds up to midnight is the next day, for either sign.
  EXPECT_EQ(Eval("(decode-day (+ (encode-date 2003 12 31) 0.9999999999))"), "1");
  EXPECT_EQ(Eval("(decode-year (+ (encode-date 2003 12 31) 0.9999999999))"), "2004");
  EXPECT_EQ(Eval("(decode-day -1.9999999999)"), "30");

  // Numbers that are no date.
  EXPECT_EQ(Error("(decode-year 1e300)"),
            "decode-year error: 1e+300 is not a valid date-time value (years 1 to 9999)");
  for (const char* Bad : {"(decode-day -693594)", "(decode-day 2958466)", "(datetime-str -1e10)",
                          "(datetime-str-format 1e300 \"yyyy\")"})
    EXPECT_NE(Error(Bad).find("is not a valid date-time value"), std::string::npos) << Bad;
  EXPECT_EQ(Error("(decode-hour abc)"), Error("(+ abc 1)"));
  TDateTimeParts Parts;
  EXPECT_FALSE(TryDecodeDateTime(std::nan(""), Parts));
  EXPECT_FALSE(TryDecodeDateTime(INFINITY, Parts));
  EXPECT_THROW(FormatDateTime("c", -INFINITY, GetDateTimeFormats()), platform::EConvertError);
}

TEST_F(MiscDates, RoundTripsAgainstAnIndependentCalendar) {
  std::mt19937 Random(20030704u);
  std::uniform_int_distribution<int32_t> Years(1, 9999), Months(1, 12), Milliseconds(0, 86399999);
  const TDateTimeFormats Formats = GetDateTimeFormats();
  for (int K = 0; K < 20000; ++K) {
    const int32_t Y = Years(Random), M = Months(Random);
    const int32_t D = std::uniform_int_distribution<int32_t>(1, DaysInMonth(Y, M))(Random);
    const int32_t Ms = Milliseconds(Random);
    TDateTime Date = 0, Time = 0;
    ASSERT_TRUE(TryEncodeDate(Y, M, D, Date));
    ASSERT_EQ(Date, static_cast<double>(Serial(Y, M, D))) << Y << "-" << M << "-" << D;
    ASSERT_TRUE(TryEncodeTime(Ms / 3600000, Ms / 60000 % 60, Ms / 1000 % 60, Ms % 1000, Time));
    TDateTimeParts P;
    ASSERT_TRUE(TryDecodeDateTime(ComposeDateTime(Date, Time), P));
    ASSERT_EQ((std::vector<int32_t>{P.Year, P.Month, P.Day, P.Hour, P.Minute, P.Second, P.Millisecond}),
              (std::vector<int32_t>{Y, M, D, Ms / 3600000, Ms / 60000 % 60, Ms / 1000 % 60, Ms % 1000}));
    // 1899-12-31 (day 1) was a Sunday.
    ASSERT_EQ(P.DayOfWeek, static_cast<int32_t>(((Serial(Y, M, D) - 1) % 7 + 7) % 7 + 1));
    // The text holds whole seconds.
    const TDateTime Whole = ComposeDateTime(Date, Time - (Ms % 1000) / 86400000.0);
    ASSERT_NEAR(StrToDateTime(DateTimeToStr(Whole, Formats), Formats), Whole, 1e-9);
  }
  // And some through the rule language.
  for (int K = 0; K < 200; ++K) {
    const int32_t Y = Years(Random), M = Months(Random);
    const int32_t D = std::uniform_int_distribution<int32_t>(1, DaysInMonth(Y, M))(Random);
    const std::string Date = "(encode-date " + std::to_string(Y) + " " + std::to_string(M) + " " + std::to_string(D) + ")";
    ASSERT_EQ(Number(Date), static_cast<double>(Serial(Y, M, D)));
    ASSERT_EQ(Eval("(create$ (decode-year " + Date + ") (decode-month " + Date + ") (decode-day " + Date + "))"),
              std::to_string(Y) + " " + std::to_string(M) + " " + std::to_string(D) + " ");
  }
}

TEST_F(MiscDates, TextInTheShortFormats) {
  EXPECT_EQ(Eval("(datetime-str (+ (encode-date 2003 7 4) (encode-time 15 5 9 7)))"), "\"2003-07-04 15:05:09\"");
  EXPECT_EQ(Eval("(date-str 37806.75)"), "\"2003-07-04\"");
  EXPECT_EQ(Eval("(time-str 37806.75)"), "\"18:00:00\"");
  EXPECT_EQ(Number("(str-date \"2003-07-04\")"), 37806);
  EXPECT_DOUBLE_EQ(Number("(str-time \"18:00\")"), 0.75);
  EXPECT_DOUBLE_EQ(Number("(str-time \"6:00:00.5 PM\")"), 0.75 + 0.5 / 86400);
  EXPECT_DOUBLE_EQ(Number("(str-datetime \"2003-07-04 18:00:00\")"), 37806.75);
  EXPECT_DOUBLE_EQ(Number("(str-datetime \"2003-07-04T18:00\")"), 37806.75);
  EXPECT_DOUBLE_EQ(Number("(str-datetime \"2003-07-04\")"), 37806);
  EXPECT_DOUBLE_EQ(Number("(str-datetime \"1899-12-29 06:00\")"), -1.25);
  EXPECT_EQ(Error("(str-date \"2003-02-30\")"), "str-date error: \"2003-02-30\" is not a valid date (expected yyyy-mm-dd)");
  EXPECT_EQ(Error("(str-time \"25:00\")"), "str-time error: \"25:00\" is not a valid time (expected hh:nn:ss)");
  EXPECT_EQ(Error("(str-datetime \"soon\")"),
            "str-datetime error: \"soon\" is not a valid date and time (expected yyyy-mm-dd hh:nn:ss)");
  for (const char* Bad : {"(str-date \"\")", "(str-date \"2003-07\")", "(str-date \"2003-07-04 12:00\")",
                          "(str-date \"99999-1-1\")", "(str-date \"1:2:3\")", "(str-date \"2003_07_04\")", "(str-time \"12\")", "(str-time \"12:60\")",
                          "(str-time \"13:00 PM\")", "(str-time \"12:00:00.1234\")", "(str-time \"12:00 tea\")",
                          "(str-datetime \"2003-07-04 12\")", "(str-datetime \"x 12:00\")"})
    EXPECT_NE(Error(Bad).find("is not a valid"), std::string::npos) << Bad;

  // A host's own short formats, for writing and reading.
  TDateTimeFormats Local;
  Local.ShortDateFormat = "dd.mm.yyyy";
  Local.ShortTimeFormat = "h:nn am/pm";
  const TFormatsOverride Override(Local);
  EXPECT_EQ(Eval("(datetime-str 37806.75)"), "\"04.07.2003 6:00 pm\"");
  EXPECT_EQ(Number("(str-date \"4.7.2003\")"), 37806);
  EXPECT_EQ(Number("(str-date \"4 July 03\")"), 37806);
  EXPECT_EQ(Number("(str-date \"1.1.75\")"), Number("(encode-date 1975)"));
  EXPECT_DOUBLE_EQ(Number("(str-datetime \"04.07.2003 6:00 pm\")"), 37806.75);
  EXPECT_EQ(Error("(str-date \"2003-07-04\")"), "str-date error: \"2003-07-04\" is not a valid date (expected dd.mm.yyyy)");
}

TEST_F(MiscDates, FormatSpecifiers) {
  const TDateTimeFormats Formats;  // the defaults
  const TDateTime Friday = ComposeDateTime(Serial(2003, 7, 4), (15 * 3600000 + 5 * 60000 + 9 * 1000 + 7) / 86400000.0);
  const std::pair<const char*, const char*> Cases[] = {
      {"d", "4"},          {"dd", "04"},        {"ddd", "Fri"},         {"dddd", "Friday"},
      {"ddddd", "2003-07-04"}, {"m", "7"},      {"mm", "07"},           {"mmm", "Jul"},
      {"mmmm", "July"},    {"yy", "03"},        {"yyyy", "2003"},       {"h", "15"},
      {"hh", "15"},        {"n", "5"},          {"nn", "05"},           {"s", "9"},
      {"ss", "09"},        {"z", "7"},          {"zzz", "007"},         {"t", "15:05:09"},
      {"c", "2003-07-04 15:05:09"},             {"h:mm", "15:05"},      {"YYYY/MM/DD", "2003/07/04"},
      {"hh:nn am/pm", "03:05 pm"},              {"h AM/PM", "3 PM"},    {"h a/p", "3 p"},
      {"h ampm", "3 PM"},  {"'day' d", "day 4"}, {"\"yyyy\" yyyy", "yyyy 2003"}, {"d-x#", "4-x#"},
  };
  for (const auto& [Format, Expected] : Cases) EXPECT_EQ(FormatDateTime(Format, Friday, Formats), Expected) << Format;
  EXPECT_EQ(FormatDateTime("h:nn am/pm", Serial(2003, 7, 4) + 0.5 / 24, Formats), "12:30 am");
  EXPECT_EQ(FormatDateTime("yyyy", -693593, Formats), "0001");
  // Through the rule language, the format's escapes resolved; without a format as datetime-str.
  EXPECT_EQ(Eval("(datetime-str-format 37806.75 \"\\\"at\\\" h:nn, dddd d mmmm yyyy\")"),
            "\"at 18:00, Friday 4 July 2003\"");
  EXPECT_EQ(Eval("(datetime-str-format 37806.75)"), Eval("(datetime-str 37806.75)"));
  // Formats that name themselves stop instead of recursing.
  TDateTimeFormats Loop;
  Loop.ShortDateFormat = "c";
  Loop.ShortTimeFormat = "t";
  EXPECT_NO_THROW(FormatDateTime("c ddddd t", Friday, Loop));
}

TEST_F(MiscDates, TheSystemClock) {
  const auto Expected = [] {
    const std::time_t Now = std::time(nullptr);
    std::tm Local{};
    localtime_r(&Now, &Local);
    return Local.tm_hour * 3600.0 + Local.tm_min * 60 + Local.tm_sec;
  };
  const double Before = Expected();
  const double Seconds = Number("(time)");
  const double After = Expected();
  // Around midnight the clock may wrap between the readings.
  EXPECT_TRUE((Seconds >= Before - 1 && Seconds <= After + 1) || After < Before) << Seconds;
  const double Now = Number("(system-datetime)");
  const double Date = Number("(system-date)");
  const double Time = Number("(system-time)");
  EXPECT_EQ(Date, std::trunc(Date));
  EXPECT_TRUE(Date == std::trunc(Now) || Date == std::trunc(Now) + 1);
  EXPECT_GE(Time, 0);
  EXPECT_LT(Time, 1);
  EXPECT_GT(Now, Serial(2020, 1, 1));
}
