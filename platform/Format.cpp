#include "Format.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "Exceptions.h"

namespace platform {

std::string TFormatArg::AsText() const {
  switch (Kind) {
    case fkText: return std::string(Text);
    case fkChar: return std::string(1, static_cast<char>(Int));
    case fkInt: return std::to_string(Int);
    case fkFloat: {
      char Buf[64];
      std::snprintf(Buf, sizeof Buf, "%g", Float);
      return Buf;
    }
    case fkPointer: {
      char Buf[32];
      std::snprintf(Buf, sizeof Buf, "%p", Pointer);
      return Buf;
    }
  }
  return {};
}

long long TFormatArg::AsInt() const noexcept {
  switch (Kind) {
    case fkInt:
    case fkChar: return Int;
    case fkFloat:
      // Saturate instead of converting an out-of-range float (undefined behaviour).
      if (!(Float == Float)) return 0;
      if (Float >= 9.2e18) return INT64_MAX;
      if (Float <= -9.2e18) return INT64_MIN;
      return static_cast<long long>(Float);
    case fkPointer: return static_cast<long long>(reinterpret_cast<uintptr_t>(Pointer));
    case fkText: {
      long long V = 0;
      std::from_chars(Text.data(), Text.data() + Text.size(), V);
      return V;
    }
  }
  return 0;
}

double TFormatArg::AsFloat() const noexcept {
  switch (Kind) {
    case fkFloat: return Float;
    case fkInt:
    case fkChar: return static_cast<double>(Int);
    case fkPointer: return static_cast<double>(reinterpret_cast<uintptr_t>(Pointer));
    case fkText: {
      double V = 0;
      std::from_chars(Text.data(), Text.data() + Text.size(), V);
      return V;
    }
  }
  return 0;
}

namespace {

std::string Pad(std::string Body, std::string_view Flags, int Width) {
  if (Width <= 0 || static_cast<int>(Body.size()) >= Width) return Body;
  const size_t Fill = static_cast<size_t>(Width) - Body.size();
  if (Flags.find('-') != std::string_view::npos) return Body + std::string(Fill, ' ');
  return std::string(Fill, ' ') + Body;
}

// Builds a C format specification from its parts; the parts were validated by the caller.
std::string Spec(std::string_view Flags, int Width, int Precision, std::string_view Length,
                 char Conversion) {
  std::string S = "%";
  S += Flags;
  if (Width > 0) S += std::to_string(Width);
  if (Precision >= 0) {
    S += '.';
    S += std::to_string(Precision);
  }
  S += Length;
  S += Conversion;
  return S;
}

template <class V>
std::string CFormat(const std::string& SpecText, V Value) {
  char Small[128];
  int N = std::snprintf(Small, sizeof Small, SpecText.c_str(), Value);
  if (N < 0) return {};
  if (static_cast<size_t>(N) < sizeof Small) return std::string(Small, static_cast<size_t>(N));
  std::string Big(static_cast<size_t>(N) + 1, '\0');
  std::snprintf(Big.data(), Big.size(), SpecText.c_str(), Value);
  Big.resize(static_cast<size_t>(N));
  return Big;
}

}  // namespace

std::string FormatOne(std::string_view Flags, int Width, int Precision, char Conversion,
                      const TFormatArg& Arg) {
  // Widths and precisions are capped so that a hostile format cannot ask for gigabytes.
  constexpr int Cap = 4096;
  if (Width > Cap) Width = Cap;
  if (Precision > Cap) Precision = Cap;
  std::string SafeFlags;
  for (char C : Flags)
    if (std::strchr("-+ #0", C) && SafeFlags.find(C) == std::string::npos) SafeFlags += C;
  switch (Conversion) {
    case 'd':
    case 'i':
      if (Arg.Kind == TFormatArg::fkText) return Pad(std::string(Arg.Text), SafeFlags, Width);
      return CFormat(Spec(SafeFlags, Width, Precision, "ll", 'd'), Arg.AsInt());
    case 'u':
    case 'x':
    case 'X':
    case 'o':
      if (Arg.Kind == TFormatArg::fkText) return Pad(std::string(Arg.Text), SafeFlags, Width);
      return CFormat(Spec(SafeFlags, Width, Precision, "ll", Conversion),
                     static_cast<unsigned long long>(Arg.AsInt()));
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
      if (Arg.Kind == TFormatArg::fkText) return Pad(std::string(Arg.Text), SafeFlags, Width);
      return CFormat(Spec(SafeFlags, Width, Precision, "", Conversion), Arg.AsFloat());
    case 'c': {
      std::string Body = Arg.Kind == TFormatArg::fkText
                             ? std::string(Arg.Text.substr(0, 1))
                             : std::string(1, static_cast<char>(Arg.AsInt()));
      return Pad(std::move(Body), SafeFlags, Width);
    }
    case 'p': return Pad(Arg.AsText(), SafeFlags, Width);
    case 's':
    default: {
      std::string Body = Arg.AsText();
      if (Precision >= 0 && static_cast<size_t>(Precision) < Body.size())
        Body.resize(static_cast<size_t>(Precision));
      return Pad(std::move(Body), SafeFlags, Width);
    }
  }
}

std::string FormatList(std::string_view Fmt, std::span<const TFormatArg> Args) {
  std::string Out;
  Out.reserve(Fmt.size() + 16 * Args.size());
  size_t Next = 0;
  auto NextArg = [&]() -> const TFormatArg* { return Next < Args.size() ? &Args[Next++] : nullptr; };
  auto ReadNumber = [&](size_t& I) {
    int N = 0;
    while (I < Fmt.size() && std::isdigit(static_cast<unsigned char>(Fmt[I]))) {
      if (N < 100000) N = N * 10 + (Fmt[I] - '0');
      ++I;
    }
    return N;
  };
  for (size_t I = 0; I < Fmt.size(); ++I) {
    char C = Fmt[I];
    if (C != '%') {
      Out += C;
      continue;
    }
    size_t J = I + 1;
    if (J < Fmt.size() && Fmt[J] == '%') {
      Out += '%';
      I = J;
      continue;
    }
    size_t FlagStart = J;
    while (J < Fmt.size() && std::strchr("-+ #0", Fmt[J]) && Fmt[J] != '\0') ++J;
    std::string_view Flags = Fmt.substr(FlagStart, J - FlagStart);
    int Width = 0;
    if (J < Fmt.size() && Fmt[J] == '*') {
      const TFormatArg* A = NextArg();
      Width = A ? static_cast<int>(A->AsInt()) : 0;
      ++J;
    } else {
      Width = ReadNumber(J);
    }
    int Precision = -1;
    if (J < Fmt.size() && Fmt[J] == '.') {
      ++J;
      if (J < Fmt.size() && Fmt[J] == '*') {
        const TFormatArg* A = NextArg();
        Precision = A ? static_cast<int>(A->AsInt()) : 0;
        ++J;
      } else {
        Precision = ReadNumber(J);
      }
    }
    while (J < Fmt.size() && std::strchr("hlLqjzt", Fmt[J]) && Fmt[J] != '\0') ++J;
    if (J >= Fmt.size()) {
      Out.append(Fmt.substr(I));  // an unfinished specification is kept as text
      break;
    }
    char Conv = Fmt[J];
    if (!std::strchr("diuxXocsfFeEgGp", Conv)) {
      Out.append(Fmt.substr(I, J - I + 1));
      I = J;
      continue;
    }
    std::string WithFlags(Flags);
    if (Width < 0) {  // a negative "*" width means left alignment, as in C
      WithFlags += '-';
      Width = -Width;
    }
    if (const TFormatArg* A = NextArg())
      Out += FormatOne(WithFlags, Width, Precision, Conv, *A);
    else
      Out += FormatOne(WithFlags, Width, Precision, 's', TFormatArg(""));
    I = J;
  }
  return Out;
}

char UpCase(char C) noexcept { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 32) : C; }
char LowCase(char C) noexcept { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C + 32) : C; }

std::string UpperCase(std::string_view S) {
  std::string R(S);
  for (char& C : R) C = UpCase(C);
  return R;
}

std::string LowerCase(std::string_view S) {
  std::string R(S);
  for (char& C : R) C = LowCase(C);
  return R;
}

int CompareText(std::string_view A, std::string_view B) noexcept {
  const size_t N = A.size() < B.size() ? A.size() : B.size();
  for (size_t I = 0; I < N; ++I) {
    const unsigned char X = static_cast<unsigned char>(UpCase(A[I]));
    const unsigned char Y = static_cast<unsigned char>(UpCase(B[I]));
    if (X != Y) return X < Y ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

bool SameText(std::string_view A, std::string_view B) noexcept {
  return A.size() == B.size() && CompareText(A, B) == 0;
}

namespace {
bool IsBlank(char C) noexcept { return static_cast<unsigned char>(C) <= ' '; }
}  // namespace

std::string TrimLeft(std::string_view S) {
  size_t B = 0;
  while (B < S.size() && IsBlank(S[B])) ++B;
  return std::string(S.substr(B));
}

std::string TrimRight(std::string_view S) {
  size_t E = S.size();
  while (E > 0 && IsBlank(S[E - 1])) --E;
  return std::string(S.substr(0, E));
}

std::string Trim(std::string_view S) {
  size_t B = 0, E = S.size();
  while (B < E && IsBlank(S[B])) ++B;
  while (E > B && IsBlank(S[E - 1])) --E;
  return std::string(S.substr(B, E - B));
}

std::string ListIndexMessage(long long Index) { return Format("List index out of bounds (%d)", {Index}); }

void ListIndexError(long long Index) { throw EListError(ListIndexMessage(Index)); }

}  // namespace platform
