#include "FileOperation.h"

#include "FileNames.h"
#include "MessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

// The question's list of names, shortened for long selections.
QString NameList(const QStringList& files)
{
    QString text;
    for (qsizetype i = 0; i < files.size() && i < kNamesShown; ++i)
        text += QLatin1Char('\n') + FileNameOf(files[i]);
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
    if (files.size() == 1)
        return QStringLiteral("Move the file ") + files[0] + QStringLiteral(" to the trash?");
    return QStringLiteral("Move these %1 files to the trash?\n").arg(files.size()) + NameList(files);
}

QString PermanentDeleteQuestionText(const QStringList& files)
{
    const QString tail = QStringLiteral("\nIt cannot be brought back.");
    if (files.size() == 1)
        return QStringLiteral("Delete the file ") + files[0] + QStringLiteral(" permanently?") + tail;
    return QStringLiteral("Delete these %1 files permanently?").arg(files.size()) + tail + QLatin1Char('\n')
        + NameList(files);
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
                MessageBoxes().ShowMessage(QStringLiteral("The file ") + file
                                           + QStringLiteral(" could not be moved to the trash. It was left in place."));
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

FileOperationResult RunFileOperation(FileOperationCode code, const QStringList& files, bool allowUndo,
                                     const QString& destination)
{
    if (files.isEmpty())
        return {};
    if (code == FileOperationCode::Delete)
        return DeleteFiles(files, allowUndo);

    FileOperationResult result;
    const QString verb = code == FileOperationCode::Move ? QStringLiteral("moved") : QStringLiteral("copied");
    const auto fail = [&](const QString& text) {
        MessageBoxes().ShowMessage(text);
        ++result.failed;
    };
    for (const QString& source : files) {
        struct stat st {};
        if (::lstat(Native(source).constData(), &st) != 0) {
            fail(QStringLiteral("The file ") + source + QStringLiteral(" no longer exists. It was skipped."));
            continue;
        }
        QString folder = destination;
        while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        const QString target = (folder == QLatin1String("/") ? folder : folder + QLatin1Char('/')) + FileNameOf(source);
        if (!IsUsablePath(source) || !IsUsablePath(target)) {
            fail(QStringLiteral("The file ") + source + QStringLiteral(" could not be ") + verb + QStringLiteral(" to ")
                 + folder + QStringLiteral(": no valid path."));
            continue;
        }
        if (IsSameFile(source, target)) {
            fail(QStringLiteral("The file ") + source + QStringLiteral(" cannot be ") + verb + QStringLiteral(" onto itself."));
            continue;
        }
        bool replace = false;
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
            const auto answer = MessageBoxes().AskYesNoCancel(OverwriteQuestionText(target), QStringLiteral("Overwrite warning"));
            if (answer == IMessageBoxes::Answer::Cancel) {
                result.aborted = true;
                break;
            }
            if (answer == IMessageBoxes::Answer::No)
                continue;
            replace = true;
        }
        QString error;
        if (TransferFile(code, source, target, replace, &error))
            result.done << source;
        else
            fail(QStringLiteral("The file ") + source + QStringLiteral(" could not be ") + verb + QStringLiteral(" to ")
                 + folder + QStringLiteral(": ") + error);
    }
    return result;
}
