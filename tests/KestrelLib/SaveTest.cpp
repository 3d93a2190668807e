// Lossless transcode, GetEncodedSize / SaveMemory, requantisation of edited
// values and the markers a save writes.
#include "KestrelTest.h"

#include "Save.h"

#include <algorithm>

using namespace testjpeg;
using ktest::ImageRef;

namespace {

::testing::AssertionResult SameCoefficients(const Coefficients& a, const Coefficients& b)
{
    if (!a.ok || !b.ok)
        return ::testing::AssertionFailure() << "unreadable JPEG";
    if (a.width != b.width || a.height != b.height || a.colorSpace != b.colorSpace
        || a.components.size() != b.components.size())
        return ::testing::AssertionFailure() << "geometry differs: " << a.width << "x" << a.height << " vs "
                                             << b.width << "x" << b.height;
    for (size_t c = 0; c < a.components.size(); ++c) {
        const Component& x = a.components[c];
        const Component& y = b.components[c];
        if (x.h != y.h || x.v != y.v || x.widthInBlocks != y.widthInBlocks || x.heightInBlocks != y.heightInBlocks)
            return ::testing::AssertionFailure() << "component " << c << " sampling or size differs";
        if (!std::equal(x.quant, x.quant + 64, y.quant))
            return ::testing::AssertionFailure() << "component " << c << " quantisation table differs";
        if (x.blocks != y.blocks)
            return ::testing::AssertionFailure() << "component " << c << " coefficients differ";
    }
    return ::testing::AssertionSuccess();
}

std::vector<uint8_t> SaveToMemory(IKestrel* k)
{
    const int size = k->GetEncodedSize();
    if (size <= 0)
        return {};
    std::vector<uint8_t> out(static_cast<size_t>(size));
    return k->SaveMemory(out.data(), size) ? out : std::vector<uint8_t>{};
}

// The transcode with libjpeg's own Huffman statistics pass, for comparison.
std::vector<uint8_t> SaveWithLibjpegStatistics(IKestrel* k)
{
    char* data = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    const bool ok = TranscodeImage(*static_cast<CDllImage*>(k), DefaultSaveOptions(), f, nullptr, nullptr, 0, true);
    std::fclose(f);
    std::vector<uint8_t> out;
    if (ok)
        out.assign(data, data + size);
    std::free(data);
    return out;
}

int SaveTo(IKestrel* k, const std::filesystem::path& path, const SaveOptions& options = DefaultSaveOptions())
{
    CBstr p(ToU16(path.string()));
    return k->SaveFile(p, &options);
}

// The COM and APPn markers of a JPEG, in file order.
std::vector<std::pair<int, std::vector<uint8_t>>> Markers(const std::vector<uint8_t>& jpeg)
{
    std::vector<std::pair<int, std::vector<uint8_t>>> out;
    size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        const int code = jpeg[i + 1];
        const size_t len = static_cast<size_t>(jpeg[i + 2]) << 8 | jpeg[i + 3];
        if (code == 0xDA || len < 2 || i + 2 + len > jpeg.size())
            break;
        if (code == 0xFE || (code >= 0xE0 && code <= 0xEF))
            out.emplace_back(code, std::vector<uint8_t>(jpeg.begin() + static_cast<long>(i + 4),
                                                         jpeg.begin() + static_cast<long>(i + 2 + len)));
        i += 2 + len;
    }
    return out;
}

int CountJfif(const std::vector<uint8_t>& jpeg)
{
    int n = 0;
    for (const auto& [code, data] : Markers(jpeg))
        n += code == 0xE0 && data.size() >= 5 && std::equal(data.begin(), data.begin() + 5, "JFIF");
    return n;
}

std::vector<uint8_t> Bytes(const char* text, size_t size) { return std::vector<uint8_t>(text, text + size); }

// A minimal big-endian EXIF block: IFD0 with one orientation entry, no IFD1.
std::vector<uint8_t> SmallExif()
{
    const uint8_t b[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                         0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    return std::vector<uint8_t>(b, b + sizeof b);
}

} // namespace

struct LosslessCase {
    const char* name;
    int width, height;
    EncodeParams params;
    int channels = 3;
    bool noise = false; // pixel noise: at quality 100 coefficient 63 is seldom zero
};

class SaveLossless : public ::testing::TestWithParam<LosslessCase> {};

TEST_P(SaveLossless, UneditedSaveKeepsEveryCoefficient)
{
    const LosslessCase& c = GetParam();
    Pixels px = MakePattern(c.width, c.height, c.channels);
    unsigned seed = 3;
    if (c.noise)
        for (auto& v : px.data)
            v = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    auto jpeg = Encode(px, c.params);
    if (c.noise) {
        const auto ref = ReadCoefficients(jpeg);
        ASSERT_TRUE(ref.ok);
        size_t last = 0;
        for (size_t i = 63; i < ref.components[0].blocks.size(); i += 64)
            last += ref.components[0].blocks[i] != 0;
        ASSERT_GT(last, ref.components[0].blocks.size() / 64 / 2);
    }
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    auto saved = SaveToMemory(k.p);
    ASSERT_FALSE(saved.empty());
    EXPECT_TRUE(SameCoefficients(ReadCoefficients(saved), ReadCoefficients(jpeg)));
    EXPECT_EQ(Decode(saved).data, Decode(jpeg).data);
    // Our own symbol counts give the very file libjpeg's counting pass gives.
    EXPECT_EQ(saved, SaveWithLibjpegStatistics(k.p));

    // So do values no longer on their steps, as pixel edits leave them.
    short* data;
    int count;
    k->GetCoefficients(&data, &count);
    unsigned s = 7;
    for (int i = 0; i < count; i += 5)
        data[i] = static_cast<short>(data[i] + static_cast<int>((s = s * 1103515245u + 12345u) >> 28) - 8);
    saved = SaveToMemory(k.p);
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved, SaveWithLibjpegStatistics(k.p));
}

static EncodeParams Gray()
{
    EncodeParams p;
    p.inColorSpace = JCS_GRAYSCALE;
    return p;
}
static EncodeParams Coded(bool progressive, bool arithmetic, int restart)
{
    EncodeParams p = Sampled(80, {{2, 2}, {1, 1}, {1, 1}});
    p.progressive = progressive;
    p.arithmetic = arithmetic;
    p.restartInterval = restart;
    return p;
}
static EncodeParams FourChannel(J_COLOR_SPACE jpegColorSpace, std::vector<std::pair<int, int>> sampling)
{
    EncodeParams p = Sampled(80, std::move(sampling));
    p.inColorSpace = JCS_CMYK;
    p.jpegColorSpace = jpegColorSpace;
    return p;
}
static EncodeParams RgbJpeg()
{
    EncodeParams p;
    p.jpegColorSpace = JCS_RGB;
    p.writeJfif = false;
    return p;
}

INSTANTIATE_TEST_SUITE_P(Layouts, SaveLossless,
    ::testing::Values(LosslessCase{"s420_odd", 101, 67, Sampled(85, {{2, 2}, {1, 1}, {1, 1}})},
                      LosslessCase{"s422", 100, 60, Sampled(90, {{2, 1}, {1, 1}, {1, 1}})},
                      LosslessCase{"s440", 33, 50, Sampled(70, {{1, 2}, {1, 1}, {1, 1}})},
                      LosslessCase{"s444_tiny", 1, 1, Sampled(95, {{1, 1}, {1, 1}, {1, 1}})},
                      LosslessCase{"asymmetric", 45, 39, Sampled(75, {{2, 2}, {2, 1}, {1, 2}})},
                      LosslessCase{"gray", 61, 17, Gray(), 1},
                      LosslessCase{"progressive", 77, 55, Coded(true, false, 0)},
                      LosslessCase{"arithmetic", 77, 55, Coded(false, true, 0)},
                      LosslessCase{"restart", 77, 55, Coded(false, false, 2)},
                      LosslessCase{"noise_q100", 64, 48, Sampled(100, {{2, 2}, {1, 1}, {1, 1}}), 3, true},
                      LosslessCase{"noise_q100_gray", 40, 24, [] { EncodeParams p = Gray(); p.quality = 100; return p; }(), 1, true},
                      LosslessCase{"rgb", 40, 24, RgbJpeg()},
                      LosslessCase{"cmyk", 37, 21, FourChannel(JCS_CMYK, {}), 4},
                      LosslessCase{"ycck", 37, 21, FourChannel(JCS_YCCK, {{2, 2}, {1, 1}, {1, 1}, {2, 2}}), 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaveLossless, CorpusRoundTripsThroughFiles)
{
    if (!HaveTool("djpeg"))
        GTEST_SKIP() << "djpeg missing";
    TempDir dir;
    const auto files = CorpusAndMadeKinds(dir.path());
    int saved = 0;
    for (const auto& file : files) {
        ImageRef k;
        if (!ktest::LoadPath(k.p, file))
            continue; // files libjpeg cannot read (12-bit) fail to load cleanly
        const auto out = dir / ("out_" + file.filename().string());
        ASSERT_EQ(SaveTo(k.p, out), 1) << file;
        ++saved;
        const auto source = ReadFile(file);
        const auto result = ReadFile(out);
        EXPECT_TRUE(SameCoefficients(ReadCoefficients(result), ReadCoefficients(source))) << file;
        std::string a, b;
        const int ra = testjpeg::Run("djpeg -dct int -nosmooth '" + file.string() + "' 2>/dev/null", &a);
        const int rb = testjpeg::Run("djpeg -dct int -nosmooth '" + out.string() + "' 2>/dev/null", &b);
        EXPECT_EQ(ra, rb) << file;
        EXPECT_FALSE(a.empty()) << "djpeg wrote nothing for " << file;
        EXPECT_TRUE(a == b) << "djpeg output differs for " << file;
    }
    EXPECT_GT(saved, 10);
}

TEST(SaveLossless, EditedValuesAreRoundedToTheirSteps)
{
    // Quality 50 tables hold the standard steps (luma DC 16); quality 1 ones
    // are 255 throughout, where x + q/2 no longer fits 16 bits near the limit.
    struct Case {
        int quality;
        int position;
        short value;
        short expected;
    };
    const Case cases[] = {
        {50, 0, 48, 3},    {50, 0, 8, 1},        {50, 0, 7, 0},         {50, 0, -8, -1},
        {50, 0, -24, -2},  {50, 0, -23, -1},     {50, 1, 17, 2},        {50, 1, -16, -1},
        {1, 1, 32767, 128}, {1, 1, -32768, -129}, {1, 1, 127, 0},        {1, 1, 128, 1},
        {1, 1, -128, -1},  {1, 1, -127, 0},
    };
    for (const int quality : {50, 1}) {
        auto jpeg = Encode(MakePattern(64, 64, 1), [&] {
            EncodeParams p = Gray();
            p.quality = quality;
            return p;
        }());
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
        short* data;
        int count;
        k->GetCoefficients(&data, &count);
        // One case per block, so DC differences stay encodable.
        std::vector<const Case*> used;
        for (const Case& c : cases)
            if (c.quality == quality) {
                short* block = data + used.size() * 64;
                std::fill(block, block + 64, short{0});
                block[c.position] = c.value;
                used.push_back(&c);
            }
        auto saved = SaveToMemory(k.p);
        ASSERT_FALSE(saved.empty()) << quality;
        auto coef = ReadCoefficients(saved);
        ASSERT_TRUE(coef.ok);
        for (size_t i = 0; i < used.size(); ++i)
            EXPECT_EQ(coef.components[0].blocks[i * 64 + used[i]->position], used[i]->expected)
                << "quality " << quality << " value " << used[i]->value;
    }
}

TEST(SaveLossless, GeometricEditsSaveAsJpegtranTransformsThem)
{
    if (!HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran missing";
    struct Case {
        const char* args;
        int (*edit)(IKestrel*);
    };
    const Case cases[] = {
        {"-rotate 90 -trim", [](IKestrel* k) { return k->RotateRight(0); }},
        {"-rotate 270 -trim", [](IKestrel* k) { return k->RotateLeft(0); }},
        {"-flip horizontal -trim", [](IKestrel* k) { return k->FlipHorizontal(0); }},
        {"-rotate 180 -trim", [](IKestrel* k) { return k->RotateRight(0) * k->RotateRight(0); }},
    };
    TempDir dir;
    for (const auto& sampling : {std::vector<std::pair<int, int>>{{2, 2}, {1, 1}, {1, 1}},
                                 std::vector<std::pair<int, int>>{{2, 1}, {1, 1}, {1, 1}}}) {
        const auto jpeg = Encode(MakePattern(101, 67), Sampled(85, sampling));
        ASSERT_TRUE(WriteFile(dir / "in.jpg", jpeg));
        for (const Case& c : cases) {
            ImageRef k;
            ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
            ASSERT_EQ(c.edit(k.p), 1) << c.args;
            const auto ours = SaveToMemory(k.p);
            ASSERT_FALSE(ours.empty()) << c.args;
            std::string ref;
            ASSERT_EQ(testjpeg::Run("jpegtran " + std::string(c.args) + " '" + (dir / "in.jpg").string() + "'", &ref), 0);
            EXPECT_TRUE(SameCoefficients(ReadCoefficients(ours), ReadCoefficients(std::vector<uint8_t>(ref.begin(), ref.end()))))
                << c.args << " sampling " << sampling[0].first << "x" << sampling[0].second;
        }
    }
}

TEST(SaveMemory, FitsExactlyTheEncodedSize)
{
    auto jpeg = Encode(MakePattern(90, 70), Sampled(80, {{2, 2}, {1, 1}, {1, 1}}));
    ImageRef k;
    std::vector<uint8_t> buffer(64, 0);
    EXPECT_EQ(k->GetEncodedSize(), 0);
    EXPECT_EQ(k->SaveMemory(buffer.data(), 64), 0);
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);

    const int size = k->GetEncodedSize();
    ASSERT_GT(size, 100);
    EXPECT_EQ(k->GetEncodedSize(), size);
    EXPECT_EQ(k->SaveMemory(nullptr, size), 0);
    EXPECT_EQ(k->SaveMemory(buffer.data(), 0), 0);
    EXPECT_EQ(k->SaveMemory(buffer.data(), -1), 0);

    // Too small by one byte: fails without writing past the capacity.
    buffer.assign(static_cast<size_t>(size) + 16, 0xA5);
    EXPECT_EQ(k->SaveMemory(buffer.data(), size - 1), 0);
    EXPECT_TRUE(std::all_of(buffer.begin() + size - 1, buffer.end(), [](uint8_t b) { return b == 0xA5; }));

    buffer.assign(static_cast<size_t>(size), 0);
    ASSERT_EQ(k->SaveMemory(buffer.data(), size), 1);
    EXPECT_EQ(buffer[static_cast<size_t>(size) - 2], 0xFF);
    EXPECT_EQ(buffer[static_cast<size_t>(size) - 1], 0xD9);

    // The memory save is the same JPEG as a file save with the defaults.
    TempDir dir;
    ASSERT_EQ(SaveTo(k.p, dir / "a.jpg"), 1);
    EXPECT_EQ(ReadFile(dir / "a.jpg"), buffer);
}

TEST(SaveMarkers, JfifHeaderOnlyWhereItBelongs)
{
    struct Case {
        const char* name;
        bool jfif;
        bool exif;
        int saveExif;
        J_COLOR_SPACE jpegColorSpace;
        int expectedJfif;
    };
    const Case cases[] = {
        {"source JFIF is kept, no second one", true, false, 1, JCS_UNKNOWN, 1},
        {"none in source: libjpeg writes one", false, false, 1, JCS_UNKNOWN, 1},
        {"EXIF kept: no JFIF at all", true, true, 1, JCS_UNKNOWN, 0},
        {"EXIF dropped: source JFIF stays", true, true, 0, JCS_UNKNOWN, 1},
        {"EXIF dropped, no JFIF in source", false, true, 0, JCS_UNKNOWN, 1},
        {"RGB data never gets JFIF", false, false, 1, JCS_RGB, 0},
    };
    for (const Case& c : cases) {
        EncodeParams p;
        p.writeJfif = c.jfif;
        p.jpegColorSpace = c.jpegColorSpace;
        if (c.exif)
            p.markers.push_back({JPEG_APP0 + 1, SmallExif()});
        auto jpeg = Encode(MakePattern(24, 16), p);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1) << c.name;
        TempDir dir;
        SaveOptions o = DefaultSaveOptions();
        o.SaveEXIF = c.saveExif;
        ASSERT_EQ(SaveTo(k.p, dir / "a.jpg", o), 1) << c.name;
        EXPECT_EQ(CountJfif(ReadFile(dir / "a.jpg")), c.expectedJfif) << c.name;
    }
}

TEST(SaveMarkers, CommentsAndApplicationMarkersFollowTheOptions)
{
    EncodeParams p;
    p.markers = {{JPEG_COM, Bytes("hello", 5)},
                 {JPEG_APP0 + 2, Bytes("ICC_PROFILE\0x", 13)},
                 {JPEG_APP0 + 15, Bytes("app15", 5)}};
    auto jpeg = Encode(MakePattern(24, 16), p);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    struct Case {
        int saveComments, saveExif;
        std::vector<int> expected; // marker codes after libjpeg's own headers
    };
    const Case cases[] = {
        {1, 1, {0xE0, 0xFE, 0xE2, 0xEF}},
        {0, 1, {0xE0, 0xE2, 0xEF}},
        {1, 0, {0xE0, 0xFE, 0xEF}},
    };
    for (const Case& c : cases) {
        SaveOptions o = DefaultSaveOptions();
        o.SaveComments = c.saveComments;
        o.SaveEXIF = c.saveExif;
        TempDir dir;
        ASSERT_EQ(SaveTo(k.p, dir / "a.jpg", o), 1);
        std::vector<int> codes;
        for (const auto& m : Markers(ReadFile(dir / "a.jpg")))
            codes.push_back(m.first);
        EXPECT_EQ(codes, c.expected) << c.saveComments << c.saveExif;
    }
}

TEST(SaveMarkers, ExifSurvivesAsExiftoolReadsIt)
{
    if (!HaveTool("exiftool"))
        GTEST_SKIP() << "exiftool missing";
    const std::filesystem::path source = testjpeg::CorpusFile("gox_iphone4s_orient6.jpg");
    ImageRef k;
    ASSERT_EQ(ktest::LoadPath(k.p, source), 1);
    TempDir dir;
    SaveOptions keep = DefaultSaveOptions();
    SaveOptions drop = DefaultSaveOptions();
    drop.GenerateEXIFThumb = 0;
    ASSERT_EQ(SaveTo(k.p, dir / "keep.jpg", keep), 1);
    ASSERT_EQ(SaveTo(k.p, dir / "drop.jpg", drop), 1);
    std::string a, b;
    testjpeg::Run("exiftool -s -s -s -Make -Model -Orientation# -ThumbnailLength '" + (dir / "keep.jpg").string() + "'", &a);
    testjpeg::Run("exiftool -s -s -s -Make -Model -Orientation# -ThumbnailLength '" + (dir / "drop.jpg").string() + "'", &b);
    EXPECT_EQ(a, "Apple\niPhone 4S\n6\n10875\n");
    EXPECT_EQ(b, "Apple\niPhone 4S\n6\n");
}
