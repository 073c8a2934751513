// The file commands of the standard package: a whole expert system or its facts moved between
// the engine and files ("load", "save", "load-facts", "save-facts"), and batch files of commands
// ("batch").  Each row at the end of this file is the function's entry in the standard
// package's creation table.  Depends on the function framework and the engine's load and save
// operations.
#pragma once

#include <cstdint>

#include "BuiltinSupport.h"

namespace rulecore {

// "load", "save", "load-facts" and "batch": one file name, one engine operation.
enum class TFileCommandKind : uint8_t { fcLoad, fcSave, fcLoadFacts, fcBatch };
class TFileCommandFunction final : public TSelectingFunction<TFileCommandKind> {
  PLATFORM_CLASS(TFileCommandFunction, TBuiltinFunction)
 public:
  using enum TFileCommandKind;
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// (save-facts <file> [<template>+]): every fact, or the facts of each template in turn.
class TSaveFactsFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TSaveFactsFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override;
};

// --- rows of the standard package's creation table --------------------------------------------

inline constexpr TFunctionRow BatchFunctionRow{
    {"batch", " <filename>", 1, 1,
     "Allows batch processing of interactive commands by replacing standard input with the contents of "
     "<filename>.  Returns TRUE if the file was successfully executed, FALSE otherwise"},
    MakeFunction<TFileCommandFunction, TFileCommandFunction::fcBatch>};
inline constexpr TFunctionRow LoadFunctionRow{
    {"load", " <filename>", 1, 1, "Loads the specified file into the inference engine"},
    MakeFunction<TFileCommandFunction, TFileCommandFunction::fcLoad>};
inline constexpr TFunctionRow LoadFactsFunctionRow{
    {"load-facts", " <filename>", 1, 1, "Loads the facts contained in the file specified by the <filename> argument"},
    MakeFunction<TFileCommandFunction, TFileCommandFunction::fcLoadFacts>};
inline constexpr TFunctionRow SaveFunctionRow{
    {"save", " <filename>", 1, 1,
     "Saves the expert system to the file specified by <filename>.  This includes fact templates, facts, fact sets, "
     "rules and deffunctions"},
    MakeFunction<TFileCommandFunction, TFileCommandFunction::fcSave>};
inline constexpr TFunctionRow SaveFactsFunctionRow{
    {"save-facts", " <file-name> [<fact-template-name>+]", 1, TIEUserFunction::NoLimit,
     "Saves facts currently in the fact base to the file specified by <filename>.  The optional arguments name the "
     "fact templates whose facts are saved, in that order.  If no fact template names are specified, all facts are "
     "saved"},
    MakeFunction<TSaveFactsFunction>};

}  // namespace rulecore
