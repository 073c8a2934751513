// The dialogs of the rule language's dialog functions ("show-message", "message-dlg",
// "input-query") as Qt windows: the console installs one on the engine it works on.
#pragma once

#include "core/engine/HostDialogs.h"

class QWidget;

namespace ruleeditors {

class TQtHostDialogs final : public rulecore::IHostDialogs {
 public:
  explicit TQtHostDialogs(QWidget* Parent = nullptr) : Parent_(Parent) {}

  void ShowMessage(const std::string& Text) override;
  rulecore::TModalResult MessageDialog(const std::string& Text, rulecore::TMsgDlgType Kind,
                                       rulecore::TMsgDlgButtons Buttons, int32_t HelpContext) override;
  bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) override;

 private:
  QWidget* Parent_;
};

}  // namespace ruleeditors
