// TRules: the engine's rules by name.  Rules are components; the engine frees the ones it owns
// when they leave the table.
#pragma once

#include <string>
#include <string_view>

#include "platform/HashTable.h"
#include "platform/Object.h"

namespace rulecore {

class TInferenceEngine;
class TRule;

class TRules : public platform::TPersistent, public platform::TStringHashTable<TRule*> {
  PLATFORM_CLASS(TRules, platform::TPersistent)
 public:
  explicit TRules(TInferenceEngine* Engine = nullptr) : TStringHashTable(101, 0.75), Engine_(Engine) {}
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  // Registers the rule under its name; a taken name follows the duplicate policy (overwriting
  // removes the old rule first).
  void Add(TRule* Rule);
  // Unregisters the rule of that name (and frees it when the engine owns it).
  void Remove(std::string_view Name);
  // Unregisters Rule only when it is the one registered under its name.
  void Remove(TRule* Rule);
  // Moves the entry to the new name and renames the rule.
  void Rename(const std::string& OldName, const std::string& NewName);
  TRule* GetItem(std::string_view Name) const { return Get(Name); }
  // Empties the table: the rules leave the network, the engine's own rules are freed and its
  // rule numbering starts again.
  void Clear();
  // Holds the source's rules afterwards: rules of this engine as they are, others read again
  // from their text by this engine.
  void Assign(const platform::TPersistent& Source) override;
  // Every rule's text and CR LF, sorted without regard to case.
  std::string ToString() const;

 private:
  TInferenceEngine* Engine_;
};

}  // namespace rulecore
