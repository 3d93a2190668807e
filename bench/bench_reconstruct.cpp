// The reconstruct action on a 6000 x 4000 4:2:0 photo through the undo
// manager, under a progress window that shows nothing but notes when each
// report arrives, beside `djpeg -dct int -nosmooth` of the same file.
// KESTREL_RECONSTRUCT_THREADS=1 in the environment gives the one-thread
// figure; the bench runs both (the threaded run keeps a cap already set).
#include "BenchUtil.h"

#include "ActionReconstruct.h"
#include "JPEGlib.h"
#include "KsImage.h"
#include "MessageBoxes.h"

#include <QRect>
#include <QString>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Shows nothing; keeps the longest time between two reports.
struct GapLog {
    Clock::time_point last;
    double longestMs = 0;
    int reports = 0;
};

class CTimingWindow final : public IProgressWindow {
public:
    explicit CTimingWindow(GapLog* log) : m_log(log) {}
    void SetTitle(const QString&) override {}
    void SetRange(int, int) override {}
    void SetPosition(int) override {}
    void PlaceClearOf(const QRect&) override {}
    void Show() override { m_log->last = Clock::now(); }
    bool ProcessEventsOnce() override
    {
        const auto now = Clock::now();
        m_log->longestMs = std::max(m_log->longestMs, std::chrono::duration<double, std::milli>(now - m_log->last).count());
        m_log->last = now;
        ++m_log->reports;
        return false;
    }

private:
    GapLog* m_log;
};

class CTimingBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString&) override {}
    bool AskQuestion(const QString&) override { return false; }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override { return SaveErrorChoice::Skip; }
    bool ReportProgress(int) override { return true; }
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override { return std::make_unique<CTimingWindow>(&log); }
    GapLog log;
};

// Best time of one reconstruct pass through the undo manager (undone after
// each run, untimed, so every run starts from the loaded coefficients). The
// action's time includes copying the image into the undo file.
double PassMs(CKsImage& image, CTimingBoxes& boxes)
{
    boxes.log = GapLog{};
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = Clock::now();
        if (!image.GetUndoMan()->AddAction(new CActionReconstruct(1)))
            std::abort();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        image.GetUndoMan()->Undo();
    }
    return best;
}

} // namespace

int main()
{
    testjpeg::TempDir dir;
    const auto path = bench::MakeLargePhoto(dir.path());
    CJPEGlib lib;
    CKsImage image(lib);
    if (!image.Load(QString::fromStdString(path.string()), 0))
        std::abort();
    CTimingBoxes boxes;
    SetMessageBoxes(&boxes);

    const double djpeg = bench::TimeCommandMs("djpeg -dct int -nosmooth -outfile /dev/null '" + path.string() + "'");

    const std::string userCap = std::getenv("KESTREL_RECONSTRUCT_THREADS") ? std::getenv("KESTREL_RECONSTRUCT_THREADS") : "";
    setenv("KESTREL_RECONSTRUCT_THREADS", "1", 1);
    const double single = PassMs(image, boxes);
    const double singleGap = boxes.log.longestMs;
    if (userCap.empty())
        unsetenv("KESTREL_RECONSTRUCT_THREADS");
    else
        setenv("KESTREL_RECONSTRUCT_THREADS", userCap.c_str(), 1);
    const double many = PassMs(image, boxes);
    const double manyGap = boxes.log.longestMs;
    SetMessageBoxes(nullptr);

    const double megapixels = image.GetWidth() * static_cast<double>(image.GetHeight()) / 1e6;
    const char* cap = std::getenv("KESTREL_RECONSTRUCT_THREADS");
    std::printf("reconstruct pass, %u hardware threads, used %d (at most 16), %d reports per pass\n",
                std::thread::hardware_concurrency(),
                std::clamp(cap && std::atoi(cap) > 0 ? std::atoi(cap) : int(std::thread::hardware_concurrency()), 1, 16),
                boxes.log.reports / 3);
    bench::Report("Reconstruct action, one thread", single, "djpeg -dct int -nosmooth", djpeg);
    std::printf("%-40s %9.2f ms per megapixel, longest gap between reports %.1f ms\n", "", single / megapixels, singleGap);
    bench::Report("Reconstruct action, threads", many, "djpeg -dct int -nosmooth", djpeg);
    std::printf("%-40s %9.2f ms per megapixel, longest gap between reports %.1f ms\n", "", many / megapixels, manyGap);
    return 0;
}
