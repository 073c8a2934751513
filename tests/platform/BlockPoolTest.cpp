#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "platform/BlockPool.h"
#include "platform/PageArena.h"

using namespace platform;

namespace {

void* NextOf(void* Block) { return *static_cast<void**>(Block); }

std::vector<void*> Chain(void* Head) {
  std::vector<void*> Blocks;
  for (void* B = Head; B; B = NextOf(B)) Blocks.push_back(B);
  return Blocks;
}

// A pooled object that fills its block, so that overlapping blocks would show.
struct TPooledRecord {
  PLATFORM_POOLED(TPooledRecord)
  explicit TPooledRecord(uint64_t Seed) {
    for (uint64_t& W : Words) W = Seed;
  }
  bool Intact(uint64_t Seed) const {
    for (uint64_t W : Words)
      if (W != Seed) return false;
    return true;
  }
  uint64_t Words[5];
};

}  // namespace

TEST(PageArena, CarvesAlignedDisjointBlocksAcrossRegions) {
  // More than one region's worth (2 MiB) of mixed sizes and alignments.
  struct TPiece {
    char* At;
    size_t Bytes;
  };
  std::vector<TPiece> Pieces;
  size_t Total = 0;
  for (size_t I = 0; Total < (size_t{5} << 20); ++I) {
    const size_t Bytes = I % 3 == 0 ? 24 : I % 3 == 1 ? 40 : MaxArenaBlock;
    const size_t Align = I % 3 == 0 ? 8 : 16;
    char* At = static_cast<char*>(ArenaTake(Bytes, Align));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(At) % Align, 0u) << I;
    std::memset(At, static_cast<int>(I & 0xff), Bytes);  // the memory is writable
    Pieces.push_back({At, Bytes});
    Total += Bytes;
  }
  std::sort(Pieces.begin(), Pieces.end(), [](const TPiece& A, const TPiece& B) { return A.At < B.At; });
  for (size_t I = 1; I < Pieces.size(); ++I) ASSERT_LE(Pieces[I - 1].At + Pieces[I - 1].Bytes, Pieces[I].At);
  EXPECT_THROW(ArenaTake(MaxArenaBlock + 1, 8), std::bad_alloc);
  EXPECT_THROW(ArenaTake(16, 3), std::bad_alloc);
}

TEST(PageArena, SharedListsSpliceChainsAndHandThemOverWhole) {
  TSharedBlockList List;
  void* Last = nullptr;
  uint32_t Count = 7;
  EXPECT_FALSE(List.MayHaveBlocks());
  EXPECT_EQ(List.TakeAll(Last, Count), nullptr);
  EXPECT_EQ(Count, 0u);
  void* Blocks[5][2];
  // Chains a-b and c, then d-e: the newest chain comes first, each in its own order.
  Blocks[0][0] = Blocks[1];
  Blocks[1][0] = nullptr;
  List.Put(Blocks[0], Blocks[1], 2);
  List.Put(Blocks[2], Blocks[2], 1);
  Blocks[3][0] = Blocks[4];
  List.Put(Blocks[3], Blocks[4], 2);
  EXPECT_TRUE(List.MayHaveBlocks());
  void* Head = List.TakeAll(Last, Count);
  EXPECT_EQ(Count, 5u);
  EXPECT_EQ(Last, static_cast<void*>(Blocks[1]));
  EXPECT_EQ(Chain(Head), (std::vector<void*>{Blocks[3], Blocks[4], Blocks[2], Blocks[0], Blocks[1]}));
  EXPECT_FALSE(List.MayHaveBlocks());
}

// A thread refills its list with a bounded batch, the newest blocks, and leaves the rest (in
// their order, with the tail still known) to the others.
TEST(PageArena, SharedListsHandOutBatchesFromTheFront) {
  TSharedBlockList List;
  void* Blocks[6][2];
  for (int I = 0; I < 5; ++I) Blocks[I][0] = Blocks[I + 1];
  List.Put(Blocks[0], Blocks[5], 6);
  void* Last = nullptr;
  uint32_t Count = 0;
  void* Head = List.Take(4, Last, Count);
  EXPECT_EQ(Count, 4u);
  EXPECT_EQ(Last, static_cast<void*>(Blocks[3]));
  EXPECT_EQ(Chain(Head), (std::vector<void*>{Blocks[0], Blocks[1], Blocks[2], Blocks[3]}));
  // A chain put in front of the rest, then more than is left asked for: all of it.
  Blocks[3][0] = nullptr;
  List.Put(Blocks[3], Blocks[3], 1);
  Head = List.Take(10, Last, Count);
  EXPECT_EQ(Count, 3u);
  EXPECT_EQ(Last, static_cast<void*>(Blocks[5]));
  EXPECT_EQ(Chain(Head), (std::vector<void*>{Blocks[3], Blocks[4], Blocks[5]}));
  EXPECT_FALSE(List.MayHaveBlocks());
  EXPECT_EQ(List.Take(1, Last, Count), nullptr);
  EXPECT_EQ(Count, 0u);
}

// Threads that make objects, free some of another thread's, and end while others go on: no
// block may serve two live objects, and blocks freed by ended threads are used again.
TEST(BlockPool, ObjectsFreedOnOtherAndEndedThreadsStayIntact) {
  constexpr int Threads = 4, Rounds = 4, PerRound = 30000;  // more than a thread keeps
  std::vector<TPooledRecord*> Handed[Threads];
  for (int Round = 0; Round < Rounds; ++Round) {
    std::vector<std::thread> Workers;
    std::vector<TPooledRecord*> Made[Threads];
    for (int T = 0; T < Threads; ++T)
      Workers.emplace_back([&, T] {
        // Frees what the previous thread of the last round handed over, then makes its own.
        for (TPooledRecord* R : Handed[(T + 1) % Threads]) {
          ASSERT_TRUE(R->Intact(reinterpret_cast<uintptr_t>(R)));
          delete R;
        }
        for (int I = 0; I < PerRound; ++I) {
          auto* R = new TPooledRecord(0);
          *R = TPooledRecord(reinterpret_cast<uintptr_t>(R));
          Made[T].push_back(R);
        }
        // Half are freed here, and the pool reuses them for the next ones.
        for (int I = 0; I < PerRound; I += 2) {
          delete Made[T][static_cast<size_t>(I)];
          Made[T][static_cast<size_t>(I)] = nullptr;
        }
        for (int I = 0; I < PerRound; I += 2) {
          auto* R = new TPooledRecord(0);
          *R = TPooledRecord(reinterpret_cast<uintptr_t>(R));
          Made[T][static_cast<size_t>(I)] = R;
        }
      });
    for (std::thread& W : Workers) W.join();
    std::set<TPooledRecord*> Live;
    for (int T = 0; T < Threads; ++T) {
      for (TPooledRecord* R : Made[T]) {
        ASSERT_TRUE(Live.insert(R).second) << "one block serves two objects";
        ASSERT_TRUE(R->Intact(reinterpret_cast<uintptr_t>(R)));
      }
      Handed[T] = std::move(Made[T]);
    }
  }
  for (auto& List : Handed)
    for (TPooledRecord* R : List) delete R;
}

TEST(PageArena, ArraysComeInPowersOfTwoAndServeVectors) {
  EXPECT_EQ(ArrayBlockBytes(1), 64u);
  EXPECT_EQ(ArrayBlockBytes(64), 64u);
  EXPECT_EQ(ArrayBlockBytes(65), 128u);
  EXPECT_EQ(ArrayBlockBytes(MaxArenaBlock + 1), 2 * MaxArenaBlock);
  // Every size from a few bytes to beyond the pools, written whole and given back.
  for (size_t Bytes = 8; Bytes <= 4 * MaxArenaBlock; Bytes = Bytes * 3 / 2) {
    auto* Block = static_cast<unsigned char*>(TakeArray(Bytes));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(Block) % 16, 0u) << Bytes;
    std::memset(Block, 0xab, ArrayBlockBytes(Bytes));
    GiveArray(Block, Bytes);
  }
  GiveArray(nullptr, 100);
  // A vector that grows through many sizes keeps its elements.
  std::vector<uint32_t, TArenaAllocator<uint32_t>> Numbers;
  for (uint32_t I = 0; I < 200000; ++I) Numbers.push_back(I * 7);
  for (uint32_t I = 0; I < 200000; I += 997) ASSERT_EQ(Numbers[I], I * 7);
  Numbers.shrink_to_fit();
  EXPECT_EQ(Numbers.back(), 199999u * 7);
}

namespace {

// A size of its own, so that no other test's blocks are on its lists.
struct TPooledPair {
  PLATFORM_POOLED(TPooledPair)
  uint64_t Words[6];
};

}  // namespace

// After a program drops millions of objects at once (a clear, a reset), they wait on the shared
// list and the thread refills its own from there again and again; allocating afresh while
// freeing now and then must not walk a long list each time one is cut.
TEST(BlockPool, CuttingALongListCostsWhatWasFreed) {
  using TPool = TBlockPool<sizeof(TPooledPair)>;
  constexpr int Many = 600000;
  std::vector<TPooledPair*> Objects(Many);
  for (auto& P : Objects) P = new TPooledPair();
  for (auto* P : Objects) delete P;
  const uint64_t Before = TPool::SpilledWalk();
  uint64_t Operations = 0;
  std::vector<TPooledPair*> Kept;
  for (int I = 0; I < Many; ++I) {
    Kept.push_back(new TPooledPair());
    ++Operations;
    if (I % 4 == 0) {
      delete Kept.back();
      Kept.pop_back();
      ++Operations;
    }
  }
  for (auto* P : Kept) delete P;
  Operations += Kept.size();
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LE(TPool::SpilledWalk() - Before, 2 * Operations);
#else
  EXPECT_EQ(TPool::SpilledWalk(), Before);  // the pool is bypassed under AddressSanitizer
#endif
}
