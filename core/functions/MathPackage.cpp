// The math package: a few shape classes, each serving several rule-language names through a
// selector, and the package table that fixes names, patterns, arities, comments and order.
//
// Contents
//   1. Arithmetic      - "+", "-", "*", "/", "div"
//   2. One argument    - "abs", "exp", "float", "integer", "log", "log10", "round", "sqrt"
//   3. Other shapes    - "**", "max"/"min", "mod", "PI", "random", "seed"/"randomize"
//   4. The package table
#include "MathPackage.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "BuiltinSupport.h"
#include "core/values/IEException.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

using platform::MakeRef;

// =============================================================================================
// 1. Arithmetic
// =============================================================================================

enum TArithmetic { arAdd, arSubtract, arMultiply, arDivide, arIntDivide };

// Sums, differences and products are accumulated in 64-bit floats; the result is an integer
// (truncated, and required to fit 32 bits) unless some argument was a float.  "/" is always a
// float; "div" works on 32-bit integers throughout.
class TArithmeticFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TArithmeticFunction, TBuiltinFunction)
 public:
  TArithmeticFunction(const TFunctionSpec& Spec, TArithmetic Op) : TBuiltinFunction(Spec), Op_(Op) {}
  bool DecidesNumbers() const noexcept override { return Op_ != arIntDivide; }

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    if (Op_ == arIntDivide) {
      Result = NewInteger(IntegerQuotient(FunCall, Context));
      return;
    }
    bool IsFloat = false;
    const std::optional<double> Folded = Fold(FunCall.GetArgumentCount(), IsFloat, [&](int I, bool& Float) {
      IIEValue Held;
      const TIEValue& Arg = PeekArg(FunCall, I, Context, Held);
      Float = Arg.GetDType() == dtFloat;
      return Arg.GetAsNumeric();
    });
    if (!Folded) RaiseDivisionByZero(GetFunctionName());
    const double Acc = CheckedFloat(*Folded, GetFunctionName());
    Result = IsFloat ? NewFloat(Acc) : NewInteger(CheckedInteger(Acc, GetFunctionName()));
  }

  // The same on integers and floats that exist already, where Execute would raise nothing.
  bool DecideNumber(const TIEValue* const* Arguments, int Count, TNumber& Result) const override {
    if (Op_ == arIntDivide) return false;
    for (int I = 0; I < Count; ++I)
      if (Arguments[I]->GetDType() != dtInteger && Arguments[I]->GetDType() != dtFloat) return false;
    const std::optional<double> Folded = Fold(Count, Result.IsFloat, [&](int I, bool& Float) {
      Float = Arguments[I]->GetDType() == dtFloat;
      return Arguments[I]->GetPlainNumber();
    });
    if (!Folded || !std::isfinite(*Folded)) return false;
    if (Result.IsFloat) {
      Result.Value = *Folded;
      return true;
    }
    int32_t Whole = 0;
    if (!TruncToInteger(*Folded, Whole)) return false;
    Result.Value = Whole;
    return true;
  }

 private:
  // The operation over the arguments' numbers, Number(I, Float) reading argument I in turn (and
  // telling whether it is a float); nothing at a division by zero, the later arguments unread.
  // Sums, differences and products accumulate in 64-bit floats.
  template <class TNumberOf>
  std::optional<double> Fold(int Count, bool& IsFloat, TNumberOf&& Number) const {
    double Acc = Op_ == arMultiply ? 1 : 0;
    IsFloat = Op_ == arDivide;
    for (int I = 0; I < Count; ++I) {
      bool Float = false;
      const double X = Number(I, Float);
      IsFloat = IsFloat || Float;
      if (I == 0 && (Op_ == arSubtract || Op_ == arDivide)) {
        Acc = X;
        continue;
      }
      switch (Op_) {
        case arAdd: Acc += X; break;
        case arSubtract: Acc -= X; break;
        case arMultiply: Acc *= X; break;
        case arDivide:
          if (X == 0) return std::nullopt;
          Acc /= X;
          break;
        case arIntDivide: break;
      }
    }
    return Acc;
  }

  int32_t IntegerQuotient(TFunctionCall& FunCall, TIEContext* Context) const {
    int32_t Acc = IntegerArg(FunCall, 0, Context);
    for (int I = 1; I < FunCall.GetArgumentCount(); ++I) {
      const int32_t Divisor = IntegerArg(FunCall, I, Context);
      if (Divisor == 0) RaiseDivisionByZero(GetFunctionName());
      // The one quotient of two 32-bit integers that does not fit 32 bits.
      if (Divisor == -1 && Acc == std::numeric_limits<int32_t>::min())
        RaiseIntegerOverflow(GetFunctionName(), -static_cast<double>(Acc));
      Acc /= Divisor;
    }
    return Acc;
  }

  TArithmetic Op_;
};

// =============================================================================================
// 2. Functions of one number
// =============================================================================================

enum TUnaryMath { umAbs, umExp, umFloat, umInteger, umLog, umLog10, umRound, umSqrt };

// Whole number nearest to X, halves going to the even neighbour whatever the floating-point
// rounding mode is; never a negative zero.
double RoundHalfEven(double X) {
  double Whole = 0;
  const double Fraction = std::modf(X, &Whole);
  double R = std::round(X);
  if (std::fabs(Fraction) == 0.5) R = std::fmod(Whole, 2.0) == 0 ? Whole : Whole + std::copysign(1.0, X);
  return R == 0 ? 0.0 : R;
}

class TUnaryMathFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TUnaryMathFunction, TBuiltinFunction)
 public:
  TUnaryMathFunction(const TFunctionSpec& Spec, TUnaryMath Op) : TBuiltinFunction(Spec), Op_(Op) {}

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const std::string& Name = GetFunctionName();
    if (Op_ == umAbs) {
      Result = Absolute(*ArgValue(FunCall, 0, Context));
      return;
    }
    if (Op_ == umInteger) {
      Result = NewInteger(IntegerArg(FunCall, 0, Context));
      return;
    }
    const double X = NumberArg(FunCall, 0, Context);
    double R = X;
    switch (Op_) {
      case umExp: R = std::exp(X); break;
      case umFloat: break;
      case umLog:
      case umLog10:
        if (!(X > 0)) RaiseUndefined(Name, NumberText(X));
        R = Op_ == umLog ? std::log(X) : std::log10(X);
        break;
      case umRound: R = RoundHalfEven(X); break;
      case umSqrt:
        if (X < 0) RaiseUndefined(Name, NumberText(X));
        R = std::sqrt(X);
        break;
      case umAbs:
      case umInteger: break;
    }
    Result = NewFloat(CheckedFloat(R, Name));
  }

 private:
  // Integers stay integers and floats floats; "abs" does not convert other kinds.
  IIEValue Absolute(const TIEValue& Arg) const {
    if (Arg.GetDType() == dtFloat) return NewFloat(std::fabs(Arg.GetAsFloat()));
    if (Arg.GetDType() != dtInteger) RaiseIE(SMissingNumeric, {GetFunctionName()});
    const int32_t I = Arg.GetAsInteger();
    if (I == std::numeric_limits<int32_t>::min()) RaiseIntegerOverflow(GetFunctionName(), -static_cast<double>(I));
    return NewInteger(I < 0 ? -I : I);
  }

  TUnaryMath Op_;
};

// =============================================================================================
// 3. Other shapes
// =============================================================================================

class TPowerFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TPowerFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const double Base = NumberArg(FunCall, 0, Context);
    const double Exponent = NumberArg(FunCall, 1, Context);
    if (Base == 0 && Exponent < 0) RaiseDivisionByZero(GetFunctionName());
    const double R = std::pow(Base, Exponent);
    if (std::isnan(R)) RaiseUndefined(GetFunctionName(), NumberText(Base) + " and " + NumberText(Exponent));
    Result = NewFloat(CheckedFloat(R, GetFunctionName()));
  }
};

enum TExtreme { exMax, exMin };

// The scan keeps the first strictly greater (smaller) value.  Once a float has been the extreme
// the result stays a float, so "max" of 1.5 and 3 is 3.0 while "max" of 3 and 1.5 is 3.
class TExtremeFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TExtremeFunction, TBuiltinFunction)
 public:
  TExtremeFunction(const TFunctionSpec& Spec, TExtreme Op) : TBuiltinFunction(Spec), Op_(Op) {}

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const IIEValue First = ArgValue(FunCall, 0, Context);
    double Current = First->GetAsNumeric();
    bool IsFloat = First->GetDType() == dtFloat;
    for (int I = 1; I < FunCall.GetArgumentCount(); ++I) {
      const IIEValue Arg = ArgValue(FunCall, I, Context);
      const double X = Arg->GetAsNumeric();
      if (Op_ == exMax ? X > Current : X < Current) {
        Current = X;
        IsFloat = IsFloat || Arg->GetDType() == dtFloat;
      }
    }
    Result = IsFloat ? NewFloat(Current) : NewInteger(CheckedInteger(Current, GetFunctionName()));
  }

 private:
  TExtreme Op_;
};

// Truncating division: the remainder has the sign of the dividend.
class TModFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TModFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const int32_t Dividend = IntegerArg(FunCall, 0, Context);
    const int32_t Divisor = IntegerArg(FunCall, 1, Context);
    if (Divisor == 0) RaiseDivisionByZero(GetFunctionName());
    // x % -1 is 0 for every x, but the smallest integer would overflow the machine division.
    Result = NewInteger(Divisor == -1 ? 0 : Dividend % Divisor);
  }
};

class TPIFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TPIFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall&, TIEContext*, IIEValue& Result) override { Result = FCPI; }
};

// (random) draws from 0 to 65535, (random high) from 0 to high - 1 and (random low high) adds
// low to a draw from 0 to high - 1.  A high of 0 or less leaves nothing to draw from and raises;
// a sum outside 32 bits raises the integer overflow error.
class TRandomFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TRandomFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    const int Count = FunCall.GetArgumentCount();
    const int32_t Low = Count == 2 ? IntegerArg(FunCall, 0, Context) : 0;
    const int32_t High = Count == 0 ? 65536 : IntegerArg(FunCall, Count - 1, Context);
    if (High <= 0)
      throw EIEException(platform::Format("Invalid high limit for %s: %d (it must be greater than 0)",
                                          {GetFunctionName(), High}));
    std::uniform_int_distribution<int32_t> Draw(0, High - 1);
    const int64_t Value = int64_t{Low} + Draw(RandomGeneratorFor(FunCall, Context));
    Result = NewInteger(CheckedInteger(static_cast<double>(Value), GetFunctionName()));
  }
};

enum TSeeding { sdSeed, sdRandomize };

// "seed" and "randomize" with an argument set the 32-bit seed; "randomize" alone takes it from
// the clock.
class TSeedFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TSeedFunction, TBuiltinFunction)
 public:
  TSeedFunction(const TFunctionSpec& Spec, TSeeding Op) : TBuiltinFunction(Spec), Op_(Op) {}

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override {
    uint32_t Seed = 0;
    if (Op_ == sdSeed || FunCall.GetArgumentCount() > 0)
      Seed = static_cast<uint32_t>(IntegerArg(FunCall, 0, Context));
    else
      Seed = static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
    RandomGeneratorFor(FunCall, Context).seed(Seed);
    Result = FCTrue;
  }

 private:
  TSeeding Op_;
};

// =============================================================================================
// 4. The package table, in creation order
// =============================================================================================

constexpr int32_t NoLimit = TIEUserFunction::NoLimit;

constexpr TFunctionRow MathFunctions[] = {
    {{"abs", " <numeric-expression>", 1, 1, "Returns the absolute value of the argument"},
     MakeFunction<TUnaryMathFunction, umAbs>},
    {{"div", " <integer-expression>+", 1, NoLimit,
      "Returns the value of the first argument integer divided (i.e., fractions are dropped) by each of the "
      "subsequent arguments (arg0 div arg1 div arg2...)"},
     MakeFunction<TArithmeticFunction, arIntDivide>},
    {{"/", " <numeric-expression>+", 1, NoLimit,
      "Returns the value of the first argument divided by each of the subsequent arguments (arg0 / arg1 / arg2...)"},
     MakeFunction<TArithmeticFunction, arDivide>},
    {{"exp", " <numeric-expression>", 1, 1,
      "Returns the value of e raised to the power of <numeric-expression>, where e is the base of the natural "
      "logarithms"},
     MakeFunction<TUnaryMathFunction, umExp>},
    {{"**", " <numeric-expression> <numeric-expression>", 2, 2,
      "Returns the value of the first argument raised to the power of the second argument"},
     MakeFunction<TPowerFunction>},
    {{"float", " <numeric-expression>", 1, 1, "Returns the <numeric-argument> converted to type float"},
     MakeFunction<TUnaryMathFunction, umFloat>},
    {{"integer", " <numeric-expression>", 1, 1, "Returns the <numeric-argument> converted to type integer"},
     MakeFunction<TUnaryMathFunction, umInteger>},
    {{"log", " <numeric-expression>", 1, 1, "Returns the natural log of the <numeric-expression>"},
     MakeFunction<TUnaryMathFunction, umLog>},
    {{"log10", " <numeric-expression>", 1, 1, "Returns the log base 10 of the <numeric-expression>"},
     MakeFunction<TUnaryMathFunction, umLog10>},
    {{"max", " <numeric-expression>+", 1, NoLimit, "Returns the value of the maximum or largest argument"},
     MakeFunction<TExtremeFunction, exMax>},
    {{"min", " <numeric-expression>+", 1, NoLimit, "Returns the value of the minimum or smallest argument"},
     MakeFunction<TExtremeFunction, exMin>},
    {{"-", " <numeric-expression>+", 1, NoLimit,
      "Returns the value of the first argument minus each of the subsequent arguments (arg0 - arg1 - arg2...)"},
     MakeFunction<TArithmeticFunction, arSubtract>},
    {{"mod", " <integer-expression> <integer-expression>", 2, 2,
      "Returns the value of the first argument MOD the second argument"},
     MakeFunction<TModFunction>},
    {{"PI", "", 0, 0, "Returns the value of PI"}, MakeFunction<TPIFunction>},
    {{"+", " <numeric-expression>+", 0, NoLimit, "Returns a value that is the sum of all the arguments"},
     MakeFunction<TArithmeticFunction, arAdd>},
    {{"random", " [[<low-integer-expression>] <high-integer-expression>]", 0, 2,
      "Returns a random number between <from-integer-expression> and <to-integer-expression>.  If only one "
      "argument is specified, a number between 0 and the <to-integer-expression> is returned.  If NO arguments "
      "are specified, a number between 0 and 65535 is returned"},
     MakeFunction<TRandomFunction>},
    {{"randomize", " [<seed-integer-expression> ]", 0, 1,
      "Sets the random number generator seed.  If no argument is given, the seed is set randomly from the "
      "system clock"},
     MakeFunction<TSeedFunction, sdRandomize>},
    {{"round", " <numeric-expression>", 1, 1, "Returns the <numeric-argument> rounded to the nearest integer"},
     MakeFunction<TUnaryMathFunction, umRound>},
    {{"seed", " <integer-expression>", 1, 1, "Sets the random number generator seed to the argument"},
     MakeFunction<TSeedFunction, sdSeed>},
    {{"sqrt", " <numeric-expression>", 1, 1, "Returns the square root of the <numeric-expression>"},
     MakeFunction<TUnaryMathFunction, umSqrt>},
    {{"*", " <numeric-expression>+", 0, NoLimit, "Returns a value that is the product of all the arguments"},
     MakeFunction<TArithmeticFunction, arMultiply>},
};

}  // namespace

TMathPackage::TMathPackage(platform::TComponent* Owner) : TUserPackage(Owner) { CreateFunctions(); }

namespace {
const TPackageRegistration<TMathPackage> Registered;
}  // namespace

void TMathPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  AddFunctions(*this, MathFunctions);
}

}  // namespace rulecore
