// TInferenceEngine: the component a host drops into its program.  It owns the construct
// registries, generates symbols, numbers facts and decides whether values are checked against
// slot types while facts are built.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "FactTemplates.h"
#include "core/facts/Fact.h"
#include "core/values/IESymbolGenerator.h"
#include "platform/Component.h"

namespace rulecore {

class TFactSet;

class TInferenceEngine : public platform::TComponent, public ISymbolGenerator {
  PLATFORM_CLASS(TInferenceEngine, platform::TComponent)
 public:
  using TFactTemplateEvent = std::function<void(TInferenceEngine* Sender, const IFactTemplate& Template)>;

  explicit TInferenceEngine(platform::TComponent* Owner = nullptr);
  ~TInferenceEngine() override;

  // --- settings ---
  TTypeChecks GetTypeChecks() const noexcept { return TypeChecks_; }
  void SetTypeChecks(TTypeChecks Value) noexcept { TypeChecks_ = Value; }
  bool DynamicChecks() const noexcept { return TypeChecks_.Contains(tcDynamic); }
  TDuplicateConstructs GetDuplicateConstructs() const noexcept { return DuplicateConstructs_; }
  void SetDuplicateConstructs(TDuplicateConstructs Value) noexcept { DuplicateConstructs_ = Value; }

  // --- symbols ---
  // Prefix followed by SymbolIndex; the index then moves on by one.
  std::string GenerateSymbol(std::string_view Prefix) override;
  int32_t GetSymbolIndex() const noexcept { return SymbolIndex_; }
  // A larger value is stored; any other value only moves the index on by one.
  void SetSymbolIndex(int32_t Value) noexcept;

  // --- fact identifiers ---
  int32_t GetNextFactId() const noexcept { return NextFactId_; }
  void SetNextFactId(int32_t Value) noexcept { NextFactId_ = Value; }
  int32_t NewFactId() noexcept { return NextFactId_++; }

  // --- evaluation ---
  // The object values resolve themselves in (the rule layer's evaluation context).
  platform::TObject* GetContext() const noexcept { return Context_; }
  void SetContext(platform::TObject* Value) noexcept { Context_ = Value; }

  // --- registries ---
  TFactTemplates& GetFactTemplates() noexcept { return FactTemplates_; }
  TIEDefinedTypes& GetDefinedTypes() noexcept { return DefinedTypes_; }
  IFactTemplate FindFactTemplate(std::string_view Name) const { return FactTemplates_.Get(Name); }
  // The registered template of that name, or a new one (comment "(Implied)") registered now.
  IFactTemplate CreateFactTemplate(const TIEName& Name);
  IIEDefinedType FindDefinedType(std::string_view Name) const { return DefinedTypes_.Get(Name); }
  // Called by a template whose name changes: its registry entry moves to the new name.
  void ChangeFactTemplateName(const TIEName& OldName, const TIEName& NewName);
  bool GetUpdatingHT() const noexcept { return UpdatingHT_; }

  // Notifications from the registries.
  void AddFactTemplate(const IFactTemplate& Template);
  void RemoveFactTemplate(const IFactTemplate& Template);
  TFactTemplateEvent OnNewFactTemplate;
  TFactTemplateEvent OnRemoveFactTemplate;

  // --- fact sets ---
  void AddFactSet(TFactSet* Set);
  void RemoveFactSet(TFactSet* Set) noexcept;
  int GetFactSetCount() const noexcept { return static_cast<int>(FactSets_.size()); }
  TFactSet* GetFactSet(int Index) const { return FactSets_.at(static_cast<size_t>(Index)); }

  // --- printing (the canonical rule-language text) ---
  std::string PrettyPrint(const TFact& Fact);
  std::string PrettyPrint(const TFactTemplate& Template);
  std::string PrettyPrint(const TFactSlot& Slot);
  std::string PrettyPrint(const TFactSet& Set);

  // Templates made with this engine as owner register here so that they forget the engine when
  // it is destroyed before them.
  void TemplateCreated(TFactTemplate* Template) { LiveTemplates_.insert(Template); }
  void TemplateDestroyed(TFactTemplate* Template) noexcept { LiveTemplates_.erase(Template); }

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  TTypeChecks TypeChecks_{tcStatic};
  TDuplicateConstructs DuplicateConstructs_ = dcOverwrite;
  int32_t SymbolIndex_ = 0;
  int32_t NextFactId_ = 0;
  platform::TObject* Context_ = nullptr;
  bool UpdatingHT_ = false;
  TFactTemplates FactTemplates_;
  TIEDefinedTypes DefinedTypes_;
  std::vector<TFactSet*> FactSets_;
  std::unordered_set<TFactTemplate*> LiveTemplates_;
};

}  // namespace rulecore
