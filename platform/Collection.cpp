#include "Collection.h"

#include <algorithm>
#include <utility>

#include "Format.h"

namespace platform {

namespace {

// Opens an update bracket for the lifetime of the guard, so that an exception still closes it.
class TUpdateGuard {
 public:
  explicit TUpdateGuard(TCollection& C) noexcept : C_(C) { C_.BeginUpdate(); }
  ~TUpdateGuard() { C_.EndUpdate(); }
  TUpdateGuard(const TUpdateGuard&) = delete;
  TUpdateGuard& operator=(const TUpdateGuard&) = delete;

 private:
  TCollection& C_;
};

[[noreturn]] void WrongItemClass(const TClass& Item, const TClass& Expected) {
  throw EConvertError(Format("Cannot add a %s to a collection of %s", {Item.Name, Expected.Name}));
}

}  // namespace

// --- TCollectionItem -------------------------------------------------------------------------

TCollectionItem::~TCollectionItem() = default;

void TCollectionItem::SetCollection(TCollection* Value) {
  if (Value == Collection_) return;
  if (Value && !ClassType().InheritsFrom(Value->GetItemClass())) WrongItemClass(ClassType(), Value->GetItemClass());
  // Leaving the old collection drops its reference; keep the item alive until it has joined the
  // new one (or until this call ends, when nobody else holds it).
  Ref<TCollectionItem> Keep(this);
  if (Collection_) Collection_->RemoveItem(*this, cnExtracting);
  if (Value) Value->InsertItem(*this, Value->GetCount());
}

void TCollectionItem::SetIndex(int Value) {
  if (!Collection_) return;
  const int Last = Collection_->GetCount() - 1;
  Value = std::clamp(Value, 0, Last);
  if (Value != Index_) Collection_->MoveItem(Index_, Value);
}

std::string TCollectionItem::GetDisplayName() const { return ClassName(); }

void TCollectionItem::Changed(bool AllItems) {
  if (Collection_ && Collection_->UpdateCount_ == 0) Collection_->Update(AllItems ? nullptr : this);
}

ICloneable TCollectionItem::DoClone() const {
  TObject* Obj = ClassType().CreateInstance();
  auto* Item = dynamic_cast<TCollectionItem*>(Obj);
  if (!Item) {
    delete Obj;
    AssignError(this);
  }
  Ref<TCollectionItem> Copy(Item);
  Copy->Assign(*this);
  return Copy;
}

// --- TCollection -----------------------------------------------------------------------------

TCollection::TCollection(const TClass& ItemClass, TPersistent* Owner) : ItemClass_(&ItemClass), Owner_(Owner) {
  if (!ItemClass.InheritsFrom(TCollectionItem::StaticClass()))
    WrongItemClass(ItemClass, TCollectionItem::StaticClass());
}

TCollection::~TCollection() {
  // The owner may be half destroyed already: nothing is reported from here on.
  ++UpdateCount_;
  for (const Ref<TCollectionItem>& Item : Items_) {
    Item->Collection_ = nullptr;
    Item->Index_ = -1;
  }
  Items_.clear();
}

void TCollection::SetItem(int Index, const TCollectionItem& Value) { GetItem(Index)->Assign(Value); }

TCollectionItem* TCollection::FindItemID(int ID) const noexcept {
  for (const Ref<TCollectionItem>& Item : Items_)
    if (Item->ID_ == ID) return Item.get();
  return nullptr;
}

Ref<TCollectionItem> TCollection::NewItem() const {
  // The constructor checked that the item class descends from TCollectionItem, and a class's
  // factory makes an instance of exactly that class.
  return Ref<TCollectionItem>(static_cast<TCollectionItem*>(ItemClass_->CreateInstance()));
}

TCollectionItem* TCollection::Add() {
  Ref<TCollectionItem> Item = NewItem();
  InsertItem(*Item, GetCount());
  return Item.get();
}

TCollectionItem* TCollection::Insert(int Index) {
  if (Index < 0 || Index > GetCount()) ListIndexError(Index);
  Ref<TCollectionItem> Item = NewItem();
  InsertItem(*Item, Index);
  return Item.get();
}

void TCollection::Delete(int Index) { RemoveItem(*GetItem(Index), cnDeleting); }

void TCollection::Clear() {
  if (Items_.empty()) return;
  TUpdateGuard Bracket(*this);
  while (!Items_.empty()) Delete(GetCount() - 1);
}

void TCollection::EndUpdate() {
  if (UpdateCount_ > 0 && --UpdateCount_ == 0) Changed();
}

void TCollection::Assign(const TPersistent& Source) {
  const auto* Src = dynamic_cast<const TCollection*>(&Source);
  if (!Src) {
    TPersistent::Assign(Source);
    return;
  }
  if (Src == this) return;
  TUpdateGuard Bracket(*this);
  // The old items are set aside (still attached) until every new item has been assigned, so a
  // failure can put them back untouched.
  std::vector<Ref<TCollectionItem>> Old;
  Old.swap(Items_);
  try {
    for (const Ref<TCollectionItem>& From : Src->Items_) Add()->Assign(*From);
  } catch (...) {
    for (const Ref<TCollectionItem>& Made : Items_) {
      Made->Collection_ = nullptr;
      Made->Index_ = -1;
    }
    Items_ = std::move(Old);
    Renumber(0, Items_.size());
    throw;
  }
  for (const Ref<TCollectionItem>& Gone : Old) {
    Notify(*Gone, cnDeleting);
    Gone->Collection_ = nullptr;
    Gone->Index_ = -1;
  }
}

void TCollection::Update(TCollectionItem* Item) {
  if (OnChange) OnChange(this, Item);
}

void TCollection::Notify(TCollectionItem&, TCollectionNotification) {}

void TCollection::Changed() {
  if (UpdateCount_ == 0) Update(nullptr);
}

void TCollection::MoveItem(int CurIndex, int NewIndex) {
  if (CurIndex < 0 || CurIndex >= GetCount()) ListIndexError(CurIndex);
  if (NewIndex < 0 || NewIndex >= GetCount()) ListIndexError(NewIndex);
  if (CurIndex == NewIndex) return;
  const auto First = Items_.begin();
  if (CurIndex < NewIndex)
    std::rotate(First + CurIndex, First + CurIndex + 1, First + NewIndex + 1);
  else
    std::rotate(First + NewIndex, First + CurIndex, First + CurIndex + 1);
  Renumber(static_cast<size_t>(std::min(CurIndex, NewIndex)), static_cast<size_t>(std::max(CurIndex, NewIndex)) + 1);
  Changed();
}

void TCollection::InsertItem(TCollectionItem& Item, int Index) {
  if (!Item.ClassType().InheritsFrom(*ItemClass_)) WrongItemClass(Item.ClassType(), *ItemClass_);
  Items_.insert(Items_.begin() + Index, Ref<TCollectionItem>(&Item));
  Item.Collection_ = this;
  Item.ID_ = NextID_++;
  Renumber(static_cast<size_t>(Index), Items_.size());
  Notify(Item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem& Item, TCollectionNotification Action) {
  Notify(Item, Action);
  const auto Index = static_cast<size_t>(Item.Index_);
  Ref<TCollectionItem> Keep = std::move(Items_[Index]);
  Items_.erase(Items_.begin() + static_cast<std::ptrdiff_t>(Index));
  Item.Collection_ = nullptr;
  Item.Index_ = -1;
  Renumber(Index, Items_.size());
  Changed();
}

void TCollection::Renumber(size_t From, size_t To) noexcept {
  for (size_t I = From; I < To && I < Items_.size(); ++I) Items_[I]->Index_ = static_cast<int>(I);
}

}  // namespace platform
