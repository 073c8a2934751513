#include "Fact.h"

#include <type_traits>
#include <utility>

#include "FactsHost.h"
#include "core/values/FuzzyExpression.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "fuzzy/IFuzzyLogic.h"
#include "platform/Component.h"
#include "platform/Format.h"

namespace rulecore {

// =============================================================================================
// TFactValues
// =============================================================================================

int TFactValues::Find(std::string_view Name, int Hint) const noexcept {
  const int N = Count();
  if (Hint >= 0 && Hint < N && Entries_[static_cast<size_t>(Hint)].Slot->GetName() == Name) return Hint;
  for (int I = 0; I < N; ++I)
    if (Entries_[static_cast<size_t>(I)].Slot->GetName() == Name) return I;
  return -1;
}

void TFactValues::Put(const IFactSlot& Slot, IIEValue Value) {
  const int I = Find(Slot->GetName());
  if (I >= 0) {
    TEntry& E = Entries_[static_cast<size_t>(I)];
    E.Slot = Slot;
    E.Value = std::move(Value);
  } else {
    Entries_.push_back({Slot, std::move(Value)});
  }
  Changed();
}

void TFactValues::Append(const IFactSlot& Slot, IIEValue Value) {
  Entries_.push_back({Slot, std::move(Value)});
  Changed();
}

void TFactValues::PutAt(int Index, IIEValue Value) {
  Entries_.at(static_cast<size_t>(Index)).Value = std::move(Value);
  Changed();
}

void TFactValues::Remove(std::string_view Name) {
  const int I = Find(Name);
  if (I < 0) return;
  Entries_.erase(Entries_.begin() + I);
  Changed();
}

void TFactValues::Clear() {
  Entries_.clear();
  Changed();
}

// =============================================================================================
// TFactValueHashtableEnumerator
// =============================================================================================

void TFactValueHashtableEnumerator::Advance() {
  if (!HasMoreElements()) platform::ListIndexError(Next_);
  Current_ = Next_++;
}

IIEValue TFactValueHashtableEnumerator::NextElement() {
  Advance();
  return Values_.Entry(Current_).Value;
}

std::string TFactValueHashtableEnumerator::NextKey() {
  Advance();
  return Values_.Entry(Current_).Slot->GetName();
}

IIEValue TFactValueHashtableEnumerator::CurrentElement() const {
  if (Current_ < 0 || Current_ >= Values_.Count()) platform::ListIndexError(Current_);
  return Values_.Entry(Current_).Value;
}

std::string TFactValueHashtableEnumerator::CurrentKey() const {
  if (Current_ < 0 || Current_ >= Values_.Count()) platform::ListIndexError(Current_);
  return Values_.Entry(Current_).Slot->GetName();
}

// =============================================================================================
// TFact
// =============================================================================================

namespace {

IIEValue DefaultOf(const TFactSlot& Slot) {
  return Slot.GetSlotDefault() ? Slot.GetSlotDefault()->Clone() : platform::MakeRef<TIEValue>();
}

// The words of a linguistic expression written as one text ("very hot", "[not cold]").
IValueVector LinguisticWords(std::string_view Text) {
  IValueVector Items = NewList();
  size_t I = 0;
  while (I < Text.size()) {
    const char C = Text[I];
    if (C == ' ' || C == '\t' || C == '\r' || C == '\n') {
      ++I;
    } else if (C == '[' || C == ']') {
      Items->Add(NewAtom(Text.substr(I, 1)));
      ++I;
    } else {
      size_t End = I;
      while (End < Text.size() && std::string_view(" \t\r\n[]").find(Text[End]) == std::string_view::npos) ++End;
      Items->Add(NewAtom(Text.substr(I, End - I)));
      I = End;
    }
  }
  return Items;
}

}  // namespace

TFact::TFact(const IFactTemplate& Template) : Template_(Template) {}

TFact::TFact(const IFactTemplate& Template, const TFact& Source) : Template_(Template) { CopyFrom(Source, false); }

TFact::TFact(TBuffered Buffered, const IFactTemplate& Template)
    : Values_(Room(), Buffered.Capacity), Template_(Template) {
  SubclassFlags_ = static_cast<uint8_t>(Buffered.Capacity);
}

TFact::~TFact() = default;

// --- blocks sized to the template ---------------------------------------------------------------

namespace {

// Templates of up to this many slots get their entries in the fact's block; wider ones keep
// them on the heap.
constexpr uint32_t MaxRoom = 8;

template <uint32_t Room>
using TFactPool = platform::TBlockPool<sizeof(TFact) + Room * sizeof(TFactValues::TEntry)>;

template <uint32_t Room>
constexpr size_t BlockBytes = sizeof(TFact) + Room * sizeof(TFactValues::TEntry);

// Calls F with the compile-time room equal to Room (0 to MaxRoom).
template <class F, uint32_t... Rooms>
decltype(auto) WithRoom(uint32_t Room, F&& Fn, std::integer_sequence<uint32_t, Rooms...>) {
  using TResult = decltype(Fn(std::integral_constant<uint32_t, 0>{}));
  if constexpr (std::is_void_v<TResult>) {
    (void)((Room == Rooms ? (Fn(std::integral_constant<uint32_t, Rooms>{}), true) : false) || ...);
  } else {
    TResult Result{};
    (void)((Room == Rooms ? (Result = Fn(std::integral_constant<uint32_t, Rooms>{}), true) : false) || ...);
    return Result;
  }
}

template <class F>
decltype(auto) WithRoom(uint32_t Room, F&& Fn) {
  return WithRoom(Room, std::forward<F>(Fn), std::make_integer_sequence<uint32_t, MaxRoom + 1>{});
}

}  // namespace

void* TFact::TakeBlock(uint32_t Capacity) {
  return WithRoom(Capacity, [](auto Room) {
    constexpr uint32_t K = decltype(Room)::value;
    return TFactPool<K>::Take(BlockBytes<K>);
  });
}

void TFact::GiveBlock(void* Block, uint32_t Capacity) noexcept {
  WithRoom(Capacity, [Block](auto Room) {
    constexpr uint32_t K = decltype(Room)::value;
    TFactPool<K>::Give(Block, BlockBytes<K>);
  });
}

void* TFact::operator new(size_t Bytes) { return TFactPool<0>::Take(Bytes); }

void TFact::operator delete(void* Block, size_t Bytes) noexcept { TFactPool<0>::Give(Block, Bytes); }

void TFact::operator delete(TFact* Fact, std::destroying_delete_t) noexcept {
  const uint32_t Capacity = Fact->SubclassFlags_;
  Fact->~TFact();
  GiveBlock(Fact, Capacity);
}

IFact TFact::Create(const IFactTemplate& Template) {
  const uint32_t Slots = Template ? static_cast<uint32_t>(Template->GetSlotCount()) : 0;
  const uint32_t Capacity = Slots <= MaxRoom ? Slots : 0;
  void* Block = TakeBlock(Capacity);
  TFact* Made;
  try {
    Made = new (Block) TFact(TBuffered{Capacity}, Template);
  } catch (...) {
    GiveBlock(Block, Capacity);
    throw;
  }
  IFact Fact(Made);
  if (Slots > Capacity) Fact->Values_.Reserve(static_cast<int>(Slots));
  return Fact;
}

IFact TFact::Create(const IFactTemplate& Template, const TFact& Source) {
  IFact Fact = Create(Template);
  Fact->CopyFrom(Source, false);
  return Fact;
}

int TFact::EntryFor(std::string_view Name, bool Raise) {
  if (!Template_) RaiseIE(SNoTemplate);
  const int I = Values_.Find(Name);
  if (I >= 0) return I;
  IFactSlot Slot;
  if (!Template_->ContainsSlot(Name, Slot)) {
    if (Raise) RaiseIE(SInvalidSlotName, {Name});
    return -1;
  }
  Values_.Put(Slot, DefaultOf(*Slot));
  return Values_.Find(Name, Values_.Count() - 1);
}

int TFact::EntryForSlot(int SlotIndex) {
  const IFactSlot& Slot = Template_->GetSlot(SlotIndex);
  // A fact filled by its template keeps its entries in slot order.
  if (SlotIndex < Values_.Count() && Values_.Entry(SlotIndex).Slot == Slot) return SlotIndex;
  return EntryFor(Slot->GetName(), true);
}

const IIEValue& TFact::GetValue(std::string_view Name) { return Values_.Entry(EntryFor(Name, true)).Value; }

bool TFact::ContainsKey(std::string_view Name, IIEValue& Value) {
  const int I = EntryFor(Name, false);
  Value = I >= 0 ? Values_.Entry(I).Value : nullptr;
  return I >= 0;
}

void TFact::CheckAndConvert(const TFactSlot& Slot, TIEValue& Value) const {
  const TIEType Kind = Value.GetDType();
  if (Kind == dtInteger && Slot.GetSlotType().Contains(dtFloat)) {
    Value.SetAsFloat(Value.GetAsInteger());
    return;
  }
  if ((Kind == dtAtom || Kind == dtString) && Slot.IsFuzzy() && Slot.GetExtendedTypeInfo() &&
      Slot.GetExtendedTypeInfo()->GetFuzzyType()) {
    IFactsHost* Host = Template_->GetHost();
    TFuzzyOperands Operands(Host ? Host->GetEvaluationContext() : nullptr);
    const IIEValue Result = EvaluateFuzzyExpression(Slot.GetExtendedTypeInfo()->GetFuzzyType(),
                                                    *LinguisticWords(Value.GetText()), Operands);
    if (Result && Result->GetDType() == dtFuzzy) {
      Value.SetAsFuzzy(Result->GetAsFuzzy());
      return;
    }
  }
  if (Slot.IsValid(&Value)) return;
  throw EIEException(Slot.GetInvalidValueString(Value));
}

IIEValue TFact::Checked(const TFactSlot& Slot, IIEValue Value) const {
  // A fuzzy type accepts lexemes as linguistic expressions; the slot stores their fuzzy value.
  const bool Linguistic =
      Slot.IsFuzzy() && (Value->GetDType() == dtAtom || Value->GetDType() == dtString) && Value != FCNil;
  if (Linguistic || !Slot.IsValid(Value)) {
    // The conversions happen in place; a shared constant is never changed, its copy is.
    if (IsValueConstant(Value)) Value = Value->Clone();
    CheckAndConvert(Slot, *Value);
  }
  return Value;
}

void TFact::SetValue(std::string_view Name, const IIEValue& Value) {
  if (!Template_) RaiseIE(SNoTemplate);
  const bool Checking = Template_->DynamicChecks();
  int I = Values_.Find(Name);
  IIEValue Stored = Value ? Value : FCNil;
  if (I >= 0 && !Checking) return Values_.PutAt(I, std::move(Stored));
  IFactSlot Slot;
  if (I >= 0 && Values_.Entry(I).Slot->GetTemplate() &&
      Values_.Entry(I).Slot->GetTemplateName() == Template_->GetTemplateName())
    Slot = Values_.Entry(I).Slot;
  else
    Slot = Template_->GetSlot(Name);
  if (Checking) Stored = Checked(*Slot, std::move(Stored));
  if (I >= 0)
    Values_.PutAt(I, std::move(Stored));
  else
    Values_.Put(Slot, std::move(Stored));
}

std::vector<std::string> TFact::GetSlotNames() const {
  std::vector<std::string> Names;
  Names.reserve(static_cast<size_t>(Values_.Count()));
  for (const auto& E : Values_.Entries()) Names.push_back(E.Slot->GetName());
  return Names;
}

void TFact::AssignValues(const TFact& Other) {
  if (!Template_) RaiseIE(SNoTemplate);
  if (Other.Template_.get() != Template_.get())
    RaiseIE(SFactTemplatesDifferent,
            {Template_->GetTemplateName(), Other.Template_ ? Other.Template_->GetTemplateName() : std::string()});
  if (&Other == this) return;
  Values_.Clear();
  Values_.Reserve(Other.Values_.Count());
  for (const auto& E : Other.Values_.Entries()) Values_.Put(E.Slot, E.Value ? E.Value->Clone() : nullptr);
}

void TFact::SetTemplate(const IFactTemplate& Value) {
  if (Value == Template_) return;
  if (!Value) {
    Values_.Clear();
    Template_ = nullptr;
    return;
  }
  // Rebuilt in the new template's slot order: values of slots it shares are kept (with its
  // slot), the others dropped, and missing ones take the new defaults.
  std::vector<TFactValues::TEntry> Entries;
  Entries.reserve(static_cast<size_t>(Value->GetSlotCount()));
  for (const IFactSlot& Slot : Value->GetSlots()) {
    const int I = Values_.Find(Slot->GetName());
    Entries.push_back({Slot, I >= 0 ? Values_.Entry(I).Value : DefaultOf(*Slot)});
  }
  Template_ = Value;
  Values_.Replace(std::move(Entries));
}

bool TFact::Equals(const TCloneable* Other) const { return Equals(dynamic_cast<const TFact*>(Other)); }

bool TFact::Equals(const TFact* Other) const {
  if (Other == this) return true;
  if (!Other || Other->Template_.get() != Template_.get()) return false;
  if (!Template_) return true;
  auto* Self = const_cast<TFact*>(this);
  auto* That = const_cast<TFact*>(Other);
  const int N = Template_->GetSlotCount();
  for (int S = 0; S < N; ++S) {
    if (Template_->GetSlot(S)->IsFuzzy()) continue;
    const IIEValue& Mine = Self->Values_.Entry(Self->EntryForSlot(S)).Value;
    const IIEValue& Theirs = That->Values_.Entry(That->EntryForSlot(S)).Value;
    if (Mine == Theirs) continue;
    if (!Mine || !Mine->Equals(Theirs)) return false;
  }
  return true;
}

uint32_t TFact::GetHashCode() const {
  std::string Text;
  uint32_t TemplateHash = 0;
  if (Template_) {
    TemplateHash = Template_->GetHashCode();
    auto* Self = const_cast<TFact*>(this);
    const int N = Template_->GetSlotCount();
    for (int S = 0; S < N; ++S) {
      const IIEValue& V = Self->Values_.Entry(Self->EntryForSlot(S)).Value;
      if (V) Text += V->GetToString();
    }
  }
  return TemplateHash * 31u + CalculateHash(Text, 1);
}

std::string TFact::GetToString() const {
  IFactsHost* Host = Template_ ? Template_->GetHost() : nullptr;
  return Host ? Host->PrintFact(*this) : FactsPrinter().PrintFact(*this);
}

std::string TFact::GetToIDString() const {
  IFactsHost* Host = Template_ ? Template_->GetHost() : nullptr;
  if (!Host) return "f-" + std::to_string(ID_) + " " + GetToString();
  const std::string Digits = std::to_string(std::to_string(Host->GetNextFactIdentifier()).size());
  return platform::Format("%s%" + Digits + "." + Digits + "d %s", {"f-", ID_, GetToString()});
}

void TFact::CopyFrom(const TFact& Source, bool InterfaceForm) {
  if (&Source == this) return;
  IFactsHost* Here = Template_ ? Template_->GetHost() : nullptr;
  IFactsHost* There = Source.Template_ ? Source.Template_->GetHost() : nullptr;
  if (Template_ && Source.Template_ && Here && Here != There) {
    // Into another engine: the fact takes that engine's template of the same name.
    IFactTemplate Local = Here->LookUpFactTemplate(Source.Template_->GetTemplateName());
    if (!Local) {
      Local = Here->MakeFactTemplate(Source.Template_->GetTemplateName());
      Local->Assign(*Source.Template_);
    }
    // Read again from its text: calls and names in the values bind to this engine.
    const IFact Parsed = Here->ReadFact(Source.ToString());
    Template_ = Parsed->GetTemplate();
    AssignValues(*Parsed);
  } else {
    Template_ = Source.Template_;
    if (InterfaceForm) {
      Values_.Clear();
      if (Template_) AssignValues(Source);
    } else {
      Values_.Clear();
      Values_.Reserve(Source.Values_.Count());
      const bool Checking = Template_ && Template_->DynamicChecks();
      for (const auto& E : Source.Values_.Entries()) {
        IIEValue Value = E.Value ? E.Value->Clone() : nullptr;
        if (Template_ && E.Slot->GetTemplate() == Template_.get()) {
          // The template's own slot, and the source holds each slot once: no lookups by name.
          if (!Value) Value = FCNil;
          Values_.Append(E.Slot, Checking ? Checked(*E.Slot, std::move(Value)) : std::move(Value));
        } else {
          SetValue(E.Slot->GetName(), Value);
        }
      }
    }
  }
  ID_ = Source.ID_;
  SetTag(Source.GetTag());
}

void TFact::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TFact*>(&Source);
  if (!From) return TCloneable::Assign(Source);
  CopyFrom(*From, false);
}

void TFact::Assign(const platform::ICloneable& Source) {
  const auto* From = dynamic_cast<const TFact*>(Source.get());
  if (!From) return TCloneable::Assign(*Source);
  CopyFrom(*From, true);
}

IFact TFact::Clone() const {
  IFact Result = Create(Template_);
  Result->Assign(*this);
  return Result;
}

platform::ICloneable TFact::DoClone() const { return Clone(); }

}  // namespace rulecore
