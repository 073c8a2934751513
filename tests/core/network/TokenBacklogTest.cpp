#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/network/TokenBacklog.h"

using namespace rulecore;
using platform::MakeRef;

namespace {

// A one-fact token; tokens of one id told apart by their strength, as variants of a fact are.
IReteToken TokenOf(int32_t Id, float Strength = 1.0f) {
  IFact Fact = MakeRef<TFact>();
  Fact->SetID(Id);
  IReteToken T = MakeRef<TIEToken>(taAdd, Fact);
  T->SetStrength(Strength);
  return T;
}

using TModel = std::vector<std::pair<int32_t, float>>;

TModel Drained(TTokenBacklog& Backlog) {
  TModel Seen;
  Backlog.Drain([&](const IReteToken& T) { Seen.emplace_back(T->GetFact()->GetID(), T->GetStrength()); });
  return Seen;
}

}  // namespace

TEST(TokenBacklog, RemovalsByEqualTokensKeepTheArrivalOrder) {
  // Ids never fall; a few repeat with another strength.  Removals come from anywhere, by equal
  // tokens (not the held ones), and leave holes that later compactions close.  Ids follow one
  // another closely or jump far at random.
  for (const bool Jumps : {false, true}) {
    TTokenBacklog Backlog;
    TModel Model;
    std::mt19937 Random(Jumps ? 5 : 3);
    int32_t Id = 1;
    for (int Step = 0; Step < 6000; ++Step) {
      if (Model.empty() || Random() % 20 < 11) {
        const bool Repeat = !Model.empty() && Random() % 4 == 0;
        if (!Repeat) Id += Jumps && Random() % 8 == 0 ? static_cast<int32_t>(Random() % 100000) + 1 : 1;
        const float Strength = Repeat ? 0.5f + static_cast<float>(Random() % 4) / 10 : 1.0f;
        if (Repeat && std::find(Model.begin(), Model.end(), std::make_pair(Id, Strength)) != Model.end()) continue;
        ASSERT_TRUE(Backlog.Append(TokenOf(Id, Strength)));
        Model.emplace_back(Id, Strength);
      } else {
        const size_t At = Random() % Model.size();
        ASSERT_TRUE(Backlog.Remove(*TokenOf(Model[At].first, Model[At].second))) << "step " << Step;
        EXPECT_FALSE(Backlog.Remove(*TokenOf(Model[At].first, Model[At].second)));
        if (Jumps) {
          EXPECT_FALSE(Backlog.Remove(*TokenOf(Model[At].first + 1, 0.25f)));  // no such token
        }
        Model.erase(Model.begin() + static_cast<std::ptrdiff_t>(At));
      }
      ASSERT_EQ(Backlog.Count(), Model.size());
      if (Step % 500 == 499) {
        ASSERT_EQ(Drained(Backlog), Model) << "step " << Step;
        EXPECT_TRUE(Backlog.Empty());
        for (const auto& [I, S] : Model) ASSERT_TRUE(Backlog.Append(TokenOf(I, S)));
      }
    }
    EXPECT_FALSE(Backlog.Remove(*TokenOf(Id + 1)));
    EXPECT_FALSE(Backlog.Remove(*TokenOf(0)));
    EXPECT_EQ(Drained(Backlog), Model);
  }
}

TEST(TokenBacklog, RefusesAFallingCodeAndKeepsWhatAFailedDrainLeft) {
  TTokenBacklog Backlog;
  for (const auto& [Id, Strength] : TModel{{3, 1.0f}, {5, 1.0f}, {5, 0.5f}, {8, 1.0f}, {9, 1.0f}})
    ASSERT_TRUE(Backlog.Append(TokenOf(Id, Strength)));
  EXPECT_FALSE(Backlog.Append(TokenOf(4)));  // below the last code: left for the keyed memory
  EXPECT_EQ(Backlog.Count(), 5u);
  ASSERT_TRUE(Backlog.Remove(*TokenOf(8)));
  // The drain stops where its step throws: that token and the later ones stay, in order.
  TModel Seen;
  EXPECT_THROW(Backlog.Drain([&](const IReteToken& T) {
    if (T->GetFact()->GetID() == 5 && T->GetStrength() < 1) throw std::runtime_error("no room");
    Seen.emplace_back(T->GetFact()->GetID(), T->GetStrength());
  }),
               std::runtime_error);
  EXPECT_EQ(Seen, (TModel{{3, 1.0f}, {5, 1.0f}}));
  EXPECT_EQ(Backlog.Count(), 2u);
  EXPECT_FALSE(Backlog.Append(TokenOf(7)));  // 9 is still the last code
  ASSERT_TRUE(Backlog.Remove(*TokenOf(9)));
  EXPECT_EQ(Drained(Backlog), (TModel{{5, 0.5f}}));
  EXPECT_TRUE(Backlog.Append(TokenOf(1)));  // empty again: any code starts it
  Backlog.Clear();
  EXPECT_TRUE(Backlog.Empty());
  EXPECT_EQ(Drained(Backlog), TModel{});
}
