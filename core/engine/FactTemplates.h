// TFactTemplates and TIEDefinedTypes: the engine's registries of templates and deftypes, keyed
// by name as written.  Adding a name that is taken follows the engine's duplicate policy.
// A registry made without an engine (a free-standing copy) raises no events and changes no
// working memory.
#pragma once

#include <string>
#include <string_view>

#include "core/facts/FactTemplate.h"
#include "platform/HashTable.h"
#include "platform/Object.h"

namespace rulecore {

class TInferenceEngine;

class TFactTemplates : public platform::TPersistent, public platform::TStringHashTable<IFactTemplate> {
  PLATFORM_CLASS(TFactTemplates, platform::TPersistent)
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
  // Makes this registry hold templates equal to another registry's: templates the source lacks
  // leave, differing ones are replaced, the others are assigned or added as copies.
  void Assign(const platform::TPersistent& Source) override;
  // Every template's text and CR LF, templates without a parent first and each child after
  // its parent.
  std::string ToString() const;

 private:
  TInferenceEngine* Engine_;
};

class TIEDefinedTypes : public platform::TPersistent, public platform::TStringHashTable<IIEDefinedType> {
  PLATFORM_CLASS(TIEDefinedTypes, platform::TPersistent)
 public:
  explicit TIEDefinedTypes(TInferenceEngine* Engine = nullptr) : TStringHashTable(101, 0.75), Engine_(Engine) {}
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  void Add(const IIEDefinedType& Type) { Put(Type->GetName(), Type); }
  // Registers Type (the engine becomes its reasoner; a fuzzy variable takes the engine's
  // threshold and, when the engine says so, the terms low, medium and high it lacks).  A taken
  // name follows the duplicate policy; overwriting goes through Replace.
  void Put(const std::string& Name, const IIEDefinedType& Type);
  // Replaces Old by New; templates with slots of Old are rebuilt on New (same name) or removed.
  void Replace(const IIEDefinedType& Old, const IIEDefinedType& New);
  IIEDefinedType GetItem(std::string_view Name) const { return Get(Name); }
  // Removes the type and every template with a slot of it.
  IIEDefinedType Remove(std::string_view Name);
  // Empties the table and the templates.
  void Clear();
  // As TFactTemplates::Assign; ancestors are then linked to the types of this registry.
  void Assign(const platform::TPersistent& Source) override;
  // Every type's text and CR LF, each type after its ancestor.
  std::string ToString() const;
  // The type names, one per line.
  std::string GetNamesToString() const;

 private:
  void Join(const IIEDefinedType& Type);
  TInferenceEngine* Engine_;
};

}  // namespace rulecore
