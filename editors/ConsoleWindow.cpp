#include "ConsoleWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>

#include "EditorDialogs.h"
#include "EditorEngine.h"
#include "LiveViews.h"
#include "QtHostDialogs.h"
#include "core/engine/InferenceEngine.h"
#include "core/language/IEStreamToken.h"
#include "core/network/IERule.h"
#include "platform/Properties.h"

namespace ruleeditors {

using rulecore::TInferenceEngine;

const char* const TConsoleWindow::FileFilter =
    "All Files|*.ie;*.clp|Inference Engine Files (*.ie)|*.ie|CLIPS Files (*.clp)|*.clp|All Files (*.*)|*.*";

// "Description|pattern;pattern|..." as Qt writes it: "Description (pattern pattern);;...".  A
// description that names its patterns already keeps its text.
QString TConsoleWindow::QtFileFilter() {
  const QStringList Parts = QString(FileFilter).split('|');
  QStringList Filters;
  for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
    const QString Patterns = QString(Parts[I + 1]).replace(';', ' ');
    Filters << (Parts[I].contains('(') ? Parts[I] : Parts[I] + " (" + Patterns + ")");
  }
  return Filters.join(";;");
}

namespace {

struct TCommandInfo {
  const char* Text;
  QKeySequence Keys;
};

const TCommandInfo& Info(TConsoleCommand Command) {
  static const TCommandInfo Table[ccCommandCount] = {
      {"&New", QKeySequence(Qt::CTRL | Qt::Key_N)},
      {"&Open...", QKeySequence(Qt::CTRL | Qt::Key_O)},
      {"&Save", QKeySequence(Qt::CTRL | Qt::Key_S)},
      {"Save &As...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      {"Defined &Types...", QKeySequence(Qt::CTRL | Qt::Key_1)},
      {"&Facts...", QKeySequence(Qt::CTRL | Qt::Key_2)},
      {"Fact Te&mplates...", QKeySequence(Qt::CTRL | Qt::Key_3)},
      {"&Rules...", QKeySequence(Qt::CTRL | Qt::Key_4)},
      {"&Run", QKeySequence(Qt::CTRL | Qt::Key_R)},
      {"Run One &Step", QKeySequence(Qt::CTRL | Qt::Key_T)},
      {"R&eset", QKeySequence(Qt::CTRL | Qt::Key_E)},
      {"&Clear Output Window", QKeySequence(Qt::CTRL | Qt::Key_L)},
      {"&Find...", QKeySequence(Qt::CTRL | Qt::Key_F)},
      {"Find &Again", QKeySequence(Qt::Key_F3)},
      {"E&xit", QKeySequence()},
  };
  return Table[Command];
}

const char* const ViewTitles[4] = {"Agenda", "Facts", "Fact Templates", "Rules"};

std::string TrimRight(const std::string& Text) {
  size_t End = Text.size();
  while (End > 0 && (Text[End - 1] == ' ' || Text[End - 1] == '\t' || Text[End - 1] == '\r' || Text[End - 1] == '\n'))
    --End;
  return Text.substr(0, End);
}

std::string RuleEntry(const rulecore::TRule& Rule) {
  if (Rule.GetComment().empty()) return Rule.GetRuleName();
  return Rule.GetRuleName() + " \"" + Rule.GetComment() + "\"";
}

}  // namespace

// =============================================================================================
// Construction
// =============================================================================================

TConsoleWindow::TConsoleWindow(TInferenceEngine& HostEngine, bool Dialog, QWidget* Parent)
    : QDialog(Parent),
      Host_(&HostEngine),
      Dialog_(Dialog),
      Engine_(&HostEngine),
      Dialogs_(std::make_unique<TQtHostDialogs>(this)),
      ValidActions_(rulecore::TValidActions::FromMask(0x7FF)),
      ValidViews_(rulecore::TValidViews::FromMask(0xF)) {
  OnError = [this](const std::string& Message) { QMessageBox::critical(this, windowTitle(), ToQt(Message)); };
  OnFileName = [this](bool Save) {
    const QString Name = Save ? QFileDialog::getSaveFileName(this, "Save As", ToQt(FileName_), QtFileFilter())
                              : QFileDialog::getOpenFileName(this, "Open", ToQt(FileName_), QtFileFilter());
    return FromQt(Name);
  };
  BuildWindow();
  BuildCommands();
  if (Dialog_) {
    // The user works on a copy: the console's handlers see it filled.
    Private_ = NewEngineLike(HostEngine);
    Engine_ = Private_.get();
    InstallHandlers(*Private_);
    Private_->SetDialogs(Dialogs_.get());
    Private_->Assign(HostEngine);
  } else {
    // The holder starts with every handler of the host, so that events the console does not
    // watch keep reaching the host; the console's own handlers then take the place of those it
    // watches, and the swap gives them to the host's engine.
    Holder_ = std::make_unique<TInferenceEngine>(nullptr, TInferenceEngine::TBare{});
    for (const platform::TPropInfo* Prop : platform::GetPropList(TInferenceEngine::StaticClass()))
      if (Prop->Kind == platform::pkEvent && Prop->Set) Prop->Set(*Holder_, Prop->Get(HostEngine));
    InstallHandlers(*Holder_);
    platform::SwapEvents(HostEngine, *Holder_);
    Holder_->SetDialogs(HostEngine.GetDialogsService());
    HostEngine.SetDialogs(Dialogs_.get());
    Swapped_ = true;
    setAttribute(Qt::WA_DeleteOnClose);
  }
  for (int V = 0; V < 4; ++V) RefillView(static_cast<rulecore::TValidView>(V));
  UpdateRunActions(Engine_->GetAgendaCount() > 0);
  UpdateCommandVisibility();
}

TConsoleWindow::~TConsoleWindow() {
  SwapHandlersBack();
  if (Private_) Private_->SetDialogs(nullptr);
}

void TConsoleWindow::SwapHandlersBack() {
  if (!Swapped_) return;
  Swapped_ = false;
  platform::SwapEvents(*Host_, *Holder_);
  Host_->SetDialogs(Holder_->GetDialogsService());
  Holder_->SetDialogs(nullptr);
}

void TConsoleWindow::BuildWindow() {
  setWindowTitle("Console Editor");
  const QFont Fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  Output_ = new QPlainTextEdit;
  Output_->setReadOnly(true);
  Output_->setFont(Fixed);
  Output_->setLineWrapMode(QPlainTextEdit::NoWrap);
  Input_ = new QPlainTextEdit;
  Input_->setFont(Fixed);
  Input_->setPlaceholderText("Rule-language input; Ctrl+Enter submits");
  auto* SubmitButton = new QPushButton("Su&bmit");
  connect(SubmitButton, &QPushButton::clicked, this, [this] { Submit(); });
  for (auto Key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* Shortcut = new QShortcut(QKeySequence(Qt::CTRL | Key), Input_);
    Shortcut->setContext(Qt::WidgetShortcut);
    connect(Shortcut, &QShortcut::activated, this, [this] { Submit(); });
  }

  auto* InputRow = new QWidget;
  auto* InputLayout = new QHBoxLayout(InputRow);
  InputLayout->setContentsMargins(0, 0, 0, 0);
  InputLayout->addWidget(Input_, 1);
  InputLayout->addWidget(SubmitButton, 0, Qt::AlignTop);
  auto* Text = new QSplitter(Qt::Vertical);
  Text->addWidget(Output_);
  Text->addWidget(InputRow);
  Text->setStretchFactor(0, 4);
  Text->setStretchFactor(1, 1);

  Agenda_ = new TAgendaListModel(this);
  Facts_ = new TKeyedListModel(this);
  Templates_ = new TKeyedListModel(this);
  Rules_ = new TKeyedListModel(this);
  QAbstractItemModel* Models[4] = {Agenda_, Facts_, Templates_, Rules_};
  Views_ = new QSplitter(Qt::Vertical);
  for (int V = 0; V < 4; ++V) {
    ViewPanes_[V] = new QWidget;
    auto* Pane = new QVBoxLayout(ViewPanes_[V]);
    Pane->setContentsMargins(0, 0, 0, 0);
    ViewLabels_[V] = new QLabel(ViewTitles[V]);
    ViewWidgets_[V] = new QListView;
    ViewWidgets_[V]->setModel(Models[V]);
    ViewWidgets_[V]->setFont(Fixed);
    ViewWidgets_[V]->setUniformItemSizes(true);  // a long list is laid out without measuring every row
    ViewWidgets_[V]->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Pane->addWidget(ViewLabels_[V]);
    Pane->addWidget(ViewWidgets_[V], 1);
    Views_->addWidget(ViewPanes_[V]);
  }

  auto* Main = new QSplitter(Qt::Horizontal);
  Main->addWidget(Text);
  Main->addWidget(Views_);
  Main->setStretchFactor(0, 3);
  Main->setStretchFactor(1, 2);

  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(Main, 1);
  if (Dialog_) {
    auto* Box = new QDialogButtonBox;
    OkButton_ = Box->addButton(QDialogButtonBox::Ok);
    CancelButton_ = Box->addButton(QDialogButtonBox::Cancel);
    OkButton_->setAutoDefault(false);
    CancelButton_->setAutoDefault(false);
    connect(Box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Layout->addWidget(Box);
  }
  resize(1000, 640);
}

void TConsoleWindow::BuildCommands() {
  auto* Bar = new QMenuBar(this);
  layout()->setMenuBar(Bar);
  QMenu* File = Bar->addMenu("&File");
  QMenu* Edit = Bar->addMenu("&Edit");
  QMenu* Engine = Bar->addMenu("&Inference Engine");
  QMenu* Placement[ccCommandCount] = {File, File, File, File, Edit, Edit, Edit, Edit, Engine, Engine, Engine,
                                      Edit, Edit, Edit, File};
  for (int C = 0; C < ccCommandCount; ++C) {
    const auto Command = static_cast<TConsoleCommand>(C);
    if (Command == ccClearOutput || Command == ccExit) Placement[C]->addSeparator();
    QAction* Action = Placement[C]->addAction(Info(Command).Text);
    Action->setShortcut(Info(Command).Keys);
    connect(Action, &QAction::triggered, this, [this, Command] { RunCommand(Command); });
    Actions_[C] = Action;
    // A command whose entry is hidden still answers its keys when cheats are allowed.
    if (C <= rulecore::vaIEReset && !Info(Command).Keys.isEmpty()) {
      Cheats_[C] = new QShortcut(Info(Command).Keys, this);
      Cheats_[C]->setEnabled(false);
      connect(Cheats_[C], &QShortcut::activated, this, [this, Command] { RunCommand(Command); });
    }
  }
}

// =============================================================================================
// Event handlers
// =============================================================================================

void TConsoleWindow::InstallHandlers(TInferenceEngine& Target) {
  // Each handler does the console's work, then passes the event on to the handler the holder
  // keeps for the host (modeless mode), with the same arguments.
  Target.OnPrintOut = [this](TInferenceEngine* Sender, const std::string& OutID, const std::string& Text) {
    LastLine_ = TrimRight(Text);
    AddOutputLine(LastLine_);
    if (Holder_ && Holder_->OnPrintOut) Holder_->OnPrintOut(Sender, OutID, Text);
  };
  Target.OnReadLine = [this](TInferenceEngine* Sender, const std::string& InID, std::string& Text) {
    Text = AskInput("Enter line:");
    if (Holder_ && Holder_->OnReadLine) Holder_->OnReadLine(Sender, InID, Text);
  };
  Target.OnReadToken = [this](TInferenceEngine* Sender, const std::string& InID, rulecore::IStreamToken& Token) {
    const std::string Answer = AskInput("Enter token:");
    Token = rulecore::IStreamToken(new rulecore::TIEStreamToken());
    Token->SetValue(Engine_->ParseValue(Answer));
    if (Holder_ && Holder_->OnReadToken) Holder_->OnReadToken(Sender, InID, Token);
  };
  Target.OnAddActivation = [this](TInferenceEngine* Sender, int Index, rulecore::TActivation* Activation) {
    if (Shown(rulecore::vvAgenda)) Agenda_->Touch();
    UpdateRunActions(true);
    if (Holder_ && Holder_->OnAddActivation) Holder_->OnAddActivation(Sender, Index, Activation);
  };
  Target.OnRemoveActivation = [this](TInferenceEngine* Sender, int Index, rulecore::TActivation* Activation) {
    if (Shown(rulecore::vvAgenda)) Agenda_->Touch();
    // Told before the activation leaves.
    UpdateRunActions(Engine_->GetAgendaCount() > 1);
    if (Holder_ && Holder_->OnRemoveActivation) Holder_->OnRemoveActivation(Sender, Index, Activation);
  };
  Target.OnAddRule = [this](TInferenceEngine* Sender, rulecore::TRule* Rule) {
    if (Shown(rulecore::vvRules) && Rule) {
      const int64_t Key = NextRuleKey_++;
      RuleKeys_[Rule->GetRuleName()] = Key;
      Rules_->Put(Key, RuleEntry(*Rule));
    }
    if (Holder_ && Holder_->OnAddRule) Holder_->OnAddRule(Sender, Rule);
  };
  Target.OnRemoveRule = [this](TInferenceEngine* Sender, rulecore::TRule* Rule) {
    if (Shown(rulecore::vvRules) && Rule) {
      if (auto It = RuleKeys_.find(Rule->GetRuleName()); It != RuleKeys_.end()) {
        Rules_->Remove(It->second);
        RuleKeys_.erase(It);
      }
    }
    if (Holder_ && Holder_->OnRemoveRule) Holder_->OnRemoveRule(Sender, Rule);
  };
  Target.OnNewFactTemplate = [this](TInferenceEngine* Sender, const rulecore::IFactTemplate& Template) {
    if (Shown(rulecore::vvFactTemplates) && Template) {
      Template->SetTag(TemplateCounter_);
      Templates_->Put(TemplateCounter_, Template);
      ++TemplateCounter_;
    }
    if (Holder_ && Holder_->OnNewFactTemplate) Holder_->OnNewFactTemplate(Sender, Template);
  };
  Target.OnRemoveFactTemplate = [this](TInferenceEngine* Sender, const rulecore::IFactTemplate& Template) {
    if (Shown(rulecore::vvFactTemplates) && Template) Templates_->Remove(Template->GetTag());
    if (Holder_ && Holder_->OnRemoveFactTemplate) Holder_->OnRemoveFactTemplate(Sender, Template);
  };
  Target.OnClearFactTemplates = [this](TInferenceEngine* Sender) {
    if (Shown(rulecore::vvFactTemplates)) {
      Templates_->Clear();
      TemplateCounter_ = 0;
    }
    if (Holder_ && Holder_->OnClearFactTemplates) Holder_->OnClearFactTemplates(Sender);
  };
  Target.OnAssertion = [this](TInferenceEngine* Sender, const rulecore::IFact& Fact) {
    if (Shown(rulecore::vvFacts) && Fact) Facts_->Put(Fact->GetID(), Fact);
    if (Holder_ && Holder_->OnAssertion) Holder_->OnAssertion(Sender, Fact);
  };
  Target.OnRetraction = [this](TInferenceEngine* Sender, const rulecore::IFact& Fact) {
    if (Shown(rulecore::vvFacts) && Fact) Facts_->Remove(Fact->GetID());
    if (Holder_ && Holder_->OnRetraction) Holder_->OnRetraction(Sender, Fact);
  };
  Target.OnClearFacts = [this](TInferenceEngine* Sender) {
    if (Shown(rulecore::vvFacts)) Facts_->Clear();
    if (Holder_ && Holder_->OnClearFacts) Holder_->OnClearFacts(Sender);
  };
  Target.OnClearRules = [this](TInferenceEngine* Sender) {
    if (Shown(rulecore::vvRules)) {
      Rules_->Clear();
      RuleKeys_.clear();
    }
    if (Holder_ && Holder_->OnClearRules) Holder_->OnClearRules(Sender);
  };
  Target.OnClear = [this](TInferenceEngine* Sender) {
    if (Shown(rulecore::vvAgenda)) Agenda_->Touch();
    UpdateRunActions(false);
    if (Holder_ && Holder_->OnClear) Holder_->OnClear(Sender);
  };
}

// A view made visible is filled from the engine as it stands.
void TConsoleWindow::RefillView(rulecore::TValidView View) {
  if (!Shown(View)) return;
  TInferenceEngine& E = *Engine_;
  switch (View) {
    case rulecore::vvAgenda: Agenda_->SetEngine(&E); break;
    case rulecore::vvFacts:
      Facts_->Clear();
      for (const rulecore::IFact& Fact : E.GetFacts().Items()) Facts_->Put(Fact->GetID(), Fact);
      break;
    case rulecore::vvFactTemplates:
      Templates_->Clear();
      TemplateCounter_ = 0;
      for (const auto& [Name, Template] : E.GetFactTemplates()) {
        Template->SetTag(TemplateCounter_);
        Templates_->Put(TemplateCounter_++, Template);
      }
      break;
    case rulecore::vvRules:
      Rules_->Clear();
      RuleKeys_.clear();
      for (const auto& [Name, Rule] : E.GetRules()) {
        RuleKeys_[Name] = NextRuleKey_;
        Rules_->Put(NextRuleKey_++, RuleEntry(*Rule));
      }
      break;
  }
}

// =============================================================================================
// Views and commands
// =============================================================================================

void TConsoleWindow::SetValidViews(rulecore::TValidViews Value) {
  const rulecore::TValidViews Old = ValidViews_;
  if (Old.Mask() == 0xF) {
    const QList<int> Sizes = Views_->sizes();
    for (int V = 0; V < 4 && V < Sizes.size(); ++V) SavedHeights_[V] = Sizes[V];
  }
  ValidViews_ = Value;
  for (int V = 0; V < 4; ++V) {
    const auto View = static_cast<rulecore::TValidView>(V);
    if (Value.Contains(View) && !Old.Contains(View)) RefillView(View);
  }
  LayoutViews();
}

void TConsoleWindow::LayoutViews() {
  for (int V = 0; V < 4; ++V) ViewPanes_[V]->setVisible(Shown(static_cast<rulecore::TValidView>(V)));
  Views_->setVisible(ValidViews_.Mask() != 0);
  if (ValidViews_.Mask() == 0xF && SavedHeights_[0] + SavedHeights_[1] + SavedHeights_[2] + SavedHeights_[3] > 0)
    Views_->setSizes({SavedHeights_[0], SavedHeights_[1], SavedHeights_[2], SavedHeights_[3]});
}

bool TConsoleWindow::IsViewShown(rulecore::TValidView View) const {
  return Shown(View) && !ViewPanes_[View]->isHidden();
}

int TConsoleWindow::ViewHeight(rulecore::TValidView View) const {
  return IsViewShown(View) ? Views_->sizes().value(static_cast<int>(View)) : 0;
}

QStringList TConsoleWindow::ViewLines(rulecore::TValidView View) const {
  if (!Shown(View)) return {};
  TLiveListModel* Models[4] = {Agenda_, Facts_, Templates_, Rules_};
  return Models[View]->Texts();
}

void TConsoleWindow::SetAllowCheats(bool Value) {
  AllowCheats_ = Value;
  UpdateCommandVisibility();
}

void TConsoleWindow::SetValidActions(rulecore::TValidActions Value) {
  ValidActions_ = Value;
  UpdateCommandVisibility();
}

void TConsoleWindow::UpdateCommandVisibility() {
  for (int C = 0; C <= rulecore::vaIEReset; ++C) {
    const bool Visible = ValidActions_.Contains(static_cast<rulecore::TValidAction>(C));
    Actions_[C]->setVisible(Visible);
    if (Cheats_[C]) Cheats_[C]->setEnabled(!Visible && AllowCheats_);
  }
  Actions_[ccExit]->setVisible(Dialog_);
}

void TConsoleWindow::UpdateRunActions(bool HasActivations) {
  Actions_[ccRun]->setEnabled(HasActivations);
  Actions_[ccRunOneStep]->setEnabled(HasActivations);
}

template <class F>
void TConsoleWindow::Guarded(F&& Work) {
  ++Busy_;
  try {
    Work();
  } catch (const platform::EAbort&) {
    // A cancelled input request: the command stops without a message.
  } catch (const std::exception& Error) {
    --Busy_;
    ShowError(Error.what());
    return;
  }
  --Busy_;
}

void TConsoleWindow::ShowError(const std::string& Message) {
  if (OnError) OnError(Message);
}

bool TConsoleWindow::RunCommand(TConsoleCommand Command) {
  if (Command < 0 || Command >= ccCommandCount) return false;
  if (Command <= ccReset && !ValidActions_.Contains(static_cast<rulecore::TValidAction>(Command)) && !AllowCheats_)
    return false;
  if (Command == ccExit && !Dialog_) return false;
  auto EditWith = [this](auto Dialog) {
    Dialog.SetEngine(Engine_);
    Dialog.Execute();
  };
  Guarded([&] {
    switch (Command) {
      case ccNew:
        Output_->clear();
        Engine_->Clear();
        break;
      case ccOpen: {
        const std::string Name = OnFileName ? OnFileName(false) : std::string();
        if (Name.empty()) break;
        Engine_->Clear();
        LoadFile(Name);
        break;
      }
      case ccSave:
      case ccSaveAs: {
        std::string Name = FileName_;
        if (Command == ccSaveAs || Name.empty()) Name = OnFileName ? OnFileName(true) : std::string();
        if (Name.empty()) break;
        Engine_->SaveToFile(Name);
        FileName_ = Name;
        break;
      }
      case ccTypes: EditWith(TDefinedTypesDialog()); break;
      case ccFacts: EditWith(TFactsDialog()); break;
      case ccFactTemplates: EditWith(TFactTemplatesDialog()); break;
      case ccRules: EditWith(TRulesDialog()); break;
      case ccRun: Engine_->Run(); break;
      case ccRunOneStep: Engine_->Run(1); break;
      case ccReset: Engine_->Reset(); break;
      case ccClearOutput: Output_->clear(); break;
      case ccFind: {
        bool Ok = false;
        const QString Text = QInputDialog::getText(this, "Find", "Find what:", QLineEdit::Normal, ToQt(FindText_), &Ok);
        if (Ok && !Text.isEmpty()) Find(FromQt(Text));
        break;
      }
      case ccFindAgain: FindAgain(); break;
      case ccExit: reject(); break;
      case ccCommandCount: break;
    }
  });
  return true;
}

// =============================================================================================
// Input and output
// =============================================================================================

void TConsoleWindow::SetInputText(const std::string& Text) { Input_->setPlainText(ToQt(Text)); }

bool TConsoleWindow::LoadFile(const std::string& FileName) {
  bool Loaded = false;
  FileName_ = FileName;
  Guarded([&] {
    Engine_->LoadFromFile(FileName);
    Loaded = true;
  });
  return Loaded;
}

void TConsoleWindow::Submit() {
  const std::string Text = FromQt(Input_->toPlainText());
  if (EchoInput_) {
    const QStringList Lines = ToQt(Text).split('\n');
    for (qsizetype I = 0; I < Lines.size(); ++I) {
      std::string Line = FromQt(Lines[I]);
      if (!Line.empty() && Line.back() == '\r') Line.pop_back();
      AddOutputLine(I == 0 ? InputCursor_ + " " + Line : Line);
    }
  }
  Guarded([&] { Engine_->Parse(Text, true); });
  // Typing replaces what was submitted.
  Input_->selectAll();
  Input_->setFocus();
}

void TConsoleWindow::AddOutputLine(const std::string& Line) { Output_->appendPlainText(ToQt(Line)); }

std::string TConsoleWindow::OutputText() const { return FromQt(Output_->toPlainText()); }

std::string TConsoleWindow::AskInput(const char* Caption) {
  bool Ok = false;
  const QString Answer = QInputDialog::getText(this, Caption, ToQt(LastLine_), QLineEdit::Normal, QString(), &Ok);
  if (!Ok) throw platform::EAbort();
  const std::string Text = FromQt(Answer);
  AddOutputLine(Text);
  return Text;
}

bool TConsoleWindow::Find(const std::string& Text) {
  FindText_ = Text;
  if (Text.empty()) return false;
  if (Output_->find(ToQt(Text))) return true;
  // From the top once more.
  QTextCursor Start = Output_->textCursor();
  Start.movePosition(QTextCursor::Start);
  Output_->setTextCursor(Start);
  return Output_->find(ToQt(Text));
}

bool TConsoleWindow::FindAgain() { return Find(FindText_); }

// =============================================================================================
// Closing
// =============================================================================================

void TConsoleWindow::done(int Result) {
  // An input box opened by a running command must be answered first.
  if (Busy_ > 0) return;
  if (Dialog_ && Result == QDialog::Accepted) {
    bool Committed = false;
    Guarded([&] {
      Host_->Assign(*Private_);
      Committed = true;
    });
    if (!Committed) return;
  }
  if (!Dialog_) SwapHandlersBack();
  QDialog::done(Result);
}

void TConsoleWindow::closeEvent(QCloseEvent* Event) {
  if (Busy_ > 0) {
    Event->ignore();
    return;
  }
  if (!Dialog_) SwapHandlersBack();
  QDialog::closeEvent(Event);
}

}  // namespace ruleeditors
