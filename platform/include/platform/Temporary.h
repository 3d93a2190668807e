// Hidden temporaries beside a user's files, and sweeping what killed runs
// left of them. Plain POSIX: the library's save and the program's copies
// share it.
//
// A temporary is this program's by identity: it holds the extended attribute
// kTemporaryMark with its own name, set only once its maker holds it locked
// (flock), and the maker keeps it open, so locked, until it is renamed or
// removed. A sweep removes only entries of a temporary's name (its prefix
// and six letters) that carry the mark and whose lock it can take, so a live
// run's temporaries stay and a user's file of such a name is never touched.
// Where the lock cannot be had (ENOLCK on a network disk) or the disk has no
// extended attributes, a temporary goes unmarked and is never swept.
//
// A new folder is seen before it can be marked: it is made with kFolderSign
// (the sticky bit on a folder only its owner may enter, which user folders
// hardly ever carry), and an empty, unmarked folder of a temporary's name
// with that sign is swept too. A link cannot carry the mark at all: it is
// made inside a marked folder and renamed out of it, and a sweep removes the
// links in a marked folder with the folder.
#pragma once

#include <cerrno>
#include <string>

#include <sys/types.h>

namespace temporary {

constexpr char kTemporaryMark[] = "user.pixmend.temporary";
constexpr mode_t kFolderSign = 01700;

// `prefix` and six random letters; empty when no randomness can be had.
std::string RandomName(const char* prefix);

// Makes a new entry under a free name RandomName(prefix) with `make(name)`,
// which fails with EEXIST when the name is taken. The name (without the
// folder), or empty with errno set.
template <typename Make>
std::string MakeNamed(const char* prefix, Make make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = RandomName(prefix);
        if (name.empty())
            return {};
        if (make(name))
            return name;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

// Locks the open temporary `fd` (without waiting; again is harmless) and,
// once it holds the lock, marks it with `name`. false (errno set) when it
// goes unmarked.
bool LockAndMark(int fd, const std::string& name);
// Takes the mark off a temporary that has been given its real name.
void RemoveMark(int fd);

// Makes a new, locked and marked folder temporary in the folder `dir` (any
// descriptor): its open, readable descriptor with the name in `name`, or -1
// with errno set. Its mode is kFolderSign until the caller sets another.
int MakeFolder(int dir, const char* prefix, std::string* name);

// Removes the temporaries named `prefix` and six letters that killed runs
// left in the folder `dir` (any descriptor).
void RemoveStale(int dir, const char* prefix);

} // namespace temporary
