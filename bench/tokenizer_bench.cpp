// Tokenizer throughput on generated rule-language text: rules with comments, strings, variables,
// connectives and numbers, and facts in deffacts blocks.  Reports bytes per second; the Scale
// argument multiplies the text so that linear cost shows as a flat rate.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "core/language/IETokenizer.h"

using namespace rulecore;

namespace {

std::string MakeRules(int Count) {
  std::string Text;
  for (int I = 0; I < Count; ++I) {
    const std::string N = std::to_string(I);
    Text += "; rule " + N + ": close open orders of good customers\n";
    Text += "(defrule process-order-" + N + " \"Process order " + N + "\"\n";
    Text += "  (declare (salience " + std::to_string(I % 20 - 10) + "))\n";
    Text += "  ?f <- (order (id ?id&:(> ?id " + N + ")) (status open) (items $?items))\n";
    Text += "  (customer (id ?cid) (name \"Customer \\\"" + N + "\\\"\") (credit ?c&~bad|unknown))\n";
    Text += "  (not (blocked ?cid ?))\n";
    Text += "  =>\n";
    Text += "  (retract ?f)\n";
    Text += "  (assert (processed ?id 3.25 -17 1e-3))\n";
    Text += "  (printout t \"Processed order \" ?id \" for \" ?cid crlf))\r\n\r\n";
  }
  return Text;
}

std::string MakeFacts(int Count, int PerBlock) {
  std::string Text;
  for (int I = 0; I < Count; ++I) {
    if (I % PerBlock == 0) {
      if (I > 0) Text += ")\n\n";
      Text += "(deffacts orders-" + std::to_string(I / PerBlock) + "\n";
    }
    const std::string N = std::to_string(I);
    Text += "  (order (id " + N + ") (status open) (total " + std::to_string(I * 7 % 1000) + ".50) (items widget-" + N +
            " gadget \"spare part\"))\n";
  }
  Text += ")\n";
  return Text;
}

int64_t Tokenize(const std::string& Text) {
  TIEClipsStream Stream(platform::InMemory, Text);
  int64_t Tokens = 0;
  while (Stream.NextToken()->GetDataType() != dtNone) ++Tokens;
  return Tokens;
}

void Run(benchmark::State& State, const std::string& Text) {
  int64_t Tokens = 0;
  for (auto _ : State) benchmark::DoNotOptimize(Tokens = Tokenize(Text));
  State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(Text.size()));
  State.counters["tokens"] = static_cast<double>(Tokens);
  State.counters["MB"] = static_cast<double>(Text.size()) / 1e6;
}

}  // namespace

// 5,000 rules and 20,000 facts (in blocks of 100), times Scale.
static void BM_TokenizeKnowledgeBase(benchmark::State& State) {
  const int Scale = static_cast<int>(State.range(0));
  const std::string Text = MakeRules(5000 * Scale) + MakeFacts(20000 * Scale, 100);
  Run(State, Text);
}
BENCHMARK(BM_TokenizeKnowledgeBase)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// One deffacts holding every fact: the look-ahead reads the whole construct at once.
static void BM_TokenizeOneLargeDeffacts(benchmark::State& State) {
  const std::string Text = MakeFacts(static_cast<int>(State.range(0)), 1 << 30);
  Run(State, Text);
}
BENCHMARK(BM_TokenizeOneLargeDeffacts)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond);

// The same text read through a host's std::istream instead of an in-memory copy.
static void BM_TokenizeFromIStream(benchmark::State& State) {
  const std::string Text = MakeRules(5000) + MakeFacts(20000, 100);
  int64_t Tokens = 0;
  for (auto _ : State) {
    std::istringstream Source(Text);
    TIEClipsStream Stream(Source);
    Tokens = 0;
    while (Stream.NextToken()->GetDataType() != dtNone) ++Tokens;
    benchmark::DoNotOptimize(Tokens);
  }
  State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(Text.size()));
  State.counters["tokens"] = static_cast<double>(Tokens);
}
BENCHMARK(BM_TokenizeFromIStream)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
