// Scaled thumbnail decoding into a box with background and decorations.
#include "KestrelTest.h"

#include <thread>

using namespace testjpeg;
using ktest::ImageRef;

namespace {

constexpr uint8_t kBgR = 30, kBgG = 60, kBgB = 90;

// A cheap large grayscale picture (a gradient; never equal to the background).
std::vector<uint8_t> Gradient(int w, int h)
{
    Pixels p;
    p.width = w;
    p.height = h;
    p.channels = 1;
    p.data.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.row(y)[x] = static_cast<uint8_t>(100 + (x * 7 + y * 3) % 100);
    EncodeParams ep;
    ep.inColorSpace = JCS_GRAYSCALE;
    ep.quality = 50;
    return Encode(p, ep);
}

struct Drawn {
    int result = 0, width = 0, height = 0;
    std::vector<uint8_t> box; // top-down rows of boxW x 3 bytes
    int boxW = 0, boxH = 0;
    const uint8_t* at(int x, int y) const { return box.data() + (static_cast<size_t>(y) * boxW + x) * 3; }
    bool Is(int x, int y, int b, int g, int r) const { return at(x, y)[0] == b && at(x, y)[1] == g && at(x, y)[2] == r; }
    // Bounding box of the picture: pixels that are gray (B = G = R) and not white or frame grey.
    void Picture(int* x0, int* y0, int* n, int* m) const
    {
        int l = boxW, t = boxH, r = -1, b = -1;
        for (int y = 0; y < boxH; ++y)
            for (int x = 0; x < boxW; ++x) {
                const uint8_t* p = at(x, y);
                if (p[0] == p[1] && p[1] == p[2] && p[0] != 255 && p[0] != 165) {
                    l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
                }
            }
        *x0 = l, *y0 = t, *n = r - l + 1, *m = b - t + 1;
    }
};

Drawn Thumb(IKestrel* k, const std::filesystem::path& file, int boxW, int boxH, int flags, bool bottomUp = false)
{
    Drawn d;
    d.boxW = boxW;
    d.boxH = boxH;
    std::vector<uint8_t> memory(static_cast<size_t>(boxW) * boxH * 3, 0xAB);
    CBstr path(ToU16(file.string()));
    const int stride = boxW * 3;
    d.result = k->LoadThumbnail(path, memory.data(), boxW, boxH, bottomUp ? -stride : stride, kBgR, kBgG, kBgB,
                                &d.width, &d.height, flags);
    d.box.resize(memory.size());
    for (int y = 0; y < boxH; ++y) // back to top-down
        std::copy_n(memory.data() + static_cast<size_t>(bottomUp ? boxH - 1 - y : y) * stride, stride,
                    d.box.data() + static_cast<size_t>(y) * stride);
    if (!d.result)
        d.box = memory;
    return d;
}

class Thumbnail : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        WriteFile(*dir / "big.jpg", Gradient(4000, 3000));
        WriteFile(*dir / "small.jpg", Gradient(100, 80));
        WriteFile(*dir / "colour.jpg", Encode(MakePattern(300, 200), Sampled(90, {{2, 2}, {1, 1}, {1, 1}})));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static TempDir* dir;
    ImageRef k;
};
TempDir* Thumbnail::dir = nullptr;

} // namespace

struct FitCase {
    const char* file;
    int boxW, boxH, flags;
    int x0, y0, n, m;
};

TEST_F(Thumbnail, FitsAndCentresThePicture)
{
    const FitCase cases[] = {
        {"big.jpg", 160, 120, 0, 1, 1, 157, 118},  // 1/8 scale (500 x 375), then fitted to 158 x 118
        {"big.jpg", 160, 120, 7, 5, 3, 146, 110},  // margin 10; the shadow shifts the picture up-left
        {"small.jpg", 160, 120, 0, 30, 20, 100, 80}, // smaller than the box: 1:1, centred
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " flags " + std::to_string(c.flags));
        const Drawn d = Thumb(k.p, *dir / c.file, c.boxW, c.boxH, c.flags);
        ASSERT_EQ(d.result, 1);
        EXPECT_EQ(d.width, c.file[0] == 'b' ? 4000 : 100);
        EXPECT_EQ(d.height, c.file[0] == 'b' ? 3000 : 80);
        int x0, y0, n, m;
        d.Picture(&x0, &y0, &n, &m);
        EXPECT_EQ(std::vector<int>({x0, y0, n, m}), std::vector<int>({c.x0, c.y0, c.n, c.m}));
        EXPECT_TRUE(d.Is(0, 0, kBgB, kBgG, kBgR));
        EXPECT_TRUE(d.Is(c.boxW - 1, c.boxH - 1, kBgB, kBgG, kBgR));
    }
}

TEST_F(Thumbnail, FramesAndShadow)
{
    const Drawn d = Thumb(k.p, *dir / "big.jpg", 160, 120, 7);
    ASSERT_EQ(d.result, 1);
    const int x0 = 5, y0 = 3, n = 146, m = 110;
    EXPECT_TRUE(d.Is(x0 - 1, y0 - 1, 255, 255, 255));
    EXPECT_TRUE(d.Is(x0 + n, y0 + m, 255, 255, 255));
    EXPECT_TRUE(d.Is(x0 - 2, y0 + 10, 165, 165, 165));
    EXPECT_TRUE(d.Is(x0 + n + 1, y0 + m + 1, 165, 165, 165));
    // Shadow: four steps right of and below the outer frame, darkest first.
    const int right = x0 + n + 1, bottom = y0 + m + 1;
    const int shade[4] = {127, 159, 191, 223};
    for (int s = 0; s < 4; ++s) {
        SCOPED_TRACE(s);
        const int b = kBgB * shade[s] / 256, g = kBgG * shade[s] / 256, r = kBgR * shade[s] / 256;
        EXPECT_TRUE(d.Is(right + 1 + s, y0 + 20, b, g, r));
        EXPECT_TRUE(d.Is(x0 + 20, bottom + 1 + s, b, g, r));
    }
    EXPECT_TRUE(d.Is(right + 1, y0 - 2, kBgB, kBgG, kBgR)); // the shadow starts one row down
}

TEST_F(Thumbnail, FailuresLeaveNoPicture)
{
    // Too small for the margin: nothing drawn, the file is not even opened.
    Drawn d = Thumb(k.p, *dir / "big.jpg", 10, 10, 7);
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.box, std::vector<uint8_t>(300, 0xAB));
    d = Thumb(k.p, *dir / "missing.jpg", 40, 40, 0);
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.width, 0);
    // A file cut in its header fails after painting the background.
    const std::vector<uint8_t> whole = ReadFile(*dir / "small.jpg");
    WriteFile(*dir / "cut.jpg", std::vector<uint8_t>(whole.begin(), whole.begin() + 40));
    d = Thumb(k.p, *dir / "cut.jpg", 40, 40, 0);
    EXPECT_EQ(d.result, 0);
    EXPECT_TRUE(d.Is(20, 20, kBgB, kBgG, kBgR));
}

TEST_F(Thumbnail, BottomUpBoxIsUpright)
{
    const Drawn down = Thumb(k.p, *dir / "colour.jpg", 120, 90, 3);
    const Drawn up = Thumb(k.p, *dir / "colour.jpg", 120, 90, 3, true);
    ASSERT_EQ(down.result, 1);
    ASSERT_EQ(up.result, 1);
    EXPECT_EQ(down.box, up.box);
}

TEST_F(Thumbnail, PixelsFollowTheDecodedPicture)
{
    // 1:1 (no scaling): compare with an accurate decode; the fast DCT differs by a few levels.
    const std::vector<uint8_t> jpeg = ReadFile(*dir / "colour.jpg");
    const Pixels ref = Decode(jpeg);
    const Drawn d = Thumb(k.p, *dir / "colour.jpg", 310, 210, 0);
    ASSERT_EQ(d.result, 1);
    int worst = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(d.at(5 + x, 5 + y)[2 - c] - ref.row(y)[x * 3 + c]));
    EXPECT_LE(worst, 8);

    // CMYK: blue = Y x K / 255, green = M x K / 255, red = C x K / 255 of the stored values.
    Pixels cmyk;
    cmyk.width = 32, cmyk.height = 32, cmyk.channels = 4;
    cmyk.data.assign(32 * 32 * 4, 0);
    for (size_t i = 0; i < cmyk.data.size(); i += 4)
        cmyk.data[i] = 250, cmyk.data[i + 1] = 20, cmyk.data[i + 2] = 128, cmyk.data[i + 3] = 200;
    EncodeParams ep;
    ep.inColorSpace = JCS_CMYK;
    ep.quality = 95;
    WriteFile(*dir / "cmyk.jpg", Encode(cmyk, ep));
    const Drawn c = Thumb(k.p, *dir / "cmyk.jpg", 40, 40, 0);
    ASSERT_EQ(c.result, 1);
    const uint8_t* p = c.at(20, 20);
    EXPECT_NEAR(p[0], 128 * 200 / 255, 3);
    EXPECT_NEAR(p[1], 20 * 200 / 255, 3);
    EXPECT_NEAR(p[2], 250 * 200 / 255, 3);
}

TEST_F(Thumbnail, TwoThreadsOnOneObjectDrawTheSame)
{
    const Drawn alone = Thumb(k.p, *dir / "colour.jpg", 96, 72, 7);
    ASSERT_EQ(alone.result, 1);
    // Meanwhile the object itself is loaded and used on this thread.
    std::vector<Drawn> results(2);
    std::thread a([&] { for (int i = 0; i < 5; ++i) results[0] = Thumb(k.p, *dir / "colour.jpg", 96, 72, 7); });
    std::thread b([&] { for (int i = 0; i < 5; ++i) results[1] = Thumb(k.p, *dir / "colour.jpg", 96, 72, 7); });
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ktest::LoadPath(k.p, *dir / "small.jpg", 0), 1);
    a.join();
    b.join();
    EXPECT_EQ(results[0].box, alone.box);
    EXPECT_EQ(results[1].box, alone.box);
}
