// The image view: zoom steps, fitting, scroll bars, painting, selection on
// the MCU grid, keys, wheel and dropped files. Offscreen, with the real
// library next to the test program.
#include "ChildView.h"
#include "ProgramWindow.h"
#include "CommandIds.h"
#include "JPEGlib.h"
#include "KsImage.h"
#include "TestJpeg.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Records what the view asks of the frame and the modes.
class RecordingHost : public CViewHost {
public:
    int RedEyeCount() const override { return eyes; }
    int CropRuleKind() const override { return ruleKind; }
    void SendCommand(int id) override
    {
        commands.push_back(id);
        // The mode commands make their mode current, as the frame will.
        if (id == ID_EDIT_SELECT || id == ID_EDIT_CROP || id == ID_EDIT_DRAG)
            SetModeId(id);
    }
    void ShowContextMenu(int index, QPoint) override { menus.push_back(index); }
    void OpenDroppedFile(const QString& path) override { dropped << path; }

    int eyes = 0;
    int ruleKind = -1;
    std::vector<int> commands;
    std::vector<int> menus;
    QStringList dropped;
};

// A picture of four flat quadrants, so any zoom shows known colours.
testjpeg::Pixels Quadrants(int w, int h)
{
    testjpeg::Pixels p;
    p.width = w;
    p.height = h;
    p.data.resize(static_cast<size_t>(w) * h * 3);
    const uint8_t colors[4][3] = {{200, 30, 30}, {30, 200, 30}, {30, 30, 200}, {220, 220, 40}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* c = colors[(y >= h / 2) * 2 + (x >= w / 2)];
            std::copy(c, c + 3, p.row(y) + x * 3);
        }
    return p;
}

class ChildViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_lib.IsLoaded()) << m_lib.GetLoadError().toStdString();
        m_image = std::make_unique<CKsImage>(m_lib);
        m_view = std::make_unique<CChildView>(nullptr, &m_host);
        m_host.Settings().ScaleOnOpen = 2;
        m_host.Settings().BackgroundColor = 0x0000FF; // red, as a COLORREF
    }
    void TearDown() override
    {
        m_view.reset();
        m_image.reset();
    }

    // Opens a JPEG of these pixels (4:2:0 unless told: 16 x 16 MCUs) in the view.
    void Open(const testjpeg::Pixels& pixels, std::vector<std::pair<int, int>> sampling = {{2, 2}, {1, 1}, {1, 1}})
    {
        const auto path = m_tmp / "photo.jpg";
        ASSERT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(pixels, testjpeg::Sampled(92, sampling))));
        ASSERT_EQ(m_image->Load(QString::fromStdString(path.string()), 1), 1);
        m_view->AttachImage(m_image.get());
    }
    void Open(int w, int h) { Open(testjpeg::MakePattern(w, h)); }

    // Shows the view with a client area (bars hidden) of w x h.
    void Show(int w, int h)
    {
        const int frame = 2 * m_view->frameWidth();
        m_view->resize(w + frame, h + frame);
        m_view->show();
        QCoreApplication::processEvents();
    }

    QImage Grab() { return m_view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRgb Dib(int x, int y) const
    {
        const BYTE* p = m_image->GetDib().Row(y) + x * 3;
        return qRgb(p[2], p[1], p[0]);
    }
    QPoint Client(int x, int y) const { return testwin::ClientPoint(*m_view, x, y); }
    void Drag(QPoint from, QPoint to) { testwin::Drag(*m_view, from, to); }
    void Wheel(int delta, Qt::KeyboardModifiers mods)
    {
        const QPointF pos(10, 10);
        QWheelEvent e(pos, m_view->viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_view->viewport(), &e);
    }
    void SetSelection(int l, int t, int r, int b)
    {
        SetSelectionRect(m_host.Selection(), l, t, r, b);
        m_view->SetSelectionShown(true);
    }
    void ExpectSelection(int l, int t, int r, int b)
    {
        const CropParams& s = m_host.Selection();
        EXPECT_EQ(s.Left, l);
        EXPECT_EQ(s.Top, t);
        EXPECT_EQ(s.Right, r);
        EXPECT_EQ(s.Bottom, b);
    }

    testjpeg::TempDir m_tmp;
    CJPEGlib m_lib;
    RecordingHost m_host;
    std::unique_ptr<CKsImage> m_image;
    std::unique_ptr<CChildView> m_view;
};

TEST_F(ChildViewTest, ZoomStepsWalkTheTableAndStopAtItsEnds)
{
    Show(200, 150);
    Open(64, 48);
    EXPECT_EQ(m_view->Zoom(), 256u);
    EXPECT_EQ(m_view->ZoomIndex(), 9);
    for (int i = 8; i >= 0; --i) {
        m_view->ZoomOut();
        EXPECT_EQ(m_view->ZoomIndex(), i);
        EXPECT_EQ(m_view->Zoom(), kZoomTable[i]);
    }
    EXPECT_FALSE(m_view->CanZoom(false));
    m_view->ZoomOut();
    EXPECT_EQ(m_view->Zoom(), 8u);
    for (int i = 1; i < 20; ++i) {
        m_view->ZoomIn();
        EXPECT_EQ(m_view->Zoom(), kZoomTable[i]);
        EXPECT_EQ(m_view->GetZoomedWidth(), 64 * static_cast<int>(kZoomTable[i]) / 256);
    }
    EXPECT_FALSE(m_view->CanZoom(true));
    m_view->ZoomIn();
    EXPECT_EQ(m_view->Zoom(), 12800u);
    m_view->SetZoomIndex(20); // out of range: ignored
    EXPECT_EQ(m_view->ZoomIndex(), 19);
    m_view->ZoomActual();
    EXPECT_EQ(m_view->Zoom(), 256u);
    EXPECT_EQ(m_view->ZoomIndex(), 9);
}

struct FitCase {
    int imageW, imageH, clientW, clientH;
    unsigned fit, in, out;
};

class ChildViewFitTest : public ChildViewTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(ChildViewFitTest, FreeZoomStepsToTheNearestTableEntries)
{
    const FitCase c = GetParam();
    Show(c.clientW, c.clientH);
    Open(c.imageW, c.imageH);
    m_view->ZoomToFit(false);
    EXPECT_EQ(m_view->Zoom(), c.fit);
    EXPECT_EQ(m_view->ZoomIndex(), -1);
    EXPECT_TRUE(m_view->CanZoom(true));
    EXPECT_TRUE(m_view->CanZoom(false));
    m_view->ZoomIn();
    EXPECT_EQ(m_view->Zoom(), c.in);
    m_view->ZoomToFit(false);
    m_view->ZoomOut();
    EXPECT_EQ(m_view->Zoom(), c.out);
}

INSTANTIATE_TEST_SUITE_P(Fits, ChildViewFitTest,
                         ::testing::Values(FitCase{400, 240, 200, 120, 128, 128, 85}, // exactly a step
                                           FitCase{300, 200, 200, 120, 153, 170, 128},
                                           FitCase{32, 32, 400, 300, 2400, 2560, 1792})); // small images grow

TEST_F(ChildViewTest, FitOnOpenShrinksOnlyAndNeverReachesZero)
{
    m_host.Settings().ScaleOnOpen = 1;
    Show(200, 150);
    Open(64, 48); // fits: shown at 100 %
    EXPECT_EQ(m_view->Zoom(), 256u);
    Open(640, 480);
    EXPECT_EQ(m_view->Zoom(), 80u); // 150 * 256 / 480
    EXPECT_EQ(m_view->ZoomIndex(), -1);

    Show(4, 4);
    ASSERT_LT(m_view->viewport()->width() * 256 / 640, 1);
    m_view->ZoomToFit(false);
    EXPECT_EQ(m_view->Zoom(), 1u);
}

TEST_F(ChildViewTest, ActualSizeShowsPixelsOneToOneCentredOnTheCanvas)
{
    Show(200, 150);
    Open(96, 64);
    EXPECT_FALSE(m_view->horizontalScrollBar()->isVisibleTo(m_view.get()));
    EXPECT_FALSE(m_view->verticalScrollBar()->isVisibleTo(m_view.get()));
    EXPECT_EQ(m_view->OriginX(), (200 - 96) / 2);
    EXPECT_EQ(m_view->OriginY(), (150 - 64) / 2);
    const QImage shot = Grab();
    for (const QPoint p : {QPoint(0, 0), QPoint(95, 63), QPoint(17, 41), QPoint(80, 5)})
        EXPECT_EQ(shot.pixel(Client(p.x(), p.y())), Dib(p.x(), p.y())) << p.x() << "," << p.y();
    // The canvas around it in the background colour.
    EXPECT_EQ(shot.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(199, 149), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(Client(0, 0) - QPoint(1, 0)), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(Client(96, 64)), qRgb(255, 0, 0));
}

TEST_F(ChildViewTest, FitShowsTheWholeImage)
{
    m_host.Settings().ScaleOnOpen = 1;
    Show(330, 240);
    Open(Quadrants(640, 480));
    ASSERT_EQ(m_view->Zoom(), 128u);
    EXPECT_EQ(m_view->OriginX(), 5);
    EXPECT_EQ(m_view->OriginY(), 0);
    const QImage shot = Grab();
    // Every corner of the picture shows its quadrant; the sides are canvas.
    EXPECT_EQ(shot.pixel(5, 0), Dib(0, 0));
    EXPECT_EQ(shot.pixel(324, 0), Dib(639, 0));
    EXPECT_EQ(shot.pixel(5, 239), Dib(0, 479));
    EXPECT_EQ(shot.pixel(324, 239), Dib(639, 479));
    EXPECT_EQ(shot.pixel(4, 120), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(325, 120), qRgb(255, 0, 0));
}

struct BarCase {
    int imageW, imageH;
    bool horizontal, vertical;
};

class ChildViewBarTest : public ChildViewTest, public ::testing::WithParamInterface<BarCase> {};

TEST_P(ChildViewBarTest, BarsShowOnlyWhereTheImageIsLarger)
{
    const BarCase c = GetParam();
    Show(300, 200);
    Open(c.imageW, c.imageH);
    EXPECT_EQ(m_view->horizontalScrollBar()->isVisibleTo(m_view.get()), c.horizontal);
    EXPECT_EQ(m_view->verticalScrollBar()->isVisibleTo(m_view.get()), c.vertical);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChildViewBarTest,
                         ::testing::Values(BarCase{96, 64, false, false}, BarCase{640, 100, true, false},
                                           BarCase{100, 480, false, true}, BarCase{640, 480, true, true}));

TEST_F(ChildViewTest, ScrollingReachesEveryCornerInItsSteps)
{
    Show(300, 200);
    Open(640, 480);
    QScrollBar* h = m_view->horizontalScrollBar();
    QScrollBar* v = m_view->verticalScrollBar();
    const int cw = m_view->viewport()->width();
    const int ch = m_view->viewport()->height();

    h->triggerAction(QAbstractSlider::SliderToMaximum);
    v->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(h->value(), 640 - cw);
    EXPECT_EQ(v->value(), 480 - ch);
    QImage shot = Grab();
    EXPECT_EQ(shot.pixel(cw - 1, ch - 1), Dib(639, 479));
    EXPECT_EQ(shot.pixel(0, 0), Dib(640 - cw, 480 - ch));

    h->triggerAction(QAbstractSlider::SliderToMinimum);
    v->triggerAction(QAbstractSlider::SliderToMinimum);
    shot = Grab();
    EXPECT_EQ(shot.pixel(0, 0), Dib(0, 0));
    EXPECT_EQ(shot.pixel(cw - 1, ch - 1), Dib(cw - 1, ch - 1));

    // Line 8, page 16, arrow keys 16, the wheel 16 image pixels.
    h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(h->value(), 8);
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(h->value(), 24);
    h->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(h->value(), 16);
    QTest::keyClick(m_view.get(), Qt::Key_Right);
    EXPECT_EQ(h->value(), 32);
    Wheel(-120, Qt::NoModifier);
    EXPECT_EQ(v->value(), 16);
    Wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(h->value(), 48);
    Wheel(120, Qt::NoModifier);
    Wheel(120, Qt::NoModifier);
    EXPECT_EQ(v->value(), 0); // held at the start
    EXPECT_EQ(Grab().pixel(0, 0), Dib(48, 0));

    // Zooming keeps the same point in the centre.
    const int centre = m_view->CenterX();
    m_view->ZoomIn(); // 384
    EXPECT_EQ(m_view->CenterX(), centre * 384 / 256);
}

TEST_F(ChildViewTest, ZoomToSelectionFramesTheSelectionAndIgnoresAnEmptyOne)
{
    Show(400, 300);
    Open(640, 480);
    m_host.SetModeId(ID_EDIT_SELECT);
    SetSelection(100, 60, 0, 10); // reversed: normalised first
    m_view->ZoomToSelection();
    ExpectSelection(0, 10, 100, 60);
    const int cw = m_view->viewport()->width();
    const int ch = m_view->viewport()->height();
    EXPECT_EQ(m_view->Zoom(), static_cast<unsigned>(std::min(ch * 256 / 50, cw * 256 / 100)));
    EXPECT_EQ(m_view->ZoomIndex(), -1);

    // A selection inside the image ends up in the middle of the view.
    SetSelection(300, 150, 400, 200);
    m_view->ZoomToSelection();
    const int zoom = static_cast<int>(m_view->Zoom());
    EXPECT_EQ(zoom, std::min(ch * 256 / 50, cw * 256 / 100));
    EXPECT_NEAR(m_view->CenterX(), zoom * 350 / 256, 1);
    EXPECT_NEAR(m_view->CenterY(), zoom * 175 / 256, 1);
    EXPECT_EQ(m_view->horizontalScrollBar()->value(), m_view->CenterX() - cw / 2);

    m_view->ZoomActual();
    for (CropRect empty : {CropRect{10, 10, 10, 50}, CropRect{10, 10, 60, 10}}) {
        SetSelection(empty.left, empty.top, empty.right, empty.bottom);
        m_view->ZoomToSelection();
        EXPECT_EQ(m_view->Zoom(), 256u);
    }
    SetSelection(5, 5, 6, 6); // one pixel: the largest step
    m_view->ZoomToSelection();
    EXPECT_EQ(m_view->Zoom(), 12800u);
    m_host.SetModeId(ID_EDIT_CROP); // only the select mode zooms to its selection
    m_view->ZoomActual();
    m_view->ZoomToSelection();
    EXPECT_EQ(m_view->Zoom(), 256u);
}

struct AlignCase {
    int mode, alignEnd;
    CropRect in, out;
};

class ChildViewAlignTest : public ChildViewTest, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(ChildViewAlignTest, SnapsToTheMcuGrid)
{
    const AlignCase c = GetParam();
    Show(300, 200);
    Open(128, 96);
    ASSERT_EQ(m_view->McuWidth(), 16);
    m_host.SetModeId(c.mode);
    m_host.CropOptions().AlignSelectionByBlockSE = c.alignEnd;
    SetSelectionRect(m_host.Selection(), c.in.left, c.in.top, c.in.right, c.in.bottom);
    m_view->AlignSelection();
    ExpectSelection(c.out.left, c.out.top, c.out.right, c.out.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChildViewAlignTest,
    ::testing::Values(AlignCase{ID_EDIT_CROP, 0, {13, 21, 70, 50}, {16, 16, 70, 50}},   // start to the nearer line
                      AlignCase{ID_EDIT_CROP, 1, {13, 21, 70, 50}, {16, 16, 64, 48}},   // the end too
                      // An end never rounds up onto the image's edge, only stays on it.
                      AlignCase{ID_EDIT_CROP, 1, {3, 5, 75, 90}, {0, 0, 80, 80}},
                      AlignCase{ID_EDIT_CROP, 1, {3, 5, 75, 96}, {0, 0, 80, 96}},
                      AlignCase{ID_EDIT_CROP, 0, {16, 32, 16, 32}, {16, 32, 32, 48}},   // never empty
                      AlignCase{ID_EDIT_CROP, 0, {125, 0, 127, 10}, {112, 0, 127, 10}}, // no line past the edge
                      AlignCase{ID_EDIT_CROP, 0, {0, -13, 50, 40}, {0, -16, 50, 40}},   // outside the image
                      // Exactly half an MCU off: back to the line before; one more: on to the next.
                      AlignCase{ID_EDIT_CROP, 1, {24, 40, 72, 56}, {16, 32, 64, 48}},
                      AlignCase{ID_EDIT_CROP, 1, {25, 41, 73, 57}, {32, 48, 80, 64}},
                      AlignCase{ID_EDIT_CROP, 0, {-8, -24, 50, 40}, {0, -16, 50, 40}},
                      AlignCase{ID_EDIT_SELECT, 1, {13, 21, 70, 50}, {13, 21, 70, 50}}, // selecting is free
                      AlignCase{ID_EDIT_PASTE, 1, {13, 21, 70, 50}, {13, 21, 70, 50}}));

class ChildViewDragTest : public ChildViewTest, public ::testing::WithParamInterface<int> {};

TEST_P(ChildViewDragTest, DrawnSelectionSnapsToTheGrid)
{
    const int alignEnd = GetParam();
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_CROP);
    m_host.CropOptions().AlignSelectionByBlockSE = alignEnd;
    Drag(Client(13, 21), Client(70, 50));
    EXPECT_TRUE(m_view->IsSelectionShown());
    EXPECT_FALSE(m_view->IsDragging());
    if (alignEnd)
        ExpectSelection(16, 16, 64, 48);
    else
        ExpectSelection(16, 16, 70, 50);
}

INSTANTIATE_TEST_SUITE_P(EndAlignment, ChildViewDragTest, ::testing::Values(0, 1));

TEST_F(ChildViewTest, MovedSelectionStopsAtTheEdgeUntilThePointerComesBack)
{
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_CROP);
    m_host.CropOptions().AllowOutwardSel = 0;
    SetSelection(32, 32, 64, 64);
    QWidget* vp = m_view->viewport();
    QTest::mouseMove(vp, Client(48, 48));
    EXPECT_EQ(m_view->GetHandle(), 0);
    QTest::mousePress(vp, Qt::LeftButton, {}, Client(48, 48));
    QTest::mouseMove(vp, Client(-2, 48));
    ExpectSelection(0, 32, 32, 64);
    QTest::mouseMove(vp, Client(10, 48)); // still left of where it stopped
    ExpectSelection(0, 32, 32, 64);
    QTest::mouseMove(vp, Client(20, 48));
    ExpectSelection(4, 32, 36, 64);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, Client(20, 48));
    ExpectSelection(0, 32, 32, 64); // snapped, size kept
}

struct HandleCase {
    QPoint at;
    int ruleKind, handle;
};

class ChildViewHandleTest : public ChildViewTest, public ::testing::WithParamInterface<HandleCase> {};

TEST_P(ChildViewHandleTest, PointerNearEdgesFindsHandles)
{
    const HandleCase c = GetParam();
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_CROP);
    m_host.ruleKind = c.ruleKind;
    SetSelection(32, 32, 96, 80);
    // A move to where the pointer already is delivers nothing: a case before
    // may have left it on this point, so it goes away first.
    QWidget* vp = m_view->viewport();
    QTest::mouseMove(vp, QPoint(vp->width() - 1, vp->height() - 1));
    QTest::mouseMove(vp, Client(c.at.x(), c.at.y()));
    EXPECT_EQ(m_view->GetHandle(), c.handle);
}

INSTANTIATE_TEST_SUITE_P(Points, ChildViewHandleTest,
                         ::testing::Values(HandleCase{{95, 50}, -1, 2}, HandleCase{{33, 33}, -1, 8},
                                           HandleCase{{95, 79}, -1, 6}, HandleCase{{33, 79}, -1, 7},
                                           HandleCase{{60, 78}, -1, 3}, HandleCase{{60, 60}, -1, 0},
                                           HandleCase{{95, 79}, 0, 2}, HandleCase{{33, 33}, 0, 1},
                                           HandleCase{{95, 50}, 1, 0}));

TEST_F(ChildViewTest, ClickWithoutDragRemovesTheSelection)
{
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_SELECT);
    SetSelection(10, 10, 40, 40);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, Client(80, 60));
    EXPECT_FALSE(m_view->IsSelectionShown());
}

TEST_F(ChildViewTest, PaintedSelectionOutline)
{
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_CROP);
    SetSelection(16, 16, 64, 48);
    const QPoint tl = Client(16, 16);
    const QPoint br = Client(64, 48);

    m_host.CropOptions().RunningAnts = 0;
    QImage shot = Grab();
    EXPECT_EQ(shot.pixel(tl.x() + 5, tl.y()), qRgb(160, 160, 160));
    EXPECT_EQ(shot.pixel(tl.x(), tl.y() + 5), qRgb(160, 160, 160));
    EXPECT_EQ(shot.pixel(tl.x() + 5, br.y() - 2), qRgb(160, 160, 160));
    EXPECT_EQ(shot.pixel(tl.x() + 20, tl.y() + 20), Dib(36, 36));

    // Marching outline: from phase 6, one black pixel, three white, four black.
    m_host.CropOptions().RunningAnts = 1;
    shot = Grab();
    const QRgb b = qRgb(0, 0, 0);
    const QRgb w = qRgb(255, 255, 255);
    const QRgb expected[] = {b, w, w, w, b, b, b, b, w, w, w};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(shot.pixel(tl.x() + i, tl.y()), expected[i]) << i;
    EXPECT_EQ(shot.pixel(tl.x() + 20, tl.y() + 20), Dib(36, 36));
}

TEST_F(ChildViewTest, OutwardCropSelectionBeyondTheImageShowsTheCanvasColour)
{
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_CROP);
    m_host.CropOptions().CanvasColor = 0x00FF00; // green
    SetSelection(-32, 16, 64, 48);
    const QImage shot = Grab();
    EXPECT_EQ(shot.pixel(Client(-16, 30)), qRgb(0, 255, 0));
    EXPECT_EQ(shot.pixel(Client(-16, 60)), qRgb(255, 0, 0));
}

TEST_F(ChildViewTest, ZKeyHeldSelectsThenZoomsAndReturns)
{
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_CROP);
    QTest::keyPress(m_view.get(), Qt::Key_Z);
    EXPECT_EQ(m_host.commands, std::vector<int>{ID_EDIT_SELECT});
    QTest::mouseClick(m_view->viewport(), Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_TRUE(m_host.menus.empty()); // no menu while Z is held
    QTest::keyRelease(m_view.get(), Qt::Key_Z);
    EXPECT_EQ(m_host.commands, (std::vector<int>{ID_EDIT_SELECT, ID_VIEW_ZOOM_SELECTION, ID_EDIT_CROP}));
    QTest::mouseClick(m_view->viewport(), Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(m_host.menus, std::vector<int>{1});

    // Let go with Ctrl held: no zoom, no return.
    m_host.commands.clear();
    QTest::keyPress(m_view.get(), Qt::Key_Z);
    QTest::keyRelease(m_view.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(m_host.commands, std::vector<int>{ID_EDIT_SELECT});

    // Ctrl+Z that no enabled command took is not the Z key.
    m_host.commands.clear();
    m_host.SetModeId(ID_EDIT_CROP);
    QTest::keyPress(m_view.get(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyRelease(m_view.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(m_host.commands.empty());
}

// A space bar let go while the view had no focus does not leave it panning.
TEST_F(ChildViewTest, HeldKeysAreForgottenWhenTheFocusGoes)
{
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_CROP);
    QTest::keyPress(m_view.get(), Qt::Key_Space);
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(m_view.get(), &out);
    Drag(Client(10, 10), Client(70, 60));
    EXPECT_TRUE(m_view->IsSelectionShown());
}

TEST_F(ChildViewTest, ArrowKeysMoveTheSelectionByWholeMcus)
{
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_CROP);
    m_host.CropOptions().AllowOutwardSel = 0;
    SetSelection(16, 16, 48, 48);
    QTest::keyClick(m_view.get(), Qt::Key_Left);
    ExpectSelection(0, 16, 32, 48);
    QTest::keyClick(m_view.get(), Qt::Key_Left); // would leave the image
    ExpectSelection(0, 16, 32, 48);
    QTest::keyClick(m_view.get(), Qt::Key_Down);
    ExpectSelection(0, 32, 32, 64);
}

TEST_F(ChildViewTest, ShiftWheelKeepsTheRedEyeRadiusInItsRange)
{
    Show(300, 200);
    Open(128, 96);
    m_host.SetModeId(ID_EDIT_RED_EYE);
    m_host.eyes = 1;
    m_view->SetRedEyeMarked(true);
    m_host.SetRedEyeRadius(49);
    for (int i = 0; i < 3; ++i)
        Wheel(120, Qt::ShiftModifier);
    EXPECT_EQ(m_host.RedEyeRadius(), kRedEyeRadiusMax);
    m_host.SetRedEyeRadius(2);
    for (int i = 0; i < 3; ++i)
        Wheel(-120, Qt::ShiftModifier);
    EXPECT_EQ(m_host.RedEyeRadius(), kRedEyeRadiusMin);

    // Ctrl and Shift zoom instead.
    Wheel(120, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(m_view->Zoom(), 384u);
    Wheel(-120, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(m_view->Zoom(), 256u);
}

TEST_F(ChildViewTest, ImageNotificationsReachTheSelection)
{
    Show(300, 200);
    Open(testjpeg::MakePattern(128, 96), {{2, 1}, {1, 1}, {1, 1}});
    EXPECT_EQ(m_view->McuWidth(), 16);
    EXPECT_EQ(m_view->McuHeight(), 8);
    SetSelection(1, 2, 3, 4);
    m_view->SwapDimensions();
    EXPECT_EQ(m_view->McuWidth(), 8);
    EXPECT_EQ(m_view->McuHeight(), 16);
    ExpectSelection(2, 1, 4, 3);
    m_view->OnImageChanged();
    EXPECT_FALSE(m_view->IsSelectionShown());

    m_view->AttachImage(nullptr);
    EXPECT_EQ(m_view->GetZoomedWidth(), 0);
    EXPECT_EQ(Grab().pixel(150, 100), qRgb(255, 0, 0));
}

TEST_F(ChildViewTest, OnlyTheFirstDroppedFileOpens)
{
    Show(300, 200);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/a b.jpg"), QUrl::fromLocalFile("/tmp/c.jpg")});
    // A drop reaches only the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_view->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_view->viewport(), &drop);
    EXPECT_EQ(m_host.dropped, QStringList{"/tmp/a b.jpg"});
}

TEST_F(ChildViewTest, EachModeTimerStopsTheOthers)
{
    m_view->StartSelectionTimer();
    EXPECT_TRUE(m_view->IsTimerActive(1));
    m_view->StartRedEyeTimer();
    EXPECT_FALSE(m_view->IsTimerActive(1));
    EXPECT_TRUE(m_view->IsTimerActive(2));
    m_view->StartTextTimer();
    EXPECT_FALSE(m_view->IsTimerActive(2));
    EXPECT_TRUE(m_view->IsTimerActive(3));
    m_view->StopTimers();
    EXPECT_FALSE(m_view->IsTimerActive(3));
}

} // namespace
