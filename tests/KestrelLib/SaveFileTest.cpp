// SaveFile's target handling: the temporary file, replacement, permission
// bits, failures that must leave the old file alone, file times, and a save
// killed halfway, and the order in which it reaches the disk.
#include "ExifTestBlock.h"
#include "KestrelTest.h"
#include "ScopedTmpfs.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <new>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testjpeg;
using ktest::ImageRef;
namespace fs = std::filesystem;

// Faults in the library's calls: these stand in for the C library's, which
// they call when no fault is set (a preloaded one first: SyncLog).
namespace {

struct SaveFaults {
    int refuseLink = 0;             // naming an unnamed file fails with this errno
    std::function<void()> onRename; // runs as a save renames its file over the target
} g_saveFaults;

} // namespace

extern "C" {

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags)
{
    if (g_saveFaults.refuseLink && std::strncmp(from, "/proc/self/fd/", 14) == 0) {
        errno = g_saveFaults.refuseLink;
        return -1;
    }
    using Next = int (*)(int, const char*, int, const char*, int);
    return reinterpret_cast<Next>(::dlsym(RTLD_NEXT, "linkat"))(fromDir, from, toDir, to, flags);
}

int rename(const char* from, const char* to)
{
    if (g_saveFaults.onRename)
        g_saveFaults.onRename();
    return reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(RTLD_NEXT, "rename"))(from, to);
}

} // extern "C"

namespace {

int SaveTo(IKestrel* k, const fs::path& path, const SaveOptions& options = DefaultSaveOptions())
{
    CBstr p(ToU16(path.string()));
    return k->SaveFile(p, &options);
}

std::vector<uint8_t> SmallJpeg(unsigned seed = 1)
{
    return Encode(MakePattern(40, 30, 3, seed), Sampled(80, {{2, 2}, {1, 1}, {1, 1}}));
}

// The names in `folder`, sorted.
std::vector<std::string> Entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const fs::path& p)
{
    struct stat st{};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

TEST(SaveFile, TargetsAndStoredPath)
{
    ImageRef k;
    TempDir dir;
    const SaveOptions o = DefaultSaveOptions();
    CBstr empty(u"");
    EXPECT_EQ(k->SaveFile(empty, &o), 0); // nothing loaded
    ASSERT_EQ(ktest::LoadBytes(k.p, SmallJpeg()), 1);
    EXPECT_EQ(k->SaveFile(empty, &o), 0); // no path given and none stored
    EXPECT_EQ(k->SaveFile(nullptr, &o), 0);
    EXPECT_EQ(k->SaveFile(empty, nullptr), 0);
    EXPECT_FALSE(fs::exists(".tmp"));

    const fs::path target = dir / "out \xC3\xA4.jpg";
    ASSERT_EQ(SaveTo(k.p, target), 1);
    EXPECT_FALSE(fs::exists(target.string() + ".tmp"));
    EXPECT_EQ(k.impl()->m_path, ToU16(target.string()));
    EXPECT_EQ(k.impl()->m_exif.m_currentPath, ToU16(target.string()));
    const auto first = ReadFile(target);

    // An empty path saves to the stored one again; the user's own file named
    // like a temporary one is left alone.
    WriteFile(target.string() + ".tmp", {1, 2, 3});
    fs::remove(target);
    EXPECT_EQ(k->SaveFile(empty, &o), 1);
    EXPECT_EQ(ReadFile(target), first);
    EXPECT_EQ(ReadFile(target.string() + ".tmp"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"out \xC3\xA4.jpg", "out \xC3\xA4.jpg.tmp"}));
}

// A name of 255 bytes, the longest a folder entry can have, saves in place
// and beside itself, and a new file gets the usual permission bits.
TEST(SaveFile, LongestNameSavesInPlace)
{
    TempDir dir;
    const fs::path target = dir / (std::string(251, 'n') + ".jpg");
    ASSERT_TRUE(WriteFile(target, SmallJpeg(6)));
    ImageRef k;
    ASSERT_TRUE(ktest::LoadPath(k.p, target));
    ASSERT_EQ(SaveTo(k.p, target), 1);
    EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ReadCoefficients(ReadFile(target))));

    const mode_t mask = ::umask(027);
    const fs::path fresh = dir / (std::string(251, 'f') + ".jpg");
    const int saved = SaveTo(k.p, fresh);
    ::umask(mask);
    ASSERT_EQ(saved, 1);
    EXPECT_EQ(ModeOf(fresh), 0640u);
    EXPECT_EQ(Entries(dir.path()).size(), 2u);

    // The same on a disk without unnamed files (FUSE), where the new file is
    // named from the start.
    const int fuse = testjpeg::WithMount(testjpeg::Mount::Fuse, dir.path(), dir.path(), [&] {
        return SaveTo(k.p, target) == 1 && ktest::MatchesLibjpeg(k.p, ReadCoefficients(ReadFile(target)))
                && Entries(dir.path()).size() == 2
            ? 0
            : 1;
    });
    EXPECT_TRUE(fuse == 0 || (fuse == 126 && !std::getenv("PIXMEND_REQUIRE_TOOLS"))) << fuse;

    // The same where the unnamed file cannot be named.
    g_saveFaults.refuseLink = EPERM;
    const int refused = SaveTo(k.p, target);
    g_saveFaults.refuseLink = 0;
    ASSERT_EQ(refused, 1);
    EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ReadCoefficients(ReadFile(target))));
    EXPECT_EQ(Entries(dir.path()).size(), 2u);
}

// A record made without values holds the library defaults, both ways of
// making it; a save with it keeps the comment and EXIF block and the blocks.
TEST(SaveFile, DefaultConstructedOptionsHoldTheLibraryDefaults)
{
    alignas(SaveOptions) unsigned char raw[sizeof(SaveOptions)];
    std::memset(raw, 0xA5, sizeof raw);
    const SaveOptions* plain = new (raw) SaveOptions; // `SaveOptions o;` over stale memory
    const SaveOptions braced{};
    for (const SaveOptions* o : {plain, &braced}) {
        const int32_t fields[] = {o->CompressionMode, o->Quality,  o->ColorSampling,     o->RetainOriginalTime,
                                  o->OptHuffmanTable, o->SaveComments, o->SaveEXIF, o->GenerateEXIFThumb,
                                  o->EXIFThumbSize, o->BitmapStride};
        const int32_t want[] = {0, 75, 1, 0, 1, 1, 1, 1, 160, 0};
        EXPECT_TRUE(std::equal(std::begin(fields), std::end(fields), std::begin(want)));
        EXPECT_EQ(o->Bitmap, nullptr);
    }

    exiftest::Block exif;
    exif.ifd0 = {exif.Ascii(0x010F, "Maker")};
    EncodeParams ep = Sampled(80, {{2, 2}, {1, 1}, {1, 1}});
    const std::vector<uint8_t> comment = {'h', 'e', 'l', 'l', 'o'};
    ep.markers = {{JPEG_APP0 + 1, exif.Build()}, {JPEG_COM, comment}};
    const auto jpeg = Encode(MakePattern(40, 30), ep);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, jpeg), 1);
    TempDir dir;
    ASSERT_EQ(SaveTo(k.p, dir / "plain.jpg", *plain), 1);
    const auto saved = ReadFile(dir / "plain.jpg");
    const auto markers = exiftest::Markers(saved);
    const auto has = [&](int code, const std::vector<uint8_t>& data) {
        return std::find(markers.begin(), markers.end(), std::make_pair(code, data)) != markers.end();
    };
    EXPECT_TRUE(has(JPEG_COM, comment));
    EXPECT_TRUE(std::any_of(markers.begin(), markers.end(), [](const auto& m) { return m.first == JPEG_APP0 + 1; }));
    EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ReadCoefficients(saved)));
}

TEST(SaveFile, FailuresLeaveTheOldFileAlone)
{
    TempDir dir;
    const fs::path target = dir / "old.jpg";
    const auto oldBytes = SmallJpeg(2);
    ASSERT_TRUE(WriteFile(target, oldBytes));
    fs::permissions(target, fs::perms(0640));

    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, SmallJpeg(3)), 1);
    SaveOptions reencode = DefaultSaveOptions();
    reencode.CompressionMode = 1; // without a bitmap

    EXPECT_EQ(SaveTo(k.p, target, reencode), 0);
    EXPECT_EQ(SaveTo(k.p, dir / "missing" / "x.jpg"), 0);
    EXPECT_EQ(SaveTo(k.p, target / "x.jpg"), 0); // parent is a file
    EXPECT_EQ(SaveTo(k.p, dir.path()), 0);        // target is a folder

    // A codec failure: RGB input cannot become CMYK.
    auto cmyk = Encode(MakePattern(24, 16, 4), [] {
        EncodeParams p;
        p.inColorSpace = JCS_CMYK;
        return p;
    }());
    ImageRef c;
    ASSERT_EQ(ktest::LoadBytes(c.p, cmyk), 1);
    std::vector<BYTE> bitmap(24 * 16 * 3, 100);
    reencode.Bitmap = bitmap.data();
    reencode.BitmapStride = 24 * 3;
    EXPECT_EQ(SaveTo(c.p, target, reencode), 0);

    EXPECT_EQ(ReadFile(target), oldBytes);
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"old.jpg"});
    EXPECT_TRUE(k.impl()->m_path.empty());
    EXPECT_TRUE(fs::exists(dir.path()));
}

TEST(SaveFile, NewFileKeepsTheTargetsPermissionBits)
{
    TempDir dir;
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, SmallJpeg()), 1);
    for (const mode_t mode : {0444u, 0600u, 0751u}) {
        const fs::path target = dir / ("m" + std::to_string(mode) + ".jpg");
        ASSERT_TRUE(WriteFile(target, {0xFF, 0xD8, 0xFF, 0xD9}));
        ASSERT_EQ(::chmod(target.c_str(), mode), 0);
        ASSERT_EQ(SaveTo(k.p, target), 1) << mode;
        EXPECT_EQ(ModeOf(target), mode);
        EXPECT_TRUE(ReadCoefficients(ReadFile(target)).ok);
    }
}

TEST(SaveFile, LinkAtTheTemporaryNameIsNotFollowed)
{
    TempDir dir;
    const fs::path victim = dir / "victim.txt";
    ASSERT_TRUE(WriteFile(victim, {'k', 'e', 'e', 'p'}));
    fs::create_symlink(victim, dir / "a.jpg.tmp");
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, SmallJpeg()), 1);
    ASSERT_EQ(SaveTo(k.p, dir / "a.jpg"), 1);
    EXPECT_EQ(ReadFile(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
}

TEST(SaveFile, UnwritableFolderFails)
{
    TempDir dir;
    const fs::path folder = dir / "locked";
    fs::create_directory(folder);
    const fs::path target = folder / "a.jpg";
    const auto oldBytes = SmallJpeg(4);
    ASSERT_TRUE(WriteFile(target, oldBytes));
    ::chmod(folder.c_str(), 0555);
    ::chmod(dir.path().c_str(), 0755);
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, SmallJpeg(5)), 1);

    EXPECT_EQ(testjpeg::RunWithoutRoot([&] { return SaveTo(k.p, target); }), 0);
    EXPECT_EQ(ReadFile(target), oldBytes);
    EXPECT_FALSE(fs::exists(target.string() + ".tmp"));
}

TEST(SaveFile, RetainOriginalTime)
{
    TempDir dir;
    const fs::path source = dir / "src.jpg";
    ASSERT_TRUE(WriteFile(source, SmallJpeg()));
    struct timespec times[2] = {{1000000000, 123456700}, {1100000000, 500}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);

    ImageRef k;
    ASSERT_TRUE(ktest::LoadPath(k.p, source));
    SaveOptions o = DefaultSaveOptions();
    o.RetainOriginalTime = 1;
    ASSERT_EQ(SaveTo(k.p, dir / "kept.jpg", o), 1);
    struct stat st{};
    ASSERT_EQ(::stat((dir / "kept.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_atim.tv_nsec, 123456700);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 500);

    o.RetainOriginalTime = 0;
    ASSERT_EQ(SaveTo(k.p, dir / "new.jpg", o), 1);
    ASSERT_EQ(::stat((dir / "new.jpg").c_str(), &st), 0);
    EXPECT_GT(st.st_mtim.tv_sec, 1100000000);

    // After a memory load no times were read: none are set.
    ImageRef m;
    ASSERT_EQ(ktest::LoadBytes(m.p, SmallJpeg()), 1);
    o.RetainOriginalTime = 1;
    ASSERT_EQ(SaveTo(m.p, dir / "mem.jpg", o), 1);
    ASSERT_EQ(::stat((dir / "mem.jpg").c_str(), &st), 0);
    EXPECT_GT(st.st_mtim.tv_sec, 1100000000);
}

// A save killed while its new file has 0 bytes, 1, one full write buffer
// and all but the last byte: the target keeps its bytes, and nothing is left
// beside it (the new file has no name until it is whole).
TEST(SaveFile, KilledSaveNeverLeavesATruncatedTarget)
{
    TempDir dir;
    const fs::path target = dir / "big.jpg";
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, Encode(MakePattern(1200, 900, 3, 9), Sampled(90, {{2, 2}, {1, 1}, {1, 1}}))), 1);
    ASSERT_EQ(SaveTo(k.p, target), 1);
    const auto expected = ReadFile(target);
    ASSERT_GT(expected.size(), 262145u);

    for (const off_t size : {off_t{0}, off_t{1}, off_t{262144}, off_t(expected.size() - 1)}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(KilledAtFileSize(size, [&] { SaveTo(k.p, target); }));
        EXPECT_EQ(ReadFile(target), expected);
        EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"big.jpg"});
    }
}

// A save killed as it renames its hidden file over the photo leaves that file
// beside it; the next save into the folder removes it, but neither a user's
// own file of such a name nor the hidden file of another copy's save that
// waits before its rename.
TEST(SaveFile, HiddenFilesOfKilledSavesGoWithTheNextSave)
{
    TempDir dir;
    const fs::path photo = dir / "a.jpg", mine = dir / ".ksave-abcdef";
    const auto oldBytes = SmallJpeg(2);
    ASSERT_TRUE(WriteFile(photo, oldBytes));
    ASSERT_TRUE(WriteFile(mine, {1, 2, 3}));
    ImageRef k;
    ASSERT_EQ(ktest::LoadBytes(k.p, SmallJpeg(3)), 1);
    EXPECT_EQ(RunInChild([&] { return g_saveFaults.onRename = [] { _exit(9); }, SaveTo(k.p, photo); }), 9);
    EXPECT_EQ(ReadFile(photo), oldBytes);
    std::vector<std::string> names = Entries(dir.path());
    ASSERT_EQ(names.size(), 3u);
    const std::string killed = names[0] == mine.filename() ? names[1] : names[0];

    EXPECT_EQ(InOtherCopy(
                  [&](const Meet& meet) {
                      g_saveFaults.onRename = [&] { meet(), meet(); };
                      return SaveTo(k.p, dir / "b.jpg") == 1 ? 0 : 1;
                  },
                  [&](const Meet& meet) {
                      meet();
                      EXPECT_EQ(SaveTo(k.p, photo), 1);
                      names = Entries(dir.path());
                      meet();
                  }),
              0);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_NE(std::find(names.begin(), names.end(), mine.filename()), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), killed), names.end());
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{".ksave-abcdef", "a.jpg", "b.jpg"}));
    EXPECT_EQ(ReadFile(mine), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(ktest::MatchesLibjpeg(k.p, ReadCoefficients(ReadFile(photo))));
}

// The temporary file reaches the disk before it replaces the target, and the
// folder after that: this test runs itself again in a child that saves a new
// file and then over it, with a library preloaded that logs each fsync, link
// and rename as it returns.
TEST(SaveFile, TemporaryFileIsSyncedBeforeItReplacesTheTarget)
{
    if (const char* log = std::getenv("PIXMEND_SYNC_LOG")) {
        ImageRef k;
        ASSERT_EQ(ktest::LoadBytes(k.p, SmallJpeg()), 1);
        const fs::path target = fs::path(log).parent_path() / "a.jpg";
        ASSERT_EQ(SaveTo(k.p, target), 1);
        ASSERT_EQ(SaveTo(k.p, target), 1);
        return;
    }
    TempDir dir;
    const fs::path folder = fs::canonical(dir.path());
    const fs::path log = folder / "sync.log";
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string output;
    ASSERT_EQ(testjpeg::Run("LD_PRELOAD='" SYNC_LOG_SO_PATH "' PIXMEND_SYNC_LOG='" + log.string() + "' ASAN_OPTIONS='"
                  + (asan ? asan + std::string(":") : std::string()) + "verify_asan_link_order=0' '"
                  + fs::read_symlink("/proc/self/exe").string()
                  + "' --gtest_filter=SaveFile.TemporaryFileIsSyncedBeforeItReplacesTheTarget 2>&1",
                  &output),
              0)
        << output;
    std::ifstream in(log);
    std::vector<std::string> lines;
    std::string all;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
        all += line + "\n";
    }
    ASSERT_EQ(lines.size(), 8u) << all;
    for (size_t save = 0; save < 2; ++save) {
        // Synced unnamed, then named, renamed over the target, and the folder synced.
        const std::string unnamed = lines[4 * save].substr(5), linked = "link " + unnamed + " ";
        EXPECT_EQ(lines[4 * save].rfind("sync " + folder.string() + "/", 0), 0u) << all;
        EXPECT_EQ(lines[4 * save + 1].rfind(linked + (folder / ".ksave-").string(), 0), 0u) << all;
        const std::string named = lines[4 * save + 1].substr(linked.size());
        EXPECT_EQ(lines[4 * save + 2], "rename " + named + " " + (folder / "a.jpg").string());
        EXPECT_EQ(lines[4 * save + 3], "sync " + folder.string());
    }
}
