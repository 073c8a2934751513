// TSet<E, N>: a set over the first N ordinals of an enumeration, stored as a bit mask.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace platform {

template <class E, unsigned N>
class TSet {
  static_assert(N >= 1 && N <= 64, "TSet holds at most 64 members");

 public:
  using TMask = std::conditional_t<(N <= 32), uint32_t, uint64_t>;
  static constexpr unsigned Size = N;

  constexpr TSet() noexcept = default;
  constexpr TSet(std::initializer_list<E> Members) noexcept {
    for (E M : Members) Bits_ |= Bit(M);
  }
  static constexpr TSet FromMask(TMask Mask) noexcept {
    TSet S;
    S.Bits_ = Mask & All().Bits_;
    return S;
  }
  static constexpr TSet All() noexcept {
    TSet S;
    S.Bits_ = N == sizeof(TMask) * 8 ? ~TMask(0) : ((TMask(1) << N) - 1);
    return S;
  }

  constexpr TMask Mask() const noexcept { return Bits_; }
  constexpr bool Contains(E M) const noexcept { return (Bits_ & Bit(M)) != 0; }
  constexpr bool Empty() const noexcept { return Bits_ == 0; }
  constexpr unsigned Count() const noexcept { return static_cast<unsigned>(std::popcount(Bits_)); }
  constexpr TSet& Include(E M) noexcept {
    Bits_ |= Bit(M);
    return *this;
  }
  constexpr TSet& Exclude(E M) noexcept {
    Bits_ &= ~Bit(M);
    return *this;
  }

  friend constexpr TSet operator|(TSet A, TSet B) noexcept { return FromMask(A.Bits_ | B.Bits_); }
  friend constexpr TSet operator&(TSet A, TSet B) noexcept { return FromMask(A.Bits_ & B.Bits_); }
  friend constexpr TSet operator-(TSet A, TSet B) noexcept { return FromMask(A.Bits_ & ~B.Bits_); }
  friend constexpr bool operator==(TSet A, TSet B) noexcept { return A.Bits_ == B.Bits_; }
  // A <= B: every member of A is in B.
  friend constexpr bool operator<=(TSet A, TSet B) noexcept { return (A.Bits_ & ~B.Bits_) == 0; }
  constexpr TSet& operator|=(TSet B) noexcept { return *this = *this | B; }
  constexpr TSet& operator&=(TSet B) noexcept { return *this = *this & B; }
  constexpr TSet& operator-=(TSet B) noexcept { return *this = *this - B; }

  // Calls F(member) for each member in ordinal order.
  template <class F>
  constexpr void ForEach(F&& Fn) const {
    for (unsigned I = 0; I < N; ++I)
      if (Bits_ & (TMask(1) << I)) Fn(static_cast<E>(I));
  }

 private:
  static constexpr TMask Bit(E M) noexcept {
    const auto I = static_cast<unsigned>(M);
    return I < N ? TMask(1) << I : TMask(0);
  }
  TMask Bits_ = 0;
};

}  // namespace platform
