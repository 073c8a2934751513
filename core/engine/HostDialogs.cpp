// The modal results of the dialog functions, the engine's own console dialogs (used while no
// host service is installed) and TInferenceEngine::GetDialogs.
#include "HostDialogs.h"

#include <memory>
#include <string>
#include <string_view>

#include "InferenceEngine.h"
#include "core/values/IEException.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

constexpr std::string_view CRLF = "\r\n";
// Answers a console message dialog accepts that name none of its buttons, before it gives up
// as cancelled: an input that keeps answering nonsense must not keep the engine asking.
constexpr int MaxAnswers = 3;

// The button's name without its "mb" prefix ("Yes", "NoToAll").
std::string ButtonWord(TMsgDlgBtn Button) { return platform::EnumName(Button).substr(2); }

std::string CaptionOf(TMsgDlgType Kind) {
  switch (Kind) {
    case mtWarning: return "Warning";
    case mtError: return "Error";
    case mtInformation: return "Information";
    case mtConfirmation: return "Confirm";
    case mtCustom: return std::string();
  }
  return std::string();
}

// The dialogs of an engine without a host service: text through the engine's console output,
// answers through its line input.
class TConsoleDialogs final : public IHostDialogs {
 public:
  explicit TConsoleDialogs(TInferenceEngine& Engine) : Engine_(Engine) {}

  // Only an OK button: there is nothing to answer, so no input is taken (a script's next line
  // stays where it is).
  void ShowMessage(const std::string& Text) override { Print(Text + std::string(CRLF)); }

  TModalResult MessageDialog(const std::string& Text, TMsgDlgType Kind, TMsgDlgButtons Buttons,
                             int32_t HelpContext) override {
    (void)HelpContext;  // a console has no help topics to open
    const std::string Caption = CaptionOf(Kind);
    Print((Caption.empty() ? std::string() : Caption + ": ") + Text + std::string(CRLF));
    if (Buttons.Empty()) return mrCancel;
    std::string Choices;
    Buttons.ForEach([&](TMsgDlgBtn Button) { Choices += (Choices.empty() ? "" : ", ") + ButtonWord(Button); });
    for (int Attempt = 0; Attempt < MaxAnswers; ++Attempt) {
      if (Attempt > 0) Print("Please answer one of: " + Choices + std::string(CRLF));
      Print("[" + Choices + "]? ");
      std::string Answer;
      if (!Read(Answer)) return mrCancel;
      const std::string Word = platform::Trim(Answer);
      if (Word.empty()) return mrCancel;
      TModalResult Result = mrNone;
      Buttons.ForEach([&](TMsgDlgBtn Button) {
        if (Result == mrNone &&
            (platform::SameText(Word, ButtonWord(Button)) || platform::SameText(Word, platform::EnumName(Button))))
          Result = ModalResultOf(Button);
      });
      if (Result != mrNone) return Result;
    }
    return mrCancel;
  }

  bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) override {
    if (!Caption.empty()) Print(Caption + std::string(CRLF));
    std::string Question = Prompt;
    if (!Value.empty()) Question += (Question.empty() ? "[" : " [") + Value + "]";
    Print((Question.empty() ? std::string("?") : Question) + " ");
    std::string Answer;
    if (!Read(Answer) || Answer.empty()) return false;
    Value = Answer;
    return true;
  }

 private:
  void Print(const std::string& Text) { Engine_.PrintOut("t", Text); }

  // One line of the engine's console input; false when there is no line input at all (no
  // handler, no batch file), which the dialogs take as cancelled.
  bool Read(std::string& Line) {
    try {
      Line = Engine_.ReadLine("t");
    } catch (const EIEException&) {
      return false;
    }
    while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r')) Line.pop_back();
    return true;
  }

  TInferenceEngine& Engine_;
};

}  // namespace

TModalResult ModalResultOf(TMsgDlgBtn Button) noexcept {
  switch (Button) {
    case mbYes: return mrYes;
    case mbNo: return mrNo;
    case mbOK: return mrOk;
    case mbCancel: return mrCancel;
    case mbAbort: return mrAbort;
    case mbRetry: return mrRetry;
    case mbIgnore: return mrIgnore;
    case mbAll: return mrAll;
    case mbNoToAll: return mrNoToAll;
    case mbYesToAll: return mrYesToAll;
    case mbHelp: return mrHelp;
  }
  return mrNone;
}

const char* ModalResultName(int32_t Result) noexcept {
  switch (Result) {
    case mrOk: return "mrOk";
    case mrCancel: return "mrCancel";
    case mrAbort: return "mrAbort";
    case mrRetry: return "mrRetry";
    case mrIgnore: return "mrIgnore";
    case mrYes: return "mrYes";
    case mrNo: return "mrNo";
    case mrAll: return "mrAll";
    case mrNoToAll: return "mrNoToAll";
    case mrYesToAll: return "mrYesToAll";
    default: return "mrHelp";
  }
}

IHostDialogs& TInferenceEngine::GetDialogs() {
  if (Dialogs_) return *Dialogs_;
  if (!OwnDialogs_) OwnDialogs_ = std::make_shared<TConsoleDialogs>(*this);
  return *OwnDialogs_;
}

}  // namespace rulecore
