// TInterpretedFunction: a deffunction - parameters and body statements written in the rule
// language, run in a fresh child of the caller's context.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "IEUserFunction.h"

namespace rulecore {

class TInterpretedFunction;
using IInterpretedFunction = platform::Ref<TInterpretedFunction>;

class TInterpretedFunction final : public TIEUserFunction {
  PLATFORM_CLASS(TInterpretedFunction, TIEUserFunction)
 public:
  TInterpretedFunction() = default;
  explicit TInterpretedFunction(std::string Name);

  // A parameter: ?name (dtVariable), $?name (dtMultiVariable) or a plain name (dtAtom).
  void AddArgument(const std::string& Name, TIEType Kind);
  int GetArgumentCount() const noexcept { return static_cast<int>(Parameters_.size()); }
  const IIEValue& GetArgument(int Index) const;
  void AddStatement(const IIEValue& Statement) { Statements_.push_back(Statement); }
  void AddStatement(const platform::Ref<TFunCallBase>& Call);
  int GetStatementCount() const noexcept { return static_cast<int>(Statements_.size()); }
  const IIEValue& GetStatement(int Index) const;
  int32_t GetOrder() const noexcept { return Order_; }
  void SetOrder(int32_t Value) noexcept { Order_ = Value; }

  // The parameters fix the arity: a trailing multifield parameter takes any number more.
  int32_t GetMinArgumentCount() const override { return GetArgumentCount(); }
  int32_t GetMaxArgumentCount() const override;

  void Assign(const platform::TPersistent& Source) override;
  // Every call of the body (nested ones too) forgets the function it resolved to, breaking the
  // reference cycles recursion makes.  The engine calls it when the function leaves its table.
  void ForgetResolvedCalls() noexcept;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;

 private:
  std::vector<IIEValue> Parameters_;
  std::vector<IIEValue> Statements_;
  int32_t Order_ = 0;
};

}  // namespace rulecore
