#include "FactsHost.h"

#include "core/values/IEException.h"

namespace rulecore {

namespace {

// Set once as the library loads (the rule language's printer), read ever after.
IFactsPrinter* Printer = nullptr;

}  // namespace

IFactsPrinter& FactsPrinter() {
  if (!Printer) throw EIEException("No printer for facts is registered");
  return *Printer;
}

void SetFactsPrinter(IFactsPrinter* Value) noexcept { Printer = Value; }

}  // namespace rulecore
