// File names for saving: whether a name is taken, the ".jpg" extension, and
// names that do not collide with existing files. Only "/" separates folders;
// a backslash is an ordinary character of a file name.
//
// Unique names follow one rule: name + suffix + extension, then name +
// suffix + 1 + extension, 2, 3 and so on. An earlier suffix and number at
// the end of the name are replaced, not stacked.
#pragma once

#include <QString>

// False for a path the file system cannot take: empty, or holding a NUL
// (which the system calls would take as its end, naming another file).
bool IsUsablePath(const QString& path);

// Whether the file name of `path` has a JPEG extension (IsJpegFileName).
bool HasJpegExtension(const QString& path);

// True when any directory entry exists at `path`: a file, a folder, a FIFO,
// a link (even a dangling one). Nothing is opened, so a pipe never blocks and
// an unreadable file still counts.
bool FileExists(const QString& path);

// `path` with ".jpg" appended when its file name has no extension or one
// other than ".jpg" and ".jpeg" (in any case); a dot inside a folder name is
// no extension. An empty path stays empty.
QString EnsureJpgExtension(const QString& path);

// A file name (no folder) built from `name` and `suffix` that is free in
// `folder` (empty: the current folder). A candidate is taken when it exists
// as it stands or with ".jpg" appended, the form a save would write. An
// empty suffix returns `name` unchanged without looking at the disk. A "/"
// in the suffix is taken as "_", so the name never leaves the folder.
// Empty when no free name is found in a bounded number of tries, or when an
// argument holds a NUL.
QString MakeUniqueFileName(const QString& name, const QString& folder, const QString& suffix);

// `path` with its file name made unique in its folder by MakeUniqueFileName;
// a bare name is made unique in the current folder. Empty when no free name
// can be made.
QString MakeUniquePath(const QString& path, const QString& suffix);
