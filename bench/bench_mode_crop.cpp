// Painting the view while the crop mode's faded selection grows by 8 pixels
// a step (its right edge dragged) over a 6000 x 4000 photo, against painting
// while the drag mode pans the same photo, in the same run and through the
// real frame. The faded copy is made once; each step restores only the strip
// the selection gained.
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

    // A free, faded selection from the view's left quarter to its middle;
    // each run starts from the same rectangle.
    CropParams& crop = p.app.m_operCrop.Params();
    crop.Position = 0;
    crop.FadeOutsideArea = 1;
    crop.RunningAnts = 0;
    crop.CropPreset.clear();
    p.app.GetCommands().Execute(ID_EDIT_CROP);
    if (p.frame->GetCurrentModeId() != ID_EDIT_CROP)
        return 1;
    const int height = view.viewport()->height();
    const int left = -view.OriginX() + view.viewport()->width() / 4;
    const int top = -view.OriginY() + height / 4;
    const int right = -view.OriginX() + p.middle.x();
    const int bottom = -view.OriginY() + height * 3 / 4;
    const QPoint edge(view.OriginX() + right - 1, p.middle.y());
    const double grow = bench::MsPerMovePaint(view, p.target, edge, QPoint(8, 0), false, [&] {
        SetSelectionRect(crop, left, top, right, bottom);
        view.SetSelectionShown(true);
        view.UpdateView(true);
        view.render(&p.target); // the first faded paint makes the copy
    });
    std::printf("%-44s %8.2f ms\n", "crop mode, faded selection growing 8 px", grow);
    std::printf("%-44s %8.2f\n", "ratio crop / drag", drag > 0 ? grow / drag : 0.0);
    return 0;
}
