#include "ActivationAgenda.h"

#include <algorithm>

#include "IERule.h"
#include "IEToken.h"
#include "ReteNetwork.h"
#include "NetworkHost.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

namespace rulecore {

// =============================================================================================
// TActivation
// =============================================================================================

TActivation::TActivation(TRule* Rule, IReteToken Token, TPatternMatchTerminalNode* Node, float Strength)
    : Rule_(Rule), Token_(std::move(Token)), Node_(Node) {
  SetStrength(Strength);
}

TActivation::~TActivation() {
  if (Node_) Node_->Forget(this);
}

void TActivation::SetStrength(float Value) noexcept { Strength_ = Value < 0 ? 0 : Value > 1 ? 1 : Value; }

TActivation::TActivation() = default;

bool TActivation::Fire() {
  Rule_->Fire(*Token_);
  if (!Node_) return false;
  Node_->RuleFired(this);
  return true;
}

std::string TActivation::GetToString() const {
  return std::to_string(Rule_ ? Rule_->GetSalience() : 0) + " " + (Rule_ ? Rule_->GetRuleName() : std::string()) +
         " : " + (Token_ ? Token_->GetToFactsString() : std::string()) + " (" +
         platform::Format("%.4f", {static_cast<double>(Strength_)}) + ")";
}

void TActivation::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TActivation*>(&Source);
  if (!From) return TPersistent::Assign(Source);
  Rule_ = From->Rule_;
  Token_ = From->Token_;
  Node_ = From->Node_;
  Strength_ = From->Strength_;
}

TActivation* TActivation::Clone() const { return new TActivation(Rule_, Token_, Node_, Strength_); }

// =============================================================================================
// TActivationAgenda
// =============================================================================================

TActivationAgenda::~TActivationAgenda() {
  if (OwnsObjects_) Items_.ForEach([](TActivation* A) { delete A; });
}

int TActivationAgenda::FindInsertion(const TActivation&) { return -1; }

int TActivationAgenda::Add(TActivation* Activation) {
  int At = FindInsertion(*Activation);
  if (At < 0 || At >= Count()) At = Count();
  Items_.insert(static_cast<size_t>(At), Activation);
  PlaceKey(static_cast<size_t>(At));
  return At;
}

void TActivationAgenda::PlaceKey(size_t Index) noexcept {
  constexpr uint64_t Gap = uint64_t{1} << 32;
  TActivation* const Placed = Items_[Index];
  if (!Placed) return;
  const size_t N = Items_.size();
  const TActivation* const Before = Index > 0 ? Items_[Index - 1] : nullptr;
  const TActivation* const After = Index + 1 < N ? Items_[Index + 1] : nullptr;
  if (N == 1) {
    Placed->AgendaKey_ = uint64_t{1} << 63;
    return;
  }
  if (Before && Index + 1 == N && Before->AgendaKey_ <= UINT64_MAX - Gap) {
    Placed->AgendaKey_ = Before->AgendaKey_ + Gap;
    return;
  }
  if (After && Index == 0 && After->AgendaKey_ > Gap) {
    Placed->AgendaKey_ = After->AgendaKey_ - Gap;
    return;
  }
  if (Before && After && After->AgendaKey_ > Before->AgendaKey_ && After->AgendaKey_ - Before->AgendaKey_ >= 2) {
    Placed->AgendaKey_ = Before->AgendaKey_ + (After->AgendaKey_ - Before->AgendaKey_) / 2;
    return;
  }
  // Spread around the neighbour the placed entry follows (precedes, at the front); a host may
  // have put an empty entry there, which has no key.
  const TActivation* const Near = Index > 0 ? Before : After;
  if (Near && (!Before || !After || After->AgendaKey_ > Before->AgendaKey_) && SpreadAround(Index, Near->AgendaKey_))
    return;
  // Keys out of order (another agenda placed some of these activations since) or the agenda
  // too dense for the key range: space them all evenly, leaving room at both ends.
  const uint64_t Step = std::max<uint64_t>(1, std::min<uint64_t>(Gap, UINT64_MAX / (N + 2)));
  uint64_t Key = UINT64_MAX / 2 - Step * (N / 2);
  Items_.ForEach([&Key, Step](TActivation* A) {
    if (A) A->AgendaKey_ = Key;
    Key += Step;
  });
}

// Order maintenance with local relabelling: the entries whose keys share the neighbour's key
// above the lowest Level bits form a run around Index; the smallest such range that is sparse
// enough - at most Span / Density^Level entries, Density between 1 and 2 - is spread evenly
// over its keys.  Repeated placements at one spot then cost amortised logarithmic work
// instead of respacing the whole agenda every few dozen placements.
bool TActivationAgenda::SpreadAround(size_t Index, uint64_t Anchor) noexcept {
  constexpr double Density = 1.4;  // (2 / 1.4)^64 leaves room for billions of entries
  const size_t N = Items_.size();
  size_t Lo = Index, Hi = Index;  // the run, the placed entry included
  double Allowed = 1.0;           // Span / Density^Level, computed as it goes
  for (int Level = 1; Level <= 64; ++Level) {
    Allowed *= 2.0 / Density;
    const uint64_t Mask = Level == 64 ? UINT64_MAX : (uint64_t{1} << Level) - 1;
    const uint64_t Base = Anchor & ~Mask;
    const auto Inside = [Base, Mask](const TActivation* A) { return A && (A->AgendaKey_ & ~Mask) == Base; };
    while (Lo > 0 && Inside(Items_[Lo - 1])) --Lo;
    while (Hi + 1 < N && Inside(Items_[Hi + 1])) ++Hi;
    const size_t Count = Hi - Lo + 1;
    if (static_cast<double>(Count) > Allowed) continue;
    // The spot that ran out of keys is the likeliest to be placed at again (matches arriving
    // one after another at the front or in the middle of a run of equal salience): the placed
    // entry gets the middle of [Base, Base + Mask] with a third of the keys free on either
    // side, the entries before and after it are spaced evenly over the outer thirds.
    const uint64_t Third = Mask / 3;
    const size_t Left = Index - Lo, Right = Hi - Index;
    const uint64_t LeftStep = Third / (Left + 1), RightStep = Third / (Right + 1);
    if (LeftStep == 0 || RightStep == 0) continue;
    uint64_t Key = Base;
    Items_.ForEachIn(Lo, Index, [&Key, LeftStep](TActivation* A) {
      Key += LeftStep;
      if (A) A->AgendaKey_ = Key;
    });
    Key = Base + Mask / 2;
    if (TActivation* Placed = Items_[Index]) Placed->AgendaKey_ = Key;
    Key = Base + Mask - Third;
    Items_.ForEachIn(Index + 1, Hi + 1, [&Key, RightStep](TActivation* A) {
      if (A) A->AgendaKey_ = Key;
      Key += RightStep;
    });
    return true;
  }
  return false;
}

TActivation* TActivationAgenda::GetActivations(int Index) const {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  return Items_[static_cast<size_t>(Index)];
}

void TActivationAgenda::SetActivations(int Index, TActivation* Activation) {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  Items_[static_cast<size_t>(Index)] = Activation;
  PlaceKey(static_cast<size_t>(Index));
}

std::string TActivationAgenda::GetText(int Index) const { return GetActivations(Index)->GetToString(); }

int TActivationAgenda::IndexOf(const TActivation* Activation) const noexcept {
  const auto Found = [this](const TActivation* A) {
    const size_t At = Items_.Find(const_cast<TActivation*>(A));
    return At == Items_.size() ? -1 : static_cast<int>(At);
  };
  if (!Activation) return Found(nullptr);
  // The firing activation is asked for most: it is the first.
  if (!Items_.empty() && Items_.front() == Activation) return 0;
  const uint64_t Key = Activation->AgendaKey_;
  const size_t At = Items_.PartitionPoint([Key](const TActivation* A) { return A && A->AgendaKey_ < Key; });
  if (At < Items_.size() && Items_[At] == Activation) return static_cast<int>(At);
  return Found(Activation);
}

bool TActivationAgenda::KeysRise() const noexcept {
  bool Rise = true;
  const TActivation* Last = nullptr;
  Items_.ForEach([&Rise, &Last](const TActivation* A) {
    if (!A) return;
    if (Last && A->AgendaKey_ <= Last->AgendaKey_) Rise = false;
    Last = A;
  });
  return Rise;
}

TActivation* TActivationAgenda::Extract(int Index) {
  TActivation* A = GetActivations(Index);
  Items_.erase(static_cast<size_t>(Index));
  return A;
}

void TActivationAgenda::Delete(int Index) {
  TActivation* A = Extract(Index);
  if (OwnsObjects_) delete A;
}

void TActivationAgenda::Clear() {
  while (!Items_.empty()) Delete(Count() - 1);
}

TIEAgenda::TIEAgenda(TInferenceEngine* Engine) : Engine_(Engine), Host_(NetworkHostOf(Engine)) {}

int TIEAgenda::FindInsertion(const TActivation& Activation) {
  if (Count() == 0 || !Host_) return -1;
  return Host_->SearchSalience(Activation.GetRule()->GetSalience());
}

}  // namespace rulecore
