// The interactive console window: an output area, an input area with Submit (Ctrl+Enter), the
// live views of the agenda, facts, templates and rules, and the console commands in menus.
//
// Modal (a dialog): the window works on a private copy of the host's engine; OK copies it back,
// Cancel drops it.  Modeless: the window works on the host's engine itself.  The engine then
// carries the console's event handlers, while a holder engine keeps the host's; each console
// handler does its work and passes the event on to the host's handler, so the host still hears
// everything.  Closing the window puts the host's handlers back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include <QDialog>
#include <QPointer>

#include "core/values/IEConsts.h"

class QAction;
class QLabel;
class QListView;
class QPlainTextEdit;
class QPushButton;
class QShortcut;
class QSplitter;

namespace rulecore {
class TInferenceEngine;
}

namespace ruleeditors {

class TKeyedListModel;
class TAgendaListModel;
class TQtHostDialogs;

// The console commands beyond the eleven that ValidActions governs.
enum TConsoleCommand : int {
  ccNew = rulecore::vaFileNew,
  ccOpen = rulecore::vaFileOpen,
  ccSave = rulecore::vaFileSave,
  ccSaveAs = rulecore::vaFileSaveAs,
  ccTypes = rulecore::vaEditTypes,
  ccFacts = rulecore::vaEditFacts,
  ccFactTemplates = rulecore::vaEditFactTemplates,
  ccRules = rulecore::vaEditRules,
  ccRun = rulecore::vaIERun,
  ccRunOneStep = rulecore::vaIERunOneStep,
  ccReset = rulecore::vaIEReset,
  ccClearOutput,
  ccFind,
  ccFindAgain,
  ccExit,
  ccCommandCount
};

class TConsoleWindow : public QDialog {
  Q_OBJECT
 public:
  // Dialog: modal mode on a private copy of HostEngine; else modeless on HostEngine itself.
  TConsoleWindow(rulecore::TInferenceEngine& HostEngine, bool Dialog, QWidget* Parent = nullptr);
  ~TConsoleWindow() override;

  // The engine the console works on (the private copy in modal mode).
  rulecore::TInferenceEngine& Engine() const noexcept { return *Engine_; }
  bool IsDialog() const noexcept { return Dialog_; }

  // --- settings ---
  bool GetAllowCheats() const noexcept { return AllowCheats_; }
  void SetAllowCheats(bool Value);
  bool GetEchoInput() const noexcept { return EchoInput_; }
  void SetEchoInput(bool Value) noexcept { EchoInput_ = Value; }
  const std::string& GetInputCursor() const noexcept { return InputCursor_; }
  void SetInputCursor(const std::string& Value) { InputCursor_ = Value; }
  rulecore::TValidActions GetValidActions() const noexcept { return ValidActions_; }
  void SetValidActions(rulecore::TValidActions Value);
  rulecore::TValidViews GetValidViews() const noexcept { return ValidViews_; }
  void SetValidViews(rulecore::TValidViews Value);

  // --- what a user does ---
  // Echoes and runs the input area's text (the Submit button).
  void Submit();
  void SetInputText(const std::string& Text);
  // Loads a rule-language file into the engine (as Open does, without clearing first), its
  // output in the output area; an error is shown.  Answers whether it loaded.
  bool LoadFile(const std::string& FileName);
  // Runs a command as its menu entry does (a hidden one only with AllowCheats).  Answers whether
  // it ran.
  bool RunCommand(TConsoleCommand Command);
  QAction* CommandAction(TConsoleCommand Command) const { return Actions_[Command]; }
  // Searches the output area forward from the cursor, wrapping around; false when not found.
  bool Find(const std::string& Text);
  bool FindAgain();

  // --- what the window shows ---
  std::string OutputText() const;
  const std::string& LastLine() const noexcept { return LastLine_; }
  // A view's lines, brought up to date (empty for a hidden view).
  QStringList ViewLines(rulecore::TValidView View) const;
  bool IsViewShown(rulecore::TValidView View) const;
  int ViewHeight(rulecore::TValidView View) const;
  QPlainTextEdit* OutputArea() const noexcept { return Output_; }
  QPlainTextEdit* InputArea() const noexcept { return Input_; }

  // --- services a host or a test may replace ---
  // Shows an error from a command (default: a message box).
  std::function<void(const std::string& Message)> OnError;
  // Asks for a file name to open (Save false) or to save to; "" when cancelled (default: the
  // platform's file dialogs with the console's filter).
  std::function<std::string(bool Save)> OnFileName;

  // The file filter of Open and Save, and the same in Qt's form.
  static const char* const FileFilter;
  static QString QtFileFilter();

  void done(int Result) override;

 protected:
  void closeEvent(QCloseEvent* Event) override;

 private:
  void BuildWindow();
  void BuildCommands();
  void InstallHandlers(rulecore::TInferenceEngine& Target);
  void SwapHandlersBack();
  void RefillView(rulecore::TValidView View);
  void LayoutViews();
  void UpdateRunActions(bool HasActivations);
  void UpdateCommandVisibility();
  void AddOutputLine(const std::string& Line);
  void ShowError(const std::string& Message);
  bool Shown(rulecore::TValidView View) const { return ValidViews_.Contains(View); }
  std::string AskInput(const char* Caption);
  // Runs Work, reporting an error from it; the busy count keeps the window open meanwhile.
  template <class F>
  void Guarded(F&& Work);

  rulecore::TInferenceEngine* Host_;
  bool Dialog_;
  std::unique_ptr<rulecore::TInferenceEngine> Private_;  // modal mode: the copy worked on
  std::unique_ptr<rulecore::TInferenceEngine> Holder_;   // modeless mode: keeps the host's handlers
  rulecore::TInferenceEngine* Engine_;
  std::unique_ptr<TQtHostDialogs> Dialogs_;

  bool AllowCheats_ = true;
  bool EchoInput_ = true;
  std::string InputCursor_;
  rulecore::TValidActions ValidActions_;
  rulecore::TValidViews ValidViews_;
  std::string LastLine_;
  int32_t TemplateCounter_ = 0;
  std::unordered_map<std::string, int64_t> RuleKeys_;
  int64_t NextRuleKey_ = 0;
  std::string FileName_;
  std::string FindText_;
  int Busy_ = 0;
  bool Swapped_ = false;

  QPlainTextEdit* Output_ = nullptr;
  QPlainTextEdit* Input_ = nullptr;
  QSplitter* Views_ = nullptr;
  QListView* ViewWidgets_[4] = {};
  QLabel* ViewLabels_[4] = {};
  QWidget* ViewPanes_[4] = {};
  int SavedHeights_[4] = {};
  TAgendaListModel* Agenda_ = nullptr;
  TKeyedListModel* Facts_ = nullptr;
  TKeyedListModel* Templates_ = nullptr;
  TKeyedListModel* Rules_ = nullptr;
  QAction* Actions_[ccCommandCount] = {};
  QShortcut* Cheats_[ccCommandCount] = {};
  QPushButton* OkButton_ = nullptr;
  QPushButton* CancelButton_ = nullptr;
};

}  // namespace ruleeditors
