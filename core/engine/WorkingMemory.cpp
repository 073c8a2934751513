// The engine's working memory: assertion, retraction, pending facts, reset and clear.  Every
// change becomes one token for the matching network.
#include <algorithm>

#include "InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/network/IEContext.h"
#include "core/network/IERule.h"
#include "core/network/ReteNetwork.h"
#include "core/language/IEParser.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/PageArena.h"

namespace rulecore {

namespace {

// Not in the published catalogue: this wording is the library's own.
constexpr std::string_view SFactIdsExhausted =
    "No fact identifiers are left: reset or clear the inference engine to number facts from 0 again";

}  // namespace

IIEValue TInferenceEngine::FactAddress(const TFact& Fact) const {
  IIEValue Address = platform::MakeRef<TIEValue>();
  Address->SetAsFactAddress(Fact.GetID(), FactEpoch_);
  return Address;
}

IFact TInferenceEngine::FactAt(const TIEValue& Address) const {
  const uint32_t Epoch = Address.GetFactEpoch();
  if (Epoch != 0 && Epoch != FactEpoch_) return nullptr;
  return Facts_->GetFactByID(Address.GetAsFactId());
}

int32_t TInferenceEngine::NewFactId() {
  // Ids never wrap: a negative id would read as "no fact", and an old id as another fact.
  if (NextFactId_ < 0 || NextFactId_ == INT32_MAX) throw EIEException(std::string(SFactIdsExhausted));
  return NextFactId_++;
}

void TInferenceEngine::SetFactDuplication(bool Value) {
  FactDuplication_ = Value;
  Facts_->SetCacheHashCodes(!Value);
}

void TInferenceEngine::CheckIdle(std::string_view What) const {
  if (Network_ && Network_->GetBusy()) RaiseBusy(What);
}

int32_t TInferenceEngine::Assert(const IFact& Fact, bool Unconditional) {
  if (!Fact || !Fact->GetTemplate()) RaiseIE(SNoTemplate);
  CheckIdle("Asserting a fact");
  if (Fact->GetTemplate()->IsFuzzy())
    CombineFuzzyFact(Fact, Unconditional);  // duplication does not apply: equal facts combine
  else if (!FactDuplication_ && Facts_->FindFact(*Fact) >= 0)
    return -1;
  Fact->SetID(NewFactId());
  Facts_->Append(Fact);
  if (Watching(cwFact)) PrintOut("t", " ==> " + Fact->GetToIDString() + "\r\n");
  try {
    Network_->ProcessToken(platform::MakeRef<TIEToken>(taAdd, Fact));
  } catch (...) {
    // A test that raised stopped the fact half way through the network: some rules saw it,
    // others never will.  It is taken back whole, so that working memory and the network
    // agree again, and the error goes on to the caller.
    Withdraw(Fact);
    throw;
  }
  ProcessPendingFacts();
  if (OnAssertion) OnAssertion(this, Fact);
  return Fact->GetID();
}

int32_t TInferenceEngine::Assert(const std::string& Text) {
  const IFact Fact = ParseFact(Text);
  Context_->Resolve(*Fact);
  return Assert(Fact, false);
}

void TInferenceEngine::Withdraw(const IFact& Fact) noexcept {
  try {
    // Removals pass tests that raise as failed (they failed on the way in too).
    Network_->ProcessToken(platform::MakeRef<TIEToken>(taRemove, Fact));
  } catch (...) {
  }
  const int At = Facts_->IndexOf(Fact.get());
  if (At >= 0) Facts_->RemoveAt(At);
  try {
    if (Watching(cwFact)) PrintOut("t", " <== " + Fact->GetToIDString() + "\r\n");
  } catch (...) {
  }
}

void TInferenceEngine::RetractFact(int Index) {
  CheckIdle("Retracting a fact");
  const IFact Fact = Facts_->Get(Index);
  if (OnRetraction) OnRetraction(this, Fact);
  Network_->ProcessToken(platform::MakeRef<TIEToken>(taRemove, Fact));
  if (Watching(cwFact)) PrintOut("t", " <== " + Fact->GetToIDString() + "\r\n");
  // The token's work may have changed the list: find the fact again.
  const int At = Facts_->IndexOf(Fact.get());
  if (At >= 0) Facts_->RemoveAt(At);
  ProcessPendingFacts();
}

void TInferenceEngine::RetractFact(const TFact& Fact) {
  const int Index = Facts_->IndexOf(&Fact);
  if (Index >= 0) RetractFact(Index);
}

int32_t TInferenceEngine::Retract(int32_t ID) {
  const int Index = Facts_->FindFact(ID);
  if (Index < 0) return -1;
  RetractFact(Index);
  return ID;
}

int32_t TInferenceEngine::Retract(const TFact& Fact) {
  const int Index = Facts_->FindFact(Fact);
  if (Index < 0) return -1;
  const int32_t ID = Facts_->Get(Index)->GetID();
  RetractFact(Index);
  return ID;
}

int32_t TInferenceEngine::Retract(const std::string& Text) {
  const IFact Fact = ParseFact(Text);
  Context_->Resolve(*Fact);
  return Retract(*Fact);
}

void TInferenceEngine::BeginFactModify(const TFact& Fact) {
  const int Index = Facts_->IndexOf(&Fact);
  if (Index >= 0)
    RetractFact(Index);
  else
    Retract(Fact);
}

void TInferenceEngine::RetractFacts() {
  if (Network_) Network_->ProcessToken(platform::MakeRef<TIEToken>());
  if (OnClearFacts) OnClearFacts(this);
}

void TInferenceEngine::AddPendingFact(const IFact& Fact, bool Assertion) {
  (Assertion ? PendingAssertions_ : PendingRetractions_).push_back(Fact);
}

void TInferenceEngine::ProcessPendingFacts() {
  while (!PendingAssertions_.empty()) {
    const IFact Fact = PendingAssertions_.front();
    PendingAssertions_.pop_front();
    Assert(Fact, false);
  }
  while (!PendingRetractions_.empty()) {
    const IFact Fact = PendingRetractions_.front();
    PendingRetractions_.pop_front();
    Retract(*Fact);
  }
}

void TInferenceEngine::Reset() {
  CheckIdle("Reset");
  Facts_->Clear();
  NextFactId_ = 0;
  FactEpoch_ = FactEpoch_ >= TIEValue::MaxFactEpoch ? 1 : FactEpoch_ + 1;
  for (int I = 0; I < Rules_->Count(); ++I) Rules_->ValueAt(I)->Reset();
  Assert(std::string(SInitialFact));
  if (ResetGlobals_)
    for (int I = 0; I < GlobalVariables_->Count(); ++I) ResetGlobalVariable(GlobalVariables_->KeyAt(I), GlobalVariables_->ValueAt(I));
  for (TFactSet* Set : std::vector<TFactSet*>(FactSets_->Items())) {
    for (int I = 0; I < Set->GetCount(); ++I) {
      IFact Copy;
      try {
        const IFact Fact = Set->GetFact(I);
        if (!Fact) continue;
        Copy = Fact->Clone();
        Context_->Resolve(*Copy);
      } catch (const EIEException&) {
        continue;  // a line this engine cannot read is left out
      }
      Assert(Copy, false);
    }
  }
  if (OnReset) OnReset(this);
}

void TInferenceEngine::Clear() {
  CheckIdle("Clear");
  Halt_ = false;
  NextFactId_ = 0;
  FactEpoch_ = FactEpoch_ >= TIEValue::MaxFactEpoch ? 1 : FactEpoch_ + 1;
  RuleId_ = 0;
  while (Agenda_->Count() > 0) RemoveActivation(Agenda_->Count() - 1);
  Network_->Clear();
  Rules_->Clear();
  // The rules and fact sets freed below are the engine's own parts, and the network and the
  // rule list are empty already: nothing else it owns needs to hear of each one going.
  TQuietRemovals Quiet(*this);
  DestroyComponentsWhere([](TComponent* C) { return dynamic_cast<TRule*>(C) != nullptr; });
  FactTemplates_->Clear();
  GlobalVariables_->Clear();
  Context_->Root().Clear();
  DefinedTypes_->Clear();
  // Newest first: the list gives up its last entry without moving the others.
  const std::vector<TFactSet*> Sets(FactSets_->Items());
  for (auto It = Sets.rbegin(); It != Sets.rend(); ++It) {
    TFactSet* Set = *It;
    RemoveFactSet(Set);
    if (Set->GetOwner() == this)
      delete Set;
    else
      Set->SetEngineNoParse(nullptr);
  }
  Facts_->Clear();
  PendingAssertions_.clear();
  PendingRetractions_.clear();
  // Deffunctions go; the built-in functions stay.
  std::vector<IUserFunction> Interpreted;
  for (int I = 0; I < UserFunctions_->Count(); ++I)
    if (dynamic_cast<TInterpretedFunction*>(UserFunctions_->ValueAt(I).get()))
      Interpreted.push_back(UserFunctions_->ValueAt(I));
  for (const IUserFunction& F : Interpreted) F->ForgetReasoner(this);
  UserFunctions_->Remove(Interpreted);
  EngineVariables_->Clear();
  if (!IsDestroying()) {
    InitialFactPattern_ =
        std::make_unique<TIEPattern>(this, 0, CreateFactTemplate(std::string(SInitialFactPattern)),
                                     std::string(SInitialFactPattern));
    PlaceholderFact_ = platform::MakeRef<TFact>(CreateFactTemplate(std::string(SNullFact)));
    // A large working memory leaves whole regions of the pools free: back to the system.
    platform::TrimPoolsIfGrown();
  }
  if (OnClear) OnClear(this);
}

}  // namespace rulecore

namespace rulecore {

// --- dependants of templates and types ------------------------------------------------------

bool TInferenceEngine::IsDependent(const TIEValue& Value, const TFactTemplate& Template) {
  switch (Value.GetDType()) {
    case dtFunCall:
      if (auto Call = Value.GetAsFunCall<TFunctionCall>())
        for (const IIEValue& A : Call->GetArguments())
          if (A && IsDependent(*A, Template)) return true;
      return false;
    case dtFact: {
      const IFact Fact = Value.GetAsFact();
      return Fact && Fact->GetTemplate().get() == &Template;
    }
    case dtList: {
      const IValueVector List = Value.GetAsList();
      for (int I = 0; I < List->GetValueCount(); ++I)
        if (List->Get(I) && IsDependent(*List->Get(I), Template)) return true;
      return false;
    }
    default:
      return false;
  }
}

bool TInferenceEngine::IsDependent(const TRule& Rule, const TFactTemplate& Template) const {
  for (int I = 0; I < Rule.GetPatternCount(); ++I)
    if (Rule.GetPattern(I)->GetFactTemplate().get() == &Template) return true;
  for (int I = 0; I < Rule.GetActionCount(); ++I)
    if (IsDependent(TIEValue(platform::RefCast<TFunCallBase>(Rule.GetAction(I))), Template)) return true;
  return false;
}

namespace {

void DropPending(std::deque<IFact>& Pending, const TFactTemplate& Template) {
  Pending.erase(std::remove_if(Pending.begin(), Pending.end(),
                               [&](const IFact& F) { return F->GetTemplate().get() == &Template; }),
                Pending.end());
}

}  // namespace

void TInferenceEngine::RemoveDependencies(const TFactTemplate& Template) {
  CheckIdle("Removing a fact template");
  DropPending(PendingAssertions_, Template);
  DropPending(PendingRetractions_, Template);
  for (int I = Facts_->Count() - 1; I >= 0; --I)
    if (I < Facts_->Count() && Facts_->Get(I)->GetTemplate().get() == &Template) Facts_->Delete(I);
  for (TFactSet* Set : *FactSets_) Set->ForgetFactsOf(&Template);
  std::vector<std::string> Names;
  for (int I = 0; I < Rules_->Count(); ++I) {
    const TRule* Rule = Rules_->ValueAt(I);
    for (int P = 0; P < Rule->GetPatternCount(); ++P)
      if (Rule->GetPattern(P)->GetFactTemplate().get() == &Template) {
        Names.push_back(Rules_->KeyAt(I));
        break;
      }
  }
  for (const std::string& Name : Names) Rules_->Remove(Name);
}

void TInferenceEngine::RemoveDependencies(const TIEDefinedType& Type) {
  for (int I = FactTemplates_->Count() - 1; I >= 0; --I) {
    if (I >= FactTemplates_->Count()) continue;
    IFactSlot Slot;
    if (FactTemplates_->ValueAt(I)->ContainsType(&Type, Slot)) FactTemplates_->Remove(FactTemplates_->KeyAt(I));
  }
}

void TInferenceEngine::RemoveDependencies() {
  PendingAssertions_.clear();
  PendingRetractions_.clear();
  while (Agenda_->Count() > 0) RemoveActivation(Agenda_->Count() - 1);
  Network_->Clear();
  Facts_->ClearList();
  RetractFacts();
  Rules_->Clear();
}

void TInferenceEngine::ReplaceTemplate(const IFactTemplate& Old, const IFactTemplate& New) {
  if (Old->GetTemplateName() != New->GetTemplateName()) {
    RemoveDependencies(*Old);
    return;
  }
  DropPending(PendingAssertions_, *Old);
  DropPending(PendingRetractions_, *Old);
  std::vector<std::pair<std::string, IFact>> Items;
  for (int I = Facts_->Count() - 1; I >= 0; --I) {
    if (I >= Facts_->Count()) continue;
    const IFact Fact = Facts_->Get(I);
    if (Fact->GetTemplate() != Old) continue;
    Items.emplace_back(Fact->ToString(), Fact);
    RetractFact(I);
  }
  std::reverse(Items.begin(), Items.end());  // re-created in their former order
  for (TFactSet* Set : *FactSets_) Set->ForgetFactsOf(Old.get());
  std::vector<std::string> Names;
  for (int I = 0; I < Rules_->Count(); ++I)
    if (IsDependent(*Rules_->ValueAt(I), *Old)) {
      Items.emplace_back(Rules_->ValueAt(I)->GetToString(), nullptr);
      Names.push_back(Rules_->KeyAt(I));
    }
  for (const std::string& Name : Names) Rules_->Remove(Name);
  UpdateDependencies(Items);
}

void TInferenceEngine::UpdateDependencies(const std::vector<std::pair<std::string, IFact>>& Items) {
  TIEParser& Parser = GetParser();
  const TErrorHandling Mode = Parser.GetErrorHandling();
  Parser.SetErrorHandling(ehRaiseImmediate);
  struct TRestore {
    TIEParser& Parser;
    TErrorHandling Mode;
    ~TRestore() { Parser.SetErrorHandling(Mode); }
  } Restore{Parser, Mode};
  for (const auto& [Text, Fact] : Items) {
    try {
      if (Fact) {
        const IFact Again = ParseFact(Text);
        Again->SetID(Fact->GetID());
        Assert(Again, false);
      } else {
        Parse(Text, true);
      }
    } catch (const platform::Exception& Error) {
      // A construct the new template no longer admits is left out, but not silently: the user
      // learns what was lost and why.
      std::string What = Text;
      if (!Fact) {
        const size_t Name = Text.find_first_not_of(" \t\r\n", Text.find("defrule") + 7);
        What = "rule " + Text.substr(Name, Text.find_first_of(" \t\r\n()", Name) - Name);
      } else {
        What = "fact " + Text;
      }
      PrintOut("t", "Warning: " + What + " was dropped by the redefined template: " + Error.what() + "\r\n");
    }
  }
}

void TInferenceEngine::ClearFactTemplates() {
  if (OnClearFactTemplates) OnClearFactTemplates(this);
}

}  // namespace rulecore
