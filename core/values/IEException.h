// The engine's exception classes.  EIEException carries a catalogue message; EIEParseException
// adds the line of the failing construct and the individual parse error messages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "IEMessages.h"
#include "platform/Exceptions.h"

namespace rulecore {

class EIEException : public platform::Exception {
 public:
  using platform::Exception::Exception;
};

class EIEParseException : public EIEException {
 public:
  explicit EIEParseException(std::string Message, int LineNumber = 0)
      : EIEException(std::move(Message)), LineNumber_(LineNumber) {}

  int GetLineNumber() const noexcept { return LineNumber_; }
  void SetLineNumber(int Value) noexcept { LineNumber_ = Value; }
  // The individual messages collected while parsing (one per error).
  const std::vector<std::string>& GetErrors() const noexcept { return Errors_; }
  std::vector<std::string>& Errors() noexcept { return Errors_; }

 private:
  int LineNumber_;
  std::vector<std::string> Errors_;
};

// Raises EIEException with a formatted catalogue message.
[[noreturn]] void RaiseIE(TIEMessage Id, std::initializer_list<platform::TFormatArg> Args = {});

// Adds where an error arose to its message: " (in deffunction f)", " (while firing rule r)".
// Only the innermost place of each kind is named: a message that names one already stays as it
// is, so that an error passing out of thousands of recursive calls stays one line.
void NoteErrorPlace(platform::Exception& Error, std::string_view Kind, std::string_view Name);

}  // namespace rulecore
