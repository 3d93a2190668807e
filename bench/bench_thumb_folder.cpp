// The folder browser's thumbnail worker over a folder of 200 photos (copies
// of the corpus's 2268 x 1512 photos and its 1001 x 667 one under distinct
// names): time from the first AddRequest to the 200th thumbnail taken, side
// by side with `djpeg -scale 1/8 -dct fast -nosmooth` run over the same files
// one after another in one shell loop. Then the whole browser over 500 such
// photos: from ShowFolder to the last thumbnail in the list, the
// application's idle steps taking them over, against `djpeg -scale 1/8` over
// the same files. Best of three runs each, wall clock.
#include "BenchProgram.h"
#include "BrowseDlg.h"
#include "ChildBrowseView.h"
#include "PixmendApp.h"
#include "ThumbLoader.h"

#include <QApplication>
#include <QFile>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Copies the sources round-robin into `count` files of `folder`.
std::vector<QString> FillFolder(const std::vector<fs::path>& sources, const fs::path& folder, int count)
{
    fs::create_directories(folder);
    std::vector<QString> paths;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "photo%03d.jpg", i);
        fs::copy_file(sources[static_cast<size_t>(i) % sources.size()], folder / name);
        paths.push_back(QString::fromStdString((folder / name).string()));
    }
    return paths;
}

bool AllThumbnailsShown(CChildBrowseView& browser, int count)
{
    CBrowseDlg& list = browser.GetBrowseDlg();
    if (list.GetItemCount() != count || !browser.IsListingComplete())
        return false;
    for (int i = count - 1; i >= 0; --i)
        if (!list.GetModel()->HasThumbnail(i))
            return false;
    return true;
}

// ShowFolder of `folder` to the last thumbnail shown, best of three; 0 when
// the program did not start.
double TimeBrowser(const fs::path& folder, int count)
{
    CPixmendApp app;
    if (!app.InitInstance({}) || !app.GetBrowser()) {
        std::fprintf(stderr, "the program did not start\n");
        return 0;
    }
    CChildBrowseView& browser = *app.GetBrowser();
    const QString path = QString::fromStdString(folder.string());
    const double ms = bench::TimeMs(
        [&] {
            app.ChangeFolder(path, 0);
            while (!AllThumbnailsShown(browser, count))
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        },
        3);
    app.ExitInstance(0);
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    bench::UseOffscreenPlatform();
    QApplication qapp(argc, argv);
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
    const std::vector<QString> paths = FillFolder(sources, dir / "w200", 200);
    FillFolder(sources, dir / "b500", 500);
    std::printf("%zu source photos, 200 and 500 files\n", sources.size());

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
        "for f in '" + (dir / "w200").string() + "'/*.jpg; do djpeg -scale 1/8 -dct fast -nosmooth \"$f\"; done", 3);
    bench::Report("200 thumbnails, one worker", ours, "djpeg -scale 1/8 -dct fast -nosmooth loop", tool);
    if (made != paths.size())
        return 1;

    // The profile of this run only; questions are never shown.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(QString::fromStdString((dir / "config").string())));
    const double browser = TimeBrowser(dir / "b500", 500);
    const double tool500 = bench::TimeCommandMs(
        "for f in '" + (dir / "b500").string() + "'/*.jpg; do djpeg -scale 1/8 -dct fast -nosmooth \"$f\"; done", 3);
    bench::Report("browser: ShowFolder to the last of 500 thumbnails", browser,
                  "djpeg -scale 1/8 -dct fast -nosmooth loop", tool500);
    return browser > 0 ? 0 : 1;
}
