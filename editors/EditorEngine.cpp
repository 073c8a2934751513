#include "EditorEngine.h"

#include "core/engine/InferenceEngine.h"
#include <sstream>

#include "core/language/IETokenizer.h"
#include "core/network/ReteNetwork.h"
#include "core/values/IEException.h"

namespace ruleeditors {

std::unique_ptr<rulecore::TInferenceEngine> NewEngineLike(const rulecore::TInferenceEngine& Source) {
  const platform::TClass& Class = Source.ClassType();
  if (Class.Factory) {
    std::unique_ptr<platform::TObject> Made(Class.CreateInstance(nullptr));
    if (auto* Engine = dynamic_cast<rulecore::TInferenceEngine*>(Made.get())) {
      Made.release();
      return std::unique_ptr<rulecore::TInferenceEngine>(Engine);
    }
  }
  return std::make_unique<rulecore::TInferenceEngine>();
}

std::unique_ptr<rulecore::TInferenceEngine> CopyEngine(const rulecore::TInferenceEngine& Source, TCopyWhat What) {
  auto Copy = NewEngineLike(Source);
  rulecore::TReteNetwork& Network = Copy->GetReteNetwork();
  Network.SetEnabled(false);
  Copy->AssignParts(Source, What == TCopyWhat::WithFacts || What == TCopyWhat::Everything,
                    What == TCopyWhat::WithRules || What == TCopyWhat::Everything);
  Network.SetEnabled(true);
  Copy->SetDuplicateConstructs(rulecore::dcOverwrite);
  return Copy;
}

void CheckOneForm(rulecore::TInferenceEngine& Engine, const std::string& Text) {
  std::istringstream Stream(Text);
  const std::unique_ptr<rulecore::TIEClipsStream> Words = Engine.NewTokenizer(Stream);
  int Depth = 0;
  bool Closed = false;
  for (rulecore::IStreamToken Token = Words->NextToken(); !Token->IsEndOfStream(); Token = Words->NextToken()) {
    if (Closed) {
      const std::string Shown = Token->GetText().empty() ? Token->ToString() : Token->GetText();
      throw rulecore::EIEParseException(rulecore::FormatMessage(rulecore::SUnexpectedCharacter, {Shown}),
                                        Token->GetLineNumber());
    }
    if (Token->Is('(')) ++Depth;
    if (Token->Is(')') && --Depth <= 0) Closed = true;
  }
}

std::string OneLine(const std::string& Text) {
  std::string Out;
  Out.reserve(Text.size());
  bool Break = false;
  for (char C : Text) {
    if (C == '\r' || C == '\n') {
      while (!Out.empty() && (Out.back() == ' ' || Out.back() == '\t')) Out.pop_back();
      Break = true;
      continue;
    }
    if (Break) {
      if (C == ' ' || C == '\t') continue;
      if (!Out.empty()) Out += ' ';
      Break = false;
    }
    Out += C;
  }
  return Out;
}

}  // namespace ruleeditors
