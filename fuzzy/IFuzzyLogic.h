// The counted fuzzy classes the engine works with: TIFuzzySet (a set bound to a variable),
// TIFuzzyVariable (a linguistic variable with a universe and a table of named terms), the term
// and variable tables, and IFuzzyParser, through which sets and variables reach the rule
// language's parser and printer.
//
// Ownership: a term holds a counted reference to its variable and the variable's term table
// holds its terms.  The variable breaks that cycle itself: when the only references left to it
// are those of its own terms, it empties its table (see TIFuzzyVariable::Release).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FuzzyConsts.h"
#include "FuzzySet.h"
#include "platform/HashTable.h"
#include "platform/Ref.h"
#include "platform/StringList.h"

namespace vaguecore {

class TIFuzzySet;
class TIFuzzyVariable;
using IFuzzySet = platform::Ref<TIFuzzySet>;
using IFuzzyVariable = platform::Ref<TIFuzzyVariable>;

// Implemented by the engine: parses and prints fuzzy sets and variables in rule-language form.
class IFuzzyParser {
 public:
  virtual IFuzzySet ParseFuzzySet(const IFuzzyVariable& Variable, const std::string& Text) = 0;
  virtual IFuzzyVariable ParseFuzzyVariable(const std::string& Text) = 0;
  virtual std::string PrettyPrint(const TIFuzzySet& Set, bool WithTerm) = 0;
  virtual std::string PrettyPrint(const TIFuzzyVariable& Variable) = 0;

 protected:
  ~IFuzzyParser() = default;
};

// =============================================================================================
// TIFuzzySet
// =============================================================================================
class TIFuzzySet : public TFuzzySet {
  PLATFORM_CLASS(TIFuzzySet, TFuzzySet)
 public:
  static constexpr uint8_t ValueKind = 15;  // the value layer's kind tag for fuzzy values

  TIFuzzySet() = default;
  TIFuzzySet(const IFuzzyVariable& Variable, const std::string& Name);
  ~TIFuzzySet() override;

  const IFuzzyVariable& GetVariable() const noexcept { return Variable_; }
  void SetVariable(const IFuzzyVariable& Variable);
  IFuzzyParser* GetParser() const noexcept { return Parser_; }
  void SetParser(IFuzzyParser* Parser) noexcept { Parser_ = Parser; }
  // Creation order among the terms of a variable (terms are listed in this order).
  int32_t GetIndex() const noexcept { return TermIndex_; }
  void SetIndex(int32_t Value) noexcept { TermIndex_ = Value; }
  // True for a named term of its variable's table; false for anonymous values.
  bool GetDefined() const noexcept { return Defined_; }
  void SetDefined(bool Value) noexcept { Defined_ = Value; }
  // Renames the set and offers it to its variable's table again.
  void SetName(const std::string& Name);

  // The universe: the variable's, else the first and last point (or the unbounded markers).
  TFzyFloat GetXMaximum() const;
  TFzyFloat GetXMinimum() const;
  TFzyFloat GetXRange(int Index) const override;
  int32_t GetNumFunctionValues() const override;

  // Interface-level operations: results are new sets of this class on this set's variable,
  // named after the operation and carrying the combined expression.
  IFuzzySet Intersection(const TIFuzzySet& Set, TFuzzyOperation Operation) const;
  IFuzzySet Union(const TIFuzzySet& Set, TFuzzyOperation Operation) const;
  IFuzzySet Intersection(const TIFuzzySet& Set) const { return Intersection(Set, foZadeh); }
  IFuzzySet Union(const TIFuzzySet& Set) const { return Union(Set, foZadeh); }
  IFuzzySet AlphaCutoff(TFzyFloat Alpha, bool Strong) const;
  IFuzzySet Cutoff(bool IsUnion, TFzyFloat Value) const;
  // MeanOfMaxima or CenterOfGravity, as the variable's defuzzification method says.
  TFzyFloat Defuzzify();
  // A copy of this set for Variable: same class, name and points, the variable's parser.
  IFuzzySet CloneFor(const IFuzzyVariable& Variable) const;
  IFuzzySet Clone() const;

  // Fuzzy comparison: equal when the merge walk meets min(Y1, Y2) >= the variable's threshold.
  using TFuzzySet::Equals;
  bool Equals(const platform::TCloneable* Other) const override;
  // The height of the intersection (largest min(Y1, Y2) along the walk); 0 for a non-set.
  virtual TFzyFloat FuzzyEquals(const platform::TCloneable* Other) const;
  // Same point count, every X and Y equal within the tolerance.
  bool EqualsValues(const TFuzzySet& Other) const;
  // The number of points and their text, for the value layer's hash.
  uint32_t GetHashCode() const override;

  // With a parser the rule-language text; without one "(name (x y) ... )".
  std::string GetToString() const override;
  std::string ToString() const { return GetToString(); }
  // The points alone: "((x y) (x y) )".
  std::string ValuesToString() const;

  using TFuzzySet::Assign;
  // From another set: variable, type, inflection point, points, expression and parser.
  void Assign(const platform::TPersistent& Source) override;

 protected:
  platform::Ref<TFuzzySet> NewResultSet() const override;
  platform::ICloneable DoClone() const override;
  // Compares with another set; the engine's sets also accept crisp numbers.
  bool SetEquals(const TIFuzzySet& Other) const;
  TFzyFloat SetFuzzyEquals(const TIFuzzySet& Other) const;
  TFzyFloat GetThreshold() const noexcept;

 private:
  IFuzzySet Combine(const TIFuzzySet& Set, TFuzzyOperation Operation, bool IsUnion) const;

  IFuzzyVariable Variable_;
  IFuzzyParser* Parser_ = nullptr;
  int32_t TermIndex_ = 0;
  bool Defined_ = false;
};

// =============================================================================================
// TIFuzzySets: the term table of one variable
// =============================================================================================
class TIFuzzySets {
 public:
  explicit TIFuzzySets(TIFuzzyVariable* Variable) : Variable_(Variable) {}

  // Takes a set into the table (see the rules in the implementation).
  void Add(const IFuzzySet& Set);
  // Creates a term of the variable's set class with that name and adds it.
  IFuzzySet Add(const std::string& Name);
  IFuzzySet Get(std::string_view Name) const { return Table_.Get(Name); }
  IFuzzySet Get(int Index) const { return Table_.ValueAt(Index); }
  int Count() const noexcept { return Table_.Count(); }
  bool ContainsKey(std::string_view Name) const { return Table_.ContainsKey(Name); }
  IFuzzySet Remove(std::string_view Name);
  void Clear();
  // Clears, then clones every term of Other onto this table's variable (keeping Defined).
  void AssignFuzzySets(const TIFuzzyVariable& Other);
  // Every Defined term here has an equal term of the same name in Other.
  bool EqualsSets(const TIFuzzyVariable& Other) const;
  int32_t NewIndex() noexcept { return NextIndex_++; }

 private:
  friend class TIFuzzySet;
  friend class TIFuzzyVariable;
  void Store(const IFuzzySet& Set);

  TIFuzzyVariable* Variable_;
  platform::TStringHashTable<IFuzzySet> Table_;
  int32_t NextIndex_ = 0;
};

// =============================================================================================
// TIFuzzyVariable
// =============================================================================================
class TIFuzzyVariable : public platform::TCloneable {
  PLATFORM_CLASS(TIFuzzyVariable, platform::TCloneable)
 public:
  using TNotifyEvent = std::function<void(platform::TObject* Sender)>;
  using TVariableEvent = std::function<void(const IFuzzyVariable& Variable)>;
  using TFuzzySetEvent = std::function<void(const IFuzzyVariable& Sender, const IFuzzySet& Set)>;
  // Makes the sets created for new terms (the engine substitutes its own class).
  using TFuzzySetFactory = IFuzzySet (*)(const IFuzzyVariable& Variable, const std::string& Name);

  explicit TIFuzzyVariable(std::string Name = "");
  ~TIFuzzyVariable() override;


  const std::string& GetName() const noexcept { return Name_; }
  void SetName(const std::string& Value);
  const std::string& GetUnits() const noexcept { return Units_; }
  void SetUnits(const std::string& Value);
  TFzyFloat GetMinimum() const noexcept { return Minimum_; }
  void SetMinimum(TFzyFloat Value);
  TFzyFloat GetMaximum() const noexcept { return Maximum_; }
  void SetMaximum(TFzyFloat Value);
  int32_t GetNumFunctionValues() const noexcept { return NumFunctionValues_; }
  void SetNumFunctionValues(int32_t Value);
  TDefuzzificationMethod GetDefuzzificationMethod() const noexcept { return DefuzzificationMethod_; }
  void SetDefuzzificationMethod(TDefuzzificationMethod Value);
  TFzyFloat GetThreshold() const noexcept { return Threshold_; }
  void SetThreshold(TFzyFloat Value);
  IFuzzyParser* GetParser() const noexcept { return Parser_; }
  // Also given to every term.
  void SetParser(IFuzzyParser* Value);
  TFuzzySetFactory GetFuzzySetClass() const noexcept { return FuzzySetClass_; }
  void SetFuzzySetClass(TFuzzySetFactory Value) noexcept { FuzzySetClass_ = Value; }

  TNotifyEvent OnChange;
  TVariableEvent OnVariableChange;
  TFuzzySetEvent OnFuzzySetChange;

  // --- terms ---
  TIFuzzySets& GetItems() noexcept { return Items_; }
  const TIFuzzySets& GetItems() const noexcept { return Items_; }
  int GetFuzzySetCount() const noexcept { return Items_.Count(); }
  IFuzzySet GetFuzzySet(int Index) const { return Items_.Get(Index); }
  // Nothing when there is no term of that name.
  IFuzzySet GetFuzzySet(std::string_view Name) const { return Items_.Get(Name); }
  void NewFuzzySet(const IFuzzySet& Set) { Items_.Add(Set); }
  IFuzzySet Add(const std::string& Name) { return Items_.Add(Name); }
  void AssignFuzzySets(const TIFuzzyVariable& Variable) { Items_.AssignFuzzySets(Variable); }
  bool ContainsFuzzySet(std::string_view Name) const { return Items_.ContainsKey(Name); }
  IFuzzySet Remove(std::string_view Name) { return Items_.Remove(Name); }
  IFuzzySet Remove(const TIFuzzySet& Set);
  void ClearFuzzySets() { Items_.Clear(); }
  void FuzzySetChanged(const IFuzzySet& Set);
  void Changed();
  // The "__Empty" set, created (not Defined) on first use.
  IFuzzySet GetEmptyFuzzySet();
  // The Defined terms in creation order.
  std::vector<IFuzzySet> TermsInOrder() const;

  // Same name, range and units (exact) and the same Defined terms.
  using TCloneable::Equals;
  bool Equals(const platform::TCloneable* Other) const override;
  // With a parser the rule-language text, else the name.
  std::string GetToString() const override;
  using TCloneable::Assign;
  void Assign(const platform::TPersistent& Source) override;
  IFuzzyVariable Clone() const;

 protected:
  platform::ICloneable DoClone() const override;
  // Breaks the cycle with the terms (see the file comment).
  void ReleaseHook(int32_t Left) const noexcept override;

 private:
  std::string Name_;
  std::string Units_;
  TFzyFloat Minimum_ = 0;
  TFzyFloat Maximum_ = 1;
  int32_t NumFunctionValues_ = DefaultNumFunctionValues;
  TDefuzzificationMethod DefuzzificationMethod_ = dmCenterOfGravity;
  TFzyFloat Threshold_ = 0;
  IFuzzyParser* Parser_ = nullptr;
  TFuzzySetFactory FuzzySetClass_ = nullptr;
  TIFuzzySets Items_{this};
  mutable bool BreakingCycle_ = false;
};

// Sets the universe to [Min, Max] whatever the current one is (the one-sided setters move the
// other bound along).
void SetUniverse(TIFuzzyVariable& Variable, TFzyFloat Min, TFzyFloat Max);

// =============================================================================================
// Tables of variables
// =============================================================================================
class TFuzzyVariableTable : public platform::TStringHashTable<IFuzzyVariable> {
 public:
  void Add(const IFuzzyVariable& Variable) { Put(Variable->GetName(), Variable); }
  IFuzzyVariable GetItem(std::string_view Name) const { return Get(Name); }
  IFuzzyVariable GetItem(int Index) const { return ValueAt(Index); }
  bool ContainsVariable(const TIFuzzyVariable* Variable) const;
  IFuzzyVariable Remove(std::string_view Name) { return TStringHashTable::Remove(Name); }
  IFuzzyVariable Remove(const TIFuzzyVariable* Variable);
};

// A string list whose entries carry counted variables.
class TFuzzyVariableStrings {
 public:
  int Add(const std::string& Text, const IFuzzyVariable& Variable);
  int Count() const noexcept { return static_cast<int>(Items_.size()); }
  const std::string& GetString(int Index) const;
  const IFuzzyVariable& GetVariable(int Index) const;
  void PutVariable(int Index, const IFuzzyVariable& Variable);
  int IndexOf(std::string_view Text) const noexcept;
  void Delete(int Index);
  void Clear() noexcept { Items_.clear(); }

 private:
  size_t Checked(int Index) const;
  std::vector<std::pair<std::string, IFuzzyVariable>> Items_;
};

}  // namespace vaguecore
