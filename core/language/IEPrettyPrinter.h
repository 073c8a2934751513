// The canonical rule-language text of constructs.  Every construct prints back to text that the
// parser reads into an equal construct; saving, listing and the editors use these functions.
// The engine and the parser forward their PrettyPrint methods here.
#pragma once

#include <string>

#include "core/values/IEDefinedType.h"

namespace rulecore {

class TFact;
class TFactSlot;
class TFactTemplate;
class TFactSet;
class TFunctionCall;
class TIEUserFunction;
class TInterpretedFunction;
class TRule;
class TValueHashTable;
class TSingletonsVector;

// A deftype (explicit type) or the inline type clauses of a slot (implicit type).
std::string PrettyPrint(const TIEDefinedType& Type);

// The type list of a type set: enumerator names without "dt", upper case, blank-separated.
std::string TypeListText(TIETypes Types);

// The type keywords that read back as Types: ?VARIABLE for every slot kind.
std::string TypeKeywordsText(TIETypes Types);
// The clauses of a fuzzy type: range, units and the terms (also the text of a fuzzy variable).
std::string PrettyPrintFuzzyClauses(const vaguecore::TIFuzzyVariable& Variable);
inline std::string PrettyPrint(const vaguecore::TIFuzzyVariable& Variable) { return PrettyPrintFuzzyClauses(Variable); }
// A fuzzy set: its name, or with WithTerm "(term name shape)".
std::string PrettyPrint(const vaguecore::TIFuzzySet& Set, bool WithTerm);
// The shape part of a set: the generating call for generated shapes, else its expression or points.
std::string FuzzyShapeText(const vaguecore::TIFuzzySet& Set);

// A fact: "(" template-name, the slots with text, ")"; without a template its values.
std::string PrettyPrint(const TFact& Fact);
// One slot of a fact: "(slot value)", the value alone for an ordered fact, empty for an empty value.
std::string PrettyPrintSlotValue(const TFact& Fact, std::string_view SlotName);
std::string PrettyPrintSlotValue(const TFactTemplate& Template, std::string_view SlotName, std::string_view ValueText);
// A slot definition: "(slot name ...)" or "(multislot name ...)".
std::string PrettyPrint(const TFactSlot& Slot);
// A deftemplate.
std::string PrettyPrint(const TFactTemplate& Template);
// A deffacts.
std::string PrettyPrint(const TFactSet& Set);
// A function call; with SlotPairs ("modify", "duplicate") the arguments after the first are
// written in parentheses.
std::string PrettyPrint(const TFunctionCall& Call, bool SlotPairs);
// The help line of a function: "(name pattern)".
std::string SyntaxStatement(const TIEUserFunction& Function);
// A built-in function as help comment lines; a deffunction as its construct.
std::string PrettyPrint(const TIEUserFunction& Function, std::string_view Syntax);
std::string PrettyPrint(const TIEUserFunction& Function);
std::string PrettyPrint(const TInterpretedFunction& Function);
// A defrule.
std::string PrettyPrint(const TRule& Rule);
// One part of a rule as the defrule writes it: its patterns (each indented, one per line, with
// no line end after the last) or its actions (each indented and ending the line).
std::string PrettyPrint(const TRule& Rule, TRuleConstruct Part);
// A point list: "((x y) (x y) )", empty when it has no points.
std::string PrettyPrint(const TSingletonsVector& Vector);
// A defglobal of every entry of the table, in the table's order.
std::string PrettyPrintGlobalVariables(const TValueHashTable& Globals);
// One global: "?name = value" ("?" added when missing).
std::string PrettyPrintGlobalVariable(std::string_view Name, const IIEValue& Value);
// A value as rule-language text: its text form, except that nil (the atom with the empty text)
// is written "nil", also inside lists, so that reading the text again does not lose it, and a
// point list is enclosed in parentheses.
std::string SourceText(const IIEValue& Value);
// A comment as a block of "; " lines, each ending in a line break (empty for no comment).
std::string CommentBlock(std::string_view Comment);
// Text with every inner line break followed by the indent (for nesting a construct's lines).
std::string IndentInnerLines(std::string_view Text);

class TIEPattern;
// A pattern of a rule's left-hand side.  Slots that print no test get the bare wildcard.  A
// pattern without a template raises SNoTemplate.
std::string PrettyPrint(const TIEPattern& Pattern);

}  // namespace rulecore
