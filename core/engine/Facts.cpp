#include "Facts.h"

#include <algorithm>

#include "InferenceEngine.h"
#include "core/values/IEException.h"
#include "platform/Exceptions.h"

namespace rulecore {

namespace {

// The duplicate cache's own hash, made without writing any value as text.  Facts that
// TFact::Equals finds equal hash alike: they share the template object, their slots hold
// strictly equal values, and strictly equal numbers and texts have equal hash codes.  Values of
// other kinds hash by their text, as equal values write alike.  (Facts of templates with fuzzy
// slots, which Equals passes over, are kept apart and never hashed.)
uint32_t CacheHash(const TFact& Fact) {
  const IFactTemplate& Template = Fact.GetTemplate();
  if (!Template) return 0;
  uint32_t Hash = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Template.get()) >> 4);
  auto& Self = const_cast<TFact&>(Fact);
  const TFactValues& Values = Self.GetSlotValues();
  const int N = Template->GetSlotCount();
  for (int S = 0; S < N; ++S) {
    const IFactSlot& Slot = Template->GetSlot(S);
    // A fact filled by its template keeps its entries in slot order.
    int I = S < Values.Count() && Values.Entry(S).Slot == Slot ? S : Values.Find(Slot->GetName());
    const TIEValue* V = nullptr;
    if (I >= 0)
      V = Values.Entry(I).Value.get();
    else
      V = Self.GetValue(Slot->GetName()).get();  // made from the default, as Equals would
    uint32_t Code = 0;
    if (V) {
      const TIEType Kind = V->GetDType();
      if (Kind == dtNone || IEStrictHashTypes.Contains(Kind))
        Code = V->GetHashCode() * 8u + static_cast<uint32_t>(Kind);
      else
        Code = CalculateHash(V->GetToString());
    }
    Hash = (Hash ^ Code) * 0x9E3779B1u;
  }
  return Hash;
}

}  // namespace

TFacts::TFacts(TInferenceEngine* Engine) : Engine_(Engine) {}

const IFact& TFacts::Get(int Index) const {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  return Items_[static_cast<size_t>(Index)];
}

void TFacts::CacheAdd(TFact* Fact) {
  if (!Caching_) return;
  if (Fact->GetTemplate() && Fact->GetTemplate()->IsFuzzy())
    FuzzyFacts_.push_back(Fact);
  else
    Cache_.emplace(CacheHash(*Fact), Fact);
}

void TFacts::CacheRemove(TFact* Fact) {
  if (!Caching_) return;
  auto F = std::find(FuzzyFacts_.begin(), FuzzyFacts_.end(), Fact);
  if (F != FuzzyFacts_.end()) {
    FuzzyFacts_.erase(F);
    return;
  }
  auto [Begin, End] = Cache_.equal_range(CacheHash(*Fact));
  for (auto It = Begin; It != End; ++It)
    if (It->second == Fact) {
      Cache_.erase(It);
      return;
    }
  // The fact changed since it was cached (its hash moved): find it by identity.
  for (auto It = Cache_.begin(); It != Cache_.end(); ++It)
    if (It->second == Fact) {
      Cache_.erase(It);
      return;
    }
}

void TFacts::SetCacheHashCodes(bool Value) {
  if (Value == Caching_) return;
  Caching_ = Value;
  Cache_.clear();
  FuzzyFacts_.clear();
  if (Caching_)
    for (const IFact& F : Items_) CacheAdd(F.get());
}

void TFacts::Append(const IFact& Fact) {
  // Ids only grow within a reset period, except for preserved ids: keep the list sorted.
  if (Items_.empty() || Items_.back()->GetID() <= Fact->GetID()) {
    Items_.push_back(Fact);
  } else {
    auto It = std::upper_bound(Items_.begin(), Items_.end(), Fact->GetID(),
                               [](int32_t ID, const IFact& F) { return ID < F->GetID(); });
    Items_.insert(It, Fact);
  }
  if (Fact->GetID() > Highest_) Highest_ = Fact->GetID();
  CacheAdd(Fact.get());
}

void TFacts::RemoveAt(int Index) {
  const IFact Fact = Get(Index);
  CacheRemove(Fact.get());
  Items_.erase(Items_.begin() + Index);
}

void TFacts::ClearList() noexcept {
  Items_.clear();
  Cache_.clear();
  FuzzyFacts_.clear();
  Highest_ = 0;
}

int TFacts::Add(const IFact& Fact) {
  if (!Engine_) {
    Append(Fact);
    return Count() - 1;
  }
  if (PreserveIDs_ && Fact->GetID() != -1 && FindFact(Fact->GetID()) < 0) {
    const int32_t Next = Engine_->GetNextFactId();
    Engine_->SetNextFactId(Fact->GetID());
    try {
      Engine_->Assert(Fact, false);
    } catch (...) {
      Engine_->SetNextFactId(std::max(Next, Highest_ + 1));
      throw;
    }
    Engine_->SetNextFactId(std::max(Next, Highest_ + 1));
  } else {
    Engine_->Assert(Fact, false);
  }
  return Count() - 1;
}

void TFacts::Insert(int Index, const IFact& Fact) {
  Add(Fact);
  const int From = IndexOf(Fact.get());
  if (From < 0 || Index < 0 || Index >= Count() || From == Index) return;
  const IFact Moved = Items_[static_cast<size_t>(From)];
  Items_.erase(Items_.begin() + From);
  Items_.insert(Items_.begin() + Index, Moved);
}

void TFacts::Delete(int Index) {
  if (Engine_)
    Engine_->RetractFact(Index);
  else
    RemoveAt(Index);
}

void TFacts::Clear() {
  ClearList();
  if (Engine_) Engine_->RetractFacts();
}

int TFacts::FindFact(int32_t ID) const noexcept {
  if (Items_.size() <= 4) {
    for (size_t I = 0; I < Items_.size(); ++I)
      if (Items_[I]->GetID() == ID) return static_cast<int>(I);
    return -1;
  }
  auto It = std::lower_bound(Items_.begin(), Items_.end(), ID, [](const IFact& F, int32_t V) { return F->GetID() < V; });
  return It != Items_.end() && (*It)->GetID() == ID ? static_cast<int>(It - Items_.begin()) : -1;
}

IFact TFacts::GetFactByID(int32_t ID) const noexcept {
  const int I = FindFact(ID);
  return I >= 0 ? Items_[static_cast<size_t>(I)] : IFact();
}

int TFacts::IndexOf(const TFact* Fact) const noexcept {
  if (!Fact) return -1;
  if (Items_.size() < 5 || Fact->GetID() == -1) {
    for (size_t I = 0; I < Items_.size(); ++I)
      if (Items_[I].get() == Fact) return static_cast<int>(I);
    return -1;
  }
  const int I = FindFact(Fact->GetID());
  if (I >= 0 && Items_[static_cast<size_t>(I)].get() == Fact) return I;
  for (size_t J = 0; J < Items_.size(); ++J)
    if (Items_[J].get() == Fact) return static_cast<int>(J);
  return -1;
}

int TFacts::FindFact(const TFact& Fact) const {
  const TFact* Found = nullptr;
  if (PreserveIDs_ || !Caching_) {
    for (const IFact& F : Items_)
      if (F->Equals(&Fact)) {
        Found = F.get();
        break;
      }
  } else if (Fact.GetTemplate() && Fact.GetTemplate()->IsFuzzy()) {
    for (const TFact* F : FuzzyFacts_)
      if (F->Equals(&Fact)) {
        Found = F;
        break;
      }
  } else {
    // A hash hit is confirmed by equality: different facts may share a hash code.
    auto [Begin, End] = Cache_.equal_range(CacheHash(Fact));
    for (auto It = Begin; It != End; ++It)
      if (It->second->Equals(&Fact)) {
        Found = It->second;
        break;
      }
  }
  return Found ? IndexOf(Found) : -1;
}

std::string TFacts::ToString() const {
  std::string Text;
  for (size_t I = 0; I < Items_.size(); ++I) {
    if (I) Text += "\r\n";
    Text += Items_[I]->ToString();
  }
  return Text;
}

std::string TFacts::ToIDString() const {
  std::string Text;
  for (size_t I = 0; I < Items_.size(); ++I) {
    if (I) Text += "\r\n";
    Text += Items_[I]->GetToIDString();
  }
  return Text;
}

void TFacts::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TFacts*>(&Source);
  if (!From) return TPersistent::Assign(Source);
  if (From == this) return;
  // A copy of the source's list: clearing may retract facts that the source shares with us.
  const std::vector<IFact> Theirs = From->Items_;
  Clear();
  for (const IFact& Fact : Theirs) {
    IFactTemplate Template = Fact->GetTemplate();
    if (Engine_ && Template && Template->GetEngine() != Engine_) {
      IFactTemplate Mine = Engine_->FindFactTemplate(Template->GetTemplateName());
      if (!Mine || !Mine->Equals(Template.get()))
        RaiseIE(SFactTemplatesDifferent, {Template->GetToString(), Mine ? Mine->GetToString() : std::string()});
      Template = Mine;
    }
    Add(platform::MakeRef<TFact>(Template, *Fact));
  }
}

}  // namespace rulecore
