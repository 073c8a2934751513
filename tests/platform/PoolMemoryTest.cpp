// The pools' memory over a host's lifetime: what ended threads leave is used by later ones, and
// TrimPools unmaps the regions whose blocks are all free, and only those.  Regions are counted
// through PoolUsage; resident memory is read too where the pools are in use (under the
// sanitizers blocks come from the allocator).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "tests/platform/ProcessMemory.h"

#include "platform/BlockPool.h"
#include "platform/PageArena.h"

using namespace platform;

using platform::testing::MiB;
using platform::testing::PoolsInUse;
using platform::testing::ResidentBytes;

namespace {

constexpr size_t RegionBytes = 2 * MiB;

size_t Mapped() { return PoolUsage().MappedBytes; }

// Pooled records of a few sizes of their own, filled with a pattern so that a block that
// served two objects, or memory that went away, would show.
template <size_t Words>
struct TRecord {
  PLATFORM_POOLED(TRecord)
  explicit TRecord(uint64_t Seed) { std::fill(std::begin(W), std::end(W), Seed); }
  bool Intact(uint64_t Seed) const {
    return std::all_of(std::begin(W), std::end(W), [Seed](uint64_t X) { return X == Seed; });
  }
  uint64_t W[Words];
};
using TSmall = TRecord<3>;
using TMedium = TRecord<5>;
using TLarge = TRecord<25>;
using TKilo = TRecord<125>;

uint64_t SeedOf(const void* P) { return reinterpret_cast<uintptr_t>(P) * 0x9e3779b97f4a7c15u; }

template <class T>
std::vector<T*> MakeMany(size_t Count) {
  std::vector<T*> Made(Count);
  for (T*& P : Made) {
    P = new T(0);
    *P = T(SeedOf(P));
  }
  return Made;
}

template <class T>
bool AllIntact(const std::vector<T*>& Made) {
  return std::all_of(Made.begin(), Made.end(), [](const T* P) { return P->Intact(SeedOf(P)); });
}

template <class T>
void FreeAll(std::vector<T*>& Made) {
  for (T* P : Made) delete P;
  Made.clear();
}

// About 2 MiB of blocks of every kind a thread of a matching engine uses: small objects and
// arrays of several powers of two, made, checked and freed.
void WorkLikeAnEngineThread() {
  auto Small = MakeMany<TSmall>(8000);
  auto Medium = MakeMany<TMedium>(8000);
  auto Large = MakeMany<TLarge>(2000);
  std::vector<std::pair<void*, size_t>> Arrays;
  for (size_t Bytes : {size_t{100}, size_t{5000}, size_t{100000}})
    for (size_t I = 0; I < (size_t{512} << 10) / ArrayBlockBytes(Bytes) + 1; ++I) {
      void* Block = TakeArray(Bytes);
      std::memset(Block, 0x5a, Bytes);
      Arrays.emplace_back(Block, Bytes);
    }
  EXPECT_TRUE(AllIntact(Small) && AllIntact(Medium) && AllIntact(Large));
  FreeAll(Small);
  FreeAll(Medium);
  FreeAll(Large);
  for (auto [Block, Bytes] : Arrays) GiveArray(Block, Bytes);
}

}  // namespace

// Pairs of threads at work at the same time, one pair after the other: once the first pairs
// have made what two threads use, the later ones use the same regions and blocks, of every
// size, and map nothing more.
TEST(PoolMemory, EndedThreadsLeaveTheirRegionsAndBlocksToLaterThreads) {
  auto Pair = [] {
    std::thread First(WorkLikeAnEngineThread), Second(WorkLikeAnEngineThread);
    First.join();
    Second.join();
  };
  for (int I = 0; I < 5; ++I) Pair();
  const size_t MappedBefore = Mapped();
  const size_t ResidentBefore = ResidentBytes();
  for (int I = 0; I < 200; ++I) Pair();
  EXPECT_LE(Mapped(), MappedBefore + RegionBytes);
  if (PoolsInUse) {
    EXPECT_LT(ResidentBytes(), ResidentBefore + 16 * MiB);
  }
}

// Regions whose blocks are all free go back to the system; a region with a block in use stays,
// and so does the block.  Whatever comes after carves and reuses memory as before.
TEST(PoolMemory, TrimUnmapsTheRegionsWhoseBlocksAreAllFree) {
  TrimPools();
  const size_t MappedBefore = Mapped();
  const size_t ResidentBefore = ResidentBytes();
  auto Many = MakeMany<TLarge>((size_t{96} << 20) / sizeof(TLarge));
  std::vector<void*> Arrays;
  for (int I = 0; I < 64; ++I) Arrays.push_back(TakeArray(MaxArenaBlock));
  for (void* Block : Arrays) std::memset(Block, 0x33, MaxArenaBlock);
  if (PoolsInUse) {
    EXPECT_GE(Mapped(), MappedBefore + (size_t{100} << 20));
  }
  // A few survivors at the start and one in the middle keep their regions.
  std::vector<TLarge*> Survivors(Many.begin(), Many.begin() + 100);
  Survivors.push_back(Many[Many.size() / 2]);
  for (size_t I = 100; I < Many.size(); ++I)
    if (I != Many.size() / 2) delete Many[I];
  Many.clear();
  for (void* Block : Arrays) GiveArray(Block, MaxArenaBlock);
  TrimPools();
  EXPECT_LE(Mapped(), MappedBefore + 3 * RegionBytes);
  EXPECT_TRUE(AllIntact(Survivors));
  if (PoolsInUse) {
    EXPECT_LT(ResidentBytes(), ResidentBefore + 16 * MiB);
  }
  // The pools work on: the blocks left on the lists and new regions serve new objects.
  auto Again = MakeMany<TLarge>((size_t{16} << 20) / sizeof(TLarge));
  EXPECT_TRUE(AllIntact(Again) && AllIntact(Survivors));
  std::set<void*> Distinct(Again.begin(), Again.end());
  Distinct.insert(Survivors.begin(), Survivors.end());
  EXPECT_EQ(Distinct.size(), Again.size() + Survivors.size());
  FreeAll(Again);
  FreeAll(Survivors);
  // The engine's call trims only once enough was freed: here it was.
  TrimPoolsIfGrown();
  EXPECT_LE(Mapped(), MappedBefore);
}

// Blocks another running thread freed wait on its own list, out of the trim's sight: their
// region stays mapped, and the thread can use them again.  Once the thread has ended they are
// on the shared list and the region goes.
TEST(PoolMemory, TrimKeepsRegionsWhoseFreeBlocksWaitOnAnotherThread) {
  TrimPools();
  std::mutex Lock;
  std::condition_variable Changed;
  int Step = 0;
  auto WaitFor = [&](int Wanted) {
    std::unique_lock<std::mutex> Guard(Lock);
    Changed.wait(Guard, [&] { return Step >= Wanted; });
  };
  auto Advance = [&] {
    const std::lock_guard<std::mutex> Guard(Lock);
    ++Step;
    Changed.notify_all();
  };
  // More than a region's worth, so that the first blocks lie in a region the thread has left.
  std::vector<TKilo*> Made;
  std::vector<TKilo*> Kept;
  std::set<void*> KeptBlocks;
  std::thread Worker([&] {
    Made = MakeMany<TKilo>(2600);
    // Fewer than a thread's list holds before it hands blocks to the shared list.
    Kept.assign(Made.begin(), Made.begin() + 500);
    Made.erase(Made.begin(), Made.begin() + 500);
    KeptBlocks.insert(Kept.begin(), Kept.end());
    FreeAll(Kept);
    Advance();  // 1: the others are for the main thread to free
    WaitFor(2);
    Kept = MakeMany<TKilo>(500);  // writes every block again
    if (PoolsInUse) {
      for (TKilo* P : Kept) EXPECT_EQ(KeptBlocks.count(P), 1u) << "not a block this thread freed";
    }
    EXPECT_TRUE(AllIntact(Kept));
    FreeAll(Kept);
  });
  WaitFor(1);
  FreeAll(Made);
  TrimPools();
  const size_t MappedWhileWaiting = Mapped();
  Advance();  // 2
  Worker.join();
  TrimPools();
  if (PoolsInUse) {
    EXPECT_LT(Mapped(), MappedWhileWaiting);
  }
}
