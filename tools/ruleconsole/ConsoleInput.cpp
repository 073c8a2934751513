#include "ConsoleInput.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "core/language/IETokenizer.h"

#ifdef RULECONSOLE_HAVE_LIBEDIT
#include <editline/readline.h>
#endif

TConsoleInput::TConsoleInput(bool Terminal) : Terminal_(Terminal) {}

bool TConsoleInput::ReadLine(const char* Prompt, std::string& Line) {
#ifdef RULECONSOLE_HAVE_LIBEDIT
  if (Terminal_) {
    char* Read = readline(Prompt);
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
  return static_cast<bool>(std::getline(std::cin, Line));
}

void TConsoleInput::Remember(const std::string& Command) {
#ifdef RULECONSOLE_HAVE_LIBEDIT
  if (Terminal_) {
    std::string Entry = Command;
    while (!Entry.empty() && (Entry.back() == '\n' || Entry.back() == '\r')) Entry.pop_back();
    if (!Entry.empty()) add_history(Entry.c_str());
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
