#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/language/IETokenizer.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"

using namespace rulecore;
using platform::InMemory;
using platform::MakeRef;
using platform::TObject;

namespace {

// One token as kind and text: "A:a" atom, "S:" string, "I:" integer, "F:" float, "V:" variable,
// "M:" multifield variable, the punctuation character itself, "EOF".
std::string Describe(const TIEStreamToken& T) {
  switch (T.GetDataType()) {
    case dtNone: return T.GetText();
    case dtAtom: return "A:" + T.GetText();
    case dtString: return "S:" + T.GetText();
    case dtInteger: return "I:" + T.ToString();
    case dtFloat: return "F:" + T.ToString();
    case dtVariable: return "V:" + T.GetText();
    case dtMultiVariable: return "M:" + T.GetText();
    default: return T.GetText();
  }
}

// Every token of Text up to and including the end-of-stream token, blank separated.
std::string Scan(const std::string& Text) {
  TIEClipsStream S(InMemory, Text);
  std::string Out;
  for (;;) {
    IStreamToken T = S.NextToken();
    if (!Out.empty()) Out += ' ';
    Out += Describe(*T);
    if (T->GetDataType() == dtNone) return Out;
  }
}

std::vector<IStreamToken> AllTokens(TIEClipsStream& S) {
  std::vector<IStreamToken> Out;
  do Out.push_back(S.NextToken());
  while (Out.back()->GetDataType() != dtNone);
  return Out;
}

class TNumberedSymbols final : public ISymbolGenerator {
 public:
  std::string GenerateSymbol(std::string_view Prefix) override {
    return std::string(Prefix) + std::to_string(++Count);
  }
  int Count = 100;
};

class TVariables final : public TObject, public IValueContext {
 public:
  std::map<std::string, IIEValue, std::less<>> Bound;
  IIEValue FindVariableValue(std::string_view Name) override {
    auto It = Bound.find(Name);
    return It == Bound.end() ? IIEValue() : It->second;
  }
  IIEValue ResolvePatternBinding(const TBindingInfo&) override { return FCNil; }
  const TIEValue* PeekPatternBinding(const TBindingInfo&) override { return FCNil.get(); }
  IIEValue ResolveSingletons(TSingletonsVector&) override { return FCNil; }
};

template <class F>
std::string ParseErrorOf(F&& Action, int* Line = nullptr) {
  try {
    Action();
  } catch (const EIEParseException& E) {
    if (Line) *Line = E.GetLineNumber();
    return E.what();
  }
  return "(no error)";
}

}  // namespace

// =============================================================================================
// Scanning and classification
// =============================================================================================

TEST(TokenizerScan, PunctuationWordsAndCommentsInWhiteSpace) {
  EXPECT_EQ(Scan("(a b)"), "( A:a A:b ) EOF");

  TIEClipsStream S(InMemory, "(a;c\nb)");
  auto T = AllTokens(S);
  ASSERT_EQ(T.size(), 5u);
  EXPECT_EQ(Describe(*T[2]), "A:b");
  EXPECT_EQ(T[2]->GetWhiteSpace(), ";c\r\n");
  EXPECT_EQ(T[1]->GetLineNumber(), 1);
  EXPECT_EQ(T[2]->GetLineNumber(), 2);

  EXPECT_EQ(Scan("a&b|c~d [x] (= 1)"), "A:a & A:b | A:c ~ A:d [ A:x ] ( = I:1 ) EOF");
  EXPECT_EQ(Scan("a\"s\"b"), "A:a S:s A:b EOF");
  EXPECT_EQ(Scan(""), "EOF");
  EXPECT_EQ(Scan("  ; only a comment"), "EOF");
}

TEST(TokenizerScan, WordBoundaries) {
  EXPECT_EQ(Scan("?x<-("), "V:x A:<- ( EOF");
  EXPECT_EQ(Scan("=>"), "= A:> EOF");
  EXPECT_EQ(Scan("<= ?x= a:b a<b"), "A:<= V:x= A:a:b A:a A:<b EOF");
  EXPECT_EQ(Scan("a\\ b"), "A:a b EOF");     // an escaped blank stays in the word
  EXPECT_EQ(Scan("a\\(b"), "A:a(b EOF");     // so does an escaped delimiter
  EXPECT_EQ(Scan("\\a"), "A:\\a EOF");       // the first character is never an escape
  EXPECT_EQ(Scan("ab\\"), "A:ab\\ EOF");     // nothing left to escape: the backslash stays
  EXPECT_EQ(Scan("abc"), "A:abc EOF");       // a word the text ends in
}

TEST(TokenizerScan, NumbersAndSigns) {
  const std::vector<std::pair<const char*, const char*>> Cases = {
      {"-", "A:-"},         {"+", "A:+"},           {".", "A:."},
      {"-5", "I:-5"},       {"+7", "I:7"},          {"007", "I:7"},
      {"-5.5", "F:-5.5000"}, {".5", "F:0.5000"},    {"1.", "F:1.0000"},
      {"1e3", "F:1000.0000"}, {"2.5E-1", "F:0.2500"}, {"1x", "A:1x"},
      {"-x", "A:-x"},       {"1e", "A:1e"},         {"1e+", "A:1e+"},
      {"--5", "A:--5"},     {"-.", "A:-."},         {"-$10", "A:-$10"},
      {"2147483647", "I:2147483647"}, {"-2147483648", "I:-2147483648"},
      {"2147483648", "F:2147483648.0000"}, {"-2147483649", "F:-2147483649.0000"},
      {"99999999999999999999", "F:100000000000000000000.0000"},
      {"1e-400", "F:0.0000"}, {"1e400", "A:1e400"},
  };
  for (const auto& [Text, Expected] : Cases) EXPECT_EQ(Scan(Text), std::string(Expected) + " EOF") << Text;

  TIEClipsStream S(InMemory, "-5 2147483648");
  EXPECT_EQ(S.NextToken()->GetNumber(), -5.0);
  EXPECT_EQ(S.NextToken()->GetNumber(), 2147483648.0);
}

TEST(TokenizerScan, VariablesAndAnonymousWildcards) {
  EXPECT_EQ(Scan("?x $?rest $ $x ?x?y"), "V:x M:rest A:$ A:$x V:x?y EOF");

  TIEClipsStream S(InMemory, "? ? $? $?");
  auto T = AllTokens(S);
  EXPECT_EQ(T[0]->GetDataType(), dtVariable);
  EXPECT_EQ(T[0]->GetText().rfind("_blank_", 0), 0u);
  EXPECT_NE(T[0]->GetText(), T[1]->GetText());
  EXPECT_EQ(T[2]->GetDataType(), dtMultiVariable);
  EXPECT_EQ(T[2]->GetText().rfind("_blank_$", 0), 0u);
  EXPECT_NE(T[2]->GetText(), T[3]->GetText());

  // With the engine's generator the names come from it.
  TNumberedSymbols Symbols;
  TIEClipsStream G(InMemory, "? $?");
  G.SetSymbolGenerator(&Symbols);
  EXPECT_EQ(G.NextToken()->GetText(), "_blank_101");
  EXPECT_EQ(G.NextToken()->GetText(), "_blank_$102");
}

TEST(TokenizerScan, WhiteSpaceTravelsOnPastVariablesAndLoneSigns) {
  TIEClipsStream S(InMemory, "; about x\n?x (f) ; tail\n");
  auto T = AllTokens(S);
  ASSERT_EQ(T.size(), 5u);
  EXPECT_EQ(T[0]->GetWhiteSpace(), "; about x\r\n");
  EXPECT_EQ(T[1]->GetWhiteSpace(), "; about x\r\n ");  // "(" also gets the comment
  EXPECT_EQ(T[2]->GetWhiteSpace(), "");                 // an atom ends the carrying
  EXPECT_EQ(T[4]->GetWhiteSpace(), " ; tail\r\n");     // trailing comments go with the end
}

TEST(TokenizerScan, StringsAndEscapes) {
  EXPECT_EQ(Scan(R"("a\"b")"), "S:a\"b EOF");
  EXPECT_EQ(Scan(R"("a\\b")"), "S:a\\b EOF");
  EXPECT_EQ(Scan(R"("a\nb")"), "S:anb EOF");  // a backslash takes the next character as it is
  EXPECT_EQ(Scan(R"("" ";" "(")"), "S: S:; S:( EOF");

  for (const std::string Break : {"\n", "\r\n", "\r"}) {
    TIEClipsStream S(InMemory, "\"x" + Break + "y\" z");
    IStreamToken Str = S.NextToken();
    EXPECT_EQ(Str->GetText(), "x" + Break + "y");
    EXPECT_EQ(Str->GetLineNumber(), 2);
    EXPECT_EQ(S.NextToken()->GetLineNumber(), 2);
  }
}

TEST(TokenizerScan, UnterminatedStringRaisesOnceThenEndOfStream) {
  for (const char* Text : {"(printout t\n\"abc", "\"abc\\", "\"abc\\\""}) {
    TIEClipsStream S(InMemory, Text);
    int Line = 0;
    std::string Error = ParseErrorOf([&] { AllTokens(S); }, &Line);
    EXPECT_EQ(Error, "Invalid string value, string was not terminated") << Text;
    EXPECT_EQ(Line, Text[0] == '(' ? 2 : 1);  // the line the string starts on
    // The broken expression is dropped; the text is over.
    EXPECT_TRUE(S.NextToken()->IsEndOfStream());
  }
}

TEST(TokenizerScan, LineEndsOfEveryKind) {
  auto Lines = [](const std::string& Text) {
    TIEClipsStream S(InMemory, Text);
    std::string Out;
    for (const IStreamToken& T : AllTokens(S)) Out += std::to_string(T->GetLineNumber()) + " ";
    return Out;
  };
  EXPECT_EQ(Lines("a\nb\nc"), "1 2 3 3 ");
  EXPECT_EQ(Lines("a\rb\rc"), "1 2 3 3 ");
  EXPECT_EQ(Lines("a\r\nb\r\n\r\nc"), "1 2 4 4 ");
  EXPECT_EQ(Lines("a\n\rb\r\r\nc"), "1 3 5 5 ");
  EXPECT_EQ(Lines("a ;c\r\nb ;d\rc ;e\n"), "1 2 3 4 ");
  EXPECT_EQ(Lines("a\\\nb c"), "2 2 2 ");  // an escaped line end still ends a line
  EXPECT_EQ(Lines("a\\\rb\nc"), "2 3 3 ");  // and the LF after "b" is not taken for its pair

  TIEClipsStream S(InMemory, "a\nb");
  S.SetLineNumber(10);
  EXPECT_EQ(S.NextToken()->GetLineNumber(), 10);
  EXPECT_EQ(S.NextToken()->GetLineNumber(), 11);
}

TEST(TokenizerScan, NulAndHighBitBytes) {
  const std::string Text("a\0b \xE9t\xE9 \"\xFF\0\"", 13);
  TIEClipsStream S(InMemory, Text);
  auto T = AllTokens(S);
  ASSERT_EQ(T.size(), 5u);
  EXPECT_EQ(T[0]->GetText(), "a");  // NUL is white space
  EXPECT_EQ(T[1]->GetText(), "b");
  EXPECT_EQ(T[2]->GetText(), "\xE9t\xE9");  // high-bit bytes are word characters
  EXPECT_EQ(T[2]->GetDataType(), dtAtom);
  EXPECT_EQ(T[3]->GetText(), std::string("\xFF\0", 2));
  EXPECT_EQ(T[1]->GetWhiteSpace(), std::string(1, '\0'));
}

TEST(TokenizerScan, HostileSizes) {
  const std::string Long(1 << 20, 'w');
  EXPECT_EQ(Scan(Long + " x"), "A:" + Long + " A:x EOF");
  EXPECT_EQ(Scan("\"" + Long + "\""), "S:" + Long + " EOF");

  // Deep nesting: the look-ahead reads it without recursion.
  constexpr int Depth = 100000;
  const std::string Nested = std::string(Depth, '(') + "x" + std::string(Depth, ')');
  TIEClipsStream S(InMemory, Nested + " (next)");
  EXPECT_EQ(S.Head(), "");
  int Count = 0, MaxDepth = 0;
  while (true) {
    IStreamToken T = S.NextToken();
    ++Count;
    MaxDepth = std::max(MaxDepth, S.GetParenthesisDepth());
    if (S.GetParenthesisDepth() == 0) break;
  }
  EXPECT_EQ(Count, 2 * Depth + 1);
  EXPECT_EQ(MaxDepth, Depth);
  EXPECT_EQ(S.Head(), "next");

  // The text ending inside deep nesting.
  TIEClipsStream Open(InMemory, std::string(Depth, '('));
  Open.NextToken();
  Open.MoveToNextConstruct();
  EXPECT_EQ(Open.GetParenthesisDepth(), 0);
  EXPECT_TRUE(Open.NextToken()->IsEndOfStream());
}

TEST(TokenizerScan, EndOfStreamForAsLongAsAsked) {
  TIEClipsStream S(InMemory, "a");
  EXPECT_EQ(S.NextToken()->GetText(), "a");
  for (int I = 0; I < 1000; ++I) {
    IStreamToken T = S.NextToken();
    ASSERT_TRUE(T->IsEndOfStream());
    EXPECT_EQ(T->GetLineNumber(), 1);
  }
  EXPECT_EQ(S.ToString(), "EOF ");  // the record does not grow
  EXPECT_EQ(S.GetParenthesisDepth(), 0);
}

TEST(TokenizerScan, ReadsFromAHostStream) {
  std::istringstream Source("(deffacts f\r\n  (a 1.5))");
  TIEClipsStream S(Source);
  std::string Out;
  for (const IStreamToken& T : AllTokens(S)) Out += Describe(*T) + "@" + std::to_string(T->GetLineNumber()) + " ";
  EXPECT_EQ(Out, "(@1 A:deffacts@1 A:f@1 (@2 A:a@2 F:1.5000@2 )@2 )@2 EOF@2 ");
}

// =============================================================================================
// Tokens
// =============================================================================================

TEST(StreamToken, TextForms) {
  auto Token = [](int32_t Kind, std::string Text, double Number = 0) {
    return TIEStreamToken(Kind, std::move(Text), 1, Number).ToString();
  };
  EXPECT_EQ(Token(dtString, "hi"), "\\\"hi\"\\");
  EXPECT_EQ(Token(dtInteger, "007", 7), "7");
  EXPECT_EQ(Token(dtInteger, "", 1e12), "1000000000000");
  EXPECT_EQ(Token(dtFloat, ".5", 0.5), "0.5000");
  EXPECT_EQ(Token(dtVariable, "x"), "?x");
  EXPECT_EQ(Token(dtMultiVariable, "x"), "$?x");
  EXPECT_EQ(Token(dtAtom, "abc"), "abc");
  EXPECT_EQ(Token('(', ""), "(");
  EXPECT_EQ(Token('(', "("), "(");
}

TEST(StreamToken, EqualityAssignAndClone) {
  TIEStreamToken A(dtInteger, "5", 3, 5), B(dtInteger, "+5", 3, 5);
  EXPECT_TRUE(A.Equals(&B));  // the text is not compared
  EXPECT_EQ(A.GetHashCode(), B.GetHashCode());
  EXPECT_FALSE(A.Equals(&*MakeRef<TIEStreamToken>(dtInteger, "5", 4, 5)));
  EXPECT_FALSE(A.Equals(&*MakeRef<TIEStreamToken>(dtFloat, "5", 3, 5)));
  EXPECT_FALSE(A.Equals(&*NewInteger(5)));
  EXPECT_EQ(TIEStreamToken(dtFloat, "", 1, 0.0).GetHashCode(), TIEStreamToken(dtFloat, "", 1, -0.0).GetHashCode());

  TIEStreamToken Source(dtAtom, "abc", 7);
  Source.SetTag(42);
  Source.SetWhiteSpace("; c\r\n");
  IStreamToken Copy = Source.Clone();
  EXPECT_TRUE(Copy->Equals(&Source));
  EXPECT_EQ(Copy->GetText(), "abc");
  EXPECT_EQ(Copy->GetTag(), 42);
  EXPECT_EQ(Copy->GetWhiteSpace(), "");  // white space belongs to the place in the text
  EXPECT_THROW(Copy->Assign(static_cast<const platform::TPersistent&>(*NewAtom("x"))), platform::EConvertError);
}

TEST(StreamToken, Values) {
  auto ValueOf = [](int32_t Kind, std::string Text, double Number = 0) {
    return TIEStreamToken(Kind, std::move(Text), 1, Number).Value();
  };
  EXPECT_EQ(ValueOf(dtAtom, "TRUE"), FCTrue);
  EXPECT_EQ(ValueOf(dtAtom, "FALSE"), FCFalse);
  for (const char* Nil : {"nil", "NIL", "Nil"}) EXPECT_EQ(ValueOf(dtAtom, Nil), FCNil) << Nil;
  IIEValue True = ValueOf(dtAtom, "true");  // the shared atoms match case-sensitively
  EXPECT_NE(True, FCTrue);
  EXPECT_EQ(True->GetDType(), dtAtom);
  EXPECT_EQ(ValueOf(dtNone, "EOF"), FCEOF);

  struct TCase {
    int32_t Kind;
    const char* Text;
    double Number;
    TIEType ValueKind;
    const char* ValueText;
  };
  for (const TCase& C : std::initializer_list<TCase>{
           {dtAtom, "abc", 0, dtAtom, "abc"},
           {dtString, "a b", 0, dtString, "a b"},
           {dtInteger, "-5", -5, dtInteger, "-5"},
           {dtFloat, "2.5", 2.5, dtFloat, "2.5000"},
           {dtVariable, "x", 0, dtVariable, "x"},
           {dtMultiVariable, "r", 0, dtMultiVariable, "r"},
           {dtFactId, "", 3, dtFactId, "<Fact-3>"},
           {'(', "(", 0, dtString, "40"},
           {'~', "~", 0, dtString, "126"},
       }) {
    IIEValue V = ValueOf(C.Kind, C.Text, C.Number);
    EXPECT_EQ(V->GetDType(), C.ValueKind) << C.Text;
    const std::string Text = IEStringTypes.Contains(V->GetDType()) ? std::string(V->GetText()) : V->ToString();
    EXPECT_EQ(Text, C.ValueText) << C.Text;
  }
  // A number no 32-bit integer holds is not wrapped into one.
  EXPECT_THROW(ValueOf(dtInteger, "", 1e12), EIEException);
}

TEST(StreamToken, ValueInAContext) {
  TVariables Context;
  Context.Bound["x"] = NewInteger(7);
  TIEStreamToken X(dtVariable, "x", 1), Y(dtMultiVariable, "y", 1), A(dtAtom, "x", 1);
  EXPECT_EQ(X.Value(&Context), Context.Bound["x"]);
  EXPECT_EQ(A.Value(&Context)->GetDType(), dtAtom);
  try {
    Y.Value(&Context);
    FAIL() << "an unbound variable resolved";
  } catch (const EIEException& E) {
    EXPECT_STREQ(E.what(), "Unknown variable name: y");
  }
  // No context, or an object that is not one: the variable itself.
  TObject NotAContext;
  EXPECT_EQ(X.Value(nullptr)->GetDType(), dtVariable);
  EXPECT_EQ(Y.Value(&NotAContext)->GetDType(), dtMultiVariable);
}

TEST(StreamToken, SetValueRoundTrips) {
  TIEStreamToken T;
  for (const IIEValue& V : {NewAtom("a"), NewString("s t"), NewInteger(-4), NewFloat(1.25), NewValue("v", dtVariable),
                            NewValue("m", dtMultiVariable), IIEValue(MakeRef<TIEValue>(9, dtFactId))}) {
    T.SetValue(V);
    EXPECT_EQ(T.GetDataType(), V->GetDType());
    EXPECT_TRUE(T.Value()->Equals(V)) << V->ToString();
  }
  // Payloads that are neither text nor number come back intact, never rebuilt from a number.
  TObject Object;
  IIEValue ObjectValue = MakeRef<TIEValue>(&Object, false);
  T.SetValue(ObjectValue);
  EXPECT_EQ(T.GetDataType(), dtObject);
  EXPECT_EQ(T.Value()->GetAsObject(), &Object);
  IValueVector List = MakeRef<TValueVector>();
  T.SetValue(IIEValue(MakeRef<TIEValue>(List)));
  EXPECT_EQ(T.Value()->GetAsList(), List);

  TIEStreamToken Forged(dtObject, "", 1, 12345);
  EXPECT_THROW(Forged.Value(), EIEException);
  EXPECT_EQ(TIEStreamToken(dtObject, "", 1, 0).Value()->GetAsObject(), nullptr);
}

// =============================================================================================
// Look-ahead, record and recovery
// =============================================================================================

TEST(TokenizerLookAhead, FinishTokenHints) {
  TIEClipsStream S(InMemory, "");
  S.SetLineNumber(4);
  EXPECT_EQ(Describe(*S.FinishToken(HintCRLF, "")), "A:CRLF");
  EXPECT_EQ(Describe(*S.FinishToken(HintEndOfStream, "")), "EOF");
  EXPECT_EQ(Describe(*S.FinishToken(HintEndOfStream, "12")), "I:12");
  EXPECT_EQ(Describe(*S.FinishToken(HintString, "q")), "S:q");
  EXPECT_EQ(Describe(*S.FinishToken('|', "")), "|");
  int Line = 0;
  EXPECT_EQ(ParseErrorOf([&] { S.FinishToken('a', "a"); }, &Line), "Invalid Token hint for parsing token: 97");
  EXPECT_EQ(Line, 4);
}

TEST(TokenizerLookAhead, RecordsTheExpressionAndPutBackUndoes) {
  TIEClipsStream S(InMemory, "(defrule r\n  (a \"s\") => )\n(next)");
  std::vector<IStreamToken> Read;
  for (int I = 0; I < 10; ++I) Read.push_back(S.NextToken());
  EXPECT_EQ(S.ToString(), "( defrule r \r\n( a \\\"s\"\\ ) = > ) ");
  EXPECT_EQ(S.GetParenthesisDepth(), 0);

  S.PutBackToken(Read[9]);
  S.PutBackToken(Read[8]);
  EXPECT_EQ(S.ToString(), "( defrule r \r\n( a \\\"s\"\\ ) = ");
  EXPECT_EQ(S.GetParenthesisDepth(), 1);
  EXPECT_EQ(S.GetCurrentToken(), Read[7]);
  EXPECT_EQ(S.NextToken(), Read[8]);
  EXPECT_EQ(S.NextToken(), Read[9]);
  EXPECT_EQ(S.GetParenthesisDepth(), 0);

  // The next expression starts a new record.
  EXPECT_EQ(S.Head(), "next");
  EXPECT_EQ(S.NextToken()->GetText(), "(");
  EXPECT_EQ(S.ToString(), "( ");
  // Putting back the first token of a line also takes back its line break.
  S.PutBackToken(S.GetCurrentToken());
  EXPECT_EQ(S.ToString(), "");
  S.NextToken();
  S.NextToken();
  EXPECT_EQ(S.ToString(), "( next ");
}

TEST(TokenizerLookAhead, LongExpressionKeepsTokensRecordAndIdentity) {
  // Far more tokens than the tokenizer keeps as objects: every kind of word, white space with a
  // comment, numbers whose text is not their shortest form, and tokens the reader holds on to.
  std::string Text = "(deffacts big ; note\n";
  std::string Expected = "( deffacts big ";
  std::string Words;
  for (int I = 0; I < 300; ++I) {
    Text += "  (f" + std::to_string(I) + " " + std::to_string(I - 150) + " 1.50 -0 \"q" + std::to_string(I) +
            "\" ?v $?m " + "007 ?)\n";
    Expected += "\r\n( f" + std::to_string(I) + " " + std::to_string(I - 150) + " 1.5000 0 \\\"q" +
                std::to_string(I) + "\"\\ ?v $?m 7 ?_blank_" + std::to_string(I + 1) + " ) ";
  }
  Text += ")\n(next)";
  Expected += "\r\n) ";
  TIEClipsStream S(InMemory, Text);
  S.SetSymbolGenerator(nullptr);
  std::vector<IStreamToken> Held;
  std::vector<std::string> Seen;
  IStreamToken T;
  int Count = 0;
  do {
    T = S.NextToken();
    ++Count;
    if (Count % 97 == 0) Held.push_back(T);
    Seen.push_back(T->ToString() + "@" + std::to_string(T->GetLineNumber()) + "#" + T->GetWhiteSpace());
  } while (S.GetParenthesisDepth() > 0);
  EXPECT_EQ(Count, 3 + 300 * 11 + 1);
  EXPECT_EQ(Seen[3], "(@2# ; note\r\n  ");  // the comment travels with the next token
  EXPECT_EQ(Seen[5], "-150@2# ");
  EXPECT_EQ(Seen[6], "1.5000@2# ");
  EXPECT_EQ(Seen[7], "0@2# ");
  EXPECT_EQ(S.ToString(), Expected);
  // The current token is the same object however often it is asked for, and it can be put back.
  IStreamToken Current = S.GetCurrentToken();
  EXPECT_EQ(Current, T);
  EXPECT_EQ(S.GetCurrentToken(), Current);
  T.Reset();
  Current.Reset();
  IStreamToken Again = S.GetCurrentToken();
  EXPECT_TRUE(Again->Is(')'));
  EXPECT_EQ(S.GetCurrentToken(), Again);
  S.PutBackToken(Again);
  EXPECT_EQ(S.ToString(), Expected.substr(0, Expected.size() - 4));
  EXPECT_EQ(S.GetParenthesisDepth(), 1);
  EXPECT_EQ(S.NextToken(), Again);
  // Tokens held by the reader keep their own text and line.
  for (const IStreamToken& H : Held) EXPECT_FALSE(H->ToString().empty());
  EXPECT_EQ(Held[0]->ToString() + "@" + std::to_string(Held[0]->GetLineNumber()), Seen[96].substr(0, Seen[96].find('#')));
  EXPECT_EQ(S.Head(), "next");
  EXPECT_EQ(S.ToString(), "");
}

TEST(TokenizerLookAhead, HeadPeeksWithoutConsuming) {
  auto HeadOf = [](const std::string& Text) {
    TIEClipsStream S(InMemory, Text);
    std::string H = S.Head();
    EXPECT_EQ(S.GetParenthesisDepth(), 0);
    EXPECT_EQ(S.ToString(), "") << Text;
    EXPECT_EQ(Scan(Text), [&] {
      std::string Out;
      for (const IStreamToken& T : AllTokens(S)) Out += (Out.empty() ? "" : " ") + Describe(*T);
      return Out;
    }()) << Text;
    return H;
  };
  EXPECT_EQ(HeadOf("(defrule r)"), "defrule");
  EXPECT_EQ(HeadOf("(?x)"), "x");
  EXPECT_EQ(HeadOf("(= 1 1)"), "=");
  EXPECT_EQ(HeadOf("(\"s\")"), "");
  EXPECT_EQ(HeadOf("(("), "");
  EXPECT_EQ(HeadOf("atom"), "");
  EXPECT_EQ(HeadOf(""), "");
}

TEST(TokenizerLookAhead, MoveToNextConstructRecovers) {
  TIEClipsStream S(InMemory, "(a (b c) d) (next)");
  S.NextToken();
  S.NextToken();
  S.NextToken();
  EXPECT_EQ(S.GetParenthesisDepth(), 2);
  S.MoveToNextConstruct();
  EXPECT_EQ(S.GetParenthesisDepth(), 0);
  EXPECT_EQ(S.Head(), "next");

  // More ")" than "(": nothing to skip, and the depth is whole again.
  TIEClipsStream Stray(InMemory, ") (x)");
  Stray.NextToken();
  EXPECT_EQ(Stray.GetParenthesisDepth(), -1);
  Stray.MoveToNextConstruct();
  EXPECT_EQ(Stray.GetParenthesisDepth(), 0);
  EXPECT_EQ(Stray.Head(), "x");
}

TEST(TokenizerLookAhead, ClearDropsLookAheadAndRecord) {
  TIEClipsStream S(InMemory, "(a b)\n(c)");
  S.NextToken();
  S.Clear();
  EXPECT_EQ(S.ToString(), "");
  EXPECT_EQ(S.GetParenthesisDepth(), 0);
  EXPECT_EQ(S.Head(), "c");
}

TEST(TokenizerLines, DiscardUntilEOLKeepsTheNextLine) {
  TIEClipsStream S(InMemory, "1 2 3\n4 5\n");
  EXPECT_EQ(S.NextToken()->GetText(), "1");
  S.DiscardUntilEOL();
  EXPECT_EQ(S.NextToken()->GetText(), "4");

  // A token that ends its line leaves nothing of the line to drop.
  TIEClipsStream T(InMemory, "42\n(printout t)\n");
  EXPECT_EQ(T.NextToken()->GetText(), "42");
  T.DiscardUntilEOL();
  EXPECT_EQ(T.GetLine(), "(printout t)");

  // Tokens read ahead from the same line go; those of later lines stay.
  TIEClipsStream U(InMemory, "(a ; x\nb) c\nd");
  EXPECT_EQ(U.NextToken()->GetText(), "(");
  U.DiscardUntilEOL();
  EXPECT_EQ(U.NextToken()->GetText(), "b");
  EXPECT_EQ(U.NextToken()->GetText(), ")");
  U.DiscardUntilEOL();
  EXPECT_EQ(U.NextToken()->GetText(), "d");

  // With nothing read yet, the first line goes.
  TIEClipsStream V(InMemory, "skip me\r\nkeep");
  V.DiscardUntilEOL();
  IStreamToken Keep = V.NextToken();
  EXPECT_EQ(Keep->GetText(), "keep");
  EXPECT_EQ(Keep->GetLineNumber(), 2);
}

TEST(TokenizerLines, CharactersAndLinesKeepTheCount) {
  TIEClipsStream S(InMemory, "x\r\ny\nz");
  EXPECT_EQ(S.GetLine(), "x");
  EXPECT_EQ(S.GetLineNumber(), 2);
  EXPECT_EQ(S.GetChar(), 'y');
  EXPECT_EQ(S.GetChar(), '\n');
  EXPECT_EQ(S.GetLineNumber(), 3);
  S.PutBackChar('\n');
  EXPECT_EQ(S.GetLineNumber(), 2);
  EXPECT_EQ(S.GetChar(), '\n');
  IStreamToken Z = S.NextToken();
  EXPECT_EQ(Z->GetText(), "z");
  EXPECT_EQ(Z->GetLineNumber(), 3);

  // A CR read alone: its LF is part of the same line end.
  TIEClipsStream C(InMemory, "\r\nrest\nnext");
  EXPECT_EQ(C.GetChar(), '\r');
  EXPECT_EQ(C.GetLine(), "rest");
  EXPECT_EQ(C.GetLineNumber(), 3);
  EXPECT_EQ(C.GetChar(), 'n');
  C.PutBackChar('n');
  C.PutBackChar('\n');  // put back across the line end: LF after text counts again
  EXPECT_EQ(C.GetLineNumber(), 2);
}

namespace {

// A tokenizer that makes its own tokens from the base class's: words come out in capitals.
class TShoutingStream final : public TIEClipsStream {
 public:
  using TIEClipsStream::TIEClipsStream;
  IStreamToken FinishToken(int Hint, std::string_view Text) override {
    IStreamToken Token = TIEClipsStream::FinishToken(Hint, Text);
    if (Token->GetDataType() == dtAtom) {
      std::string Upper(Token->GetText());
      for (char& C : Upper) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
      Token->SetText(Upper);
    }
    return Token;
  }
};

}  // namespace

TEST(TokenizerLookAhead, DerivedTokenizerMakesItsOwnTokensWhileReadingAhead) {
  TShoutingStream S(InMemory, "(deffacts x (a 1 b)) (c)");
  std::string Out;
  for (const IStreamToken& T : AllTokens(S)) Out += (Out.empty() ? "" : " ") + Describe(*T);
  EXPECT_EQ(Out, "( A:DEFFACTS A:X ( A:A I:1 A:B ) ) ( A:C ) EOF");
}
