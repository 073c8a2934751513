#include "IEFunctionCall.h"

#include <exception>

#include "core/facts/Fact.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/StackGuard.h"

namespace rulecore {

// Every rule holds several calls: growth is a decision, not an accident.
static_assert(sizeof(TFunctionCall) <= 104, "TFunctionCall grew: keep rarely used fields behind a pointer");

TFunctionCall::TFunctionCall(IReasoner* Reasoner, std::string Name) : Reasoner_(Reasoner), Name_(std::move(Name)) {}

TFunctionCall::~TFunctionCall() = default;

void TFunctionCall::AddArgument(double Value, TIEType Kind) {
  if (Kind == dtFloat) return AddArgument(NewFloat(Value));
  int32_t I = 0;
  if (Kind == dtInteger && TruncToInteger(Value, I)) return AddArgument(NewInteger(I));
  RaiseIE(SNotCorrectType, {"Float", FloatToText(Value), GetIETypeName(Kind)});
}

void TFunctionCall::AddArgument(int32_t Value, TIEType Kind) {
  if (Kind == dtInteger) return AddArgument(NewInteger(Value));
  if (Kind == dtFloat) return AddArgument(NewFloat(Value));
  RaiseIE(SNotCorrectType, {"Integer", std::to_string(Value), GetIETypeName(Kind)});
}

void TFunctionCall::AddArgument(std::string_view Text, TIEType Kind) {
  static constexpr TIETypes Allowed{dtAtom, dtString, dtVariable, dtMultiVariable, dtSlot, dtMultiSlot};
  if (!Allowed.Contains(Kind)) RaiseIE(SNotCorrectType, {"String", Text, GetIETypeName(Kind)});
  AddArgument(NewValue(Text, Kind));
}

void TFunctionCall::AddArgument(const IFact& Fact) { AddArgument(platform::MakeRef<TIEValue>(Fact)); }
void TFunctionCall::AddArgument(const IFunCall& Call) { AddArgument(platform::MakeRef<TIEValue>(Call)); }
void TFunctionCall::AddArgument(const IValueVector& List) { AddArgument(platform::MakeRef<TIEValue>(List)); }

const IIEValue& TFunctionCall::GetArgument(int Index) const {
  if (Index < 0 || Index >= GetArgumentCount()) platform::ListIndexError(Index);
  return Arguments_[static_cast<size_t>(Index)];
}

void TFunctionCall::SetArgument(int Index, const IIEValue& Value) {
  if (Index < 0 || Index >= GetArgumentCount()) platform::ListIndexError(Index);
  Arguments_[static_cast<size_t>(Index)] = Value;
}

void TFunctionCall::Delete(int Index) {
  if (Index < 0 || Index >= GetArgumentCount()) platform::ListIndexError(Index);
  Arguments_.erase(Arguments_.begin() + Index);
}

const std::string& TFunctionCall::GetComment() const noexcept {
  static const std::string None;
  return Comment_ ? *Comment_ : None;
}

void TFunctionCall::SetComment(const std::string& Value) {
  if (Comment_)
    *Comment_ = Value;
  else if (!Value.empty())
    Comment_ = std::make_unique<std::string>(Value);
}

void TFunctionCall::SetUserFunction(const IUserFunction& Function) {
  Function_ = Function;
  Name_ = Function ? Function->GetFunctionName() : std::string();
}

void TFunctionCall::Execute(platform::TObject* Context, IIEValue& Result) {
  // The call may be freed by what the function does (a rule removing itself, a value holding
  // the call changed): it keeps itself alive, before anything else runs, and callers rely on it.
  const IFunCall Self(this);
  // Every level of nested or recursive evaluation passes here.
  if (platform::StackNearlyExhausted(Reasoner_ ? Reasoner_->GetStackReserveBytes() : 0))
    RaiseIE(SNestingTooDeep, {Name_});
  if (!Function_ && Reasoner_) {
    IUserFunction Found;
    if (!Reasoner_->ContainsUserFunction(Name_, Found)) RaiseIE(SNoSuchFunction, {Name_});
    SetUserFunction(Found);
  }
  if (!Function_) RaiseIE(SNoSuchFunction, {Name_});
  const IUserFunction Function = Function_;
  Function->Call(*this, Context, Result);
}

const TIEValue* TFunctionCall::TNumbers::Make(const TIEUserFunction::TNumber& Number) {
  // At most one number per argument, and a call decided has at most MaxDecided of them.
  void* Room = Room_[Made_];
  TIEValue* Made = Number.IsFloat ? ::new (Room) TIEValue(Number.Value)
                                  : ::new (Room) TIEValue(static_cast<int32_t>(Number.Value), dtInteger);
  ++Made_;
  return Made;
}

bool TFunctionCall::DecidedArguments(platform::TObject* Context, int Depth, const TIEValue** Values,
                                     TNumbers& Numbers) {
  constexpr int MaxDepth = 4;  // deeper nesting runs as usual (and meets the stack guard)
  const TIEUserFunction* Function = Function_.get();
  const int Count = GetArgumentCount();
  if (!Function || Count > MaxDecided) return false;
  if (Count < Function->GetMinArgumentCount() || Count > Function->GetMaxArgumentCount()) return false;
  for (int I = 0; I < Count; ++I) {
    const TIEValue* Argument = Arguments_[static_cast<size_t>(I)].get();
    if (!Argument) return false;
    TFunctionCall* Nested = Argument->PeekFunCall();
    if (!Nested) {
      if (!(Values[I] = Argument->Peek(Context))) return false;
      continue;
    }
    if (Depth >= MaxDepth || !Nested->Function_) return false;
    if (Nested->Function_->DecidesTruth()) {
      const int Answer = Nested->Decide(Context, Depth + 1);
      if (Answer < 0) return false;
      Values[I] = (Answer ? FCTrue : FCFalse).get();
    } else if (Nested->Function_->DecidesNumbers()) {
      TIEUserFunction::TNumber Number;
      if (!Nested->DecideNumber(Context, Depth + 1, Number)) return false;
      Values[I] = Numbers.Make(Number);
    } else {
      return false;
    }
  }
  return true;
}

int TFunctionCall::Decide(platform::TObject* Context, int Depth) {
  const TIEValue* Values[MaxDecided];
  TNumbers Numbers;
  if (!DecidedArguments(Context, Depth, Values, Numbers)) return -1;
  return Function_->Decide(Values, GetArgumentCount());
}

bool TFunctionCall::DecideNumber(platform::TObject* Context, int Depth, TIEUserFunction::TNumber& Number) {
  const TIEValue* Values[MaxDecided];
  TNumbers Numbers;
  if (!DecidedArguments(Context, Depth, Values, Numbers)) return false;
  return Function_->DecideNumber(Values, GetArgumentCount(), Number);
}

void TFunctionCall::SimpleExecute(platform::TObject* Context, IIEValue& Result) {
  if (!Function_) RaiseIE(SNoSuchFunction, {Name_});
  const IFunCall Self(this);
  const IUserFunction Function = Function_;
  try {
    Function->Call(*this, Context, Result);
  } catch (const platform::EAbort&) {
    throw;
  } catch (const std::exception& E) {
    throw EIEException(platform::Format(SFunctionError, {Function->GetFunctionName(), E.what()}));
  }
}

bool TFunctionCall::Equals(const TCloneable* Other) const { return Equals(dynamic_cast<const TFunctionCall*>(Other)); }

bool TFunctionCall::Equals(const TFunctionCall* Other) const {
  if (Other == this) return true;
  if (!Other || Name_ != Other->Name_ || Arguments_.size() != Other->Arguments_.size()) return false;
  for (size_t I = 0; I < Arguments_.size(); ++I) {
    const IIEValue& A = Arguments_[I];
    const IIEValue& B = Other->Arguments_[I];
    if (A == B) continue;
    if (!A || !A->Equals(B)) return false;
  }
  return true;
}

uint32_t TFunctionCall::GetHashCode() const {
  uint32_t Hash = CalculateHash(Name_);
  for (const IIEValue& A : Arguments_)
    if (A) Hash += A->GetHashCode();
  return Hash;
}

namespace {

// Set once as the library loads, read ever after.
TCallPrinter CallPrinter = nullptr;

}  // namespace

void SetCallPrinter(TCallPrinter Printer) noexcept { CallPrinter = Printer; }

std::string TFunctionCall::GetToString() const {
  if (Reasoner_) return Reasoner_->PrettyPrint(*this);
  if (!CallPrinter) RaiseIE(SUnknownEngine);
  return CallPrinter(*this, Name_ == "modify" || Name_ == "duplicate");
}

void TFunctionCall::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TFunctionCall*>(&Source);
  if (!From) return TFunCallBase::Assign(Source);
  if (From == this) return;
  Name_ = From->Name_;
  SetComment(From->GetComment());
  SetTag(From->GetTag());
  std::vector<IIEValue> Copies;
  Copies.reserve(From->Arguments_.size());
  // Nested calls are copied too: a copy may be rewritten (renamed variables) on its own.
  for (const IIEValue& A : From->Arguments_) {
    if (A && A->GetDType() == dtFunCall && A->GetAsFunCall<TFunCallBase>())
      Copies.push_back(platform::MakeRef<TIEValue>(
          platform::RefCast<TFunCallBase>(A->GetAsFunCall<TFunCallBase>()->Clone())));
    else
      Copies.push_back(A ? A->Clone() : nullptr);
  }
  Arguments_ = std::move(Copies);
}

IFunCall TFunctionCall::Clone() const {
  IFunCall Result = platform::MakeRef<TFunctionCall>(Reasoner_, Name_);
  Result->Assign(*this);
  return Result;
}

}  // namespace rulecore
