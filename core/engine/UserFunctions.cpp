#include "UserFunctions.h"

#include "InferenceEngine.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/values/IEException.h"

namespace rulecore {

void TUserFunctions::Counted(const TIEUserFunction& Function, int Delta) noexcept {
  if (auto* Interpreted = dynamic_cast<const TInterpretedFunction*>(&Function)) {
    Interpreted_ += Delta;
    // A deffunction leaving the table releases the functions its body resolved, itself included.
    if (Delta < 0) const_cast<TInterpretedFunction*>(Interpreted)->ForgetResolvedCalls();
  }
}

void TUserFunctions::Clear() {
  for (int I = 0; I < Count(); ++I) Counted(*ValueAt(I), -1);
  TStringHashTable::Clear();
}

void TUserFunctions::Add(const IUserFunction& Function) {
  if (!Function) RaiseIE(SInvalidFunctionAdd);
  const std::string& Name = Function->GetFunctionName();
  IUserFunction Existing;
  if (ContainsKey(Name, Existing)) {
    if (Existing == Function) return;
    const TDuplicateConstructs Policy = Engine_ ? Engine_->GetDuplicateConstructs() : dcOverwrite;
    if (Policy == dcIgnore) return;
    if (Policy == dcError) RaiseIE(SDuplicateFunctionNames, {Name});
    Remove(Existing);
  }
  Put(Name, Function);
  Counted(*Function, 1);
  if (Engine_) Engine_->AddFunction(Function);
}

void TUserFunctions::Remove(const IUserFunction& Function) {
  if (!Function) return;
  IUserFunction Existing;
  if (!ContainsKey(Function->GetFunctionName(), Existing) || Existing != Function) return;
  if (Engine_) Engine_->RemoveFunction(Function);
  TStringHashTable::Remove(Function->GetFunctionName());
  Counted(*Function, -1);
}

}  // namespace rulecore
