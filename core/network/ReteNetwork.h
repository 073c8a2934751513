// TReteNetwork: every rule of the engine compiled into one shared graph.  Facts enter at root
// nodes that test a fact's template; one-input nodes test constants inside one fact; join nodes
// combine the partial match so far (left) with the facts of the next pattern (right); one
// terminal node per rule turns complete matches into activations.  Nodes with equal tests are
// shared between rules and counted.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ActivationAgenda.h"
#include "IEToken.h"
#include "TokenBacklog.h"
#include "core/facts/IEPattern.h"
#include "core/functions/IEFunctionCall.h"
#include "platform/Component.h"
#include "platform/HashTable.h"
#include "platform/BlockPool.h"
#include "platform/PointerHashIndex.h"
#include "platform/SmallVector.h"

namespace rulecore {

class INetworkHost;
class TInferenceEngine;
class TRule;
// Raises the error for a change refused while the network is busy (see GetBusy): What names
// the change ("Retracting a fact").
[[noreturn]] void RaiseBusy(std::string_view What);

class TReteNetwork;
class TReteNode;

PLATFORM_ENUM(TCallType, ctLeft, ctRight, ctSingle, ctActivate)
PLATFORM_ENUM(TPatternMatchTest, pmtUnknown, pmtTestClassType, pmtTestEqual, pmtTestNotEqual, pmtTestSlotValueEqual,
              pmtTestSlotValueNotEqual, pmtTestMultiSlotEqual, pmtTestMultiSlotNotEqual, pmtTestMultiSlotLength,
              pmtTestMultiSlotMultiField, pmtFailTest)

using TActivationEvent = std::function<void(TReteNetwork* Sender, TActivation* Activation)>;

struct TReteEdge {
  TReteNode* Node;
  TCallType CallType;
};

class TReteNode : public platform::TObject {
  PLATFORM_CLASS(TReteNode, platform::TObject)
 public:
  explicit TReteNode(TReteNetwork& Rete);
  ~TReteNode() override;
  TReteNode(const TReteNode&) = delete;
  TReteNode& operator=(const TReteNode&) = delete;

  TReteNetwork& GetRete() const noexcept { return Rete_; }
  int32_t GetRuleUseCount() const noexcept { return RuleUseCount_; }
  void SetRuleUseCount(int32_t Value) noexcept { RuleUseCount_ = Value < 0 ? 0 : Value; }
  // The context the node's tests run in, made when a test first needs one: most nodes (every
  // rule's terminal node, constant tests) never do.
  TIEContext& GetContext() const { return Context_ ? *Context_ : MakeContext(); }
  // The edges to the node's children, in order; an edge whose child was freed has no node until
  // the list is closed up (TReteNetwork::FreeNode).
  const std::vector<TReteEdge>& GetChildren() const noexcept { return Children_; }
  const platform::TSmallVector<TReteNode*, 1>& GetParents() const noexcept { return Parents_; }
  int GetInDegree() const noexcept { return static_cast<int>(Parents_.size()); }
  int GetOutDegree() const noexcept;

  // What the node does with an arriving token; true when it passed something on.
  virtual bool CallNode(const IReteToken& Token, TCallType CallType) = 0;
  // Gives the token to every child, in edge order, with the edge's call type.
  void CallChildren(const IReteToken& Token);
  // "<class> In/Out#: i/o RuleUse: n" and the class's own details.
  virtual std::string GetToString() const;

 protected:
  // Rethrows an error raised by the node's own test with the pattern and rule it tests named
  // (" for pattern match = " and their rule-language text); an error already named so by a
  // node deeper down (a test whose call asserted a fact) passes unchanged.
  [[noreturn]] void RaiseMatchError() const;

 private:
  friend class TReteNetwork;
  TIEContext& MakeContext() const;
  // A node with many children that compare one slot of the fact, or one field of it, with a
  // constant (rules that differ in a constant) gives a fact only those whose constant hashes as
  // the fact's value does, and the children of other kinds; the rest could not pass it.  The
  // network keeps the node's dispatch (TReteNetwork::Dispatches_), made when first needed with
  // at least DispatchFrom children and dropped when the children change.
  static constexpr size_t DispatchFrom = 16;
  void CallChildrenDispatched(const IReteToken& Token, TFact& Fact);
  TReteNetwork& Rete_;
  int32_t RuleUseCount_ = 1;
  bool Root_ = false;  // listed in the network's roots
  bool SuccessorsIndexed_ = false;  // its one-input children are in the network's index
  mutable std::unique_ptr<TIEContext> Context_;
  std::vector<TReteEdge> Children_;
  // One parent but for join nodes: the usual one stays in the node's own block.
  platform::TSmallVector<TReteNode*, 1> Parents_;
};

// How many elements may follow a multifield segment, as the fields after it demand (see
// TPatternMatchNode::ExpandMultiField).
struct TTailRange {
  int32_t Min = 0;
  int32_t Max = INT32_MAX;
  bool operator==(const TTailRange&) const = default;
};

// A one-input node: one test on one fact.
class TPatternMatchNode final : public TReteNode {
  PLATFORM_CLASS(TPatternMatchNode, TReteNode)
 public:
  PLATFORM_POOLED(TPatternMatchNode)
  TPatternMatchNode(TReteNetwork& Rete, TPatternMatchTest Kind, IIEValue Value, std::string SlotA, std::string SlotB,
                    int32_t ArgA, int32_t ArgB, TTailRange Tail = {});
  TPatternMatchTest GetPatternMatchTest() const noexcept { return Kind_; }
  const IIEValue& GetValue() const noexcept { return Value_; }
  const std::string& GetSlotA() const noexcept { return SlotA_; }
  int32_t GetArgA() const noexcept { return ArgA_; }
  // Same test, same value and same arguments (a node to share). ValueHash is Value's hash code,
  // computed once by the caller that compares one new test against many siblings.
  bool SameTest(TPatternMatchTest Kind, const IIEValue& Value, uint32_t ValueHash, const std::string& SlotA,
                const std::string& SlotB, int32_t ArgA, int32_t ArgB, TTailRange Tail) const;
  // A hash of a test, alike for tests that SameTest finds the same.
  static size_t TestHash(TPatternMatchTest Kind, const IIEValue& Value, uint32_t ValueHash, const std::string& SlotA,
                         const std::string& SlotB, int32_t ArgA, int32_t ArgB, TTailRange Tail) noexcept;
  size_t TestHash() const noexcept {
    return TestHash(Kind_, Value_, ValueHash_, SlotA_, SlotB_, ArgA_, ArgB_, Tail_);
  }
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  std::string GetToString() const override;

 private:
  bool Test(const IReteToken& Token, TFact& Fact);
  // Passes Token on, or a weaker copy when a fuzzy comparison matched partially.
  bool PassCompared(const IReteToken& Token, const TIEValue& A, const TIEValue& B, bool Equal);
  bool CallTest(const IReteToken& Token, TFact& Fact);
  // A call test of the shape (or (eq X c1) (eq X c2) ...) - a pattern's "c1|c2|..." - with X a
  // value of the fact and constants c: X is read once and compared with each constant, which is
  // what the call's decision does.  Known once the call's functions are (after its first run).
  void LearnAlternatives();
  // Sends on a copy of the fact for each way the multifield field at ArgA can take its
  // elements, the field's segment becoming one nested list; only segments whose tail (the
  // elements after them) lies in Tail_ are made.
  bool ExpandMultiField(const IReteToken& Token, TFact& Fact);

  TPatternMatchTest Kind_;
  IIEValue Value_;
  uint32_t ValueHash_;
  std::string SlotA_;
  std::string SlotB_;
  int32_t ArgA_;  // sub-index A, or the length
  int32_t ArgB_;  // sub-index B
  TTailRange Tail_;
  TSlotPlace PlaceA_;
  TSlotPlace PlaceB_;
  enum class TAlternatives : uint8_t { Unknown, Known, None };
  TAlternatives AlternativesState_ = TAlternatives::Unknown;
  IIEValue Subject_;                    // X, when Known
  std::vector<IIEValue> Alternatives_;  // c1, c2, ..., when Known
};

// A node that passes a token on when all its tests hold (the "test" conditional element).
class TTestNode : public TReteNode {
  PLATFORM_CLASS(TTestNode, TReteNode)
 public:
  explicit TTestNode(TReteNetwork& Rete) : TReteNode(Rete) {}
  std::vector<std::unique_ptr<TIESlotTest>>& GetTests() noexcept { return Tests_; }
  const std::vector<std::unique_ptr<TIESlotTest>>& GetTests() const noexcept { return Tests_; }
  void AddTest(std::unique_ptr<TIESlotTest> Test) { Tests_.push_back(std::move(Test)); }
  // All tests with Token as the context's token; false at the first that fails.
  bool RunTests(const IReteToken& Token);
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  std::string GetToString() const override;

 protected:
  // Runs the first Count tests against the node's context as it stands.
  bool RunTests(size_t Count);

 private:
  std::vector<std::unique_ptr<TIESlotTest>> Tests_;
};

// A two-input node: partial matches (left) joined with the facts of the next pattern (right).
class TJoinNode final : public TTestNode {
  PLATFORM_CLASS(TJoinNode, TTestNode)
 public:
  TJoinNode(TReteNetwork& Rete, bool NegatedPattern, bool Unique, int32_t Buckets);
  bool GetNegatedPattern() const noexcept { return Negated_; }
  bool GetUnique() const noexcept { return Unique_; }
  // A chained negation ("exists", "not not"): right tokens extend left tokens and match the left
  // token they extend.
  bool GetChained() const noexcept { return Chained_; }
  void SetChained(bool Value) noexcept { Chained_ = Value; }
  // The first equality join test becomes the hash key of both memories (and runs first).  An
  // Unkeyable test is passed over: one whose left place holds no fact (a negated or test
  // element's place: a test on it does not constrain), or one on fuzzy slots, whose values
  // match by degree and not by equal hash codes.
  void PrepareShortCut(const std::function<bool(const TIEJoinTest&)>& Unkeyable);
  const TIEJoinTest* GetShortCut() const noexcept { return ShortCut_; }
  int32_t GetMatchCount() const noexcept { return MatchCount_; }
  // The memories, made with the node's first token (nothing before).
  const TIETokenTree* GetLeftMemory() const noexcept { return Left_ ? &*Left_ : nullptr; }
  const TIETokenTree* GetRightMemory() const {
    SettleRight();
    return Right_ ? &*Right_ : nullptr;
  }
  bool HasFunctionTests() const;
  // Same class, not negated, no calls, equal tests: a node to share.
  bool SameTests(const TJoinNode& Other) const;
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  std::string GetToString() const override;

  // Backward chaining: Pattern, the PatternIndex-th of Rule, is on a template marked for it; a
  // left token that finds no fact to match then asks for one with a goal fact.  What the goal
  // holds is worked out here once, so the node does not depend on the rule living on.
  void SetPattern(const TIEPattern& Pattern, const TRule& Rule, int32_t PatternIndex);
  bool GetBackChaining() const noexcept { return Goal_ != nullptr; }
  // Queues the goal fact that Left's unmatched wish describes (see SetPattern).
  void AskForBackChain(const TIEToken& Left);

 private:
  // Where a goal slot's value comes from: a constant, or a variable an earlier pattern binds.
  struct TGoalValue {
    IIEValue Constant;
    int32_t FactIndex = -1;
    std::string Slot;
    int32_t SubIndex = -1;
    int32_t Position = -1;  // the element of a multislot, -1 for a single slot
  };
  struct TGoalSlot {
    std::string Name;
    bool Multi = false;
    std::vector<TGoalValue> Values;
  };
  struct TGoal {
    std::string Template;
    std::vector<TGoalSlot> Slots;
  };
  void CreateMemories();
  // Keys the right tokens held back while the left memory was empty into the right memory.
  void SettleRight() const {
    if (!RightBacklog_.Empty()) KeyRightBacklog();
  }
  void KeyRightBacklog() const;
  // LeftFacts, when given, holds Left's facts (a scan of the right memory tables them once).
  bool Matches(const IReteToken& Left, const IReteToken& Right, const TTokenFactTable* LeftFacts = nullptr);
  // Whether a memory may already hold a token equal to an arriving one tagged Tag.
  bool MayBeStored(TTokenAction Tag) const noexcept;
  // The tag a stored left token of a negated node goes on with when its last blocking fact
  // goes.  A token stored while facts were sent again to prime a new rule (through nodes that
  // rule shares) is tagged taUpdate, which the terminal nodes of rules compiled before ignore;
  // once priming is over its release is a new match.
  TTokenAction Unblocked(TTokenAction Stored) const noexcept;
  // Keys are the arriving token's keys in its own side's memory; they also pick what the other
  // side's memory walk visits.
  void VaryLeft(const IReteToken& Right, const TIETokenTree::TKeys& Keys);
  void VaryRight(const IReteToken& Left, const IReteToken& Stored, const TIETokenTree::TKeys& Keys);
  // Runs OnMatch(right token) for each right token that passes the tests with Left, in memory
  // order, until it answers false.
  template <class TOnMatch>
  void ScanRight(const IReteToken& Left, const TIETokenTree::TKeys& Keys, TOnMatch&& OnMatch);
  // Whether some right token passes the tests with Left (a negated node's blocking fact).
  bool Blocks(const IReteToken& Left, const TIETokenTree::TKeys& Keys);
  // A stored left token of a negated node blocked by at least one fact, not counted.
  static constexpr int32_t UncountedBlockers = INT32_MAX;
  IReteToken Joined(const IReteToken& Left, const IFact& Fact, float Strength, TTokenAction Tag);

  bool Negated_;
  bool Unique_;
  bool Chained_ = false;
  int32_t Buckets_;
  int32_t MatchCount_ = 0;
  // The number of tests when the memories were made and every test was a join test (else SIZE_MAX).
  size_t JoinTestsOnly_ = SIZE_MAX;
  TIEJoinTest* ShortCut_ = nullptr;
  // In place rather than behind pointers: every token the node is given reads a memory's first
  // lines, and their address is then known without a load.
  std::optional<TIETokenTree> Left_;
  // The right memory and the tokens not yet keyed into it (always the newest).  Reading the
  // memory settles the backlog first, which changes how the tokens are held, not which: both
  // are mutable so that observers can do it.
  mutable std::optional<TIETokenTree> Right_;
  mutable TTokenBacklog RightBacklog_;
  std::unique_ptr<TGoal> Goal_;
};

class TPatternMatchTerminalNode final : public TReteNode {
  PLATFORM_CLASS(TPatternMatchTerminalNode, TReteNode)
 public:
  // One per rule: pooled blocks carry no allocator header.
  PLATFORM_POOLED(TPatternMatchTerminalNode)
  TPatternMatchTerminalNode(TReteNetwork& Rete, TRule* Rule) : TReteNode(Rete), Rule_(Rule) {}
  ~TPatternMatchTerminalNode() override;
  TRule* GetRule() const noexcept { return Rule_; }
  bool GetInitialized() const noexcept { return Initialized_; }
  void SetInitialized(bool Value) noexcept { Initialized_ = Value; }
  // The node's live activations, oldest first.
  std::vector<TActivation*> GetActivations() const;
  int GetActivationCount() const noexcept { return Count_; }
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  std::string GetToString() const override;
  // The rule fired with this activation: it leaves the node (and the agenda).
  void RuleFired(TActivation* Activation);
  // A freed activation leaves the node's list.
  void Forget(TActivation* Activation) noexcept;
  void DeactivateAll();

 private:
  void Deactivate(TActivation* Activation);
  struct TOlder {
    bool operator()(const TActivation* A, const TActivation* B) const noexcept;
  };
  TRule* Rule_;
  // In order of creation (a list linked through the activations), and by their token's sort
  // code, so that withdrawing one does not scan every activation of the rule.
  TActivation* First_ = nullptr;
  TActivation* Last_ = nullptr;
  int Count_ = 0;
  bool Initialized_ = false;
  uint64_t Created_ = 0;
  // Made with the node's first activation: the terminal nodes of most rules never hold one.
  std::unique_ptr<platform::TPointerHashIndex<TActivation, TOlder>> BySortCode_;
  // Where the index holds the newest activation whose token has sort code Code (the others
  // follow it, SameCode_); nothing when there is none.
  TActivation** NewestOfCode(uint32_t Code) const noexcept;
};

class TReteNetwork : public platform::TComponent {
  PLATFORM_CLASS(TReteNetwork, platform::TComponent)
 public:
  explicit TReteNetwork(platform::TComponent* Owner = nullptr);
  ~TReteNetwork() override;

  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  // The engine's side that the network uses (see NetworkHost.h).
  INetworkHost* GetHost() const noexcept { return Host_; }
  bool GetEnabled() const noexcept { return Enabled_; }
  // Disabling empties the network.
  void SetEnabled(bool Value);
  int32_t GetHashKey() const noexcept { return HashKey_; }
  void SetHashKey(int32_t Value) noexcept { HashKey_ = Value < 1 ? 1 : Value; }
  float GetMinActivationStrength() const noexcept { return MinActivationStrength_; }
  void SetMinActivationStrength(float Value) noexcept;

  // --- rules ---
  void AddRule(TRule& Rule);
  void RemoveRule(TRule& Rule);
  bool ContainsRule(const TRule& Rule) const noexcept;
  const std::vector<TReteNode*>* GetRuleNodesList(const TRule& Rule) const;
  // Where a node tests, as a user wrote it: "<pattern> in rule <name>" for a rule that uses the
  // node (the first by name when several share it).
  std::string DescribeMatch(const TReteNode& Node) const;
  // The rule's compile trace: "name: +1=1+2+t".
  std::string GetCompileTrace(const TRule& Rule) const;
  void Clear();

  // --- tokens ---
  bool ProcessToken(const IReteToken& Token);
  int GetRootCount() const noexcept { return static_cast<int>(Roots_.size()); }
  TReteNode* GetRoot(int Index) const { return Roots_.at(static_cast<size_t>(Index)); }
  int GetNodeCount() const noexcept { return static_cast<int>(Nodes_.size()); }
  // While true, terminal nodes of compiled rules ignore tokens: facts are being sent again to
  // prime a rule that was just added.
  bool GetPriming() const noexcept { return Priming_; }
  // True while a rule is being compiled (changes the compiler makes to the rule, such as adding
  // the initial-fact pattern, must not recompile it).
  bool GetCompiling() const noexcept { return Compiling_; }
  // True while the network or the agenda has work of its own under way - a token propagating,
  // a rule compiling or being primed, an activation's salience being evaluated.  User code run
  // then (a test, a pattern's function call, a salience expression) must not change working
  // memory, the rules or the agenda under that work: the engine refuses such changes.
  bool GetBusy() const noexcept { return Busy_ > 0 || Compiling_ || Priming_; }
  // Marks the network busy for the guard's life.
  class TBusy {
   public:
    explicit TBusy(TReteNetwork& Rete) noexcept : Rete_(Rete) { ++Rete_.Busy_; }
    ~TBusy() { --Rete_.Busy_; }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

   private:
    TReteNetwork& Rete_;
  };

  // --- activations (relayed to the engine) ---
  void Activate(TActivation* Activation);
  void Deactivate(TActivation* Activation);
  void RuleFired(TActivation* Activation);
  TActivationEvent OnActivation;
  TActivationEvent OnDeactivation;
  TActivationEvent OnRuleFired;

  // --- conversion of calls for matching ---
  // A copy of Call whose variables bound by the rule are binding places (nested calls too);
  // other variables must be globals ("Unknown variable name: %s").
  IFunCall Evaluate(const TFunctionCall& Call, const TRule& Rule) const;
  // True when the converted call refers to a binding of another pattern than Index.
  static bool HasMorePatterns(const TFunctionCall& Call, int32_t Index);

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  // Passes the clear token to every node reachable from the roots, once each.
  void ClearAll(const IReteToken& Token);
  friend class TReteNode;
  // Records, while a rule compiles, the nodes it uses in the order compiling meets them, each
  // with the position of the rule's pattern it was made or reused for (kept in the rule).
  struct TRuleNodes {
    std::vector<TReteNode*>& Nodes;
    std::vector<int32_t>& Patterns;
    int32_t Pattern = 0;  // the pattern being compiled
    void Add(TReteNode* Node) {
      Nodes.push_back(Node);
      Patterns.push_back(Pattern);
    }
  };
  TReteNode* CreateSuccessor(TReteNode* Parent, TPatternMatchTest Kind, IIEValue Value, const std::string& SlotA,
                             const std::string& SlotB, int32_t ArgA, int32_t ArgB, TRuleNodes& Nodes,
                             std::string& Trace, TTailRange Tail = {});
  TReteNode* Own(std::unique_ptr<TReteNode> Node);
  void Connect(TReteNode* From, TReteNode* To, TCallType CallType);
  // A node with many one-input children (rules that differ in a constant: thousands of them on
  // one template) has them indexed by test, so that compiling a pattern finds the one to share
  // without comparing every sibling.  Keyed by parent and TestHash; built when a node's children
  // reach IndexSuccessorsFrom, kept as children come and go.
  static constexpr size_t IndexSuccessorsFrom = 16;
  std::unordered_multimap<size_t, TPatternMatchNode*> Successors_;
  // The dispatch of facts among the children of nodes with many (see TReteNode::DispatchFrom).
  struct TDispatch;
  std::unordered_map<const TReteNode*, std::shared_ptr<const TDispatch>> Dispatches_;
  std::shared_ptr<const TDispatch> DispatchOf(const TReteNode& Node);
  void ChildrenChanged(const TReteNode& Node) noexcept {
    if (!Dispatches_.empty()) Dispatches_.erase(&Node);
  }
  static size_t SuccessorKey(const TReteNode* Parent, size_t TestHash) noexcept;
  void IndexSuccessors(TReteNode& Parent);
  void ForgetSuccessor(const TReteNode& Parent, const TReteNode& Child) noexcept;
  void FreeNode(TReteNode* Node);
  // A freed child's edge is left without a node (a hole) rather than moving the rest of its
  // parent's list: rules removed one by one, oldest first, would otherwise move a long list of
  // siblings each time.  Per parent with holes: how many, and where the first edge that still
  // has a node stands (every edge before it is a hole).  The list is closed up when half of it
  // is holes.
  struct TGaps {
    uint32_t Holes = 0;
    uint32_t FirstLive = 0;
  };
  std::unordered_map<const TReteNode*, TGaps> Gaps_;
  void DropEdge(TReteNode& Parent, const TReteNode& Child);
  void Compile(TRule& Rule, TRuleNodes& Nodes, std::string& Trace);

  INetworkHost* Host_ = nullptr;
  TInferenceEngine* Engine_ = nullptr;  // Host_'s engine
  bool Enabled_ = true;
  int32_t HashKey_ = 101;
  float MinActivationStrength_ = 0;
  bool Priming_ = false;
  bool Compiling_ = false;
  int32_t Busy_ = 0;
  std::unordered_map<TReteNode*, std::unique_ptr<TReteNode>> Nodes_;
  std::vector<TReteNode*> Roots_;
  // The roots by the template they test, so that a fact visits only its own template's roots
  // and a new pattern looks for a root to share among them: each list holds, in the order of
  // Roots_, the roots that test that template and those that test none (RootsOfNoTemplate_).
  // Kept as roots are added; rebuilt when first needed after one was taken away.
  platform::TTextMap<std::vector<TReteNode*>> RootsByTemplate_;
  std::vector<TReteNode*> RootsOfNoTemplate_;
  bool RootsIndexed_ = true;
  void AddRoot(TReteNode* Node);
  void EraseRoot(TReteNode* Node);
  void IndexRoot(TReteNode* Node);
  // The roots a fact of the named template passes through (see RootsByTemplate_).
  const std::vector<TReteNode*>& RootsOf(std::string_view TemplateName);
  // The rules compiled into the network, in no particular order: each rule keeps its nodes, its
  // trace and its position here (TRule::TNetworkPart), so that leaving is a swap with the last.
  std::vector<TRule*> Rules_;
  // Takes the rule out of Rules_ and clears what it keeps of this network.
  void ForgetRule(TRule& Rule) noexcept;
};

}  // namespace rulecore
