// Reconstruct passes and ApplyBitmapChanges on a large photo. Applying one
// changed pixel still renders every MCU row to find the change, so it is
// set beside `djpeg -dct int -nosmooth`; re-encoding everything beside
// `cjpeg -quality 90` of the same pixels.
#include "BenchUtil.h"
#include "DllImage.h"
#include "platform/Bstr.h"

#include <cstdlib>
#include <vector>

int main()
{
    testjpeg::TempDir dir;
    const auto path = bench::MakeLargePhoto(dir.path());
    IKestrel* k = bench::NewImage(path);
    const double megapixels = k->GetWidth() * static_cast<double>(k->GetHeight()) / 1e6;

    // One pass at a time on the loaded coefficients (each run edits further).
    const double pass = bench::TimeMs([&] {
        if (!k->Reconstruct(1, nullptr))
            std::abort();
    }, 2);
    std::printf("%-40s %9.2f ms per pass, %7.2f ms per megapixel per pass\n", "Reconstruct 6000x4000 4:2:0", pass,
                pass / megapixels);

    const int w = (k->GetWidth() + k->GetMcuWidth() - 1) / k->GetMcuWidth() * k->GetMcuWidth();
    const int h = (k->GetHeight() + k->GetMcuHeight() - 1) / k->GetMcuHeight() * k->GetMcuHeight();
    std::vector<BYTE> bitmap(static_cast<size_t>(w) * h * 3);
    BYTE* first = bitmap.data() + static_cast<size_t>(h - 1) * w * 3; // bottom-up, as the program holds it
    const int stride = -w * 3;
    if (!k->RenderToBitmap(first, stride, 1))
        std::abort();

    // Later runs compare against the bitmap rendered before the first one, so
    // they re-encode the whole MCU of the pixel; the first reports one block.
    BitmapChangeStats stats{};
    int flip = 0;
    const auto changePixel = [&] {
        first[static_cast<ptrdiff_t>(1234) * stride + 2345 * 3] ^= static_cast<BYTE>(0x40 + (flip++ & 1));
        if (!k->ApplyBitmapChanges(&first, stride, 0, &stats))
            std::abort();
    };
    changePixel();
    std::printf("(one pixel: %d of %d MCUs, %d of %d blocks re-encoded)\n", stats.ChangedMcus, stats.ImageMcus,
                stats.ChangedBlocks, stats.ImageBlocks);
    const double onePixel = bench::TimeMs(changePixel);

    const double all = bench::TimeMs([&] {
        if (!k->ApplyBitmapChanges(&first, stride, 1, &stats))
            std::abort();
    }, 3);
    k->Release();

    const auto ppm = dir / "large.ppm";
    testjpeg::Run("djpeg -dct int -nosmooth -outfile '" + ppm.string() + "' '" + path.string() + "'");
    const double djpeg = bench::TimeCommandMs("djpeg -dct int -nosmooth -outfile /dev/null '" + path.string() + "'");
    const double cjpeg = bench::TimeCommandMs("cjpeg -quality 90 -outfile /dev/null '" + ppm.string() + "'", 3);
    bench::Report("ApplyBitmapChanges, one pixel changed", onePixel, "djpeg -dct int -nosmooth", djpeg);
    bench::Report("ApplyBitmapChanges, re-encode all", all, "cjpeg -quality 90", cjpeg);
    return 0;
}
