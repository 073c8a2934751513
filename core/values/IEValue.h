// TIEValue: the single tagged value of the engine (slot values, constants, arguments, results,
// bindings, list elements), handled through the counted reference IIEValue.
//
// Contents
//   1. Forward declarations of the payload classes of other layers
//   2. TIEText        - the counted, immutable text of the text kinds
//   3. Seams          - what a value needs from a call expression and an evaluation context
//   4. TIEValue       - construction, getters, setters, equality, hash, text, copying, resolving
//   5. Shared constants
//
// Layout: the kind byte, one 8-byte payload and one pointer to rarely used fields (OnChange and
// the owned-object link), besides the object header; see the static_assert in IEValue.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "IEConsts.h"
#include "platform/BlockPool.h"
#include "platform/Cloneable.h"
#include "platform/Ref.h"

namespace platform {
class TComponent;
}
namespace vaguecore {
class TIFuzzySet;
}

namespace rulecore {

// --- 1. payload classes ---------------------------------------------------------------------
class TIEValue;
class TValueVector;
class TSingletonsVector;
class TFunctionCall;
class TFact;
class TBindingInfo;
class TIEContext;
using IIEValue = platform::Ref<TIEValue>;
using IValueVector = platform::Ref<TValueVector>;
using ISingletonsVector = platform::Ref<TSingletonsVector>;
using IFunCall = platform::Ref<TFunctionCall>;
using IFact = platform::Ref<TFact>;
using IFuzzySet = platform::Ref<vaguecore::TIFuzzySet>;

// --- 2. text payload ------------------------------------------------------------------------
// Immutable, counted text with its hash computed once.  Copying a text value shares it.
class TIEText {
 public:
  static TIEText* Make(std::string_view Text);  // returned with one reference
  // A constant text over a string literal (never freed).
  struct TStatic {};
  constexpr TIEText(TStatic, std::string_view Literal) noexcept
      : Count_(ImmortalCount), Size_(static_cast<uint32_t>(Literal.size())),
        Hash_(CalculateHash(Literal)), Data_(Literal.data()) {}

  void AddRef() const noexcept {
    if (Count_.load(std::memory_order_relaxed) < ImmortalCount) Count_.fetch_add(1, std::memory_order_relaxed);
  }
  void Release() const noexcept {
    if (Count_.load(std::memory_order_relaxed) >= ImmortalCount) return;
    if (Count_.fetch_sub(1, std::memory_order_acq_rel) == 1) Free();
  }
  std::string_view View() const noexcept { return {Data_, Size_}; }
  uint32_t Hash() const noexcept { return Hash_; }

 private:
  static constexpr int32_t ImmortalCount = 1 << 30;
  TIEText(uint32_t Size, uint32_t Hash, const char* Data) noexcept
      : Count_(1), Size_(Size), Hash_(Hash), Data_(Data) {}
  void Free() const noexcept;

  mutable std::atomic<int32_t> Count_;
  uint32_t Size_;
  uint32_t Hash_;
  const char* Data_;
};

// --- 3. seams to the layers above -----------------------------------------------------------

// The call expression a dtFunCall value holds.  The function layer implements it; a value only
// needs to evaluate the call when it resolves itself.
class TFunCallBase : public platform::TCloneable {
  PLATFORM_CLASS(TFunCallBase, platform::TCloneable)
 public:
  static constexpr TIEType ValueKind = dtFunCall;
  // Runs the call.  The call holds a reference to itself from the start to the end of the run,
  // so that what it executes may drop every other one (a rule undefined by its own action, a
  // value holding the call changed) and callers need not hold one of their own.
  virtual void Execute(platform::TObject* Context, IIEValue& Result) = 0;
  // Whether the call, run in Context, would answer something other than the atom FALSE: 1 yes,
  // 0 no, -1 when that cannot be told without running it.  Matching asks this first, so that a
  // comparison of values that already exist costs no call, no counted reference and no result.
  virtual int Decide(platform::TObject* Context) {
    (void)Context;
    return -1;
  }
};

// What an evaluation context offers a value that resolves itself in it.  The rule layer's
// evaluation context implements it; any other object passed as context counts as no context.
class IValueContext {
 public:
  // The value bound to a variable name, or nothing when no binding (or no value) exists.
  virtual IIEValue FindVariableValue(std::string_view Name) = 0;
  // As FindVariableValue, without counting a reference: the bound value itself, good until the
  // binding changes; nullptr when there is none (or the context cannot tell without making one).
  virtual const TIEValue* PeekVariableValue(std::string_view Name) {
    (void)Name;
    return nullptr;
  }
  // The value a pattern binding designates in the context's current match.
  virtual IIEValue ResolvePatternBinding(const TBindingInfo& Binding) = 0;
  // As ResolvePatternBinding, without counting a reference: the slot value itself, or nullptr
  // when the binding stands for something that has to be made (the fact's id).
  virtual const TIEValue* PeekPatternBinding(const TBindingInfo& Binding) = 0;
  // A new fuzzy value built from a singletons vector, its points resolved in this context.
  virtual IIEValue ResolveSingletons(TSingletonsVector& Singletons) = 0;
  // The rule layer's context this is (functions take that one; they know it only by name), or
  // nullptr for a context of another kind.
  virtual TIEContext* GetRuleContext() noexcept { return nullptr; }

 protected:
  ~IValueContext() = default;
};

// --- 4. the value ----------------------------------------------------------------------------
using TIEValueChangeEvent = std::function<void(TIEValue& Value)>;

// The engine error for an attempt to change a shared constant (whose text is Text): a change
// would be seen by every engine in the process, on whatever thread it runs.
[[noreturn]] void RaiseConstantChange(const std::string& Text);

class TIEValueNexus;

class TIEValue final : public platform::TCloneable {
  PLATFORM_CLASS(TIEValue, platform::TCloneable)
 public:
  PLATFORM_POOLED(TIEValue)
  // Construction.  Text and integer kinds outside their families fail with SInvalidValueType.
  TIEValue() noexcept = default;
  TIEValue(std::string_view Text, TIEType Kind);
  TIEValue(int32_t Value, TIEType Kind);
  explicit TIEValue(double Value) noexcept;
  TIEValue(platform::TObject* Object, bool Owned);
  explicit TIEValue(void* Address) noexcept;
  explicit TIEValue(const platform::TClass* Class) noexcept;
  // A copy made by the interface form of Assign.
  explicit TIEValue(const IIEValue& Source);
  // dtFunCall, dtFact, dtList, dtSingletons or dtFuzzy after the class of the reference; the
  // reference is stored, not copied.
  template <class T, class = decltype(T::ValueKind)>
  explicit TIEValue(const platform::Ref<T>& Payload) {
    StoreInterface(static_cast<TIEType>(T::ValueKind), Payload.get());
  }
  ~TIEValue() override;

  // Shared-constant construction (see IEValue.cpp).
  struct TConstant {};
  constexpr TIEValue(TConstant, const TIEText* Text) noexcept
      : TCloneable(TImmortal{}), DType_(dtAtom), Payload_{.Text = Text} {}
  constexpr TIEValue(TConstant, double Value) noexcept
      : TCloneable(TImmortal{}), DType_(dtFloat), Payload_{.Float = Value} {}
  constexpr TIEValue(TConstant, TValueVector* List) noexcept;

  TIEType GetDType() const noexcept { return DType_; }

  // --- getters: convert or fail with SNotCorrectType ---
  std::string GetAsString() const;
  std::string GetAsAtom() const { return GetAsString(); }
  std::string GetAsVariable() const { return GetAsString(); }
  std::string GetAsSlot() const { return GetAsString(); }
  std::string GetAsMultiSlot() const { return GetAsString(); }
  std::string GetAsMultiVariable() const { return GetAsString(); }
  int32_t GetAsInteger() const;
  double GetAsFloat() const;
  double GetAsNumeric() const { return GetAsFloat(); }
  // The number of an integer or a float, read in place: decisions on plain numbers (a join
  // test's comparison) read one for every pair of facts.  Other kinds give their raw payload:
  // callers check the kind first.
  double GetPlainNumber() const noexcept { return DType_ == dtFloat ? Payload_.Float : Payload_.Int; }
  int32_t GetAsFactId() const;
  int32_t GetAsDescriptor() const;
  void* GetAsExternalAddress() const;
  platform::TObject* GetAsObject() const;
  platform::TObject* GetAsOwnedObject() const { return GetAsObject(); }
  const platform::TClass* GetAsClass() const;
  IValueVector GetAsList() const;
  ISingletonsVector GetAsSingletons() const;
  template <class T = TFunctionCall>
  platform::Ref<T> GetAsFunCall() const {
    return platform::Ref<T>(static_cast<T*>(InterfacePayload(dtFunCall)));
  }
  // As GetAsFunCall, without counting a reference: the call of a dtFunCall value (nullptr for
  // any other kind), good while the value holds it.  Every call value holds a TFunctionCall.
  template <class T = TFunctionCall>
  T* PeekFunCall() const noexcept {
    return DType_ == dtFunCall ? static_cast<T*>(static_cast<TFunCallBase*>(Payload_.Intf)) : nullptr;
  }
  template <class T = TFact>
  platform::Ref<T> GetAsFact() const {
    return platform::Ref<T>(static_cast<T*>(InterfacePayload(dtFact)));
  }
  template <class T = vaguecore::TIFuzzySet>
  platform::Ref<T> GetAsFuzzy() const {
    return platform::Ref<T>(static_cast<T*>(InterfacePayload(dtFuzzy)));
  }

  // Fast access for the text kinds: the text without a copy (empty for other kinds).
  std::string_view GetText() const noexcept { return IsText() ? Payload_.Text->View() : std::string_view(); }
  bool IsText() const noexcept { return IEStringTypes.Contains(DType_); }
  // The payload object of an interface kind (nullptr for other kinds).
  platform::TCloneable* GetInterface() const noexcept {
    return IEInterfaceTypes.Contains(DType_) ? Payload_.Intf : nullptr;
  }

  // --- setters: release the old payload, store, then raise OnChange ---
  void SetAsAtom(std::string_view Value) { SetText(dtAtom, Value); }
  void SetAsString(std::string_view Value) { SetText(dtString, Value); }
  void SetAsVariable(std::string_view Value) { SetText(dtVariable, Value); }
  void SetAsMultiVariable(std::string_view Value) { SetText(dtMultiVariable, Value); }
  void SetAsSlot(std::string_view Value) { SetText(dtSlot, Value); }
  void SetAsMultiSlot(std::string_view Value) { SetText(dtMultiSlot, Value); }
  void SetAsInteger(int32_t Value) { SetInteger(dtInteger, Value); }
  void SetAsFactId(int32_t Value) { SetInteger(dtFactId, Value); }
  // A fact address: the fact's id and the engine's fact epoch when it was taken (see
  // TInferenceEngine::GetFactEpoch).  Ids start again from 0 at each reset; the epoch tells an
  // address of a fact gone with a reset from the newer fact that got its id.  0 is no epoch (a
  // fact id read from text or given by a host): the id alone decides.
  void SetAsFactAddress(int32_t Id, uint32_t Epoch);
  // Epochs have 24 bits (MaxFactEpoch); an engine counts them round from 1.
  static constexpr uint32_t MaxFactEpoch = 0xFFFFFF;
  uint32_t GetFactEpoch() const noexcept { return DType_ == dtFactId ? Epoch() : 0; }
  void SetAsDescriptor(int32_t Value) { SetInteger(dtDescriptor, Value); }
  void SetAsFloat(double Value);
  void SetAsObject(platform::TObject* Value);
  void SetAsOwnedObject(platform::TObject* Value);
  void SetAsClass(const platform::TClass* Value);
  void SetAsExternalAddress(void* Value);
  void SetAsList(const IValueVector& Value);
  void SetAsSingletons(const ISingletonsVector& Value);
  template <class T>
  void SetAsFunCall(const platform::Ref<T>& Value) {
    static_assert(T::ValueKind == dtFunCall);
    SetInterface(dtFunCall, Value.get());
  }
  template <class T>
  void SetAsFact(const platform::Ref<T>& Value) {
    static_assert(T::ValueKind == dtFact);
    SetInterface(dtFact, Value.get());
  }
  template <class T>
  void SetAsFuzzy(const platform::Ref<T>& Value) {
    static_assert(static_cast<TIEType>(T::ValueKind) == dtFuzzy);
    SetInterface(dtFuzzy, Value.get());
  }
  // Releases the payload and any owned object and becomes dtNone, without OnChange.  The shared
  // constants stay as they are.
  void Reset() noexcept;

  bool IsOwningObject() const noexcept;
  const TIEValueChangeEvent& GetOnChange() const noexcept;
  void SetOnChange(TIEValueChangeEvent Handler);

  // --- comparison, hash, text ---
  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  // Strict: equal kinds (integer 1 is not float 1.0), texts case-sensitive, floats exact.
  bool Equals(const TIEValue* Other) const;
  bool Equals(const IIEValue& Other) const { return Equals(Other.get()); }
  // Lenient: converts the other value to this value's kind; a failed conversion raises.
  bool EqualsStar(const TIEValue* Other) const;
  bool EqualsStar(const IIEValue& Other) const { return EqualsStar(Other.get()); }
  // Numbers and texts - what join memories key on - are answered inline.
  uint32_t GetHashCode() const override {
    if (DType_ == dtInteger) return static_cast<uint32_t>(Payload_.Int);
    if (DType_ == dtAtom || DType_ == dtString) return Payload_.Text->Hash();
    return OtherHashCode();
  }
  std::string GetToString() const override;
  std::string ToString() const { return GetToString(); }

  // --- copying ---
  using TCloneable::Assign;
  // Object form: shares lists, calls, facts, singletons and fuzzy sets.
  void Assign(const platform::TPersistent& Source) override;
  // Interface form: as the object form, but a list is cloned.
  void Assign(const platform::ICloneable& Source) override;
  void Assign(const IIEValue& Source) { Assign(platform::ICloneable(Source)); }
  void AssignTo(platform::TPersistent& Dest) const override;
  IIEValue Clone() const;

  // --- evaluation ---
  // Variables give their bound value, calls their result, pattern bindings the bound slot
  // value, singletons a new fuzzy value; every other value gives itself.
  IIEValue Resolve(platform::TObject* Context);
  // What Resolve would give, when that is a value that already exists: a constant itself, a
  // pattern binding the bound slot value, a variable its bound value.  Nothing is counted, so
  // the answer lives only as long as the match or the binding it was read from - a caller uses
  // it before evaluating anything else; nullptr when only Resolve can tell (calls, multifield
  // variables, singletons, a binding of the fact itself, a missing slot, an unbound variable).
  // Tests and arithmetic read their arguments through it without touching reference counts.
  const TIEValue* Peek(platform::TObject* Context) const;

  // For the owned-component link: the owned component was destroyed by someone else.
  void OwnedComponentDestroyed(platform::TComponent* Component) noexcept;

 protected:
  platform::ICloneable DoClone() const override;

 private:
  uint32_t OtherHashCode() const;

  union TPayload {
    int32_t Int;
    double Float;
    const TIEText* Text;
    platform::TCloneable* Intf;
    platform::TObject* Object;
    const platform::TClass* Class;
    void* Address;
  };
  struct TExtra {
    TIEValueChangeEvent OnChange;
    TIEValueNexus* Nexus = nullptr;  // link to an owned component
    bool OwnsObject = false;         // set while the value owns its object
  };

  platform::TCloneable* InterfacePayload(TIEType Kind) const;
  [[noreturn]] void NotCorrectType(const char* Word) const;
  void SetText(TIEType Kind, std::string_view Value);
  // Epoch: a fact address's (see SetAsFactAddress), 0 for every other kind.
  void SetInteger(TIEType Kind, int32_t Value, uint32_t Epoch = 0);
  void SetInterface(TIEType Kind, platform::TCloneable* Payload);
  void StoreInterface(TIEType Kind, platform::TCloneable* Payload) noexcept;
  void StoreText(TIEType Kind, std::string_view Value);
  void StoreOwnedObject(platform::TObject* Object);
  void CopyOwnedObjectFrom(const TIEValue& Source);
  void Changed();
  // Takes Other's kind and payload (not a list's items or an owned object), counting what it
  // shares; the value held before is not released.
  void CopyPayloadFrom(const TIEValue& Other);
  // The rare fields live in a side table, looked up only while HasExtra is set: a value stays
  // 32 bytes, and working memory holds millions of them.
  static constexpr uint8_t HasExtra = 1;
  // A host object the value refers to is watched, so that freeing it elsewhere leaves the
  // value reading as no object instead of pointing at freed memory.  The pointer itself stays
  // (equality and hash codes of a value held in working memory must not change under it).
  static constexpr uint8_t WatchesObject = 2;
  static constexpr uint8_t ObjectIsGone = 4;
  void StoreObject(platform::TObject* Object);
  void ForgetObjectWatch() noexcept;
  static void ObjectGone(void* Watcher, const platform::TObject& Gone) noexcept;
  // The object, or nullptr when there is none or it has been destroyed.
  platform::TObject* LiveObject() const noexcept {
    return (SubclassFlags_ & ObjectIsGone) ? nullptr : Payload_.Object;
  }
  struct TExtraTable;
  static TExtraTable& Extras();
  TExtra& Extra();
  // Inline: every value asks on its way out, and almost none has an extra.
  TExtra* FindExtra() const noexcept { return (SubclassFlags_ & HasExtra) ? LookUpExtra() : nullptr; }
  TExtra* LookUpExtra() const noexcept;
  // Every change of a value passes here first: the shared constants refuse it.
  void CheckMutable() const {
    if (IsImmortal()) [[unlikely]]
      RaiseConstantChange(GetToString());
  }
  double Defuzzified() const;

  TIEType DType_ = dtNone;
  // The epoch of a fact address, 24 bits kept in the bytes after DType_ that would otherwise be
  // padding (the value stays 32 bytes).
  uint8_t EpochHigh_ = 0;
  uint16_t EpochLow_ = 0;
  uint32_t Epoch() const noexcept { return uint32_t{EpochHigh_} << 16 | EpochLow_; }
  void SetEpoch(uint32_t Value) noexcept {
    EpochHigh_ = static_cast<uint8_t>(Value >> 16);
    EpochLow_ = static_cast<uint16_t>(Value);
  }
  TPayload Payload_{.Int = 0};
};

// Safe float-to-integer truncation toward zero: false for NaN and values outside 32 bits.
bool TruncToInteger(double Value, int32_t& Result) noexcept;
// Text read as a 32-bit integer: optional sign, then decimal digits or "$" and hex digits.
bool TextToInteger(std::string_view Text, int32_t& Result) noexcept;
// Text read as a float with "." as decimal separator (surrounding blanks allowed).
bool TextToFloat(std::string_view Text, double& Result) noexcept;
// Four-decimal fixed form of a float ("%.4f"), what display shows; while a TExactNumbers lives
// on the thread, the exact form (ExactFloatText) instead.
std::string FloatToText(double Value);
// The shortest text that reads back as the same double, written so that it reads as a float
// ("16.35641", "2.0", "1e+300").
std::string ExactFloatText(double Value);

// While one lives on a thread, floats print exactly (FloatToText): what is saved must read back
// to the values saved, where display rounds to four decimals.  Nests.
class TExactNumbers {
 public:
  TExactNumbers() noexcept;
  ~TExactNumbers();
  TExactNumbers(const TExactNumbers&) = delete;
  TExactNumbers& operator=(const TExactNumbers&) = delete;
  static bool Active() noexcept;
};

// Convenience makers.
IIEValue NewAtom(std::string_view Text);
IIEValue NewString(std::string_view Text);
IIEValue NewInteger(int32_t Value);
IIEValue NewFloat(double Value);
IIEValue NewValue(std::string_view Text, TIEType Kind);

// --- 5. shared constants ----------------------------------------------------------------------
// Fourteen values shared by every engine in the process, never changed and never freed.
extern const IIEValue FCTrue;
extern const IIEValue FCFalse;
extern const IIEValue FCEmptyString;
extern const IIEValue FCNil;
extern const IIEValue FCNilList;
extern const IIEValue FCCatch;
extern const IIEValue FCFinally;
extern const IIEValue FCExcept;
extern const IIEValue FCElse;
extern const IIEValue FCDo;
extern const IIEValue FCEOF;
extern const IIEValue FCThen;
extern const IIEValue FCPI;
extern const IIEValue FCZero;

// True exactly when Value is (by identity) one of the fourteen shared constants.
bool IsValueConstant(const TIEValue* Value) noexcept;
inline bool IsValueConstant(const IIEValue& Value) noexcept { return IsValueConstant(Value.get()); }
inline const IIEValue& BoolValue(bool B) noexcept { return B ? FCTrue : FCFalse; }

}  // namespace rulecore
