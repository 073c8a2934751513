// Micro-benchmarks of the value layer: creating, copying, comparing and hashing values and lists.
#include <benchmark/benchmark.h>

#include "core/values/IEValue.h"
#include "core/values/ValueVector.h"

using namespace rulecore;

static void BM_CreateAtom(benchmark::State& S) {
  for (auto _ : S) benchmark::DoNotOptimize(NewAtom("colour"));
}
BENCHMARK(BM_CreateAtom);

static void BM_CreateInteger(benchmark::State& S) {
  int32_t I = 0;
  for (auto _ : S) benchmark::DoNotOptimize(NewInteger(++I));
}
BENCHMARK(BM_CreateInteger);

static void BM_CloneAtom(benchmark::State& S) {
  IIEValue V = NewAtom("a-rather-long-symbol-name");
  for (auto _ : S) benchmark::DoNotOptimize(V->Clone());
}
BENCHMARK(BM_CloneAtom);

static void BM_EqualsAtom(benchmark::State& S) {
  IIEValue A = NewAtom("colour"), B = NewAtom("colour");
  for (auto _ : S) benchmark::DoNotOptimize(A->Equals(B));
}
BENCHMARK(BM_EqualsAtom);

static void BM_EqualsInteger(benchmark::State& S) {
  IIEValue A = NewInteger(42), B = NewInteger(42);
  for (auto _ : S) benchmark::DoNotOptimize(A->Equals(B));
}
BENCHMARK(BM_EqualsInteger);

static void BM_EqualsStarIntegerFloat(benchmark::State& S) {
  IIEValue A = NewInteger(42), B = NewFloat(42.0);
  for (auto _ : S) benchmark::DoNotOptimize(A->EqualsStar(B));
}
BENCHMARK(BM_EqualsStarIntegerFloat);

static void BM_HashAtom(benchmark::State& S) {
  IIEValue A = NewAtom("a-rather-long-symbol-name");
  for (auto _ : S) benchmark::DoNotOptimize(A->GetHashCode());
}
BENCHMARK(BM_HashAtom);

static void BM_FloatToString(benchmark::State& S) {
  IIEValue A = NewFloat(3.14159);
  for (auto _ : S) benchmark::DoNotOptimize(A->ToString());
}
BENCHMARK(BM_FloatToString);

static IValueVector MakeList(int N) {
  IValueVector L = NewList();
  for (int I = 0; I < N; ++I) L->Add(I % 2 ? NewInteger(I) : NewAtom("item" + std::to_string(I)));
  return L;
}

static void BM_CreateList10(benchmark::State& S) {
  for (auto _ : S) benchmark::DoNotOptimize(MakeList(10));
}
BENCHMARK(BM_CreateList10);

static void BM_CloneList10(benchmark::State& S) {
  IValueVector L = MakeList(10);
  for (auto _ : S) benchmark::DoNotOptimize(L->Clone());
}
BENCHMARK(BM_CloneList10);

static void BM_EqualsList10(benchmark::State& S) {
  IValueVector A = MakeList(10), B = MakeList(10);
  for (auto _ : S) benchmark::DoNotOptimize(A->Equals(*B));
}
BENCHMARK(BM_EqualsList10);

static void BM_HashList10(benchmark::State& S) {
  IValueVector A = MakeList(10);
  for (auto _ : S) benchmark::DoNotOptimize(A->GetHashCode());
}
BENCHMARK(BM_HashList10);

BENCHMARK_MAIN();
