#include "InferenceEngine.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/facts/FactSet.h"
#include "core/functions/MathPackage.h"
#include "core/functions/PredicatePackage.h"
#include "core/functions/StandardPackage.h"
#include "core/functions/StringPackage.h"
#include "core/functions/IEFunctionCall.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/language/IEClipsParser.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IEContext.h"
#include "core/network/IERule.h"
#include "core/network/ReteNetwork.h"
#include "core/values/IEException.h"

namespace rulecore {

TInferenceEngine::TInferenceEngine(platform::TComponent* Owner, TBare)
    : TComponent(Owner),
      SymbolIndex_(1),
      FactTemplates_(this),
      DefinedTypes_(this),
      UserFunctions_(this),
      Rules_(this),
      Context_(std::make_unique<TIEContext>(this)) {
  InitialFactPattern_ =
      std::make_unique<TIEPattern>(this, 0, CreateFactTemplate(std::string(SInitialFactPattern)),
                                   std::string(SInitialFactPattern));
  PlaceholderFact_ = platform::MakeRef<TFact>(CreateFactTemplate(std::string(SNullFact)));
  ParserType_ = &TIEClipsParser::StaticClass();
  Parser_ = NewParser(nullptr);
  Network_ = new TReteNetwork(this);
}

TInferenceEngine::TInferenceEngine(platform::TComponent* Owner) : TInferenceEngine(Owner, TBare{}) {
  AddDefaultPackages();
  Assert(std::string(SInitialFact));
}

void TInferenceEngine::AddDefaultPackages() {
  // Packages of kinds this build does not provide yet are left out.
  if (Packages_.Contains(pStandard)) new TStandardPackage(this);
  if (Packages_.Contains(pPredicate)) new TPredicatePackage(this);
  if (Packages_.Contains(pMath)) new TMathPackage(this);
  if (Packages_.Contains(pString)) new TStringPackage(this);
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
  OnPrintOut = nullptr;
  OnAssertion = nullptr;
  OnRetraction = nullptr;
  OnAddActivation = nullptr;
  OnRemoveActivation = nullptr;
  OnRemoveRule = nullptr;
  OnRemoveFactTemplate = nullptr;
  OnRemoveUserFunction = nullptr;
  OnClear = nullptr;
  OnClearFacts = nullptr;
  Clear();
  // Owned components (fact sets, rules, packages, the network) go next, while the registries
  // still exist.
  Rules_.Clear();
  DestroyComponents();
  Parser_ = nullptr;
  Network_ = nullptr;
  for (TFactSet* Set : std::vector<TFactSet*>(FactSets_)) Set->SetEngineNoParse(nullptr);
  // Functions entered here by others (packages elsewhere, host code) forget this engine.
  for (int I = 0; I < UserFunctions_.Count(); ++I) UserFunctions_.ValueAt(I)->ForgetReasoner(this);
  UserFunctions_.Clear();
  // Templates held outside the engine outlive it: they forget it now.
  for (TFactTemplate* Template : LiveTemplates_) Template->EngineDestroyed();
  LiveTemplates_.clear();
}

void TInferenceEngine::SetTypeChecks(TTypeChecks Value) noexcept {
  TypeChecks_ = Value;
  if (Parser_) Parser_->SetStaticTypeCheck(Value.Contains(tcStatic));
}

void TInferenceEngine::SetGlobalVariable(const std::string& Name, const IIEValue& Value) {
  GlobalVariables_.Put(Name, Value);
  ResetGlobalVariable(Name, Value);
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
auto WithText(TInferenceEngine& Engine, TIEClipsParser& Parser, const std::string& Text, TBody&& Body) {
  TIEClipsStream Stream(platform::InMemory, Text);
  Stream.SetSymbolGenerator(&Engine);
  struct TRestore {
    TIEClipsParser& Parser;
    TIEClipsStream* Previous;
    ~TRestore() { Parser.SetStream(Previous); }
  } Restore{Parser, Parser.GetStream()};
  Parser.SetStream(&Stream);
  return Body(Parser);
}

}  // namespace

void TInferenceEngine::Parse(const std::string& Text, bool Execute) {
  WithText(*this, *Parser_, Text, [&](TIEClipsParser& P) { P.Parse(Execute); });
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

bool TInferenceEngine::LoadFacts(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.LoadFacts(); });
}
IFunCall TInferenceEngine::ParseFunCall(const std::string& Text) {
  return WithText(*this, *Parser_, Text, [](TIEClipsParser& P) { return P.ParseFunCall(); });
}
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
  if (IFactTemplate Existing = FactTemplates_.Get(Name)) return Existing;
  IFactTemplate Template = platform::MakeRef<TFactTemplate>(this, Name);
  Template->SetComment("(Implied)");
  FactTemplates_.Add(Template);
  return Template;
}

void TInferenceEngine::ChangeFactTemplateName(const TIEName& OldName, const TIEName& NewName) {
  IFactTemplate Template;
  if (!FactTemplates_.ContainsKey(OldName, Template)) return;
  struct TFlag {
    bool& Value;
    ~TFlag() { Value = false; }
  } Guard{UpdatingHT_ = true};
  FactTemplates_.Remove(OldName);
  FactTemplates_.Put(NewName, Template);
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
  if (Network_) Network_->RemoveRule(*Rule);
  if (Rule->GetOwner() == this && !Rule->IsDestroying()) delete Rule;
}

void TInferenceEngine::RenameRule(const std::string& OldName, const std::string& NewName) {
  struct TFlag {
    bool& Value;
    ~TFlag() { Value = false; }
  } Guard{UpdatingHT_ = true};
  Rules_.Rename(OldName, NewName);
}

void TInferenceEngine::RuleChange(TRule* Rule) {
  // A registered rule that changed is compiled again.
  if (!Network_ || Network_->GetCompiling() || Rules_.Get(Rule->GetRuleName()) != Rule) return;
  Network_->RemoveRule(*Rule);
  Network_->AddRule(*Rule);
}

void TInferenceEngine::AddFactSet(TFactSet* Set) {
  if (!Set || std::find(FactSets_.begin(), FactSets_.end(), Set) != FactSets_.end()) return;
  // A set of the same name is replaced: the earlier one leaves the engine.
  for (TFactSet* Other : std::vector<TFactSet*>(FactSets_))
    if (Other->GetFactSetName() == Set->GetFactSetName()) Other->SetEngineNoParse(nullptr);
  FactSets_.push_back(Set);
}

void TInferenceEngine::RemoveFactSet(TFactSet* Set) noexcept {
  FactSets_.erase(std::remove(FactSets_.begin(), FactSets_.end(), Set), FactSets_.end());
}

void TInferenceEngine::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation != platform::opRemove) return;
  if (auto* Set = dynamic_cast<TFactSet*>(Component)) RemoveFactSet(Set);
  if (auto* Rule = dynamic_cast<TRule*>(Component)) Rules_.Remove(Rule);
}

void TInferenceEngine::SetUserFunction(std::string_view Name, const IUserFunction& Function) {
  const std::string Key(Name);
  if (IUserFunction Old = UserFunctions_.Get(Key)) RemoveFunction(Old);
  UserFunctions_.Put(Key, Function);
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

}  // namespace rulecore
