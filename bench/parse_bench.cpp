// Parsing a large generated rule base: templates, 5,000 rules joining two or three patterns with
// constraints and calls, and one deffacts of 20,000 facts.  Reported per whole text.
#include <benchmark/benchmark.h>

#include <string>

#include "core/engine/InferenceEngine.h"

using namespace rulecore;

namespace {

std::string Templates() {
  return "(deftemplate order (slot id (type INTEGER)) (slot customer) (slot amount (type FLOAT)) (multislot tags))\n"
         "(deftemplate customer (slot name) (slot tier (allowed-symbols gold silver bronze) (default bronze)))\n"
         "(deftemplate alert (slot order-id) (slot reason))\n";
}

std::string Rules(int Count) {
  std::string Text;
  for (int I = 0; I < Count; ++I) {
    const std::string N = std::to_string(I);
    Text += "(defrule rule-" + N + " \"generated rule " + N + "\"\n"
            "  (declare (salience " + std::to_string(I % 7) + "))\n"
            "  ?o <- (order (id ?id&:(> ?id " + N + ")) (customer ?c) (amount ?a&:(> ?a " + N + ".5)) (tags $? vip $?))\n"
            "  (customer (name ?c) (tier gold|silver))\n"
            "  (not (alert (order-id ?id)))\n"
            "  =>\n"
            "  (assert (alert (order-id ?id) (reason (str-cat \"rule " + N + " \" ?c))))\n"
            "  (printout t ?id \" flagged by rule-" + N + "\" crlf))\n";
  }
  return Text;
}

std::string Facts(int Count) {
  std::string Text = "(deffacts orders\n";
  for (int I = 0; I < Count; ++I) {
    const std::string N = std::to_string(I);
    Text += "  (order (id " + N + ") (customer c" + std::to_string(I % 500) + ") (amount " + N + ".25) (tags new vip))\n";
  }
  return Text + ")\n";
}

void BM_ParseRuleBase(benchmark::State& S) {
  const std::string Text = Templates() + Rules(static_cast<int>(S.range(0))) + Facts(static_cast<int>(S.range(1)));
  for (auto _ : S) {
    TInferenceEngine Engine;
    Engine.Parse(Text, false);
    benchmark::DoNotOptimize(Engine.GetRules().Count());
  }
  S.counters["bytes"] = static_cast<double>(Text.size());
}
BENCHMARK(BM_ParseRuleBase)->Args({5000, 20000})->Args({500, 2000})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
