// The GIF block walk over whole, cut and mutated files. Every input is an
// exact-size heap copy, so a read past the data shows under the sanitizers.
#include "TestGif.h"
#include "platform/GifFile.h"

#include <random>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> ThreeFrames()
{
    std::vector<testgif::Frame> frames = {
        testgif::Solid(0, 0, 40, 30, 1, 10, 1),
        testgif::Solid(10, 20, 10, 8, 2, 50, 2),
        testgif::Solid(5, 5, 6, 4, 3),
    };
    frames[1].transparent = 0;
    std::vector<uint8_t> gif = testgif::Write(40, 30, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, 0, frames);
    // Application and comment extensions before the first frame are walked over.
    const uint8_t extensions[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                                  0x03, 0x01, 0x00, 0x00, 0x00, 0x21, 0xFE, 0x03, 'a', 'b', 'c', 0x00};
    gif.insert(gif.begin() + 13 + 12, std::begin(extensions), std::end(extensions));
    return gif;
}

void CheckInside(const std::vector<uint8_t>& data, const GifLayout& layout)
{
    for (const GifFrameBlocks& f : layout.frames) {
        ASSERT_LE(f.start, f.descriptor);
        ASSERT_LT(f.descriptor, f.end);
        ASSERT_LE(f.end, data.size());
        const std::vector<uint8_t> copy = MakeStandaloneGif(data.data(), layout, f);
        ASSERT_EQ(copy.size(), layout.headerBytes + (f.end - f.start) + 1);
    }
}

} // namespace

TEST(GifWalkTest, FramesWithTheirControlValues)
{
    const std::vector<uint8_t> gif = ThreeFrames();
    GifLayout layout;
    ASSERT_TRUE(WalkGif(gif.data(), gif.size(), &layout));
    EXPECT_EQ(layout.width, 40);
    EXPECT_EQ(layout.height, 30);
    EXPECT_EQ(layout.globalTableBytes, 12u);
    ASSERT_EQ(layout.frames.size(), 3u);
    const int expected[3][6] = {{0, 0, 40, 30, 10, 1}, {10, 20, 10, 8, 50, 2}, {5, 5, 6, 4, -1, 0}};
    for (size_t i = 0; i < 3; ++i) {
        const GifFrameBlocks& f = layout.frames[i];
        EXPECT_EQ((std::vector<int>{f.left, f.top, f.width, f.height, f.delay, f.disposal}),
                  std::vector<int>(expected[i], expected[i] + 6)) << i;
    }
    EXPECT_LT(layout.frames[1].start, layout.frames[1].descriptor); // from its control extension
    EXPECT_EQ(layout.frames[2].start, layout.frames[2].descriptor);

    // The standalone copy is the frame alone: its size as the screen, at 0,0.
    const std::vector<uint8_t> copy = MakeStandaloneGif(gif.data(), layout, layout.frames[1]);
    GifLayout alone;
    ASSERT_TRUE(WalkGif(copy.data(), copy.size(), &alone));
    EXPECT_EQ(alone.width, 10);
    EXPECT_EQ(alone.height, 8);
    ASSERT_EQ(alone.frames.size(), 1u);
    EXPECT_EQ(alone.frames[0].left, 0);
    EXPECT_EQ(alone.frames[0].top, 0);
    EXPECT_EQ(alone.frames[0].delay, 50);
    EXPECT_EQ(copy.back(), 0x3B);
}

TEST(GifWalkTest, BadHeadersGiveFalse)
{
    std::vector<uint8_t> gif = ThreeFrames();
    const struct {
        const char* name;
        size_t at;
        std::vector<uint8_t> bytes;
        bool ok;
    } cases[] = {
        {"zero width", 6, {0, 0}, false},
        {"zero height", 8, {0, 0}, false},
        {"4097 high", 8, {0x01, 0x10}, false},
        {"4096 wide", 6, {0x00, 0x10}, true},
        {"not GIF", 0, {'G', 'I', 'X'}, false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> data = gif;
        std::copy(c.bytes.begin(), c.bytes.end(), data.begin() + long(c.at));
        GifLayout layout;
        EXPECT_EQ(WalkGif(data.data(), data.size(), &layout), c.ok) << c.name;
    }
    const std::vector<uint8_t> garbage = {'G', 'I', 'F', 'x', '#', 0x01};
    GifLayout layout;
    EXPECT_FALSE(WalkGif(garbage.data(), garbage.size(), &layout));
    // The global table claims more than there is.
    const std::vector<uint8_t> cutTable(gif.begin(), gif.begin() + 20);
    EXPECT_FALSE(WalkGif(cutTable.data(), cutTable.size(), &layout));
}

// A cut keeps exactly the frames that end before it.
TEST(GifWalkTest, EveryTruncationKeepsTheCompleteFrames)
{
    const std::vector<uint8_t> gif = ThreeFrames();
    GifLayout whole;
    ASSERT_TRUE(WalkGif(gif.data(), gif.size(), &whole));
    for (size_t n = 0; n < gif.size(); ++n) {
        const std::vector<uint8_t> cut(gif.begin(), gif.begin() + long(n));
        GifLayout layout;
        const bool ok = WalkGif(cut.data(), cut.size(), &layout);
        ASSERT_EQ(ok, n >= whole.headerBytes) << n;
        size_t complete = 0;
        for (const GifFrameBlocks& f : whole.frames)
            complete += f.end <= n ? 1 : 0;
        ASSERT_EQ(layout.frames.size(), ok ? complete : 0) << n;
        CheckInside(cut, layout);
    }
}

TEST(GifWalkTest, MutatedFilesStayInsideTheirData)
{
    const std::vector<uint8_t> gif = ThreeFrames();
    std::mt19937 random(105);
    for (int i = 0; i < 4000; ++i) {
        std::vector<uint8_t> data = gif;
        for (int k = int(random() % 4); k >= 0; --k)
            data[random() % data.size()] = uint8_t(random());
        if (random() % 4 == 0)
            data.resize(random() % data.size());
        GifLayout layout;
        if (WalkGif(data.data(), data.size(), &layout)) {
            ASSERT_LE(layout.headerBytes, data.size());
            CheckInside(data, layout);
        }
    }
}
