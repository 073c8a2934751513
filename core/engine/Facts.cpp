#include "Facts.h"

#include <algorithm>

#include "InferenceEngine.h"
#include "core/values/IEException.h"
#include "platform/Exceptions.h"

namespace rulecore {

namespace {

// A plain value's hash code, its kind mixed in (strictly equal values have equal codes).
uint32_t StrictCode(const TIEValue& Value) noexcept {
  return Value.GetHashCode() * 8u + static_cast<uint32_t>(Value.GetDType());
}

// A value's code for the duplicate cache: plain values by their hash codes; a list of plain
// values (an ordered fact's fields) element by element, as lists compare; anything else by its
// text, as equal values write alike.
uint32_t CacheCode(const TIEValue& Value) {
  const TIEType Kind = Value.GetDType();
  if (Kind == dtNone || IEStrictHashTypes.Contains(Kind)) return StrictCode(Value);
  if (const TValueVector* List = PeekList(Value)) {
    uint32_t Code = 0x2545F491u + static_cast<uint32_t>(List->GetValueCount());
    for (int I = 0; I < List->GetValueCount(); ++I) {
      const TIEValue* Item = List->Get(I).get();
      if (!Item || (Item->GetDType() != dtNone && !IEStrictHashTypes.Contains(Item->GetDType())))
        return CalculateHash(Value.GetToString());
      Code = (Code ^ StrictCode(*Item)) * 0x9E3779B1u;
    }
    return Code;
  }
  return CalculateHash(Value.GetToString());
}

// The duplicate cache's own hash, made without writing any value as text.  Facts that
// TFact::Equals finds equal hash alike: they share the template object, their slots hold
// strictly equal values, and strictly equal numbers and texts have equal hash codes.  Lists of
// those hash by their elements; values of other kinds by their text, as equal values write
// alike.  Fuzzy slots, which Equals
// passes over, are left out: a fuzzy fact hashes as its crisp slots.
uint32_t CacheHash(const TFact& Fact) {
  const IFactTemplate& Template = Fact.GetTemplate();
  if (!Template) return 0;
  uint32_t Hash = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Template.get()) >> 4);
  auto& Self = const_cast<TFact&>(Fact);
  const TFactValues& Values = Self.GetSlotValues();
  const int N = Template->GetSlotCount();
  for (int S = 0; S < N; ++S) {
    const IFactSlot& Slot = Template->GetSlot(S);
    if (Slot->IsFuzzy()) continue;
    // A fact filled by its template keeps its entries in slot order.
    int I = S < Values.Count() && Values.Entry(S).Slot == Slot ? S : Values.Find(Slot->GetName());
    const TIEValue* V = nullptr;
    if (I >= 0)
      V = Values.Entry(I).Value.get();
    else
      V = Self.GetValue(Slot->GetName()).get();  // made from the default, as Equals would
    Hash = (Hash ^ (V ? CacheCode(*V) : 0u)) * 0x9E3779B1u;
  }
  return Hash;
}

// The lowest set bit of a Fenwick tree position: the length of the span that position covers.
constexpr size_t LowBit(size_t Position) noexcept { return Position & (~Position + 1); }

}  // namespace

TFacts::TFacts(TInferenceEngine* Engine) : Engine_(Engine) {}

const IFact& TFacts::Get(int Index) const {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  return Items_[PlaceAt(Index)];
}

// --- places and positions ---------------------------------------------------------------------

int32_t TFacts::LiveBefore(size_t End) const noexcept {
  int32_t Sum = 0;
  for (size_t I = End; I > 0; I -= LowBit(I)) Sum += Live_[I];
  return Sum;
}

void TFacts::BuildLiveCounts() const {
  const size_t N = Items_.size();
  Live_.assign(N + 1, 0);
  for (size_t I = 1; I <= N; ++I) {
    Live_[I] += Items_[I - 1] ? 1 : 0;
    const size_t Parent = I + LowBit(I);
    if (Parent <= N) Live_[Parent] += Live_[I];
  }
}

void TFacts::AppendLiveCount() const {
  // The new last place I covers the places (I - lowbit(I), I]: itself and those before it.
  const size_t I = Items_.size();
  const size_t Low = LowBit(I);
  Live_.push_back(1 + LiveBefore(I - 1) - LiveBefore(I - Low));
}

size_t TFacts::PlaceAt(int Index) const noexcept {
  if (!Holes_) return static_cast<size_t>(Index);
  // The place holding the (Index + 1)-th live fact, by descending the tree.
  size_t Place = 0;
  int32_t Left = Index + 1;
  size_t Step = 1;
  while (Step * 2 <= Items_.size()) Step *= 2;
  for (; Step; Step /= 2)
    if (Place + Step <= Items_.size() && Live_[Place + Step] < Left) {
      Place += Step;
      Left -= Live_[Place];
    }
  return Place;
}

int TFacts::PositionOf(size_t Place) const noexcept {
  return Holes_ ? LiveBefore(Place + 1) - 1 : static_cast<int>(Place);
}

int TFacts::PlaceOfID(int32_t ID) const noexcept {
  if (Items_.size() <= 4) {
    for (size_t I = 0; I < Items_.size(); ++I)
      if (Items_[I] && Ids_[I] == ID) return static_cast<int>(I);
    return -1;
  }
  for (auto It = std::lower_bound(Ids_.begin(), Ids_.end(), ID); It != Ids_.end() && *It == ID; ++It)
    if (Items_[static_cast<size_t>(It - Ids_.begin())]) return static_cast<int>(It - Ids_.begin());
  return -1;
}

int TFacts::PlaceOf(const TFact* Fact) const noexcept {
  if (!Fact) return -1;
  if (Items_.size() >= 5 && Fact->GetID() != -1) {
    const int I = PlaceOfID(Fact->GetID());
    if (I >= 0 && Items_[static_cast<size_t>(I)].get() == Fact) return I;
  }
  for (size_t I = 0; I < Items_.size(); ++I)
    if (Items_[I].get() == Fact) return static_cast<int>(I);
  return -1;
}

void TFacts::Compact() const noexcept {
  size_t To = 0;
  for (size_t From = 0; From < Items_.size(); ++From) {
    if (!Items_[From]) continue;
    if (To != From) {
      Items_[To] = std::move(Items_[From]);
      Ids_[To] = Ids_[From];
    }
    ++To;
  }
  Items_.resize(To);
  Ids_.resize(To);
  Live_.clear();
  Holes_ = 0;
}

bool TFacts::Cached(const TFact& Fact) const noexcept {
  return Caching_ || (Fact.GetTemplate() && Fact.GetTemplate()->IsFuzzy());
}

void TFacts::CacheAdd(TFact* Fact) {
  if (Cached(*Fact)) Cache_.Insert(CacheHash(*Fact), Fact);
}

void TFacts::CacheRemove(TFact* Fact) {
  if (!Cached(*Fact)) return;
  // A fact changed since it was cached (its hash moved) is found by identity.
  if (!Cache_.Erase(CacheHash(*Fact), Fact)) Cache_.EraseAnywhere(Fact);
}

void TFacts::SetCacheHashCodes(bool Value) {
  if (Value == Caching_) return;
  Caching_ = Value;
  Cache_.Clear();
  for (const IFact& F : Items()) CacheAdd(F.get());
}

void TFacts::Append(const IFact& Fact) {
  // Ids only grow within a reset period, except for preserved ids: keep the list sorted.
  if (Ids_.empty() || Ids_.back() <= Fact->GetID()) {
    Items_.push_back(Fact);
    Ids_.push_back(Fact->GetID());
    if (Holes_) AppendLiveCount();
  } else {
    Dense();
    auto It = std::upper_bound(Ids_.begin(), Ids_.end(), Fact->GetID());
    Items_.insert(Items_.begin() + (It - Ids_.begin()), Fact);
    Ids_.insert(It, Fact->GetID());
  }
  if (Fact->GetID() > Highest_) Highest_ = Fact->GetID();
  CacheAdd(Fact.get());
}

void TFacts::RemoveAt(int Index) {
  const IFact Fact = Get(Index);
  CacheRemove(Fact.get());
  if (!Holes_) BuildLiveCounts();
  const size_t Place = PlaceAt(Index);
  Items_[Place] = nullptr;
  ++Holes_;
  for (size_t I = Place + 1; I < Live_.size(); I += LowBit(I)) --Live_[I];
  if (Holes_ >= 64 && Holes_ * 2 >= Items_.size()) Compact();
}

void TFacts::ClearList() noexcept {
  Items_.clear();
  Ids_.clear();
  Live_.clear();
  Holes_ = 0;
  Cache_.Clear();
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
      Engine_->SetNextFactId(std::max(Next, AfterHighest()));
      throw;
    }
    Engine_->SetNextFactId(std::max(Next, AfterHighest()));
  } else {
    Engine_->Assert(Fact, false);
  }
  return Count() - 1;
}

void TFacts::Insert(int Index, const IFact& Fact) {
  Add(Fact);
  const int From = IndexOf(Fact.get());
  if (From < 0 || Index < 0 || Index >= Count() || From == Index) return;
  Dense();
  const IFact Moved = Items_[static_cast<size_t>(From)];
  const int32_t MovedID = Ids_[static_cast<size_t>(From)];
  Items_.erase(Items_.begin() + From);
  Ids_.erase(Ids_.begin() + From);
  Items_.insert(Items_.begin() + Index, Moved);
  Ids_.insert(Ids_.begin() + Index, MovedID);
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
  const int Place = PlaceOfID(ID);
  return Place >= 0 ? PositionOf(static_cast<size_t>(Place)) : -1;
}

IFact TFacts::GetFactByID(int32_t ID) const noexcept {
  const int Place = PlaceOfID(ID);
  return Place >= 0 ? Items_[static_cast<size_t>(Place)] : IFact();
}

int TFacts::IndexOf(const TFact* Fact) const noexcept {
  const int Place = PlaceOf(Fact);
  return Place >= 0 ? PositionOf(static_cast<size_t>(Place)) : -1;
}

int TFacts::FindFact(const TFact& Fact) const {
  const TFact* Found = nullptr;
  if (PreserveIDs_ || !Cached(Fact)) {
    for (const IFact& F : Items())
      if (F->Equals(&Fact)) {
        Found = F.get();
        break;
      }
  } else {
    // A hash hit is confirmed by equality: different facts may share a hash code.
    Found = Cache_.Find(CacheHash(Fact), [&](const TFact* Cached) { return Cached->Equals(&Fact); });
  }
  return Found ? IndexOf(Found) : -1;
}

std::string TFacts::ToString() const {
  Dense();
  std::string Text;
  for (size_t I = 0; I < Items_.size(); ++I) {
    if (I) Text += "\r\n";
    Text += Items_[I]->ToString();
  }
  return Text;
}

std::string TFacts::ToIDString() const {
  Dense();
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
  const std::vector<IFact> Theirs = From->Items();
  Clear();
  for (const IFact& Fact : Theirs) {
    IFactTemplate Template = Fact->GetTemplate();
    if (Engine_ && Template && Template->GetEngine() != Engine_) {
      IFactTemplate Mine = Engine_->FindFactTemplate(Template->GetTemplateName());
      if (!Mine || !Mine->Equals(Template.get()))
        RaiseIE(SFactTemplatesDifferent, {Template->GetToString(), Mine ? Mine->GetToString() : std::string()});
      Template = Mine;
    }
    Add(TFact::Create(Template, *Fact));
  }
}

}  // namespace rulecore
