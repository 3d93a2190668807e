// One thumbnail on a thread of its own: it decodes while the caller goes on,
// and hands over exactly the picture the library drew, cut where it drew it.
#include "ThumbJob.h"
#include "WorkerTest.h"

#include "platform/Bstr.h"

#include <vector>

#include <sys/resource.h>

using namespace wtest;
namespace fs = std::filesystem;

namespace {

constexpr int kBox = 97;
constexpr uint32_t kBackground = 0x00FF00FF; // COLORREF magenta

bool IsBackground(const QImage& box, int x, int y)
{
    const uchar* p = box.constScanLine(y) + 3 * x; // blue, green, red
    return p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF;
}

} // namespace

TEST(ThumbJob, DecodesWhileTheCallerGoesOnAndHandsOverThePictureTheLibraryDrew)
{
    testjpeg::TempDir dir;
    GatedKestrel gated;
    for (const QSize size : {QSize(600, 200), QSize(150, 500), QSize(40, 30), QSize(1000, 999)}) {
        const fs::path path = dir.path() / ("gate" + std::to_string(size.width()) + ".jpg");
        WriteJpeg(path, size.width(), size.height(), static_cast<unsigned>(size.width()));
        CThumbJob job(&gated, Q(path), kBox, kBackground);
        gated.WaitUntilHeld(); // the job's thread is decoding; this one went on
        gated.Open();
        QSize imageSize;
        const QImage picture = job.Take(&imageSize);
        EXPECT_EQ(imageSize, size);

        // The library's own box: the picture is all of its non-background
        // pixels, and no edge of the cut is background only.
        QImage box(kBox, kBox, QImage::Format_BGR888);
        CBstr bstr(testjpeg::ToU16(path.string()));
        int w = 0, h = 0;
        ASSERT_EQ(gated.Real()->LoadThumbnail(bstr, box.bits(), kBox, kBox, static_cast<int>(box.bytesPerLine()), 0xFF,
                                              0x00, 0xFF, &w, &h, 0),
                  1);
        const QRect rect = CThumbJob::PictureRect(w, h, kBox, kBox, 0);
        ASSERT_EQ(picture, box.copy(rect)) << size.width();
        int outside = 0;
        std::vector<bool> rowSeen(static_cast<size_t>(rect.height())), colSeen(static_cast<size_t>(rect.width()));
        for (int y = 0; y < kBox; ++y)
            for (int x = 0; x < kBox; ++x) {
                if (!rect.contains(x, y))
                    outside += IsBackground(box, x, y) ? 0 : 1;
                else if (!IsBackground(box, x, y))
                    rowSeen[static_cast<size_t>(y - rect.top())] = colSeen[static_cast<size_t>(x - rect.left())] = true;
            }
        EXPECT_EQ(outside, 0) << size.width();
        EXPECT_TRUE(rowSeen.front() && rowSeen.back() && colSeen.front() && colSeen.back()) << size.width();
    }
    // A file the library cannot draw gives no picture and no size.
    CThumbJob missing(gated.Real(), Q(dir.path() / "missing.jpg"), kBox, kBackground);
    QSize imageSize(1, 1);
    EXPECT_TRUE(missing.Take(&imageSize).isNull());
    EXPECT_FALSE(imageSize.isValid());
    // No thread to be had (EAGAIN): no picture either, and no abort.
    EXPECT_EQ(testjpeg::RunWithoutRoot([&] {
                  const rlimit none{0, 0};
                  if (::setrlimit(RLIMIT_NPROC, &none) != 0)
                      return 2;
                  CThumbJob job(gated.Real(), Q(dir.path() / "gate40.jpg"), kBox, kBackground);
                  return job.Take(&imageSize).isNull() ? 0 : 1;
              }),
              0);
}
