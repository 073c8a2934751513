// Micro-benchmarks of built-in function calls as rules evaluate them: a flat "+", a nested
// arithmetic expression, a predicate over a nested call, a float function and a string
// concatenation.  Calls are built once and resolved on their first run, as in a compiled rule.
#include <benchmark/benchmark.h>

#include <string>

#include "core/engine/InferenceEngine.h"
#include "core/functions/MathPackage.h"
#include "core/functions/PredicatePackage.h"
#include "core/functions/StandardPackage.h"
#include "core/functions/StringPackage.h"
#include "core/network/IEContext.h"

using namespace rulecore;
using platform::MakeRef;

namespace {

TInferenceEngine& Engine() {
  static TInferenceEngine* E = [] {
    auto* Engine = new TInferenceEngine;
    new TStandardPackage(Engine);
    new TMathPackage(Engine);
    new TPredicatePackage(Engine);
    new TStringPackage(Engine);
    return Engine;
  }();
  return *E;
}

IFunCall Call(const std::string& Name, std::initializer_list<IIEValue> Arguments) {
  IFunCall C = MakeRef<TFunctionCall>(&Engine(), Name);
  for (const IIEValue& A : Arguments) C->AddArgument(A);
  return C;
}

IIEValue Nest(const std::string& Name, std::initializer_list<IIEValue> Arguments) {
  return MakeRef<TIEValue>(Call(Name, Arguments));
}

void Evaluate(benchmark::State& S, const IFunCall& C) {
  TIEContext* Context = Engine().GetContext();
  IIEValue Result;
  for (auto _ : S) {
    C->Execute(Context, Result);
    benchmark::DoNotOptimize(Result.get());
  }
}

// (+ 1 2)
void BM_AddTwoIntegers(benchmark::State& S) { Evaluate(S, Call("+", {NewInteger(1), NewInteger(2)})); }
BENCHMARK(BM_AddTwoIntegers);

// (* (+ 1 2) (- 5 3))
void BM_NestedArithmetic(benchmark::State& S) {
  Evaluate(S, Call("*", {Nest("+", {NewInteger(1), NewInteger(2)}), Nest("-", {NewInteger(5), NewInteger(3)})}));
}
BENCHMARK(BM_NestedArithmetic);

// (evenp (+ 1 1))
void BM_PredicateOverCall(benchmark::State& S) {
  Evaluate(S, Call("evenp", {Nest("+", {NewInteger(1), NewInteger(1)})}));
}
BENCHMARK(BM_PredicateOverCall);

// (sqrt (+ 1.5 2.5))
void BM_FloatFunction(benchmark::State& S) {
  Evaluate(S, Call("sqrt", {Nest("+", {NewFloat(1.5), NewFloat(2.5)})}));
}
BENCHMARK(BM_FloatFunction);

// (str-cat "count-" 42)
void BM_StringConcat(benchmark::State& S) { Evaluate(S, Call("str-cat", {NewString("count-"), NewInteger(42)})); }
BENCHMARK(BM_StringConcat);

// (< 1 2 3) and (eq a a b)
void BM_ChainedComparison(benchmark::State& S) {
  Evaluate(S, Call("<", {NewInteger(1), NewInteger(2), NewInteger(3)}));
}
BENCHMARK(BM_ChainedComparison);

void BM_EqualityTest(benchmark::State& S) { Evaluate(S, Call("eq", {NewAtom("a"), NewAtom("a"), NewAtom("b")})); }
BENCHMARK(BM_EqualityTest);

// A recursive deffunction: (fib 15), 1973 calls of fib, each with an "if", a comparison and
// arithmetic.
void BM_RecursiveDeffunction(benchmark::State& S) {
  static const bool Defined = [] {
    Engine().Parse("(deffunction fib (?n) (if (< ?n 2) then ?n else (+ (fib (- ?n 1)) (fib (- ?n 2)))))", false);
    return true;
  }();
  (void)Defined;
  Evaluate(S, Engine().ParseFunCall("(fib 15)"));
}
BENCHMARK(BM_RecursiveDeffunction);

}  // namespace

BENCHMARK_MAIN();
