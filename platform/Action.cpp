#include "Action.h"

namespace platform {

bool TBasicAction::Execute() {
  if (!OnExecute_) return false;
  OnExecute_(this);
  return true;
}

void TBasicAction::DeclareProperties(TPropertyList<TBasicAction>& P) {
  P.Add("OnExecute", &TBasicAction::GetOnExecute, &TBasicAction::SetOnExecute);
}

namespace {
const bool Registered = (RegisterClass<TBasicAction>(), true);
}  // namespace

}  // namespace platform
