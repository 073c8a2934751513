// Line input for the interactive console: line editing and history through libedit when the
// input is a terminal (and the library was found), plain lines otherwise.
#pragma once

#include <string>

class TConsoleInput {
 public:
  explicit TConsoleInput(bool Terminal);
  // One line without its line end; false at the end of input.
  bool ReadLine(const char* Prompt, std::string& Line);
  // A line that answers a question already on the screen (Shown, the text printed since the
  // last line end): the line editor shows it as its prompt, in its place.
  bool ReadAnswer(const std::string& Shown, std::string& Line);
  // Adds a finished command to the history.
  void Remember(const std::string& Command);
  // True when the parentheses of Text balance outside strings and comments (a command is
  // complete and can run).
  static bool Complete(const std::string& Text);

 private:
  bool Terminal_;
};
