#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fuzzy/FuzzyConsts.h"
#include "fuzzy/FuzzyMessages.h"

using namespace vaguecore;

TEST(FuzzyKeywords, TestsAreExactAndCaseSensitive) {
  TFuzzyHedge H{};
  EXPECT_TRUE(IsFuzzyHedge("neighboring", H));
  EXPECT_EQ(H, fhNeighboring);
  EXPECT_FALSE(IsFuzzyHedge("Very"));

  TBaseFuzzyHedge B{};
  bool OnY = false;
  EXPECT_TRUE(IsFuzzyHedgeOperator("<=", B, OnY));
  EXPECT_EQ(B, bfgCutLessEq);
  EXPECT_TRUE(OnY);
  EXPECT_TRUE(IsFuzzyHedgeOperator(">=X", B, OnY));
  EXPECT_EQ(B, bfhCutGreaterEq);
  EXPECT_FALSE(OnY);
  for (const char* Not : {"X", "+x", "+XX", "=<"}) EXPECT_FALSE(IsFuzzyHedgeOperator(Not)) << Not;

  bool IsUnion = true;
  TFuzzyOperation Op{};
  EXPECT_TRUE(IsFuzzyKeyword("and", IsUnion, Op));
  EXPECT_FALSE(IsUnion);
  EXPECT_EQ(Op, foZadeh);
  EXPECT_TRUE(IsFuzzyKeyword("or-boundedsum", IsUnion, Op));
  EXPECT_TRUE(IsUnion);
  EXPECT_EQ(Op, foBoundedSum);
  EXPECT_FALSE(IsFuzzyKeyword("AND", IsUnion, Op));
  EXPECT_TRUE(IsFuzzyOperation("mean-sqr", Op));
  EXPECT_EQ(Op, foMeanSqr);
  TFuzzyInferenceMethod M{};
  EXPECT_TRUE(IsFuzzyInference("sum", M));
  EXPECT_EQ(M, fimAdditive);
  TFuzzyCorrelationMethod C{};
  EXPECT_TRUE(IsFuzzyCorrelation("product", C));
  EXPECT_EQ(C, fcmProduct);

  for (const char* Reserved : {"very", "and", "or-mean", "+X", "^", "not"}) EXPECT_TRUE(IsFuzzyReservedWord(Reserved));
  for (const char* Free : {"hot", "", "very hot", "X"}) EXPECT_FALSE(IsFuzzyReservedWord(Free));
}

TEST(FuzzyNames, DerivedNamesBracketNamesWithBlanks) {
  EXPECT_EQ(CreateFuzzyName(fhVery, "hot or cold"), "very [hot or cold]");
  EXPECT_EQ(CreateFuzzyName(fhNot, "not hot"), "not [not hot]");
  EXPECT_EQ(CreateFuzzyName("hot", "very cold", "and-mean"), "hot and-mean [very cold]");
  EXPECT_EQ(CreateFuzzyName("a b", "+X", -2.25), "[a b] +X -2.2500");
  EXPECT_EQ(FormatFuzzyExpression("hot"), "hot");
  EXPECT_EQ(FormatFuzzyExpression("very hot"), "(very hot)");
}

TEST(FuzzyMessages, CatalogueTextsAndPlaceholders) {
  EXPECT_EQ(FormatFzyMessage(SInvalidRangeArguments, {5.0, 1.0}),
            "Invalid range arguments.  Left (5.0000) is greater than right (1.0000)");
  EXPECT_EQ(FormatFzyMessage(SInvalidXRangeIndex, {2}), "Invalid index argument to GetXRange.  Index = 2");
  EXPECT_THROW(RaiseFzy(SInvalidFuzzyOperation, {"foSum"}), EFzyException);
  std::set<std::string> Names;
  for (int I = 0; I < FzyMessageCount; ++I) {
    const auto Id = static_cast<TFzyMessage>(I);
    const std::string Text = FzyMessageText(Id);
    EXPECT_TRUE(Names.insert(FzyMessageName(Id)).second);
    for (size_t P = Text.find('%'); P != std::string::npos; P = Text.find('%', P + 1)) {
      const std::string Rest = Text.substr(P + 1, 3);
      EXPECT_TRUE(Rest.rfind("s", 0) == 0 || Rest.rfind("d", 0) == 0 || Rest.rfind(".4f", 0) == 0) << Text;
    }
  }
}
