#include "FactTemplate.h"

#include <algorithm>

#include "Fact.h"
#include "FactsHost.h"
#include "core/values/IEException.h"
#include "core/values/IEFuzzySet.h"
#include "core/values/ValueVector.h"
#include "platform/Component.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

constexpr std::string_view ForbiddenNameCharacters = " '\"#()[]?:$&;<>";

// A call default is private to its slot: the value is cloned and so is the call it holds.
IIEValue PrivateCopy(const IIEValue& Value) {
  if (!Value || IsValueConstant(Value)) return Value;
  if (Value->GetDType() == dtFunCall) {
    const auto Call = Value->GetAsFunCall<TFunCallBase>();
    if (Call) return platform::MakeRef<TIEValue>(platform::RefCast<TFunCallBase>(Call->Clone()));
  }
  return Value->Clone();
}

}  // namespace

void CheckConstructName(std::string_view Name) {
  const size_t Pos = Name.find_first_of(ForbiddenNameCharacters);
  if (Pos == std::string_view::npos) return;
  // The catalogue text opens with the placeholder written "&s": it stands for the name, which
  // formatting it literally would drop (and hand the name to the character conversion).
  std::string Pattern = MessageText(SUnexpectedCharacters);
  if (Pattern.rfind("&s", 0) == 0) Pattern[0] = '%';
  throw EIEException(platform::Format(Pattern, {Name, Name[Pos]}));
}

// =============================================================================================
// TFactSlot
// =============================================================================================

TFactSlot::TFactSlot(TFactTemplate* Template) : Template_(Template) {}

TFactSlot::~TFactSlot() {
  NameGeneration_.fetch_add(1, std::memory_order_relaxed);
  UnhookDefault();
}

std::string TFactSlot::GetTemplateName() const { return Template_ ? Template_->GetTemplateName() : std::string(); }

bool TFactSlot::DynamicChecks() const { return Template_ && Template_->DynamicChecks(); }

void TFactSlot::SetName(const TIEName& Value) {
  if (Value == Name_) return;
  CheckConstructName(Value);
  NameGeneration_.fetch_add(1, std::memory_order_relaxed);
  if (Template_)
    Template_->SlotRenamed(this, Value);
  else
    Name_ = Value;
}

void TFactSlot::UnhookDefault() noexcept {
  if (Default_ && !IsValueConstant(Default_)) Default_->SetOnChange(nullptr);
}

void TFactSlot::HookDefault() {
  if (Default_ && !IsValueConstant(Default_)) Default_->SetOnChange([this](TIEValue& V) { DefaultChanged(V); });
}

void TFactSlot::DefaultChanged(TIEValue& Value) {
  if (DynamicChecks() && !IsValid(&Value)) RaiseIE(SInvalidValue, {Value.GetToString(), Name_});
}

void TFactSlot::SetSlotDefault(const IIEValue& Value) {
  if (Value && DynamicChecks() && !IsValid(Value)) RaiseIE(SInvalidSlotDefault, {Value->GetToString()});
  IIEValue Stored = PrivateCopy(Value);
  UnhookDefault();
  Default_ = std::move(Stored);
  HookDefault();
}

void TFactSlot::SetSlotType(TIETypes Value) {
  if (Value == SlotType_) return;
  if (Value.Contains(dtFuzzy) && !(Value - IEMultiSlotTypes - TIETypes{dtFuzzy}).Empty()) RaiseIE(SCannotMixFuzzy);
  if (TypeInfo_ && TypeInfo_->GetImplicit()) TypeInfo_->SetBaseTypes(Value & IESlotTypesWithFuzzy);
  if (Template_) Template_->SlotTypesChanged();
  SlotType_ = Value;
  if (!Default_ || !IsValid(Default_)) SetSlotDefault(CreateValidDefault(IsMultiSlot()));
}

void TFactSlot::SetExtendedTypeInfo(const IIEDefinedType& Value) {
  if (Value == TypeInfo_) return;
  const IIEDefinedType Old = TypeInfo_;
  const TIETypes OldTypes = SlotType_;
  TypeInfo_ = Value;
  if (!Value) return;
  // A multislot stays a multislot (the ordered-fact slot always is one): the type constrains the
  // elements, not the shape.
  TIETypes Types = Value->GetBaseTypes();
  if (Name_ == SDefaultSlotName || IsMultiSlot()) Types |= IEMultiSlotTypes;
  try {
    SetSlotType(Types);
  } catch (...) {
    TypeInfo_ = Old;
    SlotType_ = OldTypes;
    throw;
  }
}

bool TFactSlot::IsValid(const TIEValue* Value) const {
  if (!Value) return true;
  if (Value == FCNil.get() && !AcceptsList()) return true;
  if (Value == FCNilList.get() && AcceptsList()) return true;
  if (TypeInfo_) return TypeInfo_->IsValid(*Value);
  const TIETypes Allowed = SlotType_ | IEAlwaysValidTypes;
  if (!Allowed.Contains(Value->GetDType())) return false;
  if (Value->GetDType() == dtList) {
    const IValueVector List = Value->GetAsList();
    for (int I = 0; I < List->GetValueCount(); ++I)
      if (!Allowed.Contains(List->Get(I)->GetDType())) return false;
  }
  return true;
}

std::string TFactSlot::GetInvalidValueString(const TIEValue& Value) const {
  if (TypeInfo_) {
    const std::string Reason = TypeInfo_->GetInvalidValueString(Value);
    return Reason.empty() ? Reason : FormatMessage(SInvalidSlotValue, {Reason, Name_});
  }
  const std::string Types = platform::UpperCase(SetToString(SlotType_, ", ", false));
  const TIEType Kind = Value.GetDType();
  if (!(SlotType_ | TIETypes{dtVariable, dtFunCall, dtMultiVariable}).Contains(Kind)) {
    const std::string Reason = FormatMessage(SNotCorrectType, {Types, Value.GetToString(), GetIETypeName(Kind)});
    return FormatMessage(SInvalidSlotValue, {Reason, Name_});
  }
  if (Kind == dtList) {
    const TIETypes Allowed = SlotType_ | IEAlwaysValidTypes;
    const IValueVector List = Value.GetAsList();
    for (int I = 0; I < List->GetValueCount(); ++I) {
      const TIEValue& Element = *List->Get(I);
      if (Allowed.Contains(Element.GetDType())) continue;
      const std::string KindText = GetIETypeName(Element.GetDType()) + " (" + Element.GetToString() + ")";
      const std::string Reason = FormatMessage(SNotCorrectType, {Types, Value.GetToString(), KindText});
      return FormatMessage(SInvalidSlotValue, {Reason, Name_});
    }
  }
  return {};
}

IIEValue TFactSlot::CreateValidDefault(bool MultiSlot) const {
  using platform::MakeRef;
  if (TypeInfo_) return TypeInfo_->CreateValidDefault(MultiSlot);
  if (MultiSlot) return FCNilList->Clone();
  const TIETypes T = SlotType_;
  if (T.Contains(dtAtom)) return NewAtom("");
  if (T.Contains(dtString)) return NewString("");
  if (T.Contains(dtInteger)) return NewInteger(0);
  if (T.Contains(dtFloat)) return NewFloat(0.0);
  if (T.Contains(dtObject)) return MakeRef<TIEValue>(static_cast<platform::TObject*>(nullptr), false);
  if (T.Contains(dtExternalAddress)) return MakeRef<TIEValue>(static_cast<void*>(nullptr));
  if (T.Contains(dtFuzzy)) return FCNil;
  if (T.Contains(dtFactId)) return MakeRef<TIEValue>(0, dtFactId);
  if (T.Contains(dtFact)) return MakeRef<TIEValue>(IFact());
  if (T.Contains(dtDescriptor)) return MakeRef<TIEValue>(0, dtDescriptor);
  if (T.Contains(dtClass)) return MakeRef<TIEValue>(static_cast<const platform::TClass*>(nullptr));
  return MakeRef<TIEValue>();
}

bool TFactSlot::Equals(const TCloneable* Other) const { return Equals(dynamic_cast<const TFactSlot*>(Other)); }

bool TFactSlot::Equals(const TFactSlot* Other) const {
  if (Other == this) return true;
  if (!Other || Name_ != Other->Name_ || SlotType_ != Other->SlotType_) return false;
  if (TypeInfo_ != Other->TypeInfo_ && !(TypeInfo_ && TypeInfo_->Equals(Other->TypeInfo_.get()))) return false;
  if (Default_ == Other->Default_) return true;
  if (!Default_ || !Other->Default_) return false;
  if (Default_->GetDType() == dtFuzzy && Other->Default_->GetDType() == dtFuzzy) {
    // The same default is the same set: the fuzzy comparison asks for overlap, which two empty
    // sets (a fuzzy slot's usual default) never have.
    const IFuzzySet A = Default_->GetAsFuzzy();
    const IFuzzySet B = Other->Default_->GetAsFuzzy();
    return A->GetName() == B->GetName() && A->EqualsValues(*B);
  }
  try {
    return Default_->EqualsStar(Other->Default_);
  } catch (const EIEException&) {
    return false;  // defaults of kinds that do not convert into each other differ
  }
}

std::string TFactSlot::GetToString() const {
  if (IFactsHost* Host = Template_ ? Template_->GetHost() : nullptr) return Host->PrintFactSlot(*this);
  return FactsPrinter().PrintFactSlot(*this);
}

void TFactSlot::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TFactSlot*>(&Source);
  if (!From) return TCloneable::Assign(Source);
  if (From == this) return;
  SetName(From->Name_);
  DefaultDynamic_ = From->DefaultDynamic_;
  SetTag(From->GetTag());
  IFactsHost* Engine = Template_ ? Template_->GetHost() : nullptr;
  IFactsHost* SourceEngine = From->Template_ ? From->Template_->GetHost() : nullptr;
  IIEDefinedType Type = From->TypeInfo_;
  TIETypes Types = From->SlotType_;
  // A type of another engine is replaced by this engine's type of the same name, if it has one.
  if (Type && Engine && SourceEngine != Engine) {
    if (IIEDefinedType Local = Engine->LookUpDefinedType(Type->GetName())) {
      Type = Local;
      Types = Local->GetBaseTypes() | (From->SlotType_ & IEMultiSlotTypes);
    }
  }
  IIEValue Stored = PrivateCopy(From->Default_);
  // A call, fact or fuzzy default of another engine is read again by this one.
  if (Type != From->TypeInfo_ && Stored && IEReparseTypes.Contains(Stored->GetDType()))
    Stored = Engine->ReadValue(Stored->GetToString());
  TypeInfo_ = Type;
  if (Template_) Template_->SlotTypesChanged();
  SlotType_ = Types;
  UnhookDefault();
  Default_ = std::move(Stored);
  HookDefault();
}

IFactSlot TFactSlot::Clone() const {
  IFactSlot Result = platform::MakeRef<TFactSlot>(Template_);
  Result->Assign(*this);
  return Result;
}

platform::ICloneable TFactSlot::DoClone() const { return Clone(); }

// =============================================================================================
// TFactTemplate
// =============================================================================================

TFactTemplate::TFactTemplate(platform::TComponent* Owner) { Attach(Owner); }

TFactTemplate::TFactTemplate(platform::TComponent* Owner, const TIEName& Name) : Name_(Name) { Attach(Owner); }

TFactTemplate::TFactTemplate(platform::TComponent* Owner, const std::string& Comment, const TIEName& Name,
                             const IFactTemplate& Source) {
  Attach(Owner);
  try {
    if (Source) Assign(*Source);
  } catch (...) {
    // A constructor that throws runs no destructor: the engine must not keep listing this one.
    if (Host_) Host_->FactTemplateDestroyed(this);
    throw;
  }
  Name_ = Name;
  Comment_ = Comment;
  Parent_ = Source && Source->GetOwner() == Owner ? Source : nullptr;
  HashDirty_ = true;
}

TFactTemplate::~TFactTemplate() {
  for (const IFactSlot& Slot : Slots_) Slot->Template_ = nullptr;
  if (Host_) Host_->FactTemplateDestroyed(this);
}

void TFactTemplate::Attach(platform::TComponent* Owner) {
  Owner_ = Owner;
  Host_ = dynamic_cast<IFactsHost*>(Owner);
  Engine_ = Host_ ? Host_->GetFactsEngine() : nullptr;
  if (Host_) Host_->FactTemplateCreated(this);
}

void TFactTemplate::EngineDestroyed() noexcept {
  Engine_ = nullptr;
  Host_ = nullptr;
  Owner_ = nullptr;
}

bool TFactTemplate::DynamicChecks() const { return Host_ && Host_->ChecksTypesDynamically(); }

void TFactTemplate::SetTemplateName(const TIEName& Value) {
  if (Value == Name_) return;
  CheckConstructName(Value);
  if (Host_) Host_->FactTemplateRenamed(Name_, Value);
  Name_ = Value;
  HashDirty_ = true;
}

bool TFactTemplate::IsFuzzy() const {
  if (TypesDirty_) {
    Fuzzy_ = std::any_of(Slots_.begin(), Slots_.end(), [](const IFactSlot& S) { return S->IsFuzzy(); });
    TypesDirty_ = false;
  }
  return Fuzzy_;
}

const IFactSlot& TFactTemplate::GetSlot(int Index) const {
  if (Index < 0 || Index >= GetSlotCount()) platform::ListIndexError(Index);
  return Slots_[static_cast<size_t>(Index)];
}

const IFactSlot& TFactTemplate::GetSlot(std::string_view Name) const {
  const int Index = IndexOfSlot(Name);
  if (Index < 0) RaiseIE(SInvalidSlotName, {Name});
  return Slots_[static_cast<size_t>(Index)];
}

std::vector<std::string> TFactTemplate::GetSlotNames() const {
  std::vector<std::string> Names;
  Names.reserve(Slots_.size());
  for (const IFactSlot& Slot : Slots_) Names.push_back(Slot->GetName());
  return Names;
}

int TFactTemplate::IndexOfSlot(std::string_view Name) const noexcept {
  // Names are exact keys, and templates mostly have a few slots: looking at each is cheaper
  // than a search that folds case.
  if (Slots_.size() <= 16) {
    for (size_t I = 0; I < Slots_.size(); ++I)
      if (Slots_[I]->GetName() == Name) return static_cast<int>(I);
    return -1;
  }
  auto It = std::lower_bound(Slots_.begin(), Slots_.end(), Name, [](const IFactSlot& S, std::string_view N) {
    return platform::CompareText(S->GetName(), N) < 0;
  });
  // Names equal but for case sort together; keys themselves are exact.
  for (; It != Slots_.end() && platform::SameText((*It)->GetName(), Name); ++It)
    if ((*It)->GetName() == Name) return static_cast<int>(It - Slots_.begin());
  return -1;
}

bool TFactTemplate::ContainsSlot(std::string_view Name, IFactSlot& Slot) const {
  const int Index = IndexOfSlot(Name);
  Slot = Index >= 0 ? Slots_[static_cast<size_t>(Index)] : nullptr;
  return Index >= 0;
}

bool TFactTemplate::ContainsType(const TIEDefinedType* Type, IFactSlot& Slot) const {
  for (const IFactSlot& S : Slots_)
    if (S->GetExtendedTypeInfo().get() == Type) {
      Slot = S;
      return true;
    }
  Slot = nullptr;
  return false;
}

void TFactTemplate::SlotsChanged() noexcept {
  Ordered_ = Slots_.size() == 1 && Slots_.front()->GetName() == SDefaultSlotName;
  HashDirty_ = true;
  TypesDirty_ = true;
}

void TFactTemplate::InsertSlot(const IFactSlot& Slot) {
  const int Existing = IndexOfSlot(Slot->GetName());
  if (Existing >= 0) {
    Slots_[static_cast<size_t>(Existing)]->Template_ = nullptr;
    Slots_.erase(Slots_.begin() + Existing);
  }
  auto It = std::upper_bound(Slots_.begin(), Slots_.end(), Slot, [](const IFactSlot& A, const IFactSlot& B) {
    return platform::CompareText(A->GetName(), B->GetName()) < 0;
  });
  Slots_.insert(It, Slot);
  Slot->Template_ = this;
  SlotsChanged();
}

void TFactTemplate::SlotRenamed(TFactSlot* Slot, const TIEName& NewName) {
  auto It = std::find_if(Slots_.begin(), Slots_.end(), [Slot](const IFactSlot& S) { return S.get() == Slot; });
  if (It == Slots_.end()) {
    Slot->Name_ = NewName;
    return;
  }
  const IFactSlot Keep = *It;
  Slots_.erase(It);
  Keep->Name_ = NewName;
  InsertSlot(Keep);
}

IFactSlot TFactTemplate::AddSlot(const TIEName& Name, const IIEValue& Default) {
  if (!Default) RaiseIE(SBadSlotType);
  if (Default->GetDType() == dtList) RaiseIE(SInvalidSlotDefault, {Default->GetToString()});
  if (platform::Trim(Name).empty()) RaiseIE(SBadSlotName, {Name});
  IFactSlot Slot;
  if (ContainsSlot(Name, Slot)) {
    if (Slot->Default_ && Slot->Default_->GetDType() == dtList) RaiseIE(SInvalidExistingMultiSlotChange);
    Slot->SetSlotDefault(Default);
    return Slot;
  }
  CheckConstructName(Name);
  Slot = platform::MakeRef<TFactSlot>(this);
  Slot->SlotType_ = IESlotTypes;
  Slot->SetSlotDefault(Default);
  Slot->Name_ = Name;
  InsertSlot(Slot);
  return Slot;
}

IFactSlot TFactTemplate::AddMultiSlot(const TIEName& Name, const IIEValue& Default) {
  if (!Default) RaiseIE(SBadSlotType);
  if (Default->GetDType() != dtList) RaiseIE(SInvalidDefaultMultislotValue, {Default->GetToString()});
  if (platform::Trim(Name).empty()) RaiseIE(SBadSlotName, {Name});
  IFactSlot Slot;
  if (ContainsSlot(Name, Slot)) {
    if (!Slot->Default_ || Slot->Default_->GetDType() != dtList) RaiseIE(SInvalidExistingSlotChange);
    Slot->SetSlotDefault(Default);
    return Slot;
  }
  CheckConstructName(Name);
  Slot = platform::MakeRef<TFactSlot>(this);
  Slot->SlotType_ = IESlotTypes | IEMultiSlotTypes;
  Slot->SetSlotDefault(Default);
  Slot->Name_ = Name;
  InsertSlot(Slot);
  return Slot;
}

IFactSlot TFactTemplate::AddSlot(const TFactSlot& Source) {
  // Assigned while outside the table, so that taking over the name is not a rename.
  IFactSlot Slot = platform::MakeRef<TFactSlot>(this);
  Slot->Assign(Source);
  InsertSlot(Slot);
  return Slot;
}

void TFactTemplate::SetSlot(const TIEName& Name, const IFactSlot& Slot) {
  if (!Slot) RaiseIE(SBadSlotType);
  if (Slot->GetName() != Name) RaiseIE(SNoIndexNameMatch, {Name, Slot->GetName()});
  // A slot belongs to one template: one of another template is copied in.
  if (Slot->Template_ && Slot->Template_ != this) {
    AddSlot(*Slot);
    return;
  }
  InsertSlot(Slot);
}

void TFactTemplate::RemoveSlot(std::string_view Name) {
  const int Index = IndexOfSlot(Name);
  if (Index < 0) RaiseIE(SInvalidSlotName, {Name});
  Slots_[static_cast<size_t>(Index)]->Template_ = nullptr;
  Slots_.erase(Slots_.begin() + Index);
  SlotsChanged();
}

void TFactTemplate::ClearSlots() {
  for (const IFactSlot& Slot : Slots_) Slot->Template_ = nullptr;
  Slots_.clear();
  SlotsChanged();
}

void TFactTemplate::AssignSlots(const TFactTemplate& Source) {
  if (&Source == this) return;
  for (const IFactSlot& Slot : Source.Slots_) AddSlot(*Slot);
}

void TFactTemplate::FillFactWithDefaults(TFact& Fact) const {
  if (!Fact.GetTemplate()) RaiseIE(SNoTemplate);
  if (Fact.GetTemplate().get() != this)
    RaiseIE(SFactTemplatesDifferent, {Fact.GetTemplate()->GetTemplateName(), Name_});
  platform::TObject* Context = Host_ ? Host_->GetEvaluationContext() : nullptr;
  TFactValues& Values = Fact.GetSlotValues();
  const bool Fresh = Values.Count() == 0;
  if (Fresh) Values.Reserve(GetSlotCount());
  for (const IFactSlot& Slot : Slots_) {
    IIEValue Value = Slot->Default_ ? Slot->Default_->Clone() : platform::MakeRef<TIEValue>();
    if (Slot->DefaultDynamic_ && Host_) Value = Value->Resolve(Context);
    if (Fresh)
      Values.Entries().push_back({Slot, std::move(Value)});
    else
      Values.Put(Slot, std::move(Value));
  }
}

IFact TFactTemplate::NewFact() {
  IFact Fact = TFact::Create(IFactTemplate(this));
  FillFactWithDefaults(*Fact);
  return Fact;
}

bool TFactTemplate::Equals(const TCloneable* Other) const {
  return Equals(dynamic_cast<const TFactTemplate*>(Other));
}

bool TFactTemplate::Equals(const TFactTemplate* Other) const {
  if (Other == this) return true;
  if (!Other || Ordered_ != Other->Ordered_ || Name_ != Other->Name_) return false;
  IFactSlot Match;
  for (const IFactSlot& Slot : Slots_)
    if (!Other->ContainsSlot(Slot->GetName(), Match) || !Slot->Equals(Match.get())) return false;
  return true;
}

uint32_t TFactTemplate::GetHashCode() const {
  if (HashDirty_) {
    std::string Text = Name_;
    for (const IFactSlot& Slot : Slots_) {
      Text += Slot->GetName();
      Text += "\r\n";
    }
    Hash_ = CalculateHash(Text, 1);
    HashDirty_ = false;
  }
  return Hash_;
}

std::string TFactTemplate::GetToString() const {
  return Host_ ? Host_->PrintFactTemplate(*this) : FactsPrinter().PrintFactTemplate(*this);
}

void TFactTemplate::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TFactTemplate*>(&Source);
  if (!From) return TCloneable::Assign(Source);
  if (From == this) return;
  BackwardChaining_ = From->BackwardChaining_;
  Comment_ = From->Comment_;
  SetTemplateName(From->Name_);
  Parent_ = From->Parent_ && From->Parent_->GetOwner() == Owner_ ? From->Parent_ : nullptr;
  ClearSlots();
  AssignSlots(*From);
  SetTag(From->GetTag());
}

void TFactTemplate::Assign(const platform::ICloneable& Source) {
  const auto* From = dynamic_cast<const TFactTemplate*>(Source.get());
  if (!From || From == this) return TCloneable::Assign(Source);
  if (!Host_) return Assign(static_cast<const platform::TPersistent&>(*From));
  BackwardChaining_ = From->BackwardChaining_;
  Comment_ = From->Comment_;
  SetTemplateName(From->Name_);
  Parent_ = From->Parent_ && From->Parent_->GetOwner() == Owner_ ? From->Parent_ : nullptr;
  ClearSlots();
  // Each slot is read again from its text by this engine: types and calls become its own.
  for (const IFactSlot& Slot : From->Slots_) Host_->ReadFactTemplateSlot(*this, Slot->GetToString());
  SetTag(From->GetTag());
  TypesDirty_ = From->TypesDirty_;
  Fuzzy_ = From->Fuzzy_;
  HashDirty_ = From->HashDirty_;
  Hash_ = From->Hash_;
}

IFactTemplate TFactTemplate::Clone() const {
  IFactTemplate Result = Engine_ ? platform::MakeRef<TFactTemplate>(Owner_, Name_ + " Copy")
                                 : platform::MakeRef<TFactTemplate>(Owner_);
  Result->Assign(*this);
  return Result;
}

IFactTemplate TFactTemplate::Clone(platform::TComponent* Owner) const {
  IFactTemplate Result = platform::MakeRef<TFactTemplate>(Owner);
  Result->Assign(*this);
  return Result;
}

platform::ICloneable TFactTemplate::DoClone() const { return Clone(); }

}  // namespace rulecore
