// The picture control over GIFs written by the tests: frame pacing read from
// the timer, frames stepped by hand, disposal and placement checked on the
// offscreen picture; still pictures; the about box's own animation.
#include "PictureEx.h"
#include "TestGif.h"

#include <QBuffer>
#include <QImage>

#include <set>

#include <gtest/gtest.h>

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kWhite = 0xFFFFFFFF;
const std::vector<uint32_t> kPalette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

bool Load(CPictureEx& picture, const std::vector<uint8_t>& data)
{
    return picture.Load(data.data(), data.size());
}

QRgb At(const CPictureEx& picture, int x, int y)
{
    return picture.Offscreen().pixel(x, y);
}

} // namespace

TEST(PictureExTest, FramesWaitTheirDelays)
{
    const struct {
        std::vector<int> delays;
        std::vector<int> intervals; // after each frame, then after the wrap
    } cases[] = {
        {{0, 1, 4, 5, 50, 65535, -1}, {100, 100, 100, 50, 500, 10000, 0, 100}},
        // No control extension anywhere: the wrap pauses instead of spinning.
        {{-1, -1, -1}, {0, 0, 100, 0}},
        {{-1, 20}, {0, 200, 0}},
    };
    for (const auto& c : cases) {
        std::vector<testgif::Frame> frames;
        for (int delay : c.delays)
            frames.push_back(testgif::Solid(0, 0, 4, 4, uint8_t(frames.size() % 4), delay));
        CPictureEx picture;
        picture.resize(4, 4);
        ASSERT_TRUE(Load(picture, testgif::Write(4, 4, kPalette, 0, frames)));
        ASSERT_EQ(picture.Frames().size(), c.delays.size());
        picture.Display();
        std::vector<int> intervals;
        for (size_t i = 0; i < c.intervals.size(); ++i) {
            EXPECT_TRUE(picture.IsPlaying());
            intervals.push_back(picture.AnimationTimer().interval());
            picture.StepAnimation();
        }
        EXPECT_EQ(intervals, c.intervals);
        picture.StopAnimation();
        EXPECT_FALSE(picture.IsPlaying());
    }
}

TEST(PictureExTest, DisposalPlacementAndTransparency)
{
    std::vector<testgif::Frame> frames = {
        testgif::Solid(0, 0, 40, 30, 1, 10, 1),  // green everywhere
        testgif::Solid(10, 20, 10, 8, 2, 10, 2), // blue, then the background
        testgif::Solid(5, 5, 6, 4, 3, 10, 3),    // white, then what was under it
        testgif::Solid(35, 25, 10, 10, 2, 10, 3), // reaches outside the screen
        testgif::Solid(0, 0, 1, 1, 1, 10, 1),
    };
    frames[2].transparent = 0;
    frames[2].pixels[0] = 0; // (5, 5) stays as it was
    CPictureEx picture;
    picture.resize(40, 30);
    ASSERT_TRUE(Load(picture, testgif::Write(40, 30, kPalette, 0, frames)));
    EXPECT_EQ(picture.GetSize(), QSize(40, 30));
    EXPECT_EQ(picture.BackgroundColor().rgb(), kRed);
    picture.Display();
    EXPECT_EQ(At(picture, 0, 0), kGreen);
    EXPECT_EQ(At(picture, 39, 29), kGreen);

    picture.StepAnimation(); // frame 1 lands at (10, 20) and nowhere else
    EXPECT_EQ(At(picture, 10, 20), kBlue);
    EXPECT_EQ(At(picture, 19, 27), kBlue);
    EXPECT_EQ(At(picture, 9, 20), kGreen);
    EXPECT_EQ(At(picture, 10, 19), kGreen);
    EXPECT_EQ(At(picture, 20, 27), kGreen);
    EXPECT_EQ(At(picture, 0, 0), kGreen);

    picture.StepAnimation(); // disposal 2: the background; frame 2 over green
    EXPECT_EQ(At(picture, 10, 20), kRed);
    EXPECT_EQ(At(picture, 19, 27), kRed);
    EXPECT_EQ(At(picture, 5, 5), kGreen);
    EXPECT_EQ(At(picture, 6, 5), kWhite);
    EXPECT_EQ(At(picture, 10, 8), kWhite);

    picture.StepAnimation(); // disposal 3 restores; frame 3 is clipped
    EXPECT_EQ(At(picture, 6, 5), kGreen);
    EXPECT_EQ(At(picture, 10, 8), kGreen);
    EXPECT_EQ(At(picture, 10, 20), kRed);
    EXPECT_EQ(At(picture, 39, 29), kBlue);

    picture.StepAnimation(); // the clipped save comes back
    EXPECT_EQ(At(picture, 39, 29), kGreen);
    EXPECT_EQ(At(picture, 35, 25), kGreen);

    picture.StepAnimation(); // the wrap starts from the background
    EXPECT_EQ(picture.CurrentFrame(), 0);
    EXPECT_EQ(At(picture, 10, 20), kGreen);
}

TEST(PictureExTest, StillPicturesAndRefusedData)
{
    CPictureEx picture;
    picture.resize(50, 50);

    // One frame: a still picture, no timer.
    ASSERT_TRUE(Load(picture, testgif::Write(8, 6, kPalette, 9, {testgif::Solid(2, 1, 3, 3, 2, 10)})));
    EXPECT_TRUE(picture.Frames().empty());
    EXPECT_EQ(picture.GetSize(), QSize(8, 6));
    EXPECT_EQ(picture.BackgroundColor(), picture.palette().color(QPalette::Button)); // index 9 is past the table
    picture.Display();
    EXPECT_FALSE(picture.IsPlaying());
    EXPECT_EQ(At(picture, 2, 1), kBlue);
    EXPECT_EQ(At(picture, 4, 3), kBlue);

    // Other data: a still picture at its pixel size.
    QImage png(7, 5, QImage::Format_RGB32);
    png.fill(kWhite);
    png.setPixel(3, 2, kRed);
    png.setDotsPerMeterX(20000);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(png.save(&buffer, "PNG"));
    ASSERT_TRUE(picture.Load(bytes.constData(), size_t(bytes.size())));
    EXPECT_FALSE(picture.IsGif());
    EXPECT_EQ(picture.GetSize(), QSize(7, 5));
    picture.Display();
    EXPECT_FALSE(picture.IsPlaying());
    EXPECT_EQ(At(picture, 3, 2), kRed);

    // Data starting with "GIF" is a GIF or nothing.
    const char garbage[] = "GIF#not a picture at all";
    EXPECT_FALSE(picture.Load(garbage, sizeof garbage - 1));
    EXPECT_TRUE(picture.Offscreen().isNull());
    EXPECT_EQ(picture.GetSize(), QSize());
    EXPECT_FALSE(picture.Load(nullptr, 0));
    EXPECT_FALSE(picture.LoadFromResource(QStringLiteral("187"), QStringLiteral("GIF")));
}

// The about box's picture plays several frames with mixed delays and at
// least one disposal; where the texts lie it never changes.
TEST(PictureExTest, AboutAnimationKeepsTheTextAreaCalm)
{
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromResource(QStringLiteral("188"), QStringLiteral("GIF")));
    picture.resize(picture.GetSize());
    EXPECT_EQ(picture.GetSize(), QSize(500, 260));
    ASSERT_GE(picture.Frames().size(), 4u);
    std::set<int> delays;
    bool disposes = false;
    for (const auto& f : picture.Frames()) {
        delays.insert(f.delay);
        disposes = disposes || f.disposal == 2 || f.disposal == 3;
    }
    EXPECT_GE(delays.size(), 3u);
    EXPECT_TRUE(disposes);

    picture.Display();
    const QRect calm(230, 100, 250, 120);
    const QImage first = picture.Offscreen().copy(calm);
    const QImage start = picture.Offscreen();
    for (size_t i = 0; i < picture.Frames().size(); ++i) {
        picture.StepAnimation();
        ASSERT_EQ(picture.Offscreen().copy(calm), first) << i;
    }
    EXPECT_EQ(picture.CurrentFrame(), 0);
    EXPECT_EQ(picture.Offscreen(), start); // a whole cycle leaves no trace
}
