// The fact and engine commands of the standard package.  Depends on the function framework,
// the shared built-in helpers, the evaluation context, the engine and its fuzzy expressions.
//
// Contents
//   1. Helpers          - the engine and context a call works in, fact look-up, slot/value pairs
//   2. Working memory   - assert, assert-string, retract, retract-string, modify, duplicate,
//                         get-slot-value, get-/set-fact-duplication
//   3. Engine control   - reset, clear, run, watch, unwatch, do-backward-chaining

#include "FactCommands.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/engine/InferenceEngine.h"
#include "core/network/IEContext.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

using platform::MakeRef;

// Not in the published catalogue: this wording is the library's own.
constexpr std::string_view SAlreadyRunning = "The inference engine is already running";

// =============================================================================================
// 1. Helpers
// =============================================================================================

// An assertion the engine refused (-1) answers FALSE rather than an id no fact has.
IIEValue AssertionResult(TInferenceEngine& Engine, int32_t ID) {
  if (ID < 0) return FCFalse;
  IIEValue Address = MakeRef<TIEValue>();
  Address->SetAsFactAddress(ID, Engine.GetFactEpoch());
  return Address;
}

// The fact whose id argument Index gives (an integer or a fact address of this epoch).
IFact FactArg(TFunctionCall& Call, int Index, TIEContext* Context, TInferenceEngine& Engine) {
  const IIEValue Value = ArgValue(Call, Index, Context);
  IFact Fact = Engine.FactAt(*Value);
  if (!Fact) RaiseIE(SNoSuchFact, {std::to_string(Value->GetAsFactId())});
  return Fact;
}

// A value the fact keeps for itself: the fact layer may convert a stored value in place, and
// the resolved value can be a variable's binding or another fact's slot value.
IIEValue OwnCopy(const IIEValue& Value) { return Value ? MakeRef<TIEValue>(Value) : FCNil; }

// One (slot value...) pair of modify or duplicate, set on Fact.  The parser delivers a pair as a
// two-item list, the slot's name and the value; several values written there arrive as one list.
void SetPair(const IIEValue& Argument, TFact& Fact, TIEContext& Context) {
  const IValueVector Pair = Argument && Argument->GetDType() == dtList ? Argument->GetAsList() : nullptr;
  if (!Pair || Pair->GetValueCount() != 2 || !Pair->Get(0) || !Pair->Get(1))
    RaiseIE(SBadArgument, {Argument ? Argument->ToString() : std::string()});
  const std::string Name = TextOf(*Pair->Get(0));
  IFactSlot Slot;
  if (!Fact.GetTemplate()->ContainsSlot(Name, Slot)) RaiseIE(SInvalidSlotName, {Name});

  const IIEValue& Item = Pair->Get(1);
  if (Slot->IsFuzzy()) {
    // A linguistic expression ("very hot", "\"very hot\"", 75, ?t) for the slot's variable.
    TInferenceEngine* Engine = Context.GetEngine();
    if (!Engine) RaiseIE(SNeedFuzzyType);
    Fact.SetValue(Name, Engine->FuzzySlotValue(*Slot, Item, &Context));
    return;
  }
  if (Slot->IsMultiSlot() && Item->GetDType() == dtList) {
    // Separate values: each evaluated, in order, into a new list.  The slot's old list is not
    // changed in place, since other facts and bindings may share it.
    const IValueVector Values = Item->GetAsList();
    IValueVector List = NewList();
    for (int I = 0; I < Values->GetValueCount(); ++I) {
      const IIEValue& V = Values->Get(I);
      List->Add(V ? OwnCopy(V->Resolve(&Context)) : FCNil);
    }
    Fact.SetValue(Name, MakeRef<TIEValue>(List));
    return;
  }
  Fact.SetValue(Name, OwnCopy(Item->Resolve(&Context)));
}

void SetPairs(TFunctionCall& Call, TFact& Fact, TIEContext& Context) {
  for (int I = 1; I < Call.GetArgumentCount(); ++I) SetPair(Call.GetArgument(I), Fact, Context);
  Context.Resolve(Fact);
}

}  // namespace

// =============================================================================================
// 2. Working memory
// =============================================================================================

void TAssertFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  TIEContext& Ctx = ContextFor(Context, Engine);
  int32_t ID = -1;
  for (int I = 0; I < Call.GetArgumentCount(); ++I) {
    // The written fact stays as it is, so that the action can run again with other bindings.
    const IFact Fact = Ctx.ResolvedCopy(*ArgValue(Call, I, Context)->GetAsFact());
    ID = Engine.Assert(Fact, false);
  }
  Result = AssertionResult(Engine, ID);
}

void TAssertStringFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  int32_t ID = -1;
  for (int I = 0; I < Call.GetArgumentCount(); ++I) ID = Engine.Assert(TextArg(Call, I, Context));
  Result = AssertionResult(Engine, ID);
}

void TRetractFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  Result = FCTrue;
  for (int I = 0; I < Call.GetArgumentCount(); ++I) {
    const IIEValue V = ArgValue(Call, I, Context);
    if (I == 0 && V->GetDType() == dtAtom && V->GetText() == "*") {
      Engine.GetFacts().Clear();
      return;
    }
    // An address of a fact gone with a reset names nothing, not the newer fact with its id.
    if (const IFact Fact = Engine.FactAt(*V)) Engine.RetractFact(*Fact);
  }
}

void TRetractStringFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  for (int I = 0; I < Call.GetArgumentCount(); ++I) Engine.Retract(TextArg(Call, I, Context));
  Result = FCTrue;
}

void TModifyFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  TIEContext& Ctx = ContextFor(Context, Engine);
  const IFact Fact = FactArg(Call, 0, Context, Engine);
  if (Kind_ == mdDuplicate) {
    const IFact Copy = Fact->Clone();
    SetPairs(Call, *Copy, Ctx);
    Result = AssertionResult(Engine, Engine.Assert(Copy, false));
    return;
  }
  // A modify that fails puts the fact back as it was: a half-applied change would leave a fact
  // no rule asked for.
  const TFactValues::TEntries& Current = Fact->GetSlotValues().Entries();
  std::vector<TFactValues::TEntry> Before(Current.begin(), Current.end());
  Engine.BeginFactModify(*Fact);
  try {
    SetPairs(Call, *Fact, Ctx);
  } catch (...) {
    Fact->GetSlotValues().Replace(std::move(Before));
    Engine.EndFactModify(Fact);
    throw;
  }
  Result = AssertionResult(Engine, Engine.EndFactModify(Fact));
}

void TGetSlotValueFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  const IIEValue Argument = ArgValue(Call, 0, Context);
  IFact Fact;
  switch (Argument->GetDType()) {
    case dtInteger:
    case dtFactId:
      Fact = EngineFor(Call, Context, *this).FactAt(*Argument);
      if (!Fact) RaiseIE(SNoSuchFact, {TextOf(*Argument)});
      break;
    case dtFact: Fact = Argument->GetAsFact(); break;
    default:
      RaiseIE(SInvalidArgType, {GetIETypeName(Argument->GetDType()),
                                GetIETypeName(dtFactId).substr(2) + ", " + GetIETypeName(dtFact).substr(2)});
  }
  const std::string Slot = Call.GetArgumentCount() > 1 ? TextArg(Call, 1, Context) : std::string(SDefaultSlotName);
  // A copy down to the list's items: the fact is in working memory.
  Result = OwnCopy(Fact->GetValue(Slot));
}

void TFactDuplicationFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  Result = BoolValue(!Engine.GetFactDuplication());
  if (Kind_ == fdSet) {
    const IIEValue V = ArgValue(Call, 0, Context);
    Engine.SetFactDuplication(V->GetDType() == dtAtom && V->GetText() == FCFalse->GetText());
  }
}

// =============================================================================================
// 3. Engine control
// =============================================================================================

void TResetFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  if (Kind_ == rsReset)
    Engine.Reset();
  else
    Engine.Clear();
  Result = FCTrue;
}

void TBackChainFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  for (int I = 0; I < Call.GetArgumentCount(); ++I) Engine.DoBackwardChaining(TextArg(Call, I, Context));
  Result = FCTrue;
}

void TRunFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  // A run started by a rule action would fire the action's own activation again, or lose track
  // of it once withdrawn; the run in progress goes on with the agenda anyway.
  if (Engine.GetCurrentActivation()) throw EIEException(std::string(SAlreadyRunning));
  // The limit is read as written: it must be an integer literal.
  const int32_t Fired = Call.GetArgumentCount() > 0 ? Engine.Run(Call.GetArgument(0)->GetAsInteger()) : Engine.Run();
  Result = NewInteger(Fired);
}

void TWatchFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  // "watch" evaluates its argument; "unwatch" takes the word as written.
  const std::string Word = Kind_ == wtWatch ? TextArg(Call, 0, Context) : TextOf(*Call.GetArgument(0));
  TConstructWatches Kinds;
  if (Word == "all")
    Kinds = TConstructWatches::All();
  else if (Word == "activations")
    Kinds.Include(cwActivation);
  else if (Word == "facts")
    Kinds.Include(cwFact);
  else if (Word == "rules")
    Kinds.Include(cwRule);
  else if (Word == "compilations")
    Kinds.Include(cwCompilation);
  else if (Word == "statistics")
    Kinds.Include(cwStatistics);
  else
    RaiseIE(Kind_ == wtWatch ? SCannotWatch : SCannotUnWatch, {Word});
  Engine.SetWatch(Kind_ == wtWatch ? Engine.GetWatch() | Kinds : Engine.GetWatch() - Kinds);
  Result = FCTrue;
}

}  // namespace rulecore
