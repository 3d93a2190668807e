// Copying, moving and deleting files for the file commands: trash, permanent
// delete, copy and move into a folder, each with its own question first.
//
// What every routine here promises:
// - nothing is replaced without a Yes: a move renames without replacing, and
//   a replace the user allowed is one atomic rename over the target;
// - a copy, and a move across devices, is written where no one sees it (an
//   unnamed file, else a marked temporary name) in the target folder,
//   flushed and given its name only when whole (FileTemporary.h); only then
//   is a moved source removed. A failure leaves source and target as they
//   were;
// - a copy keeps the bytes, the permission bits and the modification time,
//   but set-user-ID and set-group-ID only where its owner and group are the
//   source's (as cp does);
// - nothing is copied or moved onto itself (same device and inode);
// - a file the trash cannot take stays where it is and is reported by name;
//   it is never deleted for good instead;
// - a folder goes with every entry, walked by the file system's own names
//   (also those that are no text); links in it are made again as links, a
//   pipe or device is "Not a regular file", an unreadable folder is named,
//   and a folder with any such entry is a failure, not done;
// - a folder walk holds each folder open and reaches its entries through
//   it, so a folder or file swapped for a link meanwhile is never followed:
//   the link is removed or carried as a link, and nothing outside the
//   selection is touched; neither path length nor the program's stack
//   limits the depth (FileWalk.h);
// - a new folder appears with its permission bits; a folder that was there
//   before keeps its own;
// - only temporaries that a run of this program marked and no live run
//   holds are swept from a target folder;
// - a move to another device copies nothing that cannot be removed where it
//   is (a read-only disk, a sticky folder of others' files, an immutable
//   file): one message for the run names what stayed;
// - disks whose file system lacks rename's no-replace flag or hard links
//   still never replace an existing target unasked;
// - a folder never goes into itself, however the destination is reached
//   (device and inode of the destination and each of its parents);
// - a folder deleted for good changes no permission of what stays, and the
//   message names what stayed; what another program removed meanwhile is
//   gone as asked.
// - a target that can take nothing more (a full disk or quota, a read-only
//   disk, a folder the user may not write) is said once for the run, with
//   how many entries were not carried; nothing more is tried there.
// Every other failure is one message naming the file; the run goes on with
// the next file unless the user cancels there, and the user may let it skip
// the rest without asking.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

enum class FileOperationCode { Move = 1, Copy = 2, Delete = 3 };

struct FileOperationResult {
    // The user said No to the delete question, or Cancel to a replace or in
    // a failure message.
    bool aborted = false;
    // Files that could not be handled (each reported).
    int failed = 0;
    // Sources copied, moved or deleted, in list order.
    QStringList done;
};

// Runs `code` over `files`. Delete moves them to the trash with `allowUndo`,
// else removes them for good; Copy and Move put them into `destination`.
FileOperationResult RunFileOperation(FileOperationCode code, const QStringList& files, bool allowUndo,
                                     const QString& destination);

// The texts of the delete questions, for the prompts and their tests.
QString TrashQuestionText(const QStringList& files);
QString PermanentDeleteQuestionText(const QStringList& files);
QString OverwriteQuestionText(const QString& target);

// Moves `path` to the user's trash; false (file left in place) when the trash
// cannot take it. `trashedPath` receives where it went.
bool MoveFileToTrash(const QString& path, QString* trashedPath = nullptr);

// Puts `source` at `target` (Copy or Move) as described at the top; with
// `replace` an existing target is replaced, else the target must not exist.
// On failure `error` says why and nothing has changed.
bool TransferFile(FileOperationCode code, const QString& source, const QString& target, bool replace,
                  QString* error);

// Whether the two paths name the same file (device and inode, links followed).
bool IsSameFile(const QString& a, const QString& b);

// For tests: called with the path of a folder, or of a file to be copied,
// after the walk has checked it and before it opens it, so that a test can
// change the tree at that moment.
void SetFolderOpenHook(std::function<void(const QByteArray& path)> hook);
