// Vectors that keep their first elements in their owner's block and move to the heap only beyond
// that: records with a handful of fields (a fact's slot entries, a context's bindings) then sit
// in the same block as their owner, so reading a field costs no second allocation and no second
// cache miss.  Both offer the part of std::vector's interface such owners use.
//   TSmallVector<T, N>  room for N elements inside itself (movable);
//   TBufferVector<T>    room its owner decides when it is made, placed beside the owner.
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

namespace detail {

// What both vectors share: the elements at Data_ and the operations on them.  Derived supplies
// capacity() and Grow(Count), which moves the elements to a heap block of Count.
template <class T, class Derived>
class TVectorElements {
  static_assert(std::is_nothrow_move_constructible_v<T>, "elements move between the inline and heap storage");

 public:
  using value_type = T;
  using iterator = T*;
  using const_iterator = const T*;

  size_t size() const noexcept { return Size_; }
  bool empty() const noexcept { return Size_ == 0; }
  T* data() noexcept { return Data_; }
  const T* data() const noexcept { return Data_; }
  iterator begin() noexcept { return Data_; }
  iterator end() noexcept { return Data_ + Size_; }
  const_iterator begin() const noexcept { return Data_; }
  const_iterator end() const noexcept { return Data_ + Size_; }
  T& operator[](size_t Index) noexcept { return Data_[Index]; }
  const T& operator[](size_t Index) const noexcept { return Data_[Index]; }
  T& at(size_t Index) {
    if (Index >= Size_) throw std::out_of_range("vector index out of range");
    return Data_[Index];
  }
  const T& at(size_t Index) const {
    if (Index >= Size_) throw std::out_of_range("vector index out of range");
    return Data_[Index];
  }

  void reserve(size_t Count) {
    if (Count > Self().capacity()) Self().Grow(Count);
  }
  template <class... TArgs>
  T& emplace_back(TArgs&&... Args) {
    if (Size_ == Self().capacity()) {
      // The new element is built before the old ones move: Args may refer to one of them.
      T Element(std::forward<TArgs>(Args)...);
      Self().Grow(Size_ ? size_t(Size_) * 2 : 4);
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
  // Replaces the contents with the elements of [First, Last), moved or copied as the iterators give.
  template <class TIterator>
  void assign(TIterator First, TIterator Last) {
    clear();
    reserve(static_cast<size_t>(std::distance(First, Last)));
    for (; First != Last; ++First) emplace_back(*First);
  }

 protected:
  explicit TVectorElements(T* Data) noexcept : Data_(Data) {}
  ~TVectorElements() = default;

  // A heap block of Count with the elements moved into it; the old storage is the caller's.
  T* MoveToHeap(size_t Count) {
    if (Count > UINT32_MAX / 2) throw std::length_error("vector too long");
    T* Fresh = static_cast<T*>(::operator new(Count * sizeof(T), std::align_val_t(alignof(T))));
    std::uninitialized_move(begin(), end(), Fresh);
    std::destroy(begin(), end());
    return Fresh;
  }
  static void FreeHeap(T* Block) noexcept { ::operator delete(static_cast<void*>(Block), std::align_val_t(alignof(T))); }

  T* Data_;
  uint32_t Size_ = 0;

 private:
  Derived& Self() noexcept { return static_cast<Derived&>(*this); }
  const Derived& Self() const noexcept { return static_cast<const Derived&>(*this); }
};

}  // namespace detail

template <class T, size_t N>
class TSmallVector : public detail::TVectorElements<T, TSmallVector<T, N>> {
  static_assert(N > 0, "a small vector keeps at least one element inline");
  using TBase = detail::TVectorElements<T, TSmallVector<T, N>>;
  friend TBase;

 public:
  TSmallVector() noexcept : TBase(InlineData()) {}
  ~TSmallVector() {
    this->clear();
    ReleaseHeap();
  }
  TSmallVector(const TSmallVector&) = delete;
  TSmallVector& operator=(const TSmallVector&) = delete;
  TSmallVector(TSmallVector&& Other) noexcept : TBase(InlineData()) { TakeFrom(Other); }
  TSmallVector& operator=(TSmallVector&& Other) noexcept {
    if (this != &Other) {
      this->clear();
      ReleaseHeap();
      TakeFrom(Other);
    }
    return *this;
  }

  size_t capacity() const noexcept { return Capacity_; }

 private:
  T* InlineData() noexcept { return reinterpret_cast<T*>(Inline_); }
  bool OnHeap() const noexcept { return this->Data_ != reinterpret_cast<const T*>(Inline_); }
  void ReleaseHeap() noexcept {
    if (OnHeap()) TBase::FreeHeap(this->Data_);
    this->Data_ = InlineData();
    Capacity_ = N;
  }
  void Grow(size_t Count) {
    T* Fresh = this->MoveToHeap(Count);
    if (OnHeap()) TBase::FreeHeap(this->Data_);
    this->Data_ = Fresh;
    Capacity_ = static_cast<uint32_t>(Count);
  }
  // Takes Other's elements, leaving it empty with its inline storage.
  void TakeFrom(TSmallVector& Other) noexcept {
    if (Other.OnHeap()) {
      this->Data_ = Other.Data_;
      Capacity_ = Other.Capacity_;
      this->Size_ = Other.Size_;
    } else {
      this->Data_ = InlineData();
      Capacity_ = N;
      std::uninitialized_move(Other.begin(), Other.end(), this->Data_);
      this->Size_ = Other.Size_;
      std::destroy(Other.begin(), Other.end());
    }
    Other.Data_ = Other.InlineData();
    Other.Capacity_ = N;
    Other.Size_ = 0;
  }

  uint32_t Capacity_ = N;
  alignas(T) unsigned char Inline_[N * sizeof(T)];
};

// The room is decided by the owner when it is made: the owner hands over a buffer (storage
// placed right after itself in its own block, sized to what it will hold).  The vector never
// goes back to the buffer, so it needs no pointer to it: a flag says whether Data_ is the heap's.
template <class T>
class TBufferVector : public detail::TVectorElements<T, TBufferVector<T>> {
  using TBase = detail::TVectorElements<T, TBufferVector<T>>;
  friend TBase;

 public:
  // Buffer holds room for Capacity elements (nothing yet constructed), or is nullptr.
  TBufferVector(T* Buffer, uint32_t Capacity) noexcept : TBase(Buffer), Capacity_(Buffer ? Capacity : 0) {}
  ~TBufferVector() {
    this->clear();
    if (OnHeap_) TBase::FreeHeap(this->Data_);
  }
  TBufferVector(const TBufferVector&) = delete;
  TBufferVector& operator=(const TBufferVector&) = delete;

  size_t capacity() const noexcept { return Capacity_; }

 private:
  void Grow(size_t Count) {
    T* Fresh = this->MoveToHeap(Count);
    if (OnHeap_) TBase::FreeHeap(this->Data_);
    this->Data_ = Fresh;
    Capacity_ = static_cast<uint32_t>(Count);
    OnHeap_ = true;
  }

  uint32_t Capacity_ : 31;
  uint32_t OnHeap_ : 1 = 0;
};

}  // namespace platform
