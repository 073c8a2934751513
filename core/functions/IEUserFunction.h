// TIEUserFunction: the base of every function the rule language can call, built in or supplied
// by the host.  A function knows its name, help text, argument pattern and arity, and the
// engines ("reasoners") whose function tables it is entered in; renaming it re-enters it
// under the new name everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "IReasoner.h"
#include "core/values/IEValue.h"
#include "platform/Object.h"

namespace rulecore {

class TFunctionCall;
class TIEContext;
class TIEUserFunction;
using IUserFunction = platform::Ref<TIEUserFunction>;

class TIEUserFunction : public platform::TPersistent {
  PLATFORM_CLASS(TIEUserFunction, platform::TPersistent)
 public:
  static constexpr int32_t NoLimit = 2147483647;

  TIEUserFunction() = default;
  TIEUserFunction(std::string Name, std::string ArgumentString, int32_t Min, int32_t Max, std::string Comment);
  ~TIEUserFunction() override;
  TIEUserFunction(const TIEUserFunction&) = delete;
  TIEUserFunction& operator=(const TIEUserFunction&) = delete;

  const std::string& GetFunctionName() const noexcept { return FunctionName_; }
  void SetFunctionName(const std::string& Value);
  const std::string& GetComment() const noexcept { return Comment_; }
  void SetComment(const std::string& Value) { Comment_ = Value; }
  const std::string& GetArgumentString() const noexcept { return ArgumentString_; }
  void SetArgumentString(const std::string& Value) { ArgumentString_ = Value; }
  virtual int32_t GetMinArgumentCount() const { return MinArgumentCount_; }
  void SetMinArgumentCount(int32_t Value);
  virtual int32_t GetMaxArgumentCount() const { return MaxArgumentCount_; }
  void SetMaxArgumentCount(int32_t Value);

  // --- the engines the function is entered in ---
  int AddReasoner(IReasoner* Reasoner);
  void DeleteReasoner(int Index);
  void DeleteReasoner(IReasoner* Reasoner);
  void ClearReasoners();
  int IndexOfReasoner(const IReasoner* Reasoner) const noexcept;
  int GetReasonerCount() const noexcept { return static_cast<int>(Reasoners_.size()); }
  IReasoner* GetReasoner(int Index) const;
  // The engine forgets the function without being called back (it is going away).
  void ForgetReasoner(IReasoner* Reasoner) noexcept;

  // Checks the arity, then runs the function with the context as an evaluation context.
  void Call(TFunctionCall& FunCall, platform::TObject* Context, IIEValue& Result);
  std::string GetToString(IReasoner* Reasoner);
  // The answer the function would give on these argument values (already resolved, their count
  // within the arity) when it is certain without running it: 1 anything but FALSE, 0 FALSE,
  // -1 unknown.  Only functions without effects answer; the base answers -1.
  virtual int Decide(const TIEValue* const* Arguments, int Count) const {
    (void)Arguments;
    (void)Count;
    return -1;
  }
  // Whether every answer of the function is the atom TRUE or the atom FALSE, so that a decided
  // call of it can stand for that atom among the arguments of another decision ("or" of "eq"s).
  virtual bool DecidesTruth() const noexcept { return false; }
  // The number the function would give on these argument values when it is certain without
  // running it; false when unknown.  Only arithmetic without effects answers, and only where
  // running it would raise no error.
  struct TNumber {
    double Value = 0;
    bool IsFloat = false;  // else an integer (Value is whole and fits 32 bits)
  };
  virtual bool DecideNumber(const TIEValue* const* Arguments, int Count, TNumber& Result) const {
    (void)Arguments;
    (void)Count;
    (void)Result;
    return false;
  }
  virtual bool DecidesNumbers() const noexcept { return false; }
  // What the network may compute in place of a call of the function, on values that exist:
  // a pattern's "a|b|c" is an "or" of strict "eq" tests of one slot, which a one-input node
  // answers by comparing the slot's value with each constant.  Only those built-ins say so.
  enum class TDecisionRole : uint8_t { None, AnyOf, StrictEqual };
  virtual TDecisionRole GetDecisionRole() const noexcept { return TDecisionRole::None; }

  // Copies arity, comment and (through SetFunctionName) the name.
  void Assign(const platform::TPersistent& Source) override;

 protected:
  // What the function does.  Arguments arrive as written; the function resolves what it needs
  // in Context.  The base answers no value.
  virtual void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result);

 private:
  int32_t MinArgumentCount_ = 0;
  int32_t MaxArgumentCount_ = NoLimit;
  std::string Comment_;
  std::vector<IReasoner*> Reasoners_;
  std::string FunctionName_;
  std::string ArgumentString_;
};

}  // namespace rulecore
