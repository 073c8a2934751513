#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/engine/InferenceEngine.h"
#include "platform/PointerHashIndex.h"

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

TEST(PointerHashIndex, AgreesWithAModelThroughGrowthAndRemovals) {
  // Few distinct codes, so that runs are long and codes are shared; removed entries are
  // reused by later facts.
  std::vector<IFact> Facts;
  for (int32_t Id = 1; Id <= 600; ++Id) {
    Facts.push_back(platform::MakeRef<TFact>());
    Facts.back()->SetID(Id);
  }
  auto HashOf = [](int32_t Id) { return static_cast<uint32_t>(Id % 37) * 0x10001u; };
  struct TLowerID {
    bool operator()(const TFact* A, const TFact* B) const noexcept { return A->GetID() < B->GetID(); }
  };
  platform::TPointerHashIndex<TFact, TLowerID> Index;
  std::vector<bool> Stored(Facts.size(), false);
  std::mt19937 Random(3);
  for (int Step = 0; Step < 5000; ++Step) {
    const size_t F = Random() % Facts.size();
    TFact* Fact = Facts[F].get();
    if (Stored[F]) {
      ASSERT_TRUE(Index.Erase(HashOf(Fact->GetID()), Fact));
    } else {
      Index.Insert(HashOf(Fact->GetID()), Fact);
    }
    Stored[F] = !Stored[F];
    // The lowest stored id among the facts of one code whose id is odd.
    const int32_t Code = static_cast<int32_t>(Random() % 37);
    int32_t Expected = -1;
    for (size_t I = 0; I < Facts.size(); ++I)
      if (Stored[I] && Facts[I]->GetID() % 37 == Code && Facts[I]->GetID() % 2 == 1) {
        Expected = Facts[I]->GetID();
        break;
      }
    const TFact* Found =
        Index.Find(HashOf(Code), [](const TFact* Candidate) { return Candidate->GetID() % 2 == 1; });
    ASSERT_EQ(Found ? Found->GetID() : -1, Expected) << "step " << Step;
  }
  const size_t Count = static_cast<size_t>(std::count(Stored.begin(), Stored.end(), true));
  EXPECT_EQ(Index.Size(), Count);
  // A fact whose code is no longer the one it was stored under is still found by identity.
  const size_t Any = static_cast<size_t>(std::find(Stored.begin(), Stored.end(), true) - Stored.begin());
  ASSERT_LT(Any, Stored.size());
  EXPECT_FALSE(Index.Erase(12345u, Facts[Any].get()));
  EXPECT_TRUE(Index.EraseAnywhere(Facts[Any].get()));
  EXPECT_EQ(Index.Size(), Count - 1);
  EXPECT_FALSE(Index.EraseAnywhere(Facts[Any].get()));
}

TEST(FactList, DuplicateCheckFindsTheFirstEqualFact) {
  TInferenceEngine Engine;
  Engine.Parse("(deftemplate n (slot v))", false);
  Engine.SetFactDuplication(true);
  Engine.Assert("(n (v 1))");
  Engine.Assert("(n (v 2))");
  Engine.Assert("(n (v 1))");
  int First = -1;
  for (int I = Engine.GetFacts().Count() - 1; I >= 0; --I)
    if (Engine.GetFacts().Get(I)->GetTemplate().get() == Engine.FindFactTemplate("n").get() &&
        Engine.GetFacts().Get(I)->GetValue("v")->Equals(NewInteger(1).get()))
      First = I;
  ASSERT_GE(First, 0);
  IFact Probe = platform::MakeRef<TFact>(Engine.FindFactTemplate("n"));
  Probe->SetValue("v", NewInteger(1));
  EXPECT_EQ(Engine.GetFacts().FindFact(*Probe), First);
}

TEST(FactList, OrderedFactsAreDuplicatesExactlyWhenTheirFieldsAreEqual) {
  // Fields of plain values hash one by one; fuzzy and nested values by their text.  Either way a
  // fact equal to a stored one is refused and any other is not.
  TInferenceEngine Engine;
  Engine.Parse("(deftemplate f (multislot m))", false);
  const std::vector<std::string> Distinct = {
      "(o 1 a \"a\" 2.5)", "(o 1.0 a \"a\" 2.5)", "(o 1 \"a\" a 2.5)", "(o 1 a \"a\")", "(o)", "(o 1 a \"a\" 2.5 x)",
      "(o a)", "(o \"a\")", "(f (m 1 2))", "(f (m 1 2.0))", "(f (m))", "(f (m 2 1))"};
  std::vector<int32_t> Ids;
  for (const std::string& Fact : Distinct) {
    Ids.push_back(Engine.Assert(Fact));
    EXPECT_GE(Ids.back(), 0) << Fact;
  }
  const int Count = Engine.GetFacts().Count();
  for (const std::string& Fact : Distinct) EXPECT_EQ(Engine.Assert(Fact), -1) << Fact;
  EXPECT_EQ(Engine.GetFacts().Count(), Count);
  Engine.Retract(Ids[0]);
  EXPECT_GE(Engine.Assert(Distinct[0]), 0);
  EXPECT_EQ(Engine.Assert(Distinct[0]), -1);
}
