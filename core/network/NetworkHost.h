// What the network's contexts and agenda ask of the engine they work for.  The engine
// implements it, so that the network does not depend on the engine's own header.
#pragma once

#include <cstdint>

#include "core/facts/Fact.h"
#include "core/facts/FactTemplate.h"
#include "core/values/IEValue.h"

namespace vaguecore {
class IFuzzyParser;
}  // namespace vaguecore

namespace rulecore {

class TIEContext;
class TInferenceEngine;

class INetworkHost {
 public:
  // The fact that stands in a match for a pattern that matched no fact (a negated one).
  virtual const IFact& GetPlaceholderFact() const noexcept = 0;
  // The fact-address value of a fact of working memory.
  virtual IIEValue FactAddress(const TFact& Fact) const = 0;
  // A fuzzy slot's value: Value (a linguistic expression, a number, a fuzzy value) evaluated in
  // Context as a fuzzy value of the slot's type.
  virtual IIEValue FuzzySlotValue(const TFactSlot& Slot, const IIEValue& Value, TIEContext* Context) = 0;
  // The parser of fuzzy set terms.
  virtual vaguecore::IFuzzyParser* GetFuzzyTermParser() noexcept = 0;
  // Where on the agenda an activation of this salience goes, by the search strategy.
  virtual int SearchSalience(int32_t Salience) const = 0;

 protected:
  ~INetworkHost() = default;
};

// The engine's network side (nothing for no engine); defined with the engine.
INetworkHost* NetworkHostOf(TInferenceEngine* Engine) noexcept;

}  // namespace rulecore
