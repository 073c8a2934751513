// ISymbolGenerator: the engine's source of fresh names, seen from the layers below the engine.
//
// Anonymous wildcards read by the tokenizer and the renamed variables of copied patterns need
// names no other variable has.  The engine owns the counter (it is saved and restored with the
// engine), so the lower layers only receive this narrow interface.  Header only.
#pragma once

#include <string>
#include <string_view>

namespace rulecore {

class ISymbolGenerator {
 public:
  // Prefix followed by a number not handed out before by this generator.
  virtual std::string GenerateSymbol(std::string_view Prefix) = 0;

 protected:
  ~ISymbolGenerator() = default;
};

}  // namespace rulecore
