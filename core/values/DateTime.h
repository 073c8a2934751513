// Date-time values and their text: the calendar arithmetic behind the rule language's date and
// time functions, and the process's date and time formats.
//
// A date-time is a 64-bit float counting days since 1899-12-30 (day 0); its fraction is the
// time of day.  Before day 0 the fraction still counts forward from midnight, so -1.25 is
// 1899-12-29 at 06:00 (not 18:00): the whole part names the day, the size of the fraction the
// time.  The conversions accept the days of the years 1 to 9999; anything else (NaN, infinity,
// huge numbers) is refused with the platform's conversion error, never wrapped or truncated.
//
// The formats are one setting for the whole process, as a desktop's locale is: a host sets them
// once at start-up or when its user picks other ones.  Reading and writing them is safe from any
// thread; a conversion works on the copy it read when it started.
// Depends on the platform layer only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace rulecore {

using TDateTime = double;

// The first and last day the conversions accept: 0001-01-01 and 9999-12-31.
inline constexpr int32_t MinDateTimeDay = -693593;
inline constexpr int32_t MaxDateTimeDay = 2958465;
inline constexpr int64_t MSecsPerDay = 86400000;

struct TDateTimeFormats {
  // The text of dates and of times, in the specifiers of FormatDateTime.  The defaults are the
  // ISO 8601 forms, which read the same everywhere and sort as text.
  std::string ShortDateFormat = "yyyy-mm-dd";
  std::string ShortTimeFormat = "hh:nn:ss";
  // What "ampm" writes, and what a time read from text may end with.
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
  // Sunday first.
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
};

// A copy of the current formats.
TDateTimeFormats GetDateTimeFormats();
void SetDateTimeFormats(const TDateTimeFormats& Value);

// The calendar fields of a date-time.
struct TDateTimeParts {
  int32_t Year = 1899;
  int32_t Month = 12;
  int32_t Day = 30;
  int32_t Hour = 0;
  int32_t Minute = 0;
  int32_t Second = 0;
  int32_t Millisecond = 0;
  int32_t DayOfWeek = 7;  // 1 Sunday ... 7 Saturday
};

// The date (whole days) of a calendar day; false, Result untouched, for a day that does not
// exist (month 13, 30 February, year 0).
bool TryEncodeDate(int32_t Year, int32_t Month, int32_t Day, TDateTime& Result) noexcept;
// The time of day (a fraction of a day); false for fields outside 0-23, 0-59, 0-59, 0-999.
bool TryEncodeTime(int32_t Hour, int32_t Minute, int32_t Second, int32_t Millisecond, TDateTime& Result) noexcept;
// The day of Date at the time of day Time, by the sign rule above.
TDateTime ComposeDateTime(TDateTime Date, TDateTime Time) noexcept;
// The fields of Value, to the nearest millisecond (23:59:59.9996 is midnight of the next day);
// false for a value outside the years 1 to 9999 or not a number.
bool TryDecodeDateTime(TDateTime Value, TDateTimeParts& Parts) noexcept;

// The local date and time now, to the millisecond.
TDateTime NowDateTime();

// Value written by Format.  Specifiers, letters in any case (text in single or double quotes
// and every other character are copied as they stand, so a letter meant as text, such as the
// "T" of an ISO date and time, is quoted):
//   d dd ddd dddd ddddd   day, two-digit day, short and long day name, the short date format
//   m mm mmm mmmm         month, two-digit month, short and long month name (m and mm right
//                         after an hour specifier are minutes)
//   yy yyyy               two- and four-digit year
//   h hh n nn s ss        hour, minute, second, with and without a leading zero
//   z zzz                 millisecond, with leading zeros to three digits for zzz
//   am/pm a/p ampm        12-hour clock for every hour specifier, with am/pm or a/p in the
//                         specifier's own case, or the AM and PM strings of the formats
//   t c                   the short time format; the short date and time formats, one blank apart
// An invalid Value raises platform::EConvertError.
std::string FormatDateTime(std::string_view Format, TDateTime Value, const TDateTimeFormats& Formats);
// The date and time, the date, the time of Value in the short formats.
std::string DateTimeToStr(TDateTime Value, const TDateTimeFormats& Formats);
std::string DateToStr(TDateTime Value, const TDateTimeFormats& Formats);
std::string TimeToStr(TDateTime Value, const TDateTimeFormats& Formats);

// Text read back.  A date is three fields in the order of the short date format's y, m and d,
// separated by blanks, "-", "/", ".", "," or the format's own separators (a month may also be
// written as its name); a year of one or two digits is taken in 1950-2049.  A time is hours and minutes, optionally seconds and a decimal
// fraction of a second (at most three digits), optionally followed by the AM or PM string.
// A date and time is a date, then blanks or a "T", then a time; either part alone also reads.
// Text that is no such value raises platform::EConvertError naming the text and the format.
TDateTime StrToDate(std::string_view Text, const TDateTimeFormats& Formats);
TDateTime StrToTime(std::string_view Text, const TDateTimeFormats& Formats);
TDateTime StrToDateTime(std::string_view Text, const TDateTimeFormats& Formats);

}  // namespace rulecore
