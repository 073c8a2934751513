// An engine with its console output captured: what rule text run through it printed.
#pragma once

#include <cstdint>
#include <string>

#include "core/engine/InferenceEngine.h"

namespace rulecore::testing {

struct TConsole {
  TInferenceEngine Engine;
  std::string Output;
  TConsole() {
    Engine.OnPrintOut = [this](TInferenceEngine*, const std::string&, const std::string& Text) { Output += Text; };
  }
  // Runs Text's constructs and commands; answers what they printed (results echo as at the
  // console).
  std::string Run(const std::string& Text) {
    Output.clear();
    Engine.Parse(Text, true);
    return Output;
  }
  // Fires at most Limit rules and answers what they printed.
  std::string Fire(int32_t Limit = INT32_MAX) {
    Output.clear();
    Engine.Run(Limit);
    return Output;
  }
};

}  // namespace rulecore::testing
