// The shared vocabulary of the engine library: the value type tag and its fixed sets, the
// configuration enumerations, the reserved names and formats the parser, network and printer
// agree on, and the small helpers (hashing, float tolerance, set text) several layers call.
// Depends on the platform layer only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Enum.h"
#include "platform/Set.h"

namespace rulecore {

// The kind tag of a value.  Ordinals are fixed: type sets are bit sets over them and printed
// type names are the enumerator names.
PLATFORM_ENUM(TIEType, dtNone, dtAtom, dtString, dtInteger, dtVariable, dtFactId, dtFloat, dtFunCall,
              dtFact, dtList, dtDescriptor, dtObject, dtClass, dtExternalAddress, dtSingletons,
              dtFuzzy, dtMultiVariable, dtSlot, dtMultiSlot)
constexpr unsigned IETypeCount = 19;
using TIETypes = platform::TSet<TIEType, IETypeCount>;

// --- fixed type sets -------------------------------------------------------------------------
inline constexpr TIETypes IEStringTypes{dtAtom, dtString, dtVariable, dtMultiVariable, dtSlot, dtMultiSlot};
inline constexpr TIETypes IENumericTypes{dtInteger, dtFloat};
inline constexpr TIETypes IEIntegerTypes{dtInteger, dtFactId, dtDescriptor};
inline constexpr TIETypes IEFactTypes{dtInteger, dtFactId, dtFloat};
inline constexpr TIETypes IEVariableTypes{dtVariable, dtMultiVariable};
inline constexpr TIETypes IEAlwaysValidTypes{dtNone, dtVariable, dtFunCall, dtMultiVariable};
inline constexpr TIETypes IEMultiSlotTypes{dtList, dtMultiSlot};
inline constexpr TIETypes IESlotTypes{dtAtom,  dtString,     dtInteger, dtVariable, dtFactId, dtFloat,
                                      dtFunCall, dtFact,     dtDescriptor, dtObject, dtClass,
                                      dtExternalAddress};
inline constexpr TIETypes IESlotTypesWithFuzzy = IESlotTypes | TIETypes{dtSingletons, dtFuzzy};
inline constexpr TIETypes IEReparseTypes{dtFunCall, dtFact, dtFuzzy};
// Kinds whose hash codes follow strict equality (equal values of these kinds hash alike), so
// that matching may key on their hash codes.
inline constexpr TIETypes IEStrictHashTypes{dtInteger, dtFactId,   dtDescriptor,    dtFloat, dtAtom,
                                            dtString,  dtVariable, dtMultiVariable, dtSlot,  dtMultiSlot};
// Kinds whose payload is a counted object.
inline constexpr TIETypes IEInterfaceTypes{dtFunCall, dtFact, dtList, dtSingletons, dtFuzzy};

// --- base type keywords ------------------------------------------------------------------------
inline constexpr std::string_view STypeSymbolKeyword = "SYMBOL";
inline constexpr std::string_view STypeAtomKeyword = "ATOM";
inline constexpr std::string_view STypeStringKeyword = "STRING";
inline constexpr std::string_view STypeIntegerKeyword = "INTEGER";
inline constexpr std::string_view STypeFloatKeyword = "FLOAT";
inline constexpr std::string_view STypeLexemeKeyword = "LEXEME";
inline constexpr std::string_view STypeNumberKeyword = "NUMBER";
inline constexpr std::string_view STypeClassKeyword = "CLASS";
inline constexpr std::string_view STypeDescriptorKeyword = "DESCRIPTOR";
inline constexpr std::string_view STypeObjectKeyword = "OBJECT";
inline constexpr std::string_view STypeExternalAddrKeyword = "EXTERNALADDRESS";
inline constexpr std::string_view STypeFuzzyKeyword = "FUZZY";
inline constexpr std::string_view STypeFactKeyword = "FACT";
inline constexpr std::string_view STypeFactIdKeyword = "FACTID";
inline constexpr std::string_view STypeVariableKeyword = "?VARIABLE";
inline constexpr std::string_view SImplicitDefinedType = "implicit";

// --- reserved names and formats ----------------------------------------------------------------
inline constexpr std::string_view SFactPrefix = "__factidx";
inline constexpr std::string_view SEqStarPrefix = "_eq_";
inline constexpr std::string_view SBackChainPrefix = "need-";
inline constexpr std::string_view SBlankPrefix = "_blank_";
inline constexpr std::string_view SBlankMulti = "_blank_$";
inline constexpr std::string_view SDefaultSlotName = "__Data";
inline constexpr std::string_view STestCE = "test";
inline constexpr std::string_view SLocalBinding = "__LOCAL";
inline constexpr std::string_view SPatternBinding = "__PATTERN";
inline constexpr std::string_view SRuleBinding = "__RULE";
inline constexpr std::string_view SInitialFactPattern = "Initial-Fact";
inline constexpr std::string_view SInitialFact = "(Initial-Fact)";
inline constexpr std::string_view SNullFact = "__NOT-OR-TEST-CE*";
inline constexpr std::string_view SSlotVar = "?__var";
inline constexpr std::string_view SMultiSlotVar = "$?__var";
inline constexpr std::string_view SFunctionError = "%s error: %s";
inline constexpr std::string_view CommentFormat = "%s";
inline constexpr std::string_view SyntaxFormat = "     syntax: %s";
inline constexpr std::string_view CLIPSSyntaxFormat = "(%s)";
inline constexpr int32_t LocalBindingIndex = -2;
inline constexpr int32_t NoSubIndex = -1;
inline constexpr std::string_view IndentString = "    ";
inline constexpr std::string_view NewLineString = "\r\n";
inline constexpr int DefaultPrintMargin = 200;

// --- other enumerations ------------------------------------------------------------------------
PLATFORM_ENUM(TSearchStrategy, ssDepthFirst, ssBreadthFirst)
PLATFORM_ENUM(TSalience, sActivate, sEveryTime)
PLATFORM_ENUM(TErrorHandling, ehRaiseImmediate, ehRaiseAllAtEnd)
PLATFORM_ENUM(TDuplicateConstructs, dcOverwrite, dcIgnore, dcError)
PLATFORM_ENUM(TTokenAction, taClear, taAdd, taRemove, taUpdate)
PLATFORM_ENUM(TTypeCheck, tcStatic, tcDynamic)
using TTypeChecks = platform::TSet<TTypeCheck, 2>;
PLATFORM_ENUM(TConstructWatch, cwActivation, cwFact, cwRule, cwCompilation, cwStatistics)
using TConstructWatches = platform::TSet<TConstructWatch, 5>;
PLATFORM_ENUM(TValueConstraint, vcAtom, vcString, vcInteger, vcFloat)
using TValueConstraints = platform::TSet<TValueConstraint, 4>;
PLATFORM_ENUM(TTemplateSlotType, tstSlot, tstMultiSlot)
// A join test compares whole slots (tstSlot) or may address single fields of multislots
// (tstMultiSlot).  The two kinds carry the same names and ordinals as the template slot kinds, and
// unscoped enumerators cannot be declared twice, so the join test type is the same enumeration.
using TJoinTestType = TTemplateSlotType;
// The sense of a slot test: the constraint must hold (sttEquals) or must not (sttNotEquals).
PLATFORM_ENUM(TSlotTestType, sttEquals, sttNotEquals)
PLATFORM_ENUM(TRuleConstruct, rcPattern, rcAction)
PLATFORM_ENUM(TIEDialogOption, doNew, doOpen, doSave, doSaveAs, doPrint, doPrintSetup)
using TIEDialogOptions = platform::TSet<TIEDialogOption, 6>;
PLATFORM_ENUM(TValidView, vvAgenda, vvFacts, vvFactTemplates, vvRules)
using TValidViews = platform::TSet<TValidView, 4>;
PLATFORM_ENUM(TValidAction, vaFileNew, vaFileOpen, vaFileSave, vaFileSaveAs, vaEditTypes, vaEditFacts,
              vaEditFactTemplates, vaEditRules, vaIERun, vaIERunOneStep, vaIEReset)
using TValidActions = platform::TSet<TValidAction, 11>;

// The text type of every construct name.
using TIEName = std::string;

// --- shared operations -------------------------------------------------------------------------

// The enumerator name of a kind, prefix included ("dtAtom").
std::string GetIETypeName(TIEType Type);

// Members of a type set in ordinal order without the "dt" prefix, joined by Separator,
// optionally wrapped in "[" and "]".
std::string SetToString(TIETypes Types, std::string_view Separator, bool Brackets);
// The general form: any enumeration, a set of up to 32 members, StripCount leading characters
// removed from each name.
std::string SetToString(const platform::TEnumInfo& Enumeration, uint32_t SetValue,
                        std::string_view Separator, int StripCount, bool Brackets);
// Reads a set back from its text; an unknown item raises platform::Exception
// ("Invalid item for set: %s").  Items with ordinals above 31 are ignored.
uint32_t StringToSet(std::string_view Text, const platform::TEnumInfo& Enumeration,
                     std::string_view NamePrefix);

// The string hash of the whole system (case-sensitive).  Texts of 16 characters and more are
// sampled at eight-ish evenly spaced positions, so long texts hash in constant time.
constexpr uint32_t CalculateHash(std::string_view Text) noexcept {
  uint32_t Hash = 0;
  const size_t Len = Text.size();
  const size_t Step = Len < 16 ? 1 : Len / 8;
  for (size_t I = 0; I < Len; I += Step) Hash = Hash * 31u + static_cast<unsigned char>(Text[I]);
  return Hash;
}
// Folds the characters at 1-based positions 1, 1+Step, 1+2*Step, ... (Step below 1 counts as 1).
constexpr uint32_t CalculateHash(std::string_view Text, int Step) noexcept {
  uint32_t Hash = 0;
  const size_t S = Step < 1 ? 1 : static_cast<size_t>(Step);
  for (size_t I = 0; I < Text.size(); I += S) Hash = Hash * 31u + static_cast<unsigned char>(Text[I]);
  return Hash;
}

// |A - B| <= 0.0001.  The third operand is accepted for call compatibility and ignored.
inline constexpr double FloatTolerance = 0.0001;
bool FloatEquals(float A, float B, float Unused = 0) noexcept;
bool FloatEquals(double A, double B, double Unused = 0) noexcept;
bool FloatEquals(long double A, long double B, long double Unused = 0) noexcept;

// Removes one pair of surrounding double quotes; backslash escapes are left as they are.
std::string IEStringToString(std::string_view Text);
// 1-based position of the first character of Text that occurs in Characters, or 0.
int ContainsCharacters(std::string_view Text, std::string_view Characters) noexcept;
// Text without any character that occurs in Characters.
std::string StringFilter(std::string_view Text, std::string_view Characters);
// The argument part of a function's syntax line: optional arguments appear as nested brackets.
std::string CreateArgumentExpressions(std::string_view ArgumentDescription, int MinCount,
                                      int MaxCount, int Limit);

}  // namespace rulecore
