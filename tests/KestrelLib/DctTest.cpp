// The block transforms: flat blocks, forward-then-inverse round trips, the
// vectorised and plain paths agreeing, and encoding one MCU from pixels.
#include "KestrelTest.h"

#include "DCT.h"

#include <cstring>
#include <random>

using namespace testjpeg;
using ktest::ImageRef;

namespace {

// Runs `body` once on the vectorised path (when the CPU has one) and once on
// the plain path.
template <class Fn>
void OnBothPaths(Fn body)
{
    for (bool scalar : {false, true}) {
        SCOPED_TRACE(scalar ? "plain path" : "vectorised path");
        SetScalarOnlyForTesting(scalar);
        body();
    }
    SetScalarOnlyForTesting(false);
}

// Sample blocks that stress the transforms: noise, extremes, edges, ramps.
std::vector<std::array<uint8_t, 64>> SampleBlocks()
{
    std::vector<std::array<uint8_t, 64>> blocks;
    std::mt19937 rng(42);
    for (int n = 0; n < 400; ++n) {
        std::array<uint8_t, 64> b{};
        const int kind = n % 5;
        for (int i = 0; i < 64; ++i) {
            const int r = i / 8, c = i % 8;
            switch (kind) {
            case 0: b[i] = static_cast<uint8_t>(rng() & 255); break;
            case 1: b[i] = ((r + c) & 1) ? 255 : 0; break;
            case 2: b[i] = c < (n % 8) ? 0 : 255; break;
            case 3: b[i] = static_cast<uint8_t>((r * 8 + c) * 4); break;
            default: b[i] = static_cast<uint8_t>(rng() % 2 ? 0 : 255); break;
            }
        }
        blocks.push_back(b);
    }
    return blocks;
}

} // namespace

TEST(Dct, FlatBlocks)
{
    OnBothPaths([] {
        // Beyond +-384 the range limit wraps modulo 1024, as libjpeg's does.
        for (int d : {-384, -300, -129, -128, -127, -1, 0, 1, 5, 127, 128, 300, 383}) {
            short block[64] = {};
            block[0] = static_cast<short>(8 * d);
            uint8_t tile[64];
            CDCT::InverseDctBlock(block, tile);
            const int want = std::clamp(128 + d, 0, 255);
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ(tile[i], want) << "d " << d;

            if (d < -128 || d > 127)
                continue;
            uint8_t flat[64];
            std::fill(std::begin(flat), std::end(flat), static_cast<uint8_t>(128 + d));
            short coef[64];
            CDCT::ForwardDctBlock(flat, coef);
            EXPECT_EQ(coef[0], 8 * d);
            for (int i = 1; i < 64; ++i)
                ASSERT_EQ(coef[i], 0) << "d " << d << " index " << i;
        }
    });
}

TEST(Dct, ForwardThenInverseWithinOne)
{
    const auto blocks = SampleBlocks();
    OnBothPaths([&] {
        int worst = 0;
        for (const auto& b : blocks) {
            short coef[64];
            uint8_t back[64];
            CDCT::ForwardDctBlock(b.data(), coef);
            CDCT::InverseDctBlock(coef, back);
            for (int i = 0; i < 64; ++i)
                worst = std::max(worst, std::abs(back[i] - b[i]));
        }
        EXPECT_LE(worst, 1);
    });
}

TEST(Dct, VectorisedAndPlainPathsAgree)
{
    if (!UsingSimd())
        GTEST_SKIP() << "no vectorised path on this CPU";
    // Inverse: coefficients of the size real files hold, large at low
    // frequencies; also single spikes at every position.
    std::mt19937 rng(7);
    std::vector<std::array<short, 64>> coefs;
    for (int n = 0; n < 2000; ++n) {
        std::array<short, 64> c{};
        for (int i = 0; i < 64; ++i) {
            const int limit = 2048 / (1 + i / 8 + i % 8);
            c[i] = static_cast<short>(static_cast<int>(rng() % (2 * limit + 1)) - limit);
            if (n % 3 == 0 && i > 10)
                c[i] = 0;
        }
        coefs.push_back(c);
    }
    for (int i = 0; i < 64; ++i)
        for (short v : {short(-1020), short(-7), short(9), short(1016)}) {
            std::array<short, 64> c{};
            c[i] = v;
            coefs.push_back(c);
        }
    for (const auto& c : coefs) {
        uint8_t a[64], b[64];
        SetScalarOnlyForTesting(false);
        CDCT::InverseDctBlock(c.data(), a);
        SetScalarOnlyForTesting(true);
        CDCT::InverseDctBlock(c.data(), b);
        SetScalarOnlyForTesting(false);
        ASSERT_EQ(0, std::memcmp(a, b, 64));
    }
    for (const auto& s : SampleBlocks()) {
        short a[64], b[64];
        CDCT::ForwardDctBlock(s.data(), a);
        SetScalarOnlyForTesting(true);
        CDCT::ForwardDctBlock(s.data(), b);
        SetScalarOnlyForTesting(false);
        ASSERT_EQ(0, std::memcmp(a, b, sizeof a));
    }
}

TEST(Dct, ExtremeCoefficientsStayInBounds)
{
    // Values no encoder writes: any result is acceptable, as long as both
    // paths finish and the sanitizers stay quiet.
    OnBothPaths([] {
        std::array<short, 64> c;
        c.fill(32767);
        uint8_t tile[64];
        CDCT::InverseDctBlock(c.data(), tile);
        c.fill(-32768);
        CDCT::InverseDctBlock(c.data(), tile);
    });
}

TEST(Dct, EncodedMcuRendersBackToItsPixels)
{
    // One 4:2:0 MCU: pixels -> LoadMcuFromBitmap -> ForwardDct per block ->
    // written into the coefficient image -> rendered again.
    const auto jpeg = Encode(MakePattern(16, 16, 3, 1), Sampled(90, {{2, 2}, {1, 1}, {1, 1}}));
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    CDllImage* img = k.impl();

    // A smooth BGR picture: chroma subsampling and rounding keep it close.
    std::vector<uint8_t> src(16 * 16 * 3);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = &src[(y * 16 + x) * 3];
            p[0] = static_cast<uint8_t>(40 + 8 * x);
            p[1] = static_cast<uint8_t>(200 - 5 * y);
            p[2] = static_cast<uint8_t>(90 + 3 * (x + y));
        }
    OnBothPaths([&] {
        CDCT dct(img->Decoder());
        ASSERT_TRUE(dct.IsConvertible());
        dct.LoadMcuFromBitmap(src.data(), 16 * 3);
        for (int c = 0; c < 3; ++c) {
            ComponentGrid g;
            ASSERT_TRUE(img->GetComponentGrid(c, &g));
            for (int a = 0; a < g.v; ++a)
                for (int b = 0; b < g.h; ++b)
                    dct.ForwardDct(c, b, a, img->m_coef + g.offset + (static_cast<size_t>(a) * g.blocksPerRow + b) * 64);
        }
        std::vector<uint8_t> out(16 * 16 * 3);
        ASSERT_EQ(k->RenderToBitmap(out.data(), 16 * 3, 1), 1);
        int worst = 0;
        for (size_t i = 0; i < out.size(); ++i)
            worst = std::max(worst, std::abs(out[i] - src[i]));
        EXPECT_LE(worst, 6);
    });
}

TEST(Dct, LayoutOutsideTheArrayRendersNothing)
{
    const auto jpeg = Encode(MakePattern(32, 32, 3, 1), Sampled(90, {{2, 2}, {1, 1}, {1, 1}}));
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    CDCT dct(k.impl()->Decoder());
    ASSERT_EQ(dct.LayoutCount(), k.impl()->m_coefCount);
    std::vector<uint8_t> out(32 * 32 * 3, 7);
    EXPECT_FALSE(dct.DecodeToBitmap(k.impl()->m_coef, static_cast<size_t>(k.impl()->m_coefCount) - 1, out.data(),
                                    32 * 3, 0, 32, 32));
    EXPECT_EQ(std::count(out.begin(), out.end(), 7), static_cast<long>(out.size()));
    // One MCU row band starting at the second MCU row.
    EXPECT_TRUE(dct.DecodeToBitmap(k.impl()->m_coef, static_cast<size_t>(k.impl()->m_coefCount), out.data(), 32 * 3,
                                   16, 32, 16));
    std::vector<uint8_t> full(32 * 32 * 3);
    ASSERT_EQ(k->RenderToBitmap(full.data(), 32 * 3, 0), 1);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 16 * 32 * 3, full.begin() + 16 * 32 * 3));
}
