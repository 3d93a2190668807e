#include "platform/FileOps.h"

#include "platform/Utf.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string PathToNative(const char16_t* path)
{
    return Utf16ToUtf8(path);
}

FILE* OpenFileW(const char16_t* path, const char* mode)
{
    if (!path || !*path || !mode)
        return nullptr;
    const std::string native = PathToNative(path);
    if (mode[0] != 'r' || std::strchr(mode, '+'))
        return std::fopen(native.c_str(), mode);
    // Reading takes regular files only: opening a FIFO would block until a
    // writer appears, and a directory or device is never an image.
    const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    FILE* file = ::fdopen(fd, mode);
    if (!file)
        ::close(fd);
    return file;
}

bool DeleteFileW(const char16_t* path)
{
    if (!path || !*path)
        return false;
    return ::unlink(PathToNative(path).c_str()) == 0;
}

bool MoveFileW(const char16_t* from, const char16_t* to)
{
    if (!from || !*from || !to || !*to)
        return false;
    return std::rename(PathToNative(from).c_str(), PathToNative(to).c_str()) == 0;
}
