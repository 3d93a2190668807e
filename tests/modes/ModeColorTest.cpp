// The colour, resize and reconstruct modes through the real frame, view and
// library, with values set as their panels set them: the colour preview
// shows the shift but never leaves the image changed (no history step, no
// second undo file, exact coefficients), Apply adds one exact step, and the
// resize and reconstruct modes edit as their operations run directly.
#include "AnswerBoxes.h"
#include "ChildView.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "ModeColor.h"
#include "OperColor.h"
#include "OperReconstruct.h"
#include "OperResize.h"
#include "PixmendApp.h"
#include "ProgramWindow.h"
#include "ScopedConfigHome.h"
#include "ScopedEnv.h"
#include "TestJpeg.h"
#include "UndoFile.h"

#include <QAction>
#include <QDockWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <array>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

class ModeColorTest : public ::testing::Test {
protected:
    void Start(const QString& path)
    {
        m_frame = testwin::StartProgram(m_app, {path}, QSize(1000, 700));
        ASSERT_NE(m_frame, nullptr);
        m_view = m_frame->GetView();
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
    static std::array<int, 3> Values(const ColorParams* v) { return {v->Brightness, v->BlueYellow, v->RedCyan}; }
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
    // Applies the current mode: one step, the same image as `direct` run on
    // a fresh load of `path`.
    void ExpectApplyGives(const QString& path, COperation& direct)
    {
        const std::vector<short> before = testwin::Coefficients(Image());
        m_frame->ApplyCurrentMode();
        EXPECT_EQ(History().GetActionCount(), 1);
        EXPECT_NE(testwin::Coefficients(Image()), before);
        CKsImage expected(m_app->m_jpegLib);
        ASSERT_TRUE(expected.Load(path, 0));
        int stop = 0;
        ASSERT_TRUE(expected.GetUndoMan()->AddAction(direct.CreateAction(&expected, &stop)));
        EXPECT_EQ(Image().GetWidth(), expected.GetWidth());
        EXPECT_EQ(Image().GetHeight(), expected.GetHeight());
        EXPECT_EQ(testwin::Coefficients(Image()), testwin::Coefficients(expected));
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
    CAnswerBoxes m_boxes;
    std::unique_ptr<CPixmendApp> m_app;
    CMainFrame* m_frame = nullptr;
    CChildView* m_view = nullptr;
};

TEST_F(ModeColorTest, PreviewShowsTheShiftButLeavesTheImageExactlyAsItWas)
{
    Start(WritePhoto(96, 64));
    const std::vector<short> original = testwin::Coefficients(Image());
    ASSERT_FALSE(original.empty());
    ASSERT_EQ(UndoFiles(), 1);
    const double plain = ViewMean();

    Key(Qt::Key_B);
    auto* mode = Current<CModeColor>();
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(Caption(), QStringLiteral("Brightness / Color"));
    ColorParams* values = mode->GetColorValues();
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(Values(values), (std::array{0, 0, 0}));

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
    Key(Qt::Key_Escape);
    EXPECT_EQ(testwin::Coefficients(Image()), original);
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
    EXPECT_EQ(testwin::Coefficients(Image()), original);
    Key(Qt::Key_B);
    ASSERT_EQ(Current<CModeColor>(), mode);
    ASSERT_NE(values = mode->GetColorValues(), nullptr);
    EXPECT_EQ(Values(values), (std::array{40, -30, 25}));

    // Apply: one step that shows what the preview showed; values back to 0.
    mode->GetListener()->OnChanged();
    Key(Qt::Key_Return);
    EXPECT_EQ(History().GetActionCount(), 1);
    EXPECT_TRUE(History().IsModified());
    EXPECT_TRUE(m_frame->windowTitle().endsWith(QStringLiteral(" *")));
    EXPECT_EQ(Image().GetDibImage(), preview);
    EXPECT_FALSE(mode->IsPreviewShown());
    EXPECT_EQ(Values(mode->GetColorValues()), (std::array{0, 0, 0}));
    // Only DC values (the first of every block) move.
    std::vector<short> applied = testwin::Coefficients(Image());
    EXPECT_NE(applied, original);
    for (size_t i = 0; i < applied.size(); i += 64)
        applied[i] = original[i];
    EXPECT_EQ(applied, original);

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(testwin::Coefficients(Image()), original);
    EXPECT_EQ(UndoFiles(), 1);
}

// Each value alone is something to do: the preview shows it and Apply
// makes the colour operation's edit.
TEST_F(ModeColorTest, EachValueAloneIsPreviewedAndApplied)
{
    const QString path = WritePhoto(96, 64);
    for (int ColorParams::*value : {&ColorParams::Brightness, &ColorParams::BlueYellow, &ColorParams::RedCyan}) {
        Start(path);
        Key(Qt::Key_B);
        auto* mode = Current<CModeColor>();
        ASSERT_NE(mode, nullptr);
        ASSERT_NE(mode->GetColorValues(), nullptr);
        mode->GetColorValues()->*value = 25;
        SCOPED_TRACE(testing::PrintToString(Values(mode->GetColorValues())));
        mode->GetListener()->OnChanged();
        EXPECT_TRUE(mode->IsPreviewShown());
        COperColor direct;
        direct.Params().*value = 25;
        ExpectApplyGives(path, direct);
    }
}

TEST_F(ModeColorTest, AnImageTheLevelsEditRefusesLeavesTheModeInactive)
{
    const auto cmyk = testjpeg::CorpusFile("syn_cmyk_adobe_323x211.jpg");
    Start(WritePhoto(64, 48));
    Key(Qt::Key_B);
    ASSERT_NE(Current<CModeColor>(), nullptr);
    Current<CModeColor>()->GetColorValues()->Brightness = 30;

    m_app->OpenDroppedFile(Q(cmyk));
    m_app->GetCommands().UpdateAll();
    ASSERT_TRUE(Image().IsLoaded());
    auto* mode = Current<CModeColor>();
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->GetColorValues(), nullptr);
    EXPECT_EQ(Caption(), QStringLiteral("Edit"));
    EXPECT_FALSE(m_app->GetCommands().Action(ID_EDIT_COLOR)->isEnabled());
    // The values wait in the prototype for the next image that takes them.
    EXPECT_EQ(m_app->m_operColor.Params().Brightness, 30);
    const std::vector<short> before = testwin::Coefficients(Image());
    mode->GetListener()->OnChanged();
    Key(Qt::Key_Return);
    EXPECT_EQ(testwin::Coefficients(Image()), before);
    EXPECT_EQ(History().GetActionCount(), 0);
    EXPECT_FALSE(mode->IsPreviewShown());
}

// Colour values set on a colour image wait behind the disabled rows of a
// grayscale one and are not applied there: alone they make no step, with a
// brightness the step is the brightness alone.
TEST_F(ModeColorTest, ColourValuesLeftBehindDoNothingOnAGrayscaleImage)
{
    Start(WritePhoto(64, 48));
    Key(Qt::Key_B);
    ASSERT_NE(Current<CModeColor>(), nullptr);
    Current<CModeColor>()->GetColorValues()->BlueYellow = -30;
    Current<CModeColor>()->GetColorValues()->RedCyan = 25;
    const auto gray = m_tmp / "gray.jpg";
    testjpeg::EncodeParams params;
    params.inColorSpace = JCS_GRAYSCALE;
    ASSERT_TRUE(testjpeg::WriteFile(gray, testjpeg::Encode(testjpeg::MakePattern(64, 48, 1), params)));

    m_app->OpenDroppedFile(Q(gray));
    m_app->GetCommands().UpdateAll();
    auto* mode = Current<CModeColor>();
    ASSERT_NE(mode, nullptr);
    ASSERT_NE(mode->GetColorValues(), nullptr);
    EXPECT_EQ(Values(mode->GetColorValues()), (std::array{0, -30, 25}));
    mode->GetListener()->OnChanged();
    EXPECT_FALSE(mode->IsPreviewShown());
    Key(Qt::Key_Return);
    EXPECT_EQ(History().GetActionCount(), 0);
    EXPECT_FALSE(History().IsModified());

    mode->GetColorValues()->Brightness = 20;
    mode->GetColorValues()->RedCyan = 40;
    mode->GetListener()->OnChanged();
    COperColor brighter;
    brighter.Params().Brightness = 20;
    ExpectApplyGives(Q(gray), brighter);
}

TEST_F(ModeColorTest, ResizeAndReconstructApplyEqualTheirOperationsRunDirectly)
{
    const QString path = WritePhoto(120, 72);
    Start(path);
    Key(Qt::Key_R, Qt::AltModifier);
    EXPECT_EQ(Caption(), QStringLiteral("Resize / Resample"));
    ResizeParams* size = Current<CModeResize>() ? Current<CModeResize>()->GetWorkingValues() : nullptr;
    ASSERT_NE(size, nullptr);
    *size = ResizeParams{1, 61, 90, 100, 1, 1, 1, 1};
    COperResize resize;
    resize.Params() = *size;
    ExpectApplyGives(path, resize);
    EXPECT_EQ(m_app->m_operResize.Params().PixelsWidth, 61);

    Start(path);
    Key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Caption(), QStringLiteral("Reconstruct"));
    auto* passes = Current<CModeReconstruct>() ? Current<CModeReconstruct>()->GetWorkingValues() : nullptr;
    ASSERT_NE(passes, nullptr);
    passes->NumOfPasses = 2;
    COperReconstruct reconstruct;
    reconstruct.Params().NumOfPasses = 2;
    ExpectApplyGives(path, reconstruct);
    EXPECT_EQ(m_app->m_operReconstruct.Params().NumOfPasses, 2);
}

} // namespace
