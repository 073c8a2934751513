#include "FuzzyConsts.h"

namespace vaguecore {

const char* VagueCoreVersion() noexcept { return "0.1.0"; }

}  // namespace vaguecore
