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

// Items without a parent in table order, then the others once their parent is listed.
template <class TItem, class TParentName>
std::vector<TItem> ParentsFirst(std::vector<TItem> Items, TParentName ParentName, const std::vector<std::string>& Names,
                                TIEMessage Corrupt) {
  std::vector<TItem> Ordered;
  std::vector<std::string> Listed;
  std::vector<bool> Done(Items.size(), false);
  for (size_t Placed = 0, Pass = 0; Placed < Items.size(); ++Pass) {
    bool Progress = false;
    for (size_t I = 0; I < Items.size(); ++I) {
      if (Done[I]) continue;
      const std::string Parent = ParentName(Items[I]);
      if (!Parent.empty() && std::find(Listed.begin(), Listed.end(), Parent) == Listed.end() &&
          std::find(Names.begin(), Names.end(), Parent) != Names.end())
        continue;
      Ordered.push_back(Items[I]);
      Listed.push_back(Names[I]);
      Done[I] = true;
      ++Placed;
      Progress = true;
    }
    if (!Progress) RaiseIE(Corrupt);
    (void)Pass;
  }
  return Ordered;
}

std::string DateTimeText() {
  const std::time_t Now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm Local{};
  localtime_r(&Now, &Local);
  char Text[32];
  std::strftime(Text, sizeof Text, "%Y-%m-%d %H:%M:%S", &Local);
  return Text;
}

}  // namespace

std::string TInferenceEngine::FactTemplatesText() const {
  std::vector<IFactTemplate> Items;
  std::vector<std::string> Names;
  for (int I = 0; I < FactTemplates_.Count(); ++I) {
    Items.push_back(FactTemplates_.ValueAt(I));
    Names.push_back(FactTemplates_.KeyAt(I));
  }
  std::string Text;
  for (const IFactTemplate& T : ParentsFirst(
           Items, [](const IFactTemplate& T) { return T->GetParent() ? T->GetParent()->GetTemplateName() : std::string(); },
           Names, SFactTemplateInheritanceCorrupt))
    Text += T->GetToString() + std::string(NL);
  return Text;
}

std::string TInferenceEngine::DefinedTypesText() const {
  std::vector<IIEDefinedType> Items;
  std::vector<std::string> Names;
  for (int I = 0; I < DefinedTypes_.Count(); ++I) {
    Items.push_back(DefinedTypes_.ValueAt(I));
    Names.push_back(DefinedTypes_.KeyAt(I));
  }
  std::string Text;
  for (const IIEDefinedType& T : ParentsFirst(
           Items, [](const IIEDefinedType& T) { return T->GetAncestor() ? T->GetAncestor()->GetName() : std::string(); },
           Names, STypeInheritanceCorrupt))
    Text += T->GetToString() + std::string(NL);
  return Text;
}

std::string TInferenceEngine::RulesText() const {
  std::vector<std::string> Texts;
  for (int I = 0; I < Rules_.Count(); ++I) Texts.push_back(Rules_.ValueAt(I)->GetToString() + std::string(NL));
  std::sort(Texts.begin(), Texts.end(),
            [](const std::string& A, const std::string& B) { return platform::CompareText(A, B) < 0; });
  std::string Text;
  for (const std::string& T : Texts) Text += T;
  return Text;
}

std::string TInferenceEngine::DeffunctionsText() const {
  std::string Text;
  for (int I = 0; I < UserFunctions_.Count(); ++I)
    if (auto* F = dynamic_cast<const TInterpretedFunction*>(UserFunctions_.ValueAt(I).get()))
      Text += std::string(NL) + rulecore::PrettyPrint(*F);
  return Text;
}

std::string TInferenceEngine::GetExpertSystem() const {
  const auto Count = [](int N) { return std::to_string(N); };
  std::string Text;
  auto Line = [&](const std::string& L) { Text += L + std::string(NL); };
  Line(std::string(Stars));
  Line("; Inference Engine v" + platform::Format("%.4f", {static_cast<double>(Version)}) + " Output");
  Line("; Created: " + DateTimeText());
  Line("; Number of Global Variables: " + Count(GlobalVariables_.Count()));
  Line("; Number of Defined Types:    " + Count(DefinedTypes_.Count()));
  Line("; Number of Fact Templates:   " + Count(FactTemplates_.Count()));
  Line("; Number of Rules:            " + Count(Rules_.Count()));
  Line("; Number of Fact Sets:        " + Count(static_cast<int>(FactSets_.size())));
  Line("; Number of Facts:            " + Count(Facts_.Count()));
  // The function turns duplication on exactly when its argument is FALSE.
  Line(FactDuplication_ ? "(set-fact-duplication FALSE)" : "(set-fact-duplication TRUE)");
  auto Section = [&](const char* Title, const std::string& Body, bool Single) {
    if (Body.empty()) return;
    Text += std::string(NL) + std::string(Stars) + std::string(NL) + Title + std::string(NL);
    if (!Single) Text += NL;
    Text += Body;
  };
  Section("; Global Variables ", GlobalVariables_.Count() ? PrettyPrintGlobalVariables(GlobalVariables_) : "", false);
  Section("; Defined Types ", DefinedTypesText(), false);
  Section("; Fact Templates ", FactTemplatesText(), false);
  Section("; Deffunctions ", DeffunctionsText(), true);
  Section("; Rules ", RulesText(), false);
  std::string Sets;
  for (const TFactSet* Set : FactSets_) Sets += Set->ToString();
  Section("; Fact Sets ", Sets, false);
  if (Facts_.Count() > 0) {
    std::string Facts = "(assert" + std::string(NL);
    for (const IFact& F : Facts_) Facts += "    " + F->ToString() + std::string(NL);
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
  if (From == this) return;
  Clear();
  // Values are copied as they are: no checks while the copy is made, the source's at the end.
  const TTypeChecks Checks = From->TypeChecks_;
  SetTypeChecks({});
  struct TRestore {
    TInferenceEngine& Engine;
    TTypeChecks Checks;
    ~TRestore() { Engine.SetTypeChecks(Checks); }
  } Restore{*this, Checks};
  Parser_->Assign(*From->Parser_);
  SalienceEvaluation_ = From->SalienceEvaluation_;
  Strategy_ = From->Strategy_;
  SetFactDuplication(From->FactDuplication_);
  DuplicateConstructs_ = From->DuplicateConstructs_;
  ResetGlobals_ = From->ResetGlobals_;
  // Functions the host entered in the source (not deffunctions, which come as text) are shared.
  for (int I = 0; I < From->UserFunctions_.Count(); ++I) {
    const IUserFunction& F = From->UserFunctions_.ValueAt(I);
    if (!dynamic_cast<const TInterpretedFunction*>(F.get()) && !ContainsUserFunction(F->GetFunctionName()))
      F->AddReasoner(this);
  }
  Parse(From->GetExpertSystem(), true);
  Watch_ = From->Watch_;
}

}  // namespace rulecore
