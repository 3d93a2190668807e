// The text mode through the real frame, view and library: the insert-text
// dialog opened with Ctrl+T and driven by keys and mouse, the settings poll
// (a change redraws the kept preview, a tab switch does not, Cancel puts the
// settings back), Esc and click, Enter re-encoding only the MCUs under the
// text, and exact undo.
#include "../dialogs/EditorTestKit.h"
#include "AnswerBoxes.h"
#include "ChildView.h"
#include "CommandIds.h"
#include "DlgOperText.h"
#include "InsertTextDlg.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "ModeText.h"
#include "PixmendApp.h"
#include "ProgramWindow.h"
#include "ScopedConfigHome.h"
#include "Soon.h"
#include "TestJpeg.h"
#include "WidgetKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabBar>

#include <cstdio>

using namespace edtest;

using testwin::ExifTool;
using testwin::PickByKeys;

namespace {

// A check box toggled from the keyboard (a click must hit its label).
void Toggle(QCheckBox* box)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
}

void RightClick(QWidget* edit)
{
    QTest::mousePress(edit, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseRelease(edit, Qt::RightButton, {}, QPoint(5, 5));
}

class ModeTextTest : public ::testing::Test {
protected:
    void SetUp() override { m_boxes.answer = IMessageBoxes::Answer::No; } // edits are not saved
    void TearDown() override { m_app.reset(); }

    // The program on `path` at 100 %, in the text mode entered with T.
    void Start(const QString& path)
    {
        m_frame = testwin::StartProgram(m_app, {path}, QSize(1000, 700));
        ASSERT_NE(m_frame, nullptr);
        m_view = m_frame->GetView();
        Key(Qt::Key_T);
        ASSERT_EQ(m_frame->GetCurrentModeId(), ID_EDIT_TEXT);
        EXPECT_TRUE(m_view->IsTimerActive(3));
        EXPECT_EQ(m_frame->GetModePane()->windowTitle(), "Insert Text");
        m_mode = &m_frame->GetTextMode();
        m_view->Host().CropOptions().RunningAnts = 0; // still frames: screens compare
        m_ticks = std::make_unique<QSignalSpy>(&m_mode->PreviewTimer(), &QTimer::timeout);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QTest::keyClick(m_frame->windowHandle(), key, mods);
        QCoreApplication::processEvents();
        m_app->GetCommands().UpdateAll();
    }
    TextSettings& S() { return *m_mode->GetSettings(); }
    // The next poll of the settings, then a paint.
    void Tick()
    {
        ASSERT_TRUE(m_ticks->wait(1000));
        m_view->viewport()->repaint();
    }
    // Runs `answer` in the insert-text dialog opened by Ctrl+T (or a
    // double-click on the picture); closes the dialog if `answer` did not.
    void EditWithDialog(const std::function<void(CInsertTextDlgWrapper*, CDlgOperText*)>& answer,
                        bool doubleClick = false)
    {
        WhenModal<CInsertTextDlgWrapper>([&](CInsertTextDlgWrapper* dialog) {
            auto* editor = dynamic_cast<CDlgOperText*>(m_app->m_operText.GetExistingPage());
            ASSERT_NE(editor, nullptr);
            answer(dialog, editor);
            if (dialog->isVisible())
                dialog->reject();
        });
        if (doubleClick) {
            const QPoint at(m_view->OriginX() + 5, m_view->OriginY() + 5);
            QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, at);
            // The double-click ends with the button down: a later move would drag.
            QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, {}, at);
        } else
            Key(Qt::Key_T, Qt::ControlModifier);
        // The offscreen platform hands the activation back to nobody.
        m_frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_frame));
    }

    CScopedConfigHome m_config;
    testjpeg::TempDir m_tmp;
    CAnswerBoxes m_boxes;
    std::unique_ptr<CPixmendApp> m_app;
    CMainFrame* m_frame = nullptr;
    CChildView* m_view = nullptr;
    CModeText* m_mode = nullptr;
    std::unique_ptr<QSignalSpy> m_ticks;
};

} // namespace

TEST(ModeTextPoll, ComparesWhatThePreviewShowsOnly)
{
    const struct {
        std::function<void(TextSettings&)> change;
        bool redraws;
    } kChanges[] = {
        {[](TextSettings& s) { s.Exif.Template += 'x'; }, true},
        {[](TextSettings& s) { s.Custom.PaddingY += 1; }, true},
        {[](TextSettings& s) { s.Custom.ColorSh ^= 1; }, true},
        {[](TextSettings& s) { s.LocaleEX ^= 1; }, true},
        {[](TextSettings& s) { s.LocaleCT ^= 1; }, true},
        {[](TextSettings& s) { s.DateFormat += 'd'; }, true},
        {[](TextSettings& s) { s.TimeFormat += 'h'; }, true},
        {[](TextSettings& s) { s.UseFileTime ^= 1; }, true},
        {[](TextSettings& s) { s.FractionsOfSeconds ^= 1; }, true},
        {[](TextSettings& s) { s.ScaleSizes ^= 1; }, true},
        {[](TextSettings& s) { s.CodePage += 1; }, false},
        {[](TextSettings& s) { s.CurTab = 2; }, false},
    };
    for (size_t i = 0; i < std::size(kChanges); ++i) {
        TextSettings changed;
        kChanges[i].change(changed);
        EXPECT_EQ(!CModeText::SamePreviewSettings(TextSettings(), changed), kChanges[i].redraws) << i;
    }
}

TEST_F(ModeTextTest, CtrlTEditsTheLiveSettingsAndCancelPutsThemBack)
{
    if (!testjpeg::HaveTool("exiftool"))
        GTEST_SKIP() << "exiftool missing";
    const auto corpus = testjpeg::CorpusFile("gox_iphone4s_orient6.jpg");
    Start(QString::fromStdString(corpus.string()));
    S().Exif.Use = 1;
    S().Exif.Manual = 0;
    S().DateFormat = QStringLiteral("yyyy:MM:dd");
    S().TimeFormat = QStringLiteral("HH:mm:ss");
    S().Custom.Use = 1;
    S().Custom.Template = QStringLiteral("kept");
    S().CurTab = 0;
    Tick();
    const TextSettings before = S();
    const int drawsBefore = m_mode->PreviewDrawCount();
    int drawsAtCancel = 0;

    EditWithDialog([&](CInsertTextDlgWrapper* dialog, CDlgOperText* editor) {
        EXPECT_EQ(editor->GetTab().GetTitles(), QStringList({"EXIF", "Custom Text", "Format"}));
        QWidget* w = editor->GetExifPage().GetSafeHwnd();
        const int fields[3] = {1010, 1011, 1027};
        const struct {
            int picks[3];
            const char* templ;
        } kPicks[] = {{{1, 0, 8}, "%d %i"}, {{0, 0, 8}, "%i"}};
        for (const auto& row : kPicks) {
            for (int i = 0; i < 3; ++i)
                PickByKeys(Item<QComboBox>(w, fields[i]), row.picks[i]);
            EXPECT_EQ(S().Exif.Template, QString::fromUtf8(row.templ));
        }
        auto* edit = Item<QPlainTextEdit>(w, 1026);
        RightClick(edit->viewport());
        EXPECT_EQ(editor->GetExifPage().GetQuickMenu(), nullptr); // read-only: no menu

        // "Edit": the fields go, the typed template drives the output.
        Toggle(Item<QCheckBox>(w, 1036));
        for (int id : fields)
            EXPECT_FALSE(GetDlgItem(w, id)->isEnabled());
        EXPECT_FALSE(edit->isReadOnly());
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "%d %t");
        auto* output = Item<QLabel>(w, 1025);
        const QString shot = ExifTool("DateTimeOriginal", corpus.string());
        EXPECT_FALSE(shot.isEmpty());
        EXPECT_EQ(output->text(), shot);
        edit->selectAll();
        QTest::keyClicks(edit, "%i");
        const QString iso = ExifTool("ISO", corpus.string());
        EXPECT_TRUE(!iso.isEmpty() && output->text().endsWith(iso)) << output->text().toStdString();

        // The change reaches the preview at the next poll.
        Tick();
        EXPECT_GT(m_mode->PreviewDrawCount(), drawsBefore);

        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        RightClick(edit->viewport());
        QMenu* menu = editor->GetExifPage().GetQuickMenu();
        ASSERT_NE(menu, nullptr);
        EXPECT_SOON(menu->isVisible());
        for (QAction* action : menu->actions())
            if (action->text().startsWith("GPS Latitude"))
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        EXPECT_EQ(S().Exif.Template, " %GLt");
        EXPECT_EQ(edit->textCursor().position(), 5);
        Tick();
        const int draws = m_mode->PreviewDrawCount();

        // A tab switch alone changes nothing the preview shows.
        QTabBar* tabs = editor->GetTab().GetTabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        EXPECT_EQ(editor->GetTab().GetCurSel(), 1);
        Tick();
        EXPECT_EQ(m_mode->PreviewDrawCount(), draws);

        // "Custom Text" off: controls blank and disabled, values kept.
        QWidget* c = editor->GetCustomPage().GetSafeHwnd();
        Toggle(Item<QCheckBox>(c, 1018));
        EXPECT_FALSE(GetDlgItem(c, 1017)->isEnabled());
        EXPECT_EQ(Item<QPlainTextEdit>(c, 1017)->toPlainText(), "");
        EXPECT_EQ(S().Custom.Template, "kept");
        m_view->viewport()->repaint();
        drawsAtCancel = m_mode->PreviewDrawCount();
        QTest::mouseClick(GetDlgItem(dialog, CInsertTextDlgWrapper::IDCANCEL), Qt::LeftButton);
    });
    EXPECT_TRUE(CModeText::SamePreviewSettings(S(), before));
    EXPECT_EQ(S().CurTab, before.CurTab);
    // The poll saw the dialog's values: the restored ones differ and redraw.
    Tick();
    EXPECT_GT(m_mode->PreviewDrawCount(), drawsAtCancel);

    // Each opening shows the values of the moment; the second comes from a
    // double-click on the shown text. Esc closes the dialog.
    for (int size : {40, 50, 60}) {
        S().Exif.FontSize = size;
        QString shown;
        EditWithDialog([&](CInsertTextDlgWrapper* dialog, CDlgOperText* editor) {
            shown = GetWindowTextString(GetDlgItem(editor->GetExifPage().GetSafeHwnd(), 1032));
            QTest::keyClick(dialog, Qt::Key_Escape);
        }, size == 50);
        EXPECT_EQ(shown, QString::number(size));
    }
}

TEST_F(ModeTextTest, EscClickEnterAndUndoOnTheImage)
{
    // 4:2:0, MCUs of 16 x 16: 20 x 12 of them.
    const auto path = m_tmp / "photo.jpg";
    ASSERT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(320, 192), testjpeg::Sampled(90, {{2, 2}, {1, 1}, {1, 1}}))));
    Start(QString::fromStdString(path.string()));
    CKsImage& image = m_app->m_image;
    S().ScaleSizes = 0;
    S().Exif.Use = 0;
    S().Custom.Placement = 4;
    S().Custom.FontSize = 24;
    S().CurTab = 1;

    // Typed lines are stored with CR LF.
    EditWithDialog([&](CInsertTextDlgWrapper* dialog, CDlgOperText* editor) {
        QWidget* c = editor->GetCustomPage().GetSafeHwnd();
        if (!S().Custom.Use)
            Toggle(Item<QCheckBox>(c, 1018));
        auto* edit = Item<QPlainTextEdit>(c, 1017);
        edit->setFocus();
        QTest::keyClicks(edit, "a");
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, "b");
        QTest::mouseClick(GetDlgItem(dialog, CInsertTextDlgWrapper::IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(S().Custom.Template, "a\r\nb");
    Tick();
    ASSERT_EQ(m_mode->GetBlockRects().size(), 2u); // one box per line

    // Paints reuse the drawn preview; the frames' timer repaints only their band.
    const int draws = m_mode->PreviewDrawCount();
    m_view->viewport()->repaint();
    EXPECT_EQ(m_mode->PreviewDrawCount(), draws);
    const QRegion band = m_mode->FrameRegion(m_view->OriginX(), m_view->OriginY(), m_view->Zoom());
    EXPECT_FALSE(band.isEmpty());
    EXPECT_LT(band.boundingRect().width() * 4, m_view->viewport()->width());

    // Esc shows the image's own bitmap, without text; a click brings the preview back.
    const QPoint centre(m_view->OriginX() + 160, m_view->OriginY() + 96);
    const QImage withText = m_view->viewport()->grab().toImage();
    Key(Qt::Key_Escape);
    EXPECT_FALSE(m_mode->HasText());
    EXPECT_EQ(m_mode->GetContextMenuIndex(), 1);
    const QImage plain = m_view->viewport()->grab().toImage();
    EXPECT_NE(withText, plain);
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_TRUE(m_mode->HasText());
    EXPECT_EQ(m_view->viewport()->grab().toImage(), withText);
    QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
    EXPECT_TRUE(m_frame->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/mode-text.png")));

    const std::vector<short> before = testwin::Coefficients(image);
    const std::vector<QRect> boxes = m_mode->GetBlockRects();
    Key(Qt::Key_Return);
    EXPECT_FALSE(m_mode->HasText());
    const std::vector<short> after = testwin::Coefficients(image);
    ASSERT_EQ(after.size(), before.size());
    size_t offset = 0;
    size_t differing = 0;
    for (int comp = 0; comp < 3; ++comp) {
        const int f = comp == 0 ? 2 : 1;
        for (int by = 0; by < 12 * f; ++by)
            for (int bx = 0; bx < 20 * f; ++bx, offset += 64) {
                const QRect mcu(bx / f * 16, by / f * 16, 16, 16);
                const bool under = std::any_of(boxes.begin(), boxes.end(), [&](const QRect& r) { return r.intersects(mcu); });
                const bool same = std::equal(before.begin() + offset, before.begin() + offset + 64, after.begin() + offset);
                if (!under) {
                    EXPECT_TRUE(same) << "component " << comp << " block " << bx << "," << by;
                }
                differing += same ? 0 : 1;
            }
    }
    EXPECT_GT(differing, 0u);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(testwin::Coefficients(image), before);
}
