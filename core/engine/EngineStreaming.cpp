// Component streaming of the engine: what its collections and the engine itself store besides
// their published properties (each a list of rule-language strings), the engine's entry points
// that write and read a whole engine as a JSON component stream, and the registration of every
// class of this library that a stream may name.
//
// Stored lists (each written only when it has an entry, each string one construct's text):
//   DefinedTypes "DefTypes"      every deftype, each after its ancestor
//   FactTemplates "Templates"    every template but the engine's own, each after its parent
//   GlobalVariables "Variables"  "?*name* = value" per defglobal
//   Rules "Rules"                every rule not stored as a component of the same stream
//   the engine "Functions"       every deffunction
//   the engine "FactsList"       every fact, in fact-list order
//   the engine "FactSets"        every deffacts not stored as a component of the same stream
// Everything is printed with exact numbers, so that it reads back to the same values.
//
// Reading keeps the lists while the engine loads and adds them in Loaded, once every setting
// is read whatever the order of the stream: types before the templates that use them,
// deffunctions before the globals and rules that call them, and all of it under the stored
// type checks, fuzzy settings and duplicate policy.  Depends on the engine, the parser and the
// platform's streaming layer.
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/functions/IEPackages.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IERule.h"
#include "platform/ComponentStream.h"
#include "platform/Format.h"
#include "platform/TextStream.h"

namespace rulecore {

using TStrings = std::vector<std::string>;

struct TInferenceEngine::TStreamedConstructs {
  std::optional<TStrings> Types, Templates, Functions, Variables, Rules, Facts, FactSets;
};

struct TEngineStreaming {
  using TList = std::optional<TStrings> TInferenceEngine::TStreamedConstructs::*;

  // Strings read for Engine: kept until it has loaded, added now when it is not loading.
  static void Received(TInferenceEngine* Engine, TList List, TStrings Strings) {
    if (!Engine) return;  // a collection of no engine has no parser to read its text
    if (Engine->IsLoading()) {
      if (!Engine->Streamed_) Engine->Streamed_ = std::make_shared<TInferenceEngine::TStreamedConstructs>();
      (*Engine->Streamed_).*List = std::move(Strings);
      return;
    }
    TInferenceEngine::TStreamedConstructs One;
    One.*List = std::move(Strings);
    Add(*Engine, One);
  }

  static void Add(TInferenceEngine& E, const TInferenceEngine::TStreamedConstructs& L) {
    // The engine's own templates are not in the stream: clearing the templates must not lose
    // them, as its initial-fact pattern and placeholder fact stand on these very objects.
    const IFactTemplate InitialFact = E.FindFactTemplate(SInitialFactPattern);
    const IFactTemplate NullFact = E.FindFactTemplate(SNullFact);
    auto KeepEngineTemplates = [&] {
      for (const IFactTemplate& T : {InitialFact, NullFact})
        if (T && !E.FindFactTemplate(T->GetTemplateName())) E.GetFactTemplates().Add(T);
    };
    if (L.Types) {
      E.GetDefinedTypes().Clear();
      KeepEngineTemplates();
      for (const std::string& Text : *L.Types) E.GetDefinedTypes().Add(E.ParseDefinedType(Text));
    }
    if (L.Templates) {
      E.GetFactTemplates().Clear();
      KeepEngineTemplates();
      for (const std::string& Text : *L.Templates) E.GetFactTemplates().Add(E.ParseFactTemplate(Text));
    }
    if (L.Functions)
      for (const std::string& Text : *L.Functions) E.ParseFunction(Text)->AddReasoner(&E);
    if (L.Variables)
      for (const std::string& Text : *L.Variables) {
        auto [Name, Value] = E.ParseVariable(Text);
        E.GetGlobalVariables().Put(Name, Value);
      }
    if (L.Rules)
      for (const std::string& Text : *L.Rules) {
        std::unique_ptr<TRule> Rule(E.ParseRule(Text));
        E.GetRules().Add(Rule.get());
        Rule.release();  // the engine owns it
      }
    if (L.Facts)
      for (const std::string& Text : *L.Facts) E.Assert(Text);
    if (L.FactSets)
      for (const std::string& Text : *L.FactSets) E.ParseFactSet(Text)->SetEngineNoParse(&E);
  }

  // --- writing ---------------------------------------------------------------------------------

  // Items of a table in table order, each after the item it names as its parent when the table
  // holds that (chains of any length, without recursion; a cycle is cut where it closes).
  template <class V, class TParent>
  static std::vector<V> ParentsFirst(const platform::TStringHashTable<V>& Table, TParent ParentName) {
    std::vector<V> Ordered;
    std::unordered_set<const void*> Placed;
    for (const auto& [Name, Item] : Table) {
      std::vector<V> Chain;  // Item and its ancestors not placed yet, nearest first
      std::unordered_set<const void*> OnChain;
      for (V At = Item; At && !Placed.count(At.get()) && OnChain.insert(At.get()).second;) {
        Chain.push_back(At);
        const std::string Parent = ParentName(At);
        At = Parent.empty() ? V() : V(Table.Get(Parent));
      }
      for (auto It = Chain.rbegin(); It != Chain.rend(); ++It) {
        Placed.insert(It->get());
        Ordered.push_back(*It);
      }
    }
    return Ordered;
  }

  static void DefineStrings(platform::TFiler& Filer, std::string_view Name, TInferenceEngine* Engine, TList List,
                            const std::function<TStrings()>& Texts, bool HasData) {
    Filer.DefineProperty(
        Name, [Engine, List](platform::TReader& Reader) { Received(Engine, List, Reader.ReadStrings()); },
        [&Texts](platform::TWriter& Writer) {
          const TExactNumbers Exact;  // what is stored must read back to the same numbers
          Writer.WriteStrings(Texts());
        },
        HasData);
  }

  static bool IsEngineTemplate(const std::string& Name) { return Name == SInitialFactPattern || Name == SNullFact; }

  static void DefineTypes(platform::TObject& Instance, platform::TFiler& Filer) {
    auto& Types = static_cast<TIEDefinedTypes&>(Instance);
    DefineStrings(
        Filer, "DefTypes", Types.GetEngine(), &TInferenceEngine::TStreamedConstructs::Types,
        [&Types] {
          TStrings Texts;
          for (const IIEDefinedType& Type : ParentsFirst(Types, [](const IIEDefinedType& T) {
                 return T->GetAncestor() ? T->GetAncestor()->GetName() : std::string();
               }))
            Texts.push_back(Type->GetToString());
          return Texts;
        },
        Types.Count() > 0);
  }

  static void DefineTemplates(platform::TObject& Instance, platform::TFiler& Filer) {
    auto& Templates = static_cast<TFactTemplates&>(Instance);
    bool Any = false;
    for (const auto& [Name, Template] : Templates) Any = Any || !IsEngineTemplate(Name);
    DefineStrings(
        Filer, "Templates", Templates.GetEngine(), &TInferenceEngine::TStreamedConstructs::Templates,
        [&Templates] {
          TStrings Texts;
          for (const IFactTemplate& Template : ParentsFirst(Templates, [](const IFactTemplate& T) {
                 return T->GetParent() ? T->GetParent()->GetTemplateName() : std::string();
               }))
            if (!IsEngineTemplate(Template->GetTemplateName())) Texts.push_back(Template->GetToString());
          return Texts;
        },
        Any);
  }

  static void DefineVariables(platform::TObject& Instance, platform::TFiler& Filer) {
    auto& Globals = static_cast<TGlobalVariables&>(Instance);
    DefineStrings(
        Filer, "Variables", Globals.GetEngine(), &TInferenceEngine::TStreamedConstructs::Variables,
        [&Globals] {
          TStrings Texts;
          for (const auto& [Name, Value] : Globals) Texts.push_back(PrettyPrintGlobalVariable(Name, Value));
          return Texts;
        },
        Globals.Count() > 0);
  }

  static void DefineRules(platform::TObject& Instance, platform::TFiler& Filer) {
    auto& Rules = static_cast<TRules&>(Instance);
    TInferenceEngine* Engine = Rules.GetEngine();
    // A rule that the stream holds as a component stores its own text; listing it here too
    // would make it twice.  Which rules those are only the writer knows.
    Filer.DefineProperty(
        "Rules", [Engine](platform::TReader& Reader) {
          Received(Engine, &TInferenceEngine::TStreamedConstructs::Rules, Reader.ReadStrings());
        },
        [&Rules](platform::TWriter& Writer) {
          const TExactNumbers Exact;
          TStrings Texts;
          for (const auto& [Name, Rule] : Rules)
            if (!Writer.Stores(*Rule)) Texts.push_back(Rule->GetToString());
          if (!Texts.empty()) Writer.WriteStrings(Texts);
        },
        Rules.Count() > 0);
  }

  static void DefineEngine(platform::TObject& Instance, platform::TFiler& Filer) {
    auto& E = static_cast<TInferenceEngine&>(Instance);
    bool AnyFunction = false;
    for (int I = 0; I < E.GetUserFunctions().Count() && !AnyFunction; ++I)
      AnyFunction = dynamic_cast<const TInterpretedFunction*>(E.GetUserFunctions().ValueAt(I).get()) != nullptr;
    DefineStrings(
        Filer, "Functions", &E, &TInferenceEngine::TStreamedConstructs::Functions,
        [&E] {
          TStrings Texts;
          for (int I = 0; I < E.GetUserFunctions().Count(); ++I)
            if (const auto* F = dynamic_cast<const TInterpretedFunction*>(E.GetUserFunctions().ValueAt(I).get()))
              Texts.push_back(E.PrettyPrint(*F));
          return Texts;
        },
        AnyFunction);
    DefineStrings(
        Filer, "FactsList", &E, &TInferenceEngine::TStreamedConstructs::Facts,
        [&E] {
          TStrings Texts;
          for (const IFact& Fact : E.GetFactList()) Texts.push_back(Fact->ToString());
          return Texts;
        },
        E.GetFacts().Count() > 0);
    Filer.DefineProperty(
        "FactSets", [&E](platform::TReader& Reader) {
          Received(&E, &TInferenceEngine::TStreamedConstructs::FactSets, Reader.ReadStrings());
        },
        [&E](platform::TWriter& Writer) {
          const TExactNumbers Exact;
          TStrings Texts;
          for (TFactSet* Set : E.GetFactSets())
            if (!Writer.Stores(*Set)) Texts.push_back(Set->ToString());
          if (!Texts.empty()) Writer.WriteStrings(Texts);
        },
        E.GetFactSetCount() > 0);
  }

  static void EngineLoadingFailed(platform::TComponent& Instance) noexcept {
    static_cast<TInferenceEngine&>(Instance).Streamed_.reset();
  }

  // Every class of this library a stream may name, and what each stores besides its
  // published properties.
  TEngineStreaming() {
    platform::RegisterClass<TInferenceEngine>();
    platform::RegisterClass<TRule>();
    platform::RegisterClass<TFactSet>();
    platform::RegisterClass<TUserPackage>();  // the built-in packages register themselves
    platform::RegisterClass<TIEUserFunction>();
    platform::RegisterClass<TCustomUserFunction>();
    platform::RegisterClass<TUserFunction>();

    platform::RegisterDefineProperties(TIEDefinedTypes::StaticClass(), DefineTypes);
    platform::RegisterDefineProperties(TFactTemplates::StaticClass(), DefineTemplates);
    platform::RegisterDefineProperties(TGlobalVariables::StaticClass(), DefineVariables);
    platform::RegisterDefineProperties(TRules::StaticClass(), DefineRules);
    platform::RegisterDefineProperties(TInferenceEngine::StaticClass(), DefineEngine);
    platform::RegisterDefineProperties(TRule::StaticClass(), TRule::DefineProperties);
    platform::RegisterDefineProperties(TFactSet::StaticClass(), TFactSet::DefineProperties);
    platform::RegisterDefineProperties(TUserPackage::StaticClass(), TUserPackage::DefineProperties);
    // The engine makes its packages, network, rules and fact sets itself (its properties and
    // lists say what they are).
    platform::RegisterStoresOwned(TInferenceEngine::StaticClass(), false);
    platform::RegisterLoadingFailed(TInferenceEngine::StaticClass(), EngineLoadingFailed);
    platform::RegisterLoadingFailed(TRule::StaticClass(), TRule::LoadingFailed);
  }
};

namespace {
const TEngineStreaming Registration;
}  // namespace

// --- the engine's entry points ---------------------------------------------------------------

void TInferenceEngine::Loaded() {
  TComponent::Loaded();
  const std::shared_ptr<TStreamedConstructs> Lists = std::move(Streamed_);
  Streamed_.reset();
  if (Lists) TEngineStreaming::Add(*this, *Lists);
}

void TInferenceEngine::SaveComponentToStream(std::ostream& Stream) const {
  platform::WriteComponentStream(Stream, *this);
}

void TInferenceEngine::SaveComponentToFile(const std::string& FileName) const {
  const std::string Text = platform::WriteComponentStream(*this);
  std::ofstream File(FileName, std::ios::binary | std::ios::trunc);
  if (!File) throw platform::EFOpenError(platform::Format("Cannot create file \"%s\"", {FileName}));
  File << Text;
  File.flush();
  if (!File) throw platform::EFOpenError(platform::Format("Cannot write file \"%s\"", {FileName}));
}

void TInferenceEngine::LoadComponentFromStream(std::istream& Stream) {
  Streamed_.reset();
  Clear();
  platform::SetDefaults(*this);
  platform::ReadComponentStream(Stream, *this);
}

void TInferenceEngine::LoadComponentFromFile(const std::string& FileName) {
  std::ifstream File(FileName, std::ios::binary);
  if (!File) throw platform::EFOpenError(platform::Format("Cannot open file \"%s\"", {FileName}));
  LoadComponentFromStream(File);
}

}  // namespace rulecore
