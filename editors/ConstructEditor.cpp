#include "ConstructEditor.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBlock>
#include <QVBoxLayout>

#include "EditorEngine.h"
#include "EditorLayout.h"
#include "core/engine/InferenceEngine.h"
#include "core/network/IERule.h"
#include "core/values/IEException.h"
#include "platform/Format.h"

namespace ruleeditors {

using rulecore::TInferenceEngine;

const char* EditorTitle(TConstructKind Kind) noexcept {
  switch (Kind) {
    case TConstructKind::DefinedTypes: return "Defined Types Editor";
    case TConstructKind::FactTemplates: return "Fact Templates Editor";
    case TConstructKind::Rules: return "Rules Editor";
  }
  return "";
}

namespace {

// What a new entry starts with, so that the user sees the construct's shape.
const char* Skeleton(TConstructKind Kind) noexcept {
  switch (Kind) {
    case TConstructKind::DefinedTypes: return "(deftype new-type extends\n  (type SYMBOL))";
    case TConstructKind::FactTemplates: return "(deftemplate new-template\n  (slot name))";
    case TConstructKind::Rules: return "(defrule new-rule\n  (initial-fact)\n  =>\n  )";
  }
  return "";
}

bool LessNoCase(const std::string& A, const std::string& B) {
  return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(), [](char X, char Y) {
    return std::tolower(static_cast<unsigned char>(X)) < std::tolower(static_cast<unsigned char>(Y));
  });
}

// The slot's type as a user reads it: the deftype's name, or the value kinds it allows.
std::string SlotTypeText(const rulecore::TFactSlot& Slot) {
  if (const auto& Type = Slot.GetExtendedTypeInfo()) return Type->GetName();
  const bool Any = Slot.GetSlotType().Contains(rulecore::dtAtom) && Slot.GetSlotType().Contains(rulecore::dtString) &&
                   Slot.GetSlotType().Contains(rulecore::dtInteger) && Slot.GetSlotType().Contains(rulecore::dtFloat);
  if (Any) return "?VARIABLE";
  std::string Text;
  for (auto Kind : {rulecore::dtAtom, rulecore::dtString, rulecore::dtInteger, rulecore::dtFloat,
                    rulecore::dtFactId}) {
    if (!Slot.GetSlotType().Contains(Kind)) continue;
    if (!Text.empty()) Text += ' ';
    Text += Kind == rulecore::dtAtom      ? "SYMBOL"
            : Kind == rulecore::dtString  ? "STRING"
            : Kind == rulecore::dtInteger ? "INTEGER"
            : Kind == rulecore::dtFloat   ? "FLOAT"
                                          : "FACT-ADDRESS";
  }
  return Text.empty() ? "?VARIABLE" : Text;
}

}  // namespace

TConstructEditor::TConstructEditor(TConstructKind Kind, const TInferenceEngine& Source,
                                   TConstructEditorOptions Options, QWidget* Parent)
    : QDialog(Parent),
      Kind_(Kind),
      Engine_(CopyEngine(Source, Kind == TConstructKind::Rules ? TCopyWhat::WithRules : TCopyWhat::Constructs)),
      SingleRule_(Options.SingleRule) {
  Build(Options);
  Load();
}

TConstructEditor::~TConstructEditor() = default;

void TConstructEditor::Build(const TConstructEditorOptions& Options) {
  setWindowTitle(EditorTitle(Kind_));
  List_ = new QListWidget;
  Editor_ = new QPlainTextEdit;
  Editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
  ErrorLabel_ = new QLabel;
  ErrorLabel_->setStyleSheet("color: #b00000");
  ErrorLabel_->setWordWrap(true);

  auto* Right = new QWidget;
  auto* RightLayout = new QVBoxLayout(Right);
  RightLayout->setContentsMargins(0, 0, 0, 0);
  RightLayout->addWidget(Editor_, 3);
  RightLayout->addWidget(ErrorLabel_);
  if (Kind_ == TConstructKind::FactTemplates) {
    Slots_ = new QTableWidget(0, 4);
    Slots_->setHorizontalHeaderLabels({"Slot", "Kind", "Type", "Default"});
    Slots_->horizontalHeader()->setStretchLastSection(true);
    Slots_->verticalHeader()->hide();
    Slots_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RightLayout->addWidget(Slots_, 2);
  }
  auto* Split = new QSplitter;
  Split->addWidget(List_);
  Split->addWidget(Right);
  Split->setStretchFactor(1, 3);

  auto* Buttons = new QHBoxLayout;
  if (SingleRule_.empty()) {
    auto* New = new QPushButton("&New");
    auto* Remove = new QPushButton("&Delete");
    connect(New, &QPushButton::clicked, this, [this] { Add(); });
    connect(Remove, &QPushButton::clicked, this, [this] {
      if (Current_ >= 0) Delete(Current_);
    });
    Buttons->addWidget(New);
    Buttons->addWidget(Remove);
  }
  auto* ApplyButton = new QPushButton("&Apply");
  connect(ApplyButton, &QPushButton::clicked, this, [this] { Apply(); });
  Buttons->addWidget(ApplyButton);
  // The constructs this kind depends on, edited on the same copy.
  auto Nested = [this, Buttons, &Options](TConstructKind Other, const char* Label) {
    auto* Button = new QPushButton(Label);
    connect(Button, &QPushButton::clicked, this, [this, Other, Types = Options.EnableTypeEditor] {
      if (!Apply()) return;
      if (EditNested(Other, *Engine_, Types, this)) Load();
    });
    Buttons->addWidget(Button);
  };
  if (Kind_ != TConstructKind::DefinedTypes && Options.EnableTypeEditor)
    Nested(TConstructKind::DefinedTypes, "&Types...");
  if (Kind_ == TConstructKind::Rules && Options.EnableFactTemplateEditor)
    Nested(TConstructKind::FactTemplates, "Te&mplates...");
  LayOutEditor(*this, Split, nullptr, Buttons);

  connect(List_, &QListWidget::currentRowChanged, this, [this](int Row) {
    if (!Showing_) Select(Row);
  });
  connect(Editor_, &QPlainTextEdit::textChanged, this, [this] {
    if (!Showing_ && Current_ >= 0) Entries_[static_cast<size_t>(Current_)].Changed = true;
  });
}

void TConstructEditor::Load() {
  Entries_.clear();
  Deleted_.clear();
  TInferenceEngine& E = *Engine_;
  switch (Kind_) {
    case TConstructKind::DefinedTypes:
      for (const auto& [Name, Type] : E.GetDefinedTypes()) Entries_.push_back({Name, Type->GetToString()});
      break;
    case TConstructKind::FactTemplates:
      // Ordered facts make their templates themselves: they are not edited here.
      for (const auto& [Name, Template] : E.GetFactTemplates())
        if (!Template->IsOrdered()) Entries_.push_back({Name, Template->GetToString()});
      break;
    case TConstructKind::Rules:
      for (const auto& [Name, Rule] : E.GetRules())
        if (SingleRule_.empty() || Name == SingleRule_) Entries_.push_back({Name, Rule->GetToString()});
      std::sort(Entries_.begin(), Entries_.end(),
                [](const TEntry& A, const TEntry& B) { return LessNoCase(A.Name, B.Name); });
      break;
  }
  Showing_ = true;
  List_->clear();
  for (const TEntry& Entry : Entries_) List_->addItem(ToQt(Entry.Name));
  Showing_ = false;
  Current_ = -1;
  Select(Entries_.empty() ? -1 : 0);
}

std::string TConstructEditor::Name(int Index) const { return Entries_.at(static_cast<size_t>(Index)).Name; }

std::string TConstructEditor::Text(int Index) const {
  if (Index == Current_) return FromQt(Editor_->toPlainText());
  return Entries_.at(static_cast<size_t>(Index)).Text;
}

rulecore::TRule* TConstructEditor::EditedRule() const {
  if (Entries_.empty() || Entries_.front().Name.empty()) return nullptr;
  return Engine_->GetRules().GetItem(Entries_.front().Name);
}

void TConstructEditor::StoreEditorText() {
  if (Current_ < 0 || Current_ >= Count()) return;
  TEntry& Entry = Entries_[static_cast<size_t>(Current_)];
  std::string Text = FromQt(Editor_->toPlainText());
  if (Text != Entry.Text) {
    Entry.Text = std::move(Text);
    Entry.Changed = true;
  }
}

void TConstructEditor::Select(int Index) {
  if (Index < -1 || Index >= Count()) return;
  StoreEditorText();
  Current_ = Index;
  ShowCurrent();
}

void TConstructEditor::ShowCurrent() {
  Showing_ = true;
  List_->setCurrentRow(Current_);
  Editor_->setPlainText(Current_ >= 0 ? ToQt(Entries_[static_cast<size_t>(Current_)].Text) : QString());
  Editor_->setReadOnly(Current_ < 0);
  Editor_->setExtraSelections({});
  Showing_ = false;
  ShowSlots();
}

// The slots of the template the current entry names, as last read.
void TConstructEditor::ShowSlots() {
  if (!Slots_) return;
  Slots_->setRowCount(0);
  if (Current_ < 0) return;
  const rulecore::IFactTemplate Template =
      Engine_->GetFactTemplates().GetItem(Entries_[static_cast<size_t>(Current_)].Name);
  if (!Template) return;
  Slots_->setRowCount(Template->GetSlotCount());
  for (int I = 0; I < Template->GetSlotCount(); ++I) {
    const rulecore::TFactSlot& Slot = *Template->GetSlot(I);
    const std::string Default = Slot.GetSlotDefault() ? Slot.GetSlotDefault()->GetToString() : std::string();
    const std::string Cells[] = {Slot.GetName(), Slot.IsMultiSlot() ? "multislot" : "slot", SlotTypeText(Slot),
                                 Default};
    for (int C = 0; C < 4; ++C) Slots_->setItem(I, C, new QTableWidgetItem(ToQt(Cells[C])));
  }
}

void TConstructEditor::SetText(int Index, const std::string& Text) {
  if (Index < 0 || Index >= Count()) return;
  if (Index != Current_) Select(Index);
  Editor_->setPlainText(ToQt(Text));
  StoreEditorText();
}

int TConstructEditor::Add(const std::string& Text) {
  StoreEditorText();
  Entries_.push_back({std::string(), Text.empty() ? Skeleton(Kind_) : Text, true});
  Showing_ = true;
  List_->addItem("(new)");
  Showing_ = false;
  Select(Count() - 1);
  return Count() - 1;
}

void TConstructEditor::Delete(int Index) {
  if (Index < 0 || Index >= Count() || !SingleRule_.empty()) return;
  StoreEditorText();
  const std::string Name = Entries_[static_cast<size_t>(Index)].Name;
  if (!Name.empty()) Deleted_.push_back(Name);
  Entries_.erase(Entries_.begin() + Index);
  Showing_ = true;
  delete List_->takeItem(Index);
  Showing_ = false;
  Current_ = -1;
  Select(std::min(Index, Count() - 1));
}

void TConstructEditor::RemoveConstruct(const std::string& Name) {
  switch (Kind_) {
    case TConstructKind::DefinedTypes: Engine_->GetDefinedTypes().Remove(Name); break;
    case TConstructKind::FactTemplates: Engine_->GetFactTemplates().Remove(Name); break;
    case TConstructKind::Rules: Engine_->GetRules().Remove(Name); break;
  }
}

// Reads one entry's text as a construct of the kind and puts it into the engine, in place of
// the construct the entry held before (a renamed construct leaves its old name).
bool TConstructEditor::ReadEntry(TEntry& Entry) {
  TInferenceEngine& E = *Engine_;
  std::string Name;
  try {
    CheckOneForm(E, Entry.Text);
    switch (Kind_) {
      case TConstructKind::DefinedTypes: {
        const rulecore::IIEDefinedType Type = E.ParseDefinedType(Entry.Text);
        Name = Type->GetName();
        E.GetDefinedTypes().Add(Type);
        break;
      }
      case TConstructKind::FactTemplates: {
        const rulecore::IFactTemplate Template = E.ParseFactTemplate(Entry.Text);
        Name = Template->GetTemplateName();
        E.GetFactTemplates().Add(Template);
        break;
      }
      case TConstructKind::Rules: {
        rulecore::TRule* Rule = E.ParseRule(Entry.Text);
        Name = Rule->GetRuleName();
        if (!SingleRule_.empty() && Name != SingleRule_) {
          delete Rule;
          ShowError("The rule edited here must keep its name " + SingleRule_, 1);
          return false;
        }
        E.GetRules().Add(Rule);
        break;
      }
    }
  } catch (const rulecore::EIEParseException& Error) {
    ShowError(Error.what(), Error.GetLineNumber());
    return false;
  } catch (const platform::Exception& Error) {
    ShowError(Error.what(), 0);
    return false;
  }
  if (!Entry.Name.empty() && Entry.Name != Name) RemoveConstruct(Entry.Name);
  Entry.Name = Name;
  Entry.Changed = false;
  return true;
}

bool TConstructEditor::Apply() {
  StoreEditorText();
  Error_.clear();
  ErrorLine_ = 0;
  for (const std::string& Name : Deleted_)
    if (std::none_of(Entries_.begin(), Entries_.end(), [&](const TEntry& E) { return E.Name == Name; }))
      RemoveConstruct(Name);
  Deleted_.clear();
  for (int I = 0; I < Count(); ++I) {
    TEntry& Entry = Entries_[static_cast<size_t>(I)];
    if (!Entry.Changed) continue;
    if (!ReadEntry(Entry)) {
      const std::string Message = Error_;
      const int Line = ErrorLine_;
      Select(I);
      ShowError(Message, Line);
      return false;
    }
    List_->item(I)->setText(ToQt(Entry.Name));
  }
  ErrorLabel_->clear();
  ShowSlots();
  return true;
}

void TConstructEditor::ShowError(const std::string& Message, int Line) {
  Error_ = Message;
  ErrorLine_ = Line;
  ErrorLabel_->setText(ToQt(Line > 0 ? platform::Format("Line %d: %s", {Line, Message}) : Message));
  QList<QTextEdit::ExtraSelection> Marks;
  if (Line > 0 && Line <= Editor_->document()->blockCount()) {
    QTextEdit::ExtraSelection Mark;
    Mark.format.setBackground(QColor(255, 220, 220));
    Mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    Mark.cursor = QTextCursor(Editor_->document()->findBlockByNumber(Line - 1));
    Marks.append(Mark);
    Editor_->setTextCursor(Mark.cursor);
  }
  Editor_->setExtraSelections(Marks);
}

void TConstructEditor::accept() {
  if (Apply()) QDialog::accept();
}

bool EditNested(TConstructKind Kind, TInferenceEngine& Engine, bool EnableTypeEditor, QWidget* Parent) {
  TConstructEditorOptions Options;
  Options.EnableTypeEditor = EnableTypeEditor;
  TConstructEditor Nested(Kind, Engine, Options, Parent);
  if (Nested.exec() != QDialog::Accepted) return false;
  if (Kind == TConstructKind::DefinedTypes)
    Engine.SetDefinedTypes(Nested.Engine().GetDefinedTypes());
  else
    Engine.SetFactTemplates(Nested.Engine().GetFactTemplates());
  return true;
}

}  // namespace ruleeditors
