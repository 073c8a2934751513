#include "ConsoleInput.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "core/language/IETokenizer.h"

#ifdef RULECONSOLE_HAVE_LIBEDIT
#include <dlfcn.h>
#include <editline/readline.h>

namespace {

// Line editing is loaded when a terminal first asks for a line: a run on a file or a pipe does
// not pay for mapping and relocating libedit and the libraries it brings (a third of the
// loader's work at start-up).  Without the library the console reads plain lines.
struct TLineEditor {
  decltype(&readline) Read = nullptr;
  decltype(&add_history) Remember = nullptr;
};

const TLineEditor& LineEditor() {
  static const TLineEditor Editor = [] {
    TLineEditor Found;
    void* Library = nullptr;
    for (const char* Name : {"libedit.so.2", RULECONSOLE_LIBEDIT_PATH})
      if ((Library = dlopen(Name, RTLD_NOW | RTLD_LOCAL))) break;
    if (!Library) return Found;
    Found.Read = reinterpret_cast<decltype(&readline)>(dlsym(Library, "readline"));
    Found.Remember = reinterpret_cast<decltype(&add_history)>(dlsym(Library, "add_history"));
    if (!Found.Read || !Found.Remember) Found = TLineEditor();
    return Found;
  }();
  return Editor;
}

}  // namespace
#endif

TConsoleInput::TConsoleInput(bool Terminal) : Terminal_(Terminal) {}

bool TConsoleInput::ReadLine(const char* Prompt, std::string& Line) {
  std::fflush(stdout);  // what was printed (a question) shows before the wait for input
#ifdef RULECONSOLE_HAVE_LIBEDIT
  if (Terminal_ && LineEditor().Read) {
    char* Read = LineEditor().Read(Prompt);
    if (!Read) return false;
    Line = Read;
    std::free(Read);
    return true;
  }
#endif
  if (Terminal_) {
    std::fputs(Prompt, stdout);
    std::fflush(stdout);
  }
  if (!std::getline(std::cin, Line)) return false;
  if (!Line.empty() && Line.back() == '\r') Line.pop_back();  // a file written with CR LF
  return true;
}

bool TConsoleInput::ReadAnswer(const std::string& Shown, std::string& Line) {
#ifdef RULECONSOLE_HAVE_LIBEDIT
  if (Terminal_ && LineEditor().Read) {
    // Back to the start of the line, where the editor writes the question again as its prompt
    // over the same text, and can redraw it while the answer is edited.
    std::fputs("\r", stdout);
    return ReadLine(Shown.c_str(), Line);
  }
#endif
  // Without the editor the question is already on the screen.
  return ReadLine("", Line);
}

void TConsoleInput::Remember(const std::string& Command) {
#ifdef RULECONSOLE_HAVE_LIBEDIT
  if (Terminal_ && LineEditor().Remember) {
    std::string Entry = Command;
    while (!Entry.empty() && (Entry.back() == '\n' || Entry.back() == '\r')) Entry.pop_back();
    if (!Entry.empty()) LineEditor().Remember(Entry.c_str());
  }
#else
  (void)Command;
#endif
}

bool TConsoleInput::Complete(const std::string& Text) {
  // A blank line (or only a comment) is not a command yet.
  bool Significant = false;
  for (size_t I = 0; I < Text.size() && !Significant; ++I) {
    if (Text[I] == ';')
      while (I < Text.size() && Text[I] != '\n') ++I;
    else if (Text[I] > ' ')
      Significant = true;
  }
  return Significant && !rulecore::LeavesExpressionOpen(Text);
}
