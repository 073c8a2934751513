#include "FactsEditor.h"

#include <unordered_map>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ConstructEditor.h"
#include "EditorEngine.h"
#include "EditorLayout.h"
#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/values/IEException.h"

namespace ruleeditors {

using rulecore::TInferenceEngine;

TFactsEditor::TFactsEditor(const TInferenceEngine& Source, TFactsEditorOptions Options, const rulecore::TFactSet* Set,
                           QWidget* Parent)
    : QDialog(Parent), Engine_(CopyEngine(Source, Set ? TCopyWhat::Constructs : TCopyWhat::WithFacts)) {
  Build(Options);
  if (Set) {
    setWindowTitle("Fact Set Editor");
    // A fact set keeps lines of text: each is read by the engine the set belongs to.
    std::vector<rulecore::IFact> Facts;
    for (const std::string& Line : Set->GetLines()) Facts.push_back(Engine_->ParseFact(Line));
    LoadFacts(Facts);
  } else {
    LoadFacts(Engine_->GetFacts().Items());
  }
}

TFactsEditor::~TFactsEditor() = default;

void TFactsEditor::Build(const TFactsEditorOptions& Options) {
  setWindowTitle("Facts Editor");
  Tree_ = new QTreeWidget;
  Tree_->setHeaderLabels({"Facts by template"});
  Grid_ = new QTableWidget(0, 2);
  Grid_->setHorizontalHeaderLabels({"Slot", "Value"});
  Grid_->horizontalHeader()->setStretchLastSection(true);
  Grid_->verticalHeader()->hide();
  ErrorLabel_ = new QLabel;
  ErrorLabel_->setStyleSheet("color: #b00000");
  ErrorLabel_->setWordWrap(true);

  auto* Split = new QSplitter;
  Split->addWidget(Tree_);
  Split->addWidget(Grid_);
  Split->setStretchFactor(1, 2);

  auto* Buttons = new QHBoxLayout;
  auto* Add = new QPushButton("&Add Fact...");
  connect(Add, &QPushButton::clicked, this, [this] {
    QStringList Names;
    for (const auto& [Name, Template] : Engine_->GetFactTemplates()) Names << ToQt(Name);
    const QTreeWidgetItem* Item = Tree_->currentItem();
    QString Start;
    if (Item) Start = Item->parent() ? Item->parent()->text(0) : Item->text(0);
    bool Ok = false;
    const QString Name =
        QInputDialog::getItem(this, "Add Fact", "Template:", Names, std::max<qsizetype>(0, Names.indexOf(Start)), true, &Ok);
    if (Ok) AddFact(FromQt(Name));
  });
  auto* Delete = new QPushButton("&Delete Fact");
  connect(Delete, &QPushButton::clicked, this, [this] {
    if (Current_ >= 0) DeleteFact(Current_);
  });
  Buttons->addWidget(Add);
  Buttons->addWidget(Delete);
  if (Options.EnableTypeEditor) {
    auto* Types = new QPushButton("&Types...");
    connect(Types, &QPushButton::clicked, this, [this, Options] { Nested(true, Options.EnableTypeEditor); });
    Buttons->addWidget(Types);
  }
  if (Options.EnableFactTemplateEditor) {
    auto* Templates = new QPushButton("Te&mplates...");
    connect(Templates, &QPushButton::clicked, this, [this, Options] { Nested(false, Options.EnableTypeEditor); });
    Buttons->addWidget(Templates);
  }
  LayOutEditor(*this, Split, ErrorLabel_, Buttons);

  connect(Tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* Item) {
    if (Filling_ || !Item) return;
    const QVariant Index = Item->data(0, Qt::UserRole);
    Current_ = Index.isValid() ? Index.toInt() : -1;
    ShowGrid();
  });
  connect(Grid_, &QTableWidget::cellChanged, this, [this](int Row, int Column) {
    if (Filling_ || Column != 1 || Current_ < 0) return;
    const TFactEntry& Entry = Facts_[static_cast<size_t>(Current_)];
    if (!SetSlotText(Current_, Entry.Slots[static_cast<size_t>(Row)], FromQt(Grid_->item(Row, 1)->text())))
      ShowGrid();  // the refused text goes; the last good one comes back
  });
}

// A fact as the grid shows it: each slot's value in the form the parser reads back (a
// multislot's items without the parentheses its value prints with).
TFactsEditor::TFactEntry TFactsEditor::EntryOf(const rulecore::TFact& Fact) const {
  TFactEntry Entry;
  const rulecore::IFactTemplate& Template = Fact.GetTemplate();
  Entry.Template = Template->GetTemplateName();
  Entry.Ordered = Template->IsOrdered();
  auto& Mutable = const_cast<rulecore::TFact&>(Fact);
  for (const rulecore::IFactSlot& Slot : Template->GetSlots()) {
    const rulecore::IIEValue& Value = Mutable.GetValue(Slot->GetName());
    std::string Text = Value ? Value->GetToString() : std::string();
    if (Slot->IsMultiSlot() && Text.size() >= 2 && Text.front() == '(' && Text.back() == ')')
      Text = Text.substr(1, Text.size() - 2);
    Entry.Slots.push_back(Slot->GetName());
    Entry.Values.push_back(std::move(Text));
  }
  return Entry;
}

std::string TFactsEditor::TextOf(const TFactEntry& Entry) const {
  std::string Text = "(" + Entry.Template;
  if (Entry.Ordered) {
    if (!Entry.Values.empty() && !Entry.Values.front().empty()) Text += " " + Entry.Values.front();
  } else {
    for (size_t I = 0; I < Entry.Slots.size(); ++I)
      if (!Entry.Values[I].empty()) Text += " (" + Entry.Slots[I] + " " + Entry.Values[I] + ")";
  }
  return Text + ")";
}

void TFactsEditor::LoadFacts(const std::vector<rulecore::IFact>& Facts) {
  Facts_.clear();
  for (const rulecore::IFact& Fact : Facts)
    if (Fact && Fact->GetTemplate()) Facts_.push_back(EntryOf(*Fact));
  Current_ = Facts_.empty() ? -1 : 0;
  Refill();
}

std::string TFactsEditor::FactText(int Index) const { return TextOf(Facts_.at(static_cast<size_t>(Index))); }

std::vector<rulecore::IFact> TFactsEditor::Facts() const {
  std::vector<rulecore::IFact> Out;
  Out.reserve(Facts_.size());
  for (const TFactEntry& Entry : Facts_) Out.push_back(Engine_->ParseFact(TextOf(Entry)));
  return Out;
}

// The tree: one branch per template, in the engine's order, with its facts in list order.
void TFactsEditor::Refill() {
  Filling_ = true;
  Tree_->clear();
  std::unordered_map<std::string, QTreeWidgetItem*> Branches;
  auto BranchOf = [&](const std::string& Name) {
    QTreeWidgetItem*& Branch = Branches[Name];
    if (!Branch) Branch = new QTreeWidgetItem(Tree_, {ToQt(Name)});
    return Branch;
  };
  for (const auto& [Name, Template] : Engine_->GetFactTemplates())
    if (!Template->IsOrdered()) BranchOf(Name);
  Rows_.clear();
  Rows_.reserve(Facts_.size());
  for (size_t I = 0; I < Facts_.size(); ++I) {
    auto* Item = new QTreeWidgetItem(BranchOf(Facts_[I].Template), {ToQt(TextOf(Facts_[I]))});
    Item->setData(0, Qt::UserRole, static_cast<int>(I));
    Rows_.push_back(Item);
  }
  Tree_->expandAll();
  Filling_ = false;
  ShowCurrent();
}

void TFactsEditor::ShowCurrent() {
  Filling_ = true;
  if (Current_ >= 0 && static_cast<size_t>(Current_) < Rows_.size())
    Tree_->setCurrentItem(Rows_[static_cast<size_t>(Current_)]);
  Filling_ = false;
  ShowGrid();
}

void TFactsEditor::ShowGrid() {
  Filling_ = true;
  Grid_->setRowCount(0);
  if (Current_ >= 0) {
    const TFactEntry& Entry = Facts_[static_cast<size_t>(Current_)];
    Grid_->setRowCount(static_cast<int>(Entry.Slots.size()));
    for (size_t I = 0; I < Entry.Slots.size(); ++I) {
      auto* Name = new QTableWidgetItem(ToQt(Entry.Ordered ? std::string("(values)") : Entry.Slots[I]));
      Name->setFlags(Name->flags() & ~Qt::ItemIsEditable);
      Grid_->setItem(static_cast<int>(I), 0, Name);
      Grid_->setItem(static_cast<int>(I), 1, new QTableWidgetItem(ToQt(Entry.Values[I])));
    }
  }
  Filling_ = false;
}

void TFactsEditor::Select(int Index) {
  if (Index < -1 || Index >= Count()) return;
  Current_ = Index;
  ShowCurrent();
}

int TFactsEditor::AddFact(const std::string& TemplateName) {
  const rulecore::IFactTemplate Template = Engine_->FindFactTemplate(TemplateName);
  if (!Template) {
    ShowError("Unknown template " + TemplateName);
    return -1;
  }
  // A fact made from the template alone carries every default value.
  rulecore::IFact Fact;
  try {
    Fact = Engine_->ParseFact("(" + TemplateName + ")");
  } catch (const platform::Exception& Error) {
    ShowError(Error.what());
    return -1;
  }
  Facts_.push_back(EntryOf(*Fact));
  Current_ = Count() - 1;
  ErrorLabel_->clear();
  Error_.clear();
  Refill();
  return Current_;
}

void TFactsEditor::DeleteFact(int Index) {
  if (Index < 0 || Index >= Count()) return;
  Facts_.erase(Facts_.begin() + Index);
  Current_ = std::min(Index, Count() - 1);
  Refill();
}

bool TFactsEditor::SetSlotText(int Index, const std::string& Slot, const std::string& Value) {
  if (Index < 0 || Index >= Count()) return false;
  TFactEntry Changed = Facts_[static_cast<size_t>(Index)];
  bool Found = false;
  for (size_t I = 0; I < Changed.Slots.size(); ++I)
    if (Changed.Slots[I] == Slot) {
      Changed.Values[I] = Value;
      Found = true;
    }
  if (!Found) {
    ShowError("No slot " + Slot + " in template " + Changed.Template);
    return false;
  }
  try {
    // Read back and shown as the engine prints it, so the grid holds what OK will keep.
    Changed = EntryOf(*Engine_->ParseFact(TextOf(Changed)));
  } catch (const platform::Exception& Error) {
    ShowError(Error.what());
    return false;
  }
  Facts_[static_cast<size_t>(Index)] = std::move(Changed);
  Error_.clear();
  ErrorLabel_->clear();
  // The template stays, so only the fact's own row changes.
  Rows_[static_cast<size_t>(Index)]->setText(0, ToQt(TextOf(Facts_[static_cast<size_t>(Index)])));
  Current_ = Index;
  ShowCurrent();
  return true;
}

void TFactsEditor::ShowError(const std::string& Message) {
  Error_ = Message;
  ErrorLabel_->setText(ToQt(Message));
}

// Types or templates edited on a copy; taken, they may leave facts of a changed template that no
// longer read: those are dropped, as the engine drops them.
void TFactsEditor::Nested(bool Types, bool EnableTypeEditor) {
  if (!EditNested(Types ? TConstructKind::DefinedTypes : TConstructKind::FactTemplates, *Engine_, EnableTypeEditor,
                  this))
    return;
  std::vector<TFactEntry> Kept;
  for (const TFactEntry& Entry : Facts_) {
    try {
      Kept.push_back(EntryOf(*Engine_->ParseFact(TextOf(Entry))));
    } catch (const platform::Exception&) {
    }
  }
  Facts_ = std::move(Kept);
  Current_ = Facts_.empty() ? -1 : 0;
  Refill();
}

// The edited facts go into the private engine's working memory, in order.
void TFactsEditor::accept() {
  std::vector<rulecore::IFact> Edited;
  try {
    Edited = Facts();
  } catch (const platform::Exception& Error) {
    ShowError(Error.what());
    return;
  }
  Engine_->GetFacts().Clear();
  for (const rulecore::IFact& Fact : Edited) Engine_->Assert(Fact);
  QDialog::accept();
}

}  // namespace ruleeditors
