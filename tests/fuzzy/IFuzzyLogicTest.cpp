#include <gtest/gtest.h>

#include "fuzzy/IFuzzyLogic.h"
#include "fuzzy/FuzzyMessages.h"

using namespace vaguecore;
using platform::MakeRef;

namespace {

int LiveVariables = 0;

class TCountedVariable : public TIFuzzyVariable {
  PLATFORM_CLASS(TCountedVariable, TIFuzzyVariable)
 public:
  explicit TCountedVariable(std::string Name = "") : TIFuzzyVariable(std::move(Name)) { ++LiveVariables; }
  ~TCountedVariable() override { --LiveVariables; }
};

IFuzzyVariable Temperature() {
  IFuzzyVariable V = MakeRef<TIFuzzyVariable>("temperature");
  SetUniverse(*V, 0, 100);
  V->Add("cold")->GetValues().SetPoints(std::vector<TFzyPoint>{{0, 1}, {50, 0}});
  V->Add("hot")->GetValues().SetPoints(std::vector<TFzyPoint>{{50, 0}, {100, 1}});
  return V;
}

}  // namespace

TEST(FuzzyVariable, DefaultsAndBounds) {
  IFuzzyVariable V = MakeRef<TIFuzzyVariable>("v");
  EXPECT_EQ(V->GetMinimum(), 0);
  EXPECT_EQ(V->GetMaximum(), 1);
  EXPECT_EQ(V->GetThreshold(), 0);
  EXPECT_EQ(V->GetNumFunctionValues(), 7);
  EXPECT_EQ(V->GetDefuzzificationMethod(), dmCenterOfGravity);
  V->SetMinimum(0.5);
  V->SetMaximum(0.2);  // below the minimum: the minimum follows
  EXPECT_EQ(V->GetMinimum(), 0.2);
  V->SetMinimum(3);  // above the maximum: the maximum follows
  EXPECT_EQ(V->GetMaximum(), 3);
  V->SetThreshold(1.5);
  EXPECT_EQ(V->GetThreshold(), 1);
  V->SetThreshold(-0.2);
  EXPECT_EQ(V->GetThreshold(), 0);
  int Changes = 0;
  V->OnChange = [&](platform::TObject*) { ++Changes; };
  V->SetName("w");
  V->SetName("w");
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(V->GetToString(), "w");
}

TEST(FuzzyVariable, TermTableRules) {
  IFuzzyVariable V = Temperature();
  EXPECT_EQ(V->GetFuzzySetCount(), 2);
  IFuzzySet Hot = V->GetFuzzySet("hot");
  ASSERT_TRUE(Hot);
  EXPECT_TRUE(Hot->GetDefined());
  EXPECT_EQ(Hot->GetVariable().get(), V.get());
  EXPECT_FALSE(V->GetFuzzySet("warm"));
  // An anonymous set of this variable is not taken into its table.
  IFuzzySet Anonymous = MakeRef<TIFuzzySet>(V, "warm");
  V->NewFuzzySet(Anonymous);
  EXPECT_FALSE(V->ContainsFuzzySet("warm"));
  // Renaming a term moves its entry.
  Hot->SetName("scorching");
  EXPECT_TRUE(V->ContainsFuzzySet("scorching"));
  EXPECT_FALSE(V->ContainsFuzzySet("hot"));
  EXPECT_THROW(Hot->SetName("very"), EFzyException);
  EXPECT_TRUE(V->ContainsFuzzySet("scorching"));  // a failed rename leaves the term in place
  EXPECT_EQ(V->Remove("scorching").get(), Hot.get());
  EXPECT_EQ(V->GetFuzzySetCount(), 1);
  IFuzzySet Empty = V->GetEmptyFuzzySet();
  EXPECT_FALSE(Empty->GetDefined());
  EXPECT_EQ(V->GetEmptyFuzzySet().get(), Empty.get());
  EXPECT_EQ(V->TermsInOrder().size(), 1u);
}

TEST(FuzzyVariable, TermsListInCreationOrder) {
  IFuzzyVariable V = MakeRef<TIFuzzyVariable>("level");
  IFuzzySet Low = V->Add("low");
  IFuzzySet Medium = V->Add("medium");
  EXPECT_EQ(Low->GetIndex(), 0);
  EXPECT_EQ(Medium->GetIndex(), 1);
  const auto Terms = V->TermsInOrder();
  ASSERT_EQ(Terms.size(), 2u);
  EXPECT_EQ(Terms[0]->GetName(), "low");
}

TEST(FuzzyVariable, CopiesCompareByTerms) {
  IFuzzyVariable V = Temperature();
  IFuzzyVariable C = V->Clone();
  EXPECT_TRUE(V->Equals(C.get()));
  EXPECT_NE(C->GetFuzzySet("hot").get(), V->GetFuzzySet("hot").get());
  EXPECT_EQ(C->GetFuzzySet("hot")->GetVariable().get(), C.get());
  // A term of different shape makes the variables differ.
  C->GetFuzzySet("hot")->GetValues().SetPoints(std::vector<TFzyPoint>{{60, 0}, {100, 1}});
  EXPECT_FALSE(V->Equals(C.get()));
  C->SetUnits("C");
  EXPECT_FALSE(V->Equals(C.get()));
}

TEST(FuzzyVariable, VariableAndTermsAreFreedTogether) {
  {
    IFuzzyVariable V = MakeRef<TCountedVariable>("t");
    V->Add("a");
    V->Add("b");
    IFuzzySet Kept = V->Add("c");
    EXPECT_EQ(LiveVariables, 1);
    V.Reset();
    // The term kept outside still reaches its variable.
    EXPECT_EQ(LiveVariables, 1);
    EXPECT_EQ(Kept->GetVariable()->GetName(), "t");
  }
  EXPECT_EQ(LiveVariables, 0);
  {
    IFuzzyVariable V = MakeRef<TCountedVariable>("u");
    for (const char* N : {"x", "y", "z"}) V->Add(N);
    IFuzzyVariable Copy = V->Clone();
  }
  EXPECT_EQ(LiveVariables, 0);
}

TEST(FuzzySetInterface, OperationsNameResultsAndKeepOperands) {
  IFuzzyVariable V = Temperature();
  IFuzzySet Cold = V->GetFuzzySet("cold"), Hot = V->GetFuzzySet("hot");
  IFuzzySet Either = Hot->Union(*Cold);
  EXPECT_EQ(Either->GetName(), "hot or cold");
  EXPECT_EQ(Either->GetExpression(), "hot or cold");
  EXPECT_FALSE(Either->GetDefined());
  EXPECT_EQ(Either->GetVariable().get(), V.get());
  EXPECT_FALSE(V->ContainsFuzzySet("hot or cold"));
  EXPECT_NEAR(Either->DegreeOfMembership(25), 0.5, 1e-9);
  IFuzzySet Both = Either->Intersection(*Hot, foProduct);
  EXPECT_EQ(Both->GetExpression(), "(hot or cold) and-product hot");
  EXPECT_EQ(Hot->GetValues().GetCount(), 2);
  IFuzzySet Cut = Hot->AlphaCutoff(0.5, false);
  EXPECT_EQ(Cut->GetName(), "hot (alpha=0.5000)");
  EXPECT_EQ(Cut->GetVariable().get(), V.get());
  EXPECT_EQ(Hot->ValuesToString(), "((50.0000 0.0000) (100.0000 1.0000) )");
  EXPECT_EQ(Hot->GetToString(), "(hot (50.0000 0.0000) (100.0000 1.0000) )");
  EXPECT_EQ(Hot->GetXMaximum(), 100);
  IFuzzySet Loose = MakeRef<TIFuzzySet>();
  EXPECT_EQ(Loose->GetXMaximum(), 2147483647.0);
}

TEST(FuzzySetInterface, FuzzyComparisonUsesTheThreshold) {
  IFuzzyVariable V = Temperature();
  IFuzzySet Cold = V->GetFuzzySet("cold"), Hot = V->GetFuzzySet("hot");
  EXPECT_TRUE(Cold->Equals(Hot.get()));  // threshold 0: any two non-empty sets match
  EXPECT_NEAR(Cold->FuzzyEquals(Hot.get()), 0.0, 1e-9);
  V->SetThreshold(0.3);
  EXPECT_FALSE(Cold->Equals(Hot.get()));
  IFuzzySet Warm = MakeRef<TIFuzzySet>(V, "warm");
  Warm->CreateTriangleFunctionValues(25, 50, 75);
  EXPECT_NEAR(Cold->FuzzyEquals(Warm.get()), 1.0 / 3, 1e-4);
  EXPECT_TRUE(Cold->Equals(Warm.get()));
  EXPECT_TRUE(Hot->EqualsValues(*Hot->Clone()));
  V->SetDefuzzificationMethod(dmMeanOfMaxima);
  EXPECT_EQ(Hot->Defuzzify(), 100);
}

TEST(FuzzyVariableTables, TableKeysByNameAndRemovesByVariable) {
  TFuzzyVariableTable Table;
  IFuzzyVariable Heat = Temperature();
  IFuzzyVariable Speed = MakeRef<TIFuzzyVariable>("speed");
  Table.Add(Heat);
  Table.Add(Speed);
  EXPECT_EQ(Table.Count(), 2);
  EXPECT_EQ(Table.GetItem("temperature"), Heat);
  EXPECT_EQ(Table.GetItem(1), Speed);
  EXPECT_TRUE(Table.ContainsKey("speed"));
  EXPECT_TRUE(Table.ContainsVariable(Speed.get()));
  IFuzzyVariable Stranger = MakeRef<TIFuzzyVariable>("speed");
  EXPECT_FALSE(Table.ContainsVariable(Stranger.get()));
  EXPECT_FALSE(Table.Remove(Stranger.get()));
  EXPECT_EQ(Table.Remove(Speed.get()), Speed);
  EXPECT_FALSE(Table.ContainsKey("speed"));
  EXPECT_EQ(Table.Remove("temperature"), Heat);
  EXPECT_EQ(Table.Count(), 0);
}

TEST(FuzzyVariableTables, StringsCarryCountedVariables) {
  TFuzzyVariableStrings Strings;
  int Before = LiveVariables;
  {
    IFuzzyVariable Counted = MakeRef<TCountedVariable>("counted");
    EXPECT_EQ(Strings.Add("first", Counted), 0);
  }
  EXPECT_EQ(LiveVariables, Before + 1);  // the list keeps it alive
  EXPECT_EQ(Strings.Add("Second", Temperature()), 1);
  EXPECT_EQ(Strings.IndexOf("SECOND"), 1);
  EXPECT_EQ(Strings.IndexOf("third"), -1);
  EXPECT_EQ(Strings.GetVariable(0)->GetName(), "counted");
  Strings.PutVariable(0, nullptr);
  EXPECT_EQ(LiveVariables, Before);
  EXPECT_EQ(Strings.GetString(0), "first");
  EXPECT_THROW(Strings.GetVariable(2), platform::EListError);
  EXPECT_THROW(Strings.Delete(-1), platform::EListError);
  Strings.Delete(0);
  EXPECT_EQ(Strings.GetString(0), "Second");
}
