// Runs the fuzz target over every file of the given directories once, so the suite checks that
// the saved inputs (and the rule-language corpus) still pass.  Built with any compiler; the
// fuzzing build links the same target with libFuzzer instead.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

int main(int argc, char** argv) {
  int Files = 0;
  for (int A = 1; A < argc; ++A) {
    if (!std::filesystem::is_directory(argv[A])) continue;
    for (const auto& Entry : std::filesystem::recursive_directory_iterator(argv[A])) {
      if (!Entry.is_regular_file()) continue;
      std::ifstream In(Entry.path(), std::ios::binary);
      const std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(Bytes.data()), Bytes.size());
      ++Files;
    }
  }
  std::printf("%d inputs passed\n", Files);
  return Files > 0 ? 0 : 1;
}
