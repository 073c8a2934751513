// The engine's fuzzy classes: TIEFuzzySet, a fuzzy set that also compares itself with the
// engine's values (a crisp number matches a set to the degree of its membership there), and
// TIEFuzzyVariable, a linguistic variable whose terms are such sets.  Every fuzzy value the
// engine makes is a TIEFuzzySet, so that pattern matching can compare fuzzy slots with numbers.
// Depends on the value layer and the fuzzy library.
#pragma once

#include <string>

#include "IEValue.h"
#include "fuzzy/IFuzzyLogic.h"

namespace rulecore {

using vaguecore::IFuzzySet;
using vaguecore::IFuzzyVariable;
using vaguecore::TFzyFloat;

class TIEFuzzySet : public vaguecore::TIFuzzySet {
  PLATFORM_CLASS(TIEFuzzySet, vaguecore::TIFuzzySet)
 public:
  TIEFuzzySet() = default;
  TIEFuzzySet(const IFuzzyVariable& Variable, const std::string& Name) : TIFuzzySet(Variable, Name) {}

  // Other a fuzzy set, or a dtFuzzy value: the merge walk meets min(Y1, Y2) >= the variable's
  // threshold.  An integer or float value: the membership there is above the threshold.
  // Anything else: false.
  using TIFuzzySet::Equals;
  bool Equals(const platform::TCloneable* Other) const override;
  // The height of the intersection with a set (or dtFuzzy value), the membership at a number,
  // 0 for anything else.
  TFzyFloat FuzzyEquals(const platform::TCloneable* Other) const override;
  // The set's rule-language text: its name (a term, a derived name such as "very hot", the text
  // of a number, a shape call or a singletons list), which reads back as the value.  Names
  // round their numbers to four decimals, so while numbers are written exactly (saving) a set
  // that is not one of its variable's terms is written as its exact points.  No parser is
  // needed, so a value printed after its engine is gone still prints.
  std::string GetToString() const override;
};

class TIEFuzzyVariable : public vaguecore::TIFuzzyVariable {
  PLATFORM_CLASS(TIEFuzzyVariable, vaguecore::TIFuzzyVariable)
 public:
  explicit TIEFuzzyVariable(std::string Name = "");
};

// A new engine fuzzy set: of Variable (not a term of it), named Name.
IFuzzySet NewFuzzySet(const IFuzzyVariable& Variable, const std::string& Name);

}  // namespace rulecore
