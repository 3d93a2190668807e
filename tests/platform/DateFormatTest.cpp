// Windows date and time pictures with ICU names.
#include "TestJpeg.h"
#include "platform/DateFormat.h"
#include "platform/Utf.h"

#include <gtest/gtest.h>

namespace {

using testjpeg::At;

constexpr LCID kEnUs = 0x0409, kDeDe = 0x0407, kFrFr = 0x040C, kRuRu = 0x0419, kJaJp = 0x0411;

struct PictureCase {
    LCID locale;
    SYSTEMTIME when;
    const char16_t* picture;
    const char* expected; // UTF-8
};

std::string Date(const PictureCase& c)
{
    std::u16string out;
    EXPECT_TRUE(FormatDatePicture(c.locale, c.when, c.picture, &out));
    return Utf16ToUtf8(out);
}

std::string Time(const PictureCase& c)
{
    std::u16string out;
    EXPECT_TRUE(FormatTimePicture(c.locale, c.when, c.picture, &out));
    return Utf16ToUtf8(out);
}

} // namespace

TEST(DatePicture, LocalesAndElements)
{
    const SYSTEMTIME dec8 = At(2026, 12, 8), dec9 = At(2026, 12, 9);
    const PictureCase cases[] = {
        // The day name comes from the date itself (8 December 2026 is a Tuesday).
        {kEnUs, dec8, u"dddd, MMMM d, yyyy", "Tuesday, December 8, 2026"},
        {kDeDe, dec8, u"dddd, d. MMMM yyyy", "Dienstag, 8. Dezember 2026"},
        {kDeDe, dec9, u"dddd, d. MMMM yyyy", "Mittwoch, 9. Dezember 2026"},
        {kDeDe, dec8, u"dd.MM.yy", "08.12.26"},
        {kFrFr, dec9, u"dddd d MMMM yyyy", "mercredi 9 décembre 2026"},
        {kFrFr, dec8, u"dd/MM/yyyy", "08/12/2026"},
        // Russian: genitive month after a day number, nominative on its own.
        {kRuRu, dec8, u"d MMMM yyyy", "8 декабря 2026"},
        {kRuRu, dec8, u"MMMM yyyy", "декабрь 2026"},
        {kRuRu, dec8, u"dddd", "вторник"},
        {kJaJp, dec8, u"yyyy'年'M'月'd'日' dddd", "2026年12月8日 火曜日"},
        {kJaJp, dec8, u"ddd", "火"},
        {kEnUs, dec8, u"ddd MMM d", "Tue Dec 8"},
        // Counts: d/M/y numbers, runs longer than the longest form.
        {kEnUs, At(2005, 3, 4), u"d dd M MM y yy yyy yyyy", "4 04 3 03 5 05 05 2005"},
        {kEnUs, At(2005, 3, 4), u"ddddd MMMMM yyyyy", "Friday March 2005"},
        // Quoted text, doubled quotes, an unclosed quote, time letters copied.
        {kEnUs, dec8, u"'day' d 'o''clock'", "day 8 o'clock"},
        {kEnUs, dec8, u"yyyy 'dd MM", "2026 dd MM"},
        {kEnUs, dec8, u"d hh:mm:ss tt", "8 hh:mm:ss tt"},
        {kEnUs, dec8, u"", ""},
        // Limits of the range.
        {kEnUs, At(1601, 1, 1), u"dddd yyyy-MM-dd", "Monday 1601-01-01"},
        {kEnUs, At(30827, 12, 31), u"yyyy", "30827"},
        {kEnUs, At(2024, 2, 29), u"dddd", "Thursday"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Date(c), c.expected) << Utf16ToUtf8(c.picture);
}

TEST(TimePicture, LocalesAndElements)
{
    const SYSTEMTIME pm = At(2026, 12, 8, 15, 4, 5), am = At(2026, 12, 8, 0, 5, 9);
    const PictureCase cases[] = {
        {kEnUs, pm, u"h:mm tt", "3:04 PM"},
        {kEnUs, am, u"hh:mm:ss t", "12:05:09 A"},
        {kEnUs, At(2026, 1, 1, 12, 0, 0), u"h tt", "12 PM"},
        {kEnUs, pm, u"H:mm:ss", "15:04:05"},
        {kEnUs, am, u"HH:mm:ss", "00:05:09"},
        {kEnUs, am, u"HHH mmm sss", "00 05 09"},
        {kDeDe, pm, u"HH:mm 'Uhr' d M y", "15:04 Uhr d M y"},
        {kJaJp, pm, u"tt h:mm", "午後 3:04"},
        {kJaJp, am, u"H:mm:ss", "0:05:09"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Time(c), c.expected) << Utf16ToUtf8(c.picture);
}

TEST(DatePicture, InvalidDatesYieldNothing)
{
    std::u16string out = u"stale";
    const SYSTEMTIME bad[] = {SYSTEMTIME{}, At(2026, 2, 29), At(2026, 13, 1), At(2026, 4, 31), At(1600, 12, 31),
                              At(2026, 0, 5), At(2026, 5, 0)};
    for (const auto& d : bad) {
        EXPECT_FALSE(FormatDatePicture(kEnUs, d, u"yyyy", &out));
        EXPECT_TRUE(out.empty());
        char16_t buf[32] = {u'x'};
        EXPECT_EQ(GetDateFormatW(kEnUs, 0, &d, u"yyyy", buf, 32), 0);
        EXPECT_EQ(buf[0], 0);
    }
    const SYSTEMTIME badTimes[] = {At(2026, 1, 1, 24), At(2026, 1, 1, 1, 60), At(2026, 1, 1, 1, 1, 60),
                                   At(2026, 1, 1, 1, 1, 1, 1000)};
    for (const auto& t : badTimes)
        EXPECT_FALSE(FormatTimePicture(kEnUs, t, u"HH", &out));
    // A time picture checks only the time: midnight of the zero date is a time.
    EXPECT_TRUE(FormatTimePicture(kEnUs, SYSTEMTIME{}, u"HH:mm", &out));
    EXPECT_EQ(out, u"00:00");
}

TEST(DatePicture, BufferContract)
{
    const SYSTEMTIME d = At(2014, 5, 3, 12, 34, 56);
    EXPECT_EQ(GetDateFormatW(kEnUs, 0, &d, u"yyyy-MM-dd", nullptr, 0), 11);
    char16_t buf[11];
    EXPECT_EQ(GetDateFormatW(kEnUs, 0, &d, u"yyyy-MM-dd", buf, 11), 11);
    EXPECT_EQ(std::u16string(buf), u"2014-05-03");
    EXPECT_EQ(GetDateFormatW(kEnUs, 0, &d, u"yyyy-MM-dd", buf, 10), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(GetDateFormatW(kEnUs, 0, &d, u"yyyy", nullptr, 5), 0);
    EXPECT_EQ(GetDateFormatW(kEnUs, 0, &d, u"yyyy", buf, -1), 0);
    EXPECT_EQ(GetDateFormatW(kEnUs, DATE_LONGDATE, &d, u"yyyy", buf, 11), 0); // flags with a picture
    EXPECT_EQ(GetTimeFormatW(kEnUs, 0, &d, u"HH:mm:ss", buf, 11), 9);
    EXPECT_EQ(std::u16string(buf), u"12:34:56");

    // No picture: the locale's default; no date: now (some valid date).
    char16_t big[260];
    ASSERT_GT(GetDateFormatW(kDeDe, DATE_LONGDATE, &d, nullptr, big, 260), 0);
    EXPECT_EQ(std::u16string(big), u"Samstag, 3. Mai 2014");
    ASSERT_GT(GetDateFormatW(kDeDe, 0, &d, nullptr, big, 260), 0);
    EXPECT_EQ(std::u16string(big), u"03.05.2014");
    ASSERT_GT(GetTimeFormatW(kEnUs, 0, &d, nullptr, big, 260), 0);
    EXPECT_EQ(std::u16string(big), u"12:34:56 PM");
    EXPECT_EQ(GetDateFormatW(kEnUs, 0, nullptr, u"yyyy", big, 260), 5);
}

TEST(DatePicture, UnknownLocaleFallsBackToEnglish)
{
    std::u16string out;
    for (LCID id : {LCID{0x1234}, LCID{0xFFFFFFFF}}) {
        ASSERT_TRUE(FormatDatePicture(id, At(2026, 12, 8), u"dddd MMMM ddd MMM g", &out));
        EXPECT_EQ(out, u"Tuesday December Tue Dec A.D.");
        ASSERT_TRUE(FormatTimePicture(id, At(2026, 12, 8, 9), u"tt", &out));
        EXPECT_EQ(out, u"AM");
    }
}

TEST(IcuPattern, ConvertsToWindowsPictures)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"EEEE, MMMM d, y", u"dddd, MMMM d, yyyy"},
        {u"EEEE, d. MMMM y", u"dddd, d. MMMM yyyy"},
        {u"M/d/yy", u"M/d/yy"},
        {u"d MMM y 'г'.", u"d MMM yyyy 'г'."},
        {u"y年M月d日EEEE", u"yyyy年M月d日dddd"},
        {u"h:mm:ss\u202Fa", u"h:mm:ss tt"},
        {u"HH:mm:ss zzzz", u"HH:mm:ss"},
        {u"zzzz HH:mm", u"HH:mm"},
        {u"G y LLLL ccc", u"g yyyy MMMM ddd"},
        {u"K:mm a, 'o''clock'", u"h:mm tt, 'o''clock'"},
        {u"ss.SSS", u"ss"},
        {u"", u""},
    };
    for (const auto& [icu, windows] : cases)
        EXPECT_EQ(WindowsPictureFromIcuPattern(icu), windows) << Utf16ToUtf8(icu);
}

TEST(DefaultPictures, FiveLocales)
{
    struct Row {
        LCID id;
        const char16_t *shortDate, *longDate, *time;
    };
    const Row rows[] = {
        {kEnUs, u"M/d/yyyy", u"dddd, MMMM d, yyyy", u"h:mm:ss tt"},
        {kDeDe, u"dd.MM.yyyy", u"dddd, d. MMMM yyyy", u"HH:mm:ss"},
        {kFrFr, u"dd/MM/yyyy", u"dddd d MMMM yyyy", u"HH:mm:ss"},
        {kRuRu, u"dd.MM.yyyy", nullptr, u"HH:mm:ss"},
        {kJaJp, u"yyyy/MM/dd", nullptr, u"H:mm:ss"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(GetDefaultDatePicture(r.id, false), r.shortDate);
        if (r.longDate) {
            EXPECT_EQ(GetDefaultDatePicture(r.id, true), r.longDate);
        }
        EXPECT_EQ(GetDefaultTimePicture(r.id), r.time);

        // Every offered picture formats, the default first, none twice.
        for (auto kind : {DATE_SHORTDATE, DATE_LONGDATE}) {
            const auto list = EnumDateFormats(r.id, kind);
            ASSERT_FALSE(list.empty());
            EXPECT_EQ(list.front(), GetDefaultDatePicture(r.id, kind == DATE_LONGDATE));
            for (size_t i = 0; i < list.size(); ++i) {
                std::u16string out;
                EXPECT_TRUE(FormatDatePicture(r.id, At(2026, 12, 8), list[i], &out));
                EXPECT_FALSE(out.empty());
                for (size_t j = 0; j < i; ++j)
                    EXPECT_NE(list[i], list[j]);
            }
        }
        const auto times = EnumTimeFormats(r.id);
        ASSERT_FALSE(times.empty());
        EXPECT_EQ(times.front(), r.time);
    }
    // The Russian long date ends in the year abbreviation and uses the genitive.
    std::u16string out;
    ASSERT_TRUE(FormatDatePicture(kRuRu, At(2026, 12, 8), GetDefaultDatePicture(kRuRu, true), &out));
    EXPECT_NE(out.find(u"8 декабря 2026 г."), std::u16string::npos) << Utf16ToUtf8(out);
}
