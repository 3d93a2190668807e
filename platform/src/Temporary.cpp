#include "platform/Temporary.h"

#include <climits>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace temporary {

namespace {

constexpr size_t kLetterCount = 6;

bool IsTemporaryName(const char* name, const char* prefix)
{
    const size_t length = std::strlen(prefix);
    return std::strncmp(name, prefix, length) == 0 && std::strlen(name) == length + kLetterCount;
}

bool Lock(int fd)
{
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool HasMark(int fd, const std::string& name)
{
    char value[NAME_MAX + 1];
    const ssize_t n = ::fgetxattr(fd, kTemporaryMark, value, sizeof value);
    return n == ssize_t(name.size()) && std::memcmp(value, name.data(), name.size()) == 0;
}

// Whether `name` in the folder `dir` is still the entry open as `fd`.
bool IsAt(int dir, const std::string& name, int fd)
{
    struct stat there {}, open {};
    return ::fstatat(dir, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0
        && there.st_dev == open.st_dev && there.st_ino == open.st_ino;
}

// The names in the folder `dir` (any descriptor), but "." and "..".
std::vector<std::string> Names(int dir)
{
    std::vector<std::string> names;
    const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* list = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!list) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    while (const dirent* entry = ::readdir(list))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    ::closedir(list);
    return names;
}

// Removes the temporary `name` of the folder `dir` when a killed run left
// it: marked (or an empty folder with the sign) and its lock free.
void RemoveIfStale(int dir, const std::string& name)
{
    const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    const bool kind = ::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
    const bool marked = kind && HasMark(fd, name);
    const bool sign = kind && S_ISDIR(st.st_mode) && (st.st_mode & 07777) == kFolderSign;
    if ((marked || sign) && Lock(fd) && IsAt(dir, name, fd)) {
        if (S_ISDIR(st.st_mode) && marked)
            for (const std::string& inside : Names(fd)) {
                struct stat link {};
                if (::fstatat(fd, inside.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode))
                    ::unlinkat(fd, inside.c_str(), 0);
            }
        // A folder goes only when empty.
        ::unlinkat(dir, name.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0);
    }
    ::close(fd);
}

} // namespace

std::string RandomName(const char* prefix)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char random[kLetterCount];
    if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random))
        return {};
    std::string name = prefix;
    for (const unsigned char byte : random)
        name += kLetters[byte % (sizeof kLetters - 1)];
    return name;
}

bool LockAndMark(int fd, const std::string& name)
{
    return Lock(fd) && ::fsetxattr(fd, kTemporaryMark, name.data(), name.size(), 0) == 0;
}

void RemoveMark(int fd)
{
    ::fremovexattr(fd, kTemporaryMark);
}

int MakeFolder(int dir, const char* prefix, std::string* name)
{
    int fd = -1;
    *name = MakeNamed(prefix, [&](const std::string& candidate) {
        if (::mkdirat(dir, candidate.c_str(), kFolderSign) != 0)
            return false;
        fd = ::openat(dir, candidate.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        // A sweep may take the new folder before it is locked here (it holds
        // the lock, or the folder is gone): another name then.
        const bool swept = fd < 0 ? error == ENOENT : !LockAndMark(fd, candidate) && errno == EWOULDBLOCK;
        const bool opened = fd >= 0;
        if (opened && !swept && IsAt(dir, candidate, fd))
            return true;
        if (opened)
            ::close(fd);
        fd = -1;
        ::unlinkat(dir, candidate.c_str(), AT_REMOVEDIR);
        errno = opened || swept ? EEXIST : error;
        return false;
    });
    return name->empty() ? -1 : fd;
}

void RemoveStale(int dir, const char* prefix)
{
    for (const std::string& name : Names(dir))
        if (IsTemporaryName(name.c_str(), prefix))
            RemoveIfStale(dir, name);
}

} // namespace temporary
