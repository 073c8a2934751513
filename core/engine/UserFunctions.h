// TUserFunctions: the engine's function table, keyed by function name, holding built-in,
// host and interpreted functions (deffunctions are counted apart).
#pragma once

#include <string>
#include <string_view>

#include "core/functions/IEUserFunction.h"
#include "platform/HashTable.h"

namespace rulecore {

class TInferenceEngine;

class TUserFunctions : public platform::TStringHashTable<IUserFunction> {
 public:
  explicit TUserFunctions(TInferenceEngine* Engine = nullptr) : TStringHashTable(403, 0.75), Engine_(Engine) {}
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  // Enters the function under its name; a taken name follows the duplicate policy (the old
  // function leaves first when overwritten).
  void Add(const IUserFunction& Function);
  // Removes the entry when it holds this very function.
  void Remove(const IUserFunction& Function);
  int GetInterpretedCount() const noexcept { return Interpreted_; }
  // Empties the table (deffunctions let go of the calls they resolved).
  void Clear();

 private:
  void Counted(const TIEUserFunction& Function, int Delta) noexcept;
  TInferenceEngine* Engine_;
  int Interpreted_ = 0;
};

}  // namespace rulecore
