// Fuzz target: arbitrary bytes as rule-language text.  The tokenizer and the parser must answer
// every input with constructs or a parse error - never a crash, a hang or a sanitizer report.
// Top-level calls are parsed but not run (a fuzzer would otherwise find endless loops, which the
// language allows on purpose).
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/engine/InferenceEngine.h"
#include "core/language/IEParser.h"
#include "core/language/IETokenizer.h"

using namespace rulecore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string Text(reinterpret_cast<const char*>(Data), Size);
  // Tokens alone, to the end of the text.
  {
    TIEClipsStream Stream(platform::InMemory, Text);
    try {
      for (int I = 0; I < 1 << 20; ++I)
        if (Stream.NextToken()->IsEndOfStream()) break;
    } catch (const platform::Exception&) {
    }
  }
  // Whole texts, in both error-handling modes.
  for (TErrorHandling Mode : {ehRaiseImmediate, ehRaiseAllAtEnd}) {
    TInferenceEngine Engine;
    Engine.GetParser().SetErrorHandling(Mode);
    try {
      Engine.Parse(Text, false);
    } catch (const platform::Exception&) {
    }
  }
  return 0;
}
