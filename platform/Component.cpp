#include "Component.h"

#include <algorithm>

#include "Exceptions.h"
#include "Format.h"

namespace platform {

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
  while (!FreeNotifies_.empty()) {
    TComponent* Partner = FreeNotifies_.back();
    FreeNotifies_.pop_back();
    Partner->Unlink(this);
    Partner->Notification(this, opRemove);
  }
}

void TComponent::SetName(const std::string& NewName) {
  if (NewName == Name_) return;
  if (!NewName.empty() && Owner_) {
    TComponent* Existing = Owner_->FindComponent(NewName);
    if (Existing && Existing != this)
      throw EComponentError(Format("A component named %s already exists", {NewName}));
  }
  Name_ = NewName;
}

TComponent* TComponent::GetComponent(int Index) const {
  if (Index < 0 || Index >= GetComponentCount()) ListIndexError(Index);
  return Components_[static_cast<size_t>(Index)];
}

TComponent* TComponent::FindComponent(std::string_view Name) const noexcept {
  if (Name.empty()) return nullptr;
  for (TComponent* C : Components_)
    if (SameText(C->Name_, Name)) return C;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* Component) {
  if (!Component || Component->Owner_ == this) return;
  if (Component->Owner_) Component->Owner_->RemoveComponent(Component);
  Components_.push_back(Component);
  Component->Owner_ = this;
  NotifyAll(Component, opInsert);
}

void TComponent::RemoveComponent(TComponent* Component) {
  auto It = std::find(Components_.begin(), Components_.end(), Component);
  if (It == Components_.end()) return;
  NotifyAll(Component, opRemove);
  // The notice may have changed the list; look the component up again.
  It = std::find(Components_.begin(), Components_.end(), Component);
  if (It != Components_.end()) Components_.erase(It);
  Component->Owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  while (!Components_.empty()) {
    TComponent* C = Components_.back();
    RemoveComponent(C);
    delete C;
  }
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  SetState(csDesigning, Value);
  if (SetChildren)
    for (TComponent* C : Components_) C->SetDesigning(Value, true);
}

void TComponent::BeginLoading() { State_.Include(csLoading); }

void TComponent::Loaded() { State_.Exclude(csLoading); }

void TComponent::FreeNotification(TComponent* Component) {
  if (!Component || Component == this) return;
  if (std::find(FreeNotifies_.begin(), FreeNotifies_.end(), Component) == FreeNotifies_.end())
    FreeNotifies_.push_back(Component);
  if (std::find(Component->FreeNotifies_.begin(), Component->FreeNotifies_.end(), this) ==
      Component->FreeNotifies_.end())
    Component->FreeNotifies_.push_back(this);
  State_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* Component) {
  if (!Component) return;
  Unlink(Component);
  Component->Unlink(this);
}

void TComponent::Unlink(TComponent* Partner) noexcept {
  auto It = std::find(FreeNotifies_.begin(), FreeNotifies_.end(), Partner);
  if (It != FreeNotifies_.end()) FreeNotifies_.erase(It);
  if (FreeNotifies_.empty()) State_.Exclude(csFreeNotification);
}

void TComponent::Notification(TComponent* Component, TOperation Operation) {
  if (Operation == opRemove && Component) RemoveFreeNotification(Component);
  // An owner being destroyed frees all its components: they need no news of each other (and
  // passing it on would make freeing n components cost n squared notices).
  if (IsDestroying()) return;
  // Insertions concern the owner alone: passing them on would make adding n components cost n
  // squared notices, and no component acts on a sibling's arrival.
  if (Operation == opInsert) return;
  // Copy: a child may leave the list while handling the notice.
  const std::vector<TComponent*> Children = Components_;
  for (size_t I = 0; I < Children.size(); ++I) {
    TComponent* C = Children[I];
    // Still ours?  While nobody left the list, the child is where it was; only after a change
    // is the list searched.
    const bool Present = (I < Components_.size() && Components_[I] == C) ||
                         std::find(Components_.begin(), Components_.end(), C) != Components_.end();
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
