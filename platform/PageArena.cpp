#include "PageArena.h"

#include <sys/mman.h>

#include <array>
#include <bit>
#include <new>
#include <thread>
#include <utility>

#include "BlockPool.h"

namespace platform {

namespace {

// Regions are one huge page each, placed on huge-page boundaries.
constexpr size_t RegionBytes = size_t{2} << 20;

std::atomic<uint32_t> RegionsMapped{0};

struct TRegion {
  char* Next = nullptr;
  char* End = nullptr;
};

thread_local TRegion Current __attribute__((tls_model("initial-exec")));

char* MapRegion() {
  if (RegionsMapped.fetch_add(1, std::memory_order_relaxed) == 0) {
    void* Plain = mmap(nullptr, RegionBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (Plain == MAP_FAILED) throw std::bad_alloc();
    return static_cast<char*>(Plain);
  }
  // Twice the size, then the parts outside one aligned region are returned.
  void* Mapped = mmap(nullptr, 2 * RegionBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (Mapped == MAP_FAILED) throw std::bad_alloc();
  char* const Start = static_cast<char*>(Mapped);
  char* const Aligned =
      reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(Start) + RegionBytes - 1) & ~(uintptr_t{RegionBytes} - 1));
  if (Aligned > Start) munmap(Start, static_cast<size_t>(Aligned - Start));
  char* const After = Aligned + RegionBytes;
  if (Start + 2 * RegionBytes > After) munmap(After, static_cast<size_t>(Start + 2 * RegionBytes - After));
  // Advice only: without transparent huge pages the region works with ordinary pages.
  (void)madvise(Aligned, RegionBytes, MADV_HUGEPAGE);
  return Aligned;
}

}  // namespace

void* ArenaTake(size_t Bytes, size_t Align) {
  if (Bytes == 0 || Bytes > MaxArenaBlock || Align == 0 || Align > 16 || (Align & (Align - 1)) != 0)
    throw std::bad_alloc();
  TRegion& R = Current;
  char* At = R.Next ? reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(R.Next) + Align - 1) & ~(uintptr_t{Align} - 1))
                    : nullptr;
  if (!At || At + Bytes > R.End) {
    // The rest of the old region stays unused: at most a block's worth.
    char* const Region = MapRegion();
    R.End = Region + RegionBytes;
    At = Region;
  }
  R.Next = At + Bytes;
  return At;
}

size_t ArrayBlockBytes(size_t Bytes) noexcept { return Bytes <= 64 ? 64 : std::bit_ceil(Bytes); }

namespace {

// The pools of 64 bytes up to MaxArenaBlock, by the power of two: entry K serves 64 << K.
constexpr size_t SmallestArrayLog = 6;
constexpr size_t ArrayClasses = std::countr_zero(MaxArenaBlock) - SmallestArrayLog + 1;
using TTake = void* (*)(size_t);
using TGive = void (*)(void*, size_t) noexcept;

template <size_t... K>
constexpr std::array<TTake, sizeof...(K)> ArrayTakers(std::index_sequence<K...>) {
  return {&TBlockPool<(size_t{1} << (SmallestArrayLog + K))>::Take...};
}
template <size_t... K>
constexpr std::array<TGive, sizeof...(K)> ArrayGivers(std::index_sequence<K...>) {
  return {&TBlockPool<(size_t{1} << (SmallestArrayLog + K))>::Give...};
}
constexpr auto Takers = ArrayTakers(std::make_index_sequence<ArrayClasses>());
constexpr auto Givers = ArrayGivers(std::make_index_sequence<ArrayClasses>());

size_t PoolOf(size_t Class) noexcept { return static_cast<size_t>(std::countr_zero(Class)) - SmallestArrayLog; }

}  // namespace

void* TakeArray(size_t Bytes) {
  const size_t Class = ArrayBlockBytes(Bytes);
  if (Class > MaxArenaBlock) return ::operator new(Class);
  return Takers[PoolOf(Class)](Class);
}

void GiveArray(void* Block, size_t Bytes) noexcept {
  if (!Block) return;
  const size_t Class = ArrayBlockBytes(Bytes);
  if (Class > MaxArenaBlock) return ::operator delete(Block);
  Givers[PoolOf(Class)](Block, Class);
}

void TSharedBlockList::Lock() noexcept {
  while (Locked_.exchange(true, std::memory_order_acquire))
    while (Locked_.load(std::memory_order_relaxed)) std::this_thread::yield();
}

void TSharedBlockList::Put(void* First, void* Last, uint32_t Count) noexcept {
  if (!First || Count == 0) return;
  Lock();
  *static_cast<void**>(Last) = Head_;
  if (!Head_) Tail_ = Last;
  Head_ = First;
  Count_.store(Count_.load(std::memory_order_relaxed) + Count, std::memory_order_relaxed);
  Unlock();
}

void* TSharedBlockList::TakeAll(void*& Last, uint32_t& Count) noexcept {
  Lock();
  void* const Head = Head_;
  Last = Tail_;
  Count = Count_.load(std::memory_order_relaxed);
  Head_ = Tail_ = nullptr;
  Count_.store(0, std::memory_order_relaxed);
  Unlock();
  return Head;
}

}  // namespace platform
