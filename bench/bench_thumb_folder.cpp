// The folder browser's thumbnail worker over a folder of 200 photos (copies
// of the corpus's 2268 x 1512 photos and its 1001 x 667 one under distinct
// names): time from the first AddRequest to the 200th thumbnail taken, side
// by side with `djpeg -scale 1/8 -dct fast -nosmooth` run over the same files
// one after another in one shell loop. Best of three runs each, wall clock.
#include "BenchUtil.h"
#include "ThumbLoader.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

int main()
{
    namespace fs = std::filesystem;
    std::vector<fs::path> sources;
    for (const fs::path& file : testjpeg::CorpusFiles()) {
        const std::string name = file.filename().string();
        if (name.starts_with("jxl_") || name == "syn_420_1001x667.jpg")
            sources.push_back(file);
    }
    if (sources.empty() || !testjpeg::HaveTool("djpeg")) {
        std::printf("corpus or djpeg not found\n");
        return 1;
    }
    testjpeg::TempDir dir;
    std::vector<QString> paths;
    for (int i = 0; i < 200; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "photo%03d.jpg", i);
        fs::copy_file(sources[static_cast<size_t>(i) % sources.size()], dir / name);
        paths.push_back(QString::fromStdString((dir / name).string()));
    }
    std::printf("%zu source photos, 200 files\n", sources.size());

    IKestrel* k = bench::NewImage();
    size_t made = 0;
    const double ours = bench::TimeMs(
        [&] {
            std::mutex lock;
            std::condition_variable arrived;
            bool waiting = false;
            CThumbLoader loader(k);
            loader.SetNotify([&] {
                std::lock_guard guard(lock);
                waiting = true;
                arrived.notify_one();
            });
            loader.SetParameters(94, 7, 0xFFFFFF);
            for (const QString& path : paths)
                loader.AddRequest(path);
            made = 0;
            ThumbCacheEntry entry;
            while (made < paths.size()) {
                while (loader.PopThumbnail(entry))
                    ++made;
                if (made == paths.size())
                    break;
                std::unique_lock guard(lock);
                arrived.wait(guard, [&] { return waiting; });
                waiting = false;
            }
        },
        3);
    k->Release();
    const double tool = bench::TimeCommandMs(
        "for f in '" + dir.path().string() + "'/*.jpg; do djpeg -scale 1/8 -dct fast -nosmooth \"$f\"; done", 3);
    bench::Report("200 thumbnails, one worker", ours, "djpeg -scale 1/8 -dct fast -nosmooth loop", tool);
    return made == paths.size() ? 0 : 1;
}
