#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "platform/HashTable.h"
#include "platform/InterfaceList.h"
#include "platform/Object.h"
#include "platform/PointerHashIndex.h"
#include "platform/RareFunction.h"
#include "platform/Set.h"
#include "platform/SmallVector.h"
#include "platform/TieredVector.h"

using namespace platform;

namespace {
PLATFORM_ENUM(TColour, clRed, clGreen, clBlue, clBlack)
using TColours = TSet<TColour, 4>;

class TItem : public TObject {
 public:
  explicit TItem(int V) : V(V) {}
  int V;
};
}  // namespace

TEST(EnumSets, SetAlgebraAndNames) {
  constexpr TColours Warm{clRed};
  constexpr TColours Dark{clBlack, clBlue};
  static_assert((Warm | Dark).Count() == 3);
  static_assert(!(Warm & Dark).Contains(clRed));
  static_assert(TColours::All().Count() == 4);
  TColours S = Warm | Dark;
  S.Exclude(clBlue);
  EXPECT_TRUE(S.Contains(clBlack));
  EXPECT_FALSE(S.Contains(clBlue));
  EXPECT_TRUE(Warm <= S);
  std::vector<TColour> Seen;
  S.ForEach([&](TColour C) { Seen.push_back(C); });
  EXPECT_EQ(Seen, (std::vector<TColour>{clRed, clBlack}));
  EXPECT_EQ(EnumName(clBlue), "clBlue");
  EXPECT_EQ(EnumInfo<TColour>().OrdinalOf("CLGREEN"), 1u);
  EXPECT_FALSE(EnumInfo<TColour>().OrdinalOf("clPink").has_value());
}

TEST(StringHashTable, PutReturnsPreviousAndKeepsInsertionOrder) {
  TStringHashTable<int> T;
  EXPECT_EQ(T.GetCapacity(), 101);
  EXPECT_EQ(T.Put("b", 1), 0);
  EXPECT_EQ(T.Put("a", 2), 0);
  EXPECT_EQ(T.Put("c", 3), 0);
  EXPECT_EQ(T.Put("a", 20), 2);  // replacement keeps the position
  EXPECT_EQ(T.KeyAt(1), "a");
  EXPECT_EQ(T.Get("a"), 20);
  EXPECT_FALSE(T.ContainsKey("A"));  // keys are case-sensitive
  EXPECT_EQ(T.Remove("b"), 1);
  EXPECT_EQ(T.Remove("b"), 0);
  EXPECT_EQ(T.KeyAt(0), "a");
  EXPECT_EQ(T.Get("c"), 3);  // index still right after the removal shifted entries
  // The entries in order, for the standard algorithms too, passing over what was removed.
  static_assert(std::forward_iterator<TStringHashTable<int>::TIterator>);
  EXPECT_EQ(std::distance(T.begin(), T.end()), 2);
  EXPECT_EQ(std::find_if(T.begin(), T.end(), [](const auto& E) { return E.second == 3; })->first, "c");
  int Found = 0;
  EXPECT_TRUE(T.ContainsKey("c", Found));
  EXPECT_EQ(Found, 3);
  std::vector<std::string> Keys;
  for (T.Reset(); !T.EndOfTable();) Keys.push_back(T.NextKey());
  EXPECT_EQ(Keys, (std::vector<std::string>{"a", "c"}));
  T.SetHashType(htFull);  // rehashing keeps every entry reachable
  EXPECT_EQ(T.Get("a"), 20);
  EXPECT_EQ(T.Get("c"), 3);
}

TEST(StringHashTable, KeyCursorVisitsEachKeyOnceWhileTheWalkRemovesThem) {
  // Removing what the cursor just gave (a walk that drops entries) must neither skip the next
  // entry nor give one twice, also when the table closes up its gaps along the way.
  TStringHashTable<int> T;
  for (int I = 0; I < 100; ++I) T.Put("k" + std::to_string(I), I);
  std::vector<int> Seen;
  for (T.Reset(); !T.EndOfTable();) {
    const std::string Key = T.NextKey();
    Seen.push_back(T.Get(Key));
    if (Seen.back() % 4 != 3) T.Remove(Key);
  }
  std::vector<int> All(100);
  std::iota(All.begin(), All.end(), 0);
  EXPECT_EQ(Seen, All);
  ASSERT_EQ(T.Count(), 25);
  for (int I = 0; I < 25; ++I) EXPECT_EQ(T.ValueAt(I), 4 * I + 3);
  EXPECT_EQ(T.Put("new", 1000), 0);  // appended after the gaps closed or not
  EXPECT_EQ(T.KeyAt(25), "new");
  EXPECT_EQ(T.IndexOf("new"), 25);
}

TEST(StringHashTable, AgreesWithAnOrderedListThroughPutsRemovalsAndRehashes) {
  // The index holds positions into the entry list and finds them by the entries' keys: after
  // any mix of puts, removals (which move later entries down), growth and changes of hashing,
  // every key must lead to its own value and the order must stay the order of first insertion.
  TStringHashTable<int> T(3, 0.75);
  std::vector<std::pair<std::string, int>> Model;
  std::mt19937 Random(7);
  auto KeyOf = [](unsigned N) {
    // Short keys and keys too long to sit inside a string object.
    return N % 3 ? "k" + std::to_string(N) : "a-rather-long-key-number-" + std::to_string(N);
  };
  for (int Step = 0; Step < 4000; ++Step) {
    const std::string Key = KeyOf(Random() % 300);
    const auto In = std::find_if(Model.begin(), Model.end(), [&](const auto& E) { return E.first == Key; });
    switch (Random() % 7) {
      case 0:
      case 1: {
        const int Old = In == Model.end() ? 0 : In->second;
        ASSERT_EQ(T.Remove(Key), Old) << Key;
        if (In != Model.end()) Model.erase(In);
        break;
      }
      case 3:
        if (Step % 50 == 3) {
          // Removed entries may stay behind as holes for a while: every way of reading the
          // table by position must pass over them.
          ASSERT_EQ(T.Count(), static_cast<int>(Model.size()));
          std::vector<std::string> Walked;
          for (const auto& [K, V] : T) Walked.push_back(K);
          std::vector<std::string> Cursored;
          for (T.Reset(); !T.EndOfTable();) Cursored.push_back(T.NextKey());
          for (size_t I = 0; I < Model.size(); ++I) {
            ASSERT_EQ(T.KeyAt(static_cast<int>(I)), Model[I].first) << I;
            ASSERT_EQ(T.ValueAt(static_cast<int>(I)), Model[I].second) << I;
            ASSERT_EQ(T.IndexOf(Model[I].first), static_cast<int>(I));
            ASSERT_EQ(Walked.at(I), Model[I].first);
            ASSERT_EQ(Cursored.at(I), Model[I].first);
          }
          ASSERT_EQ(Walked.size(), Model.size());
          ASSERT_EQ(Cursored.size(), Model.size());
          EXPECT_THROW(T.KeyAt(static_cast<int>(Model.size())), std::exception);
        }
        [[fallthrough]];
      case 2:
        if (Step % 500 == 0) T.SetHashType(T.GetHashType() == htSparse ? htFull : htSparse);
        if (Step % 700 == 0) T.SetCapacity(static_cast<int>(Random() % 1000));
        if (Step % 300 == 7) {
          // Every entry of a residue at once, the others keeping their order.
          const int Residue = static_cast<int>(Random() % 5);
          auto Gone = [&](const std::string&, int V) { return V % 5 == Residue; };
          const auto Before = Model.size();
          std::erase_if(Model, [&](const auto& E) { return Gone(E.first, E.second); });
          ASSERT_EQ(T.RemoveIf(Gone), static_cast<int>(Before - Model.size()));
        }
        break;
      default: {
        const int Old = In == Model.end() ? 0 : In->second;
        ASSERT_EQ(T.Put(Key, Step + 1), Old) << Key;
        if (In == Model.end())
          Model.emplace_back(Key, Step + 1);
        else
          In->second = Step + 1;
      }
    }
  }
  ASSERT_EQ(T.Count(), static_cast<int>(Model.size()));
  for (size_t I = 0; I < Model.size(); ++I) {
    EXPECT_EQ(T.KeyAt(static_cast<int>(I)), Model[I].first);
    EXPECT_EQ(T.Get(Model[I].first), Model[I].second);
  }
  for (unsigned N = 0; N < 300; ++N) {
    const std::string Key = KeyOf(N);
    const bool Held = std::any_of(Model.begin(), Model.end(), [&](const auto& E) { return E.first == Key; });
    EXPECT_EQ(T.ContainsKey(Key), Held) << Key;
  }
  T.Clear();
  EXPECT_EQ(T.Get(Model.empty() ? "k1" : Model[0].first), 0);
  EXPECT_EQ(T.Put("k1", 5), 0);
  EXPECT_EQ(T.Get("k1"), 5);
}

TEST(RareFunction, AssignsTestsAndCallsLikeTheFunctionItHolds) {
  TRareFunction<std::function<int(int)>> F;
  EXPECT_FALSE(F);
  EXPECT_FALSE(F.Get());
  EXPECT_THROW(F(1), std::bad_function_call);
  F = nullptr;  // clearing what was never set makes no room
  EXPECT_FALSE(F);
  F = [](int X) { return X + 1; };
  EXPECT_TRUE(F);
  EXPECT_EQ(F(1), 2);
  EXPECT_EQ(F.Get()(2), 3);
  F = std::function<int(int)>();
  EXPECT_FALSE(F);
  EXPECT_THROW(F(1), std::bad_function_call);
  F.Storage() = [](int X) { return X * 2; };
  EXPECT_EQ(F(4), 8);
}

TEST(StringHashTable, NotifiesAndBatchesChanges) {
  TStringHashTable<int> T;
  std::vector<std::string> Events;
  int Changes = 0;
  T.OnNotify = [&](const std::string& K, const int& V, TTableNotification N) {
    Events.push_back(EnumName(N) + ":" + K + "=" + std::to_string(V));
  };
  T.OnChange = [&] { ++Changes; };
  T.Put("x", 1);
  EXPECT_EQ(Changes, 1);
  T.BeginUpdate();
  T.Put("x", 2);
  T.Put("y", 3);
  T.Remove("x");
  EXPECT_EQ(Changes, 1);
  T.EndUpdate();
  EXPECT_EQ(Changes, 2);
  T.Put("z", 4);
  T.Put("w", 5);
  EXPECT_EQ(T.RemoveIf([](const std::string& K, int) { return K != "z"; }), 2);
  EXPECT_EQ(Changes, 6);  // a change for each entry that went, as Remove tells
  T.Clear();
  EXPECT_EQ(Events, (std::vector<std::string>{"tnAdded:x=1", "tnDeleted:x=1", "tnAdded:x=2", "tnAdded:y=3",
                                              "tnDeleted:x=2", "tnAdded:z=4", "tnAdded:w=5", "tnDeleted:y=3",
                                              "tnDeleted:w=5", "tnCleared:=0"}));
  EXPECT_EQ(T.Count(), 0);
}

TEST(InterfaceList, IdentityOperationsAndNotices) {
  TInterfaceList<TItem> L;
  int Added = 0, Deleted = 0;
  L.OnNotify = [&](const Ref<TItem>&, TListNotification N) { (N == lnAdded ? Added : Deleted)++; };
  Ref<TItem> A(new TItem(1)), B(new TItem(2));
  L.Add(A);
  L.Add(B);
  L.Insert(0, B);
  EXPECT_EQ(L.IndexOf(B.get()), 0);
  EXPECT_EQ(L.Remove(B.get()), 0);
  EXPECT_EQ(L.IndexOf(B.get()), 1);
  EXPECT_THROW(L.Insert(5, A), EListError);
  EXPECT_THROW(L.Delete(-1), EListError);
  L.Clear();
  EXPECT_EQ(Added, 3);
  EXPECT_EQ(Deleted, 3);
  EXPECT_EQ(A->RefCount(), 1);
}

#include "platform/StringList.h"

TEST(StringList, EntriesObjectsAndText) {
  TStringList L;
  TItem A(1);
  L.Add("alpha", &A, 7);
  L.Add("Beta");
  L.Insert(0, "zero");
  EXPECT_EQ(L.IndexOf("BETA"), 2);
  EXPECT_EQ(L.IndexOfObject(&A), 1);
  EXPECT_EQ(L.Data(1), 7);
  EXPECT_EQ(L.GetText(), "zero\r\nalpha\r\nBeta\r\n");
  EXPECT_THROW(L.Strings(3), EListError);
  L.SetText("one\rtwo\r\nthree\nfour");
  EXPECT_EQ(L.Count(), 4);
  EXPECT_EQ(L.Strings(3), "four");
  TStringList Copy;
  Copy.Assign(L);
  EXPECT_EQ(Copy.GetText(), L.GetText());
  TOutlineNode Root("root");
  Root.AddChild("a").AddChild("a1");
  EXPECT_EQ(Root.Child(0).Child(0).Text, "a1");
  EXPECT_THROW(Root.Child(1), EListError);
}

TEST(BufferVector, FillsItsOwnersBufferThenSpillsToTheHeap) {
  auto Probe = std::make_shared<int>(7);
  alignas(std::shared_ptr<int>) unsigned char Room[2 * sizeof(std::shared_ptr<int>)];
  {
    TBufferVector<std::shared_ptr<int>> V(reinterpret_cast<std::shared_ptr<int>*>(Room), 2);
    V.push_back(Probe);
    V.push_back(Probe);
    EXPECT_EQ(static_cast<void*>(V.data()), static_cast<void*>(Room));
    V.push_back(V[1]);  // grows while its argument is one of its own elements
    EXPECT_NE(static_cast<void*>(V.data()), static_cast<void*>(Room));
    EXPECT_EQ(Probe.use_count(), 4);
    V.erase(V.begin());
    EXPECT_EQ(V.size(), 2u);
    EXPECT_EQ(Probe.use_count(), 3);
    V.clear();
    EXPECT_EQ(Probe.use_count(), 1);
    std::vector<std::shared_ptr<int>> Source(6, Probe);
    V.assign(Source.begin(), Source.end());
    EXPECT_EQ(Probe.use_count(), 13);
    EXPECT_THROW(V.at(6), std::out_of_range);
  }
  EXPECT_EQ(Probe.use_count(), 1);  // the heap block and its elements went with the vector
  // Without a buffer, the first element goes to the heap.
  TBufferVector<std::shared_ptr<int>> Bare(nullptr, 5);
  EXPECT_EQ(Bare.capacity(), 0u);
  Bare.push_back(Probe);
  EXPECT_EQ(*Bare.at(0), 7);
}

TEST(SmallVector, SpillsToTheHeapAndMovesBothWays) {
  // Shared pointers count their owners: every element must be destroyed exactly once.
  auto Probe = std::make_shared<int>(7);
  TSmallVector<std::shared_ptr<int>, 3> V;
  for (int I = 0; I < 3; ++I) V.push_back(Probe);
  EXPECT_EQ(V.capacity(), 3u);
  V.push_back(V[0]);  // grows while its argument is one of its own elements
  EXPECT_GT(V.capacity(), 3u);
  EXPECT_EQ(V.size(), 4u);
  EXPECT_EQ(Probe.use_count(), 5);

  TSmallVector<std::shared_ptr<int>, 3> Heap(std::move(V));  // takes the heap block
  EXPECT_TRUE(V.empty());
  EXPECT_EQ(V.capacity(), 3u);
  EXPECT_EQ(Probe.use_count(), 5);
  Heap.erase(Heap.begin() + 1);
  Heap.erase(Heap.begin());
  EXPECT_EQ(Heap.size(), 2u);
  EXPECT_EQ(Probe.use_count(), 3);

  TSmallVector<std::shared_ptr<int>, 3> Inline;
  Inline.push_back(std::make_shared<int>(1));
  Inline.push_back(std::make_shared<int>(2));
  V = std::move(Inline);  // moves the inline elements one by one
  ASSERT_EQ(V.size(), 2u);
  EXPECT_EQ(*V[0], 1);
  EXPECT_EQ(*V.at(1), 2);
  EXPECT_THROW(V.at(2), std::out_of_range);

  std::vector<std::shared_ptr<int>> Source(5, Probe);
  V.assign(Source.begin(), Source.end());
  EXPECT_EQ(V.size(), 5u);
  EXPECT_EQ(Probe.use_count(), 3 + 5 + 5);
  V.clear();
  Heap = std::move(V);
  EXPECT_EQ(Probe.use_count(), 1 + 5);
}

// Random insertions and removals at the front, the back and anywhere, checked after each step
// against a plain vector; small chunks make splits, merges and dropped chunks frequent.
TEST(TieredVector, AgreesWithAVectorThroughSplitsAndMerges) {
  TTieredVector<int, 8> Tiered;
  std::vector<int> Plain;
  std::mt19937 Random(7);
  int Next = 0;
  auto Check = [&](int Step) {
    ASSERT_EQ(Tiered.size(), Plain.size()) << "step " << Step;
    for (size_t I = 0; I < Plain.size(); ++I) ASSERT_EQ(Tiered[I], Plain[I]) << "step " << Step << " index " << I;
    std::vector<int> Visited;
    Tiered.ForEach([&](int V) { Visited.push_back(V); });
    ASSERT_EQ(Visited, Plain) << "step " << Step;
    // A range visit and a search land where the plain vector says, however the front moved.
    if (Plain.empty()) return;
    const size_t From = Random() % Plain.size(), To = From + Random() % (Plain.size() - From + 1);
    Visited.clear();
    Tiered.ForEachIn(From, To, [&](int V) { Visited.push_back(V); });
    ASSERT_EQ(Visited, std::vector<int>(Plain.begin() + static_cast<long>(From), Plain.begin() + static_cast<long>(To)))
        << "step " << Step;
    const size_t Sought = Random() % Plain.size();
    ASSERT_EQ(Tiered.Find(Plain[Sought]), Sought) << "step " << Step;
  };
  for (int Step = 0; Step < 4000; ++Step) {
    // Grows for a while, then shrinks to empty, then grows again.
    const bool Grow = (Step / 500) % 2 == 0 ? Random() % 4 != 0 : Random() % 4 == 0;
    if (Grow || Plain.empty()) {
      const size_t At = Random() % 3 == 0 ? 0 : Random() % 3 == 0 ? Plain.size() : Random() % (Plain.size() + 1);
      Tiered.insert(At, Next);
      Plain.insert(Plain.begin() + static_cast<long>(At), Next);
      ++Next;
    } else {
      const size_t At = Random() % 3 == 0 ? 0 : Random() % (Plain.size());
      Tiered.erase(At);
      Plain.erase(Plain.begin() + static_cast<long>(At));
    }
    Check(Step);
  }
  while (!Plain.empty()) {
    Tiered.erase(Plain.size() / 2);
    Plain.erase(Plain.begin() + static_cast<long>(Plain.size() / 2));
  }
  Check(-1);
  Tiered.push_back(5);
  EXPECT_EQ(Tiered.front(), 5);
}

TEST(TieredVector, FindsValuesAndPartitionPoints) {
  TTieredVector<int, 8> Tiered;
  EXPECT_EQ(Tiered.Find(3), 0u);
  EXPECT_EQ(Tiered.PartitionPoint([](int V) { return V < 3; }), 0u);
  // 0, 2, 4, ... 98 built out of order so that the chunks are uneven.
  for (int V = 98; V >= 0; V -= 2) Tiered.insert(0, V);
  for (int I = 0; I < 50; I += 7) Tiered.erase(static_cast<size_t>(I)), Tiered.insert(static_cast<size_t>(I), 2 * I);
  for (int V = 0; V <= 100; ++V) {
    const size_t Point = Tiered.PartitionPoint([V](int X) { return X < V; });
    EXPECT_EQ(Point, static_cast<size_t>((V + 1) / 2)) << V;
    EXPECT_EQ(Tiered.Find(V), V % 2 == 0 && V < 100 ? static_cast<size_t>(V / 2) : Tiered.size()) << V;
  }
  Tiered.clear();
  EXPECT_TRUE(Tiered.empty());
  Tiered.insert(0, 1);
  EXPECT_EQ(Tiered[0], 1);
}

// Values that remember their chunk are found there, through splits, merges, replacement and a
// second vector placing them since (and going away); a value never placed is not found.
TEST(TieredVector, TrackedValuesAreFoundWhereverTheyMoved) {
  struct TNode {
    uintptr_t Chunk = 0;
  };
  struct TTrack {
    static void Placed(TNode* N, uintptr_t Chunk) noexcept { N->Chunk = Chunk; }
    static uintptr_t ChunkOf(const TNode* N) noexcept { return N->Chunk; }
  };
  std::vector<TNode> Nodes(8000);
  TTieredVector<TNode*, 8, TTrack> Tiered;
  std::vector<TNode*> Plain;
  std::mt19937 Random(3);
  size_t Next = 0;
  for (int Step = 0; Step < 6000; ++Step) {
    const bool Grow = (Step / 700) % 2 == 0 ? Random() % 4 != 0 : Random() % 4 == 0;
    if ((Grow || Plain.empty()) && Next < Nodes.size()) {
      const size_t At = Random() % (Plain.size() + 1);
      Tiered.insert(At, &Nodes[Next]);
      Plain.insert(Plain.begin() + static_cast<long>(At), &Nodes[Next++]);
    } else if (!Plain.empty() && Next < Nodes.size() && Random() % 5 == 0) {
      const size_t At = Random() % Plain.size();
      Tiered.set(At, &Nodes[Next]);
      Plain[At] = &Nodes[Next++];
    } else if (!Plain.empty()) {
      const size_t At = Random() % Plain.size();
      Tiered.erase(At);
      Plain.erase(Plain.begin() + static_cast<long>(At));
    }
    for (size_t I = 0; I < Plain.size(); ++I) ASSERT_EQ(Tiered.IndexInPlace(Plain[I]), I) << "step " << Step;
  }
  // Another vector places every third value for a while and goes: those are found by a scan.
  {
    TTieredVector<TNode*, 8, TTrack> Other;
    for (size_t I = 0; I < Plain.size(); I += 3) Other.insert(0, Plain[I]);
    ASSERT_EQ(Other.IndexInPlace(Plain[0]), Other.size() - 1);
    ASSERT_EQ(Tiered.IndexInPlace(Plain[0]), Tiered.size());
  }
  for (size_t I = 0; I < Plain.size(); ++I) ASSERT_EQ(Tiered.IndexOf(Plain[I]), I);
  TNode Stranger;
  EXPECT_EQ(Tiered.IndexOf(&Stranger), Tiered.size());
}

// Objects made one after another carry neighbouring codes, which build long runs of entries;
// removals in any order must leave every other object reachable under its code, and the
// first-in-order rule must pick among objects that share a code.
TEST(PointerHashIndex, LongRunsOfNeighbouringCodesSurviveRemovalsInAnyOrder) {
  struct TOlder {
    bool operator()(const TItem* A, const TItem* B) const noexcept { return A->V < B->V; }
  };
  std::vector<std::unique_ptr<TItem>> Items;
  for (int I = 0; I < 6000; ++I) Items.push_back(std::make_unique<TItem>(I));
  // Codes from 1000 up in steps of one, every tenth code shared by two objects, and a few codes
  // far away in the high bits.
  auto CodeOf = [](int V) {
    if (V % 1000 == 999) return 0x40000000u + static_cast<uint32_t>(V / 1000);
    if (V % 10 == 1) --V;  // shares the code of the object before it
    return 1000u + static_cast<uint32_t>(V);
  };
  TPointerHashIndex<TItem, TOlder> Index;
  std::vector<bool> Stored(Items.size(), false);
  std::mt19937 Random(11);
  for (int Round = 0; Round < 3; ++Round) {
    for (size_t I = 0; I < Items.size(); ++I)
      if (!Stored[I]) {
        Index.Insert(CodeOf(Items[I]->V), Items[I].get());
        Stored[I] = true;
      }
    std::vector<size_t> Order(Items.size());
    for (size_t I = 0; I < Order.size(); ++I) Order[I] = I;
    std::shuffle(Order.begin(), Order.end(), Random);
    for (size_t K = 0; K < Order.size() * 3 / 4; ++K) {
      const size_t I = Order[K];
      ASSERT_TRUE(Index.Erase(CodeOf(Items[I]->V), Items[I].get())) << "round " << Round << " item " << I;
      Stored[I] = false;
    }
    for (size_t I = 0; I < Items.size(); ++I) {
      // The oldest stored object under this object's code.
      const TItem* Expected = nullptr;
      for (size_t J = 0; J < Items.size(); ++J)
        if (Stored[J] && CodeOf(Items[J]->V) == CodeOf(Items[I]->V)) {
          Expected = Items[J].get();
          break;
        }
      if (I % 7 != 0 && !Stored[I]) continue;  // a sample of the empty codes is enough
      ASSERT_EQ(Index.Find(CodeOf(Items[I]->V), [](const TItem*) { return true; }), Expected)
          << "round " << Round << " item " << I;
    }
    ASSERT_EQ(Index.Size(), static_cast<size_t>(std::count(Stored.begin(), Stored.end(), true)));
  }
}
