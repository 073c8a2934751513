// Knowledge bases as rule-language text: loaded from and saved to files and byte streams, whole
// or by kind of construct.  What is saved is the printer's text with every number written
// exactly (TExactNumbers), so that a knowledge base saved and loaded again holds the values it
// held; display keeps its rounded form.
#include <fstream>

#include "InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "core/language/IEClipsParser.h"
#include "core/language/IETokenizer.h"
#include "core/network/IERule.h"
#include "platform/Format.h"
#include "platform/TextStream.h"

namespace rulecore {

namespace {

constexpr std::string_view CRLF = NewLineString;

// A file opened for reading, or the platform's file error.
std::ifstream OpenForReading(const std::string& FileName) {
  std::ifstream In;
  if (FileName.find('\0') == std::string::npos) In.open(FileName, std::ios::binary);
  if (!In.is_open()) throw platform::EFOpenError(platform::Format("Cannot open file \"%s\"", {FileName}));
  return In;
}

// A file created (or emptied) for writing, or the platform's file error.
std::ofstream OpenForWriting(const std::string& FileName) {
  std::ofstream Out;
  if (FileName.find('\0') == std::string::npos) Out.open(FileName, std::ios::binary | std::ios::trunc);
  if (!Out.is_open()) throw platform::EFCreateError(platform::Format("Cannot create file \"%s\"", {FileName}));
  return Out;
}

// Writes Text; a failed write (a full disk) is the file error too, not a silent loss.
void Write(std::ostream& Stream, const std::string& Text) {
  Stream.write(Text.data(), static_cast<std::streamsize>(Text.size()));
  if (!Stream) throw platform::EFCreateError("Cannot write the knowledge base");
}

// The file form of a save: the stream form into the created file, flushed before it closes.
template <class TSave>
void SaveFile(const std::string& FileName, TSave&& Save) {
  std::ofstream Out = OpenForWriting(FileName);
  Save(Out);
  Out.flush();
  if (!Out) throw platform::EFCreateError(platform::Format("Cannot write file \"%s\"", {FileName}));
}

}  // namespace

// Runs Body with a token stream over Stream as the parser's input; the parser's own input comes
// back afterwards, also when Body fails.
// Read from a file (FileName not empty), an error names the file and the line the reading
// stopped at, in the form compilers use: "rules.clp:12: <message>".
template <class TBody>
void TInferenceEngine::ReadingFrom(std::istream& Stream, TBody&& Body, const std::string& FileName) {
  const std::unique_ptr<TIEClipsStream> Tokens = NewTokenizer(Stream);
  struct TRestore {
    TIEClipsParser& Parser;
    TIEClipsStream* Previous;
    ~TRestore() { Parser.SetStream(Previous); }
  } Restore{*Parser_, Parser_->GetStream()};
  Parser_->SetStream(Tokens.get());
  try {
    Body(*Parser_);
  } catch (const platform::EAbort&) {
    throw;
  } catch (platform::Exception& Error) {
    if (FileName.empty()) throw;
    const auto* Parse = dynamic_cast<const EIEParseException*>(&Error);
    const int32_t Line = Parse && Parse->GetLineNumber() > 0 ? Parse->GetLineNumber() : Tokens->GetLineNumber();
    Error.SetMessage(FileName + ":" + std::to_string(Line) + ": " + Error.Message());
    throw;
  }
}

// =============================================================================================
// The whole knowledge base
// =============================================================================================

void TInferenceEngine::LoadFromStream(std::istream& Stream) {
  ReadingFrom(Stream, [](TIEClipsParser& P) { P.Parse(true); }, std::string());
}

void TInferenceEngine::LoadFromFile(const std::string& FileName) {
  std::ifstream In = OpenForReading(FileName);
  ReadingFrom(In, [](TIEClipsParser& P) { P.Parse(true); }, FileName);
}

void TInferenceEngine::SaveToStream(std::ostream& Stream) {
  const TExactNumbers Exact;
  Write(Stream, GetExpertSystem());
}

void TInferenceEngine::SaveToFile(const std::string& FileName) {
  SaveFile(FileName, [this](std::ostream& Out) { SaveToStream(Out); });
}

// =============================================================================================
// By kind
// =============================================================================================

void TInferenceEngine::LoadReplacing(std::istream& Stream, const std::string& FileName,
                                     const std::function<void()>& ClearFirst) {
  ReadingFrom(
      Stream,
      [&](TIEClipsParser& P) {
        ClearFirst();
        P.Parse(true);
      },
      FileName);
}

void TInferenceEngine::LoadRules(std::istream& Stream) {
  LoadReplacing(Stream, std::string(), [this] { Rules_->Clear(); });
}

void TInferenceEngine::LoadRules(const std::string& FileName) {
  std::ifstream In = OpenForReading(FileName);
  LoadReplacing(In, FileName, [this] { Rules_->Clear(); });
}

void TInferenceEngine::SaveRules(std::ostream& Stream) {
  const TExactNumbers Exact;
  for (const auto& [Name, Rule] : *Rules_) Write(Stream, Rule->GetToString() + std::string(CRLF));
}

void TInferenceEngine::SaveRules(const std::string& FileName) {
  SaveFile(FileName, [this](std::ostream& Out) { SaveRules(Out); });
}

void TInferenceEngine::LoadFactTemplates(std::istream& Stream) {
  LoadReplacing(Stream, std::string(), [this] { FactTemplates_->Clear(); });
}

void TInferenceEngine::LoadFactTemplates(const std::string& FileName) {
  std::ifstream In = OpenForReading(FileName);
  LoadReplacing(In, FileName, [this] { FactTemplates_->Clear(); });
}

void TInferenceEngine::SaveFactTemplates(std::ostream& Stream) {
  const TExactNumbers Exact;
  for (const auto& [Name, Template] : *FactTemplates_)
    Write(Stream, Template->GetToString() + std::string(CRLF));
}

void TInferenceEngine::SaveFactTemplates(const std::string& FileName) {
  SaveFile(FileName, [this](std::ostream& Out) { SaveFactTemplates(Out); });
}

void TInferenceEngine::LoadDefinedTypes(std::istream& Stream) {
  LoadReplacing(Stream, std::string(), [this] { DefinedTypes_->Clear(); });
}

void TInferenceEngine::LoadDefinedTypes(const std::string& FileName) {
  std::ifstream In = OpenForReading(FileName);
  LoadReplacing(In, FileName, [this] { DefinedTypes_->Clear(); });
}

void TInferenceEngine::SaveDefinedTypes(std::ostream& Stream) {
  const TExactNumbers Exact;
  for (const auto& [Name, Type] : *DefinedTypes_) Write(Stream, Type->GetToString() + std::string(CRLF));
}

void TInferenceEngine::SaveDefinedTypes(const std::string& FileName) {
  SaveFile(FileName, [this](std::ostream& Out) { SaveDefinedTypes(Out); });
}

// =============================================================================================
// Facts
// =============================================================================================

void TInferenceEngine::LoadFacts(std::istream& Stream) {
  ReadingFrom(Stream, [](TIEClipsParser& P) { P.LoadFacts(); }, std::string());
}

void TInferenceEngine::LoadFacts(const std::string& FileName) {
  std::ifstream In = OpenForReading(FileName);
  ReadingFrom(In, [](TIEClipsParser& P) { P.LoadFacts(); }, FileName);
}

void TInferenceEngine::SaveFacts(std::ostream& Stream) {
  const TExactNumbers Exact;
  for (const IFact& Fact : *Facts_) Write(Stream, Fact->ToString() + std::string(CRLF));
}

void TInferenceEngine::SaveFacts(const std::string& FileName) {
  SaveFile(FileName, [this](std::ostream& Out) { SaveFacts(Out); });
}

void TInferenceEngine::SaveFacts(std::ostream& Stream, const std::string& TemplateName) {
  const TExactNumbers Exact;
  for (const IFact& Fact : *Facts_)
    if (Fact->GetTemplate() && Fact->GetTemplate()->GetTemplateName() == TemplateName)
      Write(Stream, Fact->ToString() + std::string(CRLF));
}

void TInferenceEngine::SaveFacts(const std::string& FileName, const std::string& TemplateName) {
  SaveFile(FileName, [&](std::ostream& Out) { SaveFacts(Out, TemplateName); });
}

}  // namespace rulecore
