#include <gtest/gtest.h>

#include "tests/core/ErrorText.h"

#include "core/values/FuzzyExpression.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/values/IEException.h"

using namespace rulecore;
using rulecore::testing::ErrorOf;
using namespace vaguecore;
using platform::MakeRef;

namespace {

IFuzzyVariable Temperature() {
  IFuzzyVariable V = MakeRef<TIFuzzyVariable>("temperature");
  SetUniverse(*V, 0, 100);
  V->Add("cold")->GetValues().SetPoints(std::vector<TFzyPoint>{{0, 1}, {50, 0}});
  V->Add("hot")->GetValues().SetPoints(std::vector<TFzyPoint>{{50, 0}, {100, 1}});
  V->Add("medium")->CreateTriangleFunctionValues(25, 50, 75);
  return V;
}

IValueVector Words(std::initializer_list<const char*> Items) {
  IValueVector L = NewList();
  for (const char* I : Items) L->Add(NewAtom(I));
  return L;
}

std::string Postfix(const TValueVector& Items) {
  std::string Text;
  for (const auto& Expression : FuzzyExpressionToPostfix(Items)) {
    if (!Text.empty()) Text += " | ";
    for (const auto& Item : Expression) Text += (Item.Kind == fikOperand ? Item.Value->ToString() : Item.Text) + " ";
  }
  return Text;
}

}  // namespace

TEST(FuzzyExpressionPrecedence, HedgesBindTighterAndGroupRight) {
  EXPECT_EQ(Postfix(*Words({"very", "hot", "or", "not", "cold"})), "hot very cold not or ");
  EXPECT_EQ(Postfix(*Words({"[", "hot", "or", "cold", "]", "and", "medium"})), "hot cold or medium and ");
  EXPECT_EQ(Postfix(*Words({"very", "[", "hot", "or", "cold", "]"})), "hot cold or very ");
  EXPECT_EQ(Postfix(*Words({"very", "not", "hot"})), "hot not very ");
  EXPECT_EQ(Postfix(*Words({"hot", "or", "cold", "and", "medium"})), "hot cold or medium and ");
  EXPECT_EQ(Postfix(*Words({"hot", "cold"})), "hot  | cold ");
  EXPECT_EQ(ErrorOf([] { FuzzyExpressionToPostfix(*Words({"[", "hot", "or", "cold"})); }),
            "Missing Fuzzy Close Bracket in expression");
}

TEST(FuzzyExpressionEvaluation, TermsHedgesKeywordsAndNumbers) {
  IFuzzyVariable V = Temperature();
  TFuzzyOperands Operands;
  IIEValue R = EvaluateFuzzyExpression(V, *Words({"very", "hot", "or", "not", "cold"}), Operands);
  ASSERT_EQ(R->GetDType(), dtFuzzy);
  IFuzzySet Set = R->GetAsFuzzy();
  EXPECT_EQ(Set->GetName(), "[very hot] or [not cold]");
  EXPECT_NEAR(Set->DegreeOfMembership(100), 1.0, 1e-9);
  EXPECT_NEAR(Set->DegreeOfMembership(0), 0.0, 1e-9);
  // Hedging a term never changes the stored term.
  EXPECT_EQ(V->GetFuzzySet("hot")->GetName(), "hot");
  EXPECT_EQ(V->GetFuzzySet("hot")->GetValues().GetCount(), 2);

  IIEValue Two = EvaluateFuzzyExpression(V, *Words({"hot", "cold"}), Operands);
  ASSERT_EQ(Two->GetDType(), dtList);
  EXPECT_EQ(Two->GetAsList()->GetValueCount(), 2);

  IValueVector Scaled = Words({"hot", "*"});
  Scaled->Add(NewFloat(0.5));
  IFuzzySet Half = EvaluateFuzzyExpression(V, *Scaled, Operands)->GetAsFuzzy();
  EXPECT_EQ(Half->GetName(), "hot * 0.5000");
  EXPECT_NEAR(Half->DegreeOfMembership(100), 0.5, 1e-9);

  IValueVector Nested = NewList();
  Nested->Add(NewAtom("very"));
  Nested->Add(MakeRef<TIEValue>(Words({"hot", "or", "cold"})));
  EXPECT_EQ(EvaluateFuzzyExpression(V, *Nested, Operands)->GetAsFuzzy()->GetName(), "very [hot or cold]");

  IValueVector Crisp = NewList();
  Crisp->Add(NewInteger(30));
  IFuzzySet Spike = EvaluateFuzzyExpression(V, *Crisp, Operands)->GetAsFuzzy();
  EXPECT_EQ(Spike->GetValues().GetCount(), 3);
  EXPECT_NEAR(Spike->MeanOfMaxima(), 30, 1e-9);

  IValueVector Existing = NewList();
  Existing->Add(MakeRef<TIEValue>(V->GetFuzzySet("medium")));
  EXPECT_EQ(EvaluateFuzzyExpression(V, *Existing, Operands)->GetAsFuzzy().get(), V->GetFuzzySet("medium").get());
  EXPECT_EQ(EvaluateFuzzyExpression(V, *NewList(), Operands)->GetDType(), dtNone);
}

TEST(FuzzyExpressionEvaluation, ErrorsNameTheCulprit) {
  IFuzzyVariable V = Temperature();
  TFuzzyOperands Operands;
  EXPECT_EQ(ErrorOf([&] { EvaluateFuzzyExpression(V, *Words({"very"}), Operands); }),
            "Missing fuzzy operand to be modified by hedge: very");
  EXPECT_EQ(ErrorOf([&] { EvaluateFuzzyExpression(V, *Words({"hot", "or"}), Operands); }),
            "Missing fuzzy operand to be modified by hedge: or");
  EXPECT_EQ(ErrorOf([&] { EvaluateFuzzyExpression(V, *Words({"lukewarm"}), Operands); }),
            "Invalid item in fuzzy expression: lukewarm");
  EXPECT_EQ(ErrorOf([&] { EvaluateFuzzyExpression(nullptr, *Words({"hot"}), Operands); }),
            "fuzzy variable is not defined");
}

TEST(FuzzyText, SetsAndVariablesPrintAsRuleText) {
  IFuzzyVariable V = Temperature();
  V->SetUnits("deg C");
  EXPECT_EQ(PrettyPrint(*V->GetFuzzySet("medium"), true), "(term medium (tri 25.0000 50.0000 75.0000))");
  EXPECT_EQ(PrettyPrint(*V->GetFuzzySet("hot"), true), "(term hot ((50.0000 0.0000) (100.0000 1.0000) ))");
  EXPECT_EQ(PrettyPrint(*V->GetFuzzySet("hot"), false), "hot");
  IFuzzySet Pi = MakeRef<TIFuzzySet>(V, "p");
  Pi->CreatePIFunctionValues(7, 20, 50);
  EXPECT_EQ(FuzzyShapeText(*Pi), "(pi 50.0000 20.0000)");
  IFuzzySet S = MakeRef<TIFuzzySet>(V, "s");
  S->CreateCurveValues(7, 0, 60, 30, true);
  EXPECT_EQ(FuzzyShapeText(*S), "(s 0.0000 60.0000)");
  EXPECT_EQ(PrettyPrint(*V),
            "    (range 0.0000 100.0000)\r\n    (units \"deg C\")\r\n    (values \r\n"
            "        (term cold ((0.0000 1.0000) (50.0000 0.0000) ))\r\n"
            "        (term hot ((50.0000 0.0000) (100.0000 1.0000) ))\r\n"
            "        (term medium (tri 25.0000 50.0000 75.0000))\r\n    )");
}

TEST(FuzzyValues, NumericConversionsDefuzzify) {
  IFuzzyVariable V = Temperature();
  IIEValue Medium = MakeRef<TIEValue>(V->GetFuzzySet("medium"));
  EXPECT_NEAR(Medium->GetAsFloat(), 50.0, 1e-6);
  EXPECT_EQ(Medium->GetAsInteger(), 50);
  EXPECT_EQ(Medium->GetAsString(), Medium->ToString());
  IIEValue Other = MakeRef<TIEValue>(V->GetFuzzySet("hot"));
  EXPECT_TRUE(Medium->Equals(Other));  // threshold 0: overlapping sets match
  EXPECT_FALSE(Medium->Equals(NewInteger(50)));  // plain sets do not compare with numbers
}
