#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fuzzy/FuzzyConsts.h"
#include "fuzzy/FuzzyMessages.h"

using namespace vaguecore;

TEST(FuzzyKeywords, TablesFollowTheirEnumerations) {
  EXPECT_EQ(HedgeNames[fhMoreOrLess], "moreorless");
  EXPECT_EQ(HedgeNames[fhNeighboring], "neighboring");
  EXPECT_EQ(HedgeNames[fhGenerally], "generally");
  EXPECT_DOUBLE_EQ(HedgeModifiers[fhSomewhat], 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(HedgeModifiers[fhVicinity], 4);
  EXPECT_DOUBLE_EQ(HedgeModifiers[fhGenerally], 0.5);
  EXPECT_EQ(BaseHedgeNames[bfgCutLessEq], "<=");
  EXPECT_EQ(FuzzyUnionKeywords[foBoundedSum], "or-boundedsum");
  EXPECT_EQ(FuzzyIntersectionKeywords[foMeanSqrt], "and-meansqrt");
  EXPECT_EQ(FuzzyOperationNames[foMeanSqr], "mean-sqr");
  EXPECT_EQ(platform::EnumInfo<TFuzzyHedge>().Count(), FuzzyHedgeCount);
  EXPECT_EQ(platform::EnumInfo<TBaseFuzzyHedge>().Count(), BaseFuzzyHedgeCount);
  EXPECT_EQ(platform::EnumName(foSum), "foSum");
  EXPECT_EQ(platform::EnumName(fstGrowthCurve), "fstGrowthCurve");
  EXPECT_EQ(fstGrowthCurve, 5);
  EXPECT_EQ(dmMeanOfMaxima, 1);
  EXPECT_EQ(fimBoundedSum, 4);
}

TEST(FuzzyKeywords, TestsAreExactAndCaseSensitive) {
  TFuzzyHedge H{};
  EXPECT_TRUE(IsFuzzyHedge("very", H));
  EXPECT_EQ(H, fhVery);
  EXPECT_FALSE(IsFuzzyHedge("Very"));
  EXPECT_FALSE(IsFuzzyHedge("very "));

  TBaseFuzzyHedge B{};
  bool OnY = false;
  EXPECT_TRUE(IsFuzzyHedgeOperator("<=", B, OnY));
  EXPECT_EQ(B, bfgCutLessEq);
  EXPECT_TRUE(OnY);
  EXPECT_TRUE(IsFuzzyHedgeOperator(">=X", B, OnY));
  EXPECT_EQ(B, bfhCutGreaterEq);
  EXPECT_FALSE(OnY);
  EXPECT_FALSE(IsFuzzyHedgeOperator("X"));
  EXPECT_FALSE(IsFuzzyHedgeOperator("+x"));
  EXPECT_FALSE(IsFuzzyHedgeOperator("+XX"));

  bool IsUnion = true;
  TFuzzyOperation Op{};
  EXPECT_TRUE(IsFuzzyKeyword("and", IsUnion, Op));
  EXPECT_FALSE(IsUnion);
  EXPECT_EQ(Op, foZadeh);
  EXPECT_TRUE(IsFuzzyKeyword("or-sum", IsUnion, Op));
  EXPECT_TRUE(IsUnion);
  EXPECT_EQ(Op, foSum);
  EXPECT_FALSE(IsFuzzyKeyword("AND", IsUnion, Op));

  EXPECT_TRUE(IsFuzzyOperation("bounded-sum", Op));
  EXPECT_EQ(Op, foBoundedSum);
  TFuzzyInferenceMethod M{};
  EXPECT_TRUE(IsFuzzyInference("sum", M));
  EXPECT_EQ(M, fimAdditive);
  TFuzzyCorrelationMethod C{};
  EXPECT_TRUE(IsFuzzyCorrelation("product", C));
  EXPECT_EQ(C, fcmProduct);
  EXPECT_FALSE(IsFuzzyCorrelation("max", C));

  for (const char* Reserved : {"very", "and", "or-mean", "+X", "^", "not"}) EXPECT_TRUE(IsFuzzyReservedWord(Reserved));
  for (const char* Free : {"hot", "", "very hot", "X"}) EXPECT_FALSE(IsFuzzyReservedWord(Free));
}

TEST(FuzzyNames, DerivedNamesBracketNamesWithBlanks) {
  EXPECT_EQ(CreateFuzzyName(fhVery, "hot"), "very hot");
  EXPECT_EQ(CreateFuzzyName(fhVery, "hot or cold"), "very [hot or cold]");
  EXPECT_EQ(CreateFuzzyName(fhNot, "not hot"), "not [not hot]");
  EXPECT_EQ(CreateFuzzyName("hot", "very cold", "and-mean"), "hot and-mean [very cold]");
  EXPECT_EQ(CreateFuzzyName("hot", "*", 0.5), "hot * 0.5000");
  EXPECT_EQ(CreateFuzzyName("a b", "+X", -2.25), "[a b] +X -2.2500");
  EXPECT_EQ(FormatFuzzyExpression("hot"), "hot");
  EXPECT_EQ(FormatFuzzyExpression("very hot"), "(very hot)");
}

TEST(FuzzyMessages, CatalogueTextsAndPlaceholders) {
  EXPECT_STREQ(FzyMessageText(SInvalidRangeArguments),
               "Invalid range arguments.  Left (%.4f) is greater than right (%.4f)");
  EXPECT_EQ(FormatFzyMessage(SReservedFuzzySetName, {"very"}), "Invalid fuzzy set name, \"very\" is a reserved word");
  EXPECT_EQ(FormatFzyMessage(SEmptyFuzzySet, {SGetMaxYValue}),
            "Invalid operation: Get Maximum Y Value.  Fuzzy set is empty");
  EXPECT_EQ(FormatFzyMessage(SInvalidXRangeIndex, {2}), "Invalid index argument to GetXRange.  Index = 2");
  try {
    RaiseFzy(SInvalidFuzzyOperation, {"foSum"});
    FAIL();
  } catch (const EFzyException& E) {
    EXPECT_STREQ(E.what(), "Invalid fuzzy operation: foSum");
  }
  std::set<std::string> Names;
  for (int I = 0; I < FzyMessageCount; ++I) {
    const auto Id = static_cast<TFzyMessage>(I);
    const std::string Text = FzyMessageText(Id);
    EXPECT_TRUE(Names.insert(FzyMessageName(Id)).second);
    EXPECT_FALSE(Text.empty());
    for (size_t P = Text.find('%'); P != std::string::npos; P = Text.find('%', P + 1)) {
      const std::string Rest = Text.substr(P + 1, 3);
      EXPECT_TRUE(Rest.rfind("s", 0) == 0 || Rest.rfind("d", 0) == 0 || Rest.rfind(".4f", 0) == 0) << Text;
    }
  }
}
