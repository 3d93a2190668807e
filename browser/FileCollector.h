// CFileCollector: the file list of a run over the browser's selection. Each
// file enters once, whatever name or link it is reached by (device and inode
// with links followed); a folder reached twice (a link loop, or the same
// folder selected twice) is scanned once. Folders are expanded to their JPEG
// files by the one folder scan (ScanFolder), in the file system's order, so
// FIFOs, sockets and devices never enter.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <set>
#include <sys/types.h>
#include <utility>
#include <vector>

// A file's identity: device and inode, links followed.
using FileId = std::pair<dev_t, ino_t>;
std::optional<FileId> IdentityOf(const QString& path);

// Joins a folder and a name with one "/" (the root keeps its own).
QString JoinPath(const QString& folder, const QString& name);

class CFileCollector {
public:
    // The JPEG files of `folder`, and with `recursive` those of its folders.
    void AddFolder(const QString& folder, bool recursive);
    // One file; a path that cannot be reached is kept (once per text), so its
    // failure to load can be reported.
    void AddFile(const QString& path);

    const QStringList& Paths() const { return m_paths; }
    // The identity of Paths()[i]; none when the path could not be reached.
    const std::optional<FileId>& Id(qsizetype i) const { return m_ids[size_t(i)]; }

private:
    QStringList m_paths;
    std::vector<std::optional<FileId>> m_ids;
    std::set<FileId> m_folders;
    std::set<FileId> m_files;
    std::set<QString> m_unreachable;
};
