#include "TokenBacklog.h"

#include <algorithm>

namespace rulecore {

bool TTokenBacklog::Append(const IReteToken& Token) {
  const int32_t Code = Token->GetSortCode();
  if (!Codes_.empty() && Code < Codes_.back()) return false;
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

bool TTokenBacklog::Remove(const TIEToken& Token) noexcept {
  const int32_t Code = Token.GetSortCode();
  for (auto It = std::lower_bound(Codes_.begin(), Codes_.end(), Code); It != Codes_.end() && *It == Code; ++It) {
    IReteToken& Held = Tokens_[static_cast<size_t>(It - Codes_.begin())];
    if (!Held || !Held->Equals(Token)) continue;
    Held = nullptr;
    if (--Live_ == 0) {
      Clear();
    } else if (Live_ * 2 < Codes_.size() && Codes_.size() >= 64) {
      Compact();
    }
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
