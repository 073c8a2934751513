// TIEParser: the parser interface of the engine - the owning engine (reached through
// IParserHost, ParserHost.h), the token stream it reads, the error-handling settings and the
// events that report each finished construct.  The rule
// language's parser (TIEClipsParser) implements the construct operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "IETokenizer.h"
#include "core/facts/Fact.h"
#include "core/facts/IEPattern.h"
#include "core/functions/IEFunctionCall.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/values/IEDefinedType.h"
#include "core/values/IEException.h"
#include "core/values/IEFuzzySet.h"
#include "core/values/ValueVector.h"
#include "platform/Component.h"

namespace rulecore {

class IParserHost;
class TInferenceEngine;
class TFactSet;
class TRule;
class TIEParser;

PLATFORM_ENUM(TParsedType, ptNone, ptValue, ptFunCall, ptRule, ptFactSet, ptFactTemplate, ptFunction, ptGlobals,
              ptDefType, ptEOF)

using TParseEvent =
    std::function<void(TIEParser* Sender, TParsedType Type, platform::TObject* AObject, const IIEValue& AInterface)>;
using TParseDefinedTypeEvent = std::function<void(TIEParser* Sender, const IIEDefinedType& DefinedType)>;
using TParseFactEvent = std::function<void(TIEParser* Sender, const IFact& Fact)>;
using TParseFactSetEvent = std::function<void(TIEParser* Sender, TFactSet* FactSet)>;
using TParseFactTemplateEvent = std::function<void(TIEParser* Sender, const IFactTemplate& FactTemplate)>;
using TParseFunctionEvent = std::function<void(TIEParser* Sender, const IUserFunction& AFunction)>;
using TParseFunCallEvent = std::function<void(TIEParser* Sender, const IFunCall& FunCall)>;
using TParseVariableEvent = std::function<void(TIEParser* Sender, const std::string& VarName, const IIEValue& Value)>;
using TParsePatternEvent = std::function<void(TIEParser* Sender, TIEPattern* Pattern)>;
using TParseRuleEvent = std::function<void(TIEParser* Sender, TRule* Rule)>;
using TParseFuzzySetEvent = std::function<void(TIEParser* Sender, const vaguecore::IFuzzySet& FuzzySet)>;
using TParseFuzzyVariableEvent =
    std::function<void(TIEParser* Sender, const vaguecore::IFuzzyVariable& FuzzyVariable)>;
using TParseSingletonsEvent = std::function<void(TIEParser* Sender, const ISingletonsVector& Singletons)>;

class TIEParser : public platform::TComponent {
  PLATFORM_CLASS(TIEParser, platform::TComponent)
 public:
  explicit TIEParser(platform::TComponent* Owner = nullptr);

  // The engine that owns the parser (nullptr for none), and what the parser asks of it.
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  IParserHost* GetHost() const noexcept { return Host_; }
  // The stream read (not owned).
  TIEClipsStream* GetStream() const noexcept { return Stream_; }
  void SetStream(TIEClipsStream* Value) noexcept { Stream_ = Value; }

  // --- settings ---
  bool GetStrictTemplates() const noexcept { return StrictTemplates_; }
  void SetStrictTemplates(bool Value) noexcept { StrictTemplates_ = Value; }
  bool GetStaticTypeCheck() const noexcept { return StaticTypeCheck_; }
  void SetStaticTypeCheck(bool Value) noexcept { StaticTypeCheck_ = Value; }
  TErrorHandling GetErrorHandling() const noexcept { return ErrorHandling_; }
  void SetErrorHandling(TErrorHandling Value) noexcept { ErrorHandling_ = Value; }
  int32_t GetMaxErrors() const noexcept { return MaxErrors_; }
  void SetMaxErrors(int32_t Value) noexcept { MaxErrors_ = Value; }
  void Assign(const platform::TPersistent& Source) override;

  // --- whole texts ---
  // Every construct and top-level item of the stream; with Execute, top-level calls run.
  virtual void Parse(bool Execute) = 0;
  // One top-level item; false at the end of the stream.
  virtual bool ParseExpression(bool Execute) = 0;
  // One call, executed at once in the engine's global context.
  virtual IIEValue ParseNExecuteFunCall() = 0;
  // Facts only: each fact of the stream, its values evaluated, asserted into the engine.  False
  // without an engine.
  virtual bool LoadFacts() = 0;

  // --- constructs ---
  virtual TRule* ParseRule() = 0;
  virtual IFactTemplate ParseFactTemplate() = 0;
  virtual IFactSlot ParseFactTemplateSlot(TFactTemplate& Template) = 0;
  virtual TFactSet* ParseFactSet() = 0;
  virtual IFact ParseFact() = 0;
  virtual IInterpretedFunction ParseFunction() = 0;
  virtual void ParseGlobalVariables() = 0;
  virtual IIEDefinedType ParseDefinedType() = 0;
  virtual IFunCall ParseFunCall() = 0;
  virtual IIEValue ParseValue() = 0;
  virtual IIEValue ParseList() = 0;
  virtual ISingletonsVector ParseSingletons() = 0;

  // Raises "Parsing Error, <message> in <where> at line <n>: <expression text so far>".
  [[noreturn]] void ParseError(std::string_view Where, std::string_view Message) const;

  // --- events ---
  TParseEvent OnParse;
  TParseDefinedTypeEvent OnParseDefinedType;
  TParseFactEvent OnParseFact;
  TParseFactSetEvent OnParseFactSet;
  TParseFactTemplateEvent OnParseFactTemplate;
  TParseFunctionEvent OnParseFunction;
  TParseFunCallEvent OnParseFunCall;
  TParseVariableEvent OnParseVariable;
  TParsePatternEvent OnParsePattern;
  TParseRuleEvent OnParseRule;
  TParseFuzzySetEvent OnParseFuzzySet;
  TParseFuzzyVariableEvent OnParseFuzzyVariable;
  TParseSingletonsEvent OnParseSingletons;

 protected:
  TIEClipsStream& Stream() const;
  IParserHost& Host() const;
  // The engine as the owner of the constructs read (raises without one).
  platform::TComponent* EngineComponent() const;
  // The engine as the reasoner of the calls, functions and types read (nullptr without one).
  IReasoner* Reasoner() const noexcept { return ReasonerOf(Engine_); }
  // The engine's share of the stack kept free (0 without an engine).
  std::size_t StackReserve() const noexcept;

 private:
  TInferenceEngine* Engine_ = nullptr;
  IParserHost* Host_ = nullptr;
  TIEClipsStream* Stream_ = nullptr;
  bool StrictTemplates_ = false;
  bool StaticTypeCheck_ = true;
  TErrorHandling ErrorHandling_ = ehRaiseImmediate;
  int32_t MaxErrors_ = 10;
};

}  // namespace rulecore
