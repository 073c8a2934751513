#include "TokenBacklog.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rulecore {

namespace {

// The first of Count non-falling codes that is Code or above (Count when none is).  Without
// branches: a branch on each step's comparison would be mispredicted half the time.
size_t FirstAtOrAbove(const int32_t* Codes, size_t Count, int32_t Code) noexcept {
  if (Count == 0) return 0;
  const int32_t* Base = Codes;
  while (Count > 1) {
    const size_t Half = Count / 2;
    Base = Base[Half] < Code ? Base + Half : Base;
    Count -= Half;
  }
  return static_cast<size_t>(Base - Codes) + (*Base < Code ? 1 : 0);
}

}  // namespace

bool TTokenBacklog::Append(const IReteToken& Token) {
  const int32_t Code = Token->GetSortCode();
  if (!Codes_.empty() && Code < Codes_.back()) return false;
  if (Codes_.size() == Codes_.capacity()) MakeRoom();
  // MakeRoom keeps room for a code, its token and its fence in step: nothing below allocates.
  if (Codes_.size() % FenceSpan == 0) Fences_.push_back(Code);
  Codes_.push_back(Code);
  Tokens_.push_back(Token);
  ++Live_;
  return true;
}

void TTokenBacklog::MakeRoom() {
  // Holes are closed when the arrays would grow, not on every removal: a backlog that only
  // shrinks is never moved.
  if (Live_ * 2 <= Codes_.size() && !Codes_.empty()) {
    Compact();
    return;
  }
  const size_t Room = Codes_.empty() ? 16 : Codes_.size() * 2;
  // Each reserve either succeeds or leaves its array as it was.
  Tokens_.reserve(Room);
  Fences_.reserve((Room + FenceSpan - 1) / FenceSpan);
  Codes_.reserve(Room);
}

size_t TTokenBacklog::FirstFrom(int32_t Code) const noexcept {
  // A removal's token is anywhere in a backlog of thousands: bisecting the codes alone would
  // miss the cache at nearly every step.  The fences (every FenceSpan-th code) are few and
  // stay cached; they pick the span, and the span's one or two lines finish the search.
  const size_t Span = FirstAtOrAbove(Fences_.data(), Fences_.size(), Code);
  if (Span == 0) return 0;  // Code is at most the first code
  // The span's codes below Code are counted rather than bisected: the loads do not wait for
  // one another, so the span's lines are fetched at once.  The span's fence is below Code and
  // counted with the rest, so that a whole span takes no scalar tail.
  const size_t Lo = (Span - 1) * FenceSpan;
  const size_t Hi = std::min(Span * FenceSpan, Codes_.size());
  const int32_t* const Codes = Codes_.data();
  size_t Below = 0;
  size_t I = Lo;
#if defined(__SSE2__)
  // A lane's comparison is -1 where the code is below: subtracting counts it.
  const __m128i Wanted = _mm_set1_epi32(Code);
  __m128i Counts = _mm_setzero_si128();
  for (; I + 4 <= Hi; I += 4)
    Counts = _mm_sub_epi32(Counts, _mm_cmplt_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Codes + I)), Wanted));
  Counts = _mm_add_epi32(Counts, _mm_shuffle_epi32(Counts, _MM_SHUFFLE(1, 0, 3, 2)));
  Counts = _mm_add_epi32(Counts, _mm_shuffle_epi32(Counts, _MM_SHUFFLE(2, 3, 0, 1)));
  Below = static_cast<size_t>(_mm_cvtsi128_si32(Counts));
#endif
  for (; I < Hi; ++I) Below += Codes[I] < Code ? 1 : 0;
  return Lo + Below;
}

bool TTokenBacklog::Remove(const TIEToken& Token) noexcept {
  const int32_t Code = Token.GetSortCode();
  if (Live_ == 0 || Code < Codes_.front() || Code > Codes_.back()) return false;
  for (size_t I = FirstFrom(Code); I < Codes_.size() && Codes_[I] == Code; ++I) {
    IReteToken& Held = Tokens_[I];
    if (!Held || !Held->Equals(Token)) continue;
    Held = nullptr;
    if (--Live_ == 0) Clear();
    return true;
  }
  return false;
}

void TTokenBacklog::Clear() noexcept {
  Fences_.clear();
  Codes_.clear();
  Tokens_.clear();
  Live_ = 0;
}

void TTokenBacklog::Compact() noexcept {
  size_t To = 0;
  for (size_t From = 0; From < Tokens_.size(); ++From) {
    if (!Tokens_[From]) continue;
    if (To != From) {
      Codes_[To] = Codes_[From];
      Tokens_[To] = std::move(Tokens_[From]);
    }
    ++To;
  }
  Codes_.resize(To);
  Tokens_.resize(To);
  SetFences();
}

void TTokenBacklog::SetFences() noexcept {
  // Never more fences than before: the codes only ever shrink in between.
  Fences_.resize((Codes_.size() + FenceSpan - 1) / FenceSpan);
  for (size_t I = 0; I < Fences_.size(); ++I) Fences_[I] = Codes_[I * FenceSpan];
}

void TTokenBacklog::DropFirst(size_t Count) noexcept {
  Codes_.erase(Codes_.begin(), Codes_.begin() + static_cast<std::ptrdiff_t>(Count));
  Tokens_.erase(Tokens_.begin(), Tokens_.begin() + static_cast<std::ptrdiff_t>(Count));
  SetFences();
  Live_ = static_cast<size_t>(std::count_if(Tokens_.begin(), Tokens_.end(), [](const IReteToken& T) { return T != nullptr; }));
  if (Live_ == 0) Clear();
}

}  // namespace rulecore
