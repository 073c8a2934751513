#include "GlobalVariables.h"

#include "InferenceEngine.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IEContext.h"

namespace rulecore {

void TGlobalVariables::Put(const std::string& Name, const IIEValue& Value) {
  TEngineVariables::Put(Name, Value);
  if (Engine_) Engine_->ResetGlobalVariable(Name, Value);
}

void TGlobalVariables::Clear() {
  TEngineVariables::Clear();
  if (Engine_) Engine_->GetContext()->Root().Clear();
}

void TGlobalVariables::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TEngineVariables*>(&Source);
  if (!From || !Engine_) return TEngineVariables::Assign(Source);
  if (From == this) return;
  BeginUpdate();
  struct TEnd {
    TGlobalVariables& Globals;
    ~TEnd() { Globals.EndUpdate(); }
  } End{*this};
  Clear();
  CopySettings(*From);
  if (From->Count() > 0) Engine_->Parse(PrettyPrintGlobalVariables(*From), true);
}

std::string TGlobalVariables::ToString() const {
  std::string Text;
  for (const auto& [Name, Value] : *this) {
    Text += PrettyPrintGlobalVariable(Name, Value);
    Text += "\r\n";
  }
  return Text;
}

}  // namespace rulecore
