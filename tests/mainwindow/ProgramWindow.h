// Start-up and mouse helpers shared by the tests that drive the real window.
#pragma once

#include "ChildView.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "PixmendApp.h"

#include <QCoreApplication>
#include <QSize>
#include <QStringList>
#include <QTest>

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

} // namespace testwin
