// Actions through the real library: the road of a quarter turn, and what an
// action takes back when the library refused an edit.
#include "EngineTest.h"

#include "ActionRotateFlip.h"

using namespace etest;
using testjpeg::TempDir;

namespace {

class ActionTest : public ::testing::Test {
protected:
    void Open(int width, int height, std::vector<std::pair<int, int>> sampling = {{2, 2}, {1, 1}, {1, 1}})
    {
        m_image = std::make_unique<CKsImage>(RealLib());
        ASSERT_EQ(m_image->Load(Q(WriteJpeg(m_files / "a.jpg", width, height, std::move(sampling))), 0), 1);
        um = m_image->GetUndoMan();
    }
    static RotateParams Turn(int rotate, int flip = 0)
    {
        RotateParams p;
        p.Rotate = rotate;
        p.Flip = flip;
        return p;
    }
    ScopedTempFolder m_temp;
    TempDir m_files;
    std::unique_ptr<CKsImage> m_image;
    CUndoMan* um = nullptr;
};

TEST_F(ActionTest, DoAndUndoOutsideTheHistory)
{
    Open(32, 16);
    CActionRotateFlip fresh(Turn(1));
    EXPECT_EQ(fresh.Undo(), 0); // never done
    EXPECT_EQ(fresh.CanUndo(), 0);

    // Without recording the action cannot be undone.
    fresh.Do(m_image.get(), 0, nullptr, nullptr);
    EXPECT_EQ(fresh.IsApplied(), 1);
    EXPECT_EQ(fresh.CanUndo(), 0);
    EXPECT_EQ(fresh.Undo(), 0);
    EXPECT_EQ(fresh.GetName(), QStringLiteral("Rotate/Flip"));
}

TEST_F(ActionTest, RotateRotateUndoRedoUndoUndo)
{
    // 40 x 24 with 16 x 16 MCUs: partial MCU row and column, so turns that cut
    // them write undo bytes.
    Open(40, 24);
    const std::vector<short> original = Coefficients(*m_image);
    ASSERT_FALSE(original.empty());
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Turn(1))));
    const std::vector<short> once = Coefficients(*m_image);
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Turn(1))));
    const std::vector<short> twice = Coefficients(*m_image);
    EXPECT_NE(once, original) << "the library's turn did nothing";

    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), once);
    um->Redo();
    EXPECT_EQ(Coefficients(*m_image), twice);
    um->Undo();
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_EQ(m_image->GetWidth(), 40);
    EXPECT_EQ(m_image->GetHeight(), 24);
    EXPECT_FALSE(um->IsModified());
    EXPECT_EQ(um->GetFileLength(), 0);
}

TEST_F(ActionTest, TurnsOfBothWaysAndModifiedMark)
{
    Open(48, 32, {{2, 1}, {1, 1}, {1, 1}});
    const std::vector<short> original = Coefficients(*m_image);
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Turn(3))));
    EXPECT_EQ(m_image->GetWidth(), 32);
    EXPECT_EQ(m_image->GetHeight(), 48);
    um->MarkSaved();
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Turn(1))));
    EXPECT_EQ(Coefficients(*m_image), original); // left then right is no turn at all
    EXPECT_TRUE(um->IsModified());
    um->Undo();
    EXPECT_FALSE(um->IsModified());
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_TRUE(um->IsModified());
}

// A flip that would leave no whole MCU is refused by the library; the step
// must then take back nothing at all, not the previous step's edit.
TEST_F(ActionTest, RefusedLibraryEditIsNotTakenBack)
{
    Open(40, 8); // two whole MCU columns and a partial one; one partial MCU row
    const std::vector<short> original = Coefficients(*m_image);
    ASSERT_TRUE(um->AddAction(new CActionRotateFlip(Turn(3)))); // cuts the partial column: 8 x 32
    ASSERT_EQ(m_image->GetWidth(), 8);
    const std::vector<short> turned = Coefficients(*m_image);

    // 8 wide with 16-wide MCUs: a mirror cutting the partial column leaves nothing.
    auto* refused = new CActionRotateFlip(Turn(0, 1));
    ASSERT_TRUE(um->AddAction(refused)); // recorded all the same
    EXPECT_EQ(refused->GetLibraryEditCount(), 0);
    EXPECT_EQ(Coefficients(*m_image), turned);
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), turned); // the refused step undid nothing
    EXPECT_EQ(m_image->GetWidth(), 8);
    um->Undo();
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_EQ(m_image->GetWidth(), 40);
}

TEST_F(ActionTest, OrientationTable)
{
    const int expected[9][2] = {{-1, -1}, {-1, -1}, {0, 1}, {2, 0}, {0, 2}, {1, 1}, {1, 0}, {3, 1}, {3, 0}};
    for (int o = 0; o <= 9; ++o) {
        int r = -1, f = -1;
        const bool known = CActionRotateFlip::OrientationToTransform(o, &r, &f);
        EXPECT_EQ(known, o >= 2 && o <= 8) << o;
        if (known) {
            EXPECT_EQ(r, expected[o][0]) << o;
            EXPECT_EQ(f, expected[o][1]) << o;
        }
    }
    // An image without an orientation: the automatic turn changes nothing.
    Open(32, 32);
    const std::vector<short> original = Coefficients(*m_image);
    RotateParams p;
    p.Automatic = 1;
    p.Rotate = 1;
    auto* a = new CActionRotateFlip(p);
    ASSERT_TRUE(um->AddAction(a));
    EXPECT_EQ(a->GetLibraryEditCount(), 0);
    EXPECT_EQ(Coefficients(*m_image), original);
    EXPECT_TRUE(um->CanUndo()); // an empty step is still a step
}

} // namespace
