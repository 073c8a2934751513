// Contents
//   1. Helpers   - the engine a call runs for, logical names, file names
//   2. Streams   - open, close
//   3. Output    - printout, format
//   4. Input     - read, readline
//   5. Capture   - dribble-on, dribble-off
//   6. Files     - rename, remove
#include "IOFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "core/engine/InferenceEngine.h"
#include "core/language/IETokenizer.h"
#include "core/network/IEContext.h"
#include "core/values/IEException.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view CRLF = "\r\n";

// =============================================================================================
// 1. Helpers
// =============================================================================================

// The logical name in argument Index; the console ("") when the call has no such argument.
std::string LogicalName(TFunctionCall& Call, int Index, TIEContext* Context) {
  return Index < Call.GetArgumentCount() ? TextArg(Call, Index, Context) : std::string();
}

bool IsConsole(std::string_view Name) noexcept { return Name.empty() || Name == "t"; }

// A name the file system can be given as it is: not empty and without a NUL, which would cut
// the name short and reach another file.
bool UsableFileName(const std::string& Name) noexcept {
  return !Name.empty() && Name.find('\0') == std::string::npos;
}

fs::file_status StatusOf(const std::string& Name) {
  std::error_code Ignored;
  return fs::symlink_status(fs::path(Name), Ignored);
}

}  // namespace

// =============================================================================================
// 2. Streams
// =============================================================================================

void TOpenFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  const std::string FileName = TextArg(Call, 0, Context);
  const IIEValue Name = ArgValue(Call, 1, Context);
  const std::string Mode = Call.GetArgumentCount() > 2 ? TextArg(Call, 2, Context) : std::string("r");
  if (Mode != "r" && Mode != "r+" && Mode != "w" && Mode != "a") RaiseIE(SInvalidFileAccess, {Mode});

  std::unique_ptr<platform::TTextStream> Stream;
  if (Mode == "r" || Mode == "r+") {
    // Tokenizers, so that "read" can take tokens from the file.
    Stream = Engine.NewTokenizer(FileName, Mode == "r" ? std::ios::in : std::ios::in | std::ios::out);
  } else if (Mode == "w") {
    Stream = std::make_unique<platform::TTextStream>(fs::path(FileName), std::ios::out | std::ios::trunc);
  } else {
    const bool Exists = UsableFileName(FileName) && fs::exists(StatusOf(FileName));
    const std::ios::openmode Open = Exists ? std::ios::in | std::ios::out : std::ios::in | std::ios::out | std::ios::trunc;
    Stream = std::make_unique<platform::TTextStream>(fs::path(FileName), Open);
    Stream->GetStream()->seekg(0, std::ios::end);
  }
  Engine.GetIOStreams().Put(TextOf(*Name), std::move(Stream));
  Result = platform::MakeRef<TIEValue>(Name);
}

void TCloseFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TIOStreams& Streams = EngineFor(Call, Context, *this).GetIOStreams();
  if (Call.GetArgumentCount() == 0) Streams.Clear();
  for (int I = 0; I < Call.GetArgumentCount(); ++I) Streams.Remove(TextArg(Call, I, Context));
  Result = FCTrue;
}

// =============================================================================================
// 3. Output
// =============================================================================================

void TPrintoutFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  const std::string Name = LogicalName(Call, 0, Context);
  // Built per call: an argument may itself print.
  std::string Text;
  for (int I = 1; I < Call.GetArgumentCount(); ++I) {
    const IIEValue Value = ArgValue(Call, I, Context);
    switch (Value->GetDType()) {
      case dtAtom:
        if (Value->GetText() == "crlf")
          Text += CRLF;
        else
          Text += Value->GetText();
        break;
      case dtList:
        Text += '(';
        Text += Value->ToString();
        Text += ')';
        break;
      default: Text += TextOf(*Value); break;
    }
  }
  Engine.PrintOut(Name, Text);
  Result = FCNil;
}

namespace {

// Flags, width and precision of one directive: "-" and "0" flags, then digits, then "." and
// digits.  False for anything else ("%5.3.2f", "%1%d").
struct TDirective {
  std::string Flags;
  int Width = 0;
  int Precision = -1;
};

bool ParseDirective(std::string_view Text, TDirective& D) {
  size_t I = 0;
  while (I < Text.size() && (Text[I] == '-' || Text[I] == '0')) D.Flags += Text[I++];
  auto Number = [&] {
    int N = 0;
    for (; I < Text.size() && Text[I] >= '0' && Text[I] <= '9'; ++I)
      if (N < 100000) N = N * 10 + (Text[I] - '0');
    return N;
  };
  D.Width = Number();
  if (I < Text.size() && Text[I] == '.') {
    ++I;
    D.Precision = Number();
  }
  return I == Text.size();
}

int32_t IntegerOf(const TIEValue& Value) {
  if (Value.GetDType() == dtFloat) return CheckedInteger(Value.GetAsFloat(), "format");
  return Value.GetAsInteger();
}

// Fixed point with the integer digits grouped by thousands ("1,234,567.50"); two decimals
// unless a precision is given.
std::string MoneyText(double Value, const TDirective& D) {
  if (!std::isfinite(Value)) return platform::FormatOne(D.Flags, D.Width, D.Precision, 'f', Value);
  const std::string Plain = platform::FormatOne("", 0, D.Precision < 0 ? 2 : D.Precision, 'f', std::fabs(Value));
  const size_t Point = std::min(Plain.find('.'), Plain.size());
  std::string Body = Value < 0 ? "-" : "";
  for (size_t I = 0; I < Point; ++I) {
    if (I > 0 && (Point - I) % 3 == 0) Body += ',';
    Body += Plain[I];
  }
  Body.append(Plain, Point);
  // Padding only: the "0" flag does not mix with the grouping.
  return platform::FormatOne(D.Flags.find('-') != std::string::npos ? "-" : "", D.Width, -1, 's', Body);
}

// The text of one directive filled with Value; false for a conversion "format" does not know.
bool Convert(char Conversion, const TDirective& D, const TIEValue& Value, std::string& Out) {
  switch (Conversion) {
    case 'd': Out = platform::FormatOne(D.Flags, D.Width, D.Precision, 'd', IntegerOf(Value)); return true;
    case 'u':
    case 'x':
      Out = platform::FormatOne(D.Flags, D.Width, D.Precision, Conversion, static_cast<uint32_t>(IntegerOf(Value)));
      return true;
    case 'e':
    case 'f':
    case 'g': Out = platform::FormatOne(D.Flags, D.Width, D.Precision, Conversion, Value.GetAsFloat()); return true;
    case 'm': Out = MoneyText(Value.GetAsFloat(), D); return true;
    case 'p':
      Out = platform::FormatOne(D.Flags, D.Width, D.Precision, 'p', static_cast<const void*>(Value.GetAsExternalAddress()));
      return true;
    case 's': Out = platform::FormatOne(D.Flags, D.Width, D.Precision, 's', TextOf(Value)); return true;
    default: return false;
  }
}

// How an argument left over after the last directive is appended.
std::string ExtraText(const TIEValue& Value) {
  switch (Value.GetDType()) {
    case dtString: return std::string(Value.GetText());
    case dtFactId: return std::to_string(Value.GetAsInteger());
    case dtExternalAddress: return std::to_string(reinterpret_cast<uintptr_t>(Value.GetAsExternalAddress()));
    case dtList: return "(" + Value.ToString() + ")";
    default: return Value.ToString();
  }
}

// Appends Text with "%n" turned into a line end and "%%" into "%".
void AppendLiteral(std::string& Out, std::string_view Text) {
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == '%' && I + 1 < Text.size() && (Text[I + 1] == 'n' || Text[I + 1] == '%')) {
      if (Text[++I] == 'n')
        Out += CRLF;
      else
        Out += '%';
      continue;
    }
    Out += Text[I];
  }
}

}  // namespace

void TFormatFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  const std::string Name = LogicalName(Call, 0, Context);
  const std::string Control = TextArg(Call, 1, Context);
  // Directives are looked for in the control string only, left to right: text an argument
  // filled in is never scanned again, so a "%" inside it stays as it is.
  std::string Out;
  size_t Pos = 0;
  for (int I = 2; I < Call.GetArgumentCount(); ++I) {
    for (;;) {
      const size_t Percent = Control.find('%', Pos);
      if (Percent == std::string::npos) {
        AppendLiteral(Out, std::string_view(Control).substr(Pos));
        Pos = Control.size();
        Out += ' ';
        Out += ExtraText(*ArgValue(Call, I, Context));
        break;
      }
      Out.append(Control, Pos, Percent - Pos);
      const char Next = Percent + 1 < Control.size() ? Control[Percent + 1] : '\0';
      if (Next == 'n' || Next == '%') {
        Out += Next == 'n' ? std::string(CRLF) : std::string("%");
        Pos = Percent + 2;
        continue;
      }
      const IIEValue Value = ArgValue(Call, I, Context);
      const size_t End = Control.find_first_not_of("%-0123456789.", Percent + 1);
      if (End == std::string::npos) {
        // An unfinished directive stays as it is and uses the argument up.
        Out.append(Control, Percent);
        Pos = Control.size();
        break;
      }
      TDirective D;
      std::string Filled;
      if (ParseDirective(std::string_view(Control).substr(Percent + 1, End - Percent - 1), D) &&
          Convert(Control[End], D, *Value, Filled))
        Out += Filled;
      else
        Out.append(Control, Percent, End + 1 - Percent);
      Pos = End + 1;
      break;
    }
  }
  AppendLiteral(Out, std::string_view(Control).substr(Pos));
  Engine.PrintOut(Name, Out);
  Result = FCNil;
}

// =============================================================================================
// 4. Input
// =============================================================================================

void TReadFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  const std::string Name = LogicalName(Call, 0, Context);
  // Only the console goes to the host; any other name must have been opened.
  if (!IsConsole(Name) && !Engine.GetIOStreams().ContainsKey(Name)) RaiseIE(SInvalidStreamName, {Name});
  if (Kind_ == rdToken) {
    Result = Engine.ReadToken(Name)->Value();
    return;
  }
  const std::string Line = Engine.ReadLine(Name);
  Result = Line.empty() ? FCEOF : NewString(Line);
}

// =============================================================================================
// 5. Capture
// =============================================================================================

void TDribbleFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  if (Kind_ == drOn)
    Result = BoolValue(Engine.StartCapture(TextArg(Call, 0, Context)));
  else
    Result = BoolValue(Engine.GetCapturing() && Engine.StopCapture());
}

// =============================================================================================
// 6. Files
// =============================================================================================

void TFileFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  // Only files: a directory is neither renamed nor removed.
  auto IsFile = [](const std::string& Name) {
    const fs::file_status Status = StatusOf(Name);
    return fs::exists(Status) && !fs::is_directory(Status);
  };
  std::error_code Error;
  const std::string Name = TextArg(Call, 0, Context);
  if (Kind_ == flRemove) {
    Result = BoolValue(UsableFileName(Name) && IsFile(Name) && fs::remove(fs::path(Name), Error) && !Error);
    return;
  }
  const std::string NewName = TextArg(Call, 1, Context);
  // Renaming never replaces a file: the new name must be free.
  if (!UsableFileName(Name) || !UsableFileName(NewName) || !IsFile(Name) ||
      StatusOf(NewName).type() != fs::file_type::not_found) {
    Result = FCFalse;
    return;
  }
  fs::rename(fs::path(Name), fs::path(NewName), Error);
  Result = BoolValue(!Error);
}

}  // namespace rulecore
