// Calendar arithmetic comes from the standard library's chrono calendar (leap years, month
// lengths, weekdays); this file adds the day-count representation, the text forms and the
// process-wide formats.
#include "DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/NoDestroy.h"

namespace rulecore {

namespace {

namespace chr = std::chrono;

// Day 0 of the representation.
constexpr chr::sys_days Epoch{chr::year{1899} / chr::December / 30};

// Nested formats ("c" in a short date format that says "c") stop here.
constexpr int MaxFormatDepth = 2;

struct TFormatStore {
  std::mutex Lock;
  TDateTimeFormats Formats;
};

TFormatStore& Store() {
  static platform::TNoDestroy<TFormatStore> Instance;
  return Instance.Get();
}

[[noreturn]] void ConvertError(std::string_view Format, std::initializer_list<platform::TFormatArg> Args) {
  throw platform::EConvertError(platform::Format(Format, Args));
}

[[noreturn]] void InvalidValue(TDateTime Value) {
  ConvertError("%s is not a valid date-time value (years 1 to 9999)", {platform::Format("%.15g", {Value})});
}

TDateTimeParts Decoded(TDateTime Value) {
  TDateTimeParts Parts;
  if (!TryDecodeDateTime(Value, Parts)) InvalidValue(Value);
  return Parts;
}

bool IsDigit(char C) noexcept { return C >= '0' && C <= '9'; }
bool IsLetter(char C) noexcept { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }
bool IsBlank(char C) noexcept { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; }

bool StartsWithText(std::string_view Text, size_t At, std::string_view Word) noexcept {
  return !Word.empty() && Text.size() - At >= Word.size() && platform::SameText(Text.substr(At, Word.size()), Word);
}

// Value (not negative) with leading zeros to Digits digits.
std::string Padded(int64_t Value, size_t Digits) {
  std::string Text = std::to_string(Value);
  if (Text.size() < Digits) Text.insert(0, Digits - Text.size(), '0');
  return Text;
}

// =============================================================================================
// Writing
// =============================================================================================

class TFormatter {
 public:
  TFormatter(const TDateTimeParts& Parts, const TDateTimeFormats& Formats) : P_(Parts), F_(Formats) {}

  void Write(std::string_view Format, int Depth) {
    const bool TwelveHour = HasAmPm(Format);
    bool AfterHour = false;  // m and mm right after an hour specifier are minutes
    size_t I = 0;
    while (I < Format.size()) {
      const char C = Format[I];
      if (C == '\'' || C == '"') {
        const size_t Close = Format.find(C, I + 1);
        const size_t End = Close == std::string_view::npos ? Format.size() : Close;
        Out_.append(Format.substr(I + 1, End - I - 1));
        I = End == Format.size() ? End : End + 1;
        continue;
      }
      if (AmPmAt(Format, I)) continue;
      const char L = platform::LowCase(C);
      size_t Run = 1;
      while (I + Run < Format.size() && platform::LowCase(Format[I + Run]) == L) ++Run;
      switch (L) {
        case 'd': Run = Day(std::min<size_t>(Run, 5), Depth); break;
        case 'm':
          Run = std::min<size_t>(Run, AfterHour ? 2 : 4);
          if (AfterHour)
            Number(P_.Minute, Run == 2);
          else
            Month(Run);
          break;
        case 'y':
          Run = std::min<size_t>(Run, 4);
          Out_ += Run <= 2 ? Padded(P_.Year % 100, 2) : Padded(P_.Year, 4);
          break;
        case 'h':
          Run = std::min<size_t>(Run, 2);
          Number(TwelveHour ? (P_.Hour % 12 == 0 ? 12 : P_.Hour % 12) : P_.Hour, Run == 2);
          break;
        case 'n':
          Run = std::min<size_t>(Run, 2);
          Number(P_.Minute, Run == 2);
          break;
        case 's':
          Run = std::min<size_t>(Run, 2);
          Number(P_.Second, Run == 2);
          break;
        case 'z':
          Run = Run >= 3 ? 3 : Run;
          Out_ += Run == 3 ? Padded(P_.Millisecond, 3) : std::to_string(P_.Millisecond);
          break;
        case 't':
          Run = 1;
          Nested(F_.ShortTimeFormat, Depth);
          break;
        case 'c':
          Run = 1;
          Nested(F_.ShortDateFormat, Depth);
          Out_ += ' ';
          Nested(F_.ShortTimeFormat, Depth);
          break;
        default:
          Run = 1;
          Out_ += C;
          break;
      }
      if (L == 'h')
        AfterHour = true;
      else if (IsLetter(C))
        AfterHour = false;
      I += Run;
    }
  }

  std::string& Text() noexcept { return Out_; }

 private:
  size_t Day(size_t Run, int Depth) {
    switch (Run) {
      case 1: Number(P_.Day, false); break;
      case 2: Number(P_.Day, true); break;
      case 3: Out_ += F_.ShortDayNames[static_cast<size_t>(P_.DayOfWeek - 1)]; break;
      case 4: Out_ += F_.LongDayNames[static_cast<size_t>(P_.DayOfWeek - 1)]; break;
      default: Nested(F_.ShortDateFormat, Depth); break;
    }
    return Run;
  }

  void Month(size_t Run) {
    switch (Run) {
      case 1: Number(P_.Month, false); break;
      case 2: Number(P_.Month, true); break;
      case 3: Out_ += F_.ShortMonthNames[static_cast<size_t>(P_.Month - 1)]; break;
      default: Out_ += F_.LongMonthNames[static_cast<size_t>(P_.Month - 1)]; break;
    }
  }

  void Number(int32_t Value, bool TwoDigits) { Out_ += TwoDigits ? Padded(Value, 2) : std::to_string(Value); }

  void Nested(std::string_view Format, int Depth) {
    if (Depth < MaxFormatDepth) Write(Format, Depth + 1);
  }

  // Writes the am/pm specifier starting at I, if there is one, and moves I past it.
  bool AmPmAt(std::string_view Format, size_t& I) {
    const bool Pm = P_.Hour >= 12;
    if (StartsWithText(Format, I, "am/pm")) {
      // In the specifier's own case: "AM/PM" writes "PM", "am/pm" writes "pm".
      Out_.append(Format.substr(Pm ? I + 3 : I, 2));
      I += 5;
      return true;
    }
    if (StartsWithText(Format, I, "a/p")) {
      Out_ += Format[Pm ? I + 2 : I];
      I += 3;
      return true;
    }
    if (StartsWithText(Format, I, "ampm")) {
      Out_ += Pm ? F_.TimePMString : F_.TimeAMString;
      I += 4;
      return true;
    }
    return false;
  }

  // Whether an am/pm specifier stands anywhere outside quotes.
  static bool HasAmPm(std::string_view Format) noexcept {
    for (size_t I = 0; I < Format.size(); ++I) {
      const char C = Format[I];
      if (C == '\'' || C == '"') {
        const size_t Close = Format.find(C, I + 1);
        if (Close == std::string_view::npos) return false;
        I = Close;
        continue;
      }
      if (StartsWithText(Format, I, "am/pm") || StartsWithText(Format, I, "a/p") || StartsWithText(Format, I, "ampm"))
        return true;
    }
    return false;
  }

  const TDateTimeParts& P_;
  const TDateTimeFormats& F_;
  std::string Out_;
};

// =============================================================================================
// Reading
// =============================================================================================

std::string_view Trimmed(std::string_view Text) noexcept {
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

// The order of the year, month and day fields in a date format ("ymd", "dmy", "mdy", ...);
// "ymd" when the format does not name all three.
std::string FieldOrder(std::string_view Format) {
  std::string Order;
  for (size_t I = 0; I < Format.size(); ++I) {
    const char C = Format[I];
    if (C == '\'' || C == '"') {
      const size_t Close = Format.find(C, I + 1);
      if (Close == std::string_view::npos) break;
      I = Close;
      continue;
    }
    const char L = platform::LowCase(C);
    if ((L == 'y' || L == 'm' || L == 'd') && Order.find(L) == std::string::npos) Order += L;
  }
  return Order.size() == 3 ? Order : std::string("ymd");
}

struct TDateField {
  int32_t Value = 0;
  int Digits = 0;  // 0 for a month written as its name
};

// Whether C may stand between the fields of a date: a blank, one of - / . , or a character the
// short date format itself writes between its fields.  A colon is never one, so that a time
// does not read as a date.
bool IsDateSeparator(char C, std::string_view Format) noexcept {
  if (IsBlank(C) || C == '-' || C == '/' || C == '.' || C == ',') return true;
  return C != ':' && !IsDigit(C) && !IsLetter(C) && C != '\'' && C != '"' && Format.find(C) != std::string_view::npos;
}

// The fields of a date: runs of digits (at most four) or of letters (a month name), with
// separators between them.
std::optional<std::vector<TDateField>> DateFields(std::string_view Text, const TDateTimeFormats& Formats) {
  std::vector<TDateField> Fields;
  size_t I = 0;
  while (I < Text.size()) {
    const char C = Text[I];
    if (IsDigit(C)) {
      size_t End = I;
      int32_t Value = 0;
      while (End < Text.size() && IsDigit(Text[End])) {
        if (End - I >= 4) return std::nullopt;
        Value = Value * 10 + (Text[End] - '0');
        ++End;
      }
      Fields.push_back({Value, static_cast<int>(End - I)});
      I = End;
    } else if (IsLetter(C)) {
      size_t End = I;
      while (End < Text.size() && IsLetter(Text[End])) ++End;
      const std::string_view Word = Text.substr(I, End - I);
      int32_t Month = 0;
      for (size_t M = 0; M < 12 && Month == 0; ++M)
        if (platform::SameText(Word, Formats.ShortMonthNames[M]) || platform::SameText(Word, Formats.LongMonthNames[M]))
          Month = static_cast<int32_t>(M + 1);
      if (Month == 0) return std::nullopt;
      Fields.push_back({Month, 0});
      I = End;
    } else if (IsDateSeparator(C, Formats.ShortDateFormat)) {
      ++I;
    } else {
      return std::nullopt;
    }
    if (Fields.size() > 3) return std::nullopt;
  }
  if (Fields.size() != 3) return std::nullopt;
  return Fields;
}

std::optional<TDateTime> ParseDate(std::string_view Text, const TDateTimeFormats& Formats) {
  Text = Trimmed(Text);
  if (Text.empty() || !(IsDigit(Text.front()) || IsLetter(Text.front()))) return std::nullopt;
  const auto Fields = DateFields(Text, Formats);
  if (!Fields) return std::nullopt;
  const std::string Order = FieldOrder(Formats.ShortDateFormat);
  int32_t Year = 0, Month = 0, Day = 0;
  for (size_t I = 0; I < 3; ++I) {
    const TDateField& F = (*Fields)[I];
    switch (Order[I]) {
      case 'y':
        if (F.Digits == 0) return std::nullopt;
        Year = F.Digits <= 2 ? (F.Value < 50 ? 2000 + F.Value : 1900 + F.Value) : F.Value;
        break;
      case 'm':
        if (F.Digits > 2) return std::nullopt;
        Month = F.Value;
        break;
      default:
        if (F.Digits == 0 || F.Digits > 2) return std::nullopt;
        Day = F.Value;
        break;
    }
  }
  TDateTime Result = 0;
  if (!TryEncodeDate(Year, Month, Day, Result)) return std::nullopt;
  return Result;
}

// Digits at I (at most MaxDigits of them), or nothing.
std::optional<int32_t> Digits(std::string_view Text, size_t& I, size_t MaxDigits) {
  const size_t Start = I;
  int32_t Value = 0;
  while (I < Text.size() && IsDigit(Text[I])) {
    if (I - Start >= MaxDigits) return std::nullopt;
    Value = Value * 10 + (Text[I] - '0');
    ++I;
  }
  if (I == Start) return std::nullopt;
  return Value;
}

std::optional<TDateTime> ParseTime(std::string_view Text, const TDateTimeFormats& Formats) {
  Text = Trimmed(Text);
  size_t I = 0;
  const auto Hour = Digits(Text, I, 2);
  if (!Hour || I >= Text.size() || Text[I] != ':') return std::nullopt;
  ++I;
  const auto Minute = Digits(Text, I, 2);
  if (!Minute) return std::nullopt;
  int32_t Second = 0, Millisecond = 0;
  if (I < Text.size() && Text[I] == ':') {
    ++I;
    const auto S = Digits(Text, I, 2);
    if (!S) return std::nullopt;
    Second = *S;
    if (I < Text.size() && (Text[I] == '.' || Text[I] == ',')) {
      ++I;
      const size_t Start = I;
      const auto Fraction = Digits(Text, I, 3);
      if (!Fraction) return std::nullopt;
      Millisecond = *Fraction * (I - Start == 1 ? 100 : I - Start == 2 ? 10 : 1);
    }
  }
  int32_t H = *Hour;
  const std::string_view Rest = Trimmed(Text.substr(I));
  if (!Rest.empty()) {
    const bool Am = platform::SameText(Rest, Formats.TimeAMString) || platform::SameText(Rest, "AM");
    const bool Pm = platform::SameText(Rest, Formats.TimePMString) || platform::SameText(Rest, "PM");
    if ((!Am && !Pm) || H < 1 || H > 12) return std::nullopt;
    H = H % 12 + (Pm ? 12 : 0);
  }
  TDateTime Result = 0;
  if (!TryEncodeTime(H, *Minute, Second, Millisecond, Result)) return std::nullopt;
  return Result;
}

std::string FormatsText(const TDateTimeFormats& Formats) { return Formats.ShortDateFormat + " " + Formats.ShortTimeFormat; }

}  // namespace

// =============================================================================================
// Settings
// =============================================================================================

TDateTimeFormats GetDateTimeFormats() {
  TFormatStore& S = Store();
  std::lock_guard<std::mutex> Guard(S.Lock);
  return S.Formats;
}

void SetDateTimeFormats(const TDateTimeFormats& Value) {
  TFormatStore& S = Store();
  std::lock_guard<std::mutex> Guard(S.Lock);
  S.Formats = Value;
}

// =============================================================================================
// Calendar
// =============================================================================================

bool TryEncodeDate(int32_t Year, int32_t Month, int32_t Day, TDateTime& Result) noexcept {
  // Checked before the chrono types see them: they store months and days in one byte.
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > 31) return false;
  const chr::year_month_day Date{chr::year{Year}, chr::month{static_cast<unsigned>(Month)},
                                 chr::day{static_cast<unsigned>(Day)}};
  if (!Date.ok()) return false;
  Result = static_cast<TDateTime>((chr::sys_days{Date} - Epoch).count());
  return true;
}

bool TryEncodeTime(int32_t Hour, int32_t Minute, int32_t Second, int32_t Millisecond, TDateTime& Result) noexcept {
  if (Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59 || Millisecond < 0 ||
      Millisecond > 999)
    return false;
  const int64_t Ms = ((int64_t{Hour} * 60 + Minute) * 60 + Second) * 1000 + Millisecond;
  Result = static_cast<TDateTime>(Ms) / static_cast<TDateTime>(MSecsPerDay);
  return true;
}

TDateTime ComposeDateTime(TDateTime Date, TDateTime Time) noexcept {
  const TDateTime Day = std::trunc(Date);
  const TDateTime Fraction = std::fabs(Time - std::trunc(Time));
  return Day >= 0 ? Day + Fraction : Day - Fraction;
}

bool TryDecodeDateTime(TDateTime Value, TDateTimeParts& Parts) noexcept {
  // Written so that NaN fails too.
  if (!(Value > MinDateTimeDay - 1.0 && Value < MaxDateTimeDay + 1.0)) return false;
  const TDateTime Whole = std::trunc(Value);
  int64_t Day = static_cast<int64_t>(Whole);
  int64_t Ms = std::llround(std::fabs(Value - Whole) * static_cast<TDateTime>(MSecsPerDay));
  if (Ms >= MSecsPerDay) {
    // Rounded up to the next midnight, which is the next calendar day for either sign.
    Ms -= MSecsPerDay;
    ++Day;
  }
  if (Day > MaxDateTimeDay) {
    // The last instant of 9999 has no next day to round to: it stays the last millisecond.
    Day = MaxDateTimeDay;
    Ms = MSecsPerDay - 1;
  }
  const chr::sys_days Date = Epoch + chr::days{Day};
  const chr::year_month_day Ymd{Date};
  Parts.Year = static_cast<int32_t>(Ymd.year());
  Parts.Month = static_cast<int32_t>(static_cast<unsigned>(Ymd.month()));
  Parts.Day = static_cast<int32_t>(static_cast<unsigned>(Ymd.day()));
  Parts.DayOfWeek = static_cast<int32_t>(chr::weekday{Date}.c_encoding()) + 1;
  Parts.Hour = static_cast<int32_t>(Ms / 3600000);
  Parts.Minute = static_cast<int32_t>(Ms / 60000 % 60);
  Parts.Second = static_cast<int32_t>(Ms / 1000 % 60);
  Parts.Millisecond = static_cast<int32_t>(Ms % 1000);
  return true;
}

TDateTime NowDateTime() {
  const auto Now = chr::system_clock::now();
  const std::time_t Seconds = chr::system_clock::to_time_t(Now);
  const auto Millis = chr::duration_cast<chr::milliseconds>(Now.time_since_epoch()).count() % 1000;
  std::tm Local{};
  localtime_r(&Seconds, &Local);
  TDateTime Date = 0, Time = 0;
  // A leap second (tm_sec 60) reads as the last second of its minute.
  if (!TryEncodeDate(Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday, Date) ||
      !TryEncodeTime(Local.tm_hour, Local.tm_min, std::min(Local.tm_sec, 59), static_cast<int32_t>(Millis), Time))
    ConvertError("The system clock is outside the years 1 to 9999", {});
  return ComposeDateTime(Date, Time);
}

// =============================================================================================
// Text
// =============================================================================================

std::string FormatDateTime(std::string_view Format, TDateTime Value, const TDateTimeFormats& Formats) {
  const TDateTimeParts Parts = Decoded(Value);
  TFormatter Formatter(Parts, Formats);
  Formatter.Write(Format, 0);
  return std::move(Formatter.Text());
}

std::string DateTimeToStr(TDateTime Value, const TDateTimeFormats& Formats) {
  return FormatDateTime("c", Value, Formats);
}

std::string DateToStr(TDateTime Value, const TDateTimeFormats& Formats) {
  return FormatDateTime(Formats.ShortDateFormat, Value, Formats);
}

std::string TimeToStr(TDateTime Value, const TDateTimeFormats& Formats) {
  return FormatDateTime(Formats.ShortTimeFormat, Value, Formats);
}

TDateTime StrToDate(std::string_view Text, const TDateTimeFormats& Formats) {
  if (const auto Date = ParseDate(Text, Formats)) return *Date;
  ConvertError("\"%s\" is not a valid date (expected %s)", {Text, Formats.ShortDateFormat});
}

TDateTime StrToTime(std::string_view Text, const TDateTimeFormats& Formats) {
  if (const auto Time = ParseTime(Text, Formats)) return *Time;
  ConvertError("\"%s\" is not a valid time (expected %s)", {Text, Formats.ShortTimeFormat});
}

TDateTime StrToDateTime(std::string_view Text, const TDateTimeFormats& Formats) {
  const std::string_view Whole = Trimmed(Text);
  // The time begins after the last blank or "T" before its first colon; a text without a colon
  // is a date alone, one without a date part a time alone.
  const size_t Colon = Whole.find(':');
  if (Colon == std::string_view::npos) {
    if (const auto Date = ParseDate(Whole, Formats)) return *Date;
  } else {
    size_t Split = Colon;
    while (Split > 0 && !IsBlank(Whole[Split - 1]) &&
           !((Whole[Split - 1] == 'T' || Whole[Split - 1] == 't') && Split >= 2 && IsDigit(Whole[Split - 2])))
      --Split;
    const std::string_view DatePart = Trimmed(Whole.substr(0, Split == 0 ? 0 : Split - 1));
    const auto Time = ParseTime(Whole.substr(Split), Formats);
    if (Time && DatePart.empty()) return *Time;
    if (Time)
      if (const auto Date = ParseDate(DatePart, Formats)) return ComposeDateTime(*Date, *Time);
  }
  ConvertError("\"%s\" is not a valid date and time (expected %s)", {Text, FormatsText(Formats)});
}

}  // namespace rulecore
