// The thumbnail worker with the real library: order of work, pixels, bad
// input, and results that must never come out.
#include "ThumbLoader.h"
#include "WorkerTest.h"

#include "platform/Bstr.h"

#include <climits>
#include <cstring>
#include <fstream>
#include <thread>
#include <memory>
#include <vector>

using namespace wtest;
using testjpeg::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr int kBox = 61; // 183 bytes of pixels, rows padded to 184
constexpr int kFlags = 7;
constexpr uint32_t kBackground = 0x00C08040;

// Takes `count` thumbnails as the notify callback announces them.
std::vector<ThumbCacheEntry> Collect(CThumbLoader& loader, NotifyFlag& flag, size_t count)
{
    std::vector<ThumbCacheEntry> taken;
    for (;;) {
        ThumbCacheEntry entry;
        while (loader.PopThumbnail(entry))
            taken.push_back(std::move(entry));
        if (taken.size() >= count || !flag.WaitAndClear())
            return taken;
    }
}

// A direct library call into a box of the same size and row padding.
void ExpectSameAsDirect(IKestrel* k, const ThumbCacheEntry& e)
{
    ASSERT_EQ(e.bitmap.format(), QImage::Format_BGR888);
    ASSERT_EQ(e.bitmap.width(), kBox);
    ASSERT_EQ(e.bitmap.height(), kBox);
    const int stride = (3 * kBox + 3) & ~3;
    ASSERT_EQ(e.bitmap.bytesPerLine(), stride);
    std::vector<BYTE> box(static_cast<size_t>(stride) * kBox);
    CBstr path(testjpeg::ToU16(e.path.toStdString()));
    int w = 0, h = 0;
    ASSERT_EQ(k->LoadThumbnail(path, box.data(), kBox, kBox, stride, 0x40, 0x80, 0xC0, &w, &h, kFlags), 1);
    EXPECT_EQ(e.width, w);
    EXPECT_EQ(e.height, h);
    for (int y = 0; y < kBox; ++y)
        ASSERT_EQ(std::memcmp(e.bitmap.constScanLine(y), box.data() + static_cast<size_t>(y) * stride, 3 * kBox), 0)
            << e.path.toStdString() << " row " << y;
}

class Thumbnails : public ::testing::Test {
protected:
    void SetUp() override
    {
        loader = std::make_unique<CThumbLoader>(&gated);
        loader->SetNotify([this] { flag.Set(); });
        loader->SetParameters(kBox, kFlags, kBackground);
    }
    fs::path Jpeg(const std::string& name, int width = 96, int height = 72, unsigned seed = 1)
    {
        WriteJpeg(dir / name, width, height, seed);
        return dir / name;
    }
    // Queues a gated file and returns once the worker is decoding it.
    void HoldWorker()
    {
        loader->AddRequest(Q(Jpeg("gate.jpg", 320, 200)));
        gated.WaitUntilHeld();
    }

    TempDir dir;
    GatedKestrel gated;
    NotifyFlag flag;
    std::unique_ptr<CThumbLoader> loader;
};

TEST_F(Thumbnails, VisibleFilesFirstThenTheRestInListOrder)
{
    HoldWorker();
    ThumbNameMap names;
    std::vector<QString> paths;
    for (int i = 0; i < 100; ++i) {
        const std::string name = "f" + std::to_string(1000 + i) + ".jpg";
        paths.push_back(Q(Jpeg(name, 40 + i, 30 + i % 7, static_cast<unsigned>(i))));
        names.insert(QString::fromStdString(name), i);
    }
    std::ofstream(dir / "damaged.jpg") << "\xFF\xD8\xFF\xE0 not a JPEG";
    names.insert(QStringLiteral("damaged.jpg"), 50);
    const QString unmapped = Q(Jpeg("unmapped.jpg"));
    // Queued backwards with the odd ones in between; Reorder puts them right.
    loader->AddRequest(unmapped);
    for (int i = 99; i >= 0; --i) {
        loader->AddRequest(paths[static_cast<size_t>(i)]);
        if (i == 60)
            loader->AddRequest(Q(dir / "damaged.jpg"));
    }
    loader->Reorder(names);
    loader->SetFirstVisible(QStringLiteral("f1039.jpg"), names);
    EXPECT_FALSE(loader->IsIdle());
    gated.Open();

    const std::vector<ThumbCacheEntry> taken = Collect(*loader, flag, 102);
    std::vector<QString> expected = {Q(dir / "gate.jpg")};
    expected.insert(expected.end(), paths.begin() + 39, paths.end());
    expected.push_back(unmapped);
    expected.insert(expected.end(), paths.begin(), paths.begin() + 39);
    ASSERT_EQ(taken.size(), expected.size());
    for (size_t i = 0; i < taken.size(); ++i) {
        EXPECT_EQ(taken[i].path, expected[i]) << i;
        ExpectSameAsDirect(gated.Real(), taken[i]);
    }
    EXPECT_TRUE(loader->IsIdle());
}

TEST_F(Thumbnails, CursorFollowsItsFileAndWrapsToTheFront)
{
    HoldWorker();
    ThumbNameMap names;
    std::vector<QString> paths;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "g" + std::to_string(i) + ".jpg";
        paths.push_back(Q(Jpeg(name)));
        names.insert(QString::fromStdString(name), i);
    }
    for (int i : {0, 1, 3, 4})
        loader->AddRequest(paths[static_cast<size_t>(i)]);
    loader->Reorder(names);
    // g2 has no request left: the cursor goes to g3. Then the list is
    // re-sorted backwards; the cursor stays on g3, so g3, g1, g0 and the
    // newly queued g5 at the back follow, then g4 from the front.
    loader->SetFirstVisible(QStringLiteral("g2.jpg"), names);
    for (int i = 0; i < 6; ++i)
        names[QString::fromStdString("g" + std::to_string(i) + ".jpg")] = 5 - i;
    loader->Reorder(names);
    loader->AddRequest(paths[5]);
    gated.Open();
    const std::vector<ThumbCacheEntry> taken = Collect(*loader, flag, 6);
    ASSERT_EQ(taken.size(), 6u);
    const std::vector<QString> expected = {Q(dir / "gate.jpg"), paths[3], paths[1], paths[0], paths[5], paths[4]};
    for (size_t i = 0; i < taken.size(); ++i)
        EXPECT_EQ(taken[i].path, expected[i]) << i;
}

TEST_F(Thumbnails, BadBoxesAndFilesGiveNothing)
{
    const QString good = Q(Jpeg("good.jpg", 200, 120));
    std::ofstream(dir / "damaged.jpg") << "\xFF\xD8\xFF\xDB garbage";
    const struct {
        QString path;
        int box;
        bool made;
    } cases[] = {
        {good, kBox, true},       {good, CThumbLoader::kMaxBox, true}, {good, 0, false},
        {good, -3, false},        {good, CThumbLoader::kMaxBox + 1, false}, {good, INT_MAX, false},
        {Q(dir / "damaged.jpg"), kBox, false}, {Q(dir / "gone.jpg"), kBox, false}, {Q(dir.path()), kBox, false},
    };
    for (const auto& c : cases) {
        ThumbCacheEntry entry;
        EXPECT_EQ(CThumbLoader::MakeThumbnail(gated.Real(), c.path, c.box, kFlags, kBackground, entry), c.made)
            << c.path.toStdString() << " box " << c.box;
        EXPECT_EQ(entry.bitmap.isNull(), !c.made);
    }
}

TEST_F(Thumbnails, ClearDropsTheThumbnailUnderWay)
{
    HoldWorker();
    const QString queued = Q(Jpeg("queued.jpg"));
    loader->AddRequest(queued);
    loader->Clear();
    gated.Open();
    // The worker takes requests in turn: once this one is out, the gated
    // decode has finished and its stale result was refused.
    const QString after = Q(Jpeg("after.jpg"));
    loader->AddRequest(after);
    const std::vector<ThumbCacheEntry> taken = Collect(*loader, flag, 1);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].path, after);
    ThumbCacheEntry more;
    EXPECT_FALSE(loader->PopThumbnail(more));
    EXPECT_TRUE(loader->IsIdle());

    // New parameters also retire results already waiting.
    loader->AddRequest(after);
    ASSERT_TRUE(flag.WaitAndClear());
    loader->SetParameters(kBox + 1, 0, kBackground);
    EXPECT_FALSE(loader->PopThumbnail(more));
}

TEST_F(Thumbnails, DestroyingWaitsForTheDecodeUnderWay)
{
    HoldWorker();
    loader->AddRequest(Q(Jpeg("never.jpg")));
    std::thread opener([this] { gated.Open(); });
    loader.reset();
    opener.join();
    // The gated decode finished and was added (then freed with the loader);
    // the queued request was never taken.
    EXPECT_EQ(flag.Count(), 1);
}

} // namespace
