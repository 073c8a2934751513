// TPointerHashIndex: objects by a hash code, several objects to a code (the fact list's
// duplicate-fact cache, a rule's activations by token).  Open addressing with linear probing
// over one array: a look-up reads one run of neighbouring entries instead of a bucket list of
// separately allocated nodes, and adding an object allocates nothing until the table grows.
// TBefore(A, B) orders the objects stored under one code; Find answers the first that matches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace platform {

template <class T, class TBefore>
class TPointerHashIndex {
 public:
  void Insert(uint32_t Hash, T* Object) {
    if ((Count_ + 1) * 2 > Entries_.size()) Grow();
    Place(Hash, Object);
    ++Count_;
  }
  // The object stored under Hash for which Match answers true, the first in TBefore's order
  // when several do; nothing when none does.
  template <class TMatch>
  T* Find(uint32_t Hash, TMatch&& Match) const {
    T* Found = nullptr;
    if (Entries_.empty()) return Found;
    // The objects of one spot lie together; the walk ends where a later spot's objects begin.
    const size_t Home = Spot(Hash);
    for (size_t I = Home, Distance = 0; Entries_[I].Object && DistanceAt(I) >= Distance;
         I = (I + 1) & Mask(), ++Distance) {
      const TEntry& E = Entries_[I];
      if (E.Hash == Hash && (!Found || TBefore()(E.Object, Found)) && Match(E.Object)) Found = E.Object;
    }
    return Found;
  }
  // Removes Object, stored under Hash; false when it is not there.
  bool Erase(uint32_t Hash, const T* Object) noexcept {
    if (Entries_.empty()) return false;
    for (size_t I = Spot(Hash), Distance = 0; Entries_[I].Object && DistanceAt(I) >= Distance;
         I = (I + 1) & Mask(), ++Distance)
      if (Entries_[I].Object == Object) return Drop(I);
    return false;
  }
  // The place of the first object stored under Hash, or nothing: for an index that keeps one
  // object per code, to look it up and put another in its place in one walk.  Valid until the
  // next insertion or removal.
  T** PlaceOf(uint32_t Hash) noexcept {
    if (Entries_.empty()) return nullptr;
    for (size_t I = Spot(Hash), Distance = 0; Entries_[I].Object && DistanceAt(I) >= Distance;
         I = (I + 1) & Mask(), ++Distance)
      if (Entries_[I].Hash == Hash) return &Entries_[I].Object;
    return nullptr;
  }
  // Removes Object wherever it is (its hash code changed since it was stored).
  bool EraseAnywhere(const T* Object) noexcept {
    for (size_t I = 0; I < Entries_.size(); ++I)
      if (Entries_[I].Object == Object) return Drop(I);
    return false;
  }
  // Gives the table's memory back: an index emptied whole (working memory cleared) is usually
  // refilled to another size, if at all.
  void Clear() noexcept {
    std::vector<TEntry>().swap(Entries_);
    Count_ = 0;
  }
  size_t Size() const noexcept { return Count_; }

 private:
  struct TEntry {
    uint32_t Hash;
    T* Object;  // nothing: a free entry
  };
  size_t Mask() const noexcept { return Entries_.size() - 1; }
  // Where the run of a code starts.  Codes that differ only in their low eight bits (the sort
  // codes of tokens made one after another) get neighbouring spots, so that objects stored and
  // looked up in the order they were made touch few cache lines; the higher bits are scrambled
  // in, as codes such as token sort codes also differ mostly there.  Wider series of
  // neighbouring spots pile up into runs thousands long wherever two of them meet, and every
  // insertion there walks the run: 256 keeps the locality and the runs short.
  size_t Spot(uint32_t Hash) const noexcept {
    return (Hash + (Hash >> 8) * 0x9E3779B1u) & Mask();
  }
  // How far entry I (in use) lies past its spot.
  size_t DistanceAt(size_t I) const noexcept { return (I - Spot(Entries_[I].Hash)) & Mask(); }
  // Robin Hood placement: walking from its spot, an object takes the place of the first entry
  // that lies nearer its own spot and that entry walks on.  Every run thus holds its objects in
  // the order of their spots, so that look-ups and removals stop where their spot's objects end
  // instead of at the end of the run (long runs are what neighbouring spots make).
  void Place(uint32_t Hash, T* Object) noexcept {
    TEntry Walking{Hash, Object};
    for (size_t I = Spot(Hash), Distance = 0;; I = (I + 1) & Mask(), ++Distance) {
      if (!Entries_[I].Object) {
        Entries_[I] = Walking;
        return;
      }
      const size_t Resident = DistanceAt(I);
      if (Resident < Distance) {
        std::swap(Entries_[I], Walking);
        Distance = Resident;
      }
    }
  }
  // Frees entry I and moves the entries after it that lie past their spot one step back, so
  // that no marker of a removed entry is left: runs stay as short as the objects stored make
  // them, however many come and go.
  bool Drop(size_t I) noexcept {
    size_t Next = (I + 1) & Mask();
    while (Entries_[Next].Object && DistanceAt(Next) > 0) {
      Entries_[I] = Entries_[Next];
      I = Next;
      Next = (Next + 1) & Mask();
    }
    Entries_[I] = TEntry{0, nullptr};
    --Count_;
    return true;
  }
  // Doubles the table while it is more than half full.
  void Grow() {
    std::vector<TEntry> Old = std::move(Entries_);
    size_t Size = Old.empty() ? 16 : Old.size();
    while ((Count_ + 1) * 2 > Size) Size *= 2;
    Entries_.assign(Size, TEntry{0, nullptr});
    for (const TEntry& E : Old)
      if (E.Object) Place(E.Hash, E.Object);
  }

  std::vector<TEntry> Entries_;  // a power of two of them
  size_t Count_ = 0;             // objects stored
};

}  // namespace platform
