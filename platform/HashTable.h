// TStringHashTable<V>: a string-keyed hash table with case-sensitive keys.
//
// Entries keep their insertion order, which is also the order of index access and of the key
// cursor, so every listing built from a table is deterministic.  Owners may watch additions,
// deletions and clearing (OnNotify) and batched changes (OnChange after EndUpdate).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Enum.h"
#include "Exceptions.h"

namespace platform {

PLATFORM_ENUM(TTableNotification, tnAdded, tnDeleted, tnCleared)
// htSparse hashes with the system's string hash (which samples long keys); htFull hashes every
// character (better spread for long keys sharing most characters).
PLATFORM_ENUM(THashType, htSparse, htFull)

uint32_t HashKey(std::string_view Key, THashType Type) noexcept;

// The standard hash of texts, for standard maps keyed by std::string that are searched with a
// std::string_view (with std::equal_to<>), without making a string for each search.
struct TTextHash {
  using is_transparent = void;
  size_t operator()(std::string_view Text) const noexcept { return std::hash<std::string_view>{}(Text); }
};
template <class V>
using TTextMap = std::unordered_map<std::string, V, TTextHash, std::equal_to<>>;

template <class V>
class TStringHashTable {
 public:
  using TNotifyEvent = std::function<void(const std::string& Key, const V& Value, TTableNotification)>;
  using TChangeEvent = std::function<void()>;

  static constexpr int DefaultCapacity = 101;

  explicit TStringHashTable(int Capacity = DefaultCapacity, double LoadFactor = 0.75,
                            THashType HashType = htSparse)
      : Index_(0, THasher{HashType, &Entries_}, TEqual{&Entries_}), Capacity_(Capacity), LoadFactor_(LoadFactor), HashType_(HashType) {
    Configure();
  }
  TStringHashTable(const TStringHashTable&) = delete;
  TStringHashTable& operator=(const TStringHashTable&) = delete;
  ~TStringHashTable() = default;

  int GetCapacity() const noexcept { return Capacity_; }
  void SetCapacity(int Value) {
    Capacity_ = Value < 1 ? 1 : Value;
    Configure();
  }
  double GetLoadFactor() const noexcept { return LoadFactor_; }
  void SetLoadFactor(double Value) {
    LoadFactor_ = (Value > 0.05 && Value <= 16) ? Value : 0.75;
    Configure();
  }
  THashType GetHashType() const noexcept { return HashType_; }
  void SetHashType(THashType Value) {
    if (Value == HashType_) return;
    HashType_ = Value;
    Rebuild();
  }

  // Capacity, load factor and hash type of another table (an assignment copies them).
  template <class W>
  void CopySettings(const TStringHashTable<W>& Other) {
    SetLoadFactor(Other.GetLoadFactor());
    SetCapacity(Other.GetCapacity());
    SetHashType(Other.GetHashType());
  }

  int Count() const noexcept { return static_cast<int>(Entries_.size() - Holes_); }
  bool Empty() const noexcept { return Count() == 0; }

  // Stores Value under Key and returns the value it replaced (an empty V when new).
  V Put(const std::string& Key, V Value) {
    auto It = Index_.find(std::string_view(Key));
    if (It != Index_.end()) {
      V Old = std::exchange(Entries_[*It].second, std::move(Value));
      Notify(Key, Old, tnDeleted);
      Notify(Key, Entries_[*It].second, tnAdded);
      Changed();
      return Old;
    }
    Entries_.emplace_back(Key, std::move(Value));
    try {
      if (Holes_) AppendLive();
      Index_.insert(Entries_.size() - 1);
    } catch (...) {
      Entries_.pop_back();
      if (Dead_.size() > Entries_.size()) Dead_.pop_back();
      if (Live_.size() > Entries_.size() + 1) Live_.pop_back();
      throw;
    }
    Notify(Key, Entries_.back().second, tnAdded);
    Changed();
    return V();
  }

  V Get(std::string_view Key) const {
    auto It = Index_.find(Key);
    return It == Index_.end() ? V() : Entries_[*It].second;
  }
  // Pointer to the stored value, or nullptr.
  const V* Find(std::string_view Key) const {
    auto It = Index_.find(Key);
    return It == Index_.end() ? nullptr : &Entries_[*It].second;
  }
  V* Find(std::string_view Key) {
    auto It = Index_.find(Key);
    return It == Index_.end() ? nullptr : &Entries_[*It].second;
  }
  bool ContainsKey(std::string_view Key) const { return Find(Key) != nullptr; }
  // The position of Key (as KeyAt counts), or -1.
  int IndexOf(std::string_view Key) const {
    auto It = Index_.find(Key);
    return It == Index_.end() ? -1 : static_cast<int>(RankOf(*It));
  }
  bool ContainsKey(std::string_view Key, V& Found) const {
    if (const V* P = Find(Key)) {
      Found = *P;
      return true;
    }
    return false;
  }

  // Removes Key and returns its value (an empty V when absent).
  V Remove(std::string_view Key) {
    auto It = Index_.find(Key);
    if (It == Index_.end()) return V();
    const size_t Pos = *It;
    const bool Last = Pos + 1 == Entries_.size() && Holes_ == 0;
    if (!Last && Holes_ == 0) StartHoles();  // what may fail comes before any change
    Index_.erase(It);
    std::pair<std::string, V> Gone = std::move(Entries_[Pos]);
    Entries_[Pos] = {};
    // The entry leaves a hole, so that nothing moves: taking n entries out one by one (rules
    // undefined in a loop) would otherwise move the later ones n times over.  The holes go
    // when they make up half the list.
    if (Last) {
      Entries_.pop_back();
    } else {
      MarkHole(Pos);
      if (Holes_ * 2 >= Entries_.size()) Compact();
    }
    Notify(Gone.first, Gone.second, tnDeleted);
    Changed();
    return std::move(Gone.second);
  }

  // Removes every entry for which Remove(key, value) holds, in one pass that keeps the others'
  // order, then tells of each as Remove(key) does; answers how many went.  Taking n entries out
  // one by one moves the later ones n times over.  Remove must not throw.
  template <class TPredicate>
  int RemoveIf(TPredicate&& Remove) {
    Compact();
    TEntries Gone;
    size_t Kept = 0;
    for (size_t I = 0; I < Entries_.size(); ++I) {
      if (Remove(std::as_const(Entries_[I].first), std::as_const(Entries_[I].second)))
        Gone.push_back(std::move(Entries_[I]));
      else if (Kept++ != I)
        Entries_[Kept - 1] = std::move(Entries_[I]);
    }
    if (Gone.empty()) return 0;
    Entries_.resize(Kept);
    Rebuild();
    for (const auto& [Key, Value] : Gone) {
      Notify(Key, Value, tnDeleted);
      Changed();
    }
    return static_cast<int>(Gone.size());
  }

  void Clear() {
    if (Entries_.empty()) return;
    std::vector<std::pair<std::string, V>> Old;
    Old.swap(Entries_);
    Index_.clear();
    DropHoles();
    Notify(std::string(), V(), tnCleared);
    Changed();
  }

  const std::string& KeyAt(int I) const { return Entries_[Checked(I)].first; }
  const V& ValueAt(int I) const { return Entries_[Checked(I)].second; }
  V& ValueAt(int I) { return Entries_[Checked(I)].second; }

  // Key cursor: Reset, then NextKey until EndOfTable.
  void Reset() const noexcept { Cursor_ = 0; }
  bool EndOfTable() const noexcept {
    Cursor_ = NextLive(Cursor_);
    return Cursor_ >= Entries_.size();
  }
  const std::string& NextKey() const {
    Cursor_ = NextLive(Cursor_);
    if (Cursor_ >= Entries_.size()) ListIndexError(Count());
    return Entries_[Cursor_++].first;
  }

  // The entries in order, passing over holes.
  class TIterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::pair<std::string, V>;
    using reference = const value_type&;
    using pointer = const value_type*;
    using difference_type = std::ptrdiff_t;
    TIterator() noexcept = default;
    TIterator(const TStringHashTable& Table, size_t At) noexcept : Table_(&Table), At_(Table.NextLive(At)) {}
    reference operator*() const noexcept { return Table_->Entries_[At_]; }
    const value_type* operator->() const noexcept { return &Table_->Entries_[At_]; }
    TIterator& operator++() noexcept {
      At_ = Table_->NextLive(At_ + 1);
      return *this;
    }
    TIterator operator++(int) noexcept {
      TIterator Before = *this;
      ++*this;
      return Before;
    }
    bool operator==(const TIterator& Other) const noexcept { return At_ == Other.At_; }

   private:
    const TStringHashTable* Table_ = nullptr;
    size_t At_ = 0;
  };
  TIterator begin() const noexcept { return TIterator(*this, 0); }
  TIterator end() const noexcept { return TIterator(*this, Entries_.size()); }

  void BeginUpdate() noexcept { ++UpdateCount_; }
  void EndUpdate() {
    if (UpdateCount_ > 0 && --UpdateCount_ == 0 && Pending_) {
      Pending_ = false;
      if (OnChange) OnChange();
    }
  }

  TNotifyEvent OnNotify;
  TChangeEvent OnChange;

 private:
  using TEntries = std::vector<std::pair<std::string, V>>;
  // The index holds positions in Entries_ and finds them by key, so that each key is stored
  // once (a table of thousands of rules kept every name twice).
  struct THasher {
    using is_transparent = void;
    THashType Type;
    const TEntries* Entries;
    size_t operator()(std::string_view K) const noexcept { return HashKey(K, Type); }
    size_t operator()(size_t I) const noexcept { return HashKey((*Entries)[I].first, Type); }
  };
  struct TEqual {
    using is_transparent = void;
    const TEntries* Entries;
    bool operator()(size_t A, size_t B) const noexcept { return A == B; }
    bool operator()(std::string_view K, size_t I) const noexcept { return (*Entries)[I].first == K; }
    bool operator()(size_t I, std::string_view K) const noexcept { return (*Entries)[I].first == K; }
  };

  // The position in Entries_ of the I-th entry.
  size_t Checked(int I) const {
    if (I < 0 || I >= Count()) ListIndexError(I);
    return Holes_ ? PositionOf(static_cast<size_t>(I)) : static_cast<size_t>(I);
  }

  // Holes: removed entries not yet closed up.  While there are any, Dead_ marks them and Live_
  // is a Fenwick tree counting the entries that are not holes, so that the I-th entry and an
  // entry's rank are found in logarithmic time; both are empty when there are none.
  size_t Holes_ = 0;
  std::vector<uint8_t> Dead_;
  std::vector<uint32_t> Live_;  // 1-based: Live_[I] counts positions (I - lowbit(I), I]
  bool IsHole(size_t Pos) const noexcept { return Holes_ && Dead_[Pos]; }
  void StartHoles() {
    Dead_.assign(Entries_.size(), 0);
    Live_.assign(Entries_.size() + 1, 0);
    for (size_t I = 1; I < Live_.size(); ++I) {
      Live_[I] += 1;
      if (const size_t Up = I + (I & (0 - I)); Up < Live_.size()) Live_[Up] += Live_[I];
    }
  }
  size_t NextLive(size_t Pos) const noexcept {
    if (Holes_)
      while (Pos < Entries_.size() && Dead_[Pos]) ++Pos;
    return Pos < Entries_.size() ? Pos : Entries_.size();
  }
  // Entries that are not holes before position Pos.
  size_t RankOf(size_t Pos) const noexcept {
    if (!Holes_) return Pos;
    size_t Sum = 0;
    for (size_t I = Pos; I > 0; I &= I - 1) Sum += Live_[I];
    return Sum;
  }
  // The position of the entry of rank Rank (0-based) among those that are not holes.
  size_t PositionOf(size_t Rank) const noexcept {
    size_t Pos = 0;
    size_t Step = size_t{1} << (63 - __builtin_clzll(Live_.size()));
    for (; Step; Step >>= 1)
      if (Pos + Step < Live_.size() && Live_[Pos + Step] <= Rank) {
        Pos += Step;
        Rank -= Live_[Pos];
      }
    return Pos;  // 1-based Pos + 1 is the entry, so 0-based Pos
  }
  void MarkHole(size_t Pos) noexcept {
    Dead_[Pos] = 1;
    ++Holes_;
    for (size_t I = Pos + 1; I < Live_.size(); I += I & (0 - I)) --Live_[I];
  }
  // An entry appended while there are holes joins the tree.
  void AppendLive() {
    const size_t I = Entries_.size();  // 1-based position of the new last entry
    Dead_.push_back(0);
    // Live_[I] covers (I - lowbit(I), I]: the new entry and those before it in that range.
    Live_.push_back(static_cast<uint32_t>(1 + RankOf(I - 1) - RankOf(I - (I & (0 - I)))));
  }
  void DropHoles() noexcept {
    Holes_ = 0;
    Dead_.clear();
    Live_.clear();
  }
  // Closes the holes, keeping the entries' order, and indexes the entries' new positions.
  void Compact() {
    if (!Holes_) return;
    const size_t CursorRank = RankOf(std::min(Cursor_, Entries_.size()));
    size_t Kept = 0;
    for (size_t I = 0; I < Entries_.size(); ++I)
      if (!Dead_[I] && Kept++ != I) Entries_[Kept - 1] = std::move(Entries_[I]);
    Entries_.resize(Kept);
    DropHoles();
    Cursor_ = CursorRank;  // a key cursor goes on where it was
    Rebuild();
  }
  void Configure() {
    Index_.max_load_factor(static_cast<float>(LoadFactor_));
    Index_.reserve(static_cast<size_t>(Capacity_));
  }
  void Rebuild() {
    Index_ = TIndex(0, THasher{HashType_, &Entries_}, TEqual{&Entries_});
    Configure();
    for (size_t I = 0; I < Entries_.size(); ++I)
      if (!IsHole(I)) Index_.insert(I);
  }
  void Notify(const std::string& Key, const V& Value, TTableNotification What) {
    if (OnNotify) OnNotify(Key, Value, What);
  }
  void Changed() {
    if (UpdateCount_ > 0)
      Pending_ = true;
    else if (OnChange)
      OnChange();
  }

  using TIndex = std::unordered_set<size_t, THasher, TEqual>;
  TEntries Entries_;
  TIndex Index_;
  int Capacity_;
  double LoadFactor_;
  THashType HashType_;
  mutable size_t Cursor_ = 0;
  int UpdateCount_ = 0;
  bool Pending_ = false;
};

}  // namespace platform
