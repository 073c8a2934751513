#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/engine/InferenceEngine.h"

using namespace rulecore;

namespace {

// Compares the list with the ids it should hold, in order, through every position-based and
// id-based look-up.  Only Items() closes the holes retractions leave, so the look-ups are
// checked both over holes and after Items() (when Whole is true).
void ExpectList(const TFacts& Facts, const std::vector<int32_t>& Ids, bool Whole) {
  ASSERT_EQ(Facts.Count(), static_cast<int>(Ids.size()));
  for (int I = 0; I < static_cast<int>(Ids.size()); ++I) {
    const IFact& Fact = Facts.Get(I);
    ASSERT_EQ(Fact->GetID(), Ids[static_cast<size_t>(I)]) << "position " << I;
    EXPECT_EQ(Facts.IndexOf(Fact.get()), I);
    EXPECT_EQ(Facts.FindFact(Fact->GetID()), I);
    EXPECT_EQ(Facts.GetFactByID(Fact->GetID()).get(), Fact.get());
  }
  if (Whole) {
    std::vector<int32_t> Listed;
    for (const IFact& Fact : Facts.Items()) Listed.push_back(Fact->GetID());
    EXPECT_EQ(Listed, Ids);
  }
}

}  // namespace

TEST(FactList, PositionsStayExactWhileFactsLeaveFromAnywhere) {
  TInferenceEngine Engine;
  Engine.Parse("(deftemplate n (slot v))", false);
  std::vector<int32_t> Ids;
  for (const IFact& Fact : Engine.GetFacts().Items()) Ids.push_back(Fact->GetID());  // the initial fact
  std::mt19937 Random(7);
  int Next = 0;
  for (int Round = 0; Round < 600; ++Round) {
    if (Ids.empty() || Random() % 3 != 0) {
      Ids.push_back(Engine.Assert("(n (v " + std::to_string(Next++) + "))"));
    } else {
      const size_t At = Random() % Ids.size();
      EXPECT_EQ(Engine.Retract(Ids[At]), Ids[At]);
      Ids.erase(Ids.begin() + static_cast<std::ptrdiff_t>(At));
      EXPECT_EQ(Engine.Retract(1000000), -1);
    }
    if (Round % 37 == 0) ExpectList(Engine.GetFacts(), Ids, Round % 74 == 0);
  }
  ExpectList(Engine.GetFacts(), Ids, true);
  // A retracted id is gone from every look-up, also while its place is still a hole.
  const int32_t Gone = Ids[Ids.size() / 2];
  Engine.Retract(Gone);
  EXPECT_EQ(Engine.GetFacts().FindFact(Gone), -1);
  EXPECT_FALSE(Engine.GetFacts().GetFactByID(Gone));
}

TEST(FactList, PreservedIdsAndMovesAmongHoles) {
  TInferenceEngine Engine;
  Engine.Parse("(deftemplate n (slot v))", false);
  std::vector<int32_t> Ids;
  for (const IFact& Fact : Engine.GetFacts().Items()) Ids.push_back(Fact->GetID());
  for (int I = 0; I < 20; ++I) Ids.push_back(Engine.Assert("(n (v " + std::to_string(I) + "))"));
  for (int32_t Id : {3, 4, 9, 15}) {
    Engine.Retract(Id);
    Ids.erase(std::find(Ids.begin(), Ids.end(), Id));
  }
  // A fact keeping a preserved id goes back to its place in id order, among the holes.
  TFacts& Facts = Engine.GetFacts();
  Facts.SetPreserveIDs(true);
  IFact Back = Facts.GetFactByID(Ids.back())->Clone();
  Back->SetValue("v", platform::MakeRef<TIEValue>(100, dtInteger));
  Back->SetID(4);
  Facts.Add(Back);
  Ids.insert(std::find(Ids.begin(), Ids.end(), 5), 4);
  ExpectList(Facts, Ids, false);
  // A new fact put at a given position (the list is then no longer in id order).
  Facts.Delete(0);
  Ids.erase(Ids.begin());
  IFact Moved = Facts.GetFactByID(Ids.back())->Clone();
  Moved->SetValue("v", platform::MakeRef<TIEValue>(200, dtInteger));
  Facts.SetPreserveIDs(false);
  Facts.Insert(2, Moved);
  Ids.insert(Ids.begin() + 2, Moved->GetID());
  std::vector<int32_t> Listed;
  for (const IFact& Fact : Facts.Items()) Listed.push_back(Fact->GetID());
  EXPECT_EQ(Listed, Ids);
  EXPECT_EQ(Facts.IndexOf(Moved.get()), 2);
}
