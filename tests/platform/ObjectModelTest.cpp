// What reflecting callers get from the object model: property kinds for every published type,
// names in order, enumerations and sets as text, actions, the parent structure of controls, and
// watches that tell a holder when an object it names is destroyed.
#include <gtest/gtest.h>

#include <any>
#include <array>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/Action.h"
#include "platform/Control.h"
#include "platform/ObjectWatch.h"
#include "platform/Properties.h"
#include "platform/Ref.h"

using namespace platform;

namespace {

PLATFORM_ENUM(TShade, shLight, shDark, shNone)
using TShades = TSet<TShade, 3>;

struct TSize {
  int W = 0;
  int H = 0;
};

class TThing : public TPersistent {
  PLATFORM_CLASS(TThing, TPersistent)
 public:
  static void DeclareProperties(TPropertyList<TThing>& P) {
    P.AddField("small", &TThing::Small);
    P.AddField("Big", &TThing::Big);
    P.AddField("Letter", &TThing::Letter);
    P.AddField("Shade", &TThing::Shade);
    P.AddField("Shades", &TThing::Shades);
    P.AddField("Other", &TThing::Other);
    P.AddField("OnPoke", &TThing::OnPoke);
    P.AddField("Size", &TThing::Size);
    P.AddField("List", &TThing::List);
    P.AddField("Pair", &TThing::Pair);
    P.AddField("Either", &TThing::Either);
    P.AddField("Any", &TThing::Any);
    P.AddField("Shared", &TThing::Shared);
  }
  int16_t Small = 0;
  int64_t Big = 0;
  char Letter = 'x';
  TShade Shade = shLight;
  TShades Shades;
  TThing* Other = nullptr;
  std::function<void(TObject*)> OnPoke;
  TSize Size;
  std::vector<int> List;
  std::array<double, 2> Pair{};
  std::variant<int, std::string> Either;
  std::any Any;
  Ref<TObject> Shared;
};

TEST(ObjectModel, EveryPublishedTypeHasAKind) {
  auto KindOf = [](const char* Name) { return GetPropInfo(TThing::StaticClass(), Name)->Kind; };
  EXPECT_EQ(KindOf("Small"), pkInteger);
  EXPECT_EQ(KindOf("Big"), pkInt64);
  EXPECT_EQ(KindOf("Letter"), pkChar);
  EXPECT_EQ(KindOf("Shade"), pkEnumeration);
  EXPECT_EQ(KindOf("Shades"), pkSet);
  EXPECT_EQ(KindOf("Other"), pkObject);
  EXPECT_EQ(GetPropInfo(TThing::StaticClass(), "Other")->ObjectClass, &TThing::StaticClass());
  EXPECT_EQ(KindOf("OnPoke"), pkEvent);
  EXPECT_EQ(KindOf("Size"), pkRecord);
  EXPECT_EQ(KindOf("List"), pkDynArray);
  EXPECT_EQ(KindOf("Pair"), pkArray);
  EXPECT_EQ(KindOf("Either"), pkVariant);
  EXPECT_EQ(KindOf("Any"), pkVariant);
  EXPECT_EQ(KindOf("Shared"), pkInterface);

  // Values in transit: a character as one-character text, a large integer whole, the opaque
  // kinds as std::any holding the value itself.
  TThing Thing;
  Thing.Big = -9000000000;
  Thing.Size = {3, 4};
  SetPropValue(Thing, "Letter", std::string("qrs"));
  EXPECT_EQ(Thing.Letter, 'q');
  EXPECT_EQ(std::get<std::string>(GetPropValue(Thing, "Letter")), "q");
  SetPropValue(Thing, "Letter", std::string());
  EXPECT_EQ(Thing.Letter, '\0');
  EXPECT_EQ(std::get<int64_t>(GetPropValue(Thing, "Big")), -9000000000);
  EXPECT_EQ(std::any_cast<TSize>(std::get<std::any>(GetPropValue(Thing, "Size"))).H, 4);
  SetPropValue(Thing, "List", std::any(std::vector<int>{1, 2}));
  EXPECT_EQ(Thing.List.size(), 2u);
  EXPECT_THROW(SetPropValue(Thing, "List", std::any(3)), EPropertyError);  // the wrong type
  EXPECT_THROW(RaiseInvalidPropertyType(pkRecord), EPropertyError);
  try {
    RaiseInvalidPropertyType(pkDynArray);
  } catch (const EPropertyError& E) {
    EXPECT_STREQ(E.what(), "Invalid property type: pkDynArray");
  }
}

TEST(ObjectModel, NamesSortedWithoutEvents) {
  EXPECT_EQ(GetPropNames(TThing::StaticClass()),
            (std::vector<std::string>{"Any", "Big", "Either", "Letter", "List", "Other", "Pair", "Shade", "Shades",
                                      "Shared", "Size", "small"}));
  EXPECT_TRUE(GetPropNames(TObject::StaticClass()).empty());
}

TEST(ObjectModel, EnumerationsAndSetsAsText) {
  TThing Thing;
  const TPropInfo& Shade = *GetPropInfo(TThing::StaticClass(), "Shade");
  const TPropInfo& Shades = *GetPropInfo(TThing::StaticClass(), "Shades");
  SetEnumProp(Thing, Shade, "SHDARK");
  EXPECT_EQ(Thing.Shade, shDark);
  EXPECT_EQ(GetEnumProp(Thing, Shade), "shDark");
  EXPECT_THROW(SetEnumProp(Thing, Shade, "shPurple"), EPropertyConvertError);
  EXPECT_EQ(Thing.Shade, shDark);

  EXPECT_EQ(GetSetProp(Thing, Shades), "[]");
  SetSetProp(Thing, Shades, " [ shNone , shLight ] ");
  EXPECT_EQ(Thing.Shades, (TShades{shLight, shNone}));
  EXPECT_EQ(GetSetProp(Thing, Shades), "[shLight,shNone]");  // ordinal order
  SetSetProp(Thing, Shades, "shDark");
  EXPECT_EQ(GetSetProp(Thing, Shades), "[shDark]");
  for (const char* Bad : {"[shDark", "[shDark,]", "[,shDark]", "shDark,,shNone", "[shPink]"}) {
    EXPECT_THROW(SetSetProp(Thing, Shades, Bad), EPropertyConvertError) << Bad;
    EXPECT_EQ(Thing.Shades, (TShades{shDark})) << Bad;
  }
  // The text functions refuse a property of another kind.
  EXPECT_THROW(GetEnumProp(Thing, Shades), EPropertyError);
  EXPECT_THROW(SetSetProp(Thing, Shade, "[]"), EPropertyError);
}

class TBox : public TWinControl {
  PLATFORM_CLASS(TBox, TWinControl)
 public:
  using TWinControl::TWinControl;
};

TEST(ObjectModel, ControlsKeepTheirParentStructureThroughDestruction) {
  TComponent Owner;
  auto* Outer = new TBox(&Owner);
  auto* Inner = new TBox(&Owner);
  auto* Leaf = new TControl(&Owner);
  Inner->SetParent(Outer);
  Leaf->SetParent(Inner);
  EXPECT_TRUE(Outer->ContainsControl(Leaf));
  EXPECT_FALSE(Inner->ContainsControl(Outer));
  EXPECT_EQ(Outer->GetControl(0), Inner);
  EXPECT_THROW(Outer->GetControl(1), EListError);
  // No cycles: the structure is left as it was.
  EXPECT_THROW(Outer->SetParent(Inner), EComponentError);
  EXPECT_THROW(Inner->SetParent(Inner), EComponentError);
  EXPECT_EQ(Outer->GetParent(), nullptr);
  EXPECT_EQ(Inner->GetParent(), Outer);

  SetPropValue(*Leaf, "Parent", static_cast<TObject*>(Outer));
  EXPECT_EQ(Outer->GetControlCount(), 2);
  EXPECT_EQ(Inner->GetControlCount(), 0);
  delete Leaf;  // leaves its parent
  EXPECT_EQ(Outer->GetControlCount(), 1);
  delete Outer;  // its children stay, without a parent
  EXPECT_EQ(Inner->GetParent(), nullptr);
  EXPECT_EQ(Owner.GetComponentCount(), 1);
}

TEST(ObjectModel, ActionsRunTheirHandler) {
  TBasicAction Action;
  EXPECT_FALSE(Action.Execute());
  int Runs = 0;
  SetPropValue(Action, "OnExecute", std::any(TBasicAction::TNotifyEvent([&](TObject* Sender) {
                 EXPECT_EQ(Sender, &Action);
                 ++Runs;
               })));
  EXPECT_TRUE(Action.Execute());
  EXPECT_EQ(Runs, 1);
  EXPECT_NE(FindClass("TBasicAction"), nullptr);
  EXPECT_NE(FindClass("twincontrol"), nullptr);
}

TEST(ObjectWatch, WatchersHearOfTheDestructionOnce) {
  struct TWatcher {
    int Heard = 0;
    const TObject* Last = nullptr;
    static void Gone(void* Self, const TObject& Object) noexcept {
      auto* W = static_cast<TWatcher*>(Self);
      ++W->Heard;
      W->Last = &Object;
    }
  };
  TWatcher A, B, C;
  auto* Object = new TThing;
  const TObject* Address = Object;
  WatchObject(*Object, &A, &TWatcher::Gone);
  WatchObject(*Object, &A, &TWatcher::Gone);  // twice: still one watch
  WatchObject(*Object, &B, &TWatcher::Gone);
  WatchObject(*Object, &C, &TWatcher::Gone);
  EXPECT_EQ(WatchCount(*Object), 3);
  UnwatchObject(*Object, &C);
  EXPECT_EQ(WatchCount(*Object), 2);
  delete Object;
  EXPECT_EQ(A.Heard, 1);
  EXPECT_EQ(B.Heard, 1);
  EXPECT_EQ(C.Heard, 0);
  EXPECT_EQ(A.Last, Address);

  // The watches went with the object: a new object, perhaps at the same address, is unwatched.
  auto* Next = new TThing;
  EXPECT_EQ(WatchCount(*Next), 0);
  delete Next;
  EXPECT_EQ(A.Heard, 1);
}

}  // namespace
