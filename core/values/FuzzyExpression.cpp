#include "FuzzyExpression.h"

#include "core/values/IEException.h"

namespace rulecore {

using namespace vaguecore;

TFuzzyExpressionItem ClassifyFuzzyItem(const IIEValue& Item) {
  TFuzzyExpressionItem R;
  R.Value = Item;
  if (!Item || (Item->GetDType() != dtAtom && Item->GetDType() != dtString)) return R;
  const std::string_view Text = Item->GetText();
  R.Text = std::string(Text);
  if (Text == "[") {
    R.Kind = fikOpenBracket;
  } else if (Text == "]") {
    R.Kind = fikCloseBracket;
  } else if (IsFuzzyHedge(Text, R.Hedge)) {
    R.Kind = fikHedge;
  } else if (IsFuzzyHedgeOperator(Text, R.BaseHedge, R.OnY)) {
    R.Kind = fikBaseOperator;
  } else if (IsFuzzyKeyword(Text, R.IsUnion, R.Operation)) {
    R.Kind = fikKeyword;
  }
  return R;
}

namespace {

// Priorities of the conversion: an operator on the stack goes to the output while the incoming
// operator's input priority is at least its stack priority.
int StackPriority(TFuzzyItemKind K) {
  switch (K) {
    case fikOpenBracket: return 4;
    case fikKeyword:
    case fikBaseOperator: return 3;
    case fikHedge: return 2;
    default: return 0;
  }
}

int InputPriority(TFuzzyItemKind K) {
  switch (K) {
    case fikOpenBracket: return 0;
    case fikKeyword:
    case fikBaseOperator: return 3;
    case fikHedge: return 1;
    default: return 0;
  }
}

void FinishExpression(std::vector<TFuzzyExpressionItem>& Output, std::vector<TFuzzyExpressionItem>& Stack,
                      std::vector<std::vector<TFuzzyExpressionItem>>& Result) {
  while (!Stack.empty()) {
    if (Stack.back().Kind == fikOpenBracket) RaiseIE(SMissingFuzzyCloseBracket);
    Output.push_back(std::move(Stack.back()));
    Stack.pop_back();
  }
  if (!Output.empty()) Result.push_back(std::move(Output));
  Output.clear();
}

}  // namespace

std::vector<std::vector<TFuzzyExpressionItem>> FuzzyExpressionToPostfix(const TValueVector& Items) {
  std::vector<std::vector<TFuzzyExpressionItem>> Result;
  std::vector<TFuzzyExpressionItem> Output, Stack;
  bool AfterOperand = false;  // the previous item was an operand or "]"
  for (const IIEValue& Value : Items) {
    TFuzzyExpressionItem Item = ClassifyFuzzyItem(Value);
    switch (Item.Kind) {
      case fikOperand:
        if (AfterOperand) FinishExpression(Output, Stack, Result);
        Output.push_back(std::move(Item));
        AfterOperand = true;
        break;
      case fikCloseBracket: {
        bool Matched = false;
        while (!Stack.empty()) {
          TFuzzyExpressionItem Top = std::move(Stack.back());
          Stack.pop_back();
          if (Top.Kind == fikOpenBracket) {
            Matched = true;
            break;
          }
          Output.push_back(std::move(Top));
        }
        if (!Matched) RaiseIE(SInvalidFuzzyExpression, {"]"});
        AfterOperand = true;
        break;
      }
      default:
        while (!Stack.empty() && InputPriority(Item.Kind) >= StackPriority(Stack.back().Kind)) {
          Output.push_back(std::move(Stack.back()));
          Stack.pop_back();
        }
        Stack.push_back(std::move(Item));
        AfterOperand = false;
        break;
    }
  }
  FinishExpression(Output, Stack, Result);
  return Result;
}

namespace {

IFuzzySet Pop(std::vector<IFuzzySet>& Stack, const std::string& Operator) {
  if (Stack.empty()) RaiseIE(SMissingFuzzyOperand, {Operator});
  IFuzzySet Top = std::move(Stack.back());
  Stack.pop_back();
  return Top;
}

// Hedges change their operand: a named term is copied first so that it never changes.
IFuzzySet Modifiable(IFuzzySet Set) { return Set->GetDefined() ? Set->Clone() : Set; }

}  // namespace

IFuzzySet EvaluatePostfix(const IFuzzyVariable& Variable, const std::vector<TFuzzyExpressionItem>& Postfix,
                          IFuzzyOperandEvaluator& Operands) {
  std::vector<IFuzzySet> Stack;
  for (const TFuzzyExpressionItem& Item : Postfix) {
    switch (Item.Kind) {
      case fikOperand: Stack.push_back(Operands.EvaluateOperand(Variable, Item.Value)); break;
      case fikHedge: {
        IFuzzySet Set = Modifiable(Pop(Stack, Item.Text));
        Set->Hedge(Item.Hedge);
        Stack.push_back(std::move(Set));
        break;
      }
      case fikBaseOperator: {
        // The right operand is a number; a crisp value stands for the mean of its maxima.
        IFuzzySet Right = Pop(Stack, Item.Text);
        const double Amount = Right->MeanOfMaxima();
        IFuzzySet Left = Modifiable(Pop(Stack, Item.Text));
        Left->Hedge(Item.BaseHedge, Amount, Item.OnY);
        Stack.push_back(std::move(Left));
        break;
      }
      case fikKeyword: {
        IFuzzySet Right = Pop(Stack, Item.Text);
        IFuzzySet Left = Pop(Stack, Item.Text);
        Stack.push_back(Item.IsUnion ? Left->Union(*Right, Item.Operation) : Left->Intersection(*Right, Item.Operation));
        break;
      }
      case fikOpenBracket:
      case fikCloseBracket: RaiseIE(SMissingFuzzyCloseBracket);
    }
  }
  if (Stack.empty()) RaiseIE(SInvalidFuzzyValue);
  return Stack.back();
}

IIEValue EvaluateFuzzyExpression(const IFuzzyVariable& Variable, const TValueVector& Items,
                                 IFuzzyOperandEvaluator& Operands) {
  const auto Expressions = FuzzyExpressionToPostfix(Items);
  if (Expressions.empty()) return platform::MakeRef<TIEValue>();
  if (Expressions.size() == 1) return platform::MakeRef<TIEValue>(EvaluatePostfix(Variable, Expressions[0], Operands));
  IValueVector Values = NewList();
  for (const auto& Postfix : Expressions)
    Values->Add(platform::MakeRef<TIEValue>(EvaluatePostfix(Variable, Postfix, Operands)));
  return platform::MakeRef<TIEValue>(Values);
}

IFuzzySet CrispFuzzySet(const IFuzzyVariable& Variable, double X) {
  IFuzzySet Set = NewFuzzySet(Variable, FloatToText(X));
  TFuzzySetValues& Points = Set->GetValues();
  Points.BeginUpdate();
  Points.Add(X, 0);
  Points.Add(X, 1);
  Points.Add(X, 0);
  Points.EndUpdate();
  return Set;
}

IFuzzySet TFuzzyOperands::EvaluateOperand(const IFuzzyVariable& Variable, const IIEValue& Item) {
  const TIEType Kind = Item ? Item->GetDType() : dtNone;
  switch (Kind) {
    case dtNone:
      if (!Variable) RaiseIE(SUndefinedFuzzyVariable);
      return Variable->GetEmptyFuzzySet();
    case dtAtom:
    case dtString: {
      if (!Variable) RaiseIE(SUndefinedFuzzyVariable);
      const std::string_view Name = Item->GetText();
      if (Name.empty() || Name == SEmptyFuzzySetName) return Variable->GetEmptyFuzzySet();
      IFuzzySet Term = Variable->GetFuzzySet(Name);
      if (!Term) RaiseIE(SInvalidFuzzyToken, {Name});
      return Term;
    }
    case dtInteger:
    case dtFloat: return CrispFuzzySet(Variable, Item->GetAsFloat());
    case dtList: return EvaluateFuzzyExpression(Variable, *Item->GetAsList(), *this)->GetAsFuzzy();
    case dtFuzzy: {
      IFuzzySet Set = Item->GetAsFuzzy();
      if (!Set->GetVariable() && Variable) Set->SetVariable(Variable);
      return Set;
    }
    case dtVariable:
    case dtMultiVariable:
    case dtFunCall:
    case dtSingletons: {
      IIEValue Resolved = Item->Resolve(Context_);
      if (!Resolved || Resolved.get() == Item.get()) RaiseIE(SInvalidFuzzyToken, {Item->GetToString()});
      return EvaluateOperand(Variable, Resolved);
    }
    default: RaiseIE(SInvalidFuzzyToken, {Item->GetToString()});
  }
}

}  // namespace rulecore
