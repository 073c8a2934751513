#include <gtest/gtest.h>

#include <string>
#include <utility>
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
class TRecordingCollection : public TCollection {
 public:
  TRecordingCollection() : TCollection(TNumberItem::StaticClass()) {}
  TNumberItem* Item(int I) const { return static_cast<TNumberItem*>(GetItem(I)); }
  TNumberItem* AddValue(int V) {
    auto* It = static_cast<TNumberItem*>(Add());
    It->SetValue(V);
    return It;
  }
  std::vector<int> Values() const {
    std::vector<int> R;
    for (int I = 0; I < GetCount(); ++I) R.push_back(Item(I)->GetValue());
    return R;
  }
  using TCollection::MoveItem;

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

std::vector<int> Indexes(const TCollection& C) {
  std::vector<int> R;
  for (int I = 0; I < C.GetCount(); ++I) R.push_back(C.GetItem(I)->GetIndex());
  return R;
}

}  // namespace

TEST(Collection, AddInsertDeleteKeepIndexesAndIds) {
  TRecordingCollection C;
  C.AddValue(1);
  C.AddValue(3);
  auto* Mid = static_cast<TNumberItem*>(C.Insert(1));
  Mid->SetValue(2);
  EXPECT_EQ(C.Values(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Indexes(C), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Mid->GetCollection(), &C);
  EXPECT_EQ(C.Item(0)->GetID(), 0);
  EXPECT_EQ(Mid->GetID(), 2);
  EXPECT_EQ(C.FindItemID(2), Mid);

  C.Delete(0);
  EXPECT_EQ(C.Values(), (std::vector<int>{2, 3}));
  EXPECT_EQ(Indexes(C), (std::vector<int>{0, 1}));
  EXPECT_EQ(C.FindItemID(0), nullptr);
  // IDs are never reused.
  EXPECT_EQ(C.AddValue(4)->GetID(), 3);

  EXPECT_THROW(C.GetItem(3), EListError);
  EXPECT_THROW(C.GetItem(-1), EListError);
  EXPECT_THROW(C.Insert(5), EListError);
  EXPECT_THROW(C.Delete(7), EListError);
  EXPECT_EQ(C.GetCount(), 3);

  C.Clear();
  EXPECT_TRUE(C.Empty());
}

TEST(Collection, ReportsChangesOncePerClosedBracket) {
  TRecordingCollection C;
  int Seen = 0;
  TCollectionItem* LastItem = &*C.Add();  // any non-null value
  C.OnChange = [&](TCollection* Sender, TCollectionItem* It) {
    EXPECT_EQ(Sender, &C);
    LastItem = It;
    ++Seen;
  };
  C.Log.clear();

  C.AddValue(7);
  EXPECT_EQ(C.Log, (std::vector<std::string>{"cnAdded 0", "update all", "update 7"}));
  EXPECT_EQ(Seen, 2);
  EXPECT_EQ(LastItem, C.GetItem(1));

  C.Log.clear();
  C.BeginUpdate();
  C.BeginUpdate();
  C.AddValue(8);
  C.Item(0)->SetValue(5);
  C.Delete(0);
  C.EndUpdate();
  EXPECT_EQ(C.Log, (std::vector<std::string>{"cnAdded 0", "cnDeleting 5"}));
  C.EndUpdate();
  EXPECT_EQ(C.Log.back(), "update all");
  EXPECT_EQ(C.Log.size(), 3u);
  EXPECT_EQ(C.GetUpdateCount(), 0);
  // An unbalanced EndUpdate does nothing.
  C.EndUpdate();
  EXPECT_EQ(C.GetUpdateCount(), 0);
  EXPECT_EQ(C.Log.size(), 3u);

  // Clear reports one whole-list change after every deletion.
  C.Log.clear();
  C.Clear();
  EXPECT_EQ(C.Log, (std::vector<std::string>{"cnDeleting 8", "cnDeleting 7", "update all"}));
}

TEST(Collection, ItemsMoveWithinAndBetweenCollections) {
  TRecordingCollection A, B;
  for (int V : {1, 2, 3, 4}) A.AddValue(V);
  A.Item(0)->SetIndex(2);
  EXPECT_EQ(A.Values(), (std::vector<int>{2, 3, 1, 4}));
  A.Item(3)->SetIndex(-5);  // clamped
  EXPECT_EQ(A.Values(), (std::vector<int>{4, 2, 3, 1}));
  A.MoveItem(0, 3);
  EXPECT_EQ(A.Values(), (std::vector<int>{2, 3, 1, 4}));
  EXPECT_EQ(Indexes(A), (std::vector<int>{0, 1, 2, 3}));

  TNumberItem* Moving = A.Item(1);
  Moving->SetCollection(&B);
  EXPECT_EQ(A.Values(), (std::vector<int>{2, 1, 4}));
  EXPECT_EQ(B.Values(), (std::vector<int>{3}));
  EXPECT_EQ(Moving->GetCollection(), &B);
  EXPECT_EQ(Moving->GetIndex(), 0);
  EXPECT_EQ(Moving->GetID(), 0);  // a new ID from its new collection
  EXPECT_EQ(Moving->RefCount(), 1);  // only B holds it

  // An item of another class is refused and stays where it was.
  TCollection Others(TOtherItem::StaticClass());
  TCollectionItem* Other = Others.Add();
  EXPECT_THROW(Other->SetCollection(&A), EConvertError);
  EXPECT_EQ(Other->GetCollection(), &Others);
  EXPECT_THROW(TCollection Bad(TObject::StaticClass()), EConvertError);
}

TEST(Collection, RemovedItemLivesWhileReferenced) {
  TRecordingCollection C;
  C.AddValue(1);
  Ref<TNumberItem> Held(C.AddValue(2));
  EXPECT_EQ(Held->RefCount(), 2);
  C.Delete(1);
  EXPECT_EQ(Held->RefCount(), 1);
  EXPECT_EQ(Held->GetCollection(), nullptr);
  EXPECT_EQ(Held->GetIndex(), -1);
  EXPECT_EQ(Held->GetValue(), 2);
  Held->SetValue(9);  // changes of a free item report nowhere
  Held->SetIndex(3);
  EXPECT_EQ(Held->GetIndex(), -1);

  // It can join again; the collection then holds it too.
  Held->SetCollection(&C);
  EXPECT_EQ(C.Values(), (std::vector<int>{1, 9}));
  EXPECT_EQ(Held->RefCount(), 2);

  // Destroying the collection leaves the held item free and intact.
  {
    TRecordingCollection Temp;
    Held->SetCollection(&Temp);
  }
  EXPECT_EQ(Held->GetCollection(), nullptr);
  EXPECT_EQ(Held->RefCount(), 1);
}

TEST(Collection, AssignCopiesItemsOrLeavesTargetUnchanged) {
  TRecordingCollection Source, Target;
  for (int V : {1, 2, 3}) Source.AddValue(V);
  Target.AddValue(42);
  TNumberItem* Original = Target.Item(0);
  Ref<TNumberItem> Keep(Original);

  Target.Assign(Source);
  EXPECT_EQ(Target.Values(), (std::vector<int>{1, 2, 3}));
  EXPECT_NE(Target.GetItem(0), Source.GetItem(0));  // copies, not shared items
  EXPECT_EQ(Original->GetCollection(), nullptr);
  EXPECT_EQ(Target.Log.back(), "update all");

  // A failing item assignment leaves the target as it was.
  Source.Item(1)->SetValue(-1);
  std::vector<TCollectionItem*> Before;
  for (int I = 0; I < Target.GetCount(); ++I) Before.push_back(Target.GetItem(I));
  EXPECT_THROW(Target.Assign(Source), EConvertError);
  EXPECT_EQ(Target.Values(), (std::vector<int>{1, 2, 3}));
  for (int I = 0; I < Target.GetCount(); ++I) {
    EXPECT_EQ(Target.GetItem(I), Before[static_cast<size_t>(I)]);
    EXPECT_EQ(Target.GetItem(I)->GetIndex(), I);
  }
  EXPECT_EQ(Target.GetUpdateCount(), 0);

  // Items[I] := X assigns; assigning from a foreign object is the standard error.
  Target.SetItem(0, *Source.Item(2));
  EXPECT_EQ(Target.Item(0)->GetValue(), 3);
  TCollection Others(TOtherItem::StaticClass());
  EXPECT_THROW(Target.Assign(*Others.Add()), EConvertError);
}

TEST(Collection, CloneOfAnItemIsAFreeCopyOfTheSameClass) {
  TRecordingCollection C;
  C.AddValue(5);
  ICloneable Copy = C.Item(0)->Clone();
  auto* Item = dynamic_cast<TNumberItem*>(Copy.get());
  ASSERT_NE(Item, nullptr);
  EXPECT_EQ(Item->GetValue(), 5);
  EXPECT_EQ(Item->GetCollection(), nullptr);
  EXPECT_EQ(Item->GetDisplayName(), "TNumberItem");
}
