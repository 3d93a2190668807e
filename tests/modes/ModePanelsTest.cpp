// The mode pane and the eight mode panels through the real frame, view and
// library: mouse clicks and keys on the panels' own controls, the edits they
// make through their modes, and screenshots of every panel beside a photo.
#include "ChildView.h"
#include "CommandIds.h"
#include "DlgItems.h"
#include "IntEdit.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "ModePane.h"
#include "ModePanels.h"
#include "CropParams.h"
#include "CropPresets.h"
#include "CustCropPresetsDlg.h"
#include "ModeColor.h"
#include "ModeRedEye.h"
#include "ModeText.h"
#include "OperColor.h"
#include "OperResize.h"
#include "ResizeParams.h"
#include "Soon.h"
#include "TextSettings.h"
#include "OperRedEye.h"
#include "RedEyeParams.h"
#include "PixmendApp.h"
#include "ProgramWindow.h"
#include "ScopedConfigHome.h"
#include "SpinButton.h"
#include "TestJpeg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

class ModePanelsTest : public testwin::ProgramTest {
protected:
    QString WritePhoto(int w, int h, const char* name = "photo.jpg")
    {
        const auto path = m_tmp / name;
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(w, h), testjpeg::Sampled(90, {{2, 2}, {1, 1}, {1, 1}}))));
        return QString::fromStdString(path.string());
    }
    QString Corpus(const char* name) { return QString::fromStdString(testjpeg::CorpusFile(name).string()); }

    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QTest::keyClick(m_frame->windowHandle(), key, mods);
        QCoreApplication::processEvents();
        m_app->GetCommands().UpdateAll();
    }
    void Mode(int id)
    {
        m_frame->SetMode(id);
        QCoreApplication::processEvents();
    }
    CModePane* Pane() const { return m_frame->GetModePane(); }
    QWidget* Page() const
    {
        CPropertyPage* page = Pane()->GetSheet().GetActivePage();
        return page ? page->GetSafeHwnd() : nullptr;
    }
    template <class T = QWidget>
    T* Item(int id) const
    {
        QWidget* page = Page();
        return page ? qobject_cast<T*>(GetDlgItem(page, id)) : nullptr;
    }
    void Click(int id)
    {
        QWidget* control = Item(id);
        ASSERT_TRUE(control) << id;
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(8, control->height() / 2));
        QCoreApplication::processEvents();
    }
    // Replaces an edit's text as the user does: select all, type.
    void Type(int id, const QString& text)
    {
        QWidget* edit = Item(id);
        ASSERT_TRUE(edit) << id;
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
        QCoreApplication::processEvents();
    }
    QString Text(int id) const { return GetWindowTextString(Item(id)); }
    bool Enabled(int id) const
    {
        QWidget* control = Item(id);
        return control && control->isEnabled();
    }
    void SpinUp(int id)
    {
        auto* spin = Item<CSpinButton>(id);
        ASSERT_TRUE(spin) << id;
        QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    QPoint Client(int x, int y) const { return testwin::ClientPoint(*m_view, x, y); }
    void Drag(QPoint from, QPoint to) { testwin::Drag(*m_view, from, to); }
    auto& Sel() { return m_view->Host().Selection(); }
    void SaveShot(const QString& name)
    {
        QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
        QCoreApplication::processEvents();
        m_view->viewport()->repaint();
        EXPECT_TRUE(m_frame->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/") + name));
        const QStringList problems = testwin::PanelLayoutProblems(*m_frame);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    }
    // Picks `text` in a closed combo box with the arrow keys, as the user does.
    void ChooseByKeys(int id, const QString& text)
    {
        auto* combo = Item<QComboBox>(id);
        ASSERT_TRUE(combo) << id;
        const int target = combo->findText(text);
        ASSERT_GE(target, 0) << text.toStdString();
        combo->setFocus();
        while (combo->currentIndex() != target) {
            const int before = combo->currentIndex();
            QTest::keyClick(combo, before < target ? Qt::Key_Down : Qt::Key_Up);
            ASSERT_NE(combo->currentIndex(), before);
        }
        QCoreApplication::processEvents();
    }
    int UndoCount() const { return m_app->m_image.GetUndoMan()->GetActionCount(); }
};

TEST_F(ModePanelsTest, PaneAddsAPanelOnceAndShowsTheEmptyPageAfterwards)
{
    Start(WritePhoto(320, 240));
    CTablessSheet& sheet = Pane()->GetSheet();
    EXPECT_EQ(sheet.GetActivePage(), &Pane()->GetEmptyPage());
    EXPECT_EQ(Pane()->GetEmptyPage().GetTemplateId(), 245);
    const int pages = sheet.GetPageCount();

    Key(Qt::Key_S);
    EXPECT_EQ(sheet.GetPageCount(), pages + 1);
    EXPECT_EQ(sheet.GetActivePage()->GetTemplateId(), CPanelCopy::kTemplateId);
    EXPECT_EQ(Pane()->windowTitle(), QStringLiteral("Select / Copy"));
    // The title is bold; OK and Cancel carry icons.
    ASSERT_TRUE(Item<QLabel>(1182));
    EXPECT_EQ(Item<QLabel>(1182)->font().weight(), QFont::Bold);
    EXPECT_FALSE(Item<QPushButton>(1)->icon().isNull());
    EXPECT_FALSE(Item<QPushButton>(2)->icon().isNull());
    // The focus stays with the frame, so mode keys keep working.
    Key(Qt::Key_D);
    EXPECT_EQ(sheet.GetActivePage(), &Pane()->GetEmptyPage());
    EXPECT_EQ(Pane()->windowTitle(), QStringLiteral("Edit"));
    Key(Qt::Key_S);
    EXPECT_EQ(sheet.GetPageCount(), pages + 1);

    struct Row {
        int mode;
        int templateId;
        const char* caption;
    };
    const Row rows[] = {{ID_EDIT_CROP, 249, "Crop"},
                        {ID_EDIT_RED_EYE, 248, "Remove Red Eye"},
                        {ID_EDIT_TEXT, 240, "Insert Text"},
                        {ID_EDIT_PASTE, 247, "Paste"},
                        {ID_EDIT_COLOR, 207, "Brightness / Color"},
                        {ID_EDIT_RESIZE, 241, "Resize / Resample"},
                        {ID_EDIT_RECONSTRUCT, 244, "Reconstruct"}};
    for (const Row& r : rows) {
        Mode(r.mode);
        EXPECT_EQ(sheet.GetActivePage()->GetTemplateId(), r.templateId) << r.caption;
        EXPECT_EQ(Pane()->windowTitle(), QString::fromUtf8(r.caption));
        EXPECT_EQ(Text(1182), QString::fromUtf8(r.caption));
        // The sheet fills the pane's client area.
        EXPECT_EQ(Page()->size(), Pane()->widget()->size());
    }
    EXPECT_EQ(sheet.GetPageCount(), pages + 1 + int(std::size(rows)));
    Mode(ID_EDIT_DRAG);
    EXPECT_EQ(Pane()->windowTitle(), QStringLiteral("Edit"));
    EXPECT_EQ(sheet.GetActivePage(), &Pane()->GetEmptyPage());
}

TEST_F(ModePanelsTest, CopyPanelAlignsZoomsCopiesAndCancels)
{
    Start(WritePhoto(640, 480));
    const int paneWidth = Pane()->width();
    Key(Qt::Key_S);
    Drag(Client(13, 11), Client(101, 77));
    ASSERT_TRUE(m_view->IsSelectionShown());
    EXPECT_FALSE(Item<QCheckBox>(1183)->isChecked());

    // The check stores the option (the select mode's selection stays free)
    // and hands the focus to the view.
    Click(1183);
    EXPECT_EQ(m_app->m_operCrop.Params().AlignSelectionByBlock, 1);
    EXPECT_TRUE(m_view->hasFocus());
    Click(1183);
    EXPECT_EQ(m_app->m_operCrop.Params().AlignSelectionByBlock, 0);

    const unsigned zoom = m_view->Zoom();
    Click(1184);
    EXPECT_GT(m_view->Zoom(), zoom);

    Key(Qt::Key_S);
    Drag(Client(10, 10), Client(60, 40));
    ASSERT_TRUE(m_view->IsSelectionShown());
    Click(2);
    EXPECT_FALSE(m_view->IsSelectionShown());

    Drag(Client(10, 10), Client(60, 40));
    QApplication::clipboard()->clear();
    Click(1);
    EXPECT_FALSE(QApplication::clipboard()->image().isNull());
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_DRAG);
    // The empty page that follows leaves the pane its own width.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Pane()->width() == paneWidth; }, 2000)) << Pane()->width();
}

TEST_F(ModePanelsTest, PastePanelPastesAndCancels)
{
    Start(WritePhoto(320, 240));
    QImage block(40, 24, QImage::Format_RGB888);
    block.fill(Qt::yellow);
    QApplication::clipboard()->setImage(block);
    Key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_PASTE);
    EXPECT_EQ(Pane()->GetSheet().GetActivePage()->GetTemplateId(), CPanelPaste::kTemplateId);
    Click(2);
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_DRAG);
    EXPECT_EQ(UndoCount(), 0);

    Key(Qt::Key_V, Qt::ControlModifier);
    Click(1);
    EXPECT_EQ(UndoCount(), 1);
}

TEST_F(ModePanelsTest, RedEyePanelFollowsTheMarksAndStoresWhatIsTyped)
{
    Start(WritePhoto(320, 240));
    Mode(ID_EDIT_RED_EYE);
    const int ids[] = {1126, 1127, 1128, 1129, 1132, 1188, 1, 2};
    for (int id : ids)
        EXPECT_FALSE(Enabled(id)) << id;

    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, Client(100, 80));
    QCoreApplication::processEvents();
    for (int id : ids)
        EXPECT_TRUE(Enabled(id)) << id;
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, Qt::ShiftModifier, Client(200, 80));
    QCoreApplication::processEvents();

    RedEyeParams& params = m_app->m_operRedEye.Params();
    const int sensitivity = params.RedEyeSensitivity;
    ASSERT_EQ(params.Points.size(), 2u);
    // The edit's range is the trackbar's: 60 stores 50, and the trackbar follows.
    Type(1127, QStringLiteral("60"));
    EXPECT_EQ(params.RedEyeRadius, 50);
    EXPECT_EQ(Item<QSlider>(1126)->value(), 50);
    EXPECT_EQ(params.RedEyeSensitivity, sensitivity); // a refresh stored nothing
    // The spin's up arrow raises the radius through the edit; a key on the
    // sensitivity trackbar stores its new position.
    Type(1127, QStringLiteral("20"));
    SpinUp(1128);
    EXPECT_EQ(params.RedEyeRadius, 21);
    EXPECT_EQ(Text(1127), QStringLiteral("21"));
    Item(1129)->setFocus();
    QTest::keyClick(Item(1129), Qt::Key_Right);
    EXPECT_EQ(params.RedEyeSensitivity, sensitivity + 1);

    Click(1188);
    EXPECT_EQ(params.Points.size(), 1u);
    EXPECT_TRUE(Enabled(1188));
    Click(2);
    EXPECT_TRUE(params.Points.empty());
    EXPECT_FALSE(Enabled(1127));
}

TEST(CropPanelSwap, ExchangedSizeFitsIn64Bits)
{
    struct Case {
        int l, t, r, b, w, h;
        bool fits;
    };
    const Case cases[] = {
        {16, 16, 416, 216, 1024, 768, true},
        {16, 16, 1000, 400, 1024, 768, false},
        {0, 0, 768, 1024, 1024, 768, true},  // exactly the other orientation
        {1, 0, 768, 1024, 1024, 768, false}, // one pixel too far right
        // Stored edges far apart: the 32-bit sums would wrap and pass.
        {INT32_MAX - 10, 0, INT32_MAX, INT32_MAX, 1024, 768, false},
        {0, INT32_MIN, INT32_MAX, INT32_MAX, 1024, 768, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CPanelCrop::ExchangedSizeFits(c.l, c.t, c.r, c.b, c.w, c.h), c.fits) << c.l << "," << c.t;
}

TEST_F(ModePanelsTest, CropPanelRulesSizesSwapFlipGuidesAndCrops)
{
    Start(WritePhoto(1024, 768));
    CropParams& crop = m_app->m_operCrop.Params();
    crop.AutoFlipAspect = 0;
    ASSERT_TRUE(m_app->GetCommands().Execute(ID_EDIT_CROP));
    QCoreApplication::processEvents();
    ASSERT_TRUE(Item(1097));

    // Return in the open list picks a fixed size only: the selection shows,
    // the photo stays whole.
    auto* presets = Item<QComboBox>(1097);
    presets->setFocus();
    QTest::keyClick(presets, Qt::Key_F4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return presets->view()->isVisible(); }));
    QWindow* list = presets->view()->window()->windowHandle();
    while (presets->view()->currentIndex().row() != presets->findText(QStringLiteral("640x480 px")))
        QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(crop.CropPreset, theCropPresets.GetPresetText(presets->findText(QStringLiteral("640x480 px"))));
    EXPECT_TRUE(m_view->IsSelectionShown());
    EXPECT_EQ(QSize(m_app->m_image.GetWidth(), m_app->m_image.GetHeight()), QSize(1024, 768));
    EXPECT_EQ(UndoCount(), 0);

    // A 4:3 rule by keyboard fits the selection; the swap is off with a rule,
    // Flip Aspect on (no automatic flip), Align Bottom / Right off.
    ChooseByKeys(1097, QStringLiteral("4:3 (Monitor)"));
    EXPECT_FALSE(crop.CropPreset.isEmpty());
    ASSERT_TRUE(m_view->IsSelectionShown());
    EXPECT_EQ(int64_t(Sel().Right - Sel().Left) * 3, int64_t(Sel().Bottom - Sel().Top) * 4);
    EXPECT_FALSE(Enabled(1126));
    EXPECT_TRUE(Enabled(1009));
    EXPECT_FALSE(Enabled(1008));

    Type(1137, QStringLiteral("800"));
    EXPECT_EQ(Sel().Right - Sel().Left, 800);
    EXPECT_EQ(Sel().Bottom - Sel().Top, 600);
    EXPECT_EQ(Text(1138), QStringLiteral("600"));

    Click(1009);
    EXPECT_EQ(crop.FlipAspect, 1);
    EXPECT_EQ(Sel().Right - Sel().Left, 600);
    EXPECT_EQ(Sel().Bottom - Sel().Top, 800 > 768 ? Sel().Bottom - Sel().Top : 800);
    EXPECT_GT(Sel().Bottom - Sel().Top, Sel().Right - Sel().Left);

    // Free crop: the swap is on while the exchanged size fits.
    ChooseByKeys(1097, QStringLiteral(":: Free crop ::"));
    EXPECT_TRUE(crop.CropPreset.isEmpty());
    EXPECT_TRUE(Enabled(1008));
    EXPECT_FALSE(Enabled(1009));
    crop.AllowOutwardSel = 0;
    m_view->ZoomToFit(false);
    Key(Qt::Key_Escape);
    Drag(Client(16, 16), Client(416, 216));
    ASSERT_TRUE(m_view->IsSelectionShown());
    const int w = Sel().Right - Sel().Left;
    const int h = Sel().Bottom - Sel().Top;
    EXPECT_TRUE(Enabled(1126));
    Click(1126);
    EXPECT_EQ(Sel().Right - Sel().Left, h);
    EXPECT_EQ(Sel().Bottom - Sel().Top, w);
    Key(Qt::Key_Escape);
    Drag(Client(16, 16), Client(1000, 400));
    EXPECT_FALSE(Enabled(1126)); // about 984 tall would not fit 768

    // The guide lines: stored, and drawn along the thirds (crossed by the
    // horizontal ones only).
    Key(Qt::Key_Escape);
    Drag(Client(96, 96), Client(696, 546));
    const QPoint from = Client(Sel().Left, Sel().Top);
    const QPoint to = Client(Sel().Right, Sel().Bottom);
    const int third = from.x() + (to.x() - from.x()) / 3;
    const QImage plain = m_view->viewport()->grab().toImage();
    ChooseByKeys(1189, QStringLiteral("Rule of Thirds"));
    EXPECT_EQ(m_app->m_settings.GuideLine, 2);
    const QImage lines = m_view->viewport()->grab().toImage();
    auto changed = [&](int x, int y) {
        for (int dx = -1; dx <= 1; ++dx)
            if (plain.pixel(x + dx, y) != lines.pixel(x + dx, y))
                return 1;
        return 0;
    };
    int onLine = 0, offLine = 0;
    for (int y = from.y() + 20; y < to.y() - 20; ++y) {
        onLine += changed(third, y);
        offLine += changed(third + 12, y);
    }
    EXPECT_GT(onLine, (to.y() - from.y()) / 2);
    EXPECT_LE(offLine, 2);

    // "Edit..." runs the presets editor; the combo lists what it kept.
    CCropPresets::SetEditor([](std::vector<CropRule>& rules) {
        CropRule wide = rules.front();
        wide.name = QStringLiteral("Panel wide");
        rules.push_back(wide);
        return 1;
    });
    Click(1125);
    CCustCropPresetsDlg::InstallAsPresetsEditor();
    EXPECT_EQ(Item<QComboBox>(1097)->itemText(Item<QComboBox>(1097)->count() - 1), QStringLiteral("Panel wide"));
    EXPECT_EQ(Item<QComboBox>(1097)->currentIndex(), 0);

    // OK crops to the selection.
    const QSize expected(Sel().Right - Sel().Left, Sel().Bottom - Sel().Top);
    Click(1);
    EXPECT_SOON_EQ(QSize(m_app->m_image.GetWidth(), m_app->m_image.GetHeight()), expected);
}

TEST_F(ModePanelsTest, ResizePanelLocksTheAspectSwitchesUnitsPicksAndResizes)
{
    // An old profile's zero side: the lock propagates nothing from it.
    Start(WritePhoto(320, 240));
    ResizeParams& proto = m_app->m_operResize.Params();
    proto.Units = 1;
    proto.LockAspect = 1;
    proto.PixelsWidth = 0;
    proto.PixelsHeight = 600;
    Mode(ID_EDIT_RESIZE);
    auto& mode = static_cast<CModeResize&>(*m_frame->GetCurrentMode());
    ResizeParams* p = mode.GetWorkingValues();
    ASSERT_TRUE(p);
    Type(1137, QStringLiteral("500"));
    EXPECT_EQ(p->PixelsWidth, 500);
    EXPECT_EQ(p->PixelsHeight, 600);

    // Unlocked, the text follows the sizes; locked at 4:3, 800 gives 600.
    Click(1149);
    EXPECT_EQ(p->LockAspect, 0);
    Type(1137, QStringLiteral("4"));
    Type(1138, QStringLiteral("3"));
    EXPECT_EQ(Text(1149), QStringLiteral("Lock Aspect (4:3)"));
    Click(1149);
    Type(1137, QStringLiteral("800"));
    EXPECT_EQ(p->PixelsHeight, 600);
    EXPECT_EQ(Text(1138), QStringLiteral("600"));
    // The up arrow raises the width by one, through the edit.
    SpinUp(1145);
    EXPECT_EQ(p->PixelsWidth, 801);
    EXPECT_EQ(Text(1137), QStringLiteral("801"));

    Click(1075);
    EXPECT_EQ(Text(1137), QStringLiteral("320"));
    EXPECT_EQ(Text(1138), QStringLiteral("240"));
    EXPECT_EQ(Text(1149), QStringLiteral("Lock Aspect (320:240)"));

    ChooseByKeys(1139, QStringLiteral("Percent"));
    EXPECT_EQ(p->Units, 0);
    EXPECT_FALSE(Item(1137)->isVisible());
    EXPECT_FALSE(Item(1149)->isVisible());
    EXPECT_TRUE(Item(1146)->isVisible());
    Type(1146, QStringLiteral("50"));
    EXPECT_EQ(p->Percent, 50);

    Click(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_app->m_image.GetWidth() == 160; }));
    EXPECT_EQ(m_app->m_image.GetHeight(), 120);
    EXPECT_EQ(proto.Percent, 50);
}

TEST_F(ModePanelsTest, ColorPanelOnAGrayImagePreviewsStepsAndApplies)
{
    const auto gray = testjpeg::CorpusFile("syn_gray_640x480.jpg");
    Start(QString::fromStdString(gray.string()));
    Mode(ID_EDIT_COLOR);
    auto& mode = static_cast<CModeColor&>(*m_frame->GetCurrentMode());
    // "Darker" and "Brighter" each read on their own: at their ends of the
    // trackbar and an em apart, in a 1024 x 600 window and in the 512 x 300 a
    // 1024 x 600 screen leaves at 2x.
    for (const QSize size : {QSize(1024, 600), QSize(512, 300)}) {
        m_frame->resize(size);
        EXPECT_TRUE(QTest::qWaitFor([&] { return testwin::PanelLayoutProblems(*m_frame).isEmpty(); }, 2000))
            << size.width();
        QRect ends[3];
        for (QLabel* l : Page()->findChildren<QLabel*>())
            ends[l->text() == u"Darker" ? 0 : l->text() == u"Brighter" ? 1 : 2] = l->geometry();
        const QRect bar = Item(1156)->geometry();
        EXPECT_TRUE(ends[0].left() == bar.left() && ends[1].right() == bar.right()) << size.width();
        EXPECT_GE(ends[1].left() - ends[0].right(), Page()->fontMetrics().horizontalAdvance(u'M')) << size.width();
    }
    m_frame->resize(1280, 800);
    for (int id : {1156, 1159, 1162})
        EXPECT_TRUE(Enabled(id)) << id;
    for (int id : {1157, 1158, 1160, 1161, 1163, 1164, 1165, 1166, 1167, 1168})
        EXPECT_FALSE(Enabled(id)) << id;

    EXPECT_FALSE(mode.IsPreviewShown());
    Type(1159, QStringLiteral("20"));
    ASSERT_TRUE(mode.GetColorValues());
    EXPECT_EQ(mode.GetColorValues()->Brightness, 20);
    EXPECT_EQ(Item<QSlider>(1156)->value(), 20);
    EXPECT_TRUE(mode.IsPreviewShown());
    SpinUp(1162);
    EXPECT_EQ(mode.GetColorValues()->Brightness, 21);
    EXPECT_EQ(Text(1159), QStringLiteral("21"));

    Click(1);
    EXPECT_EQ(UndoCount(), 1);
    EXPECT_EQ(mode.GetColorValues()->Brightness, 0);
    EXPECT_EQ(Text(1159), QStringLiteral("0"));

    // A second panel on the same values with a counting listener: refreshes
    // tell it nothing (the preview would refresh the panel again), typing does.
    struct CCounter final : IListener {
        void OnChanged() override { ++calls; }
        int calls = 0;
    } counter;
    CPanelColor panel(&mode);
    m_frame->ShowModePanel(&panel, QStringLiteral("Brightness / Color"));
    panel.SetListener(&counter);
    mode.GetColorValues()->Brightness = -30;
    for (int i = 0; i < 3; ++i)
        panel.Refresh();
    EXPECT_EQ(Text(1159), QStringLiteral("-30"));
    EXPECT_EQ(counter.calls, 0);
    Type(1159, QStringLiteral("-5"));
    EXPECT_EQ(counter.calls, 2); // "-" reads 0, then -5
    EXPECT_EQ(mode.GetColorValues()->Brightness, -5);
    m_frame->ShowEmptyPanel();
}

TEST_F(ModePanelsTest, ReconstructSpinStopsAtItsEnds)
{
    Start(WritePhoto(64, 48));
    Mode(ID_EDIT_RECONSTRUCT);
    auto& mode = static_cast<CModeReconstruct&>(*m_frame->GetCurrentMode());
    Type(1156, QStringLiteral("99"));
    SpinUp(1157);
    SpinUp(1157);
    EXPECT_EQ(mode.GetWorkingValues()->NumOfPasses, 100);
    EXPECT_EQ(Text(1156), QStringLiteral("100"));
    Type(1156, QStringLiteral("2"));
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(Item<CSpinButton>(1157)->DownButton(), Qt::LeftButton);
    EXPECT_EQ(mode.GetWorkingValues()->NumOfPasses, 1);
    EXPECT_EQ(Text(1156), QStringLiteral("1"));
}

// Enter in a panel's number field takes the typed value and applies the
// mode, as the panel's OK does.
TEST_F(ModePanelsTest, EnterInANumberFieldApplies)
{
    Start(WritePhoto(320, 240));
    const auto enterAfterTyping = [&](int id, const QString& text) {
        Type(id, text);
        QTest::keyClick(Item(id), Qt::Key_Return);
        QCoreApplication::processEvents();
    };
    Mode(ID_EDIT_COLOR);
    enterAfterTyping(1159, QStringLiteral("20"));
    EXPECT_EQ(UndoCount(), 1);

    Mode(ID_EDIT_RECONSTRUCT);
    enterAfterTyping(1156, QStringLiteral("1"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return UndoCount() == 2; }));

    m_app->m_operResize.Params().Units = 1;
    m_app->m_operResize.Params().LockAspect = 1;
    Mode(ID_EDIT_RESIZE);
    enterAfterTyping(1137, QStringLiteral("160"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_app->m_image.GetWidth() == 160; }));
    EXPECT_EQ(m_app->m_image.GetHeight(), 120);

    m_app->m_operCrop.Params().CropPreset.clear();
    Mode(ID_EDIT_CROP);
    Drag(Client(16, 16), Client(120, 100));
    ASSERT_TRUE(m_view->IsSelectionShown());
    enterAfterTyping(1137, QStringLiteral("64"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_app->m_image.GetWidth() == 64; }));
}

TEST_F(ModePanelsTest, TextPanelShowsTheTemplatesKeepsTypingAndInserts)
{
    if (!testjpeg::HaveTool("exiftool"))
        GTEST_SKIP() << "exiftool missing";
    const auto photo = testjpeg::CorpusFile("gox_iphone4s_orient6.jpg");
    Start(QString::fromStdString(photo.string()));
    Key(Qt::Key_T);
    ASSERT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_TEXT);
    TextSettings& s = *static_cast<CModeText&>(*m_frame->GetCurrentMode()).GetSettings();

    // 1174: the EXIF template as the library expands it (the shot's date).
    EXPECT_TRUE(Item<QCheckBox>(1172)->isChecked());
    const QString exif = Text(1174);
    EXPECT_FALSE(exif.isEmpty());
    EXPECT_NE(exif, s.Exif.Template);
    std::string year;
    EXPECT_EQ(testjpeg::Run("exiftool -s3 -d %Y -DateTimeOriginal '" + photo.string() + "'", &year), 0);
    EXPECT_EQ(year.size(), 5u) << year;
    EXPECT_TRUE(!year.empty() && exif.contains(QString::fromStdString(year.substr(0, 4)))) << exif.toStdString();
    Click(1172);
    EXPECT_EQ(s.Exif.Use, 0);
    EXPECT_TRUE(Text(1174).isEmpty());
    Click(1172);
    EXPECT_EQ(s.Exif.Use, 1);

    // A two-line template survives refreshes byte for byte, CR LF or LF.
    EXPECT_FALSE(Enabled(1176));
    Click(1175);
    EXPECT_EQ(s.Custom.Use, 1);
    EXPECT_TRUE(Enabled(1176));
    for (const char* two : {"First line\r\nSecond line", "First line\nSecond line"}) {
        s.Custom.Template = QString::fromUtf8(two);
        for (int i = 0; i < 2; ++i)
            m_frame->GetCurrentMode()->RefreshPanel();
        EXPECT_EQ(Item<QPlainTextEdit>(1176)->toPlainText(), QStringLiteral("First line\nSecond line"));
        EXPECT_EQ(s.Custom.Template, QString::fromUtf8(two));
    }

    // Letters typed into the field stay there: no mode key fires.
    auto* edit = Item<QPlainTextEdit>(1176);
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, QStringLiteral("Dog cats"));
    EXPECT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_TEXT);
    EXPECT_EQ(s.Custom.Template, QStringLiteral("First line\r\nSecond line\r\nDog cats"));

    // Edit opens the insert-text dialog on the custom text's tab.
    int shownTab = -1;
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, &shownTab] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        for (QTabBar* bar : dialog->findChildren<QTabBar*>())
            if (bar->count() == 3)
                shownTab = bar->currentIndex();
        timer->stop();
        timer->deleteLater();
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    });
    timer->start();
    Click(1177);
    EXPECT_EQ(s.CurTab, 1);
    EXPECT_EQ(shownTab, 1);

    // Apply inserts the text: one undoable edit.
    Click(1);
    EXPECT_SOON_EQ(UndoCount(), 1);
}

TEST_F(ModePanelsTest, Screenshots)
{
    Start(Corpus("syn_420_1001x667.jpg"));
    m_view->ZoomToFit(false);
    QCoreApplication::processEvents();
    const std::pair<int, const char*> shots[] = {
        {ID_EDIT_SELECT, "copy"},   {ID_EDIT_CROP, "crop"},   {ID_EDIT_RED_EYE, "red-eye"},
        {ID_EDIT_TEXT, "text"},     {ID_EDIT_COLOR, "color"}, {ID_EDIT_RESIZE, "resize"},
        {ID_EDIT_RECONSTRUCT, "reconstruct"},
    };
    for (const auto& [id, name] : shots) {
        ASSERT_TRUE(m_app->GetCommands().Execute(id));
        QCoreApplication::processEvents();
        if (id == ID_EDIT_SELECT || id == ID_EDIT_CROP)
            Drag(Client(200, 150), Client(620, 430));
        if (id == ID_EDIT_RED_EYE)
            QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, Client(400, 300));
        SaveShot(QStringLiteral("panel-%1.png").arg(QLatin1String(name)));
        if (id == ID_EDIT_CROP) {
            // The same frame drawn at 200 %.
            QPixmap shot(m_frame->size() * 2);
            shot.setDevicePixelRatio(2);
            m_frame->render(&shot);
            EXPECT_TRUE(shot.save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/panel-crop-200.png")));
        }
    }
    QImage block(240, 160, QImage::Format_RGB888);
    block.fill(QColor(240, 200, 60));
    QApplication::clipboard()->setImage(block);
    Key(Qt::Key_V, Qt::ControlModifier);
    SaveShot(QStringLiteral("panel-paste.png"));
    EXPECT_EQ(m_frame->size(), QSize(1280, 800));
}

} // namespace
