#include "HashTable.h"

namespace platform {

uint32_t HashKey(std::string_view Key, THashType Type) noexcept {
  uint32_t H = 0;
  const size_t N = Key.size();
  // htSparse samples at most about sixteen characters, like the system's own string hash.
  const size_t Step = (Type == htSparse && N >= 16) ? N / 8 : 1;
  for (size_t I = 0; I < N; I += Step) H = H * 31u + static_cast<unsigned char>(Key[I]);
  return H;
}

}  // namespace platform
