// TActivation: one complete match of one rule (rule, token, terminal node, strength).
// TActivationAgenda: the ordered list of pending activations; it owns them.  TIEAgenda is the
// engine's agenda, which orders new activations by salience and the engine's strategy.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Ref.h"
#include "platform/BlockPool.h"
#include "platform/Object.h"
#include "platform/TieredVector.h"

namespace rulecore {

class TRule;
class TPatternMatchTerminalNode;
// Tokens are the network's own: the agenda holds them without looking into them.
class TIEToken;
using IReteToken = platform::Ref<TIEToken>;
class INetworkHost;
class TInferenceEngine;

class TActivation final : public platform::TPersistent {
  PLATFORM_CLASS(TActivation, platform::TPersistent)
 public:
  PLATFORM_POOLED(TActivation)
  TActivation();
  TActivation(TRule* Rule, IReteToken Token, TPatternMatchTerminalNode* Node, float Strength);
  // Leaves its terminal node (which asks the engine to take it off the agenda).
  ~TActivation() override;
  TActivation(const TActivation&) = delete;
  TActivation& operator=(const TActivation&) = delete;

  TRule* GetRule() const noexcept { return Rule_; }
  const IReteToken& GetToken() const noexcept { return Token_; }
  TPatternMatchTerminalNode* GetNode() const noexcept { return Node_; }
  float GetStrength() const noexcept { return Strength_; }
  void SetStrength(float Value) noexcept;
  // The rule fires with the token, then the terminal node is told.  Answers false when the
  // firing left the activation without its node (its actions took back a fact of its match):
  // then nobody was told, and the caller reports the firing itself.
  bool Fire();
  // Salience, name, facts and strength: "0 rule : f-1, f-2 (1.0000)".
  std::string GetToString() const;
  void Assign(const platform::TPersistent& Source) override;
  TActivation* Clone() const;

  // The terminal node forgets this activation (it was freed or the rule went away).
  void Detach() noexcept { Node_ = nullptr; }

 private:
  friend class TPatternMatchTerminalNode;
  friend class TActivationAgenda;
  TRule* Rule_ = nullptr;
  IReteToken Token_;
  TPatternMatchTerminalNode* Node_ = nullptr;
  float Strength_ = 1.0f;
  // The terminal node keeps its activations in a list linked through them, oldest first;
  // NodeOrder_ is the activation's number in the order of creation there.
  TActivation* NodePrev_ = nullptr;
  TActivation* NodeNext_ = nullptr;
  uint64_t NodeOrder_ = 0;
  // The next older of the node's activations whose token has the same sort code: the node's
  // index holds the newest of each code, and a multifield pattern makes many matches of one
  // fact (one per way of splitting it), all of one code.
  TActivation* SameCode_ = nullptr;
  // The part of the agenda that placed the activation last, so that the agenda finds it by a
  // look into that part instead of a scan (see TTieredVector's tracker).
  uintptr_t AgendaChunk_ = 0;
  struct TAgendaPlace {
    static void Placed(TActivation* A, uintptr_t Chunk) noexcept {
      if (A) A->AgendaChunk_ = Chunk;
    }
    static uintptr_t ChunkOf(const TActivation* A) noexcept { return A ? A->AgendaChunk_ : 0; }
  };
};

class TActivationAgenda : public platform::TObject {
  PLATFORM_CLASS(TActivationAgenda, platform::TObject)
 public:
  TActivationAgenda() = default;
  ~TActivationAgenda() override;
  TActivationAgenda(const TActivationAgenda&) = delete;
  TActivationAgenda& operator=(const TActivationAgenda&) = delete;

  int Count() const noexcept { return static_cast<int>(Items_.size()); }
  // Inserts where FindInsertion says (appends for -1); answers the index.
  int Add(TActivation* Activation);
  virtual int FindInsertion(const TActivation& Activation);
  TActivation* GetActivations(int Index) const;
  void SetActivations(int Index, TActivation* Activation);
  // The entry's text (the activation's text form).
  std::string GetText(int Index) const;
  // The activation's index, or -1.  Finds it in the part of the agenda it was placed in, in
  // logarithmic time; an activation placed since by another agenda is still found, by a scan.
  int IndexOf(const TActivation* Activation) const noexcept;
  // Fetches into the cache, one link further on each call, what firing the next few entries
  // will read: their activations, token chains, facts and slot values.  Matches that waited on
  // the agenda went cold; called before each firing, the misses overlap the firings between.
  void WarmUpNext() const noexcept;
  // Removes the entry; its activation is freed while the agenda owns its objects.
  void Delete(int Index);
  // Removes the entry without freeing its activation.
  TActivation* Extract(int Index);
  void Clear();
  bool GetOwnsObjects() const noexcept { return OwnsObjects_; }
  void SetOwnsObjects(bool Value) noexcept { OwnsObjects_ = Value; }

 private:
  platform::TTieredVector<TActivation*, 256, TActivation::TAgendaPlace> Items_;
  bool OwnsObjects_ = true;
};

class TIEAgenda : public TActivationAgenda {
  PLATFORM_CLASS(TIEAgenda, TActivationAgenda)
 public:
  explicit TIEAgenda(TInferenceEngine* Engine = nullptr);
  int FindInsertion(const TActivation& Activation) override;
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }

 private:
  TInferenceEngine* Engine_;
  INetworkHost* Host_;  // Engine_'s network side
};

}  // namespace rulecore
