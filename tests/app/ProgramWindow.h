// Start-up and mouse helpers shared by the tests that drive the real window.
#pragma once

#include "ChildView.h"
#include "KsImage.h"
#include "LayoutCheck.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "ModePane.h"
#include "PixmendApp.h"
#include "ScopedConfigHome.h"
#include "TestJpeg.h"

#include <QCoreApplication>
#include <QSize>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace testwin {

// Starts the program with `args`, shows the window at `size`, waits until it
// is active and sets the view to 100 %. Null when start-up failed.
inline CMainFrame* StartProgram(std::unique_ptr<CPixmendApp>& app, const QStringList& args,
                                QSize size = QSize(1280, 800))
{
    app = std::make_unique<CPixmendApp>();
    if (!app->InitInstance(args))
        return nullptr;
    CMainFrame* frame = app->GetMainFrame();
    frame->resize(size);
    frame->show();
    frame->activateWindow();
    if (!QTest::qWaitForWindowActive(frame))
        return nullptr;
    frame->GetView()->ZoomActual();
    QCoreApplication::processEvents();
    app->GetCommands().UpdateAll();
    return frame;
}

// The image's quantised coefficients, empty without a library object.
inline std::vector<short> Coefficients(const CKsImage& image)
{
    short* data = nullptr;
    int count = 0;
    if (image.GetLibraryObject())
        image.GetLibraryObject()->GetCoefficients(&data, &count);
    return data ? std::vector<short>(data, data + count) : std::vector<short>();
}

// The viewport point showing image pixel (x, y).
inline QPoint ClientPoint(const CChildView& view, int x, int y)
{
    return QPoint(view.OriginX() + x * static_cast<int>(view.Zoom()) / 256,
                  view.OriginY() + y * static_cast<int>(view.Zoom()) / 256);
}

// A left-button drag in the viewport with one move half way.
inline void Drag(CChildView& view, QPoint from, QPoint to)
{
    QWidget* vp = view.viewport();
    QTest::mouseMove(vp, from);
    QTest::mousePress(vp, Qt::LeftButton, {}, from);
    QTest::mouseMove(vp, (from + to) / 2);
    QTest::mouseMove(vp, to);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
}

// Message boxes that say nothing and answer "no".
class CQuietBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return false; }
    Answer AskYesNoCancel(const QString&, const QString&) override { return Answer::No; }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Abort; }
    bool ReportProgress(int) override { return true; }
};

// A test of the whole program: its own settings and temporary folders,
// quiet message boxes, the program and its window.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { m_oldBoxes = SetMessageBoxes(&m_boxes); }
    void TearDown() override
    {
        m_app.reset();
        SetMessageBoxes(m_oldBoxes);
    }
    // The program on `path` in a 1280 x 800 window at 100 %.
    void Start(const QString& path)
    {
        m_frame = StartProgram(m_app, {path});
        ASSERT_NE(m_frame, nullptr);
        m_view = m_frame->GetView();
    }

    CScopedConfigHome m_config;
    testjpeg::TempDir m_tmp;
    CQuietBoxes m_boxes;
    IMessageBoxes* m_oldBoxes = nullptr;
    std::unique_ptr<CPixmendApp> m_app;
    CMainFrame* m_frame = nullptr;
    CChildView* m_view = nullptr;
};

// The same for the panel shown in the mode pane (the page area's other
// pages are hidden and may be wider).
inline QStringList PanelLayoutProblems(CMainFrame& frame)
{
    CPropertyPage* page = frame.GetModePane()->GetSheet().GetActivePage();
    const QWidget* panel = page ? page->GetSafeHwnd() : nullptr;
    return panel ? layoutcheck::WidgetLayoutProblems(panel) : QStringList{QStringLiteral("no panel")};
}

} // namespace testwin
