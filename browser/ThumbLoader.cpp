// The worker sleeps on a predicate checked under the request lock (a queued
// request or stop), so a request added at any moment is never missed.
// Parameters are read with the request they apply to, under the same lock.
#include "ThumbLoader.h"

#include "platform/Bstr.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

QStringView FileNameOf(const QString& path)
{
    return QStringView(path).mid(path.lastIndexOf(u'/') + 1);
}

// List index of a path's file name; INT_MAX (after every item) when unlisted.
int ListRank(const QString& path, const ThumbNameMap& names)
{
    const auto it = names.constFind(FileNameOf(path).toString());
    return it == names.constEnd() ? INT_MAX : it.value();
}

} // namespace

CThumbLoader::CThumbLoader(IKestrel* library) : m_library(library) {}

CThumbLoader::~CThumbLoader()
{
    {
        std::lock_guard lock(m_requestLock);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CThumbLoader::SetNotify(NotifyFn notify)
{
    std::lock_guard lock(m_resultLock);
    m_notify = std::move(notify);
}

void CThumbLoader::SetParameters(int boxWidth, int flags, uint32_t background)
{
    std::lock_guard lock(m_requestLock);
    m_boxWidth = boxWidth;
    m_flags = flags;
    m_background = background;
    ++m_generation;
}

void CThumbLoader::AddRequest(const QString& path)
{
    {
        std::lock_guard lock(m_requestLock);
        // A cursor at the front means the same order as none.
        if (m_cursorValid && m_cursor == 0)
            m_cursorValid = false;
        m_queue.push_back(path);
    }
    m_wake.notify_one();
    if (!m_thread.joinable())
        m_thread = std::thread([this] { ThreadProc(); });
}

bool CThumbLoader::CompareByListPosition(const QString& a, const QString& b, const ThumbNameMap& names)
{
    const auto ia = names.constFind(FileNameOf(a).toString());
    if (ia == names.constEnd())
        return false;
    const auto ib = names.constFind(FileNameOf(b).toString());
    return ib == names.constEnd() || ia.value() < ib.value();
}

void CThumbLoader::SetFirstVisible(const QString& name, const ThumbNameMap& names)
{
    std::lock_guard lock(m_requestLock);
    const auto it = std::lower_bound(m_queue.begin(), m_queue.end(), name,
                                     [&](const QString& queued, const QString& n) { return CompareByListPosition(queued, n, names); });
    m_cursor = static_cast<size_t>(it - m_queue.begin());
    m_cursorValid = it != m_queue.end();
}

void CThumbLoader::Reorder(const ThumbNameMap& names)
{
    std::lock_guard lock(m_requestLock);
    if (m_cursorValid && m_cursor >= m_queue.size())
        m_cursorValid = false;
    // Each path is looked up once; the sort then compares plain ranks,
    // which orders exactly as CompareByListPosition does.
    std::vector<std::pair<int, QString>> ranked;
    ranked.reserve(m_queue.size());
    for (QString& path : m_queue)
        ranked.emplace_back(ListRank(path, names), std::move(path));
    const int cursorRank = m_cursorValid ? ranked[m_cursor].first : 0;
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < ranked.size(); ++i)
        m_queue[i] = std::move(ranked[i].second);
    if (m_cursorValid) {
        const auto it = std::lower_bound(ranked.begin(), ranked.end(), cursorRank,
                                         [](const auto& entry, int rank) { return entry.first < rank; });
        m_cursor = static_cast<size_t>(it - ranked.begin());
    }
}

bool CThumbLoader::PopThumbnail(ThumbCacheEntry& entry)
{
    std::lock_guard lock(m_resultLock);
    const uint64_t current = m_generation.load();
    while (!m_results.empty()) {
        Result result = std::move(m_results.front());
        m_results.pop_front();
        if (result.generation == current) {
            entry = std::move(result.entry);
            if (m_results.empty())
                m_notified = false;
            return true;
        }
    }
    m_notified = false;
    return false;
}

bool CThumbLoader::IsIdle()
{
    {
        std::lock_guard lock(m_requestLock);
        if (!m_queue.empty())
            return false;
    }
    std::lock_guard lock(m_resultLock);
    return m_results.empty();
}

void CThumbLoader::Clear()
{
    {
        std::lock_guard lock(m_requestLock);
        m_queue.clear();
        m_cursorValid = false;
        ++m_generation;
    }
    std::deque<Result> dropped;
    {
        std::lock_guard lock(m_resultLock);
        dropped.swap(m_results);
        m_notified = false;
    }
}

bool CThumbLoader::TakeRequest(Request& request)
{
    std::unique_lock lock(m_requestLock);
    m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
    if (m_stop)
        return false;
    if (!m_cursorValid || m_cursor >= m_queue.size())
        m_cursor = 0;
    // The cursor stays on the element that followed the one taken.
    request.path = std::move(m_queue[m_cursor]);
    m_queue.erase(m_queue.begin() + static_cast<std::ptrdiff_t>(m_cursor));
    request.boxWidth = m_boxWidth;
    request.flags = m_flags;
    request.background = m_background;
    request.generation = m_generation.load();
    return true;
}

void CThumbLoader::AddResult(ThumbCacheEntry&& entry, uint64_t generation)
{
    NotifyFn notify;
    {
        std::lock_guard lock(m_resultLock);
        // Checked under the result lock: Clear bumps the generation before it
        // empties the results, so a stale result is either refused here or
        // dropped by Clear.
        if (generation != m_generation.load())
            return;
        m_results.push_back({std::move(entry), generation});
        if (!m_notified && m_notify) {
            m_notified = true;
            notify = m_notify;
        }
    }
    if (notify)
        notify();
}

bool CThumbLoader::MakeThumbnail(IKestrel* library, const QString& path, int boxWidth, int flags, uint32_t background,
                                 ThumbCacheEntry& entry)
{
    if (!library || boxWidth < 1 || boxWidth > kMaxBox)
        return false;
    // Rows of 3 * w bytes rounded up to 4: QImage's own row size for this format.
    QImage bitmap(boxWidth, boxWidth, QImage::Format_BGR888);
    if (bitmap.isNull())
        return false;
    CBstr bstr(std::u16string_view(reinterpret_cast<const char16_t*>(path.utf16()), static_cast<size_t>(path.size())));
    int width = 0, height = 0;
    const int ok = library->LoadThumbnail(bstr, bitmap.bits(), boxWidth, boxWidth, static_cast<int>(bitmap.bytesPerLine()),
                                          background & 0xFF, (background >> 8) & 0xFF, (background >> 16) & 0xFF, &width,
                                          &height, flags);
    if (!ok)
        return false;
    entry.path = path;
    entry.bitmap = std::move(bitmap);
    entry.width = width;
    entry.height = height;
    return true;
}

void CThumbLoader::ThreadProc()
{
    Request request;
    while (TakeRequest(request)) {
        ThumbCacheEntry entry;
        if (MakeThumbnail(m_library, request.path, request.boxWidth, request.flags, request.background, entry))
            AddResult(std::move(entry), request.generation);
    }
}
