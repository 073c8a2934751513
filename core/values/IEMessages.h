// The message catalogue of the engine library.  Every failure the engine raises uses one of
// these texts, formatted printf-style; hosts display them and match on them, so the texts are
// kept exactly as published, including doubled blanks and the two literal "&s" markers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Format.h"

namespace rulecore {

// clang-format off
#define IE_MESSAGES(X) \
  X(SNotCorrectType, "Not a %s type.  Value (%s) is a %s type")\
  X(SInvalidValueType, "Value and type mismatch")\
  X(SUncloneableValue, "Uncloneable value.  Value owned an object of &s class type")\
  X(SNoContext, "No context found when trying to resolve a %s value")\
  X(SCorruptedVariable, "Corrupted Binding, variable not found: %s")\
  X(SInvalidPtr, "Invalid destruction of pointer reference, reference counting greater than 0")\
  X(SMultifieldLengthMismatch, "Invalid multifield arguments, the two multifields must be of the same length")\
  X(SInvalidMFParameters, "Invalid multifield begin and end parameters: %d, %d")\
  X(SInvalidSubstrParameters, "Invalid substring parameters: %d, %d")\
  X(SNotAllowedValue, "Not in allowed values")\
  X(SListCardinalityError, "Multislot must have between %d and %d elements")\
  X(SOutOfRangeError, "Range must be between %.4f and %.4f")\
  X(SInvalidValue, "Value \"%s\" is not valid, %s")\
  X(SInvalidSlotValue, "%s for %s slot")\
  X(SNotCorrectSlotType, "Slot %s does not contain a %s.  Value Type is %s")\
  X(SNoSuchConstraint, "Defined Type %s does not have %s constraints")\
  X(SInvalidConstraint, "Defined Type %s cannot contain %s constraint types")\
  X(SEmptyBaseTypes, "Empty base type for defined type not allowed")\
  X(SCannotMixFuzzy, "Cannot mix fuzzy type with other primitive types")\
  X(SMissingRange, "Missing range statement")\
  X(SMissingAllowedEnumeration, "Expected allowed value argument for deftype, received %s")\
  X(STypeInheritanceLoop, "Type inheritance loop detected, %s type cannot be an ancestor of itself")\
  X(SNoMultiTypeInheritance, "Multiple inheritance is not allowed for deftypes")\
  X(STypeInheritanceCorrupt, "Defined types inheritance structure corrupted")\
  X(SMissingParentDefinedTypeName, "Missing name of parent defined type to extend")\
  X(SUnknownTypeName, "type name unknown or invalid: %s")\
  X(SInvalidLowHiLimits, "Invalid low and high limits specified: %.4f to %.4f")\
  X(SDBTypeMismatch, "Defined type not valid for database field of type: %s")\
  X(SDBMultiSlotNotString, "Fields that are Multislots must be of type string")\
  X(SNoTemplate, "Fact Template is missing")\
  X(SUnknownFactTemplate, "Unknown fact template: %s")\
  X(SFactTemplatesDifferent, "Unable to assign slot values, fact templates are different: %s and %s")\
  X(SNoSuchSlot, "No such slot in fact template: %s")\
  X(SInvalidSlotName, "No such slot name: \"%s\"")\
  X(SInvalidSlotType, "Invalid slot type: %s")\
  X(SBadSlotType, "Bad Slot Type")\
  X(SBadSlotName, "Bad Slot Name: %s")\
  X(SBadSlotValue, "Bad Slot Value: %s")\
  X(SInvalidSlotDefault, "Invalid default slot value: %s")\
  X(SInvalidDefaultMultislotValue, "Invalid default value for a multislot, must be a multifield: %s")\
  X(SInvalidMultiSlotType, "no types are allowed for multislots")\
  X(SInvalidExistingSlotChange, "Invalid value for existing slot, slot is not multislot")\
  X(SInvalidExistingMultiSlotChange, "Invalid value for existing slot, multislot is not slot")\
  X(SNotMultiSlot, "Slot \"%s\" is not a multislot")\
  X(SCannotChangeID, "Illegal Attempt to change Fact Id")\
  X(SNoSuchFact, "No Such Fact with ID=%s exists")\
  X(SFactTemplateInheritanceCorrupt, "Fact templates inheritance structure corrupted")\
  X(SMissingParentTemplateName, "Missing name of parent template to extend")\
  X(SMissingIsaTypeName, "Missing name of type for fact template")\
  X(SNoIndexNameMatch, "Index does not match fact slot name: %s and %s")\
  X(SAtomNotEquals, "\"=\" cannot appear as an atom within a fact")\
  X(SFuzzyDefinitionError, "Invalid attempt to modify fuzzy type in fact template slot, fuzzy types cannot be modified")\
  X(SMissingFactSet, "Empty fact set property")\
  X(SDuplicateDefTypeNames, "Defined Type Name already exists: \"%s\"")\
  X(SDuplicateFunctionNames, "Function Name already exists: \"%s\"")\
  X(SDuplicateTemplateNames, "Fact Template Name already exists: \"%s\"")\
  X(SDuplicateRuleNames, "Duplicate Rules defined with same name: \"%s\"")\
  X(SDuplicateStreamNames, "Duplicate streams defined with same name: \"%s\"")\
  X(SInvalidFunctionAdd, "Cannot add nil to user functions")\
  X(SNoRule, "No Rule exists with name: %s")\
  X(SMissingRule, "Missing Rule cannot be edited")\
  X(SUnknownEngine, "Unknown/Undefined Inference Engine")\
  X(SInvalidStreamName, "Invalid stream name: %s")\
  X(SInvalidFileAccess, "Invalid File Access Specifier: \"%s\"")\
  X(SCannotWatch, "Cannot watch %s")\
  X(SCannotUnWatch, "Cannot unwatch %s")\
  X(SNoReadFunctionWarning, "The %s event has not been implemented or unassigned.\r\nWarning: Implementation of this function requires a blocking mechanism, \r\nsuch as ShowModal, or the use of threads")\
  X(SInvalidAddObject, "Invalid object being added: \"%s\" instead of \"%s\"")\
  X(SUnknownName, "Unknown %s name: %s")\
  X(SUnknownIEClassName, "Unknown class name: %s")\
  X(SMissingComponent, "Expected component argument to %s function call")\
  X(SBackChainCE, "Cannot backchain on special CEs: %s")\
  X(SBackChainFuncallPatterns, "Cannot use Function calls in backchained patterns: %s")\
  X(SInvalidBackchainPattern, "Invalid backward chaining pattern added to the node")\
  X(SCorruptedToken, "Corrupted Token, Negated Count is less than 0")\
  X(SInvalidTokenAction, "Invalid Token Action")\
  X(SInvalidCallType, "Invalid Call Type: %s")\
  X(SInvalidAgendaItem, "Invalid object, agenda can only accept TActivation objects")\
  X(SPatternMatchError, " for pattern match = ")\
  X(SNegatedVariable, "First Use of Variable is negated, variable name is %s")\
  X(SInvalidPatternBinding, "Cannot bind a negated pattern to a variable")\
  X(SInvalidTestBinding, "\"not\" and \"test\" CEs cannot be bound to variables")\
  X(SPatternRuleMissing, "Rule missing for pattern")\
  X(SNestedNotCEs, "Nested Not CEs not allowed yet")\
  X(SNestingTooDeep, "Nesting too deep, stopped at %s")\
  X(SNoSuchFunction, "Function is unimplemented or unassigned: %s")\
  X(STooFewArgs, "Too few arguments for %s")\
  X(STooManyArgs, "Too many arguments for %s")\
  X(SInvalidArgType, "Invalid argument type for deffunction: \"%s\".  Expected %s")\
  X(SWrongFunctionName, "Function names do not match: %s and %s")\
  X(SBadArgument, "Bad Argument: %s")\
  X(SMissingNumeric, "Expected numeric argument to %s function call")\
  X(SMissingCatchStatement, "Missing catch or finally statement for try block")\
  X(SMissingThen, "Missing \"then\" in an IF statement")\
  X(SUndefinedFuzzyVariable, "fuzzy variable is not defined")\
  X(SMissingFuzzyOperand, "Missing fuzzy operand to be modified by hedge: %s")\
  X(SInvalidFuzzyToken, "Invalid item in fuzzy expression: %s")\
  X(SNeedFuzzyType, "Fuzzy Type Definition needed to parse value")\
  X(SDifferentFuzzyVariables, "Fuzzy variables are different, %s is a term from %s and %s is a term from %s")\
  X(SInvalidFuzzyUnionTemplate, "Cannot union two facts with different fact templates: %s and %s")\
  X(SNotFuzzyFact, "Fact is not a fuzzy fact")\
  X(SInvalidFuzzyCorrelation, "Invalid Fuzzy Correlation specified (%s), expected %s")\
  X(SInvalidFuzzyInference, "Invalid Fuzzy Inference specified (%s), expected %s")\
  X(SInvalidIEFuzzyOperation, "Invalid Fuzzy operation specified (%s) for %s, expected %s")\
  X(SInvalidFuzzyExpression, "Invalid Fuzzy Expression: %s")\
  X(SInvalidFuzzyValue, "invalid fuzzy value")\
  X(SMissingFuzzySetValues, "Missing fuzzy set \"values\" statement")\
  X(SMissingFuzzyCloseBracket, "Missing Fuzzy Close Bracket in expression")\
  X(SExpectedFuzzySet, "Expected \"( term\"")\
  X(SParseTypeError, "Unable to parse strings of %s at this time")\
  X(SMultipleParseError, "Errors parsing stream:\r\n%s")\
  X(SNoParser, "No parser specified")\
  X(SParseError, "Parsing Error, %s in %s at line %s: %s")\
  X(SUnexpectedEOF, "Unexpected end of stream")\
  X(SUnexpectedCharacter, "Unexpected character found: \"%s\"")\
  X(SUnexpectedCharacters, "&s contains unexpected character: \"%c\"")\
  X(SUnknownVariable, "Unknown variable name: %s")\
  X(SExpectedParenConstVar, "Unexpected symbol, expected a \"(\", constant, or global variable: %s")\
  X(SSyntaxError, "Syntax Error: %s")\
  X(SMissingDeffactsName, "Missing Fact Set name")\
  X(SMissingTemplateName, "Missing Fact Template name")\
  X(SMissingName, "Missing name")\
  X(SInvalidTokenHint, "Invalid Token hint for parsing token: %s")\
  X(SExpectedDefGlobal, "Expected \"( defglobal\"")\
  X(SExpectedDefFunction, "Expected \"( deffunction\"")\
  X(SExpectedDefRule, "Expected \"( defrule\"")\
  X(SExpectedDefTemplate, "Expected \"( deftemplate\"")\
  X(SExpectedDefType, "Expected \"( deftype\"")\
  X(SExpectedDeffacts, "Expected \"( deffacts\"")\
  X(SExpectedExtends, "Expected \"(\", \"extends\", or \"is-a\"")\
  X(SExpectedSalience, "Expected \"salience\"")\
  X(SExpectedRuleProperty, "Expected rule property, salience, oneshot, or enabled")\
  X(SExpectedNumVarFun, "Expected number, variable, or function call")\
  X(SExpectedIntVarFun, "Expected integer, variable, or function call for %s")\
  X(SExpectedAssignment, "Expected \"<-\"")\
  X(SExpectedKeyword, "Missing keyword.  Expected \"%s\"")\
  X(SExpectedChar, "Expected \"%s\"")\
  X(SExpectedValue, "Expected value missing")\
  X(SExpectedAtom, "Expected \"( <atom>\"")\
  X(SExpectedEqGT, "Expected \"=>\"")\
  X(SInvalidRuleFmt, "Invalid Rule Format (%s): %s")\
  X(SInvalidSlotQualifier, "Invalid slot qualifier: %s")\
  X(SBadValue, "Bad Value for %s")\
  X(SBadVariableName, "Bad Variable Name, must start and end with an asterisk: %s")\
  X(SUnterminatedString, "Invalid string value, string was not terminated")\
  X(SMissingOpenParens, "Expected \"(\"")\
  X(SMissingCloseParens, "Expected \")\"")\
  X(SInvalidName, "Invalid expert system name, \"%s\", name must not contain any of the following characters:  '\"#()[]?:$&;<>")\
  X(SInvalidVariableName, "Invalid expert system name, \"%s\", name must not contain any of the following characters:  '\"#()[]:$&;<>")\
  X(SInvalidSetItem, "Invalid item for set: %s")
// clang-format on

enum TIEMessage : uint16_t {
#define IE_MESSAGE_ID(Id, Text) Id,
  IE_MESSAGES(IE_MESSAGE_ID)
#undef IE_MESSAGE_ID
  IEMessageCount
};

// The text of a message, looked up when the message is raised.
const char* MessageText(TIEMessage Id) noexcept;
// The identifier's own name ("SNoSuchFact"), for diagnostics and tests.
const char* MessageName(TIEMessage Id) noexcept;

inline std::string FormatMessage(TIEMessage Id, std::initializer_list<platform::TFormatArg> Args = {}) {
  return platform::Format(MessageText(Id), Args);
}

}  // namespace rulecore
