// The input and output functions of the standard package: logical names bound to files ("open",
// "close"), output ("printout", "format"), input ("read", "readline"), capture of console
// output ("dribble-on", "dribble-off") and two file commands ("rename", "remove").  Each row at
// the end of this file is the function's entry in the standard package's creation table.
//
// Output and input go through the engine's PrintOut, ReadLine and ReadToken, which route them
// to named streams, the capture file, a running batch file or the host.  Depends on the
// function framework, the shared built-in helpers and the engine.
#pragma once

#include <cstdint>

#include "BuiltinSupport.h"

namespace rulecore {

// (open <file> <logical-name> [r|w|a|r+]) binds the logical name to the file.
class TOpenFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TOpenFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (close [<logical-name>+]) closes the named streams, or all of them.
class TCloseFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TCloseFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (printout <logical-name> <expression>*): the arguments' texts joined without separators; the
// atom crlf stands for a line end.
class TPrintoutFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TPrintoutFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (format <logical-name> <control> <expression>*): printf-style directives filled from the
// arguments in order.
class TFormatFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TFormatFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// "read" (one token) and "readline" (one line) from a logical name or the console.
enum class TReadKind : uint8_t { rdToken, rdLine };
class TReadFunction final : public TSelectingFunction<TReadKind> {
  PLATFORM_CLASS(TReadFunction, TBuiltinFunction)
 public:
  using enum TReadKind;
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// "dribble-on" and "dribble-off": console output to a file and back.
enum class TDribbleKind : uint8_t { drOn, drOff };
class TDribbleFunction final : public TSelectingFunction<TDribbleKind> {
  PLATFORM_CLASS(TDribbleFunction, TBuiltinFunction)
 public:
  using enum TDribbleKind;
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// "rename" and "remove": TRUE when the file system did it, FALSE otherwise; never an error.
enum class TFileKind : uint8_t { flRename, flRemove };
class TFileFunction final : public TSelectingFunction<TFileKind> {
  PLATFORM_CLASS(TFileFunction, TBuiltinFunction)
 public:
  using enum TFileKind;
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// --- rows of the standard package's creation table --------------------------------------------

inline constexpr TFunctionRow OpenFunctionRow{
    {"open", " <filename> <logical-name> [a|r|w|r+]", 2, 3,
     "Opens the filename and associates the logical name with the file.  The optional third argument specifies "
     "the mode to open the file in:\r\n         r     read only (default)\r\n         w     write only\r\n    "
     "     a     append\r\n         r+    read and write"},
    MakeFunction<TOpenFunction>};
inline constexpr TFunctionRow CloseFunctionRow{
    {"close", " [<logical-name>+]", 0, TIEUserFunction::NoLimit,
     "Closes the files associated with the logical name arguments.  If no logical name is specified, all files "
     "are closed"},
    MakeFunction<TCloseFunction>};
inline constexpr TFunctionRow PrintoutFunctionRow{
    {"printout", " <logical-name> <expression>*", 0, TIEUserFunction::NoLimit,
     "Creates a string and outputs it to the device specified by logical name.  The subsequent arguments are "
     "evaluated and concatenated into one string"},
    MakeFunction<TPrintoutFunction>};
inline constexpr TFunctionRow FormatFunctionRow{
    {"format", " <logical-name> <string-expression> <expression>*", 2, TIEUserFunction::NoLimit,
     "Creates a string and outputs it to the device specified by logical name.  The second argument specifies a "
     "control string for formatting the evaluated following arguments"},
    MakeFunction<TFormatFunction>};
inline constexpr TFunctionRow ReadFunctionRow{
    {"read", " [<logical-name>]", 0, 1,
     "Reads and returns a single field or token from the device specified by the logical name"},
    MakeFunction<TReadFunction, TReadFunction::rdToken>};
inline constexpr TFunctionRow ReadlineFunctionRow{
    {"readline", " [<logical-name>]", 0, 1,
     "Reads and returns an entire line from the device specified by the logical name.  If no input is available, "
     "the function returns EOF"},
    MakeFunction<TReadFunction, TReadFunction::rdLine>};
inline constexpr TFunctionRow DribbleOnFunctionRow{
    {"dribble-on", " <filename>", 1, 1,
     "Starts capturing of all standard output to the capture file specified by <filename>.  Returns TRUE if the "
     "capture file was successfully opened, FALSE otherwise"},
    MakeFunction<TDribbleFunction, TDribbleFunction::drOn>};
inline constexpr TFunctionRow DribbleOffFunctionRow{
    {"dribble-off", "", 0, 0, "Stops capture of standard output started with the \"dribble-on\" command"},
    MakeFunction<TDribbleFunction, TDribbleFunction::drOff>};
inline constexpr TFunctionRow RenameFunctionRow{
    {"rename", " [<old-file-name> <new-file-name>]", 2, 2,
     "Renames the file <old-file-name> to <new-file-name>.   If the operation succeeds, it returns TRUE.  If it "
     "cannot rename the file (for example, if a file called <new-file-name> already exists), it returns FALSE"},
    MakeFunction<TFileFunction, TFileFunction::flRename>};
inline constexpr TFunctionRow RemoveFunctionRow{
    {"remove", " [<file-name>]", 1, 1,
     "Deletes the specified file.  Returns TRUE if the file was deleted, FALSE if the file couldn't be deleted or "
     "does not exist"},
    MakeFunction<TFileFunction, TFileFunction::flRemove>};

}  // namespace rulecore
