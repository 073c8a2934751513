#include "IEStreamToken.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "core/values/IEException.h"
#include "platform/Format.h"

namespace rulecore {

using platform::TObject;
using platform::TPersistent;

namespace {

// Kinds whose payload a token cannot hold in Text or Number; SetValue keeps such values.
constexpr TIETypes KeptKinds{dtObject, dtExternalAddress, dtClass, dtFunCall, dtFact, dtList, dtSingletons,
                             dtFuzzy};

void AppendWholeNumber(std::string& Out, double Number) {
  int32_t I;
  if (TruncToInteger(Number, I)) {
    Out += std::to_string(I);
    return;
  }
  // Only a host can put such a number in an integer token; show it without a fraction.
  char Buffer[400];
  const int N = std::snprintf(Buffer, sizeof Buffer, "%.0f", std::trunc(Number));
  if (N > 0) Out.append(Buffer, std::min<size_t>(static_cast<size_t>(N), sizeof Buffer - 1));
}

// A value of an integer kind from the token's number; a number that no 32-bit integer holds
// is not silently wrapped.
IIEValue IntegerValue(double Number, TIEType Kind) {
  int32_t I;
  if (!TruncToInteger(Number, I)) RaiseIE(SInvalidValueType);
  return platform::MakeRef<TIEValue>(I, Kind);
}

}  // namespace

TIEStreamToken::TIEStreamToken(int32_t DataType, std::string Text, int32_t LineNumber, double Number)
    : DataType_(DataType), LineNumber_(LineNumber), Number_(Number), Text_(std::move(Text)) {}

void TIEStreamToken::SetDataType(int32_t Value) noexcept {
  if (Value != DataType_) Kept_.Reset();
  DataType_ = Value;
}

void TIEStreamToken::SetNumber(double Value) noexcept {
  Kept_.Reset();
  Number_ = Value;
}

// =============================================================================================
// Text form, equality, copying
// =============================================================================================

void TIEStreamToken::AppendTextForm(std::string& Out, int32_t DataType, std::string_view Text, double Number) {
  switch (DataType) {
    case dtString:
      Out += "\\\"";
      Out += Text;
      Out += "\"\\";
      return;
    case dtInteger: AppendWholeNumber(Out, Number); return;
    case dtVariable:
      Out += '?';
      Out += Text;
      return;
    case dtFloat: Out += FloatToText(Number); return;
    case dtMultiVariable:
      Out += "$?";
      Out += Text;
      return;
    default:
      if (!Text.empty())
        Out += Text;
      else if (DataType >= 0 && DataType <= 255)
        Out += static_cast<char>(DataType);
      return;
  }
}

std::string TIEStreamToken::ToString() const {
  std::string Out;
  AppendToString(Out);
  return Out;
}

bool TIEStreamToken::Equals(const TCloneable* Other) const {
  const auto* O = dynamic_cast<const TIEStreamToken*>(Other);
  return O && O->DataType_ == DataType_ && O->LineNumber_ == LineNumber_ && O->Number_ == Number_;
}

uint32_t TIEStreamToken::GetHashCode() const {
  // +0.0 and -0.0 are equal numbers and must hash alike.
  const uint64_t Bits = Number_ == 0 ? 0 : std::bit_cast<uint64_t>(Number_);
  uint32_t Hash = static_cast<uint32_t>(DataType_) * 31u + static_cast<uint32_t>(LineNumber_);
  return Hash * 31u + static_cast<uint32_t>(Bits ^ (Bits >> 32));
}

void TIEStreamToken::Assign(const TPersistent& Source) {
  const auto* S = dynamic_cast<const TIEStreamToken*>(&Source);
  if (!S) AssignError(&Source);
  if (S == this) return;
  DataType_ = S->DataType_;
  LineNumber_ = S->LineNumber_;
  Number_ = S->Number_;
  Text_ = S->Text_;
  SetTag(S->GetTag());
  Kept_ = S->Kept_;
}

IStreamToken TIEStreamToken::Clone() const {
  IStreamToken Copy = platform::MakeRef<TIEStreamToken>();
  Copy->Assign(static_cast<const TPersistent&>(*this));
  return Copy;
}

// =============================================================================================
// Values
// =============================================================================================

IIEValue TIEStreamToken::Value() const {
  switch (DataType_) {
    case dtNone:
      if (Text_ == "EOF") return FCEOF;
      break;
    case dtAtom:
      if (Text_ == FCTrue->GetText()) return FCTrue;
      if (Text_ == FCFalse->GetText()) return FCFalse;
      if (platform::SameText(Text_, "nil")) return FCNil;
      return NewAtom(Text_);
    case dtString: return NewString(Text_);
    case dtInteger:
    case dtFactId:
    case dtDescriptor: return IntegerValue(Number_, static_cast<TIEType>(DataType_));
    case dtFloat: return NewFloat(Number_);
    case dtVariable:
    case dtMultiVariable:
    case dtSlot:
    case dtMultiSlot: return NewValue(Text_, static_cast<TIEType>(DataType_));
    case dtObject:
    case dtExternalAddress:
      if (Kept_) return Kept_;
      // Without the value SetValue kept there is no object to point at; only the empty
      // reference can be made from a number.
      if (Number_ != 0) RaiseIE(SInvalidValueType);
      return DataType_ == dtObject ? platform::MakeRef<TIEValue>(static_cast<TObject*>(nullptr), false)
                                   : platform::MakeRef<TIEValue>(static_cast<void*>(nullptr));
    default:
      if (Kept_ && DataType_ >= 0 && DataType_ < static_cast<int32_t>(IETypeCount) &&
          KeptKinds.Contains(static_cast<TIEType>(DataType_)))
        return Kept_;
      break;
  }
  return NewString(std::to_string(DataType_));
}

IIEValue TIEStreamToken::Value(TObject* Context) const {
  if (DataType_ != dtVariable && DataType_ != dtMultiVariable) return Value();
  auto* Ctx = platform::CachedCast<IValueContext>(Context);
  if (!Ctx) return Value();
  IIEValue Bound = Ctx->FindVariableValue(Text_);
  if (!Bound) RaiseIE(SUnknownVariable, {Text_});
  return Bound;
}

void TIEStreamToken::SetValue(const IIEValue& V) {
  if (!V) {
    RaiseIE(SInvalidValueType);
  }
  const TIEType Kind = V->GetDType();
  IIEValue Keep;
  std::string Text;
  double Number = 0;
  switch (Kind) {
    case dtAtom:
    case dtString:
    case dtVariable:
    case dtMultiVariable:
    case dtSlot:
    case dtMultiSlot: Text = V->GetText(); break;
    case dtInteger:
    case dtFactId:
    case dtDescriptor:
      Number = V->GetAsInteger();
      Text = V->ToString();
      break;
    case dtFloat:
      Number = V->GetAsFloat();
      Text = V->ToString();
      break;
    case dtObject:
      Number = static_cast<double>(reinterpret_cast<uintptr_t>(V->GetAsObject()));
      Keep = V;
      break;
    case dtExternalAddress:
      Number = static_cast<double>(reinterpret_cast<uintptr_t>(V->GetAsExternalAddress()));
      Keep = V;
      break;
    case dtClass:
    case dtFunCall:
    case dtFact:
    case dtList:
    case dtSingletons:
    case dtFuzzy: Keep = V; break;
    case dtNone: break;
  }
  // Everything is computed; commit.
  DataType_ = Kind;
  Number_ = Number;
  Text_ = std::move(Text);
  Kept_ = std::move(Keep);
}

}  // namespace rulecore
