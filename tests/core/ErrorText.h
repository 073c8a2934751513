// The message of the engine exception a call raises, or "(no error)".
#pragma once

#include <functional>
#include <string>

#include "core/values/IEException.h"

namespace rulecore::testing {

inline std::string ErrorOf(const std::function<void()>& F) {
  try {
    F();
  } catch (const EIEException& E) {
    return E.what();
  }
  return "(no error)";
}

}  // namespace rulecore::testing
