// IParserHost: what the parser asks of the engine it reads for - where the constructs it reads
// go, the context that values computed while reading are resolved in, and the registries it
// looks names up in.  The engine implements it, so the rule language depends on nothing above
// this folder (the engine itself is only named, as the handle fact sets and functions take).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/facts/Fact.h"
#include "core/facts/FactTemplate.h"
#include "core/values/IEDefinedType.h"
#include "core/values/IEFuzzySet.h"
#include "core/values/IEValue.h"

namespace rulecore {

class TIEContext;
class TRule;
class TValueVector;

class IParserHost {
 public:
  // The root evaluation context: constants, defaults, global values and commands read at the
  // top level are computed in it.
  virtual TIEContext* GetContext() const noexcept = 0;
  virtual std::string GenerateSymbol(std::string_view Prefix) = 0;

  // Constructs read.  A rule or template that cannot be added raises; the caller still owns a
  // rule it could not add.
  virtual void AddParsedRule(TRule* Rule) = 0;
  virtual void AddParsedFactTemplate(const IFactTemplate& Template) = 0;
  virtual void RemoveParsedFactTemplate(std::string_view Name) = 0;
  virtual void AddParsedDefinedType(const IIEDefinedType& Type) = 0;
  virtual void SetGlobalVariable(const std::string& Name, const IIEValue& Value) = 0;
  virtual int32_t AssertFact(const IFact& Fact) = 0;

  // Registries: nothing when there is no such name; CreateFactTemplate makes an implied one.
  virtual IFactTemplate FindFactTemplate(std::string_view Name) const = 0;
  virtual IFactTemplate CreateFactTemplate(const TIEName& Name) = 0;
  virtual IIEDefinedType FindDefinedType(std::string_view Name) const = 0;

  // Fuzzy values written in the text: a linguistic expression over a variable, and the value a
  // fuzzy slot takes from what was written for it.
  virtual IIEValue EvalFuzzyExpression(const IFuzzyVariable& Variable, const TValueVector& Items,
                                       TIEContext* Context) = 0;
  virtual IIEValue FuzzySlotValue(const TFactSlot& Slot, const IIEValue& Value, TIEContext* Context) = 0;

  // The answer of a command read at the top level goes to the engine's output.
  virtual void PrintOut(const std::string& OutID, const std::string& Text) = 0;

 protected:
  ~IParserHost() = default;
};

}  // namespace rulecore
