// The rule-language programs the tests run over: the corpus and the examples.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine/InferenceEngine.h"

namespace rulecore::testing {

inline std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::ostringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

// Every .clp file of the corpus and of the examples, by full path, sorted.
inline std::vector<std::string> ProgramFiles() {
  std::vector<std::string> Paths;
  for (const char* Dir : {CORPUS_DIR, EXAMPLES_DIR})
    for (const auto& Entry : std::filesystem::directory_iterator(Dir))
      if (Entry.path().extension() == ".clp") Paths.push_back(Entry.path().string());
  std::sort(Paths.begin(), Paths.end());
  return Paths;
}

// A test name made of a program file's stem.
inline std::string ProgramName(const std::string& Path) {
  std::string Name = std::filesystem::path(Path).stem().string();
  std::replace_if(Name.begin(), Name.end(), [](char C) { return !std::isalnum(static_cast<unsigned char>(C)); }, '_');
  return Name;
}

// Runs a program into Engine as the console does - its commands too, since some define what
// the rest uses ("do-backward-chaining") - with its output dropped and no input to read.
inline void RunProgram(TInferenceEngine& Engine, const std::string& Path) {
  Engine.OnPrintOut = [](TInferenceEngine*, const std::string&, const std::string&) {};
  Engine.OnReadLine = [](TInferenceEngine*, const std::string&, std::string& Text) { Text.clear(); };
  Engine.OnReadToken = [](TInferenceEngine*, const std::string&, IStreamToken& Token) { Token = nullptr; };
  Engine.Parse(ReadFile(Path), true);
}

}  // namespace rulecore::testing
