// Fuzzy values and fuzzy facts in the engine.
//
// Contents
//   1. Values      - linguistic expressions evaluated for a variable; the set a value stands for
//   2. Combining   - union and intersection of values and of facts (fuzzy inference)
//   3. Correlation - an asserted fuzzy fact limited by the strength of the rule that asserts it
//   4. Assertion   - the fuzzy branch of Assert, and Assert under another inference method
#include <algorithm>

#include "IEFuzzyLogic.h"
#include "InferenceEngine.h"
#include "core/values/FuzzyExpression.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IEContext.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"

namespace rulecore {

using vaguecore::TFuzzyOperation;

namespace {

// The fuzzy variable of a template's fuzzy slot, or nothing.
IFuzzyVariable VariableOf(const TFactSlot& Slot) {
  const IIEDefinedType& Type = Slot.GetExtendedTypeInfo();
  return Type ? Type->GetFuzzyType() : nullptr;
}

// Operands as the plain evaluator reads them; a set that comes out without a variable (a
// number's crisp set, a shape, a singletons list) belongs to the expression's variable.
class TEngineOperands final : public IFuzzyOperandEvaluator {
 public:
  explicit TEngineOperands(TIEContext* Context) : Plain_(Context) {}
  IFuzzySet EvaluateOperand(const IFuzzyVariable& Variable, const IIEValue& Item) override {
    IFuzzySet Set = Plain_.EvaluateOperand(Variable, Item);
    if (Set && !Set->GetVariable() && Variable) Set->SetVariable(Variable);
    return Set;
  }

 private:
  TFuzzyOperands Plain_;
};

// Each fuzzy value of Value (one, or the elements of a list) given Variable and Parser when it
// has none.
void Adopt(const IIEValue& Value, const IFuzzyVariable& Variable, vaguecore::IFuzzyParser* Parser) {
  if (!Value) return;
  if (Value->GetDType() == dtList) {
    for (const IIEValue& Element : *Value->GetAsList()) Adopt(Element, Variable, Parser);
    return;
  }
  if (Value->GetDType() != dtFuzzy) return;
  IFuzzySet Set = Value->GetAsFuzzy();
  if (!Set->GetVariable() && Variable) Set->SetVariable(Variable);
  if (!Set->GetParser()) Set->SetParser(Parser);
}

// A copy of Set for Value's place in a fact: anonymous, so that the fact never shares a named
// term or a value another fact holds.
IIEValue CopyOf(const IFuzzySet& Set) {
  IFuzzySet Copy = Set->Clone();
  Copy->SetDefined(false);
  return platform::MakeRef<TIEValue>(Copy);
}

// Value1 op Value2 as a new value, or nothing when the two cannot be combined.
template <class TCombine>
IIEValue Combined(const TIEValue& Value1, const TIEValue& Value2, TCombine&& Combine) {
  if (Value1.GetDType() != Value2.GetDType()) return nullptr;
  if (Value1.GetDType() == dtFuzzy)
    return platform::MakeRef<TIEValue>(Combine(*Value1.GetAsFuzzy(), *Value2.GetAsFuzzy()));
  if (Value1.GetDType() != dtList) return nullptr;
  const IValueVector A = Value1.GetAsList();
  const IValueVector B = Value2.GetAsList();
  if (A->GetValueCount() != B->GetValueCount()) return nullptr;
  IValueVector Result = NewList();
  Result->Reserve(A->GetValueCount());
  for (int I = 0; I < A->GetValueCount(); ++I) {
    const IIEValue& X = A->Get(I);
    const IIEValue& Y = B->Get(I);
    if (X && Y && X->GetDType() == dtFuzzy && Y->GetDType() == dtFuzzy)
      Result->Add(platform::MakeRef<TIEValue>(Combine(*X->GetAsFuzzy(), *Y->GetAsFuzzy())));
    else
      Result->Add(X);
  }
  return platform::MakeRef<TIEValue>(Result);
}

}  // namespace

// =============================================================================================
// 1. Values
// =============================================================================================

vaguecore::TFuzzyOperation InferenceOperation(vaguecore::TFuzzyInferenceMethod Method) noexcept {
  switch (Method) {
    case vaguecore::fimMinMax: return vaguecore::foZadeh;
    case vaguecore::fimAdditive: return vaguecore::foSum;
    case vaguecore::fimMean: return vaguecore::foMean;
    case vaguecore::fimProduct: return vaguecore::foProduct;
    case vaguecore::fimBoundedSum: return vaguecore::foBoundedSum;
  }
  return vaguecore::foZadeh;
}

IFuzzyVariable TInferenceEngine::NewFuzzyVariable(const std::string& Name) {
  return platform::MakeRef<TIEFuzzyVariable>(Name);
}

std::string TInferenceEngine::PrettyPrint(const vaguecore::TIFuzzySet& Set, bool WithTerm) {
  return rulecore::PrettyPrint(Set, WithTerm);
}

std::string TInferenceEngine::PrettyPrint(const vaguecore::TIFuzzyVariable& Variable) {
  return PrettyPrintFuzzyClauses(Variable);
}

std::string TInferenceEngine::PrettyPrint(const TSingletonsVector& Vector) { return rulecore::PrettyPrint(Vector); }

IIEValue TInferenceEngine::EvalFuzzyExpression(const IFuzzyVariable& Variable, const TValueVector& Items,
                                               TIEContext* Context) {
  TEngineOperands Operands(Context ? Context : Context_.get());
  IIEValue Result = EvaluateFuzzyExpression(Variable, Items, Operands);
  Adopt(Result, Variable, this);
  return Result;
}

IIEValue TInferenceEngine::EvalFuzzyExpression(const IFuzzyVariable& Variable, const IIEValue& Value,
                                               TIEContext* Context) {
  if (Value && Value->GetDType() == dtList) return EvalFuzzyExpression(Variable, *Value->GetAsList(), Context);
  TEngineOperands Operands(Context ? Context : Context_.get());
  IIEValue Result = platform::MakeRef<TIEValue>(Operands.EvaluateOperand(Variable, Value));
  Adopt(Result, Variable, this);
  return Result;
}

IIEValue TInferenceEngine::EvalFuzzyExpression(const IFuzzyVariable& Variable, const std::string& Text,
                                               TIEContext* Context) {
  return EvalFuzzyExpression(Variable, ParseValue(Text), Context);
}

IFuzzySet TInferenceEngine::ParseFuzzyExpression(const IFuzzyVariable& Variable, const std::string& Text) {
  const IIEValue Value = EvalFuzzyExpression(Variable, Text, Context_.get());
  if (!Value || Value->GetDType() != dtFuzzy) RaiseIE(SInvalidFuzzyExpression, {Text});
  return Value->GetAsFuzzy();
}

IIEValue TInferenceEngine::FuzzySlotValue(const TFactSlot& Slot, const IIEValue& Value, TIEContext* Context) {
  const IFuzzyVariable Variable = VariableOf(Slot);
  if (!Variable) RaiseIE(SNeedFuzzyType);
  IIEValue Result;
  if (Value && Value->GetDType() == dtFuzzy) {
    Result = Value;
    Adopt(Result, Variable, this);
  } else if (Value && (Value->GetDType() == dtString || Value->GetDType() == dtAtom) &&
             !Variable->ContainsFuzzySet(Value->GetText())) {
    // Quoted text, or an atom that is no term: a whole expression ("very hot"), read as items
    // even when it is one word, so that a lone hedge is an operator missing its operand.
    IIEValue Items = ParseValue(std::string(Value->GetText()));
    if (!Items || Items->GetDType() != dtList) {
      IValueVector One = NewList();
      if (Items) One->Add(Items);
      Items = platform::MakeRef<TIEValue>(One);
    }
    Result = EvalFuzzyExpression(Variable, *Items->GetAsList(), Context);
  } else {
    Result = EvalFuzzyExpression(Variable, Value, Context);
  }
  if (!Result || (Result->GetDType() != dtFuzzy && Result->GetDType() != dtList))
    RaiseIE(SInvalidFuzzyExpression, {Value ? Value->GetToString() : std::string()});
  // A multislot holds a list of fuzzy values; a single slot one value.
  if (Slot.IsMultiSlot() && Result->GetDType() == dtFuzzy) {
    IValueVector One = NewList();
    One->Add(Result);
    return platform::MakeRef<TIEValue>(One);
  }
  if (!Slot.IsMultiSlot() && Result->GetDType() == dtList)
    RaiseIE(SInvalidFuzzyExpression, {Value ? Value->GetToString() : std::string()});
  return Result;
}

IFuzzySet GetFuzzySlot(TFact& Fact, TInferenceEngine* Engine) {
  const TFactValues& Values = Fact.GetSlotValues();
  for (int I = 0; I < Values.Count(); ++I) {
    const TFactValues::TEntry& Entry = Values.Entry(I);
    if (!Entry.Slot || !Entry.Slot->IsFuzzy() || !Entry.Value) continue;
    IIEValue Value = Entry.Value;
    if (Value->GetDType() == dtList) {
      const IValueVector List = Value->GetAsList();
      if (List->GetValueCount() == 0) return nullptr;
      Value = List->Get(0);
    }
    if (Value->GetDType() == dtInteger || Value->GetDType() == dtFloat) {
      const IFuzzyVariable Variable = VariableOf(*Entry.Slot);
      if (!Engine || !Variable) return Value->GetAsFuzzy();
      return Engine->EvalFuzzyExpression(Variable, Value, nullptr)->GetAsFuzzy();
    }
    return Value->GetAsFuzzy();
  }
  return nullptr;
}

IFuzzySet GetFuzzySetFromValue(const IIEValue& Value, TIEContext* Context) {
  const IIEValue Resolved = Value ? Value->Resolve(Context) : Value;
  if (!Resolved) return nullptr;
  TInferenceEngine* Engine = Context ? Context->GetEngine() : nullptr;
  IFact Fact;
  switch (Resolved->GetDType()) {
    case dtInteger:
    case dtFactId:
      if (Engine) Fact = Engine->FactAt(*Resolved);
      if (!Fact) RaiseIE(SNoSuchFact, {Resolved->GetToString()});
      break;
    case dtFact: Fact = Resolved->GetAsFact(); break;
    default: return Resolved->GetAsFuzzy();
  }
  IFuzzySet Set = Fact ? GetFuzzySlot(*Fact, Engine) : nullptr;
  if (!Set) RaiseIE(SNotFuzzyFact);
  return Set;
}

// =============================================================================================
// 2. Combining
// =============================================================================================

void TInferenceEngine::FuzzyUnion(IIEValue& Value1, const TIEValue& Value2, TFuzzyOperation Operation) {
  if (!Value1) return;
  if (IIEValue Result = Combined(*Value1, Value2, [Operation](const vaguecore::TIFuzzySet& A,
                                                               const vaguecore::TIFuzzySet& B) {
        return A.Union(B, Operation);
      }))
    Value1 = std::move(Result);
}

void TInferenceEngine::FuzzyIntersection(IIEValue& Value1, const TIEValue& Value2, TFuzzyOperation Operation) {
  if (!Value1) return;
  if (IIEValue Result = Combined(*Value1, Value2, [Operation](const vaguecore::TIFuzzySet& A,
                                                               const vaguecore::TIFuzzySet& B) {
        return A.Intersection(B, Operation);
      }))
    Value1 = std::move(Result);
}

void TInferenceEngine::FuzzyOperation(TFact& Fact1, const TFact& Fact2, bool IsUnion) {
  const IFactTemplate& Template = Fact1.GetTemplate();
  if (!Template || Template != Fact2.GetTemplate())
    RaiseIE(SInvalidFuzzyUnionTemplate, {Template ? Template->GetTemplateName() : std::string(),
                                         Fact2.GetTemplate() ? Fact2.GetTemplate()->GetTemplateName() : std::string()});
  if (!Template->IsFuzzy()) RaiseIE(SNotFuzzyFact);
  const TFuzzyOperation Operation = InferenceOperation(FuzzyInferenceMethod_);
  // Every result first, then the fact: a failed operation leaves it as it was.
  std::vector<std::pair<std::string, IIEValue>> Results;
  TFact& Other = const_cast<TFact&>(Fact2);  // reading a slot may fill it with its default
  for (const IFactSlot& Slot : Template->GetSlots()) {
    if (!Slot->IsFuzzy()) continue;
    IIEValue Value = Fact1.GetValue(Slot->GetName());
    const IIEValue& With = Other.GetValue(Slot->GetName());
    if (!Value || !With) continue;
    if (IsUnion)
      FuzzyUnion(Value, *With, Operation);
    else
      FuzzyIntersection(Value, *With, Operation);
    Results.emplace_back(Slot->GetName(), std::move(Value));
  }
  for (auto& [Name, Value] : Results) Fact1.SetValue(Name, Value);
}

void TInferenceEngine::FuzzyInference(const IFact& Fact1, const IFact& Fact2) {
  bool Done = false;
  if (OnFuzzyInference) OnFuzzyInference(this, Fact1, Fact2, Done);
  if (!Done) FuzzyOperation(*Fact1, *Fact2, true);
}

// =============================================================================================
// 3. Correlation
// =============================================================================================

void TInferenceEngine::FuzzyCorrelation(const IFact& Fact, float Strength) {
  if (Strength == 1.0f) return;
  bool Done = false;
  if (OnFuzzyCorrelation) OnFuzzyCorrelation(this, Fact, Strength, Done);
  if (Done) return;
  const IFactTemplate& Template = Fact->GetTemplate();
  if (!Template || !Template->IsFuzzy()) RaiseIE(SNotFuzzyFact);
  const vaguecore::TBaseFuzzyHedge Base =
      FuzzyCorrelationMethod_ == vaguecore::fcmProduct ? vaguecore::bfhMultiply : vaguecore::bfhCutGreater;
  const auto Limited = [&](const IIEValue& Value) -> IIEValue {
    if (!Value || Value->GetDType() != dtFuzzy) return Value;
    IIEValue Copy = CopyOf(Value->GetAsFuzzy());
    Copy->GetAsFuzzy()->Hedge(Base, Strength, true);
    return Copy;
  };
  for (const IFactSlot& Slot : Template->GetSlots()) {
    if (!Slot->IsFuzzy()) continue;
    const IIEValue& Value = Fact->GetValue(Slot->GetName());
    if (!Value) continue;
    if (Value->GetDType() == dtList) {
      IValueVector List = NewList();
      for (const IIEValue& Element : *Value->GetAsList()) List->Add(Limited(Element));
      Fact->SetValue(Slot->GetName(), platform::MakeRef<TIEValue>(List));
    } else {
      Fact->SetValue(Slot->GetName(), Limited(Value));
    }
  }
}

// =============================================================================================
// 4. Assertion
// =============================================================================================

int32_t TInferenceEngine::Assert(const IFact& Fact, vaguecore::TFuzzyInferenceMethod Method, bool Unconditional) {
  if (Method == FuzzyInferenceMethod_) return Assert(Fact, Unconditional);
  struct TRestore {
    vaguecore::TFuzzyInferenceMethod& Setting;
    vaguecore::TFuzzyInferenceMethod Saved;
    ~TRestore() { Setting = Saved; }
  } Restore{FuzzyInferenceMethod_, FuzzyInferenceMethod_};
  FuzzyInferenceMethod_ = Method;
  return Assert(Fact, Unconditional);
}

void TInferenceEngine::CombineFuzzyFact(const IFact& Fact, bool Unconditional) {
  // A fact asserted again is taken out first: its values are about to change, and working
  // memory holds each fact once.
  if (const int Self = Facts_->IndexOf(Fact.get()); Self >= 0) RetractFact(Self);
  if (Current_) FuzzyCorrelation(Fact, Current_->GetStrength());
  const int Existing = Facts_->FindFact(*Fact);
  if (Existing < 0) return;
  const IFact Old = Facts_->Get(Existing);
  if (Unconditional)
    FuzzyOperation(*Fact, *Old, false);
  else
    FuzzyInference(Fact, Old);
  RetractFact(Existing);
}

}  // namespace rulecore
