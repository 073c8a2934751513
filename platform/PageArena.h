// Where pooled blocks come from.  A matching engine keeps tens of megabytes of small objects
// (tokens, values, memory buckets) and walks them in no particular order, so the cost of a
// walk is the processor's page-table misses as much as its cache misses.  ArenaTake carves
// blocks from large regions mapped for the purpose; after the first region the kernel is
// asked to back them with huge pages, so that a few translations cover the whole network.
// The first region keeps ordinary pages, so that a small program stays small.  Arena blocks
// are never given back to the system: the block pools keep them for reuse, and a thread's
// blocks outlive the thread on a shared list (TSharedBlockList).  Arrays up to 256 KiB (join
// memories' buckets, token backlogs) take blocks of a power of two through TakeArray or the
// standard allocator TArenaAllocator.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

// The largest block ArenaTake carves.
constexpr size_t MaxArenaBlock = size_t{256} << 10;

// A block of Bytes (at most MaxArenaBlock) aligned to Align (a power of two of at most 16),
// from the calling thread's current region.  Throws std::bad_alloc when no region can be
// mapped.
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

// A list of free blocks of one size that every thread may hand blocks to and take them from:
// a thread gives up its surplus here, and its whole list when it ends.  Constant-initialised
// and trivially destructible, so that it serves threads ending at any time.
class TSharedBlockList {
 public:
  constexpr TSharedBlockList() noexcept = default;
  TSharedBlockList(const TSharedBlockList&) = delete;
  TSharedBlockList& operator=(const TSharedBlockList&) = delete;

  // Adds the chain First..Last (linked through each block's first word, Last's link is
  // overwritten) of Count blocks.
  void Put(void* First, void* Last, uint32_t Count) noexcept;
  // Takes every block; answers the chain's head (null when empty), its last block in Last and
  // its length in Count.
  void* TakeAll(void*& Last, uint32_t& Count) noexcept;
  // A hint, read without the lock: whether TakeAll may find blocks.
  bool MayHaveBlocks() const noexcept { return Count_.load(std::memory_order_relaxed) != 0; }

 private:
  void Lock() noexcept;
  void Unlock() noexcept { Locked_.store(false, std::memory_order_release); }
  std::atomic<bool> Locked_{false};
  std::atomic<uint32_t> Count_{0};
  void* Head_ = nullptr;
  void* Tail_ = nullptr;
};

}  // namespace platform
