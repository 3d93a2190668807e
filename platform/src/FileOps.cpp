#include "platform/FileOps.h"

#include "platform/Utf.h"

#include <cstdio>
#include <unistd.h>

std::string PathToNative(const char16_t* path)
{
    return Utf16ToUtf8(path);
}

FILE* OpenFileW(const char16_t* path, const char* mode)
{
    if (!path || !*path || !mode)
        return nullptr;
    return std::fopen(PathToNative(path).c_str(), mode);
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
