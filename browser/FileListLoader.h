// CFileListLoader: lists one folder at a time on a worker thread of its own
// and buffers the entries (subfolders and JPEG files, see FolderScan.h) until
// the browser takes them over on the UI thread.
//
// Every StartFolder is a new request with a generation number. The worker
// always scans the newest request: a scan ends between two entries once a
// newer request or the stop flag is seen, and only the scan of the current
// request reports the folder done. Entries of an older request are dropped,
// so after StartFolder the pops give exactly that folder's entries, each once.
//
// No widgets and no event loop here: the browser learns of waiting entries
// through the notify callback and turns it into a queued call itself.
#pragma once

#include "FileListEntry.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CFileListLoader {
public:
    using NotifyFn = std::function<void()>;

    CFileListLoader() = default;
    // Stops the worker: a scan in progress ends at its next entry.
    virtual ~CFileListLoader();
    CFileListLoader(const CFileListLoader&) = delete;
    CFileListLoader& operator=(const CFileListLoader&) = delete;

    // Called on the worker, outside the lock, when entries become waiting or
    // a folder is done; at most once until the UI has drained the entries.
    void SetNotify(NotifyFn notify);

    // UI thread. Drops every waiting entry and asks for `folder`; the worker
    // thread is made by the first request.
    void StartFolder(const QString& folder);
    // Blocks until an entry is waiting or the requested folder is done.
    void WaitForEntries();
    // The same, ending once `count` entries wait, or after `timeout` (a
    // stalled network folder must not freeze the window); true unless timed out.
    bool WaitForEntries(size_t count, std::chrono::milliseconds timeout);
    // The oldest waiting entry; false when none is waiting.
    bool PopEntry(FileListEntry& entry);
    // True while entries are waiting or the requested folder is not done.
    bool HasMore();

protected:
    // Worker side. A request newer than the one taken last (under m_lock).
    bool IsRequestPending() const;
    // The newest request's folder; its generation goes to `generation`.
    QString GetRequestFolder(uint64_t* generation);
    // Keeps the entry when `generation` is still the current request; false
    // (entry dropped) when the scan should end.
    bool PushEntry(FileListEntry&& entry, uint64_t generation);
    // Marks the request done unless a newer one or stop came meanwhile.
    void FinishScan(uint64_t generation);
    void ThreadProc();

private:
    // Under m_lock: the callback when the UI is to be told now (marking it
    // told), else empty. The caller runs it after unlocking.
    NotifyFn TakeNotifyTurn();

    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_wake;    // worker: a new request or stop
    std::condition_variable m_arrived; // UI: an entry or the folder done
    // Guarded by m_lock:
    QString m_folder;
    uint64_t m_generation = 0;      // of the newest request
    uint64_t m_takenGeneration = 0; // of the request the worker took last
    std::deque<FileListEntry> m_entries;
    bool m_done = true;
    bool m_stop = false;
    bool m_notified = false;
    NotifyFn m_notify;
};
