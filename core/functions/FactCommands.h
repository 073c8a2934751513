// The standard package's fact and engine commands: the functions through which rules and
// commands change working memory (assert, retract, modify, duplicate), read slot values, set
// fact duplication and drive the engine (reset, clear, run, watch).  Each resolves its own
// arguments and hands the work to the engine its context belongs to, or to the engine that
// built the call when it runs outside any rule.  The standard package's table registers them.
// Depends on the function framework, the evaluation context and the engine.
#pragma once

#include <cstdint>

#include "BuiltinSupport.h"

namespace rulecore {

// (assert <fact>*): each fact is copied and its values are evaluated before it is asserted;
// the answer is the id of the last one, or FALSE when it was refused or none was given.
class TAssertFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TAssertFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (assert-string <string>*): each text read as a fact and asserted.
class TAssertStringFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TAssertStringFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (do-backward-chaining <fact-template-name>*): marks each template for backward chaining and
// gives it its goal template; answers TRUE.
class TBackChainFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TBackChainFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (retract *|<fact-index>*): ids that name no fact are passed over.
class TRetractFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TRetractFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (retract-string <string>*): the first fact equal to each text is retracted.
class TRetractStringFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TRetractStringFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (modify <fact-index> (<slot> <value>...)+) and (duplicate <fact-index> (<slot> <value>...)*):
// the slot changes are made on the fact itself, which leaves working memory meanwhile, or on a
// copy asserted beside it.
enum class TModifyKind : uint8_t { mdModify, mdDuplicate };
class TModifyFunction final : public TSelectingFunction<TModifyKind> {
  PLATFORM_CLASS(TModifyFunction, TBuiltinFunction)
 public:
  using enum TModifyKind;
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (get-slot-value <fact-id>|<fact> [<slot-name>]): a copy of the slot's value; the ordered
// facts' value without a slot name.
class TGetSlotValueFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGetSlotValueFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// get-fact-duplication and set-fact-duplication.  In the rule language TRUE means duplicates
// are ignored, the opposite of the engine's FactDuplication property.
enum class TFactDuplicationKind : uint8_t { fdGet, fdSet };
class TFactDuplicationFunction final : public TSelectingFunction<TFactDuplicationKind> {
  PLATFORM_CLASS(TFactDuplicationFunction, TBuiltinFunction)
 public:
  using enum TFactDuplicationKind;
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// reset and clear.
enum class TResetKind : uint8_t { rsReset, rsClear };
class TResetFunction final : public TSelectingFunction<TResetKind> {
  PLATFORM_CLASS(TResetFunction, TBuiltinFunction)
 public:
  using enum TResetKind;
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (run [<integer>]): the number of rules fired.
class TRunFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TRunFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// watch and unwatch: all, rules, facts, activations, compilations or statistics.
enum class TWatchKind : uint8_t { wtWatch, wtUnwatch };
class TWatchFunction final : public TSelectingFunction<TWatchKind> {
  PLATFORM_CLASS(TWatchFunction, TBuiltinFunction)
 public:
  using enum TWatchKind;
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

}  // namespace rulecore
