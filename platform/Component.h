// TComponent: an owned, named object.  An owner frees the components it owns; components that
// asked for free-notification of each other are told when the other one is destroyed.
// Components are never reference counted: they are referred to by plain pointers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
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
  const std::string& GetName() const noexcept;
  // A non-empty name must be unique among the owner's components (case-insensitive).
  virtual void SetName(const std::string& NewName);

  int GetComponentCount() const noexcept { return Rare_ ? static_cast<int>(Rare_->Components.size()) : 0; }
  TComponent* GetComponent(int Index) const;
  TComponent* FindComponent(std::string_view Name) const noexcept;
  void InsertComponent(TComponent* Component);
  void RemoveComponent(TComponent* Component);
  // Frees every owned component (last first).
  void DestroyComponents();
  // Frees the owned components Which selects, newest first, in one pass over the list (freeing
  // them one by one would search the list for each).  The owner hears of each removal as with
  // RemoveComponent.  The selected components must not free one another.
  template <class TWhich>
  void DestroyComponentsWhere(TWhich&& Which) {
    if (!Rare_) return;
    std::vector<TComponent*>& Components = Rare_->Components;
    std::vector<TComponent*> Going;
    std::vector<TComponent*> Staying;
    Staying.reserve(Components.size());
    for (TComponent* C : Components) (Which(C) ? Going : Staying).push_back(C);
    if (Going.empty()) return;
    Components.swap(Staying);
    for (auto It = Going.rbegin(); It != Going.rend(); ++It) FreeRemoved(*It);
  }

  // While one of these lives, the removals this component hears are not passed on to the
  // components it owns: for an owner that frees many of its own parts at once, none of which
  // the others refer to except through free-notification (which still reaches them), so that
  // freeing n parts costs time linear in n instead of n notices to n components each.
  class TQuietRemovals {
   public:
    explicit TQuietRemovals(TComponent& Owner) noexcept : Owner_(Owner) { ++Owner_.QuietRemovals_; }
    ~TQuietRemovals() { --Owner_.QuietRemovals_; }
    TQuietRemovals(const TQuietRemovals&) = delete;
    TQuietRemovals& operator=(const TQuietRemovals&) = delete;

   private:
    TComponent& Owner_;
  };

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
  // Frees Component, already taken out of the list, after telling the owner it went.
  void FreeRemoved(TComponent* Component) noexcept;
  void Unlink(TComponent* Partner) noexcept;

  TComponent* Owner_ = nullptr;
  // The free-notification partners.  An engine hears of every fact set and rule it holds, so
  // a list can be long: past a handful of entries it is indexed, and a partner that leaves
  // leaves a hole instead of moving the rest, so that linking and unlinking n partners costs
  // time linear in n.
  class TPartners {
   public:
    bool Empty() const noexcept { return Index_ ? Index_->empty() : Items_.empty(); }
    void Add(TComponent* Partner);  // nothing when Partner is there already
    void Remove(TComponent* Partner) noexcept;
    // The newest partner, taken out of the list; nullptr when there is none.
    TComponent* TakeLast() noexcept;

   private:
    static constexpr size_t IndexFrom = 16;
    static constexpr size_t NotFound = static_cast<size_t>(-1);
    size_t Find(TComponent* Partner) const noexcept;  // its position, or NotFound
    void Compact() noexcept;
    std::vector<TComponent*> Items_;  // nullptr: a hole, only while indexed
    std::unique_ptr<std::unordered_map<TComponent*, size_t>> Index_;  // the live entries
  };
  // What many components never use - a name, components of their own, free-notification
  // partners - lives in a block made on first use: an engine holds thousands of rules, each a
  // component, and these fields made up half of a bare component.
  struct TRare {
    std::string Name;
    std::vector<TComponent*> Components;
    TPartners FreeNotifies;
  };
  std::unique_ptr<TRare> Rare_;
  TRare& Rare();
  TComponentState State_;
  uint16_t QuietRemovals_ = 0;
};

// The first component owned by Owner that is of Class or a descendant of it, or nullptr.
TComponent* FindComponentType(const TComponent* Owner, const TClass& Class) noexcept;

}  // namespace platform
