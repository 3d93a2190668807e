// The folder walks of the file operations: copying or moving entries into a
// folder, and deleting them for good.
//
// A walk holds each folder open and reaches its entries through it, so a
// folder swapped for a link meanwhile is never followed. It keeps its own
// stack of open folders instead of recursing, so no depth overflows the
// program's stack: a folder nested deeper than the open files allowed is
// named with why ("Too many open files") and the rest goes on. Each folder
// costs the walk one name, not one path: paths are spelt out for messages.
#pragma once

#include "FileEntry.h"
#include "FileOperation.h"
#include "FileTemporary.h"

#include <QStringList>

#include <deque>
#include <set>
#include <vector>

namespace fileop {

// TransferFile on entries reached through their folders. With `keepLinks`
// a link is made again as a link (as cp -a and mv do), never followed. A
// move whose source cannot be removed where it is copies nothing and sets
// `stays`. `notes` may be null.
bool TransferAt(FileOperationCode code, const At& from, const At& to, bool replace, bool keepLinks, QString* error,
                bool* stays = nullptr, DiskNotes* notes = nullptr);

// Removes the entry `at` and everything in it, links never followed (one
// that stands where a folder was checked is removed itself) and no
// permission changed. An entry that another program removed meanwhile
// counts as removed. What stays is added to `left` where it failed, with
// why (its folders are not named again).
bool RemoveTree(const At& at, QStringList* left);

enum class Outcome { Done, Skipped, Failed, Cancelled, Entered };

// One copy or move run: its question answers and messages.
//
// A failure whose cause lies with the target and holds for all that goes
// there (a full disk or quota, a read-only disk, a folder this user may not
// write) is not shown: from then on nothing more is tried there, and the
// run says once how many entries were not carried. Any other failure is
// shown, and the user may skip it, skip the rest without being asked, or
// stop the run (Cancelled: nothing after it is touched).
class Transfer {
public:
    explicit Transfer(FileOperationCode code);

    // Puts `source` (a file, or a folder with everything in it) into `folder`.
    Outcome Into(const QString& source, const QString& folder);

    // Says once for the run what was not carried for a lasting cause, and
    // which entries of a move stayed because they cannot be removed where
    // they are (a read-only disk, a sticky folder of others' files, an
    // immutable file, a name that another link could not replace).
    void Report() const;

private:
    // A folder being carried: its entry at the source and at the target,
    // both open, and its names still to go.
    struct Frame {
        At from, to;
        Fd folder, target;
        Identity targetId;
        QList<QByteArray> names;
        qsizetype next = 0;
        mode_t mode = 0;
        bool setMode = false, made = false;
        bool failed = false, skipped = false, cancelled = false;
    };

    // A lasting cause of failure: where it holds ({device, 0} for a whole
    // disk, else the folder), why, whether it is a lack of room, where it
    // was met, and what it kept back.
    struct NotCarried {
        Identity where;
        int error = 0;
        bool room = false;
        QString folder;
        int files = 0, folders = 0;
        QStringList names;
    };

    // Shows `text`, unless the user chose to skip the rest.
    Outcome Fail(const QString& text);
    // Putting `from` at `to` failed with `error` (a text of ErrnoText): a
    // lasting cause is noted without a word, anything else is shown.
    Outcome Fail(const At& from, bool folder, const At& to, const QString& error, const QString& text);
    bool Lasting(const At& from, bool folder, const At& to, const QString& error);
    // Whether a lasting cause met before holds for `from` (of status `st`)
    // going to `to`; it is then counted.
    bool Blocked(const At& from, const struct stat& st, const At& to);
    static void Count(NotCarried& cause, const At& from, bool folder);
    Outcome Stays(const At& at, const QString& why);
    // Carries `from` to `to` with everything in it, folder by folder.
    Outcome Walk(const At& from, const At& to);
    Outcome Entry(const At& from, const At& to, bool selected);
    Outcome FileInto(const At& from, const At& to, bool selected);
    // Starts a folder: renamed whole when it can be, else opened at both
    // ends and pushed (Entered).
    Outcome Enter(const At& from, const struct stat& st, const At& to);
    Outcome Leave(Frame& frame);
    void RemoveStaleTemporariesOnce(int dir);

    FileOperationCode m_code;
    QString m_verb;
    // The stack of folders being carried (a deque keeps each frame in
    // place, as the entries below point into it).
    std::deque<Frame> m_stack;
    // The folders this run made and those it cleaned; the destination and
    // each of its parents; the target folders on the stack.
    std::set<Identity> m_made, m_cleaned, m_above, m_targets;
    // What a move left in place as it cannot be removed, with why.
    QStringList m_stayed;
    std::vector<NotCarried> m_notCarried;
    // The user chose to skip further failures without being asked.
    bool m_quiet = false;
    DiskNotes m_notes;
};

} // namespace fileop
