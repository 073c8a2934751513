// What templates, facts, fact sets and patterns ask of the engine that owns them, and the
// printer they use when they have none.  Both live above this folder - the engine implements
// IFactsHost, the rule language's printer registers itself as the facts' printer - so that the
// facts depend on neither.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Fact.h"
#include "FactTemplate.h"
#include "core/values/IEDefinedType.h"
#include "core/values/IEValue.h"

namespace platform {
class TComponent;
class TObject;
}  // namespace platform

namespace rulecore {

class TFactSet;
class TIEPattern;
class TInferenceEngine;

class IFactsHost {
 public:
  // The engine itself, for callers above this folder, and as the component it is.
  virtual TInferenceEngine* GetFactsEngine() noexcept = 0;
  virtual platform::TComponent* GetFactsComponent() noexcept = 0;

  // Text in the engine's printer's form.
  virtual std::string PrintFact(const TFact& Fact) = 0;
  virtual std::string PrintFactSlot(const TFactSlot& Slot) = 0;
  virtual std::string PrintFactTemplate(const TFactTemplate& Template) = 0;
  virtual std::string PrintFactSet(const TFactSet& Set) = 0;

  // The root evaluation context (dynamic defaults and linguistic expressions are resolved in
  // it), and a fact's values resolved there.
  virtual platform::TObject* GetEvaluationContext() noexcept = 0;
  virtual void ResolveFactValues(TFact& Fact) = 0;

  // Text read as the engine's own.
  virtual IFact ReadFact(const std::string& Text) = 0;
  virtual IIEValue ReadValue(const std::string& Text) = 0;
  virtual void ReadFactTemplateSlot(TFactTemplate& Template, const std::string& Text) = 0;

  // The registries of templates, types and fact sets.
  virtual IFactTemplate LookUpFactTemplate(std::string_view Name) = 0;
  virtual IFactTemplate MakeFactTemplate(const TIEName& Name) = 0;
  virtual IIEDefinedType LookUpDefinedType(std::string_view Name) = 0;
  virtual void FactTemplateRenamed(const TIEName& OldName, const TIEName& NewName) = 0;
  virtual void FactTemplateCreated(TFactTemplate* Template) = 0;
  virtual void FactTemplateDestroyed(TFactTemplate* Template) noexcept = 0;
  virtual void FactSetAttached(TFactSet* Set) = 0;
  virtual void FactSetDetached(TFactSet* Set) noexcept = 0;

  // Working memory and checking.
  virtual int32_t AssertFact(const IFact& Fact) = 0;
  virtual int32_t GetNextFactIdentifier() const noexcept = 0;
  virtual bool ChecksTypesDynamically() const noexcept = 0;

 protected:
  ~IFactsHost() = default;
};

// The engine's host side (nothing for no engine); defined with the engine.
IFactsHost* FactsHostOf(TInferenceEngine* Engine) noexcept;

// Printing without an engine.
class IFactsPrinter {
 public:
  virtual std::string PrintFact(const TFact& Fact) = 0;
  virtual std::string PrintFactSlot(const TFactSlot& Slot) = 0;
  virtual std::string PrintFactTemplate(const TFactTemplate& Template) = 0;
  virtual std::string PrintFactSet(const TFactSet& Set) = 0;
  virtual std::string PrintPattern(const TIEPattern& Pattern) = 0;

 protected:
  ~IFactsPrinter() = default;
};

// The printer the rule language registers as it loads.
IFactsPrinter& FactsPrinter();
void SetFactsPrinter(IFactsPrinter* Printer) noexcept;

}  // namespace rulecore
