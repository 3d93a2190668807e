// The waits a user feels in the whole program on a 6000 x 4000 4:2:2 photo,
// each beside its libjpeg-turbo peer in the same round: start -> photo
// painted against `djpeg -dct int -nosmooth`, R -> turned photo painted
// against `jpegtran -copy all -rotate 90 -trim`, Ctrl+S -> file replaced
// against `jpegtran -copy all -optimize`, and turn + save against
// `jpegtran -copy all -optimize -rotate 90 -trim`. Every round starts the
// program as a new process (this binary with --child: the program's own
// start-up, offscreen, keys through the window's shortcuts) and each peer as
// a process. Prints median and maximum of the rounds (11 unless given),
// the ratios of the medians and maxima, peak resident size and load average.
//
// At an X server (QT_QPA_PLATFORM=xcb) a thread of the child with its own X
// connection reads the pixel at the view's centre from the root window until
// the server shows the view's background (window on screen) and then the
// photo: those waits are what the user sees, not when the program painted.
//
// Usage: bench_program_wait [rounds] [--nb]   (--nb: start without the browser)
#include "AnswerBoxes.h"
#include "BenchProgram.h"
#include "ChildView.h"
#include "ColorRef.h"
#include "MainFrame.h"
#include "PixmendApp.h"

#include <QApplication>
#include <QTest>

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double NowMs()
{
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

long PeakRssKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// ---- the program's side, in the child process ----

// Reads the root window's pixel at a point published by the UI thread,
// through an X connection of its own, and notes when the server first shows
// the view (its background colour or anything else but the black root) and
// first shows something other than the background there (the photo).
class XPixelWatch {
public:
    XPixelWatch()
    {
        m_x11 = dlopen("libX11.so.6", RTLD_NOW);
        if (!m_x11)
            return;
        m_open = reinterpret_cast<Display* (*)(const char*)>(dlsym(m_x11, "XOpenDisplay"));
        m_close = reinterpret_cast<int (*)(Display*)>(dlsym(m_x11, "XCloseDisplay"));
        m_getImage = reinterpret_cast<XImage* (*)(Display*, Drawable, int, int, unsigned, unsigned, unsigned long, int)>(
            dlsym(m_x11, "XGetImage"));
        if (!m_open || !m_close || !m_getImage || !(m_display = m_open(nullptr)))
            return;
        m_thread = std::thread([this] { Poll(); });
    }
    ~XPixelWatch()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_display)
            m_close(m_display);
        if (m_x11)
            dlclose(m_x11);
    }
    bool Active() const { return m_thread.joinable(); }
    void Publish(QPoint global, QRgb background)
    {
        m_background = background & 0xffffff;
        m_point = (static_cast<uint64_t>(static_cast<uint32_t>(global.x())) << 32) | static_cast<uint32_t>(global.y());
        m_published = true;
    }
    std::atomic<double> shownMs{0}, photoMs{0};

private:
    void Poll()
    {
        const Window root = DefaultRootWindow(m_display);
        while (!m_stop && photoMs == 0) {
            if (!m_published) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            const uint64_t point = m_point;
            XImage* image = m_getImage(m_display, root, static_cast<int>(point >> 32), static_cast<int>(point & 0xffffffff),
                                       1, 1, AllPlanes, ZPixmap);
            const double now = NowMs();
            if (!image)
                continue;
            const unsigned long pixel = image->f.get_pixel(image, 0, 0) & 0xffffff;
            image->f.destroy_image(image);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            if (pixel == 0) // the bare root: nothing of the window yet
                continue;
            if (shownMs == 0)
                shownMs = now;
            if (pixel != m_background)
                photoMs = now;
        }
    }
    void* m_x11 = nullptr;
    Display* (*m_open)(const char*) = nullptr;
    int (*m_close)(Display*) = nullptr;
    XImage* (*m_getImage)(Display*, Drawable, int, int, unsigned, unsigned, unsigned long, int) = nullptr;
    Display* m_display = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false}, m_published{false};
    std::atomic<uint64_t> m_point{0};
    std::atomic<unsigned long> m_background{0};
};

// Records when the view's viewport finished a paint, and what it showed.
class PaintWatch : public QObject {
public:
    PaintWatch(CPixmendApp& app, XPixelWatch* x) : m_app(app), m_x(x) {}
    double lastPaintMs = 0;
    int paintedWidth = 0; // image width at the last paint with an image
    bool Eat(QObject* watched, QEvent* e)
    {
        CMainFrame* frame = m_app.GetMainFrame();
        CChildView* view = frame ? frame->GetView() : nullptr;
        if (e->type() != QEvent::Paint || !view || watched != view->viewport() || m_inside)
            return false;
        m_inside = true;
        // The paint itself, timed to its end, through the scroll area's
        // filter on its viewport (event() alone would skip the view's paint).
        QCoreApplication::sendEvent(watched, e);
        m_inside = false;
        if (m_x && view->viewport()->isVisible()) {
            m_x->Publish(view->viewport()->mapToGlobal(view->viewport()->rect().center()),
                         QRgbFromColorRef(m_app.m_settings.BackgroundColor));
        }
        if (m_app.m_image.IsLoaded()) {
            lastPaintMs = NowMs();
            paintedWidth = m_app.m_image.GetWidth();
        }
        return true;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override { return Eat(watched, e); }

private:
    CPixmendApp& m_app;
    XPixelWatch* m_x;
    bool m_inside = false;
};

template <class Done>
bool WaitFor(Done done)
{
    const double until = NowMs() + 120000;
    while (!done()) {
        if (NowMs() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

ino_t Inode(const char* path)
{
    struct stat st {};
    return stat(path, &st) == 0 ? st.st_ino : 0;
}

int Child(int argc, char** argv)
{
    // argv: self --child photo [--nb]
    const char* photo = argv[2];
    const bool noBrowser = argc > 3 && std::strcmp(argv[3], "--nb") == 0;
    QApplication qapp(argc, argv);
    CAnswerBoxes boxes; // a confirmation is answered at once
    CPixmendApp app;
    std::unique_ptr<XPixelWatch> x;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        x = std::make_unique<XPixelWatch>();
    PaintWatch watch(app, x && x->Active() ? x.get() : nullptr);
    qapp.installEventFilter(&watch);
    QStringList args;
    if (noBrowser)
        args << QStringLiteral("-nb");
    args << QString::fromLocal8Bit(photo);
    if (!app.InitInstance(args))
        return 2;
    if (!WaitFor([&] { return watch.paintedWidth > 0; }))
        return 3;
    if (x && x->Active() && !WaitFor([&] { return x->photoMs > 0; }))
        return 7;
    std::printf("paint %.3f\nrss_open %ld\n", watch.lastPaintMs, PeakRssKb());
    if (x && x->Active())
        std::printf("xshown %.3f\nxphoto %.3f\n", x->shownMs.load(), x->photoMs.load());
    CMainFrame* frame = app.GetMainFrame();
    frame->activateWindow();
    if (!QTest::qWaitForWindowActive(frame))
        return 4;

    const int width = app.m_image.GetWidth(), height = app.m_image.GetHeight();
    double t = NowMs();
    QTest::keyClick(frame, Qt::Key_R);
    if (!WaitFor([&] { return watch.paintedWidth == height && watch.lastPaintMs > t; }))
        return 5;
    std::printf("turn %.3f\nrss_turn %ld\n", watch.lastPaintMs - t, PeakRssKb());
    (void)width;

    const ino_t before = Inode(photo);
    t = NowMs();
    QTest::keyClick(frame, Qt::Key_S, Qt::ControlModifier);
    if (!WaitFor([&] { return Inode(photo) != before; }))
        return 6;
    std::printf("save %.3f\nrss_save %ld\nquestions %lld\n", NowMs() - t, PeakRssKb(),
                static_cast<long long>(boxes.questions.size()));
    std::fflush(stdout);
    return 0;
}

// ---- the parent: rounds of the program and its peers ----

struct Run {
    double wallMs = 0, userMs = 0, sysMs = 0;
    long maxRssKb = 0;
    std::string out;
    int status = -1;
};

// Runs argv as a process, its output captured (or to /dev/null).
Run Spawn(const std::vector<std::string>& args, bool capture)
{
    Run r;
    int fds[2] = {-1, -1};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (capture && pipe(fds) == 0) {
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
    } else {
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto t0 = Clock::now();
    r.wallMs = std::chrono::duration<double, std::milli>(t0.time_since_epoch()).count(); // start, for the child
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&fa);
        return r;
    }
    posix_spawn_file_actions_destroy(&fa);
    if (fds[1] >= 0) {
        close(fds[1]);
        char buf[4096];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
            r.out.append(buf, static_cast<size_t>(n));
        close(fds[0]);
    }
    struct rusage ru {};
    wait4(pid, &r.status, 0, &ru);
    const double end = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (!capture)
        r.wallMs = end;
    r.userMs = ru.ru_utime.tv_sec * 1e3 + ru.ru_utime.tv_usec / 1e3;
    r.sysMs = ru.ru_stime.tv_sec * 1e3 + ru.ru_stime.tv_usec / 1e3;
    r.maxRssKb = ru.ru_maxrss;
    return r;
}

std::map<std::string, double> Values(const std::string& out)
{
    std::map<std::string, double> v;
    std::istringstream in(out);
    std::string key;
    double value;
    while (in >> key >> value)
        v[key] = value;
    return v;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Max(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

std::string LoadAverage()
{
    std::ifstream f("/proc/loadavg");
    std::string a, b, c;
    f >> a >> b >> c;
    return a + " " + b + " " + c;
}

bool Copy(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    return !ec;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[1], "--child") == 0) {
        bench::UseOffscreenPlatform();
        return Child(argc, argv);
    }
    int rounds = 11;
    bool noBrowser = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--nb") == 0)
            noBrowser = true;
        else if (std::atoi(argv[i]) > 0)
            rounds = std::atoi(argv[i]);
    }
    for (const char* tool : {"djpeg", "jpegtran"})
        if (!testjpeg::HaveTool(tool)) {
            std::fprintf(stderr, "%s not installed\n", tool);
            return 1;
        }
    bench::UseOffscreenPlatform();
    testjpeg::TempDir dir;
    // The program's profile goes to the temporary folder, not the user's.
    setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    // A textured camera-like photo: 6000 x 4000, 4:2:2, quality 85.
    const auto original = dir.path() / "original.jpg";
    testjpeg::WriteFile(original, testjpeg::Encode(testjpeg::MakePattern(6000, 4000, 3, 7),
                                                   testjpeg::Sampled(85, {{2, 1}, {1, 1}, {1, 1}})));
    std::filesystem::create_directories(dir.path() / "photos");
    const auto photo = dir.path() / "photos" / "photo.jpg";
    const auto peerOut = (dir.path() / "peer.jpg").string();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();

    std::printf("photo 6000 x 4000 4:2:2, %.1f MB; %d rounds%s; load average before %s\n",
                std::filesystem::file_size(original) / 1e6, rounds, noBrowser ? ", -nb" : "", LoadAverage().c_str());
    std::vector<double> xshown, xphoto, paint, turn, save, djpeg, rotate, optimize, both, rss, user, sys;
    for (int round = 0; round < rounds; ++round) {
        if (!Copy(original, photo))
            return 1;
        std::vector<std::string> args{self, "--child", photo.string()};
        if (noBrowser)
            args.push_back("--nb");
        const Run ours = Spawn(args, true);
        auto v = Values(ours.out);
        if (!WIFEXITED(ours.status) || WEXITSTATUS(ours.status) != 0 || !v.count("save")) {
            std::fprintf(stderr, "round %d: the program failed (status %d)\n%s", round, ours.status, ours.out.c_str());
            return 1;
        }
        paint.push_back(v["paint"] - ours.wallMs);
        if (v.count("xphoto")) {
            xshown.push_back(v["xshown"] - ours.wallMs);
            xphoto.push_back(v["xphoto"] - ours.wallMs);
        }
        turn.push_back(v["turn"]);
        save.push_back(v["save"]);
        rss.push_back(ours.maxRssKb / 1024.0);
        user.push_back(ours.userMs);
        sys.push_back(ours.sysMs);
        if (round == 0)
            std::printf("peak resident MB after open %.0f, after turn %.0f, after save %.0f; questions asked %.0f\n",
                        v["rss_open"] / 1024, v["rss_turn"] / 1024, v["rss_save"] / 1024, v["questions"]);
        const std::string in = original.string();
        djpeg.push_back(Spawn({"djpeg", "-dct", "int", "-nosmooth", in}, false).wallMs);
        rotate.push_back(Spawn({"jpegtran", "-copy", "all", "-rotate", "90", "-trim", "-outfile", peerOut, in}, false).wallMs);
        optimize.push_back(Spawn({"jpegtran", "-copy", "all", "-optimize", "-outfile", peerOut, in}, false).wallMs);
        both.push_back(
            Spawn({"jpegtran", "-copy", "all", "-optimize", "-rotate", "90", "-trim", "-outfile", peerOut, in}, false)
                .wallMs);
        if (!xphoto.empty())
            std::printf("round %2d: at X: window %6.0f  photo %6.0f ms\n", round, xshown.back(), xphoto.back());
        std::printf("round %2d: paint %6.0f  turn %6.0f  save %6.0f ms | djpeg %5.0f  rotate %5.0f  optimize %5.0f  "
                    "both %5.0f ms | peak %4.0f MB, user %5.0f sys %5.0f ms\n",
                    round, paint.back(), turn.back(), save.back(), djpeg.back(), rotate.back(), optimize.back(),
                    both.back(), rss.back(), user.back(), sys.back());
        std::fflush(stdout);
    }
    std::vector<double> turnSave(turn.size());
    for (size_t i = 0; i < turn.size(); ++i)
        turnSave[i] = turn[i] + save[i];
    const auto row = [](const char* what, const std::vector<double>& ours, const char* peer,
                        const std::vector<double>& theirs) {
        std::printf("| %-22s | %7.0f | %7.0f | %-52s | %7.0f | %7.0f | %5.2f | %5.2f |\n", what, Median(ours), Max(ours),
                    peer, Median(theirs), Max(theirs), Median(ours) / Median(theirs), Max(ours) / Max(theirs));
    };
    std::printf("\n| wait (ms) | median | max | peer | median | max | ratio med | ratio max |\n|---|---|---|---|---|---|---|---|\n");
    if (!xphoto.empty()) {
        row("start -> window at X", xshown, "djpeg -dct int -nosmooth", djpeg);
        row("start -> photo at X", xphoto, "djpeg -dct int -nosmooth", djpeg);
    }
    row("start -> full render", paint, "djpeg -dct int -nosmooth", djpeg);
    row("R -> turn painted", turn, "jpegtran -copy all -rotate 90 -trim", rotate);
    row("Ctrl+S -> written", save, "jpegtran -copy all -optimize", optimize);
    row("turn + save", turnSave, "jpegtran -copy all -optimize -rotate 90 -trim", both);
    std::printf("whole program process: peak resident %.0f MB median, %.0f max; user %.0f ms, sys %.0f ms median "
                "(max %.0f)\nload average after %s\n",
                Median(rss), Max(rss), Median(user), Median(sys), Max(sys), LoadAverage().c_str());
    return 0;
}
