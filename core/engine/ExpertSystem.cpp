// The whole expert system as rule-language text: the header, the settings and every construct
// in an order that reads back (types and templates after their ancestors), then the facts.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>

#include "InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/language/IEClipsParser.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IERule.h"
#include "core/values/IEException.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

constexpr std::string_view NL = "\r\n";
constexpr std::string_view Stars = "; *************************";

std::string DateTimeText() {
  const std::time_t Now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm Local{};
  localtime_r(&Now, &Local);
  char Text[32];
  std::strftime(Text, sizeof Text, "%Y-%m-%d %H:%M:%S", &Local);
  return Text;
}

}  // namespace

std::string TInferenceEngine::GetExpertSystem() const {
  const auto Count = [](int N) { return std::to_string(N); };
  std::string Text;
  auto Line = [&](const std::string& L) { Text += L + std::string(NL); };
  Line(std::string(Stars));
  Line("; Inference Engine v" + platform::Format("%.4f", {static_cast<double>(Version)}) + " Output");
  Line("; Created: " + DateTimeText());
  Line("; Number of Global Variables: " + Count(GlobalVariables_->Count()));
  Line("; Number of Defined Types:    " + Count(DefinedTypes_->Count()));
  Line("; Number of Fact Templates:   " + Count(FactTemplates_->Count()));
  Line("; Number of Rules:            " + Count(Rules_->Count()));
  Line("; Number of Fact Sets:        " + Count(FactSets_->Count()));
  Line("; Number of Facts:            " + Count(Facts_->Count()));
  // The function turns duplication on exactly when its argument is FALSE.
  Line(FactDuplication_ ? "(set-fact-duplication FALSE)" : "(set-fact-duplication TRUE)");
  auto Section = [&](const char* Title, const std::string& Body, bool Single) {
    if (Body.empty()) return;
    Text += std::string(NL) + std::string(Stars) + std::string(NL) + Title + std::string(NL);
    if (!Single) Text += NL;
    Text += Body;
  };
  Section("; Global Variables ", GlobalVariables_->Count() ? PrettyPrintGlobalVariables(*GlobalVariables_) : "", false);
  Section("; Defined Types ", DefinedTypes_->ToString(), false);
  Section("; Fact Templates ", FactTemplates_->ToString(), false);
  Section("; Deffunctions ", UserFunctions_->ToString(), true);
  Section("; Rules ", Rules_->ToString(), false);
  Section("; Fact Sets ", FactSets_->ToString(), false);
  if (Facts_->Count() > 0) {
    std::string Facts = "(assert" + std::string(NL);
    for (const IFact& F : *Facts_) Facts += "    " + F->ToString() + std::string(NL);
    Section("; Facts ", Facts + ")" + std::string(NL), false);
  }
  return Text;
}

void TInferenceEngine::SetExpertSystem(const std::string& Text) {
  Clear();
  Parse(Text, true);
  Reset();
}

void TInferenceEngine::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TInferenceEngine*>(&Source);
  if (!From) return TComponent::Assign(Source);
  AssignParts(*From, true, true);
}

void TInferenceEngine::AssignParts(const TInferenceEngine& Source, bool WithFacts, bool WithRules) {
  const TInferenceEngine* From = &Source;
  if (From == this) return;
  Clear();
  SetParserType(From->ParserType_);
  SetTokenizerType(From->TokenizerType_);
  Parser_->Assign(*From->Parser_);
  // Values are copied as they are: no checks while the copy is made, the source's at the end.
  const TTypeChecks Checks = From->TypeChecks_;
  SetTypeChecks({});
  struct TRestore {
    TInferenceEngine& Engine;
    TTypeChecks Checks;
    ~TRestore() { Engine.SetTypeChecks(Checks); }
  } Restore{*this, Checks};
  SalienceEvaluation_ = From->SalienceEvaluation_;
  Strategy_ = From->Strategy_;  // the agenda is empty after Clear: nothing to rebuild
  SetFactDuplication(From->FactDuplication_);
  DuplicateConstructs_ = From->DuplicateConstructs_;
  SetParserMaxErrors(From->ParserMaxErrors_);
  SetParserErrorHandling(From->ParserErrorHandling_);
  Watch_ = From->Watch_;
  ResetGlobals_ = From->ResetGlobals_;
  // The initial-fact pattern and the placeholder fact stay this engine's own: the source's are
  // built on the source's templates.
  const int TemplatesBefore = FactTemplates_->Count();
  bool FunctionsRead = UserFunctions_->Assign(*From->UserFunctions_, true);
  FuzzyAutoTerms_ = From->FuzzyAutoTerms_;
  SetFuzzyEqualsThreshold(From->FuzzyEqualsThreshold_);
  FuzzyCorrelationMethod_ = From->FuzzyCorrelationMethod_;
  FuzzyInferenceMethod_ = From->FuzzyInferenceMethod_;
  SetMinActivationStrength(From->GetMinActivationStrength());
  DefinedTypes_->Assign(*From->DefinedTypes_);
  FactTemplates_->Assign(*From->FactTemplates_);
  // Deffunctions that name templates read only once the templates exist.
  if (!FunctionsRead || FactTemplates_->Count() != TemplatesBefore)
    FunctionsRead = UserFunctions_->Assign(*From->UserFunctions_, true);
  GlobalVariables_->Assign(*From->GlobalVariables_);
  if (WithFacts) {
    FactSets_->Assign(*From->FactSets_);
    Facts_->Assign(*From->Facts_);
  }
  if (WithRules) Rules_->Assign(*From->Rules_);
}

}  // namespace rulecore
