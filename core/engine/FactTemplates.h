// TFactTemplates and TIEDefinedTypes: the engine's registries of templates and deftypes, keyed
// by name as written.  Adding a name that is taken follows the engine's duplicate policy.
#pragma once

#include <string>
#include <string_view>

#include "core/facts/FactTemplate.h"
#include "platform/HashTable.h"

namespace rulecore {

class TInferenceEngine;

class TFactTemplates : public platform::TStringHashTable<IFactTemplate> {
 public:
  explicit TFactTemplates(TInferenceEngine* Engine = nullptr) : TStringHashTable(101, 0.75), Engine_(Engine) {}

  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  // Registers Template under its name.  A template without slots first gets the implied
  // multislot "__Data" (it becomes ordered).  A taken name follows the duplicate policy.
  void Add(const IFactTemplate& Template) { Put(Template->GetTemplateName(), Template); }
  void Put(const std::string& Name, const IFactTemplate& Template);
  // Replaces Old by New (same registry entry, New's name).
  void Replace(const IFactTemplate& Old, const IFactTemplate& New);
  // Reports the template to the engine and removes it; unknown names are ignored.
  IFactTemplate Remove(std::string_view Name);
  IFactTemplate GetItem(std::string_view Name) const { return Get(Name); }
  // Empties the table; facts, pending facts and rules go first.
  void Clear();

 private:
  TInferenceEngine* Engine_;
};

class TIEDefinedTypes : public platform::TStringHashTable<IIEDefinedType> {
 public:
  explicit TIEDefinedTypes(TInferenceEngine* Engine = nullptr) : TStringHashTable(101, 0.75), Engine_(Engine) {}
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  void Add(const IIEDefinedType& Type) { Put(Type->GetName(), Type); }
  void Put(const std::string& Name, const IIEDefinedType& Type);
  IIEDefinedType GetItem(std::string_view Name) const { return Get(Name); }
  // Removes the type and every template with a slot of it.
  IIEDefinedType Remove(std::string_view Name);
  // Empties the table and the templates.
  void Clear();

 private:
  TInferenceEngine* Engine_;
};

}  // namespace rulecore
