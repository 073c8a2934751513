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
