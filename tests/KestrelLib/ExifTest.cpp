// The EXIF record: parsing, orientation, and the markers written into a save.
#include "ExifTestBlock.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <sstream>

using namespace testjpeg;
using exiftest::Block;
using exiftest::SaveChoice;
using exiftest::Tag;
using ktest::ImageRef;

namespace {

std::vector<uint8_t> JpegWithExif(const std::vector<uint8_t>& app1, std::vector<std::pair<int, std::vector<uint8_t>>> more = {})
{
    more.insert(more.begin(), {JPEG_APP0 + 1, app1});
    return exiftest::SmallJpeg(48, 32, std::move(more));
}

std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// exiftool's answers for some tags, one row per file, "-" when absent (one
// exiftool run for all files: its start-up dominates).
std::vector<std::vector<std::string>> ToolTable(const std::string& tags, const std::vector<std::filesystem::path>& files)
{
    std::string cmd = "exiftool -T -n -f " + tags;
    for (const auto& f : files)
        cmd += " " + Quote(f);
    std::string out;
    testjpeg::Run(cmd + " 2>/dev/null", &out);
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> row;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            row.push_back(cell);
        rows.push_back(row);
    }
    return rows;
}

// Width and height of each file's EXIF thumbnail as exiftool sees it, 0 x 0 when none.
std::vector<std::pair<int, int>> ThumbnailSizes(const std::vector<std::filesystem::path>& files, const TempDir& dir)
{
    std::string cmd = "exiftool -q -b -ThumbnailImage -w! " + Quote(dir / "%f_thumb.jpg");
    std::vector<std::filesystem::path> thumbs;
    for (const auto& f : files) {
        cmd += " " + Quote(f);
        thumbs.push_back(dir / (f.stem().string() + "_thumb.jpg"));
        std::filesystem::remove(thumbs.back());
    }
    testjpeg::Run(cmd + " 2>/dev/null");
    std::vector<std::filesystem::path> present;
    for (const auto& t : thumbs)
        if (std::filesystem::exists(t))
            present.push_back(t);
    const auto rows = ToolTable("-ImageWidth -ImageHeight", present);
    std::vector<std::pair<int, int>> sizes;
    size_t row = 0;
    for (const auto& t : thumbs) {
        const bool have = std::filesystem::exists(t) && row < rows.size() && rows[row].size() == 2;
        sizes.emplace_back(have ? std::stoi(rows[row][0]) : 0, have ? std::stoi(rows[row][1]) : 0);
        row += std::filesystem::exists(t) ? 1 : 0;
    }
    return sizes;
}

std::vector<uint8_t> ExifOf(const std::vector<uint8_t>& jpeg)
{
    for (auto& [code, data] : exiftest::Markers(jpeg))
        if (code == 0xE1 && data.size() > 6 && std::equal(data.begin(), data.begin() + 6, "Exif\0\0"))
            return data;
    return {};
}

} // namespace

TEST(ExifParse, NoMarkersAndJfif)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, exiftest::SmallJpeg(48, 32, {}, false), 1), 1);
    const CExif& x = k.impl()->m_exif;
    EXPECT_FALSE(x.m_hasJfif);
    EXPECT_FALSE(x.m_hasExif);
    EXPECT_EQ(k->GetOrientation(), 1);
    int size = -1;
    k->GetExifThumbnailSize(&size);
    EXPECT_EQ(size, 0);
    EXPECT_TRUE(x.m_make.empty() && x.m_model.empty() && x.m_comment.empty() && x.m_exposureTime.empty());
    EXPECT_EQ(x.m_exifDate.wYear, 0);

    ASSERT_EQ(ktest::LoadBytes(k.p, exiftest::SmallJpeg(48, 32, {{JPEG_COM, {'h', 'i'}}}), 1), 1);
    EXPECT_TRUE(x.m_hasJfif);
    EXPECT_EQ(x.m_comment, "hi");
}

struct ValueCase {
    const char* name;
    bool ifd0; // false: Exif IFD
    Tag (*make)(const Block&);
    std::string CExif::*field;
    const char* expected;
};

class ExifValueText : public ::testing::TestWithParam<bool> {};

TEST_P(ExifValueText, Rules)
{
    using T = exiftest::Tag;
    static const ValueCase cases[] = {
        {"exposure 1/250", false, [](const Block& b) -> T { return b.Rational(33434, 1, 250); }, &CExif::m_exposureTime, "1/250s"},
        {"exposure 10/1", false, [](const Block& b) -> T { return b.Rational(33434, 10, 1); }, &CExif::m_exposureTime, "10.0s"},
        {"exposure 0/1", false, [](const Block& b) -> T { return b.Rational(33434, 0, 1); }, &CExif::m_exposureTime, ""},
        {"f-number 28/10", false, [](const Block& b) -> T { return b.Rational(33437, 28, 10); }, &CExif::m_fNumber, "F2.8"},
        {"f-number 4/1", false, [](const Block& b) -> T { return b.Rational(33437, 4, 1); }, &CExif::m_fNumber, "F4.00"},
        {"f-number 4/0", false, [](const Block& b) -> T { return b.Rational(33437, 4, 0); }, &CExif::m_fNumber, ""},
        {"focal 50/1", false, [](const Block& b) -> T { return b.Rational(37386, 50, 1); }, &CExif::m_focalLength, "50.0mm"},
        {"iso 200", false, [](const Block& b) -> T { return b.Short(34855, 200); }, &CExif::m_iso, "ISO200"},
        {"focal 35mm", false, [](const Block& b) -> T { return b.Short(41989, 75); }, &CExif::m_focalLength35, "75mm"},
        {"shutter 8", false, [](const Block& b) -> T { return b.Rational(37377, 8, 1, 10); }, &CExif::m_shutterSpeed, "1/250s"},
        {"shutter -2", false, [](const Block& b) -> T { return b.Rational(37377, uint32_t(-2), 1, 10); }, &CExif::m_shutterSpeed, "4s"},
        {"shutter 12", false, [](const Block& b) -> T { return b.Rational(37377, 12, 1, 10); }, &CExif::m_shutterSpeed, ""},
        {"shutter INT_MIN/-1", false, [](const Block& b) -> T { return b.Rational(37377, 0x80000000u, uint32_t(-1), 10); }, &CExif::m_shutterSpeed, ""},
        {"shutter x/0", false, [](const Block& b) -> T { return b.Rational(37377, 3, 0, 10); }, &CExif::m_shutterSpeed, ""},
        {"aperture 4/1", false, [](const Block& b) -> T { return b.Rational(37378, 4, 1); }, &CExif::m_aperture, "F4.0"},
        {"sub-second", false, [](const Block& b) -> T { return b.Ascii(37521, "45"); }, &CExif::m_subSecTime, "45"},
        {"make inline", true, [](const Block& b) -> T { return b.Ascii(271, "Abc"); }, &CExif::m_make, "Abc"},
        {"model out of line", true, [](const Block& b) -> T { return b.Ascii(272, "Model 7"); }, &CExif::m_model, "Model 7"},
        {"description", true, [](const Block& b) -> T { return b.Ascii(270, "A view"); }, &CExif::m_imageDescription, "A view"},
        {"copyright", true, [](const Block& b) -> T { return b.Ascii(33432, "(c) me"); }, &CExif::m_copyright, "(c) me"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        Block b;
        b.le = GetParam();
        (c.ifd0 ? b.ifd0 : b.exif).push_back(c.make(b));
        b.exif.push_back(b.Short(40961, 1)); // the Exif IFD is read from two entries on
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, JpegWithExif(b.Build()), 1), 1);
        EXPECT_EQ(k.impl()->m_exif.*c.field, c.expected);
    }
}

TEST_P(ExifValueText, DatesCommentsAndGps)
{
    Block b;
    b.le = GetParam();
    auto unicode = [&](const std::u16string& s) {
        std::vector<uint8_t> v = {'U', 'N', 'I', 'C', 'O', 'D', 'E', 0};
        for (char16_t c : s)
            b.Put16(v, c);
        return b.Raw(37510, 7, v);
    };
    b.exif = {b.Ascii(36867, "2014:05:03 12:34:56"), unicode(u"Gr\u00fc\u00dfe")};
    b.gps = {b.Ascii(1, "N"), b.Raw(2, 5, {}), b.Ascii(3, "W"), b.Raw(5, 1, {1}), b.Rational(6, 35, 2)};
    b.gps[1] = b.Rational(2, 48, 1);
    for (auto [n, d] : {std::pair<uint32_t, uint32_t>{51, 1}, {2376, 100}}) {
        b.Put32(b.gps[1].data, n);
        b.Put32(b.gps[1].data, d);
    }
    b.gps[1].count = 3;
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, JpegWithExif(b.Build()), 1), 1);
    const CExif& x = k.impl()->m_exif;
    EXPECT_EQ(x.m_exifDate.wYear, 2014);
    EXPECT_EQ(x.m_exifDate.wMonth, 5);
    EXPECT_EQ(x.m_exifDate.wDay, 3);
    EXPECT_EQ(x.m_exifDate.wHour, 12);
    EXPECT_EQ(x.m_exifDate.wMinute, 34);
    EXPECT_EQ(x.m_exifDate.wSecond, 56);
    EXPECT_EQ(x.m_userComment, u"Gr\u00fc\u00dfe");
    EXPECT_EQ(x.m_gpsLatitudeRef, "N ");
    EXPECT_NEAR(x.m_gpsLatitude, 48 + 51 / 60.0 + 23.76 / 3600, 1e-9);
    EXPECT_EQ(x.m_gpsLongitudeRef, "W ");
    EXPECT_EQ(x.m_gpsAltitudeRef, 1);
    EXPECT_DOUBLE_EQ(x.m_gpsAltitude, 17.5);

    // A date starting with 0, an ASCII comment, an unknown comment code.
    b.exif = {b.Ascii(36867, "0000:00:00 00:00:00"), b.Raw(37510, 7, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'o', 'k', ' '})};
    ASSERT_EQ(ktest::LoadBytes(k.p, JpegWithExif(b.Build()), 1), 1);
    EXPECT_EQ(x.m_exifDate.wYear, 0);
    EXPECT_EQ(x.m_userComment, u"ok");
    b.exif[1] = b.Raw(37510, 7, {'J', 'I', 'S', 0, 0, 0, 0, 0, 'x', 'y'});
    ASSERT_EQ(ktest::LoadBytes(k.p, JpegWithExif(b.Build()), 1), 1);
    EXPECT_EQ(x.m_userComment, u"");
}

TEST_P(ExifValueText, OrientationBytesFollowTheByteOrder)
{
    Block b;
    b.le = GetParam();
    b.ifd0 = {b.Short(274, 6)};
    std::vector<uint8_t> jpeg = JpegWithExif(b.Build());
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg, 0), 1);
    EXPECT_EQ(k->GetOrientation(), 6);
    CDllImage* img = k.impl();
    const size_t pos = img->m_exif.m_orientationPos;
    ASSERT_NE(pos, 0u);
    const auto& data = img->m_markers[static_cast<size_t>(img->m_exif.m_exifMarkerIndex)].data;
    auto bytes = [&] { return std::pair<int, int>(data[pos], data[pos + 1]); };
    EXPECT_EQ(bytes(), b.le ? std::pair(6, 0) : std::pair(0, 6));
    k->SetOrientation(1);
    EXPECT_EQ(k->GetOrientation(), 1);
    EXPECT_EQ(bytes(), b.le ? std::pair(1, 0) : std::pair(0, 1));
    k->SetOrientation(0x10006); // low 16 bits
    EXPECT_EQ(bytes(), b.le ? std::pair(6, 0) : std::pair(0, 6));
    EXPECT_EQ(k->GetOrientation(), 6);

    // After Close the block is gone: nothing to patch, nothing to crash on.
    k->Close();
    k->SetOrientation(3);
    EXPECT_EQ(k->GetOrientation(), 6);

    // Without an orientation entry nothing changes.
    b.ifd0 = {b.Ascii(271, "Make")};
    ASSERT_EQ(ktest::LoadBytes(k.p, JpegWithExif(b.Build()), 0), 1);
    const std::vector<CSavedMarker> before = img->m_markers;
    k->SetOrientation(6);
    EXPECT_EQ(k->GetOrientation(), 1);
    ASSERT_EQ(img->m_markers.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(img->m_markers[i].data, before[i].data);
}

INSTANTIATE_TEST_SUITE_P(ByteOrder, ExifValueText, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "LittleEndian" : "BigEndian"; });

// ---- Against exiftool ----

class ExifToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveTool("exiftool"))
            GTEST_SKIP() << "exiftool not installed";
    }
    // A photo with a rich EXIF block and a thumbnail, written by exiftool.
    std::filesystem::path MakeTagged(const std::string& byteOrder)
    {
        WriteFile(dir / "thumb.jpg", exiftest::SmallJpeg(40, 24));
        const auto path = dir / ("tagged_" + byteOrder + ".jpg");
        WriteFile(path, exiftest::SmallJpeg(48, 32));
        const int rc = testjpeg::Run("exiftool -q -overwrite_original -ExifByteOrder=" + byteOrder
                           + " -Orientation#=6 -Make=Maker -Model='Cam 1' '-DateTimeOriginal=2014:05:03 12:34:56'"
                             " -SubSecTimeOriginal=45 -ExposureTime=1/250 -FNumber=2.8 -ISO=200 -FocalLength=50"
                             " -UserComment='hello there' -Copyright=Me '-ImageDescription=A picture'"
                             " -GPSLatitude=48.8566 -GPSLatitudeRef=N -GPSLongitude=2.3522 -GPSLongitudeRef=W"
                             " -ExifImageWidth=999 -ExifImageHeight=777 '-ThumbnailImage<="
                           + (dir / "thumb.jpg").string() + "' " + Quote(path));
        EXPECT_EQ(rc, 0);
        return path;
    }
    TempDir dir;
};

class ExifToolByteOrder : public ExifToolTest, public ::testing::WithParamInterface<const char*> {};

// What the record keeps, checked against exiftool. The record reads IFD0's
// texts and standard GPS rationals only, so those are what is compared.
void ExpectAgreesWithExiftool(const std::vector<std::filesystem::path>& files, const TempDir& dir, bool gps)
{
    const auto rows = ToolTable("-Orientation -IFD0:Make -IFD0:Model -ExifIFD:DateTimeOriginal -IFD0:Copyright"
                                " -IFD0:ImageDescription -SubSecTimeOriginal -ISO -GPSLatitude -GPSLongitude",
                                files);
    const auto thumbs = ThumbnailSizes(files, dir);
    ASSERT_EQ(rows.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].filename().string());
        const auto& v = rows[i];
        ASSERT_EQ(v.size(), 10u);
        ImageRef k;
        ASSERT_EQ(ktest::LoadPath(k.p, files[i], 1), 1);
        const CExif& x = k.impl()->m_exif;
        EXPECT_EQ(std::to_string(k->GetOrientation()), v[0] == "-" ? "1" : v[0]);
        auto text = [](const std::string& s) { return s == "-" ? std::string() : s; };
        EXPECT_EQ(x.m_make, text(v[1]));
        EXPECT_EQ(x.m_model, text(v[2]));
        char date[64] = "-";
        if (x.m_exifDate.wYear)
            std::snprintf(date, sizeof date, "%04d:%02d:%02d %02d:%02d:%02d", x.m_exifDate.wYear, x.m_exifDate.wMonth,
                          x.m_exifDate.wDay, x.m_exifDate.wHour, x.m_exifDate.wMinute, x.m_exifDate.wSecond);
        EXPECT_EQ(date, v[3]);
        EXPECT_EQ(x.m_copyright, text(v[4]));
        EXPECT_EQ(x.m_imageDescription, text(v[5]));
        EXPECT_EQ(x.m_subSecTime, text(v[6]));
        EXPECT_EQ(x.m_iso, v[7] == "-" ? "" : "ISO" + v[7]);
        if (gps) {
            EXPECT_NEAR(x.m_gpsLatitude, std::fabs(std::stod(v[8])), 1e-6);
            EXPECT_NEAR(x.m_gpsLongitude, std::fabs(std::stod(v[9])), 1e-6);
        }
        int size = 0;
        k->GetExifThumbnailSize(&size);
        EXPECT_EQ(size & 0xFFFF, thumbs[i].first);
        EXPECT_EQ(size >> 16 & 0xFFFF, thumbs[i].second);
    }
}

TEST_F(ExifToolTest, CorpusAgrees)
{
    std::vector<std::filesystem::path> withExif;
    for (const auto& f : CorpusFiles()) {
        ImageRef k;
        if (ktest::LoadPath(k.p, f, 1) && k.impl()->m_exif.m_hasExif)
            withExif.push_back(f);
    }
    EXPECT_EQ(withExif.size(), 6u); // the gox_ photos
    // One corpus file stores its GPS position as text, which exiftool converts and the record does not.
    ExpectAgreesWithExiftool(withExif, dir, false);

    // Their saves without and with a new thumbnail read cleanly.
    std::vector<std::filesystem::path> outputs;
    for (const auto& f : withExif) {
        const std::vector<uint8_t> source = ReadFile(f);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, source, 0), 1);
        for (int mode : {0, 2}) {
            SaveChoice c;
            c.thumbMode = mode;
            c.thumb = exiftest::SmallJpeg(32, 20);
            outputs.push_back(dir / (f.stem().string() + "_" + std::to_string(mode) + ".jpg"));
            WriteFile(outputs.back(), exiftest::Transcode(k.impl(), source, c));
        }
    }
    for (const auto& row : ToolTable("-Warning -Error -ThumbnailLength", outputs))
        EXPECT_EQ(row, (std::vector<std::string>{"-", "-", row.size() == 3 ? row[2] : "?"}));
}

TEST_P(ExifToolByteOrder, TaggedFileAgreesAndSurvivesEverySaveMode)
{
    const auto path = MakeTagged(GetParam());
    ExpectAgreesWithExiftool({path}, dir, true);

    ImageRef k;
    ASSERT_EQ(ktest::LoadPath(k.p, path, 0), 1);
    CDllImage* img = k.impl();
    EXPECT_EQ(img->m_exif.m_littleEndian, std::string(GetParam()) == "II");
    EXPECT_EQ(img->m_exif.m_exposureTime, "1/250s");
    EXPECT_EQ(img->m_exif.m_userComment, u"hello there");
    EXPECT_EQ(img->m_exif.m_gpsLongitudeRef, "W ");
    const std::vector<uint8_t> source = ReadFile(path);
    const std::vector<uint8_t> sourceExif = ExifOf(source);
    const uint32_t n = img->m_exif.m_cutOffset;
    ASSERT_GT(n, 0u);

    // Orientation 6 -> 1 -> back, each with the three thumbnail modes.
    const std::vector<uint8_t> newThumb = exiftest::SmallJpeg(32, 20);
    std::vector<std::filesystem::path> outputs;
    for (int orientation : {1, 6}) {
        k->SetOrientation(orientation);
        for (int mode : {0, 1, 2}) {
            SCOPED_TRACE("orientation " + std::to_string(orientation) + " mode " + std::to_string(mode));
            SaveChoice c;
            c.thumbMode = mode;
            if (mode == 2)
                c.thumb = newThumb;
            const std::vector<uint8_t> out = exiftest::Transcode(img, source, c);
            ASSERT_FALSE(out.empty());
            const size_t size = ExifOf(out).size();
            if (mode == 0) {
                EXPECT_EQ(size, n + 6u);
                EXPECT_EQ(exiftest::Transcode(img, source, c), out); // the same block every time
            } else {
                EXPECT_EQ(size, mode == 1 ? sourceExif.size() : n + 6 + 94 + newThumb.size());
            }
            outputs.push_back(dir / ("out_" + std::to_string(orientation) + std::to_string(mode) + ".jpg"));
            WriteFile(outputs.back(), out);
        }
    }
    const auto rows = ToolTable("-Warning -Error -Orientation -ExifImageWidth -ExifImageHeight -Make -ThumbnailLength",
                                outputs);
    const auto thumbs = ThumbnailSizes(outputs, dir);
    ASSERT_EQ(rows.size(), outputs.size());
    const std::string oldLength = std::to_string(ReadFile(dir / "thumb.jpg").size());
    for (size_t i = 0; i < outputs.size(); ++i) {
        SCOPED_TRACE(outputs[i].filename().string());
        const size_t mode = i % 3;
        const std::string length = mode == 0 ? "-" : mode == 1 ? oldLength : std::to_string(newThumb.size());
        EXPECT_EQ(rows[i], (std::vector<std::string>{"-", "-", i < 3 ? "1" : "6", "48", "32", "Maker", length}));
        EXPECT_EQ(thumbs[i], mode == 0 ? std::pair(0, 0) : mode == 1 ? std::pair(40, 24) : std::pair(32, 20));
    }
    testjpeg::Run("exiftool -b -ThumbnailImage " + Quote(outputs[2]) + " > " + Quote(dir / "extracted.jpg"));
    EXPECT_EQ(ReadFile(dir / "extracted.jpg"), newThumb);

    // Mode 2 without a new thumbnail keeps the block as loaded.
    SaveChoice keep;
    keep.thumbMode = 2;
    EXPECT_EQ(ExifOf(exiftest::Transcode(img, source, keep)).size(), sourceExif.size());
}

INSTANTIATE_TEST_SUITE_P(ByteOrder, ExifToolByteOrder, ::testing::Values("II", "MM"));

// ---- Marker filtering and blocks that must not be cut ----

TEST(ExifWrite, MarkerFiltering)
{
    Block b;
    b.ifd0 = {b.Short(274, 1)};
    const std::vector<uint8_t> xmp = {'h', 't', 't', 'p', ':', '/', '/', 'x', 0, 'x'};
    const std::vector<uint8_t> adobe = {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 1};
    const std::vector<uint8_t> jpeg = JpegWithExif(
        b.Build(), {{JPEG_APP0 + 1, xmp}, {JPEG_APP0 + 2, {'I', 'C', 'C'}}, {JPEG_APP0 + 14, adobe},
                    {JPEG_APP0 + 15, {'z'}}, {JPEG_COM, {'c'}}});
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg, 1), 1);
    auto codes = [&](int comments, int exif) {
        SaveChoice c;
        c.saveComments = comments;
        c.saveExif = exif;
        std::vector<int> list;
        for (auto& [code, data] : exiftest::Markers(exiftest::Transcode(k.impl(), jpeg, c)))
            list.push_back(code);
        return list;
    };
    // With EXIF the source's JFIF marker is dropped; libjpeg writes no Adobe marker for YCbCr.
    EXPECT_EQ(codes(1, 1), (std::vector<int>{0xE1, 0xE1, 0xE2, 0xEE, 0xEF, 0xFE}));
    EXPECT_EQ(codes(0, 1), (std::vector<int>{0xE1, 0xE1, 0xE2, 0xEE, 0xEF}));
    EXPECT_EQ(codes(1, 0), (std::vector<int>{0xE0, 0xEF, 0xFE}));
}

TEST(ExifWrite, BlocksThatCannotBeCutAreCopiedWhole)
{
    Block inlineOnly;                     // no IFD1 and no out-of-line value: cut offset 0
    inlineOnly.ifd0 = {inlineOnly.Short(274, 6), inlineOnly.Ascii(271, "Ab")};
    Block unknownType;                    // a value of unknown size: no cut can be proved safe
    unknownType.ifd0 = {unknownType.Short(274, 6), unknownType.Raw(700, 99, {1, 2, 3, 4, 5, 6, 7, 8})};
    unknownType.thumb = exiftest::SmallJpeg(16, 16);
    Block sbyte;                          // out-of-line SBYTE values count towards the cut
    sbyte.ifd0 = {sbyte.Raw(700, 6, std::vector<uint8_t>(20, 7))};
    sbyte.thumb = exiftest::SmallJpeg(16, 16);

    for (Block* b : {&inlineOnly, &unknownType}) {
        const std::vector<uint8_t> app1 = b->Build();
        const std::vector<uint8_t> jpeg = JpegWithExif(app1);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg, 1), 1);
        for (int mode : {0, 2}) {
            SaveChoice c;
            c.thumbMode = mode;
            c.thumb = exiftest::SmallJpeg(16, 16);
            EXPECT_EQ(ExifOf(exiftest::Transcode(k.impl(), jpeg, c)), app1) << "mode " << mode;
        }
    }

    // Move the SBYTE values behind the thumbnail: the cut must keep them.
    std::vector<uint8_t> app1 = sbyte.Build();
    const uint32_t valuesAt = static_cast<uint32_t>(app1.size() - 6);
    app1.insert(app1.end(), 20, 7);
    std::vector<uint8_t> field;
    sbyte.Put32(field, valuesAt);
    std::copy(field.begin(), field.end(), app1.begin() + 6 + 8 + 2 + 8);
    const std::vector<uint8_t> jpeg = JpegWithExif(app1);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg, 1), 1);
    const CExif& x = k.impl()->m_exif;
    EXPECT_EQ(x.m_cutOffset, x.m_tiffLength);
    int size = 0;
    k->GetExifThumbnailSize(&size);
    EXPECT_EQ(size, 16 << 16 | 16);
    SaveChoice drop;
    drop.thumbMode = 0;
    const std::vector<uint8_t> cut = ExifOf(exiftest::Transcode(k.impl(), jpeg, drop));
    ASSERT_EQ(cut.size(), app1.size());
    EXPECT_TRUE(std::equal(cut.end() - 20, cut.end(), std::vector<uint8_t>(20, 7).begin()));
}

TEST(ExifWrite, CutKeepsAnExifDirectoryOfOneEntry)
{
    // IFD0 points to an Exif IFD of one entry that lies behind the thumbnail.
    Block b;
    b.ifd0 = {b.Short(274, 6), b.Long(34665, 0)};
    b.thumb = exiftest::SmallJpeg(16, 16);
    std::vector<uint8_t> app1 = b.Build();
    const uint32_t exifAt = static_cast<uint32_t>(app1.size() - 6);
    std::vector<uint8_t> field;
    b.Put32(field, exifAt);
    std::copy(field.begin(), field.end(), app1.begin() + 6 + 8 + 2 + 12 + 8);
    const std::string id = "0123456789abcdef0123";
    b.Put16(app1, 1);
    b.Put16(app1, 42016);
    b.Put16(app1, 2);
    b.Put32(app1, static_cast<uint32_t>(id.size()));
    b.Put32(app1, exifAt + 2 + 12 + 4);
    b.Put32(app1, 0);
    app1.insert(app1.end(), id.begin(), id.end());

    const std::vector<uint8_t> jpeg = JpegWithExif(app1);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg, 1), 1);
    EXPECT_EQ(k.impl()->m_exif.m_cutOffset, k.impl()->m_exif.m_tiffLength);
    SaveChoice drop;
    drop.thumbMode = 0;
    const std::vector<uint8_t> cut = ExifOf(exiftest::Transcode(k.impl(), jpeg, drop));
    ASSERT_EQ(cut.size(), app1.size());
    EXPECT_TRUE(std::equal(cut.end() - static_cast<long>(id.size()), cut.end(), id.begin()));
}

// A GPS or interoperability directory right before IFD1, with only inline
// values: dropping or replacing the thumbnail keeps every directory link whole.
TEST_F(ExifToolTest, DirectoryJustBeforeIfd1SurvivesTheThumbnailModes)
{
    std::vector<std::filesystem::path> files;
    for (bool le : {true, false})
    for (bool gps : {true, false}) {
        Block b;
        b.le = le;
        b.ifd0 = {b.Short(274, 6), b.Ascii(271, "Cam")};
        b.exif = {b.Raw(36864, 7, {'0', '2', '3', '2'})};
        if (gps)
            b.gps = {b.Raw(0, 1, {2, 3, 0, 0}), b.Ascii(1, "N")};
        else
            b.interop = {b.Ascii(1, "R98"), b.Raw(2, 7, {'0', '1', '0', '0'})};
        b.thumb = exiftest::SmallJpeg(16, 16);
        const std::vector<uint8_t> jpeg = JpegWithExif(b.Build());
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg, 1), 1);
        const std::string name = std::string(le ? "II" : "MM") + (gps ? "_gps" : "_interop");
        files.push_back(dir / (name + "_src.jpg"));
        WriteFile(files.back(), jpeg);
        for (int mode : {0, 2}) {
            SaveChoice c;
            c.thumbMode = mode;
            c.thumb = exiftest::SmallJpeg(24, 16);
            files.push_back(dir / (name + "_" + std::to_string(mode) + ".jpg"));
            WriteFile(files.back(), exiftest::Transcode(k.impl(), jpeg, c));
        }
    }
    // One exiftool run: warnings and the values behind each link, per file.
    std::string cmd = "exiftool -validate -warning -a -G1 -s -GPSLatitudeRef -InteropIndex -ThumbnailLength";
    for (const auto& f : files)
        cmd += " " + Quote(f);
    std::string out;
    testjpeg::Run(cmd + " 2>&1", &out);
    std::vector<std::set<std::string>> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("========", 0) == 0)
            lines.emplace_back();
        else if (!lines.empty() && line.find("Validate") == std::string::npos && line.find(':') != std::string::npos
                 && line.find("required JPEG IFD1") == std::string::npos)
            lines.back().insert(line.substr(0, line.find(':')) + line.substr(line.find(':') + 1));
    }
    ASSERT_EQ(lines.size(), files.size()) << out;
    for (size_t i = 0; i < files.size(); i += 3) {
        const std::set<std::string>& source = lines[i];
        const bool gps = files[i].string().find("_gps") != std::string::npos;
        // The linked directory is read in the source (the thumbnail too).
        const std::string linked = gps ? "GPSLatitudeRef" : "InteropIndex";
        auto holds = [](const std::set<std::string>& set, const std::string& word) {
            return std::any_of(set.begin(), set.end(), [&](const std::string& l) { return l.find(word) != std::string::npos; });
        };
        ASSERT_TRUE(holds(source, linked)) << out;
        ASSERT_TRUE(holds(source, "ThumbnailLength")) << out;
        for (size_t mode : {1, 2}) {
            SCOPED_TRACE(files[i + mode].filename().string());
            std::set<std::string> want = source;
            for (auto it = want.begin(); it != want.end();)
                it = it->find("ThumbnailLength") != std::string::npos ? want.erase(it) : std::next(it);
            std::set<std::string> got = lines[i + mode];
            const bool thumb = holds(got, "ThumbnailLength");
            EXPECT_EQ(thumb, mode == 2);
            for (auto it = got.begin(); it != got.end();)
                it = it->find("ThumbnailLength") != std::string::npos ? got.erase(it) : std::next(it);
            EXPECT_EQ(got, want); // the same values and no new warning
        }
    }
}

// A camera file: the main picture with an ICC profile and a multi-picture
// index (big-endian, offsets from its "MM") naming itself and the preview
// appended after it. A save writes the main picture only: exiftool finds no
// index naming pictures past its end (none at all), and the profile stays.
TEST_F(ExifToolTest, SavedCameraFileCarriesNoStalePictureIndex)
{
    const std::vector<uint8_t> icc = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1, 'p'};
    const std::vector<uint8_t> preview = exiftest::SmallJpeg(24, 16);
    const auto camera = [&](uint32_t size, uint32_t indexAt) {
        Block be;
        be.le = false;
        std::vector<uint8_t> mpf = {'M', 'P', 'F', 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0xB0, 2,
                                    0, 7, 0, 0, 0, 32, 0, 0, 0, 26, 0, 0, 0, 0};
        for (uint32_t v : {0x20030000u, size, 0u, 0u, 0x10001u, uint32_t(preview.size()), size - indexAt, 0u})
            be.Put32(mpf, v);
        return exiftest::SmallJpeg(48, 32, {{JPEG_APP0 + 2, icc}, {JPEG_APP0 + 2, mpf}});
    };
    const std::vector<uint8_t> layout = camera(0, 0);
    const uint8_t mark[] = {'M', 'P', 'F', 0};
    const auto size = uint32_t(layout.size());
    std::vector<uint8_t> file = camera(size, uint32_t(std::search(layout.begin(), layout.end(), mark, mark + 4) - layout.begin() + 4));
    file.insert(file.end(), preview.begin(), preview.end());
    ASSERT_TRUE(WriteFile(dir / "camera.jpg", file));

    ImageRef k;
    ASSERT_EQ(ktest::LoadPath(k.p, dir / "camera.jpg", 0), 1);
    ASSERT_EQ(k->FlipHorizontal(0), 1);
    const SaveOptions options = DefaultSaveOptions();
    CBstr saved(ToU16((dir / "saved.jpg").string()));
    ASSERT_EQ(k->SaveFile(saved, &options), 1);
    // The source's index reads as made: the preview ends the file.
    EXPECT_EQ(ToolTable("-MPImage2:MPImageStart -MPImage2:MPImageLength", {dir / "camera.jpg", dir / "saved.jpg"}),
              (std::vector<std::vector<std::string>>{{std::to_string(size), std::to_string(preview.size())}, {"-", "-"}}));
    const auto markers = exiftest::Markers(ReadFile(dir / "saved.jpg"));
    EXPECT_NE(std::find(markers.begin(), markers.end(), std::pair(JPEG_APP0 + 2, icc)), markers.end());
}
