// TFactSlot and TFactTemplate: the compiled form of a deftemplate.
//
// A template is a named record type whose slots carry the allowed value kinds, an optional
// defined type and a default.  Templates create facts and fill them with defaults, validate
// slot values when the engine asks for dynamic checking, and compare and hash themselves for
// the construct registry.  A slot holds its template by plain pointer; the template owns its
// slots.  Slots are kept sorted by name (case-insensitive), which is the slot order everywhere:
// printing, filling, hashing and comparing facts.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/values/IEConsts.h"
#include "core/values/IEDefinedType.h"
#include "core/values/IEValue.h"
#include "platform/Cloneable.h"

namespace platform {
class TComponent;
}

namespace rulecore {

class IFactsHost;
class TInferenceEngine;
class TFactSlot;
class TFactTemplate;
using IFactSlot = platform::Ref<TFactSlot>;
using IFactTemplate = platform::Ref<TFactTemplate>;

// Raises SUnexpectedCharacters when Name holds a character that cannot stand in a construct
// name (blank, quotes, "#", brackets, "?", ":", "$", "&", ";", "<", ">").
void CheckConstructName(std::string_view Name);

class TFactSlot final : public platform::TCloneable {
  PLATFORM_CLASS(TFactSlot, platform::TCloneable)
 public:
  explicit TFactSlot(TFactTemplate* Template = nullptr);
  ~TFactSlot() override;
  TFactSlot(const TFactSlot&) = delete;
  TFactSlot& operator=(const TFactSlot&) = delete;

  TFactTemplate* GetTemplate() const noexcept { return Template_; }
  std::string GetTemplateName() const;

  const TIEName& GetName() const noexcept { return Name_; }
  void SetName(const TIEName& Value);
  // Changes whenever a slot anywhere is renamed or destroyed: a place of a slot remembered by
  // its object (TSlotPlace) holds only while this stays the same.
  static uint32_t NameGeneration() noexcept { return NameGeneration_.load(std::memory_order_relaxed); }
  const IIEValue& GetSlotDefault() const noexcept { return Default_; }
  void SetSlotDefault(const IIEValue& Value);
  TIETypes GetSlotType() const noexcept { return SlotType_; }
  void SetSlotType(TIETypes Value);
  const IIEDefinedType& GetExtendedTypeInfo() const noexcept { return TypeInfo_; }
  void SetExtendedTypeInfo(const IIEDefinedType& Value);
  bool GetDefaultDynamic() const noexcept { return DefaultDynamic_; }
  void SetDefaultDynamic(bool Value) noexcept { DefaultDynamic_ = Value; }

  bool IsMultiSlot() const noexcept { return SlotType_.Contains(dtMultiSlot); }
  bool IsFuzzy() const noexcept { return SlotType_.Contains(dtFuzzy); }
  bool AcceptsList() const noexcept { return SlotType_.Contains(dtList); }

  bool IsValid(const TIEValue* Value) const;
  bool IsValid(const IIEValue& Value) const { return IsValid(Value.get()); }
  // "<reason> for <slot> slot", or empty when the value is valid.
  std::string GetInvalidValueString(const TIEValue& Value) const;
  IIEValue CreateValidDefault(bool MultiSlot) const;

  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  bool Equals(const TFactSlot* Other) const;
  // The slot definition as the rule language writes it.
  std::string GetToString() const override;
  using TCloneable::Assign;
  void Assign(const platform::TPersistent& Source) override;
  IFactSlot Clone() const;

 protected:
  platform::ICloneable DoClone() const override;

 private:
  static inline std::atomic<uint32_t> NameGeneration_{0};
  friend class TFactTemplate;
  void HookDefault();
  void UnhookDefault() noexcept;
  void DefaultChanged(TIEValue& Value);
  bool DynamicChecks() const;

  TFactTemplate* Template_;
  TIEName Name_;
  IIEValue Default_;
  TIETypes SlotType_ = IESlotTypes;
  IIEDefinedType TypeInfo_;
  bool DefaultDynamic_ = false;
};

class TFactTemplate final : public platform::TCloneable {
  PLATFORM_CLASS(TFactTemplate, platform::TCloneable)
 public:
  explicit TFactTemplate(platform::TComponent* Owner = nullptr);
  TFactTemplate(platform::TComponent* Owner, const TIEName& Name);
  // A template that copies and extends Source (Parent is set only when Source has this owner).
  TFactTemplate(platform::TComponent* Owner, const std::string& Comment, const TIEName& Name,
                const IFactTemplate& Source);
  ~TFactTemplate() override;
  TFactTemplate(const TFactTemplate&) = delete;
  TFactTemplate& operator=(const TFactTemplate&) = delete;

  // --- identity ---
  platform::TComponent* GetOwner() const noexcept { return Owner_; }
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  // The engine's side that templates, facts and patterns use (see FactsHost.h).
  IFactsHost* GetHost() const noexcept { return Host_; }
  const TIEName& GetTemplateName() const noexcept { return Name_; }
  void SetTemplateName(const TIEName& Value);
  const std::string& GetComment() const noexcept { return Comment_; }
  void SetComment(const std::string& Value) { Comment_ = Value; }
  const IFactTemplate& GetParent() const noexcept { return Parent_; }
  void SetParent(const IFactTemplate& Value) { Parent_ = Value; }
  bool IsBackwardChaining() const noexcept { return BackwardChaining_; }
  void SetBackwardChaining(bool Value) noexcept { BackwardChaining_ = Value; }
  bool IsOrdered() const noexcept { return Ordered_; }
  bool IsFuzzy() const;
  // The owning engine asks for values to be checked against slot types as they are stored.
  bool DynamicChecks() const;

  // --- slots (in slot-name order) ---
  int GetSlotCount() const noexcept { return static_cast<int>(Slots_.size()); }
  const IFactSlot& GetSlot(int Index) const;
  // Fails with "No such slot name" for a name that is not a slot.
  const IFactSlot& GetSlot(std::string_view Name) const;
  const std::vector<IFactSlot>& GetSlots() const noexcept { return Slots_; }
  std::vector<std::string> GetSlotNames() const;
  // Position of the slot in slot-name order, or -1.
  int IndexOfSlot(std::string_view Name) const noexcept;
  bool ContainsSlot(std::string_view Name) const noexcept { return IndexOfSlot(Name) >= 0; }
  bool ContainsSlot(std::string_view Name, IFactSlot& Slot) const;
  bool ContainsType(const TIEDefinedType* Type, IFactSlot& Slot) const;
  IFactSlot AddSlot(const TIEName& Name, const IIEValue& Default);
  IFactSlot AddMultiSlot(const TIEName& Name, const IIEValue& Default);
  IFactSlot AddSlot(const TFactSlot& Source);
  void SetSlot(const TIEName& Name, const IFactSlot& Slot);
  void RemoveSlot(std::string_view Name);
  void ClearSlots();
  // Copies every slot of Source, re-created in this template.
  void AssignSlots(const TFactTemplate& Source);

  // --- facts ---
  void FillFactWithDefaults(TFact& Fact) const;
  IFact NewFact();

  // --- comparison, text, copying ---
  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  bool Equals(const TFactTemplate* Other) const;
  uint32_t GetHashCode() const override;
  std::string GetToString() const override;
  using TCloneable::Assign;
  void Assign(const platform::TPersistent& Source) override;
  void Assign(const platform::ICloneable& Source) override;
  IFactTemplate Clone() const;
  IFactTemplate Clone(platform::TComponent* Owner) const;

  // The engine is going away: forget it (templates may outlive the engine that made them).
  void EngineDestroyed() noexcept;

 protected:
  platform::ICloneable DoClone() const override;

 private:
  friend class TFactSlot;
  void Attach(platform::TComponent* Owner);
  void InsertSlot(const IFactSlot& Slot);
  void SlotRenamed(TFactSlot* Slot, const TIEName& NewName);
  void SlotTypesChanged() noexcept { TypesDirty_ = true; }
  void SlotsChanged() noexcept;

  bool BackwardChaining_ = false;
  IFactTemplate Parent_;
  std::string Comment_;
  std::vector<IFactSlot> Slots_;  // sorted by name, case-insensitive
  TIEName Name_;
  bool Ordered_ = false;
  platform::TComponent* Owner_ = nullptr;
  TInferenceEngine* Engine_ = nullptr;
  IFactsHost* Host_ = nullptr;
  mutable bool TypesDirty_ = true;
  mutable bool Fuzzy_ = false;
  mutable bool HashDirty_ = true;
  mutable uint32_t Hash_ = 0;
};

}  // namespace rulecore
