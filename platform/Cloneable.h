// TCloneable: the base of every value-like, reference-counted object (values, lists, facts,
// templates, slots, defined types, function calls, tokens, fuzzy sets and variables).
//
// It offers two assignments whose difference is visible in the signature:
//   Assign(const TPersistent&)  copies from an object (the object form; Clone uses it);
//   Assign(const ICloneable&)   copies from a counted reference (the interface form), which a
//                               class may implement as a deeper copy than the object form.
#pragma once

#include <cstdint>
#include <string>

#include "Object.h"
#include "Ref.h"

namespace platform {

class TCloneable;
using ICloneable = Ref<TCloneable>;

class TCloneable : public TPersistent {
  PLATFORM_CLASS(TCloneable, TPersistent)
 public:
  TCloneable() noexcept = default;

  using TPersistent::Assign;
  // Interface form; by default the same as the object form.
  virtual void Assign(const ICloneable& Source);
  ICloneable Clone() const { return DoClone(); }
  // Equality with any object (false when the other is not of a comparable kind).
  virtual bool Equals(const TCloneable* Other) const;
  virtual std::string GetToString() const;
  virtual uint32_t GetHashCode() const;

  int32_t GetTag() const noexcept { return Tag_; }
  // An object that lives for the whole process is shared (by threads too) and keeps its tag.
  void SetTag(int32_t Value) noexcept {
    if (!IsImmortal()) Tag_ = Value;
  }

 protected:
  explicit constexpr TCloneable(TImmortal T) noexcept : TPersistent(T) {}
  virtual ICloneable DoClone() const = 0;

 private:
  int32_t Tag_ = 0;
};

}  // namespace platform
