// TBasicAction: a component that does one thing when executed (a menu command, a button's
// job).  Hosts give it its work through OnExecute or by overriding Execute.
#pragma once

#include <functional>

#include "Component.h"
#include "Properties.h"

namespace platform {

class TBasicAction : public TComponent {
  PLATFORM_CLASS(TBasicAction, TComponent)
 public:
  using TNotifyEvent = std::function<void(TObject* Sender)>;
  using TComponent::TComponent;

  // Runs the action: calls OnExecute when one is assigned.  True when the action was handled.
  virtual bool Execute();

  const TNotifyEvent& GetOnExecute() const noexcept { return OnExecute_; }
  void SetOnExecute(TNotifyEvent Value) { OnExecute_ = std::move(Value); }

  static void DeclareProperties(TPropertyList<TBasicAction>& P);

 private:
  TNotifyEvent OnExecute_;
};

}  // namespace platform
