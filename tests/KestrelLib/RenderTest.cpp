// Rendering the coefficient image: bit-exact to libjpeg's accurate integer
// decode without fancy upsampling, padding, strides and unsupported files.
#include "KestrelTest.h"

#include "ColorConvert.h"
#include "DCT.h"
#include "RowThreads.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace testjpeg;
using ktest::ImageRef;

namespace {

// BGR rows of the given size rendered by the library, or empty on failure.
std::vector<uint8_t> Render(IKestrel* k, int width, int height, int pad)
{
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 3, 0xA5);
    if (!k->RenderToBitmap(out.data(), width * 3, pad))
        return {};
    return out;
}

// Compares BGR pixels with libjpeg's RGB or gray output over its size.
::testing::AssertionResult SameAsLibjpeg(const std::vector<uint8_t>& bgr, int stridePixels, const Pixels& ref)
{
    if (ref.data.empty())
        return ::testing::AssertionFailure() << "reference decode failed";
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const uint8_t* p = bgr.data() + (static_cast<size_t>(y) * stridePixels + x) * 3;
            const uint8_t* q = ref.row(y) + static_cast<size_t>(x) * ref.channels;
            const int r = q[0], g = ref.channels == 1 ? q[0] : q[1], b = ref.channels == 1 ? q[0] : q[2];
            if (p[0] != b || p[1] != g || p[2] != r)
                return ::testing::AssertionFailure()
                       << "pixel (" << x << "," << y << ") BGR " << int(p[0]) << "," << int(p[1]) << "," << int(p[2])
                       << " != " << b << "," << g << "," << r;
        }
    return ::testing::AssertionSuccess();
}

// True when `bottomUp` holds the rows of `topDown` in reverse order.
::testing::AssertionResult RowsReversed(const std::vector<uint8_t>& topDown, const std::vector<uint8_t>& bottomUp,
                                        int width, int height)
{
    const long row = static_cast<long>(width) * 3;
    for (int y = 0; y < height; ++y)
        if (!std::equal(topDown.begin() + y * row, topDown.begin() + (y + 1) * row,
                        bottomUp.begin() + (height - 1 - y) * row))
            return ::testing::AssertionFailure() << "row " << y;
    return ::testing::AssertionSuccess();
}

struct RenderCase {
    const char* name;
    int width, height;
    J_COLOR_SPACE in;
    std::vector<std::pair<int, int>> sampling;
    bool progressive = false, arithmetic = false;
    int restart = 0;
    J_COLOR_SPACE stored = JCS_UNKNOWN; // libjpeg's default for the input
};

std::vector<uint8_t> EncodeCase(const RenderCase& c)
{
    EncodeParams p = Sampled(80, c.sampling);
    p.inColorSpace = c.in;
    p.progressive = c.progressive;
    p.arithmetic = c.arithmetic;
    p.restartInterval = c.restart;
    p.jpegColorSpace = c.stored;
    if (c.stored == JCS_RGB)
        p.writeJfif = false;
    return Encode(MakePattern(c.width, c.height, c.in == JCS_GRAYSCALE ? 1 : 3, 7), p);
}

class RenderExact : public ::testing::TestWithParam<RenderCase> {};

} // namespace

TEST_P(RenderExact, MatchesLibjpegWithAndWithoutPadding)
{
    const RenderCase& c = GetParam();
    const auto jpeg = EncodeCase(c);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    const Pixels ref = Decode(jpeg);

    const auto plain = Render(k.p, c.width, c.height, 0);
    ASSERT_FALSE(plain.empty());
    EXPECT_TRUE(SameAsLibjpeg(plain, c.width, ref));

    const int pw = k.impl()->m_paddedWidth, ph = k.impl()->m_paddedHeight;
    const auto padded = Render(k.p, pw, ph, 1);
    ASSERT_FALSE(padded.empty());
    EXPECT_TRUE(SameAsLibjpeg(padded, pw, ref));
    // Every pixel of the padded rectangle was written.
    size_t untouched = 0;
    for (size_t i = 0; i + 2 < padded.size(); i += 3)
        untouched += padded[i] == 0xA5 && padded[i + 1] == 0xA5 && padded[i + 2] == 0xA5;
    EXPECT_LT(untouched, padded.size() / 3 / 50);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RenderExact,
    ::testing::Values(RenderCase{"gray_whole", 64, 48, JCS_GRAYSCALE, {}},
                      RenderCase{"gray_partial", 67, 45, JCS_GRAYSCALE, {}},
                      RenderCase{"s444_whole", 64, 64, JCS_RGB, {{1, 1}, {1, 1}, {1, 1}}},
                      RenderCase{"s444_partial", 33, 17, JCS_RGB, {{1, 1}, {1, 1}, {1, 1}}},
                      RenderCase{"s422_whole", 64, 32, JCS_RGB, {{2, 1}, {1, 1}, {1, 1}}},
                      RenderCase{"s422_partial", 37, 23, JCS_RGB, {{2, 1}, {1, 1}, {1, 1}}},
                      RenderCase{"s440_whole", 32, 64, JCS_RGB, {{1, 2}, {1, 1}, {1, 1}}},
                      RenderCase{"s440_partial", 37, 23, JCS_RGB, {{1, 2}, {1, 1}, {1, 1}}},
                      RenderCase{"s420_whole", 64, 64, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}},
                      RenderCase{"s420_partial", 101, 67, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}},
                      RenderCase{"s420_tiny", 17, 9, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}},
                      RenderCase{"mixed_factors", 45, 37, JCS_RGB, {{2, 2}, {2, 1}, {1, 2}}},
                      RenderCase{"chroma_larger", 45, 37, JCS_RGB, {{1, 1}, {2, 2}, {2, 2}}},
                      RenderCase{"progressive", 101, 67, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}, true},
                      RenderCase{"arithmetic", 101, 67, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}, false, true},
                      RenderCase{"arith_progressive", 53, 41, JCS_RGB, {{2, 1}, {1, 1}, {1, 1}}, true, true},
                      RenderCase{"restart", 101, 67, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}, false, false, 3},
                      RenderCase{"gray_progressive", 67, 45, JCS_GRAYSCALE, {}, true},
                      RenderCase{"rgb_stored", 45, 37, JCS_RGB, {{1, 1}, {1, 1}, {1, 1}}, false, false, 0, JCS_RGB},
                      RenderCase{"rgb_subsampled", 45, 37, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}, false, false, 0, JCS_RGB}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Render, BothPathsMatchLibjpeg)
{
    // The vectorised and the plain paths must give the same exact pixels.
    const RenderCase c{"s420", 77, 51, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}};
    const auto jpeg = EncodeCase(c);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    const Pixels ref = Decode(jpeg);
    for (bool scalar : {false, true}) {
        SetScalarOnlyForTesting(scalar);
        const auto out = Render(k.p, c.width, c.height, 0);
        SetScalarOnlyForTesting(false);
        ASSERT_FALSE(out.empty());
        EXPECT_TRUE(SameAsLibjpeg(out, c.width, ref)) << (scalar ? "plain path" : "vectorised path");
    }
}

TEST(Render, MatchesDjpegTool)
{
    if (!HaveTool("djpeg"))
        GTEST_SKIP() << "djpeg not installed";
    TempDir dir;
    struct Tool {
        RenderCase c;
        const char* ext;
    };
    for (const Tool& t : {Tool{{"color", 83, 61, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}}, "ppm"},
                          Tool{{"gray", 83, 61, JCS_GRAYSCALE, {}}, "pgm"}}) {
        const auto jpeg = EncodeCase(t.c);
        ASSERT_TRUE(WriteFile(dir / "in.jpg", jpeg));
        const auto out = dir / (std::string("out.") + t.ext);
        ASSERT_EQ(testjpeg::Run("djpeg -dct int -nosmooth -outfile '" + out.string() + "' '" + (dir / "in.jpg").string() + "'"),
                  0);
        // Binary PPM/PGM: magic, width, height, maxval, one whitespace, samples.
        std::ifstream in(out, std::ios::binary);
        std::string magic;
        int w = 0, h = 0, maxval = 0;
        in >> magic >> w >> h >> maxval;
        in.get();
        ASSERT_EQ(w, t.c.width);
        ASSERT_EQ(h, t.c.height);
        Pixels ref;
        ref.width = w;
        ref.height = h;
        ref.channels = magic == "P6" ? 3 : 1;
        ref.data.resize(static_cast<size_t>(w) * h * ref.channels);
        in.read(reinterpret_cast<char*>(ref.data.data()), static_cast<std::streamsize>(ref.data.size()));
        ASSERT_TRUE(in.good());

        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
        EXPECT_TRUE(SameAsLibjpeg(Render(k.p, w, h, 0), w, ref)) << t.c.name;
    }
}

TEST(Render, CorpusFilesMatchLibjpeg)
{
    const auto files = CorpusFiles();
    int compared = 0;
    for (const auto& path : files) {
        const auto bytes = ReadFile(path);
        const Coefficients info = ReadCoefficients(bytes);
        // The large photos repeat what the made-up files cover; keep the suite fast.
        if (!info.ok || static_cast<long long>(info.width) * info.height > 1'000'000 || info.maxH > 2 || info.maxV > 2 ||
            (info.colorSpace != JCS_GRAYSCALE && info.colorSpace != JCS_YCbCr && info.colorSpace != JCS_RGB))
            continue;
        ImageRef k;
        ASSERT_EQ(ktest::LoadPath(k.p, path), 1) << path;
        const Pixels ref = Decode(bytes);
        EXPECT_TRUE(SameAsLibjpeg(Render(k.p, info.width, info.height, 0), info.width, ref)) << path;
        ++compared;
    }
    EXPECT_GT(compared, 3);
}

TEST(Render, PaddingWritesExactlyTheRequestedRectangle)
{
    // 17 x 9 pixels of 4:2:0: padded 32 x 16. Render into a larger canvas
    // and check nothing outside the rectangle changes.
    const auto jpeg = EncodeCase({"t", 17, 9, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}});
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    const int cw = 40, ch = 20, stride = cw * 3;
    for (int pad : {0, 1}) {
        std::vector<uint8_t> canvas(static_cast<size_t>(stride) * ch, 0xA5);
        ASSERT_EQ(k->RenderToBitmap(canvas.data(), stride, pad), 1);
        const int w = pad ? 32 : 17, h = pad ? 16 : 9;
        int inside = 0, outside = 0;
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw * 3; ++x) {
                const bool changed = canvas[static_cast<size_t>(y) * stride + x] != 0xA5;
                if (y < h && x < w * 3)
                    inside += changed;
                else
                    outside += changed;
            }
        EXPECT_EQ(outside, 0) << "pad " << pad;
        EXPECT_GT(inside, w * h * 3 * 9 / 10) << "pad " << pad;
    }
}

TEST(Render, NegativeStrideDrawsBottomUp)
{
    const int w = 37, h = 23;
    const auto jpeg = EncodeCase({"t", w, h, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}});
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    const auto topDown = Render(k.p, w, h, 0);
    ASSERT_FALSE(topDown.empty());
    std::vector<uint8_t> bottomUp(topDown.size(), 0);
    ASSERT_EQ(k->RenderToBitmap(bottomUp.data() + static_cast<size_t>(h - 1) * w * 3, -w * 3, 0), 1);
    EXPECT_TRUE(RowsReversed(topDown, bottomUp, w, h));
}

TEST(Render, LargeImagesOnThreadsMatchOneThreadAndLibjpeg)
{
    // Large enough to be spread over threads: every MCU row must come out as
    // one CDCT draws it, up to a short last MCU row, in both directions. The
    // thread count is set, not the machine's: rows handed out unevenly, and
    // the most a pass takes.
    struct RowThreads {
        explicit RowThreads(int n) { setenv("KESTREL_ROW_THREADS", std::to_string(n).c_str(), 1); }
        ~RowThreads() { unsetenv("KESTREL_ROW_THREADS"); }
    };
    for (int threads : {3, 8})
    for (const RenderCase& c : {RenderCase{"s420", 1001, 667, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}},
                                RenderCase{"s440", 603, 1001, JCS_RGB, {{1, 2}, {1, 1}, {1, 1}}},
                                RenderCase{"gray", 517, 389, JCS_GRAYSCALE, {}}}) {
        SCOPED_TRACE(::testing::Message() << c.name << " on " << threads << " threads");
        const RowThreads set(threads);
        ASSERT_EQ(RowPassThreads(42, c.width, c.height), threads);
        const auto jpeg = EncodeCase(c);
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
        const int pw = k.impl()->m_paddedWidth, ph = k.impl()->m_paddedHeight;
        std::vector<uint8_t> one(static_cast<size_t>(pw) * ph * 3, 0xA5);
        CDCT dct(&k.impl()->m_decoder);
        ASSERT_TRUE(dct.DecodeToBitmap(k.impl()->m_coef, static_cast<size_t>(k.impl()->m_coefCount), one.data(),
                                       pw * 3, 0, pw, ph));
        const auto padded = Render(k.p, pw, ph, 1);
        ASSERT_FALSE(padded.empty());
        EXPECT_TRUE(padded == one);
        EXPECT_TRUE(SameAsLibjpeg(Render(k.p, c.width, c.height, 0), c.width, Decode(jpeg)));
        std::vector<uint8_t> bottomUp(padded.size(), 0);
        ASSERT_EQ(k->RenderToBitmap(bottomUp.data() + static_cast<size_t>(ph - 1) * pw * 3, -pw * 3, 1), 1);
        EXPECT_TRUE(RowsReversed(one, bottomUp, pw, ph));
    }
}

TEST(Render, RefusesWithoutImageOrRows)
{
    std::vector<uint8_t> buf(64 * 64 * 3);
    ImageRef empty;
    EXPECT_EQ(empty->RenderToBitmap(buf.data(), 64 * 3, 1), 0);

    const auto jpeg = EncodeCase({"t", 64, 64, JCS_RGB, {{2, 2}, {1, 1}, {1, 1}}});
    ImageRef headerOnly;
    ASSERT_EQ(ktest::LoadBytes(headerOnly.p, jpeg, 1), 1);
    EXPECT_EQ(headerOnly->RenderToBitmap(buf.data(), 64 * 3, 1), 0);

    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    EXPECT_EQ(k->RenderToBitmap(nullptr, 64 * 3, 1), 0);
    EXPECT_EQ(k->RenderToBitmap(buf.data(), 10, 1), 0);   // rows would overlap
    EXPECT_EQ(k->RenderToBitmap(buf.data(), 64 * 3, 1), 1);
}

namespace {

// A JPEG of `channels` components in an unknown colour space.
std::vector<uint8_t> EncodeUnknown(int channels, int w, int h)
{
    Pixels px;
    px.width = w;
    px.height = h;
    px.channels = channels;
    px.data.assign(static_cast<size_t>(w) * h * channels, 90);
    EncodeParams p;
    p.inColorSpace = JCS_UNKNOWN;
    p.jpegColorSpace = JCS_UNKNOWN;
    p.writeJfif = false;
    return Encode(px, p);
}

} // namespace

TEST(Render, UnconvertedFilesReportSuccessAndWriteNothing)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> jpeg;
    };
    std::vector<Case> cases;
    for (auto s : std::vector<std::vector<std::pair<int, int>>>{
             {{3, 1}, {1, 1}, {1, 1}}, {{4, 1}, {1, 1}, {1, 1}}, {{1, 4}, {1, 1}, {1, 1}}, {{3, 2}, {1, 1}, {1, 1}}}) {
        EncodeParams p = Sampled(80, s);
        cases.push_back({"factor above 2", Encode(MakePattern(51, 29, 3, 3), p)});
    }
    // libjpeg reads no more than four components here: five are covered on a
    // made-up header in ColorConvertTest.
    cases.push_back({"unknown colour space", EncodeUnknown(2, 40, 24)});
    for (const Case& c : cases) {
        ASSERT_FALSE(c.jpeg.empty()) << c.name;
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, c.jpeg), 1) << c.name;
        const int pw = k.impl()->m_paddedWidth, ph = k.impl()->m_paddedHeight;
        std::vector<uint8_t> buf(static_cast<size_t>(pw) * ph * 3, 0x5A);
        EXPECT_EQ(k->RenderToBitmap(buf.data(), pw * 3, 1), 1) << c.name;
        EXPECT_EQ(std::count(buf.begin(), buf.end(), 0x5A), static_cast<long>(buf.size())) << c.name;
    }
}

TEST(Render, YcckFollowsLibjpegInksScaledByBlack)
{
    // libjpeg turns YCCK into inverted inks C = clamp(255 - R') (R' the
    // YCbCr red), the same first step as ours; we then scale by K / 255.
    Pixels cmyk = MakePattern(45, 29, 4, 11);
    EncodeParams p = Sampled(85, {{2, 2}, {1, 1}, {1, 1}, {2, 2}});
    p.inColorSpace = JCS_CMYK;
    p.jpegColorSpace = JCS_YCCK;
    p.writeJfif = false;
    const auto jpeg = Encode(cmyk, p);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    ASSERT_EQ(k.impl()->m_colorSpace, JCS_YCCK);
    const Pixels inks = Decode(jpeg);
    ASSERT_EQ(inks.channels, 4);
    const auto out = Render(k.p, 45, 29, 0);
    ASSERT_FALSE(out.empty());
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 45; ++x) {
            const uint8_t* q = inks.row(y) + x * 4;
            const uint8_t* o = out.data() + (static_cast<size_t>(y) * 45 + x) * 3;
            const unsigned kk = q[3];
            ASSERT_EQ(o[2], q[0] * kk / 255) << x << "," << y;
            ASSERT_EQ(o[1], q[1] * kk / 255) << x << "," << y;
            ASSERT_EQ(o[0], q[2] * kk / 255) << x << "," << y;
        }
}

TEST(Render, CmykShowsInvertedInksScaledByBlack)
{
    Pixels cmyk = MakePattern(40, 24, 4, 5);
    EncodeParams p = Sampled(95, {{1, 1}, {1, 1}, {1, 1}, {1, 1}});
    p.inColorSpace = JCS_CMYK;
    p.writeJfif = false;
    const auto jpeg = Encode(cmyk, p);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    ASSERT_EQ(k.impl()->m_colorSpace, JCS_CMYK);
    const Pixels samples = Decode(jpeg);
    const auto out = Render(k.p, 40, 24, 0);
    ASSERT_FALSE(out.empty());
    // Through the YCbCr round trip the ink comes back within a step or two.
    int worst = 0;
    for (int i = 0; i < 40 * 24; ++i) {
        const uint8_t* q = samples.data.data() + i * 4;
        const uint8_t* o = out.data() + i * 3;
        for (int ch = 0; ch < 3; ++ch)
            worst = std::max(worst, std::abs(o[2 - ch] - static_cast<int>(q[ch] * q[3] / 255)));
    }
    EXPECT_LE(worst, 2);
}
