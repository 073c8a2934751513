// The facts editor window: the facts grouped by template in a tree, the selected fact's slots
// in a grid whose value cells are edited as rule-language text.  Every edit is read back as a
// fact by the private engine at once; a value that does not read is refused with the parser's
// message.  OK leaves the edited facts, in their order, in the private engine's working memory.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "core/facts/Fact.h"

class QLabel;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace rulecore {
class TInferenceEngine;
class TFactSet;
}  // namespace rulecore

namespace ruleeditors {

struct TFactsEditorOptions {
  bool EnableTypeEditor = true;
  bool EnableFactTemplateEditor = true;
};

class TFactsEditor : public QDialog {
  Q_OBJECT
 public:
  // The working memory of Source, or (with Set) the facts of that fact set read by Source.
  TFactsEditor(const rulecore::TInferenceEngine& Source, TFactsEditorOptions Options,
               const rulecore::TFactSet* Set = nullptr, QWidget* Parent = nullptr);
  ~TFactsEditor() override;

  // The private engine: its types and templates are the edited ones; after OK its working
  // memory holds the edited facts.
  rulecore::TInferenceEngine& Engine() const noexcept { return *Engine_; }

  // The edited facts as rule-language text, in order.
  int Count() const noexcept { return static_cast<int>(Facts_.size()); }
  std::string FactText(int Index) const;
  // The edited facts read by the private engine, in order.
  std::vector<rulecore::IFact> Facts() const;
  void Select(int Index);
  int Current() const noexcept { return Current_; }
  // A new fact of the template with its default values; answers its index (-1 when there is no
  // such template).
  int AddFact(const std::string& TemplateName);
  void DeleteFact(int Index);
  // Sets one slot's value text of a fact; false, nothing changed and the message shown, when
  // the fact does not read with it.
  bool SetSlotText(int Index, const std::string& Slot, const std::string& Value);
  const std::string& ErrorText() const noexcept { return Error_; }

  void accept() override;

 private:
  struct TFactEntry {
    std::string Template;
    std::vector<std::string> Slots;   // the template's slot names, in order
    std::vector<std::string> Values;  // their values as text ("" leaves a slot its default)
    bool Ordered = false;
  };
  void Build(const TFactsEditorOptions& Options);
  void LoadFacts(const std::vector<rulecore::IFact>& Facts);
  TFactEntry EntryOf(const rulecore::TFact& Fact) const;
  std::string TextOf(const TFactEntry& Entry) const;
  void Refill();
  // Selects the current fact's row in the tree and shows its grid, without rebuilding the tree.
  void ShowCurrent();
  void ShowGrid();
  void ShowError(const std::string& Message);
  void Nested(bool Types, bool EnableTypeEditor);

  std::unique_ptr<rulecore::TInferenceEngine> Engine_;
  std::vector<TFactEntry> Facts_;
  std::vector<QTreeWidgetItem*> Rows_;  // each fact's row in the tree, by index
  int Current_ = -1;
  bool Filling_ = false;
  std::string Error_;

  QTreeWidget* Tree_ = nullptr;
  QTableWidget* Grid_ = nullptr;
  QLabel* ErrorLabel_ = nullptr;
};

}  // namespace ruleeditors
