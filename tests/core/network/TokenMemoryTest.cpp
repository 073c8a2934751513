#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/network/IEToken.h"

using namespace rulecore;
using platform::MakeRef;

namespace {

IReteToken TokenOf(int32_t Id) {
  IFact Fact = MakeRef<TFact>();
  Fact->SetID(Id);
  return MakeRef<TIEToken>(taAdd, Fact);
}

// The ids of a bucket's tokens, in the bucket's order.
std::vector<int32_t> IdsOf(TIETokenTree& Memory, int32_t Key) {
  std::vector<int32_t> Ids;
  if (const auto Tokens = Memory.GetTokens(Key))
    for (const IReteToken& T : *Tokens) Ids.push_back(T->GetFact()->GetID());
  return Ids;
}

// The ids a walk of bucket 0 visits, running Step after each visited token.
template <class TStep>
std::vector<int32_t> Walk(TIETokenTree& Memory, TStep&& Step) {
  std::vector<int32_t> Ids;
  TIETokenTree::TVisit Tokens(Memory, 0);
  for (size_t I = 0; I < Tokens.Size(); ++I) {
    if (!Tokens.MayMatch(I, TIETokenTree::WildKey)) continue;
    Ids.push_back(Tokens.At(I)->GetFact()->GetID());
    Step(Ids.back());
  }
  return Ids;
}

}  // namespace

TEST(TokenMemory, KeepsInsertionOrderWhileTokensLeaveFromAnywhere) {
  // One bucket, so that every token shares it: removals leave holes, later ones close them.
  TIETokenTree Memory(1, true, std::string(), NoSubIndex, 0);
  std::vector<int32_t> Model;
  std::vector<IReteToken> Made;
  std::mt19937 Random(11);
  int32_t Next = 1;
  for (int Step = 0; Step < 4000; ++Step) {
    const bool Adding = Model.empty() || Random() % 20 < 11;
    if (Adding) {
      Made.push_back(TokenOf(Next));
      ASSERT_TRUE(Memory.Add(Made.back()));
      Model.push_back(Next++);
    } else {
      // Remove by an equal token, not the stored one, as the network does.
      const size_t At = Random() % Model.size();
      const IReteToken Removed = Memory.Remove(*TokenOf(Model[At]));
      ASSERT_TRUE(Removed);
      EXPECT_EQ(Removed->GetFact()->GetID(), Model[At]);
      Model.erase(Model.begin() + static_cast<std::ptrdiff_t>(At));
    }
    ASSERT_EQ(Memory.GetCount(), static_cast<int>(Model.size()));
    if (Step % 37 == 0) {
      ASSERT_EQ(IdsOf(Memory, 0), Model) << "step " << Step;
    }
  }
  EXPECT_EQ(IdsOf(Memory, 0), Model);
  EXPECT_EQ(Walk(Memory, [](int32_t) {}), Model);
  // Equal tokens are refused, and a token not stored is not found.
  ASSERT_FALSE(Model.empty());
  EXPECT_FALSE(Memory.Add(TokenOf(Model.front())));
  EXPECT_FALSE(Memory.Remove(*TokenOf(Next + 1)));
  Memory.Clear();
  EXPECT_EQ(Memory.GetCount(), 0);
  EXPECT_TRUE(Memory.Empty());
  EXPECT_EQ(IdsOf(Memory, 0), std::vector<int32_t>{});
  ASSERT_TRUE(Memory.Add(TokenOf(1)));
  EXPECT_EQ(IdsOf(Memory, 0), std::vector<int32_t>{1});
}

TEST(TokenMemory, TokensSharingASortCodeAreFoundAndRemovedInAnyOrder) {
  // Two-fact tokens (a, b) with a * 8 + b fixed all have one sort code: every lookup in a big
  // bucket then runs through one long chain of its index, which removals keep closing.
  TIETokenTree Memory(1, true, std::string(), NoSubIndex, 0);
  auto Pair = [](int32_t A) {
    IFact Second = MakeRef<TFact>();
    Second->SetID(8 * (300 - A));
    return MakeRef<TIEToken>(TokenOf(A), Second);
  };
  std::vector<int32_t> Model;
  std::mt19937 Random(5);
  for (int Round = 0; Round < 3; ++Round) {
    std::vector<int32_t> Firsts;
    for (int32_t A = 1; A < 300; ++A) Firsts.push_back(A);
    std::shuffle(Firsts.begin(), Firsts.end(), Random);
    for (const int32_t A : Firsts) {
      if (std::find(Model.begin(), Model.end(), A) != Model.end()) {
        EXPECT_FALSE(Memory.Add(Pair(A))) << A;  // already there: found through the chain
        continue;
      }
      ASSERT_TRUE(Memory.Add(Pair(A)));
      Model.push_back(A);
      ASSERT_EQ(Pair(A)->GetSortCode(), Pair(1)->GetSortCode());
    }
    // Take out a random two thirds, each found by an equal token.
    std::shuffle(Firsts.begin(), Firsts.end(), Random);
    for (size_t I = 0; I < Firsts.size() * 2 / 3; ++I) {
      ASSERT_TRUE(Memory.Remove(*Pair(Firsts[I]))) << Firsts[I];
      EXPECT_FALSE(Memory.Remove(*Pair(Firsts[I])));
      Model.erase(std::find(Model.begin(), Model.end(), Firsts[I]));
    }
    std::vector<int32_t> Stored;
    if (const auto Tokens = Memory.GetTokens(0))
      for (const IReteToken& T : *Tokens) Stored.push_back(T->GetFacts(0)->GetID());
    ASSERT_EQ(Stored, Model);
  }
}

TEST(TokenMemory, WalkSeesTheBucketAsItStoodWhenItBegan) {
  TIETokenTree Memory(1, true, std::string(), NoSubIndex, 0);
  for (int32_t Id = 1; Id <= 6; ++Id) Memory.Add(TokenOf(Id));
  // Removing tokens ahead of the walk and adding new ones while it runs changes nothing it sees.
  const std::vector<int32_t> Seen = Walk(Memory, [&](int32_t Id) {
    if (Id == 2) {
      ASSERT_TRUE(Memory.Remove(*TokenOf(4)));
      ASSERT_TRUE(Memory.Remove(*TokenOf(6)));  // the last: its slot goes at once
      ASSERT_TRUE(Memory.Add(TokenOf(7)));
    }
  });
  EXPECT_EQ(Seen, (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
  // A new walk sees the change: the hole left by 4 is skipped.
  EXPECT_EQ(Walk(Memory, [](int32_t) {}), (std::vector<int32_t>{1, 2, 3, 5, 7}));
  // A walk that empties the bucket under itself still ends where it stood.
  const std::vector<int32_t> Emptied = Walk(Memory, [&](int32_t Id) {
    if (Id == 1) Memory.Clear();
  });
  EXPECT_EQ(Emptied, (std::vector<int32_t>{1, 2, 3, 5, 7}));
  EXPECT_EQ(Memory.GetCount(), 0);
}

TEST(TokenMemory, KeyedWalkSkipsTokensWithAnotherExactKey) {
  TIETokenTree Memory(1, false, "x", NoSubIndex, 0);
  Memory.SetExactParts({{0, "x", NoSubIndex, {}}});
  // Keys given directly: tokens of ids 1..9 with exact keys A, B, none, A, B, none ...
  const int64_t A = 17, B = -5;
  const int64_t Cycle[] = {A, B, TIETokenTree::WildKey};
  for (int32_t Id = 1; Id <= 9; ++Id) {
    TIETokenTree::TKeys Keys;
    Keys.Exact = Cycle[(Id - 1) % 3];
    ASSERT_TRUE(Memory.Add(TokenOf(Id), Keys, false));
  }
  // A removal finds its bucket by the bucket key alone and hands back the exact key the stored
  // token was added with (the joins below walk by it).
  TIETokenTree::TKeys KeysOf4;
  ASSERT_TRUE(Memory.Remove(*TokenOf(4), KeysOf4));  // a hole among the A keys
  EXPECT_EQ(KeysOf4.Exact, A);
  TIETokenTree::TKeys KeysOf5;
  ASSERT_TRUE(Memory.Remove(*TokenOf(5), KeysOf5));
  EXPECT_EQ(KeysOf5.Exact, B);
  ASSERT_TRUE(Memory.Add(TokenOf(5), KeysOf5, false));  // back, at the end
  auto Visited = [&](int64_t Exact) {
    std::vector<int32_t> Ids;
    TIETokenTree::TVisit Tokens(Memory, 0);
    for (size_t I = Tokens.Next(0, Exact); I < Tokens.Size(); I = Tokens.Next(I + 1, Exact)) {
      EXPECT_TRUE(Tokens.MayMatch(I, Exact));
      Ids.push_back(Tokens.At(I)->GetFact()->GetID());
    }
    return Ids;
  };
  // Tokens without an exact key may match anything; the order is the bucket's.
  EXPECT_EQ(Visited(A), (std::vector<int32_t>{1, 3, 6, 7, 9}));
  EXPECT_EQ(Visited(B), (std::vector<int32_t>{2, 3, 6, 8, 9, 5}));
  EXPECT_EQ(Visited(99), (std::vector<int32_t>{3, 6, 9}));
  EXPECT_EQ(Visited(TIETokenTree::WildKey), (std::vector<int32_t>{1, 2, 3, 6, 7, 8, 9, 5}));
}

TEST(TokenMemory, NilBucketsAreNoneUntilUsed) {
  TIETokenTree Memory(7, true, std::string(), NoSubIndex, 0);
  EXPECT_FALSE(Memory.GetTokens(3).has_value());
  EXPECT_EQ(Memory.VisitedBucket(3), -1);
  Memory.SetAllowNilBucket(false);
  const auto Created = Memory.GetTokens(3);
  ASSERT_TRUE(Created.has_value());
  EXPECT_TRUE(Created->empty());
  Memory.SetAllowNilBucket(true);
  EXPECT_TRUE(Memory.GetTokens(3).has_value());  // made by the look-up above
  Memory.Add(TokenOf(10));                        // key 10: bucket 3
  EXPECT_EQ(IdsOf(Memory, 3), std::vector<int32_t>{10});
  EXPECT_EQ(Memory.GetLowest(), 3);
  EXPECT_EQ(Memory.GetHighest(), 3);
}

TEST(TokenMemory, BucketIsTheKeysMagnitudeModuloTheBucketCount) {
  std::mt19937 Random(5);
  for (const int Buckets : {1, 2, 7, 64, 101, 4093, 65536, 65537}) {
    const TIETokenTree Memory(Buckets, true, std::string(), NoSubIndex, 0);
    std::vector<int32_t> Keys = {0, 1, -1, Buckets - 1, Buckets, -Buckets, INT32_MAX, INT32_MIN, INT32_MIN + 1};
    for (int I = 0; I < 2000; ++I) Keys.push_back(static_cast<int32_t>(Random()));
    for (const int32_t Key : Keys)
      ASSERT_EQ(Memory.BucketOf(Key), static_cast<int>(std::llabs(static_cast<int64_t>(Key)) % Buckets))
          << "key " << Key << " of " << Buckets << " buckets";
  }
}

TEST(TokenMemory, FilledBucketsFollowAddsRemovalsAndClear) {
  // 130 buckets: the marks span three words.  Keys are ids: token k lands in bucket k % 130.
  TIETokenTree Memory(130, true, std::string(), NoSubIndex, 0);
  auto Filled = [&] {
    std::vector<int> Buckets;
    for (int B = Memory.NextFilled(0); B >= 0; B = Memory.NextFilled(B + 1)) Buckets.push_back(B);
    return Buckets;
  };
  EXPECT_EQ(Memory.NextFilled(0), -1);
  for (const int32_t Id : {5, 63, 64, 129, 135, 200}) Memory.Add(TokenOf(Id));
  EXPECT_EQ(Filled(), (std::vector<int>{5, 63, 64, 70, 129}));
  EXPECT_EQ(Memory.NextFilled(65), 70);
  EXPECT_EQ(Memory.NextFilled(130), -1);
  // A bucket stays filled while any of its tokens is left, wherever the removed ones stood.
  ASSERT_TRUE(Memory.Remove(*TokenOf(5)));
  EXPECT_EQ(Filled(), (std::vector<int>{5, 63, 64, 70, 129}));  // 135 is still in bucket 5
  ASSERT_TRUE(Memory.Remove(*TokenOf(135)));
  ASSERT_TRUE(Memory.Remove(*TokenOf(64)));
  EXPECT_EQ(Filled(), (std::vector<int>{63, 70, 129}));
  Memory.Add(TokenOf(64));
  EXPECT_EQ(Filled(), (std::vector<int>{63, 64, 70, 129}));
  Memory.Clear();
  EXPECT_EQ(Filled(), std::vector<int>{});
  Memory.Add(TokenOf(1));
  EXPECT_EQ(Filled(), std::vector<int>{1});
}

// A join scanning its right memory reads the left token's facts from a table made once: the
// table must give what the token gives at every position, a missing fact included.
TEST(TokenFactTable, GivesEveryPositionAsTheTokenDoes) {
  for (int Count : {1, 2, 3, 7, TTokenFactTable::MaxFacts, TTokenFactTable::MaxFacts + 1}) {
    IReteToken Token = TokenOf(100);
    for (int I = 1; I < Count; ++I) {
      IFact Fact;
      if (I % 3 != 2) {  // every third position without a fact, as a negated pattern leaves it
        Fact = MakeRef<TFact>();
        Fact->SetID(100 + I);
      }
      Token = MakeRef<TIEToken>(Token, Fact);
    }
    ASSERT_EQ(Token->GetCount(), Count);
    const TTokenFactTable Table(*Token);
    // Shallow tokens cost at most one link a read; the deepest are read as they are.
    EXPECT_EQ(Table.Usable(), Count > 2 && Count <= TTokenFactTable::MaxFacts) << Count;
    if (!Table.Usable()) continue;
    EXPECT_EQ(Table.GetFactCount(), Count);
    for (int I = -1; I <= Count; ++I) EXPECT_EQ(Table.GetFactAt(I), Token->GetFacts(I)) << Count << " at " << I;
  }
}
