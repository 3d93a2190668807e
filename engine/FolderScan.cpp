// Folder listing over opendir/readdir. The type is taken from stat with links
// followed; a regular file with a name that cannot be a JPEG is skipped before
// its stat, which keeps large folders of other files cheap.
#include "FolderScan.h"

#include <QFile>
#include <QStringDecoder>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

bool IsJpegFileName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QString extension = name.mid(dot + 1);
    // "a.jpg,jpeg" would match across two entries of the list.
    if (extension.contains(u','))
        return false;
    const QString key = u',' + extension.toUpper() + u',';
    return QStringView(kJpegExtensions).contains(key);
}

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// The name as UTF-16, or a null string when the bytes are not valid UTF-8.
QString DecodeName(const char* bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString name = decoder.decode(QByteArrayView(bytes, qsizetype(std::strlen(bytes))));
    return decoder.hasError() ? QString() : name;
}

} // namespace

bool ScanFolder(const QString& folder, const FolderScanVisitor& visit)
{
    if (folder.isEmpty())
        return true;
    std::unique_ptr<DIR, DirCloser> dir(opendir(QFile::encodeName(folder).constData()));
    if (!dir)
        return false;
    const int dirFd = dirfd(dir.get());
    while (const dirent* found = readdir(dir.get())) {
        const char* raw = found->d_name;
        if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0)
            continue;
        const QString name = DecodeName(raw);
        if (name.isNull())
            continue;
        if (found->d_type == DT_REG && !IsJpegFileName(name))
            continue;
        struct stat st;
        if (fstatat(dirFd, raw, &st, 0) != 0)
            continue;
        FileListEntry entry;
        if (S_ISDIR(st.st_mode)) {
            entry.directory = 1;
        } else if (S_ISREG(st.st_mode) && IsJpegFileName(name)) {
            entry.size = static_cast<uint64_t>(st.st_size);
        } else {
            continue;
        }
        entry.name = name;
        entry.lastWriteTime = static_cast<int64_t>(st.st_mtim.tv_sec);
        if (!visit(std::move(entry)))
            break;
    }
    return true;
}
