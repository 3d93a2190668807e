// Colour-space converters on hand-made MCUs: known colours, upsampling,
// downsampling biases, edge clipping and geometry they must refuse.
#include "KestrelTest.h"

#include "ColorConvert.h"
#include "DCT.h"

#include <cstring>
#include <random>

namespace {

// A decoder header with the given components' sampling factors.
struct FakeHeader {
    jpeg_decompress_struct cinfo{};
    jpeg_component_info comps[10]{};
    FakeHeader(J_COLOR_SPACE space, std::vector<std::pair<int, int>> factors)
    {
        cinfo.jpeg_color_space = space;
        cinfo.num_components = static_cast<int>(factors.size());
        cinfo.comp_info = comps;
        for (size_t k = 0; k < factors.size(); ++k) {
            comps[k].h_samp_factor = factors[k].first;
            comps[k].v_samp_factor = factors[k].second;
        }
    }
    const jpeg_decompress_struct* get() const { return &cinfo; }
};

// An MCU sample buffer with every component filled with one value.
std::array<uint8_t, 4 * kMcuAreaBytes> Flat(std::initializer_list<int> values)
{
    std::array<uint8_t, 4 * kMcuAreaBytes> b{};
    int k = 0;
    for (int v : values)
        std::fill_n(b.begin() + k++ * kMcuAreaBytes, kMcuAreaBytes, static_cast<uint8_t>(v));
    return b;
}

std::array<int, 3> OnePixel(CColorSpaceConverter& conv, const FakeHeader& h, const uint8_t* blocks)
{
    conv.InitTables(ClampTable());
    uint8_t px[3] = {1, 2, 3};
    conv.ToBgr(h.get(), blocks, px, 1, 1, 3, SamplingCode(h.get()));
    return {px[0], px[1], px[2]};
}

} // namespace

TEST(ColorConvert, SamplingCodes)
{
    struct Case {
        std::vector<std::pair<int, int>> f;
        int code;
    };
    for (const Case& c : std::vector<Case>{{{{1, 1}, {1, 1}, {1, 1}}, 0},
                                           {{{1, 2}, {1, 1}, {1, 1}}, 80},
                                           {{{2, 1}, {1, 1}, {1, 1}}, 160},
                                           {{{2, 2}, {1, 1}, {1, 1}}, 240},
                                           {{{1, 1}}, 0},
                                           {{{2, 2}, {1, 1}, {1, 1}, {2, 2}}, (3 << 8) | (3 << 6) | 3},
                                           {{{3, 1}, {1, 1}, {1, 1}}, -1},
                                           {{{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}}, -1}})
        EXPECT_EQ(SamplingCode(FakeHeader(JCS_YCbCr, c.f).get()), c.code);
}

TEST(ColorConvert, KnownColours)
{
    FakeHeader ycc(JCS_YCbCr, {{1, 1}, {1, 1}, {1, 1}});
    FakeHeader four(JCS_CMYK, {{1, 1}, {1, 1}, {1, 1}, {1, 1}});
    FakeHeader gray(JCS_GRAYSCALE, {{1, 1}});
    FakeHeader rgb(JCS_RGB, {{1, 1}, {1, 1}, {1, 1}});
    CConverterYCC y;
    CConverterCMYK cmyk;
    CConverterYCCK ycck;
    CConverterGrayscale g;
    CConverterRGB r;
    struct Case {
        const char* name;
        CColorSpaceConverter* conv;
        const FakeHeader* header;
        std::initializer_list<int> samples;
        std::array<int, 3> bgr;
    };
    const Case cases[] = {
        {"ycc white", &y, &ycc, {255, 128, 128}, {255, 255, 255}},
        {"ycc red clamps to 0", &y, &ycc, {0, 128, 0}, {0, 91, 0}},
        {"ycc pure red", &y, &ycc, {76, 85, 255}, {0, 0, 254}},
        {"ycc blue overflow clamps", &y, &ycc, {200, 255, 128}, {255, 156, 200}},
        {"gray", &g, &gray, {77}, {77, 77, 77}},
        {"rgb order", &r, &rgb, {10, 20, 30}, {30, 20, 10}},
        {"cmyk no ink", &cmyk, &four, {255, 255, 255, 255}, {255, 255, 255}},
        {"cmyk K=0 is black", &cmyk, &four, {200, 30, 90, 0}, {0, 0, 0}},
        {"cmyk half black", &cmyk, &four, {255, 255, 255, 128}, {128, 128, 128}},
        {"ycck K=0 is black", &ycck, &four, {30, 200, 10, 0}, {0, 0, 0}},
        {"ycck black YCC is white ink", &ycck, &four, {0, 128, 128, 255}, {255, 255, 255}},
        {"ycck scaled", &ycck, &four, {0, 128, 128, 100}, {100, 100, 100}},
    };
    for (const Case& c : cases) {
        const auto blocks = Flat(c.samples);
        EXPECT_EQ(OnePixel(*c.conv, *c.header, blocks.data()), c.bgr) << c.name;
    }
}

TEST(ColorConvert, FromBgrKnownValues)
{
    uint8_t white[16 * 16 * 3];
    std::fill(std::begin(white), std::end(white), 255);
    FakeHeader four(JCS_CMYK, {{1, 1}, {1, 1}, {1, 1}, {1, 1}});
    CConverterCMYK cmyk;
    cmyk.InitTables(ClampTable());
    std::array<uint8_t, 4 * kMcuAreaBytes> blocks{};
    cmyk.FromBgr(four.get(), white, blocks.data(), 8 * 3);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(blocks[k * kMcuAreaBytes + 10], 255) << "component " << k;

    // Grayscale averages and truncates: (1 + 1 + 0) / 3 = 0.
    uint8_t px[8 * 8 * 3];
    for (int i = 0; i < 64; ++i) {
        px[i * 3] = 1;
        px[i * 3 + 1] = 1;
        px[i * 3 + 2] = 0;
    }
    FakeHeader gray(JCS_GRAYSCALE, {{1, 1}});
    CConverterGrayscale g;
    blocks.fill(9);
    g.FromBgr(gray.get(), px, blocks.data(), 8 * 3);
    EXPECT_EQ(blocks[0], 0);
    EXPECT_EQ(blocks[63], 0);
    EXPECT_EQ(blocks[64], 9); // nothing beyond the one block

    // YCbCr of pure colours (the JFIF equations, rounded).
    FakeHeader ycc(JCS_YCbCr, {{1, 1}, {1, 1}, {1, 1}});
    CConverterYCC y;
    y.InitTables(ClampTable());
    for (int i = 0; i < 64; ++i) {
        px[i * 3] = 0;
        px[i * 3 + 1] = 0;
        px[i * 3 + 2] = 255; // red
    }
    y.FromBgr(ycc.get(), px, blocks.data(), 8 * 3);
    EXPECT_EQ(blocks[0], 76);
    EXPECT_EQ(blocks[kMcuAreaBytes], 85);
    EXPECT_EQ(blocks[2 * kMcuAreaBytes], 255);
}

TEST(ColorConvert, UpsamplingReplicatesChroma)
{
    // 4:2:0: chroma sample (3, 5) covers pixels (6..7, 10..11).
    FakeHeader h(JCS_YCbCr, {{2, 2}, {1, 1}, {1, 1}});
    auto blocks = Flat({128, 128, 128});
    blocks[2 * kMcuAreaBytes + McuBlockOffset(0, 0) + 3 * 8 + 5] = 255; // Cr
    CConverterYCC conv;
    conv.InitTables(ClampTable());
    uint8_t out[16 * 16 * 3];
    conv.ToBgr(h.get(), blocks.data(), out, 16, 16, 16 * 3, SamplingCode(h.get()));
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c) {
            const bool hit = (r == 6 || r == 7) && (c == 10 || c == 11);
            EXPECT_EQ(out[(r * 16 + c) * 3 + 2], hit ? 255 : 128) << r << "," << c;
        }
}

TEST(ColorConvert, ToBgrWritesOnlyTheGivenRectangle)
{
    FakeHeader h(JCS_YCbCr, {{2, 2}, {1, 1}, {1, 1}});
    const auto blocks = Flat({60, 100, 200});
    CConverterYCC conv;
    conv.InitTables(ClampTable());
    for (auto [cols, rows] : {std::pair{5, 3}, std::pair{16, 1}, std::pair{1, 16}, std::pair{8, 9}, std::pair{15, 15}}) {
        const int stride = 20 * 3;
        std::vector<uint8_t> canvas(stride * 20, 0xEE);
        conv.ToBgr(h.get(), blocks.data(), canvas.data(), cols, rows, stride, 240);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x < cols && y < rows;
                ASSERT_EQ(canvas[y * stride + x * 3] != 0xEE, inside) << cols << "x" << rows << " at " << x << "," << y;
            }
    }
}

TEST(ColorConvert, VectorisedRowsMatchTables)
{
    if (!UsingSimd())
        GTEST_SKIP() << "no vectorised path on this CPU";
    std::mt19937 rng(3);
    for (auto f : std::vector<std::vector<std::pair<int, int>>>{
             {{1, 1}, {1, 1}, {1, 1}}, {{1, 2}, {1, 1}, {1, 1}}, {{2, 1}, {1, 1}, {1, 1}}, {{2, 2}, {1, 1}, {1, 1}},
             {{1, 1}, {2, 2}, {2, 2}}, {{2, 2}, {2, 1}, {1, 2}}}) {
        FakeHeader h(JCS_YCbCr, f);
        std::array<uint8_t, 4 * kMcuAreaBytes> blocks;
        for (auto& b : blocks)
            b = static_cast<uint8_t>(rng());
        for (int cols : {16, 8, 11, 1}) {
            CConverterYCC conv;
            conv.InitTables(ClampTable());
            uint8_t a[16 * 16 * 3] = {}, b[16 * 16 * 3] = {};
            conv.ToBgr(h.get(), blocks.data(), a, cols, 16, 16 * 3, SamplingCode(h.get()));
            SetScalarOnlyForTesting(true);
            conv.ToBgr(h.get(), blocks.data(), b, cols, 16, 16 * 3, SamplingCode(h.get()));
            SetScalarOnlyForTesting(false);
            ASSERT_EQ(0, std::memcmp(a, b, sizeof a)) << "columns " << cols;
        }
    }
}

TEST(ColorConvert, DownsamplingBiases)
{
    // RGB kind so each grid is one channel: R full size, G halved across,
    // B halved down.
    FakeHeader h(JCS_RGB, {{2, 2}, {1, 2}, {2, 1}});
    uint8_t px[16 * 16 * 3];
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = px + (y * 16 + x) * 3;
            p[2] = static_cast<uint8_t>(x + 16 * y); // R
            p[1] = static_cast<uint8_t>(x & 1);      // G pairs across sum to 1
            p[0] = static_cast<uint8_t>(y & 1);      // B pairs down sum to 1
        }
    CConverterRGB conv;
    std::array<uint8_t, 4 * kMcuAreaBytes> blocks{};
    conv.FromBgr(h.get(), px, blocks.data(), 16 * 3);
    // R: 1:1 into four blocks.
    EXPECT_EQ(blocks[McuBlockOffset(1, 1) + 2 * 8 + 3], (8 + 3) + 16 * (8 + 2));
    // (0 + 1 + bias) >> 1 with the bias 0, 1, 0, 1 along the row.
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(blocks[kMcuAreaBytes + McuBlockOffset(0, 0) + x], x & 1) << x;
        EXPECT_EQ(blocks[kMcuAreaBytes + McuBlockOffset(1, 0) + 7 * 8 + x], x & 1) << x;
        EXPECT_EQ(blocks[2 * kMcuAreaBytes + McuBlockOffset(0, 1) + 5 * 8 + x], x & 1) << x;
    }

    // 2 x 2 averages with the bias 1, 2, 1, 2: sums of 2 give 0, 1, 0, 1.
    FakeHeader g2(JCS_RGB, {{2, 2}, {1, 1}, {2, 2}});
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            px[(y * 16 + x) * 3 + 1] = static_cast<uint8_t>(y & 1);
    conv.FromBgr(g2.get(), px, blocks.data(), 16 * 3);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(blocks[kMcuAreaBytes + 3 * 8 + x], x & 1) << x;
}

TEST(ColorConvert, RefusedGeometryTouchesNothing)
{
    const std::vector<std::vector<std::pair<int, int>>> bad = {
        {{3, 1}, {1, 1}, {1, 1}}, {{4, 2}, {1, 1}, {1, 1}}, {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}}, {{0, 1}, {1, 1}, {1, 1}}, {{1, 1}}};
    CConverterYCC ycc;
    CConverterRGB rgb;
    CConverterCMYK cmyk;
    CConverterYCCK ycck;
    CConverterGrayscale gray;
    CConverterDummy dummy;
    CColorSpaceConverter* all[] = {&ycc, &rgb, &cmyk, &ycck, &gray, &dummy};
    for (const auto& f : bad)
        for (CColorSpaceConverter* c : all) {
            FakeHeader h(JCS_YCbCr, f);
            if (c == &gray && f.size() == 1)
                continue; // one component is what grayscale needs
            c->InitTables(ClampTable());
            std::array<uint8_t, 4 * kMcuAreaBytes> blocks;
            blocks.fill(0x33);
            uint8_t px[16 * 16 * 3];
            std::fill(std::begin(px), std::end(px), 0x44);
            c->ToBgr(h.get(), blocks.data(), px, 16, 16, 16 * 3, SamplingCode(h.get()));
            c->FromBgr(h.get(), px, blocks.data(), 16 * 3);
            EXPECT_EQ(std::count(std::begin(px), std::end(px), 0x44), 16 * 16 * 3);
            EXPECT_EQ(std::count(blocks.begin(), blocks.end(), 0x33), static_cast<long>(blocks.size()));
        }

    // The block transforms refuse the same headers before touching pixels.
    for (const auto& f : bad) {
        FakeHeader h(JCS_YCbCr, f);
        for (int k = 0; k < static_cast<int>(f.size()); ++k)
            h.comps[k].width_in_blocks = h.comps[k].height_in_blocks = 2;
        CDCT dct(h.get());
        std::vector<short> coef(64 * 64, 0);
        std::vector<uint8_t> px(32 * 32 * 3, 0x44);
        dct.DecodeToBitmap(coef.data(), coef.size(), px.data(), 32 * 3, 0, 32, 32);
        dct.LoadMcuFromBitmap(px.data(), 32 * 3);
        EXPECT_EQ(std::count(px.begin(), px.end(), 0x44), static_cast<long>(px.size()));
    }
}
