// Pixel edits on a 6000 x 4000 4:2:0 photo changed to the pixels of another
// photo of that size. The library's ApplyBitmapChanges, re-encoding all and
// with every MCU changed, beside `cjpeg -quality 90` of those same pixels as
// PPM; then a full-image paste through the undo manager, the same paste
// without recording, and its undo.
#include "BenchUtil.h"

#include "ActionPaste.h"
#include "JPEGlib.h"
#include "KsImage.h"

#include <QImage>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

} // namespace

int main()
{
    testjpeg::TempDir dir;
    const auto path = bench::MakeLargePhoto(dir.path(), kWidth, kHeight);
    const testjpeg::Pixels other = testjpeg::MakePattern(kWidth, kHeight, 3, 11);
    const auto ppm = dir.path() / "other.ppm";
    {
        std::string header = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
        std::vector<uint8_t> file(header.begin(), header.end());
        file.insert(file.end(), other.data.begin(), other.data.end());
        testjpeg::WriteFile(ppm, file);
    }

    // The library alone, bitmap in the program's form (top-down, whole MCUs).
    IKestrel* k = bench::NewImage(path);
    const int w = (kWidth + k->GetMcuWidth() - 1) / k->GetMcuWidth() * k->GetMcuWidth();
    const int h = (kHeight + k->GetMcuHeight() - 1) / k->GetMcuHeight() * k->GetMcuHeight();
    std::vector<BYTE> bitmap(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* p = other.row(y) + x * 3;
            BYTE* q = bitmap.data() + (static_cast<size_t>(y) * w + x) * 3;
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    BYTE* first = bitmap.data();
    BitmapChangeStats stats{};
    const double all = bench::TimeMs([&] {
        if (!k->ApplyBitmapChanges(&first, w * 3, 1, &stats))
            std::abort();
    }, 3);
    // Each run needs the original coefficients: reload outside the timing.
    double changed = 1e300;
    for (int run = 0; run < 3; ++run) {
        k->Release();
        k = bench::NewImage(path);
        changed = std::min(changed, bench::TimeMs([&] {
            if (!k->ApplyBitmapChanges(&first, w * 3, 0, &stats))
                std::abort();
        }, 1));
    }
    std::printf("(every MCU changed: %d of %d MCUs re-encoded)\n", stats.ChangedMcus, stats.ImageMcus);
    k->Release();
    const double cjpeg = bench::TimeCommandMs("cjpeg -quality 90 -outfile /dev/null '" + ppm.string() + "'", 3);
    bench::Report("ApplyBitmapChanges, re-encode all", all, "cjpeg -quality 90", cjpeg);
    bench::Report("ApplyBitmapChanges, every MCU changed", changed, "cjpeg -quality 90", cjpeg);

    // Through the program's document and undo manager.
    CJPEGlib lib;
    CKsImage image(lib);
    const QImage source(other.data.data(), kWidth, kHeight, kWidth * 3, QImage::Format_RGB888);
    double recorded = 1e300, undo = 1e300, unrecorded = 1e300;
    for (int run = 0; run < 3; ++run) {
        if (!image.Load(Q(path), 0))
            std::abort();
        auto* paste = new CActionPaste(source, 0, 0, kWidth, kHeight);
        recorded = std::min(recorded, bench::TimeMs([&] { image.GetUndoMan()->AddAction(paste); }, 1));
        undo = std::min(undo, bench::TimeMs([&] { image.GetUndoMan()->Undo(); }, 1));
        if (!image.Load(Q(path), 0))
            std::abort();
        CActionPaste plain(source, 0, 0, kWidth, kHeight);
        unrecorded = std::min(unrecorded, bench::TimeMs([&] { plain.Do(&image, 0, nullptr, nullptr); }, 1));
    }
    std::printf("%-40s %9.2f ms\n", "full-image paste, recording off", unrecorded);
    std::printf("%-40s %9.2f ms   (+%.0f %% for recording)\n", "full-image paste through CUndoMan", recorded,
                (recorded / unrecorded - 1) * 100);
    std::printf("%-40s %9.2f ms\n", "its undo", undo);
    return 0;
}
