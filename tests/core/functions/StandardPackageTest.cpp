#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/functions/StandardPackage.h"
#include "core/network/IEContext.h"
#include "core/values/ValueVector.h"

using namespace rulecore;
using platform::MakeRef;
using rulecore::testing::ErrorOf;

namespace {

// Builds call trees from rule-like text, standing in for the parser: "(if (> ?x 1) then (bind
// ?y 2))".  Integers and floats are read as numbers, ?x and $?x as variables, "..." as strings,
// nil as the shared nil, (...) as a nested call; anything else is an atom.
class TCallBuilder {
 public:
  TCallBuilder(IReasoner* Engine, std::string_view Text) : Engine_(Engine), Text_(Text) {}

  IFunCall Call() {
    Expect('(');
    IFunCall Result = MakeRef<TFunctionCall>(Engine_, Token());
    while (Skip(), Pos_ < Text_.size() && Text_[Pos_] != ')') Result->AddArgument(Item());
    Expect(')');
    return Result;
  }

 private:
  IIEValue Item() {
    if (Text_[Pos_] == '(') return MakeRef<TIEValue>(Call());
    if (Text_[Pos_] == '"') {
      const size_t End = Text_.find('"', Pos_ + 1);
      IIEValue S = NewString(Text_.substr(Pos_ + 1, End - Pos_ - 1));
      Pos_ = End + 1;
      return S;
    }
    const std::string T = Token();
    int32_t I = 0;
    double F = 0;
    const bool Numeric = std::isdigit(static_cast<unsigned char>(T[0])) ||
                         (T.size() > 1 && (T[0] == '-' || T[0] == '.') && std::isdigit(static_cast<unsigned char>(T[1])));
    if (Numeric && TextToInteger(T, I)) return NewInteger(I);
    if (Numeric && TextToFloat(T, F)) return NewFloat(F);
    if (T.rfind("$?", 0) == 0) return NewValue(T.substr(2), dtMultiVariable);
    if (T[0] == '?') return NewValue(T.substr(1), dtVariable);
    if (T == "nil") return FCNil;
    return NewAtom(T);
  }
  std::string Token() {
    Skip();
    const size_t Start = Pos_;
    while (Pos_ < Text_.size() && !std::isspace(static_cast<unsigned char>(Text_[Pos_])) && Text_[Pos_] != '(' &&
           Text_[Pos_] != ')')
      ++Pos_;
    return std::string(Text_.substr(Start, Pos_ - Start));
  }
  void Skip() {
    while (Pos_ < Text_.size() && std::isspace(static_cast<unsigned char>(Text_[Pos_]))) ++Pos_;
  }
  void Expect(char C) {
    Skip();
    if (Pos_ >= Text_.size() || Text_[Pos_] != C) throw std::runtime_error("bad test expression");
    ++Pos_;
  }

  IReasoner* Engine_;
  std::string_view Text_;
  size_t Pos_ = 0;
};

class StandardTest : public ::testing::Test {
 protected:
  StandardTest() {
    new TStandardPackage(&Engine);
    // (tick [x]): counts its calls and answers x (TRUE without an argument).
    Tick = MakeRef<TIEInnerFunction>([this](platform::TObject*, TFunctionCall& Call, TIEContext* Context,
                                            IIEValue& Result) {
      ++Ticks;
      Result = Call.GetArgumentCount() > 0 ? Call.Evaluate(0, Context) : FCTrue;
    });
    Tick->SetFunctionName("tick");
    Tick->AddReasoner(&Engine);
  }

  IFunCall Parse(std::string_view Text) { return TCallBuilder(&Engine, Text).Call(); }

  IIEValue Run(std::string_view Text, TIEContext* Context) {
    IIEValue Result;
    Parse(Text)->Execute(Context, Result);
    return Result;
  }
  IIEValue Run(std::string_view Text) { return Run(Text, Engine.GetContext()); }

  // The text form of the result, "(none)" when the function answered nothing.
  std::string Show(std::string_view Text) {
    IIEValue V = Run(Text);
    return V ? V->ToString() : "(none)";
  }
  std::string Error(std::string_view Text) {
    return ErrorOf([&] { Run(Text); });
  }
  IIEValue Variable(const std::string& Name) { return Engine.GetContext()->FindVariableValue(Name); }

  TInferenceEngine Engine;
  IUserFunction Tick;
  int Ticks = 0;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------------------------

TEST(StandardPackage, RegistersEachFunctionOnceInCreationOrder) {
  // The package's full creation order; functions not built yet are skipped.
  const std::vector<std::string> Order = {
      "and", "assert", "assert-string", "batch", "bind", "clear", "clear-storage", "close",
      "do-backward-chaining", "dribble-on", "dribble-off", "duplicate", "eq", "eq*", "=", "exit", "__get-var",
      "fetch", "foreach", "format", "gensym*", "get-fact-duplication", "get-slot-value", ">", ">=", "halt", "if",
      "load", "load-facts", "<", "<=", "member", "modify", "neq", "<>", "not", "open", "or", "printout", "read",
      "readline", "remove", "rename", "reset", "retract", "retract-string", "return", "run", "save", "save-facts",
      "set-fact-duplication", "store", "try", "throw", "unwatch", "version", "watch", "while", "create$", "delete$",
      "explode$", "first$", "implode$", "insert$", "length$", "member$", "nth$", "replace$", "rest$", "subseq$",
      "subsetp"};
  TInferenceEngine Engine;
  auto* Package = new TStandardPackage(&Engine);
  auto Names = [&] {
    std::vector<std::string> Result;
    for (int I = 0; I < Package->GetFunctions().Count(); ++I)
      Result.push_back(Package->GetFunctions().Item(I)->GetFunctionName());
    return Result;
  };
  std::vector<std::string> Expected;
  for (const std::string& Name : Order)
    if (Package->IndexOf(Name) >= 0) Expected.push_back(Name);
  EXPECT_EQ(Names(), Expected);
  EXPECT_EQ(Expected.size(), 71u);
  for (const std::string& Name : Expected) EXPECT_TRUE(Engine.ContainsUserFunction(Name)) << Name;

  Package->SetReset(true);
  Package->SetReset(true);
  EXPECT_EQ(Names(), Expected);
  EXPECT_EQ(Engine.GetUserFunction("eq")->GetFunctionName(), "eq");
}

TEST(StandardPackage, PublishesPatternArityAndComment) {
  struct TRow {
    const char* Name;
    const char* Pattern;
    int32_t Min, Max;
  };
  constexpr int32_t N = TIEUserFunction::NoLimit;
  const char* const Expression2 = " <expression> <expression>+";
  const char* const Numeric2 = " <numeric-expression> <numeric-expression>+";
  const char* const Range = " <multifield-expression> <start-integer-expression> <end-integer-expression>";
  const char* const Watch = " all|rules|facts|activations|compilations|statistics";
  const TRow Rows[] = {
      {"and", " <expression>*", 0, N}, {"or", " <expression>*", 0, N}, {"not", " <expression>", 1, 1},
      {"eq", Expression2, 1, N}, {"eq*", Expression2, 1, N}, {"neq", " <expression> <expression>*", 1, N},
      {"=", Numeric2, 1, N}, {"<>", " <numeric-expression> <numeric-expression>*", 1, N}, {"<", Numeric2, 2, N},
      {"<=", Numeric2, 2, N}, {">", Numeric2, 2, N}, {">=", Numeric2, 2, N},
      {"member", " <to-find-expression> <expression>+", 2, N},
      {"if", " <predicate-expression> then <expression>+ [else <expression>+]", 2, N},
      {"while", " <boolean-expression> [do] <expression>*", 2, N},
      {"foreach", " <variable-name> <list-expression> <expression>*", 2, N},
      {"bind", " <variable> <expression>", 2, 2}, {"return", " <expression>", 1, 1},
      {"try", " [<expression>*] [finally [<expression>*>] [catch|except [<expression>*]]", 1, N},
      {"throw", " <lexeme-expression>", 1, 1}, {"store", " <variable-name> <value>", 2, 2},
      {"fetch", " <lexeme-expression>", 1, 1}, {"clear-storage", "", 0, 0}, {"gensym*", "", 0, 0},
      {"__get-var", " <variable-name>", 1, 1}, {"exit", "", 0, 0}, {"halt", "", 0, 0}, {"version", "", 0, 0},
      {"create$", " <expression>*", 0, N}, {"delete$", Range, 3, 3}, {"explode$", " <string-expression> ", 1, 1},
      {"first$", " <multifield-expression> ", 1, 1}, {"length$", " <multifield-expression> ", 1, 1},
      {"implode$", " <multifield-expression> ", 1, 1},
      {"insert$", " <multifield-expression> <integer-expression> <expression>*", 2, N},
      {"member$", " <expression> <multifield-expression>", 2, 2},
      {"nth$", " <integer-expression> <multifield-expression>", 2, 2},
      {"replace$", " <multifield-expression> <start-integer-expression> <end-integer-expression> <expression>*", 3,
       N},
      {"rest$", " <multifield-expression>", 1, 1}, {"subseq$", Range, 3, 3},
      {"subsetp", " <expression> <multifield-expression>", 2, 2},
      {"assert", " <fact>*", 0, N}, {"assert-string", " <string-expression>*", 1, N},
      {"retract", " *|<fact-index>*", 1, N}, {"retract-string", " <fact-string>", 0, N},
      {"modify", " <fact-index> (<slot-name> <expression>)+", 1, N},
      {"duplicate", " <fact-index> (<slot-name> <expression>)*", 2, N},
      {"get-slot-value", " <fact-id-expression>|<fact-expression> [<slot-name-expression> ]", 1, 2},
      {"set-fact-duplication", " <boolean-expression>", 1, 1}, {"get-fact-duplication", "", 0, 0},
      {"reset", "", 0, 0}, {"clear", "", 0, 0}, {"run", " [<integer-expression>]", 0, 1},
      {"watch", Watch, 1, 1}, {"unwatch", Watch, 1, 1},
      {"open", " <filename> <logical-name> [a|r|w|r+]", 2, 3}, {"close", " [<logical-name>+]", 0, N},
      {"printout", " <logical-name> <expression>*", 0, N},
      {"format", " <logical-name> <string-expression> <expression>*", 2, N}, {"read", " [<logical-name>]", 0, 1},
      {"readline", " [<logical-name>]", 0, 1}, {"dribble-on", " <filename>", 1, 1}, {"dribble-off", "", 0, 0},
      {"rename", " [<old-file-name> <new-file-name>]", 2, 2}, {"remove", " [<file-name>]", 1, 1},
      {"load", " <filename>", 1, 1}, {"save", " <filename>", 1, 1}, {"load-facts", " <filename>", 1, 1},
      {"save-facts", " <file-name> [<fact-template-name>+]", 1, N}, {"batch", " <filename>", 1, 1},
      {"do-backward-chaining", " <fact-template-name>*", 0, N},
  };
  TInferenceEngine Engine;
  auto* Package = new TStandardPackage(&Engine);
  EXPECT_EQ(Package->GetFunctions().Count(), static_cast<int>(std::size(Rows)));
  for (const TRow& Row : Rows) {
    IUserFunction F = Engine.GetUserFunction(Row.Name);
    ASSERT_TRUE(F) << Row.Name;
    EXPECT_EQ(F->GetArgumentString(), Row.Pattern) << Row.Name;
    EXPECT_EQ(F->GetMinArgumentCount(), Row.Min) << Row.Name;
    EXPECT_EQ(F->GetMaxArgumentCount(), Row.Max) << Row.Name;
    EXPECT_FALSE(F->GetComment().empty()) << Row.Name;
  }
  // Comments with quotes, line breaks and doubled blanks.
  auto Comment = [&](const char* Name) { return Engine.GetUserFunction(Name)->GetComment(); };
  EXPECT_EQ(Comment("not"), "Returns TRUE if the argument evaluates to FALSE, otherwise it returns FALSE");
  EXPECT_EQ(Comment("gensym*"),
            "Returns a sequenced symbol of the form \"genX\" where X is an integer.  Repeated calls will return "
            "monotonically increasing values for X");
  EXPECT_EQ(Comment("explode$"),
            "Creates a multifield value (list) where every item in the list is a seperate symbol from the "
            "<string-expression>");
  const std::string Foreach = Comment("foreach");
  EXPECT_NE(Foreach.find("the statement      (foreach i (create$ red green blue) (bind ?x (str-cat ?i \" color\")) "
                         "(printout t ?x))\r\nwill print out\r\n     red color\r\n     green color\r\n     blue "
                         "color\r\nand return \"blue color\""),
            std::string::npos);
  const std::string Try = Comment("try");
  const std::string Head = "Either the finally or the catch|except keyword may be optional, but not both.\r\n";
  const std::string Tail =
      "\r\n\r\nNote: if an exception is raised, the exception message will be stored in the local variable, "
      "?__ERROR";
  EXPECT_NE(Try.find(Head), std::string::npos);
  ASSERT_GT(Try.size(), Tail.size());
  EXPECT_EQ(Try.substr(Try.size() - Tail.size()), Tail);
}

// ---------------------------------------------------------------------------------------------
// Logic and comparisons
// ---------------------------------------------------------------------------------------------

TEST_F(StandardTest, LogicTestsOnlyForItsStopValue) {
  EXPECT_EQ(Show("(and TRUE 5)"), "TRUE");
  EXPECT_EQ(Show("(or 5 FALSE)"), "FALSE");
  EXPECT_EQ(Show("(and)"), "TRUE");
  EXPECT_EQ(Show("(or)"), "FALSE");
  EXPECT_EQ(Show("(and \"FALSE\" false)"), "TRUE");  // only the atom FALSE is false
  EXPECT_EQ(Show("(not FALSE)"), "TRUE");
  EXPECT_EQ(Show("(not nil)"), "FALSE");

  EXPECT_EQ(Show("(and (tick) (tick FALSE) (tick) (tick))"), "FALSE");
  EXPECT_EQ(Ticks, 2);
  EXPECT_EQ(Show("(or (tick 1) (tick TRUE) (tick))"), "TRUE");
  EXPECT_EQ(Ticks, 4);
}

// A call's second run may be decided on the values in place (its functions are known by then,
// and connectives of comparisons need no nested run): every answer, error and effect must be
// the one the first, evaluating run gave.
TEST_F(StandardTest, DecidedConnectivesAnswerAsEvaluatedOnes) {
  Engine.GetContext()->SetVariable("x", NewAtom("b"));
  Engine.GetContext()->SetVariable("n", NewInteger(3));
  struct TRow {
    const char* Text;
    const char* Shown;
    int Ticks;
  };
  const TRow Rows[] = {
      {"(or (eq ?x a) (eq ?x b))", "TRUE", 0},
      {"(or (eq ?x a) (eq ?x c))", "FALSE", 0},
      {"(and (neq ?x a) (< 1 ?n 4))", "TRUE", 0},
      {"(and (neq ?x a) (> 1 ?n))", "FALSE", 0},
      {"(not (eq ?x b))", "FALSE", 0},
      {"(not (or (eq ?x a) (not (eq ?x b))))", "TRUE", 0},
      {"(or (and (and (and (and (eq ?x b)))))))", "TRUE", 0},  // beyond the nesting decided
      {"(or 5 (eq ?x a))", "FALSE", 0},                        // only the atom TRUE ends an or
      {"(and \"FALSE\" (eq ?x b))", "TRUE", 0},
      {"(eq (eq ?x b) TRUE)", "TRUE", 0},
      {"(or (eq ?x b) (tick))", "TRUE", 0},  // a call with effects runs as written: not at all here
      {"(or (eq ?x a) (tick FALSE) (eq ?x b))", "TRUE", 1},
      {"(and (eq ?x a) (tick))", "FALSE", 0},
      {"(not (tick FALSE))", "TRUE", 1},
  };
  for (const TRow& Row : Rows) {
    const IFunCall Call = Parse(Row.Text);
    for (int Run = 0; Run < 2; ++Run) {
      Ticks = 0;
      IIEValue Result;
      Call->Execute(Engine.GetContext(), Result);
      ASSERT_TRUE(Result) << Row.Text;
      EXPECT_EQ(Result->ToString(), Row.Shown) << Row.Text << " run " << Run;
      EXPECT_EQ(Ticks, Row.Ticks) << Row.Text << " run " << Run;
    }
  }
  // An unbound variable is still reported on every run.
  const IFunCall Unbound = Parse("(or (eq ?x a) (eq ?y a))");
  auto RunUnbound = [&] {
    IIEValue Result;
    Unbound->Execute(Engine.GetContext(), Result);
  };
  const std::string First = ErrorOf(RunUnbound);
  EXPECT_NE(First, "(no error)");
  EXPECT_EQ(ErrorOf(RunUnbound), First);
}

// Comparisons of arithmetic on values in place (a join test's "(= ?b (+ ?a 1))") are decided
// without making the sums: answers must be the evaluated ones, and whatever would raise an
// error (overflow, division by zero, a text) must still raise it, on every run.
TEST_F(StandardTest, DecidedArithmeticAnswersAsEvaluated) {
  Engine.GetContext()->SetVariable("n", NewInteger(3));
  Engine.GetContext()->SetVariable("f", NewFloat(2.5));
  Engine.GetContext()->SetVariable("big", NewInteger(2147483647));
  Engine.GetContext()->SetVariable("zero", NewInteger(0));
  Engine.GetContext()->SetVariable("s", NewAtom("x"));
  const std::pair<const char*, const char*> Rows[] = {
      {"(= 4 (+ ?n 1))", "TRUE"},
      {"(= 5 (+ ?n 1))", "FALSE"},
      {"(eq 4 (+ ?n 1))", "TRUE"},
      {"(eq 4 (+ ?n 1.0))", "FALSE"},  // a float sum is not the integer 4
      {"(eq 5.5 (+ ?n ?f))", "TRUE"},
      {"(eq 1 (- ?n 2))", "TRUE"},
      {"(eq -3 (- ?n))", "FALSE"},  // one argument: the value itself
      {"(eq 3 (- ?n))", "TRUE"},
      {"(eq 2 (* ?n 2 (/ 1 3)))", "FALSE"},  // "/" is always a float
      {"(= 2 (* ?n 2 (/ 1 3)))", "TRUE"},
      {"(< (* ?n (+ 1 (- ?n 2))) 7 (+ ?f ?f 3))", "TRUE"},
      {"(eq 1 (+ ?n -1.5 -0.5))", "FALSE"},
      {"(eq 1.0 (+ ?n -1.5 -0.5))", "TRUE"},
      {"(eq 3 (+ 1.7 1.7))", "FALSE"},
      {"(eq 3 (+ 1 (div 5 2)))", "TRUE"},  // div is left to run
  };
  for (const auto& [Text, Shown] : Rows) {
    const IFunCall Call = Parse(Text);
    for (int Run = 0; Run < 2; ++Run) {
      IIEValue Result;
      Call->Execute(Engine.GetContext(), Result);
      ASSERT_TRUE(Result) << Text;
      EXPECT_EQ(Result->ToString(), Shown) << Text << " run " << Run;
    }
    // What a pattern's test asks: decided (but for div), and the same answer.
    const int Decided = Call->Decide(Engine.GetContext());
    if (std::string_view(Text).find("div") != std::string_view::npos)
      EXPECT_EQ(Decided, -1) << Text;
    else
      EXPECT_EQ(Decided, std::string_view(Shown) == "TRUE" ? 1 : 0) << Text;
  }
  for (const char* Text : {"(= 0 (+ ?big 1))", "(= 0 (/ ?n ?zero))", "(= 0 (+ ?n ?s))", "(= 0 (* 1e300 1e300 ?n))"}) {
    const IFunCall Call = Parse(Text);
    auto Run = [&] {
      IIEValue Result;
      Call->Execute(Engine.GetContext(), Result);
    };
    const std::string First = ErrorOf(Run);
    EXPECT_NE(First, "(no error)") << Text;
    EXPECT_EQ(ErrorOf(Run), First) << Text;
    EXPECT_EQ(Call->Decide(Engine.GetContext()), -1) << Text;  // left to the run, which raises
  }
}

TEST_F(StandardTest, EqualityComparisons) {
  EXPECT_EQ(Show("(eq 1 1.0)"), "FALSE");
  EXPECT_EQ(Show("(eq* 1 1.0)"), "TRUE");
  EXPECT_EQ(Show("(eq* 3 3.7)"), "TRUE");  // the first argument's kind decides: 3.7 read as integer
  EXPECT_EQ(Show("(eq* a \"a\")"), "TRUE");
  EXPECT_EQ(Show("(eq a \"a\")"), "FALSE");
  EXPECT_EQ(Show("(eq a a b)"), "FALSE");
  EXPECT_EQ(Show("(eq a)"), "TRUE");
  EXPECT_EQ(Show("(neq a b c)"), "TRUE");
  EXPECT_EQ(Show("(neq a b a)"), "FALSE");
  EXPECT_EQ(Show("(eq (create$ a b) (create$ a b))"), "TRUE");
  // Lenient equality converts the other value and reports a failed conversion.
  EXPECT_EQ(Error("(eq* 1 one)"), "Not a integer type.  Value (one) is a dtAtom type");
  // A call that answers no value still compares (equal only to another such answer).
  EXPECT_EQ(Show("(eq (clear-storage) a)"), "FALSE");
  EXPECT_EQ(Show("(eq (clear-storage) (clear-storage))"), "TRUE");

  EXPECT_EQ(Show("(eq a (tick b) (tick a))"), "FALSE");
  EXPECT_EQ(Ticks, 1);
  EXPECT_EQ(Show("(neq a (tick b) (tick a) (tick c))"), "FALSE");
  EXPECT_EQ(Ticks, 3);
}

TEST_F(StandardTest, NumericComparisons) {
  EXPECT_EQ(Show("(= 1 1.0)"), "TRUE");
  EXPECT_EQ(Show("(= \"2.5\" 2.5)"), "TRUE");
  EXPECT_EQ(Show("(= 0 nil)"), "TRUE");  // nil reads as 0
  EXPECT_EQ(Show("(<> 1 2 3)"), "TRUE");
  EXPECT_EQ(Show("(<> 1 2 1.0)"), "FALSE");
  EXPECT_EQ(Show("(< 1 2 2)"), "FALSE");
  EXPECT_EQ(Show("(<= 1 2 2)"), "TRUE");
  EXPECT_EQ(Show("(< 1 3 2)"), "FALSE");  // neighbours, not the first against all
  EXPECT_EQ(Show("(> 3 2 1)"), "TRUE");
  EXPECT_EQ(Show("(>= 3 3 -1.5)"), "TRUE");
  EXPECT_EQ(Error("(< 1 abc)"), "Not a numeric type.  Value (abc) is a dtAtom type");
  EXPECT_EQ(Error("(< 1)"), "Too few arguments for <");

  EXPECT_EQ(Show("(< 1 (tick 0) (tick 5))"), "FALSE");
  EXPECT_EQ(Ticks, 1);
}

TEST_F(StandardTest, MemberAnswersZeroBasedPosition) {
  EXPECT_EQ(Show("(member a b a a)"), "1");
  EXPECT_EQ(Show("(member a b c)"), "FALSE");
  EXPECT_EQ(Show("(member 1 1.0 \"1\" 1)"), "2");
  EXPECT_EQ(Show("(member x (tick x) (tick x))"), "0");
  EXPECT_EQ(Ticks, 1);
}

// ---------------------------------------------------------------------------------------------
// Control structures
// ---------------------------------------------------------------------------------------------

TEST_F(StandardTest, IfRunsOnlyTheChosenBranch) {
  EXPECT_EQ(Show("(if TRUE then (tick a) (tick b) else (tick c))"), "b");
  EXPECT_EQ(Ticks, 2);
  EXPECT_EQ(Show("(if FALSE then (tick a) else (tick c) (tick d))"), "d");
  EXPECT_EQ(Ticks, 4);
  EXPECT_EQ(Show("(if FALSE then (tick a))"), "FALSE");
  EXPECT_EQ(Show("(if nil then x)"), "x");  // only FALSE is false
  EXPECT_EQ(Ticks, 4);
  // "else" right after "then": nothing runs in either case.
  EXPECT_EQ(Show("(if FALSE then else (tick c))"), "FALSE");
  EXPECT_EQ(Show("(if TRUE then else (tick c))"), "FALSE");
  EXPECT_EQ(Ticks, 4);
  EXPECT_EQ(Error("(if TRUE (tick a))"), "Syntax Error: Missing \"then\" in an IF statement");
  EXPECT_EQ(Error("(if (tick TRUE) than a)"), "Syntax Error: Missing \"then\" in an IF statement");
  EXPECT_EQ(Ticks, 4);  // the condition is not evaluated when the form is wrong
}

TEST_F(StandardTest, WhileTestsBeforeEveryRound) {
  Run("(bind ?i 0)");
  EXPECT_EQ(Show("(while (< ?i 3) do (bind ?i (tick (member ?i -1 0 1 2))))"), "FALSE");
  EXPECT_EQ(Variable("i")->ToString(), "3");
  EXPECT_EQ(Ticks, 3);
  EXPECT_EQ(Show("(while (tick FALSE) (tick))"), "FALSE");
  EXPECT_EQ(Ticks, 4);
  // Without "do" the body starts at the second argument.
  Run("(bind ?i 0)");
  Run("(while (< ?i 2) (bind ?i (member ?i -1 0 1)))");
  EXPECT_EQ(Variable("i")->ToString(), "2");
}

TEST_F(StandardTest, ReturnEndsLoopsAndLeavesTheFlagForTheCaller) {
  TIEContext* Frame = Engine.GetContext()->Push();
  IIEValue V = Run("(while TRUE (tick) (return 7) (tick))", Frame);
  EXPECT_EQ(V->ToString(), "7");
  EXPECT_EQ(Ticks, 1);
  EXPECT_TRUE(Frame->GetReturned());
  EXPECT_EQ(Frame->GetReturnValue()->ToString(), "7");
  Frame->ClearReturnValue();

  V = Run("(if TRUE then (return r) (tick))", Frame);
  EXPECT_EQ(V->ToString(), "r");
  Frame->ClearReturnValue();
  V = Run("(foreach i (create$ a b c) (if (eq ?i b) then (return ?i)) (tick))", Frame);
  EXPECT_EQ(V->ToString(), "?i");  // handed back as written: the caller resolves it
  EXPECT_EQ(Ticks, 2);
  delete Frame;

  // A deffunction resolves what "return" handed back and skips the rest of its body.
  auto F = MakeRef<TInterpretedFunction>("first-b");
  F->AddArgument("l", dtMultiVariable);
  F->AddStatement(Parse("(foreach x ?l (if (eq ?x b) then (return ?x)))"));
  F->AddStatement(Parse("(tick)"));
  F->AddReasoner(&Engine);
  EXPECT_EQ(Show("(first-b a b c)"), "b");
  EXPECT_EQ(Ticks, 2);
  EXPECT_FALSE(Engine.GetContext()->GetReturned());
}

TEST_F(StandardTest, ForeachBindsEachItemAndAnswersTheLastValue) {
  EXPECT_EQ(Show("(foreach i (create$ red green blue) (bind ?x (create$ ?i color)))"), "blue color ");
  EXPECT_EQ(Variable("i")->ToString(), "blue");
  EXPECT_EQ(Show("(foreach i (create$) (tick))"), "");  // nil
  EXPECT_EQ(Show("(foreach i (create$ 1 2))"), "");
  EXPECT_EQ(Variable("i")->ToString(), "2");
  EXPECT_EQ(Ticks, 0);
  // A name written as a variable names that variable, whatever it holds.
  EXPECT_EQ(Show("(foreach ?i (create$ x y) (tick ?i))"), "y");
  EXPECT_EQ(Variable("i")->ToString(), "y");
  EXPECT_FALSE(Variable("2"));
  EXPECT_EQ(Error("(foreach i notalist)"), "Not a list type.  Value (notalist) is a dtAtom type");
}

TEST_F(StandardTest, TryCatchesThrowsIntoErrorVariable) {
  EXPECT_EQ(Show("(try (tick) (throw boom) (tick) catch (tick caught) (tick done))"), "done");
  EXPECT_EQ(Ticks, 3);
  ASSERT_TRUE(Variable("__ERROR"));
  EXPECT_EQ(Variable("__ERROR")->GetDType(), dtString);
  EXPECT_EQ(Variable("__ERROR")->GetAsString(), "boom");
  EXPECT_EQ(Show("(try (throw \"x y\") except ?__ERROR)"), "\"x y\"");
  // Engine errors are caught too, with their message.
  EXPECT_EQ(Show("(try (< 1 abc) catch ?__ERROR)"), "\"Not a numeric type.  Value (abc) is a dtAtom type\"");
  // Without a failure the catch part is skipped and the result is the last value that ran.
  EXPECT_EQ(Show("(try (tick a) catch (tick b))"), "a");
  EXPECT_EQ(Show("(try (tick a) finally (tick f) catch (tick b))"), "f");
  EXPECT_EQ(Ticks, 6);
  EXPECT_EQ(Error("(try (tick))"), "Missing catch or finally statement for try block");
  EXPECT_EQ(Error("(throw \"outside try\")"), "outside try");
}

TEST_F(StandardTest, TryFinallyRunsOnEveryPath) {
  // A failure: finally, then catch; the result is the catch part's.
  EXPECT_EQ(Show("(try (throw boom) (tick) finally (tick f) catch (tick c))"), "c");
  EXPECT_EQ(Ticks, 2);
  // Finally alone swallows the failure and answers FALSE.
  EXPECT_EQ(Show("(try (throw boom) finally (tick f))"), "FALSE");
  EXPECT_EQ(Ticks, 3);
  // A failure inside the finally part goes to the catch part with its own message.
  EXPECT_EQ(Show("(try (throw one) finally (throw two) catch ?__ERROR)"), "\"two\"");
  EXPECT_EQ(Show("(try (tick) finally (throw two) (tick) catch ?__ERROR)"), "\"two\"");
  EXPECT_EQ(Ticks, 4);
  // A failure in the catch part is not caught again.
  EXPECT_EQ(Error("(try (throw one) catch (throw two))"), "two");
  // "exit" runs the finally part, then passes through every try.
  EXPECT_THROW(Run("(try (try (exit) finally (tick) catch (tick)) catch (tick))"), platform::EAbort);
  EXPECT_EQ(Ticks, 5);
}

TEST_F(StandardTest, TryFinallyCompletesAfterReturn) {
  TIEContext* Frame = Engine.GetContext()->Push();
  IIEValue V = Run("(try (return r) (tick) finally (tick) (tick) catch (tick))", Frame);
  EXPECT_EQ(Ticks, 2);  // the whole finally part, nothing else
  EXPECT_EQ(V->ToString(), "r");
  EXPECT_TRUE(Frame->GetReturned());
  EXPECT_EQ(Frame->GetReturnValue()->ToString(), "r");
  Frame->ClearReturnValue();
  V = Run("(try (return r) finally (return s) (tick))", Frame);
  EXPECT_EQ(V->ToString(), "s");
  EXPECT_EQ(Frame->GetReturnValue()->ToString(), "s");
  EXPECT_EQ(Ticks, 2);
  delete Frame;
}

// ---------------------------------------------------------------------------------------------
// Variables, storage, engine
// ---------------------------------------------------------------------------------------------

TEST_F(StandardTest, BindAndGetVar) {
  EXPECT_EQ(Show("(bind ?x (create$ 1 2))"), "1 2 ");
  EXPECT_EQ(Variable("x")->ToString(), "1 2 ");
  EXPECT_EQ(Show("(__get-var ?x)"), "1 2 ");
  EXPECT_EQ(Show("(__get-var x)"), "1 2 ");
  EXPECT_EQ(Run("(__get-var nothing)"), FCNil);
  EXPECT_EQ(Error("(__get-var ?nothing)"), "Corrupted Binding, variable not found: nothing");
  // A frame's binding hides the outer one only inside the frame.
  TIEContext* Frame = Engine.GetContext()->Push();
  Frame->AddLocalBinding("x", NewAtom("inner"));
  EXPECT_EQ(Run("(bind ?x changed)", Frame)->ToString(), "changed");
  EXPECT_EQ(Variable("x")->ToString(), "1 2 ");
  delete Frame;
  EXPECT_EQ(Error("(bind ?x)"), "Too few arguments for bind");
}

TEST_F(StandardTest, StoreFetchAndClearStorage) {
  EXPECT_EQ(Show("(store k 5)"), "5");
  EXPECT_EQ(Show("(fetch k)"), "5");
  EXPECT_EQ(Show("(fetch \"k\")"), "5");
  EXPECT_EQ(Engine.GetEngineVariables().Items("k")->ToString(), "5");
  EXPECT_EQ(Run("(fetch unknown)"), FCNil);
  // Storing nil keeps the name with no value.
  EXPECT_EQ(Show("(store k nil)"), "(none)");
  EXPECT_EQ(Show("(fetch k)"), "(none)");
  // A key held in a variable is the same key for both.
  Run("(bind ?key colour)");
  Run("(store ?key red)");
  EXPECT_EQ(Show("(fetch colour)"), "red");
  EXPECT_EQ(Show("(fetch ?key)"), "red");
  Run("(clear-storage)");
  EXPECT_EQ(Engine.GetEngineVariables().Count(), 0);
  EXPECT_EQ(Run("(fetch colour)"), FCNil);
}

TEST_F(StandardTest, GensymHaltVersionExit) {
  const std::string A = Show("(gensym*)");
  const std::string B = Show("(gensym*)");
  EXPECT_NE(A, B);
  EXPECT_EQ(A.rfind("gen", 0), 0u);
  EXPECT_EQ(B.rfind("gen", 0), 0u);
  EXPECT_EQ(Run("(gensym*)")->GetDType(), dtAtom);

  EXPECT_FALSE(Engine.GetHalt());
  EXPECT_EQ(Show("(halt)"), "TRUE");
  EXPECT_TRUE(Engine.GetHalt());
  EXPECT_EQ(Run("(version)")->GetDType(), dtFloat);
  EXPECT_EQ(Show("(version)"), "2.0000");
  EXPECT_THROW(Run("(exit)"), platform::EAbort);
  EXPECT_EQ(Error("(halt 1)"), "Too many arguments for halt");
}

TEST_F(StandardTest, CallsOutsideAnyContext) {
  EXPECT_EQ(ErrorOf([&] { Run("(bind ?x 1)", nullptr); }),
            "bind error: No context found when trying to resolve a dtFunCall value");
  EXPECT_EQ(ErrorOf([&] { Run("(return 1)", nullptr); }),
            "return error: No context found when trying to resolve a dtFunCall value");
  EXPECT_EQ(ErrorOf([&] { Run("(foreach i (create$ 1) 2)", nullptr); }),
            "foreach error: No context found when trying to resolve a dtFunCall value");
  // Without a context the engine is the one that built the call...
  EXPECT_EQ(Run("(store k 1)", nullptr)->ToString(), "1");
  EXPECT_EQ(Run("(fetch k)", nullptr)->ToString(), "1");
  // ... and without either there is none to use.
  IFunCall Orphan = MakeRef<TFunctionCall>(nullptr, "gensym*");
  Orphan->SetUserFunction(Engine.GetUserFunction("gensym*"));
  IIEValue Result;
  EXPECT_EQ(ErrorOf([&] { Orphan->Execute(nullptr, Result); }), "gensym* error: Unknown/Undefined Inference Engine");
  // Control structures need no context of their own.
  EXPECT_EQ(Run("(if (< 1 2) then (create$ a) else b)", nullptr)->ToString(), "a ");
  EXPECT_EQ(Run("(try (throw x) catch caught)", nullptr)->ToString(), "caught");
}

// ---------------------------------------------------------------------------------------------
// Multifields
// ---------------------------------------------------------------------------------------------

TEST_F(StandardTest, CreateKeepsListsNestedAndCopiesItems) {
  IIEValue L = Run("(create$ 1 (create$ 2 3) 4)");
  ASSERT_EQ(L->GetDType(), dtList);
  ASSERT_EQ(L->GetAsList()->GetValueCount(), 3);
  EXPECT_EQ(L->GetAsList()->Get(1)->GetDType(), dtList);
  EXPECT_EQ(Show("(create$)"), "");
  EXPECT_EQ(Show("(length$ (create$))"), "0");
  EXPECT_EQ(Show("(length$ (create$ 1 (create$ 2 3) 4))"), "3");

  // Results never share items with their inputs.
  Run("(bind ?l (create$ a (create$ b)))");
  IIEValue Copy = Run("(create$ ?l)");
  IIEValue Original = Variable("l");
  const IIEValue& Inner = Copy->GetAsList()->Get(0);
  EXPECT_NE(Inner.get(), Original.get());
  EXPECT_NE(Inner->GetAsList().get(), Original->GetAsList().get());
  Inner->GetAsList()->Get(0)->SetAsAtom("changed");
  EXPECT_EQ(Original->ToString(), "a b  ");
  IIEValue Rest = Run("(rest$ ?l)");
  EXPECT_NE(Rest->GetAsList()->Get(0)->GetAsList().get(), Original->GetAsList()->Get(1)->GetAsList().get());
}

TEST_F(StandardTest, ReadingLists) {
  EXPECT_EQ(Show("(nth$ 0 (create$ a b c))"), "a");
  EXPECT_EQ(Show("(nth$ 2 (create$ a b c))"), "c");
  EXPECT_EQ(Show("(nth$ 1.9 (create$ a b c))"), "b");
  EXPECT_EQ(Error("(nth$ 3 (create$ a b c))"), "List index out of bounds (3)");
  EXPECT_EQ(Error("(nth$ -1 (create$ a b c))"), "List index out of bounds (-1)");
  EXPECT_EQ(Error("(nth$ 1e12 (create$ a b c))"),
            "Integer overflow in nth$: 1000000000000 is outside the 32-bit integer range");
  EXPECT_EQ(Error("(nth$ 0 abc)"), "Not a list type.  Value (abc) is a dtAtom type");
  EXPECT_EQ(Show("(first$ (create$ a b))"), "a");
  EXPECT_EQ(Run("(first$ (create$))"), FCNil);
  EXPECT_EQ(Show("(rest$ (create$ a b c))"), "b c ");
  EXPECT_EQ(Show("(rest$ (create$))"), "");
  EXPECT_EQ(Show("(member$ b (create$ a b b))"), "1");
  EXPECT_EQ(Show("(member$ 1 (create$ 1.0 \"1\"))"), "FALSE");
  EXPECT_EQ(Show("(member$ (create$ b) (create$ a (create$ b)))"), "1");
}

TEST_F(StandardTest, RangesDeleteSubseqReplace) {
  EXPECT_EQ(Show("(delete$ (create$ a b c d) 1 2)"), "a d ");
  EXPECT_EQ(Show("(delete$ (create$ a b c d) 3 10)"), "a b c ");  // past the end selects nothing
  EXPECT_EQ(Error("(delete$ (create$ a b c d) 2 1)"), "Invalid multifield begin and end parameters: 2, 1");
  EXPECT_EQ(Show("(subseq$ (create$ a b c d) 1 2)"), "b c ");
  EXPECT_EQ(Show("(subseq$ (create$ a b c d) 3 3)"), "d ");
  EXPECT_EQ(Error("(subseq$ (create$ a b c d) 2 4)"), "List index out of bounds (4)");
  EXPECT_EQ(Error("(subseq$ (create$ a b c d) -1 1)"), "List index out of bounds (-1)");
  EXPECT_EQ(Error("(subseq$ (create$ a b c d) 3 1)"), "Invalid multifield begin and end parameters: 3, 1");
  EXPECT_EQ(Show("(replace$ (create$ a b c) 1 1 x y)"), "a y x c ");
  EXPECT_EQ(Show("(replace$ (create$ a b c) 0 2 x)"), "x ");
  EXPECT_EQ(Show("(replace$ (create$ a b c) 1 2)"), "a ");
  EXPECT_EQ(Error("(replace$ (create$ a b c) 2 1 x)"), "Invalid multifield begin and end parameters: 2, 1");
  EXPECT_EQ(Error("(replace$ (create$ a b c) 5 6 x)"), "List index out of bounds (6)");
  // A range running past the end is refused, not cut short.
  EXPECT_EQ(Error("(replace$ (create$ a b c) 0 5 x)"), "List index out of bounds (5)");
  EXPECT_EQ(Error("(replace$ (create$ a b c) -1 0 x)"), "List index out of bounds (-1)");
}

TEST_F(StandardTest, InsertAtIndexOrEnd) {
  EXPECT_EQ(Show("(insert$ (create$ a b) 1 x y)"), "a y x b ");
  EXPECT_EQ(Show("(insert$ (create$ a b) 0 x)"), "x a b ");
  EXPECT_EQ(Show("(insert$ (create$ a b) 2 x)"), "a b x ");
  EXPECT_EQ(Show("(insert$ (create$) 0 x)"), "x ");
  EXPECT_EQ(Show("(insert$ (create$ a) 0 (create$ b c))"), "b c  a ");  // one nested item
  EXPECT_EQ(Error("(insert$ (create$ a b) 3 x)"), "List index out of bounds (3)");
  EXPECT_EQ(Error("(insert$ (create$ a b) -1)"), "List index out of bounds (-1)");
  EXPECT_EQ(Error("(insert$ (create$ a b) (tick 9) (tick x))"), "List index out of bounds (9)");
  EXPECT_EQ(Ticks, 1);  // items are not evaluated for a bad index
}

TEST_F(StandardTest, ExplodeAndImplode) {
  IIEValue L = Run("(explode$ \"  red   green \")");
  EXPECT_EQ(L->ToString(), "red green ");
  EXPECT_EQ(L->GetAsList()->Get(0)->GetDType(), dtAtom);
  IIEValue N = Run("(explode$ 42)");
  ASSERT_EQ(N->GetAsList()->GetValueCount(), 1);
  EXPECT_EQ(N->GetAsList()->Get(0)->GetDType(), dtAtom);
  EXPECT_EQ(N->GetAsList()->Get(0)->GetText(), "42");
  EXPECT_EQ(Run("(explode$ \"a 2.5\")")->GetAsList()->Get(1)->GetDType(), dtAtom);
  EXPECT_EQ(Show("(length$ (explode$ \"\"))"), "0");

  IIEValue S = Run("(implode$ (create$ \"a b\" 3))");
  EXPECT_EQ(S->GetDType(), dtString);
  EXPECT_EQ(S->GetText(), "a b 3");
  EXPECT_EQ(Run("(implode$ (create$ x 2.5 (create$ y z)))")->GetText(), "x 2.5000 y z ");
  EXPECT_EQ(Run("(implode$ (create$))")->GetText(), "");
}

TEST_F(StandardTest, SubsetpLooksForAContiguousRun) {
  EXPECT_EQ(Show("(subsetp (create$ b c) (create$ a b c))"), "TRUE");
  EXPECT_EQ(Show("(subsetp (create$ a c) (create$ a b c))"), "FALSE");
  EXPECT_EQ(Show("(subsetp (create$ b a) (create$ a b a))"), "TRUE");
  EXPECT_EQ(Show("(subsetp (create$ c d) (create$ a b c))"), "FALSE");  // would run past the end
  EXPECT_EQ(Show("(subsetp b (create$ a b c))"), "TRUE");
  EXPECT_EQ(Show("(subsetp d (create$ a b c))"), "FALSE");
  EXPECT_EQ(Show("(subsetp (create$) (create$ a))"), "TRUE");
  EXPECT_EQ(Show("(subsetp (create$) (create$))"), "TRUE");
  EXPECT_EQ(Show("(subsetp a (create$))"), "FALSE");
  EXPECT_EQ(Error("(subsetp a b)"), "Not a list type.  Value (b) is a dtAtom type");
}
