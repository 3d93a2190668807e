// Taking a caller's edited pixels back into the blocks whose pixels changed.
#include "KestrelTest.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace testjpeg;
using ktest::CoefValues;
using ktest::ImageRef;
using ktest::MemoryUndoStore;

namespace {

// A rendered bitmap in the program's form or top-down; `first` is the top
// image row, `stride` the signed step between rows.
struct Bitmap {
    int width = 0, height = 0;
    std::vector<BYTE> bytes;
    BYTE* first = nullptr;
    int stride = 0;

    Bitmap(IKestrel* k, bool padded, bool bottomUp)
    {
        width = padded ? (k->GetWidth() + k->GetMcuWidth() - 1) / k->GetMcuWidth() * k->GetMcuWidth() : k->GetWidth();
        height = padded ? (k->GetHeight() + k->GetMcuHeight() - 1) / k->GetMcuHeight() * k->GetMcuHeight()
                        : k->GetHeight();
        bytes.assign(static_cast<size_t>(width) * height * 3, 0);
        stride = bottomUp ? -width * 3 : width * 3;
        first = bottomUp ? bytes.data() + static_cast<size_t>(height - 1) * width * 3 : bytes.data();
        EXPECT_EQ(k->RenderToBitmap(first, stride, padded ? 1 : 0), 1);
    }
    BYTE* at(int x, int y) { return first + static_cast<ptrdiff_t>(y) * stride + x * 3; }
};

struct OnePixel {
    int width, height;
    bool padded, bottomUp;
    int x, y; // the pixel changed
};

// Index of luma block (row, column) in the coefficient array.
size_t LumaBlock(CDllImage* img, int row, int column)
{
    ComponentGrid g;
    img->GetComponentGrid(0, &g);
    return g.offset + (static_cast<size_t>(row) * g.blocksPerRow + column) * 64;
}

} // namespace

class ApplyOnePixel : public ::testing::TestWithParam<OnePixel> {};

TEST_P(ApplyOnePixel, ReencodesOnlyThatPixelsBlocks)
{
    const OnePixel& p = GetParam();
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(p.width, p.height), Sampled(85, {{2, 2}, {1, 1}, {1, 1}}))),
              1);
    const std::vector<short> before = CoefValues(k.p);
    Bitmap bmp(k.p, p.padded, p.bottomUp);
    const std::vector<BYTE> rendered = bmp.bytes;
    // A brightness change of the one pixel (the same step in B, G and R
    // leaves its chroma alone, which the MCU's chroma block averages).
    BYTE* px = bmp.at(p.x, p.y);
    const int lo = std::min({px[0], px[1], px[2]}), hi = std::max({px[0], px[1], px[2]});
    const int step = hi <= 215 ? 40 : lo >= 40 ? -40 : 255 - hi;
    ASSERT_NE(step, 0);
    for (int c = 0; c < 3; ++c)
        px[c] = static_cast<BYTE>(px[c] + step);

    MemoryUndoStore store;
    k->SetUndoStore(&store);
    BitmapChangeStats stats{-1, -1, -1, -1};
    ASSERT_EQ(k->ApplyBitmapChanges(&bmp.first, bmp.stride, 0, &stats), 1);
    const int mcusX = (p.width + 15) / 16, mcusY = (p.height + 15) / 16;
    EXPECT_EQ(stats.ImageMcus, mcusX * mcusY);
    EXPECT_EQ(stats.ImageBlocks, ((p.width + 7) / 8) * ((p.height + 7) / 8) + 2 * mcusX * mcusY);
    EXPECT_EQ(stats.ChangedMcus, 1);
    EXPECT_EQ(stats.ChangedBlocks, 3);

    // Only the luma block of the pixel and the MCU's two chroma blocks moved.
    CDllImage* img = k.impl();
    const std::vector<short> after = CoefValues(k.p);
    std::vector<size_t> expectChanged = {LumaBlock(img, p.y / 8, p.x / 8)};
    for (int c = 1; c < 3; ++c) {
        ComponentGrid g;
        img->GetComponentGrid(c, &g);
        expectChanged.push_back(g.offset + (static_cast<size_t>(p.y / 16) * g.blocksPerRow + p.x / 16) * 64);
    }
    for (size_t b = 0; b < before.size(); b += 64) {
        const bool same = std::equal(before.begin() + b, before.begin() + b + 64, after.begin() + b);
        const bool expected = std::find(expectChanged.begin(), expectChanged.end(), b) != expectChanged.end();
        EXPECT_EQ(same, !expected) << "block at " << b / 64;
    }

    // Store: three pairs of header and old block, in processing order.
    ASSERT_EQ(store.bytes.size(), 3u * (12 + 128));
    int32_t header[3];
    std::memcpy(header, store.bytes.data(), 12);
    EXPECT_EQ(header[0], 0);
    EXPECT_EQ(header[1], p.x / 8);
    EXPECT_EQ(header[2], p.y / 8);
    std::memcpy(header, store.bytes.data() + 140 * 2, 12);
    EXPECT_EQ(header[0], 2);
    EXPECT_EQ(header[1], p.x / 16);
    EXPECT_EQ(header[2], p.y / 16);

    // It renders back close to what the caller drew: only the transforms'
    // rounding and the chroma averaging over the MCU stand between them.
    Bitmap again(k.p, p.padded, p.bottomUp);
    int worst = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(again.at(x, y)[c] - bmp.at(x, y)[c]);
                if (x == p.x && y == p.y)
                    EXPECT_LE(d, 2) << "changed pixel, channel " << c;
                else
                    worst = std::max(worst, d);
            }
    EXPECT_LE(worst, 8);

    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(CoefValues(k.p), before);
    k->SetUndoStore(nullptr);
    Bitmap undone(k.p, p.padded, p.bottomUp);
    EXPECT_EQ(undone.bytes, rendered);
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, ApplyOnePixel,
    ::testing::Values(OnePixel{64, 48, true, true, 21, 37},      // the program's bottom-up padded bitmap
                      OnePixel{64, 48, false, false, 0, 0},
                      OnePixel{17, 9, false, true, 16, 8},       // exact-size rows of an odd image
                      OnePixel{50, 35, true, false, 49, 34}));   // last pixel, in a partial MCU

TEST(ApplyBitmapChanges, ReencodeAllAndUnchangedBitmaps)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(48, 32), Sampled(85, {{2, 2}, {1, 1}, {1, 1}}))), 1);
    const std::vector<short> before = CoefValues(k.p);
    Bitmap bmp(k.p, true, true);

    // Nothing drawn: nothing re-encoded, nothing saved, still an undo step.
    MemoryUndoStore store;
    k->SetUndoStore(&store);
    BitmapChangeStats stats{};
    ASSERT_EQ(k->ApplyBitmapChanges(&bmp.first, bmp.stride, 0, &stats), 1);
    EXPECT_EQ(stats.ChangedMcus, 0);
    EXPECT_EQ(stats.ChangedBlocks, 0);
    EXPECT_EQ(CoefValues(k.p), before);
    EXPECT_TRUE(store.bytes.empty());

    // Re-encode all: every MCU and block, saved for undo.
    ASSERT_EQ(k->ApplyBitmapChanges(&bmp.first, bmp.stride, 1, &stats), 1);
    EXPECT_EQ(stats.ImageMcus, 6);
    EXPECT_EQ(stats.ImageBlocks, 36);
    EXPECT_EQ(stats.ChangedMcus, 6);
    EXPECT_EQ(stats.ChangedBlocks, 36);
    EXPECT_EQ(store.bytes.size(), 36u * 140u);
    Bitmap again(k.p, true, true);
    int worst = 0;
    for (size_t i = 0; i < bmp.bytes.size(); ++i)
        worst = std::max(worst, std::abs(bmp.bytes[i] - again.bytes[i]));
    EXPECT_LE(worst, 8);

    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(CoefValues(k.p), before);
    EXPECT_EQ(k->Undo(), 1);
    EXPECT_EQ(k->Undo(), 0);
    k->SetUndoStore(nullptr);
}

TEST(ApplyBitmapChanges, NullRowsOnlyReportTheCounts)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(17, 17), Sampled(85, {{2, 2}, {1, 1}, {1, 1}}))), 1);
    const std::vector<short> before = CoefValues(k.p);
    BitmapChangeStats stats{-1, -1, -1, -1};
    BYTE* none = nullptr;
    EXPECT_EQ(k->ApplyBitmapChanges(&none, 51, 1, &stats), 1);
    EXPECT_EQ(stats.ImageMcus, 4);
    EXPECT_EQ(stats.ImageBlocks, 9 + 2 * 4);
    EXPECT_EQ(stats.ChangedMcus, 0);
    EXPECT_EQ(stats.ChangedBlocks, 0);
    EXPECT_EQ(k->ApplyBitmapChanges(nullptr, 51, 1, nullptr), 1);
    EXPECT_EQ(CoefValues(k.p), before);

    ImageRef empty;
    EXPECT_EQ(empty->ApplyBitmapChanges(&none, 0, 0, &stats), 0);
}

// Grayscale, CMYK and RGB images take pixels back through their own converters.
TEST(ApplyBitmapChanges, OtherColourSpaces)
{
    struct Case {
        J_COLOR_SPACE in, jpeg;
        int channels;
    };
    for (const Case c : {Case{JCS_GRAYSCALE, JCS_GRAYSCALE, 1}, Case{JCS_RGB, JCS_RGB, 3}, Case{JCS_CMYK, JCS_CMYK, 4},
                         Case{JCS_CMYK, JCS_YCCK, 4}}) {
        EncodeParams ep;
        ep.inColorSpace = c.in;
        ep.jpegColorSpace = c.jpeg;
        ep.quality = 90;
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(30, 20, c.channels), ep)), 1) << c.jpeg;
        Bitmap bmp(k.p, true, false);
        for (int i = 0; i < 3; ++i)
            bmp.at(25, 3)[i] = 255;
        BitmapChangeStats stats{};
        ASSERT_EQ(k->ApplyBitmapChanges(&bmp.first, bmp.stride, 0, &stats), 1) << c.jpeg;
        EXPECT_EQ(stats.ChangedMcus, 1) << c.jpeg;
        EXPECT_EQ(stats.ChangedBlocks, c.channels) << c.jpeg;
    }
}

// A header whose component count does not fit its colour space cannot take
// pixels back (the converter would leave stale samples); reconstructing,
// which converts no colours, still works.
TEST(ApplyBitmapChanges, RefusesComponentCountsTheConverterCannotFill)
{
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(32, 16), Sampled(85, {{1, 1}, {1, 1}, {1, 1}}))), 1);
    k.impl()->m_decoder.jpeg_color_space = JCS_CMYK;
    const std::vector<short> before = CoefValues(k.p);
    std::vector<BYTE> bitmap(32 * 16 * 3, 200);
    BYTE* first = bitmap.data();
    EXPECT_EQ(k->ApplyBitmapChanges(&first, 32 * 3, 1, nullptr), 0);
    EXPECT_EQ(CoefValues(k.p), before);
    EXPECT_EQ(k->Reconstruct(1, nullptr), 1);
}
