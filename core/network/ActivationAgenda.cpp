#include "ActivationAgenda.h"

#include <algorithm>

#include "IERule.h"
#include "IEToken.h"
#include "ReteNetwork.h"
#include "NetworkHost.h"
#include "core/facts/Fact.h"
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
  return At;
}

TActivation* TActivationAgenda::GetActivations(int Index) const {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  return Items_[static_cast<size_t>(Index)];
}

void TActivationAgenda::SetActivations(int Index, TActivation* Activation) {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  Items_.set(static_cast<size_t>(Index), Activation);
}

std::string TActivationAgenda::GetText(int Index) const { return GetActivations(Index)->GetToString(); }

int TActivationAgenda::IndexOf(const TActivation* Activation) const noexcept {
  // The firing activation is asked for most: it is the first.
  if (Activation && !Items_.empty() && Items_.front() == Activation) return 0;
  const size_t At = Items_.IndexOf(const_cast<TActivation*>(Activation));
  return At == Items_.size() ? -1 : static_cast<int>(At);
}

void TActivationAgenda::WarmUpNext() const noexcept {
  constexpr size_t Ahead = 4;  // entry I gets link Ahead - I + 1: 4 the activation, 1 the values
  constexpr int Links = 4;     // tokens of a chain followed, newest first
  TActivation* Next[Ahead + 1] = {};
  size_t Taken = 0;
  Items_.ForEachIn(0, std::min(Items_.size(), Ahead + 1), [&](TActivation* A) { Next[Taken++] = A; });
  if (Next[4]) __builtin_prefetch(Next[4]);
  if (Next[3]) __builtin_prefetch(Next[3]->Token_.get());
  if (Next[2]) {
    int Left = Links;
    for (const TIEToken* T = Next[2]->Token_.get(); T && Left-- > 0; T = T->GetParent().get())
      __builtin_prefetch(T->GetFact().get());
  }
  if (Next[1]) {
    int Left = Links;
    for (const TIEToken* T = Next[1]->Token_.get(); T && Left-- > 0; T = T->GetParent().get()) {
      const TFact* Fact = T->GetFact().get();
      if (!Fact) continue;
      const TFactValues& Values = Fact->GetSlotValues();
      for (int I = 0, N = std::min(Values.Count(), 4); I < N; ++I) __builtin_prefetch(Values.Entry(I).Value.get());
    }
  }
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
