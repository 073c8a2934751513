#include "IEToken.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/Format.h"
#include "platform/PageArena.h"

namespace rulecore {

namespace {

int32_t FactIdOf(const IFact& Fact) noexcept { return Fact ? Fact->GetID() : -1; }

// Sort codes of long chains wrap around: they only spread tokens over buckets.
int32_t SortCodeOf(const TIEToken* Parent, const TFact* Fact) noexcept {
  const uint32_t Base = Parent ? static_cast<uint32_t>(Parent->GetSortCode()) * 8u : 0u;
  return static_cast<int32_t>(Fact ? Base + static_cast<uint32_t>(Fact->GetID()) : Base);
}

}  // namespace

// =============================================================================================
// TIEToken
// =============================================================================================

// A chain is as long as its rule has patterns, which may be thousands: the links this token
// alone holds are freed one after another here, not each from inside the next one's destructor.
TIEToken::~TIEToken() {
  IReteToken Link = std::move(Parent_);
  while (Link && Link->RefCount() == 1) {
    IReteToken Next = std::move(Link->Parent_);
    Link = std::move(Next);
  }
}

TIEToken::TIEToken(TTokenAction Tag, const IFact& Fact) : Count_(1), Fact_(Fact), SortCode_(FactIdOf(Fact)) {
  SetTag(Tag);
}

TIEToken::TIEToken(const IReteToken& Parent, const IFact& Fact)
    : TIEToken(Parent, Fact, Parent ? Parent->Strength_ : 1.0f, Parent ? Parent->Tag_ : taAdd) {}

TIEToken::TIEToken(const IReteToken& Parent, const IFact& Fact, float Strength, TTokenAction Tag)
    : Count_(Parent ? Parent->Count_ + 1 : 1),
      Fact_(Fact),
      Parent_(Parent),
      SortCode_(SortCodeOf(Parent.get(), Fact.get())),
      Tag_(Tag),
      Strength_(Strength < 0 ? 0 : Strength) {}

TIEToken::TIEToken(TCopy, const TIEToken& Source)
    : Count_(Source.Count_),
      Fact_(Source.Fact_),
      Parent_(Source.Parent_),
      SortCode_(Source.SortCode_),
      Tag_(Source.Tag_),
      Strength_(Source.Strength_) {}

void TIEToken::SetTag(TTokenAction Value) {
  if (Value != taClear && !Fact_ && !Parent_) RaiseIE(SInvalidTokenAction);
  Tag_ = Value;
}

bool TIEToken::Equals(const TCloneable* Other) const {
  const auto* Token = dynamic_cast<const TIEToken*>(Other);
  return Token && Equals(*Token);
}

bool TIEToken::Equals(const TIEToken& Other) const noexcept {
  const TIEToken* A = this;
  const TIEToken* B = &Other;
  for (;;) {
    if (A == B) return true;
    if (A->SortCode_ != B->SortCode_ || A->Strength_ != B->Strength_) return false;
    // Both chains mostly hold the same fact objects: comparing them spares reading the facts.
    // Other objects with one id are the variants a multifield pattern makes of a fact, one per
    // way of splitting its fields: each is a match of its own, told apart by its values.
    if (A->Fact_ != B->Fact_ &&
        (FactIdOf(A->Fact_) != FactIdOf(B->Fact_) || !A->Fact_ || !A->Fact_->Equals(B->Fact_.get())))
      return false;
    if (!A->Parent_ || A->Parent_ == B->Parent_) return true;
    if (!B->Parent_) return false;
    A = A->Parent_.get();
    B = B->Parent_.get();
  }
}

std::string TIEToken::GetToFactsString() const {
  std::string Text;
  for (int I = 0; I < Count_; ++I) {
    const TFact* F = GetFacts(I);
    if (!F || F->GetID() < 0) continue;  // a negated or test element's place holds no fact
    if (!Text.empty()) Text += ", ";
    Text += "f-" + std::to_string(F->GetID());
  }
  return Text;
}

std::string TIEToken::GetToString() const {
  std::string Text = platform::EnumName(Tag_) + " cnt=" + std::to_string(Count_) + " negcnt=" +
                     std::to_string(NegatedCount_);
  for (const TIEToken* T = this; T; T = T->Parent_.get())
    if (T->Fact_) Text += std::string(NewLineString) + T->Fact_->ToString();
  return Text;
}

IReteToken TIEToken::Clone() const { return platform::MakeRef<TIEToken>(TCopy{}, *this); }

// =============================================================================================
// TIETokenTree
// =============================================================================================

const TIEValue* PlaceValueSearched(TFact& Fact, const std::string& Slot, int32_t SubIndex, TSlotPlace* Place) {
  const TIEValue* Value = nullptr;
  int Found = -1;
  if (Place && Fact.GetTemplate()) Found = FindSlotEntry(Fact.GetSlotValues(), Slot, *Place);
  if (Found >= 0) {
    Value = Fact.GetSlotValues().Entry(Found).Value.get();
  } else {
    // The entry is made from the slot's default here when the fact has none yet; the fact keeps
    // it, so the pointer stays valid.
    IIEValue Held;
    if (!Fact.ContainsKey(Slot, Held)) return nullptr;
    Value = Held.get();
  }
  if (!Value) return nullptr;
  if (SubIndex == NoSubIndex) return Value;
  const TValueVector* List = PeekList(*Value);
  if (!List || SubIndex < 0 || SubIndex >= List->GetValueCount()) return nullptr;
  return List->Get(SubIndex).get();
}

TIETokenTree::TIETokenTree(int Buckets, bool BySortCode, std::string Slot, int32_t SubIndex, int32_t FactIndex)
    : BySortCode_(BySortCode),
      KeyIsFactId_(!BySortCode && (Slot.empty() || IsFactPlace(Slot))),
      SubIndex_(SubIndex),
      FactIndex_(FactIndex),
      Lowest_(Buckets < 1 ? 2 : Buckets + 1),
      Buckets_(static_cast<size_t>(Buckets < 1 ? 1 : Buckets)),
      Slot_(std::move(Slot)) {
  BucketInverse_ = UINT64_MAX / Buckets_.size() + 1;
  Filled_.assign((Buckets_.size() + 63) / 64, 0);
}

int32_t TIETokenTree::KeyOfValue(const TIEValue* Value) noexcept {
  return Value ? static_cast<int32_t>(Value->GetHashCode()) : 0;
}

void TIETokenTree::SetExactParts(std::vector<TExactPart> Parts) {
  Parts_ = std::move(Parts);
  KeyIsFirstPart_ = !KeyIsFactId_ && !BySortCode_ && !Slot_.empty() && !Parts_.empty() &&
                    Parts_[0].FactIndex == FactIndex_ &&
                    Parts_[0].Slot == Slot_ && Parts_[0].SubIndex == SubIndex_;
}

namespace {

// Whether a value takes part in an exact key (see TExactPart).
bool ExactValue(const TIEValue* Value) noexcept { return Value && IEStrictHashTypes.Contains(Value->GetDType()); }

uint64_t MixExact(uint64_t Key, uint32_t Hash) noexcept { return (Key ^ Hash) * 0x9E3779B97F4A7C15ull; }

}  // namespace

int64_t TIETokenTree::ExactKey(const TIEToken& Token) { return ExactKeyFrom(Token, 0, 0); }

int64_t TIETokenTree::ExactKeyFrom(const TIEToken& Token, size_t First, uint64_t Key) {
  if (Parts_.empty()) return WildKey;
  // Parts mostly read the same fact: the chain is walked again only for another one.
  int32_t FactIndex = -1;
  TFact* Fact = nullptr;
  for (size_t I = First; I < Parts_.size(); ++I) {
    TExactPart& Part = Parts_[I];
    if (Part.FactIndex != FactIndex) {
      FactIndex = Part.FactIndex;
      Fact = Token.GetFacts(FactIndex);
      if (!Fact || Fact->GetID() < 0) return WildKey;
    }
    if (IsFactPlace(Part.Slot)) {
      // The fact's id, hashed as the fact-id value a slot holding it hashes.
      Key = MixExact(Key, static_cast<uint32_t>(Fact->GetID()));
      continue;
    }
    const TIEValue* Value = PlaceValue(*Fact, Part.Slot, Part.SubIndex, &Part.Place);
    if (!ExactValue(Value)) return WildKey;
    Key = MixExact(Key, Value->GetHashCode());
  }
  const auto Exact = static_cast<int64_t>(Key);
  return Exact == WildKey ? 0 : Exact;
}

int32_t TIETokenTree::KeyOf(const TIEToken& Token) const {
  if (BySortCode_) return Token.GetSortCode();
  TFact* Fact = Token.GetFacts(FactIndex_);
  if (!Fact) return 0;
  if (KeyIsFactId_) return Fact->GetID();
  return KeyOfValue(PlaceValue(*Fact, Slot_, SubIndex_, &Place_));
}

TIETokenTree::TKeys TIETokenTree::KeysOf(const TIEToken& Token) {
  TKeys Keys;
  if (!KeyIsFirstPart_) {
    Keys.Key = KeyOf(Token);
    Keys.HasFact = BySortCode_ || Token.GetFacts(FactIndex_) != nullptr;
    Keys.Exact = ExactKey(Token);
    return Keys;
  }
  TFact* Fact = Token.GetFacts(FactIndex_);
  if (!Fact) {
    Keys.HasFact = false;
    return Keys;  // the first part reads no fact either, so the exact key is wild
  }
  const TIEValue* Value = PlaceValue(*Fact, Slot_, SubIndex_, &Place_);
  const uint32_t Hash = Value ? Value->GetHashCode() : 0;
  Keys.Key = static_cast<int32_t>(Hash);
  if (Fact->GetID() >= 0 && ExactValue(Value)) Keys.Exact = ExactKeyFrom(Token, 1, MixExact(0, Hash));
  return Keys;
}

bool TIETokenTree::Add(const IReteToken& Token, const TKeys& Keys, bool MayBeStored) {
  const int B = BucketOf(Keys.Key);
  TBucket& Bucket = Buckets_[static_cast<size_t>(B)];
  Bucket.Used = true;
  if (B < Lowest_) Lowest_ = B;
  if (B > Highest_) Highest_ = B;
  Empty_ = false;
  const int32_t Code = Token->GetSortCode();
  if (MayBeStored && Find(Bucket, Code, *Token) >= 0) return false;
  // The memory's reference to the token is an atomic increment, which waits for every load
  // and store before it.  The bucket's tail is often not in the cache: asking for its lines
  // first and taking the reference before writing them lets the misses run meanwhile instead
  // of stalling the increment.
  if (Bucket.Size < Bucket.Capacity) {
    platform::Prefetch(&CodesOf(Bucket)[Bucket.Size]);
    if (HasExact()) platform::Prefetch(&ExactOf(Bucket)[Bucket.Size]);
    platform::Prefetch(&TokensOf(Bucket)[Bucket.Size]);
  }
  IReteToken Held(Token);
  BeforeChange(B);
  if (Bucket.Size == Bucket.Capacity) {
    // A bucket a quarter holes closes them rather than grow.
    if (Bucket.Holes * 4 >= Bucket.Size && Bucket.Holes > 0)
      Compact(Bucket);
    else
      Reallocate(Bucket, Bucket.Capacity < 4 ? 4 : Bucket.Capacity * 2);
  }
  if (Bucket.Size == 0) SetFilled(B, true);
  const uint32_t I = Bucket.Size++;
  CodesOf(Bucket)[I] = Code;
  if (HasExact()) ExactOf(Bucket)[I] = Keys.Exact;
  new (&TokensOf(Bucket)[I]) IReteToken(std::move(Held));
  ++Count_;
  return true;
}

int TIETokenTree::Find(const TBucket& B, int32_t Code, const TIEToken& Token) const noexcept {
  const int32_t* const Codes = CodesOf(B);
  const IReteToken* const Tokens = TokensOf(B);
  // The scan reads the codes line after line; asking for the first lines at once lets their
  // misses overlap instead of following one another.
  // (Removals in big buckets hit at slot 32 on average: the window covers the first 64 slots.)
  constexpr uint32_t Window = 64, Line = 64;
  for (uint32_t I = Line / sizeof(int32_t); I < B.Size && I < Window; I += Line / sizeof(int32_t))
    platform::Prefetch(&Codes[I]);
  for (uint32_t I = 0; I < B.Size && I < Window; I += Line / sizeof(IReteToken)) platform::Prefetch(&Tokens[I]);
  uint32_t I = 0;
#if defined(__SSE2__)
  // Four codes at a time: a removal from a big bucket passes over dozens of other codes.
  const __m128i Wanted = _mm_set1_epi32(Code);
  for (; I + 4 <= B.Size; I += 4) {
    const __m128i Four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Codes + I));
    for (auto Hits = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(Four, Wanted)))); Hits;
         Hits &= Hits - 1) {
      const uint32_t J = I + static_cast<uint32_t>(__builtin_ctz(Hits));
      if (Tokens[J] && Tokens[J]->Equals(Token)) return static_cast<int>(J);
    }
  }
#endif
  for (; I < B.Size; ++I)
    if (Codes[I] == Code && Tokens[I] && Tokens[I]->Equals(Token)) return static_cast<int>(I);
  return -1;
}

IReteToken TIETokenTree::Remove(const TIEToken& Token, TKeys& Keys) {
  const int B = BucketOf(Keys.Key);
  TBucket& Bucket = Buckets_[static_cast<size_t>(B)];
  const int I = Find(Bucket, Token.GetSortCode(), Token);
  if (I < 0) return nullptr;
  Keys.Exact = HasExact() ? ExactOf(Bucket)[I] : WildKey;
  BeforeChange(B);
  IReteToken* const Tokens = TokensOf(Bucket);
  IReteToken Removed = std::move(Tokens[I]);
  ++Bucket.Holes;
  --Count_;
  // The last slot always holds a token: holes at the end go now.
  while (Bucket.Size > 0 && !Tokens[Bucket.Size - 1]) {
    Tokens[--Bucket.Size].~IReteToken();
    --Bucket.Holes;
  }
  if (Bucket.Size == 0) SetFilled(B, false);
  if (Bucket.Holes * 2 > Bucket.Size) Compact(Bucket);
  return Removed;
}

void TIETokenTree::Reallocate(TBucket& B, uint32_t Capacity) {
  // Blocks come from the array pools: joins grow and drop buckets by the thousand (keying a
  // backlog fills many at once), and the general allocator's bins cost more than the copying.
  // The capacity is even, so that every array is aligned, and fills the block.  Entries are at
  // most 20 bytes, so a block holds more than half its size in entries and the capacity alone
  // tells its size (BlockBytes).
  const size_t Entry = KeyBytes() + sizeof(IReteToken);
  const size_t Class = platform::ArrayBlockBytes(Entry * ((std::max(Capacity, B.Size) + 1) & ~1u));
  TBucket New = B;
  New.Block = platform::TakeArray(Class);
  New.Capacity = static_cast<uint32_t>(Class / Entry) & ~1u;
  if (B.Size > 0) {
    std::memcpy(CodesOf(New), CodesOf(B), sizeof(int32_t) * B.Size);
    if (HasExact()) std::memcpy(ExactOf(New), ExactOf(B), sizeof(int64_t) * B.Size);
  }
  IReteToken* const From = TokensOf(B);
  IReteToken* const To = TokensOf(New);
  for (uint32_t I = 0; I < B.Size; ++I) {
    new (&To[I]) IReteToken(std::move(From[I]));
    From[I].~IReteToken();
  }
  platform::GiveArray(B.Block, BlockBytes(B));
  B = New;
}

size_t TIETokenTree::BlockBytes(const TBucket& B) const noexcept {
  return platform::ArrayBlockBytes((KeyBytes() + sizeof(IReteToken)) * B.Capacity);
}

void TIETokenTree::Compact(TBucket& B) noexcept {
  int32_t* const Codes = CodesOf(B);
  int64_t* const Exact = HasExact() ? ExactOf(B) : nullptr;
  IReteToken* const Tokens = TokensOf(B);
  uint32_t To = 0;
  for (uint32_t From = 0; From < B.Size; ++From) {
    if (!Tokens[From]) continue;
    if (To != From) {
      Codes[To] = Codes[From];
      if (Exact) Exact[To] = Exact[From];
      Tokens[To] = std::move(Tokens[From]);
    }
    ++To;
  }
  for (uint32_t I = To; I < B.Size; ++I) Tokens[I].~IReteToken();
  B.Size = To;
  B.Holes = 0;
}

void TIETokenTree::Empty(TBucket& B, bool FreeBlock) noexcept {
  IReteToken* const Tokens = TokensOf(B);
  for (uint32_t I = 0; I < B.Size; ++I) Tokens[I].~IReteToken();
  B.Size = 0;
  B.Holes = 0;
  B.Used = false;
  if (FreeBlock) {
    platform::GiveArray(B.Block, BlockBytes(B));
    B.Block = nullptr;
    B.Capacity = 0;
  }
}

TIETokenTree::~TIETokenTree() {
  for (TBucket& B : Buckets_) Empty(B, true);
}

void TIETokenTree::TVisit::Thaw() noexcept { Frozen_.reset(); }

void TIETokenTree::TVisit::Freeze() {
  if (Frozen_ || Size_ == 0) return;
  Frozen_ = std::make_unique<TFrozen>();
  Frozen_->Tokens.assign(Tokens_, Tokens_ + Size_);
  if (Exact_) Frozen_->Exact.assign(Exact_, Exact_ + Size_);
  Tokens_ = Frozen_->Tokens.data();
  Exact_ = Exact_ ? Frozen_->Exact.data() : nullptr;
}

void TIETokenTree::BeforeChange(int B) noexcept {
  for (TVisit* V = Visits_; V; V = V->Next_)
    if (B < 0 || V->Bucket_ == B) V->Freeze();
}

std::optional<std::vector<IReteToken>> TIETokenTree::GetTokens(int32_t Key) {
  const int B = VisitedBucket(Key);
  if (B < 0) return std::nullopt;
  const TBucket& Bucket = Buckets_[static_cast<size_t>(B)];
  std::vector<IReteToken> Tokens;
  Tokens.reserve(Bucket.Size - Bucket.Holes);
  const IReteToken* const Slots = TokensOf(Bucket);
  for (uint32_t I = 0; I < Bucket.Size; ++I)
    if (Slots[I]) Tokens.push_back(Slots[I]);
  return Tokens;
}

void TIETokenTree::Clear() noexcept {
  if (Empty_) return;
  BeforeChange(-1);
  for (TBucket& B : Buckets_) Empty(B, false);
  std::fill(Filled_.begin(), Filled_.end(), 0);
  Empty_ = true;
  Count_ = 0;
  Lowest_ = static_cast<int>(Buckets_.size()) + 1;
  Highest_ = -1;
}

std::string TIETokenTree::ToString() const {
  std::string Text;
  for (const TBucket& B : Buckets_) {
    if (B.Size == 0) continue;
    const IReteToken* const Tokens = TokensOf(B);
    for (uint32_t I = 0; I < B.Size; ++I)
      if (Tokens[I]) Text += Tokens[I]->GetToFactsString() + " ";
    Text += NewLineString;
  }
  return Text;
}

}  // namespace rulecore
