// The standard package's functions and their registration.  Depends on the function framework,
// the shared built-in helpers, the evaluation context and the engine (for its symbol generator,
// store/fetch table and halt request).
//
// Contents
//   1. Helpers            - list arguments, keywords, the context and engine a call needs, blocks
//   2. Logic              - and, or, not
//   3. Comparisons        - eq, eq*, neq, =, <>, <, <=, >, >= (one class, one switch); member
//   4. Control            - if, while, foreach, return, try, throw
//   5. Variables, storage - bind, __get-var, store, fetch, clear-storage, gensym*
//   6. Engine             - exit, halt, version
//   7. Multifields        - create$ ... subsetp
//   8. The creation table - every function in the package's creation order
//
// Every function receives its arguments as written and resolves them itself, left to right and
// at most once each; the control structures rely on this to run only the branch they choose.

#include "StandardPackage.h"

#include <string>
#include <string_view>
#include <vector>

#include "BuiltinSupport.h"
#include "FactCommands.h"
#include "FileCommands.h"
#include "IOFunctions.h"
#include "core/engine/InferenceEngine.h"
#include "core/network/IEContext.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

using platform::MakeRef;

// =============================================================================================
// 1. Helpers
// =============================================================================================

IIEValue Resolved(const IIEValue& Item, TIEContext* Context) {
  IIEValue V = Item ? Item->Resolve(Context) : nullptr;
  return V ? V : MakeRef<TIEValue>();
}

IValueVector ListArg(TFunctionCall& Call, int Index, TIEContext* Context) {
  IValueVector List = ArgValue(Call, Index, Context)->GetAsList();
  return List ? List : FCNilList->GetAsList();
}

// The text a variable-naming argument is written with ("?x" names x).
std::string WrittenName(const TIEValue& Argument) {
  return Argument.IsText() ? std::string(Argument.GetText()) : Argument.GetAsString();
}

// Keywords and truth values are atoms; comparing the kind and text directly is the strict
// equality of atoms without handing an atom to a fuzzy value's comparison.
bool IsAtom(const TIEValue* V, const IIEValue& Constant) noexcept {
  if (V == Constant.get()) return true;
  // The shared truth values (every comparison's answer) differ from each other in their text.
  if (V == FCTrue.get() || V == FCFalse.get()) return false;
  return V && V->GetDType() == dtAtom && V->GetText() == Constant->GetText();
}
bool IsAtom(const IIEValue& V, const IIEValue& Constant) noexcept { return IsAtom(V.get(), Constant); }

bool IsFalse(const IIEValue& V) noexcept { return IsAtom(V, FCFalse); }

// The result of a call its function decided (see TFunctionCall::Decide).
bool Decided(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  const int Answer = Call.Decide(Context);
  if (Answer < 0) return false;
  Result = Answer ? FCTrue : FCFalse;
  return true;
}

// A copy for a new list: lists are copied too, so results never share items with inputs.
IIEValue CopyOf(const IIEValue& V) { return V ? MakeRef<TIEValue>(V) : MakeRef<TIEValue>(); }

// Index errors the rule language causes are engine errors with the list's own wording.
[[noreturn]] void IndexError(long long Index) {
  try {
    platform::ListIndexError(Index);
  } catch (const platform::EListError& E) {
    throw EIEException(E.Message());
  }
}

[[noreturn]] void FunctionError(const TIEUserFunction& Function, const std::string& Message) {
  throw EIEException(platform::Format(SFunctionError, {Function.GetFunctionName(), Message}));
}

// A call run outside any rule has no context; functions that bind or return need one.
TIEContext& NeedContext(TIEContext* Context, const TIEUserFunction& Function) {
  if (!Context) FunctionError(Function, FormatMessage(SNoContext, {GetIETypeName(dtFunCall)}));
  return *Context;
}

// The engine the call runs in: the context's, or else the engine that built the call.
TInferenceEngine& NeedEngine(TFunctionCall& Call, TIEContext* Context, const TIEUserFunction& Function) {
  if (Context && Context->GetEngine()) return *Context->GetEngine();
  if (auto* Engine = dynamic_cast<TInferenceEngine*>(Call.GetReasoner())) return *Engine;
  FunctionError(Function, FormatMessage(SUnknownEngine));
}

bool Returned(const TIEContext* Context) noexcept { return Context && Context->GetReturned(); }

// The engine a loop runs in, if any, looked up once per loop.
const TInferenceEngine* LoopEngine(TFunctionCall& Call, TIEContext* Context) noexcept {
  if (Context && Context->GetEngine()) return Context->GetEngine();
  return dynamic_cast<const TInferenceEngine*>(Call.GetReasoner());
}

// A host's Halt (from any thread) ends a loop at its next round with the silent abort, which no
// "try" catches: nothing else stops a loop that never ends by itself.  The rule's own "halt"
// lets its loops run to their end.
void EndLoopIfHalted(const TInferenceEngine* Engine) {
  if (Engine && Engine->GetHaltLoops()) throw platform::EAbort();
}

// Runs arguments First..Last-1 as a block: each value becomes Result; a "return" inside ends
// the block with the return value as Result.  Answers whether the block was ended so.
bool RunBlock(TFunctionCall& Call, int First, int Last, TIEContext* Context, IIEValue& Result) {
  for (int I = First; I < Last; ++I) {
    Result = Call.Evaluate(I, Context);
    if (Returned(Context)) {
      Result = Context->GetReturnValue();
      return true;
    }
  }
  return false;
}

// =============================================================================================
// 2. Logic
// =============================================================================================

// "and" stops at the first FALSE, "or" at the first TRUE; anything else lets both go on.
enum class TAndOrKind : uint8_t { loAnd, loOr };
class TAndOrFunction final : public TSelectingFunction<TAndOrKind> {
  PLATFORM_CLASS(TAndOrFunction, TBuiltinFunction)
 public:
  using enum TAndOrKind;
  using TSelectingFunction::TSelectingFunction;
  bool DecidesTruth() const noexcept override { return true; }
  TDecisionRole GetDecisionRole() const noexcept override {
    return Kind_ == loOr ? TDecisionRole::AnyOf : TDecisionRole::None;
  }

 protected:
  int Decide(const TIEValue* const* Arguments, int Count) const override {
    const IIEValue& Stop = Kind_ == loAnd ? FCFalse : FCTrue;
    for (int I = 0; I < Count; ++I)
      if (IsAtom(Arguments[I], Stop)) return Kind_ == loAnd ? 0 : 1;
    return Kind_ == loAnd ? 1 : 0;
  }

  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    // Connectives of comparisons on existing values (a pattern's "B|-") are decided without
    // running a call; arguments that must run are run in order, as written.
    if (Decided(Call, Context, Result)) return;
    const IIEValue& Stop = Kind_ == loAnd ? FCFalse : FCTrue;
    for (int I = 0; I < Call.GetArgumentCount(); ++I)
      if (IsAtom(Call.Evaluate(I, Context), Stop)) {
        Result = Stop;
        return;
      }
    Result = Kind_ == loAnd ? FCTrue : FCFalse;
  }
};

class TNotFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TNotFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;
  bool DecidesTruth() const noexcept override { return true; }

 protected:
  int Decide(const TIEValue* const* Arguments, int) const override { return IsAtom(Arguments[0], FCFalse) ? 1 : 0; }

  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    if (Decided(Call, Context, Result)) return;
    Result = BoolValue(IsFalse(Call.Evaluate(0, Context)));
  }
};

// =============================================================================================
// 3. Comparisons
// =============================================================================================

// The first argument against each of the others (eq, eq*, neq, =, <>), or each argument against
// its right neighbour (<, <=, >, >=).  The "all" kinds answer FALSE at the first pair that does
// not hold, the "none" kinds (neq, <>) at the first pair that does.
enum class TCompareKind : uint8_t { cmEq, cmEqStar, cmNeq, cmNumEq, cmNumNeq, cmLess, cmLessEq, cmGreater, cmGreaterEq };
class TCompareFunction final : public TSelectingFunction<TCompareKind> {
  PLATFORM_CLASS(TCompareFunction, TBuiltinFunction)
 public:
  using enum TCompareKind;
  using TSelectingFunction::TSelectingFunction;
  bool DecidesTruth() const noexcept override { return true; }
  TDecisionRole GetDecisionRole() const noexcept override {
    return Kind_ == cmEq ? TDecisionRole::StrictEqual : TDecisionRole::None;
  }

 protected:
  // As Execute, on values that exist already.  A numeric comparison decides only on integers and
  // floats and stops where Execute stops, so an argument that Execute would convert (or reject)
  // is left to Execute.
  int Decide(const TIEValue* const* Arguments, int Count) const override {
    const bool None = Kind_ == cmNeq || Kind_ == cmNumNeq;
    if (Kind_ >= cmNumEq) {
      double Left;
      if (!PlainNumber(*Arguments[0], Left)) return -1;
      for (int I = 1; I < Count; ++I) {
        double Right;
        if (!PlainNumber(*Arguments[I], Right)) return -1;
        if (Holds(Left, Right) == None) return 0;
        if (Kind_ >= cmLess) Left = Right;
      }
      return 1;
    }
    for (int I = 1; I < Count; ++I)
      if ((Kind_ == cmEqStar ? Arguments[0]->EqualsStar(Arguments[I]) : Arguments[0]->Equals(Arguments[I])) == None)
        return 0;
    return 1;
  }

  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const bool None = Kind_ == cmNeq || Kind_ == cmNumNeq;
    Result = FCTrue;
    if (Kind_ >= cmNumEq) {
      double Left = NumberArg(Call, 0, Context);
      for (int I = 1; I < Call.GetArgumentCount(); ++I) {
        const double Right = NumberArg(Call, I, Context);
        if (Holds(Left, Right) == None) {
          Result = FCFalse;
          return;
        }
        if (Kind_ >= cmLess) Left = Right;
      }
      return;
    }
    // When every argument already exists (constants, bound slots), Decide compares them
    // uncounted.  An argument that has to be evaluated may run any code, even retract the fact
    // a borrowed value lives in, so then every value is held counted.
    if (Decided(Call, Context, Result)) return;
    const IIEValue First = ArgValue(Call, 0, Context);
    for (int I = 1; I < Call.GetArgumentCount(); ++I) {
      const IIEValue Other = ArgValue(Call, I, Context);
      const bool Equal = Kind_ == cmEqStar ? First->EqualsStar(Other) : First->Equals(Other);
      if (Equal == None) {
        Result = FCFalse;
        return;
      }
    }
  }

 private:
  static bool PlainNumber(const TIEValue& Value, double& Number) noexcept {
    if (Value.GetDType() != dtInteger && Value.GetDType() != dtFloat) return false;
    Number = Value.GetPlainNumber();
    return true;
  }

  bool Holds(double Left, double Right) const noexcept {
    switch (Kind_) {
      case cmLess: return Left < Right;
      case cmLessEq: return Left <= Right;
      case cmGreater: return Left > Right;
      case cmGreaterEq: return Left >= Right;
      case cmNumEq:
      case cmNumNeq:
      case cmEq:
      case cmEqStar:
      case cmNeq: return Left == Right;
    }
    return false;
  }
};

// The 0-based position among the following arguments of the first one equal to the first.
class TMemberFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TMemberFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const IIEValue Wanted = ArgValue(Call, 0, Context);
    for (int I = 1; I < Call.GetArgumentCount(); ++I)
      if (Wanted->Equals(ArgValue(Call, I, Context))) {
        Result = NewInteger(I - 1);
        return;
      }
    Result = FCFalse;
  }
};

// =============================================================================================
// 4. Control
// =============================================================================================

// (if <condition> then <expression>+ [else <expression>+])
class TIfFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TIfFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    if (!IsAtom(Call.GetArgument(1), FCThen)) RaiseIE(SSyntaxError, {MessageText(SMissingThen)});
    const int Count = Call.GetArgumentCount();
    const bool Condition = !IsFalse(Call.Evaluate(0, Context));
    Result = FCFalse;
    if (Condition) {
      for (int I = 2; I < Count; ++I) {
        IIEValue V = Call.Evaluate(I, Context);
        if (IsAtom(V, FCElse)) return;
        Result = std::move(V);
        if (Returned(Context)) {
          Result = Context->GetReturnValue();
          return;
        }
      }
      return;
    }
    // At least one expression stands between "then" and "else".
    for (int I = 3; I < Count; ++I)
      if (IsAtom(Call.GetArgument(I), FCElse)) {
        RunBlock(Call, I + 1, Count, Context, Result);
        return;
      }
  }
};

// (while <condition> [do] <expression>*): the condition is tested before every round, so a loop
// that ends normally answers the FALSE that ended it.
class TWhileFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TWhileFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const int Body = IsAtom(Call.GetArgument(1), FCDo) ? 2 : 1;
    const TInferenceEngine* Engine = LoopEngine(Call, Context);
    Result = Call.Evaluate(0, Context);
    while (!IsFalse(Result)) {
      EndLoopIfHalted(Engine);
      if (RunBlock(Call, Body, Call.GetArgumentCount(), Context, Result)) return;
      Result = Call.Evaluate(0, Context);
    }
  }
};

// (foreach <name> <list> <expression>*)
class TForeachFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TForeachFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TIEContext& Ctx = NeedContext(Context, *this);
    // The name is normally written as a symbol.  Written as a variable it names that variable:
    // evaluating it would take whatever the variable last held (such as the final item of an
    // earlier loop) as the name.
    const IIEValue& Written = Call.GetArgument(0);
    const std::string Name =
        IEVariableTypes.Contains(Written->GetDType()) ? WrittenName(*Written) : TextArg(Call, 0, Context);
    const IValueVector List = ListArg(Call, 1, Context);
    const TInferenceEngine* Engine = LoopEngine(Call, Context);
    Result = FCNil;
    for (int I = 0; I < List->GetValueCount(); ++I) {
      EndLoopIfHalted(Engine);
      const IIEValue& Item = List->Get(I);
      Ctx.SetVariable(Name, Item ? Resolved(Item, Context) : FCNil);
      if (RunBlock(Call, 2, Call.GetArgumentCount(), Context, Result)) return;
    }
  }
};

// The value is handed back as written: the deffunction (or rule) that ends resolves it.
class TReturnFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TReturnFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    NeedContext(Context, *this).SetReturnValue(Call.GetArgument(0));
    Result = Call.GetArgument(0);
  }
};

// (try <protected>* [finally <expression>*] [catch|except <expression>*])
// Behaves as a try/finally block inside a try/except block: the finally part runs whether or
// not the protected part failed, and a failure of either goes to the catch part with its
// message in ?__ERROR.  The silent abort of "exit" runs the finally part but is never caught.
class TTryFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TTryFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const int Count = Call.GetArgumentCount();
    int Finally = -1;
    for (int I = 0; I < Count && Finally < 0; ++I)
      if (IsAtom(Call.GetArgument(I), FCFinally)) Finally = I;
    int Catch = -1;
    for (int I = Finally + 1; I < Count && Catch < 0; ++I)
      if (IsAtom(Call.GetArgument(I), FCCatch) || IsAtom(Call.GetArgument(I), FCExcept)) Catch = I;
    if (Finally < 0 && Catch < 0) RaiseIE(SMissingCatchStatement);
    const int ProtectedEnd = Finally >= 0 ? Finally : Catch;
    const int FinallyEnd = Catch >= 0 ? Catch : Count;

    std::string Message;
    try {
      bool InProtected = true;
      try {
        Result = nullptr;
        RunBlock(Call, 0, ProtectedEnd, Context, Result);
        InProtected = false;
        if (Finally >= 0) RunFinally(Call, Finally + 1, FinallyEnd, Context, Result);
      } catch (const platform::Exception&) {
        if (InProtected && Finally >= 0) {
          IIEValue Ignored;
          RunFinally(Call, Finally + 1, FinallyEnd, Context, Ignored);
        }
        throw;
      }
      return;
    } catch (const platform::EAbort&) {
      Result = FCFalse;
      throw;
    } catch (const platform::Exception& E) {
      Message = E.Message();
    }
    Result = FCFalse;
    if (Catch < 0) return;
    if (Context) Context->SetVariable("__ERROR", NewString(Message));
    RunBlock(Call, Catch + 1, Count, Context, Result);
  }

 private:
  // The finally part runs to its end even after the protected part returned; a return raised
  // earlier stays in force (and stays the result) unless the finally part returns itself.
  static void RunFinally(TFunctionCall& Call, int First, int Last, TIEContext* Context, IIEValue& Result) {
    if (!Returned(Context)) {
      RunBlock(Call, First, Last, Context, Result);
      return;
    }
    const IIEValue Pending = Context->GetReturnValue();
    Context->ClearReturnValue();
    IIEValue Ignored;
    if (!RunBlock(Call, First, Last, Context, Ignored)) Context->SetReturnValue(Pending);
    Result = Context->GetReturnValue();
  }
};

class TThrowFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TThrowFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue&) override {
    throw EIEException(TextArg(Call, 0, Context));
  }
};

// =============================================================================================
// 5. Variables and storage
// =============================================================================================

// (bind <variable> <expression>): the variable is named, not evaluated.
class TBindFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TBindFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TIEContext& Ctx = NeedContext(Context, *this);
    const std::string Name = WrittenName(*Call.GetArgument(0));
    Result = Call.Evaluate(1, Context);
    Ctx.SetVariable(Name, Result);
  }
};

// What a parenthesised variable compiles to: a written variable gives its binding; any other
// argument names the variable to look up, nil when unbound.
class TGetVarFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGetVarFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TIEContext& Ctx = NeedContext(Context, *this);
    if (IEVariableTypes.Contains(Call.GetArgument(0)->GetDType())) {
      Result = Call.Evaluate(0, Context);
      return;
    }
    IIEValue Bound = Ctx.FindVariableValue(TextArg(Call, 0, Context));
    Result = Bound ? Bound : FCNil;
  }
};

// (store <name> <value>): storing nil leaves the name holding no value.
class TStoreFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TStoreFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = NeedEngine(Call, Context, *this);
    IIEValue Value = Call.Evaluate(1, Context);
    if (Value == FCNil) Value = nullptr;
    Engine.GetEngineVariables().SetItems(TextArg(Call, 0, Context), Value);
    Result = Value;
  }
};

// (fetch <name>): nil for a name never stored, no value for one stored as nil.  The key is
// evaluated as "store" evaluates it, so a key held in a variable finds what was stored under it.
class TFetchFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TFetchFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = NeedEngine(Call, Context, *this);
    IIEValue Stored;
    Result = Engine.GetEngineVariables().ContainsKey(TextArg(Call, 0, Context), Stored) ? Stored : FCNil;
  }
};

class TClearStorageFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TClearStorageFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    NeedEngine(Call, Context, *this).GetEngineVariables().Clear();
    Result = nullptr;
  }
};

class TGensymFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGensymFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    Result = NewAtom(NeedEngine(Call, Context, *this).GenerateSymbol("gen"));
  }
};

// =============================================================================================
// 6. Engine
// =============================================================================================

class TExitFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TExitFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall&, TIEContext*, IIEValue&) override { throw platform::EAbort(); }
};

class THaltFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(THaltFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    // The rule being fired finishes; Run stops before the next one.
    NeedEngine(Call, Context, *this).SetHalt(true);
    Result = FCTrue;
  }
};

class TVersionFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TVersionFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall&, TIEContext*, IIEValue& Result) override {
    Result = NewFloat(TInferenceEngine::Version);
  }
};

// =============================================================================================
// 7. Multifields
// =============================================================================================
// Positions are 0-based.  Items read from a list are resolved before use; items put into a
// new list are copies, so a result never shares an item with an input.

IIEValue ListValue(const IValueVector& List) { return MakeRef<TIEValue>(List); }

// Copies of the items of List whose index lies outside Start..End.
IValueVector WithoutRange(const TValueVector& List, int32_t Start, int32_t End, TIEContext* Context) {
  IValueVector Result = NewList();
  Result->Reserve(List.GetValueCount());
  for (int I = 0; I < List.GetValueCount(); ++I) {
    if (I >= Start && I <= End) continue;
    const IIEValue& Item = List.Get(I);
    // An item that reads as itself (a constant, the usual case) is copied without resolving.
    if (Item && Item->Peek(nullptr) == Item.get())
      Result->Add(MakeRef<TIEValue>(Item));
    else
      Result->Add(CopyOf(Resolved(Item, Context)));
  }
  return Result;
}

IValueVector CopyItems(const TValueVector& List, TIEContext* Context) { return WithoutRange(List, 0, -1, Context); }

void CheckRange(int32_t Start, int32_t End) {
  if (End < Start) RaiseIE(SInvalidMFParameters, {Start, End});
}

class TCreateFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TCreateFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    IValueVector List = NewList();
    List->Reserve(Call.GetArgumentCount());
    for (int I = 0; I < Call.GetArgumentCount(); ++I) List->Add(CopyOf(ArgValue(Call, I, Context)));
    Result = ListValue(List);
  }
};

// (nth$ <index> <list>): the item as stored.
class TNthFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TNthFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const int32_t Index = IntegerArg(Call, 0, Context);
    const IValueVector List = ListArg(Call, 1, Context);
    if (Index < 0 || Index >= List->GetValueCount()) IndexError(Index);
    Result = List->Get(Index);
  }
};

class TFirstFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TFirstFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const IValueVector List = ListArg(Call, 0, Context);
    Result = List->Empty() ? FCNil : Resolved(List->First(), Context);
  }
};

class TRestFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TRestFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const IValueVector List = ListArg(Call, 0, Context);
    Result = ListValue(WithoutRange(*List, 0, 0, Context));
  }
};

class TLengthFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TLengthFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    Result = NewInteger(ListArg(Call, 0, Context)->GetValueCount());
  }
};

// (member$ <value> <list>): the 0-based index of the first equal item, or FALSE.
class TMemberListFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TMemberListFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const IIEValue Wanted = ArgValue(Call, 0, Context);
    const IValueVector List = ListArg(Call, 1, Context);
    for (int I = 0; I < List->GetValueCount(); ++I)
      if (Wanted->Equals(Resolved(List->Get(I), Context))) {
        Result = NewInteger(I);
        return;
      }
    Result = FCFalse;
  }
};

// delete$, subseq$ and replace$ share the range check; their differences are small enough to
// read side by side in one switch.
enum class TRangeKind : uint8_t { rgDelete, rgSubseq, rgReplace };
class TRangeFunction final : public TSelectingFunction<TRangeKind> {
  PLATFORM_CLASS(TRangeFunction, TBuiltinFunction)
 public:
  using enum TRangeKind;
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const IValueVector List = ListArg(Call, 0, Context);
    const int32_t Start = IntegerArg(Call, 1, Context);
    const int32_t End = IntegerArg(Call, 2, Context);
    CheckRange(Start, End);
    IValueVector Out;
    switch (Kind_) {
      case rgDelete:
        Out = WithoutRange(*List, Start, End, Context);
        break;
      case rgSubseq:
        if (Start < 0) IndexError(Start);
        if (End >= List->GetValueCount()) IndexError(End);
        Out = NewList();
        for (int32_t I = Start; I <= End; ++I) Out->Add(CopyOf(Resolved(List->Get(I), Context)));
        break;
      case rgReplace:
        // What is replaced must be there: a range past the end would silently shorten the list.
        if (Start < 0) IndexError(Start);
        if (End >= List->GetValueCount()) IndexError(End);
        Out = WithoutRange(*List, Start, End, Context);
        // Each new item goes in at Start, so the last one given ends up first.
        for (int I = 3; I < Call.GetArgumentCount(); ++I) Out->Insert(Start, CopyOf(ArgValue(Call, I, Context)));
        break;
    }
    Result = ListValue(Out);
  }
};

// (insert$ <list> <index> <expression>*): an index equal to the length appends.
class TInsertFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TInsertFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const IValueVector List = ListArg(Call, 0, Context);
    const int32_t Index = IntegerArg(Call, 1, Context);
    if (Index < 0 || Index > List->GetValueCount()) IndexError(Index);
    IValueVector Out = CopyItems(*List, Context);
    for (int I = 2; I < Call.GetArgumentCount(); ++I) Out->Insert(Index, CopyOf(ArgValue(Call, I, Context)));
    Result = ListValue(Out);
  }
};

// Atoms split at blanks; the pieces are never read as numbers or strings.
class TExplodeFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TExplodeFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const std::string Text = TextArg(Call, 0, Context);
    IValueVector List = NewList();
    size_t I = 0;
    size_t Last = Text.size();
    while (I < Last && static_cast<unsigned char>(Text[I]) <= ' ') ++I;
    while (Last > I && static_cast<unsigned char>(Text[Last - 1]) <= ' ') --Last;
    while (I < Last) {
      size_t J = Text.find(' ', I);
      if (J == std::string::npos || J > Last) J = Last;
      List->Add(NewAtom(std::string_view(Text).substr(I, J - I)));
      I = J;
      while (I < Last && Text[I] == ' ') ++I;
    }
    Result = ListValue(List);
  }
};

class TImplodeFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TImplodeFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const IValueVector List = ListArg(Call, 0, Context);
    std::string Text;
    for (int I = 0; I < List->GetValueCount(); ++I) {
      const IIEValue V = Resolved(List->Get(I), Context);
      if (I > 0) Text += ' ';
      Text += V->GetDType() == dtString ? std::string(V->GetText()) : V->GetToString();
    }
    Result = NewString(Text);
  }
};

// (subsetp <run> <list>): whether the items of the first argument (one item when it is not a
// list) occur in the list as one contiguous run, in order.
class TSubsetpFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TSubsetpFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const IIEValue First = ArgValue(Call, 0, Context);
    std::vector<IIEValue> Run;
    if (First->GetDType() == dtList) {
      const IValueVector L = First->GetAsList();
      for (int I = 0; L && I < L->GetValueCount(); ++I) Run.push_back(Resolved(L->Get(I), Context));
    } else {
      Run.push_back(First);
    }
    const IValueVector List = ListArg(Call, 1, Context);
    std::vector<IIEValue> Items;
    Items.reserve(static_cast<size_t>(List->GetValueCount()));
    for (int I = 0; I < List->GetValueCount(); ++I) Items.push_back(Resolved(List->Get(I), Context));
    Result = BoolValue(ContainsRun(Run, Items));
  }

 private:
  static bool ContainsRun(const std::vector<IIEValue>& Run, const std::vector<IIEValue>& Items) {
    if (Run.empty()) return true;
    for (size_t P = 0; P + Run.size() <= Items.size(); ++P) {
      size_t K = 0;
      while (K < Run.size() && Run[K]->Equals(Items[P + K])) ++K;
      if (K == Run.size()) return true;
    }
    return false;
  }
};

// =============================================================================================
// 8. The creation table
// =============================================================================================
// The package's fixed creation order.  Functions of the package that are not built yet take
// their places in this order when they arrive.

constexpr const char* ForeachComment =
    "Executes a loop where a set of statements are applied to a list.  The first argument specifies a variable "
    "name.  Each item in the second argument list is assigned to the variable and then all the rest of the "
    "arguments are executed.  The function returns the value of the last statement or the return value if a "
    "\"return\" statement was found.  For example, the statement      (foreach i (create$ red green blue) (bind ?x "
    "(str-cat ?i \" color\")) (printout t ?x))\r\nwill print out\r\n     red color\r\n     green color\r\n     "
    "blue color\r\nand return \"blue color\"";

constexpr const char* TryComment =
    "Evaluates and executes the expressions between the try and the optional finally, catch, or except keywords.  "
    "If the finally or catch keyword exists and an expression raises an exception, the exception will be caught "
    "and execution will resume with the expressions after the finally keyword (if one exists) and then after the "
    "catch keyword (if one exists).  Either the finally or the catch|except keyword may be optional, but not both."
    "\r\n"
    "try\r\n"
    "  try\r\n"
    "    <expression>*\r\n"
    "  finally\r\n"
    "    <expression>*\r\n"
    "  end\r\n"
    "except\r\n"
    "  <expression>*\r\n"
    "end\r\n"
    "\r\n"
    "Note: if an exception is raised, the exception message will be stored in the local variable, ?__ERROR";

constexpr const char* WatchComment =
    "Sets up watches on the specified inference engine operations.  Watches are like events and force the inference "
    "engine to output (using OnPrintOut event) information as they occur\r\n"
    "     activations - watch rule activations and deletions\r\n"
    "     facts - watch fact assertions and retractions\r\n"
    "     rules - watch rule additions and removals\r\n"
    "     compilations - watch rule compilations\r\n"
    "     statistics - watch execution statistics\r\n";

constexpr const char* UnwatchComment =
    "Deletes the watches on the specified inference engine operations.  Watches are like events and force the "
    "inference engine to output (using OnPrintOut event) information as they occur\r\n"
    "     activations - watch rule activations and deletions\r\n"
    "     facts - watch fact assertions and retractions\r\n"
    "     rules - watch rule additions and removals\r\n"
    "     compilations - watch rule compilations\r\n"
    "     statistics - watch execution statistics\r\n";

constexpr int32_t NoLimit = TIEUserFunction::NoLimit;
using C = TCompareFunction;

constexpr TFunctionRow StandardFunctions[] = {
    {{"and", " <expression>*", 0, NoLimit, "Returns TRUE if every argument evaluates to TRUE, FALSE otherwise"},
     MakeFunction<TAndOrFunction, TAndOrFunction::loAnd>},
    {{"assert", " <fact>*", 0, NoLimit,
      "Asserts or adds each fact argument to the fact list.  The fact index of the last fact added is returned"},
     MakeFunction<TAssertFunction>},
    {{"assert-string", " <string-expression>*", 1, NoLimit,
      "Asserts or adds each string argument as a fact to the fact list.  The fact index of the last fact added is "
      "returned"},
     MakeFunction<TAssertStringFunction>},
    BatchFunctionRow,
    {{"bind", " <variable> <expression>", 2, 2, "Binds a variable to a value and returns the evaluated value"},
     MakeFunction<TBindFunction>},
    {{"clear", "", 0, 0, "Clears the inference engine of all fact templates, facts, and rules"},
     MakeFunction<TResetFunction, TResetFunction::rsClear>},
    {{"clear-storage", "", 0, 0, "Clears the storage area where the store and fetch command save values"},
     MakeFunction<TClearStorageFunction>},
    CloseFunctionRow,
    {{"do-backward-chaining", " <fact-template-name>*", 0, NoLimit,
      "Prepares the inference engine for backward chaining on a particular fact template or series of fact "
      "templates.  The command creates backward chaining templates to match the fact template arguments"},
     MakeFunction<TBackChainFunction>},
    DribbleOnFunctionRow,
    DribbleOffFunctionRow,
    {{"duplicate", " <fact-index> (<slot-name> <expression>)*", 2, NoLimit,
      "Asserts a duplicated copy of the fact specified by the fact index, with one or more slot values changed"},
     MakeFunction<TModifyFunction, TModifyFunction::mdDuplicate>},
    {{"eq", " <expression> <expression>+", 1, NoLimit,
      "Returns TRUE if the first argument equals (in type and value) all of the following arguments"},
     MakeFunction<C, C::cmEq>},
    {{"eq*", " <expression> <expression>+", 1, NoLimit,
      "Returns TRUE if the first argument equals (in value) all of the following arguments.  Note that the types "
      "may differ"},
     MakeFunction<C, C::cmEqStar>},
    {{"=", " <numeric-expression> <numeric-expression>+", 1, NoLimit,
      "Returns TRUE if the first numeric argument equals all of the following numeric arguments"},
     MakeFunction<C, C::cmNumEq>},
    {{"exit", "", 0, 0, "Immediately stops execution of the inference engine"}, MakeFunction<TExitFunction>},
    {{"__get-var", " <variable-name>", 1, 1,
      "Returns the value associated with the variable name, or nil if the variable doesn't exist"},
     MakeFunction<TGetVarFunction>},
    {{"fetch", " <lexeme-expression>", 1, 1,
      "Retrieves and returns the value previously stored using the store command.  The <lexeme-expression> is the "
      "string or symbol used as the key to store the value"},
     MakeFunction<TFetchFunction>},
    {{"foreach", " <variable-name> <list-expression> <expression>*", 2, NoLimit, ForeachComment},
     MakeFunction<TForeachFunction>},
    FormatFunctionRow,
    {{"gensym*", "", 0, 0,
      "Returns a sequenced symbol of the form \"genX\" where X is an integer.  Repeated calls will return "
      "monotonically increasing values for X"},
     MakeFunction<TGensymFunction>},
    {{"get-fact-duplication", "", 0, 0,
      "Returns the boolean value for the current state of the fact duplication behavior.  If this function returns "
      "FALSE, duplicate facts may be asserted into the fact list.  If value is TRUE, duplicate facts are ignored"},
     MakeFunction<TFactDuplicationFunction, TFactDuplicationFunction::fdGet>},
    {{"get-slot-value", " <fact-id-expression>|<fact-expression> [<slot-name-expression> ]", 1, 2,
      "Returns the value in the fact slot specified by the <slot-name-expression>"},
     MakeFunction<TGetSlotValueFunction>},
    {{">", " <numeric-expression> <numeric-expression>+", 2, NoLimit,
      "Returns TRUE if, for all arguments, argument n is greater than argument n + 1"},
     MakeFunction<C, C::cmGreater>},
    {{">=", " <numeric-expression> <numeric-expression>+", 2, NoLimit,
      "Returns TRUE if, for all arguments, argument n is greater than or equal to argument n + 1"},
     MakeFunction<C, C::cmGreaterEq>},
    {{"halt", "", 0, 0, "Halts the execution of the inference engine"}, MakeFunction<THaltFunction>},
    {{"if", " <predicate-expression> then <expression>+ [else <expression>+]", 2, NoLimit,
      "Evaluates the first argument.  If the first argument is TRUE, then it executes the expressions after the "
      "\"then\" keyword.  If the first argument is FALSE and the \"else\" keyword is present, it executes the "
      "expressions after the \"else\" keyword"},
     MakeFunction<TIfFunction>},
    LoadFunctionRow,
    LoadFactsFunctionRow,
    {{"<", " <numeric-expression> <numeric-expression>+", 2, NoLimit,
      "Returns TRUE if, for all arguments, argument n is less than argument n + 1"},
     MakeFunction<C, C::cmLess>},
    {{"<=", " <numeric-expression> <numeric-expression>+", 2, NoLimit,
      "Returns TRUE if, for all arguments, argument n is less than or equal to argument n + 1"},
     MakeFunction<C, C::cmLessEq>},
    {{"member", " <to-find-expression> <expression>+", 2, NoLimit,
      "Returns the index of the argument that matches the first argument, or FALSE if the first argument is not "
      "found.  The index returned is 0-based"},
     MakeFunction<TMemberFunction>},
    {{"modify", " <fact-index> (<slot-name> <expression>)+", 1, NoLimit,
      "Modifies the fact specified by the fact index.  It assigns new values to the slots of the facts.  Note that the "
      "fact is retracted and then asserted by this function"},
     MakeFunction<TModifyFunction, TModifyFunction::mdModify>},
    {{"neq", " <expression> <expression>*", 1, NoLimit,
      "Returns TRUE if the first argument equals none of the following arguments"},
     MakeFunction<C, C::cmNeq>},
    {{"<>", " <numeric-expression> <numeric-expression>*", 1, NoLimit,
      "Returns TRUE if the numeric first argument equals none of the following numeric arguments"},
     MakeFunction<C, C::cmNumNeq>},
    {{"not", " <expression>", 1, 1, "Returns TRUE if the argument evaluates to FALSE, otherwise it returns FALSE"},
     MakeFunction<TNotFunction>},
    OpenFunctionRow,
    {{"or", " <expression>*", 0, NoLimit, "Returns TRUE if any argument evaluates to TRUE, FALSE otherwise"},
     MakeFunction<TAndOrFunction, TAndOrFunction::loOr>},
    PrintoutFunctionRow,
    ReadFunctionRow,
    ReadlineFunctionRow,
    RemoveFunctionRow,
    RenameFunctionRow,
    {{"reset", "", 0, 0,
      "Resets the inference engine.  First, the agenda is cleared, all facts are deleted, and all global variables are "
      "removed.  If the ResetGlobals property of the inference engine is true, the global variables are reset to their "
      "initial values.  Any Fact sets available have their facts asserted.  Finally, the initial fact is asserted to "
      "start the whole inference process over again"},
     MakeFunction<TResetFunction, TResetFunction::rsReset>},
    {{"retract", " *|<fact-index>*", 1, NoLimit,
      "Retracts facts specified by their fact indices from the fact base.  If the only argument is an asterisk (*), "
      "all facts are retracted"},
     MakeFunction<TRetractFunction>},
    {{"retract-string", " <fact-string>", 0, NoLimit,
      "Retracts facts that equal the string arguments from the fact base.  If duplicate facts are allowed, only the "
      "first fact that matches the string is retracted"},
     MakeFunction<TRetractStringFunction>},
    {{"return", " <expression>", 1, 1,
      "Returns the <expression> specified.  The return command forces execution to break out of a loop, "
      "deffunction, if, or similar structure"},
     MakeFunction<TReturnFunction>},
    {{"run", " [<integer-expression>]", 0, 1,
      "Executes the inference engine and returns the number of steps executed.  If the optional argument is specified, "
      "the inference engine will execute AT MOST <integer-expression> steps"},
     MakeFunction<TRunFunction>},
    SaveFunctionRow,
    SaveFactsFunctionRow,
    {{"set-fact-duplication", " <boolean-expression>", 1, 1,
      "Sets the fact duplication behavior to the <boolean-expression> and returns the previous value of the behavior.  "
      "If fact duplication is set to FALSE, duplicate facts may be asserted into the fact list.  If fact duplication "
      "is set to TRUE, duplicate facts are ignored"},
     MakeFunction<TFactDuplicationFunction, TFactDuplicationFunction::fdSet>},
    {{"store", " <variable-name> <value>", 2, 2,
      "Stores the specified value associated with the specified name.  You can retrieve the value later using the "
      "name and the fetch command"},
     MakeFunction<TStoreFunction>},
    {{"try", " [<expression>*] [finally [<expression>*>] [catch|except [<expression>*]]", 1, NoLimit, TryComment},
     MakeFunction<TTryFunction>},
    {{"throw", " <lexeme-expression>", 1, 1,
      "Raises an exception with the message equal to the <lexeme-expression>.  Unless the throw statement is "
      "inside a try command, the exception will halt execution of the inference engine"},
     MakeFunction<TThrowFunction>},
    {{"unwatch", " all|rules|facts|activations|compilations|statistics", 1, 1, UnwatchComment},
     MakeFunction<TWatchFunction, TWatchFunction::wtUnwatch>},
    {{"version", "", 0, 0, "Returns a floating point number for the inference engine version being executed"},
     MakeFunction<TVersionFunction>},
    {{"watch", " all|rules|facts|activations|compilations|statistics", 1, 1, WatchComment},
     MakeFunction<TWatchFunction, TWatchFunction::wtWatch>},
    {{"while", " <boolean-expression> [do] <expression>*", 2, NoLimit,
      "Evaluates and executes the expressions in a loop as long as the boolean expression evaluates to TRUE.  The "
      "<boolean-expression> is evaluated BEFORE the start of the loop, including the first time"},
     MakeFunction<TWhileFunction>},
    {{"create$", " <expression>*", 0, NoLimit, "Creates and returns a multifield value (list) from the arguments"},
     MakeFunction<TCreateFunction>},
    {{"delete$", " <multifield-expression> <start-integer-expression> <end-integer-expression>", 3, 3,
      "Returns a new multifield value that is a clone of the <multifield-expression> where every item in the range "
      "specified by the <start-integer-expression> to <end-integer-expression> has been deleted.  Note that the "
      "first item in the multifield has an index of 0"},
     MakeFunction<TRangeFunction, TRangeFunction::rgDelete>},
    {{"explode$", " <string-expression> ", 1, 1,
      "Creates a multifield value (list) where every item in the list is a seperate symbol from the "
      "<string-expression>"},
     MakeFunction<TExplodeFunction>},
    {{"first$", " <multifield-expression> ", 1, 1,
      "Returns the first item in the <multifield-expression> or NIL if the multifield is empty"},
     MakeFunction<TFirstFunction>},
    {{"implode$", " <multifield-expression> ", 1, 1,
      "Creates and returns a space delimited string which is the concatenation of all the items in the "
      "<multifield-expression>"},
     MakeFunction<TImplodeFunction>},
    {{"insert$", " <multifield-expression> <integer-expression> <expression>*", 2, NoLimit,
      "Creates and returns a multifield value (list).  The <multifield-expression> is evaluated and then the "
      "subsequent evaluated expressions are inserted into the multifield at the index specified by "
      "<integer-expression>.  The item that previously occupied that position (and all subsequent items) are moved "
      "up"},
     MakeFunction<TInsertFunction>},
    {{"length$", " <multifield-expression> ", 1, 1, "Returns the number of items in the <multifield-expression>"},
     MakeFunction<TLengthFunction>},
    {{"member$", " <expression> <multifield-expression>", 2, 2,
      "Returns the index of the first entry in the <multifield-expression> list that equals the specified "
      "<expression>.  The first item has index 0, the second item has index 1, and so on.  If the expression is "
      "not in the list, the function returns FALSE.  If the expression appears more than once in the multifield, "
      "the function returns the index of the first appearance"},
     MakeFunction<TMemberListFunction>},
    {{"nth$", " <integer-expression> <multifield-expression>", 2, 2,
      "Returns the value at the specified index in the <multifield-expression> list.  The first item has index 0, "
      "the second item has index 1, and so on"},
     MakeFunction<TNthFunction>},
    {{"replace$", " <multifield-expression> <start-integer-expression> <end-integer-expression> <expression>*", 3,
      NoLimit,
      "Returns a multifield value (list) which is a copy of the <multifield-expression> where the items in the "
      "range of <start-integer-expression> to <end-integer-expression> have been replaced by the subsequent "
      "arguments.  For purposes of the range, the <multifield-expression> is indexed starting from 0"},
     MakeFunction<TRangeFunction, TRangeFunction::rgReplace>},
    {{"rest$", " <multifield-expression>", 1, 1,
      "Returns a multifield value containing all the fields in <multifield-expression> except the first field"},
     MakeFunction<TRestFunction>},
    {{"subseq$", " <multifield-expression> <start-integer-expression> <end-integer-expression>", 3, 3,
      "Returns a multifield value containing all the fields in <multifield-expression> between the "
      "<start-integer-expression> and <end-integer-expression>.  The multifield is a zero-based list"},
     MakeFunction<TRangeFunction, TRangeFunction::rgSubseq>},
    {{"subsetp", " <expression> <multifield-expression>", 2, 2,
      "Returns TRUE if the first argument is a subset of the second argument, FALSE otherwise"},
     MakeFunction<TSubsetpFunction>},
};

}  // namespace

TStandardPackage::TStandardPackage(platform::TComponent* Owner) : TUserPackage(Owner) { CreateFunctions(); }

namespace {
const TPackageRegistration<TStandardPackage> Registered;
}  // namespace

void TStandardPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  AddFunctions(*this, StandardFunctions);
}

}  // namespace rulecore
