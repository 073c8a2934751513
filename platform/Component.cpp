#include "Component.h"

#include <algorithm>

#include "BothEnds.h"
#include "Exceptions.h"
#include "Format.h"

namespace platform {

// Every rule is a component: growth is a decision, not an accident.
static_assert(sizeof(TComponent) <= 40, "TComponent grew: keep rarely used fields in its block of rare fields");

TComponent::TComponent(TComponent* Owner) {
  if (Owner) Owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  DestroyComponents();
  if (Owner_) Owner_->RemoveComponent(this);
}

void TComponent::Destroying() {
  State_.Include(csDestroying);
  // Tell every partner; each one is unlinked before it hears of it, so a partner that frees
  // itself (or other partners) while handling the notice finds consistent lists.
  while (TComponent* Partner = Rare_ ? Rare_->FreeNotifies.TakeLast() : nullptr) {
    Partner->Unlink(this);
    Partner->Notification(this, opRemove);
  }
}

TComponent::TRare& TComponent::Rare() {
  if (!Rare_) Rare_ = std::make_unique<TRare>();
  return *Rare_;
}

const std::string& TComponent::GetName() const noexcept {
  static const std::string None;
  return Rare_ ? Rare_->Name : None;
}

void TComponent::SetName(const std::string& NewName) {
  if (NewName == GetName()) return;
  if (!NewName.empty() && Owner_) {
    TComponent* Existing = Owner_->FindComponent(NewName);
    if (Existing && Existing != this)
      throw EComponentError(Format("A component named %s already exists", {NewName}));
  }
  Rare().Name = NewName;
}

TComponent* TComponent::GetComponent(int Index) const {
  if (Index < 0 || Index >= GetComponentCount()) ListIndexError(Index);
  return Rare_->Components[static_cast<size_t>(Index)];
}

TComponent* TComponent::FindComponent(std::string_view Name) const noexcept {
  if (Name.empty() || !Rare_) return nullptr;
  for (TComponent* C : Rare_->Components)
    if (SameText(C->GetName(), Name)) return C;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* Component) {
  if (!Component || Component->Owner_ == this) return;
  if (Component->Owner_) Component->Owner_->RemoveComponent(Component);
  Rare().Components.push_back(Component);
  Component->Owner_ = this;
  NotifyAll(Component, opInsert);
}

void TComponent::TOwned::push_back(TComponent* Component) {
  if (GapLength_ > 0 && GapStart_ + GapLength_ == Slots_.size()) {
    Slots_[GapStart_++] = Component;  // the gap is at the end: fill it
    --GapLength_;
    return;
  }
  Slots_.push_back(Component);
}

void TComponent::TOwned::EraseAt(size_t Index) noexcept {
  const auto At = [this](size_t Slot) { return Slots_.begin() + static_cast<std::ptrdiff_t>(Slot); };
  if (GapLength_ == 0) {
    GapStart_ = Index;
  } else if (Index < GapStart_) {
    // The components between it and the gap move to the gap's far end.
    std::move_backward(At(Index + 1), At(GapStart_), At(GapStart_ + GapLength_));
    GapStart_ = Index;
  } else if (Index > GapStart_) {
    // The components between the gap and it move to the gap's near end.
    std::move(At(GapStart_ + GapLength_), At(Index + GapLength_), At(GapStart_));
    GapStart_ = Index;
  }
  ++GapLength_;
  if (GapLength_ * 2 > Slots_.size()) {
    Slots_.erase(At(GapStart_), At(GapStart_ + GapLength_));
    GapStart_ = GapLength_ = 0;
  }
}

size_t TComponent::TOwned::IndexOf(const TComponent* Component) const noexcept {
  return FindFromBothEnds(0, size(), [&](size_t I) { return (*this)[I] == Component; });
}

void TComponent::RemoveComponent(TComponent* Component) {
  if (!Rare_) return;
  TOwned& Components = Rare_->Components;
  if (Components.IndexOf(Component) == Components.size()) return;
  NotifyAll(Component, opRemove);
  // The notice may have changed the list; look the component up again.
  if (const size_t At = Components.IndexOf(Component); At < Components.size()) Components.EraseAt(At);
  Component->Owner_ = nullptr;
}

void TComponent::FreeRemoved(TComponent* Component) noexcept {
  Component->Owner_ = nullptr;
  try {
    NotifyAll(Component, opRemove);
  } catch (...) {
    // A notice that fails cannot keep the component: it goes all the same.
  }
  delete Component;
}

void TComponent::DestroyComponents() {
  while (GetComponentCount() > 0) {
    TComponent* C = Rare_->Components.back();
    RemoveComponent(C);
    delete C;
  }
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  SetState(csDesigning, Value);
  if (SetChildren)
    for (int I = 0; I < GetComponentCount(); ++I) GetComponent(I)->SetDesigning(Value, true);
}

void TComponent::BeginLoading() { State_.Include(csLoading); }

void TComponent::Loaded() { State_.Exclude(csLoading); }

void TComponent::FreeNotification(TComponent* Component) {
  if (!Component || Component == this) return;
  Rare().FreeNotifies.Add(Component);
  try {
    Component->Rare().FreeNotifies.Add(this);
  } catch (...) {
    Rare_->FreeNotifies.Remove(Component);
    throw;
  }
  State_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* Component) {
  if (!Component) return;
  Unlink(Component);
  Component->Unlink(this);
}

void TComponent::Unlink(TComponent* Partner) noexcept {
  if (!Rare_) return;
  Rare_->FreeNotifies.Remove(Partner);
  if (Rare_->FreeNotifies.Empty()) State_.Exclude(csFreeNotification);
}

// --- the partner list -------------------------------------------------------------------------

size_t TComponent::TPartners::Find(TComponent* Partner) const noexcept {
  if (Index_) {
    const auto It = Index_->find(Partner);
    return It == Index_->end() ? NotFound : It->second;
  }
  const auto It = std::find(Items_.begin(), Items_.end(), Partner);
  return It == Items_.end() ? NotFound : static_cast<size_t>(It - Items_.begin());
}

void TComponent::TPartners::Add(TComponent* Partner) {
  if (Find(Partner) != NotFound) return;
  Items_.push_back(Partner);
  try {
    if (Index_) {
      Index_->emplace(Partner, Items_.size() - 1);
    } else if (Items_.size() >= IndexFrom) {
      auto Index = std::make_unique<std::unordered_map<TComponent*, size_t>>();
      for (size_t I = 0; I < Items_.size(); ++I) Index->emplace(Items_[I], I);
      Index_ = std::move(Index);
    }
  } catch (...) {
    Items_.pop_back();
    throw;
  }
}

void TComponent::TPartners::Remove(TComponent* Partner) noexcept {
  const size_t At = Find(Partner);
  if (At == NotFound) return;
  if (!Index_) {
    Items_.erase(Items_.begin() + static_cast<std::ptrdiff_t>(At));
    return;
  }
  Index_->erase(Partner);
  Items_[At] = nullptr;
  while (!Items_.empty() && !Items_.back()) Items_.pop_back();
  if (Items_.size() > 2 * Index_->size() + IndexFrom) Compact();
}

TComponent* TComponent::TPartners::TakeLast() noexcept {
  while (!Items_.empty() && !Items_.back()) Items_.pop_back();
  if (Items_.empty()) return nullptr;
  TComponent* Partner = Items_.back();
  Items_.pop_back();
  if (Index_) Index_->erase(Partner);
  return Partner;
}

// Closes the holes, keeping the order; the index is updated in place (nothing is allocated).
void TComponent::TPartners::Compact() noexcept {
  size_t To = 0;
  for (size_t From = 0; From < Items_.size(); ++From) {
    TComponent* Partner = Items_[From];
    if (!Partner) continue;
    Items_[To] = Partner;
    Index_->find(Partner)->second = To;
    ++To;
  }
  Items_.resize(To);
}

void TComponent::Notification(TComponent* Component, TOperation Operation) {
  if (Operation == opRemove && Component) RemoveFreeNotification(Component);
  // An owner being destroyed frees all its components: they need no news of each other (and
  // passing it on would make freeing n components cost n squared notices).
  if (IsDestroying() || QuietRemovals_ > 0) return;
  // Insertions concern the owner alone: passing them on would make adding n components cost n
  // squared notices, and no component acts on a sibling's arrival.
  if (Operation == opInsert) return;
  // Copy: a child may leave the list while handling the notice.
  if (!Rare_ || Rare_->Components.empty()) return;
  const TOwned& Components = Rare_->Components;
  std::vector<TComponent*> Children;
  Children.reserve(Components.size());
  for (TComponent* C : Components) Children.push_back(C);
  for (size_t I = 0; I < Children.size(); ++I) {
    TComponent* C = Children[I];
    // Still ours?  While nobody left the list, the child is where it was; only after a change
    // is the list searched.
    const bool Present = (I < Components.size() && Components[I] == C) ||
                         Components.IndexOf(C) < Components.size();
    if (Present) C->Notification(Component, Operation);
  }
}

void TComponent::SetState(TComponentStateItem Item, bool On) {
  if (On)
    State_.Include(Item);
  else
    State_.Exclude(Item);
}

void TComponent::NotifyAll(TComponent* Component, TOperation Operation) {
  // The owner hears of an insertion or removal and, by default, passes it to its components.
  Notification(Component, Operation);
}

TComponent* FindComponentType(const TComponent* Owner, const TClass& Class) noexcept {
  if (!Owner) return nullptr;
  for (int I = 0; I < Owner->GetComponentCount(); ++I) {
    TComponent* C = Owner->GetComponent(I);
    if (C->InheritsFrom(Class)) return C;
  }
  return nullptr;
}

namespace {
// The roots of the model are classes like any other: rules and streams may name them.
const bool Registered =
    (RegisterClass<TObject>(), RegisterClass<TPersistent>(), RegisterClass<TComponent>(), true);
}  // namespace

}  // namespace platform
