// ruleconsole: loads rule-language files into one engine, runs their top-level commands, and
// offers an interactive console.
//
//   ruleconsole [-e TEXT]... [-i] [FILE]...
//
// Everything the engine prints to "t" goes to standard output unchanged; "read" and "readline"
// read standard input (through the line editor in an interactive terminal, with the question
// just printed as its prompt), and end of input reads as EOF.  An uncaught error is written to
// standard error and the exit code is 1.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "ConsoleInput.h"
#include "core/engine/InferenceEngine.h"
#include "core/language/IETokenizer.h"
#include "platform/Exceptions.h"

using namespace rulecore;

namespace {

constexpr const char* Usage =
    "Usage: ruleconsole [options] [FILE]...\n"
    "Load each FILE as rule-language text, running its top-level commands in order.\n"
    "\n"
    "  -e TEXT     parse and run TEXT after the files (may be repeated)\n"
    "  -i          enter the interactive console after the files and texts\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Without FILE and -e the console is interactive. (exit) or end of input leaves it.\n";

bool ReadFile(const std::string& Name, std::string& Text) {
  std::ifstream In(Name, std::ios::binary);
  if (!In) return false;
  // Room for the whole file at once where its size is known: growing the text by doubling left
  // up to as much again unused while the file was parsed.
  In.seekg(0, std::ios::end);
  const std::streamoff Size = In.tellg();
  In.seekg(0, std::ios::beg);
  if (Size > 0 && In) {
    Text.resize(static_cast<size_t>(Size));
    In.read(Text.data(), Size);
    Text.resize(static_cast<size_t>(In.gcount()));
    if (In.gcount() < Size) return true;
  }
  // What follows (all of a stream without a known size): read to the end.
  In.clear();
  Text.append(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
  return true;
}

// Runs Text; false when the text asked to leave ((exit)).
bool Execute(TInferenceEngine& Engine, std::string Text) {
  try {
    Engine.Parse(std::move(Text), true);
  } catch (const platform::EAbort&) {
    return false;
  }
  std::fflush(stdout);
  return true;
}

// The console's end of an engine: its output on standard output, its input from standard input,
// both for commands typed at the prompt and for the answers "read" and "readline" ask for.
class TConsole {
 public:
  explicit TConsole(TInferenceEngine& Engine) : Input(isatty(STDIN_FILENO) != 0) {
    Engine.OnPrintOut = [this](TInferenceEngine*, const std::string& OutID, const std::string& Text) {
      if (OutID.empty() || OutID == "t") Print(Text);
    };
    // An empty line and the end of input both read as EOF.
    Engine.OnReadLine = [this](TInferenceEngine*, const std::string&, std::string& Text) {
      if (!Input.ReadAnswer(Question_, Text)) Text.clear();
      Question_.clear();
    };
    // The first token of the next line that has one; nothing (EOF) at the end of input.
    Engine.OnReadToken = [this](TInferenceEngine* Sender, const std::string&, IStreamToken& Token) {
      Token = nullptr;
      for (std::string Line; !Token && Input.ReadAnswer(Question_, Line);) {
        Question_.clear();
        TIEClipsStream Words(platform::InMemory, Line);
        Words.SetSymbolGenerator(Sender);
        IStreamToken First = Words.NextToken();
        if (!First->IsEndOfStream()) Token = First;
      }
      Question_.clear();
    };
  }

  TConsoleInput Input;

 private:
  void Print(const std::string& Text) {
    std::fwrite(Text.data(), 1, Text.size(), stdout);
    // The text since the last line end is the question an input request answers.
    const size_t End = Text.find_last_of('\n');
    if (End != std::string::npos) Question_.clear();
    for (char C : Text.substr(End == std::string::npos ? 0 : End + 1))
      if (C != '\r') Question_ += C;
    if (Question_.size() > MaxQuestion) Question_.erase(0, Question_.size() - MaxQuestion);
  }

  static constexpr size_t MaxQuestion = 256;
  std::string Question_;
};

int Interactive(TInferenceEngine& Engine, TConsoleInput& Input) {
  std::string Command;
  for (;;) {
    std::string Line;
    if (!Input.ReadLine(Command.empty() ? "rule> " : "  ... ", Line)) break;
    Command += Line;
    Command += '\n';
    if (!TConsoleInput::Complete(Command)) continue;
    Input.Remember(Command);
    try {
      if (!Execute(Engine, Command)) return 0;
    } catch (const std::exception& Error) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s\n", Error.what());
    }
    Command.clear();
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> Files;
  std::vector<std::string> Texts;
  bool Interact = false;
  for (int I = 1; I < argc; ++I) {
    const std::string Arg = argv[I];
    if (Arg == "--help" || Arg == "-h") {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (Arg == "--version") {
      std::printf("ruleconsole 0.1.0 (engine %.1f)\n", static_cast<double>(TInferenceEngine::Version));
      return 0;
    }
    if (Arg == "-e") {
      if (I + 1 >= argc) {
        std::fprintf(stderr, "ruleconsole: -e needs a text\n%s", Usage);
        return 2;
      }
      Texts.push_back(argv[++I]);
    } else if (Arg == "-i") {
      Interact = true;
    } else if (Arg.size() > 1 && Arg[0] == '-') {
      std::fprintf(stderr, "ruleconsole: unknown option %s\n%s", Arg.c_str(), Usage);
      return 2;
    } else {
      Files.push_back(Arg);
    }
  }
  if (Files.empty() && Texts.empty()) Interact = true;

  TInferenceEngine Engine;
  TConsole Console(Engine);
  try {
    for (const std::string& File : Files) {
      std::string Text;
      if (!ReadFile(File, Text)) {
        std::fprintf(stderr, "ruleconsole: cannot read %s\n", File.c_str());
        return 1;
      }
      if (!Execute(Engine, std::move(Text))) return 0;
    }
    for (const std::string& Text : Texts)
      if (!Execute(Engine, Text)) return 0;
  } catch (const std::exception& Error) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", Error.what());
    return 1;
  }
  return Interact ? Interactive(Engine, Console.Input) : 0;
}
