#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/network/ActivationAgenda.h"

using namespace rulecore;

namespace {

// An agenda that inserts wherever the test says.
class TPlacingAgenda : public TActivationAgenda {
 public:
  int FindInsertion(const TActivation&) override { return Place; }
  int Place = -1;
};

// The index a scan finds, to hold IndexOf against.
int Scan(const TActivationAgenda& Agenda, const TActivation* A) {
  for (int I = 0; I < Agenda.Count(); ++I)
    if (Agenda.GetActivations(I) == A) return I;
  return -1;
}

}  // namespace

TEST(ActivationAgenda, IndexOfFollowsEveryPlacementAndRemoval) {
  std::mt19937 Random(7);
  TPlacingAgenda Agenda;
  std::vector<TActivation*> Live;
  for (int Step = 0; Step < 4000; ++Step) {
    const int N = Agenda.Count();
    if (N > 0 && Random() % 3 == 0) {
      TActivation* Gone = Live[Random() % Live.size()];
      const int At = Agenda.IndexOf(Gone);
      ASSERT_EQ(At, Scan(Agenda, Gone));
      Agenda.Delete(At);
      Live.erase(std::find(Live.begin(), Live.end(), Gone));
      if (!Live.empty()) {
        ASSERT_EQ(Agenda.IndexOf(Live.front()), Scan(Agenda, Live.front()));
      }
      continue;
    }
    // Front, back, past the end and the middle, with runs at one place that use up the room
    // between two neighbours.
    const int Kind = static_cast<int>(Random() % 5);
    Agenda.Place = Kind == 0 ? 0 : Kind == 1 ? -1 : Kind == 2 ? N + 3 : N / 2;
    auto* A = new TActivation();
    const int At = Agenda.Add(A);
    Live.push_back(A);
    ASSERT_EQ(Agenda.GetActivations(At), A);
    if (Step % 97 == 0) {
      for (TActivation* Each : Live) ASSERT_EQ(Agenda.IndexOf(Each), Scan(Agenda, Each));
    }
  }
  TActivation Stranger;
  EXPECT_EQ(Agenda.IndexOf(&Stranger), -1);
}

TEST(ActivationAgenda, ManyInsertionsAtOnePlaceKeepTheOrderFindable) {
  TPlacingAgenda Agenda;
  Agenda.Place = -1;
  Agenda.Add(new TActivation());
  Agenda.Add(new TActivation());
  Agenda.Place = 1;  // always between the first and the newest: halves the room every time
  std::vector<TActivation*> Added;
  for (int I = 0; I < 200; ++I) {
    Added.push_back(new TActivation());
    Agenda.Add(Added.back());
  }
  for (int I = 0; I < 200; ++I) EXPECT_EQ(Agenda.IndexOf(Added[static_cast<size_t>(I)]), 200 - I);
}

TEST(ActivationAgenda, MatchesPilingUpInTheMiddleWhileTheFrontFiresStayInOrder) {
  // The shape of a run where a rule of higher salience makes matches of a lower one: every new
  // activation goes to the middle of the agenda, splitting the part there again and again,
  // while firings take activations off the front.
  std::mt19937 Random(11);
  TPlacingAgenda Agenda;
  std::vector<TActivation*> Order;  // what the agenda must hold, in order
  for (int Step = 0; Step < 60000; ++Step) {
    if (!Order.empty() && Step % 7 == 6) {
      ASSERT_EQ(Agenda.IndexOf(Order.front()), 0);
      Agenda.Delete(0);
      Order.erase(Order.begin());
      continue;
    }
    auto* A = new TActivation();
    const size_t At = Order.size() / 2 + (Random() % 2);
    Agenda.Place = static_cast<int>(std::min(At, Order.size()));
    Agenda.Add(A);
    Order.insert(Order.begin() + Agenda.Place, A);
  }
  ASSERT_EQ(Agenda.Count(), static_cast<int>(Order.size()));
  for (size_t I = 0; I < Order.size(); I += 97) {
    ASSERT_EQ(Agenda.GetActivations(static_cast<int>(I)), Order[I]) << I;
    ASSERT_EQ(Agenda.IndexOf(Order[I]), static_cast<int>(I)) << I;
  }
  // Removing from anywhere keeps every other entry findable.
  for (int I = 0; I < 2000; ++I) {
    const size_t At = Random() % Order.size();
    ASSERT_EQ(Agenda.IndexOf(Order[At]), static_cast<int>(At));
    Agenda.Delete(static_cast<int>(At));
    Order.erase(Order.begin() + static_cast<long>(At));
  }
  for (size_t I = 0; I < Order.size(); I += 13) ASSERT_EQ(Agenda.IndexOf(Order[I]), static_cast<int>(I)) << I;
}

TEST(ActivationAgenda, EmptyEntriesAHostPutsInDoNotBreakPlacement) {
  TPlacingAgenda Agenda;
  std::vector<TActivation*> Taken;
  for (int I = 0; I < 40; ++I) Agenda.Add(new TActivation());
  for (int I : {0, 5, 6, 39}) {
    Taken.push_back(Agenda.GetActivations(I));
    Agenda.SetActivations(I, nullptr);
  }
  // Placements right after and before the empty entries, many times over at one spot.
  for (int Round = 0; Round < 300; ++Round) {
    Agenda.Place = Round % 2 ? 1 : 6;
    auto* A = new TActivation();
    const int At = Agenda.Add(A);
    EXPECT_EQ(Agenda.IndexOf(A), At);
  }
  EXPECT_EQ(Agenda.Count(), 340);
  for (TActivation* A : Taken) delete A;
}

TEST(ActivationAgenda, ActivationsSharedWithAnotherAgendaAreStillFound) {
  // A host may list the engine's activations in an agenda of its own (not owning them); that
  // agenda's placements must not hide them from the first one.
  TPlacingAgenda Owner, View;
  View.SetOwnsObjects(false);
  std::vector<TActivation*> All;
  for (int I = 0; I < 50; ++I) {
    All.push_back(new TActivation());
    Owner.Place = -1;
    Owner.Add(All.back());
  }
  View.Place = 0;  // the reverse order of Owner's list
  for (TActivation* A : All) View.Add(A);
  for (int I = 0; I < 50; ++I) {
    EXPECT_EQ(Owner.IndexOf(All[static_cast<size_t>(I)]), I);
    EXPECT_EQ(View.IndexOf(All[static_cast<size_t>(I)]), 49 - I);
  }
  // Replacing an entry gives the newcomer a place of its own in the order.
  auto* Newcomer = new TActivation();
  TActivation* Old = Owner.GetActivations(10);
  Owner.SetActivations(10, Newcomer);
  EXPECT_EQ(Owner.IndexOf(Newcomer), 10);
  EXPECT_EQ(Owner.IndexOf(Old), -1);
  delete Old;
}

TEST(ActivationAgenda, AnAgendaThatWentAwayLeavesItsActivationsFindableElsewhere) {
  // The activations remember where the last agenda to place them put them; once that agenda
  // is gone, the place they remember must not be followed.
  TPlacingAgenda Owner;
  std::vector<TActivation*> All;
  for (int I = 0; I < 600; ++I) {
    All.push_back(new TActivation());
    Owner.Add(All.back());
  }
  {
    TPlacingAgenda View;
    View.SetOwnsObjects(false);
    View.Place = 0;
    for (TActivation* A : All) View.Add(A);
    EXPECT_EQ(View.IndexOf(All[7]), 592);
  }
  for (int I = 0; I < 600; I += 11) EXPECT_EQ(Owner.IndexOf(All[static_cast<size_t>(I)]), I);
  // Taken off and put back elsewhere: found at the new place, gone from the old.
  TActivation* Moved = Owner.Extract(300);
  Owner.Place = 5;
  Owner.Add(Moved);
  EXPECT_EQ(Owner.IndexOf(Moved), 5);
  EXPECT_EQ(Owner.IndexOf(All[299]), 300);
  EXPECT_EQ(Owner.IndexOf(All[301]), 301);
  TActivation Stranger;
  EXPECT_EQ(Owner.IndexOf(&Stranger), -1);
  EXPECT_EQ(Owner.IndexOf(nullptr), -1);
}
