// Loaded with LD_PRELOAD into a test's child process: appends a line to the
// file named by PIXMEND_SYNC_LOG for each fsync, fdatasync, rename and link
// that succeeded, in the order they returned ("sync <path>", "rename <from>
// <to>", "link <from> <to>"; paths of descriptors, also a link's source
// given as /proc/self/fd/N, as /proc/self/fd names them).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void Append(const char* line, int length)
{
    const char* log = getenv("PIXMEND_SYNC_LOG");
    const int fd = log ? open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600) : -1;
    if (fd < 0)
        return;
    if (write(fd, line, (size_t)length) != length)
        perror("sync log");
    close(fd);
}

// `path` as seen from `dir` (AT_FDCWD: as given).
static void PathAt(int dir, const char* path, char* out, size_t size)
{
    char link[64];
    char folder[PATH_MAX] = "";
    ssize_t n = 0;
    if (dir != AT_FDCWD && path[0] != '/') {
        snprintf(link, sizeof link, "/proc/self/fd/%d", dir);
        n = readlink(link, folder, sizeof folder - 2);
        folder[n > 0 ? n : 0] = '\0';
    }
    snprintf(out, size, "%s%s%s", folder, n > 0 ? "/" : "", path);
}

static void RecordSync(int fd)
{
    char link[64], path[PATH_MAX], line[PATH_MAX + 16];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    path[n > 0 ? n : 0] = '\0';
    Append(line, snprintf(line, sizeof line, "sync %s\n", path));
}

static void RecordPair(const char* what, int fromDir, const char* from, int toDir, const char* to)
{
    char a[PATH_MAX], b[PATH_MAX], line[2 * PATH_MAX + 16];
    PathAt(fromDir, from, a, sizeof a);
    if (strncmp(a, "/proc/self/fd/", 14) == 0) {
        const ssize_t n = readlink(from, a, sizeof a - 1);
        a[n > 0 ? n : 0] = '\0';
    }
    PathAt(toDir, to, b, sizeof b);
    const int n = snprintf(line, sizeof line, "%s %s %s\n", what, a, b);
    Append(line, n < (int)sizeof line ? n : (int)sizeof line - 1);
}

// The real `name` (fsync or fdatasync) of `fd`, recorded when it succeeds.
static int Synced(const char* name, int fd)
{
    int (*const next)(int) = (int (*)(int))dlsym(RTLD_NEXT, name);
    const int result = next(fd);
    if (result == 0)
        RecordSync(fd);
    return result;
}

int fsync(int fd)
{
    return Synced("fsync", fd);
}

int fdatasync(int fd)
{
    return Synced("fdatasync", fd);
}

int rename(const char* from, const char* to)
{
    int (*const next)(const char*, const char*) = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    const int result = next(from, to);
    if (result == 0)
        RecordPair("rename", AT_FDCWD, from, AT_FDCWD, to);
    return result;
}

int renameat(int fromDir, const char* from, int toDir, const char* to)
{
    int (*const next)(int, const char*, int, const char*) =
        (int (*)(int, const char*, int, const char*))dlsym(RTLD_NEXT, "renameat");
    const int result = next(fromDir, from, toDir, to);
    if (result == 0)
        RecordPair("rename", fromDir, from, toDir, to);
    return result;
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    int (*const next)(int, const char*, int, const char*, unsigned) =
        (int (*)(int, const char*, int, const char*, unsigned))dlsym(RTLD_NEXT, "renameat2");
    const int result = next(fromDir, from, toDir, to, flags);
    if (result == 0)
        RecordPair("rename", fromDir, from, toDir, to);
    return result;
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags)
{
    int (*const next)(int, const char*, int, const char*, int) =
        (int (*)(int, const char*, int, const char*, int))dlsym(RTLD_NEXT, "linkat");
    const int result = next(fromDir, from, toDir, to, flags);
    if (result == 0)
        RecordPair("link", fromDir, from, toDir, to);
    return result;
}
