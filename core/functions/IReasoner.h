// IReasoner: the function-registry side of an engine.  The engine implements it; functions,
// calls and defined types reach the engine that calls, parses and prints them through it.
// Components are not counted, so an IReasoner is referred to by plain pointer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/values/IEDefinedType.h"
#include "platform/Ref.h"

namespace platform {
class TComponent;
}

namespace rulecore {

class TFunctionCall;
class TFact;
class TInferenceEngine;
class TIEUserFunction;
class TInterpretedFunction;
class TUserFunctions;

class IReasoner : public IDefinedTypeHost {
 public:
  // Canonical texts of the constructs (the engine's pretty printer).
  virtual std::string PrettyPrint(const TFunctionCall& FunCall) = 0;
  virtual std::string PrettyPrint(const TFact& Fact) = 0;
  virtual std::string PrettyPrint(const TIEUserFunction& Function) = 0;
  virtual std::string PrettyPrint(const TInterpretedFunction& Function) = 0;
  using IDefinedTypeHost::PrettyPrint;  // of a defined type

  // The function table.
  virtual void AddUserFunction(const platform::Ref<TIEUserFunction>& Function) = 0;
  virtual void RemoveUserFunction(const platform::Ref<TIEUserFunction>& Function) = 0;
  virtual bool ContainsUserFunction(std::string_view Name) = 0;
  virtual bool ContainsUserFunction(std::string_view Name, platform::Ref<TIEUserFunction>& Function) = 0;
  virtual platform::Ref<TIEUserFunction> GetUserFunction(std::string_view Name) = 0;
  virtual TUserFunctions& GetUserFunctions() = 0;
  virtual void SetUserFunction(std::string_view Name, const platform::Ref<TIEUserFunction>& Function) = 0;

  // The bytes of the calling thread's stack that evaluation and parsing keep free (0: the
  // default share of the thread's stack, see platform/StackGuard.h).  A field rather than a
  // virtual call: every call evaluation reads it.
  std::size_t GetStackReserveBytes() const noexcept { return StackReserveBytes_; }

 protected:
  ~IReasoner() = default;
  std::size_t StackReserveBytes_ = 0;
};

// The engine as the reasoner and as the component it is, and the engine a component is (nullptr
// for none or for any other component): what packages and host functions placed on an engine
// need of it.  Defined with the engine.
IReasoner* ReasonerOf(TInferenceEngine* Engine) noexcept;
platform::TComponent* ComponentOf(TInferenceEngine* Engine) noexcept;
TInferenceEngine* EngineOf(platform::TComponent* Component) noexcept;

}  // namespace rulecore
