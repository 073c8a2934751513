// The process's resident memory, for tests that check that memory goes back after work, and
// whether the block pools are in use (under the sanitizers every block comes from the
// allocator, which keeps freed memory in quarantine).
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdio>

namespace platform::testing {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool PoolsInUse = false;
#else
constexpr bool PoolsInUse = true;
#endif

constexpr std::size_t MiB = std::size_t{1} << 20;

inline std::size_t ResidentBytes() {
  std::FILE* Statm = std::fopen("/proc/self/statm", "r");
  if (!Statm) return 0;
  unsigned long Size = 0, Resident = 0;
  const int Read = std::fscanf(Statm, "%lu %lu", &Size, &Resident);
  std::fclose(Statm);
  return Read == 2 ? Resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

}  // namespace platform::testing
