// Thumbnail decoding of a 6000 x 4000 photo into a 160 x 120 box, side by
// side with `djpeg -scale 1/8 -dct fast -nosmooth` of the same file (best of
// five runs each, wall clock). Prints both times and the ratio ours / tool.
#include "DllImage.h"
#include "TestJpeg.h"
#include "platform/Bstr.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

template <typename Fn>
double BestOf(int runs, Fn&& fn)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!fn())
            return -1;
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = s < best ? s : best;
    }
    return best;
}

} // namespace

int main()
{
    using namespace testjpeg;
    TempDir dir;
    const auto file = dir / "photo.jpg";
    std::printf("making a 6000 x 4000 photo...\n");
    WriteFile(file, Encode(MakePattern(6000, 4000), Sampled(90, {{2, 2}, {1, 1}, {1, 1}})));
    if (!HaveTool("djpeg")) {
        std::printf("djpeg not found\n");
        return 1;
    }

    IKestrel* k = nullptr;
    CreateKestrelObject(&k);
    CBstr path(ToU16(file.string()));
    std::vector<BYTE> box(160 * 120 * 3);
    const double ours = BestOf(5, [&] {
        int w = 0, h = 0;
        return k->LoadThumbnail(path, box.data(), 160, 120, 160 * 3, 255, 255, 255, &w, &h, 7) == 1;
    });
    const std::string cmd = "djpeg -scale 1/8 -dct fast -nosmooth '" + file.string() + "' > /dev/null";
    const double tool = BestOf(5, [&] { return Run(cmd) == 0; });
    k->Release();
    if (ours < 0 || tool < 0) {
        std::printf("a run failed\n");
        return 1;
    }
    std::printf("LoadThumbnail %.1f ms, djpeg %.1f ms, ratio %.2f\n", ours * 1e3, tool * 1e3, ours / tool);
    return 0;
}
