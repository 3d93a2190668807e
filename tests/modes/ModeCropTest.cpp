// The crop mode through the real frame, view and library: starting
// positions, rules under the mouse, "Crop now" against jpegtran and its undo,
// fading and the canvas in grabs, guide lines where their formulas put them,
// the print-quality pane, the presets in the profile, "-mc", and the faults
// mended (sizes, refused rules, the crop reference, clipped guide lines).
#include "ChildView.h"
#include "CommandIds.h"
#include "CropPresets.h"
#include "CustomStatusBar.h"
#include "DashedLine.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "ModeCrop.h"
#include "OperCrop.h"
#include "PixmendApp.h"
#include "ProgramWindow.h"
#include "Profile.h"
#include "ScopedConfigHome.h"
#include "TestJpeg.h"

#include "platform/LineDDA.h"

#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

QString RuleText(int kind, double w, double h, const char* name, int units)
{
    CropRule rule;
    rule.kind = kind;
    rule.width = w;
    rule.height = h;
    rule.name = QString::fromUtf8(name);
    rule.units = units;
    return rule.Format();
}

class ModeCropTest : public testwin::ProgramTest {
protected:
    QString WritePhoto(const char* name, int w, int h)
    {
        const auto path = m_tmp / name;
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(w, h),
                                                               testjpeg::Sampled(90, {{2, 2}, {1, 1}, {1, 1}}))));
        return Q(path);
    }
    // Starts the program with `args`, without the browser, in a 1280 x 800
    // window at 100 %; outward selections off.
    void Start(const QStringList& args)
    {
        m_frame = testwin::StartProgram(m_app, QStringList{QStringLiteral("-nb")} + args);
        ASSERT_NE(m_frame, nullptr);
        m_view = m_frame->GetView();
        m_view->setFocus();
        Crop().RunningAnts = 0;
        Crop().AllowOutwardSel = 0;
        m_app->GetCommands().UpdateAll();
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QTest::keyClick(m_frame->windowHandle(), key, mods);
        QCoreApplication::processEvents();
        m_app->GetCommands().UpdateAll();
    }
    CropParams& Crop() { return m_app->m_operCrop.Params(); }
    CModeCrop& Mode() { return m_frame->GetCropMode(); }
    void SetSel(int l, int t, int r, int b)
    {
        SetSelectionRect(Crop(), l, t, r, b);
        m_view->SetSelectionShown(true);
        m_view->UpdateView(true);
    }
    QRect Sel() { return QRect(QPoint(Crop().Left, Crop().Top), QPoint(Crop().Right - 1, Crop().Bottom - 1)); }
    QPoint Client(int x, int y) const { return testwin::ClientPoint(*m_view, x, y); }
    void Drag(QPoint from, QPoint to)
    {
        QWidget* vp = m_view->viewport();
        QTest::mouseMove(vp, from);
        QTest::mousePress(vp, Qt::LeftButton, {}, from);
        QTest::mouseMove(vp, (from + to) / 2);
        QTest::mouseMove(vp, to);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
        m_app->GetCommands().UpdateAll();
    }
    // The preset chosen as the panel chooses it.
    void ChoosePreset(const QString& text)
    {
        theCropPresets.AddUnique(text);
        Crop().CropPreset = text;
        Mode().OnPresetChanged();
        m_app->GetCommands().UpdateAll();
    }
    QImage Grab() { return m_view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // The image's own display pixel (x, y), optionally halved.
    QRgb Dib(int x, int y, bool halved = false)
    {
        const BYTE* p = m_app->m_image.GetDib().Row(y) + x * 3;
        const int s = halved ? 1 : 0;
        return qRgb(p[2] >> s, p[1] >> s, p[0] >> s);
    }
    // Every image pixel of the visible grab is the image's own inside `inside`
    // and exactly halved outside it (sampled every `step` pixels).
    void ExpectFaded(const QRect& inside, int step = 3)
    {
        const QImage shot = Grab();
        for (int y = 1; y < m_app->m_image.GetHeight() - 1; y += step)
            for (int x = 1; x < m_app->m_image.GetWidth() - 1; x += step) {
                // The outline sits on the selection's edges.
                if (std::abs(x - inside.left()) < 3 || std::abs(x - inside.right() - 1) < 3 ||
                    std::abs(y - inside.top()) < 3 || std::abs(y - inside.bottom() - 1) < 3)
                    continue;
                ASSERT_EQ(shot.pixel(Client(x, y)), Dib(x, y, !inside.contains(x, y))) << x << "," << y;
            }
    }
};

TEST_F(ModeCropTest, StartingPositionsAndRulesUnderTheMouse)
{
    Start({WritePhoto("a.jpg", 400, 240)});

    // "Center", free crop: the previous rectangle moves to the MCU line
    // nearest the centre ((400 - 100) / 2 = 150 -> 144, (240 - 80) / 2 = 80).
    Crop().Position = 2;
    SetSelectionRect(Crop(), 5, 7, 105, 87);
    Key(Qt::Key_C);
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_CROP);
    EXPECT_EQ(m_frame->GetModePane()->windowTitle(), QStringLiteral("Crop"));
    EXPECT_TRUE(m_view->IsSelectionShown());
    EXPECT_EQ(Sel(), QRect(144, 80, 100, 80));

    // "None": nothing until the user draws.
    Key(Qt::Key_D);
    Crop().Position = 0;
    Key(Qt::Key_C);
    EXPECT_FALSE(m_view->IsSelectionShown());
    Drag(Client(20, 20), Client(90, 70));
    EXPECT_TRUE(m_view->IsSelectionShown());

    // A 4:3 rule: the whole image fitted (320 x 240), centred; pulling the
    // right edge in makes the height follow the width.
    Crop().Position = 2;
    ChoosePreset(theCropPresets.GetPresetText(15)); // 4:3 (Monitor)
    ASSERT_EQ(Mode().GetCurrentRule()->name, QStringLiteral("4:3 (Monitor)"));
    EXPECT_EQ(Sel(), QRect(32, 0, 320, 240));
    EXPECT_EQ(m_frame->GetModeContextMenuIndex(), 2);
    Drag(Client(350, 120), Client(298, 120));
    EXPECT_EQ(Crop().Right, 300);
    EXPECT_EQ(Crop().Bottom - Crop().Top, 201); // 268 * 3 / 4

    // 640 x 480 pixels does not fit here; on a larger photo the rule offers
    // no handle, and a drag on the right edge moves the selection.
    m_app->OpenImage(WritePhoto("b.jpg", 768, 576), 1);
    ChoosePreset(theCropPresets.GetPresetText(12));
    EXPECT_EQ(Sel(), QRect(64, 48, 640, 480));
    QTest::mouseMove(m_view->viewport(), Client(702, 300));
    EXPECT_EQ(m_view->GetHandle(), 0);
    Drag(Client(702, 300), Client(670, 300));
    EXPECT_EQ(Sel(), QRect(32, 48, 640, 480));

    // Esc hides it; the context menu falls back to "Default".
    Key(Qt::Key_Escape);
    EXPECT_FALSE(m_view->IsSelectionShown());
    EXPECT_EQ(m_frame->GetModeContextMenuIndex(), 1);
}

// A stored preset text that names no listed rule is free crop everywhere;
// one that spells a listed rule another way is that rule everywhere.
TEST_F(ModeCropTest, AStoredPresetIsTheListedRuleItSpellsOrFreeCrop)
{
    Start({WritePhoto("a.jpg", 400, 240)});
    Crop().Position = 2;
    Crop().AlignSelectionByBlockSE = 1;
    Crop().AutoFlipAspect = 0;
    const QString listed = theCropPresets.GetPresetText(15); // 4:3 (Monitor)
    QString otherSpelling = listed;
    otherSpelling.replace(QStringLiteral("4.00;3.00"), QStringLiteral("4;3.0"));
    ASSERT_NE(otherSpelling, listed);
    for (const QString& text : {QStringLiteral("junk;;"), QStringLiteral("0;6.00;4.00;Gone;2"), otherSpelling}) {
        SCOPED_TRACE(text.toStdString());
        const bool rule = text == otherSpelling;
        Key(Qt::Key_D);
        Crop().CropPreset = text;
        SetSelectionRect(Crop(), 5, 7, 105, 87);
        Key(Qt::Key_C);
        ASSERT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_CROP);
        EXPECT_EQ(Mode().GetCurrentRule() != nullptr, rule);
        if (rule) {
            EXPECT_EQ(Sel(), QRect(32, 0, 320, 240));
        } else {
            EXPECT_EQ(Sel(), QRect(144, 80, 100, 80));
            // Free crop aligns the far edges too, to the nearest MCU line.
            SetSel(20, 20, 91, 71);
            m_view->AlignSelection();
            EXPECT_EQ(Sel(), QRect(16, 16, 80, 48));
        }
    }
}

TEST_F(ModeCropTest, CropNowMatchesJpegtranAndUndoShowsTheSelectionAgain)
{
    if (!testjpeg::HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran is not installed";
    const QString photo = WritePhoto("a.jpg", 320, 240);
    Start({photo});
    Crop().Position = 1;
    Key(Qt::Key_C);
    Drag(Client(16, 32), Client(112, 96));
    ASSERT_EQ(Sel(), QRect(16, 32, 96, 64));
    const std::vector<short> original = testwin::Coefficients(m_app->m_image);

    // The crop cuts what is shown, whatever the reference held.
    CropReferenceRect = CropRect{1, 1, 2, 2};
    Key(Qt::Key_Return);
    EXPECT_EQ(m_app->m_image.GetWidth(), 96);
    EXPECT_EQ(m_app->m_image.GetHeight(), 64);
    const auto ours = m_tmp / "ours.jpg";
    const auto theirs = m_tmp / "theirs.jpg";
    ASSERT_TRUE(m_app->m_image.Save(Q(ours)));
    m_app->m_image.SetPath(photo);
    ASSERT_EQ(testjpeg::Run("jpegtran -copy none -crop 96x64+16+32 -outfile '" + theirs.string() + "' '" +
                            photo.toStdString() + "'"),
              0);
    const auto a = testjpeg::ReadCoefficients(testjpeg::ReadFile(ours));
    const auto b = testjpeg::ReadCoefficients(testjpeg::ReadFile(theirs));
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    ASSERT_EQ(a.components.size(), b.components.size());
    for (size_t c = 0; c < a.components.size(); ++c)
        EXPECT_TRUE(a.components[c].blocks == b.components[c].blocks) << c;

    const std::vector<short> cropped = testwin::Coefficients(m_app->m_image);

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(testwin::Coefficients(m_app->m_image), original);
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_CROP);
    EXPECT_TRUE(m_view->IsSelectionShown());
    EXPECT_EQ(Sel(), QRect(16, 32, 96, 64));

    // With the aspect flipped the reference is kept turned; the crop still
    // cuts the selection as shown.
    Crop().AutoFlipAspect = 0;
    Crop().FlipAspect = 1;
    Key(Qt::Key_Return);
    EXPECT_EQ(m_app->m_image.GetWidth(), 96);
    EXPECT_EQ(m_app->m_image.GetHeight(), 64);
    EXPECT_EQ(testwin::Coefficients(m_app->m_image), cropped);
}

TEST_F(ModeCropTest, FadingOutsideTheSelectionAndTheCanvas)
{
    Start({WritePhoto("a.jpg", 320, 240)});
    Crop().Position = 0;
    Crop().FadeOutsideArea = 1;
    Key(Qt::Key_C);
    SetSel(64, 48, 160, 144);
    ExpectFaded(QRect(64, 48, 96, 96));
    // Grown 8 px to the right: only that strip comes back, the rest stays
    // halved once (never twice).
    SetSel(64, 48, 168, 144);
    EXPECT_EQ(Mode().GetFadedRect(), QRect(64, 48, 104, 96));
    ExpectFaded(QRect(64, 48, 104, 96));
    // Moved far away: the old area darkens, the new one comes back.
    SetSel(208, 128, 304, 224);
    ExpectFaded(QRect(208, 128, 96, 96));
    // A copy of another size (the image changed under it) is made afresh,
    // the selection clipped to it.
    SetSel(96, 64, 304, 224);
    Grab();
    ASSERT_TRUE(m_app->m_image.Load(WritePhoto("b.jpg", 160, 128), 1));
    const QImage faded = Mode().SelectDisplayBitmap(m_view);
    const CDib24& dib = m_app->m_image.GetDib();
    ASSERT_EQ(faded.size(), QSize(dib.Width(), dib.Height()));
    EXPECT_EQ(faded.pixel(10, 10), Dib(10, 10, true));
    EXPECT_EQ(faded.pixel(120, 100), Dib(120, 100, false));
    m_app->OpenImage(WritePhoto("c.jpg", 320, 240), 1);
    SetSel(208, 128, 304, 224);
    // Ctrl+Shift+F turns fading off: the image's own pixels everywhere.
    Key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Crop().FadeOutsideArea, 0);
    EXPECT_EQ(Grab().pixel(Client(20, 20)), Dib(20, 20));

    // Outward: the canvas colour beyond the image, or the background
    // without outward selections.
    Crop().CanvasColor = 0x00FF00;
    m_app->m_settings.BackgroundColor = 0x0000FF;
    for (int outward : {1, 0}) {
        Crop().AllowOutwardSel = outward;
        SetSel(-32, 16, 64, 48);
        EXPECT_EQ(Grab().pixel(Client(-16, 30)), outward ? qRgb(0, 255, 0) : qRgb(255, 0, 0)) << outward;
    }
}

// An outward crop (1024 x 768 on a 400 x 300 photo, Enter) in a 1024 x 600
// window shows the new picture's top-left corner, where both bars stand.
TEST_F(ModeCropTest, AnOutwardCropShowsItsCornerWhereTheBarsSay)
{
    Start({WritePhoto("a.jpg", 400, 300)});
    m_frame->resize(1024, 600);
    Crop().AllowOutwardSel = 1;
    Key(Qt::Key_C);
    ChoosePreset(theCropPresets.GetPresetText(14)); // 1024x768 px
    Key(Qt::Key_Return);
    ASSERT_EQ(m_app->m_image.GetWidth(), 1024);
    const QScrollBar* h = m_view->horizontalScrollBar();
    const QScrollBar* v = m_view->verticalScrollBar();
    EXPECT_TRUE(h->isVisible() && v->isVisible() && h->value() == 0 && v->value() == 0)
        << h->value() << "," << v->value();
    EXPECT_EQ(Grab().pixel(0, 0), Dib(h->value(), v->value()));
}

TEST_F(ModeCropTest, GuideLinesWhereTheirFormulasPutThem)
{
    Start({WritePhoto("a.jpg", 320, 240)});
    Crop().Position = 0;
    Key(Qt::Key_C);
    SetSel(32, 16, 272, 208);
    const QRect client = m_view->SelectionClientRect();
    const int xs = client.left(), ys = client.top();
    const int xe = xs + client.width(), ye = ys + client.height();
    const int w = xe - xs, h = ye - ys, gw = w * 618 / 1000, gh = h * 618 / 1000;
    struct Line {
        int x1, y1, x2, y2;
    };
    const std::vector<Line> kinds[] = {
        {{xs, ys, xe, ye}, {xs, ye, xe, ys}},
        {{xs + w / 3, ys, xs + w / 3, ye}, {xe - w / 3, ys, xe - w / 3, ye}, {xs, ys + h / 3, xe, ys + h / 3},
         {xs, ye - h / 3, xe, ye - h / 3}},
        {{xs + gw, ys, xs + gw, ye}, {xe - gw, ys, xe - gw, ye}, {xs, ys + gh, xe, ys + gh}, {xs, ye - gh, xe, ye - gh}},
        {{xs, ys, xe, ye}, {xs, ye, xe, ys}, {xs, ys, xe - gw, ys + gh}, {xs, ye, xe - gw, ye - gh},
         {xs + gw, ys + gh, xe, ys}, {xs + gw, ye - gh, xe, ye}},
    };
    for (int kind = 1; kind <= 4; ++kind) {
        SCOPED_TRACE(kind);
        m_app->m_settings.GuideLine = kind;
        const QImage shot = Grab();
        for (const Line& l : kinds[kind - 1]) {
            // Away from the ends, where lines cross the outline and each other,
            // every point is a dash pixel, and both colours occur.
            int white = 0, black = 0;
            const int64_t n = LineDdaLength(l.x1, l.y1, l.x2, l.y2);
            for (int64_t i = 10; i < 40 && i < n - 10; ++i) {
                int x = 0, y = 0;
                LineDdaPoint(l.x1, l.y1, l.x2, l.y2, i, &x, &y);
                white += shot.pixel(x, y) == qRgb(255, 255, 255);
                black += shot.pixel(x, y) == qRgb(0, 0, 0);
            }
            EXPECT_EQ(white + black, 30) << l.x1 << "," << l.y1 << "-" << l.x2 << "," << l.y2;
            EXPECT_GT(white, 0);
            EXPECT_GT(black, 0);
        }
    }
    m_app->m_settings.GuideLine = 2;
    QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
    m_view->viewport()->repaint();
    EXPECT_TRUE(m_frame->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/mode-crop-guides.png")));
}

TEST_F(ModeCropTest, PrintQualityPaneFollowsTheRule)
{
    Start({WritePhoto("a.jpg", 640, 480)});
    Crop().Position = 0;
    Key(Qt::Key_C);
    const struct {
        QString rule;
        const char* text;
    } rows[] = {
        {RuleText(0, 6, 4, "4\"x6\"", 2), "DPI: 100  Print quality: Low"},
        {RuleText(0, 15, 10, "10x15_cm", 1), "DPI: 101  Print quality: Low"},
        {QString(), ""}, // free crop: no print size
    };
    for (const auto& row : rows) {
        theCropPresets.AddUnique(row.rule);
        Crop().CropPreset = row.rule;
        SetSel(0, 0, 600, 400);
        EXPECT_EQ(m_frame->GetStatusBar()->GetPaneText(1), QStringLiteral("0:0 - 600:400  [600 x 400]"));
        EXPECT_EQ(m_frame->GetStatusBar()->GetPaneText(CCustomStatusBar::kQualityPane), QLatin1String(row.text));
    }

    // The crop mode follows every update pass, but a pass that changes
    // nothing paints nothing.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    m_view->viewport()->installEventFilter(&counter);
    m_frame->GetStatusBar()->GetPane(1)->installEventFilter(&counter);
    // What the last change left pending (the status bar's layout) first.
    for (int settle = 0; settle < 3; ++settle)
        QCoreApplication::processEvents();
    counter.paints = 0;
    for (int i = 0; i < 3; ++i) {
        m_app->GetCommands().UpdateAll();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(counter.paints, 0);
}

TEST_F(ModeCropTest, PresetsLiveInTheProfile)
{
    const QString photo = WritePhoto("a.jpg", 64, 48);
    Start({photo});
    EXPECT_FALSE(CProfile::HasProfileValue(QStringLiteral("Crop"), QStringLiteral("Presets")));
    EXPECT_EQ(theCropPresets.GetRules().size(), 20u);
    EXPECT_EQ(theCropPresets.ToString(), GetDefaultCropPresetsText());

    for (const QString& list : {RuleText(1, 300, 200, "small", 0) + u'|', QString()}) {
        theCropPresets.FromString(list);
        m_app->ExitInstance(0);
        m_app.reset();
        theCropPresets.FromString(GetDefaultCropPresetsText());
        Start({photo});
        EXPECT_EQ(theCropPresets.ToString(), list);
    }
}

TEST_F(ModeCropTest, CropOnOpenSwitchesEveryImageToTheCropMode)
{
    const QString first = WritePhoto("a.jpg", 64, 48);
    const QString second = WritePhoto("b.jpg", 64, 48);
    Start({QStringLiteral("-mc"), first});
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_CROP);
    EXPECT_EQ(m_frame->GetModePane()->windowTitle(), QStringLiteral("Crop"));
    Key(Qt::Key_D);
    ASSERT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_DRAG);
    m_app->OpenImage(second, 1);
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_CROP);
    EXPECT_EQ(m_frame->GetModePane()->windowTitle(), QStringLiteral("Crop"));
}

// Sizes typed into the panel stay in 0..65,500 and inside the image unless
// outward selections are allowed; a rule the fit refuses changes nothing.
TEST_F(ModeCropTest, PanelSizesAreBoundedAndRefusedRulesLeaveTheSelection)
{
    Start({WritePhoto("a.jpg", 320, 240)});
    Crop().Position = 0;
    Key(Qt::Key_C);
    const struct {
        int which, value, outward;
        QRect expected;
    } rows[] = {
        {CModeCrop::kWidthId, INT_MAX, 1, QRect(16, 16, 65500, 32)},
        {CModeCrop::kWidthId, INT_MAX, 0, QRect(16, 16, 304, 32)},
        {CModeCrop::kHeightId, INT_MAX, 1, QRect(16, 16, 64, 65500)},
        {CModeCrop::kWidthId, -5, 0, QRect(16, 16, 0, 32)},
        {CModeCrop::kHeightId, 100, 0, QRect(16, 16, 64, 100)},
    };
    for (const auto& row : rows) {
        Crop().AllowOutwardSel = row.outward;
        SetSel(16, 16, 80, 48);
        Mode().SetSizeFromPanel(row.which, row.value);
        EXPECT_EQ(QRect(QPoint(Crop().Left, Crop().Top), QSize(Crop().Right - Crop().Left, Crop().Bottom - Crop().Top)),
                  row.expected)
            << row.which << " " << row.value << " " << row.outward;
    }
    // With a 3:2 rule the other side follows; exchanging the sides turns it.
    ChoosePreset(RuleText(0, 3, 2, "3:2", 0));
    SetSel(16, 16, 80, 48);
    Mode().SetSizeFromPanel(CModeCrop::kWidthId, 90);
    EXPECT_EQ(Sel(), QRect(16, 16, 90, 60));

    // A rule without a usable side (only an edited list can hold one).
    CropRule broken;
    broken.kind = CropRule::kFixedAspect;
    broken.width = 4;
    broken.name = QStringLiteral("broken");
    theCropPresets.Rules().push_back(broken);
    Crop().CropPreset = broken.Format();
    ASSERT_NE(Mode().GetCurrentRule(), nullptr);
    SetSel(16, 16, 80, 48);
    Mode().FitToRule(0, 32, CModeCrop::kWidthId, false);
    EXPECT_EQ(Sel(), QRect(16, 16, 64, 32));
}

// The clipped stepper hands over exactly the points of the full one that lie
// inside, and keeps the count of the others, without walking them.
TEST(LineStepper, ClippedStepsMatchTheFullLineInside)
{
    struct Case {
        int x1, y1, x2, y2;
    };
    const Case cases[] = {{0, 0, 50, 20}, {50, 20, 0, 0}, {-30, 45, 80, -10}, {10, -40, 10, 90},
                          {-5, 7, 70, 7}, {3, 3, 3, 3},   {40, 0, -40, 80}};
    const QRect clip(0, 0, 40, 30);
    struct Sink {
        std::vector<QPoint> points;
        int64_t skipped = 0;
    };
    for (const Case& c : cases) {
        Sink full, clipped;
        LineDDA(c.x1, c.y1, c.x2, c.y2, [](int x, int y, void* d) { static_cast<Sink*>(d)->points.emplace_back(x, y); },
                &full);
        LineDDAClipped(
            c.x1, c.y1, c.x2, c.y2, clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1,
            [](int x, int y, void* d) { static_cast<Sink*>(d)->points.emplace_back(x, y); },
            [](int64_t n, void* d) { static_cast<Sink*>(d)->skipped += n; }, &clipped);
        std::vector<QPoint> inside;
        for (const QPoint& p : full.points) {
            if (clip.contains(p))
                inside.push_back(p);
        }
        EXPECT_EQ(clipped.points, inside) << c.x1 << "," << c.y1 << "-" << c.x2 << "," << c.y2;
        EXPECT_EQ(clipped.skipped + static_cast<int64_t>(clipped.points.size()), static_cast<int64_t>(full.points.size()));
        if (!full.points.empty()) {
            EXPECT_EQ(full.points.front(), QPoint(c.x1, c.y1));
        }
    }

    // A selection 2^28 pixels across (5000 % of a large photo) seen through
    // a small viewport: only the visible points are stepped.
    Sink huge;
    LineDDAClipped(
        -(1 << 28), -(1 << 27), 1 << 28, 1 << 27, 0, 0, 100, 100,
        [](int x, int y, void* d) { static_cast<Sink*>(d)->points.emplace_back(x, y); },
        [](int64_t n, void* d) { static_cast<Sink*>(d)->skipped += n; }, &huge);
    EXPECT_EQ(huge.points.size(), 100u);
    EXPECT_EQ(huge.skipped + 100, int64_t(1) << 29);
}

} // namespace
