#include "platform/FileTime.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr uint64_t kUnixEpoch = 116444736000000000ull;
constexpr uint64_t kTicksPerSecond = 10000000ull;
constexpr uint64_t kTicksPerDay = 86400ull * kTicksPerSecond;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* year, unsigned* month, unsigned* day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *day = doy - (153 * mp + 2) / 5 + 1;
    *month = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int64_t>(yoe) + era * 400 + (*month <= 2);
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

FILETIME FromStatx(const struct statx_timestamp& ts)
{
    return UnixToFileTime(ts.tv_sec, ts.tv_nsec);
}

} // namespace

uint64_t FileTimeToU64(const FILETIME& ft)
{
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME U64ToFileTime(uint64_t value)
{
    return FILETIME{static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)};
}

bool IsZeroFileTime(const FILETIME& ft) { return ft.dwLowDateTime == 0 && ft.dwHighDateTime == 0; }

FILETIME UnixToFileTime(int64_t seconds, uint32_t nanoseconds)
{
    // Times before 1601 clamp to zero.
    const int64_t minSeconds = -static_cast<int64_t>(kUnixEpoch / kTicksPerSecond);
    if (seconds < minSeconds)
        return FILETIME{0, 0};
    uint64_t ticks = static_cast<uint64_t>(seconds - minSeconds) * kTicksPerSecond + nanoseconds / 100;
    return U64ToFileTime(ticks);
}

void FileTimeToUnix(const FILETIME& ft, int64_t* seconds, uint32_t* nanoseconds)
{
    const uint64_t ticks = FileTimeToU64(ft);
    *seconds = static_cast<int64_t>(ticks / kTicksPerSecond) - static_cast<int64_t>(kUnixEpoch / kTicksPerSecond);
    *nanoseconds = static_cast<uint32_t>(ticks % kTicksPerSecond) * 100;
}

bool FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st)
{
    if (!ft || !st)
        return false;
    const uint64_t ticks = FileTimeToU64(*ft);
    if (ticks >= 0x8000000000000000ull)
        return false;
    const uint64_t days = ticks / kTicksPerDay;
    uint64_t rest = ticks % kTicksPerDay;
    // 1601-01-01 is 134774 days before 1970-01-01 and was a Monday.
    int64_t year;
    unsigned month, day;
    CivilFromDays(static_cast<int64_t>(days) - 134774, &year, &month, &day);
    if (year > 30827)
        return false;
    st->wYear = static_cast<uint16_t>(year);
    st->wMonth = static_cast<uint16_t>(month);
    st->wDay = static_cast<uint16_t>(day);
    st->wDayOfWeek = static_cast<uint16_t>((days + 1) % 7);
    st->wHour = static_cast<uint16_t>(rest / (3600 * kTicksPerSecond));
    rest %= 3600 * kTicksPerSecond;
    st->wMinute = static_cast<uint16_t>(rest / (60 * kTicksPerSecond));
    rest %= 60 * kTicksPerSecond;
    st->wSecond = static_cast<uint16_t>(rest / kTicksPerSecond);
    st->wMilliseconds = static_cast<uint16_t>((rest % kTicksPerSecond) / 10000);
    return true;
}

bool SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft)
{
    if (!st || !ft)
        return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1)
        return false;
    int dim = kDays[st->wMonth - 1] + (st->wMonth == 2 && IsLeap(st->wYear) ? 1 : 0);
    if (st->wDay > dim || st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999)
        return false;
    const int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay) + 134774;
    uint64_t ticks = static_cast<uint64_t>(days) * kTicksPerDay
        + ((st->wHour * 60ull + st->wMinute) * 60ull + st->wSecond) * kTicksPerSecond
        + st->wMilliseconds * 10000ull;
    *ft = U64ToFileTime(ticks);
    return true;
}

bool GetFileTime(int fd, FileTimes* times)
{
    if (fd < 0 || !times)
        return false;
    struct statx sx{};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_ATIME | STATX_MTIME | STATX_BTIME, &sx) != 0)
        return false;
    times->lastAccess = FromStatx(sx.stx_atime);
    times->lastWrite = FromStatx(sx.stx_mtime);
    times->creation = (sx.stx_mask & STATX_BTIME) ? FromStatx(sx.stx_btime) : FILETIME{0, 0};
    return true;
}

bool SetFileTime(const std::string& path, const FileTimes& times)
{
    struct timespec ts[2];
    int64_t s;
    uint32_t ns;
    FileTimeToUnix(times.lastAccess, &s, &ns);
    ts[0].tv_sec = s;
    ts[0].tv_nsec = ns;
    FileTimeToUnix(times.lastWrite, &s, &ns);
    ts[1].tv_sec = s;
    ts[1].tv_nsec = ns;
    return utimensat(AT_FDCWD, path.c_str(), ts, 0) == 0;
}
