// TInterfaceList<T>: an ordered list of counted references whose owner is told of every
// insertion and removal.
#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "Enum.h"
#include "Exceptions.h"
#include "Ref.h"

namespace platform {

PLATFORM_ENUM(TListNotification, lnAdded, lnDeleted)

template <class T>
class TInterfaceList {
 public:
  using TItem = Ref<T>;
  using TNotifyEvent = std::function<void(const TItem& Item, TListNotification)>;

  int Count() const noexcept { return static_cast<int>(Items_.size()); }
  bool Empty() const noexcept { return Items_.empty(); }
  const TItem& Get(int I) const { return Items_[Checked(I)]; }
  const TItem& operator[](int I) const { return Get(I); }

  void Put(int I, TItem Item) {
    const size_t P = Checked(I);
    TItem Old = std::exchange(Items_[P], std::move(Item));
    Notify(Old, lnDeleted);
    Notify(Items_[P], lnAdded);
  }
  int Add(TItem Item) {
    Items_.push_back(std::move(Item));
    Notify(Items_.back(), lnAdded);
    return Count() - 1;
  }
  void Insert(int I, TItem Item) {
    if (I < 0 || I > Count()) ListIndexError(I);
    Items_.insert(Items_.begin() + I, std::move(Item));
    Notify(Items_[static_cast<size_t>(I)], lnAdded);
  }
  void Delete(int I) {
    const size_t P = Checked(I);
    TItem Old = std::move(Items_[P]);
    Items_.erase(Items_.begin() + static_cast<std::ptrdiff_t>(P));
    Notify(Old, lnDeleted);
  }
  // Index of the first entry that is the same object, or -1.
  int IndexOf(const T* Item) const noexcept {
    for (size_t I = 0; I < Items_.size(); ++I)
      if (Items_[I].get() == Item) return static_cast<int>(I);
    return -1;
  }
  // Removes the first entry that is the same object and returns its former index (or -1).
  int Remove(const T* Item) {
    const int I = IndexOf(Item);
    if (I >= 0) Delete(I);
    return I;
  }
  void Clear() {
    std::vector<TItem> Old;
    Old.swap(Items_);
    for (const TItem& Item : Old) Notify(Item, lnDeleted);
  }
  void Reserve(int N) { Items_.reserve(static_cast<size_t>(N < 0 ? 0 : N)); }

  auto begin() const noexcept { return Items_.begin(); }
  auto end() const noexcept { return Items_.end(); }

  TNotifyEvent OnNotify;

 private:
  size_t Checked(int I) const {
    if (I < 0 || I >= Count()) ListIndexError(I);
    return static_cast<size_t>(I);
  }
  void Notify(const TItem& Item, TListNotification What) {
    if (OnNotify) OnNotify(Item, What);
  }
  std::vector<TItem> Items_;
};

}  // namespace platform
