#include "IEPackages.h"

#include <algorithm>

#include "core/values/IEException.h"
#include "platform/ComponentStream.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

namespace rulecore {

// =============================================================================================
// TUserFunctionList
// =============================================================================================

const IUserFunction& TUserFunctionList::Item(int Index) const {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  return Items_[static_cast<size_t>(Index)];
}

int TUserFunctionList::IndexOf(const TIEUserFunction* Function) const noexcept {
  for (size_t I = 0; I < Items_.size(); ++I)
    if (Items_[I].get() == Function) return static_cast<int>(I);
  return -1;
}

int TUserFunctionList::Add(const IUserFunction& Function) {
  const int Existing = IndexOf(Function.get());
  if (Existing >= 0 || !Function) return Existing;
  Items_.push_back(Function);
  Package_->FunctionAdded(*Function);
  return Count() - 1;
}

void TUserFunctionList::Delete(int Index) {
  const IUserFunction Function = Item(Index);
  Items_.erase(Items_.begin() + Index);
  Package_->FunctionRemoved(*Function);
}

void TUserFunctionList::Clear() {
  while (!Items_.empty()) Delete(Count() - 1);
}

// =============================================================================================
// TCustomReasonerOwner
// =============================================================================================

int TCustomReasonerOwner::IndexOfReasoner(const IReasoner* Reasoner) const noexcept {
  auto It = std::find(Reasoners_.begin(), Reasoners_.end(), Reasoner);
  return It == Reasoners_.end() ? -1 : static_cast<int>(It - Reasoners_.begin());
}

int TCustomReasonerOwner::AddReasoner(IReasoner* Reasoner) {
  const int Existing = IndexOfReasoner(Reasoner);
  if (Existing >= 0 || !Reasoner) return Existing;
  Reasoners_.push_back(Reasoner);
  ReasonerAdded(Reasoner);
  return GetReasonerCount() - 1;
}

void TCustomReasonerOwner::RemoveReasoner(IReasoner* Reasoner) {
  const int Index = IndexOfReasoner(Reasoner);
  if (Index < 0) return;
  Reasoners_.erase(Reasoners_.begin() + Index);
  ReasonerRemoved(Reasoner);
}

void TCustomReasonerOwner::ClearReasoners() {
  while (!Reasoners_.empty()) RemoveReasoner(Reasoners_.back());
}

// =============================================================================================
// TUserPackage
// =============================================================================================

TUserPackage::TUserPackage(platform::TComponent* Owner) : TCustomReasonerOwner(Owner) {
  if (auto* Reasoner = dynamic_cast<IReasoner*>(Owner)) AddReasoner(Reasoner);
}

TUserPackage::~TUserPackage() {
  Destroying();
  ClearReasoners();
  Functions_.Clear();
}

void TUserPackage::CreateFunctions() {
  if (OnCreateFunctions) OnCreateFunctions(this);
}

void TUserPackage::SetReset(bool Value) {
  if (!Value) return;
  Functions_.Clear();
  CreateFunctions();
}

int TUserPackage::IndexOf(std::string_view Name) const noexcept {
  for (int I = 0; I < Functions_.Count(); ++I)
    if (Functions_.Item(I)->GetFunctionName() == Name) return I;
  return -1;
}

void TUserPackage::FunctionAdded(TIEUserFunction& Function) {
  for (int I = 0; I < GetReasonerCount(); ++I) Function.AddReasoner(GetReasoner(I));
}

void TUserPackage::FunctionRemoved(TIEUserFunction& Function) {
  for (int I = 0; I < GetReasonerCount(); ++I) Function.DeleteReasoner(GetReasoner(I));
}

void TUserPackage::ReasonerAdded(IReasoner* Reasoner) {
  for (int I = 0; I < Functions_.Count(); ++I) Functions_.Item(I)->AddReasoner(Reasoner);
}

void TUserPackage::ReasonerRemoved(IReasoner* Reasoner) {
  for (int I = 0; I < Functions_.Count(); ++I) {
    const IUserFunction& Function = Functions_.Item(I);
    const int Index = Function->IndexOfReasoner(Reasoner);
    if (Index >= 0) Function->DeleteReasoner(Index);
  }
  if (Engine_ && ReasonerOf(Engine_) == Reasoner) Engine_ = nullptr;
}

void TUserPackage::SetEngine(TInferenceEngine* Value) {
  if (Value == Engine_) return;
  if (Engine_) RemoveFreeNotification(ComponentOf(Engine_));
  if (IsDesigning()) {
    Engine_ = Value;
  } else {
    if (Engine_) RemoveReasoner(ReasonerOf(Engine_));
    Engine_ = Value;
    if (Value) AddReasoner(ReasonerOf(Value));
  }
  if (Value) FreeNotification(ComponentOf(Value));
}

void TUserPackage::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TCustomReasonerOwner::Notification(Component, Operation);
  if (Operation != platform::opRemove) return;
  if (Engine_ && Component == ComponentOf(Engine_)) {
    IReasoner* Engine = ReasonerOf(Engine_);
    Engine_ = nullptr;
    RemoveReasoner(Engine);
  } else if (auto* Reasoner = dynamic_cast<IReasoner*>(Component)) {
    RemoveReasoner(Reasoner);
  }
}

void TUserPackage::DeclareProperties(platform::TPropertyList<TUserPackage>& P) {
  P.Add("Engine", &TUserPackage::GetEngineComponent, &TUserPackage::SetEngineComponent);
  P.AddField("OnCreateFunctions", &TUserPackage::OnCreateFunctions);
  P.Add("Reset", &TUserPackage::GetReset, &TUserPackage::SetReset, false);
}

void TUserPackage::DefineProperties(platform::TObject& Instance, platform::TFiler& Filer) {
  auto& Package = static_cast<TUserPackage&>(Instance);
  Filer.DefineProperty(
      "PackageFunctions", [&Package](platform::TReader& Reader) { Package.ReadFunctions(Reader); },
      [&Package](platform::TWriter& Writer) { Package.WriteFunctions(Writer); }, Package.Functions_.Count() > 0);
}

void TUserPackage::WriteFunctions(platform::TWriter& Writer) const {
  Writer.WriteListBegin();
  for (int I = 0; I < Functions_.Count(); ++I) {
    const TIEUserFunction& Function = *Functions_.Item(I);
    if (dynamic_cast<const TIEInnerFunction*>(&Function)) continue;
    Writer.WriteListBegin();
    Writer.WriteString(Function.ClassName());
    Writer.WriteString(Function.GetFunctionName());
    Writer.WriteString(Function.GetComment());
    Writer.WriteInteger(Function.GetMaxArgumentCount());
    Writer.WriteInteger(Function.GetMinArgumentCount());
    Writer.WriteListEnd();
  }
  Writer.WriteListEnd();
}

void TUserPackage::ReadFunctions(platform::TReader& Reader) {
  struct TStored {
    std::string Class, Name, Comment;
    int32_t Max, Min;
  };
  // The whole list is read before anything changes, so a malformed one leaves the package as
  // it was.
  std::vector<TStored> Stored;
  auto Count = [](int64_t Value) {
    if (Value < INT32_MIN || Value > INT32_MAX)
      throw platform::EStreamError("Invalid component stream: argument count out of range in PackageFunctions");
    return static_cast<int32_t>(Value);
  };
  Reader.ReadListBegin();
  while (!Reader.EndOfList()) {
    Reader.ReadListBegin();
    TStored S;
    S.Class = Reader.ReadString();
    S.Name = Reader.ReadString();
    S.Comment = Reader.ReadString();
    S.Max = Count(Reader.ReadInteger());
    S.Min = Count(Reader.ReadInteger());
    Reader.ReadListEnd();
    Stored.push_back(std::move(S));
  }
  Reader.ReadListEnd();

  std::vector<IUserFunction> Own;
  for (int I = 0; I < Functions_.Count(); ++I) Own.push_back(Functions_.Item(I));
  std::vector<bool> Taken(Own.size(), false);
  // The package's own function of the class: the one of the stored name, else the next free.
  auto TakeOwn = [&](const TStored& S) -> IUserFunction {
    for (const bool ByName : {true, false})
      for (size_t I = 0; I < Own.size(); ++I)
        if (!Taken[I] && platform::SameText(Own[I]->ClassName(), S.Class) &&
            (!ByName || Own[I]->GetFunctionName() == S.Name)) {
          Taken[I] = true;
          return Own[I];
        }
    return nullptr;
  };
  Functions_.Clear();
  for (const TStored& S : Stored) {
    IUserFunction Function = TakeOwn(S);
    if (!Function) {
      const platform::TClass& Class = platform::GetClass(S.Class);
      if (!Class.InheritsFrom(TIEUserFunction::StaticClass()) || !Class.Factory)
        throw platform::EStreamError(
            platform::Format("Invalid component stream: class %s is not a function class that can be created", {S.Class}));
      platform::TObject* Object = Class.CreateInstance();
      auto* Made = dynamic_cast<TIEUserFunction*>(Object);
      if (!Made) {
        delete Object;
        throw platform::EStreamError(
            platform::Format("Invalid component stream: class %s did not make a function", {S.Class}));
      }
      Function = IUserFunction(Made);
    }
    Function->SetFunctionName(S.Name);
    Function->SetComment(S.Comment);
    Function->SetMaxArgumentCount(S.Max);
    Function->SetMinArgumentCount(S.Min);
    Functions_.Add(Function);
  }
}

// =============================================================================================
// Host functions
// =============================================================================================

void TIEInnerFunction::Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  TIEUserFunction::Execute(FunCall, Context, Result);
  if (Orphaned_) RaiseIE(SNoSuchFunction, {GetFunctionName()});
  if (Owner_)
    Owner_->Call(FunCall, Context, Result);
  else if (Handler_)
    Handler_(this, FunCall, Context, Result);
}

TCustomUserFunction::TCustomUserFunction(platform::TComponent* Owner)
    : TComponent(Owner), Inner_(platform::MakeRef<TIEInnerFunction>(this)) {}

TCustomUserFunction::~TCustomUserFunction() {
  Destroying();
  Inner_->ClearReasoners();
  Inner_->OwnerDestroyed();
}

void TCustomUserFunction::SetFunctionName(const std::string& Value) {
  Inner_->SetFunctionName(Value);
  // Only a named function can stand in an engine's table.
  if (Value.empty())
    Inner_->ClearReasoners();
  else if (Engine_)
    Inner_->AddReasoner(ReasonerOf(Engine_));
}

void TCustomUserFunction::SetMinArgumentCount(int32_t Value) {
  Inner_->SetMinArgumentCount(Value);
  RebuildArgumentString();
}

void TCustomUserFunction::SetMaxArgumentCount(int32_t Value) {
  Inner_->SetMaxArgumentCount(Value);
  RebuildArgumentString();
}

void TCustomUserFunction::RebuildArgumentString() {
  Inner_->SetArgumentString(
      BuildArgumentString(Inner_->GetArgumentString(), Inner_->GetMinArgumentCount(), Inner_->GetMaxArgumentCount()));
}

void TCustomUserFunction::SetEngine(TInferenceEngine* Value) {
  if (Value == Engine_) return;
  if (Engine_) {
    RemoveFreeNotification(ComponentOf(Engine_));
    Inner_->DeleteReasoner(ReasonerOf(Engine_));
  }
  Engine_ = Value;
  if (Engine_) {
    if (!GetFunctionName().empty()) Inner_->AddReasoner(ReasonerOf(Engine_));
    FreeNotification(ComponentOf(Engine_));
  }
}

void TCustomUserFunction::DeclareProperties(platform::TPropertyList<TCustomUserFunction>& P) {
  using F = TCustomUserFunction;
  P.Add("Comment", &F::GetComment, &F::SetComment);
  P.Add("Engine", &F::GetEngineComponent, &F::SetEngineComponent);
  P.Add("FunctionName", &F::GetFunctionName, &F::SetFunctionName);
  P.Add("MaxArgumentCount", &F::GetMaxArgumentCount, &F::SetMaxArgumentCount, TIEUserFunction::NoLimit);
  P.Add("MinArgumentCount", &F::GetMinArgumentCount, &F::SetMinArgumentCount, 0);
  P.Add("ArgumentString", &F::GetArgumentString, &F::SetArgumentString);
  P.AddField("OnCall", &F::OnCall);
}

void TCustomUserFunction::Call(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  Result = FCNil;
  if (!IsDesigning() && OnCall) OnCall(this, FunCall, Context, Result);
}

void TCustomUserFunction::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation == platform::opRemove && Engine_ && Component == ComponentOf(Engine_)) {
    Inner_->DeleteReasoner(ReasonerOf(Engine_));
    Engine_ = nullptr;
  }
}

std::string BuildArgumentString(std::string_view Current, int32_t Min, int32_t Max) {
  if (Max < Min || Max == 0) return {};
  std::string Result;
  int Open = 0;
  if (Min == 0) {
    Result += '[';
    ++Open;
  }
  size_t Pos = 0;
  bool Pending = false;  // an optional group opens before the next item
  for (int32_t I = 0; I < Max && I < 10; ++I) {
    std::string Item = "<expression>";
    const size_t Start = Current.find('<', Pos);
    const size_t End = Start == std::string_view::npos ? Start : Current.find('>', Start);
    if (End != std::string_view::npos) {
      Item = std::string(Current.substr(Start, End - Start + 1));
      Pos = End + 1;
    } else {
      Pos = Current.size();
    }
    if (!Result.empty() && Result.back() != '[') Result += ' ';
    if (Pending) {
      Result += '[';
      ++Open;
      Pending = false;
    }
    Result += Item;
    if (I + 1 >= Min && I < Max - 1) Pending = true;
  }
  Result.append(static_cast<size_t>(Open), ']');
  return platform::TrimLeft(Result);
}

}  // namespace rulecore
