#include "EditorDialogs.h"

#include "ConstructEditor.h"
#include "EditorEngine.h"
#include "FactsEditor.h"
#include "FunctionsEditor.h"
#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/functions/IEPackages.h"
#include "core/network/IERule.h"
#include "core/values/IEException.h"

namespace ruleeditors {

using rulecore::TInferenceEngine;

// ---------------------------------------------------------------------------------------------
// Shared
// ---------------------------------------------------------------------------------------------

TEditorDialog::~TEditorDialog() { Destroying(); }

void TEditorDialog::DeclareProperties(platform::TPropertyList<TEditorDialog>& P) {
  P.Add("Caption", &TEditorDialog::GetCaption, &TEditorDialog::SetCaption);
}

void TEngineEditorDialog::SetEngine(TInferenceEngine* Value) { Reference(Engine_, Value); }

void TEngineEditorDialog::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TEditorDialog::Notification(Component, Operation);
  if (Operation == platform::opRemove && Component == Engine_) Engine_ = nullptr;
}

TInferenceEngine& TEngineEditorDialog::CheckedEngine() const {
  if (!Engine_) rulecore::RaiseIE(rulecore::SUnknownEngine);
  return *Engine_;
}

void TEngineEditorDialog::DeclareProperties(platform::TPropertyList<TEngineEditorDialog>& P) {
  P.Add("Engine", &TEngineEditorDialog::GetEngine, &TEngineEditorDialog::SetEngine);
}

namespace {

template <class TWindow>
bool Confirmed(TWindow& Window, const std::string& Caption) {
  if (!Caption.empty()) Window.setWindowTitle(ToQt(Caption));
  return Window.exec() == QDialog::Accepted;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Facts and fact sets
// ---------------------------------------------------------------------------------------------

void TFactsDialog::DeclareProperties(platform::TPropertyList<TFactsDialog>& P) {
  P.Add("EnableFactTemplateEditor", &TFactsDialog::GetEnableFactTemplateEditor,
        &TFactsDialog::SetEnableFactTemplateEditor, true);
  P.Add("EnableTypeEditor", &TFactsDialog::GetEnableTypeEditor, &TFactsDialog::SetEnableTypeEditor, true);
}

bool TFactsDialog::Execute() {
  TInferenceEngine& Engine = CheckedEngine();
  TFactsEditor Window(Engine, {EnableTypeEditor_, EnableFactTemplateEditor_});
  if (!Confirmed(Window, GetCaption())) return false;
  Commit(Window);
  return true;
}

void TFactsDialog::Commit(const TFactsEditor& Editor) {
  TInferenceEngine& Engine = CheckedEngine();
  TInferenceEngine& Edited = Editor.Engine();
  Engine.GetFacts().Clear();
  if (EnableTypeEditor_) Engine.SetDefinedTypes(Edited.GetDefinedTypes());
  if (EnableFactTemplateEditor_) Engine.SetFactTemplates(Edited.GetFactTemplates());
  Engine.SetFacts(Edited.GetFacts());
}

void TFactSetDialog::DeclareProperties(platform::TPropertyList<TFactSetDialog>& P) {
  P.Add("FactSet", &TFactSetDialog::GetFactSet, &TFactSetDialog::SetFactSet);
  P.Add("EnableFactTemplateEditor", &TFactSetDialog::GetEnableFactTemplateEditor,
        &TFactSetDialog::SetEnableFactTemplateEditor, true);
  P.Add("EnableTypeEditor", &TFactSetDialog::GetEnableTypeEditor, &TFactSetDialog::SetEnableTypeEditor, true);
}

void TFactSetDialog::SetFactSet(rulecore::TFactSet* Value) { Reference(FactSet_, Value); }

void TFactSetDialog::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TEditorDialog::Notification(Component, Operation);
  if (Operation == platform::opRemove && Component == FactSet_) FactSet_ = nullptr;
}

bool TFactSetDialog::Execute() {
  if (!FactSet_) rulecore::RaiseIE(rulecore::SMissingFactSet);
  TInferenceEngine* Engine = FactSet_->GetEngine();
  if (!Engine) rulecore::RaiseIE(rulecore::SUnknownEngine);
  TFactsEditor Window(*Engine, {EnableTypeEditor_, EnableFactTemplateEditor_}, FactSet_);
  if (!Confirmed(Window, GetCaption())) return false;
  Commit(Window);
  return true;
}

void TFactSetDialog::Commit(const TFactsEditor& Editor) {
  if (!FactSet_) rulecore::RaiseIE(rulecore::SMissingFactSet);
  TInferenceEngine* Engine = FactSet_->GetEngine();
  if (!Engine) rulecore::RaiseIE(rulecore::SUnknownEngine);
  TInferenceEngine& Edited = Editor.Engine();
  if (EnableTypeEditor_) Engine->SetDefinedTypes(Edited.GetDefinedTypes());
  if (EnableFactTemplateEditor_) Engine->SetFactTemplates(Edited.GetFactTemplates());
  // Every fact is read first, so that a fact that no longer reads leaves the set as it was.
  std::vector<rulecore::IFact> Facts;
  for (int I = 0; I < Editor.Count(); ++I) Facts.push_back(Engine->ParseFact(Editor.FactText(I)));
  FactSet_->Clear();
  for (const rulecore::IFact& Fact : Facts) FactSet_->AddFact(Fact);
}

// ---------------------------------------------------------------------------------------------
// Templates, rules, types
// ---------------------------------------------------------------------------------------------

void TFactTemplatesDialog::DeclareProperties(platform::TPropertyList<TFactTemplatesDialog>& P) {
  P.Add("EnableTypeEditor", &TFactTemplatesDialog::GetEnableTypeEditor, &TFactTemplatesDialog::SetEnableTypeEditor,
        true);
}

bool TFactTemplatesDialog::Execute() {
  TInferenceEngine& Engine = CheckedEngine();
  TConstructEditorOptions Options;
  Options.EnableTypeEditor = EnableTypeEditor_;
  TConstructEditor Window(TConstructKind::FactTemplates, Engine, Options);
  if (!Confirmed(Window, GetCaption())) return false;
  Commit(Window);
  return true;
}

void TFactTemplatesDialog::Commit(const TConstructEditor& Editor) {
  TInferenceEngine& Engine = CheckedEngine();
  if (EnableTypeEditor_) Engine.SetDefinedTypes(Editor.Engine().GetDefinedTypes());
  Engine.SetFactTemplates(Editor.Engine().GetFactTemplates());
}

void TRulesDialog::DeclareProperties(platform::TPropertyList<TRulesDialog>& P) {
  P.Add("Rule", &TRulesDialog::GetRule, &TRulesDialog::SetRule);
  P.Add("MultiEdit", &TRulesDialog::GetMultiEdit, &TRulesDialog::SetMultiEdit, true);
  P.Add("EnableFactTemplateEditor", &TRulesDialog::GetEnableFactTemplateEditor,
        &TRulesDialog::SetEnableFactTemplateEditor, true);
  P.Add("EnableTypeEditor", &TRulesDialog::GetEnableTypeEditor, &TRulesDialog::SetEnableTypeEditor, true);
}

void TRulesDialog::SetRule(rulecore::TRule* Value) { Reference(Rule_, Value); }

void TRulesDialog::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TEngineEditorDialog::Notification(Component, Operation);
  if (Operation == platform::opRemove && Component == Rule_) Rule_ = nullptr;
}

bool TRulesDialog::Execute() {
  TInferenceEngine& Engine = CheckedEngine();
  if (!MultiEdit_ && !Rule_) rulecore::RaiseIE(rulecore::SMissingRule);
  TConstructEditorOptions Options;
  Options.EnableTypeEditor = EnableTypeEditor_;
  Options.EnableFactTemplateEditor = EnableFactTemplateEditor_;
  if (!MultiEdit_) Options.SingleRule = Rule_->GetRuleName();
  TConstructEditor Window(TConstructKind::Rules, Engine, Options);
  if (!Confirmed(Window, GetCaption())) return false;
  Commit(Window);
  return true;
}

void TRulesDialog::Commit(const TConstructEditor& Editor) {
  TInferenceEngine& Engine = CheckedEngine();
  TInferenceEngine& Edited = Editor.Engine();
  if (MultiEdit_) Engine.GetRules().Clear();
  if (EnableTypeEditor_) Engine.SetDefinedTypes(Edited.GetDefinedTypes());
  if (EnableFactTemplateEditor_) Engine.SetFactTemplates(Edited.GetFactTemplates());
  if (MultiEdit_) {
    Engine.SetRules(Edited.GetRules());
  } else if (Rule_) {
    if (rulecore::TRule* Rule = Editor.EditedRule()) Rule_->Assign(*Rule);
  }
}

bool TDefinedTypesDialog::Execute() {
  TInferenceEngine& Engine = CheckedEngine();
  TConstructEditor Window(TConstructKind::DefinedTypes, Engine, {});
  if (!Confirmed(Window, GetCaption())) return false;
  Commit(Window);
  return true;
}

void TDefinedTypesDialog::Commit(const TConstructEditor& Editor) {
  CheckedEngine().SetDefinedTypes(Editor.Engine().GetDefinedTypes());
}

// ---------------------------------------------------------------------------------------------
// Functions
// ---------------------------------------------------------------------------------------------

void TFunctionsDialog::DeclareProperties(platform::TPropertyList<TFunctionsDialog>& P) {
  P.Add("Package", &TFunctionsDialog::GetPackage, &TFunctionsDialog::SetPackage);
}

void TFunctionsDialog::SetPackage(rulecore::TUserPackage* Value) { Reference(Package_, Value); }

void TFunctionsDialog::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TEditorDialog::Notification(Component, Operation);
  if (Operation == platform::opRemove && Component == Package_) Package_ = nullptr;
}

bool TFunctionsDialog::Execute() {
  if (!Package_) rulecore::RaiseIE(rulecore::SUnknownEngine);
  TFunctionsEditor Window(*Package_);
  if (!Confirmed(Window, GetCaption())) return false;
  Commit(Window);
  return true;
}

void TFunctionsDialog::Commit(const TFunctionsEditor& Editor) {
  if (!Package_) rulecore::RaiseIE(rulecore::SUnknownEngine);
  rulecore::TUserFunctionList& Functions = Package_->GetFunctions();
  // The kept functions hold their own references while the list is emptied.
  const std::vector<TFunctionsEditor::TEntry> Kept = Editor.Entries();
  Functions.Clear();
  for (const auto& Entry : Kept) {
    Entry.Function->SetComment(Entry.Help);
    Functions.Add(Entry.Function);
  }
}

namespace {
struct TEditorRegistration {
  TEditorRegistration() {
    platform::RegisterClass<TFactsDialog>();
    platform::RegisterClass<TFactSetDialog>();
    platform::RegisterClass<TFactTemplatesDialog>();
    platform::RegisterClass<TRulesDialog>();
    platform::RegisterClass<TDefinedTypesDialog>();
    platform::RegisterClass<TFunctionsDialog>();
  }
} Registration;
}  // namespace

}  // namespace ruleeditors
