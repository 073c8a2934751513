// TUserFunctions: the engine's function table, keyed by function name, holding built-in,
// host and interpreted functions (deffunctions are counted apart).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/functions/IEUserFunction.h"
#include "platform/HashTable.h"
#include "platform/Object.h"

namespace rulecore {

class TInferenceEngine;

class TUserFunctions : public platform::TPersistent, public platform::TStringHashTable<IUserFunction> {
  PLATFORM_CLASS(TUserFunctions, platform::TPersistent)
 public:
  explicit TUserFunctions(TInferenceEngine* Engine = nullptr) : TStringHashTable(403, 0.75), Engine_(Engine) {}
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  // Enters the function under its name; a taken name follows the duplicate policy (the old
  // function leaves first when overwritten).
  void Add(const IUserFunction& Function);
  // Removes the entry when it holds this very function.
  void Remove(const IUserFunction& Function);
  // Removes the entries holding these functions, each as Remove does, in one pass over the
  // table (removing thousands one by one moved the rest of the table each time).
  void Remove(const std::vector<IUserFunction>& Functions);
  int GetInterpretedCount() const noexcept { return Interpreted_; }
  // Empties the table (deffunctions let go of the calls they resolved); the engine leaves every
  // function's reasoners.
  void Clear();
  // Holds the source's functions afterwards: built-in and host functions are shared, deffunctions
  // are read again from their text in their order of definition.  With Tolerant set a
  // deffunction that does not read is left out and the answer is false; otherwise the error
  // passes on.
  bool Assign(const TUserFunctions& Source, bool Tolerant);
  void Assign(const platform::TPersistent& Source) override;
  // The deffunctions' texts, each after CR LF.
  std::string ToString() const;
  // Every function name, one per line (no line end after the last).
  std::string GetNamesToString() const;

 private:
  void Counted(const TIEUserFunction& Function, int Delta) noexcept;
  TInferenceEngine* Engine_;
  int Interpreted_ = 0;
};

}  // namespace rulecore
