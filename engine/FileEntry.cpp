#include "FileEntry.h"

#include "FileOperation.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>

namespace fileop {

namespace {

std::function<void(const QByteArray&)>& OpenHook()
{
    static std::function<void(const QByteArray&)> hook;
    return hook;
}

// Whether this process may remove another's entry from a sticky folder.
bool MayRemoveOthers()
{
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] {};
    return ::syscall(SYS_capget, &header, data) == 0 && (data[0].effective & (1u << CAP_FOWNER)) != 0;
}

bool IsUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

QString Shown(const QByteArray& path)
{
    return QFile::decodeName(path);
}

QByteArray Join(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QByteArray BaseName(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray FolderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString NameLines(const QStringList& lines)
{
    QString text;
    for (qsizetype i = 0; i < lines.size() && i < kNamesShown; ++i)
        text += QLatin1Char('\n') + lines[i];
    if (lines.size() > kNamesShown)
        text += QStringLiteral("\n...");
    return text;
}

QByteArray At::Path() const
{
    QList<const At*> chain;
    const At* top = this;
    qsizetype size = 0;
    for (; top->folder; top = top->folder) {
        chain.append(top);
        size += top->name.size() + 1;
    }
    QByteArray path = top->path;
    path.reserve(path.size() + size);
    for (auto at = chain.crbegin(); at != chain.crend(); ++at)
        path = Join(path, (*at)->name);
    return path;
}

Fd OpenParent(const QByteArray& path, At* at)
{
    *at = {-1, BaseName(path), path};
    Fd fd(::open(FolderOf(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    at->dir = fd.get();
    return fd;
}

int StatAt(const At& at, struct stat* st, bool follow)
{
    return ::fstatat(at.dir, at.name.constData(), st, follow ? 0 : AT_SYMLINK_NOFOLLOW);
}

bool SameEntry(const At& a, const At& b, bool follow)
{
    struct stat sa {}, sb {};
    return StatAt(a, &sa, follow) == 0 && StatAt(b, &sb, follow) == 0 && IdentityOf(sa) == IdentityOf(sb);
}

void CallOpenHook(const At& at)
{
    if (OpenHook())
        OpenHook()(at.Path());
}

Fd OpenFolderAt(const At& at)
{
    CallOpenHook(at);
    return Fd(::openat(at.dir, at.name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
}

bool IsNoFolderNow(int error)
{
    return error == ELOOP || error == ENOTDIR;
}

bool ListFolder(int fd, QList<QByteArray>* names)
{
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!dir) {
        const int error = errno;
        if (copy >= 0)
            ::close(copy);
        errno = error;
        return false;
    }
    ::rewinddir(dir);
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names->append(QByteArray(entry->d_name));
    }
    ::closedir(dir);
    std::sort(names->begin(), names->end());
    errno = error;
    return error == 0;
}

bool CanRemoveFrom(int dir)
{
    return ::faccessat(dir, ".", W_OK | X_OK, AT_EACCESS) == 0;
}

bool CanRemove(const At& at)
{
    struct stat folder {}, entry {};
    if (!CanRemoveFrom(at.dir) || ::fstat(at.dir, &folder) != 0 || StatAt(at, &entry) != 0)
        return false;
    const uid_t me = ::geteuid();
    struct statx flags {};
    const bool sticky = (folder.st_mode & S_ISVTX) && entry.st_uid != me && folder.st_uid != me && !MayRemoveOthers();
    const bool fixed = ::statx(at.dir, at.name.constData(), AT_SYMLINK_NOFOLLOW, 0, &flags) == 0
        && (flags.stx_attributes & flags.stx_attributes_mask & (STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND));
    if (sticky || fixed) {
        errno = EPERM;
        return false;
    }
    return true;
}

int RenameNoReplace(const At& from, const At& to, bool* sourceStays)
{
    if (::renameat2(from.dir, from.name.constData(), to.dir, to.name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!IsUnsupported(errno))
        return -1;
    struct stat st {};
    if (StatAt(from, &st) != 0)
        return -1;
    if (S_ISDIR(st.st_mode)) {
        // A folder renames over an empty folder only: over our own claim,
        // never over a file or a folder with anything in it.
        if (::mkdirat(to.dir, to.name.constData(), 0700) != 0)
            return -1;
        if (::renameat(from.dir, from.name.constData(), to.dir, to.name.constData()) == 0)
            return 0;
        const int error = errno;
        ::unlinkat(to.dir, to.name.constData(), AT_REMOVEDIR);
        errno = error;
        return -1;
    }
    if (::linkat(from.dir, from.name.constData(), to.dir, to.name.constData(), 0) == 0) {
        if (::unlinkat(from.dir, from.name.constData(), 0) == 0)
            return 0;
        // Two names are no rename: the new one goes again while it is still
        // this file's.
        const int error = errno;
        if (SameEntry(from, to, false))
            ::unlinkat(to.dir, to.name.constData(), 0);
        if (sourceStays)
            *sourceStays = true;
        errno = error;
        return -1;
    }
    if (errno == EPERM || errno == EMLINK || IsUnsupported(errno))
        errno = EOPNOTSUPP;
    return -1;
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    return RenameNoReplace(At{AT_FDCWD, from, from}, At{AT_FDCWD, to, to});
}

} // namespace fileop

void SetFolderOpenHook(std::function<void(const QByteArray& path)> hook)
{
    fileop::OpenHook() = std::move(hook);
}
