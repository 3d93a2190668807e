// RenderToBitmap of a large photo against `djpeg -dct int -nosmooth -ppm` of
// the same file. The tool also entropy-decodes; our coefficients are already
// in memory, so the load is timed apart for reference.
#include "BenchUtil.h"
#include "DllImage.h"
#include "platform/Bstr.h"

#include <cstdlib>
#include <vector>

int main()
{
    testjpeg::TempDir dir;
    const auto path = bench::MakeLargePhoto(dir.path());
    IKestrel* k = nullptr;
    const double load = bench::TimeMs([&] { k = bench::NewImage(path); }, 1);
    const int w = k->GetWidth(), h = k->GetHeight();
    std::vector<BYTE> bitmap(static_cast<size_t>(w) * h * 3);
    // Bottom-up with a negative stride, as the program hands it over.
    const double ours = bench::TimeMs([&] {
        if (!k->RenderToBitmap(bitmap.data() + static_cast<size_t>(h - 1) * w * 3, -w * 3, 1))
            std::abort();
    });
    k->Release();
    const double tool =
        bench::TimeCommandMs("djpeg -dct int -nosmooth -ppm -outfile /dev/null '" + path.string() + "'");
    bench::Report("RenderToBitmap 6000x4000 4:2:0", ours, "djpeg -dct int -nosmooth -ppm", tool);
    std::printf("(for reference: LoadFile took %.2f ms)\n", load);
    return 0;
}
