// Windows date and time pictures, interpreted by us with month, day, era and
// AM/PM names from ICU (English when ICU has none for the locale).
//
// Date pictures: d dd (day), ddd dddd (day name), M MM (month), MMM MMMM
// (month name; the full name takes its genitive form when the picture also
// holds a day number, as Russian needs), y yy yyyy (year), g gg (era).
// Time pictures: h hh (12-hour), H HH (24-hour), m mm, s ss, t tt (first
// letter or all of the AM/PM designator). Text in single quotes is copied,
// '' gives one quote; any other character is copied. A date picture copies
// time letters and a time picture date letters, as the platform does.
// The day of week is computed from the date; wDayOfWeek is ignored.
#pragma once

#include "platform/Com.h"
#include "platform/FileTime.h"

#include <string>
#include <string_view>
#include <vector>

constexpr uint32_t DATE_SHORTDATE = 0x1;
constexpr uint32_t DATE_LONGDATE = 0x2;

// The Windows calls: format `date` (null: the current local time) with the
// picture `format` (null: the locale's default, the short date unless flags
// hold DATE_LONGDATE) into `out` of `capacity` characters. Return the
// characters written including the terminating zero, or with capacity 0 the
// size needed. 0 on failure: invalid date or time (a date outside
// 1601-01-01 .. 30827-12-31, a time field out of range), a buffer too small
// (then `out` holds an empty string), flags with a picture, or null `out`
// with a non-zero capacity.
int GetDateFormatW(LCID locale, uint32_t flags, const SYSTEMTIME* date, const char16_t* format, char16_t* out,
                   int capacity);
int GetTimeFormatW(LCID locale, uint32_t flags, const SYSTEMTIME* time, const char16_t* format, char16_t* out,
                   int capacity);

// The same without a buffer; false (and `out` empty) for an invalid date or time.
bool FormatDatePicture(LCID locale, const SYSTEMTIME& date, std::u16string_view picture, std::u16string* out);
bool FormatTimePicture(LCID locale, const SYSTEMTIME& time, std::u16string_view picture, std::u16string* out);

// Windows-style pictures of a locale, derived from ICU's patterns: the
// default short date (four-digit year), the default long date (with the day
// name where the locale's full form has one) and the default time (with
// seconds).
std::u16string GetDefaultDatePicture(LCID locale, bool longDate);
std::u16string GetDefaultTimePicture(LCID locale);
// The pictures a locale offers, default first, each once: short dates
// (DATE_SHORTDATE) or long dates (DATE_LONGDATE); times with seconds.
std::vector<std::u16string> EnumDateFormats(LCID locale, uint32_t flags);
std::vector<std::u16string> EnumTimeFormats(LCID locale);

// Converts an ICU date/time pattern ("EEEE, d. MMMM y", "h:mm:ss a") into a
// Windows picture ("dddd, d. MMMM yyyy", "h:mm:ss tt"). Fields Windows has
// no picture for (time zones, fractions, week numbers, ...) are left out
// with the separators in front of them.
std::u16string WindowsPictureFromIcuPattern(std::u16string_view pattern);
