// The page arena: regions, the threads that carve them, and the trim that unmaps the regions
// whose blocks are all free.  Contents: regions and their records; carving; arrays; the shared
// lists; trimming.
#include "PageArena.h"

#include <sys/mman.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "BlockPool.h"
#include "NoDestroy.h"

namespace platform {

// ---------------------------------------------------------------------------------------------
// Regions and their records

namespace {

// Regions are 2 MiB each, placed on 2 MiB boundaries, so that a block's region is
// its address rounded down.
constexpr size_t RegionBytes = size_t{2} << 20;
// A region given up with at least this much room waits for the next thread that needs one;
// with less it is left as it is, its room unused.
constexpr size_t SpareRoom = size_t{64} << 10;

// What the arena knows of a region.  While a thread carves from it (Active), Next and Carved
// live in that thread's TRegion and are written back when the thread gives the region up.
struct TRegionRecord {
  char* Base = nullptr;
  char* Next = nullptr;  // where carving goes on
  size_t Carved = 0;     // the bytes of the blocks handed out, without the gaps of alignment
  bool Active = false;
};

struct TArena {
  std::mutex Lock;
  std::vector<TRegionRecord*> Regions;  // every mapped region
  // Regions no thread carves from that have room, the one given up last at the end.  Its
  // capacity is always that of Regions, so that giving a region up cannot fail.
  std::vector<TRegionRecord*> Spares;
};
// Threads end (and give their regions up) at any time, after static destructors too.
constinit TNoDestroy<TArena> Arena;

// The calling thread's region.  Trivial, so that it stays usable while the thread ends.
struct TRegion {
  char* Next;
  char* End;
  size_t Carved;
  TRegionRecord* Record;
  bool Closing;  // the closer below is in place
  bool Closed;   // the thread is ending: it has given its region up and carves under the lock
};
thread_local TRegion Current __attribute__((tls_model("initial-exec"))) = {nullptr, nullptr, 0, nullptr, false, false};

char* AlignUp(char* At, size_t Align) noexcept {
  return reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(At) + Align - 1) & ~(uintptr_t{Align} - 1));
}

size_t Room(const TRegionRecord& Record) noexcept {
  return static_cast<size_t>(Record.Base + RegionBytes - Record.Next);
}

// Maps a region for the arena (the lock held).
TRegionRecord* MapRegionLocked(TArena& A) {
  // Room in the lists first, so that nothing is mapped that they could not hold.
  A.Regions.reserve(A.Regions.size() + 1);
  A.Spares.reserve(A.Regions.size() + 1);
  auto Record = std::make_unique<TRegionRecord>();
  // Twice the size, then the parts outside one aligned region are returned.
  void* Mapped = mmap(nullptr, 2 * RegionBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (Mapped == MAP_FAILED) throw std::bad_alloc();
  char* const Start = static_cast<char*>(Mapped);
  char* const Aligned = AlignUp(Start, RegionBytes);
  if (Aligned > Start) munmap(Start, static_cast<size_t>(Aligned - Start));
  char* const After = Aligned + RegionBytes;
  if (Start + 2 * RegionBytes > After) munmap(After, static_cast<size_t>(Start + 2 * RegionBytes - After));
  // Ordinary pages even where the system backs every mapping with huge pages (see PageArena.h);
  // advice only.
  (void)madvise(Aligned, RegionBytes, MADV_NOHUGEPAGE);
  Record->Base = Record->Next = Aligned;
  A.Regions.push_back(Record.get());
  return Record.release();
}

// A region with room for Bytes aligned to Align, marked active: the spare given up last that
// has the room, or a new one (the lock held).
TRegionRecord* AdoptRegionLocked(TArena& A, size_t Bytes, size_t Align) {
  for (size_t I = A.Spares.size(); I-- > 0;) {
    TRegionRecord* const Record = A.Spares[I];
    if (Room(*Record) >= Bytes + Align - 1) {
      A.Spares.erase(A.Spares.begin() + static_cast<ptrdiff_t>(I));
      Record->Active = true;
      return Record;
    }
  }
  TRegionRecord* const Record = MapRegionLocked(A);
  Record->Active = true;
  return Record;
}

// The region stops being active; with room enough it becomes a spare (the lock held).
void GiveUpRegionLocked(TArena& A, TRegionRecord& Record) noexcept {
  Record.Active = false;
  if (Room(Record) >= SpareRoom) A.Spares.push_back(&Record);
}

// The calling thread gives its region up (the lock held).
void GiveUpCurrentLocked(TArena& A) noexcept {
  TRegion& R = Current;
  if (!R.Record) return;
  R.Record->Next = R.Next;
  R.Record->Carved = R.Carved;
  GiveUpRegionLocked(A, *R.Record);
  R.Next = R.End = nullptr;
  R.Carved = 0;
  R.Record = nullptr;
}

// Gives the region of a thread that ends to the next thread that needs one.
struct TArenaCloser {
  ~TArenaCloser() {
    TArena& A = Arena.Get();
    const std::lock_guard<std::mutex> Guard(A.Lock);
    GiveUpCurrentLocked(A);
    Current.Closed = true;
  }
};
thread_local TArenaCloser Closer;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Carving

namespace {

// The calling thread's region has no room for the block: the next region, or for a thread that
// is ending, a block carved under the lock from a region it does not keep.
void* CarveSlow(size_t Bytes, size_t Align) {
  TRegion& R = Current;
  TArena& A = Arena.Get();
  if (R.Closed) {
    const std::lock_guard<std::mutex> Guard(A.Lock);
    TRegionRecord& Record = *AdoptRegionLocked(A, Bytes, Align);
    char* const At = AlignUp(Record.Next, Align);
    Record.Next = At + Bytes;
    Record.Carved += Bytes;
    GiveUpRegionLocked(A, Record);
    return At;
  }
  {
    const std::lock_guard<std::mutex> Guard(A.Lock);
    // The rest of the old region goes to other threads, or stays unused when it is small.
    GiveUpCurrentLocked(A);
    TRegionRecord& Record = *AdoptRegionLocked(A, Bytes, Align);
    R.Next = Record.Next;
    R.End = Record.Base + RegionBytes;
    R.Carved = Record.Carved;
    R.Record = &Record;
  }
  if (!R.Closing) {
    R.Closing = true;
    (void)&Closer;  // constructs it
  }
  char* const At = AlignUp(R.Next, Align);
  R.Next = At + Bytes;
  R.Carved += Bytes;
  return At;
}

}  // namespace

void* ArenaTake(size_t Bytes, size_t Align) {
  if (Bytes == 0 || Bytes > MaxArenaBlock || Align == 0 || Align > 16 || (Align & (Align - 1)) != 0)
    throw std::bad_alloc();
  TRegion& R = Current;
  // A region's end is aligned to every Align, so At never passes it.
  char* const At = AlignUp(R.Next, Align);
  if (R.Next && static_cast<size_t>(R.End - At) >= Bytes) {
    R.Next = At + Bytes;
    R.Carved += Bytes;
    return At;
  }
  return CarveSlow(Bytes, Align);
}

// ---------------------------------------------------------------------------------------------
// Arrays

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

// ---------------------------------------------------------------------------------------------
// The shared lists

namespace {

// The lists of the block pools, newest first; a list is never taken off.
std::atomic<TSharedBlockList*> Enlisted{nullptr};
constinit TNoDestroy<std::mutex> EnlistLock;

}  // namespace

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

void* TSharedBlockList::Take(uint32_t Most, void*& Last, uint32_t& Count) noexcept {
  Most = std::max(Most, uint32_t{1});
  Lock();
  void* const Head = Head_;
  const uint32_t Held = Count_.load(std::memory_order_relaxed);
  if (Held <= Most) {
    Last = Tail_;
    Count = Held;
    Head_ = Tail_ = nullptr;
  } else {
    void* Cut = Head;
    for (uint32_t I = 1; I < Most; ++I) Cut = *static_cast<void**>(Cut);
    Head_ = *static_cast<void**>(Cut);
    *static_cast<void**>(Cut) = nullptr;
    Last = Cut;
    Count = Most;
  }
  Count_.store(Held - Count, std::memory_order_relaxed);
  Unlock();
  return Head;
}

void* TSharedBlockList::TakeAll(void*& Last, uint32_t& Count) noexcept { return Take(UINT32_MAX, Last, Count); }

void TSharedBlockList::EnlistSlow() noexcept {
  const std::lock_guard<std::mutex> Guard(EnlistLock.Get());
  if (Enlisted_.load(std::memory_order_relaxed)) return;
  NextEnlisted_ = Enlisted.load(std::memory_order_relaxed);
  Enlisted.store(this, std::memory_order_release);
  Enlisted_.store(true, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------
// Trimming
//
// A region can go when the blocks found free in it add up to every byte carved from it: then
// no block of it is in use, nor on a list the trim cannot see (another running thread's).  The
// trim takes the shared lists whole, so that no thread takes those blocks meanwhile, and holds
// the arena's lock from the count to the unmapping, so that no thread carves from a region it
// has counted.  Threads that need blocks meanwhile carve new ones.
//
// Counting walks the free blocks, a cache miss each, and costs more than freeing them did.  Two
// cases need less: when no other thread carves, every free block lies in a region the trim
// counts, so free bytes that add up to every carved byte mean that all regions are free, with
// no walk (an engine destroyed when no other works); and a list whose blocks all lie in regions
// that go, or all in regions that stay, is dropped or kept whole rather than walked again.

struct TPoolTrimmer {
  struct TChain {
    TSharedBlockList* List;
    void* Head;
    void* Last;
    uint32_t Count;
  };
  struct TTally {
    uintptr_t Base;
    TRegionRecord* Record;
    size_t Free;
    bool Unmap;
  };

  static TSharedBlockList* FirstList() noexcept { return Enlisted.load(std::memory_order_acquire); }

  static size_t FreeInSight() noexcept {
    size_t Bytes = 0;
    for (TSharedBlockList* L = FirstList(); L; L = L->NextEnlisted_)
      Bytes += (size_t{L->ApproximateCount()} + (L->CallerBlocks_ ? L->CallerBlocks_(false) : 0)) * L->BlockBytes_;
    return Bytes;
  }

  static size_t TallyOf(const std::vector<TTally>& Tallies, const void* Block) noexcept {
    const uintptr_t Base = reinterpret_cast<uintptr_t>(Block) & ~(uintptr_t{RegionBytes} - 1);
    auto It = std::lower_bound(Tallies.begin(), Tallies.end(), Base,
                               [](const TTally& T, uintptr_t B) { return T.Base < B; });
    return It != Tallies.end() && It->Base == Base ? static_cast<size_t>(It - Tallies.begin()) : Tallies.size();
  }

  // Finds the regions no thread carves from whose blocks are all free, takes their blocks off
  // the chains and their records out of the arena's lists, and answers the records.
  static std::vector<TRegionRecord*> Sift(TArena& A, std::vector<TChain>& Chains) {
    std::vector<TRegionRecord*> Unmapped;
    Unmapped.reserve(A.Regions.size());
    size_t Carved = 0, Free = 0;
    bool OthersCarve = false;
    for (const TRegionRecord* Record : A.Regions) {
      Carved += Record->Carved;
      OthersCarve = OthersCarve || Record->Active;
    }
    for (const TChain& C : Chains) Free += size_t{C.Count} * C.List->BlockBytes_;
    if (!OthersCarve && Free == Carved) {
      Unmapped = A.Regions;
      A.Regions.clear();
      A.Spares.clear();
      for (TChain& C : Chains) C = {C.List, nullptr, nullptr, 0};
      return Unmapped;
    }
    std::vector<TTally> Tallies;
    Tallies.reserve(A.Regions.size());
    for (TRegionRecord* Record : A.Regions)
      if (!Record->Active) Tallies.push_back({reinterpret_cast<uintptr_t>(Record->Base), Record, 0, false});
    std::sort(Tallies.begin(), Tallies.end(), [](const TTally& X, const TTally& Y) { return X.Base < Y.Base; });
    // Per chain and region (the last column: regions not counted), the blocks found there.
    const size_t Columns = Tallies.size() + 1;
    std::vector<uint32_t> Found(Chains.size() * Columns, 0);
    for (size_t I = 0; I < Chains.size(); ++I)
      for (void* B = Chains[I].Head; B; B = *static_cast<void**>(B)) {
        const size_t T = TallyOf(Tallies, B);
        ++Found[I * Columns + T];
        if (T < Tallies.size()) Tallies[T].Free += Chains[I].List->BlockBytes_;
      }
    for (TTally& T : Tallies)
      if (T.Free == T.Record->Carved) {
        T.Unmap = true;
        Unmapped.push_back(T.Record);
      }
    if (Unmapped.empty()) return Unmapped;
    for (size_t I = 0; I < Chains.size(); ++I) {
      TChain& C = Chains[I];
      uint32_t Going = 0;
      for (size_t T = 0; T < Tallies.size(); ++T)
        if (Tallies[T].Unmap) Going += Found[I * Columns + T];
      if (Going == 0) continue;
      if (Going == C.Count) {
        C = {C.List, nullptr, nullptr, 0};
        continue;
      }
      void** Link = &C.Head;
      C.Last = nullptr;
      C.Count = 0;
      for (void* B = C.Head; B;) {
        void* const Next = *static_cast<void**>(B);
        const size_t T = TallyOf(Tallies, B);
        if (T == Tallies.size() || !Tallies[T].Unmap) {
          *Link = B;
          Link = static_cast<void**>(B);
          C.Last = B;
          ++C.Count;
        }
        B = Next;
      }
      *Link = nullptr;
    }
    std::sort(Unmapped.begin(), Unmapped.end());
    auto Gone = [&](TRegionRecord* Record) { return std::binary_search(Unmapped.begin(), Unmapped.end(), Record); };
    A.Regions.erase(std::remove_if(A.Regions.begin(), A.Regions.end(), Gone), A.Regions.end());
    A.Spares.erase(std::remove_if(A.Spares.begin(), A.Spares.end(), Gone), A.Spares.end());
    return Unmapped;
  }

  // The general allocator's trim walks its free chunks and gives back their pages one by one:
  // milliseconds, worth it when it holds much.
  static void TrimAllocator(bool Always) noexcept {
#if defined(__GLIBC__)
#if __GLIBC_PREREQ(2, 33)
    if (!Always && mallinfo2().fordblks < AllocatorSlack) return;
#endif
    malloc_trim(0);
#else
    (void)Always;
#endif
  }

  static void Trim(bool Always) noexcept {
    static constinit TNoDestroy<std::mutex> Serial;
    const std::lock_guard<std::mutex> One(Serial.Get());
    TArena& A = Arena.Get();
    {
      // The calling thread's region may go like any other.
      const std::lock_guard<std::mutex> Guard(A.Lock);
      GiveUpCurrentLocked(A);
    }
    std::vector<TRegionRecord*> Unmapped;
    try {
      TSharedBlockList* const First = FirstList();
      size_t Lists = 0;
      for (TSharedBlockList* L = First; L; L = L->NextEnlisted_) ++Lists;
      std::vector<TChain> Chains;
      Chains.reserve(Lists);
      for (TSharedBlockList* L = First; L; L = L->NextEnlisted_) {
        if (L->CallerBlocks_) L->CallerBlocks_(true);
        TChain C{L, nullptr, nullptr, 0};
        C.Head = L->TakeAll(C.Last, C.Count);
        if (C.Head) Chains.push_back(C);
      }
      {
        const std::lock_guard<std::mutex> Guard(A.Lock);
        try {
          Unmapped = Sift(A, Chains);
        } catch (const std::bad_alloc&) {
          // Nothing was changed: the blocks go back as they were.
        }
      }
      for (const TChain& C : Chains) C.List->Put(C.Head, C.Last, C.Count);
    } catch (const std::bad_alloc&) {
      // Too little memory to count with: the lists stay as they are.
    }
    for (TRegionRecord* Record : Unmapped) {
      munmap(Record->Base, RegionBytes);
      delete Record;
    }
    // The general allocator keeps the pages of freed objects too (facts, strings, vectors).
    TrimAllocator(Always);
    FreeAfterTrim.store(FreeInSight(), std::memory_order_relaxed);
  }

  static constexpr size_t AllocatorSlack = size_t{32} << 20;
  static inline std::atomic<size_t> FreeAfterTrim{0};
};

void TrimPools() noexcept { TPoolTrimmer::Trim(true); }

void TrimPoolsIfGrown() noexcept {
  const size_t Before = TPoolTrimmer::FreeAfterTrim.load(std::memory_order_relaxed);
  if (TPoolTrimmer::FreeInSight() >= Before + std::max(4 * RegionBytes, Before)) TPoolTrimmer::Trim(false);
}

TPoolUsage PoolUsage() noexcept {
  TArena& A = Arena.Get();
  size_t Mapped = 0;
  {
    const std::lock_guard<std::mutex> Guard(A.Lock);
    Mapped = A.Regions.size() * RegionBytes;
  }
  return {Mapped, TPoolTrimmer::FreeInSight()};
}

}  // namespace platform
