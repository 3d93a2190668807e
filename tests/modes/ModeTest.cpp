// The interactive modes through the real frame, view and library: switching
// modes by key, copying a dragged selection to the clipboard against djpeg,
// pasting a picture (coefficients outside the block untouched, undo exact),
// the selection clamp, and screenshots of the select and paste modes.
#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "Mode.h"
#include "ModePaste.h"
#include "PixmendApp.h"
#include "ProgramWindow.h"
#include "ScopedConfigHome.h"
#include "TestJpeg.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDockWidget>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

// Counts its activations; its id is no command of the program.
class CCountingMode final : public CMode {
public:
    CCountingMode() : CMode(40001, 1, -1) {}
    void Activate() override { ++activated; }
    void Deactivate() override { ++deactivated; }
    bool UsesSelectionRect() const override { return false; }
    int activated = 0;
    int deactivated = 0;
};

// A smooth picture: pasted blocks should survive re-encoding closely.
QImage SmoothPicture(int w, int h)
{
    QImage picture(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y, qRgb(40 + 4 * x % 200, 200 - 5 * y % 150, 120));
    return picture;
}

// A P6 file as an RGB888 image.
QImage ReadPpm(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    QImage image(w, h, QImage::Format_RGB888);
    if (magic != "P6" || max != 255 || image.isNull())
        return QImage();
    for (int y = 0; y < h; ++y)
        in.read(reinterpret_cast<char*>(image.scanLine(y)), static_cast<std::streamsize>(w) * 3);
    return in ? image : QImage();
}

class ModeTest : public testwin::ProgramTest {
protected:
    QString WritePhoto(int w, int h, std::vector<std::pair<int, int>> sampling = {{2, 2}, {1, 1}, {1, 1}})
    {
        const auto path = m_tmp / "photo.jpg";
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(w, h), testjpeg::Sampled(90, sampling))));
        return Q(path);
    }

    // A key through the window, as the user types it.
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QTest::keyClick(m_frame->windowHandle(), key, mods);
        QCoreApplication::processEvents();
        m_app->GetCommands().UpdateAll();
    }

    QPoint Client(int x, int y) const { return testwin::ClientPoint(*m_view, x, y); }
    void Drag(QPoint from, QPoint to) { testwin::Drag(*m_view, from, to); }
    auto& Sel() { return m_view->Host().Selection(); }
    void SetSel(int l, int t, int r, int b)
    {
        Sel().Left = l;
        Sel().Top = t;
        Sel().Right = r;
        Sel().Bottom = b;
    }
    QString Caption() const { return m_frame->GetModePane()->windowTitle(); }
    bool ButtonChecked(int id) const
    {
        for (QAction* a : m_frame->GetToolBar()->actions())
            if (a->data().toInt() == id)
                return a->isChecked();
        return false;
    }
    void SaveShot(const char* name)
    {
        QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
        m_view->viewport()->repaint();
        EXPECT_TRUE(m_frame->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/") + QLatin1String(name)));
        const QStringList problems = testwin::PanelLayoutProblems(*m_frame);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    }

    // Starts pasting `picture` as the user does: on the clipboard, Ctrl+V.
    void Paste(const QImage& picture)
    {
        QApplication::clipboard()->setImage(picture);
        Key(Qt::Key_V, Qt::ControlModifier);
    }
    void Enter() { Key(Qt::Key_Return); }
    void Undo() { Key(Qt::Key_Z, Qt::ControlModifier); }
    void Escape() { Key(Qt::Key_Escape); }
    void EnterSelectMode() { Key(Qt::Key_S); }
};

TEST(ModeClamp, StepsWholeMcusAndReturnsAtOnceFromFarAway)
{
    struct Case {
        int l, t, r, b;
        bool outward;
        int el, et, er, eb;
    };
    // A 100 x 60 image with 16 x 8 MCUs.
    const Case cases[] = {
        {10, 10, 50, 40, false, 10, 10, 50, 40},      // inside: unchanged
        {130, 70, 170, 90, false, 50, 38, 90, 58},    // right of and below the image: whole MCUs back
        {96, 20, 140, 30, false, 48, 20, 92, 30},     // hangs over: left in steps while a step remains
        {8, 0, 200, 30, false, 0, 0, 100, 30},        // wider than the image: the whole width
        {-20, -5, 30, 20, false, 0, 0, 50, 25},       // left of 0: moved to 0, keeping the right edge's distance
        {96, 20, 140, 30, true, 96, 20, 140, 30},     // outward: only the start comes in
        {130, 70, 170, 90, true, 98, 54, 138, 74},    // outward from far right
        {1 << 30, 1 << 30, (1 << 30) + 40, (1 << 30) + 20, false, 48, 40, 88, 60},
        {INT32_MAX - 5, 0, INT32_MAX, 8, false, 90, 0, 95, 8},
        {INT32_MIN, INT32_MIN, 30, 20, false, 0, 0, INT32_MAX, INT32_MAX}, // Right -= Left saturates
    };
    for (const Case& c : cases) {
        int l = c.l, t = c.t, r = c.r, b = c.b;
        CMode::ClampRect(l, t, r, b, 100, 60, 16, 8, c.outward);
        EXPECT_EQ((std::array{l, t, r, b}), (std::array{c.el, c.et, c.er, c.eb})) << c.l << "," << c.t;
    }
}

TEST(ModeClamp, PasteBlockIsCentredOrPushedInside)
{
    struct Case {
        int64_t lo, length;
        int size;
        int el, eh;
    };
    const Case cases[] = {
        {0, 300, 200, -50, 250},          // wider: centred at a negative start
        {180, 37, 200, 163, 200},         // hangs over the right: pushed back
        {-10, 37, 200, 0, 37},            // starts left of 0: moved to 0
        {INT32_MAX - 3, 37, 200, 163, 200}, // a stored Left near the limit
        {20, 37, 200, 20, 57},            // inside: stays
    };
    for (const Case& c : cases) {
        int lo = 0, hi = 0;
        CModePaste::CenterAxis(c.lo, c.length, c.size, lo, hi);
        EXPECT_EQ(lo, c.el) << c.lo;
        EXPECT_EQ(hi, c.eh) << c.lo;
    }
}

TEST_F(ModeTest, ModeListSwitchesOnlyOnANewIdAndWrappersFollowTheCurrentMode)
{
    Start(WritePhoto(64, 48));
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_DRAG);
    EXPECT_EQ(m_frame->GetModeCursorId(), 137);
    EXPECT_EQ(m_frame->GetModeContextMenuIndex(), 1);

    CCountingMode counting;
    m_frame->AddMode(&counting);
    EXPECT_EQ(m_frame->SetMode(40001), 40001);
    EXPECT_EQ(m_frame->SetMode(40001), 40001);
    EXPECT_EQ(counting.activated, 1);
    EXPECT_EQ(counting.deactivated, 0);
    EXPECT_EQ(m_frame->GetCurrentModeId(), 40001);
    EXPECT_EQ(m_frame->GetModeCursorId(), -1);

    m_frame->SetMode(ID_EDIT_PASTE);
    EXPECT_EQ(counting.deactivated, 1);
    EXPECT_EQ(Caption(), QStringLiteral("Paste"));
    EXPECT_EQ(m_frame->GetModeContextMenuIndex(), 4);
    m_frame->SetMode(ID_EDIT_DRAG);
    EXPECT_EQ(Caption(), QStringLiteral("Edit"));

    // The table's values, mode by mode, with their captions.
    struct Row {
        int id;
        int cursor;
        const char* caption;
    };
    const Row rows[] = {{ID_EDIT_CROP, -4, "Crop"},
                        {ID_EDIT_RED_EYE, 139, "Remove Red Eye"},
                        {ID_EDIT_TEXT, -2, "Insert Text"},
                        {ID_EDIT_SELECT, -4, "Select / Copy"},
                        {ID_EDIT_PASTE, 140, "Paste"},
                        {ID_EDIT_COLOR, -1, "Brightness / Color"},
                        {ID_EDIT_RESIZE, -1, "Resize / Resample"},
                        {ID_EDIT_RECONSTRUCT, -1, "Reconstruct"}};
    for (const Row& r : rows) {
        m_frame->SetMode(r.id);
        EXPECT_EQ(m_frame->GetCurrentModeId(), r.id);
        EXPECT_EQ(m_frame->GetModeCursorId(), r.cursor) << r.id;
        EXPECT_EQ(Caption(), QString::fromUtf8(r.caption));
        EXPECT_EQ(m_frame->GetCurrentMode()->KeepsSelection(), r.id == ID_EDIT_CROP || r.id == ID_EDIT_SELECT);
    }
    m_frame->SetMode(ID_EDIT_DRAG);
    // The frame must not keep a mode that dies before it.
    m_frame->SetMode(ID_EDIT_DRAG);
}

TEST_F(ModeTest, KeysSwitchTheModeTheCheckedButtonAndThePaneCaption)
{
    Start(WritePhoto(160, 96));
    Key(Qt::Key_S);
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_SELECT);
    EXPECT_TRUE(ButtonChecked(ID_EDIT_SELECT));
    EXPECT_FALSE(ButtonChecked(ID_EDIT_DRAG));
    EXPECT_EQ(Caption(), QStringLiteral("Select / Copy"));

    QApplication::clipboard()->setImage(SmoothPicture(20, 10));
    m_app->GetCommands().UpdateAll();
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_PASTE);
    EXPECT_TRUE(ButtonChecked(ID_EDIT_PASTE));
    EXPECT_EQ(Caption(), QStringLiteral("Paste"));

    Key(Qt::Key_D);
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_DRAG);
    EXPECT_TRUE(ButtonChecked(ID_EDIT_DRAG));
    EXPECT_EQ(Caption(), QStringLiteral("Edit"));

    // R in the select mode with a selection: the mode steps out (its panel
    // goes), the selection is cancelled, the image turns, the mode returns.
    Key(Qt::Key_S);
    Drag(Client(10, 10), Client(60, 40));
    ASSERT_TRUE(m_view->IsSelectionShown());
    QSignalSpy captions(m_frame->GetModePane(), &QDockWidget::windowTitleChanged);
    Key(Qt::Key_R);
    EXPECT_EQ(m_app->m_image.GetWidth(), 96);
    EXPECT_FALSE(m_view->IsSelectionShown());
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_SELECT);
    ASSERT_EQ(captions.size(), 2);
    EXPECT_EQ(captions[0][0].toString(), QStringLiteral("Edit"));
    EXPECT_EQ(captions[1][0].toString(), QStringLiteral("Select / Copy"));
}

TEST_F(ModeTest, CopyPutsTheDraggedSelectionOnTheClipboardAsDjpegDecodesIt)
{
    const auto corpus = testjpeg::CorpusFile("syn_420_1001x667.jpg");
    if (!testjpeg::HaveTool("djpeg"))
        GTEST_SKIP() << "djpeg missing";
    const auto ppm = m_tmp / "oracle.ppm";
    ASSERT_EQ(testjpeg::Run("djpeg -dct int -nosmooth -ppm -outfile '" + ppm.string() + "' '" + corpus.string() + "'"), 0);
    const QImage oracle = ReadPpm(ppm);
    ASSERT_FALSE(oracle.isNull());

    Start(Q(corpus));
    struct Case {
        int x0, y0, x1, y1;
    };
    // Odd sizes, one pixel wide, and one dragged from the bottom right.
    const Case cases[] = {{101, 57, 338, 300}, {400, 10, 401, 211}, {620, 420, 417, 301}};
    for (const Case& c : cases) {
        EnterSelectMode();
        ASSERT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_SELECT);
        Drag(Client(c.x0, c.y0), Client(c.x1, c.y1));
        ASSERT_TRUE(m_view->IsSelectionShown());
        const QRect rect = QRect(QPoint(std::min(c.x0, c.x1), std::min(c.y0, c.y1)),
                                 QPoint(std::max(c.x0, c.x1) - 1, std::max(c.y0, c.y1) - 1));
        EXPECT_EQ(QRect(QPoint(Sel().Left, Sel().Top), QPoint(Sel().Right - 1, Sel().Bottom - 1)), rect);
        QApplication::clipboard()->clear();
        m_app->GetCommands().UpdateAll();
        Key(Qt::Key_C, Qt::ControlModifier);

        const QImage copied = QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(copied.size(), rect.size()) << c.x0;
        EXPECT_EQ(copied, oracle.copy(rect)) << c.x0;
        EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_DRAG);
        EXPECT_FALSE(m_view->IsSelectionShown());
        EXPECT_FALSE(m_view->IsTimerActive(1));
    }
}

TEST_F(ModeTest, CopyOfASelectionOutsideTheImageChangesNothing)
{
    Start(WritePhoto(64, 48));
    EnterSelectMode();
    SetSel(200, 10, 260, 30);
    m_view->SetSelectionShown(true);
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    m_frame->ApplyCurrentMode();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("kept"));
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_SELECT);
    EXPECT_TRUE(m_view->IsSelectionShown());
}

TEST_F(ModeTest, PasteCentresMovesByClickAndEditsOnlyTheBlocksItCovers)
{
    // 4:2:0, MCUs of 16 x 16: 20 x 12 of them.
    Start(WritePhoto(320, 192));
    CKsImage& image = m_app->m_image;
    const std::vector<short> before = testwin::Coefficients(image);
    const QImage picture = SmoothPicture(37, 23);
    Paste(picture);
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_PASTE);
    EXPECT_EQ(Caption(), QStringLiteral("Paste"));
    EXPECT_TRUE(m_view->IsSelectionShown());
    EXPECT_EQ((std::array{Sel().Left, Sel().Top, Sel().Right, Sel().Bottom}), (std::array{0, 0, 37, 23}));

    // A click outside the block places it there; the view does not pan.
    const int cx = m_view->CenterX(), cy = m_view->CenterY();
    const QPoint at = Client(150, 90);
    QTest::mouseMove(m_view->viewport(), at);
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseMove(m_view->viewport(), at + QPoint(0, 0));
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ((std::array{Sel().Left, Sel().Top, Sel().Right, Sel().Bottom}), (std::array{150, 90, 187, 113}));
    EXPECT_EQ(m_view->CenterX(), cx);
    EXPECT_EQ(m_view->CenterY(), cy);
    // The preview shows the block over the image, the image's bitmap untouched.
    const QImage shown = m_view->viewport()->grab().toImage();
    const QPoint inside = Client(160, 100);
    const QRgb want = picture.pixel(10, 10);
    EXPECT_LE(std::abs(qRed(shown.pixel(inside)) - qRed(want)), 1);
    const BYTE* dibPixel = image.GetDib().Row(100) + 160 * 3;
    EXPECT_NE(qRgb(dibPixel[2], dibPixel[1], dibPixel[0]), want);

    Enter();
    EXPECT_TRUE(image.GetUndoMan()->CanUndo());
    const std::vector<short> after = testwin::Coefficients(image);
    ASSERT_EQ(after.size(), before.size());
    // MCUs 9..11 across and 5..7 down hold the block; the rest stay exact.
    const int mcusX = 20, mcusY = 12;
    size_t differing = 0;
    size_t offset = 0;
    for (int comp = 0; comp < 3; ++comp) {
        const int h = comp == 0 ? 2 : 1;
        const int v = comp == 0 ? 2 : 1;
        for (int by = 0; by < mcusY * v; ++by)
            for (int bx = 0; bx < mcusX * h; ++bx, offset += 64) {
                const int mx = bx / h, my = by / v;
                const bool touched = mx >= 9 && mx <= 11 && my >= 5 && my <= 7;
                const bool same = std::equal(before.begin() + offset, before.begin() + offset + 64, after.begin() + offset);
                if (!touched) {
                    EXPECT_TRUE(same) << "component " << comp << " block " << bx << "," << by;
                }
                differing += same ? 0 : 1;
            }
    }
    EXPECT_GT(differing, 0u);

    // The block renders within the quantisation error. Its last column and
    // row share their 2 x 2 chroma samples with the image beside it, so they
    // are left out; at quality 90 a smooth block stays within 8 per channel.
    ASSERT_TRUE(image.CreateDib());
    int worst = 0;
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 36; ++x) {
            const BYTE* p = image.GetDib().Row(90 + y) + (150 + x) * 3;
            const QRgb s = picture.pixel(x, y);
            worst = std::max({worst, std::abs(p[2] - qRed(s)), std::abs(p[1] - qGreen(s)), std::abs(p[0] - qBlue(s))});
        }
    EXPECT_LE(worst, 8);

    Undo();
    EXPECT_EQ(testwin::Coefficients(image), before);
}

TEST_F(ModeTest, BlockCopiedAndPastedInPlaceChangesNoCoefficient)
{
    Start(WritePhoto(320, 192));
    CKsImage& image = m_app->m_image;
    const std::vector<short> before = testwin::Coefficients(image);
    EnterSelectMode();
    Drag(Client(48, 32), Client(112, 96));
    Key(Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(64, 64));

    SetSel(48, 32, 48, 32);
    Paste(copied);
    EXPECT_EQ((std::array{Sel().Left, Sel().Top, Sel().Right, Sel().Bottom}), (std::array{48, 32, 112, 96}));
    Enter();
    EXPECT_EQ(testwin::Coefficients(image), before);
}

TEST_F(ModeTest, WideBlockGetsANegativeLeftAndEscapeReturnsToDrag)
{
    Start(WritePhoto(200, 120));
    SetSel(30, 30, 30, 30);
    Paste(SmoothPicture(300, 20));
    EXPECT_EQ((std::array{Sel().Left, Sel().Top, Sel().Right, Sel().Bottom}), (std::array{-50, 30, 250, 50}));
    Escape();
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_DRAG);
    EXPECT_FALSE(m_view->IsSelectionShown());
    EXPECT_EQ(Caption(), QStringLiteral("Edit"));
}

TEST_F(ModeTest, Screenshots)
{
    Start(Q(testjpeg::CorpusFile("syn_420_1001x667.jpg")));
    m_view->ZoomToFit(false);
    EnterSelectMode();
    Drag(Client(200, 150), Client(620, 430));
    SaveShot("mode-select.png");
    Paste(SmoothPicture(240, 160));
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, Client(90, 80));
    SaveShot("mode-paste.png");
    EXPECT_EQ(m_frame->size(), QSize(1280, 800));
}

} // namespace
