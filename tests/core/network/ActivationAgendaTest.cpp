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
  View.Place = 0;  // the reverse order: keys fall along Owner's list
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
