// Fuzz target: arbitrary bytes as a rule-language program that is run.  The text is parsed with
// its top-level commands executed, then the engine is reset and fires rules.  Errors of the
// program (any exception the engine raises) are expected answers; a crash, a sanitizer report,
// a leak, a hang or running out of memory is a fault.
//
// The language allows programs that never end or that grow without bound, on purpose.  So that
// the fuzzer meets engine faults and not such programs, each input gets a work budget:
//   - every built-in function is entered in the engine's table behind a counting wrapper (the
//     wrapper forwards everything, so calls, their decisions and the network's use of them stay
//     what they were); once the calls of the budget are made, the next call raises the silent
//     abort ("exit"), which ends the command or the rule firing it is in;
//   - a call answering a very long text or list ends the budget as well;
//   - rule firings, assertions and activations are counted through the engine's events, and the
//     run halts when they pass their limits;
//   - a "while" none of whose arguments is a call can change nothing while it loops: it ends at
//     once or never, and one that would never end is stopped before it starts;
//   - the program runs on a thread of its own with a small stack, and a call made deep in it
//     costs more: a recursion that keeps catching the error of the stack guard ("try", or the
//     engine's own handlers) throws from the bottom of the stack each time, and under
//     AddressSanitizer every throw clears the shadow of the whole stack above it.  Plain
//     recursion still reaches the guard.
// Functions that reach the file system ("open", "load", "save", "batch", "dribble-on", "remove",
// ...) are taken out of the table, as is "randomize" (called without a seed it takes one from
// the clock, and runs of one input would differ).
//
// With PROGRAM_FUZZ_ECHO set in the environment the program's output goes to stderr, which
// helps when a saved input is run again by hand.
#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/engine/InferenceEngine.h"
#include "core/functions/IEFunctionCall.h"
#include "core/functions/IEUserFunction.h"
#include "core/network/IEContext.h"
#include "core/values/ValueVector.h"
#include "platform/Exceptions.h"

using namespace rulecore;

namespace {

constexpr int64_t CallsPerPhase = 20000;
constexpr int32_t FiringsPerPhase = 2000;
constexpr int32_t MaxAssertions = 2000;
constexpr int32_t MaxActivations = 20000;
constexpr size_t MaxTextLength = 1 << 20;
constexpr int MaxListLength = 1 << 16;
constexpr int32_t RunLimit = 200;
constexpr size_t ProgramStackSize = 2 << 20;
constexpr uintptr_t FreeStack = 512 << 10;
constexpr uintptr_t StackPerExtraCall = 64 << 10;

// The frame address where the program's thread starts: how deep a call runs is measured from it.
uintptr_t StackBase = 0;

int64_t CallCost() {
  const auto Here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  const uintptr_t InUse = StackBase > Here ? StackBase - Here : 0;
  return 1 + static_cast<int64_t>(InUse > FreeStack ? (InUse - FreeStack) / StackPerExtraCall : 0);
}

// The work one phase of one input may do.  Inputs run one at a time.
struct TBudget {
  int64_t Calls = 0;
  int32_t Firings = 0;
  int32_t Assertions = 0;
  int32_t Activations = 0;
  bool Spent = false;

  void Refill() {
    Calls = CallsPerPhase;
    Firings = FiringsPerPhase;
    Assertions = MaxAssertions;
    Activations = MaxActivations;
    Spent = false;
  }
  [[noreturn]] void Stop() {
    Spent = true;
    throw platform::EAbort();
  }
  void SpendCall() {
    Calls -= CallCost();
    if (Spent || Calls < 0) Stop();
  }
  // A result too large for the budget ends it.
  void Check(const IIEValue& Value) {
    if (!Value) return;
    if (Value->IsText() && Value->GetText().size() > MaxTextLength) Stop();
    if (Value->GetDType() == dtList) {
      const IValueVector List = Value->GetAsList();
      if (List && List->GetValueCount() > MaxListLength) Stop();
    }
  }
};

TBudget Budget;

// Every answer "while" gives with no call among its arguments is fixed from the start: FALSE
// ends it before the first round, anything else makes it run forever.
bool LoopsForever(TFunctionCall& Call, TIEContext* Context) {
  for (int I = 0; I < Call.GetArgumentCount(); ++I)
    if (const IIEValue& Argument = Call.GetArgument(I); !Argument || Argument->PeekFunCall()) return false;
  IIEValue Condition;
  try {
    Condition = Call.Evaluate(0, Context);
  } catch (const std::exception&) {
    return false;  // the loop itself raises the same error
  }
  return !(Condition && Condition->GetDType() == dtAtom && Condition->GetText() == "FALSE");
}

// A built-in function behind the budget: the same name, arity, decisions and behaviour.
class TBudgetedFunction final : public TIEUserFunction {
  PLATFORM_CLASS(TBudgetedFunction, TIEUserFunction)
 public:
  explicit TBudgetedFunction(IUserFunction Inner)
      : TIEUserFunction(Inner->GetFunctionName(), Inner->GetArgumentString(), Inner->GetMinArgumentCount(),
                        Inner->GetMaxArgumentCount(), Inner->GetComment()),
        Inner_(std::move(Inner)),
        IsWhile_(GetFunctionName() == "while") {}

  int32_t GetMinArgumentCount() const override { return Inner_->GetMinArgumentCount(); }
  int32_t GetMaxArgumentCount() const override { return Inner_->GetMaxArgumentCount(); }
  int Decide(const TIEValue* const* Arguments, int Count) const override { return Inner_->Decide(Arguments, Count); }
  bool DecidesTruth() const noexcept override { return Inner_->DecidesTruth(); }
  TDecisionRole GetDecisionRole() const noexcept override { return Inner_->GetDecisionRole(); }

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    Budget.SpendCall();
    if (IsWhile_ && LoopsForever(Call, Context)) Budget.Stop();
    Inner_->Call(Call, Context, Result);
    Budget.Check(Result);
  }

 private:
  IUserFunction Inner_;
  bool IsWhile_;
};

constexpr std::string_view Withheld[] = {"batch", "dribble-on", "load", "load-facts", "open",
                                          "remove", "rename", "save", "save-facts", "randomize"};

void Prepare(TInferenceEngine& Engine) {
  if (std::getenv("PROGRAM_FUZZ_ECHO"))
    Engine.OnPrintOut = [](TInferenceEngine*, const std::string&, const std::string& Text) {
      std::fwrite(Text.data(), 1, Text.size(), stderr);
    };
  else
    Engine.OnPrintOut = [](TInferenceEngine*, const std::string&, const std::string&) {};
  Engine.OnReadLine = [](TInferenceEngine*, const std::string&, std::string& Text) { Text.clear(); };
  Engine.OnReadToken = [](TInferenceEngine*, const std::string&, IStreamToken& Token) { Token = nullptr; };
  Engine.OnRuleFired = [](TInferenceEngine* Sender, TRule*) {
    if (--Budget.Firings < 0) {
      Budget.Spent = true;
      Sender->Halt();
    }
  };
  Engine.OnAssertion = [](TInferenceEngine* Sender, const IFact&) {
    if (--Budget.Assertions < 0) {
      Budget.Spent = true;
      Sender->Halt();
    }
  };
  Engine.OnAddActivation = [](TInferenceEngine* Sender, int, TActivation*) {
    if (--Budget.Activations < 0) {
      Budget.Spent = true;
      Sender->Halt();
    }
  };
  // Errors are collected to the end of the text, so that one bad construct does not hide the
  // rest of the program.
  Engine.SetParserErrorHandling(ehRaiseAllAtEnd);

  TUserFunctions& Table = Engine.GetUserFunctions();
  for (std::string_view Name : Withheld)
    if (IUserFunction Function = Table.Get(std::string(Name))) Table.Remove(Function);
  std::vector<IUserFunction> BuiltIn;
  for (int I = 0; I < Table.Count(); ++I)
    if (const IUserFunction& Function = Table.ValueAt(I)) BuiltIn.push_back(Function);
  for (const IUserFunction& Function : BuiltIn)
    Engine.SetUserFunction(Function->GetFunctionName(), platform::MakeRef<TBudgetedFunction>(Function));
}

// One step of the input; whatever the engine raises is its answer to a bad program.
template <class TStep>
void Attempt(TStep&& Step) {
  Budget.Refill();
  try {
    Step();
  } catch (const platform::Exception&) {
  } catch (const std::exception&) {
  }
}

// One input: parsed with its commands run, then reset and run.
void RunProgram(const std::string& Text) {
  TInferenceEngine Engine;
  Prepare(Engine);
  Attempt([&] { Engine.Parse(Text, true); });
  Attempt([&] { Engine.Reset(); });
  Attempt([&] { Engine.Run(RunLimit); });
}

void* RunProgramThread(void* Text) {
  StackBase = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  RunProgram(*static_cast<const std::string*>(Text));
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string Text(reinterpret_cast<const char*>(Data), Size);
  pthread_attr_t Attributes;
  pthread_t Thread;
  if (pthread_attr_init(&Attributes) != 0 || pthread_attr_setstacksize(&Attributes, ProgramStackSize) != 0 ||
      pthread_create(&Thread, &Attributes, RunProgramThread, &Text) != 0)
    std::abort();
  pthread_attr_destroy(&Attributes);
  pthread_join(Thread, nullptr);
  return 0;
}
