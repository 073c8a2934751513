// TValueHashTable: values keyed by text (the base of the engine's variable table).
#pragma once

#include <string>

#include "IEValue.h"
#include "platform/HashTable.h"
#include "platform/Object.h"

namespace rulecore {

class TValueHashTable : public platform::TPersistent, public platform::TStringHashTable<IIEValue> {
  PLATFORM_CLASS(TValueHashTable, platform::TPersistent)
 public:
  using TStringHashTable::TStringHashTable;
  TValueHashTable() = default;

  // Read access; nothing when the key is absent.
  IIEValue Items(std::string_view Key) const { return Get(Key); }
  void SetItems(const std::string& Key, IIEValue Value) { Put(Key, std::move(Value)); }

  // "key = value text" and CR LF per entry, in the table's order.
  std::string ToString() const;
  // Within one batched update: clear, copy the settings, then put a clone of every value.
  void Assign(const platform::TPersistent& Source) override;
};

}  // namespace rulecore
