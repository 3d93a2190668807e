// Copy, move, trash and delete through the real file system: questions,
// what is replaced and what is kept, trash records, other devices.
#include "FileOperation.h"
#include "MessageBoxes.h"
#include "AnswerBoxes.h"
#include "ScopedEnv.h"
#include "TestJpeg.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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
    const QString nul(QChar(0));
    for (const FileOperationCode code : {FileOperationCode::Copy, FileOperationCode::Move}) {
        const FileOperationResult r = RunFileOperation(code, {Q(Src("a.jpg"))}, true, Q(Dst("notes.txt")) + nul);
        EXPECT_TRUE(r.done.isEmpty());
        EXPECT_EQ(r.failed, 1);
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
    // /dev/shm is a tmpfs on most systems: another device than the test folder.
    struct stat shm {}, here {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(m_tmp.path().c_str(), &here) != 0 || shm.st_dev == here.st_dev
        || ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no writable file system on another device";
    char pattern[] = "/dev/shm/pxm-move-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path other(pattern);

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
    std::filesystem::remove_all(other);
}

} // namespace
