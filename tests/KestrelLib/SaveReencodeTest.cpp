// Re-encoding the caller's bitmap, checked against cjpeg, and the new EXIF
// thumbnail.
#include "KestrelTest.h"

#include "Save.h"

#include <fstream>

using namespace testjpeg;
using ktest::ImageRef;

namespace {

// The pixels as a bottom-up BGR bitmap; returns the first (top) row pointer
// and sets the negative stride, as the program hands its display bitmap over.
BYTE* BottomUpBgr(const Pixels& px, std::vector<BYTE>* storage, int* stride)
{
    const int rowBytes = px.width * 3 + 5; // padded rows
    storage->assign(static_cast<size_t>(rowBytes) * px.height, 0);
    for (int y = 0; y < px.height; ++y) {
        BYTE* row = storage->data() + static_cast<size_t>(px.height - 1 - y) * rowBytes;
        for (int x = 0; x < px.width; ++x) {
            row[3 * x] = px.row(y)[3 * x + 2];
            row[3 * x + 1] = px.row(y)[3 * x + 1];
            row[3 * x + 2] = px.row(y)[3 * x];
        }
    }
    *stride = -rowBytes;
    return storage->data() + static_cast<size_t>(px.height - 1) * rowBytes;
}

bool WritePpm(const std::filesystem::path& path, const Pixels& px)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << px.width << " " << px.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(px.data.data()), static_cast<std::streamsize>(px.data.size()));
    return static_cast<bool>(out);
}

bool SameBlocksAndTables(const Coefficients& a, const Coefficients& b)
{
    if (!a.ok || !b.ok || a.width != b.width || a.height != b.height || a.colorSpace != b.colorSpace
        || a.components.size() != b.components.size())
        return false;
    for (size_t c = 0; c < a.components.size(); ++c) {
        const Component& x = a.components[c];
        const Component& y = b.components[c];
        if (x.h != y.h || x.v != y.v || !std::equal(x.quant, x.quant + 64, y.quant) || x.blocks != y.blocks)
            return false;
    }
    return true;
}

} // namespace

struct ReencodeCase {
    int quality;       // passed to the library
    int cjpegQuality;  // what it must be equal to
    int colorSampling;
    bool gray;
};

class SaveReencode : public ::testing::TestWithParam<ReencodeCase> {};

TEST_P(SaveReencode, MatchesCjpeg)
{
    if (!HaveTool("cjpeg"))
        GTEST_SKIP() << "cjpeg missing";
    const ReencodeCase& c = GetParam();
    const int w = 83, h = 45;
    EncodeParams sp = Sampled(60, {{1, 1}, {1, 1}, {1, 1}});
    if (c.gray) {
        sp = EncodeParams{};
        sp.inColorSpace = JCS_GRAYSCALE;
    }
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(w, h, c.gray ? 1 : 3), sp)), 1);

    // The bitmap, not the coefficients, is what gets encoded.
    const Pixels px = MakePattern(w, h, 3, 77);
    std::vector<BYTE> storage;
    SaveOptions o = DefaultSaveOptions();
    o.CompressionMode = 1;
    o.Quality = c.quality;
    o.ColorSampling = c.colorSampling;
    o.Bitmap = BottomUpBgr(px, &storage, &o.BitmapStride);

    TempDir dir;
    ASSERT_TRUE(WritePpm(dir / "in.ppm", px));
    CBstr out(ToU16((dir / "ours.jpg").string()));
    ASSERT_EQ(k->SaveFile(out, &o), 1);
    const std::string cmd = "cjpeg -quality " + std::to_string(c.cjpegQuality) + " -baseline -optimize -dct int "
        + (c.gray ? std::string("-grayscale ") : "-sample " + std::string(c.colorSampling ? "2x2" : "1x1") + " ")
        + "-outfile '" + (dir / "ref.jpg").string() + "' '" + (dir / "in.ppm").string() + "'";
    ASSERT_EQ(testjpeg::Run(cmd), 0) << cmd;
    EXPECT_TRUE(SameBlocksAndTables(ReadCoefficients(ReadFile(dir / "ours.jpg")),
                                    ReadCoefficients(ReadFile(dir / "ref.jpg"))));
}

INSTANTIATE_TEST_SUITE_P(Qualities, SaveReencode,
    ::testing::Values(ReencodeCase{75, 75, 1, false}, ReencodeCase{90, 90, 0, false},
                      ReencodeCase{30, 30, 1, false}, ReencodeCase{0, 1, 1, false},
                      ReencodeCase{-5, 1, 0, false}, ReencodeCase{150, 100, 1, false},
                      ReencodeCase{85, 85, 1, true}));

TEST(SaveReencode, ColourSpacesRgbInputCannotReachFail)
{
    for (const J_COLOR_SPACE cs : {JCS_CMYK, JCS_YCCK}) {
        EncodeParams p;
        p.inColorSpace = JCS_CMYK;
        p.jpegColorSpace = cs;
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(20, 12, 4), p)), 1);
        std::vector<BYTE> bitmap(20 * 12 * 3, 90);
        SaveOptions o = DefaultSaveOptions();
        o.CompressionMode = 1;
        o.Bitmap = bitmap.data();
        o.BitmapStride = 60;
        TempDir dir;
        CBstr path(ToU16((dir / "a.jpg").string()));
        EXPECT_EQ(k->SaveFile(path, &o), 0) << cs;
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << cs;
        // The lossless way still works for them.
        o.CompressionMode = 0;
        EXPECT_EQ(k->SaveFile(path, &o), 1) << cs;
    }
}

TEST(ExifThumbnail, SizeFitsTheClampedBox)
{
    struct Case {
        int w, h, box, tw, th;
    };
    const Case cases[] = {
        {4000, 3000, 160, 160, 120}, {4000, 3000, 1000, 256, 192}, {100, 80, 160, 100, 80},
        {3000, 4000, 10, 24, 32},    {300, 200, 160, 160, 106},    {256, 256, 256, 256, 256},
    };
    for (const Case& c : cases) {
        int tw = 0, th = 0;
        ExifThumbnailSize(c.w, c.h, c.box, &tw, &th);
        EXPECT_EQ(tw, c.tw) << c.w << "x" << c.h << " box " << c.box;
        EXPECT_EQ(th, c.th) << c.w << "x" << c.h << " box " << c.box;
    }
}

TEST(ExifThumbnail, AveragesAreaAndFitsItsBuffer)
{
    // A one-pixel checkerboard averages to mid grey at any reduction; solid
    // red stays red (and not blue: the channel order survives the scaling).
    struct Picture {
        bool checker;
        int r, g, b;
    };
    for (const Picture& pic : {Picture{true, 128, 128, 128}, Picture{false, 255, 0, 0}})
    for (const auto& [w, h] : {std::pair{320, 240}, std::pair{300, 200}}) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(w, h))), 1);
        Pixels board;
        board.width = w;
        board.height = h;
        board.data.resize(static_cast<size_t>(w) * h * 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * 3; ++x)
                board.row(y)[x] = pic.checker ? ((x / 3 + y) % 2 ? 255 : 0) : (x % 3 == 0 ? 255 : 0);
        std::vector<BYTE> storage;
        SaveOptions o = DefaultSaveOptions();
        o.Bitmap = BottomUpBgr(board, &storage, &o.BitmapStride);
        std::vector<uint8_t> thumb;
        ASSERT_TRUE(MakeExifThumbnail(*k.impl(), o, &thumb)) << w;
        ASSERT_LE(thumb.size(), 16384u);
        const auto coef = ReadCoefficients(thumb);
        ASSERT_TRUE(coef.ok);
        EXPECT_EQ(coef.width, 160);
        EXPECT_EQ(coef.height, w == 320 ? 120 : 106);
        EXPECT_EQ(coef.components.size(), 3u);
        EXPECT_EQ(coef.components[0].h, 2);
        EXPECT_EQ(coef.components[0].quant[0], 8); // quality 75 luma DC step
        const Pixels dec = Decode(thumb);
        const int want[3] = {pic.r, pic.g, pic.b};
        for (size_t i = 0; i < dec.data.size(); ++i)
            ASSERT_NEAR(dec.data[i], want[i % 3], 3) << w << " channel " << i % 3;
    }

    // Noise at full size does not fit: no thumbnail.
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(250, 250))), 1);
    std::vector<BYTE> noise(250 * 250 * 3);
    unsigned s = 1;
    for (auto& b : noise)
        b = static_cast<BYTE>((s = s * 1103515245u + 12345u) >> 24);
    SaveOptions o = DefaultSaveOptions();
    o.EXIFThumbSize = 256;
    o.Bitmap = noise.data();
    o.BitmapStride = 250 * 3;
    std::vector<uint8_t> thumb{1};
    EXPECT_FALSE(MakeExifThumbnail(*k.impl(), o, &thumb));
    EXPECT_TRUE(thumb.empty());
}

TEST(ExifThumbnail, RenderedRowsGiveTheSameThumbnailAsTheRenderedBitmap)
{
    // 4:2:0 with a partial last MCU row, reduced by a non-integer factor.
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(203, 117), Sampled(85, {{2, 2}, {1, 1}, {1, 1}}))), 1);
    const int stride = 203 * 3;
    std::vector<BYTE> bitmap(static_cast<size_t>(stride) * 117);
    ASSERT_EQ(k->RenderToBitmap(bitmap.data(), stride, 0), 1);
    SaveOptions o = DefaultSaveOptions();
    o.EXIFThumbSize = 64;
    std::vector<uint8_t> rendered, fromBitmap;
    ASSERT_TRUE(MakeExifThumbnail(*k.impl(), o, &rendered));
    o.Bitmap = bitmap.data();
    o.BitmapStride = stride;
    ASSERT_TRUE(MakeExifThumbnail(*k.impl(), o, &fromBitmap));
    EXPECT_EQ(rendered, fromBitmap);

    // Sampling the renderer cannot draw: no thumbnail instead of a blank one.
    ImageRef wide;
    ASSERT_EQ(ktest::LoadBytes(wide.p, Encode(MakePattern(64, 16), Sampled(85, {{4, 1}, {1, 1}, {1, 1}}))), 1);
    std::vector<uint8_t> none;
    EXPECT_FALSE(MakeExifThumbnail(*wide.impl(), DefaultSaveOptions(), &none));
}

TEST(ExifThumbnail, NewThumbnailReachesTheFile)
{
    if (!HaveTool("exiftool"))
        GTEST_SKIP() << "exiftool missing";
    const std::filesystem::path source = testjpeg::CorpusFile("gox_iphone4s_orient6.jpg");
    ImageRef k;
    ASSERT_EQ(ktest::LoadPath(k.p, source), 1);
    const Pixels px = MakePattern(k->GetWidth(), k->GetHeight(), 3, 5);
    std::vector<BYTE> storage;
    SaveOptions o = DefaultSaveOptions();
    o.GenerateEXIFThumb = 2;
    o.EXIFThumbSize = 100;
    o.Bitmap = BottomUpBgr(px, &storage, &o.BitmapStride);
    TempDir dir;
    CBstr path(ToU16((dir / "a.jpg").string()));
    ASSERT_EQ(k->SaveFile(path, &o), 1);
    ASSERT_EQ(testjpeg::Run("exiftool -b -ThumbnailImage '" + (dir / "a.jpg").string() + "' > '" + (dir / "t.jpg").string() + "'"), 0);
    const auto thumb = ReadCoefficients(ReadFile(dir / "t.jpg"));
    ASSERT_TRUE(thumb.ok);
    EXPECT_EQ(thumb.width, 100); // 205 x 102 in a 100 box
    EXPECT_EQ(thumb.height, 49);
}
