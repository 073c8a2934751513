#include <gtest/gtest.h>

#include "tests/core/ErrorText.h"

#include "core/language/IEPrettyPrinter.h"
#include "core/values/IEDefinedType.h"
#include "core/values/IEException.h"
#include "platform/StringList.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using platform::MakeRef;

namespace {

IIEDefinedType NewType(const std::string& Name = "implicit") {
  IIEDefinedType T = MakeRef<TIEDefinedType>();
  T->SetName(Name);
  return T;
}

IValueVector ListOf(std::initializer_list<IIEValue> Items) {
  IValueVector L = NewList();
  for (const IIEValue& V : Items) L->Add(V);
  return L;
}

}  // namespace

TEST(DefinedTypeDefaults, NewTypeIsPermissive) {
  IIEDefinedType T = MakeRef<TIEDefinedType>();
  EXPECT_EQ(T->GetBaseTypes(), IESlotTypes);
  EXPECT_EQ(T->GetName(), "implicit");
  EXPECT_EQ(T->GetMaxCardinality(), 2147483647);
  EXPECT_EQ(T->GetMinCardinality(), 0);
  EXPECT_EQ(T->GetMinRange(), -2147483648.0);
  EXPECT_EQ(T->GetMaxRange(), 2147483647.0);
  EXPECT_FALSE(T->GetRangeLimited());
  EXPECT_FALSE(T->GetImplicit());
  EXPECT_TRUE(T->IsValid(NewAtom("x")));
  EXPECT_TRUE(T->IsValid(NewValue("v", dtVariable)));
  EXPECT_FALSE(T->IsValid(MakeRef<TIEValue>(MakeRef<TSingletonsVector>())));
}

TEST(DefinedTypeBounds, RangesAndCardinalitiesStayOrdered) {
  IIEDefinedType T = NewType();
  int Changes = 0;
  T->SetOnChange([&](platform::TObject* Sender) {
    EXPECT_EQ(Sender, T.get());
    ++Changes;
  });
  T->SetMaxRange(10);
  T->SetMinRange(20);  // above the maximum: the maximum follows
  EXPECT_EQ(T->GetMaxRange(), 20);
  T->SetMaxRange(5);  // below the minimum: the minimum follows
  EXPECT_EQ(T->GetMinRange(), 5);
  T->SetMaxRange(5);  // unchanged: no notice
  EXPECT_EQ(Changes, 3);
  T->SetMinCardinality(3);
  T->SetMaxCardinality(-5);
  EXPECT_EQ(T->GetMaxCardinality(), 0);
  EXPECT_EQ(T->GetMinCardinality(), 0);
  T->BeginUpdate();
  T->SetComment("a");
  T->SetUnits("cm");
  EXPECT_EQ(Changes, 5);
  T->EndUpdate();
  EXPECT_EQ(Changes, 6);  // one notice for the whole bracket
}

TEST(DefinedTypeValidation, RangeAllowedValuesAndCardinality) {
  IIEDefinedType Range = NewType("small");
  Range->SetBaseTypes({dtInteger});
  Range->SetRangeLimited(true);
  Range->SetMinRange(1);
  Range->SetMaxRange(10);
  EXPECT_TRUE(Range->IsValid(NewInteger(10)));
  EXPECT_FALSE(Range->IsValid(NewInteger(11)));
  EXPECT_EQ(Range->GetInvalidValueString(*NewInteger(11)),
            "Value \"11\" is not valid, Range must be between 1.0000 and 10.0000");
  EXPECT_EQ(Range->GetInvalidValueString(*NewInteger(5)), "");
  EXPECT_EQ(Range->GetInvalidValueString(*NewAtom("x")),
            "Value \"x\" is not valid, Not a INTEGER type.  Value (x) is a dtAtom type");
  EXPECT_TRUE(Range->IsValid(NewValue("v", dtVariable)));  // always-valid kinds pass

  IIEDefinedType Colours = NewType("colour");
  Colours->SetConstraints({vcAtom});
  Colours->AddConstraint(*NewAtom("red"));
  Colours->AddConstraint(*NewAtom("green"));
  Colours->AddConstraint(*NewAtom("red"));  // no duplicates
  EXPECT_EQ(Colours->GetConstraintAtomsCount(), 2);
  EXPECT_TRUE(Colours->IsValid(NewAtom("red")));
  EXPECT_TRUE(Colours->IsValid(NewAtom("RED")));
  EXPECT_FALSE(Colours->IsValid(NewAtom("blue")));
  EXPECT_EQ(Colours->GetInvalidValueString(*NewAtom("blue")), "Value \"blue\" is not valid, Not in allowed values");
  EXPECT_EQ(GetAllowedString(*Colours), "    (allowed-symbols red green )\r\n");

  IIEDefinedType Numbers = NewType("num");
  Numbers->SetBaseTypes({dtInteger, dtFloat});
  Numbers->SetConstraints({vcInteger});
  for (int I : {1, 2, 3}) Numbers->AddConstraint(*NewInteger(I));
  EXPECT_TRUE(Numbers->IsValid(NewInteger(2)));
  EXPECT_TRUE(Numbers->IsValid(NewFloat(2.0)));
  EXPECT_FALSE(Numbers->IsValid(NewInteger(4)));
  EXPECT_TRUE(Numbers->IsValid(NewFloat(2.5)));  // floats are not constrained

  IIEDefinedType Pair = NewType("pair");
  Pair->SetCardinalityLimited(true);
  Pair->SetMinCardinality(2);
  Pair->SetMaxCardinality(3);
  IIEValue One = MakeRef<TIEValue>(ListOf({NewAtom("a")}));
  EXPECT_FALSE(Pair->IsValid(One));
  EXPECT_EQ(Pair->GetInvalidValueString(*One), "Value \"a \" is not valid, Multislot must have between 2 and 3 elements");
  Pair->SetBaseTypes({dtAtom});
  IIEValue Mixed = MakeRef<TIEValue>(ListOf({NewAtom("a"), NewInteger(1)}));
  EXPECT_EQ(Pair->GetInvalidValueString(*Mixed),
            "Value \"1\" is not valid, Not a ATOM type.  Value (1) is a dtInteger type");
}

TEST(DefinedTypeConstraints, KindsListsAndErrors) {
  IIEDefinedType T = NewType("t");
  EXPECT_EQ(ErrorOf([&] { T->AddConstraint(*NewAtom("a")); }), "Defined Type t cannot contain Atom constraint types");
  EXPECT_EQ(ErrorOf([&] { T->GetValueConstraint(*MakeRef<TIEValue>(1, dtFactId)); }),
            "Defined Type t cannot contain FactId constraint types");
  EXPECT_EQ(ErrorOf([&] { T->DeleteConstraint(0, vcString); }), "Defined Type t does not have String constraints");
  T->SetConstraints({vcFloat, vcString});
  T->AddConstraint(*NewInteger(3));  // an integer goes to the floats when only floats are listed
  T->AddConstraint(*NewFloat(3.0));
  T->AddConstraint(*NewString("Hi"));
  EXPECT_EQ(T->GetConstraintFloatsCount(), 1);
  EXPECT_TRUE(T->IsConstraint(*NewString("hi")));
  EXPECT_FALSE(T->IsConstraint(*NewAtom("Hi")));  // atoms are not constrained: not a member
  EXPECT_EQ(ConstraintToString(*T, vcFloat), "3.0000 ");
  EXPECT_EQ(ConstraintToString(*T, vcString), "\"Hi\" ");
  T->RemoveConstraint(*NewFloat(3.0));
  EXPECT_EQ(T->GetConstraintFloatsCount(), 0);
  T->ClearConstraint(vcString);
  EXPECT_EQ(T->GetConstraints(), TValueConstraints{vcFloat});
  EXPECT_EQ(T->GetConstraintStringsCount(), 0);
  T->SetConstraints(TValueConstraints::All());
  for (const IIEValue& V : {NewAtom("a"), NewString("b"), NewInteger(1), NewFloat(1.5)}) T->AddConstraint(*V);
  EXPECT_EQ(GetAllowedString(*T), "    (allowed-values a \"b\" 1 1.5000 )\r\n");
  T->ClearConstraints({vcAtom, vcString});
  EXPECT_EQ(GetAllowedString(*T), "    (allowed-numbers 1 1.5000 ) \r\n");
}

TEST(DefinedTypeAncestry, LoopsAreRejectedAndImplicitCleared) {
  IIEDefinedType A = NewType("A"), B = NewType("B");
  B->SetImplicit(true);
  B->SetAncestor(A);
  EXPECT_FALSE(B->GetImplicit());
  EXPECT_EQ(ErrorOf([&] { A->SetAncestor(B); }),
            "Type inheritance loop detected, A type cannot be an ancestor of itself");
  EXPECT_FALSE(A->GetAncestor());  // unchanged by the failed setter
  EXPECT_NE(ErrorOf([&] { A->SetAncestor(A); }), "(no error)");
}

TEST(DefinedTypeDefaults, ValidDefaultsFollowTheFirstBaseType) {
  IIEDefinedType T = NewType();
  EXPECT_EQ(T->CreateValidDefault(false)->GetDType(), dtAtom);
  EXPECT_TRUE(T->CreateValidDefault(true)->Equals(FCNilList));
  EXPECT_NE(T->CreateValidDefault(true).get(), FCNilList.get());
  T->SetBaseTypes({dtInteger});
  T->SetRangeLimited(true);
  EXPECT_EQ(T->CreateValidDefault(false)->GetAsInteger(), 0);
  T->SetMinRange(5.7);
  EXPECT_EQ(T->CreateValidDefault(false)->GetAsInteger(), 5);
  T->SetBaseTypes({dtFloat});
  EXPECT_EQ(T->CreateValidDefault(false)->GetAsFloat(), 5.7);
  T->SetMinRange(TIEDefinedType::DefaultMinRange);
  T->SetMaxRange(9.5);
  EXPECT_EQ(T->CreateValidDefault(false)->GetAsFloat(), 9.5);
  T->SetBaseTypes({dtString});
  EXPECT_EQ(T->CreateValidDefault(false)->GetDType(), dtString);
  T->SetCardinalityLimited(true);
  T->SetMinCardinality(2);
  EXPECT_EQ(T->CreateValidDefault(true)->ToString(), "\"\" \"\" ");
  T->SetBaseTypes({dtFactId});
  EXPECT_EQ(T->CreateValidDefault(false)->ToString(), "<Fact-0>");
  T->SetBaseTypes({dtClass});
  EXPECT_EQ(T->CreateValidDefault(false)->GetDType(), dtClass);
}

TEST(DefinedTypeEquality, CopiesCompareEqualAndDifferencesShow) {
  IIEDefinedType T = NewType("size");
  T->SetBaseTypes({dtInteger, dtFloat});
  T->SetRangeLimited(true);
  T->SetMinRange(0);
  T->SetMaxRange(100);
  T->SetConstraints({vcInteger});
  T->AddConstraint(*NewInteger(7));
  T->SetTag(3);
  IIEDefinedType C = T->Clone();
  EXPECT_TRUE(T->Equals(C.get()));
  EXPECT_EQ(C->GetTag(), 3);
  C->AddConstraint(*NewInteger(8));
  EXPECT_FALSE(T->Equals(C.get()));
  IIEDefinedType D = T->Clone();
  D->SetMaxRange(100.00005);  // within tolerance
  EXPECT_TRUE(T->Equals(D.get()));
  D->SetName("Size");
  EXPECT_FALSE(T->Equals(D.get()));
  EXPECT_FALSE(T->Equals(static_cast<const TIEDefinedType*>(nullptr)));
  EXPECT_EQ(ErrorOf([&] { T->SetBaseTypes({dtFuzzy, dtInteger}); }), "Cannot mix fuzzy type with other primitive types");
  EXPECT_EQ(T->GetBaseTypes(), (TIETypes{dtInteger, dtFloat}));
}

TEST(DefinedTypeText, PrintedFormAndOutline) {
  IIEDefinedType T = NewType("percent");
  T->SetComment("a share");
  T->SetBaseTypes({dtInteger, dtFloat});
  T->SetRangeLimited(true);
  T->SetMinRange(0.5);
  T->SetMaxRange(9.5);
  T->SetUnits("per cent");
  EXPECT_EQ(T->GetToString(),
            "(deftype percent \r\n    \"a share\"\r\n    extends (type INTEGER FLOAT)\r\n"
            "    (range 0 9) \r\n    (units \"per cent\")\r\n)");
  IIEDefinedType Child = NewType("small-percent");
  Child->SetBaseTypes({dtInteger, dtFloat, dtAtom});
  Child->SetAncestor(T);
  Child->SetRangeLimited(true);
  Child->SetMaxRange(5);
  EXPECT_EQ(PrettyPrint(*Child), "(deftype small-percent extends (type percent ATOM)\r\n    (range ?VARIABLE 5) \r\n)");
  IIEDefinedType Inline = NewType();
  Inline->SetImplicit(true);
  Inline->SetBaseTypes({dtAtom});
  Inline->SetCardinalityLimited(true);
  Inline->SetMaxCardinality(3);
  EXPECT_EQ(PrettyPrint(*Inline), "(type ATOM)\r\n    (cardinality 0 3) \r\n");

  platform::TOutlineNode Root("Type: ");
  T->AssignTo(Root);
  ASSERT_EQ(Root.ChildCount(), 1);
  const platform::TOutlineNode& Node = Root.Child(0);
  EXPECT_EQ(Node.Text, "Type: percent");
  ASSERT_EQ(Node.ChildCount(), 4);
  EXPECT_EQ(Node.Child(0).Text, "Primitive Types: Integer, Float");
  EXPECT_EQ(Node.Child(1).Text, "Comment: a share");
  EXPECT_EQ(Node.Child(2).Text, "Units: per cent");
  EXPECT_EQ(Node.Child(3).Text, "Range: 0.5000-9.5000");
  platform::TStringList Lines;
  T->AssignTo(Lines);
  EXPECT_EQ(Lines.Count(), 6);
  EXPECT_EQ(Lines.Strings(0), "(deftype percent ");
}

TEST(DefinedTypeFuzzy, BecomingFuzzyCreatesAVariableWithRangeAndUnits) {
  IIEDefinedType T = NewType("heat");
  T->SetRangeLimited(true);
  T->SetMinRange(0);
  T->SetMaxRange(40);
  T->SetUnits("celsius");
  T->SetBaseTypes({dtFuzzy});
  const IFuzzyVariable& Variable = T->GetFuzzyType();
  ASSERT_TRUE(Variable);
  EXPECT_EQ(Variable->GetName(), "heat");
  EXPECT_EQ(Variable->GetMinimum(), 0);
  EXPECT_EQ(Variable->GetMaximum(), 40);
  EXPECT_EQ(Variable->GetUnits(), "celsius");
  // Range and units keep flowing to the variable after it exists.
  T->SetMaxRange(50);
  T->SetUnits("kelvin");
  EXPECT_EQ(Variable->GetMaximum(), 50);
  EXPECT_EQ(Variable->GetUnits(), "kelvin");
  // A second fuzzy setting keeps the variable; leaving fuzzy drops it.
  T->SetBaseTypes({dtFuzzy});
  EXPECT_EQ(T->GetFuzzyType(), Variable);
  T->SetBaseTypes({dtFloat});
  EXPECT_FALSE(T->GetFuzzyType());
  EXPECT_EQ(T->GetBaseTypes(), TIETypes{dtFloat});
}

TEST(DefinedTypeFuzzy, AttachedVariableDrivesTypeAndValidation) {
  IIEDefinedType T = NewType("temperature");
  IFuzzyVariable Variable = MakeRef<vaguecore::TIFuzzyVariable>("temperature");
  vaguecore::SetUniverse(*Variable, -10, 110);
  Variable->SetUnits("C");
  IFuzzySet Hot = Variable->Add("hot");
  Hot->GetValues().SetPoints(std::vector<vaguecore::TFzyPoint>{{50, 0}, {100, 1}});
  T->SetFuzzyType(Variable);
  EXPECT_EQ(T->GetBaseTypes(), TIETypes{dtFuzzy});
  EXPECT_EQ(T->GetMinRange(), -10);
  EXPECT_EQ(T->GetMaxRange(), 110);
  EXPECT_EQ(T->GetUnits(), "C");

  // A set of this variable is valid; one of another variable is not.
  EXPECT_TRUE(T->IsValid(MakeRef<TIEValue>(Hot)));
  IFuzzyVariable Other = MakeRef<vaguecore::TIFuzzyVariable>("pressure");
  const IIEValue Foreign = MakeRef<TIEValue>(Other->Add("high"));
  EXPECT_FALSE(T->IsValid(Foreign));
  EXPECT_EQ(T->GetInvalidValueString(*Foreign), "Value \"" + Foreign->GetAsString() + "\" is not valid, invalid fuzzy value");
  // Crisp kinds that become fuzzy values later are accepted, others are not.
  EXPECT_TRUE(T->IsValid(NewAtom("hot")));
  EXPECT_TRUE(T->IsValid(NewInteger(20)));
  EXPECT_TRUE(T->IsValid(MakeRef<TIEValue>(MakeRef<TSingletonsVector>())));
  EXPECT_TRUE(T->IsValid(MakeRef<TIEValue>(ListOf({NewAtom("hot"), NewFloat(3)}))));
  EXPECT_FALSE(T->IsValid(MakeRef<TIEValue>(ListOf({NewAtom("hot"), Foreign}))));
  IIEValue FactId = MakeRef<TIEValue>();
  FactId->SetAsFactId(1);
  EXPECT_FALSE(T->IsValid(FactId));

  // The default is the variable's empty set, never a stored term.
  const IIEValue Default = T->CreateValidDefault(false);
  ASSERT_EQ(Default->GetDType(), dtFuzzy);
  EXPECT_EQ(Default->GetAsFuzzy()->GetVariable(), Variable);
  EXPECT_EQ(Default->GetAsFuzzy()->GetName(), "__Empty");
  EXPECT_FALSE(Default->GetAsFuzzy()->GetDefined());
  EXPECT_EQ(Variable->GetFuzzySet("hot"), Hot);
  // Detaching the variable leaves a fuzzy type whose default is nil.
  T->SetFuzzyType(nullptr);
  EXPECT_EQ(T->GetBaseTypes(), TIETypes{dtFuzzy});
  EXPECT_EQ(T->CreateValidDefault(false), FCNil);
}

TEST(DefinedTypeFuzzy, CopiesCloneTheVariableAndCompareByTerms) {
  IIEDefinedType T = NewType("speed");
  T->SetBaseTypes({dtFuzzy});
  T->GetFuzzyType()->Add("fast")->GetValues().SetPoints(std::vector<vaguecore::TFzyPoint>{{0, 0}, {1, 1}});
  IIEDefinedType Copy = NewType("speed");
  Copy->Assign(*T);
  ASSERT_TRUE(Copy->GetFuzzyType());
  EXPECT_NE(Copy->GetFuzzyType(), T->GetFuzzyType());
  EXPECT_TRUE(T->Equals(Copy.get()));
  // Equality asks whether every term of this type's variable exists in the other's.
  Copy->GetFuzzyType()->Add("slow");
  EXPECT_FALSE(Copy->Equals(T.get()));
  IIEDefinedType Crisp = NewType("speed");
  EXPECT_FALSE(T->Equals(Crisp.get()));
  EXPECT_FALSE(Crisp->Equals(T.get()));
}
