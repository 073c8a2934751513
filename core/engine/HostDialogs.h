// IHostDialogs: the modal dialogs the rule language can open ("show-message", "message-dlg",
// "input-query", "input-box"), as one service a host supplies.  The engine itself has no
// windows: a host with a user interface implements this interface with its own message and
// input boxes and installs it on each engine,
//
//   class TMyDialogs final : public rulecore::IHostDialogs { ... };
//   TMyDialogs Dialogs;              // must outlive the engine, or be uninstalled first
//   Engine.SetDialogs(&Dialogs);     // Engine.SetDialogs(nullptr) goes back to the default
//
// The engine does not own an installed service.  Every call comes on the thread that runs the
// engine and blocks it until the user answers, as a modal dialog does.
//
// Without a service the engine answers with its own console dialogs: the message and the
// choices are printed to the console output ("t") and the answer is read with the engine's
// line input (ReadLine "t", so OnReadLine or a running batch file supplies it).  An empty line,
// or no line input at all, is a cancelled dialog.  A message dialog takes a button's name as the
// answer ("yes" or "mbYes", in any case); a plain message only prints, as it asks nothing.
// Depends on the platform layer only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Enum.h"
#include "platform/Set.h"

namespace rulecore {

// The kind of a message dialog: its caption and icon.
PLATFORM_ENUM(TMsgDlgType, mtWarning, mtError, mtInformation, mtConfirmation, mtCustom)
// The buttons a message dialog offers.
PLATFORM_ENUM(TMsgDlgBtn, mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll,
              mbHelp)
using TMsgDlgButtons = platform::TSet<TMsgDlgBtn, 11>;

// How a modal dialog was closed.  "message-dlg" answers the symbol of the result: "mrOk" for
// 1 up to "mrYesToAll" for 10, and "mrHelp" for every other number (mrNone included).
enum TModalResult : int32_t {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
  mrNoToAll = 9,
  mrYesToAll = 10,
  mrHelp = 11,
};

// The result a button closes its dialog with.
TModalResult ModalResultOf(TMsgDlgBtn Button) noexcept;
// "mrOk" ... "mrYesToAll", "mrHelp" for any other number.
const char* ModalResultName(int32_t Result) noexcept;

class IHostDialogs {
 public:
  virtual ~IHostDialogs() = default;

  // A message with an OK button.
  virtual void ShowMessage(const std::string& Text) = 0;
  // A message of the given kind with the given buttons (HelpContext is the host's help topic,
  // 0 for none); answers the result of the button pressed, mrCancel when the dialog was closed
  // without one.
  virtual TModalResult MessageDialog(const std::string& Text, TMsgDlgType Kind, TMsgDlgButtons Buttons,
                                     int32_t HelpContext) = 0;
  // Asks for one line of text, Value being the text offered at first.  True with the text
  // entered in Value; false, Value unchanged, when the user cancelled.
  virtual bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) = 0;
};

}  // namespace rulecore
