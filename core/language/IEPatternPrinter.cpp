// The canonical text of a pattern: comment block, template name, the field tests of each
// constrained slot, then the unique/explicit/negation wrappers and the binding arrow.
#include <string>

#include "IEPrettyPrinter.h"
#include "core/facts/IEPattern.h"
#include "core/values/IEException.h"
#include "platform/Format.h"
#include "platform/StringList.h"

namespace rulecore {

namespace {

const std::string NL(NewLineString);

bool IsMultiSlot(const TFactTemplate& Template, std::string_view SlotName) {
  IFactSlot Slot;
  return Template.ContainsSlot(SlotName, Slot) && Slot->IsMultiSlot();
}

// A variable that matches anything, for a slot that must appear but prints no test: the bare
// wildcard.  The reader gives every "?" and "$?" a fresh name of its own, so the text means the
// same; a generated name would make each printing of a rule differ from the last (and use up
// the engine's symbols), so that saving a knowledge base twice gave two texts.
std::string FreshVariable(bool Multi) { return Multi ? "$?" : "?"; }

// The tests of one slot: "&" joins tests of the same field, "|" starts an alternative there,
// a blank moves to the next field; "~" negates; a call is a predicate constraint ":(...)"
// except in the "test" element, whose calls stand as they are.
std::string FieldTests(const TSlotTests* Tests, bool TestElement) {
  std::string Text;
  if (!Tests) return Text;
  const TIEPatternMatchTest* Previous = nullptr;
  for (const auto& Test : *Tests) {
    if (Previous) {
      if (Test->GetMultiSlotSubIndex() != Previous->GetMultiSlotSubIndex())
        Text += ' ';
      else
        Text += Test->GetConjunction() ? '&' : '|';
    }
    // A negated "test" element is written with "not" around it, not with "~".
    if (Test->GetSlotTestType() == sttNotEquals && !TestElement) Text += '~';
    if (const IIEValue& Value = Test->GetSlotValue()) {
      if (Value->GetDType() == dtFunCall && !TestElement) Text += ':';
      Text += SourceText(Value);
    }
    Previous = Test.get();
  }
  return Text;
}

}  // namespace

std::string PrettyPrint(const TIEPattern& Pattern) {
  const IFactTemplate& Template = Pattern.GetFactTemplate();
  if (!Template) RaiseIE(SNoTemplate);
  const bool TestElement = Pattern.GetName() == STestCE;

  std::string Text = CommentBlock(Pattern.GetComment()) + "(" + Template->GetTemplateName() + " ";
  if (Template->IsOrdered()) {
    const int Slot = Pattern.IndexOfSlotName(SDefaultSlotName);
    std::string Tests = Slot >= 0 ? FieldTests(Pattern.GetSlotTests(Slot), TestElement) : std::string();
    // "(goal)" asks for no fields at all: a wildcard there would match any goal.  The initial
    // fact has no fields, so the pattern the engine puts in front of a rule is "(Initial-Fact)".
    const bool InitialFact = Template->GetTemplateName() == SInitialFactPattern;
    if (Tests.empty() && !InitialFact && !(Slot >= 0 && Pattern.GetSlotLength(Slot) == 0))
      Tests = FreshVariable(true);
    Text += Tests;
  } else {
    for (int Slot = 0; Slot < Pattern.GetSlotCount(); ++Slot) {
      // A multislot written without fields, "(tags)", must be empty; it has a length but no test.
      const bool Empty = Pattern.GetSlotLength(Slot) == 0;
      if (Pattern.GetSlotTestCount(Slot) == 0 && !Empty) continue;
      const std::string& Name = Pattern.GetSlotName(Slot);
      std::string Tests = FieldTests(Pattern.GetSlotTests(Slot), TestElement);
      if (Tests.empty() && !Empty) Tests = FreshVariable(IsMultiSlot(*Template, Name));
      Text += "(" + Name + " " + Tests + ") ";
    }
  }
  Text += ")";

  if (TestElement && Pattern.GetSlotCount() > 0 && Pattern.GetSlotTestCount(0) > 0 &&
      Pattern.GetSlotTest(0, 0)->GetSlotTestType() == sttNotEquals)
    Text = "(not " + Text + ")";
  if (Pattern.GetUnique()) Text = "(unique " + Text + ")";
  if (Pattern.GetExplicit()) Text = "(explicit " + Text + ")";
  // One "not" is written as such; two or more are an "exists" (two negations) inside the rest.
  const int32_t Negations = Pattern.GetNegatedCount();
  if (Negations == 1) {
    Text = "(not " + Text + ")";
  } else if (Negations >= 2) {
    std::string Wrapped;
    for (int32_t I = 2; I < Negations; ++I) Wrapped += "(not ";
    Wrapped += "(exists " + Text + ")";
    Wrapped.append(static_cast<size_t>(Negations - 2), ')');
    Text = std::move(Wrapped);
  }
  if (!Pattern.GetBoundName().empty()) Text = "?" + Pattern.GetBoundName() + " <- " + Text;
  return Text;
}

}  // namespace rulecore
