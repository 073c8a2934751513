// The string package: shape classes over the argument-as-text helper and the package table.
// Positions are 1-based and count 8-bit characters.
#include "StringPackage.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "BuiltinSupport.h"
#include "core/values/IEException.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

enum TLetterCase { lcLower, lcUpper };

// Changes the letters A to Z only; a symbol stays a symbol and a string a string (any other
// argument gives a string).
class TCaseFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TCaseFunction, TBuiltinFunction)
 public:
  TCaseFunction(const TFunctionSpec& Spec, TLetterCase Op) : TBuiltinFunction(Spec), Op_(Op) {}

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const IIEValue Arg = ArgValue(FunCall, 0, Context);
    const std::string Text = TextOf(*Arg);
    const TIEType Kind = Arg->IsText() ? Arg->GetDType() : dtString;
    Result = NewValue(Op_ == lcLower ? platform::LowerCase(Text) : platform::UpperCase(Text), Kind);
  }

 private:
  TLetterCase Op_;
};

// "str-cat" and "sym-cat": the texts of all arguments joined, as a value of the given kind.
class TConcatFunction final : public TSelectingFunction<TIEType> {
  PLATFORM_CLASS(TConcatFunction, TBuiltinFunction)
 public:
  using TSelectingFunction::TSelectingFunction;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    std::string Text;
    for (int I = 0; I < FunCall.GetArgumentCount(); ++I) Text += TextArg(FunCall, I, Context);
    Result = NewValue(Text, Kind_);
  }
};

// Compares by character codes (unsigned), answering -1, 0 or 1.
class TStrCompareFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TStrCompareFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const std::string A = TextArg(FunCall, 0, Context);
    const std::string B = TextArg(FunCall, 1, Context);
    const int C = A.compare(B);
    Result = NewInteger(C < 0 ? -1 : C > 0 ? 1 : 0);
  }
};

class TStrIndexFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TStrIndexFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const std::string Needle = TextArg(FunCall, 0, Context);
    const std::string Haystack = TextArg(FunCall, 1, Context);
    const size_t Pos = Haystack.find(Needle);
    if (Pos == std::string::npos || Pos >= static_cast<size_t>(INT32_MAX))
      Result = FCFalse;
    else
      Result = NewInteger(static_cast<int32_t>(Pos) + 1);
  }
};

class TStrLengthFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TStrLengthFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const std::string Text = TextArg(FunCall, 0, Context);
    Result = NewInteger(CheckedInteger(static_cast<double>(Text.size()), GetFunctionName()));
  }
};

// (sub-string start end text): characters start to end inclusive; an end past the text is cut
// at its end and end = start - 1 gives the empty string.
class TSubStringFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TSubStringFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const int32_t Start = IntegerArg(FunCall, 0, Context);
    const int32_t End = IntegerArg(FunCall, 1, Context);
    const std::string Text = TextArg(FunCall, 2, Context);
    // Widened so that start - 1 and the cut at the text's end cannot overflow.
    const int64_t Length = static_cast<int64_t>(Text.size());
    if (Start < 1 || Start > Length || int64_t{End} < int64_t{Start} - 1)
      RaiseIE(SInvalidSubstrParameters, {Start, End});
    const int64_t Last = std::min<int64_t>(End, Length);
    Result = NewString(Text.substr(static_cast<size_t>(Start - 1), static_cast<size_t>(Last - Start + 1)));
  }
};

// =============================================================================================
// The package table, in creation order
// =============================================================================================

constexpr int32_t NoLimit = TIEUserFunction::NoLimit;

constexpr TFunctionRow StringFunctions[] = {
    {{"lowcase", " <string-or-symbol-expression>", 1, 1, "Returns its argument converted to a lower case string"},
     MakeFunction<TCaseFunction, lcLower>},
    {{"str-cat", " <lexeme-expression>*", 0, NoLimit, "Returns all of its arguments concatenated into a string"},
     MakeFunction<TConcatFunction, dtString>},
    {{"str-compare", " <lexeme-expression> <lexeme-expression>", 2, 2,
      "Returns an integer value for the comparison of the two symbols, with case-sensitivity.   The return value "
      "is less than 0 if argument1 is less than argument2, 0 if argument1 equals argument2, or greater than 0 if "
      "argument1 is greater than argument2"},
     MakeFunction<TStrCompareFunction>},
    {{"str-index", " <lexeme-expression> <lexeme-expression>", 2, 2,
      "Returns an integer value representing the position of the first argument substring within the second "
      "argument, otherwise FALSE if the first argument is not a substring of the second argument"},
     MakeFunction<TStrIndexFunction>},
    {{"str-length", " <lexeme-expression>", 1, 1, "Returns the length of the argument in characters"},
     MakeFunction<TStrLengthFunction>},
    {{"sub-string", " <start-integer-expression> <end-integer-expression> <lexeme-expression>", 3, 3,
      "Extracts a substring from the <lexeme-expression> from the specified range (<start-integer-expression> to "
      "<end-integer-expression>)"},
     MakeFunction<TSubStringFunction>},
    {{"sym-cat", " <expression>*", 0, NoLimit, "Returns all of its arguments concatenated into a symbol"},
     MakeFunction<TConcatFunction, dtAtom>},
    {{"upcase", " <lexeme-expression>", 1, 1, "Returns its argument converted to an upper case string"},
     MakeFunction<TCaseFunction, lcUpper>},
};

}  // namespace

TStringPackage::TStringPackage(platform::TComponent* Owner) : TUserPackage(Owner) { CreateFunctions(); }

namespace {
const TPackageRegistration<TStringPackage> Registered;
}  // namespace

void TStringPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  AddFunctions(*this, StringFunctions);
}

}  // namespace rulecore
