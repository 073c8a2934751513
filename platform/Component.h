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
    TOwned& Components = Rare_->Components;
    std::vector<TComponent*> Going;
    std::vector<TComponent*> Staying;
    Staying.reserve(Components.size());
    for (TComponent* C : Components) (Which(C) ? Going : Staying).push_back(C);
    if (Going.empty()) return;
    Components.Assign(std::move(Staying));
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
  // The owned components in order, kept around a gap: a component leaving next to the last one
  // that left moves no others, so that definitions removed in the order they were made (or the
  // reverse) leave in time linear in their number.  The gap closes when it is half the list.
  class TOwned {
   public:
    class TIterator {
     public:
      TIterator(const TOwned& List, size_t Index) noexcept : List_(&List), Index_(Index) {}
      TComponent* operator*() const noexcept { return (*List_)[Index_]; }
      TIterator& operator++() noexcept {
        ++Index_;
        return *this;
      }
      bool operator==(const TIterator& Other) const noexcept { return Index_ == Other.Index_; }

     private:
      const TOwned* List_;
      size_t Index_;
    };
    size_t size() const noexcept { return Slots_.size() - GapLength_; }
    bool empty() const noexcept { return size() == 0; }
    TComponent* operator[](size_t Index) const noexcept {
      return Slots_[Index < GapStart_ ? Index : Index + GapLength_];
    }
    TComponent* back() const noexcept { return (*this)[size() - 1]; }
    TIterator begin() const noexcept { return {*this, 0}; }
    TIterator end() const noexcept { return {*this, size()}; }
    void push_back(TComponent* Component);
    void Assign(std::vector<TComponent*>&& Components) noexcept {
      Slots_ = std::move(Components);
      GapStart_ = GapLength_ = 0;
    }
    // The component's index, or size() when it is not in the list.
    size_t IndexOf(const TComponent* Component) const noexcept;
    void EraseAt(size_t Index) noexcept;

   private:
    std::vector<TComponent*> Slots_;
    size_t GapStart_ = 0;  // where the gap stands in Slots_
    size_t GapLength_ = 0;
  };
  // What many components never use - a name, components of their own, free-notification
  // partners - lives in a block made on first use: an engine holds thousands of rules, each a
  // component, and these fields made up half of a bare component.
  struct TRare {
    std::string Name;
    TOwned Components;
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
