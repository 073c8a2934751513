// TBlockPool: freed blocks of one size wait on a list of the thread that freed them and are
// handed out again, sparing the general allocator the traffic of objects the engine makes and
// drops by the million (tokens, bindings, activations, values).  A class opts in with
// PLATFORM_POOLED(ClassName) in its body.  The list is bounded, and a block can be freed on
// another thread than the one that made it: it simply joins that thread's list.  Under
// AddressSanitizer blocks go straight back to the allocator, so that a use after free is still
// reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace platform {

template <size_t Size>
class TBlockPool {
 public:
  static void* Take(size_t Bytes) {
    TState& Pool = State;
    if (Bytes == Size && Pool.Head) {
      void* Block = Pool.Head;
      Pool.Head = *static_cast<void**>(Block);
      --Pool.Count;
      return Block;
    }
    return ::operator new(Bytes);
  }

  static void Give(void* Block, size_t Bytes) noexcept {
    TState& Pool = State;
    if (Bytes != Size || Pool.Count >= MaxBlocks || Pool.Closed) {
      ::operator delete(Block);
      return;
    }
    if (!Pool.Registered) {
      Pool.Registered = true;
      (void)&Closer;  // constructs the closer of this thread
    }
    *static_cast<void**>(Block) = Pool.Head;
    Pool.Head = Block;
    ++Pool.Count;
  }

 private:
  static_assert(Size >= sizeof(void*), "a pooled block holds the link to the next one");
#if defined(__SANITIZE_ADDRESS__)
  static constexpr uint32_t MaxBlocks = 0;
#else
  // About a megabyte of blocks at most per size and thread.
  static constexpr uint32_t MaxBlocks = static_cast<uint32_t>((1u << 20) / Size);
#endif
  struct TState {
    void* Head;
    uint32_t Count;
    bool Registered;  // the closer below is in place
    bool Closed;      // the thread is ending: no more pooling
  };
  // Trivial, so that it stays usable while the thread's other objects are destroyed.
  static inline thread_local TState State __attribute__((tls_model("initial-exec"))) = {nullptr, 0, false, false};

  // Returns the pooled blocks when the thread ends.
  struct TCloser {
    ~TCloser() {
      State.Closed = true;
      while (void* Block = State.Head) {
        State.Head = *static_cast<void**>(Block);
        ::operator delete(Block);
      }
      State.Count = 0;
    }
  };
  static inline thread_local TCloser Closer;
};

}  // namespace platform

// Gives a class the pooled allocation of blocks of its size (see TBlockPool).
#define PLATFORM_POOLED(ClassName)                                                             \
  static void* operator new(size_t Bytes) { return ::platform::TBlockPool<sizeof(ClassName)>::Take(Bytes); } \
  static void operator delete(void* Block, size_t Bytes) noexcept {                            \
    ::platform::TBlockPool<sizeof(ClassName)>::Give(Block, Bytes);                             \
  }
