// A host program: it loads a knowledge base, asserts orders from C++, runs the rules and reads
// the decisions as they are made, through the engine's events.
//   order_desk [KNOWLEDGE-BASE]   (default: orders.clp next to the program's sources)
#include <core/engine/InferenceEngine.h>
#include <core/network/IERule.h>

#include <cstdio>
#include <exception>
#include <string>

#ifndef ORDERS_KB
#define ORDERS_KB "orders.clp"
#endif

int main(int argc, char** argv) {
  using namespace rulecore;
  try {
    TInferenceEngine Engine;
    // Whatever the rules print goes to standard output.
    Engine.OnPrintOut = [](TInferenceEngine*, const std::string&, const std::string& Text) {
      std::fputs(Text.c_str(), stdout);
    };
    // Each decision is read as it is asserted.
    Engine.OnAssertion = [](TInferenceEngine*, const IFact& Fact) {
      if (Fact->GetTemplate()->GetTemplateName() != "decision") return;
      std::printf("order %s: %s (%s)\n", Fact->GetValue("order")->GetToString().c_str(),
                  Fact->GetValue("verdict")->GetToString().c_str(), Fact->GetValue("reason")->GetAsString().c_str());
    };
    int Fired = 0;
    Engine.OnRuleFired = [&Fired](TInferenceEngine*, TRule*) { ++Fired; };

    Engine.LoadFromFile(argc > 1 ? argv[1] : ORDERS_KB);
    Engine.Reset();
    Engine.Assert("(order (id 1) (customer acme) (item bolt) (quantity 120))");
    Engine.Assert("(order (id 2) (customer acme) (item gear) (quantity 40))");
    Engine.Assert("(order (id 3) (customer zenith) (item bolt) (quantity 80))");
    const int32_t Ran = Engine.Run();
    std::printf("%d rules fired (%d reported)\n", Ran, Fired);
    // Working memory, read directly: what is left in stock.
    for (const IFact& Fact : Engine.GetFacts().Items())
      if (Fact->GetTemplate()->GetTemplateName() == "stock")
        std::printf("%s left: %s\n", Fact->GetValue("item")->GetToString().c_str(),
                    Fact->GetValue("on-hand")->GetToString().c_str());
    return 0;
  } catch (const std::exception& Error) {
    std::fprintf(stderr, "order_desk: %s\n", Error.what());
    return 1;
  }
}
