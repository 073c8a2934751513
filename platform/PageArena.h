// Where pooled blocks come from, and how they go back to the system.  A matching engine keeps
// tens of megabytes of small objects (tokens, values, memory buckets) and walks them in no
// particular order.  ArenaTake carves blocks from regions of 2 MiB mapped for the purpose, on
// 2 MiB boundaries, so that a block's region is its address rounded down.  The regions keep
// ordinary pages: huge pages would spare page-table misses on walks, but the kernel clears a
// whole huge page at its first touch, and where fresh memory is costly to come by (a virtual
// machine backing its memory lazily) that made the system time of a program growing to a few
// hundred megabytes vary between a tenth and twice its user time.  Arrays up to 256 KiB (join
// memories' buckets, token backlogs) take blocks of a power of two through TakeArray or the
// standard allocator TArenaAllocator.
//
// A thread carves from a region of its own.  When the thread ends, the rest of its region
// waits for the next thread that needs one, and its free blocks go to the shared lists
// (TSharedBlockList), so that the memory a host uses follows the number of threads working at
// once, not the number that ever did.  Freed blocks stay in the pools for reuse until
// TrimPools looks for regions whose every carved block lies free on the shared lists or the
// calling thread's own, takes those blocks off the lists and unmaps the regions.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

// The largest block ArenaTake carves.
constexpr size_t MaxArenaBlock = size_t{256} << 10;

// A block of Bytes (at most MaxArenaBlock) aligned to Align (a power of two of at most 16),
// from the calling thread's current region.  Throws std::bad_alloc when no region can be
// mapped.  Such a block is never given back to the system unless a block pool hands it out and
// takes it back (a region goes only when all of it is free).
void* ArenaTake(size_t Bytes, size_t Align);

// Blocks for arrays: a power of two of at least 64 bytes that holds Bytes, from the block pool
// of that size up to MaxArenaBlock, from the general allocator beyond.  GiveArray takes the
// same Bytes (or any other that rounds to the same power of two).
size_t ArrayBlockBytes(size_t Bytes) noexcept;
void* TakeArray(size_t Bytes);
void GiveArray(void* Block, size_t Bytes) noexcept;

// A standard allocator over TakeArray, for the large arrays of the matching network.
template <class T>
struct TArenaAllocator {
  using value_type = T;
  TArenaAllocator() noexcept = default;
  template <class U>
  TArenaAllocator(const TArenaAllocator<U>&) noexcept {}
  T* allocate(size_t N) { return static_cast<T*>(TakeArray(N * sizeof(T))); }
  void deallocate(T* Block, size_t N) noexcept { GiveArray(Block, N * sizeof(T)); }
  friend bool operator==(const TArenaAllocator&, const TArenaAllocator&) noexcept { return true; }
};

// Gives back to the system every region whose carved blocks are all free on the shared lists
// or on the calling thread's lists, and the general allocator's free pages.  Blocks on other
// running threads' lists keep their regions.  The cost is a walk over the free blocks (none
// when no other thread carves and every block is free) and the unmapping, so a host calls it
// after it has dropped much; an engine's Clear and destructor call TrimPoolsIfGrown.
void TrimPools() noexcept;

// TrimPools when the free blocks in sight have grown by at least 8 MiB and at least doubled
// since the last trim, so that the walks together cost no more than freeing the blocks did;
// otherwise it only adds up the lists' lengths.  The general allocator is trimmed only when
// it holds at least 32 MiB free.
void TrimPoolsIfGrown() noexcept;

struct TPoolUsage {
  size_t MappedBytes;  // the regions mapped now
  size_t FreeBytes;    // the blocks on the shared lists and the calling thread's lists
};
TPoolUsage PoolUsage() noexcept;

// A list of free blocks of one size that every thread may hand blocks to and take them from:
// a thread gives up its surplus here, and its whole list when it ends.  Constant-initialised
// and trivially destructible, so that it serves threads ending at any time.  A block pool's
// list is enlisted for TrimPools, with the function that hands the calling thread's blocks of
// that size to it.
class TSharedBlockList {
 public:
  // Answers the calling thread's blocks of the pool, first handing them all to the shared list
  // when Flush.
  using TCallerBlocks = uint32_t (*)(bool Flush) noexcept;

  constexpr TSharedBlockList() noexcept = default;
  constexpr TSharedBlockList(size_t BlockBytes, TCallerBlocks CallerBlocks) noexcept
      : BlockBytes_(BlockBytes), CallerBlocks_(CallerBlocks) {}
  TSharedBlockList(const TSharedBlockList&) = delete;
  TSharedBlockList& operator=(const TSharedBlockList&) = delete;

  // Adds the chain First..Last (linked through each block's first word, Last's link is
  // overwritten) of Count blocks.
  void Put(void* First, void* Last, uint32_t Count) noexcept;
  // Takes at most Most blocks (at least one), the newest first; answers the chain's head (null
  // when empty), its last block in Last and its length in Count.
  void* Take(uint32_t Most, void*& Last, uint32_t& Count) noexcept;
  // Takes every block, the same way.
  void* TakeAll(void*& Last, uint32_t& Count) noexcept;
  // A hint, read without the lock: whether Take may find blocks.
  bool MayHaveBlocks() const noexcept { return Count_.load(std::memory_order_relaxed) != 0; }
  uint32_t ApproximateCount() const noexcept { return Count_.load(std::memory_order_relaxed); }

  // Makes the list one that TrimPools looks at (once; later calls return at once).
  void Enlist() noexcept {
    if (!Enlisted_.load(std::memory_order_acquire)) EnlistSlow();
  }

 private:
  friend struct TPoolTrimmer;
  void Lock() noexcept;
  void Unlock() noexcept { Locked_.store(false, std::memory_order_release); }
  void EnlistSlow() noexcept;
  std::atomic<bool> Locked_{false};
  std::atomic<bool> Enlisted_{false};
  std::atomic<uint32_t> Count_{0};
  void* Head_ = nullptr;
  void* Tail_ = nullptr;
  size_t BlockBytes_ = 0;
  TCallerBlocks CallerBlocks_ = nullptr;
  TSharedBlockList* NextEnlisted_ = nullptr;
};

}  // namespace platform
