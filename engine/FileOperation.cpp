#include "FileOperation.h"

#include "FileNames.h"
#include "MessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kNamesShown = 20;

std::function<void(const QByteArray&)>& FolderOpenHook()
{
    static std::function<void(const QByteArray&)> hook;
    return hook;
}

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

// Paths below the selected ones are kept as the file system's bytes: a name
// that is no text in the locale (a Latin-1 name on a UTF-8 system) would not
// survive a round trip through QString. Shown decodes them for messages only.
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

QString FileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool IsFolder(const QString& path)
{
    struct stat st {};
    return ::lstat(Native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "file" or "folder" as the path is on disk, and "files" or "files and
// folders" for a list.
QString KindOf(const QString& path)
{
    return IsFolder(path) ? QStringLiteral("folder ") : QStringLiteral("file ");
}

QString KindsOf(const QStringList& paths)
{
    return std::any_of(paths.begin(), paths.end(), IsFolder) ? QStringLiteral("files and folders")
                                                              : QStringLiteral("files");
}

// `lines`, each on a line of its own, shortened for long lists.
QString NameLines(const QStringList& lines)
{
    QString text;
    for (qsizetype i = 0; i < lines.size() && i < kNamesShown; ++i)
        text += QLatin1Char('\n') + lines[i];
    if (lines.size() > kNamesShown)
        text += QStringLiteral("\n...");
    return text;
}

// The question's list of names (a folder's with a trailing "/").
QString NameList(const QStringList& files)
{
    QStringList names;
    for (const QString& file : files.mid(0, kNamesShown + 1))
        names << FileNameOf(file) + (IsFolder(file) ? QStringLiteral("/") : QString());
    return NameLines(names);
}

// A file system entry reached through the folder that holds it: `dir` is a
// descriptor of that folder and `name` the entry's name in it, so what was
// checked is what is used, whatever happens to the path meanwhile. `path`
// spells it for messages only.
struct At {
    int dir;
    QByteArray name;
    QByteArray path;
};

// A descriptor closed with the object.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(Fd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

// The folder holding `path` (a link in the path followed: it is the user's
// choice) as an O_PATH descriptor, and the entry's name in it.
Fd OpenParent(const QByteArray& path, At* at)
{
    *at = {-1, BaseName(path), path};
    Fd fd(::open(FolderOf(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    at->dir = fd.get();
    return fd;
}

int StatAt(const At& at, struct stat* st, bool follow = false)
{
    return ::fstatat(at.dir, at.name.constData(), st, follow ? 0 : AT_SYMLINK_NOFOLLOW);
}

// Opens the folder `at` for listing; a link or anything else that stands
// there now fails (ELOOP or ENOTDIR) and is never followed.
Fd OpenFolderAt(const At& at)
{
    if (FolderOpenHook())
        FolderOpenHook()(at.path);
    return Fd(::openat(at.dir, at.name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
}

bool IsNoFolderNow(int error)
{
    return error == ELOOP || error == ENOTDIR;
}

// A rename that refuses an existing target: renameat2 with
// RENAME_NOREPLACE; where the file system lacks the flag, a hard link (which
// refuses too) and unlink; where it has no hard links either (folders, many
// FUSE, network and FAT disks), a plain rename once the name is seen free.
int RenameNoReplace(const At& from, const At& to)
{
    if (::renameat2(from.dir, from.name.constData(), to.dir, to.name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;
    if (::linkat(from.dir, from.name.constData(), to.dir, to.name.constData(), 0) == 0) {
        ::unlinkat(from.dir, from.name.constData(), 0);
        return 0;
    }
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP && errno != EMLINK)
        return -1;
    struct stat st {};
    if (StatAt(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    if (errno != ENOENT)
        return -1;
    return ::renameat(from.dir, from.name.constData(), to.dir, to.name.constData());
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    return RenameNoReplace(At{AT_FDCWD, from, from}, At{AT_FDCWD, to, to});
}

int RenameAt(const At& from, const At& to, bool replace)
{
    return replace ? ::renameat(from.dir, from.name.constData(), to.dir, to.name.constData())
                   : RenameNoReplace(from, to);
}

bool WriteAll(int fd, const char* data, ssize_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

constexpr char kTemporaryPrefix[] = ".pxcopy-";
constexpr int kTemporaryLetters = 6;

// A temporary entry in the target folder: its name and, for a file, the
// descriptor that holds it locked while it lives (see RemoveStaleTemporaries).
struct Temporary {
    QByteArray name;
    Fd fd;
};

// Makes a new entry under a free hidden name in the folder `dir` with
// `make`, which fails with EEXIST when the name is taken. The name is short,
// so that even a target name of 255 bytes has its temporary beside it.
// Empty name on failure (errno set).
template <typename Make>
QByteArray MakeTemporary(int dir, Make make)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = kTemporaryPrefix;
        for (int i = 0; i < kTemporaryLetters; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        if (make(dir, name))
            return name;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

// Removes the temporaries that a run killed half-way left in the folder
// `dir`: files of the temporary form whose lock nobody holds (a live run
// holds its own until the file is renamed or removed).
void RemoveStaleTemporaries(int dir, const QList<QByteArray>& names)
{
    for (const QByteArray& name : names) {
        if (!name.startsWith(kTemporaryPrefix) || name.size() != qsizetype(sizeof kTemporaryPrefix - 1 + kTemporaryLetters))
            continue;
        const Fd fd(::openat(dir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (fd.get() >= 0 && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dir, name.constData(), 0);
    }
}

// Copies the regular file `source` (a link followed with `follow`) to a new
// temporary file in the folder `dir` with the source's bytes, permission
// bits and times, flushed to disk. Empty name (nothing left behind) with
// `error` set on failure. The type is checked before the open, which would
// wait for a writer on a pipe; O_NONBLOCK covers a swap in between.
Temporary CopyToTemporary(const At& source, int dir, bool follow, QString* error)
{
    struct stat st {};
    if (StatAt(source, &st, follow) != 0) {
        *error = ErrnoText(errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("Not a regular file");
        return {};
    }
    const Fd in(::openat(source.dir, source.name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW)));
    if (in.get() < 0) {
        *error = ErrnoText(errno);
        return {};
    }
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISREG(st.st_mode) ? ErrnoText(errno) : QStringLiteral("Not a regular file");
        return {};
    }
    int out = -1;
    Temporary temporary;
    temporary.name = MakeTemporary(dir, [&](int folder, const QByteArray& name) {
        out = ::openat(folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        return out >= 0;
    });
    if (out < 0) {
        *error = ErrnoText(errno);
        return {};
    }
    temporary.fd = Fd(out);
    bool ok = ::flock(out, LOCK_EX) == 0;
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = WriteAll(out, buffer, n);
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::fchmod(out, st.st_mode & 07777) == 0 && ::futimens(out, times) == 0 && ::fsync(out) == 0;
    if (!ok) {
        *error = ErrnoText(errno ? errno : EIO);
        ::unlinkat(dir, temporary.name.constData(), 0);
        return {};
    }
    return temporary;
}

// Makes a link with the text of the link `source` under a temporary name in
// the folder `dir`; empty name with `error` set on failure.
Temporary LinkToTemporary(const At& source, int dir, QString* error)
{
    QByteArray text(PATH_MAX, '\0');
    const ssize_t n = ::readlinkat(source.dir, source.name.constData(), text.data(), size_t(text.size()));
    if (n < 0 || n >= text.size()) {
        *error = ErrnoText(n < 0 ? errno : ENAMETOOLONG);
        return {};
    }
    text.truncate(n);
    Temporary temporary;
    temporary.name = MakeTemporary(dir, [&](int folder, const QByteArray& name) {
        return ::symlinkat(text.constData(), folder, name.constData()) == 0;
    });
    if (temporary.name.isEmpty())
        *error = ErrnoText(errno);
    return temporary;
}

// Whether the entries of the folder `dir` can be removed: it is writable
// and not on a read-only disk. errno says why not.
bool CanRemoveFrom(int dir)
{
    return ::faccessat(dir, ".", W_OK | X_OK, AT_EACCESS) == 0;
}

// TransferFile on entries reached through their folders. With `keepLinks`
// a link is made again as a link (as cp -a and mv do), never followed. A
// move whose source cannot be removed copies nothing and sets `stays`.
bool TransferAt(FileOperationCode code, const At& from, const At& to, bool replace, bool keepLinks, QString* error,
                bool* stays = nullptr)
{
    if (code == FileOperationCode::Move) {
        if (RenameAt(from, to, replace) == 0)
            return true;
        if (errno != EXDEV) {
            *error = ErrnoText(errno);
            return false;
        }
        // To another device: a copy the source then stays beside is useless.
        if (!CanRemoveFrom(from.dir)) {
            *error = ErrnoText(errno);
            if (stays)
                *stays = true;
            return false;
        }
    }
    // A copy, or a move to another device: the whole file under a temporary
    // name next to the target first.
    struct stat st {};
    const bool link = keepLinks && StatAt(from, &st) == 0 && S_ISLNK(st.st_mode);
    const Temporary temp = link ? LinkToTemporary(from, to.dir, error) : CopyToTemporary(from, to.dir, !keepLinks, error);
    if (temp.name.isEmpty())
        return false;
    const At made{to.dir, temp.name, temp.name};
    if (RenameAt(made, to, replace) != 0) {
        *error = ErrnoText(errno);
        ::unlinkat(to.dir, temp.name.constData(), 0);
        return false;
    }
    if (code == FileOperationCode::Move && ::unlinkat(from.dir, from.name.constData(), 0) != 0) {
        // The source stays; the copy was new, so it goes again. A replaced
        // target cannot come back, but it now holds the source's bytes.
        *error = ErrnoText(errno);
        if (!replace)
            ::unlinkat(to.dir, to.name.constData(), 0);
        return false;
    }
    return true;
}

// Whether the two entries are one (device and inode), links followed with
// `follow`.
bool SameEntry(const At& a, const At& b, bool follow)
{
    struct stat sa {}, sb {};
    return StatAt(a, &sa, follow) == 0 && StatAt(b, &sb, follow) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

// The names in the open folder `fd`, in byte order; false (errno set) when
// it cannot be listed whole.
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

// Whether the folder `dir` is the folder `st` or lies anywhere under it, by
// device and inode of it and each of its parents, so that a second mount of
// the same disk or a bind mount cannot hide it. A parent that cannot be
// reached ends the walk.
bool IsWithin(int dir, const struct stat& st)
{
    int fd = ::openat(dir, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat here {};
    while (fd >= 0 && ::fstat(fd, &here) == 0) {
        if (here.st_dev == st.st_dev && here.st_ino == st.st_ino) {
            ::close(fd);
            return true;
        }
        const int parent = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        struct stat up {};
        if (fd >= 0 && ::fstat(fd, &up) == 0 && up.st_dev == here.st_dev && up.st_ino == here.st_ino)
            break; // the root
    }
    if (fd >= 0)
        ::close(fd);
    return false;
}

void AddLeft(QStringList* left, const QByteArray& path, int error)
{
    *left << Shown(path) + QStringLiteral(" (") + ErrnoText(error) + QLatin1Char(')');
}

// Removes the entry `at` and everything in it, links never followed (one
// that stands where a folder was checked is removed itself) and no
// permission changed; what stays is added to `left` where it failed (its
// folders are not named again).
bool RemoveAt(const At& at, QStringList* left)
{
    struct stat st {};
    if (StatAt(at, &st) == 0 && S_ISDIR(st.st_mode)) {
        const Fd fd = OpenFolderAt(at);
        if (fd.get() >= 0) {
            QList<QByteArray> names;
            if (!ListFolder(fd.get(), &names)) {
                AddLeft(left, at.path, errno);
                return false;
            }
            bool whole = true;
            for (const QByteArray& name : names)
                whole = RemoveAt(At{fd.get(), name, Join(at.path, name)}, left) && whole;
            if (!whole)
                return false;
            if (::unlinkat(at.dir, at.name.constData(), AT_REMOVEDIR) == 0)
                return true;
        } else if (IsNoFolderNow(errno) && ::unlinkat(at.dir, at.name.constData(), 0) == 0) {
            return true;
        }
    } else if (::unlinkat(at.dir, at.name.constData(), 0) == 0) {
        return true;
    }
    AddLeft(left, at.path, errno);
    return false;
}

// A trash folder's "files" folder holds what was trashed; its sibling "info"
// holds one .trashinfo per file. The folder itself is "Trash" under the data
// home, or ".Trash-<uid>" or ".Trash/<uid>" at the top of a mount.
bool IsInsideTrash(const QString& trashedPath)
{
    const QFileInfo file(trashedPath);
    const QDir files = file.dir();
    if (files.dirName() != QLatin1String("files"))
        return false;
    QDir trash = files;
    if (!trash.cdUp())
        return false;
    const QString name = trash.dirName();
    QDir parent = trash;
    parent.cdUp();
    const bool trashName = name == QLatin1String("Trash") || name.startsWith(QLatin1String(".Trash-"))
        || parent.dirName() == QLatin1String(".Trash");
    return trashName && QFileInfo::exists(trash.filePath(QStringLiteral("info/") + file.fileName() + QStringLiteral(".trashinfo")));
}

} // namespace

QString TrashQuestionText(const QStringList& files)
{
    if (files.size() == 1) {
        const QString all = IsFolder(files[0]) ? QStringLiteral(" and everything in it") : QString();
        return QStringLiteral("Move the ") + KindOf(files[0]) + files[0] + all + QStringLiteral(" to the trash?");
    }
    return QStringLiteral("Move these %1 %2 to the trash?\n").arg(files.size()).arg(KindsOf(files)) + NameList(files);
}

QString PermanentDeleteQuestionText(const QStringList& files)
{
    const QString tail = QStringLiteral("\nIt cannot be brought back.");
    if (files.size() == 1) {
        const QString all = IsFolder(files[0]) ? QStringLiteral(" and everything in it") : QString();
        return QStringLiteral("Delete the ") + KindOf(files[0]) + files[0] + all + QStringLiteral(" permanently?") + tail;
    }
    return QStringLiteral("Delete these %1 %2 permanently?").arg(files.size()).arg(KindsOf(files)) + tail
        + QLatin1Char('\n') + NameList(files);
}

QString OverwriteQuestionText(const QString& target)
{
    return QStringLiteral("The file ") + target + QStringLiteral(" already exists.\nDo you want to replace it?");
}

void SetFolderOpenHook(std::function<void(const QByteArray& path)> hook)
{
    FolderOpenHook() = std::move(hook);
}

bool IsSameFile(const QString& a, const QString& b)
{
    const QByteArray pa = Native(a), pb = Native(b);
    return SameEntry(At{AT_FDCWD, pa, pa}, At{AT_FDCWD, pb, pb}, true);
}

namespace {

// Makes the user's data folder, where the home trash lives, when it is
// missing (QFile::moveToTrash will not); each missing level gets mode 0700.
void EnsureDataHome()
{
    QString home = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    if (!QDir::isAbsolutePath(home))
        home = QDir::homePath() + QStringLiteral("/.local/share");
    QString level;
    for (const QString& part : home.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        level += QLatin1Char('/') + part;
        ::mkdir(Native(level).constData(), 0700);
    }
}

} // namespace

bool MoveFileToTrash(const QString& path, QString* trashedPath)
{
    EnsureDataHome();
    QString where;
    if (!QFile::moveToTrash(path, &where))
        return false;
    if (IsInsideTrash(where)) {
        if (trashedPath)
            *trashedPath = where;
        return true;
    }
    // Qt made a "files" folder of its own somewhere that is no trash: the
    // file goes back, and the stray record with it.
    if (!where.isEmpty() && RenameNoReplace(Native(where), Native(path)) == 0) {
        const QFileInfo moved(where);
        QDir trash = moved.dir();
        trash.cdUp();
        QFile::remove(trash.filePath(QStringLiteral("info/") + moved.fileName() + QStringLiteral(".trashinfo")));
        // The folders it made go too, when nothing else is in them.
        trash.rmdir(QStringLiteral("files"));
        trash.rmdir(QStringLiteral("info"));
    }
    return false;
}

bool TransferFile(FileOperationCode code, const QString& source, const QString& target, bool replace, QString* error)
{
    QString ignored;
    error = error ? error : &ignored;
    At from, to;
    const Fd fromDir = OpenParent(Native(source), &from), toDir = OpenParent(Native(target), &to);
    if (fromDir.get() < 0 || toDir.get() < 0) {
        *error = ErrnoText(errno);
        return false;
    }
    return TransferAt(code, from, to, replace, false, error);
}

namespace {

FileOperationResult DeleteFiles(const QStringList& files, bool toTrash)
{
    FileOperationResult result;
    const bool yes = toTrash ? MessageBoxes().AskYesNo(TrashQuestionText(files), QStringLiteral("Delete"), false)
                             : MessageBoxes().AskYesNo(PermanentDeleteQuestionText(files), QStringLiteral("Delete"), true);
    if (!yes) {
        result.aborted = true;
        return result;
    }
    for (const QString& file : files) {
        bool ok;
        if (!IsUsablePath(file)) {
            // The system calls would take another file's name from it.
            ok = false;
            MessageBoxes().ShowMessage(QStringLiteral("The file ") + file + QStringLiteral(" is no valid path. It was left alone."));
        } else if (toTrash) {
            ok = MoveFileToTrash(file);
            if (!ok)
                MessageBoxes().ShowMessage(QStringLiteral("The ") + KindOf(file) + file
                                           + QStringLiteral(" could not be moved to the trash. It was left in place."));
        } else {
            // A folder goes with everything in it (links are removed, never
            // followed); what stays keeps its permissions and is named.
            At at;
            const Fd parent = OpenParent(Native(file), &at);
            struct stat st {};
            QStringList left;
            if (parent.get() >= 0 && StatAt(at, &st) == 0 && S_ISDIR(st.st_mode)) {
                ok = RemoveAt(at, &left);
                if (!ok)
                    MessageBoxes().ShowMessage(QStringLiteral("The folder ") + file
                                               + QStringLiteral(" could not be deleted completely. Left in place:")
                                               + NameLines(left));
            } else {
                ok = parent.get() >= 0 && ::unlinkat(at.dir, at.name.constData(), 0) == 0;
                if (!ok)
                    MessageBoxes().ShowMessage(QStringLiteral("The file ") + file
                                               + QStringLiteral(" could not be deleted: ") + ErrnoText(errno));
            }
        }
        if (ok)
            result.done << file;
        else
            ++result.failed;
    }
    return result;
}

} // namespace

namespace {

enum class Outcome { Done, Skipped, Failed, Cancelled };

// One copy or move run: its question answers and messages. Below the
// selected paths it works on the file system's bytes (see Shown).
class Transfer {
public:
    explicit Transfer(FileOperationCode code)
        : m_code(code)
        , m_verb(code == FileOperationCode::Move ? QStringLiteral("moved") : QStringLiteral("copied"))
    {
    }

    // Puts `source` (a file, or a folder with everything in it) into `folder`.
    Outcome Into(const QString& source, const QString& folder)
    {
        const QString fail = QStringLiteral("The file ") + source + QStringLiteral(" could not be ") + m_verb
            + QStringLiteral(" to ") + folder + QStringLiteral(": ");
        if (!IsUsablePath(source) || !IsUsablePath(folder))
            return Fail(fail + QStringLiteral("no valid path."));
        QByteArray from = Native(source);
        while (from.size() > 1 && from.endsWith('/'))
            from.chop(1);
        At at;
        const Fd parent = OpenParent(from, &at);
        const Fd target(::open(Native(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (parent.get() < 0 || target.get() < 0)
            return Fail(fail + ErrnoText(errno));
        RemoveStaleTemporariesOnce(target.get());
        return Entry(at, At{target.get(), at.name, Join(Native(folder), at.name)}, true);
    }

    // Says once for the run which entries of a move stayed because they
    // cannot be removed where they are (a read-only disk).
    void ReportStayed() const
    {
        if (!m_stayed.isEmpty())
            MessageBoxes().ShowMessage(QStringLiteral("The following could not be moved, because they cannot be "
                                                      "removed from where they are. Left in place:")
                                       + NameLines(m_stayed));
    }

private:
    Outcome Fail(const QString& text)
    {
        MessageBoxes().ShowMessage(text);
        return Outcome::Failed;
    }

    Outcome Stays(const QByteArray& path, const QString& why)
    {
        m_stayed << Shown(path) + QStringLiteral(" (") + why + QLatin1Char(')');
        return Outcome::Failed;
    }

    // One entry: a selected one (`selected`) is followed when it is a link to
    // a file, as before; one inside a folder is taken as it is.
    Outcome Entry(const At& from, const At& to, bool selected)
    {
        const QString source = Shown(from.path);
        struct stat st {};
        if (StatAt(from, &st) != 0)
            return Fail(errno == ENOENT ? QStringLiteral("The file ") + source + QStringLiteral(" no longer exists. It was skipped.")
                                        : QStringLiteral("The file ") + source + QStringLiteral(" could not be ") + m_verb
                                              + QStringLiteral(": ") + ErrnoText(errno));
        const bool folderEntry = S_ISDIR(st.st_mode);
        if (SameEntry(from, to, selected))
            return Fail(QStringLiteral("The ") + (folderEntry ? QStringLiteral("folder ") : QStringLiteral("file ")) + source
                        + QStringLiteral(" cannot be ") + m_verb + QStringLiteral(" onto itself."));
        return folderEntry ? FolderInto(from, st, to) : FileInto(from, to, selected);
    }

    Outcome FileInto(const At& from, const At& to, bool selected)
    {
        bool replace = false;
        struct stat existing {};
        if (StatAt(to, &existing) == 0) {
            const auto answer = MessageBoxes().AskYesNoCancel(OverwriteQuestionText(Shown(to.path)), QStringLiteral("Overwrite warning"));
            if (answer == IMessageBoxes::Answer::Cancel)
                return Outcome::Cancelled;
            if (answer == IMessageBoxes::Answer::No)
                return Outcome::Skipped;
            replace = true;
        }
        QString error;
        bool stays = false;
        if (TransferAt(m_code, from, to, replace, !selected, &error, &stays))
            return Outcome::Done;
        if (stays)
            return Stays(from.path, error);
        return Fail(QStringLiteral("The file ") + Shown(from.path) + QStringLiteral(" could not be ") + m_verb
                    + QStringLiteral(" to ") + Shown(FolderOf(to.path)) + QStringLiteral(": ") + error);
    }

    // A folder goes whole: renamed when it can be, else made at the target
    // (or merged into a folder of that name there) entry by entry, each
    // clashing file asked about; a moved folder is removed once empty. Any
    // entry that fails makes the folder fail; one the user kept skips it. A
    // link found where the folder was checked is carried as a link.
    Outcome FolderInto(const At& from, const struct stat& st, const At& to)
    {
        const QString source = Shown(from.path);
        // Into itself, also through a second mount; and never into a folder
        // this run made, whatever path leads there.
        if (IsWithin(to.dir, st) || m_made.count({st.st_dev, st.st_ino}))
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" cannot be ") + m_verb
                        + QStringLiteral(" into itself."));
        struct stat existing {};
        const bool exists = StatAt(to, &existing) == 0;
        if (exists && !S_ISDIR(existing.st_mode))
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be ") + m_verb
                        + QStringLiteral(": a file named ") + Shown(to.path) + QStringLiteral(" is in the way."));
        if (!exists && m_code == FileOperationCode::Move) {
            if (RenameNoReplace(from, to) == 0)
                return Outcome::Done;
            const int error = errno;
            if (error != EXDEV)
                return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be moved to ")
                            + Shown(FolderOf(to.path)) + QStringLiteral(": ") + ErrnoText(error));
        }
        const Fd folder = OpenFolderAt(from);
        if (folder.get() < 0 && IsNoFolderNow(errno))
            return FileInto(from, to, false);
        QList<QByteArray> names;
        if (folder.get() < 0 || !ListFolder(folder.get(), &names))
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be read: ") + ErrnoText(errno));
        // Moved to another device: nothing is copied of what cannot be removed.
        if (m_code == FileOperationCode::Move && !CanRemoveFrom(folder.get()))
            return Stays(from.path, ErrnoText(errno));

        // A new folder has the source's permission bits from the start when
        // they let the owner fill it, else 0700 until it is full. A folder a
        // run killed half-way left at 0700 gets them now.
        const mode_t mode = st.st_mode & 07777;
        const bool ownerMayFill = (mode & 0700) == 0700;
        bool setMode = exists ? (existing.st_mode & 07777) == 0700 && !ownerMayFill : !ownerMayFill;
        Fd target(exists ? ::openat(to.dir, to.name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1);
        if (!exists) {
            struct stat made {};
            if (::mkdirat(to.dir, to.name.constData(), 0700) != 0
                || (target = Fd(::openat(to.dir, to.name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))).get() < 0
                || ::fstat(target.get(), &made) != 0 || ::fchmod(target.get(), ownerMayFill ? mode : 0700) != 0) {
                const QString why = ErrnoText(errno);
                return Fail(QStringLiteral("The folder ") + Shown(to.path) + QStringLiteral(" could not be made: ") + why);
            }
            m_made.insert({made.st_dev, made.st_ino});
        } else if (target.get() < 0) {
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be ") + m_verb
                        + QStringLiteral(" to ") + Shown(to.path) + QStringLiteral(": ") + ErrnoText(errno));
        } else {
            RemoveStaleTemporariesOnce(target.get());
        }
        bool failed = false, skipped = false;
        Outcome outcome = Outcome::Done;
        for (const QByteArray& name : names) {
            outcome = Entry(At{folder.get(), name, Join(from.path, name)}, At{target.get(), name, Join(to.path, name)}, false);
            if (outcome == Outcome::Cancelled)
                break;
            failed = failed || outcome == Outcome::Failed;
            skipped = skipped || outcome == Outcome::Skipped;
        }
        if (setMode) {
            const Fd readable(::openat(target.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            setMode = readable.get() >= 0 && ::fchmod(readable.get(), mode) == 0;
        }
        if (outcome == Outcome::Cancelled || failed || skipped)
            return outcome == Outcome::Cancelled ? outcome : failed ? Outcome::Failed : Outcome::Skipped;
        if (m_code == FileOperationCode::Move && ::unlinkat(from.dir, from.name.constData(), AT_REMOVEDIR) != 0)
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be removed: ")
                        + ErrnoText(errno));
        return Outcome::Done;
    }

    // The temporaries a killed run left in a folder this run writes into go,
    // once per folder.
    void RemoveStaleTemporariesOnce(int dir)
    {
        struct stat st {};
        if (::fstat(dir, &st) != 0 || !m_cleaned.insert({st.st_dev, st.st_ino}).second)
            return;
        const Fd folder(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        QList<QByteArray> names;
        if (folder.get() >= 0 && ListFolder(folder.get(), &names))
            RemoveStaleTemporaries(folder.get(), names);
    }

    FileOperationCode m_code;
    QString m_verb;
    // The folders this run made, and those it cleaned (device, inode).
    std::set<std::pair<dev_t, ino_t>> m_made, m_cleaned;
    // What a move left in place as it cannot be removed, with why.
    QStringList m_stayed;
};

} // namespace

FileOperationResult RunFileOperation(FileOperationCode code, const QStringList& files, bool allowUndo,
                                     const QString& destination)
{
    if (files.isEmpty())
        return {};
    if (code == FileOperationCode::Delete)
        return DeleteFiles(files, allowUndo);

    FileOperationResult result;
    QString folder = destination;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    Transfer transfer(code);
    for (const QString& source : files) {
        const Outcome outcome = transfer.Into(source, folder);
        if (outcome == Outcome::Cancelled) {
            result.aborted = true;
            break;
        }
        if (outcome == Outcome::Done)
            result.done << source;
        else if (outcome == Outcome::Failed)
            ++result.failed;
    }
    transfer.ReportStayed();
    return result;
}
