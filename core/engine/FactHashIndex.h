// TFactHashIndex: the fact list's duplicate-fact cache - facts by hash code, several facts to a
// code.  Open addressing with linear probing over one array: a look-up reads one run of
// neighbouring entries instead of a bucket list of separately allocated nodes, and adding a
// fact allocates nothing until the table grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rulecore {

class TFact;

class TFactHashIndex {
 public:
  void Insert(uint32_t Hash, TFact* Fact) {
    if ((Used_ + 1) * 4 > Entries_.size() * 3) Rehash();
    Place(Hash, Fact);
    ++Count_;
  }
  // The fact stored under Hash for which Match answers true, the one with the lowest id when
  // several do; nothing when none does.
  template <class TMatch>
  TFact* Find(uint32_t Hash, TMatch&& Match) const {
    TFact* Found = nullptr;
    if (Entries_.empty()) return Found;
    for (size_t I = Hash & Mask(); Entries_[I].Fact; I = (I + 1) & Mask()) {
      const TEntry& E = Entries_[I];
      if (E.Hash == Hash && E.Fact != Deleted() && (!Found || Lower(E.Fact, Found)) && Match(E.Fact)) Found = E.Fact;
    }
    return Found;
  }
  // Removes Fact, stored under Hash; false when it is not there.
  bool Erase(uint32_t Hash, const TFact* Fact) noexcept {
    if (Entries_.empty()) return false;
    for (size_t I = Hash & Mask(); Entries_[I].Fact; I = (I + 1) & Mask())
      if (Entries_[I].Fact == Fact) return Drop(I);
    return false;
  }
  // Removes Fact wherever it is (its hash code changed since it was stored).
  bool EraseAnywhere(const TFact* Fact) noexcept {
    for (size_t I = 0; I < Entries_.size(); ++I)
      if (Entries_[I].Fact == Fact) return Drop(I);
    return false;
  }
  void Clear() noexcept {
    Entries_.clear();
    Count_ = 0;
    Used_ = 0;
  }
  size_t Size() const noexcept { return Count_; }

 private:
  struct TEntry {
    uint32_t Hash;
    TFact* Fact;  // nothing: never used; Deleted(): removed
  };
  static TFact* Deleted() noexcept { return reinterpret_cast<TFact*>(alignof(std::max_align_t)); }
  static bool Lower(const TFact* A, const TFact* B) noexcept;
  size_t Mask() const noexcept { return Entries_.size() - 1; }
  void Place(uint32_t Hash, TFact* Fact) noexcept {
    size_t I = Hash & Mask();
    while (Entries_[I].Fact && Entries_[I].Fact != Deleted()) I = (I + 1) & Mask();
    if (!Entries_[I].Fact) ++Used_;
    Entries_[I] = {Hash, Fact};
  }
  bool Drop(size_t I) noexcept {
    Entries_[I].Fact = Deleted();
    --Count_;
    return true;
  }
  // Grows the table (or only sweeps out removed entries when they fill it).
  void Rehash() {
    std::vector<TEntry> Old = std::move(Entries_);
    size_t Size = Old.empty() ? 128 : Old.size();
    while ((Count_ + 1) * 2 > Size) Size *= 2;
    Entries_.assign(Size, TEntry{0, nullptr});
    Used_ = 0;
    for (const TEntry& E : Old)
      if (E.Fact && E.Fact != Deleted()) Place(E.Hash, E.Fact);
  }

  std::vector<TEntry> Entries_;  // a power of two of them
  size_t Count_ = 0;             // facts stored
  size_t Used_ = 0;              // entries ever used since the last rehash, removed ones included
};

}  // namespace rulecore
