// The red-eye mode through the real frame, view and library on a photo with
// two red discs: marks by click and Shift+click, the preview confined to the
// eyes' squares and never in the image's own bitmap, Esc restoring bytes
// exactly, Enter re-encoding only the blocks near the eyes with an exact
// undo, a re-encoding save unaffected by marked eyes, the blinking circle,
// and the radius kept to 1..50.
#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "ModeRedEye.h"
#include "PixmendApp.h"
#include "RedEyeParams.h"
#include "ScopedConfigHome.h"
#include "TestJpeg.h"

#include <QDir>
#include <QDockWidget>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

class CQuietBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return true; }
    Answer AskYesNoCancel(const QString&, const QString&) override { return Answer::No; }
    SaveErrorChoice AskSaveError(const QString&) override { return SaveErrorChoice::Abort; }
    bool ReportProgress(int) override { return true; }
};

constexpr int kWidth = 320, kHeight = 192;
const QPoint kEye1(80, 96), kEye2(216, 88);

// Skin-coloured gradient with two red pupils of radius 6.
testjpeg::Pixels RedEyePhoto()
{
    testjpeg::Pixels px;
    px.width = kWidth;
    px.height = kHeight;
    px.data.resize(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = px.row(y) + x * 3;
            p[0] = static_cast<uint8_t>(190 + x / 16);
            p[1] = static_cast<uint8_t>(140 + y / 12);
            p[2] = 120;
            for (const QPoint& eye : {kEye1, kEye2}) {
                const int dx = x - eye.x(), dy = y - eye.y();
                if (dx * dx + dy * dy <= 36) {
                    p[0] = 215;
                    p[1] = 25;
                    p[2] = 30;
                }
            }
        }
    return px;
}

std::vector<short> Coefficients(CKsImage& image)
{
    short* data = nullptr;
    int count = 0;
    image.GetLibraryObject()->GetCoefficients(&data, &count);
    return data ? std::vector<short>(data, data + count) : std::vector<short>();
}

// The square a preview of radius r may change (one more right and below).
QRect Square(QPoint eye, int r)
{
    return QRect(QPoint(eye.x() - r, eye.y() - r), QPoint(eye.x() + r + 1, eye.y() + r + 1));
}

// Pixels where two bitmaps of the same size differ, and whether all of them
// lie in `allowed`.
struct Diff {
    int count = 0;
    bool confined = true;
    int in(const QRect& r) const
    {
        int n = 0;
        for (const QPoint& p : points)
            n += r.contains(p) ? 1 : 0;
        return n;
    }
    std::vector<QPoint> points;
};

Diff Compare(const QImage& a, const QImage& b, const std::vector<QRect>& allowed)
{
    Diff d;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (std::memcmp(a.constScanLine(y) + x * 3, b.constScanLine(y) + x * 3, 3) == 0)
                continue;
            ++d.count;
            d.points.emplace_back(x, y);
            bool inside = false;
            for (const QRect& r : allowed)
                inside = inside || r.contains(x, y);
            d.confined = d.confined && inside;
        }
    return d;
}

class ModeRedEyeTest : public ::testing::Test {
protected:
    void SetUp() override { m_oldBoxes = SetMessageBoxes(&m_boxes); }
    void TearDown() override
    {
        m_app.reset();
        SetMessageBoxes(m_oldBoxes);
    }

    void Start()
    {
        const auto path = m_tmp / "eyes.jpg";
        ASSERT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(RedEyePhoto(), testjpeg::Sampled(95, {{1, 1}, {1, 1}, {1, 1}}))));
        m_app = std::make_unique<CPixmendApp>();
        ASSERT_TRUE(m_app->InitInstance({QString::fromStdString(path.string())}));
        m_frame = m_app->GetMainFrame();
        m_frame->resize(1280, 800);
        m_frame->show();
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        m_view = m_frame->GetView();
        m_view->ZoomActual();
        QCoreApplication::processEvents();
        m_app->GetCommands().UpdateAll();
        Key(Qt::Key_E);
        ASSERT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_RED_EYE);
        m_mode = &m_frame->GetRedEyeMode();
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
    void Click(QPoint client, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseMove(m_view->viewport(), client);
        QTest::mouseClick(m_view->viewport(), Qt::LeftButton, mods, client);
    }
    void ClickEye(QPoint eye, Qt::KeyboardModifiers mods = {})
    {
        m_view->viewport()->repaint(); // the origin follows the zoom at a paint
        Click(Client(eye), mods);
    }

    QImage Dib() { return m_app->m_image.GetDibImage(); }
    // What the view shows.
    QImage Shown() { return m_view->Host().ModeDisplayImage(*m_view, m_app->m_image).copy(); }
    std::vector<QPoint>& Eyes() { return m_app->m_operRedEye.Params().Points; }
    int Radius() const { return m_mode->GetRadius(); }

    CScopedConfigHome m_config;
    testjpeg::TempDir m_tmp;
    CQuietBoxes m_boxes;
    IMessageBoxes* m_oldBoxes = nullptr;
    std::unique_ptr<CPixmendApp> m_app;
    CMainFrame* m_frame = nullptr;
    CChildView* m_view = nullptr;
    CModeRedEye* m_mode = nullptr;
    QImage m_original;
};

TEST_F(ModeRedEyeTest, MarksPreviewOnlyTheirSquaresAndEscapeRestoresExactly)
{
    Start();
    EXPECT_EQ(m_frame->GetModePane()->windowTitle(), QStringLiteral("Remove Red Eye"));
    EXPECT_TRUE(m_view->IsTimerActive(2));
    const int r = Radius();
    const QRect s1 = Square(kEye1, r), s2 = Square(kEye2, r);

    struct Step {
        const char* what;
        QPoint eye;
        Qt::KeyboardModifiers mods;
        std::vector<QPoint> eyes;
    };
    const Step steps[] = {
        {"click", kEye1, {}, {kEye1}},
        {"shift+click adds", kEye2, Qt::ShiftModifier, {kEye1, kEye2}},
        {"plain click replaces", kEye2, {}, {kEye2}},
        {"shift+click adds again", kEye1, Qt::ShiftModifier, {kEye2, kEye1}},
    };
    for (const Step& step : steps) {
        ClickEye(step.eye, step.mods);
        EXPECT_EQ(Eyes(), step.eyes) << step.what;
        const Diff d = Compare(Shown(), m_original, {s1, s2});
        EXPECT_TRUE(d.confined) << step.what;
        for (const QPoint& eye : {kEye1, kEye2}) {
            const bool marked = std::find(step.eyes.begin(), step.eyes.end(), eye) != step.eyes.end();
            EXPECT_EQ(d.in(Square(eye, r)) > 0, marked) << step.what;
        }
        // The pupil is no longer red on screen, and the image's own bitmap
        // never carries the preview.
        const uchar* pupil = Shown().constScanLine(step.eye.y()) + step.eye.x() * 3;
        EXPECT_LT(pupil[2], 120) << step.what;
        EXPECT_EQ(Compare(Dib(), m_original, {}).count, 0) << step.what;
    }
    EXPECT_EQ(m_frame->GetModeContextMenuIndex(), 3);
    EXPECT_FALSE(m_app->m_image.GetUndoMan()->CanUndo());

    // Shift+Esc drops the last eye only; Esc all of them, to the byte.
    Key(Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(Eyes(), std::vector<QPoint>{kEye2});
    EXPECT_EQ(Compare(Shown(), m_original, {s2}).in(s1), 0);
    Key(Qt::Key_Escape);
    EXPECT_TRUE(Eyes().empty());
    EXPECT_FALSE(m_view->IsRedEyeMarked());
    EXPECT_EQ(Compare(Shown(), m_original, {}).count, 0);
    EXPECT_EQ(m_frame->GetModeContextMenuIndex(), 1);

    // A click beside the image marks nothing and does not pan.
    const int cx = m_view->CenterX(), cy = m_view->CenterY();
    const QPoint beside(m_view->OriginX() - 20, m_view->OriginY() + 40);
    QTest::mouseMove(m_view->viewport(), beside);
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, {}, beside);
    QTest::mouseMove(m_view->viewport(), beside + QPoint(30, 30));
    EXPECT_FALSE(m_view->IsDragging());
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, {}, beside + QPoint(30, 30));
    EXPECT_TRUE(Eyes().empty());
    EXPECT_EQ(m_view->CenterX(), cx);
    EXPECT_EQ(m_view->CenterY(), cy);
}

TEST_F(ModeRedEyeTest, EnterReencodesOnlyBlocksNearTheEyesAndUndoRestoresThem)
{
    Start();
    CKsImage& image = m_app->m_image;
    const std::vector<short> before = Coefficients(image);
    ClickEye(kEye1);
    ClickEye(kEye2, Qt::ShiftModifier);
    const int r = Radius();
    Key(Qt::Key_Return);
    EXPECT_TRUE(image.GetUndoMan()->CanUndo());
    EXPECT_TRUE(Eyes().empty());

    // 4:4:4, so one 8 x 8 block per component and MCU, 40 x 24 of them.
    const std::vector<short> after = Coefficients(image);
    ASSERT_EQ(after.size(), before.size());
    int differing = 0;
    size_t offset = 0;
    for (int comp = 0; comp < 3; ++comp)
        for (int by = 0; by < kHeight / 8; ++by)
            for (int bx = 0; bx < kWidth / 8; ++bx, offset += 64) {
                const QRect block(bx * 8, by * 8, 8, 8);
                const bool near = block.intersects(Square(kEye1, r)) || block.intersects(Square(kEye2, r));
                const bool same = std::equal(before.begin() + offset, before.begin() + offset + 64, after.begin() + offset);
                if (!near) {
                    EXPECT_TRUE(same) << "component " << comp << " block " << bx << "," << by;
                }
                differing += same ? 0 : 1;
            }
    EXPECT_GT(differing, 0);
    // The corrected pupils are no longer red in the image itself.
    ASSERT_TRUE(image.HasDib() || image.CreateDib());
    EXPECT_LT(image.GetDib().Row(kEye1.y())[kEye1.x() * 3 + 2], 120);

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Coefficients(image), before);
}

TEST_F(ModeRedEyeTest, ReencodingSaveWithEyesMarkedEqualsOneWithout)
{
    Start();
    m_app->m_operSave.GetSettings().CompressionMode = 1;
    m_app->m_operSave.GetSettings().Quality = 90;
    const auto plain = m_tmp / "plain.jpg";
    const auto marked = m_tmp / "marked.jpg";
    ASSERT_TRUE(m_app->SaveImage(QString::fromStdString(plain.string())));
    ClickEye(kEye1);
    ClickEye(kEye2, Qt::ShiftModifier);
    // Let the blink re-run the preview at least once, as it would while the
    // user picks a file name.
    const bool blink = m_view->IsBlinkOn();
    QTRY_VERIFY(m_view->IsBlinkOn() != blink);
    ASSERT_TRUE(m_app->SaveImage(QString::fromStdString(marked.string())));
    EXPECT_EQ(Eyes().size(), 2u);
    EXPECT_EQ(testjpeg::ReadFile(marked), testjpeg::ReadFile(plain));
}

TEST_F(ModeRedEyeTest, BlinkDrawsAOnePixelCircleAroundTheMovedEye)
{
    Start();
    m_view->SetZoomIndex(13); // 500 %: a radius of 10 is 50 screen pixels
    QCoreApplication::processEvents();
    // Centre the eye: the image is larger than the window now.
    ClickEye(QPoint(kWidth / 2, kHeight / 2));
    ASSERT_EQ(Eyes().size(), 1u);
    // An arrow key moves the eye and turns the blink on (held there).
    m_view->StopTimers();
    Key(Qt::Key_Right);
    const QPoint eye = QPoint(kWidth / 2 + 1, kHeight / 2);
    ASSERT_EQ(Eyes().back(), eye);
    ASSERT_TRUE(m_view->IsBlinkOn());
    const QImage grab = m_view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);

    const int zoom = static_cast<int>(m_view->Zoom());
    const int r = Radius() * zoom / 256;
    const QPoint c(m_view->OriginX() + eye.x() * zoom / 256, m_view->OriginY() + eye.y() * zoom / 256);
    int white = 0;
    double worst = 0;
    for (int y = 0; y < grab.height(); ++y)
        for (int x = 0; x < grab.width(); ++x)
            if (grab.pixel(x, y) == qRgb(255, 255, 255)) {
                ++white;
                worst = std::max(worst, std::abs(std::hypot(x - c.x(), y - c.y()) - r));
            }
    // Every white pixel on the circle, about 2 pi r of them, none scattered.
    EXPECT_LE(worst, 1.0);
    EXPECT_GE(white, 5 * r);
    EXPECT_LE(white, 8 * r + 8);
    for (const QPoint& p : {c + QPoint(r, 0), c - QPoint(r, 0), c + QPoint(0, r), c - QPoint(0, r)})
        EXPECT_EQ(grab.pixel(p), qRgb(255, 255, 255));
}

TEST_F(ModeRedEyeTest, RadiusIsKeptToItsRangeBeforeAnyPreview)
{
    Start();
    struct Case {
        int stored, used;
    };
    for (const Case& c : {Case{500, 50}, Case{0, 1}, Case{-7, 1}, Case{12, 12}}) {
        m_app->m_operRedEye.Params().RedEyeRadius = c.stored; // as a hand-edited profile holds it
        ClickEye(kEye1);
        EXPECT_EQ(m_app->m_operRedEye.Params().RedEyeRadius, c.used) << c.stored;
        EXPECT_TRUE(Compare(Shown(), m_original, {Square(kEye1, c.used)}).confined) << c.stored;
    }
    // Shift with the wheel steps the radius and the preview follows; it stops at 50.
    m_mode->SetRadius(49);
    for (int notch = 0; notch < 3; ++notch) {
        const QPoint at = Client(kEye1);
        QWheelEvent wheel(at, m_view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::ShiftModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_view->viewport(), &wheel);
    }
    EXPECT_EQ(Radius(), 50);
    EXPECT_GT(Compare(Shown(), m_original, {}).in(QRect(kEye1.x() - 50, kEye1.y() - 50, 101, 101)), 0);

    // The screenshot: both eyes marked at 200 %, circles on.
    m_mode->SetRadius(10);
    ClickEye(kEye2, Qt::ShiftModifier);
    m_view->SetZoomIndex(11);
    QCoreApplication::processEvents();
    m_view->StopTimers();
    Key(Qt::Key_Left);
    ASSERT_TRUE(m_view->IsBlinkOn());
    QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
    m_view->viewport()->repaint();
    EXPECT_TRUE(m_frame->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/mode-redeye.png")));
}

} // namespace
