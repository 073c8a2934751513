// Ref<T>: the one smart pointer of the system, over the intrusive count of TObject.
//
// A signature taking Ref<T> by value keeps the object; one taking T& or const T* only reads it.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace platform {

template <class T>
class Ref {
 public:
  constexpr Ref() noexcept = default;
  constexpr Ref(std::nullptr_t) noexcept {}
  // Takes a new reference to Object (which may already be referenced elsewhere).
  explicit Ref(T* Object) noexcept : Ptr_(Object) {
    if (Ptr_) Ptr_->AddRef();
  }
  Ref(const Ref& Other) noexcept : Ptr_(Other.Ptr_) {
    if (Ptr_) Ptr_->AddRef();
  }
  Ref(Ref&& Other) noexcept : Ptr_(std::exchange(Other.Ptr_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& Other) noexcept : Ptr_(Other.get()) {
    if (Ptr_) Ptr_->AddRef();
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& Other) noexcept : Ptr_(Other.Detach()) {}
  // For immortal objects defined at namespace scope: no count is taken (none is needed).
  struct TImmortalTag {};
  constexpr Ref(T* Object, TImmortalTag) noexcept : Ptr_(Object) {}
  ~Ref() {
    if (Ptr_) Ptr_->Release();
  }

  Ref& operator=(const Ref& Other) noexcept {
    Ref(Other).Swap(*this);
    return *this;
  }
  Ref& operator=(Ref&& Other) noexcept {
    Ref(std::move(Other)).Swap(*this);
    return *this;
  }
  Ref& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }

  T* get() const noexcept { return Ptr_; }
  T* operator->() const noexcept { return Ptr_; }
  T& operator*() const noexcept { return *Ptr_; }
  explicit operator bool() const noexcept { return Ptr_ != nullptr; }

  void Reset() noexcept {
    if (T* Old = std::exchange(Ptr_, nullptr)) Old->Release();
  }
  void Swap(Ref& Other) noexcept { std::swap(Ptr_, Other.Ptr_); }
  // Gives up the reference without releasing it.
  T* Detach() noexcept { return std::exchange(Ptr_, nullptr); }
  // Takes over a reference that was already counted for this pointer.
  static Ref Adopt(T* Object) noexcept {
    Ref R;
    R.Ptr_ = Object;
    return R;
  }

  friend bool operator==(const Ref& A, const Ref& B) noexcept { return A.Ptr_ == B.Ptr_; }
  friend bool operator==(const Ref& A, std::nullptr_t) noexcept { return A.Ptr_ == nullptr; }

 private:
  T* Ptr_ = nullptr;
};

template <class T, class... Args>
Ref<T> MakeRef(Args&&... A) {
  return Ref<T>(new T(std::forward<Args>(A)...));
}

// Downcast of a counted reference; nullptr when the object is not a T.
template <class T, class U>
Ref<T> RefCast(const Ref<U>& From) noexcept {
  return Ref<T>(dynamic_cast<T*>(From.get()));
}

template <class T, class U>
Ref<T> StaticRefCast(const Ref<U>& From) noexcept {
  return Ref<T>(static_cast<T*>(From.get()));
}

}  // namespace platform
