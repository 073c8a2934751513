#include "Rules.h"

#include "InferenceEngine.h"
#include "core/network/IERule.h"
#include "core/values/IEException.h"

namespace rulecore {

void TRules::Add(TRule* Rule) {
  if (!Rule) return;
  const std::string Name = Rule->GetRuleName();
  TRule* Existing = nullptr;
  if (ContainsKey(Name, Existing)) {
    if (Existing == Rule) return;
    const TDuplicateConstructs Policy = Engine_ ? Engine_->GetDuplicateConstructs() : dcOverwrite;
    if (Policy == dcIgnore) return;
    if (Policy == dcError) RaiseIE(SDuplicateRuleNames, {Name});
    Remove(Name);
  }
  Put(Name, Rule);
  if (!Engine_) return;
  try {
    Engine_->AddRule(Rule);
  } catch (...) {
    TStringHashTable::Remove(Name);  // a rule that does not compile is not registered
    throw;
  }
}

void TRules::Remove(std::string_view Name) {
  TRule* Rule = Get(Name);
  if (!Rule) return;
  TStringHashTable::Remove(Name);
  if (Engine_) Engine_->RemoveRule(Rule);
}

void TRules::Remove(TRule* Rule) {
  if (Rule && Get(Rule->GetRuleName()) == Rule) Remove(Rule->GetRuleName());
}

void TRules::Rename(const std::string& OldName, const std::string& NewName) {
  if (OldName == NewName || !ContainsKey(OldName)) return;
  if (ContainsKey(NewName)) RaiseIE(SDuplicateRuleNames, {NewName});
  TRule* Rule = TStringHashTable::Remove(OldName);
  Put(NewName, Rule);
}

}  // namespace rulecore
