// The text plot of fuzzy values: a 21-row by 50-column character canvas of the memberships
// over [From, To], with a legend, row labels, an axis and the universe of discourse, written to
// a logical name one line per PrintOut.  Depends on the engine's output and the fuzzy library.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "InferenceEngine.h"
#include "core/values/IEConsts.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

constexpr int PlotRows = 21;  // memberships 0, 0.05, ... 1
constexpr int PlotColumns = 50;

// Whole number nearest to X, halves going to the even neighbour whatever the floating-point
// rounding mode is.
double RoundHalfEven(double X) {
  double Whole = 0;
  const double Fraction = std::modf(X, &Whole);
  if (std::fabs(Fraction) != 0.5) return std::round(X);
  return std::fmod(Whole, 2.0) == 0 ? Whole : Whole + std::copysign(1.0, X);
}

// The canvas row of a membership.  Results of unbounded operations ("sum") may pass 1: they are
// drawn on the top row rather than outside the canvas.
int RowOf(double Membership) {
  const double Row = RoundHalfEven(Membership * (PlotRows - 1));
  if (!(Row > 0)) return 0;  // also NaN
  return Row >= PlotRows - 1 ? PlotRows - 1 : static_cast<int>(Row);
}

}  // namespace

void TInferenceEngine::PlotFuzzySet(const std::string& LogicalName, const IFuzzySet& Value, double From,
                                    double To, const std::string& PlotChars) {
  PlotFuzzySet(LogicalName, std::vector<IFuzzySet>{Value}, From, To, PlotChars);
}

void TInferenceEngine::PlotFuzzySet(const std::string& LogicalName, const std::vector<IFuzzySet>& Values,
                                    double From, double To, const std::string& PlotChars) {
  std::array<std::string, PlotRows> Canvas;
  Canvas.fill(std::string(PlotColumns, ' '));
  const double Step = (To - From) / PlotColumns;
  std::string Legend;
  for (size_t K = 0; K < Values.size(); ++K) {
    const IFuzzySet& Set = Values[K];
    if (!Set) continue;
    // Values beyond the characters given share the last one; with none given, "*".
    const char Mark = K < PlotChars.size() ? PlotChars[K] : PlotChars.empty() ? '*' : PlotChars.back();
    Legend += " " + Set->GetName() + "(" + Mark + ")";
    for (int J = 1; J <= PlotColumns; ++J) {
      const double X = From + (J - 1) * Step;
      Canvas[static_cast<size_t>(RowOf(Set->DegreeOfMembership(X)))][static_cast<size_t>(J - 1)] = Mark;
    }
  }

  const auto Line = [&](const std::string& Text) { PrintOut(LogicalName, Text + std::string(NewLineString)); };
  const IFuzzyVariable Variable = !Values.empty() && Values.front() ? Values.front()->GetVariable() : nullptr;
  if (Variable) Line("Fuzzy Variable: " + Variable->GetName());
  Line("Fuzzy Values:" + Legend);
  Line("");
  for (int Row = PlotRows - 1; Row >= 0; --Row)
    Line(platform::Format("%.4f", {static_cast<double>(Row) / (PlotRows - 1)}) + Canvas[static_cast<size_t>(Row)]);
  Line("    |----|----|----|----|----|----|----|----|----|----|");
  const double W = (To - From) / 5;
  Line(platform::Format("%7.2f %9.2f %9.2f %9.2f %9.2f %9.2f", {From, From + W, From + 2 * W, From + 3 * W,
                                                               From + 4 * W, To}));
  Line("");
  if (Variable)
    Line(platform::Format("Universe of Discourse: From %0.2f to %.2f", {Variable->GetMinimum(), Variable->GetMaximum()}));
}

}  // namespace rulecore
