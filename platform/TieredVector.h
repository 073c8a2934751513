// TTieredVector: an indexed sequence of small trivially copyable values (pointers) that stays
// cheap to change in the middle.  The values sit in chunks of at most ChunkSize, each filled
// from the middle outwards, so that an insertion or a removal moves at most half a chunk, on
// whichever side of the position is shorter.  The chunks' counts are summed in a Fenwick tree:
// reading by index descends it and a change of one count updates it, both in logarithmic
// time, however many chunks follow the position.  A long agenda, where activations come and go
// anywhere, is the case it is made for: a plain array or deque moves half the agenda each time.
//
// A Tracker lets values that are objects find their own index: it is told the chunk each value
// is placed in (Placed(value, chunk)) and answers it back (ChunkOf(value)); IndexOf then looks in
// that one chunk instead of the whole sequence.  The chunk a value names is only an opaque
// number: it is looked up among the vector's live chunks before it is used, so a value placed
// since in another vector, or one whose chunk has gone, is still found (by a scan) or not.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace platform {

// The tracker of values that do not keep their place.
struct TNoTracking {
  template <class T>
  static void Placed(const T&, uintptr_t) noexcept {}
  template <class T>
  static uintptr_t ChunkOf(const T&) noexcept {
    return 0;
  }
};

template <class T, size_t ChunkSize = 256, class Tracker = TNoTracking>
class TTieredVector {
  static_assert(std::is_trivially_copyable_v<T>, "values move by memmove between positions");
  static_assert(ChunkSize >= 8 && ChunkSize % 2 == 0, "a chunk splits into two halves");
  static constexpr bool Tracking = !std::is_same_v<Tracker, TNoTracking>;

 public:
  TTieredVector() = default;
  TTieredVector(const TTieredVector&) = delete;
  TTieredVector& operator=(const TTieredVector&) = delete;

  size_t size() const noexcept { return Size_; }
  bool empty() const noexcept { return Size_ == 0; }

  // Values are written through set(), which tells the tracker.
  const T& operator[](size_t Index) const noexcept {
    const TPlace P = Locate(Index);
    return Chunks_[P.Chunk]->At(P.Offset);
  }
  const T& front() const noexcept { return Chunks_.front()->At(0); }

  void push_back(const T& Value) { insert(Size_, Value); }

  void set(size_t Index, const T& Value) noexcept {
    const TPlace P = Locate(Index);
    Chunks_[P.Chunk]->At(P.Offset) = Value;
    Tracker::Placed(Value, Id(*Chunks_[P.Chunk]));
  }

  // Inserts before the value at Index (Index == size() appends).
  void insert(size_t Index, const T& Value) {
    if (Chunks_.empty()) {
      Chunks_.push_back(std::make_unique<TChunk>());
      Rebuild();
      Enlist(*Chunks_.back());
    }
    TPlace P = Index == Size_ ? TPlace{Chunks_.size() - 1, Chunks_.back()->Count()} : Locate(Index);
    if (Chunks_[P.Chunk]->Count() == ChunkSize) {
      Split(P.Chunk);
      const size_t Half = Chunks_[P.Chunk]->Count();
      if (P.Offset > Half) {
        ++P.Chunk;
        P.Offset -= Half;
      }
    }
    Chunks_[P.Chunk]->Insert(P.Offset, Value);
    Tracker::Placed(Value, Id(*Chunks_[P.Chunk]));
    AddToCount(P.Chunk, +1);
    ++Size_;
  }

  void erase(size_t Index) noexcept {
    const TPlace P = Locate(Index);
    TChunk& Chunk = *Chunks_[P.Chunk];
    Chunk.Erase(P.Offset);
    AddToCount(P.Chunk, -1);
    --Size_;
    if (Chunk.Count() == 0) {
      if (Chunks_.size() > 1) Drop(P.Chunk);
      else Chunk.Center();
    } else if (Chunk.Count() < ChunkSize / 4) {
      // Keeps lookups short: no two small chunks stay side by side.
      if (P.Chunk + 1 < Chunks_.size() && Chunk.Count() + Chunks_[P.Chunk + 1]->Count() <= ChunkSize / 2)
        Merge(P.Chunk);
      else if (P.Chunk > 0 && Chunk.Count() + Chunks_[P.Chunk - 1]->Count() <= ChunkSize / 2)
        Merge(P.Chunk - 1);
    }
  }

  void clear() noexcept {
    Chunks_.clear();
    Tree_.clear();
    Live_.clear();
    Size_ = 0;
  }

  // Calls Visit(value) for the values at indexes From to To - 1, in order.
  template <class F>
  void ForEachIn(size_t From, size_t To, F&& Visit) {
    if (From >= To || To > Size_) return;
    const TPlace P = Locate(From);
    size_t Left = To - From;
    for (size_t C = P.Chunk, Offset = P.Offset; Left > 0; ++C, Offset = 0) {
      TChunk& Chunk = *Chunks_[C];
      for (size_t I = Chunk.Begin + Offset; I < Chunk.End && Left > 0; ++I, --Left) Visit(Chunk.Items[I]);
    }
  }

  template <class F>
  void ForEachIn(size_t From, size_t To, F&& Visit) const {
    const_cast<TTieredVector*>(this)->ForEachIn(From, To, [&Visit](const T& V) { Visit(V); });
  }

  // Calls Visit(value) for each value in order.
  template <class F>
  void ForEach(F&& Visit) {
    for (auto& Chunk : Chunks_)
      for (size_t I = Chunk->Begin; I < Chunk->End; ++I) Visit(Chunk->Items[I]);
  }
  template <class F>
  void ForEach(F&& Visit) const {
    for (const auto& Chunk : Chunks_)
      for (size_t I = Chunk->Begin; I < Chunk->End; ++I) Visit(Chunk->Items[I]);
  }

  // The index of the first value equal to Value, or size().
  size_t Find(const T& Value) const noexcept {
    for (size_t C = 0; C < Chunks_.size(); ++C) {
      const TChunk& Chunk = *Chunks_[C];
      const T* First = Chunk.Items + Chunk.Begin;
      const T* Last = Chunk.Items + Chunk.End;
      const T* It = std::find(First, Last, Value);
      if (It != Last) return StartOf(C) + static_cast<size_t>(It - First);
    }
    return Size_;
  }

  // The index of Value, or size(): looked for first in the chunk its tracker names.
  size_t IndexOf(const T& Value) const noexcept {
    const size_t At = IndexInPlace(Value);
    return At != Size_ ? At : Find(Value);
  }
  // The same, without the scan: size() unless the value is in the chunk its tracker names.
  size_t IndexInPlace(const T& Value) const noexcept {
    if constexpr (Tracking) {
      const auto Chunk = Live_.find(Tracker::ChunkOf(Value));
      if (Chunk != Live_.end()) {
        const TChunk& C = *Chunk->second;
        const T* First = C.Items + C.Begin;
        const T* Last = C.Items + C.End;
        const T* It = std::find(First, Last, Value);
        if (It != Last) return StartOf(C.Index) + static_cast<size_t>(It - First);
      }
    }
    return Size_;
  }

  // The index of the first value for which Before fails, for a Before that holds on a prefix
  // of the sequence and fails on the rest (as std::partition_point).
  template <class F>
  size_t PartitionPoint(F&& Before) const {
    // The first chunk whose last value fails holds the point, or the point is the end.
    size_t Lo = 0, Hi = Chunks_.size();
    while (Lo < Hi) {
      const size_t Mid = Lo + (Hi - Lo) / 2;
      const TChunk& Chunk = *Chunks_[Mid];
      if (Chunk.Count() > 0 && Before(Chunk.Items[Chunk.End - 1]))
        Lo = Mid + 1;
      else
        Hi = Mid;
    }
    if (Lo == Chunks_.size()) return Size_;
    const TChunk& Chunk = *Chunks_[Lo];
    const T* First = Chunk.Items + Chunk.Begin;
    return StartOf(Lo) + static_cast<size_t>(std::partition_point(First, Chunk.Items + Chunk.End, Before) - First);
  }

 private:
  struct TChunk {
    // Values occupy Items[Begin, End); a fresh chunk starts empty in the middle.
    uint32_t Begin = ChunkSize / 2;
    uint32_t End = ChunkSize / 2;
    size_t Index = 0;  // its place in Chunks_, kept by Rebuild
    T Items[ChunkSize];

    size_t Count() const noexcept { return End - Begin; }
    T& At(size_t Offset) noexcept { return Items[Begin + Offset]; }
    const T& At(size_t Offset) const noexcept { return Items[Begin + Offset]; }
    void Center() noexcept { Begin = End = ChunkSize / 2; }

    // Moves the shorter side of the position by one; the chunk is not full.
    void Insert(size_t Offset, const T& Value) noexcept {
      const size_t At = Begin + Offset;
      if ((Offset < Count() / 2 && Begin > 0) || End == ChunkSize) {
        std::memmove(Items + Begin - 1, Items + Begin, Offset * sizeof(T));
        --Begin;
        Items[At - 1] = Value;
      } else {
        std::memmove(Items + At + 1, Items + At, (End - At) * sizeof(T));
        ++End;
        Items[At] = Value;
      }
    }
    void Erase(size_t Offset) noexcept {
      const size_t At = Begin + Offset;
      if (Offset < Count() / 2) {
        std::memmove(Items + Begin + 1, Items + Begin, Offset * sizeof(T));
        ++Begin;
      } else {
        std::memmove(Items + At, Items + At + 1, (End - At - 1) * sizeof(T));
        --End;
      }
    }
    // Lays Count values from Source out around the middle.
    void Fill(const T* Source, size_t N) noexcept {
      Begin = static_cast<uint32_t>((ChunkSize - N) / 2);
      End = static_cast<uint32_t>(Begin + N);
      std::memcpy(Items + Begin, Source, N * sizeof(T));
    }
  };
  struct TPlace {
    size_t Chunk;
    size_t Offset;
  };

  // The chunk holding the value at Index (below size()) and the value's offset in it.
  TPlace Locate(size_t Index) const noexcept {
    if (Index < Chunks_.front()->Count()) return {0, Index};
    // Descends the tree to the most chunks whose values all lie before Index; the chunk after
    // them holds it (empty chunks exist only alone).
    size_t Chunk = 0, Left = Index;
    for (size_t Step = TopStep_; Step > 0; Step >>= 1) {
      const size_t Next = Chunk + Step;
      if (Next < Tree_.size() && Tree_[Next] <= Left) {
        Chunk = Next;
        Left -= Tree_[Next];
      }
    }
    return {Chunk, Left};
  }

  // The index of chunk C's first value: the sum of the counts of the chunks before it.
  size_t StartOf(size_t C) const noexcept {
    size_t Sum = 0;
    for (size_t I = C; I > 0; I &= I - 1) Sum += Tree_[I];
    return Sum;
  }

  void AddToCount(size_t C, int Delta) noexcept {
    for (size_t I = C + 1; I < Tree_.size(); I += I & (0 - I)) Tree_[I] += static_cast<size_t>(static_cast<ptrdiff_t>(Delta));
  }

  // Sums the counts anew after chunks came or went (a split or a merge, at most once per
  // quarter chunk of insertions or removals there, so the linear pass is amortised).
  void Rebuild() {
    const size_t N = Chunks_.size();
    Tree_.assign(N + 1, 0);
    for (size_t I = 1; I <= N; ++I) {
      Chunks_[I - 1]->Index = I - 1;
      Tree_[I] += Chunks_[I - 1]->Count();
      const size_t Parent = I + (I & (0 - I));
      if (Parent <= N) Tree_[Parent] += Tree_[I];
    }
    TopStep_ = 1;
    while (TopStep_ * 2 <= N) TopStep_ *= 2;
  }

  // Moves the upper half of a full chunk into a new chunk after it; both are recentred.
  void Split(size_t C) {
    TChunk& Full = *Chunks_[C];
    auto Upper = std::make_unique<TChunk>();
    const size_t Half = ChunkSize / 2;
    Upper->Fill(Full.Items + Full.Begin + Half, ChunkSize - Half);
    T Lower[ChunkSize / 2];
    std::memcpy(Lower, Full.Items + Full.Begin, Half * sizeof(T));
    Full.Fill(Lower, Half);
    TChunk& Moved = *Upper;
    Chunks_.insert(Chunks_.begin() + static_cast<ptrdiff_t>(C) + 1, std::move(Upper));
    Rebuild();
    Enlist(Moved);
    TellPlaced(Moved, 0, Moved.Count());
  }

  // Moves chunk C + 1's values to the end of chunk C and drops C + 1; together they fit in
  // half a chunk.
  void Merge(size_t C) noexcept {
    TChunk& Into = *Chunks_[C];
    const TChunk& From = *Chunks_[C + 1];
    T Joined[ChunkSize / 2];
    const size_t A = Into.Count(), B = From.Count();
    std::memcpy(Joined, Into.Items + Into.Begin, A * sizeof(T));
    std::memcpy(Joined + A, From.Items + From.Begin, B * sizeof(T));
    Into.Fill(Joined, A + B);
    TellPlaced(Into, A, A + B);
    Drop(C + 1);
  }

  void Drop(size_t C) {
    if constexpr (Tracking) Live_.erase(Id(*Chunks_[C]));
    Chunks_.erase(Chunks_.begin() + static_cast<ptrdiff_t>(C));
    Rebuild();
  }

  // A chunk's name for the tracker: its address as a number, which is never followed unless
  // Live_ lists it.
  static uintptr_t Id(const TChunk& Chunk) noexcept { return reinterpret_cast<uintptr_t>(&Chunk); }
  void Enlist(TChunk& Chunk) {
    if constexpr (Tracking) Live_.emplace(Id(Chunk), &Chunk);
  }
  void TellPlaced(const TChunk& Chunk, size_t From, size_t To) noexcept {
    if constexpr (Tracking)
      for (size_t I = From; I < To; ++I) Tracker::Placed(Chunk.At(I), Id(Chunk));
  }

  std::vector<std::unique_ptr<TChunk>> Chunks_;
  // Tree_[I] (1-based) sums the counts of chunks I - (I & -I) to I - 1; TopStep_ is the
  // highest power of two not above the number of chunks.
  std::vector<size_t> Tree_;
  size_t TopStep_ = 1;
  size_t Size_ = 0;
  // The live chunks by their names (kept only with a tracker).
  std::unordered_map<uintptr_t, TChunk*> Live_;
};

}  // namespace platform
