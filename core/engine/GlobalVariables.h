// TGlobalVariables: the engine's defglobals by name.  The table keeps each variable's defining
// value (a call stays a call, evaluated again when globals are reset); the engine's root
// context holds what the variable is bound to.
#pragma once

#include <string>

#include "core/values/ValueHashTable.h"

namespace rulecore {

class TInferenceEngine;
using TEngineVariables = TValueHashTable;

class TGlobalVariables : public TEngineVariables {
  PLATFORM_CLASS(TGlobalVariables, TEngineVariables)
 public:
  explicit TGlobalVariables(TInferenceEngine* Engine = nullptr) : TEngineVariables(101, 0.75), Engine_(Engine) {}
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }

  // Stores the defining value and binds the variable to its result.
  void Put(const std::string& Name, const IIEValue& Value);
  void SetItems(const std::string& Name, const IIEValue& Value) { Put(Name, Value); }
  // Empties the table and drops the global bindings.
  void Clear();
  // Clears this table, then defines the source's variables here from their printed text (so a
  // call is read again by this engine).
  void Assign(const platform::TPersistent& Source) override;
  // Each variable's printed definition and CR LF.
  std::string ToString() const;

 private:
  TInferenceEngine* Engine_;
};

}  // namespace rulecore
