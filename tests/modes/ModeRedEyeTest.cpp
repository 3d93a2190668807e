// The red-eye mode through the real frame, view and library on a photo with
// two red pupils: marks by click and Shift+click, the preview confined to the
// eyes' squares and never in the image's own bitmap, Esc restoring bytes
// exactly, a re-encoding save unaffected by marks, Enter re-encoding only the
// blocks near the eyes with an exact undo, the one-pixel circle, the radius
// kept to 1..50.
#include "AnswerBoxes.h"
#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "ModeRedEye.h"
#include "PixmendApp.h"
#include "ProgramWindow.h"
#include "RedEyeParams.h"
#include "ScopedConfigHome.h"
#include "Soon.h"
#include "TestJpeg.h"

#include <QDir>
#include <QDockWidget>
#include <QLineF>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr int kWidth = 320, kHeight = 192;
const QPoint kEye1(80, 96), kEye2(216, 88);

// A skin-coloured gradient with two red pupils of radius 6, 4:4:4 (8 x 8 MCUs).
std::vector<uint8_t> RedEyePhoto()
{
    testjpeg::Pixels px;
    px.width = kWidth;
    px.height = kHeight;
    px.data.resize(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool pupil = QLineF(QPointF(x, y), kEye1).length() <= 6 || QLineF(QPointF(x, y), kEye2).length() <= 6;
            const uint8_t rgb[3] = {uint8_t(pupil ? 215 : 190 + x / 16), uint8_t(pupil ? 25 : 140 + y / 12),
                                    uint8_t(pupil ? 30 : 120)};
            std::memcpy(px.row(y) + x * 3, rgb, 3);
        }
    return testjpeg::Encode(px, testjpeg::Sampled(95, {{1, 1}, {1, 1}, {1, 1}}));
}

// The square a preview of radius r may change (one more right and below).
QRect Square(QPoint eye, int r)
{
    return QRect(QPoint(eye.x() - r, eye.y() - r), QPoint(eye.x() + r + 1, eye.y() + r + 1));
}

// The pixels where two bitmaps of the image's size differ.
std::vector<QPoint> Differences(const QImage& a, const QImage& b)
{
    std::vector<QPoint> points;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (std::memcmp(a.constScanLine(y) + x * 3, b.constScanLine(y) + x * 3, 3) != 0)
                points.emplace_back(x, y);
    return points;
}
int CountIn(const std::vector<QPoint>& points, const QRect& r)
{
    return static_cast<int>(std::count_if(points.begin(), points.end(), [&](QPoint p) { return r.contains(p); }));
}

class ModeRedEyeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_boxes.answer = IMessageBoxes::Answer::No;
        const auto path = m_tmp / "eyes.jpg";
        ASSERT_TRUE(testjpeg::WriteFile(path, RedEyePhoto()));
        m_frame = testwin::StartProgram(m_app, {QString::fromStdString(path.string())});
        ASSERT_NE(m_frame, nullptr);
        m_view = m_frame->GetView();
        Key(Qt::Key_E);
        ASSERT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_RED_EYE);
        m_original = Dib().copy();
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QTest::keyClick(m_frame->windowHandle(), key, mods);
        QCoreApplication::processEvents();
        m_app->GetCommands().UpdateAll();
    }
    QPoint Client(QPoint p) const
    {
        const int z = static_cast<int>(m_view->Zoom());
        return QPoint(m_view->OriginX() + p.x() * z / 256 + z / 512, m_view->OriginY() + p.y() * z / 256 + z / 512);
    }
    void ClickEye(QPoint eye, Qt::KeyboardModifiers mods = {})
    {
        m_view->viewport()->repaint(); // the origin follows the zoom at a paint
        QTest::mouseMove(m_view->viewport(), Client(eye));
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, mods, Client(eye));
    }

    QImage Dib() { return m_app->m_image.GetDibImage(); }
    // What the view shows.
    QImage Shown() { return m_view->Host().ModeDisplayImage(*m_view, m_app->m_image).copy(); }
    std::vector<QPoint>& Eyes() { return m_app->m_operRedEye.Params().Points; }
    int Radius() const { return m_frame->GetRedEyeMode().GetRadius(); }

    CScopedConfigHome m_config;
    testjpeg::TempDir m_tmp;
    CAnswerBoxes m_boxes;
    std::unique_ptr<CPixmendApp> m_app;
    CMainFrame* m_frame = nullptr;
    CChildView* m_view = nullptr;
    QImage m_original;
};

TEST_F(ModeRedEyeTest, MarksPreviewOnlyTheirSquaresAndEscapeRestoresExactly)
{
    EXPECT_EQ(m_frame->GetModePane()->windowTitle(), QStringLiteral("Remove Red Eye"));
    EXPECT_TRUE(m_view->IsTimerActive(2));
    const int r = Radius();
    const struct {
        const char* what;
        QPoint eye;
        Qt::KeyboardModifiers mods;
        std::vector<QPoint> eyes;
    } steps[] = {
        {"click", kEye1, {}, {kEye1}},
        {"shift+click adds", kEye2, Qt::ShiftModifier, {kEye1, kEye2}},
        {"plain click replaces", kEye2, {}, {kEye2}},
        {"shift+click adds again", kEye1, Qt::ShiftModifier, {kEye2, kEye1}},
    };
    for (const auto& step : steps) {
        ClickEye(step.eye, step.mods);
        EXPECT_EQ(Eyes(), step.eyes) << step.what;
        const std::vector<QPoint> changed = Differences(Shown(), m_original);
        int inSquares = 0;
        for (const QPoint& eye : {kEye1, kEye2}) {
            const bool marked = std::find(step.eyes.begin(), step.eyes.end(), eye) != step.eyes.end();
            const int n = CountIn(changed, Square(eye, r));
            EXPECT_EQ(n > 0, marked) << step.what;
            inSquares += n;
        }
        EXPECT_EQ(inSquares, static_cast<int>(changed.size())) << step.what;
        // The pupil is no longer red on screen; the image's own bitmap never
        // carries the preview.
        EXPECT_LT(Shown().constScanLine(step.eye.y())[step.eye.x() * 3 + 2], 120) << step.what;
        EXPECT_TRUE(Differences(Dib(), m_original).empty()) << step.what;
    }
    EXPECT_EQ(m_frame->GetModeContextMenuIndex(), 3);
    EXPECT_FALSE(m_app->m_image.GetUndoMan()->CanUndo());

    // Shift+Esc drops the last eye only; Esc all of them, to the byte.
    Key(Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(Eyes(), std::vector<QPoint>{kEye2});
    EXPECT_EQ(CountIn(Differences(Shown(), m_original), Square(kEye1, r)), 0);
    Key(Qt::Key_Escape);
    EXPECT_TRUE(Eyes().empty());
    EXPECT_TRUE(Differences(Shown(), m_original).empty());
    EXPECT_EQ(m_frame->GetModeContextMenuIndex(), 1);

    // A drag from beside the image marks nothing and does not pan.
    const int cx = m_view->CenterX(), cy = m_view->CenterY();
    const QPoint beside(m_view->OriginX() - 20, m_view->OriginY() + 40);
    QTest::mouseMove(m_view->viewport(), beside);
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, {}, beside);
    QTest::mouseMove(m_view->viewport(), beside + QPoint(30, 30));
    EXPECT_FALSE(m_view->IsDragging());
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, {}, beside + QPoint(30, 30));
    EXPECT_TRUE(Eyes().empty());
    EXPECT_EQ(QPoint(m_view->CenterX(), m_view->CenterY()), QPoint(cx, cy));
}

TEST_F(ModeRedEyeTest, EnterReencodesNearbyBlocksUndoRestoresSaveIgnoresMarks)
{
    CKsImage& image = m_app->m_image;
    ClickEye(kEye1);
    ClickEye(kEye2, Qt::ShiftModifier);
    const std::vector<short> before = testwin::Coefficients(image);
    const int r = Radius();
    Key(Qt::Key_Return);
    EXPECT_TRUE(image.GetUndoMan()->CanUndo());
    EXPECT_TRUE(Eyes().empty());
    // One 8 x 8 block per component and MCU: only those near an eye change.
    const std::vector<short> after = testwin::Coefficients(image);
    ASSERT_EQ(after.size(), before.size());
    int differing = 0;
    for (size_t offset = 0; offset < before.size(); offset += 64) {
        const int block = static_cast<int>(offset / 64) % (kWidth / 8 * kHeight / 8);
        const QRect area(block % (kWidth / 8) * 8, block / (kWidth / 8) * 8, 8, 8);
        const bool same = std::equal(before.begin() + offset, before.begin() + offset + 64, after.begin() + offset);
        EXPECT_TRUE(same || area.intersects(Square(kEye1, r)) || area.intersects(Square(kEye2, r))) << offset;
        differing += same ? 0 : 1;
    }
    EXPECT_GT(differing, 0);
    ASSERT_TRUE(image.HasDib() || image.CreateDib());
    EXPECT_LT(image.GetDib().Row(kEye1.y())[kEye1.x() * 3 + 2], 120);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(testwin::Coefficients(image), before);

    // A re-encoding save with eyes marked (and a blink re-running the
    // preview) writes the same file as one without. Last: a save moves the
    // browser's selection to the saved file.
    m_app->m_operSave.GetSettings().CompressionMode = 1;
    const auto plain = m_tmp / "plain.jpg", marked = m_tmp / "marked.jpg";
    ASSERT_TRUE(m_app->SaveImage(QString::fromStdString(plain.string())));
    ClickEye(kEye1);
    ClickEye(kEye2, Qt::ShiftModifier);
    const bool blink = m_view->IsBlinkOn();
    EXPECT_SOON(m_view->IsBlinkOn() != blink);
    ASSERT_TRUE(m_app->SaveImage(QString::fromStdString(marked.string())));
    EXPECT_EQ(testjpeg::ReadFile(marked), testjpeg::ReadFile(plain));
}

TEST_F(ModeRedEyeTest, RadiusKeptInRangeAndCircleIsOnePixelWide)
{
    // Sensitivity keeps what the edit accepts (0..100), below the slider's 1.
    struct Row {
        int radius, radiusUsed, sensitivity, sensitivityKept;
    };
    for (const auto& [stored, used, sensitivity, kept] :
         {Row{500, 50, 0, 0}, {0, 1, 500, 100}, {-7, 1, -3, 0}, {12, 12, 37, 37}}) {
        // As a hand-edited profile holds them.
        m_app->m_operRedEye.Params().RedEyeRadius = stored;
        m_app->m_operRedEye.Params().RedEyeSensitivity = sensitivity;
        ClickEye(kEye1);
        EXPECT_EQ(m_app->m_operRedEye.Params().RedEyeRadius, used) << stored;
        EXPECT_EQ(m_app->m_operRedEye.Params().RedEyeSensitivity, kept) << sensitivity;
        const std::vector<QPoint> changed = Differences(Shown(), m_original);
        EXPECT_EQ(CountIn(changed, Square(kEye1, used)), static_cast<int>(changed.size())) << stored;
    }
    // Shift with the wheel steps the radius and stops at 50.
    m_frame->GetRedEyeMode().SetRadius(49);
    for (int notch = 0; notch < 3; ++notch) {
        QWheelEvent wheel(Client(kEye1), m_view->viewport()->mapToGlobal(Client(kEye1)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_view->viewport(), &wheel);
    }
    EXPECT_EQ(Radius(), 50);

    // At 500 % the circle of radius 10 is 50 screen pixels: every white
    // pixel on it, none scattered. An arrow key moves the eye and holds the blink on.
    m_frame->GetRedEyeMode().SetRadius(10);
    m_view->SetZoomIndex(13);
    ClickEye(QPoint(kWidth / 2, kHeight / 2));
    m_view->StopTimers();
    Key(Qt::Key_Right);
    const QPoint eye(kWidth / 2 + 1, kHeight / 2);
    ASSERT_EQ(Eyes(), std::vector<QPoint>{eye});
    ASSERT_TRUE(m_view->IsBlinkOn());
    const QImage grab = m_view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int zoom = static_cast<int>(m_view->Zoom()), cr = 10 * zoom / 256;
    const QPoint c(m_view->OriginX() + eye.x() * zoom / 256, m_view->OriginY() + eye.y() * zoom / 256);
    int white = 0;
    double worst = 0;
    for (int y = 0; y < grab.height(); ++y)
        for (int x = 0; x < grab.width(); ++x)
            if (grab.pixel(x, y) == qRgb(255, 255, 255)) {
                ++white;
                worst = std::max(worst, std::abs(std::hypot(x - c.x(), y - c.y()) - cr));
            }
    EXPECT_LE(worst, 1.0);
    EXPECT_GE(white, 5 * cr);
    EXPECT_LE(white, 8 * cr + 8);
    for (const QPoint& p : {c + QPoint(cr, 0), c - QPoint(cr, 0), c + QPoint(0, cr), c - QPoint(0, cr)})
        EXPECT_EQ(grab.pixel(p), qRgb(255, 255, 255));

    // The screenshot: both eyes marked at 200 %, circles on.
    m_view->SetZoomIndex(11);
    ClickEye(kEye1);
    ClickEye(kEye2, Qt::ShiftModifier);
    Key(Qt::Key_Left);
    QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
    m_view->viewport()->repaint();
    EXPECT_TRUE(m_frame->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/mode-redeye.png")));
}

} // namespace
