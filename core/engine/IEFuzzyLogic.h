// The engine side of fuzzy logic, for the functions and the host: where a fact keeps its fuzzy
// value, and the fuzzy set a value of the rule language stands for.  The engine's own fuzzy
// operations (expressions, inference, correlation, plots) are members of TInferenceEngine.
#pragma once

#include "core/facts/Fact.h"
#include "core/values/IEFuzzySet.h"
#include "core/values/IEValue.h"
#include "fuzzy/FuzzyConsts.h"

namespace rulecore {

class TInferenceEngine;
class TIEContext;

// The fuzzy set of the fact's first fuzzy slot (in the order of its values), or nothing when it
// has none: a list gives its first element's set; a number becomes the crisp set of the slot's
// fuzzy variable; any other value its AsFuzzy.
IFuzzySet GetFuzzySlot(TFact& Fact, TInferenceEngine* Engine);

// Value resolved in Context: an integer or fact id names a fact of the context's engine ("No
// Such Fact with ID=%s exists"), whose first fuzzy slot gives the set ("Fact is not a fuzzy
// fact"); so does a fact; any other value gives its AsFuzzy.
IFuzzySet GetFuzzySetFromValue(const IIEValue& Value, TIEContext* Context);

// The set operation a fuzzy inference method combines facts with.
vaguecore::TFuzzyOperation InferenceOperation(vaguecore::TFuzzyInferenceMethod Method) noexcept;

}  // namespace rulecore
