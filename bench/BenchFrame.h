// For benchmarks of the whole program, headless: the large photo opened
// without the browser in a 1280 x 800 frame, the view at 100 %, and mouse
// drags timed with a paint after every move.
#pragma once

#include "BenchProgram.h"
#include "ChildView.h"
#include "MainFrame.h"
#include "PixmendApp.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace bench {

// Moves per timed drag.
inline constexpr int kMoves = 40;

// The program on the large photo in `dir`. Construct after the QApplication.
struct ProgramOnLargePhoto {
    explicit ProgramOnLargePhoto(const testjpeg::TempDir& dir)
    {
        // The program's profile goes to the temporary folder, not the user's.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir.path() / "config").string()));
        const auto photo = MakeLargePhoto(dir.path());
        if (!app.InitInstance({QStringLiteral("-nb"), QString::fromStdString(photo.string())})) {
            std::fprintf(stderr, "the program did not start\n");
            return;
        }
        frame = app.GetMainFrame();
        frame->resize(1280, 800);
        frame->show();
        QCoreApplication::processEvents();
        view = frame->GetView();
        view->ZoomActual();
        target = QImage(view->viewport()->size(), QImage::Format_RGB32);
        middle = QPoint(view->viewport()->width() / 2, view->viewport()->height() / 2);
        std::printf("photo %d x %d at 100 %%, view client %d x %d, ms per move and paint (best of 5 runs of %d)\n",
                    app.m_image.GetWidth(), app.m_image.GetHeight(), view->viewport()->width(),
                    view->viewport()->height(), kMoves);
    }
    bool Started() const { return view != nullptr; }

    CPixmendApp app;
    CMainFrame* frame = nullptr;
    CChildView* view = nullptr;
    QImage target;
    QPoint middle;
};

inline void Mouse(QWidget* target, QEvent::Type type, QPoint at, bool buttonHeld)
{
    QMouseEvent e(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton,
                  buttonHeld ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &e);
}

// A hover at `from`, a press, kMoves moves of `step` each followed by a paint
// of the view, a release; best of `runs`, each after `reset` (not timed).
// backAndForth turns the direction every ten moves.
inline double MsPerMovePaint(CChildView& view, QImage& target, QPoint from, QPoint step, bool backAndForth,
                             const std::function<void()>& reset = {}, int runs = 5)
{
    QWidget* vp = view.viewport();
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        if (reset)
            reset();
        best = std::min(best, TimeMs(
                                  [&] {
                                      Mouse(vp, QEvent::MouseMove, from, false);
                                      Mouse(vp, QEvent::MouseButtonPress, from, true);
                                      QPoint at = from;
                                      for (int i = 0; i < kMoves; ++i) {
                                          at += backAndForth && (i / 10) % 2 ? -step : step;
                                          Mouse(vp, QEvent::MouseMove, at, true);
                                          view.render(&target);
                                      }
                                      Mouse(vp, QEvent::MouseButtonRelease, at, false);
                                  },
                                  1));
    }
    return best / kMoves;
}

} // namespace bench
