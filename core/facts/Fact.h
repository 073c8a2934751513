// TFact: one record of working memory - its template, the identifier the engine assigns when
// the fact is asserted, and one value per slot in a fact value table (TFactValues).
//
// The value table is keyed by slot name and caches the template's slot object in each entry.
// It is a small flat array rather than a bucket table: facts have few slots, and a fact filled
// by its template keeps its entries in the template's slot order, so a slot's entry is found at
// the slot's position without comparing names (the matching network relies on that).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "FactTemplate.h"
#include "core/values/IEBindingInfo.h"
#include "platform/BlockPool.h"
#include "platform/SmallVector.h"

namespace rulecore {

class TFactValues {
 public:
  struct TEntry {
    IFactSlot Slot;  // the template's slot; its name is the entry's key
    IIEValue Value;
  };
  using TChangeEvent = std::function<void()>;

  // Buffer: room for Capacity entries that the owner placed beside the values (nullptr: none).
  explicit TFactValues(TEntry* Buffer = nullptr, uint32_t Capacity = 0) noexcept : Entries_(Buffer, Capacity) {}
  TFactValues(const TFactValues&) = delete;
  TFactValues& operator=(const TFactValues&) = delete;

  // Settings kept for the published interface; lookups do not depend on them.  They live in a
  // side block made on first write, so that a fact pays only for its entries.
  int GetCapacity() const noexcept { return Settings_ ? Settings_->Capacity : 101; }
  void SetCapacity(int Value) { Settings().Capacity = Value < 1 ? 1 : Value; }
  double GetLoadFactor() const noexcept { return Settings_ ? Settings_->LoadFactor : 0.75; }
  void SetLoadFactor(double Value) { Settings().LoadFactor = Value > 0 ? Value : 0.75; }
  int GetHashType() const noexcept { return Settings_ ? Settings_->HashType : 1; }
  void SetHashType(int Value) { Settings().HashType = Value; }
  TChangeEvent GetOnChange() const { return Settings_ ? Settings_->OnChange : TChangeEvent(); }
  void SetOnChange(TChangeEvent Value) { Settings().OnChange = std::move(Value); }

  int Count() const noexcept { return static_cast<int>(Entries_.size()); }
  const TEntry& Entry(int Index) const { return Entries_[static_cast<size_t>(Index)]; }
  // Index of the entry keyed Name, or -1.  Hint is where the entry is expected.
  int Find(std::string_view Name, int Hint = -1) const noexcept;
  // Stores Value (and the slot) under the slot's name, replacing an entry of that name.
  void Put(const IFactSlot& Slot, IIEValue Value);
  void PutAt(int Index, IIEValue Value);
  // Adds an entry for a slot the values do not hold yet (the caller knows it is absent).
  void Append(const IFactSlot& Slot, IIEValue Value);
  void Reserve(int Count) { Entries_.reserve(static_cast<size_t>(Count)); }
  void Remove(std::string_view Name);
  void Clear();
  void Replace(std::vector<TEntry>&& Entries) {
    Entries_.assign(std::make_move_iterator(Entries.begin()), std::make_move_iterator(Entries.end()));
    Changed();
  }
  // A fact made for its template keeps its entries in its own block, right after itself, as
  // many as the template has slots: matching reads a slot without following a pointer to a
  // separate array, and a fact takes no more room than its template needs.
  using TEntries = platform::TBufferVector<TEntry>;
  TEntries& Entries() noexcept { return Entries_; }
  const TEntries& Entries() const noexcept { return Entries_; }

 private:
  struct TSettings {
    int Capacity = 101;
    double LoadFactor = 0.75;
    int HashType = 1;
    TChangeEvent OnChange;
  };
  TSettings& Settings() {
    if (!Settings_) Settings_ = std::make_unique<TSettings>();
    return *Settings_;
  }
  void Changed() const {
    if (Settings_ && Settings_->OnChange) Settings_->OnChange();
  }

  TEntries Entries_;
  std::unique_ptr<TSettings> Settings_;
};

// The entry Place remembers, when it still holds the slot it was found for; -1 otherwise.
inline int PlacedEntry(const TFactValues& Values, const TSlotPlace& Place) noexcept {
  const int I = Place.Index;
  return I >= 0 && I < Values.Count() && Values.Entry(I).Slot.get() == Place.Slot &&
                 Place.Generation == TFactSlot::NameGeneration()
             ? I
             : -1;
}

// Values.Find(Name), through and into a remembered place.
inline int FindSlotEntry(const TFactValues& Values, std::string_view Name, TSlotPlace& Place) noexcept {
  if (const int Placed = PlacedEntry(Values, Place); Placed >= 0) return Placed;
  const int Found = Values.Find(Name, Place.Index);
  if (Found >= 0) Place = {Values.Entry(Found).Slot.get(), Found, TFactSlot::NameGeneration()};
  return Found;
}

// Walks a value table once: HasMoreElements, NextElement/NextKey, CurrentElement/CurrentKey,
// GetCount (entries not yet visited), Reset.  Asking past the end raises the table error.
class TFactValueHashtableEnumerator {
 public:
  explicit TFactValueHashtableEnumerator(const TFactValues& Values) : Values_(Values) { Reset(); }
  bool HasMoreElements() const noexcept { return Next_ < Values_.Count(); }
  IIEValue NextElement();
  std::string NextKey();
  IIEValue CurrentElement() const;
  std::string CurrentKey() const;
  int GetCount() const noexcept { return Values_.Count() - Next_; }
  void Reset() noexcept {
    Next_ = 0;
    Current_ = -1;
  }

 private:
  void Advance();
  const TFactValues& Values_;
  int Next_ = 0;
  int Current_ = -1;
};

class TFact final : public platform::TCloneable {
  PLATFORM_CLASS(TFact, platform::TCloneable)
 public:
  static constexpr TIEType ValueKind = dtFact;

  // A fact of Template, in a block with room for the template's slots.  The constructors make
  // facts that keep their entries on the heap instead; both behave alike.
  static IFact Create(const IFactTemplate& Template);
  // A fact of Template that copies Source (see Assign).
  static IFact Create(const IFactTemplate& Template, const TFact& Source);

  explicit TFact(const IFactTemplate& Template = nullptr);
  TFact(const IFactTemplate& Template, const TFact& Source);
  ~TFact() override;
  TFact(const TFact&) = delete;
  TFact& operator=(const TFact&) = delete;

  // Facts come from pools of blocks sized by the number of entries placed after them.
  static void* operator new(size_t Bytes);
  static void* operator new(size_t, void* Place) noexcept { return Place; }
  static void operator delete(TFact* Fact, std::destroying_delete_t) noexcept;
  // For a constructor that fails inside a new-expression.
  static void operator delete(void* Block, size_t Bytes) noexcept;
  static void operator delete(void*, void*) noexcept {}

  int32_t GetID() const noexcept { return ID_; }
  void SetID(int32_t Value) noexcept { ID_ = Value; }
  const IFactTemplate& GetTemplate() const noexcept { return Template_; }
  void SetTemplate(const IFactTemplate& Value);

  // The stored value of a slot; a slot never set gets a clone of its default first.
  const IIEValue& GetValue(std::string_view Name);
  // As GetValue, but false instead of failing for a name that is not a slot.
  bool ContainsKey(std::string_view Name, IIEValue& Value);
  // Stores Value itself (shared, not copied); with dynamic checking the value is validated and
  // may be converted in place (integer to float, lexeme to fuzzy value).
  void SetValue(std::string_view Name, const IIEValue& Value);
  TFactValues& GetSlotValues() noexcept { return Values_; }
  const TFactValues& GetSlotValues() const noexcept { return Values_; }
  std::vector<std::string> GetSlotNames() const;
  void AssignValues(const TFact& Other);

  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  bool Equals(const TFact* Other) const;
  uint32_t GetHashCode() const override;
  std::string GetToString() const override;
  std::string ToString() const { return GetToString(); }
  // "f-<id> <text>", the id zero-padded to the width of the engine's next fact id.
  std::string GetToIDString() const;

  using TCloneable::Assign;
  void Assign(const platform::TPersistent& Source) override;
  void Assign(const platform::ICloneable& Source) override;
  IFact Clone() const;

 protected:
  platform::ICloneable DoClone() const override;

 private:
  friend class TFactTemplate;
  // Entry index for the template's slot Name, creating the entry from the default when missing.
  int EntryFor(std::string_view Name, bool Raise);
  int EntryForSlot(int SlotIndex);
  void CheckAndConvert(const TFactSlot& Slot, TIEValue& Value) const;
  // Value as Slot stores it: converted where the template checks values and Slot asks for it.
  IIEValue Checked(const TFactSlot& Slot, IIEValue Value) const;
  void CopyFrom(const TFact& Source, bool InterfaceForm);
  struct TBuffered {
    uint32_t Capacity;
  };
  // The room after the fact: its size is kept in the object header's spare byte.
  TFact(TBuffered Buffered, const IFactTemplate& Template);
  // The room placed after a fact made by Create, for Capacity entries.
  TFactValues::TEntry* Room() noexcept { return reinterpret_cast<TFactValues::TEntry*>(this + 1); }
  static void* TakeBlock(uint32_t Capacity);
  static void GiveBlock(void* Block, uint32_t Capacity) noexcept;

  // The identifier first: it fits in the base's tail padding.
  int32_t ID_ = -1;
  TFactValues Values_;
  IFactTemplate Template_;
};

// The place of a whole fact: a pattern bound with "?f <- (...)" is a binding of the slot name
// SPatternBinding, and what stands there is the fact's id as a fact-id value - the value the
// variable holds when its rule fires, and the value a fact keeps when a rule stores ?f in it.
// Matching compares and hashes the two as one value.
inline bool IsFactPlace(std::string_view Slot) noexcept { return Slot == SPatternBinding; }

// Fact.GetValue(Name), through and into the place Place remembers in a template's fact.
inline const IIEValue& GetPlacedValue(TFact& Fact, std::string_view Name, TSlotPlace& Place) {
  const int I = Fact.GetTemplate() ? FindSlotEntry(Fact.GetSlotValues(), Name, Place) : -1;
  return I >= 0 ? Fact.GetSlotValues().Entry(I).Value : Fact.GetValue(Name);
}

// The slot value at the place Place remembers in a template's fact, when the place still holds
// its slot: matching reads nearly every slot this way, inline, before any search by name.
inline bool PlacedValue(const TFact& Fact, const TSlotPlace& Place, const TIEValue*& Value) noexcept {
  const int I = PlacedEntry(Fact.GetSlotValues(), Place);
  if (I < 0 || !Fact.GetTemplate()) return false;
  Value = Fact.GetSlotValues().Entry(I).Value.get();
  return true;
}

}  // namespace rulecore
