// The message catalogue of the fuzzy library and its exception class.  Every failure the library
// raises is an EFzyException with one of these texts, formatted printf-style; hosts display them
// and match on them, so the texts are kept exactly as published, including the doubled blanks.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/Exceptions.h"
#include "platform/Format.h"

namespace vaguecore {

// clang-format off
#define FZY_MESSAGES(X) \
  X(SInvalidRangeArguments, "Invalid range arguments.  Left (%.4f) is greater than right (%.4f)")\
  X(SInvalidXRangeIndex, "Invalid index argument to GetXRange.  Index = %d")\
  X(SInvalidFuzzyOperation, "Invalid fuzzy operation: %s")\
  X(SReservedFuzzySetName, "Invalid fuzzy set name, \"%s\" is a reserved word")\
  X(SEmptyFuzzySet, "Invalid operation: %s.  Fuzzy set is empty")\
  X(SFuzzyDivisionByZero, "Division by zero in fuzzy hedge %s")\
  X(SNonFiniteRange, "Invalid range value.  %s must be a finite number")
// clang-format on

enum TFzyMessage : uint8_t {
#define FZY_MESSAGE_ID(Id, Text) Id,
  FZY_MESSAGES(FZY_MESSAGE_ID)
#undef FZY_MESSAGE_ID
  FzyMessageCount
};

// Operation names that fill the %s of SEmptyFuzzySet.
inline constexpr const char* SGetMaxYValue = "Get Maximum Y Value";
inline constexpr const char* SGetMinYValue = "Get Minimum Y Value";

// The text of a message, and the identifier's own name ("SEmptyFuzzySet") for diagnostics.
const char* FzyMessageText(TFzyMessage Id) noexcept;
const char* FzyMessageName(TFzyMessage Id) noexcept;

inline std::string FormatFzyMessage(TFzyMessage Id, std::initializer_list<platform::TFormatArg> Args = {}) {
  return platform::Format(FzyMessageText(Id), Args);
}

class EFzyException : public platform::Exception {
 public:
  using platform::Exception::Exception;
};

// Raises EFzyException with a formatted catalogue message.
[[noreturn]] void RaiseFzy(TFzyMessage Id, std::initializer_list<platform::TFormatArg> Args = {});

}  // namespace vaguecore
