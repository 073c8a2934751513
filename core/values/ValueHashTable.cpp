#include "ValueHashTable.h"

namespace rulecore {

std::string TValueHashTable::ToString() const {
  std::string Text;
  for (const auto& [Key, Value] : *this) {
    Text += Key;
    Text += " = ";
    if (Value) Text += Value->GetToString();
    Text += NewLineString;
  }
  return Text;
}

void TValueHashTable::Assign(const platform::TPersistent& Source) {
  const auto* Other = dynamic_cast<const TValueHashTable*>(&Source);
  if (!Other) return TPersistent::Assign(Source);
  if (Other == this) return;
  BeginUpdate();
  try {
    Clear();
    SetLoadFactor(Other->GetLoadFactor());
    SetCapacity(Other->GetCapacity());
    SetHashType(Other->GetHashType());
    for (const auto& [Key, Value] : *Other) Put(Key, Value ? Value->Clone() : IIEValue());
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

}  // namespace rulecore
