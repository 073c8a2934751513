// TInferenceEngine: the component a host drops into its program.  It owns the construct
// registries, generates symbols, numbers facts and decides whether values are checked against
// slot types while facts are built.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <ios>
#include <istream>
#include <memory>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <utility>

#include "FactSets.h"
#include "FactTemplates.h"
#include "Facts.h"
#include "GlobalVariables.h"
#include "IOStreams.h"
#include "Rules.h"
#include "UserFunctions.h"
#include "core/facts/Fact.h"
#include "core/facts/FactsHost.h"
#include "core/network/NetworkHost.h"
#include "core/facts/IEPattern.h"
#include "core/network/ActivationAgenda.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/functions/IReasoner.h"
#include "core/language/IEStreamToken.h"
#include "core/language/IETokenizer.h"
#include "core/language/ParserHost.h"
#include "core/values/IEDefinedType.h"
#include "core/values/IEFuzzySet.h"
#include "core/values/IESymbolGenerator.h"
#include "core/values/ValueHashTable.h"
#include "fuzzy/FuzzyConsts.h"
#include "fuzzy/IFuzzyLogic.h"
#include "platform/Component.h"
#include "platform/Properties.h"

namespace rulecore {

class TFactSet;
class TRule;
class TIEParser;
class TIEClipsParser;
class TIEClipsStream;
class TIEContext;
class TReteNetwork;
class IHostDialogs;

// The built-in function packages an engine loads.
PLATFORM_ENUM(TFunctionPackage, pStandard, pPredicate, pMath, pMiscellaneous, pString, pObject, pTrigonometry,
              pBusiness, pFuzzyLogic)
using TFunctionPackages = platform::TSet<TFunctionPackage, 9>;
inline constexpr TFunctionPackages AllFunctionPackages{pStandard,  pPredicate,    pMath,     pMiscellaneous, pString,
                                                       pObject,    pTrigonometry, pBusiness, pFuzzyLogic};

// The parts an engine is built of; CreateIEObject makes each.
PLATFORM_ENUM(TIEObjectType, otAgenda, otEngineVariables, otFacts, otFactSets, otFactTemplates, otGlobalVariables,
              otDefinedTypes, otIOStreams, otRules, otUserFunctions, otReteNetwork)

class TInferenceEngine : public platform::TComponent,
                         public ISymbolGenerator,
                         public IReasoner,
                         public IFunCallFactory,
                         public vaguecore::IFuzzyParser,
                         public IFuzzyVariableFactory,
                         public ISingletonsParser,
                         public IFactsHost,
                         public INetworkHost,
                         public IParserHost {
  PLATFORM_CLASS(TInferenceEngine, platform::TComponent)
 public:
  using TFactTemplateEvent = std::function<void(TInferenceEngine* Sender, const IFactTemplate& Template)>;
  using TUserFunctionEvent = std::function<void(TInferenceEngine* Sender, const IUserFunction& Function)>;
  using TRuleEvent = std::function<void(TInferenceEngine* Sender, TRule* Rule)>;
  using TPrintOutEvent = std::function<void(TInferenceEngine* Sender, const std::string& OutID, const std::string& Text)>;
  using TFactEvent = std::function<void(TInferenceEngine* Sender, const IFact& Fact)>;
  using TActivationEvent = std::function<void(TInferenceEngine* Sender, int Index, TActivation* Activation)>;
  using TNotifyEvent = std::function<void(TInferenceEngine* Sender)>;
  using TInferenceEvent = std::function<void(TInferenceEngine* Sender, int32_t RulesFired)>;
  using TRuleFiredEvent = std::function<void(TInferenceEngine* Sender, TRule* Rule)>;
  using TDefinedTypeEvent = std::function<void(TInferenceEngine* Sender, const IIEDefinedType& Type)>;
  static constexpr float Version = 2.0f;

  // A new engine loads the default packages and holds the initial fact.
  explicit TInferenceEngine(platform::TComponent* Owner = nullptr);
  struct TBare {};
  // An engine without packages and without the initial fact (for hosts and tests that bring
  // their own functions).
  TInferenceEngine(platform::TComponent* Owner, TBare);
  ~TInferenceEngine() override;

  // Makes the part of the engine that Type names (the number is masked with 0x7F; a number
  // that names no part gives nullptr).  The engine builds every part through it, so that a
  // descendant may substitute a subclass of a part's class.  The network comes owned by the
  // engine as a component; every other part belongs to the caller.
  virtual std::unique_ptr<platform::TObject> CreateIEObject(int Type);

 protected:
  // C++ calls no override from a base constructor: a descendant that overrides CreateIEObject
  // builds the engine with this constructor, which makes nothing, and calls Construct() (and
  // then, for a complete engine, ConstructDefaults()) from its own constructor.
  struct TDeferred {};
  TInferenceEngine(platform::TComponent* Owner, TDeferred);
  // Creates the parser, the parts, the internal templates and the evaluation context.
  void Construct();
  // Loads the default packages and asserts the initial fact.
  void ConstructDefaults();

 public:

  // --- settings ---
  TTypeChecks GetTypeChecks() const noexcept { return TypeChecks_; }
  // tcStatic also switches the parser's checking of values as they are read.
  void SetTypeChecks(TTypeChecks Value) noexcept;
  bool DynamicChecks() const noexcept { return TypeChecks_.Contains(tcDynamic); }
  TDuplicateConstructs GetDuplicateConstructs() const noexcept { return DuplicateConstructs_; }
  void SetDuplicateConstructs(TDuplicateConstructs Value) noexcept { DuplicateConstructs_ = Value; }

  bool GetFactDuplication() const noexcept { return FactDuplication_; }
  // With duplication off the fact list caches hash codes to find equal facts quickly.
  void SetFactDuplication(bool Value);
  bool GetResetGlobals() const noexcept { return ResetGlobals_; }
  void SetResetGlobals(bool Value) noexcept { ResetGlobals_ = Value; }
  TConstructWatches GetWatch() const noexcept { return Watch_; }
  void SetWatch(TConstructWatches Value) noexcept { Watch_ = Value; }
  TSearchStrategy GetStrategy() const noexcept { return Strategy_; }
  // A new strategy reorders the agenda.
  void SetStrategy(TSearchStrategy Value);
  TSalience GetSalienceEvaluation() const noexcept { return SalienceEvaluation_; }
  void SetSalienceEvaluation(TSalience Value) noexcept { SalienceEvaluation_ = Value; }

  // --- fuzzy settings ---
  bool GetFuzzyAutoTerms() const noexcept { return FuzzyAutoTerms_; }
  void SetFuzzyAutoTerms(bool Value) noexcept { FuzzyAutoTerms_ = Value; }
  vaguecore::TFuzzyCorrelationMethod GetFuzzyCorrelationMethod() const noexcept { return FuzzyCorrelationMethod_; }
  void SetFuzzyCorrelationMethod(vaguecore::TFuzzyCorrelationMethod Value) noexcept { FuzzyCorrelationMethod_ = Value; }
  vaguecore::TFuzzyInferenceMethod GetFuzzyInferenceMethod() const noexcept { return FuzzyInferenceMethod_; }
  void SetFuzzyInferenceMethod(vaguecore::TFuzzyInferenceMethod Value) noexcept { FuzzyInferenceMethod_ = Value; }
  float GetFuzzyEqualsThreshold() const noexcept { return FuzzyEqualsThreshold_; }
  // Clamped into [0, 1]; every fuzzy variable of the engine's types takes it as its threshold.
  void SetFuzzyEqualsThreshold(float Value);
  float GetMinActivationStrength() const noexcept;
  // Clamped into [0, 1] and handed to the matching network.
  void SetMinActivationStrength(float Value);

  // --- fuzzy values and fuzzy facts (FuzzyFacts.cpp) ---
  using TFactCombineEvent =
      std::function<void(TInferenceEngine* Sender, const IFact& Fact1, const IFact& Fact2, bool& Done)>;
  using TFuzzyCorrelationEvent =
      std::function<void(TInferenceEngine* Sender, const IFact& Fact, float Strength, bool& Done)>;
  // The engine reads and writes the fuzzy sets and variables of its types (IFuzzyParser): a set
  // from "(term name shape)" or a linguistic expression, a variable from the clauses of a fuzzy
  // deftype ("(range ...) (units ...) (values ...)").  The parser's stream is put back after
  // either, also on failure.
  IFuzzySet ParseFuzzySet(const IFuzzyVariable& Variable, const std::string& Text) override;
  IFuzzyVariable ParseFuzzyVariable(const std::string& Text) override;
  std::string PrettyPrint(const vaguecore::TIFuzzySet& Set, bool WithTerm) override;
  std::string PrettyPrint(const vaguecore::TIFuzzyVariable& Variable) override;
  // The variables of fuzzy types are engine variables, whose terms compare with numbers.
  IFuzzyVariable NewFuzzyVariable(const std::string& Name) override;
  // One value read from Text and evaluated for Variable in the root context.
  IFuzzySet ParseFuzzyExpression(const IFuzzyVariable& Variable, const std::string& Text);
  // A linguistic expression evaluated for Variable in Context (the root context when null):
  // from text (one value read from it), from one value (a list is an expression, anything
  // else one operand) or from the items of a list.  The result is a fuzzy value, a list of them
  // when the items hold several expressions, or the empty value for no items.
  IIEValue EvalFuzzyExpression(const IFuzzyVariable& Variable, const std::string& Text, TIEContext* Context);
  IIEValue EvalFuzzyExpression(const IFuzzyVariable& Variable, const IIEValue& Value, TIEContext* Context);
  IIEValue EvalFuzzyExpression(const IFuzzyVariable& Variable, const TValueVector& Items,
                               TIEContext* Context) override;
  // Value1 becomes the union (intersection) of the two values under Operation: of two fuzzy
  // values, or element by element of two lists of equal length; otherwise it is left alone.
  // Value1 is given a new value object: the old one may be shared with the text of a rule.
  void FuzzyUnion(IIEValue& Value1, const TIEValue& Value2, vaguecore::TFuzzyOperation Operation);
  void FuzzyIntersection(IIEValue& Value1, const TIEValue& Value2, vaguecore::TFuzzyOperation Operation);
  // Every fuzzy slot of Fact1 combined with Fact2's, by the operation FuzzyInferenceMethod
  // names.  Both facts of one fuzzy template ("Cannot union two facts with different fact
  // templates: %s and %s", "Fact is not a fuzzy fact").
  void FuzzyOperation(TFact& Fact1, const TFact& Fact2, bool IsUnion);
  // OnFuzzyInference, then unless it is done the union of Fact2 into Fact1.
  void FuzzyInference(const IFact& Fact1, const IFact& Fact2);
  // Every fuzzy value of Fact capped at Strength (fcmMinimum) or scaled by it (fcmProduct),
  // unless Strength is 1 or OnFuzzyCorrelation does it.
  void FuzzyCorrelation(const IFact& Fact, float Strength);
  // Assert with FuzzyInferenceMethod set to Method for the assertion.
  int32_t Assert(const IFact& Fact, vaguecore::TFuzzyInferenceMethod Method, bool Unconditional);
  // A text plot of one fuzzy value, or of several of one variable, from From to To: one line
  // to LogicalName per PrintOut (FuzzyPlot.cpp).
  void PlotFuzzySet(const std::string& LogicalName, const IFuzzySet& Value, double From, double To,
                    const std::string& PlotChars);
  void PlotFuzzySet(const std::string& LogicalName, const std::vector<IFuzzySet>& Values, double From, double To,
                    const std::string& PlotChars);
  // What Value written in a fuzzy slot stands for: a fuzzy value of the slot's variable (a list
  // of them in a multislot), evaluated in Context.  A quoted text (or an atom that is no term)
  // is read as an expression.  "Fuzzy Type Definition needed to parse value" for a slot
  // without a fuzzy type, "Invalid Fuzzy Expression: %s" when no value comes of it.
  IIEValue FuzzySlotValue(const TFactSlot& Slot, const IIEValue& Value, TIEContext* Context) override;
  TFactCombineEvent OnFuzzyInference;
  TFuzzyCorrelationEvent OnFuzzyCorrelation;

  // --- packages ---
  TFunctionPackages GetPackages() const noexcept { return Packages_; }
  // Frees the engine's packages and creates the selected ones.
  void SetPackages(TFunctionPackages Value);
  // One package per selected kind that this build provides, in the standard order.
  virtual void AddDefaultPackages();
  TNotifyEvent OnAddDefaultPackages;

  // --- working memory ---
  TFacts& GetFacts() noexcept { return *Facts_; }
  const TFacts& GetFacts() const noexcept { return *Facts_; }
  // Collection properties: writing one assigns the given collection's contents to the engine's
  // own collection (the engine never adopts the object).
  void SetFacts(const TFacts& Value) { Facts_->Assign(Value); }
  const std::vector<IFact>& GetFactList() const noexcept override { return Facts_->Items(); }
  // The fact's id, or -1 when an equal fact exists and duplication is off.  A fuzzy fact is
  // first correlated with the strength of the rule firing, then combined with an equal fact
  // already there (union, or intersection with Flag), which it replaces.
  virtual int32_t Assert(const IFact& Fact, bool Flag = false);
  // The text read as a fact, its values evaluated in the root context, then asserted.
  int32_t Assert(const std::string& Text);
  virtual void RetractFact(int Index);
  void RetractFact(const TFact& Fact);
  int32_t Retract(int32_t ID);
  int32_t Retract(const TFact& Fact);
  int32_t Retract(const std::string& Text);
  // Every match withdrawn (one clear token through the network).
  virtual void RetractFacts();
  // Retracts the fact itself when it is in working memory (with duplication allowed an equal
  // fact may stand before it), else an equal one.
  void BeginFactModify(const TFact& Fact);
  // Asserts the fact again: its new id, or -1 when it now equals a fact already there.
  int32_t EndFactModify(const IFact& Fact) { return Assert(Fact, false); }
  void AddPendingFact(const IFact& Fact, bool Assertion) override;
  int GetPendingAssertionCount() const noexcept { return static_cast<int>(PendingAssertions_.size()); }
  int GetPendingRetractionCount() const noexcept { return static_cast<int>(PendingRetractions_.size()); }
  void ProcessPendingFacts();
  virtual void Reset();
  virtual void Clear();
  TFactEvent OnAssertion;
  TFactEvent OnRetraction;
  TNotifyEvent OnReset;
  TNotifyEvent OnClear;
  TNotifyEvent OnClearFacts;

  // --- matching and the agenda ---
  TReteNetwork& GetReteNetwork() const noexcept override { return *Network_; }
  // Raises when the network is busy (TReteNetwork::GetBusy): What, the change asked for, would
  // pull working memory, rules or activations from under the work in progress.
  void CheckIdle(std::string_view What) const;
  // Takes back a fact whose assertion failed in the network.
  void Withdraw(const IFact& Fact) noexcept;
  TIEAgenda& GetAgenda() noexcept { return *Agenda_; }
  int GetAgendaCount() const noexcept { return Agenda_->Count(); }
  TActivation* GetActivation(int Index) const { return Agenda_->GetActivations(Index); }
  void AddActivation(TActivation* Activation) override;
  virtual void RemoveActivation(int Index);
  void RemoveActivation(TActivation* Activation) override;
  // Where an activation of that salience goes under the strategy (-1: at the end).
  int SearchSalience(int32_t Salience) const override;
  // The agenda rebuilt from the activations of Source, in its order.
  void SetAgenda(TActivationAgenda& Source);
  TActivationEvent OnAddActivation;
  TActivationEvent OnRemoveActivation;

  // --- running ---
  int32_t Run(int32_t MaxRules = 2147483647);
  virtual void BeginInference();
  virtual void EndInference();
  void RuleFired(TActivation* Activation) override;
  TActivation* GetCurrentActivation() const noexcept { return Current_; }
  int32_t GetRulesFired() const noexcept { return RulesFired_; }
  // The engine lock (recursive; it exists from construction, so threads may take it first at the
  // same time).  Run holds it around each firing: a host thread that takes it around its own
  // changes to working memory, or its reads of it, meets the run only between firings.  Unlock
  // on a thread that does not hold the lock does nothing.
  void Lock();
  void Unlock();
  TNotifyEvent OnStartInference;
  TInferenceEvent OnEndInference;
  TRuleFiredEvent OnRuleFired;

  // --- symbols ---
  // Prefix followed by SymbolIndex; the index then moves on by one.
  std::string GenerateSymbol(std::string_view Prefix) override;
  int32_t GetSymbolIndex() const noexcept { return SymbolIndex_; }
  // A larger value is stored; any other value only moves the index on by one.
  void SetSymbolIndex(int32_t Value) noexcept;

  // --- fact identifiers ---
  int32_t GetNextFactId() const noexcept { return NextFactId_; }
  void SetNextFactId(int32_t Value) noexcept { NextFactId_ = Value; }
  // The next id; when every id has been given out it raises (reset starts again from 0).
  int32_t NewFactId();
  // Counts the times fact ids started again from 0 (reset, clear): a fact address taken in an
  // earlier epoch names a fact that is gone, never the newer fact with its id.
  uint32_t GetFactEpoch() const noexcept { return FactEpoch_; }
  // The address of a fact of working memory, and the fact an address names (nothing when it is
  // gone).  Integers and addresses without an epoch name the fact with that id.
  IIEValue FactAddress(const TFact& Fact) const override;
  IFact FactAt(const TIEValue& Address) const;

  // --- evaluation ---
  // The root evaluation context: rules, tests and deffunctions run in children of it.
  TIEContext* GetContext() const noexcept override { return Context_.get(); }
  // Named values of "store" and "fetch".
  TEngineVariables& GetEngineVariables() noexcept { return *EngineVariables_; }
  // The engine's pseudo-random generator ("random", "seed", "randomize").
  std::mt19937& GetRandomGenerator() noexcept { return Random_; }
  // Halting.  The halt request stops Run before its next firing; it lasts until the next Run
  // or Clear, or until SetHalt(false).  SetHalt(true) is what the rule function "halt" does:
  // the rule being fired finishes.  Halt, for hosts and safe from any thread, also ends the
  // loops of the rule language at their next round ("while", "foreach"), so that a rule that
  // never finishes by itself can be stopped: its firing ends there, and Run returns.
  bool GetHalt() const noexcept { return Halt_.load(std::memory_order_relaxed) != 0; }
  void SetHalt(bool Value) noexcept {
    if (Value)
      Halt_.fetch_or(HaltRun, std::memory_order_relaxed);
    else
      Halt_.store(0, std::memory_order_relaxed);
  }
  void Halt() noexcept { Halt_.fetch_or(static_cast<uint8_t>(HaltRun | HaltLoops), std::memory_order_relaxed); }
  // Whether a Halt asks the loops of the rule language to end (they raise the silent abort).
  bool GetHaltLoops() const noexcept { return (Halt_.load(std::memory_order_relaxed) & HaltLoops) != 0; }

  // Bytes of the calling thread's stack that evaluation and parsing keep free: recursion that
  // would go deeper fails with "Nesting too deep".  0 (the default) keeps a quarter of the
  // thread's stack, at most 512 KiB; any reserve counts as at most half the thread's stack.
  // Negative values count as 0.
  int32_t GetStackReserve() const noexcept { return static_cast<int32_t>(StackReserveBytes_); }
  void SetStackReserve(int32_t Value) noexcept { StackReserveBytes_ = Value > 0 ? static_cast<std::size_t>(Value) : 0; }

  // --- functions (the reasoner side) ---
  void AddUserFunction(const IUserFunction& Function) override { UserFunctions_->Add(Function); }
  void RemoveUserFunction(const IUserFunction& Function) override { UserFunctions_->Remove(Function); }
  bool ContainsUserFunction(std::string_view Name) override { return UserFunctions_->ContainsKey(Name); }
  bool ContainsUserFunction(std::string_view Name, IUserFunction& Function) override {
    return UserFunctions_->ContainsKey(Name, Function);
  }
  IUserFunction GetUserFunction(std::string_view Name) override { return UserFunctions_->Get(Name); }
  TUserFunctions& GetUserFunctions() override { return *UserFunctions_; }
  void SetUserFunctions(const TUserFunctions& Value) { UserFunctions_->Assign(Value); }
  void SetUserFunction(std::string_view Name, const IUserFunction& Function) override;
  // Notifications from the function table.
  void AddFunction(const IUserFunction& Function);
  void RemoveFunction(const IUserFunction& Function);
  TUserFunctionEvent OnAddUserFunction;
  TUserFunctionEvent OnRemoveUserFunction;

  // --- registries ---
  TFactTemplates& GetFactTemplates() noexcept { return *FactTemplates_; }
  const TFactTemplates& GetFactTemplates() const noexcept { return *FactTemplates_; }
  void SetFactTemplates(const TFactTemplates& Value) { FactTemplates_->Assign(Value); }
  TIEDefinedTypes& GetDefinedTypes() noexcept { return *DefinedTypes_; }
  const TIEDefinedTypes& GetDefinedTypes() const noexcept { return *DefinedTypes_; }
  void SetDefinedTypes(const TIEDefinedTypes& Value) { DefinedTypes_->Assign(Value); }
  IFactTemplate FindFactTemplate(std::string_view Name) const override { return FactTemplates_->Get(Name); }
  // The registered template of that name, or a new one (comment "(Implied)") registered now.
  IFactTemplate CreateFactTemplate(const TIEName& Name) override;
  // Marks the template of that name (made when missing) for backward chaining and registers
  // its goal template "need-" + Name, which extends it.  "test" and "not" are refused.
  void DoBackwardChaining(const TIEName& Name);
  IIEDefinedType FindDefinedType(std::string_view Name) const override { return DefinedTypes_->Get(Name); }
  // Called by a template whose name changes: its registry entry moves to the new name.
  void ChangeFactTemplateName(const TIEName& OldName, const TIEName& NewName);
  bool GetUpdatingHT() const noexcept { return UpdatingHT_; }

  // --- dependants of templates and types ---
  // A rule depends on a template when a pattern uses it or an action mentions its facts.
  bool IsDependent(const TRule& Rule, const TFactTemplate& Template) const;
  static bool IsDependent(const TIEValue& Value, const TFactTemplate& Template);
  // Pending facts, facts, fact-set entries and rules of the template go.
  void RemoveDependencies(const TFactTemplate& Template);
  // Every template with a slot of the type goes.
  void RemoveDependencies(const TIEDefinedType& Type);
  // Pending facts, the network, the facts and the rules go.
  void RemoveDependencies();
  // New takes Old's place: with the same name, facts and rules are re-created from their text.
  void ReplaceTemplate(const IFactTemplate& Old, const IFactTemplate& New);
  // Texts (with the fact they came from, or nothing for a rule) parsed again; failures skipped.
  void UpdateDependencies(const std::vector<std::pair<std::string, IFact>>& Items);
  void ClearFactTemplates();
  TNotifyEvent OnClearFactTemplates;

  // Notifications from the registries.
  void AddFactTemplate(const IFactTemplate& Template);
  void RemoveFactTemplate(const IFactTemplate& Template);
  TFactTemplateEvent OnNewFactTemplate;
  TFactTemplateEvent OnRemoveFactTemplate;

  // --- defined types (registry side; the table calls these after each change) ---
  void AddDefinedType(const IIEDefinedType& Type);
  void RemoveDefinedType(const IIEDefinedType& Type);
  // Templates with slots of Old are rebuilt on New when the names agree, else removed.
  void ReplaceDefinedType(const IIEDefinedType& Old, const IIEDefinedType& New);
  void ClearDefinedTypes();
  TDefinedTypeEvent OnAddDefinedType;
  TDefinedTypeEvent OnRemoveDefinedType;
  TNotifyEvent OnClearDefinedTypes;

  // A call of a registered function (raises for an unknown name).
  platform::Ref<TFunCallBase> NewFunCall(std::string_view Name, std::vector<IIEValue> Args) override;

  // --- rules ---
  TRules& GetRules() noexcept { return *Rules_; }
  const TRules& GetRules() const noexcept { return *Rules_; }
  void SetRules(const TRules& Value) { Rules_->Assign(Value); }
  int32_t NewRuleId() noexcept override { return RuleId_++; }
  // Notifications from the rule table and the rules.
  void AddRule(TRule* Rule);
  void RemoveRule(TRule* Rule);
  // RemoveRule without the event: the rule leaves the network and is freed when the engine
  // owns it.
  void DropRule(TRule* Rule);
  // DropRule for many rules at once: the engine's own ones leave its list of components in one
  // pass.
  void DropRules(const std::vector<TRule*>& Rules);
  // The rule table was emptied: rule numbering starts again.
  void ClearRules();
  TNotifyEvent OnClearRules;
  void RenameRule(const std::string& OldName, const std::string& NewName) override;
  void RuleChange(TRule* Rule) override;
  TRuleEvent OnAddRule;
  TRuleEvent OnRemoveRule;
  // The pattern put in front of a rule that would otherwise start with a negated or test
  // element, and the fact that stands for "no match" in a negated join.
  const TIEPattern& GetInitialFactPattern() const noexcept override { return *InitialFactPattern_; }
  const IFact& GetPlaceholderFact() const noexcept override { return PlaceholderFact_; }

  // --- fact sets ---
  void AddFactSet(TFactSet* Set) { FactSets_->Attached(Set); }
  void RemoveFactSet(TFactSet* Set) noexcept { FactSets_->Detached(Set); }
  int GetFactSetCount() const noexcept { return FactSets_->Count(); }
  TFactSet* GetFactSet(int Index) const { return FactSets_->GetItem(Index); }
  TFactSets& GetFactSets() noexcept { return *FactSets_; }
  void SetFactSets(const TFactSets& Value) { FactSets_->Assign(Value); }

  // --- globals ---
  TGlobalVariables& GetGlobalVariables() noexcept { return *GlobalVariables_; }
  const TGlobalVariables& GetGlobalVariables() const noexcept { return *GlobalVariables_; }
  void SetGlobalVariables(const TGlobalVariables& Value) { GlobalVariables_->Assign(Value); }
  // Stores a defglobal's value (name with its asterisks) and binds it in the root context.
  void SetGlobalVariable(const std::string& Name, const IIEValue& Value) override;
  // Binds the variable in the root context to the value (a call is evaluated first).
  void ResetGlobalVariable(const std::string& Name, const IIEValue& Value);

  // --- text entry points (each parses Text with the engine's parser) ---
  TIEParser& GetParser() const noexcept;
  // The class of the engine's parser: TIEClipsParser or a descendant.  A new class replaces the
  // parser (events set on the old one are lost with it).
  const platform::TClass* GetParserType() const noexcept { return ParserType_; }
  void SetParserType(const platform::TClass* Value);
  // A parser of ParserType owned by the engine, reading Stream, with the engine's settings.
  TIEClipsParser* NewParser(TIEClipsStream* Stream);
  TErrorHandling GetParserErrorHandling() const noexcept { return ParserErrorHandling_; }
  void SetParserErrorHandling(TErrorHandling Value);
  int32_t GetParserMaxErrors() const noexcept { return ParserMaxErrors_; }
  void SetParserMaxErrors(int32_t Value);
  // Constructs and top-level items; with Execute, top-level calls run and non-nil results echo.
  // The text is taken by value: a caller that moves a whole file in keeps no second copy of it
  // while it is read.
  void Parse(std::string Text, bool Execute);
  IIEValue ParseNExecuteFunCall(const std::string& Text);
  // A value of the given kind made from text (the parser only for calls, facts and lists).
  IIEValue Parse(const std::string& Text, TIEType Kind);
  // Every fact of Text asserted (values evaluated first).
  bool LoadFactsFromText(const std::string& Text);
  IFunCall ParseFunCall(const std::string& Text);
  IFact ParseFact(const std::string& Text);
  IFactTemplate ParseFactTemplate(const std::string& Text);
  IFactSlot ParseFactTemplateSlot(TFactTemplate& Template, const std::string& Text);
  // "(slot value)" of a fact of Template: the slot's name and its value.
  std::pair<std::string, IIEValue> ParseFactSlot(const TFactTemplate& Template, const std::string& Text);
  // "?name = value" (or "name = value"): one global variable as the printer writes it.
  std::pair<std::string, IIEValue> ParseVariable(const std::string& Text);
  // The patterns up to "=>", and the actions up to the closing ")", of a rule's text, into Rule.
  void ParseRulePatterns(TRule& Rule, const std::string& Text);
  void ParseRuleActions(TRule& Rule, const std::string& Text);
  TFactSet* ParseFactSet(const std::string& Text);
  TRule* ParseRule(const std::string& Text) override;
  IInterpretedFunction ParseFunction(const std::string& Text);
  void ParseGlobalVariables(const std::string& Text);
  IIEDefinedType ParseDefinedType(const std::string& Text);
  IIEValue ParseValue(const std::string& Text);
  IIEValue ParseList(const std::string& Text);
  // Singletons lists are read and written by the engine, which is also their sets' parser.
  ISingletonsVector ParseSingletons(const std::string& Text) override;
  std::string PrettyPrint(const TSingletonsVector& Vector) override;

  // --- console input and output, named streams, capture and batch files (EngineIO.cpp) ---
  using TReadLineEvent = std::function<void(TInferenceEngine* Sender, const std::string& InID, std::string& Text)>;
  using TReadTokenEvent =
      std::function<void(TInferenceEngine* Sender, const std::string& InID, IStreamToken& Token)>;
  void PrintOut(const std::string& Text) { PrintOut(std::string(), Text); }
  // "t" and the empty name are the console: the capture stream while one is set, else the
  // host's OnPrintOut.  A name bound in IOStreams gets the text appended.  Any other name goes
  // where console text goes when OnPrintOut is assigned, and is an error when it is not.
  void PrintOut(const std::string& OutID, const std::string& Text) override;
  // The next line of the stream bound to InID ("" at its end); else the next line of the batch
  // file being run (echoed); else what OnReadLine supplies.
  std::string ReadLine(const std::string& InID);
  // As ReadLine, for one token; the rest of the line it was read from is dropped.
  IStreamToken ReadToken(const std::string& InID);
  TIOStreams& GetIOStreams() noexcept { return *IOStreams_; }
  // The table owns its streams, so another table's streams cannot be shared: nothing changes.
  void SetIOStreams(const TIOStreams& Value) noexcept { (void)Value; }
  // Console output goes to Stream (taken over) instead of OnPrintOut until StopCapture.
  bool StartCapture(std::unique_ptr<std::ostream> Stream);
  // Creates (truncating) FileName for the capture; false, and nothing changed, when it cannot.
  bool StartCapture(const std::string& FileName);
  // Closes the capture stream, if any.
  bool StopCapture();
  bool GetCapturing() const noexcept { return static_cast<bool>(Capture_); }
  // Runs the text of Stream line by line as top-level input; while it runs, console input is
  // taken from the lines that follow.  A line that leaves an expression open is joined with the
  // next ones until the expression closes.
  bool Batch(std::istream& Stream);
  bool Batch(const std::string& FileName);
  // A tokenizer on Stream (not owned), or on FileName opened with Mode (failure raises
  // platform::EFOpenError); either numbers anonymous variables through this engine.
  // The class every tokenizer is made of (TIEClipsStream unless a host substitutes its own).
  const TTokenizerClass* GetTokenizerType() const noexcept { return TokenizerType_; }
  // Ignored when nil or unchanged; otherwise the parser lets go of its stream.
  void SetTokenizerType(const TTokenizerClass* Value);
  virtual std::unique_ptr<TIEClipsStream> NewTokenizer(std::istream& Stream);
  virtual std::unique_ptr<TIEClipsStream> NewTokenizer(const std::string& FileName, std::ios::openmode Mode);
  TPrintOutEvent OnPrintOut;
  TReadLineEvent OnReadLine;
  TReadTokenEvent OnReadToken;

  // --- loading and saving rule-language text (Persistence.cpp) ---
  // A load reads through a token stream that is the parser's input for the call; the parser's
  // own input is put back afterwards, also when parsing fails (what was read before the error
  // stays).  The file forms raise the platform's file error for a file that cannot be opened.
  // A save writes each item's text followed by CR LF, numbers exactly as they are, so that
  // what is saved reads back to the same values.
  void LoadFromFile(const std::string& FileName);
  void LoadFromStream(std::istream& Stream);
  void SaveToFile(const std::string& FileName);
  void SaveToStream(std::ostream& Stream);
  // The rules are cleared first.
  void LoadRules(const std::string& FileName);
  void LoadRules(std::istream& Stream);
  void SaveRules(const std::string& FileName);
  void SaveRules(std::ostream& Stream);
  // The templates (with their facts and rules) are cleared first.
  void LoadFactTemplates(const std::string& FileName);
  void LoadFactTemplates(std::istream& Stream);
  void SaveFactTemplates(const std::string& FileName);
  void SaveFactTemplates(std::ostream& Stream);
  // The defined types (with the templates) are cleared first.
  void LoadDefinedTypes(const std::string& FileName);
  void LoadDefinedTypes(std::istream& Stream);
  void SaveDefinedTypes(const std::string& FileName);
  void SaveDefinedTypes(std::ostream& Stream);
  // Facts, each asserted; saved in fact-list order, all or those of one template.
  void LoadFacts(const std::string& FileName);
  void LoadFacts(std::istream& Stream);
  void SaveFacts(const std::string& FileName);
  void SaveFacts(std::ostream& Stream);
  void SaveFacts(const std::string& FileName, const std::string& TemplateName);
  void SaveFacts(std::ostream& Stream, const std::string& TemplateName);

  // --- host dialogs (HostDialogs.cpp) ---
  // The dialogs of the dialog functions: the host's service when one is set (not owned), else
  // the engine's own, which prints through the console routing and reads the answer there.
  IHostDialogs& GetDialogs();
  void SetDialogs(IHostDialogs* Value) noexcept { Dialogs_ = Value; }
  // The service a host installed (nullptr for the engine's own).
  IHostDialogs* GetDialogsService() const noexcept { return Dialogs_; }

  // --- component streaming (EngineStreaming.cpp) ---
  // The engine as a JSON component stream (platform/ComponentStream.h): the settings that
  // differ from their defaults, and every construct and fact as rule-language text, numbers
  // written exactly.  Loading clears the engine, puts its settings back to their defaults and
  // reads the stream; a stream that cannot be read raises EStreamError (or the parser's error
  // for a construct), and the engine keeps what was read before the error.  The file forms
  // raise platform::EFOpenError for a file that cannot be opened or created.
  void SaveComponentToStream(std::ostream& Stream) const;
  void SaveComponentToFile(const std::string& FileName) const;
  void LoadComponentFromStream(std::istream& Stream);
  void LoadComponentFromFile(const std::string& FileName);
  // Constructs read from a stream wait until every setting of the engine is read, then go in
  // in the order they depend on each other: types, templates, deffunctions, globals, rules,
  // facts, fact sets.
  void Loaded() override;

 private:
  friend struct TEngineStreaming;
  struct TStreamedConstructs;
  std::shared_ptr<TStreamedConstructs> Streamed_;  // while loading from a stream

 public:

  // --- the whole expert system as text (ExpertSystem.cpp) ---
  // A header, the settings, every construct (types and templates after their ancestors, rules
  // sorted) and the facts.
  std::string GetExpertSystem() const;
  // Clears the engine, runs the text and resets.
  void SetExpertSystem(const std::string& Text);
  // A copy of another engine's whole expert system: settings, host functions, constructs and
  // facts.
  void Assign(const platform::TPersistent& Source) override;
  // As Assign, leaving out the source's facts and fact sets (this engine's working memory ends
  // empty) or its rules: a copy that holds only what its user needs.
  void AssignParts(const TInferenceEngine& Source, bool WithFacts, bool WithRules);

  // --- published properties (what streaming, editors and the object package see) ---
  static void DeclareProperties(platform::TPropertyList<TInferenceEngine>& P);

  // --- printing (the canonical rule-language text) ---
  std::string PrettyPrint(const TFact& Fact) override;
  std::string PrettyPrint(const TFunctionCall& Call) override;
  std::string PrettyPrint(const TIEUserFunction& Function) override;
  std::string PrettyPrint(const TInterpretedFunction& Function) override;
  std::string PrettyPrint(const TIEDefinedType& Type) override;
  std::string PrettyPrint(const TFactTemplate& Template);
  std::string PrettyPrint(const TFactSlot& Slot);
  std::string PrettyPrint(const TFactSet& Set);
  std::string PrettyPrint(const TRule& Rule);
  std::string PrettyPrint(const TRule& Rule, TRuleConstruct Part);
  std::string PrettyPrint(const TIEPattern& Pattern);
  // One slot of a fact, "(slot value)"; or a slot of a template with the value's text given.
  std::string PrettyPrint(const TFact& Fact, std::string_view SlotName);
  std::string PrettyPrint(const TFactTemplate& Template, std::string_view SlotName, std::string_view ValueText);
  // One global, "?name = value"; every global as one defglobal.
  std::string PrettyPrint(std::string_view GlobalName, const IIEValue& Value);
  std::string PrettyPrint(const TValueHashTable& Globals);

  // Templates made with this engine as owner register here so that they forget the engine when
  // it is destroyed before them.
  void TemplateCreated(TFactTemplate* Template) { LiveTemplates_.insert(Template); }
  void TemplateDestroyed(TFactTemplate* Template) noexcept { LiveTemplates_.erase(Template); }

  // --- what templates, facts and fact sets ask of their engine (FactsHost.h) ---
  TInferenceEngine* GetFactsEngine() noexcept override { return this; }
  platform::TComponent* GetFactsComponent() noexcept override { return this; }
  std::string PrintFact(const TFact& Fact) override { return PrettyPrint(Fact); }
  std::string PrintFactSlot(const TFactSlot& Slot) override { return PrettyPrint(Slot); }
  std::string PrintFactTemplate(const TFactTemplate& Template) override { return PrettyPrint(Template); }
  std::string PrintFactSet(const TFactSet& Set) override { return PrettyPrint(Set); }
  platform::TObject* GetEvaluationContext() noexcept override;
  void ResolveFactValues(TFact& Fact) override;
  IFact ReadFact(const std::string& Text) override { return ParseFact(Text); }
  IIEValue ReadValue(const std::string& Text) override { return ParseValue(Text); }
  void ReadFactTemplateSlot(TFactTemplate& Template, const std::string& Text) override {
    ParseFactTemplateSlot(Template, Text);
  }
  IFactTemplate LookUpFactTemplate(std::string_view Name) override { return FindFactTemplate(Name); }
  IFactTemplate MakeFactTemplate(const TIEName& Name) override { return CreateFactTemplate(Name); }
  IIEDefinedType LookUpDefinedType(std::string_view Name) override { return FindDefinedType(Name); }
  void FactTemplateRenamed(const TIEName& OldName, const TIEName& NewName) override {
    ChangeFactTemplateName(OldName, NewName);
  }
  void FactTemplateCreated(TFactTemplate* Template) override { TemplateCreated(Template); }
  void FactTemplateDestroyed(TFactTemplate* Template) noexcept override { TemplateDestroyed(Template); }
  void FactSetAttached(TFactSet* Set) override { AddFactSet(Set); }
  void FactSetDetached(TFactSet* Set) noexcept override { RemoveFactSet(Set); }
  int32_t AssertFact(const IFact& Fact) override { return Assert(Fact, false); }
  int32_t GetNextFactIdentifier() const noexcept override { return GetNextFactId(); }
  bool ChecksTypesDynamically() const noexcept override { return DynamicChecks(); }
  // --- what the network's contexts and agenda ask of their engine (NetworkHost.h) ---
  vaguecore::IFuzzyParser* GetFuzzyTermParser() noexcept override { return this; }
  TInferenceEngine* GetNetworkEngine() noexcept override { return this; }
  std::size_t GetStackReserveBytes() const noexcept override { return StackReserveBytes_; }
  bool IsGlobalVariable(std::string_view Name) const override;
  platform::TComponent* GetNetworkComponent() noexcept override { return this; }
  ISymbolGenerator* GetSymbols() noexcept override { return this; }
  IFunCallFactory* GetCallFactory() noexcept override { return this; }
  IReasoner* GetCallReasoner() noexcept override { return this; }
  void RuleJoined(TRule* Rule) override;
  void RuleLeft(TRule* Rule) override;
  TRule* FindRule(std::string_view Name) const override;
  std::string PrintRule(const TRule& Rule) override { return PrettyPrint(Rule); }
  // --- what the parser asks of its engine (ParserHost.h) ---
  void AddParsedRule(TRule* Rule) override;
  void AddParsedFactTemplate(const IFactTemplate& Template) override { FactTemplates_->Add(Template); }
  void RemoveParsedFactTemplate(std::string_view Name) override { FactTemplates_->Remove(Name); }
  void AddParsedDefinedType(const IIEDefinedType& Type) override { DefinedTypes_->Add(Type); }

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  // Collection properties as object references (the table's setters assign, never adopt).
  template <class T, std::unique_ptr<T> TInferenceEngine::*Member>
  T* CollectionProp() const noexcept {
    return (this->*Member).get();
  }
  template <class T, std::unique_ptr<T> TInferenceEngine::*Member>
  void SetCollectionProp(T* Value) {
    if (Value) (this->*Member)->Assign(*Value);
  }
  // A part made through CreateIEObject, checked to be of the part's class.
  template <class T>
  std::unique_ptr<T> MakePart(TIEObjectType Type);
  bool Constructed_ = false;

 private:
  TTypeChecks TypeChecks_{tcStatic};
  TDuplicateConstructs DuplicateConstructs_ = dcOverwrite;
  int32_t SymbolIndex_ = 0;
  int32_t NextFactId_ = 0;
  uint32_t FactEpoch_ = 1;
  bool UpdatingHT_ = false;
  // The rule of the activation being fired, until it is removed (by its own actions, say); then
  // its name.
  TRule* FiringRule_ = nullptr;
  std::string FiringRuleGone_;
  // The halt request: bits of HaltRun and HaltLoops.  Set from any thread, read without the
  // lock; assigning false (as Clear does) withdraws both.
  static constexpr uint8_t HaltRun = 1;
  static constexpr uint8_t HaltLoops = 2;
  std::atomic<uint8_t> Halt_{0};
  std::unique_ptr<TFactTemplates> FactTemplates_;
  std::unique_ptr<TIEDefinedTypes> DefinedTypes_;
  std::unique_ptr<TUserFunctions> UserFunctions_;
  std::unique_ptr<TRules> Rules_;
  int32_t RuleId_ = 0;
  std::unique_ptr<TIEPattern> InitialFactPattern_;
  IFact PlaceholderFact_;
  std::unique_ptr<TEngineVariables> EngineVariables_;
  std::unique_ptr<TGlobalVariables> GlobalVariables_;
  TFunctionPackages Packages_ = AllFunctionPackages;
  bool FactDuplication_ = false;
  bool ResetGlobals_ = true;
  TConstructWatches Watch_;
  TSearchStrategy Strategy_ = ssDepthFirst;
  TSalience SalienceEvaluation_ = sActivate;
  std::unique_ptr<TFacts> Facts_;
  std::deque<IFact> PendingAssertions_;
  std::deque<IFact> PendingRetractions_;
  std::unique_ptr<TIEAgenda> Agenda_;
  TReteNetwork* Network_ = nullptr;
  TActivation* Current_ = nullptr;
  bool CurrentOnAgenda_ = false;  // the activation being fired has not left the agenda yet
  int32_t RulesFired_ = 0;
  double StartTime_ = 0;
  float FactSum_ = 0;
  float AgendaSum_ = 0;
  int32_t MaxFacts_ = 0;
  int32_t MaxAgenda_ = 0;
  bool FuzzyAutoTerms_ = true;
  float FuzzyEqualsThreshold_ = 0.01f;
  vaguecore::TFuzzyCorrelationMethod FuzzyCorrelationMethod_ = vaguecore::fcmMinimum;
  vaguecore::TFuzzyInferenceMethod FuzzyInferenceMethod_ = vaguecore::fimMinMax;
  std::recursive_mutex Lock_;
  // The thread holding Lock_ and how often it took it (the depth is touched only by the holder).
  std::atomic<std::thread::id> LockOwner_{};
  int LockDepth_ = 0;
  bool Watching(TConstructWatch Kind) const noexcept { return Watch_.Contains(Kind) && static_cast<bool>(OnPrintOut); }
  TIEClipsParser* Parser_ = nullptr;
  const platform::TClass* ParserType_ = nullptr;
  const TTokenizerClass* TokenizerType_ = &TokenizerClassOf<TIEClipsStream>();
  TErrorHandling ParserErrorHandling_ = ehRaiseImmediate;
  int32_t ParserMaxErrors_ = 10;
  std::unique_ptr<TIEContext> Context_;
  std::mt19937 Random_{5489u};
  std::unique_ptr<TFactSets> FactSets_;
  std::unordered_set<TFactTemplate*> LiveTemplates_;
  // Console I/O (EngineIO.cpp).  Declared last, so they close first when the engine goes.
  std::unique_ptr<TIOStreams> IOStreams_;
  std::unique_ptr<std::ostream> Capture_;
  TIEClipsStream* BatchInput_ = nullptr;  // the tokenizer Batch runs on (owned by Batch)
  IHostDialogs* Dialogs_ = nullptr;       // the host's dialogs
  std::shared_ptr<IHostDialogs> OwnDialogs_;  // the engine's own, made when first asked for
  void WriteCapture(const std::string& Text);
  // Body run with a token stream over Stream as the parser's input (Persistence.cpp).
  template <class TBody>
  void ReadingFrom(std::istream& Stream, TBody&& Body, const std::string& FileName);
  // A load of one kind of construct: ClearFirst empties its collection, then Stream is parsed;
  // errors name FileName when it is not empty.
  void LoadReplacing(std::istream& Stream, const std::string& FileName, const std::function<void()>& ClearFirst);
  // The fuzzy branch of Assert: correlation with the rule firing, then the combination with an
  // equal fact already there, which leaves working memory.
  void CombineFuzzyFact(const IFact& Fact, bool Unconditional);
};

}  // namespace rulecore
