#include <gtest/gtest.h>

#include "platform/Cloneable.h"
#include "platform/Component.h"
#include "platform/Exceptions.h"
#include "platform/Ref.h"

using namespace platform;

namespace {

int LiveCounted = 0;

class TCounted : public TPersistent {
  PLATFORM_CLASS(TCounted, TPersistent)
 public:
  TCounted() { ++LiveCounted; }
  ~TCounted() override { --LiveCounted; }
};

class TAbstractThing : public TObject {
  PLATFORM_CLASS(TAbstractThing, TObject)
 public:
  virtual int Kind() const = 0;
};

class TWidget : public TComponent {
  PLATFORM_CLASS(TWidget, TComponent)
 public:
  using TComponent::TComponent;
};

}  // namespace

TEST(ObjectModel, ClassInformationFollowsTheParentChain) {
  TWidget W;
  EXPECT_EQ(W.ClassName(), "TWidget");
  EXPECT_TRUE(W.InheritsFrom(TComponent::StaticClass()));
  EXPECT_TRUE(W.InheritsFrom(TPersistent::StaticClass()));
  EXPECT_TRUE(W.InheritsFrom(TObject::StaticClass()));
  EXPECT_FALSE(TComponent::StaticClass().InheritsFrom(TWidget::StaticClass()));
  EXPECT_EQ(TAbstractThing::StaticClass().Factory, nullptr);
  EXPECT_THROW(TAbstractThing::StaticClass().CreateInstance(), EClassNotFound);
}

TEST(ObjectModel, RegistryCreatesByNameWithOwner) {
  RegisterClass<TWidget>();
  RegisterClass<TCounted>();
  EXPECT_EQ(FindClass("twidget"), &TWidget::StaticClass());
  EXPECT_EQ(FindClass("TNoSuchClass"), nullptr);
  EXPECT_THROW(GetClass("TNoSuchClass"), EClassNotFound);

  TComponent Owner;
  TObject* Made = CreateObjectByName("TWidget", &Owner);
  ASSERT_NE(dynamic_cast<TWidget*>(Made), nullptr);
  EXPECT_EQ(static_cast<TWidget*>(Made)->GetOwner(), &Owner);
  EXPECT_EQ(Owner.GetComponentCount(), 1);

  TObject* Plain = CreateObjectByName("TCounted");
  EXPECT_EQ(LiveCounted, 1);
  delete Plain;
  EXPECT_EQ(LiveCounted, 0);
  UnRegisterClass(TCounted::StaticClass());
  EXPECT_EQ(FindClass("TCounted"), nullptr);
}

TEST(ObjectModel, DefaultAssignRaisesTheStandardAssignmentError) {
  TCounted A;
  TWidget B;
  try {
    A.Assign(B);
    FAIL() << "expected EConvertError";
  } catch (const EConvertError& E) {
    EXPECT_STREQ(E.what(), "Cannot assign a TWidget to a TCounted");
  }
}

TEST(RefCounting, LastReleaseFreesAndImmortalsAreNeverFreed) {
  {
    Ref<TCounted> A = MakeRef<TCounted>();
    Ref<TCounted> B = A;
    EXPECT_EQ(A->RefCount(), 2);
    Ref<TObject> Up = A;  // converting copy
    EXPECT_EQ(A->RefCount(), 3);
    B.Reset();
    Up = nullptr;
    EXPECT_EQ(LiveCounted, 1);
    Ref<TCounted> Moved = std::move(A);
    EXPECT_FALSE(A);
    EXPECT_EQ(Moved->RefCount(), 1);
  }
  EXPECT_EQ(LiveCounted, 0);

  auto* Forever = new TCounted;
  Forever->MakeImmortal();
  { Ref<TCounted> R(Forever); }
  EXPECT_EQ(LiveCounted, 1);  // releasing an immortal does nothing
  EXPECT_TRUE(Forever->IsImmortal());
  delete Forever;
}

TEST(RefCounting, CastsKeepCounts) {
  Ref<TObject> Base(new TCounted);
  Ref<TCounted> Down = RefCast<TCounted>(Base);
  ASSERT_TRUE(Down);
  EXPECT_EQ(Down->RefCount(), 2);
  EXPECT_FALSE(RefCast<TWidget>(Base));
  Base.Reset();
  Down.Reset();
  EXPECT_EQ(LiveCounted, 0);
}

#include "platform/Properties.h"

namespace {

PLATFORM_ENUM(TMood, mdCalm, mdAngry)
using TMoods = TSet<TMood, 2>;

class TAnimal : public TComponent {
  PLATFORM_CLASS(TAnimal, TComponent)
 public:
  using TComponent::TComponent;
  using TSpeakEvent = std::function<void(TObject* Sender, std::string& Text)>;

  static void DeclareProperties(TPropertyList<TAnimal>& P) {
    P.Add("Legs", &TAnimal::GetLegs, &TAnimal::SetLegs, 4);
    P.Add("Weight", &TAnimal::GetWeight, &TAnimal::SetWeight, 1.5);
    P.Add("Sound", &TAnimal::GetSound, &TAnimal::SetSound);
    P.Add("Tame", &TAnimal::GetTame, &TAnimal::SetTame, true);
    P.Add("Mood", &TAnimal::GetMood, &TAnimal::SetMood, mdCalm);
    P.Add("Moods", &TAnimal::GetMoods, &TAnimal::SetMoods);
    P.Add("Friend", &TAnimal::GetFriend, &TAnimal::SetFriend);
    P.Add("OnSpeak", &TAnimal::GetOnSpeak, &TAnimal::SetOnSpeak);
    P.Add("Id", &TAnimal::GetId, nullptr);
  }
  int GetLegs() const { return Legs; }
  void SetLegs(int V) { Legs = V; }
  double GetWeight() const { return Weight; }
  void SetWeight(double V) { Weight = V; }
  const std::string& GetSound() const { return Sound; }
  void SetSound(const std::string& V) { Sound = V; }
  bool GetTame() const { return Tame; }
  void SetTame(bool V) { Tame = V; }
  TMood GetMood() const { return Mood; }
  void SetMood(TMood V) { Mood = V; }
  TMoods GetMoods() const { return Moods; }
  void SetMoods(TMoods V) { Moods = V; }
  TAnimal* GetFriend() const { return Friend; }
  void SetFriend(TAnimal* V) { Friend = V; }
  const TSpeakEvent& GetOnSpeak() const { return OnSpeak; }
  void SetOnSpeak(TSpeakEvent V) { OnSpeak = std::move(V); }
  int GetId() const { return 99; }

  int Legs = 0;
  double Weight = 0;
  std::string Sound;
  bool Tame = false;
  TMood Mood = mdAngry;
  TMoods Moods;
  TAnimal* Friend = nullptr;
  TSpeakEvent OnSpeak;
};

class TDog : public TAnimal {
  PLATFORM_CLASS(TDog, TAnimal)
 public:
  using TAnimal::TAnimal;
  using TNotify = std::function<void(TObject*)>;
  static void DeclareProperties(TPropertyList<TDog>& P) {
    P.Add("Legs", &TDog::GetLegs, &TDog::SetLegs, 3);  // redeclared with another default
    P.Add("OnBark", &TDog::GetOnBark, &TDog::SetOnBark);
  }
  const TNotify& GetOnBark() const { return OnBark; }
  void SetOnBark(TNotify V) { OnBark = std::move(V); }
  TNotify OnBark;
};

}  // namespace

TEST(PublishedProperties, TablesKindsDefaultsAndAccess) {
  const auto& List = GetPropList(TDog::StaticClass());
  ASSERT_EQ(List.size(), 10u);
  EXPECT_EQ(List[0]->Name, "Legs");
  EXPECT_EQ(List.back()->Name, "OnBark");
  const TPropInfo* Mood = GetPropInfo(TAnimal::StaticClass(), "mood");
  ASSERT_NE(Mood, nullptr);
  EXPECT_EQ(Mood->Kind, pkEnumeration);
  EXPECT_EQ(Mood->EnumType->NameOf(1), "mdAngry");
  EXPECT_EQ(GetPropInfo(TAnimal::StaticClass(), "Moods")->Kind, pkSet);
  EXPECT_EQ(GetPropInfo(TAnimal::StaticClass(), "Friend")->Kind, pkObject);
  EXPECT_EQ(GetPropInfo(TAnimal::StaticClass(), "OnSpeak")->Kind, pkEvent);
  EXPECT_EQ(GetPropInfo(TComponent::StaticClass(), "Legs"), nullptr);

  TDog Dog;
  SetDefaults(Dog);
  EXPECT_EQ(Dog.Legs, 3);
  EXPECT_EQ(Dog.Weight, 1.5);
  EXPECT_TRUE(Dog.Tame);
  EXPECT_EQ(Dog.Mood, mdCalm);
  EXPECT_FALSE(GetPropInfo(TDog::StaticClass(), "Legs")->IsStored(Dog));
  SetPropValue(Dog, "Sound", std::string("woof"));
  SetPropValue(Dog, "Moods", int64_t{3});
  TAnimal Cat;
  SetPropValue(Dog, "Friend", static_cast<TObject*>(&Cat));
  EXPECT_EQ(Dog.Sound, "woof");
  EXPECT_EQ(Dog.Moods.Count(), 2u);
  EXPECT_EQ(Dog.Friend, &Cat);
  EXPECT_EQ(std::get<int64_t>(GetPropValue(Dog, "Id")), 99);
  EXPECT_THROW(SetPropValue(Dog, "Id", int64_t{1}), EPropertyError);
  EXPECT_THROW(SetPropValue(Dog, "Nope", int64_t{1}), EPropertyError);
  EXPECT_THROW(SetPropValue(Dog, "Legs", std::string("x")), EPropertyError);
}

TEST(PublishedProperties, SwapEventsExchangesSameNamedHandlers) {
  TDog A;
  TAnimal B;
  A.OnSpeak = [](TObject*, std::string& T) { T = "from A"; };
  B.OnSpeak = [](TObject*, std::string& T) { T = "from B"; };
  A.OnBark = [](TObject*) {};
  SwapEvents(A, B);
  std::string Text;
  A.OnSpeak(&A, Text);
  EXPECT_EQ(Text, "from B");
  B.OnSpeak(&B, Text);
  EXPECT_EQ(Text, "from A");
  EXPECT_TRUE(A.OnBark);  // B publishes no OnBark: left alone
}

namespace {
class THooked : public TObject {
 public:
  THooked() { EnableReleaseHook(); }
  mutable std::vector<int32_t> Seen;

 protected:
  void ReleaseHook(int32_t Left) const noexcept override { Seen.push_back(Left); }
};
}  // namespace

TEST(RefCounting, ReleaseHookSeesTheRemainingCount) {
  Ref<THooked> A = MakeRef<THooked>();
  {
    Ref<THooked> B = A;
    Ref<TObject> C(A.get());  // released through the base type: the hook still runs
  }
  EXPECT_EQ(A->Seen, (std::vector<int32_t>{2, 1}));
}

namespace {

class IShape {
 public:
  virtual int Corners() const = 0;

 protected:
  ~IShape() = default;
};
class TSquare final : public TObject, public IShape {
 public:
  int Corners() const override { return 4; }
};
class TTriangle final : public TPersistent, public IShape {
 public:
  int Corners() const override { return 3; }
};
class TPlain final : public TObject {};

}  // namespace

TEST(CachedCast, AnswersAsDynamicCastWhateverTheOrderOfTypes) {
  TSquare Square;
  TTriangle Triangle;
  TPlain Plain;
  // Alternating types and repeats: each answer must be the dynamic_cast's, including the
  // remembered "no" for a type without the interface.
  TObject* Order[] = {&Square, &Square, &Triangle, &Plain, &Plain, &Triangle, &Square, &Plain, &Triangle};
  for (TObject* O : Order) {
    IShape* Expected = dynamic_cast<IShape*>(O);
    EXPECT_EQ(CachedCast<IShape>(O), Expected);
    if (Expected) {
      EXPECT_EQ(CachedCast<IShape>(O)->Corners(), Expected->Corners());
    }
  }
  EXPECT_EQ(CachedCast<IShape>(nullptr), nullptr);
  EXPECT_EQ(CachedCast<TSquare>(&Square), &Square);
  EXPECT_EQ(CachedCast<TSquare>(&Triangle), nullptr);
}
