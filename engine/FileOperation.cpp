#include "FileOperation.h"

#include "FileNames.h"
#include "MessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kNamesShown = 20;

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

QString FileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
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

// The question's list of names (a folder's with a trailing "/"), shortened
// for long selections.
QString NameList(const QStringList& files)
{
    QString text;
    for (qsizetype i = 0; i < files.size() && i < kNamesShown; ++i)
        text += QLatin1Char('\n') + FileNameOf(files[i]) + (IsFolder(files[i]) ? QStringLiteral("/") : QString());
    if (files.size() > kNamesShown)
        text += QStringLiteral("\n...");
    return text;
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

// Copies `source` to a new temporary file in `folder` with the source's
// bytes, permission bits and times, flushed to disk. Returns its path, or
// empty (nothing left behind) with `error` set.
QString CopyToTemporary(const QString& source, const QString& folder, QString* error)
{
    const int in = ::open(Native(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *error = ErrnoText(errno);
        return {};
    }
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISREG(st.st_mode) ? ErrnoText(errno) : QStringLiteral("Not a regular file");
        ::close(in);
        return {};
    }
    QByteArray pattern = Native(folder + QStringLiteral("/.") + FileNameOf(source) + QStringLiteral(".XXXXXX"));
    const int out = ::mkostemp(pattern.data(), O_CLOEXEC);
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
        ::unlink(pattern.constData());
        return {};
    }
    return QFile::decodeName(pattern);
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
    struct stat sa {}, sb {};
    return ::stat(Native(a).constData(), &sa) == 0 && ::stat(Native(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
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
    QString& why = error ? *error : ignored;
    const QByteArray from = Native(source);
    const QByteArray to = Native(target);
    if (code == FileOperationCode::Move) {
        const int result = replace ? ::rename(from.constData(), to.constData()) : RenameNoReplace(from, to);
        if (result == 0)
            return true;
        if (errno != EXDEV) {
            why = ErrnoText(errno);
            return false;
        }
    }
    // A copy, or a move to another device: the whole file under a temporary
    // name next to the target first.
    const QString temporary = CopyToTemporary(source, FolderOf(target), &why);
    if (temporary.isEmpty())
        return false;
    const QByteArray temp = Native(temporary);
    const int result = replace ? ::rename(temp.constData(), to.constData()) : RenameNoReplace(temp, to);
    if (result != 0) {
        why = ErrnoText(errno);
        ::unlink(temp.constData());
        return false;
    }
    if (code == FileOperationCode::Move && ::unlink(from.constData()) != 0) {
        // The source stays; the copy was new, so it goes again. A replaced
        // target cannot come back, but it now holds the source's bytes.
        why = ErrnoText(errno);
        if (!replace)
            ::unlink(to.constData());
        return false;
    }
    return true;
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
            // A folder goes with everything in it (links are removed, never followed).
            ok = QDir(file).removeRecursively();
            if (!ok)
                MessageBoxes().ShowMessage(QStringLiteral("The folder ") + file
                                           + QStringLiteral(" could not be deleted completely."));
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

// One copy or move run: its question answers and messages.
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
        struct stat st {};
        if (::lstat(Native(source).constData(), &st) != 0)
            return Fail(QStringLiteral("The file ") + source + QStringLiteral(" no longer exists. It was skipped."));
        const QString target = (folder == QLatin1String("/") ? folder : folder + QLatin1Char('/')) + FileNameOf(source);
        if (IsSameFile(source, target))
            return Fail(QStringLiteral("The ") + KindOf(source) + source + QStringLiteral(" cannot be ") + m_verb
                        + QStringLiteral(" onto itself."));
        if (S_ISDIR(st.st_mode))
            return FolderInto(source, st, folder, target);
        bool replace = false;
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
            const auto answer = MessageBoxes().AskYesNoCancel(OverwriteQuestionText(target), QStringLiteral("Overwrite warning"));
            if (answer == IMessageBoxes::Answer::Cancel)
                return Outcome::Cancelled;
            if (answer == IMessageBoxes::Answer::No)
                return Outcome::Skipped;
            replace = true;
        }
        QString error;
        if (TransferFile(m_code, source, target, replace, &error))
            return Outcome::Done;
        return Fail(QStringLiteral("The file ") + source + QStringLiteral(" could not be ") + m_verb
                    + QStringLiteral(" to ") + folder + QStringLiteral(": ") + error);
    }

private:
    Outcome Fail(const QString& text)
    {
        MessageBoxes().ShowMessage(text);
        return Outcome::Failed;
    }

    // A folder goes whole: renamed when it can be, else made at the target
    // (or merged into a folder of that name there) entry by entry, each
    // clashing file asked about; a moved folder is removed once empty.
    Outcome FolderInto(const QString& source, const struct stat& st, const QString& folder, const QString& target)
    {
        const QString inside = QDir(source).canonicalPath();
        const QString where = QDir(folder).canonicalPath();
        if (where == inside || where.startsWith(inside + QLatin1Char('/')))
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" cannot be ") + m_verb
                        + QStringLiteral(" into itself."));
        const QByteArray from = Native(source);
        const QByteArray to = Native(target);
        struct stat existing {};
        const bool exists = ::lstat(to.constData(), &existing) == 0;
        if (exists && !S_ISDIR(existing.st_mode))
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be ") + m_verb
                        + QStringLiteral(": a file named ") + target + QStringLiteral(" is in the way."));
        if (!exists && m_code == FileOperationCode::Move) {
            if (RenameNoReplace(from, to) == 0)
                return Outcome::Done;
            if (errno != EXDEV)
                return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be moved to ") + folder
                            + QStringLiteral(": ") + ErrnoText(errno));
        }
        // Writable while it fills; the source's permission bits at the end.
        if (!exists && ::mkdir(to.constData(), 0700) != 0)
            return Fail(QStringLiteral("The folder ") + target + QStringLiteral(" could not be made: ")
                        + ErrnoText(errno));
        bool whole = true;
        const QStringList entries = QDir(source).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& name : entries) {
            const Outcome outcome = Into(source + QLatin1Char('/') + name, target);
            if (outcome == Outcome::Cancelled)
                return Outcome::Cancelled;
            whole = whole && outcome == Outcome::Done;
        }
        if (!exists)
            ::chmod(to.constData(), st.st_mode & 07777);
        if (!whole)
            return Outcome::Skipped;
        if (m_code == FileOperationCode::Move && ::rmdir(from.constData()) != 0)
            return Fail(QStringLiteral("The folder ") + source + QStringLiteral(" could not be removed: ")
                        + ErrnoText(errno));
        return Outcome::Done;
    }

    FileOperationCode m_code;
    QString m_verb;
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
