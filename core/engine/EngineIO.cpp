// The engine's console input and output: routing of PrintOut, ReadLine and ReadToken between
// the named streams, the capture stream, the batch file being run and the host's events;
// capture; batch files; the tokenizer factory.
#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>

#include "InferenceEngine.h"
#include "core/language/IEClipsParser.h"
#include "core/language/IETokenizer.h"
#include "core/values/IEException.h"

namespace rulecore {

namespace {

constexpr std::string_view CRLF = "\r\n";

bool IsConsole(std::string_view ID) noexcept { return ID.empty() || ID == "t"; }


IStreamToken EndOfInputToken() { return platform::MakeRef<TIEStreamToken>(dtNone, "EOF", 0); }

// The first token of the lines that follow in a stream that is not a tokenizer (a plain stream
// opened for writing or appending): blank lines are passed over; at the end, the EOF token.
IStreamToken FirstTokenOfNextLine(platform::TTextStream& Stream, TInferenceEngine& Engine) {
  while (!Stream.EndOfStream()) {
    TIEClipsStream Line(platform::InMemory, Stream.GetLine());
    Line.SetSymbolGenerator(&Engine);
    IStreamToken Token = Line.NextToken();
    if (!Token->IsEndOfStream()) return Token;
  }
  return EndOfInputToken();
}

// Runs Tokenizer's text as the batch input of Engine; Slot is the engine's batch input, which
// a batch file run from this one takes over until it ends.
template <class TParse>
void RunBatch(TIEClipsStream& Tokenizer, TIEClipsStream*& Slot, TParse&& Parse) {
  struct TRestore {
    TIEClipsStream*& Slot;
    TIEClipsStream* Previous;
    ~TRestore() { Slot = Previous; }
  } Restore{Slot, Slot};
  Slot = &Tokenizer;
  while (!Tokenizer.EndOfStream()) {
    std::string Command = Tokenizer.GetLine();
    // Constructs are usually written over several lines.
    while (LeavesExpressionOpen(Command) && !Tokenizer.EndOfStream()) {
      Command += CRLF;
      Command += Tokenizer.GetLine();
    }
    Parse(Command);
  }
}

}  // namespace

// =============================================================================================
// Output
// =============================================================================================

void TInferenceEngine::WriteCapture(const std::string& Text) {
  Capture_->write(Text.data(), static_cast<std::streamsize>(Text.size()));
}

void TInferenceEngine::PrintOut(const std::string& OutID, const std::string& Text) {
  if (!IsConsole(OutID)) {
    if (platform::TTextStream* Stream = IOStreams_->Get(OutID)) {
      WriteToStream(*Stream, OutID, Text);
      return;
    }
    if (!OnPrintOut) RaiseIE(SNoSuchFunction, {"printout"});
  }
  if (Capture_)
    WriteCapture(Text);
  else if (OnPrintOut)
    OnPrintOut(this, OutID, Text);
}

bool TInferenceEngine::StartCapture(std::unique_ptr<std::ostream> Stream) {
  Capture_ = std::move(Stream);
  return true;
}

bool TInferenceEngine::StartCapture(const std::string& FileName) {
  if (FileName.empty() || FileName.find('\0') != std::string::npos) return false;
  auto File = std::make_unique<std::ofstream>(std::filesystem::path(FileName),
                                              std::ios::out | std::ios::trunc | std::ios::binary);
  if (!File->is_open()) return false;
  return StartCapture(std::move(File));
}

bool TInferenceEngine::StopCapture() {
  Capture_.reset();
  return true;
}

// =============================================================================================
// Input
// =============================================================================================

std::string TInferenceEngine::ReadLine(const std::string& InID) {
  if (!IsConsole(InID)) {
    if (platform::TTextStream* Stream = IOStreams_->Get(InID))
      return Stream->EndOfStream() ? std::string() : Stream->GetLine();
  }
  if (BatchInput_) {
    std::string Line = BatchInput_->GetLine();
    PrintOut(std::string(), Line + std::string(CRLF));
    return Line;
  }
  if (!OnReadLine) RaiseIE(SNoReadFunctionWarning, {"readline"});
  std::string Text;
  OnReadLine(this, InID, Text);
  return Text;
}

IStreamToken TInferenceEngine::ReadToken(const std::string& InID) {
  if (!IsConsole(InID)) {
    if (platform::TTextStream* Stream = IOStreams_->Get(InID)) {
      auto* Tokenizer = dynamic_cast<TIEClipsStream*>(Stream);
      if (!Tokenizer) return FirstTokenOfNextLine(*Stream, *this);
      IStreamToken Token = Tokenizer->NextToken();
      Tokenizer->DiscardUntilEOL();
      return Token;
    }
  }
  if (BatchInput_) {
    IStreamToken Token = BatchInput_->NextToken();
    BatchInput_->DiscardUntilEOL();
    PrintOut(std::string(), Token->GetText() + std::string(CRLF));
    return Token;
  }
  if (!OnReadToken) RaiseIE(SNoReadFunctionWarning, {"read"});
  IStreamToken Token;
  OnReadToken(this, InID, Token);
  // A handler that supplies nothing ends the input.
  return Token ? Token : EndOfInputToken();
}

// =============================================================================================
// Batch files and tokenizers
// =============================================================================================

bool TInferenceEngine::Batch(std::istream& Stream) {
  std::unique_ptr<TIEClipsStream> Tokenizer = NewTokenizer(Stream);
  RunBatch(*Tokenizer, BatchInput_, [this](const std::string& Command) { Parse(Command, true); });
  return true;
}

bool TInferenceEngine::Batch(const std::string& FileName) {
  std::unique_ptr<TIEClipsStream> Tokenizer = NewTokenizer(FileName, std::ios::in);
  RunBatch(*Tokenizer, BatchInput_, [this](const std::string& Command) { Parse(Command, true); });
  return true;
}

std::unique_ptr<TIEClipsStream> TInferenceEngine::NewTokenizer(std::istream& Stream) {
  std::unique_ptr<TIEClipsStream> Tokenizer = TokenizerType_->OnStream(Stream);
  Tokenizer->SetSymbolGenerator(this);
  return Tokenizer;
}

std::unique_ptr<TIEClipsStream> TInferenceEngine::NewTokenizer(const std::string& FileName, std::ios::openmode Mode) {
  std::unique_ptr<TIEClipsStream> Tokenizer = TokenizerType_->OnFile(std::filesystem::path(FileName), Mode);
  Tokenizer->SetSymbolGenerator(this);
  return Tokenizer;
}

void TInferenceEngine::SetTokenizerType(const TTokenizerClass* Value) {
  if (!Value || Value == TokenizerType_) return;
  TokenizerType_ = Value;
  if (Parser_) Parser_->SetStream(nullptr);
}

}  // namespace rulecore
