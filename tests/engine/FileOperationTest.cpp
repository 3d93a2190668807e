// Copy, move, trash and delete through the real file system: questions,
// what is replaced and what is kept, trash records, other devices.
#include "FileOperation.h"
#include "MessageBoxes.h"
#include "AnswerBoxes.h"
#include "ScopedEnv.h"
#include "ScopedTmpfs.h"
#include "TestJpeg.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// Disk faults injected into the engine's system calls. The engine is linked
// into this program, so these definitions stand in for the C library's,
// which they call when no fault is set; a test's children inherit them.
namespace {

struct Faults {
    int lock = 0;                // flock fails with this errno
    bool folderModes = false;    // fchmod of a folder fails (EIO)
    // A fchmod of a folder to a mode its owner may not write fails (EIO), or kills the run.
    bool readOnlyModes = false, killAtReadOnlyMode = false;
    bool killAtFolderMade = false; // a temporary folder is made, then the run killed
    bool noAtomicRename = false; // neither rename's flags nor hard links
    bool noRenameFlags = false;  // hard links, but not rename's flags
    std::string pinned;          // a path whose name cannot be removed (EPERM)
    bool killAtLinkRename = false;
    std::function<void()> onSync;
    // Files another program made at a name just before a rename over it.
    std::vector<std::string> theirs;
} g_faults;

template <typename Call>
Call Next(const char* name)
{
    return reinterpret_cast<Call>(::dlsym(RTLD_NEXT, name));
}

bool IsLinkAt(int dir, const char* name)
{
    struct stat st {};
    return ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

extern "C" {

int flock(int fd, int operation)
{
    if (g_faults.lock) {
        errno = g_faults.lock;
        return -1;
    }
    return Next<int (*)(int, int)>("flock")(fd, operation);
}

int fchmod(int fd, mode_t mode)
{
    struct stat st {};
    const bool readOnly = !(mode & S_IWUSR) && (g_faults.readOnlyModes || g_faults.killAtReadOnlyMode);
    if ((g_faults.folderModes || readOnly) && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        if (g_faults.killAtReadOnlyMode)
            _exit(9);
        errno = EIO;
        return -1;
    }
    return Next<int (*)(int, mode_t)>("fchmod")(fd, mode);
}

int mkdirat(int dir, const char* name, mode_t mode)
{
    const int result = Next<int (*)(int, const char*, mode_t)>("mkdirat")(dir, name, mode);
    if (g_faults.killAtFolderMade && std::strncmp(name, ".pxcopy-", 8) == 0)
        _exit(9);
    return result;
}

int fsync(int fd)
{
    if (g_faults.onSync)
        g_faults.onSync();
    return Next<int (*)(int)>("fsync")(fd);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags)
{
    if (g_faults.noAtomicRename) {
        errno = EPERM;
        return -1;
    }
    return Next<int (*)(int, const char*, int, const char*, int)>("linkat")(fromDir, from, toDir, to, flags);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    if (g_faults.killAtLinkRename && IsLinkAt(fromDir, from))
        _exit(9);
    if ((g_faults.noAtomicRename || g_faults.noRenameFlags) && flags) {
        errno = EINVAL;
        return -1;
    }
    return Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(fromDir, from, toDir, to, flags);
}

int unlinkat(int dir, const char* name, int flags)
{
    std::error_code error;
    const auto folder = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(dir), error);
    if (!g_faults.pinned.empty() && !error && (folder / name).string() == g_faults.pinned) {
        errno = EPERM;
        return -1;
    }
    return Next<int (*)(int, const char*, int)>("unlinkat")(dir, name, flags);
}

int renameat(int fromDir, const char* from, int toDir, const char* to)
{
    if (g_faults.killAtLinkRename && IsLinkAt(fromDir, from))
        _exit(9);
    struct stat st {};
    if (g_faults.noAtomicRename && ::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        const int fd = ::openat(toDir, to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        char path[64];
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
        if (fd >= 0 && ::write(fd, "theirs", 6) == 6)
            g_faults.theirs.push_back(std::filesystem::read_symlink(path).string());
        ::close(fd);
    }
    return Next<int (*)(int, const char*, int, const char*)>("renameat")(fromDir, from, toDir, to);
}

} // extern "C"

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

std::string Read(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::filesystem::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

// A case without the device it needs is skipped, or fails where test.sh
// demands every tool (PIXMEND_REQUIRE_TOOLS).
bool HaveDevice(bool ok, const std::string& why)
{
    if (!ok && std::getenv("PIXMEND_REQUIRE_TOOLS"))
        ADD_FAILURE() << why;
    else if (!ok)
        std::cout << "[  SKIPPED ] " << why << std::endl;
    return ok;
}

// A tree on disk by the file system's own names: kind, permission bits,
// bytes or link text, inode, owner and group.
struct Node {
    std::filesystem::file_type kind;
    unsigned mode;
    std::string data;
    ino_t ino;
    uid_t uid;
    gid_t gid;
};

// Runs `body` with `need` added to the mode of `path` where a plain user
// lacks it (root needs none), so the snapshot sees the same for both users.
template <typename Body>
auto Lent(const std::filesystem::path& path, mode_t need, Body body)
{
    struct stat st {};
    const bool lend = ::geteuid() != 0 && ::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)
        && (st.st_mode & need) != need && ::chmod(path.c_str(), (st.st_mode | need) & 07777) == 0;
    auto result = body();
    if (lend)
        ::chmod(path.c_str(), st.st_mode & 07777);
    return result;
}

void TakeInto(std::map<std::string, Node>& tree, const std::filesystem::path& root, const std::filesystem::path& dir)
{
    namespace fs = std::filesystem;
    Lent(dir, S_IRUSR | S_IXUSR, [&] {
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
            struct stat st {};
            ::lstat(entry.path().c_str(), &st);
            const fs::file_type kind = entry.symlink_status().type();
            const std::string data = kind == fs::file_type::regular
                ? Lent(entry.path(), S_IRUSR, [&] { return Read(entry.path()); })
                : kind == fs::file_type::symlink ? fs::read_symlink(entry.path()).string()
                                                 : "";
            tree[entry.path().lexically_relative(root)] = {kind, unsigned(st.st_mode & 07777), data, st.st_ino, st.st_uid,
                                                           st.st_gid};
            if (kind == fs::file_type::directory)
                TakeInto(tree, root, entry.path());
        }
        return 0;
    });
}

std::map<std::string, Node> Take(const std::filesystem::path& root)
{
    std::map<std::string, Node> tree;
    TakeInto(tree, root, root);
    return tree;
}

class FileOperationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_tmp / "src");
        std::filesystem::create_directories(m_tmp / "dst");
        std::filesystem::create_directories(m_tmp / "home/data");
    }
    std::filesystem::path Src(const char* name) const { return m_tmp / "src" / name; }
    std::filesystem::path Dst(const char* name) const { return m_tmp / "dst" / name; }

    testjpeg::TempDir m_tmp;
    CAnswerBoxes m_boxes;
};

TEST_F(FileOperationTest, TrashKeepsARecordNamingTheFile)
{
    CScopedEnv home("HOME", Q(m_tmp / "home"));
    CScopedEnv data("XDG_DATA_HOME", Q(m_tmp / "home/data"));
    Write(Src("a.jpg"), "aaa");
    Write(Src("b.jpg"), "bbb");

    m_boxes.yesNo = false;
    FileOperationResult r = RunFileOperation(FileOperationCode::Delete, {Q(Src("a.jpg")), Q(Src("b.jpg"))}, true, {});
    EXPECT_TRUE(r.aborted);
    EXPECT_TRUE(std::filesystem::exists(Src("a.jpg")));
    ASSERT_EQ(m_boxes.questions.size(), 1);
    EXPECT_EQ(m_boxes.questions[0], "Move these 2 files to the trash?\n\na.jpg\nb.jpg");
    EXPECT_EQ(m_boxes.captions[0], "Delete");

    m_boxes.yesNo = true;
    r = RunFileOperation(FileOperationCode::Delete, {Q(Src("a.jpg"))}, true, {});
    EXPECT_EQ(m_boxes.questions.last(), "Move the file " + Q(Src("a.jpg")) + " to the trash?");
    EXPECT_FALSE(m_boxes.lastWarning);
    EXPECT_EQ(r.done, QStringList{Q(Src("a.jpg"))});
    EXPECT_FALSE(std::filesystem::exists(Src("a.jpg")));
    const auto trash = m_tmp / "home/data/Trash";
    EXPECT_EQ(Read(trash / "files/a.jpg"), "aaa");
    const std::string info = Read(trash / "info/a.jpg.trashinfo");
    EXPECT_NE(info.find("Path=" + Src("a.jpg").string()), std::string::npos) << info;
}

TEST_F(FileOperationTest, ATrashThatCannotBeMadeLeavesTheFileInPlace)
{
    CScopedEnv home("HOME", Q(m_tmp / "home"));
    Write(m_tmp / "plain", "not a folder");
    CScopedEnv data("XDG_DATA_HOME", Q(m_tmp / "plain"));
    Write(Src("a.jpg"), "aaa");
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(Q(m_tmp / "src"));

    const FileOperationResult r = RunFileOperation(FileOperationCode::Delete, {Q(Src("a.jpg"))}, true, {});
    QDir::setCurrent(oldCwd);
    EXPECT_TRUE(r.done.isEmpty());
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(Read(Src("a.jpg")), "aaa");
    ASSERT_EQ(m_boxes.messages.size(), 1);
    EXPECT_TRUE(m_boxes.messages[0].contains(Q(Src("a.jpg")))) << m_boxes.messages[0].toStdString();
    EXPECT_FALSE(std::filesystem::exists(m_tmp / "src/files"));
}

// An account without its data folder still has a trash: the folder is made
// (mode 0700), whether it comes from XDG_DATA_HOME or the default.
TEST_F(FileOperationTest, AMissingDataFolderIsMadeForTheTrash)
{
    for (const char* data : {"", "xdg/data"}) {
        SCOPED_TRACE(data);
        const auto home = m_tmp / (*data ? "home2" : "home1");
        const auto dataHome = *data ? home / data : home / ".local/share";
        std::filesystem::create_directories(home);
        CScopedEnv h("HOME", Q(home));
        CScopedEnv d("XDG_DATA_HOME", *data ? Q(dataHome) : QString());
        Write(Src("a.jpg"), "aaa");
        m_boxes.yesNo = true;
        const FileOperationResult r = RunFileOperation(FileOperationCode::Delete, {Q(Src("a.jpg"))}, true, {});
        EXPECT_EQ(r.done, QStringList{Q(Src("a.jpg"))});
        EXPECT_EQ(Read(dataHome / "Trash/files/a.jpg"), "aaa");
        struct stat st {};
        ASSERT_EQ(::stat(dataHome.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
}

// A destination or file holding a NUL (a stored path can carry one) is no
// path: nothing is copied, moved, trashed or deleted, nothing replaced.
TEST_F(FileOperationTest, PathsWithANulAreRefused)
{
    CScopedEnv home("HOME", Q(m_tmp / "home"));
    CScopedEnv data("XDG_DATA_HOME", Q(m_tmp / "home/data"));
    Write(Src("a.jpg"), "aaa");
    Write(Dst("notes.txt"), "my notes");
    std::filesystem::create_directory(Dst("empty"));
    const QString nul(QChar(0));
    // Cut at the NUL, the destination would be a real, empty folder.
    for (const FileOperationCode code : {FileOperationCode::Copy, FileOperationCode::Move}) {
        const FileOperationResult r = RunFileOperation(code, {Q(Src("a.jpg"))}, true, Q(Dst("empty")) + nul + "/x");
        EXPECT_TRUE(r.done.isEmpty());
        EXPECT_EQ(r.failed, 1);
        EXPECT_TRUE(std::filesystem::is_empty(Dst("empty")));
    }
    m_boxes.yesNo = true;
    for (const bool toTrash : {true, false}) {
        const FileOperationResult r =
            RunFileOperation(FileOperationCode::Delete, {Q(Dst("notes.txt")) + nul + "x"}, toTrash, {});
        EXPECT_TRUE(r.done.isEmpty());
        EXPECT_EQ(r.failed, 1);
    }
    EXPECT_EQ(Read(Dst("notes.txt")), "my notes");
    EXPECT_EQ(Read(Src("a.jpg")), "aaa");
}

TEST_F(FileOperationTest, PermanentDeleteAsksWithAWarning)
{
    CScopedEnv home("HOME", Q(m_tmp / "home"));
    CScopedEnv data("XDG_DATA_HOME", Q(m_tmp / "home/data"));
    Write(Src("a.jpg"), "aaa");
    m_boxes.yesNo = false;
    RunFileOperation(FileOperationCode::Delete, {Q(Src("a.jpg"))}, false, {});
    EXPECT_EQ(m_boxes.questions.last(), "Delete the file " + Q(Src("a.jpg")) + " permanently?\nIt cannot be brought back.");
    EXPECT_TRUE(m_boxes.lastWarning);
    EXPECT_TRUE(std::filesystem::exists(Src("a.jpg")));

    m_boxes.yesNo = true;
    const FileOperationResult r = RunFileOperation(FileOperationCode::Delete, {Q(Src("a.jpg"))}, false, {});
    EXPECT_EQ(r.done.size(), 1);
    EXPECT_FALSE(std::filesystem::exists(Src("a.jpg")));
    EXPECT_FALSE(std::filesystem::exists(m_tmp / "home/data/Trash/files/a.jpg"));
}

TEST_F(FileOperationTest, AnExistingTargetIsReplacedOnlyAfterYes)
{
    using A = IMessageBoxes::Answer;
    struct Case {
        FileOperationCode code;
        A answer;
        bool replaced;
        bool sourceKept;
    };
    const Case cases[] = {
        {FileOperationCode::Move, A::No, false, true},   {FileOperationCode::Move, A::Yes, true, false},
        {FileOperationCode::Copy, A::No, false, true},   {FileOperationCode::Copy, A::Yes, true, true},
        {FileOperationCode::Move, A::Cancel, false, true},
    };
    for (const Case& c : cases) {
        Write(Src("a.jpg"), "source");
        Write(Dst("a.jpg"), "target");
        Write(Src("b.jpg"), "second");
        std::filesystem::remove(Dst("b.jpg"));
        m_boxes.answers = {c.answer};
        const FileOperationResult r =
            RunFileOperation(c.code, {Q(Src("a.jpg")), Q(Src("b.jpg"))}, true, Q(m_tmp / "dst"));
        EXPECT_EQ(m_boxes.questions.last(), "The file " + Q(Dst("a.jpg")) + " already exists.\nDo you want to replace it?");
        EXPECT_EQ(m_boxes.captions.last(), "Overwrite warning");
        EXPECT_EQ(Read(Dst("a.jpg")), c.replaced ? "source" : "target");
        EXPECT_EQ(std::filesystem::exists(Src("a.jpg")), c.sourceKept);
        if (c.sourceKept) {
            EXPECT_EQ(Read(Src("a.jpg")), "source");
        }
        // Cancel stops before the second file; No only skips the first.
        EXPECT_EQ(std::filesystem::exists(Dst("b.jpg")), c.answer != A::Cancel);
        EXPECT_EQ(r.aborted, c.answer == A::Cancel);
        // No temporary file is left in the target folder.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_tmp / "dst"), {}),
                  c.answer == A::Cancel ? 1 : 2);
    }
    EXPECT_TRUE(m_boxes.messages.isEmpty());
}

TEST_F(FileOperationTest, CopiesKeepModeAndTimeAndNothingGoesOntoItself)
{
    Write(Src("a.jpg"), "bytes");
    ASSERT_EQ(::chmod(Src("a.jpg").c_str(), 0640), 0);
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    std::filesystem::last_write_time(Src("a.jpg"), old);

    FileOperationResult r = RunFileOperation(FileOperationCode::Copy, {Q(Src("a.jpg"))}, true, Q(m_tmp / "dst"));
    EXPECT_EQ(r.done.size(), 1);
    EXPECT_EQ(Read(Dst("a.jpg")), "bytes");
    EXPECT_EQ(std::filesystem::last_write_time(Dst("a.jpg")), old);
    struct stat st {};
    ASSERT_EQ(::stat(Dst("a.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // The same folder, also spelt through a link: refused, no question.
    std::filesystem::create_directory_symlink(m_tmp / "src", m_tmp / "alias");
    for (const QString& folder : {Q(m_tmp / "src"), Q(m_tmp / "alias") + "/", Q(m_tmp / "dst/../src")}) {
        for (FileOperationCode code : {FileOperationCode::Copy, FileOperationCode::Move}) {
            m_boxes.questions.clear();
            m_boxes.messages.clear();
            r = RunFileOperation(code, {Q(Src("a.jpg"))}, true, folder);
            EXPECT_TRUE(r.done.isEmpty());
            EXPECT_TRUE(m_boxes.questions.isEmpty());
            ASSERT_EQ(m_boxes.messages.size(), 1);
            EXPECT_TRUE(m_boxes.messages[0].contains("onto itself"));
            EXPECT_EQ(Read(Src("a.jpg")), "bytes");
        }
    }
}

TEST_F(FileOperationTest, AVanishedSourceIsReportedAndSkipped)
{
    Write(Src("b.jpg"), "b");
    const FileOperationResult r =
        RunFileOperation(FileOperationCode::Move, {Q(Src("gone.jpg")), Q(Src("b.jpg"))}, true, Q(m_tmp / "dst"));
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(r.done, QStringList{Q(Src("b.jpg"))});
    ASSERT_EQ(m_boxes.messages.size(), 1);
    EXPECT_TRUE(m_boxes.messages[0].contains("gone.jpg"));
    EXPECT_EQ(Read(Dst("b.jpg")), "b");
}

TEST_F(FileOperationTest, AMoveToAnotherDeviceCopiesThenRemoves)
{
    testjpeg::ScopedTmpfs disk(1 << 20);
    if (!HaveDevice(disk.Available(), disk.Why()))
        GTEST_SKIP();
    const std::filesystem::path other = disk.path();

    Write(Src("a.jpg"), "across");
    ASSERT_EQ(::chmod(Src("a.jpg").c_str(), 0604), 0);
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(100);
    std::filesystem::last_write_time(Src("a.jpg"), old);
    Write(other / "b.jpg", "old b");
    Write(Src("b.jpg"), "new b");

    m_boxes.answers = {IMessageBoxes::Answer::Yes};
    const FileOperationResult r =
        RunFileOperation(FileOperationCode::Move, {Q(Src("a.jpg")), Q(Src("b.jpg"))}, true, Q(other));
    EXPECT_EQ(r.done.size(), 2);
    EXPECT_FALSE(std::filesystem::exists(Src("a.jpg")));
    EXPECT_FALSE(std::filesystem::exists(Src("b.jpg")));
    EXPECT_EQ(Read(other / "a.jpg"), "across");
    EXPECT_EQ(Read(other / "b.jpg"), "new b");
    EXPECT_EQ(std::filesystem::last_write_time(other / "a.jpg"), old);
    struct stat st {};
    ASSERT_EQ(::stat((other / "a.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(other), {}), 2);
}

// A folder nested far deeper than recursion could follow on a small stack
// (the walk's own buffers take most of it; made by descriptor: its path is
// longer than any path may be) is copied whole and deleted again with as
// many open files as the system allows; with few, the folder where they
// run out is named.
TEST_F(FileOperationTest, AVeryDeepFolderIsCarriedOrNamed)
{
    const auto levels = [](const std::filesystem::path& top, int count, bool make) {
        int fd = ::open(top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC), level = 0;
        for (; fd >= 0 && level < count && (!make || ::mkdirat(fd, "a", 0755) == 0); ++level) {
            const int next = ::openat(fd, "a", O_PATH | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = next;
        }
        const int file = fd < 0 ? -1 : ::openat(fd, "deep.jpg", make ? O_WRONLY | O_CREAT | O_CLOEXEC : O_RDONLY | O_CLOEXEC, 0644);
        char bytes[5] = {};
        const bool whole = make ? ::write(file, "deep", 4) == 4 : ::read(file, bytes, 5) == 4 && std::string(bytes) == "deep";
        for (const int open : {fd, file})
            if (open >= 0)
                ::close(open);
        return whole ? level : -1;
    };
    const auto copyAndDelete = [&] {
        rlimit limit {};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        // A copy holds two folders open a level.
        const int depth = int(std::min<rlim_t>(950, (limit.rlim_cur - 100) / 2));
        std::filesystem::create_directories(m_tmp / "src/deep");
        std::filesystem::create_directories(m_tmp / "dst/few");
        int failures = levels(m_tmp / "src/deep", depth, true) == depth ? 0 : 1;
        FileOperationResult r = RunFileOperation(FileOperationCode::Copy, {Q(m_tmp / "src/deep")}, false, Q(m_tmp / "dst"));
        failures |= r.done.size() == 1 && m_boxes.messages.isEmpty() && levels(Dst("deep"), depth, false) == depth ? 0 : 2;

        limit.rlim_cur = 100;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        r = RunFileOperation(FileOperationCode::Copy, {Q(m_tmp / "src/deep")}, false, Q(m_tmp / "dst/few"));
        failures |= r.failed == 1 && m_boxes.messages.size() == 1 && m_boxes.messages[0].contains("Too many open files") ? 0 : 4;
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);

        r = RunFileOperation(FileOperationCode::Delete, {Q(m_tmp / "src/deep"), Q(Dst("deep")), Q(Dst("few"))}, false, {});
        failures |= r.done.size() == 3 && std::filesystem::is_empty(m_tmp / "src") && std::filesystem::is_empty(m_tmp / "dst") ? 0 : 8;
        if (failures)
            std::cerr << "depth " << depth << ": " << m_boxes.messages.join('\n').left(300).toStdString() << std::endl;
        return failures;
    };
    // Recursion over its depth would need more than the stack has beside
    // the walk's own buffers.
    EXPECT_EQ(testjpeg::RunInChild([&] {
        int failures = -1;
        std::unique_ptr<QThread> thread(QThread::create([&] { failures = copyAndDelete(); }));
        thread->setStackSize(128 << 10);
        thread->start();
        return thread->wait() ? failures : -1;
    }), 0);
}

// Sets or clears the immutable flag; false where this user may not.
bool SetImmutable(const std::filesystem::path& path, bool on)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    const bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
        && (flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0)
        ::close(fd);
    return ok;
}

bool HasTemporary(const std::filesystem::path& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(".pxcopy-"))
            return true;
    return false;
}

// Hostile trees copied, moved and deleted through the real file system. The
// oracle for every row: each entry of the selection is whole at the target
// (kind, bytes or link text, permission bits but set-user-ID and
// set-group-ID where the owner changed; the same inode after a move on one
// device) and gone from the source, or, when the row keeps it, at the source
// as it was and not at the target; nothing else appears anywhere, and a row
// that keeps everything leaves the target empty. The messages match the
// row's patterns, one each.
TEST_F(FileOperationTest, HostileTreesArriveWholeOrAreReported)
{
    using C = FileOperationCode;
    // Bind: the album again above the target; Loop: the target in the album; ReadOnly: the source mounted
    // read-only; Fuse: source and target through a FUSE driver without rename's no-replace flag; Own: a new
    // disk at the target that everyone may write to; Full: the disk with room for one small file.
    enum Where { Here, Disk, Bind, Loop, ReadOnly, Fuse, Own, Full };
    struct Row {
        std::string name;
        C code;
        Where from, to;
        bool plainUser;
        std::vector<std::string> keep; // "*": all
        std::vector<std::string> messages;
        std::string select = "album";
        IMessageBoxes::FailureChoice failure = IMessageBoxes::FailureChoice::Skip;
    };
    const std::string latin = "\xe9t\xe9.jpg", longName = std::string(251, 'n') + ".jpg";
    const std::string stayed = "^The following could not be moved, because they cannot be removed from where they are.";
    // The album's first three entries in the walk's order, and those after them.
    using Names = std::vector<std::string>;
    const Names first = {"album/a.jpg", "album/dangling", "album/loop"},
                after = {"album/" + longName, "album/ro",   "album/ro/b.jpg", "album/sub", "album/sub/caf\xe9.jpg",
                         "album/to-a",        "album/to-sub", "album/" + latin};
    const auto plus = [](Names a, const Names& b) { return a.insert(a.end(), b.begin(), b.end()), a; };
    const std::string sixLeft = "^6 files and folders could not be (copied|moved) to [^\n]*/album: No space left on device. Not "
                                "(copied|moved):\n[^\n]*/album/n+.jpg\n";
    const std::string nineLeft = "^9 files and folders could not be (copied|moved) to [^\n]*/album: Permission denied. Not "
                                 "(copied|moved):\n[^\n]*/album/a.jpg\n";
    using F = IMessageBoxes::FailureChoice;
    const Row rows[] = {
        {"unreadable", C::Copy, Here, Here, true,
         {"album/private", "album/private/x.jpg", "album/wo", "album/wo/y.jpg"},
         {"/album/private could not be read: Permission denied$", "/album/wo could not be read"}},
        // The first file fills the disk; a folder at the target this user may not write: one message each.
        {"full disk", C::Copy, Here, Full, false, after, {sixLeft}},
        {"full disk", C::Move, Here, Full, false, plus({"album"}, after), {sixLeft}},
        {"read-only target", C::Copy, Here, Here, true, plus(first, after), {nineLeft}},
        {"read-only target", C::Move, Here, Here, true, plus(plus({"album"}, first), after), {nineLeft}},
        {"read-only", C::Delete, Here, Here, true, {"album", "album/ro", "album/ro/b.jpg"},
         {"/album could not be deleted completely. Left in place:\n[^\n]*/album/ro/b.jpg .Permission denied.$"}},
        {"names", C::Copy, Here, Here, false, {}, {}},
        {"names", C::Move, Here, Disk, false, {}, {}},
        {"names", C::Move, Disk, Here, false, {}, {}},
        {"names", C::Move, Here, Here, false, {}, {}},
        {"names", C::Delete, Here, Here, false, {}, {}},
        {"long name alone", C::Copy, Here, Here, false, {}, {}, "album/" + longName},
        {"pipe", C::Copy, Here, Here, false, {"album/pipe"}, {"/album/pipe could not be copied.*: Not a regular file"}},
        {"pipe", C::Move, Here, Disk, false, {"album", "album/pipe"}, {"/album/pipe could not be moved.*: Not a regular"}},
        {"pipe alone", C::Copy, Here, Here, false, {"*"}, {"/album/pipe could not be copied.*regular"}, "album/pipe"},
        // Cancel there, or at the first of two clashes (album/a.jpg and album/nnn...): nothing after it is touched.
        {"two clashes", C::Move, Here, Here, false, plus(plus({"album"}, first), after), {}},
        {"pipe", C::Copy, Here, Here, false, plus({"album/pipe"}, {after.begin() + 1, after.end()}),
         {"/album/pipe could not be copied.*: Not a regular file$"}, "album", F::Cancel},
        {"second mount", C::Copy, Here, Bind, false, {"*"}, {"/album cannot be copied into itself."}},
        {"second mount", C::Move, Here, Bind, false, {"*"}, {"/album cannot be moved into itself."}},
        {"second mount", C::Copy, Here, Loop, false, {"album/m"}, {"/album/m cannot be copied into itself."}},
        {"unreadable", C::Copy, Here, Here, true, {"*"}, {"/album/private/x.jpg could not be copied.*: Permission denied$"},
         "album/private/x.jpg"},
        // album/sub (a.jpg) is a folder (file) when checked and a link to ../outside (keep.jpg) when opened.
        {"swapped link", C::Delete, Here, Here, false, {}, {}},
        {"swapped link", C::Move, Here, Disk, false, {}, {}},
        {"swapped file", C::Copy, Here, Here, false, {}, {}},
        {"absolute link twice", C::Copy, Here, Here, false, {}, {}},
        {"killed copy retried", C::Copy, Here, Here, false, {}, {}},
        {"killed copy retried", C::Copy, Here, Here, false, {}, {}, "album/" + longName},
        {"killed copy retried", C::Copy, Here, Here, false, {}, {}, "album/ro"},
        {"killed at a link's rename", C::Copy, Here, Here, false, {}, {}},
        {"folder modes failed", C::Copy, Here, Here, false, {}, {}},
        {"read-only mode failed", C::Copy, Here, Here, false, {}, {}},
        {"killed at a read-only mode", C::Copy, Here, Here, false, {}, {}},
        {"killed making a folder", C::Copy, Here, Here, false, {}, {}},
        {"killed replacing a link", C::Copy, Here, Here, false, {}, {}},
        {"no-replace refused", C::Move, Fuse, Fuse, false, {}, {}},
        {"live temporary", C::Copy, Fuse, Fuse, false, {}, {}},
        {"no atomic rename", C::Copy, Here, Here, false, {}, {}},
        {"no atomic rename", C::Move, Here, Here, false, {}, {}},
        // Another program makes album/a.jpg at the target once the run has seen the name free.
        {"no atomic rename, appeared meanwhile", C::Copy, Here, Here, false, {"album/a.jpg"},
         {"/album/a.jpg could not be copied.*: File exists$"}},
        // Linked to its new name, but its old name cannot be removed: the link goes again.
        {"pinned", C::Move, Here, Here, false, {"*"}, {stayed + "*Left in place:\n[^\n]*/album/a.jpg .Operation not permitted.$"},
         "album/a.jpg"},
        {"no locks", C::Move, Here, Disk, false, {}, {}},
        {"no locks", C::Copy, Fuse, Fuse, false, {}, {}},
        {"read-only card", C::Move, ReadOnly, Here, false, {"*"}, {stayed + "*Left in place:\n[^\n]*/album .Read-only file system.$"}},
        {"read-only card", C::Move, ReadOnly, Here, false, {"*"}, {stayed + "*Left in place:\n[^\n]*/album/a.jpg .Read-only file system.$"},
         "album/a.jpg"},
        {"sticky", C::Move, Here, Own, true, {"*"}, {stayed + "*Left in place:\n[^\n]*/album/a.jpg .Operation not permitted."}},
        {"immutable", C::Move, Here, Disk, false, {"album", "album/a.jpg", "album/" + latin},
         {stayed + "*Left in place:\n[^\n]*/album/a.jpg .Operation not permitted.\n[^\n]*/album/[^\n]* .Operation not permitted.$"}},
        {"set-user-ID", C::Copy, Here, Here, false, {}, {}},
        {"private target", C::Copy, Here, Here, false, {}, {}},
        {"own temporary name", C::Copy, Here, Here, false, {}, {}},
        {"vanished", C::Delete, Here, Here, false, {}, {}},
    };
    testjpeg::ScopedTmpfs disk(4 << 20);
    const bool root = ::geteuid() == 0;
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name + " " + std::to_string(int(row.code)) + " " + row.select.substr(0, 12));
        if ((row.from == Disk || row.to == Disk || row.to == Full) && !HaveDevice(disk.Available(), disk.Why()))
            continue;
        if ((row.name == "sticky" || row.name == "immutable") && !root) {
            std::cout << "The row needs root: another's files, the immutable flag." << std::endl;
            continue;
        }
        const std::string id = std::to_string(index++);
        const std::filesystem::path src = (row.from == Disk ? disk.path() : m_tmp.path()) / ("s" + id),
                                    dst = (row.to == Disk || row.to == Full ? disk.path() : m_tmp.path()) / ("d" + id),
                                    album = src / "album";
        for (const char* dir : {"sub", "ro", "private", "wo", "m"})
            std::filesystem::create_directories(album / dir);
        std::filesystem::create_directories(dst);
        for (const std::string& name : {std::string("a.jpg"), latin, longName, std::string("sub/caf\xe9.jpg"),
                                        std::string("ro/b.jpg"), std::string("private/x.jpg"), std::string("wo/y.jpg")})
            Write(album / name, name);
        // Links are kept as links: to a file, to a folder, dangling, a loop.
        for (const auto& [name, to] : {std::pair<const char*, const char*>{"to-a", "a.jpg"}, {"to-sub", "sub"},
                                       {"dangling", "nowhere"}, {"loop", "loop"}})
            std::filesystem::create_symlink(to, album / name);
        if (row.name != "unreadable")
            std::filesystem::remove_all(album / "private"), std::filesystem::remove_all(album / "wo");
        if (row.to != Loop)
            std::filesystem::remove(album / "m");
        if (row.name.starts_with("pipe"))
            ::mkfifo((album / "pipe").c_str(), 0644);
        const bool swapFolder = row.name == "swapped link";
        const std::filesystem::path swapped = album / (swapFolder ? "sub" : "a.jpg"), outside = swapFolder ? "../outside" : "../outside/keep.jpg";
        if (row.name.starts_with("swapped")) {
            std::filesystem::remove_all(swapped);
            std::filesystem::create_directory(src / "outside");
            Write(src / "outside/keep.jpg", "keep");
            std::filesystem::create_symlink(outside, swapped);
        }
        if (row.name == "absolute link twice")
            std::filesystem::create_symlink(album / "a.jpg", album / "abs");
        // Copied twice: the read-only folder the first run made takes nothing from a plain user's second.
        if (row.name == "absolute link twice" || row.name == "killed at a link's rename" || row.name == "killed replacing a link")
            std::filesystem::remove_all(album / "ro");
        // A plain user cannot take a file out of a read-only folder: that one is read-only for copies and for
        // the plain user's delete only.
        const int ro = row.code == C::Copy || row.plainUser ? 0555 : 0755;
        for (const auto& [name, mode] :
             {std::pair<const char*, int>{"private", 0}, {"wo", 0300}, {"ro/b.jpg", 0444}, {"ro", ro}, {"", 0750}})
            ::chmod((album / name).c_str(), mode_t(mode));
        if (row.plainUser && root)
            testjpeg::Run("chown -R 65534:65534 " + m_tmp.path().string());
        // Others' photos in a shared folder.
        if (row.name == "sticky")
            testjpeg::Run("chown -R 1:1 '" + album.string() + "' && chmod 1777 '" + album.string() + "'");
        if (row.name == "immutable" && (!SetImmutable(album / "a.jpg", true) || !SetImmutable(album / latin, true))) {
            ADD_FAILURE() << "the immutable flag cannot be set here";
            continue;
        }
        if (row.name == "set-user-ID") {
            if (root) { // another's file; a plain user's own keeps its bits
                EXPECT_EQ(::chown((album / "a.jpg").c_str(), 65534, 65534), 0);
            }
            ::chmod((album / "a.jpg").c_str(), 06755);
        }
        if (row.name == "private target") {
            std::filesystem::create_directories(dst / "album/ro");
            ::chmod((dst / "album").c_str(), 0750);
            ::chmod((dst / "album/ro").c_str(), 0700);
        }
        if (row.name == "own temporary name")
            Write(dst / ".pxcopy-backup", "mine");
        if (row.name == "read-only target" || row.name == "two clashes")
            std::filesystem::create_directories(dst / "album");
        if (row.name == "read-only target")
            ::chmod((dst / "album").c_str(), 0555);
        const Names theirs = row.name == "two clashes" ? Names{"album/a.jpg", "album/" + longName} : Names{};
        for (const std::string& name : theirs)
            Write(dst / name, "theirs");
        // Runs before: one that completes, one killed when a file reaches 100 bytes (6 for ro/b.jpg), one
        // killed as it renames a link into place, one whose folders' modes cannot be set.
        const auto copy = [&] { return RunFileOperation(row.code, {Q(src / row.select)}, false, Q(dst)); };
        if (row.name == "absolute link twice")
            copy();
        if (row.name == "killed copy retried") {
            EXPECT_TRUE(testjpeg::KilledAtFileSize(row.select == "album/ro" ? 6 : 100, [&] { copy(); }));
        }
        if (row.name == "killed at a link's rename") {
            EXPECT_EQ(testjpeg::RunInChild([&] { return g_faults.killAtLinkRename = true, copy().failed; }), 0);
        }
        if (row.name == "folder modes failed") {
            g_faults.folderModes = true;
            EXPECT_EQ(copy().failed, 1);
            g_faults.folderModes = false;
        }
        // A read-only folder's mode that cannot be set is said, and a run after sets it.
        if (row.name == "read-only mode failed") {
            g_faults.readOnlyModes = true;
            m_boxes.messages.clear();
            EXPECT_EQ(copy().failed, 1);
            EXPECT_EQ(m_boxes.messages.join('\n').toStdString(),
                      "The folder " + (dst / "album/ro").string() + " could not be given its permissions: Input/output error");
            g_faults.readOnlyModes = false;
        }
        // Killed as a read-only folder is given its mode, just after a folder temporary is made, as a
        // replacing link is renamed into place: a run after leaves no temporary and every mode right.
        if (row.name.starts_with("killed at a read-only") || row.name.starts_with("killed making")) {
            EXPECT_EQ(testjpeg::RunInChild([&] {
                (row.name.starts_with("killed making") ? g_faults.killAtFolderMade : g_faults.killAtReadOnlyMode) = true;
                return copy().failed;
            }), 9);
        }
        if (row.name == "killed replacing a link") {
            copy();
            m_boxes.answer = IMessageBoxes::Answer::Yes;
            EXPECT_EQ(testjpeg::RunInChild([&] { return g_faults.killAtLinkRename = true, copy().failed; }), 9);
        }
        const auto before = Take(src);
        if (row.name.starts_with("swapped")) {
            std::filesystem::remove(swapped);
            swapFolder ? void(std::filesystem::create_directory(swapped)) : Write(swapped, "a.jpg");
        }
        SetFolderOpenHook([&](const QByteArray& path) {
            if (row.name.starts_with("swapped") && path.toStdString() == swapped && std::filesystem::remove(swapped))
                std::filesystem::create_symlink(outside, swapped);
            // Another program removes a photo while the folder is deleted.
            if (row.name == "vanished" && path.endsWith("/album/sub"))
                std::filesystem::remove(album / "to-a");
            // Another program makes the name the run has seen free.
            if (row.name.ends_with("appeared meanwhile") && path.endsWith("/album/a.jpg"))
                Write(dst / "album/a.jpg", "theirs");
        });

        m_boxes.yesNo = true;
        m_boxes.answer = IMessageBoxes::Answer::Yes;
        m_boxes.failure = row.failure;
        if (!theirs.empty())
            m_boxes.answers = {IMessageBoxes::Answer::Cancel};
        const bool cancelled = row.failure == IMessageBoxes::FailureChoice::Cancel || !theirs.empty();
        const auto run = [&] {
            m_boxes.messages.clear();
            m_boxes.questions.clear();
            FileOperationResult r;
            bool ok = true;
            if (row.name == "live temporary") {
                // Another copy of the program holds its temporary in the target (it waits at its fsync) while
                // this run clears the target of temporaries.
                Write(src / "loose.jpg", "loose");
                ok = testjpeg::InOtherCopy(
                         [&](const testjpeg::Meet& meet) {
                             g_faults.onSync = [&] { meet(), meet(); };
                             return RunFileOperation(C::Copy, {Q(src / "loose.jpg")}, false, Q(dst)).failed;
                         },
                         [&](const testjpeg::Meet& meet) {
                             meet();
                             r = RunFileOperation(row.code, {Q(src / row.select)}, false, Q(dst));
                             ok = HasTemporary(dst);
                             meet();
                         })
                        == 0
                    && ok;
                ok = std::filesystem::remove(src / "loose.jpg") && std::filesystem::remove(dst / "loose.jpg") && ok;
            } else {
                r = RunFileOperation(row.code, {Q(src / row.select)}, false, Q(row.to == Bind ? src / "mnt/sub" : dst));
            }
            const int failed = row.messages.empty() || cancelled ? 0 : 1;
            ok = ok && r.done.size() == (cancelled ? 0 : 1 - failed) && r.failed == failed && r.aborted == cancelled
                && m_boxes.messages.size() == qsizetype(row.messages.size())
                && (theirs.empty() || m_boxes.questions.size() == 1);
            for (size_t i = 0; ok && i < row.messages.size(); ++i)
                ok = QRegularExpression(QString::fromStdString(row.messages[i])).match(m_boxes.messages[qsizetype(i)]).hasMatch();
            // Nothing arrives of a row that keeps everything (seen here: the target may be a disk of this child).
            if (row.keep == std::vector<std::string>{"*"} && row.to != Bind && !std::filesystem::is_empty(dst))
                ok = false;
            if (!ok)
                std::cerr << r.done.size() << " done, " << r.failed << " failed: " << m_boxes.messages.join('\n').toStdString();
            return ok ? 0 : 1;
        };
        std::filesystem::create_directories(src / "mnt");
        g_faults.lock = row.name == "no locks" ? ENOLCK : 0;
        g_faults.noAtomicRename = row.name.starts_with("no atomic rename");
        g_faults.noRenameFlags = row.name == "pinned";
        g_faults.pinned = row.name == "pinned" ? (std::filesystem::canonical(album) / "a.jpg").string() : "";
        if (row.to == Full)
            disk.Fill(4096);
        const int status = row.to == Bind ? testjpeg::WithMount(testjpeg::Mount::Bind, album, src / "mnt", run)
            : row.to == Loop              ? testjpeg::WithMount(testjpeg::Mount::Bind, dst, album / "m", run)
            : row.to == Own ? testjpeg::WithMount(testjpeg::Mount::Tmpfs, {}, dst, [&] { return testjpeg::RunWithoutRoot(run); })
            : row.from == ReadOnly        ? testjpeg::WithMount(testjpeg::Mount::ReadOnly, src, src, run)
            : row.from == Fuse            ? testjpeg::WithMount(testjpeg::Mount::Fuse, m_tmp.path(), m_tmp.path(), run)
            : row.plainUser               ? testjpeg::RunWithoutRoot(run)
                                          : run();
        g_faults.lock = 0;
        g_faults.noAtomicRename = g_faults.noRenameFlags = false;
        g_faults.pinned.clear();
        disk.Unfill();
        SetFolderOpenHook({});
        std::filesystem::remove(src / "mnt");
        if (row.name == "immutable")
            SetImmutable(album / "a.jpg", false), SetImmutable(album / latin, false);
        // A file that another program made just before the run's rename over it is still its own.
        for (const std::string& theirs : std::exchange(g_faults.theirs, {}))
            EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(theirs)) && Read(theirs) == "theirs")
                << theirs;
        if (status == 126 && !HaveDevice(false, row.from == Fuse ? "no FUSE disk can be mounted here (bindfs, /dev/fuse)"
                                                                 : "no mount can be made here"))
            continue;
        EXPECT_EQ(status, 0);

        auto source = Take(src), arrived = row.code == C::Delete ? decltype(before)() : Take(dst);
        if (row.name == "own temporary name") {
            EXPECT_EQ(Read(dst / ".pxcopy-backup"), "mine");
            arrived.erase(".pxcopy-backup");
        }
        for (const std::string& name : row.name.ends_with("appeared meanwhile") ? Names{"album/a.jpg"} : theirs) {
            EXPECT_EQ(Read(dst / name), "theirs");
            arrived.erase(name);
        }
        const std::string cut = std::filesystem::path(row.select).parent_path().string();
        const auto same = [&](const Node& a, const Node& b) {
            const bool owned = a.uid == b.uid && a.gid == b.gid;
            return a.kind == b.kind && a.data == b.data
                && (a.kind == std::filesystem::file_type::symlink || a.mode == (owned ? b.mode : b.mode & ~06000u))
                && (row.code != C::Move || row.from != row.to || a.ino == b.ino);
        };
        for (const auto& [key, node] : before) {
            SCOPED_TRACE(key);
            const bool selected = key == row.select || key.starts_with(row.select + "/");
            const bool kept = !selected || row.keep == std::vector<std::string>{"*"}
                || std::count(row.keep.begin(), row.keep.end(), key);
            const std::string there = key.size() > cut.size() && !cut.empty() ? key.substr(cut.size() + 1) : key;
            if (kept || row.code == C::Copy)
                EXPECT_TRUE(source.count(key) && same(source[key], node));
            else
                EXPECT_FALSE(source.count(key));
            // A folder that was at the target before keeps its mode.
            Node want = node;
            if (row.name == "private target" && there == "album/ro")
                want.mode = 0700;
            if (row.name == "read-only target" && there == "album")
                want.mode = 0555;
            if (row.code != C::Delete && selected && !kept) {
                EXPECT_TRUE(arrived.count(there) && same(arrived[there], want));
            } else if (row.code != C::Delete
                       && !(row.code == C::Move && node.kind == std::filesystem::file_type::directory)) {
                EXPECT_FALSE(arrived.count(there));
            }
            source.erase(key);
            arrived.erase(there);
        }
        EXPECT_TRUE(source.empty()) << source.begin()->first;
        EXPECT_TRUE(arrived.empty()) << arrived.begin()->first;
    }
}

} // namespace
