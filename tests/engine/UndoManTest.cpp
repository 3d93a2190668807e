// The undo history and its temporary file.
#include "EngineTest.h"

#include "UndoMan.h"

#include <QFileInfo>

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>

using namespace etest;
using testjpeg::TempDir;

namespace {

// An image with something loaded, its undo file in a private temp folder.
class UndoManTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_image = std::make_unique<CKsImage>(RealLib());
        ASSERT_TRUE(m_image->HasUndoFile());
        ASSERT_EQ(m_image->Load(Q(WriteJpeg(m_files / "a.jpg", 32, 32)), 0), 1);
        um = m_image->GetUndoMan();
    }
    CPatternAction* Add(int bytes, unsigned char fill)
    {
        auto* a = new CPatternAction(bytes, fill, &log);
        EXPECT_TRUE(um->AddAction(a));
        return a;
    }
    ScopedTempFolder m_temp; // before the image: its undo file goes here
    TempDir m_files;
    std::vector<std::string> log; // outlives the actions that write to it
    std::unique_ptr<CKsImage> m_image;
    CUndoMan* um = nullptr;
};

TEST_F(UndoManTest, OffsetsTruncationAndRedo)
{
    EXPECT_FALSE(um->CanUndo());
    EXPECT_FALSE(um->CanRedo());
    EXPECT_FALSE(um->IsModified());

    CPatternAction* a = Add(100, 'a');
    CPatternAction* b = Add(50, 'b');
    EXPECT_EQ(a->writtenAt, 0);
    EXPECT_EQ(b->writtenAt, 100);
    EXPECT_EQ(um->GetStepEnds(), (std::vector<int64_t>{100, 150}));
    EXPECT_EQ(um->GetFileLength(), 150);

    um->Undo(); // B reads its own bytes back and the file is cut to A's end
    EXPECT_EQ(b->readOk, 1);
    EXPECT_TRUE(b->readMatched);
    EXPECT_EQ(um->GetFileLength(), 100);
    EXPECT_EQ(um->GetStepEnds(), (std::vector<int64_t>{100}));
    EXPECT_TRUE(um->CanRedo());

    um->Redo(); // written again at the same offset
    EXPECT_EQ(b->writtenAt, 100);
    EXPECT_EQ(um->GetFileLength(), 150);
    EXPECT_FALSE(um->CanRedo());

    um->Undo();
    CPatternAction* c = Add(30, 'c'); // cuts B from the history and the file
    EXPECT_EQ(log, (std::vector<std::string>{"delete 98"}));
    EXPECT_EQ(c->writtenAt, 100);
    EXPECT_EQ(um->GetStepEnds(), (std::vector<int64_t>{100, 130}));
    EXPECT_EQ(um->GetActionCount(), 2);

    um->Undo();
    um->Undo();
    EXPECT_TRUE(a->readMatched);
    EXPECT_EQ(um->GetFileLength(), 0);
    um->Undo(); // nothing left: nothing happens
    EXPECT_EQ(um->GetCurrentIndex(), -1);
}

TEST_F(UndoManTest, ModifiedFollowsSavesUndosAndRedos)
{
    Add(8, 'a');
    EXPECT_TRUE(um->IsModified());
    um->MarkSaved();
    EXPECT_FALSE(um->IsModified());
    um->Undo();
    EXPECT_TRUE(um->IsModified());
    um->Redo();
    EXPECT_FALSE(um->IsModified());

    // Saved after A; undo A and do B: the saved state can no longer be reached.
    um->Undo();
    Add(8, 'b');
    EXPECT_EQ(um->GetSavedIndex(), -2);
    EXPECT_TRUE(um->IsModified());
    um->Undo();
    EXPECT_TRUE(um->IsModified());

    // Closing forgets the history and empties the file.
    Add(8, 'c');
    m_image->Close();
    EXPECT_FALSE(um->IsModified());
    EXPECT_FALSE(um->CanUndo());
    EXPECT_EQ(um->GetFileLength(), 0);
}

TEST_F(UndoManTest, RefusedActionsAreFreed)
{
    m_image->Close();
    std::vector<std::string> refused;
    EXPECT_FALSE(um->AddAction(new CPatternAction(8, 'x', &refused)));
    EXPECT_EQ(refused, (std::vector<std::string>{"delete 120"}));
    EXPECT_EQ(um->GetActionCount(), 0);
    EXPECT_FALSE(um->AddAction(nullptr));
}

TEST_F(UndoManTest, StoreFailsOnShortReads)
{
    // A revert that reads more than its step wrote gets 0, not stale bytes.
    class Greedy : public CPatternAction {
    public:
        using CPatternAction::CPatternAction;
        int big = -1, negative = -1, none = -1;

    protected:
        void Revert() override
        {
            std::vector<char> buf(64);
            big = Read(buf.data(), 64);
            negative = Read(buf.data(), -1);
            none = Write(nullptr, -5);
        }
    };
    auto* g = new Greedy(16, 'g');
    ASSERT_TRUE(um->AddAction(g));
    um->Undo();
    EXPECT_EQ(g->big, 0);
    EXPECT_EQ(g->negative, 0);
    EXPECT_EQ(g->none, 0);

    // Without an undo file both sides answer 0.
    auto* loose = new CPatternAction(4, 'l');
    loose->Do(m_image.get(), 1, nullptr, nullptr);
    EXPECT_EQ(loose->Write("x", 1), 0);
    char ch;
    EXPECT_EQ(loose->Read(&ch, 1), 0);
    delete loose;
}

TEST(UndoFile, TwoHistoriesUseTwoLockedFiles)
{
    ScopedTempFolder temp;
    std::string first, second;
    {
        CKsImage a(RealLib());
        CKsImage b(RealLib());
        ASSERT_TRUE(a.HasUndoFile());
        ASSERT_TRUE(b.HasUndoFile());
        first = a.GetUndoMan()->GetFilePath().toStdString();
        second = b.GetUndoMan()->GetFilePath().toStdString();
        EXPECT_NE(first, second);
        EXPECT_EQ(temp.UndoFiles().size(), 2u);

        // A second program starting now must not take them for stale files.
        EXPECT_EQ(CUndoFile::DeleteStaleFiles(Q(temp.path())), 0);
        EXPECT_TRUE(std::filesystem::exists(first));
        // Nor may anyone else lock them.
        const int fd = open(first.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
        close(fd);
    }
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_TRUE(temp.UndoFiles().empty());
}

TEST(UndoFile, StaleFilesDeletedSafely)
{
    ScopedTempFolder temp;
    const auto& dir = temp.path();
    TempDir elsewhere;
    std::ofstream(dir / "pxmAb12Cd") << "stale";           // ours, left behind: deleted
    std::ofstream(dir / "pxm12345") << "keep";             // too short: not our name
    std::ofstream(dir / "pxmAb12Cd.jpg") << "keep";        // not our name
    std::ofstream(dir / "xpxmAAAAAA") << "keep";
    std::filesystem::create_directory(dir / "pxmDIRDIR");  // not a regular file
    std::ofstream(elsewhere / "target") << "keep";
    std::filesystem::create_symlink(elsewhere / "target", dir / "pxmLINK00"); // never followed
    std::ofstream(dir / "pxmLOCKED") << "in use";
    const int held = open((dir / "pxmLOCKED").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(CUndoFile::DeleteStaleFiles(Q(dir)), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "pxmAb12Cd"));
    for (const char* kept : {"pxm12345", "pxmAb12Cd.jpg", "xpxmAAAAAA", "pxmDIRDIR", "pxmLOCKED"})
        EXPECT_TRUE(std::filesystem::exists(dir / kept)) << kept;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "pxmLINK00"));
    EXPECT_TRUE(std::filesystem::exists(elsewhere / "target"));

    // A new manager cleans up the same way before it makes its own file.
    std::ofstream(dir / "pxmOLD999") << "stale";
    {
        CUndoMan um(nullptr);
        ASSERT_TRUE(um.IsFileOpen());
        EXPECT_FALSE(std::filesystem::exists(dir / "pxmOLD999"));
        EXPECT_TRUE(std::filesystem::exists(dir / "pxmLOCKED"));
    }
    close(held);
}

TEST(UndoFile, NoTemporaryFolderFailsTheImageNotTheProgram)
{
    TempDir d;
    const auto jpeg = WriteJpeg(d / "a.jpg", 16, 16);
    CUndoMan broken(nullptr, Q(d / "missing-folder"));
    EXPECT_FALSE(broken.IsFileOpen());
    EXPECT_FALSE(broken.AddAction(new CPatternAction(4, 1)));

    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", (d / "a.jpg").c_str(), 1); // a file, not a folder
    CKsImage image(RealLib());
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_FALSE(image.HasUndoFile());
    EXPECT_EQ(image.Load(Q(jpeg), 0), 0);
    EXPECT_EQ(image.IsLoaded(), 0);
}

// An empty TMPDIR means the system's temporary folder.
TEST(UndoFile, EmptyTmpdirIsTheSystemsFolder)
{
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", "", 1);
    CUndoMan um(nullptr);
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    ASSERT_TRUE(um.IsFileOpen());
    EXPECT_EQ(QFileInfo(um.GetFilePath()).absolutePath(), QStringLiteral("/tmp"));
}

} // namespace
