#include "IEPrettyPrinter.h"

#include <cmath>

#include "core/facts/FactsHost.h"
#include "core/functions/IEFunctionCall.h"
#include "core/network/NetworkHost.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

const std::string IND(IndentString);
const std::string NL(NewLineString);

// A bound written as an integer, the unbounded markers as ?VARIABLE.
std::string BoundText(double Value, bool Unbounded) {
  if (Unbounded) return std::string(STypeVariableKeyword);
  int32_t I = 0;
  const bool Whole = TruncToInteger(Value, I) && static_cast<double>(I) == Value;
  // Display shows a bound truncated; saved text must read back as the bound itself.
  if (!Whole && TExactNumbers::Active()) return ExactFloatText(Value);
  if (!TruncToInteger(Value, I)) I = Value < 0 ? INT32_MIN : INT32_MAX;
  return std::to_string(I);
}

std::string UnitsClause(const std::string& Units) {
  if (Units.find(' ') != std::string::npos) return IND + "(units \"" + Units + "\")" + NL;
  return IND + "(units " + Units + ")" + NL;
}

std::string RangeClause(const TIEDefinedType& T) {
  if (!T.GetRangeLimited()) return {};
  return IND + "(range " + BoundText(T.GetMinRange(), T.GetMinRange() == TIEDefinedType::DefaultMinRange) + " " +
         BoundText(T.GetMaxRange(), T.GetMaxRange() == TIEDefinedType::DefaultMaxRange) + ") " + NL;
}

std::string CardinalityClause(const TIEDefinedType& T) {
  if (!T.GetCardinalityLimited()) return {};
  return IND + "(cardinality " + BoundText(T.GetMinCardinality(), T.GetMinCardinality() < 0) + " " +
         BoundText(T.GetMaxCardinality(), T.GetMaxCardinality() == TIEDefinedType::DefaultMaxCardinality) + ") " +
         NL;
}

std::string Clauses(const TIEDefinedType& T) {
  if (T.GetFuzzyType()) return PrettyPrintFuzzyClauses(*T.GetFuzzyType());
  const TIEDefinedType* Parent = T.GetAncestor().get();
  std::string Text;
  // A clause the parent already states is inherited and not repeated.
  auto Add = [&](const std::string& Own, const std::string& Inherited) {
    if (!Own.empty() && (!Parent || Own != Inherited)) Text += Own;
  };
  Add(RangeClause(T), Parent ? RangeClause(*Parent) : std::string());
  Add(T.GetUnits().empty() ? std::string() : UnitsClause(T.GetUnits()),
      Parent && !Parent->GetUnits().empty() ? UnitsClause(Parent->GetUnits()) : std::string());
  Add(CardinalityClause(T), Parent ? CardinalityClause(*Parent) : std::string());
  Add(GetAllowedString(T), Parent ? GetAllowedString(*Parent) : std::string());
  return Text;
}

}  // namespace

namespace {

// A coordinate of a fuzzy set: four decimals for display, exact when saving.
std::string F4(double V) { return TExactNumbers::Active() ? ExactFloatText(V) : platform::Format("%.4f", {V}); }

// Mean of the X of the highest points (vertices only), without touching the set.
double MeanOfMaximaOf(const vaguecore::TFuzzySetValues& V) {
  double Max = -1, Sum = 0;
  int Count = 0;
  for (int I = 0; I < V.GetCount(); ++I) {
    const double Y = V.GetYValue(I);
    if (Count > 0 && vaguecore::FloatEquals(Y, Max)) {
      Sum += V.GetXValue(I);
      ++Count;
    } else if (Y > Max) {
      Max = Y;
      Sum = V.GetXValue(I);
      Count = 1;
    }
  }
  return Count ? Sum / Count : 0;
}

bool SymmetricAbout(const vaguecore::TFuzzySetValues& V, double C) {
  const int N = V.GetCount();
  for (int I = 0; I < N; ++I) {
    const int J = N - 1 - I;
    if (!vaguecore::FloatEquals(V.GetXValue(I) + V.GetXValue(J), 2 * C)) return false;
    if (!vaguecore::FloatEquals(V.GetYValue(I), V.GetYValue(J))) return false;
  }
  return true;
}

std::string PointsText(const vaguecore::TFuzzySetValues& V) {
  std::string Text = "(";
  for (int I = 0; I < V.GetCount(); ++I) Text += "(" + F4(V.GetXValue(I)) + " " + F4(V.GetYValue(I)) + ") ";
  return Text + ")";
}

}  // namespace

std::string FuzzyShapeText(const vaguecore::TIFuzzySet& Set) {
  using namespace vaguecore;
  const TFuzzySetValues& V = Set.GetValues();
  const int N = V.GetCount();
  if (N == 0 || Set.GetSetType() == fstUserDefined)
    return Set.GetExpression().empty() ? PointsText(V) : Set.GetExpression();
  const double First = V.GetXValue(0), Last = V.GetXValue(N - 1);
  switch (Set.GetSetType()) {
    case fstTriangle:
      if (N >= 3) return "(tri " + F4(First) + " " + F4(V.GetXValue(1)) + " " + F4(V.GetXValue(2)) + ")";
      return PointsText(V);
    case fstDeclineCurve: return "(z " + F4(First) + " " + F4(Last) + ")";
    case fstGrowthCurve: return "(s " + F4(First) + " " + F4(Last) + ")";
    case fstPICurve: {
      const double C = MeanOfMaximaOf(V);
      if (SymmetricAbout(V, C)) return "(pi " + F4(C) + " " + F4(C - First) + ")";
      return "(pi " + F4(First) + " " + F4(C) + " " + F4(Last) + ")";
    }
    case fstBetaCurve: {
      const double C = MeanOfMaximaOf(V);
      const double Width = C - First;
      std::string Text = "(beta " + F4(C) + " " + F4(Width);
      const double Beta = Set.GetInflectionPoint();
      if (std::fabs(Beta - (First + Width / 2)) > 0.0001) Text += " " + F4(Beta);
      if (N > 1 && Beta != 0) {
        // The weight, computed back from the second point of the curve.
        const double Y = V.GetYValue(1), D = (V.GetXValue(1) - C) / Beta;
        if (Y > 0 && D != 0) {
          const double Weight = (1 / Y - 1) / (D * D);
          if (std::fabs(Weight - 1) > 0.0001) Text += " " + F4(Weight);
        }
      }
      return Text + ")";
    }
    case fstUserDefined: break;
  }
  return PointsText(V);
}

std::string PrettyPrint(const vaguecore::TIFuzzySet& Set, bool WithTerm) {
  if (!WithTerm) return Set.GetName();
  return "(term " + Set.GetName() + " " + FuzzyShapeText(Set) + ")";
}

std::string PrettyPrintFuzzyClauses(const vaguecore::TIFuzzyVariable& Variable) {
  std::string Text = IND + "(range " + F4(Variable.GetMinimum()) + " " + F4(Variable.GetMaximum()) + ")" + NL;
  if (!Variable.GetUnits().empty()) Text += UnitsClause(Variable.GetUnits());
  Text += IND + "(values " + NL;
  for (const vaguecore::IFuzzySet& Term : Variable.TermsInOrder()) Text += IND + IND + PrettyPrint(*Term, true) + NL;
  return Text + IND + ")";
}

std::string TypeListText(TIETypes Types) {
  std::string Text;
  Types.ForEach([&](TIEType T) {
    if (!Text.empty()) Text += ' ';
    Text += platform::UpperCase(GetIETypeName(T).substr(2));
  });
  return Text;
}

std::string TypeKeywordsText(TIETypes Types) {
  // Every slot kind reads back from ?VARIABLE; variables and calls are always allowed and have
  // no keyword of their own.
  if ((Types & IESlotTypes) == IESlotTypes) return std::string(STypeVariableKeyword);
  return TypeListText(Types - IEAlwaysValidTypes);
}

std::string PrettyPrint(const TIEDefinedType& Type) {
  if (Type.GetImplicit()) return "(type " + TypeKeywordsText(Type.GetBaseTypes()) + ")" + NL + Clauses(Type);
  std::string Text = "(deftype " + Type.GetName() + " ";
  if (!Type.GetComment().empty()) Text += NL + IND + "\"" + Type.GetComment() + "\"" + NL + IND;
  Text += "extends (type ";
  if (const TIEDefinedType* Parent = Type.GetAncestor().get())
    Text += Parent->GetName() + " " + TypeListText(Type.GetBaseTypes() - Parent->GetBaseTypes() - IEAlwaysValidTypes);
  else
    Text += TypeKeywordsText(Type.GetBaseTypes());
  Text += ")" + NL + Clauses(Type) + ")";
  return Text;
}

// The printer of templates, facts, fact sets, patterns, defined types, rules and calls that
// belong to no engine.
namespace {

class TFactsPrinter final : public IFactsPrinter {
 public:
  TFactsPrinter() noexcept {
    SetFactsPrinter(this);
    SetDefinedTypePrinter([](const TIEDefinedType& Type) { return PrettyPrint(Type); });
    SetRulePrinter([](const TRule& Rule) { return PrettyPrint(Rule); });
    SetCallPrinter([](const TFunctionCall& Call, bool SlotPairs) { return PrettyPrint(Call, SlotPairs); });
  }
  std::string PrintFact(const TFact& Fact) override { return PrettyPrint(Fact); }
  std::string PrintFactSlot(const TFactSlot& Slot) override { return PrettyPrint(Slot); }
  std::string PrintFactTemplate(const TFactTemplate& Template) override { return PrettyPrint(Template); }
  std::string PrintFactSet(const TFactSet& Set) override { return PrettyPrint(Set); }
  std::string PrintPattern(const TIEPattern& Pattern) override { return PrettyPrint(Pattern); }
};

// Registered as the library loads.
TFactsPrinter Printer;

}  // namespace

}  // namespace rulecore
