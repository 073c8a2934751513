#include "IERule.h"

#include <algorithm>

#include "NetworkHost.h"
#include "core/facts/FactTemplate.h"
#include "ReteNetwork.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/ComponentStream.h"
#include "platform/Exceptions.h"
#include "platform/SmallVector.h"

namespace rulecore {

// A rule base holds thousands of rules: growth is a decision, not an accident.
static_assert(sizeof(TRule) <= 344, "TRule grew: keep rarely used fields in its block of rare fields");

namespace {

bool StartsWith(std::string_view Text, std::string_view Prefix) {
  return Text.size() >= Prefix.size() && Text.compare(0, Prefix.size(), Prefix) == 0;
}

// A private copy of a call (nested calls included) for this rule to rewrite.
IIEValue PrivateCall(const IIEValue& Value) {
  const auto Call = Value->GetAsFunCall<TFunctionCall>();
  return platform::MakeRef<TIEValue>(Call->Clone());
}

}  // namespace

namespace {

// Set once as the library loads (the rule language's printer), read ever after.
TRulePrinter RulePrinter = nullptr;

}  // namespace

void SetRulePrinter(TRulePrinter Printer) noexcept { RulePrinter = Printer; }

std::string PrintRuleWithoutEngine(const TRule& Rule) {
  if (!RulePrinter) RaiseIE(SUnknownEngine);
  return RulePrinter(Rule);
}

TRule::TRule(platform::TComponent* Owner) : TComponent(Owner), SalienceValue_(NewInteger(0)) {
  Host_ = dynamic_cast<INetworkHost*>(Owner);
  Engine_ = Host_ ? Host_->GetNetworkEngine() : nullptr;
  RuleName_ = "Rule_" + std::to_string(Host_ ? Host_->NewRuleId() : 0);
}

TRule::~TRule() {
  Destroying();
  if (Host_) Host_->RuleLeft(this);
  // A network the host did not take the rule out of must not keep a terminal node for it.
  if (NetworkPart_.Network) NetworkPart_.Network->RemoveRule(*this);
  Patterns_.clear();
}

TRule::TRare& TRule::Rare() {
  if (!Rare_) Rare_ = std::make_unique<TRare>();
  return *Rare_;
}

// --- properties ----------------------------------------------------------------------------

const std::string& TRule::GetComment() const noexcept {
  static const std::string None;
  return Rare_ ? Rare_->Comment : None;
}

void TRule::SetComment(const std::string& Value) {
  if (Rare_ || !Value.empty()) Rare().Comment = Value;
}

void TRule::SetRuleName(const std::string& Value) {
  if (Value == RuleName_) return;
  CheckConstructName(Value);
  if (Host_ && Host_->FindRule(RuleName_) == this) Host_->RenameRule(RuleName_, Value);
  RuleName_ = Value;
}

void TRule::SetEnabled(bool Value) {
  if (Value == Enabled_) return;
  Enabled_ = Value;
  Change();
}

void TRule::SetOneShot(bool Value) {
  if (Value == OneShot_) return;
  OneShot_ = Value;
  Change();
}

void TRule::SetEngine(TInferenceEngine* Value) { SetHost(NetworkHostOf(Value)); }

platform::TComponent* TRule::GetEngineComponent() const noexcept {
  return Host_ ? Host_->GetNetworkComponent() : nullptr;
}

void TRule::SetEngineComponent(platform::TComponent* Value) { SetHost(dynamic_cast<INetworkHost*>(Value)); }

void TRule::SetHost(INetworkHost* Value) {
  if (Value == Host_) return;
  if (Host_) {
    Host_->RuleLeft(this);
    RemoveFreeNotification(Host_->GetNetworkComponent());
  }
  Host_ = Value;
  Engine_ = Host_ ? Host_->GetNetworkEngine() : nullptr;
  if (!Host_) return;
  FreeNotification(Host_->GetNetworkComponent());
  if (IsLoading()) return;
  RuleName_ = "Rule_" + std::to_string(Host_->NewRuleId());
  Host_->RuleJoined(this);
}

void TRule::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation == platform::opRemove && Host_ && Component == Host_->GetNetworkComponent()) {
    Host_ = nullptr;
    Engine_ = nullptr;
  }
}

// --- salience ------------------------------------------------------------------------------

void TRule::SetSalience(const IIEValue& Expression) {
  SalienceValue_ = Expression ? Expression : NewInteger(0);
  EvaluateSalience();
  Change();
}

void TRule::SetSalienceInteger(int32_t Value) {
  if (Value == Salience_) return;
  Salience_ = Value;
  SalienceValue_ = NewInteger(Value);
  Change();
}

int32_t TRule::EvaluateSalience() {
  if (!Host_) return Salience_;
  // The expression may call user code; while it runs the agenda is placing or sorting.
  const TReteNetwork::TBusy Busy(Host_->GetReteNetwork());
  std::unique_ptr<TIEContext> Child(Host_->GetContext()->Push());
  const IIEValue Value = SalienceValue_->Resolve(Child.get());
  Child->ClearReturnValue();  // a salience expression never ends anything around it
  Child->Pop();
  if (!Value) RaiseIE(SExpectedIntVarFun, {"salience"});
  Salience_ = Value->GetAsInteger();
  return Salience_;
}

// --- patterns ------------------------------------------------------------------------------

TIEPattern* TRule::GetPattern(int Index) const {
  if (Index < 0 || Index >= GetPatternCount()) platform::ListIndexError(Index);
  return Patterns_[static_cast<size_t>(Index)].get();
}

int32_t TRule::IndexOfPattern(const TIEPattern& Pattern) const {
  for (size_t I = 0; I < Patterns_.size(); ++I)
    if (Patterns_[I].get() == &Pattern) return static_cast<int32_t>(I);
  return -1;
}

TIEPattern* TRule::AddPattern(std::unique_ptr<TIEPattern> Pattern) {
  return InsertPattern(GetPatternCount(), std::move(Pattern));
}

TIEPattern* TRule::InsertPattern(int Index, std::unique_ptr<TIEPattern> Pattern) {
  if (!Host_) RaiseIE(SUnknownEngine);
  if (Index < 0 || Index > GetPatternCount()) platform::ListIndexError(Index);
  TIEPattern* Added = Pattern.get();
  Patterns_.push_back(std::move(Pattern));
  std::rotate(Patterns_.begin() + Index, Patterns_.end() - 1, Patterns_.end());
  try {
    CompilePattern(*Added);
  } catch (...) {
    // A pattern that does not compile does not stay in the rule.
    const int32_t At = IndexOfPattern(*Added);
    if (At >= 0) Patterns_.erase(Patterns_.begin() + At);
    throw;
  }
  Change();
  return Added;
}

void TRule::CompilePattern(TIEPattern& Pattern) {
  Pattern.SetOwner(this);
  // A rule must start with a positive pattern for the network to have something to join with.
  const IFactTemplate& Template = Pattern.GetFactTemplate();
  if (GetPatternCount() == 1 &&
      (Pattern.GetNegatedCount() >= 1 || Pattern.GetName() == STestCE || (Template && Template->IsBackwardChaining())))
    InsertPattern(0, Host_->GetInitialFactPattern().Clone(this));

  const int32_t FactIndex = IndexOfPattern(Pattern);
  if (StartsWith(Pattern.GetName(), SBackChainPrefix) && Pattern.GetBoundName().empty())
    Pattern.SetBoundName(Host_->GetSymbols()->GenerateSymbol(SFactPrefix));
  if (!Pattern.GetBoundName().empty()) AddBinding(Pattern.GetBoundName(), FactIndex, SPatternBinding, NoSubIndex);

  TVariableRenames Renames;
  for (int S = 0; S < Pattern.GetSlotCount(); ++S) {
    TSlotTests* Tests = Pattern.GetSlotTests(S);
    if (!Tests) continue;
    for (const auto& Owned : *Tests) {
      TIEPatternMatchTest* Test = Owned.get();
      const IIEValue& Value = Test->GetSlotValue();
      if (!Value || !IEVariableTypes.Contains(Value->GetDType())) continue;
      std::string Name(Value->GetText());
      if (IndexOfBinding(Name) >= 0) continue;
      if (Pattern.IsNegated() && StartsWith(Name, SBlankPrefix)) {
        // Anonymous wildcards of a negated element are its own: they must not join with others.
        const std::string Renamed = "_" + std::to_string(GetPatternCount()) + "_" + Name;
        Test->SetSlotValue(NewValue(Renamed, Value->GetDType()));
        Renames.emplace_back(Name, Renamed);
        Name = Renamed;
      } else if (Test->GetSlotTestType() == sttNotEquals) {
        RaiseIE(SNegatedVariable, {Name});
      }
      AddBinding(Name, FactIndex, Pattern.GetSlotName(S), Test->GetMultiSlotSubIndex());
    }
  }
  if (!Renames.empty())
    for (int S = 0; S < Pattern.GetSlotCount(); ++S)
      if (TSlotTests* Tests = Pattern.GetSlotTests(S))
        for (const auto& Test : *Tests)
          if (Test->GetSlotValue() && Test->GetSlotValue()->GetDType() == dtFunCall &&
              Test->GetSlotValue()->GetAsFunCall<TFunctionCall>()) {
            const IIEValue Copy = PrivateCall(Test->GetSlotValue());
            SubstFunCall(*Copy->GetAsFunCall<TFunctionCall>(), Renames);
            Test->SetSlotValue(Copy);
          }
  Pattern.FixTests();

  // A goal pattern is followed by the negated element that stops the goal once it is met.
  if (StartsWith(Pattern.GetName(), SBackChainPrefix)) {
    const std::string Target = Pattern.GetName().substr(SBackChainPrefix.size());
    auto Guard = std::make_unique<TIEPattern>(this, 1, Host_->CreateFactTemplate(Target), Target);
    for (int S = 0; S < Pattern.GetSlotCount(); ++S) {
      TSlotTests* Tests = Pattern.GetSlotTests(S);
      if (!Tests || !Guard->GetFactTemplate()->ContainsSlot(Pattern.GetSlotName(S))) continue;
      for (const auto& Test : *Tests)
        Guard->AddTest(Pattern.GetSlotName(S), Test->GetSlotValue(), Test->GetConjunction(),
                       Test->GetSlotTestType() == sttNotEquals, Test->GetMultiSlotSubIndex());
    }
    InsertPattern(FactIndex + 1, std::move(Guard));
  }
}

void TRule::SetPatterns(const TRule& Source) {
  BeginUpdate();
  struct TEnd {
    TRule& R;
    ~TEnd() { R.EndUpdate(); }
  } End{*this};
  Bindings_.clear();
  Patterns_.clear();
  bool SkipNext = false;
  for (const auto& Pattern : Source.Patterns_) {
    if (SkipNext) {
      SkipNext = false;
      continue;
    }
    SkipNext = StartsWith(Pattern->GetName(), SBackChainPrefix);
    // The initial-fact pattern is put back by compiling the first pattern when it is needed.
    if (Pattern.get() == Source.Patterns_[0].get() && Pattern->GetName() == SInitialFactPattern &&
        Source.Patterns_.size() > 1)
      continue;
    AddPattern(Pattern->Clone(Host_->GetNetworkComponent()));
  }
}

void TRule::ClearPatterns() {
  Patterns_.clear();
  Bindings_.clear();
  Change();
}

// --- actions -------------------------------------------------------------------------------

const IFunCall& TRule::GetAction(int Index) const {
  if (Index < 0 || Index >= GetActionCount()) platform::ListIndexError(Index);
  return Actions_[static_cast<size_t>(Index)];
}

void TRule::AddAction(const IFunCall& Action) {
  Actions_.push_back(Action);
  Change();
}

void TRule::DeleteAction(int Index) {
  if (Index < 0 || Index >= GetActionCount()) platform::ListIndexError(Index);
  Actions_.erase(Actions_.begin() + Index);
  Change();
}

void TRule::ClearActions() {
  Actions_.clear();
  Change();
}

// --- bindings ------------------------------------------------------------------------------

TBinding& TRule::GetBinding(int Index) const {
  if (Index < 0 || Index >= GetBindingCount()) platform::ListIndexError(Index);
  return *Bindings_[static_cast<size_t>(Index)];
}

int TRule::IndexOfBinding(std::string_view Name) const noexcept {
  for (size_t I = 0; I < Bindings_.size(); ++I)
    if (Bindings_[I]->Name == Name) return static_cast<int>(I);
  return -1;
}

TBinding* TRule::GetBindingByName(std::string_view Name) const noexcept {
  const int I = IndexOfBinding(Name);
  return I >= 0 ? Bindings_[static_cast<size_t>(I)].get() : nullptr;
}

TBinding& TRule::AddBinding(std::string_view Name, int32_t FactIndex, std::string_view SlotIndex, int32_t SubIndex) {
  for (const IBinding& B : Bindings_)
    if (B->Name == Name && B->FactIndex == FactIndex && B->SlotIndex == SlotIndex && B->SubIndex == SubIndex)
      return *B;
  Bindings_.push_back(platform::MakeRef<TBinding>(std::string(Name), FactIndex, std::string(SlotIndex), SubIndex));
  return *Bindings_[Bindings_.size() - 1];
}

// --- firing --------------------------------------------------------------------------------

void TRule::Prepare(const ITokenFacts& Token, TIEContext& Context) {
  const TFact* Placeholder = Host_ ? Host_->GetPlaceholderFact().get() : nullptr;
  Context.GetBindings().Reserve(Bindings_.size() + 1);  // one array for a firing's bindings
  for (const IBinding& B : Bindings_) {
    if (B->SlotIndex == SLocalBinding) continue;
    TFact* Fact = Token.GetFactAt(B->FactIndex);
    if (!Fact || Fact == Placeholder) continue;
    IIEValue Value;
    if (B->SlotIndex == SPatternBinding) {
      Value = Host_ ? Host_->FactAddress(*Fact) : platform::MakeRef<TIEValue>(Fact->GetID(), dtFactId);
    } else {
      // Facts of one template keep a slot at one place: look there first.
      Value = GetPlacedValue(*Fact, B->SlotIndex, B->Place);
      if (B->SubIndex != NoSubIndex) {
        const TValueVector* List = PeekList(*Value);
        if (!List) Value->GetAsList();  // raises the error for a value that is not a list
        if (!List || B->SubIndex < 0 || B->SubIndex >= List->GetValueCount()) continue;  // the field is not there
        Value = List->Get(B->SubIndex);
      }
    }
    B->Value = Value;
    PutLocal(Context, static_cast<size_t>(&B - Bindings_.data()), B->Name, std::move(Value));
  }
  // A copy of a value kept for the name shares its text: no text is made per firing.
  if (!RuleNameValue_ || RuleNameValue_->GetText() != RuleName_) RuleNameValue_ = NewString(RuleName_);
  static const std::string RuleBinding(SRuleBinding);
  PutLocal(Context, Bindings_.size(), RuleBinding, RuleNameValue_->Clone());
}

void TRule::PutLocal(TIEContext& Context, size_t Slot, const std::string& Name, IIEValue Value) {
  // The binding objects of the last firing are used again once its context let them go.
  if (FiringBindings_.size() <= Slot) FiringBindings_.resize(Slot + 1);
  IBinding& Held = FiringBindings_[Slot];
  if (Held && Held->RefCount() == 1 && Held->Name == Name && Held->FactIndex == LocalBindingIndex &&
      Held->SubIndex == NoSubIndex && Held->SlotIndex == SLocalBinding)
    Held->Value = std::move(Value);
  else
    Held = platform::MakeRef<TBinding>(Name, std::move(Value));
  Context.GetBindings().Put(Held);
}

void TRule::Fire(const ITokenFacts& Token) {
  if (!Host_) RaiseIE(SUnknownEngine);
  // The actions may remove this rule (a rule that clears the engine): keep the data they use.
  std::unique_ptr<TIEContext> Child(Host_->GetContext()->Push());
  struct TPop {
    TIEContext& Frame;
    ~TPop() {
      Frame.ClearReturnValue();
      Frame.Pop();
    }
  } Pop{*Child};
  Child->ClearReturnValue();
  Prepare(Token, *Child);
  Fired_ = true;
  if (OnFire) OnFire(this, Child.get());
  if (Child->GetReturned()) return;
  platform::TSmallVector<IFunCall, 8> Actions;
  Actions.assign(Actions_.begin(), Actions_.end());
  for (const IFunCall& Action : Actions) {
    IIEValue Result;
    Action->Execute(Child.get(), Result);
    if (Child->GetReturned()) break;
  }
}

void TRule::SubstFunCall(TFunctionCall& Call, const TVariableRenames& Renames) {
  for (int I = 0; I < Call.GetArgumentCount(); ++I) {
    const IIEValue& A = Call.GetArgument(I);
    if (!A) continue;
    if (IEVariableTypes.Contains(A->GetDType())) {
      for (const auto& [Old, New] : Renames)
        if (A->GetText() == Old) {
          Call.SetArgument(I, NewValue(New, A->GetDType()));
          break;
        }
    } else if (A->GetDType() == dtFunCall) {
      if (auto Nested = A->GetAsFunCall<TFunctionCall>()) SubstFunCall(*Nested, Renames);
    }
  }
}

// --- updates -------------------------------------------------------------------------------

void TRule::EndUpdate() {
  if (UpdateCount_ > 0 && --UpdateCount_ == 0) Change();
}

void TRule::Change() {
  if (UpdateCount_ > 0) return;
  if (Host_) Host_->RuleChange(this);
  if (OnChange) OnChange(this);
}

void TRule::Change(TIEPattern&) { Change(); }

ISymbolGenerator* TRule::GetSymbolGenerator() { return Host_ ? Host_->GetSymbols() : nullptr; }

IFunCallFactory* TRule::GetFunCallFactory() { return Host_ ? Host_->GetCallFactory() : nullptr; }

// --- copying and text ----------------------------------------------------------------------

namespace {

// A copy of a call whose calls (nested ones too) run through Reasoner.
IFunCall CallFor(const TFunctionCall& Source, IReasoner* Reasoner) {
  IFunCall Copy = Source.Clone();
  Copy->SetReasoner(Reasoner);
  for (int I = 0; I < Copy->GetArgumentCount(); ++I) {
    const IIEValue& A = Copy->GetArgument(I);
    if (A && A->GetDType() == dtFunCall)
      if (auto Nested = A->GetAsFunCall<TFunctionCall>())
        Copy->SetArgument(I, platform::MakeRef<TIEValue>(CallFor(*Nested, Reasoner)));
  }
  return Copy;
}

}  // namespace

void TRule::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TRule*>(&Source);
  if (!From) return TComponent::Assign(Source);
  if (From == this) return;
  if (!Host_) RaiseIE(SUnknownEngine);
  BeginUpdate();
  struct TEnd {
    TRule& R;
    ~TEnd() { R.EndUpdate(); }
  } End{*this};
  SetRuleName(From->RuleName_);
  Enabled_ = From->Enabled_;
  SetComment(From->GetComment());
  OneShot_ = From->OneShot_;
  SetPatterns(*From);
  Actions_.clear();
  // Calls of another engine's rule are bound to this engine's functions.
  for (const IFunCall& Action : From->Actions_) Actions_.push_back(CallFor(*Action, Host_->GetCallReasoner()));
  SalienceValue_ = From->SalienceValue_ ? From->SalienceValue_->Clone() : NewInteger(0);
  Salience_ = From->Salience_;
}

std::string TRule::GetToString() const { return Host_ ? Host_->PrintRule(*this) : PrintRuleWithoutEngine(*this); }

// --- streaming -----------------------------------------------------------------------------

void TRule::DeclareProperties(platform::TPropertyList<TRule>& P) {
  P.Add("Comment", &TRule::GetComment, &TRule::SetComment);
  P.Add("Enabled", &TRule::GetEnabled, &TRule::SetEnabled, true);
  P.Add("Engine", &TRule::GetEngineComponent, &TRule::SetEngineComponent);
  // Reading an event gives the handler without making room for one.
  P.AddRef<TNotifyEvent>("OnChange", [](TRule& R) -> TNotifyEvent& { return R.OnChange.Storage(); }).Get =
      [](const platform::TObject& O) -> platform::TPropValue { return std::any(static_cast<const TRule&>(O).OnChange.Get()); };
  P.AddRef<TRuleFireEvent>("OnFire", [](TRule& R) -> TRuleFireEvent& { return R.OnFire.Storage(); }).Get =
      [](const platform::TObject& O) -> platform::TPropValue { return std::any(static_cast<const TRule&>(O).OnFire.Get()); };
  P.Add("OneShot", &TRule::GetOneShot, &TRule::SetOneShot, false);
  P.Add("RuleName", &TRule::GetRuleName, &TRule::SetRuleName);
  P.Add("Salience", &TRule::GetSalience, &TRule::SetSalienceInteger, 0);
}

void TRule::DefineProperties(platform::TObject& Instance, platform::TFiler& Filer) {
  auto& Rule = static_cast<TRule&>(Instance);
  Filer.DefineProperty(
      "Text", [&Rule](platform::TReader& Reader) { Rule.Rare().StoredText = Reader.ReadString(); },
      [&Rule](platform::TWriter& Writer) {
        const TExactNumbers Exact;  // what is stored must read back to the same numbers
        Writer.WriteString(Rule.GetToString());
      },
      Rule.Host_ && (!Rule.Patterns_.empty() || !Rule.Actions_.empty()));
}

void TRule::LoadingFailed(platform::TComponent& Instance) noexcept {
  auto& Rule = static_cast<TRule&>(Instance);
  if (Rule.Rare_) Rule.Rare_->StoredText.clear();
}

void TRule::Loaded() {
  TComponent::Loaded();
  const std::string Text = Rare_ ? std::exchange(Rare_->StoredText, std::string()) : std::string();
  if (!Host_) return;
  if (!Text.empty()) {
    const std::unique_ptr<TRule> Parsed(Host_->ParseRule(Text));
    Assign(*Parsed);
  }
  if (Host_->FindRule(RuleName_) != this) Host_->RuleJoined(this);
}

}  // namespace rulecore
