// The canonical text of facts, fact sets, templates and slot definitions.
#include "IEPrettyPrinter.h"

#include "core/facts/FactSet.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

constexpr std::string_view NL = NewLineString;
constexpr std::string_view IND = IndentString;

std::string SlotText(bool Ordered, std::string_view SlotName, std::string_view ValueText) {
  if (ValueText.empty()) return {};
  if (Ordered) return std::string(ValueText);
  std::string Text = "(";
  Text += SlotName;
  Text += ' ';
  Text += ValueText;
  Text += ')';
  return Text;
}

// A single slot holding nil is left out (reading the fact again gives it back); inside a list
// nil must be written.
std::string ValueText(const IIEValue& Value) {
  if (!Value) return {};
  return Value->GetDType() == dtList || Value->GetDType() == dtSingletons ? SourceText(Value) : Value->GetToString();
}

// A multislot left empty on purpose must be written when reading the fact again would fill it
// with a default that is not empty.
bool EmptyByDefault(const TFactSlot& Slot) {
  const IIEValue& Default = Slot.GetSlotDefault();
  if (!Default || Default == FCNil) return true;
  return Default->GetDType() == dtList && Default->GetAsList()->GetValueCount() == 0;
}

}  // namespace

std::string IndentInnerLines(std::string_view Text) {
  std::string Result;
  Result.reserve(Text.size() + 8);
  for (size_t I = 0; I < Text.size(); ++I) {
    Result += Text[I];
    if (Text[I] == '\n' && I > 0 && Text[I - 1] == '\r') Result += IND;
  }
  return Result;
}

std::string PrettyPrintSlotValue(const TFactTemplate& Template, std::string_view SlotName, std::string_view Text) {
  return SlotText(Template.IsOrdered(), SlotName, Text);
}

std::string PrettyPrintSlotValue(const TFact& Fact, std::string_view SlotName) {
  if (!Fact.GetTemplate()) return {};
  return SlotText(Fact.GetTemplate()->IsOrdered(), SlotName, ValueText(const_cast<TFact&>(Fact).GetValue(SlotName)));
}

std::string PrettyPrint(const TFact& Fact) {
  const TFactTemplate* Template = Fact.GetTemplate().get();
  std::string Text = "(";
  if (!Template) {
    for (const auto& Entry : Fact.GetSlotValues().Entries()) {
      Text += ValueText(Entry.Value);
      Text += ' ';
    }
    return Text + ")";
  }
  Text += Template->GetTemplateName();
  auto& Mutable = const_cast<TFact&>(Fact);  // reading a slot never set stores its default
  if (Template->IsOrdered()) {
    const std::string Slot = ValueText(Mutable.GetValue(SDefaultSlotName));
    if (!Slot.empty()) {
      Text += ' ';
      Text += Slot;
    }
    return Text + ")";
  }
  for (const IFactSlot& Slot : Template->GetSlots()) {
    std::string Part = SlotText(false, Slot->GetName(), ValueText(Mutable.GetValue(Slot->GetName())));
    if (Part.empty() && Slot->IsMultiSlot() && !EmptyByDefault(*Slot)) Part = "(" + Slot->GetName() + ")";
    if (Part.empty()) continue;
    Text += ' ';
    Text += Part;
  }
  return Text + ")";
}

std::string PrettyPrint(const TFactSlot& Slot) {
  std::string Text = Slot.IsMultiSlot() ? "(multislot " : "(slot ";
  Text += Slot.GetName();
  Text += ' ';
  std::string Default;
  const IIEValue& D = Slot.GetSlotDefault();
  if (D && D != FCNil && D != FCNilList) {
    const std::string V = D->GetToString();
    if (!platform::Trim(V).empty())
      Default = (Slot.GetDefaultDynamic() ? "(default-dynamic " : "(default ") + V + ") ";
  }
  const TIETypes Types = Slot.GetSlotType();
  if (const TIEDefinedType* Type = Slot.GetExtendedTypeInfo().get()) {
    Text += Type->GetImplicit() ? PrettyPrint(*Type) : "(type " + Type->GetName() + ")";
    if (!Default.empty()) {
      Text += IND;
      Text += IND;
      Text += Default;
    }
  } else if (Types == IESlotTypes || Types == (IESlotTypes | IEMultiSlotTypes)) {
    Text += Default;
  } else {
    if (Slot.IsMultiSlot())
      Text += "(type " + TypeListText(Types - IEMultiSlotTypes - IEAlwaysValidTypes) + ") ";
    else
      Text += "(type " + TypeListText(Types - IEAlwaysValidTypes) + ")";
    if (!Default.empty()) {
      Text += NL;
      Text += IND;
      Text += IND;
      Text += Default;
    }
  }
  return Text + ")";
}

std::string PrettyPrint(const TFactTemplate& Template) {
  std::string Text = "(deftemplate " + Template.GetTemplateName();
  if (!Template.GetComment().empty()) Text += " \"" + Template.GetComment() + "\"";
  if (Template.GetParent()) {
    Text += NL;
    Text += IND;
    Text += "extends " + Template.GetParent()->GetTemplateName();
  }
  IFactSlot Data;
  if (Template.IsOrdered() && Template.ContainsSlot(SDefaultSlotName, Data) && Data->GetExtendedTypeInfo()) {
    const TIEDefinedType& Type = *Data->GetExtendedTypeInfo();
    if (Type.GetImplicit())
      Text += " " + PrettyPrint(*Data);
    else
      Text += " is-a " + Type.GetName();
  } else {
    Text += NL;
    for (const IFactSlot& Slot : Template.GetSlots()) {
      Text += IND;
      Text += IndentInnerLines(PrettyPrint(*Slot));
      Text += NL;
    }
  }
  return Text + ")";
}

std::string PrettyPrint(const TFactSet& Set) {
  std::string Text = "(deffacts " + Set.GetFactSetName();
  if (!Set.GetComment().empty()) Text += " \"" + Set.GetComment() + "\"";
  Text += NL;
  for (int I = 0; I < Set.GetCount(); ++I) {
    const IFact Fact = Set.GetFact(I);
    Text += IND;
    Text += IndentInnerLines(Fact ? Fact->ToString() : Set.GetLine(I));
    Text += NL;
  }
  return Text + ")";
}

}  // namespace rulecore
