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

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kNamesShown = 20;

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

// A rename that refuses an existing target (renameat2 with RENAME_NOREPLACE;
// file systems without it get link + unlink, which refuses too).
int RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (::link(from.constData(), to.constData()) != 0)
        return -1;
    ::unlink(from.constData());
    return 0;
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

// Makes a new entry under a free hidden name in `folder` with `make`, which
// fails with EEXIST when the name is taken. The name is short, so that even a
// target name of 255 bytes has its temporary beside it. Empty on failure
// (errno set).
template <typename Make>
QByteArray MakeTemporary(const QByteArray& folder, Make make)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = Join(folder, ".pxcopy-");
        for (int i = 0; i < 6; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        if (make(name))
            return name;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

// Copies the regular file `source` (a link followed with `follow`) to a new
// temporary file in `folder` with the source's bytes, permission bits and
// times, flushed to disk. Returns its path, or empty (nothing left behind)
// with `error` set. The type is checked before the open, which would wait
// for a writer on a pipe; O_NONBLOCK covers a swap in between.
QByteArray CopyToTemporary(const QByteArray& source, const QByteArray& folder, bool follow, QString* error)
{
    struct stat st {};
    if ((follow ? ::stat(source.constData(), &st) : ::lstat(source.constData(), &st)) != 0) {
        *error = ErrnoText(errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("Not a regular file");
        return {};
    }
    const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW));
    if (in < 0) {
        *error = ErrnoText(errno);
        return {};
    }
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISREG(st.st_mode) ? ErrnoText(errno) : QStringLiteral("Not a regular file");
        ::close(in);
        return {};
    }
    int out = -1;
    const QByteArray temporary = MakeTemporary(folder, [&](const QByteArray& name) {
        out = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        return out >= 0;
    });
    if (out < 0) {
        *error = ErrnoText(errno);
        ::close(in);
        return {};
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || (n > 0 && !WriteAll(out, buffer, n))) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::fchmod(out, st.st_mode & 07777) == 0 && ::futimens(out, times) == 0 && ::fsync(out) == 0;
    const int saved = errno;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    if (!ok) {
        *error = ErrnoText(saved ? saved : EIO);
        ::unlink(temporary.constData());
        return {};
    }
    return temporary;
}

// Makes a link with the text of the link `source` under a temporary name in
// `folder`; empty with `error` set on failure.
QByteArray LinkToTemporary(const QByteArray& source, const QByteArray& folder, QString* error)
{
    QByteArray text(PATH_MAX, '\0');
    const ssize_t n = ::readlink(source.constData(), text.data(), size_t(text.size()));
    if (n < 0 || n >= text.size()) {
        *error = ErrnoText(n < 0 ? errno : ENAMETOOLONG);
        return {};
    }
    text.truncate(n);
    const QByteArray temporary = MakeTemporary(
        folder, [&](const QByteArray& name) { return ::symlink(text.constData(), name.constData()) == 0; });
    if (temporary.isEmpty())
        *error = ErrnoText(errno);
    return temporary;
}

// TransferFile on the file system's bytes. With `keepLinks` a link is made
// again as a link (as cp -a and mv do), never followed.
bool TransferPath(FileOperationCode code, const QByteArray& from, const QByteArray& to, bool replace, bool keepLinks,
                  QString* error)
{
    if (code == FileOperationCode::Move) {
        const int result = replace ? ::rename(from.constData(), to.constData()) : RenameNoReplace(from, to);
        if (result == 0)
            return true;
        if (errno != EXDEV) {
            *error = ErrnoText(errno);
            return false;
        }
    }
    // A copy, or a move to another device: the whole file under a temporary
    // name next to the target first.
    struct stat st {};
    const bool link = keepLinks && ::lstat(from.constData(), &st) == 0 && S_ISLNK(st.st_mode);
    const QByteArray temp = link ? LinkToTemporary(from, FolderOf(to), error)
                                 : CopyToTemporary(from, FolderOf(to), !keepLinks, error);
    if (temp.isEmpty())
        return false;
    const int result = replace ? ::rename(temp.constData(), to.constData()) : RenameNoReplace(temp, to);
    if (result != 0) {
        *error = ErrnoText(errno);
        ::unlink(temp.constData());
        return false;
    }
    if (code == FileOperationCode::Move && ::unlink(from.constData()) != 0) {
        // The source stays; the copy was new, so it goes again. A replaced
        // target cannot come back, but it now holds the source's bytes.
        *error = ErrnoText(errno);
        if (!replace)
            ::unlink(to.constData());
        return false;
    }
    return true;
}

bool SameFile(const QByteArray& a, const QByteArray& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.constData(), &sa) == 0 && ::stat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

// The names in the folder `path` as the file system holds them, in byte
// order; false (errno set) when it cannot be listed whole.
bool ListFolder(const QByteArray& path, QList<QByteArray>* names)
{
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return false;
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

// Whether `folder` is the folder `st` or lies anywhere under it, by device
// and inode of `folder` and each of its parents, so that a second mount of
// the same disk or a bind mount cannot hide it. A parent that cannot be
// reached ends the walk.
bool IsWithin(const QByteArray& folder, const struct stat& st)
{
    int fd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
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

// Removes `path` and everything in it on the file system's bytes, links
// never followed and no permission changed; what stays is added to `left`
// where it failed (its folders are not named again).
bool RemoveTree(const QByteArray& path, QStringList* left)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        QList<QByteArray> names;
        if (!ListFolder(path, &names)) {
            const QString why = ErrnoText(errno);
            *left << Shown(path) + QStringLiteral(" (") + why + QLatin1Char(')');
            return false;
        }
        bool whole = true;
        for (const QByteArray& name : names)
            whole = RemoveTree(Join(path, name), left) && whole;
        if (!whole)
            return false;
        if (::rmdir(path.constData()) == 0)
            return true;
    } else if (::unlink(path.constData()) == 0) {
        return true;
    }
    const QString why = ErrnoText(errno);
    *left << Shown(path) + QStringLiteral(" (") + why + QLatin1Char(')');
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

bool IsSameFile(const QString& a, const QString& b)
{
    return SameFile(Native(a), Native(b));
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
    return TransferPath(code, Native(source), Native(target), replace, false, error ? error : &ignored);
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
        } else if (IsFolder(file)) {
            // A folder goes with everything in it (links are removed, never
            // followed); what stays keeps its permissions and is named.
            QStringList left;
            ok = RemoveTree(Native(file), &left);
            if (!ok)
                MessageBoxes().ShowMessage(QStringLiteral("The folder ") + file
                                           + QStringLiteral(" could not be deleted completely. Left in place:")
                                           + NameLines(left));
        } else {
            ok = ::unlink(Native(file).constData()) == 0;
            if (!ok)
                MessageBoxes().ShowMessage(QStringLiteral("The file ") + file + QStringLiteral(" could not be deleted: ")
                                           + ErrnoText(errno));
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
        if (!IsUsablePath(source) || !IsUsablePath(folder))
            return Fail(QStringLiteral("The file ") + source + QStringLiteral(" could not be ") + m_verb
                        + QStringLiteral(" to ") + folder + QStringLiteral(": no valid path."));
        return Entry(Native(source), Native(folder), true);
    }

private:
    Outcome Fail(const QString& text)
    {
        MessageBoxes().ShowMessage(text);
        return Outcome::Failed;
    }

    // One entry: a selected one (`selected`) is followed when it is a link to
    // a file, as before; one inside a folder is taken as it is.
    Outcome Entry(const QByteArray& from, const QByteArray& folder, bool selected)
    {
        const QString source = Shown(from);
        struct stat st {};
        if (::lstat(from.constData(), &st) != 0)
            return Fail(QStringLiteral("The file ") + source + QStringLiteral(" no longer exists. It was skipped."));
        const QByteArray to = Join(folder, BaseName(from));
        const bool folderEntry = S_ISDIR(st.st_mode);
        if (SameFile(from, to))
            return Fail(QStringLiteral("The ") + (folderEntry ? QStringLiteral("folder ") : QStringLiteral("file ")) + source
                        + QStringLiteral(" cannot be ") + m_verb + QStringLiteral(" onto itself."));
        if (folderEntry)
            return FolderInto(from, st, folder, to);
        bool replace = false;
        struct stat existing {};
        if (::lstat(to.constData(), &existing) == 0) {
            const auto answer = MessageBoxes().AskYesNoCancel(OverwriteQuestionText(Shown(to)), QStringLiteral("Overwrite warning"));
            if (answer == IMessageBoxes::Answer::Cancel)
                return Outcome::Cancelled;
            if (answer == IMessageBoxes::Answer::No)
                return Outcome::Skipped;
            replace = true;
        }
        QString error;
        if (TransferPath(m_code, from, to, replace, !selected, &error))
            return Outcome::Done;
        return Fail(QStringLiteral("The file ") + source + QStringLiteral(" could not be ") + m_verb
                    + QStringLiteral(" to ") + Shown(folder) + QStringLiteral(": ") + error);
    }

    // A folder goes whole: renamed when it can be, else made at the target
    // (or merged into a folder of that name there) entry by entry, each
    // clashing file asked about; a moved folder is removed once empty. Any
    // entry that fails makes the folder fail; one the user kept skips it.
    Outcome FolderInto(const QByteArray& from, const struct stat& st, const QByteArray& folder, const QByteArray& to)
    {
        const QString source = Shown(from);
        // Into itself, also through a second mount; and never into a folder
        // this run made, whatever path leads there.
        if (IsWithin(folder, st) || m_made.count({st.st_dev, st.st_ino}))
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" cannot be ") + m_verb
                        + QStringLiteral(" into itself."));
        struct stat existing {};
        const bool exists = ::lstat(to.constData(), &existing) == 0;
        if (exists && !S_ISDIR(existing.st_mode))
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be ") + m_verb
                        + QStringLiteral(": a file named ") + Shown(to) + QStringLiteral(" is in the way."));
        if (!exists && m_code == FileOperationCode::Move) {
            if (RenameNoReplace(from, to) == 0)
                return Outcome::Done;
            const int error = errno;
            if (error != EXDEV)
                return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be moved to ")
                            + Shown(folder) + QStringLiteral(": ") + ErrnoText(error));
        }
        QList<QByteArray> names;
        if (!ListFolder(from, &names))
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be read: ") + ErrnoText(errno));
        // Writable while it fills; the source's permission bits at the end.
        struct stat made {};
        if (!exists && (::mkdir(to.constData(), 0700) != 0 || ::lstat(to.constData(), &made) != 0)) {
            const QString why = ErrnoText(errno);
            return Fail(QStringLiteral("The folder ") + Shown(to) + QStringLiteral(" could not be made: ") + why);
        }
        if (!exists)
            m_made.insert({made.st_dev, made.st_ino});
        bool failed = false, skipped = false;
        Outcome outcome = Outcome::Done;
        for (const QByteArray& name : names) {
            outcome = Entry(Join(from, name), to, false);
            if (outcome == Outcome::Cancelled)
                break;
            failed = failed || outcome == Outcome::Failed;
            skipped = skipped || outcome == Outcome::Skipped;
        }
        if (!exists)
            ::chmod(to.constData(), st.st_mode & 07777);
        if (outcome == Outcome::Cancelled || failed || skipped)
            return outcome == Outcome::Cancelled ? outcome : failed ? Outcome::Failed : Outcome::Skipped;
        if (m_code == FileOperationCode::Move && ::rmdir(from.constData()) != 0)
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be removed: ")
                        + ErrnoText(errno));
        return Outcome::Done;
    }

    FileOperationCode m_code;
    QString m_verb;
    // The folders this run made (device, inode).
    std::set<std::pair<dev_t, ino_t>> m_made;
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
    return result;
}
