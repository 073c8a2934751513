// TComponent: an owned, named object.  An owner frees the components it owns; components that
// asked for free-notification of each other are told when the other one is destroyed.
// Components are never reference counted: they are referred to by plain pointers.
#pragma once

#include <string>
#include <vector>

#include "Enum.h"
#include "Object.h"
#include "Set.h"

namespace platform {

PLATFORM_ENUM(TOperation, opInsert, opRemove)
PLATFORM_ENUM(TComponentStateItem, csLoading, csReading, csWriting, csDestroying, csDesigning,
              csAncestor, csUpdating, csFixups, csFreeNotification, csInline, csDesignInstance)
using TComponentState = TSet<TComponentStateItem, 11>;

class TComponent : public TPersistent {
  PLATFORM_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* Owner = nullptr);
  ~TComponent() override;

  TComponent* GetOwner() const noexcept { return Owner_; }
  const std::string& GetName() const noexcept { return Name_; }
  // A non-empty name must be unique among the owner's components (case-insensitive).
  virtual void SetName(const std::string& NewName);

  int GetComponentCount() const noexcept { return static_cast<int>(Components_.size()); }
  TComponent* GetComponent(int Index) const;
  TComponent* FindComponent(std::string_view Name) const noexcept;
  void InsertComponent(TComponent* Component);
  void RemoveComponent(TComponent* Component);
  // Frees every owned component (last first).
  void DestroyComponents();

  const TComponentState& GetComponentState() const noexcept { return State_; }
  bool IsLoading() const noexcept { return State_.Contains(csLoading); }
  bool IsDestroying() const noexcept { return State_.Contains(csDestroying); }
  bool IsDesigning() const noexcept { return State_.Contains(csDesigning); }
  void SetDesigning(bool Value, bool SetChildren = true);
  // Loading brackets: BeginLoading sets csLoading; Loaded is called when loading completes.
  void BeginLoading();
  virtual void Loaded();

  // Sets csDestroying and tells every free-notification partner that this component goes away.
  // The TComponent destructor does it at the latest; a class whose partners must still see its
  // full type when they are told calls it first thing in its own destructor.
  void Destroying();

  // Asks to be told (through Notification) when Component is destroyed; the link is mutual.
  void FreeNotification(TComponent* Component);
  void RemoveFreeNotification(TComponent* Component);

 protected:
  // Told of insertions into and removals from the owner tree and of destroyed free-notification
  // partners.  The default passes removals on to every owned component (not while this one is
  // being destroyed, when they all go anyway); insertions stay with the owner.
  virtual void Notification(TComponent* Component, TOperation Operation);
  void SetState(TComponentStateItem Item, bool On);

 private:
  void NotifyAll(TComponent* Component, TOperation Operation);
  void Unlink(TComponent* Partner) noexcept;

  TComponent* Owner_ = nullptr;
  std::string Name_;
  std::vector<TComponent*> Components_;
  std::vector<TComponent*> FreeNotifies_;
  TComponentState State_;
};

// The first component owned by Owner that is of Class or a descendant of it, or nullptr.
TComponent* FindComponentType(const TComponent* Owner, const TClass& Class) noexcept;

}  // namespace platform
