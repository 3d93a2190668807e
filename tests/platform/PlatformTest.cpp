// BSTRs, UTF conversion, file times.
#include "TestJpeg.h"
#include "platform/Bstr.h"
#include "platform/FileOps.h"
#include "platform/FileTime.h"
#include "platform/Utf.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(Bstr, LengthPrefixAndOwnership)
{
    BSTR s = SysAllocString(u"Grüße");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 5u);
    EXPECT_EQ(std::u16string(s), u"Grüße");
    SysFreeString(s);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    CBstr empty(u"");
    EXPECT_EQ(SysStringLen(empty), 0u);
    EXPECT_EQ(static_cast<BSTR>(empty)[0], 0);
}

TEST(Utf, RoundTripsAndRepairs)
{
    const std::u16string samples[] = {u"", u"abc", u"Grüße €", u"\U0001F4F7 photo", u"日本語"};
    for (const auto& s : samples)
        EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), s);
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F4F7"), "\xF0\x9F\x93\xB7");
    // Unpaired surrogates and malformed bytes become U+FFFD, never a crash.
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"), u"a\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD"); // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    EXPECT_EQ(Utf16ToUtf8(static_cast<const char16_t*>(nullptr)), "");
}

TEST(FileTime, CalendarConversions)
{
    struct Case {
        int64_t unix;
        SYSTEMTIME st;
    } cases[] = {
        {0, {1970, 1, 4, 1, 0, 0, 0, 0}},
        {951782400, {2000, 2, 2, 29, 0, 0, 0, 0}},
        {1796774400 + 3723, {2026, 12, 3, 9, 1, 2, 3, 0}},
        {-11644473600, {1601, 1, 1, 1, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        FILETIME ft = UnixToFileTime(c.unix, 0);
        SYSTEMTIME st{};
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &st)) << c.unix;
        EXPECT_EQ(st.wYear, c.st.wYear) << c.unix;
        EXPECT_EQ(st.wMonth, c.st.wMonth) << c.unix;
        EXPECT_EQ(st.wDay, c.st.wDay) << c.unix;
        EXPECT_EQ(st.wDayOfWeek, c.st.wDayOfWeek) << c.unix;
        EXPECT_EQ(st.wHour, c.st.wHour) << c.unix;
        EXPECT_EQ(st.wMinute, c.st.wMinute) << c.unix;
        EXPECT_EQ(st.wSecond, c.st.wSecond) << c.unix;
        FILETIME back{};
        ASSERT_TRUE(SystemTimeToFileTime(&st, &back));
        EXPECT_EQ(FileTimeToU64(back), FileTimeToU64(ft));
        int64_t s;
        uint32_t ns;
        FileTimeToUnix(ft, &s, &ns);
        EXPECT_EQ(s, c.unix);
    }
    SYSTEMTIME bad{2023, 2, 0, 29, 0, 0, 0, 0};
    FILETIME out{};
    EXPECT_FALSE(SystemTimeToFileTime(&bad, &out));
    SYSTEMTIME zero{};
    EXPECT_FALSE(SystemTimeToFileTime(&zero, &out));
    FILETIME huge{0xFFFFFFFF, 0xFFFFFFFF};
    SYSTEMTIME st;
    EXPECT_FALSE(FileTimeToSystemTime(&huge, &st));
}

TEST(FileTime, ReadAndSetOnDisk)
{
    testjpeg::TempDir dir;
    const auto path = (dir / "t.bin").string();
    ASSERT_TRUE(testjpeg::WriteFile(path, {1, 2, 3}));
    FileTimes t;
    t.lastAccess = UnixToFileTime(1000000000, 500);
    t.lastWrite = UnixToFileTime(1200000000, 123456700);
    ASSERT_TRUE(SetFileTime(path, t));
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    FileTimes r;
    ASSERT_TRUE(GetFileTime(fd, &r));
    ::close(fd);
    EXPECT_EQ(FileTimeToU64(r.lastWrite), FileTimeToU64(t.lastWrite));
    EXPECT_EQ(FileTimeToU64(r.lastAccess), FileTimeToU64(t.lastAccess));
    EXPECT_FALSE(GetFileTime(-1, &r));
}

TEST(FileOps, Utf16Paths)
{
    testjpeg::TempDir dir;
    const std::u16string a = testjpeg::ToU16((dir / "ä €.txt").string());
    const std::u16string b = testjpeg::ToU16((dir / "b.txt").string());
    FILE* f = OpenFileW(a.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("x", f);
    std::fclose(f);
    EXPECT_TRUE(MoveFileW(a.c_str(), b.c_str()));
    EXPECT_EQ(OpenFileW(a.c_str(), "rb"), nullptr);
    EXPECT_TRUE(DeleteFileW(b.c_str()));
    EXPECT_FALSE(DeleteFileW(b.c_str()));
    EXPECT_EQ(OpenFileW(u"", "rb"), nullptr);
    EXPECT_EQ(OpenFileW(nullptr, "rb"), nullptr);

    // Reading opens regular files only; a FIFO without a writer must not block.
    const auto fifo = dir / "pipe.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(OpenFileW(testjpeg::ToU16(fifo.string()).c_str(), "rb"), nullptr);
    EXPECT_EQ(OpenFileW(testjpeg::ToU16(dir.path().string()).c_str(), "rb"), nullptr);
}
