// TIEDefinedType: the compiled form of a deftype and of the type qualifiers written on a slot -
// allowed kinds, allowed values, range, cardinality, an ancestor and, for fuzzy types, the
// fuzzy variable that gives the type its terms.  Slots delegate validation, error messages and
// default values to it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "IEConsts.h"
#include "IEValue.h"
#include "ValueVector.h"
#include "fuzzy/IFuzzyLogic.h"
#include "platform/Cloneable.h"

namespace platform {
class TStringList;
class TOutlineNode;
}  // namespace platform

namespace rulecore {

class TIEDefinedType;
using IIEDefinedType = platform::Ref<TIEDefinedType>;
using vaguecore::IFuzzyVariable;

// Implemented by an engine that makes its own fuzzy variables; a type whose reasoner does not
// implement it makes plain ones.
class IFuzzyVariableFactory {
 public:
  virtual IFuzzyVariable NewFuzzyVariable(const std::string& Name) = 0;

 protected:
  ~IFuzzyVariableFactory() = default;
};

// The reasoner a defined type belongs to (the engine, through its function-registry side
// IReasoner): it prints the type in its printer's form.  A reasoner that also implements
// IFuzzyVariableFactory and vaguecore::IFuzzyParser makes the type's fuzzy variables and reads
// their terms.
class IDefinedTypeHost {
 public:
  virtual std::string PrettyPrint(const TIEDefinedType& Type) = 0;

 protected:
  ~IDefinedTypeHost() = default;
};

// Prints a type that belongs to no reasoner: the rule language's printer registers itself.
using TDefinedTypePrinter = std::string (*)(const TIEDefinedType& Type);
void SetDefinedTypePrinter(TDefinedTypePrinter Printer) noexcept;

using TNotifyEvent = std::function<void(platform::TObject* Sender)>;

class TIEDefinedType : public platform::TCloneable {
  PLATFORM_CLASS(TIEDefinedType, platform::TCloneable)
 public:
  static constexpr double DefaultMinRange = -2147483648.0;
  static constexpr double DefaultMaxRange = 2147483647.0;
  static constexpr int32_t DefaultMaxCardinality = 2147483647;

  explicit TIEDefinedType(IDefinedTypeHost* Reasoner = nullptr);
  ~TIEDefinedType() override;

  // --- properties ---
  const IIEDefinedType& GetAncestor() const noexcept { return Ancestor_; }
  void SetAncestor(const IIEDefinedType& Value);
  TIETypes GetBaseTypes() const noexcept { return BaseTypes_; }
  void SetBaseTypes(TIETypes Value);
  const std::string& GetComment() const noexcept { return Comment_; }
  void SetComment(const std::string& Value);
  const std::string& GetUnits() const noexcept { return Units_; }
  void SetUnits(const std::string& Value);
  const TIEName& GetName() const noexcept { return Name_; }
  void SetName(const TIEName& Value);
  bool GetImplicit() const noexcept { return Implicit_; }
  void SetImplicit(bool Value);
  double GetMinRange() const noexcept { return MinRange_; }
  void SetMinRange(double Value);
  double GetMaxRange() const noexcept { return MaxRange_; }
  void SetMaxRange(double Value);
  bool GetRangeLimited() const noexcept { return RangeLimited_; }
  void SetRangeLimited(bool Value);
  int32_t GetMinCardinality() const noexcept { return MinCardinality_; }
  void SetMinCardinality(int32_t Value);
  int32_t GetMaxCardinality() const noexcept { return MaxCardinality_; }
  void SetMaxCardinality(int32_t Value);
  bool GetCardinalityLimited() const noexcept { return CardinalityLimited_; }
  void SetCardinalityLimited(bool Value);
  const IFuzzyVariable& GetFuzzyType() const noexcept { return FuzzyType_; }
  void SetFuzzyType(const IFuzzyVariable& Value);
  IDefinedTypeHost* GetReasoner() const noexcept { return Reasoner_; }
  void SetReasoner(IDefinedTypeHost* Value);
  const TNotifyEvent& GetOnChange() const noexcept { return OnChange_; }
  void SetOnChange(TNotifyEvent Value) { OnChange_ = std::move(Value); }

  // --- allowed values ---
  TValueConstraints GetConstraints() const noexcept { return Constraints_; }
  void SetConstraints(TValueConstraints Value);
  int GetConstraintAtomsCount() const noexcept { return static_cast<int>(Atoms_.size()); }
  const std::string& GetConstraintAtom(int Index) const;
  int GetConstraintStringsCount() const noexcept { return static_cast<int>(Strings_.size()); }
  const std::string& GetConstraintString(int Index) const;
  int GetConstraintIntegersCount() const noexcept { return static_cast<int>(Integers_.size()); }
  int32_t GetConstraintInteger(int Index) const;
  int GetConstraintFloatsCount() const noexcept { return Floats_->GetValueCount(); }
  double GetConstraintFloat(int Index) const;
  // The constraint kind a value falls under (see the fallbacks in the implementation).
  TValueConstraint GetValueConstraint(const TIEValue& Value) const;
  void AddConstraint(const TIEValue& Value);
  void RemoveConstraint(const TIEValue& Value);
  void DeleteConstraint(int Index, TValueConstraint Kind);
  void ClearConstraint(TValueConstraint Kind);
  void ClearConstraints();
  void ClearConstraints(TValueConstraints Kinds);
  bool IsConstraint(const TIEValue& Value, TValueConstraint& Kind) const;
  bool IsConstraint(const TIEValue& Value) const;
  bool ConstraintsEqual(const TIEDefinedType& Other) const;

  // --- validation and defaults ---
  bool IsValid(const TIEValue& Value) const;
  bool IsValid(const IIEValue& Value) const { return Value && IsValid(*Value); }
  // Empty when the value is valid, else "Value "x" is not valid, <reason>".
  std::string GetInvalidValueString(const TIEValue& Value) const;
  IIEValue CreateValidDefault(bool MultiSlot) const;

  // --- updates ---
  void BeginUpdate() noexcept { ++UpdateCount_; }
  void EndUpdate();

  // --- comparison, text, copying ---
  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  bool Equals(const TIEDefinedType* Other) const;
  std::string GetToString() const override;
  std::string GetValueToString(const TIEValue& Value) const { return Value.GetToString(); }
  using TCloneable::Assign;
  void Assign(const platform::TPersistent& Source) override;
  // To a string list: appends the printed text; to an outline node: adds the type's outline.
  void AssignTo(platform::TPersistent& Dest) const override;
  IIEDefinedType Clone() const;

 protected:
  platform::ICloneable DoClone() const override;
  void Change();

 private:
  // The reason Value is invalid, or nothing.
  std::optional<std::string> InvalidReason(const TIEValue& Value) const;
  IIEValue CreateSingleDefault() const;
  void AttachFuzzyVariable(const IFuzzyVariable& Value);
  void AddOutline(platform::TOutlineNode& Parent) const;

  TIETypes BaseTypes_ = IESlotTypes;
  double MaxRange_ = DefaultMaxRange;
  double MinRange_ = DefaultMinRange;
  int32_t MaxCardinality_ = DefaultMaxCardinality;
  int32_t MinCardinality_ = 0;
  IFuzzyVariable FuzzyType_;
  TValueConstraints Constraints_;
  std::vector<std::string> Atoms_;
  std::vector<int32_t> Integers_;
  std::vector<std::string> Strings_;
  IValueVector Floats_;
  IDefinedTypeHost* Reasoner_ = nullptr;
  bool RangeLimited_ = false;
  bool CardinalityLimited_ = false;
  bool Implicit_ = false;
  std::string Comment_;
  std::string Units_;
  IIEDefinedType Ancestor_;
  TIEName Name_{SImplicitDefinedType};
  TNotifyEvent OnChange_;
  int UpdateCount_ = 0;
  bool ChangePending_ = false;
};

// One kind's allowed values, each followed by a blank (strings quoted, floats "%.4f").
std::string ConstraintToString(const TIEDefinedType& Type, TValueConstraint Kind);
// The allowed-values clauses of a type, each line indented and ended by CR LF.
std::string GetAllowedString(const TIEDefinedType& Type);

}  // namespace rulecore
