// The canonical rule-language text of constructs.  Every construct prints back to text that the
// parser reads into an equal construct; saving, listing and the editors use these functions.
// The engine and the parser forward their PrettyPrint methods here.
#pragma once

#include <string>

#include "core/values/IEDefinedType.h"

namespace rulecore {

// A deftype (explicit type) or the inline type clauses of a slot (implicit type).
std::string PrettyPrint(const TIEDefinedType& Type);

// The type list of a type set: enumerator names without "dt", upper case, blank-separated.
std::string TypeListText(TIETypes Types);

// The clauses of a fuzzy type: range, units and the terms (also the text of a fuzzy variable).
std::string PrettyPrintFuzzyClauses(const vaguecore::TIFuzzyVariable& Variable);
inline std::string PrettyPrint(const vaguecore::TIFuzzyVariable& Variable) { return PrettyPrintFuzzyClauses(Variable); }
// A fuzzy set: its name, or with WithTerm "(term name shape)".
std::string PrettyPrint(const vaguecore::TIFuzzySet& Set, bool WithTerm);
// The shape part of a set: the generating call for generated shapes, else its expression or points.
std::string FuzzyShapeText(const vaguecore::TIFuzzySet& Set);

}  // namespace rulecore
