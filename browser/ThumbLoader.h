// CThumbLoader: makes the folder browser's thumbnails on a worker thread of
// its own. The browser queues the full path of every JPEG it lists; the
// worker takes one path at a time and has the library decode it, scaled,
// into a new bitmap; finished thumbnails wait in a result list until the UI
// takes them.
//
// The queue has a cursor (an index) that the browser moves to its first
// visible item, so files on screen come first, then the rest from the front.
// Clear and SetParameters start a new generation: a result made for an older
// request (also one decoding during Clear) is freed, never handed out.
// The request lock and the result lock are never held together, and neither
// while decoding. No widgets and no event loop here.
#pragma once

#include "Kestrel.h"

#include <QHash>
#include <QImage>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The browser's map from an item's file name (without folder) to its index.
using ThumbNameMap = QHash<QString, int>;

struct ThumbCacheEntry {
    // The full path as it was queued.
    QString path;
    // The box, Format_BGR888: 24-bit BGR rows padded to 4 bytes, top row
    // first. Whoever takes the entry owns it.
    QImage bitmap;
    // The JPEG's full size, as the library reports it.
    int width = 0;
    int height = 0;
};

class CThumbLoader {
public:
    using NotifyFn = std::function<void()>;

    // Boxes outside 1..kMaxBox give no thumbnail (the profile is hand-editable).
    static constexpr int kMaxBox = 1024;

    // `library` is the main image's library object; the worker calls only
    // LoadThumbnail on it. It must outlive this loader.
    explicit CThumbLoader(IKestrel* library);
    // Stops the worker; a decode in progress finishes first and every
    // waiting thumbnail is freed.
    virtual ~CThumbLoader();
    CThumbLoader(const CThumbLoader&) = delete;
    CThumbLoader& operator=(const CThumbLoader&) = delete;

    // Called on the worker, outside the locks, when a thumbnail becomes
    // waiting; at most once until the UI has drained the results.
    void SetNotify(NotifyFn notify);

    // UI thread.
    // Box edge, decoration flags (bits 0 and 1 frame, bit 2 shadow) and
    // background (COLORREF) for the requests taken from now on.
    void SetParameters(int boxWidth, int flags, uint32_t background);
    void AddRequest(const QString& path);
    // Moves the cursor to the first request not ordered before `name`.
    void SetFirstVisible(const QString& name, const ThumbNameMap& names);
    // Sorts the queue into list order, keeping the cursor on its request.
    void Reorder(const ThumbNameMap& names);
    // The oldest finished thumbnail; false when none is waiting.
    bool PopThumbnail(ThumbCacheEntry& entry);
    // No request queued and no result waiting (a decode under way counts as
    // neither: its result comes with the notify callback).
    bool IsIdle();
    // Drops every request and every waiting result.
    void Clear();

    // Whether `a` comes before `b` in the list: by the index of the file name
    // (after the last "/"); names not in the map come last.
    static bool CompareByListPosition(const QString& a, const QString& b, const ThumbNameMap& names);
    // Decodes one thumbnail into a new box; false for a box outside
    // 1..kMaxBox, a box that cannot be allocated or a file the library
    // cannot draw.
    static bool MakeThumbnail(IKestrel* library, const QString& path, int boxWidth, int flags, uint32_t background,
                              ThumbCacheEntry& entry);

protected:
    // One queued path with the parameters in force when the worker took it.
    struct Request {
        QString path;
        int boxWidth = 0;
        int flags = 0;
        uint32_t background = 0;
        uint64_t generation = 0;
    };
    // Worker side. Sleeps until a request is queued; false on stop.
    bool TakeRequest(Request& request);
    void AddResult(ThumbCacheEntry&& entry, uint64_t generation);
    void ThreadProc();

private:
    struct Result {
        ThumbCacheEntry entry;
        uint64_t generation = 0;
    };

    IKestrel* const m_library;
    std::thread m_thread;

    // Request lock and what it guards.
    std::mutex m_requestLock;
    std::condition_variable m_wake;
    std::deque<QString> m_queue;
    size_t m_cursor = 0;
    bool m_cursorValid = false;
    int m_boxWidth = 0;
    int m_flags = 0;
    uint32_t m_background = 0;
    bool m_stop = false;
    // Written under the request lock, read under either lock.
    std::atomic<uint64_t> m_generation{0};

    // Result lock and what it guards.
    std::mutex m_resultLock;
    std::deque<Result> m_results;
    bool m_notified = false;
    NotifyFn m_notify;
};
