// The vocabulary of the fuzzy library, shared with the engine: the coordinate type and the
// tolerance, the fuzzy enumerations, the keyword tables of hedges, operators and methods, the
// keyword tests the rule-language reader uses, and the naming rules of derived sets.
// Depends on the platform layer only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Enum.h"
#include "platform/Set.h"

namespace vaguecore {

// Coordinates of fuzzy sets: positions in the universe of discourse and degrees of membership.
using TFzyFloat = double;

// Name of the empty fuzzy set.
inline constexpr std::string_view SEmptyFuzzySetName = "__Empty";
// Number format of fuzzy text forms.
inline constexpr std::string_view SFuzzyNumberFormat = "%.4f";

// Absolute tolerance of every fuzzy comparison described as "equal".
inline constexpr TFzyFloat FuzzyTolerance = 0.0001;

constexpr bool FloatEquals(TFzyFloat A, TFzyFloat B) noexcept {
  return A - FuzzyTolerance <= B && B <= A + FuzzyTolerance;
}
constexpr int Sign(TFzyFloat X) noexcept { return X > 0 ? 1 : (X < 0 ? -1 : 0); }

// Range of a set that lives in no universe: GetXRange answers these bounds.
inline constexpr TFzyFloat FuzzyUnboundedMaximum = 2147483647.0;
inline constexpr TFzyFloat FuzzyUnboundedMinimum = -2147483647.0;
// Points of a generated curve when nothing asks for another number.
inline constexpr int32_t DefaultNumFunctionValues = 7;
// Points a hedge expands a set to before reshaping it (independent of the curve setting).
inline constexpr int32_t HedgeExpandPoints = 7;

// --- enumerations ------------------------------------------------------------------------------
PLATFORM_ENUM(TFuzzySetType, fstUserDefined, fstTriangle, fstDeclineCurve, fstPICurve, fstBetaCurve,
              fstGrowthCurve)
PLATFORM_ENUM(TXYUpdateType, utX, utY)
using TXYUpdateTypes = platform::TSet<TXYUpdateType, 2>;
PLATFORM_ENUM(TFuzzyOperation, foZadeh, foMean, foMeanSqr, foMeanSqrt, foProduct, foBoundedSum, foSum)
PLATFORM_ENUM(TFuzzyHedge, fhNot, fhSomewhat, fhMoreOrLess, fhGreatly, fhPlus, fhVery, fhExtremely, fhAbove,
              fhBelow, fhSlightly, fhNormalize, fhAbout, fhVicinity, fhClose, fhNear, fhNeighboring,
              fhPositively, fhAbsolutely, fhDefinitely, fhGenerally)
// bfgCutLessEq keeps its published spelling so that host code written against it compiles.
PLATFORM_ENUM(TBaseFuzzyHedge, bfhAdd, bfhSubtract, bfhMultiply, bfhDivide, bfhPower, bfhCutLess, bfgCutLessEq,
              bfhCutGreater, bfhCutGreaterEq)
PLATFORM_ENUM(TDefuzzificationMethod, dmCenterOfGravity, dmMeanOfMaxima)
PLATFORM_ENUM(TFuzzyInferenceMethod, fimMinMax, fimAdditive, fimMean, fimProduct, fimBoundedSum)
PLATFORM_ENUM(TFuzzyCorrelationMethod, fcmMinimum, fcmProduct)

inline constexpr unsigned FuzzyOperationCount = 7;
inline constexpr unsigned FuzzyHedgeCount = 20;
inline constexpr unsigned BaseFuzzyHedgeCount = 9;
inline constexpr unsigned FuzzyInferenceMethodCount = 5;
inline constexpr unsigned FuzzyCorrelationMethodCount = 2;

// --- keyword tables (indexed by the enumerations; compared exactly and case-sensitively) ---------
inline constexpr std::array<std::string_view, BaseFuzzyHedgeCount> BaseHedgeNames = {
    "+", "-", "*", "/", "^", "<", "<=", ">", ">="};
// The suffix that makes a base hedge act on the positions (X) instead of the memberships.
inline constexpr std::string_view BaseHedgeXSuffix = "X";

inline constexpr std::array<std::string_view, FuzzyHedgeCount> HedgeNames = {
    "not",      "somewhat",  "moreorless", "greatly", "plus",  "very",     "extremely",
    "above",    "below",     "slightly",   "normalize", "about", "vicinity", "close",
    "near",     "neighboring", "positively", "absolutely", "definitely", "generally"};

inline constexpr std::array<TFzyFloat, FuzzyHedgeCount> HedgeModifiers = {
    0, 1.0 / 3.0, 0.5, 0.7, 1.25, 2, 3, 0, 0, 0, 0, 2, 4, 1.2, 1.2, 1.2, 2, 2, 2, 0.5};

inline constexpr std::array<std::string_view, FuzzyOperationCount> FuzzyOperationNames = {
    "zadeh", "mean", "mean-sqr", "mean-sqrt", "product", "bounded-sum", "sum"};
inline constexpr std::array<std::string_view, FuzzyOperationCount> FuzzyIntersectionKeywords = {
    "and", "and-mean", "and-meansqr", "and-meansqrt", "and-product", "and-boundedsum", "and-sum"};
inline constexpr std::array<std::string_view, FuzzyOperationCount> FuzzyUnionKeywords = {
    "or", "or-mean", "or-meansqr", "or-meansqrt", "or-product", "or-boundedsum", "or-sum"};
inline constexpr std::array<std::string_view, FuzzyCorrelationMethodCount> FuzzyCorrelationNames = {
    "minimum", "product"};
inline constexpr std::array<std::string_view, FuzzyInferenceMethodCount> FuzzyInferenceNames = {
    "min-max", "sum", "mean", "product", "bounded-sum"};

// --- keyword tests -----------------------------------------------------------------------------
bool IsFuzzyHedge(std::string_view S) noexcept;
bool IsFuzzyHedge(std::string_view S, TFuzzyHedge& Hedge) noexcept;
// A base hedge operator, with or without the "X" suffix.
bool IsFuzzyHedgeOperator(std::string_view S) noexcept;
// Also gives the operator, and OnY = true when S has no "X" suffix.
bool IsFuzzyHedgeOperator(std::string_view S, TBaseFuzzyHedge& BaseHedge, bool& OnY) noexcept;
// An intersection (IsUnion = false) or union keyword; Operation is its index.  At each index the
// intersection keyword is tested first.
bool IsFuzzyKeyword(std::string_view S, bool& IsUnion, TFuzzyOperation& Operation) noexcept;
bool IsFuzzyOperation(std::string_view S, TFuzzyOperation& Operation) noexcept;
bool IsFuzzyInference(std::string_view S, TFuzzyInferenceMethod& Method) noexcept;
bool IsFuzzyCorrelation(std::string_view S, TFuzzyCorrelationMethod& Method) noexcept;
// Whether S may not name a fuzzy set: a keyword, a base hedge operator or a hedge.
bool IsFuzzyReservedWord(std::string_view S) noexcept;

// --- names of derived sets -----------------------------------------------------------------------
// "(" + S + ")" when S contains a blank, else S.
std::string FormatFuzzyExpression(std::string_view S);
// In the three forms a name containing a blank is written in square brackets; the operator is not.
// "very hot", "very [hot or cold]"
std::string CreateFuzzyName(TFuzzyHedge Hedge, std::string_view Name);
// "hot or cold"
std::string CreateFuzzyName(std::string_view Name1, std::string_view Name2, std::string_view Op);
// "hot * 0.5000"
std::string CreateFuzzyName(std::string_view Name, std::string_view Op, TFzyFloat Value);

// The library's version text, "major.minor.patch".
const char* VagueCoreVersion() noexcept;

}  // namespace vaguecore
