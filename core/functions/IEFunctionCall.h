// TFunctionCall: a function call expression - a name, the arguments as written (each a value:
// a nested call is a dtFunCall argument) and the function, found through the reasoner the
// first time the call runs and kept from then on.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "IEUserFunction.h"
#include "core/values/IEValue.h"
#include "platform/BlockPool.h"

namespace rulecore {

class TFunctionCall;
using IFunCall = platform::Ref<TFunctionCall>;

class TFunctionCall final : public TFunCallBase {
  PLATFORM_CLASS(TFunctionCall, TFunCallBase)
 public:
  // Every rule holds several calls: pooled blocks carry no allocator header.
  PLATFORM_POOLED(TFunctionCall)
  TFunctionCall() = default;
  TFunctionCall(IReasoner* Reasoner, std::string Name);
  ~TFunctionCall() override;
  TFunctionCall(const TFunctionCall&) = delete;
  TFunctionCall& operator=(const TFunctionCall&) = delete;

  // --- arguments ---
  void AddArgument(const IIEValue& Value) { Arguments_.push_back(Value); }
  void AddArgument(double Value, TIEType Kind);
  void AddArgument(int32_t Value, TIEType Kind);
  void AddArgument(std::string_view Text, TIEType Kind);
  void AddArgument(const IFact& Fact);
  void AddArgument(const IFunCall& Call);
  void AddArgument(const IValueVector& List);
  int GetArgumentCount() const noexcept { return static_cast<int>(Arguments_.size()); }
  const IIEValue& GetArgument(int Index) const;
  void SetArgument(int Index, const IIEValue& Value);
  void Delete(int Index);
  void Clear() noexcept { Arguments_.clear(); }
  const std::vector<IIEValue>& GetArguments() const noexcept { return Arguments_; }
  // The argument resolved in the context (variables bound, calls executed).
  IIEValue Evaluate(int Index, platform::TObject* Context) const { return GetArgument(Index)->Resolve(Context); }

  // --- identity ---
  const std::string& GetName() const noexcept { return Name_; }
  void SetName(const std::string& Value) { Name_ = Value; }
  const std::string& GetComment() const noexcept;
  void SetComment(const std::string& Value);
  IReasoner* GetReasoner() const noexcept { return Reasoner_; }
  void SetReasoner(IReasoner* Value) noexcept { Reasoner_ = Value; }
  const IUserFunction& GetUserFunction() const noexcept { return Function_; }
  // Stores the function and takes its name (an empty name without one).
  void SetUserFunction(const IUserFunction& Function);
  // Drops the resolved function (the call resolves again when it next runs).  Deffunctions use
  // it to let go of themselves: a recursive body would otherwise hold its own function.
  void ForgetFunction() noexcept { Function_ = nullptr; }

  // --- running ---
  // Resolves the function through the reasoner on first use, then calls it.
  void Execute(platform::TObject* Context, IIEValue& Result) override;
  // Asks the resolved function, when every argument is a value that exists already (constants
  // and bound slots, read without counting) or a nested call decided in turn: one whose function
  // answers only TRUE or FALSE, or arithmetic on plain numbers (a join test's "(+ ?x 1)" then
  // makes no value); -1 before the first run and for anything else.
  int Decide(platform::TObject* Context) override { return Decide(Context, 0); }
  // Runs the resolved function; any failure is reported as "<name> error: <message>".
  void SimpleExecute(platform::TObject* Context, IIEValue& Result);

  // --- comparison, text, copying ---
  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  bool Equals(const TFunctionCall* Other) const;
  uint32_t GetHashCode() const override;
  std::string GetToString() const override;
  using TCloneable::Assign;
  // Name, comment, tag and a copy of every argument; not the function or the reasoner.
  void Assign(const platform::TPersistent& Source) override;
  IFunCall Clone() const;

 protected:
  platform::ICloneable DoClone() const override { return Clone(); }

 private:
  int Decide(platform::TObject* Context, int Depth);
  // The number the call gives, decided as above; false when unknown.
  bool DecideNumber(platform::TObject* Context, int Depth, TIEUserFunction::TNumber& Number);
  // The arguments' values for a decision, in Values; a nested call decided to a number is made
  // in Numbers.  False when some argument is not known without running it.
  static constexpr int MaxDecided = 8;  // longer calls are rare: they run as usual
  // Room on the stack for the numbers of decided nested calls, made as they come (a decision
  // runs for every pair of facts a join test meets: nothing is made or cleared in advance).
  class TNumbers {
   public:
    TNumbers() noexcept {}
    ~TNumbers() {
      for (uint8_t I = 0; I < Made_; ++I) At(I).~TIEValue();
    }
    TNumbers(const TNumbers&) = delete;
    TNumbers& operator=(const TNumbers&) = delete;
    const TIEValue* Make(const TIEUserFunction::TNumber& Number);

   private:
    TIEValue& At(uint8_t I) noexcept { return *std::launder(reinterpret_cast<TIEValue*>(Room_[I])); }
    alignas(TIEValue) unsigned char Room_[MaxDecided][sizeof(TIEValue)];
    uint8_t Made_ = 0;
  };
  bool DecidedArguments(platform::TObject* Context, int Depth, const TIEValue** Values, TNumbers& Numbers);

  IReasoner* Reasoner_ = nullptr;
  std::vector<IIEValue> Arguments_;
  IUserFunction Function_;
  std::string Name_;
  // Hardly any call has a comment: a pointer in every call rather than a string.
  std::unique_ptr<std::string> Comment_;
};

// The text of a call that belongs to no reasoner: the rule language's printer registers itself
// as the library loads (SlotPairs: the arguments after the first are slot-value pairs, as in
// modify and duplicate).
using TCallPrinter = std::string (*)(const TFunctionCall& Call, bool SlotPairs);
void SetCallPrinter(TCallPrinter Printer) noexcept;

}  // namespace rulecore
