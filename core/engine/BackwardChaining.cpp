// Backward chaining, the engine's part: a template marked for it gets a goal template
// "need-" + name that extends it.  The network asks for goals (TJoinNode::AskForBackChain) and
// the goal facts are asserted as pending facts once the change that asked for them has
// propagated.  Depends on the engine and the template registry.
#include "InferenceEngine.h"
#include "core/facts/FactTemplate.h"
#include "core/values/IEConsts.h"
#include "core/values/IEException.h"

namespace rulecore {

void TInferenceEngine::DoBackwardChaining(const TIEName& Name) {
  if (Name == STestCE || Name == "not") RaiseIE(SBackChainCE, {Name});
  // Before anything is made: a name no template can have leaves no implied template behind.
  CheckConstructName(Name);
  const IFactTemplate Template = CreateFactTemplate(Name);
  Template->SetBackwardChaining(true);
  const std::string GoalName = std::string(SBackChainPrefix) + Name;
  const IFactTemplate Goal =
      platform::MakeRef<TFactTemplate>(this, "Goal seeker for " + Name, GoalName, Template);
  Goal->SetBackwardChaining(false);
  // Asked again, the same goal template stays as it is (rules may use it already).
  if (const IFactTemplate Existing = FindFactTemplate(GoalName); Existing && Existing->Equals(Goal.get())) return;
  FactTemplates_->Add(Goal);
}

}  // namespace rulecore
