// Enumerations with names.  PLATFORM_ENUM declares an unscoped one-byte enumeration whose
// enumerator names are available at run time, in ordinal order, through EnumInfo<E>().
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Run-time description of an enumeration: its type name and its enumerator names by ordinal.
struct TEnumInfo {
  std::string_view TypeName;
  std::vector<std::string_view> Names;

  std::string_view NameOf(unsigned Ordinal) const noexcept {
    return Ordinal < Names.size() ? Names[Ordinal] : std::string_view();
  }
  // Case-insensitive look-up of an enumerator name, as the host framework does it.
  std::optional<unsigned> OrdinalOf(std::string_view Name) const noexcept;
  unsigned Count() const noexcept { return static_cast<unsigned>(Names.size()); }
};

// Splits "a, b, c" (the stringised enumerator list) into names.
TEnumInfo MakeEnumInfo(std::string_view TypeName, std::string_view List);

template <class E>
const TEnumInfo& EnumInfo() {
  return EnumInfoOf(E{});
}

template <class E>
std::string EnumName(E Value) {
  return std::string(EnumInfo<E>().NameOf(static_cast<unsigned>(Value)));
}

}  // namespace platform

// Declares `enum Name : uint8_t { ... }` and its run-time names.  Enumerators must not carry
// explicit values: ordinals start at 0 in the order written.
#define PLATFORM_ENUM(Name, ...)                                                         \
  enum Name : uint8_t { __VA_ARGS__ };                                                   \
  inline const ::platform::TEnumInfo& EnumInfoOf(Name) {                                 \
    static const ::platform::TEnumInfo Info = ::platform::MakeEnumInfo(#Name, #__VA_ARGS__); \
    return Info;                                                                         \
  }
