#include "FileCollector.h"

#include "FolderScan.h"

#include <QFile>

#include <sys/stat.h>

std::optional<FileId> IdentityOf(const QString& path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileId(st.st_dev, st.st_ino);
}

QString JoinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

void CFileCollector::AddFolder(const QString& folder, bool recursive)
{
    const std::optional<FileId> id = IdentityOf(folder);
    if (!id || !m_folders.insert(*id).second)
        return;
    ScanFolder(folder, [&](FileListEntry&& entry) {
        const QString path = JoinPath(folder, entry.name);
        if (!entry.directory)
            AddFile(path);
        else if (recursive)
            AddFolder(path, true);
        return true;
    });
}

void CFileCollector::AddFile(const QString& path)
{
    const std::optional<FileId> id = IdentityOf(path);
    if (id ? !m_files.insert(*id).second : !m_unreachable.insert(path).second)
        return;
    m_paths.append(path);
    m_ids.push_back(id);
}
