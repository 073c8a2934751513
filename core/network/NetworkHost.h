// What the network - evaluation contexts, the agenda, the Rete network and rules - asks of the
// engine it works for.  The engine implements it, so that the network does not depend on the
// engine's own header.  Depends on core/facts and core/values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/facts/Fact.h"
#include "core/facts/FactTemplate.h"
#include "core/values/IEValue.h"

namespace platform {
class TComponent;
}  // namespace platform

namespace vaguecore {
class IFuzzyParser;
}  // namespace vaguecore

namespace rulecore {

class IFunCallFactory;
class IReasoner;
class ISymbolGenerator;
class TActivation;
class TIEContext;
class TIEPattern;
class TInferenceEngine;
class TReteNetwork;
class TRule;

class INetworkHost {
 public:
  // The engine itself, for callers above this folder.
  virtual TInferenceEngine* GetNetworkEngine() noexcept = 0;
  // The root evaluation context: every node evaluates in a child of it.
  virtual TIEContext* GetContext() const noexcept = 0;
  // The bytes of stack that matching keeps free (0: the default share of the thread's stack).
  virtual std::size_t GetStackReserveBytes() const noexcept = 0;
  // Working memory as it stands, oldest first (a new rule is primed with it).
  virtual const std::vector<IFact>& GetFactList() const noexcept = 0;
  // The pattern a rule without patterns gets.
  virtual const TIEPattern& GetInitialFactPattern() const noexcept = 0;
  // Whether Name is a global variable of the engine.
  virtual bool IsGlobalVariable(std::string_view Name) const = 0;
  // The template of that name, made (implied) when there is none.
  virtual IFactTemplate CreateFactTemplate(const TIEName& Name) = 0;
  // A goal of backward chaining, asserted once the change that asked for it has propagated.
  virtual void AddPendingFact(const IFact& Fact, bool Assertion) = 0;
  // The agenda's side of the terminal nodes.
  virtual void AddActivation(TActivation* Activation) = 0;
  virtual void RemoveActivation(TActivation* Activation) = 0;
  virtual void RuleFired(TActivation* Activation) = 0;

  // --- what rules ask of their engine ---
  // The engine as the component that owns rules, and its network.
  virtual platform::TComponent* GetNetworkComponent() noexcept = 0;
  virtual TReteNetwork& GetReteNetwork() const noexcept = 0;
  // The engine's sides that make symbols, calls of patterns, and run the calls of actions.
  virtual ISymbolGenerator* GetSymbols() noexcept = 0;
  virtual IFunCallFactory* GetCallFactory() noexcept = 0;
  virtual IReasoner* GetCallReasoner() noexcept = 0;
  // The rule registry: a number for the next unnamed rule, entering and leaving it, looking a
  // rule up, renaming, and telling it that a rule changed.
  virtual int32_t NewRuleId() noexcept = 0;
  virtual void RuleJoined(TRule* Rule) = 0;
  virtual void RuleLeft(TRule* Rule) = 0;
  virtual TRule* FindRule(std::string_view Name) const = 0;
  virtual void RenameRule(const std::string& OldName, const std::string& NewName) = 0;
  virtual void RuleChange(TRule* Rule) = 0;
  // A rule read from its text (the caller owns it), and a rule's text in the printer's form.
  virtual TRule* ParseRule(const std::string& Text) = 0;
  virtual std::string PrintRule(const TRule& Rule) = 0;

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

// Prints a rule that belongs to no engine: the rule language's printer registers itself.
using TRulePrinter = std::string (*)(const TRule& Rule);
void SetRulePrinter(TRulePrinter Printer) noexcept;
std::string PrintRuleWithoutEngine(const TRule& Rule);

}  // namespace rulecore
