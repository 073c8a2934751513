// Owned collections: TCollection, an ordered list of TCollectionItem objects that belong to it,
// with update brackets and change notification to the collection's owner.
//
// Items are counted objects (TCollectionItem is a TCloneable).  The collection holds the owning
// reference of each item: deleting an item from its collection frees it unless someone else
// still holds a Ref to it, so a host may keep an item alive beyond its removal without ever
// reading freed memory.  An item knows its collection through a plain back pointer.
//
// Change notification: every change ends in the virtual Update(Item), with the changed item or
// nullptr for a change of the whole list (additions, deletions, moves, the end of an update
// bracket).  Nothing is reported while a BeginUpdate/EndUpdate bracket is open; closing the
// outermost bracket reports one whole-list change.  The default Update fires OnChange.
//
// Depends on Object, Cloneable, Enum and Exceptions.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Cloneable.h"
#include "Enum.h"
#include "Exceptions.h"
#include "Object.h"
#include "Ref.h"

namespace platform {

class TCollection;

PLATFORM_ENUM(TCollectionNotification, cnAdded, cnExtracting, cnDeleting)

class TCollectionItem : public TCloneable {
  PLATFORM_CLASS(TCollectionItem, TCloneable)
 public:
  TCollectionItem() noexcept = default;
  ~TCollectionItem() override;

  TCollection* GetCollection() const noexcept { return Collection_; }
  // Moves the item into Collection (nullptr: out of any collection).  Leaving a collection drops
  // the collection's reference, which frees the item unless the caller holds one.
  void SetCollection(TCollection* Value);
  // Position in the collection, -1 when the item is in none.
  int GetIndex() const noexcept { return Index_; }
  // Moves the item within its collection (clamped to the valid positions).
  void SetIndex(int Value);
  // Unique within the collection, given on insertion and never reused.
  int GetID() const noexcept { return ID_; }
  // Text that names the item in editors; by default the class name.
  virtual std::string GetDisplayName() const;

 protected:
  // Reports a change of this item (AllItems: of the whole list) to the collection.
  void Changed(bool AllItems);
  // A new instance of the item's class, assigned from this item, outside any collection.
  ICloneable DoClone() const override;

 private:
  friend class TCollection;
  TCollection* Collection_ = nullptr;
  int Index_ = -1;
  int ID_ = 0;
};

class TCollection : public TPersistent {
  PLATFORM_CLASS(TCollection, TPersistent)
 public:
  using TChangeEvent = std::function<void(TCollection* Sender, TCollectionItem* Item)>;

  // ItemClass is the class Add and Insert create (it must descend from TCollectionItem and be
  // creatable by its class information); Owner is told of changes by subclasses.
  explicit TCollection(const TClass& ItemClass, TPersistent* Owner = nullptr);
  ~TCollection() override;

  const TClass& GetItemClass() const noexcept { return *ItemClass_; }
  TPersistent* GetOwner() const noexcept { return Owner_; }

  int GetCount() const noexcept { return static_cast<int>(Items_.size()); }
  bool Empty() const noexcept { return Items_.empty(); }
  TCollectionItem* GetItem(int Index) const {
    if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
    return Items_[static_cast<size_t>(Index)].get();
  }
  // Items[Index] := Value assigns Value to the item at Index.
  void SetItem(int Index, const TCollectionItem& Value);
  TCollectionItem* FindItemID(int ID) const noexcept;

  // A new item of the item class at the end / at Index (0 <= Index <= Count).
  TCollectionItem* Add();
  TCollectionItem* Insert(int Index);
  void Delete(int Index);
  void Clear();

  void BeginUpdate() noexcept { ++UpdateCount_; }
  void EndUpdate();
  int GetUpdateCount() const noexcept { return UpdateCount_; }

  // From another collection: this collection becomes a copy, item by item (each new item is
  // assigned from the source item).  When an item assignment fails the collection is left as
  // it was.
  void Assign(const TPersistent& Source) override;

  TChangeEvent OnChange;

 protected:
  friend class TCollectionItem;

  // Called for every change not hidden by an update bracket; Item is nullptr for a change of
  // the whole list.  Subclasses that override it call the base to keep OnChange working.
  virtual void Update(TCollectionItem* Item);
  // Told of an item joining (after insertion) or leaving (before removal) the list.
  virtual void Notify(TCollectionItem& Item, TCollectionNotification Action);
  // Reports a whole-list change unless an update bracket is open.
  void Changed();

  // For subclasses that rearrange their items while reacting to a change: hides the changes
  // made in between without the report that closing a bracket gives.
  void SuspendUpdates() noexcept { ++UpdateCount_; }
  void ResumeUpdates() noexcept { --UpdateCount_; }
  // Moves an item; reports like any other change (nothing inside a bracket).
  void MoveItem(int CurIndex, int NewIndex);

 private:
  Ref<TCollectionItem> NewItem() const;
  void InsertItem(TCollectionItem& Item, int Index);
  void RemoveItem(TCollectionItem& Item, TCollectionNotification Action);
  void Renumber(size_t From, size_t To) noexcept;

  const TClass* ItemClass_;
  TPersistent* Owner_;
  std::vector<Ref<TCollectionItem>> Items_;
  int UpdateCount_ = 0;
  int NextID_ = 0;
};

}  // namespace platform
