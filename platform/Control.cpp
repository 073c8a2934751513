#include "Control.h"

#include <algorithm>

#include "Exceptions.h"

namespace platform {

TControl::~TControl() { SetParent(nullptr); }

void TControl::SetParent(TWinControl* Value) {
  if (Value == Parent_) return;
  // Walking up from the new parent finds this control when the move would make a cycle.
  for (const TControl* Up = Value; Up; Up = Up->Parent_)
    if (Up == this) throw EComponentError("A control cannot have itself or one of its children as its parent");
  if (Value) Value->Controls_.reserve(Value->Controls_.size() + 1);  // the only step that can fail
  if (Parent_) std::erase(Parent_->Controls_, this);
  Parent_ = Value;
  if (Value) Value->Controls_.push_back(this);
}

void TControl::DeclareProperties(TPropertyList<TControl>& P) {
  P.Add("Parent", &TControl::GetParent, &TControl::SetParent);
}

TWinControl::~TWinControl() {
  for (TControl* Child : Controls_) Child->Parent_ = nullptr;
  Controls_.clear();
}

TControl* TWinControl::GetControl(int Index) const {
  if (Index < 0 || Index >= GetControlCount()) ListIndexError(Index);
  return Controls_[static_cast<size_t>(Index)];
}

bool TWinControl::ContainsControl(const TControl* Control) const noexcept {
  for (const TControl* Up = Control; Up; Up = Up->GetParent())
    if (Up == this) return true;
  return false;
}

namespace {
const bool Registered = (RegisterClass<TControl>(), RegisterClass<TWinControl>(), true);
}  // namespace

}  // namespace platform
