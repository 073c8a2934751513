// Constants the fuzzy library shares with the engine.
#pragma once

#include <string_view>

namespace vaguecore {

// Name of the empty fuzzy set.
inline constexpr std::string_view SEmptyFuzzySetName = "__Empty";
// Number format of fuzzy text forms.
inline constexpr std::string_view SFuzzyNumberFormat = "%.4f";

// The library's version text, "major.minor.patch".
const char* VagueCoreVersion() noexcept;

}  // namespace vaguecore
