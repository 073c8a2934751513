#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Collection.h"
#include "platform/Exceptions.h"

using namespace platform;

namespace {

class TNumberItem : public TCollectionItem {
  PLATFORM_CLASS(TNumberItem, TCollectionItem)
 public:
  using TCloneable::Assign;
  int GetValue() const noexcept { return Value_; }
  void SetValue(int V) {
    Value_ = V;
    Changed(false);
  }
  // Negative values refuse to be copied, so that a failing assignment can be provoked.
  void Assign(const TPersistent& Source) override {
    if (const auto* S = dynamic_cast<const TNumberItem*>(&Source)) {
      if (S->Value_ < 0) throw EConvertError("negative");
      SetValue(S->Value_);
      return;
    }
    TCollectionItem::Assign(Source);
  }

 private:
  int Value_ = 0;
};

class TOtherItem : public TCollectionItem {
  PLATFORM_CLASS(TOtherItem, TCollectionItem)
};

// Records what the collection reports, in order.
class TNumbers : public TCollection {
 public:
  TNumbers() : TCollection(TNumberItem::StaticClass()) {}
  TNumberItem* Item(int I) const { return static_cast<TNumberItem*>(GetItem(I)); }
  TNumberItem* AddValue(int V) {
    auto* It = static_cast<TNumberItem*>(Add());
    It->SetValue(V);
    return It;
  }
  std::vector<int> Values() const {
    std::vector<int> R;
    for (int I = 0; I < GetCount(); ++I) {
      EXPECT_EQ(Item(I)->GetIndex(), I);
      R.push_back(Item(I)->GetValue());
    }
    return R;
  }

  std::vector<std::string> Log;

 protected:
  void Update(TCollectionItem* It) override {
    Log.push_back(It ? "update " + std::to_string(static_cast<TNumberItem*>(It)->GetValue()) : "update all");
    TCollection::Update(It);
  }
  void Notify(TCollectionItem& It, TCollectionNotification Action) override {
    Log.push_back(EnumName(Action) + " " + std::to_string(static_cast<TNumberItem&>(It).GetValue()));
  }
};

}  // namespace

TEST(Collection, ListOperationsKeepIndexesAndIds) {
  TNumbers C;
  C.AddValue(1);
  C.AddValue(3);
  static_cast<TNumberItem*>(C.Insert(1))->SetValue(2);
  EXPECT_EQ(C.Values(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(C.FindItemID(2), C.Item(1));
  C.Delete(0);
  EXPECT_EQ(C.AddValue(4)->GetID(), 3);  // IDs are never reused
  EXPECT_EQ(C.FindItemID(0), nullptr);
  C.Item(0)->SetIndex(9);  // clamped to the last position
  EXPECT_EQ(C.Values(), (std::vector<int>{3, 4, 2}));
  EXPECT_THROW(C.GetItem(3), EListError);
  EXPECT_THROW(C.Insert(5), EListError);
  EXPECT_THROW(C.Delete(-1), EListError);
  EXPECT_THROW(TCollection(TObject::StaticClass()), EConvertError);
}

TEST(Collection, ReportsChangesOncePerClosedBracket) {
  TNumbers C;
  C.AddValue(0);
  int Seen = 0;
  C.OnChange = [&](TCollection* Sender, TCollectionItem*) {
    EXPECT_EQ(Sender, &C);
    ++Seen;
  };
  C.Log.clear();
  C.AddValue(7);
  EXPECT_EQ(C.Log, (std::vector<std::string>{"cnAdded 0", "update all", "update 7"}));
  EXPECT_EQ(Seen, 2);

  C.Log.clear();
  C.BeginUpdate();
  C.BeginUpdate();
  C.AddValue(8);
  C.Item(0)->SetValue(5);
  C.Delete(0);
  C.EndUpdate();
  C.EndUpdate();
  C.EndUpdate();  // unbalanced: ignored
  EXPECT_EQ(C.Log, (std::vector<std::string>{"cnAdded 0", "cnDeleting 5", "update all"}));
  EXPECT_EQ(C.GetUpdateCount(), 0);
}

TEST(Collection, ItemsLiveWhileReferencedAndMoveBetweenCollections) {
  TNumbers A, B;
  A.AddValue(1);
  Ref<TNumberItem> Held(A.AddValue(2));
  A.Delete(1);
  EXPECT_EQ(Held->RefCount(), 1);  // freed with the last reference, not by the collection
  EXPECT_EQ(Held->GetCollection(), nullptr);
  EXPECT_EQ(Held->GetIndex(), -1);
  Held->SetValue(9);  // a free item reports nowhere

  Held->SetCollection(&B);
  A.Item(0)->SetCollection(&B);
  EXPECT_EQ(B.Values(), (std::vector<int>{9, 1}));
  EXPECT_EQ(A.GetCount(), 0);
  EXPECT_EQ(B.Item(1)->RefCount(), 1);

  TCollection Others(TOtherItem::StaticClass());
  TCollectionItem* Other = Others.Add();
  EXPECT_THROW(Other->SetCollection(&A), EConvertError);
  EXPECT_EQ(Other->GetCollection(), &Others);
  {
    TNumbers Temp;
    Held->SetCollection(&Temp);
  }
  EXPECT_EQ(Held->GetCollection(), nullptr);  // a destroyed collection lets go of its items
  EXPECT_EQ(Held->RefCount(), 1);
}

TEST(Collection, AssignCopiesItemsOrLeavesTargetUnchanged) {
  TNumbers Source, Target;
  for (int V : {1, 2, 3}) Source.AddValue(V);
  Target.AddValue(42);
  Target.Assign(Source);
  EXPECT_EQ(Target.Values(), (std::vector<int>{1, 2, 3}));
  EXPECT_NE(Target.GetItem(0), Source.GetItem(0));

  Source.Item(1)->SetValue(-1);
  TCollectionItem* First = Target.GetItem(0);
  EXPECT_THROW(Target.Assign(Source), EConvertError);
  EXPECT_EQ(Target.Values(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Target.GetItem(0), First);
  EXPECT_EQ(Target.GetUpdateCount(), 0);

  Target.SetItem(0, *Source.Item(2));
  EXPECT_EQ(Target.Item(0)->GetValue(), 3);
  ICloneable Copy = Target.Item(0)->Clone();
  auto* Item = dynamic_cast<TNumberItem*>(Copy.get());
  ASSERT_NE(Item, nullptr);
  EXPECT_EQ(Item->GetValue(), 3);
  EXPECT_EQ(Item->GetCollection(), nullptr);
}
