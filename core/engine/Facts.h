// TFacts: working memory's list of asserted facts, kept in ascending fact-id order, with a cache
// from fact hash code to facts that finds duplicates without comparing against every fact.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/facts/Fact.h"
#include "platform/Object.h"
#include "platform/PointerHashIndex.h"
#include "platform/Properties.h"

namespace rulecore {

class TInferenceEngine;

class TFacts : public platform::TPersistent {
  PLATFORM_CLASS(TFacts, platform::TPersistent)
 public:
  explicit TFacts(TInferenceEngine* Engine = nullptr);
  TFacts(const TFacts&) = delete;
  TFacts& operator=(const TFacts&) = delete;

  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  int Count() const noexcept { return static_cast<int>(Items_.size() - Holes_); }
  const IFact& Get(int Index) const;
  const std::vector<IFact>& Items() const noexcept {
    Dense();
    return Items_;
  }
  auto begin() const noexcept { return Items().begin(); }
  auto end() const noexcept { return Items().end(); }

  bool GetCacheHashCodes() const noexcept { return Caching_; }
  void SetCacheHashCodes(bool Value);
  bool GetPreserveIDs() const noexcept { return PreserveIDs_; }
  void SetPreserveIDs(bool Value) noexcept { PreserveIDs_ = Value; }
  // The flags are what a stored engine keeps of its fact list; the facts themselves go with
  // the engine ("FactsList").
  static void DeclareProperties(platform::TPropertyList<TFacts>& P) {
    P.Add("CacheHashCodes", &TFacts::GetCacheHashCodes, &TFacts::SetCacheHashCodes, true);
    P.Add("PreserveIDs", &TFacts::GetPreserveIDs, &TFacts::SetPreserveIDs, false);
  }
  int32_t GetHighestID() const noexcept { return Highest_; }
  // The id after the highest one, kept in range (an id of INT32_MAX leaves none after it).
  int32_t AfterHighest() const noexcept { return Highest_ < INT32_MAX ? Highest_ + 1 : INT32_MAX; }

  // --- changes from outside go through the engine ---
  // Asserts the fact (keeping its id when PreserveIDs allows); answers the last index.
  int Add(const IFact& Fact);
  void Insert(int Index, const IFact& Fact);
  // Retracts the fact at Index.
  void Delete(int Index);
  // Empties the list and the cache, then the engine withdraws every match.
  void Clear();

  // --- look-ups ---
  int FindFact(int32_t ID) const noexcept;
  IFact GetFactByID(int32_t ID) const noexcept;
  int IndexOf(const TFact* Fact) const noexcept;
  // The index of a fact equal to Fact (the duplicate test of assertion), or -1.
  int FindFact(const TFact& Fact) const;

  // --- the engine's own changes ---
  void Append(const IFact& Fact);
  void RemoveAt(int Index);
  void ClearList() noexcept;

  std::string ToString() const;
  std::string ToIDString() const;
  // Clears this list, then asserts a copy of every fact of the source list (of this engine's
  // template of the same name, which must equal the source's).
  void Assign(const platform::TPersistent& Source) override;

 private:
  void CacheAdd(TFact* Fact);
  void CacheRemove(TFact* Fact);

  // Retracting from the middle of a long list would move every later fact.  A retracted fact
  // leaves a hole instead (its place in Items_ empties, its id stays in Ids_, so the ids still
  // ascend), and a count of the live places in front of each place turns positions in the
  // list into places and back in logarithmic time.  The holes are closed when they make up
  // half the places, and before the list is handed out whole.
  void Dense() const noexcept {
    if (Holes_) Compact();
  }
  void Compact() const noexcept;
  // The place of the fact at list position Index, and the list position of a live place.
  size_t PlaceAt(int Index) const noexcept;
  int PositionOf(size_t Place) const noexcept;
  // The first live place holding fact id ID, or -1.
  int PlaceOfID(int32_t ID) const noexcept;
  int PlaceOf(const TFact* Fact) const noexcept;
  // The live-place counts (a Fenwick tree over the places, 1-based), kept while there are holes.
  int32_t LiveBefore(size_t End) const noexcept;  // live places among the first End
  void BuildLiveCounts() const;
  void AppendLiveCount() const;

  TInferenceEngine* Engine_;
  mutable std::vector<IFact> Items_;  // by ascending id; an empty entry is a hole
  mutable std::vector<int32_t> Ids_;  // each place's fact id, holes included
  mutable std::vector<int32_t> Live_;
  mutable size_t Holes_ = 0;
  bool Caching_ = true;
  bool PreserveIDs_ = false;
  int32_t Highest_ = 0;
  struct TLowerID {
    bool operator()(const TFact* A, const TFact* B) const noexcept { return A->GetID() < B->GetID(); }
  };
  // Among equal facts the duplicate check answers the first in the list, the lowest id.
  // Facts of fuzzy templates are always there: every fuzzy assertion looks for an equal fact.
  platform::TPointerHashIndex<TFact, TLowerID> Cache_;
  bool Cached(const TFact& Fact) const noexcept;
};

}  // namespace rulecore
