// TIEToken: what flows through the matching network - a chain of facts (newest first, each
// link holding its parent) with an action tag, a strength and a negation count.  TIETokenTree
// is a join node's token memory, hashed on a key taken from each token.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "IEContext.h"
#include "core/facts/Fact.h"
#include "platform/BlockPool.h"
#include "platform/Cloneable.h"
#include "platform/Prefetch.h"

namespace rulecore {

class TIEToken;
using IReteToken = platform::Ref<TIEToken>;

class TIEToken final : public platform::TCloneable, public ITokenFacts {
  PLATFORM_CLASS(TIEToken, platform::TCloneable)
 public:
  // A clear token: no fact, strength 1.
  TIEToken() noexcept = default;
  // A one-fact token.
  TIEToken(TTokenAction Tag, const IFact& Fact);
  // Parent's facts and one more (Fact may be nothing); tag and strength come from the parent.
  TIEToken(const IReteToken& Parent, const IFact& Fact);
  // The same with a strength and a tag of its own: a join's match.  A tag other than taClear
  // with neither parent nor fact is not checked here (the one-fact constructor checks).
  TIEToken(const IReteToken& Parent, const IFact& Fact, float Strength, TTokenAction Tag);
  struct TCopy {};
  // A copy of Source with a negation count of 0.
  TIEToken(TCopy, const TIEToken& Source);
  ~TIEToken() override;

  PLATFORM_POOLED(TIEToken)

  int32_t GetCount() const noexcept { return Count_; }
  const IFact& GetFact() const noexcept { return Fact_; }
  const IReteToken& GetParent() const noexcept { return Parent_; }
  int32_t GetSortCode() const noexcept { return SortCode_; }
  TTokenAction GetTag() const noexcept { return Tag_; }
  // Any action but taClear needs a fact ("Invalid Token Action").
  void SetTag(TTokenAction Value);
  int32_t GetNegatedCount() const noexcept { return NegatedCount_; }
  void SetNegatedCount(int32_t Value) noexcept { NegatedCount_ = Value < 0 ? 0 : Value; }
  float GetStrength() const noexcept { return Strength_; }
  void SetStrength(float Value) noexcept { Strength_ = Value < 0 ? 0 : Value; }

  // The fact at Index, 0 the oldest and Count - 1 the newest.  Keys, tests and firings ask for
  // facts by index all the time: the walk down the chain is inline.
  TFact* GetFacts(int Index) const noexcept {
    if (Index < 0 || Index >= Count_) return nullptr;
    const TIEToken* T = this;
    for (int Steps = Count_ - 1 - Index; Steps > 0 && T; --Steps) T = T->Parent_.get();
    return T ? T->Fact_.get() : nullptr;
  }
  int GetFactCount() const override { return Count_; }
  TFact* GetFactAt(int Index) const override { return GetFacts(Index); }

  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  bool Equals(const TIEToken& Other) const noexcept;
  // "f-1, f-2": the facts, oldest first.
  std::string GetToFactsString() const;
  // Tag name, " cnt=" count, " negcnt=" negation count, then each fact's text on its own line.
  std::string GetToString() const override;
  IReteToken Clone() const;

 protected:
  platform::ICloneable DoClone() const override { return Clone(); }

 private:
  int32_t Count_ = 0;
  IFact Fact_;
  IReteToken Parent_;
  int32_t SortCode_ = 0;
  TTokenAction Tag_ = taClear;
  int32_t NegatedCount_ = 0;
  float Strength_ = 1.0f;
};

// The facts of a token by position, read once.  A join scanning its right memory for one left
// token tests every pair against the same left facts, and reaching a fact of a deep token walks
// the chain from the newest fact each time (a rule of twenty patterns compares with facts
// twenty links back).  Only tokens of more than two and at most MaxFacts facts are tabled.
class TTokenFactTable final : public ITokenFacts {
 public:
  static constexpr int MaxFacts = 32;
  explicit TTokenFactTable(const TIEToken& Token) noexcept {
    const int Count = Token.GetCount();
    if (Count <= 2 || Count > MaxFacts) return;
    const TIEToken* T = &Token;
    for (int I = Count - 1; I >= 0; --I) {
      Facts_[I] = T ? T->GetFact().get() : nullptr;
      if (T) T = T->GetParent().get();
    }
    Count_ = Count;
  }
  TTokenFactTable(const TTokenFactTable&) = delete;
  TTokenFactTable& operator=(const TTokenFactTable&) = delete;
  bool Usable() const noexcept { return Count_ > 0; }
  int GetFactCount() const override { return Count_; }
  TFact* GetFactAt(int Index) const override { return At(Index); }
  TFact* At(int Index) const noexcept { return Index >= 0 && Index < Count_ ? Facts_[Index] : nullptr; }

 private:
  int Count_ = 0;
  TFact* Facts_[MaxFacts];
};

// A token memory: buckets of tokens selected by a key - the token's sort code, a fact's id, or
// the hash of a slot value of the fact at a given position.
class TIETokenTree {
 public:
  TIETokenTree(int Buckets, bool BySortCode, std::string Slot, int32_t SubIndex, int32_t FactIndex);
  ~TIETokenTree();
  TIETokenTree(const TIETokenTree&) = delete;
  TIETokenTree& operator=(const TIETokenTree&) = delete;

  bool GetAllowNilBucket() const noexcept { return AllowNilBucket_; }
  void SetAllowNilBucket(bool Value) noexcept { AllowNilBucket_ = Value; }
  int GetBucketCount() const noexcept { return static_cast<int>(Buckets_.size()); }
  bool Empty() const noexcept { return Empty_; }

  // The key of a token under this memory's rule.
  int32_t KeyOf(const TIEToken& Token) const;
  // The key of a value as a slot key (the value's hash).
  static int32_t KeyOfValue(const TIEValue* Value) noexcept;
  // Exact keys let a join skip tokens without running its tests.  A join node's leading
  // equality tests compare places (a fact of the token, a slot, a field); the exact key of a
  // token combines the hash codes of the values at those places, so tokens whose exact keys
  // differ hold some unequal pair and fail one of those tests.  Only numbers and texts of a real
  // fact count (their hash codes follow strict equality); anything else - no value, a fuzzy
  // value that may equal a number, a negated pattern's empty place - makes the key WildKey, and
  // such a token is always tested.
  struct TExactPart {
    int32_t FactIndex;
    std::string Slot;
    int32_t SubIndex;
    TSlotPlace Place;
  };
  static constexpr int64_t WildKey = INT64_MIN;
  // The places, in the order of the tests; both memories of a join list the same tests.
  // Set on an empty memory, before any token is added.
  void SetExactParts(std::vector<TExactPart> Parts);
  int64_t ExactKey(const TIEToken& Token);
  int BucketOf(int32_t Key) const noexcept {
    // |Key| mod the bucket count, by multiplication with a precomputed inverse instead of a
    // division (exact for 32-bit operands): every token added, removed or joined takes this step.
    const uint32_t Magnitude = Key < 0 ? 0u - static_cast<uint32_t>(Key) : static_cast<uint32_t>(Key);
    __extension__ using TWide = unsigned __int128;
    const uint64_t Low = BucketInverse_ * Magnitude;
    return static_cast<int>((static_cast<TWide>(Low) * Buckets_.size()) >> 64);
  }

  // Both keys of a token, read in one pass over its places; a join works them out once for
  // each token it is given and uses them for its own memory and for the walk of the other one.
  // HasFact is false when the token holds no fact at the memory's fact index (Key is then 0).
  struct TKeys {
    int32_t Key = 0;
    int64_t Exact = WildKey;
    bool HasFact = true;
  };
  TKeys KeysOf(const TIEToken& Token);

  // Appends the token unless an equal one is stored; true when added.  A caller that knows no
  // equal token can be stored passes MayBeStored false and spares the search of the bucket.
  bool Add(const IReteToken& Token) { return Add(Token, KeysOf(*Token)); }
  bool Add(const IReteToken& Token, const TKeys& Keys, bool MayBeStored = true);
  // The bucket key alone (Exact stays WildKey): what a removal needs to find its bucket.
  TKeys BucketKeysOf(const TIEToken& Token) const {
    TKeys Keys;
    Keys.Key = KeyOf(Token);
    Keys.HasFact = BySortCode_ || Token.GetFacts(FactIndex_) != nullptr;
    return Keys;
  }
  // Removes the first stored token equal to Token and answers it (nothing when none was stored).
  // Keys.Key picks the bucket; Keys.Exact is then set to the exact key the stored token was
  // added with, which is what an equal token's key works out to - the removal spares reading
  // the token's places again.
  IReteToken Remove(const TIEToken& Token) {
    TKeys Keys = BucketKeysOf(Token);
    return Remove(Token, Keys);
  }
  IReteToken Remove(const TIEToken& Token, TKeys& Keys);
  // The tokens of the bucket of a key, in order (nothing when the bucket was never used and nil
  // buckets are allowed).
  std::optional<std::vector<IReteToken>> GetTokens(int32_t Key);
  // The bucket position of a key for a visit, marking it used; -1 for a nil bucket (see
  // GetTokens).
  int VisitedBucket(int32_t Key) noexcept {
    const int B = BucketOf(Key);
    TBucket& Bucket = Buckets_[static_cast<size_t>(B)];
    if (!Bucket.Used) {
      if (AllowNilBucket_) return -1;
      Bucket.Used = true;
    }
    return B;
  }

  // A walk over one bucket as it stood when the walk began, whatever the code run for each
  // token does to the memory.  The walk reads the bucket in place; only when the bucket is about
  // to change under it does the memory hand it a counted copy of the bucket to go on with.
  // A walk of a nil bucket (-1) is empty.  A walk visits slots: a slot whose token was removed
  // holds none, and MayMatch answers false for it.
  class TVisit {
   public:
    // A walk of bucket Bucket; Start moves it on to another bucket of the same memory.
    TVisit(TIETokenTree& Tree, int Bucket) noexcept;
    // Both run for every token a join is given: always inline, the rare copy's release apart.
    [[gnu::always_inline]] inline ~TVisit();
    [[gnu::always_inline]] inline void Start(int Bucket) noexcept;
    TVisit(const TVisit&) = delete;
    TVisit& operator=(const TVisit&) = delete;
    size_t Size() const noexcept { return Size_; }
    // The token of slot I; read it again after running code that may change the memory.
    const IReteToken& At(size_t I) const noexcept { return Tokens_[I]; }
    // Whether slot I holds a token that may pass a join's leading equality tests given the
    // other side's exact key (always WildKey when the memories have no exact keys).
    // The dense array of exact keys is read first: a walk for a keyed token passes over most of
    // a bucket, and reading those slots' tokens would miss the cache on each.
    bool MayMatch(size_t I, int64_t Exact) const noexcept {
      if (Exact != WildKey && Exact_) {
        const int64_t Stored = Exact_[I];
        if (Stored != Exact && Stored != WildKey) return false;
      }
      return Tokens_[I] != nullptr;
    }
    // The first slot from I on for which MayMatch holds, or Size() when none does.
    size_t Next(size_t I, int64_t Exact) const noexcept {
      while (I < Size_ && !MayMatch(I, Exact)) ++I;
      return I;
    }
    // Runs Body(I) for each slot I for which MayMatch holds, in order, reading ahead as it goes;
    // ends early when Body answers false, and answers whether it ran to the end.  Every join
    // walk runs through it, so it is always inlined into the join's own loop.
    template <class TBody>
    [[gnu::always_inline]] bool Each(int64_t Exact, TBody&& Body) {
      for (size_t I = Next(0, Exact), After; I < Size_; I = After) {
        After = Next(I + 1, Exact);
        Prefetch(I, After, Exact);
        if (!Body(I)) return false;
      }
      return true;
    }
    // Asks the processor for what the walk reads next while it is busy with slot I: each
    // comparison follows a chain of dependent loads (token, fact, value) that would otherwise
    // miss the cache one after the other.  A walk that visits every slot reads a few steps
    // ahead, the tokens and then their facts; a keyed walk asks for its next candidate's token
    // (After) and leaves the slots it passes over alone.
    void Prefetch(size_t I, size_t After, int64_t Exact) const noexcept {
      if (Exact != WildKey && Exact_) {
        if (After < Size_) platform::Prefetch(Tokens_[After].get());
        return;
      }
      if (I + 4 < Size_) platform::Prefetch(Tokens_[I + 4].get());
      if (I + 2 < Size_)
        if (const TIEToken* T = Tokens_[I + 2].get()) platform::Prefetch(T->GetFact().get());
    }

   private:
    friend class TIETokenTree;
    void Freeze();
    void Thaw() noexcept;
    TIETokenTree& Tree_;
    int Bucket_;
    const IReteToken* Tokens_ = nullptr;
    const int64_t* Exact_ = nullptr;
    size_t Size_ = 0;
    // The walk's own copy of the bucket, made only when the bucket changes under it (rare), so
    // that opening and closing a walk - done for every token a join is given - stays cheap.
    struct TFrozen {
      std::vector<IReteToken> Tokens;
      std::vector<int64_t> Exact;
    };
    std::unique_ptr<TFrozen> Frozen_;
    TVisit* Next_ = nullptr;
  };
  // Buckets in use, from the lowest to the highest position.
  int GetLowest() const noexcept { return Lowest_; }
  int GetHighest() const noexcept { return Highest_; }
  // The first bucket from From on that holds a token, or -1: a walk of every bucket asks for
  // each next one as it goes (a bit per bucket, instead of reading every bucket's header).
  int NextFilled(int From) const noexcept {
    if (From < 0) From = 0;
    for (size_t W = static_cast<size_t>(From) / 64; W < Filled_.size(); ++W) {
      uint64_t Bits = Filled_[W];
      if (W == static_cast<size_t>(From) / 64) Bits &= ~uint64_t{0} << (From % 64);
      if (Bits) return static_cast<int>(W * 64 + static_cast<size_t>(__builtin_ctzll(Bits)));
    }
    return -1;
  }
  void Clear() noexcept;
  int GetCount() const noexcept { return Count_; }
  // Each token's text, one bucket per line.
  std::string ToString() const;

 private:
  // A bucket keeps its slots in one block: each slot's sort code, then its exact key (in a
  // memory with exact keys; a join without equality tests never reads them), then its token,
  // each an array of Capacity.  Looking for a token compares the codes, and only a slot with
  // the same code is visited (a scan of the tokens themselves would miss the cache on every
  // one).  A removed token leaves a hole - a slot without a token, so that removal moves
  // nothing; holes at the end go at once, the others when they make up half the bucket.
  struct TBucket {
    void* Block = nullptr;
    uint32_t Size = 0;  // slots in use, holes included; the last one holds a token
    uint32_t Capacity = 0;
    uint32_t Holes = 0;
    bool Used = false;
  };
  bool HasExact() const noexcept { return !Parts_.empty(); }
  static int32_t* CodesOf(const TBucket& B) noexcept { return static_cast<int32_t*>(B.Block); }
  int64_t* ExactOf(const TBucket& B) const noexcept {
    return reinterpret_cast<int64_t*>(static_cast<char*>(B.Block) + sizeof(int32_t) * B.Capacity);
  }
  IReteToken* TokensOf(const TBucket& B) const noexcept {
    return reinterpret_cast<IReteToken*>(static_cast<char*>(B.Block) + KeyBytes() * B.Capacity);
  }
  // The bytes of a slot's code and exact key (capacities are even, so every array is aligned).
  size_t KeyBytes() const noexcept { return sizeof(int32_t) + (HasExact() ? sizeof(int64_t) : 0); }
  // The slot of the token with sort code Code that equals Token, or -1.
  int Find(const TBucket& B, int32_t Code, const TIEToken& Token) const noexcept;
  // Moves the bucket to a block of Capacity slots (at least its size).
  void Reallocate(TBucket& B, uint32_t Capacity);
  // The size of the bucket's block, as Reallocate chose it.
  size_t BlockBytes(const TBucket& B) const noexcept;
  // Closes the bucket's holes, keeping the tokens' order.
  void Compact(TBucket& B) noexcept;
  // Drops the bucket's tokens; FreeBlock also gives its block back.
  void Empty(TBucket& B, bool FreeBlock) noexcept;
  // Gives the open walks of bucket B (every bucket for -1) their copy before it changes.
  void BeforeChange(int B) noexcept;
  // The exact key from part First on, given the key mixed from the parts before it.
  int64_t ExactKeyFrom(const TIEToken& Token, size_t First, uint64_t Key);

  // Every token added, removed or joined reads the first two cache lines: what its key reads,
  // then where its bucket is.  A join node holds its memories in place, so these lines are
  // found without a pointer to follow first.
  bool BySortCode_;
  bool KeyIsFirstPart_ = false;  // the first exact part reads the place the bucket key reads
  // The key is the id of the fact at the fact index: no slot, or the fact place (IsFactPlace),
  // whose id hashes as a fact-id value in a slot does.
  bool KeyIsFactId_;
  bool Empty_ = true;
  bool AllowNilBucket_ = true;
  int32_t SubIndex_;
  int32_t FactIndex_;
  int Lowest_;
  int Highest_ = -1;
  int Count_ = 0;
  uint64_t BucketInverse_ = 0;  // 2^64 / bucket count, rounded up (see BucketOf)
  std::vector<TBucket> Buckets_;
  TVisit* Visits_ = nullptr;  // the open walks, newest first
  mutable TSlotPlace Place_;
  std::vector<TExactPart> Parts_;
  std::vector<uint64_t> Filled_;  // a bit per bucket: set while it holds a token
  void SetFilled(int B, bool Value) noexcept {
    const uint64_t Bit = uint64_t{1} << (B % 64);
    uint64_t& Word = Filled_[static_cast<size_t>(B) / 64];
    Word = Value ? Word | Bit : Word & ~Bit;
  }
  std::string Slot_;
};

// Walks open and close for every token a join is given: their steps are inline.
inline TIETokenTree::TVisit::TVisit(TIETokenTree& Tree, int Bucket) noexcept : Tree_(Tree), Next_(Tree.Visits_) {
  Tree.Visits_ = this;
  Start(Bucket);
}

inline TIETokenTree::TVisit::~TVisit() {
  // Walks end in the reverse order of their start (they live on the stack).
  if (Tree_.Visits_ == this) [[likely]] {
    Tree_.Visits_ = Next_;
    return;
  }
  TVisit** Link = &Tree_.Visits_;
  while (*Link && *Link != this) Link = &(*Link)->Next_;
  if (*Link) *Link = Next_;
}

inline void TIETokenTree::TVisit::Start(int Bucket) noexcept {
  Bucket_ = Bucket;
  if (Frozen_) [[unlikely]]
    Thaw();
  if (Bucket < 0) {
    Tokens_ = nullptr;
    Exact_ = nullptr;
    Size_ = 0;
    return;
  }
  const TBucket& B = Tree_.Buckets_[static_cast<size_t>(Bucket)];
  Size_ = B.Size;
  Tokens_ = Size_ ? Tree_.TokensOf(B) : nullptr;
  Exact_ = Size_ && Tree_.HasExact() ? Tree_.ExactOf(B) : nullptr;
}

// The value a place of a fact holds: the slot value, or the element at SubIndex of a multislot
// (nothing when the slot or the element is missing).
// Place, when given, is where the slot was found last (see TSlotPlace).
// The common case - a whole slot at its remembered place - is decided inline: matching asks
// this for every key part and slot test.
const TIEValue* PlaceValueSearched(TFact& Fact, const std::string& Slot, int32_t SubIndex, TSlotPlace* Place);
inline const TIEValue* PlaceValue(TFact& Fact, const std::string& Slot, int32_t SubIndex,
                                  TSlotPlace* Place = nullptr) {
  const TIEValue* Value;
  if (Place && SubIndex == NoSubIndex && PlacedValue(Fact, *Place, Value)) return Value;
  return PlaceValueSearched(Fact, Slot, SubIndex, Place);
}

}  // namespace rulecore
