#include "TokenBacklog.h"

#include <algorithm>

namespace rulecore {

bool TTokenBacklog::Append(const IReteToken& Token) {
  const int32_t Code = Token->GetSortCode();
  if (!Codes_.empty() && Code < Codes_.back()) return false;
  // Holes are closed when the arrays would grow, not on every removal: a backlog that only
  // shrinks is never moved.
  if (Codes_.size() == Codes_.capacity() && Live_ * 2 <= Codes_.size()) Compact();
  Codes_.push_back(Code);
  try {
    Tokens_.push_back(Token);
  } catch (...) {
    Codes_.pop_back();
    throw;
  }
  ++Live_;
  return true;
}

size_t TTokenBacklog::FirstFrom(int32_t Code) const noexcept {
  // Bisection without branches: the removed token is anywhere in a backlog of thousands, and a
  // branch on each step's comparison would be mispredicted half the time.
  const int32_t* const Codes = Codes_.data();
  const int32_t* Base = Codes;
  size_t Length = Codes_.size();
  while (Length > 1) {
    const size_t Half = Length / 2;
    Base = Base[Half] < Code ? Base + Half : Base;
    Length -= Half;
  }
  return static_cast<size_t>(Base - Codes) + (*Base < Code ? 1 : 0);
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
}

void TTokenBacklog::DropFirst(size_t Count) noexcept {
  Codes_.erase(Codes_.begin(), Codes_.begin() + static_cast<std::ptrdiff_t>(Count));
  Tokens_.erase(Tokens_.begin(), Tokens_.begin() + static_cast<std::ptrdiff_t>(Count));
  Live_ = static_cast<size_t>(std::count_if(Tokens_.begin(), Tokens_.end(), [](const IReteToken& T) { return T != nullptr; }));
  if (Live_ == 0) Clear();
}

}  // namespace rulecore
