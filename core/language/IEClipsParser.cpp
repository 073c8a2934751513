#include "IEClipsParser.h"

#include <algorithm>

#include "IEPrettyPrinter.h"
#include "ParserHost.h"
#include "core/facts/FactSet.h"
#include "core/network/IEContext.h"
#include "core/functions/IEFunctionCall.h"
#include "core/network/IERule.h"
#include "core/values/ValueVector.h"
#include "fuzzy/FuzzySet.h"
#include "platform/Format.h"
#include "platform/StackGuard.h"

namespace rulecore {

// =============================================================================================
// TIEParser
// =============================================================================================

TIEParser::TIEParser(platform::TComponent* Owner)
    : TComponent(Owner), Engine_(EngineOf(Owner)), Host_(dynamic_cast<IParserHost*>(Owner)) {}

void TIEParser::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TIEParser*>(&Source);
  if (!From) return TComponent::Assign(Source);
  StrictTemplates_ = From->StrictTemplates_;
  StaticTypeCheck_ = From->StaticTypeCheck_;
  ErrorHandling_ = From->ErrorHandling_;
  MaxErrors_ = From->MaxErrors_;
}

TIEClipsStream& TIEParser::Stream() const {
  if (!Stream_) RaiseIE(SNoParser);
  return *Stream_;
}

IParserHost& TIEParser::Host() const {
  if (!Host_) RaiseIE(SUnknownEngine);
  return *Host_;
}

platform::TComponent* TIEParser::EngineComponent() const {
  if (!Engine_) RaiseIE(SUnknownEngine);
  return ComponentOf(Engine_);
}

std::size_t TIEParser::StackReserve() const noexcept {
  return Engine_ ? Reasoner()->GetStackReserveBytes() : 0;
}

void TIEParser::ParseError(std::string_view Where, std::string_view Message) const {
  std::string Text;
  int32_t Line = 0;
  if (Stream_) {
    Text = Stream_->ToString();
    Line = Stream_->GetCurrentToken()->GetLineNumber();
  }
  // Long expressions are quoted by their beginning and their end.
  if (Text.size() >= 256) Text = Text.substr(0, 128) + "... \r\n" + Text.substr(Text.size() - 128);
  throw EIEParseException(FormatMessage(SParseError, {Message, Where, std::to_string(Line), Text}), Line);
}

// =============================================================================================
// Tokens
// =============================================================================================

namespace {

// Nesting in the text is recursion here: each level checks the stack against the engine's reserve.
bool StackNearlyExhausted(std::size_t Reserve) noexcept { return platform::StackNearlyExhausted(Reserve); }

constexpr std::string_view WParse = "Parse";
constexpr std::string_view WParseExpression = "ParseExpression";
constexpr std::string_view WParseRule = "ParseRule";
constexpr std::string_view WParsePatterns = "ParseRulePatterns";
constexpr std::string_view WParseActions = "ParseRuleActions";
constexpr std::string_view WParsePattern = "ParsePattern";
constexpr std::string_view WParseTemplate = "ParseFactTemplate";
constexpr std::string_view WParseTemplateSlot = "ParseFactTemplateSlot";
constexpr std::string_view WParseFactSet = "ParseFactSet";
constexpr std::string_view WParseFact = "ParseFact";
constexpr std::string_view WParseFactSlot = "ParseValue(Fact Slot)";
constexpr std::string_view WParseFunction = "ParseFunction";
constexpr std::string_view WParseGlobals = "ParseGlobalVariables";
constexpr std::string_view WParseDefinedType = "ParseDefinedType";
constexpr std::string_view WParseSlotTypes = "ParseSlotTypes";
constexpr std::string_view WParseRange = "ParseRangeAndCardinality";
constexpr std::string_view WParseAllowed = "ParseAllowedEnumerations";
constexpr std::string_view WParseFunCall = "ParseFunCall";
constexpr std::string_view WParseValue = "ParseValue";
constexpr std::string_view WParseValuePair = "ParseValuePair";
constexpr std::string_view WParseList = "ParseList";
constexpr std::string_view WParsePoints = "ParseFuzzyPoints";
constexpr std::string_view WParseFuzzySet = "ParseFuzzySet";
constexpr std::string_view WParseFuzzyVariable = "ParseFuzzyVariable";
constexpr std::string_view WParseHeader = "ParseHeader";

bool IsKind(const IStreamToken& T, TIEType Kind) { return T->GetDataType() == Kind; }
bool IsAtom(const IStreamToken& T) { return IsKind(T, dtAtom); }
bool IsAtom(const IStreamToken& T, std::string_view Text) { return IsAtom(T) && T->GetText() == Text; }
bool IsVariable(const IStreamToken& T) { return IsKind(T, dtVariable) || IsKind(T, dtMultiVariable); }
bool IsConstant(const IStreamToken& T) {
  return IsKind(T, dtAtom) || IsKind(T, dtString) || IsKind(T, dtInteger) || IsKind(T, dtFloat);
}
bool IsPunctuation(const IStreamToken& T) { return T->GetDataType() > static_cast<int32_t>(IETypeCount); }
bool StartsWith(std::string_view Text, std::string_view Prefix) {
  return Text.size() >= Prefix.size() && Text.compare(0, Prefix.size(), Prefix) == 0;
}
IIEValue CallValue(const IFunCall& Call) { return platform::MakeRef<TIEValue>(Call); }

}  // namespace

TIEClipsParser::TIEClipsParser(platform::TComponent* Owner) : TIEParser(Owner) {
  AddSlotFunction("assert", 0, 0);
  AddSlotFunction("fuzzy-assert", 0, 0);
  AddSlotFunction("fuzzy-assert-unconditional", 0, 0);
  AddSlotFunction("modify", 1, 65535);
  AddSlotFunction("duplicate", 1, 65535);
}

void TIEClipsParser::AddSlotFunction(const std::string& Name, int Start, int End) {
  SlotFunctions_.push_back({Name, Start, End == 0 ? 65535 : End});
}

const TIEClipsParser::TSlotFunction* TIEClipsParser::FindSlotFunction(std::string_view Name) const noexcept {
  for (const TSlotFunction& F : SlotFunctions_)
    if (F.Name == Name) return &F;
  return nullptr;
}

IStreamToken TIEClipsParser::Next() { return Stream().NextToken(); }

void TIEClipsParser::Back(const IStreamToken& Token) { Stream().PutBackToken(Token); }

void TIEClipsParser::ExpectClose(std::string_view Where) {
  const IStreamToken T = Next();
  if (!T->Is(')')) {
    Back(T);
    ParseError(Where, MessageText(SMissingCloseParens));
  }
}

IIEValue TIEClipsParser::TokenValue(const IStreamToken& Token) {
  if (Variables_ && IsVariable(Token)) {
    auto It = Variables_->find(Token->GetText());
    if (It != Variables_->end()) return NewValue(Token->GetText(), It->second);
  }
  return Token->Value();
}

std::string TIEClipsParser::GetSyntaxStatement(const TIEUserFunction& Function) { return SyntaxStatement(Function); }

// =============================================================================================
// The canonical text
// =============================================================================================

std::string TIEClipsParser::PrettyPrint(const TFactSet& Set) const { return rulecore::PrettyPrint(Set); }
std::string TIEClipsParser::PrettyPrint(const TFact& Fact) const { return rulecore::PrettyPrint(Fact); }
std::string TIEClipsParser::PrettyPrint(const TFact& Fact, std::string_view SlotName) const {
  return PrettyPrintSlotValue(Fact, SlotName);
}
std::string TIEClipsParser::PrettyPrint(const TFactTemplate& Template, std::string_view SlotName,
                                        std::string_view ValueText) const {
  return PrettyPrintSlotValue(Template, SlotName, ValueText);
}
std::string TIEClipsParser::PrettyPrint(const TFactSlot& Slot) const { return rulecore::PrettyPrint(Slot); }
std::string TIEClipsParser::PrettyPrint(const TFactTemplate& Template) const { return rulecore::PrettyPrint(Template); }
std::string TIEClipsParser::PrettyPrint(const TFunctionCall& Call) const {
  return rulecore::PrettyPrint(Call, Call.GetName() == "modify" || Call.GetName() == "duplicate");
}
std::string TIEClipsParser::PrettyPrint(const vaguecore::TIFuzzySet& Set, bool WithTerm) const {
  return rulecore::PrettyPrint(Set, WithTerm);
}
std::string TIEClipsParser::PrettyPrint(const vaguecore::TIFuzzyVariable& Variable) const {
  return rulecore::PrettyPrint(Variable);
}
std::string TIEClipsParser::PrettyPrint(const TRule& Rule) const { return rulecore::PrettyPrint(Rule); }
std::string TIEClipsParser::PrettyPrint(const TRule& Rule, TRuleConstruct Part) const {
  return rulecore::PrettyPrint(Rule, Part);
}
std::string TIEClipsParser::PrettyPrint(const TIEPattern& Pattern) const {
  return rulecore::PrettyPrint(Pattern);
}
std::string TIEClipsParser::PrettyPrint(const TSingletonsVector& Vector) const { return rulecore::PrettyPrint(Vector); }
std::string TIEClipsParser::PrettyPrint(const TIEUserFunction& Function) const {
  return rulecore::PrettyPrint(Function, GetSyntaxStatement(Function));
}
std::string TIEClipsParser::PrettyPrint(const TInterpretedFunction& Function) const {
  return rulecore::PrettyPrint(Function);
}
std::string TIEClipsParser::PrettyPrint(std::string_view GlobalName, const IIEValue& Value) const {
  return PrettyPrintGlobalVariable(GlobalName, Value);
}
std::string TIEClipsParser::PrettyPrint(const TValueHashTable& Globals) const {
  return PrettyPrintGlobalVariables(Globals);
}
std::string TIEClipsParser::PrettyPrint(const TIEDefinedType& Type) const { return rulecore::PrettyPrint(Type); }

std::string TIEClipsParser::GenerateSymbol(std::string_view Prefix) { return Host().GenerateSymbol(Prefix); }

// =============================================================================================
// Top level
// =============================================================================================

bool TIEClipsParser::ParseExpression(bool Execute) {
  const IStreamToken T = Next();
  TParsedType Kind = ptNone;
  if (T->IsEndOfStream()) {
    Kind = ptEOF;
  } else if (IsConstant(T) && !IsKind(T, dtString)) {
    Kind = ptValue;
  } else if (IsVariable(T)) {
    Kind = ptValue;
  } else if (T->Is('(')) {
    const IStreamToken Head = Next();
    Kind = ptFunCall;
    if (IsAtom(Head)) {
      const std::string& H = Head->GetText();
      if (H == "defrule") Kind = ptRule;
      else if (H == "deffacts") Kind = ptFactSet;
      else if (H == "deftemplate") Kind = ptFactTemplate;
      else if (H == "deffunction") Kind = ptFunction;
      else if (H == "defglobal") Kind = ptGlobals;
      else if (H == "deftype") Kind = ptDefType;
    }
    Back(Head);
    Back(T);
  } else {
    ParseError(WParseExpression, FormatMessage(SExpectedParenConstVar, {T->ToString()}));
  }

  IParserHost& E = Host();
  IIEValue Result = FCNil;
  platform::TObject* Parsed = nullptr;
  // A construct that fails leaves the engine as it found it: the templates its patterns and
  // facts implied on the way go again (nothing else can use them yet).
  const bool Construct = Kind != ptEOF && Kind != ptValue && Kind != ptFunCall;
  std::vector<std::string> Implied;
  if (Construct) Implied_ = &Implied;
  struct TStopRecording {
    std::vector<std::string>*& Slot;
    ~TStopRecording() { Slot = nullptr; }
  } StopRecording{Implied_};
  try {
  switch (Kind) {
    case ptEOF:
      Result = FCEOF;
      break;
    case ptValue:
      Result = T->Value(E.GetContext());
      break;
    case ptFunCall:
      Result = Execute ? ParseNExecuteFunCall() : CallValue(ParseFunCall());
      break;
    case ptRule: {
      TRule* Rule = ParseRule();
      Parsed = Rule;
      try {
        E.AddParsedRule(Rule);
      } catch (...) {
        delete Rule;
        throw;
      }
      break;
    }
    case ptFactSet: {
      TFactSet* Set = ParseFactSet();
      Parsed = Set;
      Set->SetEngineNoParse(GetEngine());
      break;
    }
    case ptFactTemplate:
      E.AddParsedFactTemplate(ParseFactTemplate());
      break;
    case ptFunction:
      ParseFunction()->AddReasoner(Reasoner());
      break;
    case ptGlobals:
      ParseGlobalVariables();
      break;
    case ptDefType:
      E.AddParsedDefinedType(ParseDefinedType());
      break;
    default:
      break;
  }
  } catch (...) {
    Implied_ = nullptr;
    for (auto Name = Implied.rbegin(); Name != Implied.rend(); ++Name)
      if (E.FindFactTemplate(*Name)) E.RemoveParsedFactTemplate(*Name);
    throw;
  }
  if (Kind == ptEOF) return false;
  if (Result && Result != FCNil && (Kind == ptValue || Kind == ptFunCall)) {
    E.PrintOut(std::string(), Result->ToString() + std::string(NewLineString));
    if (OnParse) OnParse(this, Kind, nullptr, Result);
  } else if (OnParse) {
    OnParse(this, ptNone, Parsed, nullptr);
  }
  // Only the end of the text ends it: a command whose answer is EOF (a readline at the end of
  // a file) must not silently drop the commands after it.
  return true;
}

void TIEClipsParser::Parse(bool Execute) {
  if (GetErrorHandling() == ehRaiseImmediate) {
    while (ParseExpression(Execute)) {
    }
    return;
  }
  std::vector<std::string> Errors;
  int32_t LastLine = 0;
  for (;;) {
    try {
      // The caller's choice holds here too: a parse-only pass must not run the calls it reads.
      if (!ParseExpression(Execute)) break;
      continue;
    } catch (const EIEParseException& Error) {
      Errors.push_back(Error.what());
      LastLine = Error.GetLineNumber();
    } catch (const platform::EAbort&) {
      break;
    } catch (const std::exception& Error) {
      LastLine = Stream().GetCurrentToken()->GetLineNumber();
      Errors.push_back(FormatMessage(SParseError, {Error.what(), WParse, std::to_string(LastLine), Stream().ToString()}));
    }
    if (static_cast<int32_t>(Errors.size()) > GetMaxErrors()) break;
    Stream().MoveToNextConstruct();
  }
  if (Errors.empty()) return;
  if (Errors.size() == 1) throw EIEParseException(Errors.front(), LastLine);
  std::string All;
  for (const std::string& E : Errors) {
    if (!All.empty()) All += NewLineString;
    All += E;
  }
  throw EIEParseException(FormatMessage(SMultipleParseError, {All}), LastLine);
}

IIEValue TIEClipsParser::ParseNExecuteFunCall() {
  const IFunCall Call = ParseFunCall();
  IIEValue Result;
  Call->Execute(Host().GetContext(), Result);
  return Result;
}

bool TIEClipsParser::LoadFacts() {
  IParserHost* E = GetHost();
  if (!E) return false;
  for (IStreamToken T = Next(); !T->IsEndOfStream(); T = Next()) {
    Back(T);
    const IFact Fact = ParseFact();
    E->GetContext()->Resolve(*Fact);
    E->AssertFact(Fact);
  }
  return true;
}

std::pair<std::string, std::string> TIEClipsParser::ParseHeader(std::string_view Keyword, TIEMessage Expected,
                                                                std::string_view Where) {
  IStreamToken T = Next();
  if (!T->Is('(')) ParseError(Where, MessageText(Expected));
  T = Next();
  if (!IsAtom(T, Keyword)) ParseError(Where, MessageText(Expected));
  const IStreamToken Name = Next();
  if (!IsAtom(Name)) ParseError(Where, MessageText(SMissingName));
  std::string Comment;
  const IStreamToken C = Next();
  if (IsKind(C, dtString))
    Comment = C->GetText();
  else
    Back(C);
  (void)WParseHeader;
  return {Name->GetText(), Comment};
}

// =============================================================================================
// Rules and patterns
// =============================================================================================

TRule* TIEClipsParser::ParseRule() {
  auto [Name, Comment] = ParseHeader("defrule", SExpectedDefRule, WParseRule);
  IParserHost& E = Host();
  auto Rule = std::make_unique<TRule>(EngineComponent());
  Rule->SetRuleName(Name);
  Rule->SetComment(Comment);
  TVariables Variables;
  struct TScope {
    TVariables*& Slot;
    TVariables* Previous;
    ~TScope() { Slot = Previous; }
  } Scope{Variables_, Variables_};
  Variables_ = &Variables;
  Rule->BeginUpdate();

  IStreamToken T = Next();
  if (T->Is('(')) {
    const IStreamToken Declare = Next();
    if (IsAtom(Declare, "declare")) {
      for (IStreamToken P = Next(); !P->Is(')'); P = Next()) {
        if (!P->Is('(')) ParseError(WParseRule, MessageText(SExpectedRuleProperty));
        const IStreamToken Property = Next();
        if (IsAtom(Property, "salience")) {
          const IStreamToken V = Next();
          IIEValue Salience;
          if (IsKind(V, dtInteger) || IsVariable(V)) {
            Salience = TokenValue(V);
          } else if (V->Is('(')) {
            Back(V);
            Salience = CallValue(ParseFunCall());
          } else {
            ParseError(WParseRule, FormatMessage(SExpectedIntVarFun, {"salience"}));
          }
          Rule->SetSalience(Salience);
        } else if (IsAtom(Property, "oneshot") || IsAtom(Property, "enabled")) {
          const IStreamToken V = Next();
          IIEValue Flag;
          if (V->Is('(')) {
            Back(V);
            Flag = ParseValue();
          } else {
            Flag = V->Value(E.GetContext());
          }
          const bool On = Flag == FCTrue;
          if (Property->GetText() == "oneshot")
            Rule->SetOneShot(On);
          else
            Rule->SetEnabled(On);
        } else {
          ParseError(WParseRule, MessageText(SExpectedRuleProperty));
        }
        ExpectClose(WParseRule);
      }
    } else {
      Back(Declare);
      Back(T);
    }
  } else {
    Back(T);
  }
  ParseRulePatterns(*Rule);
  ParseRuleActions(*Rule);
  Rule->EndUpdate();
  if (OnParseRule) OnParseRule(this, Rule.get());
  return Rule.release();
}

void TIEClipsParser::ParseRulePatterns(TRule& Rule) {
  for (;;) {
    const IStreamToken T = Next();
    if (T->Is('=')) {
      if (!IsAtom(Next(), ">")) ParseError(WParsePatterns, MessageText(SExpectedEqGT));
      return;
    }
    if (T->IsEndOfStream()) ParseError(WParsePatterns, MessageText(SUnexpectedEOF));
    if (IsKind(T, dtVariable)) {
      if (!IsAtom(Next(), "<-")) ParseError(WParsePatterns, MessageText(SExpectedAssignment));
      std::unique_ptr<TIEPattern> Pattern = ParsePattern(0);
      if (Pattern->GetNegatedCount() > 0 || Pattern->GetName() == STestCE)
        ParseError(WParsePatterns, MessageText(SInvalidTestBinding));
      Pattern->SetBoundName(T->GetText());
      Rule.AddPattern(std::move(Pattern));
      continue;
    }
    if (!T->Is('(')) ParseError(WParsePatterns, MessageText(SExpectedEqGT));
    Back(T);
    Rule.AddPattern(ParsePattern(0));
  }
}

void TIEClipsParser::ParseRuleActions(TRule& Rule) {
  for (;;) {
    const IStreamToken T = Next();
    if (T->Is(')')) return;
    if (T->IsEndOfStream()) ParseError(WParseActions, MessageText(SUnexpectedEOF));
    if (!T->Is('(')) ParseError(WParseActions, MessageText(SMissingOpenParens));
    Back(T);
    Rule.AddAction(ParseFunCall());
  }
}

IFactTemplate TIEClipsParser::TemplateNamed(const IStreamToken& Name, std::string_view Where) {
  IParserHost& E = Host();
  if (GetStrictTemplates()) {
    IFactTemplate T = E.FindFactTemplate(Name->GetText());
    if (!T) ParseError(Where, FormatMessage(SUnknownFactTemplate, {Name->GetText()}));
    return T;
  }
  return ImpliedTemplate(Name->GetText());
}

IFactTemplate TIEClipsParser::ImpliedTemplate(const std::string& Name) {
  IParserHost& E = Host();
  if (Implied_ && !E.FindFactTemplate(Name)) Implied_->push_back(Name);
  return E.CreateFactTemplate(Name);
}

std::unique_ptr<TIEPattern> TIEClipsParser::ParsePattern(int32_t Depth) {
  if (StackNearlyExhausted(StackReserve())) ParseError(WParsePattern, FormatMessage(SNestingTooDeep, {WParsePattern}));
  const IStreamToken Open = Next();
  if (!Open->Is('(')) ParseError(WParsePattern, MessageText(SExpectedAtom));
  const IStreamToken Name = Next();
  if (!IsAtom(Name)) ParseError(WParsePattern, MessageText(SExpectedAtom));
  const std::string& N = Name->GetText();
  std::unique_ptr<TIEPattern> Pattern;
  if (N == "not" || N == "exists" || N == "unique" || N == "explicit") {
    Pattern = ParsePattern(N == "not" ? Depth + 1 : N == "exists" ? Depth + 2 : Depth);
    if (N == "unique") Pattern->SetUnique(true);
    if (N == "explicit") Pattern->SetExplicit(true);
    ExpectClose(WParsePattern);
    return Pattern;
  }
  if (N == STestCE) {
    const IFunCall Call = ParseFunCall();
    ExpectClose(WParsePattern);
    Pattern = std::make_unique<TIEPattern>(nullptr, 0, ImpliedTemplate(std::string(STestCE)),
                                           std::string(STestCE));
    Pattern->AddTest(SDefaultSlotName, CallValue(Call), true, Depth % 2 == 1);
    Pattern->SetComment(platform::Trim(Open->GetWhiteSpace()));
    return Pattern;
  }
  const IFactTemplate Template = TemplateNamed(Name, WParsePattern);
  Pattern = std::make_unique<TIEPattern>(nullptr, Depth, Template, N);
  Pattern->SetComment(platform::Trim(Open->GetWhiteSpace()));
  if (Template->IsOrdered()) {
    const IFactSlot& Data = Template->GetSlot(SDefaultSlotName);
    ParseConstraints(*Pattern, std::string(SDefaultSlotName), true, Data->IsFuzzy() ? Data.get() : nullptr);
  } else {
    for (IStreamToken T = Next(); !T->Is(')'); T = Next()) {
      if (T->IsEndOfStream()) ParseError(WParsePattern, MessageText(SUnexpectedEOF));
      if (!T->Is('(')) ParseError(WParsePattern, FormatMessage(SBadSlotValue, {T->ToString()}));
      const IStreamToken Slot = Next();
      if (!IsAtom(Slot)) ParseError(WParsePattern, FormatMessage(SBadSlotName, {Slot->ToString()}));
      const IFactSlot& Definition = Template->GetSlot(Slot->GetText());
      ParseConstraints(*Pattern, Slot->GetText(), Definition->IsMultiSlot(),
                       Definition->IsFuzzy() ? Definition.get() : nullptr);
    }
  }
  if (OnParsePattern) OnParsePattern(this, Pattern.get());
  return Pattern;
}

IIEValue TIEClipsParser::ConstraintValue(const IStreamToken& Token) {
  if (IsVariable(Token)) {
    // The first pattern occurrence of a variable fixes its kind for the whole rule.
    if (Variables_) Variables_->emplace(Token->GetText(), static_cast<TIEType>(Token->GetDataType()));
    return TokenValue(Token);
  }
  return Token->Value();
}

IIEValue TIEClipsParser::ParseFuzzyConstraint(const TFactSlot& Slot) {
  const IIEDefinedType& Type = Slot.GetExtendedTypeInfo();
  if (!Type || !Type->GetFuzzyType()) ParseError(WParsePattern, MessageText(SNeedFuzzyType));
  // The expression runs to the next connective or the end of the slot: "very hot", "hot or
  // warm", "[not cold] and warm", a number, a singletons list, a shape call.
  IValueVector Items = NewList();
  for (;;) {
    const IStreamToken T = Next();
    if (IsConstant(T) && !IsAtom(T, ":")) {
      Items->Add(T->Value());
    } else if (T->Is('[') || T->Is(']')) {
      Items->Add(NewAtom(T->GetText()));
    } else if (T->Is('(')) {
      Items->Add(CallOrSingletons(T));
    } else {
      Back(T);
      break;
    }
  }
  try {
    return Host().EvalFuzzyExpression(Type->GetFuzzyType(), *Items, Host().GetContext());
  } catch (const EIEParseException&) {
    throw;
  } catch (const EIEException& E) {
    ParseError(WParsePattern, E.what());
  }
}

void TIEClipsParser::ParseConstraints(TIEPattern& Pattern, const std::string& Slot, bool MultiSlot,
                                      const TFactSlot* Fuzzy) {
  int32_t Field = 0;
  bool Conjunction = true;
  // Where the current field's tests begin in the slot's list, and the variable that binds the
  // field (a leading positive variable, or one put in front for a return-value alternative).
  auto TestsSoFar = [&]() {
    const int Index = Pattern.IndexOfSlotName(Slot);
    return Index >= 0 ? Pattern.GetSlotTestCount(Index) : 0;
  };
  int FieldStart = TestsSoFar();
  IIEValue FieldAnchor;
  bool FirstTerm = true;
  for (;;) {
    IStreamToken T = Next();
    if (T->Is(')')) break;
    if (T->IsEndOfStream()) ParseError(WParsePattern, MessageText(SUnexpectedEOF));
    if (!MultiSlot && Field > 0) ParseError(WParsePattern, FormatMessage(SNotMultiSlot, {Slot}));
    bool Negated = false;
    if (T->Is('~')) {
      Negated = true;
      T = Next();
    }
    const int32_t SubIndex = MultiSlot ? Field : NoSubIndex;
    if (Fuzzy && ((IsConstant(T) && !IsAtom(T, ":")) || T->Is('[') || T->Is('('))) {
      // A fuzzy slot compares with a fuzzy value: the expression's; in a multislot each value
      // of several is a field of its own.
      Back(T);
      const IIEValue Value = ParseFuzzyConstraint(*Fuzzy);
      if (Value->GetDType() == dtList) {
        const IValueVector Values = Value->GetAsList();
        if (!MultiSlot && Values->GetValueCount() > 1) ParseError(WParsePattern, FormatMessage(SNotMultiSlot, {Slot}));
        for (int I = 0; I < Values->GetValueCount(); ++I)
          Pattern.AddTest(Slot, Values->Get(I), I == 0 ? Conjunction : true, Negated && I == 0,
                          MultiSlot ? Field + I : NoSubIndex);
        if (Values->GetValueCount() > 1) Field += Values->GetValueCount() - 1;
      } else {
        Pattern.AddTest(Slot, Value, Conjunction, Negated, SubIndex);
      }
    } else if (IsConstant(T) && !IsAtom(T, ":")) {
      Pattern.AddTest(Slot, ConstraintValue(T), Conjunction, Negated, SubIndex);
    } else if (IsVariable(T)) {
      const IIEValue Variable = ConstraintValue(T);
      if (FirstTerm && !Negated) FieldAnchor = Variable;
      Pattern.AddTest(Slot, Variable, Conjunction, Negated, SubIndex);
    } else if (IsAtom(T, ":")) {
      Pattern.AddTest(Slot, CallValue(ParseFunCall()), Conjunction, Negated, SubIndex);
    } else if (T->Is('=')) {
      // A return-value constraint compares the field with the call's result through a variable
      // bound to the field.
      const IFunCall Call = ParseFunCall();
      const IStreamToken Following = Next();
      Back(Following);
      const bool Alternative = !Conjunction || Following->Is('|');
      IIEValue Variable = FieldAnchor;
      if (!Variable) {
        Variable = NewValue(GenerateSymbol(SEqStarPrefix), dtVariable);
        if (Alternative) {
          // Among alternatives the variable must bind the whole field: it goes first.
          Pattern.AddTest(Slot, Variable, true, false, SubIndex);
          const int Index = Pattern.IndexOfSlotName(Slot);
          TSlotTests* Tests = Pattern.GetSlotTests(Index);
          auto Moved = Tests->Extract(Tests->Count() - 1);
          Tests->Insert(FieldStart, std::move(Moved));
          FieldAnchor = Variable;
        } else {
          Pattern.AddTest(Slot, Variable, Conjunction, false, SubIndex);
          if (FirstTerm) FieldAnchor = Variable;
        }
      }
      const IFunCall Compare = platform::MakeRef<TFunctionCall>(Reasoner(), "eq*");
      Compare->AddArgument(Variable);
      Compare->AddArgument(CallValue(Call));
      Pattern.AddTest(Slot, CallValue(Compare), Alternative ? Conjunction : true, Negated, SubIndex);
    } else {
      ParseError(WParsePattern, FormatMessage(SBadSlotValue, {T->ToString()}));
    }
    FirstTerm = false;
    const IStreamToken Connective = Next();
    if (Connective->Is('&')) {
      Conjunction = true;
    } else if (Connective->Is('|')) {
      Conjunction = false;
    } else {
      Back(Connective);
      ++Field;
      Conjunction = true;
      FieldStart = TestsSoFar();
      FieldAnchor = nullptr;
      FirstTerm = true;
    }
  }
  if (MultiSlot) {
    const int Index = Pattern.IndexOfSlotName(Slot);
    if (Index >= 0) Pattern.SetSlotLength(Index, Field);
  }
}

// =============================================================================================
// Facts, fact sets
// =============================================================================================

IIEValue TIEClipsParser::Checked(const TFactSlot& Slot, IIEValue Value, std::string_view Where) {
  if (!GetStaticTypeCheck() || !Value || Slot.IsValid(Value)) return Value;
  if (Value->GetDType() == dtInteger && Slot.GetSlotType().Contains(dtFloat)) return NewFloat(Value->GetAsInteger());
  ParseError(Where, Slot.GetInvalidValueString(*Value));
}

IFact TIEClipsParser::ParseFact() {
  const IStreamToken Open = Next();
  if (!Open->Is('(')) ParseError(WParseFact, MessageText(SExpectedAtom));
  const IStreamToken Name = Next();
  if (!IsAtom(Name)) ParseError(WParseFact, MessageText(SExpectedAtom));
  const IFactTemplate Template = TemplateNamed(Name, WParseFact);
  IFact Fact = Template->NewFact();
  if (Template->IsOrdered()) {
    const IFactSlot& Data = Template->GetSlot(SDefaultSlotName);
    const IIEValue Value = ParseValue(*Data);
    Fact->SetValue(SDefaultSlotName, Data->IsFuzzy() ? Value : Checked(*Data, Value, WParseFactSlot));
    ExpectClose(WParseFact);
  } else {
    for (IStreamToken T = Next(); !T->Is(')'); T = Next()) {
      if (T->IsEndOfStream()) ParseError(WParseFact, MessageText(SUnexpectedEOF));
      if (!T->Is('(')) ParseError(WParseFact, MessageText(SMissingOpenParens));
      const IStreamToken Slot = Next();
      if (!IsAtom(Slot)) ParseError(WParseFact, FormatMessage(SBadSlotName, {Slot->ToString()}));
      const IFactSlot& Definition = Template->GetSlot(Slot->GetText());
      const IIEValue Parsed = ParseValue(*Definition);
      const IIEValue Value = Definition->IsFuzzy() ? Parsed : Checked(*Definition, Parsed, WParseFactSlot);
      ExpectClose(WParseFact);
      Fact->SetValue(Slot->GetText(), Value);
    }
  }
  if (OnParseFact) OnParseFact(this, Fact);
  return Fact;
}

IIEValue TIEClipsParser::ParseValue(const TFactSlot& Slot) {
  if (Slot.IsFuzzy()) return ParseFuzzyValue(Slot);
  if (Slot.IsMultiSlot()) return ParseList();
  const IStreamToken T = Next();
  if (IsConstant(T) || IsVariable(T)) return TokenValue(T);
  if (T->Is('(')) return CallOrSingletons(T);
  if (T->Is('=')) return CallValue(ParseFunCall());
  if (T->Is(')')) {
    Back(T);
    ParseError(WParseFactSlot, MessageText(SExpectedValue));
  }
  ParseError(WParseFactSlot, FormatMessage(SBadSlotValue, {T->ToString()}));
}

namespace {

// Whether a value can only be known when the fact is asserted (a variable, a call, a list or a
// singletons list holding one).
bool Deferred(const TIEValue& Value) {
  switch (Value.GetDType()) {
    case dtVariable:
    case dtMultiVariable:
    case dtFunCall: return true;
    case dtList:
      for (const IIEValue& Element : *Value.GetAsList())
        if (Element && Deferred(*Element)) return true;
      return false;
    case dtSingletons: {
      const ISingletonsVector Points = Value.GetAsSingletons();
      for (int I = 0; I < Points->GetCount(); ++I)
        if (Deferred(*Points->GetXValues(I)) || Deferred(*Points->GetYValues(I))) return true;
      return false;
    }
    default: return false;
  }
}

}  // namespace

IIEValue TIEClipsParser::ParseFuzzyValue(const TFactSlot& Slot) {
  const IIEDefinedType& Type = Slot.GetExtendedTypeInfo();
  if (!Type || !Type->GetFuzzyType()) ParseError(WParseFactSlot, MessageText(SNeedFuzzyType));
  const IIEValue Items = ParseList();
  const IValueVector List = Items->GetAsList();
  if (List->GetValueCount() == 0) ParseError(WParseFactSlot, MessageText(SExpectedValue));
  // One item stands for itself; several are one linguistic expression (or several values in a
  // multislot).
  const IIEValue Written = List->GetValueCount() == 1 ? List->Get(0) : Items;
  // What refers to the rule's variables or calls functions is evaluated when the fact is made.
  if (Deferred(*Written)) return Written;
  try {
    return Host().FuzzySlotValue(Slot, Written, Host().GetContext());
  } catch (const EIEParseException&) {
    throw;
  } catch (const EIEException& E) {
    ParseError(WParseFactSlot, E.what());
  }
}

TFactSet* TIEClipsParser::ParseFactSet() {
  auto [Name, Comment] = ParseHeader("deffacts", SExpectedDeffacts, WParseFactSet);
  auto Set = std::unique_ptr<TFactSet>(new TFactSet(EngineComponent()));
  Set->SetEngineNoParse(nullptr);  // it joins the engine's fact sets once complete
  Set->SetFactSetName(Name);
  Set->SetComment(Comment);
  for (IStreamToken T = Next(); !T->Is(')'); T = Next()) {
    if (T->IsEndOfStream()) ParseError(WParseFactSet, MessageText(SUnexpectedEOF));
    if (!T->Is('(')) ParseError(WParseFactSet, MessageText(SMissingOpenParens));
    Back(T);
    Set->AddFact(ParseFact());
  }
  if (OnParseFactSet) OnParseFactSet(this, Set.get());
  return Set.release();
}

// =============================================================================================
// Templates and defined types
// =============================================================================================

IFactTemplate TIEClipsParser::ParseFactTemplate() {
  auto [Name, Comment] = ParseHeader("deftemplate", SExpectedDefTemplate, WParseTemplate);
  CheckConstructName(Name);
  IParserHost& E = Host();
  IFactTemplate Template;
  const IStreamToken T = Next();
  if (IsAtom(T, "extends")) {
    const IStreamToken Parent = Next();
    if (!IsAtom(Parent)) ParseError(WParseTemplate, MessageText(SMissingParentTemplateName));
    const IFactTemplate Base = E.FindFactTemplate(Parent->GetText());
    if (!Base) ParseError(WParseTemplate, MessageText(SMissingParentTemplateName));
    Template = platform::MakeRef<TFactTemplate>(EngineComponent(), Comment, Name, Base);
  } else if (IsAtom(T, "is-a")) {
    const IStreamToken TypeName = Next();
    if (!IsAtom(TypeName)) ParseError(WParseTemplate, MessageText(SMissingIsaTypeName));
    const IIEDefinedType Type = E.FindDefinedType(TypeName->GetText());
    if (!Type) ParseError(WParseTemplate, FormatMessage(SUnknownTypeName, {TypeName->GetText()}));
    Template = platform::MakeRef<TFactTemplate>(EngineComponent(), Name);
    Template->AddMultiSlot(std::string(SDefaultSlotName), FCNilList)->SetExtendedTypeInfo(Type);
  } else if (IsAtom(T) || IsPunctuation(T) == false) {
    if (!T->Is('(') && !T->Is(')')) ParseError(WParseTemplate, MessageText(SExpectedExtends));
    Back(T);
  } else {
    if (!T->Is('(') && !T->Is(')')) ParseError(WParseTemplate, MessageText(SExpectedExtends));
    Back(T);
  }
  if (!Template) Template = platform::MakeRef<TFactTemplate>(EngineComponent(), Name);
  Template->SetComment(Comment);
  for (IStreamToken S = Next(); !S->Is(')'); S = Next()) {
    if (S->IsEndOfStream()) ParseError(WParseTemplate, MessageText(SUnexpectedEOF));
    if (!S->Is('(')) ParseError(WParseTemplate, MessageText(SMissingOpenParens));
    Back(S);
    ParseFactTemplateSlot(*Template);
  }
  if (OnParseFactTemplate) OnParseFactTemplate(this, Template);
  return Template;
}

IFactSlot TIEClipsParser::ParseFactTemplateSlot(TFactTemplate& Template) {
  if (!Next()->Is('(')) ParseError(WParseTemplateSlot, MessageText(SMissingOpenParens));
  const IStreamToken Kind = Next();
  if (!IsAtom(Kind, "slot") && !IsAtom(Kind, "field") && !IsAtom(Kind, "multislot"))
    ParseError(WParseTemplateSlot, FormatMessage(SInvalidSlotType, {Kind->ToString()}));
  const bool Multi = Kind->GetText() == "multislot";
  const IStreamToken Name = Next();
  if (!IsAtom(Name)) ParseError(WParseTemplateSlot, FormatMessage(SBadSlotName, {Name->ToString()}));
  const std::string& SlotName = Name->GetText();
  CheckConstructName(SlotName);

  IParserHost& E = Host();
  TIETypes Types = IESlotTypes;
  IIEDefinedType Parent;
  IIEDefinedType Implicit;
  IIEValue Default;
  bool Dynamic = false;
  bool Constrained = false;  // range, cardinality or allowed values given
  IFactSlot Existing;
  Template.ContainsSlot(SlotName, Existing);
  // The first constraint gives the slot a type of its own, made from the type it had.
  auto ImplicitType = [&]() -> TIEDefinedType& {
    if (!Implicit) {
      Implicit = platform::MakeRef<TIEDefinedType>(Reasoner());
      const IIEDefinedType& Base = Parent ? Parent : (Existing ? Existing->GetExtendedTypeInfo() : IIEDefinedType());
      if (Base) Implicit->Assign(*Base);
      Implicit->SetImplicit(true);
    }
    return *Implicit;
  };

  for (IStreamToken T = Next(); !T->Is(')'); T = Next()) {
    if (T->IsEndOfStream()) ParseError(WParseTemplateSlot, MessageText(SUnexpectedEOF));
    if (!T->Is('(')) ParseError(WParseTemplateSlot, MessageText(SMissingOpenParens));
    const IStreamToken Q = Next();
    const std::string Word = platform::LowerCase(Q->GetText());
    if (!IsAtom(Q)) ParseError(WParseTemplateSlot, FormatMessage(SInvalidSlotQualifier, {Q->ToString()}));
    if (Word == "default" || Word == "default-dynamic") {
      Dynamic = Word == "default-dynamic";
      Default = Multi ? ParseList() : ParseValue();
      if (!Default) Default = Multi ? FCNilList : FCNil;
      ExpectClose(WParseTemplateSlot);
      if (!Dynamic) {
        // A static default is evaluated once, now.
        if (Default->GetDType() == dtList)
          Default = platform::MakeRef<TIEValue>(E.GetContext()->ExpandList(*Default->GetAsList()));
        else
          Default = Default->Resolve(E.GetContext());
      }
    } else if (Word == "type") {
      auto [NewTypes, NewParent] = ParseSlotTypes();
      Types = NewTypes;
      Parent = NewParent;
    } else if (Word == "range" || Word == "cardinality") {
      Back(Q);
      Back(T);
      Constrained = true;
      ParseRangeAndCardinality(ImplicitType());
    } else if (Word == "units") {
      const IStreamToken U = Next();
      if (!IsConstant(U)) ParseError(WParseTemplateSlot, MessageText(SExpectedValue));
      ImplicitType().SetUnits(U->GetText().empty() ? U->ToString() : U->GetText());
      ExpectClose(WParseTemplateSlot);
    } else if (StartsWith(Word, "allowed-")) {
      Constrained = true;
      // Qualifiers match without regard to case; the allowed-* table is written in lower case.
      ParseAllowedEnumerations(ImplicitType(), Word);
    } else {
      ParseError(WParseTemplateSlot, FormatMessage(SInvalidSlotQualifier, {Q->GetText()}));
    }
  }

  const bool Fuzzy = Types.Contains(dtFuzzy) || (Parent && Parent->GetFuzzyType());
  if (Fuzzy && Constrained) ParseError(WParseTemplateSlot, MessageText(SFuzzyDefinitionError));
  IFactSlot Slot = Multi ? Template.AddMultiSlot(SlotName, FCNilList) : Template.AddSlot(SlotName, FCNil);
  const TIETypes Shape = Multi ? IEMultiSlotTypes : TIETypes{};
  if (Implicit || (Parent && (Types - Parent->GetBaseTypes()).Count() > 0)) {
    TIEDefinedType& Type = ImplicitType();
    if (Parent) Type.SetAncestor(Parent);
    if (!Type.GetFuzzyType()) Type.SetBaseTypes(Types & IESlotTypesWithFuzzy);
    Slot->SetExtendedTypeInfo(Implicit);
  } else if (Parent) {
    Slot->SetExtendedTypeInfo(Parent);
  } else {
    Slot->SetExtendedTypeInfo(nullptr);
    Slot->SetSlotType(Types | Shape);
  }
  if (Default) {
    Slot->SetDefaultDynamic(Dynamic);
    if (!Dynamic && Slot->IsFuzzy()) {
      // A fuzzy default is the fuzzy value its expression stands for.
      try {
        Default = E.FuzzySlotValue(*Slot, Default, E.GetContext());
      } catch (const EIEParseException&) {
        throw;
      } catch (const EIEException& Error) {
        ParseError(WParseTemplateSlot, Error.what());
      }
      Slot->SetSlotDefault(Default);
    } else {
      Slot->SetSlotDefault(Dynamic ? Default : Checked(*Slot, Default, WParseTemplateSlot));
    }
  } else if (!Existing || !Existing->GetSlotDefault()) {
    // Without a default the slot starts from the first value its types and constraints allow.
    Slot->SetSlotDefault(Slot->CreateValidDefault(Multi));
  }
  return Slot;
}

std::pair<TIETypes, IIEDefinedType> TIEClipsParser::ParseSlotTypes() {
  static const std::pair<std::string_view, TIETypes> Keywords[] = {
      {STypeSymbolKeyword, {dtAtom}},
      {STypeAtomKeyword, {dtAtom}},
      {STypeStringKeyword, {dtString}},
      {STypeLexemeKeyword, {dtAtom, dtString}},
      {STypeIntegerKeyword, {dtInteger}},
      {STypeFloatKeyword, {dtFloat}},
      {STypeNumberKeyword, {dtInteger, dtFloat}},
      {STypeClassKeyword, {dtClass, dtInteger}},
      {STypeDescriptorKeyword, {dtDescriptor, dtInteger}},
      {STypeObjectKeyword, {dtObject, dtInteger}},
      {STypeExternalAddrKeyword, {dtExternalAddress, dtInteger}},
      {STypeFuzzyKeyword, {dtFuzzy}},
      {STypeFactIdKeyword, {dtFactId, dtInteger}},
      {STypeFactKeyword, {dtFact}},
  };
  TIETypes Types;
  IIEDefinedType Parent;
  for (IStreamToken T = Next(); !T->Is(')'); T = Next()) {
    if (T->IsEndOfStream()) ParseError(WParseSlotTypes, MessageText(SUnexpectedEOF));
    if (IsKind(T, dtVariable) && T->GetText() == STypeVariableKeyword.substr(1)) {
      Types = IESlotTypes;
      continue;
    }
    if (!IsAtom(T)) ParseError(WParseSlotTypes, FormatMessage(SInvalidSlotType, {T->ToString()}));
    auto It = std::find_if(std::begin(Keywords), std::end(Keywords),
                           [&](const auto& K) { return K.first == T->GetText(); });
    if (It != std::end(Keywords)) {
      Types |= It->second;
      continue;
    }
    const IIEDefinedType Type = Host().FindDefinedType(T->GetText());
    if (!Type) ParseError(WParseSlotTypes, FormatMessage(SInvalidSlotType, {T->GetText()}));
    if (Parent) ParseError(WParseSlotTypes, MessageText(SNoMultiTypeInheritance));
    Parent = Type;
    Types |= Type->GetBaseTypes();
  }
  if (Types.Contains(dtFuzzy) && Types.Count() > 1) ParseError(WParseSlotTypes, MessageText(SCannotMixFuzzy));
  if (Types.Empty()) ParseError(WParseSlotTypes, MessageText(SEmptyBaseTypes));
  return {Types, Parent};
}

void TIEClipsParser::ParseRangeAndCardinality(TIEDefinedType& Type) {
  if (!Next()->Is('(')) ParseError(WParseRange, MessageText(SMissingRange));
  const IStreamToken K = Next();
  // The callers matched the qualifier without regard to case, so "(RANGE 1 4)" arrives here too.
  const std::string Keyword = IsAtom(K) ? platform::LowerCase(K->GetText()) : std::string();
  const bool Range = Keyword == "range";
  if (!Range && Keyword != "cardinality") ParseError(WParseRange, MessageText(SMissingRange));
  const char* What = Range ? "range" : "cardinality";
  // Each bound: a number, ?VARIABLE for none, a variable's value or a call's result.
  auto Bound = [&](bool& Unbounded) -> double {
    const IStreamToken T = Next();
    Unbounded = false;
    if (T->Is(')')) {
      Back(T);
      ParseError(WParseRange, MessageText(SExpectedValue));
    }
    IIEValue V;
    if (IsKind(T, dtInteger) || IsKind(T, dtFloat)) {
      V = T->Value();
    } else if (IsKind(T, dtVariable) && T->GetText() == STypeVariableKeyword.substr(1)) {
      Unbounded = true;
      return 0;
    } else if (IsKind(T, dtVariable)) {
      V = T->Value(Host().GetContext());
    } else if (T->Is('(')) {
      Back(T);
      IIEValue R;
      ParseFunCall()->Execute(Host().GetContext(), R);
      V = R;
    } else {
      ParseError(WParseRange, FormatMessage(SExpectedIntVarFun, {What}));
    }
    if (!V || !IENumericTypes.Contains(V->GetDType())) ParseError(WParseRange, FormatMessage(SExpectedIntVarFun, {What}));
    return V->GetAsNumeric();
  };
  bool LowOpen = false, HighOpen = false;
  const double Low = Bound(LowOpen);
  const double High = Bound(HighOpen);
  ExpectClose(WParseRange);
  if (Range) {
    Type.SetRangeLimited(true);
    Type.SetMinRange(LowOpen ? TIEDefinedType::DefaultMinRange : Low);
    Type.SetMaxRange(HighOpen ? TIEDefinedType::DefaultMaxRange : High);
  } else {
    int32_t L = 0, H = TIEDefinedType::DefaultMaxCardinality;
    if ((!LowOpen && !TruncToInteger(Low, L)) || (!HighOpen && !TruncToInteger(High, H)))
      ParseError(WParseRange, FormatMessage(SExpectedIntVarFun, {What}));
    Type.SetCardinalityLimited(true);
    Type.SetMinCardinality(LowOpen ? 0 : L);
    Type.SetMaxCardinality(HighOpen ? TIEDefinedType::DefaultMaxCardinality : H);
  }
}

void TIEClipsParser::ParseAllowedEnumerations(TIEDefinedType& Type, const std::string& Keyword) {
  struct TKind {
    std::string_view Keyword;
    TValueConstraints Kinds;
  };
  static const TKind Kinds[] = {
      {"allowed-values", {vcAtom, vcString, vcInteger, vcFloat}},
      {"allowed-lexemes", {vcAtom, vcString}},
      {"allowed-strings", {vcString}},
      {"allowed-symbols", {vcAtom}},
      {"allowed-numbers", {vcInteger, vcFloat}},
      {"allowed-integers", {vcInteger}},
      {"allowed-floats", {vcFloat}},
  };
  auto It = std::find_if(std::begin(Kinds), std::end(Kinds), [&](const TKind& K) { return K.Keyword == Keyword; });
  if (It == std::end(Kinds)) ParseError(WParseAllowed, FormatMessage(SMissingAllowedEnumeration, {Keyword}));
  Type.SetConstraints(Type.GetConstraints() | It->Kinds);
  IParserHost& E = Host();
  for (IStreamToken T = Next(); !T->Is(')'); T = Next()) {
    if (T->IsEndOfStream()) ParseError(WParseAllowed, MessageText(SUnexpectedEOF));
    IIEValue V;
    if (T->Is('(')) {
      Back(T);
      ParseFunCall()->Execute(E.GetContext(), V);
    } else {
      V = T->Value(E.GetContext());
    }
    if (!V) ParseError(WParseAllowed, MessageText(SExpectedValue));
    const TIEType K = V->GetDType();
    const std::string_view W = Keyword;
    if (W == "allowed-lexemes") {
      if (K != dtAtom && K != dtString) V = NewString(V->GetAsString());
    } else if (W == "allowed-strings") {
      V = NewString(V->GetAsString());
    } else if (W == "allowed-symbols") {
      V = NewAtom(V->GetAsString());
    } else if (W == "allowed-numbers") {
      if (K != dtInteger && K != dtFloat) V = NewInteger(V->GetAsInteger());
    } else if (W == "allowed-integers") {
      V = NewInteger(V->GetAsInteger());
    } else if (W == "allowed-floats") {
      V = NewFloat(V->GetAsFloat());
    }
    Type.AddConstraint(*V);
  }
}

// =============================================================================================
// Fuzzy variables and sets
// =============================================================================================

void TIEClipsParser::ParseFuzzyTerms(vaguecore::TIFuzzyVariable& Variable) {
  const IFuzzyVariable Owner(&Variable);
  for (IStreamToken S = Next(); !S->Is(')'); S = Next()) {
    if (S->IsEndOfStream()) ParseError(WParseFuzzySet, MessageText(SUnexpectedEOF));
    Back(S);
    const IFuzzySet Parsed = ParseFuzzySet(Owner);
    // The term takes the parsed shape; made through the variable, it is one of its terms.
    Variable.Add(Parsed->GetName())->Assign(*Parsed);
  }
}

void TIEClipsParser::ParseFuzzyVariable(vaguecore::TIFuzzyVariable& Variable) {
  IParserHost& E = Host();
  for (IStreamToken T = Next(); !T->Is(')') && !T->IsEndOfStream(); T = Next()) {
    if (!T->Is('(')) ParseError(WParseFuzzyVariable, MessageText(SMissingOpenParens));
    const IStreamToken Q = Next();
    const std::string Word = platform::LowerCase(Q->GetText());
    if (Word == "range") {
      const auto Bound = [&]() {
        const IStreamToken B = Next();
        if (!IsKind(B, dtInteger) && !IsKind(B, dtFloat))
          ParseError(WParseFuzzyVariable, FormatMessage(SExpectedIntVarFun, {"range"}));
        return B->Value()->GetAsNumeric();
      };
      const double Low = Bound();
      const double High = Bound();
      vaguecore::SetUniverse(Variable, Low, High);
      ExpectClose(WParseFuzzyVariable);
    } else if (Word == "units") {
      const IStreamToken U = Next();
      if (!IsConstant(U)) ParseError(WParseFuzzyVariable, MessageText(SExpectedValue));
      Variable.SetUnits(U->GetText());
      ExpectClose(WParseFuzzyVariable);
    } else if (Word == "values") {
      ParseFuzzyTerms(Variable);
    } else {
      ParseError(WParseFuzzyVariable, FormatMessage(SExpectedKeyword, {"range, units, or values"}));
    }
  }
  (void)E;
  if (OnParseFuzzyVariable) OnParseFuzzyVariable(this, IFuzzyVariable(&Variable));
}

IFuzzySet TIEClipsParser::ParseFuzzySet(const IFuzzyVariable& Variable) {
  if (!Next()->Is('(') || !IsAtom(Next(), "term")) ParseError(WParseFuzzySet, MessageText(SExpectedFuzzySet));
  const IStreamToken Name = Next();
  if (!IsAtom(Name)) ParseError(WParseFuzzySet, MessageText(SMissingName));
  IFuzzySet Set = NewFuzzySet(Variable, Name->GetText());
  const IStreamToken First = Next();
  if (First->Is('(')) {
    const IIEValue Shape = CallOrSingletons(First);
    ExpectClose(WParseFuzzySet);
    if (Shape->GetDType() == dtSingletons) {
      std::vector<vaguecore::TFzyPoint> Points;
      const ISingletonsVector Pairs = Shape->GetAsSingletons();
      TIEContext* Context = Host().GetContext();
      for (int I = 0; I < Pairs->GetCount(); ++I)
        Points.push_back({Pairs->GetXValues(I)->Resolve(Context)->GetAsNumeric(),
                          Pairs->GetYValues(I)->Resolve(Context)->GetAsNumeric()});
      Set->GetValues().SetPoints(Points);
    } else if (!ShapeTerm(*Set, Shape)) {
      ParseError(WParseFuzzySet, FormatMessage(SInvalidFuzzyExpression, {Shape->ToString()}));
    }
  } else {
    // A term defined by an expression over the variable's other terms: "(term warm hot or
    // medium)" takes the expression's points and keeps its text.
    Back(First);
    const IIEValue Items = ParseList();
    ExpectClose(WParseFuzzySet);
    IIEValue Value;
    try {
      Value = Host().EvalFuzzyExpression(Variable, *Items->GetAsList(), Host().GetContext());
    } catch (const EIEParseException&) {
      throw;
    } catch (const EIEException& E) {
      ParseError(WParseFuzzySet, E.what());
    }
    if (!Value || Value->GetDType() != dtFuzzy)
      ParseError(WParseFuzzySet, FormatMessage(SInvalidFuzzyExpression, {Items->ToString()}));
    std::string Text;
    for (const IIEValue& Item : *Items->GetAsList()) Text += (Text.empty() ? "" : " ") + Item->ToString();
    Set->GetValues().SetPoints(Value->GetAsFuzzy()->GetValues().GetPoints());
    Set->SetExpression(Text);
  }
  if (OnParseFuzzySet) OnParseFuzzySet(this, Set);
  return Set;
}

// A term written as a shape, "(tri 0 50 100)": the call names the shape and its arguments are
// numbers.
bool TIEClipsParser::ShapeTerm(vaguecore::TFuzzySet& Term, const IIEValue& Shape) {
  if (!Shape || Shape->GetDType() != dtFunCall) return false;
  const auto Call = Shape->GetAsFunCall<TFunctionCall>();
  if (!Call) return false;
  std::vector<vaguecore::TFzyFloat> Args;
  for (const IIEValue& A : Call->GetArguments()) {
    const IIEValue Value = A ? A->Resolve(Host().GetContext()) : nullptr;
    if (!Value || (Value->GetDType() != dtInteger && Value->GetDType() != dtFloat)) return false;
    Args.push_back(Value->GetAsNumeric());
  }
  return vaguecore::CreateShapeValues(Term, platform::LowerCase(Call->GetName()), Args);
}

IIEDefinedType TIEClipsParser::ParseDefinedType() {
  auto [Name, Comment] = ParseHeader("deftype", SExpectedDefType, WParseDefinedType);
  if (!IsAtom(Next(), "extends")) ParseError(WParseDefinedType, FormatMessage(SExpectedKeyword, {"extends"}));
  if (!Next()->Is('(') || !IsAtom(Next(), "type"))
    ParseError(WParseDefinedType, FormatMessage(SExpectedKeyword, {"type"}));
  auto [Types, Parent] = ParseSlotTypes();
  IIEDefinedType Type = platform::MakeRef<TIEDefinedType>(Reasoner());
  Type->SetName(Name);
  Type->SetComment(Comment);
  Type->SetBaseTypes(Types);
  if (Parent) Type->SetAncestor(Parent);
  for (IStreamToken T = Next(); !T->Is(')'); T = Next()) {
    if (T->IsEndOfStream()) ParseError(WParseDefinedType, MessageText(SUnexpectedEOF));
    if (!T->Is('(')) ParseError(WParseDefinedType, MessageText(SMissingOpenParens));
    const IStreamToken Q = Next();
    const std::string Word = platform::LowerCase(Q->GetText());
    if (Types.Contains(dtFuzzy) && Word != "range" && Word != "units" && Word != "values")
      ParseError(WParseDefinedType, FormatMessage(SExpectedKeyword, {"range, units, or values"}));
    if (Word == "range" || Word == "cardinality") {
      Back(Q);
      Back(T);
      ParseRangeAndCardinality(*Type);
    } else if (Word == "units") {
      const IStreamToken U = Next();
      if (!IsConstant(U)) ParseError(WParseDefinedType, MessageText(SExpectedValue));
      Type->SetUnits(U->GetText());
      ExpectClose(WParseDefinedType);
    } else if (Word == "values" && Types.Contains(dtFuzzy)) {
      ParseFuzzyTerms(*Type->GetFuzzyType());
    } else if (StartsWith(Word, "allowed-")) {
      ParseAllowedEnumerations(*Type, Word);
    } else {
      ParseError(WParseDefinedType, FormatMessage(SInvalidSlotQualifier, {Q->GetText()}));
    }
  }
  if (OnParseDefinedType) OnParseDefinedType(this, Type);
  return Type;
}

// =============================================================================================
// Deffunctions and globals
// =============================================================================================

IInterpretedFunction TIEClipsParser::ParseFunction() {
  auto [Name, Comment] = ParseHeader("deffunction", SExpectedDefFunction, WParseFunction);
  IInterpretedFunction Function = platform::MakeRef<TInterpretedFunction>(Name);
  if (!Next()->Is('(')) ParseError(WParseFunction, MessageText(SMissingOpenParens));
  for (IStreamToken P = Next(); !P->Is(')'); P = Next()) {
    if (P->IsEndOfStream()) ParseError(WParseFunction, MessageText(SMissingCloseParens));
    if (!IsVariable(P)) ParseError(WParseFunction, FormatMessage(SUnexpectedCharacter, {P->ToString()}));
    Function->AddArgument(P->GetText(), static_cast<TIEType>(P->GetDataType()));
  }
  const IStreamToken C = Next();
  if (IsKind(C, dtString))
    Comment = C->GetText();
  else
    Back(C);
  Function->SetComment(Comment);
  for (IStreamToken B = Next(); !B->Is(')'); B = Next()) {
    if (B->IsEndOfStream()) ParseError(WParseFunction, MessageText(SMissingCloseParens));
    if (B->Is('(')) {
      Back(B);
      Function->AddStatement(CallValue(ParseFunCall()));
    } else if (IsConstant(B) || IsVariable(B)) {
      Function->AddStatement(B->Value());
    } else {
      ParseError(WParseFunction, FormatMessage(SUnexpectedCharacter, {B->ToString()}));
    }
  }
  if (OnParseFunction) OnParseFunction(this, Function);
  return Function;
}

void TIEClipsParser::ParseGlobalVariables() {
  if (!Next()->Is('(') || !IsAtom(Next(), "defglobal")) ParseError(WParseGlobals, MessageText(SExpectedDefGlobal));
  IParserHost& E = Host();
  // Every assignment is read before any is made: a defglobal with an error sets nothing.
  std::vector<std::pair<std::string, IIEValue>> Assignments;
  for (IStreamToken V = Next(); !V->Is(')'); V = Next()) {
    if (V->IsEndOfStream()) ParseError(WParseGlobals, MessageText(SUnexpectedEOF));
    Back(V);
    Assignments.push_back(ParseVariable());
  }
  for (const auto& [Name, Value] : Assignments) {
    E.SetGlobalVariable(Name, Value);
    if (OnParseVariable) OnParseVariable(this, Name, Value);
  }
}

std::pair<std::string, IIEValue> TIEClipsParser::ParseVariable() {
  const IStreamToken V = Next();
  const std::string& Name = V->GetText();
  if (!IsKind(V, dtVariable) || Name.size() < 2 || Name.front() != '*' || Name.back() != '*')
    ParseError(WParseGlobals, FormatMessage(SBadVariableName, {V->ToString()}));
  if (!Next()->Is('=')) ParseError(WParseGlobals, FormatMessage(SExpectedChar, {"="}));
  const IStreamToken X = Next();
  IIEValue Value;
  if (X->Is('(')) {
    Back(X);
    Value = CallValue(ParseFunCall());
  } else if (IsConstant(X) || IsVariable(X)) {
    Value = X->Value();
  } else {
    ParseError(WParseGlobals, MessageText(SExpectedValue));
  }
  return {Name, Value};
}

std::pair<std::string, IIEValue> TIEClipsParser::ParseFactSlot(const TFactTemplate& Template) {
  if (Template.IsOrdered()) {
    const IFactSlot& Data = Template.GetSlot(SDefaultSlotName);
    return {std::string(SDefaultSlotName), ParseValue(*Data)};
  }
  if (!Next()->Is('(')) ParseError(WParseFactSlot, MessageText(SMissingOpenParens));
  const IStreamToken Slot = Next();
  if (!IsAtom(Slot)) ParseError(WParseFactSlot, FormatMessage(SBadSlotName, {Slot->ToString()}));
  const IFactSlot& Definition = Template.GetSlot(Slot->GetText());
  const IIEValue Parsed = ParseValue(*Definition);
  const IIEValue Value = Definition->IsFuzzy() ? Parsed : Checked(*Definition, Parsed, WParseFactSlot);
  ExpectClose(WParseFactSlot);
  return {Slot->GetText(), Value};
}

// =============================================================================================
// Calls and values
// =============================================================================================

IFunCall TIEClipsParser::ParseFunCall() {
  // Nesting in the text is recursion here: refuse it before the stack runs out.
  if (StackNearlyExhausted(StackReserve())) ParseError(WParseFunCall, FormatMessage(SNestingTooDeep, {WParseFunCall}));
  const IStreamToken Open = Next();
  if (!Open->Is('(')) ParseError(WParseFunCall, MessageText(SMissingOpenParens));
  const IStreamToken Name = Next();
  IFunCall Call;
  IReasoner* E = Reasoner();
  if (IsAtom(Name)) {
    Call = platform::MakeRef<TFunctionCall>(E, Name->GetText());
  } else if (Name->Is('=')) {
    Call = platform::MakeRef<TFunctionCall>(E, "=");
  } else if (IsVariable(Name)) {
    Call = platform::MakeRef<TFunctionCall>(E, "__get-var");
    Call->AddArgument(TokenValue(Name));
  } else {
    ParseError(WParseFunCall, MessageText(SMissingName));
  }
  Call->SetComment(platform::Trim(Open->GetWhiteSpace()));
  const TSlotFunction* Slots = FindSlotFunction(Call->GetName());
  for (IStreamToken A = Next(); !A->Is(')'); A = Next()) {
    if (A->IsEndOfStream()) ParseError(WParseFunCall, MessageText(SUnexpectedEOF));
    if (IsConstant(A) || IsVariable(A)) {
      Call->AddArgument(TokenValue(A));
    } else if (A->Is('(')) {
      const int Position = Call->GetArgumentCount() + 1;
      if (Slots && Slots->Start == 0) {
        Back(A);
        Call->AddArgument(ParseFact());
      } else if (Slots && Position >= Slots->Start && Position <= Slots->End) {
        Back(A);
        Call->AddArgument(ParseValuePair());
      } else {
        Call->AddArgument(CallOrSingletons(A));
      }
    } else {
      Call->AddArgument(NewString(std::string(1, static_cast<char>(A->GetDataType()))));
    }
  }
  if (OnParseFunCall) OnParseFunCall(this, Call);
  return Call;
}

IIEValue TIEClipsParser::CallOrSingletons(const IStreamToken& Open) {
  const IStreamToken Following = Next();
  Back(Following);
  Back(Open);
  if (Following->Is('(')) return platform::MakeRef<TIEValue>(ParseSingletons());
  return CallValue(ParseFunCall());
}

IIEValue TIEClipsParser::ParseValuePair() {
  if (!Next()->Is('(')) ParseError(WParseValuePair, MessageText(SMissingOpenParens));
  const IStreamToken Slot = Next();
  if (!IsAtom(Slot)) ParseError(WParseValuePair, FormatMessage(SBadSlotName, {Slot->ToString()}));
  const IIEValue Value = ParseValue();
  if (!Value) ParseError(WParseValuePair, MessageText(SExpectedValue));
  ExpectClose(WParseValuePair);
  IValueVector Pair = NewList();
  Pair->Add(NewAtom(Slot->GetText()));
  Pair->Add(Value);
  return platform::MakeRef<TIEValue>(Pair);
}

IIEValue TIEClipsParser::ParseValue() {
  IValueVector Values;
  IIEValue First;
  for (;;) {
    const IStreamToken T = Next();
    IIEValue V;
    if (T->Is(')') || T->IsEndOfStream()) {
      Back(T);
      break;
    }
    if (IsConstant(T) || IsVariable(T)) {
      V = TokenValue(T);
    } else if (T->Is('(')) {
      V = CallOrSingletons(T);
    } else if (T->Is('[') || T->Is(']')) {
      V = NewAtom(T->GetText());
    } else {
      if (First) {
        Back(T);
        break;
      }
      ParseError(WParseValue, FormatMessage(SBadArgument, {T->ToString()}));
    }
    if (!First) {
      First = V;
    } else {
      if (!Values) {
        Values = NewList();
        Values->Add(First);
      }
      Values->Add(V);
    }
  }
  if (Values) return platform::MakeRef<TIEValue>(Values);
  return First;
}

IIEValue TIEClipsParser::ParseList() {
  IValueVector Values = NewList();
  for (;;) {
    const IStreamToken T = Next();
    if (T->Is(')')) {
      Back(T);
      break;
    }
    if (T->IsEndOfStream()) ParseError(WParseList, MessageText(SUnexpectedEOF));
    if (IsConstant(T) || IsVariable(T)) {
      Values->Add(TokenValue(T));
    } else if (T->Is('(')) {
      Values->Add(CallOrSingletons(T));
    } else if (T->Is('=')) {
      const IStreamToken N = Next();
      Back(N);
      if (!N->Is('(')) ParseError(WParseList, MessageText(SAtomNotEquals));
      Values->Add(CallValue(ParseFunCall()));
    } else if (T->Is('[') || T->Is(']')) {
      Values->Add(NewAtom(T->GetText()));
    } else {
      ParseError(WParseList, FormatMessage(SBadSlotValue, {T->ToString()}));
    }
  }
  return platform::MakeRef<TIEValue>(Values);
}

ISingletonsVector TIEClipsParser::ParseSingletons() {
  if (StackNearlyExhausted(StackReserve())) ParseError(WParsePoints, FormatMessage(SNestingTooDeep, {WParsePoints}));
  if (!Next()->Is('(')) ParseError(WParsePoints, MessageText(SMissingOpenParens));
  ISingletonsVector Points = platform::MakeRef<TSingletonsVector>();
  auto Coordinate = [&]() -> IIEValue {
    const IStreamToken T = Next();
    if (IsKind(T, dtInteger) || IsKind(T, dtFloat) || IsVariable(T)) return TokenValue(T);
    if (T->Is('(')) {
      Back(T);
      return CallValue(ParseFunCall());
    }
    ParseError(WParsePoints, MessageText(SExpectedNumVarFun));
  };
  for (IStreamToken T = Next(); !T->Is(')'); T = Next()) {
    if (!T->Is('(')) ParseError(WParsePoints, MessageText(SMissingOpenParens));
    IIEValue X = Coordinate();
    IIEValue Y = Coordinate();
    ExpectClose(WParsePoints);
    Points->Add(std::move(X), std::move(Y));
  }
  if (OnParseSingletons) OnParseSingletons(this, Points);
  return Points;
}

}  // namespace rulecore
