// TFactSets: the deffacts known to an engine, in the order they joined it.  A set belongs to
// at most one engine's list; joining the list attaches the set to the engine and leaving it
// detaches the set.  Two sets of one name never stand side by side: the later one replaces
// the earlier.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Object.h"

namespace rulecore {

class TInferenceEngine;
class TFactSet;

class TFactSets : public platform::TPersistent {
  PLATFORM_CLASS(TFactSets, platform::TPersistent)
 public:
  explicit TFactSets(TInferenceEngine* Engine = nullptr) : Engine_(Engine) {}
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }

  int Count() const noexcept { return static_cast<int>(Items_.size()); }
  TFactSet* GetItem(int Index) const;
  auto begin() const noexcept { return Items_.begin(); }
  auto end() const noexcept { return Items_.end(); }
  const std::vector<TFactSet*>& Items() const noexcept { return Items_; }
  int IndexOf(const TFactSet* Set) const noexcept;
  // The set of that name (compared exactly), or nullptr.
  TFactSet* Find(std::string_view Name) const noexcept;

  // Attaches Set to the engine (its lines become the engine's facts).
  void Add(TFactSet* Set);
  // Detaches Set; the set itself stays with its owner.
  void Remove(TFactSet* Set);
  TFactSet* Extract(TFactSet* Set) {
    Remove(Set);
    return Set;
  }
  // For each source set, a new set owned by the engine that copies it.
  void Assign(const platform::TPersistent& Source) override;
  // The sets' texts, one after the other.
  std::string ToString() const;

  // The list side of attaching and detaching, called by the sets themselves.
  void Attached(TFactSet* Set);
  void Detached(TFactSet* Set) noexcept;

 private:
  // The set that goes by Name in ByName_ (rebuilt after a listed set was renamed), or nullptr.
  TFactSet* Named(const std::string& Name);

  TInferenceEngine* Engine_;
  std::vector<TFactSet*> Items_;
  // Membership and names, so that a set joins in constant time however many there are.
  std::unordered_set<const TFactSet*> Members_;
  std::unordered_map<std::string, TFactSet*> ByName_;
  uint64_t RenamesSeen_ = 0;
};

}  // namespace rulecore
