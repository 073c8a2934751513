// Visual controls without a window system: TControl has a visual parent, TWinControl is a
// control that contains others.  They carry the parent-child structure a host's user interface
// has, so that code working through the object model (creating a component inside a container,
// asking whether an object is a container) has it to act on; a host toolkit derives its own
// controls from them or maps its widgets onto them.
//
// The parent relation is not ownership: the owner frees a control, the parent only lists it.
// A control leaves its parent when it is destroyed, and a container that is destroyed leaves
// its children without a parent.
#pragma once

#include <vector>

#include "Component.h"
#include "Properties.h"

namespace platform {

class TWinControl;

class TControl : public TComponent {
  PLATFORM_CLASS(TControl, TComponent)
 public:
  using TComponent::TComponent;
  ~TControl() override;

  TWinControl* GetParent() const noexcept { return Parent_; }
  // Moves the control into Value's list of controls (nullptr: into none).  A control cannot be
  // placed inside itself or inside one of its own children.
  virtual void SetParent(TWinControl* Value);

  static void DeclareProperties(TPropertyList<TControl>& P);

 private:
  friend class TWinControl;
  TWinControl* Parent_ = nullptr;
};

class TWinControl : public TControl {
  PLATFORM_CLASS(TWinControl, TControl)
 public:
  using TControl::TControl;
  ~TWinControl() override;

  int GetControlCount() const noexcept { return static_cast<int>(Controls_.size()); }
  // The control at Index in the order the children were placed; an index out of range raises
  // EListError.
  TControl* GetControl(int Index) const;
  // Whether Control is this container or lies somewhere inside it.
  bool ContainsControl(const TControl* Control) const noexcept;

 private:
  friend class TControl;
  std::vector<TControl*> Controls_;
};

}  // namespace platform
