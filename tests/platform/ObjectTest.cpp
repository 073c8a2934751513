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
