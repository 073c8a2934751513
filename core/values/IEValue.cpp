#include "IEValue.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "IEBindingInfo.h"
#include "IEException.h"
#include "ValueVector.h"
#include "fuzzy/IFuzzyLogic.h"
#include "platform/Component.h"
#include "platform/NoDestroy.h"
#include "platform/ObjectWatch.h"

namespace rulecore {

using platform::ICloneable;
using platform::TCloneable;
using platform::TComponent;
using platform::TObject;
using platform::TPersistent;

static_assert(sizeof(TIEValue) <= 32, "TIEValue grew: keep rare fields in the side table of extras");

namespace {
constexpr std::string_view SConstantChange = "Cannot change %s, a constant shared by every engine";
}  // namespace

// =============================================================================================
// TIEText
// =============================================================================================

TIEText* TIEText::Make(std::string_view Text) {
  void* Memory = ::operator new(sizeof(TIEText) + Text.size() + 1);
  char* Data = static_cast<char*>(Memory) + sizeof(TIEText);
  if (!Text.empty()) std::memcpy(Data, Text.data(), Text.size());
  Data[Text.size()] = '\0';
  return new (Memory) TIEText(static_cast<uint32_t>(Text.size()), CalculateHash(Text), Data);
}

void TIEText::Free() const noexcept {
  this->~TIEText();
  ::operator delete(const_cast<TIEText*>(this));
}

// =============================================================================================
// The owned-component link
// =============================================================================================

// A small component that watches the component a value owns, so that the value can forget it
// when someone else destroys it.
class TIEValueNexus final : public TComponent {
  PLATFORM_CLASS(TIEValueNexus, TComponent)
 public:
  explicit TIEValueNexus(TIEValue* Value) : TComponent(nullptr), Value_(Value) {}

 protected:
  void Notification(TComponent* Component, platform::TOperation Operation) override {
    TComponent::Notification(Component, Operation);
    // The value frees this nexus: nothing may touch members after the call.
    if (Operation == platform::opRemove) Value_->OwnedComponentDestroyed(Component);
  }

 private:
  TIEValue* Value_;
};

// =============================================================================================
// Number and text conversions
// =============================================================================================

bool TruncToInteger(double Value, int32_t& Result) noexcept {
  if (!(Value > -2147483649.0 && Value < 2147483648.0)) return false;  // also rejects NaN
  Result = static_cast<int32_t>(Value);
  return true;
}

namespace {

std::string_view StripBlanks(std::string_view S) noexcept {
  while (!S.empty() && static_cast<unsigned char>(S.front()) <= ' ') S.remove_prefix(1);
  while (!S.empty() && static_cast<unsigned char>(S.back()) <= ' ') S.remove_suffix(1);
  return S;
}

}  // namespace

bool TextToInteger(std::string_view Text, int32_t& Result) noexcept {
  std::string_view S = StripBlanks(Text);
  bool Negative = false;
  if (!S.empty() && (S.front() == '-' || S.front() == '+')) {
    Negative = S.front() == '-';
    S.remove_prefix(1);
  }
  int Base = 10;
  if (!S.empty() && S.front() == '$') {
    Base = 16;
    S.remove_prefix(1);
  }
  if (S.empty()) return false;
  uint64_t Magnitude = 0;
  auto [End, Error] = std::from_chars(S.data(), S.data() + S.size(), Magnitude, Base);
  if (Error != std::errc() || End != S.data() + S.size()) return false;
  if (Base == 16 && !Negative && Magnitude <= 0xFFFFFFFFull) {
    // Hexadecimal spells a bit pattern: $FFFFFFFF is -1.
    Result = static_cast<int32_t>(static_cast<uint32_t>(Magnitude));
    return true;
  }
  if (Negative ? Magnitude > 2147483648ull : Magnitude > 2147483647ull) return false;
  Result = Negative ? static_cast<int32_t>(-static_cast<int64_t>(Magnitude)) : static_cast<int32_t>(Magnitude);
  return true;
}

bool TextToFloat(std::string_view Text, double& Result) noexcept {
  std::string_view S = StripBlanks(Text);
  if (!S.empty() && S.front() == '+') S.remove_prefix(1);
  if (S.empty()) return false;
  // Only plain decimal forms: no "inf", "nan" or hexadecimal floats.
  for (char C : S)
    if (!((C >= '0' && C <= '9') || C == '.' || C == '-' || C == '+' || C == 'e' || C == 'E')) return false;
  auto [End, Error] = std::from_chars(S.data(), S.data() + S.size(), Result, std::chars_format::general);
  return Error == std::errc() && End == S.data() + S.size();
}

namespace {
thread_local int ExactNumbers = 0;
}  // namespace

TExactNumbers::TExactNumbers() noexcept { ++ExactNumbers; }
TExactNumbers::~TExactNumbers() { --ExactNumbers; }
bool TExactNumbers::Active() noexcept { return ExactNumbers > 0; }

std::string ExactFloatText(double Value) {
  char Buffer[64];
  const auto [End, Error] = std::to_chars(Buffer, Buffer + sizeof Buffer, Value, std::chars_format::general);
  std::string Text(Buffer, Error == std::errc() ? End : Buffer);
  // "2" would read back as an integer: a float keeps a decimal point (or an exponent).
  if (Text.find_first_of(".eEn") == std::string::npos) Text += ".0";
  return Text;
}

std::string FloatToText(double Value) {
  if (ExactNumbers > 0) [[unlikely]]
    return ExactFloatText(Value);
  char Buffer[64];
  const int N = std::snprintf(Buffer, sizeof Buffer, "%.4f", Value);
  if (N > 0 && static_cast<size_t>(N) < sizeof Buffer) return std::string(Buffer, static_cast<size_t>(N));
  std::string Big(static_cast<size_t>(N > 0 ? N : 0) + 1, '\0');
  std::snprintf(Big.data(), Big.size(), "%.4f", Value);
  Big.resize(Big.size() - 1);
  return Big;
}

// =============================================================================================
// Construction and destruction
// =============================================================================================

TIEValue::TIEValue(std::string_view Text, TIEType Kind) {
  if (!IEStringTypes.Contains(Kind)) RaiseIE(SInvalidValueType);
  StoreText(Kind, Text);
}

TIEValue::TIEValue(int32_t Value, TIEType Kind) {
  if (!IEIntegerTypes.Contains(Kind)) RaiseIE(SInvalidValueType);
  DType_ = Kind;
  Payload_.Int = Value;
}

TIEValue::TIEValue(double Value) noexcept : DType_(dtFloat), Payload_{.Float = Value} {}

TIEValue::TIEValue(TObject* Object, bool Owned) {
  if (Owned && Object)
    StoreOwnedObject(Object);
  else
    StoreObject(Object);
}

TIEValue::TIEValue(void* Address) noexcept : DType_(dtExternalAddress), Payload_{.Address = Address} {}

TIEValue::TIEValue(const platform::TClass* Class) noexcept : DType_(dtClass), Payload_{.Class = Class} {}

TIEValue::TIEValue(const IIEValue& Source) {
  // Most copies are of plain values (numbers, atoms, texts, fact addresses): their payload is
  // shared as Assign shares it, without its checks and events, which a new value cannot need.
  if (const TIEValue* Other = Source.get(); Other && Other->DType_ != dtList && !Other->IsOwningObject()) {
    CopyPayloadFrom(*Other);
    SetTag(Other->GetTag());
    return;
  }
  try {
    Assign(Source);
  } catch (...) {
    Reset();  // a failed constructor frees what it built
    throw;
  }
}

constexpr TIEValue::TIEValue(TConstant, TValueVector* List) noexcept
    : TCloneable(TImmortal{}), DType_(dtList), Payload_{.Intf = List} {}

// The extras of the values that have them (change handlers, owned objects), by value.  Values
// live on any thread, so the table is locked; only values with extras ever reach it.
struct TIEValue::TExtraTable {
  std::mutex Lock;
  std::unordered_map<const TIEValue*, std::unique_ptr<TExtra>> ByValue;
};

TIEValue::TExtraTable& TIEValue::Extras() {
  static auto* Table = new TExtraTable;  // never destroyed: values may die in static destructors
  return *Table;
}

TIEValue::~TIEValue() {
  if (!(SubclassFlags_ & HasExtra)) [[likely]] {
    Reset();
    return;
  }
  if (TExtra* X = LookUpExtra()) X->OnChange = nullptr;
  Reset();
  {
    std::unique_ptr<TExtra> Gone;
    TExtraTable& Table = Extras();
    {
      std::lock_guard Guard(Table.Lock);
      const auto It = Table.ByValue.find(this);
      if (It != Table.ByValue.end()) {
        Gone = std::move(It->second);
        Table.ByValue.erase(It);
      }
    }
    // Gone frees the extra here, outside the lock.
  }
}

// =============================================================================================
// Payload handling
// =============================================================================================

TIEValue::TExtra& TIEValue::Extra() {
  if (TExtra* X = FindExtra()) return *X;
  auto Made = std::make_unique<TExtra>();
  TExtra& X = *Made;
  TExtraTable& Table = Extras();
  {
    std::lock_guard Guard(Table.Lock);
    Table.ByValue.emplace(this, std::move(Made));
  }
  SubclassFlags_ |= HasExtra;
  return X;
}

TIEValue::TExtra* TIEValue::LookUpExtra() const noexcept {
  TExtraTable& Table = Extras();
  std::lock_guard Guard(Table.Lock);
  const auto It = Table.ByValue.find(this);
  return It == Table.ByValue.end() ? nullptr : It->second.get();
}

void RaiseConstantChange(const std::string& Text) {
  throw EIEException(platform::Format(SConstantChange, {Text}));
}

bool TIEValue::IsOwningObject() const noexcept {
  if (DType_ != dtObject) return false;
  const TExtra* X = FindExtra();
  return X && X->OwnsObject;
}

void TIEValue::Reset() noexcept {
  if (IsImmortal()) return;
  ForgetObjectWatch();
  if (IsOwningObject()) {
    TObject* Object = Payload_.Object;
    TExtra& X = Extra();
    if (TIEValueNexus* Nexus = std::exchange(X.Nexus, nullptr)) delete Nexus;
    X.OwnsObject = false;
    DType_ = dtNone;
    Payload_.Int = 0;
    auto* Component = dynamic_cast<TComponent*>(Object);
    if (!Component || !Component->IsDestroying()) delete Object;
  }
  if (IEInterfaceTypes.Contains(DType_)) {
    Payload_.Intf->Release();
  } else if (IEStringTypes.Contains(DType_)) {
    Payload_.Text->Release();
  }
  DType_ = dtNone;
  Payload_.Int = 0;
}

void TIEValue::StoreText(TIEType Kind, std::string_view Value) {
  Payload_.Text = TIEText::Make(Value);
  DType_ = Kind;
}

void TIEValue::StoreInterface(TIEType Kind, TCloneable* Payload) noexcept {
  if (Payload) {
    Payload->AddRef();
    Payload_.Intf = Payload;
    DType_ = Kind;
  } else {
    // A missing payload leaves the empty value rather than a kind with nothing behind it.
    Payload_.Int = 0;
    DType_ = dtNone;
  }
}

void TIEValue::StoreOwnedObject(TObject* Object) {
  TExtra& X = Extra();
  if (auto* Component = dynamic_cast<TComponent*>(Object)) {
    auto* Nexus = new TIEValueNexus(this);
    Nexus->FreeNotification(Component);
    X.Nexus = Nexus;
  }
  X.OwnsObject = true;
  StoreObject(Object);
}

void TIEValue::StoreObject(TObject* Object) {
  // Pattern binding records are the engine's own, and live as long as their rule.
  if (Object && !dynamic_cast<const TBindingInfo*>(Object)) {
    platform::WatchObject(*Object, this, &TIEValue::ObjectGone);
    SubclassFlags_ |= WatchesObject;
  }
  DType_ = dtObject;
  Payload_.Object = Object;
}

void TIEValue::ForgetObjectWatch() noexcept {
  if (!(SubclassFlags_ & (WatchesObject | ObjectIsGone))) return;
  if (SubclassFlags_ & WatchesObject) platform::UnwatchObject(*Payload_.Object, this);
  SubclassFlags_ &= static_cast<uint8_t>(~(WatchesObject | ObjectIsGone));
}

void TIEValue::ObjectGone(void* Watcher, const TObject&) noexcept {
  auto* Value = static_cast<TIEValue*>(Watcher);
  Value->SubclassFlags_ = static_cast<uint8_t>((Value->SubclassFlags_ & ~WatchesObject) | ObjectIsGone);
  // Whoever freed it took the ownership away: the value must not free it a second time.
  if (TExtra* X = Value->FindExtra()) X->OwnsObject = false;
}

void TIEValue::OwnedComponentDestroyed(TComponent* Component) noexcept {
  if (!IsOwningObject() || Payload_.Object != static_cast<TObject*>(Component)) return;
  ForgetObjectWatch();
  TExtra& X = Extra();
  TIEValueNexus* Nexus = std::exchange(X.Nexus, nullptr);
  X.OwnsObject = false;
  DType_ = dtNone;
  Payload_.Int = 0;
  delete Nexus;
}

void TIEValue::Changed() {
  if (SubclassFlags_ & HasExtra) [[unlikely]]
    if (TExtra* X = FindExtra(); X && X->OnChange) X->OnChange(*this);
}

const TIEValueChangeEvent& TIEValue::GetOnChange() const noexcept {
  static const TIEValueChangeEvent None;
  const TExtra* X = FindExtra();
  return X ? X->OnChange : None;
}

void TIEValue::SetOnChange(TIEValueChangeEvent Handler) {
  CheckMutable();
  if (!Handler && !(SubclassFlags_ & HasExtra)) return;
  Extra().OnChange = std::move(Handler);
}

void TIEValue::SetText(TIEType Kind, std::string_view Value) {
  CheckMutable();
  const TIEText* Text = TIEText::Make(Value);  // before Reset: Value may view our own text
  Reset();
  Payload_.Text = Text;
  DType_ = Kind;
  Changed();
}

void TIEValue::SetInteger(TIEType Kind, int32_t Value, uint32_t Epoch) {
  CheckMutable();
  Reset();
  DType_ = Kind;
  Payload_.Int = Value;
  SetEpoch(Epoch);
  Changed();
}

void TIEValue::SetAsFactAddress(int32_t Id, uint32_t Epoch) { SetInteger(dtFactId, Id, Epoch & MaxFactEpoch); }

void TIEValue::SetAsFloat(double Value) {
  CheckMutable();
  Reset();
  DType_ = dtFloat;
  Payload_.Float = Value;
  Changed();
}

void TIEValue::SetAsObject(TObject* Value) {
  CheckMutable();
  Reset();
  StoreObject(Value);
  Changed();
}

void TIEValue::SetAsOwnedObject(TObject* Value) {
  CheckMutable();
  if (IsOwningObject() && Payload_.Object == Value) return;  // already ours: keep it alive
  Reset();
  if (Value) {
    StoreOwnedObject(Value);
  } else {
    DType_ = dtObject;
    Payload_.Object = nullptr;
  }
  Changed();
}

void TIEValue::SetAsClass(const platform::TClass* Value) {
  CheckMutable();
  Reset();
  DType_ = dtClass;
  Payload_.Class = Value;
  Changed();
}

void TIEValue::SetAsExternalAddress(void* Value) {
  CheckMutable();
  Reset();
  DType_ = dtExternalAddress;
  Payload_.Address = Value;
  Changed();
}

void TIEValue::SetInterface(TIEType Kind, TCloneable* Payload) {
  CheckMutable();
  if (Payload) Payload->AddRef();  // before Reset: the new payload may be the old one
  Reset();
  if (Payload) {
    Payload_.Intf = Payload;
    DType_ = Kind;
  }
  Changed();
}

void TIEValue::SetAsList(const IValueVector& Value) { SetInterface(dtList, Value.get()); }

void TIEValue::SetAsSingletons(const ISingletonsVector& Value) { SetInterface(dtSingletons, Value.get()); }

// =============================================================================================
// Getters
// =============================================================================================

void TIEValue::NotCorrectType(const char* Word) const {
  RaiseIE(SNotCorrectType, {Word, GetToString(), GetIETypeName(DType_)});
}

TCloneable* TIEValue::InterfacePayload(TIEType Kind) const {
  if (DType_ != Kind) {
    switch (Kind) {
      case dtFunCall: NotCorrectType("function call");
      case dtFact: NotCorrectType("fact");
      case dtList: NotCorrectType("list");
      case dtSingletons: NotCorrectType("singletons");
      default: NotCorrectType("fuzzy value");
    }
  }
  return Payload_.Intf;
}

std::string TIEValue::GetAsString() const {
  if (IsText()) return std::string(Payload_.Text->View());
  switch (DType_) {
    case dtInteger: return std::to_string(Payload_.Int);
    case dtFloat: return FloatToText(Payload_.Float);
    case dtFuzzy: return Payload_.Intf->GetToString();
    default: NotCorrectType("string");
  }
}

int32_t TIEValue::GetAsInteger() const {
  int32_t Result = 0;
  switch (DType_) {
    case dtAtom:
    case dtString: {
      const std::string_view Text = Payload_.Text->View();
      double F = 0;
      if (TextToInteger(Text, Result)) return Result;
      if (TextToFloat(Text, F) && TruncToInteger(F, Result)) return Result;
      NotCorrectType("integer");
    }
    case dtInteger:
    case dtFactId:
    case dtDescriptor: return Payload_.Int;
    case dtFloat:
      if (TruncToInteger(Payload_.Float, Result)) return Result;
      NotCorrectType("integer");
    case dtExternalAddress:
      return static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Payload_.Address)));
    case dtFuzzy:
      if (TruncToInteger(std::nearbyint(Defuzzified()), Result)) return Result;
      NotCorrectType("integer");
    default: NotCorrectType("integer");
  }
}

double TIEValue::GetAsFloat() const {
  switch (DType_) {
    case dtAtom:
    case dtString: {
      if (this == FCNil.get()) return 0;
      double Result = 0;
      if (TextToFloat(Payload_.Text->View(), Result)) return Result;
      NotCorrectType("numeric");
    }
    case dtInteger:
    case dtFactId:
    case dtDescriptor: return Payload_.Int;
    case dtFloat: return Payload_.Float;
    case dtFuzzy: return Defuzzified();
    default: NotCorrectType("numeric");
  }
}

double TIEValue::Defuzzified() const {
  // Defuzzifying records the compatibility index in the set, which is not part of its value.
  return static_cast<vaguecore::TIFuzzySet*>(Payload_.Intf)->Defuzzify();
}

int32_t TIEValue::GetAsFactId() const {
  int32_t Result = 0;
  switch (DType_) {
    case dtInteger:
    case dtFactId: return Payload_.Int;
    case dtFloat:
      if (TruncToInteger(Payload_.Float, Result)) return Result;
      [[fallthrough]];
    default: NotCorrectType("fact id");
  }
}

int32_t TIEValue::GetAsDescriptor() const {
  if (DType_ != dtDescriptor) NotCorrectType("descriptor");
  return Payload_.Int;
}

void* TIEValue::GetAsExternalAddress() const {
  if (DType_ == dtObject) return LiveObject();
  if (DType_ == dtExternalAddress) return Payload_.Address;
  NotCorrectType("External Address");
}

TObject* TIEValue::GetAsObject() const {
  if (DType_ != dtObject) NotCorrectType("object");
  return LiveObject();
}

const platform::TClass* TIEValue::GetAsClass() const {
  if (DType_ != dtClass) NotCorrectType("class");
  return Payload_.Class;
}

IValueVector TIEValue::GetAsList() const {
  return IValueVector(static_cast<TValueVector*>(InterfacePayload(dtList)));
}

ISingletonsVector TIEValue::GetAsSingletons() const {
  return ISingletonsVector(static_cast<TSingletonsVector*>(InterfacePayload(dtSingletons)));
}

// =============================================================================================
// Text form
// =============================================================================================

namespace {

std::string QuoteString(std::string_view Text) {
  std::string Out;
  Out.reserve(Text.size() + 2);
  Out += '"';
  for (char C : Text) {
    if (C == '\\' || C == '"') Out += '\\';
    Out += C;
  }
  Out += '"';
  return Out;
}

}  // namespace

std::string TIEValue::GetToString() const {
  switch (DType_) {
    case dtNone: return {};
    case dtAtom:
    case dtSlot:
    case dtMultiSlot: return std::string(Payload_.Text->View());
    case dtString: return QuoteString(Payload_.Text->View());
    case dtInteger: return std::to_string(Payload_.Int);
    case dtVariable: return "?" + std::string(Payload_.Text->View());
    case dtMultiVariable: return "$?" + std::string(Payload_.Text->View());
    case dtFactId: return "<Fact-" + std::to_string(Payload_.Int) + ">";
    case dtFloat: return FloatToText(Payload_.Float);
    case dtFunCall:
    case dtFact:
    case dtList:
    case dtSingletons:
    case dtFuzzy: return Payload_.Intf->GetToString();
    case dtDescriptor: return "<UNKNOWN>";
    case dtObject: {
      const TObject* Object = LiveObject();
      if (!Object) return {};
      if (const auto* Binding = dynamic_cast<const TBindingInfo*>(Object))
        return "<" + Binding->ClassName() + ": " + Binding->GetToString() + ">";
      return "<Object: " + Object->ClassName() + ">";
    }
    case dtClass: return Payload_.Class ? std::string(Payload_.Class->Name) : std::string();
    case dtExternalAddress:
      return "<External-Address: " + std::to_string(reinterpret_cast<uintptr_t>(Payload_.Address)) + ">";
  }
  return {};
}

// =============================================================================================
// Equality and hash
// =============================================================================================

bool TIEValue::Equals(const TCloneable* Other) const {
  if (Other == this) return true;
  return Equals(dynamic_cast<const TIEValue*>(Other));
}

namespace {

bool TextEquals(const TIEText* A, const TIEText* B) noexcept {
  return A == B || (A->Hash() == B->Hash() && A->View() == B->View());
}

}  // namespace

bool TIEValue::Equals(const TIEValue* Other) const {
  if (Other == this) return true;
  if (!Other) return false;
  if (DType_ == Other->DType_ || DType_ == dtFuzzy) {
    switch (DType_) {
      case dtNone: return true;
      case dtInteger:
      case dtDescriptor: return Payload_.Int == Other->Payload_.Int;
      // Two addresses of facts from different resets are different facts, whatever their ids.
      case dtFactId:
        return Payload_.Int == Other->Payload_.Int &&
               (Epoch() == Other->Epoch() || Epoch() == 0 || Other->Epoch() == 0);
      case dtFloat: return Payload_.Float == Other->Payload_.Float;
      case dtFunCall:
      case dtFact:
      case dtList:
      case dtSingletons: return Payload_.Intf->Equals(Other->Payload_.Intf);
      // A fuzzy set decides for itself; it accepts crisp numbers and other fuzzy values.
      case dtFuzzy:
        return Payload_.Intf->Equals(Other->DType_ == dtFuzzy ? static_cast<const TCloneable*>(Other->Payload_.Intf)
                                                              : static_cast<const TCloneable*>(Other));
      case dtObject: return Payload_.Object == Other->Payload_.Object;
      case dtExternalAddress: return Payload_.Address == Other->Payload_.Address;
      case dtClass: return false;
      case dtAtom:
      case dtString:
      case dtVariable:
      case dtMultiVariable:
      case dtSlot:
      case dtMultiSlot: return TextEquals(Payload_.Text, Other->Payload_.Text);
    }
    return false;
  }
  if (Other->DType_ == dtFuzzy) return Other->Equals(this);
  return false;
}

bool TIEValue::EqualsStar(const TIEValue* Other) const {
  if (Other == this) return true;
  if (!Other) return false;
  if (DType_ == dtFunCall && Other->DType_ != dtFunCall) return false;
  if (DType_ != dtFuzzy && Other->DType_ == dtFuzzy) return Other->EqualsStar(this);
  switch (DType_) {
    case dtNone: return true;
    case dtInteger:
    case dtFactId:
    case dtDescriptor: return Payload_.Int == Other->GetAsInteger();
    case dtFloat: return Payload_.Float == Other->GetAsFloat();
    case dtAtom:
    case dtString:
    case dtVariable:
    case dtMultiVariable:
    case dtSlot:
    case dtMultiSlot:
      if (Other->IsText()) return TextEquals(Payload_.Text, Other->Payload_.Text);
      return Payload_.Text->View() == Other->GetAsString();
    // Objects and payload kinds compare as in strict equality.
    case dtFunCall:
    case dtFact:
    case dtList:
    case dtSingletons:
    case dtFuzzy:
    case dtObject:
    case dtExternalAddress:
    case dtClass: return Equals(Other);
  }
  return false;
}

uint32_t TIEValue::OtherHashCode() const {
  switch (DType_) {
    case dtNone: return 0;
    case dtAtom:
    case dtString:
    case dtVariable:
    case dtMultiVariable:
    case dtSlot:
    case dtMultiSlot: return Payload_.Text->Hash();
    case dtFuzzy: return CalculateHash(Payload_.Intf->GetToString());
    case dtFunCall:
    case dtFact:
    case dtList:
    case dtSingletons: return Payload_.Intf->GetHashCode();
    case dtObject: return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Payload_.Object));
    case dtClass: return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Payload_.Class));
    case dtInteger:
    case dtFactId:
    case dtDescriptor: return static_cast<uint32_t>(Payload_.Int);
    case dtFloat: {
      // The truncated value, so that 3.7 and 3 hash alike; floats beyond 32 bits still hash
      // deterministically (equal floats, equal codes) without an undefined conversion.
      int32_t I = 0;
      if (TruncToInteger(Payload_.Float, I)) return static_cast<uint32_t>(I);
      if (std::isnan(Payload_.Float)) return 0;
      const double F = std::trunc(std::fmod(Payload_.Float, 4294967296.0));
      return static_cast<uint32_t>(static_cast<int64_t>(F));
    }
    case dtExternalAddress:
      return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Payload_.Address));
  }
  return 0;
}

// =============================================================================================
// Copying
// =============================================================================================

void TIEValue::CopyOwnedObjectFrom(const TIEValue& Source) {
  TObject* SourceObject = Source.Payload_.Object;
  auto* Persistent = dynamic_cast<TPersistent*>(SourceObject);
  if (!Persistent) RaiseIE(SUncloneableValue);
  TComponent* Owner = nullptr;
  if (auto* Component = dynamic_cast<TComponent*>(SourceObject)) Owner = Component->GetOwner();
  TObject* Copy = SourceObject->ClassType().CreateInstance(Owner);
  auto* CopyPersistent = dynamic_cast<TPersistent*>(Copy);
  try {
    if (!CopyPersistent) RaiseIE(SUncloneableValue);
    CopyPersistent->Assign(*Persistent);
  } catch (...) {
    delete Copy;
    throw;
  }
  StoreOwnedObject(Copy);
}

void TIEValue::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TIEValue*>(&Source);
  if (!Other) AssignError(&Source);
  if (Other == this) {
    Changed();
    return;
  }
  CheckMutable();
  Reset();
  if (Other->IsOwningObject()) {
    CopyOwnedObjectFrom(*Other);
  } else {
    CopyPayloadFrom(*Other);
  }
  SetTag(Other->GetTag());
  Changed();
}

void TIEValue::Assign(const ICloneable& Source) {
  const auto* Other = dynamic_cast<const TIEValue*>(Source.get());
  if (!Other) AssignError(Source.get());
  if (Other == this) {
    // Cloning our own list first keeps self-assignment well defined.
    if (DType_ == dtList) SetAsList(GetAsList()->Clone());
    Changed();
    return;
  }
  CheckMutable();
  Reset();
  if (Other->DType_ == dtList) {
    IValueVector Copy = static_cast<TValueVector*>(Other->Payload_.Intf)->Clone();
    StoreInterface(dtList, Copy.get());
  } else if (Other->IsOwningObject()) {
    CopyOwnedObjectFrom(*Other);
  } else {
    CopyPayloadFrom(*Other);
  }
  SetTag(Other->GetTag());
  Changed();
}

void TIEValue::CopyPayloadFrom(const TIEValue& Other) {
  if (Other.DType_ == dtObject) {
    // A copy of a value whose object is gone has no object: nothing remains to watch.
    StoreObject(Other.LiveObject());
    return;
  }
  // A copied fact address keeps the epoch it was made in: it stays an address of that fact.
  DType_ = Other.DType_;
  Payload_ = Other.Payload_;
  SetEpoch(Other.Epoch());
  if (IEInterfaceTypes.Contains(DType_))
    Payload_.Intf->AddRef();
  else if (IsText())
    Payload_.Text->AddRef();
}

void TIEValue::AssignTo(TPersistent& Dest) const {
  auto* Target = dynamic_cast<TIEValue*>(&Dest);
  if (!Target) return TCloneable::AssignTo(Dest);
  if (Target == this) return;
  switch (DType_) {
    case dtNone:
      Target->CheckMutable();
      Target->Reset();
      return;
    case dtAtom: Target->SetAsAtom(GetText()); return;
    case dtString: Target->SetAsString(GetText()); return;
    case dtVariable: Target->SetAsVariable(GetText()); return;
    case dtMultiVariable: Target->SetAsMultiVariable(GetText()); return;
    case dtSlot: Target->SetAsSlot(GetText()); return;
    case dtMultiSlot: Target->SetAsMultiSlot(GetText()); return;
    case dtInteger: Target->SetAsInteger(Payload_.Int); return;
    case dtFactId: Target->SetAsFactAddress(Payload_.Int, Epoch()); return;
    case dtDescriptor: Target->SetAsDescriptor(Payload_.Int); return;
    case dtFloat: Target->SetAsFloat(Payload_.Float); return;
    case dtList: Target->SetAsList(static_cast<TValueVector*>(Payload_.Intf)->Clone()); return;
    case dtFunCall:
    case dtFact:
    case dtSingletons:
    case dtFuzzy: Target->SetInterface(DType_, Payload_.Intf); return;
    case dtObject:
      if (IsOwningObject()) {
        Target->CheckMutable();
        Target->Reset();
        Target->CopyOwnedObjectFrom(*this);
        Target->Changed();
      } else {
        Target->SetAsObject(LiveObject());
      }
      return;
    case dtClass: Target->SetAsClass(Payload_.Class); return;
    case dtExternalAddress: Target->SetAsExternalAddress(Payload_.Address); return;
  }
}

IIEValue TIEValue::Clone() const {
  IIEValue Copy = platform::MakeRef<TIEValue>();
  Copy->Assign(static_cast<const TPersistent&>(*this));
  return Copy;
}

ICloneable TIEValue::DoClone() const { return Clone(); }

// =============================================================================================
// Resolving
// =============================================================================================

const TIEValue* TIEValue::Peek(TObject* Context) const {
  switch (DType_) {
    case dtVariable: {
      auto* Ctx = platform::CachedCast<IValueContext>(Context);
      return Ctx ? Ctx->PeekVariableValue(GetText()) : nullptr;
    }
    case dtMultiVariable:
    case dtFunCall:
    case dtSingletons:
      return nullptr;
    case dtObject:
      if (const auto* Binding = platform::CachedCast<TBindingInfo>(LiveObject())) {
        auto* Ctx = platform::CachedCast<IValueContext>(Context);
        return Ctx ? Ctx->PeekPatternBinding(*Binding) : nullptr;
      }
      return this;
    default:
      return this;
  }
}

IIEValue TIEValue::Resolve(TObject* Context) {
  switch (DType_) {
    case dtVariable:
    case dtMultiVariable: {
      auto* Ctx = platform::CachedCast<IValueContext>(Context);
      if (!Ctx) RaiseIE(SNoContext, {GetIETypeName(DType_)});
      IIEValue Bound = Ctx->FindVariableValue(GetText());
      if (!Bound) RaiseIE(SCorruptedVariable, {GetText()});
      return Bound;
    }
    case dtFunCall: {
      // The call keeps itself alive while it runs (see TFunCallBase::Execute), though what it
      // executes may change this value and drop it; nothing here is read afterwards.
      IIEValue Result;
      static_cast<TFunCallBase*>(Payload_.Intf)->Execute(Context, Result);
      return Result;
    }
    case dtObject:
      if (const auto* Binding = platform::CachedCast<TBindingInfo>(LiveObject())) {
        auto* Ctx = platform::CachedCast<IValueContext>(Context);
        if (!Ctx) RaiseIE(SNoContext, {GetIETypeName(DType_)});
        return Ctx->ResolvePatternBinding(*Binding);
      }
      return IIEValue(this);
    case dtSingletons: {
      auto* Ctx = platform::CachedCast<IValueContext>(Context);
      if (!Ctx) RaiseIE(SNoContext, {GetIETypeName(DType_)});
      ISingletonsVector Points(static_cast<TSingletonsVector*>(Payload_.Intf));
      return Ctx->ResolveSingletons(*Points);
    }
    default: return IIEValue(this);
  }
}

// =============================================================================================
// Makers and shared constants
// =============================================================================================

IIEValue NewAtom(std::string_view Text) { return platform::MakeRef<TIEValue>(Text, dtAtom); }
IIEValue NewString(std::string_view Text) { return platform::MakeRef<TIEValue>(Text, dtString); }
IIEValue NewInteger(int32_t Value) { return platform::MakeRef<TIEValue>(Value, dtInteger); }
IIEValue NewFloat(double Value) { return platform::MakeRef<TIEValue>(Value); }
IIEValue NewValue(std::string_view Text, TIEType Kind) { return platform::MakeRef<TIEValue>(Text, Kind); }

namespace {

using platform::TNoDestroy;

constinit const TIEText TextTrue(TIEText::TStatic{}, "TRUE");
constinit const TIEText TextFalse(TIEText::TStatic{}, "FALSE");
constinit const TIEText TextEmpty(TIEText::TStatic{}, "");
constinit const TIEText TextCatch(TIEText::TStatic{}, "catch");
constinit const TIEText TextFinally(TIEText::TStatic{}, "finally");
constinit const TIEText TextExcept(TIEText::TStatic{}, "except");
constinit const TIEText TextElse(TIEText::TStatic{}, "else");
constinit const TIEText TextDo(TIEText::TStatic{}, "do");
constinit const TIEText TextEOF(TIEText::TStatic{}, "EOF");
constinit const TIEText TextThen(TIEText::TStatic{}, "then");

constinit TNoDestroy<TValueVector> EmptyList{TValueVector::TConstant{}};

constexpr TIEValue::TConstant Const{};
constinit TNoDestroy<TIEValue> ValTrue{Const, &TextTrue};
constinit TNoDestroy<TIEValue> ValFalse{Const, &TextFalse};
constinit TNoDestroy<TIEValue> ValEmptyString{Const, &TextEmpty};
constinit TNoDestroy<TIEValue> ValNil{Const, &TextEmpty};
constinit TNoDestroy<TIEValue> ValNilList{Const, EmptyList.Ptr()};
constinit TNoDestroy<TIEValue> ValCatch{Const, &TextCatch};
constinit TNoDestroy<TIEValue> ValFinally{Const, &TextFinally};
constinit TNoDestroy<TIEValue> ValExcept{Const, &TextExcept};
constinit TNoDestroy<TIEValue> ValElse{Const, &TextElse};
constinit TNoDestroy<TIEValue> ValDo{Const, &TextDo};
constinit TNoDestroy<TIEValue> ValEOF{Const, &TextEOF};
constinit TNoDestroy<TIEValue> ValThen{Const, &TextThen};
constinit TNoDestroy<TIEValue> ValPI{Const, 3.141592653589793};
constinit TNoDestroy<TIEValue> ValZero{Const, 0.0};

constexpr IIEValue::TImmortalTag Immortal{};

}  // namespace

constinit const IIEValue FCTrue{ValTrue.Ptr(), Immortal};
constinit const IIEValue FCFalse{ValFalse.Ptr(), Immortal};
constinit const IIEValue FCEmptyString{ValEmptyString.Ptr(), Immortal};
constinit const IIEValue FCNil{ValNil.Ptr(), Immortal};
constinit const IIEValue FCNilList{ValNilList.Ptr(), Immortal};
constinit const IIEValue FCCatch{ValCatch.Ptr(), Immortal};
constinit const IIEValue FCFinally{ValFinally.Ptr(), Immortal};
constinit const IIEValue FCExcept{ValExcept.Ptr(), Immortal};
constinit const IIEValue FCElse{ValElse.Ptr(), Immortal};
constinit const IIEValue FCDo{ValDo.Ptr(), Immortal};
constinit const IIEValue FCEOF{ValEOF.Ptr(), Immortal};
constinit const IIEValue FCThen{ValThen.Ptr(), Immortal};
constinit const IIEValue FCPI{ValPI.Ptr(), Immortal};
constinit const IIEValue FCZero{ValZero.Ptr(), Immortal};

bool IsValueConstant(const TIEValue* Value) noexcept {
  if (!Value || !Value->IsImmortal()) return false;
  for (const IIEValue* C : {&FCTrue, &FCFalse, &FCEmptyString, &FCNil, &FCNilList, &FCCatch, &FCFinally,
                            &FCExcept, &FCElse, &FCDo, &FCEOF, &FCThen, &FCPI, &FCZero})
    if (C->get() == Value) return true;
  return false;
}

}  // namespace rulecore
