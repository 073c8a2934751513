#include "ConsoleInput.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

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
  int Depth = 0;
  bool InString = false;
  bool Significant = false;
  for (size_t I = 0; I < Text.size(); ++I) {
    const char C = Text[I];
    if (InString) {
      if (C == '\\')
        ++I;
      else if (C == '"')
        InString = false;
      continue;
    }
    if (C == ';') {
      while (I < Text.size() && Text[I] != '\n') ++I;
      continue;
    }
    if (C == '"') {
      InString = true;
      Significant = true;
    } else if (C == '(') {
      ++Depth;
      Significant = true;
    } else if (C == ')') {
      --Depth;
    } else if (C > ' ') {
      Significant = true;
    }
  }
  // A blank line is not a command; an extra ")" is left for the parser to report.
  return Significant && !InString && Depth <= 0;
}
