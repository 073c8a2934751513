// The dialog components a host places beside an engine: calling Execute opens the matching
// editor window modally and, when the user confirms, copies the edited constructs back into the
// host's objects.  Each component references what it edits (an engine, a rule, a fact set, a
// package) with free-notification, so a reference never outlives its target.
//
//   rulecore::TInferenceEngine Engine;
//   ruleeditors::TRulesDialog Rules;
//   Rules.SetEngine(&Engine);
//   if (Rules.Execute()) ...          // the engine now holds the edited rules
//
// Execute needs a running QApplication and is called on its thread.
#pragma once

#include <string>

#include "platform/Component.h"
#include "platform/Properties.h"

namespace rulecore {
class TInferenceEngine;
class TRule;
class TFactSet;
class TUserPackage;
}  // namespace rulecore

namespace ruleeditors {

class TFactsEditor;
class TConstructEditor;

// What every dialog component shares: a caption for its window and the free-notification links
// to the objects it references.
class TEditorDialog : public platform::TComponent {
  PLATFORM_CLASS(TEditorDialog, platform::TComponent)
 public:
  explicit TEditorDialog(platform::TComponent* Owner = nullptr) : TComponent(Owner) {}
  ~TEditorDialog() override;

  const std::string& GetCaption() const noexcept { return Caption_; }
  void SetCaption(const std::string& Value) { Caption_ = Value; }
  // Opens the editor window modally; true exactly when the user confirmed (and the edits were
  // committed).
  virtual bool Execute() = 0;

  static void DeclareProperties(platform::TPropertyList<TEditorDialog>& P);

 protected:
  // Points Slot at Value, moving the free-notification link from the old target to the new.
  template <class T>
  void Reference(T*& Slot, T* Value) {
    if (Slot == Value) return;
    if (Slot) RemoveFreeNotification(AsComponent(Slot));
    Slot = Value;
    if (Slot) FreeNotification(AsComponent(Slot));
  }
  // The caption to show: the component's, or the window's own title when it has none.
  std::string CaptionOr(const char* Default) const { return Caption_.empty() ? Default : Caption_; }

 private:
  static platform::TComponent* AsComponent(platform::TComponent* Value) noexcept { return Value; }
  std::string Caption_;
};

// A dialog over an engine's constructs.
class TEngineEditorDialog : public TEditorDialog {
  PLATFORM_CLASS(TEngineEditorDialog, TEditorDialog)
 public:
  explicit TEngineEditorDialog(platform::TComponent* Owner = nullptr) : TEditorDialog(Owner) {}
  rulecore::TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  virtual void SetEngine(rulecore::TInferenceEngine* Value);

  static void DeclareProperties(platform::TPropertyList<TEngineEditorDialog>& P);

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;
  // The engine, or "Unknown/Undefined Inference Engine".
  rulecore::TInferenceEngine& CheckedEngine() const;

 private:
  rulecore::TInferenceEngine* Engine_ = nullptr;
};

// Working memory: OK clears the engine's facts, then replaces the defined types and templates
// (each when its editor is enabled) and the facts by the edited ones.
class TFactsDialog : public TEngineEditorDialog {
  PLATFORM_CLASS(TFactsDialog, TEngineEditorDialog)
 public:
  explicit TFactsDialog(platform::TComponent* Owner = nullptr) : TEngineEditorDialog(Owner) {}
  bool GetEnableFactTemplateEditor() const noexcept { return EnableFactTemplateEditor_; }
  void SetEnableFactTemplateEditor(bool Value) noexcept { EnableFactTemplateEditor_ = Value; }
  bool GetEnableTypeEditor() const noexcept { return EnableTypeEditor_; }
  void SetEnableTypeEditor(bool Value) noexcept { EnableTypeEditor_ = Value; }
  bool Execute() override;
  // Copies an accepted editor's result into the engine (what OK does).
  void Commit(const TFactsEditor& Editor);

  static void DeclareProperties(platform::TPropertyList<TFactsDialog>& P);

 private:
  bool EnableFactTemplateEditor_ = true;
  bool EnableTypeEditor_ = true;
};

// One fact set, edited with its engine's templates and types.
class TFactSetDialog : public TEditorDialog {
  PLATFORM_CLASS(TFactSetDialog, TEditorDialog)
 public:
  explicit TFactSetDialog(platform::TComponent* Owner = nullptr) : TEditorDialog(Owner) {}
  rulecore::TFactSet* GetFactSet() const noexcept { return FactSet_; }
  void SetFactSet(rulecore::TFactSet* Value);
  bool GetEnableFactTemplateEditor() const noexcept { return EnableFactTemplateEditor_; }
  void SetEnableFactTemplateEditor(bool Value) noexcept { EnableFactTemplateEditor_ = Value; }
  bool GetEnableTypeEditor() const noexcept { return EnableTypeEditor_; }
  void SetEnableTypeEditor(bool Value) noexcept { EnableTypeEditor_ = Value; }
  bool Execute() override;
  // Types and templates (when enabled) go to the fact set's engine; the set's facts are then
  // replaced, each edited fact printed and read back by that engine.
  void Commit(const TFactsEditor& Editor);

  static void DeclareProperties(platform::TPropertyList<TFactSetDialog>& P);

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  rulecore::TFactSet* FactSet_ = nullptr;
  bool EnableFactTemplateEditor_ = true;
  bool EnableTypeEditor_ = true;
};

class TFactTemplatesDialog : public TEngineEditorDialog {
  PLATFORM_CLASS(TFactTemplatesDialog, TEngineEditorDialog)
 public:
  explicit TFactTemplatesDialog(platform::TComponent* Owner = nullptr) : TEngineEditorDialog(Owner) {}
  bool GetEnableTypeEditor() const noexcept { return EnableTypeEditor_; }
  void SetEnableTypeEditor(bool Value) noexcept { EnableTypeEditor_ = Value; }
  bool Execute() override;
  // Defined types (when enabled), then templates.
  void Commit(const TConstructEditor& Editor);

  static void DeclareProperties(platform::TPropertyList<TFactTemplatesDialog>& P);

 private:
  bool EnableTypeEditor_ = true;
};

// All rules (MultiEdit) or the one rule Rule names.
class TRulesDialog : public TEngineEditorDialog {
  PLATFORM_CLASS(TRulesDialog, TEngineEditorDialog)
 public:
  explicit TRulesDialog(platform::TComponent* Owner = nullptr) : TEngineEditorDialog(Owner) {}
  rulecore::TRule* GetRule() const noexcept { return Rule_; }
  void SetRule(rulecore::TRule* Value);
  bool GetMultiEdit() const noexcept { return MultiEdit_; }
  void SetMultiEdit(bool Value) noexcept { MultiEdit_ = Value; }
  bool GetEnableFactTemplateEditor() const noexcept { return EnableFactTemplateEditor_; }
  void SetEnableFactTemplateEditor(bool Value) noexcept { EnableFactTemplateEditor_ = Value; }
  bool GetEnableTypeEditor() const noexcept { return EnableTypeEditor_; }
  void SetEnableTypeEditor(bool Value) noexcept { EnableTypeEditor_ = Value; }
  bool Execute() override;
  // With MultiEdit the engine's rules are cleared first; then types and templates (when
  // enabled); then all rules replaced, or Rule assigned from the edited one.
  void Commit(const TConstructEditor& Editor);

  static void DeclareProperties(platform::TPropertyList<TRulesDialog>& P);

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  rulecore::TRule* Rule_ = nullptr;
  bool MultiEdit_ = true;
  bool EnableFactTemplateEditor_ = true;
  bool EnableTypeEditor_ = true;
};

class TDefinedTypesDialog : public TEngineEditorDialog {
  PLATFORM_CLASS(TDefinedTypesDialog, TEngineEditorDialog)
 public:
  explicit TDefinedTypesDialog(platform::TComponent* Owner = nullptr) : TEngineEditorDialog(Owner) {}
  bool Execute() override;
  void Commit(const TConstructEditor& Editor);
};

class TFunctionsEditor;

// The function list of a package: OK replaces it by the edited list.
class TFunctionsDialog : public TEditorDialog {
  PLATFORM_CLASS(TFunctionsDialog, TEditorDialog)
 public:
  explicit TFunctionsDialog(platform::TComponent* Owner = nullptr) : TEditorDialog(Owner) {}
  rulecore::TUserPackage* GetPackage() const noexcept { return Package_; }
  void SetPackage(rulecore::TUserPackage* Value);
  bool Execute() override;
  void Commit(const TFunctionsEditor& Editor);

  static void DeclareProperties(platform::TPropertyList<TFunctionsDialog>& P);

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  rulecore::TUserPackage* Package_ = nullptr;
};

}  // namespace ruleeditors
