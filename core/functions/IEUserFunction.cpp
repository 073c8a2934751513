#include "IEUserFunction.h"

#include <algorithm>

#include "IEFunctionCall.h"
#include "core/values/IEException.h"
#include "platform/Exceptions.h"

namespace rulecore {

TIEUserFunction::TIEUserFunction(std::string Name, std::string ArgumentString, int32_t Min, int32_t Max,
                                 std::string Comment)
    : MinArgumentCount_(Min < 0 ? 0 : Min),
      MaxArgumentCount_(Max < MinArgumentCount_ ? MinArgumentCount_ : Max),
      Comment_(std::move(Comment)),
      FunctionName_(std::move(Name)),
      ArgumentString_(std::move(ArgumentString)) {}

TIEUserFunction::~TIEUserFunction() = default;

void TIEUserFunction::SetMinArgumentCount(int32_t Value) {
  MinArgumentCount_ = Value;
  if (MaxArgumentCount_ < Value) MaxArgumentCount_ = Value;
}

void TIEUserFunction::SetMaxArgumentCount(int32_t Value) {
  MaxArgumentCount_ = Value;
  if (MinArgumentCount_ > Value) MinArgumentCount_ = Value;
}

void TIEUserFunction::SetFunctionName(const std::string& Value) {
  if (Value == FunctionName_) return;
  if (Reasoners_.empty()) {
    FunctionName_ = Value;
    return;
  }
  // Each engine's table is keyed by name: leave every table, rename, and come back.
  const IUserFunction Self(this);
  for (IReasoner* R : Reasoners_) R->RemoveUserFunction(Self);
  FunctionName_ = Value;
  for (IReasoner* R : Reasoners_) R->AddUserFunction(Self);
}

int TIEUserFunction::AddReasoner(IReasoner* Reasoner) {
  const int Existing = IndexOfReasoner(Reasoner);
  if (Existing >= 0 || !Reasoner) return Existing;
  Reasoners_.push_back(Reasoner);
  Reasoner->AddUserFunction(IUserFunction(this));
  return GetReasonerCount() - 1;
}

void TIEUserFunction::DeleteReasoner(int Index) {
  if (Index < 0 || Index >= GetReasonerCount()) platform::ListIndexError(Index);
  IReasoner* R = Reasoners_[static_cast<size_t>(Index)];
  Reasoners_.erase(Reasoners_.begin() + Index);
  R->RemoveUserFunction(IUserFunction(this));
}

void TIEUserFunction::DeleteReasoner(IReasoner* Reasoner) {
  const int Index = IndexOfReasoner(Reasoner);
  if (Index >= 0) DeleteReasoner(Index);
}

void TIEUserFunction::ClearReasoners() {
  const IUserFunction Self(this);  // an engine's table may hold the last reference
  while (!Reasoners_.empty()) DeleteReasoner(GetReasonerCount() - 1);
}

int TIEUserFunction::IndexOfReasoner(const IReasoner* Reasoner) const noexcept {
  auto It = std::find(Reasoners_.begin(), Reasoners_.end(), Reasoner);
  return It == Reasoners_.end() ? -1 : static_cast<int>(It - Reasoners_.begin());
}

IReasoner* TIEUserFunction::GetReasoner(int Index) const {
  if (Index < 0 || Index >= GetReasonerCount()) platform::ListIndexError(Index);
  return Reasoners_[static_cast<size_t>(Index)];
}

void TIEUserFunction::ForgetReasoner(IReasoner* Reasoner) noexcept {
  Reasoners_.erase(std::remove(Reasoners_.begin(), Reasoners_.end(), Reasoner), Reasoners_.end());
}

void TIEUserFunction::Call(TFunctionCall& FunCall, platform::TObject* Context, IIEValue& Result) {
  const int Count = FunCall.GetArgumentCount();
  if (Count < GetMinArgumentCount()) RaiseIE(STooFewArgs, {FunctionName_});
  if (Count > GetMaxArgumentCount()) RaiseIE(STooManyArgs, {FunctionName_});
  IValueContext* Values = platform::CachedCast<IValueContext>(Context);
  Execute(FunCall, Values ? Values->GetRuleContext() : nullptr, Result);
}

void TIEUserFunction::Execute(TFunctionCall&, TIEContext*, IIEValue& Result) { Result = nullptr; }

std::string TIEUserFunction::GetToString(IReasoner* Reasoner) {
  return Reasoner ? Reasoner->PrettyPrint(*this) : FunctionName_;
}

void TIEUserFunction::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TIEUserFunction*>(&Source);
  if (!From) return TPersistent::Assign(Source);
  MinArgumentCount_ = From->MinArgumentCount_;
  MaxArgumentCount_ = From->MaxArgumentCount_;
  Comment_ = From->Comment_;
  SetFunctionName(From->FunctionName_);
}

}  // namespace rulecore
