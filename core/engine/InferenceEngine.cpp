#include "InferenceEngine.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/facts/FactSet.h"
#include "core/functions/IEFunctionCall.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/functions/IEPackages.h"
#include "core/language/IEClipsParser.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IEContext.h"
#include "core/network/IERule.h"
#include "core/network/ReteNetwork.h"
#include "core/values/IEException.h"
#include "platform/PageArena.h"

namespace rulecore {

TInferenceEngine::TInferenceEngine(platform::TComponent* Owner, TDeferred) : TComponent(Owner), SymbolIndex_(1) {}

TInferenceEngine::TInferenceEngine(platform::TComponent* Owner, TBare) : TInferenceEngine(Owner, TDeferred{}) {
  Construct();
}

TInferenceEngine::TInferenceEngine(platform::TComponent* Owner) : TInferenceEngine(Owner, TBare{}) {
  ConstructDefaults();
}

std::unique_ptr<platform::TObject> TInferenceEngine::CreateIEObject(int Type) {
  switch (Type & 0x7F) {
    case otAgenda: return std::make_unique<TIEAgenda>(this);
    case otEngineVariables: return std::make_unique<TEngineVariables>(101, 0.75);
    case otFacts: return std::make_unique<TFacts>(this);
    case otFactSets: return std::make_unique<TFactSets>(this);
    case otFactTemplates: return std::make_unique<TFactTemplates>(this);
    case otGlobalVariables: return std::make_unique<TGlobalVariables>(this);
    case otDefinedTypes: return std::make_unique<TIEDefinedTypes>(this);
    case otIOStreams: return std::make_unique<TIOStreams>(this);
    case otRules: return std::make_unique<TRules>(this);
    case otUserFunctions: return std::make_unique<TUserFunctions>(this);
    case otReteNetwork: return std::unique_ptr<platform::TObject>(new TReteNetwork(this));
    default: return nullptr;
  }
}

template <class T>
std::unique_ptr<T> TInferenceEngine::MakePart(TIEObjectType Type) {
  std::unique_ptr<platform::TObject> Made = CreateIEObject(Type);
  if (!dynamic_cast<T*>(Made.get()))
    RaiseIE(SInvalidAddObject, {Made ? Made->ClassName() : std::string("nil"), std::string(T::StaticClass().Name)});
  return std::unique_ptr<T>(static_cast<T*>(Made.release()));
}

void TInferenceEngine::Construct() {
  if (Constructed_) return;
  ParserType_ = &TIEClipsParser::StaticClass();
  Parser_ = NewParser(nullptr);
  IOStreams_ = MakePart<TIOStreams>(otIOStreams);
  GlobalVariables_ = MakePart<TGlobalVariables>(otGlobalVariables);
  DefinedTypes_ = MakePart<TIEDefinedTypes>(otDefinedTypes);
  Agenda_ = MakePart<TIEAgenda>(otAgenda);
  FactTemplates_ = MakePart<TFactTemplates>(otFactTemplates);
  Facts_ = MakePart<TFacts>(otFacts);
  FactSets_ = MakePart<TFactSets>(otFactSets);
  Network_ = MakePart<TReteNetwork>(otReteNetwork).release();  // a component the engine owns
  Rules_ = MakePart<TRules>(otRules);
  EngineVariables_ = MakePart<TEngineVariables>(otEngineVariables);
  UserFunctions_ = MakePart<TUserFunctions>(otUserFunctions);
  Context_ = std::make_unique<TIEContext>(this);
  InitialFactPattern_ =
      std::make_unique<TIEPattern>(this, 0, CreateFactTemplate(std::string(SInitialFactPattern)),
                                   std::string(SInitialFactPattern));
  PlaceholderFact_ = platform::MakeRef<TFact>(CreateFactTemplate(std::string(SNullFact)));
  Constructed_ = true;
}

void TInferenceEngine::ConstructDefaults() {
  AddDefaultPackages();
  Assert(std::string(SInitialFact));
}

void TInferenceEngine::AddDefaultPackages() {
  // Made by class name, in this order: each package registers its class as the library loads,
  // so the engine knows none of them.
  static constexpr std::pair<TFunctionPackage, std::string_view> Defaults[] = {
      {pStandard, "TStandardPackage"},         {pMiscellaneous, "TMiscPackage"},
      {pPredicate, "TPredicatePackage"},       {pMath, "TMathPackage"},
      {pString, "TStringPackage"},             {pObject, "TObjectPackage"},
      {pTrigonometry, "TTrigonometryPackage"}, {pBusiness, "TBusinessPackage"},
      {pFuzzyLogic, "TFuzzyLogicPackage"}};
  for (const auto& [Kind, ClassName] : Defaults)
    if (Packages_.Contains(Kind)) platform::CreateObjectByName(ClassName, this);
  if (OnAddDefaultPackages) OnAddDefaultPackages(this);
}

void TInferenceEngine::SetPackages(TFunctionPackages Value) {
  if (Value == Packages_) return;
  for (int I = GetComponentCount() - 1; I >= 0; --I)
    if (auto* Package = dynamic_cast<TUserPackage*>(GetComponent(I))) delete Package;
  Packages_ = Value;
  AddDefaultPackages();
}

TInferenceEngine::~TInferenceEngine() {
  Destroying();
  if (!Constructed_) {
    DestroyComponents();
    return;
  }
  // Nobody hears of the tearing down: every event goes first, the parser's too.
  for (const platform::TPropInfo* Info : platform::GetPropList(TInferenceEngine::StaticClass()))
    if (Info->Kind == platform::pkEvent) Info->Set(*this, std::any());
  Clear();
  // Owned components (fact sets, rules, packages, the network) go next, while the registries
  // still exist.
  Rules_->Clear();
  DestroyComponents();
  Parser_ = nullptr;
  Network_ = nullptr;
  // Newest first: the list gives up its last entry without moving the others.
  const std::vector<TFactSet*> Sets(FactSets_->Items());
  for (auto It = Sets.rbegin(); It != Sets.rend(); ++It) (*It)->SetEngineNoParse(nullptr);
  // Functions entered here by others (packages elsewhere, host code) forget this engine.
  for (int I = 0; I < UserFunctions_->Count(); ++I) UserFunctions_->ValueAt(I)->ForgetReasoner(this);
  UserFunctions_->Clear();
  // Templates held outside the engine outlive it: they forget it now.
  for (TFactTemplate* Template : LiveTemplates_) Template->EngineDestroyed();
  LiveTemplates_.clear();
  // The parts go in a fixed order: what refers to templates before the templates, the streams
  // last.
  Capture_.reset();
  Rules_.reset();
  GlobalVariables_.reset();
  FactTemplates_.reset();
  DefinedTypes_.reset();
  UserFunctions_.reset();
  InitialFactPattern_.reset();
  PlaceholderFact_ = nullptr;
  Agenda_.reset();
  FactSets_.reset();
  Facts_.reset();
  PendingAssertions_.clear();
  PendingRetractions_.clear();
  Context_.reset();
  EngineVariables_.reset();
  IOStreams_.reset();
  // What the engine held may leave whole regions of the pools free: back to the system.
  platform::TrimPoolsIfGrown();
}

void TInferenceEngine::SetTypeChecks(TTypeChecks Value) noexcept {
  TypeChecks_ = Value;
  if (Parser_) Parser_->SetStaticTypeCheck(Value.Contains(tcStatic));
}

void TInferenceEngine::SetGlobalVariable(const std::string& Name, const IIEValue& Value) {
  GlobalVariables_->Put(Name, Value);
}

void TInferenceEngine::ResetGlobalVariable(const std::string& Name, const IIEValue& Value) {
  // The table keeps the defining value; the variable holds its result.
  IIEValue Bound = Value;
  if (Value && Value->GetDType() == dtFunCall) {
    std::unique_ptr<TIEContext> Child(Context_->Push());
    Bound = Value->Resolve(Child.get());
    Child->ClearReturnValue();
    Child->Pop();
  }
  Context_->AddGlobalBinding(Name, Bound);
}

TIEParser& TInferenceEngine::GetParser() const noexcept { return *Parser_; }

TIEClipsParser* TInferenceEngine::NewParser(TIEClipsStream* Stream) {
  platform::TObject* Made = ParserType_->CreateInstance(this);
  auto* Parser = dynamic_cast<TIEClipsParser*>(Made);
  if (!Parser) {
    delete Made;
    RaiseIE(SNoParser);
  }
  Parser->SetStream(Stream);
  Parser->SetErrorHandling(ParserErrorHandling_);
  Parser->SetMaxErrors(ParserMaxErrors_);
  Parser->SetStaticTypeCheck(TypeChecks_.Contains(tcStatic));
  return Parser;
}

void TInferenceEngine::SetParserType(const platform::TClass* Value) {
  if (!Value || Value == ParserType_) return;
  // Only a parser of the rule language can serve the engine's entry points.
  if (!Value->InheritsFrom(TIEClipsParser::StaticClass())) RaiseIE(SNoParser);
  const platform::TClass* Old = ParserType_;
  ParserType_ = Value;
  TIEClipsParser* Replacement = nullptr;
  try {
    Replacement = NewParser(nullptr);
  } catch (...) {
    ParserType_ = Old;
    throw;
  }
  delete Parser_;
  Parser_ = Replacement;
}

void TInferenceEngine::SetParserErrorHandling(TErrorHandling Value) {
  ParserErrorHandling_ = Value;
  if (Parser_) Parser_->SetErrorHandling(Value);
}

void TInferenceEngine::SetParserMaxErrors(int32_t Value) {
  ParserMaxErrors_ = Value;
  if (Parser_) Parser_->SetMaxErrors(Value);
}

namespace {

// Runs Body with the parser reading Text; the parser's previous stream comes back afterwards,
// also when parsing fails.
template <class TBody>
auto WithText(TInferenceEngine& Engine, TIEClipsParser& Parser, std::string Text, TBody&& Body) {
  const std::unique_ptr<TIEClipsStream> Stream = Engine.GetTokenizerType()->OnText(std::move(Text));
  Stream->SetSymbolGenerator(&Engine);
  struct TRestore {
    TIEClipsParser& Parser;
    TIEClipsStream* Previous;
    ~TRestore() { Parser.SetStream(Previous); }
  } Restore{Parser, Parser.GetStream()};
  Parser.SetStream(Stream.get());
  return Body(Parser);
}

}  // namespace

void TInferenceEngine::Parse(std::string Text, bool Execute) {
  WithText(*this, *Parser_, std::move(Text), [&](TIEClipsParser& P) { P.Parse(Execute); });
}
IIEValue TInferenceEngine::ParseNExecuteFunCall(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseNExecuteFunCall(); });
}
IIEValue TInferenceEngine::Parse(const std::string& Text, TIEType Kind) {
  switch (Kind) {
    case dtNone:
      return platform::MakeRef<TIEValue>();
    case dtAtom:
    case dtVariable:
    case dtMultiVariable:
    case dtSlot:
    case dtMultiSlot:
      return NewValue(Text, Kind);
    case dtString: {
      const size_t First = Text.find_first_not_of('"');
      if (First == std::string::npos) return NewString("");
      const size_t Last = Text.find_last_not_of('"');
      return NewString(std::string_view(Text).substr(First, Last - First + 1));
    }
    case dtInteger:
    case dtFactId: {
      int32_t Value = 0;
      if (!TextToInteger(Text, Value)) RaiseIE(SNotCorrectType, {"integer", Text, GetIETypeName(dtAtom)});
      return platform::MakeRef<TIEValue>(Value, Kind);
    }
    case dtFloat: {
      double Value = 0;
      if (!TextToFloat(Text, Value)) RaiseIE(SNotCorrectType, {"float", Text, GetIETypeName(dtAtom)});
      return NewFloat(Value);
    }
    case dtFunCall:
      return platform::MakeRef<TIEValue>(ParseFunCall(Text));
    case dtFact:
      return platform::MakeRef<TIEValue>(ParseFact(Text));
    case dtList: {
      const IIEValue Value = ParseValue(Text);
      return Value ? Value : FCNilList;
    }
    default:
      break;
  }
  const int Ordinal = static_cast<int>(Kind);
  RaiseIE(SParseTypeError, {Ordinal > 18 ? "Unknown Type (" + std::to_string(Ordinal) + ")" : GetIETypeName(Kind)});
}

bool TInferenceEngine::LoadFactsFromText(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.LoadFacts(); });
}
IFunCall TInferenceEngine::ParseFunCall(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseFunCall(); });
}
platform::TObject* TInferenceEngine::GetEvaluationContext() noexcept { return Context_.get(); }

void TInferenceEngine::ResolveFactValues(TFact& Fact) { Context_->Resolve(Fact); }

IFactsHost* FactsHostOf(TInferenceEngine* Engine) noexcept { return Engine; }

INetworkHost* NetworkHostOf(TInferenceEngine* Engine) noexcept { return Engine; }

IReasoner* ReasonerOf(TInferenceEngine* Engine) noexcept { return Engine; }

platform::TComponent* ComponentOf(TInferenceEngine* Engine) noexcept { return Engine; }

TInferenceEngine* EngineOf(platform::TComponent* Component) noexcept {
  return dynamic_cast<TInferenceEngine*>(Component);
}

bool TInferenceEngine::IsGlobalVariable(std::string_view Name) const { return GlobalVariables_->ContainsKey(Name); }

void TInferenceEngine::RuleJoined(TRule* Rule) { Rules_->Add(Rule); }

void TInferenceEngine::AddParsedRule(TRule* Rule) { Rules_->Add(Rule); }

void TInferenceEngine::RuleLeft(TRule* Rule) { Rules_->Remove(Rule); }

TRule* TInferenceEngine::FindRule(std::string_view Name) const { return Rules_->Get(Name); }

IFact TInferenceEngine::ParseFact(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseFact(); });
}
IFactTemplate TInferenceEngine::ParseFactTemplate(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseFactTemplate(); });
}
IFactSlot TInferenceEngine::ParseFactTemplateSlot(TFactTemplate& Template, const std::string& Text) {
  return WithText(*this, *Parser_, Text, [&](TIEClipsParser& P) { return P.ParseFactTemplateSlot(Template); });
}
TFactSet* TInferenceEngine::ParseFactSet(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseFactSet(); });
}
TRule* TInferenceEngine::ParseRule(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseRule(); });
}
IInterpretedFunction TInferenceEngine::ParseFunction(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseFunction(); });
}
void TInferenceEngine::ParseGlobalVariables(const std::string& Text) {
  WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { P.ParseGlobalVariables(); });
}
IIEDefinedType TInferenceEngine::ParseDefinedType(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseDefinedType(); });
}
IIEValue TInferenceEngine::ParseValue(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseValue(); });
}
IIEValue TInferenceEngine::ParseList(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseList(); });
}
ISingletonsVector TInferenceEngine::ParseSingletons(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseSingletons(); });
}
std::pair<std::string, IIEValue> TInferenceEngine::ParseFactSlot(const TFactTemplate& Template,
                                                                  const std::string& Text) {
  return WithText(*this, *Parser_, Text, [&](TIEClipsParser& P) { return P.ParseFactSlot(Template); });
}
std::pair<std::string, IIEValue> TInferenceEngine::ParseVariable(const std::string& Text) {
  // The printer writes a global as "?name = value"; a name without its "?" is read the same.
  const size_t Start = Text.find_first_not_of(" \t\r\n");
  const bool Bare = Start != std::string::npos && Text[Start] != '?';
  return WithText(*this, *Parser_, Bare ? "?" + Text.substr(Start) : Text,
                  [](TIEClipsParser& P) { return P.ParseVariable(); });
}
// A rule part as the printer writes it has no "=>" after the patterns and no ")" after the
// actions, where the parser of a whole rule stops: they are added (text that has them stops
// at its own).
void TInferenceEngine::ParseRulePatterns(TRule& Rule, const std::string& Text) {
  WithText(*this, *Parser_, Text + "\r\n=>", [&](TIEClipsParser& P) { P.ParseRulePatterns(Rule); });
}
void TInferenceEngine::ParseRuleActions(TRule& Rule, const std::string& Text) {
  WithText(*this, *Parser_, Text + "\r\n)", [&](TIEClipsParser& P) { P.ParseRuleActions(Rule); });
}
IFuzzySet TInferenceEngine::ParseFuzzySet(const IFuzzyVariable& Variable, const std::string& Text) {
  // "(term name shape)" as the printer writes a term; any other text is an expression.
  const size_t Start = Text.find_first_not_of(" \t\r\n");
  if (Start != std::string::npos && Text[Start] == '(' &&
      Text.compare(Text.find_first_not_of(" \t\r\n", Start + 1), 4, "term") == 0)
    return WithText(*this, *Parser_, Text, [&](TIEClipsParser& P) { return P.ParseFuzzySet(Variable); });
  return ParseFuzzyExpression(Variable, Text);
}
IFuzzyVariable TInferenceEngine::ParseFuzzyVariable(const std::string& Text) {
  IFuzzyVariable Variable = NewFuzzyVariable("");
  Variable->SetParser(this);
  WithText(*this, *Parser_, Text, [&](TIEClipsParser& P) { P.ParseFuzzyVariable(*Variable); });
  return Variable;
}

std::string TInferenceEngine::GenerateSymbol(std::string_view Prefix) {
  std::string Symbol(Prefix);
  Symbol += std::to_string(SymbolIndex_);
  SymbolIndex_ = SymbolIndex_ == INT32_MAX ? 0 : SymbolIndex_ + 1;
  return Symbol;
}

void TInferenceEngine::SetSymbolIndex(int32_t Value) noexcept {
  // Never back: symbols already handed out must stay unique.
  if (Value > SymbolIndex_)
    SymbolIndex_ = Value;
  else
    SymbolIndex_ = SymbolIndex_ == INT32_MAX ? 0 : SymbolIndex_ + 1;
}

IFactTemplate TInferenceEngine::CreateFactTemplate(const TIEName& Name) {
  if (IFactTemplate Existing = FactTemplates_->Get(Name)) return Existing;
  IFactTemplate Template = platform::MakeRef<TFactTemplate>(this, Name);
  Template->SetComment("(Implied)");
  FactTemplates_->Add(Template);
  return Template;
}

void TInferenceEngine::ChangeFactTemplateName(const TIEName& OldName, const TIEName& NewName) {
  IFactTemplate Template;
  if (!FactTemplates_->ContainsKey(OldName, Template)) return;
  struct TFlag {
    bool& Value;
    ~TFlag() { Value = false; }
  } Guard{UpdatingHT_ = true};
  FactTemplates_->Remove(OldName);
  FactTemplates_->Put(NewName, Template);
}

void TInferenceEngine::AddFactTemplate(const IFactTemplate& Template) {
  if (OnNewFactTemplate) OnNewFactTemplate(this, Template);
}

void TInferenceEngine::RemoveFactTemplate(const IFactTemplate& Template) {
  if (OnRemoveFactTemplate) OnRemoveFactTemplate(this, Template);
}

platform::Ref<TFunCallBase> TInferenceEngine::NewFunCall(std::string_view Name, std::vector<IIEValue> Args) {
  if (!ContainsUserFunction(Name)) RaiseIE(SNoSuchFunction, {Name});
  IFunCall Call = platform::MakeRef<TFunctionCall>(this, std::string(Name));
  for (IIEValue& A : Args) Call->AddArgument(A);
  return Call;
}

void TInferenceEngine::AddRule(TRule* Rule) {
  Network_->AddRule(*Rule);
  if (Watching(cwCompilation)) PrintOut("t", Network_->GetCompileTrace(*Rule) + "\r\n");
  if (OnAddRule) OnAddRule(this, Rule);
}

void TInferenceEngine::RemoveRule(TRule* Rule) {
  if (OnRemoveRule) OnRemoveRule(this, Rule);
  DropRule(Rule);
}

void TInferenceEngine::DropRule(TRule* Rule) {
  if (Rule == FiringRule_) {
    FiringRuleGone_ = Rule->GetRuleName();
    FiringRule_ = nullptr;
  }
  if (Network_) Network_->RemoveRule(*Rule);
  if (Rule->GetOwner() == this && !Rule->IsDestroying()) {
    // As for many rules at once (DropRules): only free-notification partners need the news.
    TQuietRemovals Quiet(*this);
    delete Rule;
  }
}

void TInferenceEngine::DropRules(const std::vector<TRule*>& Rules) {
  std::unordered_set<const platform::TComponent*> Owned;
  for (TRule* Rule : Rules) {
    if (Rule == FiringRule_) {
      FiringRuleGone_ = Rule->GetRuleName();
      FiringRule_ = nullptr;
    }
    if (Network_) Network_->RemoveRule(*Rule);
    if (Rule->GetOwner() == this && !Rule->IsDestroying()) Owned.insert(Rule);
  }
  // The network has let go of them; nothing else the engine owns refers to a rule except
  // through free-notification, which still reaches it.
  TQuietRemovals Quiet(*this);
  DestroyComponentsWhere([&Owned](platform::TComponent* C) { return Owned.count(C) > 0; });
}

void TInferenceEngine::ClearRules() {
  RuleId_ = 0;
  if (OnClearRules) OnClearRules(this);
}

// --- settings that reach into other parts ----------------------------------------------------

void TInferenceEngine::SetFuzzyEqualsThreshold(float Value) {
  Value = std::clamp(Value, 0.0f, 1.0f);
  if (Value == FuzzyEqualsThreshold_) return;
  FuzzyEqualsThreshold_ = Value;
  for (const auto& [Name, Type] : *DefinedTypes_)
    if (Type->GetFuzzyType()) Type->GetFuzzyType()->SetThreshold(Value);
}

float TInferenceEngine::GetMinActivationStrength() const noexcept { return Network_->GetMinActivationStrength(); }

void TInferenceEngine::SetMinActivationStrength(float Value) {
  Network_->SetMinActivationStrength(std::clamp(Value, 0.0f, 1.0f));
}

// --- defined types -----------------------------------------------------------------------------

void TInferenceEngine::AddDefinedType(const IIEDefinedType& Type) {
  if (OnAddDefinedType) OnAddDefinedType(this, Type);
}

void TInferenceEngine::RemoveDefinedType(const IIEDefinedType& Type) {
  if (OnRemoveDefinedType) OnRemoveDefinedType(this, Type);
}

void TInferenceEngine::ClearDefinedTypes() {
  if (OnClearDefinedTypes) OnClearDefinedTypes(this);
}

void TInferenceEngine::ReplaceDefinedType(const IIEDefinedType& Old, const IIEDefinedType& New) {
  if (Old->GetName() != New->GetName()) {
    RemoveDependencies(*Old);
    return;
  }
  // Every template with a slot of the old type is rebuilt on the new one; defaults that were
  // read through the old type are read again.
  std::vector<IFactTemplate> Rebuilt;
  for (const auto& [Name, Template] : *FactTemplates_) {
    IFactSlot Slot;
    if (!Template->ContainsType(Old.get(), Slot)) continue;
    IFactTemplate Copy = Template->Clone(this);
    for (const IFactSlot& S : Copy->GetSlots()) {
      if (S->GetExtendedTypeInfo() != Old) continue;
      S->SetExtendedTypeInfo(New);
      const IIEValue& Default = S->GetSlotDefault();
      if (Default && IEReparseTypes.Contains(Default->GetDType())) S->SetSlotDefault(ParseValue(Default->GetToString()));
    }
    Rebuilt.push_back(Copy);
  }
  for (const IFactTemplate& Copy : Rebuilt)
    if (IFactTemplate Registered = FactTemplates_->Get(Copy->GetTemplateName())) FactTemplates_->Replace(Registered, Copy);
}

void TInferenceEngine::RenameRule(const std::string& OldName, const std::string& NewName) {
  struct TFlag {
    bool& Value;
    ~TFlag() { Value = false; }
  } Guard{UpdatingHT_ = true};
  Rules_->Rename(OldName, NewName);
}

void TInferenceEngine::RuleChange(TRule* Rule) {
  // A registered rule that changed is compiled again.
  if (!Network_ || Network_->GetCompiling() || Rules_->Get(Rule->GetRuleName()) != Rule) return;
  Network_->RemoveRule(*Rule);
  Network_->AddRule(*Rule);
}

void TInferenceEngine::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation != platform::opRemove) return;
  if (auto* Set = dynamic_cast<TFactSet*>(Component)) RemoveFactSet(Set);
  if (auto* Rule = dynamic_cast<TRule*>(Component)) Rules_->Remove(Rule);
}

void TInferenceEngine::SetUserFunction(std::string_view Name, const IUserFunction& Function) {
  const std::string Key(Name);
  if (IUserFunction Old = UserFunctions_->Get(Key)) RemoveFunction(Old);
  UserFunctions_->Put(Key, Function);
  if (Function) AddFunction(Function);
}

void TInferenceEngine::AddFunction(const IUserFunction& Function) {
  if (OnAddUserFunction) OnAddUserFunction(this, Function);
}

void TInferenceEngine::RemoveFunction(const IUserFunction& Function) {
  if (OnRemoveUserFunction) OnRemoveUserFunction(this, Function);
}

std::string TInferenceEngine::PrettyPrint(const TFact& Fact) { return rulecore::PrettyPrint(Fact); }
std::string TInferenceEngine::PrettyPrint(const TFunctionCall& Call) {
  return rulecore::PrettyPrint(Call, Call.GetName() == "modify" || Call.GetName() == "duplicate");
}
std::string TInferenceEngine::PrettyPrint(const TIEUserFunction& Function) { return rulecore::PrettyPrint(Function); }
std::string TInferenceEngine::PrettyPrint(const TInterpretedFunction& Function) {
  return rulecore::PrettyPrint(Function);
}
std::string TInferenceEngine::PrettyPrint(const TIEDefinedType& Type) { return rulecore::PrettyPrint(Type); }
std::string TInferenceEngine::PrettyPrint(const TRule& Rule) { return rulecore::PrettyPrint(Rule); }
std::string TInferenceEngine::PrettyPrint(const TFactTemplate& Template) { return rulecore::PrettyPrint(Template); }
std::string TInferenceEngine::PrettyPrint(const TFactSlot& Slot) { return rulecore::PrettyPrint(Slot); }
std::string TInferenceEngine::PrettyPrint(const TFactSet& Set) { return rulecore::PrettyPrint(Set); }
std::string TInferenceEngine::PrettyPrint(const TRule& Rule, TRuleConstruct Part) {
  return rulecore::PrettyPrint(Rule, Part);
}
std::string TInferenceEngine::PrettyPrint(const TIEPattern& Pattern) { return rulecore::PrettyPrint(Pattern); }
std::string TInferenceEngine::PrettyPrint(const TFact& Fact, std::string_view SlotName) {
  return PrettyPrintSlotValue(Fact, SlotName);
}
std::string TInferenceEngine::PrettyPrint(const TFactTemplate& Template, std::string_view SlotName,
                                          std::string_view ValueText) {
  return PrettyPrintSlotValue(Template, SlotName, ValueText);
}
std::string TInferenceEngine::PrettyPrint(std::string_view GlobalName, const IIEValue& Value) {
  return PrettyPrintGlobalVariable(GlobalName, Value);
}
std::string TInferenceEngine::PrettyPrint(const TValueHashTable& Globals) { return PrettyPrintGlobalVariables(Globals); }

}  // namespace rulecore

namespace rulecore {

void TInferenceEngine::DeclareProperties(platform::TPropertyList<TInferenceEngine>& P) {
  using E = TInferenceEngine;
  P.Add("DefinedTypes", &E::CollectionProp<TIEDefinedTypes, &E::DefinedTypes_>,
        &E::SetCollectionProp<TIEDefinedTypes, &E::DefinedTypes_>);
  P.Add("DuplicateConstructs", &E::GetDuplicateConstructs, &E::SetDuplicateConstructs, dcOverwrite);
  P.Add("FactDuplication", &E::GetFactDuplication, &E::SetFactDuplication, false);
  P.Add("FactTemplates", &E::CollectionProp<TFactTemplates, &E::FactTemplates_>,
        &E::SetCollectionProp<TFactTemplates, &E::FactTemplates_>);
  P.Add("Facts", &E::CollectionProp<TFacts, &E::Facts_>, &E::SetCollectionProp<TFacts, &E::Facts_>);
  P.Add("FuzzyAutoTerms", &E::GetFuzzyAutoTerms, &E::SetFuzzyAutoTerms, true);
  P.Add("FuzzyCorrelationMethod", &E::GetFuzzyCorrelationMethod, &E::SetFuzzyCorrelationMethod, vaguecore::fcmMinimum);
  P.Add("FuzzyEqualsThreshold", &E::GetFuzzyEqualsThreshold, &E::SetFuzzyEqualsThreshold, 0.01f);
  P.Add("FuzzyInferenceMethod", &E::GetFuzzyInferenceMethod, &E::SetFuzzyInferenceMethod, vaguecore::fimMinMax);
  P.Add("GlobalVariables", &E::CollectionProp<TGlobalVariables, &E::GlobalVariables_>,
        &E::SetCollectionProp<TGlobalVariables, &E::GlobalVariables_>);
  P.Add("MinActivationStrength", &E::GetMinActivationStrength, &E::SetMinActivationStrength, 0.0f);
  P.Add("Packages", &E::GetPackages, &E::SetPackages, AllFunctionPackages);
  P.Add("ParserErrorHandling", &E::GetParserErrorHandling, &E::SetParserErrorHandling, ehRaiseImmediate);
  P.Add("ParserMaxErrors", &E::GetParserMaxErrors, &E::SetParserMaxErrors, 10);
  P.Add("ResetGlobals", &E::GetResetGlobals, &E::SetResetGlobals, true);
  P.Add("Rules", &E::CollectionProp<TRules, &E::Rules_>, &E::SetCollectionProp<TRules, &E::Rules_>);
  P.Add("Strategy", &E::GetStrategy, &E::SetStrategy, ssDepthFirst);
  P.Add("StackReserve", &E::GetStackReserve, &E::SetStackReserve, 0);
  P.Add("SymbolIndex", &E::GetSymbolIndex, &E::SetSymbolIndex, 1);
  P.Add("TypeChecks", &E::GetTypeChecks, &E::SetTypeChecks, TTypeChecks{tcStatic});
  P.Add("Watch", &E::GetWatch, &E::SetWatch, TConstructWatches{});

  P.AddField("OnAddDefaultPackages", &E::OnAddDefaultPackages);
  P.AddField("OnAddActivation", &E::OnAddActivation);
  P.AddField("OnRemoveActivation", &E::OnRemoveActivation);
  P.AddField("OnAssertion", &E::OnAssertion);
  P.AddField("OnRetraction", &E::OnRetraction);
  P.AddField("OnReset", &E::OnReset);
  P.AddField("OnClear", &E::OnClear);
  P.AddField("OnClearFacts", &E::OnClearFacts);
  P.AddField("OnClearRules", &E::OnClearRules);
  P.AddField("OnClearFactTemplates", &E::OnClearFactTemplates);
  P.AddField("OnClearDefinedTypes", &E::OnClearDefinedTypes);
  P.AddField("OnStartInference", &E::OnStartInference);
  P.AddField("OnEndInference", &E::OnEndInference);
  P.AddField("OnRuleFired", &E::OnRuleFired);
  P.AddField("OnAddRule", &E::OnAddRule);
  P.AddField("OnRemoveRule", &E::OnRemoveRule);
  P.AddField("OnNewFactTemplate", &E::OnNewFactTemplate);
  P.AddField("OnRemoveFactTemplate", &E::OnRemoveFactTemplate);
  P.AddField("OnAddDefinedType", &E::OnAddDefinedType);
  P.AddField("OnRemoveDefinedType", &E::OnRemoveDefinedType);
  P.AddField("OnAddUserFunction", &E::OnAddUserFunction);
  P.AddField("OnRemoveUserFunction", &E::OnRemoveUserFunction);
  P.AddField("OnPrintOut", &E::OnPrintOut);
  P.AddField("OnReadLine", &E::OnReadLine);
  P.AddField("OnFuzzyInference", &E::OnFuzzyInference);
  P.AddField("OnFuzzyCorrelation", &E::OnFuzzyCorrelation);
  P.AddField("OnReadToken", &E::OnReadToken);
  // The parse events live in the parser: the engine's properties read and write the current
  // parser's (a new parser starts without them).
  P.AddRef<TParseEvent>("OnParse", [](E& S) -> TParseEvent& { return S.GetParser().OnParse; });
  P.AddRef<TParseDefinedTypeEvent>("OnParseDefinedType",
                                   [](E& S) -> TParseDefinedTypeEvent& { return S.GetParser().OnParseDefinedType; });
  P.AddRef<TParseFactEvent>("OnParseFact", [](E& S) -> TParseFactEvent& { return S.GetParser().OnParseFact; });
  P.AddRef<TParseFactSetEvent>("OnParseFactSet",
                               [](E& S) -> TParseFactSetEvent& { return S.GetParser().OnParseFactSet; });
  P.AddRef<TParseFactTemplateEvent>(
      "OnParseFactTemplate", [](E& S) -> TParseFactTemplateEvent& { return S.GetParser().OnParseFactTemplate; });
  P.AddRef<TParseFunctionEvent>("OnParseFunction",
                                [](E& S) -> TParseFunctionEvent& { return S.GetParser().OnParseFunction; });
  P.AddRef<TParseFunCallEvent>("OnParseFunCall",
                               [](E& S) -> TParseFunCallEvent& { return S.GetParser().OnParseFunCall; });
  P.AddRef<TParseVariableEvent>("OnParseVariable",
                                [](E& S) -> TParseVariableEvent& { return S.GetParser().OnParseVariable; });
  P.AddRef<TParsePatternEvent>("OnParsePattern",
                               [](E& S) -> TParsePatternEvent& { return S.GetParser().OnParsePattern; });
  P.AddRef<TParseRuleEvent>("OnParseRule", [](E& S) -> TParseRuleEvent& { return S.GetParser().OnParseRule; });
  P.AddRef<TParseFuzzySetEvent>("OnParseFuzzySet",
                                [](E& S) -> TParseFuzzySetEvent& { return S.GetParser().OnParseFuzzySet; });
  P.AddRef<TParseFuzzyVariableEvent>(
      "OnParseFuzzyVariable", [](E& S) -> TParseFuzzyVariableEvent& { return S.GetParser().OnParseFuzzyVariable; });
  P.AddRef<TParseSingletonsEvent>("OnParseSingletons",
                                  [](E& S) -> TParseSingletonsEvent& { return S.GetParser().OnParseSingletons; });
}

}  // namespace rulecore
