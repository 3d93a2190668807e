// New files, links and folders at a copy's target, made so that a target
// name only ever shows something whole, and the temporaries that takes.
//
// A copied file is written where no one sees it and given its name when it
// is whole and on disk, in the first way the disk offers:
// - unnamed (O_TMPFILE), then linked to its name, which refuses an existing
//   target (a replace the user allowed links it to a temporary name first
//   and renames that over the target);
// - under a temporary name, then renamed (RenameNoReplace);
// - where the disk has neither an unnamed file nor a rename that refuses an
//   existing target, the target name is made exclusively and filled: a file
//   made there by anyone else meanwhile is never replaced.
// A new folder is made under a temporary name and renamed into place with
// its permission bits set, so no half-made folder ever has the target name.
//
// A temporary is this program's by identity: it holds the extended attribute
// kMark with its own name, set once the run that made it holds it locked
// (flock). A sweep removes only temporaries that carry the mark and whose
// lock it can take, so a live run's temporaries stay, and a user's own file
// of that name pattern is never touched. Where the lock cannot be had for
// any reason (ENOLCK on a network disk) or the disk has no extended
// attributes, the temporary goes unmarked: the copy goes on, and such a
// leftover is never swept.
#pragma once

#include "FileEntry.h"

#include <set>

namespace fileop {

// What a run learnt about the disks it writes to (by device), so that each
// file is not first tried in ways the disk lacks.
struct DiskNotes {
    std::set<dev_t> noUnnamed, noAtomicRename;
};

// Copies the regular file `source` (a link followed with `follow`) to `to`
// with its bytes, permission bits and times, flushed to disk; the
// set-user-ID and set-group-ID bits are dropped when the copy's owner or
// group is not the source's. With `replace` an existing target is
// replaced, else it must not exist. On failure `error` says why and nothing
// is left; `isLink` is set when the source was a link when opened (only
// without `follow`). `notes` may be null.
bool CopyFileTo(const At& source, bool follow, const At& to, bool replace, DiskNotes* notes, QString* error,
                bool* isLink);

// Makes a link at `to` with the text of the link `source`.
bool CopyLinkTo(const At& source, const At& to, bool replace, QString* error);

// Makes the new folder `to` with permission bits `mode`, or with 0700 and
// `mode` noted as pending (SetPendingMode) when `mode` does not let the
// owner fill it. An open, readable descriptor of it, or -1 with `error` set
// and nothing left.
Fd MakeFolder(const At& to, mode_t mode, QString* error);

// Whether the folder `dir` (any descriptor) waits for a mode a run noted
// on it while filling it; and setting that mode, which clears the note.
bool HasPendingMode(int dir);
bool SetPendingMode(int dir, mode_t mode);

// Removes the temporaries left by killed runs in the open folder `dir`.
void RemoveStaleTemporaries(int dir);

} // namespace fileop
