// Linguistic expressions: a list of items such as  very hot or not cold  or  [hot or cold] and
// medium  evaluated to fuzzy values of one fuzzy variable.
//
// Items are values as the reader delivers them: operands (term names, numbers, variables,
// calls, nested lists, singletons, fuzzy values), hedges written before their operand, the
// and/or keyword families and the base operators (hot * 0.5, hot +X 10) as infix operators,
// and the brackets "[" and "]".  Hedges bind tighter than every infix operator and associate to
// the right; all infix operators share one level and associate to the left.  An operand that
// directly follows an operand or "]" starts a new expression, so one list may hold several.
#pragma once

#include <string>
#include <vector>

#include "core/values/IEValue.h"
#include "core/values/IEFuzzySet.h"
#include "core/values/ValueVector.h"
#include "fuzzy/IFuzzyLogic.h"

namespace rulecore {

using vaguecore::IFuzzySet;
using vaguecore::IFuzzyVariable;

PLATFORM_ENUM(TFuzzyItemKind, fikOperand, fikHedge, fikBaseOperator, fikKeyword, fikOpenBracket, fikCloseBracket)

struct TFuzzyExpressionItem {
  TFuzzyItemKind Kind = fikOperand;
  IIEValue Value;  // the item as written
  vaguecore::TFuzzyHedge Hedge = vaguecore::fhNot;
  vaguecore::TBaseFuzzyHedge BaseHedge = vaguecore::bfhAdd;
  bool OnY = true;
  bool IsUnion = false;
  vaguecore::TFuzzyOperation Operation = vaguecore::foZadeh;
  std::string Text;  // the operator's text, for messages
};

// Classifies one item.
TFuzzyExpressionItem ClassifyFuzzyItem(const IIEValue& Item);

// The expressions of a list, each in postfix order.  An unclosed "[" raises
// "Missing Fuzzy Close Bracket in expression".
std::vector<std::vector<TFuzzyExpressionItem>> FuzzyExpressionToPostfix(const TValueVector& Items);

// Turns one operand into a fuzzy set of the variable.  The engine provides its own (with its
// parser and context); TFuzzyOperands evaluates everything that needs no engine.
class IFuzzyOperandEvaluator {
 public:
  virtual IFuzzySet EvaluateOperand(const IFuzzyVariable& Variable, const IIEValue& Item) = 0;

 protected:
  ~IFuzzyOperandEvaluator() = default;
};

// Evaluates a list: one fuzzy value, a list of fuzzy values when the list holds several
// expressions, or the empty value for an empty list.
IIEValue EvaluateFuzzyExpression(const IFuzzyVariable& Variable, const TValueVector& Items,
                                 IFuzzyOperandEvaluator& Operands);
// Evaluates one expression given in postfix order.
IFuzzySet EvaluatePostfix(const IFuzzyVariable& Variable, const std::vector<TFuzzyExpressionItem>& Postfix,
                          IFuzzyOperandEvaluator& Operands);

// Operands: nothing, an empty name or "__Empty" give the variable's empty set; a name gives its
// term; a number x the crisp singleton (x 0) (x 1) (x 0); a nested list its expression's value;
// a fuzzy value itself; variables, calls and singletons are resolved in Context first.
class TFuzzyOperands : public IFuzzyOperandEvaluator {
 public:
  explicit TFuzzyOperands(platform::TObject* Context = nullptr) : Context_(Context) {}
  IFuzzySet EvaluateOperand(const IFuzzyVariable& Variable, const IIEValue& Item) override;

 private:
  platform::TObject* Context_;
};

// A crisp value as a fuzzy set of the variable: the singleton spike at X.
IFuzzySet CrispFuzzySet(const IFuzzyVariable& Variable, double X);

}  // namespace rulecore
