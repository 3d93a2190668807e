// Red eye, paste and resize through the real library and the undo manager:
// which pixels and which blocks change, and that undo gives back the exact
// coefficients (and, for the red-eye preview, the exact bitmap).
#include "EngineTest.h"

#include "ActionPaste.h"
#include "ActionRedEye.h"
#include "ActionResize.h"
#include "ActionRotateFlip.h"

#include <QImage>

#include <climits>
#include <cmath>
#include <memory>
#include <set>
#include <tuple>

using namespace etest;
using testjpeg::TempDir;

namespace {

struct Rect {
    int left, top, right, bottom; // right and bottom exclusive
    bool Meets(int l, int t, int r, int b) const { return left < r && l < right && top < b && t < bottom; }
};

// Per MCU (row-major): whether any block of it differs between two files.
std::vector<bool> ChangedMcus(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int* mcusX)
{
    const testjpeg::Coefficients ca = testjpeg::ReadCoefficients(a), cb = testjpeg::ReadCoefficients(b);
    EXPECT_TRUE(ca.ok && cb.ok);
    const int mw = 8 * ca.maxH, mh = 8 * ca.maxV;
    *mcusX = (ca.width + mw - 1) / mw;
    const int mcusY = (ca.height + mh - 1) / mh;
    std::vector<bool> changed(static_cast<size_t>(*mcusX) * mcusY, false);
    for (size_t k = 0; k < ca.components.size(); ++k) {
        const auto& x = ca.components[k];
        const auto& y = cb.components[k];
        for (int r = 0; r < x.heightInBlocks; ++r)
            for (int c = 0; c < x.widthInBlocks; ++c)
                if (!std::equal(x.block(r, c), x.block(r, c) + 64, y.block(r, c)))
                    changed[static_cast<size_t>(r / x.v) * *mcusX + c / x.h] = true;
    }
    return changed;
}

class PixelActionTest : public ::testing::Test {
protected:
    void Open(const testjpeg::Pixels& px, std::vector<std::pair<int, int>> sampling = {{2, 2}, {1, 1}, {1, 1}})
    {
        testjpeg::WriteFile(m_files / "a.jpg", testjpeg::Encode(px, testjpeg::Sampled(90, std::move(sampling))));
        m_image = std::make_unique<CKsImage>(RealLib());
        ASSERT_EQ(m_image->Load(Q(m_files / "a.jpg"), 0), 1);
        um = m_image->GetUndoMan();
    }
    void Open(int width, int height, std::vector<std::pair<int, int>> sampling = {{2, 2}, {1, 1}, {1, 1}})
    {
        Open(testjpeg::MakePattern(width, height), std::move(sampling));
    }
    // The picture as the library saves it now (a lossless transcode).
    std::vector<uint8_t> Saved(const std::string& name)
    {
        EXPECT_EQ(m_image->Save(Q(m_files / name)), 1);
        return testjpeg::ReadFile(m_files / name);
    }
    std::vector<BYTE> DibBytes()
    {
        if (!m_image->HasDib()) {
            EXPECT_EQ(m_image->CreateDib(), 1);
        }
        const CDib24& d = m_image->GetDib();
        return std::vector<BYTE>(d.Bits(), d.Bits() + d.ByteSize());
    }

    ScopedTempFolder m_temp;
    TempDir m_files;
    std::unique_ptr<CKsImage> m_image;
    CUndoMan* um = nullptr;
};

// A textured picture with a red disc of radius 7 at (cx, cy).
testjpeg::Pixels RedDiscPhoto(int width, int height, int cx, int cy)
{
    testjpeg::Pixels px = testjpeg::MakePattern(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = px.row(y) + x * 3;
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= 49) {
                p[0] = 210;
                p[1] = 40;
                p[2] = 45;
            } else { // a skin-like surround
                p[0] = static_cast<uint8_t>(170 + p[0] / 8);
                p[1] = static_cast<uint8_t>(130 + p[1] / 8);
                p[2] = static_cast<uint8_t>(110 + p[2] / 8);
            }
        }
    return px;
}

RedEyeParams Eyes(int radius, int sensitivity, std::vector<QPoint> points, int darkening = 10)
{
    RedEyeParams p;
    p.RedEyeRadius = radius;
    p.RedEyeSensitivity = sensitivity;
    p.RedEyeDarkening = darkening;
    p.Points = std::move(points);
    return p;
}

TEST_F(PixelActionTest, RedEyeDarkensTheDiscAndOnlyItsMcus)
{
    const int cx = 40, cy = 37, r = 10;
    Open(RedDiscPhoto(96, 80, cx, cy));
    const std::vector<short> original = Coefficients(*m_image);
    const std::vector<uint8_t> before = Saved("before.jpg");
    const std::vector<BYTE> dib = DibBytes();
    const int stride = m_image->GetStride();

    ASSERT_TRUE(um->AddAction(new CActionRedEye(Eyes(r, 50, {{cx, cy}}))));
    ASSERT_TRUE(m_image->HasDib());
    const std::vector<BYTE> after = DibBytes();
    long long redBefore = 0, redAfter = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 96; ++x) {
            const size_t at = static_cast<size_t>(y) * stride + x * 3;
            const int dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy <= 25) {
                redBefore += dib[at + 2];
                redAfter += after[at + 2];
            }
            // Cells whose 3 x 3 neighbourhood holds no marked pixel keep their
            // bytes: everything outside the square, and its far corners.
            const bool outside = std::abs(dx) > r || std::abs(dy) > r;
            if (outside || dx * dx + dy * dy > (r + 2) * (r + 2)) {
                ASSERT_TRUE(std::equal(&dib[at], &dib[at] + 3, &after[at])) << x << "," << y;
            }
        }
    EXPECT_LT(redAfter, redBefore * 3 / 4);

    int mcusX = 0;
    const std::vector<bool> changed = ChangedMcus(before, Saved("after.jpg"), &mcusX);
    const Rect square{cx - r, cy - r, cx + r + 1, cy + r + 1};
    int touched = 0;
    for (size_t i = 0; i < changed.size(); ++i) {
        const int mx = static_cast<int>(i) % mcusX * 16, my = static_cast<int>(i) / mcusX * 16;
        if (changed[i]) {
            ++touched;
            EXPECT_TRUE(square.Meets(mx, my, mx + 16, my + 16)) << "MCU " << i;
        }
    }
    EXPECT_GT(touched, 0);

    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
}

TEST_F(PixelActionTest, RedEyeSensitivityAndPreviewRestoresExactly)
{
    const int cx = 30, cy = 30;
    Open(RedDiscPhoto(64, 64, cx, cy));
    const std::vector<BYTE> original = DibBytes();
    const std::vector<short> coefficients = Coefficients(*m_image);

    // The preview: recording on, no undo file; it stays in the bitmap.
    int lastChanged = -1;
    for (int sensitivity : {5, 30, 50, 70, 95}) {
        CActionRedEye preview(Eyes(9, sensitivity, {{cx, cy}}));
        preview.Do(m_image.get(), 1, nullptr, nullptr);
        ASSERT_TRUE(preview.CanUndo());
        const std::vector<BYTE> shown = DibBytes();
        int changedPixels = 0;
        for (size_t i = 0; i < shown.size(); i += 3)
            changedPixels += !std::equal(&shown[i], &shown[i] + 3, &original[i]);
        EXPECT_GE(changedPixels, lastChanged) << "sensitivity " << sensitivity;
        lastChanged = changedPixels;
        EXPECT_EQ(preview.Undo(), 1);
        ASSERT_EQ(DibBytes(), original);
    }
    EXPECT_GT(lastChanged, 0);

    // Preview, undo, a bigger radius and another point, undo: the bitmap is
    // the original byte for byte; the coefficients were never touched.
    CActionRedEye mode(Eyes(6, 50, {{cx, cy}}));
    mode.Do(m_image.get(), 1, nullptr, nullptr);
    EXPECT_NE(DibBytes(), original);
    mode.Undo();
    mode.SetParameters(Eyes(20, 50, {{cx, cy}, {cx + 8, cy + 2}}));
    mode.Do(m_image.get(), 1, nullptr, nullptr);
    EXPECT_NE(DibBytes(), original);
    mode.Undo();
    EXPECT_EQ(DibBytes(), original);
    EXPECT_EQ(Coefficients(*m_image), coefficients);
}

// Red eye at one point worked out step by step on a copy of the bitmap,
// for a square inside the picture: the B, G, R averages inside and outside
// the disc, the thresholds, the marks, and every cell pulled toward the
// darker grey by the marks around it.
void RedEyeByHand(std::vector<BYTE>& px, int stride, QPoint c, int r, int sensitivity, int k)
{
    auto at = [&](int x, int y) { return &px[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3]; };
    auto inside = [&](int x, int y) { return (x - c.x()) * (x - c.x()) + (y - c.y()) * (y - c.y()) <= r * r; };
    int sum[2][3] = {}, count[2] = {}; // [0] outside, [1] inside
    for (int y = c.y() - r; y <= c.y() + r; ++y)
        for (int x = c.x() - r; x <= c.x() + r; ++x) {
            ++count[inside(x, y)];
            for (int ch = 0; ch < 3; ++ch)
                sum[inside(x, y)][ch] += at(x, y)[ch];
        }
    int out[3], in[3];
    for (int ch = 0; ch < 3; ++ch) {
        out[ch] = sum[0][ch] / count[0];
        in[ch] = sum[1][ch] / count[1];
    }
    const int t = 50 - sensitivity;
    const int Rt = (in[2] + out[2]) / 2 + t * (in[2] - out[2]) / 50;
    const int Gt = (in[1] + out[1]) / 2 - t * (out[1] - in[1]) / 50;
    const int Bt = (in[0] + out[0]) / 2 - t * (out[0] - in[0]) / 50;
    const auto s = [](int v) { return v > 0 ? v * v : -v * v; };
    std::set<std::pair<int, int>> marked;
    for (int y = c.y() - r; y <= c.y() + r; ++y)
        for (int x = c.x() - r; x <= c.x() + r; ++x) {
            const BYTE* p = at(x, y);
            if (inside(x, y) && s(p[2] - Rt) + s(Gt - p[1]) + s(Bt - p[0]) > 0)
                marked.insert({x, y});
        }
    for (int y = c.y() - r; y <= c.y() + r; ++y)
        for (int x = c.x() - r; x <= c.x() + r; ++x) {
            int F = 0;
            for (int ny = std::max(y - 1, c.y() - r); ny <= std::min(y + 1, c.y() + r); ++ny)
                for (int nx = std::max(x - 1, c.x() - r); nx <= std::min(x + 1, c.x() + r); ++nx)
                    F += static_cast<int>(marked.count({nx, ny}));
            BYTE* p = at(x, y);
            const int B = p[0], G = p[1], R = p[2];
            const int v = ((k + 5) * (B + G) + (20 - k) * R) / (k + 30);
            p[2] = static_cast<BYTE>((v * F + (9 - F) * R) / 9);
            p[1] = static_cast<BYTE>(((v * F + (9 - F) * G) / 9 + G) / 2);
            p[0] = static_cast<BYTE>(((v * F + (9 - F) * B) / 9 + B) / 2);
        }
}

// Centred on the disc's edge, so that the blurred ring between red and skin
// is marked or not depending on the sensitivity.
TEST_F(PixelActionTest, RedEyeEqualsTheStepsWorkedByHand)
{
    const QPoint centre(36, 30);
    Open(RedDiscPhoto(72, 64, 30, 30));
    const std::vector<BYTE> original = DibBytes();
    for (const auto& [radius, sensitivity, darkening] : {std::tuple{6, 20, 10}, {6, 80, 10}, {9, 65, 3}, {4, 35, 18}}) {
        SCOPED_TRACE(testing::Message() << "radius " << radius << ", sensitivity " << sensitivity);
        CActionRedEye preview(Eyes(radius, sensitivity, {centre}, darkening));
        preview.Do(m_image.get(), 1, nullptr, nullptr);
        std::vector<BYTE> expected = original;
        RedEyeByHand(expected, m_image->GetStride(), centre, radius, sensitivity, darkening);
        EXPECT_NE(expected, original);
        EXPECT_EQ(DibBytes(), expected);
        preview.Undo();
    }
}

// Points on and past every edge, a huge radius and out-of-range values:
// clamped, clipped, and run clean under the address sanitizer.
TEST_F(PixelActionTest, RedEyePointsAtAndPastTheEdges)
{
    Open(RedDiscPhoto(40, 24, 0, 0));
    const std::vector<BYTE> original = DibBytes();
    const std::vector<short> coefficients = Coefficients(*m_image);
    const std::vector<QPoint> points = {{0, 0}, {39, 23}, {-30, 5}, {20, -60}, {45, 30}, {39, 0}, {1000000, -1000000}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}, {INT_MAX, 10}};

    CActionRedEye clamped(Eyes(1000000, 1000, points, -30));
    EXPECT_EQ(clamped.GetParams().RedEyeRadius, 50);
    EXPECT_EQ(clamped.GetParams().RedEyeSensitivity, 100);
    EXPECT_EQ(clamped.GetParams().RedEyeDarkening, 0);
    EXPECT_EQ(CActionRedEye(Eyes(0, 0, {}, 99)).GetParams().RedEyeRadius, 1);
    // Sensitivity 0 is taken: the red threshold at its highest (t = 50).
    EXPECT_EQ(CActionRedEye(Eyes(0, 0, {}, 99)).GetParams().RedEyeSensitivity, 0);
    EXPECT_EQ(CActionRedEye(Eyes(0, -5, {}, 99)).GetParams().RedEyeSensitivity, 0);
    EXPECT_EQ(CActionRedEye(Eyes(0, 0, {}, 99)).GetParams().RedEyeDarkening, 20);

    for (int radius : {0, 3, 50}) {
        CActionRedEye preview(Eyes(radius, 100, points));
        preview.Do(m_image.get(), 1, nullptr, nullptr);
        preview.Undo();
        EXPECT_EQ(DibBytes(), original) << radius;
    }
    // A point whose square lies wholly inside the disc has no outside set.
    CActionRedEye noOutside(Eyes(1, 50, {{100, 100}}));
    noOutside.Do(m_image.get(), 1, nullptr, nullptr);
    EXPECT_EQ(DibBytes(), original);

    ASSERT_TRUE(um->AddAction(new CActionRedEye(Eyes(50, 100, points))));
    EXPECT_NE(Coefficients(*m_image), coefficients);
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), coefficients);
}

// A run over files records nothing, yet the edit is real: re-encoded.
TEST_F(PixelActionTest, RedEyeWithoutRecordingIsReencoded)
{
    Open(RedDiscPhoto(48, 48, 20, 20));
    const std::vector<short> coefficients = Coefficients(*m_image);
    CActionRedEye batch(Eyes(9, 50, {{20, 20}}));
    batch.Do(m_image.get(), 0, nullptr, nullptr);
    EXPECT_EQ(batch.GetLibraryEditCount(), 1);
    EXPECT_NE(Coefficients(*m_image), coefficients);
    EXPECT_EQ(batch.CanUndo(), 0);
    EXPECT_EQ(batch.IsRegularAction(), 0);
    EXPECT_EQ(batch.IsBitmapEdit(), 1);
    EXPECT_EQ(batch.GetName(), QStringLiteral("Red Eye"));

    // The copy keeps parameters and points and starts undone.
    std::unique_ptr<IAction> copy(batch.Clone());
    const RedEyeParams& p = static_cast<CActionRedEye*>(copy.get())->GetParams();
    EXPECT_EQ(p.RedEyeRadius, 9);
    EXPECT_EQ(p.RedEyeSensitivity, 50);
    EXPECT_EQ(p.Points, std::vector<QPoint>{QPoint(20, 20)});
    EXPECT_EQ(copy->CanUndo(), 0);
    EXPECT_EQ(copy->IsRegularAction(), 0);
}

QImage SolidPicture(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixel(x, y, qRgb(20 + 8 * x % 200, 250 - 5 * y % 200, 90));
    return img;
}

struct PasteCase {
    const char* side;
    int x, y;
    QRect clipped;
};

TEST_F(PixelActionTest, PastePartlyOutsideEachSide)
{
    const PasteCase cases[] = {
        {"left", -10, 12, QRect(0, 12, 14, 20)},
        {"right", 50, 12, QRect(50, 12, 14, 20)},
        {"top", 20, -9, QRect(20, 0, 24, 11)},
        {"bottom", 20, 36, QRect(20, 36, 24, 12)},
    };
    const QImage source = SolidPicture(24, 20);
    for (const PasteCase& c : cases) {
        SCOPED_TRACE(c.side);
        Open(64, 48);
        const std::vector<short> original = Coefficients(*m_image);
        const std::vector<uint8_t> before = Saved("before.jpg");
        auto* paste = new CActionPaste(source, c.x, c.y, 24, 20);
        ASSERT_TRUE(um->AddAction(paste));
        EXPECT_EQ(paste->GetClippedRect(), c.clipped);
        EXPECT_EQ(paste->GetLibraryEditCount(), 1);
        EXPECT_FALSE(m_image->HasDib());

        int mcusX = 0;
        const std::vector<bool> changed = ChangedMcus(before, Saved("after.jpg"), &mcusX);
        const Rect inside{c.clipped.left(), c.clipped.top(), c.clipped.right() + 1, c.clipped.bottom() + 1};
        for (size_t i = 0; i < changed.size(); ++i) {
            const int mx = static_cast<int>(i) % mcusX * 16, my = static_cast<int>(i) / mcusX * 16;
            EXPECT_EQ(changed[i], inside.Meets(mx, my, mx + 16, my + 16)) << "MCU " << i;
        }
        // The pasted pixels arrive (within the JPEG's loss).
        const std::vector<BYTE> shown = DibBytes();
        long long diff = 0, n = 0;
        for (int y = inside.top; y < inside.bottom; ++y)
            for (int x = inside.left; x < inside.right; ++x) {
                const QRgb want = source.pixel(x - c.x, y - c.y);
                const BYTE* p = &shown[static_cast<size_t>(y) * m_image->GetStride() + x * 3];
                diff += std::abs(p[2] - qRed(want)) + std::abs(p[1] - qGreen(want)) + std::abs(p[0] - qBlue(want));
                n += 3;
            }
        EXPECT_LT(diff, n * 12);

        um->Undo();
        EXPECT_EQ(Coefficients(*m_image), original);
    }
}

TEST_F(PixelActionTest, FullPasteEmptyPasteAndClone)
{
    Open(64, 48);
    const std::vector<short> original = Coefficients(*m_image);
    const std::vector<uint8_t> before = Saved("before.jpg");

    // Empty, inverted and wholly outside rectangles paste nothing.
    const QImage small = SolidPicture(16, 16);
    for (auto [x, y, w, h] : {std::array<int, 4>{0, 0, 0, 16}, {0, 0, -8, 16}, {10, 10, 16, -3}, {64, 0, 16, 16},
                              {-16, 0, 16, 16}, {0, 2147483600, 16, 16}, {2147483600, 0, 2147483647, 16}}) {
        auto* paste = new CActionPaste(small, x, y, w, h);
        ASSERT_TRUE(um->AddAction(paste));
        EXPECT_EQ(paste->GetLibraryEditCount(), 0);
        EXPECT_TRUE(paste->GetClippedRect().isEmpty());
    }
    EXPECT_EQ(Coefficients(*m_image), original);

    // A picture of the image's size over the whole image changes every MCU;
    // a bigger width than the source's is cut to the source.
    testjpeg::Pixels other = testjpeg::MakePattern(64, 48, 3, 9);
    QImage full(other.data.data(), 64, 48, 64 * 3, QImage::Format_RGB888);
    auto* paste = new CActionPaste(full.copy(), 0, 0, 1000, 1000);
    std::unique_ptr<IAction> clone(paste->Clone());
    ASSERT_TRUE(um->AddAction(paste));
    EXPECT_EQ(paste->GetClippedRect(), QRect(0, 0, 64, 48));
    const std::vector<uint8_t> pasted = Saved("pasted.jpg");
    int mcusX = 0;
    const std::vector<bool> changed = ChangedMcus(before, pasted, &mcusX);
    EXPECT_EQ(std::count(changed.begin(), changed.end(), true), static_cast<long>(changed.size()));
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);

    // The clone carries its own copy of the pixels.
    ASSERT_TRUE(um->AddAction(clone.release()));
    EXPECT_EQ(Saved("clone.jpg").size(), pasted.size());
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
}

struct SizeCase {
    const char* what;
    ResizeParams params;
    int width, height;
    int newWidth, newHeight; // 0: refused
};

ResizeParams Percent(int percent)
{
    ResizeParams p;
    p.Units = 0;
    p.Percent = percent;
    return p;
}

ResizeParams Pixels(int w, int h, int autoSwap, int keep, int dontEnlarge)
{
    ResizeParams p;
    p.PixelsWidth = w;
    p.PixelsHeight = h;
    p.AutoSwap = autoSwap;
    p.KeepProportions = keep;
    p.DontEnlarge = dontEnlarge;
    return p;
}

TEST(ResizeTarget, SizeRules)
{
    const SizeCase cases[] = {
        {"half", Percent(50), 101, 75, 50, 37},
        {"zero percent", Percent(0), 101, 75, 1, 1},
        {"negative percent", Percent(-20), 101, 75, 1, 1},
        {"double", Percent(200), 101, 75, 202, 150},
        {"percent past the limit", Percent(2147483647), 60000, 10, 0, 0},
        {"auto swap", Pixels(1600, 1200, 1, 0, 0), 1200, 1600, 1200, 1600},
        {"auto swap, portrait box", Pixels(1200, 1600, 1, 0, 0), 1600, 1200, 1600, 1200},
        {"auto swap, same lie", Pixels(1200, 1600, 1, 0, 0), 1200, 1600, 1200, 1600},
        {"no swap", Pixels(1600, 1200, 0, 0, 0), 1200, 1600, 1600, 1200},
        {"keep proportions, width limits", Pixels(800, 600, 0, 1, 0), 1000, 500, 800, 400},
        {"keep proportions, height limits", Pixels(800, 600, 0, 1, 0), 1000, 1000, 600, 600},
        {"don't enlarge", Pixels(2000, 1500, 1, 1, 1), 1000, 750, 1000, 750},
        {"enlarge", Pixels(2000, 1500, 1, 1, 0), 1000, 750, 2000, 1500},
        {"zero pixels", Pixels(0, 0, 0, 1, 0), 1000, 750, 1, 1},
        {"huge", Pixels(70000, 600, 0, 0, 0), 100, 100, 0, 0},
        {"huge products", Pixels(2147483647, 2147483647, 0, 1, 0), 65000, 65000, 0, 0},
    };
    for (const SizeCase& c : cases) {
        int w = 0, h = 0;
        const bool ok = CActionResize::TargetSize(c.params, c.width, c.height, &w, &h);
        EXPECT_EQ(ok, c.newWidth != 0) << c.what;
        if (ok) {
            EXPECT_EQ(w, c.newWidth) << c.what;
            EXPECT_EQ(h, c.newHeight) << c.what;
        }
    }
}

// Area average in double precision: output pixel (ox, oy) covers source
// [ox * W / nw, (ox + 1) * W / nw) by [oy * H / nh, (oy + 1) * H / nh).
double AreaMean(const CDib24& src, int W, int H, int nw, int nh, int ox, int oy, int c)
{
    const double x0 = double(ox) * W / nw, x1 = double(ox + 1) * W / nw;
    const double y0 = double(oy) * H / nh, y1 = double(oy + 1) * H / nh;
    double sum = 0, area = 0;
    for (int y = static_cast<int>(y0); y < std::min(H, static_cast<int>(std::ceil(y1))); ++y) {
        const double wy = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
        for (int x = static_cast<int>(x0); x < std::min(W, static_cast<int>(std::ceil(x1))); ++x) {
            const double wx = std::min<double>(x + 1, x1) - std::max<double>(x, x0);
            sum += wx * wy * src.Row(y)[x * 3 + c];
            area += wx * wy;
        }
    }
    return sum / area;
}

TEST(ResizeResample, WithinOneOfTheAreaAverage)
{
    CDib24 src;
    ASSERT_TRUE(src.Create(104, 80));
    const testjpeg::Pixels px = testjpeg::MakePattern(101, 75);
    for (int y = 0; y < 75; ++y)
        std::copy_n(px.row(y), 101 * 3, src.Row(y));
    for (auto [nw, nh] : {std::pair{50, 37}, {33, 70}, {1, 1}, {101, 75}, {150, 110}, {7, 200}}) {
        CDib24 out;
        ASSERT_TRUE(out.Create(nw + 5, nh + 3));
        CActionResize::Resample(src, 101, 75, out, nw, nh);
        for (int y = 0; y < nh + 3; ++y)
            for (int x = 0; x < nw + 5; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int got = out.Row(y)[x * 3 + c];
                    if (x >= nw || y >= nh)
                        ASSERT_EQ(got, 0) << "written outside at " << x << "," << y;
                    else
                        ASSERT_NEAR(got, AreaMean(src, 101, 75, nw, nh, x, y, c), 1.0)
                            << nw << "x" << nh << " at " << x << "," << y;
                }
    }
    // Doubling repeats each pixel exactly.
    CDib24 twice;
    ASSERT_TRUE(twice.Create(202, 150));
    CActionResize::Resample(src, 101, 75, twice, 202, 150);
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 202; ++x)
            ASSERT_TRUE(std::equal(src.Row(y / 2) + x / 2 * 3, src.Row(y / 2) + x / 2 * 3 + 3, twice.Row(y) + x * 3))
                << x << "," << y;
}

TEST_F(PixelActionTest, ResizeSavesReloadsAndUndoes)
{
    Open(101, 75);
    const std::vector<short> original = Coefficients(*m_image);
    const std::vector<BYTE> dib = DibBytes();
    auto* resize = new CActionResize(Percent(50));
    ASSERT_TRUE(um->AddAction(resize));
    EXPECT_EQ(resize->GetLibraryEditCount(), 2);
    EXPECT_EQ(m_image->GetWidth(), 50);
    EXPECT_EQ(m_image->GetHeight(), 37);
    EXPECT_FALSE(m_image->HasDib());
    // The re-encoded picture is the resampled one, within the JPEG's loss.
    const std::vector<BYTE> shown = DibBytes();
    long long diff = 0;
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 50; ++x)
            for (int c = 0; c < 3; ++c) {
                const int a = shown[static_cast<size_t>(y) * m_image->GetStride() + x * 3 + c];
                const int b = (dib[static_cast<size_t>(2 * y) * 112 * 3 + 2 * x * 3 + c]
                               + dib[static_cast<size_t>(2 * y + 1) * 112 * 3 + (2 * x + 1) * 3 + c]) / 2;
                diff += std::abs(a - b);
            }
    EXPECT_LT(diff, 50 * 37 * 3 * 16);

    ASSERT_EQ(m_image->Save(Q(m_files / "small.jpg")), 1);
    CKsImage reloaded(RealLib());
    ASSERT_EQ(reloaded.Load(Q(m_files / "small.jpg"), 1), 1);
    EXPECT_EQ(reloaded.GetWidth(), 50);
    EXPECT_EQ(reloaded.GetHeight(), 37);

    um->Undo();
    EXPECT_EQ(m_image->GetWidth(), 101);
    EXPECT_EQ(m_image->GetHeight(), 75);
    EXPECT_EQ(Coefficients(*m_image), original);
    um->Redo();
    EXPECT_EQ(m_image->GetWidth(), 50);
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);

    // A side past the library's limit does nothing at all.
    auto* huge = new CActionResize(Pixels(70000, 10, 0, 0, 0));
    ASSERT_TRUE(um->AddAction(huge));
    EXPECT_EQ(huge->GetLibraryEditCount(), 0);
    EXPECT_EQ(Coefficients(*m_image), original);
}

// An image whose re-encode the library refuses (4:1:1): no pixels that no
// save would write stay on screen, the resize takes its crop back, and undo
// never takes back the step before.
TEST_F(PixelActionTest, RefusedReencodeDropsPixelsAndKeepsHistory)
{
    Open(64, 32, {{4, 1}, {1, 1}, {1, 1}});
    const std::vector<short> original = Coefficients(*m_image);
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(RotateParams{0, 2, 0, 1, 0, 0xFFFFFFFFu})));
    const std::vector<short> turned = Coefficients(*m_image);
    ASSERT_NE(turned, original);
    const int width = m_image->GetWidth(), height = m_image->GetHeight();

    ASSERT_EQ(m_image->CreateDib(), 1); // it renders, but cannot take pixels back
    auto* eye = new CActionRedEye(Eyes(5, 50, {{10, 10}}));
    std::fill_n(m_image->GetDib().Row(10), 30, BYTE(255));
    ASSERT_TRUE(um->AddAction(eye));
    EXPECT_EQ(eye->GetLibraryEditCount(), 0);
    EXPECT_FALSE(m_image->HasDib());

    auto* paste = new CActionPaste(SolidPicture(8, 8), 4, 4, 8, 8);
    ASSERT_TRUE(um->AddAction(paste));
    EXPECT_EQ(paste->GetLibraryEditCount(), 0);
    EXPECT_FALSE(m_image->HasDib());

    auto* resize = new CActionResize(Percent(50));
    ASSERT_TRUE(um->AddAction(resize));
    EXPECT_EQ(resize->GetLibraryEditCount(), 0);
    EXPECT_EQ(m_image->GetWidth(), width);
    EXPECT_EQ(m_image->GetHeight(), height);
    EXPECT_FALSE(m_image->HasDib());
    EXPECT_EQ(Coefficients(*m_image), turned);

    for (int step = 0; step < 3; ++step)
        um->Undo();
    EXPECT_EQ(Coefficients(*m_image), turned);
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
}

} // namespace
