// The dialog components: their errors, their references, and what OK commits from each editor.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include <QApplication>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "ModalDriver.h"
#include "core/engine/InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/functions/IEPackages.h"
#include "core/network/IERule.h"
#include "editors/ConstructEditor.h"
#include "editors/EditorDialogs.h"
#include "editors/FactsEditor.h"
#include "editors/FunctionsEditor.h"
#include "platform/Properties.h"

using namespace rulecore;
using namespace ruleeditors;
using editortest::OnNextModal;

namespace {

std::string ErrorOf(TEditorDialog& Dialog) {
  try {
    Dialog.Execute();
  } catch (const platform::Exception& Error) {
    return Error.what();
  }
  return "(no error)";
}

bool HasFact(const TInferenceEngine& Engine, const std::string& Text) {
  for (const IFact& Fact : Engine.GetFacts().Items())
    if (Fact->GetToString() == Text) return true;
  return false;
}

const char* const Shop = R"((deftype price extends (type FLOAT) (range 0.0 1000.0))
(deftemplate item (slot name) (slot cost (type price)))
(defrule cheap "under ten" (item (name ?n) (cost ?c&:(< ?c 10.0))) => (printout t ?n " is cheap" crlf))
(defrule dear (item (name ?n) (cost ?c&:(>= ?c 10.0))) => (printout t ?n " is dear" crlf))
(deffacts stock (item (name pen) (cost 2.5)) (item (name lamp) (cost 40.0)))
)";

}  // namespace

TEST(EditorDialogs, ExecuteRefusesWhatIsMissing) {
  TFactsDialog Facts;
  TFactTemplatesDialog Templates;
  TRulesDialog Rules;
  TDefinedTypesDialog Types;
  TFunctionsDialog Functions;
  TFactSetDialog FactSet;
  for (TEditorDialog* D : std::initializer_list<TEditorDialog*>{&Facts, &Templates, &Rules, &Types, &Functions})
    EXPECT_EQ(ErrorOf(*D), "Unknown/Undefined Inference Engine") << D->ClassName();
  EXPECT_EQ(ErrorOf(FactSet), "Empty fact set property");
  TFactSet Orphan;
  FactSet.SetFactSet(&Orphan);
  EXPECT_EQ(ErrorOf(FactSet), "Unknown/Undefined Inference Engine");

  TInferenceEngine Engine;
  Rules.SetEngine(&Engine);
  Rules.SetMultiEdit(false);
  EXPECT_EQ(ErrorOf(Rules), "Missing Rule cannot be edited");
}

TEST(EditorDialogs, ReferencesEmptyWhenTheirTargetsGo) {
  TRulesDialog Rules;
  TFactSetDialog FactSet;
  TFunctionsDialog Functions;
  {
    TInferenceEngine Engine;
    Engine.Parse(Shop, false);
    Rules.SetEngine(&Engine);
    Rules.SetRule(Engine.GetRules().GetItem("cheap"));
    auto* Set = new TFactSet(&Engine);
    Set->SetEngine(&Engine);
    FactSet.SetFactSet(Set);
    auto* Package = new TUserPackage(&Engine);
    Functions.SetPackage(Package);
    EXPECT_EQ(Rules.GetRule()->GetRuleName(), "cheap");
    Engine.GetRules().Remove("cheap");
    EXPECT_EQ(Rules.GetRule(), nullptr);
    EXPECT_EQ(Rules.GetEngine(), &Engine);
  }
  EXPECT_EQ(Rules.GetEngine(), nullptr);
  EXPECT_EQ(FactSet.GetFactSet(), nullptr);
  EXPECT_EQ(Functions.GetPackage(), nullptr);

  // The published defaults.
  const auto Props = platform::GetPropList(TRulesDialog::StaticClass());
  std::string Names;
  for (const platform::TPropInfo* P : Props) Names += P->Name + (P->HasDefault ? "=d " : " ");
  EXPECT_EQ(Names, "Caption Engine Rule MultiEdit=d EnableFactTemplateEditor=d EnableTypeEditor=d ");
  EXPECT_TRUE(platform::FindClass("TConsoleDialog"));
  EXPECT_TRUE(platform::FindClass("TFactSetDialog"));
}

TEST(EditorDialogs, FactsEditorCommitsOnOkOnly) {
  TInferenceEngine Engine;
  Engine.Parse(Shop, false);
  Engine.Reset();
  TFactsDialog Dialog;
  Dialog.SetEngine(&Engine);

  OnNextModal<TFactsEditor>([](TFactsEditor& Editor) {
    Editor.DeleteFact(0);
    Editor.reject();
  });
  EXPECT_FALSE(Dialog.Execute());
  EXPECT_EQ(Engine.GetFacts().Count(), 3);

  OnNextModal<TFactsEditor>([](TFactsEditor& Editor) {
    ASSERT_EQ(Editor.Count(), 3);
    EXPECT_EQ(Editor.FactText(1), "(item (cost 2.5000) (name pen))");
    // The rows of the tree by fact index.
    auto RowsOf = [&Editor] {
      std::map<int, QTreeWidgetItem*> Rows;
      auto* Tree = Editor.findChild<QTreeWidget*>();
      for (QTreeWidgetItemIterator It(Tree); *It; ++It)
        if ((*It)->data(0, Qt::UserRole).isValid()) Rows[(*It)->data(0, Qt::UserRole).toInt()] = *It;
      return Rows;
    };
    const auto Before = RowsOf();
    EXPECT_TRUE(Editor.SetSlotText(1, "cost", "3.0"));
    EXPECT_FALSE(Editor.SetSlotText(1, "cost", "cheap"));  // not a price: refused, with the reason
    EXPECT_FALSE(Editor.ErrorText().empty());
    EXPECT_EQ(Editor.FactText(1), "(item (cost 3.0000) (name pen))");
    // An edit rewrites its own row's text and leaves the tree standing (no rebuild per cell).
    EXPECT_EQ(RowsOf(), Before);
    EXPECT_EQ(Before.at(1)->text(0).toStdString(), "(item (cost 3.0000) (name pen))");
    EXPECT_TRUE(Before.at(1)->isSelected());
    Editor.DeleteFact(2);
    EXPECT_EQ(Editor.AddFact("nosuch"), -1);
    const int Added = Editor.AddFact("item");
    EXPECT_TRUE(Editor.SetSlotText(Added, "name", "mug"));
    Editor.accept();
  });
  EXPECT_TRUE(Dialog.Execute());
  EXPECT_EQ(Engine.GetFacts().Count(), 3);
  EXPECT_TRUE(HasFact(Engine, "(item (cost 3.0000) (name pen))"));
  EXPECT_FALSE(HasFact(Engine, "(item (cost 40.0000) (name lamp))"));
  EXPECT_TRUE(HasFact(Engine, "(item (cost 0.0000) (name mug))"));
  // The committed facts took part in matching like any assertion.
  EXPECT_EQ(Engine.GetAgendaCount(), 2);
}

TEST(EditorDialogs, RulesEditorShowsParseErrorsAtTheirLineAndCommits) {
  TInferenceEngine Engine;
  Engine.Parse(Shop, false);
  TRulesDialog Dialog;
  Dialog.SetEngine(&Engine);

  OnNextModal<TConstructEditor>([](TConstructEditor& Editor) {
    ASSERT_EQ(Editor.Count(), 2);
    EXPECT_EQ(Editor.Name(0), "cheap");
    const int New = Editor.Add("(defrule broken\n  (item (name ?n))\n  =>\n  (printout t ?n crlf)");
    Editor.accept();  // refused: the new text does not read
    EXPECT_TRUE(Editor.isVisible());
    EXPECT_EQ(Editor.Current(), New);
    EXPECT_FALSE(Editor.ErrorText().empty());
    EXPECT_GE(Editor.ErrorLine(), 1);
    // An entry holds one construct: text after it is refused where it starts.
    Editor.SetText(New, "(defrule fixed\n  (item (name ?n))\n  =>\n  (printout t ?n crlf)) ; done\n(extra)");
    EXPECT_FALSE(Editor.Apply());
    EXPECT_EQ(Editor.ErrorText(), "Unexpected character found: \"(\"");
    EXPECT_EQ(Editor.ErrorLine(), 5);
    Editor.SetText(New, "(defrule fixed\n  (item (name ?n))\n  =>\n  (printout t ?n crlf))");
    Editor.Delete(1);  // dear
    Editor.accept();
  });
  EXPECT_TRUE(Dialog.Execute());
  EXPECT_TRUE(Engine.GetRules().GetItem("cheap"));
  EXPECT_TRUE(Engine.GetRules().GetItem("fixed"));
  EXPECT_FALSE(Engine.GetRules().GetItem("dear"));

  // One rule: the window holds only it, and OK assigns the edited text to the same rule.
  TRule* Cheap = Engine.GetRules().GetItem("cheap");
  Dialog.SetMultiEdit(false);
  Dialog.SetRule(Cheap);
  OnNextModal<TConstructEditor>([](TConstructEditor& Editor) {
    ASSERT_EQ(Editor.Count(), 1);
    Editor.SetText(0, "(defrule cheap \"under five\" (item (name ?n) (cost ?c&:(< ?c 5.0))) => (printout t ?n crlf))");
    Editor.accept();
  });
  EXPECT_TRUE(Dialog.Execute());
  EXPECT_EQ(Engine.GetRules().GetItem("cheap"), Cheap);
  EXPECT_EQ(Cheap->GetComment(), "under five");
  EXPECT_EQ(Engine.GetRules().Count(), 2);
}

TEST(EditorDialogs, TemplatesAndTypesEditorsCommitTheirConstructs) {
  TInferenceEngine Engine;
  Engine.Parse(Shop, false);
  TFactTemplatesDialog Templates;
  Templates.SetEngine(&Engine);
  OnNextModal<TConstructEditor>([](TConstructEditor& Editor) {
    EXPECT_EQ(Editor.Kind(), TConstructKind::FactTemplates);
    Editor.Add("(deftemplate order (slot id (type INTEGER)) (multislot items))");
    Editor.accept();
  });
  EXPECT_TRUE(Templates.Execute());
  ASSERT_TRUE(Engine.FindFactTemplate("order"));
  EXPECT_TRUE(Engine.FindFactTemplate("item"));

  TDefinedTypesDialog Types;
  Types.SetEngine(&Engine);
  OnNextModal<TConstructEditor>([](TConstructEditor& Editor) {
    ASSERT_EQ(Editor.Count(), 1);
    Editor.Add("(deftype colour extends (type SYMBOL) (allowed-symbols red green))");
    Editor.accept();
  });
  EXPECT_TRUE(Types.Execute());
  EXPECT_TRUE(Engine.GetDefinedTypes().GetItem("colour"));
  EXPECT_TRUE(Engine.GetDefinedTypes().GetItem("price"));
}

TEST(EditorDialogs, FactSetEditorReadsEachFactBackIntoTheSet) {
  TInferenceEngine Engine;
  Engine.Parse(Shop, false);
  auto* Set = new TFactSet(&Engine);
  Set->SetEngine(&Engine);
  Set->SetFacts({"(item (name cup) (cost 1.5))"});
  TFactSetDialog Dialog;
  Dialog.SetFactSet(Set);
  OnNextModal<TFactsEditor>([](TFactsEditor& Editor) {
    ASSERT_EQ(Editor.Count(), 1);
    const int Added = Editor.AddFact("item");
    Editor.SetSlotText(Added, "name", "saucer");
    Editor.accept();
  });
  EXPECT_TRUE(Dialog.Execute());
  ASSERT_EQ(Set->GetCount(), 2);
  EXPECT_EQ(Set->GetFact(1)->GetToString(), "(item (cost 0.0000) (name saucer))");
  EXPECT_EQ(Set->GetFact(0)->GetTemplate().get(), Engine.FindFactTemplate("item").get());
}

TEST(EditorDialogs, FunctionsEditorCommitsTheEditedList) {
  TInferenceEngine Engine;
  TUserPackage* Package = nullptr;
  for (int I = 0; I < Engine.GetComponentCount(); ++I)
    if (auto* P = dynamic_cast<TUserPackage*>(Engine.GetComponent(I)); P && P->GetFunctions().Count() > 2) {
      Package = P;
      break;
    }
  ASSERT_NE(Package, nullptr);
  const int Before = Package->GetFunctions().Count();
  const std::string First = Package->GetFunctions().Item(0)->GetFunctionName();
  TFunctionsDialog Dialog;
  Dialog.SetPackage(Package);
  OnNextModal<TFunctionsEditor>([](TFunctionsEditor& Editor) {
    Editor.Delete(0);
    Editor.SetHelp(0, "edited help");
    Editor.reject();
  });
  EXPECT_FALSE(Dialog.Execute());
  EXPECT_EQ(Package->GetFunctions().Count(), Before);
  OnNextModal<TFunctionsEditor>([](TFunctionsEditor& Editor) {
    Editor.Delete(0);
    Editor.SetHelp(0, "edited help");
    Editor.accept();
  });
  EXPECT_TRUE(Dialog.Execute());
  EXPECT_EQ(Package->GetFunctions().Count(), Before - 1);
  EXPECT_EQ(Package->GetFunctions().Item(0)->GetComment(), "edited help");
  EXPECT_EQ(Package->IndexOf(First), -1);
}

namespace {
QPushButton* ButtonNamed(QWidget& Window, const char* Text) {
  for (QPushButton* Button : Window.findChildren<QPushButton*>())
    if (Button->text() == Text) return Button;
  return nullptr;
}
}  // namespace

TEST(EditorDialogs, NestedTemplateEditorWorksOnTheSameCopy) {
  TInferenceEngine Engine;
  Engine.Parse(Shop, false);
  TFactsDialog Dialog;
  Dialog.SetEngine(&Engine);
  OnNextModal<TFactsEditor>([](TFactsEditor& Editor) {
    QPushButton* Templates = ButtonNamed(Editor, "Te&mplates...");
    ASSERT_NE(Templates, nullptr);
    OnNextModal<TConstructEditor>([](TConstructEditor& Nested) {
      Nested.Add("(deftemplate note (slot text (type STRING)))");
      Nested.accept();
    });
    Templates->click();
    const int Added = Editor.AddFact("note");
    ASSERT_GE(Added, 0);
    EXPECT_TRUE(Editor.SetSlotText(Added, "text", "\"hello\""));
    Editor.accept();
  });
  EXPECT_TRUE(Dialog.Execute());
  EXPECT_TRUE(Engine.FindFactTemplate("note"));
  EXPECT_TRUE(HasFact(Engine, "(note (text \"hello\"))"));

  // Without the template editor there is no way to it, and the templates are not committed.
  Dialog.SetEnableFactTemplateEditor(false);
  Dialog.SetEnableTypeEditor(false);
  OnNextModal<TFactsEditor>([](TFactsEditor& Editor) {
    EXPECT_EQ(ButtonNamed(Editor, "Te&mplates..."), nullptr);
    EXPECT_EQ(ButtonNamed(Editor, "&Types..."), nullptr);
    Editor.accept();
  });
  EXPECT_TRUE(Dialog.Execute());
  EXPECT_TRUE(HasFact(Engine, "(note (text \"hello\"))"));
}
