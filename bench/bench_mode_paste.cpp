// Painting the view while a pasted block is dragged over a 6000 x 4000 photo,
// against painting while the drag mode pans the same photo, in the same run
// and through the real frame. The paste preview copies the image's bitmap
// once per paste; a move only restores and redraws the block's rectangles.
#include "BenchFrame.h"
#include "CommandIds.h"

#include <QApplication>

int main(int argc, char** argv)
{
    bench::UseOffscreenPlatform();
    testjpeg::TempDir dir;
    QApplication qapp(argc, argv);
    bench::ProgramOnLargePhoto p(dir);
    if (!p.Started())
        return 1;
    CChildView& view = *p.view;
    const double drag = bench::MsPerMovePaint(view, p.target, p.middle, QPoint(7, 5), true);
    std::printf("%-44s %8.2f ms\n", "drag mode, panning", drag);

    CDib24 block;
    if (!block.Create(800, 600))
        return 1;
    for (int y = 0; y < block.Height(); ++y)
        for (int x = 0; x < block.Stride(); ++x)
            block.Row(y)[x] = static_cast<BYTE>(x + 3 * y);
    p.frame->GetPasteMode().StartPaste(&block);
    if (p.frame->GetCurrentModeId() != ID_EDIT_PASTE)
        return 1;
    const auto& s = view.Host().Selection();
    const QPoint inside(view.OriginX() + (s.Left + 100), view.OriginY() + (s.Top + 100));
    const double paste = bench::MsPerMovePaint(view, p.target, inside, QPoint(7, 5), true);
    std::printf("%-44s %8.2f ms\n", "paste mode, dragging an 800 x 600 block", paste);
    std::printf("%-44s %8.2f\n", "ratio paste / drag (aim <= 1.5)", drag > 0 ? paste / drag : 0.0);
    return 0;
}
