// TConsoleDialog: the component that opens the interactive console window over an engine.
// With Dialog (the default) Execute shows the console modally on a private copy of the engine
// and copies the copy back when the user chooses OK; without it the console opens beside the
// host's program on the engine itself, and Execute returns at once.
#pragma once

#include <string>

#include <QPointer>

#include "EditorDialogs.h"
#include "core/values/IEConsts.h"

namespace ruleeditors {

class TConsoleWindow;

class TConsoleDialog : public TEngineEditorDialog {
  PLATFORM_CLASS(TConsoleDialog, TEngineEditorDialog)
 public:
  explicit TConsoleDialog(platform::TComponent* Owner = nullptr);
  ~TConsoleDialog() override;

  bool GetAllowCheats() const noexcept { return AllowCheats_; }
  void SetAllowCheats(bool Value) noexcept { AllowCheats_ = Value; }
  bool GetDialog() const noexcept { return Dialog_; }
  void SetDialog(bool Value) noexcept { Dialog_ = Value; }
  bool GetEchoInput() const noexcept { return EchoInput_; }
  void SetEchoInput(bool Value) noexcept { EchoInput_ = Value; }
  const std::string& GetInputCursor() const noexcept { return InputCursor_; }
  void SetInputCursor(const std::string& Value) { InputCursor_ = Value; }
  rulecore::TValidActions GetValidActions() const noexcept { return ValidActions_; }
  void SetValidActions(rulecore::TValidActions Value) noexcept { ValidActions_ = Value; }
  rulecore::TValidViews GetValidViews() const noexcept { return ValidViews_; }
  void SetValidViews(rulecore::TValidViews Value) noexcept { ValidViews_ = Value; }
  // A new engine also closes an open console window.
  void SetEngine(rulecore::TInferenceEngine* Value) override;

  // Frees any earlier console window and opens a new one (see above).
  bool Execute() override;
  // Closes (frees) a modeless console window.
  void Close();
  // The open modeless window, if any.
  TConsoleWindow* GetWindow() const noexcept { return Window_.data(); }

  static void DeclareProperties(platform::TPropertyList<TConsoleDialog>& P);

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  bool AllowCheats_ = true;
  bool Dialog_ = true;
  bool EchoInput_ = true;
  std::string InputCursor_;
  rulecore::TValidActions ValidActions_ = rulecore::TValidActions::All();
  rulecore::TValidViews ValidViews_ = rulecore::TValidViews::All();
  QPointer<TConsoleWindow> Window_;
};

}  // namespace ruleeditors
