#include "Rules.h"

#include <algorithm>
#include <vector>

#include "InferenceEngine.h"
#include "platform/Format.h"
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
  if (Engine_) Engine_->CheckIdle("Adding a rule");
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
  if (Engine_) Engine_->CheckIdle("Removing a rule");
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

void TRules::Clear() {
  if (Engine_) Engine_->CheckIdle("Removing the rules");
  std::vector<TRule*> Gone;
  for (const auto& [Name, Rule] : *this) Gone.push_back(Rule);
  TStringHashTable::Clear();
  if (!Engine_) return;
  Engine_->DropRules(Gone);
  Engine_->ClearRules();
}

void TRules::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TRules*>(&Source);
  if (!From) return TPersistent::Assign(Source);
  if (From == this) return;
  std::vector<TRule*> Theirs;
  for (const auto& [Name, Rule] : *From) Theirs.push_back(Rule);
  BeginUpdate();
  struct TEnd {
    TRules& Rules;
    ~TEnd() { Rules.EndUpdate(); }
  } End{*this};
  // Rules of this engine that the source also holds survive the clear.
  std::vector<TRule*> Kept;
  for (TRule* Rule : Theirs)
    if (Engine_ && Rule->GetEngine() == Engine_ && Get(Rule->GetRuleName()) == Rule) {
      TStringHashTable::Remove(Rule->GetRuleName());
      Kept.push_back(Rule);
    }
  Clear();
  CopySettings(*From);
  for (TRule* Rule : Theirs) {
    if (std::find(Kept.begin(), Kept.end(), Rule) != Kept.end()) {
      Put(Rule->GetRuleName(), Rule);
      continue;
    }
    if (Engine_ && Rule->GetEngine() == Engine_) {
      Add(Rule);
      continue;
    }
    if (!Engine_) {
      Put(Rule->GetRuleName(), Rule);
      continue;
    }
    TRule* Copy = Engine_->ParseRule(Rule->GetToString());
    try {
      Add(Copy);
    } catch (...) {
      delete Copy;
      throw;
    }
  }
}

std::string TRules::ToString() const {
  std::vector<std::string> Texts;
  for (const auto& [Name, Rule] : *this) Texts.push_back(Rule->GetToString() + "\r\n");
  std::sort(Texts.begin(), Texts.end(),
            [](const std::string& A, const std::string& B) { return platform::CompareText(A, B) < 0; });
  std::string Text;
  for (const std::string& T : Texts) Text += T;
  return Text;
}

}  // namespace rulecore
