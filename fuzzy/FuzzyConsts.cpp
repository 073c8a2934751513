#include "FuzzyConsts.h"

#include "platform/Format.h"

namespace vaguecore {

namespace {

// Index of S in Table, or -1.
template <size_t N>
int Find(const std::array<std::string_view, N>& Table, std::string_view S) noexcept {
  for (size_t I = 0; I < N; ++I)
    if (Table[I] == S) return static_cast<int>(I);
  return -1;
}

std::string Bracketed(std::string_view Name) {
  if (Name.find(' ') == std::string_view::npos) return std::string(Name);
  std::string R;
  R.reserve(Name.size() + 2);
  R += '[';
  R += Name;
  R += ']';
  return R;
}

}  // namespace

bool IsFuzzyHedge(std::string_view S) noexcept { return Find(HedgeNames, S) >= 0; }

bool IsFuzzyHedge(std::string_view S, TFuzzyHedge& Hedge) noexcept {
  const int I = Find(HedgeNames, S);
  if (I < 0) return false;
  Hedge = static_cast<TFuzzyHedge>(I);
  return true;
}

bool IsFuzzyHedgeOperator(std::string_view S) noexcept {
  TBaseFuzzyHedge Ignored;
  bool OnY;
  return IsFuzzyHedgeOperator(S, Ignored, OnY);
}

bool IsFuzzyHedgeOperator(std::string_view S, TBaseFuzzyHedge& BaseHedge, bool& OnY) noexcept {
  int I = Find(BaseHedgeNames, S);
  bool Plain = true;
  if (I < 0 && S.size() > BaseHedgeXSuffix.size() && S.ends_with(BaseHedgeXSuffix)) {
    I = Find(BaseHedgeNames, S.substr(0, S.size() - BaseHedgeXSuffix.size()));
    Plain = false;
  }
  if (I < 0) return false;
  BaseHedge = static_cast<TBaseFuzzyHedge>(I);
  OnY = Plain;
  return true;
}

bool IsFuzzyKeyword(std::string_view S, bool& IsUnion, TFuzzyOperation& Operation) noexcept {
  for (unsigned I = 0; I < FuzzyOperationCount; ++I) {
    if (FuzzyIntersectionKeywords[I] == S || FuzzyUnionKeywords[I] == S) {
      IsUnion = FuzzyIntersectionKeywords[I] != S;
      Operation = static_cast<TFuzzyOperation>(I);
      return true;
    }
  }
  return false;
}

bool IsFuzzyOperation(std::string_view S, TFuzzyOperation& Operation) noexcept {
  const int I = Find(FuzzyOperationNames, S);
  if (I < 0) return false;
  Operation = static_cast<TFuzzyOperation>(I);
  return true;
}

bool IsFuzzyInference(std::string_view S, TFuzzyInferenceMethod& Method) noexcept {
  const int I = Find(FuzzyInferenceNames, S);
  if (I < 0) return false;
  Method = static_cast<TFuzzyInferenceMethod>(I);
  return true;
}

bool IsFuzzyCorrelation(std::string_view S, TFuzzyCorrelationMethod& Method) noexcept {
  const int I = Find(FuzzyCorrelationNames, S);
  if (I < 0) return false;
  Method = static_cast<TFuzzyCorrelationMethod>(I);
  return true;
}

bool IsFuzzyReservedWord(std::string_view S) noexcept {
  bool IsUnion;
  TFuzzyOperation Operation;
  return IsFuzzyKeyword(S, IsUnion, Operation) || IsFuzzyHedgeOperator(S) || IsFuzzyHedge(S);
}

std::string FormatFuzzyExpression(std::string_view S) {
  if (S.find(' ') == std::string_view::npos) return std::string(S);
  std::string R;
  R.reserve(S.size() + 2);
  R += '(';
  R += S;
  R += ')';
  return R;
}

std::string CreateFuzzyName(TFuzzyHedge Hedge, std::string_view Name) {
  const unsigned I = static_cast<unsigned>(Hedge);
  std::string R(I < FuzzyHedgeCount ? HedgeNames[I] : std::string_view());
  R += ' ';
  R += Bracketed(Name);
  return R;
}

std::string CreateFuzzyName(std::string_view Name1, std::string_view Name2, std::string_view Op) {
  std::string R = Bracketed(Name1);
  R += ' ';
  R += Op;
  R += ' ';
  R += Bracketed(Name2);
  return R;
}

std::string CreateFuzzyName(std::string_view Name, std::string_view Op, TFzyFloat Value) {
  return platform::Format("%s %s ", {Bracketed(Name), Op}) + platform::Format(SFuzzyNumberFormat, {Value});
}

const char* VagueCoreVersion() noexcept { return "0.1.0"; }

}  // namespace vaguecore
