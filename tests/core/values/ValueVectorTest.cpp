#include <gtest/gtest.h>

#include "core/values/IEValue.h"
#include "core/values/ValueHashTable.h"
#include "core/values/ValueVector.h"
#include "platform/Exceptions.h"

using namespace rulecore;
using platform::MakeRef;

namespace {

IValueVector ListOf(std::initializer_list<IIEValue> Items) {
  IValueVector L = NewList();
  for (const IIEValue& V : Items) L->Add(V);
  return L;
}

class TFakeParser final : public ISingletonsParser {
 public:
  ISingletonsVector ParseSingletons(const std::string&) override { return MakeRef<TSingletonsVector>(this); }
  std::string PrettyPrint(const TSingletonsVector& V) override { return "parsed:" + std::to_string(V.GetCount()); }
};

}  // namespace

TEST(ValueVector, EqualityHashAndText) {
  EXPECT_TRUE(NewList()->Equals(*NewList()));
  EXPECT_EQ(NewList()->GetHashCode(), 0u);
  EXPECT_EQ(NewList()->GetToString(), "");

  IValueVector L = ListOf({NewAtom("a"), NewInteger(1), NewString("b")});
  EXPECT_EQ(L->GetToString(), "a 1 \"b\" ");
  EXPECT_TRUE(L->Equals(*L->Clone()));
  EXPECT_EQ(L->GetHashCode(), NewAtom("a")->GetHashCode() + 1u + NewString("b")->GetHashCode());

  EXPECT_FALSE(ListOf({NewInteger(1)})->Equals(*ListOf({NewFloat(1.0)})));
  EXPECT_TRUE(ListOf({IIEValue(), NewInteger(2)})->Equals(*ListOf({IIEValue(), NewInteger(2)})));
  EXPECT_FALSE(ListOf({IIEValue()})->Equals(*ListOf({NewInteger(2)})));
  EXPECT_FALSE(ListOf({NewInteger(2)})->Equals(*ListOf({IIEValue()})));
  EXPECT_FALSE(ListOf({NewInteger(2)})->Equals(*ListOf({NewInteger(2), NewInteger(3)})));

  // As values: strict equality goes through the list.
  EXPECT_TRUE(MakeRef<TIEValue>(ListOf({NewAtom("x")}))->Equals(MakeRef<TIEValue>(ListOf({NewAtom("x")}))));

  platform::TInterfaceList<platform::TObject> Plain;
  Plain.Add(NewAtom("a"));
  EXPECT_TRUE(ListOf({NewAtom("a")})->Equals(Plain));
  Plain.Add(platform::Ref<platform::TObject>(new TSingletonsVector));
  EXPECT_FALSE(ListOf({NewAtom("a"), NewAtom("b")})->Equals(Plain));
}

TEST(ValueVector, ElementAccessAndIndexErrors) {
  IIEValue A = NewAtom("a"), B = NewAtom("b"), C = NewAtom("c");
  IValueVector L = ListOf({A, B});
  L->Insert(2, C);  // at the end is allowed
  L->Insert(0, C);
  EXPECT_EQ(L->GetToString(), "c a b c ");
  EXPECT_EQ(L->IndexOf(C), 0);
  EXPECT_EQ(L->IndexOf(NewAtom("c")), -1);  // identity, not equality
  EXPECT_EQ(L->Remove(C.get()), 0);
  EXPECT_EQ(L->First().get(), A.get());
  EXPECT_EQ(L->Last().get(), C.get());
  L->Put(1, NewInteger(9));
  L->Delete(0);
  EXPECT_EQ(L->GetToString(), "9 c ");
  EXPECT_THROW(L->Get(2), platform::EListError);
  EXPECT_THROW(L->Get(-1), platform::EListError);
  EXPECT_THROW(L->Insert(5, A), platform::EListError);
  EXPECT_THROW(L->Delete(7), platform::EListError);
  EXPECT_THROW(NewList()->First(), platform::EListError);
  EXPECT_THROW(NewList()->Last(), platform::EListError);
  L->Append(*L);
  EXPECT_EQ(L->GetValueCount(), 4);
  L->Clear();
  EXPECT_TRUE(L->Empty());
}

TEST(ValueVector, CloneOfListOfListsSharesInnerLists) {
  IValueVector Inner = ListOf({NewAtom("x")});
  IValueVector Outer = ListOf({MakeRef<TIEValue>(Inner), NewAtom("y")});
  Outer->SetTag(4);
  IValueVector Copy = Outer->Clone();
  EXPECT_NE(Copy->Get(0).get(), Outer->Get(0).get());
  EXPECT_EQ(Copy->Get(0)->GetAsList().get(), Inner.get());
  EXPECT_EQ(Copy->GetTag(), 4);
  EXPECT_THROW(Copy->Assign(static_cast<const platform::TPersistent&>(*Outer)), platform::EConvertError);
  IValueVector Appended = NewList();
  Appended->Append(*Outer);
  EXPECT_EQ(Appended->Get(1).get(), Outer->Get(1).get());  // references, not copies
}

TEST(SingletonsVector, PairsStayAlignedAndPrint) {
  auto S = MakeRef<TSingletonsVector>();
  S->Add(NewInteger(1), NewFloat(0.5));
  S->Add(NewInteger(2), NewInteger(1));
  EXPECT_EQ(S->GetToString(), "(1 0.5000) (2 1) ");
  S->Insert(0, NewInteger(0), NewInteger(0));
  S->Delete(0);
  EXPECT_EQ(S->GetCount(), 2);
  EXPECT_EQ(S->GetXValues(0)->GetAsInteger(), 1);
  EXPECT_EQ(S->GetYValues(0)->GetAsFloat(), 0.5);
  EXPECT_THROW(S->Insert(9, NewInteger(0), NewInteger(0)), platform::EListError);
  EXPECT_EQ(S->GetCount(), 2);  // a failed insert changed neither list
  EXPECT_EQ(S->IndexOfY(S->GetYValues(1).get()), 1);
  EXPECT_EQ(MakeRef<TSingletonsVector>()->GetToString(), "");

  auto Copy = S->Clone();
  EXPECT_TRUE(S->Equals(*Copy));
  EXPECT_EQ(S->GetHashCode(), Copy->GetHashCode());
  EXPECT_NE(Copy->GetXValues(0).get(), S->GetXValues(0).get());
  Copy->SetYValues(1, NewInteger(0));
  EXPECT_FALSE(S->Equals(*Copy));
  EXPECT_FALSE(S->Equals(static_cast<const platform::TCloneable*>(NewList().get())));

  TFakeParser Parser;
  S->SetParser(&Parser);
  EXPECT_EQ(S->GetToString(), "parsed:2");
  EXPECT_EQ(S->Clone()->GetParser(), &Parser);
  auto Joined = MakeRef<TSingletonsVector>();
  Joined->Append(*S);
  Joined->Append(*S);
  EXPECT_EQ(Joined->GetCount(), 4);
}

TEST(ValueHashTable, TextFormAndAssignClonesValues) {
  TValueHashTable T;
  T.Put("x", NewInteger(1));
  T.Put("name", NewString("Bob"));
  EXPECT_EQ(T.ToString(), "x = 1\r\nname = \"Bob\"\r\n");
  EXPECT_EQ(T.Items("x")->GetAsInteger(), 1);
  EXPECT_FALSE(T.Items("nope"));

  TValueHashTable Copy;
  Copy.SetCapacity(7);
  int Changes = 0;
  Copy.OnChange = [&] { ++Changes; };
  Copy.Put("stale", NewAtom("gone"));
  Changes = 0;
  Copy.Assign(T);
  EXPECT_EQ(Changes, 1);  // one batched change
  EXPECT_EQ(Copy.GetCapacity(), 101);
  EXPECT_EQ(Copy.ToString(), T.ToString());
  EXPECT_NE(Copy.Get("x").get(), T.Get("x").get());
  EXPECT_FALSE(Copy.ContainsKey("stale"));
}
