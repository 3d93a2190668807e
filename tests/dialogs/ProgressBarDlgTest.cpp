// The reconstruct progress window over the real main frame, with the real
// library's reconstruct of a 2000 x 1500 photo: the frame is disabled while
// the pass runs, every way of cancelling ends the call after one more row
// and leaves an edit that undoes exactly, and nothing (not even a close
// request to the frame) gets in while the library call is on the stack.
// Also where the window goes when told to keep a rectangle clear.
#include "Action.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "PixmendApp.h"
#include "ProgressBarDlg.h"
#include "ReconstructProgress.h"
#include "ScopedConfigHome.h"
#include "TestJpeg.h"
#include "UndoMan.h"
#include "WidgetMessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

std::vector<short> Coefficients(const CKsImage& image)
{
    short* data = nullptr;
    int count = 0;
    if (IKestrel* k = image.GetLibraryObject())
        k->GetCoefficients(&data, &count);
    return data ? std::vector<short>(data, data + count) : std::vector<short>();
}

// Progress windows over a window the test names; counts close queries.
class CProgressBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return false; }
    Answer AskYesNoCancel(const QString&, const QString&) override
    {
        ++asked;
        return Answer::Cancel;
    }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Abort; }
    bool ReportProgress(int) override { return true; }
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override
    {
        return silent ? CreateSilentProgressWindow() : CreateProgressBarWindow(owner);
    }

    QWidget* owner = nullptr;
    bool silent = false;
    int asked = 0;
};

// What the library's callbacks saw: every answer, in order.
std::vector<int> g_answers;

int CountingCallback(int percent)
{
    const int answer = CReconstructProgress::OnLibraryProgress(percent);
    g_answers.push_back(answer);
    return answer;
}

// The reconstruct as the program's edit runs it: the progress object lives
// for the library call; `onNextPass` plays the listener.
class CTestReconstruct final : public CAction, public CReconstructProgress::IProgressListener {
public:
    CTestReconstruct(int passes, std::function<void()> onNextPass)
        : m_passes(passes)
        , m_onNextPass(std::move(onNextPass))
    {
    }
    IAction* Clone() const override { return new CTestReconstruct(m_passes, m_onNextPass); }
    QString GetName() const override { return QStringLiteral("Reconstruct"); }
    int IsBitmapEdit() const override { return 0; }
    void OnNextPass() override
    {
        ++nextPasses;
        if (m_onNextPass)
            m_onNextPass();
    }
    int nextPasses = 0;
    int result = -1;

protected:
    void Apply(const void*) override
    {
        CReconstructProgress progress(this, m_passes, nullptr);
        result = LibraryEdit([this] { return Library()->Reconstruct(m_passes, &CountingCallback); });
    }
    void Revert() override { RevertLibraryEdits(); }

private:
    int m_passes;
    std::function<void()> m_onNextPass;
};

class ProgressBarDlgTest : public ::testing::Test {
protected:
    void SetUp() override { m_oldBoxes = SetMessageBoxes(&m_boxes); }
    void TearDown() override { SetMessageBoxes(m_oldBoxes); }

    CScopedConfigHome m_config;
    testjpeg::TempDir m_tmp;
    CProgressBoxes m_boxes;
    IMessageBoxes* m_oldBoxes = nullptr;
};

TEST_F(ProgressBarDlgTest, EveryWayOfCancellingEndsThePassAndGivesTheFrameBack)
{
    const auto photo = m_tmp / "photo.jpg";
    ASSERT_TRUE(testjpeg::WriteFile(
        photo, testjpeg::Encode(testjpeg::MakePattern(2000, 1500), testjpeg::Sampled(75, {{2, 2}, {1, 1}, {1, 1}}))));
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({Q(photo)}));
    CMainFrame* frame = app.GetMainFrame();
    ASSERT_TRUE(frame && app.m_image.IsLoaded());
    frame->show();
    m_boxes.owner = frame;
    const std::vector<short> original = Coefficients(app.m_image);

    const struct {
        const char* how;
        std::function<void(CProgressBarDlg*)> cancel;
    } ways[] = {
        {"Cancel button", [](CProgressBarDlg* d) { QTest::mouseClick(d->GetCancelButton(), Qt::LeftButton); }},
        {"Esc", [](CProgressBarDlg* d) { QTest::keyClick(d, Qt::Key_Escape); }},
        {"close request to the dialog", [](CProgressBarDlg* d) { d->close(); }},
        {"close request to the frame, then Cancel",
         [frame](CProgressBarDlg* d) {
             EXPECT_FALSE(frame->close());
             EXPECT_TRUE(frame->isVisible());
             QTest::mouseClick(d->GetCancelButton(), Qt::LeftButton);
         }},
    };
    bool first = true;
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        g_answers.clear();
        bool sawDisabledFrame = false;
        bool sawPaintedDialog = false;
        size_t answersAtCancel = 0;
        QPointer<CProgressBarDlg> dialog;
        auto* action = new CTestReconstruct(3, [&] {
            dialog = frame->findChild<CProgressBarDlg*>();
            if (!dialog)
                return;
            sawDisabledFrame = !frame->isEnabled() && dialog->isEnabled() && dialog->isVisible();
            EXPECT_EQ(dialog->GetProgressCtrl()->maximum(), 300);
            const QImage shot = dialog->grab().toImage();
            sawPaintedDialog = !shot.isNull() && shot.pixelColor(shot.width() / 2, 2).isValid();
            if (first) {
                // The frame with its progress window where it stands.
                QImage composed = frame->grab().toImage();
                QPainter painter(&composed);
                painter.drawImage(dialog->frameGeometry().topLeft() - frame->frameGeometry().topLeft(), shot);
                painter.end();
                QDir().mkpath(PIXMEND_ARTIFACTS_DIR);
                EXPECT_TRUE(composed.save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/reconstruct-progress.png")));
                first = false;
            }
            // Cancel from a timer, as a click arrives while the pass runs.
            QTimer::singleShot(0, dialog, [&, d = dialog.data()] {
                answersAtCancel = g_answers.size();
                way.cancel(d);
                EXPECT_TRUE(d->isVisible()); // stays until the edit ends
            });
        });
        ASSERT_TRUE(app.m_image.GetUndoMan()->AddAction(action));

        EXPECT_TRUE(sawDisabledFrame);
        EXPECT_TRUE(sawPaintedDialog);
        EXPECT_EQ(action->nextPasses, 1); // ended in pass 2
        EXPECT_EQ(action->result, 1);     // a cancelled reconstruct is still an edit
        // The callback that ran the click answered 0 and was the last one.
        ASSERT_GT(answersAtCancel, 0u);
        EXPECT_EQ(g_answers.size(), answersAtCancel + 1);
        EXPECT_EQ(g_answers.back(), 0);
        EXPECT_EQ(std::count(g_answers.begin(), g_answers.end(), 0), 1);

        EXPECT_TRUE(frame->isEnabled());
        EXPECT_FALSE(CReconstructProgress::IsRunning());
        EXPECT_TRUE(dialog.isNull());
        EXPECT_EQ(m_boxes.asked, 0); // the close request asked nothing
        EXPECT_NE(Coefficients(app.m_image), original);

        app.m_image.GetUndoMan()->Undo();
        EXPECT_EQ(Coefficients(app.m_image), original);
    }
    // With a window that blocks nothing the frame itself refuses to close
    // (and to ask about saving) while a reconstruct runs.
    m_boxes.silent = true;
    {
        CReconstructProgress progress(nullptr, 1, nullptr);
        EXPECT_TRUE(frame->isEnabled());
        EXPECT_FALSE(frame->close());
    }
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(m_boxes.asked, 0);
    app.ExitInstance(0);
}

TEST_F(ProgressBarDlgTest, TheProgramsMessageBoxesPutTheWindowOverTheMainFrame)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    CMainFrame* frame = app.GetMainFrame();
    const QByteArray old = qgetenv("PIXMEND_NONINTERACTIVE");
    qunsetenv("PIXMEND_NONINTERACTIVE");
    CWidgetMessageBoxes boxes;
    if (!old.isNull())
        qputenv("PIXMEND_NONINTERACTIVE", old);
    SetMessageBoxes(&boxes);
    {
        CReconstructProgress progress(nullptr, 2, nullptr);
        auto* dialog = frame->findChild<CProgressBarDlg*>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(frame->isEnabled());
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Reconstruction: 0 % Pass # 1 of 2"));
    }
    SetMessageBoxes(&m_boxes);
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_EQ(frame->findChild<CProgressBarDlg*>(), nullptr);
    app.ExitInstance(0);
}

TEST_F(ProgressBarDlgTest, KeepsARectangleClearAndStaysOnTheScreen)
{
    QWidget owner;
    // In the lower half of the screen, so there is room above.
    owner.setGeometry(100, 350, 400, 300);
    owner.show();
    m_boxes.owner = &owner;
    const QRect screen = owner.screen()->availableGeometry();

    auto placed = [&](const QRect* keepClear) {
        CReconstructProgress progress(nullptr, 2, keepClear);
        auto* dialog = owner.findChild<CProgressBarDlg*>();
        EXPECT_NE(dialog, nullptr);
        EXPECT_FALSE(owner.isEnabled());
        return dialog ? dialog->frameGeometry() : QRect();
    };
    const QRect home = placed(nullptr);
    EXPECT_TRUE(owner.isEnabled());
    ASSERT_TRUE(home.isValid());
    EXPECT_TRUE(screen.contains(home));

    // Overlapping: moved just below, same left.
    const QRect over(home.left() - 10, home.top() - 5, 50, 20);
    const QRect below = placed(&over);
    EXPECT_EQ(below.topLeft(), QPoint(home.left(), over.bottom() + 1));
    EXPECT_EQ(below.size(), home.size());

    // Below the window: not moved.
    const QRect under(home.left(), home.bottom() + 10, 50, 20);
    EXPECT_EQ(placed(&under), home);

    // Overlapping down to near the screen's bottom: below does not fit,
    // so just above it.
    const QRect tall(home.left(), home.top(), home.width(), screen.bottom() - 5 - home.top() + 1);
    const QRect above = placed(&tall);
    EXPECT_TRUE(screen.contains(above));
    EXPECT_EQ(above.bottomLeft(), QPoint(home.left(), tall.top() - 1));

    // An exception unwinding through the edit still gives the owner back.
    try {
        CReconstructProgress progress(nullptr, 1, nullptr);
        throw std::runtime_error("unwind");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(owner.findChild<CProgressBarDlg*>(), nullptr);
    EXPECT_FALSE(CReconstructProgress::IsRunning());
}

} // namespace
