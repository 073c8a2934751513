// The canonical text of rules.
#include "IEPrettyPrinter.h"

#include "core/network/IERule.h"

namespace rulecore {

std::string PrettyPrint(const TRule& Rule, TRuleConstruct Part) {
  const std::string NL(NewLineString);
  const std::string IND(IndentString);
  std::string Text;
  if (Part == rcAction) {
    for (int I = 0; I < Rule.GetActionCount(); ++I)
      Text += IND + IndentInnerLines(Rule.GetAction(I)->GetToString()) + NL;
    return Text;
  }
  bool AfterGoal = false;
  for (int I = 0; I < Rule.GetPatternCount(); ++I) {
    const TIEPattern& Pattern = *Rule.GetPattern(I);
    // The negated element compiled in after a goal pattern is not written: reading the goal
    // pattern makes it again.
    const bool Skip = AfterGoal;
    AfterGoal = Pattern.GetName().rfind(SBackChainPrefix, 0) == 0;
    if (Skip) continue;
    if (!Text.empty()) Text += NL;
    Text += IND + IndentInnerLines(PrettyPrint(Pattern));
  }
  return Text;
}

std::string PrettyPrint(const TRule& Rule) {
  const std::string NL(NewLineString);
  const std::string IND(IndentString);
  std::string Text = "(defrule " + Rule.GetRuleName();
  if (!Rule.GetComment().empty()) Text += NL + IND + "\"" + Rule.GetComment() + "\"";
  Text += NL;
  const IIEValue& Salience = Rule.GetSalienceExpression();
  const bool HasSalience =
      Salience && !(Salience->GetDType() == dtInteger && Salience->GetAsInteger() == 0);
  if (HasSalience || Rule.GetOneShot() || !Rule.GetEnabled()) {
    Text += IND + "(declare";
    if (HasSalience) Text += " (salience " + Salience->GetToString() + ")";
    if (!Rule.GetEnabled()) Text += " (enabled FALSE)";
    if (Rule.GetOneShot()) Text += " (oneshot TRUE)";
    Text += ")" + NL;
  }
  Text += PrettyPrint(Rule, rcPattern);
  Text += NL + IND + "=>" + NL;
  Text += PrettyPrint(Rule, rcAction);
  return Text + ")";
}

}  // namespace rulecore
