// TTokenBacklog: tokens a join's right input delivered while nothing stood in its left memory,
// kept in arrival order and not yet keyed.  No left token can meet them before one arrives, and
// in stage-driven programs most of them leave before one does: they skip the keys and the
// hashed memory until a walk needs them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "IEToken.h"

namespace rulecore {

class TTokenBacklog {
 public:
  bool Empty() const noexcept { return Live_ == 0; }
  size_t Count() const noexcept { return Live_; }
  // Appends Token when its sort code is not below the last one's and answers true; false leaves
  // the backlog as it was.  The sort codes of one-fact tokens are their facts' ids, which only
  // grow, so removals can find their token by bisection.
  bool Append(const IReteToken& Token);
  // Takes out the first held token equal to Token; false when none is held.
  bool Remove(const TIEToken& Token) noexcept;
  // Empties the backlog, then runs Each(token) for each token it held, in arrival order.  When
  // Each throws, the tokens it had not yet taken stay in the backlog.
  template <class TEach>
  void Drain(TEach&& Each) {
    if (Codes_.empty()) return;
    std::vector<IReteToken> Tokens;
    Tokens.swap(Tokens_);
    size_t I = 0;
    try {
      for (; I < Tokens.size(); ++I)
        if (Tokens[I]) Each(Tokens[I]);
    } catch (...) {
      Keep(Tokens, I);
      throw;
    }
    Clear();
  }
  void Clear() noexcept;

 private:
  // Drops the holes left by removals, keeping the order.
  void Compact() noexcept;
  // Holds Tokens from index First on again (a drain that failed there).
  void Keep(std::vector<IReteToken>& Tokens, size_t First) noexcept;

  std::vector<int32_t> Codes_;      // sort codes, in arrival order (never falling)
  std::vector<IReteToken> Tokens_;  // nothing where a token was removed
  size_t Live_ = 0;
};

}  // namespace rulecore
