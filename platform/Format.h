// printf-style formatting with type-safe arguments.
//
// Supports the conversions d i u x X o c s f F e E g G p and "%%", with flags "-+ #0", width and
// precision (also given as "*").  An argument of another kind than the conversion asks for is
// converted (a number for %s prints as its decimal form; text for %d prints as text), so a
// mismatch never reads garbage.  Missing arguments format as empty.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace platform {

class TFormatArg {
 public:
  enum TKind : uint8_t { fkInt, fkFloat, fkText, fkChar, fkPointer };

  TFormatArg(int V) noexcept : Kind(fkInt), Int(V) {}
  TFormatArg(long V) noexcept : Kind(fkInt), Int(V) {}
  TFormatArg(long long V) noexcept : Kind(fkInt), Int(V) {}
  TFormatArg(unsigned V) noexcept : Kind(fkInt), Int(V) {}
  TFormatArg(unsigned long V) noexcept : Kind(fkInt), Int(static_cast<long long>(V)) {}
  TFormatArg(unsigned long long V) noexcept : Kind(fkInt), Int(static_cast<long long>(V)) {}
  TFormatArg(double V) noexcept : Kind(fkFloat), Float(V) {}
  TFormatArg(float V) noexcept : Kind(fkFloat), Float(V) {}
  TFormatArg(char V) noexcept : Kind(fkChar), Int(static_cast<unsigned char>(V)) {}
  TFormatArg(const char* V) noexcept : Kind(fkText), Text(V ? V : "") {}
  TFormatArg(std::string_view V) noexcept : Kind(fkText), Text(V) {}
  TFormatArg(const std::string& V) noexcept : Kind(fkText), Text(V) {}
  TFormatArg(const void* V) noexcept : Kind(fkPointer), Pointer(V) {}

  TKind Kind;
  long long Int = 0;
  double Float = 0;
  std::string_view Text;
  const void* Pointer = nullptr;

  std::string AsText() const;
  long long AsInt() const noexcept;
  double AsFloat() const noexcept;
};

std::string FormatList(std::string_view Format, std::span<const TFormatArg> Args);

inline std::string Format(std::string_view Fmt, std::initializer_list<TFormatArg> Args = {}) {
  return FormatList(Fmt, std::span<const TFormatArg>(Args.begin(), Args.size()));
}

// Formats one conversion specification ("%-8.3f" and the like, without the leading text) of
// kind Conversion with one argument.  Used by FormatList and by the rule language's "format".
std::string FormatOne(std::string_view Flags, int Width, int Precision, char Conversion,
                      const TFormatArg& Arg);

// ASCII helpers shared by the whole system (comparisons are ASCII-only by design).
char UpCase(char C) noexcept;
char LowCase(char C) noexcept;
std::string UpperCase(std::string_view S);
std::string LowerCase(std::string_view S);
bool SameText(std::string_view A, std::string_view B) noexcept;
int CompareText(std::string_view A, std::string_view B) noexcept;
std::string Trim(std::string_view S);
std::string TrimLeft(std::string_view S);
std::string TrimRight(std::string_view S);

}  // namespace platform
