// The agenda side of the engine and the recognise-act loop: activations enter the agenda in
// salience order under the search strategy, and Run fires the head activation until the agenda
// is empty, a halt is requested or the limit is reached.
#include <chrono>
#include <thread>

#include "InferenceEngine.h"
#include "core/network/IERule.h"
#include "core/network/ReteNetwork.h"
#include "core/values/IEException.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

double NowMilliseconds() {
  using namespace std::chrono;
  return static_cast<double>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count()) / 1000.0;
}

// Holds the engine lock for a scope.
class TEngineLock {
 public:
  explicit TEngineLock(TInferenceEngine& Engine) : Engine_(Engine) { Engine_.Lock(); }
  ~TEngineLock() { Engine_.Unlock(); }
  TEngineLock(const TEngineLock&) = delete;
  TEngineLock& operator=(const TEngineLock&) = delete;

 private:
  TInferenceEngine& Engine_;
};

}  // namespace

// --- agenda ---------------------------------------------------------------------------------

int TInferenceEngine::SearchSalience(int32_t Salience) const {
  const int N = Agenda_->Count();
  if (N == 0) return -1;
  auto Sal = [this](int I) { return Agenda_->GetActivations(I)->GetRule()->GetSalience(); };
  auto Probe = [&]() {
    int Lo = 0, Hi = N - 1;
    while (Hi >= Lo) {
      const int Mid = (Lo + Hi) / 2;
      const int32_t S = Sal(Mid);
      if (S < Salience)
        Hi = Mid - 1;
      else if (S == Salience)
        return Mid;
      else
        Lo = Mid + 1;
    }
    return Hi + 1;
  };
  if (Strategy_ == ssDepthFirst) {
    if (Salience >= Sal(0)) return 0;
    if (Salience >= Sal(N - 1)) return Probe();
    return -1;
  }
  if (Sal(N - 1) < Salience) return Sal(0) < Salience ? 0 : Probe();
  return -1;
}

void TInferenceEngine::AddActivation(TActivation* Activation) {
  try {
    Activation->GetRule()->EvaluateSalience();
    const int Index = Agenda_->Add(Activation);
    if (Watching(cwActivation))
      PrintOut("t", "==> Activation: " + Activation->GetRule()->GetRuleName() + " : " +
                        Activation->GetToken()->GetToFactsString() + "\r\n");
    if (OnAddActivation) OnAddActivation(this, Index, Activation);
  } catch (const platform::EAbort&) {
  }
}

void TInferenceEngine::RemoveActivation(int Index) {
  TActivation* Activation = Agenda_->GetActivations(Index);
  if (OnRemoveActivation) OnRemoveActivation(this, Index, Activation);
  if (Watching(cwActivation))
    PrintOut("t", "<== Activation: " + Activation->GetRule()->GetRuleName() + " : " +
                      Activation->GetToken()->GetToFactsString() + "\r\n");
  if (Activation == Current_) {
    Agenda_->Extract(Index);
    CurrentOnAgenda_ = false;
  } else {
    Agenda_->Delete(Index);
  }
}

void TInferenceEngine::RemoveActivation(TActivation* Activation) {
  // The firing activation that its own actions took off the agenda (a modify or retract of a
  // fact of its match) is reported fired afterwards: it is not searched for, which would scan
  // the whole agenda once per such firing.  The run frees it.
  if (Activation == Current_ && !CurrentOnAgenda_) return;
  const int Index = Agenda_->IndexOf(Activation);
  if (Index >= 0) {
    RemoveActivation(Index);
  } else if (Activation != Current_) {
    // Not on the agenda (a rebuilt agenda, or one being filled): nobody else owns it.
    delete Activation;
  }
}

void TInferenceEngine::SetAgenda(TActivationAgenda& Source) {
  CheckIdle("Replacing the agenda");
  while (Agenda_->Count() > 0) RemoveActivation(Agenda_->Count() - 1);
  for (int I = 0; I < Source.Count(); ++I) AddActivation(Source.GetActivations(I)->Clone());
}

void TInferenceEngine::SetStrategy(TSearchStrategy Value) {
  if (Value == Strategy_) return;
  CheckIdle("Changing the strategy");
  Strategy_ = Value;
  // The same activations are placed again, so the terminal nodes that know them can still
  // withdraw them later.
  std::vector<TActivation*> Activations;
  while (Agenda_->Count() > 0) Activations.push_back(Agenda_->Extract(0));
  for (TActivation* A : Activations) AddActivation(A);
}

// --- running --------------------------------------------------------------------------------

void TInferenceEngine::Lock() {
  Lock_.lock();
  if (LockDepth_++ == 0) LockOwner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void TInferenceEngine::Unlock() {
  // Only the holder's own id can be read here as the owner: it is stored and cleared by the
  // holder alone, under the lock.  Any other thread (or an Unlock without its Lock) lets be.
  if (LockOwner_.load(std::memory_order_relaxed) != std::this_thread::get_id()) return;
  if (--LockDepth_ == 0) LockOwner_.store(std::thread::id(), std::memory_order_relaxed);
  Lock_.unlock();
}

void TInferenceEngine::BeginInference() {
  if (OnStartInference) OnStartInference(this);
  StartTime_ = NowMilliseconds();
  RulesFired_ = 0;
  {
    // Host threads change working memory under the lock.
    const TEngineLock Guard(*this);
    MaxFacts_ = Facts_->Count();
    MaxAgenda_ = Agenda_->Count();
  }
  FactSum_ = 0;
  AgendaSum_ = 0;
  SetHalt(false);
}

void TInferenceEngine::EndInference() {
  if (Watch_.Contains(cwStatistics) && RulesFired_ > 0 && OnPrintOut) {
    const double Seconds = (NowMilliseconds() - StartTime_) / 1000.0;
    const double MeanFacts = FactSum_ / static_cast<float>(RulesFired_);
    const double MeanAgenda = AgendaSum_ / static_cast<float>(RulesFired_);
    PrintOut("t", std::to_string(RulesFired_) + " rules fired.     Run time is " + platform::Format("%.4f", {Seconds}) +
                      " seconds\r\n");
    PrintOut("t", (Seconds == 0 ? std::to_string(RulesFired_) : platform::Format("%.4f", {RulesFired_ / Seconds})) +
                      " rules per second\r\n");
    PrintOut("t", platform::Format("%.4f", {MeanFacts}) + " mean number of facts (" + std::to_string(MaxFacts_) +
                      " maximum)\r\n");
    PrintOut("t", platform::Format("%.4f", {MeanAgenda}) + " mean number of activations (" +
                      std::to_string(MaxAgenda_) + " maximum)\r\n");
  }
  if (OnEndInference) OnEndInference(this, RulesFired_);
}

void TInferenceEngine::RuleFired(TActivation* Activation) {
  if (OnRuleFired) OnRuleFired(this, Activation->GetRule());
  RemoveActivation(Activation);
}

int32_t TInferenceEngine::Run(int32_t MaxRules) {
  {
    // The network is busy on the thread that holds the lock: a host thread asserting under the
    // lock is waited for, a call from inside a match on this thread is refused.
    const TEngineLock Guard(*this);
    CheckIdle("Running rules");
  }
  BeginInference();
  // The halt request is read without the lock, so that a halt from another thread is seen at
  // once; the agenda, which host threads change under the lock between firings, only under it.
  while (!GetHalt() && RulesFired_ < MaxRules) {
    const TEngineLock Guard(*this);
    if (Agenda_->Count() == 0) break;
    {
      TActivation* Activation = Agenda_->GetActivations(0);
      Agenda_->WarmUpNext();
      Current_ = Activation;
      CurrentOnAgenda_ = true;
      struct TFree {
        TInferenceEngine& Engine;
        ~TFree() {
          TActivation* Done = Engine.Current_;
          Engine.Current_ = nullptr;
          Engine.FiringRule_ = nullptr;
          // Fired or not, the activation is finished: off the agenda and freed.
          if (Engine.CurrentOnAgenda_) {
            const int Index = Engine.Agenda_->IndexOf(Done);
            if (Index >= 0) Engine.Agenda_->Extract(Index);
            Engine.CurrentOnAgenda_ = false;
          }
          delete Done;
        }
      } Free{*this};
      if (Watching(cwRule))
        PrintOut("t", "FIRE " + std::to_string(RulesFired_) + " " + Activation->GetRule()->GetRuleName() + " " +
                          Activation->GetToken()->GetToFactsString() + "\r\n");
      FiringRule_ = Activation->GetRule();
      try {
        // A firing whose actions took back a fact of its own match (a retract, a modify) left
        // the network: it is reported all the same, unless its rule is gone as well.
        if (!Activation->Fire() && FiringRule_) Network_->RuleFired(Activation);
      } catch (const platform::EAbort&) {
        // A host's Halt ends the loops of the rule language with the silent abort: the firing
        // is over, unfinished, and the run ends as halted.  Any other abort ("exit") leaves Run.
        if (!GetHaltLoops()) throw;
        break;
      } catch (platform::Exception& Error) {
        // The rule may have removed itself ("undefrule").
        NoteErrorPlace(Error, "while firing rule", FiringRule_ ? FiringRule_->GetRuleName() : FiringRuleGone_);
        throw;
      }
      if (Watch_.Contains(cwStatistics)) {
        FactSum_ += static_cast<float>(Facts_->Count());
        MaxFacts_ = std::max(MaxFacts_, Facts_->Count());
        AgendaSum_ += static_cast<float>(Agenda_->Count());
        MaxAgenda_ = std::max(MaxAgenda_, Agenda_->Count());
      }
    }
    ++RulesFired_;
    if (SalienceEvaluation_ == sEveryTime) {
      std::vector<TActivation*> Activations;
      while (Agenda_->Count() > 0) Activations.push_back(Agenda_->Extract(0));
      for (TActivation* A : Activations) AddActivation(A);
    }
  }
  EndInference();
  return RulesFired_;
}

}  // namespace rulecore
