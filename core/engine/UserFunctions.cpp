#include "UserFunctions.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "InferenceEngine.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/language/IEPrettyPrinter.h"
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
  for (int I = 0; I < Count(); ++I) {
    if (Engine_) ValueAt(I)->ForgetReasoner(Engine_);
    Counted(*ValueAt(I), -1);
  }
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

void TUserFunctions::Remove(const std::vector<IUserFunction>& Functions) {
  std::unordered_set<const TIEUserFunction*> Gone;
  for (const IUserFunction& Function : Functions) {
    IUserFunction Existing;
    if (!Function || !ContainsKey(Function->GetFunctionName(), Existing) || Existing != Function) continue;
    if (Gone.insert(Function.get()).second && Engine_) Engine_->RemoveFunction(Function);
  }
  if (Gone.empty()) return;
  // Held here until the table let go of them and they were counted out.
  std::vector<IUserFunction> Held;
  Held.reserve(Gone.size());
  RemoveIf([&](const std::string&, const IUserFunction& Function) {
    if (!Gone.contains(Function.get())) return false;
    Held.push_back(Function);
    return true;
  });
  for (const IUserFunction& Function : Held) Counted(*Function, -1);
}

void TUserFunctions::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TUserFunctions*>(&Source);
  if (!From) return TPersistent::Assign(Source);
  Assign(*From, false);
}

bool TUserFunctions::Assign(const TUserFunctions& Source, bool Tolerant) {
  if (&Source == this) return true;
  std::vector<IUserFunction> Shared;
  std::vector<IInterpretedFunction> Interpreted;
  for (const auto& [Name, Function] : Source) {
    if (auto F = platform::RefCast<TInterpretedFunction>(Function))
      Interpreted.push_back(F);
    else
      Shared.push_back(Function);
  }
  BeginUpdate();
  struct TEnd {
    TUserFunctions& Functions;
    ~TEnd() { Functions.EndUpdate(); }
  } End{*this};
  Clear();
  CopySettings(Source);
  for (const IUserFunction& F : Shared) {
    if (Engine_)
      F->AddReasoner(Engine_);
    else
      Add(F);
  }
  // Deffunctions are read in the order they were defined, so that each finds the ones it calls.
  std::stable_sort(Interpreted.begin(), Interpreted.end(),
                   [](const IInterpretedFunction& A, const IInterpretedFunction& B) { return A->GetOrder() < B->GetOrder(); });
  bool AllRead = true;
  for (const IInterpretedFunction& F : Interpreted) {
    if (!Engine_) {
      Add(F);
      continue;
    }
    try {
      Engine_->ParseFunction(PrettyPrint(*F))->AddReasoner(Engine_);
    } catch (const platform::Exception&) {
      if (!Tolerant) throw;
      AllRead = false;
    }
  }
  return AllRead;
}

std::string TUserFunctions::ToString() const {
  std::string Text;
  for (const auto& [Name, Function] : *this)
    if (auto* F = dynamic_cast<const TInterpretedFunction*>(Function.get())) {
      Text += "\r\n";
      Text += PrettyPrint(*F);
    }
  return Text;
}

std::string TUserFunctions::GetNamesToString() const {
  std::string Text;
  for (const auto& [Name, Function] : *this) {
    if (!Text.empty()) Text += "\r\n";
    Text += Name;
  }
  return Text;
}

}  // namespace rulecore
