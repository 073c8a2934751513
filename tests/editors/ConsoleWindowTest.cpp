// The console window driven as a user drives it: typed input, menu commands and their keys,
// modal and modeless use over a host's engine.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

#include "ModalDriver.h"
#include "core/engine/InferenceEngine.h"
#include "core/values/IEException.h"
#include "editors/ConsoleDialog.h"
#include "editors/ConsoleWindow.h"
#include "editors/FactsEditor.h"

using namespace rulecore;
using namespace ruleeditors;
using editortest::OnNextModal;

namespace {

std::vector<std::string> FactTexts(const TInferenceEngine& Engine) {
  std::vector<std::string> Out;
  for (const IFact& Fact : Engine.GetFacts().Items()) Out.push_back(Fact->GetToString());
  return Out;
}

bool HasFact(const TInferenceEngine& Engine, const std::string& Text) {
  for (const std::string& F : FactTexts(Engine))
    if (F == Text) return true;
  return false;
}

std::vector<std::string> Lines(const QStringList& List) {
  std::vector<std::string> Out;
  for (const QString& S : List) Out.push_back(S.toStdString());
  return Out;
}

// A modeless console on Engine, shown and active, its errors collected.
struct TOpenConsole {
  explicit TOpenConsole(TInferenceEngine& Engine, std::vector<std::string>* Errors = nullptr) {
    Window = new TConsoleWindow(Engine, false);
    Window->OnError = [Errors](const std::string& Message) {
      if (Errors) Errors->push_back(Message);
    };
    Window->show();
    QApplication::setActiveWindow(Window);
    (void)QTest::qWaitForWindowActive(Window);
  }
  ~TOpenConsole() { delete Window.data(); }
  void Type(const std::string& Text) {
    Window->SetInputText(Text);
    Window->Submit();
  }
  QPointer<TConsoleWindow> Window;
};

const char* const Counter = R"((deftemplate item (slot n (type INTEGER)))
(defrule count (item (n ?n&:(< ?n 3))) => (assert (item (n (+ ?n 1)))))
(deffacts start (item (n 0)))
)";

}  // namespace

TEST(ConsoleDialog, ModalCancelLosesTheChangesAndOkCommitsThem) {
  TInferenceEngine Host;
  TConsoleDialog Console;
  Console.SetEngine(&Host);
  ASSERT_TRUE(Console.GetDialog());

  bool Opened = false;
  OnNextModal<TConsoleWindow>(
      [](TConsoleWindow& W) {
        W.SetInputText("(assert (changed))");
        W.Submit();
        // The copy has the fact; the host does not, yet.
        EXPECT_TRUE(HasFact(W.Engine(), "(changed)"));
        W.reject();
      },
      &Opened);
  EXPECT_FALSE(Console.Execute());
  EXPECT_TRUE(Opened);
  EXPECT_FALSE(HasFact(Host, "(changed)"));

  Opened = false;
  OnNextModal<TConsoleWindow>(
      [&Host](TConsoleWindow& W) {
        EXPECT_NE(&W.Engine(), &Host);
        W.SetInputText("(deftemplate kept (slot a))\n(assert (kept (a 1)))");
        W.Submit();
        EXPECT_FALSE(HasFact(Host, "(kept (a 1))"));
        W.accept();
      },
      &Opened);
  EXPECT_TRUE(Console.Execute());
  EXPECT_TRUE(Opened);
  EXPECT_TRUE(HasFact(Host, "(kept (a 1))"));
  EXPECT_TRUE(Host.FindFactTemplate("kept"));
}

TEST(ConsoleDialog, ModelessHostHandlerHearsEveryLineAndComesBackOnClose) {
  TInferenceEngine Host;
  std::vector<std::string> HostLines;
  Host.OnPrintOut = [&](TInferenceEngine* Sender, const std::string&, const std::string& Text) {
    EXPECT_EQ(Sender, &Host);
    HostLines.push_back(Text);
  };
  int Fired = 0;
  Host.OnRuleFired = [&](TInferenceEngine*, TRule*) { ++Fired; };  // an event the console does not watch

  TConsoleDialog Console;
  Console.SetEngine(&Host);
  Console.SetDialog(false);
  ASSERT_TRUE(Console.Execute());
  TConsoleWindow* Window = Console.GetWindow();
  ASSERT_NE(Window, nullptr);
  EXPECT_EQ(&Window->Engine(), &Host);

  Window->SetInputText("(printout t \"one\" crlf)\n(defrule r (go) => (printout t \"fired\" crlf))\n(assert (go))\n(run)");
  Window->Submit();
  // Results echo as printed lines too.
  EXPECT_EQ(HostLines, (std::vector<std::string>{"one\r\n", "<Fact-1>\r\n", "fired\r\n", "1\r\n"}));
  EXPECT_EQ(Fired, 1);
  EXPECT_NE(Window->OutputText().find("\none\n<Fact-1>\nfired\n1"), std::string::npos) << Window->OutputText();
  EXPECT_EQ(Window->LastLine(), "1");

  Console.Close();
  EXPECT_EQ(Console.GetWindow(), nullptr);
  Host.PrintOut("t", "after\r\n");
  EXPECT_EQ(HostLines.back(), "after\r\n");
  Host.Reset();
  Host.Parse("(assert (go))", true);
  Host.Run();
  EXPECT_EQ(Fired, 2);
  EXPECT_EQ(HostLines.back(), "fired\r\n");

  // Closing the window itself puts the handlers back just the same.
  ASSERT_TRUE(Console.Execute());
  Console.GetWindow()->close();
  QApplication::processEvents();
  Host.PrintOut("t", "closed\r\n");
  EXPECT_EQ(HostLines.back(), "closed\r\n");
}

TEST(ConsoleDialog, PropertiesExecuteErrorsAndFreeNotification) {
  TConsoleDialog Console;
  EXPECT_EQ(Console.GetCaption(), "Console Editor");
  EXPECT_TRUE(Console.GetAllowCheats());
  EXPECT_TRUE(Console.GetEchoInput());
  EXPECT_EQ(Console.GetValidActions().Mask(), 2047u);
  EXPECT_EQ(Console.GetValidViews().Mask(), 15u);
  try {
    Console.Execute();
    ADD_FAILURE() << "no engine";
  } catch (const EIEException& Error) {
    EXPECT_STREQ(Error.what(), "Unknown/Undefined Inference Engine");
  }
  {
    TInferenceEngine Engine;
    Console.SetEngine(&Engine);
    Console.SetDialog(false);
    ASSERT_TRUE(Console.Execute());
    EXPECT_NE(Console.GetWindow(), nullptr);
  }  // the engine goes: the window closes first, the property empties
  EXPECT_EQ(Console.GetEngine(), nullptr);
  EXPECT_EQ(Console.GetWindow(), nullptr);
}

TEST(ConsoleWindow, OnlyTheFactsViewWhenValidViewsSaysSo) {
  TInferenceEngine Engine;
  TOpenConsole C(Engine);
  C.Window->SetValidViews(TValidViews{vvFacts});
  C.Type(Counter);
  C.Type("(reset)");
  EXPECT_TRUE(C.Window->IsViewShown(vvFacts));
  EXPECT_FALSE(C.Window->IsViewShown(vvAgenda));
  EXPECT_FALSE(C.Window->IsViewShown(vvRules));
  EXPECT_FALSE(C.Window->IsViewShown(vvFactTemplates));
  EXPECT_TRUE(C.Window->ViewLines(vvAgenda).isEmpty());  // not tracked
  EXPECT_EQ(Lines(C.Window->ViewLines(vvFacts)), (std::vector<std::string>{"(Initial-Fact)", "(item (n 0))"}));
  QApplication::processEvents();
  EXPECT_GT(C.Window->ViewHeight(vvFacts), 0);

  // Shown again, a view is filled from the engine as it stands.
  C.Window->SetValidViews(TValidViews::All());
  EXPECT_EQ(Lines(C.Window->ViewLines(vvAgenda)), (std::vector<std::string>{"0 count : f-1 (1.0000)"}));
  EXPECT_EQ(C.Window->ViewLines(vvRules).size(), 1);
}

TEST(ConsoleWindow, RunShortcutAnswersOnlyWhenAllowed) {
  TInferenceEngine Engine;
  TOpenConsole C(Engine);
  C.Type(Counter);
  C.Type("(reset)");
  ASSERT_EQ(Engine.GetAgendaCount(), 1);

  C.Window->SetValidActions(TValidActions::All() - TValidActions{vaIERun});
  C.Window->SetAllowCheats(false);
  EXPECT_FALSE(C.Window->CommandAction(ccRun)->isVisible());
  QTest::keyClick(C.Window, Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(Engine.GetAgendaCount(), 1);
  EXPECT_FALSE(C.Window->RunCommand(ccRun));
  EXPECT_EQ(Engine.GetAgendaCount(), 1);

  // Cheats: the hidden command still answers its keys.
  C.Window->SetAllowCheats(true);
  QTest::keyClick(C.Window, Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(Engine.GetAgendaCount(), 0);
  EXPECT_TRUE(HasFact(Engine, "(item (n 3))"));

  // A visible command answers through its menu entry's keys.
  C.Type("(reset)");
  C.Window->SetValidActions(TValidActions::All());
  C.Window->SetAllowCheats(false);
  QTest::keyClick(C.Window, Qt::Key_T, Qt::ControlModifier);  // Run One Step
  EXPECT_TRUE(HasFact(Engine, "(item (n 1))"));
  EXPECT_FALSE(HasFact(Engine, "(item (n 2))"));
}

TEST(ConsoleWindow, AgendaAndFactsViewsFollowARunStepByStep) {
  TInferenceEngine Engine;
  TOpenConsole C(Engine);
  C.Type(Counter);
  EXPECT_FALSE(C.Window->CommandAction(ccRun)->isEnabled());
  C.Window->RunCommand(ccReset);
  EXPECT_TRUE(C.Window->CommandAction(ccRun)->isEnabled());
  EXPECT_EQ(Lines(C.Window->ViewLines(vvAgenda)), (std::vector<std::string>{"0 count : f-1 (1.0000)"}));
  EXPECT_EQ(Lines(C.Window->ViewLines(vvFacts)), (std::vector<std::string>{"(Initial-Fact)", "(item (n 0))"}));
  EXPECT_EQ(Lines(C.Window->ViewLines(vvFactTemplates)).size(), Engine.GetFactTemplates().Count());
  for (int Step = 1; Step <= 3; ++Step) {
    C.Window->RunCommand(ccRunOneStep);
    const auto Facts = Lines(C.Window->ViewLines(vvFacts));
    ASSERT_EQ(Facts.size(), static_cast<size_t>(Step + 2));
    EXPECT_EQ(Facts.back(), "(item (n " + std::to_string(Step) + "))");
    const auto Agenda = Lines(C.Window->ViewLines(vvAgenda));
    if (Step < 3) {
      EXPECT_EQ(Agenda, (std::vector<std::string>{"0 count : f-" + std::to_string(Step + 1) + " (1.0000)"}));
      EXPECT_TRUE(C.Window->CommandAction(ccRunOneStep)->isEnabled());
    } else {
      EXPECT_TRUE(Agenda.empty());
      EXPECT_FALSE(C.Window->CommandAction(ccRunOneStep)->isEnabled());
    }
  }
  C.Type("(retract 1)");
  EXPECT_EQ(Lines(C.Window->ViewLines(vvFacts)).size(), 4u);
  C.Window->RunCommand(ccNew);
  EXPECT_TRUE(C.Window->ViewLines(vvFacts).isEmpty() || Lines(C.Window->ViewLines(vvFacts)).size() == 1u);
  EXPECT_TRUE(C.Window->ViewLines(vvRules).isEmpty());
  EXPECT_EQ(C.Window->OutputText(), "");
}

TEST(ConsoleWindow, EchoesInputAfterTheCursorAndReportsErrors) {
  TInferenceEngine Engine;
  std::vector<std::string> Errors;
  TOpenConsole C(Engine, &Errors);
  C.Window->SetInputCursor("CLIPS>");
  C.Type("(+ 1 2)\n(* 2 3)");
  EXPECT_EQ(C.Window->OutputText(), "CLIPS> (+ 1 2)\n(* 2 3)\n3\n6");
  EXPECT_TRUE(Errors.empty());
  C.Type("(no-such-function)");
  ASSERT_EQ(Errors.size(), 1u);
  // The console stays usable after an error.
  C.Window->SetEchoInput(false);
  C.Type("(+ 2 2)");
  EXPECT_EQ(C.Window->LastLine(), "4");
  // Find and Find Again walk the output, wrapping around.
  EXPECT_TRUE(C.Window->Find("(+"));
  EXPECT_TRUE(C.Window->FindAgain());
  EXPECT_FALSE(C.Window->Find("absent text"));
}

TEST(ConsoleWindow, InputBoxesAnswerReadAndCancelAbortsSilently) {
  TInferenceEngine Engine;
  std::vector<std::string> Errors;
  TOpenConsole C(Engine, &Errors);
  bool Asked = false;
  OnNextModal<QInputDialog>(
      [](QInputDialog& Box) {
        EXPECT_EQ(Box.windowTitle().toStdString(), "Enter line:");
        EXPECT_EQ(Box.labelText().toStdString(), "Your name?");
        Box.setTextValue("Ada Lovelace");
        Box.accept();
      },
      &Asked);
  C.Type("(printout t \"Your name?\" crlf)\n(printout t (str-cat \"Hello \" (readline)) crlf)");
  EXPECT_TRUE(Asked);
  EXPECT_EQ(C.Window->LastLine(), "Hello Ada Lovelace");

  Asked = false;
  OnNextModal<QInputDialog>(
      [](QInputDialog& Box) {
        EXPECT_EQ(Box.windowTitle().toStdString(), "Enter token:");
        Box.setTextValue("42");
        Box.accept();
      },
      &Asked);
  C.Type("(printout t (+ 1 (read)) crlf)");
  EXPECT_TRUE(Asked);
  EXPECT_EQ(C.Window->LastLine(), "43");

  OnNextModal<QInputDialog>([](QInputDialog& Box) { Box.reject(); });
  // The submitted input stops where it asked, without a message.
  C.Window->SetEchoInput(false);
  C.Type("(printout t \"got \" (readline) crlf)\n(printout t \"next\" crlf)");
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(C.Window->OutputText().find("got"), std::string::npos);
  EXPECT_EQ(C.Window->OutputText().find("next"), std::string::npos);
  C.Type("(printout t \"still here\" crlf)");
  EXPECT_EQ(C.Window->LastLine(), "still here");
}

// A user's session: load an example, reset, one step, run, add a fact in the facts editor.
TEST(ConsoleWindow, AUserSessionFromLoadToAnEditedFact) {
  TInferenceEngine Engine;
  TOpenConsole C(Engine);
  C.Window->SetInputCursor(">");
  C.Window->OnFileName = [](bool) { return std::string(EXAMPLES_DIR "/diagnosis.clp"); };
  ASSERT_TRUE(C.Window->RunCommand(ccOpen));
  C.Window->RunCommand(ccReset);
  C.Window->RunCommand(ccRunOneStep);
  C.Window->RunCommand(ccRun);
  const size_t FactsBefore = Engine.GetFacts().Count();

  bool Edited = false;
  OnNextModal<TFactsEditor>(
      [](TFactsEditor& Editor) {
        const int Index = Editor.AddFact("symptom");
        ASSERT_GE(Index, 0);
        EXPECT_TRUE(Editor.SetSlotText(Index, "name", "horn"));
        EXPECT_TRUE(Editor.SetSlotText(Index, "value", "silent"));
        EXPECT_FALSE(Editor.SetSlotText(Index, "value", "(unclosed"));
        Editor.accept();
      },
      &Edited);
  C.Window->RunCommand(ccFacts);
  EXPECT_TRUE(Edited);
  EXPECT_EQ(Engine.GetFacts().Count(), FactsBefore + 1);
  EXPECT_TRUE(HasFact(Engine, "(symptom (name horn) (value silent))"));
  EXPECT_EQ(Lines(C.Window->ViewLines(vvFacts)).back(), "(symptom (name horn) (value silent))");
  C.Type("(printout t \"done\" crlf)");
  std::ifstream Expected(EDITOR_TEST_DATA "/diagnosis_session.txt", std::ios::binary);
  const std::string Text((std::istreambuf_iterator<char>(Expected)), std::istreambuf_iterator<char>());
  EXPECT_EQ(C.Window->OutputText() + "\n", Text);
}

TEST(ConsoleWindow, DialogFunctionsUseQtDialogsWhileTheConsoleRuns) {
  TInferenceEngine Engine;
  TOpenConsole C(Engine);
  bool Shown = false;
  OnNextModal<QMessageBox>(
      [](QMessageBox& Box) {
        EXPECT_EQ(Box.text().toStdString(), "Saved");
        Box.accept();
      },
      &Shown);
  C.Type("(show-message \"Saved\")");
  EXPECT_TRUE(Shown);

  OnNextModal<QMessageBox>([](QMessageBox& Box) {
    EXPECT_EQ(Box.windowTitle().toStdString(), "Confirmation");
    ASSERT_NE(Box.button(QMessageBox::No), nullptr);
    EXPECT_EQ(Box.button(QMessageBox::Cancel), nullptr);
    Box.button(QMessageBox::No)->click();
  });
  C.Type("(printout t (message-dlg \"Go on?\" mtConfirmation \"[mbYes, mbNo]\") crlf)");
  EXPECT_EQ(C.Window->LastLine(), "mrNo");

  OnNextModal<QInputDialog>([](QInputDialog& Box) {
    EXPECT_EQ(Box.windowTitle().toStdString(), "Name");
    EXPECT_EQ(Box.textValue().toStdString(), "x");
    Box.setTextValue("Bo");
    Box.accept();
  });
  C.Type("(printout t (input-query \"Name\" \"Who?\" \"x\") crlf)");
  EXPECT_EQ(C.Window->LastLine(), "Bo");

  // Closed, the console takes its dialogs with it.
  delete C.Window.data();
  EXPECT_EQ(Engine.GetDialogsService(), nullptr);
}

TEST(ConsoleWindow, ViewsGetTheirHeightsBackWhenAllAreShownAgain) {
  TInferenceEngine Engine;
  TOpenConsole C(Engine);
  C.Window->resize(1000, 800);
  QApplication::processEvents();
  QSplitter* Views = nullptr;
  for (QSplitter* S : C.Window->findChildren<QSplitter*>())
    if (S->count() == 4) Views = S;
  ASSERT_NE(Views, nullptr);
  Views->setSizes({120, 260, 90, 180});
  QApplication::processEvents();
  int Before[4];
  for (int V = 0; V < 4; ++V) Before[V] = C.Window->ViewHeight(static_cast<TValidView>(V));
  EXPECT_LT(Before[0], Before[1]);

  C.Window->SetValidViews(TValidViews{vvRules});
  QApplication::processEvents();
  EXPECT_EQ(C.Window->ViewHeight(vvFacts), 0);
  EXPECT_GE(C.Window->ViewHeight(vvRules), Before[0] + Before[1] + Before[2] + Before[3] - 40);

  C.Window->SetValidViews(TValidViews::All());
  QApplication::processEvents();
  for (int V = 0; V < 4; ++V) EXPECT_EQ(C.Window->ViewHeight(static_cast<TValidView>(V)), Before[V]) << V;
}
