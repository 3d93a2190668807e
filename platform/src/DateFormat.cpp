// Our interpreter of Windows date and time pictures. Names come from ICU's
// Gregorian calendar data for the locale; a locale ICU does not know (or an
// ICU failure) gives English names, so formatting never depends on what is
// installed. Numbers are ASCII digits, as the platform writes them.
//
// Names are cached per thread (no locks: the image library takes none).
#include "platform/DateFormat.h"

#include "platform/Locale.h"

#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/udat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>

namespace {

struct CalendarNames {
    std::u16string months[12];          // standalone (nominative)
    std::u16string monthsGenitive[12];  // format context: "декабря"
    std::u16string shortMonths[12];
    std::u16string shortMonthsGenitive[12];
    std::u16string days[7]; // Sunday first
    std::u16string shortDays[7];
    std::u16string am, pm;
    std::u16string era; // the current (AD) era
};

CalendarNames EnglishNames()
{
    static const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};
    static const char* const kDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    auto widen = [](std::string_view s) { return std::u16string(s.begin(), s.end()); };
    CalendarNames n;
    for (int i = 0; i < 12; ++i) {
        n.months[i] = n.monthsGenitive[i] = widen(kMonths[i]);
        n.shortMonths[i] = n.shortMonthsGenitive[i] = widen(std::string_view(kMonths[i]).substr(0, 3));
    }
    for (int i = 0; i < 7; ++i) {
        n.days[i] = widen(kDays[i]);
        n.shortDays[i] = widen(std::string_view(kDays[i]).substr(0, 3));
    }
    n.am = u"AM";
    n.pm = u"PM";
    n.era = u"A.D.";
    return n;
}

std::u16string ToU16(const icu::UnicodeString& s) { return std::u16string(s.getBuffer(), static_cast<size_t>(s.length())); }

std::string GregorianLocale(const std::string& name)
{
    // Keywords already in the name ("@collation=...") are replaced: the
    // pictures are Gregorian whatever calendar the locale prefers.
    return name.substr(0, name.find('@')) + "@calendar=gregorian";
}

// False when ICU has no real data for the locale (it fell back to the root).
bool LoadIcuNames(const std::string& name, CalendarNames* n)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::DateFormatSymbols syms(icu::Locale(GregorianLocale(name).c_str()), status);
    if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING)
        return false;
    using D = icu::DateFormatSymbols;
    int32_t count = 0;
    auto fill = [&](std::u16string* dst, int size, const icu::UnicodeString* src, int first) {
        if (!src || count < first + size)
            return false;
        for (int i = 0; i < size; ++i)
            dst[i] = ToU16(src[first + i]);
        return true;
    };
    bool ok = fill(n->months, 12, syms.getMonths(count, D::STANDALONE, D::WIDE), 0);
    ok = ok && fill(n->monthsGenitive, 12, syms.getMonths(count, D::FORMAT, D::WIDE), 0);
    ok = ok && fill(n->shortMonths, 12, syms.getMonths(count, D::STANDALONE, D::ABBREVIATED), 0);
    ok = ok && fill(n->shortMonthsGenitive, 12, syms.getMonths(count, D::FORMAT, D::ABBREVIATED), 0);
    // Weekday arrays are indexed 1 (Sunday) to 7.
    ok = ok && fill(n->days, 7, syms.getWeekdays(count, D::STANDALONE, D::WIDE), 1);
    ok = ok && fill(n->shortDays, 7, syms.getWeekdays(count, D::STANDALONE, D::ABBREVIATED), 1);
    std::u16string ampm[2], eras[2];
    ok = ok && fill(ampm, 2, syms.getAmPmStrings(count), 0);
    ok = ok && fill(eras, 2, syms.getEras(count), 0);
    if (!ok)
        return false;
    n->am = ampm[0];
    n->pm = ampm[1];
    n->era = eras[1];
    return true;
}

const CalendarNames& NamesFor(LCID locale)
{
    thread_local std::map<std::string, CalendarNames> cache;
    const std::string name = LocaleNameFromLcid(locale);
    auto it = cache.find(name);
    if (it != cache.end())
        return it->second;
    CalendarNames n;
    if (name.empty() || !LoadIcuNames(name, &n))
        n = EnglishNames();
    return cache.emplace(name, std::move(n)).first->second;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool ValidDate(const SYSTEMTIME& t)
{
    return t.wYear >= 1601 && t.wYear <= 30827 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= DaysInMonth(t.wYear, t.wMonth);
}

bool ValidTime(const SYSTEMTIME& t)
{
    return t.wHour <= 23 && t.wMinute <= 59 && t.wSecond <= 59 && t.wMilliseconds <= 999;
}

// 0 = Sunday. Sakamoto's method, valid for the whole Gregorian range.
int DayOfWeek(int y, int m, int d)
{
    static const int kOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3)
        --y;
    return (y + y / 4 - y / 100 + y / 400 + kOffset[m - 1] + d) % 7;
}

void AppendNumber(std::u16string& out, unsigned value, int minDigits)
{
    char16_t digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value && n < 12);
    for (int i = n; i < minDigits; ++i)
        out += u'0';
    while (n)
        out += digits[--n];
}

size_t RunLength(std::u16string_view s, size_t i)
{
    size_t j = i;
    while (j < s.size() && s[j] == s[i])
        ++j;
    return j - i;
}

// Copies a quoted section starting at the quote at `i`; returns the index after it.
// '' is one quote; an unclosed section runs to the end.
size_t CopyQuoted(std::u16string_view pic, size_t i, std::u16string* out)
{
    ++i;
    while (i < pic.size()) {
        if (pic[i] == u'\'') {
            if (i + 1 < pic.size() && pic[i + 1] == u'\'') {
                if (out)
                    *out += u'\'';
                i += 2;
                continue;
            }
            return i + 1;
        }
        if (out)
            *out += pic[i];
        ++i;
    }
    return i;
}

// A day number (d or dd) outside quotes makes full month names genitive.
bool HasDayNumber(std::u16string_view pic)
{
    for (size_t i = 0; i < pic.size();) {
        if (pic[i] == u'\'') {
            i = CopyQuoted(pic, i, nullptr);
            continue;
        }
        const size_t n = RunLength(pic, i);
        if (pic[i] == u'd' && n <= 2)
            return true;
        i += n;
    }
    return false;
}

void Interpret(const CalendarNames& names, const SYSTEMTIME& t, std::u16string_view pic, bool dateMode,
               std::u16string* out)
{
    const bool genitive = dateMode && HasDayNumber(pic);
    for (size_t i = 0; i < pic.size();) {
        const char16_t c = pic[i];
        if (c == u'\'') {
            i = CopyQuoted(pic, i, out);
            continue;
        }
        const size_t n = RunLength(pic, i);
        const int two = n >= 2 ? 2 : 1;
        bool handled = true;
        if (dateMode) {
            switch (c) {
            case u'd':
                if (n <= 2)
                    AppendNumber(*out, t.wDay, two);
                else
                    *out += (n == 3 ? names.shortDays : names.days)[DayOfWeek(t.wYear, t.wMonth, t.wDay)];
                break;
            case u'M':
                if (n <= 2)
                    AppendNumber(*out, t.wMonth, two);
                else if (n == 3)
                    *out += (genitive ? names.shortMonthsGenitive : names.shortMonths)[t.wMonth - 1];
                else
                    *out += (genitive ? names.monthsGenitive : names.months)[t.wMonth - 1];
                break;
            case u'y':
                if (n >= 4)
                    AppendNumber(*out, t.wYear, 4);
                else
                    AppendNumber(*out, t.wYear % 100, two);
                break;
            case u'g':
                *out += names.era;
                break;
            default:
                handled = false;
            }
        } else {
            switch (c) {
            case u'h':
                AppendNumber(*out, t.wHour % 12 == 0 ? 12 : t.wHour % 12, two);
                break;
            case u'H':
                AppendNumber(*out, t.wHour, two);
                break;
            case u'm':
                AppendNumber(*out, t.wMinute, two);
                break;
            case u's':
                AppendNumber(*out, t.wSecond, two);
                break;
            case u't': {
                const std::u16string& marker = t.wHour < 12 ? names.am : names.pm;
                *out += n == 1 ? marker.substr(0, 1) : marker;
                break;
            }
            default:
                handled = false;
            }
        }
        if (!handled)
            out->append(pic.substr(i, n));
        i += n;
    }
}

SYSTEMTIME Now()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    SYSTEMTIME st{};
    st.wYear = static_cast<uint16_t>(local.tm_year + 1900);
    st.wMonth = static_cast<uint16_t>(local.tm_mon + 1);
    st.wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
    st.wDay = static_cast<uint16_t>(local.tm_mday);
    st.wHour = static_cast<uint16_t>(local.tm_hour);
    st.wMinute = static_cast<uint16_t>(local.tm_min);
    st.wSecond = static_cast<uint16_t>(std::min(local.tm_sec, 59)); // leap second
    st.wMilliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
    return st;
}

// The buffer contract of the Windows calls.
int CopyOut(const std::u16string& text, char16_t* out, int capacity)
{
    const size_t needed = text.size() + 1;
    if (needed > 0x7FFFFFFF)
        return 0;
    if (capacity == 0)
        return static_cast<int>(needed);
    if (static_cast<size_t>(capacity) < needed) {
        out[0] = 0;
        return 0;
    }
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = 0;
    return static_cast<int>(needed);
}

std::u16string IcuPattern(LCID locale, UDateFormatStyle timeStyle, UDateFormatStyle dateStyle)
{
    const std::string name = LocaleNameFromLcid(locale);
    const std::string icuName = GregorianLocale(name.empty() ? std::string("en_US") : name);
    UErrorCode status = U_ZERO_ERROR;
    UDateFormat* fmt = udat_open(timeStyle, dateStyle, icuName.c_str(), nullptr, 0, nullptr, 0, &status);
    if (U_FAILURE(status) || !fmt)
        return {};
    UChar buf[256] = {};
    status = U_ZERO_ERROR;
    const int32_t length = udat_toPattern(fmt, false, buf, 256, &status);
    udat_close(fmt);
    if (U_FAILURE(status) || length <= 0 || length >= 256)
        return {};
    return std::u16string(buf, static_cast<size_t>(length));
}

// Rebuilds a picture run by run; quoted text is kept as it is.
template <typename Fn>
std::u16string RewriteRuns(std::u16string_view pic, Fn&& rewrite)
{
    std::u16string out;
    for (size_t i = 0; i < pic.size();) {
        if (pic[i] == u'\'') {
            const size_t end = CopyQuoted(pic, i, nullptr);
            out.append(pic.substr(i, end - i));
            i = end;
            continue;
        }
        const size_t n = RunLength(pic, i);
        rewrite(pic.substr(i, n), out);
        i += n;
    }
    return out;
}

// Doubles single-letter runs of `letters` (M -> MM, h -> hh).
std::u16string WidenSingles(std::u16string_view pic, std::u16string_view letters)
{
    return RewriteRuns(pic, [&](std::u16string_view run, std::u16string& out) {
        out.append(run);
        if (run.size() == 1 && letters.find(run[0]) != std::u16string_view::npos)
            out += run[0];
    });
}

// Year runs become four letters (the Windows short-date default).
std::u16string FullYear(std::u16string_view pic)
{
    return RewriteRuns(pic, [](std::u16string_view run, std::u16string& out) {
        out.append(run[0] == u'y' ? std::u16string_view(u"yyyy") : run);
    });
}

void AddOnce(std::vector<std::u16string>& list, const std::u16string& pic)
{
    if (!pic.empty() && std::find(list.begin(), list.end(), pic) == list.end())
        list.push_back(pic);
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

} // namespace

bool FormatDatePicture(LCID locale, const SYSTEMTIME& date, std::u16string_view picture, std::u16string* out)
{
    out->clear();
    if (!ValidDate(date))
        return false;
    Interpret(NamesFor(locale), date, picture, true, out);
    return true;
}

bool FormatTimePicture(LCID locale, const SYSTEMTIME& time, std::u16string_view picture, std::u16string* out)
{
    out->clear();
    if (!ValidTime(time))
        return false;
    Interpret(NamesFor(locale), time, picture, false, out);
    return true;
}

int GetDateFormatW(LCID locale, uint32_t flags, const SYSTEMTIME* date, const char16_t* format, char16_t* out,
                   int capacity)
{
    if (capacity < 0 || (capacity > 0 && !out) || (format && flags != 0) ||
        (flags & ~(DATE_SHORTDATE | DATE_LONGDATE)) || flags == (DATE_SHORTDATE | DATE_LONGDATE))
        return 0;
    const SYSTEMTIME when = date ? *date : Now();
    const std::u16string picture = format ? std::u16string(format) : GetDefaultDatePicture(locale, flags & DATE_LONGDATE);
    std::u16string text;
    if (!FormatDatePicture(locale, when, picture, &text)) {
        if (capacity > 0)
            out[0] = 0;
        return 0;
    }
    return CopyOut(text, out, capacity);
}

int GetTimeFormatW(LCID locale, uint32_t flags, const SYSTEMTIME* time, const char16_t* format, char16_t* out,
                   int capacity)
{
    if (capacity < 0 || (capacity > 0 && !out) || flags != 0)
        return 0;
    const SYSTEMTIME when = time ? *time : Now();
    const std::u16string picture = format ? std::u16string(format) : GetDefaultTimePicture(locale);
    std::u16string text;
    if (!FormatTimePicture(locale, when, picture, &text)) {
        if (capacity > 0)
            out[0] = 0;
        return 0;
    }
    return CopyOut(text, out, capacity);
}

std::u16string WindowsPictureFromIcuPattern(std::u16string_view pattern)
{
    std::u16string out;
    std::u16string pending; // literal text since the last field: dropped with a dropped field
    for (size_t i = 0; i < pattern.size();) {
        const char16_t c = pattern[i];
        if (c == u'\'') {
            const size_t end = CopyQuoted(pattern, i, nullptr);
            pending.append(pattern.substr(i, end - i));
            i = end;
            continue;
        }
        if (!IsAsciiLetter(c)) {
            pending += (c == u'\u202F' || c == u'\u00A0') ? u' ' : c;
            ++i;
            continue;
        }
        const size_t n = RunLength(pattern, i);
        std::u16string field;
        switch (c) {
        case u'G': field = u"g"; break;
        case u'y': case u'Y': case u'u': case u'U': case u'r': field = n == 2 ? u"yy" : u"yyyy"; break;
        case u'M': case u'L': field = std::u16string(n <= 4 ? n : 3, u'M'); break;
        case u'd': field = std::u16string(std::min<size_t>(n, 2), u'd'); break;
        case u'E': field = n == 4 ? u"dddd" : u"ddd"; break;
        case u'c': case u'e':
            if (n >= 3)
                field = n == 4 ? u"dddd" : u"ddd";
            break;
        case u'h': case u'K': field = n >= 2 ? u"hh" : u"h"; break;
        case u'H': case u'k': field = n >= 2 ? u"HH" : u"H"; break;
        case u'm': field = n >= 2 ? u"mm" : u"m"; break;
        case u's': field = n >= 2 ? u"ss" : u"s"; break;
        case u'a': case u'b': case u'B': field = u"tt"; break;
        default: break;
        }
        if (!field.empty()) {
            out += pending;
            out += field;
        }
        pending.clear();
        i += n;
    }
    out += pending;
    const size_t first = out.find_first_not_of(u' ');
    if (first == std::u16string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(u' ') - first + 1);
}

std::u16string GetDefaultDatePicture(LCID locale, bool longDate)
{
    if (longDate) {
        std::u16string pic = WindowsPictureFromIcuPattern(IcuPattern(locale, UDAT_NONE, UDAT_FULL));
        return pic.empty() ? u"dddd, MMMM d, yyyy" : pic;
    }
    std::u16string pic = FullYear(WindowsPictureFromIcuPattern(IcuPattern(locale, UDAT_NONE, UDAT_SHORT)));
    return pic.empty() ? u"M/d/yyyy" : pic;
}

std::u16string GetDefaultTimePicture(LCID locale)
{
    std::u16string pic = WindowsPictureFromIcuPattern(IcuPattern(locale, UDAT_MEDIUM, UDAT_NONE));
    return pic.empty() ? u"h:mm:ss tt" : pic;
}

std::vector<std::u16string> EnumDateFormats(LCID locale, uint32_t flags)
{
    std::vector<std::u16string> list;
    if (flags == DATE_LONGDATE) {
        AddOnce(list, GetDefaultDatePicture(locale, true));
        AddOnce(list, WindowsPictureFromIcuPattern(IcuPattern(locale, UDAT_NONE, UDAT_LONG)));
        AddOnce(list, WindowsPictureFromIcuPattern(IcuPattern(locale, UDAT_NONE, UDAT_MEDIUM)));
    } else if (flags == DATE_SHORTDATE) {
        const std::u16string def = GetDefaultDatePicture(locale, false);
        AddOnce(list, def);
        AddOnce(list, WindowsPictureFromIcuPattern(IcuPattern(locale, UDAT_NONE, UDAT_SHORT)));
        AddOnce(list, WidenSingles(def, u"dM"));
        AddOnce(list, u"yyyy-MM-dd");
    }
    return list;
}

std::vector<std::u16string> EnumTimeFormats(LCID locale)
{
    std::vector<std::u16string> list;
    const std::u16string def = GetDefaultTimePicture(locale);
    AddOnce(list, def);
    AddOnce(list, WidenSingles(def, u"hH"));
    if (def.find(u"tt") != std::u16string::npos) {
        AddOnce(list, u"H:mm:ss");
        AddOnce(list, u"HH:mm:ss");
    }
    return list;
}
