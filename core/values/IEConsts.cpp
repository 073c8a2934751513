#include "IEConsts.h"

#include <cmath>

#include "IEException.h"
#include "IEMessages.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

struct TMessageEntry {
  const char* Name;
  const char* Text;
};

constexpr TMessageEntry Messages[] = {
#define IE_MESSAGE_ENTRY(Id, Text) {#Id, Text},
    IE_MESSAGES(IE_MESSAGE_ENTRY)
#undef IE_MESSAGE_ENTRY
};
static_assert(sizeof(Messages) / sizeof(Messages[0]) == IEMessageCount);

}  // namespace

const char* MessageText(TIEMessage Id) noexcept { return Id < IEMessageCount ? Messages[Id].Text : ""; }

const char* MessageName(TIEMessage Id) noexcept { return Id < IEMessageCount ? Messages[Id].Name : ""; }

void RaiseIE(TIEMessage Id, std::initializer_list<platform::TFormatArg> Args) {
  throw EIEException(FormatMessage(Id, Args));
}

void NoteErrorPlace(platform::Exception& Error, std::string_view Kind, std::string_view Name) {
  std::string Mark = " (";
  Mark += Kind;
  Mark += ' ';
  if (Error.Message().find(Mark) != std::string::npos) return;
  Error.SetMessage(Error.Message() + Mark + std::string(Name) + ")");
}

std::string GetIETypeName(TIEType Type) { return platform::EnumName(Type); }

std::string SetToString(const platform::TEnumInfo& Enumeration, uint32_t SetValue,
                        std::string_view Separator, int StripCount, bool Brackets) {
  std::string Result;
  bool First = true;
  for (unsigned I = 0; I < 32 && I < Enumeration.Count(); ++I) {
    if (!(SetValue & (1u << I))) continue;
    if (!First) Result += Separator;
    First = false;
    std::string_view Name = Enumeration.NameOf(I);
    const size_t Strip = StripCount > 0 ? static_cast<size_t>(StripCount) : 0;
    Result += Name.substr(Strip < Name.size() ? Strip : Name.size());
  }
  return Brackets ? "[" + Result + "]" : Result;
}

std::string SetToString(TIETypes Types, std::string_view Separator, bool Brackets) {
  return SetToString(platform::EnumInfo<TIEType>(), Types.Mask(), Separator, 2, Brackets);
}

uint32_t StringToSet(std::string_view Text, const platform::TEnumInfo& Enumeration,
                     std::string_view NamePrefix) {
  const std::string Trimmed = platform::Trim(Text);
  uint32_t Result = 0;
  size_t Pos = 0;
  auto IsDelimiter = [](char C) { return C == '[' || C == ']' || C == ',' || C == ' '; };
  while (Pos < Trimmed.size()) {
    while (Pos < Trimmed.size() && IsDelimiter(Trimmed[Pos])) ++Pos;
    size_t End = Pos;
    while (End < Trimmed.size() && !IsDelimiter(Trimmed[End])) ++End;
    if (End > Pos) {
      const std::string Name = std::string(NamePrefix) + Trimmed.substr(Pos, End - Pos);
      const auto Ordinal = Enumeration.OrdinalOf(Name);
      if (!Ordinal) throw platform::Exception(FormatMessage(SInvalidSetItem, {Name}));
      if (*Ordinal <= 31) Result |= 1u << *Ordinal;
    }
    Pos = End;
  }
  return Result;
}

bool FloatEquals(float A, float B, float) noexcept { return std::fabs(A - B) <= static_cast<float>(FloatTolerance); }
bool FloatEquals(double A, double B, double) noexcept { return std::fabs(A - B) <= FloatTolerance; }
// Compared at double precision: decimal inputs such as 1.0001 round differently in extended
// precision, and the tolerance must give the same answer for every width.
bool FloatEquals(long double A, long double B, long double) noexcept {
  return FloatEquals(static_cast<double>(A), static_cast<double>(B));
}

std::string IEStringToString(std::string_view Text) {
  if (Text.size() > 1 && Text.front() == '"' && Text.back() == '"')
    return std::string(Text.substr(1, Text.size() - 2));
  return std::string(Text);
}

int ContainsCharacters(std::string_view Text, std::string_view Characters) noexcept {
  const size_t P = Text.find_first_of(Characters);
  return P == std::string_view::npos ? 0 : static_cast<int>(P) + 1;
}

std::string StringFilter(std::string_view Text, std::string_view Characters) {
  std::string Result;
  Result.reserve(Text.size());
  for (char C : Text)
    if (Characters.find(C) == std::string_view::npos) Result += C;
  return Result;
}

std::string CreateArgumentExpressions(std::string_view ArgumentDescription, int MinCount,
                                      int MaxCount, int Limit) {
  if (MaxCount < MinCount || MaxCount == 0) return {};
  std::string Result;
  int Opened = 0;
  if (MinCount == 0) {
    Result += '[';
    ++Opened;
  }
  size_t Pos = 0;
  for (int I = 0; I < MaxCount && I < Limit; ++I) {
    const size_t Open = ArgumentDescription.find('<', Pos);
    const size_t Close = Open == std::string_view::npos ? Open : ArgumentDescription.find('>', Open);
    if (Close != std::string_view::npos) {
      Result += ' ';
      Result += ArgumentDescription.substr(Open, Close - Open + 1);
      Pos = Close + 1;
    } else {
      Result += " <expression>";
      Pos = ArgumentDescription.size();
    }
    // Compared in 64 bits: an unlimited maximum is often given as the largest integer.
    if (I + 1 >= MinCount && static_cast<long long>(I) < static_cast<long long>(MaxCount) - 1) {
      Result += '[';
      ++Opened;
    }
  }
  Result.append(static_cast<size_t>(Opened), ']');
  size_t Lead = 0;
  while (Lead < Result.size() && Result[Lead] == ' ') ++Lead;
  return Result.substr(Lead);
}

}  // namespace rulecore
