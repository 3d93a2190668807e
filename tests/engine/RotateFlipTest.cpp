// Turns and flips through the undo manager and the real library: lossless
// results against jpegtran, the padding fill, and the route on pixels.
#include "CoefActionTest.h"

#include "ActionColor.h"
#include "ActionRotateFlip.h"
#include "ColorRef.h"
#include "TextUtil.h"

#include <cstdlib>

using namespace etest;

namespace {

RotateParams Params(int rotate, int flip, int lossless = 1, int partialMode = 0)
{
    RotateParams p;
    p.Rotate = rotate;
    p.Flip = flip;
    p.Lossless = lossless;
    p.PartialMode = partialMode;
    return p;
}

class RotateFlipTest : public CoefActionTest {
protected:
    // Saves the image losslessly and decodes the file as djpeg would.
    testjpeg::Pixels SavedPixels(const std::string& name)
    {
        const auto out = m_files / name;
        EXPECT_EQ(m_image->Save(Q(out)), 1);
        return testjpeg::Decode(testjpeg::ReadFile(out));
    }
    // jpegtran's transform of `in`, decoded.
    testjpeg::Pixels JpegtranPixels(const std::filesystem::path& in, const std::string& args)
    {
        const auto out = m_files / "jpegtran.jpg";
        EXPECT_EQ(testjpeg::Run("jpegtran -copy all " + args + " -outfile '" + out.string() + "' '" + in.string() + "'"), 0);
        return testjpeg::Decode(testjpeg::ReadFile(out));
    }
    static int Orientation(const std::filesystem::path& file)
    {
        std::string out;
        testjpeg::Run("exiftool -n -s3 -Orientation '" + file.string() + "'", &out);
        return std::atoi(out.c_str());
    }
};

bool SamePixels(const testjpeg::Pixels& a, const testjpeg::Pixels& b)
{
    return a.width > 0 && a.width == b.width && a.height == b.height && a.channels == b.channels && a.data == b.data;
}

// Every sampling with partial edge MCUs; each lossless transform cuts them
// as jpegtran's -trim does.
TEST_F(RotateFlipTest, LosslessEqualsJpegtranTrim)
{
    if (!testjpeg::HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran missing";
    const std::vector<std::pair<const char*, std::vector<std::pair<int, int>>>> samplings = {
        {"444", {{1, 1}, {1, 1}, {1, 1}}}, {"420", {{2, 2}, {1, 1}, {1, 1}}},
        {"422", {{2, 1}, {1, 1}, {1, 1}}}, {"440", {{1, 2}, {1, 1}, {1, 1}}}};
    const struct {
        int rotate, flip;
        const char* jpegtran;
    } transforms[] = {{1, 0, "-rotate 90"}, {2, 0, "-rotate 180"}, {3, 0, "-rotate 270"},
                      {0, 1, "-flip horizontal"}, {0, 2, "-flip vertical"}};
    for (const auto& [name, sampling] : samplings) {
        const auto file = WriteJpeg(m_files / (std::string(name) + ".jpg"), 100, 75, sampling);
        for (const auto& t : transforms) {
            SCOPED_TRACE(std::string(name) + " " + t.jpegtran);
            OpenFile(file);
            const std::vector<short> original = Coefficients(*m_image);
            ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Params(t.rotate, t.flip))));
            EXPECT_TRUE(SamePixels(SavedPixels("ours.jpg"), JpegtranPixels(file, std::string(t.jpegtran) + " -trim")));
            um->Undo();
            EXPECT_EQ(Coefficients(*m_image), original);
            EXPECT_EQ(m_image->GetWidth(), 100);
            EXPECT_EQ(m_image->GetHeight(), 75);
        }
    }
}

// "Automatic" on camera files: the turn the orientation asks for, then
// orientation 1; undo brings back coefficients and orientation, both edits
// of orientation 5.
TEST_F(RotateFlipTest, AutomaticFollowsTheOrientation)
{
    if (!testjpeg::HaveTool("jpegtran") || !testjpeg::HaveTool("exiftool"))
        GTEST_SKIP() << "jpegtran or exiftool missing";
    const struct {
        const char* file;
        int orientation;
        const char* jpegtran;
        int edits;
    } cases[] = {{"gox_orient3.jpg", 3, "-rotate 180", 2},
                 {"gox_orient5.jpg", 5, "-transpose", 2},
                 {"gox_orient6.jpg", 6, "-rotate 90", 1},
                 {"gox_orient8.jpg", 8, "-rotate 270", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto file = testjpeg::CorpusFile(c.file);
        OpenFile(file);
        IKestrel* lib = m_image->GetLibraryObject();
        ASSERT_EQ(lib->GetOrientation() & 0xFFFF, c.orientation);
        const std::vector<short> original = Coefficients(*m_image);
        RotateParams p;
        p.Automatic = 1;
        auto* action = new CActionRotateFlip(p);
        ASSERT_TRUE(um->AddAction(action));
        EXPECT_EQ(action->GetLibraryEditCount(), c.edits);
        EXPECT_TRUE(SamePixels(SavedPixels("auto.jpg"), JpegtranPixels(file, std::string(c.jpegtran) + " -trim")));
        EXPECT_EQ(Orientation(m_files / "auto.jpg"), 1);
        um->Undo();
        EXPECT_EQ(Coefficients(*m_image), original);
        EXPECT_EQ(lib->GetOrientation() & 0xFFFF, c.orientation);
    }
}

// Keeping partial MCUs loses nothing: a turn there and back gives the same
// coefficients, and undo is exact.
TEST_F(RotateFlipTest, PartialModeOneRoundTrips)
{
    Open(100, 75);
    const std::vector<short> original = Coefficients(*m_image);
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Params(1, 0, 1, 1))));
    EXPECT_EQ(m_image->GetWidth(), 80); // the partial MCU row kept whole
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Params(3, 0, 1, 1))));
    EXPECT_EQ(Coefficients(*m_image), original);
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Params(0, 1, 1, 1))));
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Params(0, 1, 1, 1))));
    EXPECT_EQ(Coefficients(*m_image), original);
    for (int i = 0; i < 4; ++i)
        um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_EQ(m_image->GetHeight(), 75);
}

// Padding: the columns the turn adds are painted with the COLORREF colour
// (red here) and only the left MCU column is encoded again.
TEST_F(RotateFlipTest, PaddingIsPaintedWithTheColour)
{
    Open(100, 75);
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Params(1, 0, 1, 1))));
    const std::vector<short> preserved = Coefficients(*m_image);
    um->Undo();
    const std::vector<short> original = Coefficients(*m_image);

    RotateParams p = Params(1, 0, 1, 2);
    p.PaddingColor = QRgbFromColorRef(0x0000FF);
    auto* action = new CActionRotateFlip(p);
    ASSERT_TRUE(um->AddAction(action));
    EXPECT_EQ(action->GetLibraryEditCount(), 2);
    ASSERT_EQ(m_image->GetWidth(), 80);
    const Render r = Rendered();
    for (int y = 0; y < r.height; y += 7)
        for (int x = 0; x < 5; ++x) {
            const uint8_t* px = r.At(x, y);
            EXPECT_GT(px[2], 140) << x << "," << y; // red (column 4 shares its chroma with the picture)
            EXPECT_LT(px[1], 60) << x << "," << y;
            EXPECT_LT(px[0], 60) << x << "," << y;
        }
    // 4:2:0 after the turn: 80 x 100 is 5 x 7 MCUs; luma 10 x 14 blocks,
    // chroma 5 x 7 each. Blocks right of MCU column 0 are untouched.
    const std::vector<short> padded = Coefficients(*m_image);
    ASSERT_EQ(padded.size(), preserved.size());
    const struct {
        size_t offset;
        int cols, rows, h;
    } grids[] = {{0, 10, 14, 2}, {140 * 64, 5, 7, 1}, {175 * 64, 5, 7, 1}};
    int differing = 0;
    for (const auto& g : grids)
        for (int row = 0; row < g.rows; ++row)
            for (int col = 0; col < g.cols; ++col) {
                const size_t at = g.offset + (static_cast<size_t>(row) * g.cols + col) * 64;
                const bool same = std::equal(padded.begin() + at, padded.begin() + at + 64, preserved.begin() + at);
                if (col / g.h >= 1)
                    EXPECT_TRUE(same) << "block " << row << "," << col;
                else
                    differing += !same;
            }
    EXPECT_GT(differing, 0);
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
}

// Without Lossless a partial edge goes by pixels: the picture turns, the
// view hears one exchange, every MCU is encoded from the turned bitmap, and
// undo is exact.
TEST_F(RotateFlipTest, TurnOnPixels)
{
    const std::vector<std::pair<int, int>> samplings[] = {{{1, 1}, {1, 1}, {1, 1}}, {{2, 1}, {1, 1}, {1, 1}}};
    for (const auto& sampling : samplings) {
        SCOPED_TRACE(sampling[0].first);
        Open(100, 75, sampling);
        const std::vector<short> original = Coefficients(*m_image);
        const Render before = Rendered();
        const int mw = 8 * sampling[0].first, mh = 8 * sampling[0].second;
        // While the view hears it, the new bitmap is in place: turned size
        // rounded to the unturned MCU, padding zero.
        bool padZero = true;
        int dibW = 0, dibH = 0;
        view.onSwap = [&] {
            const CDib24& dib = m_image->GetDib();
            dibW = dib.Width();
            dibH = dib.Height();
            for (int y = 0; y < dib.Height(); ++y)
                for (int x = 0; x < dib.Width(); ++x)
                    if (x >= 75 || y >= 100)
                        padZero = padZero && !dib.Row(y)[x * 3] && !dib.Row(y)[x * 3 + 1] && !dib.Row(y)[x * 3 + 2];
        };
        view.swaps = 0;
        auto* action = new CActionRotateFlip(Params(1, 0, 0));
        ASSERT_TRUE(um->AddAction(action));
        view.onSwap = nullptr;
        EXPECT_EQ(view.swaps, 1);
        EXPECT_EQ(dibW, RoundUpToMultiple(75, mw));
        EXPECT_EQ(dibH, RoundUpToMultiple(100, mh));
        EXPECT_TRUE(padZero);
        EXPECT_EQ(action->GetLibraryEditCount(), 2);
        ASSERT_EQ(m_image->GetWidth(), 75);
        ASSERT_EQ(m_image->GetHeight(), 100);

        const Render after = Rendered();
        long long sum = 0;
        int worst = 0;
        for (int y = 0; y < 75; ++y)
            for (int x = 0; x < 100; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int d = std::abs(before.At(x, y)[c] - after.At(74 - y, x)[c]);
                    sum += d;
                    worst = std::max(worst, d);
                }
        EXPECT_LT(static_cast<double>(sum) / (75 * 100 * 3), 3.0);
        EXPECT_LT(worst, 96);
        um->Undo();
        EXPECT_EQ(Coefficients(*m_image), original);
        EXPECT_EQ(m_image->GetWidth(), 100);
    }
}

// 4:1:1 is beyond the library's pixel encoder: a turn on pixels leaves the
// image as it was and an empty step, whose undo keeps the step before.
TEST_F(RotateFlipTest, PixelRouteOnAnImageWithoutReencodeChangesNothing)
{
    const auto file = testjpeg::CorpusFile("syn_411_323x211.jpg");
    OpenFile(file);
    ASSERT_TRUE(um->AddAction(new CActionColor(20, 0, 0)));
    const std::vector<short> brighter = Coefficients(*m_image);
    const int width = m_image->GetWidth();
    view.swaps = 0;
    for (const RotateParams& p : {Params(1, 0, 0), Params(3, 0, 0), Params(2, 0, 0), Params(0, 1, 0), Params(0, 2, 0), Params(1, 0, 1, 2)}) {
        SCOPED_TRACE(p.Rotate * 10 + p.Flip);
        auto* action = new CActionRotateFlip(p);
        ASSERT_TRUE(um->AddAction(action));
        EXPECT_EQ(action->GetLibraryEditCount(), 0);
        EXPECT_EQ(Coefficients(*m_image), brighter);
        EXPECT_EQ(m_image->GetWidth(), width);
        EXPECT_EQ(m_image->GetHeight(), 211);
        um->Undo();
        EXPECT_EQ(Coefficients(*m_image), brighter);
    }
    EXPECT_EQ(view.swaps % 2, 0);
}

// A half turn is both mirrors or nothing: when the second is refused the
// first is taken back.
TEST_F(RotateFlipTest, HalfTurnIsWholeOrNothing)
{
    Open(40, 8); // the vertical mirror cutting the partial MCU row leaves nothing
    const std::vector<short> original = Coefficients(*m_image);
    auto* action = new CActionRotateFlip(Params(2, 0));
    ASSERT_TRUE(um->AddAction(action));
    EXPECT_EQ(action->GetLibraryEditCount(), 0);
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_EQ(m_image->GetWidth(), 40);
}

// An APP1 EXIF block whose IFD0 holds only the orientation.
std::vector<uint8_t> OrientationBlock(int orientation)
{
    return {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
            uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0};
}

// A photo of orientation 6 with partial edge MCUs, Lossless off: every turn
// and flip goes by pixels. The saved file is upright with orientation 1, a
// second turn to the flag changes nothing, and undo gives back the
// coefficients and orientation 6.
TEST_F(RotateFlipTest, TurnsOnPixelsResetTheOrientation)
{
    if (!testjpeg::HaveTool("exiftool"))
        GTEST_SKIP() << "exiftool missing";
    testjpeg::EncodeParams params = testjpeg::Sampled(90, {{2, 2}, {1, 1}, {1, 1}});
    params.writeJfif = false;
    params.markers.push_back({JPEG_APP0 + 1, OrientationBlock(6)});
    const auto file = m_files / "camera.jpg";
    ASSERT_TRUE(testjpeg::WriteFile(file, testjpeg::Encode(testjpeg::MakePattern(100, 75), params)));
    const testjpeg::Pixels stored = testjpeg::Decode(testjpeg::ReadFile(file));
    RotateParams toFlag = Params(0, 0, 0);
    toFlag.Automatic = 1;
    for (const RotateParams& p : {toFlag, Params(3, 0, 0), Params(2, 0, 0), Params(0, 1, 0), Params(0, 2, 0)}) {
        SCOPED_TRACE(p.Automatic * 100 + p.Rotate * 10 + p.Flip);
        OpenFile(file);
        IKestrel* lib = m_image->GetLibraryObject();
        ASSERT_EQ(lib->GetOrientation() & 0xFFFF, 6);
        const std::vector<short> original = Coefficients(*m_image);
        auto* action = new CActionRotateFlip(p);
        ASSERT_TRUE(um->AddAction(action));
        ASSERT_GT(action->GetLibraryEditCount(), 0);
        const auto out = m_files / "saved.jpg";
        ASSERT_EQ(m_image->Save(Q(out)), 1);
        EXPECT_EQ(Orientation(out), 1);
        EXPECT_EQ(lib->GetOrientation() & 0xFFFF, 1);
        if (p.Automatic) {
            // Upright: the picture turned clockwise.
            const testjpeg::Pixels saved = testjpeg::Decode(testjpeg::ReadFile(out));
            ASSERT_EQ(saved.width, 75);
            ASSERT_EQ(saved.height, 100);
            long long sum = 0;
            for (int y = 0; y < 75; ++y)
                for (int x = 0; x < 100; ++x)
                    for (int c = 0; c < 3; ++c)
                        sum += std::abs(stored.row(y)[x * 3 + c] - saved.row(x)[(74 - y) * 3 + c]);
            EXPECT_LT(static_cast<double>(sum) / (75 * 100 * 3), 8.0); // 75 when turned the wrong way
            auto* again = new CActionRotateFlip(p);
            ASSERT_TRUE(um->AddAction(again));
            EXPECT_EQ(again->GetLibraryEditCount(), 0);
            um->Undo();
        }
        um->Undo();
        EXPECT_EQ(Coefficients(*m_image), original);
        EXPECT_EQ(lib->GetOrientation() & 0xFFFF, 6);
        um->Redo();
        EXPECT_EQ(lib->GetOrientation() & 0xFFFF, 1);
    }
}

// An image that holds nothing: every turn and flip is an empty step.
TEST_F(RotateFlipTest, NothingLoadedIsAnEmptyStep)
{
    CKsImage image(RealLib());
    for (const RotateParams& p : {Params(1, 0, 0), Params(2, 0, 0), Params(0, 1, 0), Params(1, 0, 1, 2)}) {
        CActionRotateFlip action(p);
        action.Do(&image, 0, nullptr, nullptr);
        EXPECT_EQ(action.GetLibraryEditCount(), 0);
    }
    EXPECT_FALSE(image.IsLoaded());
}

TEST_F(RotateFlipTest, CloneStartsAfresh)
{
    Open(32, 32);
    auto* action = new CActionRotateFlip(Params(1, 0));
    ASSERT_TRUE(um->AddAction(action));
    std::unique_ptr<IAction> clone(action->Clone());
    EXPECT_EQ(clone->CanUndo(), 0);
    EXPECT_EQ(clone->Undo(), 0);
}

} // namespace
