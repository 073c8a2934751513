#include "IEContext.h"

#include <algorithm>

#include "NetworkHost.h"
#include "core/values/IEException.h"
#include "core/values/IEFuzzySet.h"
#include "fuzzy/IFuzzyLogic.h"

namespace rulecore {

// =============================================================================================
// TBinding, TBindings
// =============================================================================================

TBinding::TBinding(std::string Name, IIEValue Value)
    : TBindingInfo(LocalBindingIndex, std::string(SLocalBinding), NoSubIndex),
      Name(std::move(Name)),
      Value(std::move(Value)) {}

TBinding::TBinding(std::string Name, int32_t FactIndex, std::string SlotIndex, int32_t SubIndex)
    : TBindingInfo(FactIndex, std::move(SlotIndex), SubIndex), Name(std::move(Name)) {}

bool TBinding::Equals(const TBinding& Other) const {
  if (!SameBinding(Other) || Name != Other.Name) return false;
  if (Value == Other.Value) return true;
  return Value && Value->Equals(Other.Value);
}

std::string TBinding::GetToString() const {
  std::string Text = "name=" + Name;
  if (Value) Text += " value=" + Value->GetToString();
  return Text + " " + TBindingInfo::GetToString();
}

void TBinding::Assign(const platform::TPersistent& Source) {
  TBindingInfo::Assign(Source);
  if (const auto* From = dynamic_cast<const TBinding*>(&Source)) {
    Name = From->Name;
    Value = From->Value;
  }
}

namespace {

// Variable names are short and often differ only at the end (?p1, ?p2): compared from the end,
// inline, most comparisons end at the first character read instead of in a call.
bool SameName(const std::string& Held, std::string_view Name) noexcept {
  const size_t Length = Held.size();
  if (Length != Name.size()) return false;
  const char* const A = Held.data();
  const char* const B = Name.data();
  for (size_t I = Length; I-- > 0;)
    if (A[I] != B[I]) return false;
  return true;
}

}  // namespace

TBinding* TBindings::Find(std::string_view Name) const noexcept {
  if (Index_) {
    const auto It = Index_->find(Name);
    return It == Index_->end() ? nullptr : Items_[It->second].get();
  }
  for (const IBinding& B : Items_)
    if (SameName(B->Name, Name)) return B.get();
  return nullptr;
}

void TBindings::Put(const IBinding& Binding) {
  if (Index_) {
    const auto [It, Added] = Index_->try_emplace(Binding->Name, Items_.size());
    if (!Added) {
      Items_[It->second] = Binding;
      return;
    }
    try {
      Items_.push_back(Binding);
    } catch (...) {
      Index_->erase(It);
      throw;
    }
    return;
  }
  for (IBinding& B : Items_)
    if (SameName(B->Name, Binding->Name)) {
      B = Binding;
      return;
    }
  Items_.push_back(Binding);
  if (Items_.size() >= IndexFrom) Reindex();
}

bool TBindings::Remove(std::string_view Name) {
  auto It = std::find_if(Items_.begin(), Items_.end(), [&](const IBinding& B) { return SameName(B->Name, Name); });
  if (It == Items_.end()) return false;
  Items_.erase(It);
  if (Index_) Reindex();
  return true;
}

void TBindings::Reindex() {
  auto Index = std::make_unique<platform::TTextMap<size_t>>();
  Index->reserve(Items_.size());
  // The first of equal names is the one found, as a scan finds it.
  for (size_t I = 0; I < Items_.size(); ++I) Index->try_emplace(Items_[I]->Name, I);
  Index_ = std::move(Index);
}

// =============================================================================================
// TIEContext
// =============================================================================================

TIEContext::TIEContext(TInferenceEngine* Engine, TIEContext* Parent)
    : Engine_(Engine), Host_(NetworkHostOf(Engine)), Parent_(Parent) {}

TIEContext::~TIEContext() = default;

TIEContext& TIEContext::Root() noexcept {
  TIEContext* C = this;
  while (C->Parent_) C = C->Parent_;
  return *C;
}

TIEContext* TIEContext::Push() { return new TIEContext(Engine_, Host_, this); }

TIEContext* TIEContext::Pop() {
  if (!Parent_) return this;
  Parent_->ReturnValue_ = ReturnValue_;
  Parent_->Returned_ = Returned_;
  return Parent_;
}

TBinding* TIEContext::FindBinding(std::string_view Name) const noexcept {
  for (const TIEContext* C = this; C; C = C->Parent_)
    if (TBinding* B = C->Bindings_.Find(Name)) return B;
  return nullptr;
}

TBinding* TIEContext::FindGlobalBinding(std::string_view Name) const noexcept {
  const TIEContext* C = this;
  while (C->Parent_) C = C->Parent_;
  return C->Bindings_.Find(Name);
}

void TIEContext::AddLocalBinding(const std::string& Name, const IIEValue& Value) {
  Bindings_.Put(platform::MakeRef<TBinding>(Name, Value));
}

void TIEContext::AddBinding(const std::string& Name, const IIEValue& Value) {
  if (TBinding* B = FindBinding(Name))
    B->Value = Value;
  else
    AddLocalBinding(Name, Value);
}

void TIEContext::AddGlobalBinding(const std::string& Name, const IIEValue& Value) { Root().AddBinding(Name, Value); }

void TIEContext::AddBinding(const std::string& Name, int32_t FactIndex, const std::string& SlotIndex,
                            int32_t SubIndex) {
  Bindings_.Put(platform::MakeRef<TBinding>(Name, FactIndex, SlotIndex, SubIndex));
}

IIEValue TIEContext::GetVariable(std::string_view Name) const {
  const TBinding* B = FindBinding(Name);
  if (!B) RaiseIE(SUnknownVariable, {Name});
  return B->Value;
}

void TIEContext::SetVariable(const std::string& Name, const IIEValue& Value) {
  if (TBinding* B = Bindings_.Find(Name))
    B->Value = Value;
  else
    AddBinding(Name, Value);
}

void TIEContext::Clear() noexcept {
  Bindings_.Clear();
  ClearReturnValue();
}

TFact* TIEContext::GetTokenFact(int32_t TokenIndex) {
  TFact* Fact = Token_ ? Token_->GetFactAt(TokenIndex) : nullptr;
  if (Fact && Host_ && Fact == Host_->GetPlaceholderFact().get()) return nullptr;
  return Fact;
}

IIEValue TIEContext::FindVariableValue(std::string_view Name) {
  const TBinding* B = FindBinding(Name);
  return B ? B->Value : nullptr;
}

IIEValue TIEContext::ResolvePatternBinding(const TBindingInfo& Binding) {
  // The place right after the token's facts is the fact being matched.
  TFact* Fact = nullptr;
  if (Token_ && Binding.FactIndex < Token_->GetFactCount())
    Fact = Token_->GetFactAt(Binding.FactIndex);
  else
    Fact = Fact_;
  if (!Fact) return nullptr;
  if (Binding.SlotIndex == SPatternBinding) {
    if (Host_) return Host_->FactAddress(*Fact);
    return platform::MakeRef<TIEValue>(Fact->GetID(), dtFactId);
  }
  const IIEValue& Value = GetPlacedValue(*Fact, Binding.SlotIndex, Binding.Place);
  if (Binding.SubIndex == NoSubIndex) return Value;
  const IValueVector List = Value->GetAsList();
  return List->Get(Binding.SubIndex);
}

const TIEValue* TIEContext::PeekVariableValue(std::string_view Name) {
  const TBinding* B = FindBinding(Name);
  return B ? B->Value.get() : nullptr;
}

const TIEValue* TIEContext::PeekPatternBinding(const TBindingInfo& Binding) {
  if (Binding.SlotIndex == SPatternBinding) return nullptr;
  TFact* Fact = nullptr;
  if (Token_ && Binding.FactIndex < Token_->GetFactCount())
    Fact = Token_->GetFactAt(Binding.FactIndex);
  else
    Fact = Fact_;
  if (!Fact || !Fact->GetTemplate()) return nullptr;
  const int Entry = FindSlotEntry(Fact->GetSlotValues(), Binding.SlotIndex, Binding.Place);
  if (Entry < 0) return nullptr;
  const TIEValue* Value = Fact->GetSlotValues().Entry(Entry).Value.get();
  if (!Value || Binding.SubIndex == NoSubIndex) return Value;
  // An element of a list: out of range is left to Resolve, which raises the list's error.
  const TValueVector* List = PeekList(*Value);
  if (!List || Binding.SubIndex < 0 || Binding.SubIndex >= List->GetValueCount()) return nullptr;
  return List->Get(Binding.SubIndex).get();
}

IIEValue TIEContext::ResolveSingletons(TSingletonsVector& Singletons) {
  auto Set = platform::MakeRef<TIEFuzzySet>();
  if (auto* Parser = dynamic_cast<vaguecore::IFuzzyParser*>(Singletons.GetParser()))
    Set->SetParser(Parser);
  else if (Host_)
    Set->SetParser(Host_->GetFuzzyTermParser());
  std::vector<vaguecore::TFzyPoint> Points;
  Points.reserve(static_cast<size_t>(Singletons.GetCount()));
  for (int I = 0; I < Singletons.GetCount(); ++I)
    Points.push_back({Singletons.GetXValues(I)->Resolve(this)->GetAsNumeric(),
                      Singletons.GetYValues(I)->Resolve(this)->GetAsNumeric()});
  Set->GetValues().SetPoints(Points);
  Set->SetName(Set->ValuesToString());
  return platform::MakeRef<TIEValue>(Set);
}

namespace {

// The elements of List and of the lists inside it, depth first, each through Map (which may
// make a new value) and then, when a list, walked into.  With a stack of its own: lists nest as
// deep as programs build them.
template <class TMap>
IValueVector FlattenWith(const TValueVector& List, TMap&& Map) {
  struct TLevel {
    IValueVector Hold;  // keeps a list Map made alive while it is walked
    const TValueVector* List;
    int Next;
  };
  IValueVector Result = NewList();
  Result->Reserve(List.GetValueCount());
  std::vector<TLevel> Stack;
  Stack.push_back({nullptr, &List, 0});
  while (!Stack.empty()) {
    TLevel& Top = Stack.back();
    if (Top.Next == Top.List->GetValueCount()) {
      Stack.pop_back();
      continue;
    }
    IIEValue V = Map(Top.List->Get(Top.Next++));
    if (V && V->GetDType() == dtList) {
      IValueVector Inner = V->GetAsList();
      const TValueVector* Walked = Inner.get();
      Stack.push_back({std::move(Inner), Walked, 0});
    } else {
      Result->Add(std::move(V));
    }
  }
  return Result;
}

}  // namespace

IValueVector TIEContext::FlattenList(const TValueVector& List) {
  return FlattenWith(List, [](const IIEValue& V) { return V; });
}

IValueVector TIEContext::ExpandList(const TValueVector& List) {
  return FlattenWith(List, [this](const IIEValue& V) { return V ? V->Resolve(this) : IIEValue(); });
}

void TIEContext::Resolve(TFact& Fact) {
  TFactValues& Values = Fact.GetSlotValues();
  for (int I = 0; I < Values.Count(); ++I) {
    const IIEValue& V = Values.Entry(I).Value;
    if (!V) continue;
    const IFactSlot& Slot = Values.Entry(I).Slot;
    // A fuzzy slot holds what its linguistic expression evaluates to here.
    if (Slot && Slot->IsFuzzy() && Host_)
      Values.PutAt(I, Host_->FuzzySlotValue(*Slot, V, this));
    else
      Values.PutAt(I, SlotValue(*V));
  }
}

IIEValue TIEContext::SlotValue(TIEValue& Value) {
  return Value.GetDType() == dtList ? platform::MakeRef<TIEValue>(ExpandList(*Value.GetAsList())) : Value.Resolve(this);
}

IFact TIEContext::ResolvedCopy(const TFact& Written) {
  const IFactTemplate& Template = Written.GetTemplate();
  const TFactValues::TEntries& Entries = Written.GetSlotValues().Entries();
  const auto Plain = [&Template](const TFactValues::TEntry& E) { return E.Slot->GetTemplate() == Template.get(); };
  if (!Template || Template->DynamicChecks() || Template->IsFuzzy() ||
      !std::all_of(Entries.begin(), Entries.end(), Plain)) {
    // Checked slots, fuzzy slots and foreign slots take the copy's general path.
    IFact Copy = Written.Clone();
    Resolve(*Copy);
    return Copy;
  }
  IFact Copy = TFact::Create(Template);
  TFactValues& Values = Copy->GetSlotValues();
  Values.Reserve(static_cast<int>(Entries.size()));
  for (const TFactValues::TEntry& E : Entries) {
    const TIEValue* V = E.Value.get();
    if (!V) {
      Values.Append(E.Slot, FCNil);
    } else if (V->GetDType() == dtList) {
      Values.Append(E.Slot, SlotValue(*V->Clone()));
    } else {
      // A value that stands for another (a variable, a call, a binding) is resolved straight
      // from the written one; a copy of it would be thrown away.  Constants are copied, as the
      // fact must not share them with the action.
      IIEValue Resolved = SlotValue(*const_cast<TIEValue*>(V));
      Values.Append(E.Slot, Resolved.get() == V ? V->Clone() : std::move(Resolved));
    }
  }
  Copy->SetID(Written.GetID());
  Copy->SetTag(Written.GetTag());
  return Copy;
}

}  // namespace rulecore
