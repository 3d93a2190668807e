// The notify callbacks reach a Qt event loop through a queued call, with no
// other event: the last thumbnail and the end of a folder are not missed.
#include "FileListLoader.h"
#include "ThumbLoader.h"
#include "WorkerTest.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>

using namespace wtest;
using testjpeg::TempDir;

namespace {

// Runs `onNotify` on the thread of the event loop. The worker posts by slot
// name, so nothing the worker touches is shared with the test's own code.
class Receiver : public QObject {
    Q_OBJECT
public:
    std::function<void()> onNotify;
    void Post() { QMetaObject::invokeMethod(this, "Notified", Qt::QueuedConnection); }
public slots:
    void Notified() { onNotify(); }
};

// Runs the loop until `done` quits it; false when a minute passed instead.
bool RunUntilQuit(QEventLoop& loop)
{
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    guard.start(60000);
    loop.exec();
    return !timedOut;
}

TEST(Notify, EventLoopGetsEveryThumbnailAndTheEndOfAFolder)
{
    TempDir dir;
    for (int i = 0; i < 3; ++i)
        WriteJpeg(dir / ("t" + std::to_string(i) + ".jpg"), 120, 90, static_cast<unsigned>(i));

    IKestrel* k = nullptr;
    ASSERT_EQ(CreateKestrelObject(&k), S_OK);
    {
        QEventLoop loop;
        Receiver receiver;
        CThumbLoader thumbs(k);
        thumbs.SetNotify([&receiver] { receiver.Post(); });
        thumbs.SetParameters(48, 3, 0xFFFFFF);
        int taken = 0;
        receiver.onNotify = [&] {
            ThumbCacheEntry entry;
            while (thumbs.PopThumbnail(entry))
                ++taken;
            if (taken == 3)
                loop.quit();
        };
        for (int i = 0; i < 3; ++i)
            thumbs.AddRequest(Q(dir / ("t" + std::to_string(i) + ".jpg")));
        EXPECT_TRUE(RunUntilQuit(loop));
        EXPECT_EQ(taken, 3);
    }
    {
        QEventLoop loop;
        Receiver receiver;
        CFileListLoader files;
        files.SetNotify([&receiver] { receiver.Post(); });
        int taken = 0;
        receiver.onNotify = [&] {
            FileListEntry entry;
            while (files.PopEntry(entry))
                ++taken;
            if (!files.HasMore())
                loop.quit();
        };
        files.StartFolder(Q(dir.path()));
        EXPECT_TRUE(RunUntilQuit(loop));
        EXPECT_EQ(taken, 3);
    }
    k->Release();
}

} // namespace

#include "NotifyTest.moc"
