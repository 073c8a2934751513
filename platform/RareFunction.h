// TRareFunction: an event handler kept behind a pointer.  A std::function takes 32 bytes, and
// an object with several events that few hosts ever assign (thousands of rules, each with two)
// pays for all of them; this keeps 8 bytes per event and makes the handler's room when one is
// first assigned.  Assigning, testing and calling read as they do on the std::function.
#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace platform {

template <class TFunction>
class TRareFunction {
 public:
  TRareFunction() noexcept = default;
  TRareFunction(const TRareFunction&) = delete;
  TRareFunction& operator=(const TRareFunction&) = delete;

  // Anything the std::function can be made from, including nullptr to clear the handler.
  template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, TRareFunction> && std::is_constructible_v<TFunction, F &&>)
  TRareFunction& operator=(F&& Handler) {
    TFunction Made(std::forward<F>(Handler));
    if (Function_)
      *Function_ = std::move(Made);
    else if (Made)
      Function_ = std::make_unique<TFunction>(std::move(Made));
    return *this;
  }

  explicit operator bool() const noexcept { return Function_ && *Function_; }

  // Calls the handler; std::bad_function_call without one, as an empty std::function.
  template <class... TArgs>
  decltype(auto) operator()(TArgs&&... Args) const {
    if (!Function_) throw std::bad_function_call();
    return (*Function_)(std::forward<TArgs>(Args)...);
  }

  // The handler (an empty one when none was assigned).
  const TFunction& Get() const noexcept {
    static const TFunction None;
    return Function_ ? *Function_ : None;
  }
  // The handler's room, made when first asked for: for code that assigns through a reference
  // (the property tables).
  TFunction& Storage() {
    if (!Function_) Function_ = std::make_unique<TFunction>();
    return *Function_;
  }

 private:
  std::unique_ptr<TFunction> Function_;
};

}  // namespace platform
