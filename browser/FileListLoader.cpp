// The worker sleeps on a predicate checked under the lock (a request newer
// than the one it took, or stop), so a request made at any moment, even
// while the worker is finishing the previous folder, is never missed.
#include "FileListLoader.h"

#include "FolderScan.h"

CFileListLoader::~CFileListLoader()
{
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CFileListLoader::SetNotify(NotifyFn notify)
{
    std::lock_guard lock(m_lock);
    m_notify = std::move(notify);
}

void CFileListLoader::StartFolder(const QString& folder)
{
    {
        std::lock_guard lock(m_lock);
        m_folder = folder;
        ++m_generation;
        m_entries.clear();
        m_done = false;
        m_notified = false;
    }
    m_wake.notify_all();
    if (!m_thread.joinable())
        m_thread = std::thread([this] { ThreadProc(); });
}

void CFileListLoader::WaitForEntries()
{
    std::unique_lock lock(m_lock);
    m_arrived.wait(lock, [this] { return !m_entries.empty() || m_done; });
}

bool CFileListLoader::WaitForEntries(size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    return m_arrived.wait_for(lock, timeout, [this, count] { return m_entries.size() >= count || m_done; });
}

bool CFileListLoader::PopEntry(FileListEntry& entry)
{
    std::lock_guard lock(m_lock);
    if (m_entries.empty()) {
        m_notified = false;
        return false;
    }
    entry = std::move(m_entries.front());
    m_entries.pop_front();
    if (m_entries.empty())
        m_notified = false;
    return true;
}

bool CFileListLoader::HasMore()
{
    std::lock_guard lock(m_lock);
    return !m_entries.empty() || !m_done;
}

bool CFileListLoader::IsRequestPending() const
{
    return m_takenGeneration != m_generation;
}

QString CFileListLoader::GetRequestFolder(uint64_t* generation)
{
    std::lock_guard lock(m_lock);
    m_takenGeneration = m_generation;
    *generation = m_generation;
    return m_folder;
}

CFileListLoader::NotifyFn CFileListLoader::TakeNotifyTurn()
{
    if (m_notified || !m_notify)
        return nullptr;
    m_notified = true;
    return m_notify;
}

bool CFileListLoader::PushEntry(FileListEntry&& entry, uint64_t generation)
{
    NotifyFn notify;
    {
        std::lock_guard lock(m_lock);
        if (m_stop || generation != m_generation)
            return false;
        m_entries.push_back(std::move(entry));
        // A waiter may want a first entry or a whole batch.
        m_arrived.notify_all();
        notify = TakeNotifyTurn();
    }
    if (notify)
        notify();
    return true;
}

void CFileListLoader::FinishScan(uint64_t generation)
{
    NotifyFn notify;
    {
        std::lock_guard lock(m_lock);
        if (m_stop || generation != m_generation)
            return;
        m_done = true;
        m_arrived.notify_all();
        notify = TakeNotifyTurn();
    }
    if (notify)
        notify();
}

void CFileListLoader::ThreadProc()
{
    for (;;) {
        {
            std::unique_lock lock(m_lock);
            m_wake.wait(lock, [this] { return m_stop || IsRequestPending(); });
            if (m_stop)
                return;
        }
        uint64_t generation = 0;
        const QString folder = GetRequestFolder(&generation);
        // A folder that cannot be read simply has no entries.
        ScanFolder(folder, [&](FileListEntry&& entry) { return PushEntry(std::move(entry), generation); });
        FinishScan(generation);
    }
}
