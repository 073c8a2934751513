// Micro-benchmarks of the fuzzy library: union, intersection, the comparison walk fuzzy matching
// uses, and membership, on sets of 7 and 200 points.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "fuzzy/FuzzyLogic.h"

using namespace vaguecore;

namespace {

// Two overlapping PI curves of N points over [0, 100].
struct TPair {
  explicit TPair(int N) {
    A.CreatePIFunctionValues(N, 30, 40);
    B.CreatePIFunctionValues(N, 30, 60);
  }
  TFuzzySet A, B;
};

void BM_Union(benchmark::State& S) {
  TPair P(static_cast<int>(S.range(0)));
  for (auto _ : S) benchmark::DoNotOptimize(P.A.Union(P.B));
}
BENCHMARK(BM_Union)->Arg(7)->Arg(200);

void BM_Intersection(benchmark::State& S) {
  TPair P(static_cast<int>(S.range(0)));
  for (auto _ : S) benchmark::DoNotOptimize(P.A.Intersection(P.B));
}
BENCHMARK(BM_Intersection)->Arg(7)->Arg(200);

void BM_UnionProduct(benchmark::State& S) {
  TPair P(static_cast<int>(S.range(0)));
  for (auto _ : S) benchmark::DoNotOptimize(P.A.Union(P.B, foProduct));
}
BENCHMARK(BM_UnionProduct)->Arg(7)->Arg(200);

// The height of the intersection through Iterate, as a fuzzy pattern match measures it.
void BM_IterateHeight(benchmark::State& S) {
  TPair P(static_cast<int>(S.range(0)));
  for (auto _ : S) {
    TFzyFloat Height = 0;
    P.A.Iterate(P.B, [&](TFzyFloat, TFzyFloat Y1, TFzyFloat, TFzyFloat Y2) {
      Height = std::max(Height, std::min(Y1, Y2));
      return false;
    });
    benchmark::DoNotOptimize(Height);
  }
}
BENCHMARK(BM_IterateHeight)->Arg(7)->Arg(200);

void BM_DegreeOfMembership(benchmark::State& S) {
  TPair P(static_cast<int>(S.range(0)));
  TFzyFloat X = 0;
  for (auto _ : S) {
    benchmark::DoNotOptimize(P.A.DegreeOfMembership(X));
    X += 0.37;
    if (X > 100) X = 0;
  }
}
BENCHMARK(BM_DegreeOfMembership)->Arg(7)->Arg(200);

}  // namespace
BENCHMARK_MAIN();
