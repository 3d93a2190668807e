// File times in the Windows representation: 100-nanosecond intervals since
// 1601-01-01 UTC, split into two 32-bit halves.
#pragma once

#include <cstdint>
#include <string>

struct FILETIME {
    uint32_t dwLowDateTime;
    uint32_t dwHighDateTime;
};

struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

uint64_t FileTimeToU64(const FILETIME& ft);
FILETIME U64ToFileTime(uint64_t value);
bool IsZeroFileTime(const FILETIME& ft);

// Unix seconds + nanoseconds <-> FILETIME.
FILETIME UnixToFileTime(int64_t seconds, uint32_t nanoseconds);
void FileTimeToUnix(const FILETIME& ft, int64_t* seconds, uint32_t* nanoseconds);

// Calendar conversion without any time-zone change. Returns false for an
// out-of-range value (SystemTimeToFileTime also for an invalid date).
bool FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);
bool SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);

struct FileTimes {
    FILETIME creation{};   // birth time where the file system records it, else zero
    FILETIME lastAccess{};
    FILETIME lastWrite{};
};

// Reads the times of an open file descriptor (statx).
bool GetFileTime(int fd, FileTimes* times);
// Sets access and write times of a path. The creation time cannot be set on Linux.
bool SetFileTime(const std::string& path, const FileTimes& times);
