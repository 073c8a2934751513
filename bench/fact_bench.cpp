// Micro-benchmarks of the fact layer: creating facts of a 3-slot and a 10-slot template,
// reading and writing slots, comparing and hashing.  Also reports the heap bytes one fact of
// the 3-slot template costs (measured over many facts, not timed).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/engine/InferenceEngine.h"
#include "core/facts/Fact.h"

using namespace rulecore;
using platform::MakeRef;

namespace {

IFactTemplate MakeTemplate(int Slots) {
  static TInferenceEngine Engine;  // owner, as in a running engine; dynamic checks off
  IFactTemplate T = MakeRef<TFactTemplate>(&Engine, "t" + std::to_string(Slots));
  for (int I = 0; I < Slots; ++I) T->AddSlot("slot" + std::to_string(I), NewInteger(I));
  return T;
}

const std::vector<std::string>& Names(int Slots) {
  static std::vector<std::string> N[11];
  if (N[Slots].empty())
    for (int I = 0; I < Slots; ++I) N[Slots].push_back("slot" + std::to_string(I));
  return N[Slots];
}

void BM_NewFact(benchmark::State& S) {
  IFactTemplate T = MakeTemplate(static_cast<int>(S.range(0)));
  for (auto _ : S) benchmark::DoNotOptimize(T->NewFact());
}
BENCHMARK(BM_NewFact)->Arg(3)->Arg(10);

void BM_ReadAllSlots(benchmark::State& S) {
  const int N = static_cast<int>(S.range(0));
  IFact F = MakeTemplate(N)->NewFact();
  const auto& Slot = Names(N);
  for (auto _ : S)
    for (int I = 0; I < N; ++I) benchmark::DoNotOptimize(F->GetValue(Slot[static_cast<size_t>(I)]));
}
BENCHMARK(BM_ReadAllSlots)->Arg(3)->Arg(10);

void BM_WriteAllSlots(benchmark::State& S) {
  const int N = static_cast<int>(S.range(0));
  IFact F = MakeTemplate(N)->NewFact();
  const auto& Slot = Names(N);
  const IIEValue V = NewInteger(7);
  for (auto _ : S)
    for (int I = 0; I < N; ++I) F->SetValue(Slot[static_cast<size_t>(I)], V);
}
BENCHMARK(BM_WriteAllSlots)->Arg(3)->Arg(10);

void BM_EqualFacts(benchmark::State& S) {
  IFactTemplate T = MakeTemplate(static_cast<int>(S.range(0)));
  IFact A = T->NewFact(), B = T->NewFact();
  for (auto _ : S) benchmark::DoNotOptimize(A->Equals(B.get()));
}
BENCHMARK(BM_EqualFacts)->Arg(3)->Arg(10);

void BM_HashFact(benchmark::State& S) {
  IFact F = MakeTemplate(static_cast<int>(S.range(0)))->NewFact();
  for (auto _ : S) benchmark::DoNotOptimize(F->GetHashCode());
}
BENCHMARK(BM_HashFact)->Arg(3)->Arg(10);

void ReportBytesPerFact() {
  IFactTemplate T = MakeTemplate(3);
  constexpr int Count = 100000;
  std::vector<IFact> Facts;
  Facts.reserve(Count);
  const size_t Before = mallinfo2().uordblks;
  for (int I = 0; I < Count; ++I) Facts.push_back(T->NewFact());
  const size_t After = mallinfo2().uordblks;
  std::printf("heap bytes per fact of a 3-slot template (integer slots): %.1f\n",
              static_cast<double>(After - Before) / Count);
}

}  // namespace

int main(int argc, char** argv) {
  ReportBytesPerFact();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
