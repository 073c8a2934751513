// ruleworkbench: the desktop face of the engine.  Opens the interactive console window on a
// fresh engine, loading the rule-language files named on the command line into it.
//
//   ruleworkbench [FILE]...
//   ruleworkbench --screenshots DIR [FILE]...
//
// With --screenshots the program shows nothing: it loads the files (the diagnosis example when
// none is given), resets and runs one step, renders the console window and each editor window
// to PNG files in DIR, and exits.  Run it with QT_QPA_PLATFORM=offscreen on a machine without
// a display.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPointer>

#include "core/engine/InferenceEngine.h"
#include "core/functions/IEPackages.h"
#include "editors/ConsoleWindow.h"
#include "editors/ConstructEditor.h"
#include "editors/EditorEngine.h"
#include "editors/FactsEditor.h"
#include "editors/FunctionsEditor.h"

using namespace rulecore;
using namespace ruleeditors;

namespace {

constexpr const char* Usage =
    "Usage: ruleworkbench [--screenshots DIR] [FILE]...\n"
    "Open the console window on a new engine, loading each FILE into it.\n"
    "\n"
    "  --screenshots DIR   render the console and editor windows to PNG files in DIR and exit\n"
    "  --help              show this help and exit\n";

bool Save(QWidget& Window, const QDir& Dir, const char* Name) {
  Window.show();
  QApplication::processEvents();
  const QString Path = Dir.filePath(QString(Name) + ".png");
  const bool Saved = Window.grab().save(Path);
  std::printf("%s %s\n", Saved ? "wrote" : "could not write", Path.toUtf8().constData());
  Window.hide();
  return Saved;
}

// The package with the most functions (for the functions editor's picture).
const TUserPackage* LargestPackage(const TInferenceEngine& Engine) {
  const TUserPackage* Best = nullptr;
  for (int I = 0; I < Engine.GetComponentCount(); ++I)
    if (auto* Package = dynamic_cast<const TUserPackage*>(Engine.GetComponent(I)))
      if (!Best || Package->GetFunctions().Count() > Best->GetFunctions().Count()) Best = Package;
  return Best;
}

int Screenshots(const QString& DirName, std::vector<std::string> Files) {
  QDir Dir;
  if (!Dir.mkpath(DirName)) {
    std::fprintf(stderr, "ruleworkbench: cannot create %s\n", DirName.toUtf8().constData());
    return 1;
  }
  Dir.setPath(DirName);
  if (Files.empty()) Files.push_back(RULEWORKBENCH_EXAMPLES "/diagnosis.clp");
  bool Ok = true;

  TInferenceEngine Engine;
  {
    TConsoleWindow Console(Engine, false);
    Console.setAttribute(Qt::WA_DeleteOnClose, false);
    Console.SetInputCursor(">");
    for (const std::string& File : Files) Ok &= Console.LoadFile(File);
    Console.RunCommand(ccReset);
    Console.RunCommand(ccRunOneStep);
    Console.SetInputText("(facts)");
    Console.Submit();
    Console.resize(1100, 700);
    Ok &= Save(Console, Dir, "console");
    Console.SetValidViews(TValidViews{vvFacts});
    Ok &= Save(Console, Dir, "console-facts-view");
  }

  TFactsEditor Facts(Engine, {});
  Facts.Select(std::min(3, Facts.Count() - 1));
  Ok &= Save(Facts, Dir, "facts-editor");
  TConstructEditor Templates(TConstructKind::FactTemplates, Engine, {});
  Templates.Select(std::min(1, Templates.Count() - 1));
  Ok &= Save(Templates, Dir, "fact-templates-editor");
  TConstructEditor Rules(TConstructKind::Rules, Engine, {});
  Rules.Select(0);
  // A text that does not read, to show where the error is marked.
  Rules.SetText(0, Rules.Text(0) + "\n  (extra");
  Rules.Apply();
  Ok &= Save(Rules, Dir, "rules-editor");

  // The fuzzy fan controller has defined types.
  TInferenceEngine Fuzzy;
  try {
    Fuzzy.LoadFromFile(RULEWORKBENCH_EXAMPLES "/fan_controller.clp");
  } catch (const std::exception& Error) {
    std::fprintf(stderr, "ruleworkbench: %s\n", Error.what());
    Ok = false;
  }
  TConstructEditor Types(TConstructKind::DefinedTypes, Fuzzy, {});
  Types.Select(0);
  Ok &= Save(Types, Dir, "defined-types-editor");
  if (const TUserPackage* Package = LargestPackage(Engine)) {
    TFunctionsEditor Functions(*Package);
    Ok &= Save(Functions, Dir, "functions-editor");
  }
  return Ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  QApplication::setApplicationName("ruleworkbench");
  std::vector<std::string> Files;
  QString ShotsDir;
  for (int I = 1; I < argc; ++I) {
    if (std::strcmp(argv[I], "--help") == 0) {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (std::strcmp(argv[I], "--screenshots") == 0) {
      if (I + 1 >= argc) {
        std::fputs(Usage, stderr);
        return 2;
      }
      ShotsDir = QString::fromLocal8Bit(argv[++I]);
      continue;
    }
    Files.emplace_back(argv[I]);
  }
  if (!ShotsDir.isEmpty()) return Screenshots(ShotsDir, Files);

  // The window frees itself when closed, which ends the program; the engine outlives it.
  auto Engine = std::make_unique<TInferenceEngine>();
  QPointer<TConsoleWindow> Console = new TConsoleWindow(*Engine, false);
  Console->setWindowTitle("Rule Workbench");
  Console->show();
  for (const std::string& File : Files) Console->LoadFile(File);
  const int Code = QApplication::exec();
  delete Console.data();  // the window goes before the engine it works on
  return Code;
}
