#include "FileCommands.h"

#include <fstream>

#include "core/engine/InferenceEngine.h"
#include "core/values/IEException.h"
#include "platform/Format.h"
#include "platform/TextStream.h"

namespace rulecore {

void TFileCommandFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  const std::string FileName = TextArg(Call, 0, Context);
  switch (Kind_) {
    case fcLoad: Engine.LoadFromFile(FileName); break;
    case fcSave: Engine.SaveToFile(FileName); break;
    case fcLoadFacts: Engine.LoadFacts(FileName); break;
    case fcBatch: Result = BoolValue(Engine.Batch(FileName)); return;
  }
  Result = FCTrue;
}

void TSaveFactsFunction::Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
  TInferenceEngine& Engine = EngineFor(Call, Context, *this);
  const std::string FileName = TextArg(Call, 0, Context);
  if (Call.GetArgumentCount() == 1) {
    Engine.SaveFacts(FileName);
  } else {
    // The names are read before the file is made: a bad argument leaves no empty file behind.
    std::vector<std::string> Templates;
    for (int I = 1; I < Call.GetArgumentCount(); ++I) Templates.push_back(TextArg(Call, I, Context));
    std::ofstream Out;
    if (FileName.find('\0') == std::string::npos) Out.open(FileName, std::ios::binary | std::ios::trunc);
    if (!Out.is_open()) throw platform::EFCreateError(platform::Format("Cannot create file \"%s\"", {FileName}));
    for (const std::string& Template : Templates) Engine.SaveFacts(Out, Template);
    Out.flush();
    if (!Out) throw platform::EFCreateError(platform::Format("Cannot write file \"%s\"", {FileName}));
  }
  Result = FCTrue;
}

}  // namespace rulecore
