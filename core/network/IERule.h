// TRule: the compiled form of a defrule - a named component with a salience, flags, the
// patterns of its left-hand side, the function-call actions of its right-hand side, and the
// bindings that say where each variable's value lives in a match.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "IEContext.h"
#include "core/facts/IEPattern.h"
#include "core/functions/IEFunctionCall.h"
#include "platform/BlockPool.h"
#include "platform/Component.h"
#include "platform/Properties.h"
#include "platform/RareFunction.h"
#include "platform/SmallVector.h"

namespace platform {
class TFiler;
}

namespace rulecore {

class INetworkHost;
class TInferenceEngine;
class TReteNetwork;
class TReteNode;
class TRule;

using TRuleFireEvent = std::function<void(TRule* Sender, TIEContext* Context)>;
// old name = new name pairs for variables renamed while compiling a pattern.
using TVariableRenames = std::vector<std::pair<std::string, std::string>>;

class TRule : public platform::TComponent, public IPatternOwner {
  PLATFORM_CLASS(TRule, platform::TComponent)
 public:
  // Rules and their parts come in thousands: pooled blocks carry no allocator header.
  PLATFORM_POOLED(TRule)
  explicit TRule(platform::TComponent* Owner = nullptr);
  ~TRule() override;

  // --- properties ---
  const std::string& GetRuleName() const noexcept { return RuleName_; }
  void SetRuleName(const std::string& Value);
  const std::string& GetComment() const noexcept;
  void SetComment(const std::string& Value);
  bool GetEnabled() const noexcept { return Enabled_; }
  void SetEnabled(bool Value);
  bool GetOneShot() const noexcept { return OneShot_; }
  void SetOneShot(bool Value);
  bool GetFired() const noexcept { return Fired_; }
  void Reset() noexcept { Fired_ = false; }
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  void SetEngine(TInferenceEngine* Value);
  // The published "Engine": the engine as a component (any other component counts as none).
  platform::TComponent* GetEngineComponent() const noexcept;
  void SetEngineComponent(platform::TComponent* Value);
  // Events behind a pointer each: few hosts set them, and an engine holds thousands of rules.
  platform::TRareFunction<TNotifyEvent> OnChange;
  platform::TRareFunction<TRuleFireEvent> OnFire;

  // --- salience ---
  int32_t GetSalience() const noexcept { return Salience_; }
  const IIEValue& GetSalienceExpression() const noexcept { return SalienceValue_; }
  // Stores the expression and evaluates it.
  void SetSalience(const IIEValue& Expression);
  void SetSalienceInteger(int32_t Value);
  // The expression evaluated in a fresh child of the engine's context (the stored integer
  // without an engine).
  int32_t EvaluateSalience();

  // --- patterns ---
  int GetPatternCount() const noexcept { return static_cast<int>(Patterns_.size()); }
  TIEPattern* GetPattern(int Index) const;
  // Takes the pattern over and compiles it into the bindings.
  TIEPattern* AddPattern(std::unique_ptr<TIEPattern> Pattern);
  TIEPattern* InsertPattern(int Index, std::unique_ptr<TIEPattern> Pattern);
  // Replaces every pattern by a copy of Source's (leaving out generated goal companions).
  void SetPatterns(const TRule& Source);
  void ClearPatterns();

  // --- actions ---
  int GetActionCount() const noexcept { return static_cast<int>(Actions_.size()); }
  const IFunCall& GetAction(int Index) const;
  void AddAction(const IFunCall& Action);
  void DeleteAction(int Index);
  void ClearActions();

  // --- bindings ---
  int GetBindingCount() const noexcept { return static_cast<int>(Bindings_.size()); }
  TBinding& GetBinding(int Index) const;
  int IndexOfBinding(std::string_view Name) const noexcept;
  TBinding* GetBindingByName(std::string_view Name) const noexcept;
  // An equal binding (all four parts) is kept and returned; otherwise the new one is appended.
  TBinding& AddBinding(std::string_view Name, int32_t FactIndex, std::string_view SlotIndex,
                       int32_t SubIndex) override;

  // --- firing ---
  // Loads the bindings' values from the token into the context.
  void Prepare(const ITokenFacts& Token, TIEContext& Context);
  // Runs the actions in a child of the engine's context.
  void Fire(const ITokenFacts& Token);
  // Renames variables inside a call and its nested calls.
  static void SubstFunCall(TFunctionCall& Call, const TVariableRenames& Renames);

  // --- updates ---
  void BeginUpdate() noexcept { ++UpdateCount_; }
  void EndUpdate();
  void Change();

  // --- copying and text ---
  void Assign(const platform::TPersistent& Source) override;
  std::string GetToString() const;

  // --- streaming ---
  // Besides its published properties a stored rule keeps its text ("Text"), written when it
  // has an engine and a pattern or an action.  Once loaded, the engine reads the text again
  // and the rule takes over what was read; the rule then joins its engine's rules (setting the
  // engine while loading only keeps the reference).
  static void DeclareProperties(platform::TPropertyList<TRule>& P);
  static void DefineProperties(platform::TObject& Instance, platform::TFiler& Filer);
  static void LoadingFailed(platform::TComponent& Instance) noexcept;
  void Loaded() override;

  // IPatternOwner
  int32_t IndexOfPattern(const TIEPattern& Pattern) const override;
  void Change(TIEPattern& Pattern) override;
  ISymbolGenerator* GetSymbolGenerator() override;
  IFunCallFactory* GetFunCallFactory() override;

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  // Puts a local binding of Name into the firing's context, reusing the one of slot Slot.
  void PutLocal(TIEContext& Context, size_t Slot, const std::string& Name, IIEValue Value);
  void CompilePattern(TIEPattern& Pattern);

  std::string RuleName_;
  IIEValue RuleNameValue_;  // the value the "__RULE" binding copies
  // The local bindings of the last firing, one per rule binding and one for "__RULE".
  std::vector<IBinding> FiringBindings_;
  bool Enabled_ = true;
  bool OneShot_ = false;
  bool Fired_ = false;
  int32_t Salience_ = 0;
  IIEValue SalienceValue_;
  INetworkHost* Host_ = nullptr;
  TInferenceEngine* Engine_ = nullptr;  // Host_'s engine
  void SetHost(INetworkHost* Value);
  // The first pattern, action and binding stay in the rule's own block (many rules have one).
  platform::TSmallVector<std::unique_ptr<TIEPattern>, 1> Patterns_;
  platform::TSmallVector<IFunCall, 1> Actions_;
  platform::TSmallVector<IBinding, 1> Bindings_;
  int UpdateCount_ = 0;
  // Rarely set: one pointer in every rule instead of the strings themselves, made on first use.
  struct TRare {
    std::string Comment;
    std::string StoredText;  // the "Text" read from a stream, until Loaded
  };
  std::unique_ptr<TRare> Rare_;
  TRare& Rare();

  // What the network that compiled the rule keeps of it.  It lives here rather than in tables
  // of the network keyed by rule: that cost two hash nodes and four heap blocks per rule.
  friend class TReteNetwork;
  struct TNetworkPart {
    TReteNetwork* Network = nullptr;  // the network holding the rule; nullptr when none
    size_t Position = 0;              // in that network's list of rules
    std::vector<TReteNode*> Nodes;    // the nodes the rule uses, in the order compiling met them
    std::vector<int32_t> Patterns;    // per node, the pattern it was made or reused for
    std::string Trace;                // the compile trace, "name: +1=1+2+t"
  };
  TNetworkPart NetworkPart_;
};

}  // namespace rulecore
