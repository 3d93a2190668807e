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
// its permission bits set, so no half-made folder ever has the target name;
// a link replacing another is made in a folder temporary and renamed out of
// it. Each temporary is this program's by identity (platform/Temporary.h):
// a sweep removes only those of killed runs, never a live run's or a user's
// own entry of that name pattern.
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
// on it while filling it; and setting that mode, which then clears the note
// (false with errno set, the note kept, when the mode cannot be set).
bool HasPendingMode(int dir);
bool SetPendingMode(int dir, mode_t mode);

// Removes the temporaries left by killed runs in the open folder `dir`.
void RemoveStaleTemporaries(int dir);

} // namespace fileop
