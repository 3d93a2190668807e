// Painting the image view: a 6000 x 4000 photo at fit and at 100 %, the view
// rendered offscreen into an image again and again. For scale it also times
// one conversion of the whole display bitmap, which a paint must never do.
#include "BenchProgram.h"
#include "ChildView.h"
#include "JPEGlib.h"
#include "KsImage.h"

#include <QApplication>
#include <QImage>

#include <cstdio>

namespace {

constexpr int kPaints = 20;

double MsPerPaint(CChildView& view, QImage& target)
{
    return bench::TimeMs([&] {
               for (int i = 0; i < kPaints; ++i)
                   view.render(&target);
           }) /
           kPaints;
}

} // namespace

int main(int argc, char** argv)
{
    bench::UseOffscreenPlatform();
    QApplication app(argc, argv);

    testjpeg::TempDir dir;
    CJPEGlib lib;
    CKsImage image(lib);
    if (bench::OpenLargePhoto(lib, image, dir.path()).empty())
        return 1;

    CChildView view;
    view.Host().Settings().ScaleOnOpen = 1;
    view.resize(1280, 800);
    view.show();
    QCoreApplication::processEvents();
    view.AttachImage(&image);
    QImage target(view.size(), QImage::Format_RGB32);

    std::printf("photo %d x %d, view client %d x %d, ms per paint (best of 5 runs of %d paints)\n", image.GetWidth(),
                image.GetHeight(), view.viewport()->width(), view.viewport()->height(), kPaints);
    view.Host().Settings().DrawMode = 0;
    std::printf("%-44s %8.2f ms\n", qPrintable(QString("fit (zoom %1/256), speed").arg(view.Zoom())),
                MsPerPaint(view, target));
    view.Host().Settings().DrawMode = 1;
    std::printf("%-44s %8.2f ms\n", qPrintable(QString("fit (zoom %1/256), quality").arg(view.Zoom())),
                MsPerPaint(view, target));
    view.ZoomActual();
    std::printf("%-44s %8.2f ms\n", "100 %, centre", MsPerPaint(view, target));
    view.SetZoomIndex(12); // 300 %
    std::printf("%-44s %8.2f ms\n", "300 %, centre", MsPerPaint(view, target));

    const QImage dib = image.GetDibImage();
    const double convert = bench::TimeMs([&] {
        const QImage whole = dib.convertToFormat(QImage::Format_RGB32);
        if (whole.isNull())
            std::fprintf(stderr, "conversion failed\n");
    });
    std::printf("%-44s %8.2f ms\n", "(one whole-bitmap conversion, for scale)", convert);
    return 0;
}
