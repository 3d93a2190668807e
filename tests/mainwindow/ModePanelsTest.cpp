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
#include "ModeRedEye.h"
#include "OperRedEye.h"
#include "RedEyeParams.h"
#include "PixmendApp.h"
#include "ScopedConfigHome.h"
#include "SpinButton.h"
#include "TestJpeg.h"

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
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class CQuietBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return false; }
    Answer AskYesNoCancel(const QString&, const QString&) override { return Answer::No; }
    SaveErrorChoice AskSaveError(const QString&) override { return SaveErrorChoice::Abort; }
    bool ReportProgress(int) override { return true; }
};

class ModePanelsTest : public ::testing::Test {
protected:
    void SetUp() override { m_oldBoxes = SetMessageBoxes(&m_boxes); }
    void TearDown() override
    {
        m_app.reset();
        SetMessageBoxes(m_oldBoxes);
    }

    // The program on `path` in a 1280 x 800 window.
    void Start(const QString& path)
    {
        m_app = std::make_unique<CPixmendApp>();
        ASSERT_TRUE(m_app->InitInstance({path}));
        m_frame = m_app->GetMainFrame();
        m_frame->resize(1280, 800);
        m_frame->show();
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        m_view = m_frame->GetView();
        m_view->ZoomActual();
        QCoreApplication::processEvents();
        m_app->GetCommands().UpdateAll();
    }
    QString WritePhoto(int w, int h, const char* name = "photo.jpg")
    {
        const auto path = m_tmp / name;
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(w, h), testjpeg::Sampled(90, {{2, 2}, {1, 1}, {1, 1}}))));
        return QString::fromStdString(path.string());
    }
    QString Corpus(const char* name, int w, int h)
    {
        const auto path = testjpeg::CorpusFile(name);
        return path.empty() ? WritePhoto(w, h) : QString::fromStdString(path.string());
    }

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
    QPoint Client(int x, int y) const
    {
        return QPoint(m_view->OriginX() + x * static_cast<int>(m_view->Zoom()) / 256,
                      m_view->OriginY() + y * static_cast<int>(m_view->Zoom()) / 256);
    }
    void Drag(QPoint from, QPoint to)
    {
        QWidget* vp = m_view->viewport();
        QTest::mouseMove(vp, from);
        QTest::mousePress(vp, Qt::LeftButton, {}, from);
        QTest::mouseMove(vp, (from + to) / 2);
        QTest::mouseMove(vp, to);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
    }
    auto& Sel() { return m_view->Host().Selection(); }
    void SaveShot(const QString& name)
    {
        QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
        QCoreApplication::processEvents();
        m_view->viewport()->repaint();
        EXPECT_TRUE(m_frame->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/") + name));
    }
    int UndoCount() const { return m_app->m_image.GetUndoMan()->GetActionCount(); }

    CScopedConfigHome m_config;
    testjpeg::TempDir m_tmp;
    CQuietBoxes m_boxes;
    IMessageBoxes* m_oldBoxes = nullptr;
    std::unique_ptr<CPixmendApp> m_app;
    CMainFrame* m_frame = nullptr;
    CChildView* m_view = nullptr;
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

} // namespace
