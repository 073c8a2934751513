#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/values/IEConsts.h"
#include "core/values/IEException.h"
#include "core/values/IEMessages.h"
#include "platform/Exceptions.h"

using namespace rulecore;

TEST(TypeTags, OrdinalsAndNamesAreFixed) {
  EXPECT_EQ(dtNone, 0);
  EXPECT_EQ(dtFloat, 6);
  EXPECT_EQ(dtList, 9);
  EXPECT_EQ(dtFuzzy, 15);
  EXPECT_EQ(dtMultiSlot, 18);
  EXPECT_EQ(GetIETypeName(dtMultiVariable), "dtMultiVariable");
  EXPECT_EQ(GetIETypeName(dtFactId), "dtFactId");
  EXPECT_EQ(platform::EnumInfo<TIEType>().Count(), IETypeCount);
  EXPECT_EQ(ssBreadthFirst, 1);
  EXPECT_EQ(dcError, 2);
  EXPECT_EQ(taUpdate, 3);
  EXPECT_EQ(cwStatistics, 4);
  EXPECT_EQ(vaIEReset, 10);
}

TEST(TypeTags, FixedSets) {
  EXPECT_TRUE(IESlotTypes.Contains(dtExternalAddress));
  EXPECT_FALSE(IESlotTypes.Contains(dtList));
  EXPECT_FALSE(IESlotTypes.Contains(dtFuzzy));
  EXPECT_TRUE(IESlotTypesWithFuzzy.Contains(dtFuzzy));
  EXPECT_TRUE(IESlotTypesWithFuzzy.Contains(dtSingletons));
  EXPECT_EQ(IESlotTypesWithFuzzy.Count(), 14u);
  EXPECT_EQ(SetToString(IEFactTypes, ", ", false), "Integer, FactId, Float");
  EXPECT_EQ(SetToString(IEAlwaysValidTypes, ",", true), "[None,Variable,FunCall,MultiVariable]");
}

TEST(CalculateHash, FoldsAllOrSampledCharacters) {
  EXPECT_EQ(CalculateHash(""), 0u);
  EXPECT_EQ(CalculateHash("a"), 97u);
  EXPECT_EQ(CalculateHash("ab"), 3105u);
  auto Fold = [](std::string_view S, std::initializer_list<int> Positions) {
    uint32_t H = 0;
    for (int P : Positions) H = H * 31u + static_cast<unsigned char>(S[static_cast<size_t>(P - 1)]);
    return H;
  };
  const std::string S16 = "abcdefghijklmnop", S20 = "abcdefghijklmnopqrst", S24 = "abcdefghijklmnopqrstuvwx";
  EXPECT_EQ(CalculateHash(S16), Fold(S16, {1, 3, 5, 7, 9, 11, 13, 15}));
  EXPECT_EQ(CalculateHash(S20), Fold(S20, {1, 3, 5, 7, 9, 11, 13, 15, 17, 19}));
  EXPECT_EQ(CalculateHash(S24), Fold(S24, {1, 4, 7, 10, 13, 16, 19, 22}));
  EXPECT_EQ(CalculateHash("abcdefghijklmno"), Fold("abcdefghijklmno", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  EXPECT_NE(CalculateHash("Abc"), CalculateHash("abc"));
  // The stepped form: positions 1, 1+step, ...; steps below 1 count as 1.
  EXPECT_EQ(CalculateHash("abcde", 2), Fold("abcde", {1, 3, 5}));
  EXPECT_EQ(CalculateHash("abc", 0), CalculateHash("abc"));
  EXPECT_EQ(CalculateHash("abc", -3), CalculateHash("abc"));
  // Bytes count as unsigned.
  EXPECT_EQ(CalculateHash("\xff"), 255u);
}

TEST(FloatEquals, AbsoluteToleranceOfOneTenThousandth) {
  EXPECT_TRUE(FloatEquals(1.0, 1.0001));
  EXPECT_FALSE(FloatEquals(1.0, 1.0002));
  EXPECT_TRUE(FloatEquals(1.0f, 1.00005f));
  EXPECT_TRUE(FloatEquals(1.0L, 1.0001L, 99.0L));
  EXPECT_TRUE(FloatEquals(-5.0, -5.00009));
}

TEST(SetText, ToStringAndBack) {
  EXPECT_EQ(SetToString(TIETypes{dtAtom, dtFloat}, ", ", false), "Atom, Float");
  EXPECT_EQ(SetToString(TIETypes{dtAtom, dtFloat}, ", ", true), "[Atom, Float]");
  EXPECT_EQ(SetToString(TIETypes{}, ", ", false), "");
  EXPECT_EQ(SetToString(TIETypes{}, ", ", true), "[]");
  const auto& Watches = platform::EnumInfo<TConstructWatch>();
  EXPECT_EQ(SetToString(Watches, 0b10010, "|", 2, false), "Fact|Statistics");
  EXPECT_EQ(SetToString(Watches, 0b1, ",", 0, true), "[cwActivation]");

  EXPECT_EQ(StringToSet(" [Fact,  statistics] ", Watches, "cw"), 0b10010u);
  EXPECT_EQ(StringToSet("[]", Watches, "cw"), 0u);
  EXPECT_EQ(StringToSet("Atom, Float", platform::EnumInfo<TIEType>(), "dt"), TIETypes({dtAtom, dtFloat}).Mask());
  try {
    StringToSet("[Fact, Bogus]", Watches, "cw");
    FAIL();
  } catch (const EIEException&) {
    FAIL() << "must be the standard exception class, not the engine's";
  } catch (const platform::Exception& E) {
    EXPECT_STREQ(E.what(), "Invalid item for set: cwBogus");
  }
}

TEST(TextHelpers, QuotesCharactersAndFilters) {
  EXPECT_EQ(IEStringToString("\""), "\"");
  EXPECT_EQ(IEStringToString("\"\""), "");
  EXPECT_EQ(IEStringToString("\"a\\\"b\""), "a\\\"b");  // escapes stay
  EXPECT_EQ(IEStringToString("\"abc"), "\"abc");
  EXPECT_EQ(ContainsCharacters("rule name", " ?"), 5);
  EXPECT_EQ(ContainsCharacters("rule", " ?"), 0);
  EXPECT_EQ(ContainsCharacters("?x", "?"), 1);
  EXPECT_EQ(StringFilter("a(b)c", "()"), "abc");
}

TEST(CreateArgumentExpressions, OptionalArgumentsNest) {
  EXPECT_EQ(CreateArgumentExpressions("<a> <b>", 2, 1, 10), "");
  EXPECT_EQ(CreateArgumentExpressions("<a>", 0, 0, 10), "");
  EXPECT_EQ(CreateArgumentExpressions("<a> <b>", 2, 2, 10), "<a> <b>");
  EXPECT_EQ(CreateArgumentExpressions("<a> <b>", 1, 2, 10), "<a>[ <b>]");
  EXPECT_EQ(CreateArgumentExpressions("<a> <b>", 0, 2, 10), "[ <a>[ <b>]]");
  EXPECT_EQ(CreateArgumentExpressions("<x>", 1, 3, 10), "<x>[ <expression>[ <expression>]]");
  EXPECT_EQ(CreateArgumentExpressions("<a> <b> <c>", 1, 2147483647, 2), "<a>[ <b>[]]");
}

TEST(MessageCatalogue, TextsAreVerbatimAndPlaceholdersWellFormed) {
  EXPECT_STREQ(MessageText(SNotCorrectType), "Not a %s type.  Value (%s) is a %s type");
  EXPECT_STREQ(MessageText(SUncloneableValue), "Uncloneable value.  Value owned an object of &s class type");
  EXPECT_STREQ(MessageText(SPatternMatchError), " for pattern match = ");
  EXPECT_STREQ(MessageText(SNoReadFunctionWarning),
               "The %s event has not been implemented or unassigned.\r\nWarning: Implementation of this "
               "function requires a blocking mechanism, \r\nsuch as ShowModal, or the use of threads");
  EXPECT_EQ(FormatMessage(SDuplicateStreamNames, {"t"}), "Duplicate streams defined with same name: \"t\"");
  EXPECT_EQ(FormatMessage(SOutOfRangeError, {1.0, 2.5}), "Range must be between 1.0000 and 2.5000");
  EXPECT_EQ(FormatMessage(SUnexpectedCharacters, {'x'}), "&s contains unexpected character: \"x\"");

  std::set<std::string> Names;
  for (int I = 0; I < IEMessageCount; ++I) {
    const auto Id = static_cast<TIEMessage>(I);
    const std::string Text = MessageText(Id);
    EXPECT_TRUE(Names.insert(MessageName(Id)).second) << MessageName(Id);
    EXPECT_FALSE(Text.empty()) << MessageName(Id);
    // Every "%" starts one of the placeholders the catalogue uses.
    for (size_t P = Text.find('%'); P != std::string::npos; P = Text.find('%', P + 1)) {
      const std::string Rest = Text.substr(P + 1, 3);
      const bool Known = Rest.rfind("s", 0) == 0 || Rest.rfind("d", 0) == 0 || Rest.rfind("c", 0) == 0 ||
                         Rest.rfind(".4f", 0) == 0;
      EXPECT_TRUE(Known) << MessageName(Id) << ": " << Text;
    }
  }
  EXPECT_EQ(IEMessageCount, 150);
}

TEST(Exceptions, ParseExceptionCarriesLineAndMessages) {
  EIEParseException E(FormatMessage(SParseError, {"Syntax Error", "defrule r1", 3, "oops"}), 3);
  E.Errors().push_back("first");
  EXPECT_EQ(E.GetLineNumber(), 3);
  EXPECT_EQ(E.GetErrors().size(), 1u);
  EXPECT_STREQ(E.what(), "Parsing Error, Syntax Error in defrule r1 at line 3: oops");
  EXPECT_THROW(RaiseIE(SNoSuchFact, {"12"}), EIEException);
  try {
    RaiseIE(SNoSuchFact, {"12"});
  } catch (const EIEException& X) {
    EXPECT_STREQ(X.what(), "No Such Fact with ID=12 exists");
  }
}
