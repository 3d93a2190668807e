#include "FileOperation.h"

#include "FileEntry.h"
#include "FileNames.h"
#include "FileWalk.h"
#include "MessageBoxes.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>

using namespace fileop;

namespace {

bool IsFolder(const QString& path)
{
    struct stat st {};
    return ::lstat(Native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString FileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
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

// The question's list of names (a folder's with a trailing "/").
QString NameList(const QStringList& files)
{
    QStringList names;
    for (const QString& file : files.mid(0, kNamesShown + 1))
        names << FileNameOf(file) + (IsFolder(file) ? QStringLiteral("/") : QString());
    return NameLines(names);
}

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
                ok = RemoveTree(at, &left);
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
    const QByteArray pa = Native(a), pb = Native(b);
    return SameEntry(At{AT_FDCWD, pa, pa}, At{AT_FDCWD, pb, pb}, true);
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
    transfer.Report();
    return result;
}
