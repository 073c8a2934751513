// The miscellaneous package: a few shape classes, most serving several rule-language names
// through a selector, and the package table that fixes names, usage texts, arities, comments
// and creation order.  Depends on the function framework, the engine (its collections, printers,
// console routing and dialogs) and the date-time layer.
//
// Contents
//   1. Helpers        - errors, names, printing, sorted name lists
//   2. Constructs     - undef*, ppdef*
//   3. Listings       - rules, facts, agenda, list-def*
//   4. Switches       - setgen, set-reset-globals, get-/set-*-constraint-checking
//   5. Dialogs        - show-message, message-dlg, input-query, input-box
//   6. Evaluation     - parse, guard
//   7. Dates, times   - time, system-*, str-*, *-str, datetime-str-format, encode-*, decode-*
//   8. The package table
#include "MiscPackage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "BuiltinSupport.h"
#include "core/engine/HostDialogs.h"
#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/network/IEContext.h"
#include "core/network/IERule.h"
#include "core/network/ReteNetwork.h"
#include "core/values/DateTime.h"
#include "core/values/IEException.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

constexpr std::string_view CRLF = "\r\n";

// =============================================================================================
// 1. Helpers
// =============================================================================================

[[noreturn]] void FunctionError(const TIEUserFunction& Function, const std::string& Message) {
  throw EIEException(platform::Format(SFunctionError, {Function.GetFunctionName(), Message}));
}

bool IsTrueAtom(const TIEValue& Value) noexcept {
  return Value.GetDType() == dtAtom && Value.GetText() == FCTrue->GetText();
}

// The console output ("" and "t" are the same place).
void Print(TInferenceEngine& Engine, const std::string& Text) { Engine.PrintOut(Text); }

// Names in listing order: without regard to case, and by their exact text where only case
// tells them apart, so that a listing never depends on the order of a hash table.
void SortNames(std::vector<std::string>& Names) {
  std::sort(Names.begin(), Names.end(), [](const std::string& A, const std::string& B) {
    const int Order = platform::CompareText(A, B);
    return Order != 0 ? Order < 0 : A < B;
  });
}

// Each name on a line, then the total ("for a total of 3 rules.").
void PrintNames(TInferenceEngine& Engine, std::vector<std::string> Names, std::string_view Suffix) {
  SortNames(Names);
  std::string Text;
  for (const std::string& Name : Names) Text += Name + std::string(CRLF);
  Text += "for a total of " + std::to_string(Names.size()) + std::string(Suffix) + std::string(CRLF);
  Print(Engine, Text);
}

template <class TTable>
std::vector<std::string> KeysOf(const TTable& Table) {
  std::vector<std::string> Names;
  for (const auto& Entry : Table) Names.push_back(Entry.first);
  return Names;
}

bool IsInterpreted(const IUserFunction& Function) noexcept {
  return dynamic_cast<const TInterpretedFunction*>(Function.get()) != nullptr;
}

// A construct's text as a block of console lines.
std::string AsLines(std::string Text) {
  if (Text.size() < 2 || Text.compare(Text.size() - 2, 2, CRLF) != 0) Text += CRLF;
  return Text;
}

// Whether the call comes from a test the network is running on a match (a function in a
// pattern or a test element; the network's nodes evaluate in contexts pointed at the match), or
// from a rule being compiled.  Constructs added or removed then would change the network under
// the match.
bool MatchInProgress(TInferenceEngine& Engine, const TIEContext* Context) noexcept {
  if (Engine.GetReteNetwork().GetCompiling() || Engine.GetReteNetwork().GetPriming()) return true;
  for (const TIEContext* C = Context; C; C = C->GetParent())
    if (C->GetToken() || C->GetFact()) return true;
  return false;
}

// The templates every engine keeps for itself: the initial fact's, on which the engine's
// initial-fact pattern stays (removing it would take away every rule without conditions, and
// the initial fact of the next reset would be of another template that pattern never
// matches), and the one of the placeholder fact of negated joins.
bool IsInternalTemplate(std::string_view Name) noexcept { return Name == SInitialFactPattern || Name == SNullFact; }

// =============================================================================================
// 2. Constructs
// =============================================================================================

enum class TConstructKind : uint8_t { ckType, ckRule, ckFacts, ckFunction, ckTemplate };
using enum TConstructKind;

// The word a construct kind is called by in messages.
const char* KindWord(TConstructKind Kind) noexcept {
  switch (Kind) {
    case ckType: return "defined type";
    case ckRule: return "rule";
    case ckFacts: return "fact set";
    case ckFunction: return "function";
    case ckTemplate: return "fact template";
  }
  return "";
}

// "undeftype", "undefrule", "undeffacts", "undeffunction", "undeftemplate": TRUE when a
// construct of that name existed and is gone (with what depends on it), FALSE otherwise.
class TUndefineFunction final : public TSelectingFunction<TConstructKind> {
  PLATFORM_CLASS(TUndefineFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    const std::string Name = TextArg(Call, 0, Context);
    // Rules, templates and types take network nodes with them, which a match in progress may
    // be standing on.  Functions and fact sets leave the network alone.
    if ((Kind_ == ckRule || Kind_ == ckTemplate || Kind_ == ckType) && MatchInProgress(Engine, Context))
      FunctionError(*this, "constructs cannot be removed by a pattern or test while facts are being matched");
    Result = BoolValue(Remove(Engine, Name));
  }

 private:
  bool Remove(TInferenceEngine& Engine, const std::string& Name) const {
    switch (Kind_) {
      case ckType:
        if (!Engine.GetDefinedTypes().ContainsKey(Name)) return false;
        Engine.GetDefinedTypes().Remove(Name);
        return true;
      case ckRule:
        if (!Engine.GetRules().ContainsKey(Name)) return false;
        Engine.GetRules().Remove(Name);
        return true;
      case ckFacts: {
        TFactSet* Set = Engine.GetFactSets().Find(Name);
        if (!Set) return false;
        // Detached, not freed: the call may come from a function in a pattern while a reset
        // asserts this very set's facts.  A set the engine made stays one of its components
        // until the engine goes; one the host placed on its form stays with the host.
        Engine.GetFactSets().Remove(Set);
        return true;
      }
      case ckFunction: {
        IUserFunction Function;
        if (!Engine.ContainsUserFunction(Name, Function)) return false;
        Engine.GetUserFunctions().Remove(Function);
        return true;
      }
      case ckTemplate:
        if (IsInternalTemplate(Name) || !Engine.GetFactTemplates().ContainsKey(Name)) return false;
        Engine.GetFactTemplates().Remove(Name);
        return true;
    }
    return false;
  }
};

// "ppdefrule", "ppdeftemplate", "ppdeftype", "ppdeffunction", "ppdeffacts": the construct's
// canonical text on the console.  No answer; a name the engine does not know is an error.
class TPrettyPrintFunction final : public TSelectingFunction<TConstructKind> {
  PLATFORM_CLASS(TPrettyPrintFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    const std::string Name = TextArg(Call, 0, Context);
    std::string Text;
    if (!Find(Engine, Name, Text)) RaiseIE(SUnknownName, {KindWord(Kind_), Name});
    Print(Engine, AsLines(std::move(Text)));
    Result = nullptr;
  }

 private:
  bool Find(TInferenceEngine& Engine, const std::string& Name, std::string& Text) const {
    switch (Kind_) {
      case ckType:
        if (const IIEDefinedType Type = Engine.FindDefinedType(Name)) Text = Engine.PrettyPrint(*Type);
        break;
      case ckRule:
        if (const TRule* Rule = Engine.GetRules().GetItem(Name)) Text = Engine.PrettyPrint(*Rule);
        break;
      case ckFacts:
        if (const TFactSet* Set = Engine.GetFactSets().Find(Name)) Text = Engine.PrettyPrint(*Set);
        break;
      case ckFunction:
        // A deffunction prints as its construct, a built-in as its help text.
        if (const IUserFunction Function = Engine.GetUserFunction(Name)) Text = Engine.PrettyPrint(*Function);
        break;
      case ckTemplate:
        if (const IFactTemplate Template = Engine.FindFactTemplate(Name)) Text = Engine.PrettyPrint(*Template);
        break;
    }
    return !Text.empty();
  }
};

// =============================================================================================
// 3. Listings
// =============================================================================================

// (rules [logical-name]): every rule's text, sorted, then the count, to the logical name.
class TRulesFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TRulesFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    const std::string Name = Call.GetArgumentCount() > 0 ? TextArg(Call, 0, Context) : std::string();
    const TRules& Rules = Engine.GetRules();
    Engine.PrintOut(Name, Rules.ToString() + "For a total of " + std::to_string(Rules.Count()) + " rules." +
                              std::string(CRLF));
    Result = FCTrue;
  }
};

// (facts [start [end [max]]]): the facts with their ids, all or those with start <= id <= end,
// at most max of them (in fact-list order), then the count of lines printed.
class TFactsFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TFactsFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    const int Count = Call.GetArgumentCount();
    const std::vector<IFact>& Facts = Engine.GetFactList();
    std::string Text;
    size_t Total = 0;
    if (Count == 0) {
      Text = Engine.GetFacts().ToIDString();
      if (!Text.empty()) Text += CRLF;
      Total = Facts.size();
    } else {
      const int32_t Start = IntegerArg(Call, 0, Context);
      const int32_t End = Count > 1 ? IntegerArg(Call, 1, Context) : INT32_MAX;
      const int64_t Max = Count > 2 ? IntegerArg(Call, 2, Context) : static_cast<int64_t>(Facts.size());
      std::vector<std::string> Lines;
      for (const IFact& Fact : Facts) {
        if (static_cast<int64_t>(Lines.size()) >= Max) break;
        if (Fact->GetID() >= Start && Fact->GetID() <= End) Lines.push_back(Fact->GetToIDString());
      }
      std::sort(Lines.begin(), Lines.end());
      for (const std::string& Line : Lines) Text += Line + std::string(CRLF);
      Total = Lines.size();
    }
    Print(Engine, Text + "For a total of " + std::to_string(Total) + " facts." + std::string(CRLF));
    Result = FCTrue;
  }
};

// (agenda): each activation as "salience name : facts (strength)", then the count.
class TAgendaFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TAgendaFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    const TIEAgenda& Agenda = Engine.GetAgenda();
    std::string Text;
    for (int I = 0; I < Agenda.Count(); ++I) Text += Agenda.GetText(I) + std::string(CRLF);
    Print(Engine, Text + "for a total of " + std::to_string(Agenda.Count()) + " activations." + std::string(CRLF));
    Result = nullptr;
  }
};

// "list-defrules", "list-deftemplates", "list-deffacts", "list-deftypes", "list-deffunctions":
// the sorted names of the engine's constructs of one kind and their count.
class TListFunction final : public TSelectingFunction<TConstructKind> {
  PLATFORM_CLASS(TListFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    switch (Kind_) {
      case ckRule: PrintNames(Engine, KeysOf(Engine.GetRules()), " rules."); break;
      case ckTemplate: PrintNames(Engine, KeysOf(Engine.GetFactTemplates()), " deftemplates."); break;
      case ckType: PrintNames(Engine, KeysOf(Engine.GetDefinedTypes()), " deftypes."); break;
      case ckFacts: {
        std::vector<std::string> Names;
        for (const TFactSet* Set : Engine.GetFactSets()) Names.push_back(Set->GetFactSetName());
        PrintNames(Engine, std::move(Names), " deffacts.");
        break;
      }
      case ckFunction: {
        // The deffunctions; (list-deffunctions TRUE) lists every function the engine knows.
        const bool All = Call.GetArgumentCount() > 0 && IsTrueAtom(*ArgValue(Call, 0, Context));
        std::vector<std::string> Names;
        for (const auto& [Name, Function] : Engine.GetUserFunctions())
          if (All || IsInterpreted(Function)) Names.push_back(Name);
        PrintNames(Engine, std::move(Names), " deffunctions.");
        break;
      }
    }
    Result = nullptr;
  }
};

// =============================================================================================
// 4. Switches
// =============================================================================================

class TSetGenFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TSetGenFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  // The index only moves forward (an index already used could generate a symbol twice), so
  // the answer is the index now in force, which is not always the argument.
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    Engine.SetSymbolIndex(IntegerArg(Call, 0, Context));
    Result = NewInteger(Engine.GetSymbolIndex());
  }
};

class TResetGlobalsFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TResetGlobalsFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    if (Call.GetArgumentCount() == 0) {
      Result = BoolValue(Engine.GetResetGlobals());
      return;
    }
    const IIEValue Value = ArgValue(Call, 0, Context);
    Engine.SetResetGlobals(IsTrueAtom(*Value));
    Result = Value;
  }
};

enum class TCheckKind : uint8_t { chGetStatic, chGetDynamic, chSetStatic, chSetDynamic };
using enum TCheckKind;

// "get-/set-static-constraint-checking", "get-/set-dynamic-constraint-checking": the engine's
// type checks; a setter answers the previous setting.
class TConstraintCheckFunction final : public TSelectingFunction<TCheckKind> {
  PLATFORM_CLASS(TConstraintCheckFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    const TTypeCheck Check = Kind_ == chGetStatic || Kind_ == chSetStatic ? tcStatic : tcDynamic;
    TTypeChecks Checks = Engine.GetTypeChecks();
    Result = BoolValue(Checks.Contains(Check));
    if (Kind_ == chGetStatic || Kind_ == chGetDynamic) return;
    if (IsTrueAtom(*ArgValue(Call, 0, Context)))
      Checks.Include(Check);
    else
      Checks.Exclude(Check);
    Engine.SetTypeChecks(Checks);
  }
};

// =============================================================================================
// 5. Dialogs
// =============================================================================================

class TShowMessageFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TShowMessageFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    Engine.GetDialogs().ShowMessage(TextArg(Call, 0, Context));
    Result = nullptr;
  }
};

// (message-dlg text kind buttons [help-context]): the symbol of the button pressed.
class TMessageDlgFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TMessageDlgFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    const std::string Text = TextArg(Call, 0, Context);
    const TMsgDlgType Kind = KindArg(TextArg(Call, 1, Context));
    const TMsgDlgButtons Buttons = ButtonsArg(TextArg(Call, 2, Context));
    const int32_t HelpContext = Call.GetArgumentCount() > 3 ? IntegerArg(Call, 3, Context) : 0;
    Result = NewAtom(ModalResultName(Engine.GetDialogs().MessageDialog(Text, Kind, Buttons, HelpContext)));
  }

 private:
  // "mtWarning" or "Warning", in any case.
  static TMsgDlgType KindArg(const std::string& Name) {
    const auto& Kinds = platform::EnumInfo<TMsgDlgType>();
    auto Ordinal = Kinds.OrdinalOf(Name);
    if (!Ordinal) Ordinal = Kinds.OrdinalOf("mt" + Name);
    if (!Ordinal) RaiseIE(SUnknownName, {"dialog type", Name});
    return static_cast<TMsgDlgType>(*Ordinal);
  }

  // "[mbYes, mbNo]": names separated by commas or blanks; the brackets and the "mb" of each
  // name may be left out, and case does not matter.
  static TMsgDlgButtons ButtonsArg(const std::string& Text) {
    const auto& Names = platform::EnumInfo<TMsgDlgBtn>();
    auto IsDelimiter = [](char C) { return C == '[' || C == ']' || C == ',' || C == ' ' || C == '\t'; };
    TMsgDlgButtons Buttons;
    size_t Pos = 0;
    while (Pos < Text.size()) {
      while (Pos < Text.size() && IsDelimiter(Text[Pos])) ++Pos;
      size_t End = Pos;
      while (End < Text.size() && !IsDelimiter(Text[End])) ++End;
      if (End == Pos) break;
      const std::string Name = Text.substr(Pos, End - Pos);
      auto Ordinal = Names.OrdinalOf(Name);
      if (!Ordinal) Ordinal = Names.OrdinalOf("mb" + Name);
      if (!Ordinal) RaiseIE(SInvalidSetItem, {Name});
      Buttons.Include(static_cast<TMsgDlgBtn>(*Ordinal));
      Pos = End;
    }
    return Buttons;
  }
};

enum class TInputKind : uint8_t { inQuery, inBox };
using enum TInputKind;

// (input-query [caption [prompt [default]]]) answers the text entered or FALSE when cancelled;
// "input-box" answers the default instead of FALSE.
class TInputFunction final : public TSelectingFunction<TInputKind> {
  PLATFORM_CLASS(TInputFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    const int Count = Call.GetArgumentCount();
    const std::string Caption = Count > 0 ? TextArg(Call, 0, Context) : std::string();
    const std::string Prompt = Count > 1 ? TextArg(Call, 1, Context) : std::string();
    const std::string Default = Count > 2 ? TextArg(Call, 2, Context) : std::string();
    std::string Value = Default;
    const bool Entered = Engine.GetDialogs().InputQuery(Caption, Prompt, Value);
    if (Entered)
      Result = NewString(Value);
    else
      Result = Kind_ == inQuery ? FCFalse : NewString(Default);
  }
};

// =============================================================================================
// 6. Evaluation
// =============================================================================================

// (parse text): TRUE when the text was read and run without error, FALSE otherwise.  The
// silent abort ("exit") is not an error of the text: it passes, as it passes "try".  From a
// pattern or test during a match nothing is parsed (FALSE): a construct it defined would be
// compiled into the network the match is running through.
class TParseFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TParseFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    const std::string Text = TextArg(Call, 0, Context);
    if (MatchInProgress(Engine, Context)) {
      Result = FCFalse;
      return;
    }
    try {
      Engine.Parse(Text, true);
      Result = FCTrue;
    } catch (const platform::EAbort&) {
      throw;
    } catch (const std::exception&) {
      Result = FCFalse;
    }
  }
};

// Knows whether a rule still exists: rules can be removed, and freed, by the very expressions
// a guard evaluates.
class TRuleWatch final : public platform::TComponent {
  PLATFORM_CLASS(TRuleWatch, platform::TComponent)
 public:
  explicit TRuleWatch(TRule* Rule) : Rule_(Rule) {
    if (Rule_) FreeNotification(Rule_);
  }
  ~TRuleWatch() override {
    if (Rule_) RemoveFreeNotification(Rule_);
  }
  TRule* Get() const noexcept { return Rule_; }

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override {
    TComponent::Notification(Component, Operation);
    if (Operation == platform::opRemove && Component == Rule_) Rule_ = nullptr;
  }

 private:
  TRule* Rule_;
};

// (guard expression+): the value of the last expression; while they run, the rule being fired
// gains no activations from them (an assertion that matches the rule again does not schedule
// it).  The activations they would have added are withdrawn when the guard ends, also when an
// expression fails.  The rule's Enabled switch is not toggled for this: changing it recompiles
// the rule, which would give back the activation being fired and every one the guard meant to
// keep away, and place the rule's waiting activations anew on the agenda.
class TGuardFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGuardFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine* Engine = Context ? Context->GetEngine() : dynamic_cast<TInferenceEngine*>(Call.GetReasoner());
    TActivation* Firing = Engine ? Engine->GetCurrentActivation() : nullptr;
    TRule* Fired = Firing ? RegisteredRule(*Engine, *Firing) : nullptr;
    if (!Fired) {
      Evaluate(Call, Context, Result);
      return;
    }
    const TRuleWatch Rule(Fired);
    // The matches the rule had before, held so that no new token can take one's address.
    std::vector<IReteToken> Before{Firing->GetToken()};
    for (int I = 0; I < Engine->GetAgendaCount(); ++I) {
      const TActivation* A = Engine->GetActivation(I);
      if (A->GetRule() == Rule.Get()) Before.push_back(A->GetToken());
    }
    try {
      Evaluate(Call, Context, Result);
    } catch (...) {
      Withdraw(*Engine, Rule, Before);
      throw;
    }
    Withdraw(*Engine, Rule, Before);
  }

 private:
  // The firing rule while it is still one of the engine's rules.  An earlier action of the
  // firing may have removed it, and freed it, leaving the activation's pointer dangling: it is
  // compared, never followed.  A rule no longer in the engine gains no activations anyway.
  static TRule* RegisteredRule(TInferenceEngine& Engine, const TActivation& Firing) {
    const TRule* Rule = Firing.GetRule();
    for (const auto& Entry : Engine.GetRules())
      if (Entry.second == Rule) return Entry.second;
    return nullptr;
  }

  static void Evaluate(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
    for (int I = 0; I < Call.GetArgumentCount(); ++I) Result = Call.Evaluate(I, Context);
  }

  // Takes off the agenda every activation of the rule whose match is not one of Before.
  static void Withdraw(TInferenceEngine& Engine, const TRuleWatch& Rule, const std::vector<IReteToken>& Before) {
    if (!Rule.Get()) return;  // the arguments removed the rule, and its activations with it
    std::unordered_set<const TIEToken*> Known;
    for (const IReteToken& Token : Before) Known.insert(Token.get());
    for (int I = Engine.GetAgendaCount() - 1; I >= 0; --I) {
      // An event handler may have taken other activations off meanwhile.
      if (I >= Engine.GetAgendaCount()) continue;
      const TActivation* A = Engine.GetActivation(I);
      if (A->GetRule() == Rule.Get() && !Known.count(A->GetToken().get())) Engine.RemoveActivation(I);
    }
  }
};

// =============================================================================================
// 7. Dates and times
// =============================================================================================

// Conversion errors of the date layer reach the rule language as engine errors naming the
// function.
template <class F>
auto Converting(const TIEUserFunction& Function, F&& Convert) {
  try {
    return Convert();
  } catch (const platform::EConvertError& E) {
    FunctionError(Function, E.Message());
  }
}

enum class TClockKind : uint8_t { clSeconds, clDateTime, clDate, clTime };
using enum TClockKind;

// "time" (seconds since midnight), "system-datetime", "system-date", "system-time".
class TClockFunction final : public TSelectingFunction<TClockKind> {
  PLATFORM_CLASS(TClockFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall&, TIEContext*, IIEValue& Result) override {
    const TDateTime Now = Converting(*this, [] { return NowDateTime(); });
    const TDateTime Date = std::trunc(Now);
    const TDateTime Time = Now - Date;
    switch (Kind_) {
      case clSeconds: Result = NewFloat(Time * 86400.0); break;
      case clDateTime: Result = NewFloat(Now); break;
      case clDate: Result = NewFloat(Date); break;
      case clTime: Result = NewFloat(Time); break;
    }
  }
};

enum class TDatePart : uint8_t { dpDateTime, dpDate, dpTime };
using enum TDatePart;

// "str-datetime", "str-date", "str-time": text in the short formats read as a date-time.
class TStrToDateFunction final : public TSelectingFunction<TDatePart> {
  PLATFORM_CLASS(TStrToDateFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const std::string Text = TextArg(Call, 0, Context);
    const TDateTimeFormats Formats = GetDateTimeFormats();
    Result = NewFloat(Converting(*this, [&] {
      switch (Kind_) {
        case dpDate: return StrToDate(Text, Formats);
        case dpTime: return StrToTime(Text, Formats);
        case dpDateTime: break;
      }
      return StrToDateTime(Text, Formats);
    }));
  }
};

// "datetime-str", "date-str", "time-str": a date-time written in the short formats.
class TDateToStrFunction final : public TSelectingFunction<TDatePart> {
  PLATFORM_CLASS(TDateToStrFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const TDateTime Value = NumberArg(Call, 0, Context);
    const TDateTimeFormats Formats = GetDateTimeFormats();
    Result = NewString(Converting(*this, [&] {
      switch (Kind_) {
        case dpDate: return DateToStr(Value, Formats);
        case dpTime: return TimeToStr(Value, Formats);
        case dpDateTime: break;
      }
      return DateTimeToStr(Value, Formats);
    }));
  }
};

// (datetime-str-format value [format]): the date-time written by the format (see DateTime.h);
// without a format, as "datetime-str" writes it.
class TFormatDateTimeFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TFormatDateTimeFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const TDateTime Value = NumberArg(Call, 0, Context);
    const std::string Format = Call.GetArgumentCount() > 1 ? TextArg(Call, 1, Context) : std::string("c");
    const TDateTimeFormats Formats = GetDateTimeFormats();
    Result = NewString(Converting(*this, [&] { return FormatDateTime(Format, Value, Formats); }));
  }
};

enum class TEncodeKind : uint8_t { enDate, enTime };
using enum TEncodeKind;

// (encode-date year [month [day]]) and (encode-time hour [minute [second [millisecond]]]).
class TEncodeDateTimeFunction final : public TSelectingFunction<TEncodeKind> {
  PLATFORM_CLASS(TEncodeDateTimeFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const int Count = Call.GetArgumentCount();
    int32_t Parts[4] = {0, Kind_ == enDate ? 1 : 0, Kind_ == enDate ? 1 : 0, 0};
    for (int I = 0; I < Count && I < 4; ++I) Parts[I] = IntegerArg(Call, I, Context);
    TDateTime Value = 0;
    if (Kind_ == enDate) {
      if (!TryEncodeDate(Parts[0], Parts[1], Parts[2], Value))
        FunctionError(*this, platform::Format("year %d, month %d, day %d is not a valid date (years 1 to 9999)",
                                              {Parts[0], Parts[1], Parts[2]}));
    } else if (!TryEncodeTime(Parts[0], Parts[1], Parts[2], Parts[3], Value)) {
      FunctionError(*this, platform::Format("hour %d, minute %d, second %d, millisecond %d is not a valid time of day",
                                            {Parts[0], Parts[1], Parts[2], Parts[3]}));
    }
    Result = NewFloat(Value);
  }
};

enum class TDecodeKind : uint8_t { dkYear, dkMonth, dkDay, dkHour, dkMinute, dkSecond, dkMillisecond };
using enum TDecodeKind;

// "decode-year" ... "decode-millisecond": one calendar field of a date-time.
class TDecodeDateTimeFunction final : public TSelectingFunction<TDecodeKind> {
  PLATFORM_CLASS(TDecodeDateTimeFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;
  TDecodeKind GetDecode() const noexcept { return Kind_; }

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const TDateTime Value = NumberArg(Call, 0, Context);
    TDateTimeParts P;
    if (!TryDecodeDateTime(Value, P))
      FunctionError(*this, platform::Format("%s is not a valid date-time value (years 1 to 9999)", {NumberText(Value)}));
    int32_t Field = 0;
    switch (Kind_) {
      case dkYear: Field = P.Year; break;
      case dkMonth: Field = P.Month; break;
      case dkDay: Field = P.Day; break;
      case dkHour: Field = P.Hour; break;
      case dkMinute: Field = P.Minute; break;
      case dkSecond: Field = P.Second; break;
      case dkMillisecond: Field = P.Millisecond; break;
    }
    Result = NewInteger(Field);
  }
};

// =============================================================================================
// 8. The package table, in creation order
// =============================================================================================

constexpr int32_t NoLimit = TIEUserFunction::NoLimit;

constexpr TFunctionRow MiscFunctions[] = {
    {{"undeftype", "<defined-type-name-expression>", 1, 1,
      "Removes the defined type (deftype) of that name, together with every fact template that has a slot of "
      "that type and the facts and rules of those templates.  Returns TRUE if the type existed, else FALSE"},
     MakeFunction<TUndefineFunction, ckType>},
    {{"undefrule", " <rule-name>", 1, 1,
      "Removes the rule of that name and its activations.  Returns TRUE if the rule existed, else FALSE"},
     MakeFunction<TUndefineFunction, ckRule>},
    {{"undeffacts", " <fact-set-name>", 1, 1,
      "Removes the fact set (deffacts) of that name, so that reset no longer asserts its facts; facts already "
      "asserted stay.  Returns TRUE if the fact set existed, else FALSE"},
     MakeFunction<TUndefineFunction, ckFacts>},
    {{"undeffunction", " <function-name>", 1, 1,
      "Removes the function (usually a deffunction) of that name from the inference engine.  Returns TRUE if "
      "the function existed, else FALSE"},
     MakeFunction<TUndefineFunction, ckFunction>},
    {{"undeftemplate", " <fact-template-name>", 1, 1,
      "Removes the fact template (deftemplate) of that name, retracting its facts and removing the rules that "
      "use it.  Returns TRUE if the template existed, else FALSE"},
     MakeFunction<TUndefineFunction, ckTemplate>},
    {{"ppdefrule", " <rulename>", 1, 1, "Prints the rule of that name in its canonical (pretty printed) form"},
     MakeFunction<TPrettyPrintFunction, ckRule>},
    {{"ppdeftemplate", " <fact-template-name>", 1, 1,
      "Prints the fact template (deftemplate) of that name in its canonical (pretty printed) form"},
     MakeFunction<TPrettyPrintFunction, ckTemplate>},
    {{"ppdeftype", " <type-name>", 1, 1,
      "Prints the defined type (deftype) of that name in its canonical (pretty printed) form"},
     MakeFunction<TPrettyPrintFunction, ckType>},
    {{"ppdeffunction", " <function-name>", 1, 1,
      "Prints the deffunction of that name in its canonical (pretty printed) form; for a built-in function its "
      "description and syntax"},
     MakeFunction<TPrettyPrintFunction, ckFunction>},
    {{"ppdeffacts", " <fact-set-name>", 1, 1,
      "Prints the fact set (deffacts) of that name in its canonical (pretty printed) form"},
     MakeFunction<TPrettyPrintFunction, ckFacts>},
    {{"rules", "[<logical-name>]", 0, 1,
      "Prints every rule, sorted by its text, and their number to the logical name (the console when none is "
      "given).  Returns TRUE"},
     MakeFunction<TRulesFunction>},
    {{"facts", " [<start-integer-expression> [<end-integer-expression> [<max-integer-expression>]]]", 0, 3,
      "Prints the facts with their identifiers and their number.  With arguments only the facts whose "
      "identifier is at least <start> (and at most <end>), and no more than <max> of them.  Returns TRUE"},
     MakeFunction<TFactsFunction>},
    {{"agenda", "", 0, 0,
      "Prints the activations on the agenda in firing order (salience, rule name, facts and strength) and their "
      "number"},
     MakeFunction<TAgendaFunction>},
    {{"list-defrules", "", 0, 0, "Prints the names of all rules, sorted, and their number"},
     MakeFunction<TListFunction, ckRule>},
    {{"list-deftemplates", "", 0, 0, "Prints the names of all fact templates, sorted, and their number"},
     MakeFunction<TListFunction, ckTemplate>},
    {{"list-deffacts", "", 0, 0, "Prints the names of all fact sets (deffacts), sorted, and their number"},
     MakeFunction<TListFunction, ckFacts>},
    {{"list-deftypes", "", 0, 0, "Prints the names of all defined types (deftypes), sorted, and their number"},
     MakeFunction<TListFunction, ckType>},
    {{"list-deffunctions", "", 0, 1,
      "Prints the names of all deffunctions, sorted, and their number.  With the argument TRUE the built-in and "
      "host functions are listed too"},
     MakeFunction<TListFunction, ckFunction>},
    {{"setgen", " <integer-expression>", 1, 1,
      "Sets the number the next symbol made by gensym* carries.  The number only moves forward: a value not "
      "above the current one advances it by one.  Returns the number now in force"},
     MakeFunction<TSetGenFunction>},
    {{"set-reset-globals", " [<boolean-expression>]", 0, 1,
      "With an argument, makes reset restore the global variables to their initial values when the argument is "
      "TRUE (and leave them as they are otherwise) and returns the argument.  Without one, returns the current "
      "setting, TRUE or FALSE"},
     MakeFunction<TResetGlobalsFunction>},
    {{"get-static-constraint-checking", "", 0, 0,
      "Returns TRUE if values are checked against the slot types when rules and facts are parsed, else FALSE"},
     MakeFunction<TConstraintCheckFunction, chGetStatic>},
    {{"get-dynamic-constraint-checking", "", 0, 0,
      "Returns TRUE if values are checked against the slot types when facts are made while rules run, else "
      "FALSE"},
     MakeFunction<TConstraintCheckFunction, chGetDynamic>},
    {{"set-static-constraint-checking", " <boolean-expression>", 1, 1,
      "Turns the checking of values against slot types at parse time on (TRUE) or off (anything else).  "
      "Returns the previous setting"},
     MakeFunction<TConstraintCheckFunction, chSetStatic>},
    {{"set-dynamic-constraint-checking", " <boolean-expression>", 1, 1,
      "Turns the checking of values against slot types while rules run on (TRUE) or off (anything else).  "
      "Returns the previous setting"},
     MakeFunction<TConstraintCheckFunction, chSetDynamic>},
    {{"show-message", " <string-expression>", 1, 1, "Shows the message in a message box with an OK button"},
     MakeFunction<TShowMessageFunction>},
    {{"message-dlg",
      " <string-expression> mtWarning|mtError|mtInformation|mtConfirmation|mtCustom <string-set-expression> "
      "[<integer-expression>]",
      2, 4,
      "Shows the message in a dialog of the given kind with the buttons of the set, such as \"[mbYes, mbNo, "
      "mbCancel]\" (mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, "
      "mbHelp), and the optional help context.  Returns the button pressed as a symbol: mrOk, mrCancel, mrAbort, "
      "mrRetry, mrIgnore, mrYes, mrNo, mrAll, mrNoToAll, mrYesToAll or mrHelp"},
     MakeFunction<TMessageDlgFunction>},
    {{"input-query", " [<caption-string> [<prompt-string> [<default-string>]]]", 0, 3,
      "Asks the user for a line of text in a dialog with the caption and prompt, offering the default.  Returns "
      "the text entered, or FALSE if the user cancelled"},
     MakeFunction<TInputFunction, inQuery>},
    {{"input-box", " [<caption-string> [<prompt-string> [<default-string>]]]", 0, 3,
      "Asks the user for a line of text in a dialog with the caption and prompt, offering the default.  Returns "
      "the text entered, or the default if the user cancelled"},
     MakeFunction<TInputFunction, inBox>},
    {{"parse", "<string-expression>", 1, 1,
      "Parses the text as rule-language input, defining its constructs and executing its commands.  Returns "
      "TRUE if all of it was read and run without error, else FALSE"},
     MakeFunction<TParseFunction>},
    {{"guard", "<function-call-argument>+", 1, NoLimit,
      "Evaluates the arguments in order and returns the value of the last one.  Called from the actions of a "
      "rule, what the arguments do cannot activate that rule again"},
     MakeFunction<TGuardFunction>},
    {{"time", "", 0, 0, "Returns the number of seconds since midnight (local time) as a float"},
     MakeFunction<TClockFunction, clSeconds>},
    {{"system-datetime", "", 0, 0, "Returns the current local date and time as a date-time float: the days since 1899-12-30, the "
      "fraction being the time of day"},
     MakeFunction<TClockFunction, clDateTime>},
    {{"system-date", "", 0, 0, "Returns the current local date (at midnight) as a date-time float"},
     MakeFunction<TClockFunction, clDate>},
    {{"system-time", "", 0, 0, "Returns the current local time of day as a date-time float (a fraction of a day)"},
     MakeFunction<TClockFunction, clTime>},
    {{"str-datetime", " <string-expression> ", 1, 1,
      "Returns the date-time float of a text holding a date and a time in the short date and time formats "
      "(by default yyyy-mm-dd hh:nn:ss)"},
     MakeFunction<TStrToDateFunction, dpDateTime>},
    {{"str-date", " <string-expression> ", 1, 1,
      "Returns the date-time float of a text holding a date in the short date format (by default yyyy-mm-dd)"},
     MakeFunction<TStrToDateFunction, dpDate>},
    {{"str-time", " <string-expression> ", 1, 1,
      "Returns the date-time float (a fraction of a day) of a text holding a time in the short time format (by "
      "default hh:nn:ss)"},
     MakeFunction<TStrToDateFunction, dpTime>},
    {{"datetime-str", " <numeric-expression> ", 1, 1,
      "Returns the date and time of a date-time float as a string in the short date and time formats"},
     MakeFunction<TDateToStrFunction, dpDateTime>},
    {{"date-str", " <numeric-expression> ", 1, 1,
      "Returns the date of a date-time float as a string in the short date format"},
     MakeFunction<TDateToStrFunction, dpDate>},
    {{"time-str", " <numeric-expression> ", 1, 1,
      "Returns the time of a date-time float as a string in the short time format"},
     MakeFunction<TDateToStrFunction, dpTime>},
    {{"datetime-str-format", " <numeric-expression> <format-string-expression>", 1, 2,
      "Returns the date-time float written by the format: d, dd, ddd, dddd (day, name), m, mm, mmm, mmmm "
      "(month, name), yy, yyyy (year), h, hh, n, nn, s, ss, z, zzz (hour, minute, second, millisecond), am/pm, "
      "a/p, ampm (12-hour clock), ddddd, t, c (short date, time, both); text in quotes is copied"},
     MakeFunction<TFormatDateTimeFunction>},
    {{"encode-date", " <year-integer-expression> [<month-integer-expression> [<day-integer-expression>]]", 1, 3,
      "Returns the date-time float of the date (month and day default to 1)"},
     MakeFunction<TEncodeDateTimeFunction, enDate>},
    {{"encode-time",
      " <hour-integer-expression> [<minute-integer-expression> [<second-integer-expression> "
      "[<millisecond-integer-expression>]]]",
      1, 4, "Returns the date-time float (a fraction of a day) of the time of day (missing parts are 0)"},
     MakeFunction<TEncodeDateTimeFunction, enTime>},
    {{"decode-year", " <system-date-numeric-expression>", 1, 1, "Returns the year of a date-time float"},
     MakeFunction<TDecodeDateTimeFunction, dkYear>},
    {{"decode-month", " <system-date-numeric-expression>", 1, 1, "Returns the month (1-12) of a date-time float"},
     MakeFunction<TDecodeDateTimeFunction, dkMonth>},
    {{"decode-day", " <system-date-numeric-expression>", 1, 1,
      "Returns the day of the month (1-31) of a date-time float"},
     MakeFunction<TDecodeDateTimeFunction, dkDay>},
    {{"decode-hour", " <system-time-numeric-expression>", 1, 1, "Returns the hour (0-23) of a date-time float"},
     MakeFunction<TDecodeDateTimeFunction, dkHour>},
    {{"decode-minute", " <system-time-numeric-expression>", 1, 1,
      "Returns the minute (0-59) of a date-time float"},
     MakeFunction<TDecodeDateTimeFunction, dkMinute>},
    {{"decode-second", " <system-time-numeric-expression>", 1, 1,
      "Returns the second (0-59) of a date-time float"},
     MakeFunction<TDecodeDateTimeFunction, dkSecond>},
    {{"decode-millisecond", " <system-time-numeric-expression>", 1, 1,
      "Returns the millisecond (0-999) of a date-time float"},
     MakeFunction<TDecodeDateTimeFunction, dkMillisecond>},
};

}  // namespace

TMiscPackage::TMiscPackage(platform::TComponent* Owner) : TUserPackage(Owner) { CreateFunctions(); }

namespace {
const TPackageRegistration<TMiscPackage> Registered;
}  // namespace

void TMiscPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  AddFunctions(*this, MiscFunctions);
}

}  // namespace rulecore
