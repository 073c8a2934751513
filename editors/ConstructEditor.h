// The editor window of one kind of construct (defined types, fact templates or rules): the
// constructs listed by name beside a rule-language text editor.  Each construct is edited as its
// text; Apply (and OK) reads every changed text back with a private engine, and a text that does
// not read keeps the window open with the error shown at its line.  After OK the private engine
// holds the result, which the dialog component copies into the host's engine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace rulecore {
class TInferenceEngine;
class TRule;
}  // namespace rulecore

namespace ruleeditors {

enum class TConstructKind { DefinedTypes, FactTemplates, Rules };

struct TConstructEditorOptions {
  bool EnableTypeEditor = true;          // a "Types..." button edits the types of the same copy
  bool EnableFactTemplateEditor = true;  // a "Templates..." button edits its templates
  std::string SingleRule;                // rules: edit only this rule (no New and Delete)
};

class TConstructEditor : public QDialog {
  Q_OBJECT
 public:
  // Edits Kind on a private copy of Source.
  TConstructEditor(TConstructKind Kind, const rulecore::TInferenceEngine& Source, TConstructEditorOptions Options,
                   QWidget* Parent = nullptr);
  ~TConstructEditor() override;

  TConstructKind Kind() const noexcept { return Kind_; }
  // The engine the edits go into (after OK it holds the result).
  rulecore::TInferenceEngine& Engine() const noexcept { return *Engine_; }
  // Single-rule mode: the edited rule in the private engine (nullptr while its text is unread).
  rulecore::TRule* EditedRule() const;

  // The entries, as the list shows them.
  int Count() const noexcept { return static_cast<int>(Entries_.size()); }
  std::string Name(int Index) const;
  std::string Text(int Index) const;
  int Current() const noexcept { return Current_; }
  void Select(int Index);
  // Replaces the text of an entry (as typing would).
  void SetText(int Index, const std::string& Text);
  // A new entry with Text (a template for the kind when empty); answers its index.
  int Add(const std::string& Text = {});
  void Delete(int Index);
  // Reads every changed entry into the engine and removes the deleted ones.  On an error the
  // entry is selected, its line marked and the message shown; answers false.
  bool Apply();
  // The last error ("" after a successful Apply) and its line within the entry's text.
  const std::string& ErrorText() const noexcept { return Error_; }
  int ErrorLine() const noexcept { return ErrorLine_; }

  void accept() override;

 private:
  struct TEntry {
    std::string Name;      // as read last (empty for a new entry)
    std::string Text;
    bool Changed = false;
  };
  void Build(const TConstructEditorOptions& Options);
  void Load();
  void StoreEditorText();
  void ShowCurrent();
  void ShowSlots();
  void ShowError(const std::string& Message, int Line);
  bool ReadEntry(TEntry& Entry);
  void RemoveConstruct(const std::string& Name);

  TConstructKind Kind_;
  std::unique_ptr<rulecore::TInferenceEngine> Engine_;
  std::string SingleRule_;
  std::vector<TEntry> Entries_;
  std::vector<std::string> Deleted_;
  int Current_ = -1;
  bool Showing_ = false;
  std::string Error_;
  int ErrorLine_ = 0;

  QListWidget* List_ = nullptr;
  QPlainTextEdit* Editor_ = nullptr;
  QLabel* ErrorLabel_ = nullptr;
  QTableWidget* Slots_ = nullptr;
};

// The title of each kind's window.
const char* EditorTitle(TConstructKind Kind) noexcept;

// Opens the types or templates editor on a copy of Engine from Parent and, on OK, puts the
// edited types or templates into Engine.  Answers whether they were taken.
bool EditNested(TConstructKind Kind, rulecore::TInferenceEngine& Engine, bool EnableTypeEditor, QWidget* Parent);

}  // namespace ruleeditors
