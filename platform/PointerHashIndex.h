// TPointerHashIndex: objects by a hash code, several objects to a code (the fact list's
// duplicate-fact cache, a rule's activations by token).  Open addressing with linear probing
// over one array: a look-up reads one run of neighbouring entries instead of a bucket list of
// separately allocated nodes, and adding an object allocates nothing until the table grows.
// TBefore(A, B) orders the objects stored under one code; Find answers the first that matches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

template <class T, class TBefore>
class TPointerHashIndex {
 public:
  void Insert(uint32_t Hash, T* Object) {
    if ((Used_ + 1) * 4 > Entries_.size() * 3) Rehash();
    Place(Hash, Object);
    ++Count_;
  }
  // The object stored under Hash for which Match answers true, the first in TBefore's order
  // when several do; nothing when none does.
  template <class TMatch>
  T* Find(uint32_t Hash, TMatch&& Match) const {
    T* Found = nullptr;
    if (Entries_.empty()) return Found;
    for (size_t I = Spot(Hash); Entries_[I].Object; I = (I + 1) & Mask()) {
      const TEntry& E = Entries_[I];
      if (E.Hash == Hash && E.Object != Deleted() && (!Found || TBefore()(E.Object, Found)) && Match(E.Object))
        Found = E.Object;
    }
    return Found;
  }
  // Removes Object, stored under Hash; false when it is not there.
  bool Erase(uint32_t Hash, const T* Object) noexcept {
    if (Entries_.empty()) return false;
    for (size_t I = Spot(Hash); Entries_[I].Object; I = (I + 1) & Mask())
      if (Entries_[I].Object == Object) return Drop(I);
    return false;
  }
  // Removes Object wherever it is (its hash code changed since it was stored).
  bool EraseAnywhere(const T* Object) noexcept {
    for (size_t I = 0; I < Entries_.size(); ++I)
      if (Entries_[I].Object == Object) return Drop(I);
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
    T* Object;  // nothing: never used; Deleted(): removed
  };
  static T* Deleted() noexcept { return reinterpret_cast<T*>(alignof(std::max_align_t)); }
  size_t Mask() const noexcept { return Entries_.size() - 1; }
  // Where the run of a code starts; the code's high bits count too (codes such as token sort
  // codes differ mostly there).
  size_t Spot(uint32_t Hash) const noexcept {
    const uint32_t H = Hash * 0x9E3779B1u;
    return (H ^ (H >> 15)) & Mask();
  }
  void Place(uint32_t Hash, T* Object) noexcept {
    size_t I = Spot(Hash);
    while (Entries_[I].Object && Entries_[I].Object != Deleted()) I = (I + 1) & Mask();
    if (!Entries_[I].Object) ++Used_;
    Entries_[I] = {Hash, Object};
  }
  bool Drop(size_t I) noexcept {
    Entries_[I].Object = Deleted();
    --Count_;
    return true;
  }
  // Grows the table (or only sweeps out removed entries when they fill it).
  void Rehash() {
    std::vector<TEntry> Old = std::move(Entries_);
    size_t Size = Old.empty() ? 16 : Old.size();
    while ((Count_ + 1) * 2 > Size) Size *= 2;
    Entries_.assign(Size, TEntry{0, nullptr});
    Used_ = 0;
    for (const TEntry& E : Old)
      if (E.Object && E.Object != Deleted()) Place(E.Hash, E.Object);
  }

  std::vector<TEntry> Entries_;  // a power of two of them
  size_t Count_ = 0;             // facts stored
  size_t Used_ = 0;              // entries ever used since the last rehash, removed ones included
};

}  // namespace platform
