// TNoDestroy<T>: storage for a process-lifetime object that is constant-initialised and never
// destroyed, so it stays usable from any other static destructor.
#pragma once

#include <utility>

namespace platform {

template <class T>
class TNoDestroy {
 public:
  template <class... A>
  explicit constexpr TNoDestroy(A&&... Args) : Value_(std::forward<A>(Args)...) {}
  ~TNoDestroy() {}
  TNoDestroy(const TNoDestroy&) = delete;
  TNoDestroy& operator=(const TNoDestroy&) = delete;

  constexpr T& Get() noexcept { return Value_; }
  constexpr T* Ptr() noexcept { return &Value_; }

 private:
  union {
    T Value_;
  };
};

}  // namespace platform
