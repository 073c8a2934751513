#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Component.h"
#include "platform/Exceptions.h"

using namespace platform;

namespace {

std::vector<std::string>* Log = nullptr;

class TProbe : public TComponent {
  PLATFORM_CLASS(TProbe, TComponent)
 public:
  explicit TProbe(TComponent* Owner = nullptr, std::string Label = "") : TComponent(Owner), Label(std::move(Label)) {}
  ~TProbe() override {
    if (Log) Log->push_back("free " + Label);
    if (NotifyEarly) Destroying();
  }
  bool NotifyEarly = false;
  std::string Label;
  TComponent* Watched = nullptr;
  bool DeleteSelfOnNotice = false;

 protected:
  void Notification(TComponent* Component, TOperation Operation) override {
    TComponent::Notification(Component, Operation);
    if (Operation == opRemove && Component == Watched) {
      Watched = nullptr;
      if (Log) Log->push_back(Label + " saw removal");
      if (DeleteSelfOnNotice) delete this;
    }
  }
};

}  // namespace

TEST(Components, OwnerFreesOwnedComponentsLastFirst) {
  std::vector<std::string> Events;
  Log = &Events;
  {
    TProbe Owner(nullptr, "owner");
    new TProbe(&Owner, "a");
    auto* B = new TProbe(&Owner, "b");
    EXPECT_EQ(Owner.GetComponentCount(), 2);
    EXPECT_EQ(Owner.GetComponent(1), B);
    EXPECT_THROW(Owner.GetComponent(2), EListError);
    delete B;  // a component freed directly leaves its owner
    EXPECT_EQ(Owner.GetComponentCount(), 1);
  }
  Log = nullptr;
  EXPECT_EQ(Events, (std::vector<std::string>{"free b", "free owner", "free a"}));
}

TEST(Components, ComponentsLeaveFromAnyPlaceAndTheRestKeepTheirOrder) {
  // Runs of neighbours leaving (oldest first, newest first), jumps either way and arrivals
  // between them: the list answers as a plain ordered list would, at every step.
  TComponent Owner;
  std::vector<TComponent*> Model;
  int Made = 0;
  auto Add = [&] {
    Model.push_back(new TProbe(&Owner));
    Model.back()->SetName("c" + std::to_string(Made++));
  };
  auto Check = [&](int Step) {
    ASSERT_EQ(Owner.GetComponentCount(), static_cast<int>(Model.size())) << Step;
    for (size_t I = 0; I < Model.size(); ++I) ASSERT_EQ(Owner.GetComponent(static_cast<int>(I)), Model[I]) << Step;
    for (TComponent* C : Model) ASSERT_EQ(Owner.FindComponent(C->GetName()), C) << Step;
  };
  for (int I = 0; I < 40; ++I) Add();
  const std::vector<size_t> Leaving = {5, 5, 5, 5, 4, 3, 20, 20, 2, 25, 24, 23, 0, 0, 1};
  int Step = 0;
  for (const size_t At : Leaving) {
    TComponent* Going = Model[At];
    Model.erase(Model.begin() + static_cast<std::ptrdiff_t>(At));
    delete Going;
    Check(++Step);
    if (Step % 4 == 0) {
      Add();
      Check(++Step);
    }
  }
  while (!Model.empty()) {  // the rest, alternately from the back and the middle
    const size_t At = Model.size() % 2 ? Model.size() - 1 : Model.size() / 2;
    TComponent* Going = Model[At];
    Model.erase(Model.begin() + static_cast<std::ptrdiff_t>(At));
    delete Going;
    Check(++Step);
  }
  TComponent Stranger;
  Owner.RemoveComponent(&Stranger);  // not owned: nothing changes
  EXPECT_EQ(Owner.GetComponentCount(), 0);
}

TEST(Components, NamesAreUniqueAmongSiblings) {
  TComponent Owner;
  auto* A = new TProbe(&Owner);
  auto* B = new TProbe(&Owner);
  A->SetName("Engine1");
  EXPECT_THROW(B->SetName("ENGINE1"), EComponentError);
  EXPECT_EQ(B->GetName(), "");
  B->SetName("Engine2");
  EXPECT_EQ(Owner.FindComponent("engine2"), B);
  EXPECT_EQ(FindComponentType(&Owner, TProbe::StaticClass()), A);
  EXPECT_EQ(FindComponentType(&Owner, TComponent::StaticClass()), A);
}

TEST(Components, ABareComponentAnswersEveryQuestionWithNothing) {
  // A component that never had a name, components of its own or partners keeps none of their
  // storage: each question and each removal must still answer as for empty lists.
  TComponent Bare;
  TComponent Other;
  EXPECT_EQ(Bare.GetName(), "");
  EXPECT_EQ(Bare.GetComponentCount(), 0);
  EXPECT_THROW(Bare.GetComponent(0), EListError);
  EXPECT_EQ(Bare.FindComponent("x"), nullptr);
  EXPECT_EQ(FindComponentType(&Bare, TComponent::StaticClass()), nullptr);
  Bare.RemoveComponent(&Other);
  Bare.RemoveFreeNotification(&Other);
  Bare.DestroyComponents();
  Bare.DestroyComponentsWhere([](TComponent*) { return true; });
  Bare.SetName("");
  EXPECT_EQ(Bare.GetName(), "");
  EXPECT_FALSE(Bare.GetComponentState().Contains(csFreeNotification));
  // Lists made later behave as they always did.
  auto* Child = new TProbe(&Bare, "child");
  Child->SetName("Child");
  EXPECT_EQ(Bare.FindComponent("CHILD"), Child);
  Bare.FreeNotification(&Other);
  EXPECT_TRUE(Bare.GetComponentState().Contains(csFreeNotification));
  Bare.RemoveFreeNotification(&Other);
  EXPECT_FALSE(Bare.GetComponentState().Contains(csFreeNotification));
}

TEST(Components, FreeNotificationWorksInBothDirections) {
  std::vector<std::string> Events;
  Log = &Events;
  auto* X = new TProbe(nullptr, "x");
  auto* Y = new TProbe(nullptr, "y");
  X->Watched = Y;
  Y->Watched = X;
  X->FreeNotification(Y);
  delete Y;
  EXPECT_EQ(X->Watched, nullptr);
  // The link is gone on both sides: freeing X tells nobody.
  delete X;
  Log = nullptr;
  EXPECT_EQ(Events, (std::vector<std::string>{"free y", "x saw removal", "free x"}));
}

TEST(Components, PartnerMayFreeItselfWhileBeingNotified) {
  std::vector<std::string> Events;
  Log = &Events;
  auto* Subject = new TProbe(nullptr, "subject");
  auto* P1 = new TProbe(nullptr, "p1");
  auto* P2 = new TProbe(nullptr, "p2");
  for (TProbe* P : {P1, P2}) {
    P->Watched = Subject;
    P->DeleteSelfOnNotice = true;
    P->FreeNotification(Subject);
  }
  delete Subject;  // both partners delete themselves inside the notice
  Log = nullptr;
  EXPECT_EQ(Events.size(), 5u);
  EXPECT_EQ(Events.front(), "free subject");
}

TEST(Components, EarlyDestroyingLetsPartnersSeeTheFullType) {
  auto* Subject = new TProbe(nullptr, "subject");
  Subject->NotifyEarly = true;
  struct TTypeWatcher : TComponent {
    bool SawProbe = false;
    void Notification(TComponent* C, TOperation Op) override {
      TComponent::Notification(C, Op);
      if (Op == opRemove) SawProbe = dynamic_cast<TProbe*>(C) != nullptr;
    }
  } Watcher;
  Watcher.FreeNotification(Subject);
  delete Subject;
  EXPECT_TRUE(Watcher.SawProbe);
}

TEST(Components, RemoveFreeNotificationStopsNotices) {
  auto* X = new TProbe(nullptr, "x");
  auto* Y = new TProbe(nullptr, "y");
  X->Watched = Y;
  X->FreeNotification(Y);
  X->RemoveFreeNotification(Y);
  delete Y;
  EXPECT_NE(X->Watched, nullptr);
  delete X;
}

TEST(Components, StatesAndLoading) {
  TComponent Owner;
  auto* Child = new TProbe(&Owner);
  Owner.SetDesigning(true);
  EXPECT_TRUE(Child->IsDesigning());
  Child->BeginLoading();
  EXPECT_TRUE(Child->IsLoading());
  Child->Loaded();
  EXPECT_FALSE(Child->IsLoading());
}

// A hub many components watch (an engine and its fact sets and rules): partners unlinked in
// any order and the rest told once when the hub goes, whatever the length of the list.
TEST(Components, LongPartnerListsUnlinkInAnyOrderAndTellEachOnce) {
  std::vector<std::string> Events;
  Log = &Events;
  auto* Hub = new TProbe(nullptr, "hub");
  std::vector<TProbe*> Partners;
  for (int I = 0; I < 100; ++I) {
    auto* P = new TProbe(nullptr, "p" + std::to_string(I));
    P->Watched = Hub;
    P->FreeNotification(Hub);
    P->FreeNotification(Hub);  // twice: still one link
    Partners.push_back(P);
  }
  // Every third one goes first, from the middle of the list; every third but one unlinks.
  for (int I = 0; I < 100; I += 3) {
    delete Partners[static_cast<size_t>(I)];
    Partners[static_cast<size_t>(I)] = nullptr;
  }
  for (int I = 1; I < 100; I += 3) Partners[static_cast<size_t>(I)]->RemoveFreeNotification(Hub);
  Events.clear();
  delete Hub;
  int Told = 0;
  for (const std::string& E : Events) Told += E.find("saw removal") != std::string::npos;
  EXPECT_EQ(Told, 33);  // 2, 5, 8, ... 98
  for (int I = 2; I < 100; I += 3) EXPECT_EQ(Partners[static_cast<size_t>(I)]->Watched, nullptr) << I;
  for (int I = 1; I < 100; I += 3) EXPECT_NE(Partners[static_cast<size_t>(I)]->Watched, nullptr) << I;
  Log = nullptr;
  for (TProbe* P : Partners) delete P;
}

// Freeing many owned components at once: newest first, the owner hears of each, the others
// keep their order; while removals are quiet the owned components do not hear of them.
TEST(Components, ManyOwnedComponentsGoInOnePassAndQuietly) {
  std::vector<std::string> Events;
  Log = &Events;
  TProbe Owner(nullptr, "owner");
  auto* Sibling = new TProbe(&Owner, "sibling");
  std::vector<TProbe*> Made;
  for (int I = 0; I < 6; ++I) Made.push_back(new TProbe(&Owner, "c" + std::to_string(I)));
  Sibling->Watched = Made[1];  // without free-notification: only the owner's broadcast tells it
  {
    TComponent::TQuietRemovals Quiet(Owner);
    Owner.DestroyComponentsWhere([&](TComponent* C) { return C == Made[1] || C == Made[4]; });
  }
  EXPECT_EQ(Events, (std::vector<std::string>{"free c4", "free c1"}));
  EXPECT_NE(Sibling->Watched, nullptr);  // quiet: not passed on
  ASSERT_EQ(Owner.GetComponentCount(), 5);
  EXPECT_EQ(Owner.GetComponent(1), Made[0]);
  EXPECT_EQ(Owner.GetComponent(4), Made[5]);
  Events.clear();
  Sibling->Watched = Made[2];
  delete Made[2];  // not quiet: the owner passes the removal on
  EXPECT_EQ(Sibling->Watched, nullptr);
  EXPECT_EQ(Events, (std::vector<std::string>{"free c2", "sibling saw removal"}));
  Log = nullptr;
}
