#include <gtest/gtest.h>

#include "tests/core/ErrorText.h"

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "core/values/IEBindingInfo.h"
#include "core/values/IEException.h"
#include "core/values/IEValue.h"
#include "core/values/ValueVector.h"
#include "platform/Component.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using platform::MakeRef;
using platform::TComponent;
using platform::TObject;

namespace {

// A call expression that adds its two integer arguments (stands in for the function layer).
class TAddCall final : public TFunCallBase {
 public:
  static constexpr TIEType ValueKind = dtFunCall;
  TAddCall(int A, int B) : A(A), B(B) {}
  void Execute(TObject* Context, IIEValue& Result) override {
    ++Calls;
    LastContext = Context;
    Result = NewInteger(A + B);
  }
  bool Equals(const TCloneable* Other) const override {
    auto* O = dynamic_cast<const TAddCall*>(Other);
    return O && O->A == A && O->B == B;
  }
  uint32_t GetHashCode() const override { return static_cast<uint32_t>(A * 31 + B); }
  std::string GetToString() const override { return "(+ " + std::to_string(A) + " " + std::to_string(B) + ")"; }
  int A, B, Calls = 0;
  TObject* LastContext = nullptr;

 protected:
  platform::ICloneable DoClone() const override { return platform::ICloneable(new TAddCall(A, B)); }
};

// An evaluation context with a fixed variable table.
class TTestContext final : public TObject, public IValueContext {
 public:
  std::map<std::string, IIEValue, std::less<>> Vars;
  IIEValue FindVariableValue(std::string_view Name) override {
    auto It = Vars.find(Name);
    return It == Vars.end() ? IIEValue() : It->second;
  }
  IIEValue ResolvePatternBinding(const TBindingInfo& B) override {
    return NewString("fact " + std::to_string(B.FactIndex) + " slot " + B.SlotIndex);
  }
  IIEValue ResolveSingletons(TSingletonsVector& S) override { return NewInteger(S.GetCount()); }
  // The bindings of this context are made on demand: only Resolve can give them.
  const TIEValue* PeekPatternBinding(const TBindingInfo&) override { return nullptr; }
};

int LiveOwned = 0;

class TOwnedThing : public platform::TPersistent {
  PLATFORM_CLASS(TOwnedThing, platform::TPersistent)
 public:
  TOwnedThing() { ++LiveOwned; }
  ~TOwnedThing() override { --LiveOwned; }
  void Assign(const platform::TPersistent& Source) override {
    Data = dynamic_cast<const TOwnedThing&>(Source).Data;
  }
  int Data = 0;
};

class TOwnedWidget : public TComponent {
  PLATFORM_CLASS(TOwnedWidget, TComponent)
 public:
  explicit TOwnedWidget(TComponent* Owner) : TComponent(Owner) { ++LiveOwned; }
  ~TOwnedWidget() override { --LiveOwned; }
  void Assign(const platform::TPersistent& Source) override {
    Data = dynamic_cast<const TOwnedWidget&>(Source).Data;
  }
  int Data = 0;
};

class TPlainObject : public TObject {};

}  // namespace

TEST(ValueBasics, NewValueIsEmpty) {
  IIEValue V = MakeRef<TIEValue>();
  EXPECT_EQ(V->GetDType(), dtNone);
  EXPECT_EQ(V->ToString(), "");
  EXPECT_EQ(V->GetHashCode(), 0u);
  EXPECT_TRUE(V->Equals(MakeRef<TIEValue>()));
  EXPECT_EQ(V->GetTag(), 0);
}

TEST(ValueBasics, ConstructorsCheckTheKindFamily) {
  EXPECT_EQ(ErrorOf([] { TIEValue("x", dtInteger); }), "Value and type mismatch");
  EXPECT_EQ(ErrorOf([] { TIEValue(3, dtAtom); }), "Value and type mismatch");
  EXPECT_EQ(TIEValue("x", dtMultiSlot).GetDType(), dtMultiSlot);
  EXPECT_EQ(TIEValue(7, dtDescriptor).GetAsDescriptor(), 7);
  EXPECT_EQ(TIEValue(nullptr, false).GetDType(), dtObject);
  EXPECT_EQ(TIEValue(&TOwnedThing::StaticClass()).ToString(), "TOwnedThing");
}

TEST(ValueText, CanonicalForms) {
  EXPECT_EQ(NewString("a\"b")->ToString(), "\"a\\\"b\"");
  EXPECT_EQ(NewString("a\"b")->ToString().size(), 6u);
  EXPECT_EQ(NewString("c:\\dir")->ToString(), "\"c:\\\\dir\"");
  EXPECT_EQ(NewAtom("a\"b")->ToString(), "a\"b");
  EXPECT_EQ(NewValue("x", dtVariable)->ToString(), "?x");
  EXPECT_EQ(NewValue("rest", dtMultiVariable)->ToString(), "$?rest");
  EXPECT_EQ(NewValue("colour", dtSlot)->ToString(), "colour");
  EXPECT_EQ(MakeRef<TIEValue>(3, dtFactId)->ToString(), "<Fact-3>");
  EXPECT_EQ(NewInteger(-12)->ToString(), "-12");
  EXPECT_EQ(NewFloat(3.14159)->ToString(), "3.1416");
  EXPECT_EQ(NewFloat(2)->ToString(), "2.0000");
  EXPECT_EQ(MakeRef<TIEValue>(5, dtDescriptor)->ToString(), "<UNKNOWN>");
  TOwnedThing Thing;
  EXPECT_EQ(MakeRef<TIEValue>(&Thing, false)->ToString(), "<Object: TOwnedThing>");
  TBindingInfo Binding(1, "colour", -1);
  EXPECT_EQ(MakeRef<TIEValue>(&Binding, false)->ToString(), "<TBindingInfo: FactIdx=1 SlotIdx=colour SubIdx=-1>");
  EXPECT_EQ(MakeRef<TIEValue>(static_cast<TObject*>(nullptr), false)->ToString(), "");
  EXPECT_EQ(MakeRef<TIEValue>(reinterpret_cast<void*>(1234))->ToString(), "<External-Address: 1234>");
  EXPECT_EQ(MakeRef<TIEValue>(platform::Ref<TAddCall>(new TAddCall(1, 2)))->ToString(), "(+ 1 2)");
}

TEST(ValueConversions, IntegerFromTextNumbersAndAddresses) {
  EXPECT_EQ(NewString("12.7")->GetAsInteger(), 12);
  EXPECT_EQ(NewString("$1F")->GetAsInteger(), 31);
  EXPECT_EQ(NewAtom("-$10")->GetAsInteger(), -16);
  EXPECT_EQ(NewAtom("-12.7")->GetAsInteger(), -12);
  EXPECT_EQ(NewAtom(" 42 ")->GetAsInteger(), 42);
  EXPECT_EQ(NewAtom("2147483647")->GetAsInteger(), 2147483647);
  EXPECT_EQ(NewAtom("-2147483648")->GetAsInteger(), -2147483647 - 1);
  EXPECT_EQ(NewFloat(-3.9)->GetAsInteger(), -3);
  EXPECT_EQ(MakeRef<TIEValue>(9, dtFactId)->GetAsInteger(), 9);
  EXPECT_EQ(MakeRef<TIEValue>(reinterpret_cast<void*>(77))->GetAsInteger(), 77);
  EXPECT_EQ(ErrorOf([] { NewString("abc")->GetAsInteger(); }),
            "Not a integer type.  Value (\"abc\") is a dtString type");
  EXPECT_EQ(ErrorOf([] { NewAtom("abc")->GetAsInteger(); }), "Not a integer type.  Value (abc) is a dtAtom type");
  EXPECT_EQ(ErrorOf([] { NewValue("x", dtVariable)->GetAsInteger(); }),
            "Not a integer type.  Value (?x) is a dtVariable type");
}

TEST(ValueConversions, OutOfRangeFloatsNeverBecomeIntegersSilently) {
  // A float outside the 32-bit range (or not a number) asked for as an integer is an error,
  // never a wrapped or undefined result.
  EXPECT_EQ(ErrorOf([] { NewFloat(1e20)->GetAsInteger(); }),
            "Not a integer type.  Value (100000000000000000000.0000) is a dtFloat type");
  EXPECT_NE(ErrorOf([] { NewFloat(-2147483649.0)->GetAsInteger(); }), "(no error)");
  EXPECT_NE(ErrorOf([] { NewFloat(std::nan(""))->GetAsInteger(); }), "(no error)");
  EXPECT_NE(ErrorOf([] { NewFloat(1e10)->GetAsFactId(); }), "(no error)");
  EXPECT_NE(ErrorOf([] { NewAtom("99999999999")->GetAsInteger(); }), "(no error)");
  EXPECT_NE(ErrorOf([] { NewAtom("1e30")->GetAsInteger(); }), "(no error)");
  EXPECT_EQ(NewFloat(2147483647.9)->GetAsInteger(), 2147483647);
  EXPECT_EQ(NewFloat(-2147483648.5)->GetAsInteger(), -2147483647 - 1);
  // Hashing such floats must not fail and stays stable.
  EXPECT_EQ(NewFloat(1e20)->GetHashCode(), NewFloat(1e20)->GetHashCode());
  EXPECT_NO_THROW(NewFloat(std::numeric_limits<double>::infinity())->GetHashCode());
}

TEST(ValueConversions, FloatsAndStrings) {
  EXPECT_EQ(FCNil->GetAsNumeric(), 0.0);
  EXPECT_EQ(ErrorOf([] { FCEmptyString->GetAsNumeric(); }), "Not a numeric type.  Value () is a dtAtom type");
  EXPECT_EQ(NewString("2.5")->GetAsFloat(), 2.5);
  EXPECT_EQ(NewAtom("-1e3")->GetAsFloat(), -1000.0);
  EXPECT_NE(ErrorOf([] { NewAtom("inf")->GetAsFloat(); }), "(no error)");
  EXPECT_NE(ErrorOf([] { NewAtom("1,5")->GetAsFloat(); }), "(no error)");
  EXPECT_EQ(NewInteger(4)->GetAsFloat(), 4.0);
  EXPECT_EQ(NewFloat(1.0 / 3)->GetAsString(), "0.3333");
  EXPECT_EQ(NewInteger(-5)->GetAsString(), "-5");
  EXPECT_EQ(NewString("q")->GetAsAtom(), "q");
  EXPECT_EQ(ErrorOf([] { MakeRef<TIEValue>(3, dtFactId)->GetAsString(); }),
            "Not a string type.  Value (<Fact-3>) is a dtFactId type");
  EXPECT_EQ(NewFloat(7.9)->GetAsFactId(), 7);
  EXPECT_EQ(ErrorOf([] { NewAtom("f")->GetAsFactId(); }), "Not a fact id type.  Value (f) is a dtAtom type");
  EXPECT_EQ(ErrorOf([] { NewInteger(1)->GetAsDescriptor(); }), "Not a descriptor type.  Value (1) is a dtInteger type");
  EXPECT_EQ(ErrorOf([] { NewInteger(1)->GetAsObject(); }), "Not a object type.  Value (1) is a dtInteger type");
  EXPECT_EQ(ErrorOf([] { NewInteger(1)->GetAsClass(); }), "Not a class type.  Value (1) is a dtInteger type");
  EXPECT_EQ(ErrorOf([] { NewInteger(1)->GetAsExternalAddress(); }),
            "Not a External Address type.  Value (1) is a dtInteger type");
  EXPECT_EQ(ErrorOf([] { NewInteger(1)->GetAsList(); }), "Not a list type.  Value (1) is a dtInteger type");
  EXPECT_EQ(ErrorOf([] { NewInteger(1)->GetAsSingletons(); }), "Not a singletons type.  Value (1) is a dtInteger type");
  EXPECT_EQ(ErrorOf([] { NewInteger(1)->GetAsFunCall<TAddCall>(); }),
            "Not a function call type.  Value (1) is a dtInteger type");
  TOwnedThing Thing;
  EXPECT_EQ(MakeRef<TIEValue>(&Thing, false)->GetAsExternalAddress(), &Thing);
}

TEST(ValueEquality, StrictAndLenient) {
  const IIEValue One = NewInteger(1), OneF = NewFloat(1.0);
  EXPECT_FALSE(One->Equals(OneF));
  EXPECT_TRUE(One->EqualsStar(OneF));
  EXPECT_TRUE(OneF->EqualsStar(One));
  EXPECT_TRUE(NewAtom("1")->EqualsStar(One));
  EXPECT_EQ(ErrorOf([&] { One->EqualsStar(NewAtom("one")); }), "Not a integer type.  Value (one) is a dtAtom type");
  EXPECT_TRUE(NewInteger(3)->EqualsStar(NewFloat(3.7)));
  EXPECT_TRUE(NewString("2.5000")->EqualsStar(NewFloat(2.5)));
  EXPECT_TRUE(NewAtom("12")->EqualsStar(NewInteger(12)));
  EXPECT_FALSE(NewAtom("abc")->Equals(NewString("abc")));
  EXPECT_TRUE(NewAtom("abc")->EqualsStar(NewString("abc")));
  EXPECT_FALSE(NewAtom("abc")->Equals(NewAtom("ABC")));
  EXPECT_TRUE(NewFloat(0.1 + 0.2)->Equals(NewFloat(0.1 + 0.2)));
  EXPECT_FALSE(NewFloat(0.3)->Equals(NewFloat(0.30001)));  // no tolerance
  EXPECT_FALSE(One->Equals(IIEValue()));
  EXPECT_TRUE(One->Equals(One));

  auto Call = MakeRef<TIEValue>(platform::Ref<TAddCall>(new TAddCall(1, 2)));
  auto SameCall = MakeRef<TIEValue>(platform::Ref<TAddCall>(new TAddCall(1, 2)));
  EXPECT_TRUE(Call->Equals(SameCall));
  EXPECT_EQ(Call->GetHashCode(), SameCall->GetHashCode());
  EXPECT_FALSE(Call->EqualsStar(NewInteger(3)));  // an unevaluated call never equals a constant
  EXPECT_FALSE(NewInteger(3)->Equals(Call));

  TIEValue C1(&TOwnedThing::StaticClass()), C2(&TOwnedThing::StaticClass());
  EXPECT_FALSE(C1.Equals(&C2));  // class references never compare equal
  TOwnedThing Thing;
  EXPECT_TRUE(MakeRef<TIEValue>(&Thing, false)->Equals(MakeRef<TIEValue>(&Thing, false)));
  EXPECT_FALSE(MakeRef<TIEValue>(&Thing, false)->EqualsStar(NewAtom("x")));
}

TEST(ValueHash, EqualValuesHashAlike) {
  EXPECT_EQ(NewFloat(3.7)->GetHashCode(), NewInteger(3)->GetHashCode());
  EXPECT_EQ(NewAtom("abc")->GetHashCode(), CalculateHash("abc"));
  EXPECT_EQ(NewString("abc")->GetHashCode(), NewAtom("abc")->GetHashCode());
  EXPECT_EQ(NewInteger(-1)->GetHashCode(), 0xFFFFFFFFu);
  const std::vector<IIEValue> Samples = {NewAtom("x"), NewString("x y"), NewInteger(5), NewFloat(5.25),
                                         MakeRef<TIEValue>(5, dtFactId), NewValue("v", dtVariable)};
  for (const IIEValue& V : Samples) {
    IIEValue Copy = V->Clone();
    EXPECT_TRUE(V->Equals(Copy)) << V->ToString();
    EXPECT_EQ(V->GetHashCode(), Copy->GetHashCode()) << V->ToString();
  }
}

TEST(ValueSetters, ReleaseOldPayloadAndRaiseOnChange) {
  IIEValue V = NewAtom("a");
  int Changes = 0;
  V->SetOnChange([&](TIEValue& Changed) {
    EXPECT_EQ(&Changed, V.get());
    ++Changes;
  });
  IValueVector L = NewList();
  V->SetAsList(L);
  EXPECT_EQ(L->RefCount(), 2);
  V->SetAsInteger(4);
  EXPECT_EQ(L->RefCount(), 1);
  V->SetAsString(V->GetText());  // from its own (non-text) payload: "4"? no: empty view
  V->SetAsAtom("abc");
  V->SetAsAtom(V->GetText());  // self-referencing text must survive the release
  EXPECT_EQ(V->GetAsString(), "abc");
  V->SetTag(9);  // the tag is not a change
  V->Reset();    // neither is a reset
  EXPECT_EQ(Changes, 5);
  EXPECT_EQ(V->GetTag(), 9);
  V->SetAsFactId(2);
  V->SetAsDescriptor(3);
  V->SetAsFloat(1.5);
  V->SetAsExternalAddress(nullptr);
  V->SetAsClass(nullptr);
  V->SetAsVariable("x");
  V->SetAsMultiVariable("y");
  V->SetAsSlot("s");
  V->SetAsMultiSlot("m");
  EXPECT_EQ(V->GetDType(), dtMultiSlot);
  EXPECT_EQ(Changes, 14);
}

TEST(ValueCopying, CloneSharesListsInterfaceAssignCopiesThem) {
  IValueVector Inner = NewList();
  Inner->Add(NewAtom("a"));
  IIEValue V = MakeRef<TIEValue>(Inner);
  V->SetTag(5);

  IIEValue Cloned = V->Clone();
  EXPECT_EQ(Cloned->GetAsList().get(), Inner.get());
  EXPECT_EQ(Cloned->GetTag(), 5);

  IIEValue Assigned = MakeRef<TIEValue>();
  Assigned->Assign(V);  // interface form
  EXPECT_NE(Assigned->GetAsList().get(), Inner.get());
  EXPECT_TRUE(Assigned->Equals(V));
  EXPECT_EQ(Assigned->GetTag(), 5);
  IIEValue Copied = MakeRef<TIEValue>(V);  // copy constructor uses the interface form
  EXPECT_NE(Copied->GetAsList().get(), Inner.get());

  IIEValue Target = NewAtom("old");
  Target->SetTag(1);
  V->AssignTo(*Target);
  EXPECT_NE(Target->GetAsList().get(), Inner.get());
  EXPECT_EQ(Target->GetTag(), 1);  // AssignTo does not copy the tag

  IIEValue Self = MakeRef<TIEValue>(Inner);
  Self->Assign(Self);
  EXPECT_EQ(Self->GetAsList()->GetValueCount(), 1);
  Self->Assign(*Self);
  EXPECT_EQ(Self->GetAsList()->GetValueCount(), 1);

  TOwnedThing NotAValue;
  EXPECT_THROW(Target->Assign(NotAValue), platform::EConvertError);
}

TEST(ValueCopying, FunctionCallsAndTextAreShared) {
  auto Call = platform::Ref<TAddCall>(new TAddCall(2, 3));
  IIEValue V = MakeRef<TIEValue>(Call);
  IIEValue Copy = MakeRef<TIEValue>(V);
  EXPECT_EQ(Copy->GetAsFunCall<TAddCall>().get(), Call.get());
  IIEValue Text = NewAtom("shared");
  IIEValue TextCopy = Text->Clone();
  EXPECT_EQ(Text->GetText().data(), TextCopy->GetText().data());
}

TEST(OwnedObjects, ValueFreesWhatItOwnsAndCopiesOwnedObjects) {
  {
    auto* Thing = new TOwnedThing;
    Thing->Data = 7;
    IIEValue V = MakeRef<TIEValue>(Thing, true);
    EXPECT_TRUE(V->IsOwningObject());
    IIEValue Copy = V->Clone();
    EXPECT_TRUE(Copy->IsOwningObject());
    EXPECT_NE(Copy->GetAsObject(), Thing);
    EXPECT_EQ(static_cast<TOwnedThing*>(Copy->GetAsObject())->Data, 7);
    EXPECT_EQ(LiveOwned, 2);
    V->SetAsInteger(1);  // changing kind frees the owned object
    EXPECT_EQ(LiveOwned, 1);
  }
  EXPECT_EQ(LiveOwned, 0);
  {
    TPlainObject Plain;
    IIEValue V = MakeRef<TIEValue>(&Plain, false);
    EXPECT_FALSE(V->IsOwningObject());
    IIEValue Borrowed = V->Clone();
    EXPECT_EQ(Borrowed->GetAsObject(), &Plain);
    IIEValue Owner = MakeRef<TIEValue>();
    Owner->SetAsOwnedObject(new TPlainObject);
    EXPECT_EQ(ErrorOf([&] { Owner->Clone(); }), "Uncloneable value.  Value owned an object of &s class type");
  }
}

TEST(OwnedObjects, ComponentDestroyedElsewhereResetsTheValue) {
  TComponent Form;
  auto* Widget = new TOwnedWidget(&Form);
  Widget->Data = 3;
  IIEValue V = MakeRef<TIEValue>(Widget, true);
  IIEValue Copy = V->Clone();  // a new component with the same owner
  EXPECT_EQ(Form.GetComponentCount(), 2);
  EXPECT_EQ(static_cast<TOwnedWidget*>(Copy->GetAsObject())->Data, 3);
  delete Widget;
  EXPECT_EQ(V->GetDType(), dtNone);
  EXPECT_FALSE(V->IsOwningObject());
  Copy.Reset();  // freeing the value frees the component it owns
  EXPECT_EQ(Form.GetComponentCount(), 0);
  EXPECT_EQ(LiveOwned, 0);

  // The owner freeing its components while a value still owns one.
  auto* Form2 = new TComponent;
  IIEValue W = MakeRef<TIEValue>(new TOwnedWidget(Form2), true);
  delete Form2;
  EXPECT_EQ(W->GetDType(), dtNone);
  EXPECT_EQ(LiveOwned, 0);
}

TEST(ValueResolve, VariablesCallsBindingsAndSingletons) {
  TTestContext Ctx;
  Ctx.Vars["x"] = NewInteger(10);
  EXPECT_EQ(NewValue("x", dtVariable)->Resolve(&Ctx)->GetAsInteger(), 10);
  EXPECT_EQ(ErrorOf([&] { NewValue("y", dtVariable)->Resolve(&Ctx); }), "Corrupted Binding, variable not found: y");
  EXPECT_EQ(ErrorOf([] { NewValue("y", dtMultiVariable)->Resolve(nullptr); }),
            "No context found when trying to resolve a dtMultiVariable value");
  TPlainObject NotAContext;
  EXPECT_EQ(ErrorOf([&] { NewValue("y", dtVariable)->Resolve(&NotAContext); }),
            "No context found when trying to resolve a dtVariable value");

  auto Call = platform::Ref<TAddCall>(new TAddCall(2, 5));
  EXPECT_EQ(MakeRef<TIEValue>(Call)->Resolve(&Ctx)->GetAsInteger(), 7);
  EXPECT_EQ(Call->LastContext, &Ctx);

  TBindingInfo Binding(2, "colour", -1);
  EXPECT_EQ(MakeRef<TIEValue>(&Binding, false)->Resolve(&Ctx)->GetAsString(), "fact 2 slot colour");

  auto Points = MakeRef<TSingletonsVector>();
  Points->Add(NewInteger(1), NewFloat(0.5));
  EXPECT_EQ(MakeRef<TIEValue>(Points)->Resolve(&Ctx)->GetAsInteger(), 1);

  IIEValue Plain = NewAtom("a");
  EXPECT_EQ(Plain->Resolve(&Ctx).get(), Plain.get());
  EXPECT_EQ(Plain->Resolve(nullptr).get(), Plain.get());

  // Peek answers only where the value already exists; everything else is left to Resolve.
  EXPECT_EQ(Plain->Peek(&Ctx), Plain.get());
  EXPECT_EQ(NewValue("x", dtVariable)->Peek(&Ctx), nullptr);
  EXPECT_EQ(MakeRef<TIEValue>(Call)->Peek(&Ctx), nullptr);
  EXPECT_EQ(MakeRef<TIEValue>(Points)->Peek(&Ctx), nullptr);
  EXPECT_EQ(MakeRef<TIEValue>(&Binding, false)->Peek(&Ctx), nullptr);  // this context makes its bindings
  EXPECT_EQ(MakeRef<TIEValue>(&Binding, false)->Peek(nullptr), nullptr);
}

TEST(SharedConstants, FourteenImmortalValues) {
  EXPECT_EQ(FCTrue->GetAsString(), "TRUE");
  EXPECT_EQ(FCFalse->GetAsString(), "FALSE");
  EXPECT_EQ(FCEOF->GetAsString(), "EOF");
  EXPECT_EQ(FCThen->GetAsString(), "then");
  EXPECT_EQ(FCPI->GetAsFloat(), 3.141592653589793);
  EXPECT_EQ(FCZero->GetDType(), dtFloat);
  EXPECT_EQ(FCNilList->GetAsList()->GetValueCount(), 0);
  EXPECT_NE(FCNil.get(), FCEmptyString.get());
  EXPECT_TRUE(FCNil->Equals(FCEmptyString));
  for (const IIEValue* C : {&FCTrue, &FCFalse, &FCEmptyString, &FCNil, &FCNilList, &FCCatch, &FCFinally, &FCExcept,
                            &FCElse, &FCDo, &FCEOF, &FCThen, &FCPI, &FCZero}) {
    EXPECT_TRUE(IsValueConstant(*C));
    EXPECT_TRUE((*C)->IsImmortal());
  }
  EXPECT_FALSE(IsValueConstant(NewAtom("TRUE")));
  EXPECT_FALSE(IsValueConstant(FCTrue->Clone()));
  {
    IIEValue Held = FCTrue;  // holding and releasing writes nothing to the shared count
    IIEValue Copy = FCNilList;
  }
  EXPECT_TRUE(FCTrue->IsImmortal());
  EXPECT_EQ(&BoolValue(true), &FCTrue);
}
