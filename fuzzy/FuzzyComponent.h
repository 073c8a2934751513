// TFuzzyLogic, the stand-alone fuzzy component: a host places it on a form or creates it in code,
// defines fuzzy variables and their sets in it and stores them with the form.
//
// Ownership is a tree: the component owns its TFuzzyVariables, each TFuzzyVariable owns its
// TFuzzySets, each TFuzzySet owns its points.  Every change travels up the tree, each level
// calling the next:
//   a point    -> its set (TFuzzySetValues::Update)                           -> the set changed
//   a set      -> TFuzzySets::Update -> TFuzzyVariable::Update -> TFuzzyVariables::UpdateFuzzySet
//              -> TCustomFuzzyLogic::UpdateFuzzySet                            -> OnFuzzySetChange
//   a variable -> TFuzzyVariables::Update -> TCustomFuzzyLogic::UpdateVariable -> OnVariableChange
//   a whole list: a variable's sets -> the variable changed; the variables    -> OnChange
// An update bracket open on a collection hides every change beneath it; closing the outermost
// bracket reports the whole collection once (the sets of a variable report the variable
// changed).  Nothing is reported while the component's list of variables is in a bracket.
//
// The component and the variables make their collections through the virtual CreateVariables
// and CreateItems.  C++ calls no override from a base constructor, so a descendant that
// overrides one builds its base with the deferred constructor and calls Construct() itself.
//
// Depends on FuzzySet, FuzzyMessages and the platform's components, collections and string list.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "FuzzyConsts.h"
#include "FuzzySet.h"
#include "platform/Collection.h"
#include "platform/Component.h"
#include "platform/Properties.h"

namespace vaguecore {

class TCustomFuzzyLogic;
class TFuzzyVariable;
class TFuzzyVariables;

using TFuzzyVariableEvent = std::function<void(platform::TObject* Sender, TFuzzyVariable* FuzzyVariable)>;
using TFuzzySetEvent = std::function<void(platform::TObject* Sender, TFuzzySet* FuzzySet)>;

// =============================================================================================
// TFuzzySets: the sets of one variable
// =============================================================================================
class TFuzzySets : public platform::TCollection {
  PLATFORM_CLASS(TFuzzySets, platform::TCollection)
 public:
  // SetClass must be TFuzzySet or a descendant of it.
  explicit TFuzzySets(TFuzzyVariable* Variable, const platform::TClass& SetClass = TFuzzySet::StaticClass());

  // The owning variable, nullptr for a list of its own.
  TFuzzyVariable* GetVariable() const noexcept { return Variable_; }

  TFuzzySet* GetItem(int Index) const { return static_cast<TFuzzySet*>(platform::TCollection::GetItem(Index)); }
  void SetItem(int Index, const TFuzzySet& Value) { platform::TCollection::SetItem(Index, Value); }
  // Adds a set and makes it the variable's selected set.
  TFuzzySet* Add();
  TFuzzySet* Insert(int Index) { return static_cast<TFuzzySet*>(platform::TCollection::Insert(Index)); }

 protected:
  void Update(platform::TCollectionItem* Item) override;

 private:
  TFuzzyVariable* Variable_;
};

// =============================================================================================
// TFuzzyVariable: a universe of discourse and the sets defined over it
// =============================================================================================
class TFuzzyVariable : public platform::TCollectionItem, public IFuzzyUniverse {
  PLATFORM_CLASS(TFuzzyVariable, platform::TCollectionItem)
 public:
  using platform::TCloneable::Assign;

  // A variable over [0, 1] with no sets; the second form makes sets of SetClass.
  TFuzzyVariable();
  explicit TFuzzyVariable(const platform::TClass& SetClass);
  ~TFuzzyVariable() override;

  // --- properties ------------------------------------------------------------------------------
  const std::string& GetName() const noexcept { return Name_; }
  void SetName(const std::string& Value);
  const std::string& GetUnits() const noexcept { return Units_; }
  void SetUnits(const std::string& Value);
  // The range: a Minimum above the Maximum raises the Maximum with it, and a Maximum below the
  // Minimum lowers the Minimum.  The bounds must be finite.  Sets keep their points when the
  // range changes.
  TFzyFloat GetMinimum() const noexcept override { return Minimum_; }
  void SetMinimum(TFzyFloat Value);
  TFzyFloat GetMaximum() const noexcept override { return Maximum_; }
  void SetMaximum(TFzyFloat Value);
  // The selected set, -1 for none.  Setting an index that names no set raises the list-index
  // error.
  int32_t GetItemIndex() const noexcept { return ItemIndex_; }
  void SetItemIndex(int32_t Value);
  TFuzzySets& GetItems() noexcept { return *Items_; }
  const TFuzzySets& GetItems() const noexcept { return *Items_; }
  // Copies the sets of Value.
  void SetItems(const TFuzzySets& Value);

  // The component the variable belongs to, nullptr outside one.
  TCustomFuzzyLogic* GetFuzzy() const noexcept;
  // The component's, or the default outside one.
  int32_t GetNumFunctionValues() const override;
  bool IsLoading() const noexcept override;
  // Name, or the default display name when the variable has none.
  std::string GetDisplayName() const override;

  // From another variable: name, units, range, sets and selection, reported as one change.
  void Assign(const platform::TPersistent& Source) override;
  // Into a string list: the names of the sets, each with its set attached.
  void AssignTo(platform::TPersistent& Dest) const override;

  static void DeclareProperties(platform::TPropertyList<TFuzzyVariable>& P);

 protected:
  struct TDeferred {};
  // Makes nothing: a descendant that overrides CreateItems calls Construct() in its own
  // constructor.
  TFuzzyVariable(TDeferred, const platform::TClass& SetClass);
  void Construct();
  // The collection of sets; by default of the set class given at construction.
  virtual std::unique_ptr<TFuzzySets> CreateItems();
  const platform::TClass& GetSetClass() const noexcept { return *SetClass_; }

  // Told by the sets of a change of one set (Set) or of the whole list (nullptr).
  virtual void Update(TFuzzySet* Set);

 private:
  friend class TFuzzySets;
  friend class TFuzzyVariables;

  // Reports a change of this variable unless an assignment is under way.
  void Report();
  // Keeps the selection inside the list of sets.
  void ClampItemIndex() noexcept;
  TFuzzySets* ItemsProp() const noexcept { return Items_.get(); }
  void SetItemsProp(TFuzzySets* Value);

  std::string Name_;
  std::string Units_;
  TFzyFloat Minimum_ = 0;
  TFzyFloat Maximum_ = 1;
  int32_t ItemIndex_ = -1;
  int Quiet_ = 0;
  const platform::TClass* SetClass_;
  std::unique_ptr<TFuzzySets> Items_;
};

// =============================================================================================
// TFuzzyVariables: the variables of a component
// =============================================================================================
class TFuzzyVariables : public platform::TCollection {
  PLATFORM_CLASS(TFuzzyVariables, platform::TCollection)
 public:
  // VariableClass must be TFuzzyVariable or a descendant of it.
  explicit TFuzzyVariables(TCustomFuzzyLogic* Fuzzy,
                           const platform::TClass& VariableClass = TFuzzyVariable::StaticClass());

  // The owning component, nullptr for a list of its own.
  TCustomFuzzyLogic* GetFuzzy() const noexcept { return Fuzzy_; }

  TFuzzyVariable* GetItem(int Index) const {
    return static_cast<TFuzzyVariable*>(platform::TCollection::GetItem(Index));
  }
  void SetItem(int Index, const TFuzzyVariable& Value) { platform::TCollection::SetItem(Index, Value); }
  TFuzzyVariable* Add() { return static_cast<TFuzzyVariable*>(platform::TCollection::Add()); }
  TFuzzyVariable* Insert(int Index) { return static_cast<TFuzzyVariable*>(platform::TCollection::Insert(Index)); }

 protected:
  void Update(platform::TCollectionItem* Item) override;
  // Told by a variable that one of its sets changed.
  virtual void UpdateFuzzySet(TFuzzySet* Set);

 private:
  friend class TFuzzyVariable;
  TCustomFuzzyLogic* Fuzzy_;
};

// =============================================================================================
// TCustomFuzzyLogic / TFuzzyLogic: the component
// =============================================================================================
class TCustomFuzzyLogic : public platform::TComponent {
  PLATFORM_CLASS(TCustomFuzzyLogic, platform::TComponent)
 public:
  using TNotifyEvent = std::function<void(platform::TObject* Sender)>;

  explicit TCustomFuzzyLogic(platform::TComponent* Owner = nullptr);
  ~TCustomFuzzyLogic() override;

  TFuzzyVariables& GetItems() noexcept { return *Items_; }
  const TFuzzyVariables& GetItems() const noexcept { return *Items_; }
  // Copies the variables of Value.
  void SetItems(const TFuzzyVariables& Value);
  // The number of points of the curves a set's SetType generates; at least 2.
  int32_t GetNumFunctionValues() const noexcept { return NumFunctionValues_; }
  void SetNumFunctionValues(int32_t Value) noexcept;
  TDefuzzificationMethod GetDefuzzificationMethod() const noexcept { return DefuzzificationMethod_; }
  void SetDefuzzificationMethod(TDefuzzificationMethod Value) noexcept { DefuzzificationMethod_ = Value; }

  // The list of variables changed as a whole.
  TNotifyEvent OnChange;
  // A variable changed (its name, range, selection or the list of its sets).
  TFuzzyVariableEvent OnVariableChange;
  // A set changed (its name, type or points).
  TFuzzySetEvent OnFuzzySetChange;

 protected:
  struct TDeferred {};
  // Makes nothing: a descendant that overrides CreateVariables calls Construct() in its own
  // constructor.
  TCustomFuzzyLogic(platform::TComponent* Owner, TDeferred);
  void Construct();
  // The collection of variables; by default of TFuzzyVariable.
  virtual std::unique_ptr<TFuzzyVariables> CreateVariables();

  // The reports of the tree; each fires its event when one is assigned.
  virtual void Changed();
  virtual void UpdateVariable(TFuzzyVariable* Variable);
  virtual void UpdateFuzzySet(TFuzzySet* Set);

  // The published Items.
  TFuzzyVariables* ItemsProp() const noexcept { return Items_.get(); }
  void SetItemsProp(TFuzzyVariables* Value);

 private:
  friend class TFuzzyVariables;

  int32_t NumFunctionValues_ = DefaultNumFunctionValues;
  TDefuzzificationMethod DefuzzificationMethod_ = dmCenterOfGravity;
  std::unique_ptr<TFuzzyVariables> Items_;
};

// The component as a host places it: every property published.
class TFuzzyLogic : public TCustomFuzzyLogic {
  PLATFORM_CLASS(TFuzzyLogic, TCustomFuzzyLogic)
 public:
  explicit TFuzzyLogic(platform::TComponent* Owner = nullptr) : TCustomFuzzyLogic(Owner) {}

  static void DeclareProperties(platform::TPropertyList<TFuzzyLogic>& P);

 protected:
  TFuzzyLogic(platform::TComponent* Owner, TDeferred Tag) : TCustomFuzzyLogic(Owner, Tag) {}
};

}  // namespace vaguecore
