// The colour, resize and reconstruct modes through the real frame, view and
// library, with values set as their panels set them: the colour preview
// shows the shift but never leaves the image changed (no history step, no
// second undo file, exact coefficients), Apply adds one exact step, and the
// resize and reconstruct modes edit as their operations run directly.
#include "ChildView.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "ModeColor.h"
#include "OperColor.h"
#include "OperReconstruct.h"
#include "OperResize.h"
#include "PixmendApp.h"
#include "ScopedConfigHome.h"
#include "ScopedEnv.h"
#include "TestJpeg.h"
#include "UndoFile.h"

#include <QAction>
#include <QDockWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

class CQuietBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return false; }
    Answer AskYesNoCancel(const QString&, const QString&) override { return Answer::No; }
    SaveErrorChoice AskSaveError(const QString&) override { return SaveErrorChoice::Abort; }
    bool ReportProgress(int) override { return true; }
};

std::vector<short> Coefficients(const CKsImage& image)
{
    short* data = nullptr;
    int count = 0;
    image.GetLibraryObject()->GetCoefficients(&data, &count);
    return data ? std::vector<short>(data, data + count) : std::vector<short>();
}

class ModeColorTest : public ::testing::Test {
protected:
    void SetUp() override { m_oldBoxes = SetMessageBoxes(&m_boxes); }
    void TearDown() override
    {
        m_app.reset();
        SetMessageBoxes(m_oldBoxes);
    }

    void Start(const QString& path)
    {
        m_app = std::make_unique<CPixmendApp>();
        ASSERT_TRUE(m_app->InitInstance({path}));
        m_frame = m_app->GetMainFrame();
        m_frame->resize(1000, 700);
        m_frame->show();
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        m_view = m_frame->GetView();
        m_view->ZoomActual();
        QCoreApplication::processEvents();
        m_app->GetCommands().UpdateAll();
    }
    QString WritePhoto(int w, int h)
    {
        const auto path = m_tmp / "photo.jpg";
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(w, h),
                                                               testjpeg::Sampled(90, {{2, 2}, {1, 1}, {1, 1}}))));
        return Q(path);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QTest::keyClick(m_frame->windowHandle(), key, mods);
        QCoreApplication::processEvents();
        m_app->GetCommands().UpdateAll();
    }
    template <class Mode>
    Mode* Current() const
    {
        return dynamic_cast<Mode*>(m_frame->GetCurrentMode());
    }
    CKsImage& Image() { return m_app->m_image; }
    CUndoMan& History() { return *m_app->m_image.GetUndoMan(); }
    QString Caption() const { return m_frame->GetModePane()->windowTitle(); }
    // The mean grey of the image as the view shows it (at 100 %).
    double ViewMean()
    {
        const QRect image(m_view->OriginX(), m_view->OriginY(), Image().GetWidth(), Image().GetHeight());
        const QImage shot = m_view->viewport()->grab(image).toImage().convertToFormat(QImage::Format_Grayscale8);
        double sum = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                sum += shot.constScanLine(y)[x];
        return sum / (double(shot.width()) * shot.height());
    }
    // The undo files in the program's temporary folder.
    int UndoFiles() const
    {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(m_undoDir.path()))
            n += CUndoFile::IsUndoFileName(Q(e.path().filename())) ? 1 : 0;
        return n;
    }

    CScopedConfigHome m_config;
    testjpeg::TempDir m_tmp;
    testjpeg::TempDir m_undoDir;
    CScopedEnv m_tmpEnv{"TMPDIR", Q(m_undoDir.path())};
    CQuietBoxes m_boxes;
    IMessageBoxes* m_oldBoxes = nullptr;
    std::unique_ptr<CPixmendApp> m_app;
    CMainFrame* m_frame = nullptr;
    CChildView* m_view = nullptr;
};

TEST_F(ModeColorTest, PreviewShowsTheShiftButLeavesTheImageExactlyAsItWas)
{
    Start(WritePhoto(96, 64));
    const std::vector<short> original = Coefficients(Image());
    ASSERT_FALSE(original.empty());
    ASSERT_EQ(UndoFiles(), 1);
    const double plain = ViewMean();

    Key(Qt::Key_B);
    auto* mode = Current<CModeColor>();
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(Caption(), QStringLiteral("Brightness / Color"));
    ColorParams* values = mode->GetColorValues();
    ASSERT_NE(values, nullptr);
    EXPECT_EQ((std::array{values->Brightness, values->BlueYellow, values->RedCyan}), (std::array{0, 0, 0}));

    // As the panel does: a value stored in place, then the listener.
    values->Brightness = 40;
    mode->GetListener()->OnChanged();
    EXPECT_TRUE(mode->IsPreviewShown());
    EXPECT_GT(ViewMean(), plain + 10);
    values->BlueYellow = -30;
    mode->GetListener()->OnChanged();
    values->RedCyan = 25;
    mode->GetListener()->OnChanged();
    const QImage preview = mode->SelectDisplayBitmap(m_view).copy();

    // The image: coefficients, history, modified flag, its own bitmap.
    EXPECT_EQ(Coefficients(Image()), original);
    EXPECT_FALSE(History().CanUndo());
    EXPECT_EQ(History().GetActionCount(), 0);
    EXPECT_FALSE(History().IsModified());
    const QImage shown = Image().GetDibImage().copy();
    ASSERT_TRUE(Image().CreateDib());
    EXPECT_EQ(Image().GetDibImage(), shown);
    EXPECT_NE(preview, shown);
    // The preview's bytes stayed in memory and are gone.
    ASSERT_NE(mode->GetPreviewUndoMan(), nullptr);
    EXPECT_TRUE(mode->GetPreviewUndoMan()->GetFilePath().isEmpty());
    EXPECT_EQ(mode->GetPreviewUndoMan()->GetActionCount(), 0);
    EXPECT_EQ(UndoFiles(), 1);

    // Leaving the mode drops the preview and keeps the values for next time.
    Key(Qt::Key_D);
    EXPECT_EQ(Caption(), QStringLiteral("Edit"));
    EXPECT_NEAR(ViewMean(), plain, 0.01);
    EXPECT_EQ(Coefficients(Image()), original);
    Key(Qt::Key_B);
    mode = Current<CModeColor>();
    ASSERT_NE(mode, nullptr);
    values = mode->GetColorValues();
    ASSERT_NE(values, nullptr);
    EXPECT_EQ((std::array{values->Brightness, values->BlueYellow, values->RedCyan}), (std::array{40, -30, 25}));
    EXPECT_FALSE(mode->IsPreviewShown());

    // Apply: one step that shows what the preview showed; values back to 0.
    mode->GetListener()->OnChanged();
    Key(Qt::Key_Return);
    EXPECT_EQ(History().GetActionCount(), 1);
    EXPECT_TRUE(History().IsModified());
    EXPECT_TRUE(m_frame->windowTitle().endsWith(QStringLiteral(" *")));
    EXPECT_EQ(Image().GetDibImage(), preview);
    EXPECT_FALSE(mode->IsPreviewShown());
    values = mode->GetColorValues();
    ASSERT_NE(values, nullptr);
    EXPECT_EQ((std::array{values->Brightness, values->BlueYellow, values->RedCyan}), (std::array{0, 0, 0}));
    const std::vector<short> applied = Coefficients(Image());
    ASSERT_EQ(applied.size(), original.size());
    size_t changed = 0;
    for (size_t i = 0; i < applied.size(); ++i) {
        // Only DC values (the first of every block) move.
        if (applied[i] != original[i]) {
            EXPECT_EQ(i % 64, 0u) << i;
        }
        changed += applied[i] != original[i];
    }
    EXPECT_GT(changed, 0u);

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Coefficients(Image()), original);
    EXPECT_FALSE(History().CanUndo());
    EXPECT_EQ(UndoFiles(), 1);
    // The mode came back after the undo with the values Apply left.
    ASSERT_NE(Current<CModeColor>(), nullptr);
    ASSERT_NE(Current<CModeColor>()->GetColorValues(), nullptr);
    EXPECT_EQ(Current<CModeColor>()->GetColorValues()->Brightness, 0);
}

TEST_F(ModeColorTest, AnImageTheLevelsEditRefusesLeavesTheModeInactive)
{
    const auto cmyk = testjpeg::CorpusFile("syn_cmyk_adobe_323x211.jpg");
    if (cmyk.empty())
        GTEST_SKIP() << "corpus file missing";
    Start(WritePhoto(64, 48));
    Key(Qt::Key_B);
    ASSERT_NE(Current<CModeColor>(), nullptr);
    Current<CModeColor>()->GetColorValues()->Brightness = 30;

    m_app->OpenDroppedFile(Q(cmyk));
    m_app->GetCommands().UpdateAll();
    ASSERT_TRUE(Image().IsLoaded());
    EXPECT_EQ(Image().GetWidth(), 323);
    auto* mode = Current<CModeColor>();
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->GetColorValues(), nullptr);
    EXPECT_EQ(Caption(), QStringLiteral("Edit"));
    EXPECT_FALSE(m_app->GetCommands().Action(ID_EDIT_COLOR)->isEnabled());
    // The values wait in the prototype for the next image that takes them.
    EXPECT_EQ(m_app->m_operColor.Params().Brightness, 30);
    const std::vector<short> before = Coefficients(Image());
    mode->GetListener()->OnChanged();
    Key(Qt::Key_Return);
    EXPECT_EQ(Coefficients(Image()), before);
    EXPECT_EQ(History().GetActionCount(), 0);
    EXPECT_FALSE(mode->IsPreviewShown());
}

TEST_F(ModeColorTest, ResizeAndReconstructApplyEqualTheirOperationsRunDirectly)
{
    struct Case {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* caption;
        // Sets the mode's working values; returns the same edit as an operation.
        std::function<COperation*(CMainFrame*)> set;
        std::function<bool(CPixmendApp&)> prototypeTookValues;
    };
    const Case cases[] = {
        {"resize", Qt::Key_R, Qt::AltModifier, "Resize / Resample",
         [](CMainFrame* frame) -> COperation* {
             auto* mode = dynamic_cast<CModeResize*>(frame->GetCurrentMode());
             ResizeParams* v = mode ? mode->GetWorkingValues() : nullptr;
             if (!v)
                 return nullptr;
             v->Units = 1;
             v->PixelsWidth = 61;
             v->PixelsHeight = 90;
             v->DontEnlarge = 1;
             auto* direct = new COperResize;
             direct->Params() = *v;
             return direct;
         },
         [](CPixmendApp& app) { return app.m_operResize.Params().PixelsWidth == 61; }},
        {"reconstruct", Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier, "Reconstruct",
         [](CMainFrame* frame) -> COperation* {
             auto* mode = dynamic_cast<CModeReconstruct*>(frame->GetCurrentMode());
             ReconstructParams* v = mode ? mode->GetWorkingValues() : nullptr;
             if (!v)
                 return nullptr;
             v->NumOfPasses = 2;
             auto* direct = new COperReconstruct;
             direct->Params().NumOfPasses = 2;
             return direct;
         },
         [](CPixmendApp& app) { return app.m_operReconstruct.Params().NumOfPasses == 2; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = WritePhoto(120, 72);
        Start(path);
        Key(c.key, c.mods);
        EXPECT_EQ(Caption(), QLatin1String(c.caption));
        std::unique_ptr<COperation> direct(c.set(m_frame));
        ASSERT_NE(direct, nullptr);
        const std::vector<short> before = Coefficients(Image());
        m_frame->ApplyCurrentMode();
        EXPECT_NE(Coefficients(Image()), before);
        EXPECT_EQ(History().GetActionCount(), 1);
        EXPECT_TRUE(c.prototypeTookValues(*m_app));

        CKsImage expected(m_app->m_jpegLib);
        ASSERT_TRUE(expected.Load(path, 0));
        int stop = 0;
        ASSERT_TRUE(expected.GetUndoMan()->AddAction(direct->CreateAction(&expected, &stop)));
        EXPECT_EQ(Image().GetWidth(), expected.GetWidth());
        EXPECT_EQ(Image().GetHeight(), expected.GetHeight());
        EXPECT_EQ(Coefficients(Image()), Coefficients(expected));
    }
}

} // namespace
