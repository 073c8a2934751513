// TSmallVector: a vector that keeps up to N elements inside itself and moves to the heap only
// beyond that.  Records with a handful of fields (a fact's slot entries) then sit in the same
// block as their owner, so reading a field costs no second allocation and no second cache miss.
// It offers the part of std::vector's interface such owners use.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace platform {

template <class T, size_t N>
class TSmallVector {
  static_assert(N > 0, "a small vector keeps at least one element inline");
  static_assert(std::is_nothrow_move_constructible_v<T>, "elements move between the inline and heap storage");

 public:
  using value_type = T;
  using iterator = T*;
  using const_iterator = const T*;

  TSmallVector() noexcept = default;
  ~TSmallVector() {
    DestroyAll();
    ReleaseHeap();
  }
  TSmallVector(const TSmallVector&) = delete;
  TSmallVector& operator=(const TSmallVector&) = delete;
  TSmallVector(TSmallVector&& Other) noexcept { TakeFrom(Other); }
  TSmallVector& operator=(TSmallVector&& Other) noexcept {
    if (this != &Other) {
      clear();
      ReleaseHeap();
      TakeFrom(Other);
    }
    return *this;
  }

  size_t size() const noexcept { return Size_; }
  bool empty() const noexcept { return Size_ == 0; }
  size_t capacity() const noexcept { return Capacity_; }
  T* data() noexcept { return Data_; }
  const T* data() const noexcept { return Data_; }
  iterator begin() noexcept { return Data_; }
  iterator end() noexcept { return Data_ + Size_; }
  const_iterator begin() const noexcept { return Data_; }
  const_iterator end() const noexcept { return Data_ + Size_; }
  T& operator[](size_t Index) noexcept { return Data_[Index]; }
  const T& operator[](size_t Index) const noexcept { return Data_[Index]; }
  T& at(size_t Index) {
    if (Index >= Size_) throw std::out_of_range("TSmallVector::at");
    return Data_[Index];
  }
  const T& at(size_t Index) const {
    if (Index >= Size_) throw std::out_of_range("TSmallVector::at");
    return Data_[Index];
  }

  void reserve(size_t Count) {
    if (Count > Capacity_) Grow(Count);
  }
  template <class... TArgs>
  T& emplace_back(TArgs&&... Args) {
    if (Size_ == Capacity_) {
      // The new element is built before the old ones move: Args may refer to one of them.
      T Element(std::forward<TArgs>(Args)...);
      Grow(Capacity_ * 2);
      return *::new (static_cast<void*>(Data_ + Size_++)) T(std::move(Element));
    }
    return *::new (static_cast<void*>(Data_ + Size_++)) T(std::forward<TArgs>(Args)...);
  }
  void push_back(const T& Value) { emplace_back(Value); }
  void push_back(T&& Value) { emplace_back(std::move(Value)); }
  iterator erase(const_iterator Position) {
    T* At = Data_ + (Position - Data_);
    std::move(At + 1, end(), At);
    Data_[--Size_].~T();
    return At;
  }
  void clear() noexcept {
    DestroyAll();
    Size_ = 0;
  }
  // Replaces the contents with the elements of [First, Last), moved or copied as the iterators give.
  template <class TIterator>
  void assign(TIterator First, TIterator Last) {
    clear();
    reserve(static_cast<size_t>(std::distance(First, Last)));
    for (; First != Last; ++First) emplace_back(*First);
  }

 private:
  T* InlineData() noexcept { return reinterpret_cast<T*>(Inline_); }
  bool OnHeap() const noexcept { return Data_ != reinterpret_cast<const T*>(Inline_); }
  void DestroyAll() noexcept { std::destroy(begin(), end()); }
  void ReleaseHeap() noexcept {
    if (OnHeap()) ::operator delete(static_cast<void*>(Data_), std::align_val_t(alignof(T)));
    Data_ = InlineData();
    Capacity_ = N;
  }
  void Grow(size_t Count) {
    T* Fresh = static_cast<T*>(::operator new(Count * sizeof(T), std::align_val_t(alignof(T))));
    std::uninitialized_move(begin(), end(), Fresh);
    DestroyAll();
    if (OnHeap()) ::operator delete(static_cast<void*>(Data_), std::align_val_t(alignof(T)));
    Data_ = Fresh;
    Capacity_ = static_cast<uint32_t>(Count);
  }
  // Takes Other's elements, leaving it empty with its inline storage.
  void TakeFrom(TSmallVector& Other) noexcept {
    if (Other.OnHeap()) {
      Data_ = Other.Data_;
      Capacity_ = Other.Capacity_;
      Size_ = Other.Size_;
    } else {
      Data_ = InlineData();
      Capacity_ = N;
      std::uninitialized_move(Other.begin(), Other.end(), Data_);
      Size_ = Other.Size_;
      Other.DestroyAll();
    }
    Other.Data_ = Other.InlineData();
    Other.Capacity_ = N;
    Other.Size_ = 0;
  }

  T* Data_ = InlineData();
  uint32_t Size_ = 0;
  uint32_t Capacity_ = N;
  alignas(T) unsigned char Inline_[N * sizeof(T)];
};

// TBufferVector: the same for an owner whose room for elements is decided when it is made: the
// owner hands over a buffer (storage placed right after itself in its own block, sized to what
// it will hold) and the vector moves to the heap only beyond it.  It never goes back to the
// buffer, so it needs no pointer to it: a flag says whether Data_ is the heap's.
template <class T>
class TBufferVector {
  static_assert(std::is_nothrow_move_constructible_v<T>, "elements move between the buffer and heap storage");

 public:
  using value_type = T;
  using iterator = T*;
  using const_iterator = const T*;

  // Buffer holds room for Capacity elements (nothing yet constructed), or is nullptr.
  TBufferVector(T* Buffer, uint32_t Capacity) noexcept : Data_(Buffer), Capacity_(Buffer ? Capacity : 0) {}
  ~TBufferVector() {
    std::destroy(begin(), end());
    if (OnHeap_) ::operator delete(static_cast<void*>(Data_), std::align_val_t(alignof(T)));
  }
  TBufferVector(const TBufferVector&) = delete;
  TBufferVector& operator=(const TBufferVector&) = delete;

  size_t size() const noexcept { return Size_; }
  bool empty() const noexcept { return Size_ == 0; }
  size_t capacity() const noexcept { return Capacity_; }
  T* data() noexcept { return Data_; }
  const T* data() const noexcept { return Data_; }
  iterator begin() noexcept { return Data_; }
  iterator end() noexcept { return Data_ + Size_; }
  const_iterator begin() const noexcept { return Data_; }
  const_iterator end() const noexcept { return Data_ + Size_; }
  T& operator[](size_t Index) noexcept { return Data_[Index]; }
  const T& operator[](size_t Index) const noexcept { return Data_[Index]; }
  T& at(size_t Index) {
    if (Index >= Size_) throw std::out_of_range("TBufferVector::at");
    return Data_[Index];
  }
  const T& at(size_t Index) const {
    if (Index >= Size_) throw std::out_of_range("TBufferVector::at");
    return Data_[Index];
  }

  void reserve(size_t Count) {
    if (Count > Capacity_) Grow(Count);
  }
  template <class... TArgs>
  T& emplace_back(TArgs&&... Args) {
    if (Size_ == Capacity_) {
      // The new element is built before the old ones move: Args may refer to one of them.
      T Element(std::forward<TArgs>(Args)...);
      Grow(Capacity_ ? size_t(Capacity_) * 2 : 4);
      return *::new (static_cast<void*>(Data_ + Size_++)) T(std::move(Element));
    }
    return *::new (static_cast<void*>(Data_ + Size_++)) T(std::forward<TArgs>(Args)...);
  }
  void push_back(const T& Value) { emplace_back(Value); }
  void push_back(T&& Value) { emplace_back(std::move(Value)); }
  iterator erase(const_iterator Position) {
    T* At = Data_ + (Position - Data_);
    std::move(At + 1, end(), At);
    Data_[--Size_].~T();
    return At;
  }
  void clear() noexcept {
    std::destroy(begin(), end());
    Size_ = 0;
  }
  template <class TIterator>
  void assign(TIterator First, TIterator Last) {
    clear();
    reserve(static_cast<size_t>(std::distance(First, Last)));
    for (; First != Last; ++First) emplace_back(*First);
  }

 private:
  void Grow(size_t Count) {
    if (Count > UINT32_MAX / 2) throw std::length_error("TBufferVector");
    T* Fresh = static_cast<T*>(::operator new(Count * sizeof(T), std::align_val_t(alignof(T))));
    std::uninitialized_move(begin(), end(), Fresh);
    std::destroy(begin(), end());
    if (OnHeap_) ::operator delete(static_cast<void*>(Data_), std::align_val_t(alignof(T)));
    Data_ = Fresh;
    Capacity_ = static_cast<uint32_t>(Count);
    OnHeap_ = true;
  }

  T* Data_;
  uint32_t Size_ = 0;
  uint32_t Capacity_ : 31;
  uint32_t OnHeap_ : 1 = 0;
};

}  // namespace platform
