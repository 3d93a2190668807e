// Painting the view while a pasted block is dragged over a 6000 x 4000 photo,
// against painting while the drag mode pans the same photo, in the same run
// and through the real frame. The paste preview copies the image's bitmap
// once per paste; a move only restores and redraws the block's rectangles.
#include "BenchProgram.h"
#include "ChildView.h"
#include "CommandIds.h"
#include "MainFrame.h"
#include "PixmendApp.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include <cstdio>

namespace {

constexpr int kMoves = 40;

void Mouse(QWidget* target, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &e);
}

// One press at `from`, kMoves moves of `step` each followed by a paint, a release.
double MsPerMovePaint(CChildView& view, QImage& target, QPoint from, QPoint step)
{
    QWidget* vp = view.viewport();
    return bench::TimeMs([&] {
               Mouse(vp, QEvent::MouseButtonPress, from);
               QPoint at = from;
               for (int i = 0; i < kMoves; ++i) {
                   at += (i / 10) % 2 ? -step : step;
                   Mouse(vp, QEvent::MouseMove, at);
                   view.render(&target);
               }
               Mouse(vp, QEvent::MouseButtonRelease, at);
           }) /
           kMoves;
}

} // namespace

int main(int argc, char** argv)
{
    bench::UseOffscreenPlatform();
    testjpeg::TempDir dir;
    // The program's profile goes to the temporary folder, not the user's.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir.path() / "config").string()));
    QApplication qapp(argc, argv);

    const auto photo = bench::MakeLargePhoto(dir.path());
    CPixmendApp app;
    if (!app.InitInstance({QStringLiteral("-nb"), QString::fromStdString(photo.string())})) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    CMainFrame* frame = app.GetMainFrame();
    frame->resize(1280, 800);
    frame->show();
    QCoreApplication::processEvents();
    CChildView& view = *frame->GetView();
    view.ZoomActual();
    QImage target(view.viewport()->size(), QImage::Format_RGB32);
    const QPoint middle(view.viewport()->width() / 2, view.viewport()->height() / 2);

    std::printf("photo %d x %d at 100 %%, view client %d x %d, ms per move and paint (best of 5 runs of %d)\n",
                app.m_image.GetWidth(), app.m_image.GetHeight(), view.viewport()->width(), view.viewport()->height(),
                kMoves);
    const double drag = MsPerMovePaint(view, target, middle, QPoint(7, 5));
    std::printf("%-44s %8.2f ms\n", "drag mode, panning", drag);

    CDib24 block;
    if (!block.Create(800, 600))
        return 1;
    for (int y = 0; y < block.Height(); ++y)
        for (int x = 0; x < block.Stride(); ++x)
            block.Row(y)[x] = static_cast<BYTE>(x + 3 * y);
    frame->GetPasteMode().StartPaste(&block);
    if (frame->GetCurrentModeId() != ID_EDIT_PASTE)
        return 1;
    const auto& s = view.Host().Selection();
    const QPoint inside(view.OriginX() + (s.Left + 100), view.OriginY() + (s.Top + 100));
    const double paste = MsPerMovePaint(view, target, inside, QPoint(7, 5));
    std::printf("%-44s %8.2f ms\n", "paste mode, dragging an 800 x 600 block", paste);
    std::printf("%-44s %8.2f\n", "ratio paste / drag (aim <= 1.5)", drag > 0 ? paste / drag : 0.0);
    return 0;
}
