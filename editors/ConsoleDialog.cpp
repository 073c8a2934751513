#include "ConsoleDialog.h"

#include "ConsoleWindow.h"
#include "core/engine/InferenceEngine.h"

namespace ruleeditors {

TConsoleDialog::TConsoleDialog(platform::TComponent* Owner) : TEngineEditorDialog(Owner) {
  SetCaption("Console Editor");
}

TConsoleDialog::~TConsoleDialog() {
  Destroying();
  Close();
}

void TConsoleDialog::DeclareProperties(platform::TPropertyList<TConsoleDialog>& P) {
  P.Add("AllowCheats", &TConsoleDialog::GetAllowCheats, &TConsoleDialog::SetAllowCheats, true);
  P.Add("Dialog", &TConsoleDialog::GetDialog, &TConsoleDialog::SetDialog, true);
  P.Add("EchoInput", &TConsoleDialog::GetEchoInput, &TConsoleDialog::SetEchoInput, true);
  P.Add("InputCursor", &TConsoleDialog::GetInputCursor, &TConsoleDialog::SetInputCursor, std::string());
  P.Add("ValidActions", &TConsoleDialog::GetValidActions, &TConsoleDialog::SetValidActions,
        rulecore::TValidActions::All());
  P.Add("ValidViews", &TConsoleDialog::GetValidViews, &TConsoleDialog::SetValidViews, rulecore::TValidViews::All());
}

void TConsoleDialog::SetEngine(rulecore::TInferenceEngine* Value) {
  if (Value != GetEngine()) Close();
  TEngineEditorDialog::SetEngine(Value);
}

// The window works on the engine: it goes first, while the engine is still whole.
void TConsoleDialog::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  if (Operation == platform::opRemove && Component == GetEngine()) Close();
  TEngineEditorDialog::Notification(Component, Operation);
}

void TConsoleDialog::Close() {
  if (TConsoleWindow* Window = Window_.data()) {
    Window_.clear();
    delete Window;
  }
}

bool TConsoleDialog::Execute() {
  rulecore::TInferenceEngine& Engine = CheckedEngine();
  Close();
  auto* Window = new TConsoleWindow(Engine, Dialog_);
  Window->setWindowTitle(QString::fromUtf8(GetCaption().c_str()));
  Window->SetAllowCheats(AllowCheats_);
  Window->SetEchoInput(EchoInput_);
  Window->SetInputCursor(InputCursor_);
  Window->SetValidActions(ValidActions_);
  Window->SetValidViews(ValidViews_);
  if (!Dialog_) {
    Window_ = Window;
    Window->show();
    return true;
  }
  const bool Ok = Window->exec() == QDialog::Accepted;
  delete Window;
  return Ok;
}

namespace {
struct TConsoleRegistration {
  TConsoleRegistration() { platform::RegisterClass<TConsoleDialog>(); }
} Registration;
}  // namespace

}  // namespace ruleeditors
