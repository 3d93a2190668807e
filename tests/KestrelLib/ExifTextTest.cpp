// EXIF text placeholders: a hand-filled record, the interface, and the EXIF
// files of the corpus and of exiftool.
#include "KestrelTest.h"

#include "platform/Utf.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

using namespace testjpeg;
using ktest::ImageRef;

namespace {

constexpr LCID kEnUs = 0x0409;

// A record as the parser leaves it for a typical camera photo.
CExif Filled()
{
    CExif x;
    x.m_imageDescription = "Harbour";
    x.m_make = "Canon";
    x.m_model = "EOS 5D";
    x.m_copyright = "J. Doe";
    x.m_comment = "a comment";
    x.m_userComment = u"user words";
    x.m_exposureTime = "1/250s";
    x.m_shutterSpeed = "1/1000s";
    x.m_fNumber = "F2.8";
    x.m_aperture = "F4.0";
    x.m_iso = "ISO200";
    x.m_focalLength = "50.0mm";
    x.m_focalLength35 = "80mm";
    x.m_subSecTime = "45";
    x.m_exifDate = At(2014, 5, 3, 12, 34, 56);
    x.m_fileDate = At(2020, 1, 2, 3, 4, 5);
    x.m_gpsLatitudeRef = "N ";
    x.m_gpsLatitude = 48 + 51 / 60.0 + 23.76 / 3600.0;
    x.m_gpsLongitudeRef = "E ";
    x.m_gpsLongitude = 2 + 17 / 60.0 + 40.2 / 3600.0;
    x.m_gpsAltitudeRef = 0;
    x.m_gpsAltitude = 35.4;
    x.SetPaths(u"/photos/IMG_0001.JPG", u"/home/me/out/copy.final.jpg");
    return x;
}

std::string Expand(CExif& x, std::u16string_view tmpl, int useFileTime = 0, int fractions = 0,
                   std::u16string_view date = u"yyyy-MM-dd", std::u16string_view time = u"HH:mm:ss", LCID locale = kEnUs)
{
    return Utf16ToUtf8(x.FormatText(tmpl, useFileTime, locale, date, time, fractions));
}

std::string Expand(IKestrel* k, const char16_t* tmpl, int useFileTime = 0, int fractions = 0,
                   const char16_t* date = u"yyyy-MM-dd", const char16_t* time = u"HH:mm:ss")
{
    CBstr t(tmpl), d(date), tm(time);
    const char16_t* out = k->FormatExifText(t, useFileTime, kEnUs, d, tm, fractions);
    return out ? Utf16ToUtf8(out) : std::string("<null>");
}

} // namespace

TEST(ExifText, EveryCode)
{
    CExif x = Filled();
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"%%", "%"},          {u"%C", "\u00A9"},          {u"%D", "Harbour"},      {u"%M %m", "Canon EOS 5D"},
        {u"%r", "J. Doe"},     {u"%c", "a comment"},       {u"%u", "user words"},   {u"%e", "1/250s"},
        {u"%f", "F2.8"},       {u"%i", "ISO200"},          {u"%l", "50.0mm"},       {u"%L", "80mm"},
        {u"%d", "2014-05-03"}, {u"%t", "12:34:56"},        {u"%v", "IMG_0001.JPG"}, {u"%V", "IMG_0001"},
        {u"%w", "copy.final.jpg"}, {u"%W", "copy.final"},  {u"%GLt", "N 48°51.396'"},
        {u"%GLg", "E 2°17.670'"},  {u"%GAl", "35m"},
        {u"Shot %d at %t, %f %e", "Shot 2014-05-03 at 12:34:56, F2.8 1/250s"},
    };
    for (const auto& [tmpl, want] : cases)
        EXPECT_EQ(Expand(x, tmpl), want) << Utf16ToUtf8(tmpl);

    // Fallbacks: shutter speed for exposure, aperture for F-number; below
    // sea level; absent GPS reads as zero.
    x.m_exposureTime.clear();
    x.m_fNumber.clear();
    x.m_gpsAltitudeRef = 1;
    EXPECT_EQ(Expand(x, u"%e %f %GAl"), "1/1000s F4.0 -35m");
    CExif empty;
    EXPECT_EQ(Expand(empty, u"[%GLt|%GLg|%GAl|%D%M%u%v%w%e%f]"), "[0°0.000'|0°0.000'|0m|]");
}

TEST(ExifText, MalformedCodes)
{
    CExif x = Filled();
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"100%%", "100%"}, {u"50%", "50"},      {u"%x", ""},        {u"a%xb", "ab"},       {u"%G", ""},
        {u"%GL", "L"},      {u"%GLtX", "N 48°51.396'X"},             {u"%GQQz", "z"},      {u"%Gx%%", ""},
        {u"%%%", "%"},      {u"%%d", "%d"},      {u"%\u00E9", ""},   {u"", ""},
        {u"a%GA", "aA"},    {u"%G%", ""},
    };
    for (const auto& [tmpl, want] : cases)
        EXPECT_EQ(Expand(x, tmpl), want) << Utf16ToUtf8(tmpl);
}

TEST(ExifText, DateChoiceAndFractions)
{
    CExif x = Filled();
    EXPECT_EQ(Expand(x, u"%d %t", 0, 1), "2014-05-03 12:34:56.45");
    EXPECT_EQ(Expand(x, u"%t", 0, 0), "12:34:56");
    EXPECT_EQ(Expand(x, u"%t", 0, 1, u"", u"h:mm tt"), "12:34 PM");            // no seconds: no fraction
    EXPECT_EQ(Expand(x, u"%t", 0, 1, u"", u"ss 'secs'"), "56.45 secs");        // last s outside quotes
    EXPECT_EQ(Expand(x, u"%d|%t", 0, 0, u"", u""), "|");                        // empty pictures stay empty
    EXPECT_EQ(Expand(x, u"%d", 0, 0, u"dddd, MMMM d, yyyy"), "Saturday, May 3, 2014");
    EXPECT_EQ(Expand(x, u"%d", 0, 0, u"d MMMM yyyy", u"", 0x0419), "3 мая 2014");
    // A sub-second text with picture letters or quotes is copied as it is.
    x.m_subSecTime = "h'7 ";
    EXPECT_EQ(Expand(x, u"%t", 0, 1), "12:34:56.h'7");

    // No EXIF date: the file date only when asked for, as stored.
    x.m_exifDate = SYSTEMTIME{};
    EXPECT_EQ(Expand(x, u"%d %t", 0, 1), " ");
    EXPECT_EQ(Expand(x, u"%d %t", 1, 0), "2020-01-02 03:04:05");
    // No usable file date either (memory load; no creation time): nothing,
    // not midnight.
    x.m_fileDate = SYSTEMTIME{};
    EXPECT_EQ(Expand(x, u"%d %t", 1, 0), " ");
    x.m_fileDate = At(1601, 1, 1, 0, 0, 0);
    EXPECT_EQ(Expand(x, u"%d %t", 1, 0), " ");
    // A result longer than the platform's 260-character buffer yields nothing.
    x.m_fileDate = At(2020, 1, 2, 3, 4, 5);
    EXPECT_EQ(Expand(x, u"[%d]", 1, 0, std::u16string(300, u'-')), "[]");
}

TEST(ExifText, TextBytesBecomeCharacters)
{
    CExif x;
    x.m_make = "Caf\xC3\xA9";           // UTF-8
    x.m_model = "\xA9 M\xFC" "ller";    // Latin-1
    x.m_comment = std::string("abc\0def", 7);
    x.m_userComment = std::u16string(u"note\0junk   ", 12);
    x.m_gpsLatitudeRef = std::string("S\0 ", 3);
    x.m_gpsLatitude = 33.5;
    EXPECT_EQ(Expand(x, u"%M|%m|%c|%u|%GLt"), "Café|© Müller|abc|note|S 33°30.000'");
    x.m_userComment = u"                ";
    EXPECT_EQ(Expand(x, u"[%u]"), "[]");
}

TEST(ExifText, StaysBoundedAndValid)
{
    ImageRef k;
    CDllImage* img = k.impl();
    // Ten thousand percent signs: half of them.
    EXPECT_EQ(Expand(k.p, std::u16string(10000, u'%').c_str()), std::string(5000, '%'));
    std::u16string mess;
    for (int i = 0; i < 2000; ++i)
        mess += u"%G%%x%GL%";
    EXPECT_EQ(Expand(k.p, mess.c_str()), std::string(2000, 'x'));

    // A 60 KB comment repeated many times is cut, not grown without bound.
    img->m_exif.m_comment.assign(60000, 'c');
    std::u16string repeat;
    for (int i = 0; i < 10000; ++i)
        repeat += u"%c";
    CBstr t(repeat), d(u""), tm(u"");
    const char16_t* big = k->FormatExifText(t, 0, kEnUs, d, tm, 0);
    const size_t bigLength = Utf16Length(big);
    EXPECT_GE(bigLength, 60000u * 17);
    EXPECT_LE(bigLength, size_t{1} << 20);

    // The text stays valid until the next call, which may reuse the storage.
    CBstr t2(u"%%ok");
    const char16_t* first = k->FormatExifText(t2, 0, kEnUs, d, tm, 0);
    const std::u16string copy = first;
    EXPECT_EQ(copy, u"%ok");
    EXPECT_EQ(std::u16string(first), copy);
    // Null strings are read as empty ones.
    const char16_t* none = k->FormatExifText(nullptr, 1, kEnUs, nullptr, nullptr, 1);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none[0], 0);
}

TEST(ExifText, FileNamesFollowLoadAndSave)
{
    TempDir dir;
    const auto jpeg = Encode(MakePattern(32, 16));
    const auto src = dir / "IMG_0001.JPG";
    ASSERT_TRUE(WriteFile(src, jpeg));
    ImageRef k;
    ASSERT_EQ(ktest::LoadPath(k.p, src), 1);
    EXPECT_EQ(Expand(k.p, u"%v|%V|%w|%W"), "IMG_0001.JPG|IMG_0001|IMG_0001.JPG|IMG_0001");

    CBstr target(ToU16((dir / "copy.jpg").string()));
    const SaveOptions options = DefaultSaveOptions(); // a lossless copy
    ASSERT_EQ(k->SaveFile(target, &options), 1);
    EXPECT_EQ(Expand(k.p, u"%v|%V|%w|%W"), "IMG_0001.JPG|IMG_0001|copy.jpg|copy");

    // Only "/" separates folders: a colon or a backslash belongs to the name.
    const auto odd = dir / "a:b\\c.d.jpg";
    ASSERT_TRUE(WriteFile(odd, jpeg));
    ASSERT_EQ(ktest::LoadPath(k.p, odd), 1);
    EXPECT_EQ(Expand(k.p, u"%v|%V|%w|%W"), "a:b\\c.d.jpg|a:b\\c.d|a:b\\c.d.jpg|a:b\\c.d");

    // A memory load has no names and no file date.
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    EXPECT_EQ(Expand(k.p, u"[%v%V%w%W]%d %t", 1), "[] ");
}

// Without an EXIF date the file's own birth time (UTC, as stored) stands in,
// read from a real file; a file system without birth times gives nothing.
TEST(ExifText, FileTimeFallbackFromDisk)
{
    TempDir dir;
    const auto path = dir / "plain.jpg";
    ASSERT_TRUE(WriteFile(path, Encode(MakePattern(16, 16))));
    struct statx stx{};
    ASSERT_EQ(statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &stx), 0);
    std::string want = " ";
    if (stx.stx_mask & STATX_BTIME) {
        const time_t seconds = static_cast<time_t>(stx.stx_btime.tv_sec);
        struct tm utc{};
        gmtime_r(&seconds, &utc);
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                      utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
        want = text;
    }
    ImageRef k;
    ASSERT_EQ(ktest::LoadPath(k.p, path), 1);
    EXPECT_EQ(Expand(k.p, u"%d %t", 1), want);
    EXPECT_EQ(Expand(k.p, u"%d %t", 0), " ");
}

// Corpus photos, with the values exiftool reports for them (numbers in the
// library's own text forms: exiftool's "2.4" is F2.40 here, its "4.3 mm" 4.3mm).
TEST(ExifText, CorpusPhotos)
{
    struct Row {
        const char* file;
        const char16_t* tmpl;
        const char* expected;
    };
    const Row rows[] = {
        // 2014:09:01 15:03:47, sub-second 880, 1/1284 s, f/2.4, ISO 50,
        // 4.28 mm (35 mm: 35), Apple iPhone 4S, 59°19'57.17" N, 18°3'53.79" E, 29 m
        // (53.79" is 0.8965', which the double arithmetic puts just below the half).
        {"gox_iphone4s_orient6.jpg", u"%d %t", "2014-09-01 15:03:47.880"},
        {"gox_iphone4s_orient6.jpg", u"%e|%f|%i|%l|%L", "1/1284s|F2.40|ISO50|4.3mm|35mm"},
        {"gox_iphone4s_orient6.jpg", u"%M %m", "Apple iPhone 4S"},
        {"gox_iphone4s_orient6.jpg", u"%GLt|%GLg|%GAl", "N 59°19.953'|E 18°3.896'|29m"},
        // 2014:04:26 19:09:19, aperture value 2.0 (no F-number), ISO 125,
        // 3.0 mm, altitude 0 m. Its make and model sit in the Exif IFD, where
        // exiftool finds them but only IFD0 is read; IFD0's make is empty.
        {"gox_htc-one_gps.jpg", u"%d %t", "2014-04-26 19:09:19"},
        {"gox_htc-one_gps.jpg", u"%f|%i|%l", "F2.0|ISO125|3.0mm"},
        {"gox_htc-one_gps.jpg", u"[%M] [%m]", "[] []"},
        {"gox_htc-one_gps.jpg", u"%GAl", "0m"},
        {"gox_orient3.jpg", u"%c", "Created with GIMP"},
    };
    for (const auto& r : rows) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadPath(k.p, CorpusFile(r.file), 1), 1) << r.file;
        EXPECT_EQ(Expand(k.p, r.tmpl, 0, 1), r.expected) << r.file << " " << Utf16ToUtf8(r.tmpl);
    }
}

// Tags written by exiftool, in both byte orders.
TEST(ExifText, ExiftoolTags)
{
    if (!HaveTool("exiftool"))
        GTEST_SKIP() << "exiftool not installed";
    TempDir dir;
    for (const char* order : {"II", "MM"}) {
        SCOPED_TRACE(order);
        const auto path = dir / (std::string(order) + ".jpg");
        ASSERT_TRUE(WriteFile(path, Encode(MakePattern(48, 32))));
        const std::string cmd = "exiftool -q -overwrite_original -ExifByteOrder=" + std::string(order) +
                                " '-Copyright=(c) 2024 Pixmend Tests' '-ImageDescription=Quay at dusk'"
                                " -Make=Nikon '-Model=D750 X' '-DateTimeOriginal=2024:02:29 23:59:58'"
                                " -SubSecTimeOriginal=07 -ExposureTime=2 -FNumber=5.6 -ISO=6400"
                                " -FocalLength=35 -FocalLengthIn35mmFormat=52"
                                " -GPSLatitude=48.856600 -GPSLatitudeRef=N -GPSLongitude=2.352200"
                                " -GPSLongitudeRef=W -GPSAltitude=12.6 '-GPSAltitudeRef=Below Sea Level' '" +
                                path.string() + "'";
        ASSERT_EQ(testjpeg::Run(cmd), 0);
        ImageRef k;
        ASSERT_EQ(ktest::LoadPath(k.p, path), 1);
        EXPECT_EQ(Expand(k.p, u"%r|%D|%M %m"), "(c) 2024 Pixmend Tests|Quay at dusk|Nikon D750 X");
        EXPECT_EQ(Expand(k.p, u"%d %t", 0, 1), "2024-02-29 23:59:58.07");
        EXPECT_EQ(Expand(k.p, u"%e|%f|%i|%l|%L"), "2.0s|F5.60|ISO6400|35.0mm|52mm");
        // 48.8566 = 48°51.396', 2.3522 = 2°21.132', below sea level, rounded.
        EXPECT_EQ(Expand(k.p, u"%GLt|%GLg|%GAl"), "N 48°51.396'|W 2°21.132'|-13m");
    }
}
