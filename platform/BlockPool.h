// TBlockPool: freed blocks of one size wait on a list of the thread that freed them and are
// handed out again, sparing the general allocator the traffic of objects the engine makes and
// drops by the million (tokens, bindings, activations, values).  A class opts in with
// PLATFORM_POOLED(ClassName) in its body.  New blocks are carved from the page arena (see
// PageArena.h), which gives a region back to the system when TrimPools finds all its blocks
// free.  A block can be freed on another thread than the one that made it: it joins that
// thread's list; a list that grows past about a megabyte hands half of it to a list shared by
// all threads, and a thread's list goes there when the thread ends, so that blocks freed on one
// thread serve another.  A thread whose list is empty takes about 64 KiB from the shared list,
// never all of it: threads that work at the same time then share the blocks there instead of
// one taking them all and the others carving new ones, which would make the pool grow by a
// thread's worth each time threads come and go.  Under AddressSanitizer blocks come from and
// go straight back to the allocator, so that a use after free is still reported; under
// ThreadSanitizer too, so that it sees each object's memory pass from one thread to another
// through the allocator, which it knows, not through a list it cannot follow.  Defining
// PLATFORM_NO_POOLS does the same in any build, for heap profilers to see every object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "PageArena.h"

namespace platform {

template <size_t Size>
class TBlockPool {
 public:
  static void* Take(size_t Bytes) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(PLATFORM_NO_POOLS)
    return ::operator new(Bytes);
#else
    if (Bytes != Size) return ::operator new(Bytes);
    TState& Pool = State;
    if (void* Block = Pool.Head) {
      Pool.Head = *static_cast<void**>(Block);
      if (--Pool.Count == 0) Pool.Tail = nullptr;
      return Block;
    }
    return Refill();
#endif
  }

  static void Give(void* Block, size_t Bytes) noexcept {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(PLATFORM_NO_POOLS)
    (void)Bytes;
    ::operator delete(Block);
#else
    if (Bytes != Size) {
      ::operator delete(Block);
      return;
    }
    TState& Pool = State;
    if (Pool.Closed) {
      Shared.Put(Block, Block, 1);
      return;
    }
    Register(Pool);
    *static_cast<void**>(Block) = Pool.Head;
    if (!Pool.Head) Pool.Tail = Block;
    Pool.Head = Block;
    if (++Pool.Count >= MaxBlocks) Spill(Pool);
#endif
  }

  // The blocks this thread's spills have walked to find where to cut their list (for tests
  // that the cost of freeing stays proportional to the blocks freed).
  static uint64_t SpilledWalk() noexcept { return SpillWalk; }

 private:
  static_assert(Size >= sizeof(void*), "a pooled block holds the link to the next one");
  static_assert(Size <= MaxArenaBlock, "pooled blocks are carved from the page arena");
  // About a megabyte of blocks per size and thread before half of them go to the shared list
  // (at least four blocks, as the largest size is a quarter of that).
  static constexpr uint32_t MaxBlocks = static_cast<uint32_t>((size_t{1} << 20) / Size);
  // What a thread takes from the shared list at once: few enough that the walk to cut them off
  // stays short (the lock is held meanwhile) and leaves them in the cache for their use.
  static constexpr uint32_t RefillBlocks =
      Size >= (size_t{64} << 10) ? 1 : static_cast<uint32_t>((size_t{64} << 10) / Size);
  // A block's address is a multiple of the largest power of two (up to 16) dividing Size,
  // which every object of that size needs.
  static constexpr size_t Align = Size % 16 == 0 ? 16 : Size % 8 == 0 ? 8 : Size % 4 == 0 ? 4 : Size % 2 == 0 ? 2 : 1;

  struct TState {
    void* Head;  // the list runs from the newest block to the oldest, Tail
    void* Tail;
    uint32_t Count;
    bool Registered;  // the closer below is in place
    bool Closed;      // the thread is ending: freed blocks go to the shared list
  };
  // Trivial, so that it stays usable while the thread's other objects are destroyed.
  static inline thread_local TState State __attribute__((tls_model("initial-exec"))) = {nullptr, nullptr, 0, false, false};

  // For TrimPools: the calling thread's blocks, handed to the shared list when Flush.
  static uint32_t CallerBlocks(bool Flush) noexcept {
    TState& Pool = State;
    const uint32_t Count = Pool.Count;
    if (Flush && Pool.Head) {
      Shared.Put(Pool.Head, Pool.Tail, Pool.Count);
      Pool.Head = Pool.Tail = nullptr;
      Pool.Count = 0;
    }
    return Count;
  }

  static inline TSharedBlockList Shared{Size, &CallerBlocks};
  static inline thread_local uint64_t SpillWalk = 0;

  // Puts the closer of this thread in place before its list first holds blocks.
  static void Register(TState& Pool) noexcept {
    if (Pool.Registered) return;
    Pool.Registered = true;
    (void)&Closer;  // constructs it
    Shared.Enlist();
  }

  // The thread's list is empty: blocks other threads gave up, or a new one.
  static void* Refill() {
    TState& Pool = State;
    // A thread that is ending takes no list it could not hand back.
    if (Shared.MayHaveBlocks() && !Pool.Closed) {
      uint32_t Count = 0;
      void* Last = nullptr;
      if (void* Block = Shared.Take(RefillBlocks, Last, Count)) {
        Register(Pool);
        Pool.Head = *static_cast<void**>(Block);
        Pool.Count = Count - 1;
        Pool.Tail = Pool.Head ? Last : nullptr;
        return Block;
      }
    }
    return ArenaTake(Size, Align);
  }

  // Hands all but the newest half of MaxBlocks, likelier to be in the cache, to the shared
  // list.
  static void Spill(TState& Pool) noexcept {
    const uint32_t Keep = MaxBlocks / 2;
    void* Last = Pool.Head;
    for (uint32_t I = 1; I < Keep; ++I) Last = *static_cast<void**>(Last);
    SpillWalk += Keep;
    void* const First = *static_cast<void**>(Last);
    *static_cast<void**>(Last) = nullptr;
    Shared.Put(First, Pool.Tail, Pool.Count - Keep);
    Pool.Tail = Last;
    Pool.Count = Keep;
  }

  // Hands the thread's blocks to the shared list when the thread ends.
  struct TCloser {
    ~TCloser() {
      State.Closed = true;
      if (State.Head) Shared.Put(State.Head, State.Tail, State.Count);
      State.Head = State.Tail = nullptr;
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
