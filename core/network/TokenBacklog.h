// TTokenBacklog: tokens a join's right input delivered while nothing stood in its left memory,
// kept in arrival order and not yet keyed.  No left token can meet them before one arrives, and
// in stage-driven programs most of them leave before one does: they skip the keys and the
// hashed memory until a walk needs them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "IEToken.h"
#include "platform/PageArena.h"

namespace rulecore {

class TTokenBacklog {
 public:
  bool Empty() const noexcept { return Live_ == 0; }
  size_t Count() const noexcept { return Live_; }
  // Appends Token when its sort code is not below the last one's and answers true; false leaves
  // the backlog as it was.  The sort codes of one-fact tokens are their facts' ids, which only
  // grow, so a removal finds its token by searching the codes.
  bool Append(const IReteToken& Token);
  // Takes out the first held token equal to Token; false when none is held.
  bool Remove(const TIEToken& Token) noexcept;
  // Runs Each(token) for each token held, in arrival order, then empties the backlog; Each must
  // not change the backlog.  When Each throws, the token it failed on and the later ones stay.
  template <class TEach>
  void Drain(TEach&& Each) {
    if (Live_ == 0) return;
    size_t I = 0;
    try {
      for (; I < Tokens_.size(); ++I)
        if (Tokens_[I]) Each(Tokens_[I]);
    } catch (...) {
      DropFirst(I);
      throw;
    }
    Clear();  // keeps the arrays' room for the next wait
  }
  void Clear() noexcept;

 private:
  // Room for one more code, token and fence: compacts a backlog at least half holes, else grows.
  void MakeRoom();
  // The first place whose code is Code or above, the end when none is (some codes held).
  size_t FirstFrom(int32_t Code) const noexcept;
  // Drops the holes left by removals, keeping the order.
  void Compact() noexcept;
  // Drops the first Count entries (taken by a drain that failed after them).
  void DropFirst(size_t Count) noexcept;

  // Every FenceSpan-th code, from the first: where a search begins.
  static constexpr size_t FenceSpan = 16;
  // Sets the fences anew from the codes (after codes moved).
  void SetFences() noexcept;

  // Long arrays searched at random: they live in the page arena, beside the tokens.
  template <class T>
  using TArray = std::vector<T, platform::TArenaAllocator<T>>;
  TArray<int32_t> Fences_;
  TArray<int32_t> Codes_;      // sort codes, in arrival order (never falling)
  TArray<IReteToken> Tokens_;  // nothing where a token was removed
  size_t Live_ = 0;
};

}  // namespace rulecore
